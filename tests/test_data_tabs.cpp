// The data tabs against the simulated board, or with replies fed to the engine of a window without one.
// Records are laid out here byte by byte, as the board sends them.
#include <QtWidgets>

#include <cmath>

#include "BoardBench.h"
#include "LittleEndian.h"
#include "Records.h"

using bench::Bench;
using vboard::BoardType;
using vboard::Program;
namespace cmd = rec::cmd;

namespace {

// Little-endian at `at`: a float32, or an integer as wide as T.
template <class T> void put(QByteArray& a, int at, T v)
{
    if constexpr (std::is_floating_point_v<T>)
        le::putF32(raw(a) + at, float(v));
    else if constexpr (sizeof(T) == 4)
        le::put32(raw(a) + at, uint32_t(v));
    else
        le::put16(raw(a) + at, uint16_t(v));
}

QByteArray floats(std::initializer_list<float> list)
{
    QByteArray b(int(list.size()) * 4, 0);
    for (int i = 0; i < int(list.size()); ++i)
        put(b, 4 * i, list.begin()[i]);
    return b;
}

// Checks "label=text|label=text|..." (label names after `prefix`); {g} and {/g} stand for green font tags.
void shows(Bench& b, const QString& prefix, QString texts)
{
    texts.replace(QStringLiteral("{g}"), QStringLiteral("<font color = 'green'>")).replace("{/g}", "</font>");
    for (const QString& item : texts.split(QLatin1Char('|')))
        QTRY_COMPARE_WITH_TIMEOUT(b.text(qPrintable(prefix + item.section('=', 0, 0))), item.section('=', 1), 2000);
}

// A hardware configuration whose bytes differ from their neighbours, with coefficients a box shows exactly.
QByteArray hwRecord(uint8_t type, uint8_t version)
{
    QByteArray r(rec::hwcfg::kSize, '\0');
    for (int i = 0; i < r.size(); ++i)
        r[i] = char(i * 7 + 3);
    r[0] = char(type), r[1] = char(version);
    return r.replace(32, 76, floats({0.5f, -0.08f, -1.312f, 0.25f, 144.9915f, -83.4412f, 122.7484f, -66.8052f,
                                     0.747914f, 71.43f, 1, -2.5f, 3.125f, 0.001f, 999.5f, -999.25f, 12, 0.333333f,
                                     -0.000001f}));
}

// Clicks a button on a page that is closed without a board: its containers are enabled first.
void press(Bench& b, const QString& name)
{
    for (QWidget* p = b.widget(qPrintable(name)); p; p = p->parentWidget())
        p->setEnabled(true);
    b.click(qPrintable(name));
}

QString lastShown(const Bench& b) { return b.dialogs.shown.isEmpty() ? QString() : b.dialogs.shown.last().text; }

struct UserBlock {
    BoardType type;
    int size, floatArea, coefAt, stepAt;   // coefficients first, then one-byte steps and reserved bytes
    QByteArray defaults;
    const char *coef, *step, *reset;
};

} // namespace

Q_DECLARE_METATYPE(UserBlock)

class TestDataTabs : public QObject
{
    Q_OBJECT
private slots:
    void polling();
    void laboratoryPages();
    void photocolorimeterPage();
    void hwConfigLaboratory();
    void hwConfigPhotocolorimeter();
    void userCalibration_data();
    void userCalibration();
    void withoutBoard();
};

