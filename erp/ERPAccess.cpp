#include "ERPAccess.h"

#include "ERPBills.h"
#include "ERPLoginDlg.h"
#include "ERPPasswords.h"
#include "UDBComm.h"
#include "untApplication.h"

#include <QApplication>
#include <QDir>

namespace {

bool showLoginDialog(const QList<TERPAccountSet>& sets,
                     const std::function<QString(const TERPAccountSet&, const QString&, const QString&)>& check,
                     TERPAccountSet& chosen, QString& userNo)
{
    TERPLoginDlg dlg(sets, QApplication::activeWindow());
    dlg.CheckLogin = check;
    if (dlg.exec() != QDialog::Accepted)
        return false;
    chosen = sets.value(dlg.AccountSetIndex());
    userNo = dlg.UserNo();
    return true;
}

} // namespace

TERPAccess::TLoginDialogProc& TERPAccess::LoginDialogProc()
{
    static TLoginDialogProc proc = showLoginDialog;
    return proc;
}

TERPAccess::TERPAccess(QString accountSetsFile) : FAccountSetsFile(std::move(accountSetsFile)) {}

TERPAccess::~TERPAccess()
{
    closeConnection();
}

void TERPAccess::closeConnection()
{
    if (FConnection)
        FConnection->Close();
    FConnection.reset();
}

void TERPAccess::connectTo(const QString& location, const QString& database, const QString& loginID, const QString& password,
                           const QString& options)
{
    closeConnection();
    auto connection = std::make_shared<TADOConnection>();
    SetupADOConnection(connection.get());
    ApplyConnectionString(connection.get(), dbMSSQL, location, database, loginID, password, options, false);
    connection->Open();
    FConnection = std::move(connection);
}

TERPAccess::TERPUser TERPAccess::findUser(const QString& userNo)
{
    TADOQuery q;
    q.SetConnection(FConnection.get());
    q.SQL.Add(QStringLiteral("select UserID, UserNo, UserName, PasswordHash, Disabled from ERP_Users with(nolock) where UserNo=")
              + QuotedStr(userNo));
    q.Open();
    TERPUser user;
    if (q.IsEmpty())
        return user;
    user.ID = q.FieldByName(QStringLiteral("UserID"))->AsString();
    user.No = q.FieldByName(QStringLiteral("UserNo"))->AsString();
    user.Name = q.FieldByName(QStringLiteral("UserName"))->AsString();
    user.PasswordHash = q.FieldByName(QStringLiteral("PasswordHash"))->AsString();
    user.Disabled = q.FieldByName(QStringLiteral("Disabled"))->AsBoolean();
    return user;
}

void TERPAccess::renewPasswordHash(const TERPUser& user, const QString& password)
{
    // Only over the form just checked. An account set that cannot take it (read-only,
    // or an old one whose column is too narrow) keeps the old form, and the login goes on.
    try {
        TADOQuery q;
        q.SetConnection(FConnection.get());
        q.SQL.Add(QStringLiteral("update ERP_Users set PasswordHash=%1 where UserID=%2 and PasswordHash=%3")
                      .arg(QuotedStr(ERPPasswordHash(password)), QuotedStr(user.ID), QuotedStr(user.PasswordHash)));
        q.ExecSQL();
    } catch (const std::exception&) {
    }
}

QString TERPAccess::checkLogin(const TERPAccountSet& set, const QString& userNo, const QString& password)
{
    try {
        connectTo(set.Location, set.Database, set.LoginID, set.Password, set.Options);
        const TERPUser user = findUser(userNo);
        // an unknown user is checked as a wrong password is: the same answer after the same work
        const TERPPasswordCheck check = ERPCheckPassword(user.ID.isEmpty() ? QString() : user.PasswordHash, password);
        if (!check.Good)
            return QStringLiteral("用户编号或密码不正确!");
        if (user.Disabled)
            return QStringLiteral("ERP用户\"%1\"已被停用!").arg(userNo);
        if (check.Renew)
            renewPasswordHash(user, password);
        return QString();
    } catch (const Exception& e) {
        closeConnection();
        return QStringLiteral("无法连接账套\"%1\": %2").arg(set.Alias, e.Message);
    }
}

