#pragma once
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTextStream>

#include <memory>

#include "BackupFile.h"
#include "CliOptions.h"
#include "UpdateSheet.h"

class BoardJob;
class BoardSession;
class ProgressView;

// Where rconf-cli writes, and whether each stream is a terminal.
struct Console {
    QTextStream* out = nullptr;
    QTextStream* err = nullptr;
    bool outTerminal = false;
    bool errTerminal = false;
    int columns = 80;
};

// rconf-cli: parses the command line, checks the files, runs one session
// per board in parallel, shows progress and prints the summary (or JSON).
// Exit codes: 0 success, 1 any board failed, 2 usage or file error.
class CliApp : public QObject
{
    Q_OBJECT
public:
    explicit CliApp(const Console& console, QObject* parent = nullptr);
    ~CliApp() override;

    // The exit code when the command ends at once (help, usage or file
    // error, list); -1 when boards are being worked on and finished follows.
    int start(const QStringList& arguments);

signals:
    void finished(int exitCode);

private:
    int usageError(const QString& message);
    int fileError(const QStringList& reasons);
    int listPorts();
    QStringList checkInputs();
    void startBoards();
    BoardJob* makeJob(BoardSession* session);
    void sessionEnded();
    void printResult();

    Console con;
    CliOptions opts;
    std::unique_ptr<UpdateSheet> sheet;
    std::unique_ptr<BackupFile> backup;
    QList<BoardSession*> sessions;
    ProgressView* progress = nullptr;
    int running = 0;
};
