// Start-up time: from starting the process to the first paint of the main
// window, shown maximised as the program's own main does. Each sample is a
// fresh child process running the window; the parent times it.
//   bench_startup [RUNS]   default 7
#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchUtil.h"
#include "MainWindow.h"

extern char** environ;

namespace {

double monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Reports the moment of the first paint on the pipe and ends the child.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(int fd) : fd(fd) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!done && event->type() == QEvent::Paint) {
            done = true;
            const double at = monotonicMs();
            if (write(fd, &at, sizeof at) != sizeof at)
                std::_Exit(3);
            QTimer::singleShot(0, qApp, &QApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int fd;
    bool done = false;
};

int child(int argc, char* argv[], int fd)
{
    QApplication app(argc, argv);
    MainWindow window;
    FirstPaint probe(fd);
    window.installEventFilter(&probe);
    window.showMaximized();
    return QApplication::exec();
}

double sample(const char* self)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    char fdText[16];
    std::snprintf(fdText, sizeof fdText, "%d", fds[1]);
    char* args[] = {const_cast<char*>(self), const_cast<char*>("--child"), fdText, nullptr};
    const double start = monotonicMs();
    // The window's debug output would interleave with the figures.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    close(fds[1]);
    double at = -1;
    if (read(fds[0], &at, sizeof at) != sizeof at)
        at = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return at < 0 ? -1 : at - start;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv, std::atoi(argv[2]));

    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<double> ms;
    sample(argv[0]);   // the first start also loads the libraries from disk; not counted
    for (int i = 0; i < runs; ++i) {
        const double t = sample(argv[0]);
        if (t < 0) {
            std::fprintf(stderr, "the window did not paint\n");
            return 1;
        }
        ms.push_back(t);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("Start-up to the first paint of the maximised window (%s)\n", qPrintable(BenchUtil::machine()));
    std::printf("  %d runs: median %.0f ms, fastest %.0f ms, slowest %.0f ms\n", runs, median, ms.front(), ms.back());
    std::printf("  aim < 500 ms: %s\n", median < 500 ? "met" : "NOT met");
    return 0;
}
