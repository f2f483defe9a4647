#include <QtTest>

#include "BoardBench.h"
#include "LittleEndian.h"
#include "Records.h"

using bench::Bench;

namespace {

const QString kStopped = QStringLiteral("Считывание данных остановлено");
const QString kNoAnswer = QStringLiteral("<font color = 'red'>Нет ответа</font>");
const QString kGreen = QStringLiteral("<font color = 'green'>");

uint8_t* at(QByteArray& a, uint32_t offset)
{
    return reinterpret_cast<uint8_t*>(a.data()) + offset;
}

// Sends one board control block and waits until the raw reply to it is shown.
void refreshRaw(Bench& b, const QByteArray& packet)
{
    b.server->board().setRawOverride(packet);
    const QString before = b.text("data_RequestNum_Label");
    b.click("data_LED2_R_Button");
    QTRY_VERIFY_WITH_TIMEOUT(b.text("data_RequestNum_Label") != before, 5000);
}

QByteArray lastPayload(const Bench& b, uint8_t code)
{
    const QByteArray f = b.requests(code).value(b.requests(code).size() - 1);
    return f.mid(4, f.size() - 6);
}

} // namespace

class TestLiveData : public QObject
{
    Q_OBJECT
private slots:
    void pollingFollowsRepliesAndWatchdogStops();
    void pollingWithoutReplySendsOnlyTheFirst();
    void boardControlBits();
    void rawPacketFields();
    void exchangeView();
    void settingPairsShowWhatWasSent_data();
    void settingPairsShowWhatWasSent();
};

void TestLiveData::pollingFollowsRepliesAndWatchdogStops()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.combo("data_requestSpeed_ComboBox")->setCurrentIndex(0);   // 5 ms
    b.server->clearRequests();
    QSignalSpy replies(&b.window->engine(), &proto_Vorlen_v2::cmd_RawData_received);
    b.click("data_ExchangeButton");
    QVERIFY(b.indexInLog(QStringLiteral("Запуск считывания данных платы")) >= 0);
    QCOMPARE(b.button("data_ExchangeButton")->text(), QStringLiteral("Остановить обмен"));
    QVERIFY(!b.combo("data_requestSpeed_ComboBox")->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(b.text("data_RequestNum_Label").toInt() >= 30, 10000);
    // Each request waits for the reply to the one before it. (The label
    // shows the count as of its last refresh, up to a frame behind.)
    const int answers = replies.size();
    const QList<QByteArray> polls = b.requests(rec::cmd::getRawData);
    QVERIFY2(polls.size() >= answers && polls.size() <= answers + 2,
             qPrintable(QStringLiteral("%1 requests, %2 replies").arg(polls.size()).arg(answers)));
    QCOMPARE(polls.last(), wireFrame(rec::cmd::getRawData));

    // Silence: requests go on one period apart until the watchdog ends polling.
    b.server->setAnswering(false);
    QElapsedTimer silence;
    silence.start();
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kStopped), 1, 10000);
    QVERIFY2(silence.elapsed() >= 3000, qPrintable(QString::number(silence.elapsed())));
    QVERIFY(b.requests(rec::cmd::getRawData).size() > polls.size() + 1);
    QCOMPARE(b.button("data_ExchangeButton")->text(), QStringLiteral("Запустить обмен"));
    QVERIFY(b.combo("data_requestSpeed_ComboBox")->isEnabled());
    QCOMPARE(b.text("data_RequestNum_Label").toInt(), replies.size());
    // Stopped means stopped: at most an engine repeat of the last request follows.
    const int afterStop = b.requests(rec::cmd::getRawData).size();
    QTest::qWait(500);
    QVERIFY(b.requests(rec::cmd::getRawData).size() <= afterStop + 1);
}

void TestLiveData::pollingWithoutReplySendsOnlyTheFirst()
{
    Bench b(vboard::BoardType::Chemistry);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.combo("data_requestSpeed_ComboBox")->setCurrentIndex(0);
    b.server->setAnswering(false);
    b.server->clearRequests();
    b.click("data_ExchangeButton");
    QTRY_COMPARE_WITH_TIMEOUT(b.countLog(kStopped), 1, 10000);
    // The poll timer runs on replies only: the first request and the engine's repeats of it.
    QVERIFY(b.requests(rec::cmd::getRawData).size() <= 3);
    QCOMPARE(b.text("data_RequestNum_Label"), QStringLiteral("0"));

    b.server->setAnswering(true);
    b.click("data_ExchangeButton");
    QTRY_VERIFY_WITH_TIMEOUT(b.text("data_RequestNum_Label").toInt() >= 1, 5000);
    b.click("data_ExchangeButton");
    QCOMPARE(b.countLog(kStopped), 2);
}

