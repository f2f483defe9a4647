#pragma once
#include <QList>
#include <QStringList>

#include "BackupFile.h"
#include "BoardJob.h"

// restore: writes back the records of a backup that the board's programs
// can write - the hardware configuration in the bootloader, the user
// calibration block in the main program - switching as needed, skipping a
// record the board already holds, and reading each written record back.
// The firmware configuration is not written: it describes the programmed
// image, and programming writes it (keeping the serial number).
class RestoreJob : public BoardJob
{
public:
    RestoreJob(BoardSession* session, const BackupFile* copy, bool force);
    void start() override;

private:
    enum class Record { Hw, User };

    bool boardMatches();
    bool serialMatches();
    void runNext();
    void restoreHw();
    void restoreUser();
    void writeIfDifferent(Record record);
    bool boardHolds(Record record) const;
    void finish();

    const BackupFile* copy;
    bool force;
    bool startedInMain = false;
    QList<Record> plan;
    QStringList outcome;
    uint32_t userDataRead = 0;
};
