#include "RefreshThrottle.h"

RefreshThrottle::RefreshThrottle(std::function<void()> show, QObject* parent)
    : QObject(parent), show(std::move(show))
{
    pending.setSingleShot(true);
    connect(&pending, &QTimer::timeout, this, &RefreshThrottle::showNow);
}

void RefreshThrottle::request()
{
    const qint64 since = lastShown.isValid() ? lastShown.elapsed() : kPeriodMs;
    if (since >= kPeriodMs) {
        showNow();
        return;
    }
    // While records keep coming, the first one after the period is shown in
    // its own turn, right after its reply, where it delays no request. The
    // timer only shows the last record once they stop.
    if (!pending.isActive())
        pending.start(static_cast<int>(2 * kPeriodMs - since));
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
