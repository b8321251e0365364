#pragma once
// The editor of a stepped loss text: the steps as a table (upper bound, range,
// kind, value) checked against the step rules, a trial calculation, and the
// button-edit column that opens it from a grid cell.
#include "clsDialog.h"
#include "untCommonUI.h"

#include <QList>
#include <QString>
#include <QVariant>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// One row of the table: empty values are Null.
struct TLossRateStepRow {
    QVariant Qty;    // upper bound of the step
    QVariant Type;   // 0 percentage, 1 smooth to percentage, 2 fixed quantity
    QVariant Value;  // loss value
};

// The rows of a step text as the editor shows them (no row for an empty text).
QList<TLossRateStepRow> LossRateTextToRows(const QString& AText);
// The range description of each row ("标准用量 ≤ 100", ...).
QStringList LossRateRangeTexts(const QList<TLossRateStepRow>& ARows);

// The outcome of checking the table: the step text, or the first broken rule
// with its row and the column to focus (0 quantity, 1 type, 2 value).
struct TLossRateCheck {
    bool Ok = false;
    QString Text;
    int Row = -1;
    int Column = -1;
    QString Message;
};
// ADivide: the divide formula is in use (rates of 100 % or more refused).
TLossRateCheck CheckLossRateRows(const QList<TLossRateStepRow>& ARows, bool ADivide);

class TLossRateDlg : public TDialog {
    Q_OBJECT
public:
    explicit TLossRateDlg(QWidget* parent = nullptr);

    QLabel* lblLossRate;
    QLabel* lblFormula;
    kvui::TreeList* trlLossRate;
    kvui::Column* colQty;
    kvui::Column* colText;
    kvui::Column* colType;
    kvui::Column* colValue;
    QPushButton* btnAdd;
    QPushButton* btnRemove;
    QGroupBox* gbxTest;
    QLabel* lblTestQty;
    QLineEdit* edtTestQty;
    QPushButton* btnTest;
    QLabel* cxLabel2;
    QLineEdit* edtTestLoss;
    QPushButton* btnClear;

    QString LossRateStr() const { return FLossRateStr; }
    void SetLossRateStr(const QString& AText) { FLossRateStr = AText; }
    void LoadSteps();
    // Checks the table; on success FLossRateStr holds its text. A broken rule
    // is shown and its cell focused.
    bool CheckAndBuildText();
    QList<TLossRateStepRow> Rows() const;

    void btnAddClick(bool AByUser = true);
    void btnRemoveClick();
    void btnTestClick();
    void btnClearClick();
    void RebuildRangeTexts();

    void done(int r) override;

private:
    QString FLossRateStr;
};

// Opens the editor on a text; True with the accepted text (empty after
// "清除设置"), False when cancelled (AText unchanged).
bool ShowLossRateDlg(QString& AText);

// A grid column's editor for step texts: typing is refused, the button opens
// the editor and posts its text into the cell.
class TLossRateEditProperties : public TExButtonEditProperties {
public:
    TLossRateEditProperties();
};
