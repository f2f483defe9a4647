#include "BackupFile.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "BoardText.h"
#include "Crc16.h"
#include "RecordFields.h"
#include "Records.h"

#ifndef RCONF_VERSION
#define RCONF_VERSION "unknown"
#endif

namespace {

const QString kFormat = QStringLiteral("rconf-backup");

QString crcText(const QByteArray& bytes)
{
    const uint16_t crc = Crc16().calc(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                      static_cast<uint16_t>(bytes.size()));
    return QStringLiteral("%1").arg(crc, 4, 16, QLatin1Char('0'));
}

QJsonObject recordJson(const QByteArray& bytes, const std::vector<RecordFields::Field>& fields)
{
    return {{QStringLiteral("size"), bytes.size()},
            {QStringLiteral("crc16"), crcText(bytes)},
            {QStringLiteral("hex"), QString::fromLatin1(bytes.toHex())},
            {QStringLiteral("fields"), RecordFields::toJson(fields, bytes)}};
}

bool isHex(const QString& text)
{
    for (const QChar c : text)
        if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            return false;
    return text.size() % 2 == 0;
}

// One record, when the file holds it: of the given size, its bytes matching
// its CRC and its named fields (where given) matching its bytes.
bool readRecord(const QJsonObject& records, const QString& name, int size,
                const std::vector<RecordFields::Field>& fields, QByteArray* out, QString* error)
{
    out->clear();
    if (!records.contains(name))
        return true;
    const QJsonObject r = records.value(name).toObject();
    const QString hex = r.value(QStringLiteral("hex")).toString();
    if (!isHex(hex)) {
        *error = QStringLiteral("запись %1: нет байтов в шестнадцатеричном виде").arg(name);
        return false;
    }
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    if (bytes.size() != size || r.value(QStringLiteral("size")).toInt(-1) != size) {
        *error = QStringLiteral("запись %1: %2 байт, а должно быть %3").arg(name).arg(bytes.size()).arg(size);
        return false;
    }
    if (r.value(QStringLiteral("crc16")).toString().toLower() != crcText(bytes)) {
        *error = QStringLiteral("запись %1: контрольная сумма не совпадает, файл повреждён").arg(name);
        return false;
    }
    const QString differs = RecordFields::firstMismatch(fields, bytes, r.value(QStringLiteral("fields")).toObject());
    if (!differs.isEmpty()) {
        *error = QStringLiteral("запись %1: поле %2 не совпадает с байтами записи, файл повреждён").arg(name, differs);
        return false;
    }
    *out = bytes;
    return true;
}

} // namespace

int BackupFile::userDataSize(uint8_t devType)
{
    switch (devType) {
    case 1: return rec::user::kPhysicsSize;
    case 2: return rec::user::kChemistrySize;
    case 4: return rec::user::kBiologySize;
    default: return 0;
    }
}

QString BackupFile::toolName(const QString& program)
{
    return program + QStringLiteral(" ") + QStringLiteral(RCONF_VERSION);
}

QByteArray BackupFile::toJson() const
{
    DevInfo info;
    info.progMode = progMode;
    info.devType = devType;
    QJsonObject records;
    if (!hwConfig.isEmpty())
        records.insert(QStringLiteral("hwConfig"), recordJson(hwConfig, RecordFields::hwConfig()));
    if (!fwConfig.isEmpty())
        records.insert(QStringLiteral("fwConfig"), recordJson(fwConfig, RecordFields::fwConfig()));
    if (!userData.isEmpty())
        records.insert(QStringLiteral("userData"), recordJson(userData, RecordFields::userData(devType)));
    const QJsonObject board{{QStringLiteral("family"), BoardText::familyKey(progMode)},
                            {QStringLiteral("familyCode"), family},
                            {QStringLiteral("devType"), devType},
                            {QStringLiteral("typeName"), BoardText::typeName(info)},
                            {QStringLiteral("serialNumber"), static_cast<qint64>(serialNumber)},
                            {QStringLiteral("serialValid"), serialValid},
                            {QStringLiteral("program"), BoardText::isBootloader(progMode) ? QStringLiteral("bootloader")
                                                                                        : QStringLiteral("main")},
                            {QStringLiteral("port"), port}};
    const QJsonObject root{{QStringLiteral("format"), kFormat},
                           {QStringLiteral("version"), kVersion},
                           {QStringLiteral("tool"), tool},
                           {QStringLiteral("created"), created.toString(Qt::ISODate)},
                           {QStringLiteral("board"), board},
                           {QStringLiteral("records"), records}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool BackupFile::fromJson(const QByteArray& text, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (!doc.isObject()) {
        *error = QStringLiteral("не JSON: ") + parseError.errorString();
        return false;
    }
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat) {
        *error = QStringLiteral("это не резервная копия rconf (нет \"format\": \"rconf-backup\")");
        return false;
    }
    const int version = root.value(QStringLiteral("version")).toInt(0);
    if (version != kVersion) {
        *error = version > kVersion
                     ? QStringLiteral("файл записан более новой версией программы (формат версии %1, эта программа "
                                      "читает версию %2)").arg(version).arg(kVersion)
                     : QStringLiteral("версия формата %1 не поддерживается (поддерживается %2)").arg(version).arg(kVersion);
        return false;
    }
    const QJsonObject board = root.value(QStringLiteral("board")).toObject();
    const int familyCode = board.value(QStringLiteral("familyCode")).toInt(-1);
    const int type = board.value(QStringLiteral("devType")).toInt(-1);
    const qint64 serial = board.value(QStringLiteral("serialNumber")).toVariant().toLongLong();
    if (familyCode < 0 || familyCode > 1 || type < 0 || type > 255 || serial < 0 || serial > 0xFFFFFFFFLL) {
        *error = QStringLiteral("нет или неверны данные платы (familyCode, devType, serialNumber)");
        return false;
    }

    // Read into a scratch copy: a refused file leaves this one as it was.
    BackupFile f;
    f.family = static_cast<uint8_t>(familyCode);
    f.devType = static_cast<uint8_t>(type);
    f.serialNumber = static_cast<uint32_t>(serial);
    f.serialValid = board.value(QStringLiteral("serialValid")).toBool();
    f.progMode = static_cast<uint8_t>(f.family * 10 + (board.value(QStringLiteral("program")).toString() == QLatin1String("main")));
    f.port = board.value(QStringLiteral("port")).toString();
    f.tool = root.value(QStringLiteral("tool")).toString();
    f.created = QDateTime::fromString(root.value(QStringLiteral("created")).toString(), Qt::ISODate);

    const QJsonObject records = root.value(QStringLiteral("records")).toObject();
    const int userSize = f.family == 0 ? userDataSize(f.devType) : 0;
    if (records.contains(QStringLiteral("userData")) && userSize == 0) {
        *error = QStringLiteral("пользовательские калибровки для платы без них (тип %1)").arg(f.devType);
        return false;
    }
    if (!readRecord(records, QStringLiteral("hwConfig"), rec::hwcfg::kSize, RecordFields::hwConfig(), &f.hwConfig, error) ||
        !readRecord(records, QStringLiteral("fwConfig"), rec::fwcfg::kSize, RecordFields::fwConfig(), &f.fwConfig, error) ||
        !readRecord(records, QStringLiteral("userData"), userSize, RecordFields::userData(f.devType), &f.userData, error))
        return false;
    if (f.hwConfig.isEmpty() && f.userData.isEmpty()) {
        *error = QStringLiteral("в файле нет ни аппаратной конфигурации, ни пользовательских калибровок");
        return false;
    }
    *this = f;
    return true;
}
