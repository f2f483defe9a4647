// Update files: the loader's block and fields, the file writer and the mkrbin
// tool, and the programming view's file choice (device check, version
// question, scratch copy), its configuration labels and its progress bar.
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "LittleEndian.h"
#include "Records.h"
#include "ScriptedDialogs.h"
#include "UpdateSheet.h"
#include "firmware_test_support.h"

using namespace fwtest;

namespace {

const QString kQuestion = QStringLiteral("Данный файл обновления содержит старую или аналогичную версию. Выполнить?");
const QString kWrongDevice = QStringLiteral("Файл обновления не предназначен для данного устройства!");

QByteArray fwRecord(uint32_t serial, uint16_t crc, uint16_t length, uint8_t version, const QDate& date)
{
    QByteArray r(int(rec::fwcfg::kSize), '\0');
    auto* p = reinterpret_cast<uint8_t*>(r.data());
    le::put32(p + rec::fwcfg::kSerialNumber, serial);
    le::put16(p + rec::fwcfg::kFwCrc, crc);
    le::put16(p + rec::fwcfg::kFwLength, length);
    p[rec::fwcfg::kFwVersion] = version;
    if (date.isValid()) {
        p[rec::fwcfg::kBuildDay] = uint8_t(date.day());
        p[rec::fwcfg::kBuildMonth] = uint8_t(date.month());
        p[rec::fwcfg::kBuildYear] = uint8_t(date.year() - 2000);
    }
    return r;
}

// A window whose engine believes a board with this mode and record is attached.
struct ViewFixture {
    MainWindow w;
    ScriptedDialogs dialogs;
    QTemporaryDir dir;

    ViewFixture(uint8_t progMode, const QByteArray& record, uint8_t flags = 3)
    {
        w.setDialogs(&dialogs);
        feedStatus(w.engine(), progMode, 0, flags);
        // As the board answers get_FW_Config: a file is chosen only against a record read from the board.
        boardRecord(record);
    }
    void boardRecord(const QByteArray& record) { feedReply(w.engine(), rec::cmd::getFwConfig, record); }

    void choose(const QString& path)
    {
        dialogs.fileAnswers.enqueue(path);
        w.on_bl_choose_Sheet_Button_clicked();
    }

    QString text(const char* name) { return widget<QLabel>(w, name)->text(); }
    // The button's own state: its tab stays disabled while no port is open.
    bool runEnabled() { return !widget<QPushButton>(w, "bl_Program_Run_Button")->testAttribute(Qt::WA_ForceDisabled); }
    int questions() const
    {
        int n = 0;
        for (const auto& s : dialogs.shown)
            n += s.kind == QLatin1String("question");
        return n;
    }

    // Starts a run and returns the first page-write frame the engine builds,
    // after a bootloader status reply.
    QByteArray firstPageFrame()
    {
        QList<QByteArray> sent;
        auto c = QObject::connect(&w.engine(), &proto_Vorlen_v2::_transmit_data,
                                  [&sent](uint8_t* b, uint32_t n) { sent << QByteArray(reinterpret_cast<char*>(b), int(n)); });
        w.on_bl_Program_Run_Button_clicked();
        QByteArray reply = wireFrame(rec::cmd::getInfo, QByteArray(9, '\0'));   // laboratory bootloader
        w.engine().parseReceived(reinterpret_cast<uint8_t*>(reply.data()), uint32_t(reply.size()));
        QObject::disconnect(c);
        for (const QByteArray& f : sent)
            if (uint8_t(f.at(3)) == rec::cmd::flashWrite)
                return f;
        return {};
    }
};

} // namespace

class TestUpdateSheet : public QObject
{
    Q_OBJECT
private slots:
    void writtenFileReadsBack();
    void headerFieldsAtTheirOffsets();
    void shortLongAndMissingFiles();
    void releaseNotesStayInTheirRegion();
    void targetProgramMatchesBootloaderOnly_data();
    void targetProgramMatchesBootloaderOnly();
    void writerRefusesWhatCannotBeProgrammed();
    void mkrbinWritesAndRefuses();

    void fileDialogAndUnreadableFile();
    void versionQuestion_data();
    void versionQuestion();
    void acceptedFileFillsTheView();
    void rejectedOrDeclinedFileIsNeverProgrammed();
    void shortImageIsNotStarted();
    void configurationLabels();
    void progressBarColours();
};

