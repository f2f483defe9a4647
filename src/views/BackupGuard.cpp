#include "BackupGuard.h"

#include <QDir>

#include "BackupFile.h"
#include "Dialogs.h"
#include "proto_Vorlen_v2.h"

BackupGuard::BackupGuard(const ViewContext& context, QObject* parent)
    : QObject(parent), ctx(context), copies(ctx.proto), reader(ctx.proto, &copies)
{
    connect(&reader, &BackupReader::finished, this, &BackupGuard::recordsRead);
}

void BackupGuard::beforeWrite(BoardCopies::Record written, const QString& what, std::function<void()> write)
{
    if (isBusy()) {
        ctx.log(QStringLiteral("Резервное копирование: идёт чтение данных платы, дождитесь его окончания"));
        return;
    }
    if (store.root().isEmpty()) {
        copies.forget(written);
        write();
        return;
    }
    pending = std::move(write);
    pendingRecord = written;
    pendingWhat = what;
    pendingSession = ctx.proto->boardSession();
    ctx.log(QStringLiteral("Резервное копирование: чтение данных платы перед записью"));
    reader.start();
}

void BackupGuard::recordsRead(const QStringList& missing)
{
    if (ctx.proto->boardSession() != pendingSession) {
        pending = nullptr;
        ctx.log(QStringLiteral("Отменено: %1 (устройство отключено во время резервного копирования)").arg(pendingWhat));
        return;
    }
    if (!missing.isEmpty()) {
        proceed(QStringLiteral("не прочитаны с платы: ") + missing.join(QStringLiteral(", ")));
        return;
    }
    QString error;
    const QString path = store.save(copies.backup(BackupFile::toolName(QStringLiteral("rconf"))), &error);
    if (path.isEmpty()) {
        proceed(error);
        return;
    }
    ctx.log(QStringLiteral("Резервная копия сохранена: ") + QDir::toNativeSeparators(path));
    proceed(QString());
}

void BackupGuard::proceed(const QString& failure)
{
    // Taken first: the write or a question may start another write.
    std::function<void()> write = std::move(pending);
    pending = nullptr;
    if (!failure.isEmpty()) {
        ctx.log(QStringLiteral("Резервная копия НЕ сохранена: ") + failure);
        const QString question =
            QStringLiteral("Не удалось сохранить резервную копию данных платы (%1).\n\n"
                           "Выполнить %2 без резервной копии? То, что сейчас хранит плата, будет потеряно.")
                .arg(failure, pendingWhat);
        if (!ctx.dialogs()->question(ctx.window, QStringLiteral("Резервная копия"), question)) {
            ctx.log(QStringLiteral("Отменено пользователем: %1 (нет резервной копии)").arg(pendingWhat));
            return;
        }
        ctx.log(QStringLiteral("Без резервной копии по решению пользователя: %1").arg(pendingWhat));
    }
    copies.forget(pendingRecord);
    write();
}
