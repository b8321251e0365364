-- Korvane planning tables: plan schemes and their results, factory calendars,
-- item planning settings, loss-rate mode and forecast deduction.
-- The result tables keep the columns of the MRP run's work tables, plus the
-- scheme identity, so a run's rows are copied into them column for column.

-- plan schemes; SchType 0 workbench, 1 kit analysis, 2 shortage analysis
create table QZ_MRP_Schemes (
  SchIID int identity(1,1) primary key,
  SchType int not null default(0),
  SchName nvarchar(80) not null default(''),
  SchCalIID int not null default(0),
  SchPeriods varchar(4000) not null default(''),
  SchMpsSource int not null default(0),
  SchNeedScope int not null default(0),
  SchCareSafety int not null default(0),
  SchCareReplace int not null default(0),
  SchCareSuites int not null default(0),
  SchTrackMode int not null default(0),
  SchItemTrack bit not null default(0),
  SchCareLoss bit not null default(0),
  SchCareLot bit not null default(0),
  SchFilters nvarchar(max) null,
  SchUsrID nvarchar(50) not null default(''),
  SchState int not null default(0),
  SchNewTime datetime null,
  SchUpdTime datetime null,
  SchMaxTime datetime null,
  SchMpsCalIID int not null default(0),
  SchMpsPeriods varchar(4000) not null default(''),
  SchMpsRunTime datetime null,
  SchMpsUpdTime datetime null,
  SchMrpCalIID int not null default(0),
  SchMrpPeriods varchar(4000) not null default(''),
  SchMrpRunTime datetime null,
  SchMrpUpdTime datetime null,
  SchRelTime datetime null
)
create index QZ_MRP_SchemesUsr on QZ_MRP_Schemes (SchType, SchUsrID)
go

-- main demand of a scheme
create table QZ_MRP_Main (
  ManSchIID int not null,
  ManIID int not null,
  ManPeriod smallint not null,
  ManBillType tinyint not null,
  ManBillID nvarchar(50) null,
  ManBillNo nvarchar(80) null,
  ManBillEntry int null,
  ManBillDate datetime null,
  ManBillQty decimal(28,8) null,
  ManSuppID nvarchar(50) null,
  ManDeptID nvarchar(50) null,
  ManOrigType tinyint null,
  ManOrigID nvarchar(50) null,
  ManOrigNo nvarchar(80) null,
  ManOrigEntry int null,
  ManOrigItmID nvarchar(50) null,
  ManOrigCustID nvarchar(50) null,
  ManOrigCustPO nvarchar(80) null,
  ManOrigTag nvarchar(80) null,
  ManOrigSubTag nvarchar(80) null,
  ManGroupType tinyint not null default(0),
  ManGroupNo nvarchar(100) not null default(''),
  ManDate datetime not null,
  ManPriority int null default(0),
  ManItmID nvarchar(50) not null,
  ManItmProps nvarchar(100) not null default(''),
  ManItmProp1 nvarchar(80) null,
  ManItmProp2 nvarchar(80) null,
  ManItmProp3 nvarchar(80) null,
  ManItmProp4 nvarchar(80) null,
  ManItmProp5 nvarchar(80) null,
  ManItmProp6 nvarchar(80) null,
  ManItmProp7 nvarchar(80) null,
  ManItmProp8 nvarchar(80) null,
  ManItmProp9 nvarchar(80) null,
  ManItmProp10 nvarchar(80) null,
  ManBomType tinyint not null default(0),
  ManBomID nvarchar(50) null,
  ManExeQty decimal(28,8) null,
  ManDedQty decimal(28,8) null,
  ManNeedQty decimal(28,8) null,
  ManAdjQty decimal(28,8) null,
  ManQty decimal(28,8) not null,
  ManNote nvarchar(500) null,
  ManHints varchar(max) null
)
create unique index QZ_MRP_MainKey on QZ_MRP_Main (ManSchIID, ManIID)
create index QZ_MRP_MainBill on QZ_MRP_Main (ManSchIID, ManBillType, ManBillID, ManBillEntry)
go

