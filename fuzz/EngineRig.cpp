#include "EngineRig.h"

#include "FrameBuilder.h"
#include "Records.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

enum Record : uint32_t {
    kDevInfo = 1u << 0,
    kHw = 1u << 1,
    kFw = 1u << 2,
    kRaw = 1u << 3,
    kExchange = 1u << 4,
    kPcRaw = 1u << 5,
    kArchiveStatus = 1u << 6,
    kUser = 1u << 7,
    kArchive = 1u << 8,
    kStat = 1u << 9,
    kPage = 1u << 10,
};

struct StateSpec {
    uint8_t progMode;
    uint8_t devType;
    uint32_t programmingBytes;   // 0: no programming run
};

const StateSpec kStates[EngineRig::kStateCount] = {
    {1, 1, 0},     {1, 2, 0},     {1, 3, 0},      {1, 4, 0},     {0, 1, 0},
    {11, 100, 0},  {10, 100, 0},  {1, 0, 0},      {1, 57, 0},    {5, 255, 0},
    {0, 1, 2048},  {10, 100, 2048}, {0, 2, 1024}, {0, 4, 3072},
};

uint32_t recordsOf(uint8_t code)
{
    switch (code) {
    case rec::cmd::getInfo: return kDevInfo;
    case rec::cmd::getDataExchange: return kExchange;
    case rec::cmd::getRawData: return kRaw | kPcRaw;
    case rec::cmd::archiveControl: return kArchiveStatus;
    case rec::cmd::archiveData: return kArchive;
    case rec::cmd::getHwConfig: return kHw;
    case rec::cmd::setUserData:
    case rec::cmd::getUserData: return kUser;
    // The last verified page makes the sequencer fill in the image's CRC and length.
    case rec::cmd::flashRead: return kPage | kFw;
    case rec::cmd::getFwConfig: return kFw;
    case rec::cmd::statistics: return kStat;
    default: return 0;
    }
}

void fail(const char* what)
{
    std::fprintf(stderr, "engine invariant broken: %s\n", what);
    std::abort();
}

