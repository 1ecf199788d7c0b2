#pragma once

#include "sqlrecords.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

// The INSERT statements of the two tables. Every text between quotes is
// escaped by the given function, so the stored text equals the text sent;
// numbers are formatted without the locale (a decimal comma must never reach
// SQL); values and times that have no SQL form are written as NULL.
class StatementBuilder
{
public:
    using Escape = std::function<QByteArray(const QString &)>;

    struct Tables
    {
        QString database; // empty: the connection's default database
        QString tagTable;
        QString alarmTable;
    };

    StatementBuilder(Tables tables, Escape escape);

    QByteArray tagStatement(const SqlTagList &tags, std::size_t first, std::size_t count) const;
    QByteArray tagStatement(const SqlTagList &tags) const
    {
        return tagStatement(tags, 0, tags.size());
    }
    QByteArray alarmStatement(const SqlAlarmList &alarms, std::size_t first,
                              std::size_t count) const;
    QByteArray alarmStatement(const SqlAlarmList &alarms) const
    {
        return alarmStatement(alarms, 0, alarms.size());
    }

    // The quoted local time "'2017-04-05  14:03:07'", or NULL when the time
    // has no local form a DATETIME column can hold.
    static QByteArray timeText(std::chrono::sys_seconds time);
    // Tag values with two decimals, alarm values with three; NULL for NaN and
    // infinities.
    static QByteArray tagNumber(double value);
    static QByteArray alarmNumber(double value);
    // Empty for codes without a text.
    static QByteArray eventText(quint8 code);
    static QByteArray alarmTypeText(quint8 code);

    // Escaping without a connection, as the client library does it for
    // utf8mb4 with backslash escapes on: for statements kept in a file.
    static QByteArray escapeWithoutConnection(const QString &text);
    // `name` between backticks, inner backticks doubled.
    static QByteArray identifier(const QString &name);

    // "group 'G', tag 'T', time 2017-04-05  14:03:07" for naming a row.
    static QString describe(const CSqlTag &tag);
    static QString describe(const CSqlAlarm &alarm);

private:
    QByteArray tablePrefix(const QString &table) const;
    QByteArray quoted(const QString &text) const;

    Tables m_tables;
    Escape m_escape;
};
