// What leaves the banded view as it shows: the clipboard text of the focused
// cell or the selected rows, and the cell model export and printing read (a
// member of BandedView and CellModel, kept in a unit of their own).
#include "BandedView.h"

#include <QApplication>
#include <QClipboard>

namespace kvui {

// ---------------------------------------------------------------- clipboard

QString BandedView::copyText(bool selectedRows) const
{
    int row = focusedRow();
    if (!selectedRows) return row >= 0 ? cellText(row, m_focusColumn) : QString();
    QList<Column*> vis = visibleColumns();
    QStringList lines;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (!m_selected.contains(rowKey(m_rows[i]))) continue;
        if (m_rows[i].kind == RowRef::Group) { lines << groupRowText(i); continue; }
        QStringList cells;
        for (Column* c : vis) cells << cellText(i, c);
        lines << cells.join('\t');
    }
    return lines.join("\r\n");
}

void BandedView::copyToClipboard(bool selectedRows) const
{
    if (focusedRow() < 0) return;
    QApplication::clipboard()->setText(copyText(selectedRows));
}

// ---------------------------------------------------------------- cell model

CellModel::CellModel(BandedView* view) : QAbstractTableModel(view), m_view(view) {}

void CellModel::reset()
{
    beginResetModel();
    m_columns = m_view->visibleColumns();
    endResetModel();
}

int CellModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_view->rowCount(); }
int CellModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant CellModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_view->rowCount() || index.column() >= m_columns.size()) return QVariant();
    Column* c = m_columns[index.column()];
    RowRef r = m_view->row(index.row());
    switch (role) {
    case RowKindRole: return int(r.kind);
    case LevelRole: return r.level;
    case RecordRole: return r.record;
    default: break;
    }
    if (r.kind == RowRef::Group) {
        if (role == Qt::DisplayRole && index.column() == 0) return m_view->groupRowText(index.row());
        return QVariant();
    }
    if (r.kind == RowRef::GroupFooter) {
        if (role == Qt::DisplayRole) return m_view->groupFooterText(index.row(), c);
        if (role == Qt::EditRole) return m_view->groupFooterValue(index.row(), c);
        return QVariant();
    }
    CellFormat f = m_view->cellFormat(index.row(), c, true);
    switch (role) {
    case Qt::DisplayRole: return f.text;
    case Qt::EditRole: return f.value;
    case Qt::BackgroundRole: return f.background;
    case Qt::ForegroundRole: return f.textColor;
    case Qt::FontRole: return f.font;
    case Qt::TextAlignmentRole: return int(f.alignment);
    case FontStyleRole: {
        int s = 0;
        if (f.font.bold()) s |= 1;
        if (f.font.italic()) s |= 2;
        if (f.font.underline()) s |= 4;
        if (f.font.strikeOut()) s |= 8;
        return s;
    }
    default: return QVariant();
    }
}

QVariant CellModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && section >= 0 && section < m_columns.size()) {
        if (role == Qt::DisplayRole) return m_columns[section]->caption();
        if (role == FooterRole) return m_view->footerText(m_columns[section]);
    }
    return QVariant();
}

} // namespace kvui
