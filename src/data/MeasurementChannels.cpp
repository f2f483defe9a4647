#include "MeasurementChannels.h"

#include "LittleEndian.h"
#include "Records.h"

namespace MeasurementChannels {

const std::vector<Channel>& record()
{
    using namespace rec::meas;
    static const std::vector<Channel> c = {
        {"Температура АЦП", "°C", [](const uint8_t* r) { return le::i16(r + kAdcTemp) / 100.0; }, 0},
        {"Напряжение, канал 0", "В", [](const uint8_t* r) { return double(le::f32(r + kVolt1)); }, 0},
        {"Напряжение, канал 1", "В", [](const uint8_t* r) { return double(le::f32(r + kVolt2)); }, 0},
        {"Напряжение, канал 2", "В", [](const uint8_t* r) { return double(le::f32(r + kVolt3)); }, 0},
        {"Напряжение, канал 3", "В", [](const uint8_t* r) { return double(le::f32(r + kVolt4)); }, 0},
        {"Акселерометр, ось X", "ед.", [](const uint8_t* r) { return double(le::i16(r + kAccX)); }, kBitAccel},
        {"Акселерометр, ось Y", "ед.", [](const uint8_t* r) { return double(le::i16(r + kAccY)); }, kBitAccel},
        {"Акселерометр, ось Z", "ед.", [](const uint8_t* r) { return double(le::i16(r + kAccZ)); }, kBitAccel},
        {"Датчик освещенности", "Люкс", [](const uint8_t* r) { return double(le::f32(r + kLight)); }, kBitLight},
        {"Влажность", "%RH", [](const uint8_t* r) { return le::u16(r + kHumidity) / 100.0; }, kBitHumidity},
        {"Температура Д_влажн", "°C", [](const uint8_t* r) { return le::i16(r + kShtTemp) / 100.0; }, kBitHumidity},
        {"Давление", "мБар", [](const uint8_t* r) { return double(le::f32(r + kPressure)); }, kBitPressure},
        {"Температура Д_давл", "°C", [](const uint8_t* r) { return le::i16(r + kPressTemp) / 100.0; }, kBitPressure},
    };
    return c;
}

const std::vector<Channel>& raw()
{
    using namespace rec::raw;
    static const std::vector<Channel> c = {
        {"Напряжение, канал 0", "В", [](const uint8_t* r) { return double(le::f32(r + kAdsVolt0)); }, 0},
        {"Напряжение, канал 1", "В", [](const uint8_t* r) { return double(le::f32(r + kAdsVolt1)); }, 0},
        {"Напряжение, канал 2", "В", [](const uint8_t* r) { return double(le::f32(r + kAdsVolt2)); }, 0},
        {"Напряжение, канал 3", "В", [](const uint8_t* r) { return double(le::f32(r + kAdsVolt3)); }, 0},
        {"Температура АЦП", "°C", [](const uint8_t* r) { return double(le::f32(r + kAdsTemp)); }, 0},
        {"Акселерометр, ось X", "ед.", [](const uint8_t* r) { return double(le::i16(r + kAccX)); }, 0},
        {"Акселерометр, ось Y", "ед.", [](const uint8_t* r) { return double(le::i16(r + kAccY)); }, 0},
        {"Акселерометр, ось Z", "ед.", [](const uint8_t* r) { return double(le::i16(r + kAccZ)); }, 0},
        {"Освещенность", "люкс", [](const uint8_t* r) { return double(le::f32(r + kLux)); }, 0},
        {"Влажность", "%RH", [](const uint8_t* r) { return double(le::f32(r + kHumidity)); }, 0},
        {"Температура SHT", "°C", [](const uint8_t* r) { return double(le::f32(r + kShtTemp)); }, 0},
        {"Давление", "мБар", [](const uint8_t* r) { return double(le::f32(r + kPressure)); }, 0},
        {"Температура датчика давления", "°C", [](const uint8_t* r) { return double(le::f32(r + kPressTemp)); }, 0},
    };
    return c;
}

} // namespace MeasurementChannels
