#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

#include "BoardServer.h"
#include "Crc16.h"
#include "LittleEndian.h"
#include "MainWindow.h"
#include "Records.h"
#include "BoardBench.h"

using vboard::BoardType;

namespace {

// The nineteen coefficient boxes in record order (offsets 32, 36 ... 104).
const char* const kBoxes[19] = {
    "k_ch0", "d_ch0", "k_ch1", "d_ch1", "k1_ch2", "d1_ch2", "k2_ch2", "d2_ch2", "pointT_ch2", "k1_ch3",
    "d1_ch3", "d_light", "d_hum", "d_tout", "d_press", "k2_ch3", "d2_ch3", "k3_ch3", "d3_ch3"};
const uint32_t kOffsets[19] = {
    rec::hwcfg::k_ch0, rec::hwcfg::delta_ch0, rec::hwcfg::k_ch1, rec::hwcfg::delta_ch1, rec::hwcfg::k1_ch2,
    rec::hwcfg::delta1_ch2, rec::hwcfg::k2_ch2, rec::hwcfg::delta2_ch2, rec::hwcfg::pointT_ch2,
    rec::hwcfg::k1_ch3, rec::hwcfg::delta1_ch3, rec::hwcfg::delta_light, rec::hwcfg::delta_humidity,
    rec::hwcfg::delta_Tout, rec::hwcfg::delta_Pressure, rec::hwcfg::k2_ch3, rec::hwcfg::delta2_ch3,
    rec::hwcfg::k3_ch3, rec::hwcfg::delta3_ch3};

float coefOf(const QByteArray& record, int i)
{
    return le::f32(reinterpret_cast<const uint8_t*>(record.constData()) + kOffsets[i]);
}

// Every byte differs from its neighbours, so a shifted or lost byte shows.
QByteArray patternRecord(uint8_t deviceType, uint8_t hwVersion)
{
    QByteArray r(rec::hwcfg::kSize, '\0');
    for (int i = 0; i < r.size(); ++i)
        r[i] = static_cast<char>(i * 7 + 3);
    r[rec::hwcfg::kDeviceType] = static_cast<char>(deviceType);
    r[rec::hwcfg::kHwVersion] = static_cast<char>(hwVersion);
    const float values[19] = {0.5f, -0.08f, -1.312f, 0.25f, 144.9915f, -83.4412f, 122.7484f, -66.8052f, 0.747914f,
                              71.43f, 1.0f, -2.5f, 3.125f, 0.001f, 999.5f, -999.25f, 12.0f, 0.333333f, -0.000001f};
    for (int i = 0; i < 19; ++i)
        le::putF32(reinterpret_cast<uint8_t*>(r.data()) + kOffsets[i], values[i]);
    return r;
}

// A window connected to a simulated board, showing the bootloader tab.
struct Bench : bench::Bench {
    Bench(BoardType type, vboard::Program program, const QByteArray& hwRecord) : bench::Bench(type, program)
    {
        server->board().setHwConfig(hwRecord);
    }
    bool open()
    {
        if (!start())
            return false;
        bench::Bench::click("serialPortAction_Button");
        if (!QTest::qWaitFor([this] { return window->engine().deviceInfo().devType != 0 && idle(); }, 10000))
            return false;
        // Entering the tab locks writing until a read.
        tabs("cmds")->setCurrentWidget(widget("dev_bootloader"));
        return idle();
    }
    bool idle() { return QTest::qWaitFor([this] { return !window->engine().isWaiting(); }, 8000); }
    bool click(const char* name)
    {
        bench::Bench::click(name);
        return idle();
    }
    QDoubleSpinBox* coef(int i)
    {
        return widget<QDoubleSpinBox>(qPrintable(QStringLiteral("hwConfig_calib_%1_dSpinBox").arg(kBoxes[i])));
    }
    int writes() const { return requests(rec::cmd::setHwConfig).size(); }
};

} // namespace

class TestHwConfig : public QObject
{
    Q_OBJECT
private slots:
    void editedRecordReachesTheBoardByteForByte();
    void versionZeroIsRefusedBeforeTheGate();
    void defaultsOfBothLaboratoryTypes();
    void photocolorimeterTypeRule();
    void unknownTypeAndOverrideBox();
    void typeSurvivesStatusRefresh_data();
    void typeSurvivesStatusRefresh();
    void clampedCoefficientBlocksWrite_data();
    void clampedCoefficientBlocksWrite();
    void overrideTickedBeforeEnteringTab_data();
    void overrideTickedBeforeEnteringTab();
};

