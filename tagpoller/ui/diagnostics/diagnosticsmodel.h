#pragma once

#include "channelruntime.h"

#include <QAbstractTableModel>

#include <vector>

// The rows of the diagnostics window: a channel, a device or a frame each.
// The model keeps no texts; every cell asks its row's live counters when the
// view paints it, so a refresh costs only the visible cells.
class DiagnosticsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int ColumnCount = 13;

    explicit DiagnosticsModel(std::vector<DiagnosticsRow> rows, QObject *parent = nullptr);

    static QString columnTitle(int column);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const DiagnosticsRow &row(int row) const { return m_rows[size_t(row)]; }

    // Every cell's text may have changed: views ask again.
    void refresh();
    // Drops the rows, so that nothing asks their objects any more once the
    // run that owns them goes away.
    void release();

private:
    std::vector<DiagnosticsRow> m_rows;
};
