#pragma once
#include <QString>
#include <QtGlobal>

#include <limits>

// The local time stamp that starts every pane line, "yyyy.MM.dd hh:mm:ss.zzz ".
// Converting each line's time to local time makes the C library look at the
// time zone file every time; the offset from UTC is asked for once a minute
// instead (zones change their offset only on whole minutes), and the date
// text once a day.
class LogStamp
{
public:
    // The stamp, with room reserved for `room` more characters: the line
    // it starts is then built without growing it.
    QString now(int room = 0);
    // The stamp of a moment given in milliseconds since the epoch (UTC).
    QString at(qint64 utcMs, int room = 0);

private:
    static constexpr qint64 kNone = std::numeric_limits<qint64>::min();
    static void putDigits(QChar* out, int value, int width);

    qint64 offsetMinute = kNone;   // UTC minute the offset was asked for
    qint64 offsetMs = 0;
    qint64 day = kNone;            // local day the date text belongs to
    QString dateText;
};
