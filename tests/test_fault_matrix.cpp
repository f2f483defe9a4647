#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <random>

#include "BoardServer.h"
#include "Crc16.h"
#include "LittleEndian.h"
#include "Oru_SerialPort.h"
#include "Records.h"
#include "proto_Vorlen_v2.h"

// Writes to a board over a bad line: replies lost, damaged, split, late, and
// the board vanishing in the middle. Whatever happens, every run must end by
// itself with a verified success or a reported failure, a reported success
// must match what the board really holds, and the tool must neither hang nor
// spin. RCONF_FAULT_RUNS sets the number of seeded runs per matrix (default 6),
// RCONF_FAULT_SEED the first seed (default 1).
class TestFaultMatrix : public QObject
{
    Q_OBJECT
private slots:
    void firmwareMatrix();
    void hwConfigMatrix();
    void userCalibrationMatrix();
};

namespace {

using vboard::BoardServer;
using vboard::BoardType;
using vboard::Program;

constexpr qint64 kRunLimitMs = 60000;
constexpr int kPages = 4;
constexpr uint32_t kSerial = 4711;

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

qint64 cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000LL + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

QByteArray randomBytes(int n, uint32_t seed)
{
    std::mt19937 gen(seed);
    QByteArray out(n, '\0');
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<char>(gen() & 0xFF);
    return out;
}

// The faults of one seeded run.
struct Faults {
    bool split = false;
    int delayMs = 0;
    int vanishAtRequest = 0;     // 0: the board stays
    bool vanishAfterAnswer = false;

    static Faults forSeed(uint32_t seed, int requestsInRun)
    {
        Faults f;
        f.split = seed % 3 != 0;
        f.delayMs = seed % 5 == 2 ? 900 : 0;
        if (seed % 4 == 3) {
            f.vanishAtRequest = 1 + static_cast<int>(seed / 4) % requestsInRun;
            f.vanishAfterAnswer = (seed / 4) % 2 == 1;
        }
        return f;
    }
    QString describe() const
    {
        QString s = QStringLiteral("drop 10%, corrupt 5%");
        if (split)
            s += QStringLiteral(", split");
        if (delayMs)
            s += QStringLiteral(", delay %1 ms").arg(delayMs);
        if (vanishAtRequest)
            s += QStringLiteral(", vanishes at request %1 %2").arg(vanishAtRequest).arg(vanishAfterAnswer ? "after it is carried out" : "before it is carried out");
        return s;
    }
};

// One board on a pseudo-terminal and one engine talking to it through the real serial link.
class LineRig
{
public:
    LineRig(BoardType type, Program program, uint32_t seed, const Faults& faults) : faults(faults)
    {
        BoardServer::Options o;
        o.type = type;
        o.program = program;
        o.linkPath = dir.filePath(QStringLiteral("board-%1").arg(seed));
        o.registerForDiscovery = false;
        o.dropProbability = 0.10;
        o.corruptProbability = 0.05;
        o.split = faults.split;
        o.delayMs = faults.delayMs;
        o.seed = seed;
        server = std::make_unique<BoardServer>(o);

        engine.setGatePrompt([](const QString&) {});
        QObject::connect(&engine, &proto_Vorlen_v2::_transmit_data, &link, &Oru_SerialPort::send);
        QObject::connect(&link, &Oru_SerialPort::_data_recevied, &engine, &proto_Vorlen_v2::parseReceived);
        QObject::connect(&engine, &proto_Vorlen_v2::log, [this](const QString& line) {
            lines << line;
            if (line.startsWith(QStringLiteral("ПРОГРАММИРОВАНИЕ::: ")))
                lastProgrammingLine = line;
        });
        // The block as the read-back reply brought it.
        QObject::connect(&engine, &proto_Vorlen_v2::cmd_hwConfig_readed, [this] {
            readBack = true;
            readBlock = QByteArray(reinterpret_cast<const char*>(engine.hwConfigRecord()), int(rec::hwcfg::kSize));
        });
        QObject::connect(&engine, &proto_Vorlen_v2::cmd_userData_readed, [this](uint32_t n) {
            readBack = true;
            readBlock = QByteArray(reinterpret_cast<const char*>(engine.userDataRecord()), int(n));
        });
        QObject::connect(server.get(), &BoardServer::requestReceived, [this](const QByteArray&) { onRequest(); });
    }

    bool start()
    {
        return server->start() && link.openPort(server->linkPath(), 115200, 8, 'n', 1) == 0;
    }

