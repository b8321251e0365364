#pragma once
// The view contract IInfoView and its base implementation TCustomInfoView:
// scheme loading, master-value conditions, the SELECT builder, command state
// and execution, and closing. Grid, tree and master-detail views derive from it.
#include "untInfoObjectDef.h"

#include <QString>

// The text that stands for the master condition in a detail view's stored
// SELECT: U+F8F5 "[Master]" U+F8F5.
inline const QString MasterPlaceholder = QChar(0xF8F5) + QStringLiteral("[Master]") + QChar(0xF8F5);

// The condition on one master value of a field of the definition: "1=0" when
// the definition lacks the field or the value cannot stand for its type.
QString BuildMasterValueCondition(TInfoObjectDef* AObjectDef, const QString& AFieldID, const QString& AValue);
// The condition for master values given as lines field=value. With a field ID:
// that field's condition (an absent line counts as an empty value). Without:
// every line's condition joined by " and "; no lines give "1=0" (no master
// row, no detail rows).
QString BuildMasterValuesCondition(TInfoObjectDef* AObjectDef, const QString& AMasterValues, const QString& AFieldID);
