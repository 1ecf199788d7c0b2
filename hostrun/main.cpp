// hostrun: the host side of the programs' window messages, from the command line.
#include "commandline.h"
#include "driversession.h"
#include "mailcommand.h"
#include "messagecommands.h"
#include "plantsession.h"
#include "sqlcommand.h"
#include "suiteversion.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == QLatin1StringView("sql"))
        return hostrun::runSqlCommand(arguments.mid(2));
    if (arguments.value(1) == QLatin1StringView("plant"))
        return hostrun::runPlantCommand(arguments.mid(2));
    if (arguments.value(1) == QLatin1StringView("mail"))
        return hostrun::runMailCommand(arguments.mid(2));
    const hostrun::ParsedCommandLine parsed =
        hostrun::parseCommandLine(QCoreApplication::arguments());
    if (parsed.helpRequested) {
        std::fputs(qPrintable(hostrun::usageText()), stdout);
        return 0;
    }
    if (parsed.versionRequested) {
        std::printf("hostrun %s\n", SuiteVersion);
        return 0;
    }
    if (!parsed.command) {
        std::fprintf(stderr, "hostrun: %s\n%s", qPrintable(parsed.errorString),
                     qPrintable(hostrun::usageText()));
        return 2;
    }
    if (parsed.command->verb == hostrun::Verb::Driver)
        return hostrun::runDriverCommand(*parsed.command);
    return hostrun::runMessageCommand(*parsed.command);
}
