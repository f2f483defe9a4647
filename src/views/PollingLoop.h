#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>

#include "ViewContext.h"

class QComboBox;
class QPushButton;

// Polls the board for its raw data record, for one page with its own start
// button and period box. The first request leaves at once; each reply sends
// the next one a period later, so requests never pile up on a slow board;
// the watchdog ends polling when replies stop. Replies are counted from the
// start of polling, and also while it is off (a page's own requests).
class PollingLoop : public QObject
{
    Q_OBJECT
public:
    PollingLoop(const ViewContext& ctx, QPushButton* button, QComboBox* period, QObject* parent = nullptr);

    // The page's start/stop button.
    void toggle();
    // A raw data reply for this page.
    void replyArrived();
    bool isRunning() const { return running; }
    uint32_t answers() const { return answerCount; }
    // The period box's items: 5 ms to 1 s.
    static int periodMs(int index);

private:
    void start();
    void stop();
    void step();
    void watchdogCheck();

    ViewContext ctx;
    QPushButton* button;
    QComboBox* period;
    bool running = false;
    uint32_t answerCount = 0;
    QTimer pollTimer;
    // Time since the last reply; the watchdog looks at it when it fires
    // rather than being restarted by every reply.
    QElapsedTimer sinceReply;
    QTimer watchdog;
};
