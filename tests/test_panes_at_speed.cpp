#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QtTest>

#include "MainWindow.h"
#include "ScriptedDialogs.h"

// The log and exchange panes append in batches. Batching must not change
// what the user reads: the same lines, in the order they were logged, each
// stamped when it was logged, the latest 50,000 kept, nothing resurrected
// after a clear, nothing written while the log is hidden.
class TestPanesAtSpeed : public QObject
{
    Q_OBJECT
private slots:
    void burstKeepsLinesOrderAndStamps();
    void boundKeepsTheLatestLines();
    void clearHideAndTimedFlush();
    void hiddenPaneGetsItsLinesWhenShown();
};

namespace {

const QString kStamp = QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz ");

QPlainTextEdit* pane(MainWindow& w, const char* name)
{
    auto* p = w.findChild<QPlainTextEdit*>(QString::fromLatin1(name));
    if (!p)
        qFatal("no pane %s", name);
    return p;
}

QStringList lines(MainWindow& w, const char* name)
{
    w.flushPanes();
    const QString text = pane(w, name)->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// A clock that moves one millisecond per reading, so every line has its own stamp.
struct StepClock {
    QDateTime base = QDateTime(QDate(2024, 3, 14), QTime(23, 59, 59, 500));
    qint64 ticks = 0;
    QDateTime next() { return base.addMSecs(ticks++); }
    QString stampOfNext() const { return base.addMSecs(ticks).toString(kStamp); }
};

} // namespace

void TestPanesAtSpeed::burstKeepsLinesOrderAndStamps()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    StepClock clock;
    w.setClock([&clock] { return clock.next(); });
    w.on_logClear_Button_clicked();

    // More lines than one batch holds, with exchange lines in between, all
    // without the event loop running: the batches fill and flush by themselves.
    QStringList expectedLog, expectedExchange;
    for (int i = 0; i < 1234; ++i) {
        const QString text = QStringLiteral("Строка журнала № %1").arg(i);
        expectedLog << clock.stampOfNext() + text;
        w.log(text);
        if (i % 10 == 0) {
            uint8_t frame[] = {0xAA, 0x06, static_cast<uint8_t>(i & 0xFF)};
            expectedExchange << clock.stampOfNext() + QStringLiteral("Запрос :3 байт: aa 06 ") +
                                    QStringLiteral("%1").arg(i & 0xFF, 2, 16, QLatin1Char('0'));
            w.exchange(frame, 3, 1);
        }
    }
    uint8_t none = 0;
    expectedExchange << clock.stampOfNext() + QStringLiteral("Ответ :0 байт:");
    w.exchange(&none, 0, 0);

    // Time passes before the text is read: stamps stay those of the logging.
    clock.ticks += 3600 * 1000;
    QCOMPARE(lines(w, "log_Edit"), expectedLog);
    QCOMPARE(lines(w, "exchange_PlainText"), expectedExchange);
    // The burst crossed midnight: the date part follows the clock too.
    QVERIFY(expectedLog.first().startsWith(QStringLiteral("2024.03.14 23:59:59.500 ")));
    QVERIFY(expectedLog.last().startsWith(QStringLiteral("2024.03.15 00:00:00.")));
}

void TestPanesAtSpeed::boundKeepsTheLatestLines()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    StepClock clock;
    w.setClock([&clock] { return clock.next(); });
    w.on_logClear_Button_clicked();

    const int total = 50000 + 321;
    for (int i = 0; i < total; ++i) {
        w.log(QStringLiteral("L%1").arg(i));
        if (i % 7919 == 0)
            w.flushPanes();   // the program reads the text now and then in between
    }
    const QStringList kept = lines(w, "log_Edit");
    QCOMPARE(kept.size(), 50000);
    QVERIFY2(kept.first().endsWith(QStringLiteral(" L321")), qPrintable(kept.first()));
    QVERIFY2(kept.last().endsWith(QStringLiteral(" L50320")), qPrintable(kept.last()));
    for (int i = 0; i < kept.size(); i += 997)
        QVERIFY2(kept.at(i).endsWith(QStringLiteral(" L%1").arg(321 + i)), qPrintable(kept.at(i)));

    // The exchange pane has the same bound.
    uint8_t frame[] = {0xAA, 0x06, 0x00, 0x00, 0xC1, 0xFD};
    for (int i = 0; i < 50010; ++i)
        w.exchange(frame, sizeof frame, 1);
    const QStringList exchanged = lines(w, "exchange_PlainText");
    QCOMPARE(exchanged.size(), 50000);
    QVERIFY(exchanged.last().endsWith(QStringLiteral("Запрос :6 байт: aa 06 00 00 c1 fd")));
}

void TestPanesAtSpeed::clearHideAndTimedFlush()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    w.on_logClear_Button_clicked();

    // Lines still waiting for their batch are cleared with the pane.
    w.log(QStringLiteral("до очистки 1"));
    w.log(QStringLiteral("до очистки 2"));
    w.on_logClear_Button_clicked();
    w.log(QStringLiteral("после очистки"));
    QStringList now = lines(w, "log_Edit");
    QCOMPARE(now.size(), 1);
    QVERIFY(now.first().endsWith(QStringLiteral(" после очистки")));

    // With the log hidden nothing is written, not even later.
    auto* hide = w.findChild<QCheckBox*>(QStringLiteral("hideLog_checkBox"));
    QVERIFY(hide);
    hide->setChecked(true);
    w.log(QStringLiteral("скрытая строка"));
    uint8_t frame[] = {0xAA};
    w.exchange(frame, 1, 0);
    hide->setChecked(false);
    now = lines(w, "log_Edit");
    QCOMPARE(now.size(), 1);
    QVERIFY(lines(w, "exchange_PlainText").isEmpty());

    // A batch reaches the pane by itself shortly after, without anyone asking for the text.
    w.log(QStringLiteral("сама по себе"));
    QTRY_VERIFY_WITH_TIMEOUT(pane(w, "log_Edit")->toPlainText().endsWith(QStringLiteral(" сама по себе")), 5000);
}

// The exchange pane on the tab behind the log writes nothing until it is
// shown; then every line is there, in order.
void TestPanesAtSpeed::hiddenPaneGetsItsLinesWhenShown()
{
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.on_logClear_Button_clicked();
    QPlainTextEdit* exchange = pane(w, "exchange_PlainText");
    QVERIFY(!exchange->isVisible());
    QStringList expected;
    for (int i = 0; i < 2500; ++i) {
        uint8_t frame[] = {0xAA, static_cast<uint8_t>(i & 0xFF)};
        w.exchange(frame, sizeof frame, 1);
        expected << QStringLiteral("Запрос :2 байт: aa %1").arg(i & 0xFF, 2, 16, QLatin1Char('0'));
    }
    // A line for the log pane, written after it: its batch comes no sooner
    // than one the exchange pane would have had.
    w.log(QStringLiteral("после обмена"));
    QTRY_VERIFY(pane(w, "log_Edit")->toPlainText().endsWith(QStringLiteral("после обмена")));
    QVERIFY(exchange->toPlainText().isEmpty());
    w.findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentWidget(exchange->parentWidget());
    QTRY_COMPARE(exchange->document()->blockCount(), expected.size());
    const QStringList shown = exchange->toPlainText().split(QLatin1Char('\n'));
    for (int i = 0; i < shown.size(); i += 97)
        QVERIFY2(shown.at(i).endsWith(expected.at(i)), qPrintable(shown.at(i)));
}

QTEST_MAIN(TestPanesAtSpeed)
#include "test_panes_at_speed.moc"
