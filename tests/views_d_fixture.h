#pragma once
// The shared window bench with what the AT console, statistics and
// photocolorimeter debug tests add: every frame the engine handed to the port,
// and waits for a status or for an answered click.
#include <QAbstractButton>

#include <functional>

#include "BoardBench.h"
#include "FrameCodec.h"

namespace viewsd {

// Keeps the event loop running until cond() holds or timeoutMs passes.
inline bool waitFor(const std::function<bool()>& cond, int timeoutMs = 8000)
{
    return QTest::qWaitFor(cond, timeoutMs);
}

inline QByteArray payloadOf(const QByteArray& frame)
{
    return FrameCodec::payload(frame);
}

inline QByteArray hex(const char* spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

class BoardWindow : public bench::Bench
{
public:
    BoardWindow(vboard::BoardType type, vboard::Program program) : Bench(type, program)
    {
        QObject::connect(&window->engine(), &proto_Vorlen_v2::_transmit_data, [this](uint8_t* buf, uint32_t size) {
            sent.append(QByteArray(reinterpret_cast<const char*>(buf), static_cast<int>(size)));
        });
    }
    ~BoardWindow() { window.reset(); }

    // Starts the board, opens its port in the window and waits for the status.
    bool open(uint8_t expectedProgMode)
    {
        if (!start())
            return false;
        click("serialPortAction_Button");
        return waitFor([&] { return window->engine().deviceInfo().progMode == expectedProgMode && idle(); });
    }

    bool idle() { return !window->engine().isWaiting(); }

    // Clicks a button and waits until its request has been answered.
    bool clickAndWait(const char* name)
    {
        auto* b = widget<QAbstractButton>(name);
        if (!b->isEnabled())
            return false;
        b->click();
        return waitFor([&] { return idle(); });
    }

    int sentCount(uint8_t code) const
    {
        int n = 0;
        for (const QByteArray& f : sent)
            n += FrameCodec::code(f) == code;
        return n;
    }

    QString logText()
    {
        window->flushPanes();
        return widget<QPlainTextEdit>("log_Edit")->toPlainText();
    }

    QList<QByteArray> sent;   // every frame the engine handed to the port
};

} // namespace viewsd
