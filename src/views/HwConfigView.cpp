#include "MainWindow.h"

#include <cstring>

#include <QDoubleSpinBox>
#include <QStringList>

#include <cmath>

#include "LittleEndian.h"
#include "Records.h"
#include "ui_MainWindow.h"

namespace {

constexpr uint8_t kProgLabBootloader = 0;
constexpr uint8_t kProgPhotoBootloader = 10;

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

void MainWindow::on_hwConfig_get_Button_clicked()
{
    proto.sendCommand(rec::cmd::getHwConfig, nullptr, 0);
}

void MainWindow::watchHwCoefEdits()
{
    // A changed value is the user's (or the defaults button's) choice: it is
    // no longer a clamped copy of what the board holds.
    for (uint32_t i = 0; i < rec::hwcfg::kCoefCount; ++i)
        connect(ui->*kHwCoefs[i].box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                [this, i] { hwClampedCoefs &= ~(1u << i); });
}

QString MainWindow::clampedHwCoefNames() const
{
    QStringList names;
    for (uint32_t i = 0; i < rec::hwcfg::kCoefCount; ++i)
        if (hwClampedCoefs & (1u << i)) {
            const HwCoef& c = kHwCoefs[i];
            names << QStringLiteral("«") + QString::fromUtf8(c.caption ? c.caption : c.name) + QStringLiteral("»");
        }
    return names.join(QStringLiteral(", "));
}

void MainWindow::showHwConfig()
{
    const uint8_t* r = proto.hwConfigRecord();
    ui->hwConfig_devVers_SpinBox->setValue(r[rec::hwcfg::kHwVersion]);
    ui->hwConfigData_GroupBox->setEnabled(true);
    ui->hwConfig_Set_Button->setEnabled(true);

    const uint8_t deviceType = r[rec::hwcfg::kDeviceType];
    switch (proto.deviceInfo().progMode) {
    case kProgLabBootloader: {
        ui->hwConfig_devType_ComboBox->setCurrentIndex(deviceType);
        if (ui->hwConfig_devType_ComboBox->count() > 0 && ui->hwConfig_devType_ComboBox->currentIndex() < 0)
            log(QStringLiteral("HW Config: неизвестный тип устройства %1, выберите тип перед записью").arg(deviceType));
        uint32_t clamped = 0;
        for (uint32_t i = 0; i < rec::hwcfg::kCoefCount; ++i) {
            const HwCoef& c = kHwCoefs[i];
            QDoubleSpinBox* box = ui->*c.box;
            const double v = le::f32(r + c.offset);
            if (std::isnan(v)) {
                // An erased memory cell reads as NaN; the box cannot show it.
                log(QStringLiteral("HW Config: коэффициент %1 не задан (не число), показан 0")
                        .arg(QString::fromLatin1(c.name)));
                box->setValue(0.0);
                continue;
            }
            if (v < box->minimum() || v > box->maximum()) {
                log(QStringLiteral("HW Config: коэффициент %1 = %2 вне диапазона поля ввода")
                        .arg(QString::fromLatin1(c.name))
                        .arg(v));
                clamped |= 1u << i;
            }
            box->setValue(qBound(box->minimum(), v, box->maximum()));
        }
        // Set after the boxes: their own change signals clear the old bits.
        hwClampedCoefs = clamped;
        break;
    }
    case kProgPhotoBootloader:
        ui->hwConfig_devType_ComboBox->setCurrentIndex(deviceType != 0 ? 1 : 0);
        break;
    default:
        break;
    }
}

void MainWindow::on_hwConfig_Set_Button_clicked()
{
    if (ui->hwConfig_devVers_SpinBox->value() == 0) {
        dialogs->warning(this, QStringLiteral("Ошибка"),
                         QStringLiteral("Не установлена версия аппаратного обеспечения устройства!"));
        return;
    }
    if (!proto.isCommandAvailable(rec::cmd::setHwConfig))
        return;

    const uint8_t progMode = proto.deviceInfo().progMode;
    const int typeIndex = ui->hwConfig_devType_ComboBox->currentIndex();
    if ((progMode == kProgLabBootloader || progMode == kProgPhotoBootloader) && typeIndex < 0) {
        // Nothing chosen (nothing read on this connection, or a type without
        // an entry): writing would guess the board's type.
        dialogs->warning(this, QStringLiteral("Ошибка"), QStringLiteral("Не выбран тип устройства!"));
        return;
    }
    if (progMode == kProgLabBootloader && hwClampedCoefs != 0) {
        // The box holds its range limit, not the board's value.
        dialogs->warning(this, QStringLiteral("Ошибка"),
                         QStringLiteral("Коэффициенты с урезанным значением (с платы считано значение вне "
                                        "диапазона поля ввода): %1. Запись отменена: задайте эти коэффициенты "
                                        "или считайте конфигурацию заново.")
                             .arg(clampedHwCoefNames()));
        return;
    }

    // Bytes the view does not edit go back as last read.
    uint8_t r[rec::hwcfg::kSize];
    std::memcpy(r, proto.hwConfigRecord(), sizeof r);
    r[rec::hwcfg::kHwVersion] = static_cast<uint8_t>(ui->hwConfig_devVers_SpinBox->value());
    if (progMode == kProgLabBootloader) {
        r[rec::hwcfg::kDeviceType] = static_cast<uint8_t>(typeIndex);
        for (const HwCoef& c : kHwCoefs)
            le::putF32(r + c.offset, static_cast<float>((ui->*c.box)->value()));
    } else if (progMode == kProgPhotoBootloader) {
        r[rec::hwcfg::kDeviceType] = typeIndex == 0 ? 0 : rec::devinfo::kTypePhotocolorimeter;
    }
    proto.writeHwConfig(r);
}

void MainWindow::on_checkBox_clicked(bool checked)
{
    ui->hwConfigData_GroupBox->setEnabled(checked);
    ui->hwConfig_Set_Button->setEnabled(checked);
}

void MainWindow::on_hwConfig_setDefCalibValues_button_clicked()
{
    if (proto.deviceInfo().progMode != kProgLabBootloader)
        return;
    const int type = ui->hwConfig_devType_ComboBox->currentIndex();
    if (type != 1 && type != 2)
        return;
    for (const HwCoef& c : kHwCoefs)
        (ui->*c.box)->setValue(type == 1 ? c.physicsDefault : c.chemistryDefault);
}
