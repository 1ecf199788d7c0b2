#pragma once

#include "jsonobjectreader.h"
#include "jsonproblem.h"
#include "projectfile.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>

#include <optional>

// Turns the JSON form of a project into channels ready to be saved. It
// refuses what the driver could not load or what the JSON form cannot mean:
// unknown keys, wrong JSON types, values that the stored field cannot hold, a
// project without channels, and new names holding "." (unless allowed). What
// the driver loads but its pages and dialogs would not offer (values outside
// a setting's range, broken or repeated names, tag addresses that do not fit
// their data type and access, more channels than the window adds) is taken,
// with a warning that names its place; so every project the driver loads
// comes back from its dump. Reading stops at the first fault.
class ProjectJsonReader
{
public:
    struct Result
    {
        Channels channels; // empty when there is a problem
        std::optional<JsonProblem> problem;
        QList<JsonProblem> warnings;

        bool ok() const { return !problem.has_value(); }
    };

    // JSON text: its syntax first, then repeated keys, then the project.
    static Result read(const QByteArray &jsonText, const JsonReadOptions &options = {});
    // An already parsed document.
    static Result read(const QJsonValue &document, const JsonReadOptions &options = {});

private:
    explicit ProjectJsonReader(const JsonReadOptions &options) : m_options(options) {}

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

    JsonReadOptions m_options;
    JsonFindings m_findings;
    std::optional<JsonProblem> &m_problem = m_findings.problem;
};
