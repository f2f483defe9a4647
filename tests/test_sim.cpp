// The board simulator: the board model answering request by request, the server
// on a pseudo-terminal with its faults, restarts, discovery and state file, the
// engine over the real port, and the vboard program.
#include <QProcess>
#include <QtTest>

#include <csignal>

#include "BoardServer.h"
#include "Crc16.h"
#include "FrameCodec.h"
#include "LittleEndian.h"
#include "Oru_SerialPort.h"
#include "SimulatorPorts.h"
#include "StateFile.h"
#include "TestBytes.h"
#include "WaitTimes.h"
#include "proto_Vorlen_v2.h"

using namespace vboard;

namespace {

QByteArray f(int code, const QByteArray& p = QByteArray()) { return wireFrame(uint8_t(code), p); }
const QByteArray kNo = f(0xFF);
QByteArray le32(uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); }
QByteArray status(int progMode, int type, int freePages = 64) { return f(0, bytes({progMode, 1, 1, 0, freePages, 0, type, 0, 0x12})); }
QByteArray at(const QByteArray& text, uint32_t speed = 115200) { return le32(speed) + text + "\r\n"; }
QByteArray withCrc(QByteArray b)
{
    b.append(2, '\0');
    Crc16().append(raw(b), uint16_t(b.size()));
    return b;
}
QByteArray archive(uint32_t period, int count, int state = 0, int stored = 0)
{
    return le32(period) + bytes({count, state, stored, 26, 12, 6, 16}) + QByteArray(19, '\0');
}
QByteArray stat(uint32_t starts, uint32_t archives = 0, uint32_t seconds = 0, int updates = 0)
{
    return le32(starts) + le32(0) + le32(archives) + le32(seconds) + QByteArray(20, '\0') + bytes({updates}) + QByteArray(23, '\0');
}

// The configurator's side of the link: the product's own port.
struct Client {
    Oru_SerialPort port;
    QByteArray got;
    int lost = 0;
    explicit Client(const QString& path)
    {
        QObject::connect(&port, &Oru_SerialPort::_data_recevied, [this](uint8_t* b, uint32_t n) { got.append(reinterpret_cast<char*>(b), int(n)); });
        QObject::connect(&port, &Oru_SerialPort::portLost, [this] { ++lost; });
        port.openPort(path, 115200, 8, 'n', 1);
    }
    void send(QByteArray b) { port.send(raw(b), uint32_t(b.size())); }
    QByteArray take()   // the next whole frame, by its length field
    {
        auto length = [this] { return got.size() < 3 ? 1 << 20 : int(le::u16(u8(got) + 1)); };
        (void)QTest::qWaitFor([&] { return got.size() >= length(); }, 5000);
        const QByteArray frame = got.left(length());
        got.remove(0, frame.size());
        return frame;
    }
    QByteArray ask(const QByteArray& request, int replies = 1)
    {
        send(request);
        QByteArray out;
        while (replies-- > 0)
            out += take();
        return out;
    }
};

} // namespace

class TestSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());   // discovery in a folder of our own
        QLoggingCategory::setFilterRules("rconf.*.debug=false");
    }
    void board_data();
    void board();
    void wireAndFaults();
    void restartAndDiscovery();
    void stateFile();
    void engineOverThePort_data();
    void engineOverThePort();
    void vboardProgram();

private:
    QTemporaryDir dir;
    BoardServer::Options options(const char* name, BoardType type = BoardType::Physics, Program p = Program::Main) const
    {
        BoardServer::Options o;
        std::tie(o.type, o.program, o.linkPath, o.registerForDiscovery, o.restartMs) = std::make_tuple(type, p, dir.filePath(name), false, 100);
        return o;
    }
};

