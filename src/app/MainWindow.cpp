#include "MainWindow.h"

#include "ArchiveController.h"
#include "AtConsoleController.h"
#include "BackupGuard.h"
#include "DeviceStatusController.h"
#include "GroupBoxPaintCache.h"
#include "HwConfigController.h"
#include "LinkHealthView.h"
#include "LiveDataController.h"
#include "LogPanes.h"
#include "PaintPacer.h"
#include "PcDebugController.h"
#include "PortPanelController.h"
#include "ProgrammingController.h"
#include "ReferenceDocsController.h"
#include "StatisticsController.h"
#include "UserCalibrationController.h"
#include "ui_MainWindow.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 has no QComboBox::activated(QString), so these slots are not
    // connected by name: a chosen item reaches them through textActivated.
    connect(ui->data_BLE_State_comboBox, &QComboBox::textActivated, this,
            &MainWindow::on_data_BLE_State_comboBox_activated);
    connect(ui->data_AccelScale_comboBox, &QComboBox::textActivated, this,
            &MainWindow::on_data_AccelScale_comboBox_activated);
    connect(ui->data_conductPullup_combobox, &QComboBox::textActivated, this,
            &MainWindow::on_data_conductPullup_combobox_activated);
    connect(ui->data_requestSpeed_ComboBox, &QComboBox::textActivated, this,
            &MainWindow::on_data_requestSpeed_ComboBox_activated);
#endif
    ui->rconf_version_label->setText(QStringLiteral("Текущая версия программы - v") + versionText());
    setWindowTitle(QStringLiteral("RConf конфигуратор v") + versionText());
    proto.setGatePrompt([this](const QString& informative) { dialogs->gateRefused(informative); });
    connect(&proto, &proto_Vorlen_v2::log, this, &MainWindow::log);

    backups = std::make_unique<BackupGuard>(viewContext(), this);
    const ViewContext ctx = viewContext();
    panes = std::make_unique<LogPanes>(ctx, this);
    portPanel = std::make_unique<PortPanelController>(ctx, *panes, this);
    // Before the status controller: a port's counts start before its first request.
    linkHealth = std::make_unique<LinkHealthView>(ctx, this);
    status = std::make_unique<DeviceStatusController>(ctx, this);
    liveData = std::make_unique<LiveDataController>(ctx, this);
    pcDebug = std::make_unique<PcDebugController>(ctx, this);
    statistics = std::make_unique<StatisticsController>(ctx, this);
    paintPacer = std::make_unique<PaintPacer>(this);
    groupBoxCache = std::make_unique<GroupBoxPaintCache>(this);

    // Archive, hardware configuration, user calibrations, programming, AT console, reference documents
    archive = std::make_unique<ArchiveController>(ctx, this);
    archive->setClock([this] { return clock(); });
    // In this order they answer a tab entry as the window always has: the
    // calibration pages, then the firmware record's request, then the
    // hardware configuration group.
    userCalibration = std::make_unique<UserCalibrationController>(ctx, this);
    programming = std::make_unique<ProgrammingController>(ctx, this);
    hwConfig = std::make_unique<HwConfigController>(ctx, this);
    atConsole = std::make_unique<AtConsoleController>(ctx, this);
    referenceDocs = std::make_unique<ReferenceDocsController>(ctx, this);
    connect(&events, &WindowEvents::logsCleared, ui->atCmd_Log_plainTextEdit, &QPlainTextEdit::clear);
    // End of archive, hardware configuration, user calibrations, programming, AT console, reference documents

    // A programming run: each controller locks its own sending controls.
    connect(&proto, &proto_Vorlen_v2::programmingChanged, status.get(), &DeviceStatusController::lockForRun);
}

MainWindow::~MainWindow()
{
    delete ui;
}

ViewContext MainWindow::viewContext()
{
    ViewContext ctx;
    ctx.ui = ui;
    ctx.window = this;
    ctx.proto = &proto;
    ctx.link = &link;
    ctx.events = &events;
    ctx.log = [this](const QString& text) { log(text); };
    ctx.dialogs = [this] { return dialogs; };
    ctx.backups = backups.get();
    return ctx;
}

void MainWindow::setClock(std::function<QDateTime()> c)
{
    clock = c;
    panes->setClock(std::move(c));
}

void MainWindow::flushPanes()
{
    panes->flush();
}

// ---- Slots: each passes its event to the controller that owns it ----

void MainWindow::log(QString text)
{
    panes->log(text);
}

void MainWindow::exchange(uint8_t* data, uint32_t size, uint8_t dir)
{
    panes->exchange(data, size, dir);
}

void MainWindow::on_serialPortAction_Button_clicked()
{
    portPanel->toggle();
}

void MainWindow::on_serialPortOpen_Button_clicked()
{
    // No widget of this name exists on the form: opening and closing both go
    // through serialPortAction_Button. The slot stays so the slot table keeps
    // its order.
}

void MainWindow::on_serialPortUpdate_Button_clicked()
{
    portPanel->refreshPortList();
}

void MainWindow::on_logClear_Button_clicked()
{
    panes->clear();
}

void MainWindow::on_bootloader_Start_Button_clicked()
{
    status->startBootloader();
}

void MainWindow::on_getInfo_Button_clicked()
{
    status->requestStatus();
}

void MainWindow::on_cmds_currentChanged(int index)
{
    status->tabChanged(index);
}

void MainWindow::on_bl_load_mainProg_request_Button_clicked()
{
    status->startMainProgram();
}

void MainWindow::on_data_ExchangeButton_clicked()
{
    liveData->toggleRawPolling();
}

