// The board simulator: the board model answering request by request, the
// server on a pseudo-terminal with its faults, restarts, discovery and state
// file, the engine over the real port, and the vboard program.
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
QByteArray archiveStart(uint32_t period, int count, int state = 0, int stored = 0)
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
    // The next whole frame, by its length field.
    QByteArray take()
    {
        auto length = [this] { return got.size() < 3 ? 1 << 20 : int(le::u16(u8(got) + 1)); };
        (void)QTest::qWaitFor([&] { return got.size() >= length(); }, 5000);
        const QByteArray frame = got.left(length());
        got.remove(0, frame.size());
        return frame;
    }
    QByteArray ask(const QByteArray& request) { return send(request), take(); }
};

BoardServer::Options options(const QString& link, BoardType type = BoardType::Physics, Program p = Program::Main)
{
    BoardServer::Options o;
    o.type = type;
    o.program = p;
    o.linkPath = link;
    o.registerForDiscovery = false;
    o.restartMs = 100;
    return o;
}

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
    void sensors();
    void wire();
    void faults();
    void restartAndDiscovery();
    void stateFile();
    void engineOverThePort_data();
    void engineOverThePort();
    void vboardProgram();

private:
    QTemporaryDir dir;
    QString link(const QString& name) const { return dir.filePath(name); }
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
            QTest::addRow("status type %d %s", t, main ? "main" : "boot") << t << main
                << QList<QByteArray>{f(0), status((t == 100 ? 10 : 0) + main, t)};
    QTest::newRow("reference status") << 1 << true << QList<QByteArray>{f(0), QByteArray::fromHex("aa0f000001010100400001001283ca")};
    const QList<QPair<int, QByteArray>> gated = {{0x20, {}}, {0x21, bytes({0, 1})}, {0x40, bytes({0, 1, 1, 'x'})}, {0x41, {}},
                                                 {0x84, {}}, {0x30, withCrc(QByteArray(288, 1))}, {0x80, QByteArray(1025, 0)},
                                                 {0x81, QByteArray(1, 0)}, {0x82, QByteArray(60, 7)}, {0x85, {}}};
    for (bool main : {false, true}) {
        QList<QByteArray> s = {f(0x20, archiveStart(10, 3)), main ? "*" : kNo, "t5"};
        for (int i = 0; i < gated.size(); ++i)   // the first five for the main program only
            s << f(gated[i].first, gated[i].second) << ((i < 5) == main ? "*" : kNo);
        for (int code : {0x00, 0x10, 0x1F, 0x31, 0x83, 0xFE})
            s << f(code) << "*";
        QTest::addRow("gate %s", main ? "main" : "boot") << 1 << main << (s << f(0x50, at("AT", 9600)) << f(0x50, at("OK", 9600)));
    }
    QTest::newRow("refusals") << 2 << true << QList<QByteArray>{
        f(0).replace(4, 1, "A"), kNo, f(0x77), kNo, QByteArray::fromHex("aa0700"), kNo, QByteArray(), kNo, f(0x1F, bytes({0, 0})), kNo,
        f(0x10, QByteArray(3, 0)), kNo, f(0xFE, bytes({0x94, 0x2C})), kNo, f(0x20, QByteArray(29, 0)), kNo,
        f(0x20, archiveStart(0, 10)), kNo, f(0x20, archiveStart(10, 101)), kNo, f(0x50, QByteArray(3, 0)), kNo};
    QByteArray page(1024, 0), block(256, 'B');
    for (int i = 0; i < 1024; ++i)
        page[i] = char(i * 7 + 3);
    const QByteArray five(1, 5), erased(1024, '\xFF');
    QTest::newRow("program memory") << 1 << false << QList<QByteArray>{
        f(0x80, five + page), f(0x80, five), f(0x81, five), f(0x81, five + page), f(0x81, bytes({6})), f(0x81, bytes({6}) + erased),
        f(0x80, bytes({64}) + page), kNo, f(0x81, bytes({64})), kNo, f(0x80, five + page.left(1000)), kNo, f(0x8A, bytes({5, 2}) + block),
        f(0x8A, bytes({5, 2})), f(0x8B, bytes({5, 2})), f(0x8B, bytes({5, 2}) + block), f(0x81, five), f(0x81, five + page.left(512) + block + page.mid(768)),
        f(0x8B, bytes({5, 4})), kNo};
    QByteArray cfg = page.left(60);
    le::put16(raw(cfg) + 34, 3000);   // three pages used
    QTest::newRow("firmware configuration") << 4 << false << QList<QByteArray>{
        f(0x82, cfg), f(0x82), f(0x83), f(0x83, cfg), f(0), status(0, 4, 61), f(0xFE), f(0xFE, stat(0, 0, 0, 1)), f(0x82, cfg.left(59)), kNo,
        f(0x83), f(0x83, cfg)};
    const QByteArray hw = page.mid(8, 288);
    QTest::newRow("hardware configuration") << 1 << false << QList<QByteArray>{
        f(0x30, withCrc(hw).replace(288, 1, "?")), kNo, f(0x30, withCrc(hw).left(289)), kNo, f(0x30, withCrc(hw)), f(0x30), f(0x31), f(0x31, withCrc(hw))};
    for (int t : {1, 2, 4}) {
        const int size = t == 1 ? 40 : t == 2 ? 44 : 32;
        const QByteArray data = page.left(size);
        QTest::addRow("user data type %d", t) << t << true << QList<QByteArray>{
            f(0x41), f(0x41, QByteArray(size, 0)), f(0x40, bytes({0, 10, 0}) + data.left(10)), f(0x40, bytes({0, 10, 0})),
            f(0x40, bytes({10, size - 10, 1}) + data.mid(10)), f(0x40, bytes({10, size - 10, 1})), f(0x41), f(0x41, data),
            f(0x40, bytes({size - 2, 4, 1}) + "abcd"), kNo, f(0x40, bytes({0, 5, 1}) + "abc"), kNo, f(0x41), f(0x41, data)};
    }
    QTest::newRow("no user data") << 3 << true << QList<QByteArray>{f(0x41), f(0x41), f(0x40, bytes({0, 1, 1, 'a'})), kNo};
    QTest::newRow("statistics") << 1 << true << QList<QByteArray>{
        f(0x20, archiveStart(100, 2)), "*", "t2500", f(0xFE), f(0xFE, stat(0, 1, 2)), "t600", f(0xFE), f(0xFE, stat(0, 1, 3)),
        f(0xFE, bytes({0x2B, 0x94})), kNo, f(0xFE, bytes({0x94, 0x2B})), f(0xFE, stat(0)), "R", "R", f(0xFE), f(0xFE, stat(1))};
    // The first record is the start moment, then one every period.
    QTest::newRow("archive") << 1 << true << QList<QByteArray>{
        "t5000", f(0x20, archiveStart(10, 12)), f(0x20, archiveStart(10, 12, 1)), "t50", f(0x20), f(0x20, archiveStart(10, 12, 1, 6)),
        f(0x21, bytes({6, 1})), kNo, "t200", f(0x20), f(0x20, archiveStart(10, 12, 3, 12)), f(0x21, bytes({8, 4})), "*",
        f(0x21, bytes({0, 9})), kNo, f(0x21, bytes({12, 1})), kNo};
    QList<QByteArray> ble = {f(0x50, QByteArray::fromHex("8025000041540d0a")), f(0x50, at("OK", 9600))};
    for (const char* step : {"AT OK", "AT+NAME? OK+NAME:Ruvo_Name", "AT+NAMELab_42 OK+Set:Lab_42", "AT+NAME? OK+NAME:Lab_42",
                             "AT+NAMEthirteen_char ERROR", "AT+VERS? HMSoft V540", "AT+BAUD? OK+Get:0", "AT+BAUD4 OK+Set:4",
                             "AT+BAUD? OK+Get:4", "AT+BAUD9 ERROR", "AT+RESET OK+RESET", "at ERROR", "AT+RENEW OK+RENEW",
                             "AT+NAME? OK+NAME:Ruvo_Name", "AT+BAUD? OK+Get:0"})
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

