#include "proto_Vorlen_v2.h"

#include <algorithm>
#include <cstring>

#include "LittleEndian.h"

namespace {

// How sendCommand fills the payload of a request.
enum class Copy {
    None,       // no payload, 6-byte frame whatever the caller passes
    All,        // all n bytes, frame n + 6
    Leading1,   // byte 0 only, frame n + 6
    Leading2,   // bytes 0 and 1 only, frame n + 6
    HwConfig,   // the engine's own hardware configuration block and its CRC
};

struct Request {
    uint8_t code;
    Copy copy;
};

const Request kCatalogue[] = {
    {rec::cmd::getInfo, Copy::None},
    {rec::cmd::getDataExchange, Copy::All},
    {rec::cmd::getRawData, Copy::All},
    {rec::cmd::archiveControl, Copy::All},
    {rec::cmd::archiveData, Copy::All},
    {rec::cmd::setHwConfig, Copy::HwConfig},
    {rec::cmd::getHwConfig, Copy::None},
    {rec::cmd::setUserData, Copy::All},
    {rec::cmd::getUserData, Copy::None},
    {rec::cmd::bleAtCmd, Copy::All},
    {rec::cmd::flashWrite, Copy::All},
    {rec::cmd::flashRead, Copy::Leading1},
    {rec::cmd::setFwConfig, Copy::All},
    {rec::cmd::getFwConfig, Copy::None},
    {rec::cmd::bootloaderInit, Copy::None},
    {rec::cmd::bootloaderFinish, Copy::None},
    {rec::cmd::flashWriteBlock, Copy::All},
    {rec::cmd::flashReadBlock, Copy::Leading2},
    {rec::cmd::statistics, Copy::Leading2},
};

const Request* findRequest(uint32_t code)
{
    for (const Request& r : kCatalogue)
        if (r.code == code)
            return &r;
    return nullptr;
}

uint32_t payloadLength(const Request& r, uint32_t n)
{
    switch (r.copy) {
    case Copy::None:
        return 0;
    case Copy::HwConfig:
        return rec::hwcfg::kWireSize;
    default:
        return n;
    }
}

uint32_t copiedBytes(const Request& r, uint32_t n)
{
    switch (r.copy) {
    case Copy::All:
        return n;
    case Copy::Leading1:
        return std::min<uint32_t>(n, 1);
    case Copy::Leading2:
        return std::min<uint32_t>(n, 2);
    default:
        return 0;
    }
}

} // namespace

void proto_Vorlen_v2::requestRawData(const uint8_t* payload, uint32_t n)
{
    sendCommand(rec::cmd::getRawData, payload, n);
}

void proto_Vorlen_v2::writeHwConfig(const uint8_t* record)
{
    std::memcpy(hwConfig, record, rec::hwcfg::kSize);
    // The request carries the engine's own record with its CRC.
    sendCommand(rec::cmd::setHwConfig, nullptr, 0);
}

void proto_Vorlen_v2::writeUserData(const uint8_t* block, uint8_t size)
{
    std::memcpy(userData, block, size);
    userDataSize = size;
    userDataOffset = 0;
    sendUserDataChunk(0);
}

void proto_Vorlen_v2::continueUserDataWrite(uint8_t offset, uint8_t len, uint8_t cmdType)
{
    const uint8_t next = static_cast<uint8_t>(offset + len);
    userDataOffset = next;
    if (cmdType == 1 || next >= userDataSize)
        return;
    sendUserDataChunk(next);
}

void proto_Vorlen_v2::sendUserDataChunk(uint8_t offset)
{
    // [offset, count, last-chunk flag, bytes]; at most 64 bytes a chunk.
    const uint32_t remaining = uint32_t(userDataSize) - offset;
    const uint32_t k = std::min(remaining, rec::user::kMaxChunk);
    uint8_t payload[3 + rec::user::kMaxChunk];
    payload[0] = offset;
    payload[1] = static_cast<uint8_t>(k);
    payload[2] = remaining > rec::user::kMaxChunk ? 0 : 1;
    std::memcpy(payload + 3, userData + offset, k);
    sendCommand(rec::cmd::setUserData, payload, 3 + k);
}

