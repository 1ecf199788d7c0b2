#include "taglistmodel.h"

#include "datatypes.h"

#include <QBrush>
#include <QDateTime>
#include <QFont>
#include <QPalette>

#include <algorithm>

namespace {

// Colours that read on the light and the dark palettes alike.
const QColor BadValueColour(0xC0, 0x20, 0x20);

QString lastGoodReadText(const CModTag &tag)
{
    if (tag.lastGoodRead == 0)
        return QStringLiteral("no good read in this run");
    return QStringLiteral("last good read %1")
        .arg(QDateTime::fromMSecsSinceEpoch(tag.lastGoodRead)
                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
}

} // namespace

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

void TagListModel::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, DataColumn), index(int(m_rows.size()) - 1, DataColumn));
}

TagListModel::Quality TagListModel::quality(const CModTag &tag) const
{
    if (!m_running)
        return Quality::Stopped;
    if (tag.flags & CModTag::ErrorState)
        return Quality::Bad;
    if (!(tag.flags & CModTag::ValuePresent))
        return Quality::NotRead;
    return Quality::Good;
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
    if (!index.isValid())
        return {};
    const CModTag *tag = this->tag(index.row());
    if (!tag)
        return {};
    if (role != Qt::DisplayRole)
        return index.column() == DataColumn ? qualityData(*tag, role) : QVariant();
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

QVariant TagListModel::qualityData(const CModTag &tag, int role) const
{
    const Quality q = quality(tag);
    switch (role) {
    case Qt::ForegroundRole:
        switch (q) {
        case Quality::Good:
            return {};
        case Quality::Bad:
            return QBrush(BadValueColour);
        case Quality::NotRead:
        case Quality::Stopped:
            return QPalette().brush(QPalette::Disabled, QPalette::Text);
        }
        return {};
    case Qt::FontRole:
        if (q == Quality::Good)
            return {};
        {
            QFont font;
            font.setItalic(true);
            return font;
        }
    case Qt::ToolTipRole:
        switch (q) {
        case Quality::Good:
            return QStringLiteral("Good; %1").arg(lastGoodReadText(tag));
        case Quality::Bad:
            return QStringLiteral("Bad: the driver cannot vouch for this value; %1")
                .arg(lastGoodReadText(tag));
        case Quality::NotRead:
            return QStringLiteral("Not read yet");
        case Quality::Stopped:
            return (tag.flags & CModTag::ValuePresent) != 0
                       ? QStringLiteral("Not running: the value of the last run")
                       : QVariant();
        }
        return {};
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
