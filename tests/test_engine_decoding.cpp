// Reply decoding into the records: stored bytes, signals with their
// arguments, log lines in order, length and checksum refusals, and replies
// too short or too long for their record.
#include <QSignalSpy>
#include <QtTest>

#include <cstring>

#include "test_engine_harness.h"

static const QString kStop = QStringLiteral("СТОП - выполнение команды остановлено");
static QString expected(const QString& d) { return QStringLiteral("Принят ожидаемый ответ на команду - ") + d; }
static QByteArray record(const uint8_t* p, int n) { return QByteArray(reinterpret_cast<const char*>(p), n); }

class EngineDecodingTest : public QObject
{
    Q_OBJECT

private slots:
    void statusReply();
    void statusReplyTooShort();
    void archiveStatus();
    void archiveRecords();
    void archiveRecordsPastTheEnd();
    void rawData_data();
    void rawData();
    void rawDataKeepsOnlySlices();
    void exchangeData_data();
    void exchangeData();
    void hardwareConfiguration();
    void userData();
    void atReplies();
    void flashReplies();
    void configurationAndStatistics();
    void acknowledgementsAndRestarts();
    void shortFramesEveryCode();
};

void EngineDecodingTest::statusReply()
{
    EngineProbe e;
    e.send(0x00);
    QSignalSpy info(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received);
    QStringList seenAtSignal;
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received, [&] { seenAtSignal = e.logs; });
    e.clear();
    e.receive(bytes({0xAA, 0x0F, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00, 0x40, 0x00, 0x01, 0x00, 0x12, 0x83, 0xCA}));
    QCOMPARE(info.count(), 1);
    const DevInfo& d = e.proto.deviceInfo();
    QCOMPARE(d.progMode, uint8_t(1));
    QCOMPARE(d.flags, uint8_t(0x03));
    QCOMPARE(d.freePages, uint8_t(64));
    QCOMPARE(d.bleBridge, uint8_t(0));
    QCOMPARE(d.devType, uint8_t(1));
    QCOMPARE(d.errorCode, uint8_t(0));
    QCOMPARE(d.blVersion >> 4, 1);
    QCOMPARE(d.blVersion & 0x0F, 2);
    // The record is stored and signalled before the summary and stop lines.
    QVERIFY(seenAtSignal.isEmpty());
    QCOMPARE(e.logs, QStringList({expected("запрос статуса"), kStop}));

    // Flag bytes count by bit 0 only; the rest of the payload is taken as is.
    e.receive(wireFrame(0x00, bytes({10, 2, 3, 0, 5, 1, 100, 0x83, 0x21})));
    QCOMPARE(d.progMode, uint8_t(10));
    QCOMPARE(d.flags, uint8_t(0x02));
    QCOMPARE(d.freePages, uint8_t(5));
    QCOMPARE(d.bleBridge, uint8_t(1));
    QCOMPARE(d.devType, uint8_t(100));
    QCOMPARE(d.errorCode, uint8_t(0x83));
    QCOMPARE(d.blVersion, uint8_t(0x21));
    QCOMPARE(info.count(), 2);
}

void EngineDecodingTest::statusReplyTooShort()
{
    EngineProbe e;
    feedStatus(e.proto, 11);
    e.send(0x00);
    QSignalSpy info(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received);
    e.clear();
    e.receive(wireFrame(0x00, bytes({0, 1, 1, 0, 64, 0, 1, 0})));
    QCOMPARE(info.count(), 0);
    QCOMPARE(e.proto.deviceInfo().progMode, uint8_t(11));
    QCOMPARE(e.logs.size(), 3);
    QCOMPARE(e.logs[0], QStringLiteral("ОШИБКА - ответ слишком короткий для команды 0x00: принято 14 байт, "
                                       "требуется не менее 15"));
    QCOMPARE(e.logs[1], expected("запрос статуса"));
    QCOMPARE(e.logs[2], kStop);
    QVERIFY(!e.proto.isWaiting());
}

void EngineDecodingTest::archiveStatus()
{
    EngineProbe e;
    QSignalSpy status(&e.proto, &proto_Vorlen_v2::cmd_archiveControl_received);
    e.send(0x20);
    e.clear();
    const QByteArray block = filled(30, 3);
    e.receive(wireFrame(0x20, block));
    QCOMPARE(status.count(), 1);
    QCOMPARE(record(e.proto.archiveStatusRecord(), 30), block);
    QCOMPARE(e.logs, QStringList({expected("запроса статуса архива"), kStop}));

    for (int size : {0, 29, 31}) {
        e.send(0x20);
        e.clear();
        e.receive(wireFrame(0x20, filled(size, 9)));
        QCOMPARE(e.logs, QStringList({expected("запроса статуса архива - формат ответа некорректный"), kStop}));
    }
    QCOMPARE(status.count(), 1);
    QCOMPARE(record(e.proto.archiveStatusRecord(), 30), block);
}

