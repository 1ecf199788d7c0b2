#include "duplicatekeyfinder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <vector>

namespace DuplicateKeyFinder {

namespace {

// One open object or array on the way down to the current value.
struct Container
{
    bool isObject = false;
    bool expectingKey = false; // objects: the next string is a key
    qsizetype index = 0;       // arrays: the element being read
    QString key;               // objects: the member being read
    QSet<QString> keys;
};

QString pathOf(const std::vector<Container> &open)
{
    QString path;
    for (const Container &container : open) {
        path = container.isObject ? JsonPath::member(path, container.key)
                                  : JsonPath::element(path, container.index);
    }
    return path;
}

// The position just past the string that starts at `from` (on its quote).
qsizetype endOfString(QByteArrayView json, qsizetype from)
{
    qsizetype i = from + 1;
    while (i < json.size() && json[i] != '"')
        i += json[i] == '\\' ? 2 : 1;
    return i + 1;
}

// A key as the parser sees it: escapes resolved, so "\u0061" and "a" are equal.
QString decodeKey(QByteArrayView quoted)
{
    if (quoted.size() < 2)
        return {};
    if (!quoted.contains('\\'))
        return QString::fromUtf8(quoted.sliced(1, quoted.size() - 2));
    const QByteArray asArray = '[' + quoted.toByteArray() + ']';
    return QJsonDocument::fromJson(asArray).array().at(0).toString();
}

} // namespace

std::optional<JsonProblem> find(QByteArrayView json)
{
    std::vector<Container> open;
    qsizetype i = 0;
    while (i < json.size()) {
        const char c = json[i];
        switch (c) {
        case '{':
        case '[':
            open.push_back({c == '{', c == '{', 0, {}, {}});
            ++i;
            break;
        case '}':
        case ']':
            if (!open.empty())
                open.pop_back();
            ++i;
            break;
        case ',':
            if (!open.empty()) {
                Container &container = open.back();
                if (container.isObject)
                    container.expectingKey = true;
                else
                    ++container.index;
            }
            ++i;
            break;
        case '"': {
            const qsizetype end = qMin(endOfString(json, i), json.size());
            if (!open.empty() && open.back().isObject && open.back().expectingKey) {
                Container &object = open.back();
                object.key = decodeKey(json.sliced(i, end - i));
                object.expectingKey = false;
                if (object.keys.contains(object.key))
                    return JsonProblem{pathOf(open),
                                       QStringLiteral("the key is given more than once")};
                object.keys.insert(object.key);
            }
            i = end;
            break;
        }
        default: // white space, ":" and the characters of numbers and literals
            ++i;
        }
    }
    return std::nullopt;
}

} // namespace DuplicateKeyFinder