void TestDataTabs::polling()
{
    Bench b{BoardType::Chemistry};
    QVERIFY(b.startAndOpen());
    QAbstractButton* go = b.button("data_ExchangeButton");
    QComboBox* box = b.combo("data_requestSpeed_ComboBox");
    auto shown = [&] { return b.text("data_RequestNum_Label").toInt(); };
    auto polls = [&] { return b.requests(cmd::getRawData).size(); };
    auto stopped = [&] { return b.countLog(QStringLiteral("Считывание данных остановлено")); };
    QSignalSpy replies(&b.window->engine(), &proto_Vorlen_v2::cmd_RawData_received);
    // Each reply brings the next request a period later; 20 replies at 50 ms outlast the watchdog.
    box->setCurrentIndex(3);
    go->click();
    QVERIFY(go->text() == "Остановить обмен" && !box->isEnabled() && b.indexInLog("Запуск считывания данных платы") >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(shown() >= 20, 10000);
    QVERIFY2(polls() <= replies.size() + 2, qPrintable(QString::number(polls() - replies.size())));
    // Silence: requests go on a period apart until the watchdog ends polling; the count shown is exact.
    b.server->setAnswering(false);
    QTRY_COMPARE_WITH_TIMEOUT(stopped(), 1, 10000);
    QVERIFY(go->text() == QStringLiteral("Запустить обмен") && box->isEnabled());
    QVERIFY2(polls() >= replies.size() + 5, qPrintable(QString::number(polls() - replies.size())));
    QTRY_COMPARE(shown(), replies.size());
}

void TestDataTabs::laboratoryPages()
{
    Bench b;
    QVERIFY(b.startAndOpen());
    QByteArray r(64, 0);   // accelerometer and humidity answered; pull-up 10K; 25 h is no time of day
    r[0] = 0x05, r[1] = 2, r[0x22] = 1, put<uint32_t>(r, 4, 90000000), put<int16_t>(r, 8, -200);
    put(r, 0x0C, 1.25f), put(r, 0x10, -0.5f), put(r, 0x14, 3.75f), put(r, 0x18, 100.0f), put(r, 0x24, 250.5f);
    put<int16_t>(r, 0x1C, -1000), put<int16_t>(r, 0x1E, 300), put<int16_t>(r, 0x20, -5), put(r, 0x2C, 1000.5f);
    put<uint16_t>(r, 0x28, 4550), put<int16_t>(r, 0x2A, -150), put<int16_t>(r, 0x30, 2100);
    b.server->board().setExchangeOverride(r);
    // Each control sends the whole block, an output on (bit clear) while its button is checked; both pages show the
    // scale and pull-up sent last, and the next request from either carries them.
    auto d = [](int o, int ble, int acc) { return wireFrame(cmd::getRawData, bytes({o, ble, acc})); };
    auto x = [](int acc, int pull) { return wireFrame(cmd::getDataExchange, bytes({acc, pull})); };
    const struct {
        const char* widget;
        int index;   // the item chosen, or -1 for a click
        QByteArray request;
    } steps[] = {
        {"data_LED2_G_Button", -1, d(0xC6, 1, 0)}, {"data_LED2_B_Button", -1, d(0xC4, 1, 0)},
        {"data_LED1_R_Button", -1, d(0xC0, 1, 0)}, {"data_LED1_B_Button", -1, d(0x80, 1, 0)},
        {"data_LED1_G_Button", -1, d(0x00, 1, 0)}, {"data_LED2_R_Button", -1, d(0x00, 1, 0)},
        {"data_conductPullup_combobox", 1, d(0x08, 1, 0)}, {"data_BLE_State_comboBox", 0, d(0x08, 0, 0)},
        {"data_AccelScale_comboBox", 3, d(0x08, 0, 3)}, {"data_conductPullup_combobox", 3, d(0x20, 0, 3)},
        {"exchange_SetConductScale_comboBox", 1, x(3, 1)}, {"data_LED1_G_Button", -1, d(0x88, 0, 3)},
        {"exchange_SetAccel_Scale_comboBox", 2, x(2, 1)}, {"data_LED1_G_Button", -1, d(0x08, 0, 2)},
        {"data_conductPullup_combobox", 2, d(0x10, 0, 2)}, {"exchange_SetAccel_Scale_comboBox", 0, x(0, 2)}};
    for (const auto& s : steps) {
        const int before = b.sent.size();
        if (s.index < 0)
            b.click(s.widget);
        else
            b.choose(s.widget, s.index);
        QCOMPARE(b.sent.mid(before), QList<QByteArray>{s.request});
        QTRY_VERIFY_WITH_TIMEOUT(b.idle(), 5000);
    }
    b.window->on_data_WriteControl_button_clicked();   // no button on the form: the slot sends the block too
    QCOMPARE(b.sent.last(), d(0x10, 0, 0));
    shows(b, "", "data_RequestNum_Label=14|exchange_asnwerNum_label=3");   // shown, though not polling
    shows(b, "exchange_", "requstNum_label=3|workTime_label={g}{/g}|ConductScale_label={g}Подтяжка 10К{/g}|"
                          "ADC_Temp_label={g}-2 °С{/g}|ADC_Voltage1_label={g}1.25 В{/g}|ADC_Voltage2_label={g}-0.5 В{/g}|"
                          "ADC_Voltage3_label={g}3.75 В{/g}|ADC_Voltage4_label={g}100 В{/g}|AccelScale_label={g}4G{/g}|"
                          "Accel_X_label={g}-1000{/g}|Accel_Y_label={g}300{/g}|Accel_Z_label={g}-5{/g}|"
                          "SHT_Humidity_label={g}45.5 %RH{/g}|SHT_Temp_label={g}-1.5 °С{/g}|"
                          "Light_label=<font color = 'red'>Нет ответа</font>|"
                          "Press_Pressure_label=<font color = 'red'>Нет ответа</font>|"
                          "Press_Temp_label=<font color = 'red'>Нет ответа</font>");
    r[0] = 0x0A, r[1] = 7, put<uint32_t>(r, 4, 45296789);   // light and pressure answered
    b.server->board().setExchangeOverride(r);
    QVERIFY(b.clickAndWait("exchange_StartStop_button"));   // a bare request
    QCOMPARE(b.requests(cmd::getDataExchange).last(), wireFrame(cmd::getDataExchange));
    shows(b, "exchange_", "asnwerNum_label=4|workTime_label={g}12:34:56:789{/g}|Light_label={g}250.5 люкс{/g}|"
                          "ConductScale_label=<font color = 'black'>Отключен</font>|Press_Temp_label={g}21 °С{/g}|"
                          "SHT_Humidity_label=<font color = 'red'>Нет ответа</font>");

    // Statistics (starts, faults, archive uses, use and battery time, updates): unsigned counters, the top values
    // not negative; the board counts its running time on.
    auto stats = [&b](std::initializer_list<uint32_t> counters, uint16_t updates) {
        QByteArray s(60, 0);
        for (int i = 0; i < 5; ++i)
            put(s, 4 * i, counters.begin()[i]);
        put(s, 36, updates);
        b.server->board().setStatistics(s);
    };
    const QString labels = "stat_boardUse_count_label=%1|stat_hardFault_count_label=%2|stat_archive_use_label=%3|"
                           "stat_batTime_label=%4 секунд|stat_fw_update_count_label=%5";
    stats({0xFFFFFFFFu, 0x80000000u, 5, 3600, 86400}, 0x8000);
    b.server->clearRequests();
    QVERIFY(b.clickAndWait("stat_get_button"));
    QCOMPARE(b.server->requests(), QList<QByteArray>{bench::hex("aa 06 00 fe 40 7d")});
    shows(b, "", labels.arg("4294967295", "2147483648", "5", "86400", "32768"));
    QVERIFY(QRegularExpression(QStringLiteral("^36\\d\\d секунд$")).match(b.text("stat_useTime_label")).hasMatch());
    stats({18, 4, 6, 100, 50}, 2);   // entering the tab with auto-update reads them again
    b.tabs("cmds")->setCurrentIndex(0);
    b.tabs("cmds")->setCurrentIndex(4);
    shows(b, "", labels.arg("18", "4", "6", "50", "2"));
    // Reset only behind the check box; the board's counters are cleared and read back.
    b.click("stat_reset_button");   // disabled until the box is ticked
    QCOMPARE(b.sentCount(cmd::statistics), 2);
    b.click("stat_reset_allow_checkBox");
    QVERIFY(b.clickAndWait("stat_reset_button") && b.clickAndWait("stat_get_button"));
    QCOMPARE(b.requests(cmd::statistics).mid(2, 1), QList<QByteArray>{bench::hex("aa 08 00 fe 94 2b b6 ff")});
    shows(b, "", labels.arg("0", "0", "0", "0", "0"));

    // Raw packet: the last byte of each slice kept (0, 0x20-23, 0x40-4D, 0x60-79, 0x80-88, 0xA0-A5, 0xC0-C9, 0xE0-F7).
    QByteArray p(256, 0);
    p[0] = 0x28, p[0x78] = char(200), p[0x79] = 1, p[0x86] = 9, p[0x87] = 3, p[0x88] = 1, p[0xA4] = 11, p[0xA5] = 2;
    p[0xC8] = 12, p[0xC9] = 4, p[0xF6] = 13, p[0xF7] = 3, put<uint32_t>(p, 0x20, 45296789);
    const uint16_t counters[] = {257, 2, 3, 260, 5, 262, 65535};
    for (int i = 0; i < 7; ++i)
        put(p, 0x40 + 2 * i, counters[i]), put<uint16_t>(p, 0xE8 + 2 * i, 0x1111 * (i + 1));
    put(p, 0x60, 1234567.0f), put(p, 0x64, 3.3f), put(p, 0x68, 0.000123f), put(p, 0x6C, -1.5f), put(p, 0x70, 2.5f);
    put(p, 0x74, -12.5f), put<uint16_t>(p, 0x80, 65535), put<uint16_t>(p, 0x82, 2), put<uint16_t>(p, 0x84, 771);
    put(p, 0xA0, 512.25f), put(p, 0xC0, 45.5f), put(p, 0xC4, 21.5f), put(p, 0xE0, 1013.25f), put(p, 0xE4, 19.0f);
    feedReply(b.window->engine(), cmd::getRawData, p);
    const QString values =   // all but the output byte's texts, which closing the port leaves
        "Stat_mSecTimer_Label=12:34:56:789|Stat_i2c_fault_Label=257|Stat_i2c_handlerTimeout_Label=2|"
        "Stat_i2c_LIS_Fault_Label=3|Stat_i2c_EEPROM_Fault_Label=260|Stat_i2c_MAX_Fault_Label=5|"
        "Stat_i2c_SHT_Fault_Label=262|Stat_i2c_MS_Fault_Label=65535|ADS_CalibrValue_label=1.23457e+06 (единиц АЦП)|"
        "ADS_Volt_channel0_label=3.3 В|ADS_Volt_channel1_label=0.000123 В|ADS_Volt_channel2_label=-1.5 В|"
        "ADS_Volt_channel3_label=2.5 В|ADS_Temp_label=-12.5 °С|ADS_MeasCycle_label=200|Accel_X_label=65535|"
        "Accel_Y_label=2|Accel_Z_label=771|Accel_MeasCycle_label=9|Accel_Scale_label=16G|"
        "Accel_devStatus_label={g}Активен{/g}|MAX_lux_label=512.25 люкс|MAX_measCycle_label=11|"
        "MAX_devStatus_label=<font color = 'blue'>Таймаут опроса</font>|SHT_humidity_label=45.5 %RH|"
        "SHT_Temperature_label=21.5 °С|SHT_measCycle_label=12|"
        "SHT_devStatus_label=<font color = 'red'>Отключен. Исчерпаны попытки</font>|Press_Pressure_label=1013.25 мБар|"
        "Press_Temperature_label=19 °С|Press_CalibC0_label=0x1111|Press_CalibC1_label=0x2222|"
        "Press_CalibC2_label=0x3333|Press_CalibC3_label=0x4444|Press_CalibC4_label=0x5555|Press_CalibC5_label=0x6666|"
        "Press_CalibC6_label=0x7777|Press_measCycle_label=13|Press_devStatus_label=<font color = 'red'>Ошибка</font>";
    shows(b, "data_", "RequestNum_Label=15|HC595_RawData_label=0x28|Conductometr_label=Отключен|BLE_Label=Включен|" +
                          values);
    put<uint32_t>(p, 0x20, 86399999);   // the last millisecond of a day still shows
    feedReply(b.window->engine(), cmd::getRawData, p);
    shows(b, "data_", "Stat_mSecTimer_Label=23:59:59:999");
    // Pull-up from bits 3..5, one only; codes off the lists and a day or more show nothing; quick records all shown.
    p[0x87] = 4, p[0x88] = 0, p[0xF7] = 5, put<uint32_t>(p, 0x20, 86400000);
    const QPair<char, QString> pullups[] = {
        {0x08, "0x8|Conductometr_label=Включен, 1 кОм"}, {0x10, "0x10|Conductometr_label=Включен, 10 кОм"},
        {char(0xE7), "0xe7|Conductometr_label=Включен, 100 кОм"}, {0x18, "0x18|Conductometr_label=Отключен"}};
    for (const auto& c : pullups) {
        p[0] = c.first;
        feedReply(b.window->engine(), cmd::getRawData, p);
        shows(b, "data_", "HC595_RawData_label=" + c.second);
    }
    shows(b, "data_", "Accel_Scale_label=|Stat_mSecTimer_Label=|Press_devStatus_label=|"
                      "Accel_devStatus_label=<font color = 'black'>Не инициализировано</font>|RequestNum_Label=20");
    // Closing the port shows the last record, then every value gives way.
    b.click("serialPortAction_Button");
    QTRY_VERIFY(!b.isOpen());
    shows(b, "data_", QString(values).replace(QRegularExpression("=[^|]*"), "=<font color = 'black'>НЕДОСТУПНО</font>"));
}

void TestDataTabs::photocolorimeterPage()
{
    Bench b{BoardType::Photocolorimeter};
    QVERIFY(b.startAndOpen());
    // Red, green, blue percents as float32; the board's packet carries the levels it now drives.
    b.widget<QDoubleSpinBox>("pc_debugData_setPwm_RED_dSpinBox")->setValue(12.5);
    b.widget<QDoubleSpinBox>("pc_debugData_setPwm_GREEN_dSpinBox")->setValue(0);
    b.widget<QDoubleSpinBox>("pc_debugData_setPwm_BLUE_dSpinBox")->setValue(100);
    QVERIFY(b.clickAndWait("pc_debugData_setPwm_button"));
    QCOMPARE(b.requests(cmd::getRawData).last(), wireFrame(cmd::getRawData, floats({12.5f, 0, 100})));
    shows(b, "pc_debugData_", "RequestNum_Label=1|R_PWM_Label=12.50%|G_PWM_Label=0.00%|B_PWM_Label=100.00%");
    QByteArray p(256, 0);
    put<uint32_t>(p, 0, 3723004), put<uint32_t>(p, 4, 4000000000u), put(p, 8, 1234567.0f), put(p, 12, 7.5f);
    put(p, 16, 0.01f), put(p, 20, 99.99f);
    feedReply(b.window->engine(), cmd::getRawData, p);
    shows(b, "pc_debugData_", "Stat_mSecTimer_Label=01:02:03:004|ADC_Raw_Label=4000000000|ADC_Ave_Label=1.23457e+06|"
                              "R_PWM_Label=7.50%|G_PWM_Label=0.01%|B_PWM_Label=99.99%|RequestNum_Label=2");
    // Its own polling loop counts from zero; each reply brings the next request; a click stops it at once.
    QSignalSpy replies(&b.window->engine(), &proto_Vorlen_v2::cmd_RawData_received);
    b.combo("pc_Deb_data_requestSpeed_ComboBox")->setCurrentIndex(0);
    b.click("pc_debugData_ExchangeButton");
    QTRY_VERIFY_WITH_TIMEOUT(replies.size() >= 5, 5000);
    b.click("pc_debugData_ExchangeButton");
    QCOMPARE(b.button("pc_debugData_ExchangeButton")->text(), QStringLiteral("Запустить обмен"));
    QTRY_VERIFY(b.idle() && b.text("pc_debugData_RequestNum_Label").toInt() == replies.size());
    const int sent = b.sentCount(cmd::getRawData);
    QVERIFY(b.clickAndWait("getInfo_Button") && b.sentCount(cmd::getRawData) == sent);
}

void TestDataTabs::hwConfigLaboratory()
{
    Bench b{BoardType::Chemistry, Program::Bootloader};
    QVERIFY(b.startAndOpen());
    auto box = [&](QString n) { return b.widget<QDoubleSpinBox>(qPrintable("hwConfig_calib_" + n + "_dSpinBox")); };
    auto writable = [&] {
        return b.button("hwConfig_Set_Button")->isEnabled() && b.widget("hwConfigData_GroupBox")->isEnabled();
    };
    auto enter = [&] { b.tabs("cmds")->setCurrentIndex(0), b.tabs("cmds")->setCurrentWidget(b.widget("dev_bootloader")); };
    enter();   // locked until a read, unless the override box is ticked
    QVERIFY(!writable());
    b.widget<QCheckBox>("checkBox")->setChecked(true);
    enter();
    QVERIFY(writable());
    // Written without a read: what the view does not show goes out as zeros.
    b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->setValue(4);
    b.combo("hwConfig_devType_ComboBox")->setCurrentIndex(3);
    box("d_ch0")->setValue(-0.5);
    QVERIFY(b.clickAndWait("hwConfig_Set_Button"));
    QCOMPARE(b.server->board().hwConfig(), (bytes({3, 4}) + QByteArray(34, 0) + floats({-0.5f})).leftJustified(288, 0));
    b.click("checkBox");   // unticked: locked again until a read
    QVERIFY(!writable());

    QByteArray original = hwRecord(2, 3);   // with two values that do not fit their boxes
    original.replace(32, 4, floats({1500})).replace(76, 4, floats({-INFINITY}));
    b.server->board().setHwConfig(original);
    QVERIFY(b.clickAndWait("hwConfig_get_Button") && writable());
    QVERIFY(b.clickAndWait("getInfo_Button"));   // a status refill keeps the type
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->currentText(), QStringLiteral("2. Цифровая лаборатория по химии"));
    QVERIFY(b.text("hwConfig_devInit_label") == "Загрузчик Vorlen" && !b.tabs("hwCalibration_tabWidget")->isTabEnabled(1));
    QVERIFY(b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->value() == 3 && box("k_ch0")->value() == 999.999999);
    QVERIFY(b.indexInLog(QStringLiteral("HW Config: коэффициент k_ch0 = 1500 вне диапазона поля ввода")) >= 0);
    // Refused while a clamped value is shown; a box's own edit ends its part.
    b.click("hwConfig_Set_Button");
    QVERIFY(lastShown(b).startsWith(QStringLiteral("Коэффициенты с урезанным значением (с платы считано значение вне "
                                                   "диапазона поля ввода): «Канал 0, K», «delta_light». Запись отменена")));
    box("k_ch0")->setValue(12.5);
    b.click("hwConfig_Set_Button");
    QVERIFY(lastShown(b).contains(QStringLiteral("ввода): «delta_light». Запись")));
    box("d_light")->setValue(-2.5), box("k1_ch2")->setValue(0.1);
    QVERIFY(b.clickAndWait("hwConfig_Set_Button"));
    const QByteArray expected =
        original.replace(32, 4, floats({12.5f})).replace(76, 4, floats({-2.5f})).replace(48, 4, floats({0.1f}));
    QCOMPARE(b.server->board().hwConfig(), expected);   // what the view does not edit goes back as read
    // Defaults of the two laboratories; other types leave the boxes.
    const QByteArray physics = floats({7.07f, 0, -1.312f, 0, 144.9915f, -83.4412f, 122.7484f, -66.8052f, 0.747914f, 71.43f});
    const QByteArray chemistry = floats({0.32258f, -0.08f, 0, 0, 144.9915f, -83.4412f, 122.7484f, -66.8052f, 0.747914f, 0});
    for (const auto& t : {qMakePair(1, physics), qMakePair(2, chemistry), qMakePair(3, chemistry)}) {
        b.combo("hwConfig_devType_ComboBox")->setCurrentIndex(t.first);
        b.click("hwConfig_setDefCalibValues_button");
        QVERIFY(b.clickAndWait("hwConfig_Set_Button"));
        const QByteArray written = b.server->board().hwConfig();
        QCOMPARE(written.left(108), bytes({t.first, 3}) + expected.mid(2, 30) + t.second.leftJustified(76, 0));
    }
    // A type without an entry is refused instead of being written as 255; an erased coefficient shows 0.
    b.server->board().setHwConfig(hwRecord(7, 1).replace(32, 4, QByteArray(4, char(0xFF))));
    QVERIFY(b.clickAndWait("hwConfig_get_Button"));
    QVERIFY(b.combo("hwConfig_devType_ComboBox")->currentIndex() == -1 && box("k_ch0")->value() == 0.0);
    QVERIFY(b.indexInLog(QStringLiteral("HW Config: неизвестный тип устройства 7, выберите тип перед записью")) >= 0);
    QVERIFY(b.indexInLog(QStringLiteral("HW Config: коэффициент k_ch0 не задан (не число), показан 0")) >= 0);
    b.click("hwConfig_Set_Button");
    QCOMPARE(lastShown(b), QStringLiteral("Не выбран тип устройства!"));
    QCOMPARE(b.sentCount(cmd::setHwConfig), 5);
}

