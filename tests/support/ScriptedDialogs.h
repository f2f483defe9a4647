#pragma once
#include <QQueue>
#include <QString>
#include <QStringList>

#include "Dialogs.h"

// Answers the window's dialogs without a modal loop and records what was shown.
class ScriptedDialogs : public Dialogs
{
public:
    struct Shown {
        QString kind;   // "gate", "warning", "information", "question", "file", "save", "document"
        QString title;
        QString text;
    };

    void gateRefused(const QString& informative) override;
    void warning(QWidget* parent, const QString& title, const QString& text) override;
    void information(QWidget* parent, const QString& title, const QString& text) override;
    bool question(QWidget* parent, const QString& title, const QString& text) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    // Answered from fileAnswers too, shown as "save".
    QString saveFileName(QWidget* parent, const QString& caption, const QString& path, const QString& filter) override;
    bool openDocument(QWidget* parent, const QString& program, const QString& path) override;

    QList<Shown> shown;
    QQueue<bool> questionAnswers;   // default Yes when empty
    QQueue<QString> fileAnswers;    // default "" (cancelled) when empty
    QString lastFileCaption, lastFileFilter, lastFileDir;
};
