#include "MainWindow.h"

#include "ArchiveController.h"
#include "AtConsoleController.h"
#include "HwConfigController.h"
#include "PaneWriter.h"
#include "ProgrammingController.h"
#include "ReferenceDocsController.h"
#include "UserCalibrationController.h"
#include "ui_MainWindow.h"

#include <QTabBar>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    dataPollTimer.setSingleShot(true);
    dataWatchdogTimer.setSingleShot(true);
    pcPollTimer.setSingleShot(true);
    pcWatchdogTimer.setSingleShot(true);
    reconnectTimer.setSingleShot(true);

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
    logPane = std::make_unique<PaneWriter>(ui->log_Edit);
    exchangePane = std::make_unique<PaneWriter>(ui->exchange_PlainText);
    proto.setGatePrompt([this](const QString& informative) { dialogs->gateRefused(informative); });

    updatePortList();

    labTypeNames << QStringLiteral("Недоступно") << QStringLiteral("1. Цифровая лаборатория по физике")
                 << QStringLiteral("2. Цифровая лаборатория по химии")
                 << QStringLiteral("3. Цифровая лаборатория по экологии")
                 << QStringLiteral("4. Цифровая лаборатория по биологии");

    ui->stat_reset_button->setEnabled(false);

    ui->rconf_version_label->setText(QStringLiteral("Текущая версия программы - v") + versionText());
    setWindowTitle(QStringLiteral("RConf конфигуратор v") + versionText());

    dataExchangeRunning = false;
    pcExchangeRunning = false;
    exchangeRequestCount = 0;
    exchangeAnswerCount = 0;

    connect(&dataPollTimer, &QTimer::timeout, this, &MainWindow::dataPollStep);
    connect(&dataWatchdogTimer, &QTimer::timeout, this, &MainWindow::on_data_ExchangeButton_clicked);
    connect(&pcPollTimer, &QTimer::timeout, this, &MainWindow::pcPollStep);
    connect(&pcWatchdogTimer, &QTimer::timeout, this, &MainWindow::on_pc_debugData_ExchangeButton_clicked);
    connect(&reconnectTimer, &QTimer::timeout, this, &MainWindow::reconnectAttempt);
    connect(&link, &Oru_SerialPort::_data_recevied, this, &MainWindow::dataReceived);
    connect(&proto, &proto_Vorlen_v2::log, this, &MainWindow::log);
    connect(&proto, &proto_Vorlen_v2::_transmit_data, this, &MainWindow::transmitData);
    connect(&proto, &proto_Vorlen_v2::cmd_getInfo_received, this, &MainWindow::showDeviceInfo);
    connect(&proto, &proto_Vorlen_v2::cmd_Reload_Request, this, &MainWindow::reloadRequested);
    connect(&proto, &proto_Vorlen_v2::cmd_RawData_received, this, &MainWindow::rawDataReceived);
    connect(&proto, &proto_Vorlen_v2::cmd_DataExchange_received, this, &MainWindow::exchangeDataReceived);
    connect(&proto, &proto_Vorlen_v2::cmd_stat_received, this, &MainWindow::showStatistics);
    // A port that vanished while open: the panel goes to its closed state.
    connect(&link, &Oru_SerialPort::portLost, this, &MainWindow::portLost);

    ctx.ui = ui;
    ctx.window = this;
    ctx.proto = &proto;
    ctx.link = &link;
    ctx.events = &events;
    ctx.log = [this](const QString& text) { log(text); };
    ctx.dialogs = [this] { return dialogs; };
    statusRunLock = std::make_unique<WidgetLock>(std::initializer_list<QWidget*>{ui->cmds->tabBar(), ui->dev_info});
    connect(&proto, &proto_Vorlen_v2::programmingChanged, this, [this](bool on) { statusRunLock->setLocked(on); });

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
    // End of archive, hardware configuration, user calibrations, programming, AT console, reference documents
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::flushPanes()
{
    logPane->flush();
    exchangePane->flush();
}

// Archive, hardware configuration, user calibrations, programming, AT console,
// reference documents: the slots hand over to their tab's controller.
void MainWindow::setReferenceDataDir(const QString& dir) { referenceDocs->setDataDir(dir); }
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
