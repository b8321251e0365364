#include "ColumnFilterWidgets.h"
#include "BandedGrid.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace kvui {

const char* const FilterAllText = "(全部)";
const char* const FilterCustomText = "(自定义…)";

ColumnFilterDialog::ColumnFilterDialog(BandedGrid* grid, Column* column, QWidget* parent)
    : QDialog(parent ? parent : grid), m_column(column)
{
    setWindowTitle(QStringLiteral("自定义筛选"));
    auto* box = new QVBoxLayout(this);
    lblTitle = new QLabel(QStringLiteral("显示满足下列条件的行: [%1]").arg(column->caption()), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    box->addWidget(lblTitle);
    fltConditions = new FilterControl(this);
    fltConditions->setObjectName(QStringLiteral("fltConditions"));
    const ColumnFilter* filter = grid->columnFilter();
    fltConditions->setItems({filter->itemFor(column)});
    // The column's conditions, or two empty ones joined by AND.
    FilterCriteria criteria;
    if (const FilterNode* current = filter->columnCriteria(column)) {
        criteria.root.boolOperator = current->boolOperator;
        for (const auto& child : current->children)
            criteria.root.children.push_back(child->clone());
    }
    const QString key = ColumnFilter::columnKey(column);
    while (criteria.root.children.size() < 2)
        criteria.root.addCriterion(key, FilterOperator::Equal);
    fltConditions->setCriteria(criteria);
    box->addWidget(fltConditions, 1);
    lblHint = new QLabel(QStringLiteral("用 _ 代表单个字符, 用 % 代表任意多个字符"), this);
    lblHint->setObjectName(QStringLiteral("lblHint"));
    box->addWidget(lblHint);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    box->addWidget(buttons);
    resize(520, 260);
}

std::function<int(ColumnFilterDialog&)> ColumnFilterDialog::ExecHook;

bool RunColumnFilterDialog(BandedGrid* grid, Column* column)
{
    ColumnFilterDialog dlg(grid, column);
    if (grid->customFilterDialogHook)
        grid->customFilterDialogHook(dlg);
    const int result = ColumnFilterDialog::ExecHook ? ColumnFilterDialog::ExecHook(dlg) : dlg.exec();
    if (result != QDialog::Accepted)
        return false;
    // Conditions left without a value are dropped, except those that need none.
    FilterCriteria criteria;
    const FilterNode& root = dlg.fltConditions->criteria().root;
    criteria.root.boolOperator = root.boolOperator;
    criteria.root.negated = root.negated;
    for (const auto& child : root.children) {
        const bool needsValue = !child->isGroup && FilterOperatorValueCount(child->op) != 0;
        if (needsValue && std::all_of(child->values.begin(), child->values.end(), FilterValueIsNull))
            continue;
        criteria.root.children.push_back(child->clone());
    }
    grid->columnFilter()->setColumnCriteria(column, criteria);
    return true;
}

QMenu* ColumnFilterMenu(BandedGrid* grid, Column* column)
{
    auto* menu = new QMenu(grid);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    ColumnFilter* filter = grid->columnFilter();
    QAction* all = menu->addAction(QString::fromUtf8(FilterAllText));
    QObject::connect(all, &QAction::triggered, grid, [filter, column] { filter->clearColumn(column); });
    QAction* custom = menu->addAction(QString::fromUtf8(FilterCustomText));
    QObject::connect(custom, &QAction::triggered, grid, [grid, column] { RunColumnFilterDialog(grid, column); });
    menu->addSeparator();
    // The value the column is narrowed to is ticked.
    QString chosen;
    if (const FilterNode* current = filter->columnCriteria(column))
        if (current->children.size() == 1 && current->children[0]->op == FilterOperator::Equal)
            chosen = current->children[0]->values.value(0).toString();
    for (const QString& text : filter->distinctTexts(column)) {
        QAction* a = menu->addAction(text);
        a->setCheckable(true);
        a->setChecked(!chosen.isEmpty() && text.compare(chosen, filter->caseInsensitive() ? Qt::CaseInsensitive
                                                                                          : Qt::CaseSensitive) == 0);
        QObject::connect(a, &QAction::triggered, grid, [filter, column, text] { filter->setColumnValue(column, text); });
    }
    return menu;
}

ColumnFilterBar::ColumnFilterBar(BandedGrid* grid) : QWidget(grid), m_grid(grid)
{
    setObjectName(QStringLiteral("filterBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 1, 4, 1);
    row->setSpacing(4);
    btnClear = new QToolButton(this);
    btnClear->setObjectName(QStringLiteral("btnClearFilter"));
    btnClear->setText(QStringLiteral("×"));
    btnClear->setToolTip(QStringLiteral("清除筛选"));
    btnClear->setAutoRaise(true);
    chkActive = new QCheckBox(this);
    chkActive->setObjectName(QStringLiteral("chkFilterActive"));
    chkActive->setToolTip(QStringLiteral("启用或停用筛选"));
    lblText = new QLabel(this);
    lblText->setObjectName(QStringLiteral("lblFilterText"));
    row->addWidget(btnClear);
    row->addWidget(chkActive);
    row->addWidget(lblText, 1);
    connect(btnClear, &QToolButton::clicked, this, [this] { m_grid->columnFilter()->clear(); });
    connect(chkActive, &QCheckBox::toggled, this, [this](bool on) { m_grid->columnFilter()->setActive(on); });
    setAutoFillBackground(false);
}

void ColumnFilterBar::refresh()
{
    const ColumnFilter* filter = m_grid->columnFilter();
    const QSignalBlocker block(chkActive);
    chkActive->setChecked(filter->isActive());
    const QString text = filter->readableText();
    lblText->setText(lblText->fontMetrics().elidedText(text, Qt::ElideRight, qMax(40, lblText->width())));
    lblText->setToolTip(text);
    lblText->setEnabled(filter->isActive());
}

void ColumnFilterBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_grid->viewPalette().footer);
    p.setPen(QColor(0xac, 0xa8, 0x99));
    p.drawLine(rect().topLeft(), rect().topRight());
}

} // namespace kvui
