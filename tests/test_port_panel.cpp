#include <QCheckBox>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

#include "BoardBench.h"
#include "PaneWriter.h"
#include "PortListText.h"

using bench::Bench;
using vboard::BoardType;
using vboard::Program;

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

// CPU time the process uses while its event loop idles for one second.
double idleCpuOverOneSecond()
{
    const double before = cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    return cpuSeconds() - before;
}

const QString kOpened = QStringLiteral("COM порт открыт");
const QString kClosed = QStringLiteral("COM порт закрыт");
const QString kLost = QStringLiteral("COM порт потерян: устройство отключено");
const QString kOpenFailed = QStringLiteral("Ошибка открытия порта");

} // namespace

class TestPortPanel : public QObject
{
    Q_OBJECT
private slots:
    void openAsksForStatusAndShowsIt_data();
    void openAsksForStatusAndShowsIt();
    void closeReturnsToClosedState();
    void openFailureChangesNothing();
    void bootloaderSwitchReconnectsAndBack();
    void noAutoReconnectLeavesPortClosed();
    void clickDuringWaitCancelsReconnection();
    void lostPortClosesPanelAndIdles();
    void paneLineFormatsAndOrder();
    void hiddenLogDropsLinesButViewsUpdate();
    void clearEmptiesAllThreePanes();
    void panesKeepLatestLines();
    void portCountSuffixByLastDigit();
};

void TestPortPanel::openAsksForStatusAndShowsIt_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("program");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("devType");
    QTest::addColumn<QString>("tabs");   // enabled state of cmds tabs 0..4

    QTest::newRow("laboratory main") << int(BoardType::Physics) << int(Program::Main)
                                     << "<font color = 'green'>Основная программа Ворлен</font>"
                                     << "<font color = 'green'>1. Цифровая лаборатория по физике</font>"
                                     << "10101";
    QTest::newRow("laboratory bootloader") << int(BoardType::Chemistry) << int(Program::Bootloader)
                                           << "<font color = 'blue'>Загрузчик Ворлен</font>"
                                           << "<font color = 'green'>2. Цифровая лаборатория по химии</font>"
                                           << "11000";
    QTest::newRow("photocolorimeter main") << int(BoardType::Photocolorimeter) << int(Program::Main)
                                           << "<font color = 'green'>Основная программа фотоколориметра</font>"
                                           << "<font color = 'green'>Фотоколориметр</font>"
                                           << "10011";
    QTest::newRow("photocolorimeter bootloader") << int(BoardType::Photocolorimeter) << int(Program::Bootloader)
                                                 << "<font color = 'blue'>Загрузчик фотоколориметра</font>"
                                                 << "<font color = 'green'>Фотоколориметр</font>"
                                                 << "11000";
}

void TestPortPanel::openAsksForStatusAndShowsIt()
{
    QFETCH(int, type);
    QFETCH(int, program);
    QFETCH(QString, mode);
    QFETCH(QString, devType);
    QFETCH(QString, tabs);

    Bench b(static_cast<BoardType>(type), static_cast<Program>(program));
    QVERIFY(b.start());
    QVERIFY(!b.tabs("cmds")->isEnabled());
    QVERIFY(b.openAndWaitStatus());

    QCOMPARE(b.countLog(kOpened), 1);
    // The first request on the wire is getInfo, and only one is sent for the open.
    QVERIFY(!b.server->requests().isEmpty());
    QCOMPARE(b.server->requests().first(), bench::bytes({0xAA, 0x06, 0x00, 0x00, 0xC1, 0xFD}));
    QCOMPARE(b.requests(0x00).size(), 1);

    QCOMPARE(b.text("info_WorkMode_label"), mode);
    QCOMPARE(b.text("info_devType_label"), devType);
    QCOMPARE(b.tabs("cmds")->currentIndex(), 0);
    QVERIFY(b.tabs("cmds")->isEnabled());
    for (int i = 0; i < 5; ++i)
        QCOMPARE(b.tabs("cmds")->isTabEnabled(i), tabs.at(i) == QLatin1Char('1'));

    QCOMPARE(b.button("serialPortAction_Button")->text(), QStringLiteral("Закрыть"));
    QVERIFY(!b.combo("serialPortList_comboBox")->isEnabled());
    QVERIFY(!b.button("serialPortUpdate_Button")->isEnabled());
    QVERIFY(b.widget<QCheckBox>("autoUpdate_checkBox")->isEnabled());
}

