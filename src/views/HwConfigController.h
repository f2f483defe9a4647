#pragma once
#include <QObject>
#include <QString>

#include <cstdint>

#include "ViewContext.h"
#include "WidgetLock.h"

// The hardware configuration group of the bootloader tab: the device type
// list (refilled on each status of a bootloader), the version, the factory
// coefficients and the override box that makes the group writable before a
// configuration has been read.
class HwConfigController : public QObject
{
    Q_OBJECT
public:
    HwConfigController(const ViewContext& ctx, QObject* parent = nullptr);

    void requestConfig();
    void writeConfig();
    void setDefaultCoefs();
    void overrideToggled(bool checked);

private:
    void watchCoefEdits();
    QString clampedCoefNames() const;
    void showConfig();
    void statusReceived();
    void tabEntered(int index, bool autoUpdate);

    ViewContext ctx;
    // Program the device type list was filled for on this connection; -1: none yet.
    int typeListMode = -1;
    // One bit per factory coefficient whose box shows a clamped value.
    uint32_t clampedCoefs = 0;
    WidgetLock runLock;
};
