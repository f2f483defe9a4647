#include "PtyEndpoint.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace vboard {

namespace {
bool makeRaw(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

PtyEndpoint::~PtyEndpoint()
{
    close();
}

bool PtyEndpoint::open(const QString& linkPath, QString* error)
{
    close();
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        close();
        return false;
    };
    const QFileInfo existing(linkPath);
    if (existing.exists() && !existing.isSymLink())
        return fail(QStringLiteral("путь %1 занят файлом, который не является ссылкой").arg(linkPath));

    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return fail(QStringLiteral("не удалось создать псевдотерминал: ") + systemError());
    const char* name = ::ptsname(master);
    if (!name)
        return fail(QStringLiteral("не удалось получить имя псевдотерминала: ") + systemError());
    slave = QString::fromLocal8Bit(name);
    // Keeping the slave open ourselves means the master never reads EIO
    // before the configurator opens the port, and lets us set raw mode now.
    slaveKeep = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveKeep < 0 || !makeRaw(slaveKeep) || !makeRaw(master))
        return fail(QStringLiteral("не удалось перевести псевдотерминал в прямой режим: ") + systemError());

    const QByteArray linkBytes = QFile::encodeName(linkPath);
    ::unlink(linkBytes.constData()); // a stale link from an earlier run
    if (::symlink(name, linkBytes.constData()) != 0)
        return fail(QStringLiteral("не удалось создать ссылку %1: ").arg(linkPath) + systemError());
    link = linkPath;
    return true;
}

void PtyEndpoint::close()
{
    if (!link.isEmpty()) {
        // Only our own link: another server may have taken the path since.
        const QByteArray linkBytes = QFile::encodeName(link);
        char target[4096];
        const ssize_t n = ::readlink(linkBytes.constData(), target, sizeof target - 1);
        if (n > 0 && QString::fromLocal8Bit(target, static_cast<int>(n)) == slave)
            ::unlink(linkBytes.constData());
        link.clear();
    }
    if (slaveKeep >= 0)
        ::close(slaveKeep);
    slaveKeep = -1;
    if (master >= 0)
        ::close(master);
    master = -1;
}

int PtyEndpoint::unreadBySlave() const
{
    int unread = 0;
    if (slaveKeep < 0 || ::ioctl(slaveKeep, FIONREAD, &unread) != 0)
        return 0;
    return unread;
}

qint64 PtyEndpoint::write(const char* data, qint64 size)
{
    if (master < 0)
        return -1;
    const ssize_t n = ::write(master, data, static_cast<size_t>(size));
    if (n < 0)
        return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    return n;
}

QByteArray PtyEndpoint::readAvailable(bool* hangUp)
{
    QByteArray out;
    *hangUp = false;
    char buf[4096];
    while (master >= 0) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<int>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            break;
        *hangUp = true;
        break;
    }
    return out;
}

} // namespace vboard