    // Brings a vanished board back and reopens the port, for a read-back.
    bool reopen()
    {
        if (!server->isUp()) {
            server->reconnect();
            link.closePort();
        }
        if (link.isOpen())
            return true;
        for (int i = 0; i < 50; ++i) {
            if (link.openPort(server->linkPath(), 115200, 8, 'n', 1) == 0)
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    // Runs the event loop until done() holds or the limit passes; false on the limit.
    template <typename Done>
    bool waitUntil(Done done, qint64 limitMs = kRunLimitMs)
    {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > limitMs)
                return false;
            QTest::qWait(10);
        }
        return true;
    }

    bool logged(const QString& line) const { return lines.contains(line); }

    QTemporaryDir dir;
    Faults faults;
    QStringList lines;
    QString lastProgrammingLine;
    bool readBack = false;
    QByteArray readBlock;
    int requestCount = 0;
    std::unique_ptr<BoardServer> server;
    proto_Vorlen_v2 engine;
    Oru_SerialPort link;

private:
    void onRequest()
    {
        ++requestCount;
        if (!faults.vanishAtRequest || requestCount != faults.vanishAtRequest)
            return;
        if (faults.vanishAfterAnswer)
            QTimer::singleShot(0, server.get(), [this] { server->disconnectNow(); });
        else
            server->disconnectNow();
    }
};

// Counts over the runs of one matrix.
struct Tally {
    int verified = 0;
    int failed = 0;
    int falseSuccess = 0;
    int mixtures = 0;
    int hung = 0;
    int spun = 0;
    QStringList problems;

    void print(const char* matrix, int runs) const
    {
        std::printf("%s matrix: %d runs: %d verified successes, %d reported failures, %d false successes, "
                    "%d mixed blocks, %d hung, %d spun\n",
                    matrix, runs, verified, failed, falseSuccess, mixtures, hung, spun);
        std::fflush(stdout);
    }
    bool clean() const { return falseSuccess == 0 && mixtures == 0 && hung == 0 && spun == 0; }
};

void reportRun(const QString& where, const QString& outcome, qint64 wallMs, qint64 cpu)
{
    std::printf("  %s: %s (%.1f s, %lld ms CPU)\n", qPrintable(where), qPrintable(outcome), wallMs / 1000.0,
                static_cast<long long>(cpu));
}

// A run that takes CPU time like a busy loop is spinning; real work over a
// slow line takes a small part of the wall time.
bool spun(qint64 cpu, qint64 wall)
{
    return cpu > 2000 && cpu * 2 > wall;
}

// One configuration-block write over the faulty line, as it ended.
struct BlockRun {
    QString where;
    bool ended;
    bool reportedSuccess;
    bool readBack;          // the tool read the block back afterwards
    QByteArray readBlock;   // what that read-back showed
    QByteArray held, oldBlock, newBlock;
    qint64 wallMs, cpu;
};

// The board must hold the old or the new block, never a mixture, and success
// is honest only when it holds the new one and the read-back shows it.
void judgeBlockWrite(Tally& tally, const BlockRun& r)
{
    const bool isNew = r.held == r.newBlock;
    if (!r.ended) {
        ++tally.hung;
        tally.problems << r.where + QStringLiteral(": no verdict after 60 s");
    } else if (!isNew && r.held != r.oldBlock) {
        ++tally.mixtures;
        tally.problems << r.where + QStringLiteral(": the board holds neither the old nor the new block");
    } else if (r.reportedSuccess && !isNew) {
        ++tally.falseSuccess;
        tally.problems << r.where + QStringLiteral(": success reported, the board kept the old block");
    } else if (r.readBack && r.readBlock != r.held) {
        ++tally.falseSuccess;
        tally.problems << r.where + QStringLiteral(": the read-back shows a block the board does not hold");
    } else if (r.reportedSuccess) {
        ++tally.verified;
        reportRun(r.where, QStringLiteral("verified success"), r.wallMs, r.cpu);
    } else {
        ++tally.failed;
        reportRun(r.where, QStringLiteral("reported failure, the board holds the %1 block").arg(isNew ? "new" : "old"),
                  r.wallMs, r.cpu);
    }
    if (spun(r.cpu, r.wallMs)) {
        ++tally.spun;
        tally.problems << r.where + QStringLiteral(": %1 ms CPU in %2 ms").arg(r.cpu).arg(r.wallMs);
    }
}

const QString kProgSuccess = QStringLiteral("ПРОГРАММИРОВАНИЕ::: Запись программы и верификация пройдены успешно!");
const QStringList kProgFailures = {
    QStringLiteral("ПРОГРАММИРОВАНИЕ::: Завершено"),
    QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - принят неожидаемый ответ"),
    QStringLiteral("ПРОГРАММИРОВАНИЕ::: Ошибка верификации"),
    QStringLiteral("ПРОГРАММИРОВАНИЕ::: Верификация программной конфигурации не пройдена!"),
};

} // namespace

