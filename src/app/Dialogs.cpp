#include "Dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

void Dialogs::gateRefused(const QString& informative)
{
    QMessageBox box;
    box.setText(QStringLiteral("Ошибка!"));
    box.setInformativeText(informative);
    box.setStandardButtons(QMessageBox::Ok);
    box.setIcon(QMessageBox::Information);
    box.exec();
}

void Dialogs::warning(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

void Dialogs::information(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

bool Dialogs::question(QWidget* parent, const QString& title, const QString& text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton) ==
           QMessageBox::Yes;
}

QString Dialogs::openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString Dialogs::saveFileName(QWidget* parent, const QString& caption, const QString& path, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, path, filter);
}

bool Dialogs::openDocument(QWidget* parent, const QString& program, const QString& path)
{
#ifdef Q_OS_WIN
    // The process stays a child of the window; nothing waits for it.
    auto* process = new QProcess(parent);
    process->setProgram(program);
    process->setArguments({path});
    process->start(QIODevice::ReadWrite);
    return true;
#else
    Q_UNUSED(parent);
    Q_UNUSED(program);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}
