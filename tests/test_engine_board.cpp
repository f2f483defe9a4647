// The engine against the simulated board over a real pseudo-terminal, with
// the board cutting replies into pieces as USB serial drivers do, answering
// twice in one write, or joining a late reply with the next one.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "BoardServer.h"
#include "CommandTable.h"
#include "Oru_SerialPort.h"
#include "VirtualBoard.h"
#include "test_engine_harness.h"

using namespace vboard;

class EngineBoardTest : public QObject
{
    Q_OBJECT

private slots:
    void repliesOverThePort_data();
    void repliesOverThePort();
    void commandTableIsComplete();
};

void EngineBoardTest::repliesOverThePort_data()
{
    QTest::addColumn<bool>("split");
    QTest::addColumn<double>("duplicate");
    QTest::addColumn<double>("join");
    QTest::newRow("split") << true << 0.0 << 0.0;
    QTest::newRow("every reply twice, split") << true << 1.0 << 0.0;
    QTest::newRow("some replies joined with the next") << false << 0.0 << 0.2;
}

void EngineBoardTest::repliesOverThePort()
{
    QFETCH(bool, split);
    QFETCH(double, duplicate);
    QFETCH(double, join);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BoardServer::Options o;
    o.type = BoardType::Chemistry;
    o.program = Program::Bootloader;
    o.linkPath = dir.filePath("board");
    o.registerForDiscovery = false;
    o.split = split;
    o.duplicateProbability = duplicate;
    o.joinProbability = join;
    o.seed = 7;
    BoardServer server(o);
    QVERIFY(server.start());

    EngineProbe e;
    Oru_SerialPort serial;
    QObject::connect(&e.proto, &proto_Vorlen_v2::_transmit_data, &serial, &Oru_SerialPort::send);
    QObject::connect(&serial, &Oru_SerialPort::_data_recevied, &e.proto, &proto_Vorlen_v2::parseReceived);
    QCOMPARE(serial.openPort(server.linkPath(), 115200, 8, 0, 1), 0);

    QSignalSpy info(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received);
    e.send(0x00);
    QTRY_COMPARE_WITH_TIMEOUT(info.count(), 1, 10000);
    QCOMPARE(e.proto.deviceInfo().progMode, uint8_t(0));
    QCOMPARE(e.proto.deviceInfo().devType, uint8_t(2));

    // A programming run reads every page back (the longest replies) and
    // compares it. A copy of a reply, or a reply that waited for the repeat
    // of its request, must neither stop the run nor step it twice.
    const QByteArray image = filled(4096, 5);
    e.proto.startProgramming(reinterpret_cast<const uint8_t*>(image.constData()), uint32_t(image.size()));
    QTRY_VERIFY_WITH_TIMEOUT(!e.proto.isProgramming(), 30000);
    QCOMPARE(e.logs.filter(QStringLiteral("ПРОГРАММИРОВАНИЕ::: ")).last(),
             QStringLiteral("ПРОГРАММИРОВАНИЕ::: Запись программы и верификация пройдены успешно!"));
    for (int page = 0; page < 4; ++page)
        QCOMPARE(server.board().flashPage(page), image.mid(page * 1024, 1024));

    QSignalSpy hw(&e.proto, &proto_Vorlen_v2::cmd_hwConfig_readed);
    e.send(0x31);
    QTRY_COMPARE_WITH_TIMEOUT(hw.count(), 1, 10000);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.proto.hwConfigRecord()), 288), server.board().hwConfig());

    // Every reply was taken whole, and only a reply held back by the board
    // cost a repeat; each copy, or each answer to a repeat, was set aside.
    const int repeats = e.logs.count(QStringLiteral("Отправка команды, попытка 2"));
    const QString copy = QStringLiteral("Принят повторный ответ на уже выполненную команду - пропущен");
    QTRY_COMPARE_WITH_TIMEOUT(e.logs.count(copy), duplicate > 0 ? 13 + repeats : repeats, 5000);
    QCOMPARE(server.requests().size(), 13 + repeats);
    QCOMPARE(repeats > 0, join > 0);
    for (const QString& line : e.logs)
        QVERIFY2(!line.startsWith(QStringLiteral("ОШИБКА")), qPrintable(line));
}

// Every request code has one row that can be sent and decoded, and the
// tool's mode gate refuses exactly what the board's programs refuse.
void EngineBoardTest::commandTableIsComplete()
{
    namespace c = rec::cmd;
    const uint8_t codes[] = {c::getInfo, c::getDataExchange, c::getRawData, c::archiveControl, c::archiveData,
                             c::setHwConfig, c::getHwConfig, c::setUserData, c::getUserData, c::bleAtCmd,
                             c::flashWrite, c::flashRead, c::setFwConfig, c::getFwConfig, c::bootloaderInit,
                             c::bootloaderFinish, c::flashWriteBlock, c::flashReadBlock, c::statistics};
    QCOMPARE(int(CommandTable::end() - CommandTable::begin()), int(sizeof codes));
    for (uint8_t code : codes) {
        const CommandTable::Row* row = CommandTable::find(code);
        QVERIFY2(row && row->code == code, qPrintable(QString::number(code, 16)));
        const char* name = row->name;
        QVERIFY2(QString::fromUtf8(row->start).startsWith(QStringLiteral("СТАРТ - ")), name);
        QVERIFY2(row->replyMin >= rec::frame::kOverhead && row->description, name);
        QCOMPARE(row->needs == CommandTable::Needs::Any, row->refusal == nullptr);
        for (Program p : {Program::Bootloader, Program::Main}) {
            const bool allowed = row->needs == CommandTable::Needs::Any ||
                                 (row->needs == CommandTable::Needs::Main) == (p == Program::Main);
            QVERIFY2(allowed == VirtualBoard::accepts(p, code), name);
        }
    }
}

QTEST_GUILESS_MAIN(EngineBoardTest)
#include "test_engine_board.moc"
