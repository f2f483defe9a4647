// The simulated board over a real pseudo-terminal, reached through the real
// QSerialPort and the protocol engine: framing on the wire, restarts at the
// same path, discovery, injected faults, the state file and the vboard program.
#include "BoardServer.h"
#include "Crc16.h"
#include "FrameCodec.h"
#include "LittleEndian.h"
#include "Oru_SerialPort.h"
#include "Records.h"
#include "TestBytes.h"
#include "SimulatorPorts.h"
#include "StateFile.h"
#include "proto_Vorlen_v2.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace vboard;

namespace {
const QByteArray kGetInfoReplyPhysicsMain = QByteArray::fromHex("aa0f000001010100400001001283ca");

// A configurator-side port on the board's link: the real QSerialPort.
class Client
{
public:
    explicit Client(const QString& path)
    {
        port.setPortName(path);
        port.setBaudRate(115200);
        QObject::connect(&port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
            // Like the configurator, close a port whose device went away. A
            // hung-up terminal reads end-of-file, which QSerialPort reports
            // as a read error (or a resource error, by the stale errno).
            if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError) {
                lost = true;
                port.close();
            }
        });
        QObject::connect(&port, &QSerialPort::readyRead, [this] { received += port.readAll(); });
    }
    bool open() { return port.open(QIODevice::ReadWrite); }
    void send(const QByteArray& bytes)
    {
        port.write(bytes);
        port.flush();
    }
    // Waits for one whole frame (by its length field) and takes it.
    QByteArray frame(int timeoutMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            if (received.size() >= 3) {
                const int length = le::u16(reinterpret_cast<const uint8_t*>(received.constData()) + 1);
                if (received.size() >= length) {
                    const QByteArray f = received.left(length);
                    received.remove(0, length);
                    return f;
                }
            }
            QTest::qWait(5);
        }
        return QByteArray();
    }
    QByteArray transact(const QByteArray& req, int timeoutMs = 5000)
    {
        send(req);
        return frame(timeoutMs);
    }
    QSerialPort port;
    QByteArray received;
    bool lost = false;
};

BoardServer::Options options(const QString& link, BoardType type = BoardType::Physics, Program p = Program::Main)
{
    BoardServer::Options o;
    o.type = type;
    o.program = p;
    o.linkPath = link;
    o.registerForDiscovery = false;
    o.restartMs = 300;
    return o;
}
} // namespace

class TestSimServer : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void requestsInPiecesAndGarbage();
    void engineTalksToTheBoard();
    void archiveRecordsInRealTime();
    void restartComesBackAtTheSamePath();
    void discoveryListsTheBoardAndFollowsRestarts();
    void droppedAndDamagedReplies();
    void splitDelayedAndThrottledReplies();
    void duplicatedAndJoinedReplies();
    void faultsRepeatWithTheSeed();
    void silenceAndDisconnection();
    void stateFileRoundTrip();
    void damagedStateFileIsRefused();
    void vboardProgram();
    void vboardRefusesBadInput();
    void vboardDefaultLinkIsDiscovered();

private:
    QString link(const QString& name) const { return dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir;
};

void TestSimServer::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

void TestSimServer::requestsInPiecesAndGarbage()
{
    BoardServer server(options(link("b")));
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(QFileInfo(link("b")).isSymLink());
    QSignalSpy received(&server, &BoardServer::requestReceived);
    Client c(server.linkPath());
    QVERIFY(c.open());

    QCOMPARE(c.transact(wireFrame(0x00)), kGetInfoReplyPhysicsMain);
    // noise first, then a request cut in three writes
    const QByteArray req = wireFrame(0x21, QByteArray::fromHex("0008")) ; // archive data: nothing recorded yet
    c.send(QByteArray::fromHex("0013ff"));
    QTest::qWait(20);
    c.send(req.left(2));
    QTest::qWait(20);
    c.send(req.mid(2, 3));
    QTest::qWait(20);
    c.send(req.mid(5));
    QCOMPARE(c.frame(), QByteArray::fromHex("aa0600ff81bd"));
    // a request with a bad checksum is refused, and the stream stays in step
    QByteArray bad = wireFrame(0x31);
    bad[5] = char(bad.at(5) ^ 1);
    QCOMPARE(c.transact(bad), QByteArray::fromHex("aa0600ff81bd"));
    const QByteArray hw = c.transact(wireFrame(0x31));
    QCOMPARE(hw.size(), 296);
    QCOMPARE(hw.mid(4, 288), server.board().hwConfig());

    // a stray start byte announcing a long frame is given up, and the
    // request behind it is still answered
    c.send(QByteArray::fromHex("aaff01"));
    QTest::qWait(20);
    QCOMPARE(c.transact(wireFrame(0x00)), kGetInfoReplyPhysicsMain);

    const QList<QByteArray> seen = server.requests();
    QCOMPARE(seen.size(), 5);
    QCOMPARE(seen.at(1), req);
    QCOMPARE(seen.at(2), bad);
    QCOMPARE(seen.at(4), wireFrame(0x00));
    QCOMPARE(received.count(), 5);
    server.clearRequests();
    QVERIFY(server.requests().isEmpty());
}

