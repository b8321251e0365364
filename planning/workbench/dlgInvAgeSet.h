#pragma once
// The settings of one inventory-age analysis: which stock (today's or at a
// cut-off date), which stocks, an extra filter, which key parts to merge, how
// an item row's age is formed, the age groups and an optional reference plan
// scheme. The options live as items of the view scheme's parameter text and
// can be kept as named setting schemes.
#include "clsViewSetting.h"
#include "untInvAgeGroups.h"

#include <QComboBox>

class QDateEdit;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

// A combo box that tells when its list is about to open.
class TInitPopupComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
signals:
    void initPopup();
};

class TInvAgeSetDlg : public TViewSettingDlg {
    Q_OBJECT
public:
    explicit TInvAgeSetDlg(QWidget* parent = nullptr);

    QLabel* lblInvType;
    QRadioButton* rdbJustTime;
    QRadioButton* rdbEndDate;
    QDateEdit* dteEndDate;
    QLabel* lblInvStocks;
    QTreeWidget* trlInvStocks;
    QLabel* lblInvFilter;
    QPlainTextEdit* memInvFilter;
    QPushButton* btnSetInvFilter;
    QLabel* lblMergeItems;
    QListWidget* chbMergeItems;
    QLabel* lblAgeSumType;
    QComboBox* cboAgeSumType;
    QLabel* lblAgeGroups;
    QTreeWidget* trlAgeGroups;  // columns: colAgeGroup (caption), colAgeDays (width)
    QLabel* lblPlanScheme;
    TInitPopupComboBox* cboPlanScheme;

    // The date of today (the clock's unless a caller says otherwise).
    QDate Today;

    void Prepare() override;
    void LoadScheme() override;
    bool SaveScheme() override;

    void InvTypeOnClick();
    void trlAgeGroupsEdited();
    void btnSetInvFilterClick();
    void cboPlanSchemePropertiesInitPopup();
    // The checks of a chosen reference plan scheme; False (after a warning)
    // keeps the dialog open.
    bool CheckPlanScheme();

public slots:
    void done(int r) override;

private:
    QTreeWidgetItem* FStockRoot = nullptr;
    bool FPlanSchemesLoaded = false;
    bool FRebuilding = false;
    QString FCriteria;
    void setAgeGroupRows(const TAgeGroups& AGroups);
    void setFilterText(const QString& AText);
};

// Shows the settings of the view scheme AViewScheme; on OK its parameter
// text takes the options and the result is True.
bool ShowInvAgeSetDlg(PViewScheme AViewScheme);
