// Requests on the wire, the transaction timeline with the real reply timer,
// reply matching and refusals, frame checks, and the mode gate.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include "FrameCodec.h"
#include "test_engine_harness.h"

static const QString kStop = QStringLiteral("СТОП - выполнение команды остановлено");
static const QString kGiveUp = QStringLiteral("ОШИБКА - Выполнение команды остановлено - исчерпаны попытки");
static QString attempt(int n) { return QStringLiteral("Отправка команды, попытка %1").arg(n); }

class EngineTransactionsTest : public QObject
{
    Q_OBJECT

private slots:
    void checksumVectors();
    void codecVectors_data();
    void codecVectors();
    void requestFrames();
    void startLines_data();
    void startLines();
    void unknownCodeLeavesPendingCommand();
    void overlongRequestRefused();
    void timelineWithRealTimer();
    void newCommandReplacesPending();
    void corruptedReplyKeepsTransaction();
    void refusals_data();
    void refusals();
    void frameChecks();
    void gate_data();
    void gate();
    void gateWithoutPromptStillRefuses();
    void followUpKeepsItsTimeout();
    void programmingHandOverAndGiveUp();
};

void EngineTransactionsTest::checksumVectors()
{
    Crc16 crc;
    const QByteArray digits("123456789");
    QCOMPARE(crc.calc(reinterpret_cast<const uint8_t*>(digits.constData()), 9), uint16_t(0x4B37));
    QCOMPARE(crc.calc(nullptr, 0), uint16_t(0xFFFF));
    QByteArray framed = digits + QByteArray(2, '\0');
    crc.append(reinterpret_cast<uint8_t*>(framed.data()), uint16_t(framed.size()));
    QCOMPARE(framed.right(2), bytes({0x37, 0x4B}));
    QVERIFY(crc.check(reinterpret_cast<const uint8_t*>(framed.constData()), uint16_t(framed.size())));
    framed[0] = '0';
    QVERIFY(!crc.check(reinterpret_cast<const uint8_t*>(framed.constData()), uint16_t(framed.size())));
}

void EngineTransactionsTest::codecVectors_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("front");   // FrameCodec::Front of the block at the front of a buffer
    QTest::addColumn<int>("fault");   // FrameCodec::Fault of the block taken as one frame
    QTest::addColumn<QByteArray>("payload");
    using F = FrameCodec::Front;
    using E = FrameCodec::Fault;
    const QByteArray info = bytes({0xAA, 0x06, 0x00, 0x00, 0xC1, 0xFD});
    QTest::newRow("getInfo") << info << int(F::Frame) << int(E::None) << QByteArray();
    QTest::newRow("archive data 0, 8") << bytes({0xAA, 0x08, 0x00, 0x21, 0x00, 0x08, 0xA8, 0x1C}) << int(F::Frame)
                                       << int(E::None) << bytes({0x00, 0x08});
    QTest::newRow("refusal") << bytes({0xAA, 0x06, 0x00, 0xFF, 0x81, 0xBD}) << int(F::Frame) << int(E::None) << QByteArray();
    QTest::newRow("nothing") << QByteArray() << int(F::Empty) << int(E::Checksum) << QByteArray();
    QTest::newRow("start byte alone") << bytes({0xAA}) << int(F::Incomplete) << int(E::Checksum) << QByteArray();
    QTest::newRow("wrong checksum") << bytes({0xAA, 0x06, 0x00, 0x00, 0xC1, 0xFE}) << int(F::Junk) << int(E::Checksum)
                                    << QByteArray();
    QTest::newRow("wrong start byte") << bytes({0x55, 0x06, 0x00, 0x00, 0xF1, 0xE9}) << int(F::Junk) << int(E::Start)
                                      << QByteArray();
    QTest::newRow("five bytes") << bytes({0xAA, 0x05, 0x00, 0x52, 0xB0}) << int(F::Junk) << int(E::Length) << QByteArray();
    QTest::newRow("length field 7 of 6") << bytes({0xAA, 0x07, 0x00, 0x00, 0x90, 0x3D}) << int(F::Incomplete)
                                         << int(E::Length) << QByteArray();
}

