#pragma once
#include <QByteArray>

#include <cstdint>

#include "proto_Vorlen_v2.h"

// One engine per fuzzer input, put into the board state the input asks for, fed received blocks exactly
// as the serial link hands them over. After each block it checks that only the records of the replies
// seen so far changed, and it reads every byte a signal hands out, so that the sanitizers see any access
// outside the received block.
class EngineRig
{
public:
    // Lab boards in both programs, the photocolorimeter, unknown types and program codes, programming runs.
    static constexpr int kStateCount = 14;

    explicit EngineRig(uint8_t state);

    proto_Vorlen_v2& engine() { return proto; }
    void deliver(const uint8_t* bytes, uint32_t size);   // from an exact-size copy
    void deliver(const QByteArray& block) { deliver(reinterpret_cast<const uint8_t*>(block.constData()), uint32_t(block.size())); }
    // Starts a request as a view would, with a payload taken from the input.
    void send(uint8_t code, const uint8_t* payload, uint32_t n);

private:
    QByteArray records() const;   // all of them one after another

    proto_Vorlen_v2 proto;
    QByteArray programmed;
    uint32_t allowed = 0;   // one bit for each record a code seen so far may fill
    QByteArray recent;      // the last bytes delivered
    volatile uint8_t sink = 0;
};
