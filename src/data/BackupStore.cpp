#include "BackupStore.h"

#include <QDir>
#include <QFile>

#include "BackupFile.h"
#include "BoardText.h"

namespace {

// Candidate names in order: seconds, then milliseconds, then numbered.
QString candidateName(const QDateTime& stamp, int attempt)
{
    const QString seconds = stamp.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    if (attempt == 0)
        return seconds + QStringLiteral(".json");
    const QString millis = seconds + stamp.toString(QStringLiteral("-zzz"));
    if (attempt == 1)
        return millis + QStringLiteral(".json");
    return millis + QStringLiteral("-%1.json").arg(attempt);
}

} // namespace

QString BackupStore::boardFolderName(const BackupFile& file)
{
    const QString serial = file.serialValid ? QString::number(file.serialNumber) : QStringLiteral("no-serial");
    return BoardText::familyKey(file.progMode) + QLatin1Char('-') + serial;
}

QString BackupStore::save(const BackupFile& file, QString* error) const
{
    if (rootDir.isEmpty()) {
        *error = QStringLiteral("папка резервных копий не задана");
        return QString();
    }
    const QString folder = QDir(rootDir).filePath(boardFolderName(file));
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("не удалось создать папку %1").arg(QDir::toNativeSeparators(folder));
        return QString();
    }
    const QByteArray text = file.toJson();
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        QFile out(QDir(folder).filePath(candidateName(file.created, attempt)));
        // NewOnly: a name taken between the check and the open is not overwritten either.
        if (out.exists())
            continue;
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (out.exists())
                continue;
            *error = QStringLiteral("не удалось создать файл %1: %2").arg(QDir::toNativeSeparators(out.fileName()),
                                                                          out.errorString());
            return QString();
        }
        if (out.write(text) != text.size() || !out.flush()) {
            *error = QStringLiteral("не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(out.fileName()),
                                                                           out.errorString());
            // A cut file is no copy; it is the only file this call may remove.
            out.remove();
            return QString();
        }
        return out.fileName();
    }
    *error = QStringLiteral("в папке %1 заняты все имена для этой секунды").arg(QDir::toNativeSeparators(folder));
    return QString();
}
