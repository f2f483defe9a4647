// Update files: what the loader reads from any bytes, the writer and the mkrbin
// tool, and the programming view: file choice, labels and the run's checks.
#include <QCryptographicHash>
#include <QProcess>
#include <QSpinBox>

#include "BoardBench.h"
#include "LittleEndian.h"
#include "UpdateSheet.h"

namespace {

const int kSize = int(UpdateSheet::kSize);
QString digest(const QByteArray& b) { return QCryptographicHash::hash(b, QCryptographicHash::Md5).toHex().left(8); }
// All the loader tells of a file in one line, the block it holds by its digest first.
QString describe(const UpdateSheet& s)
{
    int forMode = -1;
    for (int mode = 255; mode >= 0; --mode)
        forMode = s.isForDevice(uint8_t(mode)) ? mode : forMode;
    const QString notes = s.releaseNotesText();
    return QStringLiteral("%1 %2 %3 v%4 hw%5 for %6 %7 image %8 [%9")
        .arg(digest(QByteArray(reinterpret_cast<const char*>(s.data()), kSize))).arg(s.imageLength()).arg(s.imageCrc(), 0, 16)
        .arg(s.fwVersion()).arg(s.hwVersionSupported()).arg(forMode).arg(s.buildDate().toString(Qt::ISODate)).arg(s.image()[0], 0, 16)
        .arg(notes.left(20) + QStringLiteral("] %1 defects %2").arg(notes.size()).arg(s.defects().size()));
}
UpdateFileWriter::Header header(int target, int version, const QDate& date, const QByteArray& notes = QByteArray())
{
    UpdateFileWriter::Header h = bench::header(uint8_t(target), uint8_t(version), date, 4);
    h.notes = notes;
    return h;
}
QByteArray fwRecord(uint32_t serial, int version, const QDate& d)
{
    QByteArray r(60, '\0');
    le::put32(raw(r), serial);
    return r.replace(48, 4, bytes({version, d.day(), d.month(), d.year() - 2000}));
}

} // namespace

class TestUpdateSheet : public QObject
{
    Q_OBJECT
private slots:
    void loader_data();
    void loader();
    void writerAndTool();
    void choice_data();
    void choice();
    void runAndLabels();
};

void TestUpdateSheet::loader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("fields");   // %1 the digest of the file's first block
    const QByteArray image = UpdateFileWriter::randomImage(3, 11).left(3000);
    QTest::newRow("written") << UpdateFileWriter::build(image, header(11, 7, QDate(2025, 3, 9), "Исправлена калибровка"))
                             << "%1 3072 " + QString::number(Crc16().calc(u8(image + QByteArray(72, '\xFF')), 3072), 16) +
                                    " v7 hw4 for 10 2025-03-09 image " + QString::number(uint8_t(image[0]), 16) + " [Исправлена калибровк] 21 defects 0";
    QByteArray fields(kSize, '\0');
    fields.replace(0x400, 7, bytes({0xCD, 0xAB, 0x00, 0x20, 5, 0, 0})).replace(0x801, 6, bytes({24, 2, 29, 200, 9, 1}));
    fields.replace(0xC00, 2, bytes({0x11, 0x5A})).replace(0x10C00, 5, QByteArray("abc\0d", 5));
    const QString known = QStringLiteral("%1 8192 abcd v200 hw9 for 0 %2 image 5a [%3] %4 defects 1");
    QTest::newRow("fields") << fields << known.arg("%1", "2024-02-29", "abc", "3");
    QTest::newRow("no 13th month") << QByteArray(fields).replace(0x802, 1, "\x0d") << known.arg("%1", "", "abc", "3");
    QTest::newRow("notes cut at their length") << QByteArray(fields).replace(0x404, 1, "\x02") << known.arg("%1", "2024-02-29", "ab", "2");
    QTest::newRow("notes end with the block") << QByteArray(fields).replace(0x404, 2, "\xFF\xFF").replace(0x10C00, 32768, QByteArray(32768, 'z'))
                                              << known.arg("%1", "2024-02-29", QString(20, 'z'), "32768");
    QTest::newRow("short") << QByteArray(2100, 0x55) << "%1 21845 5555 v85 hw85 for 84  image 0 [] 0 defects 4";
    QTest::newRow("empty, target 0 never wraps") << QByteArray() << "%1 0 0 v0 hw0 for -1  image 0 [] 0 defects 3";
    QTest::newRow("long") << UpdateFileWriter::randomImage(196, 3) << "%1";
    QTest::newRow("missing") << QByteArray("missing") << "%1";
}

