#include "MainWindow.h"

#include <QTime>

#include "LittleEndian.h"
#include "Records.h"
#include "ui_MainWindow.h"

namespace {

constexpr int kPcWatchdogMs = 3500;
constexpr qint64 kMsPerDay = 86400000;

// Run time in ms as a time of day; a day or more has no such time.
QString runTimeText(uint32_t ms)
{
    if (static_cast<qint64>(ms) >= kMsPerDay)
        return QString();
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)).toString(QStringLiteral("hh:mm:ss:zzz"));
}

QString pwmText(float percent)
{
    return QString::number(static_cast<double>(percent), 'f', 2) + QStringLiteral("%");
}

} // namespace

// ---- Statistics ----

void MainWindow::on_stat_get_button_clicked()
{
    if (!proto.isCommandAvailable(rec::cmd::statistics))
        return;
    proto.sendCommand(rec::cmd::statistics, nullptr, 0);
}

void MainWindow::on_stat_reset_allow_checkBox_clicked(bool checked)
{
    ui->stat_reset_button->setEnabled(checked);
}

void MainWindow::on_stat_reset_button_clicked()
{
    if (!proto.isCommandAvailable(rec::cmd::statistics))
        return;
    uint8_t payload[2];
    le::put16(payload, rec::cmd::statResetCode);
    proto.sendCommand(rec::cmd::statistics, payload, sizeof payload);
}

void MainWindow::showStatistics()
{
    const uint8_t* s = proto.statRecord();
    const QString seconds = QStringLiteral(" секунд");
    ui->stat_boardUse_count_label->setText(QString::number(le::u32(s + rec::stat::kBoardStarts)));
    ui->stat_hardFault_count_label->setText(QString::number(le::u32(s + rec::stat::kHardFaults)));
    ui->stat_archive_use_label->setText(QString::number(le::u32(s + rec::stat::kArchiveUses)));
    ui->stat_useTime_label->setText(QString::number(le::u32(s + rec::stat::kUseTime)) + seconds);
    ui->stat_batTime_label->setText(QString::number(le::u32(s + rec::stat::kBatTime)) + seconds);
    ui->stat_fw_update_count_label->setText(QString::number(le::u16(s + rec::stat::kFwUpdates)));
}

// ---- Photocolorimeter debug polling ----
// Same behaviour as the laboratory raw data polling: the first reply starts
// the poll timer, every reply restarts it, and the watchdog ends polling
// when replies stop.

void MainWindow::on_pc_debugData_ExchangeButton_clicked()
{
    if (!pcExchangeRunning) {
        pcExchangeRunning = true;
        ui->pc_Deb_data_requestSpeed_ComboBox->setEnabled(false);
        ui->pc_debugData_ExchangeButton->setText(QStringLiteral("Остановить обмен"));
        pcAnswerCount = 0;
        pcWatchdogTimer.setInterval(kPcWatchdogMs);
        log(QStringLiteral("Запуск считывания данных платы"));
        proto.sendCommand(rec::cmd::getRawData, nullptr, 0);
        pcPollTimer.setInterval(pollIntervalForIndex(ui->pc_Deb_data_requestSpeed_ComboBox->currentIndex()));
        pcWatchdogTimer.start();
        return;
    }
    pcExchangeRunning = false;
    pcPollTimer.stop();
    pcWatchdogTimer.stop();
    log(QStringLiteral("Считывание данных остановлено"));
    ui->pc_debugData_ExchangeButton->setText(QStringLiteral("Запустить обмен"));
    ui->pc_Deb_data_requestSpeed_ComboBox->setEnabled(true);
}

void MainWindow::pcPollStep()
{
    if (!pcExchangeRunning)
        return;
    pcPollTimer.stop();
    proto.sendCommand(rec::cmd::getRawData, nullptr, 0);
    pcPollTimer.start();
}

void MainWindow::showPcDebugData()
{
    if (pcExchangeRunning) {
        pcPollTimer.start();
        pcWatchdogTimer.stop();
        pcWatchdogTimer.start();
    }
    ++pcAnswerCount;

    const uint8_t* p = proto.pcRawRecord();
    ui->pc_debugData_Stat_mSecTimer_Label->setText(runTimeText(le::u32(p + rec::pcraw::kRunTime)));
    ui->pc_debugData_R_PWM_Label->setText(pwmText(le::f32(p + rec::pcraw::kPwmRed)));
    ui->pc_debugData_G_PWM_Label->setText(pwmText(le::f32(p + rec::pcraw::kPwmGreen)));
    ui->pc_debugData_B_PWM_Label->setText(pwmText(le::f32(p + rec::pcraw::kPwmBlue)));
    ui->pc_debugData_ADC_Ave_Label->setText(
        QString::number(static_cast<double>(le::f32(p + rec::pcraw::kAdcAve)), 'g', 6));
    ui->pc_debugData_ADC_Raw_Label->setText(QString::number(le::u32(p + rec::pcraw::kAdcRaw)));
    ui->pc_debugData_RequestNum_Label->setText(QString::number(pcAnswerCount));
}

void MainWindow::on_pc_debugData_setPwm_button_clicked()
{
    // Red, green, blue as float32, in percent.
    uint8_t payload[rec::pcpwm::kSize];
    le::putF32(payload + rec::pcpwm::kRed, static_cast<float>(ui->pc_debugData_setPwm_RED_dSpinBox->value()));
    le::putF32(payload + rec::pcpwm::kGreen, static_cast<float>(ui->pc_debugData_setPwm_GREEN_dSpinBox->value()));
    le::putF32(payload + rec::pcpwm::kBlue, static_cast<float>(ui->pc_debugData_setPwm_BLUE_dSpinBox->value()));
    proto.requestRawData(payload, sizeof payload);
}