void EngineDecodingTest::archiveRecords()
{
    EngineProbe e;
    QSignalSpy data(&e.proto, &proto_Vorlen_v2::cmd_ArchiveData_received);
    e.send(0x21, bytes({8, 2}));
    e.clear();
    const QByteArray two = filled(128, 11);
    const QByteArray reply = wireFrame(0x21, bytes({8, 2}) + two);
    QCOMPARE(reply.size(), 136);
    e.receive(reply);
    QCOMPARE(data.count(), 1);
    QCOMPARE(record(e.proto.archiveRecords() + 8 * 64, 128), two);
    QCOMPARE(record(e.proto.archiveRecords() + 7 * 64, 64), QByteArray(64, '\0'));
    QCOMPARE(record(e.proto.archiveRecords() + 10 * 64, 64), QByteArray(64, '\0'));
    QCOMPARE(e.logs, QStringList({expected("запроса архивных данных"), kStop}));

    // Address and count only, no records: nothing stored, still signalled.
    e.receive(wireFrame(0x21, bytes({0, 0})));
    QCOMPARE(data.count(), 2);
    // Too short to hold the address.
    e.clear();
    e.receive(wireFrame(0x21, bytes({3})));
    QCOMPARE(data.count(), 2);
    QVERIFY(e.logs.first().startsWith(QStringLiteral("ОШИБКА - ответ слишком короткий для команды 0x21")));
}

void EngineDecodingTest::archiveRecordsPastTheEnd()
{
    EngineProbe e;
    feedReply(e.proto, 0xFE, QByteArray(60, char(0x5A)));
    e.clear();
    QSignalSpy data(&e.proto, &proto_Vorlen_v2::cmd_ArchiveData_received);

    // Records 98..101 announced: 98 and 99 fit, the rest is dropped.
    const QByteArray four = filled(256, 4);
    e.receive(wireFrame(0x21, bytes({98, 4}) + four));
    QCOMPARE(data.count(), 1);
    QCOMPARE(record(e.proto.archiveRecords() + 98 * 64, 128), four.left(128));
    QVERIFY(e.logs.first().startsWith(QStringLiteral("ОШИБКА - архивные данные выходят за пределы архива")));

    // An address beyond the archive stores nothing at all.
    e.receive(wireFrame(0x21, bytes({255, 8}) + filled(512, 6)));
    QCOMPARE(data.count(), 2);
    QCOMPARE(record(e.proto.archiveRecords() + 98 * 64, 128), four.left(128));
    // The record after the archive is untouched.
    QCOMPARE(record(e.proto.statRecord(), 60), QByteArray(60, char(0x5A)));
}

void EngineDecodingTest::rawData_data()
{
    QTest::addColumn<int>("devType");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("line");   // the decoder's own line, empty for none

    const QString badLength = QStringLiteral("RawData: ОШИБКА - неверная длина пакета");
    const QString unknown = QStringLiteral("RawData: ОШИБКА - источник данных неизвестен");
    const QString done = QStringLiteral("RawData: пакет данных обработан");
    QTest::newRow("lab 255") << 1 << 255 << false << badLength;
    QTest::newRow("lab 256") << 2 << 256 << true << done;
    QTest::newRow("lab 300") << 4 << 300 << true << done;
    QTest::newRow("lab empty") << 3 << 0 << false << badLength;
    QTest::newRow("pc 256") << 100 << 256 << true << QString();
    QTest::newRow("pc 255") << 100 << 255 << false << badLength;
    QTest::newRow("pc 257") << 100 << 257 << false << badLength;
    QTest::newRow("type 0") << 0 << 256 << false << unknown;
    QTest::newRow("type 5") << 5 << 256 << false << unknown;
    QTest::newRow("type 101") << 101 << 256 << false << unknown;
}

