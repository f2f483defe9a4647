#include "LiveDataController.h"

#include "LittleEndian.h"
#include "MeasurementText.h"
#include "Records.h"
#include "TextIfChanged.h"
#include "TimeOfDay.h"
#include "WindowEvents.h"
#include "proto_Vorlen_v2.h"
#include "ui_MainWindow.h"

namespace {

const QString kGreen = QStringLiteral("<font color = 'green'>");
const QString kEnd = QStringLiteral("</font>");
const QString kNoAnswer = QStringLiteral("<font color = 'red'>Нет ответа</font>");
const QString kUnavailableCaps = QStringLiteral("<font color = 'black'>НЕДОСТУПНО</font>");
const QString kVolt = QStringLiteral(" В");
const QString kCelsius = QStringLiteral(" °С");

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

QString hex(uint32_t v)
{
    return QStringLiteral("0x") + QString::number(v, 16);
}

// Pull-up resistor from bits 3..5 of the output byte; only one bit may be set.
QString conductometerText(uint8_t outputs)
{
    switch ((outputs >> 3) & 7) {
    case 1: return QStringLiteral("Включен, 1 кОм");
    case 2: return QStringLiteral("Включен, 10 кОм");
    case 4: return QStringLiteral("Включен, 100 кОм");
    default: return QStringLiteral("Отключен");
    }
}

QString pullupText(uint8_t code)
{
    switch (code) {
    case 1: return QStringLiteral("<font color = 'green'>Подтяжка 1К</font>");
    case 2: return QStringLiteral("<font color = 'green'>Подтяжка 10К</font>");
    case 3: return QStringLiteral("<font color = 'green'>Подтяжка 100К</font>");
    default: return QStringLiteral("<font color = 'black'>Отключен</font>");
    }
}

QString sensorStatusText(uint8_t code)
{
    switch (code) {
    case 0: return QStringLiteral("<font color = 'black'>Не инициализировано</font>");
    case 1: return QStringLiteral("<font color = 'green'>Активен</font>");
    case 2: return QStringLiteral("<font color = 'blue'>Таймаут опроса</font>");
    case 3: return QStringLiteral("<font color = 'red'>Ошибка</font>");
    case 4: return QStringLiteral("<font color = 'red'>Отключен. Исчерпаны попытки</font>");
    default: return QString();
    }
}

// Bits of byte 0 of the board control block
constexpr uint8_t kBitLed2G = 0x01;
constexpr uint8_t kBitLed2B = 0x02;
constexpr uint8_t kBitLed1R = 0x04;
constexpr int kPullupFirstBit = 3;   // pull-up index 1..3 sets bit index + 2
constexpr uint8_t kBitLed1B = 0x40;
constexpr uint8_t kBitLed1G = 0x80;

bool isLabType(uint8_t devType)
{
    return devType >= 1 && devType <= 4;
}

uint8_t indexByte(int index)
{
    return static_cast<uint8_t>(qMax(0, index));
}

} // namespace

LiveDataController::LiveDataController(const ViewContext& ctx, QObject* parent)
    : QObject(parent), ctx(ctx),
      polling(ctx, ctx.ui->data_ExchangeButton, ctx.ui->data_requestSpeed_ComboBox, this),
      rawView([this] { showRawData(); }, this), exchangeView([this] { showExchangeData(); }, this),
      chart(ctx.window, this)
{
    connect(ctx.ui->data_chart_Button, &QPushButton::toggled, &chart, &LiveChart::setShown);
    connect(&chart, &LiveChart::closed, ctx.ui->data_chart_Button, [this] { this->ctx.ui->data_chart_Button->setChecked(false); });
    connect(ctx.proto, &proto_Vorlen_v2::cmd_RawData_received, this, &LiveDataController::rawDataReceived);
    connect(ctx.proto, &proto_Vorlen_v2::cmd_DataExchange_received, this, &LiveDataController::exchangeDataReceived);
    connect(ctx.events, &WindowEvents::portClosed, this, &LiveDataController::resetLabels);
}

void LiveDataController::toggleRawPolling()
{
    polling.toggle();
}

void LiveDataController::rawDataReceived()
{
    if (!isLabType(ctx.proto->deviceInfo().devType))
        return;
    polling.replyArrived();
    rawView.request();
    chart.sample(ctx.proto->rawDataRecord());
}

void LiveDataController::exchangeDataReceived()
{
    if (!isLabType(ctx.proto->deviceInfo().devType))
        return;
    ++exchangeAnswerCount;
    exchangeView.request();
}

