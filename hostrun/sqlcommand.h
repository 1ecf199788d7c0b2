#pragma once

#include <QStringList>

namespace hostrun {

// "hostrun sql": the host runtime's side of the SQL bridge. `arguments` are
// those after the verb. Returns the exit status.
int runSqlCommand(const QStringList &arguments);

QString sqlUsageText();

} // namespace hostrun
