#pragma once
#include <cstdint>

// CRC-16/MODBUS (reflected 0xA001, init 0xFFFF, no final XOR), table driven.
// One implementation for frames, the hardware configuration block, update
// files and the programming read-back check.
class Crc16
{
public:
    uint16_t calc(const uint8_t* data, uint16_t length) const;
    // True when the last two bytes (low first) are the CRC of the bytes before them.
    bool check(const uint8_t* buffer, uint16_t length) const;
    // Writes the CRC of the first length-2 bytes into the last two bytes.
    void append(uint8_t* buffer, uint16_t length) const;
};
