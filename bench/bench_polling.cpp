// Polling at the fastest period (5 ms) against the simulated board, which runs
// as a separate process so that only the tool's own CPU time is counted:
// the bare request/reply loop through the engine and the serial link (the
// floor) and the real window polling from its data tab with both panes
// logging every frame, taking turns in three rounds; then the window once
// more with the log hidden.
// With --chart the window's rolling chart is open on four channels meanwhile.
//   bench_polling [SECONDS] [--chart]   seconds per measurement (split over the rounds), default 30
#include <QApplication>
#include <QLoggingCategory>
#include <QCheckBox>
#include <QComboBox>
#include <QStringList>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "BenchUtil.h"
#include "MainWindow.h"
#include "Oru_SerialPort.h"
#include "Records.h"
#include "proto_Vorlen_v2.h"

namespace {

constexpr int kPollMs = 5;

struct Figures {
    long replies = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    double residentMb = 0;

    double repliesPerSecond() const { return seconds > 0 ? replies / seconds : 0; }
    double cpuMicrosPerReply() const { return replies ? cpuSeconds * 1e6 / replies : 0; }
    Figures& operator+=(const Figures& o)
    {
        replies += o.replies;
        seconds += o.seconds;
        cpuSeconds += o.cpuSeconds;
        residentMb = o.residentMb;
        return *this;
    }
};

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename Done>
bool waitFor(Done done, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs)
            return false;
        runEventLoopFor(10);
    }
    return true;
}

// The same loop as the data tab's: the next request leaves one period after each reply.
Figures engineAlone(const QString& port, int seconds)
{
    proto_Vorlen_v2 engine;
    Oru_SerialPort link;
    QTimer poll;
    poll.setSingleShot(true);
    poll.setInterval(kPollMs);
    QObject::connect(&engine, &proto_Vorlen_v2::_transmit_data, &link, &Oru_SerialPort::send);
    QObject::connect(&link, &Oru_SerialPort::_data_recevied, &engine, &proto_Vorlen_v2::parseReceived);
    QObject::connect(&poll, &QTimer::timeout, [&engine] { engine.sendCommand(rec::cmd::getRawData, nullptr, 0); });
    long replies = 0;
    bool counting = false;
    QObject::connect(&engine, &proto_Vorlen_v2::cmd_RawData_received, [&] {
        if (counting)
            ++replies;
        poll.start();
    });
    bool info = false;
    QObject::connect(&engine, &proto_Vorlen_v2::cmd_getInfo_received, [&info] { info = true; });

    if (link.openPort(port, 115200, 8, 'n', 1) != 0) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(port));
        return {};
    }
    engine.sendCommand(rec::cmd::getInfo, nullptr, 0);
    if (!waitFor([&info] { return info; }, 5000)) {
        std::fprintf(stderr, "the board does not answer\n");
        return {};
    }
    poll.start();
    runEventLoopFor(1000);   // warm up

    counting = true;
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = BenchUtil::cpuSeconds();
    runEventLoopFor(seconds * 1000);
    const double cpu = BenchUtil::cpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    counting = false;
    poll.stop();
    link.closePort();
    runEventLoopFor(200);

    Figures f;
    f.replies = replies;
    f.seconds = elapsed;
    f.cpuSeconds = cpu;
    f.residentMb = BenchUtil::residentMb();
    return f;
}

// Opens the live data chart with the four voltage channels ticked.
bool openChart(MainWindow& window)
{
    auto* button = window.findChild<QPushButton*>(QStringLiteral("data_chart_Button"));
    if (!button)
        return false;
    button->setChecked(true);
    for (int channel = 0; channel < 4; ++channel) {
        auto* box = window.findChild<QCheckBox*>(QStringLiteral("data_chart_channel_%1").arg(channel));
        if (!box)
            return false;
        box->setChecked(true);
    }
    return true;
}