void MainWindow::on_data_LED1_R_Button_clicked()
{
    liveData->sendBoardControl();
}

void MainWindow::on_data_WriteControl_button_clicked()
{
    // No button of this name is on the form; called directly it sends the
    // current board control block like every other control.
    liveData->sendBoardControl();
}

void MainWindow::on_data_LED1_G_Button_clicked()
{
    liveData->sendBoardControl();
}

void MainWindow::on_data_LED1_B_Button_clicked()
{
    liveData->sendBoardControl();
}

void MainWindow::on_data_LED2_R_Button_clicked()
{
    // This LED has no bit in the block: the block goes out unchanged.
    liveData->sendBoardControl();
}

void MainWindow::on_data_LED2_G_Button_clicked()
{
    liveData->sendBoardControl();
}

void MainWindow::on_data_LED2_B_Button_clicked()
{
    liveData->sendBoardControl();
}

void MainWindow::on_data_BLE_State_comboBox_activated(QString)
{
    liveData->sendBoardControl();
}

void MainWindow::on_data_AccelScale_comboBox_activated(QString)
{
    liveData->sendBoardControl();
}

void MainWindow::on_data_conductPullup_combobox_activated(QString)
{
    liveData->sendBoardControl();
}

void MainWindow::on_data_requestSpeed_ComboBox_activated(QString)
{
    // The period is read when polling starts; the box is locked while it runs.
}

void MainWindow::on_exchange_StartStop_button_clicked()
{
    liveData->requestExchange();
}

void MainWindow::on_exchange_SetConductScale_comboBox_activated(int index)
{
    liveData->setExchangeConductScale(index);
}

void MainWindow::on_exchange_SetAccel_Scale_comboBox_activated(int index)
{
    liveData->setExchangeAccelScale(index);
}

void MainWindow::on_stat_get_button_clicked()
{
    statistics->read();
}

void MainWindow::on_stat_reset_allow_checkBox_clicked(bool checked)
{
    statistics->allowReset(checked);
}

void MainWindow::on_stat_reset_button_clicked()
{
    statistics->reset();
}

void MainWindow::on_pc_debugData_ExchangeButton_clicked()
{
    pcDebug->togglePolling();
}

void MainWindow::on_pc_debugData_setPwm_button_clicked()
{
    pcDebug->sendPwm();
}

// Archive, hardware configuration, user calibrations, programming, AT console,
// reference documents: the slots hand over to their tab's controller.
void MainWindow::setReferenceDataDir(const QString& dir) { referenceDocs->setDataDir(dir); }
void MainWindow::setBackupDir(const QString& dir) { backups->setFolder(dir); }
void MainWindow::on_userData_write_Button_clicked() { userCalibration->writeBlock(); }
void MainWindow::on_userData_read_Button_clicked() { userCalibration->readBlock(); }
void MainWindow::on_atCmd_AT_Send_pushButton_clicked() { atConsole->sendAt(); }
void MainWindow::on_atCmd_NAME_Send_pushButton_clicked() { atConsole->askName(); }
void MainWindow::on_atCmd_RESET_Send_pushButton_clicked() { atConsole->reset(); }
void MainWindow::on_atCmd_RENEW_Send_pushButton_clicked() { atConsole->renew(); }
void MainWindow::on_atCmd_AT_SetSpeed_pushButton_clicked() { atConsole->setSpeed(); }
void MainWindow::on_atCmd_AT_SetName_pushButton_clicked() { atConsole->setName(); }
void MainWindow::on_atCmd_ATBaud_Send_pushButton_clicked() { atConsole->askSpeed(); }
void MainWindow::on_atCmd_sendHandCmd_pushButton_clicked() { atConsole->sendTyped(); }
void MainWindow::on_archive_GetStatus_button_clicked() { archive->requestStatus(); }
void MainWindow::on_archive_StartRecord_button_clicked() { archive->startRecording(); }
void MainWindow::on_archive_GetData_button_clicked() { archive->loadRecords(); }
void MainWindow::on_bl_Program_Run_Button_clicked() { programming->run(); }
void MainWindow::on_bl_fwConf_request_button_clicked() { programming->requestFwConfig(); }
void MainWindow::on_bl_choose_Sheet_Button_clicked() { programming->chooseSheet(); }
void MainWindow::on_run_ReleaseNotesFile_button_clicked() { referenceDocs->openReleaseNotes(); }
void MainWindow::on_hwConfig_get_Button_clicked() { hwConfig->requestConfig(); }
void MainWindow::on_hwConfig_Set_Button_clicked() { hwConfig->writeConfig(); }
void MainWindow::on_atCmd_VERS_Send_pushButton_clicked() { atConsole->askVersion(); }
void MainWindow::on_run_vorlen_Proto_File_button_clicked() { referenceDocs->openProtocol(); }
void MainWindow::on_hwConfig_setDefCalibValues_button_clicked() { hwConfig->setDefaultCoefs(); }
void MainWindow::on_run_vorlen_ProgrammingGuise_File_button_clicked() { referenceDocs->openProgrammingGuide(); }
void MainWindow::on_checkBox_clicked(bool checked) { hwConfig->overrideToggled(checked); }
void MainWindow::on_chem_DefaultReset_button_clicked() { userCalibration->resetChemistry(); }
void MainWindow::on_physic_DefaultReset_button_clicked() { userCalibration->resetPhysics(); }
void MainWindow::on_bio_DefaultReset_button_clicked() { userCalibration->resetBiology(); }
// End of archive, hardware configuration, user calibrations, programming, AT console, reference documents
