#include "FrameBuilder.h"

#include "Crc16.h"
#include "LittleEndian.h"
#include "Records.h"

#include <algorithm>

namespace FrameBuilder {

QByteArray frame(uint8_t code, const QByteArray& payload)
{
    const int length = payload.size() + static_cast<int>(rec::frame::kOverhead);
    QByteArray f(length, '\0');
    auto* p = reinterpret_cast<uint8_t*>(f.data());
    p[0] = rec::frame::kStart;
    le::put16(p + 1, static_cast<uint16_t>(length));
    p[3] = code;
    if (!payload.isEmpty())
        std::copy(payload.constBegin(), payload.constEnd(), f.begin() + rec::frame::kPayload);
    Crc16().append(p, static_cast<uint16_t>(length));
    return f;
}

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
    return frame(rec::cmd::getInfo, payload);
}

} // namespace FrameBuilder
