#pragma once
// The read-only columns the planning views and dialogs of this folder build
// their trees from.
#include "TreeList.h"

#include <QString>

namespace TreeColumns {

// A column of ATree in band ABand, captioned ACaption, holding values of
// AValueType ("String", "Integer", "Float", "Boolean", "DateTime"), AWidth
// wide and not editable (a view opens the editable ones in its edit mode).
kvui::Column* AddReadOnly(kvui::TreeList* ATree, const QString& ACaption, int ABand, const char* AValueType, int AWidth);

} // namespace TreeColumns
