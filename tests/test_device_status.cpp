#include <QCheckBox>
#include <QGroupBox>
#include <QtTest>

#include "BoardBench.h"

using bench::Bench;

namespace {

struct Status {
    int progMode = 1, fw = 1, hw = 1, freePages = 0, ble = 0, devType = 1, error = 0, blVersion = 0x1A;
};

// Hands the window a status reply as if the board had sent it.
void feed(MainWindow& w, const Status& s)
{
    QByteArray f = wireFrame(0x00, bytes({s.progMode, s.fw, s.hw, 0, s.freePages, s.ble, s.devType,
                                                    s.error, s.blVersion}));
    w.engine().parseReceived(reinterpret_cast<uint8_t*>(f.data()), static_cast<uint32_t>(f.size()));
}

// Enabled state of tabs (or widgets) as a string of 0 and 1; the port is
// closed in these tests, so ask what the view set below the disabled cmds.
QString enabledTabs(const QTabWidget* tabs)
{
    QString s;
    for (int i = 0; i < tabs->count(); ++i)
        s += tabs->isTabEnabled(i) ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

} // namespace

class TestDeviceStatus : public QObject
{
    Q_OBJECT
private slots:
    void modeRows_data();
    void modeRows();
    void errorsFlagsAndMemory();
    void userCalibrationTabFollowsType();
    void tabSwitchRequests();
    void gateRefusalSendsNothing();
    void restartReplyTwiceOrJoined_data();
    void restartReplyTwiceOrJoined();
};

void TestDeviceStatus::modeRows_data()
{
    QTest::addColumn<int>("progMode");
    QTest::addColumn<int>("devType");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("tabs");       // cmds tabs 0..4
    QTest::addColumn<QString>("buttons");    // bootloader_Start, bl_load_mainProg_request
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("typeItems");
    const QString notSet = QStringLiteral("<font color = 'red'>не установлено</font>");
    const QString unknown = QStringLiteral("<font color = 'red'>неизвестный тип</font>");
    QTest::newRow("lab bootloader") << 0 << 2 << "<font color = 'blue'>Загрузчик Ворлен</font>" << "11000" << "01"
                                    << "<font color = 'green'>2. Цифровая лаборатория по химии</font>" << 5;
    QTest::newRow("lab main") << 1 << 4 << "<font color = 'green'>Основная программа Ворлен</font>" << "10101"
                              << "10" << "<font color = 'green'>4. Цифровая лаборатория по биологии</font>" << 0;
    QTest::newRow("pc bootloader") << 10 << 100 << "<font color = 'blue'>Загрузчик фотоколориметра</font>"
                                   << "11000" << "01" << "<font color = 'green'>Фотоколориметр</font>" << 2;
    QTest::newRow("pc main") << 11 << 100 << "<font color = 'green'>Основная программа фотоколориметра</font>"
                             << "10011" << "10" << "<font color = 'green'>Фотоколориметр</font>" << 0;
    QTest::newRow("type not set") << 1 << 0 << "<font color = 'green'>Основная программа Ворлен</font>" << "10101"
                                  << "10" << notSet << 0;
    QTest::newRow("lab type 7") << 1 << 7 << "<font color = 'green'>Основная программа Ворлен</font>" << "10101"
                                << "10" << unknown << 0;
    QTest::newRow("lab type 100") << 0 << 100 << "<font color = 'blue'>Загрузчик Ворлен</font>" << "11000" << "01"
                                  << unknown << 5;
    QTest::newRow("mode 5") << 5 << 2 << "<font color = 'red'>Неизвестное устройство</font>" << "11000" << "10"
                            << notSet << 0;
    QTest::newRow("mode 20") << 20 << 2 << "<font color = 'red'>Неизвестное устройство</font>" << "11000" << "01"
                             << notSet << 0;
}

void TestDeviceStatus::modeRows()
{
    QFETCH(int, progMode);
    QFETCH(int, devType);
    QFETCH(QString, mode);
    QFETCH(QString, tabs);
    QFETCH(QString, buttons);
    QFETCH(QString, type);
    QFETCH(int, typeItems);
    Bench b;
    Status s;
    s.progMode = progMode;
    s.devType = devType;
    feed(*b.window, s);
    feed(*b.window, s);   // a second reply never doubles the type list

    QTabWidget* cmds = b.tabs("cmds");
    QCOMPARE(b.text("info_WorkMode_label"), mode);
    QCOMPARE(enabledTabs(cmds), tabs);
    QCOMPARE(QString(QLatin1Char(b.button("bootloader_Start_Button")->isEnabledTo(cmds) ? '1' : '0')) +
                 QLatin1Char(b.button("bl_load_mainProg_request_Button")->isEnabledTo(cmds) ? '1' : '0'),
             buttons);
    QCOMPARE(b.text("info_devType_label"), type);
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->count(), typeItems);
    const bool bootloader = progMode == 0 || progMode == 10;
    QCOMPARE(b.text("info_bl_vers_Label"),
             bootloader ? QStringLiteral("<font color = 'blue'>Версия загрузчика: </font>1.10") : QString());
    if (bootloader) {
        const bool lab = progMode == 0;
        QCOMPARE(b.widget("bl_atCmd_GroupBox")->isHidden(), !lab);
        QCOMPARE(enabledTabs(b.tabs("hwCalibration_tabWidget")), lab ? QStringLiteral("10") : QStringLiteral("01"));
        QCOMPARE(b.text("hwConfig_devInit_label"), lab ? QStringLiteral("Загрузчик Vorlen") : QStringLiteral("Загрузчик PhotoCol"));
        QCOMPARE(b.combo("hwConfig_devType_ComboBox")->itemText(typeItems - 1),
                 lab ? QStringLiteral("4. Цифровая лаборатория по биологии") : QStringLiteral("100. Мультидатчик - фотоколориметр"));
    }
}

