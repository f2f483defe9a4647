#include "BoardCopies.h"

#include "BackupFile.h"
#include "LittleEndian.h"
#include "Records.h"
#include "proto_Vorlen_v2.h"

namespace {
constexpr uint8_t kLaboratoryMain = 1;
} // namespace

BoardCopies::BoardCopies(proto_Vorlen_v2* e, QObject* parent) : QObject(parent), engine(e)
{
    connect(engine, &proto_Vorlen_v2::cmd_hwConfig_readed, this,
            [this] { keep(HwConfig, engine->hwConfigRecord(), rec::hwcfg::kSize); });
    connect(engine, &proto_Vorlen_v2::cmd_fwConfig_updated, this,
            [this] { keep(FwConfig, engine->fwConfigRecord(), rec::fwcfg::kSize); });
    connect(engine, &proto_Vorlen_v2::cmd_userData_readed, this, [this](uint32_t size) {
        const uint8_t type = engine->deviceInfo().devType;
        const int wanted = BackupFile::userDataSize(type);
        // A short block would pass stale bytes off as the board's.
        if (engine->deviceInfo().progMode != kLaboratoryMain || wanted == 0 || size < uint32_t(wanted))
            return;
        userType = type;
        keep(UserData, engine->userDataRecord(), wanted);
    });
}

void BoardCopies::keep(Record r, const uint8_t* data, int size)
{
    kept[r] = QByteArray(reinterpret_cast<const char*>(data), size);
    session[r] = engine->boardSession();
}

bool BoardCopies::has(Record r) const
{
    if (session[r] != int64_t(engine->boardSession()) || kept[r].isEmpty())
        return false;
    return r != UserData || userType == engine->deviceInfo().devType;
}

QList<BoardCopies::Record> BoardCopies::readable() const
{
    const DevInfo& info = engine->deviceInfo();
    QList<Record> out{FwConfig, HwConfig};
    if (info.progMode == kLaboratoryMain && BackupFile::userDataSize(info.devType) > 0)
        out << UserData;
    return out;
}

uint8_t BoardCopies::readCode(Record r)
{
    switch (r) {
    case HwConfig: return rec::cmd::getHwConfig;
    case FwConfig: return rec::cmd::getFwConfig;
    default: return rec::cmd::getUserData;
    }
}

QString BoardCopies::name(Record r)
{
    switch (r) {
    case HwConfig: return QStringLiteral("аппаратная конфигурация");
    case FwConfig: return QStringLiteral("конфигурация прошивки");
    default: return QStringLiteral("пользовательские калибровки");
    }
}

BackupFile BoardCopies::backup(const QString& tool) const
{
    const DevInfo& info = engine->deviceInfo();
    BackupFile f;
    f.family = info.progMode / 10;
    f.devType = info.devType;
    f.progMode = info.progMode;
    f.tool = tool;
    f.created = QDateTime::currentDateTime();
    if (has(FwConfig)) {
        f.fwConfig = kept[FwConfig];
        f.serialNumber = le::u32(reinterpret_cast<const uint8_t*>(f.fwConfig.constData()) + rec::fwcfg::kSerialNumber);
        f.serialValid = info.flags & 0x01;
    }
    if (has(HwConfig))
        f.hwConfig = kept[HwConfig];
    if (has(UserData))
        f.userData = kept[UserData];
    return f;
}
