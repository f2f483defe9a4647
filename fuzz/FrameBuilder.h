#pragma once
#include <QByteArray>

#include <cstdint>

// Reply frames as a board sends them: start byte, length, code, payload, CRC.
namespace FrameBuilder {

QByteArray frame(uint8_t code, const QByteArray& payload);
// The hardware configuration reply carries its own CRC after the 288-byte record.
QByteArray withInnerCrc(const QByteArray& block);
QByteArray getInfoReply(uint8_t progMode, uint8_t devType);

} // namespace FrameBuilder
