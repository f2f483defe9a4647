// The board's data kept and shown: the copy saved before each write, save
// and load on the configuration pages, the archive as CSV and in a chart,
// and the live data chart, with the real window against the simulator.
#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>

#include "BackupFile.h"
#include "BoardBench.h"
#include "LittleEndian.h"
#include "MeasurementChannels.h"
#include "Records.h"
#include "SeriesChart.h"
#include "UpdateFileWriter.h"

using vboard::BoardType;
using vboard::Program;

namespace {

const QList<int> kWriteCodes{rec::cmd::setHwConfig, rec::cmd::setUserData, rec::cmd::flashWrite,
                             rec::cmd::flashWriteBlock, rec::cmd::setFwConfig};

// Floats a six-decimal box cannot hold exactly, between numbered bytes: a
// rounded or shifted byte shows.
QByteArray pattern(int size, int floatsFrom, int floatsTo)
{
    QByteArray r(size, '\0');
    for (int i = 0; i < size; ++i)
        r[i] = char(i * 7 + 3);
    for (int at = floatsFrom; at + 4 <= floatsTo; at += 4)
        le::putF32(raw(r) + at, float(at + 1) / 3.0f - 5.0f);
    return r;
}

QByteArray hwPattern(uint8_t type)
{
    QByteArray r = pattern(rec::hwcfg::kSize, 32, 108);
    r[rec::hwcfg::kDeviceType] = char(type);
    r[rec::hwcfg::kHwVersion] = 3;
    return r;
}

QByteArray userPattern(int size) { return pattern(size, 0, size == 32 ? 28 : size - 4); }

struct Rig : bench::Bench {
    Rig(BoardType type, Program program) : bench::Bench(type, program) {}
    bool open(const char* page)
    {
        if (!start())
            return false;
        click("serialPortAction_Button");
        if (!QTest::qWaitFor([this] { return window->engine().deviceInfo().devType != 0 && idle(); }, 10000))
            return false;
        tabs("cmds")->setCurrentIndex(0);
        tabs("cmds")->setCurrentWidget(widget(page));
        return idle();
    }
    bool idle() { return QTest::qWaitFor([this] { return !window->engine().isWaiting(); }, 8000); }
    bool press(const char* name)
    {
        click(name);
        return idle();
    }
    QDoubleSpinBox* box(const char* name) { return widget<QDoubleSpinBox>(name); }
    QString file(const char* name) { return dir.filePath(QString::fromLatin1(name)); }
};

BackupFile readFile(const QString& path)
{
    QFile f(path);
    BackupFile b;
    QString why;
    if (!f.open(QIODevice::ReadOnly) || !b.fromJson(f.readAll(), &why))
        qWarning() << path << why;
    return b;
}

// Oldest first: a name without milliseconds comes before the same second's with them.
QStringList copiesIn(const QString& folder)
{
    QStringList names = QDir(folder).entryList({QStringLiteral("*.json")}, QDir::Files);
    for (QString& n : names)
        n.chop(5);
    names.sort();
    for (QString& n : names)
        n = QDir(folder).filePath(n + QStringLiteral(".json"));
    return names;
}

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void copyBeforeEachWrite_data();
    void copyBeforeEachWrite();
    void saveThenLoadGivesTheSameBytes_data();
    void saveThenLoadGivesTheSameBytes();
    void refusedFileChangesNothing_data();
    void refusedFileChangesNothing();
    void archiveCsvCopyAndChart();
    void liveChartHoldsThePolledValues();
};

void TestBackup::copyBeforeEachWrite_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("writes");
    QTest::newRow("hw config, twice") << 1 << "hw" << true << true << 2;
    QTest::newRow("user calibration") << 2 << "user" << true << true << 1;
    QTest::newRow("programming") << 1 << "program" << true << true << 1;
    QTest::newRow("hw config, no folder, declined") << 1 << "hw" << false << false << 0;
    QTest::newRow("user calibration, no folder, confirmed") << 4 << "user" << false << true << 1;
    QTest::newRow("programming, no folder, declined") << 1 << "program" << false << false << 0;
}