// Each file is read after a full file of other bytes: nothing of that may remain.
void TestUpdateSheet::loader()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, fields);
    bench::Bench b;
    auto sheet = std::make_unique<UpdateSheet>();
    QVERIFY(sheet->read(b.writeFile("before.rbin", QByteArray(kSize, 0x77))));
    if (file == "missing")   // a missing file, no path, a folder: refused, the block kept
        QVERIFY(!sheet->read(b.dir.filePath("no-such.rbin")) && !sheet->read(QString()) && !sheet->read(b.dir.path()));
    else
        QVERIFY(sheet->read(b.writeFile("f.rbin", file)));
    const QByteArray block = file == "missing" ? QByteArray(kSize, 0x77) : file.left(kSize) + QByteArray(kSize - qMin(kSize, file.size()), 0);
    QCOMPARE(fields == "%1" ? describe(*sheet).section(' ', 0, 0) : describe(*sheet), fields.arg(digest(block)));
}

void TestUpdateSheet::writerAndTool()
{
    const auto h = header(1, 1, QDate(2024, 5, 5));
    QString error;
    QCOMPARE(UpdateFileWriter::build(UpdateFileWriter::randomImage(63, 1), h).size(), kSize);
    QVERIFY(UpdateFileWriter::build(UpdateFileWriter::randomImage(63, 1) + "x", h, &error).isEmpty() && error.contains("не более 63"));
    QVERIFY(UpdateFileWriter::build(QByteArray(), h, &error).isEmpty() && error == QStringLiteral("Образ прошивки пуст"));
    for (const auto& bad : {header(1, 1, QDate(1999, 12, 31)), header(1, 1, QDate()), header(1, 1, QDate(2024, 5, 5), QByteArray(32769, 'n'))})
        QVERIFY(UpdateFileWriter::build("x", bad).isEmpty());
    QCOMPARE(UpdateFileWriter::build("x", header(1, 1, QDate(2024, 5, 5), QByteArray(32768, 'n'))).size(), kSize);
    QVERIFY(UpdateFileWriter::randomImage(2, 5) == UpdateFileWriter::randomImage(2, 5) && UpdateFileWriter::randomImage(2, 5) != UpdateFileWriter::randomImage(2, 6));
    bench::Bench b;
    QProcess p;
    p.start(MKRBIN_PATH, {"--image", b.writeFile("img.bin", QByteArray(1500, 0x42)), "--target", "11", "--version", "9", "--date",
                          "2026-12-01", "--hw", "4", "--notes", "Новая версия", "--out", b.dir.filePath("tool.rbin")});
    QFile out(b.dir.filePath("tool.rbin"));
    QVERIFY(p.waitForFinished() && p.exitCode() == 0 && out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), UpdateFileWriter::build(QByteArray(1500, 0x42), header(11, 9, QDate(2026, 12, 1), "Новая версия")));
}