// Readings are plausible, follow the controls, and move slowly.
void TestSim::sensors()
{
    VirtualBoard b(BoardType::Physics, Program::Main);
    QCOMPARE(le::f32(u8(b.hwConfig()) + rec::hwcfg::k_ch0), 7.07f);   // factory coefficients
    b.advanceTime(1234);
    auto payload = [&b](int code, const QByteArray& p = QByteArray()) { return FrameCodec::payload(b.handleRequest(f(code, p))); };
    auto real = [](const QByteArray& r, uint32_t at) { return double(le::f32(u8(r) + at)); };
    const QByteArray one = payload(0x1F), two = payload(0x1F, QByteArray::fromHex("d20102"));   // LEDs, 10 kOhm pull-up, 8 g
    QCOMPARE(le::u32(u8(one) + rec::raw::kRunTime), 1234u);
    QVERIFY(real(one, rec::raw::kPressure) > 950 && real(one, rec::raw::kPressure) < 1070);
    QVERIFY(real(one, rec::raw::kHumidity) > 20 && real(one, rec::raw::kHumidity) < 80 && real(one, rec::raw::kShtTemp) > 15);
    QCOMPARE(bytes({two[0], two[int(rec::raw::kAccScale)], b.conductCode(), two[int(rec::raw::kAdsCycle)] - one[int(rec::raw::kAdsCycle)]}),
             bytes({0xD2, 2, 2, 1}));
    b.advanceTime(1000);
    const QByteArray three = payload(0x1F);
    QVERIFY(qAbs(real(three, rec::raw::kPressure) - real(one, rec::raw::kPressure)) < 1 && uint8_t(three[0]) == 0xD2);
    const QByteArray exchange = payload(0x10, bytes({3, 3}));
    QCOMPARE(bytes({exchange[0], exchange[int(rec::meas::kAccScale)], exchange[int(rec::meas::kConductCode)], b.outputs() & 0x38}),
             bytes({0x0F, 3, 3, 0x20}));
    VirtualBoard pc(BoardType::Photocolorimeter, Program::Main);
    const QByteArray dark = FrameCodec::payload(pc.handleRequest(f(0x1F)));
    const QByteArray lit = FrameCodec::payload(pc.handleRequest(f(0x1F, le32(0x41480000) + le32(0x42490000) + le32(0x42C60000))));
    QCOMPARE(lit.mid(int(rec::pcraw::kPwmRed), 12), le32(0x41480000) + le32(0x42490000) + le32(0x42C60000));   // 12.5, 50.25, 99 %
    QVERIFY(le::u32(u8(lit) + rec::pcraw::kAdcRaw) > le::u32(u8(dark) + rec::pcraw::kAdcRaw) + 1000);
    QCOMPARE(pc.handleRequest(f(0x1F, QByteArray(3, 0))), kNo);   // no board control here
}