void EngineDecodingTest::rawData()
{
    QFETCH(int, devType);
    QFETCH(int, size);
    QFETCH(bool, stored);
    QFETCH(QString, line);
    EngineProbe e;
    feedStatus(e.proto, 1, uint8_t(devType));
    QSignalSpy raw(&e.proto, &proto_Vorlen_v2::cmd_RawData_received);
    e.send(0x1F);
    e.clear();
    const QByteArray packet = filled(size, 13);
    e.receive(wireFrame(0x1F, packet));
    QCOMPARE(raw.count(), stored ? 1 : 0);
    QStringList lines;
    if (!line.isEmpty())
        lines << line;
    lines << expected("запроса физических данных платы") << kStop;
    QCOMPARE(e.logs, lines);
    if (devType == 100)
        QCOMPARE(record(e.proto.pcRawRecord(), 256), stored ? packet : QByteArray(256, '\0'));
    else if (!stored)
        QCOMPARE(record(e.proto.rawDataRecord(), 256), QByteArray(256, '\0'));
}

void EngineDecodingTest::rawDataKeepsOnlySlices()
{
    EngineProbe e;
    feedStatus(e.proto, 1, 1);
    const QByteArray packet = filled(300, 17);
    e.receive(wireFrame(0x1F, packet));
    QByteArray want(256, '\0');
    uint32_t kept = 0;
    for (const rec::raw::Slice& s : rec::raw::kSlices) {
        want.replace(int(s.offset), int(s.length), packet.mid(int(s.offset), int(s.length)));
        kept += s.length;
    }
    QCOMPARE(kept, rec::raw::kKeptBytes);
    QCOMPARE(record(e.proto.rawDataRecord(), 256), want);
    // Spot checks at packet offsets: run time kept, slot padding dropped.
    QCOMPARE(e.proto.rawDataRecord()[rec::raw::kRunTime], uint8_t(packet[int(rec::raw::kRunTime)]));
    QCOMPARE(e.proto.rawDataRecord()[36], uint8_t(0));
    QCOMPARE(e.proto.rawDataRecord()[248], uint8_t(0));
}

void EngineDecodingTest::exchangeData_data()
{
    QTest::addColumn<int>("devType");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("line");
    const QString badLength = QStringLiteral("ExchangeData: ОШИБКА - неверная длина пакета");
    QTest::newRow("lab 64") << 1 << 64 << QString();
    QTest::newRow("lab 63") << 2 << 63 << badLength;
    QTest::newRow("lab 65") << 3 << 65 << badLength;
    QTest::newRow("pc") << 100 << 64
                        << "RawData: ОШИБКА - данные фотоколориметра пока недоступны для чтения. Читать через debugData";
    QTest::newRow("type 0") << 0 << 64 << "RawData: ОШИБКА - источник данных неизвестен";
}

void EngineDecodingTest::exchangeData()
{
    QFETCH(int, devType);
    QFETCH(int, size);
    QFETCH(QString, line);
    EngineProbe e;
    feedStatus(e.proto, 1, uint8_t(devType));
    QSignalSpy exchange(&e.proto, &proto_Vorlen_v2::cmd_DataExchange_received);
    e.send(0x10);
    e.clear();
    const QByteArray data = filled(size, 19);
    e.receive(wireFrame(0x10, data));
    QCOMPARE(exchange.count(), line.isEmpty() ? 1 : 0);
    QCOMPARE(record(e.proto.exchangeRecord(), 64), line.isEmpty() ? data : QByteArray(64, '\0'));
    QStringList lines;
    if (!line.isEmpty())
        lines << line;
    lines << expected("запроса данных обмена") << kStop;
    QCOMPARE(e.logs, lines);
}

static QByteArray hwBlock(int size, int seed)
{
    QByteArray b = filled(size, seed) + QByteArray(2, '\0');
    Crc16().append(reinterpret_cast<uint8_t*>(b.data()), uint16_t(b.size()));
    return b;
}

