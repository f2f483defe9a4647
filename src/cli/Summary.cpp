#include "Summary.h"

#include <QJsonArray>

#include <algorithm>

#include "BoardSession.h"
#include "BoardText.h"

namespace Summary {

namespace {

QString seconds(double s)
{
    return QString::number(s, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')) + QStringLiteral(" с");
}

QStringList row(const BoardSession* s)
{
    return {s->port(),
            s->statusKnown() ? BoardText::shortName(s->status()) : QStringLiteral("-"),
            s->succeeded() ? QStringLiteral("успешно") : QStringLiteral("ОШИБКА"),
            seconds(s->seconds()),
            QString::number(s->health().repeats()),
            s->health().summary()};
}

} // namespace

QStringList reportLines(const QList<BoardSession*>& sessions)
{
    QStringList out;
    for (const BoardSession* s : sessions) {
        if (s->report().isEmpty())
            continue;
        out << s->port() + QStringLiteral(":");
        for (const QString& line : s->report())
            out << QStringLiteral("  ") + line;
    }
    return out;
}

QStringList table(const QList<BoardSession*>& sessions)
{
    QList<QStringList> rows;
    rows << QStringList{QStringLiteral("Порт"),  QStringLiteral("Плата"),   QStringLiteral("Результат"),
                        QStringLiteral("Время"), QStringLiteral("Повторы"), QStringLiteral("Связь")};
    for (const BoardSession* s : sessions)
        rows << row(s);
    // Every column but the last is padded to its widest cell.
    QVector<int> width(rows.first().size(), 0);
    for (const QStringList& r : rows)
        for (int c = 0; c + 1 < r.size(); ++c)
            width[c] = std::max(width[c], static_cast<int>(r[c].size()));
    QStringList out;
    for (const QStringList& r : rows) {
        QString line;
        for (int c = 0; c < r.size(); ++c)
            line += c + 1 < r.size() ? r[c].leftJustified(width[c]) + QStringLiteral("  ") : r[c];
        out << line;
    }
    for (const BoardSession* s : sessions)
        out << s->port() + QStringLiteral(": ") + s->resultText();
    const auto good = std::count_if(sessions.begin(), sessions.end(), [](const BoardSession* s) { return s->succeeded(); });
    out << QStringLiteral("Успешно: %1 из %2").arg(good).arg(sessions.size());
    return out;
}

QJsonObject json(const QString& command, const QList<BoardSession*>& sessions, int exitCode)
{
    QJsonArray boards;
    for (const BoardSession* s : sessions)
        boards.append(s->toJson());
    return {{QStringLiteral("command"), command}, {QStringLiteral("exitCode"), exitCode}, {QStringLiteral("boards"), boards}};
}

} // namespace Summary
