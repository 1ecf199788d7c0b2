#include "cmoddata.h"

#include "datatypes.h"
#include "windows1252.h"

#include <QtEndian>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// A float converted to an integer the way the x86 conversion the Windows
// program compiled to does it: toward zero, and the "integer indefinite"
// value for NaN and anything out of range.
template<class Int> Int truncateTowardZero(double value)
{
    if (std::isnan(value) || value <= double(std::numeric_limits<Int>::min()) - 1.0 ||
        value >= double(std::numeric_limits<Int>::max()) + 1.0)
        return std::numeric_limits<Int>::min();
    return Int(value);
}

} // namespace

template<class T> T CModData::fieldAs() const
{
    static_assert(sizeof(T) <= sizeof(m_field));
    T value;
    const quint64 little = qToLittleEndian(m_field);
    std::memcpy(&value, &little, sizeof value);
    return value;
}

template<class T> void CModData::store(quint8 type, T value)
{
    m_type = type;
    quint64 little = 0;
    std::memcpy(&little, &value, sizeof value);
    m_field = qFromLittleEndian(little);
}

void CModData::setBoolean(bool value)
{
    store<qint32>(DataTypeCode::Boolean, value ? 1 : 0);
}
void CModData::setChar(qint8 value)
{
    store(DataTypeCode::Char, value);
}
void CModData::setByte(quint8 value)
{
    store(DataTypeCode::Byte, value);
}
void CModData::setShort(qint16 value)
{
    store(DataTypeCode::Short, value);
}
void CModData::setWord(quint16 value)
{
    store(DataTypeCode::Word, value);
}
void CModData::setLong(qint32 value)
{
    store(DataTypeCode::Long, value);
}
void CModData::setDWord(quint32 value)
{
    store(DataTypeCode::DWord, value);
}
void CModData::setFloat(float value)
{
    store(DataTypeCode::Float, value);
}
void CModData::setDouble(double value)
{
    store(DataTypeCode::Double, value);
}

void CModData::setFromInteger(qint32 value, quint8 type)
{
    switch (type) {
    case DataTypeCode::Boolean:
        store<qint32>(type, (value & 0xFFFF) != 0 ? 1 : 0);
        break;
    case DataTypeCode::Char:
    case DataTypeCode::Byte:
        store<quint8>(type, quint8(value));
        break;
    case DataTypeCode::Short:
    case DataTypeCode::Word:
        store<quint16>(type, quint16(value));
        break;
    default:
        store<qint32>(type, value);
        break;
    }
}

quint16 CModData::asRegisterWord() const
{
    switch (m_type) {
    case DataTypeCode::Char:
        return quint16(qint16(fieldAs<qint8>()));
    case DataTypeCode::Byte:
        return fieldAs<quint8>();
    case DataTypeCode::Float:
        return quint16(truncateTowardZero<qint32>(fieldAs<float>()));
    case DataTypeCode::Double:
        return quint16(truncateTowardZero<qint32>(fieldAs<double>()));
    default:
        return fieldAs<quint16>();
    }
}

bool CModData::asBoolean() const
{
    switch (m_type) {
    case DataTypeCode::Char:
    case DataTypeCode::Byte:
        return fieldAs<quint8>() != 0;
    case DataTypeCode::Short:
    case DataTypeCode::Word:
        return fieldAs<quint16>() != 0;
    case DataTypeCode::Float:
        return !(fieldAs<float>() == 0.0f); // a NaN counts as true
    case DataTypeCode::Double:
        return !(fieldAs<double>() == 0.0);
    default:
        return fieldAs<quint32>() != 0;
    }
}

qint32 CModData::asInteger() const
{
    switch (m_type) {
    case DataTypeCode::Float:
        return truncateTowardZero<qint32>(fieldAs<float>());
    case DataTypeCode::Double:
        return truncateTowardZero<qint32>(fieldAs<double>());
    default:
        return qint32(asInteger64());
    }
}

