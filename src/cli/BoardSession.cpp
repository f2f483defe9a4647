#include "BoardSession.h"

#include "BoardLine.h"
#include "BoardText.h"
#include "Records.h"
#include "WaitTimes.h"

#include <algorithm>

namespace {

using BoardLine::kBaud;
using BoardLine::kDataBits;
using BoardLine::kParity;
using BoardLine::kStopBits;

// A request is given up by the engine after three attempts (about 3 s);
// this only catches a wait that nothing would ever end.
constexpr int kWatchdogReplyTimes = 12;
constexpr int kMaxTries = 3;

const QString kExpected = QStringLiteral("Принят ожидаемый ответ на команду");
const QString kUnexpected = QStringLiteral("Принят неожидаемый ответ на другую команду");
const QString kRefusal = QStringLiteral("ОТВЕТ МК - ");
const QString kGivenUp = QStringLiteral("ОШИБКА - Выполнение команды остановлено - исчерпаны попытки");
const QString kProgramming = QStringLiteral("ПРОГРАММИРОВАНИЕ::: ");

QString codeText(uint8_t code)
{
    return QStringLiteral("0x%1").arg(code, 2, 16, QLatin1Char('0'));
}

bool isSwitch(uint8_t code)
{
    return code == rec::cmd::bootloaderInit || code == rec::cmd::bootloaderFinish;
}

} // namespace

BoardSession::BoardSession(const QString& port, QObject* parent) : QObject(parent), portName(port)
{
    clock.start();
    linkHealth.attach(&proto);
    connect(&proto, &proto_Vorlen_v2::_transmit_data, this, [this](uint8_t* buf, uint32_t size) {
        link.send(buf, size);
    });
    connect(&link, &Oru_SerialPort::_data_recevied, this, [this](uint8_t* buf, uint32_t size) {
        proto.parseReceived(buf, size);
    });
    connect(&link, &Oru_SerialPort::portLost, this, &BoardSession::onPortLost);
    // The gate's refusal becomes the session's failure text, not a message box.
    proto.setGatePrompt([this](const QString& text) { gateText = text; });
    watchEngine();

    waitWatchdog.setSingleShot(true);
    waitWatchdog.setInterval(kWatchdogReplyTimes * WaitTimes::replyMs());
    connect(&waitWatchdog, &QTimer::timeout, this, [this] { failWait(QStringLiteral("нет ответа от платы")); });
    reopenTimer.setSingleShot(true);
    connect(&reopenTimer, &QTimer::timeout, this, &BoardSession::reopenAttempt);
}

BoardSession::~BoardSession()
{
    link.closePort();
}

void BoardSession::watchEngine()
{
    using P = proto_Vorlen_v2;
    connect(&proto, &P::log, this, &BoardSession::onEngineLog);
    connect(&proto, &P::cmd_getInfo_received, this, [this] { replyDecoded(rec::cmd::getInfo); });
    connect(&proto, &P::cmd_fwConfig_updated, this, [this] { replyDecoded(rec::cmd::getFwConfig); });
    connect(&proto, &P::cmd_hwConfig_readed, this, [this] { replyDecoded(rec::cmd::getHwConfig); });
    connect(&proto, &P::cmd_userData_readed, this, [this] { replyDecoded(rec::cmd::getUserData); });
    connect(&proto, &P::cmd_userData_sent, this, [this] { replyDecoded(rec::cmd::setUserData); });
    connect(&proto, &P::cmd_archiveControl_received, this, [this] { replyDecoded(rec::cmd::archiveControl); });
    connect(&proto, &P::cmd_ArchiveData_received, this, [this] { replyDecoded(rec::cmd::archiveData); });
    connect(&proto, &P::cmd_stat_received, this, [this] { replyDecoded(rec::cmd::statistics); });
    connect(&proto, &P::cmd_Reload_Request, this, [this] {
        if (wait.active && isSwitch(wait.code))
            replyDecoded(wait.code);
    });
}

// ---- requests ----------------------------------------------------------------

void BoardSession::ask(uint8_t code, const QByteArray& payload, Step next)
{
    await(code, [this, code, payload] {
        proto.sendCommand(code, reinterpret_cast<const uint8_t*>(payload.constData()),
                          static_cast<uint32_t>(payload.size()));
    }, std::move(next));
}

void BoardSession::await(uint8_t code, std::function<void()> send, Step next)
{
    if (finished)
        return;
    wait = Wait();
    wait.active = true;
    wait.code = code;
    wait.send = std::move(send);
    wait.next = std::move(next);
    waitWatchdog.start();
    wait.send();
}

