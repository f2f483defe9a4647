#include <QtTest>

#include <QComboBox>
#include <QDoubleSpinBox>
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
#include "BoardBench.h"
#include "TestBytes.h"

using vboard::BoardType;

namespace {

QByteArray floats(std::initializer_list<float> list)
{
    QByteArray b;
    for (float f : list) {
        QByteArray four(4, '\0');
        le::putF32(reinterpret_cast<uint8_t*>(four.data()), f);
        b += four;
    }
    return b;
}

// Floats a spin box can hold, then numbered step and reserved bytes.
QByteArray sampleBlock(int size)
{
    const int floatArea = size == 40 ? 36 : size == 44 ? 40 : 28;
    QByteArray b;
    for (int i = 0; i < floatArea / 4; ++i)
        b += floats({1.25f * float(i) - 3.0f});
    for (int i = floatArea; i < size; ++i)
        b += char(0x40 + i);
    return b;
}

// A window on a simulated board's main program, showing its calibration page.
struct Bench : bench::Bench {
    Bench(BoardType type, const QByteArray& block) : bench::Bench(type)
    {
        server->board().setUserData(block);
    }
    bool open()
    {
        if (!start())
            return false;
        bench::Bench::click("serialPortAction_Button");
        if (!QTest::qWaitFor([this] { return window->engine().deviceInfo().progMode == 1 && idle(); }, 10000))
            return false;
        // As the user does: come back to the laboratory tab, which opens the page of the board's type.
        tabs("cmds")->setCurrentIndex(0);
        tabs("cmds")->setCurrentWidget(widget("dev_vorlen"));
        return idle();
    }
    bool idle() { return QTest::qWaitFor([this] { return !window->engine().isWaiting(); }, 8000); }
    bool click(const QString& name)
    {
        button(qPrintable(name))->click();
        return idle();
    }
    QList<QByteArray> writes() const
    {
        QList<QByteArray> out;
        for (const QByteArray& f : requests(rec::cmd::setUserData))
            out << f.mid(4, f.size() - 6);
        return out;
    }
};

void feed(MainWindow& w, uint8_t code, const QByteArray& payload)
{
    QByteArray f = wireFrame(code, payload);
    w.engine().parseReceived(raw(f), static_cast<uint32_t>(f.size()));
}

} // namespace

class TestUserCalibration : public QObject
{
    Q_OBJECT
private slots:
    void defaultsGoOutAsOneChunk();
    void roundTripForEachType_data();
    void roundTripForEachType();
    void ecologyReadsAndWritesNothing();
    void continuationShortReplyAndGate();
};

void TestUserCalibration::defaultsGoOutAsOneChunk()
{
    QByteArray chem = sampleBlock(44);
    chem[43] = char(0xA5);
    for (BoardType type : {BoardType::Physics, BoardType::Chemistry}) {
        Bench b(type, type == BoardType::Physics ? sampleBlock(40) : chem);
        QVERIFY(b.open());
        QVERIFY(!b.widget<QPushButton>("userData_write_Button")->isEnabled());
        QVERIFY(b.click("userData_read_Button"));
        QVERIFY(b.widget<QPushButton>("userData_write_Button")->isEnabled());
        QVERIFY(b.click(type == BoardType::Physics ? "physic_DefaultReset_button" : "chem_DefaultReset_button"));
        QVERIFY(b.writes().isEmpty());   // defaults alone send nothing
        QVERIFY(b.click("userData_write_Button"));

        const QByteArray expected = type == BoardType::Physics
            ? bytes({0x00, 0x28, 0x01}) + floats({1, 0, 1, 0, 1, 0, 1, 0, 1}) + bytes({1, 1, 1, 1})
            : bytes({0x00, 0x2C, 0x01}) + floats({1, 0, 1, 0, 1, 0, 1, 0, 1, 0}) + bytes({2, 1, 2, 0xA5});
        QCOMPARE(b.writes(), QList<QByteArray>{expected});
        QCOMPARE(b.server->board().userData(), expected.mid(3));
        QCOMPARE(int(b.window->engine().userDataReached()), expected.size() - 3);
        QVERIFY(b.dialogs.shown.isEmpty());
    }
}

void TestUserCalibration::roundTripForEachType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("coefBox");
    QTest::addColumn<int>("coefOffset");
    QTest::addColumn<QString>("stepBox");
    QTest::addColumn<int>("stepOffset");
    QTest::addColumn<QString>("reset");
    QTest::newRow("physics") << 1 << "physic_d_absPressSens_dSpinBox" << 32 << "physic_step_amperSens_SpinBox" << 39
                             << "physic_DefaultReset_button";
    QTest::newRow("chemistry") << 2 << "chem_d3_conductSens_dSpinBox" << 36 << "chem_step_phSens_SpinBox" << 40
                               << "chem_DefaultReset_button";
    QTest::newRow("biology") << 4 << "bio_d_Tout_dSpinBox" << 16 << "bio_step_tempSens_SpinBox" << 29
                             << "bio_DefaultReset_button";
}

