#include "WidgetLock.h"

#include <QWidget>

void WidgetLock::setLocked(bool locked)
{
    if (locked == !saved.empty())
        return;
    if (!locked) {
        for (const auto& [w, enabled] : saved)
            w->setEnabled(enabled);
        saved.clear();
        return;
    }
    for (QWidget* w : widgets) {
        // The widget's own state, not the one inherited from a disabled parent.
        saved.emplace_back(w, !w->testAttribute(Qt::WA_ForceDisabled));
        w->setEnabled(false);
    }
}