void TestUpdateSheet::writtenFileReadsBack()
{
    QTemporaryDir dir;
    const QByteArray image = UpdateFileWriter::randomImage(3, 11).left(3000);
    const QByteArray notes = QStringLiteral("Исправлена калибровка").toUtf8();
    const QString path = writeUpdateFile(dir, "a.rbin", image, header(11, 7, QDate(2025, 3, 9), 4, notes));
    QCOMPARE(QFileInfo(path).size(), qint64(UpdateSheet::kSize));

    auto sheet = std::make_unique<UpdateSheet>();
    QVERIFY(sheet->read(path));
    QCOMPARE(sheet->imageLength(), uint16_t(3072));
    const QByteArray loaded(reinterpret_cast<const char*>(sheet->image()), 3072);
    QCOMPARE(loaded.left(3000), image);
    QCOMPARE(loaded.mid(3000), QByteArray(72, char(0xFF)));
    QCOMPARE(sheet->imageCrc(), Crc16().calc(reinterpret_cast<const uint8_t*>(loaded.constData()), 3072));
    QCOMPARE(sheet->fwVersion(), uint8_t(7));
    QCOMPARE(sheet->hwVersionSupported(), uint8_t(4));
    QCOMPARE(sheet->targetProgram(), uint8_t(11));
    QCOMPARE(sheet->buildDate(), QDate(2025, 3, 9));
    QCOMPARE(sheet->notesLength(), uint16_t(notes.size()));
    QCOMPARE(sheet->releaseNotesText(), QStringLiteral("Исправлена калибровка"));
    QCOMPARE(sheet->defects(), QStringList());
}

void TestUpdateSheet::headerFieldsAtTheirOffsets()
{
    QTemporaryDir dir;
    QByteArray file(int(UpdateSheet::kSize), '\0');
    file[0x0400] = char(0xCD);
    file[0x0401] = char(0xAB);
    file[0x0402] = char(0x00);
    file[0x0403] = char(0x20);
    file[0x0801] = char(24);
    file[0x0802] = char(2);
    file[0x0803] = char(29);
    file[0x0804] = char(200);
    file[0x0805] = char(9);
    file[0x0806] = char(1);
    file[0x0C01] = char(0x5A);   // first image byte, one past the page boundary
    file[0x0C00] = char(0x11);
    auto sheet = std::make_unique<UpdateSheet>();
    QVERIFY(sheet->read(writeFile(dir, "h.rbin", file)));
    QCOMPARE(sheet->imageCrc(), uint16_t(0xABCD));
    QCOMPARE(sheet->imageLength(), uint16_t(8192));
    QCOMPARE(sheet->buildDate(), QDate(2024, 2, 29));
    QCOMPARE(sheet->fwVersion(), uint8_t(200));
    QCOMPARE(sheet->hwVersionSupported(), uint8_t(9));
    QCOMPARE(sheet->image()[0], uint8_t(0x5A));

    file[0x0802] = char(13);   // no 13th month
    QVERIFY(sheet->read(writeFile(dir, "bad-date.rbin", file)));
    QVERIFY(!sheet->buildDate().isValid());
    file[0x0802] = char(2);
    file[0x0803] = char(30);   // 30 February
    QVERIFY(sheet->read(writeFile(dir, "bad-day.rbin", file)));
    QVERIFY(!sheet->buildDate().isValid());
}