void TERPAccess::Login(TLoginInfo& loginInfo, int mode, bool& ok)
{
    ok = false;
    const QList<TERPAccountSet> sets = ReadERPAccountSets(FAccountSetsFile);
    if (mode == 0) {
        if (sets.isEmpty())
            throw Exception(QStringLiteral("配置文件\"%1\"中没有可登录的账套!").arg(QDir::toNativeSeparators(FAccountSetsFile)));
        TERPAccountSet chosen;
        QString userNo;
        const auto check = [this](const TERPAccountSet& set, const QString& no, const QString& password) {
            return checkLogin(set, no, password);
        };
        if (!LoginDialogProc()(sets, check, chosen, userNo)) {
            closeConnection();
            return;
        }
        if (!FConnection)
            connectTo(chosen.Location, chosen.Database, chosen.LoginID, chosen.Password, chosen.Options);
        const TERPUser user = findUser(userNo);
        if (user.ID.isEmpty() || user.Disabled)
            throw Exception(QStringLiteral("ERP用户\"%1\"不存在或已被停用!").arg(userNo));
        loginInfo = TLoginInfo();
        loginInfo.UserID = user.ID;
        loginInfo.UserNo = user.No;
        loginInfo.UserName = user.Name;
        loginInfo.DBID = chosen.ID;
        loginInfo.DBNo = chosen.No;
        loginInfo.DBAlias = chosen.Alias;
        loginInfo.DBType = dbMSSQL;
        loginInfo.DBLocation = chosen.Location;
        loginInfo.DBName = chosen.Database;
        loginInfo.DBLoginID = chosen.LoginID;
        loginInfo.DBPassword = chosen.Password;
        loginInfo.DBOptions = chosen.Options;
        loginInfo.DBVersion = QStringLiteral("1.0");
        ok = true;
        return;
    }
    if (mode != 1)
        throw Exception(QStringLiteral("不支持的登录方式: %1").arg(mode));
    // Silent: the record is filled already; the user must be one of the ERP's own.
    connectTo(loginInfo.DBLocation, loginInfo.DBName, loginInfo.DBLoginID, loginInfo.DBPassword, loginInfo.DBOptions);
    const TERPUser user = findUser(loginInfo.UserNo);
    if (user.ID.isEmpty() || user.Disabled) {
        closeConnection();
        throw Exception(QStringLiteral("ERP用户\"%1\"不存在或已被停用!").arg(loginInfo.UserNo));
    }
    for (const TERPAccountSet& set : sets)
        if (set.Location == loginInfo.DBLocation && set.Database.compare(loginInfo.DBName, Qt::CaseInsensitive) == 0) {
            loginInfo.DBID = set.ID;
            loginInfo.DBNo = set.No;
        }
    loginInfo.DBVersion = QStringLiteral("1.0");
    ok = true;
}

void TERPAccess::Logout(bool& ok)
{
    closeConnection();
    ok = true;
}

IBillPtr TERPAccess::NewBill(int kind)
{
    if (!FConnection)
        throw Exception(QStringLiteral("尚未登录ERP账套!"));
    return std::make_shared<TERPBill>(kind, FConnection, GetMaxBillRows(kind));
}

QString TERPAccess::GetNewBillNo(const IBillPtr& bill, qint16& flag)
{
    auto* erpBill = dynamic_cast<TERPBill*>(bill.get());
    if (!erpBill)
        throw Exception(QStringLiteral("单据不是本ERP接口创建的!"));
    flag = 0; // the number may be edited; a number taken meanwhile is replaced at save
    return erpBill->NextBillNo(QDate::currentDate());
}

quint16 TERPAccess::GetMaxBillRows(int kind)
{
    // a changed configuration holds from the next bill on
    const QMap<int, quint16> caps = CurrentERPBillRowCaps(FAccountSetsFile);
    return caps.value(kind, ERPBillKind(kind).MaxRows);
}
