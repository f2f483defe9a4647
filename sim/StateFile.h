#pragma once
#include <QString>

namespace vboard {

class VirtualBoard;

// The board's non-volatile memory between runs: program pages, firmware
// and hardware configuration, user data, statistics and the BLE module's
// name and speed. One fixed-size binary file ending in a SHA-256 of all
// that precedes it; written atomically, and loaded all or nothing.
class StateFile
{
public:
    static int fileSize();
    // A missing file is not an error: the board starts fresh.
    static bool load(const QString& path, VirtualBoard& board, QString* error);
    static bool save(const QString& path, const VirtualBoard& board, QString* error);
};

} // namespace vboard
