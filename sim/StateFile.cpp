#include "StateFile.h"

#include "LittleEndian.h"
#include "Records.h"
#include "VirtualBoard.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

namespace vboard {

namespace {
const QByteArray kMagic("RCVBSTAT");
constexpr uint16_t kVersion = 1;
constexpr int kHeader = 16;             // magic, version, type, reserved, file size
constexpr int kUserArea = 64;           // size byte precedes it
constexpr int kNameArea = 16;           // length byte precedes it
constexpr int kDigest = 32;

constexpr int kPagesAt = kHeader;
constexpr int kFwAt = kPagesAt + VirtualBoard::kPageCount * static_cast<int>(rec::flash::kPageSize);
constexpr int kHwAt = kFwAt + static_cast<int>(rec::fwcfg::kSize);
constexpr int kUserSizeAt = kHwAt + static_cast<int>(rec::hwcfg::kSize);
constexpr int kUserAt = kUserSizeAt + 1;
constexpr int kStatAt = kUserAt + kUserArea;
constexpr int kNameLengthAt = kStatAt + static_cast<int>(rec::stat::kSize);
constexpr int kNameAt = kNameLengthAt + 1;
constexpr int kBaudAt = kNameAt + kNameArea;
constexpr int kDigestAt = kBaudAt + 1;
constexpr int kFileSize = kDigestAt + kDigest;

uint8_t* bytes(QByteArray& b)
{
    return reinterpret_cast<uint8_t*>(b.data());
}
const uint8_t* bytes(const QByteArray& b)
{
    return reinterpret_cast<const uint8_t*>(b.constData());
}

QByteArray digest(const QByteArray& body)
{
    return QCryptographicHash::hash(body, QCryptographicHash::Sha256);
}
} // namespace

int StateFile::fileSize()
{
    return kFileSize;
}

bool StateFile::save(const QString& path, const VirtualBoard& board, QString* error)
{
    QByteArray b(kFileSize, '\0');
    b.replace(0, kMagic.size(), kMagic);
    le::put16(bytes(b) + 8, kVersion);
    bytes(b)[10] = static_cast<uint8_t>(board.type());
    le::put32(bytes(b) + 12, kFileSize);
    for (int page = 0; page < VirtualBoard::kPageCount; ++page)
        b.replace(kPagesAt + page * static_cast<int>(rec::flash::kPageSize), static_cast<int>(rec::flash::kPageSize),
                  board.flashPage(page));
    b.replace(kFwAt, static_cast<int>(rec::fwcfg::kSize), board.fwConfig());
    b.replace(kHwAt, static_cast<int>(rec::hwcfg::kSize), board.hwConfig());
    const QByteArray user = board.userData();
    bytes(b)[kUserSizeAt] = static_cast<uint8_t>(user.size());
    b.replace(kUserAt, user.size(), user);
    b.replace(kStatAt, static_cast<int>(rec::stat::kSize), board.statistics());
    const QByteArray name = board.bleName().toLatin1().left(kNameArea);
    bytes(b)[kNameLengthAt] = static_cast<uint8_t>(name.size());
    b.replace(kNameAt, name.size(), name);
    bytes(b)[kBaudAt] = static_cast<uint8_t>(board.bleBaudDigit());
    b.replace(kDigestAt, kDigest, digest(b.left(kDigestAt)));

    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(b) != b.size() || !f.commit()) {
        if (error)
            *error = QStringLiteral("Не удалось записать файл состояния %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

bool StateFile::load(const QString& path, VirtualBoard& board, QString* error)
{
    QFile f(path);
    if (!f.exists())
        return true;
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Файл состояния %1 отклонён: %2").arg(path, why);
        return false;
    };
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("не удаётся прочитать (%1)").arg(f.errorString()));
    const QByteArray b = f.read(kFileSize + 1);
    if (b.size() != kFileSize)
        return fail(QStringLiteral("неверный размер (%1 байт, ожидалось %2)").arg(b.size()).arg(kFileSize));
    if (!b.startsWith(kMagic) || le::u16(bytes(b) + 8) != kVersion || le::u32(bytes(b) + 12) != kFileSize)
        return fail(QStringLiteral("это не файл состояния симулятора платы или неизвестная версия"));
    if (b.mid(kDigestAt, kDigest) != digest(b.left(kDigestAt)))
        return fail(QStringLiteral("файл повреждён, контрольная сумма не совпадает"));
    const uint8_t type = bytes(b)[10];
    if (type != static_cast<uint8_t>(board.type()))
        return fail(QStringLiteral("файл записан для платы другого типа (код %1), а запущена плата с кодом %2")
                        .arg(type)
                        .arg(static_cast<int>(board.type())));
    const int userSize = bytes(b)[kUserSizeAt];
    const int nameLength = bytes(b)[kNameLengthAt];
    const QByteArray name = b.mid(kNameAt, nameLength);
    const char baud = b.at(kBaudAt);
    if (userSize != VirtualBoard::userDataSize(board.type()) || nameLength > kNameArea ||
        !BleModule::isValidName(name) || !BleModule::isBaudDigit(baud))
        return fail(QStringLiteral("содержимое файла не соответствует плате"));

    // Everything checked: only now does the board take the contents.
    for (int page = 0; page < VirtualBoard::kPageCount; ++page)
        board.setFlashPage(page, b.mid(kPagesAt + page * static_cast<int>(rec::flash::kPageSize),
                                       static_cast<int>(rec::flash::kPageSize)));
    board.setFwConfig(b.mid(kFwAt, static_cast<int>(rec::fwcfg::kSize)));
    board.setHwConfig(b.mid(kHwAt, static_cast<int>(rec::hwcfg::kSize)));
    board.setUserData(b.mid(kUserAt, userSize));
    board.setStatistics(b.mid(kStatAt, static_cast<int>(rec::stat::kSize)));
    board.setBleName(QString::fromLatin1(name));
    board.setBleBaudDigit(baud);
    return true;
}

} // namespace vboard
