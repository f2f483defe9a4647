#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QPointF>
#include <QTimer>
#include <QVector>

#include <cstdint>
#include <vector>

class QCheckBox;
class QWidget;
class SeriesChart;

// The live data page's rolling chart, in a window of its own beside the
// page: the last 60 s of the values ticked there, taken from the raw data
// replies. A reply only adds buffered points (at most one every 50 ms); the
// chart is redrawn from the buffer 4 times a second, never per reply. Closed,
// or with nothing ticked, it keeps nothing and runs no timer.
class LiveChart : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSpanMs = 60000;
    static constexpr int kRedrawMs = 250;
    static constexpr int kStepMs = 50;

    explicit LiveChart(QWidget* owner, QObject* parent = nullptr);

    // Opens or closes the chart's window (made on first opening).
    void setShown(bool on);
    // A raw data packet arrived.
    void sample(const uint8_t* raw)
    {
        if (active)
            keep(raw);
    }

signals:
    // The user closed the window.
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void keep(const uint8_t* raw);
    void choiceChanged();
    void updateActive();
    void redraw();

    QWidget* owner;
    QWidget* window = nullptr;
    SeriesChart* chart = nullptr;
    std::vector<QCheckBox*> boxes;
    std::vector<int> chosen;                 // channel of each line
    std::vector<QVector<QPointF>> buffers;   // points of each line, oldest first
    QElapsedTimer clock;                     // when each point was kept; shown as seconds before the last
    qint64 lastKeptMs = 0;
    bool shown = false;
    bool active = false;
    bool dirty = false;
    QTimer redrawTimer;
};
