#include "ProgressView.h"

#include "BoardSession.h"

#include <algorithm>

namespace {
constexpr int kBarWidth = 30;
constexpr int kRedrawMs = 100;
} // namespace

ProgressView::ProgressView(QTextStream& stream, bool isTerminal, int width, QObject* parent)
    : QObject(parent), out(stream), terminal(isTerminal), columns(width > 10 ? width : 80)
{
    redrawTimer.setSingleShot(true);
    redrawTimer.setInterval(kRedrawMs);
    connect(&redrawTimer, &QTimer::timeout, this, [this] { redraw(); });
}

void ProgressView::add(BoardSession* session)
{
    const int index = rows.size();
    rows.append(Row{session, QString(), -1, false});
    portWidth = std::max(portWidth, static_cast<int>(session->port().size()));
    connect(session, &BoardSession::progressed, this, [this, index] { update(index); });
}

void ProgressView::update(int row)
{
    if (!terminal) {
        printPlain(rows[row]);
        return;
    }
    if (!redrawTimer.isActive())
        redrawTimer.start();
}

QString ProgressView::barLine(const BoardSession* s) const
{
    const int percent = s->isFinished() && s->succeeded() ? 100 : s->percent();
    const int filled = percent < 0 ? 0 : percent * kBarWidth / 100;
    QString bar = QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('.'));
    QString tail = s->isFinished() ? (s->succeeded() ? QStringLiteral("готово") : QStringLiteral("ОШИБКА: ") + s->resultText())
                                   : s->stage();
    const QString percentText = percent < 0 ? QStringLiteral("    ") : QStringLiteral("%1%").arg(percent, 3);
    const QString line = s->port().leftJustified(portWidth) + QStringLiteral("  [") + bar + QStringLiteral("] ") +
                         percentText + QStringLiteral("  ") + tail;
    return line.left(columns - 1);
}

void ProgressView::redraw()
{
    if (drawnLines > 0)
        out << "\x1b[" << drawnLines << "A";
    for (const Row& r : rows)
        out << "\r\x1b[2K" << barLine(r.session) << "\n";
    drawnLines = rows.size();
    out.flush();
}

void ProgressView::printPlain(Row& row)
{
    const BoardSession* s = row.session;
    if (s->isFinished()) {
        if (!row.endShown)
            out << s->port() << ": "
                << (s->succeeded() ? QStringLiteral("готово") : QStringLiteral("ОШИБКА: ") + s->resultText()) << "\n";
        row.endShown = true;
        out.flush();
        return;
    }
    const int tenth = s->percent() < 0 ? -1 : s->percent() / 10;
    if (s->stage() == row.lastStage && tenth == row.lastTenth)
        return;
    row.lastStage = s->stage();
    row.lastTenth = tenth;
    out << s->port() << ": " << s->stage();
    if (s->percent() >= 0)
        out << " " << s->percent() << "%";
    out << "\n";
    out.flush();
}

void ProgressView::finish()
{
    redrawTimer.stop();
    if (terminal)
        redraw();
    else
        for (Row& r : rows)
            printPlain(r);
}