// A script of requests, each followed by the reply it must get ("*": any reply of its code);
// "t<ms>" lets board time pass, "R" completes a restart.
void TestSim::board_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("main");
    QTest::addColumn<QList<QByteArray>>("script");
    for (int t : {1, 2, 3, 4, 100})
        for (bool main : {false, true})
            QTest::addRow("status %d %d", t, main) << t << main << QList<QByteArray>{f(0), status((t == 100 ? 10 : 0) + main, t)};
    QTest::newRow("reference status") << 1 << true << QList<QByteArray>{f(0), QByteArray::fromHex("aa0f000001010100400001001283ca")};
    const QList<QPair<int, QByteArray>> gated = {{0x20, {}}, {0x21, bytes({0, 1})}, {0x40, bytes({0, 1, 1, 'x'})}, {0x41, {}}, {0x84, {}},
                                                 {0x30, withCrc(QByteArray(288, 1))}, {0x80, QByteArray(1025, 0)}, {0x81, QByteArray(1, 0)},
                                                 {0x82, QByteArray(60, 7)}, {0x85, {}}};
    for (bool main : {false, true}) {
        QList<QByteArray> s = {f(0x20, archive(10, 3)), main ? "*" : kNo, "t5"};
        for (int i = 0; i < gated.size(); ++i)   // the first five for the main program only
            s << f(gated[i].first, gated[i].second) << ((i < 5) == main ? "*" : kNo);
        for (int code : {0x00, 0x10, 0x1F, 0x31, 0x83, 0xFE})
            s << f(code) << "*";
        QTest::addRow("gate %d", main) << 1 << main << (s << f(0x50, at("AT", 9600)) << f(0x50, at("OK", 9600)));
    }
    QTest::newRow("refusals") << 2 << true << QList<QByteArray>{
        f(0).replace(4, 1, "A"), kNo, f(0x77), kNo, QByteArray::fromHex("aa0700"), kNo, QByteArray(), kNo, f(0x1F, bytes({0, 0})), kNo,
        f(0x10, QByteArray(3, 0)), kNo, f(0xFE, bytes({0x94, 0x2C})), kNo, f(0x20, QByteArray(29, 0)), kNo,
        f(0x20, archive(0, 10)), kNo, f(0x20, archive(10, 101)), kNo, f(0x50, QByteArray(3, 0)), kNo};
    const QByteArray page = QByteArray(512, 'p') + QByteArray(512, 'q'), five(1, 5), block(256, 'B');
    QTest::newRow("program memory") << 1 << false << QList<QByteArray>{
        f(0x80, five + page), f(0x80, five), f(0x81, five), f(0x81, five + page), f(0x81, bytes({6})), f(0x81, bytes({6}) + QByteArray(1024, '\xFF')),
        f(0x80, bytes({64}) + page), kNo, f(0x81, bytes({64})), kNo, f(0x80, five + page.left(1000)), kNo, f(0x8A, bytes({5, 2}) + block),
        f(0x8A, bytes({5, 2})), f(0x8B, bytes({5, 2})), f(0x8B, bytes({5, 2}) + block), f(0x81, five), f(0x81, five + page.left(512) + block + page.right(256)),
        f(0x8B, bytes({5, 4})), kNo};
    const QByteArray cfg = QByteArray(34, 'c') + bytes({0xB8, 0x0B}) + QByteArray(24, 'c');   // 3000 bytes: three pages used
    QTest::newRow("firmware configuration") << 4 << false << QList<QByteArray>{
        f(0x82, cfg), f(0x82), f(0x83), f(0x83, cfg), f(0), status(0, 4, 61), f(0xFE), f(0xFE, stat(0, 0, 0, 1)), f(0x82, cfg.left(59)), kNo};
    const QByteArray hw = page.left(288);
    QTest::newRow("hardware configuration") << 1 << false << QList<QByteArray>{
        f(0x30, withCrc(hw).replace(288, 1, "?")), kNo, f(0x30, withCrc(hw).left(289)), kNo, f(0x30, withCrc(hw)), f(0x30), f(0x31), f(0x31, withCrc(hw))};
    const QByteArray data = cfg.left(44);
    QTest::newRow("user data") << 2 << true << QList<QByteArray>{
        f(0x41), f(0x41, QByteArray(44, 0)), f(0x40, bytes({0, 10, 0}) + data.left(10)), f(0x40, bytes({0, 10, 0})),
        f(0x40, bytes({10, 34, 1}) + data.mid(10)), f(0x40, bytes({10, 34, 1})), f(0x41), f(0x41, data),
        f(0x40, bytes({42, 4, 1}) + "abcd"), kNo, f(0x40, bytes({0, 5, 1}) + "abc"), kNo, f(0x41), f(0x41, data)};
    QTest::newRow("no user data") << 3 << true << QList<QByteArray>{f(0x41), f(0x41), f(0x40, bytes({0, 1, 1, 'a'})), kNo};
    QTest::newRow("statistics") << 1 << true << QList<QByteArray>{
        f(0x20, archive(100, 2)), "*", "t2500", f(0xFE), f(0xFE, stat(0, 1, 2)), "t600", f(0xFE), f(0xFE, stat(0, 1, 3)),
        f(0xFE, bytes({0x2B, 0x94})), kNo, f(0xFE, bytes({0x94, 0x2B})), f(0xFE, stat(0)), "R", "R", f(0xFE), f(0xFE, stat(1))};
    QTest::newRow("archive") << 1 << true << QList<QByteArray>{   // the first record at the start, then one every period
        "t5000", f(0x20, archive(10, 12)), f(0x20, archive(10, 12, 1)), "t50", f(0x20), f(0x20, archive(10, 12, 1, 6)),
        f(0x21, bytes({6, 1})), kNo, "t200", f(0x20), f(0x20, archive(10, 12, 3, 12)), f(0x21, bytes({8, 4})), "*",
        f(0x21, bytes({0, 9})), kNo, f(0x21, bytes({12, 1})), kNo};
    QList<QByteArray> ble;
    for (const char* step : {"AT OK", "AT+NAME? OK+NAME:Ruvo_Name", "AT+NAMELab_42 OK+Set:Lab_42", "AT+NAME? OK+NAME:Lab_42",
                             "AT+NAMEthirteen_char ERROR", "AT+VERS? HMSoft V540", "AT+BAUD4 OK+Set:4", "AT+BAUD? OK+Get:4",
                             "AT+BAUD9 ERROR", "AT+RESET OK+RESET", "at ERROR", "AT+RENEW OK+RENEW", "AT+BAUD? OK+Get:0"})
        ble << f(0x50, at(QByteArray(step).split(' ')[0])) << f(0x50, at(QByteArray(step).mid(QByteArray(step).indexOf(' ') + 1)));
    QTest::newRow("BLE module") << 1 << false << ble;
    QTest::newRow("restarts") << 100 << true << QList<QByteArray>{
        f(0x84), QByteArray::fromHex("aa060084c19e"), "R", f(0), status(10, 100), f(0x84), kNo, f(0x85), f(0x85), "R", f(0), status(11, 100),
        f(0xFE), f(0xFE, stat(1))};
}

