#include <QtTest>

#include <functional>

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QTableWidget>
#include <QTextDocument>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTabWidget>

#include "MainWindow.h"
#include "ui_MainWindow.h"

// The main window form: every widget with its class, start text and start
// properties; captions beside their widgets; slots connected by name; a fixed
// layout in which nothing overlaps, nothing is cut off and everything fits a
// 1366x768 screen.
namespace {

// Widgets of one class that start with the same text, one row per name in the test.
struct WidgetGroup {
    const char* cls;
    const char* text;    // text or title; nullptr where the widgets have none
    const char* names;   // object names separated by spaces
};

struct CaptionRow {
    const char* text;
    const char* target;   // widget the caption stands for; "" for a page caption
    const char* name;     // fixed object name, or "" for label_N
};

// clang-format off
const WidgetGroup kWidgets[] = {
    {"QWidget", nullptr,
     "centralwidget dev_info dev_bootloader hwCalibration_vorlen hwCalibration_photoCol dev_vorlen vr_func_data "
     "vr_func_rawData vr_func_archive vr_func_userCalibrations physic_UserCalibration chemical_UserCalibration "
     "bilogy_UserCalibration ecology_UserCalibration dev_photocol pc_debugData pc_data dev_stat tab_5 tab_6"},
    {"QGroupBox", "Порт", "groupBox"},
    {"QComboBox", nullptr,
     "serialPortList_comboBox hwConfig_devType_ComboBox atCmd_speed_comboBox atCmd_SetSpeed_comboBox "
     "exchange_SetConductScale_comboBox exchange_SetAccel_Scale_comboBox data_conductPullup_combobox "
     "data_AccelScale_comboBox data_BLE_State_comboBox data_requestSpeed_ComboBox archive_Start_RecFreq_comboBox "
     "pc_Deb_data_requestSpeed_ComboBox"},
    {"QPushButton", "Открыть", "serialPortAction_Button"},
    {"QPushButton", "Обновить", "serialPortUpdate_Button"},
    {"QCheckBox", "Автообновление", "autoUpdate_checkBox"},
    {"QCheckBox", "Скрыть лог обмена", "hideLog_checkBox"},
    {"QCheckBox", "Автоподключение", "AutoReconnect_checkBox"},
    {"QTabWidget", nullptr,
     "cmds hwCalibration_tabWidget vr_functions_QTabWidget userCalibration_coefTabs photoCol_functions_TabWidget "
     "tabWidget"},
    {"QGroupBox", "Основное", "info_GroupBox"},
    {"QLabel", "Недоступно",
     "info_WorkMode_label info_SWConfig_ok_label info_HWConfig_ok_label info_PageAvailable_label info_atMode_Label "
     "info_devType_label info_Errors bl_fwConf_status_label bl_fwConf_sn_label bl_fwConf_CRC_label "
     "bl_fwConf_len_label bl_fwConf_date_label bl_fwConf_vers_label hwConfig_devInit_label exchange_requstNum_label "
     "exchange_asnwerNum_label exchange_workTime_label exchange_ConductScale_label exchange_ADC_Temp_label "
     "exchange_ADC_Voltage1_label exchange_ADC_Voltage2_label exchange_ADC_Voltage3_label "
     "exchange_ADC_Voltage4_label exchange_Accel_X_label exchange_Accel_Y_label exchange_Accel_Z_label "
     "exchange_AccelScale_label exchange_Light_label exchange_SHT_Humidity_label exchange_SHT_Temp_label "
     "exchange_Press_Pressure_label exchange_Press_Temp_label pc_debugData_R_PWM_Label pc_debugData_G_PWM_Label "
     "pc_debugData_B_PWM_Label pc_debugData_ADC_Ave_Label pc_debugData_ADC_Raw_Label"},
    {"QLabel", "", "info_bl_vers_Label"},
    {"QPushButton", "Запрос статуса устройства", "getInfo_Button"},
    {"QPushButton", "Запуск загрузчика", "bootloader_Start_Button"},
    {"QPushButton", "Запуск основной программы", "bl_load_mainProg_request_Button"},
    {"QGroupBox", "Справка", "groupBox_4"},
    {"QLabel", "Текущая версия программы - ", "rconf_version_label"},
    {"QPushButton", "Внесенные изменения", "run_ReleaseNotesFile_button"},
    {"QPushButton", "Протокол обмена", "run_vorlen_Proto_File_button"},
    {"QPushButton", "Инструкция по настройке Цифровых лабораторий", "run_vorlen_ProgrammingGuise_File_button"},
    {"QGroupBox", "Конфигурация FW", "bl_fwConfig_GroupBox"},
    {"QPushButton", "Запросить", "bl_fwConf_request_button stat_get_button"},
    {"QGroupBox", "Программирование", "bl_program_GroupBox"},
    {"QLabel", "Не загружено",
     "bl_Program_sheetCRC_label bl_Program_sheetSize_label bl_Program_sheetVers_label bl_Program_sheetDate_label "
     "bl_Program_support_versHW_label"},
    {"QLabel", "Версия прошивки:", "FW_Vers_Label"},
    {"QLabel", "Дата создания:", "FW_Vers_Label_2"},
    {"QLabel", "Версия HW:", "FW_Vers_Label_3"},
    {"QPlainTextEdit", nullptr, "bl_sheetNotes_plainText atCmd_Log_plainTextEdit log_Edit exchange_PlainText"},
    {"QLabel", "Серийный номер", "FW_SN_Label"},
    {"QSpinBox", nullptr,
     "bl_Program_SN_SpinBox hwConfig_devVers_SpinBox archive_Start_RecQtt_spinBox physic_step_tempSens_SpinBox "
     "physic_step_teslaSens_SpinBox physic_step_voltSens_SpinBox physic_step_amperSens_SpinBox "
     "chem_step_phSens_SpinBox chem_step_tempSens_SpinBox chem_step_conductSens_SpinBox bio_step_phSens_SpinBox "
     "bio_step_tempSens_SpinBox"},
    {"QPushButton", "Выбрать файл", "bl_choose_Sheet_Button"},
    {"QPushButton", "Программировать", "bl_Program_Run_Button"},
    {"QProgressBar", nullptr, "bl_Program_ProgressBar archive_Record_progressBar archive_loading_progressBar"},
    {"QGroupBox", "Аппаратная конфигурация", "hwConfig_GroupBox"},
    {"QCheckBox", "Разрешить модификацию без чтения", "checkBox"},
    {"QPushButton", "Считать конфигурацию HW", "hwConfig_get_Button"},
    {"QPushButton", "Записать конфигурацию HW", "hwConfig_Set_Button"},
    {"QGroupBox", "Данные аппаратной конфигурации", "hwConfigData_GroupBox"},
    {"QGroupBox", "Заводские калибровочные коэффициенты", "hwCalibr_vorlen_GroupBox"},
    {"QDoubleSpinBox", nullptr,
     "hwConfig_calib_k_ch0_dSpinBox hwConfig_calib_d_ch0_dSpinBox hwConfig_calib_k_ch1_dSpinBox "
     "hwConfig_calib_d_ch1_dSpinBox hwConfig_calib_k1_ch2_dSpinBox hwConfig_calib_d1_ch2_dSpinBox "
     "hwConfig_calib_k2_ch2_dSpinBox hwConfig_calib_d2_ch2_dSpinBox hwConfig_calib_pointT_ch2_dSpinBox "
     "hwConfig_calib_k1_ch3_dSpinBox hwConfig_calib_d1_ch3_dSpinBox hwConfig_calib_k2_ch3_dSpinBox "
     "hwConfig_calib_d2_ch3_dSpinBox hwConfig_calib_k3_ch3_dSpinBox hwConfig_calib_d3_ch3_dSpinBox "
     "hwConfig_calib_d_light_dSpinBox hwConfig_calib_d_hum_dSpinBox hwConfig_calib_d_tout_dSpinBox "
     "hwConfig_calib_d_press_dSpinBox physic_k_tempSens_dSpinBox physic_d_tempSens_dSpinBox "
     "physic_k_teslaSens_dSpinBox physic_d_teslaSens_dSpinBox physic_k_voltSens_dSpinBox physic_d_voltSens_dSpinBox "
     "physic_k_amperSens_dSpinBox physic_d_amperSens_dSpinBox physic_d_absPressSens_dSpinBox chem_k_phSens_dSpinBox "
     "chem_d_phSens_dSpinBox chem_k_tempSens_dSpinBox chem_d_tempSens_dSpinBox chem_k1_conductSens_dSpinBox "
     "chem_d1_conductSens_dSpinBox chem_k2_conductSens_dSpinBox chem_d2_conductSens_dSpinBox "
     "chem_k3_conductSens_dSpinBox chem_d3_conductSens_dSpinBox bio_k_phSens_dSpinBox bio_d_phSens_dSpinBox "
     "bio_k_tempSens_dSpinBox bio_d_tempSens_dSpinBox bio_d_Tout_dSpinBox bio_d_HumSens_dSpinBox "
     "bio_d_LightSens_dSpinBox pc_debugData_setPwm_RED_dSpinBox pc_debugData_setPwm_GREEN_dSpinBox "
     "pc_debugData_setPwm_BLUE_dSpinBox"},
    {"QPushButton", "Автозаполнение по типу лаборатории", "hwConfig_setDefCalibValues_button"},
    {"QGroupBox", "AT - команды BLE модуля Vorlen", "bl_atCmd_GroupBox"},
    {"QGroupBox", "Команды", "bl_atCmd_List_GroupBox"},
    {"QPushButton", "AT", "atCmd_AT_Send_pushButton"},
    {"QPushButton", "AT+NAME?", "atCmd_NAME_Send_pushButton"},
    {"QPushButton", "AT+RESET", "atCmd_RESET_Send_pushButton"},
    {"QPushButton", "AT+VERS?", "atCmd_VERS_Send_pushButton"},
    {"QPushButton", "AT+BAUD?", "atCmd_ATBaud_Send_pushButton"},
    {"QPushButton", "Заводские настройки", "atCmd_RENEW_Send_pushButton"},
    {"QPushButton", "Установить скорость", "atCmd_AT_SetSpeed_pushButton"},
    {"QPushButton", "Установить имя", "atCmd_AT_SetName_pushButton"},
    {"QLineEdit", "Ruvo_Name", "atCmd_newName_lineEdit"},
    {"QLineEdit", "", "atCmd_HandText_lineEdit"},
    {"QPushButton", "Отправить", "atCmd_sendHandCmd_pushButton"},
    {"QGroupBox", "Управление", "groupBox_46 groupBox_8 groupBox_2"},
    {"QGroupBox", "Обмен", "groupBox_22 groupBox_21 pc_debugData_exchange_GroupBox"},
    {"QPushButton", "Запрос", "exchange_StartStop_button archive_GetStatus_button"},
    {"QGroupBox", "Данные", "groupBox_23 groupBox_3"},
    {"QGroupBox", "Информация от платы", "groupBox_9"},
    {"QGroupBox", "АЦП ADS1220", "groupBox_7"},
    {"QLabel", "НЕДОСТУПНО",
     "data_ADS_CalibrValue_label data_ADS_MeasCycle_label data_ADS_Volt_channel0_label data_ADS_Volt_channel1_label "
     "data_ADS_Volt_channel2_label data_ADS_Volt_channel3_label data_ADS_Temp_label data_Accel_devStatus_label "
     "data_Accel_MeasCycle_label data_Accel_Scale_label data_Accel_X_label data_Accel_Y_label data_Accel_Z_label "
     "data_MAX_devStatus_label data_MAX_measCycle_label data_MAX_lux_label data_Press_devStatus_label "
     "data_Press_measCycle_label data_Press_CalibC0_label data_Press_CalibC1_label data_Press_CalibC2_label "
     "data_Press_CalibC3_label data_Press_CalibC4_label data_Press_CalibC5_label data_Press_CalibC6_label "
     "data_Press_Pressure_label data_Press_Temperature_label data_SHT_devStatus_label data_SHT_measCycle_label "
     "data_SHT_humidity_label data_SHT_Temperature_label data_HC595_RawData_label data_Conductometr_label "
     "data_BLE_Label data_Stat_mSecTimer_Label data_Stat_i2c_fault_Label data_Stat_i2c_handlerTimeout_Label "
     "data_Stat_i2c_LIS_Fault_Label data_Stat_i2c_EEPROM_Fault_Label data_Stat_i2c_MAX_Fault_Label "
     "data_Stat_i2c_SHT_Fault_Label data_Stat_i2c_MS_Fault_Label archive_CurrentStatus_label "
     "archive_CurrentRecordsQtt_label archive_CurrentTimeStamp_label pc_debugData_Stat_mSecTimer_Label "
     "pc_debugData_Stat_i2c_fault_Label pc_debugData_Stat_i2c_handlerTimeout_Label "
     "pc_debugData_Stat_i2c_EEPROM_Fault_Label"},
    {"QGroupBox", "Акселерометр", "groupBox_14 groupBox_13"},
    {"QGroupBox", "Люксметр", "groupBox_15"},
    {"QGroupBox", "Датчик давления", "groupBox_18"},
    {"QGroupBox", "Гигрометр", "groupBox_16"},
    {"QGroupBox", "Общее", "groupBox_17"},
    {"QGroupBox", "Светодиод VD5", "groupBox_10"},
    {"QPushButton", "R", "data_LED1_R_Button data_LED2_R_Button"},
    {"QPushButton", "G", "data_LED1_G_Button data_LED2_G_Button"},
    {"QPushButton", "B", "data_LED1_B_Button data_LED2_B_Button"},
    {"QGroupBox", "Светодиод VD6", "groupBox_11"},
    {"QGroupBox", "Кондуктометр", "groupBox_12"},
    {"QGroupBox", "BLE", "groupBox_19"},
    {"QLabel", "0",
     "data_RequestNum_Label data_PacketTransmit_Num_Label pc_debugData_RequestNum_Label "
     "pc_debugData_PacketTransmit_Num_Label stat_boardUse_count_label stat_hardFault_count_label "
     "stat_archive_use_label stat_useTime_label stat_batTime_label stat_fw_update_count_label"},
    {"QPushButton", "Запустить обмен", "data_ExchangeButton pc_debugData_ExchangeButton"},
    {"QGroupBox", "Статистика", "groupBox_20 pc_debugStat_GroupBox"},
    {"QGroupBox", "Текущий статус логгирования", "groupBox_24"},
    {"QDateTimeEdit", nullptr, "archive_CurrentDateTime_DateTimeEdit"},
    {"QGroupBox", "Запуск сохранения архива", "groupBox_25"},
    {"QPushButton", "Начать запись", "archive_StartRecord_button"},
    {"QGroupBox", "Загрузка архивных данных", "groupBox_26"},
    {"QPushButton", "Загрузить", "archive_GetData_button"},
    {"QTableWidget", nullptr, "archive_Data_tableWidget"},
    {"QPushButton", "Записать", "userData_write_Button"},
    {"QPushButton", "Прочитать", "userData_read_Button"},
    {"QPushButton", "Сброс по Default", "physic_DefaultReset_button chem_DefaultReset_button bio_DefaultReset_button"},
    {"QPushButton", "Установить", "pc_debugData_setPwm_button"},
    {"QPushButton", "Сбросить", "stat_reset_button"},
    {"QCheckBox", "Разрешить сброс статистики", "stat_reset_allow_checkBox"},
    {"QPushButton", "Очистить", "logClear_Button"},
    {"QMenuBar", nullptr, "menubar"},
    {"QStatusBar", nullptr, "statusbar"},
};

const CaptionRow kCaptions[] = {
    {"Режим работы", "info_WorkMode_label", ""},
    {"Состояние конфигурации FW", "info_SWConfig_ok_label", ""},
    {"Состояние конфигурации HW", "info_HWConfig_ok_label", ""},
    {"Свободная память для ПО", "info_PageAvailable_label", ""},
    {"Режим AT-команд", "info_atMode_Label", ""},
    {"Тип устройства", "info_devType_label", ""},
    {"Ошибки работы программы", "info_Errors", ""},
    {"Статус:", "bl_fwConf_status_label", ""},
    {"Серийный номер:", "bl_fwConf_sn_label", ""},
    {"CRC прошивки:", "bl_fwConf_CRC_label", ""},
    {"Длина прошивки:", "bl_fwConf_len_label", ""},
    {"Дата создания прошивки:", "bl_fwConf_date_label", ""},
    {"Версия прошивки:", "bl_fwConf_vers_label", ""},
    {"CRC файла:", "bl_Program_sheetCRC_label", ""},
    {"Размер в байтах:", "bl_Program_sheetSize_label", ""},
    {"Версия прошивки:", "bl_Program_sheetVers_label", "FW_Vers_Label"},
    {"Дата создания:", "bl_Program_sheetDate_label", "FW_Vers_Label_2"},
    {"Версия HW:", "bl_Program_support_versHW_label", "FW_Vers_Label_3"},
    {"Заметки файла обновления:", "bl_sheetNotes_plainText", ""},
    {"Серийный номер", "bl_Program_SN_SpinBox", "FW_SN_Label"},
    {"Тип загрузчика:", "hwConfig_devInit_label", ""},
    {"Тип устройства", "hwConfig_devType_ComboBox", ""},
    {"Версия аппаратного обеспечения", "hwConfig_devVers_SpinBox", ""},
    {"Канал 0, K", "hwConfig_calib_k_ch0_dSpinBox", ""},
    {"Канал 0, Delta", "hwConfig_calib_d_ch0_dSpinBox", ""},
    {"Канал 1, K", "hwConfig_calib_k_ch1_dSpinBox", ""},
    {"Канал 1, Delta", "hwConfig_calib_d_ch1_dSpinBox", ""},
    {"k1_ch2", "hwConfig_calib_k1_ch2_dSpinBox", ""},
    {"delta1_ch2", "hwConfig_calib_d1_ch2_dSpinBox", ""},
    {"k2_ch2", "hwConfig_calib_k2_ch2_dSpinBox", ""},
    {"delta2_ch2", "hwConfig_calib_d2_ch2_dSpinBox", ""},
    {"pointT_ch2", "hwConfig_calib_pointT_ch2_dSpinBox", ""},
    {"k1_ch3", "hwConfig_calib_k1_ch3_dSpinBox", ""},
    {"delta1_ch3", "hwConfig_calib_d1_ch3_dSpinBox", ""},
    {"k2_ch3", "hwConfig_calib_k2_ch3_dSpinBox", ""},
    {"delta2_ch3", "hwConfig_calib_d2_ch3_dSpinBox", ""},
    {"k3_ch3", "hwConfig_calib_k3_ch3_dSpinBox", ""},
    {"delta3_ch3", "hwConfig_calib_d3_ch3_dSpinBox", ""},
    {"delta_light", "hwConfig_calib_d_light_dSpinBox", ""},
    {"delta_humidity", "hwConfig_calib_d_hum_dSpinBox", ""},
    {"delta_Tout", "hwConfig_calib_d_tout_dSpinBox", ""},
    {"delta_Pressure", "hwConfig_calib_d_press_dSpinBox", ""},
    {"ПОКА НЕ УСТАНОВЛЕНЫ КАЛИБРОВОЧНЫЕ ДАННЫЕ", "", ""},
    {"Скорость работы UART для AT-команд", "atCmd_speed_comboBox", ""},
    {"Ручной ввод", "atCmd_HandText_lineEdit", ""},
    {"Кондуктометр", "exchange_SetConductScale_comboBox", ""},
    {"Акселерометр", "exchange_SetAccel_Scale_comboBox", ""},
    {"Запросы:", "exchange_requstNum_label", ""},
    {"Ответы:", "exchange_asnwerNum_label", ""},
    {"Время работы:", "exchange_workTime_label", ""},
    {"Шкала кондуктометра:", "exchange_ConductScale_label", ""},
    {"Температура АЦП:", "exchange_ADC_Temp_label", ""},
    {"Напряжение канал 1:", "exchange_ADC_Voltage1_label", ""},
    {"Напряжение канал 2:", "exchange_ADC_Voltage2_label", ""},
    {"Напряжение канал 3:", "exchange_ADC_Voltage3_label", ""},
    {"Напряжение канал 4:", "exchange_ADC_Voltage4_label", ""},
    {"Акселерометр, ось X:", "exchange_Accel_X_label", ""},
    {"Акселерометр, ось Y:", "exchange_Accel_Y_label", ""},
    {"Акселерометр, ось Z:", "exchange_Accel_Z_label", ""},
    {"Акселерометр, шкала:", "exchange_AccelScale_label", ""},
    {"Датчик освещенности:", "exchange_Light_label", ""},
    {"Влажность:", "exchange_SHT_Humidity_label", ""},
    {"Температура Д_влажн:", "exchange_SHT_Temp_label", ""},
    {"Давление:", "exchange_Press_Pressure_label", ""},
    {"Температура Д_давл:", "exchange_Press_Temp_label", ""},
    {"Калибровочное значение:", "data_ADS_CalibrValue_label", ""},
    {"Цикл измерения:", "data_ADS_MeasCycle_label", ""},
    {"Напряжение, канал 0:", "data_ADS_Volt_channel0_label", ""},
    {"Напряжение, канал 1:", "data_ADS_Volt_channel1_label", ""},
    {"Напряжение, канал 2:", "data_ADS_Volt_channel2_label", ""},
    {"Напряжение, канал 3:", "data_ADS_Volt_channel3_label", ""},
    {"Температура:", "data_ADS_Temp_label", ""},
    {"Статус устройства:", "data_Accel_devStatus_label", ""},
    {"Цикл измерения:", "data_Accel_MeasCycle_label", ""},
    {"Текущая шкала измерения:", "data_Accel_Scale_label", ""},
    {"Ускорение, ось X:", "data_Accel_X_label", ""},
    {"Ускорение, ось Y:", "data_Accel_Y_label", ""},
    {"Ускорение, ось Z:", "data_Accel_Z_label", ""},
    {"Статус устройства:", "data_MAX_devStatus_label", ""},
    {"Цикл измерения:", "data_MAX_measCycle_label", ""},
    {"Освещенность:", "data_MAX_lux_label", ""},
    {"Статус устройства:", "data_Press_devStatus_label", ""},
    {"Цикл измерения:", "data_Press_measCycle_label", ""},
    {"Калибровка C0:", "data_Press_CalibC0_label", ""},
    {"Калибровка C1:", "data_Press_CalibC1_label", ""},
    {"Калибровка C2:", "data_Press_CalibC2_label", ""},
    {"Калибровка C3:", "data_Press_CalibC3_label", ""},
    {"Калибровка C4:", "data_Press_CalibC4_label", ""},
    {"Калибровка C5:", "data_Press_CalibC5_label", ""},
    {"Калибровка C6:", "data_Press_CalibC6_label", ""},
    {"Расчетное давление:", "data_Press_Pressure_label", ""},
    {"Расчетная температура:", "data_Press_Temperature_label", ""},
    {"Статус устройства:", "data_SHT_devStatus_label", ""},
    {"Цикл измерения:", "data_SHT_measCycle_label", ""},
    {"Влажность:", "data_SHT_humidity_label", ""},
    {"Температура:", "data_SHT_Temperature_label", ""},
    {"RAW data HC595:", "data_HC595_RawData_label", ""},
    {"Кондуктометр:", "data_Conductometr_label", ""},
    {"BLE модуль:", "data_BLE_Label", ""},
    {"Частота опроса", "data_requestSpeed_ComboBox", ""},
    {"Принято пакетов:", "data_RequestNum_Label", ""},
    {"Отправлено пакетов:", "data_PacketTransmit_Num_Label", ""},
    {"Время работы:", "data_Stat_mSecTimer_Label", ""},
    {"Таймаут опроса узла I2C:", "data_Stat_i2c_fault_Label", ""},
    {"Общий сбой I2C:", "data_Stat_i2c_handlerTimeout_Label", ""},
    {"Сбой обмена с LIS3DH:", "data_Stat_i2c_LIS_Fault_Label", ""},
    {"Сбой обмена с AT24C64:", "data_Stat_i2c_EEPROM_Fault_Label", ""},
    {"Сбой обмена с MAX44009:", "data_Stat_i2c_MAX_Fault_Label", ""},
    {"Сбой обмена с SHT20:", "data_Stat_i2c_SHT_Fault_Label", ""},
    {"Сбой обмена с MS5837:", "data_Stat_i2c_MS_Fault_Label", ""},
    {"Статус:", "archive_CurrentStatus_label", ""},
    {"Количество записей:", "archive_CurrentRecordsQtt_label", ""},
    {"Процесс архивирования:", "archive_Record_progressBar", ""},
    {"Частота сохранения:", "archive_CurrentTimeStamp_label", ""},
    {"Дата и время запуска", "archive_CurrentDateTime_DateTimeEdit", ""},
    {"Частота сохранения:", "archive_Start_RecFreq_comboBox", ""},
    {"Количество записей:", "archive_Start_RecQtt_spinBox", ""},
    {"k_tempSensor", "physic_k_tempSens_dSpinBox", ""},
    {"step_TempSensor", "physic_step_tempSens_SpinBox", ""},
    {"delta_teslametrSensor", "physic_d_tempSens_dSpinBox", ""},
    {"k_teslametrSensor", "physic_k_teslaSens_dSpinBox", ""},
    {"step_teslametrSensor", "physic_step_teslaSens_SpinBox", ""},
    {"delta_teslametrSensor", "physic_d_teslaSens_dSpinBox", ""},
    {"k_voltmeterSensor", "physic_k_voltSens_dSpinBox", ""},
    {"step_voltmeterSensor", "physic_step_voltSens_SpinBox", ""},
    {"delta_voltmeterrSensor", "physic_d_voltSens_dSpinBox", ""},
    {"k_ampermeterSensor", "physic_k_amperSens_dSpinBox", ""},
    {"step_ampermeterSensor", "physic_step_amperSens_SpinBox", ""},
    {"delta_ampermeterrSensor", "physic_d_amperSens_dSpinBox", ""},
    {"delta_absolutePressureSensor", "physic_d_absPressSens_dSpinBox", ""},
    {"k_phSensor_inPH", "chem_k_phSens_dSpinBox", ""},
    {"step_phSensor_inPH", "chem_step_phSens_SpinBox", ""},
    {"delta_phSensor_inPH", "chem_d_phSens_dSpinBox", ""},
    {"k_tempSensor", "chem_k_tempSens_dSpinBox", ""},
    {"step_TempSensor", "chem_step_tempSens_SpinBox", ""},
    {"delta_temprSensor", "chem_d_tempSens_dSpinBox", ""},
    {"k1_ConductivitySensor", "chem_k1_conductSens_dSpinBox", ""},
    {"step_conductivitySensor", "chem_step_conductSens_SpinBox", ""},
    {"delta1_conductivitySensor", "chem_d1_conductSens_dSpinBox", ""},
    {"k2_ConductivitySensor", "chem_k2_conductSens_dSpinBox", ""},
    {"delta2_conductivitySensor", "chem_d2_conductSens_dSpinBox", ""},
    {"k3_ConductivitySensor", "chem_k3_conductSens_dSpinBox", ""},
    {"delta4_conductivitySensor", "chem_d3_conductSens_dSpinBox", ""},
    {"k_phSensor_inPH", "bio_k_phSens_dSpinBox", ""},
    {"step_phSensor_inPH", "bio_step_phSens_SpinBox", ""},
    {"delta_phSensor_inPH", "bio_d_phSens_dSpinBox", ""},
    {"k_tempSensor", "bio_k_tempSens_dSpinBox", ""},
    {"step_TempSensor", "bio_step_tempSens_SpinBox", ""},
    {"delta_teslametrSensor", "bio_d_tempSens_dSpinBox", ""},
    {"delta_Tout", "bio_d_Tout_dSpinBox", ""},
    {"delta_HumiditySensor", "bio_d_HumSens_dSpinBox", ""},
    {"delta_LightSensor", "bio_d_LightSens_dSpinBox", ""},
    {"Частота опроса", "pc_Deb_data_requestSpeed_ComboBox", ""},
    {"Принято пакетов:", "pc_debugData_RequestNum_Label", ""},
    {"Отправлено пакетов:", "pc_debugData_PacketTransmit_Num_Label", ""},
    {"Время работы:", "pc_debugData_Stat_mSecTimer_Label", ""},
    {"Таймаут опроса узла I2C:", "pc_debugData_Stat_i2c_fault_Label", ""},
    {"Общий сбой I2C:", "pc_debugData_Stat_i2c_handlerTimeout_Label", ""},
    {"Сбой обмена с AT24C64:", "pc_debugData_Stat_i2c_EEPROM_Fault_Label", ""},
    {"ШИМ, красный", "pc_debugData_setPwm_RED_dSpinBox", ""},
    {"ШИМ, зеленый", "pc_debugData_setPwm_GREEN_dSpinBox", ""},
    {"ШИМ, синий", "pc_debugData_setPwm_BLUE_dSpinBox", ""},
    {"Текущий % ШИМ, красный:", "pc_debugData_R_PWM_Label", ""},
    {"Текущий % ШИМ, зеленый:", "pc_debugData_G_PWM_Label", ""},
    {"Текущий % ШИМ, синий:", "pc_debugData_B_PWM_Label", ""},
    {"Значение АЦП, усредненное:", "pc_debugData_ADC_Ave_Label", ""},
    {"Значение АЦП, действительное:", "pc_debugData_ADC_Raw_Label", ""},
    {"Счетчик загрузок основной программы", "stat_boardUse_count_label", ""},
    {"Счетчик программных сбоев HardFault", "stat_hardFault_count_label", ""},
    {"Счетчик использования архива", "stat_archive_use_label", ""},
    {"Общее время непрерывной работы устройства", "stat_useTime_label", ""},
    {"Общее время работы от аккумулятора", "stat_batTime_label", ""},
    {"Счетчик обновлений программного обеспечения", "stat_fw_update_count_label", ""},
};
// clang-format on

QStringList g_messages;
QtMessageHandler g_previousHandler = nullptr;

void collectMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    g_messages << message;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

const QRegularExpression kCaptionName(QStringLiteral("^label_\\d+$"));

QString textOf(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    return QString();
}

// Widgets the form placed: internal children of compound widgets carry qt_ names.
bool isFormWidget(const QWidget* w)
{
    return !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")) && !w->isWindow();
}

QList<QWidget*> formChildren(QWidget* container)
{
    QList<QWidget*> result;
    for (QObject* o : container->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && isFormWidget(w))
            result << w;
    }
    return result;
}