void EngineDecodingTest::hardwareConfiguration()
{
    EngineProbe e;
    QSignalSpy readed(&e.proto, &proto_Vorlen_v2::cmd_hwConfig_readed);
    const QString summary = expected("чтения аппаратной конфигурации");

    const QByteArray good = hwBlock(288, 21);
    e.send(0x31);
    e.clear();
    e.receive(wireFrame(0x31, good));
    QCOMPARE(readed.count(), 1);
    QCOMPARE(record(e.proto.hwConfigRecord(), 288), good.left(288));
    QCOMPARE(e.logs, QStringList({"HW Config: Аппаратная конфигурация загружена", summary, kStop}));

    // Too short, then a wrong inner CRC: the record keeps its contents.
    e.clear();
    e.receive(wireFrame(0x31, hwBlock(287, 22)));
    QCOMPARE(e.logs.first(),
             QStringLiteral("HW Config: ОШИБКА - длина считанной конфигурации не соответсвует установленной"));
    QByteArray wrong = hwBlock(288, 23);
    wrong[5] = char(wrong[5] ^ 0x01);
    e.clear();
    e.receive(wireFrame(0x31, wrong));
    QCOMPARE(e.logs, QStringList({"HW Config: ОШИБКА - некорректная контрольная сумма", summary, kStop}));
    QCOMPARE(readed.count(), 1);
    QCOMPARE(record(e.proto.hwConfigRecord(), 288), good.left(288));

    // Longer than the record: checked over its whole length, only 288 bytes kept.
    feedReply(e.proto, 0x83, QByteArray(60, char(0x3C)));
    const QByteArray longer = hwBlock(300, 24);
    e.clear();
    e.receive(wireFrame(0x31, longer));
    QCOMPARE(readed.count(), 2);
    QCOMPARE(record(e.proto.hwConfigRecord(), 288), longer.left(288));
    QCOMPARE(record(e.proto.fwConfigRecord(), 60), QByteArray(60, char(0x3C)));
    QCOMPARE(e.logs.size(), 4);
    QVERIFY(e.logs[0].startsWith(QStringLiteral("HW Config: ОШИБКА - конфигурация длиннее установленной")));
    QCOMPARE(e.logs[1], QStringLiteral("HW Config: Аппаратная конфигурация загружена"));
    // A longer block whose CRC covers only the first 290 bytes is refused.
    QByteArray trailing = good + filled(10, 1);
    e.clear();
    e.receive(wireFrame(0x31, trailing));
    QCOMPARE(e.logs.first(), QStringLiteral("HW Config: ОШИБКА - некорректная контрольная сумма"));
    QCOMPARE(readed.count(), 2);
}

void EngineDecodingTest::userData()
{
    EngineProbe e;
    QList<QList<int>> sent;
    QList<uint32_t> readed;
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_userData_sent,
                     [&](uint8_t offset, uint8_t len, uint8_t last) { sent << QList<int>{offset, len, last}; });
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_userData_readed, [&](uint32_t n) { readed << n; });

    // A 100-byte write goes out as chunk (0, 64, 0) then (64, 36, 1).
    const QByteArray data = filled(100, 29);
    e.send(0x40, bytes({0, 64, 0}) + data.left(64));
    QCOMPARE(e.sent.last(), wireFrame(0x40, bytes({0, 64, 0}) + data.left(64)));
    e.clear();
    e.receive(wireFrame(0x40, bytes({0, 64, 0})));
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.last(), QList<int>({0, 64, 0}));
    QCOMPARE(e.logs, QStringList({expected("записи пользовательских калибровочных данных. Успешная запись"), kStop}));
    e.send(0x40, bytes({64, 36, 1}) + data.mid(64));
    QCOMPARE(e.sent.last().size(), 3 + 36 + 6);
    e.receive(wireFrame(0x40, bytes({64, 36, 1})));
    QCOMPARE(sent.last(), QList<int>({64, 36, 1}));
    // An echo without its three bytes is reported, not decoded.
    e.clear();
    e.receive(wireFrame(0x40, bytes({64, 36})));
    QCOMPARE(sent.count(), 2);
    QVERIFY(e.logs.first().startsWith(QStringLiteral("ОШИБКА - ответ слишком короткий для команды 0x40")));

    // Read: the whole payload, its size through the signal.
    e.proto.writeUserData(u8(filled(44, 5)), 44);
    e.proto.continueUserDataWrite(0, 7, 0);
    const QByteArray calib = filled(44, 31);
    e.send(0x41);
    e.clear();
    e.receive(wireFrame(0x41, calib));
    QCOMPARE(readed.count(), 1);
    QCOMPARE(readed.last(), 44u);
    QCOMPARE(record(e.proto.userDataRecord(), 44), calib);
    QCOMPARE(e.logs, QStringList({expected("чтения пользовательских калибровочных данных."), kStop}));

    // Longer than the buffer: cut to 255, the bytes after it untouched.
    const QByteArray huge = filled(300, 37);
    e.clear();
    e.receive(wireFrame(0x41, huge));
    QCOMPARE(readed.count(), 2);
    QCOMPARE(readed.last(), 255u);
    QCOMPARE(record(e.proto.userDataRecord(), 255), huge.left(255));
    QCOMPARE(e.proto.userDataLength(), uint8_t(44));
    QCOMPARE(e.proto.userDataReached(), uint8_t(7));
    QVERIFY(e.logs.first().startsWith(QStringLiteral("ОШИБКА - пользовательские данные длиннее 255 байт")));
}

