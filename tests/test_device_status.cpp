#include <QCheckBox>

#include "BoardBench.h"

using bench::Bench;

namespace {

// A status reply: program, flag bytes, free pages, BLE bridge, type, error, loader version 1.10.
void feed(Bench& b, int mode, int type, int error = 0, int fw = 1, int hw = 1, int ble = 0, int pages = 0)
{
    feedReply(b.window->engine(), rec::cmd::getInfo, bytes({mode, fw, hw, 0, pages, ble, type, error, 0x1A}));
}

QString font(const char* color, const QString& text)
{
    return QStringLiteral("<font color = '%1'>%2</font>").arg(QLatin1String(color), text);
}

// Which tabs are usable, as 0 and 1 (the port is closed: the view's own settings below cmds count).
QString usable(const QTabWidget* tabs)
{
    QString s;
    for (int i = 0; i < tabs->count(); ++i)
        s += QLatin1Char(tabs->isTabEnabled(i) ? '1' : '0');
    return s;
}

const QString kLabLoader = font("blue", "Загрузчик Ворлен"), kLabMain = font("green", "Основная программа Ворлен");
const QString kPcMain = font("green", "Основная программа фотоколориметра"), kUnknown = font("red", "неизвестный тип");
const QString kNotSet = font("red", "не установлено"), kPc = font("green", "Фотоколориметр");

} // namespace

class TestDeviceStatus : public QObject
{
    Q_OBJECT
private slots:
    void statusShowsProgramAndType_data();
    void statusShowsProgramAndType();
    void statusTexts();
    void tabSwitchesAndGate();
};

void TestDeviceStatus::statusShowsProgramAndType_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("shown");   // mode label|cmds tabs|loader, main program buttons|type label|type items|calibration tabs
    const QString lab = QStringLiteral("|10101|10|");
    QTest::newRow("lab loader") << 0 << 2 << kLabLoader + "|11000|01|" + font("green", "2. Цифровая лаборатория по химии") + "|5|0000";
    QTest::newRow("physics") << 1 << 1 << kLabMain + lab + font("green", "1. Цифровая лаборатория по физике") + "|0|1000";
    QTest::newRow("chemistry") << 1 << 2 << kLabMain + lab + font("green", "2. Цифровая лаборатория по химии") + "|0|0100";
    QTest::newRow("ecology") << 1 << 3 << kLabMain + lab + font("green", "3. Цифровая лаборатория по экологии") + "|0|0010";
    QTest::newRow("biology") << 1 << 4 << kLabMain + lab + font("green", "4. Цифровая лаборатория по биологии") + "|0|0001";
    QTest::newRow("type not set") << 1 << 0 << kLabMain + lab + kNotSet + "|0|0000";
    QTest::newRow("lab type 5") << 1 << 5 << kLabMain + lab + kUnknown + "|0|0000";
    QTest::newRow("lab type 100") << 1 << 100 << kLabMain + lab + kUnknown + "|0|0000";
    QTest::newRow("lab loader, type 100") << 0 << 100 << kLabLoader + "|11000|01|" + kUnknown + "|5|0000";
    QTest::newRow("pc loader") << 10 << 100 << font("blue", "Загрузчик фотоколориметра") + "|11000|01|" + kPc + "|2|0000";
    QTest::newRow("pc main") << 11 << 100 << kPcMain + "|10011|10|" + kPc + "|0|0000";
    QTest::newRow("pc main, type 1") << 11 << 1 << kPcMain + "|10011|10|" + kPc + "|0|0000";
    QTest::newRow("mode 5") << 5 << 2 << font("red", "Неизвестное устройство") + "|11000|10|" + kNotSet + "|0|0000";
    QTest::newRow("mode 20") << 20 << 2 << font("red", "Неизвестное устройство") + "|11000|01|" + kNotSet + "|0|0000";
}

void TestDeviceStatus::statusShowsProgramAndType()
{
    QFETCH(int, mode);
    QFETCH(int, type);
    QFETCH(QString, shown);
    Bench b;
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);   // the calibration rule runs anyway
    feed(b, mode, type);
    feed(b, mode, type);   // a second reply never doubles the type list
    QTabWidget* cmds = b.tabs("cmds");
    cmds->setCurrentIndex(0);   // calibration pages follow the type on every tab switch
    cmds->setCurrentIndex(2);
    QCOMPARE(QStringList({b.text("info_WorkMode_label"), usable(cmds),
                          QString::number(b.button("bootloader_Start_Button")->isEnabledTo(cmds)) +
                              QString::number(b.button("bl_load_mainProg_request_Button")->isEnabledTo(cmds)),
                          b.text("info_devType_label"), QString::number(b.combo("hwConfig_devType_ComboBox")->count()),
                          usable(b.tabs("userCalibration_coefTabs"))}).join(QLatin1Char('|')), shown);
    const bool loader = mode == 0 || mode == 10;
    QCOMPARE(b.text("info_bl_vers_Label"), loader ? font("blue", "Версия загрузчика: ") + "1.10" : QString());
    if (!loader)
        return;
    // The loader's pages follow its family: configuration type, calibration tab, BLE console, type list.
    const bool lab = mode == 0;
    QCOMPARE(QStringList({b.text("hwConfig_devInit_label"), usable(b.tabs("hwCalibration_tabWidget")),
                          QString::number(b.widget("bl_atCmd_GroupBox")->isHidden()),
                          b.combo("hwConfig_devType_ComboBox")->itemText(lab ? 4 : 1)}),
             lab ? QStringList({"Загрузчик Vorlen", "10", "0", "4. Цифровая лаборатория по биологии"})
                 : QStringList({"Загрузчик PhotoCol", "01", "1", "100. Мультидатчик - фотоколориметр"}));
}

