#include "MainWindow.h"

#include "PaneWriter.h"
#include "PortListText.h"
#include "PortNames.h"
#include "ui_MainWindow.h"

#include <QDebug>

#include <algorithm>

namespace {
const QString kStampFormat = QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz ");
const QString kOpenText = QStringLiteral("Открыть");
const QString kCloseText = QStringLiteral("Закрыть");

// The board's line is fixed: 115200 baud, 8 data bits, no parity, 1 stop bit.
constexpr uint32_t kBaud = 115200;
constexpr uint8_t kDataBits = 8;
constexpr uint8_t kParity = 'n';
constexpr uint8_t kStopBits = 1;

// Time the board needs to come back after restarting into its other program.
constexpr int kReconnectMs = 2000;
// A board that is slower (or a system that is slow to give the device its
// rights) is tried again this often until the limit has passed.
constexpr int kRetryMs = 500;
constexpr qint64 kGiveUpMs = 10000;

// The item that names this port, or -1.
int indexOfPort(const QComboBox* box, const QString& name)
{
    if (name.isEmpty())
        return -1;
    for (int i = 0; i < box->count(); ++i)
        if (PortNames::extract(box->itemText(i)) == name)
            return i;
    return -1;
}
} // namespace

void MainWindow::updatePortList()
{
    if (link.isOpen())
        return;
    // The chosen port is kept by its name: its place in the new list may differ.
    QComboBox* box = ui->serialPortList_comboBox;
    const QString chosen = PortNames::extract(box->currentText());
    box->clear();
    box->addItems(link.freePortList());
    const int index = indexOfPort(box, chosen);
    if (index >= 0)
        box->setCurrentIndex(index);
    log(portCountText(box->count()));
}

void MainWindow::on_serialPortUpdate_Button_clicked()
{
    updatePortList();
}

void MainWindow::log(QString text)
{
    if (ui->hideLog_checkBox->isChecked())
        return;
    logPane->append(clock().toString(kStampFormat) + text);
}

