#pragma once
#include <QObject>

#include <cstdint>

#include "UpdateSheet.h"
#include "ViewContext.h"
#include "WidgetLock.h"

// The bootloader tab's firmware configuration and programming groups: the
// board's record, choosing an update file, the run and its progress bar.
class ProgrammingController : public QObject
{
    Q_OBJECT
public:
    ProgrammingController(const ViewContext& ctx, QObject* parent = nullptr);

    void requestFwConfig();
    void chooseSheet();
    void run();

private:
    void showFwConfig();
    void showProgress(uint8_t percent, bool ok);
    void showSheetUnloaded();
    bool sameSession();
    void tabEntered(int index, bool autoUpdate);

    ViewContext ctx;
    UpdateSheet sheet;           // the file the run button programs
    int64_t sheetSession = -1;   // the engine's board session the file was accepted in
    WidgetLock runLock;
};
