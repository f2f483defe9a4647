// Writes the seed corpora of the fuzz targets from the protocol's real
// traffic: every catalogue request answered by a simulated board of every
// type in both programs, whole programming runs, and update files.
//   make_seeds <output folder>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <vector>

#include "EngineRig.h"
#include "FrameCodec.h"
#include "LittleEndian.h"
#include "Records.h"
#include "UpdateFileWriter.h"
#include "UpdateSheet.h"
#include "VirtualBoard.h"

using vboard::BoardType;
using vboard::Program;
using vboard::VirtualBoard;

namespace {

struct Request {
    uint8_t code;
    QByteArray payload;
};

QByteArray bytes(std::initializer_list<uint8_t> list)
{
    QByteArray out;
    for (uint8_t b : list)
        out.append(static_cast<char>(b));
    return out;
}

QByteArray le32(uint32_t v)
{
    QByteArray out(4, '\0');
    le::put32(reinterpret_cast<uint8_t*>(out.data()), v);
    return out;
}

QList<Request> catalogue(BoardType type)
{
    QByteArray archiveStart(static_cast<int>(rec::archive::kBlockSize), '\0');
    le::put32(reinterpret_cast<uint8_t*>(archiveStart.data()) + rec::archive::kPeriod, 10);
    archiveStart[rec::archive::kCount] = 20;
    archiveStart[rec::archive::kYear] = 24;
    archiveStart[rec::archive::kMonth] = 3;
    archiveStart[rec::archive::kDay] = 14;
    const int userSize = VirtualBoard::userDataSize(type);
    QByteArray userChunk = bytes({0, static_cast<uint8_t>(userSize), 1});
    userChunk.append(QByteArray(userSize, '\x01'));
    QByteArray page(static_cast<int>(rec::flash::kPageSize), '\x3C');
    QByteArray pwm = le32(0x3F000000) + le32(0x3E800000) + le32(0);
    return {
        {rec::cmd::getInfo, {}},
        {rec::cmd::getDataExchange, {}},
        {rec::cmd::getDataExchange, bytes({1, 2})},
        {rec::cmd::getRawData, {}},
        {rec::cmd::getRawData, bytes({0x21, 0x03, 0x01})},
        {rec::cmd::getRawData, pwm},
        {rec::cmd::archiveControl, archiveStart},
        {rec::cmd::archiveControl, {}},
        {rec::cmd::archiveData, bytes({0, 8})},
        {rec::cmd::archiveData, bytes({8, 4})},
        {rec::cmd::setHwConfig, {}},
        {rec::cmd::getHwConfig, {}},
        {rec::cmd::setUserData, userChunk},
        {rec::cmd::getUserData, {}},
        {rec::cmd::bleAtCmd, le32(9600) + QByteArray("AT\r\n")},
        {rec::cmd::bleAtCmd, le32(9600) + QByteArray("AT+NAME\r\n")},
        {rec::cmd::flashWrite, bytes({3}) + page},
        {rec::cmd::flashRead, bytes({3})},
        {rec::cmd::setFwConfig, QByteArray(static_cast<int>(rec::fwcfg::kSize), '\x11')},
        {rec::cmd::getFwConfig, {}},
        {rec::cmd::flashWriteBlock, bytes({2, 1}) + QByteArray(64, '\x55')},
        {rec::cmd::flashReadBlock, bytes({2, 1})},
        {rec::cmd::statistics, {}},
        {rec::cmd::statistics, bytes({0x94, 0x2B})},
        {rec::cmd::bootloaderInit, {}},
        {rec::cmd::bootloaderFinish, {}},
    };
}

// Engine states of EngineRig that match a simulated board.
uint8_t stateFor(BoardType type, Program program)
{
    if (type == BoardType::Photocolorimeter)
        return program == Program::Main ? 5 : 6;
    if (program == Program::Bootloader)
        return 4;
    return static_cast<uint8_t>(static_cast<int>(type) - 1);
}

class SeedWriter
{
public:
    explicit SeedWriter(const QString& root) : root(root) {}
    void write(const char* target, const QByteArray& seed)
    {
        QDir dir(root + QLatin1Char('/') + QLatin1String(target));
        dir.mkpath(QStringLiteral("."));
        QFile f(dir.filePath(QStringLiteral("seed-%1").arg(count++, 4, 10, QLatin1Char('0'))));
        if (f.open(QIODevice::WriteOnly))
            f.write(seed);
    }
    int written() const { return count; }

private:
    QString root;
    int count = 0;
};

QByteArray u16(uint32_t v)
{
    return bytes({static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>((v >> 8) & 0xFF)});
}

// One reply as the blocks target reads it: control, length, bytes.
QByteArray blockRecord(const QByteArray& reply)
{
    return bytes({0}) + u16(static_cast<uint32_t>(reply.size())) + reply;
}

// One reply as the frames target reads it: control (start the request first), code, length, payload.
QByteArray frameRecord(const QByteArray& reply)
{
    const QByteArray payload = FrameCodec::payload(reply);
    return bytes({0x04, FrameCodec::code(reply)}) + u16(static_cast<uint32_t>(payload.size())) + payload;
}

QByteArray requestFrame(proto_Vorlen_v2& engine, const Request& r)
{
    engine.sendCommand(r.code, reinterpret_cast<const uint8_t*>(r.payload.constData()),
                       static_cast<uint32_t>(r.payload.size()));
    return QByteArray(reinterpret_cast<const char*>(engine.lastFrame()), static_cast<int>(engine.lastFrameLength()));
}

void catalogueSeeds(SeedWriter& out)
{
    const BoardType types[] = {BoardType::Physics, BoardType::Chemistry, BoardType::Ecology, BoardType::Biology,
                               BoardType::Photocolorimeter};
    for (BoardType type : types) {
        for (Program program : {Program::Main, Program::Bootloader}) {
            VirtualBoard board(type, program, 7);
            proto_Vorlen_v2 engine;
            engine.setGatePrompt([](const QString&) {});
            QByteArray allBlocks = bytes({stateFor(type, program)});
            QByteArray allFrames = allBlocks;
            for (const Request& r : catalogue(type)) {
                if (r.code == rec::cmd::archiveData)
                    board.advanceTime(1000);
                const QByteArray reply = board.handleRequest(requestFrame(engine, r));
                if (board.restartPending())
                    board.completeRestart();
                if (reply.size() < 6)
                    continue;
                out.write("fuzz_receive_blocks", bytes({stateFor(type, program)}) + blockRecord(reply));
                out.write("fuzz_receive_frames", bytes({stateFor(type, program)}) + frameRecord(reply));
                allBlocks += blockRecord(reply);
                allFrames += frameRecord(reply);
            }
            out.write("fuzz_receive_blocks", allBlocks);
            out.write("fuzz_receive_frames", allFrames);
        }
    }
}

// A whole programming run against a board in its bootloader, as the rig's
// programming states start it.
void programmingSeeds(SeedWriter& out)
{
    struct Run {
        uint8_t state;
        BoardType type;
    };
    const Run runs[] = {{10, BoardType::Physics}, {11, BoardType::Photocolorimeter}, {12, BoardType::Chemistry},
                        {13, BoardType::Biology}};
    for (const Run& run : runs) {
        VirtualBoard board(run.type, Program::Bootloader, 3);
        EngineRig rig(run.state);
        QByteArray blocks = bytes({run.state});
        QByteArray frames = blocks;
        for (int step = 0; step < 200 && rig.engine().isProgramming(); ++step) {
            const QByteArray request(reinterpret_cast<const char*>(rig.engine().lastFrame()),
                                     static_cast<int>(rig.engine().lastFrameLength()));
            const QByteArray reply = board.handleRequest(request);
            if (reply.size() < 6)
                break;
            blocks += blockRecord(reply);
            QByteArray record = frameRecord(reply);
            record[0] = 0;   // the sequencer has already sent the request
            frames += record;
            rig.deliver(reply);
        }
        out.write("fuzz_receive_blocks", blocks);
        out.write("fuzz_receive_frames", frames);
    }
}

void updateFileSeeds(SeedWriter& out)
{
    struct File {
        uint8_t boardState[7];
        uint8_t target;
        uint32_t pages;
        uint8_t version;
        QDate date;
        QByteArray notes;
    };
    const File files[] = {
        {{0, 1, 1, 1, 24, 1, 1}, 1, 2, 3, QDate(2024, 5, 17), QByteArray("Исправлены ошибки.\nНовый датчик.")},
        {{1, 9, 1, 1, 30, 0, 1}, 11, 1, 2, QDate(2025, 1, 9), QByteArray("PhotoCol")},
        {{0, 3, 17, 5, 24, 0, 1}, 1, 4, 3, QDate(2024, 5, 17), QByteArray()},
        {{2, 0, 0, 0, 0, 1, 0}, 2, 1, 1, QDate(2023, 12, 31), QByteArray("abc\0d", 5)},
    };
    for (const File& f : files) {
        UpdateFileWriter::Header header;
        header.targetProgram = f.target;
        header.fwVersion = f.version;
        header.buildDate = f.date;
        header.notes = f.notes;
        QByteArray file = UpdateFileWriter::build(UpdateFileWriter::randomImage(f.pages, f.pages), header);
        if (file.isEmpty())
            continue;
        for (int i = 0; i < 7; ++i)
            file[i] = static_cast<char>(f.boardState[i]);
        out.write("fuzz_update_sheet", file);
        // A short file: only the header survives, the rest of the block is zero.
        out.write("fuzz_update_sheet", file.left(static_cast<int>(UpdateSheet::kImage) + 64));
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <output folder>\n");
        return 2;
    }
    SeedWriter out(QString::fromLocal8Bit(argv[1]));
    catalogueSeeds(out);
    programmingSeeds(out);
    updateFileSeeds(out);
    std::printf("%d seeds written to %s\n", out.written(), argv[1]);
    return 0;
}
