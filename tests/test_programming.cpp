// Firmware programming: the sequencer against the simulated board over a
// pseudo-terminal (frames on the wire, progress, log lines, the board's
// memory and record afterwards, every failure row, random line faults), the
// replies only a broken board sends, fed straight into the engine, and the
// whole window driven through its widgets.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

#include "BoardServer.h"
#include "LittleEndian.h"
#include "Oru_SerialPort.h"
#include "Records.h"
#include "UpdateSheet.h"
#include "BoardBench.h"
#include "firmware_test_support.h"

using namespace fwtest;
using vboard::BoardServer;
using vboard::BoardType;
using vboard::Program;

namespace {

const QString kPrefix = QStringLiteral("ПРОГРАММИРОВАНИЕ::: ");
const QString kSuccess = QStringLiteral("ПРОГРАММИРОВАНИЕ::: Запись программы и верификация пройдены успешно!");
const QString kVerifyFailed = QStringLiteral("ПРОГРАММИРОВАНИЕ::: Ошибка верификации");
const QString kConfigFailed = QStringLiteral("ПРОГРАММИРОВАНИЕ::: Верификация программной конфигурации не пройдена!");
const QString kUnexpected = QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - принят неожидаемый ответ");
const QString kNotBootloader = QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - не установлен режим бутлоадера. Запустите "
                                              "программму бутлоадера командой во вкладке ОБЩЕЕ");
const QString kWrongBoard = QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - файл обновления не предназначен для "
                                           "подключённого устройства, запись не начата");
const QString kRefusedRequest = QStringLiteral("Идёт программирование: запрос не отправлен");
constexpr int kRunTimeoutMs = 20000;

QByteArray bytesOf(const uint8_t* p, int n)
{
    return QByteArray(reinterpret_cast<const char*>(p), n);
}

uint16_t crcOf(const QByteArray& b)
{
    return Crc16().calc(reinterpret_cast<const uint8_t*>(b.constData()), uint16_t(b.size()));
}

QList<uint8_t> codesOf(const QList<QByteArray>& frames)
{
    QList<uint8_t> codes;
    for (const QByteArray& f : frames)
        codes << uint8_t(f.at(3));
    return codes;
}

struct Progress {
    int percent;
    bool ok;
    bool operator==(const Progress& o) const { return percent == o.percent && ok == o.ok; }
};

QList<Progress> allOk(std::initializer_list<int> values)
{
    QList<Progress> out;
    for (int v : values)
        out << Progress{v, true};
    return out;
}

// Engine, serial link and simulated board, wired the way the window wires them.
struct Rig {
    QTemporaryDir dir;
    std::unique_ptr<BoardServer> server;
    Oru_SerialPort link;
    proto_Vorlen_v2 proto;
    QStringList logs;
    QList<Progress> progress;
    QByteArray image;   // the last image started

    explicit Rig(BoardServer::Options o = {}, Program program = Program::Bootloader)
    {
        o.program = program;
        o.linkPath = dir.filePath(QStringLiteral("board"));
        o.registerForDiscovery = false;
        server = std::make_unique<BoardServer>(o);
        QObject::connect(&proto, &proto_Vorlen_v2::log, [this](const QString& t) { logs << t; });
        QObject::connect(&proto, &proto_Vorlen_v2::cmd_program_progress,
                         [this](uint8_t p, bool ok) { progress << Progress{p, ok}; });
        QObject::connect(&proto, &proto_Vorlen_v2::_transmit_data, &link, &Oru_SerialPort::send);
        QObject::connect(&link, &Oru_SerialPort::_data_recevied, &proto, &proto_Vorlen_v2::parseReceived);
        proto.setGatePrompt([](const QString&) {});
    }

    bool open()
    {
        return server->start() &&
               link.openPort(QStringLiteral("(") + server->linkPath() + QStringLiteral(")"), 115200, 8, 'n', 1) == 0;
    }

    // The record fields the view fills before a run.
    void prepareRecord(uint32_t serial, uint8_t version, const QDate& date)
    {
        proto.stampFwConfig(serial, version, uint8_t(date.day()), uint8_t(date.month()), uint8_t(date.year() - 2000));
    }

    void program(const QByteArray& img)
    {
        image = img;
        proto.startProgramming(reinterpret_cast<const uint8_t*>(image.constData()), uint32_t(image.size()));
    }

    QStringList programmingLines() const
    {
        QStringList out;
        for (const QString& l : logs)
            if (l.startsWith(kPrefix))
                out << l;
        return out;
    }

    QByteArray boardImage(int pages) { return boardPages(*server, pages); }

    static QByteArray boardPages(BoardServer& s, int pages)
    {
        QByteArray out;
        for (int i = 0; i < pages; ++i)
            out += s.board().flashPage(i);
        return out;
    }
};

// The record the board must hold after a run of image with the prepared fields.
QByteArray expectedRecord(const QByteArray& base, const QByteArray& image)
{
    QByteArray r = base;
    auto* p = reinterpret_cast<uint8_t*>(r.data());
    le::put16(p + rec::fwcfg::kFwCrc, crcOf(image));
    le::put16(p + rec::fwcfg::kFwLength, uint16_t(image.size()));
    return r;
}

// An engine with no port: frames it sends are recorded, replies are fed in.
struct Bench {
    proto_Vorlen_v2 proto;
    QList<QByteArray> sent;
    QStringList logs;
    QList<Progress> progress;
    QByteArray image;

    Bench()
    {
        QObject::connect(&proto, &proto_Vorlen_v2::_transmit_data,
                         [this](uint8_t* b, uint32_t n) { sent << bytesOf(b, int(n)); });
        QObject::connect(&proto, &proto_Vorlen_v2::log, [this](const QString& t) { logs << t; });
        QObject::connect(&proto, &proto_Vorlen_v2::cmd_program_progress,
                         [this](uint8_t p, bool ok) { progress << Progress{p, ok}; });
    }
    void program(const QByteArray& img)
    {
        image = img;
        proto.startProgramming(reinterpret_cast<const uint8_t*>(image.constData()), uint32_t(image.size()));
    }
    void reply(QByteArray f) { proto.parseReceived(reinterpret_cast<uint8_t*>(f.data()), uint32_t(f.size())); }
    uint8_t lastCode() const { return sent.isEmpty() ? 0xEE : uint8_t(sent.last().at(3)); }
    // Answers like a good board: status bootloader, acknowledgements, pages and record as written.
    void answerLast()
    {
        const QByteArray req = sent.last();
        const uint8_t code = uint8_t(req.at(3));
        const QByteArray payload = req.mid(4, req.size() - 6);
        switch (code) {
        case rec::cmd::getInfo: reply(wireFrame(code, QByteArray(9, '\0'))); break;
        case rec::cmd::flashWrite: reply(wireFrame(code, payload.left(1))); break;
        case rec::cmd::flashRead:
            reply(wireFrame(code, payload.left(1) + image.mid(uint8_t(payload.at(0)) * 1024, 1024)));
            break;
        case rec::cmd::setFwConfig: record = payload; reply(wireFrame(code)); break;
        case rec::cmd::getFwConfig: reply(wireFrame(code, record)); break;
        default: break;
        }
    }
    QByteArray record;
};

} // namespace

