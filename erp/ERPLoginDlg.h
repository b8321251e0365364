#pragma once
// The ERP's own login dialog: account set, user number and password.
#include "ERPAccountSets.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLineEdit;
class QLabel;

class TERPLoginDlg : public QDialog {
    Q_OBJECT
public:
    explicit TERPLoginDlg(const QList<TERPAccountSet>& accountSets, QWidget* parent = nullptr);

    // Checks the entries; the dialog closes with OK only when this accepts them.
    // The check answers an error text, empty when the login may go on.
    std::function<QString(const TERPAccountSet& set, const QString& userNo, const QString& password)> CheckLogin;

    int AccountSetIndex() const;
    QString UserNo() const;
    QString Password() const;

    QComboBox* cboAccountSet;
    QLineEdit* edtUserNo;
    QLineEdit* edtPassword;
    QLabel* lblMessage;

protected:
    void accept() override;

private:
    void showLoginError(const QString& text);
    QList<TERPAccountSet> FAccountSets;
};