void TestBackup::copyBeforeEachWrite()
{
    QFETCH(int, type);
    QFETCH(QString, action);
    QFETCH(bool, writable);
    QFETCH(bool, answer);
    QFETCH(int, writes);
    const bool user = action == QLatin1String("user");
    Rig b(BoardType(type), user ? Program::Main : Program::Bootloader);
    b.server->board().setHwConfig(hwPattern(uint8_t(type)));
    if (user)
        b.server->board().setUserData(userPattern(BackupFile::userDataSize(uint8_t(type))));
    // A regular file where a folder should be: the copy cannot be saved, whoever runs the test.
    QFile blocker(b.file("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    const QString root = writable ? b.file("backups") : b.file("blocker/backups");
    b.window->setBackupDir(root);
    b.dialogs.questionAnswers.enqueue(answer);
    QVERIFY(b.open(user ? "dev_vorlen" : "dev_bootloader"));
    const QByteArray fw = b.server->board().fwConfig();
    const QString folder = QDir(root).filePath("laboratory-" + QString::number(le::u32(u8(fw))));

    // What the backup folder held when each write reached the board.
    QList<QStringList> atWrite;
    QObject::connect(b.server.get(), &vboard::BoardServer::requestReceived, b.window.get(), [&](const QByteArray& f) {
        // Every record write; of a programming run, its first request.
        const int i = kWriteCodes.indexOf(FrameCodec::code(f));
        if (i >= 0 && (i < 2 || atWrite.isEmpty()))
            atWrite << copiesIn(folder);
    });
    if (action == QLatin1String("program")) {
        const QString sheet = b.file("fw.rbin");
        QFile f(sheet);
        QVERIFY(f.open(QIODevice::WriteOnly));
        UpdateFileWriter::Header h;
        h.fwVersion = 250;
        h.buildDate = QDate(2030, 1, 1);
        h.hwVersionSupported = 3;
        f.write(UpdateFileWriter::build(UpdateFileWriter::randomImage(1, 3), h));
        f.close();
        b.dialogs.fileAnswers.enqueue(sheet);
        QVERIFY(b.press("bl_choose_Sheet_Button"));
    } else {
        QVERIFY(b.press(user ? "userData_read_Button" : "hwConfig_get_Button"));
    }

    QList<QByteArray> held;   // the record each write replaces, as the board held it
    for (int n = 0; n < qMax(writes, 1); ++n) {
        held << (action == QLatin1String("hw") ? b.server->board().hwConfig()
                 : user                        ? b.server->board().userData()
                                               : fw);
        if (action != QLatin1String("program"))
            b.box(user ? (type == 2 ? "chem_k_phSens_dSpinBox" : "bio_k_phSens_dSpinBox") : "hwConfig_calib_k_ch0_dSpinBox")
                ->setValue(1.5 + n);
        b.click(action == QLatin1String("hw") ? "hwConfig_Set_Button"
                : user                        ? "userData_write_Button"
                                              : "bl_Program_Run_Button");
        if (writes == 0)
            QTRY_COMPARE(b.countLog(QStringLiteral("(нет резервной копии)")), 1);
        else
            QTRY_COMPARE(atWrite.size(), n + 1);
        QTRY_VERIFY(b.idle() && !b.window->engine().isProgramming());
    }

    int questions = 0;
    for (const auto& shown : b.dialogs.shown)
        questions += shown.kind == QLatin1String("question");
    QCOMPARE(questions, writable ? 0 : 1);   // asked only when there is no copy
    const QStringList copies = copiesIn(folder);
    QCOMPARE(copies.size(), writable ? writes : 0);
    for (int n = 0; n < copies.size(); ++n) {
        QCOMPARE(atWrite[n].size(), n + 1);   // each copy was there before its write
        QVERIFY(QRegularExpression(R"(/\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d(-\d{3})?\.json$)").match(copies[n]).hasMatch());
        QCOMPARE(b.countLog(QStringLiteral("Резервная копия сохранена: ") + copies[n]), 1);
        const BackupFile copy = readFile(copies[n]);
        QCOMPARE(copy.fwConfig, fw);
        QCOMPARE(copy.hwConfig.size(), int(rec::hwcfg::kSize));
        QCOMPARE(action == QLatin1String("hw") ? copy.hwConfig : user ? copy.userData : copy.fwConfig, held[n]);
    }
    if (writes == 0)
        for (int code : kWriteCodes)
            QVERIFY(b.requests(uint8_t(code)).isEmpty());
}

void TestBackup::saveThenLoadGivesTheSameBytes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("user");
    QTest::addColumn<QString>("edited");   // a box the test changes between save and load
    QTest::newRow("physics hw") << 1 << false << "hwConfig_calib_k1_ch2_dSpinBox";
    QTest::newRow("chemistry hw") << 2 << false << "hwConfig_calib_d3_ch3_dSpinBox";
    QTest::newRow("photocolorimeter hw") << 100 << false << "";
    QTest::newRow("physics user") << 1 << true << "physic_d_absPressSens_dSpinBox";
    QTest::newRow("chemistry user") << 2 << true << "chem_d3_conductSens_dSpinBox";
    QTest::newRow("biology user") << 4 << true << "bio_d_LightSens_dSpinBox";
}

void TestBackup::saveThenLoadGivesTheSameBytes()
{
    QFETCH(int, type);
    QFETCH(bool, user);
    QFETCH(QString, edited);
    Rig b(BoardType(type), user ? Program::Main : Program::Bootloader);
    const QByteArray original = user ? userPattern(BackupFile::userDataSize(uint8_t(type))) : hwPattern(uint8_t(type));
    if (user)
        b.server->board().setUserData(original);
    else
        b.server->board().setHwConfig(original);
    QVERIFY(b.open(user ? "dev_vorlen" : "dev_bootloader"));
    QVERIFY(b.press(user ? "userData_read_Button" : "hwConfig_get_Button"));

    const QString path = b.file("page.json");
    b.dialogs.fileAnswers << path << path;
    b.click(user ? "userData_save_Button" : "hwConfig_save_Button");
    const BackupFile saved = readFile(path);
    QCOMPARE(user ? saved.userData : saved.hwConfig, original);
    QCOMPARE(saved.devType, uint8_t(type));
    QFile text(path);
    QVERIFY(text.open(QIODevice::ReadOnly) && text.readAll().contains(user ? "\"delta_temp\": " : "\"hwVersion\": 3"));

    auto* version = b.widget<QSpinBox>("hwConfig_devVers_SpinBox");
    if (!edited.isEmpty())
        b.box(qPrintable(edited))->setValue(42.0);
    if (!user)
        version->setValue(9);
    b.click(user ? "userData_load_Button" : "hwConfig_load_Button");
    if (!edited.isEmpty())
        QVERIFY(b.box(qPrintable(edited))->value() != 42.0);
    if (!user)
        QCOMPARE(version->value(), 3);

    b.server->board().setHwConfig(QByteArray(rec::hwcfg::kSize, '\0'));
    b.server->board().setUserData(QByteArray(original.size(), '\0'));
    QVERIFY(b.press(user ? "userData_write_Button" : "hwConfig_Set_Button"));
    QTRY_COMPARE(user ? b.server->board().userData() : b.server->board().hwConfig(), original);
    QVERIFY(b.dialogs.shown.size() == 2);   // the two file dialogs, no message
}

void TestBackup::refusedFileChangesNothing_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("devType");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("reason");
    QTest::newRow("other type") << 0 << 2 << QByteArray() << QByteArray() << "файл платы другого типа";
    QTest::newRow("other family") << 1 << 100 << QByteArray() << QByteArray() << "файл другого семейства плат (в файле: фотоколориметр, подключено: цифровая лаборатория)";
    QTest::newRow("damaged bytes") << 0 << 1 << QByteArray("\"0103") << QByteArray("\"0104") << "контрольная сумма";
    QTest::newRow("field against bytes") << 0 << 1 << QByteArray("\"hwVersion\": 3") << QByteArray("\"hwVersion\": 4")
                                         << "поле hwVersion не совпадает";
    QTest::newRow("newer format") << 0 << 1 << QByteArray("\"version\": 1") << QByteArray("\"version\": 2")
                                  << "более новой версией программы";
    QTest::newRow("not json") << 0 << 1 << QByteArray("\"format\"") << QByteArray("format") << "не JSON";
    QTest::newRow("no hw record") << 0 << 1 << QByteArray("\"hwConfig\"") << QByteArray("\"other\"")
                                  << "нет аппаратной конфигурации";
}

