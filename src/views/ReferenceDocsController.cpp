#include "ReferenceDocsController.h"

#include <QDir>
#include <QFileInfo>

#include "Dialogs.h"

ReferenceDocsController::ReferenceDocsController(const ViewContext& context, QObject* parent)
    : QObject(parent), ctx(context), dataDir(QStringLiteral(RCONF_DATA_DIR))
{
}

void ReferenceDocsController::openReleaseNotes()
{
    open(QStringLiteral("notepad"), QStringLiteral("/RConf_releaseNotes.txt"));
}

void ReferenceDocsController::openProtocol()
{
    open(QStringLiteral("EXCEL"), QStringLiteral("/Протокол Vorlen_v2.xlsx"));
}

void ReferenceDocsController::openProgrammingGuide()
{
    open(QStringLiteral("notepad"), QStringLiteral("/RConf_Vorlen_Programming_Guide.txt"));
}

void ReferenceDocsController::open(const QString& program, const QString& fileName)
{
    // A copy in the working directory wins; an installed program finds the
    // documents in its data directory.
    QString path = QDir::currentPath() + fileName;
    const QString installed = dataDir + fileName;
    if (!QFileInfo::exists(path) && !dataDir.isEmpty() && QFileInfo::exists(installed))
        path = installed;
    // A button that silently does nothing would look like success: say which
    // document is missing instead.
    if (!QFileInfo::exists(path)) {
        ctx.log(QStringLiteral("Справочный документ не найден: ") + path);
        return;
    }
    if (!ctx.dialogs()->openDocument(ctx.window, program, path))
        ctx.log(QStringLiteral("Не удалось открыть справочный документ: ") + path);
}
