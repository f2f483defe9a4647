#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

#include <functional>

#include "LittleEndian.h"
#include "views_d_fixture.h"

using namespace viewsd;

// AT commands reach the BLE module through the board: the request payload on
// the wire, the console's echo and answer lines, and refusal of texts that
// do not fit the board's buffer.
class TestAtConsole : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void payloadsOnTheWire();
    void answersFromTheModule();
    void answerLineBreaksStay();
    void overLongTextsRefused();

private:
    QPlainTextEdit* pane() { return f->widget<QPlainTextEdit>("atCmd_Log_plainTextEdit"); }
    std::unique_ptr<BoardWindow> f;
};

void TestAtConsole::init()
{
    f = std::make_unique<BoardWindow>(vboard::BoardType::Physics, vboard::Program::Bootloader);
}

void TestAtConsole::cleanup()
{
    f.reset();
}

void TestAtConsole::payloadsOnTheWire()
{
    QVERIFY(f->open(0));
    auto* speed = f->widget<QComboBox>("atCmd_speed_comboBox");
    auto* baud = f->widget<QComboBox>("atCmd_SetSpeed_comboBox");
    auto* name = f->widget<QLineEdit>("atCmd_newName_lineEdit");
    auto* hand = f->widget<QLineEdit>("atCmd_HandText_lineEdit");
    QVERIFY(speed && baud && name && hand && pane());
    QCOMPARE(name->text(), QStringLiteral("Ruvo_Name"));

    struct Case {
        const char* button;
        std::function<void()> setup;
        QByteArray payload;   // as it must reach the board
        QString echo;         // the console line
    };
    const QString nul(QChar(0));
    const QList<Case> cases = {
        {"atCmd_AT_Send_pushButton", [&] { speed->setCurrentIndex(0); }, hex("80 25 00 00 41 54 0D 0A"),
         QStringLiteral("> AT")},
        {"atCmd_NAME_Send_pushButton", [] {}, hex("80 25 00 00") + "AT+NAME?\r\n", QStringLiteral("> AT+NAME?")},
        {"atCmd_VERS_Send_pushButton", [] {}, hex("80 25 00 00") + "AT+VERS?\r\n", QStringLiteral("> AT+VERS?")},
        {"atCmd_ATBaud_Send_pushButton", [] {}, hex("80 25 00 00") + "AT+BAUD?\r\n", QStringLiteral("> AT+BAUD?")},
        {"atCmd_RESET_Send_pushButton", [] {}, hex("80 25 00 00") + "AT+RESET\r\n", QStringLiteral("> AT+RESET")},
        {"atCmd_RENEW_Send_pushButton", [] {}, hex("80 25 00 00") + "AT+RENEW\r\n", QStringLiteral("> AT+RENEW")},
        // Any typed speed is taken as a number; text that is not one gives 0.
        {"atCmd_AT_Send_pushButton", [&] { speed->setEditText(QStringLiteral("abc")); },
         hex("00 00 00 00 41 54 0D 0A"), QStringLiteral("> AT")},
        {"atCmd_AT_Send_pushButton", [&] { speed->setCurrentIndex(4); }, hex("00 C2 01 00 41 54 0D 0A"),
         QStringLiteral("> AT")},
        {"atCmd_AT_Send_pushButton", [&] { speed->setEditText(QStringLiteral("-9600")); },
         hex("00 00 00 00 41 54 0D 0A"), QStringLiteral("> AT")},
        // Characters outside Latin-1 travel as 0 bytes.
        {"atCmd_AT_SetName_pushButton",
         [&] {
             speed->setCurrentIndex(0);
             name->setText(QStringLiteral("Лаб1"));
         },
         hex("80 25 00 00") + "AT+NAME" + hex("00 00 00") + "1\r\n", QStringLiteral("> AT+NAME") + nul + nul + nul + "1"},
        {"atCmd_AT_SetName_pushButton", [&] { name->clear(); }, hex("80 25 00 00") + "AT+NAME\r\n",
         QStringLiteral("> AT+NAME")},
        {"atCmd_sendHandCmd_pushButton", [&] { hand->setText(QStringLiteral("AT+PIN?")); },
         hex("80 25 00 00") + "AT+PIN?\r\n", QStringLiteral("> AT+PIN?")},
        {"atCmd_sendHandCmd_pushButton", [&] { hand->setText(QString::fromLatin1("caf\xe9")); },
         hex("80 25 00 00 63 61 66 E9 0D 0A"), QString::fromLatin1("> caf\xe9")},
        {"atCmd_sendHandCmd_pushButton", [&] { hand->clear(); }, hex("80 25 00 00 0D 0A"), QStringLiteral("> ")},
        // Module speed codes: the fifth item is 115200 (code 4), the last 230400 (code 8).
        {"atCmd_AT_SetSpeed_pushButton", [&] { baud->setCurrentIndex(0); }, hex("80 25 00 00") + "AT+BAUD0\r\n",
         QStringLiteral("> AT+BAUD0")},
        {"atCmd_AT_SetSpeed_pushButton", [&] { baud->setCurrentIndex(4); }, hex("80 25 00 00") + "AT+BAUD4\r\n",
         QStringLiteral("> AT+BAUD4")},
        {"atCmd_AT_SetSpeed_pushButton", [&] { baud->setCurrentIndex(5); }, hex("80 25 00 00") + "AT+BAUD8\r\n",
         QStringLiteral("> AT+BAUD8")},
    };

    for (const Case& c : cases) {
        c.setup();
        f->server->clearRequests();
        QVERIFY2(f->clickAndWait(c.button), c.button);
        QVERIFY2(waitFor([&] { return !f->requests(rec::cmd::bleAtCmd).isEmpty(); }), c.button);
        const QByteArray frame = f->requests(rec::cmd::bleAtCmd).first();
        QCOMPARE(payloadOf(frame).toHex(' '), c.payload.toHex(' '));
        QCOMPARE(le::u16(reinterpret_cast<const uint8_t*>(frame.constData()) + 1), uint16_t(c.payload.size() + 6));
        // The echo is written at once and shows no CR LF.
        QVERIFY2(pane()->toPlainText().contains(c.echo), c.button);
    }
}

