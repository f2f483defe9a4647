#include "LiveChart.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QVBoxLayout>

#include <algorithm>

#include "MeasurementChannels.h"
#include "SeriesChart.h"

namespace {
constexpr int kBoxColumns = 4;
constexpr int kFirstShown = 0;   // the first voltage channel is ticked at the start
constexpr double kTickSeconds = 10;
} // namespace

LiveChart::LiveChart(QWidget* ownerWidget, QObject* parent) : QObject(parent), owner(ownerWidget)
{
    redrawTimer.setInterval(kRedrawMs);
    connect(&redrawTimer, &QTimer::timeout, this, &LiveChart::redraw);
}

void LiveChart::build()
{
    // A window of its own: the page's fixed layout has no room for a chart.
    window = new QWidget(owner, Qt::Window);
    window->setObjectName(QStringLiteral("data_chart_Window"));
    window->setWindowTitle(QStringLiteral("График данных платы (последние 60 с)"));
    window->resize(900, 520);
    window->installEventFilter(this);
    auto* boxGrid = new QGridLayout;
    const auto& all = MeasurementChannels::raw();
    for (size_t i = 0; i < all.size(); ++i) {
        auto* box = new QCheckBox(all[i].title(), window);
        box->setObjectName(QStringLiteral("data_chart_channel_%1").arg(i));
        box->setChecked(int(i) == kFirstShown);
        connect(box, &QCheckBox::toggled, this, &LiveChart::choiceChanged);
        boxGrid->addWidget(box, int(i) / kBoxColumns, int(i) % kBoxColumns);
        boxes.push_back(box);
    }
    chart = new SeriesChart(QStringLiteral("Время, с (0 — последний ответ)"), window);
    chart->setObjectName(QStringLiteral("data_chart"));
    // A fixed axis, the points moved along it: a moving range would lay the axis out anew at every redraw.
    chart->setXRange(-kSpanMs / 1000.0, 0, kTickSeconds);
    auto* layout = new QVBoxLayout(window);
    layout->addLayout(boxGrid);
    layout->addWidget(chart, 1);
    clock.start();
    choiceChanged();
}

void LiveChart::setShown(bool on)
{
    if (on && !window)
        build();
    shown = on;
    if (window)
        window->setVisible(on);
    updateActive();
}

bool LiveChart::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window && event->type() == QEvent::Close) {
        shown = false;
        updateActive();
        emit closed();
    }
    return QObject::eventFilter(watched, event);
}

void LiveChart::choiceChanged()
{
    const auto& all = MeasurementChannels::raw();
    chosen.clear();
    QStringList names;
    for (size_t i = 0; i < boxes.size(); ++i)
        if (boxes[i]->isChecked()) {
            chosen.push_back(int(i));
            names << all[i].title();
        }
    // Lines start empty: a line's points are all of one channel.
    buffers.assign(chosen.size(), QVector<QPointF>());
    chart->setLines(names);
    updateActive();
}

void LiveChart::updateActive()
{
    active = shown && !chosen.empty();
    if (active && !redrawTimer.isActive())
        redrawTimer.start();
    if (!active) {
        redrawTimer.stop();
        // Nothing is kept while closed: the next opening starts afresh.
        for (QVector<QPointF>& b : buffers)
            b.clear();
    }
}

void LiveChart::keep(const uint8_t* raw)
{
    const qint64 now = clock.elapsed();
    if (now - lastKeptMs < kStepMs && !buffers.front().isEmpty())
        return;
    lastKeptMs = now;
    const double x = now / 1000.0;
    const auto& all = MeasurementChannels::raw();
    for (size_t line = 0; line < chosen.size(); ++line)
        buffers[line].append(QPointF(x, all[size_t(chosen[line])].read(raw)));
    dirty = true;
}

void LiveChart::redraw()
{
    if (!dirty)
        return;
    dirty = false;
    const double now = buffers.front().isEmpty() ? 0 : buffers.front().last().x();
    const double from = now - kSpanMs / 1000.0;
    for (size_t line = 0; line < buffers.size(); ++line) {
        QVector<QPointF>& b = buffers[line];
        const auto firstKept = std::find_if(b.begin(), b.end(), [from](const QPointF& p) { return p.x() >= from; });
        b.erase(b.begin(), firstKept);
        QVector<QPointF> shown(b.size());
        for (int i = 0; i < b.size(); ++i)
            shown[i] = QPointF(b[i].x() - now, b[i].y());
        chart->setPoints(int(line), shown);
    }
    chart->fitY();
}
