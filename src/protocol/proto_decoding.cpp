#include "proto_Vorlen_v2.h"

#include <algorithm>
#include <cstring>

#include "LittleEndian.h"

namespace {

using rec::frame::kOverhead;
using rec::frame::kPayload;

// Reply layouts: payload offsets and the shortest frame each decoder reads.
constexpr uint32_t kInfoFrameMin = kOverhead + rec::devinfo::kSize;
constexpr uint32_t kArchiveAddress = 0, kArchiveRecords = 2;
constexpr uint32_t kArchiveFrameMin = kOverhead + kArchiveRecords;
constexpr uint32_t kUserEchoOffset = 0, kUserEchoSize = 1, kUserEchoLast = 2;
constexpr uint32_t kUserEchoFrameMin = kOverhead + 3;
constexpr uint32_t kAtSpeed = 0, kAtText = 4;
constexpr uint32_t kAtAnswerFrameMin = kOverhead + kAtText;
constexpr uint32_t kPageNumber = 0, kPageData = 1;
constexpr uint32_t kPageFrameMin = kOverhead + kPageData;
constexpr uint32_t kBlockNumber = 1, kBlockData = 2;
constexpr uint32_t kBlockFrameMin = kOverhead + kBlockData;
constexpr uint32_t kFwConfigFrameMin = kOverhead + rec::fwcfg::kSize;
constexpr uint32_t kStatFrameMin = kOverhead + rec::stat::kSize;

bool isLaboratory(uint8_t devType) { return devType >= 1 && devType <= 4; }

QString num(uint32_t v) { return QString::number(v); }

} // namespace

bool proto_Vorlen_v2::replyLongEnough(uint8_t code, uint32_t size, uint32_t minimum)
{
    if (size >= minimum)
        return true;
    emit log(QStringLiteral("ОШИБКА - ответ слишком короткий для команды 0x%1: принято %2 байт, требуется не менее %3")
                 .arg(uint(code), 2, 16, QLatin1Char('0'))
                 .arg(size)
                 .arg(minimum));
    return false;
}