void TestDataTabs::hwConfigPhotocolorimeter()
{
    const QByteArray original = hwRecord(100, 2);
    Bench b{BoardType::Photocolorimeter, Program::Bootloader};
    b.server->board().setHwConfig(original);
    QVERIFY(b.startAndOpen() && b.clickAndWait("hwConfig_get_Button"));
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->currentText(), QStringLiteral("100. Мультидатчик - фотоколориметр"));
    QVERIFY(b.text("hwConfig_devInit_label") == "Загрузчик PhotoCol" && !b.tabs("hwCalibration_tabWidget")->isTabEnabled(0));
    for (int type : {0, 1}) {   // the type byte is 0 or 100
        b.combo("hwConfig_devType_ComboBox")->setCurrentIndex(type);
        QVERIFY(b.clickAndWait("hwConfig_Set_Button"));
        QCOMPARE(b.server->board().hwConfig(), QByteArray(original).replace(0, 1, QByteArray(1, char(100 * type))));
    }
    // Another connection may be another board: no type is chosen until a read. The version is checked first.
    b.click("serialPortAction_Button");
    QVERIFY(b.openAndWaitStatus());
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->currentIndex(), -1);
    b.click("hwConfig_Set_Button");
    QCOMPARE(lastShown(b), QStringLiteral("Не выбран тип устройства!"));
    b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->setValue(0);
    b.click("hwConfig_Set_Button");
    QCOMPARE(lastShown(b), QStringLiteral("Не установлена версия аппаратного обеспечения устройства!"));
    QCOMPARE(b.sentCount(cmd::setHwConfig), 2);
}

