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

// The window: form, slots and texts at start, panes, reference documents, kept group-box pictures, status page.
class TestWindowShell : public QObject
{
    Q_OBJECT
private slots:
    void firstLineFormAndLayout();
    void panesKeepOrderStampsAndBound();
    void referenceDocuments();
    void paintedFromKeptPictures();
    void statusShowsProgramAndType_data();
    void statusShowsProgramAndType();
    void statusTexts();
    void tabSwitchesAndGate();
};

namespace {

// No simulator running on this machine reaches the port list; stamps are checked in a zone with summer time.
const QTemporaryDir runtimeDir;
[[maybe_unused]] const bool isolated = qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path())) && qputenv("TZ", "Europe/Berlin");
const QString kStamp = QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz ");

// Widgets the form placed in the central widget, its group boxes and tab pages (not parts of compound widgets).
QList<QWidget*> formWidgets(QWidget* central)
{
    QList<QWidget*> out;
    for (QWidget* w : central->findChildren<QWidget*>()) {
        QWidget* p = w->parentWidget();
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")) &&
            (p == central || qobject_cast<QGroupBox*>(p) || qobject_cast<QStackedWidget*>(p) ||
             qobject_cast<QStackedWidget*>(p->parentWidget())))
            out << w;
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
constexpr int kEdgeBlend = 8;   // antialiased frame edges from a kept picture may differ by a few levels

// A status reply: program, flag bytes, free pages, BLE bridge, type, error, loader version 1.11.
void feed(Bench& b, int mode, int type, int error = 0, int fw = 1, int hw = 1, int ble = 0, int pages = 0)
{
    feedReply(b.window->engine(), rec::cmd::getInfo, bytes({mode, fw, hw, 0, pages, ble, type, error, 0x1B}));
}

QString font(const char* color, const QString& text)
{
    return QStringLiteral("<font color = '%1'>%2</font>").arg(QLatin1String(color), text);
}

// Which tabs are usable, as 0 and 1 (with the port closed, the views' own settings below cmds).
QString usable(const QTabWidget* tabs)
{
    QString s;
    for (int i = 0; i < tabs->count(); ++i)
        s += QLatin1Char(tabs->isTabEnabled(i) ? '1' : '0');
    return s;
}

const QString kLabLoader = font("blue", "Загрузчик Ворлен"), kLabMain = font("green", "Основная программа Ворлен");
const QString kPcMain = font("green", "Основная программа фотоколориметра"), kUnknown = font("red", "неизвестный тип");
const QString kNotSet = font("red", "не установлено"), kPc = font("green", "Фотоколориметр");

} // namespace

void TestWindowShell::firstLineFormAndLayout()
{
    Bench b;
    QCOMPARE(b.window->windowTitle(), QStringLiteral("RConf конфигуратор v0.005"));
    // The port count is the first line, stamped with the local time; its plural follows the last digit.
    const QString first = b.lines("log_Edit").value(0);
    QCOMPARE(first.left(24), QDateTime::fromString(first.left(23), kStamp.trimmed()).toString(kStamp));
    QCOMPARE(first.mid(24), portCountText(b.combo("serialPortList_comboBox")->count()));
    for (const char* count : {"0 свободных портов", "1 свободный порт", "2 свободных порта", "4 свободных порта",
                              "5 свободных портов", "11 свободный порт", "12 свободных порта", "21 свободный порт"})
        QCOMPARE(portCountText(QString::fromUtf8(count).section(' ', 0, 0).toInt()), "Найдено: " + QString::fromUtf8(count));
    // Stamps from the system clock read as local time: before 1970, at midnight, over the summer-time change, a new year.
    LogStamp stamp;
    for (qint64 ms : {-86400001LL, -1LL, 0LL, 59999LL, 60000LL, 1711846799999LL, 1711846800000LL, 1711846800001LL,
                      1711933199999LL, 1711933200000LL, 1735689599999LL, 1735689600000LL, 1735693200456LL})
        QCOMPARE(stamp.at(ms), QDateTime::fromMSecsSinceEpoch(ms).toString(kStamp));
    // Every widget and, in their fixed order, the slots that tools and by-name connections rely on.
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
             {"info_atMode_Label", "<font color = 'red'>включен, данные BLE транслируеются в USB</font>"},
             {"info_Errors", "<font color = 'red'>Ошибка программного обеспечения. Неподдерживаемая версия платы</font>"},
             {"data_Accel_devStatus_label", "<font color = 'red'>Отключен. Исчерпаны попытки</font>"}})
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

