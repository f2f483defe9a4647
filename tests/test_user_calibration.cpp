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
#include "ScriptedDialogs.h"

namespace {

template <typename T> T* widget(MainWindow& w, const QString& name)
{
    T* p = w.findChild<T*>(name);
    if (!p)
        qFatal("widget %s not found", qPrintable(name));
    return p;
}

// Clicks a button whose tab is closed without a board: its containers are enabled first.
void press(QPushButton* button)
{
    for (QWidget* p = button->parentWidget(); p; p = p->parentWidget())
        p->setEnabled(true);
    button->click();
}

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(static_cast<char>(v));
    return b;
}

QByteArray floatBytes(float f)
{
    QByteArray b(4, '\0');
    le::putF32(reinterpret_cast<uint8_t*>(b.data()), f);
    return b;
}

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

struct Bench {
    Bench(vboard::BoardType type, const QByteArray& block)
    {
        vboard::BoardServer::Options o;
        o.type = type;
        o.program = vboard::Program::Main;
        o.linkPath = dir.filePath(QStringLiteral("board"));
        o.registerForDiscovery = false;
        server = std::make_unique<vboard::BoardServer>(o);
        if (!block.isEmpty())
            server->board().setUserData(block);
        w.setDialogs(&dialogs);
    }
    bool open()
    {
        if (!server->start())
            return false;
        auto* ports = widget<QComboBox>(w, QStringLiteral("serialPortList_comboBox"));
        ports->addItem(QStringLiteral("(") + server->linkPath() + QStringLiteral(")   RConf test"));
        ports->setCurrentIndex(ports->count() - 1);
        widget<QPushButton>(w, QStringLiteral("serialPortAction_Button"))->click();
        if (!QTest::qWaitFor([this] { return w.engine().devInfo.progMode == 1 && !w.engine().isWaiting(); }, 10000))
            return false;
        // As the user does: leave the laboratory tab and come back, which opens
        // the calibration page of the board's type.
        auto* cmds = widget<QTabWidget>(w, QStringLiteral("cmds"));
        cmds->setCurrentIndex(0);
        cmds->setCurrentWidget(widget<QWidget>(w, QStringLiteral("dev_vorlen")));
        return QTest::qWaitFor([this] { return !w.engine().isWaiting(); }, 8000);
    }
    bool click(const char* button)
    {
        widget<QPushButton>(w, QString::fromLatin1(button))->click();
        return QTest::qWaitFor([this] { return !w.engine().isWaiting(); }, 8000);
    }
    QList<QByteArray> payloads(uint8_t code) const
    {
        QList<QByteArray> out;
        for (const QByteArray& f : server->requests())
            if (f.size() >= 6 && uint8_t(f[3]) == code)
                out << f.mid(4, f.size() - 6);
        return out;
    }
    QDoubleSpinBox* coef(const char* name) { return widget<QDoubleSpinBox>(w, QString::fromLatin1(name)); }
    QSpinBox* step(const char* name) { return widget<QSpinBox>(w, QString::fromLatin1(name)); }

    QTemporaryDir dir;
    std::unique_ptr<vboard::BoardServer> server;
    MainWindow w;
    ScriptedDialogs dialogs;
};

// Floats a spin box can hold over the first floatArea bytes, then numbered bytes.
QByteArray sampleBlock(int size)
{
    const int floatArea = size == 40 ? 36 : size == 44 ? 40 : 28;
    QByteArray b(size, '\0');
    for (int i = 0; i < floatArea / 4; ++i)
        le::putF32(reinterpret_cast<uint8_t*>(b.data()) + 4 * i, 1.25f * float(i) - 3.0f);
    for (int i = floatArea; i < size; ++i)
        b[i] = static_cast<char>(0x40 + i);
    return b;
}

} // namespace

class TestUserCalibration : public QObject
{
    Q_OBJECT
private slots:
    void physicsDefaultsGoOutAsOneChunk();
    void chemistryKeepsReservedByte();
    void roundTripForEachType_data();
    void roundTripForEachType();
    void biologyShowsItsFields();
    void ecologyReadsAndWritesNothing();
    void continuationAndRefusals();
};

void TestUserCalibration::physicsDefaultsGoOutAsOneChunk()
{
    Bench b(vboard::BoardType::Physics, sampleBlock(40));
    QVERIFY(b.open());
    QVERIFY(!widget<QPushButton>(b.w, QStringLiteral("userData_write_Button"))->isEnabled());
    QVERIFY(b.click("userData_read_Button"));
    QVERIFY(widget<QPushButton>(b.w, QStringLiteral("userData_write_Button"))->isEnabled());

    QVERIFY(b.click("physic_DefaultReset_button"));
    QCOMPARE(b.payloads(rec::cmd::setUserData).size(), 0);   // defaults alone send nothing
    QVERIFY(b.click("userData_write_Button"));

    QByteArray expected = bytes({0x00, 0x28, 0x01});
    for (float f : {1.f, 0.f, 1.f, 0.f, 1.f, 0.f, 1.f, 0.f, 1.f})
        expected += floatBytes(f);
    expected += bytes({1, 1, 1, 1});
    QCOMPARE(expected.size(), 43);
    QCOMPARE(b.payloads(rec::cmd::setUserData), QList<QByteArray>{expected});
    QCOMPARE(b.server->board().userData(), expected.mid(3));
    QCOMPARE(b.w.engine().userDataOffset, uint8_t(40));
    QVERIFY(b.dialogs.shown.isEmpty());
}