void TestUpdateSheet::choice_data()
{
    QTest::addColumn<int>("progMode");
    QTest::addColumn<int>("board");      // version on the board
    QTest::addColumn<QDate>("built");    // its build date
    QTest::addColumn<QString>("file");   // "target version date" of the second file, or a path: "" cancelled, "missing"
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("shown");  // the dialog shown for the second file
    QTest::addColumn<bool>("loaded");    // the second file replaced the first
    const QString question = QStringLiteral("|question Внимание Данный файл обновления содержит старую или аналогичную версию. Выполнить?");
    // The first file, version 9, needs no question.
    QTest::newRow("same version and date, yes") << 0 << 5 << QDate(2024, 2, 1) << "1 5 2024-02-01" << true << question << true;
    QTest::newRow("same version and date, no") << 0 << 5 << QDate(2024, 2, 1) << "1 5 2024-02-01" << false << question << false;
    QTest::newRow("board older") << 0 << 4 << QDate(2024, 2, 1) << "1 5 2024-02-01" << false << QString() << true;
    QTest::newRow("board newer, file later") << 0 << 6 << QDate(2024, 1, 1) << "1 5 2024-02-01" << false << QString() << true;
    QTest::newRow("board date impossible") << 0 << 9 << QDate() << "1 5 2024-02-01" << false << QString() << true;
    QTest::newRow("photocolorimeter") << 10 << 5 << QDate(2024, 2, 1) << "11 7 2026-07-04" << false << QString() << true;
    QTest::newRow("other device") << 0 << 5 << QDate(2024, 2, 1) << "11 9 2025-01-01" << true
                                  << "|warning Ошибка Файл обновления не предназначен для данного устройства!" << false;
    QTest::newRow("cancelled") << 0 << 5 << QDate(2024, 2, 1) << "" << true << QString() << false;
    QTest::newRow("missing") << 0 << 5 << QDate(2024, 2, 1) << "missing" << true << QString() << false;
}

// A board's record, a first file chosen, then a second: the dialogs, labels, notes, serial number and the
// first page the run button writes all follow the file last accepted.
void TestUpdateSheet::choice()
{
    QFETCH(int, progMode);
    QFETCH(int, board);
    QFETCH(QDate, built);
    QFETCH(QString, file);
    QFETCH(bool, answer);
    QFETCH(QString, shown);
    QFETCH(bool, loaded);
    bench::Bench b;
    MainWindow& w = *b.window;
    feedStatus(w.engine(), uint8_t(progMode), progMode ? 100 : 1);
    feedReply(w.engine(), 0x83, fwRecord(progMode ? 4000000000u : 123456, board, built));
    static const char notes[] = "Строка 1\nСтрока 2\0мусор";
    QByteArray images[2];
    QStringList labels[2];
    for (int i = 0; i < 2; ++i) {
        const QString fields = i ? file : progMode ? "11 9 2026-07-04" : "1 9 2025-01-01";
        const QStringList s = fields.split(' ');
        const QDate date = QDate::fromString(s.value(2), Qt::ISODate);
        images[i] = UpdateFileWriter::randomImage(2, uint32_t(i + 1));
        const QByteArray made = UpdateFileWriter::build(images[i], header(s[0].toInt(), s.value(1).toInt(), date, QByteArray(notes, sizeof notes - 1)));
        labels[i] = QStringList{"2048", "0x" + QString::number(le::u16(u8(made) + 0x400), 16), s.value(1), date.toString("dd.MM.yyyy"), "4"};
        b.dialogs.fileAnswers.enqueue(s.size() == 3 ? b.writeFile("f" + fields, made) : fields.isEmpty() ? QString() : b.dir.filePath("missing"));
        b.dialogs.questionAnswers.enqueue(answer);
        b.dialogs.shown.clear();
        w.on_bl_choose_Sheet_Button_clicked();
    }
    QStringList dialogs, now;
    for (const auto& d : b.dialogs.shown)
        dialogs << d.kind + ' ' + d.title + ' ' + d.text;
    for (const char* name : {"sheetSize", "sheetCRC", "sheetVers", "sheetDate", "support_versHW"})
        now << b.text(qPrintable(QStringLiteral("bl_Program_%1_label").arg(name)));
    QCOMPARE(b.dialogs.lastFileDir + dialogs.join('|'), "file Выбере файл обновления Ruvo Файлы обновления Ruvo (*.rbin)" + shown);
    const bool unreadable = !file.contains(' ');
    QCOMPARE(QList<int>({b.countLog("Файл обновления успешно загружен"), b.countLog("Нечитаемый формат файла")}),
             QList<int>({loaded ? 2 : 1, int(unreadable)}));
    QCOMPARE(now, unreadable ? QStringList({"Не загружено", "Не загружено"}) + labels[0].mid(2) : labels[int(loaded)]);
    QCOMPARE(b.widget<QPlainTextEdit>("bl_sheetNotes_plainText")->toPlainText(), QStringLiteral("Строка 1\nСтрока 2"));
    QCOMPARE(b.widget<QSpinBox>("bl_Program_SN_SpinBox")->value(), progMode ? 429496729 : 123456);   // above the box's range: its maximum
    QCOMPARE(!b.button("bl_Program_Run_Button")->testAttribute(Qt::WA_ForceDisabled), !unreadable);
    if (unreadable)
        return;
    w.on_bl_Program_Run_Button_clicked();
    feedStatus(w.engine(), uint8_t(progMode - progMode % 10), progMode ? 100 : 1);   // the run's bootloader check
    QCOMPARE(b.sent.last(), wireFrame(0x80, QByteArray(1, 0) + images[int(loaded)].left(1024)));
    QCOMPARE(w.engine().fwConfigRecord()[rec::fwcfg::kFwVersion], uint8_t(labels[int(loaded)][2].toInt()));
}

