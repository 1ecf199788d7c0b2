#pragma once

#include "cmoddata.h"
#include "datatypes.h"

#include <string>

// Value holders of each type in one expression, for the data tables of tests.
inline CModData boolValue(bool value)
{
    CModData data;
    data.setBoolean(value);
    return data;
}
inline CModData charValue(qint8 value)
{
    CModData data;
    data.setChar(value);
    return data;
}
inline CModData byteValue(quint8 value)
{
    CModData data;
    data.setByte(value);
    return data;
}
inline CModData shortValue(qint16 value)
{
    CModData data;
    data.setShort(value);
    return data;
}
inline CModData wordValue(quint16 value)
{
    CModData data;
    data.setWord(value);
    return data;
}
inline CModData longValue(qint32 value)
{
    CModData data;
    data.setLong(value);
    return data;
}
inline CModData dwordValue(quint32 value)
{
    CModData data;
    data.setDWord(value);
    return data;
}
inline CModData floatValue(float value)
{
    CModData data;
    data.setFloat(value);
    return data;
}
inline CModData doubleValue(double value)
{
    CModData data;
    data.setDouble(value);
    return data;
}

// The holder's type and value in one readable string, so that a mismatch in
// either shows in a failure.
inline std::string show(const CModData &value)
{
    QString text = DataTypeCode::listName(value.type()) + u' ';
    if (value.type() == DataTypeCode::Float)
        text += QString::number(value.asDouble(), 'g', 9);
    else
        text += QString::number(value.asInteger64());
    return text.toStdString();
}
