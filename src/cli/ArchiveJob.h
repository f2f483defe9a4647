#pragma once
#include "BoardJob.h"

// archive: the archive status, then every record in chunks of 8 as the
// window loads them, written as CSV.
class ArchiveJob : public BoardJob
{
public:
    ArchiveJob(BoardSession* session, const QString& csvPath);
    void start() override;

private:
    void checkStatus();
    void loadChunk();
    void save();

    QString path;
    uint32_t total = 0;
    uint32_t loaded = 0;
    uint32_t chunk = 0;
    int wrongChunks = 0;
};
