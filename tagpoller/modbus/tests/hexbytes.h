#pragma once

#include <QByteArray>

// Golden bytes are written as hex text: "00 01 00 00 00 06 11 03".
inline QByteArray hexBytes(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline std::string toHex(const QByteArray &bytes)
{
    return bytes.toHex(' ').toStdString();
}
