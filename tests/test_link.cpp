// The serial link: port names in list entries, open and close results with the
// reason told to the user, bytes both ways, the simulator program in the port
// list, and the engine over the port to a board that cuts, doubles and joins
// its replies.
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>

#include "BoardServer.h"
#include "IdleCpu.h"
#include "LittleEndian.h"
#include "OpenFailure.h"
#include "Oru_SerialPort.h"
#include "PortNames.h"
#include "PtyPair.h"
#include "SimulatorPorts.h"
#include "TestBytes.h"
#include "UpdateFileWriter.h"
#include "WaitTimes.h"
#include "proto_Vorlen_v2.h"

using namespace vboard;

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void portNamesAndReasons();
    void openSendAndReceive();
    void simulatorsInThePortList();
    void engineOverThePort_data();
    void engineOverThePort();
};

void TestLink::portNamesAndReasons()
{
    // Each entry is followed by the name found in it.
    for (const QString& entry : QStringList{"(COM12)   FTDI USB Serial COM3 COM12", "(ttyUSB0)   FTDI FT232R ttyUSB0", "(ttyACM1)    ttyACM1",
                                 "(/dev/serial/by-id/usb-Ruvo_board-if00)   x /dev/serial/by-id/usb-Ruvo_board-if00",
                                 "(/dev/pts/7)   RConf симулятор платы, физика /dev/pts/7", " ", "нет портов "})
        QCOMPARE(PortNames::extract(entry.left(entry.lastIndexOf(' '))), entry.mid(entry.lastIndexOf(' ') + 1));
    const QString found = "Устройство не найдено: проверьте, что плата подключена, и нажмите «Обновить»", refused = "Порт не открылся: system text";
    QCOMPARE(OpenFailure::text(OpenFailure::Reason::Refused) + OpenFailure::text(OpenFailure::Reason::None), "Порт не открылся: неизвестная ошибка");
    const QList<QPair<int, QString>> reasons = {
        {QSerialPort::DeviceNotFoundError, found}, {QSerialPort::ResourceError, found},
        {QSerialPort::PermissionError, "Нет прав на открытие порта: добавьте пользователя в группу dialout командой «sudo usermod "
                                       "-aG dialout $USER», затем выйдите из системы и войдите снова"},
        {-QSerialPort::PermissionError, "Порт занят другой программой: закройте программу, которая его использует (терминал, другой "
                                        "конфигуратор), и откройте порт снова"},   // the device itself is accessible
        {QSerialPort::OpenError, refused}, {QSerialPort::UnknownError, refused}};
    for (const auto& r : reasons) {
        const auto error = static_cast<QSerialPort::SerialPortError>(qAbs(r.first));
        QCOMPARE(OpenFailure::text(OpenFailure::fromOpenError(error, r.first < 0), "system text"), r.second);
    }
}

void TestLink::openSendAndReceive()
{
    PtyPair pty;
    Oru_SerialPort link;
    QByteArray got;
    uint32_t largest = 0;
    connect(&link, &Oru_SerialPort::_data_recevied, this, [&](uint8_t* buf, uint32_t size) {
        got.append(reinterpret_cast<const char*>(buf), int(size));
        largest = std::max(largest, size);
    });
    uint8_t frame[] = {0xAA, 0x06, 0x00, 0x00, 0xC1, 0xFD};
    link.send(frame, sizeof frame);   // not open: nothing goes out
    QCOMPARE(link.openPort(QString(), 115200, 8, 'n', 1), 3);
    QVERIFY(link.openFailureText().startsWith(QStringLiteral("Порт не выбран")));
    QCOMPARE(link.openPort(QStringLiteral("(/dev/no-such-port-rconf)"), 115200, 8, 'n', 1), 3);
    QCOMPARE(link.openPort(QStringLiteral("(COM999)   nothing"), 115200, 8, 'n', 1), 3);
    QVERIFY(link.openFailureText().startsWith(QStringLiteral("Устройство не найдено")) && !link.isOpen());
    // An entry in the port list's form opens the path inside the parentheses, once.
    QCOMPARE(link.openPort("(" + pty.slavePath() + ")   RConf симулятор", 115200, 9, 'N', 1), 0);
    QVERIFY(link.isOpen() && link.openFailureText().isEmpty());
    Oru_SerialPort second;
    QCOMPARE(second.openPort(pty.slavePath(), 115200, 8, 'E', 2), 2);
    QVERIFY(second.openFailureText().startsWith(QStringLiteral("Порт занят другой программой")));
    link.send(frame, sizeof frame);
    QCOMPARE(pty.read(6, 3000), QByteArray(reinterpret_cast<const char*>(frame), 6));
    // A burst larger than the receive buffer arrives whole, in order, in pieces that fit.
    QByteArray burst;
    for (int i = 0; i < 5000; ++i)
        burst.append(char(i * 7 + i / 256));
    pty.write(burst.left(10));
    pty.write(burst.mid(10));
    QTRY_COMPARE(got, burst);
    QVERIFY(largest <= Oru_SerialPort::kReceiveBufferSize);
    QVERIFY(link.closePort() == 0 && link.closePort() == 4 && !link.isOpen());
}

