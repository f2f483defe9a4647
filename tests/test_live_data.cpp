// «Данные», the exchange page and the photocolorimeter's debug page against the simulated board.
#include <QDoubleSpinBox>

#include "BoardBench.h"
#include "LittleEndian.h"
#include "Records.h"

using bench::Bench;
using vboard::BoardType;
using Shown = QList<QPair<const char*, QString>>;   // label, text

namespace {

const QString kG = QStringLiteral("<font color = 'green'>"), kE = QStringLiteral("</font>");
const QString kNo = QStringLiteral("<font color = 'red'>Нет ответа</font>");
const QString kStopped = QStringLiteral("Считывание данных остановлено");

// Little-endian at `at`: a float32, or an integer as wide as T.
template <class T> void put(QByteArray& a, uint32_t at, T v)
{
    if constexpr (std::is_floating_point_v<T>)
        le::putF32(raw(a) + at, float(v));
    else if constexpr (sizeof(T) == 4)
        le::put32(raw(a) + at, uint32_t(v));
    else
        le::put16(raw(a) + at, uint16_t(v));
}

void compare(Bench& b, const Shown& shown)
{
    for (const auto& s : shown)
        QCOMPARE(b.text(s.first), s.second);
}

// The board answers with this packet to a click on `trigger`; waits until it is shown.
void showRaw(Bench& b, const QByteArray& packet, const char* count, const char* trigger)
{
    b.server->board().setRawOverride(packet);
    const QString before = b.text(count);
    b.click(trigger);
    QTRY_VERIFY_WITH_TIMEOUT(b.text(count) != before && b.idle(), 5000);
}

} // namespace

class TestLiveData : public QObject
{
    Q_OBJECT
private slots:
    void polling();
    void controlBlockAndExchange();
    void rawPacketShown();
    void photocolorimeterPage();
};

void TestLiveData::polling()
{
    Bench b{BoardType::Chemistry};
    QVERIFY(b.startAndOpen());
    QAbstractButton* go = b.button("data_ExchangeButton");
    QComboBox* box = b.combo("data_requestSpeed_ComboBox");
    auto shown = [&] { return b.text("data_RequestNum_Label").toInt(); };
    auto polls = [&] { return b.requests(rec::cmd::getRawData); };
    QSignalSpy replies(&b.window->engine(), &proto_Vorlen_v2::cmd_RawData_received);

    // Only a reply starts the poll timer: at 5 ms a silent board gets the first request and its repeats.
    box->setCurrentIndex(0);
    b.server->setAnswering(false);
    go->click();
    QCOMPARE(go->text(), QStringLiteral("Остановить обмен"));
    QVERIFY(!box->isEnabled() && b.indexInLog(QStringLiteral("Запуск считывания данных платы")) >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(polls().size() >= 2, 5000);   // the engine's first repeat
    QVERIFY(polls().size() <= 3);
    QCOMPARE(polls().count(wireFrame(rec::cmd::getRawData)), polls().size());
    go->click();
    QCOMPARE(b.countLog(kStopped), 1);

    // Each reply brings the next request one period later; 20 replies at 50 ms outlast the watchdog.
    box->setCurrentIndex(3);
    b.server->setAnswering(true);
    b.server->clearRequests();
    go->click();
    QTRY_VERIFY_WITH_TIMEOUT(shown() >= 20, 10000);
    QVERIFY2(polls().size() <= replies.size() + 2, qPrintable(QString::number(polls().size() - replies.size())));
    QCOMPARE(b.countLog(kStopped), 1);

    // Silence: requests go on one period apart until the watchdog ends polling; the count shown is exact.
    b.server->setAnswering(false);
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kStopped), 2, 10000);
    QCOMPARE(go->text(), QStringLiteral("Запустить обмен"));
    QVERIFY(box->isEnabled());
    QVERIFY2(polls().size() >= replies.size() + 5, qPrintable(QString::number(polls().size() - replies.size())));
    QTRY_COMPARE(shown(), replies.size());

    // A new start counts from zero; a click stops it, and nothing more is sent.
    b.server->setAnswering(true);
    QTRY_VERIFY(b.idle());
    replies.clear();
    go->click();
    QTRY_VERIFY_WITH_TIMEOUT(shown() >= 1 && shown() <= replies.size(), 5000);
    go->click();
    QCOMPARE(b.countLog(kStopped), 3);
    QTRY_VERIFY(b.idle());
    QTRY_COMPARE(shown(), replies.size());
    const int sent = polls().size();
    QVERIFY(b.clickAndWait("getInfo_Button"));
    QCOMPARE(polls().size(), sent);
}