void TestSimServer::engineTalksToTheBoard()
{
    BoardServer server(options(link("e"), BoardType::Chemistry));
    QVERIFY(server.start());
    Oru_SerialPort serial;
    proto_Vorlen_v2 proto;
    QStringList log;
    connect(&proto, &proto_Vorlen_v2::log, [&log](const QString& line) { log << line; });
    connect(&proto, &proto_Vorlen_v2::_transmit_data, &serial, &Oru_SerialPort::send);
    connect(&serial, &Oru_SerialPort::_data_recevied, &proto, &proto_Vorlen_v2::parseReceived);
    QCOMPARE(serial.openPort(server.linkPath(), 115200, 8, 0, 1), 0);

    QSignalSpy info(&proto, &proto_Vorlen_v2::cmd_getInfo_received);
    proto.sendCommand(0x00, nullptr, 0);
    QTRY_COMPARE_WITH_TIMEOUT(info.count(), 1, 5000);
    QCOMPARE(int(proto.deviceInfo().progMode), 1);
    QCOMPARE(int(proto.deviceInfo().devType), 2);
    QCOMPARE(int(proto.deviceInfo().blVersion), 0x12);

    QSignalSpy raw(&proto, &proto_Vorlen_v2::cmd_RawData_received);
    const uint8_t control[3] = {0xC3, 1, 1};
    proto.requestRawData(control, 3);
    QTRY_COMPARE_WITH_TIMEOUT(raw.count(), 1, 5000);
    QCOMPARE(int(proto.rawDataRecord()[rec::raw::kOutputs]), 0xC3);
    QCOMPARE(int(proto.rawDataRecord()[rec::raw::kAccScale]), 1);
    QVERIFY(log.contains(QStringLiteral("RawData: пакет данных обработан")));

    QByteArray atAnswer;
    connect(&proto, &proto_Vorlen_v2::cmd_atCmd_received,
            [&atAnswer](uint8_t* data, uint32_t size) { atAnswer = QByteArray(reinterpret_cast<char*>(data), int(size)); });
    const QByteArray atPayload = QByteArray::fromHex("80250000") + "AT+VERS?\r\n";
    proto.sendCommand(0x50, reinterpret_cast<const uint8_t*>(atPayload.constData()), uint32_t(atPayload.size()));
    QTRY_COMPARE_WITH_TIMEOUT(atAnswer, QByteArray("HMSoft V540\r\n"), 5000);
    QVERIFY(log.contains(QStringLiteral("Принят ожидаемый ответ на команду - Принят ответ на АТ-команду от BLE модуля, на скорости 9600")));

    // the board refuses what its program does not allow
    log.clear();
    proto.sendCommand(0x30, nullptr, 0);
    QTRY_VERIFY_WITH_TIMEOUT(log.contains(QStringLiteral("ОТВЕТ МК - недопустимая команда, ошибка контрольной суммы, или формата запроса")), 5000);

    QSignalSpy reload(&proto, &proto_Vorlen_v2::cmd_Reload_Request);
    proto.sendCommand(0x84, nullptr, 0);
    QTRY_COMPARE_WITH_TIMEOUT(reload.count(), 1, 5000);
}

