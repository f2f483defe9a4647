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
        const uint32_t missing = expected - static_cast<uint32_t>(held.size());
        if (size <= missing) {
            held.insert(held.end(), buf, buf + size);
            if (held.size() == expected) {
                flush();
            } else {
                // The hold time counts from the latest piece, so a long frame
                // trickling in at a slow line rate is not cut.
                holdTimer.start();
            }
            return;
        }
        // The block does not belong to the held frame: the held part is
        // judged as it stands and the block starts afresh.
        flush();
    }
    handleBlock(buf, size);
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
    const uint32_t announced = announcedLength(buf, size);
    if (announced > size) {
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