-- demands of an MRP run
create table QZ_MRP_Demands (
  DmdSchIID int not null,
  DmdIID int not null,
  DmdPeriod smallint not null,
  DmdBillType tinyint null,
  DmdBillID nvarchar(50) null,
  DmdBillNo nvarchar(80) null,
  DmdBillEntry int null,
  DmdBillDate datetime null,
  DmdBillQty decimal(28,8) null,
  DmdSuppID nvarchar(50) null,
  DmdDeptID nvarchar(50) null,
  DmdOrigType int null,
  DmdOrigID nvarchar(50) null,
  DmdOrigNo nvarchar(80) null,
  DmdOrigEntry int null,
  DmdOrigItmID nvarchar(50) null,
  DmdOrigCustID nvarchar(50) null,
  DmdOrigCustPO nvarchar(80) null,
  DmdOrigTag nvarchar(80) null,
  DmdOrigSubTag nvarchar(80) null,
  DmdGroupType tinyint not null default(0),
  DmdGroupNo nvarchar(100) not null default(''),
  DmdItmID nvarchar(50) not null,
  DmdItmProps nvarchar(100) not null default(''),
  DmdItmProp1 nvarchar(80) null,
  DmdItmProp2 nvarchar(80) null,
  DmdItmProp3 nvarchar(80) null,
  DmdItmProp4 nvarchar(80) null,
  DmdItmProp5 nvarchar(80) null,
  DmdItmProp6 nvarchar(80) null,
  DmdItmProp7 nvarchar(80) null,
  DmdItmProp8 nvarchar(80) null,
  DmdItmProp9 nvarchar(80) null,
  DmdItmProp10 nvarchar(80) null,
  DmdDate datetime null,
  DmdDayOffset int null,
  DmdPriority int null default(0),
  DmdPSupIID int null,
  DmdUnitQty decimal(28,8) null,
  DmdNeedQty decimal(28,8) not null,
  DmdInvQty decimal(28,8) null,
  DmdMOQty decimal(28,8) null,
  DmdOOQty decimal(28,8) null,
  DmdPOQty decimal(28,8) null,
  DmdMRQty decimal(28,8) null,
  DmdORQty decimal(28,8) null,
  DmdPRQty decimal(28,8) null,
  DmdGrpxQty decimal(28,8) null,
  DmdReplQty decimal(28,8) null,
  DmdChkQty decimal(28,8) null,
  DmdASetQty decimal(28,8) null,
  DmdASetRate decimal(28,8) null,
  DmdPPPQty1 decimal(28,8) null,
  DmdPPPQty2 decimal(28,8) null,
  DmdPDmdIID1 int null,
  DmdPDmdIID2 varchar(1000) null,
  DmdQty decimal(28,8) not null,
  DmdBomHook varchar(50) null,
  DmdBomType tinyint not null default(0),
  DmdBomID nvarchar(50) null,
  DmdNote nvarchar(500) null,
  DmdHints varchar(max) null,
  DmdPHints varchar(max) null
)
create unique index QZ_MRP_DemandsKey on QZ_MRP_Demands (DmdSchIID, DmdIID)
create index QZ_MRP_DemandsItm on QZ_MRP_Demands (DmdSchIID, DmdItmID, DmdItmProps)
create index QZ_MRP_DemandsPSup on QZ_MRP_Demands (DmdSchIID, DmdPSupIID)
go

