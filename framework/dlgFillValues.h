#pragma once
// Batch fill ("批量填充", command 26 of the grid and tree views): the user ticks
// some of the editable columns of a grid or tree list, types one value for
// each with the column's own editor, and the values are written into every
// selected row through the control's in-place editing, exactly as if typed cell
// by cell, so the edit veto and the control's posting rules apply. Esc stops
// the fill after the current cell; rows already filled keep their values.
#include "clsDialog.h"

#include <QVariant>

class QPushButton;

namespace kvui {
class BandedView;
class Column;
class TreeList;
class TreeNode;
class EditorProperties;
} // namespace kvui

class TFillValuesDlg : public TDialog {
    Q_OBJECT
public:
    explicit TFillValuesDlg(QWidget* AParent = nullptr);
    ~TFillValuesDlg() override;

    // Lists the editable columns of the target (grid table view or tree list).
    void LoadFields(kvui::BandedView* AGridOrTree);
    // Writes the ticked values into the target's selected rows.
    void FillValues();

    QPushButton* btnSelectAll;
    QPushButton* btnClearAll;
    kvui::TreeList* trlFieldValues;
    kvui::Column* colField;
    kvui::Column* colValue;
    kvui::Column* colClear;
    kvui::Column* colDisplayValue;

    // The target column of a node of the field list.
    static kvui::Column* TargetColumn(kvui::TreeNode* ANode);
    // The value check of a node: passes for Null and for nodes without a type
    // mark; otherwise integer marks need a 32-bit integer and floating marks a
    // number whose absolute value is below 9999999999. A failure shows
    // "[%s]的值(%s)无效!".
    static bool CheckNodeValue(kvui::TreeNode* ANode, kvui::Column* AValueColumn, kvui::Column* AFieldColumn);

public slots:
    void accept() override;

private:
    void updateButtons();
    void nodeCheckChanged();
    void valueEdited(int ARow, kvui::Column* AColumn, const QVariant& AOld, const QVariant& ANew);
    std::shared_ptr<kvui::EditorProperties> valueEditor(kvui::TreeNode* ANode);

    kvui::BandedView* FGridOrTree = nullptr;
    std::shared_ptr<kvui::EditorProperties> FBooleanProperties;
};

// Runs the dialog on a grid table view or tree list, then the fill.
void ShowFillValuesDlg(kvui::BandedView* AControl);
