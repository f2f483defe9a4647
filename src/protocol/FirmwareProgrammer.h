#pragma once
#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

#include "Crc16.h"
#include "Records.h"

class proto_Vorlen_v2;

// Writes a firmware image into a board that runs its bootloader: checks the
// bootloader, writes and reads back every 1024-byte page, then writes the
// firmware configuration record (the engine's, with the image's checksum and
// length) and reads it back. Each step is one request sent through the
// engine; the engine hands over the code of every reply it has processed.
// The run works on its own copy of the image, so the caller's buffer may
// change or go away while it runs.
class FirmwareProgrammer : public QObject
{
    Q_OBJECT
public:
    enum class Step { Idle, CheckBootloader, WritePage, ReadBackPage, WriteConfig, ReadBackConfig, Done, Failed };
    static constexpr int kAnyProgram = -1;

    explicit FirmwareProgrammer(proto_Vorlen_v2& engine);

    // With a target program the run refuses a board whose status at the run's
    // start is not that program's bootloader. A new start replaces a run.
    void start(const uint8_t* image, uint32_t size, int targetProgram);
    // Called once per reply the engine has decoded, whatever its code.
    void onReply(uint32_t code);
    // Ends a run from outside (no reply, port closed) with this log line.
    void stop(const QString& text);

    bool isRunning() const;
    // True while a run holds the engine's only transaction slot against
    // every request but its own.
    bool blocksOtherRequests() const { return isRunning() && !sending; }
    Step step() const { return current; }
    uint32_t page() const { return pageIndex; }
    uint32_t stepsDone() const { return done; }
    uint32_t stepsTotal() const { return total; }

signals:
    void log(QString text);
    void runningChanged(bool running);
    void stepEntered(FirmwareProgrammer::Step step, uint32_t page);
    // After every step (ok false once, when a check fails); (0, total, true) at
    // the start, (0, 0, false) for an image that cannot be programmed.
    void progressed(uint32_t done, uint32_t total, bool ok);

private:
    void refuse(const QString& text);
    void enter(Step next);
    void send(Step next, const uint8_t* payload, uint32_t n);
    void advance(bool ok);
    void finish(Step outcome, const QString& text);
    void fail(const QString& text);

    void bootloaderChecked();
    void pageWritten();
    void pageReadBack();
    void configWritten();
    void configReadBack();
    void writePage();
    void writeConfig();

    proto_Vorlen_v2& engine;
    Crc16 crc;
    std::vector<uint8_t> image;
    int target = kAnyProgram;
    Step current = Step::Idle;
    uint32_t pageIndex = 0;
    uint32_t done = 0;
    uint32_t total = 0;
    bool sending = false;
    uint8_t configSent[rec::fwcfg::kSize] = {};

    // What the reply to the step's request really carried; cleared when the
    // request goes out, so a reply too short to be stored, or a record left
    // from an earlier reply, can never pass a check.
    struct ReadBack {
        bool status = false;
        bool config = false;
        bool page = false;
        uint8_t pageNumber = 0;
    } fresh;
};
