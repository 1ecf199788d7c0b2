#include "fieldreader.h"

#include <QLineEdit>

#include <limits>

namespace {

QString notUnsignedMessage()
{
    return QStringLiteral("Enter a positive integer.");
}

QString notSignedMessage()
{
    return QStringLiteral("Enter an integer.");
}

QString notByteMessage()
{
    return QStringLiteral("Enter an integer between 0 and 255.");
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView withoutBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// The magnitude of a run of ASCII digits, saturated at `limit`; nothing unless
// the whole text is digits.
std::optional<quint64> parseDigits(QStringView digits, quint64 limit)
{
    if (digits.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = qMin(value * 10 + quint64(c.unicode() - u'0'), limit);
    }
    return value;
}

} // namespace

void FieldReader::unsignedNumber(QLineEdit *edit, qint32 &field)
{
    if (failed())
        return;
    const std::optional<quint32> value = parseUnsigned(edit->text());
    if (!value) {
        fail(edit, notUnsignedMessage());
        return;
    }
    field = qint32(*value);
}

void FieldReader::unsignedNumber(QLineEdit *edit, qint32 &field, quint32 minimum, quint32 maximum)
{
    unsignedNumber(edit, edit->text(), field, minimum, maximum);
}

void FieldReader::unsignedNumber(QWidget *control, const QString &text, qint32 &field,
                                 quint32 minimum, quint32 maximum)
{
    if (failed())
        return;
    const std::optional<quint32> value = parseUnsigned(text);
    if (!value) {
        fail(control, notUnsignedMessage());
        return;
    }
    if (*value < minimum || *value > maximum) {
        fail(control, rangeMessage(minimum, maximum));
        return;
    }
    field = qint32(*value);
}

void FieldReader::signedNumber(QLineEdit *edit, qint32 &field, qint32 minimum, qint32 maximum)
{
    if (failed())
        return;
    const std::optional<qint32> value = parseSigned(edit->text());
    if (!value) {
        fail(edit, notSignedMessage());
        return;
    }
    if (*value < minimum || *value > maximum) {
        fail(edit, rangeMessage(minimum, maximum));
        return;
    }
    field = *value;
}

void FieldReader::byteNumber(QLineEdit *edit, quint8 &field, quint8 minimum, quint8 maximum)
{
    if (failed())
        return;
    const std::optional<quint32> value = parseUnsigned(edit->text());
    if (!value || *value > 255) {
        fail(edit, notByteMessage());
        return;
    }
    if (*value < minimum || *value > maximum) {
        fail(edit, rangeMessage(minimum, maximum));
        return;
    }
    field = quint8(*value);
}

void FieldReader::fail(QWidget *control, const QString &message)
{
    if (!failed())
        m_error = FieldError{message, control};
}

QString FieldReader::unsignedText(qint32 value)
{
    return QString::number(quint32(value));
}

std::optional<quint32> FieldReader::parseUnsigned(QStringView text)
{
    text = withoutBlanks(text);
    if (text.startsWith(u'+'))
        text = text.sliced(1);
    const std::optional<quint64> value = parseDigits(text, std::numeric_limits<quint32>::max());
    if (!value)
        return std::nullopt;
    return quint32(*value);
}

std::optional<qint32> FieldReader::parseSigned(QStringView text)
{
    text = withoutBlanks(text);
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        text = text.sliced(1);
    const quint64 limit = negative ? quint64(std::numeric_limits<qint32>::max()) + 1
                                   : quint64(std::numeric_limits<qint32>::max());
    const std::optional<quint64> magnitude = parseDigits(text, limit);
    if (!magnitude)
        return std::nullopt;
    return negative ? qint32(-qint64(*magnitude)) : qint32(*magnitude);
}

QString FieldReader::rangeMessage(qint64 minimum, qint64 maximum)
{
    return QStringLiteral("Enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}
