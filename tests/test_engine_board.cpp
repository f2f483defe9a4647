// The engine against the simulated board over a real pseudo-terminal, with
// the board cutting every reply into pieces as USB serial drivers do.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "BoardServer.h"
#include "Oru_SerialPort.h"
#include "test_engine_harness.h"

using namespace vboard;

class EngineBoardTest : public QObject
{
    Q_OBJECT

private slots:
    void splitRepliesOverThePort();
};

void EngineBoardTest::splitRepliesOverThePort()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BoardServer::Options o;
    o.type = BoardType::Chemistry;
    o.program = Program::Bootloader;
    o.linkPath = dir.filePath("board");
    o.registerForDiscovery = false;
    o.split = true;
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
    QCOMPARE(e.proto.devInfo.progMode, uint8_t(0));
    QCOMPARE(e.proto.devInfo.devType, uint8_t(2));

    // Page read-backs are the longest replies: each must arrive whole.
    QByteArray seen;
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_fwPage_readed, [&](uint8_t* data, uint32_t size) {
        seen = QByteArray(reinterpret_cast<const char*>(data), int(size));
    });
    for (int page = 0; page < 8; ++page) {
        const QByteArray content = filled(1024, page * 13 + 1);
        server.board().setFlashPage(page, content);
        seen.clear();
        e.send(0x81, bytes({page}));
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 1024, 10000);
        QCOMPARE(seen, content);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.proto.pageBuf), 1024), content);
    }

    QSignalSpy hw(&e.proto, &proto_Vorlen_v2::cmd_hwConfig_readed);
    e.send(0x31);
    QTRY_COMPARE_WITH_TIMEOUT(hw.count(), 1, 10000);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.proto.hwConfig), 288), server.board().hwConfig());

    // Every reply was taken whole at its first transmission: no rejection, no repeat.
    for (const QString& line : e.logs) {
        QVERIFY2(!line.startsWith(QStringLiteral("ОШИБКА")), qPrintable(line));
        QVERIFY2(line != QStringLiteral("Отправка команды, попытка 2"), qPrintable(line));
    }
    QCOMPARE(server.requests().size(), 10);
}

QTEST_GUILESS_MAIN(EngineBoardTest)
#include "test_engine_board.moc"
