#include <QCheckBox>
#include <QCryptographicHash>
#include <QGroupBox>
#include <QProxyStyle>
#include <QStackedWidget>

#include <algorithm>

#include "BoardBench.h"
#include "LogStamp.h"
#include "PortListText.h"

using bench::Bench;

// The window without a board: its form, slots and texts as it starts, the log
// and exchange panes, the reference documents, the kept group-box pictures.
class TestWindowShell : public QObject
{
    Q_OBJECT
private slots:
    void formSlotsAndTextsAtStart();
    void titleCountsAndStamps();
    void panesKeepOrderStampsAndBound();
    void referenceDocuments();
    void paintedFromKeptPictures_data();
    void paintedFromKeptPictures();
};

namespace {

// Simulators running on this machine must not reach the port list.
const QTemporaryDir runtimeDir;
const bool isolated = qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
const QString kStamp = QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz ");

// Widgets the form placed, in the central widget, its group boxes and tab pages.
QList<QWidget*> formWidgets(QWidget* root)
{
    QList<QWidget*> out;
    for (QWidget* w : root->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const bool part = w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"));
        if (!part)
            out << w;
        if (part ? w->objectName().startsWith(QLatin1String("qt_tabwidget_stack"))
                 : qobject_cast<QGroupBox*>(w) || qobject_cast<QTabWidget*>(w) || qobject_cast<QStackedWidget*>(root))
            out << formWidgets(w);
    }
    return out;
}

// Class, name, parent, place, own state, texts and settings of one widget.
QString describe(QWidget* w)
{
    QStringList d{QLatin1String(w->metaObject()->className()), w->objectName(), w->parentWidget()->objectName()};
    if (!qobject_cast<QStackedWidget*>(w->parentWidget()))   // a page takes its tab widget's size
        d << QStringLiteral("%1,%2 %3x%4").arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height());
    d << QString::number(!w->testAttribute(Qt::WA_ForceDisabled)) + QString::number(w->isHidden());
    for (const char* p : {"text", "title", "toolTip", "checkable", "checked", "wordWrap", "currentIndex", "editable",
                          "insertPolicy", "minimum", "maximum", "value", "decimals", "readOnly", "displayFormat",
                          "rowCount", "columnCount"})
        if (w->property(p).isValid() && !(p == QByteArray("text") && qobject_cast<QAbstractSpinBox*>(w)))
            d << QLatin1String(p) + QLatin1Char('=') + w->property(p).toString();
    auto* combo = qobject_cast<QComboBox*>(w);   // the port list is the machine's
    for (int i = 0; combo && i < combo->count() && w->objectName() != QLatin1String("serialPortList_comboBox"); ++i)
        d << combo->itemText(i);
    auto* tabs = qobject_cast<QTabWidget*>(w);
    for (int i = 0; tabs && i < tabs->count(); ++i)
        d << tabs->widget(i)->objectName() + QLatin1Char(':') + tabs->tabText(i) + QString::number(tabs->isTabEnabled(i));
    if (w->testAttribute(Qt::WA_SetPalette))
        d << w->palette().color(QPalette::Button).name() + w->palette().color(QPalette::Disabled, QPalette::Button).name();
    return d.join(QLatin1Char('|'));
}

// Whether `w` shows its whole text: a push button's style margins may shrink, a wrapped label grows down.
bool fits(QWidget* w)
{
    QSize need = qobject_cast<QLabel*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractButton*>(w) ? w->sizeHint() : QSize();
    if (auto* push = qobject_cast<QPushButton*>(w))
        need = QSize(push->fontMetrics().horizontalAdvance(push->text()) + 12, push->fontMetrics().height() + 4);
    if (qobject_cast<QLabel*>(w) && static_cast<QLabel*>(w)->wordWrap())
        need = QSize(0, w->heightForWidth(w->width()));
    return need.width() <= w->width() && need.height() <= w->height();
}

// Counts a group box's own paintings; one drawn from its kept picture is not one.
struct CountingStyle : QProxyStyle {
    void drawComplexControl(ComplexControl cc, const QStyleOptionComplex* o, QPainter* p, const QWidget* w) const override
    {
        paintings += cc == CC_GroupBox;
        QProxyStyle::drawComplexControl(cc, o, p, w);
    }
    mutable int paintings = 0;
};