void TestPortPanel::closeReturnsToClosedState()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.click("serialPortAction_Button");

    QCOMPARE(b.countLog(kClosed), 1);
    QVERIFY(!b.window->serialLink().isOpen());
    QCOMPARE(b.button("serialPortAction_Button")->text(), QStringLiteral("Открыть"));
    QVERIFY(b.combo("serialPortList_comboBox")->isEnabled());
    QVERIFY(b.button("serialPortUpdate_Button")->isEnabled());
    QVERIFY(!b.tabs("cmds")->isEnabled());
    QVERIFY(!b.widget<QCheckBox>("autoUpdate_checkBox")->isEnabled());
    // Status and raw value labels are blanked; the version label is emptied.
    const QString na = QStringLiteral("<font color = 'black'>недоступно</font>");
    for (const char* name : {"info_WorkMode_label", "info_SWConfig_ok_label", "info_HWConfig_ok_label",
                             "info_atMode_Label", "info_PageAvailable_label", "info_devType_label", "info_Errors"})
        QCOMPARE(b.text(name), na);
    QCOMPARE(b.text("info_bl_vers_Label"), QString());
    const QString naCaps = QStringLiteral("<font color = 'black'>НЕДОСТУПНО</font>");
    for (const char* name : {"data_ADS_CalibrValue_label", "data_Accel_devStatus_label", "data_Press_CalibC6_label",
                             "data_SHT_devStatus_label", "data_Stat_mSecTimer_Label", "data_Stat_i2c_MS_Fault_Label"})
        QCOMPARE(b.text(name), naCaps);

    // Reopening works and shows the status again.
    QVERIFY(b.openAndWaitStatus());
    QCOMPARE(b.countLog(kOpened), 2);
}

void TestPortPanel::openFailureChangesNothing()
{
    Bench b;
    QVERIFY(b.start());
    QComboBox* ports = b.combo("serialPortList_comboBox");
    ports->clear();
    b.click("serialPortAction_Button");
    ports->addItem(b.dir.path() + QStringLiteral("/no-such-board"));
    b.click("serialPortAction_Button");

    QCOMPARE(b.countLog(kOpenFailed), 2);
    QCOMPARE(b.countLog(kOpened), 0);
    QVERIFY(!b.isOpen());
    QVERIFY(ports->isEnabled());
    QVERIFY(!b.tabs("cmds")->isEnabled());
    QVERIFY(b.server->requests().isEmpty());
}