void TestUpdateSheet::shortLongAndMissingFiles()
{
    QTemporaryDir dir;
    auto sheet = std::make_unique<UpdateSheet>();
    const QString full = writeUpdateFile(dir, "full.rbin", UpdateFileWriter::randomImage(4, 3), header(1, 2, QDate(2024, 1, 1)));
    QVERIFY(sheet->read(full));
    QCOMPARE(sheet->targetProgram(), uint8_t(1));

    // A short file leaves nothing of the previous one behind it.
    QVERIFY(sheet->read(writeFile(dir, "short.bin", QByteArray(2100, char(0x55)))));
    QCOMPARE(sheet->data()[2099], uint8_t(0x55));
    QCOMPARE(sheet->data()[2100], uint8_t(0));
    QCOMPARE(sheet->targetProgram(), uint8_t(0x55));
    QCOMPARE(sheet->imageLength(), uint16_t(0x5555));
    QCOMPARE(sheet->image()[0], uint8_t(0));
    QCOMPARE(sheet->releaseNotesText(), QString());
    // An empty file clears the block too.
    QVERIFY(sheet->read(writeFile(dir, "empty.bin", QByteArray())));
    QCOMPARE(sheet->imageLength(), uint16_t(0));
    QCOMPARE(sheet->targetProgram(), uint8_t(0));

    // A long file: only the first 101376 bytes are taken.
    QByteArray longFile(200000, '\0');
    for (int i = 0; i < longFile.size(); ++i)
        longFile[i] = char((i * 13 + i / 251) & 0xFF);
    QVERIFY(sheet->read(writeFile(dir, "long.bin", longFile)));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(sheet->data()), int(UpdateSheet::kSize)),
             longFile.left(int(UpdateSheet::kSize)));

    // Missing file, empty path: false and the block keeps what it held.
    QVERIFY(!sheet->read(dir.filePath("no-such.rbin")));
    QVERIFY(!sheet->read(QString()));
    QVERIFY(!sheet->read(dir.path()));   // a directory is not a file
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(sheet->data()), int(UpdateSheet::kSize)),
             longFile.left(int(UpdateSheet::kSize)));
}

void TestUpdateSheet::releaseNotesStayInTheirRegion()
{
    QTemporaryDir dir;
    auto sheet = std::make_unique<UpdateSheet>();
    QByteArray file(int(UpdateSheet::kSize), '\0');
    le::put16(reinterpret_cast<uint8_t*>(file.data()) + UpdateSheet::kNotesLength, 5);
    file.replace(int(UpdateSheet::kNotes), 5, QByteArray("abc\0d", 5));
    QVERIFY(sheet->read(writeFile(dir, "cut.rbin", file)));
    QCOMPARE(sheet->releaseNotesText(), QStringLiteral("abc"));

    // notesLength shorter than the text: the text is cut at the length.
    file.replace(int(UpdateSheet::kNotes), 5, QByteArray("abcde"));
    le::put16(reinterpret_cast<uint8_t*>(file.data()) + UpdateSheet::kNotesLength, 2);
    QVERIFY(sheet->read(writeFile(dir, "len.rbin", file)));
    QCOMPARE(sheet->releaseNotesText(), QStringLiteral("ab"));

    // notesLength past the region with no zero byte: the notes end at the block's end.
    file.replace(int(UpdateSheet::kNotes), int(UpdateSheet::kNotesCapacity), QByteArray(int(UpdateSheet::kNotesCapacity), 'z'));
    le::put16(reinterpret_cast<uint8_t*>(file.data()) + UpdateSheet::kNotesLength, 0xFFFF);
    QVERIFY(sheet->read(writeFile(dir, "over.rbin", file)));
    const QString text = sheet->releaseNotesText();
    QCOMPARE(text.size(), int(UpdateSheet::kNotesCapacity));
    QCOMPARE(text, QString(int(UpdateSheet::kNotesCapacity), QLatin1Char('z')));
}

void TestUpdateSheet::targetProgramMatchesBootloaderOnly_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("progMode");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("lab image, lab bootloader") << 1 << 0 << true;
    QTest::newRow("lab image, photocolorimeter bootloader") << 1 << 10 << false;
    QTest::newRow("lab image, lab main program") << 1 << 1 << false;
    QTest::newRow("photocolorimeter image, its bootloader") << 11 << 10 << true;
    QTest::newRow("photocolorimeter image, lab bootloader") << 11 << 0 << false;
    QTest::newRow("photocolorimeter image, its main program") << 11 << 11 << false;
    QTest::newRow("target 0 never wraps to 255") << 0 << 255 << false;
    QTest::newRow("target 0, lab bootloader") << 0 << 0 << false;
}

void TestUpdateSheet::targetProgramMatchesBootloaderOnly()
{
    QFETCH(int, target);
    QFETCH(int, progMode);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    QByteArray file(int(UpdateSheet::kSize), '\0');
    file[int(UpdateSheet::kTargetProgram)] = char(target);
    auto sheet = std::make_unique<UpdateSheet>();
    QVERIFY(sheet->read(writeFile(dir, "t.rbin", file)));
    QCOMPARE(sheet->isForDevice(uint8_t(progMode)), accepted);
}

