#pragma once

#include "archive.h"

#include <QString>

// The value of a tag, and the value record inside host messages: a data type
// code and an 8-byte field that the code interprets. Codes 1 (Boolean) to 9
// (Double) carry a value; any other code carries none.
class CModData : public Record
{
    // Kept under the name the host runtime's classes use; sent embedded, untagged.
    ORVALA_RECORD(CModData)
public:
    CModData() = default;

    quint8 type() const { return m_type; }

    void setBoolean(bool value);
    void setChar(qint8 value);
    void setByte(quint8 value);
    void setShort(qint16 value);
    void setWord(quint16 value);
    void setLong(qint32 value);
    void setDWord(quint32 value);
    void setFloat(float value);
    void setDouble(double value);
    // Stores `value` as `type`: Boolean as 1 when its low 16 bits are not 0,
    // Char and Byte as the low byte, Short and Word as the low 16 bits, other
    // types as the low 32 bits.
    void setFromInteger(qint32 value, quint8 type);

    quint16 asRegisterWord() const;
    bool asBoolean() const;
    qint32 asInteger() const;
    qint64 asInteger64() const;
    float asFloat() const;
    double asDouble() const;
    bool equals(quint16 value) const;

    // Writes the text form into `text`; leaves it as it was for a type that
    // carries no value.
    void formatValue(QString &text) const;
    QString text() const;

    void serialize(Archive &ar) override;

    bool operator==(const CModData &other) const
    {
        return m_type == other.m_type && m_field == other.m_field;
    }

private:
    template<class T> T fieldAs() const;
    template<class T> void store(quint8 type, T value);

    quint8 m_type = 6;
    // The value as the Windows program held it: a little-endian union of 8
    // bytes, of which each type uses the low ones.
    quint64 m_field = 0;
};
