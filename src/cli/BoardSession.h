#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

#include "LinkHealth.h"
#include "Oru_SerialPort.h"
#include "proto_Vorlen_v2.h"

// One board on one port: its own link, engine and link health, and the
// steps every command is made of - open and ask for the status, switch the
// board to the other program and find it again on the same port, send a
// request and go on when its reply has been decoded. A command (a job)
// chains these steps; each step's continuation runs from the event loop,
// never inside the engine's reply handling, so a request it sends is a new
// transaction. The first failure ends the session: the port is closed and
// nothing further is sent. Sessions share nothing, so one board failing or
// vanishing leaves the others alone.
class BoardSession : public QObject
{
    Q_OBJECT
public:
    using Step = std::function<void()>;

    explicit BoardSession(const QString& port, QObject* parent = nullptr);
    ~BoardSession() override;

    const QString& port() const { return portName; }
    proto_Vorlen_v2& engine() { return proto; }
    const DevInfo& status() const { return proto.deviceInfo(); }
    const LinkHealth& health() const { return linkHealth; }

    // Opens the port (115200 8N1) and asks for the status.
    void connectBoard(Step next);
    // Makes the board run its bootloader (true) or its main program (false):
    // bootloader_init / bootloader_finish, close, reopen the same port every
    // 500 ms for up to 10 s, status again.
    void ensureProgram(bool bootloader, Step next);
    // Sends a request and goes on once its reply has been decoded. A refusal,
    // a request given up or the port lost end the session.
    void ask(uint8_t code, const QByteArray& payload, Step next);
    // The same for a request the engine builds itself (send is called again
    // when the request has to be repeated).
    void await(uint8_t code, std::function<void()> send, Step next);
    // Runs next from the event loop, unless the session has ended by then.
    void defer(Step next);

    void setStage(const QString& text, int percent = -1);
    void succeed(const QString& text);
    void fail(const QString& text);

    bool isFinished() const { return finished; }
    bool succeeded() const { return ok; }
    const QString& resultText() const { return result; }
    const QString& stage() const { return stageText; }
    int percent() const { return stagePercent; }
    double seconds() const;
    int reopenAttempts() const { return reopens; }
    bool statusKnown() const { return haveStatus; }
    // The last "ПРОГРАММИРОВАНИЕ::: " line of the engine, without its prefix.
    const QString& lastProgrammingLine() const { return programmingLine; }

    // Details a command adds to its JSON result, and lines it prints.
    QJsonObject& details() { return extra; }
    QStringList& report() { return reportLines; }
    const QStringList& report() const { return reportLines; }
    QJsonObject toJson() const;

signals:
    void progressed();
    void ended();
    void engineLog(const QString& line);

private:
    struct Wait {
        bool active = false;
        uint8_t code = 0;
        std::function<void()> send;
        Step next;
        bool decoded = false;
        int tries = 0;
    };

    void watchEngine();
    void replyDecoded(uint8_t code);
    void onEngineLog(const QString& line);
    void completeWait();
    void retryWait(const QString& reason);
    void failWait(const QString& reason);
    void onPortLost();
    void beginReopen();
    void reopenAttempt();
    void retryReopen(const QString& reason);
    void afterReopen();
    void wrapUp();
    int openLink();

    QString portName;
    Oru_SerialPort link;
    proto_Vorlen_v2 proto;
    LinkHealth linkHealth;
    Wait wait;
    QTimer waitWatchdog;

    // Program switch: the program wanted, what follows, and the reopen loop.
    bool switching = false;
    bool reconnecting = false;
    bool wantBootloader = false;
    Step afterSwitch;
    QTimer reopenTimer;
    QElapsedTimer reopenClock;
    int reopens = 0;
    QString gateText;

    bool haveStatus = false;
    DevInfo firstStatus;
    bool finished = false;
    bool ok = false;
    QString result;
    QString stageText;
    int stagePercent = -1;
    QString programmingLine;
    QElapsedTimer clock;
    qint64 endedAtMs = -1;
    QJsonObject extra;
    QStringList reportLines;
};
