#include "MainWindow.h"

#include "ui_MainWindow.h"

// PLACEHOLDER: bodies below are empty until this view is built.

void MainWindow::on_hwConfig_get_Button_clicked()
{
}

void MainWindow::on_hwConfig_Set_Button_clicked()
{
}

void MainWindow::on_hwConfig_setDefCalibValues_button_clicked()
{
}

void MainWindow::on_checkBox_clicked(bool checked)
{
    Q_UNUSED(checked);
}

void MainWindow::showHwConfig()
{
}
