#include "OpenFailure.h"

namespace OpenFailure {

Reason fromOpenError(QSerialPort::SerialPortError error, bool deviceAccessible)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::ResourceError:
        return Reason::NotFound;
    case QSerialPort::PermissionError:
        return deviceAccessible ? Reason::Busy : Reason::NoPermission;
    default:
        return Reason::Refused;
    }
}

QString text(Reason reason, const QString& detail)
{
    switch (reason) {
    case Reason::None:
        return QString();
    case Reason::NoPortName:
        return QStringLiteral("Порт не выбран: выберите порт в списке или введите путь к устройству");
    case Reason::NotFound:
        return QStringLiteral("Устройство не найдено: проверьте, что плата подключена, и нажмите «Обновить»");
    case Reason::Busy:
        return QStringLiteral("Порт занят другой программой: закройте программу, которая его использует "
                              "(терминал, другой конфигуратор), и откройте порт снова");
    case Reason::NoPermission:
        return QStringLiteral("Нет прав на открытие порта: добавьте пользователя в группу dialout командой "
                              "«sudo usermod -aG dialout $USER», затем выйдите из системы и войдите снова");
    case Reason::Refused:
        break;
    }
    return QStringLiteral("Порт не открылся: ") + (detail.isEmpty() ? QStringLiteral("неизвестная ошибка") : detail);
}

} // namespace OpenFailure
