#include "MainWindow.h"

#include "LittleEndian.h"
#include "ui_MainWindow.h"

#include <QTime>

namespace {

constexpr int kWatchdogMs = 3500;
constexpr int kPollPeriodsMs[] = {5, 10, 25, 50, 100, 250, 500, 1000};
constexpr qint64 kDayMs = 86400000;

const QString kGreen = QStringLiteral("<font color = 'green'>");
const QString kEnd = QStringLiteral("</font>");
const QString kNoAnswer = QStringLiteral("<font color = 'red'>Нет ответа</font>");

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

// Milliseconds after midnight as a time of day; a full day or more is no time of day.
QString timeOfDay(uint32_t ms)
{
    if (static_cast<qint64>(ms) >= kDayMs)
        return QString();
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)).toString(QStringLiteral("hh:mm:ss:zzz"));
}

QString hex(uint32_t v)
{
    return QStringLiteral("0x") + QString::number(v, 16);
}

QString accelScaleText(uint8_t code)
{
    static const char* const names[] = {"2G", "4G", "8G", "16G"};
    return code < 4 ? QLatin1String(names[code]) : QString();
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

} // namespace

int MainWindow::pollIntervalForIndex(int index)
{
    constexpr int count = static_cast<int>(sizeof kPollPeriodsMs / sizeof kPollPeriodsMs[0]);
    if (index < 0 || index >= count)
        return kPollPeriodsMs[0];
    return kPollPeriodsMs[index];
}

void MainWindow::on_data_ExchangeButton_clicked()
{
    if (!dataExchangeRunning) {
        dataExchangeRunning = true;
        ui->data_requestSpeed_ComboBox->setEnabled(false);
        ui->data_ExchangeButton->setText(QStringLiteral("Остановить обмен"));
        dataAnswerCount = 0;
        dataWatchdogTimer.setInterval(kWatchdogMs);
        log(QStringLiteral("Запуск считывания данных платы"));
        proto.sendCommand(rec::cmd::getRawData, nullptr, 0);
        // Not started here: the first reply starts the poll timer.
        dataPollTimer.setInterval(pollIntervalForIndex(ui->data_requestSpeed_ComboBox->currentIndex()));
        dataWatchdogTimer.start();
        return;
    }
    dataExchangeRunning = false;
    dataPollTimer.stop();
    dataWatchdogTimer.stop();
    log(QStringLiteral("Считывание данных остановлено"));
    ui->data_ExchangeButton->setText(QStringLiteral("Запустить обмен"));
    ui->data_requestSpeed_ComboBox->setEnabled(true);
}

void MainWindow::dataPollStep()
{
    if (!dataExchangeRunning)
        return;
    dataPollTimer.stop();
    proto.sendCommand(rec::cmd::getRawData, nullptr, 0);
    dataPollTimer.start();
}

void MainWindow::rawDataReceived()
{
    const uint8_t type = proto.deviceInfo().devType;
    if (isLabType(type))
        showRawData();
    else if (type == rec::devinfo::kTypePhotocolorimeter)
        showPcDebugData();
}

void MainWindow::exchangeDataReceived()
{
    if (isLabType(proto.deviceInfo().devType))
        showExchangeData();
}

