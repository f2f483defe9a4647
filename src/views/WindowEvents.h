#pragma once
#include <QObject>

// Effects that cross tabs travel as these signals: a tab controller emits
// what happened to its own widgets and every other controller reacts on its
// own widgets only. Board events come from the engine's signals directly.
class WindowEvents : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void portOpened();
    void portClosed();
    // The user entered tab `index` of `cmds`; autoUpdate: the status and the
    // tab's records are asked for on entry.
    void tabEntered(int index, bool autoUpdate);
    // The log panes were cleared with the port panel's button; the AT
    // console clears its own pane with them.
    void logsCleared();
};
