// Firmware programming on the simulated board: frames, progress, log lines
// and the board's memory for every way a run ends; replies a broken board
// sends, fed in; the window's file checks, locks and bar; and the board a
// chosen file and record belong to.
#include <QProgressBar>
#include <QSpinBox>
#include <QTabBar>
#include <functional>

#include "BoardBench.h"
#include "LittleEndian.h"
#include "UpdateSheet.h"

using vboard::BoardServer;
using vboard::Program;

namespace {

const QString kPrefix = QStringLiteral("ПРОГРАММИРОВАНИЕ::: ");
const QString kSuccess = kPrefix + QStringLiteral("Запись программы и верификация пройдены успешно!");
const QString kVerifyFailed = kPrefix + QStringLiteral("Ошибка верификации");
const QString kConfigFailed = kPrefix + QStringLiteral("Верификация программной конфигурации не пройдена!");
const QString kClosed = kPrefix + QStringLiteral("ОШИБКА - порт закрыт, программирование прервано");

uint16_t crcOf(const QByteArray& b) { return Crc16().calc(u8(b), uint16_t(b.size())); }
QByteArray record(const proto_Vorlen_v2& e) { return QByteArray(reinterpret_cast<const char*>(e.fwConfigRecord()), 60); }
QByteArray file(const QByteArray& image, uint8_t target = 1, uint8_t version = 200)
{
    return UpdateFileWriter::build(image, bench::header(target, version, QDate(2026, 11, 20), 4));
}

// Runs the event loop until done() holds, woken by every event rather than on a fixed step.
bool until(const std::function<bool()>& done)
{
    QTimer beat;
    beat.start(20);
    QDeadlineTimer limit(20000);
    while (!done() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// The window on a simulated board, with the run's progress and the board's memory at hand.
struct Rig : bench::Bench {
    explicit Rig(vboard::BoardType type = vboard::BoardType::Physics, Program program = Program::Bootloader)
        : Bench(type, program)
    {
        QObject::connect(&eng(), &proto_Vorlen_v2::cmd_program_progress,
                         [this](uint8_t p, bool ok) { progress << QString::number(p) + (ok ? "" : "!"); });
    }
    proto_Vorlen_v2& eng() const { return window->engine(); }
    bool ended() const { return until([this] { return !eng().isProgramming(); }); }
    bool recordRead() const { return until([this] { return eng().fwConfigFromBoard() && idle(); }); }
    void choose(const QByteArray& bytes) { dialogs.fileAnswers.enqueue(writeFile("f.rbin", bytes)), click("bl_choose_Sheet_Button"); }
    QStringList prog() const { return lines("log_Edit").filter(kPrefix).replaceInStrings(QRegularExpression(".*" + kPrefix), kPrefix); }
    QByteArray memory(int pages = 8) const
    {
        QByteArray out = server->board().fwConfig();
        for (int i = 0; i < pages; ++i)
            out += server->board().flashPage(i);
        return out;
    }
    QStringList progress;
};

} // namespace

class TestProgramming : public QObject
{
    Q_OBJECT
private slots:
    void runs_data();
    void runs();
    void fedReplies_data();
    void fedReplies();
    void window_data();
    void window();
    void recordOfTheBoardItRunsOn();
};

void TestProgramming::runs_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("codes");   // the image has as many pages as page writes, at least one
    QTest::addColumn<QString>("progress");
    QTest::addColumn<QString>("last");
    const QString one = "0 20 40 60 80 100", refused = "0 20!",
                  wrong = kPrefix + "ОШИБКА - файл обновления не предназначен для подключённого устройства, запись не начата";
    QTest::newRow("1 page") << "" << 1 << "00 80 81 82 83" << one << kSuccess;
    QTest::newRow("3 pages") << "" << 1 << "00 80 81 80 81 80 81 82 83" << "0 11 22 33 44 55 66 77 88 100" << kSuccess;
    QTest::newRow("2 pages reach 100") << "" << -1 << "00 80 81 80 81 82 83" << "0 14 28 42 57 71 85 100" << kSuccess;
    QTest::newRow("7 pages reach 100") << "" << -1 << "00" + QString(" 80 81").repeated(7) + " 82 83"
                                       << "0 5 11 17 23 29 35 41 47 52 58 64 70 76 82 88 94 100" << kSuccess;
    QTest::newRow("photocolorimeter file, its bootloader") << "pc" << 11 << "00 80 81 82 83" << one << kSuccess;
    QTest::newRow("lab file, photocolorimeter") << "pc" << 1 << "00" << refused << wrong;
    QTest::newRow("photocolorimeter file, lab") << "" << 11 << "00" << refused << wrong;
    QTest::newRow("target 0") << "" << 0 << "00" << refused << wrong;
    QTest::newRow("main program") << "main" << 1 << "00" << refused << kPrefix + "ОШИБКА - не установлен режим "
                                     "бутлоадера. Запустите программму бутлоадера командой во вкладке ОБЩЕЕ";
    QTest::newRow("page 1 reads back wrong") << "page" << 1 << "00 80 81 80 81" << "0 14 28 42 57 71!" << kVerifyFailed;
    QTest::newRow("record reads back wrong") << "record" << 1 << "00 80 81 82 83" << one + "!" << kConfigFailed;
    QTest::newRow("main program after the status") << "main later" << 1 << "00 80" << "0 20"
                                                   << kPrefix + "ОШИБКА - принят неожидаемый ответ";
    QTest::newRow("silent at the read-back") << "silent" << 1 << "00 80 81 81 81" << "0 20 40" << kPrefix + "Завершено";
}

// A run of the engine on the board: every frame it sent, its progress, its
// last line, what the board holds; nothing is left to repeat afterwards.
void TestProgramming::runs()
{
    QFETCH(QString, fault);
    QFETCH(QString, codes);
    QFETCH(int, target);
    const int pages = qMax(1, codes.count("80"));
    Rig r(fault == "pc" ? vboard::BoardType::Photocolorimeter : vboard::BoardType::Physics,
          fault == "main" ? Program::Main : Program::Bootloader);
    QVERIFY(r.startAndOpen());
    BoardServer& s = *r.server;
    s.board().setFlashPage(pages, QByteArray(1024, char(0x3C)));   // past the image: kept
    s.board().corruptPageOnRead(fault == "page" ? 1 : -1, 700);
    s.board().corruptFwConfigOnRead(fault == "record");
    QObject::connect(&s, &BoardServer::replySent, [&](const QByteArray& f) {
        if (fault == "main later" && FrameCodec::code(f) == rec::cmd::getInfo)
            s.board().setProgram(Program::Main);
    });
    QObject::connect(&s, &BoardServer::requestReceived,
                     [&](const QByteArray& f) { s.setAnswering(fault != "silent" || FrameCodec::code(f) != 0x81); });
    const QByteArray before = r.memory();
    QByteArray image, stamped;
    // A checksum below 0x1000 is logged without leading zeros.
    for (uint32_t seed = 1; image.isEmpty() || crcOf(image) >= 0x1000; ++seed)
        image = UpdateFileWriter::randomImage(uint32_t(pages), seed);
    r.eng().stampFwConfig(4711, 7, 17, 5, 24);
    stamped = record(r.eng());
    le::put16(raw(stamped) + rec::fwcfg::kFwCrc, crcOf(image));
    le::put16(raw(stamped) + rec::fwcfg::kFwLength, uint16_t(image.size()));
    s.clearRequests();
    r.eng().startProgramming(u8(image), uint32_t(image.size()), target);
    QVERIFY(r.ended() && r.idle());
    QList<QByteArray> frames{bench::hex("aa060000c1fd")};
    for (int i = 1, n = 0; i < codes.split(' ').size(); ++i) {
        const QString c = codes.split(' ')[i];
        const QByteArray page = QByteArray(1, char(n)) + (c == "80" ? image.mid(n * 1024, 1024) : "");
        frames << (c == "82" ? wireFrame(0x82, stamped) : wireFrame(uint8_t(c.toInt(nullptr, 16)), c == "83" ? "" : page));
        n += c == "81" && fault != "silent";
    }
    QCOMPARE(s.requests(), frames);
    QTEST(r.progress.join(' '), "progress");
    QTEST(r.prog().last(), "last");
    const QByteArray now = r.memory();
    QCOMPARE(now.left(60), codes.contains("82") ? stamped : before.left(60));
    if (!codes.contains("80") || codes.endsWith("83"))
        QCOMPARE(now.mid(60), codes.contains("80") ? image + before.mid(60 + image.size()) : before.mid(60));
    if (QTest::currentDataTag() != QByteArray("1 page"))
        return;
    const QStringList all = QString("Режим бутлоадера проверен|Старт программирования, запись страницы 0|Успешно записана "
                                    "0 страница памяти. Всего :1024 байт|Успешно прочитана 0 страница памяти|Верификация "
                                    "страницы 0 успешной пройдена|Контрольная сумма прошивки файла равна: 0х%1|Запрос на "
                                    "запись программной конфигурации|Успешная запись конфигурации|Запрос на верификацию "
                                    "программной конфигурации|Успешное чтение конфигурации|Запись программы и верификация "
                                    "пройдены успешно!").arg(crcOf(image), 0, 16).split('|').replaceInStrings(QRegularExpression("^"), kPrefix);
    QCOMPARE(r.prog(), all);
    // A request's own start line comes before the line that announces it.
    QVERIFY(r.indexInLog("СТАРТ - Запрос на запись страницы FLASH памяти № 0") < r.indexInLog(all[1]));
    QVERIFY(r.indexInLog("(set_FW_Config)") < r.indexInLog(all[6]));
}

void TestProgramming::fedReplies_data()
{
    QTest::addColumn<int>("size");            // of a second start (-1: none; negative: no buffer)
    QTest::addColumn<QByteArray>("tamper");   // given instead of the board's reply to that request
    QTest::addColumn<QString>("progress");
    QTest::addColumn<QString>("last");
    const QByteArray ff(1024, char(0xFF)), none;
    const QString bad = kPrefix + "ОШИБКА - размер образа прошивки ", done = "0 14 28 42 57 71 85 100", failed = "0 0!";
    QTest::newRow("answered in full") << -1 << none << done << kSuccess;
    // Two identical pages: the engine's page buffer already holds what page 1 should read back.
    QTest::newRow("page 1 read back short") << -1 << wireFrame(0x81, "\1" + ff.left(1000)) << "0 14 28 42 57 71!" << kVerifyFailed;
    QTest::newRow("page 0 given for page 1") << -1 << wireFrame(0x81, '\0' + ff) << "0 14 28 42 57 71!" << kVerifyFailed;
    QTest::newRow("record read back short") << -1 << wireFrame(0x83, QByteArray(40, 0)) << done + "!" << kConfigFailed;
    QTest::newRow("status too short") << -1 << wireFrame(0x00, QByteArray(2, 0)) << "0 14!"
                                      << kPrefix + "ОШИБКА - статус устройства не получен, режим бутлоадера не проверен";
    // A refused start also ends the run in progress.
    QTest::newRow("empty") << 0 << none << failed << kPrefix + "ОШИБКА - образ прошивки пуст";
    QTest::newRow("no buffer") << -2048 << none << failed << kPrefix + "ОШИБКА - образ прошивки пуст";
    QTest::newRow("1500") << 1500 << none << failed << bad + "не кратен 1024 байтам";
    QTest::newRow("1023") << 1023 << none << failed << bad + "не кратен 1024 байтам";
    QTest::newRow("64 KB") << 65536 << none << failed << bad + "больше 65535 байт";
    QTest::newRow("256 KB") << 262144 << none << failed << bad + "больше 65535 байт";
}

// Only a read-back that really carried the page or the record passes; the
// caller's buffer may change once the run has started; replies outside a
// run change nothing.
void TestProgramming::fedReplies()
{
    QFETCH(int, size);
    QFETCH(QByteArray, tamper);
    Rig r;
    feedReply(r.eng(), 0x81, QByteArray(1025, 0));
    QVERIFY(r.sent.isEmpty() && r.progress.isEmpty());
    QByteArray callers(qMax(2048, size), char(0xFF)), written;
    QSignalSpy steps(&r.eng().firmwareProgrammer(), &FirmwareProgrammer::stepEntered);
    r.eng().startProgramming(u8(callers), 2048);
    if (size != -1)
        r.eng().startProgramming(size < 0 ? nullptr : u8(callers), uint32_t(qAbs(size)));
    callers.fill(0);
    for (int i = 0; i < 12 && r.eng().isProgramming(); ++i) {
        const QByteArray payload = FrameCodec::payload(r.sent.last());
        const uint8_t code = FrameCodec::code(r.sent.last());
        written = code == rec::cmd::setFwConfig ? payload : written;
        QByteArray reply = wireFrame(code, code == 0 ? QByteArray(9, 0) : code == 0x80 ? payload.left(1)
                                           : code == 0x81 ? payload + QByteArray(1024, char(0xFF)) : code == 0x83 ? written : "");
        if (!tamper.isEmpty() && FrameCodec::code(tamper) == code && (code != 0x81 || payload.at(0) == 1))
            reply = tamper;
        r.eng().parseReceived(raw(reply), uint32_t(reply.size()));
    }
    QVERIFY(!r.eng().isProgramming());
    QTEST(r.progress.join(' '), "progress");
    QCOMPARE(steps.count(), int(r.eng().firmwareProgrammer().stepsDone()) + (size == -1 ? 1 : 2));
    for (const QByteArray& f : r.sent)
        if (FrameCodec::code(f) == rec::cmd::flashWrite)
            QCOMPARE(FrameCodec::payload(f).mid(1), QByteArray(1024, char(0xFF)));
    const QStringList lines = r.prog();
    const int writes = r.sentCount(rec::cmd::flashWrite);
    QTEST(lines.last(), "last");
    feedStatus(r.eng(), 0);
    feedReply(r.eng(), 0x83, written);
    feedReply(r.eng(), 0x80, QByteArray(1, 0));
    QVERIFY(r.prog() == lines && r.sentCount(rec::cmd::flashWrite) == writes);
}

void TestProgramming::window_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("reasons");
    QTest::addColumn<QString>("last");
    const QByteArray good = file(UpdateFileWriter::randomImage(3, 81));
    const QString p = "Файл обновления повреждён: ";
    auto crcLine = [&](const QByteArray& f) {
        return p + QStringLiteral("контрольная сумма образа 0x%1 не совпадает с указанной в заголовке 0x%2")
                       .arg(crcOf(f.mid(int(UpdateSheet::kImage), 3072).leftJustified(3072, '\0')), 0, 16)
                       .arg(le::u16(u8(good) + UpdateSheet::kImageCrc), 0, 16);
    };
    QByteArray damaged = good, part = good;
    damaged[int(UpdateSheet::kImage) + 2000] = char(damaged[int(UpdateSheet::kImage) + 2000] ^ 0x10);
    le::put16(raw(part) + UpdateSheet::kImageLength, 1500);   // its checksum agrees with its 1500 bytes
    le::put16(raw(part) + UpdateSheet::kImageCrc, crcOf(part.mid(int(UpdateSheet::kImage), 1500)));
    QTest::newRow("success") << good << QStringList() << kSuccess;
    QTest::newRow("page fails verification") << good << QStringList() << kVerifyFailed;
    QTest::newRow("port lost") << good << QStringList() << kClosed;
    QTest::newRow("port closed by the user") << good << QStringList() << kClosed;
    QTest::newRow("cut to 6 KB") << good.left(6144) << QStringList{p + "размер файла 6144 байт, а должен быть 101376 байт",
                                    p + "образ прошивки (3072 байт) выходит за конец файла", crcLine(good.left(6144))} << "";
    QTest::newRow("longer") << good + "x" << QStringList{p + "файл длиннее 101376 байт"} << "";
    QTest::newRow("damaged image") << damaged << QStringList{crcLine(damaged)} << "";
    QTest::newRow("not whole pages") << part << QStringList{p + "длина образа прошивки 1500 байт не кратна странице (1024 байт)"} << "";
}

