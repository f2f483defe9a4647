#pragma once
// A real window connected over a pseudo-terminal to a simulated board served
// in the same event loop; used by the AT console, statistics and
// photocolorimeter debug tests.
#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include "BoardServer.h"
#include "MainWindow.h"
#include "ScriptedDialogs.h"

namespace viewsd {

// Keeps the event loop running until cond() holds or timeoutMs passes.
inline bool waitFor(const std::function<bool()>& cond, int timeoutMs = 8000)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

inline QByteArray payloadOf(const QByteArray& frame)
{
    return frame.size() >= 6 ? frame.mid(4, frame.size() - 6) : QByteArray();
}

inline QByteArray hex(const char* spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

class BoardWindow
{
public:
    BoardWindow(vboard::BoardType type, vboard::Program program)
    {
        vboard::BoardServer::Options o;
        o.type = type;
        o.program = program;
        o.linkPath = dir.path() + QStringLiteral("/board");
        o.registerForDiscovery = false;
        server = std::make_unique<vboard::BoardServer>(o);
        window = std::make_unique<MainWindow>();
        window->setDialogs(&dialogs);
        QObject::connect(&window->engine(), &proto_Vorlen_v2::_transmit_data,
                         [this](uint8_t* buf, uint32_t size) {
                             sent.append(QByteArray(reinterpret_cast<const char*>(buf), static_cast<int>(size)));
                         });
    }

    ~BoardWindow()
    {
        window.reset();
        server.reset();
    }

    // Starts the board, opens its port in the window and waits for the status.
    bool open(uint8_t expectedProgMode)
    {
        if (!server->start())
            return false;
        auto* ports = widget<QComboBox>("serialPortList_comboBox");
        ports->addItem(QStringLiteral("(") + server->linkPath() + QStringLiteral(")   RConf test"));
        ports->setCurrentIndex(ports->count() - 1);
        widget<QAbstractButton>("serialPortAction_Button")->click();
        return waitFor([&] { return window->engine().devInfo.progMode == expectedProgMode && idle(); });
    }

    bool idle() { return !window->engine().isWaiting(); }

    // Clicks a button and waits until its request has been answered.
    bool clickAndWait(const char* button)
    {
        auto* b = widget<QAbstractButton>(button);
        if (!b || !b->isEnabled())
            return false;
        b->click();
        return waitFor([&] { return idle(); });
    }

    // Request frames of one command code that reached the board.
    QList<QByteArray> requestsFor(uint8_t code) const
    {
        QList<QByteArray> out;
        for (const QByteArray& f : server->requests())
            if (f.size() >= 4 && static_cast<uint8_t>(f[3]) == code)
                out.append(f);
        return out;
    }

    int sentCount(uint8_t code) const
    {
        int n = 0;
        for (const QByteArray& f : sent)
            if (f.size() >= 4 && static_cast<uint8_t>(f[3]) == code)
                ++n;
        return n;
    }

    template <class T> T* widget(const char* name) { return window->findChild<T*>(QLatin1String(name)); }
    QString label(const char* name) { return widget<QLabel>(name)->text(); }
    QString logText()
    {
        window->flushPanes();
        return window->findChild<QWidget*>(QStringLiteral("log_Edit"))->property("plainText").toString();
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<vboard::BoardServer> server;
    std::unique_ptr<MainWindow> window;
    QList<QByteArray> sent;   // every frame the engine handed to the port
};

} // namespace viewsd