void TestBackup::refusedFileChangesNothing()
{
    QFETCH(int, family);
    QFETCH(int, devType);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, reason);
    Rig b(BoardType::Physics, Program::Bootloader);
    b.server->board().setHwConfig(hwPattern(1));
    QVERIFY(b.open("dev_bootloader"));
    QVERIFY(b.press("hwConfig_get_Button"));
    b.box("hwConfig_calib_k_ch0_dSpinBox")->setValue(2.5);
    b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->setValue(7);

    BackupFile f;
    f.family = uint8_t(family);
    f.devType = uint8_t(devType);
    f.progMode = uint8_t(family * 10);
    f.hwConfig = hwPattern(1);
    f.userData = QByteArray(BackupFile::userDataSize(f.devType) * (family == 0), '\x01');
    QByteArray text = f.toJson();
    if (!from.isEmpty()) {
        QVERIFY(text.contains(from));
        text.replace(from, to);
    }
    const QString path = b.file("other.json");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();
    b.dialogs.fileAnswers << path;
    b.server->clearRequests();
    b.click("hwConfig_load_Button");

    QCOMPARE(b.dialogs.shown.size(), 2);
    QCOMPARE(b.dialogs.shown[1].kind, QStringLiteral("warning"));
    QVERIFY2(b.dialogs.shown[1].text.contains(reason), qPrintable(b.dialogs.shown[1].text));
    QVERIFY(b.dialogs.shown[1].text.endsWith(QStringLiteral("Данные на странице не изменены.")));
    QCOMPARE(b.box("hwConfig_calib_k_ch0_dSpinBox")->value(), 2.5);
    QCOMPARE(b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->value(), 7);
    QVERIFY(b.server->requests().isEmpty());
}

