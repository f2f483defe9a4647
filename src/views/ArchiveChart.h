#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <cstdint>

class QListWidget;
class QWidget;
class SeriesChart;

// The archive page's chart: the channels ticked in the list against the
// time since the first record, for the records last loaded into the table.
// A record without a sensor adds no point to that sensor's line.
class ArchiveChart : public QObject
{
    Q_OBJECT
public:
    // The chart fills `area`; `channels` lists the record's numeric channels.
    ArchiveChart(QListWidget* channels, QWidget* area, QObject* parent = nullptr);

    // count records of 64 bytes, the first one taken at start.
    void show(const uint8_t* records, uint32_t count, const QDateTime& start);

private:
    void redraw();

    QListWidget* list;
    SeriesChart* chart;
    QByteArray records;   // a copy: the engine's archive may be reloaded meanwhile
    QDateTime start;
};