void TestHwConfig::editedRecordReachesTheBoardByteForByte()
{
    const QByteArray original = patternRecord(2, 3);
    Bench b(BoardType::Chemistry, vboard::Program::Bootloader, original);
    QVERIFY(b.open());
    QVERIFY(!b.widget<QPushButton>("hwConfig_Set_Button")->isEnabled());
    QVERIFY(b.click("hwConfig_get_Button"));
    QCOMPARE(b.widget<QComboBox>("hwConfig_devType_ComboBox")->currentText(), QStringLiteral("2. Цифровая лаборатория по химии"));
    QCOMPARE(b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->value(), 3);
    QCOMPARE(b.coef(0)->value(), 0.5);
    QVERIFY(b.widget<QGroupBox>("hwConfigData_GroupBox")->isEnabled());
    QVERIFY(b.widget<QPushButton>("hwConfig_Set_Button")->isEnabled());

    b.coef(4)->setValue(0.1);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_VERIFY_WITH_TIMEOUT(b.server->board().hwConfig() != original, 5000);

    // On the wire: the record and its own CRC; on the board: every other byte as it was.
    const QByteArray frame = b.server->requests().last();
    QCOMPARE(frame.size(), 296);
    QVERIFY(Crc16().check(reinterpret_cast<const uint8_t*>(frame.constData()) + 4, rec::hwcfg::kWireSize));
    const QByteArray written = b.server->board().hwConfig();
    QCOMPARE(frame.mid(4, rec::hwcfg::kSize), written);
    for (int i = 0; i < written.size(); ++i)
        if (i < int(kOffsets[0]) || i >= int(kOffsets[18] + 4))
            QVERIFY2(written[i] == original[i], qPrintable(QString::number(i)));
    for (int i = 0; i < 19; ++i) {
        // Six decimals in the box, then the nearest float.
        const float shown = float(QString::number(double(coefOf(original, i)), 'f', 6).toDouble());
        QVERIFY2(coefOf(written, i) == (i == 4 ? 0.1f : shown), kBoxes[i]);
    }

    b.coef(4)->setValue(5.0);
    QVERIFY(b.click("hwConfig_get_Button"));
    QCOMPARE(b.coef(4)->value(), 0.1);
    QCOMPARE(b.coef(14)->value(), 999.5);
    QVERIFY(b.dialogs.shown.isEmpty());
}

void TestHwConfig::versionZeroIsRefusedBeforeTheGate()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    int sent = 0;
    QObject::connect(&w.engine(), &proto_Vorlen_v2::_transmit_data, &w, [&sent] { ++sent; });
    feedStatus(w.engine(), 1);   // a main program runs
    auto* set = w.findChild<QPushButton*>(QStringLiteral("hwConfig_Set_Button"));
    auto* version = w.findChild<QSpinBox*>(QStringLiteral("hwConfig_devVers_SpinBox"));
    for (QWidget* p = set->parentWidget(); p; p = p->parentWidget())
        p->setEnabled(true);

    version->setValue(0);
    set->click();
    version->setValue(3);
    set->click();
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[0].kind, QStringLiteral("warning"));
    QCOMPARE(dialogs.shown[0].title, QStringLiteral("Ошибка"));
    QCOMPARE(dialogs.shown[0].text, QStringLiteral("Не установлена версия аппаратного обеспечения устройства!"));
    QCOMPARE(dialogs.shown[1].kind, QStringLiteral("gate"));
    QCOMPARE(sent, 0);
    QCOMPARE(w.engine().hwConfigRecord()[rec::hwcfg::kHwVersion], uint8_t(0));   // refused writes change nothing
}

void TestHwConfig::defaultsOfBothLaboratoryTypes()
{
    Bench b(BoardType::Physics, vboard::Program::Bootloader, patternRecord(1, 4));
    QVERIFY(b.open());
    QVERIFY(b.click("hwConfig_get_Button"));
    auto* type = b.widget<QComboBox>("hwConfig_devType_ComboBox");
    const double sets[3][19] = {
        {},
        {7.07, 0, -1.312, 0, 144.9915, -83.4412, 122.7484, -66.8052, 0.747914, 71.43},
        {0.32258, -0.08, 0, 0, 144.9915, -83.4412, 122.7484, -66.8052, 0.747914, 0},
    };
    for (int t : {2, 1}) {
        type->setCurrentIndex(t);
        QVERIFY(b.click("hwConfig_setDefCalibValues_button"));
        for (int i = 0; i < 19; ++i)
            QVERIFY2(b.coef(i)->value() == sets[t][i], kBoxes[i]);
    }
    // Other types leave the boxes as they are; the write sends the physics set.
    type->setCurrentIndex(3);
    QVERIFY(b.click("hwConfig_setDefCalibValues_button"));
    QCOMPARE(b.coef(9)->value(), 71.43);
    QCOMPARE(b.writes(), 0);
    type->setCurrentIndex(1);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_COMPARE_WITH_TIMEOUT(coefOf(b.server->board().hwConfig(), 9), 71.43f, 5000);
    for (int i = 0; i < 19; ++i)
        QVERIFY2(coefOf(b.server->board().hwConfig(), i) == float(sets[1][i]), kBoxes[i]);
}

