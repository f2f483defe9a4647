#include <QCheckBox>

#include "BoardBench.h"
#include "IdleCpu.h"
#include "PortListText.h"
#include "PortNames.h"
#include "PtyPair.h"
#include "SimulatorPorts.h"

using bench::Bench;

namespace {

// Simulators running on this machine must not reach the port list.
const QTemporaryDir runtimeDir;
[[maybe_unused]] const bool isolated = qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
const QString kOpened = QStringLiteral("COM порт открыт"), kClosed = QStringLiteral("COM порт закрыт");
const QString kFailed = QStringLiteral("Ошибка открытия порта"), kLost = QStringLiteral("COM порт потерян: устройство отключено");
const QString kMain = QStringLiteral("<font color = 'green'>Основная программа Ворлен</font>");

// The action button's text; whether port list, refresh, command tabs and auto-update are usable; the link;
// the status and data labels (placeholders while closed).
QString state(const Bench& b)
{
    QString s = b.button("serialPortAction_Button")->text() + QLatin1Char(' ');
    for (const char* name : {"serialPortList_comboBox", "serialPortUpdate_Button", "cmds", "autoUpdate_checkBox"})
        s += QLatin1Char(b.widget(name)->isEnabled() ? '1' : '0');
    s += b.window->serialLink().isOpen() ? QStringLiteral("|open") : QStringLiteral("|closed");
    for (const char* name : {"info_WorkMode_label", "info_devType_label", "info_Errors", "info_PageAvailable_label",
                             "info_bl_vers_Label", "data_ADS_CalibrValue_label", "data_Stat_mSecTimer_Label"})
        s += QLatin1Char('|') + b.text(name);
    return s;
}
const QString kClosedState = QStringLiteral("Открыть 1100|closed|%1|%1|%1|%1||%2|%2")
                                 .arg(QStringLiteral("<font color = 'black'>недоступно</font>"),
                                      QStringLiteral("<font color = 'black'>НЕДОСТУПНО</font>"));

// Whether the log holds these lines in this order, others between them.
bool inOrder(const Bench& b, const QStringList& texts)
{
    int at = 0;
    for (const QString& t : texts)
        if ((at = b.indexInLog(t, at) + 1) == 0)
            return false;
    return true;
}

} // namespace

class TestPortPanel : public QObject
{
    Q_OBJECT
private slots:
    void refreshThenOpen();
    void closedByUserOrLost();
    void reconnection_data();
    void reconnection();
};

void TestPortPanel::refreshThenOpen()
{
    Bench b;
    b.window->setClock([] { return QDateTime(QDate(2026, 3, 5), QTime(7, 8, 9, 45)); });
    PtyPair other;
    QVERIFY(SimulatorPorts::registerEntry("a", {other.slavePath(), "другая плата"}));
    QVERIFY(b.start() && SimulatorPorts::registerEntry("b", {b.server->linkPath(), "эта плата"}));
    QComboBox* ports = b.combo("serialPortList_comboBox");
    b.click("serialPortUpdate_Button");
    const int board = ports->findText(b.server->linkPath(), Qt::MatchContains);
    QVERIFY(board >= 1);
    ports->setCurrentIndex(board);
    // The board's entry moves up one place; the choice follows its name.
    SimulatorPorts::unregisterEntry("a");
    b.click("serialPortUpdate_Button");
    QCOMPARE(PortNames::extract(ports->currentText()), b.server->linkPath());
    QVERIFY(b.lines("log_Edit").last().endsWith(QLatin1Char(' ') + portCountText(board)));
    // Opened: one status request, and the board's program on the first tab.
    QVERIFY(b.openAndWaitStatus());
    QCOMPARE(b.server->requests(), QList<QByteArray>{bench::hex("aa 06 00 00 c1 fd")});
    QString shown = state(b).left(12) + QString::number(b.tabs("cmds")->currentIndex()) + b.text("info_WorkMode_label");
    for (int i = 0; i < 5; ++i)
        shown += QLatin1Char(b.tabs("cmds")->isTabEnabled(i) ? '1' : '0');
    QCOMPARE(shown, "Закрыть 00110" + kMain + "10101");
    const QString at = QStringLiteral("2026.03.05 07:08:09.045 ");
    QVERIFY(inOrder(b, {at + kOpened, "СТАРТ - Запрос состояния устройства (getInfo)", "Отправлено: 6 байт данных",
                        "Отправка команды, попытка 1", "Принято: 15 байт данных",
                        "Принят ожидаемый ответ на команду - запрос статуса"}));
    const QStringList exchanged = b.lines("exchange_PlainText");
    QCOMPARE(exchanged.size(), 2);
    QCOMPARE(exchanged[0], at + QStringLiteral("Запрос :6 байт: aa 06 00 00 c1 fd"));
    QVERIFY(exchanged[1].startsWith(at + QStringLiteral("Ответ :15 байт: aa 0f 00 00 ")));
    // The status bar counts the replies since the open, with their median round trip.
    QTRY_VERIFY(b.text("linkHealth_label").contains(QRegularExpression(QStringLiteral(
        "^Связь: ответов [1-9]\\d*, повторов 0, тайм-аутов 0, ошибок CRC 0, медиана \\d+,\\d мс$"))));
    // Closed and gone from the list: the first entry is offered.
    b.click("serialPortAction_Button");
    SimulatorPorts::unregisterEntry("b");
    b.click("serialPortUpdate_Button");
    QCOMPARE(ports->currentIndex(), ports->count() > 0 ? 0 : -1);
}

