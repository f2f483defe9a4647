#include "MainWindow.h"

#include "ui_MainWindow.h"

// PLACEHOLDER: bodies below are empty until this view is built.

void MainWindow::on_atCmd_AT_Send_pushButton_clicked()
{
}

void MainWindow::on_atCmd_NAME_Send_pushButton_clicked()
{
}

void MainWindow::on_atCmd_RESET_Send_pushButton_clicked()
{
}

void MainWindow::on_atCmd_RENEW_Send_pushButton_clicked()
{
}

void MainWindow::on_atCmd_AT_SetSpeed_pushButton_clicked()
{
}

void MainWindow::on_atCmd_AT_SetName_pushButton_clicked()
{
}

void MainWindow::on_atCmd_ATBaud_Send_pushButton_clicked()
{
}

void MainWindow::on_atCmd_sendHandCmd_pushButton_clicked()
{
}

void MainWindow::on_atCmd_VERS_Send_pushButton_clicked()
{
}

void MainWindow::sendAtCommand(const uint8_t* text, uint32_t n)
{
    Q_UNUSED(text);
    Q_UNUSED(n);
}

void MainWindow::atCmdReceived(uint8_t* data, uint32_t size)
{
    Q_UNUSED(data);
    Q_UNUSED(size);
}
