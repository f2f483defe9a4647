#include <QCheckBox>
#include <QGroupBox>
#include <QtTest>

#include "BoardBench.h"

using bench::Bench;
using vboard::BoardType;
using vboard::Program;

namespace {

struct Status {
    int progMode = 1, fw = 1, hw = 1, freePages = 0, ble = 0, devType = 1, error = 0, blVersion = 0x12;
};

// Hands the window a status reply as if the board had sent it.
void feedStatus(MainWindow& w, const Status& s)
{
    QByteArray f = bench::frame(0x00, bench::bytes({s.progMode, s.fw, s.hw, 0, s.freePages, s.ble, s.devType,
                                                    s.error, s.blVersion}));
    w.engine().parseReceived(reinterpret_cast<uint8_t*>(f.data()), static_cast<uint32_t>(f.size()));
}

QString cmdsTabs(const Bench& b)
{
    QString s;
    for (int i = 0; i < 5; ++i)
        s += b.tabs("cmds")->isTabEnabled(i) ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

QString userTabs(const Bench& b)
{
    QString s;
    for (int i = 0; i < 4; ++i)
        s += b.tabs("userCalibration_coefTabs")->isTabEnabled(i) ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

} // namespace

class TestDeviceStatus : public QObject
{
    Q_OBJECT
private slots:
    void modeRows_data();
    void modeRows();
    void bootloaderTypeListNeverDoubles();
    void errorsFlagsAndMemory();
    void sensorStateTexts();
    void userCalibrationTabFollowsType();
    void tabSwitchRequests();
    void gateRefusalSendsNothing();
};

void TestDeviceStatus::modeRows_data()
{
    QTest::addColumn<int>("progMode");
    QTest::addColumn<int>("devType");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("tabs");       // cmds tabs 0..4
    QTest::addColumn<QString>("buttons");    // bootloader_Start, bl_load_mainProg_request
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("typeItems");

    const QString blVersion = QStringLiteral("<font color = 'blue'>Версия загрузчика: </font>1.10");
    const QString notSet = QStringLiteral("<font color = 'red'>не установлено</font>");
    QTest::newRow("lab bootloader, chemistry")
        << 0 << 2 << "<font color = 'blue'>Загрузчик Ворлен</font>" << blVersion << "11000" << "01"
        << "<font color = 'green'>2. Цифровая лаборатория по химии</font>" << 5;
    QTest::newRow("lab main, biology")
        << 1 << 4 << "<font color = 'green'>Основная программа Ворлен</font>" << QString() << "10101" << "10"
        << "<font color = 'green'>4. Цифровая лаборатория по биологии</font>" << 0;
    QTest::newRow("photocolorimeter bootloader")
        << 10 << 100 << "<font color = 'blue'>Загрузчик фотоколориметра</font>" << blVersion << "11000" << "01"
        << "<font color = 'green'>Фотоколориметр</font>" << 2;
    QTest::newRow("photocolorimeter main")
        << 11 << 100 << "<font color = 'green'>Основная программа фотоколориметра</font>" << QString() << "10011"
        << "10" << "<font color = 'green'>Фотоколориметр</font>" << 0;
    QTest::newRow("type not set") << 1 << 0 << "<font color = 'green'>Основная программа Ворлен</font>" << QString()
                                  << "10101" << "10" << notSet << 0;
    QTest::newRow("lab type past the list")
        << 1 << 7 << "<font color = 'green'>Основная программа Ворлен</font>" << QString() << "10101" << "10"
        << "<font color = 'red'>неизвестный тип</font>" << 0;
    QTest::newRow("lab bootloader, type 100")
        << 0 << 100 << "<font color = 'blue'>Загрузчик Ворлен</font>" << blVersion << "11000" << "01"
        << "<font color = 'red'>неизвестный тип</font>" << 5;
    QTest::newRow("unknown mode 5") << 5 << 2 << "<font color = 'red'>Неизвестное устройство</font>" << QString()
                                    << "11000" << "10" << notSet << 0;
    QTest::newRow("unknown mode 20") << 20 << 2 << "<font color = 'red'>Неизвестное устройство</font>" << QString()
                                     << "11000" << "01" << notSet << 0;
}

void TestDeviceStatus::modeRows()
{
    QFETCH(int, progMode);
    QFETCH(int, devType);
    QFETCH(QString, mode);
    QFETCH(QString, version);
    QFETCH(QString, tabs);
    QFETCH(QString, buttons);
    QFETCH(QString, type);
    QFETCH(int, typeItems);

    Bench b;
    Status s;
    s.progMode = progMode;
    s.devType = devType;
    s.blVersion = 0x1A;
    feedStatus(*b.window, s);

    QCOMPARE(b.text("info_WorkMode_label"), mode);
    QCOMPARE(b.text("info_bl_vers_Label"), version);
    QCOMPARE(cmdsTabs(b), tabs);
    // The port is closed here (cmds disabled): ask what the view itself set.
    QTabWidget* cmds = b.tabs("cmds");
    QCOMPARE(QString(QLatin1Char(b.button("bootloader_Start_Button")->isEnabledTo(cmds) ? '1' : '0')) +
                 QLatin1Char(b.button("bl_load_mainProg_request_Button")->isEnabledTo(cmds) ? '1' : '0'),
             buttons);
    QCOMPARE(b.text("info_devType_label"), type);
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->count(), typeItems);

    // The bootloader-only widgets follow the family of the bootloader.
    if (progMode == 0 || progMode == 10) {
        const bool lab = progMode == 0;
        QCOMPARE(b.widget<QGroupBox>("bl_atCmd_GroupBox")->isHidden(), !lab);
        QCOMPARE(b.tabs("hwCalibration_tabWidget")->isTabEnabled(0), lab);
        QCOMPARE(b.tabs("hwCalibration_tabWidget")->isTabEnabled(1), !lab);
        QCOMPARE(b.text("hwConfig_devInit_label"),
                 lab ? QStringLiteral("Загрузчик Vorlen") : QStringLiteral("Загрузчик PhotoCol"));
        QCOMPARE(b.combo("hwConfig_devType_ComboBox")->itemText(typeItems - 1),
                 lab ? QStringLiteral("4. Цифровая лаборатория по биологии")
                     : QStringLiteral("100. Мультидатчик - фотоколориметр"));
    }
}

void TestDeviceStatus::bootloaderTypeListNeverDoubles()
{
    Bench b;
    Status s;
    s.progMode = 0;
    feedStatus(*b.window, s);
    feedStatus(*b.window, s);
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->count(), 5);
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->itemText(0), QStringLiteral("Недоступно"));
    s.progMode = 1;
    feedStatus(*b.window, s);
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->count(), 0);
}

