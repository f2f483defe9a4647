#include "PortNames.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

namespace PortNames {

QString extract(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("COM\\d+|/[^\\s()]+|tty[A-Za-z]*\\d+"));
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? m.captured(0) : QString();
}

bool isAbsolutePath(const QString& name)
{
    return name.startsWith(QLatin1Char('/'));
}

bool isTerminalDevice(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    const QByteArray p = QFile::encodeName(path);
    return ::stat(p.constData(), &st) == 0 && S_ISCHR(st.st_mode);
#else
    return QFileInfo::exists(path);
#endif
}

} // namespace PortNames