void TestFaultMatrix::firmwareMatrix()
{
    const int runs = envInt("RCONF_FAULT_RUNS", 6);
    const uint32_t firstSeed = static_cast<uint32_t>(envInt("RCONF_FAULT_SEED", 1));
    const int requestsInRun = 1 + 2 * kPages + 2;
    Tally tally;
    for (int r = 0; r < runs; ++r) {
        const uint32_t seed = firstSeed + static_cast<uint32_t>(r);
        const Faults faults = Faults::forSeed(seed, requestsInRun);
        LineRig rig(BoardType::Physics, Program::Bootloader, seed, faults);
        vboard::VirtualBoard& board = rig.server->board();
        const QByteArray oldImage = randomBytes(kPages * 1024, seed + 1000);
        for (int p = 0; p < kPages; ++p)
            board.setFlashPage(p, oldImage.mid(p * 1024, 1024));
        board.setFwConfig(randomBytes(60, seed + 2000));
        QVERIFY2(rig.start(), "the simulated board could not be opened");

        const QByteArray image = randomBytes(kPages * 1024, seed);
        const auto* img = reinterpret_cast<const uint8_t*>(image.constData());
        rig.engine.stampFwConfig(kSerial, 7, 17, 5, 24);

        QElapsedTimer wall;
        wall.start();
        const qint64 cpu0 = cpuMs();
        rig.engine.startProgramming(img, static_cast<uint32_t>(image.size()));
        const bool ended = rig.waitUntil([&] { return !rig.engine.isProgramming(); });
        const qint64 cpu = cpuMs() - cpu0;
        const QString finalLine = rig.lastProgrammingLine;

        const QString where = QStringLiteral("seed %1 (%2)").arg(seed).arg(faults.describe());
        bool boardHoldsImage = true;
        for (int p = 0; p < kPages; ++p)
            boardHoldsImage = boardHoldsImage && board.flashPage(p) == image.mid(p * 1024, 1024);
        const QByteArray cfg = board.fwConfig();
        const auto* c = reinterpret_cast<const uint8_t*>(cfg.constData());
        const uint16_t crc = Crc16().calc(img, static_cast<uint16_t>(image.size()));
        const bool configRight = cfg.size() == 60 && le::u32(c + rec::fwcfg::kSerialNumber) == kSerial &&
                                 le::u16(c + rec::fwcfg::kFwCrc) == crc &&
                                 le::u16(c + rec::fwcfg::kFwLength) == image.size() &&
                                 c[rec::fwcfg::kFwVersion] == 7 && c[rec::fwcfg::kBuildDay] == 17 &&
                                 c[rec::fwcfg::kBuildMonth] == 5 && c[rec::fwcfg::kBuildYear] == 24;

        if (!ended) {
            ++tally.hung;
            tally.problems << where + QStringLiteral(": still programming after 60 s");
        } else if (finalLine == kProgSuccess) {
            if (boardHoldsImage && configRight) {
                ++tally.verified;
                reportRun(where, QStringLiteral("verified success"), wall.elapsed(), cpu);
            } else {
                ++tally.falseSuccess;
                tally.problems << where + QStringLiteral(": success reported, board memory %1, configuration %2")
                                              .arg(boardHoldsImage ? "right" : "WRONG", configRight ? "right" : "WRONG");
            }
        } else if (kProgFailures.contains(finalLine)) {
            ++tally.failed;
            reportRun(where, QStringLiteral("reported failure: ") + finalLine, wall.elapsed(), cpu);
            if (qEnvironmentVariableIsSet("RCONF_FAULT_TRACE"))
                std::printf("%s\n", qPrintable(rig.lines.join(QLatin1Char('\n'))));
        } else {
            ++tally.hung;
            tally.problems << where + QStringLiteral(": ended without a verdict, last line: ") + finalLine;
        }
        if (spun(cpu, wall.elapsed())) {
            ++tally.spun;
            tally.problems << where + QStringLiteral(": %1 ms CPU in %2 ms").arg(cpu).arg(wall.elapsed());
        }
    }
    tally.print("firmware", runs);
    QVERIFY2(tally.clean(), qPrintable(tally.problems.join(QLatin1Char('\n'))));
    // Lost replies are repeated: most runs over this line get through.
    QVERIFY2(tally.verified > 0, "no run succeeded");
}

