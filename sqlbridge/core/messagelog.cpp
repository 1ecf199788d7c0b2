#include "messagelog.h"

#include "bridgelogging.h"

MessageLog::MessageLog(QObject *parent, int maxLines)
    : QAbstractListModel(parent), m_maxLines(std::max(1, maxLines))
{}

void MessageLog::append(const QString &line)
{
    qCInfo(lcSqlMessages).noquote() << line;
    if (int(m_lines.size()) >= m_maxLines) {
        beginRemoveRows(QModelIndex(), 0, 0);
        m_lines.pop_front();
        endRemoveRows();
    }
    const int row = int(m_lines.size());
    beginInsertRows(QModelIndex(), row, row);
    m_lines.push_back(line);
    endInsertRows();
    Q_EMIT lineAppended(line);
}

void MessageLog::clear()
{
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

QStringList MessageLog::lines() const
{
    return QStringList(m_lines.begin(), m_lines.end());
}

int MessageLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant MessageLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_lines.size()) || role != Qt::DisplayRole)
        return QVariant();
    return m_lines[std::size_t(index.row())];
}
