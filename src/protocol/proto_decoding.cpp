#include "proto_Vorlen_v2.h"

#include <algorithm>
#include <cstring>

#include "CommandTable.h"
#include "FrameCodec.h"
#include "LittleEndian.h"

namespace {

bool isLaboratory(uint8_t devType) { return devType >= 1 && devType <= 4; }

QString num(uint32_t v) { return QString::number(v); }

} // namespace

QString proto_Vorlen_v2::decodeReply(const uint8_t* buf, uint32_t size)
{
    const CommandTable::Row* row = CommandTable::find(FrameCodec::code(buf));
    if (!row)
        return QString();
    const QString base = QString::fromUtf8(row->description);
    const uint32_t p = FrameCodec::payloadLength(size);
    if (size < row->replyMin) {
        if (!(row->bareAck && p == 0))
            emit log(QStringLiteral("ОШИБКА - ответ слишком короткий для команды 0x%1: принято %2 байт, требуется не менее %3")
                         .arg(uint(row->code), 2, 16, QLatin1Char('0'))
                         .arg(size)
                         .arg(row->replyMin));
        return base;
    }
    if (!row->decode)
        return base;
    // Signals hand out pointers into the received frame; receivers only read.
    uint8_t* payload = FrameCodec::payloadOf(const_cast<uint8_t*>(buf));
    return (this->*row->decode)(payload, p, base);
}

QString proto_Vorlen_v2::decodeStatus(uint8_t* payload, uint32_t, const QString& base)
{
    using namespace rec::devinfo;
    devInfo.progMode = payload[kProgMode];
    devInfo.flags = static_cast<uint8_t>((payload[kFwFlag] & 1u) | ((payload[kHwFlag] & 1u) << 1));
    devInfo.freePages = payload[kFreePages];
    devInfo.bleBridge = payload[kBleBridge];
    devInfo.devType = payload[kDevType];
    devInfo.errorCode = payload[kErrorCode];
    devInfo.blVersion = payload[kBlVersion];
    emit cmd_getInfo_received();
    return base;
}

QString proto_Vorlen_v2::decodeExchange(uint8_t* payload, uint32_t p, const QString& base)
{
    parseExchangeData(payload, p);
    return base;
}

QString proto_Vorlen_v2::decodeRawData(uint8_t* payload, uint32_t p, const QString& base)
{
    parseRawData(payload, p);
    return base;
}

QString proto_Vorlen_v2::decodeArchiveStatus(uint8_t* payload, uint32_t p, const QString& base)
{
    if (p != rec::archive::kBlockSize)
        return base + QStringLiteral(" - формат ответа некорректный");
    std::memcpy(archiveStatus, payload, rec::archive::kBlockSize);
    emit cmd_archiveControl_received();
    return base;
}

QString proto_Vorlen_v2::decodeArchiveData(uint8_t* payload, uint32_t p, const QString& base)
{
    using namespace rec::archive;
    storeArchiveRecords(payload[kReplyAddress], payload + kReplyRecords, p - kReplyRecords);
    archiveReplyAddress = payload[kReplyAddress];
    emit cmd_ArchiveData_received();
    return base;
}

QString proto_Vorlen_v2::decodeHwConfig(uint8_t* payload, uint32_t p, const QString& base)
{
    parseHwConfig(payload, p);
    return base;
}

QString proto_Vorlen_v2::decodeUserEcho(uint8_t* payload, uint32_t, const QString& base)
{
    using namespace rec::user;
    emit cmd_userData_sent(payload[kChunkOffset], payload[kChunkSize], payload[kChunkLast]);
    return base;
}

QString proto_Vorlen_v2::decodeUserData(uint8_t* payload, uint32_t p, const QString& base)
{
    uint32_t kept = p;
    if (kept > rec::user::kBufferSize) {
        kept = rec::user::kBufferSize;
        emit log(QStringLiteral("ОШИБКА - пользовательские данные длиннее %1 байт (%2), сохранены первые %1")
                     .arg(rec::user::kBufferSize)
                     .arg(p));
    }
    std::memcpy(userData, payload, kept);
    emit cmd_userData_readed(kept);
    return base;
}

QString proto_Vorlen_v2::decodeAtAnswer(uint8_t* payload, uint32_t p, const QString&)
{
    using namespace rec::atcmd;
    emit cmd_atCmd_received(payload + kText, p - kText);
    return QStringLiteral("Принят ответ на АТ-команду от BLE модуля, на скорости ") + num(le::u32(payload + kSpeed));
}

QString proto_Vorlen_v2::decodePageWrite(uint8_t* payload, uint32_t, const QString& base)
{
    return base + num(payload[rec::flash::kPageNumber]);
}

QString proto_Vorlen_v2::decodePageRead(uint8_t* payload, uint32_t p, const QString& base)
{
    using namespace rec::flash;
    emit cmd_fwPage_readed(payload + kPageData, p - kPageData);
    std::memcpy(pageBuf, payload + kPageData, kPageSize);
    emit fwPageStored(payload[kPageNumber]);
    return base + num(payload[kPageNumber]);
}

QString proto_Vorlen_v2::decodeFwConfig(uint8_t* payload, uint32_t, const QString& base)
{
    std::memcpy(fwConfig, payload, rec::fwcfg::kSize);
    emit cmd_fwConfig_updated();
    return base;
}

QString proto_Vorlen_v2::decodeRestart(uint8_t*, uint32_t, const QString& base)
{
    emit cmd_Reload_Request();
    return base;
}

QString proto_Vorlen_v2::decodeBlockWrite(uint8_t* payload, uint32_t, const QString& base)
{
    using namespace rec::flash;
    emit cmd_fwPage_writedBlock(payload[kPageNumber], payload[kBlockNumber]);
    return base + num(payload[kPageNumber]) + QStringLiteral(". Блок № ") + num(payload[kBlockNumber]);
}

QString proto_Vorlen_v2::decodeBlockRead(uint8_t* payload, uint32_t, const QString& base)
{
    using namespace rec::flash;
    emit cmd_fwPage_readedBlock(payload[kPageNumber], payload[kBlockNumber], payload + kBlockData);
    return base + num(payload[kPageNumber]) + QStringLiteral(". Блок № ") + num(payload[kBlockNumber]);
}

QString proto_Vorlen_v2::decodeStatistics(uint8_t* payload, uint32_t, const QString& base)
{
    std::memcpy(stat, payload, rec::stat::kSize);
    emit cmd_stat_received();
    return base;
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
