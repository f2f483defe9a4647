#include <QCheckBox>
#include <QTabWidget>
#include <QtTest>

#include "LittleEndian.h"
#include "views_d_fixture.h"

using namespace viewsd;

namespace {

QByteArray statRecord(uint32_t starts, uint32_t faults, uint32_t archive, uint32_t useTime, uint32_t batTime,
                      uint16_t updates)
{
    QByteArray r(rec::stat::kSize, '\0');
    auto* p = reinterpret_cast<uint8_t*>(r.data());
    le::put32(p + rec::stat::kBoardStarts, starts);
    le::put32(p + rec::stat::kHardFaults, faults);
    le::put32(p + rec::stat::kArchiveUses, archive);
    le::put32(p + rec::stat::kUseTime, useTime);
    le::put32(p + rec::stat::kBatTime, batTime);
    le::put16(p + rec::stat::kFwUpdates, updates);
    return r;
}

uint32_t u32At(const QByteArray& bytes, uint32_t offset)
{
    return le::u32(reinterpret_cast<const uint8_t*>(bytes.constData()) + offset);
}

} // namespace

// The board's lifetime counters: read, shown, and reset behind a check box.
class TestStatistics : public QObject
{
    Q_OBJECT
private slots:
    void countersReadFromBoard();
    void labelFormats();
    void resetGuardedAndClearsBoard();
};

void TestStatistics::countersReadFromBoard()
{
    BoardWindow f(vboard::BoardType::Physics, vboard::Program::Main);
    QVERIFY(f.open(1));
    f.server->board().setStatistics(statRecord(17, 3, 5, 3600, 7200, 0xFFFF));

    QByteArray reply;
    QObject::connect(f.server.get(), &vboard::BoardServer::replySent, [&](const QByteArray& frame) {
        if (frame.size() > 4 && static_cast<uint8_t>(frame[3]) == rec::cmd::statistics)
            reply = frame;
    });
    f.server->clearRequests();
    QVERIFY(f.clickAndWait("stat_get_button"));
    QVERIFY(waitFor([&] { return !reply.isEmpty(); }));
    const QList<QByteArray> reads = f.requests(rec::cmd::statistics);
    QCOMPARE(reads.size(), 1);
    QCOMPARE(reads.first().toHex(' '), QByteArray("aa 06 00 fe 40 7d"));

    QCOMPARE(f.text("stat_boardUse_count_label"), QStringLiteral("17"));
    QCOMPARE(f.text("stat_hardFault_count_label"), QStringLiteral("3"));
    QCOMPARE(f.text("stat_archive_use_label"), QStringLiteral("5"));
    QCOMPARE(f.text("stat_fw_update_count_label"), QStringLiteral("65535"));
    // The board keeps counting its running time: the label shows what it sent.
    const QByteArray payload = payloadOf(reply);
    const uint32_t useTime = u32At(payload, rec::stat::kUseTime);
    QVERIFY(useTime >= 3600 && useTime < 3700);
    QCOMPARE(f.text("stat_useTime_label"), QStringLiteral("%1 секунд").arg(useTime));
    QCOMPARE(f.text("stat_batTime_label"),
             QStringLiteral("%1 секунд").arg(u32At(payload, rec::stat::kBatTime)));

    // Switching to the statistics tab with auto-update reads them again.
    f.server->board().setStatistics(statRecord(18, 4, 6, 100, 50, 2));
    auto* cmds = f.widget<QTabWidget>("cmds");
    cmds->setCurrentIndex(0);
    QVERIFY(waitFor([&] { return f.idle(); }));
    cmds->setCurrentIndex(4);
    QTRY_COMPARE_WITH_TIMEOUT(f.text("stat_boardUse_count_label"), QStringLiteral("18"), 8000);
    QCOMPARE(f.text("stat_fw_update_count_label"), QStringLiteral("2"));
}