void TestUpdateSheet::writerRefusesWhatCannotBeProgrammed()
{
    QString error;
    const auto h = header(1, 1, QDate(2024, 5, 5));
    QVERIFY(!UpdateFileWriter::build(UpdateFileWriter::randomImage(63, 1), h, &error).isEmpty());
    QVERIFY(UpdateFileWriter::build(UpdateFileWriter::randomImage(63, 1) + "x", h, &error).isEmpty());
    QVERIFY2(error.contains(QStringLiteral("не более 63")), qPrintable(error));
    QVERIFY(UpdateFileWriter::build(QByteArray(), h, &error).isEmpty());
    QCOMPARE(error, QStringLiteral("Образ прошивки пуст"));
    QVERIFY(UpdateFileWriter::build("x", header(1, 1, QDate(1999, 12, 31)), &error).isEmpty());
    QVERIFY(UpdateFileWriter::build("x", header(1, 1, QDate()), &error).isEmpty());
    auto longNotes = h;
    longNotes.notes = QByteArray(int(UpdateSheet::kNotesCapacity) + 1, 'n');
    QVERIFY(UpdateFileWriter::build("x", longNotes, &error).isEmpty());
    longNotes.notes.chop(1);
    QCOMPARE(UpdateFileWriter::build("x", longNotes, &error).size(), int(UpdateSheet::kSize));

    // The same seed gives the same image; another seed another one.
    QCOMPARE(UpdateFileWriter::randomImage(2, 5), UpdateFileWriter::randomImage(2, 5));
    QVERIFY(UpdateFileWriter::randomImage(2, 5) != UpdateFileWriter::randomImage(2, 6));
}

void TestUpdateSheet::mkrbinWritesAndRefuses()
{
    QTemporaryDir dir;
    const QString image = writeFile(dir, "img.bin", QByteArray(1500, char(0x42)));
    const QString out = dir.filePath("tool.rbin");
    QProcess p;
    p.start(QStringLiteral(MKRBIN_PATH), {"--image", image, "--target", "11", "--version", "9", "--date", "2026-12-01",
                                         "--hw", "2", "--notes", "Новая версия", "--out", out});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 0);
    auto sheet = std::make_unique<UpdateSheet>();
    QVERIFY(sheet->read(out));
    QCOMPARE(sheet->imageLength(), uint16_t(2048));
    QCOMPARE(sheet->image()[1499], uint8_t(0x42));
    QCOMPARE(sheet->image()[1500], uint8_t(0xFF));
    QCOMPARE(sheet->targetProgram(), uint8_t(11));
    QCOMPARE(sheet->fwVersion(), uint8_t(9));
    QCOMPARE(sheet->buildDate(), QDate(2026, 12, 1));
    QCOMPARE(sheet->releaseNotesText(), QStringLiteral("Новая версия"));
    QCOMPARE(sheet->defects(), QStringList());
    // The header bytes nobody reads are zero.
    QCOMPARE(sheet->data()[0], uint8_t(0));
    QCOMPARE(sheet->data()[0x0807], uint8_t(0));

    // 64 pages do not fit: refused, nothing written.
    const QString tooBig = dir.filePath("big.rbin");
    p.start(QStringLiteral(MKRBIN_PATH), {"--random-pages", "64", "--target", "1", "--version", "1", "--date",
                                         "2026-12-01", "--hw", "1", "--out", tooBig});
    QVERIFY(p.waitForFinished(20000));
    QVERIFY(p.exitCode() != 0);
    QVERIFY(!QFile::exists(tooBig));
    QVERIFY(!p.readAllStandardError().isEmpty());
    // A missing field is refused with its name.
    p.start(QStringLiteral(MKRBIN_PATH), {"--random-pages", "2", "--target", "1", "--version", "1", "--hw", "1",
                                         "--out", tooBig});
    QVERIFY(p.waitForFinished(20000));
    QVERIFY(p.exitCode() != 0);
    QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("--date")));
}

