#include <QCheckBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include "BoardBench.h"
#include "IdleCpu.h"
#include "PaneWriter.h"
#include "PortListText.h"
#include "PortNames.h"
#include "PtyPair.h"
#include "SimulatorPorts.h"

using bench::Bench;
using vboard::BoardType;
using vboard::Program;

namespace {

const QString kOpened = QStringLiteral("COM порт открыт");
const QString kClosed = QStringLiteral("COM порт закрыт");
const QString kLost = QStringLiteral("COM порт потерян: устройство отключено");
const QString kOpenFailed = QStringLiteral("Ошибка открытия порта");
const QString kGaveUp = QStringLiteral("Плата не появилась за 10 с, переподключение прекращено");
const QString kNotSent = QStringLiteral("ОШИБКА - COM порт закрыт");

void verifyClosedPanel(const Bench& b)
{
    QVERIFY(!b.window->serialLink().isOpen());
    QCOMPARE(b.button("serialPortAction_Button")->text(), QStringLiteral("Открыть"));
    QVERIFY(b.combo("serialPortList_comboBox")->isEnabled());
    QVERIFY(b.button("serialPortUpdate_Button")->isEnabled());
    QVERIFY(!b.tabs("cmds")->isEnabled());
    QVERIFY(!b.widget("autoUpdate_checkBox")->isEnabled());
    for (const char* name : {"info_WorkMode_label", "info_devType_label", "info_Errors", "info_PageAvailable_label"})
        QCOMPARE(b.text(name), QStringLiteral("<font color = 'black'>недоступно</font>"));
    QCOMPARE(b.text("info_bl_vers_Label"), QString());
    for (const char* name : {"data_ADS_CalibrValue_label", "data_Press_CalibC6_label", "data_Stat_mSecTimer_Label"})
        QCOMPARE(b.text(name), QStringLiteral("<font color = 'black'>НЕДОСТУПНО</font>"));
}

} // namespace

class TestPortPanel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void openAsksForStatusAndShowsIt_data();
    void openAsksForStatusAndShowsIt();
    void closeByUserAndFailedOpen();
    void lostPortClosesPanelAndIdles();
    void bootloaderSwitchReconnectsAndBack();
    void reconnectionDisabledOrCancelled();
    void paneLinesHideAndClear();
    void panesKeepLatestLinesAndCountPorts();
    void refreshKeepsTheChosenPortByName();
    void reconnectionFollowsTheBoard_data();
    void reconnectionFollowsTheBoard();
    void closedPortLineOncePerClosedPeriod();
    void typedPathOpens_data();
    void typedPathOpens();

private:
    // Simulators running on this machine must not reach the port list.
    QTemporaryDir runtimeDir;
};

void TestPortPanel::initTestCase()
{
    QVERIFY(runtimeDir.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
}

void TestPortPanel::openAsksForStatusAndShowsIt_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("program");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("tabs");   // enabled state of cmds tabs 0..4
    QTest::newRow("lab main") << int(BoardType::Physics) << int(Program::Main)
                              << "<font color = 'green'>Основная программа Ворлен</font>" << "10101";
    QTest::newRow("lab bootloader") << int(BoardType::Chemistry) << int(Program::Bootloader)
                                    << "<font color = 'blue'>Загрузчик Ворлен</font>" << "11000";
    QTest::newRow("photocolorimeter main") << int(BoardType::Photocolorimeter) << int(Program::Main)
                                           << "<font color = 'green'>Основная программа фотоколориметра</font>" << "10011";
    QTest::newRow("photocolorimeter bootloader") << int(BoardType::Photocolorimeter) << int(Program::Bootloader)
                                                 << "<font color = 'blue'>Загрузчик фотоколориметра</font>" << "11000";
}

