#include "eventlistmodel.h"

#include "mailprovider.h"
#include "mailstrings.h"

EventListModel::EventListModel(EventList &events, QObject *parent) : QAbstractTableModel(parent)
{
    for (const MailEvent &event : events.entries())
        m_rows.push_back(event);
    connect(&events, &EventList::entryAppended, this, &EventListModel::add, Qt::QueuedConnection);
}

int EventListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int EventListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= int(m_rows.size()))
        return {};
    const MailEvent &event = m_rows[std::size_t(index.row())];
    switch (index.column()) {
    case DateColumn:
        return eventDateText(event.time);
    case TimeColumn:
        return eventTimeText(event.time);
    case ChannelColumn:
        return channelText(event.channel);
    case MessageColumn:
        return event.text;
    default:
        return {};
    }
}

QVariant EventListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case DateColumn:
        return mailText(MailString::DateColumn);
    case TimeColumn:
        return mailText(MailString::TimeColumn);
    case ChannelColumn:
        return mailText(MailString::ChannelColumn);
    case MessageColumn:
        return mailText(MailString::MessageColumn);
    default:
        return {};
    }
}

void EventListModel::add(const MailEvent &event)
{
    if (m_rows.size() >= EventList::MaxEntries) {
        beginRemoveRows({}, 0, 0);
        m_rows.pop_front();
        endRemoveRows();
    }
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.push_back(event);
    endInsertRows();
}
