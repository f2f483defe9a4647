#pragma once
#include <QString>

#include <functional>

class BackupGuard;
class Dialogs;
class Oru_SerialPort;
class QWidget;
class WindowEvents;
class proto_Vorlen_v2;
namespace Ui {
class MainWindow;
}

// What every tab controller is given: the form (each controller touches its
// own widgets only), the engine, the link, the shared log, the dialog seam
// and the cross-tab events.
struct ViewContext {
    Ui::MainWindow* ui = nullptr;
    QWidget* window = nullptr;          // parent of the dialogs
    proto_Vorlen_v2* proto = nullptr;
    Oru_SerialPort* link = nullptr;
    WindowEvents* events = nullptr;
    std::function<void(const QString&)> log;
    std::function<Dialogs*()> dialogs;  // the seam may be swapped after construction
    BackupGuard* backups = nullptr;     // the copy made before each write to the board
};
