#include "ArchiveChart.h"

#include <QListWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "LittleEndian.h"
#include "MeasurementChannels.h"
#include "Records.h"
#include "SeriesChart.h"

namespace {
constexpr int kFirstShown = 1;   // the first voltage channel is ticked at the start
} // namespace

ArchiveChart::ArchiveChart(QListWidget* channels, QWidget* area, QObject* parent)
    : QObject(parent), list(channels), chart(new SeriesChart(QStringLiteral("Время от начала записи, с"), area))
{
    chart->setObjectName(QStringLiteral("archive_chart"));
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(chart);
    const auto& all = MeasurementChannels::record();
    for (size_t i = 0; i < all.size(); ++i) {
        auto* item = new QListWidgetItem(all[i].title(), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(int(i) == kFirstShown ? Qt::Checked : Qt::Unchecked);
    }
    connect(list, &QListWidget::itemChanged, this, &ArchiveChart::redraw);
    redraw();
}

void ArchiveChart::show(const uint8_t* first, uint32_t count, const QDateTime& startStamp)
{
    records = QByteArray(reinterpret_cast<const char*>(first), int(count * rec::archive::kRecordSize));
    start = startStamp;
    chart->setXTitle(QStringLiteral("Время, с от начала записи %1").arg(start.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"))));
    redraw();
}

void ArchiveChart::redraw()
{
    const auto& all = MeasurementChannels::record();
    QStringList names;
    QVector<int> shown;
    for (int i = 0; i < list->count() && i < int(all.size()); ++i)
        if (list->item(i)->checkState() == Qt::Checked) {
            names << all[size_t(i)].title();
            shown << i;
        }
    chart->setLines(names);

    const auto* r = reinterpret_cast<const uint8_t*>(records.constData());
    const uint32_t count = uint32_t(records.size()) / rec::archive::kRecordSize;
    const uint32_t t0 = count > 0 ? le::u32(r + rec::meas::kRunTime) : 0;
    double last = 0;
    for (int line = 0; line < shown.size(); ++line) {
        const MeasurementChannels::Channel& c = all[size_t(shown[line])];
        QVector<QPointF> points;
        for (uint32_t k = 0; k < count; ++k) {
            const uint8_t* one = r + k * rec::archive::kRecordSize;
            if (!c.presentIn(one, rec::meas::kAnswerBits))
                continue;
            // Wraps like the board's counter, as the table's times do.
            const double seconds = (le::u32(one + rec::meas::kRunTime) - t0) / 1000.0;
            points << QPointF(seconds, c.read(one));
            last = std::max(last, seconds);
        }
        chart->setPoints(line, points);
    }
    chart->setXRange(0, last);
    chart->fitY();
}
