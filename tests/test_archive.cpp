#include <QtTest>

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <memory>

#include "BoardServer.h"
#include "Crc16.h"
#include "LittleEndian.h"
#include "MainWindow.h"
#include "Records.h"
#include "ScriptedDialogs.h"

namespace {

QByteArray replyFrame(uint8_t code, const QByteArray& payload)
{
    QByteArray f(payload.size() + 6, '\0');
    auto* b = reinterpret_cast<uint8_t*>(f.data());
    b[0] = rec::frame::kStart;
    le::put16(b + 1, static_cast<uint16_t>(f.size()));
    b[3] = code;
    std::copy(payload.begin(), payload.end(), f.begin() + 4);
    Crc16().append(b, static_cast<uint16_t>(f.size()));
    return f;
}

void feed(MainWindow& w, uint8_t code, const QByteArray& payload)
{
    QByteArray f = replyFrame(code, payload);
    w.engine().parseReceived(reinterpret_cast<uint8_t*>(f.data()), static_cast<uint32_t>(f.size()));
}

QByteArray statusBlock(uint32_t period, uint8_t count, uint8_t state, uint8_t stored, QDateTime stamp)
{
    QByteArray s(rec::archive::kBlockSize, '\0');
    auto* b = reinterpret_cast<uint8_t*>(s.data());
    le::put32(b + rec::archive::kPeriod, period);
    b[rec::archive::kCount] = count;
    b[rec::archive::kState] = state;
    b[rec::archive::kStored] = stored;
    b[rec::archive::kYear] = static_cast<uint8_t>(stamp.date().year() - 2000);
    b[rec::archive::kMonth] = static_cast<uint8_t>(stamp.date().month());
    b[rec::archive::kDay] = static_cast<uint8_t>(stamp.date().day());
    b[rec::archive::kHour] = static_cast<uint8_t>(stamp.time().hour());
    b[rec::archive::kMinute] = static_cast<uint8_t>(stamp.time().minute());
    b[rec::archive::kSecond] = static_cast<uint8_t>(stamp.time().second());
    return s;
}

// A measurement record with every sensor answering and recognisable values.
QByteArray record(uint32_t runTime, uint8_t bits = 0x0F)
{
    using namespace rec::meas;
    QByteArray r(kSize, '\0');
    auto* b = reinterpret_cast<uint8_t*>(r.data());
    b[kAnswerBits] = bits;
    b[kConductCode] = 2;
    le::put32(b + kRunTime, runTime);
    le::put16(b + kAdcTemp, static_cast<uint16_t>(-200));
    le::putF32(b + kVolt1, 3.3f);
    le::putF32(b + kVolt2, 0.000123f);
    le::putF32(b + kVolt3, 1234567.0f);
    le::putF32(b + kVolt4, -1.5f);
    le::put16(b + kAccX, static_cast<uint16_t>(-1024));
    le::put16(b + kAccY, 512);
    le::put16(b + kAccZ, 16384);
    b[kAccScale] = 3;
    le::putF32(b + kLight, 250.5f);
    le::put16(b + kHumidity, 4550);
    le::put16(b + kShtTemp, 2345);
    le::putF32(b + kPressure, 1013.25f);
    le::put16(b + kPressTemp, 1999);
    return r;
}

QByteArray dataReply(uint8_t address, const QList<QByteArray>& records)
{
    QByteArray p;
    p.append(static_cast<char>(address));
    p.append(static_cast<char>(records.size()));
    for (const QByteArray& r : records)
        p.append(r);
    return p;
}

// Collects every frame the engine hands to the port.
struct Wire {
    explicit Wire(MainWindow& w)
    {
        QObject::connect(&w.engine(), &proto_Vorlen_v2::_transmit_data, &w,
                         [this](uint8_t* buf, uint32_t n) { frames << QByteArray(reinterpret_cast<char*>(buf), int(n)); });
    }
    QList<QByteArray> payloads(uint8_t code) const
    {
        QList<QByteArray> out;
        for (const QByteArray& f : frames)
            if (f.size() >= 6 && uint8_t(f[3]) == code)
                out << f.mid(4, f.size() - 6);
        return out;
    }
    QList<QByteArray> frames;
};

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(static_cast<char>(v));
    return b;
}

template <typename T> T* widget(MainWindow& w, const char* name)
{
    T* p = w.findChild<T*>(QString::fromLatin1(name));
    if (!p)
        qFatal("widget %s not found", name);
    return p;
}

