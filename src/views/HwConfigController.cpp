#include "HwConfigController.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QDir>
#include <QStringList>

#include <cmath>

#include "BackupFile.h"
#include "BackupGuard.h"
#include "BoardTypeNames.h"
#include "Dialogs.h"
#include "PageFile.h"
#include "LittleEndian.h"
#include "Records.h"
#include "WindowEvents.h"
#include "proto_Vorlen_v2.h"
#include "ui_MainWindow.h"

namespace {

constexpr uint8_t kProgLabBootloader = 0;
constexpr uint8_t kProgPhotoBootloader = 10;
// Tab position of the bootloader page in cmds
constexpr int kTabBootloader = 1;

// One factory coefficient: its record offset, its spin box, its record field
// name, the caption beside its box where that is not the field name, and the
// defaults of the physics and chemistry laboratories.
struct HwCoef {
    uint32_t offset;
    QDoubleSpinBox* Ui::MainWindow::*box;
    const char* name;
    const char* caption;
    double physicsDefault;
    double chemistryDefault;
};

const HwCoef kHwCoefs[rec::hwcfg::kCoefCount] = {
    {rec::hwcfg::k_ch0, &Ui::MainWindow::hwConfig_calib_k_ch0_dSpinBox, "k_ch0", "Канал 0, K", 7.07, 0.32258},
    {rec::hwcfg::delta_ch0, &Ui::MainWindow::hwConfig_calib_d_ch0_dSpinBox, "delta_ch0", "Канал 0, Delta", 0, -0.08},
    {rec::hwcfg::k_ch1, &Ui::MainWindow::hwConfig_calib_k_ch1_dSpinBox, "k_ch1", "Канал 1, K", -1.312, 0},
    {rec::hwcfg::delta_ch1, &Ui::MainWindow::hwConfig_calib_d_ch1_dSpinBox, "delta_ch1", "Канал 1, Delta", 0, 0},
    {rec::hwcfg::k1_ch2, &Ui::MainWindow::hwConfig_calib_k1_ch2_dSpinBox, "k1_ch2", nullptr, 144.9915, 144.9915},
    {rec::hwcfg::delta1_ch2, &Ui::MainWindow::hwConfig_calib_d1_ch2_dSpinBox, "delta1_ch2", nullptr, -83.4412, -83.4412},
    {rec::hwcfg::k2_ch2, &Ui::MainWindow::hwConfig_calib_k2_ch2_dSpinBox, "k2_ch2", nullptr, 122.7484, 122.7484},
    {rec::hwcfg::delta2_ch2, &Ui::MainWindow::hwConfig_calib_d2_ch2_dSpinBox, "delta2_ch2", nullptr, -66.8052, -66.8052},
    {rec::hwcfg::pointT_ch2, &Ui::MainWindow::hwConfig_calib_pointT_ch2_dSpinBox, "pointT_ch2", nullptr, 0.747914, 0.747914},
    {rec::hwcfg::k1_ch3, &Ui::MainWindow::hwConfig_calib_k1_ch3_dSpinBox, "k1_ch3", nullptr, 71.43, 0},
    {rec::hwcfg::delta1_ch3, &Ui::MainWindow::hwConfig_calib_d1_ch3_dSpinBox, "delta1_ch3", nullptr, 0, 0},
    {rec::hwcfg::delta_light, &Ui::MainWindow::hwConfig_calib_d_light_dSpinBox, "delta_light", nullptr, 0, 0},
    {rec::hwcfg::delta_humidity, &Ui::MainWindow::hwConfig_calib_d_hum_dSpinBox, "delta_humidity", nullptr, 0, 0},
    {rec::hwcfg::delta_Tout, &Ui::MainWindow::hwConfig_calib_d_tout_dSpinBox, "delta_Tout", nullptr, 0, 0},
    {rec::hwcfg::delta_Pressure, &Ui::MainWindow::hwConfig_calib_d_press_dSpinBox, "delta_Pressure", nullptr, 0, 0},
    {rec::hwcfg::k2_ch3, &Ui::MainWindow::hwConfig_calib_k2_ch3_dSpinBox, "k2_ch3", nullptr, 0, 0},
    {rec::hwcfg::delta2_ch3, &Ui::MainWindow::hwConfig_calib_d2_ch3_dSpinBox, "delta2_ch3", nullptr, 0, 0},
    {rec::hwcfg::k3_ch3, &Ui::MainWindow::hwConfig_calib_k3_ch3_dSpinBox, "k3_ch3", nullptr, 0, 0},
    {rec::hwcfg::delta3_ch3, &Ui::MainWindow::hwConfig_calib_d3_ch3_dSpinBox, "delta3_ch3", nullptr, 0, 0},
};

} // namespace

