// restarter: shows a notice for two seconds, then starts the host runtime
// beside it with administrator rights and ends.
#include "helprequest.h"
#include "hostruntimelauncher.h"
#include "hostruntimelocation.h"
#include "launchfailurereport.h"
#include "restartnoticedialog.h"
#include "suiteversion.h"

#include <QApplication>
#include <QCommandLineParser>

#include <memory>

#include <unistd.h>

namespace {

// Every plain argument, and everything after the first one, is the host
// runtime's: "restarter driver --items A,B" restarts a host session.
QStringList hostRuntimeArguments(QCoreApplication &application)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Restarts the Orvala host runtime with administrator rights: shows a notice for two\n"
        "seconds, then starts hostrun from the folder that holds restarter, directly when run\n"
        "as root and otherwise through pkexec, which asks for authentication. The arguments\n"
        "are passed on to hostrun. A failed start is written to standard error and the\n"
        "system log, and restarter exits with status 1."));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("arguments"),
                                 QStringLiteral("Passed on to hostrun (see hostrun --help)."),
                                 QStringLiteral("[--] [arguments...]"));
    parser.process(application);
    return parser.positionalArguments();
}

} // namespace

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> application =
        asksForHelpOrVersion(argc, argv, true) ? std::make_unique<QCoreApplication>(argc, argv)
                                               : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("restarter"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(SuiteVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("orvala-restarter"));

    LaunchPlan plan;
    plan.arguments = hostRuntimeArguments(*application); // ends here for --help, --version
    plan.programFilePath = HostRuntimeLocation::runningProgramFile();
    plan.route = LaunchPlan::routeFor(::geteuid());

    HostRuntimeLauncher launcher(plan);
    RestartNoticeDialog dialog(launcher);
    dialog.exec();
    if (!dialog.launchFailure().isEmpty()) {
        reportLaunchFailure(dialog.launchFailure());
        return 1;
    }
    return 0;
}
