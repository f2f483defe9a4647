#include "FirmwareProgrammer.h"

#include <cstring>

#include "LittleEndian.h"
#include "proto_Vorlen_v2.h"

namespace {

using Step = FirmwareProgrammer::Step;

constexpr uint32_t kPage = rec::flash::kPageSize;
// The configuration record keeps the image length in 16 bits.
constexpr uint32_t kMaxImage = 0xFFFF;
// Never the code of a valid reply to one of the run's requests.
constexpr uint32_t kNoRequest = 0x100;

// The request each step sends; its reply is the only one the step accepts.
uint32_t requestOf(Step step)
{
    switch (step) {
    case Step::CheckBootloader: return rec::cmd::getInfo;
    case Step::WritePage: return rec::cmd::flashWrite;
    case Step::ReadBackPage: return rec::cmd::flashRead;
    case Step::WriteConfig: return rec::cmd::setFwConfig;
    case Step::ReadBackConfig: return rec::cmd::getFwConfig;
    default: return kNoRequest;
    }
}

QString progLine(const QString& text)
{
    return QStringLiteral("ПРОГРАММИРОВАНИЕ::: ") + text;
}

} // namespace

FirmwareProgrammer::FirmwareProgrammer(proto_Vorlen_v2& engine) : engine(engine)
{
    connect(&engine, &proto_Vorlen_v2::cmd_getInfo_received, this, [this] { fresh.status = true; });
    connect(&engine, &proto_Vorlen_v2::cmd_fwConfig_updated, this, [this] { fresh.config = true; });
    connect(&engine, &proto_Vorlen_v2::fwPageStored, this, [this](uint8_t page) {
        fresh.page = true;
        fresh.pageNumber = page;
    });
}

bool FirmwareProgrammer::isRunning() const
{
    return requestOf(current) != kNoRequest;
}

void FirmwareProgrammer::start(const uint8_t* data, uint32_t size, int targetProgram)
{
    // Only whole pages can be written and verified, and the length must fit
    // the configuration record; anything else would leave a board whose
    // record does not describe what was written.
    if (data == nullptr || size == 0) {
        refuse(progLine(QStringLiteral("ОШИБКА - образ прошивки пуст")));
        return;
    }
    if (size % kPage != 0) {
        refuse(progLine(QStringLiteral("ОШИБКА - размер образа прошивки не кратен 1024 байтам")));
        return;
    }
    if (size > kMaxImage) {
        refuse(progLine(QStringLiteral("ОШИБКА - размер образа прошивки больше 65535 байт")));
        return;
    }
    image.assign(data, data + size);
    target = targetProgram;
    pageIndex = 0;
    done = 0;
    total = 2u * (size / kPage) + 3u;
    const bool wasRunning = isRunning();
    current = Step::CheckBootloader;
    if (!wasRunning)
        emit runningChanged(true);
    emit progressed(0, total, true);
    send(Step::CheckBootloader, nullptr, 0);
}

void FirmwareProgrammer::refuse(const QString& text)
{
    // A refused start also ends a run that was still going on.
    const bool wasRunning = isRunning();
    enter(Step::Failed);
    if (wasRunning)
        emit runningChanged(false);
    emit log(text);
    emit progressed(0, 0, false);
}

void FirmwareProgrammer::enter(Step next)
{
    current = next;
    emit stepEntered(next, pageIndex);
}

void FirmwareProgrammer::send(Step next, const uint8_t* payload, uint32_t n)
{
    enter(next);
    fresh = ReadBack();
    sending = true;
    engine.sendCommand(requestOf(next), payload, n);
    sending = false;
}

void FirmwareProgrammer::advance(bool ok)
{
    ++done;
    emit progressed(done, total, ok);
}

void FirmwareProgrammer::finish(Step outcome, const QString& text)
{
    if (!isRunning())
        return;
    emit log(text);
    enter(outcome);
    emit runningChanged(false);
}

void FirmwareProgrammer::stop(const QString& text)
{
    finish(Step::Failed, text);
}

void FirmwareProgrammer::fail(const QString& text)
{
    finish(Step::Failed, progLine(text));
    advance(false);
}

void FirmwareProgrammer::onReply(uint32_t code)
{
    if (!isRunning())
        return;
    // Also the board's refusal, and a reply to a request sent before the run.
    if (code != requestOf(current)) {
        finish(Step::Failed, progLine(QStringLiteral("ОШИБКА - принят неожидаемый ответ")));
        return;
    }
    switch (current) {
    case Step::CheckBootloader: bootloaderChecked(); return;
    case Step::WritePage: pageWritten(); return;
    case Step::ReadBackPage: pageReadBack(); return;
    case Step::WriteConfig: configWritten(); return;
    case Step::ReadBackConfig: configReadBack(); return;
    default: return;
    }
}

