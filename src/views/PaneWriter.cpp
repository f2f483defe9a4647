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
    // The first line after the period is written at the next turn of the
    // event loop, right after the work that logged it; the timer only
    // writes the last lines once no more follow.
    const qint64 since = lastFlush.isValid() ? lastFlush.elapsed() : kFlushMs;
    if (since >= kFlushMs) {
        if (!flushTimer.isActive() || flushTimer.remainingTime() > 0)
            flushTimer.start(0);
    } else if (!flushTimer.isActive()) {
        flushTimer.start(static_cast<int>(2 * kFlushMs - since));
    }
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
