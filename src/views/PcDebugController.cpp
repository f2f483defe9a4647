#include "PcDebugController.h"

#include "LittleEndian.h"
#include "Records.h"
#include "TextIfChanged.h"
#include "TimeOfDay.h"
#include "proto_Vorlen_v2.h"
#include "ui_MainWindow.h"

namespace {

QString pwmText(float percent)
{
    return QString::number(static_cast<double>(percent), 'f', 2) + QStringLiteral("%");
}

} // namespace

PcDebugController::PcDebugController(const ViewContext& ctx, QObject* parent)
    : QObject(parent), ctx(ctx),
      polling(ctx, ctx.ui->pc_debugData_ExchangeButton, ctx.ui->pc_Deb_data_requestSpeed_ComboBox, this),
      view([this] { show(); }, this)
{
    connect(ctx.proto, &proto_Vorlen_v2::cmd_RawData_received, this, &PcDebugController::rawDataReceived);
}

void PcDebugController::togglePolling()
{
    polling.toggle();
}

void PcDebugController::sendPwm()
{
    // Red, green, blue as float32, in percent.
    uint8_t payload[rec::pcpwm::kSize];
    Ui::MainWindow* ui = ctx.ui;
    le::putF32(payload + rec::pcpwm::kRed, static_cast<float>(ui->pc_debugData_setPwm_RED_dSpinBox->value()));
    le::putF32(payload + rec::pcpwm::kGreen, static_cast<float>(ui->pc_debugData_setPwm_GREEN_dSpinBox->value()));
    le::putF32(payload + rec::pcpwm::kBlue, static_cast<float>(ui->pc_debugData_setPwm_BLUE_dSpinBox->value()));
    ctx.proto->requestRawData(payload, sizeof payload);
}

void PcDebugController::rawDataReceived()
{
    if (ctx.proto->deviceInfo().devType != rec::devinfo::kTypePhotocolorimeter)
        return;
    polling.replyArrived();
    view.request();
}

void PcDebugController::show()
{
    const uint8_t* p = ctx.proto->pcRawRecord();
    Ui::MainWindow* ui = ctx.ui;
    setTextIfChanged(ui->pc_debugData_Stat_mSecTimer_Label, timeOfDayText(le::u32(p + rec::pcraw::kRunTime)));
    setTextIfChanged(ui->pc_debugData_R_PWM_Label, pwmText(le::f32(p + rec::pcraw::kPwmRed)));
    setTextIfChanged(ui->pc_debugData_G_PWM_Label, pwmText(le::f32(p + rec::pcraw::kPwmGreen)));
    setTextIfChanged(ui->pc_debugData_B_PWM_Label, pwmText(le::f32(p + rec::pcraw::kPwmBlue)));
    setTextIfChanged(ui->pc_debugData_ADC_Ave_Label,
                     QString::number(static_cast<double>(le::f32(p + rec::pcraw::kAdcAve)), 'g', 6));
    setTextIfChanged(ui->pc_debugData_ADC_Raw_Label, QString::number(le::u32(p + rec::pcraw::kAdcRaw)));
    setTextIfChanged(ui->pc_debugData_RequestNum_Label, QString::number(polling.answers()));
}