void TestUpdateSheet::fileDialogAndUnreadableFile()
{
    ViewFixture f(0, fwRecord(1, 0, 0, 1, QDate(2020, 1, 1)));
    const QString good = writeUpdateFile(f.dir, "g.rbin", UpdateFileWriter::randomImage(2, 1), header(1, 4, QDate(2024, 1, 1)));
    f.choose(good);
    QCOMPARE(f.dialogs.lastFileCaption, QStringLiteral("Выбере файл обновления Ruvo"));
    QCOMPARE(f.dialogs.lastFileFilter, QStringLiteral("Файлы обновления Ruvo (*.rbin)"));
    QVERIFY(f.dialogs.lastFileDir.isEmpty());
    QVERIFY(f.runEnabled());
    QCOMPARE(f.text("bl_Program_sheetVers_label"), QStringLiteral("4"));

    // Cancelled dialog, then a path that does not exist.
    for (const QString& path : {QString(), f.dir.filePath("missing.rbin")}) {
        f.choose(path);
        QCOMPARE(logLines(f.w).last(), QStringLiteral("Нечитаемый формат файла"));
        QVERIFY(!f.runEnabled());
        QCOMPARE(f.text("bl_Program_sheetCRC_label"), QStringLiteral("Не загружено"));
        QCOMPARE(f.text("bl_Program_sheetSize_label"), QStringLiteral("Не загружено"));
        // The other header labels keep their texts.
        QCOMPARE(f.text("bl_Program_sheetVers_label"), QStringLiteral("4"));
        QCOMPARE(f.text("bl_Program_sheetDate_label"), QStringLiteral("01.01.2024"));
    }
}

void TestUpdateSheet::versionQuestion_data()
{
    QTest::addColumn<int>("boardVersion");
    QTest::addColumn<QDate>("boardDate");
    QTest::addColumn<bool>("asked");
    // The file is version 5, built 01.02.2024.
    QTest::newRow("same version, same date") << 5 << QDate(2024, 2, 1) << true;
    QTest::newRow("board older version") << 4 << QDate(2024, 2, 1) << false;
    QTest::newRow("board newer version, older date") << 6 << QDate(2024, 1, 1) << false;
    QTest::newRow("board newer version, later date") << 6 << QDate(2024, 3, 1) << true;
    QTest::newRow("board date impossible") << 9 << QDate() << false;
}

void TestUpdateSheet::versionQuestion()
{
    QFETCH(int, boardVersion);
    QFETCH(QDate, boardDate);
    QFETCH(bool, asked);
    for (bool answer : {true, false}) {
        ViewFixture f(0, fwRecord(77, 0, 0, uint8_t(boardVersion), boardDate));
        const QString path = writeUpdateFile(f.dir, "v.rbin", UpdateFileWriter::randomImage(1, 2), header(1, 5, QDate(2024, 2, 1)));
        f.dialogs.questionAnswers.enqueue(answer);
        f.choose(path);
        QCOMPARE(f.questions(), asked ? 1 : 0);
        if (asked) {
            QCOMPARE(f.dialogs.shown.last().title, QStringLiteral("Внимание"));
            QCOMPARE(f.dialogs.shown.last().text, kQuestion);
        }
        const bool loaded = !asked || answer;
        QCOMPARE(f.runEnabled(), loaded);
        QCOMPARE(logLines(f.w).contains(QStringLiteral("Файл обновления успешно загружен")), loaded);
        QCOMPARE(f.text("bl_Program_sheetVers_label"), loaded ? QStringLiteral("5") : QStringLiteral("Не загружено"));
    }
}

void TestUpdateSheet::acceptedFileFillsTheView()
{
    // A serial number above the spin box's range lands on its maximum.
    ViewFixture f(10, fwRecord(4000000000u, 0, 0, 1, QDate(2020, 1, 1)));
    static const char raw[] = "Строка 1\nСтрока 2\0мусор";
    const QByteArray notes(raw, int(sizeof raw) - 1);
    const QString path = writeUpdateFile(f.dir, "pc.rbin", UpdateFileWriter::randomImage(8, 4), header(11, 12, QDate(2026, 7, 4), 5, notes));
    auto expected = std::make_unique<UpdateSheet>();
    QVERIFY(expected->read(path));
    f.choose(path);
    QCOMPARE(f.questions(), 0);
    QCOMPARE(f.text("bl_Program_sheetSize_label"), QStringLiteral("8192"));
    QCOMPARE(f.text("bl_Program_sheetCRC_label"), QStringLiteral("0x") + QString::number(expected->imageCrc(), 16));
    QCOMPARE(f.text("bl_Program_sheetVers_label"), QStringLiteral("12"));
    QCOMPARE(f.text("bl_Program_sheetDate_label"), QStringLiteral("04.07.2026"));
    QCOMPARE(f.text("bl_Program_support_versHW_label"), QStringLiteral("5"));
    QCOMPARE(widget<QPlainTextEdit>(f.w, "bl_sheetNotes_plainText")->toPlainText(), QStringLiteral("Строка 1\nСтрока 2"));
    QCOMPARE(widget<QSpinBox>(f.w, "bl_Program_SN_SpinBox")->value(), 429496729);
    QVERIFY(f.runEnabled());

    // A smaller serial number is taken as it is.
    f.boardRecord(fwRecord(123456, 0, 0, 1, QDate(2020, 1, 1)));
    f.choose(path);
    QCOMPARE(widget<QSpinBox>(f.w, "bl_Program_SN_SpinBox")->value(), 123456);
}

