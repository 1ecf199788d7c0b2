#include "jsonproblem.h"

#include <QStringList>

namespace {

// Line breaks and other control characters in a reason (a name or a path from
// the input) would split the line that scripts read; they are shown escaped.
QString withoutControlCharacters(const QString &text)
{
    QString line;
    line.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            line += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            line += c;
    }
    return line;
}

bool isUtf8Continuation(char byte)
{
    return (quint8(byte) & 0xC0) == 0x80;
}

} // namespace

JsonProblem JsonProblem::atOffset(QByteArrayView text, qsizetype offset, const QString &reason)
{
    const qsizetype position = qBound(qsizetype(0), offset - 1, text.size());
    qsizetype line = 1;
    qsizetype column = 1;
    for (qsizetype i = 0; i < position; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if (!isUtf8Continuation(text[i])) {
            ++column;
        }
    }
    return {QStringLiteral("line %1, column %2").arg(line).arg(column), reason};
}

QString JsonProblem::describe(const QString &fileName) const
{
    QStringList parts{fileName};
    if (!place.isEmpty())
        parts << place;
    parts << reason;
    return withoutControlCharacters(parts.join(QStringLiteral(": ")));
}

QString describeJsonType(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

namespace JsonPath {

QString member(const QString &path, QLatin1StringView key)
{
    return path.isEmpty() ? QString(key) : path + QLatin1Char('.') + key;
}

QString member(const QString &path, const QString &key)
{
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

QString element(const QString &path, qsizetype index)
{
    return path + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

} // namespace JsonPath
