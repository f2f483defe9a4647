// The board model answered in-process: every reply's code and layout, the
// program gate, memory and record round trips, archive, AT module, restarts.
#include "Crc16.h"
#include "FrameCodec.h"
#include "LittleEndian.h"
#include "Records.h"
#include "TestBytes.h"
#include "VirtualBoard.h"

#include <QtTest>

using namespace vboard;

namespace {
// Checks the reply frame and returns its payload.
QByteArray replyPayload(const QByteArray& reply, uint8_t expectedCode)
{
    if (!FrameCodec::isFrame(reply) || FrameCodec::code(reply) != expectedCode)
        return QByteArray("<bad reply>");
    return FrameCodec::payload(reply);
}

bool isRefusal(const QByteArray& reply)
{
    return reply == QByteArray::fromHex("aa0600ff81bd");
}

QByteArray hwBlock(const QByteArray& rec288, bool goodCrc)
{
    QByteArray b = rec288 + QByteArray(2, '\0');
    Crc16().append(reinterpret_cast<uint8_t*>(b.data()), static_cast<uint16_t>(b.size()));
    if (!goodCrc)
        b[288] = char(b.at(288) ^ 0x01);
    return b;
}

QByteArray archiveStart(uint32_t period, uint8_t count)
{
    QByteArray b(30, '\0');
    le::put32(reinterpret_cast<uint8_t*>(b.data()), period);
    b[rec::archive::kCount] = char(count);
    b[rec::archive::kYear] = 26;
    b[rec::archive::kMonth] = 12;
    b[rec::archive::kDay] = 6;
    b[rec::archive::kHour] = 16;
    return b;
}

QByteArray atRequest(uint32_t speed, const QByteArray& text)
{
    QByteArray b(4, '\0');
    le::put32(reinterpret_cast<uint8_t*>(b.data()), speed);
    return b + text + "\r\n";
}
} // namespace

class TestSimBoard : public QObject
{
    Q_OBJECT
private slots:
    void statusInEachProgramAndFamily_data();
    void statusInEachProgramAndFamily();
    void refusalsFollowTheProgramGate();
    void damagedAndUnknownRequestsAreRefused();
    void programMemoryRoundTrip();
    void firmwareConfigurationStoredAsWritten();
    void hardwareConfigurationNeedsItsCrc();
    void userDataChunksAndBlocks();
    void statisticsLiveAndResetOnlyByCode();
    void rawPacketsAndBoardControl();
    void photometerPacketReflectsPwm();
    void exchangeRecordAndSettings();
    void archiveRecordsAtItsPeriod();
    void atCommandsAnsweredLikeTheModule();
    void restartEntersTheOtherProgram();
    void testOverridesAndInjectedReadFaults();
};

void TestSimBoard::statusInEachProgramAndFamily_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("main");
    QTest::addColumn<int>("progMode");
    for (int t : {1, 2, 3, 4, 100}) {
        QTest::addRow("type %d boot", t) << t << false << (t == 100 ? 10 : 0);
        QTest::addRow("type %d main", t) << t << true << (t == 100 ? 11 : 1);
    }
}

void TestSimBoard::statusInEachProgramAndFamily()
{
    QFETCH(int, type);
    QFETCH(bool, main);
    QFETCH(int, progMode);
    VirtualBoard board(BoardType(type), main ? Program::Main : Program::Bootloader);
    const QByteArray reply = board.handleRequest(QByteArray::fromHex("aa060000c1fd"));
    const QByteArray p = replyPayload(reply, 0x00);
    QCOMPARE(p.size(), 9);
    QCOMPARE(int(uint8_t(p.at(0))), progMode);
    QCOMPARE(int(uint8_t(p.at(1))), 1);                // firmware configuration good
    QCOMPARE(int(uint8_t(p.at(2))), 1);                // hardware configuration good
    QCOMPARE(int(uint8_t(p.at(4))), 64);               // nothing programmed yet
    QCOMPARE(int(uint8_t(p.at(6))), type);
    QCOMPARE(int(uint8_t(p.at(8))), 0x12);             // bootloader 1.2
    if (type == 1 && main) // the reference status frame of a fresh physics board
        QCOMPARE(reply.toHex(), QByteArray("aa0f000001010100400001001283ca"));

    board.status().flags = 2;
    board.status().errorCode = 0x81;
    board.status().bleBridge = 1;
    const QByteArray edited = replyPayload(board.handleRequest(wireFrame(0x00)), 0x00);
    QCOMPARE(edited.toHex(), (QByteArray(1, char(progMode)) + QByteArray::fromHex("0001004001") + char(type) +
                              QByteArray::fromHex("8112"))
                                 .toHex());
}

