#include "StatisticsController.h"

#include "LittleEndian.h"
#include "Records.h"
#include "TextIfChanged.h"
#include "WindowEvents.h"
#include "proto_Vorlen_v2.h"
#include "ui_MainWindow.h"

namespace {
constexpr int kTabStatistics = 4;
constexpr uint8_t kModeLabMain = 1;
} // namespace

StatisticsController::StatisticsController(const ViewContext& ctx, QObject* parent) : QObject(parent), ctx(ctx)
{
    ctx.ui->stat_reset_button->setEnabled(false);
    connect(ctx.proto, &proto_Vorlen_v2::cmd_stat_received, this, &StatisticsController::show);
    connect(ctx.events, &WindowEvents::tabEntered, this, &StatisticsController::tabEntered);
}

void StatisticsController::tabEntered(int index, bool autoUpdate)
{
    // Only a laboratory main program keeps statistics.
    if (index == kTabStatistics && autoUpdate && ctx.proto->deviceInfo().progMode == kModeLabMain)
        read();
}

void StatisticsController::read()
{
    if (ctx.proto->isCommandAvailable(rec::cmd::statistics))
        ctx.proto->sendCommand(rec::cmd::statistics, nullptr, 0);
}

void StatisticsController::allowReset(bool allowed)
{
    ctx.ui->stat_reset_button->setEnabled(allowed);
}

void StatisticsController::reset()
{
    if (!ctx.proto->isCommandAvailable(rec::cmd::statistics))
        return;
    uint8_t payload[2];
    le::put16(payload, rec::cmd::statResetCode);
    ctx.proto->sendCommand(rec::cmd::statistics, payload, sizeof payload);
}

void StatisticsController::show()
{
    const uint8_t* s = ctx.proto->statRecord();
    Ui::MainWindow* ui = ctx.ui;
    const QString seconds = QStringLiteral(" секунд");
    setTextIfChanged(ui->stat_boardUse_count_label, QString::number(le::u32(s + rec::stat::kBoardStarts)));
    setTextIfChanged(ui->stat_hardFault_count_label, QString::number(le::u32(s + rec::stat::kHardFaults)));
    setTextIfChanged(ui->stat_archive_use_label, QString::number(le::u32(s + rec::stat::kArchiveUses)));
    setTextIfChanged(ui->stat_useTime_label, QString::number(le::u32(s + rec::stat::kUseTime)) + seconds);
    setTextIfChanged(ui->stat_batTime_label, QString::number(le::u32(s + rec::stat::kBatTime)) + seconds);
    setTextIfChanged(ui->stat_fw_update_count_label, QString::number(le::u16(s + rec::stat::kFwUpdates)));
}
