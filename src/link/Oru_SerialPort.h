#pragma once
#include <QObject>
#include <QSerialPort>
#include <QStringList>

#include "OpenFailure.h"

#include <cstdint>

// The program's only path to the board: lists free ports, opens one by name,
// writes byte blocks and delivers every block read through _data_recevied.
// Knows nothing of the protocol.
class Oru_SerialPort : public QObject
{
    Q_OBJECT
public:
    explicit Oru_SerialPort(QObject* parent = nullptr);
    ~Oru_SerialPort() override;

    QStringList freePortList();
    // 0 opened, 1 busy, 2 refused to open, 3 no such port
    int openPort(const QString& portText, uint32_t baud, uint8_t dataBits, uint8_t parity, uint8_t stopBits);
    // 0 closed, 4 was not open
    int closePort();
    bool isOpen() const { return opened; }
    // What the user can do about the last failed openPort (empty after a success).
    QString openFailureText() const { return OpenFailure::text(failure, failureDetail); }
    void send(uint8_t* buf, uint32_t size);
    void readData();

    static constexpr uint32_t kReceiveBufferSize = 2048;

signals:
    void _data_recevied(uint8_t* buf, uint32_t size);
    // The open port went away (board unplugged or restarted): the link has
    // closed it and is back in the closed state.
    void portLost();

private:
    void onError(QSerialPort::SerialPortError error);
    int fail(int result, OpenFailure::Reason reason, const QString& detail = QString());

    QSerialPort serialPort;
    bool opened = false;
    OpenFailure::Reason failure = OpenFailure::Reason::None;
    QString failureDetail;
};
