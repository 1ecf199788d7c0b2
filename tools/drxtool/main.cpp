// drxtool: project files (*.drx) as JSON and back, for projects kept under
// version control or generated from other data.
#include "drxcommands.h"
#include "suiteversion.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

enum ExitCode { Success = 0, Failure = 1, UsageError = 2 };

constexpr char Usage[] =
    "Usage: drxtool dump FILE.drx\n"
    "       drxtool build [--allow-dotted-names] FILE.json OUT.drx\n"
    "       drxtool --help | --version\n"
    "\n"
    "dump   prints the project file FILE.drx as JSON.\n"
    "build  checks the JSON project FILE.json and writes it as the project\n"
    "       file OUT.drx; OUT.drx is left alone when anything is wrong. Values\n"
    "       the driver loads but its editors would not offer give a warning.\n"
    "       Names holding \".\" are refused, since no host can reach them;\n"
    "       --allow-dotted-names takes them with a warning (for projects\n"
    "       dumped from older files).\n";

bool writeAll(FILE *stream, const QByteArray &bytes)
{
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) ==
               size_t(bytes.size()) &&
           std::fflush(stream) == 0;
}

int finish(const DrxCommands::Result &result)
{
    for (const QString &warning : result.warnings)
        writeAll(stderr, warning.toUtf8() + '\n');
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
    if (command == QLatin1StringView("build")) {
        QStringList operands = arguments.mid(1);
        JsonReadOptions options;
        options.allowDottedNames = operands.removeAll(QStringLiteral("--allow-dotted-names")) > 0;
        if (operands.size() == 2)
            return finish(DrxCommands::build(operands[0], operands[1], options));
    }
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
