-- Korvane system tables: users, groups, permissions, info-object definitions,
-- navigation, enums, settings and view schemes.
-- Batches are separated by lines holding only "go".

-- user categories, a tree by CatParent
create table QZ_SYS_UserCategories (
  CatID nvarchar(50) not null primary key,
  CatNo nvarchar(50) not null,
  CatName nvarchar(80) not null,
  CatParent nvarchar(50) null
)
create index QZ_SYS_UserCategoriesNo on QZ_SYS_UserCategories (CatParent, CatNo)
go

-- users; UsrID is the ERP user's identity
create table QZ_SYS_Users (
  UsrID nvarchar(50) not null primary key,
  UsrNo nvarchar(50) not null,
  UsrName nvarchar(80) not null,
  UsrCatID nvarchar(50) null,
  UsrAdmin bit not null default(0),
  UsrDisabled bit not null default(0),
  UsrNote nvarchar(200) null
)
create unique index QZ_SYS_UsersNo on QZ_SYS_Users (UsrNo)
go

-- user groups; GrpAdmin makes every member an administrator
create table QZ_SYS_UserGroups (
  GrpID nvarchar(50) not null primary key,
  GrpNo nvarchar(50) not null,
  GrpName nvarchar(80) not null,
  GrpAdmin bit not null default(0),
  GrpNote nvarchar(200) null
)
create unique index QZ_SYS_UserGroupsNo on QZ_SYS_UserGroups (GrpNo)
go

-- group membership
create table QZ_SYS_UserBelongs (
  UsrID nvarchar(50) not null,
  GrpID nvarchar(50) not null
)
create unique index QZ_SYS_UserBelongsKey on QZ_SYS_UserBelongs (UsrID, GrpID)
create index QZ_SYS_UserBelongsGrp on QZ_SYS_UserBelongs (GrpID)
go

-- navigator modules, a tree by ModParent
create table QZ_SYS_Modules (
  ModID nvarchar(50) not null primary key,
  ModName nvarchar(80) not null,
  ModParent nvarchar(50) null,
  ModSeqNo int not null default(0),
  ModImgFile nvarchar(255) null,
  ModImgID nvarchar(50) null
)
go

-- navigator functions; FunType 0 opens the info object FunObject (FunAction '' = the object itself)
create table QZ_SYS_Functions (
  FunID nvarchar(50) not null primary key,
  FunModID nvarchar(50) not null,
  FunSeqNo int not null default(0),
  FunName nvarchar(80) not null,
  FunType int not null default(0),
  FunObject nvarchar(80) not null default(''),
  FunAction nvarchar(50) not null default(''),
  FunParams nvarchar(500) not null default(''),
  FunImgFile nvarchar(255) null,
  FunImgID nvarchar(50) null
)
create index QZ_SYS_FunctionsMod on QZ_SYS_Functions (FunModID, FunSeqNo)
go

-- info objects; ObjType 10 view, 11 frame, 12 form of the library ObjDllName, others host grids
create table QZ_SYS_Objects (
  ObjID nvarchar(80) not null primary key,
  ObjName nvarchar(80) not null,
  ObjType int not null default(0),
  ObjModID nvarchar(50) null,
  ObjInternal bit not null default(0),
  ObjHasEditor bit not null default(0),
  ObjCanFilter bit not null default(0),
  ObjDllName nvarchar(255) not null default(''),
  ObjSID nvarchar(80) not null default(''),
  ObjNote nvarchar(200) null
)
create index QZ_SYS_ObjectsMod on QZ_SYS_Objects (ObjModID)
go

-- data sources of an info object; DtsID is the alias, DtsType 0 table, 1 select, 2 procedure, 3 function
create table QZ_SYS_ObjDataSources (
  DtsObjID nvarchar(80) not null,
  DtsID nvarchar(50) not null,
  DtsSeqNo int not null default(0),
  DtsMain bit not null default(0),
  DtsType int not null default(0),
  DtsSource nvarchar(max) not null,
  DtsFilter nvarchar(2000) null,
  DtsJoin nvarchar(2000) null
)
create unique index QZ_SYS_ObjDataSourcesKey on QZ_SYS_ObjDataSources (DtsObjID, DtsID)
go

-- access groups of an info object
create table QZ_SYS_ObjAccessGroups (
  AgrObjID nvarchar(80) not null,
  AgrID nvarchar(50) not null,
  AgrName nvarchar(80) not null,
  AgrSeqNo smallint not null default(0)
)
create unique index QZ_SYS_ObjAccessGroupsKey on QZ_SYS_ObjAccessGroups (AgrObjID, AgrID)
go

