#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include "IdleCpu.h"
#include "OpenFailure.h"
#include "Oru_SerialPort.h"
#include "PortNames.h"
#include "PtyPair.h"

namespace {

struct Collector {
    QByteArray bytes;
    int deliveries = 0;
    uint32_t largest = 0;
};

} // namespace

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void portNamesFromEntries();
    void openAndCloseResultCodes();
    void openFailureTexts_data();
    void openFailureTexts();
    void sendBeforeOpenWritesNothing();
    void bytesArriveCompleteAndInOrder();
    void vanishedPortClosesOnceWithoutSpinning();
};

void TestLink::portNamesFromEntries()
{
    QCOMPARE(PortNames::extract(QStringLiteral("(COM12)   FTDI USB Serial COM3")), QStringLiteral("COM12"));
    QCOMPARE(PortNames::extract(QStringLiteral("(ttyUSB0)   FTDI FT232R")), QStringLiteral("ttyUSB0"));
    QCOMPARE(PortNames::extract(QStringLiteral("(ttyACM1)   ")), QStringLiteral("ttyACM1"));
    QCOMPARE(PortNames::extract(QStringLiteral("(/dev/serial/by-id/usb-Ruvo_board-if00)   x")),
             QStringLiteral("/dev/serial/by-id/usb-Ruvo_board-if00"));
    QCOMPARE(PortNames::extract(QStringLiteral("(/dev/pts/7)   RConf симулятор платы, физика")),
             QStringLiteral("/dev/pts/7"));
    QVERIFY(PortNames::extract(QString()).isEmpty());
    QVERIFY(PortNames::extract(QStringLiteral("нет портов")).isEmpty());
}

void TestLink::openAndCloseResultCodes()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    Oru_SerialPort link;
    QCOMPARE(link.openPort(QString(), 115200, 8, 'n', 1), 3);
    QVERIFY(link.openFailureText().startsWith(QStringLiteral("Порт не выбран")));
    QCOMPARE(link.openPort(QStringLiteral("(COM999)   nothing"), 115200, 8, 'n', 1), 3);
    QCOMPARE(link.openPort(QStringLiteral("(/dev/no-such-port-rconf)"), 115200, 8, 'n', 1), 3);
    QVERIFY(link.openFailureText().startsWith(QStringLiteral("Устройство не найдено")));
    QVERIFY(!link.isOpen());
    // An entry in the port list's own form opens the path inside the parentheses.
    const QString entry = QStringLiteral("(") + pty.slavePath() + QStringLiteral(")   RConf симулятор");
    QCOMPARE(link.openPort(entry, 115200, 9, 'N', 1), 0);
    QVERIFY(link.isOpen());
    QCOMPARE(link.closePort(), 0);
    QCOMPARE(link.closePort(), 4);
    QVERIFY(!link.isOpen());
    // A bare path opens too, and a second program cannot take it meanwhile.
    QCOMPARE(link.openPort(pty.slavePath(), 115200, 8, 'n', 1), 0);
    QVERIFY(link.openFailureText().isEmpty());
    Oru_SerialPort second;
    QCOMPARE(second.openPort(pty.slavePath(), 115200, 8, 'n', 1), 2);
    QVERIFY(second.openFailureText().startsWith(QStringLiteral("Порт занят другой программой")));
    QCOMPARE(link.closePort(), 0);
}

void TestLink::openFailureTexts_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("accessible");   // this user may read and write the device
    QTest::addColumn<QString>("text");
    const QString notFound = QStringLiteral("Устройство не найдено: проверьте, что плата подключена, и нажмите «Обновить»");
    const QString refused = QStringLiteral("Порт не открылся: system text");
    QTest::newRow("not found") << int(QSerialPort::DeviceNotFoundError) << true << notFound;
    QTest::newRow("resource") << int(QSerialPort::ResourceError) << true << notFound;
    QTest::newRow("no rights") << int(QSerialPort::PermissionError) << false
                               << QStringLiteral("Нет прав на открытие порта: добавьте пользователя в группу dialout "
                                                 "командой «sudo usermod -aG dialout $USER», затем выйдите из системы "
                                                 "и войдите снова");
    QTest::newRow("held by another program") << int(QSerialPort::PermissionError) << true
                                             << QStringLiteral("Порт занят другой программой: закройте программу, "
                                                               "которая его использует (терминал, другой "
                                                               "конфигуратор), и откройте порт снова");
    for (QSerialPort::SerialPortError e :
         {QSerialPort::NoError, QSerialPort::OpenError, QSerialPort::NotOpenError, QSerialPort::WriteError,
          QSerialPort::ReadError,
          QSerialPort::UnsupportedOperationError, QSerialPort::UnknownError, QSerialPort::TimeoutError})
        QTest::addRow("error %d", int(e)) << int(e) << false << refused;
}

void TestLink::openFailureTexts()
{
    QFETCH(int, error);
    QFETCH(bool, accessible);
    QFETCH(QString, text);
    const auto reason = OpenFailure::fromOpenError(static_cast<QSerialPort::SerialPortError>(error), accessible);
    QCOMPARE(OpenFailure::text(reason, QStringLiteral("system text")), text);
}

void TestLink::sendBeforeOpenWritesNothing()
{
    PtyPair pty;
    Oru_SerialPort link;
    uint8_t bytes[] = {0xAA, 0x06, 0x00, 0x00, 0xC1, 0xFD};
    link.send(bytes, sizeof bytes);
    QVERIFY(pty.read(1, 200).isEmpty());
    QCOMPARE(link.openPort(pty.slavePath(), 115200, 8, 'n', 1), 0);
    link.send(bytes, sizeof bytes);
    QCOMPARE(pty.read(6, 3000), QByteArray(reinterpret_cast<const char*>(bytes), 6));
}

void TestLink::bytesArriveCompleteAndInOrder()
{
    PtyPair pty;
    Oru_SerialPort link;
    QCOMPARE(link.openPort(pty.slavePath(), 115200, 8, 'n', 1), 0);
    Collector c;
    connect(&link, &Oru_SerialPort::_data_recevied, this, [&c](uint8_t* buf, uint32_t size) {
        c.bytes.append(reinterpret_cast<const char*>(buf), static_cast<int>(size));
        ++c.deliveries;
        c.largest = std::max(c.largest, size);
    });
    QByteArray burst;
    for (int i = 0; i < 5000; ++i)
        burst.append(static_cast<char>(i * 7 + i / 256));
    pty.write(burst.left(10));
    pty.write(burst.mid(10));
    QTRY_COMPARE_WITH_TIMEOUT(c.bytes.size(), burst.size(), 5000);
    QCOMPARE(c.bytes, burst);
    QVERIFY(c.largest <= Oru_SerialPort::kReceiveBufferSize);
}

void TestLink::vanishedPortClosesOnceWithoutSpinning()
{
    auto* pty = new PtyPair;
    Oru_SerialPort link;
    QCOMPARE(link.openPort(pty->slavePath(), 115200, 8, 'n', 1), 0);
    QSignalSpy lost(&link, &Oru_SerialPort::portLost);
    delete pty; // the peer goes away: the slave side sees a hang-up
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
    QVERIFY(!link.isOpen());
    // Idle afterwards: a second of event processing costs next to no CPU time.
    QVERIFY2(idleCpuOverOneSecond() < 0.5, "the link keeps spinning after the port vanished");
    QCOMPARE(lost.count(), 1);
    QCOMPARE(link.closePort(), 4);
}

QTEST_MAIN(TestLink)
#include "test_link.moc"
