#include "Crc16.h"

#include <array>

namespace {

struct CrcTables {
    std::array<uint8_t, 256> hi{};
    std::array<uint8_t, 256> lo{};
    CrcTables()
    {
        for (unsigned i = 0; i < 256; ++i) {
            uint16_t crc = static_cast<uint16_t>(i);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001u) : static_cast<uint16_t>(crc >> 1);
            lo[i] = static_cast<uint8_t>(crc & 0xFF);
            hi[i] = static_cast<uint8_t>(crc >> 8);
        }
    }
};

const CrcTables& tables()
{
    static const CrcTables t;
    return t;
}

} // namespace

uint16_t Crc16::calc(const uint8_t* data, uint16_t length) const
{
    const CrcTables& t = tables();
    uint8_t crcLo = 0xFF;
    uint8_t crcHi = 0xFF;
    for (uint16_t i = 0; i < length; ++i) {
        const uint8_t idx = static_cast<uint8_t>(crcLo ^ data[i]);
        crcLo = static_cast<uint8_t>(crcHi ^ t.lo[idx]);
        crcHi = t.hi[idx];
    }
    return static_cast<uint16_t>((crcHi << 8) | crcLo);
}

bool Crc16::check(const uint8_t* buffer, uint16_t length) const
{
    if (length < 2)
        return false;
    const uint16_t got = static_cast<uint16_t>(buffer[length - 2] | (buffer[length - 1] << 8));
    return got == calc(buffer, static_cast<uint16_t>(length - 2));
}

void Crc16::append(uint8_t* buffer, uint16_t length) const
{
    if (length < 2)
        return;
    const uint16_t crc = calc(buffer, static_cast<uint16_t>(length - 2));
    buffer[length - 2] = static_cast<uint8_t>(crc & 0xFF);
    buffer[length - 1] = static_cast<uint8_t>(crc >> 8);
}
