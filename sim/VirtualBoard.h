#pragma once
#include "BleModule.h"
#include "BoardTypes.h"
#include "SensorModel.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

#include <cstdint>

namespace vboard {

// The board model, independent of any transport: one request frame in, the
// reply frame out, with the memory, records and sensors of a real board.
class VirtualBoard
{
public:
    static constexpr int kPageCount = 64;

    VirtualBoard(BoardType type, Program program, uint32_t seed = 1);

    // One complete request frame in; the reply frame out (empty = no reply).
    QByteArray handleRequest(const QByteArray& frame);
    // Whether the program executes the request or refuses it whatever it carries.
    static bool accepts(Program program, uint8_t code);

    BoardType type() const { return boardType; }
    Program program() const { return running; }
    uint8_t progMode() const;
    void setProgram(Program p);
    bool restartPending() const { return pendingRestart; }
    void completeRestart();
    // A power-up: counts a start when the main program comes up.
    void powerOn();

    struct Status {
        uint8_t flags = 3;
        uint8_t freePages = 0;
        uint8_t bleBridge = 0;
        uint8_t devType = 0;
        uint8_t errorCode = 0;
        uint8_t blVersion = 0x12;
    };
    Status& status() { return stat; }
    const Status& status() const { return stat; }

    QByteArray flashPage(int page) const;
    void setFlashPage(int page, const QByteArray& bytes);
    QByteArray fwConfig() const { return fwCfg; }
    void setFwConfig(const QByteArray& rec60);
    QByteArray hwConfig() const { return hwCfg; }
    void setHwConfig(const QByteArray& rec288);
    QByteArray userData() const { return user; }
    void setUserData(const QByteArray& block);
    static int userDataSize(BoardType type);
    QByteArray statistics() const { return stats; }
    void setStatistics(const QByteArray& rec60);
    QByteArray archiveStatusBlock() const { return archiveBlock; }
    QByteArray archiveRecord(int index) const;
    int archiveRecordCount() const { return archiveRecords.size(); }
    uint8_t outputs() const { return controls.outputs; }
    uint8_t bleState() const { return bleStateCode; }
    uint8_t accelScale() const { return controls.accelScale; }
    uint8_t conductCode() const { return controls.conductCode; }
    float pwm(int channel) const;
    QString bleName() const;
    void setBleName(const QString& name);
    char bleBaudDigit() const { return ble.baudDigit(); }
    void setBleBaudDigit(char digit);
    uint32_t lastAtSpeed() const { return atSpeed; }
    uint32_t runTimeMs() const { return runTime; }

    void setExchangeOverride(const QByteArray& rec64) { exchangeOverride = rec64; }
    void setRawOverride(const QByteArray& packet256) { rawOverride = packet256; }
    // page < 0 clears every page fault
    void corruptPageOnRead(int page, int offset);
    void corruptFwConfigOnRead(bool on) { corruptFwRead = on; }
    // Writes of this page are refused (0xFF), as by a board with a worn-out
    // page; page < 0 accepts every page again.
    void refusePageWrite(int page) { refusedPage = page; }
    void advanceTime(qint64 ms);

    // Grows whenever something a state file keeps has changed.
    quint64 persistentRevision() const { return revision; }

private:
    QByteArray reply(uint8_t code, const QByteArray& payload = QByteArray()) const;
    QByteArray refusal() const;
    void touch() { ++revision; }
    void updateFreePages();
    void addToStat(uint32_t offset, uint32_t delta);
    void setConductCode(uint8_t code);
    void takeArchiveRecord();
    void stopRecording();

    QByteArray onGetInfo();
    QByteArray onExchange(const QByteArray& p);
    QByteArray onRawData(const QByteArray& p);
    QByteArray onArchiveControl(const QByteArray& p);
    QByteArray onArchiveData(const QByteArray& p);
    QByteArray onSetHwConfig(const QByteArray& p);
    QByteArray onGetHwConfig();
    QByteArray onSetUserData(const QByteArray& p);
    QByteArray onGetUserData();
    QByteArray onAtCommand(const QByteArray& p);
    QByteArray onFlashWrite(const QByteArray& p);
    QByteArray onFlashRead(const QByteArray& p);
    QByteArray onFlashWriteBlock(const QByteArray& p);
    QByteArray onFlashReadBlock(const QByteArray& p);
    QByteArray onSetFwConfig(const QByteArray& p);
    QByteArray onGetFwConfig();
    QByteArray onProgramSwitch(uint8_t code);
    QByteArray onStatistics(const QByteArray& p);

    BoardType boardType;
    Program running;
    bool pendingRestart = false;
    Status stat;
    QVector<QByteArray> pages;
    QByteArray fwCfg, hwCfg, user, stats;
    SensorModel sensors;
    SensorModel::Controls controls;
    uint8_t bleStateCode = 1;
    BleModule ble;
    uint32_t atSpeed = 0;
    uint32_t runTime = 0;
    qint64 msTowardSecond = 0;

    QByteArray archiveBlock;
    QVector<QByteArray> archiveRecords;
    uint32_t recordingStart = 0;
    qint64 recordingElapsed = 0;

    QByteArray exchangeOverride, rawOverride;
    QMap<int, int> corruptPages;
    bool corruptFwRead = false;
    int refusedPage = -1;
    quint64 revision = 0;
};

} // namespace vboard
