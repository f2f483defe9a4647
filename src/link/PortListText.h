#pragma once
#include <QString>

// The count line of the port list, in the window and rconf-cli: Russian plural by the last digit only
// ("свободный порт" for 1, 11, 21; "свободных порта" for 2 to 4, 12 ...).
inline QString portCountText(int n)
{
    const int r = n % 10;
    QString suffix;
    if (r == 1)
        suffix = QStringLiteral(" свободный порт");
    else if (r >= 2 && r <= 4)
        suffix = QStringLiteral(" свободных порта");
    else
        suffix = QStringLiteral(" свободных портов");
    return QStringLiteral("Найдено: ") + QString::number(n) + suffix;
}
