#include "MainWindow.h"

#include "ui_MainWindow.h"

// PLACEHOLDER: bodies below are empty until this view is built.

void MainWindow::on_stat_get_button_clicked()
{
}

void MainWindow::on_stat_reset_allow_checkBox_clicked(bool checked)
{
    Q_UNUSED(checked);
}

void MainWindow::on_stat_reset_button_clicked()
{
}

void MainWindow::on_pc_debugData_ExchangeButton_clicked()
{
}

void MainWindow::on_pc_debugData_setPwm_button_clicked()
{
}

void MainWindow::showStatistics()
{
}

void MainWindow::pcPollStep()
{
}

void MainWindow::showPcDebugData()
{
}
