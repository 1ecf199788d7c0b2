#include "drxcommands.h"

#include "jsonproblem.h"
#include "projectenvelope.h"
#include "projectfile.h"
#include "projectjson.h"
#include "projectjsonreader.h"

#include <QFile>

namespace DrxCommands {

namespace {

// "PATH: reason", for faults that concern a whole file.
Result failure(const QString &path, const QString &reason)
{
    return {{}, JsonProblem{{}, reason}.describe(path), {}};
}

// QFile knows why a file cannot be opened; ProjectFile::load only says that it
// could not.
QString whyNotReadable(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QStringLiteral("cannot open")
               : QStringLiteral("cannot open: %1").arg(file.errorString());
}

} // namespace

Result dump(const QString &drxPath)
{
    const ProjectFile::Loaded loaded = ProjectFile::load(drxPath);
    switch (loaded.error) {
    case ProjectFile::Error::None:
        return {ProjectJson::toText(loaded.channels), {}, {}};
    case ProjectFile::Error::CannotOpen:
        return failure(drxPath, whyNotReadable(drxPath));
    case ProjectFile::Error::TooShort:
        return failure(drxPath, QStringLiteral("not a project file: shorter than %1 bytes")
                                    .arg(envelope::MinimumFileSize));
    case ProjectFile::Error::NotAProjectFile:
    case ProjectFile::Error::Unreadable:
    case ProjectFile::Error::CannotWrap:  // saving only
    case ProjectFile::Error::CannotWrite: // saving only
        break;
    }
    return failure(drxPath, loaded.message);
}

Result build(const QString &jsonPath, const QString &outPath, const JsonReadOptions &options)
{
    QFile input(jsonPath);
    if (!input.open(QIODevice::ReadOnly))
        return failure(jsonPath, QStringLiteral("cannot open: %1").arg(input.errorString()));
    const QByteArray jsonText = input.readAll();
    if (input.error() != QFileDevice::NoError)
        return failure(jsonPath, QStringLiteral("cannot read: %1").arg(input.errorString()));

    const ProjectJsonReader::Result project = ProjectJsonReader::read(jsonText, options);
    if (!project.ok())
        return {{}, project.problem->describe(jsonPath), {}};

    const ProjectFile::Saved saved = ProjectFile::save(outPath, project.channels);
    switch (saved.error) {
    case ProjectFile::Error::None: {
        Result result;
        for (const JsonProblem &warning : project.warnings)
            result.warnings << QStringLiteral("warning: ") + warning.describe(jsonPath);
        return result;
    }
    case ProjectFile::Error::CannotWrap:
        return failure(outPath, QStringLiteral("the project is too large for a project file"));
    default:
        return failure(outPath, QStringLiteral("cannot write: %1").arg(saved.message));
    }
}

} // namespace DrxCommands