void TestPortPanel::openAsksForStatusAndShowsIt()
{
    QFETCH(int, type);
    QFETCH(int, program);
    QFETCH(QString, mode);
    QFETCH(QString, tabs);
    Bench b(static_cast<BoardType>(type), static_cast<Program>(program));
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());

    QCOMPARE(b.countLog(kOpened), 1);
    // One getInfo for the open, and it is the first frame on the wire.
    QCOMPARE(b.server->requests().first(), bytes({0xAA, 0x06, 0x00, 0x00, 0xC1, 0xFD}));
    QCOMPARE(b.requests(0x00).size(), 1);
    QCOMPARE(b.text("info_WorkMode_label"), mode);
    QCOMPARE(b.tabs("cmds")->currentIndex(), 0);
    QVERIFY(b.tabs("cmds")->isEnabled());
    for (int i = 0; i < 5; ++i)
        QCOMPARE(b.tabs("cmds")->isTabEnabled(i), tabs.at(i) == QLatin1Char('1'));
    QCOMPARE(b.button("serialPortAction_Button")->text(), QStringLiteral("Закрыть"));
    QVERIFY(!b.combo("serialPortList_comboBox")->isEnabled());
    QVERIFY(!b.button("serialPortUpdate_Button")->isEnabled());
    QVERIFY(b.widget("autoUpdate_checkBox")->isEnabled());
    // The status bar counts the replies since the open, with their median round trip.
    const QRegularExpression health(QStringLiteral(
        "^Связь: ответов [1-9]\\d*, повторов 0, тайм-аутов 0, ошибок CRC 0, медиана \\d+,\\d мс$"));
    QTRY_VERIFY2(health.match(b.text("linkHealth_label")).hasMatch(), qPrintable(b.text("linkHealth_label")));
}

void TestPortPanel::closeByUserAndFailedOpen()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.click("serialPortAction_Button");
    QCOMPARE(b.countLog(kClosed), 1);
    verifyClosedPanel(b);
    QVERIFY(b.openAndWaitStatus());
    QCOMPARE(b.countLog(kOpened), 2);
    // A request still waiting for its reply is not repeated after the close.
    b.server->setAnswering(false);
    b.click("getInfo_Button");
    QVERIFY(b.window->engine().isWaiting());
    b.click("serialPortAction_Button");
    QVERIFY(!b.window->engine().isWaiting());
    QCOMPARE(b.window->engine().attemptsRemaining(), 0u);
    b.server->setAnswering(true);

    // An empty list and a missing device both fail with the same line.
    b.server->clearRequests();
    QComboBox* ports = b.combo("serialPortList_comboBox");
    ports->clear();
    b.click("serialPortAction_Button");
    ports->addItem(b.dir.path() + QStringLiteral("/no-such-board"));
    b.click("serialPortAction_Button");
    QCOMPARE(b.countLog(kOpenFailed), 2);
    QCOMPARE(b.countLog(kOpened), 2);
    verifyClosedPanel(b);

    // A request made while the port is closed is not reported as sent.
    const int sentBefore = b.countLog(QStringLiteral("Отправлено: 6 байт данных"));
    b.window->engine().sendCommand(rec::cmd::getInfo, nullptr, 0);
    QCOMPARE(b.countLog(QStringLiteral("ОШИБКА - COM порт закрыт, 6 байт данных не отправлено")), 1);
    QCOMPARE(b.countLog(QStringLiteral("Отправлено: 6 байт данных")), sentBefore);
    QVERIFY(b.server->requests().isEmpty());
}

void TestPortPanel::lostPortClosesPanelAndIdles()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.server->disconnectNow();
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kLost), 1, 5000);
    verifyClosedPanel(b);
    QCOMPARE(b.countLog(kClosed), 0);

    // No spinning on the vanished device and no attempt to reconnect.
    const double cpu = idleCpuOverOneSecond();
    QVERIFY2(cpu < 0.3, qPrintable(QStringLiteral("CPU seconds while idle: %1").arg(cpu)));
    QCOMPARE(b.countLog(kOpened) + b.countLog(kOpenFailed), 1);
    // A loss reported while closed changes nothing.
    emit b.window->serialLink().portLost();
    QCOMPARE(b.countLog(kLost), 1);

    b.server->reconnect();
    QVERIFY(b.openAndWaitStatus());
}

