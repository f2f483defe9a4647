#pragma once
#include "BackupFile.h"
#include "BoardJob.h"

// backup: reads the firmware and hardware configuration and, while a
// laboratory main program runs, the user calibration block of the board's
// type, and writes them to a backup file. Nothing is written to the board.
class BackupJob : public BoardJob
{
public:
    BackupJob(BoardSession* session, const QString& path, const QString& toolName);
    void start() override;

private:
    void readHwConfig();
    void readUserData();
    void save();

    QString path;
    BackupFile copy;
    uint32_t userDataRead = 0;
};
