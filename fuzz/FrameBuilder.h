#pragma once
#include <QByteArray>

#include <cstdint>

// Reply payloads and frames as a board sends them; the frames come from FrameCodec.
namespace FrameBuilder {

// The hardware configuration reply carries its own CRC after the 288-byte record.
QByteArray withInnerCrc(const QByteArray& block);
QByteArray getInfoReply(uint8_t progMode, uint8_t devType);

} // namespace FrameBuilder
