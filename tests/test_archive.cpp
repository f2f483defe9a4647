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

#include "BoardServer.h"
#include "Crc16.h"
#include "LittleEndian.h"
#include "MainWindow.h"
#include "Records.h"
#include "ScriptedDialogs.h"
#include "TestBytes.h"

using namespace rec::archive;

namespace {

void feed(MainWindow& w, uint8_t code, const QByteArray& payload)
{
    QByteArray f = wireFrame(code, payload);
    w.engine().parseReceived(raw(f), static_cast<uint32_t>(f.size()));
}

QByteArray status(uint32_t period, uint8_t count, uint8_t state, QDate d, QTime t)
{
    QByteArray s(kBlockSize, '\0');
    le::put32(raw(s) + kPeriod, period);
    s[kCount] = char(count);
    s[kState] = char(state);
    s[kStored] = char(count / 2);
    const int stamp[] = {d.year() - 2000, d.month(), d.day(), t.hour(), t.minute(), t.second()};
    for (int i = 0; i < 6; ++i)
        s[kYear + i] = char(stamp[i]);
    return s;
}

// A record with every sensor answering, conductometer pull-up 10K, scale 16G.
QByteArray record(uint32_t runTime, uint8_t bits = 0x0F)
{
    using namespace rec::meas;
    QByteArray r(kSize, '\0');
    uint8_t* b = raw(r);
    b[kAnswerBits] = bits;
    b[kConductCode] = 2;
    b[kAccScale] = 3;
    le::put32(b + kRunTime, runTime);
    le::put16(b + kAdcTemp, static_cast<uint16_t>(-200));
    const float volts[] = {3.3f, 0.000123f, 1234567.0f, -1.5f};
    for (int i = 0; i < 4; ++i)
        le::putF32(b + kVolt1 + 4 * i, volts[i]);
    le::put16(b + kAccX, static_cast<uint16_t>(-1024));
    le::put16(b + kAccY, 512);
    le::put16(b + kAccZ, 16384);
    le::putF32(b + kLight, 250.5f);
    le::put16(b + kHumidity, 4550);
    le::put16(b + kShtTemp, 2345);
    le::putF32(b + kPressure, 1013.25f);
    le::put16(b + kPressTemp, 1999);
    return r;
}

// A window without a board, in a laboratory main program, that records every frame it sends.
struct Bench {
    Bench()
    {
        w.setDialogs(&dialogs);
        feedStatus(w.engine(), 1, 1);
        QObject::connect(&w.engine(), &proto_Vorlen_v2::_transmit_data, &w,
                         [this](uint8_t* b, uint32_t n) { sent << QByteArray(reinterpret_cast<char*>(b), int(n)); });
    }
    template <typename T> T* get(const char* name) { return w.findChild<T*>(QString::fromLatin1(name)); }
    // The tab is closed without a board: its containers are enabled first.
    void press(const char* name)
    {
        auto* button = get<QPushButton>(name);
        for (QWidget* p = button->parentWidget(); p; p = p->parentWidget())
            p->setEnabled(true);
        button->click();
    }
    QList<QByteArray> dataRequests() const
    {
        QList<QByteArray> out;
        for (const QByteArray& f : sent)
            if (uint8_t(f[3]) == rec::cmd::archiveData)
                out << f.mid(4, f.size() - 6);
        return out;
    }
    QString cell(int row, int column)
    {
        QTableWidgetItem* item = get<QTableWidget>("archive_Data_tableWidget")->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    }
    MainWindow w;
    ScriptedDialogs dialogs;
    QList<QByteArray> sent;
};

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT
private slots:
    void startRequestCarriesRateCountAndClock();
    void statusStatesAndRefusals();
    void tableTextsFollowAnswerBits();
    void loadStopsAtTheHundredthRecord();
    void recordAndDownloadThroughBoard();
};

