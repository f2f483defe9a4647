#pragma once
#include <QString>

class BackupFile;

// The folder of the copies the window makes before it writes to a board:
// one folder per board, named by family and serial number
// ("laboratory-1234", "photocolorimeter-no-serial" when the board's firmware
// configuration is not valid), one file per copy named by its local date and
// time ("2026-03-03_14-05-09.json"; "-zzz" milliseconds, then "-2", "-3" ...
// are added when that name is taken). A copy never replaces a file.
class BackupStore
{
public:
    explicit BackupStore(const QString& root = QString()) : rootDir(root) {}

    void setRoot(const QString& root) { rootDir = root; }
    const QString& root() const { return rootDir; }

    static QString boardFolderName(const BackupFile& file);
    // Path of the new file; empty, with a Russian reason, when it could not be written.
    QString save(const BackupFile& file, QString* error) const;

private:
    QString rootDir;
};
