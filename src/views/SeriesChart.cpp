#include "SeriesChart.h"

#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <vector>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_USE_NAMESPACE
#endif

namespace {

QVector<QPointF> pointsOf(const QLineSeries* s)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return s->points();
#else
    return s->pointsVector();   // Qt 5's points() copies into a QList
#endif
}

} // namespace

struct SeriesChart::Parts {
    QChart* chart = nullptr;   // owned by the view
    QValueAxis* x = nullptr;
    QValueAxis* y = nullptr;
    std::vector<QLineSeries*> lines;
};

SeriesChart::SeriesChart(const QString& xTitle, QWidget* parent) : QWidget(parent), d(std::make_unique<Parts>())
{
    d->chart = new QChart;
    d->chart->legend()->setAlignment(Qt::AlignBottom);
    d->chart->setMargins(QMargins(2, 2, 2, 2));
    d->x = new QValueAxis;
    d->y = new QValueAxis;
    d->x->setTitleText(xTitle);
    d->x->setLabelFormat(QStringLiteral("%g"));
    d->y->setLabelFormat(QStringLiteral("%g"));
    // The form's small font: the chart's own is made for a chart filling a window.
    QFont small = font();
    d->chart->legend()->setFont(small);
    for (QValueAxis* axis : {d->x, d->y})
        axis->setLabelsFont(small);
    small.setBold(true);
    d->x->setTitleFont(small);
    d->chart->addAxis(d->x, Qt::AlignBottom);
    d->chart->addAxis(d->y, Qt::AlignLeft);
    auto* view = new QChartView(d->chart, this);
    view->setRenderHint(QPainter::Antialiasing, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
}

SeriesChart::~SeriesChart() = default;

void SeriesChart::setLines(const QStringList& names)
{
    for (QLineSeries* s : d->lines) {
        d->chart->removeSeries(s);
        delete s;
    }
    d->lines.clear();
    for (const QString& name : names) {
        auto* s = new QLineSeries;
        s->setName(name);
        // Drawn as one path; no per-point items, so a few thousand points stay cheap.
        s->setPointsVisible(false);
        d->chart->addSeries(s);
        s->attachAxis(d->x);
        s->attachAxis(d->y);
        d->lines.push_back(s);
    }
}

void SeriesChart::setPoints(int line, const QVector<QPointF>& points)
{
    if (line >= 0 && line < lineCount())
        d->lines[size_t(line)]->replace(points);
}

void SeriesChart::setXRange(double from, double to, double tickEvery)
{
    d->x->setRange(from, to > from ? to : from + 1);
    if (tickEvery > 0) {
        // Ticks on whole multiples stay put while the range moves.
        d->x->setTickType(QValueAxis::TicksDynamic);
        d->x->setTickAnchor(0);
        d->x->setTickInterval(tickEvery);
    } else {
        d->x->applyNiceNumbers();
    }
}

void SeriesChart::setXTitle(const QString& title)
{
    d->x->setTitleText(title);
}

void SeriesChart::fitY()
{
    bool any = false;
    double low = 0, high = 0;
    for (QLineSeries* s : d->lines) {
        for (const QPointF& p : pointsOf(s)) {
            low = any ? std::min(low, p.y()) : p.y();
            high = any ? std::max(high, p.y()) : p.y();
            any = true;
        }
    }
    if (!any) {
        d->y->setRange(0, 1);
        return;
    }
    const double room = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.05);
    d->y->setRange(low - room, high + room);
    d->y->applyNiceNumbers();
}

int SeriesChart::lineCount() const
{
    return static_cast<int>(d->lines.size());
}

QString SeriesChart::lineName(int line) const
{
    return line >= 0 && line < lineCount() ? d->lines[size_t(line)]->name() : QString();
}

QVector<QPointF> SeriesChart::points(int line) const
{
    return line >= 0 && line < lineCount() ? pointsOf(d->lines[size_t(line)]) : QVector<QPointF>();
}