void TestArchive::startRequestCarriesRateCountAndClock()
{
    Bench b;
    b.w.setClock([] { return QDateTime(QDate(2026, 3, 3), QTime(14, 5, 9)); });
    b.get<QComboBox>("archive_Start_RecFreq_comboBox")->setCurrentIndex(4);
    b.get<QSpinBox>("archive_Start_RecQtt_spinBox")->setValue(50);
    b.press("archive_StartRecord_button");
    b.get<QComboBox>("archive_Start_RecFreq_comboBox")->setCurrentIndex(13);
    b.press("archive_StartRecord_button");

    QCOMPARE(b.sent.size(), 2);
    QCOMPARE(b.sent[0].size(), 36);
    QCOMPARE(b.sent[0].mid(4, 30), bytes({0x64, 0, 0, 0, 0x32, 0, 0, 0x1A, 3, 3, 0x0E, 5, 9}) + QByteArray(17, '\0'));
    QCOMPARE(b.sent[1].mid(4, 5), bytes({0x80, 0xEE, 0x36, 0x00, 0x32}));   // one point an hour
}

void TestArchive::statusStatesAndRefusals()
{
    Bench b;
    const QDateTime now(QDate(2027, 6, 1), QTime(8, 30, 0));
    b.w.setClock([now] { return now; });
    auto* text = b.get<QLabel>("archive_CurrentStatus_label");
    auto* rate = b.get<QLabel>("archive_CurrentTimeStamp_label");
    auto* bar = b.get<QProgressBar>("archive_Record_progressBar");
    auto* stamp = b.get<QDateTimeEdit>("archive_CurrentDateTime_DateTimeEdit");
    const QDate day(2026, 11, 20);

    b.press("archive_GetStatus_button");
    feed(b.w, rec::cmd::archiveControl, status(10, 0, 0, day, QTime(9, 15, 42)));
    QCOMPARE(text->text(), QStringLiteral("Архив не инициализирован"));
    QCOMPARE(rate->text(), QStringLiteral("НЕДОСТУПНО"));
    QCOMPARE(b.get<QLabel>("archive_CurrentRecordsQtt_label")->text(), QStringLiteral("НЕДОСТУПНО"));
    QCOMPARE(stamp->dateTime(), now);
    QVERIFY(bar->isHidden());
    b.press("archive_GetData_button");   // nothing to load

    b.press("archive_GetStatus_button");
    feed(b.w, rec::cmd::archiveControl, status(250, 40, 1, day, QTime(9, 15, 42)));
    QCOMPARE(text->text(), QStringLiteral("Идет процесс сохранения данных"));
    QCOMPARE(rate->text(), QStringLiteral("4 точки в секунду"));
    QCOMPARE(b.get<QLabel>("archive_CurrentRecordsQtt_label")->text(), QStringLiteral("40"));
    QVERIFY(!bar->isHidden());
    QCOMPARE(bar->maximum(), 40);
    QCOMPARE(bar->value(), 20);
    QCOMPARE(stamp->text(), QStringLiteral("20.11.2026 9:15:42"));
    b.press("archive_GetData_button");   // still recording

    // An unknown state keeps the text, an unknown period is empty, an
    // impossible time on a good date is midnight.
    b.press("archive_GetStatus_button");
    feed(b.w, rec::cmd::archiveControl, status(30000, 40, 7, day, QTime(9, 15, 42)).replace(kHour, 1, "\x19"));
    QCOMPARE(text->text(), QStringLiteral("Идет процесс сохранения данных"));
    QCOMPARE(rate->text(), QString());
    QCOMPARE(stamp->dateTime(), QDateTime(day, QTime(0, 0)));
    // An impossible date leaves the stamp.
    b.press("archive_GetStatus_button");
    feed(b.w, rec::cmd::archiveControl, status(10, 40, 3, day, QTime(9, 1, 2)).replace(kMonth, 1, "\x0D"));
    QCOMPARE(stamp->dateTime(), QDateTime(day, QTime(0, 0)));
    QCOMPARE(text->text(), QStringLiteral("Архивирование завершено"));

    QCOMPARE(b.dialogs.shown.size(), 2);
    QCOMPARE(b.dialogs.shown[0].title, QStringLiteral("Ошибка"));
    QCOMPARE(b.dialogs.shown[0].text, QStringLiteral("Нет информации для загрузки"));
    QCOMPARE(b.dialogs.shown[1].kind, QStringLiteral("information"));
    QCOMPARE(b.dialogs.shown[1].text, QStringLiteral("Дождитесь окончания записи архива"));
    QVERIFY(b.dataRequests().isEmpty());

    // In a bootloader the gate refuses status and start.
    feedStatus(b.w.engine(), 0, 1);
    b.sent.clear();
    b.press("archive_GetStatus_button");
    b.press("archive_StartRecord_button");
    QVERIFY(b.sent.isEmpty());
    QCOMPARE(b.dialogs.shown.size(), 4);
    QCOMPARE(b.dialogs.shown[3].kind, QStringLiteral("gate"));
}