-- fields of an info object; FldDataType is the field-type ordinal of the data-access layer
create table QZ_SYS_ObjFields (
  FldObjID nvarchar(80) not null,
  FldID nvarchar(50) not null,
  FldSeqNo int not null default(0),
  FldName nvarchar(80) not null,
  FldPrimary bit not null default(0),
  FldDataType int not null default(1),
  FldPrecision int not null default(0),
  FldExpress nvarchar(2000) not null,
  FldValType int not null default(0),
  FldValSource nvarchar(2000) null,
  FldHideList bit not null default(0),
  FldHideSort bit not null default(0),
  FldHideFilter bit not null default(0),
  FldHideTotal bit not null default(0),
  FldLayout int not null default(0),
  FldViewSign int not null default(0),
  FldAgrID nvarchar(50) null
)
create unique index QZ_SYS_ObjFieldsKey on QZ_SYS_ObjFields (FldObjID, FldID)
go

-- actions of an info object; ActAgrID '*' = open to everyone who may open the object
create table QZ_SYS_ObjActions (
  ActObjID nvarchar(80) not null,
  ActID nvarchar(50) not null,
  ActName nvarchar(80) not null,
  ActType int not null default(6),
  ActKind int not null default(0),
  ActGroup int not null default(0),
  ActSeqNo smallint not null default(0),
  ActInEditor bit not null default(0),
  ActContext nvarchar(500) null,
  ActFilter nvarchar(2000) null,
  ActDllName nvarchar(255) null,
  ActAgrID nvarchar(50) not null default('')
)
create unique index QZ_SYS_ObjActionsKey on QZ_SYS_ObjActions (ActObjID, ActID)
go

-- related (detail) objects of an info object
create table QZ_SYS_ObjRelations (
  RelObjID nvarchar(80) not null,
  RelID nvarchar(50) not null,
  RelName nvarchar(80) null,
  RelSeqNo int not null default(0),
  RelAsBody bit not null default(0),
  RelVSObjID nvarchar(80) not null,
  RelFieldMaps nvarchar(1000) not null default('')
)
create unique index QZ_SYS_ObjRelationsKey on QZ_SYS_ObjRelations (RelObjID, RelID)
go

-- grants: PmsType 0 object, 1 action, 2 access group; PmsKind 2 denies
create table QZ_SYS_Permissions (
  PmsIID int identity(1,1) primary key,
  PmsIsGroup bit not null default(0),
  PmsUsrID nvarchar(50) not null,
  PmsObjID nvarchar(80) not null,
  PmsType int not null default(0),
  PmsRelID nvarchar(50) not null default(''),
  PmsKind int not null default(1),
  PmsFilter nvarchar(max) null
)
create index QZ_SYS_PermissionsUsr on QZ_SYS_Permissions (PmsUsrID, PmsIsGroup)
create index QZ_SYS_PermissionsObj on QZ_SYS_Permissions (PmsObjID, PmsType, PmsRelID)
go

-- row-level shares, e.g. released plan schemes and their receivers
create table QZ_SYS_DataPermissions (
  DpmIID int identity(1,1) primary key,
  DpmUsrID nvarchar(50) not null,
  DpmIsGroup bit not null default(0),
  DpmObjID nvarchar(80) not null,
  DpmDataID nvarchar(50) not null,
  DpmActID nvarchar(50) not null default('')
)
create index QZ_SYS_DataPermissionsObj on QZ_SYS_DataPermissions (DpmObjID, DpmDataID)
go

-- system value lists
create table QZ_SYS_Enums (
  EnmClass nvarchar(50) not null,
  EnmID int not null,
  EnmName nvarchar(80) not null
)
create unique index QZ_SYS_EnumsKey on QZ_SYS_Enums (EnmClass, EnmID)
go

-- system-wide settings
create table QZ_SYS_SysSettings (
  SetClass nvarchar(50) not null,
  SetKey nvarchar(100) not null,
  SetValue nvarchar(max) null
)
create unique index QZ_SYS_SysSettingsKey on QZ_SYS_SysSettings (SetClass, SetKey)
go

-- per-user settings
create table QZ_SYS_UserSettings (
  SetUsrID nvarchar(50) not null,
  SetClass nvarchar(50) not null,
  SetKey nvarchar(100) not null,
  SetValue nvarchar(max) null
)
create unique index QZ_SYS_UserSettingsKey on QZ_SYS_UserSettings (SetUsrID, SetClass, SetKey)
go

-- saved view schemes; ViwKind 0 last used, 1 private, 2 public
create table QZ_SYS_ViewSchemes (
  ViwIID int identity(1,1) primary key,
  ViwID nvarchar(100) not null,
  ViwUsrID nvarchar(50) not null default(''),
  ViwName nvarchar(80) not null default(''),
  ViwKind int not null default(0),
  ViwParams nvarchar(max) null,
  ViwPSetting nvarchar(max) null,
  ViwTime datetime null
)
create index QZ_SYS_ViewSchemesID on QZ_SYS_ViewSchemes (ViwID, ViwUsrID, ViwKind)
go

-- fields hidden from a view, separated by |
create table QZ_SYS_ViewMasks (
  ViwID nvarchar(100) not null primary key,
  ViwMask nvarchar(2000) not null default('')
)
go
