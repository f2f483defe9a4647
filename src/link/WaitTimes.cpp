#include "WaitTimes.h"

#include <atomic>

namespace {
std::atomic<int> waitDivisor{1};
}

void WaitTimes::setDivisor(int divisor)
{
    waitDivisor = qMax(1, divisor);
}

int WaitTimes::divisor()
{
    return waitDivisor;
}

int WaitTimes::scaled(int ms)
{
    return qMax(1, ms / waitDivisor);
}
