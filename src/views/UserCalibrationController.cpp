#include "UserCalibrationController.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <cmath>
#include <vector>

#include "BackupGuard.h"
#include "Dialogs.h"
#include "LittleEndian.h"
#include "PageFile.h"
#include "Records.h"
#include "WindowEvents.h"
#include "proto_Vorlen_v2.h"
#include "ui_MainWindow.h"

namespace {

constexpr uint8_t kTypePhysics = 1, kTypeChemistry = 2, kTypeBiology = 4;
constexpr uint8_t kLastLabType = 4;
constexpr uint8_t kModeLabMain = 1;
constexpr int kPageCount = 4;

// One field of a user calibration block: a float coefficient (double spin
// box) or a one-byte step (spin box), with its default.
struct UserField {
    uint32_t offset;
    QDoubleSpinBox* Ui::MainWindow::*coef;   // null for a step field
    QSpinBox* Ui::MainWindow::*step;         // null for a coefficient
    double defaultValue;
};

using M = Ui::MainWindow;

const std::vector<UserField>& physicsFields()
{
    static const std::vector<UserField> f = {
        {0, &M::physic_k_tempSens_dSpinBox, nullptr, 1.0},
        {4, &M::physic_d_tempSens_dSpinBox, nullptr, 0.0},
        {8, &M::physic_k_teslaSens_dSpinBox, nullptr, 1.0},
        {12, &M::physic_d_teslaSens_dSpinBox, nullptr, 0.0},
        {16, &M::physic_k_voltSens_dSpinBox, nullptr, 1.0},
        {20, &M::physic_d_voltSens_dSpinBox, nullptr, 0.0},
        {24, &M::physic_k_amperSens_dSpinBox, nullptr, 1.0},
        {28, &M::physic_d_amperSens_dSpinBox, nullptr, 0.0},
        {32, &M::physic_d_absPressSens_dSpinBox, nullptr, 1.0},
        {36, nullptr, &M::physic_step_tempSens_SpinBox, 1},
        {37, nullptr, &M::physic_step_teslaSens_SpinBox, 1},
        {38, nullptr, &M::physic_step_voltSens_SpinBox, 1},
        {39, nullptr, &M::physic_step_amperSens_SpinBox, 1},
    };
    return f;
}

// Byte 43 is reserved and goes back to the board as last read.
const std::vector<UserField>& chemistryFields()
{
    static const std::vector<UserField> f = {
        {0, &M::chem_k_phSens_dSpinBox, nullptr, 1.0},
        {4, &M::chem_d_phSens_dSpinBox, nullptr, 0.0},
        {8, &M::chem_k_tempSens_dSpinBox, nullptr, 1.0},
        {12, &M::chem_d_tempSens_dSpinBox, nullptr, 0.0},
        {16, &M::chem_k1_conductSens_dSpinBox, nullptr, 1.0},
        {20, &M::chem_d1_conductSens_dSpinBox, nullptr, 0.0},
        {24, &M::chem_k2_conductSens_dSpinBox, nullptr, 1.0},
        {28, &M::chem_d2_conductSens_dSpinBox, nullptr, 0.0},
        {32, &M::chem_k3_conductSens_dSpinBox, nullptr, 1.0},
        {36, &M::chem_d3_conductSens_dSpinBox, nullptr, 0.0},
        {40, nullptr, &M::chem_step_phSens_SpinBox, 2},
        {41, nullptr, &M::chem_step_tempSens_SpinBox, 1},
        {42, nullptr, &M::chem_step_conductSens_SpinBox, 2},
    };
    return f;
}

// Bytes 30 and 31 are reserved and go back as last read.
const std::vector<UserField>& biologyFields()
{
    static const std::vector<UserField> f = {
        {0, &M::bio_k_phSens_dSpinBox, nullptr, 1.0},
        {4, &M::bio_d_phSens_dSpinBox, nullptr, 0.0},
        {8, &M::bio_k_tempSens_dSpinBox, nullptr, 1.0},
        {12, &M::bio_d_tempSens_dSpinBox, nullptr, 0.0},
        {16, &M::bio_d_Tout_dSpinBox, nullptr, 0.0},
        {20, &M::bio_d_HumSens_dSpinBox, nullptr, 0.0},
        {24, &M::bio_d_LightSens_dSpinBox, nullptr, 0.0},
        {28, nullptr, &M::bio_step_phSens_SpinBox, 2},
        {29, nullptr, &M::bio_step_tempSens_SpinBox, 1},
    };
    return f;
}

// The block of a board type; false for types without one (ecology, unset,
// photocolorimeter).
bool userBlock(uint8_t devType, const std::vector<UserField>** fields, uint32_t* size)
{
    switch (devType) {
    case kTypePhysics: *fields = &physicsFields(); *size = rec::user::kPhysicsSize; return true;
    case kTypeChemistry: *fields = &chemistryFields(); *size = rec::user::kChemistrySize; return true;
    case kTypeBiology: *fields = &biologyFields(); *size = rec::user::kBiologySize; return true;
    default: return false;
    }
}

void setDefaults(Ui::MainWindow* ui, const std::vector<UserField>& fields)
{
    for (const UserField& f : fields) {
        if (f.coef)
            (ui->*f.coef)->setValue(f.defaultValue);
        else
            (ui->*f.step)->setValue(static_cast<int>(f.defaultValue));
    }
}

} // namespace