void TestLiveData::controlBlockAndExchange()
{
    Bench b;
    QVERIFY(b.startAndOpen());
    namespace m = rec::meas;
    QByteArray r(m::kSize, 0);
    r[m::kAnswerBits] = 0x05;   // accelerometer and humidity answered
    r[m::kConductCode] = 2;
    r[m::kAccScale] = 1;
    put<uint32_t>(r, m::kRunTime, 90000000);   // 25 h: no time of day
    put(r, m::kVolt1, 1.25f), put(r, m::kVolt2, -0.5f), put(r, m::kVolt3, 3.75f), put(r, m::kVolt4, 100.0f);
    put<int16_t>(r, m::kAccX, -1000), put<int16_t>(r, m::kAccY, 300), put<int16_t>(r, m::kAccZ, -5);
    put<int16_t>(r, m::kAdcTemp, -200), put(r, m::kLight, 250.5f), put(r, m::kPressure, 1000.5f);
    put<uint16_t>(r, m::kHumidity, 4550), put<int16_t>(r, m::kShtTemp, -150), put<int16_t>(r, m::kPressTemp, 2100);
    b.server->board().setExchangeOverride(r);

    // Each control sends the whole block; an output is on (its bit clear) while its button is checked.
    // Both pages show the scale and pull-up sent last, and the next request from either carries them.
    auto d = [](int o, int ble, int acc) { return wireFrame(rec::cmd::getRawData, bytes({o, ble, acc})); };
    auto x = [](int acc, int pull) { return wireFrame(rec::cmd::getDataExchange, bytes({acc, pull})); };
    const struct {
        const char* widget;
        int index;   // the item chosen, or -1 for a click
        QByteArray request;
    } steps[] = {
        {"data_LED2_G_Button", -1, d(0xC6, 1, 0)}, {"data_LED2_B_Button", -1, d(0xC4, 1, 0)},
        {"data_LED1_R_Button", -1, d(0xC0, 1, 0)}, {"data_LED1_B_Button", -1, d(0x80, 1, 0)},
        {"data_LED1_G_Button", -1, d(0x00, 1, 0)}, {"data_LED2_R_Button", -1, d(0x00, 1, 0)},
        {"data_conductPullup_combobox", 1, d(0x08, 1, 0)}, {"data_BLE_State_comboBox", 0, d(0x08, 0, 0)},
        {"data_AccelScale_comboBox", 3, d(0x08, 0, 3)}, {"slot", 0, d(0x08, 0, 3)},
        {"data_conductPullup_combobox", 3, d(0x20, 0, 3)}, {"exchange_SetConductScale_comboBox", 1, x(3, 1)},
        {"data_LED1_G_Button", -1, d(0x88, 0, 3)}, {"exchange_SetAccel_Scale_comboBox", 2, x(2, 1)},
        {"data_LED1_G_Button", -1, d(0x08, 0, 2)}, {"data_conductPullup_combobox", 2, d(0x10, 0, 2)},
        {"exchange_SetAccel_Scale_comboBox", 0, x(0, 2)}, {"data_requestSpeed_ComboBox", 4, QByteArray()},
    };
    QList<QByteArray> expected;
    b.server->clearRequests();
    for (const auto& s : steps) {
        const int before = b.sent.size();
        if (QByteArray(s.widget) == "slot")
            b.window->on_data_WriteControl_button_clicked();
        else if (s.index < 0)
            b.click(s.widget);
        else
            b.choose(s.widget, s.index);
        const QList<QByteArray> one = s.request.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{s.request};
        QCOMPARE(b.sent.mid(before), one);
        expected += one;
        QTRY_VERIFY_WITH_TIMEOUT(b.idle(), 5000);
    }
    QCOMPARE(b.server->requests(), expected);
    QCOMPARE(b.combo("data_AccelScale_comboBox")->currentIndex(), 0);
    QCOMPARE(b.combo("exchange_SetConductScale_comboBox")->currentIndex(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(b.text("data_RequestNum_Label"), QStringLiteral("14"), 5000);   // not polling: shown still

    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("3"), 5000);
    compare(b, {{"exchange_requstNum_label", "3"}, {"exchange_workTime_label", kG + kE},
                {"exchange_ConductScale_label", kG + "Подтяжка 10К" + kE}, {"exchange_ADC_Temp_label", kG + "-2 °С" + kE},
                {"exchange_ADC_Voltage1_label", kG + "1.25 В" + kE}, {"exchange_ADC_Voltage2_label", kG + "-0.5 В" + kE},
                {"exchange_ADC_Voltage3_label", kG + "3.75 В" + kE}, {"exchange_ADC_Voltage4_label", kG + "100 В" + kE},
                {"exchange_AccelScale_label", kG + "4G" + kE}, {"exchange_Accel_X_label", kG + "-1000" + kE},
                {"exchange_Accel_Y_label", kG + "300" + kE}, {"exchange_Accel_Z_label", kG + "-5" + kE},
                {"exchange_SHT_Humidity_label", kG + "45.5 %RH" + kE}, {"exchange_SHT_Temp_label", kG + "-1.5 °С" + kE},
                {"exchange_Light_label", kNo}, {"exchange_Press_Pressure_label", kNo}, {"exchange_Press_Temp_label", kNo}});

    r[m::kAnswerBits] = 0x0A;   // light and pressure answered
    r[m::kConductCode] = 7;
    put<uint32_t>(r, m::kRunTime, 45296789);
    b.server->board().setExchangeOverride(r);
    QVERIFY(b.clickAndWait("exchange_StartStop_button"));
    QCOMPARE(b.requests(rec::cmd::getDataExchange).last(), wireFrame(rec::cmd::getDataExchange));
    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("4"), 5000);
    compare(b, {{"exchange_workTime_label", kG + "12:34:56:789" + kE}, {"exchange_AccelScale_label", kNo},
                {"exchange_ConductScale_label", "<font color = 'black'>Отключен</font>"}, {"exchange_Accel_X_label", kNo},
                {"exchange_Accel_Y_label", kNo}, {"exchange_Accel_Z_label", kNo}, {"exchange_SHT_Humidity_label", kNo},
                {"exchange_SHT_Temp_label", kNo}, {"exchange_Light_label", kG + "250.5 люкс" + kE},
                {"exchange_Press_Pressure_label", kG + "1000.5 мБар" + kE}, {"exchange_Press_Temp_label", kG + "21 °С" + kE}});

    // A request without a reply counts as sent only.
    b.server->setAnswering(false);
    QVERIFY(b.clickAndWait("exchange_StartStop_button"));
    b.server->setAnswering(true);
    QVERIFY(b.clickAndWait("exchange_StartStop_button"));
    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("5"), 5000);
    QCOMPARE(b.text("exchange_requstNum_label"), QStringLiteral("6"));
}

