#pragma once
#include <QObject>
#include <QString>

#include "ViewContext.h"

// The reference documents buttons: each opens its document in its program.
class ReferenceDocsController : public QObject
{
    Q_OBJECT
public:
    ReferenceDocsController(const ViewContext& ctx, QObject* parent = nullptr);

    // Where the documents are looked for after the working directory.
    void setDataDir(const QString& dir) { dataDir = dir; }

    void openReleaseNotes();
    void openProtocol();
    void openProgrammingGuide();

private:
    void open(const QString& program, const QString& fileName);

    ViewContext ctx;
    QString dataDir;   // by default the installed data directory
};