// Clicks a button of a tab that the status view has not opened (no board is
// connected in these cases): its containers are enabled first.
void press(MainWindow& w, const char* name)
{
    auto* button = widget<QPushButton>(w, name);
    for (QWidget* p = button->parentWidget(); p; p = p->parentWidget())
        p->setEnabled(true);
    button->click();
}

QString logText(MainWindow& w)
{
    w.flushPanes();
    return widget<QPlainTextEdit>(w, "log_Edit")->toPlainText();
}

QString cell(MainWindow& w, int row, int column)
{
    QTableWidgetItem* item = widget<QTableWidget>(w, "archive_Data_tableWidget")->item(row, column);
    return item ? item->text() : QStringLiteral("<none>");
}

void mainProgram(MainWindow& w)
{
    w.engine().devInfo.progMode = 1;
    w.engine().devInfo.devType = 1;
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT
private slots:
    void startRequestCarriesRateCountAndClock();
    void statusShowsEveryState();
    void refusalsSendNothing();
    void tableTextsFollowAnswerBits();
    void loadStopsAtTheHundredthRecord();
    void recordAndDownloadThroughBoard();
};

void TestArchive::startRequestCarriesRateCountAndClock()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    Wire wire(w);
    mainProgram(w);

    w.setClock([] { return QDateTime(QDate(2026, 3, 3), QTime(14, 5, 9)); });
    widget<QComboBox>(w, "archive_Start_RecFreq_comboBox")->setCurrentIndex(4);
    widget<QSpinBox>(w, "archive_Start_RecQtt_spinBox")->setValue(50);
    press(w, "archive_StartRecord_button");

    QByteArray expected = bytes({0x64, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x1A, 0x03, 0x03, 0x0E, 0x05, 0x09});
    expected.append(QByteArray(17, '\0'));
    QCOMPARE(wire.frames.size(), 1);
    QCOMPARE(wire.frames[0].size(), 36);
    QCOMPARE(wire.payloads(rec::cmd::archiveControl).value(0).toHex(' '), expected.toHex(' '));

    // The slowest rate and the last second of a year.
    w.setClock([] { return QDateTime(QDate(2031, 12, 31), QTime(23, 59, 58)); });
    widget<QComboBox>(w, "archive_Start_RecFreq_comboBox")->setCurrentIndex(13);
    widget<QSpinBox>(w, "archive_Start_RecQtt_spinBox")->setValue(2);
    press(w, "archive_StartRecord_button");
    expected = bytes({0x80, 0xEE, 0x36, 0x00, 0x02, 0x00, 0x00, 31, 12, 31, 23, 59, 58});
    expected.append(QByteArray(17, '\0'));
    QCOMPARE(wire.payloads(rec::cmd::archiveControl).value(1).toHex(' '), expected.toHex(' '));
    QVERIFY(dialogs.shown.isEmpty());
}

