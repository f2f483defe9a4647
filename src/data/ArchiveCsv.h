#pragma once
#include <QByteArray>
#include <QDateTime>

#include <cstdint>

// The board's archive as a CSV file for a spreadsheet: UTF-8 with a byte
// order mark, ";" between fields, decimal comma, CR LF line ends. One row
// per record, the columns of the window's archive table with their units
// in the header; a sensor the record marks as absent reads "Отключен".
namespace ArchiveCsv {

// records: count records of 64 bytes. start: the recording's start stamp,
// to which each record's run time (counted from the first record) is added.
QByteArray build(const uint8_t* records, uint32_t count, const QDateTime& start);
// The start stamp of the archive block; invalid when its date is impossible.
QDateTime startStamp(const uint8_t* status);

} // namespace ArchiveCsv
