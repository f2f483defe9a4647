#pragma once
#include <QObject>

#include "PollingLoop.h"
#include "RefreshThrottle.h"
#include "ViewContext.h"

// The photocolorimeter's debug page: LED drive levels out, its raw data
// packet back, polled with the page's own loop.
class PcDebugController : public QObject
{
    Q_OBJECT
public:
    PcDebugController(const ViewContext& ctx, QObject* parent = nullptr);

    void togglePolling();
    void sendPwm();

private:
    void rawDataReceived();
    void show();

    ViewContext ctx;
    PollingLoop polling;
    RefreshThrottle view;
};
