#pragma once

#include "eventlog.h"

#include <QAbstractTableModel>

// The event message log as rows of date, time and text.
class EventLogModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit EventLogModel(EventLog &log, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    EventLog &m_log;
    // The log tells of new rows once they are there; the model counts the
    // rows it has announced.
    int m_rows = 0;
};
