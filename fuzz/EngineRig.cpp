#include "EngineRig.h"

#include <QMap>

#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "Records.h"

namespace {

// The engine's records as EngineRig::records() lays them out, and their sizes.
enum Record { Info, Hw, Fw, Raw, Exchange, PcRaw, ArchiveStatus, User, UserLength, Archive, Stat, Page, kRecords };
const uint32_t kSizes[kRecords] = {7, rec::hwcfg::kSize, rec::fwcfg::kSize, rec::raw::kPacketSize, rec::meas::kSize, rec::pcraw::kSize,
                                   rec::archive::kBlockSize, rec::user::kBufferSize, 2,
                                   rec::archive::kMaxRecords * rec::archive::kRecordSize, rec::stat::kSize, rec::flash::kPageSize};

struct State { uint8_t progMode, devType; uint32_t programmingBytes; };   // 0 bytes: no programming run
const State kStates[EngineRig::kStateCount] = {
    {1, 1, 0},  {1, 2, 0},  {1, 3, 0}, {1, 4, 0}, {0, 1, 0}, {11, 100, 0}, {10, 100, 0},
    {1, 0, 0}, {1, 57, 0}, {5, 255, 0}, {0, 1, 2048}, {10, 100, 2048}, {0, 2, 1024}, {0, 4, 3072},
};

// The records a reply of this code may fill; the last verified page makes the sequencer fill in the
// image's CRC and length.
uint32_t recordsOf(uint8_t code)
{
    namespace c = rec::cmd;
    static const QMap<uint8_t, uint32_t> fills = {
        {c::getInfo, 1u << Info}, {c::getDataExchange, 1u << Exchange}, {c::getRawData, 1u << Raw | 1u << PcRaw},
        {c::archiveControl, 1u << ArchiveStatus}, {c::archiveData, 1u << Archive}, {c::getHwConfig, 1u << Hw},
        {c::setUserData, 3u << User}, {c::getUserData, 3u << User}, {c::flashRead, 1u << Page | 1u << Fw},
        {c::getFwConfig, 1u << Fw}, {c::statistics, 1u << Stat}};
    return fills.value(code);
}

} // namespace

EngineRig::EngineRig(uint8_t state)
{
    const State& s = kStates[state % kStateCount];
    proto.setGatePrompt([](const QString&) {});
    // The board's status arrives as a real reply, before anything is watched.
    QByteArray status = fuzz::statusReply(s.progMode, s.devType);
    proto.parseReceived(reinterpret_cast<uint8_t*>(status.data()), static_cast<uint32_t>(status.size()));
    auto read = [this](const uint8_t* p, uint32_t n) {
        uint8_t x = 0;
        for (uint32_t i = 0; i < n; ++i)
            x ^= p[i];
        sink = x;
    };
    QObject::connect(&proto, &proto_Vorlen_v2::_transmit_data, read);
    QObject::connect(&proto, &proto_Vorlen_v2::cmd_atCmd_received, read);
    QObject::connect(&proto, &proto_Vorlen_v2::cmd_fwPage_readed, read);
    QObject::connect(&proto, &proto_Vorlen_v2::log, [](const QString& text) {
        if (text.isEmpty())
            fuzz::fail("empty log line");
    });
    programmed.resize(int(s.programmingBytes));
    for (int i = 0; i < programmed.size(); ++i)
        programmed[i] = static_cast<char>(i * 7 + (i >> 10));
    if (s.programmingBytes)
        proto.startProgramming(reinterpret_cast<const uint8_t*>(programmed.constData()), s.programmingBytes);
}

QByteArray EngineRig::records() const
{
    const DevInfo& d = proto.deviceInfo();
    const uint8_t info[] = {d.progMode, d.flags, d.freePages, d.bleBridge, d.devType, d.errorCode, d.blVersion};
    const uint8_t user[] = {proto.userDataLength(), proto.userDataReached()};
    const uint8_t* parts[] = {info, proto.hwConfigRecord(), proto.fwConfigRecord(), proto.rawDataRecord(), proto.exchangeRecord(),
                              proto.pcRawRecord(), proto.archiveStatusRecord(), proto.userDataRecord(), user,
                              proto.archiveRecords(), proto.statRecord(), proto.pageRecord()};
    QByteArray out;
    for (int i = 0; i < kRecords; ++i)
        out.append(reinterpret_cast<const char*>(parts[i]), int(kSizes[i]));
    return out;
}

void EngineRig::deliver(const uint8_t* bytes, uint32_t size)
{
    // A frame may start at any start byte of the stream, also one near the end of an earlier block: the
    // byte three after each may be its code, so every code seen in this input may have filled its record.
    const QByteArray stream = recent + QByteArray(reinterpret_cast<const char*>(bytes), static_cast<int>(size));
    for (int i = 0; i + 3 < stream.size(); ++i)
        if (static_cast<uint8_t>(stream[i]) == rec::frame::kStart)
            allowed |= recordsOf(static_cast<uint8_t>(stream[i + 3]));
    recent = stream.right(3);
    std::vector<uint8_t> copy(size);
    if (size)
        std::memcpy(copy.data(), bytes, size);
    const QByteArray before = records();
    proto.parseReceived(copy.data(), size);
    const QByteArray after = records();
    for (int i = 0, at = 0; i < kRecords; at += int(kSizes[i++]))
        if (std::memcmp(before.constData() + at, after.constData() + at, kSizes[i]) != 0 && !(allowed & (1u << i)))
            fuzz::fail(qPrintable(QStringLiteral("record %1 changed by a reply that does not fill it").arg(i)));
}

void EngineRig::send(uint8_t code, const uint8_t* payload, uint32_t n)
{
    std::vector<uint8_t> copy(n);
    if (n)
        std::memcpy(copy.data(), payload, n);
    proto.sendCommand(code, copy.data(), n);
    if (proto.lastFrameLength() > rec::frame::kMaxFrame)
        fuzz::fail("request frame longer than the transmit buffer");
}
