#pragma once
#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "Crc16.h"

// The in-memory copy of a firmware update file (".rbin"): a fixed block of
// 101376 bytes mirroring the file, with its header fields and image.
class UpdateSheet
{
public:
    static constexpr uint32_t kSize = 101376;
    static constexpr uint32_t kImageCrc = 0x0400, kImageLength = 0x0402, kNotesLength = 0x0404;
    static constexpr uint32_t kBuildYear = 0x0801, kBuildMonth = 0x0802, kBuildDay = 0x0803,
                              kFwVersion = 0x0804, kHwVersionSupported = 0x0805, kTargetProgram = 0x0806;
    static constexpr uint32_t kImage = 0x0C01, kImageCapacity = 65535;
    static constexpr uint32_t kNotes = 0x10C00, kNotesCapacity = 32768;

    UpdateSheet();

    // Clears the block, then copies at most kSize bytes of the file over it.
    // False when the file is missing or cannot be opened.
    bool read(const QString& path);
    // Why the last file read is not a whole update file, one Russian reason
    // a line; empty when its size, image length and image checksum agree.
    QStringList defects() const;

    uint16_t imageCrc() const;
    uint16_t imageLength() const;
    uint16_t notesLength() const;
    uint8_t buildYear() const { return block[kBuildYear]; }
    uint8_t buildMonth() const { return block[kBuildMonth]; }
    uint8_t buildDay() const { return block[kBuildDay]; }
    uint8_t fwVersion() const { return block[kFwVersion]; }
    uint8_t hwVersionSupported() const { return block[kHwVersionSupported]; }
    uint8_t targetProgram() const { return block[kTargetProgram]; }
    const uint8_t* image() const { return block + kImage; }

    bool isForDevice(uint8_t progMode) const;
    QString releaseNotesText() const;
    QDate buildDate() const;

    const uint8_t* data() const { return block; }

private:
    uint8_t block[kSize];
    Crc16 crc;
    // Bytes the last read took from the file, and whether more followed them.
    qint64 fileBytes = 0;
    bool fileLonger = false;
};
