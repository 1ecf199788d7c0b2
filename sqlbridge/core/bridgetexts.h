#pragma once

#include <QString>

// The texts of the SQL bridge that the host runtime's operators know; kept
// word for word.
namespace BridgeText {

inline QString tagBufferFull()
{
    return QStringLiteral("Send Tags Buffer full, some tag values are lost.");
}
inline QString alarmBufferFull()
{
    return QStringLiteral("Send Alarms Buffer full, some alarms are lost.");
}
inline QString versionMismatch(qint32 major, qint32 minor)
{
    return QStringLiteral("%1 Required version is: %2.%3. Version of this program is not matching.")
        .arg(QStringLiteral("Orvala_SQL_Interface"))
        .arg(major)
        .arg(minor);
}
inline QString sendingImpossible()
{
    return QStringLiteral("Sending data to SQL database is not possible.");
}
inline QString interfaceStopped(int attempts)
{
    return QStringLiteral("%1 attempts to connect to database failed, SQL Interface stopped.")
        .arg(attempts);
}
inline QString tagsFailed(qsizetype count)
{
    return QStringLiteral("Failed to send %1 tag values to database.").arg(count);
}
inline QString alarmsFailed(qsizetype count)
{
    return QStringLiteral("Failed to send %1 alarms to database.").arg(count);
}
inline QString closeQuestion()
{
    return QStringLiteral(
        "Close SQL Interface (Tags / Alarms will not be sent to SQL Database.) ?");
}
inline QString versionField(int major, int minor)
{
    return QStringLiteral("Version %1.%2").arg(major).arg(minor);
}

} // namespace BridgeText
