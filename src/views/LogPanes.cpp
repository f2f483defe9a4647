#include "LogPanes.h"

#include "WindowEvents.h"
#include "ui_MainWindow.h"

namespace {
const QString kStampFormat = QStringLiteral("yyyy.MM.dd hh:mm:ss.zzz ");
const QString kRequest = QStringLiteral("Запрос :");
const QString kReply = QStringLiteral("Ответ :");
const QString kBytes = QStringLiteral(" байт:");
} // namespace

LogPanes::LogPanes(const ViewContext& ctx, QObject* parent)
    : QObject(parent), ctx(ctx), hide(ctx.ui->hideLog_checkBox), logPane(ctx.ui->log_Edit),
      exchangePane(ctx.ui->exchange_PlainText)
{
}

QString LogPanes::stamp(int room)
{
    if (!clock)
        return systemStamp.now(room);
    QString s = clock().toString(kStampFormat);
    s.reserve(s.size() + room);
    return s;
}

void LogPanes::log(const QString& text)
{
    if (hide->isChecked())
        return;
    QString line = stamp(text.size());
    line += text;
    logPane.append(line);
}

void LogPanes::exchange(const uint8_t* data, uint32_t size, uint8_t dir)
{
    if (hide->isChecked())
        return;
    // Room for the heading, the size and three characters a byte.
    QString line = stamp(kRequest.size() + 10 + kBytes.size() + static_cast<int>(size) * 3);
    line += dir ? kRequest : kReply;
    line += QString::number(size);
    line += kBytes;
    // " aa 06 ..." written straight into the line's characters.
    static const char digits[] = "0123456789abcdef";
    const int head = line.size();
    line.resize(head + static_cast<int>(size) * 3);
    QChar* out = line.data() + head;
    for (uint32_t i = 0; i < size; ++i, out += 3) {
        out[0] = QLatin1Char(' ');
        out[1] = QLatin1Char(digits[data[i] >> 4]);
        out[2] = QLatin1Char(digits[data[i] & 0x0F]);
    }
    exchangePane.append(line);
}

void LogPanes::clear()
{
    logPane.clear();
    exchangePane.clear();
    emit ctx.events->logsCleared();
}

void LogPanes::flush()
{
    logPane.flush();
    exchangePane.flush();
}

void LogPanes::flushAfterReply()
{
    logPane.flushAfterReply();
    exchangePane.flushAfterReply();
}
