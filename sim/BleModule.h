#pragma once
#include <QByteArray>

namespace vboard {

// The HM-10 style BLE module behind the board: answers AT command texts.
class BleModule
{
public:
    static constexpr int kMaxNameLength = 12;

    // The command text without CR LF; returns the module's answer without CR LF.
    QByteArray answer(const QByteArray& command);

    QByteArray name() const { return moduleName; }
    void setName(const QByteArray& name) { moduleName = name; }
    char baudDigit() const { return baud; }
    void setBaudDigit(char digit) { baud = digit; }
    static bool isValidName(const QByteArray& name);
    static bool isBaudDigit(char digit);

private:
    QByteArray moduleName = "Ruvo_Name";
    char baud = '0';
};

} // namespace vboard