void TestPortPanel::bootloaderSwitchReconnectsAndBack()
{
    Bench b(BoardType::Biology, Program::Main);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    // Timed from the click, which comes before both the close and the board's
    // restart, so the lower bounds below hold whatever the machine's load.
    QElapsedTimer sinceClose;
    sinceClose.start();
    b.click("bootloader_Start_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kClosed), 1, 5000);
    QCOMPARE(b.requests(0x84), QList<QByteArray>{wireFrame(0x84)});
    QVERIFY(!b.isOpen());

    // Reopened by itself once the board has had its time to restart.
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kOpened), 2, 10000);
    QVERIFY2(sinceClose.elapsed() >= 1800, qPrintable(QString::number(sinceClose.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(b.text("info_WorkMode_label"),
                              QStringLiteral("<font color = 'blue'>Загрузчик Ворлен</font>"), 10000);
    QVERIFY(!b.button("bootloader_Start_Button")->isEnabled());

    b.click("bl_load_mainProg_request_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kOpened), 3, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(b.text("info_WorkMode_label"),
                              QStringLiteral("<font color = 'green'>Основная программа Ворлен</font>"), 10000);
    QCOMPARE(b.requests(0x85).size(), 1);
    // The window closed the port itself: no loss, no failed open.
    QCOMPARE(b.countLog(kLost) + b.countLog(kOpenFailed), 0);
}

void TestPortPanel::reconnectionDisabledOrCancelled()
{
    {
        Bench b;
        QVERIFY(b.start());
        QVERIFY(b.openAndWaitStatus());
        b.widget<QCheckBox>("AutoReconnect_checkBox")->setChecked(false);
        b.click("bootloader_Start_Button");
        QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kClosed), 1, 5000);
        QTest::qWait(3000);
        QVERIFY(!b.isOpen());
        QVERIFY(b.button("serialPortUpdate_Button")->isEnabled());
        QCOMPARE(b.countLog(kOpened) + b.countLog(kOpenFailed), 1);
    }
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    QSignalSpy restarted(b.server.get(), &vboard::BoardServer::restarted);
    b.click("bootloader_Start_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kClosed), 1, 5000);
    // The board restarts faster than the reconnection waits; the user opens at once.
    QTRY_VERIFY_WITH_TIMEOUT(restarted.count() >= 1, 5000);
    QCOMPARE(b.countLog(kOpened), 1);
    b.click("serialPortAction_Button");
    QVERIFY(b.isOpen());
    // The cancelled reconnection must not toggle the port closed later.
    QTest::qWait(2500);
    QVERIFY(b.isOpen() && b.showsProgram());
    QCOMPARE(b.countLog(kClosed), 1);
    QCOMPARE(b.countLog(kOpened), 2);
}

void TestPortPanel::paneLinesHideAndClear()
{
    Bench b;
    QVERIFY(b.start());
    b.window->setClock([] { return QDateTime(QDate(2026, 3, 5), QTime(7, 8, 9, 45)); });
    QVERIFY(b.openAndWaitStatus());
    const QString stamp = QStringLiteral("2026.03.05 07:08:09.045 ");
    QVERIFY(b.lines("log_Edit").contains(stamp + kOpened));
    const QStringList ex = b.lines("exchange_PlainText");
    QVERIFY(ex.contains(stamp + QStringLiteral("Запрос :6 байт: aa 06 00 00 c1 fd")));
    QVERIFY(ex.filter(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(stamp) +
                                         QStringLiteral("Ответ :15 байт: aa 0f 00 00( [0-9a-f]{2}){11}$")))
                .size() == 1);
    b.window->exchange(nullptr, 0, 0);
    QCOMPARE(b.lines("exchange_PlainText").last(), stamp + QStringLiteral("Ответ :0 байт:"));

    // "Отправлено" between the start and attempt lines; "Принято" before the engine's handling.
    const int start = b.indexInLog(QStringLiteral("СТАРТ - Запрос состояния устройства (getInfo)"));
    const int sent = b.indexInLog(QStringLiteral("Отправлено: 6 байт данных"), start);
    const int attempt = b.indexInLog(QStringLiteral("Отправка команды, попытка 1"), sent);
    const int received = b.indexInLog(QStringLiteral("Принято: 15 байт данных"), attempt);
    const int handled = b.indexInLog(QStringLiteral("Принят ожидаемый ответ на команду - запрос статуса"), received);
    QVERIFY(start >= 0 && sent > start && attempt > sent && received > attempt && handled > received);

    // Hidden: both panes drop their lines, the views still update.
    b.widget<QCheckBox>("hideLog_checkBox")->setChecked(true);
    b.click("logClear_Button");
    b.server->board().status().errorCode = 1;
    b.click("getInfo_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.text("info_Errors"),
                              QStringLiteral("<font color = 'red'>Ошибка целостности основной программы</font>"), 5000);
    QCOMPARE(b.lines("log_Edit"), QStringList{QString()});
    QCOMPARE(b.lines("exchange_PlainText"), QStringList{QString()});

    // Clear empties all three panes, lines still waiting for the pane included.
    b.widget<QCheckBox>("hideLog_checkBox")->setChecked(false);
    b.widget<QPlainTextEdit>("atCmd_Log_plainTextEdit")->setPlainText(QStringLiteral("OK"));
    b.window->log(QStringLiteral("ещё не записано"));
    b.click("logClear_Button");
    QCOMPARE(b.lines("log_Edit"), QStringList{QString()});
    QVERIFY(b.widget<QPlainTextEdit>("atCmd_Log_plainTextEdit")->toPlainText().isEmpty());
}

