#pragma once
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <vector>

#include "Crc16.h"
#include "FirmwareProgrammer.h"
#include "FrameAssembler.h"
#include "Records.h"

// Board status from the getInfo reply.
struct DevInfo {
    uint8_t progMode = 0;   // tens: family (0 lab, 1 photocolorimeter); units: 0 bootloader, 1 main
    uint8_t flags = 0;      // bit 0 firmware configuration valid, bit 1 hardware configuration valid
    uint8_t freePages = 0;
    uint8_t bleBridge = 0;
    uint8_t devType = 0;    // 0 not set, 1..4 laboratory, 100 photocolorimeter
    uint8_t errorCode = 0;
    uint8_t blVersion = 0;  // major in the high nibble, minor in the low nibble
};

// The board's request/reply protocol: one transaction at a time with
// time-out and three transmissions, the mode gate, reply decoding into
// records; it holds the firmware programmer that rides on these transactions.
// Frames are built and read by FrameCodec; what each command needs is a row
// of CommandTable.
class proto_Vorlen_v2 : public QObject
{
    Q_OBJECT
public:
    proto_Vorlen_v2();
    ~proto_Vorlen_v2() override;

    // Transactions
    void sendCommand(uint32_t code, const uint8_t* payload, uint32_t n);
    void repeatCommand();
    void stopCommand();
    void finishProgramming(const QString& text);
    bool isCommandAvailable(uint32_t code);
    void parseReceived(uint8_t* buf, uint32_t size);
    void requestRawData(const uint8_t* payload, uint32_t n);

    // Firmware programming (see FirmwareProgrammer), which copies the image.
    // With a target program (the update file's targetProgram), the run refuses
    // a board whose status at the run's start is not that program's
    // bootloader; without one any bootloader will do.
    static constexpr int kAnyProgram = FirmwareProgrammer::kAnyProgram;
    void startProgramming(const uint8_t* image, uint32_t size, int targetProgram = kAnyProgram);
    void programmingReply(uint32_t code);
    bool isProgramming() const { return programmer.isRunning(); }
    const FirmwareProgrammer& firmwareProgrammer() const { return programmer; }

    // The board behind the port. The port was closed (or lost): a run ends,
    // its pending request stops, and the firmware configuration record read
    // from that board is forgotten. A status of another family does the same
    // to the record. Every forget starts a new board session.
    void portClosed();
    uint32_t boardSession() const { return session; }
    // True once a get_FW_Config reply has been stored in this session.
    bool fwConfigFromBoard() const { return fwConfigRead; }

    // Decoding handlers (payload, payload length)
    void parseHwConfig(const uint8_t* payload, uint32_t p);
    void parseRawData(const uint8_t* payload, uint32_t p);
    void parseExchangeData(const uint8_t* payload, uint32_t p);

    // Seam for the mode gate's message box: receives the informative text
    // ("Команда " + phrase). The window installs a real message box; tests
    // install a recorder. Without one, the refusal only goes to the debug output.
    void setGatePrompt(std::function<void(const QString&)> prompt) { gatePrompt = std::move(prompt); }

    // Transaction state, read-only for callers
    uint32_t pendingCommand() const { return pendingCmd; }
    uint32_t attemptsRemaining() const { return attemptsLeft; }
    const uint8_t* lastFrame() const { return txFrame; }
    uint32_t lastFrameLength() const { return txLength; }
    bool isWaiting() const { return replyTimer.isActive(); }

    // Records, read after their signal. Views never write engine memory:
    // requests that carry a record take it as an argument.
    const DevInfo& deviceInfo() const { return devInfo; }
    const uint8_t* hwConfigRecord() const { return hwConfig; }
    const uint8_t* fwConfigRecord() const { return fwConfig; }
    // Laboratory raw packet image: only the kept slices are copied in, at
    // their packet offsets, so views read fields at the packet's offsets.
    const uint8_t* rawDataRecord() const { return rawData; }
    const uint8_t* exchangeRecord() const { return exchangeData; }
    const uint8_t* pcRawRecord() const { return pcRawData; }
    const uint8_t* archiveStatusRecord() const { return archiveStatus; }
    const uint8_t* userDataRecord() const { return userData; }
    uint8_t userDataLength() const { return userDataSize; }
    uint8_t userDataReached() const { return userDataOffset; }
    const uint8_t* archiveRecords() const { return archiveData; }
    uint8_t lastArchiveAddress() const { return archiveReplyAddress; }   // first record of the last data reply
    const uint8_t* statRecord() const { return stat; }
    const uint8_t* pageRecord() const { return pageBuf; }

    // set_HW_Config with this 288-byte record, which becomes the engine's own.
    void writeHwConfig(const uint8_t* record);
    // Keeps a user calibration block of `size` bytes and sends its first chunk;
    // continueUserDataWrite sends the next one after each echo.
    void writeUserData(const uint8_t* block, uint8_t size);
    void continueUserDataWrite(uint8_t offset, uint8_t len, uint8_t cmdType);

