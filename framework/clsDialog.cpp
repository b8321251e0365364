#include "clsDialog.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TDialog::TDialog(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    resize(475, 341);
    FClientArea = new QWidget(this);
    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnOk->setAutoDefault(true);
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName("btnCancel");
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FClientArea, 1);
    layout->addLayout(buttons);
}

bool TDialog::event(QEvent* e)
{
    bool r = QDialog::event(e);
    if ((e->type() == QEvent::WindowActivate || e->type() == QEvent::Show) && isModal()) {
        // A window-update lock taken while the dialog was prepared never stays:
        // every other top-level window paints again.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != this && !w->updatesEnabled()) w->setUpdatesEnabled(true);
    }
    return r;
}