HwConfigController::HwConfigController(const ViewContext& context, QObject* parent)
    : QObject(parent), ctx(context), runLock({ctx.ui->hwConfig_GroupBox})
{
    watchCoefEdits();
    connect(ctx.ui->hwConfig_save_Button, &QPushButton::clicked, this, &HwConfigController::saveToFile);
    connect(ctx.ui->hwConfig_load_Button, &QPushButton::clicked, this, &HwConfigController::loadFromFile);
    connect(ctx.proto, &proto_Vorlen_v2::cmd_hwConfig_readed, this, &HwConfigController::showConfig);
    connect(ctx.proto, &proto_Vorlen_v2::cmd_getInfo_received, this, &HwConfigController::statusReceived);
    connect(ctx.proto, &proto_Vorlen_v2::programmingChanged, this, [this](bool on) { runLock.setLocked(on); });
    connect(ctx.events, &WindowEvents::tabEntered, this, &HwConfigController::tabEntered);
    // The next board may be another one: the type shown so far is not carried over to it.
    connect(ctx.events, &WindowEvents::portClosed, this, [this] { typeListMode = -1; });
}

void HwConfigController::requestConfig()
{
    ctx.proto->sendCommand(rec::cmd::getHwConfig, nullptr, 0);
}

void HwConfigController::watchCoefEdits()
{
    // A changed value is the user's (or the defaults button's) choice: it is
    // no longer a clamped copy of what the board holds.
    for (uint32_t i = 0; i < rec::hwcfg::kCoefCount; ++i)
        connect(ctx.ui->*kHwCoefs[i].box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                [this, i] { clampedCoefs &= ~(1u << i); exactCoefs &= ~(1u << i); });
}

QString HwConfigController::clampedCoefNames() const
{
    QStringList names;
    for (uint32_t i = 0; i < rec::hwcfg::kCoefCount; ++i)
        if (clampedCoefs & (1u << i)) {
            const HwCoef& c = kHwCoefs[i];
            names << QStringLiteral("«") + QString::fromUtf8(c.caption ? c.caption : c.name) + QStringLiteral("»");
        }
    return names.join(QStringLiteral(", "));
}

void HwConfigController::showConfig()
{
    // A copy made before a write reads the record; the group keeps what the user is writing.
    if (ctx.backups->isBusy())
        return;
    const uint8_t* r = ctx.proto->hwConfigRecord();
    showRecord(QByteArray(reinterpret_cast<const char*>(r), rec::hwcfg::kSize));
}

