#pragma once

#include <QLoggingCategory>
#include <QString>

// The module's diagnostics.
namespace hostmsg {

Q_DECLARE_LOGGING_CATEGORY(lcHostmsg)

// The text of an errno value, for error strings and log lines.
QString systemErrorString(int error);

} // namespace hostmsg
