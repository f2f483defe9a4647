#include "MainWindow.h"

#include "DeviceStatusController.h"
#include "DeviceTypeNames.h"
#include "GroupBoxPaintCache.h"
#include "LiveDataController.h"
#include "LogPanes.h"
#include "PaintPacer.h"
#include "PcDebugController.h"
#include "PortPanelController.h"
#include "StatisticsController.h"
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

    const ViewContext ctx = viewContext();
    panes = std::make_unique<LogPanes>(ctx, this);
    portPanel = std::make_unique<PortPanelController>(ctx, *panes, this);
    status = std::make_unique<DeviceStatusController>(ctx, this);
    liveData = std::make_unique<LiveDataController>(ctx, this);
    pcDebug = std::make_unique<PcDebugController>(ctx, this);
    statistics = std::make_unique<StatisticsController>(ctx, this);
    paintPacer = std::make_unique<PaintPacer>(this);
    groupBoxCache = std::make_unique<GroupBoxPaintCache>(this);

    // Archive, hardware configuration, user calibrations, programming, AT console, reference documents
    for (int i = 0; i < 4; ++i)
        ui->userCalibration_coefTabs->setTabEnabled(i, false);
    ui->bl_Program_Run_Button->setEnabled(false);
    watchHwCoefEdits();
    connect(&proto, &proto_Vorlen_v2::cmd_fwConfig_updated, this, &MainWindow::showFwConfig);
    connect(&proto, &proto_Vorlen_v2::cmd_hwConfig_readed, this, &MainWindow::showHwConfig);
    connect(&proto, &proto_Vorlen_v2::cmd_userData_sent, this, &MainWindow::continueUserDataWrite);
    connect(&proto, &proto_Vorlen_v2::cmd_userData_readed, this, &MainWindow::showUserCalibrations);
    connect(&proto, &proto_Vorlen_v2::cmd_atCmd_received, this, &MainWindow::atCmdReceived);
    connect(&proto, &proto_Vorlen_v2::cmd_archiveControl_received, this, &MainWindow::showArchiveStatus);
    connect(&proto, &proto_Vorlen_v2::cmd_ArchiveData_received, this, &MainWindow::archiveDataReceived);
    connect(&proto, &proto_Vorlen_v2::cmd_program_progress, this,
            [this](uint8_t percent, bool ok) { showProgramProgress(static_cast<float>(percent), ok); });
    connectCrossTab();
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

// ---- Temporary: effects on the widgets of tabs without a controller yet ----
// Each moves to the controller of the tab it touches (archive, hardware
// configuration, user calibrations, programming, AT console), which connects
// to the same engine signal or window event.

void MainWindow::connectCrossTab()
{
    connect(&proto, &proto_Vorlen_v2::cmd_getInfo_received, this, &MainWindow::crossTabOnStatus);
    connect(&events, &WindowEvents::tabEntered, this, &MainWindow::crossTabOnTabEntered);
    connect(&events, &WindowEvents::portClosed, this, [this] { hwTypeListMode = -1; });
    connect(&events, &WindowEvents::logsCleared, ui->atCmd_Log_plainTextEdit, &QPlainTextEdit::clear);
    connect(&proto, &proto_Vorlen_v2::programmingChanged, this, &MainWindow::crossTabOnProgramming);
}

// Moves to the hardware configuration controller (type list, calibration
// pages, bootloader label) and the AT console controller (its group box).
void MainWindow::crossTabOnStatus()
{
    const DevInfo& info = proto.deviceInfo();
    // Refilled only while a bootloader runs. The type shown (read from this
    // board or chosen by the user) survives the refill, so a later write does
    // not reset the board's type; on a new connection nothing is chosen until
    // the configuration is read.
    QComboBox* typeBox = ui->hwConfig_devType_ComboBox;
    const int shownType = hwTypeListMode == info.progMode ? typeBox->currentIndex() : -1;
    typeBox->clear();
    hwTypeListMode = -1;
    const bool lab = info.progMode == 0;
    if (!lab && info.progMode != 10)
        return;
    ui->bl_atCmd_GroupBox->setVisible(lab);
    ui->hwCalibration_tabWidget->setTabEnabled(0, lab);
    ui->hwCalibration_tabWidget->setTabEnabled(1, !lab);
    ui->hwConfig_devInit_label->setText(lab ? QStringLiteral("Загрузчик Vorlen") : QStringLiteral("Загрузчик PhotoCol"));
    typeBox->addItems(lab ? labTypeNames() : photocolorimeterTypeNames());
    typeBox->setCurrentIndex(shownType);
    hwTypeListMode = info.progMode;
}

// Moves to the user calibration controller (its pages) and the programming
// and hardware configuration controllers (bootloader tab).
void MainWindow::crossTabOnTabEntered(int index, bool autoUpdate)
{
    // The user calibration page of the board's own type, and only while a
    // laboratory main program runs.
    const DevInfo& info = proto.deviceInfo();
    const bool labMain = info.progMode == 1 && info.devType >= 1 && info.devType <= 4;
    for (int tab = 0; tab < 4; ++tab)
        ui->userCalibration_coefTabs->setTabEnabled(tab, labMain && tab == info.devType - 1);
    if (!autoUpdate || index != 1)
        return;
    proto.sendCommand(rec::cmd::getFwConfig, nullptr, 0);
    // Writable again once a configuration has been read, or at once while
    // the override box is ticked.
    const bool overridden = ui->checkBox->isChecked();
    ui->hwConfigData_GroupBox->setEnabled(overridden);
    ui->hwConfig_Set_Button->setEnabled(overridden);
}

// The status controller's lock and the programming view's lock (which still
// covers the status tab too) nest, so each gives back exactly what it took.
// Once the programming controller locks only its own controls, the status
// controller connects to programmingChanged directly.
void MainWindow::crossTabOnProgramming(bool running)
{
    if (running) {
        status->lockForRun(true);
        lockForRun(true);
    } else {
        lockForRun(false);
        status->lockForRun(false);
    }
}
