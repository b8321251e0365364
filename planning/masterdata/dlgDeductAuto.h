#pragma once
// The options of an automatic deduction run: which forecasts, sales orders
// and export orders take part (a stored filter per kind) and how forecasts and
// orders are paired (same week or month of delivery, or delivery-date order
// within a window of days). The last choices are kept per user.
#include "clsDialog.h"
#include "untMRPDataTypes.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QGroupBox;

// The options as stored in the user setting "AutoDeductOptions": seven items
// separated by ",": the three span flags ("1"/"0"), the switch date as
// yyyy-MM-dd (whatever the user's locale), the days before and after, the
// keep flag. An empty text gives the defaults (weeks, no switch, 0 and 30 days,
// keep earlier results); an unreadable item falls back to false, no date or 0.
void ReadAutoDeductOptionsText(const QString& AText, TAuotDeductOptions& AOptions);
QString AutoDeductOptionsText(const TAuotDeductOptions& AOptions);

class TDeductAutoDlg : public TDialog {
    Q_OBJECT
public:
    explicit TDeductAutoDlg(QWidget* parent = nullptr);

    QLabel* lblTips;
    QLabel* lblForcast;
    QPlainTextEdit* memForcast;
    QPushButton* btnForcast;
    QLabel* lblSO;
    QPlainTextEdit* memSO;
    QPushButton* btnSO;
    QLabel* lblSI;
    QPlainTextEdit* memSI;
    QPushButton* btnSI;
    QRadioButton* rdbSpan;
    QGroupBox* gbxSpan;
    QLabel* lblSpan1;
    QComboBox* cboSpan;
    QLabel* lblSpan2;
    QCheckBox* chkDate;
    QDateEdit* edtDate;
    QLabel* lblSpan3;
    QRadioButton* rdbOrder;
    QGroupBox* gbxOrder;
    QLabel* lblOrder1;
    QSpinBox* edtBefore;
    QLabel* lblOrder2;
    QLabel* lblOrder3;
    QSpinBox* edtAfter;
    QLabel* lblOrder4;
    QCheckBox* chkKeep;

    QString FForcastFilterCode;
    QString FSOFilterCode;
    QString FSIFilterCode;

    // The date edit shows nothing (the user cleared it or typed no valid date).
    bool DateIsEmpty() const;
    void SetDateEmpty();

    void btnForcastClick();
    void btnSOClick();
    void btnSIClick();
    void OnDeductKindClick();
    void cboSpanPropertiesChange();
    void chkDatePropertiesChange();

    // Runs the dialog modally; tests answer it through ExecHook instead.
    int Run();
    static std::function<int(TDeductAutoDlg&)> ExecHook;

public slots:
    void done(int r) override;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void pickFilter(const QString& AObjectID, QString& ACode, QPlainTextEdit* AMemo);
};

// Shows the dialog with the user's last choices. True when confirmed: the
// record holds the choices and they are stored again. False on Cancel: the
// options hold what the settings said, the filter codes stay as they were.
bool ShowDeductAutoDlg(TAuotDeductOptions& AOptions);
