#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>

#include "ViewContext.h"
#include "WidgetLock.h"

// The hardware configuration group of the bootloader tab: the device type
// list (refilled on each status of a bootloader), the version, the factory
// coefficients and the override box that makes the group writable before a
// configuration has been read; saving what the group shows to a file and
// loading it back (the user then writes it).
class HwConfigController : public QObject
{
    Q_OBJECT
public:
    HwConfigController(const ViewContext& ctx, QObject* parent = nullptr);

    void requestConfig();
    void writeConfig();
    void setDefaultCoefs();
    void overrideToggled(bool checked);
    void saveToFile();
    void loadFromFile();

private:
    void watchCoefEdits();
    QString clampedCoefNames() const;
    void showConfig();
    void showRecord(const QByteArray& record);
    // The record a write sends: the bytes last shown, with the group's values.
    QByteArray pageRecord() const;
    void statusReceived();
    void tabEntered(int index, bool autoUpdate);

    ViewContext ctx;
    // Program the device type list was filled for on this connection; -1: none yet.
    int typeListMode = -1;
    // One bit per factory coefficient whose box shows a clamped value.
    uint32_t clampedCoefs = 0;
    // One bit per coefficient whose box still shows the value read or loaded:
    // it goes back with that value's exact bytes, not the box's six decimals.
    uint32_t exactCoefs = 0;
    // The record last shown (read or loaded); empty before either.
    QByteArray shownRecord;
    WidgetLock runLock;
};