Figures windowPolling(const QString& port, int seconds, bool logHidden, bool chart)
{
    MainWindow window;
    window.showMaximized();
    auto* ports = window.findChild<QComboBox*>(QStringLiteral("serialPortList_comboBox"));
    auto* action = window.findChild<QPushButton*>(QStringLiteral("serialPortAction_Button"));
    auto* exchange = window.findChild<QPushButton*>(QStringLiteral("data_ExchangeButton"));
    auto* speed = window.findChild<QComboBox*>(QStringLiteral("data_requestSpeed_ComboBox"));
    if (!ports || !action || !exchange || !speed) {
        std::fprintf(stderr, "the window lacks the port panel or the data tab\n");
        return {};
    }
    if (auto* hide = window.findChild<QCheckBox*>(QStringLiteral("hideLog_checkBox")))
        hide->setChecked(logHidden);
    bool info = false;
    QObject::connect(&window.engine(), &proto_Vorlen_v2::cmd_getInfo_received, [&info] { info = true; });
    long replies = 0;
    QObject::connect(&window.engine(), &proto_Vorlen_v2::cmd_RawData_received, [&replies] { ++replies; });

    ports->addItem(QStringLiteral("(") + port + QStringLiteral(")   RConf bench"));
    ports->setCurrentIndex(ports->count() - 1);
    action->click();
    if (!waitFor([&info] { return info; }, 5000)) {
        std::fprintf(stderr, "the window did not get the board's status\n");
        return {};
    }
    BenchUtil::showTabsOf(exchange);
    if (chart && !openChart(window)) {
        std::fprintf(stderr, "the window lacks the live data chart\n");
        return {};
    }
    speed->setCurrentIndex(0);
    exchange->click();
    runEventLoopFor(1000);   // warm up

    replies = 0;
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = BenchUtil::cpuSeconds();
    runEventLoopFor(seconds * 1000);
    const double cpu = BenchUtil::cpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    const long counted = replies;
    exchange->click();
    Figures f;
    f.replies = counted;
    f.seconds = elapsed;
    f.cpuSeconds = cpu;
    f.residentMb = BenchUtil::residentMb();
    action->click();
    runEventLoopFor(200);
    return f;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The debug streams go to the console, not to a pane; they are left out
    // so the figures show the window's own work.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    QStringList args = app.arguments().mid(1);
    const bool chart = args.removeAll(QStringLiteral("--chart")) > 0;
    const int seconds = args.isEmpty() ? 30 : args.first().toInt();
    QTemporaryDir dir;
    const QString port = dir.filePath(QStringLiteral("board"));
    QProcess board;
    board.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    board.start(QStringLiteral(VBOARD_PATH), {QStringLiteral("--type"), QStringLiteral("physics"),
                                              QStringLiteral("--program"), QStringLiteral("main"),
                                              QStringLiteral("--link"), port});
    if (!board.waitForStarted(5000) || !waitFor([&port] { return QFile::exists(port); }, 5000)) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }

    std::printf("Polling every %d ms for %d s against the simulator (%s)%s\n", kPollMs, seconds,
                qPrintable(BenchUtil::machine()), chart ? ", live chart open on 4 channels" : "");
    // The engine alone and the window take turns, so a machine whose speed
    // drifts (other work, clock changes) weighs on both alike.
    constexpr int kRounds = 3;
    const int roundSeconds = std::max(1, seconds / kRounds);
    Figures floor, win;
    for (int round = 0; round < kRounds; ++round) {
        floor += engineAlone(port, roundSeconds);
        win += windowPolling(port, roundSeconds, false, chart);
    }
    std::printf("  engine alone (floor):  %7.1f replies/s, %6.1f us CPU per reply\n", floor.repliesPerSecond(),
                floor.cpuMicrosPerReply());
    const double share = floor.repliesPerSecond() > 0 ? 100.0 * win.repliesPerSecond() / floor.repliesPerSecond() : 0;
    std::printf("  window, panes on:      %7.1f replies/s (%.1f %% of the floor), %6.1f us CPU per reply, "
                "resident %.0f MB at the end\n",
                win.repliesPerSecond(), share, win.cpuMicrosPerReply(), win.residentMb);
    std::fflush(stdout);
    // For comparison: the same window with "hide log" ticked, so neither pane is written.
    const Figures quiet = windowPolling(port, roundSeconds, true, chart);
    std::printf("  window, log hidden:    %7.1f replies/s (%.1f %% of the floor), %6.1f us CPU per reply\n",
                quiet.repliesPerSecond(),
                floor.repliesPerSecond() > 0 ? 100.0 * quiet.repliesPerSecond() / floor.repliesPerSecond() : 0,
                quiet.cpuMicrosPerReply());
    const double cpuRatio = floor.cpuMicrosPerReply() > 0 ? win.cpuMicrosPerReply() / floor.cpuMicrosPerReply() : 0;
    std::printf("  aim >= 97 %% of the floor: %s; aim <= 2 x the floor's CPU per reply: %s (%.2f x)\n",
                share >= 97 ? "met" : "NOT met", cpuRatio > 0 && cpuRatio <= 2 ? "met" : "NOT met", cpuRatio);

    board.terminate();
    board.waitForFinished(3000);
    return floor.replies > 0 && win.replies > 0 ? 0 : 1;
}