// The codec against byte vectors: building, finding at the front of a
// buffer, the first failing check, code and payload.
void EngineTransactionsTest::codecVectors()
{
    QFETCH(QByteArray, block);
    QFETCH(int, front);
    QFETCH(int, fault);
    QFETCH(QByteArray, payload);
    uint32_t length = 0;
    QCOMPARE(int(FrameCodec::examineFront(u8(block), size_t(block.size()), &length)), front);
    QCOMPARE(int(FrameCodec::firstFault(u8(block), size_t(block.size()))), fault);
    if (fault != int(FrameCodec::Fault::None))
        return;
    QCOMPARE(int(length), block.size());
    QCOMPARE(FrameCodec::build(FrameCodec::code(block), payload), block);
    QCOMPARE(FrameCodec::payload(block), payload);
    // Followed by the start of another frame, it is still found whole.
    QCOMPARE(int(FrameCodec::examineFront(u8(block + block.left(3)), size_t(block.size() + 3), &length)), int(FrameCodec::Front::Frame));
    QCOMPARE(int(FrameCodec::toNextStart(u8(block + block), size_t(2 * block.size()))), block.size());
}

void EngineTransactionsTest::requestFrames()
{
    EngineProbe e;

    e.send(0x00);
    QCOMPARE(e.sent.last(), bytes({0xAA, 0x06, 0x00, 0x00, 0xC1, 0xFD}));

    e.send(0x21, bytes({0x00, 0x08}));
    QCOMPARE(e.sent.last(), bytes({0xAA, 0x08, 0x00, 0x21, 0x00, 0x08, 0xA8, 0x1C}));

    // Commands without a payload stay 6 bytes whatever the caller passes.
    for (uint32_t code : {0x00u, 0x31u, 0x41u, 0x83u, 0x84u, 0x85u}) {
        e.send(code, bytes({1, 2, 3}));
        QCOMPARE(e.sent.last(), wireFrame(uint8_t(code)));
    }

    // set_HW_Config carries the engine's record and its CRC, not the caller's bytes.
    const QByteArray record = filled(int(rec::hwcfg::kSize), 3);
    e.proto.writeHwConfig(u8(record));
    e.send(0x30, bytes({9, 9, 9, 9}));
    const QByteArray hw = e.sent.last();
    QCOMPARE(hw.size(), 296);
    QCOMPARE(hw.mid(0, 4), bytes({0xAA, 0x28, 0x01, 0x30}));
    QCOMPARE(hw.mid(4, 288), record);
    Crc16 crc;
    QVERIFY(crc.check(reinterpret_cast<const uint8_t*>(hw.constData()) + 4, 290));
    QVERIFY(crc.check(reinterpret_cast<const uint8_t*>(hw.constData()), 296));

    // AT "AT" at 9600 baud.
    e.send(0x50, bytes({0x80, 0x25, 0x00, 0x00, 0x41, 0x54, 0x0D, 0x0A}));
    QCOMPARE(e.sent.last(), wireFrame(0x50, bytes({0x80, 0x25, 0x00, 0x00, 0x41, 0x54, 0x0D, 0x0A})));
    QCOMPARE(e.sent.last().size(), 14);
    QCOMPARE(uint8_t(e.sent.last()[1]), uint8_t(14));

    // Page read keeps only the page byte; the rest of the announced length is zero.
    e.send(0x81, bytes({7, 0x55, 0x66}));
    QCOMPARE(e.sent.last(), wireFrame(0x81, bytes({7, 0, 0})));
    e.send(0x8B, bytes({3, 2, 0x77}));
    QCOMPARE(e.sent.last(), wireFrame(0x8B, bytes({3, 2, 0})));

    // Statistics read and reset.
    e.send(0xFE);
    QCOMPARE(e.sent.last(), wireFrame(0xFE));
    e.send(0xFE, bytes({0x94, 0x2B}));
    QCOMPARE(e.sent.last(), wireFrame(0xFE, bytes({0x94, 0x2B})));

    // A full page write: 1025-byte payload, 1031-byte frame.
    const QByteArray page = bytes({4}) + filled(1024);
    e.send(0x80, page);
    QCOMPARE(e.sent.last(), wireFrame(0x80, page));
    QCOMPARE(e.proto.lastFrameLength(), 1031u);

    // requestRawData is get_RawData with the caller's payload.
    const uint8_t control[3] = {1, 2, 3};
    e.proto.requestRawData(control, 3);
    QCOMPARE(e.sent.last(), wireFrame(0x1F, bytes({1, 2, 3})));
}

