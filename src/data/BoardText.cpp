#include "BoardText.h"

#include <QDate>

#include "LittleEndian.h"
#include "Records.h"

namespace BoardText {

namespace {

constexpr uint8_t kLastLabType = 4;

const char* const kLabTypes[] = {"Недоступно", "1. Цифровая лаборатория по физике", "2. Цифровая лаборатория по химии",
                                 "3. Цифровая лаборатория по экологии", "4. Цифровая лаборатория по биологии"};
const char* const kLabShort[] = {"тип не установлен", "физика", "химия", "экология", "биология"};

bool isPhotocolorimeter(uint8_t progMode) { return progMode / 10 == 1; }

QString errorText(uint8_t code)
{
    switch (code) {
    case 0x00: return QStringLiteral("Ошибок нет");
    case 0x01: return QStringLiteral("Ошибка целостности основной программы");
    case 0x02: return QStringLiteral("Сбой основной программы. Экстренная перезагрузка устройства");
    case 0x03: return QStringLiteral("Ошибка чтения конфигураций в загрузчике");
    case 0x80: return QStringLiteral("Ошибка загрузки конфигураций");
    case 0x81: return QStringLiteral("Ошибка аппаратной конфигурации. Не установлен тип устройства");
    case 0x82: return QStringLiteral("Ошибка программного обеспечения. Неподдерживаемая версия платы");
    case 0x83: return QStringLiteral("Ошибка программного обеспечения. Неподдерживаемый тип устройства");
    default: return QStringLiteral("код ошибки 0x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
}

QString okText(bool ok) { return ok ? QStringLiteral("успешно") : QStringLiteral("ошибка"); }

QDate recordDate(const uint8_t* fw)
{
    return QDate(fw[rec::fwcfg::kBuildYear] + 2000, fw[rec::fwcfg::kBuildMonth], fw[rec::fwcfg::kBuildDay]);
}

} // namespace

bool isBootloader(uint8_t progMode) { return progMode % 10 == 0; }

QString familyKey(uint8_t progMode)
{
    switch (progMode / 10) {
    case 0: return QStringLiteral("laboratory");
    case 1: return QStringLiteral("photocolorimeter");
    default: return QStringLiteral("unknown");
    }
}

QString workMode(uint8_t progMode)
{
    switch (progMode) {
    case 0: return QStringLiteral("Загрузчик Ворлен");
    case 10: return QStringLiteral("Загрузчик фотоколориметра");
    case 1: return QStringLiteral("Основная программа Ворлен");
    case 11: return QStringLiteral("Основная программа фотоколориметра");
    default: return QStringLiteral("Неизвестное устройство");
    }
}

QString typeName(const DevInfo& info)
{
    if (info.devType == 0)
        return QStringLiteral("не установлено");
    if (isPhotocolorimeter(info.progMode))
        return QStringLiteral("Фотоколориметр");
    if (info.progMode / 10 == 0 && info.devType <= kLastLabType)
        return QString::fromUtf8(kLabTypes[info.devType]);
    return QStringLiteral("неизвестный тип");
}

QString shortName(const DevInfo& info)
{
    QString type;
    if (isPhotocolorimeter(info.progMode))
        type = QStringLiteral("фотоколориметр");
    else if (info.progMode / 10 == 0 && info.devType <= kLastLabType)
        type = QString::fromUtf8(kLabShort[info.devType]);
    else
        type = QStringLiteral("неизвестная плата");
    const QString program = isBootloader(info.progMode) ? QStringLiteral("загрузчик") : QStringLiteral("основная программа");
    return type + QStringLiteral(", ") + program;
}

QStringList statusLines(const DevInfo& info)
{
    QStringList out;
    out << QStringLiteral("Режим работы: ") + workMode(info.progMode);
    if (info.progMode == 0 || info.progMode == 10)
        out << QStringLiteral("Версия загрузчика: %1.%2").arg(info.blVersion >> 4).arg(info.blVersion & 0x0F);
    out << QStringLiteral("Тип устройства: ") + typeName(info);
    out << QStringLiteral("Состояние конфигурации FW: ") + okText(info.flags & 0x01);
    out << QStringLiteral("Состояние конфигурации HW: ") + okText(info.flags & 0x02);
    out << QStringLiteral("Режим AT-команд: ") + (info.bleBridge ? QStringLiteral("включен, данные BLE транслируеются в USB")
                                                                 : QStringLiteral("отключен"));
    out << QStringLiteral("Ошибки работы программы: ") + errorText(info.errorCode);
    out << QStringLiteral("Свободная память для ПО: %1 страниц памяти по 1024 байта доступно (%2 байт)")
               .arg(info.freePages)
               .arg(uint32_t(info.freePages) * 1024u);
    return out;
}

QStringList fwConfigLines(const DevInfo& info, const uint8_t* fw)
{
    if (!(info.flags & 0x01))
        return {QStringLiteral("Конфигурация FW: Ошибка. Данные недостоверны")};
    return {QStringLiteral("Конфигурация FW: Успешно"),
            QStringLiteral("  Серийный номер: %1").arg(le::u32(fw + rec::fwcfg::kSerialNumber)),
            QStringLiteral("  CRC прошивки: 0x%1").arg(le::u16(fw + rec::fwcfg::kFwCrc), 0, 16),
            QStringLiteral("  Длина прошивки: %1 байт").arg(le::u16(fw + rec::fwcfg::kFwLength)),
            QStringLiteral("  Дата создания прошивки: ") + recordDate(fw).toString(QStringLiteral("dd.MM.yyyy")),
            QStringLiteral("  Версия прошивки: %1").arg(fw[rec::fwcfg::kFwVersion])};
}

QJsonObject statusJson(const DevInfo& info)
{
    return {{QStringLiteral("progMode"), info.progMode},
            {QStringLiteral("family"), familyKey(info.progMode)},
            {QStringLiteral("program"), isBootloader(info.progMode) ? QStringLiteral("bootloader") : QStringLiteral("main")},
            {QStringLiteral("devType"), info.devType},
            {QStringLiteral("name"), shortName(info)},
            {QStringLiteral("workMode"), workMode(info.progMode)},
            {QStringLiteral("typeName"), typeName(info)},
            {QStringLiteral("fwConfigValid"), bool(info.flags & 0x01)},
            {QStringLiteral("hwConfigValid"), bool(info.flags & 0x02)},
            {QStringLiteral("atMode"), info.bleBridge != 0},
            {QStringLiteral("errorCode"), info.errorCode},
            {QStringLiteral("errorText"), errorText(info.errorCode)},
            {QStringLiteral("freePages"), info.freePages},
            {QStringLiteral("bootloaderVersion"),
             QStringLiteral("%1.%2").arg(info.blVersion >> 4).arg(info.blVersion & 0x0F)}};
}

QJsonObject fwConfigJson(const DevInfo& info, const uint8_t* fw)
{
    return {{QStringLiteral("valid"), bool(info.flags & 0x01)},
            {QStringLiteral("serialNumber"), qint64(le::u32(fw + rec::fwcfg::kSerialNumber))},
            {QStringLiteral("fwCrc"), QStringLiteral("0x%1").arg(le::u16(fw + rec::fwcfg::kFwCrc), 4, 16, QLatin1Char('0'))},
            {QStringLiteral("fwLength"), le::u16(fw + rec::fwcfg::kFwLength)},
            {QStringLiteral("fwVersion"), fw[rec::fwcfg::kFwVersion]},
            {QStringLiteral("buildDate"), recordDate(fw).toString(Qt::ISODate)}};
}

} // namespace BoardText