void LiveDataController::showRawData()
{
    const uint8_t* r = ctx.proto->rawDataRecord();
    Ui::MainWindow* ui = ctx.ui;
    const uint8_t outputs = r[rec::raw::kOutputs];
    setTextIfChanged(ui->data_HC595_RawData_label, hex(outputs));
    setTextIfChanged(ui->data_RequestNum_Label, QString::number(polling.answers()));
    setTextIfChanged(ui->data_Conductometr_label, conductometerText(outputs));
    setTextIfChanged(ui->data_BLE_Label, QStringLiteral("Включен"));
    showRawStatistics(r);
    showRawSensors(r);
    showRawPressure(r);
}

void LiveDataController::showRawStatistics(const uint8_t* r)
{
    namespace raw = rec::raw;
    Ui::MainWindow* ui = ctx.ui;
    setTextIfChanged(ui->data_Stat_mSecTimer_Label, timeOfDayText(le::u32(r + raw::kRunTime)));
    const struct {
        QLabel* label;
        uint32_t offset;
    } counters[] = {{ui->data_Stat_i2c_fault_Label, raw::kI2cFault},
                    {ui->data_Stat_i2c_handlerTimeout_Label, raw::kI2cHandlerTimeout},
                    {ui->data_Stat_i2c_LIS_Fault_Label, raw::kLisFault},
                    {ui->data_Stat_i2c_EEPROM_Fault_Label, raw::kEepromFault},
                    {ui->data_Stat_i2c_MAX_Fault_Label, raw::kMaxFault},
                    {ui->data_Stat_i2c_SHT_Fault_Label, raw::kShtFault},
                    {ui->data_Stat_i2c_MS_Fault_Label, raw::kMsFault}};
    for (const auto& c : counters)
        setTextIfChanged(c.label, QString::number(le::u16(r + c.offset)));
}

void LiveDataController::showRawSensors(const uint8_t* r)
{
    namespace raw = rec::raw;
    Ui::MainWindow* ui = ctx.ui;
    setTextIfChanged(ui->data_ADS_CalibrValue_label, number(le::f32(r + raw::kAdsCalib)) + QStringLiteral(" (единиц АЦП)"));
    setTextIfChanged(ui->data_ADS_Volt_channel0_label, number(le::f32(r + raw::kAdsVolt0)) + kVolt);
    setTextIfChanged(ui->data_ADS_Volt_channel1_label, number(le::f32(r + raw::kAdsVolt1)) + kVolt);
    setTextIfChanged(ui->data_ADS_Volt_channel2_label, number(le::f32(r + raw::kAdsVolt2)) + kVolt);
    setTextIfChanged(ui->data_ADS_Volt_channel3_label, number(le::f32(r + raw::kAdsVolt3)) + kVolt);
    setTextIfChanged(ui->data_ADS_Temp_label, number(le::f32(r + raw::kAdsTemp)) + kCelsius);
    setTextIfChanged(ui->data_ADS_MeasCycle_label, QString::number(r[raw::kAdsCycle]));

    setTextIfChanged(ui->data_Accel_X_label, QString::number(le::u16(r + raw::kAccX)));
    setTextIfChanged(ui->data_Accel_Y_label, QString::number(le::u16(r + raw::kAccY)));
    setTextIfChanged(ui->data_Accel_Z_label, QString::number(le::u16(r + raw::kAccZ)));
    setTextIfChanged(ui->data_Accel_MeasCycle_label, QString::number(r[raw::kAccCycle]));
    setTextIfChanged(ui->data_Accel_Scale_label, MeasurementText::accelScale(r[raw::kAccScale]));
    setTextIfChanged(ui->data_Accel_devStatus_label, sensorStatusText(r[raw::kAccState]));

    setTextIfChanged(ui->data_MAX_lux_label, number(le::f32(r + raw::kLux)) + QStringLiteral(" люкс"));
    setTextIfChanged(ui->data_MAX_measCycle_label, QString::number(r[raw::kMaxCycle]));
    setTextIfChanged(ui->data_MAX_devStatus_label, sensorStatusText(r[raw::kMaxState]));

    setTextIfChanged(ui->data_SHT_humidity_label, number(le::f32(r + raw::kHumidity)) + QStringLiteral(" %RH"));
    setTextIfChanged(ui->data_SHT_Temperature_label, number(le::f32(r + raw::kShtTemp)) + kCelsius);
    setTextIfChanged(ui->data_SHT_measCycle_label, QString::number(r[raw::kShtCycle]));
    setTextIfChanged(ui->data_SHT_devStatus_label, sensorStatusText(r[raw::kShtState]));
}

