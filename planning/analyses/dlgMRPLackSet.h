#pragma once
// The settings dialog of the production-shortage analysis ("生产缺料分析"):
// the material-issue demands to analyse (production-task and subcontract-order
// lines picked one by one, or all open orders, optionally due up to a date)
// and the MRP options. OK checks the choice, writes the analysis's private
// scheme with daily periods up to the horizon and replaces its main demand.
#include "dlgMRPminiSetBase.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QRadioButton;

class TMRPLackSetDlg : public TMRPminiSetDlgBase {
    Q_OBJECT
public:
    explicit TMRPLackSetDlg(QWidget* parent = nullptr);

    void Prepare() override;
    void LoadScheme() override;
    bool SaveScheme() override;

    QLabel* lblBillType;
    QComboBox* cboBillType;
    QRadioButton* rdbAll;
    QRadioButton* rdbEndDate;
    QDateEdit* dteEndDate;
    QAction* actNeedAddMO;
    QAction* actNeedAddOO;

    void cboBillTypePropertiesChange();
    void rdbBillScopeClick();
    void ActionListUpdate() override;
    // Picks production-task (22) or subcontract-order (24) lines.
    void NeedAdd(int ABillType);
    void NeedLinesPicked(TCustomADODataSet* ADataSet, const QList<int>& ASelRecords);
    bool CloseWithOk() override;

private:
    void BuildGridColumns();
    void LoadLines();
};

// Shows the dialog for the analysis's settings and private scheme; True on OK
// (the scheme's parameter text then holds the new settings).
bool ShowMRPLackSetDlg(PViewScheme AScheme, TPlanScheme* APlanScheme);