QString proto_Vorlen_v2::decodeReply(const uint8_t* buf, uint32_t size)
{
    const uint8_t code = buf[3];
    // Frames of 4 or 5 bytes carry no payload at all.
    const uint32_t p = size > kOverhead ? size - kOverhead : 0;
    const uint8_t* payload = buf + std::min(size, kPayload);
    // Signals hand out pointers into the received frame; receivers only read.
    uint8_t* frame = const_cast<uint8_t*>(buf);

    switch (code) {
    case rec::cmd::getInfo:
        if (replyLongEnough(code, size, kInfoFrameMin)) {
            using namespace rec::devinfo;
            devInfo.progMode = payload[kProgMode];
            devInfo.flags = static_cast<uint8_t>((payload[kFwFlag] & 1u) | ((payload[kHwFlag] & 1u) << 1));
            devInfo.freePages = payload[kFreePages];
            devInfo.bleBridge = payload[kBleBridge];
            devInfo.devType = payload[kDevType];
            devInfo.errorCode = payload[kErrorCode];
            devInfo.blVersion = payload[kBlVersion];
            emit cmd_getInfo_received();
        }
        return QStringLiteral("запрос статуса");

    case rec::cmd::getDataExchange:
        parseExchangeData(payload, p);
        return QStringLiteral("запроса данных обмена");

    case rec::cmd::getRawData:
        parseRawData(payload, p);
        return QStringLiteral("запроса физических данных платы");

    case rec::cmd::archiveControl:
        if (size != rec::archive::kStatusFrameLength)
            return QStringLiteral("запроса статуса архива - формат ответа некорректный");
        std::memcpy(archiveStatus, payload, rec::archive::kBlockSize);
        emit cmd_archiveControl_received();
        return QStringLiteral("запроса статуса архива");

    case rec::cmd::archiveData:
        if (replyLongEnough(code, size, kArchiveFrameMin)) {
            storeArchiveRecords(payload[kArchiveAddress], payload + kArchiveRecords, p - kArchiveRecords);
            archiveReplyAddress = payload[kArchiveAddress];
            emit cmd_ArchiveData_received();
        }
        return QStringLiteral("запроса архивных данных");

    case rec::cmd::setHwConfig:
        return QStringLiteral("записи аппаратной конфигурации. Успешная запись");

    case rec::cmd::getHwConfig:
        parseHwConfig(payload, p);
        return QStringLiteral("чтения аппаратной конфигурации");

    case rec::cmd::setUserData:
        if (replyLongEnough(code, size, kUserEchoFrameMin))
            emit cmd_userData_sent(payload[kUserEchoOffset], payload[kUserEchoSize], payload[kUserEchoLast]);
        return QStringLiteral("записи пользовательских калибровочных данных. Успешная запись");

    case rec::cmd::getUserData:
        if (replyLongEnough(code, size, kOverhead)) {
            uint32_t kept = p;
            if (kept > rec::user::kBufferSize) {
                kept = rec::user::kBufferSize;
                emit log(QStringLiteral("ОШИБКА - пользовательские данные длиннее %1 байт (%2), сохранены первые %1")
                             .arg(rec::user::kBufferSize)
                             .arg(p));
            }
            std::memcpy(userData, payload, kept);
            emit cmd_userData_readed(kept);
        }
        return QStringLiteral("чтения пользовательских калибровочных данных.");

    case rec::cmd::bleAtCmd:
        if (size == kOverhead)
            return QStringLiteral("отправки AT-команды");
        if (!replyLongEnough(code, size, kAtAnswerFrameMin))
            return QStringLiteral("отправки AT-команды");
        emit cmd_atCmd_received(frame + kPayload + kAtText, p - kAtText);
        return QStringLiteral("Принят ответ на АТ-команду от BLE модуля, на скорости ") +
               num(le::u32(payload + kAtSpeed));

    case rec::cmd::flashWrite:
        if (!replyLongEnough(code, size, kPageFrameMin))
            return QStringLiteral(" записи страницы Flash памяти № ");
        return QStringLiteral(" записи страницы Flash памяти № ") + num(payload[kPageNumber]);

    case rec::cmd::flashRead:
        if (!replyLongEnough(code, size, rec::flash::kReadReplyLength))
            return QStringLiteral(" чтения страницы Flash памяти № ");
        emit cmd_fwPage_readed(frame + kPayload + kPageData, p - kPageData);
        std::memcpy(pageBuf, payload + kPageData, rec::flash::kPageSize);
        emit fwPageStored(payload[kPageNumber]);
        return QStringLiteral(" чтения страницы Flash памяти № ") + num(payload[kPageNumber]);

    case rec::cmd::setFwConfig:
        return QStringLiteral("записи программной конфигурации. Успешная запись");

    case rec::cmd::getFwConfig:
        if (replyLongEnough(code, size, kFwConfigFrameMin)) {
            std::memcpy(fwConfig, payload, rec::fwcfg::kSize);
            emit cmd_fwConfig_updated();
        }
        return QStringLiteral("чтения программной конфигурации. Успешное чтение");

    case rec::cmd::bootloaderInit:
        emit cmd_Reload_Request();
        return QStringLiteral(" запуск загрузчика");

    case rec::cmd::bootloaderFinish:
        emit cmd_Reload_Request();
        return QStringLiteral(" запуск основной программы");

    case rec::cmd::flashWriteBlock:
        if (!replyLongEnough(code, size, kBlockFrameMin))
            return QStringLiteral(" записи страницы Flash памяти № ");
        emit cmd_fwPage_writedBlock(payload[kPageNumber], payload[kBlockNumber]);
        return QStringLiteral(" записи страницы Flash памяти № ") + num(payload[kPageNumber]) +
               QStringLiteral(". Блок № ") + num(payload[kBlockNumber]);

    case rec::cmd::flashReadBlock:
        if (!replyLongEnough(code, size, kBlockFrameMin))
            return QStringLiteral(" чтения страницы Flash памяти № ");
        emit cmd_fwPage_readedBlock(payload[kPageNumber], payload[kBlockNumber], frame + kPayload + kBlockData);
        return QStringLiteral(" чтения страницы Flash памяти № ") + num(payload[kPageNumber]) +
               QStringLiteral(". Блок № ") + num(payload[kBlockNumber]);

    case rec::cmd::statistics:
        if (replyLongEnough(code, size, kStatFrameMin)) {
            std::memcpy(stat, payload, rec::stat::kSize);
            emit cmd_stat_received();
        }
        return QStringLiteral("чтения статистики платы");

    default:
        return QString();
    }
}

