#pragma once
#include <QString>

// Gives a label or button new text only when it differs from what it shows:
// an unchanged text then costs a comparison, not a layout and a repaint.
template <class Widget>
void setTextIfChanged(Widget* widget, const QString& text)
{
    if (widget->text() != text)
        widget->setText(text);
}
