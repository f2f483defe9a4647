// The records the tabs read and write: hardware configuration, user calibrations, archive,
// statistics and the BLE AT console, against the simulated board or replies fed to the engine.
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableWidget>

#include <QRegularExpression>

#include <cmath>

#include "BoardBench.h"
#include "Crc16.h"
#include "LittleEndian.h"
#include "Records.h"

using bench::Bench;
using vboard::BoardType;
using vboard::Program;

namespace {

QByteArray floats(std::initializer_list<float> list)
{
    QByteArray b(int(list.size()) * 4, '\0');
    int i = 0;
    for (float f : list)
        le::putF32(raw(b) + 4 * i++, f);
    return b;
}

// A hardware configuration whose bytes differ from their neighbours, with coefficients a box shows exactly.
QByteArray hwRecord(uint8_t type, uint8_t version)
{
    QByteArray r(rec::hwcfg::kSize, '\0');
    for (int i = 0; i < r.size(); ++i)
        r[i] = char(i * 7 + 3);
    r[0] = char(type), r[1] = char(version);
    return r.replace(rec::hwcfg::k_ch0, 76, floats({0.5f, -0.08f, -1.312f, 0.25f, 144.9915f, -83.4412f, 122.7484f,
                                                    -66.8052f, 0.747914f, 71.43f, 1, -2.5f, 3.125f, 0.001f, 999.5f,
                                                    -999.25f, 12, 0.333333f, -0.000001f}));
}

QByteArray coefsOf(const QByteArray& record) { return record.mid(rec::hwcfg::k_ch0, 76); }

// The page is closed without a board: its containers are enabled first.
void press(Bench& b, const char* name)
{
    for (QWidget* p = b.widget(name); p; p = p->parentWidget())
        p->setEnabled(true);
    b.click(name);
}

QString lastShown(const Bench& b) { return b.dialogs.shown.isEmpty() ? QString() : b.dialogs.shown.last().text; }

} // namespace

class TestBoardRecords : public QObject
{
    Q_OBJECT
private slots:
    void hwConfigLaboratory();
    void hwConfigWithoutReadAndUnknownType();
    void hwConfigPhotocolorimeter();
    void userCalibration_data();
    void userCalibration();
    void userCalibrationReplies();
    void archiveStartAndStatus();
    void archiveLoad();
    void statistics();
    void atConsole();
};

