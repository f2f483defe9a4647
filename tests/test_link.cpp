// The serial link: port names in list entries, open and close results with
// the reason told to the user, bytes both ways, and a port that vanishes.
#include <QSignalSpy>
#include <QtTest>

#include "IdleCpu.h"
#include "OpenFailure.h"
#include "Oru_SerialPort.h"
#include "PortNames.h"
#include "PtyPair.h"

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void portNamesAndReasons();
    void openSendAndReceive();
    void vanishedPortClosesOnceWithoutSpinning();
};

void TestLink::portNamesAndReasons()
{
    // Each entry is followed by the name found in it.
    for (const QString& entry : QStringList{"(COM12)   FTDI USB Serial COM3 COM12", "(ttyUSB0)   FTDI FT232R ttyUSB0", "(ttyACM1)    ttyACM1",
                                 "(/dev/serial/by-id/usb-Ruvo_board-if00)   x /dev/serial/by-id/usb-Ruvo_board-if00",
                                 "(/dev/pts/7)   RConf симулятор платы, физика /dev/pts/7", " ", "нет портов "})
        QCOMPARE(PortNames::extract(entry.left(entry.lastIndexOf(' '))), entry.mid(entry.lastIndexOf(' ') + 1));
    using R = OpenFailure::Reason;
    const QString found = OpenFailure::text(R::NotFound), refused = QStringLiteral("Порт не открылся: system text");
    QCOMPARE(found, QStringLiteral("Устройство не найдено: проверьте, что плата подключена, и нажмите «Обновить»"));
    QCOMPARE(OpenFailure::text(R::Refused), QStringLiteral("Порт не открылся: неизвестная ошибка"));
    QCOMPARE(OpenFailure::text(R::None), QString());
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
    QCOMPARE(link.closePort(), 0);
    QCOMPARE(link.closePort(), 4);
    QVERIFY(!link.isOpen());
}

void TestLink::vanishedPortClosesOnceWithoutSpinning()
{
    auto* pty = new PtyPair;
    Oru_SerialPort link;
    QCOMPARE(link.openPort(pty->slavePath(), 115200, 8, 'n', 1), 0);
    QSignalSpy lost(&link, &Oru_SerialPort::portLost);
    delete pty;   // the peer goes away: the slave side sees a hang-up
    QVERIFY(lost.wait());
    QVERIFY(!link.isOpen());
    QVERIFY2(idleCpuOverOneSecond() < 0.5, "the link keeps spinning after the port vanished");
    QCOMPARE(lost.count(), 1);
    QCOMPARE(link.closePort(), 4);
}

QTEST_MAIN(TestLink)
#include "test_link.moc"
