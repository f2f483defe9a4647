#pragma once
#include <QByteArray>

#include <cstdint>

namespace vboard {

// Whole frames as the board sends and receives them: start byte, length,
// code, payload, CRC-16/MODBUS.
namespace frame {

QByteArray build(uint8_t code, const QByteArray& payload = QByteArray());
// Start byte, length field equal to the size, and checksum all right.
bool isValid(const QByteArray& frame);
uint8_t code(const QByteArray& frame);
QByteArray payload(const QByteArray& frame);

} // namespace frame
} // namespace vboard