class TestProgramming : public QObject
{
    Q_OBJECT
private slots:
    void onePageRun();
    void threePageRun();
    void lastStepAlwaysReaches100();
    void checksumLoggedWithoutLeadingZeros();
    void mainProgramAtStart();
    void photocolorimeterBootloaderAccepted();
    void fileCheckedAgainstTheBoardAtTheRun_data();
    void fileCheckedAgainstTheBoardAtTheRun();
    void pageReadBackDiffers();
    void configurationReadBackDiffers();
    void unexpectedReplyAndRefusal();
    void boardStopsAnswering();
    void randomLineFaults();

    void imagesThatCannotBeProgrammed();
    void readBacksThatProveNothing();
    void repliesOutsideARunAreIgnored();
    void stepsOfARun_data();
    void stepsOfARun();

    void windowProgramsTheBoard();
    void windowShowsFailuresInTheBar();
    void windowRefusesDamagedFiles_data();
    void windowRefusesDamagedFiles();
    void windowRunChecksTheBoardItIsOn_data();
    void windowRunChecksTheBoardItIsOn();
    void windowRunIsNotBrokenByClicks_data();
    void windowRunIsNotBrokenByClicks();
};

// ---------------------------------------------------------------- simulator

void TestProgramming::onePageRun()
{
    Rig rig;
    QVERIFY(rig.open());
    rig.prepareRecord(123456, 7, QDate(2025, 4, 30));
    const QByteArray base = bytesOf(rig.proto.fwConfigRecord(), 60);
    const QByteArray image = UpdateFileWriter::randomImage(1, 21);
    rig.program(image);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);

    QCOMPARE(rig.progress, allOk({0, 20, 40, 60, 80, 100}));
    const QByteArray record = expectedRecord(base, image);
    const QList<QByteArray> wire = {QByteArray::fromHex("aa060000c1fd"), wireFrame(0x80, QByteArray(1, '\0') + image),
                                    wireFrame(0x81, QByteArray(1, '\0')), wireFrame(0x82, record), wireFrame(0x83)};
    QCOMPARE(rig.server->requests(), wire);
    QCOMPARE(rig.boardImage(1), image);
    QCOMPARE(rig.server->board().fwConfig(), record);
    QCOMPARE(bytesOf(rig.proto.fwConfigRecord(), 60), record);

    const QString crcText = QString::number(crcOf(image), 16);
    const QStringList expected = {
        kPrefix + "Режим бутлоадера проверен",
        kPrefix + "Старт программирования, запись страницы 0",
        kPrefix + "Успешно записана 0 страница памяти. Всего :1024 байт",
        kPrefix + "Успешно прочитана 0 страница памяти",
        kPrefix + "Верификация страницы 0 успешной пройдена",
        kPrefix + QStringLiteral("Контрольная сумма прошивки файла равна: 0\u0445") + crcText,
        kPrefix + "Запрос на запись программной конфигурации",
        kPrefix + "Успешная запись конфигурации",
        kPrefix + "Запрос на верификацию программной конфигурации",
        kPrefix + "Успешное чтение конфигурации",
        kSuccess,
    };
    QCOMPARE(rig.programmingLines(), expected);
    // A request's own start line comes before the line that announces it.
    const int startLine = rig.logs.indexOf(QStringLiteral("СТАРТ - Запрос на запись страницы FLASH памяти № 0"));
    QVERIFY(startLine >= 0);
    QVERIFY(startLine < rig.logs.indexOf(kPrefix + "Старт программирования, запись страницы 0"));
    QVERIFY(rig.logs.indexOf(QStringLiteral("СТАРТ - Запрос на запись конфигурации прошивки (set_FW_Config)")) <
            rig.logs.indexOf(kPrefix + "Запрос на запись программной конфигурации"));
    // Nothing is sent once the run is over.
    QTest::qWait(1200);
    QCOMPARE(rig.server->requests().size(), 5);
}

void TestProgramming::threePageRun()
{
    Rig rig;
    QVERIFY(rig.open());
    rig.prepareRecord(42, 3, QDate(2024, 12, 31));
    const QByteArray base = bytesOf(rig.proto.fwConfigRecord(), 60);
    // Something already in the pages past the image stays there.
    rig.server->board().setFlashPage(3, QByteArray(1024, char(0x3C)));
    const QByteArray image = UpdateFileWriter::randomImage(3, 22);
    rig.program(image);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);

    QCOMPARE(rig.progress, allOk({0, 11, 22, 33, 44, 55, 66, 77, 88, 100}));
    QCOMPARE(codesOf(rig.server->requests()),
             (QList<uint8_t>{0x00, 0x80, 0x81, 0x80, 0x81, 0x80, 0x81, 0x82, 0x83}));
    for (int page = 0; page < 3; ++page) {
        QCOMPARE(rig.server->requests().at(1 + 2 * page), wireFrame(0x80, QByteArray(1, char(page)) + image.mid(page * 1024, 1024)));
        QCOMPARE(rig.server->requests().at(2 + 2 * page), wireFrame(0x81, QByteArray(1, char(page))));
    }
    QVERIFY(rig.logs.contains(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Успешно записана 2 страница памяти. Всего :3072 байт")));
    QVERIFY(rig.logs.contains(kPrefix + "Старт программирования, запись страницы 2"));
    QVERIFY(rig.logs.contains(kPrefix + "Верификация страницы 2 успешной пройдена"));
    QCOMPARE(rig.programmingLines().last(), kSuccess);
    QCOMPARE(rig.boardImage(3), image);
    QCOMPARE(rig.server->board().flashPage(3), QByteArray(1024, char(0x3C)));
    QCOMPARE(rig.server->board().fwConfig(), expectedRecord(base, image));
    QCOMPARE(le::u16(reinterpret_cast<const uint8_t*>(rig.server->board().fwConfig().constData()) + rec::fwcfg::kFwLength),
             uint16_t(3072));
}

void TestProgramming::lastStepAlwaysReaches100()
{
    // Page counts whose last quotient falls just short of 100 in double precision.
    for (int pages : {2, 7}) {
        Rig rig;
        QVERIFY(rig.open());
        rig.program(UpdateFileWriter::randomImage(uint32_t(pages), uint32_t(pages)));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);
        QCOMPARE(rig.progress.size(), 2 * pages + 4);
        QCOMPARE(rig.progress.last(), (Progress{100, true}));
        for (int i = 1; i < rig.progress.size(); ++i)
            QVERIFY(rig.progress.at(i).percent > rig.progress.at(i - 1).percent);
    }
}