void TestPortPanel::closedByUserOrLost()
{
    Bench b;
    QVERIFY(b.startAndOpen());
    // A request still waiting for its reply is given up with the port.
    b.server->setAnswering(false);
    b.click("getInfo_Button");
    QVERIFY(!b.idle());
    b.click("serialPortAction_Button");
    QVERIFY(b.idle() && b.window->engine().attemptsRemaining() == 0);
    QCOMPARE(state(b), kClosedState);
    b.server->setAnswering(true);
    // Requests while closed reach nobody: one line for the closed period, the frames in the exchange pane.
    b.server->clearRequests();
    const int frames = b.lines("exchange_PlainText").size();
    b.window->engine().sendCommand(rec::cmd::getInfo, nullptr, 0);
    b.window->engine().sendCommand(rec::cmd::getInfo, nullptr, 0);
    QCOMPARE(QList<int>({b.countLog(QStringLiteral("ОШИБКА - COM порт закрыт, 6 байт данных не отправлено")),
                         b.countLog(QStringLiteral("Отправлено: 6 байт данных")), int(b.lines("exchange_PlainText").size())}),
             QList<int>({1, 2, frames + 2}));
    // Reopened, polling at the fastest, the board vanishes.
    QVERIFY(b.openAndWaitStatus());
    QCOMPARE(b.server->requests(), QList<QByteArray>{wireFrame(rec::cmd::getInfo)});
    b.combo("data_requestSpeed_ComboBox")->setCurrentIndex(0);
    b.click("data_ExchangeButton");
    QTRY_VERIFY(b.requests(rec::cmd::getRawData).size() >= 10);
    b.server->disconnectNow();
    QTRY_COMPARE(b.countLog(kLost), 1);
    QCOMPARE(state(b), kClosedState);
    // No spinning on the vanished device, and the window keeps turning.
    int turns = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&turns] { ++turns; });
    ticker.start(100);
    const double cpu = idleCpuOverOneSecond();
    QVERIFY2(cpu < 0.3 && turns >= 3, qPrintable(QStringLiteral("%1 s of CPU, %2 turns").arg(cpu).arg(turns)));
    // Polling runs on until its watchdog; this closed period has its own line; nobody reopened.
    QTRY_COMPARE(b.button("data_ExchangeButton")->text(), QStringLiteral("Запустить обмен"));
    QCOMPARE(b.lines("log_Edit").filter(QStringLiteral("ОШИБКА - COM порт закрыт")).size(), 2);
    QCOMPARE(QList<int>({b.countLog(kOpened), b.countLog(kClosed), b.countLog(kFailed)}), QList<int>({2, 1, 0}));
    // A second report of the loss changes nothing; the board back, the user opens again.
    emit b.window->serialLink().portLost();
    QCOMPARE(b.countLog(kLost), 1);
    b.server->reconnect();
    QVERIFY(b.openAndWaitStatus());
}

void TestPortPanel::reconnection_data()
{
    QTest::addColumn<int>("restartMs");
    QTest::addColumn<QString>("meanwhile");   // what happens while the board restarts
    QTest::newRow("back at once, list refreshed") << bench::kRestartMs << "refresh";
    QTest::newRow("not back") << 600000 << "";
    QTest::newRow("reconnection off") << bench::kRestartMs << "off";
    QTest::newRow("reconnection switched off") << bench::kRestartMs << "switch off";
    QTest::newRow("user clicks while away") << 600000 << "user clicks";
    QTest::newRow("loader started, its reply twice") << bench::kRestartMs << "twice";
    QTest::newRow("status reply joined with the restart's") << bench::kRestartMs << "joined";
}

