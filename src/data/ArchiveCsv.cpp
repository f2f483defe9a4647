#include "ArchiveCsv.h"

#include <QStringList>

#include "LittleEndian.h"
#include "MeasurementText.h"
#include "Records.h"

namespace ArchiveCsv {

namespace {

QString number(double v)
{
    return QString::number(v, 'g', 6).replace(QLatin1Char('.'), QLatin1Char(','));
}

const QStringList& header()
{
    static const QStringList h = {
        QStringLiteral("№"),
        QStringLiteral("Время измерения"),
        QStringLiteral("Температура АЦП, °C"),
        QStringLiteral("Напряжение, канал 0, В"),
        QStringLiteral("Напряжение, канал 1, В"),
        QStringLiteral("Напряжение, канал 2, В"),
        QStringLiteral("Напряжение, канал 3, В"),
        QStringLiteral("Акселерометр, шкала"),
        QStringLiteral("Акселерометр, ось X"),
        QStringLiteral("Акселерометр, ось Y"),
        QStringLiteral("Акселерометр, ось Z"),
        QStringLiteral("Датчик освещенности, Люкс"),
        QStringLiteral("Влажность, %RH"),
        QStringLiteral("Температура Д_влажн, °C"),
        QStringLiteral("Давление, мБар"),
        QStringLiteral("Температура Д_давл, °C"),
        QStringLiteral("Шкала кондуктометра"),
    };
    return h;
}

// The measured columns of one record, as the window's table shows them
// without their units.
QStringList values(const uint8_t* r)
{
    using namespace rec::meas;
    const QString off = QStringLiteral("Отключен");
    const uint8_t bits = r[kAnswerBits];
    QStringList t;
    t << number(le::i16(r + kAdcTemp) / 100.0) << number(le::f32(r + kVolt1)) << number(le::f32(r + kVolt2))
      << number(le::f32(r + kVolt3)) << number(le::f32(r + kVolt4));
    if (bits & kBitAccel)
        t << MeasurementText::accelScale(r[kAccScale]) << QString::number(le::i16(r + kAccX)) << QString::number(le::i16(r + kAccY))
          << QString::number(le::i16(r + kAccZ));
    else
        t << off << off << off << off;
    t << ((bits & kBitLight) ? number(le::f32(r + kLight)) : off);
    if (bits & kBitHumidity)
        t << number(le::u16(r + kHumidity) / 100.0) << number(le::i16(r + kShtTemp) / 100.0);
    else
        t << off << off;
    if (bits & kBitPressure)
        t << number(le::f32(r + kPressure)) << number(le::i16(r + kPressTemp) / 100.0);
    else
        t << off << off;
    t << MeasurementText::pullup(r[kConductCode]);
    return t;
}

QByteArray line(const QStringList& fields)
{
    return fields.join(QLatin1Char(';')).toUtf8() + "\r\n";
}

} // namespace

QDateTime startStamp(const uint8_t* s)
{
    using namespace rec::archive;
    const QDate date(2000 + s[kYear], s[kMonth], s[kDay]);
    if (!date.isValid())
        return QDateTime();
    QTime time(s[kHour], s[kMinute], s[kSecond], 0);
    return QDateTime(date, time.isValid() ? time : QTime(0, 0, 0));
}

QByteArray build(const uint8_t* records, uint32_t count, const QDateTime& start)
{
    QByteArray out("\xEF\xBB\xBF");
    out += line(header());
    const uint32_t t0 = count > 0 ? le::u32(records + rec::meas::kRunTime) : 0;
    for (uint32_t k = 0; k < count; ++k) {
        const uint8_t* r = records + k * rec::archive::kRecordSize;
        const uint32_t elapsed = le::u32(r + rec::meas::kRunTime) - t0;   // wraps like the board's counter
        QStringList row;
        row << QString::number(k + 1)
            << start.addMSecs(static_cast<qint64>(elapsed)).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss,zzz"))
            << values(r);
        out += line(row);
    }
    return out;
}

} // namespace ArchiveCsv