void TestSim::board()
{
    QFETCH(int, type);
    QFETCH(bool, main);
    QFETCH(QList<QByteArray>, script);
    VirtualBoard b(BoardType(type), main ? Program::Main : Program::Bootloader);
    for (int i = 0; i < script.size(); ++i) {
        const QByteArray step = script[i];
        if (step.startsWith('t') || step == "R") {
            step == "R" ? b.completeRestart() : b.advanceTime(step.mid(1).toInt());
            continue;
        }
        const QByteArray reply = b.handleRequest(step), want = script[++i];
        const bool ok = want == "*" ? FrameCodec::isFrame(reply) && reply.at(3) == step.at(3) : reply == want;
        QVERIFY2(ok, qPrintable(QStringLiteral("step %1: %2").arg(i).arg(QString(reply.left(40).toHex()))));
    }
}

// Requests in pieces and among garbage, the request log, replies twice, joined,
// held back, lost, damaged or cut as asked, and a disconnection.
void TestSim::wireAndFaults()
{
    BoardServer server(options("w"));
    QVERIFY(server.start());
    QSignalSpy writes(&server, &BoardServer::pieceWritten);
    Client c(server.linkPath());
    const QByteArray info = status(1, 1), request = f(0x21, bytes({0, 8})), bad = f(0x31).replace(5, 1, "?");
    QCOMPARE(c.ask(f(0)), info);
    for (const QByteArray& piece : {bytes({0x00, 0x13, 0xFF}), request.left(2), request.mid(2, 3), request.mid(5)}) {
        c.send(piece);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);   // so they come in separate reads
    }
    QCOMPARE(c.take(), kNo);   // nothing recorded yet
    QCOMPARE(c.ask(bad), kNo);
    c.send(bytes({0xAA, 0xFF, 0x01}));   // a stray start byte announcing a long frame is given up
    QCOMPARE(c.ask(f(0)), info);
    QCOMPARE(server.requests(), QList<QByteArray>({f(0), request, bad, f(0)}));
    server.duplicateNextReply();
    writes.clear();
    QCOMPARE(c.ask(f(0), 2), info + info);
    server.joinNextReply();
    c.send(f(0));
    QTRY_COMPARE(server.requests().size(), 6);
    QCOMPARE(c.ask(f(0x83), 2), info + f(0x83, server.board().fwConfig()));
    QCOMPARE(writes.count(), 2);   // each pair in one write
    server.setAnswering(false);
    c.send(f(0x83));
    QTRY_COMPARE(server.requests().size(), 8);
    server.setAnswering(true);
    QCOMPARE(c.ask(f(0)), info);   // the silent request got nothing
    server.disconnectNow();
    QTRY_COMPARE(c.lost, 1);
    QVERIFY(!QFileInfo(server.linkPath()).isSymLink());
    server.reconnect();
    QCOMPARE(Client(server.linkPath()).ask(f(0)), info);

    // Faults: which replies are lost depends on the seed only; a damaged reply differs in one byte;
    // a cut one comes in 2 to 4 writes.
    auto run = [this](double drop, double corrupt, bool split, uint32_t seed, const QList<QByteArray>& requests) {
        BoardServer::Options o = options("f");
        std::tie(o.dropProbability, o.corruptProbability, o.split, o.seed) = std::make_tuple(drop, corrupt, split, seed);
        BoardServer s(o);
        QByteArrayList written;
        QObject::connect(&s, &BoardServer::pieceWritten, [&written](const QByteArray& b) { written << b; });
        Client client((s.start(), s.linkPath()));
        for (const QByteArray& r : requests)
            client.send(r);
        (void)QTest::qWaitFor([&] { return s.requests().size() == requests.size() && written.join().size() >= (split ? 786 : 0); });
        return written;
    };
    QList<QByteArray> blocks;
    for (int i = 0; i < 16; ++i)
        blocks << f(0x8B, bytes({i, 0}));
    const QByteArrayList lost = run(0.5, 0, false, 7, blocks);
    QVERIFY(run(0.5, 0, false, 7, blocks) == lost && run(0.5, 0, false, 8, blocks) != lost && !lost.isEmpty() && lost.size() < 16);
    for (const QByteArray& reply : run(0, 1, false, 1, {f(0), f(0), f(0)})) {
        int differing = 0;
        for (int k = 0; k < reply.size(); ++k)
            differing += reply[k] != info[k];
        QVERIFY(differing == 1 && !FrameCodec::isFrame(reply));
    }
    const QByteArrayList pieces = run(0, 0, true, 1, {f(0x1F), f(0x1F), f(0x1F)});
    QVERIFY(pieces.size() >= 6 && pieces.size() <= 12 && FrameCodec::isFrame(pieces.join().mid(262, 262)));
}

