#pragma once
// The application object: the one object through which shared code and the
// planning library reach what only the host can do (definitions, SQL builders,
// dialogs, the action and status bars), plus the login state, the settings
// store, the system-enum cache and the server's clock.
//
// Interfaces are abstract classes held by std::shared_ptr (the *Ptr aliases).
#include "UDBComm.h"
#include "untERPaccess.h"

#include <QFlags>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>

class QApplication;
class QObject;
class QWidget;
class TInfoObjectDef;
class IInfoView;
struct TViewScheme;
using PViewScheme = TViewScheme*;
using IInfoViewPtr = std::shared_ptr<IInfoView>;

// The logged-in user and database.
struct TLoginInfo {
    QString UserID;     // empty while nobody is logged in
    QString UserNo;
    QString UserName;
    QString UserGroups; // 'G2','G1',null: ready for an SQL in-list
    bool UserIsAdmin = false;
    QString DBID;
    QString DBNo;
    QString DBAlias;
    TDBType DBType = dbMSSQL;
    QString DBLocation;
    QString DBName;
    QString DBLoginID;  // empty: integrated security
    QString DBPassword;
    QString DBOptions;
    QString DBVersion;
};

enum TShowStatusMessageKind { mkHint, mkCount };

enum TShowUserOption { uoGroups = 0x1, uoUsers = 0x2 };
Q_DECLARE_FLAGS(TShowUserOptions, TShowUserOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShowUserOptions)

struct TUserRec {
    QString UserID;
    QString UserName;
    bool IsGroup = false;
    bool IsDisabled = false;
};
using TUserRecs = QList<TUserRec>;

enum TMessageKind { mkNone, mkInformation, mkWarning, mkError };

enum TExchangeFieldKind { fkNormal, fkPivotH, fkPivotV };

// One import column.
struct TExchangeFieldRec {
    QString Name;
    quint16 DataType = 0; // a variant type code
    TExchangeFieldKind Kind = fkNormal;
    int Group = 0;
    QString UsedMaps;
};
using TExchangeFieldRecs = QList<TExchangeFieldRec>;

using TVariantArray = QList<QVariant>;
using TImportDataCallBackProc =
    std::function<void(const TVariantArray& ARecord, TMessageKind& AMessageKind, QString& AMessageText, int& AMessageField)>;
using TOnBeginImportEvent = std::function<void(int ARecordCount)>;
using TNotifyEvent = std::function<void(QObject* Sender)>;

enum TEditMode { emNone, emNew, emModify };

enum TCommandStateItem { csEnabled = 0x1, csChecked = 0x2, csHidden = 0x4 };
Q_DECLARE_FLAGS(TCommandState, TCommandStateItem)
Q_DECLARE_OPERATORS_FOR_FLAGS(TCommandState)

// Command numbers shared by the main window and every view, frame and editor.
namespace Commands {
constexpr int Save = 2;
constexpr int CancelEdits = 3;
constexpr int Export = 5;
constexpr int PageSetup = 6;
constexpr int ReportDesign = 7;
constexpr int Print = 8;
constexpr int PrintPreview = 9;
constexpr int Undo = 21;
constexpr int Redo = 22;
constexpr int Cut = 23;
constexpr int Copy = 24;
constexpr int Paste = 25;
constexpr int Fill = 26;
constexpr int Clear = 27;
constexpr int SelectAll = 28;
constexpr int Parameters = 41;
constexpr int SchemeFields = 42;
constexpr int SchemeSort = 43;
constexpr int SchemeFilter = 44;
constexpr int SchemeCustomView = 45;
constexpr int Relations = 46;
constexpr int ExpandAll = 47;
constexpr int CollapseAll = 48;
constexpr int Refresh = 49;
constexpr int RecordCount = 50;
constexpr int FirstAction = 100; // + index into the object's actions
constexpr int ActionSlots = 20;  // 100 to 119 on the main window
} // namespace Commands

class IInfoFrame {
public:
    static constexpr const char* IID = "{7EC08E83-28E1-45C5-A638-79102AF7DDDE}";
    virtual ~IInfoFrame() = default;
    virtual void ProcessIdle() = 0;
    virtual void RefreshMainUI() = 0;
    virtual void SetParentControl(QWidget* AParent) = 0;
    virtual bool QueryClose() = 0;
    virtual bool QueryCommandState(int ACommandIndex, TCommandState& AState) = 0;
    virtual bool ExecCommand(int ACommandIndex) = 0;
};
using IInfoFramePtr = std::shared_ptr<IInfoFrame>;

class IInfoEdit {
public:
    static constexpr const char* IID = "{2556D4C6-4293-4CD8-BF10-F5526C2859E2}";
    virtual ~IInfoEdit() = default;
    virtual void ProcessIdle() = 0;
    virtual void SetParentControl(QWidget* AParent) = 0;
    virtual void OpenData(const QString& AKeyValues, const QString& AActionID) = 0;
    virtual TInfoObjectDef* GetObjectDef() = 0;
    virtual QString GetCaption() = 0;
    virtual TEditMode GetEditMode() = 0;
    virtual bool DataInEdit(const QString& AKeyValues) = 0;
    virtual bool QueryClose() = 0;
    virtual bool QueryCommandState(int ACommandIndex, TCommandState& AState) = 0;
    virtual bool ExecCommand(int ACommandIndex) = 0;
};
using IInfoEditPtr = std::shared_ptr<IInfoEdit>;