void TestBoardRecords::hwConfigLaboratory()
{
    QByteArray original = hwRecord(2, 3);
    original.replace(rec::hwcfg::k_ch0, 4, floats({1500})).replace(rec::hwcfg::delta_light, 4, floats({-INFINITY}));
    Bench b{BoardType::Chemistry, Program::Bootloader};
    b.server->board().setHwConfig(original);
    QVERIFY(b.startAndOpen());
    b.tabs("cmds")->setCurrentWidget(b.widget("dev_bootloader"));   // writing is locked until a read
    QVERIFY(!b.button("hwConfig_Set_Button")->isEnabled() && !b.widget("hwConfigData_GroupBox")->isEnabled());
    QVERIFY(b.clickAndWait("hwConfig_get_Button"));
    QVERIFY(b.button("hwConfig_Set_Button")->isEnabled() && b.widget("hwConfigData_GroupBox")->isEnabled());
    QVERIFY(b.clickAndWait("getInfo_Button"));   // the status reply refills the type list and keeps the type
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->currentText(), QStringLiteral("2. Цифровая лаборатория по химии"));
    QCOMPARE(b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->value(), 3);
    auto* k0 = b.widget<QDoubleSpinBox>("hwConfig_calib_k_ch0_dSpinBox");
    auto* light = b.widget<QDoubleSpinBox>("hwConfig_calib_d_light_dSpinBox");
    QCOMPARE(k0->value(), 999.999999);
    QCOMPARE(light->value(), -999.999999);
    QVERIFY(b.indexInLog(QStringLiteral("HW Config: коэффициент k_ch0 = 1500 вне диапазона поля ввода")) >= 0);

    // Refused while a clamped value is shown; a box's own edit ends its part.
    b.click("hwConfig_Set_Button");
    QCOMPARE(lastShown(b), QStringLiteral("Коэффициенты с урезанным значением (с платы считано значение вне диапазона поля "
                                          "ввода): «Канал 0, K», «delta_light». Запись отменена: задайте эти "
                                          "коэффициенты или считайте конфигурацию заново."));
    k0->setValue(12.5);
    b.click("hwConfig_Set_Button");
    QVERIFY(lastShown(b).contains(QStringLiteral("ввода): «delta_light». Запись")));
    QCOMPARE(b.sentCount(rec::cmd::setHwConfig), 0);
    light->setValue(-2.5);
    b.widget<QDoubleSpinBox>("hwConfig_calib_k1_ch2_dSpinBox")->setValue(0.1);
    QVERIFY(b.clickAndWait("hwConfig_Set_Button"));
    // The record with its own CRC; the bytes the view does not edit go back as read.
    QByteArray expected = QByteArray(original).replace(rec::hwcfg::k_ch0, 4, floats({12.5f}));
    expected.replace(rec::hwcfg::delta_light, 4, floats({-2.5f})).replace(rec::hwcfg::k1_ch2, 4, floats({0.1f}));
    const QByteArray frame = b.requests(rec::cmd::setHwConfig).value(0);
    QCOMPARE(frame.size(), 296);
    QVERIFY(Crc16().check(u8(frame) + 4, rec::hwcfg::kWireSize));
    QCOMPARE(b.server->board().hwConfig(), expected);

    // A read that is in range again ends the refusal.
    b.server->board().setHwConfig(original);
    QVERIFY(b.clickAndWait("hwConfig_get_Button") && b.clickAndWait("hwConfig_Set_Button"));
    b.server->board().setHwConfig(expected);
    QVERIFY(b.clickAndWait("hwConfig_get_Button") && b.clickAndWait("hwConfig_Set_Button"));
    QCOMPARE(b.dialogs.shown.size(), 3);
    QCOMPARE(b.sentCount(rec::cmd::setHwConfig), 2);

    // Defaults of the two laboratories; other types leave the boxes.
    const QByteArray physics = floats({7.07f, 0, -1.312f, 0, 144.9915f, -83.4412f, 122.7484f, -66.8052f, 0.747914f,
                                       71.43f, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const QByteArray chemistry = floats({0.32258f, -0.08f, 0, 0, 144.9915f, -83.4412f, 122.7484f, -66.8052f,
                                         0.747914f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    for (const auto& t : {qMakePair(1, physics), qMakePair(2, chemistry), qMakePair(3, chemistry)}) {
        b.combo("hwConfig_devType_ComboBox")->setCurrentIndex(t.first);
        b.click("hwConfig_setDefCalibValues_button");
        QVERIFY(b.clickAndWait("hwConfig_Set_Button"));
        QCOMPARE(b.server->board().hwConfig().at(0), char(t.first));
        QCOMPARE(coefsOf(b.server->board().hwConfig()), t.second);
    }
}

void TestBoardRecords::hwConfigWithoutReadAndUnknownType()
{
    // Type 7 has no entry; the first coefficient is erased (NaN).
    const QByteArray original = hwRecord(7, 1).replace(rec::hwcfg::k_ch0, 4, QByteArray(4, char(0xFF)));
    Bench b{BoardType::Physics, Program::Bootloader};
    b.server->board().setHwConfig(original);
    b.widget<QCheckBox>("checkBox")->setChecked(true);
    QVERIFY(b.startAndOpen());
    b.tabs("cmds")->setCurrentWidget(b.widget("dev_bootloader"));   // ticked: writable at once
    QVERIFY(b.button("hwConfig_Set_Button")->isEnabled() && b.widget("hwConfigData_GroupBox")->isEnabled());
    b.click("checkBox");
    QVERIFY(!b.button("hwConfig_Set_Button")->isEnabled() && !b.widget("hwConfigData_GroupBox")->isEnabled());
    b.click("checkBox");

    // Written without a read: what the view does not show goes out as zeros.
    b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->setValue(4);
    b.combo("hwConfig_devType_ComboBox")->setCurrentIndex(3);
    b.widget<QDoubleSpinBox>("hwConfig_calib_d_ch0_dSpinBox")->setValue(-0.5);
    QVERIFY(b.clickAndWait("hwConfig_Set_Button"));
    QCOMPARE(b.server->board().hwConfig(), (bytes({3, 4}) + QByteArray(34, 0) + floats({-0.5f})).leftJustified(288, 0));

    // A type code without an entry is refused instead of being written as 255.
    b.server->board().setHwConfig(original);
    QVERIFY(b.clickAndWait("hwConfig_get_Button"));
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->currentIndex(), -1);
    QCOMPARE(b.widget<QDoubleSpinBox>("hwConfig_calib_k_ch0_dSpinBox")->value(), 0.0);
    QVERIFY(b.indexInLog(QStringLiteral("HW Config: неизвестный тип устройства 7, выберите тип перед записью")) >= 0);
    QVERIFY(b.indexInLog(QStringLiteral("HW Config: коэффициент k_ch0 не задан (не число), показан 0")) >= 0);
    b.click("hwConfig_Set_Button");
    QCOMPARE(lastShown(b), QStringLiteral("Не выбран тип устройства!"));
    QCOMPARE(b.sentCount(rec::cmd::setHwConfig), 1);
}

void TestBoardRecords::hwConfigPhotocolorimeter()
{
    const QByteArray original = hwRecord(100, 2);
    Bench b{BoardType::Photocolorimeter, Program::Bootloader};
    b.server->board().setHwConfig(original);
    QVERIFY(b.startAndOpen());
    QVERIFY(b.clickAndWait("hwConfig_get_Button") && b.clickAndWait("getInfo_Button"));
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->currentText(), QStringLiteral("100. Мультидатчик - фотоколориметр"));
    QCOMPARE(b.widget<QDoubleSpinBox>("hwConfig_calib_k_ch0_dSpinBox")->value(), 0.0);   // no coefficients here
    b.combo("hwConfig_devType_ComboBox")->setCurrentIndex(0);
    QVERIFY(b.clickAndWait("hwConfig_Set_Button"));
    QCOMPARE(b.server->board().hwConfig(), QByteArray(original).replace(0, 1, QByteArray(1, '\0')));
    b.combo("hwConfig_devType_ComboBox")->setCurrentIndex(1);
    QVERIFY(b.clickAndWait("hwConfig_Set_Button"));
    QCOMPARE(b.server->board().hwConfig(), original);

    // Another connection may be another board: no type is chosen until a read.
    b.click("serialPortAction_Button");
    QVERIFY(b.openAndWaitStatus());
    QCOMPARE(b.combo("hwConfig_devType_ComboBox")->currentIndex(), -1);
    b.click("hwConfig_Set_Button");
    QCOMPARE(lastShown(b), QStringLiteral("Не выбран тип устройства!"));
    // The version is checked first.
    b.widget<QSpinBox>("hwConfig_devVers_SpinBox")->setValue(0);
    b.click("hwConfig_Set_Button");
    QCOMPARE(lastShown(b), QStringLiteral("Не установлена версия аппаратного обеспечения устройства!"));
    QCOMPARE(b.sentCount(rec::cmd::setHwConfig), 2);
}

void TestBoardRecords::userCalibration_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("coef");   // a coefficient box and its offset, a step box and its offset
    QTest::addColumn<int>("coefAt");
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("stepAt");
    QTest::addColumn<QString>("reset");
    QTest::addColumn<QByteArray>("defaults");   // reserved bytes follow as read
    QTest::newRow("physics") << 1 << "physic_d_absPressSens_dSpinBox" << 32 << "physic_step_amperSens_SpinBox" << 39
                             << "physic_DefaultReset_button" << floats({1, 0, 1, 0, 1, 0, 1, 0, 1}) + bytes({1, 1, 1, 1});
    QTest::newRow("chemistry") << 2 << "chem_d3_conductSens_dSpinBox" << 36 << "chem_step_phSens_SpinBox" << 40
                               << "chem_DefaultReset_button" << floats({1, 0, 1, 0, 1, 0, 1, 0, 1, 0}) + bytes({2, 1, 2});
    QTest::newRow("biology") << 4 << "bio_d_Tout_dSpinBox" << 16 << "bio_step_tempSens_SpinBox" << 29
                             << "bio_DefaultReset_button" << floats({1, 0, 1, 0, 0, 0, 0}) + bytes({2, 1});
}