void TestPortPanel::bootloaderSwitchReconnectsAndBack()
{
    Bench b(BoardType::Biology, Program::Main);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    QVERIFY(b.button("bootloader_Start_Button")->isEnabled());
    QVERIFY(!b.button("bl_load_mainProg_request_Button")->isEnabled());

    QElapsedTimer sinceClose;
    b.click("bootloader_Start_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kClosed), 1, 5000);
    sinceClose.start();
    QCOMPARE(b.requests(0x84).size(), 1);
    QCOMPARE(b.requests(0x84).first(), bench::frame(0x84));
    QVERIFY(!b.isOpen());

    // Reopened by itself, not before the board has had its time to restart.
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kOpened), 2, 10000);
    QVERIFY2(sinceClose.elapsed() >= 1800, qPrintable(QString::number(sinceClose.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(b.text("info_WorkMode_label"),
                              QStringLiteral("<font color = 'blue'>Загрузчик Ворлен</font>"), 10000);
    QCOMPARE(b.text("info_bl_vers_Label"), QStringLiteral("<font color = 'blue'>Версия загрузчика: </font>1.2"));
    QVERIFY(b.button("bl_load_mainProg_request_Button")->isEnabled());
    QVERIFY(!b.button("bootloader_Start_Button")->isEnabled());
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->count(), 5);

    // And back into the main program.
    b.click("bl_load_mainProg_request_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kClosed), 2, 5000);
    QCOMPARE(b.requests(0x85).size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kOpened), 3, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(b.text("info_WorkMode_label"),
                              QStringLiteral("<font color = 'green'>Основная программа Ворлен</font>"), 10000);
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->count(), 0);
    // The window closed the port itself: that is no loss.
    QCOMPARE(b.countLog(kLost), 0);
    QCOMPARE(b.countLog(kOpenFailed), 0);
}

void TestPortPanel::noAutoReconnectLeavesPortClosed()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.widget<QCheckBox>("AutoReconnect_checkBox")->setChecked(false);
    b.click("bootloader_Start_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kClosed), 1, 5000);
    QTest::qWait(3000);
    QVERIFY(!b.isOpen());
    QCOMPARE(b.countLog(kOpened), 1);
    QCOMPARE(b.countLog(kOpenFailed), 0);
}

void TestPortPanel::clickDuringWaitCancelsReconnection()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    QSignalSpy restarted(b.server.get(), &vboard::BoardServer::restarted);
    b.click("bootloader_Start_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kClosed), 1, 5000);
    // The board is back (it restarts faster than the reconnection waits).
    QTRY_VERIFY_WITH_TIMEOUT(restarted.count() >= 1, 5000);
    QCOMPARE(b.countLog(kOpened), 1);
    b.click("serialPortAction_Button");
    QCOMPARE(b.countLog(kOpened), 2);
    QVERIFY(b.isOpen());

    // The cancelled reconnection must not toggle the port closed later.
    QTest::qWait(2500);
    QVERIFY(b.isOpen());
    QCOMPARE(b.countLog(kClosed), 1);
    QCOMPARE(b.countLog(kOpened), 2);
    QVERIFY(b.showsProgram());
}

void TestPortPanel::lostPortClosesPanelAndIdles()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());

    b.server->disconnectNow();
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kLost), 1, 5000);
    QVERIFY(!b.isOpen());
    QVERIFY(!b.window->serialLink().isOpen());
    QCOMPARE(b.button("serialPortAction_Button")->text(), QStringLiteral("Открыть"));
    QVERIFY(b.combo("serialPortList_comboBox")->isEnabled());
    QVERIFY(b.button("serialPortUpdate_Button")->isEnabled());
    QVERIFY(!b.tabs("cmds")->isEnabled());
    QVERIFY(!b.widget<QCheckBox>("autoUpdate_checkBox")->isEnabled());
    QCOMPARE(b.text("info_WorkMode_label"), QStringLiteral("<font color = 'black'>недоступно</font>"));
    QCOMPARE(b.countLog(kClosed), 0);

    // No spinning on the vanished device, and no attempt to reconnect.
    const double cpu = idleCpuOverOneSecond();
    QVERIFY2(cpu < 0.3, qPrintable(QStringLiteral("CPU seconds while idle: %1").arg(cpu)));
    QCOMPARE(b.countLog(kOpened), 1);
    QCOMPARE(b.countLog(kOpenFailed), 0);

    // A second report of a loss while closed changes nothing.
    emit b.window->serialLink().portLost();
    QCOMPARE(b.countLog(kLost), 1);

    // The board comes back; the user opens it by hand.
    b.server->reconnect();
    QVERIFY(b.openAndWaitStatus());
    QCOMPARE(b.countLog(kOpened), 2);
}

void TestPortPanel::paneLineFormatsAndOrder()
{
    Bench b;
    QVERIFY(b.start());
    b.window->setClock([] { return QDateTime(QDate(2026, 3, 5), QTime(7, 8, 9, 45)); });
    QVERIFY(b.openAndWaitStatus());

    const QString stamp = QStringLiteral("2026.03.05 07:08:09.045 ");
    QVERIFY(b.logLines().contains(stamp + kOpened));
    // Request and reply lines of the status exchange, in lower-case hexadecimal.
    const QStringList ex = b.exchangeLines();
    QVERIFY(ex.contains(stamp + QStringLiteral("Запрос :6 байт: aa 06 00 00 c1 fd")));
    bool reply = false;
    for (const QString& line : ex)
        reply = reply || line.startsWith(stamp + QStringLiteral("Ответ :15 байт: aa 0f 00 00 "));
    QVERIFY(reply);

    // Send: the "Отправлено" line comes between the start and the attempt lines;
    // receive: "Принято" comes before the engine's handling of the frame.
    const int start = b.indexInLog(QStringLiteral("СТАРТ - Запрос состояния устройства (getInfo)"));
    const int sent = b.indexInLog(QStringLiteral("Отправлено: 6 байт данных"), start);
    const int attempt = b.indexInLog(QStringLiteral("Отправка команды, попытка 1"), sent);
    const int received = b.indexInLog(QStringLiteral("Принято: 15 байт данных"), attempt);
    const int handled = b.indexInLog(QStringLiteral("Принят ожидаемый ответ на команду - запрос статуса"), received);
    QVERIFY(start >= 0 && sent > start && attempt > sent && received > attempt && handled > received);

    // A block of no bytes has a header only.
    b.window->exchange(nullptr, 0, 0);
    QCOMPARE(b.exchangeLines().last(), stamp + QStringLiteral("Ответ :0 байт:"));
}

