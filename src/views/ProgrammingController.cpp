#include "ProgrammingController.h"

#include <limits>
#include <memory>

#include "BackupGuard.h"
#include "Dialogs.h"
#include "LittleEndian.h"
#include "Records.h"
#include "WindowEvents.h"
#include "proto_Vorlen_v2.h"
#include "ui_MainWindow.h"

namespace {

const QString kUnavailable = QStringLiteral("Недоступно");
const QString kNotLoaded = QStringLiteral("Не загружено");
const QString kDateFormat = QStringLiteral("dd.MM.yyyy");
// Tab position of the bootloader page in cmds
constexpr int kTabBootloader = 1;

const QString kBarOk = QStringLiteral("QProgressBar { border: 2px solid grey; text-align: middle; border-radius: 5px;} "
                                      "QProgressBar::chunk {background-color: green; width: 10px;}");
const QString kBarFailed = QStringLiteral("QProgressBar { border: 2px solid grey; text-align: middle; "
                                          "border-radius: 5px;} QProgressBar::chunk {background-color: red; width: 10px;}");

QDate recordDate(const uint8_t* fw)
{
    return QDate(fw[rec::fwcfg::kBuildYear] + 2000, fw[rec::fwcfg::kBuildMonth], fw[rec::fwcfg::kBuildDay]);
}

// Day number for comparing build dates; an impossible date is earlier than any real one.
qint64 dayNumber(const QDate& d)
{
    return d.isValid() ? d.toJulianDay() : std::numeric_limits<qint64>::min();
}

QString hex(uint16_t v)
{
    return QStringLiteral("0x") + QString::number(v, 16);
}

} // namespace

ProgrammingController::ProgrammingController(const ViewContext& context, QObject* parent)
    : QObject(parent),
      ctx(context),
      runLock({ctx.ui->bl_fwConf_request_button, ctx.ui->bl_choose_Sheet_Button, ctx.ui->bl_Program_Run_Button})
{
    ctx.ui->bl_Program_Run_Button->setEnabled(false);
    connect(ctx.proto, &proto_Vorlen_v2::cmd_fwConfig_updated, this, &ProgrammingController::showFwConfig);
    connect(ctx.proto, &proto_Vorlen_v2::cmd_program_progress, this, &ProgrammingController::showProgress);
    // While a run is on nothing else may send; each control gets back exactly
    // the state it had before the run.
    connect(ctx.proto, &proto_Vorlen_v2::programmingChanged, this, [this](bool on) { runLock.setLocked(on); });
    connect(ctx.events, &WindowEvents::tabEntered, this, &ProgrammingController::tabEntered);
}

void ProgrammingController::tabEntered(int index, bool autoUpdate)
{
    if (index == kTabBootloader && autoUpdate)
        requestFwConfig();
}

void ProgrammingController::requestFwConfig()
{
    ctx.proto->sendCommand(rec::cmd::getFwConfig, nullptr, 0);
}

void ProgrammingController::showFwConfig()
{
    const uint8_t* fw = ctx.proto->fwConfigRecord();
    if (ctx.proto->deviceInfo().flags & 0x01) {
        ctx.ui->bl_fwConf_status_label->setText(QStringLiteral("Успешно"));
        ctx.ui->bl_fwConf_sn_label->setText(QString::number(le::u32(fw + rec::fwcfg::kSerialNumber)));
        ctx.ui->bl_fwConf_CRC_label->setText(hex(le::u16(fw + rec::fwcfg::kFwCrc)));
        ctx.ui->bl_fwConf_len_label->setText(QString::number(le::u16(fw + rec::fwcfg::kFwLength)) +
                                             QStringLiteral(" байт"));
        ctx.ui->bl_fwConf_vers_label->setText(QString::number(fw[rec::fwcfg::kFwVersion]));
        ctx.ui->bl_fwConf_date_label->setText(recordDate(fw).toString(kDateFormat));
        return;
    }
    ctx.ui->bl_fwConf_status_label->setText(QStringLiteral("Ошибка. Данные недостоверны"));
    ctx.ui->bl_fwConf_sn_label->setText(kUnavailable);
    ctx.ui->bl_fwConf_CRC_label->setText(kUnavailable);
    ctx.ui->bl_fwConf_len_label->setText(kUnavailable);
    ctx.ui->bl_fwConf_vers_label->setText(kUnavailable);
    ctx.ui->bl_fwConf_date_label->setText(kUnavailable);
}

