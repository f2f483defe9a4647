#include "RequestAssembler.h"

#include "LittleEndian.h"
#include "Records.h"

namespace vboard {

QList<QByteArray> RequestAssembler::feed(const QByteArray& bytes)
{
    buffer.append(bytes);
    return extract();
}

QList<QByteArray> RequestAssembler::expire()
{
    if (!buffer.isEmpty())
        buffer.remove(0, 1);
    return extract();
}

QList<QByteArray> RequestAssembler::extract()
{
    QList<QByteArray> frames;
    for (;;) {
        const int start = buffer.indexOf(static_cast<char>(rec::frame::kStart));
        if (start < 0) {
            buffer.clear();
            break;
        }
        if (start > 0)
            buffer.remove(0, start);
        if (buffer.size() < 3)
            break;
        const uint32_t length = le::u16(reinterpret_cast<const uint8_t*>(buffer.constData()) + 1);
        if (length < rec::frame::kOverhead || length > rec::frame::kMaxFrame) {
            buffer.remove(0, 1); // not a frame start after all
            continue;
        }
        if (static_cast<uint32_t>(buffer.size()) < length)
            break;
        frames.append(buffer.left(static_cast<int>(length)));
        buffer.remove(0, static_cast<int>(length));
    }
    return frames;
}

} // namespace vboard
