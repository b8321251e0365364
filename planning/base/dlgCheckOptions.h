#pragma once
// A small modal dialog that lets the user tick options before an operation:
// one check box per caption, in a titled group.
#include "clsDialog.h"

#include <QList>
#include <QString>
#include <QStringList>

class QCheckBox;
class QGroupBox;

class TCheckOptionsDlg : public TDialog {
    Q_OBJECT
public:
    explicit TCheckOptionsDlg(QWidget* parent = nullptr);
    // The check group built for one call, and its items in caption order.
    QGroupBox* FItems = nullptr;
    QList<QCheckBox*> Items;
};

using TBooleanDynArray = QList<bool>;

// Shows one check box per caption, ticked as AChecks says (extra checks are
// ignored, missing ones start unticked). On OK, AChecks receives exactly one
// tick per caption and the result is True; otherwise AChecks is untouched.
// ADialogCaption replaces the dialog's caption when not empty.
bool ShowCheckOptionsDlg(const QStringList& ACaptions, TBooleanDynArray& AChecks, const QString& AGroupCaption,
                         const QString& ADialogCaption);
