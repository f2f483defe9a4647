#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>

#include "ViewContext.h"

class LogPanes;

// The port panel: the list of free ports, opening and closing, the frames
// between the engine and the link (with their pane lines), and reopening
// the port after the board restarts into its other program. Announces
// portOpened and portClosed to the tabs.
class PortPanelController : public QObject
{
    Q_OBJECT
public:
    PortPanelController(const ViewContext& ctx, LogPanes& panes, QObject* parent = nullptr);

    // The open/close button.
    void toggle();
    void refreshPortList();

private:
    void closeByUser();
    int openPanelPort(const QString& portText, bool reportFailure);
    void reportOpenFailure();
    void showChosenPort();
    void transmitData(uint8_t* buf, uint32_t size);
    void dataReceived(uint8_t* buf, uint32_t size);
    void reloadRequested();
    void reconnectAttempt();
    void stopReconnecting();
    void portLost();
    void setPanelClosed();

    ViewContext ctx;
    LogPanes& panes;
    QTimer reconnectTimer;
    QString chosenPort;         // name of the port last opened
    QString reconnectPort;      // empty unless a reconnection is pending
    QElapsedTimer reconnectClock;
    bool closedPortReported = false;
};
