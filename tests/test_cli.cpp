// rconf-cli run in-process against simulated boards: usage and file errors,
// several boards flashed at once, backup and restore.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <memory>

#include "BoardBench.h"
#include "CliApp.h"

using vboard::BoardServer;
using vboard::BoardType;
using vboard::Program;

namespace {

struct Run {
    int code = -1;
    QString out, err;
    const QJsonObject board(int i) const { return QJsonDocument::fromJson(out.toUtf8())["boards"][i].toObject(); }
};

Run runCli(const QStringList& args)
{
    Run r;
    QTextStream out(&r.out), err(&r.err);
    CliApp cli(Console{&out, &err});
    QSignalSpy finished(&cli, &CliApp::finished);
    r.code = cli.start(QStringList{"rconf-cli"} + args);
    if (r.code < 0 && (finished.count() > 0 || finished.wait(60000)))
        r.code = finished.first().first().toInt();
    out.flush(), err.flush();
    return r;
}

QString codes(const BoardServer& s)
{
    QStringList out;
    for (const QByteArray& f : s.requests())
        out << QByteArray(1, f.at(3)).toHex();
    return out.join(' ');
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void usageAndFileErrors_data();
    void usageAndFileErrors();
    void flashesSeveralBoards();
    void backupThenRestore();

private:
    BoardServer* board(BoardType type, Program program)
    {
        BoardServer::Options o;
        o.type = type;
        o.program = program;
        o.linkPath = dir->filePath(QString("board%1").arg(boards.size()));
        o.registerForDiscovery = false;
        o.restartMs = bench::kRestartMs;
        boards.push_back(std::make_unique<BoardServer>(o));
        return boards.back()->start() ? boards.back().get() : nullptr;
    }
    std::unique_ptr<QTemporaryDir> dir;
    std::vector<std::unique_ptr<BoardServer>> boards;
};

void TestCli::init()
{
    WaitTimes::setDivisor(bench::kWaitDivisor);
    boards.clear();
    dir = std::make_unique<QTemporaryDir>();
    QFile cut(dir->filePath("cut.rbin"));
    QVERIFY(cut.open(QIODevice::WriteOnly) && cut.write(QByteArray(5000, '\x01')) == 5000);
}

void TestCli::usageAndFileErrors_data()
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
    QTest::newRow("cut update file") << QStringList{"flash", p, "a", "%/cut.rbin"} << "Файл обновления повреждён";
    QTest::newRow("not a backup") << QStringList{"restore", p, "a", "%/cut.rbin"} << "не JSON";
    QTest::newRow("no folder for output") << QStringList{"backup", p, "a", "--out", "%/no/x.json"} << "Нет папки";
}

// Exit code 2, the reason on the error stream, and in JSON too.
void TestCli::usageAndFileErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run plain = runCli(args.replaceInStrings("%", dir->path()));
    QVERIFY2(plain.code == 2 && plain.err.contains(message), qPrintable(plain.err));
    const Run json = runCli(args << "--json");
    QVERIFY(json.code == 2 && QJsonDocument::fromJson(json.out.toUtf8())["exitCode"] == 2);
}

// One run, four boards: a bootloader that programs, one that refuses page 1,
// a main program switched to its bootloader, programmed and started, and a
// photocolorimeter that is neither switched nor written.
void TestCli::flashesSeveralBoards()
{
    BoardServer* good = board(BoardType::Physics, Program::Bootloader);
    BoardServer* refusing = board(BoardType::Physics, Program::Bootloader);
    BoardServer* running = board(BoardType::Chemistry, Program::Main);
    QVERIFY(good && refusing && running && board(BoardType::Photocolorimeter, Program::Main));
    refusing->board().refusePageWrite(1);
    const QByteArray image = UpdateFileWriter::randomImage(3, 11), record = running->board().fwConfig();
    QStringList args{"flash", "--json", "--start", dir->filePath("fw.rbin")};
    QVERIFY(UpdateFileWriter::write(args.last(), image, bench::header(1, 7, QDate(2026, 1, 15))));
    for (const auto& b : boards)
        args << "--port" << b->linkPath();
    const Run r = runCli(args);
    QCOMPARE(r.code, 1);
    QVERIFY(r.board(0)["ok"].toBool() && r.board(2)["ok"].toBool());
    QCOMPARE(r.board(1)["message"].toString(), QString("Программирование прервано на 33 %, страница 1: плата отказала - "
                                                       "недопустимая команда, ошибка контрольной суммы, или формата запроса"));
    QVERIFY(r.board(3)["message"].toString().startsWith("Файл обновления не предназначен для данного устройства!"));
    for (BoardServer* ok : {good, running}) {
        for (int page = 0; page < 3; ++page)
            QCOMPARE(ok->board().flashPage(page), image.mid(page * 1024, 1024));
        QCOMPARE(ok->board().program(), Program::Main);
    }
    // The refusing board got no record and was not started; the other family got the status only.
    QCOMPARE(codes(*refusing), QString("00 83 83 00 80 81 80"));
    QCOMPARE(refusing->board().program(), Program::Bootloader);
    QCOMPARE(codes(*boards.back()), QString("00"));
    // The switched board kept its own serial number and took the file's version.
    QCOMPARE(running->board().fwConfig().left(4), record.left(4));
    QCOMPARE(int(running->board().fwConfig().at(rec::fwcfg::kFwVersion)), 7);
    QVERIFY(codes(*running).contains(QByteArray(1, char(rec::cmd::bootloaderInit)).toHex()));
    QVERIFY(r.board(2)["health"]["timeouts"] == 0 && r.board(2)["health"]["replies"].toInt() >= 9);
}

void TestCli::backupThenRestore()
{
    BoardServer* b = board(BoardType::Physics, Program::Main);
    BoardServer* other = board(BoardType::Chemistry, Program::Main);
    QVERIFY(b && other);
    const QByteArray hw(rec::hwcfg::kSize, '\x11'), user(rec::user::kPhysicsSize, '\x22');
    b->board().setHwConfig(hw);
    b->board().setUserData(user);
    const QString copy = dir->filePath("copy.json");
    QCOMPARE(runCli({"backup", "--port", b->linkPath(), "--out", copy}).code, 0);
    b->board().setHwConfig(QByteArray(rec::hwcfg::kSize, '\x33'));
    b->board().setUserData(QByteArray(rec::user::kPhysicsSize, '\x44'));
    QCOMPARE(runCli({"restore", "--json", "--port", b->linkPath(), copy}).code, 0);
    QCOMPARE(b->board().hwConfig() + b->board().userData(), hw + user);
    QCOMPARE(b->board().program(), Program::Main);   // back in the program it ran
    // A copy of another type is refused by the board's status; a damaged copy writes nothing.
    const Run refused = runCli({"restore", "--port", other->linkPath(), copy});
    QVERIFY(refused.code == 1 && refused.out.contains("Резервная копия другой платы") && codes(*other) == "00");
    QFile f(copy);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QByteArray damaged = f.readAll().replace("11111111", "11111112");
    QVERIFY(f.seek(0) && f.write(damaged) == damaged.size());
    f.close();
    const Run bad = runCli({"restore", "--port", b->linkPath(), copy});
    QVERIFY(bad.code == 2 && bad.err.contains("контрольная сумма не совпадает"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
