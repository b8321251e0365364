#include "untViewActions.h"

#include "clsInfoView.h"
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

void SwitchEditMode(TCustomInfoView* AView, bool ARebuildOnDiscard, const std::function<void(bool)>& ASetEditMode)
{
    if (AView->GetEditMode() && AView->Modified) {
        bool discarded = false;
        if (!AView->AskSaveEdits(&discarded))
            return;
        if (discarded)
            AView->RefreshData(ARebuildOnDiscard);
    }
    ASetEditMode(!AView->GetEditMode());
}

} // namespace ViewActions
