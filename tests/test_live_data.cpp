#include <QtTest>

#include "BoardBench.h"
#include "LittleEndian.h"
#include "Records.h"

using bench::Bench;
using vboard::BoardType;
using vboard::Program;

namespace {

const QString kStopped = QStringLiteral("Считывание данных остановлено");
const QString kNoAnswer = QStringLiteral("<font color = 'red'>Нет ответа</font>");

uint8_t* at(QByteArray& a, uint32_t offset)
{
    return reinterpret_cast<uint8_t*>(a.data()) + offset;
}

// Sends one board control block and waits until its raw reply is shown.
void refreshRaw(Bench& b)
{
    const QString before = b.text("data_RequestNum_Label");
    b.click("data_LED2_R_Button");
    QTRY_VERIFY_WITH_TIMEOUT(b.text("data_RequestNum_Label") != before, 5000);
}

QByteArray lastPayload(const Bench& b, uint8_t code)
{
    const QList<QByteArray> frames = b.requests(code);
    return frames.isEmpty() ? QByteArray() : frames.last().mid(4, frames.last().size() - 6);
}

} // namespace

class TestLiveData : public QObject
{
    Q_OBJECT
private slots:
    void pollingFollowsRepliesAndWatchdogStops();
    void pollingWithoutAnyReplySendsOnlyTheFirst();
    void slowerPeriodIsRespected();
    void boardControlBits();
    void rawPacketFields();
    void conductometerAndOutputTexts();
    void exchangeView();
    void exchangeSettingPayloads();
};

void TestLiveData::pollingFollowsRepliesAndWatchdogStops()
{
    Bench b(BoardType::Physics, Program::Main);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.combo("data_requestSpeed_ComboBox")->setCurrentIndex(0);   // 5 ms
    b.server->clearRequests();
    b.click("data_ExchangeButton");
    QVERIFY(b.logLines().last().endsWith(QStringLiteral("Запуск считывания данных платы")) ||
            b.indexInLog(QStringLiteral("Запуск считывания данных платы")) >= 0);
    QCOMPARE(b.button("data_ExchangeButton")->text(), QStringLiteral("Остановить обмен"));
    QVERIFY(!b.combo("data_requestSpeed_ComboBox")->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(b.text("data_RequestNum_Label").toInt() >= 30, 10000);
    // Every request waits for the reply to the one before it.
    const int answers = b.text("data_RequestNum_Label").toInt();
    const QList<QByteArray> polls = b.requests(rec::cmd::getRawData);
    QVERIFY2(polls.size() <= answers + 2, qPrintable(QStringLiteral("%1 requests, %2 replies").arg(polls.size()).arg(answers)));
    QVERIFY(polls.size() >= answers);
    for (const QByteArray& f : polls)
        QCOMPARE(f, bench::frame(rec::cmd::getRawData));

    // Silence: requests go on one period apart until the watchdog ends polling.
    b.server->setAnswering(false);
    const int requestsAtSilence = b.requests(rec::cmd::getRawData).size();
    QElapsedTimer silence;
    silence.start();
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kStopped), 1, 10000);
    QVERIFY2(silence.elapsed() >= 3000, qPrintable(QString::number(silence.elapsed())));
    QVERIFY(b.requests(rec::cmd::getRawData).size() > requestsAtSilence + 1);
    QCOMPARE(b.button("data_ExchangeButton")->text(), QStringLiteral("Запустить обмен"));
    QVERIFY(b.combo("data_requestSpeed_ComboBox")->isEnabled());

    // Stopped means stopped: only the engine's own repeats of the last request follow.
    const int afterStop = b.requests(rec::cmd::getRawData).size();
    QTest::qWait(500);
    QVERIFY(b.requests(rec::cmd::getRawData).size() <= afterStop + 1);
}

