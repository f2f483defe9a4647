#include "BoardTypes.h"

namespace vboard {

namespace {
struct TypeName {
    BoardType type;
    const char* key;
    const char* russian;
};
const TypeName kTypeNames[] = {
    {BoardType::Physics, "physics", "физика"},
    {BoardType::Chemistry, "chemistry", "химия"},
    {BoardType::Ecology, "ecology", "экология"},
    {BoardType::Biology, "biology", "биология"},
    {BoardType::Photocolorimeter, "photocolorimeter", "фотоколориметр"},
};
} // namespace

QString typeKey(BoardType type)
{
    for (const TypeName& t : kTypeNames)
        if (t.type == type)
            return QString::fromLatin1(t.key);
    return QString();
}

bool parseTypeKey(const QString& key, BoardType* type)
{
    for (const TypeName& t : kTypeNames) {
        if (key == QLatin1String(t.key)) {
            *type = t.type;
            return true;
        }
    }
    return false;
}

QString typeNameRu(BoardType type)
{
    for (const TypeName& t : kTypeNames)
        if (t.type == type)
            return QString::fromUtf8(t.russian);
    return QString();
}

QString programNameRu(Program program)
{
    return program == Program::Main ? QStringLiteral("основная программа") : QStringLiteral("загрузчик");
}

bool isLaboratory(BoardType type)
{
    return type != BoardType::Photocolorimeter;
}

} // namespace vboard
