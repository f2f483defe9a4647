#pragma once
#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <vector>

// The named values of the board's configuration records, as a backup file
// shows them beside the bytes: the hardware configuration with its factory
// coefficients, the firmware configuration, and the user calibration block
// of each laboratory type.
namespace RecordFields {

enum class Kind { U8, U16, U32, F32, Date };

struct Field {
    const char* name;
    uint32_t offset;
    Kind kind;
};

const std::vector<Field>& hwConfig();
const std::vector<Field>& fwConfig();
// The block of a laboratory type (1 physics, 2 chemistry, 4 biology); empty for others.
const std::vector<Field>& userData(uint8_t devType);

// Each field read from bytes; a float that is not a number is null.
QJsonObject toJson(const std::vector<Field>& fields, const QByteArray& bytes);
// The first field of `given` whose value differs from the one the bytes
// hold (floats compared as the board stores them); empty when all agree.
// Fields `given` does not name are not compared.
QString firstMismatch(const std::vector<Field>& fields, const QByteArray& bytes, const QJsonObject& given);

} // namespace RecordFields
