#include "RefreshThrottle.h"

RefreshThrottle::RefreshThrottle(std::function<void()> show, QObject* parent)
    : QObject(parent), show(std::move(show))
{
    pending.setSingleShot(true);
    connect(&pending, &QTimer::timeout, this, &RefreshThrottle::showNow);
}

void RefreshThrottle::request()
{
    if (pending.isActive())
        return;
    const qint64 since = lastShown.isValid() ? lastShown.elapsed() : kPeriodMs;
    if (since >= kPeriodMs)
        showNow();
    else
        pending.start(static_cast<int>(kPeriodMs - since));
}

void RefreshThrottle::flush()
{
    if (pending.isActive())
        showNow();
}

void RefreshThrottle::showNow()
{
    pending.stop();
    lastShown.start();
    show();
}
