#include "FrameCodec.h"

#include <algorithm>
#include <cstring>

#include "Crc16.h"
#include "LittleEndian.h"

namespace FrameCodec {

namespace {
constexpr size_t kLengthFieldEnd = 3;   // start byte and the two length bytes
constexpr size_t kMaxChecked = 0xFFFF;  // the checksum routine takes 16-bit lengths
} // namespace

uint32_t seal(uint8_t* frame, uint8_t code, uint32_t payloadLength)
{
    const uint32_t length = frameLength(payloadLength);
    frame[0] = rec::frame::kStart;
    le::put16(frame + 1, static_cast<uint16_t>(length));
    frame[3] = code;
    Crc16().append(frame, static_cast<uint16_t>(length));
    return length;
}

QByteArray build(uint8_t code, const QByteArray& payload)
{
    QByteArray out(static_cast<int>(frameLength(static_cast<uint32_t>(payload.size()))), '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    if (!payload.isEmpty())
        std::memcpy(payloadOf(p), payload.constData(), static_cast<size_t>(payload.size()));
    seal(p, code, static_cast<uint32_t>(payload.size()));
    return out;
}

Front examineFront(const uint8_t* bytes, size_t available, uint32_t* length, bool checkCrc)
{
    if (available == 0)
        return Front::Empty;
    if (bytes[0] != rec::frame::kStart)
        return Front::Junk;
    if (available < kLengthFieldEnd)
        return Front::Incomplete;
    *length = le::u16(bytes + 1);
    if (*length < rec::frame::kOverhead || *length > rec::frame::kMaxFrame)
        return Front::Junk;
    if (available < *length)
        return Front::Incomplete;
    if (checkCrc && !Crc16().check(bytes, static_cast<uint16_t>(*length)))
        return Front::Junk;
    return Front::Frame;
}

size_t toNextStart(const uint8_t* bytes, size_t available)
{
    if (available == 0)
        return 0;
    // The byte at the front starts no frame; one may start at any later
    // start byte, even one inside what looked like a frame.
    return static_cast<size_t>(std::find(bytes + 1, bytes + available, rec::frame::kStart) - bytes);
}

Fault firstFault(const uint8_t* block, size_t size)
{
    // A block longer than any checksum can cover cannot be a frame.
    if (size > kMaxChecked || !Crc16().check(block, static_cast<uint16_t>(size)))
        return Fault::Checksum;
    if (block[0] != rec::frame::kStart)
        return Fault::Start;
    if (size < rec::frame::kOverhead || le::u16(block + 1) != size)
        return Fault::Length;
    return Fault::None;
}

QByteArray payload(const QByteArray& frame)
{
    const uint32_t n = payloadLength(static_cast<uint32_t>(frame.size()));
    return frame.mid(static_cast<int>(rec::frame::kPayload), static_cast<int>(n));
}

} // namespace FrameCodec