void TestSimBoard::refusalsFollowTheProgramGate()
{
    struct Case {
        uint8_t code;
        QByteArray payload;
        bool mainOnly;
    };
    const QList<Case> cases = {
        {0x20, QByteArray(), true},
        {0x21, QByteArray::fromHex("0001"), true},
        {0x40, QByteArray::fromHex("000101") + QByteArray(1, 'x'), true},
        {0x41, QByteArray(), true},
        {0x84, QByteArray(), true},
        {0x30, hwBlock(QByteArray(288, '\1'), true), false},
        {0x80, QByteArray(1, '\0') + QByteArray(1024, 'p'), false},
        {0x81, QByteArray(1, '\0'), false},
        {0x82, QByteArray(60, '\7'), false},
        {0x85, QByteArray(), false},
    };
    for (Program program : {Program::Main, Program::Bootloader}) {
        VirtualBoard board(BoardType::Physics, program);
        // the archive must hold a record for the data request to be answered
        if (program == Program::Main) {
            board.handleRequest(wireFrame(0x20, archiveStart(10, 3)));
            board.advanceTime(5);
        }
        for (const Case& c : cases) {
            const bool allowed = c.mainOnly == (program == Program::Main);
            const QByteArray reply = board.handleRequest(wireFrame(c.code, c.payload));
            const QString what = QStringLiteral("code 0x%1 in %2").arg(c.code, 0, 16).arg(program == Program::Main ? "main" : "boot");
            if (allowed)
                QVERIFY2(replyPayload(reply, c.code) != "<bad reply>", qPrintable(what));
            else
                QVERIFY2(isRefusal(reply), qPrintable(what));
            board.setProgram(program); // the switch requests leave a restart pending; stay put
        }
        // Everything the gate leaves open is answered in both programs.
        for (uint8_t code : {0x00, 0x10, 0x1F, 0x31, 0x83, 0xFE})
            QCOMPARE(int(uint8_t(board.handleRequest(wireFrame(code)).at(3))), int(code));
        QCOMPARE(int(uint8_t(board.handleRequest(wireFrame(0x50, atRequest(9600, "AT"))).at(3))), 0x50);
    }
}

void TestSimBoard::damagedAndUnknownRequestsAreRefused()
{
    VirtualBoard board(BoardType::Chemistry, Program::Main);
    QByteArray bad = wireFrame(0x00);
    bad[4] = char(bad.at(4) ^ 0x40); // checksum no longer fits
    QVERIFY(isRefusal(board.handleRequest(bad)));
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x77))));
    QVERIFY(isRefusal(board.handleRequest(QByteArray::fromHex("aa0700"))));
    QVERIFY(isRefusal(board.handleRequest(QByteArray())));
    // payload sizes a command does not take
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x1F, QByteArray(2, '\0')))));
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x10, QByteArray(3, '\0')))));
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0xFE, QByteArray::fromHex("942c")))));
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x20, QByteArray(29, '\0')))));
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x20, archiveStart(0, 10)))));   // no period
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x20, archiveStart(10, 101))))); // too many records
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x50, QByteArray(3, '\0')))));
}

void TestSimBoard::programMemoryRoundTrip()
{
    VirtualBoard board(BoardType::Physics, Program::Bootloader);
    QByteArray page(1024, '\0');
    for (int i = 0; i < page.size(); ++i)
        page[i] = char((i * 7 + 3) & 0xFF);
    const QByteArray writeReply = board.handleRequest(wireFrame(0x80, QByteArray(1, char(5)) + page));
    QCOMPARE(replyPayload(writeReply, 0x80), QByteArray(1, char(5)));

    const QByteArray readReply = board.handleRequest(wireFrame(0x81, QByteArray(1, char(5))));
    QCOMPARE(readReply.size(), 1031);
    QCOMPARE(replyPayload(readReply, 0x81), QByteArray(1, char(5)) + page);
    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x81, QByteArray(1, char(6)))), 0x81).mid(1),
             QByteArray(1024, '\xFF')); // untouched pages stay erased

    // pages past the memory and pages of the wrong size are refused, memory unchanged
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x80, QByteArray(1, char(64)) + page))));
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x81, QByteArray(1, char(64))))));
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x80, QByteArray(1, char(5)) + page.left(1000)))));
    QCOMPARE(board.flashPage(5), page);

    // block-wise access: 256-byte blocks
    const QByteArray block(256, 'B');
    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x8A, QByteArray::fromHex("0502") + block)), 0x8A),
             QByteArray::fromHex("0502"));
    QCOMPARE(board.flashPage(5).mid(512, 256), block);
    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x8B, QByteArray::fromHex("0502"))), 0x8B),
             QByteArray::fromHex("0502") + block);
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x8B, QByteArray::fromHex("0504")))));
}

