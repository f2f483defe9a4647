#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QScreen>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include "MainWindow.h"
#include "ScriptedDialogs.h"

// The window shell: start state, title, first log line, reference documents.
class TestWindowShell : public QObject
{
    Q_OBJECT
private slots:
    void startState();
    void referenceDocuments();
    void paintedFromKeptPictures_data();
    void paintedFromKeptPictures();
};

namespace {

template <typename T>
T* widget(MainWindow& w, const char* name)
{
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

// Counts the paints a widget receives.
class PaintCount : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

QStringList logLines(MainWindow& w)
{
    w.flushPanes();
    return widget<QPlainTextEdit>(w, "log_Edit")->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

void TestWindowShell::startState()
{
    MainWindow w;
    QCOMPARE(w.windowTitle(), QStringLiteral("RConf конфигуратор v0.005"));
    QCOMPARE(widget<QLabel>(w, "rconf_version_label")->text(), QStringLiteral("Текущая версия программы - v0.005"));

    // The port list's count is the first line, written before any connection exists.
    const QStringList lines = logLines(w);
    QVERIFY(!lines.isEmpty());
    const QRegularExpression first(
        QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3} Найдено: \\d+ свободн"));
    QVERIFY2(first.match(lines.first()).hasMatch(), qPrintable(lines.first()));

    auto* cmds = widget<QTabWidget>(w, "cmds");
    QVERIFY(!cmds->isEnabled());
    QCOMPARE(cmds->currentIndex(), 2);
    auto* coefTabs = widget<QTabWidget>(w, "userCalibration_coefTabs");
    for (int i = 0; i < 4; ++i)
        QVERIFY(!coefTabs->isTabEnabled(i));
    QVERIFY(!widget<QPushButton>(w, "stat_reset_button")->isEnabled());
    QVERIFY(!widget<QPushButton>(w, "bl_Program_Run_Button")->isEnabled());
    QCOMPARE(widget<QPushButton>(w, "serialPortAction_Button")->text(), QStringLiteral("Открыть"));
    auto* autoUpdate = widget<QCheckBox>(w, "autoUpdate_checkBox");
    QVERIFY(autoUpdate->isChecked() && !autoUpdate->isEnabled());
    QVERIFY(widget<QCheckBox>(w, "AutoReconnect_checkBox")->isChecked());
    QVERIFY(!widget<QCheckBox>(w, "hideLog_checkBox")->isChecked());
    QVERIFY(!w.serialLink().isOpen());
}

void TestWindowShell::referenceDocuments()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QFile notes(dir.filePath(QStringLiteral("RConf_releaseNotes.txt")));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.close();

    // The installed copies: the notes (the working directory's wins) and the guide.
    QTemporaryDir installed;
    for (const char* name : {"RConf_releaseNotes.txt", "RConf_Vorlen_Programming_Guide.txt"}) {
        QFile copy(installed.filePath(QLatin1String(name)));
        QVERIFY(copy.open(QIODevice::WriteOnly));
    }

    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    w.setReferenceDataDir(installed.path());
    widget<QTabWidget>(w, "cmds")->setEnabled(true); // as after opening a port
    // Present: opened with its program and the path in the working directory.
    QTest::mouseClick(widget<QPushButton>(w, "run_ReleaseNotesFile_button"), Qt::LeftButton);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.at(0).title, QStringLiteral("notepad"));
    QCOMPARE(dialogs.shown.at(0).text, QDir::currentPath() + QStringLiteral("/RConf_releaseNotes.txt"));
    // Missing in both places: nothing is started and the log names the working-directory path.
    QTest::mouseClick(widget<QPushButton>(w, "run_vorlen_Proto_File_button"), Qt::LeftButton);
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY(logLines(w).last().endsWith(
        QStringLiteral("Справочный документ не найден: ") + QDir::currentPath() + QStringLiteral("/Протокол Vorlen_v2.xlsx")));
    // Only installed: opened from the data directory.
    QTest::mouseClick(widget<QPushButton>(w, "run_vorlen_ProgrammingGuise_File_button"), Qt::LeftButton);
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown.at(1).text, installed.filePath(QStringLiteral("RConf_Vorlen_Programming_Guide.txt")));
    QDir::setCurrent(previous);
}

void TestWindowShell::paintedFromKeptPictures_data()
{
    QTest::addColumn<QString>("labelName");
    QTest::newRow("status") << "info_WorkMode_label";
    QTest::newRow("bootloader") << "bl_fwConf_sn_label";
    QTest::newRow("raw data") << "data_ADS_Temp_label";
}

// Group boxes drawn from their kept pictures look exactly as painted anew,
// before and after a label inside them changes.
void TestWindowShell::paintedFromKeptPictures()
{
    QFETCH(QString, labelName);
    QApplication::setCursorFlashTime(0);   // no blinking caret between two pictures
    MainWindow w;
    w.resize(1366, 690);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // No requests on a tab switch: each would still count in the status
    // bar's link health and change the window between two pictures.
    widget<QCheckBox>(w, "autoUpdate_checkBox")->setChecked(false);
    auto* label = widget<QLabel>(w, qPrintable(labelName));
    for (QWidget* page = label; page; page = page->parentWidget())
        if (auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget() ? page->parentWidget()->parentWidget() : nullptr))
            tabs->setCurrentWidget(page);
    QVERIFY(label->isVisible());
    PaintCount painted;
    w.installEventFilter(&painted);
    auto shown = [&w, &painted] {
        const int before = painted.count;
        w.update();   // painted when the window's paint pacing allows
        if (!QTest::qWaitFor([&] { return painted.count > before; }))
            return QImage();
        return w.screen()->grabWindow(w.winId()).toImage();
    };
    w.flushPanes();
    const QImage fresh = shown();
    const auto boxes = w.findChildren<QGroupBox*>();
    QTRY_VERIFY(std::all_of(boxes.begin(), boxes.end(), [](QGroupBox* b) {
        return !b->isVisible() || b->testAttribute(Qt::WA_OpaquePaintEvent);
    }));
    QCOMPARE(shown(), fresh);

    const QString before = label->text();
    label->setText(QStringLiteral("12345.678"));
    QVERIFY(shown() != fresh);
    label->setText(before);
    QCOMPARE(shown(), fresh);
}

QTEST_MAIN(TestWindowShell)
#include "test_window_shell.moc"