UserCalibrationController::UserCalibrationController(const ViewContext& context, QObject* parent)
    : QObject(parent), ctx(context)
{
    for (int page = 0; page < kPageCount; ++page)
        ctx.ui->userCalibration_coefTabs->setTabEnabled(page, false);
    watchEdits();
    connect(ctx.ui->userData_save_Button, &QPushButton::clicked, this, &UserCalibrationController::saveToFile);
    connect(ctx.ui->userData_load_Button, &QPushButton::clicked, this, &UserCalibrationController::loadFromFile);
    connect(ctx.proto, &proto_Vorlen_v2::cmd_userData_readed, this, &UserCalibrationController::showBlock);
    // The engine sends a long block in parts; the board's echo of each part asks for the next.
    connect(ctx.proto, &proto_Vorlen_v2::cmd_userData_sent, this, [this](uint8_t offset, uint8_t len, uint8_t type) {
        ctx.proto->continueUserDataWrite(offset, len, type);
    });
    connect(ctx.events, &WindowEvents::tabEntered, this, &UserCalibrationController::enableOwnPage);
}

void UserCalibrationController::enableOwnPage()
{
    const DevInfo& info = ctx.proto->deviceInfo();
    const bool labMain = info.progMode == kModeLabMain && info.devType >= 1 && info.devType <= kLastLabType;
    for (int page = 0; page < kPageCount; ++page)
        ctx.ui->userCalibration_coefTabs->setTabEnabled(page, labMain && page == info.devType - 1);
}

void UserCalibrationController::readBlock()
{
    if (!ctx.proto->isCommandAvailable(rec::cmd::getUserData))
        return;
    ctx.proto->sendCommand(rec::cmd::getUserData, nullptr, 0);
}

void UserCalibrationController::watchEdits()
{
    // A changed value is the user's: it goes to the board as the box holds it.
    for (const auto* list : {&physicsFields(), &chemistryFields(), &biologyFields()})
        for (const UserField& f : *list)
            if (f.coef)
                connect(ctx.ui->*f.coef, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                        [this, offset = f.offset] { exactFields &= ~(uint64_t(1) << offset); });
}

void UserCalibrationController::showBlock(uint32_t readedSize)
{
    // A copy made before a write reads the block; the page keeps what the user is writing.
    if (ctx.backups->isBusy())
        return;
    const std::vector<UserField>* fields = nullptr;
    uint32_t size = 0;
    if (!userBlock(ctx.proto->deviceInfo().devType, &fields, &size)) {
        ctx.ui->userData_write_Button->setEnabled(true);
        return;
    }
    // A short reply leaves stale bytes of an earlier read behind its end;
    // showing them, and later writing them back, would pass them off as the board's.
    if (readedSize < size) {
        ctx.log(QStringLiteral("Пользовательские калибровки: ОШИБКА - принято %1 байт вместо %2, данные не показаны")
                    .arg(readedSize)
                    .arg(size));
        return;
    }
    showFields(QByteArray(reinterpret_cast<const char*>(ctx.proto->userDataRecord()), int(size)));
}