void TestDeviceStatus::errorsFlagsAndMemory()
{
    Bench b;
    const QList<QPair<int, QString>> errors = {
        {0x00, QStringLiteral("<font color = 'green'>Ошибок нет</font>")},
        {0x01, QStringLiteral("<font color = 'red'>Ошибка целостности основной программы</font>")},
        {0x02, QStringLiteral("<font color = 'red'>Сбой основной программы. Экстренная перезагрузка устройства</font>")},
        {0x03, QStringLiteral("<font color = 'red'>Ошибка чтения конфигураций в загрузчике</font>")},
        {0x80, QStringLiteral("<font color = 'red'>Ошибка загрузки конфигураций</font>")},
        {0x81, QStringLiteral("<font color = 'red'>Ошибка аппаратной конфигурации. Не установлен тип устройства</font>")},
        {0x82, QStringLiteral("<font color = 'red'>Ошибка программного обеспечения. Неподдерживаемая версия платы</font>")},
        {0x83, QStringLiteral("<font color = 'red'>Ошибка программного обеспечения. Неподдерживаемый тип устройства</font>")},
    };
    Status s;
    for (const auto& e : errors) {
        s.error = e.first;
        feedStatus(*b.window, s);
        QCOMPARE(b.text("info_Errors"), e.second);
    }
    // Codes outside the table keep the previous text.
    s.error = 0;
    feedStatus(*b.window, s);
    for (int code : {4, 0x7F, 0x84, 0xFF}) {
        s.error = code;
        feedStatus(*b.window, s);
        QCOMPARE(b.text("info_Errors"), QStringLiteral("<font color = 'green'>Ошибок нет</font>"));
    }

    const QString ok = QStringLiteral("<font color = 'green'>успешно</font>");
    const QString bad = QStringLiteral("<font color = 'red'>ошибка</font>");
    s = Status();
    s.fw = 1;
    s.hw = 0;
    s.ble = 1;
    feedStatus(*b.window, s);
    QCOMPARE(b.text("info_SWConfig_ok_label"), ok);
    QCOMPARE(b.text("info_HWConfig_ok_label"), bad);
    QCOMPARE(b.text("info_atMode_Label"),
             QStringLiteral("<font color = 'red'>включен, данные BLE транслируеются в USB</font>"));
    // Only bit 0 of each flag byte counts.
    s.fw = 2;
    s.hw = 3;
    s.ble = 0;
    feedStatus(*b.window, s);
    QCOMPARE(b.text("info_SWConfig_ok_label"), bad);
    QCOMPARE(b.text("info_HWConfig_ok_label"), ok);
    QCOMPARE(b.text("info_atMode_Label"), QStringLiteral("<font color = 'green'>отключен</font>"));

    const QList<QPair<int, QString>> pages = {
        {0, QStringLiteral("0 страниц памяти по 1024 байта доступно (0 байт)")},
        {3, QStringLiteral("3 страниц памяти по 1024 байта доступно (3072 байт)")},
        {255, QStringLiteral("255 страниц памяти по 1024 байта доступно (261120 байт)")},
    };
    for (const auto& p : pages) {
        s.freePages = p.first;
        feedStatus(*b.window, s);
        QCOMPARE(b.text("info_PageAvailable_label"), p.second);
    }
}

