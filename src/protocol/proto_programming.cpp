#include "proto_Vorlen_v2.h"

#include <cstring>

#include "LittleEndian.h"

namespace {

constexpr uint32_t kPage = rec::flash::kPageSize;
// The configuration record keeps the image length in 16 bits.
constexpr uint32_t kMaxImage = 0xFFFF;

QString progLine(const QString& text)
{
    return QStringLiteral("ПРОГРАММИРОВАНИЕ::: ") + text;
}

} // namespace

void proto_Vorlen_v2::startProgramming(const uint8_t* image, uint32_t size, int targetProgram)
{
    // Only whole pages can be written and verified, and the length must fit
    // the configuration record; anything else would leave a board whose
    // record does not describe what was written.
    if (image == nullptr || size == 0) {
        refuseImage(progLine(QStringLiteral("ОШИБКА - образ прошивки пуст")));
        return;
    }
    if (size % kPage != 0) {
        refuseImage(progLine(QStringLiteral("ОШИБКА - размер образа прошивки не кратен 1024 байтам")));
        return;
    }
    if (size > kMaxImage) {
        refuseImage(progLine(QStringLiteral("ОШИБКА - размер образа прошивки больше 65535 байт")));
        return;
    }
    watchReadBacks();

    fwSize = size;
    fwPages = static_cast<uint8_t>(size / kPage);
    fwImage = image;
    runTarget = targetProgram;
    progSteps = 2u * fwPages + 3u;
    setProgramming(true);
    progPercent = 0;
    progDone = 0;
    emit cmd_program_progress(0, true);

    progState = rec::cmd::getInfo;
    statusFresh = false;
    sendStep(rec::cmd::getInfo, nullptr, 0);
}

void proto_Vorlen_v2::refuseImage(const QString& text)
{
    // A refused start also ends a run that was still going on.
    setProgramming(false);
    emit log(text);
    emit cmd_program_progress(0, false);
}

void proto_Vorlen_v2::setProgramming(bool on)
{
    if (programming == on)
        return;
    programming = on;
    emit programmingChanged(on);
}

