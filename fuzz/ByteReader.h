#pragma once
#include <cstddef>
#include <cstdint>

// Reads a fuzzer input from the front; past the end every read yields zero bytes.
class ByteReader
{
public:
    ByteReader(const uint8_t* data, size_t size) : data(data), size(size) {}
    bool atEnd() const { return pos >= size; }
    size_t remaining() const { return atEnd() ? 0 : size - pos; }
    uint8_t byte() { return atEnd() ? 0 : data[pos++]; }
    uint16_t u16()
    {
        const uint16_t lo = byte();
        return static_cast<uint16_t>(lo | (byte() << 8));
    }
    // Up to n bytes from the current position (fewer at the end).
    const uint8_t* take(size_t n, size_t* got)
    {
        *got = n < remaining() ? n : remaining();
        const uint8_t* p = data + pos;
        pos += *got;
        return p;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};