void TestPortPanel::reconnection()
{
    QFETCH(int, restartMs);
    QFETCH(QString, meanwhile);
    const int opens = restartMs > 100000 || meanwhile.endsWith("off") ? 1 : 2;   // "COM порт открыт" lines in the end
    const bool toLoader = meanwhile == "twice";   // the other rows start the main program from the loader
    Bench b(vboard::BoardType::Physics, toLoader ? vboard::Program::Main : vboard::Program::Bootloader, restartMs);
    QVERIFY(b.startAndOpen());
    QList<QByteArray> beforeRestart;
    QObject::connect(b.server.get(), &vboard::BoardServer::restarted, [&] {
        beforeRestart = b.server->requests();
        b.server->clearRequests();
    });
    b.widget<QCheckBox>("AutoReconnect_checkBox")->setChecked(meanwhile != "off");
    if (meanwhile == "twice")
        b.server->duplicateNextReply();
    if (meanwhile == "joined") {   // the status reply is held back and written with the restart reply
        b.server->joinNextReply();
        b.click("getInfo_Button");
    }
    b.click(toLoader ? "bootloader_Start_Button" : "bl_load_mainProg_request_Button");
    QTRY_COMPARE(b.countLog(kClosed), 1);
    // While it waits for the board, the list cannot be refreshed.
    QCOMPARE(state(b).left(12), meanwhile == "off" ? QStringLiteral("Открыть 1100") : QStringLiteral("Открыть 1000"));
    if (meanwhile == "refresh") {
        b.window->on_serialPortUpdate_Button_clicked();
        QVERIFY(PortNames::extract(b.combo("serialPortList_comboBox")->currentText()) != b.server->linkPath());
    } else if (meanwhile == "switch off") {
        b.widget<QCheckBox>("AutoReconnect_checkBox")->setChecked(false);
        QTRY_COMPARE(state(b).left(12), QStringLiteral("Открыть 1100"));   // the next attempt stops
    } else if (meanwhile == "user clicks") {   // which ends the reconnection
        QTRY_VERIFY(!b.server->isUp());
        b.click("serialPortAction_Button");
        QVERIFY(inOrder(b, {kFailed, "Устройство не найдено: проверьте, что плата подключена, и нажмите «Обновить»"}));
        QCOMPARE(state(b).left(12), QStringLiteral("Открыть 1100"));
    } else if (restartMs > 100000) {
        WaitTimes::setDivisor(4 * bench::kWaitDivisor);   // a sooner give-up; nothing else waits now
        QTRY_COMPARE(b.countLog(QStringLiteral("Плата не появилась за 10 с, переподключение прекращено")), 1);
        QCOMPARE(state(b), kClosedState);
    }
    if (opens > 1) {
        QTRY_COMPARE(b.text("info_WorkMode_label"), toLoader ? "<font color = 'blue'>Загрузчик Ворлен</font>" : kMain);
        QCOMPARE(beforeRestart.last(), wireFrame(toLoader ? rec::cmd::bootloaderInit : rec::cmd::bootloaderFinish));
        // Once back, the board is asked for its status first and once; the list shows its port.
        QCOMPARE(b.server->requests().first(), wireFrame(rec::cmd::getInfo));
        QCOMPARE(b.requests(rec::cmd::getInfo).size(), 1);
        QCOMPARE(PortNames::extract(b.combo("serialPortList_comboBox")->currentText()), b.server->linkPath());
        QVERIFY(inOrder(b, {kOpened, kClosed, kOpened}));
    }
    QCOMPARE(state(b).left(12), opens > 1 ? QStringLiteral("Закрыть 0011") : QStringLiteral("Открыть 1100"));
    // Attempts while the board was away wrote nothing; a repeated restart reply is only logged.
    QCOMPARE(QList<int>({b.countLog(kOpened), b.countLog(kClosed), b.countLog(kFailed) + b.countLog(kLost),
                         b.countLog(QStringLiteral("Принят повторный ответ на уже выполненную команду - пропущен"))}),
             QList<int>({opens, 1, meanwhile == "user clicks", meanwhile == "twice"}));
}

QTEST_MAIN(TestPortPanel)
#include "test_port_panel.moc"