// Every widget the form placed: the central widget's children, and recursively
// the children of group boxes and of tab widget pages.
QList<QWidget*> allFormWidgets(QWidget* central)
{
    QList<QWidget*> result;
    std::function<void(QWidget*)> walk = [&](QWidget* container) {
        for (QWidget* w : formChildren(container)) {
            result << w;
            if (qobject_cast<QGroupBox*>(w))
                walk(w);
            if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
                for (int i = 0; i < tabs->count(); ++i) {
                    result << tabs->widget(i);
                    walk(tabs->widget(i));
                }
            }
        }
    };
    walk(central);
    return result;
}

// Enabled unless the form disabled it itself (a disabled parent does not count).
bool ownEnabled(const QWidget* w)
{
    return !w->testAttribute(Qt::WA_ForceDisabled);
}

// The part of a group box below its title and inside its frame.
QRect groupContents(QGroupBox* box)
{
    QStyleOptionGroupBox opt;
    opt.initFrom(box);
    opt.text = box->title();
    opt.lineWidth = 1;
    opt.midLineWidth = 0;
    opt.textAlignment = box->alignment();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    opt.features = box->isFlat() ? QStyleOptionFrame::Flat : QStyleOptionFrame::None;
    const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, box);
    QRect inner = box->rect().adjusted(1, 1, -1, -1);
    inner.setTop(qMax(inner.top(), label.bottom() + 1));
    return inner;
}