void TestBackup::archiveCsvCopyAndChart()
{
    Rig b(BoardType::Physics, Program::Main);
    QVERIFY(b.open("dev_vorlen"));
    b.widget<QComboBox>("archive_Start_RecFreq_comboBox")->setCurrentIndex(0);   // 10 ms
    QVERIFY(b.press("archive_StartRecord_button"));
    b.server->board().advanceTime(2000);
    QVERIFY(b.press("archive_GetStatus_button"));
    b.click("archive_GetData_button");
    auto* table = b.widget<QTableWidget>("archive_Data_tableWidget");
    QTRY_VERIFY(table->columnCount() == 100 && table->item(0, 99));
    QCOMPARE(b.server->board().archiveRecordCount(), 100);

    const QString path = b.file("archive.csv");
    b.dialogs.fileAnswers << path;
    b.click("archive_exportCsv_Button");
    QFile csv(path);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray text = csv.readAll();
    QVERIFY(text.startsWith("\xEF\xBB\xBF"));
    QStringList rows = QString::fromUtf8(text.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 101);
    QCOMPARE(rows[0].split(';')[3], QStringLiteral("Напряжение, канал 0, В"));
    // Each measured column read back as a spreadsheet in a Russian locale reads it.
    const int columns[] = {2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    const auto& channels = MeasurementChannels::record();
    for (int k = 0; k < 100; ++k) {
        const QByteArray r = b.server->board().archiveRecord(k);
        const QStringList cells = rows[k + 1].split(';');
        QCOMPARE(cells.size(), 17);
        for (size_t c = 0; c < channels.size(); ++c) {
            const QString cell = cells[columns[c]];
            if (!channels[c].presentIn(u8(r), rec::meas::kAnswerBits)) {
                QCOMPARE(cell, QStringLiteral("Отключен"));
                continue;
            }
            bool ok = false;
            const double v = QLocale(QLocale::Russian).toDouble(cell, &ok), want = channels[c].read(u8(r));
            QVERIFY2(ok && qAbs(v - want) <= 1e-5 * qMax(1.0, qAbs(want)), qPrintable(cell));
        }
    }

    table->setRangeSelected(QTableWidgetSelectionRange(1, 0, 2, 1), true);
    QCOMPARE(table->actions().first()->shortcut(), QKeySequence(QKeySequence::Copy));
    table->actions().first()->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), table->item(1, 0)->text() + '\t' + table->item(1, 1)->text() + '\n' +
                                                       table->item(2, 0)->text() + '\t' + table->item(2, 1)->text() + '\n');

    // The chart draws the ticked channels against seconds since the first record.
    auto* chart = b.widget<SeriesChart>("archive_chart");
    auto* list = b.widget<QListWidget>("archive_chartChannels_listWidget");
    list->item(3)->setCheckState(Qt::Checked);
    QCOMPARE(chart->lineCount(), 2);
    for (int line = 0; line < 2; ++line) {
        QCOMPARE(chart->lineName(line), channels[size_t(line == 0 ? 1 : 3)].title());
        const QVector<QPointF> points = chart->points(line);
        QCOMPARE(points.size(), 100);
        const uint32_t t0 = le::u32(u8(b.server->board().archiveRecord(0)) + rec::meas::kRunTime);
        for (int k = 0; k < 100; ++k) {
            const QByteArray r = b.server->board().archiveRecord(k);
            QCOMPARE(points[k], QPointF((le::u32(u8(r) + rec::meas::kRunTime) - t0) / 1000.0,
                                        channels[size_t(line == 0 ? 1 : 3)].read(u8(r))));
        }
    }
}