void EngineTransactionsTest::startLines_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("line");

    QTest::newRow("getInfo") << 0x00 << QByteArray() << "СТАРТ - Запрос состояния устройства (getInfo)";
    QTest::newRow("exchange") << 0x10 << bytes({1, 2}) << "СТАРТ - Запрос данных обмена (get_DataExchange)";
    QTest::newRow("raw") << 0x1F << QByteArray() << "СТАРТ - Запрос физических данных платы (get_RawData)";
    QTest::newRow("archive status") << 0x20 << QByteArray() << "СТАРТ - Запрос статуса архива (archiveControl)";
    QTest::newRow("archive start") << 0x20 << filled(30)
                                   << "СТАРТ - запуск сохранения нового архива (archiveControl)";
    QTest::newRow("archive data") << 0x21 << bytes({5, 3})
                                  << "СТАРТ - запрос архивных данных, адрес = 5, количество = 3";
    QTest::newRow("hw set") << 0x30 << QByteArray()
                            << "СТАРТ - Запрос на запись аппаратной конфигурации (set_HW_Config)";
    QTest::newRow("hw get") << 0x31 << QByteArray()
                            << "СТАРТ - Запрос на чтение аппаратной конфигурации (get_HW_Config)";
    QTest::newRow("user set") << 0x40 << bytes({0, 1, 1, 9})
                              << "СТАРТ - Запрос на запись пользовательских калибровочных данных (set_UserData)";
    QTest::newRow("user get") << 0x41 << QByteArray()
                              << "СТАРТ - Запрос на чтение пользовательских калибровочных данных (get_UserData)";
    QTest::newRow("at") << 0x50 << bytes({0x80, 0x25, 0, 0, 0x41, 0x54, 0x0D, 0x0A})
                        << "СТАРТ - Отправка AT-Команды BLE модулю (BLE_ATCmd)";
    QTest::newRow("page write") << 0x80 << bytes({12}) + filled(1024)
                                << "СТАРТ - Запрос на запись страницы FLASH памяти № 12";
    QTest::newRow("page read") << 0x81 << bytes({200}) << "СТАРТ - Запрос на чтение страницы FLASH памяти № 200";
    QTest::newRow("fw set") << 0x82 << filled(60)
                            << "СТАРТ - Запрос на запись конфигурации прошивки (set_FW_Config)";
    QTest::newRow("fw get") << 0x83 << QByteArray()
                            << "СТАРТ - Запрос на чтение конфигурации прошивки (get_FW_Config)";
    QTest::newRow("bl init") << 0x84 << QByteArray()
                             << "СТАРТ - Запрос команды на запуск загрузчика (bootloader_init)";
    QTest::newRow("bl finish") << 0x85 << QByteArray()
                               << "СТАРТ - Запрос команды на запуск основной программы (bootloader_finish)";
    QTest::newRow("block write") << 0x8A << bytes({3, 2, 1, 1, 1, 1})
                                 << "СТАРТ - Запрос на запись страницы FLASH по блокам. Страница № 3. Блок №2";
    QTest::newRow("block read") << 0x8B << bytes({3, 2})
                                << "СТАРТ - Запрос на чтение страницы FLASH по блокам. Страница № 3. Блок №2";
    QTest::newRow("stat read") << 0xFE << QByteArray() << "СТАРТ - запрос на чтение данных статистики платы";
    QTest::newRow("stat reset") << 0xFE << bytes({0x94, 0x2B}) << "СТАРТ - запрос на сброс данных статистики платы";
    // Numbers come from the frame: a missing byte reads as 0, never past the payload.
    QTest::newRow("page read, no payload") << 0x81 << QByteArray()
                                           << "СТАРТ - Запрос на чтение страницы FLASH памяти № 0";
}

