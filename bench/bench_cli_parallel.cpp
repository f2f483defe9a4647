// rconf-cli programming several simulated boards at once, as a user runs it:
// vboard processes in their bootloader with replies throttled to 115200
// baud, and the rconf-cli program flashing one board alone, then eight at
// once. Aim: eight take at most 1.2 × the time of one.
//   bench_cli_parallel [PAGES [RUNS]]   image pages (default 16), runs of each (default 3, median taken)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "BenchUtil.h"
#include "UpdateFileWriter.h"

namespace {

constexpr int kBoards = 8;
constexpr int kBaud = 115200;
constexpr double kAim = 1.2;

// One vboard process, its link in dir; stopped (SIGTERM) when destroyed.
class Board
{
public:
    Board(const QString& link)
    {
        process.setProgram(QStringLiteral(VBOARD_PATH));
        process.setArguments({QStringLiteral("--program"), QStringLiteral("boot"), QStringLiteral("--baud"),
                              QString::number(kBaud), QStringLiteral("--link"), link});
        process.start();
    }
    ~Board()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
    // The first line of its output is the link: the board is up.
    bool ready() { return process.waitForReadyRead(10000) && process.canReadLine(); }

private:
    QProcess process;
};

struct Run {
    bool ok = false;
    double seconds = 0;
};

Run flash(int boards, const QString& rbin)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<Board>> sims;
    QStringList args{QStringLiteral("flash"), QStringLiteral("--json")};
    for (int i = 0; i < boards; ++i) {
        const QString link = dir.filePath(QStringLiteral("board%1").arg(i));
        sims.push_back(std::make_unique<Board>(link));
        if (!sims.back()->ready())
            return {};
        args << QStringLiteral("--port") << link;
    }
    args << rbin;
    QProcess cli;
    QElapsedTimer t;
    t.start();
    cli.start(QStringLiteral(RCONF_CLI_PATH), args);
    if (!cli.waitForFinished(600000))
        return {};
    Run run;
    run.seconds = t.nsecsElapsed() / 1e9;
    const QJsonArray results = QJsonDocument::fromJson(cli.readAllStandardOutput()).object().value(QStringLiteral("boards")).toArray();
    run.ok = cli.exitCode() == 0 && results.size() == boards;
    for (const QJsonValue& r : results)
        run.ok = run.ok && r.toObject().value(QStringLiteral("ok")).toBool();
    return run;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int pages = argc > 1 ? std::clamp(QString::fromLocal8Bit(argv[1]).toInt(), 1, 63) : 16;
    const int runs = argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 3;

    QTemporaryDir dir;
    const QString rbin = dir.filePath(QStringLiteral("bench.rbin"));
    UpdateFileWriter::Header h;
    h.buildDate = QDate(2026, 1, 1);
    if (!UpdateFileWriter::write(rbin, UpdateFileWriter::randomImage(uint32_t(pages), 7), h)) {
        std::printf("could not write the update file\n");
        return 1;
    }

    std::printf("rconf-cli flash, %d pages, replies at %d baud, %s\n", pages, kBaud,
                BenchUtil::machine().toUtf8().constData());
    std::vector<double> one, all;
    for (int i = 0; i < runs; ++i) {
        const Run a = flash(1, rbin);
        const Run b = flash(kBoards, rbin);
        if (!a.ok || !b.ok) {
            std::printf("run %d failed (one board %s, %d boards %s)\n", i + 1, a.ok ? "ok" : "FAILED", kBoards,
                        b.ok ? "ok" : "FAILED");
            return 1;
        }
        std::printf("  run %d: 1 board %.2f s, %d boards %.2f s\n", i + 1, a.seconds, kBoards, b.seconds);
        one.push_back(a.seconds);
        all.push_back(b.seconds);
    }
    const double ratio = median(all) / median(one);
    std::printf("1 board:  %.2f s (median of %d)\n", median(one), runs);
    std::printf("%d boards: %.2f s (median of %d)\n", kBoards, median(all), runs);
    std::printf("ratio:    %.2f (aim: at most %.1f) - %s\n", ratio, kAim, ratio <= kAim ? "met" : "NOT met");
    return ratio <= kAim ? 0 : 1;
}