// A restart takes the link away and brings it back at the same path in the other program; the port
// list follows, and a lost reply to bootloader_init restarts the board all the same.
void TestSim::restartAndDiscovery()
{
    BoardServer::Options o = options("d", BoardType::Ecology, Program::Bootloader);
    o.registerForDiscovery = true;
    const QString entry = "(" + o.linkPath + ")   RConf симулятор платы, экология, ";
    auto listed = [] { return Oru_SerialPort().freePortList().join('\n'); };
    {
        BoardServer server(o);
        QVERIFY(server.start() && listed().contains(entry + "загрузчик"));
        QSignalSpy restarted(&server, &BoardServer::restarted);
        Client c(server.linkPath());
        QCOMPARE(c.ask(f(0x85)), f(0x85));   // an empty reply is the request's twin
        QTRY_COMPARE(c.lost, 1);
        QVERIFY(!QFileInfo::exists(o.linkPath) && restarted.wait() && listed().contains(entry + "основная программа"));
        Client again(o.linkPath);
        QCOMPARE(again.ask(f(0)), status(1, 3));
        QCOMPARE(again.ask(f(0xFE)).mid(4, 4), le32(1));   // starts: none at power-up in the bootloader, one in main
        std::tie(o.dropProbability, o.program) = std::make_tuple(1.0, Program::Main);
        BoardServer lossy((o.linkPath = dir.filePath("l"), o));
        QSignalSpy lossyRestarted(&lossy, &BoardServer::restarted);
        Client lossyClient((lossy.start(), o.linkPath));
        lossyClient.send(f(0x84));
        QVERIFY(lossyRestarted.wait() && lossy.board().program() == Program::Bootloader);
        server.disconnectNow();
        QVERIFY(!listed().contains(entry));   // a vanished board is not offered
        server.reconnect();
        QVERIFY(listed().contains(entry + "основная программа"));
    }
    QVERIFY(SimulatorPorts::list().isEmpty());
}

