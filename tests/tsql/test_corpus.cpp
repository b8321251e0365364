// The system's own SQL texts (settings, enums, view schemes, login, definition
// loading, navigator, permissions) run on a small account set, with the rows
// each must give. Statements are joined by CR as the system sends them.
#include "TsqlTestUtil.h"

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

const char* kSchema = R"(
create table QZ_SYS_SysSettings (SetClass varchar(50) not null, SetKey varchar(50) not null, SetValue nvarchar(2000) null,
  constraint PK_QZ_SYS_SysSettings primary key (SetClass, SetKey))
create table QZ_SYS_UserSettings (SetUsrID varchar(50) not null, SetClass varchar(50) not null, SetKey varchar(50) not null,
  SetValue nvarchar(2000) null, primary key (SetUsrID, SetClass, SetKey))
create table QZ_SYS_Enums (EnmClass varchar(50) not null, EnmID int not null, EnmName nvarchar(80) null, primary key (EnmClass, EnmID))
create table QZ_SYS_ViewSchemes (ViwIID int identity(1,1) not null primary key, ViwID varchar(100) not null, ViwUsrID varchar(50) not null,
  ViwName nvarchar(80) null, ViwKind int not null default 0, ViwParams ntext null, ViwPSetting ntext null, ViwTime datetime null)
create table QZ_SYS_ViewMasks (ViwID varchar(100) not null primary key, ViwMask nvarchar(2000) null)
create table QZ_SYS_Users (UsrID varchar(50) not null primary key, UsrNo varchar(50) not null, UsrName nvarchar(80) null,
  UsrAdmin bit not null default 0, UsrDisabled bit not null default 0)
create table QZ_SYS_UserGroups (GrpID varchar(50) not null primary key, GrpNo varchar(50) not null, GrpName nvarchar(80) null, GrpAdmin bit not null default 0)
create table QZ_SYS_UserBelongs (UsrID varchar(50) not null, GrpID varchar(50) not null, primary key (UsrID, GrpID))
create table QZ_SYS_Objects (ObjID varchar(100) not null primary key, ObjName nvarchar(80) null, ObjType int not null default 0,
  ObjInternal bit not null default 0, ObjHasEditor bit not null default 0, ObjDllName varchar(100) null, ObjSID varchar(100) null,
  ObjCanFilter bit not null default 1)
create table QZ_SYS_ObjActions (ActObjID varchar(100) not null, ActID varchar(50) not null, ActName nvarchar(80) null, ActType int not null default 0,
  ActKind int not null default 0, ActGroup int not null default 0, ActSeqNo smallint not null default 0, ActAgrID varchar(50) null,
  primary key (ActObjID, ActID))
create table QZ_SYS_ObjAccessGroups (AgrObjID varchar(100) not null, AgrID varchar(50) not null, AgrName nvarchar(80) null,
  AgrSeqNo smallint not null default 0, primary key (AgrObjID, AgrID))
create table QZ_SYS_ObjFields (FldObjID varchar(100) not null, FldID varchar(50) not null, FldName nvarchar(80) null,
  FldSeqNo int not null default 0, FldAgrID varchar(50) null, primary key (FldObjID, FldID))
create table QZ_SYS_ObjRelations (RelObjID varchar(100) not null, RelID varchar(50) not null, RelName nvarchar(80) null,
  RelVSObjID varchar(100) not null, RelAsBody bit not null default 0, RelSeqNo int not null default 0, primary key (RelObjID, RelID))
create table QZ_SYS_ObjDataSources (DtsObjID varchar(100) not null, DtsID varchar(50) not null, DtsMain bit not null default 0,
  DtsType int not null default 0, DtsSource ntext null, DtsFilter nvarchar(400) null, DtsJoin nvarchar(400) null, DtsSeqNo int not null default 0,
  primary key (DtsObjID, DtsID))
create table QZ_SYS_Permissions (PmsIsGroup bit not null, PmsUsrID varchar(50) not null, PmsObjID varchar(100) not null, PmsType int not null,
  PmsRelID varchar(50) not null default '', PmsKind int not null, PmsFilter nvarchar(2000) null)
