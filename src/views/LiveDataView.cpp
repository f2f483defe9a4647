#include "MainWindow.h"

#include "ui_MainWindow.h"

// PLACEHOLDER: bodies below are empty until this view is built.

void MainWindow::on_data_ExchangeButton_clicked()
{
}

void MainWindow::on_data_LED1_R_Button_clicked()
{
}

void MainWindow::on_data_WriteControl_button_clicked()
{
}

void MainWindow::on_data_LED1_G_Button_clicked()
{
}

void MainWindow::on_data_LED1_B_Button_clicked()
{
}

void MainWindow::on_data_LED2_R_Button_clicked()
{
}

void MainWindow::on_data_LED2_G_Button_clicked()
{
}

void MainWindow::on_data_LED2_B_Button_clicked()
{
}

void MainWindow::on_data_BLE_State_comboBox_activated(QString arg1)
{
    Q_UNUSED(arg1);
}

void MainWindow::on_data_AccelScale_comboBox_activated(QString arg1)
{
    Q_UNUSED(arg1);
}

void MainWindow::on_data_conductPullup_combobox_activated(QString arg1)
{
    Q_UNUSED(arg1);
}

void MainWindow::on_data_requestSpeed_ComboBox_activated(QString arg1)
{
    Q_UNUSED(arg1);
}

void MainWindow::on_exchange_StartStop_button_clicked()
{
}

void MainWindow::on_exchange_SetConductScale_comboBox_activated(int index)
{
    Q_UNUSED(index);
}

void MainWindow::on_exchange_SetAccel_Scale_comboBox_activated(int index)
{
    Q_UNUSED(index);
}

void MainWindow::dataPollStep()
{
}

void MainWindow::rawDataReceived()
{
}

void MainWindow::exchangeDataReceived()
{
}

void MainWindow::showRawData()
{
}

void MainWindow::showExchangeData()
{
}

void MainWindow::sendBoardControl()
{
}

int MainWindow::pollIntervalForIndex(int index)
{
    Q_UNUSED(index);
    return 5;
}