void TestBoardRecords::userCalibration()
{
    QFETCH(int, type);
    QFETCH(QString, coef);
    QFETCH(int, coefAt);
    QFETCH(QString, step);
    QFETCH(int, stepAt);
    QFETCH(QString, reset);
    QFETCH(QByteArray, defaults);
    const int size = type == 1 ? 40 : type == 2 ? 44 : 32, floatArea = type == 1 ? 36 : type == 2 ? 40 : 28;
    QByteArray original(size, 0);
    for (int i = 0; i < size; ++i)
        original[i] = char(0x40 + i);   // steps and reserved bytes
    original.replace(0, floatArea, floats({-3, -1.75f, -0.5f, 0.75f, 2, 3.25f, 4.5f, 5.75f, 7, 8.25f}).left(floatArea));
    Bench b{BoardType(type)};
    b.server->board().setUserData(original);
    QVERIFY(b.startAndOpen());
    b.tabs("cmds")->setCurrentWidget(b.widget("dev_vorlen"));   // opens the page of the board's type only
    auto* pages = b.tabs("userCalibration_coefTabs");
    for (int page = 0; page < 4; ++page)
        QCOMPARE(pages->isTabEnabled(page), page == type - 1);
    QVERIFY(!b.button("userData_write_Button")->isEnabled());
    QVERIFY(b.clickAndWait("userData_read_Button"));
    auto* coefBox = b.widget<QDoubleSpinBox>(qPrintable(coef));
    auto* stepBox = b.widget<QSpinBox>(qPrintable(step));
    QCOMPARE(coefBox->value(), double(le::f32(u8(original) + coefAt)));
    QCOMPARE(stepBox->value(), 0x40 + stepAt);

    coefBox->setValue(0.1);
    stepBox->setValue(255);
    QVERIFY(b.clickAndWait("userData_write_Button"));
    const QByteArray edited = QByteArray(original).replace(coefAt, 4, floats({0.1f})).replace(stepAt, 1, "\xFF");
    QCOMPARE(b.server->board().userData(), edited);
    QVERIFY(b.clickAndWait(qPrintable(reset)));
    QCOMPARE(b.sentCount(rec::cmd::setUserData), 1);   // the defaults alone send nothing
    QVERIFY(b.clickAndWait("userData_write_Button"));
    // One chunk: offset, count, last-chunk flag, the block.
    const QByteArray block = defaults + original.mid(defaults.size());
    QCOMPARE(b.requests(rec::cmd::setUserData).last(), wireFrame(rec::cmd::setUserData, bytes({0, size, 1}) + block));
    QCOMPARE(b.server->board().userData(), block);
    QVERIFY(b.dialogs.shown.isEmpty());
}