void TestLiveData::pollingWithoutAnyReplySendsOnlyTheFirst()
{
    Bench b(BoardType::Chemistry, Program::Main);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.combo("data_requestSpeed_ComboBox")->setCurrentIndex(0);
    b.server->setAnswering(false);
    b.server->clearRequests();
    b.click("data_ExchangeButton");
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kStopped), 1, 10000);
    // The first request and at most the engine's two repeats of it.
    QVERIFY(b.requests(rec::cmd::getRawData).size() <= 3);
    QCOMPARE(b.text("data_RequestNum_Label"), QStringLiteral("0"));

    // Stopping by hand works the same way and logs once more.
    b.server->setAnswering(true);
    b.click("data_ExchangeButton");
    QTRY_VERIFY_WITH_TIMEOUT(b.text("data_RequestNum_Label").toInt() >= 1, 5000);
    b.click("data_ExchangeButton");
    QCOMPARE(b.countLog(kStopped), 2);
    QCOMPARE(b.button("data_ExchangeButton")->text(), QStringLiteral("Запустить обмен"));
}

void TestLiveData::slowerPeriodIsRespected()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    QCOMPARE(b.combo("data_requestSpeed_ComboBox")->currentIndex(), 5);   // 250 ms
    QElapsedTimer t;
    t.start();
    b.click("data_ExchangeButton");
    QTest::qWait(1200);
    const int answers = b.text("data_RequestNum_Label").toInt();
    // A reply per period at most (timers may fire a little early).
    QVERIFY2(answers <= t.elapsed() / 230 + 1, qPrintable(QString::number(answers)));
    QTRY_VERIFY_WITH_TIMEOUT(b.text("data_RequestNum_Label").toInt() >= 2, 5000);
    b.click("data_ExchangeButton");
}

void TestLiveData::boardControlBits()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.server->clearRequests();

    // Every LED off: all five bits set. LED1 R on clears bit 2.
    b.click("data_LED1_R_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getRawData).size(), 1, 5000);
    QCOMPARE(lastPayload(b, rec::cmd::getRawData), bench::bytes({0xC3, 0x01, 0x00}));

    b.click("data_LED2_B_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getRawData).size(), 2, 5000);
    QCOMPARE(lastPayload(b, rec::cmd::getRawData), bench::bytes({0xC1, 0x01, 0x00}));

    b.choose("data_conductPullup_combobox", 2);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getRawData).size(), 3, 5000);
    b.choose("data_AccelScale_comboBox", 3);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getRawData).size(), 4, 5000);
    const QByteArray expected = bench::frame(rec::cmd::getRawData, bench::bytes({0xD1, 0x01, 0x03}));
    QCOMPARE(b.requests(rec::cmd::getRawData).last(), expected);
    QTRY_COMPARE_WITH_TIMEOUT(int(b.server->board().outputs()), 0xD1, 5000);

    // LED2 R has no bit: the same block again. So does the write-control slot.
    b.click("data_LED2_R_Button");
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getRawData).size(), 5, 5000);
    QCOMPARE(b.requests(rec::cmd::getRawData).last(), expected);
    b.window->on_data_WriteControl_button_clicked();
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getRawData).size(), 6, 5000);
    QCOMPARE(b.requests(rec::cmd::getRawData).last(), expected);

    // BLE "Сброс"; the speed box sends nothing.
    b.choose("data_BLE_State_comboBox", 0);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getRawData).size(), 7, 5000);
    QCOMPARE(lastPayload(b, rec::cmd::getRawData), bench::bytes({0xD1, 0x00, 0x03}));
    b.choose("data_requestSpeed_ComboBox", 2);
    QTest::qWait(300);
    QCOMPARE(b.requests(rec::cmd::getRawData).size(), 7);

    // The reply to each block is shown although polling is off.
    QTRY_COMPARE_WITH_TIMEOUT(b.text("data_RequestNum_Label"), QStringLiteral("7"), 5000);
}