void TestArchive::tableTextsFollowAnswerBits()
{
    Bench b;
    b.press("archive_GetStatus_button");
    feed(b.w, rec::cmd::archiveControl, status(10, 3, 3, QDate(2026, 1, 2), QTime(10, 0, 0)));
    b.press("archive_GetData_button");
    QByteArray silent = record(2250, 0x00);
    silent[rec::meas::kConductCode] = 7;
    feed(b.w, rec::cmd::archiveData, bytes({0, 3}) + record(1000) + record(1500, 0x0B) + silent);
    QCOMPARE(b.dataRequests(), QList<QByteArray>{bytes({0, 3})});

    auto* table = b.get<QTableWidget>("archive_Data_tableWidget");
    QCOMPARE(table->rowCount(), 16);
    QCOMPARE(table->columnCount(), 3);
    QCOMPARE(table->verticalHeaderItem(0)->text(), QStringLiteral("Время измерения"));
    QCOMPARE(table->verticalHeaderItem(12)->text(), QStringLiteral("Температура Д_влажн"));
    QCOMPARE(table->verticalHeaderItem(15)->text(), QStringLiteral("Шкала кондуктометра"));

    const QStringList full = {"10:00:00:000", "-2 °C", "3.3 В", "0.000123 В", "1.23457e+06 В", "-1.5 В",
                              "16G", "-1024", "512", "16384", "250.5 Люкс", "45.5 %RH", "23.45 °C",
                              "1013.25 мБар", "19.99 °C", "Подтяжка 10К"};
    for (int row = 0; row < 16; ++row) {
        QCOMPARE(b.cell(row, 0), full[row]);
        if (row > 0)   // bits 0x0B: only the humidity sensor is off
            QCOMPARE(b.cell(row, 1), (row == 11 || row == 12) ? QStringLiteral("Отключен") : full[row]);
        if (row >= 6)   // nothing answered, unknown pull-up
            QCOMPARE(b.cell(row, 2), QStringLiteral("Отключен"));
    }
    QCOMPARE(b.cell(0, 1), QStringLiteral("10:00:00:500"));
    QCOMPARE(b.cell(0, 2), QStringLiteral("10:00:01:250"));

    // A run-time counter that wrapped still counts forward; the old column goes.
    b.press("archive_GetStatus_button");
    feed(b.w, rec::cmd::archiveControl, status(10, 2, 3, QDate(2026, 1, 2), QTime(23, 59, 59)));
    b.press("archive_GetData_button");
    feed(b.w, rec::cmd::archiveData, bytes({0, 2}) + record(0xFFFFFF00u) + record(0x64));
    QCOMPARE(table->columnCount(), 2);
    QCOMPARE(b.cell(0, 1), QStringLiteral("23:59:59:356"));
    QCOMPARE(b.cell(0, 2), QStringLiteral("<none>"));
}