void FirmwareProgrammer::bootloaderChecked()
{
    // A status reply too short to be decoded proves nothing about the
    // running program; the status of an earlier reply must not stand in.
    if (!fresh.status) {
        fail(QStringLiteral("ОШИБКА - статус устройства не получен, режим бутлоадера не проверен"));
        return;
    }
    const uint8_t progMode = engine.deviceInfo().progMode;
    if (progMode % 10 != 0) {
        fail(QStringLiteral("ОШИБКА - не установлен режим бутлоадера. Запустите программму бутлоадера командой во "
                            "вкладке ОБЩЕЕ"));
        return;
    }
    // The file was checked when it was chosen; the board answering now may be another one.
    if (target != kAnyProgram && static_cast<uint32_t>(target) - 1u != progMode) {
        fail(QStringLiteral("ОШИБКА - файл обновления не предназначен для подключённого устройства, запись не начата"));
        return;
    }
    emit log(progLine(QStringLiteral("Режим бутлоадера проверен")));
    advance(true);
    pageIndex = 0;
    writePage();
}

void FirmwareProgrammer::pageWritten()
{
    emit log(progLine(QStringLiteral("Успешно записана %1 страница памяти. Всего :%2 байт")
                          .arg(pageIndex)
                          .arg((pageIndex + 1) * kPage)));
    advance(true);
    const uint8_t page = static_cast<uint8_t>(pageIndex & 0xFF);
    send(Step::ReadBackPage, &page, 1);
}

void FirmwareProgrammer::pageReadBack()
{
    emit log(progLine(QStringLiteral("Успешно прочитана %1 страница памяти").arg(pageIndex)));
    // Only a reply that carried this page's number and data counts; a byte
    // comparison also catches two pages that share a checksum.
    const bool same = fresh.page && fresh.pageNumber == static_cast<uint8_t>(pageIndex & 0xFF) &&
                      std::memcmp(image.data() + pageIndex * kPage, engine.pageRecord(), kPage) == 0;
    if (!same) {
        fail(QStringLiteral("Ошибка верификации"));
        return;
    }
    advance(true);
    emit log(progLine(QStringLiteral("Верификация страницы %1 успешной пройдена").arg(pageIndex)));
    pageIndex += 1;
    if (pageIndex < image.size() / kPage)
        writePage();
    else
        writeConfig();
}

void FirmwareProgrammer::configWritten()
{
    emit log(progLine(QStringLiteral("Успешная запись конфигурации")));
    advance(true);
    send(Step::ReadBackConfig, nullptr, 0);
    emit log(progLine(QStringLiteral("Запрос на верификацию программной конфигурации")));
}

void FirmwareProgrammer::configReadBack()
{
    emit log(progLine(QStringLiteral("Успешное чтение конфигурации")));
    if (fresh.config && std::memcmp(configSent, engine.fwConfigRecord(), sizeof configSent) == 0) {
        advance(true);
        finish(Step::Done, progLine(QStringLiteral("Запись программы и верификация пройдены успешно!")));
    } else {
        fail(QStringLiteral("Верификация программной конфигурации не пройдена!"));
    }
}

void FirmwareProgrammer::writePage()
{
    uint8_t payload[1 + kPage];
    payload[0] = static_cast<uint8_t>(pageIndex & 0xFF);
    std::memcpy(payload + 1, image.data() + pageIndex * kPage, kPage);
    send(Step::WritePage, payload, sizeof payload);
    emit log(progLine(QStringLiteral("Старт программирования, запись страницы %1").arg(pageIndex)));
}

void FirmwareProgrammer::writeConfig()
{
    // The engine's record as the view stamped it, with this image's checksum and length.
    const uint16_t length = static_cast<uint16_t>(image.size());
    const uint16_t imageCrc = crc.calc(image.data(), length);
    std::memcpy(configSent, engine.fwConfigRecord(), sizeof configSent);
    le::put16(configSent + rec::fwcfg::kFwCrc, imageCrc);
    le::put16(configSent + rec::fwcfg::kFwLength, length);
    // The "х" before the number is Cyrillic (U+0445), not a Latin x.
    emit log(progLine(QStringLiteral("Контрольная сумма прошивки файла равна: 0х") + QString::number(imageCrc, 16)));
    send(Step::WriteConfig, configSent, sizeof configSent);
    emit log(progLine(QStringLiteral("Запрос на запись программной конфигурации")));
}
