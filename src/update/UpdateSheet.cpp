#include "UpdateSheet.h"

#include <cstring>

// PLACEHOLDER: the loader lands with the programming view.
UpdateSheet::UpdateSheet() { std::memset(block, 0, sizeof block); }
bool UpdateSheet::read(const QString&) { return false; }
uint16_t UpdateSheet::imageCrc() const { return 0; }
uint16_t UpdateSheet::imageLength() const { return 0; }
uint16_t UpdateSheet::notesLength() const { return 0; }
bool UpdateSheet::isForDevice(uint8_t) const { return false; }
QString UpdateSheet::releaseNotesText() const { return QString(); }
QDate UpdateSheet::buildDate() const { return QDate(); }