void EngineTransactionsTest::startLines()
{
    QFETCH(int, code);
    QFETCH(QByteArray, payload);
    QFETCH(QString, line);
    EngineProbe e;
    e.send(uint32_t(code), payload);
    QCOMPARE(e.logs, QStringList({line, attempt(1)}));
    QCOMPARE(e.sent.size(), 1);
    QCOMPARE(uint8_t(e.sent.first()[3]), uint8_t(code));
}

void EngineTransactionsTest::unknownCodeLeavesPendingCommand()
{
    EngineProbe e;
    e.send(0x31);
    const QByteArray frame = e.sent.last();
    e.clear();

    for (uint32_t code : {0x01u, 0x11u, 0x42u, 0x86u, 0xFFu, 0x100u}) {
        e.send(code, bytes({1, 2}));
        QVERIFY(e.sent.isEmpty());
        QVERIFY(e.logs.isEmpty());
    }
    QCOMPARE(e.proto.pendingCommand(), 0x31u);
    QCOMPARE(e.proto.attemptsRemaining(), 2u);
    QVERIFY(e.proto.isWaiting());

    // The pending request is still repeated unchanged.
    e.proto.repeatCommand();
    QCOMPARE(e.sent, QList<QByteArray>({frame}));
    QCOMPARE(e.logs, QStringList({attempt(2)}));
}

void EngineTransactionsTest::overlongRequestRefused()
{
    EngineProbe e;
    e.send(0x00);
    e.clear();

    e.send(0x50, filled(2043));
    QVERIFY(e.sent.isEmpty());
    QCOMPARE(e.logs.size(), 1);
    QVERIFY(e.logs.first().startsWith(QStringLiteral("ОШИБКА - ")));
    QVERIFY(e.logs.first().contains(QStringLiteral("2043")));
    QCOMPARE(e.proto.pendingCommand(), 0x00u);
    QCOMPARE(e.proto.lastFrameLength(), 6u);

    // The largest frame that fits the transmit buffer still goes out.
    e.clear();
    e.send(0x50, filled(2042));
    QCOMPARE(e.sent.size(), 1);
    QCOMPARE(e.sent.first().size(), 2048);
    QCOMPARE(e.sent.first(), wireFrame(0x50, filled(2042)));
}

void EngineTransactionsTest::timelineWithRealTimer()
{
    // Times are taken where the signals arrive, not where the test wakes up.
    QElapsedTimer clock;
    QList<qint64> sentAt;
    qint64 loggedAt = -1;
    EngineProbe e;
    QObject::connect(&e.proto, &proto_Vorlen_v2::_transmit_data, [&] { sentAt << clock.elapsed(); });
    QObject::connect(&e.proto, &proto_Vorlen_v2::log, [&] { loggedAt = clock.elapsed(); });
    clock.start();
    e.send(0x83);
    QCOMPARE(e.sent.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(e.logs.size(), 5, 8000);
    // A time-out of 1000 ms is 1000 ms: a board answering in time gets no repeat.
    sentAt << loggedAt;   // the give-up
    for (int i = 1; i < sentAt.size(); ++i) {
        const qint64 gap = sentAt[i] - sentAt[i - 1];
        QVERIFY2(gap >= 980 && gap <= 1100, qPrintable(QString::number(gap)));
    }
    QCOMPARE(e.logs, QStringList({"СТАРТ - Запрос на чтение конфигурации прошивки (get_FW_Config)", attempt(1),
                                  attempt(2), attempt(3), kGiveUp}));
    QCOMPARE(e.sent.size(), 3);
    QCOMPARE(e.sent[0], wireFrame(0x83));
    QCOMPARE(e.sent[1], e.sent[0]);
    QCOMPARE(e.sent[2], e.sent[0]);
    QVERIFY(!e.proto.isWaiting());
    QCOMPARE(e.proto.attemptsRemaining(), 0u);

    // A reply after the give-up is still decoded and logged as expected.
    QSignalSpy updated(&e.proto, &proto_Vorlen_v2::cmd_fwConfig_updated);
    e.clear();
    const QByteArray record = filled(60, 5);
    e.receive(wireFrame(0x83, record));
    QCOMPARE(updated.count(), 1);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.proto.fwConfigRecord()), 60), record);
    QCOMPARE(e.logs, QStringList({"Принят ожидаемый ответ на команду - чтения программной конфигурации. Успешное "
                                  "чтение",
                                  kStop}));
    QVERIFY(e.sent.isEmpty());

    // A piece of a reply is held for 100 ms from its arrival before it is given up.
    e.clear();
    const qint64 pieceAt = clock.elapsed();
    e.receive(wireFrame(0x83, record).left(10));
    QTRY_COMPARE_WITH_TIMEOUT(e.logs, QStringList{"ОШИБКА - Неверная контрольная сумма принятых данных"}, 2000);
    QVERIFY2(loggedAt - pieceAt >= 95 && loggedAt - pieceAt <= 300, qPrintable(QString::number(loggedAt - pieceAt)));
}

