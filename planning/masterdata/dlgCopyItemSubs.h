#pragma once
// The copy-substitutes dialog: the planner searches source products, sees
// their bills of materials with only the rows whose item and property set
// also stand in the target bill, and under them their local substitutes, and
// checks the substitute relations to copy into the target bill.
#include "TreeList.h"
#include "clsDialog.h"

#include <QDate>
#include <QStringList>
#include <QVariant>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TADOQuery;
namespace kvui { class ButtonEdit; }
class TPickEditProperties;

// One substitute relation chosen for copying.
struct TItemSubRec {
    QString ItemID;          // the replaced item (the source row's)
    QString ItemProps;       // its property combination
    QString SubItemID;
    QString SubItemNo, SubItemName, SubItemSpec;
    QString SubItemProps;
    QString SubProp[10];
    QString SubPropMask;
    QString SubTypeName;
    int SubMrpType = 0;
    QString SubUnit;         // unit of the substitute's quantity
    double SubFactor = 1;    // that unit's factor
    double ItemUQty = 0;     // quantity of the replaced item in the row's unit
    double SubUQty = 0;      // substitute quantity in its unit
    QString SubBaseUnit;
    double ItemQty = 0;      // quantity of the replaced item in base units
    double SubQty = 0;       // substitute quantity in base units
    QDate BeginDate, EndDate;
    QString Note;
    QVariantList FreeFields; // values of the free-field columns, in their order
};
using TItemSubRecs = QList<TItemSubRec>;

class TCopyItemSubsDlg : public TDialog {
    Q_OBJECT
public:
    explicit TCopyItemSubsDlg(QWidget* AParent = nullptr);
    ~TCopyItemSubsDlg() override;

    QLabel* lblItmNo;
    kvui::ButtonEdit* edtItmNo;
    QPushButton* btnSearch;
    QLabel* cxLabel1;
    QLineEdit* edtTarget;
    kvui::TreeList* grdExpand;
    QCheckBox* chkOverwrite;

    kvui::Column* colBomNo;
    kvui::Column* colBomType;
    kvui::Column* colBomItmNo;
    kvui::Column* colBomItmName;
    kvui::Column* colBomItmSpec;
    kvui::Column* colBomFixed;
    kvui::Column* colBomUnit;
    kvui::Column* colBomUCurrQty;
    kvui::Column* colBomUBaseQty;
    kvui::Column* colBomBaseUnit;
    kvui::Column* colBomCurrQty;
    kvui::Column* colBomBaseQty;
    kvui::Column* colBomBeginDate;
    kvui::Column* colBomEndDate;
    kvui::Column* colBomItmTypeName;
    kvui::Column* colBomItmMrpType;
    kvui::Column* colBomNote;
    kvui::Column* colBomProp[10];
    kvui::Column* colBomProps;
    kvui::Column* colBomID;
    kvui::Column* colBomEntry;
    kvui::Column* colBomItmID;
    kvui::Column* colBomUnitFactor;
    kvui::Column* colBomPropMask;

    // Sets the dialog up for a target bill (ATargetBOM in the caller's tree,
    // whose rows are its children of image index 2 or more).
    void Setup(kvui::TreeNode* ATargetBOM, kvui::Column* AItemIDCol, kvui::Column* AItemPropsCol, int ATargetBomType,
               const QString& ATargetBomID, const QString& ATargetText, const QString& AFreeFields);
    void btnSearchClick();
    // The checks of OK; false keeps the dialog open.
    bool CanClose();
    void Result(TItemSubRecs& ASubs) const;
    QString FreeFieldIDs() const;
    void UpdateOkButton();

    void done(int r) override;

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    kvui::TreeNode* FTargetBOM = nullptr;
    kvui::Column* FItemIDCol = nullptr;
    kvui::Column* FItemPropsCol = nullptr;
    int FTargetBomType = 0;
    QString FTargetBomID;
    QString FItemFreeFieldsSQL;
    QString FItemFreeFromSQL;
    QList<std::pair<QString, kvui::Column*>> FItemFreeColumns;
    std::shared_ptr<TPickEditProperties> FPick;

    bool targetHasRow(const QString& AItemID, const QString& AProps) const;
    void fillNode(kvui::TreeNode* ANode, TADOQuery* AData, int ALevel);
    void checkChanged(kvui::TreeNode* ANode);
};

// Shows the dialog for a target bill; True on OK with ASubs (cleared first)
// and AOverwrite set, and AFreeFields (in: the caller's "|" list of "Item_"
// fields) turned into the identities of the free columns found, each ended
// by a line break, in the order of FreeFields.
bool ShowCopyItemSubsDlg(kvui::TreeNode* ATargetBOM, kvui::Column* AItemIDCol, kvui::Column* AItemPropsCol, int ATargetBomType,
                         const QString& ATargetBomID, const QString& ATargetText, QString& AFreeFields, TItemSubRecs& ASubs,
                         bool& AOverwrite);
