// The board behind the port (session, its firmware record) and the engine's
// side of a programming run: entry, reply hand-over, progress in percent.
#include "proto_Vorlen_v2.h"

#include <cstring>

#include "LittleEndian.h"

void proto_Vorlen_v2::startProgramming(const uint8_t* image, uint32_t size, int targetProgram)
{
    programmer.start(image, size, targetProgram);
}

void proto_Vorlen_v2::programmingReply(uint32_t code)
{
    programmer.onReply(code);
}

void proto_Vorlen_v2::wireProgrammer()
{
    connect(&programmer, &FirmwareProgrammer::log, this, &proto_Vorlen_v2::log);
    connect(&programmer, &FirmwareProgrammer::runningChanged, this, &proto_Vorlen_v2::programmingChanged);
    connect(&programmer, &FirmwareProgrammer::progressed, this, &proto_Vorlen_v2::reportProgress);
}

void proto_Vorlen_v2::reportProgress(uint32_t done, uint32_t total, bool ok)
{
    // Stored as float first: for some step counts (2 and 7 pages) the double
    // quotient of the last step lands just below 100, its float rounding does not.
    const float percent = total == 0 ? 0.0f : static_cast<float>(done / (total / 100.0));
    emit cmd_program_progress(static_cast<uint8_t>(static_cast<int>(percent)), ok);
}

void proto_Vorlen_v2::stampFwConfig(uint32_t serial, uint8_t version, uint8_t day, uint8_t month, uint8_t year)
{
    le::put32(fwConfig + rec::fwcfg::kSerialNumber, serial);
    fwConfig[rec::fwcfg::kFwVersion] = version;
    fwConfig[rec::fwcfg::kBuildDay] = day;
    fwConfig[rec::fwcfg::kBuildMonth] = month;
    fwConfig[rec::fwcfg::kBuildYear] = year;
}

void proto_Vorlen_v2::portClosed()
{
    if (programmer.isRunning()) {
        finishProgramming(QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - порт закрыт, программирование прервано"));
        // Repeated into whatever port opens next, the run's page write would
        // land on a board nobody checked.
        stopCommand();
    } else if (replyTimer.isActive()) {
        // Any other request's repeats end too: a write repeated into the next
        // port opened would reach a board nobody chose for it.
        replyTimer.stop();
        attemptsLeft = 0;
        state = State::Idle;
        emit transactionEnded(pendingCmd);
    }
    forgetBoard();
    familyKnown = false;
}

void proto_Vorlen_v2::forgetBoard()
{
    std::memset(fwConfig, 0, sizeof fwConfig);
    fwConfigRead = false;
    ++session;
}

void proto_Vorlen_v2::watchBoard()
{
    connect(this, &proto_Vorlen_v2::cmd_fwConfig_updated, this, [this] { fwConfigRead = true; });
    // The family (tens of progMode) cannot change on a working board: a status
    // of the other family comes from another board.
    connect(this, &proto_Vorlen_v2::cmd_getInfo_received, this, [this] {
        const uint8_t now = devInfo.progMode / 10;
        if (familyKnown && now != family)
            forgetBoard();
        family = now;
        familyKnown = true;
    });
}
