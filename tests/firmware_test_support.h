#pragma once
// Shared by the firmware update tests: update files written the way the
// mkrbin tool writes them, reply frames as the board sends them, and the
// window's widgets by object name.
#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include "TestBytes.h"
#include "MainWindow.h"
#include "UpdateFileWriter.h"

namespace fwtest {

inline UpdateFileWriter::Header header(uint8_t target, uint8_t version, const QDate& date, uint8_t hw = 3,
                                       const QByteArray& notes = QByteArray())
{
    UpdateFileWriter::Header h;
    h.targetProgram = target;
    h.fwVersion = version;
    h.buildDate = date;
    h.hwVersionSupported = hw;
    h.notes = notes;
    return h;
}

// Writes bytes to a file in dir and returns its path.
inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

inline QString writeUpdateFile(const QTemporaryDir& dir, const QString& name, const QByteArray& image,
                               const UpdateFileWriter::Header& h)
{
    return writeFile(dir, name, UpdateFileWriter::build(image, h));
}

template <typename T>
T* widget(MainWindow& w, const char* name)
{
    return w.findChild<T*>(QString::fromLatin1(name));
}

inline QString logText(MainWindow& w)
{
    w.flushPanes();
    auto* pane = w.findChild<QPlainTextEdit*>(QStringLiteral("log_Edit"));
    return pane ? pane->toPlainText() : QString();
}

// Log lines without their time stamp ("yyyy.MM.dd hh:mm:ss.zzz ").
inline QStringList logLines(MainWindow& w)
{
    QStringList out;
    for (const QString& line : logText(w).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        out << line.mid(24);
    return out;
}

} // namespace fwtest