void TestSimServer::archiveRecordsInRealTime()
{
    BoardServer server(options(link("a")));
    QVERIFY(server.start());
    Oru_SerialPort serial;
    proto_Vorlen_v2 proto;
    connect(&proto, &proto_Vorlen_v2::_transmit_data, &serial, &Oru_SerialPort::send);
    connect(&serial, &Oru_SerialPort::_data_recevied, &proto, &proto_Vorlen_v2::parseReceived);
    QCOMPARE(serial.openPort(server.linkPath(), 115200, 8, 0, 1), 0);
    QSignalSpy info(&proto, &proto_Vorlen_v2::cmd_getInfo_received);
    proto.sendCommand(0x00, nullptr, 0);
    QTRY_COMPARE_WITH_TIMEOUT(info.count(), 1, 5000);

    QSignalSpy status(&proto, &proto_Vorlen_v2::cmd_archiveControl_received);
    uint8_t start[30] = {};
    le::put32(start, 10);
    start[rec::archive::kCount] = 20;
    proto.sendCommand(0x20, start, sizeof start);
    QTRY_COMPARE_WITH_TIMEOUT(status.count(), 1, 5000);
    QCOMPARE(int(proto.archiveStatusRecord()[rec::archive::kState]), 1);
    // 20 records at 10 ms: finished within a fraction of a second of real time
    QElapsedTimer t;
    t.start();
    while (proto.archiveStatusRecord()[rec::archive::kState] != 3 && t.elapsed() < 10000) {
        const int before = status.count();
        proto.sendCommand(0x20, nullptr, 0);
        QTRY_VERIFY_WITH_TIMEOUT(status.count() > before, 5000);
        QTest::qWait(20);
    }
    QCOMPARE(int(proto.archiveStatusRecord()[rec::archive::kState]), 3);
    QCOMPARE(int(proto.archiveStatusRecord()[rec::archive::kStored]), 20);

    QSignalSpy data(&proto, &proto_Vorlen_v2::cmd_ArchiveData_received);
    for (uint8_t address = 0; address < 20; address += 8) {
        const uint8_t ask[2] = {address, uint8_t(std::min(8, 20 - address))};
        proto.sendCommand(0x21, ask, 2);
        QTRY_COMPARE_WITH_TIMEOUT(data.count(), address / 8 + 1, 5000);
    }
    const uint32_t t0 = le::u32(proto.archiveRecords() + rec::meas::kRunTime);
    for (int k = 0; k < 20; ++k) {
        const uint8_t* r = proto.archiveRecords() + 64 * k;
        QCOMPARE(le::u32(r + rec::meas::kRunTime), t0 + 10u * uint32_t(k));
        QCOMPARE(int(r[rec::meas::kAnswerBits]), 0x0F);
    }
}

void TestSimServer::restartComesBackAtTheSamePath()
{
    BoardServer server(options(link("r"), BoardType::Photocolorimeter));
    QVERIFY(server.start());
    QSignalSpy restarted(&server, &BoardServer::restarted);
    {
        Client c(server.linkPath());
        QVERIFY(c.open());
        QCOMPARE(int(uint8_t(c.transact(wireFrame(0x00)).at(4))), 11);
        QCOMPARE(c.transact(wireFrame(0x84)), QByteArray::fromHex("aa060084c19e"));
        QTRY_VERIFY_WITH_TIMEOUT(c.lost, 5000);               // the open port sees the loss
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(link("r")), 5000);
        QCOMPARE(restarted.count(), 0);
    }
    QTRY_COMPARE_WITH_TIMEOUT(restarted.count(), 1, 5000);
    QVERIFY(QFileInfo(link("r")).isSymLink());
    Client again(server.linkPath());
    QVERIFY(again.open());
    QCOMPARE(int(uint8_t(again.transact(wireFrame(0x00)).at(4))), 10);
    QCOMPARE(again.transact(wireFrame(0x85)), wireFrame(0x85)); // an empty reply is the request's twin
    QTRY_COMPARE_WITH_TIMEOUT(restarted.count(), 2, 5000);
    Client third(server.linkPath());
    QVERIFY(third.open());
    QCOMPARE(int(uint8_t(third.transact(wireFrame(0x00)).at(4))), 11);
    const QByteArray stat = third.transact(wireFrame(0xFE)).mid(4, 60);
    QCOMPARE(le::u32(reinterpret_cast<const uint8_t*>(stat.constData())), 2u); // power-up and one restart
}