void EngineTransactionsTest::newCommandReplacesPending()
{
    EngineProbe e;
    e.send(0xFE);
    e.send(0x00);
    QCOMPARE(e.sent, QList<QByteArray>({wireFrame(0xFE), wireFrame(0x00)}));
    QCOMPARE(e.proto.pendingCommand(), 0x00u);
    QCOMPARE(e.proto.attemptsRemaining(), 2u);

    // The time-out repeats the new command, never the abandoned one.
    QTRY_COMPARE_WITH_TIMEOUT(e.sent.size(), 3, 5000);
    QCOMPARE(e.sent.last(), wireFrame(0x00));
    QCOMPARE(e.logs.last(), attempt(2));

    // The late reply to the abandoned command still stores and signals.
    QSignalSpy statSpy(&e.proto, &proto_Vorlen_v2::cmd_stat_received);
    e.clear();
    const QByteArray stats = filled(60, 9);
    e.receive(wireFrame(0xFE, stats));
    QCOMPARE(statSpy.count(), 1);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.proto.statRecord()), 60), stats);
    QCOMPARE(e.logs, QStringList({"Принят неожидаемый ответ на другую команду - чтения статистики платы", kStop}));
    QVERIFY(!e.proto.isWaiting());
    QCOMPARE(e.proto.attemptsRemaining(), 0u);
}

void EngineTransactionsTest::corruptedReplyKeepsTransaction()
{
    EngineProbe e;
    e.send(0x00);
    QByteArray reply = wireFrame(0x00, bytes({1, 1, 1, 0, 0x40, 0, 1, 0, 0x12}));
    reply[8] = char(0x41);
    QSignalSpy info(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received);
    e.clear();
    e.receive(reply);
    QCOMPARE(e.logs, QStringList({"ОШИБКА - Неверная контрольная сумма принятых данных"}));
    QCOMPARE(info.count(), 0);
    QVERIFY(e.proto.isWaiting());
    QCOMPARE(e.proto.attemptsRemaining(), 2u);

    QTRY_COMPARE_WITH_TIMEOUT(e.sent.size(), 1, 5000);
    QCOMPARE(e.sent.first(), wireFrame(0x00));
    QCOMPARE(e.logs.last(), attempt(2));
}

void EngineTransactionsTest::refusals_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("line");
    QTest::newRow("bootloader_init") << 0x84 << "ОТВЕТ МК - загрузчик уже запущен, или неверный формат команды";
    QTest::newRow("bootloader_finish") << 0x85
                                       << "ОТВЕТ МК - основная программа уже запущена, или неверный формат команды";
    QTest::newRow("other") << 0x30
                           << "ОТВЕТ МК - недопустимая команда, ошибка контрольной суммы, или формата запроса";
}

void EngineTransactionsTest::refusals()
{
    QFETCH(int, code);
    QFETCH(QString, line);
    EngineProbe e;
    e.send(uint32_t(code));
    QSignalSpy reload(&e.proto, &proto_Vorlen_v2::cmd_Reload_Request);
    e.clear();
    e.receive(wireFrame(0xFF));
    QCOMPARE(e.logs, QStringList({line, kStop}));
    QCOMPARE(reload.count(), 0);
    QVERIFY(!e.proto.isWaiting());
}

