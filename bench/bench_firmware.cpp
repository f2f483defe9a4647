// Programming and verifying the largest image (63 pages) into the simulated
// board over a pseudo-terminal:
//   (a) through the whole window, offscreen, with both log panes writing;
//   (b) through the engine and the serial link alone, no window;
//   (c) as (a), with the board's replies throttled to 115200 baud, against
//       the pure wire time of the bytes exchanged.
//   bench_firmware [RUNS]   runs of (a) and (b) each, medians compared; default 11
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "BenchUtil.h"
#include "BoardServer.h"
#include "Dialogs.h"
#include "MainWindow.h"
#include "Oru_SerialPort.h"
#include "UpdateFileWriter.h"
#include "proto_Vorlen_v2.h"

using vboard::BoardServer;

namespace {

constexpr uint32_t kPages = UpdateFileWriter::kMaxPages;
constexpr int kLimitMs = 600000;
const QString kSuccess = QStringLiteral("ПРОГРАММИРОВАНИЕ::: Запись программы и верификация пройдены успешно!");

// The file dialog answers with the generated file; questions with Yes.
class BenchDialogs : public Dialogs
{
public:
    QString file;
    void gateRefused(const QString&) override {}
    void warning(QWidget*, const QString&, const QString&) override {}
    void information(QWidget*, const QString&, const QString&) override {}
    bool question(QWidget*, const QString&, const QString&) override { return true; }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return file; }
};

struct Run {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;   // of the whole process (the simulated board runs in it too)
    qint64 requestBytes = 0;
    qint64 replyBytes = 0;
};

// Spins the event loop until done() holds, checking every millisecond.
template <typename Done>
bool spinUntil(Done done, int limitMs)
{
    QEventLoop loop;
    QTimer tick;
    QElapsedTimer t;
    t.start();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (done() || t.elapsed() > limitMs)
            loop.quit();
    });
    tick.start(1);
    if (!done())
        loop.exec();
    return done();
}

BoardServer::Options boardOptions(const QTemporaryDir& dir, int baud)
{
    BoardServer::Options o;
    o.program = vboard::Program::Bootloader;
    o.linkPath = dir.filePath(QStringLiteral("board"));
    o.registerForDiscovery = false;
    o.baud = baud;
    return o;
}

void countBytes(BoardServer& server, Run& run)
{
    QObject::connect(&server, &BoardServer::requestReceived, [&run](const QByteArray& f) { run.requestBytes += f.size(); });
    QObject::connect(&server, &BoardServer::replySent, [&run](const QByteArray& f) { run.replyBytes += f.size(); });
}

Run throughWindow(const QString& rbin, int baud)
{
    Run run;
    QTemporaryDir dir;
    BoardServer server(boardOptions(dir, baud));
    if (!server.start())
        return run;
    MainWindow w;
    BenchDialogs dialogs;
    dialogs.file = rbin;
    w.setDialogs(&dialogs);
    w.show();

    auto* combo = w.findChild<QComboBox*>(QStringLiteral("serialPortList_comboBox"));
    combo->addItem(QStringLiteral("(") + server.linkPath() + QStringLiteral(")   RConf bench"));
    combo->setCurrentIndex(combo->count() - 1);
    bool statusSeen = false;
    QObject::connect(&w.engine(), &proto_Vorlen_v2::cmd_getInfo_received, [&] { statusSeen = true; });
    w.findChild<QPushButton*>(QStringLiteral("serialPortAction_Button"))->click();
    if (!spinUntil([&] { return statusSeen && !w.engine().isWaiting(); }, 10000))
        return run;
    auto* choose = w.findChild<QPushButton*>(QStringLiteral("bl_choose_Sheet_Button"));
    BenchUtil::showTabsOf(choose);
    if (!spinUntil([&] { return !w.engine().isWaiting(); }, 10000))
        return run;
    choose->click();
    auto* runButton = w.findChild<QPushButton*>(QStringLiteral("bl_Program_Run_Button"));
    if (!runButton->isEnabled())
        return run;

    bool succeeded = false;
    QObject::connect(&w.engine(), &proto_Vorlen_v2::log, [&](const QString& l) { succeeded |= l == kSuccess; });
    countBytes(server, run);
    QElapsedTimer t;
    t.start();
    const double cpu0 = BenchUtil::cpuSeconds();
    runButton->click();
    spinUntil([&] { return !w.engine().isProgramming(); }, kLimitMs);
    run.seconds = t.nsecsElapsed() / 1e9;
    run.cpuSeconds = BenchUtil::cpuSeconds() - cpu0;
    w.flushPanes();
    run.ok = succeeded && server.board().flashPage(int(kPages) - 1).size() == 1024;
    return run;
}