void TestWindowShell::panesKeepOrderStampsAndBound()
{
    Bench b;
    qint64 ticks = 0;   // a clock moving one millisecond per reading: every line has its own stamp
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
    QVERIFY(kept.first().endsWith(QStringLiteral(" L321")) && kept.last().endsWith(QStringLiteral(" L50320")));
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

// Group boxes drawn from their kept pictures look as painted anew, before and after a label in them changes.
void TestWindowShell::paintedFromKeptPictures()
{
    QApplication::setCursorFlashTime(0);   // no blinking caret between two pictures
    for (const char* name : {"info_WorkMode_label", "bl_fwConf_sn_label", "data_ADS_Temp_label"}) {
        CountingStyle style;
        Bench b;
        auto* label = b.widget<QLabel>(name);
        label->parentWidget()->setStyle(&style);
        b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);   // no request, no log line meanwhile
        for (QWidget* page = label; page->parentWidget(); page = page->parentWidget())
            if (qobject_cast<QStackedWidget*>(page->parentWidget()))
                qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget())->setCurrentWidget(page);
        b.window->resize(1366, 690);
        b.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.window.get()));
        const QImage fresh = b.window->grab().toImage();
        // Once the window is quiet the box keeps a picture of itself, and is then drawn from it.
        int seen = style.paintings;
        bool fromPicture = false;
        QTRY_VERIFY([&] {
            if (style.paintings != seen) {   // a picture made, or a paint of the window's own
                seen = style.paintings;
                b.window->grab();
                fromPicture = std::exchange(seen, style.paintings) == style.paintings;
            }
            return fromPicture;
        }());
        QVERIFY(differs(b.window->grab().toImage(), fresh) <= kEdgeBlend);
        const QString before = label->text();
        label->setText(QStringLiteral("12345.678"));
        QVERIFY(differs(b.window->grab().toImage(), fresh) > kEdgeBlend);
        label->setText(before);
        QVERIFY(differs(b.window->grab().toImage(), fresh) <= kEdgeBlend);
    }
}

void TestWindowShell::statusShowsProgramAndType_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("shown");   // mode label|cmds tabs|loader, main program buttons|type label|type items|calibration tabs
    const QString lab = QStringLiteral("|10101|10|");
    QTest::newRow("lab loader") << 0 << 2 << kLabLoader + "|11000|01|" + font("green", "2. Цифровая лаборатория по химии") + "|5|0000";
    QTest::newRow("physics") << 1 << 1 << kLabMain + lab + font("green", "1. Цифровая лаборатория по физике") + "|0|1000";
    QTest::newRow("chemistry") << 1 << 2 << kLabMain + lab + font("green", "2. Цифровая лаборатория по химии") + "|0|0100";
    QTest::newRow("ecology") << 1 << 3 << kLabMain + lab + font("green", "3. Цифровая лаборатория по экологии") + "|0|0010";
    QTest::newRow("biology") << 1 << 4 << kLabMain + lab + font("green", "4. Цифровая лаборатория по биологии") + "|0|0001";
    QTest::newRow("type not set") << 1 << 0 << kLabMain + lab + kNotSet + "|0|0000";
    QTest::newRow("lab type 5") << 1 << 5 << kLabMain + lab + kUnknown + "|0|0000";
    QTest::newRow("lab loader, type 100") << 0 << 100 << kLabLoader + "|11000|01|" + kUnknown + "|5|0000";
    QTest::newRow("pc loader") << 10 << 100 << font("blue", "Загрузчик фотоколориметра") + "|11000|01|" + kPc + "|2|0000";
    QTest::newRow("pc main") << 11 << 100 << kPcMain + "|10011|10|" + kPc + "|0|0000";
    QTest::newRow("mode 5") << 5 << 2 << font("red", "Неизвестное устройство") + "|11000|10|" + kNotSet + "|0|0000";
    QTest::newRow("mode 20") << 20 << 2 << font("red", "Неизвестное устройство") + "|11000|01|" + kNotSet + "|0|0000";
}

void TestWindowShell::statusShowsProgramAndType()
{
    QFETCH(int, mode);
    QFETCH(int, type);
    QFETCH(QString, shown);
    Bench b;
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);   // the calibration rule runs anyway
    feed(b, mode, type);
    feed(b, mode, type);   // a second reply never doubles the type list
    QTabWidget* cmds = b.tabs("cmds");
    cmds->setCurrentIndex(0);   // calibration pages follow the type on every tab switch
    cmds->setCurrentIndex(2);
    QCOMPARE(QStringList({b.text("info_WorkMode_label"), usable(cmds),
                          QString::number(b.button("bootloader_Start_Button")->isEnabledTo(cmds)) +
                              QString::number(b.button("bl_load_mainProg_request_Button")->isEnabledTo(cmds)),
                          b.text("info_devType_label"), QString::number(b.combo("hwConfig_devType_ComboBox")->count()),
                          usable(b.tabs("userCalibration_coefTabs"))}).join(QLatin1Char('|')), shown);
    const bool loader = mode == 0 || mode == 10;
    QCOMPARE(b.text("info_bl_vers_Label"), loader ? font("blue", "Версия загрузчика: ") + "1.11" : QString());
    if (!loader)
        return;
    // The loader's pages follow its family: configuration type, calibration tab, BLE console, type list.
    const bool lab = mode == 0;
    QCOMPARE(QStringList({b.text("hwConfig_devInit_label"), usable(b.tabs("hwCalibration_tabWidget")),
                          QString::number(b.widget("bl_atCmd_GroupBox")->isHidden()),
                          b.combo("hwConfig_devType_ComboBox")->itemText(lab ? 4 : 1)}),
             lab ? QStringList({"Загрузчик Vorlen", "10", "0", "4. Цифровая лаборатория по биологии"})
                 : QStringList({"Загрузчик PhotoCol", "01", "1", "100. Мультидатчик - фотоколориметр"}));
}

