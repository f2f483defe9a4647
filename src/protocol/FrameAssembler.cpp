#include "FrameAssembler.h"

#include "FrameCodec.h"

namespace {
constexpr int kDefaultHoldMs = 100;
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
        switch (FrameCodec::examineFront(rx.data() + head, rx.size() - head, &length)) {
        case FrameCodec::Front::Empty:
            holdTimer.stop();
            rx.clear();
            head = 0;
            reportJunk();
            return;
        case FrameCodec::Front::Frame: {
            reportJunk();
            // Taken out first: the sink may feed us again while it runs.
            const auto from = rx.begin() + static_cast<std::ptrdiff_t>(head);
            const std::vector<uint8_t> frame(from, from + length);
            head += length;
            if (frameOut)
                frameOut(frame.data(), length);
            break;
        }
        case FrameCodec::Front::Junk:
            dropUpToNextStart();
            break;
        case FrameCodec::Front::Incomplete:
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

void FrameAssembler::dropUpToNextStart()
{
    const size_t dropped = FrameCodec::toNextStart(rx.data() + head, rx.size() - head);
    junk.insert(junk.end(), rx.begin() + static_cast<std::ptrdiff_t>(head),
                rx.begin() + static_cast<std::ptrdiff_t>(head + dropped));
    head += dropped;
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
