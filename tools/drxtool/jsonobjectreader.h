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

// How strictly names are read.
struct JsonReadOptions
{
    // Names holding "." can never be reached by a host, so new ones are
    // refused; a project dumped from an older file may still hold them.
    bool allowDottedNames = false;
};

// Reads the settings of one JSON object into a node, in the walk order of
// ProjectFields. A key that is absent leaves the field at its default; a key
// that is present must hold a value of the right JSON type that the stored
// field can hold. What the driver would load but its editors would not offer
// (a value outside its page's range, a name its dialog refuses, a text not in
// its list) is taken with a warning. The first problem is kept in the
// findings shared by the whole read, and every later call does nothing, so a
// read stops at its first fault.
class JsonObjectReader
{
public:
    // `path` is where the object stands in the document; `siblings` collects the
    // names of the object's siblings when the object has a name.
    JsonObjectReader(const QJsonObject &object, const QString &path, JsonFindings &findings,
                     const JsonReadOptions &options, SiblingNames *siblings = nullptr);

    bool failed() const { return m_findings.problem.has_value(); }
    bool has(QLatin1StringView key) const { return m_object.contains(key); }
    void fail(QLatin1StringView key, const QString &reason);
    void warn(QLatin1StringView key, const QString &reason);

    // The ProjectFields walk.
    void name(QLatin1StringView key, QString &field, const NameRule &rule);
    template<typename Int> void integer(QLatin1StringView key, Int &field, IntRange range)
    {
        if (const std::optional<qint64> value = readInteger(key, range, widthOf(field)))
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
    // Refuses what `width` (the stored field) cannot hold; warns about what
    // lies outside `range` (what the editors offer).
    std::optional<qint64> readInteger(QLatin1StringView key, IntRange range, IntRange width);
    void failAt(const QString &place, const QString &reason);
    void failWrongType(QLatin1StringView key, const char *expected, const QJsonValue &value);

    const QJsonObject m_object;
    const QString m_path;
    JsonFindings &m_findings;
    const JsonReadOptions &m_options;
    SiblingNames *m_siblings;
    QList<QLatin1StringView> m_knownKeys;
    qsizetype m_presentKnownKeys = 0; // known keys the object holds
};
