#include "MainWindow.h"

#include "PaneWriter.h"
#include "ui_MainWindow.h"

#include <QDateTime>

namespace {
const QString kStampFormat = QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz ");
}

void MainWindow::updatePortList()
{
    if (link.isOpen())
        return;
    ui->serialPortList_comboBox->clear();
    ui->serialPortList_comboBox->addItems(link.freePortList());
    const int n = ui->serialPortList_comboBox->count();
    const int r = n % 10;
    QString suffix;
    if (r == 1)
        suffix = QStringLiteral(" свободный порт");
    else if (r >= 2 && r <= 4)
        suffix = QStringLiteral(" свободных порта");
    else
        suffix = QStringLiteral(" свободных портов");
    log(QStringLiteral("Найдено: ") + QString::number(n) + suffix);
}

void MainWindow::on_serialPortUpdate_Button_clicked()
{
    updatePortList();
}

void MainWindow::log(QString text)
{
    if (ui->hideLog_checkBox->isChecked())
        return;
    logPane->append(QDateTime::currentDateTime().toString(kStampFormat) + text);
}

void MainWindow::exchange(uint8_t* data, uint32_t size, uint8_t dir)
{
    if (ui->hideLog_checkBox->isChecked())
        return;
    QString line = QDateTime::currentDateTime().toString(kStampFormat);
    line += dir ? QStringLiteral("Запрос :") : QStringLiteral("Ответ :");
    line += QString::number(size) + QStringLiteral(" байт:");
    static const char digits[] = "0123456789abcdef";
    QString bytes(static_cast<int>(size) * 3, QLatin1Char(' '));
    for (uint32_t i = 0; i < size; ++i) {
        bytes[static_cast<int>(i * 3 + 1)] = QLatin1Char(digits[data[i] >> 4]);
        bytes[static_cast<int>(i * 3 + 2)] = QLatin1Char(digits[data[i] & 0x0F]);
    }
    exchangePane->append(line + bytes);
}

// PLACEHOLDER: bodies below are empty until this view is built.

void MainWindow::on_serialPortAction_Button_clicked()
{
}

void MainWindow::on_serialPortOpen_Button_clicked()
{
}

void MainWindow::on_logClear_Button_clicked()
{
}

void MainWindow::transmitData(uint8_t* buf, uint32_t size)
{
    Q_UNUSED(buf);
    Q_UNUSED(size);
}

void MainWindow::dataReceived(uint8_t* buf, uint32_t size)
{
    Q_UNUSED(buf);
    Q_UNUSED(size);
}

void MainWindow::reloadRequested()
{
}

void MainWindow::portLost()
{
}

void MainWindow::setPortPanelClosed()
{
}
