#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

class QPlainTextEdit;

// Appends lines to a text pane in batches and keeps only the latest lines,
// so logging every frame at the fastest polling neither slows the window
// nor grows without bound. Lines, their order and their text are unchanged.
// A visible pane lays out the lines it shows on every append, however many
// were added; batches are therefore at least kFlushMs apart. While replies
// come in, a due batch is written in the turn after a reply's work, where
// the next poll request is already timed and no reply is awaited; a line
// after a quiet spell shows within kSettleMs, and the last lines of a burst
// at most 2 x kFlushMs later. A pane on a tab the user is not looking at
// gets its lines when the tab is shown.
class PaneWriter : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxLines = 50000;
    static constexpr int kFlushMs = 500;
    static constexpr int kSettleMs = 20;
    static constexpr int kMaxPending = 2000;

    explicit PaneWriter(QPlainTextEdit* pane, QObject* parent = nullptr);
    void append(const QString& line);
    // A reply has been handled: a due batch is written at the next turn.
    void flushAfterReply();
    // Writes every waiting line now, shown or not.
    void flush();
    void clear();
    int pendingCount() const { return pending.size(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void flushWhenShown();
    void keepForShow();
    bool onHiddenTab() const;
    qint64 sinceFlush() const;
    void flushSoon(int ms);
    void dropOldestLines();

    QPlainTextEdit* pane;
    QStringList pending;
    QTimer flushTimer;
    QElapsedTimer lastFlush;
};
