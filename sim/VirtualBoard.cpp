#include "VirtualBoard.h"

#include "Crc16.h"
#include "FrameCodec.h"
#include "LittleEndian.h"
#include "Records.h"

#include <algorithm>

namespace vboard {

namespace {
constexpr int kFlashBlockSize = 256; // block size of the block-wise page commands
// Archive states; a fresh, all-zero status block is idle (0).
constexpr uint8_t kArchiveRecording = 1, kArchiveFinished = 3;
constexpr uint8_t kFwVersion = 5;

uint8_t* bytes(QByteArray& b)
{
    return reinterpret_cast<uint8_t*>(b.data());
}
const uint8_t* bytes(const QByteArray& b)
{
    return reinterpret_cast<const uint8_t*>(b.constData());
}

// Pull-up code 1..3 drives HC595 bit 3..5; 0 drives none.
constexpr uint8_t kConductMask = 0x38;
uint8_t conductCodeFromOutputs(uint8_t outputs)
{
    for (uint8_t code = 1; code <= 3; ++code)
        if (outputs & (1u << (code + 2)))
            return code;
    return 0;
}

QByteArray defaultHwConfig(BoardType type)
{
    using namespace rec::hwcfg;
    QByteArray b(static_cast<int>(kSize), '\0');
    bytes(b)[kDeviceType] = static_cast<uint8_t>(type);
    bytes(b)[kHwVersion] = 1;
    struct Coef { uint32_t offset; float physics, chemistry; };
    const Coef coefs[] = {
        {k_ch0, 7.07f, 0.32258f},         {delta_ch0, 0, -0.08f},           {k_ch1, -1.312f, 0},
        {k1_ch2, 144.9915f, 144.9915f},   {delta1_ch2, -83.4412f, -83.4412f}, {k2_ch2, 122.7484f, 122.7484f},
        {delta2_ch2, -66.8052f, -66.8052f}, {pointT_ch2, 0.747914f, 0.747914f}, {k1_ch3, 71.43f, 0},
    };
    if (type == BoardType::Photocolorimeter)
        return b;
    for (const Coef& c : coefs)
        le::putF32(bytes(b) + c.offset, type == BoardType::Chemistry ? c.chemistry : c.physics);
    return b;
}

QByteArray defaultFwConfig(uint32_t seed)
{
    using namespace rec::fwcfg;
    QByteArray b(static_cast<int>(kSize), '\0');
    le::put32(bytes(b) + kSerialNumber, 100000 + seed % 900000);
    le::put16(bytes(b) + kFwCrc, 0xFFFF); // CRC of an empty image
    le::put16(bytes(b) + kFwLength, 0);
    bytes(b)[kFwVersion] = kFwVersion;
    bytes(b)[kBuildDay] = 1;
    bytes(b)[kBuildMonth] = 9;
    bytes(b)[kBuildYear] = 24;
    return b;
}
} // namespace

VirtualBoard::VirtualBoard(BoardType type, Program program, uint32_t seed)
    : boardType(type),
      running(program),
      pages(kPageCount, QByteArray(static_cast<int>(rec::flash::kPageSize), '\xFF')),
      fwCfg(defaultFwConfig(seed)),
      hwCfg(defaultHwConfig(type)),
      user(userDataSize(type), '\0'),
      stats(static_cast<int>(rec::stat::kSize), '\0'),
      sensors(seed),
      archiveBlock(static_cast<int>(rec::archive::kBlockSize), '\0')
{
    stat.devType = static_cast<uint8_t>(type);
    updateFreePages();
}

int VirtualBoard::userDataSize(BoardType type)
{
    switch (type) {
    case BoardType::Physics: return rec::user::kPhysicsSize;
    case BoardType::Chemistry: return rec::user::kChemistrySize;
    case BoardType::Biology: return rec::user::kBiologySize;
    default: return 0;
    }
}

uint8_t VirtualBoard::progMode() const
{
    const uint8_t family = boardType == BoardType::Photocolorimeter ? 10 : 0;
    return static_cast<uint8_t>(family + (running == Program::Main ? 1 : 0));
}

void VirtualBoard::setProgram(Program p)
{
    if (p != running)
        stopRecording();
    running = p;
    pendingRestart = false;
}

void VirtualBoard::completeRestart()
{
    const Program next = running == Program::Main ? Program::Bootloader : Program::Main;
    setProgram(next);
    runTime = 0; // the controller's millisecond counter starts again
    powerOn();
}

void VirtualBoard::powerOn()
{
    if (running == Program::Main) {
        addToStat(rec::stat::kBoardStarts, 1);
        touch();
    }
}

// ---- memory and records -------------------------------------------------

QByteArray VirtualBoard::flashPage(int page) const
{
    return page >= 0 && page < kPageCount ? pages.at(page) : QByteArray();
}

void VirtualBoard::setFlashPage(int page, const QByteArray& data)
{
    if (page < 0 || page >= kPageCount)
        return;
    QByteArray p = data.left(static_cast<int>(rec::flash::kPageSize));
    p.append(QByteArray(static_cast<int>(rec::flash::kPageSize) - p.size(), '\xFF'));
    pages[page] = p;
    touch();
}

void VirtualBoard::setFwConfig(const QByteArray& rec60)
{
    if (rec60.size() != static_cast<int>(rec::fwcfg::kSize))
        return;
    fwCfg = rec60;
    updateFreePages();
    touch();
}

void VirtualBoard::setHwConfig(const QByteArray& rec288)
{
    if (rec288.size() != static_cast<int>(rec::hwcfg::kSize))
        return;
    hwCfg = rec288;
    touch();
}

void VirtualBoard::setUserData(const QByteArray& block)
{
    const int size = userDataSize(boardType);
    QByteArray b = block.left(size);
    b.append(QByteArray(size - b.size(), '\0'));
    user = b;
    touch();
}

void VirtualBoard::setStatistics(const QByteArray& rec60)
{
    if (rec60.size() != static_cast<int>(rec::stat::kSize))
        return;
    stats = rec60;
    touch();
}

QByteArray VirtualBoard::archiveRecord(int index) const
{
    return index >= 0 && index < archiveRecords.size() ? archiveRecords.at(index) : QByteArray();
}

float VirtualBoard::pwm(int channel) const
{
    return channel >= 0 && channel < 3 ? controls.pwm[channel] : 0.0f;
}

QString VirtualBoard::bleName() const
{
    return QString::fromLatin1(ble.name());
}

void VirtualBoard::setBleName(const QString& name)
{
    ble.setName(name.toLatin1());
    touch();
}

void VirtualBoard::setBleBaudDigit(char digit)
{
    if (BleModule::isBaudDigit(digit))
        ble.setBaudDigit(digit);
    touch();
}

void VirtualBoard::corruptPageOnRead(int page, int offset)
{
    if (page < 0)
        corruptPages.clear();
    else
        corruptPages.insert(page, std::clamp(offset, 0, static_cast<int>(rec::flash::kPageSize) - 1));
}

void VirtualBoard::updateFreePages()
{
    const uint32_t length = le::u16(bytes(fwCfg) + rec::fwcfg::kFwLength);
    const uint32_t used = (length + rec::flash::kPageSize - 1) / rec::flash::kPageSize;
    stat.freePages = static_cast<uint8_t>(kPageCount - std::min<uint32_t>(used, kPageCount));
}

void VirtualBoard::addToStat(uint32_t offset, uint32_t delta)
{
    if (offset == rec::stat::kFwUpdates) {
        le::put16(bytes(stats) + offset, static_cast<uint16_t>(le::u16(bytes(stats) + offset) + delta));
        return;
    }
    le::put32(bytes(stats) + offset, le::u32(bytes(stats) + offset) + delta);
}

void VirtualBoard::setConductCode(uint8_t code)
{
    controls.conductCode = code;
    controls.outputs = static_cast<uint8_t>((controls.outputs & ~kConductMask) | (code ? 1u << (code + 2) : 0u));
}

// ---- time ----------------------------------------------------------------

void VirtualBoard::advanceTime(qint64 ms)
{
    if (ms <= 0)
        return;
    const qint64 step = std::min<qint64>(ms, 24LL * 3600 * 1000);
    runTime += static_cast<uint32_t>(step);
    msTowardSecond += step;
    if (msTowardSecond >= 1000) {
        addToStat(rec::stat::kUseTime, static_cast<uint32_t>(msTowardSecond / 1000));
        msTowardSecond %= 1000;
    }
    if (archiveBlock.at(rec::archive::kState) != kArchiveRecording)
        return;
    recordingElapsed += step;
    const uint32_t period = le::u32(bytes(archiveBlock) + rec::archive::kPeriod);
    const int count = bytes(archiveBlock)[rec::archive::kCount];
    while (archiveRecords.size() < count && recordingElapsed >= static_cast<qint64>(archiveRecords.size()) * period)
        takeArchiveRecord();
    if (archiveRecords.size() >= count)
        bytes(archiveBlock)[rec::archive::kState] = kArchiveFinished;
}

void VirtualBoard::takeArchiveRecord()
{
    const uint32_t period = le::u32(bytes(archiveBlock) + rec::archive::kPeriod);
    const uint32_t stamp = recordingStart + static_cast<uint32_t>(archiveRecords.size()) * period;
    archiveRecords.append(sensors.measurement(controls, stamp));
    bytes(archiveBlock)[rec::archive::kStored] = static_cast<uint8_t>(archiveRecords.size());
}

void VirtualBoard::stopRecording()
{
    if (archiveBlock.at(rec::archive::kState) == kArchiveRecording)
        bytes(archiveBlock)[rec::archive::kState] = kArchiveFinished;
}

// ---- requests --------------------------------------------------------------

bool VirtualBoard::accepts(Program program, uint8_t code)
{
    namespace c = rec::cmd;
    switch (code) {
    case c::archiveControl: case c::archiveData: case c::setUserData: case c::getUserData: case c::bootloaderInit:
        return program == Program::Main;
    case c::setHwConfig: case c::flashWrite: case c::flashRead: case c::setFwConfig: case c::bootloaderFinish:
        return program == Program::Bootloader;
    default:
        return true;
    }
}

QByteArray VirtualBoard::reply(uint8_t code, const QByteArray& payload) const
{
    return FrameCodec::build(code, payload);
}

QByteArray VirtualBoard::refusal() const
{
    return FrameCodec::build(rec::frame::kRefusal);
}

QByteArray VirtualBoard::handleRequest(const QByteArray& request)
{
    if (!FrameCodec::isFrame(request))
        return refusal();
    const uint8_t code = FrameCodec::code(request);
    if (!accepts(running, code))
        return refusal();
    const QByteArray p = FrameCodec::payload(request);
    namespace c = rec::cmd;
    switch (code) {
    case c::getInfo: return onGetInfo();
    case c::getDataExchange: return onExchange(p);
    case c::getRawData: return onRawData(p);
    case c::archiveControl: return onArchiveControl(p);
    case c::archiveData: return onArchiveData(p);
    case c::setHwConfig: return onSetHwConfig(p);
    case c::getHwConfig: return onGetHwConfig();
    case c::setUserData: return onSetUserData(p);
    case c::getUserData: return onGetUserData();
    case c::bleAtCmd: return onAtCommand(p);
    case c::flashWrite: return onFlashWrite(p);
    case c::flashRead: return onFlashRead(p);
    case c::flashWriteBlock: return onFlashWriteBlock(p);
    case c::flashReadBlock: return onFlashReadBlock(p);
    case c::setFwConfig: return onSetFwConfig(p);
    case c::getFwConfig: return onGetFwConfig();
    case c::bootloaderInit: case c::bootloaderFinish: return onProgramSwitch(code);
    case c::statistics: return onStatistics(p);
    default: return refusal();
    }
}

QByteArray VirtualBoard::onGetInfo()
{
    using namespace rec::devinfo;
    QByteArray p(static_cast<int>(kSize), '\0');
    uint8_t* b = bytes(p);
    b[kProgMode] = progMode();
    b[kFwFlag] = stat.flags & 1;
    b[kHwFlag] = (stat.flags >> 1) & 1;
    b[kFreePages] = stat.freePages;
    b[kBleBridge] = stat.bleBridge;
    b[kDevType] = stat.devType;
    b[kErrorCode] = stat.errorCode;
    b[kBlVersion] = stat.blVersion;
    return reply(rec::cmd::getInfo, p);
}

QByteArray VirtualBoard::onExchange(const QByteArray& p)
{
    if (!isLaboratory(boardType))
        return reply(rec::cmd::getDataExchange); // the photocolorimeter has no exchange record
    if (p.size() == 2) {
        controls.accelScale = static_cast<uint8_t>(p.at(0)) & 3;
        setConductCode(static_cast<uint8_t>(p.at(1)) & 3);
    } else if (!p.isEmpty()) {
        return refusal();
    }
    if (!exchangeOverride.isEmpty())
        return reply(rec::cmd::getDataExchange, exchangeOverride);
    return reply(rec::cmd::getDataExchange, sensors.measurement(controls, runTime));
}

QByteArray VirtualBoard::onRawData(const QByteArray& p)
{
    const bool photometer = boardType == BoardType::Photocolorimeter;
    if (!photometer && p.size() == 3) {
        controls.outputs = static_cast<uint8_t>(p.at(0));
        controls.conductCode = conductCodeFromOutputs(controls.outputs);
        bleStateCode = static_cast<uint8_t>(p.at(1));
        controls.accelScale = static_cast<uint8_t>(p.at(2)) & 3;
    } else if (photometer && p.size() == 12) {
        for (int ch = 0; ch < 3; ++ch)
            controls.pwm[ch] = std::clamp(le::f32(bytes(p) + 4 * ch), 0.0f, 100.0f);
    } else if (!p.isEmpty()) {
        return refusal();
    }
    if (!rawOverride.isEmpty())
        return reply(rec::cmd::getRawData, rawOverride);
    return reply(rec::cmd::getRawData, photometer ? sensors.photometerPacket(controls, runTime)
                                                  : sensors.rawPacket(controls, runTime));
}

QByteArray VirtualBoard::onArchiveControl(const QByteArray& p)
{
    using namespace rec::archive;
    if (p.isEmpty())
        return reply(rec::cmd::archiveControl, archiveBlock);
    if (p.size() != static_cast<int>(kBlockSize))
        return refusal();
    const uint32_t period = le::u32(bytes(p) + kPeriod);
    const int count = static_cast<uint8_t>(p.at(kCount));
    if (period == 0 || count == 0 || count > static_cast<int>(kMaxRecords))
        return refusal();
    archiveBlock = p;
    bytes(archiveBlock)[kState] = kArchiveRecording;
    bytes(archiveBlock)[kStored] = 0;
    archiveRecords.clear();
    recordingStart = runTime;
    recordingElapsed = 0;
    addToStat(rec::stat::kArchiveUses, 1);
    touch();
    return reply(rec::cmd::archiveControl, archiveBlock);
}

QByteArray VirtualBoard::onArchiveData(const QByteArray& p)
{
    if (p.size() != 2)
        return refusal();
    const int address = static_cast<uint8_t>(p.at(0));
    const int wanted = static_cast<uint8_t>(p.at(1));
    const int count = std::min(wanted, static_cast<int>(archiveRecords.size()) - address);
    if (wanted == 0 || wanted > static_cast<int>(rec::archive::kMaxChunk) || count <= 0)
        return refusal();
    QByteArray out;
    out.append(static_cast<char>(address));
    out.append(static_cast<char>(count));
    for (int i = 0; i < count; ++i)
        out.append(archiveRecords.at(address + i));
    return reply(rec::cmd::archiveData, out);
}

QByteArray VirtualBoard::onSetHwConfig(const QByteArray& p)
{
    if (p.size() != static_cast<int>(rec::hwcfg::kWireSize) ||
        !Crc16().check(bytes(p), static_cast<uint16_t>(p.size())))
        return refusal();
    setHwConfig(p.left(static_cast<int>(rec::hwcfg::kSize)));
    return reply(rec::cmd::setHwConfig);
}

QByteArray VirtualBoard::onGetHwConfig()
{
    QByteArray out = hwCfg + QByteArray(2, '\0');
    Crc16().append(bytes(out), static_cast<uint16_t>(out.size()));
    return reply(rec::cmd::getHwConfig, out);
}

QByteArray VirtualBoard::onSetUserData(const QByteArray& p)
{
    const int size = userDataSize(boardType);
    if (size == 0 || p.size() < 3)
        return refusal();
    const int offset = static_cast<uint8_t>(p.at(0));
    const int k = static_cast<uint8_t>(p.at(1));
    if (k != p.size() - 3 || k > static_cast<int>(rec::user::kMaxChunk) || offset + k > size)
        return refusal();
    user.replace(offset, k, p.mid(3));
    touch();
    return reply(rec::cmd::setUserData, p.left(3));
}

QByteArray VirtualBoard::onGetUserData()
{
    return reply(rec::cmd::getUserData, user);
}

QByteArray VirtualBoard::onAtCommand(const QByteArray& p)
{
    if (p.size() < 4)
        return refusal();
    atSpeed = le::u32(bytes(p));
    QByteArray text = p.mid(4);
    if (text.endsWith("\r\n"))
        text.chop(2);
    const QByteArray before = ble.name() + ble.baudDigit();
    const QByteArray answer = ble.answer(text);
    if (ble.name() + ble.baudDigit() != before)
        touch();
    QByteArray out(4, '\0');
    le::put32(bytes(out), atSpeed);
    out.append(answer);
    out.append("\r\n");
    return reply(rec::cmd::bleAtCmd, out);
}

QByteArray VirtualBoard::onFlashWrite(const QByteArray& p)
{
    const int page = p.isEmpty() ? -1 : static_cast<uint8_t>(p.at(0));
    if (p.size() != static_cast<int>(rec::flash::kPageSize) + 1 || page >= kPageCount || page == refusedPage)
        return refusal();
    setFlashPage(page, p.mid(1));
    return reply(rec::cmd::flashWrite, p.left(1));
}

QByteArray VirtualBoard::onFlashRead(const QByteArray& p)
{
    const int page = p.isEmpty() ? -1 : static_cast<uint8_t>(p.at(0));
    if (p.size() != 1 || page >= kPageCount)
        return refusal();
    QByteArray data = pages.at(page);
    if (corruptPages.contains(page)) {
        const int offset = corruptPages.value(page);
        data[offset] = static_cast<char>(data.at(offset) ^ 0x5A);
    }
    return reply(rec::cmd::flashRead, p.left(1) + data);
}

QByteArray VirtualBoard::onFlashWriteBlock(const QByteArray& p)
{
    if (p.size() < 3)
        return refusal();
    const int page = static_cast<uint8_t>(p.at(0));
    const int block = static_cast<uint8_t>(p.at(1));
    const int offset = block * kFlashBlockSize;
    const int n = p.size() - 2;
    if (page >= kPageCount || n > kFlashBlockSize || offset + n > static_cast<int>(rec::flash::kPageSize))
        return refusal();
    pages[page].replace(offset, n, p.mid(2));
    touch();
    return reply(rec::cmd::flashWriteBlock, p.left(2));
}

QByteArray VirtualBoard::onFlashReadBlock(const QByteArray& p)
{
    if (p.size() != 2)
        return refusal();
    const int page = static_cast<uint8_t>(p.at(0));
    const int block = static_cast<uint8_t>(p.at(1));
    if (page >= kPageCount || (block + 1) * kFlashBlockSize > static_cast<int>(rec::flash::kPageSize))
        return refusal();
    return reply(rec::cmd::flashReadBlock, p + pages.at(page).mid(block * kFlashBlockSize, kFlashBlockSize));
}

QByteArray VirtualBoard::onSetFwConfig(const QByteArray& p)
{
    if (p.size() != static_cast<int>(rec::fwcfg::kSize))
        return refusal();
    setFwConfig(p);
    addToStat(rec::stat::kFwUpdates, 1);
    return reply(rec::cmd::setFwConfig);
}

QByteArray VirtualBoard::onGetFwConfig()
{
    QByteArray out = fwCfg;
    if (corruptFwRead)
        out[rec::fwcfg::kFwVersion] = static_cast<char>(out.at(rec::fwcfg::kFwVersion) ^ 0x01);
    return reply(rec::cmd::getFwConfig, out);
}

QByteArray VirtualBoard::onProgramSwitch(uint8_t code)
{
    pendingRestart = true;
    return reply(code);
}

QByteArray VirtualBoard::onStatistics(const QByteArray& p)
{
    if (p.size() == 2 && le::u16(bytes(p)) == rec::cmd::statResetCode) {
        stats.fill('\0');
        msTowardSecond = 0;
        touch();
    } else if (!p.isEmpty()) {
        return refusal();
    }
    return reply(rec::cmd::statistics, stats);
}

} // namespace vboard
