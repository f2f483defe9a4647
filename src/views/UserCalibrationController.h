#pragma once
#include <QByteArray>
#include <QObject>

#include <cstdint>

#include "ViewContext.h"

// The user calibrations tab: reading and writing the block of the board's
// laboratory type, each page's defaults, and saving the block to a file and
// loading it back. Only the page of the board's own type is usable, and only
// while its main program runs.
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
    void saveToFile();
    void loadFromFile();

private:
    void showBlock(uint32_t readedSize);
    void showFields(const QByteArray& block);
    // The block a write sends: the bytes last shown, with the page's values.
    QByteArray pageBlock() const;
    void watchEdits();
    void enableOwnPage();

    ViewContext ctx;
    // The block last shown (read or loaded); empty before either.
    QByteArray shownBlock;
    // Offsets (bits) of coefficients whose box still shows the value read or
    // loaded: they go back with that value's exact bytes.
    uint64_t exactFields = 0;
};