void TestHwConfig::photocolorimeterTypeRule()
{
    const QByteArray original = patternRecord(100, 2);
    Bench b(BoardType::Photocolorimeter, vboard::Program::Bootloader, original);
    QVERIFY(b.open());
    QVERIFY(b.click("hwConfig_get_Button"));
    auto* type = b.widget<QComboBox>("hwConfig_devType_ComboBox");
    QCOMPARE(type->currentText(), QStringLiteral("100. Мультидатчик - фотоколориметр"));
    QVERIFY(b.coef(0)->value() != 0.5);   // no calibration fields for this family

    type->setCurrentIndex(0);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_COMPARE_WITH_TIMEOUT(b.server->board().hwConfig(), QByteArray(original).replace(0, 1, QByteArray(1, '\0')), 5000);
    type->setCurrentIndex(1);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_COMPARE_WITH_TIMEOUT(b.server->board().hwConfig(), original, 5000);
}

void TestHwConfig::unknownTypeAndOverrideBox()
{
    // Type 7 and an erased first coefficient (NaN).
    const QByteArray original = patternRecord(7, 1).replace(kOffsets[0], 4, QByteArray(4, char(0xFF)));
    Bench b(BoardType::Physics, vboard::Program::Bootloader, original);
    QVERIFY(b.open());
    auto* box = b.widget<QCheckBox>("checkBox");
    auto* set = b.widget<QPushButton>("hwConfig_Set_Button");
    box->click();
    QVERIFY(set->isEnabled() && b.widget<QGroupBox>("hwConfigData_GroupBox")->isEnabled());
    box->click();
    QVERIFY(!set->isEnabled() && !b.widget<QGroupBox>("hwConfigData_GroupBox")->isEnabled());
    box->click();

    // Written without a read: what the view does not show goes out as zeros.
    b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->setValue(4);
    b.widget<QComboBox>("hwConfig_devType_ComboBox")->setCurrentIndex(3);
    b.coef(1)->setValue(-0.5);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QByteArray expected(rec::hwcfg::kSize, '\0');
    expected[0] = 3;
    expected[1] = 4;
    le::putF32(reinterpret_cast<uint8_t*>(expected.data()) + kOffsets[1], -0.5f);
    QTRY_COMPARE_WITH_TIMEOUT(b.server->board().hwConfig(), expected, 5000);

    // A type code without an entry is refused instead of being written as 255.
    b.server->board().setHwConfig(original);
    QVERIFY(b.click("hwConfig_get_Button"));
    QCOMPARE(b.widget<QComboBox>("hwConfig_devType_ComboBox")->currentIndex(), -1);
    b.server->clearRequests();
    set->click();
    QCOMPARE(b.dialogs.shown.size(), 1);
    QCOMPARE(b.dialogs.shown[0].title, QStringLiteral("Ошибка"));
    QCOMPARE(b.dialogs.shown[0].text, QStringLiteral("Не выбран тип устройства!"));
    QTest::qWait(200);
    QCOMPARE(b.writes(), 0);
    QCOMPARE(b.server->board().hwConfig(), original);
    b.window->flushPanes();
    const QString log = b.widget<QPlainTextEdit>("log_Edit")->toPlainText();
    QVERIFY(log.contains(QStringLiteral("HW Config: неизвестный тип устройства 7")));
    QVERIFY(log.contains(QStringLiteral("HW Config: коэффициент k_ch0 не задан (не число), показан 0")));
    QCOMPARE(b.coef(0)->value(), 0.0);
}

void TestHwConfig::typeSurvivesStatusRefresh_data()
{
    QTest::addColumn<int>("board");
    QTest::newRow("ecology") << int(BoardType::Ecology);
    QTest::newRow("photocolorimeter") << int(BoardType::Photocolorimeter);
}

