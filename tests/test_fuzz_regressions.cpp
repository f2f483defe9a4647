#include <QtTest>

#include <cstring>
#include <vector>

#include "Records.h"
#include "TestBytes.h"
#include "proto_Vorlen_v2.h"

// Inputs the fuzzers turned up, kept as tests: each replays the received
// blocks that exposed a fault and checks the sound outcome.
class TestFuzzRegressions : public QObject
{
    Q_OBJECT
private slots:
    void codeOfAFrameCompletedByTheNextBlock();
    void shortStatusReplyIsNoBootloaderCheck();
};

namespace {

void deliver(proto_Vorlen_v2& engine, const QByteArray& block)
{
    // An exact-size copy, as the link hands it over.
    std::vector<uint8_t> copy(block.begin(), block.end());
    engine.parseReceived(copy.data(), static_cast<uint32_t>(copy.size()));
}

// Records every frame the engine sends and every line it logs.
struct Recorder {
    QList<QByteArray> sent;
    QStringList lines;
    explicit Recorder(proto_Vorlen_v2& engine)
    {
        engine.setGatePrompt([](const QString&) {});
        QObject::connect(&engine, &proto_Vorlen_v2::_transmit_data, [this](uint8_t* buf, uint32_t size) {
            sent << QByteArray(reinterpret_cast<const char*>(buf), static_cast<int>(size));
        });
        QObject::connect(&engine, &proto_Vorlen_v2::log, [this](const QString& l) { lines << l; });
    }
    int sentWithCode(uint8_t code) const
    {
        int n = 0;
        for (const QByteArray& f : sent)
            n += f.size() > 3 && static_cast<uint8_t>(f[3]) == code;
        return n;
    }
};

} // namespace

// A reply whose first block ends right after the length field: its code
// arrives as the first byte of the next block. The reassembled frame is
// decoded once, by its own code, into its own record only.
void TestFuzzRegressions::codeOfAFrameCompletedByTheNextBlock()
{
    proto_Vorlen_v2 engine;
    Recorder seen(engine);
    const QByteArray cfg = QByteArray(60, '\x21');
    const QByteArray reply = wireFrame(rec::cmd::getFwConfig, cfg);
    uint8_t statBefore[rec::stat::kSize];
    std::memcpy(statBefore, engine.statRecord(), sizeof statBefore);
    int updates = 0;
    QObject::connect(&engine, &proto_Vorlen_v2::cmd_fwConfig_updated, [&updates] { ++updates; });

    engine.sendCommand(rec::cmd::getFwConfig, nullptr, 0);
    deliver(engine, reply.left(3));
    deliver(engine, reply.mid(3));
    QCOMPARE(updates, 1);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(engine.fwConfigRecord()), 60), cfg);
    QVERIFY(std::memcmp(statBefore, engine.statRecord(), sizeof statBefore) == 0);
    QVERIFY(seen.lines.contains(
        QStringLiteral("Принят ожидаемый ответ на команду - чтения программной конфигурации. Успешное чтение")));
    QVERIFY(!engine.isWaiting());
}

// Programming begins with a status request that proves the bootloader runs.
// A status reply too short to carry the program code proves nothing: the
// status left by an earlier reply must not let the first page write go out.
void TestFuzzRegressions::shortStatusReplyIsNoBootloaderCheck()
{
    proto_Vorlen_v2 engine;
    Recorder seen(engine);
    feedStatus(engine, 0, 1);   // an earlier status reply
    const QByteArray image(1024, '\x5C');
    engine.startProgramming(reinterpret_cast<const uint8_t*>(image.constData()), 1024);
    QCOMPARE(seen.sentWithCode(rec::cmd::getInfo), 1);

    deliver(engine, wireFrame(rec::cmd::getInfo, QByteArray()));   // AA 06 00 00 C1 FD
    QVERIFY(seen.lines.contains(
        QStringLiteral("ОШИБКА - ответ слишком короткий для команды 0x00: принято 6 байт, требуется не менее 15")));
    QCOMPARE(seen.sentWithCode(rec::cmd::flashWrite), 0);
    QVERIFY(seen.lines.contains(QStringLiteral(
        "ПРОГРАММИРОВАНИЕ::: ОШИБКА - статус устройства не получен, режим бутлоадера не проверен")));
    QVERIFY(!engine.isProgramming());
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
