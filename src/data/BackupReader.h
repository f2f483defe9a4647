#pragma once
#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>

#include "BoardCopies.h"

class proto_Vorlen_v2;

// Reads, one request at a time, the records the running program can read
// that were not read from the board since the port opened, then reports
// which of them are still missing (none: the copy is whole).
class BackupReader : public QObject
{
    Q_OBJECT
public:
    BackupReader(proto_Vorlen_v2* engine, BoardCopies* copies, QObject* parent = nullptr);

    void start();
    bool isRunning() const { return running; }

signals:
    // Names of the records that could not be read; empty when all were.
    void finished(QStringList missing);

private:
    void readNext();
    void ended(uint32_t code);
    void finish();

    proto_Vorlen_v2* engine;
    BoardCopies* copies;
    QList<BoardCopies::Record> todo;
    bool running = false;
    bool waiting = false;
    uint32_t startSession = 0;
};
