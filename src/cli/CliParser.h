#pragma once
#include "CliOptions.h"

#include <QString>
#include <QStringList>

// Parses rconf-cli's command line: a command, then its options. Every
// command has its own Russian help text.
class CliParser
{
public:
    enum class Outcome { Run, Help, Error };

    // arguments[0] is the program name. On Help, helpCommand() names the
    // command whose help was asked for (empty: the general help).
    Outcome parse(const QStringList& arguments, CliOptions* options, QString* message);
    QString helpCommand() const { return helpFor; }

    static QStringList commands();
    static QString helpText(const QString& command = QString());

private:
    QString helpFor;
};