// Host hooks: plain procedure pointers, installed by the host's units.
using TGetInfoObjectDefProc = TInfoObjectDef* (*)(const QString& AObjectID);
using TGetInfoObjectSelectSQLProc = QString (*)(TInfoObjectDef* AObjectDef, const QString& AFieldsSQL, const QString& AFilterSQL,
                                                const QString& AOrderBySQL, const QString& AReferedSQL,
                                                const QString& AMainJoinSQL, const QString& AExtJoinSQL);
using TGetInfoObjectDataSourceSQLProc = QString (*)(TInfoObjectDef* AObjectDef, const QString& AReferedSQL, QString& AMainFilter);
using TGetInfoObjectViewProc = IInfoViewPtr (*)(TInfoObjectDef* AObjectDef);
using TResetMainActionsBarProc = void (*)(TInfoObjectDef* AObjectDef, bool AInEditor);
using TShowInfoObjectEditorProc = IInfoEditPtr (*)(TInfoObjectDef* AObjectDef, const QString& AKeyValues, const QString& AActionID);
using TShowStatusMessageProc = void (*)(const QString& AMessage, TShowStatusMessageKind AKind);
using TShowFilterDlgProc = bool (*)(TInfoObjectDef* AObjectDef, QString& AFilterText, QString& AFilterCode, TADOQuery* AByQuery,
                                    const QString& ACaption, bool AReadOnly);
using TShowViewSchemeDlgProc = bool (*)(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery,
                                        bool AInitActiveFieldsPage, const QString& AExtCaption);
using TShowSelectUserProc = bool (*)(TUserRecs& AUsers, bool AMultiSelect, const QString& ATitle, TShowUserOptions AOptions);
using TShowImportDataProc = bool (*)(const TExchangeFieldRecs& AExchangeFieldRecs, TImportDataCallBackProc AImportDataProc,
                                     TOnBeginImportEvent AOnBeginImport, TNotifyEvent AOnEndImport);
using TParseViewSchemeSQLProc = void (*)(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery);
using TTranslateFilterCodeToSQLProc = QString (*)(TInfoObjectDef* AObjectDef, const QString& AFilterCode, TADOQuery* AByQuery);

// The names of one enum class, in EnmID order: item text EnmName, item object EnmID.
class TSystemEnumList {
public:
    int Count() const { return int(FItems.size()); }
    QString Strings(int index) const { return FItems.at(index).first; }
    int Objects(int index) const { return FItems.at(index).second; }
    int IndexOfObject(int id) const;
    int IndexOf(const QString& name) const; // ignores case
    void Add(const QString& name, int id) { FItems.append({name, id}); }
    void Clear() { FItems.clear(); }

private:
    QList<QPair<QString, int>> FItems;
};

class TInfoApplication {
public:
    TInfoApplication();
    ~TInfoApplication();
    TInfoApplication(const TInfoApplication&) = delete;
    TInfoApplication& operator=(const TInfoApplication&) = delete;

private:
    TADOQuery* FByQuery;
    std::map<QString, std::unique_ptr<TSystemEnumList>> FSystemEnums; // lower-case class name -> names

public:
    IERPAccessPtr ERPAccess;
    TLoginInfo LoginInfo;
    int LoginTick = 0;
    quintptr LockMsgHWnd = 0;
    int MaxResultRowCount = 0;
    TGetInfoObjectDefProc GetInfoObjectDefProc = nullptr;
    TGetInfoObjectSelectSQLProc GetInfoObjectSelectSQLProc = nullptr;
    TGetInfoObjectDataSourceSQLProc GetInfoObjectDataSourceSQLProc = nullptr;
    TGetInfoObjectViewProc GetInfoObjectViewProc = nullptr;
    TResetMainActionsBarProc ResetMainActionsBarProc = nullptr;
    TShowInfoObjectEditorProc ShowInfoObjectEditorProc = nullptr;
    TShowStatusMessageProc ShowStatusMessageProc = nullptr;
    TShowFilterDlgProc ShowFilterDlgProc = nullptr;
    TShowViewSchemeDlgProc ShowViewSchemeDlgProc = nullptr;
    TShowSelectUserProc ShowSelectUserProc = nullptr;
    TShowImportDataProc ShowImportDataProc = nullptr;
    TParseViewSchemeSQLProc ParseViewSchemeSQLProc = nullptr;
    TTranslateFilterCodeToSQLProc TranslateFilterCodeToSQLProc = nullptr;
    // The administrator's row condition (a restriction); without it the filter translation serves.
    TTranslateFilterCodeToSQLProc TranslatePermitCodeToSQLProc = nullptr;

    // Frees the cached enum lists, closes the private query and unbinds it.
    void ClearCaches();
    QApplication* GetApplication() const;