void TestLiveData::rawPacketFields()
{
    Bench b(BoardType::Biology, Program::Main);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());

    namespace raw = rec::raw;
    QByteArray p(raw::kPacketSize, 0);
    p[raw::kOutputs] = char(0x28);
    le::put32(at(p, raw::kRunTime), 3723004);   // 01:02:03.004
    const uint16_t faults[] = {1, 2, 3, 4, 5, 6, 65535};
    const uint32_t faultOffsets[] = {raw::kI2cFault, raw::kI2cHandlerTimeout, raw::kLisFault, raw::kEepromFault,
                                     raw::kMaxFault, raw::kShtFault, raw::kMsFault};
    for (int i = 0; i < 7; ++i)
        le::put16(at(p, faultOffsets[i]), faults[i]);
    le::putF32(at(p, raw::kAdsCalib), 1234567.0f);
    le::putF32(at(p, raw::kAdsVolt0), 3.3f);
    le::putF32(at(p, raw::kAdsVolt1), 0.000123f);
    le::putF32(at(p, raw::kAdsVolt2), -1.5f);
    le::putF32(at(p, raw::kAdsVolt3), 0.0f);
    le::putF32(at(p, raw::kAdsTemp), -12.5f);
    p[raw::kAdsCycle] = char(200);
    le::put16(at(p, raw::kAccX), 65535);
    le::put16(at(p, raw::kAccY), 16384);
    le::put16(at(p, raw::kAccZ), 0);
    p[raw::kAccCycle] = char(7);
    p[raw::kAccScale] = char(3);
    le::putF32(at(p, raw::kLux), 512.25f);
    p[raw::kMaxCycle] = char(9);
    le::putF32(at(p, raw::kHumidity), 45.5f);
    le::putF32(at(p, raw::kShtTemp), 21.75f);
    p[raw::kShtCycle] = char(255);
    le::putF32(at(p, raw::kPressure), 1013.25f);
    le::putF32(at(p, raw::kPressTemp), 19.0f);
    const uint16_t calib[] = {0x0000, 0x00AB, 0x1234, 0xFFFF, 0x0F00, 0x0001, 0xBEEF};
    for (uint32_t i = 0; i < 7; ++i)
        le::put16(at(p, raw::kPressCalib0 + 2 * i), calib[i]);
    p[raw::kPressCycle] = char(3);
    b.server->board().setRawOverride(p);
    refreshRaw(b);

    QCOMPARE(b.text("data_HC595_RawData_label"), QStringLiteral("0x28"));
    QCOMPARE(b.text("data_Stat_mSecTimer_Label"), QStringLiteral("01:02:03:004"));
    const char* faultLabels[] = {"data_Stat_i2c_fault_Label",      "data_Stat_i2c_handlerTimeout_Label",
                                 "data_Stat_i2c_LIS_Fault_Label",  "data_Stat_i2c_EEPROM_Fault_Label",
                                 "data_Stat_i2c_MAX_Fault_Label",  "data_Stat_i2c_SHT_Fault_Label",
                                 "data_Stat_i2c_MS_Fault_Label"};
    for (int i = 0; i < 7; ++i)
        QCOMPARE(b.text(faultLabels[i]), QString::number(faults[i]));
    QCOMPARE(b.text("data_ADS_CalibrValue_label"), QStringLiteral("1.23457e+06 (единиц АЦП)"));
    QCOMPARE(b.text("data_ADS_Volt_channel0_label"), QStringLiteral("3.3 В"));
    QCOMPARE(b.text("data_ADS_Volt_channel1_label"), QStringLiteral("0.000123 В"));
    QCOMPARE(b.text("data_ADS_Volt_channel2_label"), QStringLiteral("-1.5 В"));
    QCOMPARE(b.text("data_ADS_Volt_channel3_label"), QStringLiteral("0 В"));
    QCOMPARE(b.text("data_ADS_Temp_label"), QStringLiteral("-12.5 °С"));
    QCOMPARE(b.text("data_ADS_MeasCycle_label"), QStringLiteral("200"));
    QCOMPARE(b.text("data_Accel_X_label"), QStringLiteral("65535"));
    QCOMPARE(b.text("data_Accel_Y_label"), QStringLiteral("16384"));
    QCOMPARE(b.text("data_Accel_Z_label"), QStringLiteral("0"));
    QCOMPARE(b.text("data_Accel_MeasCycle_label"), QStringLiteral("7"));
    QCOMPARE(b.text("data_Accel_Scale_label"), QStringLiteral("16G"));
    QCOMPARE(b.text("data_MAX_lux_label"), QStringLiteral("512.25 люкс"));
    QCOMPARE(b.text("data_MAX_measCycle_label"), QStringLiteral("9"));
    QCOMPARE(b.text("data_SHT_humidity_label"), QStringLiteral("45.5 %RH"));
    QCOMPARE(b.text("data_SHT_Temperature_label"), QStringLiteral("21.75 °С"));
    QCOMPARE(b.text("data_SHT_measCycle_label"), QStringLiteral("255"));
    QCOMPARE(b.text("data_Press_Pressure_label"), QStringLiteral("1013.25 мБар"));
    QCOMPARE(b.text("data_Press_Temperature_label"), QStringLiteral("19 °С"));
    const QStringList calibTexts = {"0x0", "0xab", "0x1234", "0xffff", "0xf00", "0x1", "0xbeef"};
    for (int i = 0; i < 7; ++i)
        QCOMPARE(b.text(qPrintable(QStringLiteral("data_Press_CalibC%1_label").arg(i))), calibTexts[i]);
    QCOMPARE(b.text("data_Press_measCycle_label"), QStringLiteral("3"));
    QCOMPARE(b.text("data_BLE_Label"), QStringLiteral("Включен"));

    // A scale code outside the list and a run time past one day show nothing.
    p[raw::kAccScale] = char(9);
    le::put32(at(p, raw::kRunTime), 90000000);
    b.server->board().setRawOverride(p);
    refreshRaw(b);
    QCOMPARE(b.text("data_Accel_Scale_label"), QString());
    QCOMPARE(b.text("data_Stat_mSecTimer_Label"), QString());
    le::put32(at(p, raw::kRunTime), 86399999);
    b.server->board().setRawOverride(p);
    refreshRaw(b);
    QCOMPARE(b.text("data_Stat_mSecTimer_Label"), QStringLiteral("23:59:59:999"));
}