void TestBackup::liveChartHoldsThePolledValues()
{
    Rig b(BoardType::Physics, Program::Main);
    QByteArray packet(rec::raw::kPacketSize, '\0');
    le::putF32(raw(packet) + rec::raw::kAdsVolt0, 1.25f);
    le::put16(raw(packet) + rec::raw::kAccY, uint16_t(-300));
    b.server->board().setRawOverride(packet);
    QVERIFY(b.open("dev_vorlen"));
    b.widget<QPushButton>("data_chart_Button")->setChecked(true);
    auto* window = b.widget<QWidget>("data_chart_Window");
    QVERIFY(window->isVisible());
    b.widget<QCheckBox>("data_chart_channel_6")->setChecked(true);
    auto* chart = b.widget<SeriesChart>("data_chart");
    QCOMPARE(chart->lineName(1), QStringLiteral("Акселерометр, ось Y, ед."));

    b.combo("data_requestSpeed_ComboBox")->setCurrentIndex(0);   // 5 ms: more replies than points kept
    b.click("data_ExchangeButton");
    QTRY_VERIFY_WITH_TIMEOUT(chart->points(0).size() >= 5, 10000);
    b.click("data_ExchangeButton");
    const QVector<QPointF> volts = chart->points(0), accel = chart->points(1);
    QCOMPARE(volts.size(), accel.size());
    for (int i = 0; i < volts.size(); ++i) {
        QCOMPARE(volts[i].y(), 1.25);
        QCOMPARE(accel[i].y(), -300.0);
        QVERIFY(i == 0 || volts[i].x() - volts[i - 1].x() >= 0.049);
    }
    QVERIFY(b.window->findChild<QLabel*>("data_RequestNum_Label")->text().toInt() > volts.size());

    window->close();
    QVERIFY(!b.widget<QPushButton>("data_chart_Button")->isChecked());
}

QTEST_MAIN(TestBackup)
#include "test_backup.moc"