void TestProgramming::checksumLoggedWithoutLeadingZeros()
{
    // A one-page image whose checksum is below 0x1000.
    QByteArray image;
    for (uint32_t seed = 1; image.isEmpty(); ++seed) {
        const QByteArray candidate = UpdateFileWriter::randomImage(1, seed);
        if (crcOf(candidate) < 0x1000)
            image = candidate;
    }
    Rig rig;
    QVERIFY(rig.open());
    rig.program(image);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);
    const QString expected = QStringLiteral("ПРОГРАММИРОВАНИЕ::: Контрольная сумма прошивки файла равна: 0\u0445") +
                             QString::number(crcOf(image), 16);
    QVERIFY2(rig.logs.contains(expected), qPrintable(rig.programmingLines().join('\n')));
    QVERIFY(expected.size() <= QStringLiteral("ПРОГРАММИРОВАНИЕ::: Контрольная сумма прошивки файла равна: 0х").size() + 3);
}

void TestProgramming::mainProgramAtStart()
{
    Rig rig({}, Program::Main);
    QVERIFY(rig.open());
    const QByteArray before = rig.boardImage(2);
    const QByteArray recordBefore = rig.server->board().fwConfig();
    rig.program(UpdateFileWriter::randomImage(1, 5));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);
    QCOMPARE(rig.progress, (QList<Progress>{{0, true}, {20, false}}));
    QCOMPARE(rig.programmingLines(), QStringList{kNotBootloader});
    QTest::qWait(1200);
    QCOMPARE(codesOf(rig.server->requests()), QList<uint8_t>{0x00});
    QCOMPARE(rig.boardImage(2), before);
    QCOMPARE(rig.server->board().fwConfig(), recordBefore);
}

void TestProgramming::photocolorimeterBootloaderAccepted()
{
    BoardServer::Options o;
    o.type = BoardType::Photocolorimeter;
    Rig rig(o);
    QVERIFY(rig.open());
    const QByteArray image = UpdateFileWriter::randomImage(2, 8);
    rig.program(image);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);
    QCOMPARE(rig.proto.deviceInfo().progMode, uint8_t(10));
    QCOMPARE(rig.programmingLines().last(), kSuccess);
    QCOMPARE(rig.boardImage(2), image);
}

void TestProgramming::fileCheckedAgainstTheBoardAtTheRun_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("accepted");
    const int lab = int(BoardType::Physics), pc = int(BoardType::Photocolorimeter);
    QTest::newRow("lab file, lab bootloader") << lab << 1 << true;
    QTest::newRow("lab file, photocolorimeter bootloader") << pc << 1 << false;
    QTest::newRow("photocolorimeter file, lab bootloader") << lab << 11 << false;
    QTest::newRow("photocolorimeter file, its bootloader") << pc << 11 << true;
    QTest::newRow("target 0") << lab << 0 << false;
}

void TestProgramming::fileCheckedAgainstTheBoardAtTheRun()
{
    QFETCH(int, type);
    QFETCH(int, target);
    QFETCH(bool, accepted);
    BoardServer::Options o;
    o.type = BoardType(type);
    Rig rig(o);
    QVERIFY(rig.open());
    const QByteArray before = rig.boardImage(1);
    const QByteArray recordBefore = rig.server->board().fwConfig();
    const QByteArray image = UpdateFileWriter::randomImage(1, 14);
    rig.image = image;
    rig.proto.startProgramming(reinterpret_cast<const uint8_t*>(rig.image.constData()), 1024, target);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);
    if (accepted) {
        QCOMPARE(rig.programmingLines().last(), kSuccess);
        QCOMPARE(rig.boardImage(1), image);
        return;
    }
    QCOMPARE(rig.programmingLines(), QStringList{kWrongBoard});
    QCOMPARE(rig.progress, (QList<Progress>{{0, true}, {20, false}}));
    QCOMPARE(codesOf(rig.server->requests()), QList<uint8_t>{0x00});
    QCOMPARE(rig.boardImage(1), before);
    QCOMPARE(rig.server->board().fwConfig(), recordBefore);
}

void TestProgramming::pageReadBackDiffers()
{
    Rig rig;
    QVERIFY(rig.open());
    const QByteArray recordBefore = rig.server->board().fwConfig();
    rig.server->board().corruptPageOnRead(1, 700);
    rig.program(UpdateFileWriter::randomImage(3, 9));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);
    // Steps: bootloader, page 0 written and verified, page 1 written, then the failed check.
    QCOMPARE(rig.progress.last(), (Progress{55, false}));
    QCOMPARE(rig.progress.size(), 6);
    QCOMPARE(rig.programmingLines().last(), kVerifyFailed);
    QVERIFY(!rig.logs.contains(kSuccess));
    QTest::qWait(1200);
    QCOMPARE(codesOf(rig.server->requests()), (QList<uint8_t>{0x00, 0x80, 0x81, 0x80, 0x81}));
    QCOMPARE(rig.server->board().fwConfig(), recordBefore);
}

void TestProgramming::configurationReadBackDiffers()
{
    Rig rig;
    QVERIFY(rig.open());
    rig.server->board().corruptFwConfigOnRead(true);
    rig.program(UpdateFileWriter::randomImage(1, 10));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);
    QCOMPARE(rig.programmingLines().last(), kConfigFailed);
    QCOMPARE(rig.progress.last(), (Progress{100, false}));
    QCOMPARE(rig.progress.count(Progress{100, true}), 0);
    QVERIFY(!rig.logs.contains(kSuccess));
}

