#pragma once
// The batch adjustment of a scheme's main demand: move planned quantities
// into one MPS period, or take per-period quantities from an import.
#include "clsDialog.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QRadioButton;
class TPlanScheme;

// Option bits of the dialog.
enum TMRPMainAdjustFlag {
    mafAdjPeriod = 1,  // adjust into a period
    mafOnlyPast = 2,   // only rows due before that period
    mafSelection = 4,  // the selected rows, else every row of the view
    mafImport = 8      // import adjustments
};

class TMRPMainAdjustDlg : public TDialog {
    Q_OBJECT
public:
    TMRPMainAdjustDlg(TPlanScheme* AScheme, int AFlags, int APeriod, QWidget* AParent = nullptr);
    QCheckBox* chkAdjPeriod;
    QComboBox* cboAdjPeriod;
    QCheckBox* chkOnlyPast;
    QRadioButton* rdbSelection;
    QRadioButton* rdbFullView;
    QCheckBox* chkAdjImport;

    int Flags() const;
    int Period() const;

private:
    void UpdateControls();
};

bool ShowMRPMainAdjustDlg(TPlanScheme* AScheme, int& AFlags, int& APeriod);