void TestSimBoard::firmwareConfigurationStoredAsWritten()
{
    VirtualBoard board(BoardType::Biology, Program::Bootloader);
    QByteArray cfg(60, '\0');
    for (int i = 0; i < cfg.size(); ++i)
        cfg[i] = char(200 - i);
    le::put16(reinterpret_cast<uint8_t*>(cfg.data()) + rec::fwcfg::kFwLength, 3000); // three pages used
    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x82, cfg)), 0x82), QByteArray());
    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x83)), 0x83), cfg);
    QCOMPARE(int(uint8_t(replyPayload(board.handleRequest(wireFrame(0x00)), 0x00).at(4))), 61);
    QCOMPARE(int(le::u16(u8(board.statistics()) + rec::stat::kFwUpdates)), 1);
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x82, cfg.left(59)))));
    QCOMPARE(board.fwConfig(), cfg);
}

void TestSimBoard::hardwareConfigurationNeedsItsCrc()
{
    VirtualBoard board(BoardType::Physics, Program::Bootloader);
    const QByteArray factory = board.hwConfig();
    QCOMPARE(int(uint8_t(factory.at(0))), 1);
    QCOMPARE(le::f32(u8(factory) + rec::hwcfg::k_ch0), 7.07f);

    QByteArray edited = factory;
    edited[1] = char(7);
    le::putF32(reinterpret_cast<uint8_t*>(edited.data()) + rec::hwcfg::k1_ch3, 70.5f);
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x30, hwBlock(edited, false)))));
    QCOMPARE(board.hwConfig(), factory);
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x30, hwBlock(edited, true).left(289)))));

    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x30, hwBlock(edited, true))), 0x30), QByteArray());
    const QByteArray back = replyPayload(board.handleRequest(wireFrame(0x31)), 0x31);
    QCOMPARE(back.size(), 290);
    QCOMPARE(back, hwBlock(edited, true));
}

void TestSimBoard::userDataChunksAndBlocks()
{
    struct Size { BoardType type; int size; };
    for (const Size& s : {Size{BoardType::Physics, 40}, Size{BoardType::Chemistry, 44}, Size{BoardType::Biology, 32}}) {
        VirtualBoard board(s.type, Program::Main);
        QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x41)), 0x41), QByteArray(s.size, '\0'));
        QByteArray data(s.size, '\0');
        for (int i = 0; i < s.size; ++i)
            data[i] = char(i + 1);
        const QByteArray first = QByteArray(1, 0) + char(10) + char(0) + data.left(10);
        QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x40, first)), 0x40), QByteArray::fromHex("000a00"));
        const QByteArray rest = QByteArray(1, char(10)) + char(s.size - 10) + char(1) + data.mid(10);
        QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x40, rest)), 0x40),
                 QByteArray(1, char(10)) + char(s.size - 10) + char(1));
        QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x41)), 0x41), data);
        // a chunk reaching past the block, or whose size byte lies, changes nothing
        QVERIFY(isRefusal(board.handleRequest(wireFrame(0x40, QByteArray(1, char(s.size - 2)) + char(4) + char(1) + "abcd"))));
        QVERIFY(isRefusal(board.handleRequest(wireFrame(0x40, QByteArray::fromHex("000501") + "abc"))));
        QCOMPARE(board.userData(), data);
    }
    VirtualBoard ecology(BoardType::Ecology, Program::Main);
    QCOMPARE(replyPayload(ecology.handleRequest(wireFrame(0x41)), 0x41), QByteArray());
    QVERIFY(isRefusal(ecology.handleRequest(wireFrame(0x40, QByteArray::fromHex("000101") + "a"))));
}

