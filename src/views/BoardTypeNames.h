#pragma once
#include <QStringList>

// Device type names as the board's type code indexes them (item 0: none set).
namespace BoardTypeNames {

inline const QStringList& laboratory()
{
    static const QStringList names = {
        QStringLiteral("Недоступно"), QStringLiteral("1. Цифровая лаборатория по физике"),
        QStringLiteral("2. Цифровая лаборатория по химии"), QStringLiteral("3. Цифровая лаборатория по экологии"),
        QStringLiteral("4. Цифровая лаборатория по биологии")};
    return names;
}

// The photocolorimeter's list: item 1 stands for its one type.
inline const QStringList& photocolorimeter()
{
    static const QStringList names = {QStringLiteral("Недоступно"),
                                      QStringLiteral("100. Мультидатчик - фотоколориметр")};
    return names;
}

} // namespace BoardTypeNames
