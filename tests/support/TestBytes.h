#pragma once
// Byte helpers shared by the tests: literals, reply frames built byte by byte
// the way the board sends them, and the casts the engine's C-style API needs.
#include <QByteArray>

#include <cstdint>
#include <initializer_list>

// A byte array from a list of byte values.
QByteArray bytes(std::initializer_list<int> list);

// A complete frame, request or reply: start byte, length, code, payload, CRC.
QByteArray wireFrame(uint8_t code, const QByteArray& payload = QByteArray());

inline const uint8_t* u8(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }
inline uint8_t* raw(QByteArray& b) { return reinterpret_cast<uint8_t*>(b.data()); }