// The run stamps the record, then refuses an image shorter than a page; in a main program the gate refuses
// before anything is stamped. The configuration labels.
void TestUpdateSheet::runAndLabels()
{
    bench::Bench b;
    MainWindow& w = *b.window;
    feedStatus(w.engine(), 0);
    feedReply(w.engine(), 0x83, fwRecord(5, 1, QDate(2020, 1, 1)));
    QByteArray file = UpdateFileWriter::build(UpdateFileWriter::randomImage(1, 1), header(1, 2, QDate(2024, 1, 1)));
    file.replace(int(UpdateSheet::kImageCrc), 4, bytes({0xFF, 0xFF, 0, 0}));   // an empty image, whole and agreeing
    b.dialogs.fileAnswers.enqueue(b.writeFile("s.rbin", file));
    w.on_bl_choose_Sheet_Button_clicked();
    b.widget<QSpinBox>("bl_Program_SN_SpinBox")->setValue(31337);
    b.sent.clear();
    w.on_bl_Program_Run_Button_clicked();
    QVERIFY(b.lines("log_Edit").last().endsWith("ПРОГРАММИРОВАНИЕ::: Ошибка файл прошивки, размер данных менее 1024 байт") && b.sent.isEmpty());
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(w.engine().fwConfigRecord()), 60), fwRecord(31337, 2, QDate(2024, 1, 1)));
    feedStatus(w.engine(), 1);
    w.engine().stampFwConfig(0, 0, 0, 0, 0);
    b.sent.clear();   // what the status view asks of a main program
    w.on_bl_Program_Run_Button_clicked();
    QVERIFY(b.dialogs.shown.last().kind == "gate" && le::u32(w.engine().fwConfigRecord()) == 0 && b.sent.isEmpty());

    auto shown = [&](int flags, const QByteArray& record) {
        feedStatus(w.engine(), 1, 1, uint8_t(flags));
        feedReply(w.engine(), 0x83, record);
        QStringList out;
        for (const char* name : {"status", "sn", "CRC", "len", "vers", "date"})
            out << b.text(qPrintable(QStringLiteral("bl_fwConf_%1_label").arg(name)));
        return out.join('|');
    };
    const QByteArray record = fwRecord(4294967295u, 17, QDate(2023, 11, 30)).replace(int(rec::fwcfg::kFwCrc), 4, bytes({0xFF, 0, 0, 0x10}));
    QCOMPARE(shown(3, record), QStringLiteral("Успешно|4294967295|0xff|4096 байт|17|30.11.2023"));
    QCOMPARE(shown(1, fwRecord(1, 1, QDate())), QStringLiteral("Успешно|1|0x0|0 байт|1|"));   // an impossible date shows empty
    QCOMPARE(shown(2, record), QStringLiteral("Ошибка. Данные недостоверны|Недоступно|Недоступно|Недоступно|Недоступно|Недоступно"));
}

QTEST_MAIN(TestUpdateSheet)
#include "test_update_sheet.moc"
