#pragma once
#include <QObject>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Cuts reply frames out of the byte stream that the serial driver delivers
// in reads of any size: a reply may come in several reads, and one read may
// hold several replies or stray bytes around them.
//
// Received bytes go into a buffer; whole frames (start byte 0xAA, a length
// of 6..2048 bytes, a correct checksum) are taken from its front in order and
// handed to the frame sink. Bytes that cannot belong to a frame are thrown
// away and handed to the reject sink, once per stretch between two frames (or
// per 2 KB of it), so the fault is reported without taking the following
// replies with it:
// - bytes before a start byte;
// - a start byte whose length field is impossible, or whose frame fails its
//   checksum: the search starts again at the next start byte after it;
// - an incomplete frame that no further piece completes within the hold time,
//   counted from the latest piece (likewise cut back to the next start byte).
class FrameAssembler : public QObject
{
    Q_OBJECT
public:
    using Sink = std::function<void(const uint8_t* buf, uint32_t size)>;

    explicit FrameAssembler(QObject* parent = nullptr);
    void setSink(Sink sink) { frameOut = std::move(sink); }
    void setRejectSink(Sink sink) { rejectOut = std::move(sink); }
    void setHoldTimeMs(int ms) { holdTimer.setInterval(ms); }
    void feed(const uint8_t* buf, uint32_t size);
    // Gives up waiting: what is held is judged as it stands now.
    void flush();
    bool isHolding() const { return head < rx.size(); }

private:
    void drain(bool final);
    void dropUpToNextStart();
    void reportJunk();

    Sink frameOut;
    Sink rejectOut;
    std::vector<uint8_t> rx;     // received; bytes from head on are not handed on yet
    size_t head = 0;
    std::vector<uint8_t> junk;   // thrown away since the last frame, not yet reported
    QTimer holdTimer;
};