void TestArchive::loadStopsAtTheHundredthRecord()
{
    Bench b;
    b.press("archive_GetStatus_button");
    feed(b.w, rec::cmd::archiveControl, status(10, 150, 3, QDate(2026, 1, 2), QTime(10, 0, 0)));
    b.press("archive_GetData_button");

    // Answer each request with the records it asked for, as the board does;
    // the first block is answered twice (a repeated request on a slow line),
    // and the duplicate must not count as the next block.
    for (int answered = 0; answered < b.dataRequests().size() && answered < 50; ++answered) {
        const QByteArray req = b.dataRequests()[answered];
        QByteArray reply = req;
        for (int i = 0; i < uint8_t(req[1]); ++i)
            reply += record(10u * (uint8_t(req[0]) + i));
        feed(b.w, rec::cmd::archiveData, reply);
        if (answered == 1)
            feed(b.w, rec::cmd::archiveData, b.dataRequests()[0] + record(0));
    }
    QList<QByteArray> expected;
    for (int a = 0; a < 96; a += 8)
        expected << bytes({a, 8});
    expected << bytes({96, 4});
    QCOMPARE(b.dataRequests(), expected);
    QCOMPARE(b.get<QProgressBar>("archive_loading_progressBar")->value(), 100);
    QCOMPARE(b.get<QTableWidget>("archive_Data_tableWidget")->columnCount(), 100);
    QCOMPARE(b.cell(0, 99), QStringLiteral("10:00:00:990"));
    b.w.flushPanes();
    QVERIFY(b.get<QPlainTextEdit>("log_Edit")->toPlainText().contains(
        QStringLiteral("Архив: на плате 150 записей, загружаются первые 100")));

    // A late reply after the load asks for nothing more.
    feed(b.w, rec::cmd::archiveData, bytes({96, 1}) + record(960));
    QCOMPARE(b.dataRequests().size(), expected.size());
}

void TestArchive::recordAndDownloadThroughBoard()
{
    QTemporaryDir dir;
    vboard::BoardServer::Options o;
    o.linkPath = dir.filePath(QStringLiteral("board"));
    o.registerForDiscovery = false;
    vboard::BoardServer server(o);
    QVERIFY(server.start());
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    auto get = [&w](const char* name) { return w.findChild<QWidget*>(QString::fromLatin1(name)); };
    auto click = [&](const char* name) {
        static_cast<QPushButton*>(get(name))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.engine().isWaiting(), 8000);
    };
    auto* ports = static_cast<QComboBox*>(get("serialPortList_comboBox"));
    ports->addItem(QStringLiteral("(") + server.linkPath() + QStringLiteral(")   RConf test"));
    ports->setCurrentIndex(ports->count() - 1);
    static_cast<QPushButton*>(get("serialPortAction_Button"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.engine().deviceInfo().progMode == 1 && !w.engine().isWaiting(), 10000);

    w.setClock([] { return QDateTime(QDate(2026, 3, 3), QTime(14, 5, 9)); });
    static_cast<QSpinBox*>(get("archive_Start_RecQtt_spinBox"))->setValue(20);   // rate index 0: 10 ms
    click("archive_StartRecord_button");
    for (int i = 0; i < 100 && w.engine().archiveStatusRecord()[kState] != 3; ++i) {
        QTest::qWait(100);
        click("archive_GetStatus_button");
    }
    QCOMPARE(static_cast<QLabel*>(get("archive_CurrentStatus_label"))->text(), QStringLiteral("Архивирование завершено"));
    QCOMPARE(static_cast<QLabel*>(get("archive_CurrentRecordsQtt_label"))->text(), QStringLiteral("20"));
    QCOMPARE(static_cast<QProgressBar*>(get("archive_Record_progressBar"))->value(), 20);

    server.clearRequests();
    static_cast<QPushButton*>(get("archive_GetData_button"))->click();
    auto* table = static_cast<QTableWidget*>(get("archive_Data_tableWidget"));
    QTRY_COMPARE_WITH_TIMEOUT(table->columnCount(), 20, 10000);
    QList<QByteArray> asked;
    for (const QByteArray& f : server.requests())
        asked << f.mid(3, f.size() - 5);   // code and payload
    QCOMPARE(asked, (QList<QByteArray>{bytes({0x21, 0, 8}), bytes({0x21, 8, 8}), bytes({0x21, 16, 4})}));
    QCOMPARE(static_cast<QProgressBar*>(get("archive_loading_progressBar"))->value(), 20);
    for (int k = 0; k < 20; ++k) {
        QCOMPARE(table->item(0, k)->text(), QTime(14, 5, 9).addMSecs(10 * k).toString(QStringLiteral("hh:mm:ss:zzz")));
        QByteArray r = server.board().archiveRecord(k);
        QCOMPARE(table->item(2, k)->text(), QString::number(le::f32(raw(r) + rec::meas::kVolt1), 'g', 6) + " В");
    }
    QVERIFY(dialogs.shown.isEmpty());
}

QTEST_MAIN(TestArchive)
#include "test_archive.moc"
