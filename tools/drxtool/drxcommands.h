#pragma once

#include "jsonobjectreader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// What drxtool does, with every failure as a value; the program around these
// only prints and picks the exit code, so tests can run them in-process.
namespace DrxCommands {

struct Result
{
    QByteArray output; // for standard output
    QString error;     // one line naming the place and the reason; empty on success
    // One line each for values taken although no editor would offer them.
    QStringList warnings;

    bool ok() const { return error.isEmpty(); }
};

// The project file at `drxPath` as JSON text.
Result dump(const QString &drxPath);

// Reads the JSON form at `jsonPath` and writes it as a project file to
// `outPath`. The output file is written only when the whole input is sound, and
// then replaced in one step, so a failure never leaves it changed.
Result build(const QString &jsonPath, const QString &outPath, const JsonReadOptions &options = {});

} // namespace DrxCommands
