#pragma once
#include <QByteArray>

#include <cstdint>

namespace vboard {

// Plausible, slowly varying readings of the board's sensor chips, a
// function of the board's run time plus a little seeded noise, so two runs
// with the same seed see the same values.
class SensorModel
{
public:
    explicit SensorModel(uint32_t seed);

    // What the board's outputs and settings are while a packet is taken.
    struct Controls {
        uint8_t outputs = 0xC7;   // HC595 byte: all LEDs off (active low), no pull-up
        uint8_t accelScale = 0;   // 0 = 2 g .. 3 = 16 g
        uint8_t conductCode = 0;  // 0 off, 1 = 1 kOhm, 2 = 10 kOhm, 3 = 100 kOhm
        float pwm[3] = {0, 0, 0}; // photocolorimeter LEDs, percent
    };

    QByteArray rawPacket(const Controls& controls, uint32_t runTimeMs);       // 256 bytes
    QByteArray measurement(const Controls& controls, uint32_t runTimeMs);     // 64 bytes
    QByteArray photometerPacket(const Controls& controls, uint32_t runTimeMs); // 256 bytes

    // The physical quantities at a moment, shared by both layouts.
    struct Reading {
        float volts[4];
        float adcTemp, light, humidity, shtTemp, pressure, pressTemp;
        int16_t accel[3]; // milli-g
    };
    Reading read(uint32_t runTimeMs);

private:
    float noise(float amplitude);
    uint32_t nextRandom();

    uint32_t rng;
    uint8_t adsCycle = 0, accCycle = 0, maxCycle = 0, shtCycle = 0, pressCycle = 0;
    float adcAverage = -1;
};

} // namespace vboard