    // The firmware configuration a run writes: this board's record with the
    // serial number, version and build date of the file.
    void stampFwConfig(uint32_t serial, uint8_t version, uint8_t day, uint8_t month, uint8_t year);

signals:
    void _transmit_data(uint8_t* buf, uint32_t size);
    void log(QString text);
    void cmd_getInfo_received();
    void cmd_RawData_received();
    void cmd_DataExchange_received();
    void cmd_archiveControl_received();
    void cmd_ArchiveData_received();
    void cmd_fwConfig_updated();
    void cmd_fwPage_readed(uint8_t* data, uint32_t size);
    // A page read reply was stored in pageRecord(); page is the number it carried.
    void fwPageStored(uint8_t page);
    void cmd_hwConfig_readed();
    void cmd_Reload_Request();
    void cmd_userData_sent(uint8_t offset, uint8_t len, uint8_t cmdType);
    void cmd_userData_readed(uint32_t readedSize);
    void cmd_atCmd_received(uint8_t* data, uint32_t size);
    void cmd_fwPage_readedBlock(uint8_t page, uint8_t block, uint8_t* data);
    void cmd_fwPage_writedBlock(uint8_t page, uint8_t block);
    void cmd_stat_received();
    void cmd_program_progress(uint8_t percent, bool ok);
    // A programming run started (true) or ended, however it ended (false).
    void programmingChanged(bool running);
    // The transaction of this request code is over: answered (its record's
    // signal came first), refused, given up after three transmissions, or
    // stopped. Not emitted while a follow-up request carries it on.
    void transactionEnded(uint32_t code);

private:
    // The command table's rows name the decoders below.
    friend class CommandTable;

    // Where the one transaction slot stands. A request sent while a reply is
    // decoded (the next archive block, the next user-data chunk) moves it
    // from Decoding back to AwaitingReply, and keeps its time-out and repeats.
    enum class State { Idle, AwaitingReply, Decoding };

    // Requests and received frames
    bool buildRequest(uint32_t code, const uint8_t* payload, uint32_t n);
    void processFrame(const uint8_t* buf, uint32_t size);
    void reportRejected(const uint8_t* buf, uint32_t size);
    bool repeatsLastReply(const uint8_t* buf, uint32_t size) const;
    // Decoders of the command table: payload, its length, the row's description
    QString decodeStatus(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeExchange(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeRawData(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeArchiveStatus(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeArchiveData(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeHwConfig(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeUserEcho(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeUserData(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeAtAnswer(uint8_t* payload, uint32_t p, const QString& base);
    QString decodePageWrite(uint8_t* payload, uint32_t p, const QString& base);
    QString decodePageRead(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeFwConfig(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeRestart(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeBlockWrite(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeBlockRead(uint8_t* payload, uint32_t p, const QString& base);
    QString decodeStatistics(uint8_t* payload, uint32_t p, const QString& base);
    // Decoding of one valid frame; returns the description for the summary line
    QString decodeReply(const uint8_t* buf, uint32_t size);
    void storeArchiveRecords(uint8_t address, const uint8_t* records, uint32_t length);
    // Board session and the programmer's reports
    void watchBoard();
    void forgetBoard();
    void wireProgrammer();
    void reportProgress(uint32_t done, uint32_t total, bool ok);

    void sendUserDataChunk(uint8_t offset);

    Crc16 crc;
    FrameAssembler assembler;
    std::function<void(const QString&)> gatePrompt;

    // Records, written only by the decoders and the record-taking requests
    uint8_t fwConfig[rec::fwcfg::kSize] = {};
    DevInfo devInfo;
    uint8_t hwConfig[rec::hwcfg::kSize] = {};
    uint8_t rawData[rec::raw::kPacketSize] = {};
    uint8_t exchangeData[rec::meas::kSize] = {};
    uint8_t pcRawData[rec::pcraw::kSize] = {};
    uint8_t archiveStatus[rec::archive::kBlockSize] = {};
    uint8_t userData[rec::user::kBufferSize] = {};
    uint8_t userDataSize = 0;
    uint8_t userDataOffset = 0;
    uint8_t archiveData[rec::archive::kMaxRecords * rec::archive::kRecordSize] = {};
    uint8_t archiveReplyAddress = 0;
    uint8_t stat[rec::stat::kSize] = {};
    uint8_t pageBuf[rec::flash::kPageSize] = {};

    State state = State::Idle;
    uint32_t pendingCmd = 0;
    uint32_t attemptsLeft = 0;
    uint8_t txFrame[rec::frame::kMaxFrame] = {};
    uint32_t txLength = 0;
    QTimer replyTimer;
    // The last reply handled. Until a request of its code is sent again, an
    // identical frame can only be a copy of it (the board answered both
    // transmissions of a repeated request) and answers nothing.
    std::vector<uint8_t> lastReply;
    bool lastReplyMayRepeat = false;

    FirmwareProgrammer programmer{*this};

    // Board session (see portClosed)
    uint32_t session = 0;
    bool fwConfigRead = false;
    bool familyKnown = false;
    uint8_t family = 0;
};