void TestBoardRecords::userCalibrationReplies()
{
    Bench b;   // no board: replies are fed to the engine
    proto_Vorlen_v2& engine = b.window->engine();
    feedStatus(engine, 0, 1);   // a bootloader: the gate refuses both
    b.sent.clear();
    press(b, "userData_read_Button");
    press(b, "userData_write_Button");
    QCOMPARE(b.dialogs.shown.size(), 2);
    QCOMPARE(b.dialogs.shown[1].kind, QStringLiteral("gate"));
    QVERIFY(b.sent.isEmpty());

    // A short reply is neither shown nor opens writing.
    feedStatus(engine, 1, 1);
    b.button("userData_write_Button")->setEnabled(false);
    auto* k = b.widget<QDoubleSpinBox>("physic_k_tempSens_dSpinBox");
    k->setValue(2.5);
    press(b, "userData_read_Button");
    feedReply(engine, rec::cmd::getUserData, floats({9}) + QByteArray(6, '\0'));
    QCOMPARE(k->value(), 2.5);
    QVERIFY(!b.button("userData_write_Button")->isEnabled());
    QVERIFY(b.indexInLog(QStringLiteral("Пользовательские калибровки: ОШИБКА - принято 10 байт вместо 40, данные не показаны")) >= 0);

    // An echo that reaches the size completes the write; one that falls short asks for the rest.
    press(b, "userData_write_Button");
    feedReply(engine, rec::cmd::setUserData, bytes({0, 40, 0}));
    QCOMPARE(b.sentCount(rec::cmd::setUserData), 1);
    b.sent.clear();
    press(b, "userData_write_Button");
    feedReply(engine, rec::cmd::setUserData, bytes({0, 24, 0}));
    QCOMPARE(b.sent.size(), 2);
    QCOMPARE(FrameCodec::payload(b.sent[1]), bytes({24, 16, 1}) + FrameCodec::payload(b.sent[0]).mid(3 + 24, 16));
    feedReply(engine, rec::cmd::setUserData, bytes({24, 16, 1}));
    QCOMPARE(engine.userDataReached(), uint8_t(40));

    // Ecology has no block: read opens writing but shows nothing, and nothing is written; nor without a type.
    feedStatus(engine, 1, 3);
    press(b, "userData_read_Button");
    feedReply(engine, rec::cmd::getUserData, floats({9}));
    QVERIFY(b.button("userData_write_Button")->isEnabled());
    QCOMPARE(k->value(), 2.5);
    press(b, "userData_write_Button");
    feedStatus(engine, 1, 0);
    press(b, "userData_write_Button");
    QCOMPARE(b.sentCount(rec::cmd::setUserData), 2);
}