void TestPortPanel::panesKeepLatestLinesAndCountPorts()
{
    Bench b;
    // The first log line of a new window counts the ports it lists.
    QVERIFY(b.lines("log_Edit").first().endsWith(portCountText(b.combo("serialPortList_comboBox")->count())));
    const QList<QPair<int, QString>> counts = {
        {0, "0 свободных портов"}, {1, "1 свободный порт"},    {2, "2 свободных порта"},  {3, "3 свободных порта"},
        {5, "5 свободных портов"}, {11, "11 свободный порт"}, {12, "12 свободных порта"}, {21, "21 свободный порт"}};
    for (const auto& c : counts)
        QCOMPARE(portCountText(c.first), QStringLiteral("Найдено: ") + c.second);

    const int total = PaneWriter::kMaxLines + 25;
    for (int i = 0; i < total; ++i)
        b.window->log(QString::number(i));
    QStringList log = b.lines("log_Edit");
    QCOMPARE(log.size(), PaneWriter::kMaxLines);
    QVERIFY(log.first().endsWith(QLatin1Char(' ') + QString::number(total - PaneWriter::kMaxLines)));
    QVERIFY(log.last().endsWith(QLatin1Char(' ') + QString::number(total - 1)));

    // The exchange pane has the same bound, also after a clear.
    b.click("logClear_Button");
    uint8_t byte = 0x5A;
    for (int i = 0; i < total; ++i)
        b.window->exchange(&byte, 1, 0);
    QCOMPARE(b.lines("exchange_PlainText").size(), PaneWriter::kMaxLines);
}

void TestPortPanel::refreshKeepsTheChosenPortByName()
{
    Bench b;
    QVERIFY(b.start());
    PtyPair other;
    QVERIFY(SimulatorPorts::registerEntry("a", {other.slavePath(), "другая плата"}));
    QVERIFY(SimulatorPorts::registerEntry("b", {b.server->linkPath(), "эта плата"}));
    QComboBox* ports = b.combo("serialPortList_comboBox");
    b.click("serialPortUpdate_Button");
    const int board = ports->findText(b.server->linkPath(), Qt::MatchContains);
    QVERIFY(board >= 1);
    ports->setCurrentIndex(board);
    // The board's entry moves up one place; the choice follows its name.
    SimulatorPorts::unregisterEntry("a");
    b.click("serialPortUpdate_Button");
    QCOMPARE(ports->count(), board);
    QCOMPARE(PortNames::extract(ports->currentText()), b.server->linkPath());
    QVERIFY(b.openAndWaitStatus());
    b.click("serialPortAction_Button");
    // Gone from the list: the first entry is offered.
    SimulatorPorts::unregisterEntry("b");
    b.click("serialPortUpdate_Button");
    QCOMPARE(ports->currentIndex(), ports->count() > 0 ? 0 : -1);
}

void TestPortPanel::reconnectionFollowsTheBoard_data()
{
    QTest::addColumn<int>("restartMs");
    QTest::addColumn<bool>("refresh");   // the list is refreshed while the board restarts
    QTest::addColumn<bool>("reopens");
    QTest::newRow("back in 0.8 s, list refreshed meanwhile") << 800 << true << true;
    QTest::newRow("back in 3.5 s") << 3500 << false << true;
    QTest::newRow("not back") << 600000 << false << false;
}

