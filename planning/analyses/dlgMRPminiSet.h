#pragma once
// The settings dialog of the kit-availability analysis ("物料配套分析"): the
// main demands to analyse (lines picked from sales orders, stock-in bills,
// forecasts and scrap bills, or typed by hand) and the MRP options. OK checks
// every line, writes the analysis's private scheme with daily periods up to the
// latest demand and replaces its main demand.
#include "dlgMRPminiSetBase.h"

class QLabel;
class QMenu;
class QToolButton;

class TMRPminiSetDlg : public TMRPminiSetDlgBase {
    Q_OBJECT
public:
    explicit TMRPminiSetDlg(QWidget* parent = nullptr);

    void Prepare() override;
    void LoadScheme() override;
    bool SaveScheme() override;

    QLabel* lblMain;
    QToolButton* btnAddBills;
    QMenu* popAddBills;
    QAction* actNeedInsert;

    // Chooses a bill source: remembers it, asks for its filter when wished,
    // and opens the pick list of its lines.
    void PickBills(const QString& AObjectID);
    // Adds the chosen rows of the pick list as lines.
    void AddPickedBills(TCustomADODataSet* ADataSet, const QList<int>& ASelRecords);
    void NeedInsert();
    // A typed item code: the line takes the item's identity and names.
    void ItemCodeChanged(int ALine);
    // Whether a cell may be edited (a hand-typed line has no bill number).
    bool CanEditCell(int ALine, kvui::Column* AColumn) const;
    void ActionListUpdate() override;
    bool CloseWithOk() override;

private:
    void BuildGridColumns();
    void LoadLines();
    std::shared_ptr<kvui::ImageComboProperties> FGroupTypeProperties;
    QVariant FOldValue;
    QString FBillSource;
};

// Shows the dialog for the analysis's settings and private scheme; True on OK
// (AViewScheme.Params then holds the new settings).
bool ShowMRPminiSetDlg(TViewScheme& AViewScheme, TPlanScheme* APlanScheme);