void EngineTransactionsTest::frameChecks()
{
    EngineProbe e;
    e.send(0x00);
    e.clear();
    const QString badCrc = QStringLiteral("ОШИБКА - Неверная контрольная сумма принятых данных");

    e.receive(QByteArray());
    e.receive(bytes({0x00}));
    QCOMPARE(e.logs, QStringList({badCrc, badCrc}));
    // A lone start byte may be the first piece of a reply: it is rejected
    // once nothing completes it.
    e.clear();
    e.receive(bytes({0xAA}));
    QTRY_COMPARE_WITH_TIMEOUT(e.logs, QStringList({badCrc}), 5000);

    // Correct CRC but a wrong start byte.
    QByteArray header = wireFrame(0x00, filled(9));
    header[0] = char(0x55);
    header.chop(2);
    header.append(2, '\0');
    Crc16().append(reinterpret_cast<uint8_t*>(header.data()), uint16_t(header.size()));
    e.clear();
    e.receive(header);
    QCOMPARE(e.logs, QStringList({"ОШИБКА - Неверный заголовок посылки"}));

    // Correct CRC but a length field that disagrees with the block: a shorter
    // field is rejected at once, a longer one once the rest fails to come.
    const QString badLength = QStringLiteral("ОШИБКА - Длина посылки в протоколе не соответствует принятой");
    for (int field : {14, 20}) {
        QByteArray length = wireFrame(0x00, filled(9));
        length[1] = char(field);
        length.chop(2);
        length.append(2, '\0');
        Crc16().append(reinterpret_cast<uint8_t*>(length.data()), uint16_t(length.size()));
        e.clear();
        e.receive(length);
        QTRY_COMPARE_WITH_TIMEOUT(e.logs, QStringList({badLength}), 5000);
    }
    QVERIFY(e.proto.isWaiting());
    QCOMPARE(e.proto.attemptsRemaining(), 2u);

    // A bare frame with a code no request uses is a valid, unexpected reply.
    e.clear();
    e.receive(wireFrame(0x77));
    QCOMPARE(e.logs, QStringList({"Принят неожидаемый ответ на другую команду - ", kStop}));
    QVERIFY(!e.proto.isWaiting());
}

void EngineTransactionsTest::gate_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("progMode");
    QTest::addColumn<QString>("refusal");   // empty: allowed

    const QString boot = QStringLiteral("недоступна в режиме бутлоадера");
    const QString main = QStringLiteral("недоступна в режиме основной программы");
    struct Row {
        int code;
        int needs;
        QString phrase;
    };
    const Row rows[] = {
        {0x20, 1, "запуска и чтения статуса архива " + boot},
        {0x21, 1, "запроса архивных данных " + boot},
        {0x30, 0, "записи аппаратной конфигурации " + main},
        {0x40, 1, "записи пользовательских калибровочных данных " + boot},
        {0x41, 1, "чтения пользовательских калибровочных данных " + boot},
        {0x80, 0, "записи прошивки " + main},
        {0x81, 0, "чтения прошивки " + main},
        {0x82, 0, "записи программной конфигурации " + main},
        {0x84, 1, "запуска загрузчика невозможна. Уже загружено"},
        {0x85, 0, "запуска основной программы невозможна. Уже загружено"},
    };
    for (int mode : {0, 1, 10, 11, 7}) {
        for (const Row& r : rows) {
            const bool allowed = (mode % 10) == r.needs;
            QTest::addRow("0x%02x mode %d", r.code, mode)
                << r.code << mode << (allowed ? QString() : QStringLiteral("Команда ") + r.phrase);
        }
        for (int code : {0x00, 0x10, 0x1F, 0x31, 0x50, 0x83, 0xFE})
            QTest::addRow("0x%02x mode %d", code, mode) << code << mode << QString();
    }
}

