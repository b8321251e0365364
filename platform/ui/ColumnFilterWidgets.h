// What the user sees of a grid's column filtering: the drop-down of a column's
// filter button (its values, "(全部)" and "(自定义…)"), the custom filter
// dialog (two conditions on the column joined by AND or OR, on the filter
// control) and the filter bar under the grid that shows the filter in force
// and lets it be switched off or cleared.
#pragma once
#include "ColumnFilter.h"

#include <QDialog>
#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QMenu;
class QToolButton;

namespace kvui {

class BandedGrid;
class Column;

class ColumnFilterDialog : public QDialog {
    Q_OBJECT
public:
    ColumnFilterDialog(BandedGrid* grid, Column* column, QWidget* parent = nullptr);

    QLabel* lblTitle;        // what the dialog does
    FilterControl* fltConditions;
    QLabel* lblHint;         // how to write a pattern
    Column* column() const { return m_column; }
    // Runs the dialog; tests answer it through ExecHook instead of a window.
    static std::function<int(ColumnFilterDialog&)> ExecHook;

private:
    Column* m_column;
};

// The texts of a column's filter drop-down, in order.
extern const char* const FilterAllText;      // "(全部)"
extern const char* const FilterCustomText;   // "(自定义…)"

// The drop-down of a column's filter button: "(全部)", "(自定义…)" and the
// column's values. Returns the menu (owned by the grid) before it is shown.
QMenu* ColumnFilterMenu(BandedGrid* grid, Column* column);
// Runs the custom filter dialog of a column; true when the user confirmed.
bool RunColumnFilterDialog(BandedGrid* grid, Column* column);

class ColumnFilterBar : public QWidget {
    Q_OBJECT
public:
    explicit ColumnFilterBar(BandedGrid* grid);
    void refresh();

    QCheckBox* chkActive;
    QLabel* lblText;
    QToolButton* btnClear;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    BandedGrid* m_grid;
};

} // namespace kvui
