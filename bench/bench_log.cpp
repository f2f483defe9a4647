// 1,000,000 log lines through the window's log, with the window shown and
// the event loop turning between bursts as it does while the tool works;
// beside it, for comparison, 100,000 lines appended one by one to an
// unbounded text pane.
//   bench_log [LINES]   default 1000000
#include <QApplication>
#include <QLoggingCategory>
#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <cstdio>

#include "BenchUtil.h"
#include "MainWindow.h"

namespace {

constexpr int kBurst = 1000;

QString lineText(long i)
{
    return QStringLiteral("Принят ожидаемый ответ на команду - запроса физических данных платы, пакет № %1").arg(i);
}

void perLineBaseline(long lines)
{
    QPlainTextEdit pane;
    pane.resize(800, 600);
    pane.show();
    const double rss0 = BenchUtil::residentMb();
    QElapsedTimer t;
    t.start();
    for (long i = 0; i < lines; ++i) {
        pane.appendPlainText(lineText(i));
        if (i % kBurst == 0)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    const double s = t.elapsed() / 1000.0;
    std::printf("  one append per line, no bound: %ld lines in %.2f s (%.0f lines/s), resident +%.0f MB\n", lines, s,
                lines / s, BenchUtil::residentMb() - rss0);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The serial link's debug stream goes to the console, not to a pane; it is
    // left out so the figures show the window's own work.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const long lines = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLong() : 1000000;

    std::printf("Log lines through MainWindow::log (%s)\n", qPrintable(BenchUtil::machine()));
    double rss0 = 0, s = 0;
    {
        MainWindow window;
        window.showMaximized();
        QApplication::processEvents();
        rss0 = BenchUtil::residentMb();
        QElapsedTimer t;
        t.start();
        for (long i = 0; i < lines; ++i) {
            window.log(lineText(i));
            if (i % kBurst == 0)
                QApplication::processEvents();
        }
        window.flushPanes();
        QApplication::processEvents();
        s = t.elapsed() / 1000.0;
        std::printf("  window log, batched:           %ld lines in %.2f s (%.0f lines/s), resident %.0f MB at the end "
                    "(%.0f MB before), peak %.0f MB\n",
                    lines, s, lines / s, BenchUtil::residentMb(), rss0, BenchUtil::peakResidentMb());
    }
    const bool bounded = BenchUtil::peakResidentMb() < 300;
    std::fflush(stdout);
    perLineBaseline(lines / 10);
    std::printf("  aim: bounded memory under 300 MB: %s\n", bounded ? "met" : "NOT met");
    return 0;
}
