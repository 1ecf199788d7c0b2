#include "datatypes.h"

#include <array>

namespace DataTypeCode {

namespace {

struct Names
{
    const char16_t *dialog;
    const char16_t *list;
    const char16_t *plainCsv;
    const char16_t *masterCsv;
    int registers;
};

constexpr std::array<Names, 13> Table = {{
    {u"", u"String", u"String", u"String", 0},
    {u"Boolean", u"Boolean", u"BOOL", u"Discrete", 0},
    {u"Char", u"Char", u"CHAR", u"Char", 1},
    {u"Byte", u"Byte", u"BYTE", u"Byte", 1},
    {u"Short", u"Short", u"SHORT", u"Short", 1},
    {u"Word", u"Word", u"WORD", u"Word", 1},
    {u"Long", u"Long", u"LONG", u"Long", 2},
    {u"DWord", u"DWord", u"DWORD", u"DWord", 2},
    {u"Float", u"Float", u"FLOAT", u"Real", 2},
    {u"", u"Double", u"DOUBLE", u"Double", 4},
    {u"", u"BCD", u"BCD", u"BCD", 1},
    {u"", u"LBCD", u"LBCD", u"LBCD", 2},
    {u"", u"Date", u"DATE", u"DATE", 0},
}};

QString name(int code, const char16_t *Names::*column)
{
    return isValid(code) ? QString::fromUtf16(Table[size_t(code)].*column) : QString();
}

} // namespace

bool isValid(int code)
{
    return code >= FirstCode && code <= LastCode;
}

QString dialogName(int code)
{
    return name(code, &Names::dialog);
}
QString listName(int code)
{
    return name(code, &Names::list);
}
QString plainCsvName(int code)
{
    return name(code, &Names::plainCsv);
}
QString masterCsvName(int code)
{
    return name(code, &Names::masterCsv);
}

std::optional<int> fromPlainCsvName(QStringView name)
{
    for (int code = FirstCode; code <= LastCode; ++code) {
        if (name.compare(QStringView(Table[size_t(code)].plainCsv), Qt::CaseInsensitive) == 0)
            return code;
    }
    return std::nullopt;
}

int registerCount(int code)
{
    return isValid(code) ? Table[size_t(code)].registers : 0;
}

} // namespace DataTypeCode

namespace ClientAccessCode {

namespace {

QString pick(int code, const char16_t *readOnly, const char16_t *readWrite)
{
    if (code == ReadOnly)
        return QString::fromUtf16(readOnly);
    if (code == ReadWrite)
        return QString::fromUtf16(readWrite);
    return QString();
}

} // namespace

QString dialogName(int code)
{
    return pick(code, u"Read Only", u"Read\\Write");
}
QString listName(int code)
{
    return pick(code, u"Read Only", u"Read/Write");
}
QString plainCsvName(int code)
{
    return pick(code, u"Read_Only", u"Read/Write");
}
QString masterCsvName(int code)
{
    return pick(code, u"RO", u"R/W");
}

std::optional<int> fromPlainCsvName(QStringView name)
{
    if (name.compare(u"Read_Only", Qt::CaseInsensitive) == 0)
        return ReadOnly;
    if (name.compare(u"Read/Write", Qt::CaseInsensitive) == 0)
        return ReadWrite;
    return std::nullopt;
}

} // namespace ClientAccessCode
