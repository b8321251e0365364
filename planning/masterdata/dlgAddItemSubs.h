#pragma once
// Asks for one substitute item with its quantities, validity, note and the
// place where it goes, for adding it under several selected rows at once.
#include "clsDialog.h"
#include "clsPickEdit.h"

#include <QDate>

class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

class TAddItemSubsDlg : public TDialog {
    Q_OBJECT
public:
    // AItemFields: the "|" list of the caller's "Item_" fields, shown in the pick list.
    explicit TAddItemSubsDlg(QWidget* parent = nullptr, const QString& AItemFields = QString());

    QComboBox* cboInsPos;
    TPickEdit* edtItmNo;
    QLineEdit* edtItmName;
    QLineEdit* edtItmSpec;
    QDoubleSpinBox* spnCurrQty;
    QLabel* lblCurrUnit;
    QDoubleSpinBox* spnBaseQty;
    QLabel* lblBaseUnit;
    QDateEdit* dteDateBegin;
    QDateEdit* dteDateEnd;
    QLineEdit* edtNote;

    QString ItemID() const { return FItemID; }
    TPickEditProperties* ItemPick() const { return FPick.get(); }
    // Looks the typed number up when it changed (as leaving the box does).
    void edtItmNoExit();
    void done(int r) override;

private:
    QString FItemID;
    QString FItemNo;
    QLabel* lblItmNo;
    QLabel* lblCurrQty;
    QLabel* lblBaseQty;
    QLabel* lblDateBegin;
    QLabel* lblDateEnd;
    std::shared_ptr<TPickEditProperties> FPick;
    bool eventFilter(QObject* o, QEvent* e) override;
};

// APosition: 0 at the end, 1 in front, 2 after the selected, 3 before it
// (AOnlyEnds offers the first two only). AItemFields: the caller's "|" list
// of item fields shown in the pick list.
bool ShowAddItemSubsDlg(quint8& APosition, QString& AItemID, QString& ANote, double& ASubQty, double& ABaseQty,
                        QDate& ABeginDate, QDate& AEndDate, bool AOnlyEnds, const QString& AItemFields);
