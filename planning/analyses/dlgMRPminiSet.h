#pragma once
// The settings dialog of the kit-availability analysis ("物料配套分析"): the
// main demands to analyse (lines picked from sales orders, stock-in bills,
// forecasts and scrap bills, or typed by hand) and the MRP options. OK checks
// every line, writes the analysis's private scheme with daily periods up to the
// latest demand and replaces its main demand.
#include "clsViewSetting.h"
#include "untMRP.h"

#include <QDate>
#include <QVariant>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class TMRPminiOptionsBox;
class TPickEditProperties;
namespace kvui {
class TreeList;
class BandedGrid;
class Column;
class DataSetSource;
class ImageComboProperties;
} // namespace kvui

class TMRPminiSetDlg : public TViewSettingDlg {
    Q_OBJECT
public:
    explicit TMRPminiSetDlg(QWidget* parent = nullptr);
    ~TMRPminiSetDlg() override;

    void Prepare() override;
    void LoadScheme() override;
    bool SaveScheme() override;

    QTabWidget* Pages;
    QWidget* tabMain;
    QWidget* tabOptions;
    QLabel* lblMain;
    QCheckBox* chkShowFilter;
    QToolButton* btnAddBills;
    QMenu* popAddBills;
    kvui::BandedGrid* grdMain;
    TADOQuery* qryMain;
    kvui::DataSetSource* FMainSource = nullptr;
    QAction* actNeedInsert;
    QAction* actNeedDelete;
    QAction* actNeedClear;
    kvui::TreeList* trlMRPFilters;
    QAction* actSetMRPFilter;
    TMRPminiOptionsBox* gbxOptions;

    TPlanScheme* FPlanScheme = nullptr;
    QDate FMaxDate;

    kvui::Column* Column(const QString& AFieldName) const;
    // The lines in grid order (record indexes of the buffer).
    QList<int> Lines() const;
    QVariant LineValue(int ALine, const QString& AField) const;
    void SetLineValue(int ALine, const QString& AField, const QVariant& AValue);

    // Chooses a bill source: remembers it, asks for its filter when wished,
    // and opens the pick list of its lines.
    void PickBills(const QString& AObjectID);
    // Adds the chosen rows of the pick list as lines.
    void AddPickedBills(TCustomADODataSet* ADataSet, const QList<int>& ASelRecords);
    void NeedInsert();
    void NeedDelete();
    void NeedClear();
    // A typed item code: the line takes the item's identity and names.
    void ItemCodeChanged(int ALine);
    // Whether a cell may be edited (a hand-typed line has no bill number).
    bool CanEditCell(int ALine, kvui::Column* AColumn) const;
    void ActionListUpdate();
    // The option boxes follow the checks of the filter tree.
    void UpdateCareAlloted();
    void actSetMRPFilterExecute();
    // The checks and writes of OK; False keeps the dialog open.
    bool CloseWithOk();

public slots:
    void done(int r) override;

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    void BuildGridColumns();
    void LoadLines();
    // Warns about a line: switches to the lines, focuses the cell.
    void LineWarning(int ALine, const QString& AField, const QString& AText);
    std::shared_ptr<TPickEditProperties> FPickEditProperties;
    std::shared_ptr<kvui::ImageComboProperties> FGroupTypeProperties;
    std::shared_ptr<kvui::ImageComboProperties> FBillTypeProperties;
    QVariant FOldValue;
    QString FBillSource;
    QWidget* FSchemeGroup = nullptr;
};

// Shows the dialog for the analysis's settings and private scheme; True on OK
// (AViewScheme.Params then holds the new settings).
bool ShowMRPminiSetDlg(TViewScheme& AViewScheme, TPlanScheme* APlanScheme);
