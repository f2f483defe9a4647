#pragma once
#include <QObject>

#include <utility>
#include <vector>

#include "ViewContext.h"
#include "WidgetLock.h"

class QWidget;

// The «Информация» tab and the cmds tab bar: the board's status, which tabs
// the running program can use, the switches between bootloader and main
// program, and the tab entry announced to the other tabs.
class DeviceStatusController : public QObject
{
    Q_OBJECT
public:
    DeviceStatusController(const ViewContext& ctx, QObject* parent = nullptr);

    void requestStatus();
    void startBootloader();
    void startMainProgram();
    // The user (or the window) made tab `index` of cmds the current one.
    void tabChanged(int index);
    // During a firmware run the tabs cannot be switched and this tab sends
    // nothing; afterwards each control gets back the state it had.
    void lockForRun(bool running);

private:
    void showDeviceInfo();
    void showTypeText();
    void enterFirstTab();
    void resetLabels();
    void setTabs(bool bootloader, bool laboratory, bool photocolorimeter, bool statistics);

    ViewContext ctx;
    WidgetLock runLock;   // the tab bar and the «Информация» page, off during a programming run
};
