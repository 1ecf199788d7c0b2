#include "launchfailurereport.h"

#include <cstdio>

#include <syslog.h>

void reportLaunchFailure(const QString &failure)
{
    // One line, whatever the text holds.
    QString line = failure;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray text = line.toLocal8Bit();
    std::fprintf(stderr, "restarter: %s\n", text.constData());
    std::fflush(stderr);
    ::openlog("restarter", LOG_PID, LOG_USER);
    ::syslog(LOG_ERR, "%s", text.constData());
    ::closelog();
}