-- supplies of an MRP run, planned ones included
create table QZ_MRP_Supplies (
  SupSchIID int not null,
  SupIID int not null,
  SupPeriod smallint not null,
  SupBillType tinyint not null,
  SupBillID nvarchar(50) null,
  SupBillNo nvarchar(80) null,
  SupBillEntry int null,
  SupBillDate datetime null,
  SupBillQty decimal(28,8) null,
  SupSuppID nvarchar(50) null,
  SupDeptID nvarchar(50) null,
  SupOrigType int null,
  SupOrigID nvarchar(50) null,
  SupOrigNo nvarchar(80) null,
  SupOrigEntry int null,
  SupOrigItmID nvarchar(50) null,
  SupOrigCustID nvarchar(50) null,
  SupOrigCustPO nvarchar(80) null,
  SupOrigTag nvarchar(80) null,
  SupOrigSubTag nvarchar(80) null,
  SupGroupType tinyint not null default(0),
  SupGroupNo nvarchar(100) not null default(''),
  SupItmID nvarchar(50) not null,
  SupItmProps nvarchar(100) not null default(''),
  SupItmProp1 nvarchar(80) null,
  SupItmProp2 nvarchar(80) null,
  SupItmProp3 nvarchar(80) null,
  SupItmProp4 nvarchar(80) null,
  SupItmProp5 nvarchar(80) null,
  SupItmProp6 nvarchar(80) null,
  SupItmProp7 nvarchar(80) null,
  SupItmProp8 nvarchar(80) null,
  SupItmProp9 nvarchar(80) null,
  SupItmProp10 nvarchar(80) null,
  SupDate datetime null,
  SupLeadDays int null,
  SupPriority int null default(0),
  SupPDmdIID int null,
  SupAdjQty decimal(28,8) null,
  SupQty decimal(28,8) not null,
  SupChkQty decimal(28,8) null,
  SupAllotQty decimal(28,8) null,
  SupAGrpxQty decimal(28,8) null,
  SupAReplQty decimal(28,8) null,
  SupHasAdjDays bit null default(0),
  SupRestQty decimal(28,8) not null,
  SupBomLocked bit not null default(0),
  SupBomType tinyint not null default(0),
  SupBomID nvarchar(50) null,
  SupDrawDate datetime null,
  SupDSetQty decimal(28,8) null,
  SupDSetRate decimal(28,8) null,
  SupDestQty decimal(28,8) null,
  SupDester nvarchar(50) null,
  SupDestTime datetime null,
  SupNote nvarchar(500) null,
  SupHints varchar(max) null,
  SupPHints varchar(max) null,
  SupPDmdIIDs nvarchar(max) null,
  SupTrackKey nvarchar(200) null
)
create unique index QZ_MRP_SuppliesKey on QZ_MRP_Supplies (SupSchIID, SupIID)
create index QZ_MRP_SuppliesItm on QZ_MRP_Supplies (SupSchIID, SupItmID, SupItmProps)
create index QZ_MRP_SuppliesBill on QZ_MRP_Supplies (SupSchIID, SupBillType, SupBillID, SupBillEntry)
-- the supplies planned or allotted for a demand: the allotment tree joins every demand line to its own
create index QZ_MRP_SuppliesPDmd on QZ_MRP_Supplies (SupSchIID, SupPDmdIID)
go

-- the planner's adjustments of planned supplies
create table QZ_MRP_SupAdjusts (
  AdjSchIID int not null,
  AdjSupIID int not null,
  AdjOldType int null,
  AdjOldBomID nvarchar(50) null,
  AdjOldQty decimal(28,8) null,
  AdjPending bit not null default(0)
)
create index QZ_MRP_SupAdjustsKey on QZ_MRP_SupAdjusts (AdjSchIID, AdjSupIID)
go

-- allotments of supplies to demands
create table QZ_MRP_Allots (
  AltSchIID int not null,
  AltIID int not null,
  AltPeriod smallint null,
  AltSupIID int null,
  AltDmdIID int null,
  AltDate datetime null,
  AltAdjDays int null,
  AltTrack tinyint null,
  AltQty decimal(28,8) null,
  AltIsGrpx bit null,
  AltIsRepl bit null,
  AltReplQty decimal(28,8) null
)
create unique index QZ_MRP_AllotsKey on QZ_MRP_Allots (AltSchIID, AltIID)
create index QZ_MRP_AllotsSup on QZ_MRP_Allots (AltSchIID, AltSupIID)
create index QZ_MRP_AllotsDmd on QZ_MRP_Allots (AltSchIID, AltDmdIID)
go

