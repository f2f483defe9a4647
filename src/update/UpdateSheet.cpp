#include "UpdateSheet.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#include "LittleEndian.h"
#include "Records.h"

UpdateSheet::UpdateSheet()
{
    std::memset(block, 0, sizeof block);
}

bool UpdateSheet::read(const QString& path)
{
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A short file must not leave bytes of the previous file behind it.
    std::memset(block, 0, sizeof block);
    qint64 total = 0;
    while (total < static_cast<qint64>(kSize)) {
        const qint64 got = file.read(reinterpret_cast<char*>(block) + total, kSize - total);
        if (got <= 0)
            break;
        total += got;
    }
    char extra = 0;
    fileBytes = total;
    fileLonger = total == static_cast<qint64>(kSize) && file.read(&extra, 1) > 0;
    file.close();
    return true;
}

QStringList UpdateSheet::defects() const
{
    // The 16-bit length can never reach past the image region by itself;
    // what can is the end of a cut file.
    static_assert(kImageCapacity >= 0xFFFF, "the image region holds every 16-bit length");
    QStringList out;
    if (fileBytes != static_cast<qint64>(kSize) || fileLonger) {
        out << (fileLonger ? QStringLiteral("файл длиннее %1 байт").arg(kSize)
                           : QStringLiteral("размер файла %1 байт, а должен быть %2 байт").arg(fileBytes).arg(kSize));
    }
    const uint32_t length = imageLength();
    if (static_cast<qint64>(kImage) + length > fileBytes)
        out << QStringLiteral("образ прошивки (%1 байт) выходит за конец файла").arg(length);
    if (length % rec::flash::kPageSize != 0)
        out << QStringLiteral("длина образа прошивки %1 байт не кратна странице (%2 байт)")
                   .arg(length)
                   .arg(rec::flash::kPageSize);
    const uint16_t actual = crc.calc(image(), static_cast<uint16_t>(length));
    if (actual != imageCrc()) {
        out << QStringLiteral("контрольная сумма образа 0x%1 не совпадает с указанной в заголовке 0x%2")
                   .arg(actual, 0, 16)
                   .arg(imageCrc(), 0, 16);
    }
    return out;
}

uint16_t UpdateSheet::imageCrc() const
{
    return le::u16(block + kImageCrc);
}

uint16_t UpdateSheet::imageLength() const
{
    return le::u16(block + kImageLength);
}

uint16_t UpdateSheet::notesLength() const
{
    return le::u16(block + kNotesLength);
}

bool UpdateSheet::isForDevice(uint8_t progMode) const
{
    // Widened so that a target of 0 wraps far away instead of matching 255.
    return static_cast<uint32_t>(targetProgram()) - 1u == static_cast<uint32_t>(progMode);
}

QString UpdateSheet::releaseNotesText() const
{
    const uint32_t limit = std::min<uint32_t>(notesLength(), kNotesCapacity);
    const uint8_t* notes = block + kNotes;
    const uint8_t* end = std::find(notes, notes + limit, uint8_t(0));
    return QString::fromUtf8(reinterpret_cast<const char*>(notes), static_cast<int>(end - notes));
}

QDate UpdateSheet::buildDate() const
{
    return QDate(buildYear() + 2000, buildMonth(), buildDay());
}