void TestProgramming::unexpectedReplyAndRefusal()
{
    {
        // Another request while the first page is being written: the engine
        // refuses it and the run goes on undisturbed.
        Rig rig;
        QVERIFY(rig.open());
        const QByteArray image = UpdateFileWriter::randomImage(2, 11);
        bool sent = false;
        QObject::connect(rig.server.get(), &BoardServer::requestReceived, [&rig, &sent](const QByteArray& f) {
            if (!sent && uint8_t(f.at(3)) == 0x80) {
                sent = true;
                rig.proto.sendCommand(rec::cmd::getFwConfig, nullptr, 0);
            }
        });
        rig.program(image);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);
        QVERIFY(sent);
        QCOMPARE(rig.logs.count(kRefusedRequest), 1);
        QCOMPARE(rig.programmingLines().last(), kSuccess);
        QCOMPARE(codesOf(rig.server->requests()), (QList<uint8_t>{0x00, 0x80, 0x81, 0x80, 0x81, 0x82, 0x83}));
        QCOMPARE(rig.boardImage(2), image);
        // Once the run is over requests go out again.
        rig.proto.sendCommand(rec::cmd::getFwConfig, nullptr, 0);
        QCOMPARE(rig.logs.count(kRefusedRequest), 1);
        QVERIFY(rig.proto.isWaiting());
    }
    {
        // The board drops back into its main program after the status check:
        // it refuses the page write.
        Rig rig;
        QVERIFY(rig.open());
        QObject::connect(rig.server.get(), &BoardServer::replySent, [&rig](const QByteArray& f) {
            if (uint8_t(f.at(3)) == 0x00)
                rig.server->board().setProgram(Program::Main);
        });
        const QByteArray before = rig.boardImage(1);
        rig.program(UpdateFileWriter::randomImage(1, 12));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);
        QVERIFY(rig.logs.contains(
            QStringLiteral("ОТВЕТ МК - недопустимая команда, ошибка контрольной суммы, или формата запроса")));
        QCOMPARE(rig.programmingLines().last(), kUnexpected);
        QCOMPARE(rig.boardImage(1), before);
    }
}

void TestProgramming::boardStopsAnswering()
{
    Rig rig;
    QVERIFY(rig.open());
    QObject::connect(rig.server.get(), &BoardServer::requestReceived, [&rig](const QByteArray& f) {
        if (uint8_t(f.at(3)) == 0x81)
            rig.server->setAnswering(false);
    });
    rig.program(UpdateFileWriter::randomImage(1, 13));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), kRunTimeoutMs);
    const int giveUp = rig.logs.indexOf(QStringLiteral("ОШИБКА - Выполнение команды остановлено - исчерпаны попытки"));
    QVERIFY(giveUp > 0);
    QCOMPARE(rig.logs.at(giveUp + 1), QStringLiteral("ПРОГРАММИРОВАНИЕ::: Завершено"));
    QCOMPARE(rig.logs.filter(QStringLiteral("Отправка команды, попытка 3")).size(), 1);
    // The read request went out three times, the same bytes each time.
    const QList<QByteArray> reqs = rig.server->requests();
    QCOMPARE(reqs.mid(2), (QList<QByteArray>{wireFrame(0x81, QByteArray(1, '\0')), wireFrame(0x81, QByteArray(1, '\0')),
                                             wireFrame(0x81, QByteArray(1, '\0'))}));
    // No progress step for a give-up: the last one is the page write.
    QCOMPARE(rig.progress, allOk({0, 20, 40}));
}

void TestProgramming::randomLineFaults()
{
    // Lost, damaged and split replies. Whatever the run's outcome, success
    // is reported only with the image and its record really on the board.
    int successes = 0, failures = 0, repeats = 0;
    for (uint32_t seed : {3u, 4u, 6u, 8u, 9u}) {
        BoardServer::Options o;
        o.dropProbability = 0.1;
        o.corruptProbability = 0.05;
        o.split = seed % 2 == 1;
        o.seed = seed;
        Rig rig(o);
        QVERIFY(rig.open());
        rig.prepareRecord(seed, 2, QDate(2026, 1, 2));
        const QByteArray base = bytesOf(rig.proto.fwConfigRecord(), 60);
        const QByteArray image = UpdateFileWriter::randomImage(4, seed);
        rig.program(image);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.proto.isProgramming(), 60000);
        // Let late replies and repeats settle before looking at the board.
        QTest::qWait(300);

        const bool reportedSuccess = rig.logs.contains(kSuccess);
        QCOMPARE(rig.progress.contains(Progress{100, true}), reportedSuccess);
        if (reportedSuccess) {
            ++successes;
            QCOMPARE(rig.boardImage(4), image);
            QCOMPARE(rig.server->board().fwConfig(), expectedRecord(base, image));
        } else {
            ++failures;
            QVERIFY(rig.programmingLines().last() != kSuccess);
        }
        repeats += rig.logs.filter(QStringLiteral("Отправка команды, попытка 2")).size();
    }
    qInfo("random faults: %d verified runs, %d failed runs, %d repeated requests", successes, failures, repeats);
    // The faults did happen, and the line was still good enough for verified runs.
    QVERIFY(repeats > 0);
    QVERIFY(successes > 0);
}

// ---------------------------------------------------------------- fed replies

void TestProgramming::imagesThatCannotBeProgrammed()
{
    struct Case {
        int size;
        QString line;
    };
    const QList<Case> cases = {
        {0, kPrefix + "ОШИБКА - образ прошивки пуст"},
        {1500, kPrefix + "ОШИБКА - размер образа прошивки не кратен 1024 байтам"},
        {1023, kPrefix + "ОШИБКА - размер образа прошивки не кратен 1024 байтам"},
        {64 * 1024, kPrefix + "ОШИБКА - размер образа прошивки больше 65535 байт"},
        {256 * 1024, kPrefix + "ОШИБКА - размер образа прошивки больше 65535 байт"},
    };
    for (const Case& c : cases) {
        Bench b;
        b.program(QByteArray(c.size, char(0x11)));
        QCOMPARE(b.logs, QStringList{c.line});
        QCOMPARE(b.progress, (QList<Progress>{{0, false}}));
        QVERIFY(b.sent.isEmpty());
        QVERIFY(!b.proto.isProgramming());
    }
    Bench b;
    b.proto.startProgramming(nullptr, 2048);
    QCOMPARE(b.logs, QStringList{kPrefix + "ОШИБКА - образ прошивки пуст"});
    QVERIFY(b.sent.isEmpty());

    // A refused start also ends a run in progress: its status reply is then ignored.
    Bench r;
    r.program(QByteArray(1024, char(0x22)));
    QCOMPARE(r.sent.size(), 1);
    const QByteArray kept = r.image;
    r.proto.startProgramming(reinterpret_cast<const uint8_t*>(kept.constData()), 100);
    r.answerLast();
    QCOMPARE(r.sent.size(), 1);
    QVERIFY(!r.proto.isProgramming());
}

