#include "PaneWriter.h"

#include <QPlainTextEdit>

PaneWriter::PaneWriter(QPlainTextEdit* pane, QObject* parent) : QObject(parent), pane(pane)
{
    pane->setMaximumBlockCount(kMaxLines);
    flushTimer.setSingleShot(true);
    flushTimer.setInterval(kFlushMs);
    connect(&flushTimer, &QTimer::timeout, this, &PaneWriter::flush);
}

void PaneWriter::append(const QString& line)
{
    pending << line;
    if (pending.size() >= kMaxPending)
        flush();
    else if (!flushTimer.isActive())
        flushTimer.start();
}

void PaneWriter::flush()
{
    flushTimer.stop();
    if (pending.isEmpty())
        return;
    // Only the latest kMaxLines can survive the bound anyway.
    if (pending.size() > kMaxLines)
        pending.erase(pending.begin(), pending.end() - kMaxLines);
    pane->appendPlainText(pending.join(QLatin1Char('\n')));
    pending.clear();
}

void PaneWriter::clear()
{
    flushTimer.stop();
    pending.clear();
    pane->clear();
}
