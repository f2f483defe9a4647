#include <QDoubleSpinBox>
#include <QtTest>

#include "LittleEndian.h"
#include "views_d_fixture.h"

using namespace viewsd;

namespace {

QByteArray pcPacket(uint32_t runTime, uint32_t adcRaw, float adcAve, float r, float g, float b)
{
    QByteArray packet(rec::pcraw::kSize, '\0');
    auto* p = reinterpret_cast<uint8_t*>(packet.data());
    le::put32(p + rec::pcraw::kRunTime, runTime);
    le::put32(p + rec::pcraw::kAdcRaw, adcRaw);
    le::putF32(p + rec::pcraw::kAdcAve, adcAve);
    le::putF32(p + rec::pcraw::kPwmRed, r);
    le::putF32(p + rec::pcraw::kPwmGreen, g);
    le::putF32(p + rec::pcraw::kPwmBlue, b);
    return packet;
}

} // namespace

// The photocolorimeter's debug page: LED drive payload, packet display and
// polling with its own timers.
class TestPcDebug : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pwmOnTheWireAndShownBack();
    void packetFormats();
    void pollingFollowsReplies();
    void silentBoardGetsOneRequest();

private:
    std::unique_ptr<BoardWindow> f;
    QAbstractButton* exchangeButton() { return f->widget<QAbstractButton>("pc_debugData_ExchangeButton"); }
    QComboBox* speed() { return f->widget<QComboBox>("pc_Deb_data_requestSpeed_ComboBox"); }
};

void TestPcDebug::init()
{
    f = std::make_unique<BoardWindow>(vboard::BoardType::Photocolorimeter, vboard::Program::Main);
    QVERIFY(f->open(11));
}

void TestPcDebug::cleanup()
{
    f.reset();
}

void TestPcDebug::pwmOnTheWireAndShownBack()
{
    auto* red = f->widget<QDoubleSpinBox>("pc_debugData_setPwm_RED_dSpinBox");
    auto* green = f->widget<QDoubleSpinBox>("pc_debugData_setPwm_GREEN_dSpinBox");
    auto* blue = f->widget<QDoubleSpinBox>("pc_debugData_setPwm_BLUE_dSpinBox");
    red->setValue(12.5);
    green->setValue(0);
    blue->setValue(100);

    f->server->clearRequests();
    QVERIFY(f->clickAndWait("pc_debugData_setPwm_button"));
    QVERIFY(waitFor([&] { return !f->requests(rec::cmd::getRawData).isEmpty(); }));
    const QByteArray frame = f->requests(rec::cmd::getRawData).first();
    QCOMPARE(payloadOf(frame).toHex(' '), QByteArray("00 00 48 41 00 00 00 00 00 00 c8 42"));
    QCOMPARE(f->server->board().pwm(0), 12.5f);
    QCOMPARE(f->server->board().pwm(1), 0.0f);
    QCOMPARE(f->server->board().pwm(2), 100.0f);

    // The board answers with its packet, which carries the levels it now drives.
    QTRY_COMPARE_WITH_TIMEOUT(f->text("pc_debugData_R_PWM_Label"), QStringLiteral("12.50%"), 8000);
    QCOMPARE(f->text("pc_debugData_G_PWM_Label"), QStringLiteral("0.00%"));
    QCOMPARE(f->text("pc_debugData_B_PWM_Label"), QStringLiteral("100.00%"));
    QCOMPARE(f->text("pc_debugData_RequestNum_Label"), QStringLiteral("1"));

    red->setValue(33.33);
    green->setValue(0.01);
    blue->setValue(99.99);
    QVERIFY(f->clickAndWait("pc_debugData_setPwm_button"));
    QTRY_COMPARE_WITH_TIMEOUT(f->text("pc_debugData_R_PWM_Label"), QStringLiteral("33.33%"), 8000);
    QCOMPARE(f->text("pc_debugData_G_PWM_Label"), QStringLiteral("0.01%"));
    QCOMPARE(f->text("pc_debugData_B_PWM_Label"), QStringLiteral("99.99%"));
    QCOMPARE(f->text("pc_debugData_RequestNum_Label"), QStringLiteral("2"));
}

