#pragma once
#include <QString>

#include <cstdint>

// Plain texts of measurement record codes, shared by the window's tables and
// the command line's CSV.
namespace MeasurementText {

// Accelerometer scale code 0..3; any other code has no text.
inline QString accelScale(uint8_t code)
{
    static const char* const names[] = {"2G", "4G", "8G", "16G"};
    return code < 4 ? QString::fromLatin1(names[code]) : QString();
}

// Conductometer pull-up code of a measurement record.
inline QString pullup(uint8_t code)
{
    switch (code) {
    case 1: return QStringLiteral("Подтяжка 1К");
    case 2: return QStringLiteral("Подтяжка 10К");
    case 3: return QStringLiteral("Подтяжка 100К");
    default: return QStringLiteral("Отключен");
    }
}

} // namespace MeasurementText
