#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "BackupReader.h"
#include "BackupStore.h"
#include "BoardCopies.h"
#include "ViewContext.h"

// Nothing is written to the board before a copy of what it holds is saved:
// the records the running program can read (read first when not read since
// the port opened) go to a new file in the backup folder, whose path is
// logged. When the copy cannot be read or saved, the write goes ahead only
// if the user says so. Without a backup folder no copy is made.
class BackupGuard : public QObject
{
    Q_OBJECT
public:
    explicit BackupGuard(const ViewContext& ctx, QObject* parent = nullptr);

    void setFolder(const QString& dir) { store.setRoot(dir); }
    const QString& folder() const { return store.root(); }
    const BoardCopies& boardCopies() const { return copies; }
    // Reading the board's records for a copy: views do not show these replies.
    bool isBusy() const { return pending != nullptr; }

    // Runs write once the copy is saved (or declined). written: the record
    // the write replaces, read again before the next copy. what: the write,
    // as the question names it ("запись аппаратной конфигурации").
    void beforeWrite(BoardCopies::Record written, const QString& what, std::function<void()> write);

private:
    void recordsRead(const QStringList& missing);
    void proceed(const QString& failure);

    ViewContext ctx;
    BoardCopies copies;
    BackupReader reader;
    BackupStore store;
    std::function<void()> pending;
    BoardCopies::Record pendingRecord = BoardCopies::HwConfig;
    QString pendingWhat;
    uint32_t pendingSession = 0;
};
