// The email relay: one copy per user, its dialog shown minimized, sending the
// host runtime's emails through the SSL proxy until closed.
#include "desktop.h"
#include "mailclientdialog.h"
#include "mailrelay.h"
#include "mailsettings.h"
#include "sessionnotifier.h"
#include "singleinstance.h"
#include "suiteversion.h"
#include "terminationsignals.h"
#include "widgetnotifier.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSettings>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Without a display the relay still runs, on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quenlor"));
    QApplication::setApplicationName(QStringLiteral("mailrelay"));
    QApplication::setApplicationDisplayName(QLatin1StringView(MailClientDialog::Title));
    QApplication::setApplicationVersion(QString::fromLatin1(SuiteVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends the host runtime's emails over SMTP through a local stunnel client.\n"
        "Settings: the system settings of Quenlor/ORVALA HMI, group Run Mode/Settings."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    const std::unique_ptr<Notifier> notifier = createSessionNotifier();

    hostmsg::Desktop desktop;
    // A second relay would collide with the first on the proxy ports.
    SingleInstance instance(desktop, QStringLiteral("mailrelay"));
    if (instance.anotherIsRunning()) {
        if (const hostmsg::Handle first =
                instance.findFirstWindow(QLatin1StringView(MailClientDialog::Title))) {
            std::fputs("mailrelay: another copy is running in this session\n", stderr);
            instance.raise(first);
            return 0;
        }
    }

    const QSettings store(QSettings::SystemScope, QStringLiteral("Quenlor"),
                          QStringLiteral("ORVALA HMI"));
    const MailSettings settings = MailSettings::read(
        store, QDir(QApplication::applicationDirPath()).filePath(QStringLiteral("stunnel")));

    MailRelay relay(settings);
    MailClientDialog dialog(relay, *notifier);
    if (auto *widgetNotifier = dynamic_cast<WidgetNotifier *>(notifier.get()))
        widgetNotifier->setParent(&dialog);
    if (!dialog.registerHostWindow(desktop))
        return 1;

    TerminationSignals signals;
    QObject::connect(&signals, &TerminationSignals::received, &dialog,
                     [&dialog](int) { dialog.closeWithoutAsking(); });

    QObject::connect(&dialog, &QDialog::finished, &app, &QApplication::quit);
    relay.start();
    dialog.showMinimized();
    return app.exec();
}