void proto_Vorlen_v2::storeArchiveRecords(uint8_t address, const uint8_t* records, uint32_t length)
{
    constexpr uint32_t capacity = sizeof archiveData;
    const uint32_t start = uint32_t(address) * rec::archive::kRecordSize;
    const uint32_t room = start < capacity ? capacity - start : 0;
    if (length > room)
        emit log(QStringLiteral("ОШИБКА - архивные данные выходят за пределы архива (%1 записей), "
                                "лишние %2 байт отброшены")
                     .arg(rec::archive::kMaxRecords)
                     .arg(length - room));
    const uint32_t kept = std::min(length, room);
    if (kept > 0)
        std::memcpy(archiveData + start, records, kept);
}

void proto_Vorlen_v2::parseHwConfig(const uint8_t* payload, uint32_t p)
{
    if (p < rec::hwcfg::kWireSize) {
        emit log(QStringLiteral("HW Config: ОШИБКА - длина считанной конфигурации не соответсвует установленной"));
        return;
    }
    if (!crc.check(payload, static_cast<uint16_t>(p))) {
        emit log(QStringLiteral("HW Config: ОШИБКА - некорректная контрольная сумма"));
        return;
    }
    // A longer block is still checked over its whole length; only the record's
    // own 288 bytes are kept.
    if (p > rec::hwcfg::kWireSize)
        emit log(QStringLiteral("HW Config: ОШИБКА - конфигурация длиннее установленной (%1 байт), "
                                "сохранены первые %2 байт")
                     .arg(p - 2)
                     .arg(rec::hwcfg::kSize));
    std::memcpy(hwConfig, payload, rec::hwcfg::kSize);
    emit log(QStringLiteral("HW Config: Аппаратная конфигурация загружена"));
    emit cmd_hwConfig_readed();
}

void proto_Vorlen_v2::parseRawData(const uint8_t* payload, uint32_t p)
{
    const uint8_t type = devInfo.devType;
    if (isLaboratory(type)) {
        if (p < rec::raw::kPacketSize) {
            emit log(QStringLiteral("RawData: ОШИБКА - неверная длина пакета"));
            return;
        }
        for (const rec::raw::Slice& s : rec::raw::kSlices)
            std::memcpy(rawData + s.offset, payload + s.offset, s.length);
        emit log(QStringLiteral("RawData: пакет данных обработан"));
        emit cmd_RawData_received();
        return;
    }
    if (type == rec::devinfo::kTypePhotocolorimeter) {
        if (p != rec::pcraw::kSize) {
            emit log(QStringLiteral("RawData: ОШИБКА - неверная длина пакета"));
            return;
        }
        std::memcpy(pcRawData, payload, rec::pcraw::kSize);
        emit cmd_RawData_received();
        return;
    }
    emit log(QStringLiteral("RawData: ОШИБКА - источник данных неизвестен"));
}

void proto_Vorlen_v2::parseExchangeData(const uint8_t* payload, uint32_t p)
{
    const uint8_t type = devInfo.devType;
    if (isLaboratory(type)) {
        if (p != rec::meas::kSize) {
            emit log(QStringLiteral("ExchangeData: ОШИБКА - неверная длина пакета"));
            return;
        }
        std::memcpy(exchangeData, payload, rec::meas::kSize);
        emit cmd_DataExchange_received();
        return;
    }
    if (type == rec::devinfo::kTypePhotocolorimeter) {
        emit log(QStringLiteral(
            "RawData: ОШИБКА - данные фотоколориметра пока недоступны для чтения. Читать через debugData"));
        return;
    }
    emit log(QStringLiteral("RawData: ОШИБКА - источник данных неизвестен"));
}
