#pragma once
// The editing of substitute rows in a tree, shared by the item substitutes
// view and the bill-of-materials expansion: cell values read as numbers and
// dates, a substitute's item text with its properties, typed quantities kept
// in step with their counterpart in the other unit, open validity dates
// filled, and the checks a substitute row passes before its bill is saved.
#include "TreeList.h"

#include <QApplication>
#include <QDate>
#include <QString>
#include <QVariant>

#include <functional>

class TInfoObjectDef;

namespace ItemSubsEdit {

// A cell's value as a number; empty or not a number counts as 0.
double Num(const QVariant& AValue);
// Rounds to 8 decimals, a half going to the even neighbour.
double Round8(double AValue);
// A cell's value as a date; empty or unreadable gives an invalid date.
QDate DateOf(const QVariant& AValue);
// Item IDs, property sets and numbers compare without regard to case.
bool SameText(const QString& A, const QString& B);

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

struct UpdateBracket {
    explicit UpdateBracket(kvui::TreeList* ATree) : tree(ATree) { tree->beginUpdate(); }
    ~UpdateBracket() { tree->endUpdate(); }
    kvui::TreeList* tree;
};

// The unit factor a usage base converts with: the parent's (the replaced row
// or the parent product), 1 where there is no parent or its factor is 0.
double ParentUnitFactor(kvui::TreeNode* ANode, kvui::Column* AUnitFactor);

// The columns of a substitute row.
struct TSubsColumns {
    kvui::Column* ItmNo = nullptr;
    kvui::Column* ItmID = nullptr;
    kvui::Column* PropMask = nullptr;
    kvui::Column* Props = nullptr;
    kvui::Column* const* Prop = nullptr;   // the ten property columns
    kvui::Column* BeginDate = nullptr;
    kvui::Column* EndDate = nullptr;
    kvui::Column* Note = nullptr;
    kvui::Column* UCurrQty = nullptr;
    kvui::Column* CurrQty = nullptr;
    kvui::Column* UBaseQty = nullptr;
    kvui::Column* BaseQty = nullptr;
    kvui::Column* UnitFactor = nullptr;
    kvui::Column* ItmName = nullptr;
    kvui::Column* ItmSpec = nullptr;
    kvui::Column* ItmTypeName = nullptr;
    kvui::Column* ItmMrpType = nullptr;
    kvui::Column* Unit = nullptr;
    kvui::Column* BaseUnit = nullptr;
};

// The substitute columns of a view whose columns carry the usual names
// (colBomItmNo, colBomProp, ...).
template <class TView>
TSubsColumns SubsColumnsOf(const TView& AView)
{
    TSubsColumns cols;
    cols.ItmNo = AView.colBomItmNo;
    cols.ItmID = AView.colBomItmID;
    cols.PropMask = AView.colBomPropMask;
    cols.Props = AView.colBomProps;
    cols.Prop = AView.colBomProp;
    cols.BeginDate = AView.colBomBeginDate;
    cols.EndDate = AView.colBomEndDate;
    cols.Note = AView.colBomNote;
    cols.UCurrQty = AView.colBomUCurrQty;
    cols.CurrQty = AView.colBomCurrQty;
    cols.UBaseQty = AView.colBomUBaseQty;
    cols.BaseQty = AView.colBomBaseQty;
    cols.UnitFactor = AView.colBomUnitFactor;
    cols.ItmName = AView.colBomItmName;
    cols.ItmSpec = AView.colBomItmSpec;
    cols.ItmTypeName = AView.colBomItmTypeName;
    cols.ItmMrpType = AView.colBomItmMrpType;
    cols.Unit = AView.colBomUnit;
    cols.BaseUnit = AView.colBomBaseUnit;
    return cols;
}

// Entering the edit mode: the validity and note columns shown, and the
// property columns ADef defines.
void ShowSubstituteEditColumns(const TSubsColumns& ACols, TInfoObjectDef* ADef);

// The item, quantity, validity, note and property columns editable or not.
void SetSubstitutesEditable(const TSubsColumns& ACols, bool AEditable);

// The item number followed by the properties its item uses: "P-01 / 红 / L".
QString SubstituteText(kvui::TreeNode* ANode, const TSubsColumns& ACols);

// A typed quantity in one of the four quantity columns: anything but a
// positive number becomes 1, and the same quantity in the other unit follows
// (usages with the row's own unit factor, usage bases with the parent's).
// False when AColumn is no quantity column.
bool ApplyQtyEdit(kvui::TreeNode* ANode, kvui::Column* AColumn, const TSubsColumns& ACols);

// An emptied begin date becomes today, an emptied end date the end of time.
void FillOpenValidity(kvui::TreeNode* ANode, kvui::Column* AColumn, const TSubsColumns& ACols);

// The item number typed into (or picked for) a substitute: the item's values
// read through ASelectSQL (a select of one item, given the condition that
// ends it) fill the row, the ones of an unknown or empty number are cleared;
// the row keeps its usage, now in the item's base unit, and loses the
// properties the item does not use. AExtraFields name the further columns
// AExtraColumns show.
void FillSubstituteItem(kvui::TreeNode* ANode, const QString& AItemNo, const TSubsColumns& ACols,
                        const std::function<QString(const QString&)>& ASelectSQL, const QStringList& AExtraFields,
                        const QList<kvui::Column*>& AExtraColumns);

// Deletes the focused substitute, or the substitutes among several selected
// nodes, once the user confirms; AMarkChanged is told the row each one leaves.
// False when the user declined or the focused node is no substitute.
bool DeleteSubstitutes(kvui::TreeList* ATree, const std::function<bool(kvui::TreeNode*)>& AIsSub,
                       const std::function<void(kvui::TreeNode*)>& AMarkChanged);

// What a substitute row is checked against before its bill is saved.
struct TSubstituteCheck {
    TSubsColumns Cols;
    TInfoObjectDef* ObjectDef = nullptr;   // names the property set in its message
    QString DuplicateMessage;              // one "%s": the repeated substitute
    // Whether a previous sibling is a substitute of the same row (the search
    // for a repeated substitute stops at the first that is not).
    std::function<bool(kvui::TreeNode*)> IsPeer;
    // Brings the offending cell into view before the warning.
    std::function<void(kvui::TreeNode*, kvui::Column*)> FocusCell;
};

// The item number given and known, every property the item uses filled and
// the property set known (its ID then stands in the props column), no
// repeated substitute under the row, no substitute equal to the row or an
// upper product, and the end of validity after its begin. On a fault the cell
// is focused, a warning shown and false returned.
bool CheckSubstitute(kvui::TreeNode* ANode, const TSubstituteCheck& ACheck);

} // namespace ItemSubsEdit
