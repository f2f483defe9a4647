#pragma once
#include <initializer_list>
#include <utility>
#include <vector>

class QWidget;

// Turns a set of widgets off while something runs and gives each back
// exactly the state it had before (a widget already off stays off).
class WidgetLock
{
public:
    WidgetLock(std::initializer_list<QWidget*> widgets) : widgets(widgets) {}

    // Repeated calls with the same state change nothing.
    void setLocked(bool locked);

private:
    std::vector<QWidget*> widgets;
    std::vector<std::pair<QWidget*, bool>> saved;   // empty unless locked
};