Run engineAlone(const QByteArray& image)
{
    Run run;
    QTemporaryDir dir;
    BoardServer server(boardOptions(dir, 0));
    if (!server.start())
        return run;
    proto_Vorlen_v2 proto;
    Oru_SerialPort link;
    QObject::connect(&proto, &proto_Vorlen_v2::_transmit_data, &link, &Oru_SerialPort::send);
    QObject::connect(&link, &Oru_SerialPort::_data_recevied, &proto, &proto_Vorlen_v2::parseReceived);
    bool succeeded = false;
    QObject::connect(&proto, &proto_Vorlen_v2::log, [&](const QString& l) { succeeded |= l == kSuccess; });
    if (link.openPort(QStringLiteral("(") + server.linkPath() + QStringLiteral(")"), 115200, 8, 'n', 1) != 0)
        return run;

    countBytes(server, run);
    QElapsedTimer t;
    t.start();
    const double cpu0 = BenchUtil::cpuSeconds();
    proto.startProgramming(reinterpret_cast<const uint8_t*>(image.constData()), uint32_t(image.size()));
    spinUntil([&] { return !proto.isProgramming(); }, kLimitMs);
    run.seconds = t.nsecsElapsed() / 1e9;
    run.cpuSeconds = BenchUtil::cpuSeconds() - cpu0;
    run.ok = succeeded;
    for (uint32_t p = 0; p < kPages && run.ok; ++p)
        run.ok = server.board().flashPage(int(p)) == image.mid(int(p * 1024), 1024);
    return run;
}

// The run of median wall time, or with a member given, that member's median.
Run median(std::vector<Run> runs)
{
    std::sort(runs.begin(), runs.end(), [](const Run& x, const Run& y) { return x.seconds < y.seconds; });
    return runs[runs.size() / 2];
}

double median(const std::vector<Run>& runs, double Run::*member)
{
    std::vector<double> v;
    for (const Run& r : runs)
        v.push_back(r.*member);
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double wireSeconds(qint64 bytes, int baud)
{
    return bytes * 10.0 / baud;
}

} // namespace

static void quietDebug(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    // The link's per-block debug lines would measure the terminal, not the tool.
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler(quietDebug);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 11;

    QTemporaryDir dir;
    const QByteArray image = UpdateFileWriter::randomImage(kPages, 2026);
    UpdateFileWriter::Header header;
    header.targetProgram = 1;
    header.fwVersion = 255;
    header.buildDate = QDate(2099, 12, 31);
    header.notes = "bench";
    QString error;
    const QString rbin = dir.filePath(QStringLiteral("bench.rbin"));
    if (!UpdateFileWriter::write(rbin, image, header, &error)) {
        std::fprintf(stderr, "bench_firmware: %s\n", qPrintable(error));
        return 1;
    }

    std::printf("bench_firmware: %u pages (%u bytes), %d run(s) each, %s\n", kPages, kPages * 1024, runs,
                qPrintable(BenchUtil::machine()));
    // A run lasts some 15 ms, so one lucky wake-up of the pseudo-terminal can make
    // it three times faster; medians compare typical runs, where bests compared outliers.
    std::vector<Run> windowRuns, engineRuns;
    for (int i = 0; i < runs; ++i) {
        const Run a = throughWindow(rbin, 0);
        const Run b = engineAlone(image);
        std::printf("  run %d: window %.3f s, %.1f ms CPU (%s); engine alone %.3f s, %.1f ms CPU (%s)\n", i + 1,
                    a.seconds, a.cpuSeconds * 1e3, a.ok ? "verified" : "FAILED", b.seconds, b.cpuSeconds * 1e3,
                    b.ok ? "verified" : "FAILED");
        if (!a.ok || !b.ok)
            return 2;
        windowRuns.push_back(a);
        engineRuns.push_back(b);
    }
    const Run window = median(windowRuns), engine = median(engineRuns);
    const double ratio = window.seconds / engine.seconds;
    std::printf("(a) whole window, panes on:  %.3f s, %.1f ms CPU (medians)\n", window.seconds, median(windowRuns, &Run::cpuSeconds) * 1e3);
    std::printf("(b) engine + link alone:     %.3f s, %.1f ms CPU (medians)\n", engine.seconds, median(engineRuns, &Run::cpuSeconds) * 1e3);
    std::printf("    ratio (a)/(b):           %.3f  (aim <= 1.5: %s)\n", ratio, ratio <= 1.5 ? "met" : "missed");
    std::printf("    bytes exchanged:         %lld requests + %lld replies\n", static_cast<long long>(window.requestBytes),
                static_cast<long long>(window.replyBytes));

    constexpr int kBaud = 115200;
    const Run c = throughWindow(rbin, kBaud);
    if (!c.ok) {
        std::printf("(c) throttled run FAILED\n");
        return 2;
    }
    const double wireAll = wireSeconds(c.requestBytes + c.replyBytes, kBaud);
    const double wireReplies = wireSeconds(c.replyBytes, kBaud);
    std::printf("(c) whole window, replies at %d baud: %.3f s\n", kBaud, c.seconds);
    // A board's line carries both directions; the simulator's requests cross at once, so here this is a figure only.
    std::printf("    wire time, both directions:        %.3f s  (run / wire = %.3f; no aim: requests are not paced)\n",
                wireAll, c.seconds / wireAll);
    std::printf("    wire time, replies only (throttled): %.3f s  (run / wire = %.3f; aim within 10%%: %s)\n", wireReplies,
                c.seconds / wireReplies, std::abs(c.seconds / wireReplies - 1.0) <= 0.10 ? "met" : "missed");
    return 0;
}