// Requests in pieces and among garbage, the request log, a reply twice or joined
// with the next one, silence, and a disconnection.
void TestSim::wire()
{
    BoardServer server(options(link("w")));
    QVERIFY(server.start());
    QSignalSpy writes(&server, &BoardServer::pieceWritten);
    Client c(server.linkPath());
    const QByteArray info = status(1, 1), archive = f(0x21, bytes({0, 8})), bad = f(0x31).replace(5, 1, "?");
    QCOMPARE(c.ask(f(0)), info);
    for (const QByteArray& piece : {bytes({0x00, 0x13, 0xFF}), archive.left(2), archive.mid(2, 3), archive.mid(5)}) {
        c.send(piece);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);   // so they come in separate reads
    }
    QCOMPARE(c.take(), kNo);   // nothing recorded yet
    QCOMPARE(c.ask(bad), kNo);
    c.send(bytes({0xAA, 0xFF, 0x01}));   // a stray start byte announcing a long frame is given up
    QCOMPARE(c.ask(f(0)), info);
    QCOMPARE(server.requests(), QList<QByteArray>({f(0), archive, bad, f(0)}));
    const QByteArray config = f(0x83, server.board().fwConfig());
    server.duplicateNextReply();
    writes.clear();
    QCOMPARE(c.ask(f(0)), info);
    QCOMPARE(c.take(), info);
    server.joinNextReply();
    c.send(f(0));
    QTRY_COMPARE(server.requests().size(), 6);
    QCOMPARE(c.ask(f(0x83)), info);
    QCOMPARE(c.take(), config);
    QCOMPARE(writes.count(), 2);   // each pair in one write
    server.setAnswering(false);
    c.send(f(0x83));
    QTRY_COMPARE(server.requests().size(), 8);
    server.setAnswering(true);
    QCOMPARE(c.ask(f(0)), info);   // the silent request got nothing
    server.disconnectNow();
    QTRY_COMPARE(c.lost, 1);
    QVERIFY(!QFileInfo(link("w")).isSymLink());
    server.reconnect();
    QCOMPARE(Client(link("w")).ask(f(0)), info);
}