create table QZ_SYS_Modules (ModID varchar(50) not null primary key, ModName nvarchar(80) null, ModParent varchar(50) null, ModSeqNo int not null default 0)
create table QZ_SYS_Functions (FunID varchar(50) not null primary key, FunName nvarchar(80) null, FunModID varchar(50) null, FunSeqNo int not null default 0,
  FunType int not null default 0, FunObject varchar(100) null, FunAction varchar(50) null)
)";

const char* kData = R"(
insert QZ_SYS_Users (UsrID, UsrNo, UsrName, UsrAdmin, UsrDisabled) values ('U1', 'zhang', N'张三', 0, 0)
insert QZ_SYS_Users (UsrID, UsrNo, UsrName, UsrAdmin, UsrDisabled) values ('U2', 'li', N'李四', 0, 1)
insert QZ_SYS_UserGroups (GrpID, GrpNo, GrpName, GrpAdmin) values ('G1', 'plan', N'计划组', 0)
insert QZ_SYS_UserGroups (GrpID, GrpNo, GrpName, GrpAdmin) values ('G2', 'admin', N'管理员', 1)
insert QZ_SYS_UserBelongs (UsrID, GrpID) values ('U1', 'G1')
insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjInternal) values ('QZ.Items', N'物料', 0, 0)
insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjInternal) values ('QZ.Boms', N'BOM', 0, 0)
insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjInternal) values ('QZ.Help', N'帮助', 0, 1)
insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActSeqNo, ActAgrID) values ('QZ.Items', 'Print', N'打印', 4, 1, '')
insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActSeqNo, ActAgrID) values ('QZ.Items', 'Calc', N'计算', 0, 2, null)
insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActSeqNo, ActAgrID) values ('QZ.Items', 'Cost', N'成本', 0, 3, 'A1')
insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActSeqNo, ActAgrID) values ('QZ.Items', 'Open', N'打开', 0, 4, '*')
insert QZ_SYS_ObjAccessGroups (AgrObjID, AgrID, AgrName, AgrSeqNo) values ('QZ.Items', 'A1', N'价格', 1)
insert QZ_SYS_ObjAccessGroups (AgrObjID, AgrID, AgrName, AgrSeqNo) values ('QZ.Items', 'A2', N'库存', 2)
insert QZ_SYS_ObjFields (FldObjID, FldID, FldName, FldSeqNo, FldAgrID) values ('QZ.Items', 'Code', N'代码', 1, null)
insert QZ_SYS_ObjFields (FldObjID, FldID, FldName, FldSeqNo, FldAgrID) values ('QZ.Items', 'Price', N'单价', 2, 'A1')
insert QZ_SYS_ObjFields (FldObjID, FldID, FldName, FldSeqNo, FldAgrID) values ('QZ.Items', 'Stock', N'库存', 3, 'A2')
insert QZ_SYS_ObjFields (FldObjID, FldID, FldName, FldSeqNo, FldAgrID) values ('QZ.Items', 'Name', N'名称', 1, '')
insert QZ_SYS_ObjRelations (RelObjID, RelID, RelName, RelVSObjID, RelAsBody, RelSeqNo) values ('QZ.Items', 'R1', '', 'QZ.Boms', 0, 1)
insert QZ_SYS_ObjRelations (RelObjID, RelID, RelName, RelVSObjID, RelAsBody, RelSeqNo) values ('QZ.Items', 'R2', N'说明', 'QZ.Help', 1, 2)
insert QZ_SYS_ObjDataSources (DtsObjID, DtsID, DtsMain, DtsType, DtsSource, DtsSeqNo) values ('QZ.Items', 'M', 1, 0, 'ICItem', 1)
insert QZ_SYS_ObjDataSources (DtsObjID, DtsID, DtsMain, DtsType, DtsSource, DtsJoin, DtsSeqNo) values ('QZ.Items', 'U', 0, 0, 'Units', 'M.Unit=U.ID', 2)
insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (0, 'U1', 'QZ.Items', 0, '', 1, 'F1|Qty>0')
insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (1, 'G1', 'QZ.Items', 2, 'A1', 1, null)
insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (1, 'G1', 'QZ.Items', 2, 'A2', 1, null)
insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (0, 'U1', 'QZ.Items', 2, 'A2', 2, null)
insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (1, 'G1', 'QZ.Items', 1, 'Calc', 1, null)
insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (1, 'G1', 'QZ.Boms', 0, '', 1, '')
insert QZ_SYS_Enums (EnmClass, EnmID, EnmName) values ('ItemType', 2, N'外购')
insert QZ_SYS_Enums (EnmClass, EnmID, EnmName) values ('ItemType', 1, N'自制')
insert QZ_SYS_Modules (ModID, ModName, ModParent, ModSeqNo) values ('M1', N'计划', '', 1)
insert QZ_SYS_Modules (ModID, ModName, ModParent, ModSeqNo) values ('M2', N'基础', 'M1', 2)
insert QZ_SYS_Functions (FunID, FunName, FunModID, FunSeqNo, FunType, FunObject, FunAction) values ('F1', N'物料', 'M2', 1, 0, 'QZ.Items', '')
insert QZ_SYS_Functions (FunID, FunName, FunModID, FunSeqNo, FunType, FunObject, FunAction) values ('F2', N'BOM', 'M2', 2, 0, 'QZ.Boms', '')
insert QZ_SYS_Functions (FunID, FunName, FunModID, FunSeqNo, FunType, FunObject, FunAction) values ('F3', N'帮助', 'M1', 3, 0, 'QZ.Help', '')
insert QZ_SYS_Functions (FunID, FunName, FunModID, FunSeqNo, FunType, FunObject, FunAction) values ('F4', N'网址', 'M1', 4, 1, 'http://x', '')
)";

