#include "FrameAssembler.h"

// PLACEHOLDER: reassembly lands with the engine.
FrameAssembler::FrameAssembler(QObject* parent) : QObject(parent) {}
void FrameAssembler::feed(const uint8_t* buf, uint32_t size) { if (out) out(buf, size); }
void FrameAssembler::flush() {}
void FrameAssembler::handleBlock(const uint8_t*, uint32_t) {}
uint32_t FrameAssembler::announcedLength(const uint8_t*, uint32_t) { return 0; }