void TestPcDebug::packetFormats()
{
    struct Case {
        QByteArray packet;
        QString runTime, adcRaw, adcAve, red;
    };
    const QList<Case> cases = {
        {pcPacket(3723004, 4000000000u, 1234567.0f, 7.5f, 0, 0), QStringLiteral("01:02:03:004"),
         QStringLiteral("4000000000"), QStringLiteral("1.23457e+06"), QStringLiteral("7.50%")},
        {pcPacket(86399999, 0, 0.000123f, 0, 0, 0), QStringLiteral("23:59:59:999"), QStringLiteral("0"),
         QStringLiteral("0.000123"), QStringLiteral("0.00%")},
        // A day or more is no time of day: the text is empty.
        {pcPacket(86400000, 17, 3.3f, 100, 0, 0), QString(), QStringLiteral("17"), QStringLiteral("3.3"),
         QStringLiteral("100.00%")},
        {pcPacket(0xFFFFFFFFu, 1, 2048.5f, 1, 0, 0), QString(), QStringLiteral("1"), QStringLiteral("2048.5"),
         QStringLiteral("1.00%")},
    };
    int replies = 0;
    for (const Case& c : cases) {
        f->server->board().setRawOverride(c.packet);
        QVERIFY(f->clickAndWait("pc_debugData_setPwm_button"));
        ++replies;
        QTRY_COMPARE_WITH_TIMEOUT(f->text("pc_debugData_RequestNum_Label"), QString::number(replies), 8000);
        QCOMPARE(f->text("pc_debugData_Stat_mSecTimer_Label"), c.runTime);
        QCOMPARE(f->text("pc_debugData_ADC_Raw_Label"), c.adcRaw);
        QCOMPARE(f->text("pc_debugData_ADC_Ave_Label"), c.adcAve);
        QCOMPARE(f->text("pc_debugData_R_PWM_Label"), c.red);
    }
    // Never written by this page.
    QCOMPARE(f->text("pc_debugData_PacketTransmit_Num_Label"), QStringLiteral("0"));
    QCOMPARE(f->text("pc_debugData_Stat_i2c_fault_Label"), QStringLiteral("НЕДОСТУПНО"));
}

void TestPcDebug::pollingFollowsReplies()
{
    QCOMPARE(speed()->currentIndex(), 5);
    speed()->setCurrentIndex(7);   // 1 s
    QCOMPARE(exchangeButton()->text(), QStringLiteral("Запустить обмен"));

    exchangeButton()->click();
    QCOMPARE(exchangeButton()->text(), QStringLiteral("Остановить обмен"));
    QVERIFY(!speed()->isEnabled());
    QVERIFY(f->logText().contains(QStringLiteral("Запуск считывания данных платы")));
    QCOMPARE(f->sentCount(rec::cmd::getRawData), 1);

    // Each reply brings the next request one period later; the counter follows.
    QTRY_COMPARE_WITH_TIMEOUT(f->text("pc_debugData_RequestNum_Label"), QStringLiteral("3"), 10000);
    QVERIFY(f->requests(rec::cmd::getRawData).size() >= 3);

    // The board falls silent: the watchdog ends polling.
    f->server->setAnswering(false);
    QTRY_COMPARE_WITH_TIMEOUT(exchangeButton()->text(), QStringLiteral("Запустить обмен"), 10000);
    QVERIFY(speed()->isEnabled());
    QVERIFY(f->logText().contains(QStringLiteral("Считывание данных остановлено")));
    const QString shown = f->text("pc_debugData_RequestNum_Label");
    QVERIFY(waitFor([&] { return f->idle(); }, 8000));
    const int sentAfterStop = f->sentCount(rec::cmd::getRawData);
    QTest::qWait(1500);
    QCOMPARE(f->sentCount(rec::cmd::getRawData), sentAfterStop);
    QCOMPARE(f->text("pc_debugData_RequestNum_Label"), shown);

    // A new start counts from 1 again; a click stops it at once.
    f->server->setAnswering(true);
    exchangeButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(f->text("pc_debugData_RequestNum_Label"), QStringLiteral("1"), 8000);
    exchangeButton()->click();
    QCOMPARE(exchangeButton()->text(), QStringLiteral("Запустить обмен"));
    QVERIFY(speed()->isEnabled());
    QVERIFY(waitFor([&] { return f->idle(); }, 8000));
    const int sentAfterClick = f->sentCount(rec::cmd::getRawData);
    QTest::qWait(1500);
    QCOMPARE(f->sentCount(rec::cmd::getRawData), sentAfterClick);
}

// Only replies start the poll timer: with no answer at all, the first request
// (and the engine's own repetitions of it) is all that goes out, even at 5 ms.
void TestPcDebug::silentBoardGetsOneRequest()
{
    speed()->setCurrentIndex(0);
    f->server->setAnswering(false);
    const int before = f->sent.size();
    exchangeButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(exchangeButton()->text(), QStringLiteral("Запустить обмен"), 10000);
    QVERIFY(waitFor([&] { return f->idle(); }, 8000));

    const QList<QByteArray> after = f->sent.mid(before);
    QVERIFY(!after.isEmpty());
    QVERIFY2(after.size() <= 3, qPrintable(QString::number(after.size())));
    for (const QByteArray& frame : after)
        QCOMPARE(frame.toHex(' '), QByteArray("aa 06 00 1f 80 35"));
    QCOMPARE(f->text("pc_debugData_RequestNum_Label"), QStringLiteral("0"));
}

QTEST_MAIN(TestPcDebug)
#include "test_pc_debug.moc"