void TestBoardRecords::archiveStartAndStatus()
{
    using namespace rec::archive;
    Bench b;
    proto_Vorlen_v2& engine = b.window->engine();
    feedStatus(engine, 1, 1);
    const QDateTime now(QDate(2026, 3, 3), QTime(14, 5, 9));
    b.window->setClock([now] { return now; });
    // Period, count and the clock (year + 48, low byte).
    b.combo("archive_Start_RecFreq_comboBox")->setCurrentIndex(4);
    b.widget<QSpinBox>("archive_Start_RecQtt_spinBox")->setValue(50);
    press(b, "archive_StartRecord_button");
    QCOMPARE(FrameCodec::payload(b.sent.last()), bytes({100, 0, 0, 0, 50, 0, 0, 0x1A, 3, 3, 14, 5, 9}) + QByteArray(17, 0));
    b.combo("archive_Start_RecFreq_comboBox")->setCurrentIndex(13);
    press(b, "archive_StartRecord_button");
    QCOMPARE(FrameCodec::payload(b.sent.last()).left(5), bytes({0x80, 0xEE, 0x36, 0x00, 50}));   // one an hour

    auto* stamp = b.widget<QDateTimeEdit>("archive_CurrentDateTime_DateTimeEdit");
    auto* bar = b.widget<QProgressBar>("archive_Record_progressBar");
    const struct {
        QByteArray block;   // period, count, state, stored, date and time
        const char *state, *rate, *count;
        QDateTime shown;
        int barMax;   // -1: hidden
    } statuses[] = {
        {bytes({10, 0, 0, 0, 40, 0, 20, 26, 11, 20, 9, 15, 42}), "Архив не инициализирован", "НЕДОСТУПНО", "НЕДОСТУПНО", now, -1},
        {bytes({250, 0, 0, 0, 40, 1, 20, 26, 11, 20, 9, 15, 42}), "Идет процесс сохранения данных", "4 точки в секунду",
         "40", QDateTime(QDate(2026, 11, 20), QTime(9, 15, 42)), 40},
        {bytes({0x40, 0x77, 0x1B, 0, 8, 2, 4, 27, 2, 28, 25, 0, 0}), "Загрузка архива из энергонезависимой памяти",
         "1 точка в 30 минут", "8", QDateTime(QDate(2027, 2, 28), QTime(0, 0)), 8},   // no 25th hour: midnight
        {bytes({0x30, 0x75, 0, 0, 8, 7, 4, 27, 13, 1, 1, 2, 3}), "Загрузка архива из энергонезависимой памяти", "", "8",
         QDateTime(QDate(2027, 2, 28), QTime(0, 0)), 8},   // unknown state and period; no 13th month
        {bytes({10, 0, 0, 0, 0, 3, 0, 26, 1, 2, 10, 0, 0}), "Архивирование завершено", "100 точек в секунду", "0",
         QDateTime(QDate(2026, 1, 2), QTime(10, 0)), 0},
    };
    for (const auto& s : statuses) {
        press(b, "archive_GetStatus_button");
        feedReply(engine, rec::cmd::archiveControl, s.block + QByteArray(17, 0));
        QCOMPARE(b.text("archive_CurrentStatus_label"), QString::fromUtf8(s.state));
        QCOMPARE(b.text("archive_CurrentTimeStamp_label"), QString::fromUtf8(s.rate));
        QCOMPARE(b.text("archive_CurrentRecordsQtt_label"), QString::fromUtf8(s.count));
        QCOMPARE(stamp->dateTime(), s.shown);
        QCOMPARE(bar->isHidden() ? -1 : bar->maximum(), s.barMax);
        if (s.barMax == 40) {
            QCOMPARE(bar->value(), 20);
            press(b, "archive_GetData_button");
            QCOMPARE(lastShown(b), QStringLiteral("Дождитесь окончания записи архива"));
        }
    }
    press(b, "archive_GetData_button");
    QCOMPARE(lastShown(b), QStringLiteral("Нет информации для загрузки"));
    QCOMPARE(b.sentCount(rec::cmd::archiveData), 0);

    feedStatus(engine, 0, 1);   // a bootloader: the gate refuses status and start
    const int sent = b.sent.size();
    press(b, "archive_GetStatus_button");
    press(b, "archive_StartRecord_button");
    QCOMPARE(b.sent.size(), sent);
    QCOMPARE(b.dialogs.shown.last().kind, QStringLiteral("gate"));
    QCOMPARE(b.dialogs.shown.size(), 4);
}

