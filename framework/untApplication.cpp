#include "untApplication.h"

#include "Ado.h"
#include "EscapeKey.h"
#include "MessageBox.h"
#include "UCommon.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLocale>

TADOConnection* GlobalADOConnection = nullptr;
TADOQuery* GlobalADOQuery = nullptr;
TInfoApplication* InfoApplication = nullptr;

namespace {

// The deliverable's query and connection closed when the program's application
// object goes at the end of the program: the planning library's connection
// stays open past the host's log-out otherwise, and an embedded account set
// keeps its write-ahead log beside it until its last connection closes.
void closeGlobalConnection()
{
    if (GlobalADOQuery)
        GlobalADOQuery->Close();
    if (GlobalADOConnection)
        GlobalADOConnection->Close();
}

// Unit start-up: the deliverable's connection and query, unbound until the
// login; they live as long as the process and are closed at its end.
struct UnitStartup {
    UnitStartup()
    {
        GlobalADOConnection = new TADOConnection();
        SetupADOConnection(GlobalADOConnection);
        GlobalADOQuery = new TADOQuery();
        SetupADOQuery(GlobalADOQuery);
        qAddPostRoutine(closeGlobalConnection);
    }
} unitStartup;

constexpr int kDefaultMaxResultRowCount = 20000;
const QString kCR = QStringLiteral("\r");

} // namespace