void TestLiveData::rawPacketShown()
{
    Bench b{BoardType::Biology};
    QVERIFY(b.startAndOpen());
    namespace w = rec::raw;
    QByteArray p(w::kPacketSize, 0);
    p[w::kOutputs] = 0x28, p[w::kAdsCycle] = char(200), p[w::kAccCycle] = 9, p[w::kAccScale] = 3, p[w::kAccState] = 1;
    p[w::kMaxCycle] = 11, p[w::kMaxState] = 2, p[w::kShtCycle] = 12, p[w::kShtState] = 4, p[w::kPressCycle] = 13;
    p[w::kPressState] = 3;
    put<uint32_t>(p, w::kRunTime, 45296789);
    const uint16_t counters[] = {257, 2, 3, 260, 5, 262, 65535};   // so the last byte of each kept slice is set
    for (uint32_t i = 0; i < 7; ++i)
        put(p, w::kI2cFault + 2 * i, counters[i]), put<uint16_t>(p, w::kPressCalib0 + 2 * i, 0x1111 * (i + 1));
    put(p, w::kAdsCalib, 1234567.0f), put(p, w::kAdsVolt0, 3.3f), put(p, w::kAdsVolt1, 0.000123f);
    put(p, w::kAdsVolt2, -1.5f), put(p, w::kAdsVolt3, 2.5f), put(p, w::kAdsTemp, -12.5f), put(p, w::kLux, 512.25f);
    put<uint16_t>(p, w::kAccX, 65535), put<uint16_t>(p, w::kAccY, 2), put<uint16_t>(p, w::kAccZ, 771);
    put(p, w::kHumidity, 45.5f), put(p, w::kShtTemp, 21.5f), put(p, w::kPressure, 1013.25f), put(p, w::kPressTemp, 19.0f);
    showRaw(b, p, "data_RequestNum_Label", "data_LED2_R_Button");
    const Shown labels = {
        {"data_HC595_RawData_label", "0x28"}, {"data_Conductometr_label", "Отключен"}, {"data_BLE_Label", "Включен"},
        {"data_Stat_mSecTimer_Label", "12:34:56:789"}, {"data_Stat_i2c_fault_Label", "257"},
        {"data_Stat_i2c_handlerTimeout_Label", "2"}, {"data_Stat_i2c_LIS_Fault_Label", "3"},
        {"data_Stat_i2c_EEPROM_Fault_Label", "260"}, {"data_Stat_i2c_MAX_Fault_Label", "5"},
        {"data_Stat_i2c_SHT_Fault_Label", "262"}, {"data_Stat_i2c_MS_Fault_Label", "65535"},
        {"data_ADS_CalibrValue_label", "1.23457e+06 (единиц АЦП)"}, {"data_ADS_Volt_channel0_label", "3.3 В"},
        {"data_ADS_Volt_channel1_label", "0.000123 В"}, {"data_ADS_Volt_channel2_label", "-1.5 В"},
        {"data_ADS_Volt_channel3_label", "2.5 В"}, {"data_ADS_Temp_label", "-12.5 °С"}, {"data_ADS_MeasCycle_label", "200"},
        {"data_Accel_X_label", "65535"}, {"data_Accel_Y_label", "2"}, {"data_Accel_Z_label", "771"},
        {"data_Accel_MeasCycle_label", "9"}, {"data_Accel_Scale_label", "16G"},
        {"data_Accel_devStatus_label", "<font color = 'green'>Активен</font>"}, {"data_MAX_lux_label", "512.25 люкс"},
        {"data_MAX_measCycle_label", "11"}, {"data_MAX_devStatus_label", "<font color = 'blue'>Таймаут опроса</font>"},
        {"data_SHT_humidity_label", "45.5 %RH"}, {"data_SHT_Temperature_label", "21.5 °С"}, {"data_SHT_measCycle_label", "12"},
        {"data_SHT_devStatus_label", "<font color = 'red'>Отключен. Исчерпаны попытки</font>"},
        {"data_Press_Pressure_label", "1013.25 мБар"}, {"data_Press_Temperature_label", "19 °С"},
        {"data_Press_CalibC0_label", "0x1111"}, {"data_Press_CalibC1_label", "0x2222"}, {"data_Press_CalibC2_label", "0x3333"},
        {"data_Press_CalibC3_label", "0x4444"}, {"data_Press_CalibC4_label", "0x5555"}, {"data_Press_CalibC5_label", "0x6666"},
        {"data_Press_CalibC6_label", "0x7777"}, {"data_Press_measCycle_label", "13"},
        {"data_Press_devStatus_label", "<font color = 'red'>Ошибка</font>"}};
    compare(b, labels);

    // The pull-up from bits 3..5 (one of them only); codes off the lists and a day or more show nothing.
    p[w::kAccScale] = 4, p[w::kAccState] = 0, p[w::kPressState] = 5;
    put<uint32_t>(p, w::kRunTime, 86400000);
    const Shown pullups = {{"0x8", "Включен, 1 кОм"}, {"0x10", "Включен, 10 кОм"}, {"0xe7", "Включен, 100 кОм"},
                           {"0x18", "Отключен"}};
    for (const auto& c : pullups) {
        p[w::kOutputs] = char(QString::fromLatin1(c.first).toUInt(nullptr, 16));
        showRaw(b, p, "data_RequestNum_Label", "data_LED2_R_Button");
        compare(b, {{"data_HC595_RawData_label", c.first}, {"data_Conductometr_label", c.second}});
    }
    compare(b, {{"data_Accel_Scale_label", ""}, {"data_Stat_mSecTimer_Label", ""}, {"data_Press_devStatus_label", ""},
                {"data_Accel_devStatus_label", "<font color = 'black'>Не инициализировано</font>"}});

    // Closing the port shows the last record, then every value gives way.
    b.click("serialPortAction_Button");
    QTRY_VERIFY(!b.isOpen());
    for (const auto& l : labels.mid(3))
        QCOMPARE(b.text(l.first), QStringLiteral("<font color = 'black'>НЕДОСТУПНО</font>"));
}

