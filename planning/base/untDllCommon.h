#pragma once
// Routines that only the planning library's copies of the shared units carry:
// text helpers (UCommon), two data-access helpers (UDBComm), the tree-list
// column set-up from a field definition with two tree-list helpers
// (untCommonUI), and the select list of a view's required fields
// (TCustomInfoView of clsInfoView, as a free function over the view).
#include "UCommon.h"
#include "UDBComm.h"
#include "clsInfoView.h"
#include "untCommonUI.h"

// ---- UCommon ---------------------------------------------------------------
// Non-overlapping occurrences of ASubStr in AText, ignoring case.
int CountSubStr(const QString& ASubStr, const QString& AText);
// Each UTF-16 code unit as four upper-case hex digits: "abc" -> "006100620063".
QString StrToHexCodes(const QString& AText);
// The inverse: groups of four hex digits from the first character, each one
// character; a lone last digit is ignored, a shorter last group is read as it is.
QString HexCodesToStr(const QString& AText);
double IIfFloat(bool ACondition, double ATrue, double AFalse);
// A new GUID in brace form with upper-case digits.
QString NewGUIDString();

// ---- UDBComm ---------------------------------------------------------------
// The field's value, or Null when the data set has no such field.
QVariant GetFieldValue(TCustomADODataSet* ADataSet, const QString& AFieldName);
// Replaces the query's text, opens it and returns its record count. A failure
// is shown when AShowError, raised again when ARaise, and otherwise gives -1.
int OpenSQLCount(TADOQuery* AQuery, const QString& ASQL, bool ARaise, bool AShowError);

// ---- untCommonUI -----------------------------------------------------------
void SetTreeListColumnEnumEditor(kvui::Column* AColumn, PInfoFieldDef AFieldDef);
void SetTreeListColumnPickEditor(kvui::Column* AColumn, PInfoFieldDef AFieldDef);
// Editor and display rules of a tree-list column from its field definition;
// a column that already has an editor or a display handler keeps it.
void SetupTreeListColumn(PInfoFieldDef AFieldDef, kvui::Column* AColumn);
// Index of the last item whose value equals AValue; -1 when none.
int FindImageComboItemIndex(const QVariant& AValue, const kvui::ImageComboProperties* AImageCombo);
// The level-0 ancestor of the node (the node itself at level 0).
kvui::TreeNode* GetTopLevelNode(kvui::TreeNode* ANode);

// ---- clsInfoView -----------------------------------------------------------
// The select list of the view's query: the scheme's parsed list, then every
// field the view needs although the user may not have chosen it (keys, fields
// hidden from lists, fields with a view sign, the "|"-separated AFieldList)
// and that the scheme's "[Fields]" does not already hold, as ", expr as [ID]",
// walking the definition's fields from the last to the first.
QString BuildFieldSelectList(TCustomInfoView* AView, const QString& AFieldList);
