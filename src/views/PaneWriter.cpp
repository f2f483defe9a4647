#include "PaneWriter.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

PaneWriter::PaneWriter(QPlainTextEdit* pane, QObject* parent) : QObject(parent), pane(pane)
{
    // A log is not edited: an undo history would keep every line ever written.
    pane->document()->setUndoRedoEnabled(false);
    pane->installEventFilter(this);
    flushTimer.setSingleShot(true);
    connect(&flushTimer, &QTimer::timeout, this, &PaneWriter::flushWhenShown);
}

void PaneWriter::append(const QString& line)
{
    pending << line;
    if (onHiddenTab()) {
        keepForShow();
        return;
    }
    if (pending.size() >= kMaxPending) {
        flush();
        return;
    }
    const qint64 since = sinceFlush();
    // A due batch waits a moment rather than following at once: the line
    // may come from a request, whose reply the batch would hold up; the
    // reply's turn then writes it (flushAfterReply). The timer alone writes
    // the last lines once no more follow.
    if (since >= kFlushMs)
        flushSoon(kSettleMs);
    else if (!flushTimer.isActive())
        flushTimer.start(static_cast<int>(2 * kFlushMs - since));
}

void PaneWriter::flushAfterReply()
{
    if (!pending.isEmpty() && sinceFlush() >= kFlushMs && !onHiddenTab())
        flushSoon(0);
}

qint64 PaneWriter::sinceFlush() const
{
    return lastFlush.isValid() ? lastFlush.elapsed() : kFlushMs;
}

void PaneWriter::flushSoon(int ms)
{
    if (!flushTimer.isActive() || flushTimer.remainingTime() > ms)
        flushTimer.start(ms);
}

bool PaneWriter::onHiddenTab() const
{
    return pane->window()->isVisible() && !pane->isVisible();
}

void PaneWriter::flushWhenShown()
{
    if (onHiddenTab())
        keepForShow();
    else
        flush();
}

void PaneWriter::keepForShow()
{
    // Only the latest kMaxLines can survive the bound anyway; they are cut
    // in batches, not line by line.
    flushTimer.stop();
    if (pending.size() > kMaxLines + kMaxPending)
        pending.erase(pending.begin(), pending.end() - kMaxLines);
}

bool PaneWriter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && !pending.isEmpty())
        flushTimer.start(0);
    return QObject::eventFilter(watched, event);
}

void PaneWriter::flush()
{
    flushTimer.stop();
    if (pending.isEmpty())
        return;
    lastFlush.start();
    if (pending.size() > kMaxLines)
        pending.erase(pending.begin(), pending.end() - kMaxLines);
    pane->appendPlainText(pending.join(QLatin1Char('\n')));
    pending.clear();
    dropOldestLines();
}

void PaneWriter::dropOldestLines()
{
    // The pane's own bound lays out every line it removes; cutting the
    // oldest lines as one range by position does not.
    QTextDocument* doc = pane->document();
    const int excess = doc->blockCount() - kMaxLines;
    if (excess <= 0)
        return;
    QTextCursor cut(doc);
    cut.setPosition(doc->findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
}

void PaneWriter::clear()
{
    flushTimer.stop();
    pending.clear();
    pane->clear();
}
