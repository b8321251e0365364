#include "untViewActions.h"

#include "untApplication.h"
#include "untInfoObjectDef.h"

namespace ViewActions {

QString ActionID(const TInfoObjectDef* AObjectDef, int ACommandIndex)
{
    const int index = ACommandIndex - Commands::FirstAction;
    if (!AObjectDef || index < 0 || index >= int(AObjectDef->Actions.size()))
        return QString();
    return AObjectDef->Actions[size_t(index)].ID;
}

} // namespace ViewActions
