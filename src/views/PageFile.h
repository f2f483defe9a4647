#pragma once
#include <QString>

#include "BackupFile.h"
#include "ViewContext.h"

class BoardCopies;
struct DevInfo;

// «Сохранить в файл…» and «Загрузить из файла…» of the hardware
// configuration and user calibration pages: the files are backup files
// holding the page's record. Loading only fills the page; a refused file
// changes nothing.
namespace PageFile {

// The connected board's identity, and its firmware configuration when it
// was read on this connection (for the serial number).
BackupFile describe(const DevInfo& info, const BoardCopies& copies);
// Asks for a path and writes the file; kind goes into the suggested name
// ("hw", "user"), what into the log line ("Аппаратная конфигурация").
void save(const ViewContext& ctx, const BackupFile& file, const QString& kind, const QString& what);
// Asks for a file and reads it; empty when cancelled or refused (the reason shown).
QString open(const ViewContext& ctx, BackupFile* file);
// Why the file does not belong to the connected board; empty when it does.
// A board whose type is not set takes a file of its family.
QString boardMismatch(const DevInfo& info, const BackupFile& file);
void refuse(const ViewContext& ctx, const QString& path, const QString& reason);
// open() for this board: a file of another board is refused. Empty when nothing is to be loaded.
QString openForBoard(const ViewContext& ctx, const DevInfo& info, BackupFile* file);

} // namespace PageFile
