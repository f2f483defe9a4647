#include "BleModule.h"

namespace vboard {

bool BleModule::isValidName(const QByteArray& name)
{
    if (name.isEmpty() || name.size() > kMaxNameLength)
        return false;
    for (char c : name)
        if (c < 0x21 || c > 0x7E)
            return false;
    return true;
}

bool BleModule::isBaudDigit(char digit)
{
    return digit >= '0' && digit <= '8';
}

QByteArray BleModule::answer(const QByteArray& command)
{
    if (command == "AT")
        return "OK";
    if (command == "AT+NAME?")
        return "OK+NAME:" + moduleName;
    if (command == "AT+VERS?")
        return "HMSoft V540";
    if (command == "AT+BAUD?")
        return QByteArray("OK+Get:") + baud;
    if (command == "AT+RESET")
        return "OK+RESET";
    if (command == "AT+RENEW") {
        moduleName = "Ruvo_Name";
        baud = '0';
        return "OK+RENEW";
    }
    if (command.startsWith("AT+BAUD") && command.size() == 8 && isBaudDigit(command.at(7))) {
        baud = command.at(7);
        return QByteArray("OK+Set:") + baud;
    }
    if (command.startsWith("AT+NAME")) {
        const QByteArray name = command.mid(7);
        if (isValidName(name)) {
            moduleName = name;
            return "OK+Set:" + name;
        }
    }
    return "ERROR";
}

} // namespace vboard
