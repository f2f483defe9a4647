#pragma once
#include "BoardServer.h"

#include <QStringList>

namespace vboard {

// The vboard program's options, parsed into the server's options.
class CommandLine
{
public:
    enum class Outcome { Run, Help, Error };
    Outcome parse(const QStringList& arguments, BoardServer::Options* options, QString* message);
    static QString helpText();
};

} // namespace vboard
