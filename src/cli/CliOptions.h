#pragma once
#include <QString>
#include <QStringList>

// One command line of rconf-cli, parsed.
struct CliOptions {
    QString command;       // list, info, flash, backup, restore, archive
    QStringList ports;     // --port, in the order given
    QString file;          // flash: the update file; restore: the backup file
    QString out;           // backup: --out; archive: --csv
    bool json = false;     // machine-readable result on standard output
    bool verbose = false;  // the engine's log lines on standard error
    bool start = false;    // flash: start the main program afterwards
    bool force = false;    // flash: older or same version; restore: another serial number
};
