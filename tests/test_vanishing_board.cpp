#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include "BoardServer.h"
#include "MainWindow.h"
#include "Records.h"
#include "ScriptedDialogs.h"

// A board that goes away while the port is open and the window polls it at
// the fastest period (unplugged, or restarting by itself): the panel goes to
// closed, the tool goes idle instead of spinning on the dead port, the
// window keeps answering, and the board can be opened again once it is back.
class TestVanishingBoard : public QObject
{
    Q_OBJECT
private slots:
    void vanishesWhilePolling_data();
    void vanishesWhilePolling();
};

namespace {

using vboard::BoardServer;

template <typename T>
T* widget(MainWindow& w, const char* name)
{
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

qint64 cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000LL + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

int rawRequests(const BoardServer& s)
{
    int n = 0;
    for (const QByteArray& f : s.requests())
        n += f.size() > 3 && static_cast<uint8_t>(f[3]) == rec::cmd::getRawData;
    return n;
}

QString logText(MainWindow& w)
{
    w.flushPanes();
    return widget<QPlainTextEdit>(w, "log_Edit")->toPlainText();
}

} // namespace

void TestVanishingBoard::vanishesWhilePolling_data()
{
    QTest::addColumn<int>("backAfterMs");
    QTest::newRow("unplugged") << -1;
    QTest::newRow("restarts by itself") << 300;
}

void TestVanishingBoard::vanishesWhilePolling()
{
    QFETCH(int, backAfterMs);
    QTemporaryDir dir;
    BoardServer::Options o;
    o.type = vboard::BoardType::Physics;
    o.program = vboard::Program::Main;
    o.linkPath = dir.filePath(QStringLiteral("board"));
    o.registerForDiscovery = false;
    BoardServer server(o);
    QVERIFY(server.start());

    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    auto* ports = widget<QComboBox>(w, "serialPortList_comboBox");
    ports->addItem(QStringLiteral("(") + server.linkPath() + QStringLiteral(")   RConf test"));
    ports->setCurrentIndex(ports->count() - 1);
    auto* action = widget<QPushButton>(w, "serialPortAction_Button");
    action->click();
    QTRY_COMPARE_WITH_TIMEOUT(action->text(), QStringLiteral("Закрыть"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(logText(w).contains(QStringLiteral("Принят ожидаемый ответ на команду - запрос статуса")),
                             10000);

    widget<QComboBox>(w, "data_requestSpeed_ComboBox")->setCurrentIndex(0);
    widget<QPushButton>(w, "data_ExchangeButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(rawRequests(server) >= 30, 10000);

    int repliesAfterReopen = 0;
    auto count = [&repliesAfterReopen] { ++repliesAfterReopen; };
    server.disconnectNow();
    if (backAfterMs >= 0)
        QTimer::singleShot(backAfterMs, &server, [&server] { server.reconnect(); });
    QTRY_COMPARE_WITH_TIMEOUT(action->text(), QStringLiteral("Открыть"), 10000);
    QVERIFY(!w.serialLink().isOpen());
    QVERIFY(ports->isEnabled());

    // The next second: the tool stays idle, and the event loop keeps turning.
    int turns = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&turns] { ++turns; });
    ticker.start(100);
    // A plain event loop: it sleeps while nothing happens, so any CPU time is the tool's.
    QEventLoop idle;
    QTimer::singleShot(1000, &idle, &QEventLoop::quit);
    const qint64 cpu0 = cpuMs();
    idle.exec();
    const qint64 cpu = cpuMs() - cpu0;
    ticker.stop();
    qInfo("CPU time in the second after the board vanished: %lld ms", static_cast<long long>(cpu));
    QVERIFY2(cpu < 400, qPrintable(QStringLiteral("%1 ms of CPU in the second after the board vanished").arg(cpu)));
    QVERIFY2(turns >= 3, qPrintable(QStringLiteral("the event loop ran only %1 timer turns in a second").arg(turns)));

    // Back again: the user opens the same port and the board answers.
    if (backAfterMs < 0)
        server.reconnect();
    QTRY_VERIFY_WITH_TIMEOUT(server.isUp(), 10000);
    w.on_logClear_Button_clicked();
    QObject::connect(&w.engine(), &proto_Vorlen_v2::cmd_getInfo_received, count);
    QObject::connect(&w.engine(), &proto_Vorlen_v2::cmd_RawData_received, count);
    // The user presses "Открыть" again until the port opens.
    for (int i = 0; i < 50 && action->text() != QStringLiteral("Закрыть"); ++i) {
        action->click();
        if (action->text() != QStringLiteral("Закрыть"))
            QTest::qWait(200);
    }
    QCOMPARE(action->text(), QStringLiteral("Закрыть"));
    // Polling may still be on (its watchdog has not run out): then its request
    // follows the status request at once and either reply shows the board is back.
    QTRY_VERIFY2_WITH_TIMEOUT(repliesAfterReopen > 0, qPrintable(logText(w)), 10000);
}

QTEST_MAIN(TestVanishingBoard)
#include "test_vanishing_board.moc"