void TestBoardRecords::archiveLoad()
{
    using namespace rec::archive;
    namespace m = rec::meas;
    Bench b;
    proto_Vorlen_v2& engine = b.window->engine();
    feedStatus(engine, 1, 1);
    auto status = [&](int count, int hour) {
        press(b, "archive_GetStatus_button");
        feedReply(engine, rec::cmd::archiveControl, bytes({10, 0, 0, 0, count, 3, 0, 26, 1, 2, hour, 59, 59}) + QByteArray(17, 0));
    };
    // -2 °C; 3.3, 0.000123, 1234567 and -1.5 V; -1024, 512, 16384 at 16G; 250.5 lx; 45.5 %RH at 23.45 °C;
    // 1013.25 mbar at 19.99 °C. Every sensor answering and pull-up 10K unless told.
    auto record = [](uint32_t runTime, int bits = 0x0F, int pullup = 2) {
        QByteArray r = bytes({bits, pullup, 0, 0}) + QByteArray(4, 0) + bytes({0x38, 0xFF}) + QByteArray(2, 0);
        r += floats({3.3f, 0.000123f, 1234567, -1.5f}) + bytes({0, 0xFC, 0, 2, 0, 0x40, 3, 0}) + floats({250.5f});
        r += bytes({0xC6, 0x11, 0x29, 0x09}) + floats({1013.25f}) + bytes({0xCF, 0x07});
        le::put32(raw(r) + m::kRunTime, runTime);
        return r.leftJustified(m::kSize, 0);
    };
    auto cell = [&](int row, int column) {
        QTableWidgetItem* item = b.widget<QTableWidget>("archive_Data_tableWidget")->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    };
    auto asked = [&] {
        QList<QByteArray> out;
        for (const QByteArray& f : b.sent)
            if (FrameCodec::code(f) == rec::cmd::archiveData)
                out << FrameCodec::payload(f);
        return out;
    };

    // Texts follow the answer bits; time is the status stamp plus the run time since the first record.
    status(3, 10);
    press(b, "archive_GetData_button");
    feedReply(engine, rec::cmd::archiveData, bytes({0, 3}) + record(1000) + record(1500, 0x0B) + record(2250, 0, 7));
    const QStringList full = {"10:59:59:000", "-2 °C", "3.3 В", "0.000123 В", "1.23457e+06 В", "-1.5 В", "16G", "-1024",
                              "512", "16384", "250.5 Люкс", "45.5 %RH", "23.45 °C", "1013.25 мБар", "19.99 °C",
                              "Подтяжка 10К"};
    auto* table = b.widget<QTableWidget>("archive_Data_tableWidget");
    QCOMPARE(table->columnCount(), 3);
    QCOMPARE(table->verticalHeaderItem(12)->text(), QStringLiteral("Температура Д_влажн"));
    for (int row = 0; row < 16; ++row) {
        QCOMPARE(cell(row, 0), full[row]);
        if (row > 0)   // 0x0B: the humidity sensor did not answer
            QCOMPARE(cell(row, 1), (row == 11 || row == 12) ? QStringLiteral("Отключен") : full[row]);
        if (row >= 6)   // nothing answered, pull-up code unknown
            QCOMPARE(cell(row, 2), QStringLiteral("Отключен"));
    }
    QCOMPARE(cell(0, 1), QStringLiteral("10:59:59:500"));
    QCOMPARE(cell(0, 2), QStringLiteral("11:00:00:250"));

    // A wrapped run-time counter counts on; the old columns go.
    status(2, 23);
    press(b, "archive_GetData_button");
    feedReply(engine, rec::cmd::archiveData, bytes({0, 2}) + record(0xFFFFFF00u) + record(0x64));
    QCOMPARE(table->columnCount(), 2);
    QCOMPARE(cell(0, 1), QStringLiteral("23:59:59:356"));
    QCOMPARE(cell(0, 2), QStringLiteral("<none>"));

    // 150 on the board: the first 100 in blocks of 8, each asked for when the one before arrives.
    // A repeated reply to the first block does not count as the next one; a late reply asks for nothing.
    b.sent.clear();
    status(150, 10);
    press(b, "archive_GetData_button");
    for (int answered = 0; answered < asked().size() && answered < 50; ++answered) {
        QByteArray reply = asked()[answered];
        for (int i = 0; i < uint8_t(reply[1]); ++i)
            reply += record(10u * (uint8_t(reply[0]) + i));
        feedReply(engine, rec::cmd::archiveData, reply);
        if (answered == 1)
            feedReply(engine, rec::cmd::archiveData, asked()[0] + record(0));
    }
    feedReply(engine, rec::cmd::archiveData, bytes({96, 1}) + record(960));
    QList<QByteArray> expected;
    for (int a = 0; a < 96; a += 8)
        expected << bytes({a, 8});
    QCOMPARE(asked(), expected << bytes({96, 4}));
    QCOMPARE(b.widget<QProgressBar>("archive_loading_progressBar")->value(), 100);
    QCOMPARE(table->columnCount(), 100);
    QCOMPARE(cell(0, 99), QStringLiteral("10:59:59:990"));
    QVERIFY(b.indexInLog(QStringLiteral("Архив: на плате 150 записей, загружаются первые 100")) >= 0);
}