void TestDeviceStatus::errorsFlagsAndMemory()
{
    Bench b;
    const QList<QPair<int, QString>> errors = {
        {0x00, "<font color = 'green'>Ошибок нет</font>"},
        {0x01, "<font color = 'red'>Ошибка целостности основной программы</font>"},
        {0x02, "<font color = 'red'>Сбой основной программы. Экстренная перезагрузка устройства</font>"},
        {0x03, "<font color = 'red'>Ошибка чтения конфигураций в загрузчике</font>"},
        {0x80, "<font color = 'red'>Ошибка загрузки конфигураций</font>"},
        {0x81, "<font color = 'red'>Ошибка аппаратной конфигурации. Не установлен тип устройства</font>"},
        {0x82, "<font color = 'red'>Ошибка программного обеспечения. Неподдерживаемая версия платы</font>"},
        {0x83, "<font color = 'red'>Ошибка программного обеспечения. Неподдерживаемый тип устройства</font>"},
        {0x04, "<font color = 'red'>Ошибка программного обеспечения. Неподдерживаемый тип устройства</font>"},
        {0xFF, "<font color = 'red'>Ошибка программного обеспечения. Неподдерживаемый тип устройства</font>"},
    };   // codes outside the table keep the previous text
    Status s;
    for (const auto& e : errors) {
        s.error = e.first;
        feed(*b.window, s);
        QCOMPARE(b.text("info_Errors"), e.second);
    }

    const QString ok = QStringLiteral("<font color = 'green'>успешно</font>");
    const QString bad = QStringLiteral("<font color = 'red'>ошибка</font>");
    const struct {
        int fw, hw, ble, pages;
        QString fwText, hwText, bleText, memory;
    } rows[] = {
        {1, 0, 1, 0, ok, bad, "<font color = 'red'>включен, данные BLE транслируеются в USB</font>",
         "0 страниц памяти по 1024 байта доступно (0 байт)"},
        {2, 3, 0, 3, bad, ok, "<font color = 'green'>отключен</font>",   // only bit 0 of each flag byte counts
         "3 страниц памяти по 1024 байта доступно (3072 байт)"},
        {1, 1, 0, 255, ok, ok, "<font color = 'green'>отключен</font>",
         "255 страниц памяти по 1024 байта доступно (261120 байт)"},
    };
    for (const auto& r : rows) {
        s.fw = r.fw;
        s.hw = r.hw;
        s.ble = r.ble;
        s.freePages = r.pages;
        feed(*b.window, s);
        QCOMPARE(b.text("info_SWConfig_ok_label"), r.fwText);
        QCOMPARE(b.text("info_HWConfig_ok_label"), r.hwText);
        QCOMPARE(b.text("info_atMode_Label"), r.bleText);
        QCOMPARE(b.text("info_PageAvailable_label"), r.memory);
    }
}

void TestDeviceStatus::userCalibrationTabFollowsType()
{
    Bench b;
    // The rule runs on every tab switch, whatever the auto-update box says.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);
    const struct {
        int progMode, devType;
        const char* tabs;
    } cases[] = {{1, 1, "1000"}, {1, 2, "0100"}, {1, 3, "0010"}, {1, 4, "0001"}, {1, 0, "0000"},
                 {1, 5, "0000"}, {1, 100, "0000"}, {0, 2, "0000"}, {11, 1, "0000"}};
    for (const auto& c : cases) {
        Status s;
        s.progMode = c.progMode;
        s.devType = c.devType;
        feed(*b.window, s);
        b.tabs("cmds")->setCurrentIndex(b.tabs("cmds")->currentIndex() == 2 ? 0 : 2);
        QCOMPARE(enabledTabs(b.tabs("userCalibration_coefTabs")), QString::fromLatin1(c.tabs));
    }
}