void TestDataTabs::userCalibration_data()
{
    QTest::addColumn<UserBlock>("c");
    QTest::newRow("physics") << UserBlock{BoardType::Physics, 40, 36, 32, 39, floats({1, 0, 1, 0, 1, 0, 1, 0, 1}) +
        bytes({1, 1, 1, 1}), "physic_d_absPressSens_dSpinBox", "physic_step_amperSens_SpinBox", "physic_DefaultReset_button"};
    QTest::newRow("chemistry") << UserBlock{BoardType::Chemistry, 44, 40, 36, 40, floats({1, 0, 1, 0, 1, 0, 1, 0, 1, 0}) +
        bytes({2, 1, 2}), "chem_d3_conductSens_dSpinBox", "chem_step_phSens_SpinBox", "chem_DefaultReset_button"};
    QTest::newRow("biology") << UserBlock{BoardType::Biology, 32, 28, 16, 29, floats({1, 0, 1, 0, 0, 0, 0}) + bytes({2, 1}),
        "bio_d_Tout_dSpinBox", "bio_step_tempSens_SpinBox", "bio_DefaultReset_button"};
}

void TestDataTabs::userCalibration()
{
    QFETCH(UserBlock, c);
    QByteArray original(c.size, 0);
    for (int i = 0; i < c.size; ++i)
        original[i] = char(0x40 + i);
    original.replace(0, c.floatArea, floats({-3, -1.75f, -0.5f, 0.75f, 2, 3.25f, 4.5f, 5.75f, 7, 8.25f}).left(c.floatArea));
    Bench b{c.type};
    b.server->board().setUserData(original);
    QVERIFY(b.startAndOpen());
    b.tabs("cmds")->setCurrentWidget(b.widget("dev_vorlen"));   // opens the page of the board's type only
    for (int page = 0; page < 4; ++page)
        QCOMPARE(b.tabs("userCalibration_coefTabs")->isTabEnabled(page), page == int(c.type) - 1);
    QVERIFY(!b.button("userData_write_Button")->isEnabled() && b.clickAndWait("userData_read_Button"));
    auto* coef = b.widget<QDoubleSpinBox>(c.coef);
    auto* step = b.widget<QSpinBox>(c.step);
    QVERIFY(coef->value() == double(le::f32(u8(original) + c.coefAt)) && step->value() == 0x40 + c.stepAt);
    coef->setValue(0.1), step->setValue(255);
    QVERIFY(b.clickAndWait("userData_write_Button"));
    QCOMPARE(b.server->board().userData(),
             QByteArray(original).replace(c.coefAt, 4, floats({0.1f})).replace(c.stepAt, 1, "\xFF"));
    QVERIFY(b.clickAndWait(c.reset) && b.sentCount(cmd::setUserData) == 1);   // the defaults alone send nothing
    QVERIFY(b.clickAndWait("userData_write_Button"));
    // One chunk: offset, count, last-chunk flag, the block with its reserved bytes as read.
    const QByteArray block = c.defaults + original.mid(c.defaults.size());
    QCOMPARE(b.requests(cmd::setUserData).last(), wireFrame(cmd::setUserData, bytes({0, c.size, 1}) + block));
}

