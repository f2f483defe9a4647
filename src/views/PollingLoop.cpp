#include "PollingLoop.h"

#include <QComboBox>
#include <QPushButton>

#include "Records.h"
#include "WaitTimes.h"
#include "proto_Vorlen_v2.h"

namespace {
constexpr int kPeriodsMs[] = {5, 10, 25, 50, 100, 250, 500, 1000};
} // namespace

PollingLoop::PollingLoop(const ViewContext& ctx, QPushButton* button, QComboBox* period, QObject* parent)
    : QObject(parent), ctx(ctx), button(button), period(period)
{
    pollTimer.setSingleShot(true);
    watchdog.setSingleShot(true);
    connect(&pollTimer, &QTimer::timeout, this, &PollingLoop::step);
    connect(&watchdog, &QTimer::timeout, this, &PollingLoop::watchdogCheck);
}

int PollingLoop::periodMs(int index)
{
    constexpr int count = static_cast<int>(sizeof kPeriodsMs / sizeof kPeriodsMs[0]);
    return index >= 0 && index < count ? kPeriodsMs[index] : kPeriodsMs[0];
}

void PollingLoop::toggle()
{
    if (running)
        stop();
    else
        start();
}

void PollingLoop::start()
{
    running = true;
    period->setEnabled(false);
    button->setText(QStringLiteral("Остановить обмен"));
    answerCount = 0;
    ctx.log(QStringLiteral("Запуск считывания данных платы"));
    ctx.proto->sendCommand(rec::cmd::getRawData, nullptr, 0);
    // Not started here: the first reply starts the poll timer.
    pollTimer.setInterval(periodMs(period->currentIndex()));
    sinceReply.start();
    watchdog.start(WaitTimes::watchdogMs());
}

void PollingLoop::stop()
{
    running = false;
    pollTimer.stop();
    watchdog.stop();
    ctx.log(QStringLiteral("Считывание данных остановлено"));
    button->setText(QStringLiteral("Запустить обмен"));
    period->setEnabled(true);
}

void PollingLoop::step()
{
    if (!running)
        return;
    ctx.proto->sendCommand(rec::cmd::getRawData, nullptr, 0);
    pollTimer.start();
}

void PollingLoop::replyArrived()
{
    ++answerCount;
    if (!running)
        return;
    // The next request leaves one period after this reply.
    pollTimer.start();
    sinceReply.start();
}

void PollingLoop::watchdogCheck()
{
    const qint64 silent = sinceReply.elapsed();
    if (silent >= WaitTimes::watchdogMs())
        stop();
    else
        watchdog.start(static_cast<int>(WaitTimes::watchdogMs() - silent));
}