// The largest difference of one colour channel between two pictures.
int differs(const QImage& a, const QImage& b)
{
    int most = a.size() == b.size() ? 0 : 255;
    for (int y = 0; y < a.height() && most < 255; ++y)
        for (int x = 0; x < a.width(); ++x)
            most = std::max({most, qAbs(qRed(a.pixel(x, y)) - qRed(b.pixel(x, y))),
                             qAbs(qGreen(a.pixel(x, y)) - qGreen(b.pixel(x, y))), qAbs(qBlue(a.pixel(x, y)) - qBlue(b.pixel(x, y)))});
    return most;
}
// Antialiased frame edges drawn from a kept picture may differ by a few levels.
constexpr int kEdgeBlend = 8;

} // namespace

void TestWindowShell::formSlotsAndTextsAtStart()
{
    static QStringList messages;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) { messages << m; });
    Bench b;
    qInstallMessageHandler(previous);
    // Only the two slots without a widget of their name stay unconnected.
    const QString prefix = QStringLiteral("QMetaObject::connectSlotsByName: No matching signal for ");
    QStringList unmatched = messages.filter(prefix).replaceInStrings(prefix, QString());
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 has no activated(QString): the window connects those slots to textActivated itself.
    unmatched = unmatched.filter(QRegularExpression(QStringLiteral("^(?!.*_activated\\(QString\\))")));
#endif
    QCOMPARE(unmatched, QStringList({"on_serialPortOpen_Button_clicked()", "on_data_WriteControl_button_clicked()"}));
    // Every widget and, in their fixed order, the slots that tools and by-name connections rely on.
    QVERIFY(isolated);
    b.combo("serialPortList_comboBox")->clear();
    QWidget* central = b.window->centralWidget();
    QStringList listing;
    for (QWidget* x : formWidgets(central))
        listing << describe(x);
    const QMetaObject& mo = MainWindow::staticMetaObject;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
        listing << QStringLiteral("method %1 %2 %3%4").arg(i - mo.methodOffset(), 2, 10, QLatin1Char('0'))
                       .arg(QLatin1String(mo.method(i).methodSignature())).arg(mo.method(i).methodType()).arg(mo.method(i).access());
    listing.sort();
    // Qt 6 lays out and lists some widgets differently, so each has its own digest.
    const char* kFormDigest = QT_VERSION >= QT_VERSION_CHECK(6, 0, 0) ? "62514a7e64ad4e7fcd5b7d6cb77cc96c2ff18d4a"
                                                                     : "9a7c11b19639838bf1c62e67d6a8b416ff99c799";
    const QByteArray digest = QCryptographicHash::hash(listing.join('\n').toUtf8(), QCryptographicHash::Sha1).toHex();
    for (int i = 0; i < listing.size() && digest != kFormDigest; ++i)
        qInfo("%s", qPrintable(listing[i]));   // compare with the listing before the change
    QCOMPARE(digest, QByteArray(kFormDigest));

    // Shown maximised on a 1366x768 screen, it fits, and so do its texts, the longest later ones too.
    b.window->resize(1366, 690);
    b.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(b.window.get()));
    for (const auto& t : QList<QPair<const char*, QString>>{
             {"info_WorkMode_label", "<font color = 'green'>Основная программа фотоколориметра</font>"},
             {"info_bl_vers_Label", "<font color = 'blue'>Версия загрузчика: </font>15.15"},
             {"info_atMode_Label", "<font color = 'red'>включен, данные BLE транслируеются в USB</font>"},
             {"info_Errors", "<font color = 'red'>Ошибка программного обеспечения. Неподдерживаемая версия платы</font>"},
             {"info_PageAvailable_label", "255 страниц памяти по 1024 байта доступно (261120 байт)"},
             {"bl_fwConf_status_label", "Ошибка. Данные недостоверны"},
             {"archive_CurrentStatus_label", "Загрузка архива из энергонезависимой памяти"},
             {"data_Accel_devStatus_label", "<font color = 'red'>Отключен. Исчерпаны попытки</font>"},
             {"exchange_Press_Pressure_label", "<font color = 'green'>-1234567.50 мБар</font>"}})
        b.widget<QLabel>(t.first)->setText(t.second);
    b.combo("hwConfig_devType_ComboBox")->addItem(QStringLiteral("100. Мультидатчик - фотоколориметр"));
    QStringList cut;
    QRect used;
    for (QWidget* x : formWidgets(central)) {
        if (!fits(x))
            cut << x->objectName();
        if (x->parentWidget() == central)
            used |= x->geometry();
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char(' '))));
    QVERIFY(used.right() < 1366 && used.bottom() < 640 && central->rect().contains(used));
}

