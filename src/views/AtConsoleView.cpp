#include "MainWindow.h"

#include <QByteArray>
#include <QVector>

#include <cstring>

#include "LittleEndian.h"
#include "Records.h"
#include "ui_MainWindow.h"

namespace {

constexpr uint32_t kAtTextMax = rec::atcmd::kTextMax;
const char kAtNamePrefix[] = "AT+NAME";
constexpr uint32_t kAtNamePrefixLength = sizeof kAtNamePrefix - 1;
constexpr uint32_t kAtNameMax = kAtTextMax - kAtNamePrefixLength;

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

void MainWindow::on_atCmd_AT_Send_pushButton_clicked()
{
    static const uint8_t text[] = {'A', 'T'};
    sendAtCommand(text, sizeof text);
}

void MainWindow::on_atCmd_NAME_Send_pushButton_clicked()
{
    const QByteArray text("AT+NAME?");
    sendAtCommand(reinterpret_cast<const uint8_t*>(text.constData()), static_cast<uint32_t>(text.size()));
}

void MainWindow::on_atCmd_RESET_Send_pushButton_clicked()
{
    const QByteArray text("AT+RESET");
    sendAtCommand(reinterpret_cast<const uint8_t*>(text.constData()), static_cast<uint32_t>(text.size()));
}

void MainWindow::on_atCmd_RENEW_Send_pushButton_clicked()
{
    const QByteArray text("AT+RENEW");
    sendAtCommand(reinterpret_cast<const uint8_t*>(text.constData()), static_cast<uint32_t>(text.size()));
}

void MainWindow::on_atCmd_AT_SetSpeed_pushButton_clicked()
{
    QByteArray text("AT+BAUD");
    text.append(baudDigit(ui->atCmd_SetSpeed_comboBox->currentIndex()));
    sendAtCommand(reinterpret_cast<const uint8_t*>(text.constData()), static_cast<uint32_t>(text.size()));
}

void MainWindow::on_atCmd_AT_SetName_pushButton_clicked()
{
    const QString name = ui->atCmd_newName_lineEdit->text();
    if (characterCount(name) > static_cast<int>(kAtNameMax)) {
        dialogs->warning(this, QStringLiteral("Ошибка"),
                         QStringLiteral("Имя BLE модуля слишком длинное: %1 символов, допускается не более %2. "
                                        "Команда не отправлена.")
                             .arg(characterCount(name))
                             .arg(kAtNameMax));
        return;
    }
    QByteArray text(kAtNamePrefix, kAtNamePrefixLength);
    text.append(toAtBytes(name));
    sendAtCommand(reinterpret_cast<const uint8_t*>(text.constData()), static_cast<uint32_t>(text.size()));
}

void MainWindow::on_atCmd_ATBaud_Send_pushButton_clicked()
{
    const QByteArray text("AT+BAUD?");
    sendAtCommand(reinterpret_cast<const uint8_t*>(text.constData()), static_cast<uint32_t>(text.size()));
}

void MainWindow::on_atCmd_sendHandCmd_pushButton_clicked()
{
    const QString typed = ui->atCmd_HandText_lineEdit->text();
    if (characterCount(typed) > static_cast<int>(kAtTextMax)) {
        dialogs->warning(this, QStringLiteral("Ошибка"),
                         QStringLiteral("AT-команда слишком длинная: %1 символов, допускается не более %2. "
                                        "Команда не отправлена.")
                             .arg(characterCount(typed))
                             .arg(kAtTextMax));
        return;
    }
    const QByteArray text = toAtBytes(typed);
    sendAtCommand(reinterpret_cast<const uint8_t*>(text.constData()), static_cast<uint32_t>(text.size()));
}

void MainWindow::on_atCmd_VERS_Send_pushButton_clicked()
{
    const QByteArray text("AT+VERS?");
    sendAtCommand(reinterpret_cast<const uint8_t*>(text.constData()), static_cast<uint32_t>(text.size()));
}

void MainWindow::sendAtCommand(const uint8_t* text, uint32_t n)
{
    // The slots refuse longer texts with a message; this keeps the buffer
    // safe whoever calls.
    if (n > kAtTextMax || (n > 0 && !text)) {
        log(QStringLiteral("ОШИБКА - AT-команда длиннее %1 байт не отправлена").arg(kAtTextMax));
        return;
    }

    // A speed that is not an unsigned decimal number goes out as 0.
    bool ok = false;
    uint32_t speed = ui->atCmd_speed_comboBox->currentText().trimmed().toUInt(&ok, 10);
    if (!ok)
        speed = 0;

    uint8_t payload[kAtTextMax + rec::atcmd::kOverhead];
    le::put32(payload + rec::atcmd::kSpeed, speed);
    if (n > 0)
        std::memcpy(payload + rec::atcmd::kText, text, n);
    payload[rec::atcmd::kText + n] = 0x0D;
    payload[rec::atcmd::kText + n + 1] = 0x0A;
    proto.sendCommand(rec::cmd::bleAtCmd, payload, n + rec::atcmd::kOverhead);

    ui->atCmd_Log_plainTextEdit->appendPlainText(
        QStringLiteral("> ") + QString::fromLatin1(reinterpret_cast<const char*>(text), static_cast<int>(n)));
}

void MainWindow::atCmdReceived(uint8_t* data, uint32_t size)
{
    // CR and LF stay in the text, so the module's line breaks show as such.
    const QString answer = data ? QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<int>(size))
                                : QString();
    ui->atCmd_Log_plainTextEdit->appendPlainText(QStringLiteral("< ") + answer);
}
