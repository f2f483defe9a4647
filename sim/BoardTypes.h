#pragma once
#include <QString>

#include <cstdint>

namespace vboard {

enum class BoardType : uint8_t { Physics = 1, Chemistry = 2, Ecology = 3, Biology = 4, Photocolorimeter = 100 };
enum class Program { Bootloader, Main };

// Command-line spelling: physics, chemistry, ecology, biology, photocolorimeter.
QString typeKey(BoardType type);
bool parseTypeKey(const QString& key, BoardType* type);
// Russian name for the port list: физика, химия, экология, биология, фотоколориметр.
QString typeNameRu(BoardType type);
QString programNameRu(Program program);
bool isLaboratory(BoardType type);

} // namespace vboard
