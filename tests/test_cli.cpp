// rconf-cli run in-process against simulated boards on pseudo-terminals:
// usage and file errors, several boards flashed at once (one refusing a
// page, one switched from its main program), a file of the other family,
// backup and restore, and the link health counts.
#include "BoardServer.h"
#include "CliApp.h"
#include "LinkHealth.h"
#include "LittleEndian.h"
#include "Records.h"
#include "UpdateFileWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using vboard::BoardServer;
using vboard::BoardType;
using vboard::Program;

Q_DECLARE_METATYPE(vboard::BoardType)
Q_DECLARE_METATYPE(vboard::Program)

namespace {

struct Run {
    int code = -1;
    QString out, err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
    QJsonObject board(int i) const { return json().value(QStringLiteral("boards")).toArray().at(i).toObject(); }
};

Run runCli(const QStringList& args)
{
    Run r;
    QTextStream out(&r.out), err(&r.err);
    Console console;
    console.out = &out;
    console.err = &err;
    CliApp cli(console);
    QSignalSpy finished(&cli, &CliApp::finished);
    r.code = cli.start(QStringList{QStringLiteral("rconf-cli")} + args);
    if (r.code < 0 && (finished.count() > 0 || finished.wait(60000)))
        r.code = finished.first().first().toInt();
    out.flush();
    err.flush();
    return r;
}

// Codes of the requests a board received.
QList<int> codes(const BoardServer& s)
{
    QList<int> out;
    for (const QByteArray& f : s.requests())
        out << static_cast<uint8_t>(f.at(3));
    return out;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void usageAndFileErrorsExit2_data();
    void usageAndFileErrorsExit2();
    void flashesSeveralBoardsAtOnce();
    void otherFamilyFileRefusedBeforeAnyWrite_data();
    void otherFamilyFileRefusedBeforeAnyWrite();
    void backupThenRestore();
    void linkHealthCounts_data();
    void linkHealthCounts();

private:
    BoardServer* board(BoardType type, Program program);
    QString updateFile(uint8_t target, const QByteArray& image);

    std::unique_ptr<QTemporaryDir> dir;
    std::vector<std::unique_ptr<BoardServer>> boards;
};

void TestCli::init()
{
    boards.clear();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

BoardServer* TestCli::board(BoardType type, Program program)
{
    BoardServer::Options o;
    o.type = type;
    o.program = program;
    o.linkPath = dir->filePath(QStringLiteral("board%1").arg(boards.size()));
    o.registerForDiscovery = false;
    o.restartMs = 300;
    boards.push_back(std::make_unique<BoardServer>(o));
    return boards.back()->start() ? boards.back().get() : nullptr;
}

QString TestCli::updateFile(uint8_t target, const QByteArray& image)
{
    UpdateFileWriter::Header h;
    h.targetProgram = target;
    h.fwVersion = 7;
    h.buildDate = QDate(2026, 1, 15);
    const QString path = dir->filePath(QStringLiteral("fw%1.rbin").arg(target));
    return UpdateFileWriter::write(path, image, h) ? path : QString();
}

void TestCli::usageAndFileErrorsExit2_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString p = QStringLiteral("--port");
    QTest::newRow("no command") << QStringList() << "не задана команда";
    QTest::newRow("unknown command") << QStringList{"burn"} << "неизвестная команда «burn»";
    QTest::newRow("flash without port") << QStringList{"flash", "fw.rbin"} << "хотя бы один параметр --port";
    QTest::newRow("flash without file") << QStringList{"flash", p, "a"} << "нужен ровно один файл";
    QTest::newRow("two ports to backup") << QStringList{"backup", p, "a", p, "b", "--out", "x.json"} << "ровно один";
    QTest::newRow("unknown option") << QStringList{"info", p, "a", "--bogus"} << "неизвестный параметр --bogus";
    QTest::newRow("same port twice") << QStringList{"info", p, "a", p, "a"} << "указан дважды";
    QTest::newRow("archive without csv") << QStringList{"archive", p, "a"} << "не задан параметр --csv";
    QTest::newRow("missing update file") << QStringList{"flash", p, "a", "%/none.rbin"} << "Нечитаемый формат файла";
    QTest::newRow("cut update file") << QStringList{"flash", p, "a", "%/cut.rbin"} << "Файл обновления повреждён";
    QTest::newRow("not a backup") << QStringList{"restore", p, "a", "%/cut.rbin"} << "не JSON";
    QTest::newRow("no folder for output") << QStringList{"backup", p, "a", "--out", "%/no/x.json"} << "Нет папки";
}

void TestCli::usageAndFileErrorsExit2()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QFile cut(dir->filePath(QStringLiteral("cut.rbin")));
    QVERIFY(cut.open(QIODevice::WriteOnly) && cut.write(QByteArray(5000, '\x01')) == 5000);
    cut.close();
    args.replaceInStrings(QStringLiteral("%"), dir->path());