void MainWindow::showRawData()
{
    if (dataExchangeRunning) {
        // The next request leaves one period after this reply.
        dataPollTimer.start();
        dataWatchdogTimer.stop();
        dataWatchdogTimer.start();
    }
    ++dataAnswerCount;

    const uint8_t* r = proto.rawDataRecord();
    namespace raw = rec::raw;
    const uint8_t outputs = r[raw::kOutputs];
    ui->data_HC595_RawData_label->setText(hex(outputs));
    ui->data_RequestNum_Label->setText(QString::number(dataAnswerCount));
    ui->data_Conductometr_label->setText(conductometerText(outputs));
    ui->data_BLE_Label->setText(QStringLiteral("Включен"));

    ui->data_Stat_mSecTimer_Label->setText(timeOfDay(le::u32(r + raw::kRunTime)));
    ui->data_Stat_i2c_fault_Label->setText(QString::number(le::u16(r + raw::kI2cFault)));
    ui->data_Stat_i2c_handlerTimeout_Label->setText(QString::number(le::u16(r + raw::kI2cHandlerTimeout)));
    ui->data_Stat_i2c_LIS_Fault_Label->setText(QString::number(le::u16(r + raw::kLisFault)));
    ui->data_Stat_i2c_EEPROM_Fault_Label->setText(QString::number(le::u16(r + raw::kEepromFault)));
    ui->data_Stat_i2c_MAX_Fault_Label->setText(QString::number(le::u16(r + raw::kMaxFault)));
    ui->data_Stat_i2c_SHT_Fault_Label->setText(QString::number(le::u16(r + raw::kShtFault)));
    ui->data_Stat_i2c_MS_Fault_Label->setText(QString::number(le::u16(r + raw::kMsFault)));

    const QString volt = QStringLiteral(" В");
    const QString celsius = QStringLiteral(" °С");
    ui->data_ADS_CalibrValue_label->setText(number(le::f32(r + raw::kAdsCalib)) + QStringLiteral(" (единиц АЦП)"));
    ui->data_ADS_Volt_channel0_label->setText(number(le::f32(r + raw::kAdsVolt0)) + volt);
    ui->data_ADS_Volt_channel1_label->setText(number(le::f32(r + raw::kAdsVolt1)) + volt);
    ui->data_ADS_Volt_channel2_label->setText(number(le::f32(r + raw::kAdsVolt2)) + volt);
    ui->data_ADS_Volt_channel3_label->setText(number(le::f32(r + raw::kAdsVolt3)) + volt);
    ui->data_ADS_Temp_label->setText(number(le::f32(r + raw::kAdsTemp)) + celsius);
    ui->data_ADS_MeasCycle_label->setText(QString::number(r[raw::kAdsCycle]));

    ui->data_Accel_X_label->setText(QString::number(le::u16(r + raw::kAccX)));
    ui->data_Accel_Y_label->setText(QString::number(le::u16(r + raw::kAccY)));
    ui->data_Accel_Z_label->setText(QString::number(le::u16(r + raw::kAccZ)));
    ui->data_Accel_MeasCycle_label->setText(QString::number(r[raw::kAccCycle]));
    ui->data_Accel_Scale_label->setText(accelScaleText(r[raw::kAccScale]));
    ui->data_Accel_devStatus_label->setText(sensorStatusText(r[raw::kAccState]));

    ui->data_MAX_lux_label->setText(number(le::f32(r + raw::kLux)) + QStringLiteral(" люкс"));
    ui->data_MAX_measCycle_label->setText(QString::number(r[raw::kMaxCycle]));
    ui->data_MAX_devStatus_label->setText(sensorStatusText(r[raw::kMaxState]));

    ui->data_SHT_humidity_label->setText(number(le::f32(r + raw::kHumidity)) + QStringLiteral(" %RH"));
    ui->data_SHT_Temperature_label->setText(number(le::f32(r + raw::kShtTemp)) + celsius);
    ui->data_SHT_measCycle_label->setText(QString::number(r[raw::kShtCycle]));
    ui->data_SHT_devStatus_label->setText(sensorStatusText(r[raw::kShtState]));

    ui->data_Press_Pressure_label->setText(number(le::f32(r + raw::kPressure)) + QStringLiteral(" мБар"));
    ui->data_Press_Temperature_label->setText(number(le::f32(r + raw::kPressTemp)) + celsius);
    QLabel* const calib[] = {ui->data_Press_CalibC0_label, ui->data_Press_CalibC1_label, ui->data_Press_CalibC2_label,
                             ui->data_Press_CalibC3_label, ui->data_Press_CalibC4_label, ui->data_Press_CalibC5_label,
                             ui->data_Press_CalibC6_label};
    for (uint32_t i = 0; i < 7; ++i)
        calib[i]->setText(hex(le::u16(r + raw::kPressCalib0 + 2 * i)));
    ui->data_Press_measCycle_label->setText(QString::number(r[raw::kPressCycle]));
    ui->data_Press_devStatus_label->setText(sensorStatusText(r[raw::kPressState]));
}

