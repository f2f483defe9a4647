// Replies that pass the frame checks: the frame is built around the input's code and payload with a
// correct checksum, so the fuzzer spends its time in reply matching, decoding and the programming
// sequencer rather than in rejections.
//
// Input: [state] then replies of [control][code][length: 2 bytes][payload...]. Control bits: 0 an inner
// CRC over the payload's last two bytes (as in the hardware configuration), 1 deliver in two pieces cut
// at the next byte, 2 start the request of the same code first, 3 also a request with a zero payload of
// the next two bytes' length, 4 the next two bytes as the length field (checksum kept valid).
#include "ByteReader.h"
#include "Crc16.h"
#include "EngineRig.h"
#include "FrameCodec.h"
#include "FuzzSupport.h"
#include "LittleEndian.h"

namespace {
constexpr uint32_t kMaxPayload = 2100;
constexpr uint32_t kMaxRequestPayload = 2200;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start(false);
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
        size_t n = 0;
        const uint8_t* p = in.take(length, &n);
        QByteArray payload(reinterpret_cast<const char*>(p), static_cast<int>(n));
        if ((control & 0x01) && payload.size() >= 2)
            payload = fuzz::withInnerCrc(payload.left(payload.size() - 2));
        QByteArray frame = FrameCodec::build(code, payload);
        if (control & 0x10) {
            auto* f = reinterpret_cast<uint8_t*>(frame.data());
            le::put16(f + 1, in.u16());
            Crc16().append(f, static_cast<uint16_t>(frame.size()));
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
