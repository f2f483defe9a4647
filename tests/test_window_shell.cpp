#include <QtTest>

#include "MainWindow.h"

// Window shell checks; the form's full widget table lives in test_form.
class TestWindowShell : public QObject
{
    Q_OBJECT
private slots:
    void titleAndVersion();
};

void TestWindowShell::titleAndVersion()
{
    MainWindow w;
    QCOMPARE(w.windowTitle(), QStringLiteral("RConf конфигуратор v0.005"));
}

QTEST_MAIN(TestWindowShell)
#include "test_window_shell.moc"