void MainWindow::showExchangeData()
{
    const uint8_t* d = proto.exchangeRecord();
    namespace meas = rec::meas;

    ++exchangeAnswerCount;
    ui->exchange_requstNum_label->setText(QString::number(exchangeRequestCount));
    ui->exchange_asnwerNum_label->setText(QString::number(exchangeAnswerCount));

    ui->exchange_workTime_label->setText(kGreen + timeOfDay(le::u32(d + meas::kRunTime)) + kEnd);
    ui->exchange_ConductScale_label->setText(pullupText(d[meas::kConductCode]));

    const QString celsius = QStringLiteral(" °С</font>");
    const QString volt = QStringLiteral(" В</font>");
    ui->exchange_ADC_Temp_label->setText(kGreen + number(le::i16(d + meas::kAdcTemp) / 100.0) + celsius);
    ui->exchange_ADC_Voltage1_label->setText(kGreen + number(le::f32(d + meas::kVolt1)) + volt);
    ui->exchange_ADC_Voltage2_label->setText(kGreen + number(le::f32(d + meas::kVolt2)) + volt);
    ui->exchange_ADC_Voltage3_label->setText(kGreen + number(le::f32(d + meas::kVolt3)) + volt);
    ui->exchange_ADC_Voltage4_label->setText(kGreen + number(le::f32(d + meas::kVolt4)) + volt);

    const uint8_t answered = d[meas::kAnswerBits];
    if (answered & meas::kBitAccel) {
        ui->exchange_AccelScale_label->setText(kGreen + accelScaleText(d[meas::kAccScale]) + kEnd);
        ui->exchange_Accel_X_label->setText(kGreen + QString::number(le::i16(d + meas::kAccX)) + kEnd);
        ui->exchange_Accel_Y_label->setText(kGreen + QString::number(le::i16(d + meas::kAccY)) + kEnd);
        ui->exchange_Accel_Z_label->setText(kGreen + QString::number(le::i16(d + meas::kAccZ)) + kEnd);
    } else {
        for (QLabel* label : {ui->exchange_AccelScale_label, ui->exchange_Accel_X_label, ui->exchange_Accel_Y_label,
                              ui->exchange_Accel_Z_label})
            label->setText(kNoAnswer);
    }

    if (answered & meas::kBitLight)
        ui->exchange_Light_label->setText(kGreen + number(le::f32(d + meas::kLight)) + QStringLiteral(" люкс</font>"));
    else
        ui->exchange_Light_label->setText(kNoAnswer);

    if (answered & meas::kBitHumidity) {
        ui->exchange_SHT_Humidity_label->setText(kGreen + number(le::u16(d + meas::kHumidity) / 100.0) +
                                                 QStringLiteral(" %RH</font>"));
        ui->exchange_SHT_Temp_label->setText(kGreen + number(le::i16(d + meas::kShtTemp) / 100.0) + celsius);
    } else {
        ui->exchange_SHT_Humidity_label->setText(kNoAnswer);
        ui->exchange_SHT_Temp_label->setText(kNoAnswer);
    }

    if (answered & meas::kBitPressure) {
        ui->exchange_Press_Pressure_label->setText(kGreen + number(le::f32(d + meas::kPressure)) +
                                                   QStringLiteral(" мБар</font>"));
        ui->exchange_Press_Temp_label->setText(kGreen + number(le::i16(d + meas::kPressTemp) / 100.0) + celsius);
    } else {
        ui->exchange_Press_Pressure_label->setText(kNoAnswer);
        ui->exchange_Press_Temp_label->setText(kNoAnswer);
    }
}