void TestSimBoard::statisticsLiveAndResetOnlyByCode()
{
    VirtualBoard board(BoardType::Physics, Program::Main);
    board.powerOn();
    board.handleRequest(wireFrame(0x20, archiveStart(100, 2)));
    board.advanceTime(2500);
    QByteArray s = replyPayload(board.handleRequest(wireFrame(0xFE)), 0xFE);
    QCOMPARE(s.size(), 60);
    QCOMPARE(le::u32(u8(s) + rec::stat::kBoardStarts), 1u);
    QCOMPARE(le::u32(u8(s) + rec::stat::kArchiveUses), 1u);
    QCOMPARE(le::u32(u8(s) + rec::stat::kUseTime), 2u);
    board.advanceTime(600); // the half second carried over completes the third
    QCOMPARE(le::u32(u8(board.statistics()) + rec::stat::kUseTime), 3u);

    QVERIFY(isRefusal(board.handleRequest(wireFrame(0xFE, QByteArray::fromHex("2b94")))));
    QCOMPARE(le::u32(u8(board.statistics()) + rec::stat::kBoardStarts), 1u);
    const QByteArray afterReset = replyPayload(board.handleRequest(wireFrame(0xFE, QByteArray::fromHex("942b"))), 0xFE);
    QCOMPARE(afterReset, QByteArray(60, '\0'));
    board.completeRestart(); // into the bootloader: no start
    board.completeRestart(); // back into the main program: one start
    QCOMPARE(le::u32(u8(board.statistics()) + rec::stat::kBoardStarts), 1u);
}

void TestSimBoard::rawPacketsAndBoardControl()
{
    VirtualBoard board(BoardType::Physics, Program::Main);
    board.advanceTime(1234);
    const QByteArray first = replyPayload(board.handleRequest(wireFrame(0x1F)), 0x1F);
    QCOMPARE(first.size(), 256);
    QCOMPARE(le::u32(u8(first) + rec::raw::kRunTime), 1234u);
    const float pressure = le::f32(u8(first) + rec::raw::kPressure);
    const float humidity = le::f32(u8(first) + rec::raw::kHumidity);
    const float temp = le::f32(u8(first) + rec::raw::kShtTemp);
    QVERIFY(pressure > 950 && pressure < 1070);
    QVERIFY(humidity > 20 && humidity < 80);
    QVERIFY(temp > 15 && temp < 35);
    QCOMPARE(int(uint8_t(first.at(rec::raw::kAccState))), 1);

    // LEDs VD5 R and VD6 G lit (active low), 10 kOhm pull-up, BLE on, 8 g
    const QByteArray control = QByteArray::fromHex("d20102");
    const QByteArray second = replyPayload(board.handleRequest(wireFrame(0x1F, control)), 0x1F);
    QCOMPARE(second.size(), 256);
    QCOMPARE(int(uint8_t(second.at(rec::raw::kOutputs))), 0xD2);
    QCOMPARE(int(uint8_t(second.at(rec::raw::kAccScale))), 2);
    QCOMPARE(int(board.outputs()), 0xD2);
    QCOMPARE(int(board.conductCode()), 2);
    QCOMPARE(int(uint8_t(second.at(rec::raw::kAdsCycle))), int(uint8_t(first.at(rec::raw::kAdsCycle))) + 1);
    // slowly varying: a second later the readings moved only a little
    board.advanceTime(1000);
    const QByteArray third = replyPayload(board.handleRequest(wireFrame(0x1F)), 0x1F);
    QVERIFY(qAbs(le::f32(u8(third) + rec::raw::kPressure) - pressure) < 1.0f);
    QVERIFY(qAbs(le::f32(u8(third) + rec::raw::kShtTemp) - temp) < 0.5f);
    QCOMPARE(int(uint8_t(third.at(0))), 0xD2); // outputs stay as set
}

