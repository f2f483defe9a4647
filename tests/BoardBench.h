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
#include "Crc16.h"
#include "MainWindow.h"
#include "ScriptedDialogs.h"

namespace bench {

// A complete frame around a payload, checksum included.
inline QByteArray frame(uint8_t code, const QByteArray& payload = QByteArray())
{
    QByteArray f;
    const int length = payload.size() + 6;
    f.append(char(0xAA));
    f.append(char(length & 0xFF));
    f.append(char((length >> 8) & 0xFF));
    f.append(char(code));
    f.append(payload);
    f.append(2, char(0));
    Crc16().append(reinterpret_cast<uint8_t*>(f.data()), static_cast<uint16_t>(f.size()));
    return f;
}

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

class Bench
{
public:
    explicit Bench(vboard::BoardType type = vboard::BoardType::Physics,
                   vboard::Program program = vboard::Program::Main)
    {
        vboard::BoardServer::Options o;
        o.type = type;
        o.program = program;
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
        QComboBox* ports = combo("serialPortList_comboBox");
        ports->addItem(QStringLiteral("(") + server->linkPath() + QStringLiteral(")   RConf test"));
        ports->setCurrentIndex(ports->count() - 1);
        return true;
    }

    template <class T> T* widget(const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QLabel* label(const char* name) const { return widget<QLabel>(name); }
    QPushButton* button(const char* name) const { return widget<QPushButton>(name); }
    QComboBox* combo(const char* name) const { return widget<QComboBox>(name); }
    QTabWidget* tabs(const char* name) const { return widget<QTabWidget>(name); }
    QString text(const char* name) const { return label(name)->text(); }

    // A click as the user makes it: nothing happens on a disabled button.
    void click(const char* name) { button(name)->click(); }

    // Chooses an item the way the keyboard does, so both activated signals fire.
    void choose(const char* name, int index)
    {
        QComboBox* box = combo(name);
        if (index > 0) {
            box->setCurrentIndex(index - 1);
            QTest::keyClick(box, Qt::Key_Down);
        } else {
            box->setCurrentIndex(1);
            QTest::keyClick(box, Qt::Key_Up);
        }
    }

    QStringList logLines() const
    {
        window->flushPanes();
        return widget<QPlainTextEdit>("log_Edit")->toPlainText().split(QLatin1Char('\n'));
    }
    QStringList exchangeLines() const
    {
        window->flushPanes();
        return widget<QPlainTextEdit>("exchange_PlainText")->toPlainText().split(QLatin1Char('\n'));
    }
    // Lines end with their text after the time stamp.
    int countLog(const QString& text) const
    {
        int n = 0;
        for (const QString& line : logLines())
            n += line.endsWith(text) ? 1 : 0;
        return n;
    }
    int indexInLog(const QString& text, int from = 0) const
    {
        const QStringList lines = logLines();
        for (int i = from; i < lines.size(); ++i)
            if (lines[i].endsWith(text))
                return i;
        return -1;
    }

    // Request frames the board received with this code.
    QList<QByteArray> requests(uint8_t code) const
    {
        QList<QByteArray> out;
        for (const QByteArray& f : server->requests())
            if (f.size() >= 4 && uint8_t(f[3]) == code)
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
        while (t.elapsed() < 10000) {
            if (showsProgram())
                return true;
            QTest::qWait(10);
        }
        return false;
    }

    QTemporaryDir dir;
    std::unique_ptr<vboard::BoardServer> server;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

} // namespace bench
