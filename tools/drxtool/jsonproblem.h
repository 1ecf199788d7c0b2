#pragma once

#include <QByteArrayView>
#include <QJsonValue>
#include <QLatin1StringView>
#include <QList>
#include <QString>

#include <optional>

// Where a JSON input went wrong and why. The place is a path such as
// "channels[0].devices[2].tags[5].TagAddress", or "line 12, column 5" for a
// fault in the JSON syntax itself; it is empty when the whole document is meant.
struct JsonProblem
{
    QString place;
    QString reason;

    // The problem at a byte offset of the JSON text, as QJsonParseError
    // reports it: the parser's offset lies just past the character it stumbled
    // on, so that character's line and column (counted in characters, from 1)
    // are the place.
    static JsonProblem atOffset(QByteArrayView text, qsizetype offset, const QString &reason);

    // "FILE: place: reason", always a single line.
    QString describe(const QString &fileName) const;
};

// What reading a JSON project found: the first fault, which stops the read,
// and the values that were taken although no editor would offer them.
struct JsonFindings
{
    std::optional<JsonProblem> problem;
    QList<JsonProblem> warnings;
};

// "a string", "an array", "null": how a reason names the JSON type it got.
QString describeJsonType(const QJsonValue &value);

// Paths into a JSON document, written the way users write them in their
// generators: "channels[0].devices[2].DeviceId".
namespace JsonPath {

QString member(const QString &path, QLatin1StringView key);
QString member(const QString &path, const QString &key);
QString element(const QString &path, qsizetype index);

} // namespace JsonPath
