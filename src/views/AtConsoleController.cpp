#include "AtConsoleController.h"

#include <QByteArray>
#include <QVector>

#include <cstring>

#include "Dialogs.h"
#include "LittleEndian.h"
#include "Records.h"
#include "proto_Vorlen_v2.h"
#include "ui_MainWindow.h"

namespace {

constexpr uint32_t kAtTextMax = rec::atcmd::kTextMax;
const char kAtNamePrefix[] = "AT+NAME";
constexpr uint32_t kAtNamePrefixLength = sizeof kAtNamePrefix - 1;
constexpr uint32_t kAtNameMax = kAtTextMax - kAtNamePrefixLength;

constexpr uint8_t kModeLabBootloader = 0;
constexpr uint8_t kModePcBootloader = 10;

// One byte per character: Latin-1 codes pass, anything else (Cyrillic,
// symbols, characters beyond the 16-bit range) becomes 0.
QByteArray toAtBytes(const QString& text)
{
    const QVector<uint> codes = text.toUcs4();
    QByteArray bytes(codes.size(), '\0');
    for (int i = 0; i < codes.size(); ++i)
        bytes[i] = static_cast<char>(codes[i] < 256 ? codes[i] : 0);
    return bytes;
}

// Characters as the user counts them (a pair of surrogates is one).
int characterCount(const QString& text)
{
    return text.toUcs4().size();
}

// Module speed code for the items of the speed list: 9600 .. 115200 are 0..4,
// 230400 is 8.
char baudDigit(int item)
{
    if (item >= 0 && item <= 4)
        return static_cast<char>('0' + item);
    if (item == 5)
        return '8';
    return '0';
}

} // namespace

AtConsoleController::AtConsoleController(const ViewContext& context, QObject* parent)
    : QObject(parent), ctx(context), runLock({ctx.ui->bl_atCmd_GroupBox})
{
    connect(ctx.proto, &proto_Vorlen_v2::cmd_atCmd_received, this, &AtConsoleController::answerReceived);
    connect(ctx.proto, &proto_Vorlen_v2::cmd_getInfo_received, this, &AtConsoleController::statusReceived);
    connect(ctx.proto, &proto_Vorlen_v2::programmingChanged, this, [this](bool on) { runLock.setLocked(on); });
}

void AtConsoleController::statusReceived()
{
    // Only the laboratory's bootloader bridges to a BLE module; other
    // programs leave the group as it was.
    const uint8_t mode = ctx.proto->deviceInfo().progMode;
    if (mode == kModeLabBootloader)
        ctx.ui->bl_atCmd_GroupBox->show();
    else if (mode == kModePcBootloader)
        ctx.ui->bl_atCmd_GroupBox->hide();
}

void AtConsoleController::sendAt()
{
    send("AT");
}

void AtConsoleController::askName()
{
    send("AT+NAME?");
}

void AtConsoleController::reset()
{
    send("AT+RESET");
}

void AtConsoleController::renew()
{
    send("AT+RENEW");
}

void AtConsoleController::setSpeed()
{
    QByteArray text("AT+BAUD");
    text.append(baudDigit(ctx.ui->atCmd_SetSpeed_comboBox->currentIndex()));
    send(text);
}

void AtConsoleController::setName()
{
    const QString name = ctx.ui->atCmd_newName_lineEdit->text();
    if (characterCount(name) > static_cast<int>(kAtNameMax)) {
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                               QStringLiteral("Имя BLE модуля слишком длинное: %1 символов, допускается не более %2. "
                                              "Команда не отправлена.")
                                   .arg(characterCount(name))
                                   .arg(kAtNameMax));
        return;
    }
    QByteArray text(kAtNamePrefix, kAtNamePrefixLength);
    text.append(toAtBytes(name));
    send(text);
}

void AtConsoleController::askSpeed()
{
    send("AT+BAUD?");
}

void AtConsoleController::sendTyped()
{
    const QString typed = ctx.ui->atCmd_HandText_lineEdit->text();
    if (characterCount(typed) > static_cast<int>(kAtTextMax)) {
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                               QStringLiteral("AT-команда слишком длинная: %1 символов, допускается не более %2. "
                                              "Команда не отправлена.")
                                   .arg(characterCount(typed))
                                   .arg(kAtTextMax));
        return;
    }
    const QByteArray text = toAtBytes(typed);
    send(text);
}

void AtConsoleController::askVersion()
{
    send("AT+VERS?");
}

void AtConsoleController::send(const QByteArray& text)
{
    send(reinterpret_cast<const uint8_t*>(text.constData()), static_cast<uint32_t>(text.size()));
}

void AtConsoleController::send(const uint8_t* text, uint32_t n)
{
    // The slots refuse longer texts with a message; this keeps the buffer
    // safe whoever calls.
    if (n > kAtTextMax || (n > 0 && !text)) {
        ctx.log(QStringLiteral("ОШИБКА - AT-команда длиннее %1 байт не отправлена").arg(kAtTextMax));
        return;
    }

    // A speed that is not an unsigned decimal number goes out as 0.
    bool ok = false;
    uint32_t speed = ctx.ui->atCmd_speed_comboBox->currentText().trimmed().toUInt(&ok, 10);
    if (!ok)
        speed = 0;

    uint8_t payload[kAtTextMax + rec::atcmd::kOverhead];
    le::put32(payload + rec::atcmd::kSpeed, speed);
    if (n > 0)
        std::memcpy(payload + rec::atcmd::kText, text, n);
    payload[rec::atcmd::kText + n] = 0x0D;
    payload[rec::atcmd::kText + n + 1] = 0x0A;
    ctx.proto->sendCommand(rec::cmd::bleAtCmd, payload, n + rec::atcmd::kOverhead);

    ctx.ui->atCmd_Log_plainTextEdit->appendPlainText(
        QStringLiteral("> ") + QString::fromLatin1(reinterpret_cast<const char*>(text), static_cast<int>(n)));
}

void AtConsoleController::answerReceived(uint8_t* data, uint32_t size)
{
    // CR and LF stay in the text, so the module's line breaks show as such.
    const QString answer = data ? QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<int>(size))
                                : QString();
    ctx.ui->atCmd_Log_plainTextEdit->appendPlainText(QStringLiteral("< ") + answer);
}
