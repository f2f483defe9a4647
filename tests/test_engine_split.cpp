// Replies delivered in pieces or joined with other bytes, as USB serial
// drivers hand them over.
#include <QSignalSpy>
#include <QtTest>

#include "test_engine_harness.h"

static const QString kStop = QStringLiteral("СТОП - выполнение команды остановлено");
static const QString kBadCrc = QStringLiteral("ОШИБКА - Неверная контрольная сумма принятых данных");

static QList<QByteArray> pieces(const QByteArray& frame, QList<int> cuts)
{
    QList<QByteArray> out;
    int from = 0;
    for (int cut : cuts) {
        out << frame.mid(from, cut - from);
        from = cut;
    }
    out << frame.mid(from);
    return out;
}

class EngineSplitTest : public QObject
{
    Q_OBJECT

private slots:
    void replyInPieces_data();
    void replyInPieces();
    void pageReadInUsbPackets();
    void halfFrameThenSilence();
    void replyStreams_data();
    void replyStreams();
    void repeatedReplyIgnoredUntilNextRequest();
    void slowTrickleIsNotCut();
};

void EngineSplitTest::replyInPieces_data()
{
    QTest::addColumn<QList<int>>("cuts");
    QTest::newRow("2 pieces") << QList<int>{7};
    QTest::newRow("2 pieces, length field whole") << QList<int>{3};
    QTest::newRow("7 pieces") << QList<int>{3, 5, 9, 20, 40, 65};
    QTest::newRow("last byte alone") << QList<int>{69};
    QTest::newRow("start byte alone") << QList<int>{1};
    QTest::newRow("length field cut") << QList<int>{2, 30};
    QTest::newRow("byte by byte at the head") << QList<int>{1, 2, 3, 4};
}

void EngineSplitTest::replyInPieces()
{
    QFETCH(QList<int>, cuts);
    EngineProbe e;
    feedStatus(e.proto, 1, 1);
    QSignalSpy exchange(&e.proto, &proto_Vorlen_v2::cmd_DataExchange_received);
    e.send(0x10);
    e.clear();
    const QByteArray data = filled(64, 3);
    const QByteArray frame = wireFrame(0x10, data);
    QCOMPARE(frame.size(), 70);
    const QList<QByteArray> parts = pieces(frame, cuts);
    QCOMPARE(parts.size(), cuts.size() + 1);
    for (const QByteArray& part : parts)
        e.receive(part);
    QCOMPARE(exchange.count(), 1);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.proto.exchangeRecord()), 64), data);
    QCOMPARE(e.logs, QStringList({"Принят ожидаемый ответ на команду - запроса данных обмена", kStop}));
    // Nothing is left over to be rejected later.
    QTest::qWait(250);
    QCOMPARE(e.logs.size(), 2);
    QCOMPARE(exchange.count(), 1);
}

void EngineSplitTest::pageReadInUsbPackets()
{
    EngineProbe e;
    QByteArray seen;
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_fwPage_readed,
                     [&](uint8_t* data, uint32_t size) { seen = QByteArray(reinterpret_cast<const char*>(data), int(size)); });
    e.send(0x81, bytes({9}));
    e.clear();
    const QByteArray page = filled(1024, 77);
    const QByteArray frame = wireFrame(0x81, bytes({9}) + page);
    for (int at = 0; at < frame.size(); at += 64)
        e.receive(frame.mid(at, 64));
    QCOMPARE(seen, page);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.proto.pageRecord()), 1024), page);
    QCOMPARE(e.logs, QStringList({"Принят ожидаемый ответ на команду -  чтения страницы Flash памяти № 9", kStop}));
}

