#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for: only "OPEN_LAST", as the first plain
// argument, means anything (the host runtime's launch). Options before it are
// passed over; any other plain argument first makes it a user's start.
struct StartOptions
{
    bool openLast = false;
    static StartOptions parse(const QStringList &arguments);
};

// The driver's instance lock in the hostmsg folder.
inline QString driverInstanceLockName()
{
    return QStringLiteral("_TAGPOLLER_INSTANCE_CHECK_.lock");
}