-- supply/demand balance per item and group
create table QZ_MRP_Balance (
  BalSchIID int not null,
  BalIID int not null,
  BalGroupType tinyint not null default(0),
  BalGroupNo nvarchar(100) not null default(''),
  BalItmID nvarchar(50) not null,
  BalItmProps nvarchar(100) not null default(''),
  BalItmProp1 nvarchar(80) null,
  BalItmProp2 nvarchar(80) null,
  BalItmProp3 nvarchar(80) null,
  BalItmProp4 nvarchar(80) null,
  BalItmProp5 nvarchar(80) null,
  BalItmProp6 nvarchar(80) null,
  BalItmProp7 nvarchar(80) null,
  BalItmProp8 nvarchar(80) null,
  BalItmProp9 nvarchar(80) null,
  BalItmProp10 nvarchar(80) null,
  BalForQty decimal(28,8) null,
  BalSOQty decimal(28,8) null,
  BalFreeQty decimal(28,8) null,
  BalInvQty decimal(28,8) null,
  BalPOQty decimal(28,8) null,
  BalOOQty decimal(28,8) null,
  BalMOQty decimal(28,8) null,
  BalGInQty decimal(28,8) null,
  BalRInQty decimal(28,8) null,
  BalChkQty decimal(28,8) null,
  BalPRQty decimal(28,8) null,
  BalORQty decimal(28,8) null,
  BalMRQty decimal(28,8) null,
  BalSafeQty decimal(28,8) null,
  BalOODQty decimal(28,8) null,
  BalMODQty decimal(28,8) null,
  BalGOutQty decimal(28,8) null,
  BalROutQty decimal(28,8) null,
  BalPOODQty decimal(28,8) null,
  BalPMODQty decimal(28,8) null,
  BalVirDQty decimal(28,8) null,
  BalNetQty decimal(28,8) null,
  BalQty decimal(28,8) null,
  BalPPOQty decimal(28,8) null,
  BalPOOQty decimal(28,8) null,
  BalPMOQty decimal(28,8) null,
  BalXQty decimal(28,8) null,
  BalEndQty decimal(28,8) null
)
create unique index QZ_MRP_BalanceKey on QZ_MRP_Balance (BalSchIID, BalIID)
create index QZ_MRP_BalanceItm on QZ_MRP_Balance (BalSchIID, BalItmID, BalItmProps)
go

-- run log of the last MRP run of a scheme
create table QZ_MRP_RunLog (
  LogSchIID int not null,
  LogIID int not null,
  LogIndent bit null,
  LogKind tinyint null,
  LogText nvarchar(500) null,
  LogTime datetime null
)
create unique index QZ_MRP_RunLogKey on QZ_MRP_RunLog (LogSchIID, LogIID)
go

-- released quantities of substitute materials per planned supply and demand
create table QZ_MRP_DestAlters (
  DstSchIID int not null,
  DstSupIID int not null,
  DstDmdIID int not null,
  DstItmID nvarchar(50) not null,
  DstItmProps nvarchar(100) not null default(''),
  DstQty decimal(28,8) not null default(0)
)
create index QZ_MRP_DestAltersKey on QZ_MRP_DestAlters (DstSchIID, DstSupIID, DstDmdIID, DstItmID, DstItmProps)
go

-- factory calendars
create table QZ_MRP_Calendar (
  CalIID int identity(1,1) primary key,
  CalName nvarchar(80) not null
)
go

-- rest days of a factory calendar
create table QZ_MRP_Holidays (
  CalIID int not null,
  CalHoliday datetime not null
)
create unique index QZ_MRP_HolidaysKey on QZ_MRP_Holidays (CalIID, CalHoliday)
go

-- one row: 0 = loss relative to the net quantity, 1 = relative to the gross quantity
create table QZ_MRP_LossRateType (
  LosType int not null default(0)
)
go

-- planning settings of an item; ItmMrpType 0 takes the item master's type
create table QZ_MRP_ItemSetting (
  ItmID nvarchar(50) not null primary key,
  ItmMrpType int not null default(0),
  ItmMrpGroup int not null default(0),
  ItmMrpTrack int not null default(0),
  ItmSafeQty decimal(28,8) null,
  ItmMinQty decimal(28,8) null,
  ItmLotQty decimal(28,8) null,
  ItmMaxQty decimal(28,8) null,
  ItmPreLeadTime int not null default(0),
  ItmFixLeadTime int not null default(0),
  ItmVarLeadTime int not null default(0),
  ItmVarLeadLot decimal(28,8) null,
  ItmPostLeadTime int not null default(0),
  ItmPutLossType int not null default(0),
  ItmPutLossRate varchar(500) null,
  ItmPutInteger int not null default(0),
  ItmMOBomSkip int not null default(0),
  ItmOOBomSkip int not null default(0),
  ItmMrpSkip int not null default(0),
  ItmSuitSkip int not null default(0),
  ItmOutSkip int not null default(0),
  ItmPlanItmID nvarchar(50) null,
  ItmPlannerID nvarchar(50) null,
  ItmBuyerID nvarchar(50) null,
  ItmMODeptID nvarchar(50) null,
  ItmPOSuppID nvarchar(50) null,
  ItmOOSuppID nvarchar(50) null
)
create index QZ_MRP_ItemSettingPlan on QZ_MRP_ItemSetting (ItmPlanItmID)
go

