#pragma once
// The settings dialog of the production-shortage analysis ("生产缺料分析"):
// the material-issue demands to analyse (production-task and subcontract-order
// lines picked one by one, or all open orders, optionally due up to a date)
// and the MRP options. OK checks the choice, writes the analysis's private
// scheme with daily periods up to the horizon and replaces its main demand.
#include "clsViewSetting.h"
#include "untMRP.h"

#include <QDate>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QRadioButton;
class QTabWidget;
class TMRPminiOptionsBox;
class TPickEditProperties;
namespace kvui {
class TreeList;
class BandedGrid;
class Column;
class DataSetSource;
class ImageComboProperties;
} // namespace kvui

class TMRPLackSetDlg : public TViewSettingDlg {
    Q_OBJECT
public:
    explicit TMRPLackSetDlg(QWidget* parent = nullptr);
    ~TMRPLackSetDlg() override;

    void Prepare() override;
    void LoadScheme() override;
    bool SaveScheme() override;

    QTabWidget* Pages;
    QWidget* tabMain;
    QWidget* tabOptions;
    QLabel* lblBillType;
    QComboBox* cboBillType;
    QRadioButton* rdbAll;
    QRadioButton* rdbEndDate;
    QDateEdit* dteEndDate;
    kvui::BandedGrid* grdMain;
    TADOQuery* qryMain;
    kvui::DataSetSource* FMainSource = nullptr;
    QCheckBox* chkShowFilter;
    QAction* actNeedAddMO;
    QAction* actNeedAddOO;
    QAction* actNeedDelete;
    QAction* actNeedClear;
    kvui::TreeList* trlMRPFilters;
    QAction* actSetMRPFilter;
    TMRPminiOptionsBox* gbxOptions;

    TPlanScheme* FPlanScheme = nullptr;
    QDate FMaxDate;

    kvui::Column* Column(const QString& AFieldName) const;
    QVariant LineValue(int ALine, const QString& AField) const;
    void SetLineValue(int ALine, const QString& AField, const QVariant& AValue);
    int LineCount() const;

    void cboBillTypePropertiesChange();
    void rdbBillScopeClick();
    void ActionListUpdate();
    // The option boxes follow the checks of the filter tree.
    void UpdateCareAlloted();
    void actSetMRPFilterExecute();
    // Picks production-task (22) or subcontract-order (24) lines.
    void NeedAdd(int ABillType);
    void NeedLinesPicked(TCustomADODataSet* ADataSet, const QList<int>& ASelRecords);
    void NeedDelete();
    void NeedClear();
    // The checks and writes of OK; False keeps the dialog open.
    bool CloseWithOk();

public slots:
    void done(int r) override;

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    void BuildGridColumns();
    void LoadLines();
    void Warn(QWidget* AFocus, const QString& AText);
    void LineWarning(int ALine, const QString& AField, const QString& AText);
    std::shared_ptr<TPickEditProperties> FPickEditProperties;
    std::shared_ptr<kvui::ImageComboProperties> FBillTypeProperties;
    QWidget* FSchemeGroup = nullptr;
};

// Shows the dialog for the analysis's settings and private scheme; True on OK
// (the scheme's parameter text then holds the new settings).
bool ShowMRPLackSetDlg(PViewScheme AScheme, TPlanScheme* APlanScheme);