void MainWindow::sendBoardControl()
{
    // An output is on (its bit clear) while its button is held checked.
    auto offBit = [](const QPushButton* button, uint8_t bit) {
        return button->isChecked() ? uint8_t(0) : bit;
    };
    uint8_t outputs = 0;
    outputs |= offBit(ui->data_LED2_G_Button, kBitLed2G);
    outputs |= offBit(ui->data_LED2_B_Button, kBitLed2B);
    outputs |= offBit(ui->data_LED1_R_Button, kBitLed1R);
    outputs |= offBit(ui->data_LED1_B_Button, kBitLed1B);
    outputs |= offBit(ui->data_LED1_G_Button, kBitLed1G);
    const int pullup = ui->data_conductPullup_combobox->currentIndex();
    if (pullup >= 1 && pullup <= 3)
        outputs |= static_cast<uint8_t>(1u << (pullup - 1 + kPullupFirstBit));

    uint8_t block[3];
    block[0] = outputs;
    block[1] = static_cast<uint8_t>(qMax(0, ui->data_BLE_State_comboBox->currentIndex()));
    block[2] = static_cast<uint8_t>(qMax(0, ui->data_AccelScale_comboBox->currentIndex()));
    proto.requestRawData(block, sizeof block);
    showSentSettings(block[2], qMax(0, pullup));
}

void MainWindow::showSentSettings(int accelScale, int pullup)
{
    // Both tabs set the accelerometer scale and the conductometer pull-up;
    // each pair shows what went to the board last, so a request from one tab
    // never silently undoes a choice made on the other. setCurrentIndex does
    // not emit activated, so nothing is sent again.
    ui->data_AccelScale_comboBox->setCurrentIndex(accelScale);
    ui->exchange_SetAccel_Scale_comboBox->setCurrentIndex(accelScale);
    ui->data_conductPullup_combobox->setCurrentIndex(pullup);
    ui->exchange_SetConductScale_comboBox->setCurrentIndex(pullup);
}

void MainWindow::on_data_LED1_R_Button_clicked()
{
    sendBoardControl();
}

void MainWindow::on_data_LED1_G_Button_clicked()
{
    sendBoardControl();
}

void MainWindow::on_data_LED1_B_Button_clicked()
{
    sendBoardControl();
}

void MainWindow::on_data_LED2_R_Button_clicked()
{
    // This LED has no bit in the block: the block goes out unchanged.
    sendBoardControl();
}

void MainWindow::on_data_LED2_G_Button_clicked()
{
    sendBoardControl();
}

void MainWindow::on_data_LED2_B_Button_clicked()
{
    sendBoardControl();
}

void MainWindow::on_data_WriteControl_button_clicked()
{
    // No button of this name is on the form; called directly it sends the
    // current board control block like every other control.
    sendBoardControl();
}

void MainWindow::on_data_BLE_State_comboBox_activated(QString arg1)
{
    Q_UNUSED(arg1);
    sendBoardControl();
}

void MainWindow::on_data_AccelScale_comboBox_activated(QString arg1)
{
    Q_UNUSED(arg1);
    sendBoardControl();
}

void MainWindow::on_data_conductPullup_combobox_activated(QString arg1)
{
    Q_UNUSED(arg1);
    sendBoardControl();
}

void MainWindow::on_data_requestSpeed_ComboBox_activated(QString arg1)
{
    // The period is read when polling starts; the box is locked while it runs.
    Q_UNUSED(arg1);
}

void MainWindow::on_exchange_StartStop_button_clicked()
{
    ++exchangeRequestCount;
    proto.sendCommand(rec::cmd::getDataExchange, nullptr, 0);
}

void MainWindow::on_exchange_SetConductScale_comboBox_activated(int index)
{
    ++exchangeRequestCount;
    const uint8_t payload[2] = {static_cast<uint8_t>(qMax(0, ui->exchange_SetAccel_Scale_comboBox->currentIndex())),
                                static_cast<uint8_t>(qMax(0, index))};
    proto.sendCommand(rec::cmd::getDataExchange, payload, sizeof payload);
    showSentSettings(payload[0], payload[1]);
}

void MainWindow::on_exchange_SetAccel_Scale_comboBox_activated(int index)
{
    ++exchangeRequestCount;
    const uint8_t payload[2] = {static_cast<uint8_t>(qMax(0, index)),
                                static_cast<uint8_t>(qMax(0, ui->exchange_SetConductScale_comboBox->currentIndex()))};
    proto.sendCommand(rec::cmd::getDataExchange, payload, sizeof payload);
    showSentSettings(payload[0], payload[1]);
}
