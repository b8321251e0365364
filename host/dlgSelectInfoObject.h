#pragma once
// The info-object picker: modules and their info objects in menu order;
// returns the objects chosen.
#include "TreeList.h"
#include "clsDialog.h"

#include <QStringList>

class QLabel;

int InfoObjectImageIndex(int AObjType, bool AExisting);

// Fills the tree (cleared first) with the modules as folders and the offered
// objects under them or under "(未分类)"; empty folders go, the rest is
// expanded. AExisting holds the IDs already chosen (shown marked).
void LoadInfoObjectTree(kvui::TreeList* ATreeList, kvui::Column* AIDColumn, kvui::Column* ANameColumn, int AObjectState,
                        const QStringList& AExisting);

class TSelectInfoObjectDlg : public TDialog {
    Q_OBJECT
public:
    explicit TSelectInfoObjectDlg(QWidget* parent = nullptr);

    kvui::TreeList* grdObjects;
    kvui::Column* colObjectID;
    kvui::Column* colObjectName;
    QLabel* lblObjects;
    QStringList* FInfoObjects = nullptr;

    void done(int r) override;
};

// On entry AInfoObjects holds the IDs already chosen; on OK it holds one line
// "ID=name" per newly chosen object.
bool ShowSelectInfoObjectDlg(QStringList& AInfoObjects, bool AMultiSelect, const QString& ALabel);