void TestSim::stateFile()
{
    BoardServer::Options o = options("s", BoardType::Physics, Program::Bootloader);
    o.stateFile = dir.filePath("board.state");
    const QByteArray page(1024, 'p'), hw(288, 9);
    {
        BoardServer server(o);
        QSignalSpy restarted(&server, &BoardServer::restarted);
        Client c((server.start(), server.linkPath()));
        QCOMPARE(c.ask(f(0x80, bytes({3}) + page)), f(0x80, bytes({3})));
        QCOMPARE(c.ask(f(0x30, withCrc(hw))), f(0x30));
        c.ask(f(0x50, at("AT+NAMEKeepMe")));
        c.ask(f(0x85));
        QVERIFY(restarted.wait());
        QCOMPARE(Client(o.linkPath).ask(f(0x40, bytes({0, 2, 1}) + "UD")), f(0x40, bytes({0, 2, 1})));
    }
    QCOMPARE(QFileInfo(o.stateFile).size(), qint64(StateFile::fileSize()));
    {
        BoardServer again(o);
        QVERIFY(again.start());
        const VirtualBoard& b = again.board();
        QCOMPARE(b.flashPage(3) + b.flashPage(4).left(1) + b.hwConfig() + b.bleName().toLatin1() + b.userData().left(2) + b.statistics().left(4),
                 page + "\xFF" + hw + "KeepMe" + "UD" + le32(1));   // starts: only the one into the main program
    }
    QFile file(o.stateFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    QByteArray flipped = good;
    flipped[5000] = char(flipped[5000] ^ 0x10);
    file.close();
    for (const auto& d : QList<QPair<QByteArray, QString>>{{flipped, "контрольная сумма не совпадает"},
                                                            {good.chopped(1), "неверный размер"}, {"garbage" + good.mid(7), "не файл состояния"},
                                                            {good, "другого типа"}}) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(d.first) == d.first.size());
        file.close();
        o.type = d.second == "другого типа" ? BoardType::Biology : BoardType::Physics;
        QString error;
        QVERIFY(!BoardServer(o).start(&error));
        QVERIFY2(error.contains(d.second) && error.contains(o.stateFile) && !QFileInfo::exists(o.linkPath), qPrintable(error));
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == d.first);   // a refused file is left as it was
        file.close();
    }
    o.stateFile = dir.filePath("no-such-dir/board.state");
    QString error;
    QVERIFY(!BoardServer(o).start(&error) && error.contains("Не удалось записать файл состояния"));
}

void TestSim::engineOverThePort_data()
{
    QTest::addColumn<bool>("split");
    QTest::addColumn<double>("duplicate");
    QTest::addColumn<double>("join");
    QTest::newRow("split") << true << 0.0 << 0.0;
    QTest::newRow("every reply twice, split") << true << 1.0 << 0.0;
    QTest::newRow("some replies joined with the next") << false << 0.0 << 0.2;
}

