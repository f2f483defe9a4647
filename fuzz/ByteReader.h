#pragma once
#include <cstddef>
#include <cstdint>

// Reads a fuzzer input from the front; past the end every read yields zero bytes.
class ByteReader
{
public:
    ByteReader(const uint8_t* data, size_t size) : data(data), size(size) {}
    bool atEnd() const { return pos >= size; }
    uint8_t byte() { return atEnd() ? 0 : data[pos++]; }
    uint16_t u16() { return static_cast<uint16_t>(byte() | (byte() << 8)); }
    const uint8_t* take(size_t n, size_t* got)   // up to n bytes, fewer at the end
    {
        *got = atEnd() ? 0 : (n < size - pos ? n : size - pos);
        pos += *got;
        return data + pos - *got;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};
