// The Modbus driver: starts as the only copy of the program in the session,
// reads its settings, and shows the main window.
#include "desktop.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "mainwindow.h"
#include "sessionnotifier.h"
#include "singleinstance.h"
#include "startup.h"
#include "suiteversion.h"
#include "widgetnotifier.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString(DriverSettingsOrganization));
    QApplication::setApplicationName(QString(DriverSettingsApplication));
    QApplication::setApplicationDisplayName(MainWindow::Title);
    QApplication::setApplicationVersion(QString::fromLatin1(SuiteVersion));

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

    const StartOptions options = StartOptions::parse(QApplication::arguments());

    QSettings store;
    DriverState state(*notifier, DriverSettings::read(store));
    state.recentFiles.load(store);
    EventLog log({state.settings.eventMessageLevel,
                  QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)});

    MainWindow window(state, log, *notifier, store, desktop);
    if (auto *widgetNotifier = dynamic_cast<WidgetNotifier *>(notifier.get()))
        widgetNotifier->setParent(&window);
    window.setOpenLastRequested(options.openLast);
    window.show();
    return app.exec();
}