// A reply made here and fed to the engine of a window with no port, so the
// figures are exact.
void TestStatistics::labelFormats()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    auto label = [&](const char* name) { return w.findChild<QLabel*>(QLatin1String(name))->text(); };
    auto answer = [&](const QByteArray& record) {
        QVERIFY(QMetaObject::invokeMethod(&w, "on_stat_get_button_clicked"));
        QCOMPARE(w.engine().pendingCommand(), uint32_t(rec::cmd::statistics));
        feedReply(w.engine(), rec::cmd::statistics, record);
    };

    answer(statRecord(1, 0, 2, 3600, 0, 0xFFFF));
    QTRY_COMPARE_WITH_TIMEOUT(label("stat_useTime_label"), QStringLiteral("3600 секунд"), 5000);
    QCOMPARE(label("stat_boardUse_count_label"), QStringLiteral("1"));
    QCOMPARE(label("stat_hardFault_count_label"), QStringLiteral("0"));
    QCOMPARE(label("stat_archive_use_label"), QStringLiteral("2"));
    QCOMPARE(label("stat_batTime_label"), QStringLiteral("0 секунд"));
    QCOMPARE(label("stat_fw_update_count_label"), QStringLiteral("65535"));

    // Counters are unsigned: the top value is not shown negative.
    answer(statRecord(0xFFFFFFFFu, 0x80000000u, 0, 0xFFFFFFFFu, 86400, 0x8000));
    QTRY_COMPARE_WITH_TIMEOUT(label("stat_boardUse_count_label"), QStringLiteral("4294967295"), 5000);
    QCOMPARE(label("stat_hardFault_count_label"), QStringLiteral("2147483648"));
    QCOMPARE(label("stat_useTime_label"), QStringLiteral("4294967295 секунд"));
    QCOMPARE(label("stat_batTime_label"), QStringLiteral("86400 секунд"));
    QCOMPARE(label("stat_fw_update_count_label"), QStringLiteral("32768"));
}

void TestStatistics::resetGuardedAndClearsBoard()
{
    BoardWindow f(vboard::BoardType::Chemistry, vboard::Program::Main);
    QVERIFY(f.open(1));
    f.server->board().setStatistics(statRecord(40, 2, 9, 5000, 1000, 7));
    QVERIFY(f.clickAndWait("stat_get_button"));
    QTRY_COMPARE_WITH_TIMEOUT(f.text("stat_boardUse_count_label"), QStringLiteral("40"), 8000);

    auto* allow = f.widget<QCheckBox>("stat_reset_allow_checkBox");
    auto* reset = f.widget<QAbstractButton>("stat_reset_button");
    QVERIFY(!allow->isChecked());
    QVERIFY(!reset->isEnabled());

    allow->click();
    QVERIFY(reset->isEnabled());
    allow->click();
    QVERIFY(!reset->isEnabled());
    // A disabled button sends nothing and the board keeps its counters.
    const int before = f.sentCount(rec::cmd::statistics);
    reset->click();
    QCOMPARE(f.sentCount(rec::cmd::statistics), before);
    QCOMPARE(u32At(f.server->board().statistics(), rec::stat::kBoardStarts), 40u);

    allow->click();
    f.server->clearRequests();
    QVERIFY(f.clickAndWait("stat_reset_button"));
    QVERIFY(waitFor([&] { return !f.requests(rec::cmd::statistics).isEmpty(); }));
    QCOMPARE(f.requests(rec::cmd::statistics).first().toHex(' '), QByteArray("aa 08 00 fe 94 2b b6 ff"));

    const QByteArray cleared = f.server->board().statistics();
    QCOMPARE(u32At(cleared, rec::stat::kBoardStarts), 0u);
    QCOMPARE(u32At(cleared, rec::stat::kHardFaults), 0u);
    QCOMPARE(u32At(cleared, rec::stat::kArchiveUses), 0u);
    QCOMPARE(le::u16(reinterpret_cast<const uint8_t*>(cleared.constData()) + rec::stat::kFwUpdates), uint16_t(0));

    // Read back: the window shows the cleared counters.
    QVERIFY(f.clickAndWait("stat_get_button"));
    QTRY_COMPARE_WITH_TIMEOUT(f.text("stat_boardUse_count_label"), QStringLiteral("0"), 8000);
    QCOMPARE(f.text("stat_hardFault_count_label"), QStringLiteral("0"));
    QCOMPARE(f.text("stat_fw_update_count_label"), QStringLiteral("0"));
}

QTEST_MAIN(TestStatistics)
#include "test_statistics.moc"