void TestPortPanel::hiddenLogDropsLinesButViewsUpdate()
{
    Bench b(BoardType::Ecology, Program::Main);
    QVERIFY(b.start());
    b.widget<QCheckBox>("hideLog_checkBox")->setChecked(true);
    const int logBefore = b.logLines().size();
    const int exBefore = b.exchangeLines().size();
    QVERIFY(b.openAndWaitStatus());
    b.window->log(QStringLiteral("строка"));
    uint8_t data[2] = {1, 2};
    b.window->exchange(data, 2, 1);
    QCOMPARE(b.logLines().size(), logBefore);
    QCOMPARE(b.exchangeLines().size(), exBefore);
    QCOMPARE(b.text("info_devType_label"), QStringLiteral("<font color = 'green'>3. Цифровая лаборатория по экологии</font>"));

    // Shown again: lines are written, none of the dropped ones come back.
    b.widget<QCheckBox>("hideLog_checkBox")->setChecked(false);
    b.window->log(QStringLiteral("видно"));
    QCOMPARE(b.logLines().size(), logBefore + 1);
    QVERIFY(b.logLines().last().endsWith(QStringLiteral("видно")));
}

void TestPortPanel::clearEmptiesAllThreePanes()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.widget<QPlainTextEdit>("atCmd_Log_plainTextEdit")->setPlainText(QStringLiteral("OK"));
    b.window->log(QStringLiteral("ещё не записано"));   // still pending in the batch
    b.click("logClear_Button");
    QCOMPARE(b.logLines(), QStringList{QString()});
    QCOMPARE(b.exchangeLines(), QStringList{QString()});
    QVERIFY(b.widget<QPlainTextEdit>("atCmd_Log_plainTextEdit")->toPlainText().isEmpty());

    b.click("getInfo_Button");
    QTRY_VERIFY_WITH_TIMEOUT(b.indexInLog(QStringLiteral("Принято: 15 байт данных")) >= 0, 5000);
    QVERIFY(b.exchangeLines().first().contains(QStringLiteral("Запрос :6 байт: aa 06 00 00 c1 fd")));
}

void TestPortPanel::panesKeepLatestLines()
{
    Bench b;
    const int total = PaneWriter::kMaxLines + 25;
    for (int i = 0; i < total; ++i)
        b.window->log(QString::number(i));
    const QStringList lines = b.logLines();
    QCOMPARE(lines.size(), PaneWriter::kMaxLines);
    QVERIFY(lines.first().endsWith(QLatin1Char(' ') + QString::number(total - PaneWriter::kMaxLines)));
    QVERIFY(lines.last().endsWith(QLatin1Char(' ') + QString::number(total - 1)));

    // The exchange pane has the same bound, also after a clear.
    b.click("logClear_Button");
    uint8_t byte = 0x5A;
    for (int i = 0; i < total; ++i)
        b.window->exchange(&byte, 1, i & 1);
    const QStringList ex = b.exchangeLines();
    QCOMPARE(ex.size(), PaneWriter::kMaxLines);
    QVERIFY(ex.last().endsWith(QStringLiteral("Ответ :1 байт: 5a")));
}

void TestPortPanel::portCountSuffixByLastDigit()
{
    const QList<QPair<int, QString>> cases = {
        {0, QStringLiteral("Найдено: 0 свободных портов")},  {1, QStringLiteral("Найдено: 1 свободный порт")},
        {2, QStringLiteral("Найдено: 2 свободных порта")},   {3, QStringLiteral("Найдено: 3 свободных порта")},
        {5, QStringLiteral("Найдено: 5 свободных портов")},  {11, QStringLiteral("Найдено: 11 свободный порт")},
        {12, QStringLiteral("Найдено: 12 свободных порта")}, {21, QStringLiteral("Найдено: 21 свободный порт")},
    };
    for (const auto& c : cases)
        QCOMPARE(portCountText(c.first), c.second);

    // The first log line of a new window is the count of the ports it lists.
    Bench b;
    const int n = b.combo("serialPortList_comboBox")->count();
    QVERIFY(b.logLines().first().endsWith(portCountText(n)));
    b.click("serialPortUpdate_Button");
    QVERIFY(b.logLines().last().endsWith(portCountText(b.combo("serialPortList_comboBox")->count())));
}

QTEST_MAIN(TestPortPanel)
#include "test_port_panel.moc"
