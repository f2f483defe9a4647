#pragma once
#include <QString>

#include <cstdint>
#include <vector>

// The numeric values of the board's measurements that a chart can draw:
// the channels of a 64-byte measurement record (archive and exchange) and
// of the laboratory raw data packet.
namespace MeasurementChannels {

struct Channel {
    const char* name;
    const char* unit;
    double (*read)(const uint8_t* record);
    uint8_t presentBit;   // answer bit the record must carry; 0: always present

    QString title() const { return QString::fromUtf8(name) + QStringLiteral(", ") + QString::fromUtf8(unit); }
    bool presentIn(const uint8_t* record, uint32_t answerBitsOffset) const
    {
        return presentBit == 0 || (record[answerBitsOffset] & presentBit);
    }
};

const std::vector<Channel>& record();
const std::vector<Channel>& raw();

} // namespace MeasurementChannels