void TestWindowShell::statusTexts()
{
    Bench b;
    // Codes outside the board's table keep the text before them.
    const QList<QPair<int, QString>> errors = {
        {0x00, font("green", "Ошибок нет")},
        {0x01, font("red", "Ошибка целостности основной программы")},
        {0x02, font("red", "Сбой основной программы. Экстренная перезагрузка устройства")},
        {0x03, font("red", "Ошибка чтения конфигураций в загрузчике")},
        {0x80, font("red", "Ошибка загрузки конфигураций")},
        {0x81, font("red", "Ошибка аппаратной конфигурации. Не установлен тип устройства")},
        {0x82, font("red", "Ошибка программного обеспечения. Неподдерживаемая версия платы")},
        {0x04, font("red", "Ошибка программного обеспечения. Неподдерживаемая версия платы")},
        {0x83, font("red", "Ошибка программного обеспечения. Неподдерживаемый тип устройства")},
    };
    for (const auto& e : errors) {
        feed(b, 1, 1, e.first);
        QCOMPARE(b.text("info_Errors"), e.second);
    }
    // Only bit 0 of each flag byte counts.
    auto flags = [&b] {
        return QStringList({b.text("info_SWConfig_ok_label"), b.text("info_HWConfig_ok_label"), b.text("info_atMode_Label"),
                            b.text("info_PageAvailable_label")}).join('|');
    };
    feed(b, 1, 1, 0, 1, 0, 1, 0);
    QCOMPARE(flags(), font("green", "успешно") + '|' + font("red", "ошибка") + '|' + font("red", "включен, данные BLE транслируеются в USB") +
                          "|0 страниц памяти по 1024 байта доступно (0 байт)");
    feed(b, 1, 1, 0, 2, 3, 0, 255);
    QCOMPARE(flags(), font("red", "ошибка") + '|' + font("green", "успешно") + '|' + font("green", "отключен") +
                          "|255 страниц памяти по 1024 байта доступно (261120 байт)");
}

void TestWindowShell::tabSwitchesAndGate()
{
    Bench b(vboard::BoardType::Physics, vboard::Program::Bootloader);
    QVERIFY(b.startAndOpen());
    QTabWidget* cmds = b.tabs("cmds");
    // Auto-update off: a tab switch asks for nothing. The status request after it is the first the board sees.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);
    b.server->clearRequests();
    cmds->setCurrentIndex(1);
    cmds->setCurrentIndex(0);
    QVERIFY(b.clickAndWait("getInfo_Button"));
    QCOMPARE(b.server->requests(), QList<QByteArray>{wireFrame(rec::cmd::getInfo)});
    QVERIFY(b.widget("hwConfigData_GroupBox")->isEnabled());
    // On: the loader tab asks for the firmware record, and locks the configuration until that is read.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(true);
    b.server->clearRequests();
    cmds->setCurrentIndex(1);
    QTRY_VERIFY(b.idle());
    QCOMPARE(b.server->requests(), QList<QByteArray>{wireFrame(rec::cmd::getFwConfig)});
    QVERIFY(!b.widget("hwConfigData_GroupBox")->isEnabled() && !b.button("hwConfig_Set_Button")->isEnabled());
    cmds->setCurrentIndex(0);
    QTRY_VERIFY(b.idle());
    QCOMPARE(b.requests(rec::cmd::getInfo).size(), 1);
    cmds->setCurrentIndex(4);   // statistics come only from a laboratory's main program
    QVERIFY(b.clickAndWait("getInfo_Button"));
    QVERIFY(b.requests(rec::cmd::statistics).isEmpty());
    b.click("bl_load_mainProg_request_Button");
    QTRY_COMPARE(b.text("info_WorkMode_label"), kLabMain);
    cmds->setCurrentIndex(4);
    QTRY_VERIFY(b.idle());
    QCOMPARE(b.requests(rec::cmd::statistics), QList<QByteArray>{wireFrame(rec::cmd::statistics)});
    // An unknown program: the loader button is usable, and the gate refuses both switches.
    b.widget<QCheckBox>("autoUpdate_checkBox")->setChecked(false);   // leaving the disabled tab asks for nothing
    feed(b, 5, 2);
    b.server->clearRequests();
    b.click("bootloader_Start_Button");
    b.window->on_bl_load_mainProg_request_Button_clicked();
    QVERIFY(b.clickAndWait("getInfo_Button"));
    QCOMPARE(b.server->requests(), QList<QByteArray>{wireFrame(rec::cmd::getInfo)});
    QCOMPARE(QString::number(b.dialogs.shown.size()) + b.dialogs.shown.first().text + b.dialogs.shown.last().text,
             "2Команда запуска загрузчика невозможна. Уже загруженоКоманда запуска основной программы невозможна. Уже загружено");
}

QTEST_MAIN(TestWindowShell)
#include "test_window_shell.moc"