// A programming run over the port reads every page back. A copy of a reply, or one that waited for
// the repeat of its request, neither stops the run nor steps it twice.
void TestSim::engineOverThePort()
{
    QFETCH(bool, split);
    QFETCH(double, duplicate);
    QFETCH(double, join);
    WaitTimes::setDivisor(4);
    BoardServer::Options o = options("e", BoardType::Chemistry, Program::Bootloader);
    std::tie(o.split, o.duplicateProbability, o.joinProbability, o.seed) = std::make_tuple(split, duplicate, join, 7);
    BoardServer server(o);
    QVERIFY(server.start());
    proto_Vorlen_v2 e;
    Oru_SerialPort serial;
    QStringList log;
    QObject::connect(&e, &proto_Vorlen_v2::log, [&log](const QString& t) { log << t; });
    QObject::connect(&e, &proto_Vorlen_v2::_transmit_data, &serial, &Oru_SerialPort::send);
    QObject::connect(&serial, &Oru_SerialPort::_data_recevied, &e, &proto_Vorlen_v2::parseReceived);
    QCOMPARE(serial.openPort(server.linkPath(), 115200, 8, 0, 1), 0);
    QByteArray image(4096, 0);
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 7 + 5);
    e.startProgramming(u8(image), uint32_t(image.size()));
    QTRY_VERIFY_WITH_TIMEOUT(!e.isProgramming(), 30000);
    QCOMPARE(log.filter("ПРОГРАММИРОВАНИЕ::: ").last(), QString("ПРОГРАММИРОВАНИЕ::: Запись программы и верификация пройдены успешно!"));
    for (int page = 0; page < 4; ++page)
        QCOMPARE(server.board().flashPage(page), image.mid(page * 1024, 1024));
    e.sendCommand(0x31, nullptr, 0);
    QTRY_COMPARE(QByteArray(reinterpret_cast<const char*>(e.hwConfigRecord()), 288), server.board().hwConfig());
    const int repeats = log.count("Отправка команды, попытка 2");
    QTRY_COMPARE(log.count("Принят повторный ответ на уже выполненную команду - пропущен"), duplicate > 0 ? 12 + repeats : repeats);
    QCOMPARE(server.requests().size(), 12 + repeats);
    QCOMPARE(repeats > 0, join > 0);
    QCOMPARE(e.deviceInfo().devType, uint8_t(2));
    QVERIFY2(log.filter("ОШИБКА").isEmpty(), qPrintable(log.filter("ОШИБКА").join('\n')));
}

void TestSim::vboardProgram()
{
    QProcess p;
    p.start(VBOARD_PATH, {"--type", "biology", "--program", "boot"});
    QVERIFY(p.waitForStarted() && p.waitForReadyRead(10000));
    const QString path = dir.filePath("rconf-vboard/vboard-biology");   // the discovery folder by default
    QCOMPARE(QString::fromLocal8Bit(p.readLine()).trimmed(), path);
    QCOMPARE(SimulatorPorts::list().value(0).description, QString("симулятор платы, биология, загрузчик"));
    QByteArray err;
    for (const char* command : {"silent\n", "answer\n", "duplicate\n", "what\n"})
        p.write(command);
    QVERIFY(QTest::qWaitFor([&] { return (err += p.readAllStandardError()).contains("неизвестная команда: what"); }));
    QVERIFY(err.contains("ответы отключены") && err.contains("ответы включены"));
    {
        Client c(path);
        QCOMPARE(c.ask(f(0), 2), status(0, 4) + status(0, 4));
        p.write("disconnect\n");
        QTRY_COMPARE(c.lost, 1);
        p.write("reconnect\n");
        QTRY_VERIFY(QFileInfo::exists(path));
    }
    QCOMPARE(Client(path).ask(f(0)), status(0, 4));
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0);
    QVERIFY(!QFileInfo(path).isSymLink() && SimulatorPorts::list().isEmpty());
    // Help names every option and command; bad input is refused with a reason and nothing served.
    p.start(VBOARD_PATH, {"--help"});
    QVERIFY(p.waitForFinished());
    const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const char* word : {"silent", "answer", "disconnect", "reconnect", "duplicate", "join", "--state", "--baud", "--seed"})
        QVERIFY2(help.contains(word), word);
    p.start(VBOARD_PATH, {"--type", "astronomy", "--link", dir.filePath("bad")});
    QVERIFY(p.waitForFinished() && p.exitCode() == 2 && p.readAllStandardOutput().isEmpty() && !QFileInfo::exists(dir.filePath("bad")));
    QVERIFY(QString::fromLocal8Bit(p.readAllStandardError()).contains("Неизвестный тип платы: astronomy"));
}

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
