// Arbitrary byte blocks, one after another, into the engine's receive entry, as the serial link would
// deliver them, in every board state that changes how replies are decoded.
//
// Input: [state] then blocks of [control][length: 2 bytes][bytes...]. Control bit 7: first start a
// request (code chosen by the next byte, payload of control & 0x3F bytes) as a view would, so the blocks
// that follow may be its expected reply.
#include "ByteReader.h"
#include "EngineRig.h"
#include "FuzzSupport.h"

namespace {
const uint8_t kRequests[] = {0x00, 0x10, 0x1F, 0x20, 0x21, 0x30, 0x31, 0x40, 0x41, 0x50,
                             0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x8A, 0x8B, 0xFE, 0x07};
constexpr uint32_t kMaxBlock = 2200;   // a little more than the link ever hands over at once
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
        size_t n = 0;
        if (control & 0x80) {
            const uint8_t code = kRequests[in.byte() % sizeof kRequests];
            const uint8_t* payload = in.take(control & 0x3F, &n);
            rig.send(code, payload, static_cast<uint32_t>(n));
        }
        const uint8_t* block = in.take(in.u16() % kMaxBlock, &n);
        rig.deliver(block, static_cast<uint32_t>(n));
    }
    return 0;
}
