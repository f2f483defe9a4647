#include "RequestAssembler.h"

#include "FrameCodec.h"

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
        const auto* front = reinterpret_cast<const uint8_t*>(buffer.constData());
        const size_t available = static_cast<size_t>(buffer.size());
        uint32_t length = 0;
        switch (FrameCodec::examineFront(front, available, &length, false)) {
        case FrameCodec::Front::Empty:
        case FrameCodec::Front::Incomplete:
            return frames;
        case FrameCodec::Front::Junk:
            buffer.remove(0, static_cast<int>(FrameCodec::toNextStart(front, available)));
            break;
        case FrameCodec::Front::Frame:
            frames.append(buffer.left(static_cast<int>(length)));
            buffer.remove(0, static_cast<int>(length));
            break;
        }
    }
}

} // namespace vboard
