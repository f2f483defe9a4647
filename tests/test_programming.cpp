// Firmware programming, writes over a faulty line and rconf-cli against simulated boards: what the board received
// and holds, progress, log lines, the window's file checks, locks and bar, exit codes and summaries.
#include <QJsonDocument>
#include <QProcess>
#include <QProgressBar>
#include <QSpinBox>
#include <QTabBar>

#include "BoardBench.h"
#include "CliApp.h"
#include "LinkHealth.h"
#include "LittleEndian.h"
#include "UpdateSheet.h"

using namespace vboard;

namespace {

const QString kPrefix = QStringLiteral("ПРОГРАММИРОВАНИЕ::: ");
const QString kSuccess = kPrefix + QStringLiteral("Запись программы и верификация пройдены успешно!");
const QString kVerifyFailed = kPrefix + QStringLiteral("Ошибка верификации");
const QString kConfigFailed = kPrefix + QStringLiteral("Верификация программной конфигурации не пройдена!");

uint16_t crcOf(const QByteArray& b) { return Crc16().calc(u8(b), uint16_t(b.size())); }
QByteArray record(const proto_Vorlen_v2& e) { return QByteArray(reinterpret_cast<const char*>(e.fwConfigRecord()), 60); }
QByteArray randomBytes(int n, uint32_t seed) { return UpdateFileWriter::randomImage(uint32_t(n / 1024 + 1), seed).left(n); }
QByteArray file(const QByteArray& image, uint8_t target = 1) { return UpdateFileWriter::build(image, bench::header(target, 200)); }
QString codesOf(const BoardServer& s)
{
    QStringList out;
    for (const QByteArray& f : s.requests())
        out << QByteArray(1, f.at(3)).toHex();
    return out.join(' ');
}

// Runs the event loop until done() holds, woken by every event rather than on a fixed step.
bool until(const std::function<bool()>& done)
{
    QTimer beat;
    beat.start(20);
    for (QDeadlineTimer limit(20000); !done() && !limit.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// The window on a simulated board, with the run's progress and the board's memory at hand.
struct Rig : bench::Bench {
    explicit Rig(BoardType type = BoardType::Physics, Program program = Program::Bootloader) : Bench(type, program)
    {
        QObject::connect(&eng(), &proto_Vorlen_v2::cmd_program_progress,
                         [this](uint8_t p, bool ok) { progress << QString::number(p) + (ok ? "" : "!"); });
    }
    proto_Vorlen_v2& eng() const { return window->engine(); }
    bool ended() const { return until([this] { return !eng().isProgramming(); }); }
    bool recordRead() const { return until([this] { return eng().fwConfigFromBoard() && idle(); }); }
    bool ready() { return startAndOpen() && (tabs("cmds")->setCurrentIndex(1), recordRead()); }
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

// rconf-cli run in-process: its exit code and what it printed.
struct Run {
    explicit Run(const QStringList& args)
    {
        QTextStream o(&out), e(&err);
        CliApp cli(Console{&o, &e});
        QSignalSpy finished(&cli, &CliApp::finished);
        code = cli.start(QStringList{"rconf-cli"} + args);
        if (code < 0 && (finished.count() > 0 || finished.wait(60000)))
            code = finished.first().first().toInt();
    }
    QJsonValue json(const QString& key) const { return QJsonDocument::fromJson(out.toUtf8())[key]; }
    int code = -1;
    QString out, err;
};

} // namespace

class TestProgramming : public QObject
{
    Q_OBJECT
    BoardServer* board(BoardType type, Program program, BoardServer::Options o = {})
    {
        o.type = type;
        o.program = program;
        o.linkPath = dir.filePath(QString("board%1").arg(boards.size()));
        o.registerForDiscovery = false;
        o.restartMs = bench::kRestartMs;
        boards.push_back(std::make_unique<BoardServer>(o));
        return boards.back()->start() ? boards.back().get() : nullptr;
    }
    QTemporaryDir dir;
    std::vector<std::unique_ptr<BoardServer>> boards;

private slots:
    void init() { WaitTimes::setDivisor(bench::kWaitDivisor), boards.clear(); }

    void runs_data()
    {
        QTest::addColumn<QString>("on");
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("codes");   // the image has as many pages as page writes, at least one
        QTest::addColumn<QString>("progress");
        QTest::addColumn<QString>("last");
        const QString one = "0 20 40 60 80 100", refused = "0 20!",
                      wrong = kPrefix + "ОШИБКА - файл обновления не предназначен для подключённого устройства, запись не начата";
        QTest::newRow("1 page") << "" << 1 << "00 80 81 82 83" << one << kSuccess;
        QTest::newRow("3 pages") << "" << 1 << "00 80 81 80 81 80 81 82 83" << "0 11 22 33 44 55 66 77 88 100" << kSuccess;
        QTest::newRow("2 pages reach 100") << "" << -1 << "00 80 81 80 81 82 83" << "0 14 28 42 57 71 85 100" << kSuccess;
        QTest::newRow("photocolorimeter file, its bootloader") << "pc" << 11 << "00 80 81 82 83" << one << kSuccess;
        QTest::newRow("lab file, photocolorimeter") << "pc" << 1 << "00" << refused << wrong;
        QTest::newRow("main program") << "main" << 1 << "00" << refused << kPrefix + "ОШИБКА - не установлен режим "
                                         "бутлоадера. Запустите программму бутлоадера командой во вкладке ОБЩЕЕ";
    }

    // The engine's run: requests, progress, last line, what the board holds; nothing left to repeat.
    void runs()
    {
        QFETCH(QString, on);
        QFETCH(QString, codes);
        QFETCH(int, target);
        const int pages = qMax(1, codes.count("80"));
        Rig r(on == "pc" ? BoardType::Photocolorimeter : BoardType::Physics,
              on == "main" ? Program::Main : Program::Bootloader);
        QVERIFY(r.startAndOpen());
        r.server->board().setFlashPage(pages, QByteArray(1024, char(0x3C)));   // past the image: kept
        const QByteArray before = r.memory();
        QByteArray image;
        for (uint32_t seed = 1; image.isEmpty() || crcOf(image) >= 0x1000; ++seed)   // logged without leading zeros
            image = UpdateFileWriter::randomImage(uint32_t(pages), seed);
        r.eng().stampFwConfig(4711, 7, 17, 5, 24);
        QByteArray stamped = record(r.eng());
        le::put16(raw(stamped) + rec::fwcfg::kFwCrc, crcOf(image));
        le::put16(raw(stamped) + rec::fwcfg::kFwLength, uint16_t(image.size()));
        r.server->clearRequests();
        r.eng().startProgramming(u8(image), uint32_t(image.size()), target);
        QVERIFY(r.ended() && r.idle());
        QCOMPARE(codesOf(*r.server), codes);
        QTEST(r.progress.join(' '), "progress");
        QTEST(r.prog().last(), "last");
        QCOMPARE(r.memory(), codes.contains("80") ? stamped + image + before.mid(60 + image.size()) : before);
        if (QTest::currentDataTag() != QByteArray("1 page"))
            return;
        const QStringList all = QString("Режим бутлоадера проверен|Старт программирования, запись страницы 0|Успешно записана "
                                        "0 страница памяти. Всего :1024 байт|Успешно прочитана 0 страница памяти|Верификация "
                                        "страницы 0 успешной пройдена|Контрольная сумма прошивки файла равна: 0х%1|Запрос на "
                                        "запись программной конфигурации|Успешная запись конфигурации|Запрос на верификацию "
                                        "программной конфигурации|Успешное чтение конфигурации|Запись программы и верификация "
                                        "пройдены успешно!").arg(crcOf(image), 0, 16).split('|').replaceInStrings(QRegularExpression("^"), kPrefix);
        QCOMPARE(r.prog(), all);
        QVERIFY(r.indexInLog("СТАРТ - Запрос на запись страницы FLASH памяти № 0") < r.indexInLog(all[1]) &&
                r.indexInLog("(set_FW_Config)") < r.indexInLog(all[6]));   // a request's start line comes first
    }

    void fedReplies_data()
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
        QTest::newRow("64 KB") << 65536 << none << failed << bad + "больше 65535 байт";
    }

    // Only a read-back that carried the page or record passes; the caller's buffer may change once the run has
    // started; replies outside a run change nothing.
    void fedReplies()
    {
        QFETCH(int, size);
        QFETCH(QByteArray, tamper);
        Rig r;
        feedReply(r.eng(), 0x81, QByteArray(1025, 0));
        QVERIFY(r.sent.isEmpty() && r.progress.isEmpty());
        QByteArray callers(qMax(2048, size), char(0xFF)), written;
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
        QTEST(r.progress.join(' '), "progress");
        const QStringList lines = r.prog();
        const int writes = r.sentCount(rec::cmd::flashWrite);
        QTEST(lines.last(), "last");
        feedStatus(r.eng(), 0);
        feedReply(r.eng(), 0x83, written);
        feedReply(r.eng(), 0x80, QByteArray(1, 0));
        QVERIFY(r.prog() == lines && r.sentCount(rec::cmd::flashWrite) == writes);
    }

    void window_data()
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
        QTest::newRow("port lost") << good << QStringList() << kPrefix + "ОШИБКА - порт закрыт, программирование прервано";
        QTest::newRow("cut to 6 KB") << good.left(6144) << QStringList{p + "размер файла 6144 байт, а должен быть 101376 байт",
                                        p + "образ прошивки (3072 байт) выходит за конец файла", crcLine(good.left(6144))} << "";
        QTest::newRow("longer") << good + "x" << QStringList{p + "файл длиннее 101376 байт"} << "";
        QTest::newRow("damaged image") << damaged << QStringList{crcLine(damaged)} << "";
        QTest::newRow("not whole pages") << part << QStringList{p + "длина образа прошивки 1500 байт не кратна странице (1024 байт)"} << "";
    }

    // A file chosen and run from the window: damaged files refused; controls locked and given back their own
    // states, clicks refused during the run; the bar and the record shown afterwards.
    void window()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, reasons);
        QFETCH(QString, last);
        const QByteArray tag = QTest::currentDataTag(), image = bytes.mid(int(UpdateSheet::kImage), 3072);
        Rig r;
        QVERIFY(r.ready());
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
            const bool page1 = FrameCodec::payload(f).startsWith('\x01');   // a status request has no payload
            if (page1 && FrameCodec::code(f) == rec::cmd::flashRead && tag == "port lost")
                r.server->disconnectNow();
            if (!page1 || FrameCodec::code(f) != rec::cmd::flashWrite)
                return;
            QCOMPARE(states() + QString::number(r.button("serialPortAction_Button")->isEnabled()), QString("00000001"));
            r.tabs("cmds")->setCurrentIndex(0);   // auto-update asks for the status
            r.window->on_getInfo_Button_clicked();
            r.dialogs.fileAnswers.enqueue(r.writeFile("b.rbin", UpdateFileWriter::build(image, bench::header(1, 201))));
            r.window->on_bl_choose_Sheet_Button_clicked();
        });
        r.click("bl_Program_Run_Button");
        QVERIFY(r.ended());
        if (!reasons.isEmpty()) {
            QVERIFY(r.server->requests().isEmpty() && r.memory() == before);
            return;
        }
        QVERIFY(r.countLog("Идёт программирование: запрос не отправлен") == 2 &&
                r.countLog(kPrefix + "Идёт программирование, выбор другого файла недоступен") == 1);
        QCOMPARE(states(), QString("1101111"));
        QCOMPARE(r.prog().last(), last);
        QVERIFY(r.idle() && r.isOpen() == (tag != "port lost"));
        const auto* bar = r.widget<QProgressBar>("bl_Program_ProgressBar");
        if (last == kVerifyFailed)
            QVERIFY(bar->value() == 55 && bar->styleSheet().contains("background-color: red") && r.requests(0x81).size() == 2);
        if (last != kSuccess)
            return;
        QVERIFY(bar->value() == 100 && bar->styleSheet().contains("background-color: green") && r.server->requests().size() == 9);
        QVERIFY(r.memory(3) == record(r.eng()) + image && r.server->board().fwConfig() == record(r.eng()));
        const QStringList shown{r.text("bl_fwConf_status_label"), r.text("bl_fwConf_sn_label"), r.text("bl_fwConf_len_label"),
                                r.text("bl_fwConf_vers_label"), r.text("bl_fwConf_date_label"), r.text("bl_fwConf_CRC_label")};
        QCOMPARE(shown, (QStringList{"Успешно", "777001", "3072 байт", "200", "17.05.2024", "0x" + QString::number(crcOf(image), 16)}));
        r.tabs("cmds")->setCurrentIndex(1);   // after the run the status tab asks again
        r.tabs("cmds")->setCurrentIndex(0);
        QTRY_COMPARE(r.requests(rec::cmd::getInfo).size(), 2);
    }

    // A file and record taken from one board are never used on the board that answers after the port reopened.
    void recordOfTheBoardItRunsOn()
    {
        Rig r;
        QVERIFY(r.ready());
        const QByteArray lab = file(UpdateFileWriter::randomImage(2, 71));
        r.choose(lab);
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

    void badLine_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("replies lost") << "lost";
        QTest::newRow("replies damaged") << "damaged";
        QTest::newRow("replies split") << "split";
        QTest::newRow("replies late") << "late";   // under the reply time
        QTest::newRow("board vanishes before a write") << "vanish before";
        QTest::newRow("board vanishes after a write") << "vanish after";
    }

    // Firmware, hardware configuration and user calibration over a line with one fault: each ends by itself, holds
    // old or new data, never a mixture, success and read-backs tell the truth; the link health counts the line.
    void badLine()
    {
        QFETCH(QString, fault);
        WaitTimes::setDivisor(8);
        BoardServer::Options o;
        o.dropProbability = fault == "lost" ? 0.25 : 0;
        o.corruptProbability = fault == "damaged" ? 0.25 : 0;
        o.split = fault == "split";
        o.delayMs = fault == "late" ? 60 : 0;
        BoardServer* server = board(BoardType::Physics, Program::Bootloader, o);
        QVERIFY(server);
        VirtualBoard& lab = server->board();
        proto_Vorlen_v2 engine;
        Oru_SerialPort link;
        LinkHealth health;
        health.attach(&engine);
        QStringList lines;
        QObject::connect(&engine, &proto_Vorlen_v2::_transmit_data, &link, &Oru_SerialPort::send);
        QObject::connect(&link, &Oru_SerialPort::_data_recevied, &engine, &proto_Vorlen_v2::parseReceived);
        QObject::connect(&engine, &proto_Vorlen_v2::log, [&](const QString& l) { lines << l; });
        bool armed = true;   // the board vanishes at the first write of each step
        const QList<int> writes{rec::cmd::flashWrite, rec::cmd::setHwConfig, rec::cmd::setUserData};
        QObject::connect(server, &BoardServer::requestReceived, [&](const QByteArray& f) {
            if (!fault.startsWith("vanish") || !armed || !writes.contains(uint8_t(f.at(3))))
                return;
            armed = false;
            QTimer::singleShot(0, server, [&] { server->disconnectNow(); });   // once the board has carried it out
            if (fault.endsWith("before"))
                server->disconnectNow();
        });
        auto open = [&] { return link.openPort(server->linkPath(), 115200, 8, 'n', 1) == 0; };
        auto reopen = [&] {   // brings a vanished board back for the read-back and the next step
            if (!server->isUp())
                server->reconnect(), link.closePort();
            armed = true;
            return until([&] { return link.isOpen() || open(); });
        };
        QVERIFY(open());
        const QByteArray image = randomBytes(2048, 2);
        engine.stampFwConfig(4711, 7, 17, 5, 24);
        QByteArray stamped = record(engine);
        le::put16(raw(stamped) + rec::fwcfg::kFwCrc, crcOf(image));
        le::put16(raw(stamped) + rec::fwcfg::kFwLength, 2048);
        engine.startProgramming(u8(image), 2048);
        QVERIFY(until([&] { return !engine.isProgramming(); }));
        const QString verdict = lines.filter(kPrefix).last();
        QVERIFY2(QStringList({kSuccess, kVerifyFailed, kConfigFailed, kPrefix + "Завершено",
                              kPrefix + "ОШИБКА - принят неожидаемый ответ"}).contains(verdict), qPrintable(verdict));
        int successes = verdict == kSuccess;
        QVERIFY(!successes || (lab.flashPage(0) + lab.flashPage(1) == image && lab.fwConfig() == stamped));
        for (const int n : {288, 40}) {   // hardware configuration in the bootloader, user calibration in the main one
            const bool hw = n == 288;
            const QByteArray before = randomBytes(n, n), after = randomBytes(n, n + 1);
            hw ? lab.setHwConfig(before) : (lab.setProgram(Program::Main), lab.setUserData(before));
            QVERIFY(reopen());
            const int from = lines.size();
            hw ? engine.writeHwConfig(u8(after)) : engine.writeUserData(u8(after), uint8_t(n));
            QVERIFY(until([&] { return !engine.isWaiting(); }));
            const bool reported = lines.mid(from).filter("Успешная запись").size() == 1;
            QVERIFY(reopen());
            const int readFrom = lines.size();
            engine.sendCommand(hw ? rec::cmd::getHwConfig : rec::cmd::getUserData, nullptr, 0);
            QVERIFY(until([&] { return !engine.isWaiting(); }));
            const QByteArray held = hw ? lab.hwConfig() : lab.userData();
            const uint8_t* shown = hw ? engine.hwConfigRecord() : engine.userDataRecord();
            if (!lines.mid(readFrom).filter("Принят ожидаемый ответ").isEmpty())
                QCOMPARE(QByteArray(reinterpret_cast<const char*>(shown), n), held);
            QVERIFY((held == before || held == after) && (!reported || held == after));
            successes += reported;
        }
        QCOMPARE(health.transmissions(), uint64_t(lines.filter("Отправка команды, попытка").size()));
        QCOMPARE(health.repeats(), uint64_t(lines.filter(QRegularExpression("попытка [23]$")).size()));
        QCOMPARE(health.timeouts(), uint64_t(lines.filter("исчерпаны попытки").size()));
        QCOMPARE(health.checksumErrors(), uint64_t(lines.filter("Неверная контрольная сумма").size()));
        QCOMPARE(health.medianRoundTripMs() >= 0, health.replies() > 0);
        // The fault did happen; a line that only splits or delays replies still carries every write.
        if (fault.startsWith("vanish"))
            QVERIFY(verdict == kPrefix + "Завершено" && health.timeouts() > 0);
        else if (fault == "lost" || fault == "damaged")
            QVERIFY(health.repeats() > 0 && (health.checksumErrors() > 0) == (fault == "damaged"));
        else
            QCOMPARE(successes, 3);
    }

    void cliUsageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString p = "--port";
        QTest::newRow("no command") << QStringList() << "не задана команда";
        QTest::newRow("unknown command") << QStringList{"burn"} << "неизвестная команда «burn»";
        QTest::newRow("flash without port") << QStringList{"flash", "fw.rbin"} << "хотя бы один параметр --port";
        QTest::newRow("flash without file") << QStringList{"flash", p, "a"} << "нужен ровно один файл";
        QTest::newRow("two ports to backup") << QStringList{"backup", p, "a", p, "b", "--out", "x.json"} << "ровно один";
        QTest::newRow("unknown option") << QStringList{"info", p, "a", "--bogus"} << "неизвестный параметр --bogus";
        QTest::newRow("same port twice") << QStringList{"info", p, "a", p, "a"} << "указан дважды";
        QTest::newRow("archive without csv") << QStringList{"archive", p, "a"} << "не задан параметр --csv";
        QTest::newRow("missing update file") << QStringList{"flash", p, "a", "%/none.rbin"} << "Нечитаемый формат файла";
        QTest::newRow("not an update file") << QStringList{"flash", p, "a", "%/junk"} << "Файл обновления повреждён";
        QTest::newRow("not a backup") << QStringList{"restore", p, "a", "%/junk"} << "не JSON";
        QTest::newRow("no folder for output") << QStringList{"backup", p, "a", "--out", "%/no/x.json"} << "Нет папки";
    }

    // Exit code 2, the reason on the error stream, and in JSON too.
    void cliUsageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run plain(args.replaceInStrings("%/junk", QCoreApplication::applicationFilePath()).replaceInStrings("%", dir.path()));
        QVERIFY2(plain.code == 2 && plain.err.contains(message), qPrintable(plain.err));
        const Run json(args << "--json");
        QVERIFY(json.code == 2 && json.json("exitCode") == 2);
    }

    // Four boards in one run: a bootloader that programs, one that refuses page 1, a main program switched to its
    // bootloader, programmed and started, and a photocolorimeter that is neither switched nor written.
    void cliFlashesSeveralBoards()
    {
        BoardServer* good = board(BoardType::Physics, Program::Bootloader);
        BoardServer* refusing = board(BoardType::Physics, Program::Bootloader);
        BoardServer* running = board(BoardType::Chemistry, Program::Main);
        QVERIFY(good && refusing && running && board(BoardType::Photocolorimeter, Program::Main));
        refusing->board().refusePageWrite(1);
        const QByteArray image = UpdateFileWriter::randomImage(3, 11), before = running->board().fwConfig();
        QStringList args{"flash", "--json", "--start", dir.filePath("fw.rbin")};
        QVERIFY(UpdateFileWriter::write(args.last(), image, bench::header(1, 7, QDate(2026, 1, 15))));
        for (const auto& b : boards)
            args << "--port" << b->linkPath();
        const Run r(args);
        const QJsonValue result = r.json("boards");
        QVERIFY(r.code == 1 && result[0]["ok"].toBool() && result[2]["ok"].toBool());
        QCOMPARE(result[1]["message"].toString(), QString("Программирование прервано на 33 %, страница 1: плата отказала - "
                                                          "недопустимая команда, ошибка контрольной суммы, или формата запроса"));
        QCOMPARE(result[3]["message"].toString(), QString("Файл обновления не предназначен для данного устройства! (файл для "
                                                          "программы 1, плата: фотоколориметр, основная программа)"));
        QVERIFY(result[2]["health"]["timeouts"] == 0 && result[2]["health"]["replies"].toInt() >= 9);
        for (BoardServer* ok : {good, running})
            QVERIFY(ok->board().flashPage(0) + ok->board().flashPage(1) + ok->board().flashPage(2) == image &&
                    ok->board().program() == Program::Main);
        // The refusing board got no record and was not started; the other family got the status only.
        QVERIFY(codesOf(*refusing) == "00 83 83 00 80 81 80" && refusing->board().program() == Program::Bootloader &&
                codesOf(*boards.back()) == "00");
        // The switched board kept its own serial number and took the file's version.
        QVERIFY(codesOf(*running).contains(QByteArray(1, char(rec::cmd::bootloaderInit)).toHex()));
        QVERIFY(running->board().fwConfig().left(4) == before.left(4) && running->board().fwConfig().at(int(rec::fwcfg::kFwVersion)) == 7);
        const Run again({"flash", "--port", good->linkPath(), args[3]});   // the same version again: refused, not switched
        QVERIFY2(again.code == 1 && again.out.contains("старую или аналогичную версию") && codesOf(*good).endsWith("00 83"), qPrintable(again.out));
    }

    void cliBackupThenRestore()
    {
        BoardServer* b = board(BoardType::Physics, Program::Main);
        BoardServer* other = board(BoardType::Chemistry, Program::Main);
        QVERIFY(b && other);
        const QByteArray hw(rec::hwcfg::kSize, '\x11'), user(rec::user::kPhysicsSize, '\x22');
        b->board().setHwConfig(hw);
        b->board().setUserData(user);
        const QString copy = dir.filePath("copy.json");
        QCOMPARE(Run({"backup", "--port", b->linkPath(), "--out", copy}).code, 0);
        b->board().setHwConfig(QByteArray(rec::hwcfg::kSize, '\x33'));
        b->board().setUserData(QByteArray(rec::user::kPhysicsSize, '\x44'));
        QCOMPARE(Run({"restore", "--json", "--port", b->linkPath(), copy}).code, 0);
        QCOMPARE(b->board().hwConfig() + b->board().userData(), hw + user);
        QCOMPARE(b->board().program(), Program::Main);   // back in the program it ran
        // Started in its bootloader, the board goes to its main program for the calibrations and comes back.
        b->board().setProgram(Program::Bootloader);
        b->board().setUserData(QByteArray(rec::user::kPhysicsSize, '\x44'));
        QCOMPARE(Run({"restore", "--port", b->linkPath(), copy}).code, 0);
        QVERIFY(b->board().userData() == user && b->board().program() == Program::Bootloader);
        b->board().setProgram(Program::Main);
        // Ten archive records, one CSV row each under the header.
        b->board().handleRequest(FrameCodec::build(rec::cmd::archiveControl, bytes({10, 0, 0, 0, 10}).leftJustified(int(rec::archive::kBlockSize), '\0')));
        b->board().advanceTime(1000);
        const QString csv = dir.filePath("archive.csv");
        QCOMPARE(Run({"archive", "--port", b->linkPath(), "--csv", csv}).code, 0);
        QFile rows(csv);
        QVERIFY(rows.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = rows.readAll().split('\n');
        QVERIFY(lines.size() == 12 && lines[1].startsWith("1;") && lines[10].startsWith("10;"));
        // The program itself ends when its job does.
        QProcess program;
        program.start(RCONF_CLI_PATH, {"info", "--port", b->linkPath()});
        QTRY_VERIFY_WITH_TIMEOUT(program.state() == QProcess::NotRunning, 30000);
        QVERIFY(program.exitCode() == 0 && program.readAllStandardOutput().contains("Статус получен"));
        BoardServer* loader = board(BoardType::Photocolorimeter, Program::Bootloader);
        QVERIFY(loader && Run({"info", "--port", loader->linkPath()}).out.contains("Режим работы: Загрузчик фотоколориметра\n"));
        // A copy of another type is refused by the board's status; a damaged copy is refused before any write.
        const Run refused({"restore", "--port", other->linkPath(), copy});
        QVERIFY(refused.code == 1 && refused.out.contains("Резервная копия другой платы") && codesOf(*other) == "00");
        QFile f(copy);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QByteArray damaged = f.readAll().replace("11111111", "11111112");
        QVERIFY(damaged.contains("\"version\": 1\n"));   // the format older readers know
        QVERIFY(f.seek(0) && f.write(damaged) == damaged.size() && f.flush());
        const Run bad({"restore", "--port", b->linkPath(), copy});
        QVERIFY(bad.code == 2 && bad.err.contains("контрольная сумма не совпадает"));
        // A board calling itself a chemistry board sends the physics board's shorter calibrations: no copy.
        b->board().status().devType = 2;
        const Run shortCopy({"backup", "--port", b->linkPath(), "--out", dir.filePath("short.json")});
        QVERIFY(shortCopy.code == 1 && shortCopy.out.contains("принято 40 байт вместо 44") && !QFile::exists(dir.filePath("short.json")));
    }
};

QTEST_MAIN(TestProgramming)
#include "test_programming.moc"
