#pragma once
#include <QObject>

#include <cstdint>

#include "LiveChart.h"
#include "PollingLoop.h"
#include "RefreshThrottle.h"
#include "ViewContext.h"

// The laboratory board's live data: «Отладочные данные» (the raw data
// record, polled, and the board control block: LEDs, BLE, accelerometer
// scale, conductometer pull-up) and «Данные» (the measurement exchange).
// Both pages set the accelerometer scale and the pull-up; each shows what
// went to the board last. A rolling chart of the polled values opens from
// «Отладочные данные».
class LiveDataController : public QObject
{
    Q_OBJECT
public:
    LiveDataController(const ViewContext& ctx, QObject* parent = nullptr);

    void toggleRawPolling();
    // Sends the control block as the page's buttons and boxes set it.
    void sendBoardControl();
    void requestExchange();
    void setExchangeConductScale(int index);
    void setExchangeAccelScale(int index);

private:
    void rawDataReceived();
    void exchangeDataReceived();
    void showRawData();
    void showRawStatistics(const uint8_t* r);
    void showRawSensors(const uint8_t* r);
    void showRawPressure(const uint8_t* r);
    void showExchangeData();
    void showExchangeSensors(const uint8_t* d);
    void showSentSettings(int accelScale, int pullup);
    void sendExchange(uint8_t accelScale, uint8_t pullup);
    void resetLabels();

    ViewContext ctx;
    PollingLoop polling;
    RefreshThrottle rawView;
    RefreshThrottle exchangeView;
    LiveChart chart;
    uint32_t exchangeRequestCount = 0;
    uint32_t exchangeAnswerCount = 0;
};
