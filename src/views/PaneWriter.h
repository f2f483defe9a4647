#pragma once
#include <QObject>
#include <QStringList>
#include <QTimer>

class QPlainTextEdit;

// Appends lines to a text pane in batches and keeps only the latest lines,
// so logging every frame at the fastest polling neither slows the window
// nor grows without bound. Lines, their order and their text are unchanged.
class PaneWriter : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxLines = 50000;
    static constexpr int kFlushMs = 50;
    static constexpr int kMaxPending = 500;

    explicit PaneWriter(QPlainTextEdit* pane, QObject* parent = nullptr);
    void append(const QString& line);
    void flush();
    void clear();
    int pendingCount() const { return pending.size(); }

private:
    QPlainTextEdit* pane;
    QStringList pending;
    QTimer flushTimer;
};