void HwConfigController::showRecord(const QByteArray& record)
{
    shownRecord = record;
    const auto* r = reinterpret_cast<const uint8_t*>(record.constData());
    ctx.ui->hwConfig_devVers_SpinBox->setValue(r[rec::hwcfg::kHwVersion]);
    ctx.ui->hwConfigData_GroupBox->setEnabled(true);
    ctx.ui->hwConfig_Set_Button->setEnabled(true);

    const uint8_t deviceType = r[rec::hwcfg::kDeviceType];
    switch (ctx.proto->deviceInfo().progMode) {
    case kProgLabBootloader: {
        QComboBox* typeBox = ctx.ui->hwConfig_devType_ComboBox;
        typeBox->setCurrentIndex(deviceType);
        if (typeBox->count() > 0 && typeBox->currentIndex() < 0)
            ctx.log(QStringLiteral("HW Config: неизвестный тип устройства %1, выберите тип перед записью")
                        .arg(deviceType));
        uint32_t clamped = 0, exact = 0;
        for (uint32_t i = 0; i < rec::hwcfg::kCoefCount; ++i) {
            const HwCoef& c = kHwCoefs[i];
            QDoubleSpinBox* box = ctx.ui->*c.box;
            const double v = le::f32(r + c.offset);
            if (std::isnan(v)) {
                // An erased memory cell reads as NaN; the box cannot show it.
                ctx.log(QStringLiteral("HW Config: коэффициент %1 не задан (не число), показан 0")
                        .arg(QString::fromLatin1(c.name)));
                box->setValue(0.0);
                continue;
            }
            if (v < box->minimum() || v > box->maximum()) {
                ctx.log(QStringLiteral("HW Config: коэффициент %1 = %2 вне диапазона поля ввода")
                        .arg(QString::fromLatin1(c.name))
                        .arg(v));
                clamped |= 1u << i;
            } else {
                exact |= 1u << i;
            }
            box->setValue(qBound(box->minimum(), v, box->maximum()));
        }
        // Set after the boxes: their own change signals clear the old bits.
        clampedCoefs = clamped;
        exactCoefs = exact;
        break;
    }
    case kProgPhotoBootloader:
        ctx.ui->hwConfig_devType_ComboBox->setCurrentIndex(deviceType != 0 ? 1 : 0);
        break;
    default:
        break;
    }
}

QByteArray HwConfigController::pageRecord() const
{
    // Bytes the view does not edit go back as last shown (read or loaded).
    QByteArray record = shownRecord;
    if (record.size() != int(rec::hwcfg::kSize))
        record = QByteArray(reinterpret_cast<const char*>(ctx.proto->hwConfigRecord()), rec::hwcfg::kSize);
    auto* r = reinterpret_cast<uint8_t*>(record.data());
    const uint8_t progMode = ctx.proto->deviceInfo().progMode;
    const int typeIndex = ctx.ui->hwConfig_devType_ComboBox->currentIndex();
    r[rec::hwcfg::kHwVersion] = static_cast<uint8_t>(ctx.ui->hwConfig_devVers_SpinBox->value());
    if (progMode == kProgLabBootloader) {
        r[rec::hwcfg::kDeviceType] = static_cast<uint8_t>(typeIndex);
        for (uint32_t i = 0; i < rec::hwcfg::kCoefCount; ++i)
            if (!(exactCoefs & (1u << i)))
                le::putF32(r + kHwCoefs[i].offset, static_cast<float>((ctx.ui->*kHwCoefs[i].box)->value()));
    } else if (progMode == kProgPhotoBootloader) {
        r[rec::hwcfg::kDeviceType] = typeIndex == 0 ? 0 : rec::devinfo::kTypePhotocolorimeter;
    }
    return record;
}

void HwConfigController::writeConfig()
{
    if (ctx.ui->hwConfig_devVers_SpinBox->value() == 0) {
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                         QStringLiteral("Не установлена версия аппаратного обеспечения устройства!"));
        return;
    }
    if (!ctx.proto->isCommandAvailable(rec::cmd::setHwConfig))
        return;

    const uint8_t progMode = ctx.proto->deviceInfo().progMode;
    const int typeIndex = ctx.ui->hwConfig_devType_ComboBox->currentIndex();
    if ((progMode == kProgLabBootloader || progMode == kProgPhotoBootloader) && typeIndex < 0) {
        // Nothing chosen (nothing read on this connection, or a type without
        // an entry): writing would guess the board's type.
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"), QStringLiteral("Не выбран тип устройства!"));
        return;
    }
    if (progMode == kProgLabBootloader && clampedCoefs != 0) {
        // The box holds its range limit, not the board's value.
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                         QStringLiteral("Коэффициенты с урезанным значением (с платы считано значение вне "
                                        "диапазона поля ввода): %1. Запись отменена: задайте эти коэффициенты "
                                        "или считайте конфигурацию заново.")
                             .arg(clampedCoefNames()));
        return;
    }

    // Taken now: the copy made first may read the board's record meanwhile.
    const QByteArray record = pageRecord();
    ctx.backups->beforeWrite(BoardCopies::HwConfig, QStringLiteral("запись аппаратной конфигурации"), [this, record] {
        if (ctx.proto->isCommandAvailable(rec::cmd::setHwConfig))
            ctx.proto->writeHwConfig(reinterpret_cast<const uint8_t*>(record.constData()));
    });
}

