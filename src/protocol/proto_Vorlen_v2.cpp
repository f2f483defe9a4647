#include "proto_Vorlen_v2.h"

#include <QDebug>

#include <algorithm>

#include "LittleEndian.h"

namespace {

constexpr int kReplyTimeoutMs = 1000;
constexpr uint32_t kTransmissions = 3;
constexpr int kSplitHoldMs = 100;

// Phrase after "Команда " when the mode gate refuses a command, and the
// program (units digit of progMode) the command needs.
struct GateRule {
    uint8_t code;
    uint8_t needs;   // 0 bootloader, 1 main program
    const char* phrase;
};

const GateRule kGateRules[] = {
    {rec::cmd::archiveControl, 1, "запуска и чтения статуса архива недоступна в режиме бутлоадера"},
    {rec::cmd::archiveData, 1, "запроса архивных данных недоступна в режиме бутлоадера"},
    {rec::cmd::setHwConfig, 0, "записи аппаратной конфигурации недоступна в режиме основной программы"},
    {rec::cmd::setUserData, 1, "записи пользовательских калибровочных данных недоступна в режиме бутлоадера"},
    {rec::cmd::getUserData, 1, "чтения пользовательских калибровочных данных недоступна в режиме бутлоадера"},
    {rec::cmd::flashWrite, 0, "записи прошивки недоступна в режиме основной программы"},
    {rec::cmd::flashRead, 0, "чтения прошивки недоступна в режиме основной программы"},
    {rec::cmd::setFwConfig, 0, "записи программной конфигурации недоступна в режиме основной программы"},
    {rec::cmd::bootloaderInit, 1, "запуска загрузчика невозможна. Уже загружено"},
    {rec::cmd::bootloaderFinish, 0, "запуска основной программы невозможна. Уже загружено"},
};

QString stopLine() { return QStringLiteral("СТОП - выполнение команды остановлено"); }

QString refusalText(uint32_t pending)
{
    switch (pending) {
    case rec::cmd::bootloaderInit:
        return QStringLiteral("ОТВЕТ МК - загрузчик уже запущен, или неверный формат команды");
    case rec::cmd::bootloaderFinish:
        return QStringLiteral("ОТВЕТ МК - основная программа уже запущена, или неверный формат команды");
    default:
        return QStringLiteral("ОТВЕТ МК - недопустимая команда, ошибка контрольной суммы, или формата запроса");
    }
}

} // namespace

proto_Vorlen_v2::proto_Vorlen_v2()
{
    replyTimer.setSingleShot(true);
    // The default coarse timer may fire up to 5 % late or early: a board
    // answering within its time could get a needless repeat.
    replyTimer.setTimerType(Qt::PreciseTimer);
    replyTimer.setInterval(kReplyTimeoutMs);
    connect(&replyTimer, &QTimer::timeout, this, &proto_Vorlen_v2::repeatCommand);

    assembler.setHoldTimeMs(kSplitHoldMs);
    assembler.setSink([this](const uint8_t* buf, uint32_t size) { processFrame(buf, size); });
    watchBoard();
    wireProgrammer();
    assembler.setRejectSink([this](const uint8_t* buf, uint32_t size) { reportRejected(buf, size); });
}

proto_Vorlen_v2::~proto_Vorlen_v2() = default;

void proto_Vorlen_v2::sendCommand(uint32_t code, const uint8_t* payload, uint32_t n)
{
    // One transaction slot: any other request would take the run's place, and
    // its reply would stop the run half-way with a half-written image.
    if (programmer.blocksOtherRequests()) {
        emit log(QStringLiteral("Идёт программирование: запрос не отправлен"));
        return;
    }
    // buildRequest refuses unknown codes and over-long frames before it
    // touches the frame, so a pending command keeps its frame and attempts.
    if (!buildRequest(code, payload, n))
        return;
    ++sendCount;
    // From now on the same bytes may be this request's own reply (a refusal
    // answers any request).
    if (!lastReply.empty() && (code == lastReply[3] || lastReply[3] == rec::frame::kRefusal))
        lastReplyMayRepeat = false;
    attemptsLeft = kTransmissions;
    pendingCmd = code;
    replyTimer.setInterval(kReplyTimeoutMs);
    repeatCommand();
}

