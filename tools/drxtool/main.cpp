// drxtool: project files (*.drx) as JSON and back, for projects kept under
// version control or generated from other data.
#include "drxcommands.h"
#include "suiteversion.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

enum ExitCode { Success = 0, Failure = 1, UsageError = 2 };

constexpr char Usage[] = "Usage: drxtool dump FILE.drx\n"
                         "       drxtool build FILE.json OUT.drx\n"
                         "       drxtool --help | --version\n"
                         "\n"
                         "dump   prints the project file FILE.drx as JSON.\n"
                         "build  checks the JSON project FILE.json and writes it as the project\n"
                         "       file OUT.drx; OUT.drx is left alone when anything is wrong.\n";

bool writeAll(FILE *stream, const QByteArray &bytes)
{
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) ==
               size_t(bytes.size()) &&
           std::fflush(stream) == 0;
}

int finish(const DrxCommands::Result &result)
{
    if (!result.ok()) {
        writeAll(stderr, result.error.toUtf8() + '\n');
        return Failure;
    }
    if (!writeAll(stdout, result.output)) {
        writeAll(stderr, "drxtool: cannot write to standard output\n");
        return Failure;
    }
    return Success;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    const QString command = arguments.value(0);

    if (command == QLatin1StringView("dump") && arguments.size() == 2)
        return finish(DrxCommands::dump(arguments[1]));
    if (command == QLatin1StringView("build") && arguments.size() == 3)
        return finish(DrxCommands::build(arguments[1], arguments[2]));
    if (arguments == QStringList{QStringLiteral("--help")} ||
        arguments == QStringList{QStringLiteral("-h")}) {
        writeAll(stdout, Usage);
        return Success;
    }
    if (arguments == QStringList{QStringLiteral("--version")} ||
        arguments == QStringList{QStringLiteral("-v")}) {
        writeAll(stdout, QByteArray("drxtool ") + SuiteVersion + '\n');
        return Success;
    }
    writeAll(stderr, Usage);
    return UsageError;
}
