#include "Frame.h"

#include "Crc16.h"
#include "LittleEndian.h"
#include "Records.h"

namespace vboard {
namespace frame {

QByteArray build(uint8_t code, const QByteArray& payload)
{
    const int length = payload.size() + static_cast<int>(rec::frame::kOverhead);
    QByteArray out(length, '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    p[0] = rec::frame::kStart;
    le::put16(p + 1, static_cast<uint16_t>(length));
    p[3] = code;
    if (!payload.isEmpty())
        std::memcpy(p + rec::frame::kPayload, payload.constData(), static_cast<size_t>(payload.size()));
    Crc16().append(p, static_cast<uint16_t>(length));
    return out;
}

bool isValid(const QByteArray& frame)
{
    if (frame.size() < static_cast<int>(rec::frame::kOverhead) || frame.size() > 0xFFFF)
        return false;
    const auto* p = reinterpret_cast<const uint8_t*>(frame.constData());
    return p[0] == rec::frame::kStart && le::u16(p + 1) == frame.size() &&
           Crc16().check(p, static_cast<uint16_t>(frame.size()));
}

uint8_t code(const QByteArray& frame)
{
    return frame.size() > 3 ? static_cast<uint8_t>(frame.at(3)) : 0;
}

QByteArray payload(const QByteArray& frame)
{
    const int n = frame.size() - static_cast<int>(rec::frame::kOverhead);
    return n > 0 ? frame.mid(static_cast<int>(rec::frame::kPayload), n) : QByteArray();
}

} // namespace frame
} // namespace vboard
