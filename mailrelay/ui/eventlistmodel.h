#pragma once

#include "eventlist.h"

#include <QAbstractTableModel>

#include <deque>

// The event list as the dialog's table: Date, Time, Channel, Message, texts
// made when drawn. It keeps its own copy of the rows (appended from the GUI
// thread as the list announces them) with the list's limit.
class EventListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { DateColumn, TimeColumn, ChannelColumn, MessageColumn, ColumnCount };

    explicit EventListModel(EventList &events, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void add(const MailEvent &event);

    std::deque<MailEvent> m_rows;
};