void BoardSession::replyDecoded(uint8_t code)
{
    if (wait.active && wait.code == code)
        wait.decoded = true;
}

void BoardSession::onEngineLog(const QString& line)
{
    emit engineLog(line);
    if (line.startsWith(kProgramming))
        programmingLine = line.mid(kProgramming.size());
    if (!wait.active)
        return;
    // The reply's signal comes before its summary line: by then the record
    // is stored, or its decoding has failed. set_HW_Config has no signal.
    if (line.startsWith(kExpected)) {
        if (wait.decoded || wait.code == rec::cmd::setHwConfig)
            completeWait();
        else
            retryWait(QStringLiteral("ответ платы не разобран"));
    } else if (line.startsWith(kUnexpected)) {
        // The engine has ended the pending request on another reply.
        retryWait(QStringLiteral("плата отвечает на другие запросы"));
    } else if (line.startsWith(kRefusal)) {
        failWait(QStringLiteral("плата отказала: ") + line.mid(kRefusal.size()));
    } else if (line.startsWith(kGivenUp)) {
        failWait(QStringLiteral("нет ответа от платы"));
    }
}

void BoardSession::completeWait()
{
    Step next = std::move(wait.next);
    wait = Wait();
    waitWatchdog.stop();
    defer(next);
}

void BoardSession::retryWait(const QString& reason)
{
    if (++wait.tries >= kMaxTries) {
        failWait(reason);
        return;
    }
    wait.decoded = false;
    waitWatchdog.start();
    defer(wait.send);
}

void BoardSession::failWait(const QString& reason)
{
    if (!wait.active)
        return;
    const uint8_t code = wait.code;
    wait = Wait();
    waitWatchdog.stop();
    if (reconnecting) {
        retryReopen(reason);
        return;
    }
    fail(reason + QStringLiteral(" (запрос ") + codeText(code) + QStringLiteral(")"));
}

void BoardSession::defer(Step next)
{
    if (!next)
        return;
    QTimer::singleShot(0, this, [this, next] {
        if (!finished)
            next();
    });
}

// ---- opening and program switches ------------------------------------------------

int BoardSession::openLink()
{
    return link.openPort(portName, kBaud, kDataBits, kParity, kStopBits);
}

void BoardSession::connectBoard(Step next)
{
    setStage(QStringLiteral("открытие порта"));
    if (openLink() != 0) {
        fail(QStringLiteral("Ошибка открытия порта. ") + link.openFailureText());
        return;
    }
    setStage(QStringLiteral("запрос статуса"));
    ask(rec::cmd::getInfo, QByteArray(), [this, next] {
        firstStatus = proto.deviceInfo();
        haveStatus = true;
        next();
    });
}

void BoardSession::ensureProgram(bool bootloader, Step next)
{
    if (BoardText::isBootloader(proto.deviceInfo().progMode) == bootloader) {
        defer(next);
        return;
    }
    const uint8_t code = bootloader ? rec::cmd::bootloaderInit : rec::cmd::bootloaderFinish;
    gateText.clear();
    if (!proto.isCommandAvailable(code)) {
        fail(gateText);
        return;
    }
    wantBootloader = bootloader;
    afterSwitch = std::move(next);
    // From the answer on the board restarts: its port going away is expected.
    switching = true;
    setStage(bootloader ? QStringLiteral("переключение в загрузчик") : QStringLiteral("запуск основной программы"));
    ask(code, QByteArray(), [this] { beginReopen(); });
}

void BoardSession::beginReopen()
{
    switching = true;
    link.closePort();
    proto.portClosed();
    setStage(QStringLiteral("ожидание перезапуска платы"));
    reopenClock.start();
    reopenTimer.start(WaitTimes::retryMs());
}

void BoardSession::reopenAttempt()
{
    if (finished)
        return;
    ++reopens;
    const int result = openLink();
    if (result == 0) {
        reconnecting = true;
        setStage(QStringLiteral("запрос статуса после перезапуска"));
        ask(rec::cmd::getInfo, QByteArray(), [this] { afterReopen(); });
        return;
    }
    const qint64 elapsed = reopenClock.elapsed();
    const qint64 limitMs = WaitTimes::giveUpMs();
    if (elapsed < limitMs) {
        reopenTimer.start(static_cast<int>(std::min<qint64>(WaitTimes::retryMs(), limitMs - elapsed)));
        return;
    }
    fail(result == 3 ? QStringLiteral("Плата не появилась за 10 с после перезапуска")
                     : QStringLiteral("Ошибка открытия порта. ") + link.openFailureText());
}

