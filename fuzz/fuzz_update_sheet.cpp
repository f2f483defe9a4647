// Update files: any bytes as an ".rbin" file, read by UpdateSheet and loaded
// through the programming view of the real window, whose header labels,
// release notes and run button follow from it. When the run button is
// enabled the first page the sequencer writes must come from the last file
// the view accepted, never from one it rejected or the user declined.
//
// The file's first bytes are not read by the configurator; the target uses
// them to choose the board's state: [0] program and family, [1] firmware
// version on the board, [2..4] its build date, [5] the answer to the
// "older version" question, [6] press the run button.
#include <QApplication>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "FrameBuilder.h"
#include "FrameCodec.h"
#include "LittleEndian.h"
#include "MainWindow.h"
#include "QtForFuzzing.h"
#include "Records.h"
#include "ScriptedDialogs.h"
#include "UpdateSheet.h"

namespace {

MainWindow* window = nullptr;
ScriptedDialogs* dialogs = nullptr;
QString path;
std::vector<uint8_t> accepted;   // the block of the last accepted file; empty: none yet

void fail(const char* what)
{
    std::fprintf(stderr, "update file handling: %s\n", what);
    std::abort();
}

template <typename T>
T* widget(const char* name)
{
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        fail(name);
    return w;
}

uint8_t at(const uint8_t* data, size_t size, size_t i)
{
    return i < size ? data[i] : 0;
}

// The block as UpdateSheet holds it: the file's first bytes, zero after its end.
std::vector<uint8_t> blockOf(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> block(UpdateSheet::kSize, 0);
    std::memcpy(block.data(), data, size < block.size() ? size : block.size());
    return block;
}

// True when the file is whole: only such a file may be accepted.
bool checkSheet(const std::vector<uint8_t>& block, size_t fileSize)
{
    std::unique_ptr<UpdateSheet> sheet(new UpdateSheet);
    if (!sheet->read(path))
        fail("a readable file was refused");
    if (sheet->imageLength() != le::u16(&block[UpdateSheet::kImageLength]) ||
        sheet->imageCrc() != le::u16(&block[UpdateSheet::kImageCrc]))
        fail("header fields differ from the file");
    for (int mode = 0; mode < 256; ++mode) {
        const bool expected = int(block[UpdateSheet::kTargetProgram]) - 1 == mode;
        if (sheet->isForDevice(static_cast<uint8_t>(mode)) != expected)
            fail("device check");
    }
    const QDate date = sheet->buildDate();
    if (date.isValid() && (date.year() != 2000 + block[UpdateSheet::kBuildYear] ||
                           date.month() != block[UpdateSheet::kBuildMonth] ||
                           date.day() != block[UpdateSheet::kBuildDay]))
        fail("build date");
    const QString notes = sheet->releaseNotesText();
    if (notes.size() > int(UpdateSheet::kNotesCapacity))
        fail("release notes longer than their region");
    const bool whole = sheet->defects().isEmpty();
    if (whole && fileSize != UpdateSheet::kSize)
        fail("a file of the wrong size passed as whole");
    return whole;
}

bool lastLoadAccepted()
{
    window->flushPanes();
    return widget<QPlainTextEdit>("log_Edit")->toPlainText().contains(
        QStringLiteral("Файл обновления успешно загружен"));
}

// A reply as the board sends it, through the engine's receive path.
void feed(proto_Vorlen_v2& engine, QByteArray frame)
{
    engine.parseReceived(reinterpret_cast<uint8_t*>(frame.data()), static_cast<uint32_t>(frame.size()));
}

void checkHeaderLabels()
{
    const QString size = QString::number(le::u16(&accepted[UpdateSheet::kImageLength]));
    const QString crc = QStringLiteral("0x") + QString::number(le::u16(&accepted[UpdateSheet::kImageCrc]), 16);
    if (widget<QLabel>("bl_Program_sheetSize_label")->text() != size ||
        widget<QLabel>("bl_Program_sheetCRC_label")->text() != crc)
        fail("header labels do not show the accepted file");
}

// Presses the run button on a board in its bootloader and checks the first page that goes out.
void runAndCheckFirstPage(uint8_t bootloaderMode)
{
    proto_Vorlen_v2& engine = window->engine();
    feed(engine, FrameBuilder::getInfoReply(bootloaderMode, bootloaderMode ? 100 : 1));
    window->on_bl_Program_Run_Button_clicked();
    if (!engine.isProgramming())
        return;
    if (accepted.empty())
        fail("programming started without an accepted file");
    feed(engine, FrameBuilder::getInfoReply(bootloaderMode, bootloaderMode ? 100 : 1));
    if (engine.isProgramming()) {
        const uint8_t* frame = engine.lastFrame();
        if (engine.lastFrameLength() != rec::flash::kPageSize + 7 || frame[3] != rec::cmd::flashWrite || frame[4] != 0) {
            window->flushPanes();
            std::fprintf(stderr, "%s\n", qPrintable(widget<QPlainTextEdit>("log_Edit")->toPlainText()));
            fail("first request after the bootloader check is not the write of page 0");
        }
        if (std::memcmp(frame + 5, &accepted[UpdateSheet::kImage], rec::flash::kPageSize) != 0)
            fail("page 0 does not come from the accepted file");
        engine.finishProgramming(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Завершено"));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QtForFuzzing::startWidgets();
    window = new MainWindow;
    dialogs = new ScriptedDialogs;
    window->setDialogs(dialogs);
    path = QStringLiteral("/dev/shm/rconf-fuzz-%1.rbin").arg(QCoreApplication::applicationPid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail("cannot write the scratch file");
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();

    const std::vector<uint8_t> block = blockOf(data, size);
    const bool whole = checkSheet(block, size);

    static const uint8_t kModes[] = {0, 10, 1, 11};
    const uint8_t mode = kModes[at(data, size, 0) % 4];
    proto_Vorlen_v2& engine = window->engine();
    feed(engine, FrameBuilder::getInfoReply(mode, mode >= 10 ? 100 : 1));
    // The view chooses a file only against a record the board has sent.
    QByteArray record(static_cast<int>(rec::fwcfg::kSize), '\0');
    record[rec::fwcfg::kFwVersion] = static_cast<char>(at(data, size, 1));
    record[rec::fwcfg::kBuildDay] = static_cast<char>(at(data, size, 2));
    record[rec::fwcfg::kBuildMonth] = static_cast<char>(at(data, size, 3));
    record[rec::fwcfg::kBuildYear] = static_cast<char>(at(data, size, 4));
    feed(engine, FrameCodec::build(rec::cmd::getFwConfig, record));

    window->on_logClear_Button_clicked();
    dialogs->shown.clear();
    dialogs->fileAnswers.enqueue(path);
    dialogs->questionAnswers.clear();
    dialogs->questionAnswers.enqueue(at(data, size, 5) & 1);
    window->on_bl_choose_Sheet_Button_clicked();

    if (lastLoadAccepted()) {
        if (!whole)
            fail("a damaged update file was accepted");
        accepted = block;
        checkHeaderLabels();
    }
    if (widget<QPushButton>("bl_Program_Run_Button")->isEnabled() && accepted.empty())
        fail("run button enabled without an accepted file");

    if (at(data, size, 6) & 1)
        runAndCheckFirstPage(mode >= 10 ? 10 : 0);
    return 0;
}
