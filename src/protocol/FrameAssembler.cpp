#include "FrameAssembler.h"

#include <algorithm>

#include "Crc16.h"
#include "LittleEndian.h"
#include "Records.h"

namespace {
constexpr int kDefaultHoldMs = 100;
constexpr uint32_t kLengthFieldEnd = 3;   // start byte and the two length bytes
// Garbage that never stops is still reported now and then, not kept forever.
constexpr size_t kJunkReportSize = rec::frame::kMaxFrame;
} // namespace

FrameAssembler::FrameAssembler(QObject* parent) : QObject(parent)
{
    holdTimer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early or late; the hold is short
    // enough for that to matter.
    holdTimer.setTimerType(Qt::PreciseTimer);
    holdTimer.setInterval(kDefaultHoldMs);
    connect(&holdTimer, &QTimer::timeout, this, &FrameAssembler::flush);
}

void FrameAssembler::feed(const uint8_t* buf, uint32_t size)
{
    if (size == 0) {
        // An empty read with nothing under way is a read without a frame.
        static const uint8_t none = 0;
        if (!isHolding() && rejectOut)
            rejectOut(&none, 0);
        return;
    }
    rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(head));
    head = 0;
    rx.insert(rx.end(), buf, buf + size);
    drain(false);
}

void FrameAssembler::flush()
{
    holdTimer.stop();
    drain(true);
}

void FrameAssembler::drain(bool final)
{
    for (;;) {
        uint32_t length = 0;
        switch (examineFront(&length)) {
        case Front::Empty:
            holdTimer.stop();
            rx.clear();
            head = 0;
            reportJunk();
            return;
        case Front::Frame: {
            reportJunk();
            // Taken out first: the sink may feed us again while it runs.
            const auto from = rx.begin() + static_cast<std::ptrdiff_t>(head);
            const std::vector<uint8_t> frame(from, from + length);
            head += length;
            if (frameOut)
                frameOut(frame.data(), length);
            break;
        }
        case Front::Junk:
            dropUpToNextStart();
            break;
        case Front::Incomplete:
            if (final) {
                dropUpToNextStart();
                break;
            }
            // The hold counts from the latest piece, so a long frame
            // trickling in at a slow line rate is not cut.
            holdTimer.start();
            return;
        }
    }
}

FrameAssembler::Front FrameAssembler::examineFront(uint32_t* length) const
{
    const size_t available = rx.size() - head;
    if (available == 0)
        return Front::Empty;
    const uint8_t* p = rx.data() + head;
    if (p[0] != rec::frame::kStart)
        return Front::Junk;
    if (available < kLengthFieldEnd)
        return Front::Incomplete;
    *length = le::u16(p + 1);
    if (*length < rec::frame::kOverhead || *length > rec::frame::kMaxFrame)
        return Front::Junk;
    if (available < *length)
        return Front::Incomplete;
    return Crc16().check(p, static_cast<uint16_t>(*length)) ? Front::Frame : Front::Junk;
}

void FrameAssembler::dropUpToNextStart()
{
    // The byte at the front starts no frame; a frame may start at any later
    // start byte, even one inside what looked like a frame.
    const auto from = rx.begin() + static_cast<std::ptrdiff_t>(head);
    const auto next = std::find(from + 1, rx.end(), rec::frame::kStart);
    junk.insert(junk.end(), from, next);
    head = static_cast<size_t>(next - rx.begin());
    if (junk.size() >= kJunkReportSize)
        reportJunk();
}

void FrameAssembler::reportJunk()
{
    if (junk.empty())
        return;
    std::vector<uint8_t> thrown;
    thrown.swap(junk);
    if (rejectOut)
        rejectOut(thrown.data(), static_cast<uint32_t>(thrown.size()));
}
