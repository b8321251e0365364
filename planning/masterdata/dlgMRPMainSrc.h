#pragma once
// Where a scheme's main demand comes from: business documents of one kind,
// an external data source, or another plan scheme (its main demand or its
// supply plan), and how rows already present are treated.
#include "clsDialog.h"

#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

enum TMRPMainImportType {
    itSelectSO,
    itSelectSI,
    itSelectForcast,
    itSelectMO,
    itSelectMR,
    itSelectOO,
    itSelectOR,
    itImportSOorForcast,
    itImportMOorOO,
    itImportFreeNeed,
    itMRPMain,
    itMRPSupplies
};

class TMRPMainSourceDlg : public TDialog {
    Q_OBJECT
public:
    explicit TMRPMainSourceDlg(QWidget* parent = nullptr);

    QLabel* lblWriteType;
    QComboBox* cboWriteType;
    QRadioButton* rdbBills;
    QComboBox* cboBills;
    QCheckBox* chkShowFilter;
    QRadioButton* rdbScheme;
    QComboBox* cboScheme;
    QComboBox* cboMrpType;
    QCheckBox* chkSynPeriod;
    QRadioButton* rdbImport;
    QComboBox* cboImport;

    // The bill kinds and import kinds offered, by the bill types the
    // database's value list holds.
    void FillSourceLists();
    void RestoreImportType(TMRPMainImportType AImportType);
    // The schemes the user may copy from, except the current one; False after
    // a failed read (the list then stays empty).
    bool LoadSchemes(int ACurrentSchemeIID);
    void UpdateControls();
    // The choice as an import type (only meaningful while OK is enabled).
    TMRPMainImportType ChosenImportType() const;
};

// Shows the dialog with the previous choices; ASchemeIID is the current
// scheme's identity. On OK returns True with the write type, the filter flag
// and the import type; with the scheme source also ASchemeIID (the source
// scheme) and ASynPeriods. Cancel returns False and changes nothing.
bool ShowMRPMainSourceDlg(TMRPMainImportType& AImportType, std::uint8_t& AWriteType, bool& AShowFilter, bool& ASynPeriods,
                          int& ASchemeIID);
