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

#include <memory>

#include "BoardServer.h"
#include "Crc16.h"
#include "LittleEndian.h"
#include "MainWindow.h"
#include "Records.h"
#include "ScriptedDialogs.h"

namespace {

// The nineteen coefficient boxes in record order, with their offsets.
struct Coef {
    const char* box;
    uint32_t offset;
};
const Coef kCoefs[] = {
    {"hwConfig_calib_k_ch0_dSpinBox", rec::hwcfg::k_ch0},
    {"hwConfig_calib_d_ch0_dSpinBox", rec::hwcfg::delta_ch0},
    {"hwConfig_calib_k_ch1_dSpinBox", rec::hwcfg::k_ch1},
    {"hwConfig_calib_d_ch1_dSpinBox", rec::hwcfg::delta_ch1},
    {"hwConfig_calib_k1_ch2_dSpinBox", rec::hwcfg::k1_ch2},
    {"hwConfig_calib_d1_ch2_dSpinBox", rec::hwcfg::delta1_ch2},
    {"hwConfig_calib_k2_ch2_dSpinBox", rec::hwcfg::k2_ch2},
    {"hwConfig_calib_d2_ch2_dSpinBox", rec::hwcfg::delta2_ch2},
    {"hwConfig_calib_pointT_ch2_dSpinBox", rec::hwcfg::pointT_ch2},
    {"hwConfig_calib_k1_ch3_dSpinBox", rec::hwcfg::k1_ch3},
    {"hwConfig_calib_d1_ch3_dSpinBox", rec::hwcfg::delta1_ch3},
    {"hwConfig_calib_d_light_dSpinBox", rec::hwcfg::delta_light},
    {"hwConfig_calib_d_hum_dSpinBox", rec::hwcfg::delta_humidity},
    {"hwConfig_calib_d_tout_dSpinBox", rec::hwcfg::delta_Tout},
    {"hwConfig_calib_d_press_dSpinBox", rec::hwcfg::delta_Pressure},
    {"hwConfig_calib_k2_ch3_dSpinBox", rec::hwcfg::k2_ch3},
    {"hwConfig_calib_d2_ch3_dSpinBox", rec::hwcfg::delta2_ch3},
    {"hwConfig_calib_k3_ch3_dSpinBox", rec::hwcfg::k3_ch3},
    {"hwConfig_calib_d3_ch3_dSpinBox", rec::hwcfg::delta3_ch3},
};

bool isCoefByte(int i)
{
    return i >= int(rec::hwcfg::k_ch0) && i < int(rec::hwcfg::delta3_ch3 + 4);
}

template <typename T> T* widget(MainWindow& w, const char* name)
{
    T* p = w.findChild<T*>(QString::fromLatin1(name));
    if (!p)
        qFatal("widget %s not found", name);
    return p;
}

// Clicks a button whose tab is closed without a board: its containers are enabled first.
void press(MainWindow& w, const char* name)
{
    auto* button = widget<QPushButton>(w, name);
    for (QWidget* p = button->parentWidget(); p; p = p->parentWidget())
        p->setEnabled(true);
    button->click();
}

QDoubleSpinBox* coefBox(MainWindow& w, int i)
{
    return widget<QDoubleSpinBox>(w, kCoefs[i].box);
}

float coefOf(const QByteArray& record, int i)
{
    return le::f32(reinterpret_cast<const uint8_t*>(record.constData()) + kCoefs[i].offset);
}

// A record whose uninterpreted bytes are all different from each other's
// neighbours, so a shifted or dropped byte shows.
QByteArray patternRecord(uint8_t deviceType, uint8_t hwVersion)
{
    QByteArray r(rec::hwcfg::kSize, '\0');
    for (int i = 0; i < r.size(); ++i)
        r[i] = static_cast<char>(i * 7 + 3);
    r[rec::hwcfg::kDeviceType] = static_cast<char>(deviceType);
    r[rec::hwcfg::kHwVersion] = static_cast<char>(hwVersion);
    const float values[] = {0.5f,    -0.08f, -1.312f, 0.25f, 144.9915f, -83.4412f, 122.7484f,
                            -66.8052f, 0.747914f, 71.43f, 1.0f, -2.5f, 3.125f, 0.001f, 999.5f,
                            -999.25f, 12.0f, 0.333333f, -0.000001f};
    for (int i = 0; i < 19; ++i)
        le::putF32(reinterpret_cast<uint8_t*>(r.data()) + kCoefs[i].offset, values[i]);
    return r;
}

// A float as it comes back from a six-decimal spin box.
float throughBox(float f)
{
    return static_cast<float>(QString::number(static_cast<double>(f), 'f', 6).toDouble());
}

// A window connected to a simulated board.
struct Bench {
    Bench(vboard::BoardType type, vboard::Program program, const QByteArray& hwRecord)
    {
        vboard::BoardServer::Options o;
        o.type = type;
        o.program = program;
        o.linkPath = dir.filePath(QStringLiteral("board"));
        o.registerForDiscovery = false;
        server = std::make_unique<vboard::BoardServer>(o);
        if (!hwRecord.isEmpty())
            server->board().setHwConfig(hwRecord);
        w.setDialogs(&dialogs);
    }
    bool open()
    {
        if (!server->start())
            return false;
        auto* ports = widget<QComboBox>(w, "serialPortList_comboBox");
        ports->addItem(QStringLiteral("(") + server->linkPath() + QStringLiteral(")   RConf test"));
        ports->setCurrentIndex(ports->count() - 1);
        widget<QPushButton>(w, "serialPortAction_Button")->click();
        if (!QTest::qWaitFor([this] { return w.engine().devInfo.devType != 0 && !w.engine().isWaiting(); }, 10000))
            return false;
        // As the user does: go to the bootloader tab (which locks writing until a read).
        widget<QTabWidget>(w, "cmds")->setCurrentWidget(widget<QWidget>(w, "dev_bootloader"));
        return QTest::qWaitFor([this] { return !w.engine().isWaiting(); }, 8000);
    }
    bool click(const char* button)
    {
        widget<QPushButton>(w, button)->click();
        return QTest::qWaitFor([this] { return !w.engine().isWaiting(); }, 8000);
    }
    QList<QByteArray> requests(uint8_t code) const
    {
        QList<QByteArray> out;
        for (const QByteArray& f : server->requests())
            if (f.size() >= 6 && uint8_t(f[3]) == code)
                out << f;
        return out;
    }
    QTemporaryDir dir;
    std::unique_ptr<vboard::BoardServer> server;
    MainWindow w;
    ScriptedDialogs dialogs;
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
    void unknownTypeIsNotWrittenAs255();
    void overrideBoxWritesWithoutRead();
};

void TestHwConfig::editedRecordReachesTheBoardByteForByte()
{
    const QByteArray original = patternRecord(2, 3);
    Bench b(vboard::BoardType::Chemistry, vboard::Program::Bootloader, original);
    QVERIFY(b.open());
    QCOMPARE(b.w.engine().devInfo.progMode, uint8_t(0));
    QVERIFY(!widget<QPushButton>(b.w, "hwConfig_Set_Button")->isEnabled());

    QVERIFY(b.click("hwConfig_get_Button"));
    auto* type = widget<QComboBox>(b.w, "hwConfig_devType_ComboBox");
    QCOMPARE(type->currentIndex(), 2);
    QCOMPARE(type->currentText(), QStringLiteral("2. Цифровая лаборатория по химии"));
    QCOMPARE(widget<QSpinBox>(b.w, "hwConfig_devVers_SpinBox")->value(), 3);
    QCOMPARE(coefBox(b.w, 0)->value(), 0.5);
    QCOMPARE(coefBox(b.w, 9)->value(), 71.43);
    QVERIFY(widget<QGroupBox>(b.w, "hwConfigData_GroupBox")->isEnabled());
    QVERIFY(widget<QPushButton>(b.w, "hwConfig_Set_Button")->isEnabled());

    coefBox(b.w, 4)->setValue(0.1);   // k1_ch2
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_VERIFY_WITH_TIMEOUT(b.server->board().hwConfig() != original, 5000);

    // On the wire: the 290-byte block with its own valid CRC.
    const QByteArray frame = b.requests(rec::cmd::setHwConfig).value(0);
    QCOMPARE(frame.size(), 296);
    const auto* block = reinterpret_cast<const uint8_t*>(frame.constData()) + rec::frame::kPayload;
    QVERIFY(Crc16().check(block, rec::hwcfg::kWireSize));

    const QByteArray written = b.server->board().hwConfig();
    QCOMPARE(written.size(), int(rec::hwcfg::kSize));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(block), rec::hwcfg::kSize), written);
    for (int i = 0; i < written.size(); ++i)
        if (!isCoefByte(i))
            QVERIFY2(written[i] == original[i], qPrintable(QStringLiteral("byte %1 changed").arg(i)));
    for (int i = 0; i < 19; ++i) {
        const float expected = i == 4 ? 0.1f : throughBox(coefOf(original, i));
        QVERIFY2(coefOf(written, i) == expected, kCoefs[i].box);
    }

    // Reading back shows what was written.
    coefBox(b.w, 4)->setValue(5.0);
    QVERIFY(b.click("hwConfig_get_Button"));
    QCOMPARE(coefBox(b.w, 4)->value(), 0.1);
    QCOMPARE(coefBox(b.w, 4)->text().replace(QLatin1Char(','), QLatin1Char('.')), QStringLiteral("0.100000"));
    QCOMPARE(coefBox(b.w, 14)->value(), 999.5);
    QVERIFY(b.dialogs.shown.isEmpty());
}