void MainWindow::exchange(uint8_t* data, uint32_t size, uint8_t dir)
{
    if (ui->hideLog_checkBox->isChecked())
        return;
    QString line = clock().toString(kStampFormat);
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

void MainWindow::on_serialPortAction_Button_clicked()
{
    // A click by the user ends a pending reconnection.
    stopReconnecting();

    if (!link.isOpen()) {
        openPanelPort(ui->serialPortList_comboBox->currentText(), true);
        return;
    }

    ui->cmds->setEnabled(false);
    resetInfoLabels();
    link.closePort();
    log(QStringLiteral("COM порт закрыт"));
    proto.portClosed();
    emit ctx.events->portClosed();
    setPortPanelClosed();
}

int MainWindow::openPanelPort(const QString& portText, bool reportFailure)
{
    const int result = link.openPort(portText, kBaud, kDataBits, kParity, kStopBits);
    if (result != 0) {
        if (reportFailure)
            reportOpenFailure();
        return result;
    }
    chosenPort = PortNames::extract(portText);
    showChosenPort();
    closedPortReported = false;
    ui->serialPortAction_Button->setText(kCloseText);
    log(QStringLiteral("COM порт открыт"));
    ui->serialPortList_comboBox->setEnabled(false);
    ui->serialPortUpdate_Button->setEnabled(false);
    ui->cmds->setEnabled(true);
    ui->autoUpdate_checkBox->setEnabled(true);
    // The status decides which tabs are usable; on another tab the tab
    // handler asks for it when auto-update is on.
    if (ui->cmds->currentIndex() == 0)
        proto.sendCommand(rec::cmd::getInfo, nullptr, 0);
    else
        ui->cmds->setCurrentIndex(0);
    return result;
}

void MainWindow::reportOpenFailure()
{
    log(QStringLiteral("Ошибка открытия порта"));
    log(link.openFailureText());
}

void MainWindow::showChosenPort()
{
    QComboBox* box = ui->serialPortList_comboBox;
    const int index = indexOfPort(box, chosenPort);
    if (index >= 0)
        box->setCurrentIndex(index);
    else
        box->setEditText(chosenPort);
}

void MainWindow::on_serialPortOpen_Button_clicked()
{
    // No widget of this name exists on the form: opening and closing both go
    // through serialPortAction_Button. The slot stays so the slot table keeps
    // its order.
}

void MainWindow::on_logClear_Button_clicked()
{
    logPane->clear();
    exchangePane->clear();
    ui->atCmd_Log_plainTextEdit->clear();
}

void MainWindow::transmitData(uint8_t* buf, uint32_t size)
{
    // A frame built while the port is closed goes nowhere: saying it was sent
    // would report a failure as success. Polling goes on until its watchdog
    // ends it, so the line is written once for each closed period.
    if (!link.isOpen()) {
        if (!closedPortReported)
            log(QStringLiteral("ОШИБКА - COM порт закрыт, ") + QString::number(size) +
                QStringLiteral(" байт данных не отправлено"));
        closedPortReported = true;
        exchange(buf, size, 1);
        return;
    }
    link.send(buf, size);
    qDebug() << size << " bytes writed to COM port";
    log(QStringLiteral("Отправлено: ") + QString::number(size) + QStringLiteral(" байт данных"));
    exchange(buf, size, 1);
}

void MainWindow::dataReceived(uint8_t* buf, uint32_t size)
{
    qDebug() << size << " bytes readed from COM port";
    exchange(buf, size, 0);
    log(QStringLiteral("Принято: ") + QString::number(size) + QStringLiteral(" байт данных"));
    // The engine's lines and the views' updates follow the "Принято" line.
    proto.parseReceived(buf, size);
}

void MainWindow::reloadRequested()
{
    // The board is restarting into its other program. Only an open port is
    // closed here: toggling a closed one would open it, and the reconnect
    // timer would then close it again.
    if (!link.isOpen())
        return;
    on_serialPortAction_Button_clicked();
    if (!ui->AutoReconnect_checkBox->isChecked())
        return;
    // The port the board was open on is reopened, whatever the list shows by then.
    reconnectPort = chosenPort;
    reconnectClock.start();
    ui->serialPortUpdate_Button->setEnabled(false);
    reconnectTimer.start(kReconnectMs);
}

void MainWindow::reconnectAttempt()
{
    if (!ui->AutoReconnect_checkBox->isChecked() || reconnectPort.isEmpty()) {
        stopReconnecting();
        return;
    }
    // Attempts before the last are quiet: a board still restarting is expected.
    const int result = openPanelPort(reconnectPort, false);
    if (result == 0) {
        stopReconnecting();
        return;
    }
    const qint64 elapsed = reconnectClock.elapsed();
    if (elapsed < kGiveUpMs) {
        reconnectTimer.start(static_cast<int>(std::min<qint64>(kRetryMs, kGiveUpMs - elapsed)));
        return;
    }
    stopReconnecting();
    if (result == 3) {
        log(QStringLiteral("Плата не появилась за 10 с, переподключение прекращено"));
        return;
    }
    // The device is there but does not open: the reason is what the user needs.
    reportOpenFailure();
    log(QStringLiteral("Переподключение прекращено"));
}

void MainWindow::stopReconnecting()
{
    reconnectTimer.stop();
    reconnectPort.clear();
    ui->serialPortUpdate_Button->setEnabled(!link.isOpen());
}

void MainWindow::portLost()
{
    // The link has closed the port already. Only a panel that still shows it
    // open reacts; a port the window closed itself (restart of the board)
    // never reports a loss, and a second report changes nothing.
    if (link.isOpen() || ui->serialPortAction_Button->text() != kCloseText)
        return;
    reconnectTimer.stop();
    ui->cmds->setEnabled(false);
    resetInfoLabels();
    log(QStringLiteral("COM порт потерян: устройство отключено"));
    proto.portClosed();
    emit ctx.events->portClosed();
    setPortPanelClosed();
}

void MainWindow::setPortPanelClosed()
{
    ui->serialPortList_comboBox->setEnabled(true);
    ui->serialPortAction_Button->setText(kOpenText);
    ui->autoUpdate_checkBox->setEnabled(false);
    ui->serialPortUpdate_Button->setEnabled(true);
}