void TestUpdateSheet::rejectedOrDeclinedFileIsNeverProgrammed()
{
    ViewFixture f(0, fwRecord(5, 0, 0, 5, QDate(2024, 2, 1)));
    const QByteArray imageA = UpdateFileWriter::randomImage(2, 100);
    const QString fileA = writeUpdateFile(f.dir, "a.rbin", imageA, header(1, 9, QDate(2025, 1, 1), 1, "A"));
    const QString wrongDevice = writeUpdateFile(f.dir, "pc.rbin", UpdateFileWriter::randomImage(3, 101), header(11, 9, QDate(2025, 1, 1)));
    const QString older = writeUpdateFile(f.dir, "old.rbin", UpdateFileWriter::randomImage(4, 102), header(1, 5, QDate(2024, 2, 1), 1, "B"));
    f.choose(fileA);
    const QStringList labels = {f.text("bl_Program_sheetSize_label"), f.text("bl_Program_sheetCRC_label"),
                                f.text("bl_Program_sheetVers_label"), f.text("bl_Program_sheetDate_label")};

    f.choose(wrongDevice);
    QCOMPARE(f.dialogs.shown.last().kind, QStringLiteral("warning"));
    QCOMPARE(f.dialogs.shown.last().title, QStringLiteral("Ошибка"));
    QCOMPARE(f.dialogs.shown.last().text, kWrongDevice);
    f.dialogs.questionAnswers.enqueue(false);
    f.choose(older);
    QCOMPARE(f.dialogs.shown.last().kind, QStringLiteral("question"));

    const QStringList after = {f.text("bl_Program_sheetSize_label"), f.text("bl_Program_sheetCRC_label"),
                               f.text("bl_Program_sheetVers_label"), f.text("bl_Program_sheetDate_label")};
    QCOMPARE(after, labels);
    QCOMPARE(widget<QPlainTextEdit>(f.w, "bl_sheetNotes_plainText")->toPlainText(), QStringLiteral("A"));
    QVERIFY(f.runEnabled());

    // The run button still programs file A: its first page goes on the wire.
    const QByteArray frame = f.firstPageFrame();
    QCOMPARE(frame.size(), 1031);
    QCOMPARE(frame.mid(5, 1024), imageA.left(1024));
    // And the record to be written describes file A.
    QCOMPARE(f.w.engine().fwConfigRecord()[rec::fwcfg::kFwVersion], uint8_t(9));
    QCOMPARE(f.w.engine().fwConfigRecord()[rec::fwcfg::kBuildYear], uint8_t(25));
}