void TestLiveData::conductometerAndOutputTexts()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    const struct {
        int outputs;
        const char* hex;
        const char* text;
    } cases[] = {{0x28, "0x28", "Отключен"},        {0x08, "0x8", "Включен, 1 кОм"},
                 {0x10, "0x10", "Включен, 10 кОм"}, {0xE7, "0xe7", "Включен, 100 кОм"},
                 {0x00, "0x0", "Отключен"},         {0x38, "0x38", "Отключен"},
                 {0x18, "0x18", "Отключен"}};
    for (const auto& c : cases) {
        QByteArray p(rec::raw::kPacketSize, 0);
        p[0] = char(c.outputs);
        b.server->board().setRawOverride(p);
        refreshRaw(b);
        QCOMPARE(b.text("data_HC595_RawData_label"), QString::fromUtf8(c.hex));
        QCOMPARE(b.text("data_Conductometr_label"), QString::fromUtf8(c.text));
    }
}

void TestLiveData::exchangeView()
{
    Bench b(BoardType::Physics, Program::Main);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());

    namespace meas = rec::meas;
    QByteArray r(meas::kSize, 0);
    r[meas::kAnswerBits] = char(0x05);
    r[meas::kConductCode] = char(2);
    le::put32(at(r, meas::kRunTime), 90000000);   // 25 h
    le::put16(at(r, meas::kAdcTemp), 0xFF38);     // -200
    le::putF32(at(r, meas::kVolt1), 1.25f);
    le::putF32(at(r, meas::kVolt2), -0.5f);
    le::putF32(at(r, meas::kVolt3), 3.3f);
    le::putF32(at(r, meas::kVolt4), 0.0f);
    le::put16(at(r, meas::kAccX), static_cast<uint16_t>(-1000));
    le::put16(at(r, meas::kAccY), 0);
    le::put16(at(r, meas::kAccZ), 16000);
    r[meas::kAccScale] = char(1);
    le::putF32(at(r, meas::kLight), 250.5f);
    le::put16(at(r, meas::kHumidity), 4550);
    le::put16(at(r, meas::kShtTemp), static_cast<uint16_t>(-150));
    le::putF32(at(r, meas::kPressure), 1000.5f);
    le::put16(at(r, meas::kPressTemp), 2100);
    b.server->board().setExchangeOverride(r);

    b.server->clearRequests();
    b.click("exchange_StartStop_button");
    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("1"), 5000);
    QCOMPARE(b.requests(rec::cmd::getDataExchange).first(), bench::frame(rec::cmd::getDataExchange));
    QCOMPARE(b.text("exchange_requstNum_label"), QStringLiteral("1"));

    const QString g = QStringLiteral("<font color = 'green'>");
    QCOMPARE(b.text("exchange_workTime_label"), g + QStringLiteral("</font>"));
    QCOMPARE(b.text("exchange_ConductScale_label"), QStringLiteral("<font color = 'green'>Подтяжка 10К</font>"));
    QCOMPARE(b.text("exchange_ADC_Temp_label"), g + QStringLiteral("-2 °С</font>"));
    QCOMPARE(b.text("exchange_ADC_Voltage1_label"), g + QStringLiteral("1.25 В</font>"));
    QCOMPARE(b.text("exchange_ADC_Voltage2_label"), g + QStringLiteral("-0.5 В</font>"));
    QCOMPARE(b.text("exchange_ADC_Voltage3_label"), g + QStringLiteral("3.3 В</font>"));
    QCOMPARE(b.text("exchange_ADC_Voltage4_label"), g + QStringLiteral("0 В</font>"));
    // Bits 0 and 2: accelerometer and humidity shown, light and pressure did not answer.
    QCOMPARE(b.text("exchange_AccelScale_label"), g + QStringLiteral("4G</font>"));
    QCOMPARE(b.text("exchange_Accel_X_label"), g + QStringLiteral("-1000</font>"));
    QCOMPARE(b.text("exchange_Accel_Y_label"), g + QStringLiteral("0</font>"));
    QCOMPARE(b.text("exchange_Accel_Z_label"), g + QStringLiteral("16000</font>"));
    QCOMPARE(b.text("exchange_SHT_Humidity_label"), g + QStringLiteral("45.5 %RH</font>"));
    QCOMPARE(b.text("exchange_SHT_Temp_label"), g + QStringLiteral("-1.5 °С</font>"));
    QCOMPARE(b.text("exchange_Light_label"), kNoAnswer);
    QCOMPARE(b.text("exchange_Press_Pressure_label"), kNoAnswer);
    QCOMPARE(b.text("exchange_Press_Temp_label"), kNoAnswer);

    // The other two sensors answer, the first two do not; a run time within the day.
    r[meas::kAnswerBits] = char(0x0A);
    r[meas::kConductCode] = char(7);
    le::put32(at(r, meas::kRunTime), 45296789);   // 12:34:56.789
    b.server->board().setExchangeOverride(r);
    b.click("exchange_StartStop_button");
    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("2"), 5000);
    QCOMPARE(b.text("exchange_requstNum_label"), QStringLiteral("2"));
    QCOMPARE(b.text("exchange_workTime_label"), g + QStringLiteral("12:34:56:789</font>"));
    QCOMPARE(b.text("exchange_ConductScale_label"), QStringLiteral("<font color = 'black'>Отключен</font>"));
    for (const char* name : {"exchange_AccelScale_label", "exchange_Accel_X_label", "exchange_Accel_Y_label",
                             "exchange_Accel_Z_label", "exchange_SHT_Humidity_label", "exchange_SHT_Temp_label"})
        QCOMPARE(b.text(name), kNoAnswer);
    QCOMPARE(b.text("exchange_Light_label"), g + QStringLiteral("250.5 люкс</font>"));
    QCOMPARE(b.text("exchange_Press_Pressure_label"), g + QStringLiteral("1000.5 мБар</font>"));
    QCOMPARE(b.text("exchange_Press_Temp_label"), g + QStringLiteral("21 °С</font>"));
}

