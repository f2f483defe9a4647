#pragma once
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "proto_Vorlen_v2.h"

// Texts of a board's status and firmware configuration, worded as the
// window's status and bootloader tabs show them (without colour markup).
namespace BoardText {

bool isBootloader(uint8_t progMode);
// "laboratory", "photocolorimeter" (tens digit 0 / 1) or "unknown".
QString familyKey(uint8_t progMode);
// Short name for tables: "физика, загрузчик", "фотоколориметр, основная программа".
QString shortName(const DevInfo& info);
// "Основная программа Ворлен", "Загрузчик фотоколориметра", ...
QString workMode(uint8_t progMode);
// Device type as the status tab shows it ("1. Цифровая лаборатория по физике").
QString typeName(const DevInfo& info);

// "Режим работы: ..." and the other status lines.
QStringList statusLines(const DevInfo& info);
// The firmware configuration record, as the bootloader tab shows it.
QStringList fwConfigLines(const DevInfo& info, const uint8_t* fwConfig);

QJsonObject statusJson(const DevInfo& info);
QJsonObject fwConfigJson(const DevInfo& info, const uint8_t* fwConfig);

} // namespace BoardText
