#pragma once
// The one window fixture: a simulated board on a pseudo-terminal, the real
// main window opened on it, what the engine sent, and update files written
// the way mkrbin writes them.
#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
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
#include "UpdateFileWriter.h"
#include "WaitTimes.h"

namespace bench {

// Window tests do not check the real waits (the engine's timeline test does):
// they run every long wait this many times shorter, the board's restart too.
constexpr int kWaitDivisor = 4;
constexpr int kRestartMs = 800 / kWaitDivisor;

inline QByteArray hex(const char* spaced) { return QByteArray::fromHex(QByteArray(spaced).replace(' ', "")); }

inline UpdateFileWriter::Header header(uint8_t target, uint8_t version = 1, const QDate& date = QDate(2024, 5, 17),
                                       uint8_t hw = 3)
{
    UpdateFileWriter::Header h;
    h.targetProgram = target;
    h.fwVersion = version;
    h.buildDate = date;
    h.hwVersionSupported = hw;
    return h;
}

class Bench
{
public:
    explicit Bench(vboard::BoardType type = vboard::BoardType::Physics,
                   vboard::Program program = vboard::Program::Main, int restartMs = kRestartMs)
    {
        WaitTimes::setDivisor(kWaitDivisor);
        vboard::BoardServer::Options o;
        o.type = type;
        o.program = program;
        o.restartMs = restartMs;
        o.linkPath = dir.path() + QStringLiteral("/board");
        o.registerForDiscovery = false;
        server = std::make_unique<vboard::BoardServer>(o);
        window = std::make_unique<MainWindow>();
        window->setDialogs(&dialogs);
        QObject::connect(&window->engine(), &proto_Vorlen_v2::_transmit_data, [this](uint8_t* buf, uint32_t size) {
            sent.append(QByteArray(reinterpret_cast<const char*>(buf), static_cast<int>(size)));
        });
    }
    ~Bench() { window.reset(); }

    bool start()
    {
        if (!dir.isValid() || !server->start())
            return false;
        QComboBox* ports = combo("serialPortList_comboBox");
        ports->addItem(QStringLiteral("(") + server->linkPath() + QStringLiteral(")   RConf test"));
        ports->setCurrentIndex(ports->count() - 1);
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
    void click(const char* name) { widget<QAbstractButton>(name)->click(); }
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
    QString logText() const { return lines("log_Edit").join(QLatin1Char('\n')); }
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
    int sentCount(uint8_t code) const
    {
        int n = 0;
        for (const QByteArray& f : sent)
            n += FrameCodec::code(f) == code;
        return n;
    }

    bool idle() const { return !window->engine().isWaiting(); }
    bool isOpen() const { return button("serialPortAction_Button")->text() == QStringLiteral("Закрыть"); }
    // The status tab names a running program (not a placeholder).
    bool showsProgram() const
    {
        const QString mode = text("info_WorkMode_label");
        return mode.contains(QStringLiteral("Загрузчик")) || mode.contains(QStringLiteral("Основная программа"));
    }
    // Opens the port and waits for the status reply to be shown and answered.
    bool openAndWaitStatus()
    {
        click("serialPortAction_Button");
        return QTest::qWaitFor([this] { return showsProgram() && idle(); }, 10000);
    }
    bool startAndOpen() { return start() && openAndWaitStatus(); }
    // Clicks a button and waits until its request has been answered.
    bool clickAndWait(const char* name)
    {
        auto* b = widget<QAbstractButton>(name);
        if (!b->isEnabled())
            return false;
        b->click();
        return QTest::qWaitFor([this] { return idle(); }, 10000);
    }

    // Writes bytes to a file in the bench's folder and returns its path.
    QString writeFile(const QString& name, const QByteArray& data) const
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
            return QString();
        return path;
    }

    QTemporaryDir dir;
    std::unique_ptr<vboard::BoardServer> server;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    QList<QByteArray> sent;   // every frame the engine handed to the port
};

} // namespace bench
