#include "itemwrite.h"

#include "datatypes.h"
#include "windows1252.h"

#include <cmath>
#include <limits>

namespace hostrun {

namespace {

// Decimal or 0x-hexadecimal, with an optional minus sign; nothing else
// (no blanks, no plus, no octal).
std::optional<qint64> parseInteger(QStringView text)
{
    const bool negative = text.startsWith(u'-');
    QStringView digits = negative ? text.mid(1) : text;
    const bool hex = digits.startsWith(u"0x", Qt::CaseInsensitive);
    if (hex)
        digits = digits.mid(2);
    if (digits.isEmpty() || digits.startsWith(u'+') || digits.startsWith(u'-'))
        return std::nullopt;
    bool ok = false;
    const quint64 magnitude = digits.toULongLong(&ok, hex ? 16 : 10);
    // Anything wider than 33 bits fits no type; the cap keeps the sign safe.
    if (!ok || magnitude > (quint64(1) << 33))
        return std::nullopt;
    return negative ? -qint64(magnitude) : qint64(magnitude);
}

ConvertedValue failure(const QString &text, int type, const QString &expected)
{
    return {std::nullopt, QStringLiteral("\"%1\" is not a %2 (%3)")
                              .arg(text, DataTypeCode::listName(type), expected)};
}

ConvertedValue integerValue(const QString &text, int type, qint64 lowest, qint64 highest)
{
    const std::optional<qint64> number = parseInteger(text);
    if (!number || *number < lowest || *number > highest)
        return failure(text, type, QStringLiteral("%1 to %2").arg(lowest).arg(highest));
    CModData value;
    switch (type) {
    case DataTypeCode::Byte:
        value.setByte(quint8(*number));
        break;
    case DataTypeCode::Short:
        value.setShort(qint16(*number));
        break;
    case DataTypeCode::Word:
        value.setWord(quint16(*number));
        break;
    case DataTypeCode::Long:
        value.setLong(qint32(*number));
        break;
    default:
        value.setDWord(quint32(*number));
        break;
    }
    return {value, {}};
}

ConvertedValue booleanValue(const QString &text)
{
    static const QStringView on[] = {u"1", u"true", u"on"};
    static const QStringView off[] = {u"0", u"false", u"off"};
    CModData value;
    for (QStringView word : on) {
        if (text.compare(word, Qt::CaseInsensitive) == 0) {
            value.setBoolean(true);
            return {value, {}};
        }
    }
    for (QStringView word : off) {
        if (text.compare(word, Qt::CaseInsensitive) == 0) {
            value.setBoolean(false);
            return {value, {}};
        }
    }
    return failure(text, DataTypeCode::Boolean, QStringLiteral("0, 1, true, false, on or off"));
}

// A Char is shown as its character in the host runtime's code page, so the
// character a value was printed with writes that value back.
ConvertedValue charValue(const QString &text)
{
    CModData value;
    if (text.size() == 1) {
        for (int byte = 0; byte < 256; ++byte) {
            const char narrow = char(byte);
            if (fromWindows1252(QByteArrayView(&narrow, 1)) == text) {
                value.setChar(qint8(narrow));
                return {value, {}};
            }
        }
    } else if (const std::optional<qint64> number = parseInteger(text);
               number && *number >= -128 && *number <= 127) {
        value.setChar(qint8(*number));
        return {value, {}};
    }
    return failure(text, DataTypeCode::Char,
                   QStringLiteral("one Windows-1252 character, or a number from -128 to 127"));
}

ConvertedValue floatingValue(const QString &text, int type)
{
    bool ok = false;
    const double number = text.toDouble(&ok);
    CModData value;
    if (ok && type == DataTypeCode::Float) {
        if (std::isfinite(number) && std::fabs(number) > std::numeric_limits<float>::max())
            return failure(text, type, QStringLiteral("beyond the range of a 32-bit float"));
        value.setFloat(float(number));
        return {value, {}};
    }
    if (ok) {
        value.setDouble(number);
        return {value, {}};
    }
    return failure(text, type, QStringLiteral("a decimal number"));
}

} // namespace

std::optional<int> writableTypeFromName(QStringView name)
{
    for (int code = DataTypeCode::Boolean; code <= DataTypeCode::Double; ++code) {
        if (name.compare(DataTypeCode::listName(code), Qt::CaseInsensitive) == 0)
            return code;
    }
    return std::nullopt;
}

ParsedWrite parseItemWrite(const QString &text)
{
    ParsedWrite parsed;
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0) {
        parsed.errorString = QStringLiteral("\"%1\" is not NAME=VALUE[:TYPE]").arg(text);
        return parsed;
    }
    ItemWrite write;
    write.item = text.left(equals).trimmed();
    // The value is taken as typed: a Char may be a blank.
    write.valueText = text.mid(equals + 1);
    if (write.item.isEmpty()) {
        parsed.errorString = QStringLiteral("\"%1\" names no item").arg(text);
        return parsed;
    }
    // The last colon starts the type, so a Char value may itself be ":"
    // ("A=::Char").
    if (const qsizetype colon = write.valueText.lastIndexOf(u':'); colon >= 0) {
        const QString typeName = write.valueText.mid(colon + 1).trimmed();
        write.type = writableTypeFromName(typeName);
        if (!write.type) {
            parsed.errorString =
                QStringLiteral("\"%1\": unknown type \"%2\" (Boolean, Char, Byte, Short, Word, "
                               "Long, DWord, Float or Double)")
                    .arg(text, typeName);
            return parsed;
        }
        write.valueText = write.valueText.left(colon);
        const ConvertedValue converted = convertValue(write.valueText, *write.type);
        if (!converted.value) {
            parsed.errorString = QStringLiteral("%1: %2").arg(write.item, converted.errorString);
            return parsed;
        }
    }
    if (write.valueText.isEmpty()) {
        parsed.errorString = QStringLiteral("\"%1\" gives no value").arg(text);
        return parsed;
    }
    parsed.write = write;
    return parsed;
}

ConvertedValue convertValue(const QString &text, int type)
{
    switch (type) {
    case DataTypeCode::Boolean:
        return booleanValue(text);
    case DataTypeCode::Char:
        return charValue(text);
    case DataTypeCode::Byte:
        return integerValue(text, type, 0, 255);
    case DataTypeCode::Short:
        return integerValue(text, type, -32768, 32767);
    case DataTypeCode::Word:
        return integerValue(text, type, 0, 65535);
    case DataTypeCode::Long:
        return integerValue(text, type, std::numeric_limits<qint32>::min(),
                            std::numeric_limits<qint32>::max());
    case DataTypeCode::DWord:
        return integerValue(text, type, 0, std::numeric_limits<quint32>::max());
    case DataTypeCode::Float:
    case DataTypeCode::Double:
        return floatingValue(text, type);
    default:
        return {std::nullopt, QStringLiteral("values of type %1 cannot be written")
                                  .arg(DataTypeCode::isValid(type) ? DataTypeCode::listName(type)
                                                                   : QString::number(type))};
    }
}

} // namespace hostrun
