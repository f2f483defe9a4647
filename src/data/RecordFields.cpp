#include "RecordFields.h"

#include <QDate>
#include <QJsonValue>

#include <cmath>

#include "LittleEndian.h"
#include "Records.h"

namespace RecordFields {

namespace {

using K = Kind;

const uint8_t* at(const QByteArray& bytes, uint32_t offset)
{
    return reinterpret_cast<const uint8_t*>(bytes.constData()) + offset;
}

uint32_t width(Kind kind)
{
    switch (kind) {
    case K::U8: return 1;
    case K::U16: return 2;
    case K::Date: return 3;
    default: return 4;
    }
}

QJsonValue valueOf(const Field& f, const QByteArray& bytes)
{
    const uint8_t* p = at(bytes, f.offset);
    switch (f.kind) {
    case K::U8: return p[0];
    case K::U16: return le::u16(p);
    case K::U32: return static_cast<qint64>(le::u32(p));
    case K::Date: return QDate(2000 + p[2], p[1], p[0]).toString(Qt::ISODate);   // day, month, year
    case K::F32: {
        const double v = le::f32(p);
        return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
    }
    }
    return QJsonValue();
}

bool agrees(const Field& f, const QJsonValue& expected, const QJsonValue& given)
{
    if (f.kind != K::F32 || !given.isDouble() || !expected.isDouble())
        return expected == given;
    // A writer may round a float's decimal text; the float it stands for is what counts.
    return static_cast<float>(given.toDouble()) == static_cast<float>(expected.toDouble());
}

} // namespace

const std::vector<Field>& hwConfig()
{
    using namespace rec::hwcfg;
    static const std::vector<Field> f = {
        {"deviceType", kDeviceType, K::U8}, {"hwVersion", kHwVersion, K::U8},
        {"k_ch0", k_ch0, K::F32},           {"delta_ch0", delta_ch0, K::F32},
        {"k_ch1", k_ch1, K::F32},           {"delta_ch1", delta_ch1, K::F32},
        {"k1_ch2", k1_ch2, K::F32},         {"delta1_ch2", delta1_ch2, K::F32},
        {"k2_ch2", k2_ch2, K::F32},         {"delta2_ch2", delta2_ch2, K::F32},
        {"pointT_ch2", pointT_ch2, K::F32}, {"k1_ch3", k1_ch3, K::F32},
        {"delta1_ch3", delta1_ch3, K::F32}, {"delta_light", delta_light, K::F32},
        {"delta_humidity", delta_humidity, K::F32}, {"delta_Tout", delta_Tout, K::F32},
        {"delta_Pressure", delta_Pressure, K::F32}, {"k2_ch3", k2_ch3, K::F32},
        {"delta2_ch3", delta2_ch3, K::F32}, {"k3_ch3", k3_ch3, K::F32},
        {"delta3_ch3", delta3_ch3, K::F32},
    };
    return f;
}

const std::vector<Field>& fwConfig()
{
    using namespace rec::fwcfg;
    static const std::vector<Field> f = {
        {"serialNumber", kSerialNumber, K::U32}, {"fwCrc", kFwCrc, K::U16},   {"fwLength", kFwLength, K::U16},
        {"fwVersion", kFwVersion, K::U8},        {"buildDate", kBuildDay, K::Date},
    };
    return f;
}

const std::vector<Field>& userData(uint8_t devType)
{
    static const std::vector<Field> physics = {
        {"k_temp", 0, K::F32},  {"delta_temp", 4, K::F32},   {"k_tesla", 8, K::F32},
        {"delta_tesla", 12, K::F32}, {"k_volt", 16, K::F32}, {"delta_volt", 20, K::F32},
        {"k_amper", 24, K::F32}, {"delta_amper", 28, K::F32}, {"delta_absPressure", 32, K::F32},
        {"step_temp", 36, K::U8}, {"step_tesla", 37, K::U8}, {"step_volt", 38, K::U8}, {"step_amper", 39, K::U8},
    };
    static const std::vector<Field> chemistry = {
        {"k_ph", 0, K::F32},        {"delta_ph", 4, K::F32},        {"k_temp", 8, K::F32},
        {"delta_temp", 12, K::F32}, {"k1_conduct", 16, K::F32},     {"delta1_conduct", 20, K::F32},
        {"k2_conduct", 24, K::F32}, {"delta2_conduct", 28, K::F32}, {"k3_conduct", 32, K::F32},
        {"delta3_conduct", 36, K::F32}, {"step_ph", 40, K::U8}, {"step_temp", 41, K::U8}, {"step_conduct", 42, K::U8},
    };
    static const std::vector<Field> biology = {
        {"k_ph", 0, K::F32},      {"delta_ph", 4, K::F32},        {"k_temp", 8, K::F32},
        {"delta_temp", 12, K::F32}, {"delta_Tout", 16, K::F32},   {"delta_humidity", 20, K::F32},
        {"delta_light", 24, K::F32}, {"step_ph", 28, K::U8},      {"step_temp", 29, K::U8},
    };
    static const std::vector<Field> none;
    switch (devType) {
    case 1: return physics;
    case 2: return chemistry;
    case 4: return biology;
    default: return none;
    }
}

QJsonObject toJson(const std::vector<Field>& fields, const QByteArray& bytes)
{
    QJsonObject o;
    for (const Field& f : fields)
        if (f.offset + width(f.kind) <= static_cast<uint32_t>(bytes.size()))
            o.insert(QString::fromLatin1(f.name), valueOf(f, bytes));
    return o;
}

QString firstMismatch(const std::vector<Field>& fields, const QByteArray& bytes, const QJsonObject& given)
{
    const QJsonObject expected = toJson(fields, bytes);
    for (auto it = given.begin(); it != given.end(); ++it) {
        const Field* field = nullptr;
        for (const Field& f : fields)
            if (it.key() == QLatin1String(f.name))
                field = &f;
        if (field && !agrees(*field, expected.value(it.key()), it.value()))
            return it.key();
    }
    return QString();
}

} // namespace RecordFields
