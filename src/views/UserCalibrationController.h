#pragma once
#include <QObject>

#include <cstdint>

#include "ViewContext.h"

// The user calibrations tab: reading and writing the block of the board's
// laboratory type, and each page's defaults. Only the page of the board's
// own type is usable, and only while its main program runs.
class UserCalibrationController : public QObject
{
    Q_OBJECT
public:
    UserCalibrationController(const ViewContext& ctx, QObject* parent = nullptr);

    void readBlock();
    void writeBlock();
    void resetPhysics();
    void resetChemistry();
    void resetBiology();

private:
    void showBlock(uint32_t readedSize);
    void enableOwnPage();

    ViewContext ctx;
};
