#pragma once
#include <QDateTime>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

#include "ViewContext.h"

class ArchiveChart;

// The archive tab: the recording status, starting a recording, loading the
// stored records chunk by chunk into the table and its chart, exporting them
// as CSV and copying table cells.
class ArchiveController : public QObject
{
    Q_OBJECT
public:
    ArchiveController(const ViewContext& ctx, QObject* parent = nullptr);
    ~ArchiveController() override;

    // The start stamp of a recording and the shown time of an empty archive.
    void setClock(std::function<QDateTime()> c) { clock = std::move(c); }

    void requestStatus();
    void startRecording();
    void loadRecords();
    void exportCsv();
    // The selected cells as rows of tab-separated text, to the clipboard.
    void copySelection();

private:
    void showStatus();
    void chunkReceived();
    void showTable();

    ViewContext ctx;
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    uint32_t loadedCount = 0;   // records received by the load in progress
    uint32_t chunkCount = 0;    // records asked for and not yet received; 0: no load
    uint32_t shownCount = 0;    // records in the table
    std::unique_ptr<ArchiveChart> chart;
};
