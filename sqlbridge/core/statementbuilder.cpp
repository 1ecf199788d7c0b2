#include "statementbuilder.h"

#include "localclock.h"

#include <cmath>
#include <cstdio>

namespace {

QByteArray fixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return QByteArrayLiteral("NULL");
    // QByteArray::number ignores the locale.
    return QByteArray::number(value, 'f', decimals);
}

QString plainTimeText(std::chrono::sys_seconds time)
{
    const QByteArray quoted = StatementBuilder::timeText(time);
    return quoted == "NULL" ? QStringLiteral("(none)")
                            : QString::fromLatin1(quoted.mid(1, quoted.size() - 2));
}

} // namespace

StatementBuilder::StatementBuilder(Tables tables, Escape escape)
    : m_tables(std::move(tables)), m_escape(std::move(escape))
{}

QByteArray StatementBuilder::identifier(const QString &name)
{
    QByteArray quotedName = name.toUtf8();
    quotedName.replace('`', "``");
    return '`' + quotedName + '`';
}

QByteArray StatementBuilder::tablePrefix(const QString &table) const
{
    QByteArray prefix = QByteArrayLiteral("INSERT INTO ");
    if (!m_tables.database.isEmpty())
        prefix += identifier(m_tables.database) + '.';
    prefix += identifier(table);
    return prefix;
}

QByteArray StatementBuilder::quoted(const QString &text) const
{
    return '\'' + m_escape(text) + '\'';
}

QByteArray StatementBuilder::tagStatement(const SqlTagList &tags, std::size_t first,
                                          std::size_t count) const
{
    QByteArray statement = tablePrefix(m_tables.tagTable) +
                           "(`groupname`, `tagname`, `tagval`, `strtagval`, `tagtime`) VALUES ";
    for (std::size_t i = first; i < first + count; ++i) {
        const CSqlTag &tag = *tags[i];
        statement += '(' + quoted(tag.groupName) + ", " + quoted(tag.tagName) + ", ";
        if (tag.isText())
            statement += "NULL, " + quoted(tag.textValue);
        else
            statement += tagNumber(tag.numericValue) + ", NULL";
        statement += ", " + timeText(tag.time) + ')';
        statement += i + 1 < first + count ? ", " : ";";
    }
    return statement;
}

QByteArray StatementBuilder::alarmStatement(const SqlAlarmList &alarms, std::size_t first,
                                            std::size_t count) const
{
    QByteArray statement = tablePrefix(m_tables.alarmTable) +
                           "(`groupname`,`tagname`,`tagval`,`almtime`,`almtype`,`event`,"
                           "`severity`,`comment`,`user`) VALUES ";
    for (std::size_t i = first; i < first + count; ++i) {
        const CSqlAlarm &alarm = *alarms[i];
        statement += '(' + quoted(alarm.groupName) + ", " + quoted(alarm.tagName) + ", " +
                     alarmNumber(alarm.value) + ", " + timeText(alarm.time) + ", '" +
                     alarmTypeText(alarm.alarmType) + "', '" + eventText(alarm.eventCode) + "', " +
                     QByteArray::number(alarm.severity) + ", " + quoted(alarm.comment) + ", " +
                     quoted(alarm.user) + ')';
        statement += i + 1 < first + count ? ", " : ";";
    }
    return statement;
}

QByteArray StatementBuilder::timeText(std::chrono::sys_seconds time)
{
    const std::optional<std::tm> local = toLocalTime(time);
    // DATETIME holds the years 1000 to 9999; anything else would make the
    // server refuse the whole statement.
    if (!local || local->tm_year + 1900 < 1000 || local->tm_year + 1900 > 9999)
        return QByteArrayLiteral("NULL");
    char text[64];
    std::snprintf(text, sizeof text, "'%d-%02d-%02d  %02d:%02d:%02d'", local->tm_year + 1900,
                  local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec);
    return QByteArray(text);
}

QByteArray StatementBuilder::tagNumber(double value)
{
    return fixed(value, 2);
}

QByteArray StatementBuilder::alarmNumber(double value)
{
    return fixed(value, 3);
}

QByteArray StatementBuilder::eventText(quint8 code)
{
    static const char *const texts[] = {"Active", "Change", "Ack", "Inactive"};
    return code < std::size(texts) ? QByteArray(texts[code]) : QByteArray();
}

QByteArray StatementBuilder::alarmTypeText(quint8 code)
{
    static const char *const texts[] = {"Discrete", "Min Dev", "Maj Dev", "Hi Hi",
                                        "Hi",       "Lo",      "Lo Lo"};
    return code < std::size(texts) ? QByteArray(texts[code]) : QByteArray();
}

QByteArray StatementBuilder::escapeWithoutConnection(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray escaped;
    escaped.reserve(utf8.size() + 8);
    for (const char c : utf8) {
        switch (c) {
        case '\0':
            escaped += "\\0";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\\':
            escaped += "\\\\";
            break;
        case '\'':
            escaped += "\\'";
            break;
        case '"':
            escaped += "\\\"";
            break;
        case '\032':
            escaped += "\\Z";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QString StatementBuilder::describe(const CSqlTag &tag)
{
    return QStringLiteral("group '%1', tag '%2', time %3")
        .arg(tag.groupName, tag.tagName, plainTimeText(tag.time));
}

QString StatementBuilder::describe(const CSqlAlarm &alarm)
{
    return QStringLiteral("group '%1', tag '%2', time %3")
        .arg(alarm.groupName, alarm.tagName, plainTimeText(alarm.time));
}
