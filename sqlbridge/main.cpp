// The SQL bridge: takes the host runtime's tag values and alarms and writes
// them into MariaDB. One copy per user session.
#include "desktop.h"
#include "messagelog.h"
#include "sessionnotifier.h"
#include "singleinstance.h"
#include "sqlbridge.h"
#include "sqlinterfacedialog.h"
#include "suiteversion.h"
#include "terminationsignals.h"
#include "widgetnotifier.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

namespace {

// A host runtime may start the bridge where no display is; it then works the
// same, offscreen.
void chooseOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace

int main(int argc, char *argv[])
{
    chooseOffscreenWithoutDisplay();
    qSetMessagePattern(QStringLiteral("%{category}: %{message}"));
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quenlor"));
    QApplication::setApplicationName(QStringLiteral("Orvala SQL Interface"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(SqlInterfaceDialog::Title));
    QApplication::setApplicationVersion(QString::fromLatin1(SuiteVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the tag values and alarms that the host runtime sends to the window "
        "\"Orvala_SQL_Interface\" into MariaDB. The host runtime sends the connection settings."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    const std::unique_ptr<Notifier> notifier = createSessionNotifier();
    const QString title = QString::fromLatin1(SqlInterfaceDialog::Title);

    hostmsg::Desktop desktop;
    // A second window of the same title would take the host's data away from
    // the first: the first is raised and this copy ends.
    SingleInstance instance(desktop, QStringLiteral("sqlbridge"));
    if (instance.anotherIsRunning()) {
        if (const hostmsg::Handle first = instance.findFirstWindow(title)) {
            std::fputs("sqlbridge: already running in this session; raised its window\n", stderr);
            instance.raise(first);
            return 0;
        }
    }

    MessageLog log;
    SqlBridge bridge(log);
    std::unique_ptr<hostmsg::Window> window = desktop.createWindow(title);
    if (!window) {
        std::fprintf(stderr, "sqlbridge: cannot register the window \"%s\": %s\n",
                     qPrintable(title), qPrintable(desktop.errorString()));
        return 1;
    }

    SqlInterfaceDialog dialog(bridge, log, *notifier);
    if (auto *widgetNotifier = dynamic_cast<WidgetNotifier *>(notifier.get()))
        widgetNotifier->setParent(&dialog);
    dialog.attach(*window);

    TerminationSignals signals;
    QObject::connect(&signals, &TerminationSignals::received, &dialog,
                     &SqlInterfaceDialog::closeWithoutAsking);
    QObject::connect(&dialog, &QDialog::finished, &app, &QCoreApplication::quit);

    dialog.showMinimized();
    const int status = app.exec();
    // No more messages from the host, then the last pass and what is left.
    window.reset();
    bridge.shutdown();
    return status;
}