void TestLiveData::exchangeSettingPayloads()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.server->clearRequests();

    b.choose("exchange_SetConductScale_comboBox", 1);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getDataExchange).size(), 1, 5000);
    QCOMPARE(lastPayload(b, rec::cmd::getDataExchange), bench::bytes({0x00, 0x01}));
    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("1"), 5000);

    b.choose("exchange_SetAccel_Scale_comboBox", 2);
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getDataExchange).size(), 2, 5000);
    QCOMPARE(b.requests(rec::cmd::getDataExchange).last(),
             bench::frame(rec::cmd::getDataExchange, bench::bytes({0x02, 0x01})));
    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("2"), 5000);
    QCOMPARE(b.text("exchange_requstNum_label"), QStringLiteral("2"));

    // A request without a reply counts as sent only.
    b.server->setAnswering(false);
    b.click("exchange_StartStop_button");
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getDataExchange).size(), 3, 5000);
    b.server->setAnswering(true);
    b.choose("exchange_SetAccel_Scale_comboBox", 0);
    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("3"), 5000);
    QCOMPARE(b.text("exchange_requstNum_label"), QStringLiteral("4"));
    QCOMPARE(lastPayload(b, rec::cmd::getDataExchange), bench::bytes({0x00, 0x01}));
}

QTEST_MAIN(TestLiveData)
#include "test_live_data.moc"