void TestUpdateSheet::shortImageIsNotStarted()
{
    ViewFixture f(0, fwRecord(5, 0, 0, 1, QDate(2020, 1, 1)));
    // An empty image is whole (no page) and its checksum agrees, so only the run refuses it.
    QByteArray file = UpdateFileWriter::build(UpdateFileWriter::randomImage(1, 1), header(1, 2, QDate(2024, 1, 1)));
    le::put16(reinterpret_cast<uint8_t*>(file.data()) + UpdateSheet::kImageLength, 0);
    le::put16(reinterpret_cast<uint8_t*>(file.data()) + UpdateSheet::kImageCrc, 0xFFFF);
    f.choose(writeFile(f.dir, "s.rbin", file));
    QVERIFY(f.runEnabled());
    widget<QSpinBox>(f.w, "bl_Program_SN_SpinBox")->setValue(31337);
    QSignalSpy transmitted(&f.w.engine(), &proto_Vorlen_v2::_transmit_data);
    f.w.on_bl_Program_Run_Button_clicked();
    QCOMPARE(logLines(f.w).last(), QStringLiteral("ПРОГРАММИРОВАНИЕ::: Ошибка файл прошивки, размер данных менее 1024 байт"));
    QCOMPARE(transmitted.count(), 0);
    QVERIFY(!f.w.engine().isProgramming());
    // The record fields were prepared before the size check.
    QCOMPARE(le::u32(f.w.engine().fwConfigRecord()), 31337u);
    QCOMPARE(f.w.engine().fwConfigRecord()[rec::fwcfg::kFwVersion], uint8_t(2));

    // In a main program the gate refuses before anything else.
    feedStatus(f.w.engine(), 1, 0);
    f.w.engine().stampFwConfig(0, 0, 0, 0, 0);
    transmitted.clear();   // what the status view asks of a main program
    f.w.on_bl_Program_Run_Button_clicked();
    QCOMPARE(f.dialogs.shown.last().kind, QStringLiteral("gate"));
    QCOMPARE(le::u32(f.w.engine().fwConfigRecord()), 0u);
    QCOMPARE(transmitted.count(), 0);
}

void TestUpdateSheet::configurationLabels()
{
    ViewFixture f(0, QByteArray(60, '\0'));
    const char* names[] = {"bl_fwConf_sn_label", "bl_fwConf_CRC_label", "bl_fwConf_len_label", "bl_fwConf_date_label",
                           "bl_fwConf_vers_label"};
    auto feed = [&f](const QByteArray& record) { f.boardRecord(record); };
    feed(fwRecord(4294967295u, 0x00FF, 4096, 17, QDate(2023, 11, 30)));
    QCOMPARE(f.text("bl_fwConf_status_label"), QStringLiteral("Успешно"));
    QCOMPARE(f.text("bl_fwConf_sn_label"), QStringLiteral("4294967295"));
    QCOMPARE(f.text("bl_fwConf_CRC_label"), QStringLiteral("0xff"));
    QCOMPARE(f.text("bl_fwConf_len_label"), QStringLiteral("4096 байт"));
    QCOMPARE(f.text("bl_fwConf_vers_label"), QStringLiteral("17"));
    QCOMPARE(f.text("bl_fwConf_date_label"), QStringLiteral("30.11.2023"));

    feed(fwRecord(1, 0xABCD, 0, 1, QDate()));   // an impossible date shows empty
    QCOMPARE(f.text("bl_fwConf_date_label"), QString());
    QCOMPARE(f.text("bl_fwConf_CRC_label"), QStringLiteral("0xabcd"));

    feedStatus(f.w.engine(), 0, 0, 2);   // configuration not valid
    feed(fwRecord(99, 0x1234, 2048, 3, QDate(2024, 1, 1)));
    QCOMPARE(f.text("bl_fwConf_status_label"), QStringLiteral("Ошибка. Данные недостоверны"));
    for (const char* name : names)
        QCOMPARE(f.text(name), QStringLiteral("Недоступно"));
}

void TestUpdateSheet::progressBarColours()
{
    ViewFixture f(0, QByteArray(60, '\0'));
    auto* bar = widget<QProgressBar>(f.w, "bl_Program_ProgressBar");
    QCOMPARE(bar->value(), 0);
    emit f.w.engine().cmd_program_progress(0, true);
    emit f.w.engine().cmd_program_progress(20, true);
    QVERIFY(bar->styleSheet().contains(QStringLiteral("background-color: green")));
    emit f.w.engine().cmd_program_progress(40, false);
    QCOMPARE(bar->value(), 40);
    QCOMPARE(bar->styleSheet(), QStringLiteral("QProgressBar { border: 2px solid grey; text-align: middle; border-radius: "
                                               "5px;} QProgressBar::chunk {background-color: red; width: 10px;}"));
    emit f.w.engine().cmd_program_progress(0, true);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->styleSheet(), QStringLiteral("QProgressBar { border: 2px solid grey; text-align: middle; border-radius: "
                                               "5px;} QProgressBar::chunk {background-color: green; width: 10px;}"));
}

QTEST_MAIN(TestUpdateSheet)
#include "test_update_sheet.moc"
