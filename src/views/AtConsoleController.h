#pragma once
#include <QByteArray>
#include <QObject>

#include <cstdint>

#include "ViewContext.h"
#include "WidgetLock.h"

// The BLE module's AT console on the bootloader tab: the fixed commands, a
// new name or speed, a typed command, and the module's answers.
class AtConsoleController : public QObject
{
    Q_OBJECT
public:
    AtConsoleController(const ViewContext& ctx, QObject* parent = nullptr);

    void sendAt();
    void askName();
    void reset();
    void renew();
    void setSpeed();
    void setName();
    void askSpeed();
    void sendTyped();
    void askVersion();

private:
    void send(const QByteArray& text);
    void send(const uint8_t* text, uint32_t n);
    void answerReceived(uint8_t* data, uint32_t size);
    void statusReceived();

    ViewContext ctx;
    WidgetLock runLock;
};
