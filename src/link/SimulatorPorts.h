#pragma once
#include <QString>
#include <QVector>

// Discovery of running board simulators. Each simulator writes an entry file
// "<name>.port" into a per-user runtime folder: line 1 the device path (the
// link it serves), line 2 a description. The port list shows every entry
// whose device exists, so a simulated board is picked like any port.
namespace SimulatorPorts {

struct Entry {
    QString path;
    QString description;
};

// $XDG_RUNTIME_DIR/rconf-vboard, or <temp>/rconf-vboard-<uid> without it.
QString folder();
QVector<Entry> list();
// Used by the simulator; atomic (temporary file, then rename).
bool registerEntry(const QString& id, const Entry& entry);
void unregisterEntry(const QString& id);

} // namespace SimulatorPorts
