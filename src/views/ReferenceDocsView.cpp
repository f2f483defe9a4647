#include "MainWindow.h"

#include <QDir>
#include <QFileInfo>

void MainWindow::on_run_ReleaseNotesFile_button_clicked()
{
    openReferenceDocument(QStringLiteral("notepad"), QStringLiteral("/RConf_releaseNotes.txt"));
}

void MainWindow::on_run_vorlen_Proto_File_button_clicked()
{
    openReferenceDocument(QStringLiteral("EXCEL"), QStringLiteral("/Протокол Vorlen_v2.xlsx"));
}

void MainWindow::on_run_vorlen_ProgrammingGuise_File_button_clicked()
{
    openReferenceDocument(QStringLiteral("notepad"), QStringLiteral("/RConf_Vorlen_Programming_Guide.txt"));
}

QString MainWindow::installedReferenceDir()
{
    return QStringLiteral(RCONF_DATA_DIR);
}

void MainWindow::openReferenceDocument(const QString& program, const QString& fileName)
{
    // A copy in the working directory wins; an installed program finds the
    // documents in its data directory.
    QString path = QDir::currentPath() + fileName;
    const QString installed = referenceDataDir + fileName;
    if (!QFileInfo::exists(path) && !referenceDataDir.isEmpty() && QFileInfo::exists(installed))
        path = installed;
    // A button that silently does nothing would look like success: say which
    // document is missing instead.
    if (!QFileInfo::exists(path)) {
        log(QStringLiteral("Справочный документ не найден: ") + path);
        return;
    }
    if (!dialogs->openDocument(this, program, path))
        log(QStringLiteral("Не удалось открыть справочный документ: ") + path);
}
