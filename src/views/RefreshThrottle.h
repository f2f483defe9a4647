#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Shows the latest record at most 10 times a second. Each refresh lays out
// and repaints every value label whose text changed, and at the fastest
// polling that costs more than the polling itself; a value that changes
// more often than ten times a second is past reading anyway. A record
// after a quiet spell is shown at once; of records that follow faster, the
// first one past the period is shown, and the last one at the latest a
// period later when no other follows. What is shown is read at that
// moment, so nothing is lost but intermediate values.
class RefreshThrottle : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPeriodMs = 100;

    explicit RefreshThrottle(std::function<void()> show, QObject* parent = nullptr);
    // A new record is there.
    void request();
    // A refresh still waiting is made now.
    void flush();

private:
    void showNow();

    std::function<void()> show;
    QElapsedTimer lastShown;
    QTimer pending;
};
