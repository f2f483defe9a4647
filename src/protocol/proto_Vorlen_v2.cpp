#include "proto_Vorlen_v2.h"

#include <QLoggingCategory>

#include <algorithm>

#include "CommandTable.h"
#include "FrameCodec.h"
#include "WaitTimes.h"

Q_LOGGING_CATEGORY(lcProto, "rconf.proto")

namespace {

constexpr uint32_t kTransmissions = 3;
constexpr int kSplitHoldMs = 100;

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
    replyTimer.setInterval(WaitTimes::replyMs());
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
    state = State::AwaitingReply;
    // From now on the same bytes may be this request's own reply (a refusal
    // answers any request).
    if (!lastReply.empty()) {
        const uint8_t lastCode = FrameCodec::code(lastReply.data());
        if (code == lastCode || lastCode == rec::frame::kRefusal)
            lastReplyMayRepeat = false;
    }
    attemptsLeft = kTransmissions;
    pendingCmd = code;
    replyTimer.setInterval(WaitTimes::replyMs());
    repeatCommand();
}

void proto_Vorlen_v2::repeatCommand()
{
    replyTimer.stop();
    if (attemptsLeft > 0) {
        --attemptsLeft;
        replyTimer.start(WaitTimes::replyMs());
        emit _transmit_data(txFrame, txLength);
        emit log(QStringLiteral("Отправка команды, попытка %1").arg(kTransmissions - attemptsLeft));
        return;
    }
    state = State::Idle;
    emit log(QStringLiteral("ОШИБКА - Выполнение команды остановлено - исчерпаны попытки"));
    finishProgramming(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Завершено"));
    emit transactionEnded(pendingCmd);
}

void proto_Vorlen_v2::stopCommand()
{
    replyTimer.stop();
    attemptsLeft = 0;
    state = State::Idle;
    emit log(stopLine());
    emit transactionEnded(pendingCmd);
}

void proto_Vorlen_v2::finishProgramming(const QString& text)
{
    programmer.stop(text);
}

bool proto_Vorlen_v2::isCommandAvailable(uint32_t code)
{
    const CommandTable::Row* row = CommandTable::find(code);
    if (!row || row->needs == CommandTable::Needs::Any)
        return true;
    const uint8_t running = devInfo.progMode % 10;
    if (running == (row->needs == CommandTable::Needs::Main ? 1 : 0))
        return true;
    const QString text = QStringLiteral("Команда ") + QString::fromUtf8(row->refusal);
    if (gatePrompt)
        gatePrompt(text);
    else
        qCDebug(lcProto).noquote() << text;
    return false;
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
    switch (FrameCodec::firstFault(buf, size)) {
    case FrameCodec::Fault::Checksum:
        emit log(QStringLiteral("ОШИБКА - Неверная контрольная сумма принятых данных"));
        break;
    case FrameCodec::Fault::Start:
        emit log(QStringLiteral("ОШИБКА - Неверный заголовок посылки"));
        break;
    default:
        emit log(QStringLiteral("ОШИБКА - Длина посылки в протоколе не соответствует принятой"));
        break;
    }
}

void proto_Vorlen_v2::processFrame(const uint8_t* buf, uint32_t size)
{
    // The assembler hands on only whole frames that passed every check.
    const uint8_t code = FrameCodec::code(buf);
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

    state = State::Decoding;
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
    if (state == State::Decoding) {
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
