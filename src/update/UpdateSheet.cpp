#include "UpdateSheet.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#include "LittleEndian.h"

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
    file.close();
    return true;
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
