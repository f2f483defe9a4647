#include "PageFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "BackupStore.h"
#include "BoardCopies.h"
#include "BoardText.h"
#include "Dialogs.h"
#include "LittleEndian.h"
#include "Records.h"
#include "proto_Vorlen_v2.h"

namespace PageFile {

namespace {
const QString kFilter = QStringLiteral("Файлы данных платы (*.json)");
constexpr qint64 kMaxFileSize = 1 << 20;

QString familyName(uint8_t progMode)
{
    return progMode / 10 == 0 ? QStringLiteral("цифровая лаборатория") : QStringLiteral("фотоколориметр");
}
} // namespace

BackupFile describe(const DevInfo& info, const BoardCopies& copies)
{
    BackupFile f;
    f.family = info.progMode / 10;
    f.devType = info.devType;
    f.progMode = info.progMode;
    f.tool = BackupFile::toolName(QStringLiteral("rconf"));
    f.created = QDateTime::currentDateTime();
    if (copies.has(BoardCopies::FwConfig)) {
        f.fwConfig = copies.bytes(BoardCopies::FwConfig);
        f.serialNumber = le::u32(reinterpret_cast<const uint8_t*>(f.fwConfig.constData()) + rec::fwcfg::kSerialNumber);
        f.serialValid = info.flags & 0x01;
    }
    return f;
}

void save(const ViewContext& ctx, const BackupFile& file, const QString& kind, const QString& what)
{
    const QString suggested = QDir::home().filePath(QStringLiteral("%1-%2-%3.json")
                                                        .arg(BackupStore::boardFolderName(file), kind,
                                                             file.created.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"))));
    const QString path = ctx.dialogs()->saveFileName(ctx.window, QStringLiteral("Сохранить в файл"), suggested, kFilter);
    if (path.isEmpty())
        return;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file.toJson()) < 0 || !out.commit()) {
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                               QStringLiteral("Не удалось записать файл %1: %2")
                                   .arg(QDir::toNativeSeparators(path), out.errorString()));
        return;
    }
    ctx.log(QStringLiteral("%1 сохранена в файл %2").arg(what, QDir::toNativeSeparators(path)));
}

QString open(const ViewContext& ctx, BackupFile* file)
{
    const QString path = ctx.dialogs()->openFileName(ctx.window, QStringLiteral("Загрузить из файла"), QString(), kFilter);
    if (path.isEmpty())
        return QString();
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        refuse(ctx, path, in.errorString());
        return QString();
    }
    if (in.size() > kMaxFileSize) {
        refuse(ctx, path, QStringLiteral("файл больше 1 МБ, это не файл данных платы"));
        return QString();
    }
    QString why;
    if (!file->fromJson(in.readAll(), &why)) {
        refuse(ctx, path, why);
        return QString();
    }
    return path;
}

QString boardMismatch(const DevInfo& info, const BackupFile& file)
{
    DevInfo saved;
    saved.progMode = file.progMode;
    saved.devType = file.devType;
    if (file.family != info.progMode / 10)
        return QStringLiteral("файл другого семейства плат (в файле: %1, подключено: %2)")
            .arg(familyName(file.progMode), familyName(info.progMode));
    if (info.devType != 0 && file.devType != info.devType)
        return QStringLiteral("файл платы другого типа (в файле: %1, подключено: %2)")
            .arg(BoardText::typeName(saved), BoardText::typeName(info));
    return QString();
}

void refuse(const ViewContext& ctx, const QString& path, const QString& reason)
{
    const QString text = QStringLiteral("Файл %1 не загружен: %2. Данные на странице не изменены.")
                             .arg(QDir::toNativeSeparators(path), reason);
    ctx.log(text);
    ctx.dialogs()->warning(ctx.window, QStringLiteral("Файл не загружен"), text);
}

} // namespace PageFile

QString PageFile::openForBoard(const ViewContext& ctx, const DevInfo& info, BackupFile* file)
{
    const QString path = open(ctx, file);
    if (path.isEmpty())
        return path;
    const QString mismatch = boardMismatch(info, *file);
    if (mismatch.isEmpty())
        return path;
    refuse(ctx, path, mismatch);
    return QString();
}
