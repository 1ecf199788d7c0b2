#include "driverstate.h"

DriverState::DriverState(Notifier &notifier, const DriverSettings &settings, QObject *parent)
    : QObject(parent), project(notifier), settings(settings)
{
    connect(&project, &Project::fileUsed, this,
            [this](const QString &path) { recentFiles.add(path); });
}
