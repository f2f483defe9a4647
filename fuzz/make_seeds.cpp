// Writes the seed corpora of the fuzz targets from the protocol's real traffic: every catalogue request
// answered by a simulated board of every type in both programs, whole programming runs, and update files.
//   make_seeds <output folder>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

#include "EngineRig.h"
#include "FrameCodec.h"
#include "LittleEndian.h"
#include "UpdateFileWriter.h"
#include "UpdateSheet.h"
#include "VirtualBoard.h"

using namespace vboard;

namespace {

QString root;
int written = 0;

void write(const char* target, const QByteArray& seed)
{
    QDir(root).mkpath(QLatin1String(target));
    QFile f(QStringLiteral("%1/%2/seed-%3").arg(root, QLatin1String(target)).arg(written++, 4, 10, QLatin1Char('0')));
    if (f.open(QIODevice::WriteOnly))
        f.write(seed);
}

QByteArray le(uint32_t v, int bytes = 4)
{
    QByteArray out(4, '\0');
    le::put32(reinterpret_cast<uint8_t*>(out.data()), v);
    return out.left(bytes);
}

// A reply as each engine target reads it: [control][length][bytes]; [control][code][length][payload],
// control 4 starting the request of the same code first.
QByteArray asBlock(const QByteArray& reply) { return QByteArray(1, '\0') + le(uint32_t(reply.size()), 2) + reply; }
QByteArray asFrame(const QByteArray& reply, char control = 4)
{
    const QByteArray p = FrameCodec::payload(reply);
    return QByteArray(1, control) + char(FrameCodec::code(reply)) + le(uint32_t(p.size()), 2) + p;
}

QList<QPair<uint8_t, QByteArray>> catalogue(BoardType type)
{
    namespace c = rec::cmd;
    const QByteArray archive = le(10) + char(20) + QByteArray(2, '\0') + "\x18\x03\x0e" + QByteArray(20, '\0');   // 20 records, 10 ms
    const int user = VirtualBoard::userDataSize(type);
    return {{c::getInfo, {}}, {c::getDataExchange, {}}, {c::getDataExchange, "\x01\x02"}, {c::getRawData, {}},
            {c::getRawData, "\x21\x03\x01"}, {c::getRawData, le(0x3F000000) + le(0x3E800000) + le(0)}, {c::archiveControl, archive},
            {c::archiveControl, {}}, {c::archiveData, QByteArray("\x00\x08", 2)}, {c::archiveData, "\x08\x04"}, {c::setHwConfig, {}},
            {c::getHwConfig, {}}, {c::setUserData, QByteArray(1, '\0') + char(user) + '\x01' + QByteArray(user, '\x01')}, {c::getUserData, {}},
            {c::bleAtCmd, le(9600) + "AT\r\n"}, {c::bleAtCmd, le(9600) + "AT+NAME\r\n"}, {c::flashWrite, "\x03" + QByteArray(1024, '\x3C')},
            {c::flashRead, "\x03"}, {c::setFwConfig, QByteArray(60, '\x11')}, {c::getFwConfig, {}},
            {c::flashWriteBlock, "\x02\x01" + QByteArray(64, '\x55')}, {c::flashReadBlock, "\x02\x01"}, {c::statistics, {}},
            {c::statistics, "\x94\x2B"}, {c::bootloaderInit, {}}, {c::bootloaderFinish, {}}};
}

void catalogueSeeds()
{
    for (BoardType type : {BoardType::Physics, BoardType::Chemistry, BoardType::Ecology, BoardType::Biology, BoardType::Photocolorimeter}) {
        for (Program program : {Program::Main, Program::Bootloader}) {
            // The rig's state that matches this board.
            const char state = type == BoardType::Photocolorimeter ? (program == Program::Main ? 5 : 6)
                               : program == Program::Bootloader   ? 4 : char(int(type) - 1);
            VirtualBoard board(type, program, 7);
            proto_Vorlen_v2 engine;   // builds each request as the views send it
            engine.setGatePrompt([](const QString&) {});
            QByteArray blocks(1, state), frames(1, state);
            for (const auto& r : catalogue(type)) {
                if (r.first == rec::cmd::archiveData)
                    board.advanceTime(1000);
                engine.sendCommand(r.first, reinterpret_cast<const uint8_t*>(r.second.constData()), uint32_t(r.second.size()));
                const QByteArray reply = board.handleRequest(QByteArray(reinterpret_cast<const char*>(engine.lastFrame()), int(engine.lastFrameLength())));
                if (board.restartPending())
                    board.completeRestart();
                write("fuzz_receive_blocks", QByteArray(1, state) + asBlock(reply));
                write("fuzz_receive_frames", QByteArray(1, state) + asFrame(reply));
                blocks += asBlock(reply);
                frames += asFrame(reply);
            }
            write("fuzz_receive_blocks", blocks);
            write("fuzz_receive_frames", frames);
        }
    }
}

// A whole programming run against a board in its bootloader, as the rig's programming states start it.
void programmingSeeds()
{
    const QList<QPair<char, BoardType>> runs = {{10, BoardType::Physics}, {11, BoardType::Photocolorimeter}, {12, BoardType::Chemistry},
                                                {13, BoardType::Biology}};
    for (const auto& run : runs) {
        VirtualBoard board(run.second, Program::Bootloader, 3);
        EngineRig rig(uint8_t(run.first));
        QByteArray blocks(1, run.first), frames(1, run.first);
        for (int step = 0; step < 200 && rig.engine().isProgramming(); ++step) {
            const QByteArray reply = board.handleRequest(
                QByteArray(reinterpret_cast<const char*>(rig.engine().lastFrame()), int(rig.engine().lastFrameLength())));
            blocks += asBlock(reply);
            frames += asFrame(reply, 0);   // the sequencer has sent the request already
            rig.deliver(reply);
        }
        write("fuzz_receive_blocks", blocks);
        write("fuzz_receive_frames", frames);
    }
}

// Whole update files and their first part, the board state in their first bytes (see the target).
void updateFileSeeds()
{
    struct File { QByteArray state; uint8_t target; uint32_t pages; uint8_t version; QDate date; QByteArray notes; };
    const File files[] = {{"\x00\x01\x01\x01\x18\x01\x01", 1, 2, 3, QDate(2024, 5, 17), "Исправлены ошибки.\nНовый датчик."},
                          {"\x01\x09\x01\x01\x1E\x00\x01", 11, 1, 2, QDate(2025, 1, 9), "PhotoCol"},
                          {"\x00\x03\x11\x05\x18\x00\x01", 1, 4, 3, QDate(2024, 5, 17), {}},
                          {QByteArray("\x02\x00\x00\x00\x00\x01\x00", 7), 2, 1, 1, QDate(2023, 12, 31), QByteArray("abc\0d", 5)}};
    for (const File& f : files) {
        UpdateFileWriter::Header h;
        std::tie(h.targetProgram, h.fwVersion, h.buildDate, h.notes) = std::make_tuple(f.target, f.version, f.date, f.notes);
        QByteArray file = UpdateFileWriter::build(UpdateFileWriter::randomImage(f.pages, f.pages), h);
        file.replace(0, 7, f.state);
        write("fuzz_update_sheet", file);
        write("fuzz_update_sheet", file.left(int(UpdateSheet::kImage) + 64));   // only the header survives
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return std::fprintf(stderr, "usage: make_seeds <output folder>\n"), 2;
    root = QString::fromLocal8Bit(argv[1]);
    catalogueSeeds();
    programmingSeeds();
    updateFileSeeds();
    std::printf("%d seeds written to %s\n", written, argv[1]);
    return 0;
}