void TestHwConfig::versionZeroIsRefusedBeforeTheGate()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    QList<QByteArray> sent;
    QObject::connect(&w.engine(), &proto_Vorlen_v2::_transmit_data, &w,
                     [&sent](uint8_t* buf, uint32_t n) { sent << QByteArray(reinterpret_cast<char*>(buf), int(n)); });
    w.engine().devInfo.progMode = 1;   // a main program runs
    w.engine().devInfo.devType = 1;

    widget<QSpinBox>(w, "hwConfig_devVers_SpinBox")->setValue(0);
    press(w, "hwConfig_Set_Button");
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].kind, QStringLiteral("warning"));
    QCOMPARE(dialogs.shown[0].title, QStringLiteral("Ошибка"));
    QCOMPARE(dialogs.shown[0].text, QStringLiteral("Не установлена версия аппаратного обеспечения устройства!"));

    widget<QSpinBox>(w, "hwConfig_devVers_SpinBox")->setValue(3);
    press(w, "hwConfig_Set_Button");
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[1].kind, QStringLiteral("gate"));
    QVERIFY(sent.isEmpty());
    // A refused write leaves the engine's record as it was.
    QCOMPARE(w.engine().hwConfig[rec::hwcfg::kHwVersion], uint8_t(0));
}

void TestHwConfig::defaultsOfBothLaboratoryTypes()
{
    Bench b(vboard::BoardType::Physics, vboard::Program::Bootloader, patternRecord(1, 4));
    QVERIFY(b.open());
    QVERIFY(b.click("hwConfig_get_Button"));
    auto* type = widget<QComboBox>(b.w, "hwConfig_devType_ComboBox");
    auto* defaults = widget<QPushButton>(b.w, "hwConfig_setDefCalibValues_button");

    const double physics[19] = {7.07, 0, -1.312, 0, 144.9915, -83.4412, 122.7484, -66.8052, 0.747914, 71.43,
                                0,    0, 0,      0, 0,        0,        0,        0,        0};
    const double chemistry[19] = {0.32258, -0.08, 0, 0, 144.9915, -83.4412, 122.7484, -66.8052, 0.747914, 0,
                                  0,       0,     0, 0, 0,        0,        0,        0,        0};
    for (const double* set : {physics, chemistry}) {
        // Both pairs of channel 2 meet at point T at 25.000.
        QVERIFY(qAbs(set[4] * set[8] + set[5] - 25.0) < 0.0005);
        QVERIFY(qAbs(set[6] * set[8] + set[7] - 25.0) < 0.0005);
    }

    type->setCurrentIndex(1);
    defaults->click();
    for (int i = 0; i < 19; ++i)
        QVERIFY2(coefBox(b.w, i)->value() == physics[i], kCoefs[i].box);
    type->setCurrentIndex(2);
    defaults->click();
    for (int i = 0; i < 19; ++i)
        QVERIFY2(coefBox(b.w, i)->value() == chemistry[i], kCoefs[i].box);

    // Types without defaults, and a main program, leave the boxes alone.
    for (int i = 0; i < 19; ++i)
        coefBox(b.w, i)->setValue(5.5);
    for (int t : {0, 3, 4}) {
        type->setCurrentIndex(t);
        defaults->click();
    }
    type->setCurrentIndex(1);
    b.w.engine().devInfo.progMode = 1;
    defaults->click();
    b.w.engine().devInfo.progMode = 0;
    for (int i = 0; i < 19; ++i)
        QCOMPARE(coefBox(b.w, i)->value(), 5.5);

    // The defaults only reach the board through the write button.
    QCOMPARE(b.requests(rec::cmd::setHwConfig).size(), 0);
    defaults->click();
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::setHwConfig).size(), 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(coefOf(b.server->board().hwConfig(), 9) == 71.43f, 5000);
    const QByteArray written = b.server->board().hwConfig();
    QCOMPARE(uint8_t(written[rec::hwcfg::kDeviceType]), uint8_t(1));
    for (int i = 0; i < 19; ++i)
        QVERIFY2(coefOf(written, i) == static_cast<float>(physics[i]), kCoefs[i].box);
}

