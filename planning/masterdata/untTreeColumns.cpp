#include "untTreeColumns.h"

namespace TreeColumns {

kvui::Column* AddReadOnly(kvui::TreeList* ATree, const QString& ACaption, int ABand, const char* AValueType, int AWidth)
{
    kvui::Column* c = ATree->addColumn(ACaption, QString(), ABand);
    c->setValueType(QLatin1String(AValueType));
    c->setEditable(false);
    c->setWidth(AWidth);
    return c;
}

} // namespace TreeColumns
