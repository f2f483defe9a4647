#include "MainWindow.h"

#include "LittleEndian.h"
#include "Records.h"
#include "ui_MainWindow.h"

#include <QTabBar>

#include <limits>
#include <memory>

namespace {

const QString kUnavailable = QStringLiteral("Недоступно");
const QString kNotLoaded = QStringLiteral("Не загружено");
const QString kDateFormat = QStringLiteral("dd.MM.yyyy");

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

void MainWindow::on_bl_fwConf_request_button_clicked()
{
    proto.sendCommand(rec::cmd::getFwConfig, nullptr, 0);
}

void MainWindow::showFwConfig()
{
    const uint8_t* fw = proto.fwConfigRecord();
    if (proto.deviceInfo().flags & 0x01) {
        ui->bl_fwConf_status_label->setText(QStringLiteral("Успешно"));
        ui->bl_fwConf_sn_label->setText(QString::number(le::u32(fw + rec::fwcfg::kSerialNumber)));
        ui->bl_fwConf_CRC_label->setText(hex(le::u16(fw + rec::fwcfg::kFwCrc)));
        ui->bl_fwConf_len_label->setText(QString::number(le::u16(fw + rec::fwcfg::kFwLength)) + QStringLiteral(" байт"));
        ui->bl_fwConf_vers_label->setText(QString::number(fw[rec::fwcfg::kFwVersion]));
        ui->bl_fwConf_date_label->setText(recordDate(fw).toString(kDateFormat));
        return;
    }
    ui->bl_fwConf_status_label->setText(QStringLiteral("Ошибка. Данные недостоверны"));
    ui->bl_fwConf_sn_label->setText(kUnavailable);
    ui->bl_fwConf_CRC_label->setText(kUnavailable);
    ui->bl_fwConf_len_label->setText(kUnavailable);
    ui->bl_fwConf_vers_label->setText(kUnavailable);
    ui->bl_fwConf_date_label->setText(kUnavailable);
}

void MainWindow::on_bl_choose_Sheet_Button_clicked()
{
    // The running sequencer reads its image from updateSheet page by page;
    // replacing it mid-run would mix two images on the board.
    if (proto.isProgramming()) {
        log(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Идёт программирование, выбор другого файла недоступен"));
        return;
    }

    const QString path = dialogs->openFileName(this, QStringLiteral("Выбере файл обновления Ruvo"), QString(),
                                               QStringLiteral("Файлы обновления Ruvo (*.rbin)"));

    // The file is checked in a scratch copy: only an accepted file replaces
    // the one the run button would program.
    auto sheet = std::make_unique<UpdateSheet>();
    if (!sheet->read(path)) {
        log(QStringLiteral("Нечитаемый формат файла"));
        showSheetUnloaded();
        return;
    }
    // A cut or damaged file would be padded or programmed as it is, and its
    // verification would only compare the damage with itself.
    const QStringList defects = sheet->defects();
    if (!defects.isEmpty()) {
        for (const QString& reason : defects)
            log(QStringLiteral("Файл обновления повреждён: ") + reason);
        showSheetUnloaded();
        return;
    }

    if (!sheet->isForDevice(proto.deviceInfo().progMode)) {
        dialogs->warning(this, QStringLiteral("Ошибка"),
                         QStringLiteral("Файл обновления не предназначен для данного устройства!"));
        return;
    }
    // The version question and the serial number below come from the board's
    // record; one left from another board (or none) must not stand in.
    if (!proto.fwConfigFromBoard()) {
        log(QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - конфигурация прошивки не прочитана с подключённого "
                           "устройства. Нажмите «Запросить» и выберите файл снова"));
        return;
    }

    const uint8_t* fw = proto.fwConfigRecord();
    const bool notNewerVersion = sheet->fwVersion() <= fw[rec::fwcfg::kFwVersion];
    const bool notLaterDate = dayNumber(sheet->buildDate()) <= dayNumber(recordDate(fw));
    if (notNewerVersion && notLaterDate &&
        !dialogs->question(this, QStringLiteral("Внимание"),
                           QStringLiteral("Данный файл обновления содержит старую или аналогичную версию. Выполнить?")))
        return;

    updateSheet = *sheet;
    sheetSession = proto.boardSession();
    log(QStringLiteral("Файл обновления успешно загружен"));

    ui->bl_Program_sheetSize_label->setText(QString::number(updateSheet.imageLength()));
    ui->bl_Program_sheetCRC_label->setText(hex(updateSheet.imageCrc()));
    ui->bl_Program_Run_Button->setEnabled(true);
    // The spin box holds int; clamp before converting so a large serial
    // number lands on the maximum instead of wrapping negative.
    const uint32_t serial = le::u32(fw + rec::fwcfg::kSerialNumber);
    const uint32_t maxSerial = static_cast<uint32_t>(ui->bl_Program_SN_SpinBox->maximum());
    ui->bl_Program_SN_SpinBox->setValue(static_cast<int>(serial > maxSerial ? maxSerial : serial));
    ui->bl_Program_sheetVers_label->setText(QString::number(updateSheet.fwVersion()));
    ui->bl_Program_sheetDate_label->setText(updateSheet.buildDate().toString(kDateFormat));
    ui->bl_Program_support_versHW_label->setText(QString::number(updateSheet.hwVersionSupported()));
    ui->bl_sheetNotes_plainText->clear();
    ui->bl_sheetNotes_plainText->setPlainText(updateSheet.releaseNotesText());
}

void MainWindow::on_bl_Program_Run_Button_clicked()
{
    if (!proto.isCommandAvailable(rec::cmd::flashWrite))
        return;
    // The file, its device check and the serial number belong to the
    // connection they were chosen on; since then the port has been closed
    // or a board of another family has answered.
    if (sheetSession != static_cast<int64_t>(proto.boardSession())) {
        log(QStringLiteral("ПРОГРАММИРОВАНИЕ::: ОШИБКА - устройство переподключено после выбора файла обновления. "
                           "Выберите файл снова"));
        return;
    }

    proto.stampFwConfig(static_cast<uint32_t>(ui->bl_Program_SN_SpinBox->value()), updateSheet.fwVersion(),
                        updateSheet.buildDay(), updateSheet.buildMonth(), updateSheet.buildYear());

    if (updateSheet.imageLength() < rec::flash::kPageSize) {
        log(QStringLiteral("ПРОГРАММИРОВАНИЕ::: Ошибка файл прошивки, размер данных менее 1024 байт"));
        return;
    }
    proto.startProgramming(updateSheet.image(), updateSheet.imageLength(), updateSheet.targetProgram());
}

void MainWindow::showSheetUnloaded()
{
    ui->bl_Program_Run_Button->setEnabled(false);
    ui->bl_Program_sheetCRC_label->setText(kNotLoaded);
    ui->bl_Program_sheetSize_label->setText(kNotLoaded);
}

void MainWindow::lockForRun(bool running)
{
    // While a run is on nothing else may send: the tabs cannot be switched,
    // the status tab's buttons and the bootloader tab's other sending
    // controls are off. The port stays closable. Each control gets back
    // exactly the state it had before the run.
    if (running == !runLocked.empty())
        return;
    if (!running) {
        for (const auto& [w, enabled] : runLocked)
            w->setEnabled(enabled);
        runLocked.clear();
        return;
    }
    const std::initializer_list<QWidget*> controls = {ui->cmds->tabBar(),          ui->dev_info,
                                                      ui->bl_fwConf_request_button, ui->bl_choose_Sheet_Button,
                                                      ui->bl_Program_Run_Button,    ui->hwConfig_GroupBox,
                                                      ui->bl_atCmd_GroupBox};
    for (QWidget* w : controls) {
        runLocked.emplace_back(w, !w->testAttribute(Qt::WA_ForceDisabled));
        w->setEnabled(false);
    }
}

void MainWindow::showProgramProgress(float percent, bool ok)
{
    // Setting a style sheet re-polishes the bar; a run sends the same one
    // up to 129 times, so it is set only when it changes.
    const QString& sheet = ok ? kBarOk : kBarFailed;
    if (ui->bl_Program_ProgressBar->styleSheet() != sheet)
        ui->bl_Program_ProgressBar->setStyleSheet(sheet);
    ui->bl_Program_ProgressBar->setValue(static_cast<int>(percent));
}
