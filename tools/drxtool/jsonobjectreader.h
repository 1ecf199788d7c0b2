#pragma once

#include "jsonproblem.h"
#include "projectfields.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QLatin1StringView>
#include <QString>

#include <array>
#include <optional>

// The names already taken among the siblings being read, each with the path of
// the node that took it.
using SiblingNames = QHash<QString, QString>;

// Reads the settings of one JSON object into a node, in the walk order of
// ProjectFields. A key that is absent leaves the field at its default; a key
// that is present must hold a value of the right JSON type within the
// setting's range. The first problem is kept in the slot shared by the whole
// read, and every later call does nothing, so a read stops at its first fault.
class JsonObjectReader
{
public:
    // `path` is where the object stands in the document; `siblings` collects the
    // names of the object's siblings when the object has a name.
    JsonObjectReader(const QJsonObject &object, const QString &path,
                     std::optional<JsonProblem> &problem, SiblingNames *siblings = nullptr);

    bool failed() const { return m_problem.has_value(); }
    bool has(QLatin1StringView key) const { return m_object.contains(key); }
    void fail(QLatin1StringView key, const QString &reason);

    // The ProjectFields walk.
    void name(QLatin1StringView key, QString &field, const NameRule &rule);
    template<typename Int> void integer(QLatin1StringView key, Int &field, IntRange range)
    {
        if (const std::optional<qint64> value = readInteger(key, range))
            field = Int(*value);
    }
    void flag(QLatin1StringView key, bool &field);
    void text(QLatin1StringView key, QString &field);
    void choice(QLatin1StringView key, QString &field, const QStringList &choices);
    void ipAddress(QLatin1StringView key, std::array<qint32, 4> &field);

    // A text that must be present.
    std::optional<QString> requiredText(QLatin1StringView key);
    // A list of child objects; empty when the key is absent.
    QJsonArray array(QLatin1StringView key);

    // Fails on the first key that no call above has asked for: a misspelt
    // setting must not quietly leave its default in place.
    void rejectUnknownKeys();

private:
    // The value under `key`, or nothing when it is absent or the read has
    // already failed. Marks the key as known either way.
    std::optional<QJsonValue> take(QLatin1StringView key);
    std::optional<qint64> readInteger(QLatin1StringView key, IntRange range);
    void failAt(const QString &place, const QString &reason);
    void failWrongType(QLatin1StringView key, const char *expected, const QJsonValue &value);

    const QJsonObject m_object;
    const QString m_path;
    std::optional<JsonProblem> &m_problem;
    SiblingNames *m_siblings;
    QList<QLatin1StringView> m_knownKeys;
    qsizetype m_presentKnownKeys = 0; // known keys the object holds
};
