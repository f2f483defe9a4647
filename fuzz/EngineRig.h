#pragma once
#include <QByteArray>

#include <cstdint>
#include <memory>
#include <vector>

#include "proto_Vorlen_v2.h"

// One engine per fuzzer input, put into the board state the input asks for,
// fed received blocks exactly as the serial link hands them over. After each
// block it checks that only the records of the replies seen so far changed,
// and it reads every byte a signal hands out, so that the sanitizers see any
// access outside the received block.
class EngineRig
{
public:
    // Board states worth fuzzing: laboratory types in both programs, the
    // photocolorimeter, unknown types, an impossible program code, and
    // programming runs under way.
    static constexpr int kStateCount = 14;

    explicit EngineRig(uint8_t state);
    // The image a programming state writes (the seed generator answers it).
    static void fillImage(uint8_t* image, uint32_t size);
    ~EngineRig();

    proto_Vorlen_v2& engine() { return *proto; }
    // Hands one block to the engine from an exact-size heap copy.
    void deliver(const uint8_t* bytes, uint32_t size);
    void deliver(const QByteArray& block);
    // Starts a request as a view would, with a payload taken from the input.
    void send(uint8_t code, const uint8_t* payload, uint32_t n);

private:
    struct Snapshot;
    void takeSnapshot(Snapshot& s) const;
    void checkChanges(const Snapshot& before) const;
    void allowCode(uint8_t code);

    std::unique_ptr<proto_Vorlen_v2> proto;
    std::unique_ptr<uint8_t[]> image;
    uint32_t allowedRecords = 0;
    std::vector<uint8_t> recentBytes;   // the last bytes delivered
    volatile uint8_t sink = 0;
};