// %1 quoted user, %2 the user's groups as an in-list, %3 the denying kind
QString perms(const char* sql)
{
    return QString::fromUtf8(sql)
        .replace(QLatin1String("%1"), QLatin1String("'U1'"))
        .replace(QLatin1String("%2"), QLatin1String("'G1',null"))
        .replace(QLatin1String("%3"), QLatin1String("2"));
}

struct CorpusCase {
    const char* what;
    QString sql;
    QStringList rows;   // rows of the last result set
};

} // namespace

TEST(TsqlCorpus, StatementsOfTheSystem)
{
    const QString upsertSys = QStringLiteral(
        "if exists (select * from QZ_SYS_SysSettings where SetClass='Plan' and SetKey='Days')\r"
        "update QZ_SYS_SysSettings set SetValue='%1' where SetClass='Plan' and SetKey='Days'\r"
        "else\r"
        "insert QZ_SYS_SysSettings (SetClass, SetKey, SetValue) values ('Plan', 'Days', '%1')");
    const QString upsertUser = QStringLiteral(
        "if exists (select * from QZ_SYS_UserSettings where SetUsrID='U1' and SetClass='Grid' and SetKey='Font')\r"
        "update QZ_SYS_UserSettings set SetValue=N'宋体' where SetUsrID='U1' and SetClass='Grid' and SetKey='Font'\r"
        "else\r"
        "insert QZ_SYS_UserSettings (SetUsrID, SetClass, SetKey, SetValue) values ('U1', 'Grid', 'Font', N'宋体')");

    const CorpusCase cases[] = {
        {"settings upsert inserts", upsertSys.arg("30") + "\rselect SetValue from QZ_SYS_SysSettings where SetClass='Plan' and SetKey='Days'", {"30"}},
        {"settings upsert updates", upsertSys.arg("45") + "\rselect count(*), max(SetValue) from QZ_SYS_SysSettings", {"1|45"}},
        {"settings read ignores case", "select SetValue from QZ_SYS_SysSettings where SetClass='PLAN' and SetKey='days'", {"45"}},
        {"user settings upsert twice", upsertUser + "\r" + upsertUser + "\rselect SetValue from QZ_SYS_UserSettings where SetUsrID='U1' and SetClass='Grid' and SetKey='Font'", {"宋体"}},
        {"enum list", "select EnmID, EnmName from QZ_SYS_Enums with(nolock) where EnmClass='ItemType' order by EnmID", {"1|自制", "2|外购"}},
        {"server clock", "select [Now]=getdate()", {}},
        {"new view scheme",
         "delete QZ_SYS_ViewSchemes where ViwID='QZ.Items' and ViwUsrID='U1' and ViwKind=0\r"
         "insert QZ_SYS_ViewSchemes (ViwID, ViwUsrID, ViwName, ViwKind, ViwParams, ViwPSetting, ViwTime) values ('QZ.Items', 'U1', '', 0, 'a=1', '', getdate())\r"
         "select ViwIID=@@identity", {"1"}},
        {"named view scheme",
         "delete QZ_SYS_ViewSchemes where ViwID='QZ.Items' and ViwUsrID='U1' and ViwKind<>0 and ViwName=N'我的'\r"
         "insert QZ_SYS_ViewSchemes (ViwID, ViwUsrID, ViwName, ViwKind, ViwParams, ViwPSetting, ViwTime) values ('QZ.Items', 'U1', N'我的', 1, 'b=2', 'P', getdate())\r"
         "select ViwIID=@@identity", {"2"}},
        {"last-used scheme replaced, never reusing its number",
         "delete QZ_SYS_ViewSchemes where ViwID='QZ.Items' and ViwUsrID='U1' and ViwKind=0\r"
         "insert QZ_SYS_ViewSchemes (ViwID, ViwUsrID, ViwName, ViwKind, ViwParams, ViwPSetting, ViwTime) values ('QZ.Items', 'U1', '', 0, 'a=3', '', getdate())\r"
         "select ViwIID=@@identity", {"3"}},
        {"update of a stored scheme",
         "update QZ_SYS_ViewSchemes set ViwName=N'我的', ViwKind=1, ViwParams='b=9', ViwPSetting='', ViwTime=getdate() where ViwIID=2 and ViwID='QZ.Items' and ViwUsrID='U1'\r"
         "select ViwIID=2", {"2"}},
        {"scheme load", "select top 1 * from QZ_SYS_ViewSchemes with(nolock) where ViwID='QZ.Items' and ViwUsrID='U1' and ViwKind=0",
         {}},
        {"scheme delete", "delete QZ_SYS_ViewSchemes where ViwIID=3 and ViwID='QZ.Items' and ViwUsrID='U1'\rselect count(*) from QZ_SYS_ViewSchemes", {"1"}},
        {"view mask", "select ViwMask from QZ_SYS_ViewMasks with(nolock) where ViwID='QZ.Items'", {}},
        {"login user", "select UsrID, UsrName, UsrAdmin, UsrDisabled from QZ_SYS_Users with(nolock) where UsrNo='ZHANG'", {"U1|张三|0|0"}},
        {"login groups", "select b.GrpID, g.GrpAdmin from QZ_SYS_UserBelongs as b with(nolock) join QZ_SYS_UserGroups as g with(nolock) on b.GrpID=g.GrpID where b.UsrID='U1'", {"G1|0"}},
        {"object", "select ObjName, ObjType, ObjInternal from QZ_SYS_Objects with(nolock) where ObjID='qz.items'", {"物料|0|0"}},
        {"row permission",
         perms("select PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) where PmsObjID='QZ.Items' and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=0 order by PmsKind desc"),
         {"1|F1|Qty>0"}},
        {"data sources", "select DtsID, DtsMain, DtsJoin from QZ_SYS_ObjDataSources with(nolock) where DtsObjID='QZ.Items' order by DtsSeqNo", {"M|1|NULL", "U|0|M.Unit=U.ID"}},
        {"access groups granted and not denied",
         perms("select a.* from QZ_SYS_ObjAccessGroups as a with(nolock) left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Permissions with(nolock) where PmsObjID='QZ.Items' and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=2 and PmsKind<>%3) as p1 on AgrObjID=p1.PmsObjID and AgrID=p1.PmsRelID left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Permissions with(nolock) where PmsObjID='QZ.Items' and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=2 and PmsKind=%3) as p2 on AgrObjID=p2.PmsObjID and AgrID=p2.PmsRelID where AgrObjID='QZ.Items' and p1.PmsObjID is not null and p2.PmsObjID is null order by AgrSeqNo, AgrName"),
         {"QZ.Items|A1|价格|1"}},
        {"fields of the user",
         perms("select f.FldID from QZ_SYS_ObjFields as f with(nolock) left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Permissions with(nolock) where PmsObjID='QZ.Items' and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=2 and PmsKind<>%3) as p1 on FldObjID=p1.PmsObjID and FldAgrID=p1.PmsRelID left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Permissions with(nolock) where PmsObjID='QZ.Items' and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=2 and PmsKind=%3) as p2 on FldObjID=p2.PmsObjID and FldAgrID=p2.PmsRelID where FldObjID='QZ.Items' and (FldAgrID is null or FldAgrID='' or p1.PmsObjID is not null and p2.PmsObjID is null) order by FldSeqNo, FldName"),
         {"Code", "Name", "Price"}},
        {"actions of the user",
         perms("select a.ActID from QZ_SYS_ObjActions as a with(nolock) left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Permissions with(nolock) where PmsObjID='QZ.Items' and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=1 and PmsKind<>%3) as p1 on ActObjID=p1.PmsObjID and ActID=p1.PmsRelID left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Permissions with(nolock) where PmsObjID='QZ.Items' and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=1 and PmsKind=%3) as p2 on ActObjID=p2.PmsObjID and ActID=p2.PmsRelID left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Permissions with(nolock) where PmsObjID='QZ.Items' and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=2 and PmsKind<>%3) as p3 on ActObjID=p3.PmsObjID and ActAgrID=p3.PmsRelID left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Permissions with(nolock) where PmsObjID='QZ.Items' and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=2 and PmsKind=%3) as p4 on ActObjID=p4.PmsObjID and ActAgrID=p4.PmsRelID where ActObjID='QZ.Items' and (ActAgrID='*' or p1.PmsObjID is not null and p2.PmsObjID is null or p3.PmsObjID is not null and p4.PmsObjID is null) order by ActGroup, ActSeqNo, ActName"),
         {"Calc", "Cost", "Open"}},
        {"relations of an administrator",
         "select r.RelID, RelActName=(case when isnull(RelName,'')='' then ObjName else RelName end) from QZ_SYS_ObjRelations as r with(nolock) join QZ_SYS_Objects with(nolock) on RelVSObjID=ObjID where RelObjID='QZ.Items' order by RelAsBody desc, RelSeqNo, RelName, ObjName",
         {"R2|说明", "R1|BOM"}},
        {"relations of the user",
         perms("select r.RelID, RelActName=(case when isnull(RelName,'')='' then ObjName else RelName end) from QZ_SYS_ObjRelations as r with(nolock) join QZ_SYS_Objects with(nolock) on RelVSObjID=ObjID where RelObjID='QZ.Items' and (ObjInternal=1 or exists (select distinct PmsObjID from QZ_SYS_Permissions with(nolock) where PmsObjID=RelVSObjID and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=0 and PmsKind<>%3) and not exists (select distinct PmsObjID from QZ_SYS_Permissions with(nolock) where PmsObjID=RelVSObjID and (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsType=0 and PmsKind=%3)) order by RelAsBody desc, RelSeqNo, RelName, ObjName"),
         {"R2|说明", "R1|BOM"}},
        {"navigator functions of the user",
         perms("select f.FunID from QZ_SYS_Functions as f with(nolock) left join QZ_SYS_Objects as o with(nolock) on FunType=0 and FunObject=ObjID left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Functions with(nolock) join QZ_SYS_Permissions with(nolock) on FunType=0 and PmsType in (0,1) and FunObject=PmsObjID and FunAction=PmsRelID where (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsKind<>%3) as p1 on FunType=0 and FunObject=p1.PmsObjID and FunAction=p1.PmsRelID left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Functions with(nolock) join QZ_SYS_Permissions with(nolock) on FunType=0 and PmsType in (0,1) and FunObject=PmsObjID and FunAction=PmsRelID where (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsKind=%3) as p2 on FunType=0 and FunObject=p2.PmsObjID and FunAction=p2.PmsRelID left join (select distinct ActObjID, ActID from QZ_SYS_Functions with(nolock) join QZ_SYS_ObjActions with(nolock) on FunType=0 and FunObject=ActObjID and FunAction=ActID join QZ_SYS_Permissions with(nolock) on PmsType=2 and ActObjID=PmsObjID and ActAgrID=PmsRelID where (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsKind<>%3) as p3 on FunType=0 and FunObject=p3.ActObjID and FunAction=p3.ActID left join (select distinct ActObjID, ActID from QZ_SYS_Functions with(nolock) join QZ_SYS_ObjActions with(nolock) on FunType=0 and FunObject=ActObjID and FunAction=ActID join QZ_SYS_Permissions with(nolock) on PmsType=2 and ActObjID=PmsObjID and ActAgrID=PmsRelID where (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsKind=%3) as p4 on FunType=0 and FunObject=p4.ActObjID and FunAction=p4.ActID where FunType<>0 or o.ObjInternal=1 or p1.PmsObjID is not null and p2.PmsObjID is null or p3.ActObjID is not null and p4.ActObjID is null order by FunModID, FunSeqNo"),
         {"F3", "F4", "F1", "F2"}},
        {"modules", "select ModID from QZ_SYS_Modules with(nolock) order by ModParent, ModSeqNo", {"M1", "M2"}},
        {"user picker with the current-user row",
         "select * from (select [代码]=UsrNo,[名称]=UsrName,[禁用]=UsrDisabled from QZ_SYS_Users with(nolock) union select '', '<我>', cast(0 as bit)) as t where [代码] like '%'+'h'+'%' or [名称] like '%'+'h'+'%' order by [代码]",
         {"zhang|张三|0"}},
        {"object grants: columns",
         "select Type=1, ActID, ActName, ActSeqNo, ActType from QZ_SYS_ObjActions with(nolock) where ActObjID='QZ.Items' and isnull(ActAgrID,'')=''\r"
         "union\r"
         "select Type=2, AgrID, AgrName, AgrSeqNo, AgrType=0 from QZ_SYS_ObjAccessGroups with(nolock) where AgrObjID='QZ.Items'\r"
         " order by Type, ActSeqNo",
         {"1|Print|打印|1|4", "1|Calc|计算|2|0", "2|A1|价格|1|0", "2|A2|库存|2|0"}},
        {"object grants: rows",
         "select Type=1, UsrID, UsrNo, UsrName, UsrDisabled, PmsType, PmsRelID, PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) join QZ_SYS_Users with(nolock) on PmsIsGroup=0 and PmsUsrID=UsrID where PmsObjID='QZ.Items'\r"
         "union all\r"
         "select Type=0, GrpID, GrpNo, GrpName, cast(0 as bit), PmsType, PmsRelID, PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) join QZ_SYS_UserGroups with(nolock) on PmsIsGroup=1 and PmsUsrID=GrpID where PmsObjID='QZ.Items' order by Type, UsrNo",
         {"0|G1|plan|计划组|0|2|A1|1|NULL", "0|G1|plan|计划组|0|2|A2|1|NULL", "0|G1|plan|计划组|0|1|Calc|1|NULL",
          "1|U1|zhang|张三|0|0||1|F1|Qty>0", "1|U1|zhang|张三|0|2|A2|2|NULL"}},
    };
    ScratchDb db;
    db.ok(kSchema);
    db.ok(kData);
    for (const CorpusCase& c : cases) {
        BatchResult r = db.conn->execute(c.sql);
        ASSERT_TRUE(r.errors.isEmpty()) << c.what << ": " << errorsOf(r).toStdString();
        ASSERT_FALSE(r.resultSets.isEmpty()) << c.what;
        if (!c.rows.isEmpty()) {
            EXPECT_EQ(rowsOf(r.resultSets.last()), c.rows) << c.what;
        }
    }
}

