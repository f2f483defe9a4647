#pragma once
#include <QtGlobal>

// The long waits made while following a board: its reply, its restart into the
// other program, a poll that goes silent. They are the board's own timings;
// tests that do not check time itself shorten them all by one divisor, so the
// waits keep their proportions.
class WaitTimes
{
public:
    static int replyMs() { return scaled(1000); }
    // A board restarting into its other program needs this before its port is back.
    static int reconnectMs() { return scaled(2000); }
    // A slower board (or a system slow to give the device its rights) is tried
    // again this often until the limit has passed.
    static int retryMs() { return scaled(500); }
    static qint64 giveUpMs() { return scaled(10000); }
    // Polling restarts after this long without a reply: three attempts and a margin.
    static int watchdogMs() { return scaled(3500); }

    // 1 on a real bench.
    static void setDivisor(int divisor);
    static int divisor();

private:
    static int scaled(int ms);
};