QString QuotedStr(const QString& text)
{
    QString inner = text;
    inner.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

int TSystemEnumList::IndexOfObject(int id) const
{
    for (int i = 0; i < FItems.size(); ++i)
        if (FItems[i].second == id)
            return i;
    return -1;
}

int TSystemEnumList::IndexOf(const QString& name) const
{
    for (int i = 0; i < FItems.size(); ++i)
        if (FItems[i].first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// --- lifecycle ------------------------------------------------------------

TInfoApplication::TInfoApplication()
    : FByQuery(new TADOQuery())
{
    SetupADOQuery(FByQuery);
    kvos::installEscapeKeyLatch();
}

TInfoApplication::~TInfoApplication()
{
    ClearCaches();
    delete FByQuery;
}

void TInfoApplication::ClearCaches()
{
    FSystemEnums.clear();
    FByQuery->Close();
    FByQuery->SetConnection(nullptr);
}

QApplication* TInfoApplication::GetApplication() const
{
    return qobject_cast<QApplication*>(QCoreApplication::instance());
}

void TInfoApplication::bindQuery()
{
    if (!FByQuery->Connection() && FByQuery->ConnectionString().isEmpty())
        FByQuery->SetConnection(GlobalADOConnection);
}

// --- host services --------------------------------------------------------

TInfoObjectDef* TInfoApplication::GetInfoObjectDef(const QString& AObjectID)
{
    return GetInfoObjectDefProc ? GetInfoObjectDefProc(AObjectID) : nullptr;
}

QString TInfoApplication::GetInfoObjectSelectSQL(TInfoObjectDef* AObjectDef, const QString& AFieldsSQL, const QString& AFilterSQL,
                                                 const QString& AOrderBySQL, const QString& AReferedSQL,
                                                 const QString& AMainJoinSQL, const QString& AExtJoinSQL)
{
    if (!GetInfoObjectSelectSQLProc)
        return {};
    return GetInfoObjectSelectSQLProc(AObjectDef, AFieldsSQL, AFilterSQL, AOrderBySQL, AReferedSQL, AMainJoinSQL, AExtJoinSQL);
}

QString TInfoApplication::GetInfoObjectDataSourceSQL(TInfoObjectDef* AObjectDef, const QString& AReferedSQL, QString& AMainFilter)
{
    AMainFilter.clear();
    if (!GetInfoObjectDataSourceSQLProc)
        return {};
    return GetInfoObjectDataSourceSQLProc(AObjectDef, AReferedSQL, AMainFilter);
}

IInfoViewPtr TInfoApplication::GetInfoObjectView(TInfoObjectDef* AObjectDef)
{
    return GetInfoObjectViewProc ? GetInfoObjectViewProc(AObjectDef) : nullptr;
}

void TInfoApplication::ResetMainActionsBar(TInfoObjectDef* AObjectDef, bool AInEditor)
{
    if (ResetMainActionsBarProc)
        ResetMainActionsBarProc(AObjectDef, AInEditor);
}

void TInfoApplication::ShowStatusMessage(const QString& AMessage, TShowStatusMessageKind AKind)
{
    if (ShowStatusMessageProc)
        ShowStatusMessageProc(AMessage, AKind);
}

IInfoEditPtr TInfoApplication::ShowInfoObjectEditor(TInfoObjectDef* AObjectDef, const QString& AKeyValues, const QString& AActionID)
{
    return ShowInfoObjectEditorProc ? ShowInfoObjectEditorProc(AObjectDef, AKeyValues, AActionID) : nullptr;
}

bool TInfoApplication::ShowFilterDlg(TInfoObjectDef* AObjectDef, QString& AFilterText, QString& AFilterCode, TADOQuery* AByQuery,
                                     const QString& ACaption, bool AReadOnly)
{
    return ShowFilterDlgProc ? ShowFilterDlgProc(AObjectDef, AFilterText, AFilterCode, AByQuery, ACaption, AReadOnly) : false;
}

bool TInfoApplication::ShowViewSchemeDlg(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery,
                                         bool AInitActiveFieldsPage, const QString& AExtCaption)
{
    return ShowViewSchemeDlgProc ? ShowViewSchemeDlgProc(AObjectDef, AViewScheme, AByQuery, AInitActiveFieldsPage, AExtCaption) : false;
}

bool TInfoApplication::ShowSelectUser(TUserRecs& AUsers, bool AMultiSelect, const QString& ATitle, TShowUserOptions AOptions)
{
    return ShowSelectUserProc ? ShowSelectUserProc(AUsers, AMultiSelect, ATitle, AOptions) : false;
}

bool TInfoApplication::ShowImportData(const TExchangeFieldRecs& AExchangeFieldRecs, TImportDataCallBackProc AImportDataProc,
                                      TOnBeginImportEvent AOnBeginImport, TNotifyEvent AOnEndImport)
{
    if (!ShowImportDataProc)
        return false;
    return ShowImportDataProc(AExchangeFieldRecs, std::move(AImportDataProc), std::move(AOnBeginImport), std::move(AOnEndImport));
}

void TInfoApplication::ParseViewSchemeSQL(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery)
{
    if (ParseViewSchemeSQLProc)
        ParseViewSchemeSQLProc(AObjectDef, AViewScheme, AByQuery);
}

QString TInfoApplication::TranslateFilterCodeToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterCode, TADOQuery* AByQuery)
{
    return TranslateFilterCodeToSQLProc ? TranslateFilterCodeToSQLProc(AObjectDef, AFilterCode, AByQuery) : QString();
}

QString TInfoApplication::TranslatePermitCodeToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterCode, TADOQuery* AByQuery)
{
    if (TranslatePermitCodeToSQLProc)
        return TranslatePermitCodeToSQLProc(AObjectDef, AFilterCode, AByQuery);
    return TranslateFilterCodeToSQL(AObjectDef, AFilterCode, AByQuery);
}

// --- login state ----------------------------------------------------------

void TInfoApplication::LoadSystemSettings()
{
    MaxResultRowCount = ReadSystemSettingAsInteger(QStringLiteral("QZ_SYS"), QStringLiteral("MaxResultRowCount"),
                                                   kDefaultMaxResultRowCount, true);
    if (MaxResultRowCount <= 0)
        MaxResultRowCount = kDefaultMaxResultRowCount;
}

void TInfoApplication::LockProcessMessages(quintptr AWinHandle)
{
    LockMsgHWnd = AWinHandle;
    // Input kept from other windows must still reach the Esc latch.
    if (AWinHandle != 0)
        kvos::bringEscapeKeyLatchToFront();
}

bool TInfoApplication::CheckEscapeKeyPress(bool ARaiseError)
{
    if (kvos::asyncEscapeKeyState() == 0)
        return false;
    const int answer = ShowQuestion(QStringLiteral("您已按下[Esc]键, 中止正在执行的操作?"), int(kvos::MB_YESNO | kvos::MB_DEFBUTTON2));
    // An Esc that closed the question is its answer, not a new request to stop.
    kvos::startEscapeKeyWatch();
    if (answer != kvos::IDYES)
        return false;
    if (ARaiseError)
        throw EAbort(QStringLiteral("按下[Esc]键中止操作"));
    return true;
}

bool TInfoApplication::GetSystemDateTime(QDateTime& ADateTime, bool AIncludeTime)
{
    if (!ExecSQLText(FByQuery, QStringLiteral("select [Now]=getdate()"), true, false, false))
        return false;
    try {
        const QDateTime now = FByQuery->FieldByName(QStringLiteral("Now"))->AsDateTime();
        if (!now.isValid())
            return false;
        ADateTime = AIncludeTime ? now : QDateTime(now.date(), QTime(0, 0));
        return true;
    } catch (const Exception&) {
        return false;
    }
}

// --- enums ----------------------------------------------------------------

TSystemEnumList* TInfoApplication::GetSystemEnumList(const QString& AClass)
{
    const QString key = AClass.toLower();
    if (auto it = FSystemEnums.find(key); it != FSystemEnums.end())
        return it->second.get();
    TSystemEnumList* list = (FSystemEnums[key] = std::make_unique<TSystemEnumList>()).get();
    bindQuery();
    const QString sql = QStringLiteral("select EnmID, EnmName from QZ_SYS_Enums with(nolock) where EnmClass=") + QuotedStr(AClass)
        + QStringLiteral(" order by EnmID");
    if (ExecSQLText(FByQuery, sql, true, false, true)) {
        try {
            TField* id = FByQuery->FieldByName(QStringLiteral("EnmID"));
            TField* name = FByQuery->FieldByName(QStringLiteral("EnmName"));
            for (FByQuery->First(); !FByQuery->Eof(); FByQuery->Next())
                list->Add(name->AsString(), id->AsInteger());
        } catch (const Exception& e) {
            ShowADOError(e, FByQuery);
        }
    }
    return list;
}

QString TInfoApplication::GetSystemEnumName(const QString& AClass, int AID)
{
    const TSystemEnumList* list = GetSystemEnumList(AClass);
    const int index = list->IndexOfObject(AID);
    if (index < 0)
        return QStringLiteral("(") + QString::number(AID) + QStringLiteral(")");
    return list->Strings(index);
}

bool TInfoApplication::SystemEnumExists(const QString& AClass, int AID)
{
    return GetSystemEnumList(AClass)->IndexOfObject(AID) >= 0;
}

// --- settings -------------------------------------------------------------

QString TInfoApplication::ReadSystemSettingAsString(const QString& AClass, const QString& AKey, const QString& ADefault, bool AGlobal)
{
    QString result = ADefault;
    bindQuery();
    QString sql;
    if (AGlobal) {
        sql = QStringLiteral("select SetValue from QZ_SYS_SysSettings where SetClass=%1 and SetKey=%2").arg(QuotedStr(AClass), QuotedStr(AKey));
    } else if (!LoginInfo.UserID.isEmpty()) {
        sql = QStringLiteral("select SetValue from QZ_SYS_UserSettings where SetUsrID=%1 and SetClass=%2 and SetKey=%3")
                  .arg(QuotedStr(LoginInfo.UserID), QuotedStr(AClass), QuotedStr(AKey));
    } else {
        return result;
    }
    if (ExecSQLText(FByQuery, sql, true, false, false)) {
        try {
            if (!FByQuery->Eof())
                result = FByQuery->Fields()->Field(0)->AsString();
        } catch (const Exception&) {
        }
    }
    return result;
}

bool TInfoApplication::ReadSystemSettingAsBoolean(const QString& AClass, const QString& AKey, bool ADefault, bool AGlobal)
{
    const QString text = ReadSystemSettingAsString(AClass, AKey, QString(), AGlobal);
    if (text.isEmpty())
        return ADefault;
    return text != QLatin1String("0");
}

int TInfoApplication::ReadSystemSettingAsInteger(const QString& AClass, const QString& AKey, int ADefault, bool AGlobal)
{
    const QString text = ReadSystemSettingAsString(AClass, AKey, QString(), AGlobal);
    if (text.isEmpty())
        return ADefault;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : ADefault;
}

double TInfoApplication::ReadSystemSettingAsFloat(const QString& AClass, const QString& AKey, double ADefault, bool AGlobal)
{
    const QString text = ReadSystemSettingAsString(AClass, AKey, QString(), AGlobal).trimmed();
    if (text.isEmpty())
        return ADefault;
    bool ok = false;
    double value = QLocale::c().toDouble(text, &ok);
    if (!ok) // a value written in the user's own number format
        value = QLocale::system().toDouble(text, &ok);
    return ok ? value : ADefault;
}

QDate TInfoApplication::ReadSystemSettingAsDate(const QString& AClass, const QString& AKey, const QDate& ADefault, bool AGlobal)
{
    const QString text = ReadSystemSettingAsString(AClass, AKey, QString(), AGlobal);
    if (text.isEmpty())
        return ADefault;
    const QDateTime value = StrToDateTime(text);
    return value.isValid() ? value.date() : ADefault;
}

QDateTime TInfoApplication::ReadSystemSettingAsDateTime(const QString& AClass, const QString& AKey, const QDateTime& ADefault,
                                                        bool AGlobal)
{
    const QString text = ReadSystemSettingAsString(AClass, AKey, QString(), AGlobal);
    if (text.isEmpty())
        return ADefault;
    const QDateTime value = StrToDateTime(text);
    return value.isValid() ? value : ADefault;
}

QString TInfoApplication::SystemSettingWriteSQL(const QString& AClass, const QString& AKey, const QString& AValue, bool AGlobal) const
{
    if (AGlobal) {
        const QString c = QuotedStr(AClass), k = QuotedStr(AKey), v = QuotedStr(AValue);
        return QStringLiteral("if exists (select * from QZ_SYS_SysSettings where SetClass=%1 and SetKey=%2)").arg(c, k) + kCR
            + QStringLiteral("update QZ_SYS_SysSettings set SetValue=%3 where SetClass=%1 and SetKey=%2").arg(c, k, v) + kCR
            + QStringLiteral("else") + kCR
            + QStringLiteral("insert QZ_SYS_SysSettings (SetClass, SetKey, SetValue) values (%1, %2, %3)").arg(c, k, v);
    }
    if (LoginInfo.UserID.isEmpty())
        return QString();
    const QString u = QuotedStr(LoginInfo.UserID), c = QuotedStr(AClass), k = QuotedStr(AKey), v = QuotedStr(AValue);
    return QStringLiteral("if exists (select * from QZ_SYS_UserSettings where SetUsrID=%1 and SetClass=%2 and SetKey=%3)").arg(u, c, k) + kCR
        + QStringLiteral("update QZ_SYS_UserSettings set SetValue=%4 where SetUsrID=%1 and SetClass=%2 and SetKey=%3").arg(u, c, k, v) + kCR
        + QStringLiteral("else") + kCR
        + QStringLiteral("insert QZ_SYS_UserSettings (SetUsrID, SetClass, SetKey, SetValue) values (%1, %2, %3, %4)").arg(u, c, k, v);
}

void TInfoApplication::WriteSystemSettingAsString(const QString& AClass, const QString& AKey, const QString& AValue, bool AGlobal)
{
    bindQuery();
    const QString sql = SystemSettingWriteSQL(AClass, AKey, AValue, AGlobal);
    if (!sql.isEmpty())
        ExecSQLText(FByQuery, sql, false, false, true);
}

bool TInfoApplication::WriteSystemSettings(const QString& AClass, const QList<QPair<QString, QString>>& AValues, bool AGlobal)
{
    bindQuery();
    QString sql;
    for (const auto& [key, value] : AValues) {
        const QString one = SystemSettingWriteSQL(AClass, key, value, AGlobal);
        if (!one.isEmpty())
            sql += one + kCR;
    }
    if (sql.isEmpty())
        return true;
    if (!FByQuery->Connection())
        return ExecSQLText(FByQuery, sql, false, false, true);
    try {
        kvado::ScopedTransaction transaction(FByQuery->Connection());
        // Shown once and raised: the transaction takes back what was written.
        ExecSQLText(FByQuery, sql, false, true, true);
        transaction.Commit();
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void TInfoApplication::WriteSystemSettingAsBoolean(const QString& AClass, const QString& AKey, bool AValue, bool AGlobal)
{
    WriteSystemSettingAsString(AClass, AKey, AValue ? QStringLiteral("1") : QStringLiteral("0"), AGlobal);
}

void TInfoApplication::WriteSystemSettingAsInteger(const QString& AClass, const QString& AKey, int AValue, bool AGlobal)
{
    WriteSystemSettingAsString(AClass, AKey, QString::number(AValue), AGlobal);
}

void TInfoApplication::WriteSystemSettingAsFloat(const QString& AClass, const QString& AKey, double AValue, bool AGlobal)
{
    // Always with a decimal point, whatever the user's locale, so that the
    // stored text reads back the same everywhere.
    WriteSystemSettingAsString(AClass, AKey, QLocale::c().toString(AValue, 'g', 15), AGlobal);
}

void TInfoApplication::WriteSystemSettingAsDate(const QString& AClass, const QString& AKey, const QDate& AValue, bool AGlobal)
{
    WriteSystemSettingAsString(AClass, AKey, DateToStr(AValue), AGlobal);
}

void TInfoApplication::WriteSystemSettingAsDateTime(const QString& AClass, const QString& AKey, const QDateTime& AValue, bool AGlobal)
{
    WriteSystemSettingAsString(AClass, AKey, DateTimeToStr(AValue), AGlobal);
}