// Makes every tab widget above `w` show the page that holds it.
void reveal(QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        auto* tabs = qobject_cast<QTabWidget*>(p);
        if (!tabs)
            continue;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->widget(i) == w || tabs->widget(i)->isAncestorOf(w))
                tabs->setCurrentIndex(i);
    }
}

// Why `w` cannot show its whole text, or an empty string when it can.
QString clipped(QWidget* w)
{
    const QString name = w->objectName();
    if (auto* l = qobject_cast<QLabel*>(w)) {
        if (l->wordWrap()) {
            if (l->heightForWidth(l->width()) > l->height())
                return QStringLiteral("%1: wrapped text needs height %2, has %3")
                    .arg(name).arg(l->heightForWidth(l->width())).arg(l->height());
        } else if (l->sizeHint().width() > l->width() || l->sizeHint().height() > l->height()) {
            return QStringLiteral("%1: needs %2x%3, has %4x%5")
                .arg(name).arg(l->sizeHint().width()).arg(l->sizeHint().height()).arg(l->width()).arg(l->height());
        }
        return QString();
    }
    QSize need;
    if (auto* box = qobject_cast<QGroupBox*>(w))
        need = QSize(box->minimumSizeHint().width(), 0);
    else if (auto* tabs = qobject_cast<QTabWidget*>(w))
        need = QSize(tabs->tabBar()->sizeHint().width(), 0);
    else if (auto* push = qobject_cast<QPushButton*>(w))
        need = QSize(push->fontMetrics().horizontalAdvance(push->text()) + 12, push->fontMetrics().height() + 4);
    else if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w))
        need = w->sizeHint();
    if (need.width() > w->width() || need.height() > w->height())
        return QStringLiteral("%1: needs %2x%3, has %4x%5")
            .arg(name).arg(need.width()).arg(need.height()).arg(w->width()).arg(w->height());
    return QString();
}

} // namespace

class TestForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void formOnItsOwn();
    void widgetTable_data();
    void widgetTable();
    void captionsStandBesideTheirWidgets();
    void startProperties();
    void comboItems();
    void tabPages();
    void toolTips();
    void slotsConnectedByName();
    void nothingOverlapsOrLeavesItsParent();
    void textsFitTheirWidgets();
    void longestRealisticTextsFit();
    void windowFitsSmallScreen();
    void resizingMovesNothing();

private:
    template <typename T = QWidget>
    T* get(const char* name)
    {
        T* w = window->findChild<T*>(QString::fromUtf8(name));
        if (!w)
            qFatal("the form has no %s named %s", T::staticMetaObject.className(), name);
        return w;
    }
    // Calls check(page) with every page of every tab widget shown in turn.
    template <typename F>
    void forEveryPage(F check)
    {
        const auto all = window->findChildren<QTabWidget*>();
        for (QTabWidget* tabs : all) {
            for (int i = 0; i < tabs->count(); ++i) {
                reveal(tabs->widget(i));
                QCoreApplication::processEvents();
                check(tabs->widget(i));
            }
        }
    }

    MainWindow* window = nullptr;
    QStringList constructionMessages;
};

void TestForm::initTestCase()
{
    g_previousHandler = qInstallMessageHandler(collectMessages);
    window = new MainWindow;
    constructionMessages = g_messages;
    // The machine's ports (and running simulators) are not the form's: its
    // texts are checked with an empty port list.
    get<QComboBox>("serialPortList_comboBox")->clear();
    window->resize(1366, 690);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestForm::cleanupTestCase()
{
    delete window;
    qInstallMessageHandler(g_previousHandler);
}

void TestForm::formOnItsOwn()
{
    // The bare form, before the window replaces title and version text.
    QMainWindow host;
    Ui::MainWindow form;
    form.setupUi(&host);
    QCOMPARE(host.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(host.windowTitle(), QStringLiteral("Vorlen_v2_Configurator_v1.00"));
    QCOMPARE(host.centralWidget(), form.centralwidget);
    QCOMPARE(form.centralwidget->objectName(), QStringLiteral("centralwidget"));
    QCOMPARE(form.rconf_version_label->text(), QStringLiteral("Текущая версия программы - "));
    QCOMPARE(host.menuBar(), form.menubar);
    QCOMPARE(host.statusBar(), form.statusbar);
    QVERIFY(form.menubar->actions().isEmpty());
    QVERIFY(form.statusbar->currentMessage().isEmpty());
}

void TestForm::widgetTable_data()
{
    QTest::addColumn<QString>("cls");
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<QString>("text");
    int rows = 0;
    for (const WidgetGroup& group : kWidgets) {
        for (const QString& name : QString::fromLatin1(group.names).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            QTest::newRow(qPrintable(name)) << QString::fromLatin1(group.cls) << (group.text != nullptr)
                                            << QString::fromUtf8(group.text);
            ++rows;
        }
    }
    QCOMPARE(rows, 302);
}

void TestForm::widgetTable()
{
    const QString name = QString::fromUtf8(QTest::currentDataTag());
    QFETCH(QString, cls);
    QFETCH(bool, hasText);
    QFETCH(QString, text);
    const QList<QWidget*> found = window->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QCOMPARE(QString::fromLatin1(found.first()->metaObject()->className()), cls);
    if (!hasText)
        return;
    if (name == QLatin1String("rconf_version_label"))   // the window appends its version
        QVERIFY(textOf(found.first()).startsWith(text));
    else
        QCOMPARE(textOf(found.first()), text);
}

void TestForm::captionsStandBesideTheirWidgets()
{
    QSet<QLabel*> matched;
    for (const CaptionRow& row : kCaptions) {
        const QString text = QString::fromUtf8(row.text);
        const QString fixedName = QString::fromUtf8(row.name);
        QWidget* target = *row.target ? get(row.target) : nullptr;
        QLabel* caption = nullptr;
        for (QLabel* l : window->findChildren<QLabel*>()) {
            if (l->text() != text || matched.contains(l))
                continue;
            if (fixedName.isEmpty() ? !kCaptionName.match(l->objectName()).hasMatch() : l->objectName() != fixedName)
                continue;
            if (!target) {
                caption = l;
                break;
            }
            if (l->parentWidget() != target->parentWidget())
                continue;
            const QRect c = l->geometry(), t = target->geometry();
            // Beside: same row (centres level, or tops level for a value of several lines).
            const bool left = c.right() < t.left() && t.left() - c.right() <= 16
                              && (qAbs(c.center().y() - t.center().y()) <= 6 || qAbs(c.top() - t.top()) <= 4);
            const bool above = c.bottom() < t.top() && t.top() - c.bottom() <= 8 && qAbs(c.left() - t.left()) <= 4;
            if (left || above) {
                caption = l;
                break;
            }
        }
        QVERIFY2(caption, qPrintable(QStringLiteral("no caption \"%1\" beside %2").arg(text, row.target)));
        matched.insert(caption);
    }
    // No caption without a place in the table.
    for (QLabel* l : window->findChildren<QLabel*>(kCaptionName))
        QVERIFY2(matched.contains(l), qPrintable(l->objectName() + QStringLiteral(" is not an expected caption")));
}

void TestForm::startProperties()
{
    auto* cmds = get<QTabWidget>("cmds");
    QVERIFY(!cmds->isEnabled());
    QCOMPARE(cmds->tabPosition(), QTabWidget::North);
    QCOMPARE(cmds->layoutDirection(), Qt::LeftToRight);
    QCOMPARE(cmds->currentIndex(), 2);

    QVERIFY(ownEnabled(get("serialPortAction_Button")));
    QVERIFY(get<QCheckBox>("autoUpdate_checkBox")->isChecked());
    QVERIFY(!ownEnabled(get("autoUpdate_checkBox")));
    QVERIFY(!get<QCheckBox>("hideLog_checkBox")->isChecked());
    QVERIFY(get<QCheckBox>("AutoReconnect_checkBox")->isChecked());
    QVERIFY(!get<QCheckBox>("checkBox")->isChecked());
    QVERIFY(!get<QCheckBox>("stat_reset_allow_checkBox")->isChecked());
    QVERIFY(!ownEnabled(get("userData_write_Button")));
    QVERIFY(ownEnabled(get("userData_read_Button")));

    auto* sn = get<QSpinBox>("bl_Program_SN_SpinBox");
    QCOMPARE(sn->minimum(), 0);
    QCOMPARE(sn->maximum(), 429496729);
    QVERIFY(sn->keyboardTracking());

    for (const char* bar : {"bl_Program_ProgressBar", "archive_loading_progressBar", "archive_Record_progressBar"})
        QCOMPARE(get<QProgressBar>(bar)->value(), 0);
    QVERIFY(get<QPlainTextEdit>("bl_sheetNotes_plainText")->isReadOnly());
    QVERIFY(get<QPlainTextEdit>("atCmd_Log_plainTextEdit")->isReadOnly());

    for (const char* name : {"hwConfig_devVers_SpinBox", "physic_step_tempSens_SpinBox", "physic_step_teslaSens_SpinBox",
                             "physic_step_voltSens_SpinBox", "physic_step_amperSens_SpinBox", "chem_step_phSens_SpinBox",
                             "chem_step_tempSens_SpinBox", "chem_step_conductSens_SpinBox", "bio_step_phSens_SpinBox",
                             "bio_step_tempSens_SpinBox"}) {
        auto* s = get<QSpinBox>(name);
        QVERIFY2(s->minimum() == 0 && s->maximum() == 255 && s->value() == 0, name);
    }
    auto* qtt = get<QSpinBox>("archive_Start_RecQtt_spinBox");
    QCOMPARE(qtt->minimum(), 2);
    QCOMPARE(qtt->maximum(), 100);
    QCOMPARE(qtt->value(), 100);

    // Calibration coefficients: every one on the hardware and user calibration pages.
    int calibrations = 0;
    for (QDoubleSpinBox* d : window->findChildren<QDoubleSpinBox*>()) {
        if (d->objectName().startsWith(QLatin1String("pc_debugData_setPwm_"))) {
            QCOMPARE(d->minimum(), 0.0);
            QCOMPARE(d->maximum(), 100.0);
            QCOMPARE(d->decimals(), 2);
            continue;
        }
        QVERIFY2(d->objectName().endsWith(QLatin1String("_dSpinBox")), qPrintable(d->objectName()));
        QCOMPARE(d->decimals(), 6);
        QCOMPARE(d->minimum(), -999.999999);
        QCOMPARE(d->maximum(), 999.999999);
        QCOMPARE(d->value(), 0.0);
        ++calibrations;
    }
    QCOMPARE(calibrations, 45);

    for (const char* name : {"data_LED1_R_Button", "data_LED1_G_Button", "data_LED1_B_Button", "data_LED2_R_Button",
                             "data_LED2_G_Button", "data_LED2_B_Button"}) {
        auto* b = get<QPushButton>(name);
        QVERIFY2(b->isCheckable() && !b->isChecked(), name);
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            QCOMPARE(b->palette().color(group, QPalette::Button), QColor(0, 170, 255));
    }
    QCOMPARE(get<QDateTimeEdit>("archive_CurrentDateTime_DateTimeEdit")->displayFormat(),
             QStringLiteral("dd.MM.yyyy H:mm:ss"));
    QCOMPARE(get<QLabel>("info_bl_vers_Label")->text(), QString());
    QCOMPARE(get<QLineEdit>("atCmd_newName_lineEdit")->text(), QStringLiteral("Ruvo_Name"));
    QVERIFY(get<QLineEdit>("atCmd_HandText_lineEdit")->text().isEmpty());
    QVERIFY(get<QTableWidget>("archive_Data_tableWidget")->rowCount() == 0);
    QVERIFY(get<QTableWidget>("archive_Data_tableWidget")->columnCount() == 0);
}

void TestForm::comboItems()
{
    const QStringList speeds = {"5 мСек", "10 мСек", "25 мСек", "50 мСек", "100 мСек", "250 мСек", "500 мСек", "1 Сек"};
    const QStringList accel = {"2G", "4G", "8G", "16G"};
    const QStringList conduct = {"Отключено", "1 кОм", "10 кОм", "100 кОм"};
    const struct {
        const char* name;
        QStringList items;
        int current;
        bool editable;
    } combos[] = {
        {"hwConfig_devType_ComboBox", {}, -1, false},
        {"atCmd_speed_comboBox", {"9600", "19200", "38400", "57600", "115200", "4800", "2400", "1200", "230400"}, 0, true},
        {"atCmd_SetSpeed_comboBox", {"9600", "19200", "38400", "57600", "115200", "230400"}, 4, false},
        {"exchange_SetAccel_Scale_comboBox", accel, 0, false},
        {"data_AccelScale_comboBox", accel, 0, false},
        {"exchange_SetConductScale_comboBox", conduct, 0, false},
        {"data_conductPullup_combobox", conduct, 0, false},
        {"data_BLE_State_comboBox", {"Сброс", "Включен"}, 1, false},
        {"data_requestSpeed_ComboBox", speeds, 5, false},
        {"pc_Deb_data_requestSpeed_ComboBox", speeds, 5, false},
        {"archive_Start_RecFreq_comboBox",
         {"100 точек/секунду", "50 точек/секунду", "40 точек/секунду", "20 точек/секунду", "10 точек/секунду",
          "5 точек/секунду", "4 точки/секунду", "2 точки/секунду", "1 точка/секунду", "1 точка/минуту",
          "1 точка/10 минут", "1 точка/ 15 минут", "1 точка/ 30 минут", "1 точка/ час"},
         0, false},
    };
    for (const auto& c : combos) {
        auto* box = get<QComboBox>(c.name);
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        QCOMPARE(items, c.items);
        QVERIFY2(box->currentIndex() == c.current, c.name);
        QVERIFY2(box->isEditable() == c.editable, c.name);
    }
    // The port list is the window's to fill; a device path may be typed instead,
    // and typing adds no item of its own.
    auto* ports = get<QComboBox>("serialPortList_comboBox");
    QVERIFY(ports->isEditable());
    QCOMPARE(ports->insertPolicy(), QComboBox::NoInsert);
}

void TestForm::tabPages()
{
    const struct {
        const char* name;
        QStringList pages;
        QStringList titles;
        int current;
    } tabs[] = {
        {"cmds",
         {"dev_info", "dev_bootloader", "dev_vorlen", "dev_photocol", "dev_stat"},
         {"Информация", "Загрузчик", "Цифровые лаборатории", "Фотоколориметр", "Статистика_устройства"},
         2},
        {"hwCalibration_tabWidget", {"hwCalibration_vorlen", "hwCalibration_photoCol"}, {"Ворлен", "Фотоколориметр"}, 0},
        {"vr_functions_QTabWidget",
         {"vr_func_data", "vr_func_rawData", "vr_func_archive", "vr_func_userCalibrations"},
         {"Данные", "Отладочные данные", "Архив", "Пользовательские калибровки"},
         3},
        {"userCalibration_coefTabs",
         {"physic_UserCalibration", "chemical_UserCalibration", "bilogy_UserCalibration", "ecology_UserCalibration"},
         {"Физика", "Химия", "Экология", "Биология"},
         3},
        {"photoCol_functions_TabWidget", {"pc_debugData", "pc_data"}, {"Отладка", "Данные"}, 0},
        {"tabWidget", {"tab_5", "tab_6"}, {"Лог", "Обмен"}, 0},
    };
    for (const auto& t : tabs) {
        auto* w = get<QTabWidget>(t.name);
        QStringList pages, titles;
        for (int i = 0; i < w->count(); ++i) {
            pages << w->widget(i)->objectName();
            titles << w->tabText(i);
        }
        QCOMPARE(pages, t.pages);
        QCOMPARE(titles, t.titles);
        QVERIFY2(w->currentIndex() == t.current, t.name);
    }
    // Nesting: each inner tab widget lives on its page.
    QVERIFY(get("dev_vorlen")->isAncestorOf(get("vr_functions_QTabWidget")));
    QVERIFY(get("dev_photocol")->isAncestorOf(get("photoCol_functions_TabWidget")));
    QVERIFY(get("vr_func_userCalibrations")->isAncestorOf(get("userCalibration_coefTabs")));
    QVERIFY(get("hwConfigData_GroupBox")->isAncestorOf(get("hwCalibration_tabWidget")));
    QVERIFY(get("hwConfig_GroupBox")->isAncestorOf(get("hwConfigData_GroupBox")));
    QVERIFY(get("hwCalibr_vorlen_GroupBox")->isAncestorOf(get("hwConfig_calib_d_press_dSpinBox")));
    QVERIFY(get("groupBox_9")->isAncestorOf(get("groupBox_18")));
    QVERIFY(get("groupBox_8")->isAncestorOf(get("groupBox_19")));
    QVERIFY(get("bl_atCmd_GroupBox")->isAncestorOf(get("bl_atCmd_List_GroupBox")));
    QVERIFY(get("bl_atCmd_List_GroupBox")->isAncestorOf(get("atCmd_sendHandCmd_pushButton")));
    QVERIFY(get("tab_5")->isAncestorOf(get("log_Edit")));
    QVERIFY(get("tab_6")->isAncestorOf(get("exchange_PlainText")));
    QVERIFY(formChildren(get("bilogy_UserCalibration")).isEmpty());
    QVERIFY(formChildren(get("pc_data")).isEmpty());
}

void TestForm::toolTips()
{
    const QString ok = QStringLiteral(
        "<html><head/><body><p>Запрос готовности, ожидаемый ответ:</p><p><span style=\" font-weight:600;\">&quot;OK&quot;</span></p></body></html>");
    const struct {
        const char* name;
        QString tip;
    } tips[] = {
        {"atCmd_AT_Send_pushButton", ok},
        {"atCmd_AT_SetSpeed_pushButton", ok},
        {"atCmd_AT_SetName_pushButton", ok},
        {"atCmd_NAME_Send_pushButton",
         "<html><head/><body><p>Запрос имени, ожидаемый ответ:</p><p><span style=\" font-weight:600;\">&quot;BLENameExample&quot;</span></p></body></html>"},
        {"atCmd_RESET_Send_pushButton",
         "<html><head/><body><p>Запрос сброса, ожидаемый ответ:</p><p><span style=\" font-weight:600;\">&quot;OK+RESET&quot; и перезагрузка</span></p></body></html>"},
        {"atCmd_VERS_Send_pushButton",
         "<html><head/><body><p>Запрос версии прошивки, ожидаемый ответ:</p><p><span style=\" font-weight:600;\">&quot;HMSoft V540&quot;</span></p></body></html>"},
        {"atCmd_RENEW_Send_pushButton",
         "<html><head/><body><p>Сброс на заводские настройки, ожидаемый ответ:</p><p><span style=\" font-weight:600;\">&quot;OK+Get:x&quot;, где x - скорость работы интерфейса</span></p></body></html>"},
        {"atCmd_ATBaud_Send_pushButton",
         "<html><head/><body><p>Запрос скорости работы UART, ожидаемый ответ:</p><p><span style=\" font-weight:600;\">&quot;OK:Set:X&quot;</span></p><p>где Х - скорость из раскрывающегося списка</p></body></html>"},
        {"atCmd_sendHandCmd_pushButton", QString()},
    };
    for (const auto& t : tips)
        QCOMPARE(get(t.name)->toolTip(), t.tip);

    const QString autoTip = get("autoUpdate_checkBox")->toolTip();
    QVERIFY(Qt::mightBeRichText(autoTip));
    QTextDocument doc;
    doc.setHtml(autoTip);
    QCOMPARE(doc.toPlainText(), QStringLiteral("Автоматическое обновление полей данных при переключении вкладок"));

    // Only those carry tool tips.
    QStringList withTips;
    for (QWidget* w : allFormWidgets(window->centralWidget()))
        if (!w->toolTip().isEmpty())
            withTips << w->objectName();
    withTips.sort();
    QCOMPARE(withTips, QStringList({"atCmd_ATBaud_Send_pushButton", "atCmd_AT_Send_pushButton",
                                    "atCmd_AT_SetName_pushButton", "atCmd_AT_SetSpeed_pushButton",
                                    "atCmd_NAME_Send_pushButton", "atCmd_RENEW_Send_pushButton",
                                    "atCmd_RESET_Send_pushButton", "atCmd_VERS_Send_pushButton",
                                    "autoUpdate_checkBox"}));
}

void TestForm::slotsConnectedByName()
{
    QStringList unmatched;
    const QString prefix = QStringLiteral("QMetaObject::connectSlotsByName: No matching signal for ");
    for (const QString& m : constructionMessages)
        if (m.startsWith(prefix))
            unmatched << m.mid(prefix.size());
    unmatched.sort();
    QStringList expected({"on_data_WriteControl_button_clicked()", "on_serialPortOpen_Button_clicked()"});
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 has no activated(QString): the window connects these to textActivated itself.
    expected << "on_data_AccelScale_comboBox_activated(QString)" << "on_data_BLE_State_comboBox_activated(QString)"
             << "on_data_conductPullup_combobox_activated(QString)" << "on_data_requestSpeed_ComboBox_activated(QString)";
    expected.sort();
#endif
    QCOMPARE(unmatched, expected);

    // Every other form slot names an existing widget.
    const QMetaObject* mo = window->metaObject();
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QString slot = QString::fromLatin1(mo->method(i).name());
        if (!slot.startsWith(QLatin1String("on_")) || slot == QLatin1String("on_serialPortOpen_Button_clicked")
            || slot == QLatin1String("on_data_WriteControl_button_clicked"))
            continue;
        const QString object = slot.mid(3, slot.lastIndexOf(QLatin1Char('_')) - 3);
        QVERIFY2(window->findChild<QWidget*>(object), qPrintable(slot));
    }
    // A form slot fires from its widget: the clear button empties the log pane.
    window->log(QStringLiteral("строка"));
    window->flushPanes();
    QVERIFY(!get<QPlainTextEdit>("log_Edit")->toPlainText().isEmpty());
    QTest::mouseClick(get("logClear_Button"), Qt::LeftButton);
    window->flushPanes();
    QVERIFY(get<QPlainTextEdit>("log_Edit")->toPlainText().isEmpty());
}

void TestForm::nothingOverlapsOrLeavesItsParent()
{
    QStringList faults;
    std::function<void(QWidget*)> walk = [&](QWidget* container) {
        QRect area = container->rect();
        if (auto* box = qobject_cast<QGroupBox*>(container))
            area = groupContents(box);
        const QList<QWidget*> kids = formChildren(container);
        for (int i = 0; i < kids.size(); ++i) {
            if (!area.contains(kids[i]->geometry()))
                faults << QStringLiteral("%1 leaves %2").arg(kids[i]->objectName(), container->objectName());
            for (int j = i + 1; j < kids.size(); ++j)
                if (kids[i]->geometry().intersects(kids[j]->geometry()))
                    faults << QStringLiteral("%1 overlaps %2").arg(kids[i]->objectName(), kids[j]->objectName());
            if (qobject_cast<QGroupBox*>(kids[i]))
                walk(kids[i]);
        }
    };
    walk(window->centralWidget());
    forEveryPage([&](QWidget* page) { walk(page); });
    faults.removeDuplicates();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

void TestForm::textsFitTheirWidgets()
{
    QStringList faults;
    for (QWidget* w : allFormWidgets(window->centralWidget())) {
        const QString fault = clipped(w);
        if (!fault.isEmpty())
            faults << fault;
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

void TestForm::longestRealisticTextsFit()
{
    const QString laboratory = QStringLiteral("4. Цифровая лаборатория по биологии");
    const QString photometer = QStringLiteral("100. Мультидатчик - фотоколориметр");
    const QString lost = QStringLiteral("<font color = 'red'>Отключен. Исчерпаны попытки</font>");
    const struct {
        const char* name;
        QString text;
    } texts[] = {
        {"info_WorkMode_label", "<font color = 'green'>Основная программа фотоколориметра</font>"},
        {"info_bl_vers_Label", "<font color = 'blue'>Версия загрузчика: </font>255.255"},
        {"info_atMode_Label", "<font color = 'red'>включен, данные BLE транслируеются в USB</font>"},
        {"info_devType_label", "<font color = 'green'>" + photometer + "</font>"},
        {"info_Errors", "<font color = 'red'>Ошибка программного обеспечения. Неподдерживаемая версия платы</font>"},
        {"info_Errors", "<font color = 'red'>Сбой основной программы. Экстренная перезагрузка устройства</font>"},
        {"info_PageAvailable_label", "<font color = 'green'>4294967295 байт</font>"},
        {"bl_fwConf_status_label", "Ошибка. Данные недостоверны"},
        {"bl_fwConf_len_label", "4294967295 байт"},
        {"bl_fwConf_sn_label", "4294967295"},
        {"bl_fwConf_CRC_label", "0xffffffff"},
        {"bl_Program_sheetCRC_label", "0xffffffff"},
        {"hwConfig_devInit_label", "Загрузчик фотоколориметра"},
        {"archive_CurrentStatus_label", "Загрузка архива из энергонезависимой памяти"},
        {"data_Accel_devStatus_label", lost},
        {"data_MAX_devStatus_label", "<font color = 'black'>Не инициализировано</font>"},
        {"data_SHT_devStatus_label", lost},
        {"data_Press_devStatus_label", lost},
        {"exchange_ConductScale_label", "<font color = 'green'>Подтяжка 100К</font>"},
        {"exchange_Light_label", "<font color = 'red'>Нет ответа</font>"},
        {"exchange_Press_Pressure_label", "<font color = 'green'>-1234567.50 мБар</font>"},
        {"rconf_version_label", "Текущая версия программы - v0.005"},
    };
    QStringList faults;
    for (const auto& t : texts) {
        auto* label = get<QLabel>(t.name);
        const QString before = label->text();
        label->setText(t.text);
        const QString fault = clipped(label);
        if (!fault.isEmpty())
            faults << fault;
        label->setText(before);
    }
    auto* types = get<QComboBox>("hwConfig_devType_ComboBox");
    types->addItems({laboratory, photometer});
    const QString typeFault = clipped(types);
    types->clear();
    if (!typeFault.isEmpty())
        faults << typeFault;
    auto* name = get<QLineEdit>("atCmd_newName_lineEdit");
    if (name->fontMetrics().horizontalAdvance(QStringLiteral("Ruvo_Name")) + 8 > name->width())
        faults << QStringLiteral("atCmd_newName_lineEdit cannot show its start text");
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

void TestForm::windowFitsSmallScreen()
{
    // A maximised window on a 1366x768 screen leaves about 1366x690 for the frame's client area.
    window->resize(1366, 690);
    QCoreApplication::processEvents();
    QWidget* central = window->centralWidget();
    QRect used;
    for (QWidget* w : formChildren(central))
        used |= w->geometry();
    QVERIFY2(central->rect().contains(used),
             qPrintable(QStringLiteral("content %1x%2 in %3x%4")
                            .arg(used.right() + 1).arg(used.bottom() + 1).arg(central->width()).arg(central->height())));
    QVERIFY(used.right() < 1366 && used.bottom() < 640);
}

void TestForm::resizingMovesNothing()
{
    QHash<QWidget*, QRect> before;
    // Tab pages are sized by their tab widget; everything else keeps the place the form gave it.
    for (QWidget* w : allFormWidgets(window->centralWidget()))
        if (!qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget()))
            before.insert(w, w->geometry());
    for (const QSize size : {QSize(800, 600), QSize(1920, 1080), QSize(1366, 690)}) {
        window->resize(size);
        QCoreApplication::processEvents();
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(it.key()->geometry() == it.value(), qPrintable(it.key()->objectName()));
    }
}

QTEST_MAIN(TestForm)
#include "test_form.moc"
