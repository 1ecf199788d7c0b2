#include "tagvaluetext.h"

#include "cmodtag.h"
#include "datatypes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace {

// Input coils and input registers: read-only address spaces.
constexpr qint32 FirstInputAddress = 65536;
constexpr qint32 LastInputAddress = 399999;

// Magnitudes beyond every limit below are all the same to the callers, so
// the digits stop adding up there and an endless number cannot overflow.
constexpr quint64 MagnitudeCap = quint64(1) << 40;
// The same for exponents: far beyond the double range either way.
constexpr int ExponentCap = 100000;

// From here on a double rounds to infinity as a float (round to nearest,
// ties to even, and FLT_MAX has an odd mantissa).
constexpr double FloatOverflowThreshold = 0x1p128 - 0x1p103;

// The C locale's white space, as strtol skips it.
bool isCSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

struct ScannedInteger
{
    bool negative = false;
    quint64 magnitude = 0; // saturated at MagnitudeCap
};

// Position after the leading white space and the sign, the sign noted.
qsizetype skipSpaceAndSign(QStringView text, bool &negative)
{
    qsizetype i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    return i;
}

ScannedInteger scanInteger(QStringView text)
{
    ScannedInteger result;
    for (qsizetype i = skipSpaceAndSign(text, result.negative); i < text.size() && isDigit(text[i]);
         ++i) {
        const quint64 digit = quint64(text[i].unicode() - u'0');
        result.magnitude = std::min(result.magnitude * 10 + digit, MagnitudeCap);
    }
    return result;
}

float toFloat(double value)
{
    // Converting a double beyond the float range is undefined in C++; the
    // rounding the hardware would do gives the infinity of its sign.
    constexpr float infinity = std::numeric_limits<float>::infinity();
    if (std::fabs(value) >= FloatOverflowThreshold)
        return value > 0 ? infinity : -infinity;
    return float(value);
}

QStringView trimmedCSpace(QStringView text)
{
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && isCSpace(text[first]))
        ++first;
    while (end > first && isCSpace(text[end - 1]))
        --end;
    return text.sliced(first, end - first);
}

// A sign, then decimal digits and nothing else.
bool isWholeInteger(QStringView text)
{
    qsizetype i = (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return false;
    }
    return true;
}

// A sign, digits with an optional point (at least one digit), an optional
// exponent with at least one digit, and nothing else.
bool isWholeDecimalNumber(QStringView text)
{
    qsizetype i = (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) ? 1 : 0;
    int digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        ++digits;
    if (i < text.size() && text[i] == u'.') {
        for (++i; i < text.size() && isDigit(text[i]); ++i)
            ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        int exponentDigits = 0;
        for (; i < text.size() && isDigit(text[i]); ++i)
            ++exponentDigits;
        if (exponentDigits == 0)
            return false;
    }
    return i == text.size();
}

// The numbers each integer type holds; nothing for the other codes.
std::optional<std::pair<qint64, qint64>> integerRange(quint8 typeCode)
{
    switch (typeCode) {
    case DataTypeCode::Boolean:
        return std::pair<qint64, qint64>{0, 1};
    case DataTypeCode::Char:
        return std::pair<qint64, qint64>{-128, 127};
    case DataTypeCode::Byte:
        return std::pair<qint64, qint64>{0, 255};
    case DataTypeCode::Short:
        return std::pair<qint64, qint64>{-32768, 32767};
    case DataTypeCode::Word:
        return std::pair<qint64, qint64>{0, 65535};
    case DataTypeCode::Long:
        return std::pair<qint64, qint64>{std::numeric_limits<qint32>::min(),
                                         std::numeric_limits<qint32>::max()};
    case DataTypeCode::DWord:
        return std::pair<qint64, qint64>{0, std::numeric_limits<quint32>::max()};
    default:
        return std::nullopt;
    }
}

} // namespace