void TestArchive::statusShowsEveryState()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    mainProgram(w);
    auto* status = widget<QLabel>(w, "archive_CurrentStatus_label");
    auto* qtt = widget<QLabel>(w, "archive_CurrentRecordsQtt_label");
    auto* rate = widget<QLabel>(w, "archive_CurrentTimeStamp_label");
    auto* bar = widget<QProgressBar>(w, "archive_Record_progressBar");
    auto* stamp = widget<QDateTimeEdit>(w, "archive_CurrentDateTime_DateTimeEdit");
    const QDateTime now(QDate(2027, 6, 1), QTime(8, 30, 0));
    w.setClock([now] { return now; });

    // Not initialised: clock time, placeholders, bar hidden.
    press(w, "archive_GetStatus_button");
    feed(w, rec::cmd::archiveControl, statusBlock(10, 0, 0, 0, QDateTime(QDate(2026, 11, 20), QTime(9, 15, 42))));
    QCOMPARE(status->text(), QStringLiteral("Архив не инициализирован"));
    QCOMPARE(qtt->text(), QStringLiteral("НЕДОСТУПНО"));
    QCOMPARE(rate->text(), QStringLiteral("НЕДОСТУПНО"));
    QCOMPARE(stamp->dateTime(), now);
    QVERIFY(bar->isHidden());

    struct Case {
        uint8_t state;
        uint32_t period;
        const char* statusText;
        const char* rateText;
    };
    const Case cases[] = {
        {1, 10, "Идет процесс сохранения данных", "100 точек в секунду"},
        {2, 250, "Загрузка архива из энергонезависимой памяти", "4 точки в секунду"},
        {3, 900000, "Архивирование завершено", "1 точка в 15 минут"},
        {7, 30000, "Архивирование завершено", ""},   // unknown state keeps the text; unknown period is empty
    };
    const QDateTime start(QDate(2026, 11, 20), QTime(9, 15, 42));
    for (const Case& c : cases) {
        press(w, "archive_GetStatus_button");
        feed(w, rec::cmd::archiveControl, statusBlock(c.period, 40, c.state, 17, start));
        QCOMPARE(status->text(), QString::fromUtf8(c.statusText));
        QCOMPARE(rate->text(), QString::fromUtf8(c.rateText));
        QCOMPARE(qtt->text(), QStringLiteral("40"));
        QCOMPARE(bar->maximum(), 40);
        QCOMPARE(bar->value(), 17);
        QVERIFY(!bar->isHidden());
        QCOMPARE(stamp->dateTime(), start);
        QCOMPARE(stamp->text(), QStringLiteral("20.11.2026 9:15:42"));
    }

    // An impossible date leaves the stamp; an impossible time on a good date is midnight.
    QByteArray bad = statusBlock(1000, 5, 3, 5, start);
    bad[rec::archive::kMonth] = 13;
    press(w, "archive_GetStatus_button");
    feed(w, rec::cmd::archiveControl, bad);
    QCOMPARE(stamp->dateTime(), start);
    QCOMPARE(rate->text(), QStringLiteral("1 точка в секунду"));
    bad = statusBlock(1000, 5, 3, 5, start);
    bad[rec::archive::kHour] = 25;
    press(w, "archive_GetStatus_button");
    feed(w, rec::cmd::archiveControl, bad);
    QCOMPARE(stamp->dateTime(), QDateTime(QDate(2026, 11, 20), QTime(0, 0, 0)));
}

void TestArchive::refusalsSendNothing()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    Wire wire(w);

    // A bootloader runs: the gate refuses the status and start requests.
    w.engine().devInfo.progMode = 0;
    press(w, "archive_GetStatus_button");
    press(w, "archive_StartRecord_button");
    QCOMPARE(wire.frames.size(), 0);
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[0].kind, QStringLiteral("gate"));
    QCOMPARE(dialogs.shown[1].kind, QStringLiteral("gate"));

    mainProgram(w);
    dialogs.shown.clear();
    const QDateTime start(QDate(2026, 1, 2), QTime(10, 0, 0));

    press(w, "archive_GetStatus_button");
    feed(w, rec::cmd::archiveControl, statusBlock(10, 0, 3, 0, start));
    press(w, "archive_GetData_button");

    press(w, "archive_GetStatus_button");
    feed(w, rec::cmd::archiveControl, statusBlock(10, 5, 1, 2, start));
    press(w, "archive_GetData_button");

    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[0].kind, QStringLiteral("information"));
    QCOMPARE(dialogs.shown[0].title, QStringLiteral("Ошибка"));
    QCOMPARE(dialogs.shown[0].text, QStringLiteral("Нет информации для загрузки"));
    QCOMPARE(dialogs.shown[1].kind, QStringLiteral("information"));
    QCOMPARE(dialogs.shown[1].title, QStringLiteral("Ошибка"));
    QCOMPARE(dialogs.shown[1].text, QStringLiteral("Дождитесь окончания записи архива"));
    QCOMPARE(wire.payloads(rec::cmd::archiveData).size(), 0);
}

