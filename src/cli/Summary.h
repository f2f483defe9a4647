#pragma once
#include <QJsonObject>
#include <QList>
#include <QStringList>

class BoardSession;

// The end of a command's output: per-board report lines and the table of
// boards (port, board, result, time, retries, link health) with each
// board's result text below it.
namespace Summary {

QStringList reportLines(const QList<BoardSession*>& sessions);
QStringList table(const QList<BoardSession*>& sessions);
// The JSON result of a command with boards.
QJsonObject json(const QString& command, const QList<BoardSession*>& sessions, int exitCode);

} // namespace Summary
