#include "jsonprinter.h"

#include <QJsonArray>

#include <algorithm>

namespace {

constexpr int IndentWidth = 4;

void indent(int depth, QByteArray &out)
{
    out.append(QByteArray(depth * IndentWidth, ' '));
}

bool isPairedSurrogate(QStringView text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate())
        return i + 1 < text.size() && text[i + 1].isLowSurrogate();
    return c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate();
}

void appendEscape(QChar c, QByteArray &out)
{
    switch (c.unicode()) {
    case u'"':
        out += "\\\"";
        return;
    case u'\\':
        out += "\\\\";
        return;
    case u'\b':
        out += "\\b";
        return;
    case u'\f':
        out += "\\f";
        return;
    case u'\n':
        out += "\\n";
        return;
    case u'\r':
        out += "\\r";
        return;
    case u'\t':
        out += "\\t";
        return;
    default:
        out += "\\u";
        out += QByteArray::number(uint(c.unicode()), 16).rightJustified(4, '0');
    }
}

// Everything but quotes, backslashes and control characters goes out as UTF-8.
// A lone surrogate has no UTF-8 form; it is escaped so that a project file
// holding one (any UTF-16 text may stand in a file) survives the round trip.
void printString(QStringView text, QByteArray &out)
{
    out += '"';
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool plain = c.unicode() >= 0x20 && c != u'"' && c != u'\\' &&
                           (!c.isSurrogate() || isPairedSurrogate(text, i));
        if (plain)
            continue;
        out += text.sliced(plainFrom, i - plainFrom).toUtf8();
        appendEscape(c, out);
        plainFrom = i + 1;
    }
    out += text.sliced(plainFrom).toUtf8();
    out += '"';
}

} // namespace

JsonPrinter::JsonPrinter(const QStringList &keyOrder)
{
    for (int i = 0; i < keyOrder.size(); ++i)
        m_rank.insert(keyOrder[i], i);
}

QByteArray JsonPrinter::print(const QJsonObject &object) const
{
    QByteArray out;
    printObject(object, 0, out);
    out += '\n';
    return out;
}

QStringList JsonPrinter::orderedKeys(const QJsonObject &object) const
{
    QStringList keys = object.keys(); // alphabetical
    std::stable_sort(keys.begin(), keys.end(), [this](const QString &a, const QString &b) {
        const int unknown = int(m_rank.size());
        return m_rank.value(a, unknown) < m_rank.value(b, unknown);
    });
    return keys;
}

void JsonPrinter::printObject(const QJsonObject &object, int depth, QByteArray &out) const
{
    if (object.isEmpty()) {
        out += "{}";
        return;
    }
    out += "{\n";
    const QStringList keys = orderedKeys(object);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        indent(depth + 1, out);
        printString(keys[i], out);
        out += ": ";
        printValue(object.value(keys[i]), depth + 1, out);
        out += i + 1 < keys.size() ? ",\n" : "\n";
    }
    indent(depth, out);
    out += '}';
}

void JsonPrinter::printArray(const QJsonArray &array, int depth, QByteArray &out) const
{
    if (array.isEmpty()) {
        out += "[]";
        return;
    }
    out += "[\n";
    for (qsizetype i = 0; i < array.size(); ++i) {
        indent(depth + 1, out);
        printValue(array.at(i), depth + 1, out);
        out += i + 1 < array.size() ? ",\n" : "\n";
    }
    indent(depth, out);
    out += ']';
}

void JsonPrinter::printValue(const QJsonValue &value, int depth, QByteArray &out) const
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        out += "null";
        break;
    case QJsonValue::Bool:
        out += value.toBool() ? "true" : "false";
        break;
    case QJsonValue::Double:
        if (const QVariant number = value.toVariant(); number.typeId() == QMetaType::LongLong)
            out += QByteArray::number(number.toLongLong());
        else
            out += QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
        break;
    case QJsonValue::String:
        printString(value.toString(), out);
        break;
    case QJsonValue::Array:
        printArray(value.toArray(), depth, out);
        break;
    case QJsonValue::Object:
        printObject(value.toObject(), depth, out);
        break;
    }
}
