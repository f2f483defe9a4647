#include "ArchiveJob.h"

#include <QSaveFile>

#include <algorithm>

#include "ArchiveCsv.h"
#include "BoardText.h"
#include "Records.h"

ArchiveJob::ArchiveJob(BoardSession* session, const QString& csvPath) : BoardJob(session), path(csvPath) {}

void ArchiveJob::start()
{
    s.connectBoard([this] {
        if (BoardText::isBootloader(s.status().progMode)) {
            s.fail(QStringLiteral("Команда запуска и чтения статуса архива недоступна в режиме бутлоадера: запустите "
                                  "основную программу"));
            return;
        }
        s.setStage(QStringLiteral("запрос статуса архива"));
        s.ask(rec::cmd::archiveControl, QByteArray(), [this] { checkStatus(); });
    });
}

void ArchiveJob::checkStatus()
{
    using namespace rec::archive;
    const uint8_t* status = s.engine().archiveStatusRecord();
    if (status[kCount] == 0) {
        s.fail(QStringLiteral("Нет информации для загрузки"));
        return;
    }
    if (status[kState] == 1) {
        s.fail(QStringLiteral("Дождитесь окончания записи архива"));
        return;
    }
    // The board counts in a byte; the engine keeps at most 100 records.
    total = std::min<uint32_t>(status[kCount], kMaxRecords);
    if (status[kCount] > total)
        s.report() << QStringLiteral("Архив: на плате %1 записей, загружаются первые %2").arg(status[kCount]).arg(total);
    loaded = 0;
    loadChunk();
}

void ArchiveJob::loadChunk()
{
    chunk = std::min(total - loaded, rec::archive::kMaxChunk);
    s.setStage(QStringLiteral("загрузка архива"), static_cast<int>(loaded * 100 / total));
    const char request[2] = {static_cast<char>(loaded), static_cast<char>(chunk)};
    s.ask(rec::cmd::archiveData, QByteArray(request, 2), [this] {
        // A late reply for another chunk (a repeated request answered twice)
        // carries other records: this chunk is asked for again.
        if (s.engine().lastArchiveAddress() != static_cast<uint8_t>(loaded)) {
            if (++wrongChunks > 3) {
                s.fail(QStringLiteral("Плата отвечает не на тот блок архива"));
                return;
            }
            loadChunk();
            return;
        }
        loaded += chunk;
        if (loaded < total)
            loadChunk();
        else
            save();
    });
}

void ArchiveJob::save()
{
    const uint8_t* status = s.engine().archiveStatusRecord();
    QDateTime start = ArchiveCsv::startStamp(status);
    if (!start.isValid())
        start = QDateTime::currentDateTime();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(ArchiveCsv::build(s.engine().archiveRecords(), total, start)) < 0 || !file.commit()) {
        s.fail(QStringLiteral("Не удалось записать файл %1: %2").arg(path, file.errorString()));
        return;
    }
    s.details().insert(QStringLiteral("file"), path);
    s.details().insert(QStringLiteral("records"), static_cast<int>(total));
    s.setStage(QStringLiteral("загрузка архива"), 100);
    s.succeed(QStringLiteral("Загружено записей: %1, файл %2").arg(total).arg(path));
}
