#pragma once
#include <QDateTime>
#include <QObject>

#include <cstdint>
#include <functional>

#include "LogStamp.h"
#include "PaneWriter.h"
#include "ViewContext.h"

class QCheckBox;

// The log pane and the exchange pane beside the tabs: every line stamped
// with the local time, nothing written while "hide log" is ticked.
class LogPanes : public QObject
{
    Q_OBJECT
public:
    LogPanes(const ViewContext& ctx, QObject* parent = nullptr);

    void log(const QString& text);
    // One frame as hex bytes; dir: 1 request, 0 reply.
    void exchange(const uint8_t* data, uint32_t size, uint8_t dir);
    // Empties both panes, lines still waiting included.
    void clear();
    void flush();
    // A reply's work is done: due batches are written at the next turn.
    void flushAfterReply();
    // Stamps from this clock instead of the system's (tests); empty: the system's.
    void setClock(std::function<QDateTime()> c) { clock = std::move(c); }

private:
    QString stamp(int room);

    ViewContext ctx;
    QCheckBox* hide;
    PaneWriter logPane;
    PaneWriter exchangePane;
    LogStamp systemStamp;
    std::function<QDateTime()> clock;
};