void TestProgramming::readBacksThatProveNothing()
{
    // Two identical pages: after page 0 the engine's page buffer already holds
    // what page 1 should read back, so only a real read of page 1 may pass.
    const QByteArray image(2048, char(0xFF));
    {
        Bench b;
        b.program(image);
        while (!(b.lastCode() == 0x81 && b.sent.last().at(4) == 1))
            b.answerLast();
        QByteArray shortReply = wireFrame(0x81, QByteArray(1, 1) + image.left(1000));
        b.reply(shortReply);
        QCOMPARE(b.logs.filter(kPrefix).last(), kVerifyFailed);
        QCOMPARE(b.progress.last().ok, false);
        QCOMPARE(b.lastCode(), uint8_t(0x81));
    }
    {
        Bench b;
        b.program(image);
        while (!(b.lastCode() == 0x81 && b.sent.last().at(4) == 1))
            b.answerLast();
        b.reply(wireFrame(0x81, QByteArray(1, 0) + image.left(1024)));   // page 0 again
        QCOMPARE(b.logs.filter(kPrefix).last(), kVerifyFailed);
    }
    {
        // A configuration reply too short to be stored leaves the record as
        // written; that is no proof that the board holds it.
        Bench b;
        b.program(image.left(1024));
        while (b.lastCode() != 0x83)
            b.answerLast();
        b.reply(wireFrame(0x83, b.record.left(40)));
        QCOMPARE(b.logs.filter(kPrefix).last(), kConfigFailed);
        QCOMPARE(b.progress.last(), (Progress{100, false}));
    }
    {
        // The same run answered in full succeeds, so the checks above fail for their reason.
        Bench b;
        b.program(image);
        for (int i = 0; i < 20 && b.proto.isProgramming(); ++i)
            b.answerLast();
        QCOMPARE(b.logs.filter(kPrefix).last(), kSuccess);
    }
}

void TestProgramming::repliesOutsideARunAreIgnored()
{
    Bench b;
    b.reply(wireFrame(0x00, QByteArray(9, '\0')));
    b.reply(wireFrame(0x81, QByteArray(1025, '\0')));
    QVERIFY(b.sent.isEmpty());
    QVERIFY(b.progress.isEmpty());
    QVERIFY(b.logs.filter(kPrefix).isEmpty());

    // After a finished run the board's late replies change nothing either.
    b.program(QByteArray(1024, char(0x5A)));
    for (int i = 0; i < 10 && b.proto.isProgramming(); ++i)
        b.answerLast();
    const int sent = b.sent.size();
    const int lines = b.logs.filter(kPrefix).size();
    b.reply(wireFrame(0x83, b.record));
    b.reply(wireFrame(0x80, QByteArray(1, '\0')));
    QCOMPARE(b.sent.size(), sent);
    QCOMPARE(b.logs.filter(kPrefix).size(), lines);
}

void TestProgramming::stepsOfARun_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("badPage");   // reads back with one byte changed; -1 none
    QTest::addColumn<bool>("overwrite");   // the caller's buffer is overwritten right after the start
    QTest::addColumn<int>("lastPercent");
    QTest::newRow("1 page") << 1 << -1 << false << 100;
    QTest::newRow("2 pages") << 2 << -1 << false << 100;
    QTest::newRow("7 pages") << 7 << -1 << false << 100;
    QTest::newRow("page 1 of 3 reads back wrong") << 3 << 1 << false << 55;
    QTest::newRow("caller's buffer overwritten") << 3 << -1 << true << 100;
}

void TestProgramming::stepsOfARun()
{
    QFETCH(int, pages);
    QFETCH(int, badPage);
    QFETCH(bool, overwrite);
    QFETCH(int, lastPercent);
    using Step = FirmwareProgrammer::Step;
    Bench b;
    const FirmwareProgrammer& programmer = b.proto.firmwareProgrammer();
    QStringList steps;
    QObject::connect(&programmer, &FirmwareProgrammer::stepEntered, [&steps](Step s, uint32_t page) {
        const char* names[] = {"idle", "check", "write", "read", "config", "config read", "done", "failed"};
        const bool paged = s == Step::WritePage || s == Step::ReadBackPage;
        steps << QString::fromLatin1(names[int(s)]) + (paged ? QStringLiteral(" %1").arg(page) : QString());
    });
    b.image = UpdateFileWriter::randomImage(uint32_t(pages), uint32_t(pages) + 90);
    std::vector<uint8_t> callers(b.image.begin(), b.image.end());
    b.proto.startProgramming(callers.data(), uint32_t(callers.size()));
    if (overwrite)
        std::fill(callers.begin(), callers.end(), uint8_t(0));
    for (int i = 0; i < 4 * pages + 8 && b.proto.isProgramming(); ++i) {
        if (b.lastCode() != rec::cmd::flashRead || uint8_t(b.sent.last().at(4)) != badPage) {
            b.answerLast();
            continue;
        }
        QByteArray page = b.image.mid(badPage * 1024, 1024);
        page[700] = char(page[700] ^ 0x01);
        b.reply(wireFrame(rec::cmd::flashRead, QByteArray(1, char(badPage)) + page));
    }

    QStringList expected{"check"};
    for (int p = 0; p <= (badPage < 0 ? pages - 1 : badPage); ++p)
        expected << QStringLiteral("write %1").arg(p) << QStringLiteral("read %1").arg(p);
    expected << (badPage < 0 ? QStringList{"config", "config read", "done"} : QStringList{"failed"});
    QCOMPARE(steps, expected);
    QVERIFY(!b.proto.isProgramming());
    QCOMPARE(programmer.stepsTotal(), uint32_t(2 * pages + 3));
    QCOMPARE(b.progress.size(), int(programmer.stepsDone()) + 1);
    QCOMPARE(b.progress.last(), (Progress{lastPercent, badPage < 0}));
    QCOMPARE(b.logs.filter(kPrefix).last(), badPage < 0 ? kSuccess : kVerifyFailed);
    // Every page went out as the image was when the run started.
    for (const QByteArray& f : b.sent)
        if (uint8_t(f.at(3)) == rec::cmd::flashWrite)
            QCOMPARE(f.mid(5, 1024), b.image.mid(uint8_t(f.at(4)) * 1024, 1024));
}

