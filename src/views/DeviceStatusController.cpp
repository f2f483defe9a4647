#include "DeviceStatusController.h"

#include <QLabel>
#include <QTabBar>

#include "BoardTypeNames.h"
#include "Records.h"
#include "TextIfChanged.h"
#include "WindowEvents.h"
#include "proto_Vorlen_v2.h"
#include "ui_MainWindow.h"

namespace {

QString colored(const char* color, const QString& text)
{
    return QStringLiteral("<font color = '") + QLatin1String(color) + QStringLiteral("'>") + text +
           QStringLiteral("</font>");
}

const QString kUnavailable = QStringLiteral("<font color = 'black'>недоступно</font>");
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

// The running program as the mode label shows it; empty for an unknown mode.
QString modeText(uint8_t progMode)
{
    switch (progMode) {
    case kModeLabBootloader: return colored("blue", QStringLiteral("Загрузчик Ворлен"));
    case kModePcBootloader: return colored("blue", QStringLiteral("Загрузчик фотоколориметра"));
    case kModeLabMain: return colored("green", QStringLiteral("Основная программа Ворлен"));
    case kModePcMain: return colored("green", QStringLiteral("Основная программа фотоколориметра"));
    default: return QString();
    }
}

} // namespace

DeviceStatusController::DeviceStatusController(const ViewContext& ctx, QObject* parent)
    : QObject(parent), ctx(ctx), runLock{ctx.ui->cmds->tabBar(), ctx.ui->dev_info}
{
    connect(ctx.proto, &proto_Vorlen_v2::cmd_getInfo_received, this, &DeviceStatusController::showDeviceInfo);
    connect(ctx.events, &WindowEvents::portOpened, this, &DeviceStatusController::enterFirstTab);
    connect(ctx.events, &WindowEvents::portClosed, this, &DeviceStatusController::resetLabels);
}

void DeviceStatusController::requestStatus()
{
    ctx.proto->sendCommand(rec::cmd::getInfo, nullptr, 0);
}

void DeviceStatusController::startBootloader()
{
    if (ctx.proto->isCommandAvailable(rec::cmd::bootloaderInit))
        ctx.proto->sendCommand(rec::cmd::bootloaderInit, nullptr, 0);
}

void DeviceStatusController::startMainProgram()
{
    if (ctx.proto->isCommandAvailable(rec::cmd::bootloaderFinish))
        ctx.proto->sendCommand(rec::cmd::bootloaderFinish, nullptr, 0);
}

void DeviceStatusController::enterFirstTab()
{
    // The status decides which tabs are usable; on another tab the tab
    // handler asks for it when auto-update is on.
    if (ctx.ui->cmds->currentIndex() == kTabInfo)
        requestStatus();
    else
        ctx.ui->cmds->setCurrentIndex(kTabInfo);
}

void DeviceStatusController::tabChanged(int index)
{
    const bool autoUpdate = ctx.ui->autoUpdate_checkBox->isChecked();
    if (autoUpdate && index == kTabInfo)
        requestStatus();
    emit ctx.events->tabEntered(index, autoUpdate);
}

void DeviceStatusController::setTabs(bool bootloader, bool laboratory, bool photocolorimeter, bool statistics)
{
    QTabWidget* cmds = ctx.ui->cmds;
    cmds->setTabEnabled(kTabBootloader, bootloader);
    cmds->setTabEnabled(kTabLaboratory, laboratory);
    cmds->setTabEnabled(kTabPhotocolorimeter, photocolorimeter);
    cmds->setTabEnabled(kTabStatistics, statistics);
}

void DeviceStatusController::showDeviceInfo()
{
    const DevInfo& info = ctx.proto->deviceInfo();
    Ui::MainWindow* ui = ctx.ui;

    const bool bootloaderRuns = info.progMode % 10 == 0;
    ui->bl_load_mainProg_request_Button->setEnabled(bootloaderRuns);
    ui->bootloader_Start_Button->setEnabled(!bootloaderRuns);

    const QString mode = modeText(info.progMode);
    const bool knownMode = !mode.isEmpty();
    setTextIfChanged(ui->info_WorkMode_label, knownMode ? mode : colored("red", QStringLiteral("Неизвестное устройство")));
    const bool bootloader = info.progMode == kModeLabBootloader || info.progMode == kModePcBootloader;
    setTextIfChanged(ui->info_bl_vers_Label, bootloader ? bootloaderVersionText(info.blVersion) : QString());
    switch (info.progMode) {
    case kModeLabMain: setTabs(false, true, false, true); break;
    case kModePcMain: setTabs(false, false, true, true); break;
    default: setTabs(true, false, false, false); break;
    }
    if (knownMode)
        showTypeText();
    else
        setTextIfChanged(ui->info_devType_label, kTypeNotSet);

    setTextIfChanged(ui->info_SWConfig_ok_label, okText(info.flags & 0x01));
    setTextIfChanged(ui->info_HWConfig_ok_label, okText(info.flags & 0x02));
    setTextIfChanged(ui->info_atMode_Label,
                     info.bleBridge ? colored("red", QStringLiteral("включен, данные BLE транслируеются в USB"))
                                    : colored("green", QStringLiteral("отключен")));

    bool knownError = false;
    const QString error = errorText(info.errorCode, &knownError);
    if (knownError)
        setTextIfChanged(ui->info_Errors, error);

    setTextIfChanged(ui->info_PageAvailable_label,
                     QString::number(info.freePages) + QStringLiteral(" страниц памяти по 1024 байта доступно (") +
                         QString::number(info.freePages * 1024) + QStringLiteral(" байт)"));
}

void DeviceStatusController::showTypeText()
{
    const DevInfo& info = ctx.proto->deviceInfo();
    const bool laboratory = info.progMode == kModeLabBootloader || info.progMode == kModeLabMain;
    const QStringList& names = BoardTypeNames::laboratory();
    QString text;
    if (info.devType == 0)
        text = kTypeNotSet;
    else if (!laboratory)
        text = colored("green", QStringLiteral("Фотоколориметр"));
    else if (info.devType <= kLastLabType && info.devType < names.size())
        text = colored("green", names.at(info.devType));
    else
        text = kTypeUnknown;
    setTextIfChanged(ctx.ui->info_devType_label, text);
}

void DeviceStatusController::resetLabels()
{
    Ui::MainWindow* ui = ctx.ui;
    for (QLabel* label : {ui->info_WorkMode_label, ui->info_SWConfig_ok_label, ui->info_HWConfig_ok_label,
                          ui->info_atMode_Label, ui->info_PageAvailable_label, ui->info_devType_label,
                          ui->info_Errors})
        setTextIfChanged(label, kUnavailable);
    setTextIfChanged(ui->info_bl_vers_Label, QString());
}

void DeviceStatusController::lockForRun(bool running)
{
    runLock.setLocked(running);
}
