#include "CommandTable.h"

#include <algorithm>

#include "Records.h"
#include "proto_Vorlen_v2.h"

namespace {

using rec::frame::kOverhead;
using Copy = CommandTable::Copy;
using Needs = CommandTable::Needs;
using E = proto_Vorlen_v2;

} // namespace

// clang-format off
const CommandTable::Row CommandTable::kRows[] = {
    {rec::cmd::getInfo, "getInfo",
     "СТАРТ - Запрос состояния устройства (getInfo)", nullptr,
     Copy::None, Needs::Any, nullptr,
     kOverhead + rec::devinfo::kSize, false, "запрос статуса", &E::decodeStatus},
    {rec::cmd::getDataExchange, "get_DataExchange",
     "СТАРТ - Запрос данных обмена (get_DataExchange)", nullptr,
     Copy::All, Needs::Any, nullptr,
     kOverhead, false, "запроса данных обмена", &E::decodeExchange},
    {rec::cmd::getRawData, "get_RawData",
     "СТАРТ - Запрос физических данных платы (get_RawData)", nullptr,
     Copy::All, Needs::Any, nullptr,
     kOverhead, false, "запроса физических данных платы", &E::decodeRawData},
    {rec::cmd::archiveControl, "archiveControl",
     "СТАРТ - Запрос статуса архива (archiveControl)",
     "СТАРТ - запуск сохранения нового архива (archiveControl)",
     Copy::All, Needs::Main, "запуска и чтения статуса архива недоступна в режиме бутлоадера",
     kOverhead, false, "запроса статуса архива", &E::decodeArchiveStatus},
    {rec::cmd::archiveData, "archiveData",
     "СТАРТ - запрос архивных данных, адрес = %1, количество = %2", nullptr,
     Copy::All, Needs::Main, "запроса архивных данных недоступна в режиме бутлоадера",
     kOverhead + rec::archive::kReplyRecords, false, "запроса архивных данных", &E::decodeArchiveData},
    {rec::cmd::setHwConfig, "set_HW_Config",
     "СТАРТ - Запрос на запись аппаратной конфигурации (set_HW_Config)", nullptr,
     Copy::HwConfig, Needs::Bootloader, "записи аппаратной конфигурации недоступна в режиме основной программы",
     kOverhead, false, "записи аппаратной конфигурации. Успешная запись", nullptr},
    {rec::cmd::getHwConfig, "get_HW_Config",
     "СТАРТ - Запрос на чтение аппаратной конфигурации (get_HW_Config)", nullptr,
     Copy::None, Needs::Any, nullptr,
     kOverhead, false, "чтения аппаратной конфигурации", &E::decodeHwConfig},
    {rec::cmd::setUserData, "set_UserData",
     "СТАРТ - Запрос на запись пользовательских калибровочных данных (set_UserData)", nullptr,
     Copy::All, Needs::Main, "записи пользовательских калибровочных данных недоступна в режиме бутлоадера",
     kOverhead + rec::user::kChunkData, false, "записи пользовательских калибровочных данных. Успешная запись",
     &E::decodeUserEcho},
    {rec::cmd::getUserData, "get_UserData",
     "СТАРТ - Запрос на чтение пользовательских калибровочных данных (get_UserData)", nullptr,
     Copy::None, Needs::Main, "чтения пользовательских калибровочных данных недоступна в режиме бутлоадера",
     kOverhead, false, "чтения пользовательских калибровочных данных.", &E::decodeUserData},
    {rec::cmd::bleAtCmd, "BLE_ATCmd",
     "СТАРТ - Отправка AT-Команды BLE модулю (BLE_ATCmd)", nullptr,
     Copy::All, Needs::Any, nullptr,
     kOverhead + rec::atcmd::kText, true, "отправки AT-команды", &E::decodeAtAnswer},
    {rec::cmd::flashWrite, "flashWrite",
     "СТАРТ - Запрос на запись страницы FLASH памяти № %1", nullptr,
     Copy::All, Needs::Bootloader, "записи прошивки недоступна в режиме основной программы",
     kOverhead + rec::flash::kPageData, false, " записи страницы Flash памяти № ", &E::decodePageWrite},
    {rec::cmd::flashRead, "flashRead",
     "СТАРТ - Запрос на чтение страницы FLASH памяти № %1", nullptr,
     Copy::Leading1, Needs::Bootloader, "чтения прошивки недоступна в режиме основной программы",
     rec::flash::kReadReplyLength, false, " чтения страницы Flash памяти № ", &E::decodePageRead},
    {rec::cmd::setFwConfig, "set_FW_Config",
     "СТАРТ - Запрос на запись конфигурации прошивки (set_FW_Config)", nullptr,
     Copy::All, Needs::Bootloader, "записи программной конфигурации недоступна в режиме основной программы",
     kOverhead, false, "записи программной конфигурации. Успешная запись", nullptr},
    {rec::cmd::getFwConfig, "get_FW_Config",
     "СТАРТ - Запрос на чтение конфигурации прошивки (get_FW_Config)", nullptr,
     Copy::None, Needs::Any, nullptr,
     kOverhead + rec::fwcfg::kSize, false, "чтения программной конфигурации. Успешное чтение", &E::decodeFwConfig},
    {rec::cmd::bootloaderInit, "bootloader_init",
     "СТАРТ - Запрос команды на запуск загрузчика (bootloader_init)", nullptr,
     Copy::None, Needs::Main, "запуска загрузчика невозможна. Уже загружено",
     kOverhead, false, " запуск загрузчика", &E::decodeRestart},
    {rec::cmd::bootloaderFinish, "bootloader_finish",
     "СТАРТ - Запрос команды на запуск основной программы (bootloader_finish)", nullptr,
     Copy::None, Needs::Bootloader, "запуска основной программы невозможна. Уже загружено",
     kOverhead, false, " запуск основной программы", &E::decodeRestart},
    {rec::cmd::flashWriteBlock, "flashWriteBlock",
     "СТАРТ - Запрос на запись страницы FLASH по блокам. Страница № %1. Блок №%2", nullptr,
     Copy::All, Needs::Any, nullptr,
     kOverhead + rec::flash::kBlockData, false, " записи страницы Flash памяти № ", &E::decodeBlockWrite},
    {rec::cmd::flashReadBlock, "flashReadBlock",
     "СТАРТ - Запрос на чтение страницы FLASH по блокам. Страница № %1. Блок №%2", nullptr,
     Copy::Leading2, Needs::Any, nullptr,
     kOverhead + rec::flash::kBlockData, false, " чтения страницы Flash памяти № ", &E::decodeBlockRead},
    {rec::cmd::statistics, "statistics",
     "СТАРТ - запрос на чтение данных статистики платы",
     "СТАРТ - запрос на сброс данных статистики платы",
     Copy::Leading2, Needs::Any, nullptr,
     kOverhead + rec::stat::kSize, false, "чтения статистики платы", &E::decodeStatistics},
};
// clang-format on

