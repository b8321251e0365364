#include "SpreadSheetBook.h"

#include <QApplication>
#include <QPainter>
#include <QTabBar>
#include <QVBoxLayout>

namespace kvui {

namespace {
// Room around the content so that a range can reach past it.
constexpr int SpareColumns = 4, SpareRows = 10, MinColumns = 12, MinRows = 30;
}

SpreadSheetBook::SpreadSheetBook(QWidget* parent) : QWidget(parent)
{
    m_grid = new DrawGrid(this);
    m_grid->setObjectName(QStringLiteral("grdSheet"));
    m_grid->setFixedCols(1);
    m_grid->setFixedRows(1);
    m_grid->setDefaultColWidth(84);
    m_grid->setDefaultRowHeight(20);
    m_grid->setColCount(1);
    m_grid->setRowCount(1);
    m_grid->setColWidth(0, 40);
    m_grid->setDrawCellHook([this](QPainter* p, int c, int r, const QRect& rect, const GridDrawState& st) {
        drawCell(p, c, r, rect, st);
    });
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("tabSheets"));
    m_tabs->setShape(QTabBar::RoundedSouth);
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_tabs, 0, Qt::AlignLeft);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int i) {
        if (!m_syncing && i >= 0)
            setActiveSheet(i);
    });
    connect(m_grid, &DrawGrid::selectionChanged, this, [this] {
        if (m_syncing || m_active < 0)
            return;
        const GridRect g = m_grid->selection();
        m_selections[m_active] = XlsRange{g.left - 1, g.top - 1, g.right - 1, g.bottom - 1};
        emit selectionChanged(QApplication::keyboardModifiers());
    });
}

bool SpreadSheetBook::loadFromFile(const QString& path, QString* error)
{
    XlsWorkbook book;
    if (!book.load(path, error))
        return false;
    m_book = std::move(book);
    m_selections.clear();
    for (int i = 0; i < m_book.sheetCount(); ++i)
        m_selections << XlsRange{0, 0, 0, 0};
    m_syncing = true;
    while (m_tabs->count() > 0)
        m_tabs->removeTab(0);
    for (int i = 0; i < m_book.sheetCount(); ++i)
        m_tabs->addTab(m_book.sheetName(i));
    m_syncing = false;
    m_active = -1;
    setActiveSheet(m_book.sheetCount() > 0 ? 0 : -1);
    return true;
}

void SpreadSheetBook::setActiveSheet(int sheet)
{
    if (sheet < -1 || sheet >= m_book.sheetCount() || sheet == m_active)
        return;
    m_active = sheet;
    m_syncing = true;
    m_tabs->setCurrentIndex(sheet);
    showSheet();
    m_syncing = false;
    emit activeSheetChanged(sheet);
}

void SpreadSheetBook::showSheet()
{
    const int cols = m_active >= 0 ? m_book.columnCount(m_active) : 0;
    const int rows = m_active >= 0 ? m_book.rowCount(m_active) : 0;
    m_grid->setColCount(1 + std::max(cols + SpareColumns, MinColumns));
    m_grid->setRowCount(1 + std::max(rows + SpareRows, MinRows));
    m_grid->setColWidth(0, 40);
    m_grid->setLeftCol(1);
    m_grid->setTopRow(1);
    if (m_active >= 0) {
        const XlsRange s = m_selections[m_active];
        m_grid->setSelection(GridRect{s.left + 1, s.top + 1, s.right + 1, s.bottom + 1});
    }
    m_grid->viewport()->update();
}

XlsRange SpreadSheetBook::selection() const
{
    return m_active >= 0 ? m_selections[m_active] : XlsRange{0, 0, 0, 0};
}

void SpreadSheetBook::setSelection(const XlsRange& range)
{
    if (m_active < 0)
        return;
    m_selections[m_active] = range;
    m_syncing = true;
    m_grid->setSelection(GridRect{range.left + 1, range.top + 1, range.right + 1, range.bottom + 1});
    m_syncing = false;
    const GridRect g = m_grid->selection();
    m_selections[m_active] = XlsRange{g.left - 1, g.top - 1, g.right - 1, g.bottom - 1};
}

void SpreadSheetBook::selectCell(int col, int row)
{
    setSelection(XlsRange{col, row, col, row});
}

void SpreadSheetBook::drawCell(QPainter* p, int col, int row, const QRect& rect, const GridDrawState&)
{
    if (col == 0 && row == 0)
        return;
    if (row == 0) {
        p->drawText(rect, Qt::AlignCenter, XlsWorkbook::columnName(col - 1));
        return;
    }
    if (col == 0) {
        p->drawText(rect, Qt::AlignCenter, XlsWorkbook::rowName(row - 1));
        return;
    }
    if (m_active < 0)
        return;
    const int c = col - 1, r = row - 1;
    // A merged area shows its first cell's text across the whole area: each
    // cell of it paints its own part of the text.
    QRect textRect = rect;
    int mc = c, mr = r;
    const XlsRange area = m_book.mergedAreaAt(m_active, c, r);
    if (area.right >= area.left) {
        mc = area.left;
        mr = area.top;
        int before = 0, width = 0, above = 0, height = 0;
        for (int i = area.left; i <= area.right; ++i) {
            width += m_grid->colWidth(i + 1);
            if (i < c)
                before += m_grid->colWidth(i + 1);
        }
        for (int j = area.top; j <= area.bottom; ++j) {
            height += m_grid->rowHeight(j + 1);
            if (j < r)
                above += m_grid->rowHeight(j + 1);
        }
        textRect = QRect(rect.left() - before, rect.top() - above, width, height);
    }
    const XlsCell cell = m_book.cell(m_active, mc, mr);
    if (cell.type == XlsCellType::Empty)
        return;
    const Qt::Alignment align = cell.type == XlsCellType::Text ? Qt::AlignLeft : Qt::AlignRight;
    p->drawText(textRect.adjusted(3, 0, -3, 0), align | Qt::AlignVCenter, m_book.displayText(m_active, mc, mr));
}

} // namespace kvui
