#include "MainWindow.h"

#include "ui_MainWindow.h"

// PLACEHOLDER: bodies below are empty until this view is built.

void MainWindow::on_bl_Program_Run_Button_clicked()
{
}

void MainWindow::on_bl_fwConf_request_button_clicked()
{
}

void MainWindow::on_bl_choose_Sheet_Button_clicked()
{
}

void MainWindow::showFwConfig()
{
}

void MainWindow::showProgramProgress(float percent, bool ok)
{
    Q_UNUSED(percent);
    Q_UNUSED(ok);
}