void TestArchive::tableTextsFollowAnswerBits()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    Wire wire(w);
    mainProgram(w);

    press(w, "archive_GetStatus_button");
    feed(w, rec::cmd::archiveControl, statusBlock(10, 3, 3, 3, QDateTime(QDate(2026, 1, 2), QTime(10, 0, 0))));
    press(w, "archive_GetData_button");
    QCOMPARE(wire.payloads(rec::cmd::archiveData), QList<QByteArray>{bytes({0, 3})});

    QByteArray r2 = record(2250, 0x00);
    r2[rec::meas::kConductCode] = 7;
    r2[rec::meas::kAccScale] = 9;
    feed(w, rec::cmd::archiveData, dataReply(0, {record(1000, 0x0F), record(1500, 0x0B), r2}));
    QCOMPARE(wire.payloads(rec::cmd::archiveData).size(), 1);   // 3 records need one request

    auto* table = widget<QTableWidget>(w, "archive_Data_tableWidget");
    QCOMPARE(table->rowCount(), 16);
    QCOMPARE(table->columnCount(), 3);
    const QStringList headers = {"Время измерения", "Температура АЦП", "Напряжение, канал 0",
                                 "Напряжение, канал 1", "Напряжение, канал 2", "Напряжение, канал 3",
                                 "Акселерометр, шкала", "Акселерометр, ось X", "Акселерометр, ось Y",
                                 "Акселерометр, ось Z", "Датчик освещенности", "Влажность",
                                 "Температура Д_влажн", "Давление", "Температура Д_давл",
                                 "Шкала кондуктометра"};
    for (int row = 0; row < 16; ++row)
        QCOMPARE(table->verticalHeaderItem(row)->text(), headers[row]);

    const QStringList full = {"10:00:00:000", "-2 °C", "3.3 В", "0.000123 В", "1.23457e+06 В", "-1.5 В",
                              "16G", "-1024", "512", "16384", "250.5 Люкс", "45.5 %RH", "23.45 °C",
                              "1013.25 мБар", "19.99 °C", "Подтяжка 10К"};
    for (int row = 0; row < 16; ++row)
        QCOMPARE(cell(w, row, 0), full[row]);

    // Bits 0x0B: only the humidity rows are off.
    QCOMPARE(cell(w, 0, 1), QStringLiteral("10:00:00:500"));
    for (int row = 1; row < 16; ++row)
        QCOMPARE(cell(w, row, 1), (row == 11 || row == 12) ? QStringLiteral("Отключен") : full[row]);

    // No sensor answered; unknown scale and pull-up codes.
    QCOMPARE(cell(w, 0, 2), QStringLiteral("10:00:01:250"));
    for (int row : {6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
        QCOMPARE(cell(w, row, 2), QStringLiteral("Отключен"));
    QCOMPARE(cell(w, 1, 2), full[1]);
    QCOMPARE(cell(w, 5, 2), full[5]);

    // A board clock that wrapped past 2^32 ms still counts forward from the stamp.
    press(w, "archive_GetStatus_button");
    feed(w, rec::cmd::archiveControl, statusBlock(10, 2, 3, 2, QDateTime(QDate(2026, 1, 2), QTime(23, 59, 59))));
    press(w, "archive_GetData_button");
    feed(w, rec::cmd::archiveData, dataReply(0, {record(0xFFFFFF00u), record(0x00000064u)}));
    QCOMPARE(table->columnCount(), 2);
    QCOMPARE(cell(w, 0, 0), QStringLiteral("23:59:59:000"));
    QCOMPARE(cell(w, 0, 1), QStringLiteral("23:59:59:356"));
    QCOMPARE(cell(w, 0, 2), QStringLiteral("<none>"));   // the old third column is gone
}

void TestArchive::loadStopsAtTheHundredthRecord()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    Wire wire(w);
    mainProgram(w);

    press(w, "archive_GetStatus_button");
    feed(w, rec::cmd::archiveControl, statusBlock(10, 150, 3, 150, QDateTime(QDate(2026, 1, 2), QTime(10, 0, 0))));
    press(w, "archive_GetData_button");

    // Answer each request with the records it asked for, as the board would.
    auto* bar = widget<QProgressBar>(w, "archive_loading_progressBar");
    int answered = 0;
    QList<int> progress;
    while (answered < wire.payloads(rec::cmd::archiveData).size() && answered < 50) {
        const QByteArray req = wire.payloads(rec::cmd::archiveData)[answered++];
        QList<QByteArray> records;
        for (int i = 0; i < uint8_t(req[1]); ++i)
            records << record(10u * (uint8_t(req[0]) + i));
        feed(w, rec::cmd::archiveData, dataReply(uint8_t(req[0]), records));
        progress << bar->value();
    }

    QList<QByteArray> expected;
    for (int a = 0; a < 96; a += 8)
        expected << bytes({a, 8});
    expected << bytes({96, 4});
    QCOMPARE(wire.payloads(rec::cmd::archiveData), expected);
    QCOMPARE(progress.last(), 100);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(progress.first(), 8);
    QVERIFY(logText(w).contains(QStringLiteral("Архив: на плате 150 записей, загружаются первые 100")));

    auto* table = widget<QTableWidget>(w, "archive_Data_tableWidget");
    QCOMPARE(table->columnCount(), 100);
    QCOMPARE(cell(w, 0, 99), QStringLiteral("10:00:00:990"));

    // A late reply after the load is complete starts nothing.
    feed(w, rec::cmd::archiveData, dataReply(96, {record(960)}));
    QCOMPARE(wire.payloads(rec::cmd::archiveData).size(), expected.size());
    QCOMPARE(table->columnCount(), 100);
}

