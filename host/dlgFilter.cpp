#include "dlgFilter.h"

#include "FilterControl.h"
#include "famFilter.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

TFilterDlg::TFilterDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("FilterDlg"));
    setWindowTitle(QStringLiteral("筛选条件定义"));
    resize(541, 402);

    // The buttons stand in a column right of the frame.
    if (auto* outer = qobject_cast<QBoxLayout*>(layout()))
        for (int i = 0; i < outer->count(); ++i)
            if (QLayout* row = outer->itemAt(i)->layout()) {
                row->removeWidget(btnOk);
                row->removeWidget(btnCancel);
            }
    auto* client = new QHBoxLayout(ClientArea());
    client->setContentsMargins(0, 0, 0, 0);
    famFilter = new TFilterFrame(ClientArea());
    client->addWidget(famFilter, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(19);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    client->addLayout(buttons);
}

bool DoShowFilterDlg(TInfoObjectDef* AObjectDef, QString& AFilterText, QString& AFilterCode, TADOQuery* AByQuery,
                     const QString& ACaption, bool AReadOnly)
{
    auto dlg = std::make_unique<TFilterDlg>();
    dlg->setWindowTitle(!ACaption.isEmpty() ? ACaption : (AObjectDef ? AObjectDef->Name : dlg->windowTitle()));
    dlg->famFilter->LoadFilterItems(AObjectDef, AByQuery);
    dlg->famFilter->SetFilterCode(AFilterCode);
    if (AReadOnly) {
        dlg->famFilter->fltCriteria->setReadOnly(true);
        dlg->famFilter->fltCriteria->setEnabled(false);
        dlg->btnOk->setEnabled(false);
        dlg->btnOk->setDefault(false);
        dlg->btnCancel->setDefault(true);
    } else {
        dlg->famFilter->fltCriteria->tree()->setFocus();
    }
    if (dlg->exec() != QDialog::Accepted || AReadOnly)
        return false;
    AFilterText = dlg->famFilter->FilterText();
    AFilterCode = dlg->famFilter->FilterCode();
    return true;
}

void InitFilterDlgUnit()
{
    if (InfoApplication)
        InfoApplication->ShowFilterDlgProc = &DoShowFilterDlg;
}