void TestBoardRecords::statistics()
{
    Bench b{BoardType::Chemistry};
    auto set = [&b](uint32_t starts, uint32_t faults, uint32_t archive, uint32_t use, uint32_t bat, uint16_t updates) {
        QByteArray r(rec::stat::kSize, 0);
        le::put32(raw(r) + rec::stat::kBoardStarts, starts), le::put32(raw(r) + rec::stat::kHardFaults, faults);
        le::put32(raw(r) + rec::stat::kArchiveUses, archive), le::put32(raw(r) + rec::stat::kUseTime, use);
        le::put32(raw(r) + rec::stat::kBatTime, bat), le::put16(raw(r) + rec::stat::kFwUpdates, updates);
        b.server->board().setStatistics(r);
    };
    QVERIFY(b.startAndOpen());
    set(0xFFFFFFFFu, 0x80000000u, 5, 3600, 86400, 0x8000);   // unsigned: the top values are not negative
    b.server->clearRequests();
    QVERIFY(b.clickAndWait("stat_get_button"));
    QCOMPARE(b.server->requests(), QList<QByteArray>{bench::hex("aa 06 00 fe 40 7d")});
    const QStringList labels = {"stat_boardUse_count_label", "stat_hardFault_count_label", "stat_archive_use_label",
                                "stat_batTime_label", "stat_fw_update_count_label"};
    auto shown = [&] {
        QStringList out;
        for (const QString& l : labels)
            out << b.text(qPrintable(l));
        return out;
    };
    QTRY_COMPARE(shown(), (QStringList{"4294967295", "2147483648", "5", "86400 секунд", "32768"}));
    // The board counts its running time on: the label shows what it sent.
    QVERIFY(QRegularExpression(QStringLiteral("^36\\d\\d секунд$")).match(b.text("stat_useTime_label")).hasMatch());

    // Entering the tab with auto-update reads them again.
    set(18, 4, 6, 100, 50, 2);
    b.tabs("cmds")->setCurrentIndex(0);
    b.tabs("cmds")->setCurrentIndex(4);
    QTRY_COMPARE(shown(), (QStringList{"18", "4", "6", "50 секунд", "2"}));

    // Reset only behind the check box; the board's counters are cleared and read back.
    auto* allow = b.widget<QCheckBox>("stat_reset_allow_checkBox");
    QVERIFY(!allow->isChecked() && !b.button("stat_reset_button")->isEnabled());
    allow->click();
    QVERIFY(b.button("stat_reset_button")->isEnabled());
    allow->click();
    const int reads = b.sentCount(rec::cmd::statistics);
    b.click("stat_reset_button");
    QCOMPARE(b.sentCount(rec::cmd::statistics), reads);
    b.server->clearRequests();
    allow->click();
    QVERIFY(b.clickAndWait("stat_reset_button"));
    QCOMPARE(b.server->requests(), QList<QByteArray>{bench::hex("aa 08 00 fe 94 2b b6 ff")});
    QCOMPARE(b.server->board().statistics().left(12), QByteArray(12, 0));
    QVERIFY(b.clickAndWait("stat_get_button"));
    QTRY_COMPARE(shown(), (QStringList{"0", "0", "0", "0 секунд", "0"}));
}

