#pragma once
#include <QString>
#include <QTime>

#include <cstdint>

// A board's run time in milliseconds as "hh:mm:ss:zzz"; a day or more is no
// time of day and shows nothing.
inline QString timeOfDayText(uint32_t ms)
{
    constexpr qint64 kDayMs = 86400000;
    if (static_cast<qint64>(ms) >= kDayMs)
        return QString();
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)).toString(QStringLiteral("hh:mm:ss:zzz"));
}