void TestUserCalibration::chemistryKeepsReservedByte()
{
    QByteArray block = sampleBlock(44);
    block[43] = static_cast<char>(0xA5);
    Bench b(vboard::BoardType::Chemistry, block);
    QVERIFY(b.open());
    QVERIFY(b.click("userData_read_Button"));

    QVERIFY(b.click("chem_DefaultReset_button"));
    QCOMPARE(b.step("chem_step_phSens_SpinBox")->value(), 2);
    QCOMPARE(b.step("chem_step_tempSens_SpinBox")->value(), 1);
    QCOMPARE(b.step("chem_step_conductSens_SpinBox")->value(), 2);
    b.step("chem_step_conductSens_SpinBox")->setValue(255);
    QVERIFY(b.click("userData_write_Button"));

    const QByteArray sent = b.payloads(rec::cmd::setUserData).value(0);
    QCOMPARE(sent.size(), 47);
    QCOMPARE(sent.left(3), bytes({0x00, 0x2C, 0x01}));
    QCOMPARE(sent.mid(3 + 40, 4), bytes({2, 1, 0xFF, 0xA5}));
    QByteArray floats;
    for (float f : {1.f, 0.f, 1.f, 0.f, 1.f, 0.f, 1.f, 0.f, 1.f, 0.f})
        floats += floatBytes(f);
    QCOMPARE(sent.mid(3, 40), floats);
    QCOMPARE(b.server->board().userData(), sent.mid(3));
}

void TestUserCalibration::roundTripForEachType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("coefBox");
    QTest::addColumn<int>("coefOffset");
    QTest::addColumn<QString>("stepBox");
    QTest::addColumn<int>("stepOffset");
    QTest::addColumn<QString>("reset");
    QTest::newRow("physics") << 1 << 40 << "physic_d_absPressSens_dSpinBox" << 32 << "physic_step_amperSens_SpinBox"
                             << 39 << "physic_DefaultReset_button";
    QTest::newRow("chemistry") << 2 << 44 << "chem_d3_conductSens_dSpinBox" << 36 << "chem_step_phSens_SpinBox"
                               << 40 << "chem_DefaultReset_button";
    QTest::newRow("biology") << 4 << 32 << "bio_d_LightSens_dSpinBox" << 24 << "bio_step_tempSens_SpinBox" << 29
                             << "bio_DefaultReset_button";
}

void TestUserCalibration::roundTripForEachType()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(QString, coefBox);
    QFETCH(int, coefOffset);
    QFETCH(QString, stepBox);
    QFETCH(int, stepOffset);
    QFETCH(QString, reset);

    const QByteArray original = sampleBlock(size);
    Bench b(static_cast<vboard::BoardType>(type), original);
    QVERIFY(b.open());
    QVERIFY(b.click("userData_read_Button"));

    auto* coef = widget<QDoubleSpinBox>(b.w, coefBox);
    auto* step = widget<QSpinBox>(b.w, stepBox);
    QCOMPARE(step->value(), int(uint8_t(original[stepOffset])));
    coef->setValue(0.1);
    step->setValue(255);
    QVERIFY(b.click("userData_write_Button"));

    const QByteArray stored = b.server->board().userData();
    QCOMPARE(stored.size(), size);
    QCOMPARE(stored.mid(coefOffset, 4), floatBytes(0.1f));
    QCOMPARE(uint8_t(stored[stepOffset]), uint8_t(0xFF));

    // Put the boxes elsewhere, then read back what the board holds.
    widget<QPushButton>(b.w, reset)->click();
    QVERIFY(coef->value() != 0.1);
    QVERIFY(b.click("userData_read_Button"));
    QCOMPARE(coef->value(), 0.1);
    QCOMPARE(step->value(), 255);

    // A second write without edits sends back exactly what was read.
    b.server->clearRequests();
    QVERIFY(b.click("userData_write_Button"));
    QCOMPARE(b.payloads(rec::cmd::setUserData).value(0).mid(3), stored);
}

