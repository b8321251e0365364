#include "dlgCheckOptions.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

TCheckOptionsDlg::TCheckOptionsDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("CheckOptionsDlg"));
    setWindowTitle(QStringLiteral("指定选项"));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    resize(384, 100);
}

bool ShowCheckOptionsDlg(const QStringList& ACaptions, TBooleanDynArray& AChecks, const QString& AGroupCaption,
                         const QString& ADialogCaption)
{
    auto dlg = std::make_unique<TCheckOptionsDlg>();
    bool result = false;

    auto* group = new QGroupBox(dlg->ClientArea());
    group->setObjectName(QStringLiteral("FItems"));
    auto* layout = new QVBoxLayout(dlg->ClientArea());
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(group);
    auto* items = new QVBoxLayout(group);
    for (const QString& caption : ACaptions) {
        auto* box = new QCheckBox(caption, group);
        items->addWidget(box);
        dlg->Items << box;
    }
    group->setTitle(u' ' + AGroupCaption + u' ');
    if (!ADialogCaption.isEmpty())
        dlg->setWindowTitle(ADialogCaption);
    const int groupHeight = 25 * (int(ACaptions.size()) + 1);
    group->setMinimumSize(280, groupHeight);
    dlg->resize(384, groupHeight + 20 + dlg->btnOk->sizeHint().height() + 30);
    if (!dlg->Items.isEmpty())
        dlg->Items.first()->setFocus();
    else
        group->setFocus();

    for (int i = int(qMin(ACaptions.size(), AChecks.size())) - 1; i >= 0; --i)
        if (AChecks[i])
            dlg->Items[i]->setChecked(true);

    dlg->FItems = group;
    if (dlg->exec() == QDialog::Accepted) {
        AChecks.resize(ACaptions.size());
        for (int i = 0; i < int(ACaptions.size()); ++i)
            AChecks[i] = dlg->Items[i]->isChecked();
        result = true;
    }
    return result;
}