void TestLiveData::boardControlBits()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    b.server->clearRequests();
    auto sent = [&b](int n) { return b.requests(rec::cmd::getRawData).size() == n; };

    // An LED is lit while its button is checked: its bit is then clear.
    b.click("data_LED1_R_Button");
    QTRY_VERIFY_WITH_TIMEOUT(sent(1), 5000);
    QCOMPARE(lastPayload(b, rec::cmd::getRawData), bytes({0xC3, 0x01, 0x00}));
    b.click("data_LED2_B_Button");
    QTRY_VERIFY_WITH_TIMEOUT(sent(2), 5000);
    QCOMPARE(lastPayload(b, rec::cmd::getRawData), bytes({0xC1, 0x01, 0x00}));
    b.choose("data_conductPullup_combobox", 2);
    QTRY_VERIFY_WITH_TIMEOUT(sent(3), 5000);
    b.choose("data_AccelScale_comboBox", 3);
    QTRY_VERIFY_WITH_TIMEOUT(sent(4), 5000);
    const QByteArray expected = wireFrame(rec::cmd::getRawData, bytes({0xD1, 0x01, 0x03}));
    QCOMPARE(b.requests(rec::cmd::getRawData).last(), expected);
    QTRY_COMPARE_WITH_TIMEOUT(int(b.server->board().outputs()), 0xD1, 5000);

    // LED2 R has no bit, and the write-control slot sends the same block.
    b.click("data_LED2_R_Button");
    QTRY_VERIFY_WITH_TIMEOUT(sent(5), 5000);
    b.window->on_data_WriteControl_button_clicked();
    QTRY_VERIFY_WITH_TIMEOUT(sent(6), 5000);
    QCOMPARE(b.requests(rec::cmd::getRawData).mid(4), (QList<QByteArray>{expected, expected}));
    b.choose("data_BLE_State_comboBox", 0);
    QTRY_VERIFY_WITH_TIMEOUT(sent(7), 5000);
    QCOMPARE(lastPayload(b, rec::cmd::getRawData), bytes({0xD1, 0x00, 0x03}));
    // The period box sends nothing; every reply is shown although polling is off.
    b.choose("data_requestSpeed_ComboBox", 2);
    QTRY_COMPARE_WITH_TIMEOUT(b.text("data_RequestNum_Label"), QStringLiteral("7"), 5000);
    QVERIFY(sent(7));
}

