#pragma once
// A simulated board on a pseudo-terminal and a real main window opened on it,
// shared by the port panel, device status and live data tests.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "BoardServer.h"
#include "FrameCodec.h"
#include "MainWindow.h"
#include "ScriptedDialogs.h"
#include "TestBytes.h"

namespace bench {

class Bench
{
public:
    explicit Bench(vboard::BoardType type = vboard::BoardType::Physics,
                   vboard::Program program = vboard::Program::Main, int restartMs = 800)
    {
        vboard::BoardServer::Options o;
        o.type = type;
        o.program = program;
        o.restartMs = restartMs;
        o.linkPath = dir.path() + QStringLiteral("/board");
        o.registerForDiscovery = false;
        server = std::make_unique<vboard::BoardServer>(o);
        window = std::make_unique<MainWindow>();
        window->setDialogs(&dialogs);
    }

    bool start()
    {
        if (!dir.isValid() || !server->start())
            return false;
        combo("serialPortList_comboBox")->addItem(QStringLiteral("(") + server->linkPath() + QStringLiteral(")   RConf test"));
        combo("serialPortList_comboBox")->setCurrentIndex(combo("serialPortList_comboBox")->count() - 1);
        return true;
    }

    template <class T = QWidget> T* widget(const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QPushButton* button(const char* name) const { return widget<QPushButton>(name); }
    QComboBox* combo(const char* name) const { return widget<QComboBox>(name); }
    QTabWidget* tabs(const char* name) const { return widget<QTabWidget>(name); }
    QString text(const char* name) const { return widget<QLabel>(name)->text(); }

    // A click as the user makes it: nothing happens on a disabled button.
    void click(const char* name) { button(name)->click(); }
    // Chooses an item the way the keyboard does, so both activated signals fire.
    void choose(const char* name, int index)
    {
        combo(name)->setCurrentIndex(index > 0 ? index - 1 : 1);
        QTest::keyClick(combo(name), index > 0 ? Qt::Key_Down : Qt::Key_Up);
    }

    QStringList lines(const char* pane) const
    {
        window->flushPanes();
        return widget<QPlainTextEdit>(pane)->toPlainText().split(QLatin1Char('\n'));
    }
    // Log lines end with their text after the time stamp.
    int indexInLog(const QString& text, int from = 0) const
    {
        const QStringList all = lines("log_Edit");
        for (int i = from; i < all.size(); ++i)
            if (all[i].endsWith(text))
                return i;
        return -1;
    }
    int countLog(const QString& text) const
    {
        int n = 0;
        for (int i = indexInLog(text); i >= 0; i = indexInLog(text, i + 1))
            ++n;
        return n;
    }

    // Request frames the board received with this code.
    QList<QByteArray> requests(uint8_t code) const
    {
        QList<QByteArray> out;
        for (const QByteArray& f : server->requests())
            if (FrameCodec::code(f) == code)
                out << f;
        return out;
    }

    bool isOpen() const { return button("serialPortAction_Button")->text() == QStringLiteral("Закрыть"); }
    // The status tab names a running program (not a placeholder).
    bool showsProgram() const
    {
        const QString mode = text("info_WorkMode_label");
        return mode.contains(QStringLiteral("Загрузчик")) || mode.contains(QStringLiteral("Основная программа"));
    }
    // Opens the port and waits for the status reply to be shown.
    bool openAndWaitStatus()
    {
        click("serialPortAction_Button");
        QElapsedTimer t;
        t.start();
        while (!showsProgram() && t.elapsed() < 10000)
            QTest::qWait(10);
        return showsProgram();
    }

    QTemporaryDir dir;
    std::unique_ptr<vboard::BoardServer> server;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

} // namespace bench
