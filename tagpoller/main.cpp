// The Modbus driver: starts as the only copy of the program in the session,
// reads its settings, and shows the main window.
#include "desktop.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "helprequest.h"
#include "mainwindow.h"
#include "sessionnotifier.h"
#include "singleinstance.h"
#include "startup.h"
#include "suiteversion.h"
#include "terminationsignals.h"
#include "widgetnotifier.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace {

// Answers --help and --version before anything starts; what is left are the
// plain arguments. Options the driver does not know are passed over, as they
// always were, so a host runtime that adds its own still starts the driver.
QStringList plainArguments(const QCoreApplication &application)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Orvala Modbus Driver: a Modbus TCP master with its configuration window.\n"
        "Without arguments it opens the main window. With OPEN_LAST, as the host runtime\n"
        "starts it, it opens the most recent project and switches to run mode."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("OPEN_LAST"),
                                 QStringLiteral("Open the most recent project and run it."),
                                 QStringLiteral("[OPEN_LAST]"));
    parser.parse(application.arguments());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    return QStringList{application.arguments().value(0)} + parser.positionalArguments();
}

} // namespace

int main(int argc, char *argv[])
{
    // A request for help or the version needs no display.
    const std::unique_ptr<QCoreApplication> application =
        asksForHelpOrVersion(argc, argv) ? std::make_unique<QCoreApplication>(argc, argv)
                                         : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QString(DriverSettingsOrganization));
    QCoreApplication::setApplicationName(QString(DriverSettingsApplication));
    QGuiApplication::setApplicationDisplayName(MainWindow::Title);
    QGuiApplication::setDesktopFileName(QStringLiteral("orvala-tagpoller"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(SuiteVersion));
    const QStringList arguments = plainArguments(*application); // ends here for --help, --version

    // Without anyone at a screen, messages go to the error stream and nothing
    // waits for a click.
    const std::unique_ptr<Notifier> notifier = createSessionNotifier();

    hostmsg::Desktop desktop;
    SingleInstance instance(desktop, driverInstanceLockName());
    if (instance.anotherIsRunning()) {
        if (const hostmsg::Handle first = instance.findFirstWindow(MainWindow::Title)) {
            notifier->showMessage(DriverString::text(DriverString::OnlyOneInstance),
                                  Notifier::Icon::Stop);
            instance.raise(first);
            return 0;
        }
        // The first copy has no window yet (or the lock could not be had):
        // this one starts all the same.
    }

    const StartOptions options = StartOptions::parse(arguments);

    QSettings store;
    DriverState state(*notifier, DriverSettings::read(store));
    state.recentFiles.load(store);
    EventLog log({state.settings.eventMessageLevel,
                  QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)});

    MainWindow window(state, log, *notifier, store, desktop);
    if (auto *widgetNotifier = dynamic_cast<WidgetNotifier *>(notifier.get()))
        widgetNotifier->setParent(&window);
    window.setOpenLastRequested(options.openLast);
    // A host (or a session) that terminates the driver loses nothing.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &window,
                     &MainWindow::closeFromSignal);
    window.show();
    return QApplication::exec();
}
