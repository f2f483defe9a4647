#include "proto_Vorlen_v2.h"

// PLACEHOLDER: the programming sequencer lands here.
void proto_Vorlen_v2::startProgramming(const uint8_t*, uint32_t) {}
void proto_Vorlen_v2::programmingReply(uint32_t) {}
void proto_Vorlen_v2::progressStep(bool) {}
void proto_Vorlen_v2::sendPageWrite() {}
void proto_Vorlen_v2::startConfigWrite() {}
