// Writes over a bad line, one fault a row: a firmware image, a hardware
// configuration and a user calibration, one after the other on one board.
// Each ends by itself; the board holds the old or the new data, never a
// mixture; success and read-backs tell what the board really holds, and the
// link health counts what went over the line.
#include <functional>

#include "BoardBench.h"
#include "LinkHealth.h"
#include "LittleEndian.h"

namespace {

QByteArray randomBytes(int n, uint32_t seed) { return UpdateFileWriter::randomImage(uint32_t(n / 1024 + 1), seed).left(n); }

// Runs the event loop until done() holds, woken by every event rather than on a fixed step.
bool until(const std::function<bool()>& done)
{
    QTimer beat;
    beat.start(20);
    QDeadlineTimer limit(20000);
    while (!done() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { WaitTimes::setDivisor(8); }
    void badLine_data();
    void badLine();
};

void TestFaultMatrix::badLine_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("replies lost") << "lost";
    QTest::newRow("replies damaged") << "damaged";
    QTest::newRow("replies split") << "split";
    QTest::newRow("replies late") << "late";   // under the reply time
    QTest::newRow("board vanishes before a write") << "vanish before";
    QTest::newRow("board vanishes after a write") << "vanish after";
}

void TestFaultMatrix::badLine()
{
    QFETCH(QString, fault);
    QTemporaryDir dir;
    vboard::BoardServer::Options o;
    o.program = vboard::Program::Bootloader;
    o.linkPath = dir.filePath("board");
    o.registerForDiscovery = false;
    o.dropProbability = fault == "lost" ? 0.25 : 0;
    o.corruptProbability = fault == "damaged" ? 0.25 : 0;
    o.split = fault == "split";
    o.delayMs = fault == "late" ? 60 : 0;
    o.seed = 7;
    vboard::BoardServer server(o);
    vboard::VirtualBoard& board = server.board();
    proto_Vorlen_v2 engine;
    Oru_SerialPort link;
    LinkHealth health;
    health.attach(&engine);
    QStringList lines;
    QObject::connect(&engine, &proto_Vorlen_v2::_transmit_data, &link, &Oru_SerialPort::send);
    QObject::connect(&link, &Oru_SerialPort::_data_recevied, &engine, &proto_Vorlen_v2::parseReceived);
    QObject::connect(&engine, &proto_Vorlen_v2::log, [&](const QString& l) { lines << l; });
    bool armed = true;   // the board vanishes at the first write of each step
    QObject::connect(&server, &vboard::BoardServer::requestReceived, [&](const QByteArray& f) {
        const QList<int> writes{rec::cmd::flashWrite, rec::cmd::setHwConfig, rec::cmd::setUserData};
        if (!fault.startsWith("vanish") || !armed || !writes.contains(uint8_t(f.at(3))))
            return;
        armed = false;
        if (fault.endsWith("before"))
            server.disconnectNow();
        else
            QTimer::singleShot(0, &server, [&] { server.disconnectNow(); });
    });
    auto open = [&] { return link.openPort(server.linkPath(), 115200, 8, 'n', 1) == 0; };
    auto reopen = [&] {   // brings a vanished board back for the read-back and the next step
        if (!server.isUp())
            server.reconnect(), link.closePort();
        armed = true;
        return until([&] { return link.isOpen() || open(); });
    };
    QVERIFY(server.start() && open());

    const QByteArray image = randomBytes(2048, 2);
    board.setFlashPage(0, randomBytes(1024, 1));
    board.setFlashPage(1, randomBytes(1024, 11));
    board.setFwConfig(randomBytes(60, 3));
    engine.stampFwConfig(4711, 7, 17, 5, 24);
    QByteArray record = QByteArray(reinterpret_cast<const char*>(engine.fwConfigRecord()), 60);
    le::put16(raw(record) + rec::fwcfg::kFwCrc, Crc16().calc(u8(image), 2048));
    le::put16(raw(record) + rec::fwcfg::kFwLength, 2048);
    engine.startProgramming(u8(image), 2048);
    QVERIFY(until([&] { return !engine.isProgramming(); }));
    const QString verdict = lines.filter("ПРОГРАММИРОВАНИЕ::: ").last().mid(20);
    QVERIFY2(QStringList({"Запись программы и верификация пройдены успешно!", "Завершено", "ОШИБКА - принят неожидаемый "
                          "ответ", "Ошибка верификации", "Верификация программной конфигурации не пройдена!"})
                 .contains(verdict), qPrintable(verdict));
    int successes = verdict.endsWith("успешно!");
    if (successes)
        QVERIFY(board.flashPage(0) + board.flashPage(1) == image && board.fwConfig() == record);
    // A hardware configuration in the bootloader, a user calibration in the main program; each read back.
    for (const int n : {288, 40}) {
        const bool hw = n == 288;
        const QByteArray before = randomBytes(n, n), after = randomBytes(n, n + 1);
        hw ? board.setHwConfig(before) : (board.setProgram(vboard::Program::Main), board.setUserData(before));
        QVERIFY(reopen());
        const int from = lines.size();
        hw ? engine.writeHwConfig(u8(after)) : engine.writeUserData(u8(after), uint8_t(n));
        QVERIFY(until([&] { return !engine.isWaiting(); }));
        const bool reported = lines.mid(from).filter("Успешная запись").size() == 1;
        QVERIFY(reopen());
        const int readFrom = lines.size();
        engine.sendCommand(hw ? rec::cmd::getHwConfig : rec::cmd::getUserData, nullptr, 0);
        QVERIFY(until([&] { return !engine.isWaiting(); }));
        const QByteArray held = hw ? board.hwConfig() : board.userData();
        const uint8_t* shown = hw ? engine.hwConfigRecord() : engine.userDataRecord();
        if (!lines.mid(readFrom).filter("Принят ожидаемый ответ").isEmpty())
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(shown), n), held);
        QVERIFY((held == before || held == after) && (!reported || held == after));
        successes += reported;
    }
    qInfo("firmware: %s; written: %d of 3; %s", qPrintable(verdict), successes, qPrintable(health.summary()));
    QCOMPARE(health.transmissions(), uint64_t(lines.filter("Отправка команды, попытка").size()));
    QCOMPARE(health.repeats(), uint64_t(lines.filter(QRegularExpression("попытка [23]$")).size()));
    QCOMPARE(health.timeouts(), uint64_t(lines.filter("исчерпаны попытки").size()));
    QCOMPARE(health.checksumErrors(), uint64_t(lines.filter("Неверная контрольная сумма").size()));
    QCOMPARE(health.medianRoundTripMs() >= 0, health.replies() > 0);
    // The fault did happen; a line that only splits or delays replies still carries every write.
    if (fault.startsWith("vanish"))
        QVERIFY(!verdict.endsWith("успешно!") && health.timeouts() > 0);
    else if (fault == "lost" || fault == "damaged")
        QVERIFY(health.repeats() > 0 && (health.checksumErrors() > 0) == (fault == "damaged"));
    else
        QCOMPARE(successes, 3);
}

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "test_fault_matrix.moc"
