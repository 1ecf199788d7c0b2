#include "diagnosticsmodel.h"

#include <array>

namespace {

// "D_" columns are the device's scan cycle, "F_" columns the frame's counters.
const std::array<QString, DiagnosticsModel::ColumnCount> &columnTitles()
{
    static const std::array<QString, DiagnosticsModel::ColumnCount> titles = {
        QStringLiteral("Name"),       QStringLiteral("D_CurFrm"),   QStringLiteral("D_LstSent"),
        QStringLiteral("D_Wait"),     QStringLiteral("D_TimeOuts"), QStringLiteral("F_TxnID"),
        QStringLiteral("F_Sent"),     QStringLiteral("F_Recv"),     QStringLiteral("F_TD"),
        QStringLiteral("F_ReadsOk"),  QStringLiteral("F_Errors"),   QStringLiteral("F_LstExCode"),
        QStringLiteral("F_Disabled"),
    };
    return titles;
}

} // namespace

DiagnosticsModel::DiagnosticsModel(std::vector<DiagnosticsRow> rows, QObject *parent)
    : QAbstractTableModel(parent), m_rows(std::move(rows))
{}

QString DiagnosticsModel::columnTitle(int column)
{
    if (column < 0 || column >= ColumnCount)
        return QString();
    return columnTitles()[size_t(column)];
}

int DiagnosticsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DiagnosticsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DiagnosticsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    return m_rows[size_t(index.row())].text(index.column());
}

QVariant DiagnosticsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    const QString title = columnTitle(section);
    return title.isEmpty() ? QVariant() : QVariant(title);
}

void DiagnosticsModel::refresh()
{
    if (m_rows.empty())
        return;
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::DisplayRole});
}

void DiagnosticsModel::release()
{
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}
