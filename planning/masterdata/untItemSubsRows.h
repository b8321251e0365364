#pragma once
// Substitute rows as the item substitutes view, the copy dialog and the
// bill-of-materials expansion read and save them: the statement that reads a
// substitute list, the SQL pieces of an item select (its property mask, the
// search pattern of the item pick) and the bill of materials document
// (kind 16) that carries a bill's changed substitutes to the ERP, and the
// report of a failed save.
#include "Editors.h"
#include "TreeList.h"
#include "untERPaccess.h"
#include "untItemSubsEdit.h"

#include <QString>
#include <QVariant>

#include <functional>

class TInfoObjectDef;

namespace ItemSubsRows {

// The select column PropMask: ten characters, "1" where the item uses that
// property.
extern const QString PropMaskSQL;

// The search condition of the item pick: number, name or size and model
// contain the typed text.
extern const QString PickCondition;

// The create text of #QZ_MRP_GetItemSubsList, the table the procedure
// QZ_MRP_GetItemSubsList fills with bills, their rows and the rows' substitutes.
QString ItemSubsListCreateSQL();

// The select that follows the procedure: the list's rows with their items,
// units and property masks, ordered by bill, row and substitute, and the
// table dropped after. AExtraSelect adds select columns, AItemSource is the
// replaced item's source (aliased ri), AExtraJoin adds joins.
QString ItemSubsListSelectSQL(const QString& AExtraSelect, const QString& AItemSource, const QString& AExtraJoin);

// The names of the bill types (0 to 9) a substitute list's BomType column
// shows, from the system list the BomType field of ADef names; none when ADef
// has no such field.
void AddBomTypeNames(kvui::ImageComboProperties& ATypes, TInfoObjectDef* ADef);

// A new bill of materials document for the bill ABomType / ABomID (both
// empty: the global substitutes), made by the logged-in user. Throws when no
// ERP library is connected.
IBillPtr NewSubstituteBill(const QVariant& ABomType, const QString& ABomID);

// The row (ARowHook, item AItemID) keeps no substitutes of its own.
void AddRowWithoutSubstitutes(const IRowListPtr& AList, const QString& AItemID, const QString& ARowHook);

// One substitute ASub of the row (ARowHook, item AItemID): its item and
// properties, quantities in base units, validity and note.
void AddSubstituteRow(const IRowListPtr& AList, const QString& AItemID, const QString& ARowHook, kvui::TreeNode* ASub,
                      const ItemSubsEdit::TSubsColumns& ACols);

// Hands the document to the ERP; a refusal is thrown with the ERP's reason.
void SaveSubstituteBill(const IBillPtr& ABill);

// Runs ASave, the saving of a view's changed substitutes. True when it ran
// through; a failure is shown to the user with its reason and gives false.
bool RunSubstituteSave(const std::function<void()>& ASave);

} // namespace ItemSubsRows