void UserCalibrationController::showFields(const QByteArray& block)
{
    const std::vector<UserField>* fields = nullptr;
    uint32_t size = 0;
    if (!userBlock(ctx.proto->deviceInfo().devType, &fields, &size) || block.size() != int(size))
        return;
    ctx.ui->userData_write_Button->setEnabled(true);
    shownBlock = block;
    const auto* b = reinterpret_cast<const uint8_t*>(block.constData());
    uint64_t exact = 0;
    for (const UserField& f : *fields) {
        if (f.step) {
            (ctx.ui->*f.step)->setValue(b[f.offset]);
            continue;
        }
        const double v = le::f32(b + f.offset);
        QDoubleSpinBox* box = ctx.ui->*f.coef;
        if (!std::isfinite(v)) {
            // An erased cell reads as NaN, which a spin box cannot hold.
            ctx.log(QStringLiteral("Пользовательские калибровки: значение по смещению %1 не число, показан 0")
                        .arg(f.offset));
            box->setValue(0.0);
            continue;
        }
        if (v >= box->minimum() && v <= box->maximum())
            exact |= uint64_t(1) << f.offset;
        box->setValue(v);
    }
    // Set after the boxes: their own change signals clear the old bits.
    exactFields = exact;
}

QByteArray UserCalibrationController::pageBlock() const
{
    const std::vector<UserField>* fields = nullptr;
    uint32_t size = 0;
    if (!userBlock(ctx.proto->deviceInfo().devType, &fields, &size))
        return QByteArray();
    // Reserved bytes go back to the board as last shown (read or loaded).
    QByteArray block = shownBlock;
    if (block.size() != int(size))
        block = QByteArray(reinterpret_cast<const char*>(ctx.proto->userDataRecord()), int(size));
    auto* b = reinterpret_cast<uint8_t*>(block.data());
    for (const UserField& f : *fields) {
        if (f.step)
            b[f.offset] = static_cast<uint8_t>((ctx.ui->*f.step)->value() & 0xFF);
        else if (!(exactFields & (uint64_t(1) << f.offset)))
            le::putF32(b + f.offset, static_cast<float>((ctx.ui->*f.coef)->value()));
    }
    return block;
}

void UserCalibrationController::writeBlock()
{
    if (!ctx.proto->isCommandAvailable(rec::cmd::setUserData))
        return;
    if (ctx.proto->deviceInfo().devType == 0)
        return;
    // Taken now: the copy made first may read the board's block meanwhile.
    const QByteArray block = pageBlock();
    if (block.isEmpty())
        return;
    ctx.backups->beforeWrite(BoardCopies::UserData, QStringLiteral("запись пользовательских калибровок"), [this, block] {
        if (ctx.proto->isCommandAvailable(rec::cmd::setUserData))
            ctx.proto->writeUserData(reinterpret_cast<const uint8_t*>(block.constData()), uint8_t(block.size()));
    });
}

void UserCalibrationController::saveToFile()
{
    const DevInfo& info = ctx.proto->deviceInfo();
    const QByteArray block = info.progMode == kModeLabMain ? pageBlock() : QByteArray();
    if (block.isEmpty()) {
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                               QStringLiteral("Пользовательские калибровки сохраняются, когда подключена лаборатория по "
                                              "физике, химии или биологии в основной программе."));
        return;
    }
    BackupFile file = PageFile::describe(info, ctx.backups->boardCopies());
    file.userData = block;
    PageFile::save(ctx, file, QStringLiteral("user"), QStringLiteral("Пользовательские калибровки"));
}

void UserCalibrationController::loadFromFile()
{
    const DevInfo& info = ctx.proto->deviceInfo();
    const std::vector<UserField>* fields = nullptr;
    uint32_t size = 0;
    if (info.progMode != kModeLabMain || !userBlock(info.devType, &fields, &size)) {
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                               QStringLiteral("Пользовательские калибровки загружаются, когда подключена лаборатория по "
                                              "физике, химии или биологии в основной программе."));
        return;
    }
    BackupFile file;
    const QString path = PageFile::openForBoard(ctx, info, &file);
    if (path.isEmpty())
        return;
    if (file.userData.isEmpty())
        return PageFile::refuse(ctx, path, QStringLiteral("в файле нет пользовательских калибровок"));
    showFields(file.userData);
    ctx.log(QStringLiteral("Пользовательские калибровки загружены из файла %1. Чтобы записать их в плату, нажмите "
                           "«Записать»").arg(QDir::toNativeSeparators(path)));
}

void UserCalibrationController::resetPhysics()
{
    setDefaults(ctx.ui, physicsFields());
}

void UserCalibrationController::resetChemistry()
{
    setDefaults(ctx.ui, chemistryFields());
}

void UserCalibrationController::resetBiology()
{
    setDefaults(ctx.ui, biologyFields());
}