-- forecast lines consumed by order lines (DedOrdType 2 sales order, 4 export order)
create table QZ_MRP_Deduction (
  DedIID int identity(1,1) primary key,
  DedForID nvarchar(50) not null,
  DedForEntry int not null,
  DedOrdType int not null,
  DedOrdID nvarchar(50) not null,
  DedOrdEntry int not null,
  DedForQty decimal(28,8) not null default(0),
  DedOrdQty decimal(28,8) not null default(0),
  DedManual int not null default(0),
  DedUsrID nvarchar(50) null,
  DedTime datetime null
)
create index QZ_MRP_DeductionFor on QZ_MRP_Deduction (DedForID, DedForEntry)
create index QZ_MRP_DeductionOrd on QZ_MRP_Deduction (DedOrdType, DedOrdID, DedOrdEntry)
go

-- planning extension of a document line: deducted quantities
create table QZ_MRP_ForcastExt (
  ForID nvarchar(50) not null,
  ForEntry int not null,
  ForItmID nvarchar(50) null,
  ForDedAQty decimal(28,8) null,
  ForDedMQty decimal(28,8) null,
  ForDedUsrID nvarchar(50) null,
  ForDedTime datetime null,
  ForDedADis int not null default(0)
)
create unique index QZ_MRP_ForcastExtKey on QZ_MRP_ForcastExt (ForID, ForEntry)
go

-- planning extension of a document line: deducted quantities
create table QZ_MRP_SOExt (
  SOID nvarchar(50) not null,
  SOEntry int not null,
  SOItmID nvarchar(50) null,
  SODedAQty decimal(28,8) null,
  SODedMQty decimal(28,8) null,
  SODedUsrID nvarchar(50) null,
  SODedTime datetime null,
  SODedADis int not null default(0)
)
create unique index QZ_MRP_SOExtKey on QZ_MRP_SOExt (SOID, SOEntry)
go

-- planning extension of a document line: deducted quantities
create table QZ_MRP_SIExt (
  SIID nvarchar(50) not null,
  SIEntry int not null,
  SIItmID nvarchar(50) null,
  SIDedAQty decimal(28,8) null,
  SIDedMQty decimal(28,8) null,
  SIDedUsrID nvarchar(50) null,
  SIDedTime datetime null,
  SIDedADis int not null default(0)
)
create unique index QZ_MRP_SIExtKey on QZ_MRP_SIExt (SIID, SIEntry)
go

-- one result set of the inventory-age analysis
create table QZ_MRP_InvAgeScheme (
  SchIID int identity(1,1) primary key,
  SchUsrID nvarchar(50) not null default(''),
  SchTime datetime not null default(getdate())
)
create index QZ_MRP_InvAgeSchemeUsr on QZ_MRP_InvAgeScheme (SchUsrID, SchTime)
go

