#pragma once
#include <QSerialPort>
#include <QString>

// Why a port did not open, told in words the user can act on.
namespace OpenFailure {

enum class Reason { None, NoPortName, NotFound, Busy, NoPermission, Refused };

// The reason behind a refusal of QSerialPort::open. On Unix a port held by
// another program (its lock file or exclusive mode) is reported as
// PermissionError as well; a device this user may read and write is
// therefore busy, not forbidden.
Reason fromOpenError(QSerialPort::SerialPortError error, bool deviceAccessible);

// One log line; detail is the system's own wording, used for Refused.
QString text(Reason reason, const QString& detail = QString());

} // namespace OpenFailure
