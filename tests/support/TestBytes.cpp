#include "TestBytes.h"

#include "Crc16.h"

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(static_cast<char>(v));
    return b;
}

QByteArray wireFrame(uint8_t code, const QByteArray& payload)
{
    const int len = payload.size() + 6;
    QByteArray f = bytes({0xAA, len & 0xFF, (len >> 8) & 0xFF, code}) + payload + QByteArray(2, '\0');
    Crc16().append(raw(f), static_cast<uint16_t>(f.size()));
    return f;
}