template <typename T>
bool same(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

struct EngineRig::Snapshot {
    uint8_t devInfo[sizeof(DevInfo)];
    uint8_t hwConfig[rec::hwcfg::kSize];
    uint8_t fwConfig[rec::fwcfg::kSize];
    uint8_t rawData[rec::raw::kPacketSize];
    uint8_t exchangeData[rec::meas::kSize];
    uint8_t pcRawData[rec::pcraw::kSize];
    uint8_t archiveStatus[rec::archive::kBlockSize];
    uint8_t userData[rec::user::kBufferSize + 2];
    uint8_t archiveData[rec::archive::kMaxRecords * rec::archive::kRecordSize];
    uint8_t stat[rec::stat::kSize];
    uint8_t pageBuf[rec::flash::kPageSize];
};

EngineRig::EngineRig(uint8_t state) : proto(new proto_Vorlen_v2)
{
    const StateSpec& spec = kStates[state % kStateCount];
    proto->setGatePrompt([](const QString&) {});
    // The board's status arrives as a real reply, before anything is watched.
    QByteArray status = FrameBuilder::getInfoReply(spec.progMode, spec.devType);
    proto->parseReceived(reinterpret_cast<uint8_t*>(status.data()), static_cast<uint32_t>(status.size()));

    auto* engine = proto.get();
    QObject::connect(engine, &proto_Vorlen_v2::_transmit_data, [this](uint8_t* buf, uint32_t size) {
        uint8_t x = 0;
        for (uint32_t i = 0; i < size; ++i)
            x ^= buf[i];
        sink = x;
    });
    QObject::connect(engine, &proto_Vorlen_v2::cmd_atCmd_received, [this](uint8_t* data, uint32_t size) {
        uint8_t x = 0;
        for (uint32_t i = 0; i < size; ++i)
            x ^= data[i];
        sink = x;
    });
    QObject::connect(engine, &proto_Vorlen_v2::cmd_fwPage_readed, [this](uint8_t* data, uint32_t size) {
        uint8_t x = 0;
        for (uint32_t i = 0; i < size; ++i)
            x ^= data[i];
        sink = x;
    });
    static const bool trace = qEnvironmentVariableIsSet("RCONF_FUZZ_TRACE");
    QObject::connect(engine, &proto_Vorlen_v2::log, [this](const QString& text) {
        if (trace)
            std::fprintf(stderr, "  log: %s\n", qPrintable(text));
        if (text.isEmpty())
            fail("empty log line");
        sink = static_cast<uint8_t>(text.size());
    });

    if (spec.programmingBytes) {
        image.reset(new uint8_t[spec.programmingBytes]);
        fillImage(image.get(), spec.programmingBytes);
        proto->startProgramming(image.get(), spec.programmingBytes);
    }
}

EngineRig::~EngineRig() = default;

void EngineRig::fillImage(uint8_t* image, uint32_t size)
{
    for (uint32_t i = 0; i < size; ++i)
        image[i] = static_cast<uint8_t>(i * 7 + (i >> 10));
}

void EngineRig::allowCode(uint8_t code)
{
    allowedRecords |= recordsOf(code);
}

void EngineRig::takeSnapshot(Snapshot& s) const
{
    const proto_Vorlen_v2& e = *proto;
    std::memcpy(s.devInfo, &e.deviceInfo(), sizeof s.devInfo);
    std::memcpy(s.hwConfig, e.hwConfigRecord(), sizeof s.hwConfig);
    std::memcpy(s.fwConfig, e.fwConfigRecord(), sizeof s.fwConfig);
    std::memcpy(s.rawData, e.rawDataRecord(), sizeof s.rawData);
    std::memcpy(s.exchangeData, e.exchangeRecord(), sizeof s.exchangeData);
    std::memcpy(s.pcRawData, e.pcRawRecord(), sizeof s.pcRawData);
    std::memcpy(s.archiveStatus, e.archiveStatusRecord(), sizeof s.archiveStatus);
    std::memcpy(s.userData, e.userDataRecord(), rec::user::kBufferSize);
    s.userData[rec::user::kBufferSize] = e.userDataLength();
    s.userData[rec::user::kBufferSize + 1] = e.userDataReached();
    std::memcpy(s.archiveData, e.archiveRecords(), sizeof s.archiveData);
    std::memcpy(s.stat, e.statRecord(), sizeof s.stat);
    std::memcpy(s.pageBuf, e.pageRecord(), sizeof s.pageBuf);
}

void EngineRig::checkChanges(const Snapshot& before) const
{
    Snapshot now;
    takeSnapshot(now);
    struct Check {
        uint32_t record;
        bool unchanged;
        const char* name;
    };
    const Check checks[] = {
        {kDevInfo, same(before.devInfo, now.devInfo), "devInfo"},
        {kHw, same(before.hwConfig, now.hwConfig), "hwConfig"},
        {kFw, same(before.fwConfig, now.fwConfig), "fwConfig"},
        {kRaw, same(before.rawData, now.rawData), "rawData"},
        {kExchange, same(before.exchangeData, now.exchangeData), "exchangeData"},
        {kPcRaw, same(before.pcRawData, now.pcRawData), "pcRawData"},
        {kArchiveStatus, same(before.archiveStatus, now.archiveStatus), "archiveStatus"},
        {kUser, same(before.userData, now.userData), "userData"},
        {kArchive, same(before.archiveData, now.archiveData), "archiveData"},
        {kStat, same(before.stat, now.stat), "stat"},
        {kPage, same(before.pageBuf, now.pageBuf), "pageBuf"},
    };
    for (const Check& c : checks) {
        if (!c.unchanged && !(allowedRecords & c.record)) {
            std::fprintf(stderr, "record %s changed by a reply that does not fill it\n", c.name);
            std::abort();
        }
    }
}

void EngineRig::deliver(const uint8_t* bytes, uint32_t size)
{
    // A block may complete a frame begun by an earlier one, so every code
    // seen in this input may have filled its record.
    static const bool trace = qEnvironmentVariableIsSet("RCONF_FUZZ_TRACE");
    if (trace)
        std::fprintf(stderr, "deliver %u bytes%s\n", size,
                     qPrintable(QByteArray(reinterpret_cast<const char*>(bytes), int(size < 16 ? size : 16)).toHex(' ').prepend(": ")));
    // A frame may start at any start byte of the stream, also one near the
    // end of an earlier block: the byte three after each may be its code.
    std::vector<uint8_t> stream(recentBytes);
    stream.insert(stream.end(), bytes, bytes + size);
    for (size_t i = 0; i + 3 < stream.size(); ++i)
        if (stream[i] == rec::frame::kStart)
            allowCode(stream[i + 3]);
    const size_t keep = stream.size() < 3 ? stream.size() : 3;
    recentBytes.assign(stream.end() - static_cast<std::ptrdiff_t>(keep), stream.end());
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
    if (size)
        std::memcpy(copy.get(), bytes, size);
    Snapshot before;
    takeSnapshot(before);
    proto->parseReceived(copy.get(), size);
    checkChanges(before);
}

void EngineRig::deliver(const QByteArray& block)
{
    deliver(reinterpret_cast<const uint8_t*>(block.constData()), static_cast<uint32_t>(block.size()));
}

void EngineRig::send(uint8_t code, const uint8_t* payload, uint32_t n)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n]);
    if (n)
        std::memcpy(copy.get(), payload, n);
    proto->sendCommand(code, copy.get(), n);
    if (proto->lastFrameLength() > rec::frame::kMaxFrame)
        fail("request frame longer than the transmit buffer");
}
