#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSqlIntake)   // sqlbridge.intake: payloads from the host runtime
Q_DECLARE_LOGGING_CATEGORY(lcSqlWriter)   // sqlbridge.writer: passes, connections, statements
Q_DECLARE_LOGGING_CATEGORY(lcSqlMessages) // sqlbridge.messages: every line of the message list
