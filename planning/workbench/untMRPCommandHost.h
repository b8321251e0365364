#pragma once
// What the scheme commands of the workbench (main-demand fetch and import,
// MRP run) need of the frame that owns the scheme: the scheme and its
// connection, the frame's state check, its list refresh and its tabs. The
// frame fills one of these; tests fill it with their own small stand-ins.
#include "untMRP.h"

#include <QDate>
#include <cmath>
#include <functional>

class QObject;
class QString;

struct TMRPCommandHost {
    TPlanScheme* Scheme = nullptr;
    // The frame's own view-scheme text, where the main-demand source options live.
    QString* ViewSchemeParams = nullptr;
    // CheckPlanState: the scheme's state is still the one shown (a changed
    // scheme reloads the list when ARefreshData).
    std::function<bool(bool ARefreshData)> CheckPlanState;
    // actRefreshExecute with the command that asks for it (nullptr for none).
    std::function<void(QObject* ASender)> Refresh;
    // CloseResultViews: closes the data of the result views, the main-demand
    // view only when asked.
    std::function<void(bool AIncludeMain)> CloseResultViews;
    // Brings the scheme tab to the front.
    std::function<void()> ActivateSchemeTab;
    // The run command itself, handed to Refresh after a run so the log stays.
    QObject* RunMRPSender = nullptr;
};

// Whether a scheme time was ever set (a time up to the year 1900 means never).
inline bool SchemeTimeIsSet(TDateTime ATime)
{
    return QDate(1899, 12, 30).addDays(qint64(std::floor(ATime))).year() > 1900;
}
