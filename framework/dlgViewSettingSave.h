#pragma once
// Asks for the name under which a setting scheme is saved and whether other
// users may use it; offers the user's own schemes for overwriting and
// confirms an overwrite.
#include "clsDialog.h"

#include <QList>
#include <QString>

class QCheckBox;
class QComboBox;

// One entry of a scheme chooser: its kind (1 own private, 2 own shared,
// others are not offered) and its text.
struct TViewSettingItem {
    int Kind = 0;
    QString Text;
};
using TViewSettingItems = QList<TViewSettingItem>;

class TViewSettingSaveDlg : public TDialog {
    Q_OBJECT
public:
    explicit TViewSettingSaveDlg(QWidget* parent = nullptr);
    // Fills the name list from the chooser's entries.
    void SetItems(const TViewSettingItems& AItems);

    QComboBox* edtName;
    QCheckBox* chkShared;

public slots:
    // Closing with OK: the name must not be empty, and an existing one is
    // overwritten only after the user agrees.
    void accept() override;

private:
    void nameChosen(int AIndex);
};

// True when the user confirmed; AName is then the trimmed name.
bool ShowViewSettingSaveDlg(const QString& ASchemeID, const TViewSettingItems& AItems, QString& AName, bool& AShared);