void TestLiveData::rawPacketFields()
{
    Bench b(vboard::BoardType::Biology);
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    namespace raw = rec::raw;
    QByteArray p(raw::kPacketSize, 0);
    p[raw::kOutputs] = char(0x28);
    le::put32(at(p, raw::kRunTime), 3723004);
    le::put16(at(p, raw::kI2cHandlerTimeout), 2);
    le::put16(at(p, raw::kMsFault), 65535);
    le::putF32(at(p, raw::kAdsCalib), 1234567.0f);
    le::putF32(at(p, raw::kAdsVolt0), 3.3f);
    le::putF32(at(p, raw::kAdsVolt1), 0.000123f);
    le::putF32(at(p, raw::kAdsTemp), -12.5f);
    p[raw::kAdsCycle] = char(200);
    le::put16(at(p, raw::kAccX), 65535);
    p[raw::kAccScale] = char(3);
    p[raw::kAccState] = char(1);
    le::putF32(at(p, raw::kLux), 512.25f);
    p[raw::kMaxState] = char(2);
    le::putF32(at(p, raw::kHumidity), 45.5f);
    p[raw::kShtState] = char(4);
    le::putF32(at(p, raw::kPressure), 1013.25f);
    le::putF32(at(p, raw::kPressTemp), 19.0f);
    le::put16(at(p, raw::kPressCalib0 + 2), 0x00AB);
    le::put16(at(p, raw::kPressCalib0 + 12), 0xBEEF);
    p[raw::kPressState] = char(7);
    refreshRaw(b, p);

    const QList<QPair<const char*, QString>> shown = {
        {"data_HC595_RawData_label", "0x28"},
        {"data_Conductometr_label", "Отключен"},
        {"data_BLE_Label", "Включен"},
        {"data_Stat_mSecTimer_Label", "01:02:03:004"},
        {"data_Stat_i2c_fault_Label", "0"},
        {"data_Stat_i2c_handlerTimeout_Label", "2"},
        {"data_Stat_i2c_MS_Fault_Label", "65535"},
        {"data_ADS_CalibrValue_label", "1.23457e+06 (единиц АЦП)"},
        {"data_ADS_Volt_channel0_label", "3.3 В"},
        {"data_ADS_Volt_channel1_label", "0.000123 В"},
        {"data_ADS_Volt_channel2_label", "0 В"},
        {"data_ADS_Temp_label", "-12.5 °С"},
        {"data_ADS_MeasCycle_label", "200"},
        {"data_Accel_X_label", "65535"},
        {"data_Accel_Scale_label", "16G"},
        {"data_Accel_devStatus_label", "<font color = 'green'>Активен</font>"},
        {"data_MAX_lux_label", "512.25 люкс"},
        {"data_MAX_devStatus_label", "<font color = 'blue'>Таймаут опроса</font>"},
        {"data_SHT_humidity_label", "45.5 %RH"},
        {"data_SHT_devStatus_label", "<font color = 'red'>Отключен. Исчерпаны попытки</font>"},
        {"data_SHT_Temperature_label", "0 °С"},
        {"data_Press_Pressure_label", "1013.25 мБар"},
        {"data_Press_Temperature_label", "19 °С"},
        {"data_Press_CalibC0_label", "0x0"},
        {"data_Press_CalibC1_label", "0xab"},
        {"data_Press_CalibC6_label", "0xbeef"},
        {"data_Press_devStatus_label", ""},
    };
    for (const auto& s : shown)
        QCOMPARE(b.text(s.first), s.second);

    // Conductometer by bits 3..5; a scale code off the list and a time past a day show nothing.
    const QList<QPair<int, QString>> pullups = {
        {0x08, "Включен, 1 кОм"}, {0x10, "Включен, 10 кОм"}, {0xE7, "Включен, 100 кОм"}, {0x18, "Отключен"}};
    p[raw::kAccScale] = char(9);
    le::put32(at(p, raw::kRunTime), 90000000);
    for (const auto& c : pullups) {
        p[raw::kOutputs] = char(c.first);
        refreshRaw(b, p);
        QCOMPARE(b.text("data_HC595_RawData_label"), QStringLiteral("0x") + QString::number(c.first, 16));
        QCOMPARE(b.text("data_Conductometr_label"), c.second);
    }
    QCOMPARE(b.text("data_Accel_Scale_label"), QString());
    QCOMPARE(b.text("data_Stat_mSecTimer_Label"), QString());
}