void TestSim::faults()
{
    // Runs requests against a board with these faults, until this many bytes were written.
    QByteArrayList out[3];
    auto run = [this](BoardServer::Options o, const QList<QByteArray>& requests, int bytes, QByteArrayList& written) {
        o.linkPath = link("f");
        BoardServer server(o);
        QObject::connect(&server, &BoardServer::pieceWritten, [&written](const QByteArray& b) { written << b; });
        server.start();
        Client c(server.linkPath());
        for (const QByteArray& r : requests)
            c.send(r);
        QTRY_COMPARE(server.requests().size(), requests.size());
        QTRY_VERIFY(written.join().size() >= bytes);
    };
    BoardServer::Options o = options(QString());
    o.dropProbability = 0.5;   // which replies are lost depends on the seed only
    QList<QByteArray> blocks;
    for (int i = 0; i < 16; ++i)
        blocks << f(0x8B, bytes({i, 0}));
    run(o, blocks, 0, out[0]);
    run(o, blocks, 0, out[1]);
    o.seed = 8;
    run(o, blocks, 0, out[2]);
    QVERIFY(out[0] == out[1] && out[0] != out[2] && !out[0].isEmpty() && out[0].size() < 16);
    o = options(QString());
    o.corruptProbability = 1;
    run(o, {f(0), f(0), f(0)}, 45, out[0] = {});
    for (const QByteArray& reply : out[0]) {
        int differing = 0;
        for (int k = 0; k < reply.size(); ++k)
            differing += reply[k] != status(1, 1)[k];
        QVERIFY(differing == 1 && !FrameCodec::isFrame(reply));
    }
    o = options(QString());
    o.split = true;
    run(o, {f(0x1F), f(0x1F), f(0x1F)}, 3 * 262, out[0] = {});
    QVERIFY(out[0].size() >= 6 && out[0].size() <= 12);
    for (int i = 0; i < 3; ++i)
        QVERIFY(FrameCodec::isFrame(out[0].join().mid(262 * i, 262)));
    // A delay and a slow line hold replies back: a timer a little shorter fires first.
    for (int delay : {300, 0}) {
        o = options(QString());
        o.delayMs = delay;
        o.baud = delay ? 0 : 9600;   // two raw packets take 546 ms at 9600 baud
        int before = -1;
        out[0].clear();
        QTimer::singleShot(delay ? 280 : 520, Qt::PreciseTimer, this, [&] { before = out[0].join().size(); });
        run(o, delay ? QList<QByteArray>{f(0)} : QList<QByteArray>{f(0x1F), f(0x1F)}, delay ? 15 : 524, out[0]);
        QCOMPARE(before, delay ? 0 : 262);
    }
    o = options(link("d"));
    o.dropProbability = 1;   // even a lost reply to bootloader_init restarts the board
    BoardServer server(o);
    QSignalSpy restarted(&server, &BoardServer::restarted);
    QVERIFY(server.start());
    Client c(server.linkPath());
    c.send(f(0x84));
    QVERIFY(restarted.wait());
    QCOMPARE(server.board().program(), Program::Bootloader);
    QCOMPARE(server.requests().size(), 1);
}

// A restart takes the link away and brings it back at the same path in the other program;
// the port list follows.
void TestSim::restartAndDiscovery()
{
    BoardServer::Options o = options(link("d"), BoardType::Ecology, Program::Bootloader);
    o.registerForDiscovery = true;
    const QString entry = "(" + link("d") + ")   RConf симулятор платы, экология, ";
    auto listed = [] { return Oru_SerialPort().freePortList().join('\n'); };
    {
        BoardServer server(o);
        QVERIFY(server.start() && listed().contains(entry + "загрузчик"));
        QSignalSpy restarted(&server, &BoardServer::restarted);
        Client c(server.linkPath());
        QCOMPARE(c.ask(f(0x85)), f(0x85));   // an empty reply is the request's twin
        QTRY_COMPARE(c.lost, 1);
        QVERIFY(!QFileInfo::exists(link("d")));
        QVERIFY(restarted.wait());
        QVERIFY(listed().contains(entry + "основная программа"));
        Client again(link("d"));
        QCOMPARE(again.ask(f(0)), status(1, 3));
        QCOMPARE(again.ask(f(0xFE)).mid(4, 4), le32(1));   // starts: none at power-up in the bootloader, one in main
        server.disconnectNow();
        QVERIFY(!listed().contains(link("d")));   // a vanished board is not offered
        server.reconnect();
        QVERIFY(listed().contains(entry + "основная программа"));
    }
    QVERIFY(SimulatorPorts::list().isEmpty());
}