void TestSimServer::discoveryListsTheBoardAndFollowsRestarts()
{
    BoardServer::Options o = options(link("d"), BoardType::Ecology, Program::Bootloader);
    o.registerForDiscovery = true;
    o.restartMs = 100;
    const QString entry = QStringLiteral("(") + link("d") + QStringLiteral(")   RConf симулятор платы, экология, ");
    {
        BoardServer server(o);
        QVERIFY(server.start());
        Oru_SerialPort serial;
        QVERIFY(serial.freePortList().contains(entry + QStringLiteral("загрузчик")));
        QSignalSpy restarted(&server, &BoardServer::restarted);
        Client c(server.linkPath());
        QVERIFY(c.open());
        c.transact(wireFrame(0x85));
        QTRY_COMPARE_WITH_TIMEOUT(restarted.count(), 1, 5000);
        QVERIFY(serial.freePortList().contains(entry + QStringLiteral("основная программа")));
        server.disconnectNow();
        QVERIFY(!serial.freePortList().join('\n').contains(link("d"))); // a vanished board is not offered
        server.reconnect();
        QVERIFY(serial.freePortList().contains(entry + QStringLiteral("основная программа")));
    }
    for (const SimulatorPorts::Entry& e : SimulatorPorts::list())
        QVERIFY(e.path != link("d"));
}

void TestSimServer::droppedAndDamagedReplies()
{
    BoardServer::Options o = options(link("f"));
    o.dropProbability = 1.0;
    {
        BoardServer server(o);
        QVERIFY(server.start());
        QSignalSpy sent(&server, &BoardServer::replySent);
        Client c(server.linkPath());
        QVERIFY(c.open());
        QVERIFY(c.transact(wireFrame(0x00), 400).isEmpty());
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(sent.count(), 0);
        // even a lost reply to bootloader_init restarts the board
        QSignalSpy restarted(&server, &BoardServer::restarted);
        c.send(wireFrame(0x84));
        QTRY_COMPARE_WITH_TIMEOUT(restarted.count(), 1, 5000);
        QCOMPARE(server.board().program(), Program::Bootloader);
    }
    o.dropProbability = 0;
    o.corruptProbability = 1.0;
    BoardServer server(o);
    QVERIFY(server.start());
    Client c(server.linkPath());
    QVERIFY(c.open());
    for (int i = 0; i < 5; ++i) {
        c.send(wireFrame(0x00));
        QTRY_COMPARE_WITH_TIMEOUT(c.received.size(), kGetInfoReplyPhysicsMain.size(), 5000);
        const QByteArray got = c.received;
        c.received.clear();
        int differing = 0;
        for (int k = 0; k < got.size(); ++k)
            differing += got.at(k) != kGetInfoReplyPhysicsMain.at(k);
        QCOMPARE(differing, 1);
        QVERIFY(!FrameCodec::isFrame(got));
    }
}

void TestSimServer::splitDelayedAndThrottledReplies()
{
    BoardServer::Options o = options(link("s"));
    o.split = true;
    {
        BoardServer server(o);
        QVERIFY(server.start());
        QSignalSpy pieces(&server, &BoardServer::pieceWritten);
        QSignalSpy sent(&server, &BoardServer::replySent);
        Client c(server.linkPath());
        QVERIFY(c.open());
        for (int i = 0; i < 6; ++i) {
            pieces.clear();
            const QByteArray reply = c.transact(wireFrame(0x1F));
            QCOMPARE(reply.size(), 262);
            QVERIFY(FrameCodec::isFrame(reply));
            QVERIFY2(pieces.count() >= 2 && pieces.count() <= 4, qPrintable(QString::number(pieces.count())));
            QByteArray joined;
            for (const QList<QVariant>& p : pieces)
                joined += p.at(0).toByteArray();
            QCOMPARE(joined, reply);
            QCOMPARE(sent.last().at(0).toByteArray(), reply);
        }
    }
    o.split = false;
    o.delayMs = 300;
    {
        BoardServer server(o);
        QVERIFY(server.start());
        Client c(server.linkPath());
        QVERIFY(c.open());
        QElapsedTimer t;
        t.start();
        QCOMPARE(c.transact(wireFrame(0x00)), kGetInfoReplyPhysicsMain);
        QVERIFY(t.elapsed() >= 295); // never earlier than asked
    }
    o.delayMs = 0;
    o.baud = 9600;
    BoardServer server(o);
    QVERIFY(server.start());
    Client c(server.linkPath());
    QVERIFY(c.open());
    QElapsedTimer t;
    t.start();
    // two raw packets back to back: 524 bytes take 546 ms on a 9600 baud line
    c.send(wireFrame(0x1F) + wireFrame(0x1F));
    QCOMPARE(c.frame().size(), 262);
    QCOMPARE(c.frame().size(), 262);
    QVERIFY2(t.elapsed() >= 540, qPrintable(QString::number(t.elapsed())));
}

