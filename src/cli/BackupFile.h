#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

// A board's records saved by `rconf-cli backup` (format "rconf-backup",
// version 1, described in docs/backup-format.md): the board's identity and
// each record's bytes in hexadecimal with their CRC-16. Readers take the
// bytes from "hex"; keys they do not know are ignored, so later versions can
// add decoded fields beside the bytes.
class BackupFile
{
public:
    static constexpr int kVersion = 1;

    uint8_t family = 0;        // tens digit of the status program code: 0 laboratory, 1 photocolorimeter
    uint8_t devType = 0;
    uint8_t progMode = 0;      // program that ran when the copy was made
    uint32_t serialNumber = 0;
    bool serialValid = false;  // the firmware configuration was valid
    QString port;
    QString tool;
    QDateTime created;
    QByteArray hwConfig;       // 288 bytes
    QByteArray fwConfig;       // 60 bytes
    QByteArray userData;       // the user calibration block of the type, or empty

    QByteArray toJson() const;
    // False with a Russian reason when the text is not a whole, undamaged copy.
    bool fromJson(const QByteArray& text, QString* error);

    // Size of the user calibration block of a laboratory type; 0 for none.
    static int userDataSize(uint8_t devType);
};
