#include "PtyPair.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    masterFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd < 0 || ::grantpt(masterFd) != 0 || ::unlockpt(masterFd) != 0) {
        closeMaster();
        return;
    }
    path = QString::fromLocal8Bit(::ptsname(masterFd));
    // Raw mode before anything is written, or the terminal echoes and rewrites bytes.
    slaveKeepFd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (slaveKeepFd >= 0) {
        termios t{};
        ::tcgetattr(slaveKeepFd, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slaveKeepFd, TCSANOW, &t);
    }
    termios m{};
    ::tcgetattr(masterFd, &m);
    ::cfmakeraw(&m);
    ::tcsetattr(masterFd, TCSANOW, &m);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

void PtyPair::closeMaster()
{
    if (slaveKeepFd >= 0)
        ::close(slaveKeepFd);
    slaveKeepFd = -1;
    if (masterFd >= 0)
        ::close(masterFd);
    masterFd = -1;
}

void PtyPair::write(const QByteArray& bytes)
{
    int done = 0;
    while (masterFd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(masterFd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += static_cast<int>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{masterFd, POLLOUT, 0};
            ::poll(&p, 1, 50);
            QCoreApplication::processEvents();
        } else {
            break;
        }
    }
}

QByteArray PtyPair::read(int minBytes, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    char buf[4096];
    while (masterFd >= 0 && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents();
        const ssize_t n = ::read(masterFd, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<int>(n));
            if (out.size() >= minBytes)
                break;
            continue;
        }
        pollfd p{masterFd, POLLIN, 0};
        ::poll(&p, 1, 5);
    }
    return out;
}