// The vboard program serves a board at the default link and offers it in the port list; the entry follows a
// restart into the other program and its commands, and goes with it. The port the restart took away is closed
// once and nothing spins after; the state file keeps what the board went through; bad input is refused.
void TestLink::simulatorsInThePortList()
{
    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());   // a discovery folder of our own
    const QString state = dir.filePath("board.state"), link = dir.filePath("rconf-vboard/vboard-ecology");
    const QString entry = "(" + link + ")   RConf симулятор платы, экология, ";
    auto listed = [] { return Oru_SerialPort().freePortList().join('\n'); };
    QProcess vboard;
    vboard.start(VBOARD_PATH, {"--type", "ecology", "--program", "boot", "--restart-ms", "100", "--state", state});
    QVERIFY(vboard.waitForReadyRead(10000) && vboard.readLine().trimmed() == link.toLocal8Bit() && listed().contains(entry + "загрузчик"));
    Oru_SerialPort port;
    QSignalSpy lost(&port, &Oru_SerialPort::portLost);
    QCOMPARE(port.openPort(entry + "загрузчик", 115200, 8, 'n', 1), 0);
    QByteArray finish = wireFrame(0x85);
    port.send(raw(finish), 6);
    QVERIFY(lost.wait() && !port.isOpen());
    QTRY_VERIFY(listed().contains(entry + "основная программа") && !listed().contains(entry + "загрузчик"));
    QVERIFY2(idleCpuOverOneSecond() < 0.5, "the link keeps spinning after the port vanished");
    QVERIFY(lost.count() == 1 && port.closePort() == 4);
    vboard.write("disconnect\n");
    QTRY_VERIFY(!listed().contains(entry));
    vboard.write("reconnect\n");
    QTRY_VERIFY(listed().contains(entry + "основная программа"));
    QVERIFY(SimulatorPorts::registerEntry("gone", {dir.filePath("gone"), "нет устройства"}) && SimulatorPorts::list().size() == 1);
    ::kill(pid_t(vboard.processId()), SIGTERM);
    QVERIFY(vboard.waitForFinished() && vboard.exitCode() == 0 && !QFileInfo(link).isSymLink() && SimulatorPorts::list().isEmpty());
    BoardServer::Options o;
    std::tie(o.type, o.program, o.linkPath, o.stateFile, o.registerForDiscovery) =
        std::make_tuple(BoardType::Ecology, Program::Bootloader, dir.filePath("again"), state, false);
    auto again = std::make_unique<BoardServer>(o);
    QVERIFY(again->start() && le::u32(u8(again->board().statistics())) == 1);   // starts: one, into the main program
    again.reset();
    QFile(state).resize(100);
    QString error;
    QVERIFY(!BoardServer(o).start(&error) && error.contains(state) && error.contains("неверный размер"));
    vboard.start(VBOARD_PATH, {"--type", "astronomy"});
    QVERIFY(vboard.waitForFinished() && vboard.exitCode() == 2 && vboard.readAllStandardError().contains("Неизвестный тип платы: astronomy"));
}

void TestLink::engineOverThePort_data()
{
    QTest::addColumn<bool>("split");
    QTest::addColumn<double>("duplicate");
    QTest::addColumn<double>("join");
    QTest::newRow("split") << true << 0.0 << 0.0;
    QTest::newRow("every reply twice, split") << true << 1.0 << 0.0;
    QTest::newRow("some replies joined with the next") << false << 0.0 << 0.2;
}

// A programming run reads every page back. A copy of a reply, or one that waited for the repeat of its
// request, neither stops the run nor steps it twice.
void TestLink::engineOverThePort()
{
    QFETCH(bool, split);
    QFETCH(double, duplicate);
    QFETCH(double, join);
    WaitTimes::setDivisor(4);
    QTemporaryDir dir;
    BoardServer::Options o;
    std::tie(o.type, o.program, o.linkPath, o.registerForDiscovery, o.seed) = std::make_tuple(BoardType::Chemistry, Program::Bootloader, dir.filePath("e"), false, 7);
    std::tie(o.split, o.duplicateProbability, o.joinProbability) = std::make_tuple(split, duplicate, join);
    BoardServer server(o);
    proto_Vorlen_v2 e;
    Oru_SerialPort serial;
    QStringList log;
    QObject::connect(&e, &proto_Vorlen_v2::log, [&log](const QString& t) { log << t; });
    QObject::connect(&e, &proto_Vorlen_v2::_transmit_data, &serial, &Oru_SerialPort::send);
    QObject::connect(&serial, &Oru_SerialPort::_data_recevied, &e, &proto_Vorlen_v2::parseReceived);
    QVERIFY(server.start() && serial.openPort(server.linkPath(), 115200, 8, 0, 1) == 0);
    const QByteArray image = UpdateFileWriter::randomImage(4, 5);
    e.startProgramming(u8(image), uint32_t(image.size()));
    QTRY_VERIFY_WITH_TIMEOUT(!e.isProgramming(), 30000);
    QCOMPARE(log.filter("ПРОГРАММИРОВАНИЕ::: ").last(), QString("ПРОГРАММИРОВАНИЕ::: Запись программы и верификация пройдены успешно!"));
    QCOMPARE(server.board().flashPage(0) + server.board().flashPage(1) + server.board().flashPage(2) + server.board().flashPage(3), image);
    const int repeats = log.count("Отправка команды, попытка 2");
    QTRY_COMPARE(log.count("Принят повторный ответ на уже выполненную команду - пропущен"), duplicate > 0 ? 11 + repeats : repeats);
    QCOMPARE(server.requests().size(), 11 + repeats);
    QCOMPARE(repeats > 0, join > 0);
    QVERIFY2(log.filter("ОШИБКА").isEmpty(), qPrintable(log.filter("ОШИБКА").join('\n')));
}

QTEST_MAIN(TestLink)
#include "test_link.moc"
