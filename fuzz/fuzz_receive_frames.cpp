// Replies that pass the frame checks: the input gives code and payload, and
// the target builds the frame around them with a correct checksum (and a
// correct inner checksum when asked), so the fuzzer spends its time in reply
// matching, decoding and the programming sequencer rather than in rejections.
//
// Input: [state] then replies of [control][code][length: 2 bytes][payload...].
// Control bits: 0 inner CRC over the payload's last two bytes (the hardware
// configuration reply), 1 deliver in two pieces split at the next byte,
// 2 start the request of the same code first, 3 also try a request with a
// payload of the next two bytes' length (zero-filled), 4 overwrite the
// frame's length field with the next two bytes (checksum kept valid).
#include <QByteArray>

#include <cstddef>
#include <cstdint>

#include "ByteReader.h"
#include "Crc16.h"
#include "EngineRig.h"
#include "FrameBuilder.h"
#include "FrameCodec.h"
#include "LittleEndian.h"
#include "QtForFuzzing.h"

namespace {

constexpr uint32_t kMaxPayload = 2100;
constexpr uint32_t kMaxRequestPayload = 2200;

QByteArray payloadFrom(ByteReader& in, uint32_t length, bool innerCrc)
{
    size_t n = 0;
    const uint8_t* p = in.take(length, &n);
    QByteArray payload(reinterpret_cast<const char*>(p), static_cast<int>(n));
    if (innerCrc && payload.size() >= 2)
        payload = FrameBuilder::withInnerCrc(payload.left(payload.size() - 2));
    return payload;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QtForFuzzing::startCore();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ByteReader in(data, size);
    EngineRig rig(in.byte());
    while (!in.atEnd()) {
        const uint8_t control = in.byte();
        const uint8_t code = in.byte();
        const uint32_t length = in.u16() % kMaxPayload;
        if (control & 0x04)
            rig.send(code, nullptr, 0);
        if (control & 0x08) {
            const QByteArray big(in.u16() % kMaxRequestPayload, '\x5A');
            rig.send(code, reinterpret_cast<const uint8_t*>(big.constData()), static_cast<uint32_t>(big.size()));
        }
        QByteArray frame = FrameCodec::build(code, payloadFrom(in, length, control & 0x01));
        if (control & 0x10) {
            auto* p = reinterpret_cast<uint8_t*>(frame.data());
            le::put16(p + 1, in.u16());
            Crc16().append(p, static_cast<uint16_t>(frame.size()));
        }
        if (control & 0x02) {
            const int cut = in.byte() % (frame.size() + 1);
            rig.deliver(frame.left(cut));
            rig.deliver(frame.mid(cut));
        } else {
            rig.deliver(frame);
        }
    }
    return 0;
}