void TestArchive::recordAndDownloadThroughBoard()
{
    QTemporaryDir dir;
    vboard::BoardServer::Options o;
    o.type = vboard::BoardType::Physics;
    o.program = vboard::Program::Main;
    o.linkPath = dir.filePath(QStringLiteral("board"));
    o.registerForDiscovery = false;
    vboard::BoardServer server(o);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));

    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    auto* ports = widget<QComboBox>(w, "serialPortList_comboBox");
    ports->addItem(QStringLiteral("(") + server.linkPath() + QStringLiteral(")   RConf test"));
    ports->setCurrentIndex(ports->count() - 1);
    widget<QPushButton>(w, "serialPortAction_Button")->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.engine().devInfo.progMode == 1 && !w.engine().isWaiting(), 10000);

    const QDateTime start(QDate(2026, 3, 3), QTime(14, 5, 9));
    w.setClock([start] { return start; });
    widget<QComboBox>(w, "archive_Start_RecFreq_comboBox")->setCurrentIndex(0);
    widget<QSpinBox>(w, "archive_Start_RecQtt_spinBox")->setValue(20);
    widget<QPushButton>(w, "archive_StartRecord_button")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.engine().isWaiting(), 5000);

    // Ask until the board reports the recording finished.
    auto* status = widget<QPushButton>(w, "archive_GetStatus_button");
    for (int i = 0; i < 100 && w.engine().archiveStatus[rec::archive::kState] != 3; ++i) {
        QTest::qWait(100);
        status->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.engine().isWaiting(), 5000);
    }
    QCOMPARE(widget<QLabel>(w, "archive_CurrentStatus_label")->text(), QStringLiteral("Архивирование завершено"));
    QCOMPARE(widget<QLabel>(w, "archive_CurrentRecordsQtt_label")->text(), QStringLiteral("20"));
    QCOMPARE(widget<QLabel>(w, "archive_CurrentTimeStamp_label")->text(), QStringLiteral("100 точек в секунду"));
    QCOMPARE(widget<QProgressBar>(w, "archive_Record_progressBar")->value(), 20);
    QCOMPARE(widget<QDateTimeEdit>(w, "archive_CurrentDateTime_DateTimeEdit")->dateTime(), start);

    server.clearRequests();
    widget<QPushButton>(w, "archive_GetData_button")->click();
    auto* table = widget<QTableWidget>(w, "archive_Data_tableWidget");
    QTRY_COMPARE_WITH_TIMEOUT(table->columnCount(), 20, 10000);

    QList<QByteArray> asked;
    for (const QByteArray& f : server.requests())
        if (uint8_t(f[3]) == rec::cmd::archiveData)
            asked << f.mid(4, f.size() - 6);
    QCOMPARE(asked, (QList<QByteArray>{bytes({0, 8}), bytes({8, 8}), bytes({16, 4})}));
    QCOMPARE(widget<QProgressBar>(w, "archive_loading_progressBar")->value(), 20);
    QCOMPARE(table->rowCount(), 16);
    for (int k = 0; k < 20; ++k)
        QCOMPARE(cell(w, 0, k), QTime(14, 5, 9).addMSecs(10 * k).toString(QStringLiteral("hh:mm:ss:zzz")));
    // The values are the board's own records.
    for (int k = 0; k < 20; ++k) {
        const QByteArray r = server.board().archiveRecord(k);
        const auto* b = reinterpret_cast<const uint8_t*>(r.constData());
        QCOMPARE(cell(w, 2, k), QString::number(le::f32(b + rec::meas::kVolt1), 'g', 6) + QStringLiteral(" В"));
    }
    QVERIFY(dialogs.shown.isEmpty());
}

QTEST_MAIN(TestArchive)
#include "test_archive.moc"
