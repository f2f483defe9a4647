#include "BenchUtil.h"

#include <QFile>
#include <QStackedWidget>
#include <QTabWidget>
#include <QThread>

#include <sys/resource.h>

namespace {

double statusField(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field)) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            return parts.size() >= 2 ? parts.at(1).toDouble() / 1024.0 : 0;
        }
    }
    return 0;
}

} // namespace

namespace BenchUtil {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double residentMb()
{
    return statusField("VmRSS:");
}

double peakResidentMb()
{
    return statusField("VmHWM:");
}

void showTabsOf(QWidget* widget)
{
    for (QWidget* w = widget; w && w->parentWidget(); w = w->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
        if (!stack)
            continue;
        if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
            tabs->setCurrentWidget(w);
    }
}

QString machine()
{
    QString model = QStringLiteral("unknown CPU");
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                model = QString::fromLatin1(line.mid(line.indexOf(':') + 1)).trimmed();
                break;
            }
        }
    }
    return QStringLiteral("%1 × %2").arg(QThread::idealThreadCount()).arg(model);
}

} // namespace BenchUtil