void TestLiveData::exchangeView()
{
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    namespace meas = rec::meas;
    QByteArray r(meas::kSize, 0);
    r[meas::kAnswerBits] = char(0x05);
    r[meas::kConductCode] = char(2);
    le::put32(at(r, meas::kRunTime), 90000000);   // 25 h
    le::put16(at(r, meas::kAdcTemp), 0xFF38);     // -200
    le::putF32(at(r, meas::kVolt1), 1.25f);
    le::put16(at(r, meas::kAccX), static_cast<uint16_t>(-1000));
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
    QCOMPARE(b.requests(rec::cmd::getDataExchange).first(), wireFrame(rec::cmd::getDataExchange));

    // Bits 0 and 2: accelerometer and humidity shown; light and pressure did not answer.
    const QList<QPair<const char*, QString>> first = {
        {"exchange_requstNum_label", "1"},
        {"exchange_workTime_label", kGreen + "</font>"},
        {"exchange_ConductScale_label", "<font color = 'green'>Подтяжка 10К</font>"},
        {"exchange_ADC_Temp_label", kGreen + "-2 °С</font>"},
        {"exchange_ADC_Voltage1_label", kGreen + "1.25 В</font>"},
        {"exchange_ADC_Voltage2_label", kGreen + "0 В</font>"},
        {"exchange_AccelScale_label", kGreen + "4G</font>"},
        {"exchange_Accel_X_label", kGreen + "-1000</font>"},
        {"exchange_SHT_Humidity_label", kGreen + "45.5 %RH</font>"},
        {"exchange_SHT_Temp_label", kGreen + "-1.5 °С</font>"},
        {"exchange_Light_label", kNoAnswer},
        {"exchange_Press_Pressure_label", kNoAnswer},
        {"exchange_Press_Temp_label", kNoAnswer},
    };
    for (const auto& s : first)
        QCOMPARE(b.text(s.first), s.second);

    // The other two answer; a new scale setting carries both box indices.
    r[meas::kAnswerBits] = char(0x0A);
    r[meas::kConductCode] = char(7);
    le::put32(at(r, meas::kRunTime), 45296789);
    b.server->board().setExchangeOverride(r);
    b.choose("exchange_SetConductScale_comboBox", 1);
    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("2"), 5000);
    b.choose("exchange_SetAccel_Scale_comboBox", 2);
    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("3"), 5000);
    const QList<QByteArray> sent = b.requests(rec::cmd::getDataExchange);
    QCOMPARE(sent.mid(1), (QList<QByteArray>{wireFrame(rec::cmd::getDataExchange, bytes({0, 1})),
                                             wireFrame(rec::cmd::getDataExchange, bytes({2, 1}))}));
    const QList<QPair<const char*, QString>> second = {
        {"exchange_requstNum_label", "3"},
        {"exchange_workTime_label", kGreen + "12:34:56:789</font>"},
        {"exchange_ConductScale_label", "<font color = 'black'>Отключен</font>"},
        {"exchange_AccelScale_label", kNoAnswer},
        {"exchange_Accel_Z_label", kNoAnswer},
        {"exchange_SHT_Temp_label", kNoAnswer},
        {"exchange_Light_label", kGreen + "250.5 люкс</font>"},
        {"exchange_Press_Pressure_label", kGreen + "1000.5 мБар</font>"},
        {"exchange_Press_Temp_label", kGreen + "21 °С</font>"},
    };
    for (const auto& s : second)
        QCOMPARE(b.text(s.first), s.second);

    // A request without a reply counts as sent only.
    b.server->setAnswering(false);
    b.click("exchange_StartStop_button");
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::getDataExchange).size(), 4, 5000);
    b.server->setAnswering(true);
    b.click("exchange_StartStop_button");
    QTRY_COMPARE_WITH_TIMEOUT(b.text("exchange_asnwerNum_label"), QStringLiteral("4"), 5000);
    QCOMPARE(b.text("exchange_requstNum_label"), QStringLiteral("5"));
}

void TestLiveData::settingPairsShowWhatWasSent_data()
{
    // A setting chosen on one tab, then a request from the other tab that
    // carries the same setting again.
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("follower");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("other");
    QTest::newRow("Данные scale, LED") << "exchange_SetAccel_Scale_comboBox" << "data_AccelScale_comboBox" << 2
                                       << "data_LED1_R_Button";
    QTest::newRow("Данные pull-up, LED") << "exchange_SetConductScale_comboBox" << "data_conductPullup_combobox"
                                         << 3 << "data_LED2_R_Button";
    QTest::newRow("debug scale, Данные pull-up") << "data_AccelScale_comboBox" << "exchange_SetAccel_Scale_comboBox"
                                                 << 1 << "exchange_SetConductScale_comboBox";
    QTest::newRow("debug pull-up, Данные scale") << "data_conductPullup_combobox"
                                                 << "exchange_SetConductScale_comboBox" << 2
                                                 << "exchange_SetAccel_Scale_comboBox";
}

void TestLiveData::settingPairsShowWhatWasSent()
{
    QFETCH(QString, chosen);
    QFETCH(QString, follower);
    QFETCH(int, index);
    QFETCH(QString, other);
    Bench b;
    QVERIFY(b.start());
    QVERIFY(b.openAndWaitStatus());
    const bool scale = chosen.contains(QStringLiteral("Accel"));
    auto held = [&b, scale] { return int(scale ? b.server->board().accelScale() : b.server->board().conductCode()); };
    auto requests = [&b] { return b.server->requests().size(); };
    QSignalSpy followerActivated(b.combo(qPrintable(follower)), QOverload<int>::of(&QComboBox::activated));

    int sent = requests();
    b.choose(qPrintable(chosen), index);
    QTRY_COMPARE_WITH_TIMEOUT(held(), index, 5000);
    QCOMPARE(requests(), sent + 1);
    QCOMPARE(b.combo(qPrintable(follower))->currentIndex(), index);
    QCOMPARE(followerActivated.size(), 0);

    sent = requests();
    if (other.endsWith(QStringLiteral("Button")))
        b.click(qPrintable(other));
    else
        b.choose(qPrintable(other), b.combo(qPrintable(other))->currentIndex());
    QTRY_VERIFY_WITH_TIMEOUT(requests() == sent + 1 && !b.window->engine().isWaiting(), 5000);
    QCOMPARE(held(), index);
}

QTEST_MAIN(TestLiveData)
#include "test_live_data.moc"