void proto_Vorlen_v2::repeatCommand()
{
    replyTimer.stop();
    if (attemptsLeft > 0) {
        --attemptsLeft;
        replyTimer.start(kReplyTimeoutMs);
        emit _transmit_data(txFrame, txLength);
        emit log(QStringLiteral("Отправка команды, попытка %1").arg(kTransmissions - attemptsLeft));
        return;
    }
    emit log(QStringLiteral("ОШИБКА - Выполнение команды остановлено - исчерпаны попытки"));
    finishProgramming(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Завершено"));
}

void proto_Vorlen_v2::stopCommand()
{
    replyTimer.stop();
    attemptsLeft = 0;
    emit log(stopLine());
}

void proto_Vorlen_v2::finishProgramming(const QString& text)
{
    programmer.stop(text);
}

bool proto_Vorlen_v2::isCommandAvailable(uint32_t code)
{
    const uint8_t running = devInfo.progMode % 10;
    for (const GateRule& rule : kGateRules) {
        if (rule.code != code)
            continue;
        if (running == rule.needs)
            return true;
        const QString text = QStringLiteral("Команда ") + QString::fromUtf8(rule.phrase);
        if (gatePrompt)
            gatePrompt(text);
        else
            qDebug().noquote() << text;
        return false;
    }
    return true;
}

void proto_Vorlen_v2::parseReceived(uint8_t* buf, uint32_t size)
{
    assembler.feed(buf, size);
}

void proto_Vorlen_v2::reportRejected(const uint8_t* buf, uint32_t size)
{
    // Bytes that hold no frame are never decoded; the log names the first
    // check they fail. Cut out of a longer stream they may by chance pass
    // all three, and then it is their length that is wrong.
    if (frameChecksPass(buf, size))
        emit log(QStringLiteral("ОШИБКА - Длина посылки в протоколе не соответствует принятой"));
}

bool proto_Vorlen_v2::frameChecksPass(const uint8_t* buf, uint32_t size)
{
    // The checksum routine takes 16-bit lengths; a longer block cannot be a
    // frame and fails the length check below even if the CRC happens to match.
    if (!crc.check(buf, static_cast<uint16_t>(size))) {
        emit log(QStringLiteral("ОШИБКА - Неверная контрольная сумма принятых данных"));
        return false;
    }
    if (buf[0] != rec::frame::kStart) {
        emit log(QStringLiteral("ОШИБКА - Неверный заголовок посылки"));
        return false;
    }
    // A frame must at least reach its command code (byte 3).
    if (size < 4 || le::u16(buf + 1) != size) {
        emit log(QStringLiteral("ОШИБКА - Длина посылки в протоколе не соответствует принятой"));
        return false;
    }
    return true;
}

void proto_Vorlen_v2::processFrame(const uint8_t* buf, uint32_t size)
{
    if (!frameChecksPass(buf, size))
        return;
    const uint8_t code = buf[3];
    if (repeatsLastReply(buf, size)) {
        // Decoding it again could step a sequence that has moved on (the
        // programming run would take it for a wrong reply and stop).
        emit log(QStringLiteral("Принят повторный ответ на уже выполненную команду - пропущен"));
        return;
    }
    // Kept before decoding: a follow-up of the same code sent from a reply
    // signal (next archive block, next user-data chunk) may get these bytes.
    lastReply.assign(buf, buf + size);
    lastReplyMayRepeat = true;

    const uint32_t sendsBefore = sendCount;
    QString summary;
    if (code == pendingCmd) {
        summary = QStringLiteral("Принят ожидаемый ответ на команду - ") + decodeReply(buf, size);
    } else if (code == rec::frame::kRefusal) {
        summary = refusalText(pendingCmd);
    } else {
        const QString description = decodeReply(buf, size);
        summary = QStringLiteral("Принят неожидаемый ответ на другую команду") + QStringLiteral(" - ") + description;
    }
    emit log(summary);
    if (sendCount == sendsBefore) {
        stopCommand();
    } else {
        // A view answered the reply with its next request (archive block,
        // user-data chunk): that request keeps its time-out and repeats, so a
        // lost follow-up does not stall the transfer.
        emit log(stopLine());
    }
    programmer.onReply(code);
}

bool proto_Vorlen_v2::repeatsLastReply(const uint8_t* buf, uint32_t size) const
{
    return lastReplyMayRepeat && size == lastReply.size() && std::equal(lastReply.begin(), lastReply.end(), buf);
}
