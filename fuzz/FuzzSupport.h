#pragma once
#include <QByteArray>

#include <cstdint>

// What the fuzz targets share: the application object that Qt's timers and widgets need (one per
// process; debug output is dropped so that the fuzzer's own report stays readable), the report of a
// broken invariant, and replies as a board sends them.
namespace fuzz {

void start(bool widgets);
[[noreturn]] void fail(const char* what);
QByteArray statusReply(uint8_t progMode, uint8_t devType);
QByteArray withInnerCrc(const QByteArray& block);   // as the hardware configuration reply carries it

} // namespace fuzz