void TestWindowShell::titleCountsAndStamps()
{
    qputenv("TZ", "Europe/Berlin");   // a zone with summer time, whatever the machine's
    Bench b;
    QCOMPARE(b.window->windowTitle(), QStringLiteral("RConf конфигуратор v0.005"));
    // The port count is the first line, stamped with the local time; its plural follows the last digit.
    const QString first = b.lines("log_Edit").value(0);
    QCOMPARE(first.left(24), QDateTime::fromString(first.left(23), kStamp.trimmed()).toString(kStamp));
    QCOMPARE(first.mid(24), portCountText(b.combo("serialPortList_comboBox")->count()));
    for (const char* count : {"0 свободных портов", "1 свободный порт", "2 свободных порта", "4 свободных порта",
                              "5 свободных портов", "11 свободный порт", "12 свободных порта", "21 свободный порт"})
        QCOMPARE(portCountText(QString::fromUtf8(count).section(' ', 0, 0).toInt()), "Найдено: " + QString::fromUtf8(count));
    // System-clock stamps read as local time: before 1970, at midnight, over the summer-time change, a new year.
    LogStamp stamp;
    for (qint64 ms : {-86400001LL, -1LL, 0LL, 59999LL, 60000LL, 1711846799999LL, 1711846800000LL, 1711846800001LL,
                      1711933199999LL, 1711933200000LL, 1735689599999LL, 1735689600000LL, 1735693200456LL})
        QCOMPARE(stamp.at(ms), QDateTime::fromMSecsSinceEpoch(ms).toString(kStamp));
}

void TestWindowShell::panesKeepOrderStampsAndBound()
{
    Bench b;
    // A clock that moves one millisecond per reading: every line has its own stamp.
    qint64 ticks = 0;
    const QDateTime base(QDate(2024, 3, 14), QTime(23, 59, 59, 500));
    b.window->setClock([&] { return base.addMSecs(ticks++); });
    b.click("logClear_Button");
    // More lines than a batch holds, with exchange lines between them, and no turn of the event loop.
    QStringList log, exchanged;
    for (int i = 0; i < 2345; ++i) {
        log << base.addMSecs(ticks).toString(kStamp) + QStringLiteral("Строка № %1").arg(i);
        b.window->log(QStringLiteral("Строка № %1").arg(i));
        uint8_t frame[] = {0xAA, 0x06, uint8_t(i), 0x0F};
        exchanged << base.addMSecs(ticks).toString(kStamp) + QStringLiteral("Запрос :4 байт: aa 06 %1 0f").arg(i & 0xFF, 2, 16, QLatin1Char('0'));
        b.window->exchange(frame, 4, 1);
    }
    exchanged << base.addMSecs(ticks).toString(kStamp) + QStringLiteral("Ответ :0 байт:");
    b.window->exchange(nullptr, 0, 0);
    ticks += 3600 * 1000;   // read later: the stamps stay those of the logging
    QCOMPARE(b.lines("log_Edit"), log);
    QCOMPARE(b.lines("exchange_PlainText"), exchanged);

    // Only the latest 50,000 lines are kept, also when the text is read in between.
    for (int i = 0; i < 50321; ++i) {
        b.window->log(QStringLiteral("L%1").arg(i));
        if (i % 7919 == 0)
            b.window->flushPanes();
    }
    const QStringList kept = b.lines("log_Edit");
    QCOMPARE(kept.size(), 50000);
    for (int i = 0; i < kept.size(); i += 4999)
        QVERIFY2(kept.at(i).endsWith(QStringLiteral(" L%1").arg(321 + i)), qPrintable(kept.at(i)));
    QVERIFY(kept.last().endsWith(QStringLiteral(" L50320")));
    // A clear takes the lines still waiting for their batch, and the AT console's.
    b.widget<QPlainTextEdit>("atCmd_Log_plainTextEdit")->setPlainText(QStringLiteral("OK"));
    b.window->log(QStringLiteral("ещё не записано"));
    b.click("logClear_Button");
    QVERIFY(b.widget<QPlainTextEdit>("atCmd_Log_plainTextEdit")->toPlainText().isEmpty());
    // Hidden: nothing is written, not even later.
    b.widget<QCheckBox>("hideLog_checkBox")->setChecked(true);
    b.window->log(QStringLiteral("скрытая строка"));
    b.window->exchange(nullptr, 0, 0);
    b.widget<QCheckBox>("hideLog_checkBox")->setChecked(false);
    QCOMPARE(b.lines("log_Edit") + b.lines("exchange_PlainText"), QStringList({QString(), QString()}));
    // A batch reaches the pane by itself, without anyone asking for the text.
    b.window->log(QStringLiteral("сама по себе"));
    QTRY_VERIFY(b.widget<QPlainTextEdit>("log_Edit")->toPlainText().endsWith(QStringLiteral(" сама по себе")));
}

