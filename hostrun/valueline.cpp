#include "valueline.h"

#include "datatypes.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <charconv>
#include <cmath>

namespace hostrun {

namespace {

QString jsonString(const QString &text)
{
    // The JSON writer escapes; the array around the string is cut off again.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// The shortest text that reads back as exactly this number.
template<class Floating> QString jsonNumber(Floating number)
{
    if (!std::isfinite(number))
        return QStringLiteral("null");
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString jsonValue(const CModData &value)
{
    switch (value.type()) {
    case DataTypeCode::Boolean:
        return value.text() == u"1" ? QStringLiteral("true") : QStringLiteral("false");
    case DataTypeCode::Char:
        return jsonString(value.text());
    case DataTypeCode::Byte:
    case DataTypeCode::Short:
    case DataTypeCode::Word:
    case DataTypeCode::Long:
    case DataTypeCode::DWord:
        return QString::number(value.asInteger64());
    case DataTypeCode::Float:
        return jsonNumber(value.asFloat());
    case DataTypeCode::Double:
        return jsonNumber(value.asDouble());
    default:
        return QStringLiteral("null");
    }
}

} // namespace

QString valueTypeName(int type)
{
    const QString name = DataTypeCode::listName(type);
    return name.isEmpty() ? QStringLiteral("Type%1").arg(type) : name;
}

QString formatValueLine(ValueLineFormat format, qint32 requestId, const QString &item,
                        const CModData &value, bool inError)
{
    if (format == ValueLineFormat::Json) {
        return QStringLiteral("{\"id\":%1,\"item\":%2,\"type\":%3,\"value\":%4,\"error\":%5}")
            .arg(requestId)
            .arg(jsonString(item), jsonString(valueTypeName(value.type())), jsonValue(value),
                 inError ? QStringLiteral("true") : QStringLiteral("false"));
    }
    QString text = value.text();
    if (value.type() < DataTypeCode::Boolean || value.type() > DataTypeCode::Double)
        text = QStringLiteral("-"); // the type carries no value; keep the columns
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(requestId)
        .arg(item, valueTypeName(value.type()), text,
             inError ? QStringLiteral("bad") : QStringLiteral("ok"));
}

} // namespace hostrun
