#pragma once
#include <QObject>

#include "ViewContext.h"

// The board's lifetime counters («Статистика_устройства»): read, shown, and
// reset behind a check box.
class StatisticsController : public QObject
{
    Q_OBJECT
public:
    StatisticsController(const ViewContext& ctx, QObject* parent = nullptr);

    void read();
    void allowReset(bool allowed);
    void reset();

private:
    void show();
    void tabEntered(int index, bool autoUpdate);

    ViewContext ctx;
};