    // Host services: each forwards to its hook, or gives the neutral value.
    TInfoObjectDef* GetInfoObjectDef(const QString& AObjectID);
    QString GetInfoObjectSelectSQL(TInfoObjectDef* AObjectDef, const QString& AFieldsSQL, const QString& AFilterSQL,
                                   const QString& AOrderBySQL, const QString& AReferedSQL, const QString& AMainJoinSQL,
                                   const QString& AExtJoinSQL);
    QString GetInfoObjectDataSourceSQL(TInfoObjectDef* AObjectDef, const QString& AReferedSQL, QString& AMainFilter);
    IInfoViewPtr GetInfoObjectView(TInfoObjectDef* AObjectDef);
    void ResetMainActionsBar(TInfoObjectDef* AObjectDef, bool AInEditor);
    void ShowStatusMessage(const QString& AMessage, TShowStatusMessageKind AKind);
    IInfoEditPtr ShowInfoObjectEditor(TInfoObjectDef* AObjectDef, const QString& AKeyValues, const QString& AActionID);
    bool ShowFilterDlg(TInfoObjectDef* AObjectDef, QString& AFilterText, QString& AFilterCode, TADOQuery* AByQuery,
                       const QString& ACaption, bool AReadOnly);
    bool ShowViewSchemeDlg(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery, bool AInitActiveFieldsPage,
                           const QString& AExtCaption);
    bool ShowSelectUser(TUserRecs& AUsers, bool AMultiSelect, const QString& ATitle, TShowUserOptions AOptions);
    bool ShowImportData(const TExchangeFieldRecs& AExchangeFieldRecs, TImportDataCallBackProc AImportDataProc,
                        TOnBeginImportEvent AOnBeginImport, TNotifyEvent AOnEndImport);
    void ParseViewSchemeSQL(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery);
    QString TranslateFilterCodeToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterCode, TADOQuery* AByQuery);
    QString TranslatePermitCodeToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterCode, TADOQuery* AByQuery);

    // Reads MaxResultRowCount (0 or less, or unreadable: 20000).
    void LoadSystemSettings();
    // While not 0, only this window and its direct children receive input.
    void LockProcessMessages(quintptr AWinHandle);
    // Between the steps of long work: after an Esc press asks whether to stop.
    // Yes raises EAbort when ARaiseError, else returns True.
    bool CheckEscapeKeyPress(bool ARaiseError);
    // The database server's clock; False (ADateTime untouched) when it cannot be read.
    bool GetSystemDateTime(QDateTime& ADateTime, bool AIncludeTime);

    // The cached names of an enum class; the list belongs to the cache.
    TSystemEnumList* GetSystemEnumList(const QString& AClass);
    // "(7)" when the class has no such ID.
    QString GetSystemEnumName(const QString& AClass, int AID);
    bool SystemEnumExists(const QString& AClass, int AID);

    // Settings: AGlobal addresses the system-wide table, otherwise the
    // logged-in user's (read as the default and not written without a user).
    QString ReadSystemSettingAsString(const QString& AClass, const QString& AKey, const QString& ADefault, bool AGlobal);
    bool ReadSystemSettingAsBoolean(const QString& AClass, const QString& AKey, bool ADefault, bool AGlobal);
    int ReadSystemSettingAsInteger(const QString& AClass, const QString& AKey, int ADefault, bool AGlobal);
    double ReadSystemSettingAsFloat(const QString& AClass, const QString& AKey, double ADefault, bool AGlobal);
    QDate ReadSystemSettingAsDate(const QString& AClass, const QString& AKey, const QDate& ADefault, bool AGlobal);
    QDateTime ReadSystemSettingAsDateTime(const QString& AClass, const QString& AKey, const QDateTime& ADefault, bool AGlobal);
    void WriteSystemSettingAsString(const QString& AClass, const QString& AKey, const QString& AValue, bool AGlobal);
    // The statement that stores one setting (empty for a user's setting
    // without a login).
    QString SystemSettingWriteSQL(const QString& AClass, const QString& AKey, const QString& AValue, bool AGlobal) const;
    // Stores several settings of a class (key, value) in one transaction; a
    // failure is shown once and keeps none of them. False when it failed.
    bool WriteSystemSettings(const QString& AClass, const QList<QPair<QString, QString>>& AValues, bool AGlobal);
    void WriteSystemSettingAsBoolean(const QString& AClass, const QString& AKey, bool AValue, bool AGlobal);
    void WriteSystemSettingAsInteger(const QString& AClass, const QString& AKey, int AValue, bool AGlobal);
    void WriteSystemSettingAsFloat(const QString& AClass, const QString& AKey, double AValue, bool AGlobal);
    void WriteSystemSettingAsDate(const QString& AClass, const QString& AKey, const QDate& AValue, bool AGlobal);
    void WriteSystemSettingAsDateTime(const QString& AClass, const QString& AKey, const QDateTime& AValue, bool AGlobal);

private:
    void bindQuery();
};

// The application object of the run; the host creates it at start.
extern TInfoApplication* InfoApplication;

// Text quoted for SQL with single quotes, inner quotes doubled.
QString QuotedStr(const QString& text);
