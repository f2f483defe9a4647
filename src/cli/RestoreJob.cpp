#include "RestoreJob.h"

#include <QJsonArray>

#include <cstring>

#include "BoardText.h"
#include "LittleEndian.h"
#include "Records.h"

RestoreJob::RestoreJob(BoardSession* session, const BackupFile* backup, bool forceSerial)
    : BoardJob(session), copy(backup), force(forceSerial)
{
    connect(&s.engine(), &proto_Vorlen_v2::cmd_userData_readed, this, [this](uint32_t size) { userDataRead = size; });
}

void RestoreJob::start()
{
    s.connectBoard([this] {
        if (!boardMatches())
            return;
        s.setStage(QStringLiteral("чтение конфигурации FW"));
        s.ask(rec::cmd::getFwConfig, QByteArray(), [this] {
            if (!serialMatches())
                return;
            startedInMain = !BoardText::isBootloader(s.status().progMode);
            // The program running now goes first: one switch fewer.
            if (startedInMain && !copy->userData.isEmpty())
                plan << Record::User;
            // A file saved from the window's calibration page holds no hardware configuration.
            if (!copy->hwConfig.isEmpty())
                plan << Record::Hw;
            if (!startedInMain && !copy->userData.isEmpty())
                plan << Record::User;
            runNext();
        });
    });
}

bool RestoreJob::boardMatches()
{
    // A board whose type is not set (its hardware configuration lost) takes
    // a copy of its family: restoring sets the type.
    const DevInfo& info = s.status();
    if (info.progMode / 10 == copy->family && (info.devType == copy->devType || info.devType == 0))
        return true;
    DevInfo saved;
    saved.progMode = copy->progMode;
    saved.devType = copy->devType;
    s.fail(QStringLiteral("Резервная копия другой платы: в файле %1, на порту %2")
               .arg(BoardText::typeName(saved), BoardText::typeName(info)));
    return false;
}

bool RestoreJob::serialMatches()
{
    const bool boardValid = s.status().flags & 0x01;
    const uint32_t serial = le::u32(s.engine().fwConfigRecord() + rec::fwcfg::kSerialNumber);
    if (!boardValid || !copy->serialValid || serial == copy->serialNumber || force)
        return true;
    s.fail(QStringLiteral("Серийный номер платы %1, а в резервной копии %2: калибровки принадлежат другой плате. "
                          "Для восстановления на эту плату укажите --force")
               .arg(serial)
               .arg(copy->serialNumber));
    return false;
}

void RestoreJob::runNext()
{
    if (plan.isEmpty()) {
        finish();
        return;
    }
    const Record next = plan.takeFirst();
    if (next == Record::Hw)
        s.ensureProgram(true, [this] { restoreHw(); });
    else
        s.ensureProgram(false, [this] { restoreUser(); });
}

void RestoreJob::restoreHw()
{
    s.setStage(QStringLiteral("чтение аппаратной конфигурации"));
    s.ask(rec::cmd::getHwConfig, QByteArray(), [this] { writeIfDifferent(Record::Hw); });
}

void RestoreJob::restoreUser()
{
    s.setStage(QStringLiteral("чтение пользовательских калибровок"));
    userDataRead = 0;
    s.ask(rec::cmd::getUserData, QByteArray(), [this] { writeIfDifferent(Record::User); });
}

bool RestoreJob::boardHolds(Record record) const
{
    proto_Vorlen_v2& engine = s.engine();
    if (record == Record::Hw)
        return std::memcmp(engine.hwConfigRecord(), copy->hwConfig.constData(), rec::hwcfg::kSize) == 0;
    const uint32_t size = static_cast<uint32_t>(copy->userData.size());
    return userDataRead >= size && std::memcmp(engine.userDataRecord(), copy->userData.constData(), size) == 0;
}

void RestoreJob::writeIfDifferent(Record record)
{
    const bool hw = record == Record::Hw;
    const QString name = hw ? QStringLiteral("аппаратная конфигурация") : QStringLiteral("пользовательские калибровки");
    if (boardHolds(record)) {
        outcome << name + QStringLiteral(": совпадает с копией, не записывалась");
        runNext();
        return;
    }
    s.setStage(hw ? QStringLiteral("запись аппаратной конфигурации") : QStringLiteral("запись пользовательских калибровок"));
    proto_Vorlen_v2* engine = &s.engine();
    // The copy outlives the session: its bytes can be sent again on a repeat.
    const QByteArray& bytes = hw ? copy->hwConfig : copy->userData;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const auto size = static_cast<uint8_t>(bytes.size());
    auto write = [engine, hw, data, size] {
        if (hw)
            engine->writeHwConfig(data);
        else
            engine->writeUserData(data, size);
    };
    const uint8_t readCode = hw ? rec::cmd::getHwConfig : rec::cmd::getUserData;
    s.await(hw ? rec::cmd::setHwConfig : rec::cmd::setUserData, write, [this, record, name, readCode] {
        s.setStage(QStringLiteral("проверка чтением"));
        userDataRead = 0;
        s.ask(readCode, QByteArray(), [this, record, name] {
            if (!boardHolds(record)) {
                s.fail(name + QStringLiteral(": прочитанная с платы не совпадает с записанной"));
                return;
            }
            outcome << name + QStringLiteral(": записана и проверена чтением");
            runNext();
        });
    });
}

void RestoreJob::finish()
{
    s.report() << outcome
               << QStringLiteral("конфигурация FW: не восстанавливается, её записывает программирование");
    s.details().insert(QStringLiteral("records"), QJsonArray::fromStringList(outcome));
    auto done = [this] { s.succeed(QStringLiteral("Восстановлено: ") + outcome.join(QStringLiteral("; "))); };
    // The board is left running the program it ran before, also when the
    // calibrations took it from its bootloader to the main program.
    s.ensureProgram(!startedInMain, done);
}