void EngineSplitTest::halfFrameThenSilence()
{
    EngineProbe e;
    QSignalSpy info(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received);
    e.send(0x00);
    e.clear();
    const QByteArray frame = wireFrame(0x00, bytes({1, 1, 1, 0, 64, 0, 1, 0, 0x12}));
    e.receive(frame.left(8));
    QVERIFY(e.logs.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(e.logs, QStringList({kBadCrc}), 5000);
    QTest::qWait(250);
    QCOMPARE(e.logs, QStringList({kBadCrc}));
    QCOMPARE(info.count(), 0);
    // The transaction runs on: the request is repeated after its time-out.
    QTRY_COMPARE_WITH_TIMEOUT(e.sent.size(), 1, 5000);
    QCOMPARE(e.sent.first(), wireFrame(0x00));

    // The rest arriving late is a block of its own, rejected as it stands.
    e.clear();
    e.receive(frame.mid(8));
    QCOMPARE(e.logs, QStringList({kBadCrc}));
    QCOMPARE(info.count(), 0);
}

static const QString kRepeated = QStringLiteral("Принят повторный ответ на уже выполненную команду - пропущен");
static const QStringList kStatusLines = {"Принят ожидаемый ответ на команду - запрос статуса", kStop};
static const QStringList kStatLines = {"Принят неожидаемый ответ на другую команду - чтения статистики платы", kStop};
static const QStringList kRefusalLines = {
    "ОТВЕТ МК - недопустимая команда, ошибка контрольной суммы, или формата запроса", kStop};

static QByteArray withByte(QByteArray frame, int at, int value)
{
    frame[at] = char(value);
    return frame;
}

// Reads as the driver delivers them while a status request waits: whole
// replies, pieces, several replies in one read, and bytes that are no frame.
void EngineSplitTest::replyStreams_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("statuses");   // status replies decoded
    QTest::addColumn<int>("stats");      // statistics replies decoded

    const QByteArray s = wireFrame(0x00, bytes({0, 1, 1, 0, 64, 0, 1, 0, 0x12}));
    const QByteArray x = wireFrame(0xFE, filled(60, 9));   // holds 0xAA in its payload
    const QByteArray r = wireFrame(0xFF);
    const QByteArray junk = bytes({0x01, 0x55, 0x37});
    const QByteArray stray = bytes({0xAA});
    const QStringList bad = {kBadCrc};
    QTest::newRow("two replies in one read") << QList<QByteArray>{s + x} << kStatusLines + kStatLines << 1 << 1;
    QTest::newRow("same reply twice in one read") << QList<QByteArray>{s + s} << kStatusLines + QStringList{kRepeated} << 1 << 0;
    QTest::newRow("junk before a reply") << QList<QByteArray>{junk + s} << bad + kStatusLines << 1 << 0;
    QTest::newRow("junk after a reply") << QList<QByteArray>{s + junk} << kStatusLines + bad << 1 << 0;
    QTest::newRow("junk between replies") << QList<QByteArray>{s + junk + x} << kStatusLines + bad + kStatLines << 1 << 1;
    QTest::newRow("read without a start byte") << QList<QByteArray>{junk} << bad << 0 << 0;
    QTest::newRow("stray start byte, impossible length") << QList<QByteArray>{stray + s + x} << bad + kStatusLines + kStatLines << 1 << 1;
    QTest::newRow("stray start byte, plausible length") << QList<QByteArray>{stray + r} << bad + kRefusalLines << 0 << 0;
    QTest::newRow("stray start byte alone, then replies") << QList<QByteArray>{stray, s, x} << bad + kStatusLines + kStatLines << 1 << 1;
    QTest::newRow("impossible length across reads") << QList<QByteArray>{stray, bytes({0xFF, 0xFF, 0x00, 0x01})} << bad << 0 << 0;
    QTest::newRow("length byte one too long") << QList<QByteArray>{withByte(s, 1, 16) + x} << bad + kStatLines << 0 << 1;
    QTest::newRow("length byte far too long") << QList<QByteArray>{withByte(s, 1, 0x8F) + x} << bad + kStatLines << 0 << 1;
    QTest::newRow("damaged reply between good ones") << QList<QByteArray>{s + withByte(x, 30, 0) + r} << kStatusLines + bad + kRefusalLines << 1 << 0;
    QTest::newRow("lost tail, next reply whole") << QList<QByteArray>{x.left(5), s} << bad + kStatusLines << 1 << 0;
    QTest::newRow("split and joined") << QList<QByteArray>{s + x.left(10), x.mid(10)} << kStatusLines + kStatLines << 1 << 1;
    QTest::newRow("joined across three reads") << QList<QByteArray>{s.left(2), s.mid(2) + x.left(1), x.mid(1) + r}
                                               << kStatusLines + kStatLines + kRefusalLines << 1 << 1;
}

