#pragma once
#include "BoardTypes.h"
#include "PtyEndpoint.h"
#include "RequestAssembler.h"
#include "VirtualBoard.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>
#include <random>

namespace vboard {

// Serves a VirtualBoard on a pseudo-terminal, with the board's restarts,
// the discovery entry for the configurator's port list and the injected
// faults (lost, damaged, split, duplicated, joined, delayed and throttled
// replies).
class BoardServer : public QObject
{
    Q_OBJECT
public:
    struct Options {
        BoardType type = BoardType::Physics;
        Program program = Program::Main;
        QString linkPath; // empty: a link in the per-user discovery folder
        int restartMs = 800;
        double dropProbability = 0;
        double corruptProbability = 0;
        bool split = false;
        double duplicateProbability = 0;   // the reply twice in one write
        double joinProbability = 0;        // held back, written with the next reply
        int delayMs = 0;
        int baud = 0;
        int failPage = -1;                 // writes of this program page are refused
        uint32_t seed = 1;
        QString stateFile;
        bool registerForDiscovery = true;
    };

    explicit BoardServer(const Options& options, QObject* parent = nullptr);
    ~BoardServer() override;

    bool start(QString* error = nullptr);
    QString linkPath() const { return link; }
    QString slavePath() const { return pty.slavePath(); }
    bool isUp() const { return pty.isOpen(); }
    VirtualBoard& board() { return model; }

    void setAnswering(bool on) { answering = on; }
    bool isAnswering() const { return answering; }
    // One-off faults on request: the next reply goes out twice in one write,
    // or is held back and written in one go with the reply after it.
    void duplicateNextReply() { duplicateNext = true; }
    void joinNextReply() { joinNext = true; }
    void disconnectNow();
    void reconnect();
    QList<QByteArray> requests() const { return received; }
    void clearRequests() { received.clear(); }
    // Writes the state file now (also done by itself after changes).
    bool saveState(QString* error = nullptr);
    static QString defaultLinkPath(BoardType type);

signals:
    void requestReceived(QByteArray frame);
    void replySent(QByteArray frame);
    // One write to the terminal: the whole reply (with its copy or the reply
    // joined to it), or one piece of a split one.
    void pieceWritten(QByteArray bytes);
    void restarted();
    void stateSaveFailed(QString message);

private:
    struct Chunk {
        QByteArray bytes;
        int sent;
        double dueMs;
        bool last;
        QByteArray frame;
    };

    bool bringUp(QString* error);
    void goDown();
    void onReadable();
    void onWritable();
    void handleFrame(const QByteArray& frame);
    void scheduleReply(QByteArray frame);
    bool holdBackOrJoin(QByteArray& frame);
    void pump();
    void afterQueueDrained();
    void finishRestart();
    void syncClock();
    void registerDiscovery();
    void scheduleSave();
    double chance();
    int randomBetween(int low, int high);

    Options opts;
    VirtualBoard model;
    PtyEndpoint pty;
    RequestAssembler assembler;
    std::unique_ptr<QSocketNotifier> readNotifier, writeNotifier;
    QString link;
    QString discoveryId;
    bool answering = true;
    bool restartAfterFlush = false;
    bool duplicateNext = false;
    bool joinNext = false;
    QByteArray heldBack;   // a reply waiting to be joined with the next one
    QList<QByteArray> received;
    QList<Chunk> queue;
    double lineFreeAt = 0;
    std::mt19937 faults;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    QTimer clockTimer, pumpTimer, expireTimer, restartTimer, drainTimer, saveTimer, periodicSaveTimer;
    int drainWaits = 0;
    bool stateUsable = false; // the state file was loaded (or absent): saving may replace it
    quint64 savedRevision = 0;
    QByteArray savedStatistics;
};

} // namespace vboard
