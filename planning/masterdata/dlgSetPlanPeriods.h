#pragma once
// The plan-horizon dialog: edits the normal periods of a plan scheme on the
// calendar frame (days, weeks, months, spans, extending the prior period,
// removing) with the chosen factory calendar's rest days shown, and accepts
// only a gap-free run of periods.
#include "clsDialog.h"
#include "untMRPDataTypes.h"

#include <QDate>

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class TADOQuery;
class TCalendarFrame;
namespace kvui {
class TreeList;
}

class TSetPlanPeriodsDlg : public TDialog {
    Q_OBJECT
public:
    explicit TSetPlanPeriodsDlg(QWidget* parent = nullptr);

    QLabel* cxLabel1;
    QComboBox* cboCalendar;
    QPushButton* btnSetCalendar;
    TCalendarFrame* famCalendar;
    QLabel* cxLabel2;
    QPushButton* btnAddDay;
    QPushButton* btnAddWeek;
    QPushButton* btnAddMonth;
    QPushButton* btnAddSpan;
    QPushButton* btnMerge;
    QPushButton* btnRemove;
    QPushButton* btnRemoveAll;
    QLabel* cxLabel7;
    kvui::TreeList* trlPlanPeriods;

    QAction* actPeriodAddDay;
    QAction* actPeriodAddWeek;
    QAction* actPeriodAddMonth;
    QAction* actPeriodAddSpan;
    QAction* actPeriodMerge;
    QAction* actPeriodRemove;
    QAction* actPeriodRemoveAll;
    QAction* actSetCalender;

    void LoadCalendars(int ACalIID, TADOQuery* AQuery, const QDate& ADate);
    int SelectedCalIID() const;
    // Puts the normal periods of a scheme's list on the frame.
    void SetPeriods(const TPlanPeriods& APeriods);
    const TPlanPeriods& PlanPeriods() const { return FPlanPeriods; }
    // Enabling of the period actions by the selection and the periods held.
    void UpdateActions();

public slots:
    void accept() override;

private:
    void PeriodsChanged();
    void cboCalendarPropertiesChange();
    void actSetCalenderExecute();
    void grdCalendarSelectCell(int ACol, int ARow);
    void trlPlanPeriodsFocusedNodeChanged();

    TPlanPeriods FPlanPeriods; // the normal periods being edited
    TADOQuery* FQuery = nullptr;
};

// Edits a scheme's periods (delay, normal periods, exceed) and calendar. On OK
// ACalIID is the chosen calendar (0 when none) and APeriods the normal periods
// wrapped into a delay period before and an exceed period after them (empty
// without periods); the result is True. Otherwise both stay unchanged.
bool ShowSetPlanPeriodsDlg(TPlanPeriods& APeriods, int& ACalIID, TADOQuery* AQuery, const QDate& ADate);

// One node per normal period in array order, its array index kept as the
// node's data; the tree's signals stay quiet meanwhile.
void FillPlanPeriodTree(kvui::TreeList* ATree, const TPlanPeriods& APeriods);