TEST(TsqlCorpus, UserGrantsBatchWithTempTables)
{
    ScratchDb db;
    db.ok(kSchema);
    db.ok(kData);
    // loading the user view of user U1 with the inherited view on, twice on one connection
    const QString batch = QStringLiteral(
        "if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_SYS_PmsObjID'))\r"
        "drop table #QZ_SYS_PmsObjID\r"
        "select PmsObjID into #QZ_SYS_PmsObjID from QZ_SYS_Permissions with(nolock) where PmsIsGroup=0 and PmsUsrID='U1'\r"
        "union\r"
        "select PmsObjID from QZ_SYS_Permissions with(nolock) join QZ_SYS_UserBelongs with(nolock) on PmsIsGroup=1 and PmsUsrID=GrpID where UsrID='U1'\r"
        "if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_SYS_PmsActions'))\r"
        "drop table #QZ_SYS_PmsActions\r"
        "select ObjID, ObjName, ObjType, ObjCanFilter, Type=0, ActID=cast('' as varchar(50)), ActName=cast('' as nvarchar(80)), ActSeqNo=cast(0 as smallint), ActType=0"
        " into #QZ_SYS_PmsActions from QZ_SYS_Objects with(nolock) join #QZ_SYS_PmsObjID on ObjID=PmsObjID\r"
        "union\r"
        "select ActObjID, '', 0, cast(0 as bit), Type=1, ActID, ActName, ActSeqNo, ActType from QZ_SYS_ObjActions with(nolock) join #QZ_SYS_PmsObjID on ActObjID=PmsObjID and isnull(ActAgrID,'')=''\r"
        "union\r"
        "select AgrObjID, '', 0, cast(0 as bit), Type=2, AgrID, AgrName, AgrSeqNo, 0 from QZ_SYS_ObjAccessGroups with(nolock) join #QZ_SYS_PmsObjID on AgrObjID=PmsObjID\r"
        "select t.ObjID, t.Type, t.ActID, GrpNo, PmsKind, PmsFilter from #QZ_SYS_PmsActions as t"
        " left join (select PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter, GrpNo, GrpName"
        " from QZ_SYS_Permissions with(nolock) left join QZ_SYS_UserBelongs as b with(nolock) on PmsIsGroup=1 and PmsUsrID=b.GrpID and UsrID='U1'"
        " left join QZ_SYS_UserGroups as g with(nolock) on b.GrpID=g.GrpID where PmsIsGroup=0 and PmsUsrID='U1' or b.GrpID is not null\r"
        "union all\r"
        "select ObjID, Type, ActID, 0, null, null, null from #QZ_SYS_PmsActions"
        " left join QZ_SYS_Permissions with(nolock) on PmsIsGroup=0 and PmsUsrID='U1' and ObjID=PmsObjID and Type=PmsType and ActID=PmsRelID"
        " where PmsObjID is null) as p"
        " on ObjID=PmsObjID and Type=PmsType and ActID=PmsRelID\r"
        " order by ObjID, GrpNo, Type, ActSeqNo");
    const QStringList expected = {
        "QZ.Boms|0||NULL|0|NULL",
        "QZ.Boms|0||plan|1|",
        "QZ.Items|0||NULL|1|F1|Qty>0",
        "QZ.Items|1|Print|NULL|0|NULL",
        "QZ.Items|1|Calc|NULL|0|NULL",
        "QZ.Items|2|A1|NULL|0|NULL",
        "QZ.Items|2|A2|NULL|2|NULL",
        "QZ.Items|1|Calc|plan|1|NULL",
        "QZ.Items|2|A1|plan|1|NULL",
        "QZ.Items|2|A2|plan|1|NULL",
    };
    for (int round = 0; round < 2; ++round) {
        BatchResult r = db.conn->execute(batch);
        ASSERT_TRUE(r.errors.isEmpty()) << errorsOf(r).toStdString();
        ASSERT_EQ(r.resultSets.size(), 1);
        EXPECT_EQ(rowsOf(r.resultSets[0]), expected) << "round " << round;
    }
    // the temp table keeps the declared types of its sources
    BatchResult t = db.ok("select * from #QZ_SYS_PmsActions where 1=0");
    const auto& cols = t.resultSets[0].columns;
    ASSERT_EQ(cols.size(), 9);
    EXPECT_EQ(cols[3].type, SqlType::Bit);
    EXPECT_EQ(cols[5].type, SqlType::Text);
    EXPECT_EQ(cols[5].size, 50);
    EXPECT_EQ(cols[7].type, SqlType::Integer);
}

TEST(TsqlCorpus, PermissionSaveAndCopyBatches)
{
    ScratchDb db;
    db.ok(kSchema);
    db.ok(kData);
    db.ok("delete QZ_SYS_Permissions where PmsObjID='QZ.Items'"
          "\rinsert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (0, 'U1', 'QZ.Items', 0, '', 1, 'F2|Qty<0')"
          "\rinsert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (1, 'G1', 'QZ.Items', 1, 'Calc', 1, null)");
    EXPECT_EQ(db.rows("select PmsUsrID, PmsKind, PmsFilter from QZ_SYS_Permissions where PmsObjID='QZ.Items' order by PmsUsrID desc"),
              (QStringList{"U1|1|F2|Qty<0", "G1|1|NULL"}));
    db.ok("delete QZ_SYS_Permissions where PmsIsGroup=0 and PmsUsrID='U2'\r"
          "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter)\r"
          "select 0, 'U2', PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) where PmsIsGroup=0 and PmsUsrID='U1'\r");
    EXPECT_EQ(db.rows("select PmsObjID, PmsFilter from QZ_SYS_Permissions where PmsUsrID='U2'"), QStringList{"QZ.Items|F2|Qty<0"});
}