void TestSimServer::duplicatedAndJoinedReplies()
{
    BoardServer server(options(link("dj")));
    QVERIFY(server.start());
    QSignalSpy writes(&server, &BoardServer::pieceWritten);
    Client c(server.linkPath());
    QVERIFY(c.open());
    server.duplicateNextReply();
    c.send(wireFrame(0x00));
    QTRY_COMPARE_WITH_TIMEOUT(writes.count(), 1, 5000);
    QCOMPARE(writes.takeFirst().at(0).toByteArray(), kGetInfoReplyPhysicsMain + kGetInfoReplyPhysicsMain);
    QTRY_COMPARE_WITH_TIMEOUT(c.received.size(), 30, 5000);
    c.received.clear();

    // A held-back reply goes out in one write with the next one.
    server.joinNextReply();
    c.send(wireFrame(0x00));
    QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 2, 5000);
    QCOMPARE(writes.count(), 0);
    c.send(wireFrame(0xFE));
    QTRY_COMPARE_WITH_TIMEOUT(writes.count(), 1, 5000);
    const QByteArray joined = writes.takeFirst().at(0).toByteArray();
    QCOMPARE(joined.left(15), kGetInfoReplyPhysicsMain);
    QCOMPARE(joined.size(), 15 + 66);
    QVERIFY(FrameCodec::isFrame(joined.mid(15)));
    QTRY_COMPARE_WITH_TIMEOUT(c.received, joined, 5000);
    c.received.clear();
    // Each fault was for one reply only.
    QCOMPARE(c.transact(wireFrame(0x00)), kGetInfoReplyPhysicsMain);
    QCOMPARE(writes.count(), 1);
}

void TestSimServer::faultsRepeatWithTheSeed()
{
    // Which replies are lost depends only on the seed. Judged on the board's
    // side (request handled, reply written or not), so load cannot blur it.
    auto pattern = [this](uint32_t seed, const QString& name) {
        BoardServer::Options o = options(link(name));
        o.dropProbability = 0.5;
        o.seed = seed;
        BoardServer server(o);
        if (!server.start())
            return QString("start failed");
        int sent = 0;
        connect(&server, &BoardServer::replySent, [&sent](const QByteArray&) { ++sent; });
        Client c(server.linkPath());
        c.open();
        QString answered;
        for (int i = 0; i < 16; ++i) {
            const int before = sent;
            c.send(wireFrame(0x00));
            QElapsedTimer t;
            t.start();
            while (server.requests().size() < i + 1 && t.elapsed() < 5000)
                QTest::qWait(2);
            answered += sent > before ? '+' : '-';
        }
        return answered;
    };
    const QString first = pattern(7, "p1");
    QCOMPARE(pattern(7, "p2"), first);
    QVERIFY(first.contains('-') && first.contains('+'));
    QVERIFY(pattern(8, "p3") != first);
}

void TestSimServer::silenceAndDisconnection()
{
    BoardServer server(options(link("x")));
    QVERIFY(server.start());
    Client c(server.linkPath());
    QVERIFY(c.open());
    server.setAnswering(false);
    QVERIFY(c.transact(wireFrame(0x00), 300).isEmpty());
    QCOMPARE(server.requests().size(), 1);
    server.setAnswering(true);
    QCOMPARE(c.transact(wireFrame(0x00)), kGetInfoReplyPhysicsMain);

    server.disconnectNow();
    QTRY_VERIFY_WITH_TIMEOUT(c.lost, 5000);
    QVERIFY(!QFileInfo::exists(link("x")) && !QFileInfo(link("x")).isSymLink());
    server.reconnect();
    QVERIFY(QFileInfo(link("x")).isSymLink());
    Client again(server.linkPath());
    QVERIFY(again.open());
    QCOMPARE(again.transact(wireFrame(0x00)), kGetInfoReplyPhysicsMain);
}

