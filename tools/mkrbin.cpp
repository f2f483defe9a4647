// mkrbin: writes a firmware update file (.rbin) from a binary image and the
// header fields, for boards that have no vendor file.
//
//   mkrbin --image FILE | --random-pages N [--seed S]
//          --target 1|11 --version V --date YYYY-MM-DD --hw H
//          [--notes TEXT | --notes-file F] --out FILE.rbin

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include "UpdateFileWriter.h"

namespace {

int failWith(const QString& text)
{
    QTextStream(stderr) << "mkrbin: " << text << '\n';
    return 1;
}

// Parses an unsigned number within [low, high]; false on anything else.
bool parseNumber(const QString& text, uint32_t low, uint32_t high, uint32_t* out)
{
    bool ok = false;
    const qulonglong v = text.toULongLong(&ok, 0);
    if (!ok || v < low || v > high)
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

bool readFile(const QString& path, QByteArray* out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *out = f.readAll();
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mkrbin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Создаёт файл обновления Ruvo (.rbin) из двоичного образа прошивки."));
    parser.addHelpOption();
    const QCommandLineOption image(QStringLiteral("image"), QStringLiteral("Двоичный образ прошивки."), QStringLiteral("FILE"));
    const QCommandLineOption randomPages(QStringLiteral("random-pages"),
                                         QStringLiteral("Вместо образа: N страниц псевдослучайных байт (1..63)."),
                                         QStringLiteral("N"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Зерно для --random-pages (по умолчанию 1)."),
                                  QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption target(QStringLiteral("target"),
                                    QStringLiteral("Программа назначения: 1 - лаборатория, 11 - фотоколориметр."),
                                    QStringLiteral("1|11"));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Версия прошивки (0..255)."), QStringLiteral("V"));
    const QCommandLineOption date(QStringLiteral("date"), QStringLiteral("Дата сборки."), QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption hw(QStringLiteral("hw"), QStringLiteral("Поддерживаемая версия платы (0..255)."), QStringLiteral("H"));
    const QCommandLineOption notes(QStringLiteral("notes"), QStringLiteral("Текст описания изменений."), QStringLiteral("TEXT"));
    const QCommandLineOption notesFile(QStringLiteral("notes-file"), QStringLiteral("Файл описания изменений (UTF-8)."),
                                       QStringLiteral("F"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Создаваемый файл .rbin."), QStringLiteral("FILE.rbin"));
    parser.addOptions({image, randomPages, seed, target, version, date, hw, notes, notesFile, out});
    parser.process(app);

    if (parser.isSet(image) == parser.isSet(randomPages))
        return failWith(QStringLiteral("нужен ровно один из параметров --image или --random-pages"));
    if (parser.isSet(notes) && parser.isSet(notesFile))
        return failWith(QStringLiteral("параметры --notes и --notes-file взаимоисключающие"));
    for (const QCommandLineOption* required : {&target, &version, &date, &hw, &out}) {
        if (!parser.isSet(*required))
            return failWith(QStringLiteral("не задан параметр --%1").arg(required->names().first()));
    }

    QByteArray img;
    if (parser.isSet(image)) {
        if (!readFile(parser.value(image), &img))
            return failWith(QStringLiteral("не удалось прочитать образ: %1").arg(parser.value(image)));
    } else {
        uint32_t pages = 0, s = 0;
        if (!parseNumber(parser.value(randomPages), 1, UpdateFileWriter::kMaxPages, &pages))
            return failWith(QStringLiteral("--random-pages: нужно число от 1 до %1").arg(UpdateFileWriter::kMaxPages));
        if (!parseNumber(parser.value(seed), 0, 0xFFFFFFFFu, &s))
            return failWith(QStringLiteral("--seed: нужно целое число без знака"));
        img = UpdateFileWriter::randomImage(pages, s);
    }

    UpdateFileWriter::Header header;
    uint32_t v = 0;
    if (!parseNumber(parser.value(target), 0, 255, &v) || (v != 1 && v != 11))
        return failWith(QStringLiteral("--target: допустимы 1 (лаборатория) или 11 (фотоколориметр)"));
    header.targetProgram = static_cast<uint8_t>(v);
    if (!parseNumber(parser.value(version), 0, 255, &v))
        return failWith(QStringLiteral("--version: нужно число от 0 до 255"));
    header.fwVersion = static_cast<uint8_t>(v);
    if (!parseNumber(parser.value(hw), 0, 255, &v))
        return failWith(QStringLiteral("--hw: нужно число от 0 до 255"));
    header.hwVersionSupported = static_cast<uint8_t>(v);
    header.buildDate = QDate::fromString(parser.value(date), QStringLiteral("yyyy-MM-dd"));
    if (!header.buildDate.isValid())
        return failWith(QStringLiteral("--date: нужна дата вида ГГГГ-ММ-ДД"));
    if (parser.isSet(notes))
        header.notes = parser.value(notes).toUtf8();
    if (parser.isSet(notesFile) && !readFile(parser.value(notesFile), &header.notes))
        return failWith(QStringLiteral("не удалось прочитать описание: %1").arg(parser.value(notesFile)));

    QString error;
    if (!UpdateFileWriter::write(parser.value(out), img, header, &error))
        return failWith(error);

    const QByteArray padded = UpdateFileWriter::padded(img);
    QTextStream(stdout) << QStringLiteral("%1: образ %2 байт (%3 стр.), версия %4, дата %5, программа %6\n")
                               .arg(parser.value(out))
                               .arg(padded.size())
                               .arg(padded.size() / static_cast<int>(UpdateFileWriter::kPageSize))
                               .arg(header.fwVersion)
                               .arg(header.buildDate.toString(QStringLiteral("dd.MM.yyyy")))
                               .arg(header.targetProgram);
    return 0;
}