void TestHwConfig::typeSurvivesStatusRefresh()
{
    QFETCH(int, board);
    Bench b(BoardType(board), vboard::Program::Bootloader, patternRecord(uint8_t(board), 2));
    QVERIFY(b.open());
    QVERIFY(b.click("hwConfig_get_Button"));
    auto* type = b.combo("hwConfig_devType_ComboBox");
    const QString read = type->currentText();
    QVERIFY(b.click("getInfo_Button"));   // the status reply refills the type list
    QCOMPARE(type->currentText(), read);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_COMPARE_WITH_TIMEOUT(b.writes(), 1, 5000);
    QCOMPARE(int(uint8_t(b.requests(rec::cmd::setHwConfig).last().at(4))), board);
    QTRY_COMPARE_WITH_TIMEOUT(int(uint8_t(b.server->board().hwConfig().at(0))), board, 5000);

    // Another connection may be another board: no type is chosen until a read.
    b.bench::Bench::click("serialPortAction_Button");
    QVERIFY(b.openAndWaitStatus() && b.idle());
    QCOMPARE(type->currentIndex(), -1);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QCOMPARE(b.dialogs.shown.size(), 1);
    QCOMPARE(b.dialogs.shown[0].text, QStringLiteral("Не выбран тип устройства!"));
    QCOMPARE(b.writes(), 1);
}

void TestHwConfig::clampedCoefficientBlocksWrite_data()
{
    QTest::addColumn<bool>("readAgain");   // else the user edits the last clamped box
    QTest::addColumn<float>("k_ch0");      // what the board then holds
    QTest::newRow("edited") << false << 12.5f;
    QTest::newRow("read again") << true << 0.5f;
}

void TestHwConfig::clampedCoefficientBlocksWrite()
{
    QFETCH(bool, readAgain);
    QFETCH(float, k_ch0);
    const QByteArray inRange = patternRecord(1, 2);
    QByteArray outOfRange = inRange;
    le::putF32(reinterpret_cast<uint8_t*>(outOfRange.data()) + kOffsets[0], 1500.0f);
    le::putF32(reinterpret_cast<uint8_t*>(outOfRange.data()) + kOffsets[11], -INFINITY);
    Bench b(BoardType::Physics, vboard::Program::Bootloader, outOfRange);
    QVERIFY(b.open());
    QVERIFY(b.click("hwConfig_get_Button"));
    QCOMPARE(b.coef(0)->value(), 999.999999);
    QCOMPARE(b.coef(11)->value(), -999.999999);

    // Refused while a clamped value is shown; a box's own edit ends its part.
    QVERIFY(b.click("hwConfig_Set_Button"));
    QCOMPARE(b.dialogs.shown.last().title, QStringLiteral("Ошибка"));
    QVERIFY(b.dialogs.shown.last().text.contains(QStringLiteral("«Канал 0, K», «delta_light»")));
    b.coef(0)->setValue(12.5);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QVERIFY(b.dialogs.shown.last().text.contains(QStringLiteral(": «delta_light».")));
    QCOMPARE(b.dialogs.shown.size(), 2);
    QCOMPARE(b.writes(), 0);

    if (readAgain) {
        b.server->board().setHwConfig(inRange);
        QVERIFY(b.click("hwConfig_get_Button"));
    } else {
        b.coef(11)->setValue(-2.5);
    }
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_COMPARE_WITH_TIMEOUT(b.writes(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(coefOf(b.server->board().hwConfig(), 0), k_ch0, 5000);
    QCOMPARE(coefOf(b.server->board().hwConfig(), 11), -2.5f);
    QCOMPARE(b.dialogs.shown.size(), 2);
}

void TestHwConfig::overrideTickedBeforeEnteringTab_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::newRow("ticked") << true;
    QTest::newRow("not ticked") << false;
}

void TestHwConfig::overrideTickedBeforeEnteringTab()
{
    QFETCH(bool, ticked);
    Bench b(BoardType::Chemistry, vboard::Program::Bootloader, patternRecord(2, 3));
    b.widget<QCheckBox>("checkBox")->setChecked(ticked);
    QVERIFY(b.open());   // enters the bootloader tab with auto-update on
    QCOMPARE(b.widget<QGroupBox>("hwConfigData_GroupBox")->isEnabled(), ticked);
    b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->setValue(5);
    b.combo("hwConfig_devType_ComboBox")->setCurrentIndex(4);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_COMPARE_WITH_TIMEOUT(b.server->board().hwConfig().left(2),
                              ticked ? QByteArray("\x04\x05", 2) : patternRecord(2, 3).left(2), 5000);
    QCOMPARE(b.writes(), ticked ? 1 : 0);
}

QTEST_MAIN(TestHwConfig)
#include "test_hw_config.moc"
