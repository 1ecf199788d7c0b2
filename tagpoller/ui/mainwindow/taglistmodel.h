#pragma once

#include "taglist.h"

#include <QAbstractTableModel>

#include <vector>

// The own tags of the selected device or group, one row each. Sorting by a
// column reorders the rows only, never the tags in the project.
class TagListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        NameColumn,
        AddressColumn,
        DataTypeColumn,
        DataColumn,
        AccessColumn,
        DescriptionColumn,
        ColumnCount
    };

    explicit TagListModel(QObject *parent = nullptr);

    // Shows `tags` (nullptr: nothing) in their list order.
    void setTags(TagList *tags);
    TagList *tags() const { return m_tags; }
    // The tags appended to the list since it was shown come last, unsorted.
    void appendNewTags();
    void removeTag(const CModTag *tag);
    CModTag *tag(int row) const;
    int rowOf(const CModTag *tag) const;

    // Redraws the rows whose tags carry the redraw mark, and clears the marks.
    void redrawMarkedRows();

    // While a run goes on, the Data column shows each value's quality: good
    // values as usual, values in the error state and values not read yet in
    // their own look, with the time of the last good read on hover. Values
    // left from a stopped run are greyed as no longer live.
    void setRunning(bool running);
    bool isRunning() const { return m_running; }

    enum class Quality { Good, Bad, NotRead, Stopped };
    Quality quality(const CModTag &tag) const;

    // A click on a column header: the same column again toggles the direction.
    void sortByColumn(int column);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVariant qualityData(const CModTag &tag, int role) const;

    TagList *m_tags = nullptr;
    std::vector<CModTag *> m_rows;
    int m_lastSortColumn = NameColumn;
    bool m_descending = false;
    bool m_running = false;
};