// A file chosen and run from the window: damaged files refused; the run's
// controls locked and given back their own states, clicks refused while it
// goes on; the bar and the record shown afterwards.
void TestProgramming::window()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, reasons);
    QFETCH(QString, last);
    const QByteArray tag = QTest::currentDataTag(), image = bytes.mid(int(UpdateSheet::kImage), 3072);
    Rig r;
    QVERIFY(r.startAndOpen());
    r.tabs("cmds")->setCurrentIndex(1);   // reads the board's record
    QVERIFY(r.recordRead());
    const QByteArray before = r.memory();
    const int from = r.lines("log_Edit").size();
    r.choose(bytes);
    const QStringList added = r.lines("log_Edit").mid(from).replaceInStrings(QRegularExpression("^.{24}"), "");
    QCOMPARE(added.filter("повреждён"), reasons);
    QCOMPARE(added.contains("Файл обновления успешно загружен"), reasons.isEmpty());
    QCOMPARE(r.text("bl_Program_sheetSize_label"), QString(reasons.isEmpty() ? "3072" : "Не загружено"));
    r.server->clearRequests();
    r.widget<QSpinBox>("bl_Program_SN_SpinBox")->setValue(777001);
    r.button("bl_fwConf_request_button")->setEnabled(false);   // off before the run, off after it
    const QList<QWidget*> locked = {r.tabs("cmds")->tabBar(), r.widget("dev_info"), r.button("bl_fwConf_request_button"),
                                    r.button("bl_choose_Sheet_Button"), r.button("bl_Program_Run_Button"),
                                    r.widget("hwConfig_GroupBox"), r.widget("bl_atCmd_GroupBox")};
    auto states = [&] { QString s; for (QWidget* w : locked) s += w->testAttribute(Qt::WA_ForceDisabled) ? '0' : '1'; return s; };
    QCOMPARE(states(), QString(reasons.isEmpty() ? "1101111" : "1101011"));
    r.server->board().corruptPageOnRead(tag == "page fails verification" ? 1 : -1, 9);
    QObject::connect(r.server.get(), &BoardServer::requestReceived, [&](const QByteArray& f) {
        if (FrameCodec::payload(f).at(0) == 1 && FrameCodec::code(f) == rec::cmd::flashWrite) {
            QCOMPARE(states(), QString("0000000"));
            r.tabs("cmds")->setCurrentIndex(0);   // auto-update asks for the status
            r.window->on_getInfo_Button_clicked();
            r.dialogs.fileAnswers.enqueue(r.writeFile("b.rbin", file(image, 1, 201)));
            r.window->on_bl_choose_Sheet_Button_clicked();
        } else if (FrameCodec::payload(f).at(0) == 1 && FrameCodec::code(f) == rec::cmd::flashRead) {
            if (tag == "port lost")
                r.server->disconnectNow();
            else if (tag == "port closed by the user")
                r.click("serialPortAction_Button");   // the port can always be closed
        }
    });
    r.click("bl_Program_Run_Button");
    QVERIFY(r.ended());
    if (!reasons.isEmpty()) {
        QVERIFY(r.server->requests().isEmpty() && r.memory() == before);
        return;
    }
    QCOMPARE(r.countLog("Идёт программирование: запрос не отправлен"), 2);
    QCOMPARE(r.countLog(kPrefix + "Идёт программирование, выбор другого файла недоступен"), 1);
    QCOMPARE(r.text("bl_Program_sheetVers_label"), QStringLiteral("200"));
    QCOMPARE(states(), QString("1101111"));
    QCOMPARE(r.prog().last(), last);
    QVERIFY(r.idle() && r.isOpen() == !tag.startsWith("port"));
    const auto* bar = r.widget<QProgressBar>("bl_Program_ProgressBar");
    if (last == kVerifyFailed)
        QVERIFY(bar->value() == 55 && bar->styleSheet().contains("background-color: red") && r.requests(0x81).size() == 2);
    if (last != kSuccess)
        return;
    QVERIFY(bar->value() == 100 && bar->styleSheet().contains("background-color: green") && r.server->requests().size() == 9);
    QVERIFY(r.memory(3) == record(r.eng()) + image && r.server->board().fwConfig() == record(r.eng()));
    const QStringList shown{r.text("bl_fwConf_sn_label"), r.text("bl_fwConf_len_label"), r.text("bl_fwConf_vers_label"),
                            r.text("bl_fwConf_date_label"), r.text("bl_fwConf_CRC_label")};
    QCOMPARE(shown, (QStringList{"777001", "3072 байт", "200", "20.11.2026", "0x" + QString::number(crcOf(image), 16)}));
    r.tabs("cmds")->setCurrentIndex(1);   // after the run the status tab asks again
    r.tabs("cmds")->setCurrentIndex(0);
    QTRY_COMPARE(r.requests(rec::cmd::getInfo).size(), 2);
}