void TestUserCalibration::biologyShowsItsFields()
{
    QByteArray block(32, '\0');
    const float values[] = {1.5f, -0.25f, 2.0f, 0.125f, -3.75f, 4.5f, 0.1f};
    for (int i = 0; i < 7; ++i)
        le::putF32(reinterpret_cast<uint8_t*>(block.data()) + 4 * i, values[i]);
    block[28] = 7;
    block[29] = 9;
    block[30] = static_cast<char>(0xEE);
    block[31] = static_cast<char>(0x11);
    Bench b(vboard::BoardType::Biology, block);
    QVERIFY(b.open());
    QVERIFY(b.click("userData_read_Button"));

    const char* boxes[] = {"bio_k_phSens_dSpinBox",  "bio_d_phSens_dSpinBox",  "bio_k_tempSens_dSpinBox",
                           "bio_d_tempSens_dSpinBox", "bio_d_Tout_dSpinBox",   "bio_d_HumSens_dSpinBox",
                           "bio_d_LightSens_dSpinBox"};
    for (int i = 0; i < 7; ++i)
        QCOMPARE(b.coef(boxes[i])->value(), QString::number(double(values[i]), 'f', 6).toDouble());
    QCOMPARE(b.step("bio_step_phSens_SpinBox")->value(), 7);
    QCOMPARE(b.step("bio_step_tempSens_SpinBox")->value(), 9);

    QVERIFY(b.click("bio_DefaultReset_button"));
    QCOMPARE(b.coef("bio_k_phSens_dSpinBox")->value(), 1.0);
    QCOMPARE(b.coef("bio_d_Tout_dSpinBox")->value(), 0.0);
    QCOMPARE(b.step("bio_step_phSens_SpinBox")->value(), 2);
    QVERIFY(b.click("userData_write_Button"));
    const QByteArray sent = b.payloads(rec::cmd::setUserData).value(0);
    QCOMPARE(sent.size(), 35);
    QCOMPARE(sent.left(3), bytes({0x00, 0x20, 0x01}));
    QCOMPARE(sent.mid(3 + 28), bytes({2, 1, 0xEE, 0x11}));   // reserved bytes as read
}

void TestUserCalibration::ecologyReadsAndWritesNothing()
{
    Bench b(vboard::BoardType::Ecology, QByteArray());
    QVERIFY(b.open());
    auto* k = b.coef("physic_k_tempSens_dSpinBox");
    k->setValue(3.5);
    QVERIFY(b.click("userData_read_Button"));
    QVERIFY(widget<QPushButton>(b.w, QStringLiteral("userData_write_Button"))->isEnabled());
    QCOMPARE(k->value(), 3.5);

    b.server->clearRequests();
    widget<QPushButton>(b.w, QStringLiteral("userData_write_Button"))->click();
    QTest::qWait(300);
    QVERIFY(b.server->requests().isEmpty());
    QVERIFY(b.dialogs.shown.isEmpty());
}

void TestUserCalibration::continuationAndRefusals()
{
    MainWindow w;
    ScriptedDialogs dialogs;
    w.setDialogs(&dialogs);
    QList<QByteArray> sent;
    QObject::connect(&w.engine(), &proto_Vorlen_v2::_transmit_data, &w,
                     [&sent](uint8_t* buf, uint32_t n) { sent << QByteArray(reinterpret_cast<char*>(buf), int(n)); });
    auto* read = widget<QPushButton>(w, QStringLiteral("userData_read_Button"));
    auto* write = widget<QPushButton>(w, QStringLiteral("userData_write_Button"));

    // In the bootloader both requests are refused by the gate.
    w.engine().devInfo.progMode = 0;
    w.engine().devInfo.devType = 1;
    press(read);
    write->setEnabled(true);
    press(write);
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[0].kind, QStringLiteral("gate"));
    QCOMPARE(dialogs.shown[1].kind, QStringLiteral("gate"));
    QVERIFY(sent.isEmpty());
    write->setEnabled(false);

    // A short read reply is not shown and does not open writing.
    w.engine().devInfo.progMode = 1;
    auto* k = widget<QDoubleSpinBox>(w, QStringLiteral("physic_k_tempSens_dSpinBox"));
    k->setValue(2.5);
    press(read);
    feed(w, rec::cmd::getUserData, floatBytes(9.0f) + QByteArray(6, '\0'));
    QCOMPARE(k->value(), 2.5);
    QVERIFY(!write->isEnabled());
    w.flushPanes();
    QVERIFY(widget<QPlainTextEdit>(w, QStringLiteral("log_Edit"))
                ->toPlainText()
                .contains(QStringLiteral("Пользовательские калибровки: ОШИБКА - принято 10 байт вместо 40")));

    // Type 0 sends nothing.
    w.engine().devInfo.devType = 0;
    sent.clear();
    write->setEnabled(true);
    press(write);
    QVERIFY(sent.isEmpty());

    // The board echoes flag 0: complete when offset + length reaches the size...
    w.engine().devInfo.devType = 1;
    press(write);
    QCOMPARE(sent.size(), 1);
    feed(w, rec::cmd::setUserData, bytes({0, 40, 0}));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(w.engine().userDataOffset, uint8_t(40));

    // ...otherwise the rest goes out from there as the last chunk.
    press(write);
    const QByteArray block = sent.last().mid(7, 40);
    feed(w, rec::cmd::setUserData, bytes({0, 24, 0}));
    QCOMPARE(sent.size(), 3);
    const QByteArray next = sent.last().mid(4, sent.last().size() - 6);
    QCOMPARE(next.left(3), bytes({24, 16, 1}));
    QCOMPARE(next.mid(3), block.mid(24));
    QCOMPARE(w.engine().userDataOffset, uint8_t(24));
}

QTEST_MAIN(TestUserCalibration)
#include "test_user_calibration.moc"