void TestLiveData::photocolorimeterPage()
{
    Bench b{BoardType::Photocolorimeter};
    QVERIFY(b.startAndOpen());
    // Red, green, blue percents as float32; the board's packet carries the levels it now drives.
    b.widget<QDoubleSpinBox>("pc_debugData_setPwm_RED_dSpinBox")->setValue(12.5);
    b.widget<QDoubleSpinBox>("pc_debugData_setPwm_GREEN_dSpinBox")->setValue(0);
    b.widget<QDoubleSpinBox>("pc_debugData_setPwm_BLUE_dSpinBox")->setValue(100);
    QVERIFY(b.clickAndWait("pc_debugData_setPwm_button"));
    QCOMPARE(b.requests(rec::cmd::getRawData).last(),
             wireFrame(rec::cmd::getRawData, bench::hex("00 00 48 41 00 00 00 00 00 00 c8 42")));
    QCOMPARE(b.server->board().pwm(0), 12.5f);
    QCOMPARE(b.server->board().pwm(2), 100.0f);
    QTRY_COMPARE(b.text("pc_debugData_RequestNum_Label"), QStringLiteral("1"));
    compare(b, {{"pc_debugData_R_PWM_Label", "12.50%"}, {"pc_debugData_G_PWM_Label", "0.00%"},
                {"pc_debugData_B_PWM_Label", "100.00%"}});

    const struct {
        uint32_t runTime, adcRaw;
        float ave, r, g, b;
        const char *time, *raw, *average, *red, *green, *blue;
    } packets[] = {
        {3723004, 4000000000u, 1234567.0f, 7.5f, 0.01f, 99.99f, "01:02:03:004", "4000000000", "1.23457e+06", "7.50%",
         "0.01%", "99.99%"},
        {86399999, 0, 0.000123f, 0, 100, 33.33f, "23:59:59:999", "0", "0.000123", "0.00%", "100.00%", "33.33%"},
        {86400000, 17, 3.3f, 100, 1, 2, "", "17", "3.3", "100.00%", "1.00%", "2.00%"},
    };
    for (const auto& c : packets) {
        QByteArray p(rec::pcraw::kSize, 0);
        put(p, rec::pcraw::kRunTime, c.runTime), put(p, rec::pcraw::kAdcRaw, c.adcRaw);
        put(p, rec::pcraw::kAdcAve, c.ave), put(p, rec::pcraw::kPwmRed, c.r);
        put(p, rec::pcraw::kPwmGreen, c.g), put(p, rec::pcraw::kPwmBlue, c.b);
        showRaw(b, p, "pc_debugData_RequestNum_Label", "pc_debugData_setPwm_button");
        compare(b, {{"pc_debugData_Stat_mSecTimer_Label", c.time}, {"pc_debugData_ADC_Raw_Label", c.raw},
                    {"pc_debugData_ADC_Ave_Label", c.average}, {"pc_debugData_R_PWM_Label", c.red},
                    {"pc_debugData_G_PWM_Label", c.green}, {"pc_debugData_B_PWM_Label", c.blue}});
    }
    QCOMPARE(b.text("pc_debugData_RequestNum_Label"), QStringLiteral("4"));

    // Its own polling loop: each reply brings the next request; a click stops it.
    b.combo("pc_Deb_data_requestSpeed_ComboBox")->setCurrentIndex(0);
    b.click("pc_debugData_ExchangeButton");
    QTRY_VERIFY_WITH_TIMEOUT(b.text("pc_debugData_RequestNum_Label").toInt() >= 5, 5000);
    b.click("pc_debugData_ExchangeButton");
    QCOMPARE(b.countLog(kStopped), 1);
    QCOMPARE(b.button("pc_debugData_ExchangeButton")->text(), QStringLiteral("Запустить обмен"));
}

QTEST_MAIN(TestLiveData)
#include "test_live_data.moc"