void LiveDataController::showRawPressure(const uint8_t* r)
{
    namespace raw = rec::raw;
    Ui::MainWindow* ui = ctx.ui;
    setTextIfChanged(ui->data_Press_Pressure_label, number(le::f32(r + raw::kPressure)) + QStringLiteral(" мБар"));
    setTextIfChanged(ui->data_Press_Temperature_label, number(le::f32(r + raw::kPressTemp)) + kCelsius);
    QLabel* const calib[] = {ui->data_Press_CalibC0_label, ui->data_Press_CalibC1_label, ui->data_Press_CalibC2_label,
                             ui->data_Press_CalibC3_label, ui->data_Press_CalibC4_label, ui->data_Press_CalibC5_label,
                             ui->data_Press_CalibC6_label};
    for (uint32_t i = 0; i < 7; ++i)
        setTextIfChanged(calib[i], hex(le::u16(r + raw::kPressCalib0 + 2 * i)));
    setTextIfChanged(ui->data_Press_measCycle_label, QString::number(r[raw::kPressCycle]));
    setTextIfChanged(ui->data_Press_devStatus_label, sensorStatusText(r[raw::kPressState]));
}

void LiveDataController::showExchangeData()
{
    const uint8_t* d = ctx.proto->exchangeRecord();
    namespace meas = rec::meas;
    Ui::MainWindow* ui = ctx.ui;
    setTextIfChanged(ui->exchange_requstNum_label, QString::number(exchangeRequestCount));
    setTextIfChanged(ui->exchange_asnwerNum_label, QString::number(exchangeAnswerCount));
    setTextIfChanged(ui->exchange_workTime_label, kGreen + timeOfDayText(le::u32(d + meas::kRunTime)) + kEnd);
    setTextIfChanged(ui->exchange_ConductScale_label, pullupText(d[meas::kConductCode]));

    const QString celsius = kCelsius + kEnd;
    const QString volt = kVolt + kEnd;
    setTextIfChanged(ui->exchange_ADC_Temp_label, kGreen + number(le::i16(d + meas::kAdcTemp) / 100.0) + celsius);
    setTextIfChanged(ui->exchange_ADC_Voltage1_label, kGreen + number(le::f32(d + meas::kVolt1)) + volt);
    setTextIfChanged(ui->exchange_ADC_Voltage2_label, kGreen + number(le::f32(d + meas::kVolt2)) + volt);
    setTextIfChanged(ui->exchange_ADC_Voltage3_label, kGreen + number(le::f32(d + meas::kVolt3)) + volt);
    setTextIfChanged(ui->exchange_ADC_Voltage4_label, kGreen + number(le::f32(d + meas::kVolt4)) + volt);
    showExchangeSensors(d);
}

void LiveDataController::showExchangeSensors(const uint8_t* d)
{
    namespace meas = rec::meas;
    Ui::MainWindow* ui = ctx.ui;
    const uint8_t answered = d[meas::kAnswerBits];
    // A sensor that did not answer shows so in each of its labels.
    auto shown = [answered](uint8_t bit, const QString& text) { return (answered & bit) ? text : kNoAnswer; };
    const QString celsius = kCelsius + kEnd;

    setTextIfChanged(ui->exchange_AccelScale_label, shown(meas::kBitAccel, kGreen + MeasurementText::accelScale(d[meas::kAccScale]) + kEnd));
    setTextIfChanged(ui->exchange_Accel_X_label, shown(meas::kBitAccel, kGreen + QString::number(le::i16(d + meas::kAccX)) + kEnd));
    setTextIfChanged(ui->exchange_Accel_Y_label, shown(meas::kBitAccel, kGreen + QString::number(le::i16(d + meas::kAccY)) + kEnd));
    setTextIfChanged(ui->exchange_Accel_Z_label, shown(meas::kBitAccel, kGreen + QString::number(le::i16(d + meas::kAccZ)) + kEnd));
    setTextIfChanged(ui->exchange_Light_label,
                     shown(meas::kBitLight, kGreen + number(le::f32(d + meas::kLight)) + QStringLiteral(" люкс</font>")));
    setTextIfChanged(ui->exchange_SHT_Humidity_label, shown(meas::kBitHumidity, kGreen + number(le::u16(d + meas::kHumidity) / 100.0) +
                                                                                    QStringLiteral(" %RH</font>")));
    setTextIfChanged(ui->exchange_SHT_Temp_label,
                     shown(meas::kBitHumidity, kGreen + number(le::i16(d + meas::kShtTemp) / 100.0) + celsius));
    setTextIfChanged(ui->exchange_Press_Pressure_label, shown(meas::kBitPressure, kGreen + number(le::f32(d + meas::kPressure)) +
                                                                                      QStringLiteral(" мБар</font>")));
    setTextIfChanged(ui->exchange_Press_Temp_label,
                     shown(meas::kBitPressure, kGreen + number(le::i16(d + meas::kPressTemp) / 100.0) + celsius));
}

