#include "bridgelogging.h"

Q_LOGGING_CATEGORY(lcSqlIntake, "sqlbridge.intake", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSqlWriter, "sqlbridge.writer", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSqlMessages, "sqlbridge.messages", QtInfoMsg)