void TestSim::stateFile()
{
    BoardServer::Options o = options(link("s"), BoardType::Physics, Program::Bootloader);
    o.stateFile = dir.filePath("board.state");
    const QByteArray page(1024, 'p'), hw = QByteArray(288, 9);
    {
        BoardServer server(o);
        QVERIFY(server.start());
        Client c(server.linkPath());
        QCOMPARE(c.ask(f(0x80, bytes({3}) + page)), f(0x80, bytes({3})));
        QCOMPARE(c.ask(f(0x30, withCrc(hw))), f(0x30));
        c.ask(f(0x50, at("AT+NAMEKeepMe")));
        QSignalSpy restarted(&server, &BoardServer::restarted);
        c.ask(f(0x85));
        QVERIFY(restarted.wait());
        QCOMPARE(Client(link("s")).ask(f(0x40, bytes({0, 2, 1}) + "UD")), f(0x40, bytes({0, 2, 1})));
    }
    QCOMPARE(QFileInfo(o.stateFile).size(), qint64(StateFile::fileSize()));
    {
        BoardServer again(o);
        QVERIFY(again.start());
        const VirtualBoard& b = again.board();
        QCOMPARE(b.flashPage(3) + b.flashPage(4).left(1) + b.hwConfig() + b.bleName().toLatin1() + b.userData().left(2), page + "\xFF" + hw + "KeepMe" + "UD");
        QCOMPARE(b.statistics().left(4), le32(1));   // starts: only the one into the main program
    }
    QFile file(o.stateFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    file.close();
    const QByteArray flipped = good.left(5000) + char(good[5000] ^ 0x10) + good.mid(5001);
    for (const auto& d : QList<QPair<QByteArray, QString>>{{flipped, "контрольная сумма не совпадает"}, {good.chopped(1), "неверный размер"},
                                                            {"garbage" + good.mid(7), "не файл состояния"}, {good, "другого типа"}}) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(d.first) == d.first.size());
        file.close();
        o.type = d.second == "другого типа" ? BoardType::Biology : BoardType::Physics;
        QString error;
        QVERIFY(!BoardServer(o).start(&error));
        QVERIFY2(error.contains(d.second) && error.contains(o.stateFile) && !QFileInfo(link("s")).exists(), qPrintable(error));
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

// A programming run over the port reads every page back. A copy of a reply, or one that waited for the
// repeat of its request, neither stops the run nor steps it twice.
void TestSim::engineOverThePort()
{
    QFETCH(bool, split);
    QFETCH(double, duplicate);
    QFETCH(double, join);
    WaitTimes::setDivisor(4);
    BoardServer::Options o = options(link("e"), BoardType::Chemistry, Program::Bootloader);
    o.split = split;
    o.duplicateProbability = duplicate;
    o.joinProbability = join;
    o.seed = 7;
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
    QCOMPARE(e.deviceInfo().devType, uint8_t(2));
    QCOMPARE(repeats > 0, join > 0);
    QVERIFY2(log.filter("ОШИБКА").isEmpty(), qPrintable(log.filter("ОШИБКА").join('\n')));
}

void TestSim::vboardProgram()
{
    QProcess p;
    p.start(VBOARD_PATH, {"--type", "biology", "--program", "boot"});
    QVERIFY(p.waitForStarted() && p.waitForReadyRead(10000));
    const QString path = dir.filePath("rconf-vboard/vboard-biology");   // the discovery folder by default
    QCOMPARE(QString::fromLocal8Bit(p.readLine()).trimmed(), path);
    QCOMPARE(SimulatorPorts::list().size(), 1);
    QCOMPARE(SimulatorPorts::list()[0].description, QString("симулятор платы, биология, загрузчик"));
    QByteArray err;
    auto says = [&](const char* command, const char* text) {
        p.write(command);
        return QTest::qWaitFor([&] { return (err += p.readAllStandardError()).contains(text); }, 5000);
    };
    {
        Client c(path);
        QCOMPARE(c.ask(f(0)), status(0, 4));
        QVERIFY(says("silent\n", "ответы отключены") && says("answer\n", "ответы включены"));
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
    QFile broken(dir.filePath("broken.state"));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write(QByteArray(StateFile::fileSize(), 'x')));
    broken.close();
    for (const QStringList& bad : {QStringList{"--type", "astronomy", "2", "Неизвестный тип платы: astronomy"},
                                   QStringList{"--state", broken.fileName(), "1", "Файл состояния"}}) {
        p.start(VBOARD_PATH, bad.mid(0, 2) + QStringList{"--link", link("bad")});
        QVERIFY(p.waitForFinished() && p.exitCode() == bad[2].toInt() && p.readAllStandardOutput().isEmpty());
        QVERIFY(QString::fromLocal8Bit(p.readAllStandardError()).contains(bad[3]));
    }
    QVERIFY(!QFileInfo(link("bad")).isSymLink());
}

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