void TestSimServer::stateFileRoundTrip()
{
    BoardServer::Options o = options(link("st"), BoardType::Physics, Program::Bootloader);
    o.stateFile = dir->filePath("board.state");
    QByteArray page(1024, '\0');
    for (int i = 0; i < 1024; ++i)
        page[i] = char(i * 13);
    QByteArray hw = BoardServer(o).board().hwConfig();
    hw[1] = char(9);
    {
        BoardServer server(o);
        QVERIFY(server.start());
        Client c(server.linkPath());
        QVERIFY(c.open());
        QCOMPARE(c.transact(wireFrame(0x80, QByteArray(1, char(3)) + page)), wireFrame(0x80, QByteArray(1, char(3))));
        QByteArray block = hw + QByteArray(2, '\0');
        Crc16().append(reinterpret_cast<uint8_t*>(block.data()), uint16_t(block.size()));
        QCOMPARE(c.transact(wireFrame(0x30, block)), wireFrame(0x30));
        c.transact(wireFrame(0x50, QByteArray::fromHex("80250000") + "AT+NAMEKeepMe\r\n"));
        QSignalSpy restarted(&server, &BoardServer::restarted);
        QCOMPARE(c.transact(wireFrame(0x85)), wireFrame(0x85));
        QTRY_VERIFY_WITH_TIMEOUT(c.lost, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(restarted.count(), 1, 5000);
        Client m(server.linkPath());
        QVERIFY2(m.open(), qPrintable(m.port.errorString()));
        QCOMPARE(m.transact(wireFrame(0x40, QByteArray::fromHex("000201") + "UD")), wireFrame(0x40, QByteArray::fromHex("000201")));
    }
    QCOMPARE(QFileInfo(o.stateFile).size(), qint64(StateFile::fileSize()));
    BoardServer again(o);
    QVERIFY(again.start());
    QCOMPARE(again.board().flashPage(3), page);
    QCOMPARE(again.board().flashPage(4), QByteArray(1024, '\xFF'));
    QCOMPARE(again.board().hwConfig(), hw);
    QCOMPARE(again.board().bleName(), QStringLiteral("KeepMe"));
    QCOMPARE(again.board().userData().left(2), QByteArray("UD"));
    // starts: first power-up in the bootloader none, restart into main one, this power-up in the bootloader none
    QCOMPARE(le::u32(reinterpret_cast<const uint8_t*>(again.board().statistics().constData())), 1u);
}

void TestSimServer::damagedStateFileIsRefused()
{
    BoardServer::Options o = options(link("dm"));
    o.stateFile = dir->filePath("damaged.state");
    {
        BoardServer server(o);
        QVERIFY(server.start());
    }
    QFile f(o.stateFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray good = f.readAll();
    f.close();

    struct Damage { QByteArray bytes; QString why; };
    QByteArray flipped = good;
    flipped[5000] = char(flipped.at(5000) ^ 0x10);
    QByteArray wrongType = good;
    const QList<Damage> damages = {
        {flipped, QStringLiteral("контрольная сумма не совпадает")},
        {good.left(good.size() - 1), QStringLiteral("неверный размер")},
        {QByteArray("garbage") + good.mid(7), QStringLiteral("не файл состояния")},
    };
    for (const Damage& d : damages) {
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(d.bytes);
        f.close();
        BoardServer server(o);
        QString error;
        QVERIFY(!server.start(&error));
        QVERIFY2(error.contains(d.why) && error.contains(o.stateFile), qPrintable(error));
        QVERIFY(!QFileInfo(link("dm")).exists());
    }
    // a refused file is left as it was, not overwritten by a fresh board
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), damages.last().bytes);
    f.close();

    // a state file that cannot be written is reported before serving
    BoardServer::Options unwritable = o;
    unwritable.stateFile = dir->filePath("no-such-dir/board.state");
    {
        BoardServer server(unwritable);
        QString error;
        QVERIFY(!server.start(&error));
        QVERIFY2(error.contains(QStringLiteral("Не удалось записать файл состояния")), qPrintable(error));
    }

    // the file of another board type is refused too
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(good);
    f.close();
    BoardServer::Options other = o;
    other.type = BoardType::Biology;
    BoardServer server(other);
    QString error;
    QVERIFY(!server.start(&error));
    QVERIFY2(error.contains(QStringLiteral("другого типа")), qPrintable(error));
}

