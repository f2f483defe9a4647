#include "MainWindow.h"

#include "ui_MainWindow.h"

// PLACEHOLDER: bodies below are empty until this view is built.

void MainWindow::on_userData_write_Button_clicked()
{
}

void MainWindow::on_userData_read_Button_clicked()
{
}

void MainWindow::on_chem_DefaultReset_button_clicked()
{
}

void MainWindow::on_physic_DefaultReset_button_clicked()
{
}

void MainWindow::on_bio_DefaultReset_button_clicked()
{
}

void MainWindow::showUserCalibrations(uint32_t readedSize)
{
    Q_UNUSED(readedSize);
}

void MainWindow::continueUserDataWrite(uint8_t offset, uint8_t len, uint8_t cmdType)
{
    Q_UNUSED(offset);
    Q_UNUSED(len);
    Q_UNUSED(cmdType);
}
