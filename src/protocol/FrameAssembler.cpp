#include "FrameAssembler.h"

#include "LittleEndian.h"
#include "Records.h"

namespace {
constexpr int kDefaultHoldMs = 100;
constexpr uint32_t kLengthFieldEnd = 3;   // start byte and the two length bytes
} // namespace

FrameAssembler::FrameAssembler(QObject* parent) : QObject(parent)
{
    holdTimer.setSingleShot(true);
    holdTimer.setInterval(kDefaultHoldMs);
    connect(&holdTimer, &QTimer::timeout, this, &FrameAssembler::flush);
}

void FrameAssembler::feed(const uint8_t* buf, uint32_t size)
{
    if (!held.empty()) {
        if (absorb(buf, size))
            return;
        // The block does not belong to the held frame: the held part is
        // judged as it stands and the block starts afresh.
        flush();
    }
    handleBlock(buf, size);
}

bool FrameAssembler::absorb(const uint8_t* buf, uint32_t size)
{
    const uint32_t total = static_cast<uint32_t>(held.size()) + size;
    if (expected == 0) {
        // The length field was not complete yet: read it across both parts.
        uint8_t head[kLengthFieldEnd] = {};
        const uint32_t known = total < kLengthFieldEnd ? total : kLengthFieldEnd;
        for (uint32_t i = 0; i < known; ++i)
            head[i] = i < held.size() ? held[i] : buf[i - held.size()];
        if (known == kLengthFieldEnd) {
            const uint32_t length = announcedLength(head, kLengthFieldEnd);
            if (length < total)
                return false;
            expected = length;
        }
    } else if (total > expected) {
        return false;
    }
    held.insert(held.end(), buf, buf + size);
    if (expected != 0 && held.size() == expected) {
        flush();
    } else {
        // The hold time counts from the latest piece, so a long frame
        // trickling in at a slow line rate is not cut.
        holdTimer.start();
    }
    return true;
}

void FrameAssembler::flush()
{
    holdTimer.stop();
    if (held.empty())
        return;
    // Hand on a local copy: the sink may feed us again while it runs.
    std::vector<uint8_t> frame;
    frame.swap(held);
    expected = 0;
    if (out)
        out(frame.data(), static_cast<uint32_t>(frame.size()));
}

void FrameAssembler::handleBlock(const uint8_t* buf, uint32_t size)
{
    const bool lengthIncomplete = size > 0 && size < kLengthFieldEnd && buf[0] == rec::frame::kStart;
    const uint32_t announced = lengthIncomplete ? 0 : announcedLength(buf, size);
    if (lengthIncomplete || announced > size) {
        held.assign(buf, buf + size);
        expected = announced;
        holdTimer.start();
        return;
    }
    if (out)
        out(buf, size);
}

uint32_t FrameAssembler::announcedLength(const uint8_t* buf, uint32_t size)
{
    if (size < kLengthFieldEnd || buf[0] != rec::frame::kStart)
        return 0;
    const uint32_t length = le::u16(buf + 1);
    if (length < rec::frame::kOverhead || length > rec::frame::kMaxFrame)
        return 0;
    return length;
}