void TestUserCalibration::roundTripForEachType()
{
    QFETCH(int, type);
    QFETCH(QString, coefBox);
    QFETCH(int, coefOffset);
    QFETCH(QString, stepBox);
    QFETCH(int, stepOffset);
    QFETCH(QString, reset);

    const int size = type == 1 ? 40 : type == 2 ? 44 : 32;
    const QByteArray original = sampleBlock(size);
    Bench b(static_cast<BoardType>(type), original);
    QVERIFY(b.open());
    QVERIFY(b.click("userData_read_Button"));
    auto* coef = b.window->findChild<QDoubleSpinBox*>(coefBox);
    auto* step = b.window->findChild<QSpinBox*>(stepBox);
    QCOMPARE(coef->value(), double(le::f32(reinterpret_cast<const uint8_t*>(original.constData()) + coefOffset)));
    QCOMPARE(step->value(), int(uint8_t(original[stepOffset])));

    coef->setValue(0.1);
    step->setValue(255);
    QVERIFY(b.click("userData_write_Button"));
    QByteArray expected = original;
    expected.replace(coefOffset, 4, floats({0.1f}));
    expected[stepOffset] = char(0xFF);
    QCOMPARE(b.server->board().userData(), expected);   // reserved bytes included, as read

    QVERIFY(b.click(reset));
    QVERIFY(coef->value() != 0.1);
    QVERIFY(b.click("userData_read_Button"));
    QCOMPARE(coef->value(), 0.1);
    QCOMPARE(step->value(), 255);
}

void TestUserCalibration::ecologyReadsAndWritesNothing()
{
    Bench b(BoardType::Ecology, QByteArray());
    QVERIFY(b.open());
    b.widget<QDoubleSpinBox>("physic_k_tempSens_dSpinBox")->setValue(3.5);
    QVERIFY(b.click("userData_read_Button"));
    QVERIFY(b.widget<QPushButton>("userData_write_Button")->isEnabled());
    QCOMPARE(b.widget<QDoubleSpinBox>("physic_k_tempSens_dSpinBox")->value(), 3.5);
    b.server->clearRequests();
    QVERIFY(b.click("userData_write_Button"));
    QTest::qWait(200);
    QVERIFY(b.server->requests().isEmpty());
    QVERIFY(b.dialogs.shown.isEmpty());
}

void TestUserCalibration::continuationShortReplyAndGate()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    feedStatus(w.engine(), 0, 1);   // the status view asks for the firmware record of a bootloader
    QList<QByteArray> sent;
    QObject::connect(&w.engine(), &proto_Vorlen_v2::_transmit_data, &w,
                     [&sent](uint8_t* buf, uint32_t n) { sent << QByteArray(reinterpret_cast<char*>(buf), int(n)); });
    auto* read = w.findChild<QPushButton*>(QStringLiteral("userData_read_Button"));
    auto* write = w.findChild<QPushButton*>(QStringLiteral("userData_write_Button"));
    for (QWidget* p = read->parentWidget(); p; p = p->parentWidget())
        p->setEnabled(true);   // no board: the page is opened by hand

    // Bootloader: both requests refused by the gate.
    write->setEnabled(true);
    read->click();
    write->click();
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[1].kind, QStringLiteral("gate"));
    QVERIFY(sent.isEmpty());

    // A short read reply is neither shown nor opens writing.
    feedStatus(w.engine(), 1, 1);
    write->setEnabled(false);
    auto* k = w.findChild<QDoubleSpinBox*>(QStringLiteral("physic_k_tempSens_dSpinBox"));
    k->setValue(2.5);
    read->click();
    feed(w, rec::cmd::getUserData, floats({9.0f}) + QByteArray(6, '\0'));
    QCOMPARE(k->value(), 2.5);
    QVERIFY(!write->isEnabled());
    w.flushPanes();
    QVERIFY(w.findChild<QPlainTextEdit*>(QStringLiteral("log_Edit"))->toPlainText().contains(
        QStringLiteral("Пользовательские калибровки: ОШИБКА - принято 10 байт вместо 40")));

    // Echo with flag 0 that reaches the size: complete. One that falls short: the rest follows.
    write->setEnabled(true);
    sent.clear();
    write->click();
    feed(w, rec::cmd::setUserData, bytes({0, 40, 0}));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(w.engine().userDataReached(), uint8_t(40));
    write->click();
    feed(w, rec::cmd::setUserData, bytes({0, 24, 0}));
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent[2].mid(4, 3), bytes({24, 16, 1}));
    QCOMPARE(sent[2].mid(7, 16), sent[1].mid(7 + 24, 16));

    feedStatus(w.engine(), 1, 0);   // type not set: nothing is sent
    write->click();
    QCOMPARE(sent.size(), 3);
}

QTEST_MAIN(TestUserCalibration)
#include "test_user_calibration.moc"
