// Update files: any bytes as an ".rbin" file, read by UpdateSheet and loaded through the programming view
// of the real window, whose header labels, release notes and run button follow from it. When the run
// button is enabled the first page the sequencer writes must come from the last file the view accepted,
// never from one it rejected or the user declined.
//
// The file's first bytes are not read by the configurator; the target uses them to choose the board's
// state: [0] program and family, [1] firmware version on the board, [2..4] its build date, [5] the answer
// to the "older version" question, [6] press the run button.
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstring>
#include <memory>

#include "FrameCodec.h"
#include "FuzzSupport.h"
#include "LittleEndian.h"
#include "MainWindow.h"
#include "ScriptedDialogs.h"
#include "UpdateSheet.h"

namespace {

MainWindow* window = nullptr;
ScriptedDialogs* dialogs = nullptr;
QString path;
QByteArray accepted;   // the block of the last accepted file; empty: none yet

template <typename T> T* widget(const char* name)
{
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    return w ? w : (fuzz::fail(name), nullptr);
}

uint8_t at(const QByteArray& file, int i) { return i < file.size() ? static_cast<uint8_t>(file[i]) : 0; }

// True when the file is whole: only such a file may be accepted.
bool checkSheet(const QByteArray& block, qint64 fileSize)
{
    auto sheet = std::make_unique<UpdateSheet>();
    const auto* b = reinterpret_cast<const uint8_t*>(block.constData());
    if (!sheet->read(path))
        fuzz::fail("a readable file was refused");
    if (sheet->imageLength() != le::u16(b + UpdateSheet::kImageLength) || sheet->imageCrc() != le::u16(b + UpdateSheet::kImageCrc))
        fuzz::fail("header fields differ from the file");
    for (int mode = 0; mode < 256; ++mode)
        if (sheet->isForDevice(static_cast<uint8_t>(mode)) != (int(b[UpdateSheet::kTargetProgram]) - 1 == mode))
            fuzz::fail("device check");
    const QDate date = sheet->buildDate();
    if (date.isValid() && date != QDate(2000 + b[UpdateSheet::kBuildYear], b[UpdateSheet::kBuildMonth], b[UpdateSheet::kBuildDay]))
        fuzz::fail("build date");
    if (sheet->releaseNotesText().size() > int(UpdateSheet::kNotesCapacity))
        fuzz::fail("release notes longer than their region");
    const bool whole = sheet->defects().isEmpty();
    if (whole && fileSize != UpdateSheet::kSize)
        fuzz::fail("a file of the wrong size passed as whole");
    return whole;
}

void feed(QByteArray frame)   // a reply as the board sends it
{
    window->engine().parseReceived(reinterpret_cast<uint8_t*>(frame.data()), static_cast<uint32_t>(frame.size()));
}

// Presses the run button on a board in its bootloader and checks the first page that goes out.
void runAndCheckFirstPage(uint8_t mode)
{
    proto_Vorlen_v2& engine = window->engine();
    feed(fuzz::statusReply(mode, mode ? 100 : 1));
    window->on_bl_Program_Run_Button_clicked();
    if (engine.isProgramming() && accepted.isEmpty())
        fuzz::fail("programming started without an accepted file");
    feed(fuzz::statusReply(mode, mode ? 100 : 1));   // the run's bootloader check
    if (!engine.isProgramming())
        return;
    const uint8_t* frame = engine.lastFrame();
    if (engine.lastFrameLength() != rec::flash::kPageSize + 7 || frame[3] != rec::cmd::flashWrite || frame[4] != 0)
        fuzz::fail("first request after the bootloader check is not the write of page 0");
    if (std::memcmp(frame + 5, accepted.constData() + UpdateSheet::kImage, rec::flash::kPageSize) != 0)
        fuzz::fail("page 0 does not come from the accepted file");
    engine.finishProgramming(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Завершено"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start(true);
    window = new MainWindow;
    dialogs = new ScriptedDialogs;
    window->setDialogs(dialogs);
    path = QStringLiteral("/dev/shm/rconf-fuzz-%1.rbin").arg(QCoreApplication::applicationPid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<int>(size));   // a copy: the block outlives the input
    QFile scratch(path);
    if (!scratch.open(QIODevice::WriteOnly | QIODevice::Truncate) || scratch.write(file) != file.size())
        fuzz::fail("cannot write the scratch file");
    scratch.close();
    // The block as UpdateSheet holds it: the file's first bytes, zero after its end.
    const QByteArray block = file.left(int(UpdateSheet::kSize)) + QByteArray(int(UpdateSheet::kSize) - qMin(file.size(), int(UpdateSheet::kSize)), '\0');
    const bool whole = checkSheet(block, file.size());

    static const uint8_t kModes[] = {0, 10, 1, 11};
    const uint8_t mode = kModes[at(file, 0) % 4];
    feed(fuzz::statusReply(mode, mode >= 10 ? 100 : 1));
    // The view chooses a file only against a record the board has sent.
    QByteArray record(static_cast<int>(rec::fwcfg::kSize), '\0');
    for (int i = 0; i < 4; ++i)
        record[int(rec::fwcfg::kFwVersion) + i] = static_cast<char>(at(file, 1 + i));   // version, day, month, year
    feed(FrameCodec::build(rec::cmd::getFwConfig, record));

    window->on_logClear_Button_clicked();
    dialogs->shown.clear();
    dialogs->fileAnswers.enqueue(path);
    dialogs->questionAnswers.clear();
    dialogs->questionAnswers.enqueue(at(file, 5) & 1);
    window->on_bl_choose_Sheet_Button_clicked();

    window->flushPanes();
    if (widget<QPlainTextEdit>("log_Edit")->toPlainText().contains(QStringLiteral("Файл обновления успешно загружен"))) {
        if (!whole)
            fuzz::fail("a damaged update file was accepted");
        accepted = block;
        const auto* b = reinterpret_cast<const uint8_t*>(block.constData());
        if (widget<QLabel>("bl_Program_sheetSize_label")->text() != QString::number(le::u16(b + UpdateSheet::kImageLength)) ||
            widget<QLabel>("bl_Program_sheetCRC_label")->text() != "0x" + QString::number(le::u16(b + UpdateSheet::kImageCrc), 16))
            fuzz::fail("header labels do not show the accepted file");
    }
    if (widget<QPushButton>("bl_Program_Run_Button")->isEnabled() && accepted.isEmpty())
        fuzz::fail("run button enabled without an accepted file");
    if (at(file, 6) & 1)
        runAndCheckFirstPage(mode >= 10 ? 10 : 0);
    return 0;
}