void TestHwConfig::photocolorimeterTypeRule()
{
    const QByteArray original = patternRecord(100, 2);
    Bench b(vboard::BoardType::Photocolorimeter, vboard::Program::Bootloader, original);
    QVERIFY(b.open());
    QCOMPARE(b.w.engine().devInfo.progMode, uint8_t(10));
    for (int i = 0; i < 19; ++i)
        coefBox(b.w, i)->setValue(-7.25);

    QVERIFY(b.click("hwConfig_get_Button"));
    auto* type = widget<QComboBox>(b.w, "hwConfig_devType_ComboBox");
    QCOMPARE(type->currentIndex(), 1);
    QCOMPARE(type->currentText(), QStringLiteral("100. Мультидатчик - фотоколориметр"));
    QCOMPARE(widget<QSpinBox>(b.w, "hwConfig_devVers_SpinBox")->value(), 2);
    for (int i = 0; i < 19; ++i)
        QCOMPARE(coefBox(b.w, i)->value(), -7.25);   // no calibration fields for this family

    type->setCurrentIndex(0);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::setHwConfig).size(), 1, 5000);
    QByteArray expected = original;
    expected[rec::hwcfg::kDeviceType] = 0;
    QTRY_COMPARE_WITH_TIMEOUT(b.server->board().hwConfig(), expected, 5000);

    type->setCurrentIndex(1);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_COMPARE_WITH_TIMEOUT(b.server->board().hwConfig(), original, 5000);
}

