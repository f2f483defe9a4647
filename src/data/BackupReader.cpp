#include "BackupReader.h"

#include <QTimer>

#include "proto_Vorlen_v2.h"

BackupReader::BackupReader(proto_Vorlen_v2* e, BoardCopies* c, QObject* parent) : QObject(parent), engine(e), copies(c)
{
    connect(engine, &proto_Vorlen_v2::transactionEnded, this, &BackupReader::ended);
}

void BackupReader::start()
{
    if (running)
        return;
    running = true;
    startSession = engine->boardSession();
    todo.clear();
    for (BoardCopies::Record r : copies->readable())
        if (!copies->has(r))
            todo << r;
    // Queued: the caller sees the run start before it ends.
    QTimer::singleShot(0, this, &BackupReader::readNext);
}

void BackupReader::readNext()
{
    // The port closed meanwhile: whatever is read now comes from another board.
    if (todo.isEmpty() || engine->boardSession() != startSession) {
        finish();
        return;
    }
    const uint8_t code = BoardCopies::readCode(todo.takeFirst());
    engine->sendCommand(code, nullptr, 0);
    waiting = engine->isWaiting() && engine->pendingCommand() == code;
    // Not sent (a programming run holds the line): the record stays missing.
    if (!waiting)
        QTimer::singleShot(0, this, &BackupReader::readNext);
}

void BackupReader::ended(uint32_t)
{
    // Whatever ended it (the reply, a refusal, three lost transmissions, or
    // another request taking its place), the next record is read; one still
    // missing at the end is reported.
    if (!running || !waiting)
        return;
    waiting = false;
    QTimer::singleShot(0, this, &BackupReader::readNext);
}

void BackupReader::finish()
{
    running = false;
    QStringList missing;
    for (BoardCopies::Record r : copies->readable())
        if (!copies->has(r))
            missing << BoardCopies::name(r);
    emit finished(missing);
}