void proto_Vorlen_v2::sendStep(uint32_t code, const uint8_t* payload, uint32_t n)
{
    sequencerSending = true;
    sendCommand(code, payload, n);
    sequencerSending = false;
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
    if (programming) {
        finishProgramming(progLine(QStringLiteral("ОШИБКА - порт закрыт, программирование прервано")));
        // Repeated into whatever port opens next, the run's page write would
        // land on a board nobody checked.
        stopCommand();
    } else if (replyTimer.isActive()) {
        // Any other request's repeats end too: a write repeated into the next
        // port opened would reach a board nobody chose for it.
        replyTimer.stop();
        attemptsLeft = 0;
        state = State::Idle;
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

void proto_Vorlen_v2::watchReadBacks()
{
    if (readBacksWatched)
        return;
    readBacksWatched = true;
    // The page data of a read reply follows its page number (frame + 5 after
    // frame byte 4), so a late reply for another page cannot stand in.
    connect(this, &proto_Vorlen_v2::cmd_fwPage_readed, this, [this](uint8_t* data, uint32_t size) {
        pageReadFresh = size >= kPage && data[-1] == static_cast<uint8_t>(pageIndex & 0xFF);
    });
    connect(this, &proto_Vorlen_v2::cmd_fwConfig_updated, this, [this] { fwConfigFresh = true; });
    connect(this, &proto_Vorlen_v2::cmd_getInfo_received, this, [this] { statusFresh = true; });
}

void proto_Vorlen_v2::programmingReply(uint32_t code)
{
    if (!programming)
        return;
    if (code != progState) {
        finishProgramming(progLine(QStringLiteral("ОШИБКА - принят неожидаемый ответ")));
        return;
    }

    switch (progState) {
    case rec::cmd::getInfo:
        // A status reply too short to be decoded proves nothing about the
        // running program; the status of an earlier reply must not stand in.
        if (!statusFresh) {
            finishProgramming(progLine(QStringLiteral("ОШИБКА - статус устройства не получен, режим бутлоадера не проверен")));
            progressStep(false);
            return;
        }
        if (devInfo.progMode % 10 != 0) {
            finishProgramming(progLine(QStringLiteral("ОШИБКА - не установлен режим бутлоадера. Запустите программму "
                                                      "бутлоадера командой во вкладке ОБЩЕЕ")));
            progressStep(false);
            return;
        }
        // The file was checked when it was chosen; the board answering now
        // may be another one.
        if (runTarget != kAnyProgram && static_cast<uint32_t>(runTarget) - 1u != devInfo.progMode) {
            finishProgramming(progLine(QStringLiteral("ОШИБКА - файл обновления не предназначен для подключённого "
                                                      "устройства, запись не начата")));
            progressStep(false);
            return;
        }
        emit log(progLine(QStringLiteral("Режим бутлоадера проверен")));
        progState = rec::cmd::flashWrite;
        progressStep(true);
        pageIndex = 0;
        bytesDone = kPage;
        sendPageWrite();
        emit log(progLine(QStringLiteral("Старт программирования, запись страницы 0")));
        return;

    case rec::cmd::flashWrite: {
        emit log(progLine(QStringLiteral("Успешно записана %1 страница памяти. Всего :%2 байт").arg(pageIndex).arg(bytesDone)));
        progressStep(true);
        progState = rec::cmd::flashRead;
        const uint8_t page = static_cast<uint8_t>(pageIndex & 0xFF);
        pageReadFresh = false;
        sendStep(rec::cmd::flashRead, &page, 1);
        return;
    }

    case rec::cmd::flashRead: {
        emit log(progLine(QStringLiteral("Успешно прочитана %1 страница памяти").arg(pageIndex)));
        const uint8_t* expected = fwImage + pageIndex * kPage;
        // The checksum comparison is backed by a byte comparison, so two
        // different pages with the same CRC cannot pass.
        const bool same = pageReadFresh && crc.calc(expected, kPage) == crc.calc(pageBuf, kPage) &&
                          std::memcmp(expected, pageBuf, kPage) == 0;
        if (!same) {
            finishProgramming(progLine(QStringLiteral("Ошибка верификации")));
            progressStep(false);
            return;
        }
        progressStep(true);
        emit log(progLine(QStringLiteral("Верификация страницы %1 успешной пройдена").arg(pageIndex)));
        bytesDone += kPage;
        pageIndex += 1;
        if (pageIndex < fwSize / kPage) {
            progState = rec::cmd::flashWrite;
            sendPageWrite();
            emit log(progLine(QStringLiteral("Старт программирования, запись страницы %1").arg(pageIndex)));
        } else {
            startConfigWrite();
        }
        return;
    }

    case rec::cmd::setFwConfig:
        emit log(progLine(QStringLiteral("Успешная запись конфигурации")));
        std::memcpy(fwConfigNew, fwConfig, sizeof fwConfigNew);
        progressStep(true);
        progState = rec::cmd::getFwConfig;
        fwConfigFresh = false;
        sendStep(rec::cmd::getFwConfig, nullptr, 0);
        emit log(progLine(QStringLiteral("Запрос на верификацию программной конфигурации")));
        return;

    case rec::cmd::getFwConfig:
        emit log(progLine(QStringLiteral("Успешное чтение конфигурации")));
        if (fwConfigFresh && std::memcmp(fwConfigNew, fwConfig, sizeof fwConfigNew) == 0) {
            progressStep(true);
            finishProgramming(progLine(QStringLiteral("Запись программы и верификация пройдены успешно!")));
        } else {
            finishProgramming(progLine(QStringLiteral("Верификация программной конфигурации не пройдена!")));
            progressStep(false);
        }
        return;

    default:
        // progState only ever holds the codes above.
        finishProgramming(progLine(QStringLiteral("ОШИБКА - принят неожидаемый ответ")));
        return;
    }
}

void proto_Vorlen_v2::progressStep(bool ok)
{
    progDone += 1;
    // Stored as float first: for some page counts the double quotient of the
    // last step lands just below 100, its float rounding does not.
    progPercent = static_cast<float>(progDone / (progSteps / 100.0));
    emit cmd_program_progress(static_cast<uint8_t>(static_cast<int>(progPercent)), ok);
}

void proto_Vorlen_v2::sendPageWrite()
{
    uint8_t payload[1 + kPage];
    payload[0] = static_cast<uint8_t>(pageIndex & 0xFF);
    std::memcpy(payload + 1, fwImage + pageIndex * kPage, kPage);
    sendStep(rec::cmd::flashWrite, payload, sizeof payload);
}

void proto_Vorlen_v2::startConfigWrite()
{
    const uint16_t length = static_cast<uint16_t>(fwSize);
    const uint16_t imageCrc = crc.calc(fwImage, length);
    le::put16(fwConfig + rec::fwcfg::kFwCrc, imageCrc);
    le::put16(fwConfig + rec::fwcfg::kFwLength, length);
    // The "х" before the number is Cyrillic (U+0445), not a Latin x.
    emit log(progLine(QStringLiteral("Контрольная сумма прошивки файла равна: 0х") + QString::number(imageCrc, 16)));
    progState = rec::cmd::setFwConfig;
    sendStep(rec::cmd::setFwConfig, fwConfig, rec::fwcfg::kSize);
    emit log(progLine(QStringLiteral("Запрос на запись программной конфигурации")));
}
