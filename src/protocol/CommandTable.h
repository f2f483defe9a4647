#pragma once
#include <QString>

#include <cstdint>

class proto_Vorlen_v2;

// Everything the engine knows about each request code, one row per code:
// how the request is built and announced, what the mode gate requires, and
// how its reply is checked and decoded. A new command is one new row (and,
// when its reply carries data, one decoder in proto_decoding.cpp).
class CommandTable
{
public:
    // Which of the caller's n payload bytes sendCommand puts into the frame.
    enum class Copy {
        None,       // no payload, 6-byte frame whatever the caller passes
        All,        // all n bytes
        Leading1,   // n bytes announced, byte 0 copied, the rest zero
        Leading2,   // n bytes announced, bytes 0 and 1 copied, the rest zero
        HwConfig,   // the engine's own hardware configuration block and its CRC
    };
    // The program (units digit of progMode) the mode gate requires.
    enum class Needs { Any, Bootloader, Main };
    // Decodes a reply at least replyMin long into the engine's records and
    // signals; returns the summary line's description, built on `base`.
    using Decoder = QString (proto_Vorlen_v2::*)(uint8_t* payload, uint32_t p, const QString& base);

    struct Row {
        uint8_t code;
        const char* name;
        // "СТАРТ - ..." line; %1 and %2 stand for payload bytes 0 and 1.
        // withPayload, when set, replaces it for a request that carries a payload.
        const char* start;
        const char* startWithPayload;
        Copy copy;
        Needs needs;
        const char* refusal;      // after "Команда " when the gate refuses
        uint32_t replyMin;        // shortest reply frame the decoder may read
        bool bareAck;             // a reply without payload is a plain acknowledgement
        const char* description;  // of the reply in the summary line
        Decoder decode;           // nullptr: the reply only acknowledges
    };

    static const Row* find(uint32_t code);
    static const Row* begin();
    static const Row* end();

    static QString startLine(const Row& row, const uint8_t* body, uint32_t p);
    // Payload length of the request frame and the caller's bytes copied into it.
    static uint32_t payloadLength(const Row& row, uint32_t n);
    static uint32_t copiedBytes(const Row& row, uint32_t n);

private:
    static const Row kRows[];
    static const uint32_t kRowCount;
};
