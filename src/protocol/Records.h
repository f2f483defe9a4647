#pragma once
#include <cstdint>

// Byte offsets and sizes of the board's frames and records. Every reader and
// writer of these layouts (engine, views, simulator) takes them from here.
namespace rec {

namespace frame {
constexpr uint8_t kStart = 0xAA;
constexpr uint32_t kOverhead = 6;          // start, length(2), code, crc(2)
constexpr uint32_t kPayload = 4;           // payload offset inside a frame
constexpr uint32_t kMaxFrame = 2048;       // transmit buffer and largest frame
constexpr uint32_t kMaxPayload = kMaxFrame - kOverhead;
constexpr uint8_t kRefusal = 0xFF;
} // namespace frame

namespace cmd {
constexpr uint8_t getInfo = 0x00;
constexpr uint8_t getDataExchange = 0x10;
constexpr uint8_t getRawData = 0x1F;
constexpr uint8_t archiveControl = 0x20;
constexpr uint8_t archiveData = 0x21;
constexpr uint8_t setHwConfig = 0x30;
constexpr uint8_t getHwConfig = 0x31;
constexpr uint8_t setUserData = 0x40;
constexpr uint8_t getUserData = 0x41;
constexpr uint8_t bleAtCmd = 0x50;
constexpr uint8_t flashWrite = 0x80;
constexpr uint8_t flashRead = 0x81;
constexpr uint8_t setFwConfig = 0x82;
constexpr uint8_t getFwConfig = 0x83;
constexpr uint8_t bootloaderInit = 0x84;
constexpr uint8_t bootloaderFinish = 0x85;
constexpr uint8_t flashWriteBlock = 0x8A;
constexpr uint8_t flashReadBlock = 0x8B;
constexpr uint8_t statistics = 0xFE;
constexpr uint16_t statResetCode = 0x2B94;
} // namespace cmd

// getInfo reply: payload offsets (frame offset = payload offset + 4)
namespace devinfo {
constexpr uint32_t kProgMode = 0, kFwFlag = 1, kHwFlag = 2, kFreePages = 4, kBleBridge = 5,
                   kDevType = 6, kErrorCode = 7, kBlVersion = 8;
constexpr uint32_t kSize = 9;
constexpr uint8_t kTypePhotocolorimeter = 100;
} // namespace devinfo

// Firmware configuration record (60 bytes)
namespace fwcfg {
constexpr uint32_t kSize = 60;
constexpr uint32_t kSerialNumber = 0, kFwCrc = 32, kFwLength = 34, kFwVersion = 48, kBuildDay = 49,
                   kBuildMonth = 50, kBuildYear = 51;
} // namespace fwcfg

// Hardware configuration record (288 bytes, CRC follows on the wire)
namespace hwcfg {
constexpr uint32_t kSize = 288;
constexpr uint32_t kWireSize = kSize + 2;
constexpr uint32_t kDeviceType = 0, kHwVersion = 1;
// The nineteen float coefficients, in record order.
constexpr uint32_t k_ch0 = 32, delta_ch0 = 36, k_ch1 = 40, delta_ch1 = 44, k1_ch2 = 48, delta1_ch2 = 52,
                   k2_ch2 = 56, delta2_ch2 = 60, pointT_ch2 = 64, k1_ch3 = 68, delta1_ch3 = 72,
                   delta_light = 76, delta_humidity = 80, delta_Tout = 84, delta_Pressure = 88,
                   k2_ch3 = 92, delta2_ch3 = 96, k3_ch3 = 100, delta3_ch3 = 104;
constexpr uint32_t kCoefCount = 19;
} // namespace hwcfg

// Laboratory raw data packet (payload of get_RawData, at least 256 bytes)
namespace raw {
constexpr uint32_t kPacketSize = 256;
constexpr uint32_t kOutputs = 0x00, kRunTime = 0x20;
constexpr uint32_t kI2cFault = 0x40, kI2cHandlerTimeout = 0x42, kLisFault = 0x44, kEepromFault = 0x46,
                   kMaxFault = 0x48, kShtFault = 0x4A, kMsFault = 0x4C;
constexpr uint32_t kAdsCalib = 0x60, kAdsVolt0 = 0x64, kAdsVolt1 = 0x68, kAdsVolt2 = 0x6C, kAdsVolt3 = 0x70,
                   kAdsTemp = 0x74, kAdsCycle = 0x78, kAdsState = 0x79;
constexpr uint32_t kAccX = 0x80, kAccY = 0x82, kAccZ = 0x84, kAccCycle = 0x86, kAccScale = 0x87, kAccState = 0x88;
constexpr uint32_t kLux = 0xA0, kMaxCycle = 0xA4, kMaxState = 0xA5;
constexpr uint32_t kHumidity = 0xC0, kShtTemp = 0xC4, kShtCycle = 0xC8, kShtState = 0xC9;
constexpr uint32_t kPressure = 0xE0, kPressTemp = 0xE4, kPressCalib0 = 0xE8, kPressCycle = 0xF6, kPressState = 0xF7;
// Slices the engine keeps: {offset, length}
struct Slice { uint32_t offset; uint32_t length; };
constexpr Slice kSlices[] = {
    {0, 1},     {32, 4},    {64, 8},   {72, 4},   {76, 2},   {96, 8},   {104, 8},  {112, 8},  {120, 2},
    {128, 8},   {136, 1},   {160, 4},  {164, 2},  {192, 8},  {200, 2},  {224, 8},  {232, 8},  {240, 8},
};
constexpr uint32_t kKeptBytes = 94;
} // namespace raw

// Measurement record: exchange reply payload and archive record (64 bytes)
namespace meas {
constexpr uint32_t kSize = 64;
constexpr uint32_t kAnswerBits = 0x00, kConductCode = 0x01, kRunTime = 0x04, kAdcTemp = 0x08,
                   kVolt1 = 0x0C, kVolt2 = 0x10, kVolt3 = 0x14, kVolt4 = 0x18, kAccX = 0x1C, kAccY = 0x1E,
                   kAccZ = 0x20, kAccScale = 0x22, kLight = 0x24, kHumidity = 0x28, kShtTemp = 0x2A,
                   kPressure = 0x2C, kPressTemp = 0x30;
constexpr uint8_t kBitAccel = 0x01, kBitLight = 0x02, kBitHumidity = 0x04, kBitPressure = 0x08;
} // namespace meas

// Archive block: status reply and start request (30 bytes)
namespace archive {
constexpr uint32_t kBlockSize = 30;
constexpr uint32_t kStatusFrameLength = 36;
constexpr uint32_t kPeriod = 0, kCount = 4, kState = 5, kStored = 6, kYear = 7, kMonth = 8, kDay = 9,
                   kHour = 10, kMinute = 11, kSecond = 12;
constexpr uint32_t kMaxRecords = 100;
constexpr uint32_t kRecordSize = meas::kSize;
constexpr uint32_t kMaxChunk = 8;
// Archive data reply: first record's address, record count, the records
constexpr uint32_t kReplyAddress = 0, kReplyCount = 1, kReplyRecords = 2;
} // namespace archive

// User calibration blocks
namespace user {
constexpr uint32_t kBufferSize = 255;
constexpr uint32_t kPhysicsSize = 40, kChemistrySize = 44, kBiologySize = 32;
constexpr uint32_t kMaxChunk = 64;
// set_UserData request and its echo: offset, byte count, last-chunk flag, bytes
constexpr uint32_t kChunkOffset = 0, kChunkSize = 1, kChunkLast = 2, kChunkData = 3;
} // namespace user

// Statistics record (60 bytes)
namespace stat {
constexpr uint32_t kSize = 60;
constexpr uint32_t kBoardStarts = 0, kHardFaults = 4, kArchiveUses = 8, kUseTime = 12, kBatTime = 16,
                   kFwUpdates = 36;
} // namespace stat

// Photocolorimeter raw packet (exactly 256 bytes)
namespace pcraw {
constexpr uint32_t kSize = 256;
constexpr uint32_t kRunTime = 0, kAdcRaw = 4, kAdcAve = 8, kPwmRed = 12, kPwmGreen = 16, kPwmBlue = 20;
} // namespace pcraw

// Photocolorimeter LED drive: get_RawData payload of three float32 percents
namespace pcpwm {
constexpr uint32_t kRed = 0, kGreen = 4, kBlue = 8;
constexpr uint32_t kSize = 12;
} // namespace pcpwm

// BLE_ATCmd payload: u32 UART speed, the command text, CR LF
namespace atcmd {
constexpr uint32_t kSpeed = 0, kText = 4;
constexpr uint32_t kTextMax = 256;          // the board's text buffer
constexpr uint32_t kOverhead = 6;           // speed and CR LF
} // namespace atcmd

// Program memory
namespace flash {
constexpr uint32_t kPageSize = 1024;
constexpr uint32_t kReadReplyLength = kPageSize + 7; // start, length, code, page, data, crc
// Page replies: page number, data; block replies: page number, block number, data
constexpr uint32_t kPageNumber = 0, kPageData = 1, kBlockNumber = 1, kBlockData = 2;
} // namespace flash

} // namespace rec
