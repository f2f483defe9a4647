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
    void frameWithTrailingGarbage();
    void heldPartOverrunByNextBlock();
    void twoFramesInOneBlock();
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
    e.proto.devInfo.devType = 1;
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
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.proto.exchangeData), 64), data);
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
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.proto.pageBuf), 1024), page);
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

void EngineSplitTest::frameWithTrailingGarbage()
{
    EngineProbe e;
    QSignalSpy info(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received);
    e.send(0x00);
    e.clear();
    e.receive(wireFrame(0x00, filled(9)) + bytes({0x00, 0x13, 0x37}));
    QCOMPARE(e.logs, QStringList({kBadCrc}));
    QCOMPARE(info.count(), 0);
    QVERIFY(e.proto.isWaiting());

    // A start byte whose length field turns out impossible: both parts are
    // judged on their own.
    e.clear();
    e.receive(bytes({0xAA}));
    e.receive(bytes({0xFF, 0xFF, 0x00, 0x01}));
    QCOMPARE(e.logs, QStringList({kBadCrc, kBadCrc}));

    // A block that does not start with the start byte is never held.
    e.clear();
    e.receive(bytes({0x55, 0x20, 0x00, 0x00}));
    QCOMPARE(e.logs, QStringList({kBadCrc}));
}

void EngineSplitTest::heldPartOverrunByNextBlock()
{
    EngineProbe e;
    QSignalSpy info(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received);
    e.send(0x00);
    e.clear();
    const QByteArray status = wireFrame(0x00, bytes({0, 1, 1, 0, 64, 0, 1, 0, 0x12}));
    // A lost tail: the next block is a whole frame, longer than what is missing.
    e.receive(wireFrame(0x00, filled(9)).left(5));
    e.receive(status);
    QCOMPARE(e.logs, QStringList({kBadCrc, "Принят ожидаемый ответ на команду - запрос статуса", kStop}));
    QCOMPARE(info.count(), 1);
    QCOMPARE(e.proto.devInfo.freePages, uint8_t(64));
}

void EngineSplitTest::twoFramesInOneBlock()
{
    EngineProbe e;
    QSignalSpy info(&e.proto, &proto_Vorlen_v2::cmd_getInfo_received);
    e.send(0x00);
    e.clear();
    const QByteArray status = wireFrame(0x00, filled(9));
    e.receive(status + status);
    QCOMPARE(e.logs, QStringList({kBadCrc}));
    QCOMPARE(info.count(), 0);
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

    // flush() hands a held part on as it stands, once.
    assembler.feed(reinterpret_cast<const uint8_t*>(frame.constData()), 10);
    assembler.flush();
    assembler.flush();
    QCOMPARE(out, QList<QByteArray>({frame, frame.left(10)}));
}

QTEST_GUILESS_MAIN(EngineSplitTest)
#include "test_engine_split.moc"