void LiveDataController::sendBoardControl()
{
    Ui::MainWindow* ui = ctx.ui;
    // An output is on (its bit clear) while its button is held checked.
    auto offBit = [](const QPushButton* button, uint8_t bit) { return button->isChecked() ? uint8_t(0) : bit; };
    uint8_t outputs = 0;
    outputs |= offBit(ui->data_LED2_G_Button, kBitLed2G);
    outputs |= offBit(ui->data_LED2_B_Button, kBitLed2B);
    outputs |= offBit(ui->data_LED1_R_Button, kBitLed1R);
    outputs |= offBit(ui->data_LED1_B_Button, kBitLed1B);
    outputs |= offBit(ui->data_LED1_G_Button, kBitLed1G);
    const int pullup = ui->data_conductPullup_combobox->currentIndex();
    if (pullup >= 1 && pullup <= 3)
        outputs |= static_cast<uint8_t>(1u << (pullup - 1 + kPullupFirstBit));

    const uint8_t block[3] = {outputs, indexByte(ui->data_BLE_State_comboBox->currentIndex()),
                              indexByte(ui->data_AccelScale_comboBox->currentIndex())};
    ctx.proto->requestRawData(block, sizeof block);
    showSentSettings(block[2], qMax(0, pullup));
}

void LiveDataController::showSentSettings(int accelScale, int pullup)
{
    // Both pages set the accelerometer scale and the conductometer pull-up;
    // each pair shows what went to the board last, so a request from one page
    // never silently undoes a choice made on the other. setCurrentIndex does
    // not emit activated, so nothing is sent again.
    Ui::MainWindow* ui = ctx.ui;
    ui->data_AccelScale_comboBox->setCurrentIndex(accelScale);
    ui->exchange_SetAccel_Scale_comboBox->setCurrentIndex(accelScale);
    ui->data_conductPullup_combobox->setCurrentIndex(pullup);
    ui->exchange_SetConductScale_comboBox->setCurrentIndex(pullup);
}

void LiveDataController::requestExchange()
{
    ++exchangeRequestCount;
    ctx.proto->sendCommand(rec::cmd::getDataExchange, nullptr, 0);
}

void LiveDataController::setExchangeConductScale(int index)
{
    sendExchange(indexByte(ctx.ui->exchange_SetAccel_Scale_comboBox->currentIndex()), indexByte(index));
}

void LiveDataController::setExchangeAccelScale(int index)
{
    sendExchange(indexByte(index), indexByte(ctx.ui->exchange_SetConductScale_comboBox->currentIndex()));
}

void LiveDataController::sendExchange(uint8_t accelScale, uint8_t pullup)
{
    ++exchangeRequestCount;
    const uint8_t payload[2] = {accelScale, pullup};
    ctx.proto->sendCommand(rec::cmd::getDataExchange, payload, sizeof payload);
    showSentSettings(accelScale, pullup);
}

void LiveDataController::resetLabels()
{
    // The last record is shown (its reply count is exact), then the values
    // give way: the next board may be another one.
    rawView.flush();
    exchangeView.flush();
    Ui::MainWindow* ui = ctx.ui;
    for (QLabel* label :
         {ui->data_ADS_CalibrValue_label,        ui->data_ADS_MeasCycle_label,
          ui->data_ADS_Temp_label,               ui->data_ADS_Volt_channel0_label,
          ui->data_ADS_Volt_channel1_label,      ui->data_ADS_Volt_channel2_label,
          ui->data_ADS_Volt_channel3_label,      ui->data_Stat_i2c_fault_Label,
          ui->data_Stat_i2c_handlerTimeout_Label, ui->data_Stat_i2c_EEPROM_Fault_Label,
          ui->data_Stat_i2c_LIS_Fault_Label,     ui->data_Stat_i2c_MAX_Fault_Label,
          ui->data_Stat_i2c_MS_Fault_Label,      ui->data_Stat_i2c_SHT_Fault_Label,
          ui->data_MAX_lux_label,                ui->data_MAX_measCycle_label,
          ui->data_MAX_devStatus_label,          ui->data_Accel_X_label,
          ui->data_Accel_Y_label,                ui->data_Accel_Z_label,
          ui->data_Accel_MeasCycle_label,        ui->data_Accel_devStatus_label,
          ui->data_Accel_Scale_label,            ui->data_Press_CalibC0_label,
          ui->data_Press_CalibC1_label,          ui->data_Press_CalibC2_label,
          ui->data_Press_CalibC3_label,          ui->data_Press_CalibC4_label,
          ui->data_Press_CalibC5_label,          ui->data_Press_CalibC6_label,
          ui->data_Press_Pressure_label,         ui->data_Press_Temperature_label,
          ui->data_Press_devStatus_label,        ui->data_Press_measCycle_label,
          ui->data_SHT_Temperature_label,        ui->data_SHT_humidity_label,
          ui->data_SHT_measCycle_label,          ui->data_SHT_devStatus_label,
          ui->data_Stat_mSecTimer_Label})
        setTextIfChanged(label, kUnavailableCaps);
}
