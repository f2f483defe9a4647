#pragma once
#include <cstdint>

// The board's serial line and how a restarting board is followed; the window
// and the command line open and reopen ports with these.
namespace BoardLine {
// Fixed by the board: 115200 baud, 8 data bits, no parity, 1 stop bit.
constexpr uint32_t kBaud = 115200;
constexpr uint8_t kDataBits = 8;
constexpr uint8_t kParity = 'n';
constexpr uint8_t kStopBits = 1;
} // namespace BoardLine
