#include "PortPanelController.h"

#include "BoardLine.h"
#include "LogPanes.h"
#include "Oru_SerialPort.h"
#include "PortListText.h"
#include "PortNames.h"
#include "UiLogging.h"
#include "WindowEvents.h"
#include "proto_Vorlen_v2.h"
#include "ui_MainWindow.h"

#include <algorithm>

namespace {
const QString kOpenText = QStringLiteral("Открыть");
const QString kCloseText = QStringLiteral("Закрыть");

using BoardLine::kBaud;
using BoardLine::kDataBits;
using BoardLine::kParity;
using BoardLine::kStopBits;

// Time the board needs to come back after restarting into its other program.
constexpr int kReconnectMs = 2000;
// A board that is slower (or a system that is slow to give the device its
// rights) is tried again this often until the limit has passed.
constexpr int kRetryMs = BoardLine::kRetryMs;
constexpr qint64 kGiveUpMs = BoardLine::kGiveUpMs;

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

PortPanelController::PortPanelController(const ViewContext& ctx, LogPanes& panes, QObject* parent)
    : QObject(parent), ctx(ctx), panes(panes)
{
    reconnectTimer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early, reopening before the board
    // has had its time to restart.
    reconnectTimer.setTimerType(Qt::PreciseTimer);
    connect(&reconnectTimer, &QTimer::timeout, this, &PortPanelController::reconnectAttempt);
    connect(ctx.link, &Oru_SerialPort::_data_recevied, this, &PortPanelController::dataReceived);
    connect(ctx.proto, &proto_Vorlen_v2::_transmit_data, this, &PortPanelController::transmitData);
    connect(ctx.proto, &proto_Vorlen_v2::cmd_Reload_Request, this, &PortPanelController::reloadRequested);
    // A port that vanished while open: the panel goes to its closed state.
    connect(ctx.link, &Oru_SerialPort::portLost, this, &PortPanelController::portLost);
    refreshPortList();
}

void PortPanelController::refreshPortList()
{
    if (ctx.link->isOpen())
        return;
    // The chosen port is kept by its name: its place in the new list may differ.
    QComboBox* box = ctx.ui->serialPortList_comboBox;
    const QString chosen = PortNames::extract(box->currentText());
    box->clear();
    box->addItems(ctx.link->freePortList());
    const int index = indexOfPort(box, chosen);
    if (index >= 0)
        box->setCurrentIndex(index);
    ctx.log(portCountText(box->count()));
}

void PortPanelController::toggle()
{
    // A click by the user ends a pending reconnection.
    stopReconnecting();
    if (ctx.link->isOpen())
        closeByUser();
    else
        openPanelPort(ctx.ui->serialPortList_comboBox->currentText(), true);
}

void PortPanelController::closeByUser()
{
    ctx.ui->cmds->setEnabled(false);
    ctx.link->closePort();
    ctx.log(QStringLiteral("COM порт закрыт"));
    ctx.proto->portClosed();
    setPanelClosed();
}

int PortPanelController::openPanelPort(const QString& portText, bool reportFailure)
{
    const int result = ctx.link->openPort(portText, kBaud, kDataBits, kParity, kStopBits);
    if (result != 0) {
        if (reportFailure)
            reportOpenFailure();
        return result;
    }
    chosenPort = PortNames::extract(portText);
    showChosenPort();
    closedPortReported = false;
    ctx.ui->serialPortAction_Button->setText(kCloseText);
    ctx.log(QStringLiteral("COM порт открыт"));
    ctx.ui->serialPortList_comboBox->setEnabled(false);
    ctx.ui->serialPortUpdate_Button->setEnabled(false);
    ctx.ui->cmds->setEnabled(true);
    ctx.ui->autoUpdate_checkBox->setEnabled(true);
    emit ctx.events->portOpened();
    return result;
}

void PortPanelController::reportOpenFailure()
{
    ctx.log(QStringLiteral("Ошибка открытия порта"));
    ctx.log(ctx.link->openFailureText());
}

void PortPanelController::showChosenPort()
{
    QComboBox* box = ctx.ui->serialPortList_comboBox;
    const int index = indexOfPort(box, chosenPort);
    if (index >= 0)
        box->setCurrentIndex(index);
    else
        box->setEditText(chosenPort);
}

void PortPanelController::transmitData(uint8_t* buf, uint32_t size)
{
    // A frame built while the port is closed goes nowhere: saying it was sent
    // would report a failure as success. Polling goes on until its watchdog
    // ends it, so the line is written once for each closed period.
    if (!ctx.link->isOpen()) {
        if (!closedPortReported)
            ctx.log(QStringLiteral("ОШИБКА - COM порт закрыт, ") + QString::number(size) +
                    QStringLiteral(" байт данных не отправлено"));
        closedPortReported = true;
        panes.exchange(buf, size, 1);
        return;
    }
    ctx.link->send(buf, size);
    qCDebug(lcUi) << size << " bytes writed to COM port";
    ctx.log(QStringLiteral("Отправлено: ") + QString::number(size) + QStringLiteral(" байт данных"));
    panes.exchange(buf, size, 1);
}

void PortPanelController::dataReceived(uint8_t* buf, uint32_t size)
{
    qCDebug(lcUi) << size << " bytes readed from COM port";
    panes.exchange(buf, size, 0);
    ctx.log(QStringLiteral("Принято: ") + QString::number(size) + QStringLiteral(" байт данных"));
    // The engine's lines and the tabs' updates follow the "Принято" line.
    ctx.proto->parseReceived(buf, size);
    // The next poll request is timed by now: the panes' batch goes in the
    // pause before it rather than between a request and its reply.
    panes.flushAfterReply();
}

void PortPanelController::reloadRequested()
{
    // The board is restarting into its other program. Only an open port is
    // closed here: toggling a closed one would open it, and the reconnect
    // timer would then close it again.
    if (!ctx.link->isOpen())
        return;
    toggle();
    if (!ctx.ui->AutoReconnect_checkBox->isChecked())
        return;
    // The port the board was open on is reopened, whatever the list shows by then.
    reconnectPort = chosenPort;
    reconnectClock.start();
    ctx.ui->serialPortUpdate_Button->setEnabled(false);
    reconnectTimer.start(kReconnectMs);
}

void PortPanelController::reconnectAttempt()
{
    if (!ctx.ui->AutoReconnect_checkBox->isChecked() || reconnectPort.isEmpty()) {
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
        ctx.log(QStringLiteral("Плата не появилась за 10 с, переподключение прекращено"));
        return;
    }
    // The device is there but does not open: the reason is what the user needs.
    reportOpenFailure();
    ctx.log(QStringLiteral("Переподключение прекращено"));
}

void PortPanelController::stopReconnecting()
{
    reconnectTimer.stop();
    reconnectPort.clear();
    ctx.ui->serialPortUpdate_Button->setEnabled(!ctx.link->isOpen());
}

void PortPanelController::portLost()
{
    // The link has closed the port already. Only a panel that still shows it
    // open reacts; a port the window closed itself (restart of the board)
    // never reports a loss, and a second report changes nothing.
    if (ctx.link->isOpen() || ctx.ui->serialPortAction_Button->text() != kCloseText)
        return;
    reconnectTimer.stop();
    ctx.ui->cmds->setEnabled(false);
    ctx.log(QStringLiteral("COM порт потерян: устройство отключено"));
    ctx.proto->portClosed();
    setPanelClosed();
}

void PortPanelController::setPanelClosed()
{
    ctx.ui->serialPortList_comboBox->setEnabled(true);
    ctx.ui->serialPortAction_Button->setText(kOpenText);
    ctx.ui->autoUpdate_checkBox->setEnabled(false);
    ctx.ui->serialPortUpdate_Button->setEnabled(true);
    emit ctx.events->portClosed();
}
