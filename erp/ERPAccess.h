#pragma once
// The integration interface this stand-in ERP library hands to the host:
// login against the ERP's own users, log-out, and bills stored in the
// account set.
#include "ERPAccountSets.h"
#include "untERPaccess.h"

#include <memory>

class TADOConnection;

class TERPAccess : public IERPAccess {
public:
    // accountSetsFile: the configuration of the account sets offered at login.
    explicit TERPAccess(QString accountSetsFile);
    ~TERPAccess() override;

    void Login(TLoginInfo& loginInfo, int mode, bool& ok) override;
    void Logout(bool& ok) override;
    IBillPtr NewBill(int kind) override;
    QString GetNewBillNo(const IBillPtr& bill, qint16& flag) override;
    quint16 GetMaxBillRows(int kind) override;

    // The dialog of an interactive login; tests may replace it. It returns the
    // chosen account set and user number, or false when the user cancelled.
    using TLoginDialogProc = std::function<bool(const QList<TERPAccountSet>& sets,
                                                const std::function<QString(const TERPAccountSet&, const QString&, const QString&)>& check,
                                                TERPAccountSet& chosen, QString& userNo)>;
    static TLoginDialogProc& LoginDialogProc();

private:
    // Opens the account set's database; raises when it cannot be reached.
    void connectTo(const QString& location, const QString& database, const QString& loginID, const QString& password,
                   const QString& options);
    // The ERP user of a number: empty ID when there is none.
    struct TERPUser {
        QString ID, No, Name, PasswordHash;
        bool Disabled = false;
    };
    TERPUser findUser(const QString& userNo);
    void closeConnection();
    QString checkLogin(const TERPAccountSet& set, const QString& userNo, const QString& password);
    // Stores the password anew in its current form after a good login.
    void renewPasswordHash(const TERPUser& user, const QString& password);

    QString FAccountSetsFile;
    // Shared with the bills made in the session, which find it closed after log-out.
    std::shared_ptr<TADOConnection> FConnection;
};