void TestAtConsole::answersFromTheModule()
{
    QVERIFY(f->open(0));
    f->widget<QComboBox>("atCmd_speed_comboBox")->setCurrentIndex(0);

    QVERIFY(f->clickAndWait("atCmd_VERS_Send_pushButton"));
    QTRY_VERIFY_WITH_TIMEOUT(pane()->toPlainText().contains(QStringLiteral("< HMSoft V540")), 8000);
    QCOMPARE(f->server->board().lastAtSpeed(), 9600u);

    // The name set through the console is what the module reports afterwards.
    f->widget<QLineEdit>("atCmd_newName_lineEdit")->setText(QStringLiteral("Lab_42"));
    QVERIFY(f->clickAndWait("atCmd_AT_SetName_pushButton"));
    QTRY_COMPARE_WITH_TIMEOUT(f->server->board().bleName(), QStringLiteral("Lab_42"), 8000);

    f->widget<QComboBox>("atCmd_speed_comboBox")->setEditText(QStringLiteral("19200"));
    const int before = pane()->toPlainText().count(QStringLiteral("< "));
    QVERIFY(f->clickAndWait("atCmd_NAME_Send_pushButton"));
    QTRY_VERIFY_WITH_TIMEOUT(pane()->toPlainText().count(QStringLiteral("< ")) > before, 8000);
    const QString text = pane()->toPlainText();
    QVERIFY2(text.mid(text.lastIndexOf(QStringLiteral("< "))).contains(QStringLiteral("Lab_42")), qPrintable(text));
    QCOMPARE(f->server->board().lastAtSpeed(), 19200u);

    // The AT pane keeps its lines when the log panes are hidden.
    f->widget<QAbstractButton>("hideLog_checkBox")->click();
    QVERIFY(f->clickAndWait("atCmd_AT_Send_pushButton"));
    QTRY_VERIFY_WITH_TIMEOUT(pane()->toPlainText().mid(pane()->toPlainText().lastIndexOf(QStringLiteral("> AT\n")))
                                 .contains(QStringLiteral("\n< ")),
                             8000);
}

