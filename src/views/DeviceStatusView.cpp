#include "MainWindow.h"

#include "ui_MainWindow.h"

#include <QComboBox>
#include <QLabel>

namespace {

QString colored(const char* color, const QString& text)
{
    return QStringLiteral("<font color = '") + QLatin1String(color) + QStringLiteral("'>") + text +
           QStringLiteral("</font>");
}

const QString kUnavailable = QStringLiteral("<font color = 'black'>недоступно</font>");
const QString kUnavailableCaps = QStringLiteral("<font color = 'black'>НЕДОСТУПНО</font>");
const QString kTypeNotSet = QStringLiteral("<font color = 'red'>не установлено</font>");
// A laboratory program reporting a type past the end of the name list.
const QString kTypeUnknown = QStringLiteral("<font color = 'red'>неизвестный тип</font>");

constexpr uint8_t kModeLabBootloader = 0;
constexpr uint8_t kModeLabMain = 1;
constexpr uint8_t kModePcBootloader = 10;
constexpr uint8_t kModePcMain = 11;
constexpr uint8_t kLastLabType = 4;

// Tab positions of cmds
constexpr int kTabInfo = 0;
constexpr int kTabBootloader = 1;
constexpr int kTabLaboratory = 2;
constexpr int kTabPhotocolorimeter = 3;
constexpr int kTabStatistics = 4;

// Texts of the board's error codes; codes not listed leave the label as it was.
QString errorText(uint8_t code, bool* known)
{
    *known = true;
    switch (code) {
    case 0x00: return colored("green", QStringLiteral("Ошибок нет"));
    case 0x01: return colored("red", QStringLiteral("Ошибка целостности основной программы"));
    case 0x02: return colored("red", QStringLiteral("Сбой основной программы. Экстренная перезагрузка устройства"));
    case 0x03: return colored("red", QStringLiteral("Ошибка чтения конфигураций в загрузчике"));
    case 0x80: return colored("red", QStringLiteral("Ошибка загрузки конфигураций"));
    case 0x81: return colored("red", QStringLiteral("Ошибка аппаратной конфигурации. Не установлен тип устройства"));
    case 0x82:
        return colored("red", QStringLiteral("Ошибка программного обеспечения. Неподдерживаемая версия платы"));
    case 0x83:
        return colored("red", QStringLiteral("Ошибка программного обеспечения. Неподдерживаемый тип устройства"));
    default: *known = false; return QString();
    }
}

QString bootloaderVersionText(uint8_t v)
{
    return QStringLiteral("<font color = 'blue'>Версия загрузчика: </font>") + QString::number(v >> 4) +
           QStringLiteral(".") + QString::number(v & 0x0F);
}

QString okText(bool ok)
{
    return ok ? colored("green", QStringLiteral("успешно")) : colored("red", QStringLiteral("ошибка"));
}

} // namespace

void MainWindow::on_getInfo_Button_clicked()
{
    proto.sendCommand(rec::cmd::getInfo, nullptr, 0);
}

void MainWindow::on_bootloader_Start_Button_clicked()
{
    if (proto.isCommandAvailable(rec::cmd::bootloaderInit))
        proto.sendCommand(rec::cmd::bootloaderInit, nullptr, 0);
}

void MainWindow::on_bl_load_mainProg_request_Button_clicked()
{
    if (proto.isCommandAvailable(rec::cmd::bootloaderFinish))
        proto.sendCommand(rec::cmd::bootloaderFinish, nullptr, 0);
}

void MainWindow::on_cmds_currentChanged(int index)
{
    emit ctx.events->tabEntered(index, ui->autoUpdate_checkBox->isChecked());
    const DevInfo& info = proto.deviceInfo();
    if (!ui->autoUpdate_checkBox->isChecked())
        return;
    switch (index) {
    case kTabInfo:
        proto.sendCommand(rec::cmd::getInfo, nullptr, 0);
        break;
    case kTabStatistics:
        if (info.progMode == kModeLabMain)
            on_stat_get_button_clicked();
        break;
    default:
        break;
    }
}

