#include "FuzzSupport.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "Crc16.h"
#include "FrameCodec.h"

namespace fuzz {

namespace {
int argc = 1;
char name[] = "rconf-fuzz";
char* argv[] = {name, nullptr};
} // namespace

void start(bool widgets)
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    qputenv("QT_QPA_PLATFORM", "offscreen");
    widgets ? new QApplication(argc, argv) : new QCoreApplication(argc, argv);
}

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

QByteArray statusReply(uint8_t progMode, uint8_t devType)
{
    QByteArray payload(static_cast<int>(rec::devinfo::kSize), '\0');
    payload[rec::devinfo::kProgMode] = static_cast<char>(progMode);
    payload[rec::devinfo::kFwFlag] = payload[rec::devinfo::kHwFlag] = 1;
    payload[rec::devinfo::kFreePages] = 64;
    payload[rec::devinfo::kDevType] = static_cast<char>(devType);
    payload[rec::devinfo::kBlVersion] = 0x12;
    return FrameCodec::build(rec::cmd::getInfo, payload);
}

QByteArray withInnerCrc(const QByteArray& block)
{
    QByteArray out = block + QByteArray(2, '\0');
    Crc16().append(reinterpret_cast<uint8_t*>(out.data()), static_cast<uint16_t>(out.size()));
    return out;
}

} // namespace fuzz
