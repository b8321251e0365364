#pragma once
// The output options of the three bill types the output view produces
// (production, subcontracting, purchase), one tab each; OK stores all three.
#include "clsDialog.h"
#include "untMRPOutputOptions.h"

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTabBar;
class TPickEditProperties;

class TMRPOutputSetDlg : public TDialog {
    Q_OBJECT
public:
    explicit TMRPOutputSetDlg(QWidget* parent = nullptr);
    ~TMRPOutputSetDlg() override;

    QTabBar* Pages;
    QGroupBox* cxGroupBox1;
    QLabel* lblMergeTrack;
    QComboBox* cboMergeTrack;
    QCheckBox* chkMergePeriods;
    QGroupBox* cxGroupBox2;
    QLabel* lblBillSplitBy1;
    QComboBox* cboBillSplitBy1;
    QLabel* lblBillSplitBy2;
    QComboBox* cboBillSplitBy2;
    QLabel* lblBillSplitBy3;
    QComboBox* cboBillSplitBy3;
    QLabel* lblBillSortBy1;
    QComboBox* cboBillSortBy1;
    QLabel* lblBillSortBy2;
    QComboBox* cboBillSortBy2;
    QLabel* lblBillSortBy3;
    QComboBox* cboBillSortBy3;
    QLabel* lblBillMaxRows;
    QSpinBox* edtBillMaxRows;
    QLabel* lblDepartment;
    QLineEdit* edtDepartment;
    QLabel* lblEmployee;
    QLineEdit* edtEmployee;
    QLabel* lblItemSubs;
    QComboBox* cboItemSubs;
    QCheckBox* chkOutPBoms;
    QCheckBox* chkLotRule;

    // One record per tab, in tab order.
    TMRPOutputOptions FOptions[3];

    // The bill type of a tab (of the selected one for -1).
    int TabBillType(int ATab = -1) const;
    // Fills the controls from the selected tab's record.
    void LoadOutputOptionsPage();
    // Checks the controls and stores them into the selected tab's record; a
    // failure is shown and gives False.
    bool CheckOutputOptionsPage();

    // Runs the dialog modally; tests replace it to drive the dialog.
    static std::function<int(TMRPOutputSetDlg&)> ExecHook;
    // Shows the selected tab's record before the dialog is visible.
    void PagesChangeFromStart();

public slots:
    void accept() override;

private:
    void PagesChange(int AIndex);
    void cboBillSplitBy1PropertiesChange();
    void cboBillSplitBy2PropertiesChange();
    void cboBillSortBy1PropertiesChange();
    void cboBillSortBy2PropertiesChange();
    void chkOutPBomsPropertiesChange();
    bool FSplitEnabled = true;
    int FShownTab = -1;
    std::unique_ptr<TPickEditProperties> FDeptPick;
    std::unique_ptr<TPickEditProperties> FEmpPick;
};

// Edits the options of production, the subcontract type in use and purchase,
// starting on the tab of ABillType. True when confirmed and stored.
bool ShowMRPOutputSetDlg(int ABillType);