void TestDeviceStatus::tabSwitchRequests()
{
    Bench b(vboard::BoardType::Physics, vboard::Program::Bootloader);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    QTabWidget* cmds = b.tabs("cmds");

    // Auto-update off: nothing is sent and the configuration group stays as it was.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);
    b.server->clearRequests();
    cmds->setCurrentIndex(1);
    cmds->setCurrentIndex(0);
    QTest::qWait(300);
    QVERIFY(b.server->requests().isEmpty());
    QVERIFY(b.widget("hwConfigData_GroupBox")->isEnabled());

    // On: the bootloader tab asks for the firmware configuration, without a gate.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(true);
    cmds->setCurrentIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(0x83), QList<QByteArray>{wireFrame(0x83)}, 5000);
    QVERIFY(!b.widget("hwConfigData_GroupBox")->isEnabled());
    QVERIFY(!b.button("hwConfig_Set_Button")->isEnabled());
    cmds->setCurrentIndex(0);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(0x00).size(), 1, 5000);
    cmds->setCurrentIndex(4);   // statistics are read only from a laboratory main program
    QTest::qWait(300);
    QCOMPARE(b.requests(0xFE).size(), 0);

    b.click("bl_load_mainProg_request_Button");
    QTRY_VERIFY_WITH_TIMEOUT(b.text("info_WorkMode_label").contains(QStringLiteral("Основная программа")), 10000);
    cmds->setCurrentIndex(4);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(0xFE), QList<QByteArray>{wireFrame(0xFE)}, 5000);
}

void TestDeviceStatus::gateRefusalSendsNothing()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    // An unknown program: the bootloader button is usable, the gate refuses both switches.
    Status s;
    s.progMode = 5;
    feed(*b.window, s);
    b.server->clearRequests();
    b.click("bootloader_Start_Button");
    b.window->on_bl_load_mainProg_request_Button_clicked();
    QTest::qWait(300);
    QVERIFY(b.server->requests().isEmpty());
    QCOMPARE(b.dialogs.shown.size(), 2);
    QCOMPARE(b.dialogs.shown[0].text, QStringLiteral("Команда запуска загрузчика невозможна. Уже загружено"));
    QCOMPARE(b.dialogs.shown[1].text, QStringLiteral("Команда запуска основной программы невозможна. Уже загружено"));
    QVERIFY(b.isOpen());
}

void TestDeviceStatus::restartReplyTwiceOrJoined_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<bool>("joined");   // false: the restart reply twice in one write
    QTest::addColumn<QString>("mode");  // shown once the board is back
    QTest::newRow("bootloader start, reply twice") << int(vboard::Program::Main) << false
                                                   << "<font color = 'blue'>Загрузчик Ворлен</font>";
    QTest::newRow("main program start, joined with the status reply")
        << int(vboard::Program::Bootloader) << true << "<font color = 'green'>Основная программа Ворлен</font>";
}

void TestDeviceStatus::restartReplyTwiceOrJoined()
{
    QFETCH(int, program);
    QFETCH(bool, joined);
    QFETCH(QString, mode);
    Bench b(vboard::BoardType::Physics, vboard::Program(program));
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    const bool toBootloader = program == int(vboard::Program::Main);
    const uint8_t restart = toBootloader ? 0x84 : 0x85;
    // The user asks for the status and at once for the restart. The board
    // writes its restart reply twice, or holds the status reply back and
    // writes it together with the restart reply.
    QObject::connect(b.server.get(), &vboard::BoardServer::requestReceived, [&](const QByteArray& f) {
        if (uint8_t(f.at(3)) == 0x00 && b.requests(restart).isEmpty()) {
            if (joined)
                b.server->joinNextReply();
            b.click(toBootloader ? "bootloader_Start_Button" : "bl_load_mainProg_request_Button");
        } else if (uint8_t(f.at(3)) == restart && !joined) {
            b.server->duplicateNextReply();
        }
    });
    b.click("getInfo_Button");
    // The window closes the port, reopens it once the board is back and shows its new program.
    QTRY_COMPARE_WITH_TIMEOUT(b.text("info_WorkMode_label"), mode, 8000);
    QCOMPARE(b.requests(restart).size(), 1);
    QCOMPARE(b.countLog(QStringLiteral("COM порт закрыт")), 1);
    QCOMPARE(b.countLog(QStringLiteral("COM порт открыт")), 2);
    QCOMPARE(b.countLog(QStringLiteral("COM порт потерян: устройство отключено")), 0);
    QCOMPARE(b.countLog(QStringLiteral("Принят повторный ответ на уже выполненную команду - пропущен")), joined ? 0 : 1);
}

QTEST_MAIN(TestDeviceStatus)
#include "test_device_status.moc"