void TestPortPanel::reconnectionFollowsTheBoard()
{
    QFETCH(int, restartMs);
    QFETCH(bool, refresh);
    QFETCH(bool, reopens);
    Bench b(BoardType::Physics, Program::Main, restartMs);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    QComboBox* ports = b.combo("serialPortList_comboBox");
    // Timed from the click, which comes before both the close and the board's
    // restart, so the lower bounds below hold whatever the machine's load.
    QElapsedTimer sinceClose;
    sinceClose.start();
    b.click("bootloader_Start_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kClosed), 1, 5000);
    QVERIFY(!b.button("serialPortUpdate_Button")->isEnabled());
    if (refresh) {
        b.window->on_serialPortUpdate_Button_clicked();
        QVERIFY(PortNames::extract(ports->currentText()) != b.server->linkPath());
    }
    if (reopens) {
        QTRY_COMPARE_WITH_TIMEOUT(b.text("info_WorkMode_label"),
                                  QStringLiteral("<font color = 'blue'>Загрузчик Ворлен</font>"), 15000);
        // The simulator's restart timer is a coarse one (it may fire up to 5 % early).
        QVERIFY2(sinceClose.elapsed() >= std::max(2000, restartMs * 95 / 100), qPrintable(QString::number(sinceClose.elapsed())));
        QCOMPARE(PortNames::extract(ports->currentText()), b.server->linkPath());
        QCOMPARE(b.countLog(kOpened), 2);
        QVERIFY(!b.button("serialPortUpdate_Button")->isEnabled());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kGaveUp), 1, 15000);
        QVERIFY2(sinceClose.elapsed() >= 10000, qPrintable(QString::number(sinceClose.elapsed())));
        verifyClosedPanel(b);
        QCOMPARE(b.countLog(kOpened), 1);
    }
    // Attempts that failed while the board was away wrote nothing.
    QCOMPARE(b.countLog(kOpenFailed), 0);
}

void TestPortPanel::closedPortLineOncePerClosedPeriod()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.combo("data_requestSpeed_ComboBox")->setCurrentIndex(0);
    b.click("data_ExchangeButton");
    QTRY_VERIFY_WITH_TIMEOUT(b.requests(rec::cmd::getRawData).size() >= 20, 10000);
    b.click("serialPortAction_Button");
    // Polling runs on until its watchdog ends it, the line is written once.
    QTRY_COMPARE_WITH_TIMEOUT(b.button("data_ExchangeButton")->text(), QStringLiteral("Запустить обмен"), 10000);
    QCOMPARE(b.lines("log_Edit").filter(kNotSent).size(), 1);
    const int frames = b.lines("exchange_PlainText").filter(QStringLiteral("Запрос :")).size();
    QVERIFY2(frames >= b.server->requests().size() + 10, qPrintable(QString::number(frames)));

    // The next closed period gets its own line.
    QVERIFY(b.openAndWaitStatus());
    b.click("serialPortAction_Button");
    b.window->engine().sendCommand(rec::cmd::getInfo, nullptr, 0);
    QCOMPARE(b.lines("log_Edit").filter(kNotSent).size(), 2);
}

void TestPortPanel::typedPathOpens_data()
{
    QTest::addColumn<QString>("typed");   // %1: the bench's folder
    QTest::addColumn<QString>("reason");  // line after "Ошибка открытия порта"; empty: the port opens
    QTest::newRow("board path") << "%1/board" << QString();
    QTest::newRow("missing device") << "%1/no-such-board"
                                    << "Устройство не найдено: проверьте, что плата подключена, и нажмите «Обновить»";
    QTest::newRow("no port name") << "board"
                                  << "Порт не выбран: выберите порт в списке или введите путь к устройству";
}

void TestPortPanel::typedPathOpens()
{
    QFETCH(QString, typed);
    QFETCH(QString, reason);
    Bench b;
    QVERIFY(b.start());
    QComboBox* ports = b.combo("serialPortList_comboBox");
    ports->clear();
    QTest::keyClicks(ports->lineEdit(), typed.arg(b.dir.path()));
    b.click("serialPortAction_Button");
    if (reason.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(b.showsProgram(), 10000);
        QCOMPARE(b.countLog(kOpened), 1);
        return;
    }
    const int failed = b.indexInLog(kOpenFailed);
    QVERIFY(failed >= 0);
    QVERIFY(b.lines("log_Edit").value(failed + 1).endsWith(reason));
    QVERIFY(!b.isOpen() && !b.window->serialLink().isOpen());
}

QTEST_MAIN(TestPortPanel)
#include "test_port_panel.moc"