void TestWindowShell::referenceDocuments()
{
    QTemporaryDir work, installed;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    // The notes in both places (the working directory's win), the guide only installed, the protocol nowhere.
    for (const QString& path : {work.filePath("RConf_releaseNotes.txt"), installed.filePath("RConf_releaseNotes.txt"),
                                installed.filePath("RConf_Vorlen_Programming_Guide.txt")})
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    Bench b;
    b.window->setReferenceDataDir(installed.path());
    b.tabs("cmds")->setEnabled(true);   // as after opening a port
    for (const char* button : {"run_ReleaseNotesFile_button", "run_vorlen_Proto_File_button", "run_vorlen_ProgrammingGuise_File_button"})
        QTest::mouseClick(b.widget(button), Qt::LeftButton);
    QStringList opened;
    for (const auto& shown : b.dialogs.shown)
        opened << shown.title + QLatin1Char(' ') + shown.text;
    QCOMPARE(opened, QStringList({"notepad " + QDir::currentPath() + "/RConf_releaseNotes.txt",
                                  "notepad " + installed.filePath("RConf_Vorlen_Programming_Guide.txt")}));
    QVERIFY(b.lines("log_Edit").last().endsWith("Справочный документ не найден: " + QDir::currentPath() + "/Протокол Vorlen_v2.xlsx"));
    QDir::setCurrent(previous);
}

void TestWindowShell::paintedFromKeptPictures_data()
{
    QTest::addColumn<QString>("labelName");
    QTest::newRow("status") << "info_WorkMode_label";
    QTest::newRow("bootloader") << "bl_fwConf_sn_label";
    QTest::newRow("raw data") << "data_ADS_Temp_label";
}

// Group boxes drawn from their kept pictures look as painted anew, before and after a label in them changes.
void TestWindowShell::paintedFromKeptPictures()
{
    QFETCH(QString, labelName);
    QApplication::setCursorFlashTime(0);   // no blinking caret between two pictures
    CountingStyle style;
    Bench b;
    MainWindow& w = *b.window;
    auto* label = b.widget<QLabel>(qPrintable(labelName));
    label->parentWidget()->setStyle(&style);
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);   // no request, no log line meanwhile
    for (QWidget* page = label; page->parentWidget(); page = page->parentWidget())
        if (qobject_cast<QStackedWidget*>(page->parentWidget()))
            qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget())->setCurrentWidget(page);
    w.resize(1366, 690);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage fresh = w.grab().toImage();
    // Once the window is quiet the box keeps a picture of itself, and is then drawn from it.
    int seen = style.paintings;
    bool fromPicture = false;
    QTRY_VERIFY([&] {
        if (style.paintings != seen) {   // a picture made, or a paint of the window's own
            seen = style.paintings;
            w.grab();
            fromPicture = std::exchange(seen, style.paintings) == style.paintings;
        }
        return fromPicture;
    }());
    QVERIFY(differs(w.grab().toImage(), fresh) <= kEdgeBlend);
    const QString before = label->text();
    label->setText(QStringLiteral("12345.678"));
    QVERIFY(differs(w.grab().toImage(), fresh) > kEdgeBlend);
    label->setText(before);
    QVERIFY(differs(w.grab().toImage(), fresh) <= kEdgeBlend);
}

QTEST_MAIN(TestWindowShell)
#include "test_window_shell.moc"
