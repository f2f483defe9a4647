#include "CommandLine.h"

#include <QCommandLineParser>

namespace vboard {

QString CommandLine::helpText()
{
    return QStringLiteral(
        "Использование: vboard [параметры]\n"
        "Симулятор платы: отвечает как плата по протоколу Vorlen_v2 через псевдотерминал.\n"
        "Первая строка стандартного вывода - путь ссылки на порт платы.\n"
        "\n"
        "Параметры:\n"
        "  --type physics|chemistry|ecology|biology|photocolorimeter   тип платы (по умолчанию physics)\n"
        "  --program boot|main   запущенная программа (по умолчанию main)\n"
        "  --link PATH           путь символической ссылки на порт (по умолчанию в папке обнаружения,\n"
        "                        имя vboard-<тип>)\n"
        "  --restart-ms N        пауза перезапуска после bootloader_init / bootloader_finish, мс (800)\n"
        "  --drop P              вероятность потерять ответ, 0..1\n"
        "  --corrupt P           вероятность испортить один байт ответа, 0..1\n"
        "  --split               отправлять каждый ответ 2-4 частями с паузами в несколько мс\n"
        "  --duplicate P         вероятность отправить ответ дважды одной записью, 0..1\n"
        "  --join P              вероятность придержать ответ и отправить его одной записью\n"
        "                        вместе со следующим ответом, 0..1\n"
        "  --delay MS            задержка каждого ответа, мс\n"
        "  --baud N              ограничить скорость как у UART N бод (8N1, 10 бит на байт)\n"
        "  --fail-page N         отказывать (0xFF) в записи страницы программы N, 0..63\n"
        "  --seed N              начальное значение генератора (сбои и показания повторяемы)\n"
        "  --state FILE          файл памяти платы: страницы программы, конфигурации, пользовательские\n"
        "                        данные, статистика, имя BLE; сохраняется между запусками\n"
        "  --help                эта справка\n"
        "\n"
        "Команды со стандартного ввода, по одной в строке:\n"
        "  silent      перестать отвечать (запросы читаются и отбрасываются)\n"
        "  answer      снова отвечать\n"
        "  disconnect  плата пропадает: псевдотерминал закрыт, ссылка удалена\n"
        "  reconnect   плата появляется снова по тому же пути\n"
        "  duplicate   следующий ответ отправить дважды одной записью\n"
        "  join        следующий ответ придержать и отправить вместе с ответом после него\n"
        "\n"
        "Работает до SIGINT или SIGTERM, затем удаляет ссылку и запись обнаружения.\n");
}

CommandLine::Outcome CommandLine::parse(const QStringList& arguments, BoardServer::Options* o, QString* message)
{
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption type(QStringLiteral("type"), QString(), QStringLiteral("TYPE"));
    const QCommandLineOption program(QStringLiteral("program"), QString(), QStringLiteral("PROGRAM"));
    const QCommandLineOption link(QStringLiteral("link"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption restart(QStringLiteral("restart-ms"), QString(), QStringLiteral("N"));
    const QCommandLineOption drop(QStringLiteral("drop"), QString(), QStringLiteral("P"));
    const QCommandLineOption corrupt(QStringLiteral("corrupt"), QString(), QStringLiteral("P"));
    const QCommandLineOption split(QStringLiteral("split"));
    const QCommandLineOption duplicate(QStringLiteral("duplicate"), QString(), QStringLiteral("P"));
    const QCommandLineOption join(QStringLiteral("join"), QString(), QStringLiteral("P"));
    const QCommandLineOption delay(QStringLiteral("delay"), QString(), QStringLiteral("MS"));
    const QCommandLineOption baud(QStringLiteral("baud"), QString(), QStringLiteral("N"));
    const QCommandLineOption seed(QStringLiteral("seed"), QString(), QStringLiteral("N"));
    const QCommandLineOption failPage(QStringLiteral("fail-page"), QString(), QStringLiteral("N"));
    const QCommandLineOption state(QStringLiteral("state"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    p.addOptions({type, program, link, restart, drop, corrupt, split, duplicate, join, delay, baud, seed, failPage, state,
                  help});
    if (!p.parse(arguments)) {
        *message = QStringLiteral("Ошибка в параметрах: ") + p.errorText();
        return Outcome::Error;
    }
    if (p.isSet(help))
        return Outcome::Help;
    if (!p.positionalArguments().isEmpty()) {
        *message = QStringLiteral("Лишние параметры: ") + p.positionalArguments().join(QLatin1Char(' '));
        return Outcome::Error;
    }
    if (p.isSet(type) && !parseTypeKey(p.value(type), &o->type)) {
        *message = QStringLiteral("Неизвестный тип платы: %1").arg(p.value(type));
        return Outcome::Error;
    }
    if (p.isSet(program)) {
        const QString v = p.value(program);
        if (v != QLatin1String("boot") && v != QLatin1String("main")) {
            *message = QStringLiteral("Программа должна быть boot или main, а не %1").arg(v);
            return Outcome::Error;
        }
        o->program = v == QLatin1String("boot") ? Program::Bootloader : Program::Main;
    }
    if (p.isSet(link))
        o->linkPath = p.value(link);
    auto integer = [&](const QCommandLineOption& opt, long long low, long long high, long long* out) {
        if (!p.isSet(opt))
            return true;
        bool ok = false;
        const long long v = p.value(opt).toLongLong(&ok);
        if (!ok || v < low || v > high) {
            *message = QStringLiteral("Недопустимое значение --%1: %2 (допустимо от %3 до %4)")
                           .arg(opt.names().first(), p.value(opt))
                           .arg(low)
                           .arg(high);
            return false;
        }
        *out = v;
        return true;
    };
    auto probability = [&](const QCommandLineOption& opt, double* out) {
        if (!p.isSet(opt))
            return true;
        bool ok = false;
        const double v = p.value(opt).toDouble(&ok);
        if (!ok || !(v >= 0.0 && v <= 1.0)) {
            *message = QStringLiteral("Недопустимая вероятность --%1: %2 (от 0 до 1)")
                           .arg(opt.names().first(), p.value(opt));
            return false;
        }
        *out = v;
        return true;
    };
    long long restartMs = o->restartMs, delayMs = o->delayMs, baudRate = o->baud, seedValue = o->seed;
    long long failPageValue = o->failPage;
    if (!integer(restart, 0, 600000, &restartMs) || !integer(delay, 0, 600000, &delayMs) ||
        !integer(failPage, 0, VirtualBoard::kPageCount - 1, &failPageValue) ||
        !integer(baud, 0, 100000000, &baudRate) || !integer(seed, 0, 0xFFFFFFFFLL, &seedValue) ||
        !probability(drop, &o->dropProbability) || !probability(corrupt, &o->corruptProbability) ||
        !probability(duplicate, &o->duplicateProbability) || !probability(join, &o->joinProbability))
        return Outcome::Error;
    o->restartMs = static_cast<int>(restartMs);
    o->delayMs = static_cast<int>(delayMs);
    o->baud = static_cast<int>(baudRate);
    o->seed = static_cast<uint32_t>(seedValue);
    o->failPage = static_cast<int>(failPageValue);
    o->split = p.isSet(split);
    if (p.isSet(state))
        o->stateFile = p.value(state);
    return Outcome::Run;
}

} // namespace vboard