// ---------------------------------------------------------------- window

namespace {

// A window connected to a simulated board in its bootloader.
struct WindowRig : bench::Bench {
    explicit WindowRig(BoardServer::Options o = {}) : bench::Bench(BoardType::Physics, Program::Bootloader)
    {
        o.program = Program::Bootloader;
        o.linkPath = server->linkPath();
        o.registerForDiscovery = false;
        server = std::make_unique<BoardServer>(o);
    }
    bool connectBoard()
    {
        if (!start())
            return false;
        click("serialPortAction_Button");
        return true;
    }
    bool idle()
    {
        return QTest::qWaitFor([this] { return showsProgram() && !window->engine().isWaiting(); }, 10000);
    }
    // Asks the board for its firmware configuration and waits for it.
    bool readRecord()
    {
        click("bl_fwConf_request_button");
        return QTest::qWaitFor([this] { return window->engine().fwConfigFromBoard() && !window->engine().isWaiting(); },
                               10000);
    }
    // Open, status, then the bootloader tab, whose handler reads the record: ready to choose a file.
    bool ready()
    {
        if (!connectBoard() || !idle())
            return false;
        tabs("cmds")->setCurrentIndex(1);
        return QTest::qWaitFor([this] { return window->engine().fwConfigFromBoard() && !window->engine().isWaiting(); },
                               10000);
    }
    void choose(const QString& path)
    {
        dialogs.fileAnswers.enqueue(path);
        click("bl_choose_Sheet_Button");
    }
    // Closes the port and opens the other board's.
    bool switchTo(BoardServer& other)
    {
        click("serialPortAction_Button");
        if (!other.start())
            return false;
        combo("serialPortList_comboBox")->addItem(QStringLiteral("(") + other.linkPath() + QStringLiteral(")   other"));
        combo("serialPortList_comboBox")->setCurrentIndex(combo("serialPortList_comboBox")->count() - 1);
        click("serialPortAction_Button");
        return idle();
    }
    QProgressBar* bar() { return widget<QProgressBar>("bl_Program_ProgressBar"); }
    QStringList lines() { return logLines(*window); }
};

// Gives the board's record bytes of its own past the serial number.
QByteArray markRecord(BoardServer& s, char fill)
{
    QByteArray record = s.board().fwConfig();
    record.replace(4, 28, QByteArray(28, fill));
    s.board().setFwConfig(record);
    return record;
}

// Everything the board holds that a run could change.
QByteArray boardMemory(BoardServer& s)
{
    return Rig::boardPages(s, 64) + s.board().fwConfig();
}

} // namespace

void TestProgramming::windowProgramsTheBoard()
{
    WindowRig r;
    QVERIFY(r.connectBoard());
    QTRY_VERIFY_WITH_TIMEOUT(r.window->engine().deviceInfo().devType == 1, 10000);
    auto* tabs = r.widget<QTabWidget>("cmds");
    tabs->setCurrentIndex(1);
    QTRY_VERIFY_WITH_TIMEOUT(r.button("bl_fwConf_request_button")->isEnabled(), 5000);
    r.button("bl_fwConf_request_button")->click();
    QTRY_COMPARE_WITH_TIMEOUT(r.text("bl_fwConf_status_label"), QStringLiteral("Успешно"), 10000);

    const QByteArray image = UpdateFileWriter::randomImage(5, 31);
    const QString path = writeUpdateFile(r.dir, "fw.rbin", image, header(1, 200, QDate(2026, 11, 20), 4, "Новая"));
    r.dialogs.fileAnswers.enqueue(path);
    r.button("bl_choose_Sheet_Button")->click();
    QCOMPARE(r.text("bl_Program_sheetSize_label"), QStringLiteral("5120"));
    QVERIFY(r.button("bl_Program_Run_Button")->isEnabled());
    r.widget<QSpinBox>("bl_Program_SN_SpinBox")->setValue(777001);

    r.server->clearRequests();
    r.button("bl_Program_Run_Button")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!r.window->engine().isProgramming(), kRunTimeoutMs);
    QCOMPARE(r.bar()->value(), 100);
    QVERIFY(r.bar()->styleSheet().contains(QStringLiteral("background-color: green")));
    QCOMPARE(Rig::boardPages(*r.server, 5), image);

    const QByteArray boardRecord = r.server->board().fwConfig();
    const auto* rp = reinterpret_cast<const uint8_t*>(boardRecord.constData());
    QCOMPARE(le::u32(rp + rec::fwcfg::kSerialNumber), 777001u);
    QCOMPARE(le::u16(rp + rec::fwcfg::kFwCrc), crcOf(image));
    QCOMPARE(le::u16(rp + rec::fwcfg::kFwLength), uint16_t(5120));
    QCOMPARE(rp[rec::fwcfg::kFwVersion], uint8_t(200));
    QCOMPARE(rp[rec::fwcfg::kBuildDay], uint8_t(20));
    QCOMPARE(rp[rec::fwcfg::kBuildMonth], uint8_t(11));
    QCOMPARE(rp[rec::fwcfg::kBuildYear], uint8_t(26));
    // The read-back refreshed the configuration labels.
    QCOMPARE(r.text("bl_fwConf_sn_label"), QStringLiteral("777001"));
    QCOMPARE(r.text("bl_fwConf_len_label"), QStringLiteral("5120 байт"));
    QCOMPARE(r.text("bl_fwConf_vers_label"), QStringLiteral("200"));
    QCOMPARE(r.text("bl_fwConf_date_label"), QStringLiteral("20.11.2026"));
    QCOMPARE(r.text("bl_fwConf_CRC_label"), QStringLiteral("0x") + QString::number(crcOf(image), 16));
    QCOMPARE(logLines(*r.window).filter(kPrefix).last(), kSuccess);
    QCOMPARE(r.server->requests().size(), 1 + 2 * 5 + 2);
}

