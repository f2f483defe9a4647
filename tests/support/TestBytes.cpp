#include "TestBytes.h"

#include "FrameCodec.h"
#include "proto_Vorlen_v2.h"

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(static_cast<char>(v));
    return b;
}

QByteArray wireFrame(uint8_t code, const QByteArray& payload)
{
    return FrameCodec::build(code, payload);
}

void feedReply(proto_Vorlen_v2& engine, uint8_t code, const QByteArray& payload)
{
    QByteArray frame = wireFrame(code, payload);
    engine.parseReceived(raw(frame), static_cast<uint32_t>(frame.size()));
}

void feedStatus(proto_Vorlen_v2& engine, uint8_t progMode, uint8_t devType, uint8_t flags)
{
    QByteArray p(static_cast<int>(rec::devinfo::kSize), '\0');
    p[rec::devinfo::kProgMode] = static_cast<char>(progMode);
    p[rec::devinfo::kFwFlag] = static_cast<char>(flags & 1);
    p[rec::devinfo::kHwFlag] = static_cast<char>((flags >> 1) & 1);
    p[rec::devinfo::kDevType] = static_cast<char>(devType);
    feedReply(engine, rec::cmd::getInfo, p);
}
