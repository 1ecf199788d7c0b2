#pragma once

#include "jsonobjectreader.h"
#include "jsonproblem.h"
#include "projectfile.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>

#include <optional>

// Turns the JSON form of a project into channels ready to be saved, checking
// everything the driver's pages and dialogs would have refused: unknown keys,
// wrong JSON types, values outside their setting's range, broken or repeated
// names, tag addresses that do not fit their data type and access, and the
// channel count. Reading stops at the first fault, which names its place.
class ProjectJsonReader
{
public:
    struct Result
    {
        Channels channels; // empty when there is a problem
        std::optional<JsonProblem> problem;

        bool ok() const { return !problem.has_value(); }
    };

    // JSON text: its syntax first, then repeated keys, then the project.
    static Result read(const QByteArray &jsonText);
    // An already parsed document.
    static Result read(const QJsonValue &document);

private:
    ProjectJsonReader() = default;

    Channels readProject(const QJsonValue &document);
    std::shared_ptr<CModChnl> readChannel(const QJsonValue &value, const QString &path,
                                          SiblingNames &siblings);
    std::shared_ptr<CModDevice> readDevice(const QJsonValue &value, const QString &path,
                                           const CModChnl &channel, SiblingNames &siblings);
    void readTags(const QJsonArray &array, const QString &path, TagList &tags);
    std::shared_ptr<CModTag> readTag(const QJsonValue &value, const QString &path,
                                     SiblingNames &siblings);
    void checkTagAddress(CModTag &tag, JsonObjectReader &fields);
    void readGroups(const QJsonArray &array, const QString &path, TagGroups &groups);
    // The "tags" and "groups" of a device or group, once its own keys are read;
    // false when they or any key before them was refused.
    bool readContents(JsonObjectReader &fields, const QString &path, TagList &tags,
                      TagGroups &groups);
    std::shared_ptr<CModTagGroup> readGroup(const QJsonValue &value, const QString &path,
                                            SiblingNames &siblings);
    // The value as an object; anything else is a problem at `path`.
    std::optional<QJsonObject> objectAt(const QJsonValue &value, const QString &path);

    std::optional<JsonProblem> m_problem;
};
