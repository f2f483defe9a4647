#include "proto_Vorlen_v2.h"

#include <algorithm>
#include <cstring>

#include "CommandTable.h"
#include "FrameCodec.h"

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
    using namespace rec::user;
    const uint32_t remaining = uint32_t(userDataSize) - offset;
    const uint32_t k = std::min(remaining, kMaxChunk);
    uint8_t payload[kChunkData + kMaxChunk];
    payload[kChunkOffset] = offset;
    payload[kChunkSize] = static_cast<uint8_t>(k);
    payload[kChunkLast] = remaining > kMaxChunk ? 0 : 1;
    std::memcpy(payload + kChunkData, userData + offset, k);
    sendCommand(rec::cmd::setUserData, payload, kChunkData + k);
}

bool proto_Vorlen_v2::buildRequest(uint32_t code, const uint8_t* payload, uint32_t n)
{
    const CommandTable::Row* row = CommandTable::find(code);
    if (!row)
        return false;

    const uint32_t p = CommandTable::payloadLength(*row, n);
    if (p > rec::frame::kMaxPayload) {
        emit log(QStringLiteral("ОШИБКА - Запрос слишком длинный: %1 байт данных при допустимых %2. Команда не отправлена")
                     .arg(p)
                     .arg(rec::frame::kMaxPayload));
        return false;
    }

    uint8_t* body = FrameCodec::payloadOf(txFrame);
    // Bytes the table does not copy are sent as zeros rather than as
    // leftovers of an earlier request.
    std::memset(body, 0, p);
    if (row->copy == CommandTable::Copy::HwConfig) {
        std::memcpy(body, hwConfig, rec::hwcfg::kSize);
        crc.append(body, static_cast<uint16_t>(rec::hwcfg::kWireSize));
    } else if (payload) {
        std::memcpy(body, payload, CommandTable::copiedBytes(*row, n));
    }
    txLength = FrameCodec::seal(txFrame, static_cast<uint8_t>(code), p);

    emit log(CommandTable::startLine(*row, body, p));
    return true;
}