void EngineDecodingTest::atReplies()
{
    EngineProbe e;
    QByteArray answer;
    int answers = 0;
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_atCmd_received, [&](uint8_t* data, uint32_t size) {
        answer = QByteArray(reinterpret_cast<const char*>(data), int(size));
        ++answers;
    });

    e.send(0x50, bytes({0x80, 0x25, 0, 0, 0x41, 0x54, 0x0D, 0x0A}));
    e.clear();
    e.receive(wireFrame(0x50));
    QCOMPARE(answers, 0);
    QCOMPARE(e.logs, QStringList({expected("отправки AT-команды"), kStop}));

    e.clear();
    e.receive(wireFrame(0x50, bytes({0x00, 0xC2, 0x01, 0x00}) + QByteArray("OK\r\n")));
    QCOMPARE(answers, 1);
    QCOMPARE(answer, QByteArray("OK\r\n"));
    QCOMPARE(e.logs, QStringList({expected("Принят ответ на АТ-команду от BLE модуля, на скорости 115200"), kStop}));

    // A speed alone is an empty answer; fewer bytes than the speed are reported.
    e.receive(wireFrame(0x50, bytes({0x80, 0x25, 0, 0})));
    QCOMPARE(answers, 2);
    QVERIFY(answer.isEmpty());
    for (int n : {1, 2, 3}) {
        e.clear();
        e.receive(wireFrame(0x50, filled(n)));
        QCOMPARE(answers, 2);
        QVERIFY(e.logs.first().startsWith(QStringLiteral("ОШИБКА - ответ слишком короткий для команды 0x50")));
    }
}

void EngineDecodingTest::flashReplies()
{
    EngineProbe e;
    QByteArray seen;
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_fwPage_readed, [&](uint8_t* data, uint32_t size) {
        seen = QByteArray(reinterpret_cast<const char*>(data), int(size));
    });
    QList<QList<int>> written, blockRead;
    QByteArray block;
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_fwPage_writedBlock,
                     [&](uint8_t page, uint8_t blk) { written << QList<int>{page, blk}; });
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_fwPage_readedBlock, [&](uint8_t page, uint8_t blk, uint8_t* data) {
        blockRead << QList<int>{page, blk};
        block = QByteArray(reinterpret_cast<const char*>(data), 4);
    });

    e.send(0x80, bytes({3}) + filled(1024));
    e.clear();
    e.receive(wireFrame(0x80, bytes({3})));
    QCOMPARE(e.logs, QStringList({expected(" записи страницы Flash памяти № 3"), kStop}));

    const QByteArray page = filled(1024, 41);
    e.send(0x81, bytes({3}));
    e.clear();
    e.receive(wireFrame(0x81, bytes({3}) + page));
    QCOMPARE(seen, page);
    QCOMPARE(record(e.proto.pageRecord(), 1024), page);
    QCOMPARE(e.logs, QStringList({expected(" чтения страницы Flash памяти № 3"), kStop}));

    // One byte short of a page: reported, pageBuf unchanged.
    seen.clear();
    e.clear();
    e.receive(wireFrame(0x81, bytes({4}) + filled(1023, 43)));
    QVERIFY(seen.isEmpty());
    QCOMPARE(record(e.proto.pageRecord(), 1024), page);
    QCOMPARE(e.logs.first(), QStringLiteral("ОШИБКА - ответ слишком короткий для команды 0x81: принято 1030 байт, "
                                            "требуется не менее 1031"));

    e.clear();
    e.receive(wireFrame(0x8A, bytes({5, 6})));
    QCOMPARE(written.count(), 1);
    QCOMPARE(written.last(), QList<int>({5, 6}));
    QCOMPARE(e.logs.first(),
             QStringLiteral("Принят неожидаемый ответ на другую команду -  записи страницы Flash памяти № 5. Блок № 6"));

    e.clear();
    e.receive(wireFrame(0x8B, bytes({7, 1, 0xDE, 0xAD, 0xBE, 0xEF})));
    QCOMPARE(blockRead, QList<QList<int>>({{7, 1}}));
    QCOMPARE(block, bytes({0xDE, 0xAD, 0xBE, 0xEF}));
    QCOMPARE(e.logs.first(),
             QStringLiteral("Принят неожидаемый ответ на другую команду -  чтения страницы Flash памяти № 7. Блок № 1"));
    e.receive(wireFrame(0x8B, bytes({7})));
    QCOMPARE(blockRead.count(), 1);
}

