#include "BackupJob.h"

#include <QSaveFile>

#include "BoardText.h"
#include "LittleEndian.h"
#include "Records.h"

namespace {
QByteArray bytes(const uint8_t* p, uint32_t n)
{
    return QByteArray(reinterpret_cast<const char*>(p), static_cast<int>(n));
}
} // namespace

BackupJob::BackupJob(BoardSession* session, const QString& file, const QString& toolName)
    : BoardJob(session), path(file)
{
    copy.tool = toolName;
    connect(&s.engine(), &proto_Vorlen_v2::cmd_userData_readed, this, [this](uint32_t size) { userDataRead = size; });
}

void BackupJob::start()
{
    s.connectBoard([this] {
        s.setStage(QStringLiteral("чтение конфигурации FW"), 0);
        s.ask(rec::cmd::getFwConfig, QByteArray(), [this] { readHwConfig(); });
    });
}

void BackupJob::readHwConfig()
{
    s.setStage(QStringLiteral("чтение аппаратной конфигурации"), 33);
    s.ask(rec::cmd::getHwConfig, QByteArray(), [this] {
        const DevInfo& info = s.status();
        const bool labMain = info.progMode == 1 && BackupFile::userDataSize(info.devType) > 0;
        if (labMain)
            readUserData();
        else
            save();
    });
}

void BackupJob::readUserData()
{
    s.setStage(QStringLiteral("чтение пользовательских калибровок"), 66);
    userDataRead = 0;
    s.ask(rec::cmd::getUserData, QByteArray(), [this] {
        const int size = BackupFile::userDataSize(s.status().devType);
        if (userDataRead < static_cast<uint32_t>(size)) {
            s.fail(QStringLiteral("Пользовательские калибровки: принято %1 байт вместо %2").arg(userDataRead).arg(size));
            return;
        }
        copy.userData = bytes(s.engine().userDataRecord(), static_cast<uint32_t>(size));
        save();
    });
}

void BackupJob::save()
{
    const DevInfo& info = s.status();
    proto_Vorlen_v2& engine = s.engine();
    copy.family = info.progMode / 10;
    copy.devType = info.devType;
    copy.progMode = info.progMode;
    copy.serialNumber = le::u32(engine.fwConfigRecord() + rec::fwcfg::kSerialNumber);
    copy.serialValid = info.flags & 0x01;
    copy.port = s.port();
    copy.created = QDateTime::currentDateTime();
    copy.hwConfig = bytes(engine.hwConfigRecord(), rec::hwcfg::kSize);
    copy.fwConfig = bytes(engine.fwConfigRecord(), rec::fwcfg::kSize);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(copy.toJson()) < 0 || !file.commit()) {
        s.fail(QStringLiteral("Не удалось записать файл %1: %2").arg(path, file.errorString()));
        return;
    }
    s.details().insert(QStringLiteral("file"), path);
    s.details().insert(QStringLiteral("records"), copy.userData.isEmpty() ? 2 : 3);
    s.report() << QStringLiteral("Резервная копия: %1").arg(path);
    if (copy.userData.isEmpty())
        s.report() << QStringLiteral("Пользовательские калибровки не сохранены: они читаются только в основной программе "
                                     "лаборатории по физике, химии или биологии");
    s.succeed(copy.userData.isEmpty() ? QStringLiteral("Сохранены конфигурации FW и HW")
                                      : QStringLiteral("Сохранены конфигурации FW и HW и пользовательские калибровки"));
}