    const Run plain = runCli(args);
    QCOMPARE(plain.code, 2);
    QVERIFY2(plain.err.contains(message), qPrintable(plain.err));
    const Run json = runCli(args << QStringLiteral("--json"));
    QCOMPARE(json.code, 2);
    QCOMPARE(json.json().value(QStringLiteral("exitCode")).toInt(), 2);
}

// Three boards in one run: a bootloader that programs, one that refuses page
// 1, and a main program switched to its bootloader, programmed and started.
void TestCli::flashesSeveralBoardsAtOnce()
{
    BoardServer* good = board(BoardType::Physics, Program::Bootloader);
    BoardServer* refusing = board(BoardType::Physics, Program::Bootloader);
    BoardServer* running = board(BoardType::Chemistry, Program::Main);
    QVERIFY(good && refusing && running);
    refusing->board().refusePageWrite(1);
    const QByteArray image = UpdateFileWriter::randomImage(3, 11);
    const uint32_t serial = le::u32(reinterpret_cast<const uint8_t*>(running->board().fwConfig().constData()));

    const Run r = runCli({"flash", "--json", "--start", "--port", good->linkPath(), "--port", refusing->linkPath(),
                          "--port", running->linkPath(), updateFile(1, image)});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.board(0).value(QStringLiteral("ok")).toBool(), true);
    QCOMPARE(r.board(1).value(QStringLiteral("ok")).toBool(), false);
    QVERIFY(r.board(1).value(QStringLiteral("message")).toString().contains(QStringLiteral("страница 1: плата отказала")));
    QCOMPARE(r.board(2).value(QStringLiteral("ok")).toBool(), true);
    for (BoardServer* ok : {good, running}) {
        for (int page = 0; page < 3; ++page)
            QCOMPARE(ok->board().flashPage(page), image.mid(page * 1024, 1024));
        QCOMPARE(ok->board().program(), Program::Main);
    }
    // The refusing board got no configuration record and was not started.
    QVERIFY(!codes(*refusing).contains(rec::cmd::setFwConfig));
    QCOMPARE(refusing->board().program(), Program::Bootloader);
    // The switched board kept its own serial number and took the file's version.
    const QByteArray fw = running->board().fwConfig();
    QCOMPARE(le::u32(reinterpret_cast<const uint8_t*>(fw.constData())), serial);
    QCOMPARE(uint8_t(fw.at(rec::fwcfg::kFwVersion)), uint8_t(7));
    QVERIFY(codes(*running).contains(rec::cmd::bootloaderInit));
    const QJsonObject health = r.board(2).value(QStringLiteral("health")).toObject();
    QVERIFY(health.value(QStringLiteral("replies")).toInt() >= 9);
    QCOMPARE(health.value(QStringLiteral("timeouts")).toInt(), 0);
}

void TestCli::otherFamilyFileRefusedBeforeAnyWrite_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<BoardType>("type");
    QTest::addColumn<Program>("program");
    QTest::newRow("photocolorimeter file, physics main program") << 11 << BoardType::Physics << Program::Main;
    QTest::newRow("laboratory file, photocolorimeter bootloader") << 1 << BoardType::Photocolorimeter
                                                                 << Program::Bootloader;
}

void TestCli::otherFamilyFileRefusedBeforeAnyWrite()
{
    QFETCH(int, target);
    QFETCH(BoardType, type);
    QFETCH(Program, program);
    BoardServer* b = board(type, program);
    QVERIFY(b);
    const Run r = runCli({"flash", "--port", b->linkPath(), updateFile(uint8_t(target), UpdateFileWriter::randomImage(2, 3))});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.contains(QStringLiteral("Файл обновления не предназначен для данного устройства!")), qPrintable(r.out));
    QCOMPARE(codes(*b), QList<int>{rec::cmd::getInfo});   // the status only: no switch, no write
}

