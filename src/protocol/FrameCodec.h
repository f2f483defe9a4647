#pragma once
#include <QByteArray>

#include <cstddef>
#include <cstdint>

#include "Records.h"

// The board's frame, the same in both directions: start byte 0xAA, the
// 16-bit length of the whole frame, the command code, the payload, and the
// CRC-16/MODBUS of everything before it, low bytes first. The tool, the
// simulator, the fuzz targets and the tests all build and read frames here.
namespace FrameCodec {

// What the bytes at the front of a receive buffer hold.
enum class Front {
    Empty,        // nothing
    Frame,        // a whole frame of the returned length
    Junk,         // bytes that start no frame: drop them up to the next start byte
    Incomplete,   // the start of a frame whose rest has not come yet
};

// The first check a block fails when it is taken as exactly one frame, in
// the order checksum, start byte, length.
enum class Fault { None, Checksum, Start, Length };

constexpr uint32_t frameLength(uint32_t payloadLength) { return payloadLength + rec::frame::kOverhead; }
inline uint8_t* payloadOf(uint8_t* frame) { return frame + rec::frame::kPayload; }

// Closes a frame whose payload already sits at frame + kPayload: writes the
// start byte, length and code in front of it and the CRC behind it. Returns
// the frame length. The buffer must hold frameLength(payloadLength) bytes.
uint32_t seal(uint8_t* frame, uint8_t code, uint32_t payloadLength);
QByteArray build(uint8_t code, const QByteArray& payload = QByteArray());

// Receive side. With checkCrc false a frame is taken on its length alone
// (the board answers a damaged request with its refusal).
Front examineFront(const uint8_t* bytes, size_t available, uint32_t* length, bool checkCrc = true);
// Bytes from the front up to the next start byte after it (all when there is none).
size_t toNextStart(const uint8_t* bytes, size_t available);
Fault firstFault(const uint8_t* block, size_t size);
inline bool isFrame(const QByteArray& f)
{
    return firstFault(reinterpret_cast<const uint8_t*>(f.constData()), static_cast<size_t>(f.size())) == Fault::None;
}

// Reading a whole frame (one that passed the checks above).
inline uint8_t code(const uint8_t* frame) { return frame[3]; }
inline uint32_t payloadLength(uint32_t frameSize)
{
    return frameSize > rec::frame::kOverhead ? frameSize - rec::frame::kOverhead : 0;
}
inline uint8_t code(const QByteArray& frame) { return frame.size() > 3 ? static_cast<uint8_t>(frame.at(3)) : 0; }
QByteArray payload(const QByteArray& frame);

} // namespace FrameCodec