qint64 CModData::asInteger64() const
{
    switch (m_type) {
    case DataTypeCode::Char:
        return fieldAs<qint8>();
    case DataTypeCode::Byte:
        return fieldAs<quint8>();
    case DataTypeCode::Short:
        return fieldAs<qint16>();
    case DataTypeCode::Word:
        return fieldAs<quint16>();
    case DataTypeCode::DWord:
        return fieldAs<quint32>();
    case DataTypeCode::Float:
        return truncateTowardZero<qint64>(fieldAs<float>());
    case DataTypeCode::Double:
        return truncateTowardZero<qint64>(fieldAs<double>());
    default:
        return fieldAs<qint32>();
    }
}

float CModData::asFloat() const
{
    return float(asDouble());
}

double CModData::asDouble() const
{
    switch (m_type) {
    case DataTypeCode::Float:
        return fieldAs<float>();
    case DataTypeCode::Double:
        return fieldAs<double>();
    default:
        return double(asInteger64());
    }
}

bool CModData::equals(quint16 value) const
{
    switch (m_type) {
    case DataTypeCode::Boolean:
    case DataTypeCode::Short:
    case DataTypeCode::Word:
        return fieldAs<quint16>() == value;
    case DataTypeCode::Char:
    case DataTypeCode::Byte:
        return fieldAs<quint8>() == quint8(value);
    default:
        return false;
    }
}

void CModData::formatValue(QString &text) const
{
    switch (m_type) {
    case DataTypeCode::Boolean:
        text = fieldAs<qint32>() == 1 ? QStringLiteral("1") : QStringLiteral("0");
        break;
    case DataTypeCode::Char: {
        const char byte = char(fieldAs<qint8>());
        text = fromWindows1252(QByteArrayView(&byte, 1));
        break;
    }
    case DataTypeCode::Byte:
        text = QString::number(fieldAs<quint8>());
        break;
    case DataTypeCode::Short:
        text = QString::number(fieldAs<qint16>());
        break;
    case DataTypeCode::Word:
        text = QString::number(fieldAs<quint16>());
        break;
    case DataTypeCode::Long:
        text = QString::number(fieldAs<qint32>());
        break;
    case DataTypeCode::DWord:
        text = QString::number(fieldAs<quint32>());
        break;
    case DataTypeCode::Float:
        text = QString::asprintf("%.10G", double(fieldAs<float>()));
        break;
    case DataTypeCode::Double:
        text = QString::asprintf("%.10G", fieldAs<double>());
        break;
    default:
        break;
    }
}

QString CModData::text() const
{
    QString text;
    formatValue(text);
    return text;
}

void CModData::serialize(Archive &ar)
{
    ar.uint8(m_type);
    if (ar.isStoring()) {
        ArchiveWriter &w = ar.writer();
        switch (m_type) {
        case DataTypeCode::Boolean:
        case DataTypeCode::Long:
            w.writeInt32(fieldAs<qint32>());
            break;
        case DataTypeCode::Char:
            w.writeInt8(fieldAs<qint8>());
            break;
        case DataTypeCode::Byte:
            w.writeUInt8(fieldAs<quint8>());
            break;
        case DataTypeCode::Short:
            w.writeInt16(fieldAs<qint16>());
            break;
        case DataTypeCode::Word:
            w.writeUInt16(fieldAs<quint16>());
            break;
        case DataTypeCode::DWord:
            w.writeUInt32(fieldAs<quint32>());
            break;
        case DataTypeCode::Float:
            w.writeFloat32(fieldAs<float>());
            break;
        case DataTypeCode::Double:
            w.writeFloat64(fieldAs<double>());
            break;
        default:
            break;
        }
        return;
    }

    ArchiveReader &r = ar.reader();
    const quint8 type = m_type;
    switch (type) {
    case DataTypeCode::Boolean:
    case DataTypeCode::Long:
        store(type, r.readInt32());
        break;
    case DataTypeCode::Char:
        store(type, r.readInt8());
        break;
    case DataTypeCode::Byte:
        store(type, r.readUInt8());
        break;
    case DataTypeCode::Short:
        store(type, r.readInt16());
        break;
    case DataTypeCode::Word:
        store(type, r.readUInt16());
        break;
    case DataTypeCode::DWord:
        store(type, r.readUInt32());
        break;
    case DataTypeCode::Float:
        store(type, r.readFloat32());
        break;
    case DataTypeCode::Double:
        store(type, r.readFloat64());
        break;
    default:
        m_field = 0;
        break;
    }
}
