#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

// A board's records in one JSON file (format "rconf-backup", version 1,
// described in docs/backup-format.md): the board's identity, and each record's
// bytes in hexadecimal with their CRC-16 and their decoded named fields.
// Readers take the bytes from "hex"; keys they do not know are ignored. The
// command line's backup and restore, the window's automatic copies before a
// write and its pages' «Сохранить в файл…» all write this format.
class BackupFile
{
public:
    static constexpr int kVersion = 1;

    uint8_t family = 0;        // tens digit of the status program code: 0 laboratory, 1 photocolorimeter
    uint8_t devType = 0;
    uint8_t progMode = 0;      // program that ran when the copy was made
    uint32_t serialNumber = 0;
    bool serialValid = false;  // the firmware configuration was read and valid
    QString port;
    QString tool;
    QDateTime created;
    // Each record is empty when the file does not hold it.
    QByteArray hwConfig;       // 288 bytes
    QByteArray fwConfig;       // 60 bytes
    QByteArray userData;       // the user calibration block of the type

    QByteArray toJson() const;
    // False with a Russian reason when the text is not a whole, undamaged
    // file of a version this reader knows; the object is then unchanged.
    bool fromJson(const QByteArray& text, QString* error);

    // Size of the user calibration block of a laboratory type; 0 for none.
    static int userDataSize(uint8_t devType);
    // "rconf 0.0.5", "rconf-cli 0.0.5": the program and version that write a file.
    static QString toolName(const QString& program);
};
