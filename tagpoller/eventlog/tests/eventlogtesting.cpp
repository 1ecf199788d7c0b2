#include "eventlogtesting.h"

#include <ostream>

#include <QtGlobal>

#include <ctime>

namespace eventlogtest {

void setCentralEuropeanTime()
{
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
}

void setUniversalTime()
{
    qputenv("TZ", "UTC0");
    tzset();
}

QByteArray fromHex(const char *spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

} // namespace eventlogtest

void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '[' << bytes.toHex(' ').toStdString() << ']';
}
