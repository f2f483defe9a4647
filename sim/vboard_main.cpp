// vboard: a simulated board on a pseudo-terminal, for trying the configurator,
// training and reproducing faults without a real board.
#include "BoardServer.h"
#include "CommandLine.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace vboard;

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    (void)ignored;
}

void say(const QString& text)
{
    std::fprintf(stderr, "vboard: %s\n", text.toUtf8().constData()); // Russian texts: always UTF-8
    std::fflush(stderr);
}

// SIGINT and SIGTERM end the event loop through a socket pair, so the
// server is destroyed normally and removes its link.
bool installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &sa, nullptr) == 0 && ::sigaction(SIGTERM, &sa, nullptr) == 0;
}

void runCommand(BoardServer& server, const QByteArray& line)
{
    const QByteArray command = line.trimmed();
    if (command.isEmpty())
        return;
    if (command == "silent") {
        server.setAnswering(false);
        say(QStringLiteral("ответы отключены"));
    } else if (command == "answer") {
        server.setAnswering(true);
        say(QStringLiteral("ответы включены"));
    } else if (command == "disconnect") {
        server.disconnectNow();
        say(QStringLiteral("плата отключена"));
    } else if (command == "reconnect") {
        server.reconnect();
        say(QStringLiteral("плата подключена: ") + server.linkPath());
    } else if (command == "duplicate") {
        server.duplicateNextReply();
        say(QStringLiteral("следующий ответ будет отправлен дважды"));
    } else if (command == "join") {
        server.joinNextReply();
        say(QStringLiteral("следующий ответ будет отправлен вместе с ответом после него"));
    } else {
        say(QStringLiteral("неизвестная команда: %1 (silent, answer, disconnect, reconnect, duplicate, join)")
                .arg(QString::fromLocal8Bit(command)));
    }
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    BoardServer::Options options;
    QString message;
    switch (CommandLine().parse(app.arguments(), &options, &message)) {
    case CommandLine::Outcome::Help:
        std::fputs(CommandLine::helpText().toUtf8().constData(), stdout);
        return 0;
    case CommandLine::Outcome::Error:
        say(message);
        say(QStringLiteral("справка: vboard --help"));
        return 2;
    case CommandLine::Outcome::Run:
        break;
    }
    if (!installSignalHandlers()) {
        say(QStringLiteral("не удалось установить обработчики сигналов"));
        return 1;
    }
    ::signal(SIGPIPE, SIG_IGN);

    BoardServer server(options);
    QString error;
    if (!server.start(&error)) {
        say(error);
        return 1;
    }
    std::fprintf(stdout, "%s\n", QFile::encodeName(server.linkPath()).constData());
    std::fflush(stdout);

    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte;
        const ssize_t ignored = ::read(signalPipe[0], &byte, 1);
        (void)ignored;
        app.quit();
    });

    QByteArray pendingInput;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input.setEnabled(false); // end of input: keep serving
            return;
        }
        pendingInput.append(buf, static_cast<int>(n));
        int newline;
        while ((newline = pendingInput.indexOf('\n')) >= 0) {
            runCommand(server, pendingInput.left(newline));
            pendingInput.remove(0, newline + 1);
        }
        if (pendingInput.size() > 4096)
            pendingInput.clear();
    });

    QObject::connect(&server, &BoardServer::restarted, &app, [&] {
        say(QStringLiteral("перезапуск завершён, работает ") + programNameRu(server.board().program()));
    });
    QObject::connect(&server, &BoardServer::stateSaveFailed, &app, [](const QString& why) { say(why); });
    return app.exec();
}
