#include "UpdateFileWriter.h"

#include <QFile>

#include <random>

#include "Crc16.h"
#include "LittleEndian.h"
#include "UpdateSheet.h"

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

uint8_t* bytes(QByteArray& a, uint32_t offset)
{
    return reinterpret_cast<uint8_t*>(a.data()) + offset;
}

} // namespace

QByteArray UpdateFileWriter::padded(const QByteArray& image)
{
    QByteArray out = image;
    const int rest = out.size() % static_cast<int>(kPageSize);
    if (rest != 0)
        out.append(static_cast<int>(kPageSize) - rest, static_cast<char>(0xFF));
    return out;
}

QByteArray UpdateFileWriter::build(const QByteArray& image, const Header& header, QString* error)
{
    if (image.isEmpty()) {
        fail(error, QStringLiteral("Образ прошивки пуст"));
        return {};
    }
    const QByteArray img = padded(image);
    const uint32_t pages = static_cast<uint32_t>(img.size()) / kPageSize;
    if (pages > kMaxPages) {
        fail(error, QStringLiteral("Образ прошивки занимает %1 страниц, а помещается не более %2 (%3 байт)")
                        .arg(pages)
                        .arg(kMaxPages)
                        .arg(kMaxPages * kPageSize));
        return {};
    }
    if (!header.buildDate.isValid() || header.buildDate.year() < 2000 || header.buildDate.year() > 2255) {
        fail(error, QStringLiteral("Дата сборки должна быть действительной датой 2000..2255 года"));
        return {};
    }
    if (static_cast<uint32_t>(header.notes.size()) > UpdateSheet::kNotesCapacity) {
        fail(error, QStringLiteral("Описание изменений длиннее %1 байт").arg(UpdateSheet::kNotesCapacity));
        return {};
    }

    QByteArray file(static_cast<int>(UpdateSheet::kSize), '\0');
    const uint16_t length = static_cast<uint16_t>(img.size());
    const uint16_t crc = Crc16().calc(reinterpret_cast<const uint8_t*>(img.constData()), length);
    le::put16(bytes(file, UpdateSheet::kImageCrc), crc);
    le::put16(bytes(file, UpdateSheet::kImageLength), length);
    le::put16(bytes(file, UpdateSheet::kNotesLength), static_cast<uint16_t>(header.notes.size()));
    *bytes(file, UpdateSheet::kBuildYear) = static_cast<uint8_t>(header.buildDate.year() - 2000);
    *bytes(file, UpdateSheet::kBuildMonth) = static_cast<uint8_t>(header.buildDate.month());
    *bytes(file, UpdateSheet::kBuildDay) = static_cast<uint8_t>(header.buildDate.day());
    *bytes(file, UpdateSheet::kFwVersion) = header.fwVersion;
    *bytes(file, UpdateSheet::kHwVersionSupported) = header.hwVersionSupported;
    *bytes(file, UpdateSheet::kTargetProgram) = header.targetProgram;
    file.replace(static_cast<int>(UpdateSheet::kImage), img.size(), img);
    file.replace(static_cast<int>(UpdateSheet::kNotes), header.notes.size(), header.notes);
    return file;
}

bool UpdateFileWriter::write(const QString& path, const QByteArray& image, const Header& header, QString* error)
{
    const QByteArray file = build(image, header, error);
    if (file.isEmpty())
        return false;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(error, QStringLiteral("Не удалось открыть для записи: %1").arg(path));
    if (out.write(file) != file.size())
        return fail(error, QStringLiteral("Не удалось записать файл: %1").arg(path));
    out.close();
    return true;
}

QByteArray UpdateFileWriter::randomImage(uint32_t pages, uint32_t seed)
{
    std::mt19937 gen(seed);
    QByteArray img(static_cast<int>(pages * kPageSize), '\0');
    for (int i = 0; i < img.size(); ++i)
        img[i] = static_cast<char>(gen() & 0xFF);
    return img;
}