void TestDataTabs::withoutBoard()
{
    Bench b;
    proto_Vorlen_v2& engine = b.window->engine();
    // The AT console: only the laboratory's bootloader bridges to a BLE module.
    feedStatus(engine, 10, 100);
    QVERIFY(b.widget("bl_atCmd_GroupBox")->isHidden());
    feedStatus(engine, 0, 1);
    QVERIFY(!b.widget("bl_atCmd_GroupBox")->isHidden());
    auto* pane = b.widget<QPlainTextEdit>("atCmd_Log_plainTextEdit");
    const QString n(250, 'n'), h(257, 'h'), refused = QStringLiteral("допускается не более %1. Команда не отправлена.");
    const struct {
        const char* button;   // after "atCmd_"
        QString input;   // the name, the typed command or the module speed item
        QByteArray text;   // what follows the speed, without CR LF; empty: refused with this message
        QString refusal = {};
        const char* speed = "9600";   // typed in the speed box, and what is sent
        QByteArray speedSent = bench::hex("80 25 00 00");
    } cases[] = {
        {"AT_Send", "", "AT"}, {"NAME_Send", "", "AT+NAME?"}, {"VERS_Send", "", "AT+VERS?"},
        {"ATBaud_Send", "", "AT+BAUD?"}, {"RESET_Send", "", "AT+RESET"}, {"RENEW_Send", "", "AT+RENEW"},
        {"AT_Send", "", "AT", "", "abc", QByteArray(4, 0)}, {"AT_Send", "", "AT", "", "-9600", QByteArray(4, 0)},
        {"AT_Send", "", "AT", "", " 115200 ", bench::hex("00 C2 01 00")}, {"AT_SetName", "", "AT+NAME"},
        {"AT_SetName", "Лаб1", QByteArray("AT+NAME\0\0\0" "1", 11)}, {"sendHandCmd", "AT+PIN?", "AT+PIN?"},
        {"AT_SetName", n.left(249), "AT+NAME" + n.left(249).toLatin1()},
        {"sendHandCmd", h.left(256), h.left(256).toLatin1()},
        {"sendHandCmd", QString::fromLatin1("caf\xe9"), "caf\xe9"}, {"AT_SetSpeed", "0", "AT+BAUD0"},
        {"AT_SetSpeed", "4", "AT+BAUD4"}, {"AT_SetSpeed", "5", "AT+BAUD8"},
        {"AT_SetName", n, "", "Имя BLE модуля слишком длинное: 250 символов, " + refused.arg(249)},
        {"AT_SetName", QString(1000, QChar(0x416)), "", "Имя BLE модуля слишком длинное: 1000 символов, " + refused.arg(249)},
        {"sendHandCmd", h, "", "AT-команда слишком длинная: 257 символов, " + refused.arg(256)},
    };
    for (const auto& c : cases) {
        b.combo("atCmd_speed_comboBox")->setEditText(QString::fromLatin1(c.speed));
        b.widget<QLineEdit>("atCmd_newName_lineEdit")->setText(c.input);
        b.widget<QLineEdit>("atCmd_HandText_lineEdit")->setText(c.input);
        b.combo("atCmd_SetSpeed_comboBox")->setCurrentIndex(c.input.toInt());
        pane->clear();
        const int sent = b.sent.size();
        press(b, QStringLiteral("atCmd_%1_pushButton").arg(c.button));
        if (c.text.isEmpty()) {
            QVERIFY(b.sent.size() == sent && pane->toPlainText().isEmpty());
            QCOMPARE(lastShown(b), c.refusal);
            continue;
        }
        QCOMPARE(b.sent.value(sent), wireFrame(cmd::bleAtCmd, c.speedSent + c.text + "\r\n"));
        feedReply(engine, cmd::bleAtCmd, c.speedSent + "OK+Get:0\r\nOK\xE9");   // its CR LF break the line where they stand
        QCOMPARE(pane->toPlainText(), "> " + QString::fromLatin1(c.text.data(), c.text.size()) + "\n< OK+Get:0\nOK\u00E9");
    }
    pane->clear();   // a bare acknowledgement adds nothing and is no error
    press(b, "atCmd_AT_Send_pushButton");
    feedReply(engine, cmd::bleAtCmd);
    QVERIFY(b.idle() && pane->toPlainText() == "> AT" && !b.logText().contains("ответ слишком короткий"));
    // In a bootloader the gate refuses user calibrations and the archive.
    const int shown = b.dialogs.shown.size();
    b.sent.clear();
    for (const char* name : {"userData_read_Button", "userData_write_Button", "archive_GetStatus_button",
                             "archive_StartRecord_button"})
        press(b, name);
    QVERIFY(b.sent.isEmpty() && b.dialogs.shown.size() == shown + 4 && b.dialogs.shown.last().kind == "gate");

    // User calibrations: a short reply is neither shown nor opens writing.
    feedStatus(engine, 1, 1);
    b.button("userData_write_Button")->setEnabled(false);
    auto* k = b.widget<QDoubleSpinBox>("physic_k_tempSens_dSpinBox");
    k->setValue(2.5);
    press(b, "userData_read_Button");
    feedReply(engine, cmd::getUserData, floats({9}) + QByteArray(6, '\0'));
    QVERIFY(k->value() == 2.5 && !b.button("userData_write_Button")->isEnabled());
    QVERIFY(b.indexInLog(QStringLiteral("Пользовательские калибровки: ОШИБКА - принято 10 байт вместо 40, "
                                        "данные не показаны")) >= 0);
    // An echo that reaches the size completes the write; one that falls short asks for the rest.
    press(b, "userData_write_Button");
    feedReply(engine, cmd::setUserData, bytes({0, 40, 0}));
    b.sent.clear();
    press(b, "userData_write_Button");
    feedReply(engine, cmd::setUserData, bytes({0, 24, 0}));
    QCOMPARE(b.sent.size(), 2);
    QCOMPARE(FrameCodec::payload(b.sent[1]), bytes({24, 16, 1}) + FrameCodec::payload(b.sent[0]).mid(3 + 24, 16));
    feedReply(engine, cmd::setUserData, bytes({24, 16, 1}));
    // Ecology has no block: a read opens writing and shows nothing, and nothing is written; nor without a type.
    feedStatus(engine, 1, 3);
    press(b, "userData_read_Button");
    feedReply(engine, cmd::getUserData, floats({9}));
    QVERIFY(b.button("userData_write_Button")->isEnabled() && k->value() == 2.5);
    press(b, "userData_write_Button");
    feedStatus(engine, 1, 0);
    press(b, "userData_write_Button");
    QCOMPARE(b.sentCount(cmd::setUserData), 2);

    // The archive: the start request carries period, count and the clock (year + 48, low byte).
    feedStatus(engine, 1, 1);
    b.window->setClock([] { return QDateTime(QDate(2026, 3, 3), QTime(14, 5, 9)); });
    b.combo("archive_Start_RecFreq_comboBox")->setCurrentIndex(4);
    b.widget<QSpinBox>("archive_Start_RecQtt_spinBox")->setValue(50);
    press(b, "archive_StartRecord_button");
    QCOMPARE(FrameCodec::payload(b.sent.last()), bytes({100, 0, 0, 0, 50, 0, 0, 0x1A, 3, 3, 14, 5, 9}) + QByteArray(17, 0));
    b.combo("archive_Start_RecFreq_comboBox")->setCurrentIndex(13);
    press(b, "archive_StartRecord_button");
    QCOMPARE(FrameCodec::payload(b.sent.last()).left(5), bytes({0x80, 0xEE, 0x36, 0x00, 50}));   // one an hour
    // Status block: period, count, state, stored, date and time; shown: state, rate, count, stamp, progress.
    auto* bar = b.widget<QProgressBar>("archive_Record_progressBar");
    auto* stamp = b.widget<QDateTimeEdit>("archive_CurrentDateTime_DateTimeEdit");
    auto status = [&](int p0, int p1, int p2, int count, int state, int year, int month, int day, int hour) {
        press(b, "archive_GetStatus_button");
        const QByteArray block = bytes({p0, p1, p2, 0, count, state, count / 2, year, month, day, hour, 15, 42});
        feedReply(engine, cmd::archiveControl, block + QByteArray(17, 0));
        return QStringList({b.text("archive_CurrentStatus_label"), b.text("archive_CurrentTimeStamp_label"),
                            b.text("archive_CurrentRecordsQtt_label"), stamp->dateTime().toString(Qt::ISODate),
                            bar->isHidden() ? "hidden" : QString("%1/%2").arg(bar->value()).arg(bar->maximum())}).join('|');
    };
    QCOMPARE(status(10, 0, 0, 40, 0, 26, 11, 20, 9),
             "Архив не инициализирован|НЕДОСТУПНО|НЕДОСТУПНО|2026-03-03T14:05:09|hidden");
    QCOMPARE(status(250, 0, 0, 40, 1, 26, 11, 20, 9),
             "Идет процесс сохранения данных|4 точки в секунду|40|2026-11-20T09:15:42|20/40");
    press(b, "archive_GetData_button");
    QCOMPARE(lastShown(b), QStringLiteral("Дождитесь окончания записи архива"));
    QCOMPARE(status(0x40, 0x77, 0x1B, 8, 2, 27, 2, 28, 25),   // no 25th hour: midnight
             "Загрузка архива из энергонезависимой памяти|1 точка в 30 минут|8|2027-02-28T00:00:00|4/8");
    QCOMPARE(status(0x30, 0x75, 0, 6, 7, 27, 13, 1, 1),   // unknown state and period; no 13th month
             "Загрузка архива из энергонезависимой памяти||6|2027-02-28T00:00:00|3/6");
    QCOMPARE(status(10, 0, 0, 0, 3, 26, 1, 2, 10), "Архивирование завершено|100 точек в секунду|0|2026-01-02T10:15:42|0/0");
    press(b, "archive_GetData_button");
    QCOMPARE(lastShown(b), QStringLiteral("Нет информации для загрузки"));

    // Records: -2 °C; 3.3, 0.000123, 1234567 and -1.5 V; -1024, 512, 16384 at 16G; 250.5 lx; 45.5 %RH at
    // 23.45 °C; 1013.25 mbar at 19.99 °C. Every sensor answering and pull-up 10K unless told.
    auto record = [](uint32_t runTime, int bits = 0x0F, int pullup = 2) {
        QByteArray r = bytes({bits, pullup, 0, 0}) + QByteArray(4, 0) + bytes({0x38, 0xFF, 0, 0});
        r += floats({3.3f, 0.000123f, 1234567, -1.5f}) + bytes({0, 0xFC, 0, 2, 0, 0x40, 3, 0}) + floats({250.5f});
        r += bytes({0xC6, 0x11, 0x29, 0x09}) + floats({1013.25f}) + bytes({0xCF, 0x07});
        put(r, 4, runTime);
        return r.leftJustified(64, 0);
    };
    auto* table = b.widget<QTableWidget>("archive_Data_tableWidget");
    auto column = [&](int k) {
        QStringList out;
        for (int row = 0; row < 16; ++row)
            out << (table->item(row, k) ? table->item(row, k)->text() : QStringLiteral("<none>"));
        return out.join('|');
    };
    // Texts follow the answer bits; time: the status stamp plus the run time since the first record, wrapping.
    status(10, 0, 0, 3, 3, 26, 1, 2, 10);
    press(b, "archive_GetData_button");
    const uint32_t t0 = 0xFFFFFF00u;
    feedReply(engine, cmd::archiveData, bytes({0, 3}) + record(t0) + record(t0 + 500, 0x0B) + record(t0 + 1994, 0, 7));
    const QString values = "-2 °C|3.3 В|0.000123 В|1.23457e+06 В|-1.5 В|16G|-1024|512|16384|250.5 Люкс|45.5 %RH|"
                           "23.45 °C|1013.25 мБар|19.99 °C|Подтяжка 10К";
    QVERIFY(table->columnCount() == 3 && table->verticalHeaderItem(12)->text() == QStringLiteral("Температура Д_влажн"));
    QCOMPARE(column(0), "10:15:42:000|" + values);
    QCOMPARE(column(1), "10:15:42:500|" + QString(values).replace("45.5 %RH|23.45 °C", "Отключен|Отключен"));
    QCOMPARE(column(2), "10:15:43:994|-2 °C|3.3 В|0.000123 В|1.23457e+06 В|-1.5 В" + QString("|Отключен").repeated(10));
    // 150 on the board: the first 100 in blocks of 8, each asked for when the one before arrives; a repeated
    // reply to the first block does not count as the next one, and a late reply asks for nothing.
    status(10, 0, 0, 150, 3, 26, 1, 2, 10);
    b.sent.clear();
    press(b, "archive_GetData_button");
    QList<QByteArray> asked, expected;
    for (int i = 0; i < b.sent.size() && i < 50; ++i) {
        QByteArray reply = (asked << FrameCodec::payload(b.sent[i])).last();
        for (int k = 0; k < uint8_t(reply[1]); ++k)
            reply += record(10u * (uint8_t(reply[0]) + k));
        feedReply(engine, cmd::archiveData, reply);
        if (asked.size() == 2)
            feedReply(engine, cmd::archiveData, bytes({0, 8}) + record(0));
    }
    feedReply(engine, cmd::archiveData, bytes({96, 1}) + record(960));
    for (int a = 0; a < 96; a += 8)
        expected << bytes({a, 8});
    QCOMPARE(asked, expected << bytes({96, 4}));
    QVERIFY(b.widget<QProgressBar>("archive_loading_progressBar")->value() == 100 && table->columnCount() == 100);
    QCOMPARE(table->item(0, 99)->text(), QStringLiteral("10:15:42:990"));
    QVERIFY(b.indexInLog(QStringLiteral("Архив: на плате 150 записей, загружаются первые 100")) >= 0);
}

QTEST_MAIN(TestDataTabs)
#include "test_data_tabs.moc"
