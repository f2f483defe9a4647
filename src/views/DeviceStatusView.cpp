#include "MainWindow.h"

#include "ui_MainWindow.h"

// PLACEHOLDER: bodies below are empty until this view is built.

void MainWindow::on_bootloader_Start_Button_clicked()
{
}

void MainWindow::on_getInfo_Button_clicked()
{
}

void MainWindow::on_cmds_currentChanged(int index)
{
    Q_UNUSED(index);
}

void MainWindow::on_bl_load_mainProg_request_Button_clicked()
{
}

void MainWindow::showDeviceInfo()
{
}

void MainWindow::resetInfoLabels()
{
}

QString MainWindow::sensorStatusText(uint8_t code) const
{
    Q_UNUSED(code);
    return QString();
}
