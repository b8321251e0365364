#include "untInfoObjectDefLoader.h"

#include "UDBComm.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"

#include <QStringList>

#include <map>
#include <memory>

namespace {

struct CaseInsensitiveLess {
    bool operator()(const QString& a, const QString& b) const { return a.compare(b, Qt::CaseInsensitive) < 0; }
};

// Key: the ID as the caller asked for it; the cache owns the definitions.
std::map<QString, std::unique_ptr<TInfoObjectDef>, CaseInsensitiveLess>& cache()
{
    static std::map<QString, std::unique_ptr<TInfoObjectDef>, CaseInsensitiveLess> definitions;
    return definitions;
}

// Replaces "%N:s" and "%N:d" by the N-th argument in one pass, so argument
// texts are never scanned for further placeholders.
QString formatSQL(const QString& pattern, const QStringList& args)
{
    QString out;
    out.reserve(pattern.size() + 256);
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'%' && i + 3 < pattern.size() && pattern.at(i + 1).isDigit() && pattern.at(i + 2) == u':') {
            const int n = pattern.at(i + 1).digitValue();
            if (n < args.size()) {
                out += args.at(n);
                i += 3; // the type letter
                continue;
            }
        }
        out += c;
    }
    return out;
}

// The user-or-group condition on permission rows.
const char* const whoCondition = "(PmsUsrID=%1:s and PmsIsGroup=0 or PmsUsrID in (%2:s) and PmsIsGroup=1)";

QString grantedRelIDs(int pmsType, bool denied)
{
    return QStringLiteral("select distinct PmsObjID, PmsRelID from QZ_SYS_Permissions with(nolock) where PmsObjID=%0:s and ")
        + QLatin1String(whoCondition) + QStringLiteral(" and PmsType=") + QString::number(pmsType)
        + (denied ? QStringLiteral(" and PmsKind=%3:d") : QStringLiteral(" and PmsKind<>%3:d"));
}

QString trimmed(TADOQuery* q, const char* field)
{
    return q->FieldByName(QLatin1String(field))->AsString().trimmed();
}

QString text(TADOQuery* q, const char* field)
{
    return q->FieldByName(QLatin1String(field))->AsString();
}

int integer(TADOQuery* q, const char* field)
{
    TField* f = q->FieldByName(QLatin1String(field));
    return f->IsNull() ? 0 : f->AsInteger();
}

bool boolean(TADOQuery* q, const char* field)
{
    TField* f = q->FieldByName(QLatin1String(field));
    return !f->IsNull() && f->AsBoolean();
}

void open(TADOQuery* q, const QString& sql)
{
    ExecSQLText(q, sql, true, true, false);
}

template <typename E>
E enumValue(int value, E last)
{
    return (value < 0 || value > int(last)) ? E(0) : E(value);
}

} // namespace