// A reply made here, fed to the engine of a window with no port: the module's
// CR LF breaks the line where it stands; an acknowledgement adds nothing.
void TestAtConsole::answerLineBreaksStay()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    auto* atPane = w.findChild<QPlainTextEdit*>(QStringLiteral("atCmd_Log_plainTextEdit"));
    QVERIFY(atPane);

    auto reply = [](const QByteArray& payload) { return wireFrame(rec::cmd::bleAtCmd, payload); };
    auto feed = [&](const QByteArray& frame) {
        QByteArray copy = frame;
        w.engine().parseReceived(reinterpret_cast<uint8_t*>(copy.data()), static_cast<uint32_t>(copy.size()));
    };

    QVERIFY(QMetaObject::invokeMethod(&w, "on_atCmd_AT_Send_pushButton_clicked"));
    QCOMPARE(atPane->toPlainText(), QStringLiteral("> AT"));
    feed(reply(hex("80 25 00 00") + "OK\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(atPane->toPlainText(), QStringLiteral("> AT\n< OK\n"), 5000);

    QVERIFY(QMetaObject::invokeMethod(&w, "on_atCmd_RENEW_Send_pushButton_clicked"));
    feed(reply(hex("80 25 00 00") + "OK+Get:0\r\nOK" + hex("E9")));
    QTRY_COMPARE_WITH_TIMEOUT(atPane->toPlainText(),
                              QStringLiteral("> AT\n< OK\n\n> AT+RENEW\n< OK+Get:0\nOK") + QChar(0xE9), 5000);

    // Acknowledgement only (no answer text): nothing is added.
    const QString before = atPane->toPlainText();
    QVERIFY(QMetaObject::invokeMethod(&w, "on_atCmd_AT_Send_pushButton_clicked"));
    feed(reply(QByteArray()));
    QTRY_VERIFY_WITH_TIMEOUT(!w.engine().isWaiting(), 5000);
    QCOMPARE(atPane->toPlainText(), before + QStringLiteral("\n> AT"));
}

void TestAtConsole::overLongTextsRefused()
{
    QVERIFY(f->open(0));
    f->widget<QComboBox>("atCmd_speed_comboBox")->setCurrentIndex(0);
    auto* name = f->widget<QLineEdit>("atCmd_newName_lineEdit");
    auto* hand = f->widget<QLineEdit>("atCmd_HandText_lineEdit");

    struct Refusal {
        const char* button;
        QLineEdit* edit;
        QString text;
        QString limit;
    };
    const QList<Refusal> refusals = {
        {"atCmd_AT_SetName_pushButton", name, QString(250, QLatin1Char('n')), QStringLiteral("249")},
        {"atCmd_AT_SetName_pushButton", name, QString(1000, QChar(0x0416)), QStringLiteral("249")},
        {"atCmd_sendHandCmd_pushButton", hand, QString(257, QLatin1Char('h')), QStringLiteral("256")},
        {"atCmd_sendHandCmd_pushButton", hand, QString(5000, QLatin1Char('h')), QStringLiteral("256")},
    };
    for (const Refusal& r : refusals) {
        r.edit->setText(r.text);
        const QString paneBefore = pane()->toPlainText();
        const int sentBefore = f->sentCount(rec::cmd::bleAtCmd);
        const int shownBefore = f->dialogs.shown.size();
        f->widget<QAbstractButton>(r.button)->click();
        QCOMPARE(f->sentCount(rec::cmd::bleAtCmd), sentBefore);
        QCOMPARE(pane()->toPlainText(), paneBefore);
        QCOMPARE(f->dialogs.shown.size(), shownBefore + 1);
        const ScriptedDialogs::Shown& shown = f->dialogs.shown.last();
        QCOMPARE(shown.kind, QStringLiteral("warning"));
        QCOMPARE(shown.title, QStringLiteral("Ошибка"));
        QVERIFY2(shown.text.contains(r.limit) && shown.text.contains(QStringLiteral("не отправлена")),
                 qPrintable(shown.text));
    }
    QVERIFY(f->idle());

    // The longest texts that fit go out whole.
    name->setText(QString(249, QLatin1Char('n')));
    f->server->clearRequests();
    QVERIFY(f->clickAndWait("atCmd_AT_SetName_pushButton"));
    QVERIFY(waitFor([&] { return !f->requests(rec::cmd::bleAtCmd).isEmpty(); }));
    QCOMPARE(payloadOf(f->requests(rec::cmd::bleAtCmd).first()),
             hex("80 25 00 00") + "AT+NAME" + QByteArray(249, 'n') + "\r\n");

    hand->setText(QString(256, QLatin1Char('h')));
    f->server->clearRequests();
    QVERIFY(f->clickAndWait("atCmd_sendHandCmd_pushButton"));
    QVERIFY(waitFor([&] { return !f->requests(rec::cmd::bleAtCmd).isEmpty(); }));
    QCOMPARE(payloadOf(f->requests(rec::cmd::bleAtCmd).first()), hex("80 25 00 00") + QByteArray(256, 'h') + "\r\n");
    QVERIFY(pane()->toPlainText().contains(QStringLiteral("> ") + QString(256, QLatin1Char('h'))));
}

QTEST_MAIN(TestAtConsole)
#include "test_at_console.moc"
