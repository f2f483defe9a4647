#include "LogStamp.h"

#include <QDate>
#include <QDateTime>

namespace {

constexpr qint64 kMinuteMs = 60000;
constexpr qint64 kDayMs = 86400000;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

} // namespace

QString LogStamp::now(int room)
{
    return at(QDateTime::currentMSecsSinceEpoch(), room);
}

QString LogStamp::at(qint64 utcMs, int room)
{
    const qint64 minute = floorDiv(utcMs, kMinuteMs);
    if (minute != offsetMinute) {
        offsetMinute = minute;
        offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc()) * 1000;
    }
    const qint64 localMs = utcMs + offsetMs;
    const qint64 localDay = floorDiv(localMs, kDayMs);
    if (localDay != day) {
        day = localDay;
        dateText = QDate(1970, 1, 1).addDays(localDay).toString(QStringLiteral("yyyy.MM.dd "));
    }
    const int ms = static_cast<int>(localMs - localDay * kDayMs);
    // "hh:mm:ss.zzz "
    const int datePart = dateText.size();
    QString stamp;
    stamp.reserve(datePart + 13 + room);
    stamp += dateText;
    stamp.resize(datePart + 13);
    QChar* out = stamp.data() + datePart;
    putDigits(out, ms / 3600000, 2);
    out[2] = QLatin1Char(':');
    putDigits(out + 3, ms / 60000 % 60, 2);
    out[5] = QLatin1Char(':');
    putDigits(out + 6, ms / 1000 % 60, 2);
    out[8] = QLatin1Char('.');
    putDigits(out + 9, ms % 1000, 3);
    out[12] = QLatin1Char(' ');
    return stamp;
}

void LogStamp::putDigits(QChar* out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        out[i] = QLatin1Char(char('0' + value % 10));
}
