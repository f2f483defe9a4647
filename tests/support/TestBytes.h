#pragma once
// Byte helpers shared by the tests: literals, frames, replies handed to the
// engine the way the serial link delivers them, and the casts the engine's
// C-style API needs.
#include <QByteArray>

#include <cstdint>
#include <initializer_list>

class proto_Vorlen_v2;

// A byte array from a list of byte values.
QByteArray bytes(std::initializer_list<int> list);

// A complete frame, request or reply: start byte, length, code, payload, CRC.
QByteArray wireFrame(uint8_t code, const QByteArray& payload = QByteArray());

// The board's reply of this code and payload, received by the engine.
void feedReply(proto_Vorlen_v2& engine, uint8_t code, const QByteArray& payload = QByteArray());
// A getInfo reply: program mode, device type, record flags (bit 0 firmware, bit 1 hardware configuration valid).
void feedStatus(proto_Vorlen_v2& engine, uint8_t progMode, uint8_t devType = 1, uint8_t flags = 3);

inline const uint8_t* u8(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }
inline uint8_t* raw(QByteArray& b) { return reinterpret_cast<uint8_t*>(b.data()); }
