#include "SimulatorPorts.h"

#include "PortNames.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include <unistd.h>

namespace SimulatorPorts {

QString folder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists())
        return QString::fromLocal8Bit(runtime) + QStringLiteral("/rconf-vboard");
    return QDir::tempPath() + QStringLiteral("/rconf-vboard-") + QString::number(::getuid());
}

QVector<Entry> list()
{
    QVector<Entry> result;
    QDir dir(folder());
    const QStringList files = dir.entryList({QStringLiteral("*.port")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        const QStringList lines = QString::fromUtf8(f.read(4096)).split(QLatin1Char('\n'));
        if (lines.size() < 2 || !PortNames::isTerminalDevice(lines.at(0).trimmed()))
            continue;
        result.push_back({lines.at(0).trimmed(), lines.at(1).trimmed()});
    }
    return result;
}

bool registerEntry(const QString& id, const Entry& entry)
{
    QDir().mkpath(folder());
    QFile::setPermissions(folder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile f(folder() + QLatin1Char('/') + id + QStringLiteral(".port"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    f.write((entry.path + QLatin1Char('\n') + entry.description + QLatin1Char('\n')).toUtf8());
    return f.commit();
}

void unregisterEntry(const QString& id)
{
    QFile::remove(folder() + QLatin1Char('/') + id + QStringLiteral(".port"));
}

} // namespace SimulatorPorts