void LoadInfoObjectDef(TInfoObjectDef* ADef)
{
    TADOQuery* q = GlobalADOQuery;
    const TLoginInfo& login = InfoApplication->LoginInfo;
    const bool admin = login.UserIsAdmin;
    const QString objID = QuotedStr(ADef->ID);
    // The groups come from the login as an SQL value list ending in null.
    const QString groups = login.UserGroups.trimmed().isEmpty() ? QStringLiteral("null") : login.UserGroups;
    const QStringList args = {objID, QuotedStr(login.UserID), groups, QStringLiteral("2")};

    // 1. the object
    open(q, QStringLiteral("select * from QZ_SYS_Objects with(nolock) where ObjID=") + objID);
    ADef->ID = q->Eof() ? QString() : trimmed(q, "ObjID");
    if (ADef->ID.isEmpty())
        return;
    ADef->Name = trimmed(q, "ObjName");
    ADef->ObjType = integer(q, "ObjType");
    ADef->Internal = boolean(q, "ObjInternal");
    ADef->HasEditor = boolean(q, "ObjHasEditor");
    ADef->DllName = trimmed(q, "ObjDllName");
    ADef->SID = trimmed(q, "ObjSID");
    ADef->PermitCodes.clear();

    // 2. row permission: a denial wins, a grant without filter lifts every
    // restriction, other grants add their filter codes
    if (!admin && !ADef->Internal) {
        open(q, formatSQL(QStringLiteral("select PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) where PmsObjID=%0:s and ")
                              + QLatin1String(whoCondition) + QStringLiteral(" and PmsType=0 order by PmsKind desc"),
                          args));
        if (q->Eof())
            ADef->PermitCodes = QStringLiteral("1=0");
        for (; !q->Eof(); q->Next()) {
            if (integer(q, "PmsKind") == 2) {
                ADef->PermitCodes = QStringLiteral("1=0");
                break;
            }
            const QString filter = text(q, "PmsFilter");
            if (filter.isEmpty()) {
                ADef->PermitCodes.clear();
                break;
            }
            ADef->PermitCodes += filter.section(u'|', 0, 0).trimmed() + u'|';
        }
    }

    // 3. data sources
    open(q, QStringLiteral("select * from QZ_SYS_ObjDataSources with(nolock) where DtsObjID=") + objID
                + QStringLiteral(" order by DtsSeqNo"));
    ADef->DataSources.clear();
    ADef->DataSources.reserve(size_t(q->RecordCount()));
    for (; !q->Eof(); q->Next()) {
        TInfoDataSourceDef ds;
        ds.ID = trimmed(q, "DtsID");
        ds.IsMain = boolean(q, "DtsMain");
        ds.DataType = enumValue(integer(q, "DtsType"), dsFunction);
        ds.SQLData = text(q, "DtsSource");
        ds.Filter = trimmed(q, "DtsFilter");
        ds.Join = trimmed(q, "DtsJoin");
        ADef->DataSources.push_back(ds);
    }

    // 4. access groups: granted and not denied
    if (admin)
        open(q, QStringLiteral("select * from QZ_SYS_ObjAccessGroups with(nolock) where AgrObjID=") + objID
                    + QStringLiteral(" order by AgrSeqNo, AgrName"));
    else
        open(q, formatSQL(QStringLiteral("select a.* from QZ_SYS_ObjAccessGroups as a with(nolock) left join (")
                              + grantedRelIDs(2, false)
                              + QStringLiteral(") as p1 on AgrObjID=p1.PmsObjID and AgrID=p1.PmsRelID left join (")
                              + grantedRelIDs(2, true)
                              + QStringLiteral(") as p2 on AgrObjID=p2.PmsObjID and AgrID=p2.PmsRelID where AgrObjID=%0:s "
                                               "and p1.PmsObjID is not null and p2.PmsObjID is null order by AgrSeqNo, AgrName"),
                          args));
    ADef->AccessGroups.clear();
    ADef->AccessGroups.reserve(size_t(q->RecordCount()));
    for (; !q->Eof(); q->Next())
        ADef->AccessGroups.push_back({trimmed(q, "AgrID"), text(q, "AgrName")});

    // 5. fields: those without access group, and those of granted groups
    if (admin)
        open(q, QStringLiteral("select * from QZ_SYS_ObjFields with(nolock) where FldObjID=") + objID
                    + QStringLiteral(" order by FldSeqNo, FldName"));
    else
        open(q, formatSQL(QStringLiteral("select f.* from QZ_SYS_ObjFields as f with(nolock) left join (") + grantedRelIDs(2, false)
                              + QStringLiteral(") as p1 on FldObjID=p1.PmsObjID and FldAgrID=p1.PmsRelID left join (")
                              + grantedRelIDs(2, true)
                              + QStringLiteral(") as p2 on FldObjID=p2.PmsObjID and FldAgrID=p2.PmsRelID where FldObjID=%0:s "
                                               "and (FldAgrID is null or FldAgrID='' or p1.PmsObjID is not null and "
                                               "p2.PmsObjID is null) order by FldSeqNo, FldName"),
                          args));
    // A hidden field (one the user's access groups keep from him) serves only
    // the administrator's row condition: a user field reads its name through a
    // subquery, as the view's FROM has no join for it.
    const auto readField = [&q, ADef](bool hidden) {
        TInfoFieldDef f;
        f.ID = trimmed(q, "FldID");
        f.Name = text(q, "FldName");
        f.IsPrimary = boolean(q, "FldPrimary");
        f.DataType = quint8(integer(q, "FldDataType"));
        f.Precision = integer(q, "FldPrecision");
        f.SQLExpress = text(q, "FldExpress");
        f.ValueType = enumValue(integer(q, "FldValType"), vtObject);
        const QString source = text(q, "FldValSource");
        if ((f.ValueType == vtCreater || f.ValueType == vtUser) && hidden) {
            f.DataType = FieldTypes::ftWideString;
            f.Precision = 50;
            f.SQLExpress = QStringLiteral("(select UsrName from QZ_SYS_Users with(nolock) where UsrID=") + f.SQLExpress + u')';
        } else if (f.ValueType == vtCreater || f.ValueType == vtUser) {
            // The user's name through a join on the users table, aliased by the field ID.
            TInfoDataSourceDef ds;
            ds.ID = f.ID;
            ds.DataType = dsTable;
            ds.SQLData = QStringLiteral("QZ_SYS_Users");
            ds.Join = f.SQLExpress + u'=' + f.ID + QStringLiteral(".UsrID");
            ADef->DataSources.push_back(ds);
            f.DataType = FieldTypes::ftWideString;
            f.Precision = 50;
            f.SQLExpress = f.ID + QStringLiteral(".UsrName");
        } else if (f.ValueType == vtSysEnum) {
            // Class=ID,ID,...: the class's cached list, and the IDs the field may take.
            const QString enumClass = source.section(u'=', 0, 0).trimmed();
            QString ids = source.section(u'=', 1);
            ids.remove(u' ');
            TSystemEnumList* list = enumClass.isEmpty() ? nullptr : InfoApplication->GetSystemEnumList(enumClass);
            if (list && list->Count() > 0) {
                f.EnumValues = list;
                if (!ids.isEmpty())
                    f.ValueSource = u'|' + ids.split(u',', Qt::SkipEmptyParts).join(u'|') + u'|';
            }
        } else {
            f.ValueSource = source;
        }
        f.HideList = boolean(q, "FldHideList");
        f.HideSort = boolean(q, "FldHideSort");
        f.HideFilter = boolean(q, "FldHideFilter");
        f.HideTotal = boolean(q, "FldHideTotal");
        f.Layout = enumValue(integer(q, "FldLayout"), flDefaultHide);
        f.ViewSign = enumValue(integer(q, "FldViewSign"), vsBizError);
        return f;
    };
    ADef->Fields.clear();
    ADef->Fields.reserve(size_t(q->RecordCount()));
    for (; !q->Eof(); q->Next())
        ADef->Fields.push_back(readField(false));
    ADef->HiddenFields.clear();
    if (!admin && !ADef->PermitCodes.isEmpty() && ADef->PermitCodes != QLatin1String("1=0")) {
        open(q, QStringLiteral("select * from QZ_SYS_ObjFields with(nolock) where FldObjID=") + objID
                    + QStringLiteral(" order by FldSeqNo, FldName"));
        for (; !q->Eof(); q->Next())
            if (ADef->IndexOfField(trimmed(q, "FldID")) < 0)
                ADef->HiddenFields.push_back(readField(true));
    }

    // 6. actions: open to all ("*"), or granted and not denied by action or access group
    if (admin)
        open(q, QStringLiteral("select * from QZ_SYS_ObjActions with(nolock) where ActObjID=") + objID
                    + QStringLiteral(" order by ActGroup, ActSeqNo, ActName"));
    else
        open(q, formatSQL(QStringLiteral("select a.* from QZ_SYS_ObjActions as a with(nolock) left join (") + grantedRelIDs(1, false)
                              + QStringLiteral(") as p1 on ActObjID=p1.PmsObjID and ActID=p1.PmsRelID left join (")
                              + grantedRelIDs(1, true)
                              + QStringLiteral(") as p2 on ActObjID=p2.PmsObjID and ActID=p2.PmsRelID left join (")
                              + grantedRelIDs(2, false)
                              + QStringLiteral(") as p3 on ActObjID=p3.PmsObjID and ActAgrID=p3.PmsRelID left join (")
                              + grantedRelIDs(2, true)
                              + QStringLiteral(") as p4 on ActObjID=p4.PmsObjID and ActAgrID=p4.PmsRelID where ActObjID=%0:s "
                                               "and (ActAgrID='*' or p1.PmsObjID is not null and p2.PmsObjID is null or "
                                               "p3.PmsObjID is not null and p4.PmsObjID is null) order by ActGroup, ActSeqNo, "
                                               "ActName"),
                          args));
    ADef->CanPrint = false;
    ADef->CanExport = false;
    ADef->Actions.clear();
    ADef->Actions.reserve(size_t(q->RecordCount()));
    for (; !q->Eof(); q->Next()) {
        TInfoActionDef a;
        a.ID = trimmed(q, "ActID");
        a.Name = text(q, "ActName");
        a.ActType = enumValue(integer(q, "ActType"), atUnCheck);
        if (a.ActType == atPrint)
            ADef->CanPrint = true;
        if (a.ActType == atExport)
            ADef->CanExport = true;
        a.Kind = enumValue(integer(q, "ActKind"), akGlobal);
        a.Group = integer(q, "ActGroup");
        a.InEditor = boolean(q, "ActInEditor");
        a.Context = trimmed(q, "ActContext");
        a.Filter = trimmed(q, "ActFilter");
        a.DllName = trimmed(q, "ActDllName");
        if (a.DllName.isEmpty())
            a.DllName = ADef->DllName;
        ADef->Actions.push_back(a);
    }

    // 7. relations: targets that are internal, or granted and not denied
    QString relations = QStringLiteral(
        "select r.*, RelActName=(case when isnull(RelName,'')='' then ObjName else RelName end) from QZ_SYS_ObjRelations as r "
        "with(nolock) join QZ_SYS_Objects with(nolock) on RelVSObjID=ObjID where RelObjID=%0:s");
    if (!admin)
        relations += QStringLiteral(" and (ObjInternal=1 or exists (select distinct PmsObjID from QZ_SYS_Permissions with(nolock) "
                                    "where PmsObjID=RelVSObjID and ")
            + QLatin1String(whoCondition)
            + QStringLiteral(" and PmsType=0 and PmsKind<>%3:d) and not exists (select distinct PmsObjID from QZ_SYS_Permissions "
                             "with(nolock) where PmsObjID=RelVSObjID and ")
            + QLatin1String(whoCondition) + QStringLiteral(" and PmsType=0 and PmsKind=%3:d))");
    relations += QStringLiteral(" order by RelAsBody desc, RelSeqNo, RelName, ObjName");
    open(q, formatSQL(relations, args));
    ADef->Relations.clear();
    ADef->Relations.reserve(size_t(q->RecordCount()));
    for (; !q->Eof(); q->Next()) {
        TInfoRelationDef r;
        r.ID = trimmed(q, "RelID");
        r.Name = text(q, "RelActName");
        r.AsBody = boolean(q, "RelAsBody");
        r.RelObjID = trimmed(q, "RelVSObjID");
        r.FieldMaps = text(q, "RelFieldMaps");
        ADef->Relations.push_back(r);
    }
    q->Close();
}

TInfoObjectDef* DoGetInfoObjectDef(const QString& AObjectID)
{
    auto& defs = cache();
    const auto found = defs.find(AObjectID);
    if (found != defs.end())
        return found->second.get();
    auto def = std::make_unique<TInfoObjectDef>();
    def->ID = AObjectID;
    LoadInfoObjectDef(def.get());
    if (def->ID.isEmpty())
        return nullptr;
    TInfoObjectDef* result = def.get();
    defs.emplace(AObjectID, std::move(def));
    return result;
}

void ClearInfoObjectDefCache()
{
    cache().clear();
}

int InfoObjectDefCacheCount()
{
    return int(cache().size());
}

void InstallInfoObjectDefHooks(TInfoApplication* AApplication)
{
    AApplication->GetInfoObjectDefProc = DoGetInfoObjectDef;
}
