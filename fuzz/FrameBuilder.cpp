#include "FrameBuilder.h"

#include "Crc16.h"
#include "FrameCodec.h"
#include "Records.h"

namespace FrameBuilder {

QByteArray withInnerCrc(const QByteArray& block)
{
    QByteArray out = block;
    out.append(2, '\0');
    Crc16().append(reinterpret_cast<uint8_t*>(out.data()), static_cast<uint16_t>(out.size()));
    return out;
}

QByteArray getInfoReply(uint8_t progMode, uint8_t devType)
{
    QByteArray payload(static_cast<int>(rec::devinfo::kSize), '\0');
    payload[rec::devinfo::kProgMode] = static_cast<char>(progMode);
    payload[rec::devinfo::kFwFlag] = 1;
    payload[rec::devinfo::kHwFlag] = 1;
    payload[rec::devinfo::kFreePages] = 64;
    payload[rec::devinfo::kDevType] = static_cast<char>(devType);
    payload[rec::devinfo::kBlVersion] = 0x12;
    return FrameCodec::build(rec::cmd::getInfo, payload);
}

} // namespace FrameBuilder
