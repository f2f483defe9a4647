#pragma once
#include <QByteArray>
#include <QDate>
#include <QString>

#include <cstdint>

// Builds firmware update files (".rbin") for boards that have no vendor file:
// the image padded with 0xFF to whole pages, its length and CRC, the header
// fields and the release notes at the offsets the loader reads; every other
// byte is zero.
class UpdateFileWriter
{
public:
    static constexpr uint32_t kPageSize = 1024;
    // The board has 64 pages; the image length field holds at most 63 of them.
    static constexpr uint32_t kMaxPages = 63;

    struct Header {
        uint8_t targetProgram = 1;   // 1 laboratory board, 11 photocolorimeter
        uint8_t fwVersion = 1;
        QDate buildDate;             // 2000..2255
        uint8_t hwVersionSupported = 1;
        QByteArray notes;            // UTF-8, at most 32768 bytes
    };

    // The whole 101376-byte file, or an empty array and a Russian reason.
    static QByteArray build(const QByteArray& image, const Header& header, QString* error = nullptr);
    // build() then write; false and a Russian reason on any failure.
    static bool write(const QString& path, const QByteArray& image, const Header& header, QString* error = nullptr);
    // Deterministic pseudo-random image of whole pages (tests, demo, benchmark).
    static QByteArray randomImage(uint32_t pages, uint32_t seed);
    // The image padded with 0xFF to whole pages.
    static QByteArray padded(const QByteArray& image);
};
