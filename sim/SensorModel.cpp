#include "SensorModel.h"

#include "LittleEndian.h"
#include "Records.h"

#include <cmath>

namespace vboard {

namespace {
constexpr double kTwoPi = 6.283185307179586;

// Slow wave of the given period in seconds.
double wave(uint32_t ms, double periodS, double phase = 0)
{
    return std::sin(kTwoPi * (ms / 1000.0) / periodS + phase);
}

uint8_t* at(QByteArray& b, uint32_t offset)
{
    return reinterpret_cast<uint8_t*>(b.data()) + offset;
}

constexpr uint8_t kSensorActive = 1;
// MS5837 factory words C0..C6 of a typical part.
constexpr uint16_t kPressCalib[7] = {0x0010, 34982, 36352, 20328, 22354, 26646, 26146};
} // namespace

SensorModel::SensorModel(uint32_t seed) : rng(seed ? seed : 0x9E3779B9u) {}

uint32_t SensorModel::nextRandom()
{
    // xorshift32: small, fast and the same on every platform
    rng ^= rng << 13;
    rng ^= rng >> 17;
    rng ^= rng << 5;
    return rng;
}

float SensorModel::noise(float amplitude)
{
    const double unit = (nextRandom() % 20001) / 10000.0 - 1.0;
    return static_cast<float>(unit * amplitude);
}

SensorModel::Reading SensorModel::read(uint32_t ms)
{
    Reading r{};
    for (int ch = 0; ch < 4; ++ch)
        r.volts[ch] = static_cast<float>(1.2 + 0.4 * ch + 0.15 * wave(ms, 40 + 10 * ch, ch)) + noise(0.002f);
    r.shtTemp = static_cast<float>(23.5 + 1.2 * wave(ms, 600)) + noise(0.02f);
    r.adcTemp = r.shtTemp + 1.5f + noise(0.02f);
    r.pressTemp = r.shtTemp + 0.4f + noise(0.02f);
    r.humidity = static_cast<float>(41.0 + 3.0 * wave(ms, 900, 1.0)) + noise(0.05f);
    r.pressure = static_cast<float>(1013.2 + 2.0 * wave(ms, 1200, 2.0)) + noise(0.05f);
    r.light = static_cast<float>(320.0 + 40.0 * wave(ms, 300, 0.5)) + noise(1.0f);
    r.accel[0] = static_cast<int16_t>(12 + noise(6));
    r.accel[1] = static_cast<int16_t>(-8 + noise(6));
    r.accel[2] = static_cast<int16_t>(1000 + noise(8));
    return r;
}

QByteArray SensorModel::rawPacket(const Controls& c, uint32_t ms)
{
    using namespace rec::raw;
    QByteArray b(static_cast<int>(kPacketSize), '\0');
    const Reading r = read(ms);
    *at(b, kOutputs) = c.outputs;
    le::put32(at(b, kRunTime), ms);

    le::putF32(at(b, kAdsCalib), 8388.61f);
    le::putF32(at(b, kAdsVolt0), r.volts[0]);
    le::putF32(at(b, kAdsVolt1), r.volts[1]);
    le::putF32(at(b, kAdsVolt2), r.volts[2]);
    le::putF32(at(b, kAdsVolt3), r.volts[3]);
    le::putF32(at(b, kAdsTemp), r.adcTemp);
    *at(b, kAdsCycle) = ++adsCycle;
    *at(b, kAdsState) = kSensorActive;

    // LIS3DH: 16-bit left-justified output, 1 g = 16384 counts at 2 g full scale
    const double countsPerMilliG = 16.384 / (1 << (c.accelScale & 3));
    le::put16(at(b, kAccX), static_cast<uint16_t>(static_cast<int16_t>(r.accel[0] * countsPerMilliG)));
    le::put16(at(b, kAccY), static_cast<uint16_t>(static_cast<int16_t>(r.accel[1] * countsPerMilliG)));
    le::put16(at(b, kAccZ), static_cast<uint16_t>(static_cast<int16_t>(std::min(32767.0, r.accel[2] * countsPerMilliG))));
    *at(b, kAccCycle) = ++accCycle;
    *at(b, kAccScale) = c.accelScale;
    *at(b, kAccState) = kSensorActive;

    le::putF32(at(b, kLux), r.light);
    *at(b, kMaxCycle) = ++maxCycle;
    *at(b, kMaxState) = kSensorActive;

    le::putF32(at(b, kHumidity), r.humidity);
    le::putF32(at(b, kShtTemp), r.shtTemp);
    *at(b, kShtCycle) = ++shtCycle;
    *at(b, kShtState) = kSensorActive;

    le::putF32(at(b, kPressure), r.pressure);
    le::putF32(at(b, kPressTemp), r.pressTemp);
    for (int i = 0; i < 7; ++i)
        le::put16(at(b, kPressCalib0 + 2 * i), kPressCalib[i]);
    *at(b, kPressCycle) = ++pressCycle;
    *at(b, kPressState) = kSensorActive;
    return b;
}

QByteArray SensorModel::measurement(const Controls& c, uint32_t ms)
{
    using namespace rec::meas;
    QByteArray b(static_cast<int>(kSize), '\0');
    const Reading r = read(ms);
    auto hundredths = [](float v) { return static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 100.0f))); };
    *at(b, kAnswerBits) = kBitAccel | kBitLight | kBitHumidity | kBitPressure;
    *at(b, kConductCode) = c.conductCode;
    le::put32(at(b, kRunTime), ms);
    le::put16(at(b, kAdcTemp), hundredths(r.adcTemp));
    le::putF32(at(b, kVolt1), r.volts[0]);
    le::putF32(at(b, kVolt2), r.volts[1]);
    le::putF32(at(b, kVolt3), r.volts[2]);
    le::putF32(at(b, kVolt4), r.volts[3]);
    le::put16(at(b, kAccX), static_cast<uint16_t>(r.accel[0]));
    le::put16(at(b, kAccY), static_cast<uint16_t>(r.accel[1]));
    le::put16(at(b, kAccZ), static_cast<uint16_t>(r.accel[2]));
    *at(b, kAccScale) = c.accelScale;
    le::putF32(at(b, kLight), r.light);
    le::put16(at(b, kHumidity), hundredths(r.humidity));
    le::put16(at(b, kShtTemp), hundredths(r.shtTemp));
    le::putF32(at(b, kPressure), r.pressure);
    le::put16(at(b, kPressTemp), hundredths(r.pressTemp));
    return b;
}

QByteArray SensorModel::photometerPacket(const Controls& c, uint32_t ms)
{
    using namespace rec::pcraw;
    QByteArray b(static_cast<int>(kSize), '\0');
    // The photodiode sees the three LEDs through the sample, plus a dark level.
    const double light = 180.0 + 31.0 * c.pwm[0] + 27.0 * c.pwm[1] + 22.0 * c.pwm[2] + 6.0 * wave(ms, 120);
    const uint32_t adc = static_cast<uint32_t>(std::max(0.0, light + noise(4.0f)));
    adcAverage = adcAverage < 0 ? static_cast<float>(adc) : adcAverage * 0.9f + static_cast<float>(adc) * 0.1f;
    le::put32(at(b, kRunTime), ms);
    le::put32(at(b, kAdcRaw), adc);
    le::putF32(at(b, kAdcAve), adcAverage);
    le::putF32(at(b, kPwmRed), c.pwm[0]);
    le::putF32(at(b, kPwmGreen), c.pwm[1]);
    le::putF32(at(b, kPwmBlue), c.pwm[2]);
    return b;
}

} // namespace vboard