void HwConfigController::saveToFile()
{
    if (!ctx.ui->hwConfigData_GroupBox->isEnabled()) {
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                               QStringLiteral("Нечего сохранять: считайте конфигурацию с платы или загрузите её из файла."));
        return;
    }
    BackupFile file = PageFile::describe(ctx.proto->deviceInfo(), ctx.backups->boardCopies());
    file.hwConfig = pageRecord();
    PageFile::save(ctx, file, QStringLiteral("hw"), QStringLiteral("Аппаратная конфигурация"));
}

void HwConfigController::loadFromFile()
{
    const uint8_t progMode = ctx.proto->deviceInfo().progMode;
    if (progMode != kProgLabBootloader && progMode != kProgPhotoBootloader) {
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                               QStringLiteral("Аппаратная конфигурация загружается из файла, когда плата работает в "
                                              "загрузчике."));
        return;
    }
    BackupFile file;
    const QString path = PageFile::openForBoard(ctx, ctx.proto->deviceInfo(), &file);
    if (path.isEmpty())
        return;
    if (file.hwConfig.isEmpty())
        return PageFile::refuse(ctx, path, QStringLiteral("в файле нет аппаратной конфигурации"));
    showRecord(file.hwConfig);
    ctx.log(QStringLiteral("Аппаратная конфигурация загружена из файла %1. Чтобы записать её в плату, нажмите "
                           "«Записать конфигурацию HW»").arg(QDir::toNativeSeparators(path)));
}

void HwConfigController::overrideToggled(bool checked)
{
    ctx.ui->hwConfigData_GroupBox->setEnabled(checked);
    ctx.ui->hwConfig_Set_Button->setEnabled(checked);
}

void HwConfigController::setDefaultCoefs()
{
    if (ctx.proto->deviceInfo().progMode != kProgLabBootloader)
        return;
    const int type = ctx.ui->hwConfig_devType_ComboBox->currentIndex();
    if (type != 1 && type != 2)
        return;
    for (const HwCoef& c : kHwCoefs)
        (ctx.ui->*c.box)->setValue(type == 1 ? c.physicsDefault : c.chemistryDefault);
}

void HwConfigController::statusReceived()
{
    const DevInfo& info = ctx.proto->deviceInfo();

    // Refilled below only while a bootloader runs. The type shown (read from
    // this board or chosen by the user) survives the refill, so a later write
    // does not reset the board's type; on a new connection nothing is chosen
    // until the configuration is read.
    QComboBox* typeBox = ctx.ui->hwConfig_devType_ComboBox;
    const int shownType = typeListMode == info.progMode ? typeBox->currentIndex() : -1;
    typeBox->clear();
    typeListMode = -1;

    const bool lab = info.progMode == kProgLabBootloader;
    if (!lab && info.progMode != kProgPhotoBootloader)
        return;
    ctx.ui->hwCalibration_tabWidget->setTabEnabled(0, lab);
    ctx.ui->hwCalibration_tabWidget->setTabEnabled(1, !lab);
    ctx.ui->hwConfig_devInit_label->setText(lab ? QStringLiteral("Загрузчик Vorlen")
                                                : QStringLiteral("Загрузчик PhotoCol"));
    typeBox->addItems(lab ? BoardTypeNames::laboratory() : BoardTypeNames::photocolorimeter());
    typeBox->setCurrentIndex(shownType);
    typeListMode = info.progMode;
}

void HwConfigController::tabEntered(int index, bool autoUpdate)
{
    // Writable again once a configuration has been read, or at once while
    // the override box is ticked.
    if (index != kTabBootloader || !autoUpdate)
        return;
    overrideToggled(ctx.ui->checkBox->isChecked());
}
