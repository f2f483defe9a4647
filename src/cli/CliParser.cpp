#include "CliParser.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QSet>

namespace {

struct CommandSpec {
    const char* name;
    const char* synopsis;
    const char* summary;
    int minPorts;
    int maxPorts;        // -1: any number
    int positionals;     // files after the options
    const char* outOption;   // required output option, or null
    bool start;
    bool force;
};

const CommandSpec kCommands[] = {
    {"list", "rconf-cli list", "Список свободных портов, включая симуляторы плат, с описаниями.", 0, 0, 0, nullptr,
     false, false},
    {"info", "rconf-cli info --port PORT [--port PORT ...]", "Статус платы, как его показывает окно конфигуратора.", 1,
     -1, 0, nullptr, false, false},
    {"flash", "rconf-cli flash --port PORT [--port PORT ...] [--start] [--force] FILE.rbin",
     "Программирует плату (или несколько плат одновременно) файлом обновления с проверкой каждой страницы и "
     "конфигурации прошивки.",
     1, -1, 1, nullptr, true, true},
    {"backup", "rconf-cli backup --port PORT --out FILE.json",
     "Сохраняет аппаратную конфигурацию, конфигурацию прошивки и пользовательские калибровки платы в файл.", 1, 1, 0,
     "out", false, false},
    {"restore", "rconf-cli restore --port PORT [--force] FILE.json",
     "Восстанавливает записи платы из резервной копии и проверяет их чтением.", 1, 1, 1, nullptr, false, true},
    {"archive", "rconf-cli archive --port PORT --csv FILE.csv",
     "Загружает архив измерений платы и сохраняет его в CSV (UTF-8, разделитель «;», десятичная запятая).", 1, 1, 0,
     "csv", false, false},
};

const CommandSpec* findCommand(const QString& name)
{
    for (const CommandSpec& c : kCommands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

QString optionLines(const CommandSpec& c)
{
    QString t = QStringLiteral("Параметры:\n");
    if (c.maxPorts != 0)
        t += c.maxPorts == 1 ? QStringLiteral("  --port PORT    порт платы (имя из rconf-cli list или путь к устройству)\n")
                             : QStringLiteral("  --port PORT    порт платы; несколько --port - несколько плат сразу\n");
    if (c.outOption && QLatin1String(c.outOption) == QLatin1String("out"))
        t += QStringLiteral("  --out FILE     создаваемый файл резервной копии (JSON)\n");
    if (c.outOption && QLatin1String(c.outOption) == QLatin1String("csv"))
        t += QStringLiteral("  --csv FILE     создаваемый файл CSV\n");
    if (c.start)
        t += QStringLiteral("  --start        после программирования запустить основную программу\n");
    if (c.force && QLatin1String(c.name) == QLatin1String("flash"))
        t += QStringLiteral("  --force        записывать и старую или ту же версию прошивки\n");
    if (c.force && QLatin1String(c.name) == QLatin1String("restore"))
        t += QStringLiteral("  --force        восстанавливать и на плату с другим серийным номером\n");
    t += QStringLiteral("  --json         результат в JSON на стандартный вывод\n");
    if (c.maxPorts != 0)
        t += QStringLiteral("  --verbose      журнал обмена с платой на стандартный поток ошибок\n");
    t += QStringLiteral("  --help         эта справка\n");
    return t;
}

} // namespace

QStringList CliParser::commands()
{
    QStringList out;
    for (const CommandSpec& c : kCommands)
        out << QLatin1String(c.name);
    return out;
}

QString CliParser::helpText(const QString& command)
{
    if (const CommandSpec* c = findCommand(command))
        return QStringLiteral("Использование: ") + QString::fromUtf8(c->synopsis) + QStringLiteral("\n") +
               QString::fromUtf8(c->summary) + QStringLiteral("\n\n") + optionLines(*c);
    QString t = QStringLiteral("Использование: rconf-cli КОМАНДА [параметры]\n"
                               "Сервисный инструмент для плат Ворлен в командной строке.\n\nКоманды:\n");
    for (const CommandSpec& c : kCommands)
        t += QStringLiteral("  ") + QString::fromUtf8(c.synopsis) + QStringLiteral("\n");
    t += QStringLiteral("\nСправка по команде: rconf-cli КОМАНДА --help\n"
                        "Коды выхода: 0 - успешно, 1 - ошибка хотя бы одной платы, 2 - ошибка параметров или файла.\n");
    return t;
}

CliParser::Outcome CliParser::parse(const QStringList& arguments, CliOptions* o, QString* message)
{
    helpFor.clear();
    // Known before the rest is parsed: a usage error is reported in JSON too.
    o->json = arguments.contains(QStringLiteral("--json"));
    const QString name = arguments.value(1);
    if (name.isEmpty()) {
        *message = QStringLiteral("не задана команда");
        return Outcome::Error;
    }
    if (name == QLatin1String("--help") || name == QLatin1String("-h"))
        return Outcome::Help;
    const CommandSpec* c = findCommand(name);
    if (!c) {
        *message = QStringLiteral("неизвестная команда «%1»").arg(name);
        return Outcome::Error;
    }
    o->command = name;
    helpFor = name;

    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PORT"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    const QCommandLineOption start(QStringLiteral("start"));
    const QCommandLineOption force(QStringLiteral("force"));
    const QCommandLineOption out(QString::fromLatin1(c->outOption ? c->outOption : "out"), QString(),
                                 QStringLiteral("FILE"));
    p.addOptions({json, help});
    if (c->maxPorts != 0)
        p.addOptions({port, verbose});
    if (c->outOption)
        p.addOption(out);
    if (c->start)
        p.addOption(start);
    if (c->force)
        p.addOption(force);

    QStringList rest = arguments;
    rest.removeAt(1);
    if (!p.parse(rest)) {
        const QStringList unknown = p.unknownOptionNames();
        *message = unknown.isEmpty() ? QStringLiteral("ошибка в параметрах: ") + p.errorText()
                                     : QStringLiteral("неизвестный параметр --") + unknown.first();
        return Outcome::Error;
    }
    if (p.isSet(help))
        return Outcome::Help;
    o->json = p.isSet(json);
    o->verbose = c->maxPorts != 0 && p.isSet(verbose);
    o->start = c->start && p.isSet(start);
    o->force = c->force && p.isSet(force);
    if (c->maxPorts != 0)
        o->ports = p.values(port);

    const int ports = o->ports.size();
    if (ports < c->minPorts || (c->maxPorts >= 0 && ports > c->maxPorts)) {
        *message = c->maxPorts == 1 ? QStringLiteral("нужен ровно один параметр --port")
                                    : QStringLiteral("нужен хотя бы один параметр --port");
        return Outcome::Error;
    }
    // The same device twice (also through a link) would get two links and
    // two engines talking over each other.
    QSet<QString> seen;
    for (const QString& name : o->ports) {
        const QFileInfo info(name);
        const QString key = info.exists() ? info.canonicalFilePath() : name;
        if (seen.contains(key)) {
            *message = QStringLiteral("порт %1 указан дважды").arg(name);
            return Outcome::Error;
        }
        seen.insert(key);
    }
    if (c->outOption) {
        o->out = p.value(out);
        if (o->out.isEmpty()) {
            *message = QStringLiteral("не задан параметр --%1").arg(QLatin1String(c->outOption));
            return Outcome::Error;
        }
    }
    const QStringList files = p.positionalArguments();
    if (files.size() != c->positionals) {
        *message = c->positionals == 0 ? QStringLiteral("лишние параметры: %1").arg(files.join(QLatin1Char(' ')))
                                       : QStringLiteral("нужен ровно один файл");
        return Outcome::Error;
    }
    if (c->positionals == 1)
        o->file = files.first();
    return Outcome::Run;
}