void TestDeviceStatus::sensorStateTexts()
{
    // The state codes show through the raw data view's status labels.
    Bench b(BoardType::Physics, Program::Main);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    const QStringList texts = {
        QStringLiteral("<font color = 'black'>Не инициализировано</font>"),
        QStringLiteral("<font color = 'green'>Активен</font>"),
        QStringLiteral("<font color = 'blue'>Таймаут опроса</font>"),
        QStringLiteral("<font color = 'red'>Ошибка</font>"),
        QStringLiteral("<font color = 'red'>Отключен. Исчерпаны попытки</font>"),
        QString(),
    };
    const int codes[] = {0, 1, 2, 3, 4, 7};
    for (int i = 0; i < 6; ++i) {
        QByteArray packet(256, 0);
        packet[0x88] = char(codes[i]);
        packet[0xA5] = char(codes[i]);
        packet[0xC9] = char(codes[i]);
        packet[0xF7] = char(codes[i]);
        b.server->board().setRawOverride(packet);
        const QString before = b.text("data_RequestNum_Label");
        b.click("data_LED2_R_Button");
        QTRY_VERIFY_WITH_TIMEOUT(b.text("data_RequestNum_Label") != before, 5000);
        for (const char* name : {"data_Accel_devStatus_label", "data_MAX_devStatus_label", "data_SHT_devStatus_label",
                                 "data_Press_devStatus_label"})
            QCOMPARE(b.text(name), texts[i]);
    }
}

void TestDeviceStatus::userCalibrationTabFollowsType()
{
    Bench b;
    const struct {
        int progMode, devType;
        const char* tabs;
    } cases[] = {{1, 1, "1000"}, {1, 2, "0100"}, {1, 3, "0010"}, {1, 4, "0001"}, {1, 0, "0000"},
                 {1, 5, "0000"}, {1, 100, "0000"}, {0, 2, "0000"}, {11, 1, "0000"}};
    for (const auto& c : cases) {
        Status s;
        s.progMode = c.progMode;
        s.devType = c.devType;
        feedStatus(*b.window, s);
        // The rule runs on every tab switch, whatever the auto-update box says.
        b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);
        QTabWidget* cmds = b.tabs("cmds");
        cmds->setCurrentIndex(cmds->currentIndex() == 2 ? 0 : 2);
        QCOMPARE(userTabs(b), QString::fromLatin1(c.tabs));
    }
}

void TestDeviceStatus::tabSwitchRequests()
{
    Bench b(BoardType::Physics, Program::Bootloader);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    auto* groupBox = b.widget<QGroupBox>("hwConfigData_GroupBox");
    QTabWidget* cmds = b.tabs("cmds");

    // Auto-update off: switching sends nothing and leaves the configuration group alone.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);
    b.server->clearRequests();
    cmds->setCurrentIndex(1);
    cmds->setCurrentIndex(0);
    QTest::qWait(300);
    QVERIFY(b.server->requests().isEmpty());
    QVERIFY(groupBox->isEnabled());

    // Auto-update on: the bootloader tab asks for the firmware configuration.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(true);
    cmds->setCurrentIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(0x83).size(), 1, 5000);
    QCOMPARE(b.requests(0x83).first(), bench::frame(0x83));
    QVERIFY(!groupBox->isEnabled());
    QVERIFY(!b.button("hwConfig_Set_Button")->isEnabled());
    cmds->setCurrentIndex(0);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(0x00).size(), 1, 5000);
    // The statistics tab in a bootloader asks nothing.
    cmds->setCurrentIndex(4);
    QTest::qWait(300);
    QCOMPARE(b.requests(0xFE).size(), 0);

    // A laboratory main program answers the statistics tab with a statistics read.
    b.click("bl_load_mainProg_request_Button");
    QTRY_VERIFY_WITH_TIMEOUT(b.text("info_WorkMode_label").contains(QStringLiteral("Основная программа")), 10000);
    b.server->clearRequests();
    cmds->setCurrentIndex(4);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(0xFE).size(), 1, 5000);
    QCOMPARE(b.requests(0xFE).first(), bench::frame(0xFE));
}

void TestDeviceStatus::gateRefusalSendsNothing()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    // A program the window does not know: the bootloader button is usable,
    // the gate refuses both switches.
    Status s;
    s.progMode = 5;
    feedStatus(*b.window, s);
    QVERIFY(b.button("bootloader_Start_Button")->isEnabled());
    b.server->clearRequests();
    b.click("bootloader_Start_Button");
    b.window->on_bl_load_mainProg_request_Button_clicked();
    QTest::qWait(300);
    QCOMPARE(b.requests(0x84).size(), 0);
    QCOMPARE(b.requests(0x85).size(), 0);
    QCOMPARE(b.dialogs.shown.size(), 2);
    QCOMPARE(b.dialogs.shown[0].text, QStringLiteral("Команда запуска загрузчика невозможна. Уже загружено"));
    QCOMPARE(b.dialogs.shown[1].text, QStringLiteral("Команда запуска основной программы невозможна. Уже загружено"));
    QVERIFY(b.isOpen());
}

QTEST_MAIN(TestDeviceStatus)
#include "test_device_status.moc"