const uint32_t CommandTable::kRowCount = sizeof kRows / sizeof kRows[0];

const CommandTable::Row* CommandTable::begin() { return kRows; }
const CommandTable::Row* CommandTable::end() { return kRows + kRowCount; }

const CommandTable::Row* CommandTable::find(uint32_t code)
{
    const Row* row = std::find_if(begin(), end(), [code](const Row& r) { return r.code == code; });
    return row == end() ? nullptr : row;
}

QString CommandTable::startLine(const Row& row, const uint8_t* body, uint32_t p)
{
    QString line = QString::fromUtf8(p > 0 && row.startWithPayload ? row.startWithPayload : row.start);
    // Numbers come from the payload as it sits in the frame; a payload too
    // short to hold one shows 0.
    for (uint32_t i = 0; i < 2; ++i)
        line.replace(QLatin1Char('%') + QString::number(i + 1), QString::number(i < p ? body[i] : 0));
    return line;
}

uint32_t CommandTable::payloadLength(const Row& row, uint32_t n)
{
    switch (row.copy) {
    case Copy::None:
        return 0;
    case Copy::HwConfig:
        return rec::hwcfg::kWireSize;
    default:
        return n;
    }
}

uint32_t CommandTable::copiedBytes(const Row& row, uint32_t n)
{
    switch (row.copy) {
    case Copy::All:
        return n;
    case Copy::Leading1:
        return std::min<uint32_t>(n, 1);
    case Copy::Leading2:
        return std::min<uint32_t>(n, 2);
    default:
        return 0;
    }
}
