#pragma once
#include <QStringList>

// Names of the device types by their code, as the status tab shows them and
// the hardware configuration offers them.
inline const QStringList& labTypeNames()
{
    static const QStringList names = {QStringLiteral("Недоступно"), QStringLiteral("1. Цифровая лаборатория по физике"),
                                      QStringLiteral("2. Цифровая лаборатория по химии"),
                                      QStringLiteral("3. Цифровая лаборатория по экологии"),
                                      QStringLiteral("4. Цифровая лаборатория по биологии")};
    return names;
}

inline const QStringList& photocolorimeterTypeNames()
{
    static const QStringList names = {QStringLiteral("Недоступно"),
                                      QStringLiteral("100. Мультидатчик - фотоколориметр")};
    return names;
}
