#pragma once
#include "BoardJob.h"

// info: the board's status and its firmware configuration record, worded
// as the window's status and bootloader tabs show them.
class InfoJob : public BoardJob
{
public:
    using BoardJob::BoardJob;
    void start() override;

private:
    void show();
};
