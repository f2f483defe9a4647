#pragma once
#include <QObject>
#include <QTimer>

#include "LinkHealth.h"
#include "ViewContext.h"

class QLabel;

// The link's health since the port opened, in the window's status bar:
// replies, repeated requests, time-outs, checksum errors and the median
// round trip. Counting follows every reply; the label is refreshed twice a
// second at most, so fast polling costs no extra repaint.
class LinkHealthView : public QObject
{
    Q_OBJECT
public:
    LinkHealthView(const ViewContext& ctx, QObject* parent = nullptr);
    const LinkHealth& health() const { return counts; }
    QString text() const;

private:
    void refresh();

    LinkHealth counts;
    QLabel* label;
    QTimer refreshTimer;
};
