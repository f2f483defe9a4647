#pragma once
#include <QDateTime>
#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "Dialogs.h"
#include "Oru_SerialPort.h"
#include "ViewContext.h"
#include "WindowEvents.h"
#include "proto_Vorlen_v2.h"

namespace Ui {
class MainWindow;
}
class DeviceStatusController;
class GroupBoxPaintCache;
class LiveDataController;
class LogPanes;
class PaintPacer;
class PcDebugController;
class PortPanelController;
class StatisticsController;
class ArchiveController;
class BackupGuard;
class HwConfigController;
class UserCalibrationController;
class ProgrammingController;
class AtConsoleController;
class ReferenceDocsController;
class LinkHealthView;

// The configurator's single window: the form, the engine and the link, wired
// to one controller per tab (src/views/). Its slots, in a fixed order, pass
// each event to the controller that owns it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    static QString versionText() { return QStringLiteral("0.005"); }

    // Seams and access for tests and benchmarks
    proto_Vorlen_v2& engine() { return proto; }
    Oru_SerialPort& serialLink() { return link; }
    void setDialogs(Dialogs* d) { dialogs = d ? d : &defaultDialogs; }
    void setClock(std::function<QDateTime()> c);
    // Where the reference documents are looked for after the working directory.
    void setReferenceDataDir(const QString& dir);
    // The folder of the copies made before each write to a board; empty (the
    // default) makes none. The program sets its user data folder.
    void setBackupDir(const QString& dir);
    // Writes every pending pane line now (the panes append in batches).
    void flushPanes();

public slots:
    // Port panel and logs
    void log(QString text);                                           // 0
    void exchange(uint8_t* data, uint32_t size, uint8_t dir);        // 1
    void on_serialPortAction_Button_clicked();                        // 2
    void on_serialPortOpen_Button_clicked();                          // 3
    void on_serialPortUpdate_Button_clicked();                        // 4
    void on_logClear_Button_clicked();                                // 5
    void on_bootloader_Start_Button_clicked();                        // 6
    void on_getInfo_Button_clicked();                                 // 7
    void on_userData_write_Button_clicked();                          // 8
    void on_userData_read_Button_clicked();                           // 9
    void on_cmds_currentChanged(int index);                           // 10
    void on_atCmd_AT_Send_pushButton_clicked();                       // 11
    void on_atCmd_NAME_Send_pushButton_clicked();                     // 12
    void on_atCmd_RESET_Send_pushButton_clicked();                    // 13
    void on_atCmd_RENEW_Send_pushButton_clicked();                    // 14
    void on_atCmd_AT_SetSpeed_pushButton_clicked();                   // 15
    void on_atCmd_AT_SetName_pushButton_clicked();                    // 16
    void on_atCmd_ATBaud_Send_pushButton_clicked();                   // 17
    void on_atCmd_sendHandCmd_pushButton_clicked();                   // 18
    void on_data_ExchangeButton_clicked();                            // 19
    void on_data_LED1_R_Button_clicked();                             // 20
    void on_data_WriteControl_button_clicked();                       // 21
    void on_data_LED1_G_Button_clicked();                             // 22
    void on_data_LED1_B_Button_clicked();                             // 23
    void on_data_LED2_R_Button_clicked();                             // 24
    void on_data_LED2_G_Button_clicked();                             // 25
    void on_data_LED2_B_Button_clicked();                             // 26
    void on_data_BLE_State_comboBox_activated(QString arg1);          // 27
    void on_data_AccelScale_comboBox_activated(QString arg1);         // 28
    void on_data_conductPullup_combobox_activated(QString arg1);      // 29
    void on_data_requestSpeed_ComboBox_activated(QString arg1);       // 30
    void on_exchange_StartStop_button_clicked();                      // 31
    void on_exchange_SetConductScale_comboBox_activated(int index);   // 32
    void on_exchange_SetAccel_Scale_comboBox_activated(int index);    // 33
    void on_archive_GetStatus_button_clicked();                       // 34
    void on_archive_StartRecord_button_clicked();                     // 35
    void on_archive_GetData_button_clicked();                         // 36
    void on_stat_get_button_clicked();                                // 37
    void on_stat_reset_allow_checkBox_clicked(bool checked);          // 38
    void on_stat_reset_button_clicked();                              // 39
    void on_bl_Program_Run_Button_clicked();                          // 40
    void on_bl_fwConf_request_button_clicked();                       // 41
    void on_bl_choose_Sheet_Button_clicked();                         // 42
    void on_bl_load_mainProg_request_Button_clicked();                // 43
    void on_run_ReleaseNotesFile_button_clicked();                    // 44
    void on_hwConfig_get_Button_clicked();                            // 45
    void on_hwConfig_Set_Button_clicked();                            // 46
    void on_atCmd_VERS_Send_pushButton_clicked();                     // 47
    void on_pc_debugData_ExchangeButton_clicked();                    // 48
    void on_pc_debugData_setPwm_button_clicked();                     // 49
    void on_run_vorlen_Proto_File_button_clicked();                   // 50
    void on_hwConfig_setDefCalibValues_button_clicked();              // 51
    void on_run_vorlen_ProgrammingGuise_File_button_clicked();        // 52
    void on_checkBox_clicked(bool checked);                           // 53
    void on_chem_DefaultReset_button_clicked();                       // 54
    void on_physic_DefaultReset_button_clicked();                     // 55
    void on_bio_DefaultReset_button_clicked();                        // 56

private:
    ViewContext viewContext();

    Ui::MainWindow* ui;
    proto_Vorlen_v2 proto;
    Oru_SerialPort link;

    // Seams (not part of the board's state)
    Dialogs defaultDialogs;
    Dialogs* dialogs = &defaultDialogs;
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    // Cross-tab events and the tab controllers, made after the form is set up
    WindowEvents events;
    std::unique_ptr<BackupGuard> backups;
    std::unique_ptr<LogPanes> panes;
    std::unique_ptr<PortPanelController> portPanel;
    std::unique_ptr<DeviceStatusController> status;
    std::unique_ptr<LiveDataController> liveData;
    std::unique_ptr<PcDebugController> pcDebug;
    std::unique_ptr<StatisticsController> statistics;
    std::unique_ptr<PaintPacer> paintPacer;
    std::unique_ptr<GroupBoxPaintCache> groupBoxCache;

    // Archive, hardware configuration, user calibrations, programming, AT console, reference documents
    std::unique_ptr<ArchiveController> archive;
    std::unique_ptr<HwConfigController> hwConfig;
    std::unique_ptr<UserCalibrationController> userCalibration;
    std::unique_ptr<ProgrammingController> programming;
    std::unique_ptr<AtConsoleController> atConsole;
    std::unique_ptr<ReferenceDocsController> referenceDocs;
    std::unique_ptr<LinkHealthView> linkHealth;
};