void TestBoardRecords::atConsole()
{
    Bench b;   // no board: replies are fed to the engine
    proto_Vorlen_v2& engine = b.window->engine();
    feedStatus(engine, 10, 100);   // only the laboratory's bootloader bridges to a BLE module
    QVERIFY(b.widget("bl_atCmd_GroupBox")->isHidden());
    feedStatus(engine, 0, 1);
    QVERIFY(!b.widget("bl_atCmd_GroupBox")->isHidden());
    auto* pane = b.widget<QPlainTextEdit>("atCmd_Log_plainTextEdit");
    QCOMPARE(b.widget<QLineEdit>("atCmd_newName_lineEdit")->text(), QStringLiteral("Ruvo_Name"));
    const QString name(250, 'n'), hand(257, 'h');
    const struct {
        const char* speed;   // typed in the speed box
        uint32_t speedSent;
        const char* button;
        QString input;   // the name, the typed command or the module speed item
        QByteArray text;   // what follows the speed, without CR LF; empty: refused with `refusal`
        QString refusal;
    } cases[] = {
        {"9600", 9600, "atCmd_AT_Send_pushButton", "", "AT", ""},
        {"9600", 9600, "atCmd_NAME_Send_pushButton", "", "AT+NAME?", ""},
        {"9600", 9600, "atCmd_VERS_Send_pushButton", "", "AT+VERS?", ""},
        {"9600", 9600, "atCmd_ATBaud_Send_pushButton", "", "AT+BAUD?", ""},
        {"9600", 9600, "atCmd_RESET_Send_pushButton", "", "AT+RESET", ""},
        {"9600", 9600, "atCmd_RENEW_Send_pushButton", "", "AT+RENEW", ""},
        {"abc", 0, "atCmd_AT_Send_pushButton", "", "AT", ""},
        {"-9600", 0, "atCmd_AT_Send_pushButton", "", "AT", ""},
        {" 115200 ", 115200, "atCmd_AT_Send_pushButton", "", "AT", ""},
        {"9600", 9600, "atCmd_AT_SetName_pushButton", "Лаб1", QByteArray("AT+NAME\0\0\0" "1", 11), ""},
        {"9600", 9600, "atCmd_AT_SetName_pushButton", "", "AT+NAME", ""},
        {"9600", 9600, "atCmd_AT_SetName_pushButton", name.left(249), "AT+NAME" + QByteArray(249, 'n'), ""},
        {"9600", 9600, "atCmd_sendHandCmd_pushButton", "AT+PIN?", "AT+PIN?", ""},
        {"9600", 9600, "atCmd_sendHandCmd_pushButton", QString::fromLatin1("caf\xe9"), "caf\xe9", ""},
        {"9600", 9600, "atCmd_sendHandCmd_pushButton", hand.left(256), QByteArray(256, 'h'), ""},
        {"9600", 9600, "atCmd_AT_SetSpeed_pushButton", "0", "AT+BAUD0", ""},
        {"9600", 9600, "atCmd_AT_SetSpeed_pushButton", "4", "AT+BAUD4", ""},
        {"9600", 9600, "atCmd_AT_SetSpeed_pushButton", "5", "AT+BAUD8", ""},   // 230400
        {"9600", 9600, "atCmd_AT_SetName_pushButton", name, "",
         "Имя BLE модуля слишком длинное: 250 символов, допускается не более 249. Команда не отправлена."},
        {"9600", 9600, "atCmd_AT_SetName_pushButton", QString(1000, QChar(0x0416)), "",
         "Имя BLE модуля слишком длинное: 1000 символов, допускается не более 249. Команда не отправлена."},
        {"9600", 9600, "atCmd_sendHandCmd_pushButton", hand, "",
         "AT-команда слишком длинная: 257 символов, допускается не более 256. Команда не отправлена."},
    };
    for (const auto& c : cases) {
        b.combo("atCmd_speed_comboBox")->setEditText(QString::fromLatin1(c.speed));
        b.widget<QLineEdit>("atCmd_newName_lineEdit")->setText(c.input);
        b.widget<QLineEdit>("atCmd_HandText_lineEdit")->setText(c.input);
        b.combo("atCmd_SetSpeed_comboBox")->setCurrentIndex(c.input.toInt());
        pane->clear();
        const int sent = b.sent.size();
        press(b, c.button);
        if (c.text.isEmpty()) {
            QCOMPARE(b.sent.size(), sent);
            QCOMPARE(pane->toPlainText(), QString());
            QCOMPARE(lastShown(b), c.refusal);
            continue;
        }
        QByteArray speed(4, 0);
        le::put32(raw(speed), c.speedSent);
        QCOMPARE(b.sent.value(sent), wireFrame(rec::cmd::bleAtCmd, speed + c.text + "\r\n"));
        // The module's CR LF break the answer's line where they stand.
        feedReply(engine, rec::cmd::bleAtCmd, speed + "OK+Get:0\r\nOK\xE9");
        QCOMPARE(pane->toPlainText(), "> " + QString::fromLatin1(c.text.constData(), c.text.size()) + "\n< OK+Get:0\nOK" + QChar(0xE9));
    }
    // A bare acknowledgement adds nothing and is no error.
    pane->clear();
    press(b, "atCmd_AT_Send_pushButton");
    feedReply(engine, rec::cmd::bleAtCmd);
    QVERIFY(b.idle());
    QCOMPARE(pane->toPlainText(), QStringLiteral("> AT"));
    QVERIFY(!b.logText().contains(QStringLiteral("ответ слишком короткий")));
}

QTEST_MAIN(TestBoardRecords)
#include "test_board_records.moc"