void ProgrammingController::chooseSheet()
{
    // The running sequencer reads its image from `sheet` page by page;
    // replacing it mid-run would mix two images on the board.
    if (ctx.proto->isProgramming()) {
        ctx.log(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Идёт программирование, выбор другого файла недоступен"));
        return;
    }

    const QString path = ctx.dialogs()->openFileName(ctx.window, QStringLiteral("Выбере файл обновления Ruvo"),
                                                     QString(), QStringLiteral("Файлы обновления Ruvo (*.rbin)"));

    // The file is checked in a scratch copy: only an accepted file replaces
    // the one the run button would program.
    auto candidate = std::make_unique<UpdateSheet>();
    if (!candidate->read(path)) {
        ctx.log(QStringLiteral("Нечитаемый формат файла"));
        showSheetUnloaded();
        return;
    }
    // A cut or damaged file would be padded or programmed as it is, and its
    // verification would only compare the damage with itself.
    const QStringList defects = candidate->defects();
    if (!defects.isEmpty()) {
        for (const QString& reason : defects)
            ctx.log(QStringLiteral("Файл обновления повреждён: ") + reason);
        showSheetUnloaded();
        return;
    }

    if (!candidate->isForDevice(ctx.proto->deviceInfo().progMode)) {
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                               QStringLiteral("Файл обновления не предназначен для данного устройства!"));
        return;
    }
    // The version question and the serial number below come from the board's
    // record; one left from another board (or none) must not stand in.
    if (!ctx.proto->fwConfigFromBoard()) {
        ctx.log(QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - конфигурация прошивки не прочитана с подключённого "
                               "устройства. Нажмите «Запросить» и выберите файл снова"));
        return;
    }

    const uint8_t* fw = ctx.proto->fwConfigRecord();
    const bool notNewerVersion = candidate->fwVersion() <= fw[rec::fwcfg::kFwVersion];
    const bool notLaterDate = dayNumber(candidate->buildDate()) <= dayNumber(recordDate(fw));
    if (notNewerVersion && notLaterDate &&
        !ctx.dialogs()->question(ctx.window, QStringLiteral("Внимание"),
                                 QStringLiteral("Данный файл обновления содержит старую или аналогичную версию. "
                                                "Выполнить?")))
        return;

    sheet = *candidate;
    sheetSession = ctx.proto->boardSession();
    ctx.log(QStringLiteral("Файл обновления успешно загружен"));

    ctx.ui->bl_Program_sheetSize_label->setText(QString::number(sheet.imageLength()));
    ctx.ui->bl_Program_sheetCRC_label->setText(hex(sheet.imageCrc()));
    ctx.ui->bl_Program_Run_Button->setEnabled(true);
    // The spin box holds int; clamp before converting so a large serial
    // number lands on the maximum instead of wrapping negative.
    const uint32_t serial = le::u32(fw + rec::fwcfg::kSerialNumber);
    const uint32_t maxSerial = static_cast<uint32_t>(ctx.ui->bl_Program_SN_SpinBox->maximum());
    ctx.ui->bl_Program_SN_SpinBox->setValue(static_cast<int>(serial > maxSerial ? maxSerial : serial));
    ctx.ui->bl_Program_sheetVers_label->setText(QString::number(sheet.fwVersion()));
    ctx.ui->bl_Program_sheetDate_label->setText(sheet.buildDate().toString(kDateFormat));
    ctx.ui->bl_Program_support_versHW_label->setText(QString::number(sheet.hwVersionSupported()));
    ctx.ui->bl_sheetNotes_plainText->clear();
    ctx.ui->bl_sheetNotes_plainText->setPlainText(sheet.releaseNotesText());
}

void ProgrammingController::run()
{
    if (!ctx.proto->isCommandAvailable(rec::cmd::flashWrite))
        return;
    if (!sameSession())
        return;
    const auto serial = static_cast<uint32_t>(ctx.ui->bl_Program_SN_SpinBox->value());
    ctx.proto->stampFwConfig(serial, sheet.fwVersion(), sheet.buildDay(), sheet.buildMonth(), sheet.buildYear());
    if (sheet.imageLength() < rec::flash::kPageSize) {
        ctx.log(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Ошибка файл прошивки, размер данных менее 1024 байт"));
        return;
    }
    // The file and serial number are taken now; the copy made first reads the board meanwhile.
    ctx.backups->beforeWrite(BoardCopies::FwConfig, QStringLiteral("программирование"), [this, serial, file = sheet] {
        if (!ctx.proto->isCommandAvailable(rec::cmd::flashWrite) || !sameSession())
            return;
        // Again: a copy that read the board's record replaced the engine's.
        ctx.proto->stampFwConfig(serial, file.fwVersion(), file.buildDay(), file.buildMonth(), file.buildYear());
        ctx.proto->startProgramming(file.image(), file.imageLength(), file.targetProgram());
    });
}

bool ProgrammingController::sameSession()
{
    // The file, its device check and the serial number belong to the
    // connection they were chosen on; since then the port has been closed
    // or a board of another family has answered.
    if (sheetSession == static_cast<int64_t>(ctx.proto->boardSession()))
        return true;
    ctx.log(QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - устройство переподключено после выбора файла "
                           "обновления. Выберите файл снова"));
    return false;
}

void ProgrammingController::showSheetUnloaded()
{
    ctx.ui->bl_Program_Run_Button->setEnabled(false);
    ctx.ui->bl_Program_sheetCRC_label->setText(kNotLoaded);
    ctx.ui->bl_Program_sheetSize_label->setText(kNotLoaded);
}

void ProgrammingController::showProgress(uint8_t percent, bool ok)
{
    // Setting a style sheet re-polishes the bar; a run sends the same one
    // up to 129 times, so it is set only when it changes.
    const QString& style = ok ? kBarOk : kBarFailed;
    if (ctx.ui->bl_Program_ProgressBar->styleSheet() != style)
        ctx.ui->bl_Program_ProgressBar->setStyleSheet(style);
    ctx.ui->bl_Program_ProgressBar->setValue(percent);
}