// A file and a record taken from one board are never used on the board that
// answers after the port was closed and opened again.
void TestProgramming::recordOfTheBoardItRunsOn()
{
    Rig r;
    QVERIFY(r.startAndOpen());
    r.tabs("cmds")->setCurrentIndex(1);
    QVERIFY(r.recordRead());
    const QByteArray lab = file(UpdateFileWriter::randomImage(2, 71));
    r.choose(file(UpdateFileWriter::randomImage(2, 71), 11));
    QCOMPARE(r.dialogs.shown.last().text, QStringLiteral("Файл обновления не предназначен для данного устройства!"));
    r.choose(lab);
    QCOMPARE(uint32_t(r.widget<QSpinBox>("bl_Program_SN_SpinBox")->value()), le::u32(u8(r.server->board().fwConfig())));
    r.click("serialPortAction_Button");
    QByteArray other = r.server->board().fwConfig();   // another board: its own serial number and bytes
    r.server->board().setFwConfig(other.replace(0, 32, QByteArray(32, char(0x05))));
    QVERIFY(r.openAndWaitStatus());
    const QByteArray before = r.memory();
    r.click("bl_Program_Run_Button");   // still enabled with the file chosen before
    QCOMPARE(r.prog().last(), kPrefix + "ОШИБКА - устройство переподключено после выбора файла обновления. Выберите файл снова");
    QVERIFY(!r.eng().isProgramming() && r.memory() == before);
    r.choose(lab);   // before this board's record was read
    QCOMPARE(r.prog().last(), kPrefix + "ОШИБКА - конфигурация прошивки не прочитана с подключённого устройства. "
                                        "Нажмите «Запросить» и выберите файл снова");
    QCOMPARE(record(r.eng()), QByteArray(60, 0));
    r.click("bl_fwConf_request_button");
    QVERIFY(r.recordRead());
    r.choose(lab);
    r.click("bl_Program_Run_Button");
    QVERIFY(r.ended());
    QCOMPARE(r.prog().last(), kSuccess);
    QVERIFY(r.memory(2).mid(60) == lab.mid(int(UpdateSheet::kImage), 2048) && r.server->board().fwConfig().left(32) == other.left(32));
}

QTEST_MAIN(TestProgramming)
#include "test_programming.moc"