void EngineTransactionsTest::gate()
{
    QFETCH(int, code);
    QFETCH(int, progMode);
    QFETCH(QString, refusal);
    EngineProbe e;
    feedStatus(e.proto, uint8_t(progMode));
    e.clear();
    const bool allowed = e.proto.isCommandAvailable(uint32_t(code));
    QCOMPARE(allowed, refusal.isEmpty());
    QCOMPARE(e.prompts, refusal.isEmpty() ? QStringList() : QStringList({refusal}));
    QVERIFY(e.sent.isEmpty());
    QVERIFY(e.logs.isEmpty());
}

void EngineTransactionsTest::gateWithoutPromptStillRefuses()
{
    proto_Vorlen_v2 proto;
    feedStatus(proto, 1);
    QTest::ignoreMessage(QtDebugMsg, "Команда записи аппаратной конфигурации недоступна в режиме основной программы");
    QVERIFY(!proto.isCommandAvailable(0x30));
    QVERIFY(proto.isCommandAvailable(0x84));
}

void EngineTransactionsTest::followUpKeepsItsTimeout()
{
    // The archive view asks for the next block from inside the reply signal.
    EngineProbe e;
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_ArchiveData_received, [&] {
        const uint8_t next[2] = {8, 8};
        e.proto.sendCommand(0x21, next, 2);
    });
    e.send(0x21, bytes({0, 8}));
    e.clear();
    e.receive(wireFrame(0x21, bytes({0, 8}) + filled(512)));
    QCOMPARE(e.sent, QList<QByteArray>({wireFrame(0x21, bytes({8, 8}))}));
    QCOMPARE(e.logs, QStringList({"СТАРТ - запрос архивных данных, адрес = 8, количество = 8", attempt(1),
                                  "Принят ожидаемый ответ на команду - запроса архивных данных", kStop}));
    // The follow-up is still pending and is repeated if its reply is lost.
    QVERIFY(e.proto.isWaiting());
    QCOMPARE(e.proto.attemptsRemaining(), 2u);
    QTRY_COMPARE_WITH_TIMEOUT(e.sent.size(), 2, 5000);
    QCOMPARE(e.sent.last(), wireFrame(0x21, bytes({8, 8})));
    QCOMPARE(e.logs.last(), attempt(2));
}

void EngineTransactionsTest::programmingHandOverAndGiveUp()
{
    EngineProbe e;
    const QByteArray image = filled(1024, 61);
    e.proto.startProgramming(reinterpret_cast<const uint8_t*>(image.constData()), uint32_t(image.size()));
    QVERIFY(e.proto.isProgramming());
    QCOMPARE(e.sent.last(), wireFrame(0x00));

    // The sequencer hears of the reply after the stop step, so its next
    // request keeps its time-out.
    e.clear();
    e.receive(wireFrame(0x00, bytes({0, 1, 1, 0, 64, 0, 1, 0, 0x12})));
    QCOMPARE(e.logs.mid(0, 3), QStringList({"Принят ожидаемый ответ на команду - запрос статуса", kStop,
                                            "ПРОГРАММИРОВАНИЕ::: Режим бутлоадера проверен"}));
    QCOMPARE(e.sent.size(), 1);
    QCOMPARE(e.sent.last(), wireFrame(0x80, bytes({0}) + image));
    QVERIFY(e.proto.isWaiting());

    // Unanswered three times: the give-up line, then the programming end.
    e.clear();
    e.proto.repeatCommand();
    e.proto.repeatCommand();
    e.proto.repeatCommand();
    QCOMPARE(e.logs, QStringList({attempt(2), attempt(3), kGiveUp, "ПРОГРАММИРОВАНИЕ::: Завершено"}));
    QCOMPARE(e.sent.size(), 2);
    QVERIFY(!e.proto.isProgramming());
    QVERIFY(!e.proto.isWaiting());

    // Outside a run, finishing logs nothing.
    e.clear();
    e.proto.finishProgramming(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Завершено"));
    QVERIFY(e.logs.isEmpty());
}

QTEST_GUILESS_MAIN(EngineTransactionsTest)
#include "test_engine_transactions.moc"
