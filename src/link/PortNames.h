#pragma once
#include <QString>

// Finds the port name inside a port list entry or a typed text: "COM\d+"
// (Windows), an absolute device path (pseudo-terminals, /dev/serial/by-id
// links), or a bare Linux name such as ttyUSB0. The first match in the text wins.
namespace PortNames {

QString extract(const QString& text);
bool isAbsolutePath(const QString& name);
// True for an existing character device (links followed).
bool isTerminalDevice(const QString& path);

} // namespace PortNames