void TestFaultMatrix::hwConfigMatrix()
{
    const int runs = envInt("RCONF_FAULT_RUNS", 6);
    const uint32_t firstSeed = static_cast<uint32_t>(envInt("RCONF_FAULT_SEED", 1));
    const QString written =
        QStringLiteral("Принят ожидаемый ответ на команду - записи аппаратной конфигурации. Успешная запись");
    Tally tally;
    for (int r = 0; r < runs; ++r) {
        const uint32_t seed = firstSeed + static_cast<uint32_t>(r);
        const Faults faults = Faults::forSeed(seed, 1);
        LineRig rig(BoardType::Chemistry, Program::Bootloader, seed, faults);
        const QByteArray oldBlock = randomBytes(static_cast<int>(rec::hwcfg::kSize), seed + 3000);
        rig.server->board().setHwConfig(oldBlock);
        QVERIFY2(rig.start(), "the simulated board could not be opened");

        const QByteArray newBlock = randomBytes(static_cast<int>(rec::hwcfg::kSize), seed);
        const QString where = QStringLiteral("seed %1 (%2)").arg(seed).arg(faults.describe());

        QElapsedTimer wall;
        wall.start();
        const qint64 cpu0 = cpuMs();
        rig.engine.writeHwConfig(reinterpret_cast<const uint8_t*>(newBlock.constData()));
        const bool ended = rig.waitUntil([&] { return !rig.engine.isWaiting(); });
        const bool reportedSuccess = rig.logged(written);

        // Read back through the tool, over the same line (the board back if it had vanished).
        if (ended && rig.reopen()) {
            rig.lines.clear();
            rig.engine.sendCommand(rec::cmd::getHwConfig, nullptr, 0);
            rig.waitUntil([&] { return !rig.engine.isWaiting(); });
        }
        const qint64 cpu = cpuMs() - cpu0;

        const QByteArray held = rig.server->board().hwConfig();
        judgeBlockWrite(tally, {where, ended, reportedSuccess, rig.readBack, rig.readBlock, held, oldBlock, newBlock,
                                wall.elapsed(), cpu});
    }
    tally.print("hardware configuration", runs);
    QVERIFY2(tally.clean(), qPrintable(tally.problems.join(QLatin1Char('\n'))));
    QVERIFY2(tally.verified > 0, "no run succeeded");
}

void TestFaultMatrix::userCalibrationMatrix()
{
    const int runs = envInt("RCONF_FAULT_RUNS", 6);
    const uint32_t firstSeed = static_cast<uint32_t>(envInt("RCONF_FAULT_SEED", 1));
    const QString written = QStringLiteral(
        "Принят ожидаемый ответ на команду - записи пользовательских калибровочных данных. Успешная запись");
    const int size = static_cast<int>(rec::user::kPhysicsSize);
    Tally tally;
    for (int r = 0; r < runs; ++r) {
        const uint32_t seed = firstSeed + static_cast<uint32_t>(r);
        const Faults faults = Faults::forSeed(seed, 1);
        LineRig rig(BoardType::Physics, Program::Main, seed, faults);
        const QByteArray oldBlock = randomBytes(size, seed + 4000);
        rig.server->board().setUserData(oldBlock);
        QVERIFY2(rig.start(), "the simulated board could not be opened");

        const QByteArray newBlock = randomBytes(size, seed);
        const QString where = QStringLiteral("seed %1 (%2)").arg(seed).arg(faults.describe());

        QElapsedTimer wall;
        wall.start();
        const qint64 cpu0 = cpuMs();
        rig.engine.writeUserData(reinterpret_cast<const uint8_t*>(newBlock.constData()), uint8_t(size));
        const bool ended = rig.waitUntil([&] { return !rig.engine.isWaiting(); });
        const bool reportedSuccess = rig.logged(written);

        if (ended && rig.reopen()) {
            rig.lines.clear();
            rig.engine.sendCommand(rec::cmd::getUserData, nullptr, 0);
            rig.waitUntil([&] { return !rig.engine.isWaiting(); });
        }
        const qint64 cpu = cpuMs() - cpu0;

        const QByteArray held = rig.server->board().userData();
        judgeBlockWrite(tally, {where, ended, reportedSuccess, rig.readBack, rig.readBlock.left(size), held, oldBlock, newBlock,
                                wall.elapsed(), cpu});
    }
    tally.print("user calibration", runs);
    QVERIFY2(tally.clean(), qPrintable(tally.problems.join(QLatin1Char('\n'))));
    QVERIFY2(tally.verified > 0, "no run succeeded");
}

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "test_fault_matrix.moc"
