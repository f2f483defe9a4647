#include "BoardServer.h"

#include "FrameCodec.h"
#include "SimulatorPorts.h"
#include "StateFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>

// One line per request and per injected fault; off unless enabled
// (QT_LOGGING_RULES="rconf.sim.debug=true").
Q_LOGGING_CATEGORY(lcSim, "rconf.sim", QtInfoMsg)

namespace vboard {

namespace {
constexpr int kTickMs = 10;            // board clock resolution
constexpr int kExpireMs = 200;         // an incomplete request is given up after this
constexpr int kDrainPollMs = 5;        // waiting for the client to read the last reply
constexpr int kDrainMaxWaits = 60;     // ... at most about 300 ms
constexpr int kSaveDelayMs = 300;
constexpr int kPeriodicSaveMs = 10000;
} // namespace

BoardServer::BoardServer(const Options& options, QObject* parent)
    : QObject(parent), opts(options), model(options.type, options.program, options.seed),
      faults(options.seed ^ 0x5EEDu)
{
    // The port list needs an absolute path; one discovery entry per path, so
    // a board started again at the path of a crashed one replaces its entry.
    link = QFileInfo(opts.linkPath.isEmpty() ? defaultLinkPath(opts.type) : opts.linkPath).absoluteFilePath();
    discoveryId = QFileInfo(link).fileName() + QLatin1Char('-') +
                  QString::number(qHash(link), 16).rightJustified(8, QLatin1Char('0'));
    clock.start();
    model.refusePageWrite(opts.failPage);

    clockTimer.setInterval(kTickMs);
    clockTimer.setTimerType(Qt::PreciseTimer);
    connect(&clockTimer, &QTimer::timeout, this, &BoardServer::syncClock);
    pumpTimer.setSingleShot(true);
    pumpTimer.setTimerType(Qt::PreciseTimer);
    connect(&pumpTimer, &QTimer::timeout, this, &BoardServer::pump);
    expireTimer.setSingleShot(true);
    expireTimer.setInterval(kExpireMs);
    connect(&expireTimer, &QTimer::timeout, this, [this] {
        for (const QByteArray& f : assembler.expire())
            handleFrame(f);
        if (assembler.isHolding())
            expireTimer.start();
    });
    restartTimer.setSingleShot(true);
    connect(&restartTimer, &QTimer::timeout, this, &BoardServer::finishRestart);
    drainTimer.setSingleShot(true);
    drainTimer.setInterval(kDrainPollMs);
    connect(&drainTimer, &QTimer::timeout, this, &BoardServer::afterQueueDrained);
    saveTimer.setSingleShot(true);
    saveTimer.setInterval(kSaveDelayMs);
    connect(&saveTimer, &QTimer::timeout, this, [this] { saveState(); });
    periodicSaveTimer.setInterval(kPeriodicSaveMs);
    connect(&periodicSaveTimer, &QTimer::timeout, this, [this] {
        if (model.statistics() != savedStatistics)
            saveState();
    });
}

BoardServer::~BoardServer()
{
    saveState();
    goDown();
    if (opts.registerForDiscovery)
        SimulatorPorts::unregisterEntry(discoveryId);
}

QString BoardServer::defaultLinkPath(BoardType type)
{
    return SimulatorPorts::folder() + QStringLiteral("/vboard-") + typeKey(type);
}

bool BoardServer::start(QString* error)
{
    // A refused state file is left as it is: never replaced by a fresh board.
    if (!opts.stateFile.isEmpty() && !StateFile::load(opts.stateFile, model, error))
        return false;
    stateUsable = true;
    model.powerOn();
    // Written at once, so an unwritable state path is reported before serving.
    if (!saveState(error))
        return false;
    if (opts.linkPath.isEmpty())
        QDir().mkpath(SimulatorPorts::folder());
    if (!bringUp(error))
        return false;
    clockTimer.start();
    if (!opts.stateFile.isEmpty())
        periodicSaveTimer.start();
    return true;
}

bool BoardServer::bringUp(QString* error)
{
    QString why;
    if (!pty.open(link, &why)) {
        if (error)
            *error = QStringLiteral("Симулятор платы: ") + why;
        return false;
    }
    readNotifier.reset(new QSocketNotifier(pty.masterFd(), QSocketNotifier::Read));
    connect(readNotifier.get(), &QSocketNotifier::activated, this, &BoardServer::onReadable);
    writeNotifier.reset(new QSocketNotifier(pty.masterFd(), QSocketNotifier::Write));
    writeNotifier->setEnabled(false);
    connect(writeNotifier.get(), &QSocketNotifier::activated, this, &BoardServer::onWritable);
    lastTick = clock.elapsed();
    lineFreeAt = 0;
    registerDiscovery();
    return true;
}

void BoardServer::goDown()
{
    readNotifier.reset();
    writeNotifier.reset();
    pumpTimer.stop();
    drainTimer.stop();
    expireTimer.stop();
    queue.clear();
    heldBack.clear();   // a held-back reply is lost with the terminal
    assembler = RequestAssembler();
    pty.close();
}

void BoardServer::registerDiscovery()
{
    if (!opts.registerForDiscovery)
        return;
    const QString description = QStringLiteral("симулятор платы, ") + typeNameRu(opts.type) + QStringLiteral(", ") +
                                programNameRu(model.program());
    SimulatorPorts::registerEntry(discoveryId, {link, description});
}

void BoardServer::disconnectNow()
{
    restartTimer.stop();
    restartAfterFlush = false;
    goDown();
}

void BoardServer::reconnect()
{
    if (pty.isOpen())
        return;
    restartTimer.stop();
    restartAfterFlush = false;
    bringUp(nullptr);
}

void BoardServer::syncClock()
{
    const qint64 now = clock.elapsed();
    if (pty.isOpen())
        model.advanceTime(now - lastTick);
    lastTick = now;
}

// ---- requests ------------------------------------------------------------

void BoardServer::onReadable()
{
    bool hangUp = false;
    const QByteArray bytes = pty.readAvailable(&hangUp);
    if (hangUp && readNotifier)
        readNotifier->setEnabled(false);
    if (bytes.isEmpty())
        return;
    for (const QByteArray& f : assembler.feed(bytes))
        handleFrame(f);
    if (assembler.isHolding())
        expireTimer.start();
    else
        expireTimer.stop();
}

void BoardServer::handleFrame(const QByteArray& frame)
{
    received.append(frame);
    emit requestReceived(frame);
    if (!answering || restartAfterFlush || !pty.isOpen())
        return;
    syncClock();
    const QByteArray reply = model.handleRequest(frame);
    qCDebug(lcSim, "request 0x%02x (%d bytes), reply 0x%02x (%d bytes)", FrameCodec::code(frame), int(frame.size()),
            FrameCodec::code(reply), int(reply.size()));
    if (model.restartPending())
        restartAfterFlush = true;
    if (!reply.isEmpty())
        scheduleReply(reply);
    if (model.persistentRevision() != savedRevision)
        scheduleSave();
    if (restartAfterFlush && queue.isEmpty() && !drainTimer.isActive()) {
        drainWaits = 0;
        afterQueueDrained();
    }
}

// ---- replies and faults ----------------------------------------------------

double BoardServer::chance()
{
    return faults() / 4294967296.0;
}

int BoardServer::randomBetween(int low, int high)
{
    return low + static_cast<int>(faults() % static_cast<uint32_t>(high - low + 1));
}

void BoardServer::scheduleReply(QByteArray frame)
{
    if (opts.dropProbability > 0 && chance() < opts.dropProbability) {
        qCDebug(lcSim, "reply 0x%02x dropped", FrameCodec::code(frame));
        return;
    }
    if (opts.corruptProbability > 0 && chance() < opts.corruptProbability) {
        const int at = randomBetween(0, frame.size() - 1);
        frame[at] = static_cast<char>(frame.at(at) ^ randomBetween(1, 255));
        qCDebug(lcSim, "reply byte %d corrupted", at);
    }
    if (duplicateNext || (opts.duplicateProbability > 0 && chance() < opts.duplicateProbability)) {
        duplicateNext = false;
        frame += frame;
        qCDebug(lcSim, "reply 0x%02x sent twice", FrameCodec::code(frame));
    }
    if (holdBackOrJoin(frame))
        return;
    QList<QByteArray> pieces;
    if (opts.split && frame.size() >= 2) {
        const int count = std::min(randomBetween(2, 4), static_cast<int>(frame.size()));
        QList<int> cuts;
        while (cuts.size() < count - 1) {
            const int cut = randomBetween(1, frame.size() - 1);
            if (!cuts.contains(cut))
                cuts.append(cut);
        }
        std::sort(cuts.begin(), cuts.end());
        int from = 0;
        for (int cut : cuts) {
            pieces.append(frame.mid(from, cut - from));
            from = cut;
        }
        pieces.append(frame.mid(from));
    } else {
        pieces.append(frame);
    }
    double due = std::max<double>(static_cast<double>(clock.elapsed() + opts.delayMs), lineFreeAt);
    for (int i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            due += randomBetween(2, 6);
        if (opts.baud > 0)
            due += pieces.at(i).size() * 10 * 1000.0 / opts.baud; // 8N1: ten bit times a byte
        queue.append({pieces.at(i), 0, due, i == pieces.size() - 1, frame});
    }
    lineFreeAt = due;
    pump();
}

bool BoardServer::holdBackOrJoin(QByteArray& frame)
{
    if (!heldBack.isEmpty()) {
        frame.prepend(heldBack);
        heldBack.clear();
        return false;
    }
    if (joinNext || (opts.joinProbability > 0 && chance() < opts.joinProbability)) {
        joinNext = false;
        heldBack = frame;
        return true;
    }
    return false;
}

void BoardServer::pump()
{
    while (!queue.isEmpty() && pty.isOpen()) {
        Chunk& head = queue.first();
        const double now = static_cast<double>(clock.elapsed());
        if (head.dueMs > now) {
            pumpTimer.start(static_cast<int>(std::ceil(head.dueMs - now)));
            return;
        }
        const qint64 n = pty.write(head.bytes.constData() + head.sent, head.bytes.size() - head.sent);
        if (n < 0) {
            queue.clear();
            break;
        }
        head.sent += static_cast<int>(n);
        if (head.sent < head.bytes.size()) {
            if (writeNotifier)
                writeNotifier->setEnabled(true);
            return;
        }
        const Chunk done = queue.takeFirst();
        emit pieceWritten(done.bytes);
        if (done.last)
            emit replySent(done.frame);
    }
    if (queue.isEmpty() && restartAfterFlush && !drainTimer.isActive() && !restartTimer.isActive()) {
        drainWaits = 0;
        afterQueueDrained();
    }
}

void BoardServer::onWritable()
{
    if (writeNotifier)
        writeNotifier->setEnabled(false);
    pump();
}

// ---- restart ---------------------------------------------------------------

void BoardServer::afterQueueDrained()
{
    if (!restartAfterFlush || !queue.isEmpty())
        return;
    // Let the configurator read the last reply before the terminal goes away.
    const bool firstLook = drainWaits == 0;
    if (pty.isOpen() && (firstLook || pty.unreadBySlave() > 0) && drainWaits++ < kDrainMaxWaits) {
        drainTimer.start();
        return;
    }
    goDown();
    if (!opts.stateFile.isEmpty())
        saveState();
    restartTimer.start(std::max(0, opts.restartMs));
}

void BoardServer::finishRestart()
{
    restartAfterFlush = false;
    model.completeRestart();
    bringUp(nullptr);
    if (!opts.stateFile.isEmpty())
        scheduleSave();
    emit restarted();
}

// ---- state file --------------------------------------------------------------

void BoardServer::scheduleSave()
{
    if (!opts.stateFile.isEmpty())
        saveTimer.start();
}

bool BoardServer::saveState(QString* error)
{
    if (opts.stateFile.isEmpty() || !stateUsable)
        return true;
    saveTimer.stop();
    QString why;
    if (!StateFile::save(opts.stateFile, model, &why)) {
        if (error)
            *error = why;
        emit stateSaveFailed(why);
        return false;
    }
    savedRevision = model.persistentRevision();
    savedStatistics = model.statistics();
    return true;
}

} // namespace vboard
