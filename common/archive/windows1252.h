#pragma once

#include <QByteArrayView>
#include <QString>

// Narrow strings from the host runtimes in the field are in their ANSI code
// page, Windows-1252. Bytes that code page leaves undefined map to the control
// character of the same value, as Windows itself converts them.
QString fromWindows1252(QByteArrayView bytes);
