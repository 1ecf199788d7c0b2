#pragma once

#include <QString>
#include <QStringList>

namespace hostrun {

// "hostrun mail ...": hands accounts and emails to the email relay and asks it
// to close when drained. `arguments` follow the word "mail".
int runMailCommand(const QStringList &arguments);

QString mailUsageText();

} // namespace hostrun
