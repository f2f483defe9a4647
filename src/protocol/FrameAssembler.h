#pragma once
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <vector>

// Rebuilds reply frames that the serial driver delivers in several reads.
// A block that starts with 0xAA and announces (6..2048 bytes) more than it
// holds is kept and completed from the following blocks; a complete frame,
// or a held part that is not completed within the hold time or that the next
// block would overrun, is handed on as it stands. A block of one or two
// bytes starting with 0xAA (its length field not complete yet) is kept the
// same way. Every other block is handed on unchanged.
class FrameAssembler : public QObject
{
    Q_OBJECT
public:
    using Sink = std::function<void(const uint8_t* buf, uint32_t size)>;

    explicit FrameAssembler(QObject* parent = nullptr);
    void setSink(Sink sink) { out = std::move(sink); }
    void setHoldTimeMs(int ms) { holdTimer.setInterval(ms); }
    void feed(const uint8_t* buf, uint32_t size);
    void flush();               // hands a held partial frame on as it stands
    bool isHolding() const { return !held.empty(); }

private:
    void handleBlock(const uint8_t* buf, uint32_t size);
    bool absorb(const uint8_t* buf, uint32_t size);
    static uint32_t announcedLength(const uint8_t* buf, uint32_t size);

    Sink out;
    std::vector<uint8_t> held;
    uint32_t expected = 0;
    QTimer holdTimer;
};
