#include "proto_Vorlen_v2.h"

// PLACEHOLDER: the engine's transactions land here.

proto_Vorlen_v2::proto_Vorlen_v2() {}
proto_Vorlen_v2::~proto_Vorlen_v2() = default;
void proto_Vorlen_v2::sendCommand(uint32_t, const uint8_t*, uint32_t) {}
void proto_Vorlen_v2::repeatCommand() {}
void proto_Vorlen_v2::stopCommand() {}
void proto_Vorlen_v2::finishProgramming(const QString&) {}
bool proto_Vorlen_v2::isCommandAvailable(uint32_t) { return true; }
void proto_Vorlen_v2::parseReceived(uint8_t*, uint32_t) {}
void proto_Vorlen_v2::requestRawData(const uint8_t*, uint32_t) {}
void proto_Vorlen_v2::parseHwConfig(const uint8_t*, uint32_t) {}
void proto_Vorlen_v2::parseRawData(const uint8_t*, uint32_t) {}
void proto_Vorlen_v2::parseExchangeData(const uint8_t*, uint32_t) {}
