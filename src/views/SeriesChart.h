#pragma once
#include <QPointF>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <memory>

// A line chart (Qt Charts) of named lines against one value axis: the
// archive's channels against record time, the live data against the last
// seconds. It draws exactly the points it is given.
class SeriesChart : public QWidget
{
    Q_OBJECT
public:
    SeriesChart(const QString& xTitle, QWidget* parent = nullptr);
    ~SeriesChart() override;

    // One line per name, each empty; the old lines go.
    void setLines(const QStringList& names);
    void setPoints(int line, const QVector<QPointF>& points);
    // tickEvery > 0: a tick at each multiple of it; else ticks at round numbers of the range.
    void setXRange(double from, double to, double tickEvery = 0);
    void setXTitle(const QString& title);
    // The value axis spans every point shown, with a little room.
    void fitY();

    int lineCount() const;
    QString lineName(int line) const;
    QVector<QPointF> points(int line) const;

private:
    struct Parts;
    std::unique_ptr<Parts> d;
};