namespace TagValueText {

qint32 leadingLong(QStringView text)
{
    const ScannedInteger scanned = scanInteger(text);
    const qint64 value = scanned.negative ? -qint64(scanned.magnitude) : qint64(scanned.magnitude);
    return qint32(std::clamp<qint64>(value, std::numeric_limits<qint32>::min(),
                                     std::numeric_limits<qint32>::max()));
}

quint32 leadingDWord(QStringView text)
{
    const ScannedInteger scanned = scanInteger(text);
    if (scanned.negative)
        return 0;
    return quint32(std::min<quint64>(scanned.magnitude, std::numeric_limits<quint32>::max()));
}

double leadingDouble(QStringView text)
{
    bool negative = false;
    qsizetype i = skipSpaceAndSign(text, negative);
    const qsizetype start = i;

    // The mantissa; where its first non-zero digit stands tells an overflow
    // from an underflow when the number is out of range.
    int integerDigits = 0;
    int fractionDigits = 0;
    int leadingDigitPower = 0; // decimal power of the first non-zero digit
    bool nonZero = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (!nonZero && text[i] != u'0') {
            nonZero = true;
            leadingDigitPower = -integerDigits; // corrected by the count below
        }
        ++integerDigits;
    }
    if (nonZero)
        leadingDigitPower += integerDigits - 1;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            ++fractionDigits;
            if (!nonZero && text[i] != u'0') {
                nonZero = true;
                leadingDigitPower = -fractionDigits;
            }
        }
    }
    if (integerDigits + fractionDigits == 0)
        return 0.0;

    // An exponent counts only with at least one digit: "2e" and "2e+" read as 2.
    int exponent = 0;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype e = i + 1;
        bool negativeExponent = false;
        if (e < text.size() && (text[e] == u'+' || text[e] == u'-')) {
            negativeExponent = text[e] == u'-';
            ++e;
        }
        if (e < text.size() && isDigit(text[e])) {
            for (; e < text.size() && isDigit(text[e]); ++e)
                exponent = std::min(exponent * 10 + (text[e].unicode() - u'0'), ExponentCap);
            if (negativeExponent)
                exponent = -exponent;
            i = e;
        }
    }

    // The scanned part is plain ASCII; from_chars reads it without regard to
    // the C library's locale, which the application may have set to one with
    // a decimal comma.
    const std::string number = text.sliced(start, i - start).toLatin1().toStdString();
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range) {
        value = nonZero && leadingDigitPower + exponent > 0
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    } else if (error != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

} // namespace TagValueText

std::optional<CModData> tagValueFromText(const QString &text, quint8 currentValueType)
{
    CModData value;
    switch (currentValueType) {
    case DataTypeCode::Boolean:
    case DataTypeCode::Char:
    case DataTypeCode::Byte:
    case DataTypeCode::Short:
    case DataTypeCode::Word:
        // Boolean keeps whether the low 16 bits are set, Char and Byte the low
        // 8 bits, Short and Word the low 16 bits.
        value.setFromInteger(TagValueText::leadingLong(text), currentValueType);
        return value;
    case DataTypeCode::Long:
        value.setLong(TagValueText::leadingLong(text));
        return value;
    case DataTypeCode::DWord:
        value.setDWord(TagValueText::leadingDWord(text));
        return value;
    case DataTypeCode::Float:
        value.setFloat(toFloat(TagValueText::leadingDouble(text)));
        return value;
    case DataTypeCode::Double:
        value.setDouble(TagValueText::leadingDouble(text));
        return value;
    default:
        return std::nullopt;
    }
}

bool isDialogWritableType(quint8 typeCode)
{
    switch (typeCode) {
    case DataTypeCode::Boolean:
    case DataTypeCode::Char:
    case DataTypeCode::Byte:
    case DataTypeCode::Short:
    case DataTypeCode::Word:
    case DataTypeCode::Long:
    case DataTypeCode::DWord:
    case DataTypeCode::Float:
    case DataTypeCode::Double:
        return true;
    default:
        return false;
    }
}

bool isValueTextOfType(QStringView text, quint8 typeCode)
{
    const QStringView number = trimmedCSpace(text);
    if (typeCode == DataTypeCode::Float) {
        if (!isWholeDecimalNumber(number))
            return false;
        const double value = TagValueText::leadingDouble(number);
        return std::isfinite(value) && std::fabs(value) < FloatOverflowThreshold;
    }
    if (typeCode == DataTypeCode::Double) {
        // Any finite number; one beyond the double range is no number typed.
        return isWholeDecimalNumber(number) && std::isfinite(TagValueText::leadingDouble(number));
    }
    const std::optional<std::pair<qint64, qint64>> range = integerRange(typeCode);
    if (!range || !isWholeInteger(number))
        return false;
    const ScannedInteger scanned = scanInteger(number);
    const qint64 value = scanned.negative ? -qint64(scanned.magnitude) : qint64(scanned.magnitude);
    return value >= range->first && value <= range->second;
}

quint8 dialogTypeCode(const CModTag &tag)
{
    if (isDialogWritableType(quint8(tag.DataType)))
        return quint8(tag.DataType);
    return writeTypeCode(tag);
}

quint8 writeTypeCode(const CModTag &tag)
{
    const quint8 current = tag.value.type();
    if (tag.DataType == DataTypeCode::DWord && current == DataTypeCode::Long)
        return DataTypeCode::DWord;
    return current;
}

bool canWriteFromDialog(const CModTag &tag)
{
    if (tag.ClientAccess != ClientAccessCode::ReadWrite)
        return false;
    return tag.AddressNumber < FirstInputAddress || tag.AddressNumber > LastInputAddress;
}