void BoardSession::retryReopen(const QString& reason)
{
    // The port opened but the board did not answer (or went away again):
    // still restarting, so it is tried again while the time allows.
    reconnecting = false;
    link.closePort();
    proto.portClosed();
    if (reopenClock.elapsed() < WaitTimes::giveUpMs()) {
        reopenTimer.start(WaitTimes::retryMs());
        return;
    }
    fail(QStringLiteral("Плата не ответила за 10 с после перезапуска: ") + reason);
}

void BoardSession::afterReopen()
{
    reconnecting = false;
    switching = false;
    const DevInfo& now = proto.deviceInfo();
    // A type not set (0) is no contradiction: a restored configuration sets it.
    const bool otherType = now.devType != 0 && firstStatus.devType != 0 && now.devType != firstStatus.devType;
    if (now.progMode / 10 != firstStatus.progMode / 10 || otherType) {
        fail(QStringLiteral("После перезапуска на порту другая плата: ") + BoardText::shortName(now));
        return;
    }
    if (BoardText::isBootloader(now.progMode) != wantBootloader) {
        fail(wantBootloader ? QStringLiteral("Плата не перешла в загрузчик")
                            : QStringLiteral("Основная программа не запустилась, плата в загрузчике"));
        return;
    }
    Step next = std::move(afterSwitch);
    afterSwitch = nullptr;
    defer(next);
}

void BoardSession::onPortLost()
{
    if (finished)
        return;
    // The board restarting before its answer to the switch reached us.
    if (wait.active && isSwitch(wait.code)) {
        wait = Wait();
        waitWatchdog.stop();
        defer([this] { beginReopen(); });
        return;
    }
    if (reconnecting) {
        wait = Wait();
        waitWatchdog.stop();
        retryReopen(QStringLiteral("порт пропал"));
        return;
    }
    if (switching)
        return;
    fail(QStringLiteral("COM порт потерян: устройство отключено (этап: %1)").arg(stageText));
}

// ---- outcome -------------------------------------------------------------------

void BoardSession::setStage(const QString& text, int percent)
{
    if (text == stageText && percent == stagePercent)
        return;
    stageText = text;
    stagePercent = percent;
    emit progressed();
}

void BoardSession::succeed(const QString& text)
{
    if (finished)
        return;
    finished = true;
    ok = true;
    result = text;
    wrapUp();
}

void BoardSession::fail(const QString& text)
{
    if (finished)
        return;
    finished = true;
    ok = false;
    result = text.isEmpty() ? QStringLiteral("неизвестная ошибка") : text;
    wrapUp();
}

void BoardSession::wrapUp()
{
    endedAtMs = clock.elapsed();
    wait = Wait();
    waitWatchdog.stop();
    reopenTimer.stop();
    link.closePort();
    // Ends a programming run and any request still repeating.
    proto.portClosed();
    emit progressed();
    emit ended();
}

double BoardSession::seconds() const
{
    return static_cast<double>(endedAtMs >= 0 ? endedAtMs : clock.elapsed()) / 1000.0;
}

QJsonObject BoardSession::toJson() const
{
    QJsonObject o = extra;
    o.insert(QStringLiteral("port"), portName);
    o.insert(QStringLiteral("ok"), ok);
    o.insert(QStringLiteral("message"), result);
    o.insert(QStringLiteral("seconds"), qRound(seconds() * 1000.0) / 1000.0);
    o.insert(QStringLiteral("retries"), static_cast<qint64>(linkHealth.repeats()));
    o.insert(QStringLiteral("reopenAttempts"), reopens);
    if (haveStatus)
        o.insert(QStringLiteral("board"), BoardText::statusJson(proto.deviceInfo()));
    const double median = linkHealth.medianRoundTripMs();
    o.insert(QStringLiteral("health"),
             QJsonObject{{QStringLiteral("transmissions"), static_cast<qint64>(linkHealth.transmissions())},
                         {QStringLiteral("replies"), static_cast<qint64>(linkHealth.replies())},
                         {QStringLiteral("repeats"), static_cast<qint64>(linkHealth.repeats())},
                         {QStringLiteral("timeouts"), static_cast<qint64>(linkHealth.timeouts())},
                         {QStringLiteral("checksumErrors"), static_cast<qint64>(linkHealth.checksumErrors())},
                         {QStringLiteral("medianRoundTripMs"), median < 0 ? QJsonValue() : QJsonValue(median)}});
    return o;
}
