#include "CliApp.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>

#include "ArchiveJob.h"
#include "BackupJob.h"
#include "BoardSession.h"
#include "CliParser.h"
#include "FlashJob.h"
#include "InfoJob.h"
#include "Oru_SerialPort.h"
#include "PortListText.h"
#include "PortNames.h"
#include "ProgressView.h"
#include "RestoreJob.h"
#include "Summary.h"

#ifndef RCONF_VERSION
#define RCONF_VERSION "unknown"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBoardFailed = 1;
constexpr int kExitUsage = 2;

QString toolName()
{
    return QStringLiteral("rconf-cli ") + QStringLiteral(RCONF_VERSION);
}

// The folder a file is to be created in exists.
bool canCreate(const QString& path)
{
    return QFileInfo(QFileInfo(path).absolutePath()).isDir();
}

} // namespace

CliApp::CliApp(const Console& console, QObject* parent) : QObject(parent), con(console) {}

CliApp::~CliApp() = default;

int CliApp::start(const QStringList& arguments)
{
    CliParser parser;
    QString message;
    switch (parser.parse(arguments, &opts, &message)) {
    case CliParser::Outcome::Help:
        *con.out << CliParser::helpText(parser.helpCommand());
        con.out->flush();
        return kExitOk;
    case CliParser::Outcome::Error:
        return usageError(message);
    case CliParser::Outcome::Run:
        break;
    }
    if (opts.command == QLatin1String("list"))
        return listPorts();
    const QStringList problems = checkInputs();
    if (!problems.isEmpty())
        return fileError(problems);
    startBoards();
    return -1;
}

int CliApp::usageError(const QString& message)
{
    if (opts.json) {
        *con.out << QJsonDocument(QJsonObject{{QStringLiteral("command"), opts.command},
                                              {QStringLiteral("exitCode"), kExitUsage},
                                              {QStringLiteral("error"), message}})
                        .toJson();
    }
    *con.err << "rconf-cli: " << message << "\n";
    *con.err << (opts.command.isEmpty() ? QStringLiteral("Справка: rconf-cli --help")
                                        : QStringLiteral("Справка: rconf-cli %1 --help").arg(opts.command))
             << "\n";
    con.out->flush();
    con.err->flush();
    return kExitUsage;
}

int CliApp::fileError(const QStringList& reasons)
{
    if (opts.json) {
        *con.out << QJsonDocument(QJsonObject{{QStringLiteral("command"), opts.command},
                                              {QStringLiteral("exitCode"), kExitUsage},
                                              {QStringLiteral("error"), reasons.join(QStringLiteral("; "))}})
                        .toJson();
    }
    for (const QString& r : reasons)
        *con.err << "rconf-cli: " << r << "\n";
    con.out->flush();
    con.err->flush();
    return kExitUsage;
}

int CliApp::listPorts()
{
    Oru_SerialPort link;
    const QStringList entries = link.freePortList();
    if (opts.json) {
        QJsonArray ports;
        for (const QString& e : entries)
            ports.append(QJsonObject{{QStringLiteral("port"), PortNames::extract(e)}, {QStringLiteral("entry"), e}});
        *con.out << QJsonDocument(QJsonObject{{QStringLiteral("command"), opts.command},
                                              {QStringLiteral("exitCode"), kExitOk},
                                              {QStringLiteral("ports"), ports}})
                        .toJson();
    } else {
        for (const QString& e : entries)
            *con.out << e << "\n";
        *con.out << portCountText(entries.size()) << "\n";
    }
    con.out->flush();
    return kExitOk;
}

// Files are checked before any board is touched: a damaged update file or
// backup is a file error, never a half-done batch.
QStringList CliApp::checkInputs()
{
    QStringList problems;
    if (opts.command == QLatin1String("flash")) {
        sheet = std::make_unique<UpdateSheet>();
        if (!sheet->read(opts.file))
            return {QStringLiteral("Нечитаемый формат файла: %1").arg(opts.file)};
        for (const QString& reason : sheet->defects())
            problems << QStringLiteral("Файл обновления повреждён: ") + reason;
        if (problems.isEmpty() && sheet->imageLength() < 1024)
            problems << QStringLiteral("ПРОГРАММИРОВАНИЕ::: Ошибка файл прошивки, размер данных менее 1024 байт");
        if (sheet->targetProgram() != 1 && sheet->targetProgram() != 11)
            problems << QStringLiteral("Файл обновления не предназначен ни для одной платы (программа назначения %1)")
                            .arg(sheet->targetProgram());
    } else if (opts.command == QLatin1String("restore")) {
        QFile file(opts.file);
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("Не удалось открыть резервную копию %1: %2").arg(opts.file, file.errorString())};
        backup = std::make_unique<BackupFile>();
        QString why;
        if (!backup->fromJson(file.read(1 << 20), &why))
            problems << QStringLiteral("Резервная копия %1 не принята: %2").arg(opts.file, why);
    } else if (!opts.out.isEmpty() && !canCreate(opts.out)) {
        problems << QStringLiteral("Нет папки для файла %1").arg(opts.out);
    }
    return problems;
}

BoardJob* CliApp::makeJob(BoardSession* session)
{
    const QString& c = opts.command;
    if (c == QLatin1String("flash"))
        return new FlashJob(session, sheet.get(), opts.start, opts.force);
    if (c == QLatin1String("backup"))
        return new BackupJob(session, opts.out, toolName());
    if (c == QLatin1String("restore"))
        return new RestoreJob(session, backup.get(), opts.force);
    if (c == QLatin1String("archive"))
        return new ArchiveJob(session, opts.out);
    return new InfoJob(session);
}

void CliApp::startBoards()
{
    // With --json the standard output carries only the result.
    QTextStream& stream = opts.json ? *con.err : *con.out;
    const bool terminal = (opts.json ? con.errTerminal : con.outTerminal) && !opts.verbose;
    progress = new ProgressView(stream, terminal, con.columns, this);
    for (const QString& port : opts.ports) {
        auto* session = new BoardSession(port, this);
        sessions << session;
        progress->add(session);
        connect(session, &BoardSession::ended, this, &CliApp::sessionEnded);
        if (opts.verbose)
            connect(session, &BoardSession::engineLog, this, [this, port](const QString& line) {
                *con.err << QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz ")) << "["
                         << port << "] " << line << "\n";
                con.err->flush();
            });
    }
    running = sessions.size();
    for (BoardSession* session : sessions)
        makeJob(session)->start();
}

void CliApp::sessionEnded()
{
    if (--running > 0)
        return;
    // Out of the last session's own signal before anything is torn down.
    QTimer::singleShot(0, this, [this] { printResult(); });
}

void CliApp::printResult()
{
    progress->finish();
    const bool allOk = std::all_of(sessions.begin(), sessions.end(), [](const BoardSession* s) { return s->succeeded(); });
    const int code = allOk ? kExitOk : kExitBoardFailed;
    if (opts.json) {
        QJsonObject result = Summary::json(opts.command, sessions, code);
        if (!opts.file.isEmpty())
            result.insert(QStringLiteral("file"), opts.file);
        *con.out << QJsonDocument(result).toJson();
    } else {
        for (const QString& line : Summary::reportLines(sessions))
            *con.out << line << "\n";
        *con.out << "\n";
        for (const QString& line : Summary::table(sessions))
            *con.out << line << "\n";
    }
    con.out->flush();
    con.err->flush();
    emit finished(code);
}