void TestSimServer::vboardProgram()
{
    QProcess p;
    p.setProgram(QStringLiteral(VBOARD_PATH));
    p.setArguments({"--type", "biology", "--program", "boot", "--link", link("prog"), "--restart-ms", "200"});
    p.start();
    QVERIFY(p.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine(), 10000);
    QCOMPARE(QString::fromLocal8Bit(p.readLine()).trimmed(), link("prog"));
    QByteArray err;
    auto stderrHas = [&](const char* text) {
        err += p.readAllStandardError();
        return err.contains(text);
    };
    {
        Client c(link("prog"));
        QVERIFY(c.open());
        const QByteArray info = c.transact(wireFrame(0x00));
        QCOMPARE(int(uint8_t(info.at(4))), 0);
        QCOMPARE(int(uint8_t(info.at(10))), 4);
        p.write("silent\n");
        QTRY_VERIFY_WITH_TIMEOUT(stderrHas("ответы отключены"), 5000);
        QVERIFY(c.transact(wireFrame(0x00), 300).isEmpty());
        p.write("answer\n");
        QTRY_VERIFY_WITH_TIMEOUT(stderrHas("ответы включены"), 5000);
        QCOMPARE(int(uint8_t(c.transact(wireFrame(0x00)).at(4))), 0);
        p.write("disconnect\n");
        QTRY_VERIFY_WITH_TIMEOUT(c.lost, 5000);
        QVERIFY(!QFileInfo::exists(link("prog")));
        p.write("reconnect\n");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link("prog")), 5000);
    }
    Client c(link("prog"));
    QVERIFY(c.open());
    QCOMPARE(int(uint8_t(c.transact(wireFrame(0x00)).at(10))), 4);
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFileInfo(link("prog")).isSymLink());
}

void TestSimServer::vboardRefusesBadInput()
{
    QProcess help;
    help.start(QStringLiteral(VBOARD_PATH), {"--help"});
    QVERIFY(help.waitForFinished(10000));
    const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
    for (const char* word : {"silent", "answer", "disconnect", "reconnect", "duplicate", "join", "--duplicate", "--join",
                             "--state", "--baud", "--seed"})
        QVERIFY2(text.contains(QLatin1String(word)), word);

    QProcess badType;
    badType.start(QStringLiteral(VBOARD_PATH), {"--type", "astronomy", "--link", link("bad")});
    QVERIFY(badType.waitForFinished(10000));
    QCOMPARE(badType.exitCode(), 2);
    QVERIFY(QString::fromLocal8Bit(badType.readAllStandardError()).contains(QStringLiteral("Неизвестный тип платы: astronomy")));
    QVERIFY(badType.readAllStandardOutput().isEmpty());

    const QString state = dir->filePath("broken.state");
    QFile f(state);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(StateFile::fileSize(), 'x'));
    f.close();
    QProcess broken;
    broken.start(QStringLiteral(VBOARD_PATH), {"--state", state, "--link", link("bad")});
    QVERIFY(broken.waitForFinished(10000));
    QVERIFY(broken.exitCode() != 0);
    QVERIFY(QString::fromLocal8Bit(broken.readAllStandardError()).contains(QStringLiteral("Файл состояния")));
    QVERIFY(broken.readAllStandardOutput().isEmpty());
    QVERIFY(!QFileInfo(link("bad")).isSymLink());
}

void TestSimServer::vboardDefaultLinkIsDiscovered()
{
    // The per-user folder follows XDG_RUNTIME_DIR; point it at a scratch folder.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir->path());
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VBOARD_PATH), {"--type", "ecology"});
    QVERIFY(p.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine(), 10000);
    const QString folder = dir->filePath(QStringLiteral("rconf-vboard"));
    const QString expected = folder + QStringLiteral("/vboard-ecology");
    QCOMPARE(QString::fromLocal8Bit(p.readLine()).trimmed(), expected);

    QDir entries(folder, QStringLiteral("*.port"));
    QCOMPARE(entries.entryList().size(), 1);
    QFile entry(entries.filePath(entries.entryList().first()));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(entry.readAll()),
             expected + QStringLiteral("\nсимулятор платы, экология, основная программа\n"));
    entry.close();
    Client c(expected);
    QVERIFY(c.open());
    QCOMPARE(int(uint8_t(c.transact(wireFrame(0x00)).at(10))), 3);

    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFileInfo(expected).isSymLink());
    QVERIFY(QDir(folder, QStringLiteral("*.port")).entryList().isEmpty());
}

QTEST_GUILESS_MAIN(TestSimServer)
#include "test_sim_server.moc"
