#pragma once
// The product forecast bill editor of the info object QZ_MRP.Forcast: a head
// (number, date, creator, checker, check date) and the detail lines (item with
// its properties, customer, unit and quantities, delivery date, demand classes,
// MRP group, note). It reads the bill through the object's own definition and
// never writes forecast tables itself: a save hands the whole bill to the ERP
// integration library as a forecast document (kind 1), check and uncheck go
// through the account set's forecast procedure.
#include "clsInfoEdit.h"
#include "untERPaccess.h"

#include <QVariant>

class QDateEdit;
class QLineEdit;
class QToolButton;

class TForcastEditor : public TCustomInfoEdit {
    Q_OBJECT
public:
    TForcastEditor(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TForcastEditor() override;

    // Head
    QLabel* lblBillNo = nullptr;
    QLineEdit* edtBillNo = nullptr;
    QLabel* lblDate = nullptr;
    QDateEdit* dteDate = nullptr;
    QLabel* lblCreater = nullptr;
    QLineEdit* edtCreater = nullptr;
    QLabel* lblChecker = nullptr;
    QLineEdit* edtChecker = nullptr;
    QLabel* lblCheckDate = nullptr;
    QLineEdit* edtCheckDate = nullptr;

    // Detail lines and their navigator (append button, "row / rows")
    kvui::TreeList* grdDetail = nullptr;
    QToolButton* btnAppendRow = nullptr;
    QLabel* lblRecordInfo = nullptr;
    kvui::Column* colForEntry = nullptr;
    kvui::Column* colItmNo = nullptr;
    kvui::Column* colItmName = nullptr;
    kvui::Column* colItmSpec = nullptr;
    kvui::Column* colItmProp[10] = {};
    kvui::Column* colCustName = nullptr;
    kvui::Column* colForItmID = nullptr;
    kvui::Column* colForCustID = nullptr;
    kvui::Column* colUnitFactor = nullptr;
    kvui::Column* colForUnitID = nullptr;
    kvui::Column* colItmPropMask = nullptr;
    kvui::Column* colForOrigTag = nullptr;
    kvui::Column* colForOrigSubTag = nullptr;
    kvui::Column* colForGroupType = nullptr;
    kvui::Column* colForGroupNo = nullptr;
    kvui::Column* colForNote = nullptr;
    kvui::Column* colUnitName = nullptr;
    kvui::Column* colUnitBase = nullptr;
    kvui::Column* colItmProps = nullptr;
    kvui::Column* colForUBillQty = nullptr;
    kvui::Column* colForBillQty = nullptr;
    kvui::Column* colForDelivDate = nullptr;

    void InitializeEdit() override;
    bool SaveData() override;
    void OpenData(const QString& AKeyValues, const QString& AActionID) override;
    bool DataInEdit(const QString& AKeyValues) override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

    // The identity of the bill shown (empty for a new bill not saved yet) and
    // the number the ERP library proposed for a new bill.
    QString BillID() const { return FBillID; }
    QString NewBillNo() const { return FNewBillNo; }
    // Whether a cell of a line may be edited (the group number only with a
    // group type, a property only when the line's item uses it).
    bool IsCellEditable(kvui::TreeNode* ANode, kvui::Column* AColumn) const;
    // Appends an empty line (the navigator's append button).
    kvui::TreeNode* AppendRow();

private:
    void ApplyEditState();
    bool IsEditing() const { return EditMode != emNone; }
    bool BeforeCellEdit(kvui::TreeNode* ANode, kvui::Column* AColumn);
    void AfterCellChanged(kvui::TreeNode* ANode, kvui::Column* AColumn, const QVariant& AValue);
    void LookupItem(kvui::TreeNode* ANode, const QString& AItemNo);
    void LookupCustomer(kvui::TreeNode* ANode, const QString& AText);
    void FocusCell(kvui::TreeNode* ANode, kvui::Column* AColumn);
    void UpdateRecordInfo();
    kvui::Column* PropertyColumn(int AProperty) const;
    void HeadChanged();
    bool DetailKeyPress(QKeyEvent* AEvent);

    bool eventFilter(QObject* AWatched, QEvent* AEvent) override;

    IBillPtr FBill;
    QString FBillID;
    QString FNewBillNo;
    QVariant FOldValue;
    bool FLoading = false;
};
