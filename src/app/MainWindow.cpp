#include "MainWindow.h"

#include "PaneWriter.h"
#include "ui_MainWindow.h"

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
    photoColTypeNames << QStringLiteral("Недоступно") << QStringLiteral("100. Мультидатчик - фотоколориметр");

    for (int i = 0; i < 4; ++i)
        ui->userCalibration_coefTabs->setTabEnabled(i, false);
    ui->stat_reset_button->setEnabled(false);

    ui->rconf_version_label->setText(QStringLiteral("Текущая версия программы - v") + versionText());
    setWindowTitle(QStringLiteral("RConf конфигуратор v") + versionText());

    dataExchangeRunning = false;
    pcExchangeRunning = false;
    exchangeRequestCount = 0;
    exchangeAnswerCount = 0;

    ui->bl_Program_Run_Button->setEnabled(false);
    watchHwCoefEdits();

    connect(&dataPollTimer, &QTimer::timeout, this, &MainWindow::dataPollStep);
    connect(&dataWatchdogTimer, &QTimer::timeout, this, &MainWindow::on_data_ExchangeButton_clicked);
    connect(&pcPollTimer, &QTimer::timeout, this, &MainWindow::pcPollStep);
    connect(&pcWatchdogTimer, &QTimer::timeout, this, &MainWindow::on_pc_debugData_ExchangeButton_clicked);
    connect(&reconnectTimer, &QTimer::timeout, this, &MainWindow::reconnectAttempt);
    connect(&link, &Oru_SerialPort::_data_recevied, this, &MainWindow::dataReceived);
    connect(&proto, &proto_Vorlen_v2::log, this, &MainWindow::log);
    connect(&proto, &proto_Vorlen_v2::_transmit_data, this, &MainWindow::transmitData);
    connect(&proto, &proto_Vorlen_v2::cmd_fwConfig_updated, this, &MainWindow::showFwConfig);
    connect(&proto, &proto_Vorlen_v2::cmd_getInfo_received, this, &MainWindow::showDeviceInfo);
    connect(&proto, &proto_Vorlen_v2::cmd_Reload_Request, this, &MainWindow::reloadRequested);
    connect(&proto, &proto_Vorlen_v2::cmd_hwConfig_readed, this, &MainWindow::showHwConfig);
    connect(&proto, &proto_Vorlen_v2::cmd_userData_sent, this, &MainWindow::continueUserDataWrite);
    connect(&proto, &proto_Vorlen_v2::cmd_userData_readed, this, &MainWindow::showUserCalibrations);
    connect(&proto, &proto_Vorlen_v2::cmd_atCmd_received, this, &MainWindow::atCmdReceived);
    connect(&proto, &proto_Vorlen_v2::cmd_RawData_received, this, &MainWindow::rawDataReceived);
    connect(&proto, &proto_Vorlen_v2::cmd_DataExchange_received, this, &MainWindow::exchangeDataReceived);
    connect(&proto, &proto_Vorlen_v2::cmd_archiveControl_received, this, &MainWindow::showArchiveStatus);
    connect(&proto, &proto_Vorlen_v2::cmd_ArchiveData_received, this, &MainWindow::archiveDataReceived);
    connect(&proto, &proto_Vorlen_v2::cmd_stat_received, this, &MainWindow::showStatistics);
    connect(&proto, &proto_Vorlen_v2::cmd_program_progress, this,
            [this](uint8_t percent, bool ok) { showProgramProgress(static_cast<float>(percent), ok); });
    connect(&proto, &proto_Vorlen_v2::programmingChanged, this, &MainWindow::lockForRun);
    // A port that vanished while open: the panel goes to its closed state.
    connect(&link, &Oru_SerialPort::portLost, this, &MainWindow::portLost);
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