void TestProgramming::windowShowsFailuresInTheBar()
{
    WindowRig r;
    QVERIFY(r.connectBoard());
    QTRY_VERIFY_WITH_TIMEOUT(r.window->engine().deviceInfo().devType == 1, 10000);
    r.widget<QTabWidget>("cmds")->setCurrentIndex(1);
    const QByteArray first = UpdateFileWriter::randomImage(2, 41);
    r.dialogs.fileAnswers.enqueue(writeUpdateFile(r.dir, "a.rbin", first, header(1, 250, QDate(2030, 1, 1))));
    // The tab switch reads the board's record; the file is chosen against it.
    QTRY_VERIFY_WITH_TIMEOUT(r.window->engine().fwConfigFromBoard() && !r.window->engine().isWaiting(), 10000);
    r.button("bl_choose_Sheet_Button")->click();
    QVERIFY(r.button("bl_Program_Run_Button")->isEnabled());

    // A page that reads back wrong: red bar at the step reached, nothing more sent.
    r.server->board().corruptPageOnRead(0, 5);
    r.server->clearRequests();
    r.button("bl_Program_Run_Button")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!r.window->engine().isProgramming(), kRunTimeoutMs);
    QCOMPARE(r.bar()->value(), 42);   // 3 of 7 steps
    QVERIFY(r.bar()->styleSheet().contains(QStringLiteral("background-color: red")));
    QCOMPARE(logLines(*r.window).filter(kPrefix).last(), kVerifyFailed);
    QTest::qWait(1200);
    QCOMPARE(codesOf(r.server->requests()), (QList<uint8_t>{0x00, 0x80, 0x81}));

    // Another file cannot be chosen while a run goes on; the run keeps its image.
    r.server->board().corruptPageOnRead(-1, 0);
    const QString other = writeUpdateFile(r.dir, "b.rbin", UpdateFileWriter::randomImage(2, 42), header(1, 251, QDate(2030, 1, 2)));
    bool tried = false;
    QObject::connect(r.server.get(), &BoardServer::requestReceived, [&](const QByteArray& f) {
        if (!tried && uint8_t(f.at(3)) == 0x81) {
            tried = true;
            r.dialogs.fileAnswers.enqueue(other);
            r.window->on_bl_choose_Sheet_Button_clicked();
        }
    });
    r.button("bl_Program_Run_Button")->click();
    QCOMPARE(r.bar()->value(), 0);   // a new run starts green at 0
    QVERIFY(r.bar()->styleSheet().contains(QStringLiteral("background-color: green")));
    QTRY_VERIFY_WITH_TIMEOUT(!r.window->engine().isProgramming(), kRunTimeoutMs);
    QVERIFY(tried);
    QVERIFY(logLines(*r.window).contains(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Идёт программирование, выбор другого файла недоступен")));
    QCOMPARE(logLines(*r.window).filter(kPrefix).last(), kSuccess);
    QCOMPARE(Rig::boardPages(*r.server, 2), first);
    QCOMPARE(r.text("bl_Program_sheetVers_label"), QStringLiteral("250"));
}

void TestProgramming::windowRefusesDamagedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("reasons");
    const QByteArray good = UpdateFileWriter::build(UpdateFileWriter::randomImage(5, 61), header(1, 200, QDate(2030, 1, 1)));
    const uint16_t goodCrc = le::u16(reinterpret_cast<const uint8_t*>(good.constData()) + UpdateSheet::kImageCrc);
    const QString prefix = QStringLiteral("Файл обновления повреждён: ");
    auto crcLine = [&](uint16_t actual, uint16_t stated) {
        return prefix + QStringLiteral("контрольная сумма образа 0x%1 не совпадает с указанной в заголовке 0x%2")
                            .arg(actual, 0, 16)
                            .arg(stated, 0, 16);
    };
    auto image = [](const QByteArray& f, int n) {
        return crcOf(f.mid(int(UpdateSheet::kImage), n).leftJustified(n, '\0'));
    };

    QTest::newRow("writer's file") << good << QStringList();
    const QByteArray cut = good.left(6144);
    QTest::newRow("cut to 6 KB") << cut
                                 << QStringList{prefix + "размер файла 6144 байт, а должен быть 101376 байт",
                                                prefix + "образ прошивки (5120 байт) выходит за конец файла",
                                                crcLine(image(cut, 5120), goodCrc)};
    QTest::newRow("longer") << good + "x" << QStringList{prefix + "файл длиннее 101376 байт"};
    QByteArray damaged = good;
    damaged[int(UpdateSheet::kImage) + 3000] = char(damaged[int(UpdateSheet::kImage) + 3000] ^ 0x10);
    QTest::newRow("damaged image") << damaged << QStringList{crcLine(image(damaged, 5120), goodCrc)};
    // Its checksum agrees with its 1500 bytes: only the length is wrong.
    QByteArray partPage = good;
    auto* p = reinterpret_cast<uint8_t*>(partPage.data());
    le::put16(p + UpdateSheet::kImageLength, 1500);
    le::put16(p + UpdateSheet::kImageCrc, image(partPage, 1500));
    QTest::newRow("not whole pages") << partPage
                                     << QStringList{prefix + "длина образа прошивки 1500 байт не кратна странице (1024 байт)"};
}

void TestProgramming::windowRefusesDamagedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, reasons);
    WindowRig r;
    QVERIFY(r.ready());
    const QByteArray memoryBefore = boardMemory(*r.server);
    const int linesBefore = r.lines().size();
    r.choose(writeFile(r.dir, "f.rbin", file));
    const QStringList added = r.lines().mid(linesBefore);
    QCOMPARE(added.filter(QStringLiteral("повреждён")), reasons);
    QCOMPARE(r.button("bl_Program_Run_Button")->isEnabled(), reasons.isEmpty());
    QCOMPARE(added.contains(QStringLiteral("Файл обновления успешно загружен")), reasons.isEmpty());
    if (reasons.isEmpty())
        return;
    QCOMPARE(r.text("bl_Program_sheetSize_label"), QStringLiteral("Не загружено"));
    r.click("bl_Program_Run_Button");
    QVERIFY(!r.window->engine().isProgramming());
    QVERIFY(r.requests(0x80).isEmpty());
    QCOMPARE(boardMemory(*r.server), memoryBefore);
}

void TestProgramming::windowRunChecksTheBoardItIsOn_data()
{
    QTest::addColumn<int>("otherType");
    QTest::newRow("photocolorimeter bootloader") << int(BoardType::Photocolorimeter);
    QTest::newRow("another laboratory bootloader") << int(BoardType::Physics);
}

