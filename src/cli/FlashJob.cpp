#include "FlashJob.h"

#include <QDate>
#include <QRegularExpression>

#include <limits>

#include "BoardText.h"
#include "LittleEndian.h"
#include "Records.h"

namespace {

QDate recordDate(const uint8_t* fw)
{
    return QDate(fw[rec::fwcfg::kBuildYear] + 2000, fw[rec::fwcfg::kBuildMonth], fw[rec::fwcfg::kBuildDay]);
}

// Day number for comparing build dates; an impossible date is earlier than any real one.
qint64 dayNumber(const QDate& d)
{
    return d.isValid() ? d.toJulianDay() : std::numeric_limits<qint64>::min();
}

} // namespace

FlashJob::FlashJob(BoardSession* session, const UpdateSheet* file, bool startMainProgram, bool forceVersion)
    : BoardJob(session), sheet(file), startMain(startMainProgram), force(forceVersion)
{
    proto_Vorlen_v2& engine = s.engine();
    connect(&engine, &proto_Vorlen_v2::cmd_program_progress, this, &FlashJob::onProgress);
    connect(&engine, &proto_Vorlen_v2::programmingChanged, this, &FlashJob::onRunChanged);
    connect(session, &BoardSession::engineLog, this, [this](const QString& line) {
        static const QRegularExpression pageLine(QStringLiteral("запись страницы (\\d+)$"));
        const QRegularExpressionMatch m = pageLine.match(line);
        if (m.hasMatch())
            page = m.captured(1).toInt();
        if (running && line.startsWith(QStringLiteral("ОТВЕТ МК - ")))
            refusal = line.mid(11);
    });
}

void FlashJob::start()
{
    // The file's family and version are checked before anything is switched
    // or written: a file the board must not take never makes it restart.
    // get_FW_Config is answered by either program.
    s.connectBoard([this] {
        if (!fileFitsFamily())
            return;
        s.setStage(QStringLiteral("чтение конфигурации FW"));
        s.ask(rec::cmd::getFwConfig, QByteArray(), [this] {
            if (versionAllowed())
                s.ensureProgram(true, [this] { readFwConfig(); });
        });
    });
}

bool FlashJob::fileFitsFamily()
{
    const uint8_t mode = s.status().progMode;
    if (mode % 10 > 1 || mode / 10 > 1) {
        s.fail(QStringLiteral("Неизвестное устройство (код программы %1): программирование не начато").arg(mode));
        return false;
    }
    const uint8_t bootloader = static_cast<uint8_t>(mode - mode % 10);
    if (sheet->isForDevice(bootloader))
        return true;
    s.fail(QStringLiteral("Файл обновления не предназначен для данного устройства! (файл для программы %1, плата: %2)")
               .arg(sheet->targetProgram())
               .arg(BoardText::shortName(s.status())));
    return false;
}

void FlashJob::readFwConfig()
{
    // Read again in the bootloader: the record stamped is the one of the
    // board that answers now.
    s.setStage(QStringLiteral("чтение конфигурации FW"));
    s.ask(rec::cmd::getFwConfig, QByteArray(), [this] { program(); });
}

bool FlashJob::versionAllowed()
{
    const uint8_t* fw = s.engine().fwConfigRecord();
    const bool notNewerVersion = sheet->fwVersion() <= fw[rec::fwcfg::kFwVersion];
    const bool notLaterDate = dayNumber(sheet->buildDate()) <= dayNumber(recordDate(fw));
    if (!notNewerVersion || !notLaterDate || force)
        return true;
    s.fail(QStringLiteral("Данный файл обновления содержит старую или аналогичную версию (файл: версия %1 от %2, "
                          "плата: версия %3 от %4). Для записи укажите --force")
               .arg(sheet->fwVersion())
               .arg(sheet->buildDate().toString(QStringLiteral("dd.MM.yyyy")))
               .arg(fw[rec::fwcfg::kFwVersion])
               .arg(recordDate(fw).toString(QStringLiteral("dd.MM.yyyy"))));
    return false;
}

void FlashJob::program()
{
    proto_Vorlen_v2& engine = s.engine();
    if (!sheet->isForDevice(engine.deviceInfo().progMode)) {
        fileFitsFamily();
        return;
    }
    if (!engine.fwConfigFromBoard()) {
        s.fail(QStringLiteral("Конфигурация прошивки не прочитана с платы"));
        return;
    }
    if (!versionAllowed())
        return;
    const uint32_t serial = le::u32(engine.fwConfigRecord() + rec::fwcfg::kSerialNumber);
    s.details().insert(QStringLiteral("serialNumber"), static_cast<qint64>(serial));
    s.details().insert(QStringLiteral("fwVersion"), sheet->fwVersion());
    engine.stampFwConfig(serial, sheet->fwVersion(), sheet->buildDay(), sheet->buildMonth(), sheet->buildYear());
    s.setStage(QStringLiteral("программирование"), 0);
    running = true;
    engine.startProgramming(sheet->image(), sheet->imageLength(), sheet->targetProgram());
    if (!engine.isProgramming() && running)
        onRunChanged(false);   // refused at once: nothing was sent
}

void FlashJob::onProgress(uint8_t percent, bool ok)
{
    if (!running)
        return;
    lastPercent = percent;
    lastOk = ok;
    s.setStage(QStringLiteral("программирование"), percent);
}

void FlashJob::onRunChanged(bool nowRunning)
{
    if (nowRunning || !running)
        return;
    running = false;
    // Success is the run's last step at 100 % with its checks passed; every
    // other end (a check failed, a refusal, no reply, the port lost) names
    // itself in the engine's last programming line.
    if (lastOk && lastPercent == 100) {
        s.defer([this] { programmed(); });
        return;
    }
    const QString why = refusal.isEmpty() ? s.lastProgrammingLine() : QStringLiteral("плата отказала - ") + refusal;
    QString text = QStringLiteral("Программирование прервано на %1 %").arg(lastPercent);
    if (page >= 0)
        text += QStringLiteral(", страница %1").arg(page);
    text += QStringLiteral(": ") + (why.isEmpty() ? QStringLiteral("прервано") : why);
    // Not from inside the engine's own signal: ending the session closes the port.
    s.defer([this, text] { s.fail(text); });
}

void FlashJob::programmed()
{
    if (!startMain) {
        s.succeed(QStringLiteral("Запись программы и верификация пройдены успешно"));
        return;
    }
    s.ensureProgram(false, [this] {
        s.succeed(QStringLiteral("Запись программы и верификация пройдены успешно, основная программа запущена"));
    });
}