void EngineDecodingTest::configurationAndStatistics()
{
    EngineProbe e;
    QSignalSpy fw(&e.proto, &proto_Vorlen_v2::cmd_fwConfig_updated);
    QSignalSpy st(&e.proto, &proto_Vorlen_v2::cmd_stat_received);

    const QByteArray cfg = filled(60, 47);
    e.receive(wireFrame(0x83, cfg + filled(4)));   // trailing bytes ignored
    QCOMPARE(fw.count(), 1);
    QCOMPARE(record(e.proto.fwConfigRecord(), 60), cfg);
    e.clear();
    e.receive(wireFrame(0x83, filled(59, 1)));
    QCOMPARE(fw.count(), 1);
    QCOMPARE(record(e.proto.fwConfigRecord(), 60), cfg);
    QVERIFY(e.logs.first().startsWith(QStringLiteral("ОШИБКА - ответ слишком короткий для команды 0x83")));

    const QByteArray stats = filled(60, 53);
    e.send(0xFE);
    e.clear();
    e.receive(wireFrame(0xFE, stats));
    QCOMPARE(st.count(), 1);
    QCOMPARE(record(e.proto.statRecord(), 60), stats);
    QCOMPARE(e.logs, QStringList({expected("чтения статистики платы"), kStop}));
    e.receive(wireFrame(0xFE, filled(2)));
    QCOMPARE(st.count(), 1);
    QCOMPARE(record(e.proto.statRecord(), 60), stats);
}

void EngineDecodingTest::acknowledgementsAndRestarts()
{
    struct Row {
        uint8_t code;
        QString description;
        int reloads;
    };
    const Row rows[] = {
        {0x30, "записи аппаратной конфигурации. Успешная запись", 0},
        {0x82, "записи программной конфигурации. Успешная запись", 0},
        {0x84, " запуск загрузчика", 1},
        {0x85, " запуск основной программы", 1},
    };
    for (const Row& r : rows) {
        EngineProbe e;
        QSignalSpy reload(&e.proto, &proto_Vorlen_v2::cmd_Reload_Request);
        e.send(r.code);
        e.clear();
        e.receive(wireFrame(r.code));
        QCOMPARE(reload.count(), r.reloads);
        QCOMPARE(e.logs, QStringList({expected(r.description), kStop}));
    }
}

// Every reply code at every short length, and a 5-byte block that passes the
// checks: nothing is read outside the frame (run under the sanitizer build).
void EngineDecodingTest::shortFramesEveryCode()
{
    const uint8_t codes[] = {0x00, 0x10, 0x1F, 0x20, 0x21, 0x30, 0x31, 0x40, 0x41, 0x50,
                             0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x8A, 0x8B, 0xFE, 0xFF};
    for (int devType : {1, 100}) {
        EngineProbe e;
        for (uint8_t code : codes) {
            for (int n = 0; n <= 70; ++n) {
                if (e.proto.deviceInfo().devType != devType)   // a status reply of the loop changed it
                    feedStatus(e.proto, 1, uint8_t(devType));
                e.clear();
                QByteArray f = wireFrame(code, filled(n, code));
                // Exact-size heap copy so any over-read is caught.
                std::vector<uint8_t> exact(f.begin(), f.end());
                e.proto.parseReceived(exact.data(), uint32_t(exact.size()));
                QVERIFY2(!e.logs.isEmpty() && e.logs.last() == kStop, qPrintable(QString::number(code)));
            }
        }
    }

    // A 5-byte block passes the checks: AA 05 00 and its CRC, whose low byte
    // (0x52) would double as the command code. A frame has at least 6 bytes,
    // so it is rejected and nothing of it is decoded.
    EngineProbe e;
    QByteArray five = bytes({0xAA, 0x05, 0x00}) + QByteArray(2, '\0');
    Crc16().append(reinterpret_cast<uint8_t*>(five.data()), 5);
    QCOMPARE(five, bytes({0xAA, 0x05, 0x00, 0x52, 0xB0}));
    std::vector<uint8_t> exact(five.begin(), five.end());
    e.proto.parseReceived(exact.data(), 5);
    QCOMPARE(e.logs, QStringList({"ОШИБКА - Длина посылки в протоколе не соответствует принятой"}));
}

QTEST_GUILESS_MAIN(EngineDecodingTest)
#include "test_engine_decoding.moc"
