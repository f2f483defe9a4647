#pragma once
#include "BoardJob.h"
#include "UpdateSheet.h"

// flash: the file against this board, the switch to the bootloader, the
// board's own firmware configuration read, the record stamped with the
// board's serial number and the file's version and date, the programming
// run with its read-backs, and with --start the main program started.
class FlashJob : public BoardJob
{
public:
    FlashJob(BoardSession* session, const UpdateSheet* sheet, bool startMain, bool force);
    void start() override;

private:
    bool fileFitsFamily();
    void readFwConfig();
    void program();
    bool versionAllowed();
    void onProgress(uint8_t percent, bool ok);
    void onRunChanged(bool running);
    void programmed();

    const UpdateSheet* sheet;
    bool startMain;
    bool force;
    bool running = false;
    uint8_t lastPercent = 0;
    bool lastOk = true;
    QString refusal;   // the board's refusal during the run, if any
    int page = -1;     // the page last sent for writing
};
