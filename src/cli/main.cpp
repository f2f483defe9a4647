// rconf-cli: the board service tool on the command line - several boards
// programmed at once, backups, archives. `rconf-cli --help` lists the commands.
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

#include "CliApp.h"

namespace {

int terminalColumns()
{
    winsize size{};
    return ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

void useUtf8(QTextStream& stream)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    stream.setCodec("UTF-8");   // Russian texts always go out in UTF-8
#else
    stream.setEncoding(QStringConverter::Utf8);
#endif
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rconf-cli"));
    // The link's debug lines are for developers; --verbose shows the exchange.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    useUtf8(out);
    useUtf8(err);

    Console console;
    console.out = &out;
    console.err = &err;
    console.outTerminal = ::isatty(STDOUT_FILENO) != 0;
    console.errTerminal = ::isatty(STDERR_FILENO) != 0;
    console.columns = terminalColumns();

    CliApp cli(console);
    QObject::connect(&cli, &CliApp::finished, &app, [&app](int code) { app.exit(code); });
    const int code = cli.start(app.arguments());
    if (code >= 0)
        return code;
    return app.exec();
}