void TestSimBoard::photometerPacketReflectsPwm()
{
    VirtualBoard board(BoardType::Photocolorimeter, Program::Main);
    QByteArray pwm(12, '\0');
    le::putF32(reinterpret_cast<uint8_t*>(pwm.data()), 12.5f);
    le::putF32(reinterpret_cast<uint8_t*>(pwm.data()) + 4, 50.25f);
    le::putF32(reinterpret_cast<uint8_t*>(pwm.data()) + 8, 99.0f);
    const QByteArray dark = replyPayload(board.handleRequest(wireFrame(0x1F)), 0x1F);
    QCOMPARE(dark.size(), 256);
    const QByteArray lit = replyPayload(board.handleRequest(wireFrame(0x1F, pwm)), 0x1F);
    QCOMPARE(lit.size(), 256);
    QCOMPARE(le::f32(u8(lit) + rec::pcraw::kPwmRed), 12.5f);
    QCOMPARE(le::f32(u8(lit) + rec::pcraw::kPwmGreen), 50.25f);
    QCOMPARE(le::f32(u8(lit) + rec::pcraw::kPwmBlue), 99.0f);
    QVERIFY(le::u32(u8(lit) + rec::pcraw::kAdcRaw) > le::u32(u8(dark) + rec::pcraw::kAdcRaw) + 1000);
    QCOMPARE(board.pwm(1), 50.25f);
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x1F, QByteArray(3, '\0'))))); // no board control here
}

void TestSimBoard::exchangeRecordAndSettings()
{
    VirtualBoard board(BoardType::Ecology, Program::Main);
    board.advanceTime(777);
    const QByteArray rec0 = replyPayload(board.handleRequest(wireFrame(0x10)), 0x10);
    QCOMPARE(rec0.size(), 64);
    QCOMPARE(int(uint8_t(rec0.at(rec::meas::kAnswerBits))), 0x0F);
    QCOMPARE(le::u32(u8(rec0) + rec::meas::kRunTime), 777u);
    const QByteArray rec1 = replyPayload(board.handleRequest(wireFrame(0x10, QByteArray::fromHex("0303"))), 0x10);
    QCOMPARE(int(uint8_t(rec1.at(rec::meas::kAccScale))), 3);
    QCOMPARE(int(uint8_t(rec1.at(rec::meas::kConductCode))), 3);
    QCOMPARE(int(board.outputs() & 0x38), 0x20); // the pull-up also shows on the HC595 byte
    const int hum = le::u16(u8(rec1) + rec::meas::kHumidity);
    QVERIFY(hum > 2000 && hum < 8000);
}

void TestSimBoard::archiveRecordsAtItsPeriod()
{
    VirtualBoard board(BoardType::Physics, Program::Main);
    board.advanceTime(5000);
    const QByteArray start = archiveStart(10, 12);
    const QByteArray started = board.handleRequest(wireFrame(0x20, start));
    QCOMPARE(started.size(), 36);
    QByteArray status = replyPayload(started, 0x20);
    QCOMPARE(int(status.at(rec::archive::kState)), 1);
    QCOMPARE(int(status.at(rec::archive::kStored)), 0);
    QCOMPARE(status.mid(7, 6), start.mid(7, 6)); // start stamp kept

    // the first record is the start moment itself, then one every 10 ms
    for (int i = 0; i < 5; ++i)
        board.advanceTime(10);
    status = replyPayload(board.handleRequest(wireFrame(0x20)), 0x20);
    QCOMPARE(int(status.at(rec::archive::kState)), 1);
    QCOMPARE(int(status.at(rec::archive::kStored)), 6);
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x21, QByteArray::fromHex("0601"))))); // not recorded yet

    board.advanceTime(200);
    status = replyPayload(board.handleRequest(wireFrame(0x20)), 0x20);
    QCOMPARE(int(status.at(rec::archive::kState)), 3);
    QCOMPARE(int(status.at(rec::archive::kStored)), 12);
    QCOMPARE(le::u32(u8(status)), 10u);

    const QByteArray block = replyPayload(board.handleRequest(wireFrame(0x21, QByteArray::fromHex("0804"))), 0x21);
    QCOMPARE(block.size(), 2 + 4 * 64);
    QCOMPARE(block.left(2), QByteArray::fromHex("0804"));
    for (int i = 0; i < 4; ++i) {
        const QByteArray r = block.mid(2 + 64 * i, 64);
        QCOMPARE(le::u32(u8(r) + rec::meas::kRunTime), 5000u + 10u * uint32_t(8 + i));
        QCOMPARE(r, board.archiveRecord(8 + i));
    }
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x21, QByteArray::fromHex("0009"))))); // more than eight
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x21, QByteArray::fromHex("0c01")))));
}

