#include "LinkHealth.h"

#include "proto_Vorlen_v2.h"

#include <algorithm>

namespace {
const QString kReplyExpected = QStringLiteral("Принят ожидаемый ответ на команду");
const QString kReplyOther = QStringLiteral("Принят неожидаемый ответ на другую команду");
const QString kRefusal = QStringLiteral("ОТВЕТ МК - ");
const QString kTimeout = QStringLiteral("ОШИБКА - Выполнение команды остановлено - исчерпаны попытки");
const QString kChecksum = QStringLiteral("ОШИБКА - Неверная контрольная сумма принятых данных");
} // namespace

LinkHealth::LinkHealth(QObject* parent) : QObject(parent), fine(kFineSteps, 0) {}

void LinkHealth::attach(proto_Vorlen_v2* engine)
{
    connect(engine, &proto_Vorlen_v2::_transmit_data, this,
            [this](uint8_t* buf, uint32_t size) { noteTransmission(buf, size); });
    connect(engine, &proto_Vorlen_v2::log, this, &LinkHealth::noteLogLine);
}

void LinkHealth::reset()
{
    sent = answered = repeated = givenUp = badChecksums = samples = 0;
    lastFrame.clear();
    awaitingReply = false;
    std::fill(fine.begin(), fine.end(), 0u);
    slow.clear();
    emit changed();
}

void LinkHealth::noteTransmission(const uint8_t* frame, uint32_t size)
{
    ++sent;
    if (awaitingReply && lastFrame.size() == size && std::equal(lastFrame.begin(), lastFrame.end(), frame))
        ++repeated;
    lastFrame.assign(frame, frame + size);
    awaitingReply = true;
    sinceTransmission.start();
    emit changed();
}

void LinkHealth::noteLogLine(const QString& line)
{
    if (line.startsWith(kReplyExpected) || line.startsWith(kReplyOther) || line.startsWith(kRefusal)) {
        noteReply();
    } else if (line.startsWith(kTimeout)) {
        ++givenUp;
        awaitingReply = false;
    } else if (line.startsWith(kChecksum)) {
        ++badChecksums;
    } else {
        return;
    }
    emit changed();
}

void LinkHealth::noteReply()
{
    ++answered;
    if (!awaitingReply)
        return;   // a late reply after the give-up: no round trip to time
    awaitingReply = false;
    const double ms = static_cast<double>(sinceTransmission.nsecsElapsed()) / 1e6;
    const uint32_t step = static_cast<uint32_t>(ms * 10.0);
    if (step < kFineSteps)
        ++fine[step];
    else
        slow.push_back(ms);
    ++samples;
}

double LinkHealth::medianRoundTripMs() const
{
    if (samples == 0)
        return -1.0;
    // The lower median: the sample at rank (n - 1) / 2, counted from the fastest.
    uint64_t rank = (samples - 1) / 2;
    for (uint32_t step = 0; step < kFineSteps; ++step) {
        if (rank < fine[step])
            return (step + 0.5) / 10.0;   // middle of its 0.1 ms step
        rank -= fine[step];
    }
    std::vector<double> sorted = slow;
    std::sort(sorted.begin(), sorted.end());
    return sorted[static_cast<size_t>(rank)];
}

QString LinkHealth::summary() const
{
    const double median = medianRoundTripMs();
    const QString medianText =
        median < 0 ? QStringLiteral("нет")
                   : QString::number(median, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')) + QStringLiteral(" мс");
    return QStringLiteral("ответов %1, повторов %2, тайм-аутов %3, ошибок CRC %4, медиана %5")
        .arg(answered)
        .arg(repeated)
        .arg(givenUp)
        .arg(badChecksums)
        .arg(medianText);
}
