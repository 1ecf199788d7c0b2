#include "logging.h"

#include <cstring>

namespace hostmsg {

// Debug output (why a window was not reached, and the like) is for when it is asked for:
// QT_LOGGING_RULES="orvala.hostmsg.debug=true".
Q_LOGGING_CATEGORY(lcHostmsg, "orvala.hostmsg", QtInfoMsg)

QString systemErrorString(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace hostmsg