void MainWindow::showDeviceInfo()
{
    const DevInfo& info = proto.deviceInfo();

    const bool bootloaderRuns = info.progMode % 10 == 0;
    ui->bl_load_mainProg_request_Button->setEnabled(bootloaderRuns);
    ui->bootloader_Start_Button->setEnabled(!bootloaderRuns);

    auto setTabs = [this](bool t1, bool t2, bool t3, bool t4) {
        ui->cmds->setTabEnabled(kTabBootloader, t1);
        ui->cmds->setTabEnabled(kTabLaboratory, t2);
        ui->cmds->setTabEnabled(kTabPhotocolorimeter, t3);
        ui->cmds->setTabEnabled(kTabStatistics, t4);
    };

    bool knownMode = true;
    switch (info.progMode) {
    case kModeLabBootloader:
        ui->info_WorkMode_label->setText(colored("blue", QStringLiteral("Загрузчик Ворлен")));
        ui->info_bl_vers_Label->setText(bootloaderVersionText(info.blVersion));
        setTabs(true, false, false, false);
        break;
    case kModePcBootloader:
        ui->info_WorkMode_label->setText(colored("blue", QStringLiteral("Загрузчик фотоколориметра")));
        ui->info_bl_vers_Label->setText(bootloaderVersionText(info.blVersion));
        setTabs(true, false, false, false);
        break;
    case kModeLabMain:
        ui->info_WorkMode_label->setText(colored("green", QStringLiteral("Основная программа Ворлен")));
        ui->info_bl_vers_Label->setText(QString());
        setTabs(false, true, false, true);
        break;
    case kModePcMain:
        ui->info_WorkMode_label->setText(colored("green", QStringLiteral("Основная программа фотоколориметра")));
        ui->info_bl_vers_Label->setText(QString());
        setTabs(false, false, true, true);
        break;
    default:
        knownMode = false;
        ui->info_WorkMode_label->setText(colored("red", QStringLiteral("Неизвестное устройство")));
        ui->info_bl_vers_Label->setText(QString());
        setTabs(true, false, false, false);
        ui->info_devType_label->setText(kTypeNotSet);
        break;
    }

    if (knownMode) {
        const bool laboratory = info.progMode == kModeLabBootloader || info.progMode == kModeLabMain;
        QString typeText;
        if (info.devType == 0)
            typeText = kTypeNotSet;
        else if (!laboratory)
            typeText = colored("green", QStringLiteral("Фотоколориметр"));
        else if (info.devType <= kLastLabType && info.devType < labTypeNames.size())
            typeText = colored("green", labTypeNames.at(info.devType));
        else
            typeText = kTypeUnknown;
        ui->info_devType_label->setText(typeText);
    }

    ui->info_SWConfig_ok_label->setText(okText(info.flags & 0x01));
    ui->info_HWConfig_ok_label->setText(okText(info.flags & 0x02));

    ui->info_atMode_Label->setText(info.bleBridge
                                       ? colored("red", QStringLiteral("включен, данные BLE транслируеются в USB"))
                                       : colored("green", QStringLiteral("отключен")));

    bool knownError = false;
    const QString error = errorText(info.errorCode, &knownError);
    if (knownError)
        ui->info_Errors->setText(error);

    ui->info_PageAvailable_label->setText(QString::number(info.freePages) +
                                          QStringLiteral(" страниц памяти по 1024 байта доступно (") +
                                          QString::number(info.freePages * 1024) + QStringLiteral(" байт)"));
}

void MainWindow::resetInfoLabels()
{
    for (QLabel* label : {ui->info_WorkMode_label, ui->info_SWConfig_ok_label, ui->info_HWConfig_ok_label,
                          ui->info_atMode_Label, ui->info_PageAvailable_label, ui->info_devType_label,
                          ui->info_Errors})
        label->setText(kUnavailable);
    ui->info_bl_vers_Label->setText(QString());
    for (QLabel* label :
         {ui->data_ADS_CalibrValue_label,        ui->data_ADS_MeasCycle_label,
          ui->data_ADS_Temp_label,               ui->data_ADS_Volt_channel0_label,
          ui->data_ADS_Volt_channel1_label,      ui->data_ADS_Volt_channel2_label,
          ui->data_ADS_Volt_channel3_label,      ui->data_Stat_i2c_fault_Label,
          ui->data_Stat_i2c_handlerTimeout_Label, ui->data_Stat_i2c_EEPROM_Fault_Label,
          ui->data_Stat_i2c_LIS_Fault_Label,     ui->data_Stat_i2c_MAX_Fault_Label,
          ui->data_Stat_i2c_MS_Fault_Label,      ui->data_Stat_i2c_SHT_Fault_Label,
          ui->data_MAX_lux_label,                ui->data_MAX_measCycle_label,
          ui->data_MAX_devStatus_label,          ui->data_Accel_X_label,
          ui->data_Accel_Y_label,                ui->data_Accel_Z_label,
          ui->data_Accel_MeasCycle_label,        ui->data_Accel_devStatus_label,
          ui->data_Accel_Scale_label,            ui->data_Press_CalibC0_label,
          ui->data_Press_CalibC1_label,          ui->data_Press_CalibC2_label,
          ui->data_Press_CalibC3_label,          ui->data_Press_CalibC4_label,
          ui->data_Press_CalibC5_label,          ui->data_Press_CalibC6_label,
          ui->data_Press_Pressure_label,         ui->data_Press_Temperature_label,
          ui->data_Press_devStatus_label,        ui->data_Press_measCycle_label,
          ui->data_SHT_Temperature_label,        ui->data_SHT_humidity_label,
          ui->data_SHT_measCycle_label,          ui->data_SHT_devStatus_label,
          ui->data_Stat_mSecTimer_Label})
        label->setText(kUnavailableCaps);
}

QString MainWindow::sensorStatusText(uint8_t code) const
{
    switch (code) {
    case 0: return colored("black", QStringLiteral("Не инициализировано"));
    case 1: return colored("green", QStringLiteral("Активен"));
    case 2: return colored("blue", QStringLiteral("Таймаут опроса"));
    case 3: return colored("red", QStringLiteral("Ошибка"));
    case 4: return colored("red", QStringLiteral("Отключен. Исчерпаны попытки"));
    default: return QString();
    }
}