void TestProgramming::windowRunChecksTheBoardItIsOn()
{
    QFETCH(int, otherType);
    WindowRig r;
    const QByteArray recordA = markRecord(*r.server, char(0xAA));
    QVERIFY(r.ready());
    const QByteArray image = UpdateFileWriter::randomImage(2, 71);
    const QString path = writeUpdateFile(r.dir, "lab.rbin", image, header(1, 200, QDate(2030, 1, 1)));
    r.choose(path);
    QCOMPARE(uint32_t(r.widget<QSpinBox>("bl_Program_SN_SpinBox")->value()), le::u32(reinterpret_cast<const uint8_t*>(recordA.data())));

    BoardServer::Options o;
    o.type = BoardType(otherType);
    o.program = Program::Bootloader;
    o.seed = 2;
    o.linkPath = r.dir.filePath(QStringLiteral("other"));
    o.registerForDiscovery = false;
    BoardServer other(o);
    const QByteArray recordB = markRecord(other, char(0x55));
    const QByteArray memoryB = boardMemory(other);
    QVERIFY(r.switchTo(other));

    // The run button still shows the file of the first board: the run is refused before anything is sent.
    QVERIFY(r.button("bl_Program_Run_Button")->isEnabled());
    other.clearRequests();
    r.click("bl_Program_Run_Button");
    QCOMPARE(r.lines().last(), QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - устройство переподключено после выбора "
                                              "файла обновления. Выберите файл снова"));
    QVERIFY(!r.window->engine().isProgramming());
    QVERIFY(other.requests().isEmpty());
    QCOMPARE(boardMemory(other), memoryB);

    // Chosen again on this board before its record was read: refused, the record is not the first board's.
    r.choose(path);
    if (o.type == BoardType::Photocolorimeter) {
        QCOMPARE(r.dialogs.shown.last().text, QStringLiteral("Файл обновления не предназначен для данного устройства!"));
        QCOMPARE(boardMemory(other), memoryB);
        return;
    }
    QCOMPARE(r.lines().last(), QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - конфигурация прошивки не прочитана с "
                                              "подключённого устройства. Нажмите «Запросить» и выберите файл снова"));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.window->engine().fwConfigRecord()), 60), QByteArray(60, '\0'));

    // Read, chosen, programmed: the board keeps its own serial number and bytes.
    QVERIFY(r.readRecord());
    r.choose(path);
    r.click("bl_Program_Run_Button");
    QTRY_VERIFY_WITH_TIMEOUT(!r.window->engine().isProgramming(), kRunTimeoutMs);
    QCOMPARE(r.lines().filter(kPrefix).last(), kSuccess);
    QCOMPARE(Rig::boardPages(other, 2), image);
    QCOMPARE(other.board().fwConfig().left(32), recordB.left(32));
}

void TestProgramming::windowRunIsNotBrokenByClicks_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("success") << QString();
    QTest::newRow("page fails verification") << QStringLiteral("corrupt");
    QTest::newRow("port lost") << QStringLiteral("lost");
    QTest::newRow("port closed by the user") << QStringLiteral("close");
}

void TestProgramming::windowRunIsNotBrokenByClicks()
{
    QFETCH(QString, ending);
    // Replies at the line's real speed leave room for the user between them.
    BoardServer::Options o;
    o.baud = 115200;
    WindowRig r(o);
    QVERIFY(r.ready());
    const QByteArray image = UpdateFileWriter::randomImage(3, 81);
    r.choose(writeUpdateFile(r.dir, "a.rbin", image, header(1, 250, QDate(2030, 1, 1))));
    // A control already off before the run stays off after it.
    r.button("bl_fwConf_request_button")->setEnabled(false);
    const QList<QWidget*> locked = {r.tabs("cmds")->tabBar(),          r.widget("dev_info"),
                                    r.button("bl_fwConf_request_button"), r.button("bl_choose_Sheet_Button"),
                                    r.button("bl_Program_Run_Button"),    r.widget("hwConfig_GroupBox"),
                                    r.widget("bl_atCmd_GroupBox")};
    auto ownStates = [&] {
        QList<bool> out;
        for (QWidget* w : locked)
            out << !w->testAttribute(Qt::WA_ForceDisabled);
        return out;
    };
    const QList<bool> before = ownStates();
    QCOMPARE(before.count(true), locked.size() - 1);

    // While page 1 is written the status tab is shown (its handler asks for the
    // status, auto-update being on) and the status button's slot runs; then the run ends its way.
    if (ending == QLatin1String("corrupt"))
        r.server->board().corruptPageOnRead(1, 9);
    QObject::connect(r.server.get(), &BoardServer::requestReceived, [&](const QByteArray& f) {
        if (uint8_t(f.at(3)) == 0x80 && uint8_t(f.at(4)) == 1) {
            r.tabs("cmds")->setCurrentIndex(0);
            r.window->on_getInfo_Button_clicked();
        } else if (uint8_t(f.at(3)) == 0x81 && uint8_t(f.at(4)) == 1 && ending == QLatin1String("lost")) {
            r.server->disconnectNow();
        } else if (uint8_t(f.at(3)) == 0x81 && uint8_t(f.at(4)) == 1 && ending == QLatin1String("close")) {
            r.click("serialPortAction_Button");
        }
    });
    r.server->clearRequests();
    r.click("bl_Program_Run_Button");
    QVERIFY(r.window->engine().isProgramming());
    for (QWidget* w : locked)
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(r.button("serialPortAction_Button")->isEnabled());   // the port can always be closed

    QTRY_VERIFY_WITH_TIMEOUT(!r.window->engine().isProgramming(), kRunTimeoutMs);
    QCOMPARE(r.lines().count(kRefusedRequest), 2);
    QCOMPARE(ownStates(), before);
    const QString last = r.lines().filter(kPrefix).last();
    if (ending.isEmpty()) {
        QCOMPARE(last, kSuccess);
        QCOMPARE(codesOf(r.server->requests()), (QList<uint8_t>{0x00, 0x80, 0x81, 0x80, 0x81, 0x80, 0x81, 0x82, 0x83}));
        QCOMPARE(Rig::boardPages(*r.server, 3), image);
        // After the run the status tab asks again.
        r.tabs("cmds")->setCurrentIndex(1);
        r.tabs("cmds")->setCurrentIndex(0);
        QTRY_COMPARE_WITH_TIMEOUT(r.requests(0x00).size(), 2, 5000);
    } else if (ending == QLatin1String("corrupt")) {
        QCOMPARE(last, kVerifyFailed);
    } else {
        QCOMPARE(last, QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - порт закрыт, программирование прервано"));
        // The run's request is not repeated into the next port.
        QVERIFY(!r.window->engine().isWaiting());
        QVERIFY(!r.isOpen());
    }
}

QTEST_MAIN(TestProgramming)
#include "test_programming.moc"
