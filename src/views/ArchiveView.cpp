#include "MainWindow.h"

#include "ui_MainWindow.h"

// PLACEHOLDER: bodies below are empty until this view is built.

void MainWindow::on_archive_GetStatus_button_clicked()
{
}

void MainWindow::on_archive_StartRecord_button_clicked()
{
}

void MainWindow::on_archive_GetData_button_clicked()
{
}

void MainWindow::showArchiveStatus()
{
}

void MainWindow::archiveDataReceived()
{
}

void MainWindow::showArchiveTable()
{
}