void TestDeviceStatus::statusTexts()
{
    Bench b;
    // Codes outside the board's table keep the text before them.
    const QList<QPair<int, QString>> errors = {
        {0x00, font("green", "Ошибок нет")},
        {0x01, font("red", "Ошибка целостности основной программы")},
        {0x02, font("red", "Сбой основной программы. Экстренная перезагрузка устройства")},
        {0x03, font("red", "Ошибка чтения конфигураций в загрузчике")},
        {0x80, font("red", "Ошибка загрузки конфигураций")},
        {0x81, font("red", "Ошибка аппаратной конфигурации. Не установлен тип устройства")},
        {0x82, font("red", "Ошибка программного обеспечения. Неподдерживаемая версия платы")},
        {0x04, font("red", "Ошибка программного обеспечения. Неподдерживаемая версия платы")},
        {0x83, font("red", "Ошибка программного обеспечения. Неподдерживаемый тип устройства")},
        {0xFF, font("red", "Ошибка программного обеспечения. Неподдерживаемый тип устройства")},
    };
    for (const auto& e : errors) {
        feed(b, 1, 1, e.first);
        QCOMPARE(b.text("info_Errors"), e.second);
    }
    // Only bit 0 of each flag byte counts.
    const QString ok = font("green", "успешно"), bad = font("red", "ошибка"), off = font("green", "отключен");
    feed(b, 1, 1, 0, 1, 0, 1, 0);
    QCOMPARE(QStringList({b.text("info_SWConfig_ok_label"), b.text("info_HWConfig_ok_label"), b.text("info_atMode_Label"),
                          b.text("info_PageAvailable_label")}),
             QStringList({ok, bad, font("red", "включен, данные BLE транслируеются в USB"),
                          "0 страниц памяти по 1024 байта доступно (0 байт)"}));
    feed(b, 1, 1, 0, 2, 3, 0, 255);
    QCOMPARE(QStringList({b.text("info_SWConfig_ok_label"), b.text("info_HWConfig_ok_label"), b.text("info_atMode_Label"),
                          b.text("info_PageAvailable_label")}),
             QStringList({bad, ok, off, "255 страниц памяти по 1024 байта доступно (261120 байт)"}));
}

void TestDeviceStatus::tabSwitchesAndGate()
{
    Bench b(vboard::BoardType::Physics, vboard::Program::Bootloader);
    QVERIFY(b.startAndOpen());
    QTabWidget* cmds = b.tabs("cmds");
    // Auto-update off: a tab switch asks for nothing. The status request after it is the first the board sees.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);
    b.server->clearRequests();
    cmds->setCurrentIndex(1);
    cmds->setCurrentIndex(0);
    QVERIFY(b.clickAndWait("getInfo_Button"));
    QCOMPARE(b.server->requests(), QList<QByteArray>{wireFrame(rec::cmd::getInfo)});
    QVERIFY(b.widget("hwConfigData_GroupBox")->isEnabled());
    // On: the loader tab asks for the firmware record, and locks the configuration until that is read.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(true);
    b.server->clearRequests();
    cmds->setCurrentIndex(1);
    QTRY_VERIFY(b.idle());
    QCOMPARE(b.server->requests(), QList<QByteArray>{wireFrame(rec::cmd::getFwConfig)});
    QVERIFY(!b.widget("hwConfigData_GroupBox")->isEnabled() && !b.button("hwConfig_Set_Button")->isEnabled());
    cmds->setCurrentIndex(0);
    QTRY_VERIFY(b.idle());
    QCOMPARE(b.requests(rec::cmd::getInfo).size(), 1);
    cmds->setCurrentIndex(4);   // statistics come only from a laboratory's main program
    QVERIFY(b.clickAndWait("getInfo_Button"));
    QVERIFY(b.requests(rec::cmd::statistics).isEmpty());
    b.click("bl_load_mainProg_request_Button");
    QTRY_COMPARE(b.text("info_WorkMode_label"), kLabMain);
    cmds->setCurrentIndex(4);
    QTRY_COMPARE(b.requests(rec::cmd::statistics), QList<QByteArray>{wireFrame(rec::cmd::statistics)});
    QTRY_VERIFY(b.idle());
    // An unknown program: the loader button is usable, and the gate refuses both switches.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);   // tab changes ask for nothing now
    feed(b, 5, 2);
    b.server->clearRequests();
    b.click("bootloader_Start_Button");
    b.window->on_bl_load_mainProg_request_Button_clicked();
    QVERIFY(b.clickAndWait("getInfo_Button"));
    QCOMPARE(b.server->requests(), QList<QByteArray>{wireFrame(rec::cmd::getInfo)});
    QCOMPARE(b.dialogs.shown.size(), 2);
    QCOMPARE(b.dialogs.shown[0].text + b.dialogs.shown[1].text,
             QStringLiteral("Команда запуска загрузчика невозможна. Уже загружено"
                            "Команда запуска основной программы невозможна. Уже загружено"));
}

QTEST_MAIN(TestDeviceStatus)
#include "test_device_status.moc"