void TestCli::backupThenRestore()
{
    BoardServer* b = board(BoardType::Physics, Program::Main);
    QVERIFY(b);
    QByteArray hw(rec::hwcfg::kSize, '\x11'), user(rec::user::kPhysicsSize, '\x22');
    b->board().setHwConfig(hw);
    b->board().setUserData(user);
    const QString copy = dir->filePath(QStringLiteral("copy.json"));
    QCOMPARE(runCli({"backup", "--port", b->linkPath(), "--out", copy}).code, 0);

    b->board().setHwConfig(QByteArray(rec::hwcfg::kSize, '\x33'));
    b->board().setUserData(QByteArray(rec::user::kPhysicsSize, '\x44'));
    const Run r = runCli({"restore", "--json", "--port", b->linkPath(), copy});
    QCOMPARE(r.code, 0);
    QCOMPARE(b->board().hwConfig(), hw);
    QCOMPARE(b->board().userData(), user);
    QCOMPARE(b->board().program(), Program::Main);   // back in the program it ran

    // A copy of another type is refused by the board's status; a damaged copy writes nothing.
    BoardServer* other = board(BoardType::Chemistry, Program::Main);
    QVERIFY(other);
    const Run refused = runCli({"restore", "--port", other->linkPath(), copy});
    QCOMPARE(refused.code, 1);
    QVERIFY(refused.out.contains(QStringLiteral("Резервная копия другой платы")));
    QCOMPARE(codes(*other), QList<int>{rec::cmd::getInfo});
    QFile f(copy);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QByteArray damaged = f.readAll().replace("11111111", "11111112");
    f.resize(0);
    f.write(damaged);
    f.close();
    const Run bad = runCli({"restore", "--port", b->linkPath(), copy});
    QCOMPARE(bad.code, 2);
    QVERIFY(bad.err.contains(QStringLiteral("контрольная сумма не совпадает")));
}

void TestCli::linkHealthCounts_data()
{
    // a, b: two different frames sent; r: a reply handled; t: a request given
    // up; c: a block with a bad checksum.
    QTest::addColumn<QString>("events");
    QTest::addColumn<QList<int>>("expected");   // transmissions, repeats, replies, time-outs, checksum errors
    QTest::newRow("answered at once") << "arar" << QList<int>{2, 0, 2, 0, 0};
    QTest::newRow("answered on the third attempt") << "aaar" << QList<int>{3, 2, 1, 0, 0};
    QTest::newRow("given up") << "aaat" << QList<int>{3, 2, 0, 1, 0};
    QTest::newRow("another request") << "abr" << QList<int>{2, 0, 1, 0, 0};
    QTest::newRow("damaged reply, then repeat") << "acar" << QList<int>{2, 1, 1, 0, 1};
}

void TestCli::linkHealthCounts()
{
    QFETCH(QString, events);
    QFETCH(QList<int>, expected);
    LinkHealth h;
    const uint8_t a[] = {0xAA, 0x06, 0x00, 0x00, 0xC1, 0xFD}, b[] = {0xAA, 0x06, 0x00, 0x83, 0x00, 0x3C};
    for (const QChar e : events) {
        if (e == QLatin1Char('a') || e == QLatin1Char('b'))
            h.noteTransmission(e == QLatin1Char('a') ? a : b, 6);
        else if (e == QLatin1Char('r'))
            h.noteLogLine(QStringLiteral("Принят ожидаемый ответ на команду - запрос статуса"));
        else if (e == QLatin1Char('t'))
            h.noteLogLine(QStringLiteral("ОШИБКА - Выполнение команды остановлено - исчерпаны попытки"));
        else
            h.noteLogLine(QStringLiteral("ОШИБКА - Неверная контрольная сумма принятых данных"));
    }
    const QList<int> counts{int(h.transmissions()), int(h.repeats()), int(h.replies()), int(h.timeouts()),
                            int(h.checksumErrors())};
    QCOMPARE(counts, expected);
    QCOMPARE(h.medianRoundTripMs() >= 0, expected[2] > 0);
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