void TestSimBoard::atCommandsAnsweredLikeTheModule()
{
    VirtualBoard board(BoardType::Physics, Program::Bootloader);
    const QList<QPair<QByteArray, QByteArray>> script = {
        {"AT", "OK"},
        {"AT+NAME?", "OK+NAME:Ruvo_Name"},
        {"AT+NAMELab_42", "OK+Set:Lab_42"},
        {"AT+NAME?", "OK+NAME:Lab_42"},
        {"AT+NAMEthirteen_char", "ERROR"},
        {"AT+VERS?", "HMSoft V540"},
        {"AT+BAUD?", "OK+Get:0"},
        {"AT+BAUD4", "OK+Set:4"},
        {"AT+BAUD?", "OK+Get:4"},
        {"AT+BAUD9", "ERROR"},
        {"AT+RESET", "OK+RESET"},
        {"at", "ERROR"},
        {"AT+RENEW", "OK+RENEW"},
        {"AT+NAME?", "OK+NAME:Ruvo_Name"},
    };
    for (const auto& step : script) {
        const QByteArray p = replyPayload(board.handleRequest(wireFrame(0x50, atRequest(115200, step.first))), 0x50);
        QCOMPARE(le::u32(u8(p)), 115200u);
        QCOMPARE(p.mid(4), step.second + "\r\n");
    }
    QCOMPARE(board.lastAtSpeed(), 115200u);
    // the reference request: "AT" at 9600 is 80 25 00 00 41 54 0D 0A
    const QByteArray reply = board.handleRequest(wireFrame(0x50, QByteArray::fromHex("8025000041540d0a")));
    QCOMPARE(replyPayload(reply, 0x50), QByteArray::fromHex("80250000") + "OK\r\n");
}

void TestSimBoard::restartEntersTheOtherProgram()
{
    VirtualBoard board(BoardType::Photocolorimeter, Program::Main);
    QVERIFY(!board.restartPending());
    board.advanceTime(4000);
    QCOMPARE(board.handleRequest(wireFrame(0x84)).toHex(), QByteArray("aa060084c19e"));
    QVERIFY(board.restartPending());
    board.completeRestart();
    QVERIFY(!board.restartPending());
    QCOMPARE(int(board.progMode()), 10);
    board.advanceTime(25);
    const QByteArray packet = replyPayload(board.handleRequest(wireFrame(0x1F)), 0x1F);
    QCOMPARE(le::u32(u8(packet) + rec::pcraw::kRunTime), 25u); // run time counts from the restart
    QVERIFY(isRefusal(board.handleRequest(wireFrame(0x84))));
    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x85)), 0x85), QByteArray());
    QVERIFY(board.restartPending());
    board.completeRestart();
    QCOMPARE(int(board.progMode()), 11);
    QCOMPARE(le::u32(u8(board.statistics()) + rec::stat::kBoardStarts), 1u);
}

void TestSimBoard::testOverridesAndInjectedReadFaults()
{
    VirtualBoard board(BoardType::Chemistry, Program::Bootloader);
    const QByteArray page(1024, 'z');
    board.setFlashPage(2, page);
    board.corruptPageOnRead(2, 100);
    const QByteArray read = replyPayload(board.handleRequest(wireFrame(0x81, QByteArray(1, char(2)))), 0x81).mid(1);
    QCOMPARE(read.size(), 1024);
    QVERIFY(read != page);
    QCOMPARE(read.left(100), page.left(100));
    QCOMPARE(read.mid(101), page.mid(101));
    QCOMPARE(board.flashPage(2), page); // memory itself is fine
    board.corruptPageOnRead(-1, 0);
    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x81, QByteArray(1, char(2)))), 0x81).mid(1), page);

    board.corruptFwConfigOnRead(true);
    QVERIFY(replyPayload(board.handleRequest(wireFrame(0x83)), 0x83) != board.fwConfig());
    board.corruptFwConfigOnRead(false);
    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x83)), 0x83), board.fwConfig());

    const QByteArray fixedRecord(64, '\x11'), fixedPacket(256, '\x22');
    board.setExchangeOverride(fixedRecord);
    board.setRawOverride(fixedPacket);
    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x10)), 0x10), fixedRecord);
    QCOMPARE(replyPayload(board.handleRequest(wireFrame(0x1F)), 0x1F), fixedPacket);
    board.setRawOverride(QByteArray());
    QVERIFY(replyPayload(board.handleRequest(wireFrame(0x1F)), 0x1F) != fixedPacket);
}

QTEST_GUILESS_MAIN(TestSimBoard)
#include "test_sim_board.moc"
