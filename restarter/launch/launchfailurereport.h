#pragma once

#include <QString>

// A failed launch, as one line on the error stream and in the system log:
// restarter shows no message, and whoever restarts the host runtime
// unattended finds the reason in the log.
void reportLaunchFailure(const QString &failure);