void EngineSplitTest::replyStreams()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QStringList, lines);
    QFETCH(int, statuses);
    QFETCH(int, stats);
    EngineProbe e;
    QSignalSpy info(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received);
    QSignalSpy stat(&e.proto, &proto_Vorlen_v2::cmd_stat_received);
    e.send(0x00);
    e.clear();
    for (const QByteArray& read : reads)
        e.receive(read);
    // A part that may still be completed is held for its time first.
    QTRY_COMPARE_WITH_TIMEOUT(e.logs, lines, 3000);
    QTest::qWait(150);
    QCOMPARE(e.logs, lines);
    QCOMPARE(info.count(), statuses);
    QCOMPARE(stat.count(), stats);
    if (stats)
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.proto.statRecord()), 60), filled(60, 9));
}

void EngineSplitTest::repeatedReplyIgnoredUntilNextRequest()
{
    EngineProbe e;
    const QByteArray s = wireFrame(0x00, bytes({1, 1, 1, 0, 64, 0, 1, 0, 0x12}));
    int followUps = 0;
    QObject::connect(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received, [&] {
        if (followUps > 0) {
            --followUps;
            e.send(0x00);
        }
    });
    QSignalSpy info(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received);
    e.send(0x00);
    e.receive(s);
    e.clear();
    // The board answered a repeated transmission too: its copy is no news.
    e.receive(s);
    QCOMPARE(e.logs, QStringList{kRepeated});
    QCOMPARE(info.count(), 1);
    // A new request may well get the very same reply.
    e.send(0x00);
    e.clear();
    e.receive(s);
    QCOMPARE(e.logs, kStatusLines);
    QCOMPARE(info.count(), 2);
    // So may a follow-up of the same code sent while the reply was handled.
    followUps = 1;
    e.send(0x00);
    e.receive(s);
    QVERIFY(e.proto.isWaiting());
    e.clear();
    e.receive(s);
    QCOMPARE(e.logs, kStatusLines);
    QCOMPARE(info.count(), 4);
    // A refusal answers any request: one to another request is news.
    e.send(0x31);
    e.receive(wireFrame(0xFF));
    e.send(0x83);
    e.clear();
    e.receive(wireFrame(0xFF));
    QCOMPARE(e.logs, kRefusalLines);
}

void EngineSplitTest::slowTrickleIsNotCut()
{
    // The hold time counts from the latest piece: pieces 600 ms apart with a
    // 2000 ms hold make one frame although they span far longer than that.
    FrameAssembler assembler;
    assembler.setHoldTimeMs(2000);
    QList<QByteArray> out;
    assembler.setSink([&](const uint8_t* buf, uint32_t size) {
        out << QByteArray(reinterpret_cast<const char*>(buf), int(size));
    });
    const QByteArray frame = wireFrame(0xFE, filled(60, 2));
    for (int at = 0; at < frame.size(); at += 16) {
        assembler.feed(reinterpret_cast<const uint8_t*>(frame.constData()) + at,
                       uint32_t(qMin(16, frame.size() - at)));
        if (at + 16 < frame.size()) {
            QVERIFY(assembler.isHolding());
            QTest::qWait(600);
        }
    }
    QCOMPARE(out, QList<QByteArray>({frame}));
    QVERIFY(!assembler.isHolding());

    // flush() gives a held part up at once: it is rejected, once.
    QList<QByteArray> rejected;
    assembler.setRejectSink([&](const uint8_t* buf, uint32_t size) {
        rejected << QByteArray(reinterpret_cast<const char*>(buf), int(size));
    });
    assembler.feed(reinterpret_cast<const uint8_t*>(frame.constData()), 10);
    assembler.flush();
    assembler.flush();
    QCOMPARE(out, QList<QByteArray>({frame}));
    QCOMPARE(rejected, QList<QByteArray>({frame.left(10)}));
    QVERIFY(!assembler.isHolding());
}

QTEST_GUILESS_MAIN(EngineSplitTest)
#include "test_engine_split.moc"
