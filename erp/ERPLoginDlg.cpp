#include "ERPLoginDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TERPLoginDlg::TERPLoginDlg(const QList<TERPAccountSet>& accountSets, QWidget* parent)
    : QDialog(parent), FAccountSets(accountSets)
{
    setObjectName(QStringLiteral("ERPLoginDlg"));
    setWindowTitle(QStringLiteral("登录ERP账套"));
    setModal(true);

    cboAccountSet = new QComboBox(this);
    cboAccountSet->setObjectName(QStringLiteral("cboAccountSet"));
    for (const TERPAccountSet& set : accountSets)
        cboAccountSet->addItem(set.No.isEmpty() ? set.Alias : QStringLiteral("[%1] %2").arg(set.No, set.Alias));
    edtUserNo = new QLineEdit(this);
    edtUserNo->setObjectName(QStringLiteral("edtUserNo"));
    edtPassword = new QLineEdit(this);
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtPassword->setEchoMode(QLineEdit::Password);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("账套(&A):"), cboAccountSet);
    form->addRow(QStringLiteral("用户编号(&U):"), edtUserNo);
    form->addRow(QStringLiteral("密码(&P):"), edtPassword);

    // Refusals are shown inside the dialog, which stays open for another try.
    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setStyleSheet(QStringLiteral("color: #c00000"));
    lblMessage->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblMessage);
    layout->addWidget(buttons);
    setMinimumWidth(360);
    edtUserNo->setFocus();
}

int TERPLoginDlg::AccountSetIndex() const
{
    return cboAccountSet->currentIndex();
}

QString TERPLoginDlg::UserNo() const
{
    return edtUserNo->text().trimmed();
}

QString TERPLoginDlg::Password() const
{
    return edtPassword->text();
}

void TERPLoginDlg::showLoginError(const QString& text)
{
    lblMessage->setText(text);
}

void TERPLoginDlg::accept()
{
    lblMessage->clear();
    const int index = AccountSetIndex();
    if (index < 0 || index >= FAccountSets.size()) {
        showLoginError(QStringLiteral("请选择要登录的账套!"));
        cboAccountSet->setFocus();
        return;
    }
    if (UserNo().isEmpty()) {
        showLoginError(QStringLiteral("请输入用户编号!"));
        edtUserNo->setFocus();
        return;
    }
    if (CheckLogin) {
        const QString error = CheckLogin(FAccountSets[index], UserNo(), Password());
        if (!error.isEmpty()) {
            showLoginError(error);
            edtPassword->selectAll();
            edtPassword->setFocus();
            return;
        }
    }
    QDialog::accept();
}
