#pragma once

#include "archiveerror.h"
#include "sqlrecords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The SQL bridge's copy-data payloads. Decoding never throws and never
// half-fills: on failure the target is left as it was and the status says what
// was wrong and where.
namespace SqlPayload {

// Copy-data codes of the bridge's window.
inline constexpr quint64 TagValuesCode = 100;
inline constexpr quint64 AlarmsCode = 200;
inline constexpr quint64 SettingsCode = 300;
inline constexpr quint64 VersionCode = 400;
// WM_USER + 221: close once everything is written.
inline constexpr quint32 CloseWhenDrainedMessage = 0x0400 + 221;
inline constexpr char WindowTitle[] = "Orvala_SQL_Interface";

struct ConnectionSettings
{
    QString server;     // DbServer
    QString database;   // DbName
    QString tagTable;   // TagTable
    QString alarmTable; // AlarmTable
    QString user;       // DbUser
    QString password;   // DbPassword

    bool operator==(const ConnectionSettings &) const = default;
};

struct Version
{
    qint32 major = 0;
    qint32 minor = 0;
};

// The record classes the two arrays may hold.
const RecordRegistry &recordClasses();

QByteArray encodeTagValues(const SqlTagList &tags);
QByteArray encodeAlarms(const SqlAlarmList &alarms);
// `leadingValue` is the 16-bit value that leads the payload; the bridge reads
// and ignores it.
QByteArray encodeSettings(const ConnectionSettings &settings, qint16 leadingValue = 0);
QByteArray encodeVersion(Version version);

// An element of another class than the array's own counts as unreadable.
ArchiveStatus decodeTagValues(QByteArrayView payload, SqlTagList &tags);
ArchiveStatus decodeAlarms(QByteArrayView payload, SqlAlarmList &alarms);
ArchiveStatus decodeSettings(QByteArrayView payload, ConnectionSettings &settings);
ArchiveStatus decodeVersion(QByteArrayView payload, Version &version);

} // namespace SqlPayload
