#include "Oru_SerialPort.h"

#include "PortNames.h"
#include "SimulatorPorts.h"

#include <QDebug>
#include <QFile>
#include <QLoggingCategory>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcLink, "rconf.link")

namespace {

QSerialPort::DataBits dataBitsFor(uint8_t bits)
{
    switch (bits) {
    case 5: return QSerialPort::Data5;
    case 6: return QSerialPort::Data6;
    case 7: return QSerialPort::Data7;
    default: return QSerialPort::Data8;
    }
}

QSerialPort::Parity parityFor(uint8_t parity)
{
    if (parity == 'E')
        return QSerialPort::EvenParity;
    if (parity == 'O')
        return QSerialPort::OddParity;
    return QSerialPort::NoParity;
}

QString errorName(QSerialPort::SerialPortError e)
{
    switch (e) {
    case QSerialPort::NoError: return QStringLiteral("NoError");
    case QSerialPort::DeviceNotFoundError: return QStringLiteral("DeviceNotFoundError");
    case QSerialPort::PermissionError: return QStringLiteral("PermissionError");
    case QSerialPort::OpenError: return QStringLiteral("OpenError");
    case QSerialPort::NotOpenError: return QStringLiteral("NotOpenError");
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    case QSerialPort::ParityError: return QStringLiteral("ParityError");
    case QSerialPort::FramingError: return QStringLiteral("FramingError");
    case QSerialPort::BreakConditionError: return QStringLiteral("BreakConditionError");
#endif
    case QSerialPort::WriteError: return QStringLiteral("WriteError");
    case QSerialPort::ReadError: return QStringLiteral("ReadError");
    case QSerialPort::ResourceError: return QStringLiteral("ResourceError");
    case QSerialPort::UnsupportedOperationError: return QStringLiteral("UnsupportedOperationError");
    case QSerialPort::TimeoutError: return QStringLiteral("TimeoutError");
    default: return QStringLiteral("UnknownError");
    }
}

// Whether this user may read and write the device at all; tells a port that
// another program holds from one the user has no rights to.
bool mayReadAndWrite(const QString& location)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(location).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(location)
    return true; // Windows reports a port held by another program as access denied
#endif
}

// Qt 6 has no QSerialPortInfo::isBusy: there a port that another program
// holds is listed, and open() refuses it (QSerialPort takes the same lock).
bool isBusy(const QSerialPortInfo& info)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return info.isBusy();
#else
    Q_UNUSED(info);
    return false;
#endif
}

} // namespace

Oru_SerialPort::Oru_SerialPort(QObject* parent) : QObject(parent)
{
    connect(&serialPort, &QSerialPort::readyRead, this, &Oru_SerialPort::readData);
    connect(&serialPort, &QSerialPort::errorOccurred, this, &Oru_SerialPort::onError);
}

Oru_SerialPort::~Oru_SerialPort() = default;

QStringList Oru_SerialPort::freePortList()
{
    qCDebug(lcLink) << "modbus:: Update port list";
    QStringList result;
    auto add = [&result](const QString& name, const QString& manufacturer, const QString& description) {
        result << QStringLiteral("(") + name + QStringLiteral(")   ") + manufacturer + QStringLiteral(" ") + description;
        qCDebug(lcLink) << "Serial port " << name << " is free";
        qCDebug(lcLink) << "Serial port manufacturer " << manufacturer;
        qCDebug(lcLink) << "Serial port description " << description;
    };
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (isBusy(info))
            continue;
        add(info.portName(), info.manufacturer(), info.description());
    }
    for (const SimulatorPorts::Entry& e : SimulatorPorts::list())
        add(e.path, QStringLiteral("RConf"), e.description);
    return result;
}

int Oru_SerialPort::openPort(const QString& portText, uint32_t baud, uint8_t dataBits, uint8_t parity,
                             uint8_t stopBits)
{
    failure = OpenFailure::Reason::None;
    failureDetail.clear();
    const QString name = PortNames::extract(portText);
    if (name.isEmpty()) {
        qCDebug(lcLink) << "SerialPort:: port name incorrect";
        return fail(3, OpenFailure::Reason::NoPortName);
    }
    qCDebug(lcLink) << "SerialPort:: try to connect to port with " << name << " and speed " << baud;

    QSerialPortInfo found;
    bool known = false;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.portName() == name || info.systemLocation() == name) {
            found = info;
            known = true;
            break;
        }
    }
    // Device paths that the system list does not show (pseudo-terminals,
    // /dev/serial/by-id links) open as they are.
    const bool byPath = !known && PortNames::isAbsolutePath(name) && PortNames::isTerminalDevice(name);
    if (!known && !byPath) {
        qCDebug(lcLink) << "SerialPort:: port is not found";
        return fail(3, OpenFailure::Reason::NotFound);
    }
    qCDebug(lcLink) << "SerialPort:: Serial port " << name << " founded";
    if (known && isBusy(found)) {
        qCDebug(lcLink) << "SerialPort:: Serial port is busy";
        return fail(1, OpenFailure::Reason::Busy);
    }

    if (known)
        serialPort.setPort(found);
    else
        serialPort.setPortName(name);
    serialPort.setBaudRate(static_cast<qint32>(baud), QSerialPort::AllDirections);
    serialPort.setDataBits(dataBitsFor(dataBits));
    serialPort.setParity(parityFor(parity));
    serialPort.setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    if (!serialPort.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = serialPort.error();
        const QString detail = serialPort.errorString();
        qCDebug(lcLink) << "SerialPort:: Error port opening" << errorName(error);
        serialPort.close();
        const QString location = known ? found.systemLocation() : name;
        return fail(2, OpenFailure::fromOpenError(error, mayReadAndWrite(location)), detail);
    }
    qCDebug(lcLink) << "SerialPort:: " << name << " open";
    opened = true;
    return 0;
}

int Oru_SerialPort::fail(int result, OpenFailure::Reason reason, const QString& detail)
{
    failure = reason;
    failureDetail = detail;
    return result;
}

int Oru_SerialPort::closePort()
{
    if (!opened)
        return 4;
    serialPort.close();
    opened = false;
    return 0;
}

void Oru_SerialPort::send(uint8_t* buf, uint32_t size)
{
    if (!opened)
        return;
    serialPort.write(reinterpret_cast<const char*>(buf), static_cast<qint64>(size));
    qCDebug(lcLink) << "SerialPort:: sended " << size << " bytes";
}

void Oru_SerialPort::readData()
{
    const QByteArray bytes = serialPort.readAll();
    // A read larger than the receive buffer is delivered in order, in pieces.
    uint8_t buffer[kReceiveBufferSize];
    int offset = 0;
    do {
        const int piece = std::min<int>(bytes.size() - offset, static_cast<int>(kReceiveBufferSize));
        if (piece > 0)
            std::memcpy(buffer, bytes.constData() + offset, static_cast<size_t>(piece));
        emit _data_recevied(buffer, static_cast<uint32_t>(piece));
        offset += piece;
    } while (offset < bytes.size());
}

void Oru_SerialPort::onError(QSerialPort::SerialPortError error)
{
    // A device that vanished while open makes QSerialPort report read or
    // resource errors in a tight loop; close once and tell the owner.
    if (!opened || (error != QSerialPort::ResourceError && error != QSerialPort::ReadError))
        return;
    qCDebug(lcLink) << "SerialPort:: port lost" << errorName(error);
    serialPort.close();
    opened = false;
    emit portLost();
}