void TestHwConfig::unknownTypeIsNotWrittenAs255()
{
    const QByteArray original = patternRecord(7, 1);
    Bench b(vboard::BoardType::Physics, vboard::Program::Bootloader, original);
    QVERIFY(b.open());
    QVERIFY(b.click("hwConfig_get_Button"));
    QCOMPARE(widget<QComboBox>(b.w, "hwConfig_devType_ComboBox")->currentIndex(), -1);
    b.w.flushPanes();
    QVERIFY(widget<QPlainTextEdit>(b.w, "log_Edit")->toPlainText().contains(QStringLiteral("неизвестный тип устройства 7")));

    b.server->clearRequests();
    widget<QPushButton>(b.w, "hwConfig_Set_Button")->click();
    QCOMPARE(b.dialogs.shown.size(), 1);
    QCOMPARE(b.dialogs.shown[0].kind, QStringLiteral("warning"));
    QCOMPARE(b.dialogs.shown[0].title, QStringLiteral("Ошибка"));
    QCOMPARE(b.dialogs.shown[0].text, QStringLiteral("Не выбран тип устройства!"));
    QTest::qWait(300);
    QCOMPARE(b.requests(rec::cmd::setHwConfig).size(), 0);
    QCOMPARE(b.server->board().hwConfig(), original);
    QCOMPARE(uint8_t(b.w.engine().hwConfig[rec::hwcfg::kDeviceType]), uint8_t(7));
}

void TestHwConfig::overrideBoxWritesWithoutRead()
{
    Bench b(vboard::BoardType::Physics, vboard::Program::Bootloader, patternRecord(1, 9));
    QVERIFY(b.open());
    auto* box = widget<QCheckBox>(b.w, "checkBox");
    auto* group = widget<QGroupBox>(b.w, "hwConfigData_GroupBox");
    auto* set = widget<QPushButton>(b.w, "hwConfig_Set_Button");
    QVERIFY(!group->isEnabled() && !set->isEnabled());

    box->click();   // ticked
    QVERIFY(box->isChecked());
    QVERIFY(group->isEnabled() && set->isEnabled());
    box->click();   // unticked
    QVERIFY(!group->isEnabled() && !set->isEnabled());
    box->click();
    QVERIFY(group->isEnabled() && set->isEnabled());

    // Nothing was read: what is not shown goes out as zeros, not as leftovers.
    widget<QSpinBox>(b.w, "hwConfig_devVers_SpinBox")->setValue(4);
    widget<QComboBox>(b.w, "hwConfig_devType_ComboBox")->setCurrentIndex(3);
    coefBox(b.w, 1)->setValue(-0.5);
    QVERIFY(b.click("hwConfig_Set_Button"));
    QTRY_COMPARE_WITH_TIMEOUT(b.requests(rec::cmd::setHwConfig).size(), 1, 5000);
    QByteArray expected(rec::hwcfg::kSize, '\0');
    expected[rec::hwcfg::kDeviceType] = 3;
    expected[rec::hwcfg::kHwVersion] = 4;
    for (int i = 0; i < 19; ++i)
        le::putF32(reinterpret_cast<uint8_t*>(expected.data()) + kCoefs[i].offset,
                   static_cast<float>(coefBox(b.w, i)->value()));
    QTRY_COMPARE_WITH_TIMEOUT(b.server->board().hwConfig(), expected, 5000);
    QCOMPARE(coefOf(expected, 1), -0.5f);
}

QTEST_MAIN(TestHwConfig)
#include "test_hw_config.moc"
