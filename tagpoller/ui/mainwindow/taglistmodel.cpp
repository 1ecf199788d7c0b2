#include "taglistmodel.h"

#include "datatypes.h"

#include <algorithm>

TagListModel::TagListModel(QObject *parent) : QAbstractTableModel(parent) {}

void TagListModel::setTags(TagList *tags)
{
    beginResetModel();
    m_tags = tags;
    m_rows.clear();
    if (tags) {
        m_rows.reserve(size_t(tags->size()));
        for (const auto &tag : *tags)
            m_rows.push_back(tag.get());
    }
    endResetModel();
}

void TagListModel::appendNewTags()
{
    if (!m_tags || qsizetype(m_rows.size()) >= m_tags->size())
        return;
    // New tags are at the end of the list, whatever order the rows are in.
    const int first = int(m_rows.size());
    const int last = int(m_tags->size()) - 1;
    beginInsertRows({}, first, last);
    for (qsizetype i = first; i <= last; ++i)
        m_rows.push_back(m_tags->at(i));
    endInsertRows();
}

void TagListModel::removeTag(const CModTag *tag)
{
    const int row = rowOf(tag);
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

CModTag *TagListModel::tag(int row) const
{
    return row >= 0 && size_t(row) < m_rows.size() ? m_rows[size_t(row)] : nullptr;
}

int TagListModel::rowOf(const CModTag *tag) const
{
    const auto it = std::find(m_rows.begin(), m_rows.end(), tag);
    return it == m_rows.end() ? -1 : int(it - m_rows.begin());
}

void TagListModel::redrawMarkedRows()
{
    for (size_t row = 0; row < m_rows.size(); ++row) {
        CModTag *tag = m_rows[row];
        if (tag->flags & CModTag::Redraw) {
            tag->flags &= ~quint32(CModTag::Redraw);
            Q_EMIT dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
        }
    }
}

void TagListModel::sortByColumn(int column)
{
    if (m_rows.size() < 2 || column < 0 || column >= ColumnCount)
        return;
    if (column == m_lastSortColumn)
        m_descending = !m_descending;
    m_lastSortColumn = column;

    const auto compare = [column](const CModTag *a, const CModTag *b) -> int {
        switch (column) {
        case NameColumn:
            return a->TagName.compare(b->TagName);
        case AddressColumn:
            return a->TagAddress.compare(b->TagAddress);
        case DescriptionColumn:
            return a->Description.compare(b->Description);
        case DataTypeColumn:
            return a->DataType - b->DataType;
        case AccessColumn:
            return a->ClientAccess - b->ClientAccess;
        default:
            return 0; // values are not compared
        }
    };
    Q_EMIT layoutAboutToBeChanged();
    const bool descending = m_descending;
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const CModTag *a, const CModTag *b) {
        const int order = compare(a, b);
        return descending ? order > 0 : order < 0;
    });
    Q_EMIT layoutChanged();
}

int TagListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TagListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TagListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const CModTag *tag = this->tag(index.row());
    if (!tag)
        return {};
    switch (index.column()) {
    case NameColumn:
        return tag->TagName;
    case AddressColumn:
        return tag->TagAddress;
    case DataTypeColumn:
        return DataTypeCode::listName(tag->DataType);
    case DataColumn:
        return tag->value.text();
    case AccessColumn:
        return ClientAccessCode::listName(tag->ClientAccess);
    case DescriptionColumn:
        return tag->Description;
    default:
        return {};
    }
}

QVariant TagListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const titles[ColumnCount] = {"Tag Name", "Address",       "DataType",
                                                    "Data",     "Client Access", "Description"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}