-- item rows of an inventory-age result set
create table QZ_MRP_InvAgeMain (
  AgeSchIID int not null,
  AgeIID int not null,
  AgeItmID nvarchar(50) null,
  AgeItmProps nvarchar(100) not null default(''),
  AgeItmProp1 nvarchar(80) null,
  AgeItmProp2 nvarchar(80) null,
  AgeItmProp3 nvarchar(80) null,
  AgeItmProp4 nvarchar(80) null,
  AgeItmProp5 nvarchar(80) null,
  AgeItmProp6 nvarchar(80) null,
  AgeItmProp7 nvarchar(80) null,
  AgeItmProp8 nvarchar(80) null,
  AgeItmProp9 nvarchar(80) null,
  AgeItmProp10 nvarchar(80) null,
  AgeBatch nvarchar(80) null,
  AgeStkID nvarchar(50) null,
  AgeStpID nvarchar(50) null,
  AgeGroupType tinyint null,
  AgeGroupNo nvarchar(100) null,
  AgePrice decimal(28,8) null,
  AgeQty decimal(28,8) null,
  AgeAmt decimal(28,8) null,
  AgeInQty decimal(28,8) null,
  AgeInAmt decimal(28,8) null,
  AgeInDate datetime null,
  AgeDays decimal(28,8) null,
  AgeOutDate datetime null,
  AgePlanDate datetime null,
  AgeQty1 decimal(28,8) null,
  AgeAmt1 decimal(28,8) null,
  AgeQty2 decimal(28,8) null,
  AgeAmt2 decimal(28,8) null,
  AgeQty3 decimal(28,8) null,
  AgeAmt3 decimal(28,8) null,
  AgeQty4 decimal(28,8) null,
  AgeAmt4 decimal(28,8) null,
  AgeQty5 decimal(28,8) null,
  AgeAmt5 decimal(28,8) null,
  AgeQty6 decimal(28,8) null,
  AgeAmt6 decimal(28,8) null,
  AgeQty7 decimal(28,8) null,
  AgeAmt7 decimal(28,8) null,
  AgeQty8 decimal(28,8) null,
  AgeAmt8 decimal(28,8) null,
  AgeQty9 decimal(28,8) null,
  AgeAmt9 decimal(28,8) null,
  AgeQty10 decimal(28,8) null,
  AgeAmt10 decimal(28,8) null,
  AgeQty11 decimal(28,8) null,
  AgeAmt11 decimal(28,8) null,
  AgeQty12 decimal(28,8) null,
  AgeAmt12 decimal(28,8) null,
  AgeQty13 decimal(28,8) null,
  AgeAmt13 decimal(28,8) null,
  AgeQty14 decimal(28,8) null,
  AgeAmt14 decimal(28,8) null,
  AgeQty15 decimal(28,8) null,
  AgeAmt15 decimal(28,8) null,
  AgeQty16 decimal(28,8) null,
  AgeAmt16 decimal(28,8) null,
  AgeQty17 decimal(28,8) null,
  AgeAmt17 decimal(28,8) null,
  AgeQty18 decimal(28,8) null,
  AgeAmt18 decimal(28,8) null,
  AgeQty19 decimal(28,8) null,
  AgeAmt19 decimal(28,8) null,
  AgeQty20 decimal(28,8) null,
  AgeAmt20 decimal(28,8) null
)
create unique index QZ_MRP_InvAgeMainKey on QZ_MRP_InvAgeMain (AgeSchIID, AgeIID)
go

-- receipt lines that explain the stock of an item row
create table QZ_MRP_InvAgeDetail (
  AgeSchIID int not null,
  AgeIID int not null,
  AgeBillTypID nvarchar(50) null,
  AgeBillTypName nvarchar(80) null,
  AgeBillID nvarchar(50) null,
  AgeBillNo nvarchar(80) null,
  AgeBillEntry int null,
  AgeBillDate datetime null,
  AgeSupply nvarchar(80) null,
  AgeBatch nvarchar(80) null,
  AgeStkID nvarchar(50) null,
  AgeStpID nvarchar(50) null,
  AgeGroupType tinyint null,
  AgeGroupNo nvarchar(100) null,
  AgeBillQty decimal(28,8) null,
  AgeBillAmt decimal(28,8) null,
  AgePrice decimal(28,8) null,
  AgeQty decimal(28,8) null,
  AgeAmt decimal(28,8) null,
  AgeDays decimal(28,8) null,
  AgeGroup int null,
  AgeNote nvarchar(500) null,
  AgeMemo nvarchar(500) null,
  AgeOrdType int null,
  AgeOrdID nvarchar(50) null,
  AgeOrdNo nvarchar(80) null,
  AgeOrdEntry int null,
  AgeOrigType int null,
  AgeOrigID nvarchar(50) null,
  AgeOrigNo nvarchar(80) null,
  AgeOrigEntry int null,
  AgeOrigItmID nvarchar(50) null,
  AgeOrigCustID nvarchar(50) null,
  AgeOrigCustPO nvarchar(80) null,
  AgeOrigTag nvarchar(80) null
)
create index QZ_MRP_InvAgeDetailKey on QZ_MRP_InvAgeDetail (AgeSchIID, AgeIID)
go