bool proto_Vorlen_v2::buildRequest(uint32_t code, const uint8_t* payload, uint32_t n)
{
    const Request* request = findRequest(code);
    if (!request)
        return false;

    const uint32_t p = payloadLength(*request, n);
    if (p > rec::frame::kMaxPayload) {
        emit log(QStringLiteral("ОШИБКА - Запрос слишком длинный: %1 байт данных при допустимых %2. Команда не отправлена")
                     .arg(p)
                     .arg(rec::frame::kMaxPayload));
        return false;
    }

    uint8_t* body = txFrame + rec::frame::kPayload;
    // Bytes the catalogue does not copy are sent as zeros rather than as
    // leftovers of an earlier request.
    std::memset(body, 0, p);
    if (request->copy == Copy::HwConfig) {
        std::memcpy(body, hwConfig, rec::hwcfg::kSize);
        crc.append(body, static_cast<uint16_t>(rec::hwcfg::kWireSize));
    } else if (payload) {
        std::memcpy(body, payload, copiedBytes(*request, n));
    }

    txLength = p + rec::frame::kOverhead;
    txFrame[0] = rec::frame::kStart;
    le::put16(txFrame + 1, static_cast<uint16_t>(txLength));
    txFrame[3] = static_cast<uint8_t>(code);
    crc.append(txFrame, static_cast<uint16_t>(txLength));

    emit log(startLine(static_cast<uint8_t>(code), body, p));
    return true;
}

QString proto_Vorlen_v2::startLine(uint8_t code, const uint8_t* body, uint32_t p) const
{
    // Numbers come from the payload as it sits in the frame; a payload too
    // short to hold one shows 0.
    auto num = [body, p](uint32_t i) { return QString::number(i < p ? body[i] : 0); };

    switch (code) {
    case rec::cmd::getInfo:
        return QStringLiteral("СТАРТ - Запрос состояния устройства (getInfo)");
    case rec::cmd::getDataExchange:
        return QStringLiteral("СТАРТ - Запрос данных обмена (get_DataExchange)");
    case rec::cmd::getRawData:
        return QStringLiteral("СТАРТ - Запрос физических данных платы (get_RawData)");
    case rec::cmd::archiveControl:
        return p == 0 ? QStringLiteral("СТАРТ - Запрос статуса архива (archiveControl)")
                      : QStringLiteral("СТАРТ - запуск сохранения нового архива (archiveControl)");
    case rec::cmd::archiveData:
        return QStringLiteral("СТАРТ - запрос архивных данных, адрес = ") + num(0) +
               QStringLiteral(", количество = ") + num(1);
    case rec::cmd::setHwConfig:
        return QStringLiteral("СТАРТ - Запрос на запись аппаратной конфигурации (set_HW_Config)");
    case rec::cmd::getHwConfig:
        return QStringLiteral("СТАРТ - Запрос на чтение аппаратной конфигурации (get_HW_Config)");
    case rec::cmd::setUserData:
        return QStringLiteral("СТАРТ - Запрос на запись пользовательских калибровочных данных (set_UserData)");
    case rec::cmd::getUserData:
        return QStringLiteral("СТАРТ - Запрос на чтение пользовательских калибровочных данных (get_UserData)");
    case rec::cmd::bleAtCmd:
        return QStringLiteral("СТАРТ - Отправка AT-Команды BLE модулю (BLE_ATCmd)");
    case rec::cmd::flashWrite:
        return QStringLiteral("СТАРТ - Запрос на запись страницы FLASH памяти № ") + num(0);
    case rec::cmd::flashRead:
        return QStringLiteral("СТАРТ - Запрос на чтение страницы FLASH памяти № ") + num(0);
    case rec::cmd::setFwConfig:
        return QStringLiteral("СТАРТ - Запрос на запись конфигурации прошивки (set_FW_Config)");
    case rec::cmd::getFwConfig:
        return QStringLiteral("СТАРТ - Запрос на чтение конфигурации прошивки (get_FW_Config)");
    case rec::cmd::bootloaderInit:
        return QStringLiteral("СТАРТ - Запрос команды на запуск загрузчика (bootloader_init)");
    case rec::cmd::bootloaderFinish:
        return QStringLiteral("СТАРТ - Запрос команды на запуск основной программы (bootloader_finish)");
    case rec::cmd::flashWriteBlock:
        return QStringLiteral("СТАРТ - Запрос на запись страницы FLASH по блокам. Страница № ") + num(0) +
               QStringLiteral(". Блок №") + num(1);
    case rec::cmd::flashReadBlock:
        return QStringLiteral("СТАРТ - Запрос на чтение страницы FLASH по блокам. Страница № ") + num(0) +
               QStringLiteral(". Блок №") + num(1);
    case rec::cmd::statistics:
        return p == 0 ? QStringLiteral("СТАРТ - запрос на чтение данных статистики платы")
                      : QStringLiteral("СТАРТ - запрос на сброс данных статистики платы");
    default:
        return QString();
    }
}
