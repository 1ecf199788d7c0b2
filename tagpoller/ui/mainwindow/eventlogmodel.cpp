#include "eventlogmodel.h"

EventLogModel::EventLogModel(EventLog &log, QObject *parent)
    : QAbstractTableModel(parent), m_log(log), m_rows(log.count())
{
    connect(&m_log, &EventLog::messagesAppended, this, [this](int first, int last) {
        beginInsertRows({}, first, last);
        m_rows = last + 1;
        endInsertRows();
    });
    connect(&m_log, &EventLog::messagesRemoved, this, [this](int first, int last) {
        beginRemoveRows({}, first, last);
        m_rows -= last - first + 1;
        endRemoveRows();
    });
    connect(&m_log, &EventLog::cleared, this, [this] {
        beginResetModel();
        m_rows = 0;
        endResetModel();
    });
}

int EventLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int EventLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant EventLogModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_log.count())
        return {};
    const CModMsg &message = m_log.message(index.row());
    switch (index.column()) {
    case 0:
        return message.dateText();
    case 1:
        return message.timeText();
    case 2:
        return message.text();
    default:
        return {};
    }
}

QVariant EventLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0:
        return QStringLiteral("Date");
    case 1:
        return QStringLiteral("Time");
    case 2:
        return QStringLiteral("Event");
    default:
        return {};
    }
}
