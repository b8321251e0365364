-- Master data and documents of the ERP account set as the planning reads them:
-- items, units, partners, departments, employees, stocks, bills of materials
-- with substitutes, and the open lines of sales, export, forecast, production,
-- outsourcing, purchase and requisition documents with their component lines,
-- scrap and inventory.
-- Document line tables carry the head fields the planning needs (number, date,
-- partner, department) beside the line, and the flags Checked, Closed and
-- CanMRP (1 while the line is checked, not closed and still open).

-- units of measure; UntFactor converts to the base unit of its group
create table QZ_Base_Unit (
  UntID nvarchar(50) not null primary key,
  UntNo nvarchar(50) not null,
  UntName nvarchar(80) not null,
  UntFactor decimal(28,8) not null default(1),
  UntDisabled bit not null default(0)
)
go

-- item master; ItmType 1 purchased, 2 made, 3 outsourced, 4 feature class, 5 phantom, 6 planning item
create table QZ_Base_ItemMaster (
  ItmID nvarchar(50) not null primary key,
  ItmNo nvarchar(80) not null,
  ItmName nvarchar(80) not null,
  ItmSpec nvarchar(200) null,
  ItmType int not null default(1),
  ItmTypeName nvarchar(80) null,
  ItmUnitID nvarchar(50) null,
  ItmInvUnitID nvarchar(50) null,
  ItmProdUnitID nvarchar(50) null,
  ItmBuyUnitID nvarchar(50) null,
  ItmSaleUnitID nvarchar(50) null,
  ItmDecimal int not null default(4),
  ItmHasProp1 bit not null default(0),
  ItmHasProp2 bit not null default(0),
  ItmHasProp3 bit not null default(0),
  ItmHasProp4 bit not null default(0),
  ItmHasProp5 bit not null default(0),
  ItmHasProp6 bit not null default(0),
  ItmHasProp7 bit not null default(0),
  ItmHasProp8 bit not null default(0),
  ItmHasProp9 bit not null default(0),
  ItmHasProp10 bit not null default(0),
  ItmDisabled bit not null default(0),
  ItmNote nvarchar(200) null
)
create unique index QZ_Base_ItemMasterNo on QZ_Base_ItemMaster (ItmNo)
go

-- customers
create table QZ_Base_Customer (
  CustID nvarchar(50) not null primary key,
  CustNo nvarchar(50) not null,
  CustName nvarchar(80) not null,
  CustDisabled bit not null default(0)
)
create unique index QZ_Base_CustomerNo on QZ_Base_Customer (CustNo)
go

-- suppliers; SuppPO sells materials, SuppOO works on outsourcing orders
create table QZ_Base_Supplier (
  SuppID nvarchar(50) not null primary key,
  SuppNo nvarchar(50) not null,
  SuppName nvarchar(80) not null,
  SuppPO bit not null default(0),
  SuppOO bit not null default(0),
  SuppDisabled bit not null default(0)
)
create unique index QZ_Base_SupplierNo on QZ_Base_Supplier (SuppNo)
go

-- departments; DeptWorkShop marks production workshops
create table QZ_Base_Department (
  DeptID nvarchar(50) not null primary key,
  DeptNo nvarchar(50) not null,
  DeptName nvarchar(80) not null,
  DeptWorkShop bit not null default(0),
  DeptDisabled bit not null default(0)
)
create unique index QZ_Base_DepartmentNo on QZ_Base_Department (DeptNo)
go

-- employees (planners, buyers, sales staff)
create table QZ_Base_Employee (
  EmpID nvarchar(50) not null primary key,
  EmpNo nvarchar(50) not null,
  EmpName nvarchar(80) not null,
  EmpDeptID nvarchar(50) null,
  EmpDisabled bit not null default(0)
)
create unique index QZ_Base_EmployeeNo on QZ_Base_Employee (EmpNo)
go

-- stocks (warehouses)
create table QZ_Base_Stock (
  StkID nvarchar(50) not null primary key,
  StkNo nvarchar(50) not null,
  StkName nvarchar(80) not null,
  StkVirtual bit not null default(0),
  StkDisabled bit not null default(0)
)
create unique index QZ_Base_StockNo on QZ_Base_Stock (StkNo)
go

-- places inside a stock
create table QZ_Base_StockPlace (
  StpID nvarchar(50) not null primary key,
  StpNo nvarchar(50) not null,
  StpName nvarchar(80) not null,
  StpStkID nvarchar(50) not null
)
go

-- bills of materials (heads): one product, its yield BomOkRate in percent
create table QZ_MRP_ItemBOMs (
  BomType tinyint not null default(0),
  BomID nvarchar(50) not null,
  BomNo nvarchar(80) not null,
  BomItmID nvarchar(50) not null,
  BomItmProps nvarchar(100) not null default(''),
  BomOkRate decimal(28,8) not null default(100),
  BomIsDefault bit not null default(0),
  BomStandalone bit not null default(1),
  BomDate datetime null,
  BomNote nvarchar(500) null,
  Checked bit not null default(0)
)
create unique index QZ_MRP_ItemBOMsKey on QZ_MRP_ItemBOMs (BomType, BomID)
create index QZ_MRP_ItemBOMsItm on QZ_MRP_ItemBOMs (BomItmID, BomItmProps)
go

-- bill-of-materials lines; BomRole 0 is a component; BomItmBomID names a component's own bill
create table QZ_MRP_ItemBOMLines (
  BomType tinyint not null default(0),
  BomID nvarchar(50) not null,
  BomEntry int not null,
  BomItmID nvarchar(50) not null,
  BomProps nvarchar(100) not null default(''),
  BomProp1 nvarchar(80) null,
  BomProp2 nvarchar(80) null,
  BomProp3 nvarchar(80) null,
  BomProp4 nvarchar(80) null,
  BomProp5 nvarchar(80) null,
  BomProp6 nvarchar(80) null,
  BomProp7 nvarchar(80) null,
  BomProp8 nvarchar(80) null,
  BomProp9 nvarchar(80) null,
  BomProp10 nvarchar(80) null,
  BomFixed bit not null default(0),
  BomQty decimal(28,8) not null,
  BomBaseQty decimal(28,8) not null default(1),
  BomLossRate decimal(28,8) not null default(0),
  BomPutLossRate varchar(500) null,
  BomUntID nvarchar(50) null,
  BomUQty decimal(28,8) null,
  BomUBaseQty decimal(28,8) null,
  BomPercent decimal(28,8) not null default(100),
  BomRowHook varchar(50) null,
  BomBeginDate datetime null,
  BomEndDate datetime null,
  BomOffsetDay int not null default(0),
  BomPosition nvarchar(500) null,
  BomPosNo nvarchar(500) null,
  BomStkID nvarchar(50) null,
  BomOperSeq nvarchar(50) null,
  BomOperID nvarchar(50) null,
  BomDrawType nvarchar(80) null,
  BomRole tinyint not null default(0),
  BomRoleName nvarchar(80) null,
  BomItmBomType tinyint null,
  BomItmBomID nvarchar(50) null,
  BomItmBomSkip tinyint not null default(0),
  BomNote nvarchar(500) null,
  BomNote1 nvarchar(500) null,
  BomNote2 nvarchar(500) null,
  BomNote3 nvarchar(500) null
)
create unique index QZ_MRP_ItemBOMLinesKey on QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry)
create index QZ_MRP_ItemBOMLinesItm on QZ_MRP_ItemBOMLines (BomItmID)
go

-- substitute items: SubQty of SubItmID may be replaced by SubRQty of SubRItmID; SubGlobal for every bill, else only in the bill SubBomID
create table QZ_MRP_ItemSubstitutes (
  SubIID int identity(1,1) primary key,
  SubBomType tinyint null,
  SubBomID nvarchar(50) null,
  BomRowHook varchar(50) null,
  SubItmID nvarchar(50) not null,
  SubProps nvarchar(100) not null default(''),
  SubRItmID nvarchar(50) not null,
  SubRProps nvarchar(100) not null default(''),
  SubRProp1 nvarchar(80) null,
  SubRProp2 nvarchar(80) null,
  SubRProp3 nvarchar(80) null,
  SubRProp4 nvarchar(80) null,
  SubRProp5 nvarchar(80) null,
  SubRProp6 nvarchar(80) null,
  SubRProp7 nvarchar(80) null,
  SubRProp8 nvarchar(80) null,
  SubRProp9 nvarchar(80) null,
  SubRProp10 nvarchar(80) null,
  SubQty decimal(28,8) not null default(1),
  SubRQty decimal(28,8) not null default(1),
  SubPriority int not null default(0),
  SubGlobal bit not null default(1),
  SubReplace bit not null default(0),
  SubBeginDate datetime null,
  SubEndDate datetime null,
  SubNote nvarchar(500) null
)
create index QZ_MRP_ItemSubstitutesItm on QZ_MRP_ItemSubstitutes (SubItmID, SubProps)
go

-- sales orders (heads)
create table QZ_MRP_SOHead (
  SOID nvarchar(50) not null primary key,
  SONo nvarchar(80) not null,
  SODate datetime not null,
  SOCustID nvarchar(50) null,
  SOCustPO nvarchar(80) null,
  SOEmpID nvarchar(50) null,
  SODeptID nvarchar(50) null,
  SONote nvarchar(500) null,
  SOUsrID nvarchar(50) null,
  SOCheckerID nvarchar(50) null,
  SOCheckDate datetime null,
  Checked bit not null default(0),
  Closed bit not null default(0)
)
create unique index QZ_MRP_SOHeadNo on QZ_MRP_SOHead (SONo)
go

-- sales order lines; SOQty is the quantity still to deliver
create table QZ_MRP_SO (
  SOID nvarchar(50) not null,
  SONo nvarchar(80) not null,
  SOEntry int not null,
  SODate datetime not null,
  SOCustID nvarchar(50) null,
  SOCustPO nvarchar(80) null,
  SOEmpID nvarchar(50) null,
  SODeptID nvarchar(50) null,
  SOItmID nvarchar(50) not null,
  SOItmProps nvarchar(100) not null default(''),
  SOItmProp1 nvarchar(80) null,
  SOItmProp2 nvarchar(80) null,
  SOItmProp3 nvarchar(80) null,
  SOItmProp4 nvarchar(80) null,
  SOItmProp5 nvarchar(80) null,
  SOItmProp6 nvarchar(80) null,
  SOItmProp7 nvarchar(80) null,
  SOItmProp8 nvarchar(80) null,
  SOItmProp9 nvarchar(80) null,
  SOItmProp10 nvarchar(80) null,
  SOUntID nvarchar(50) null,
  SOBillQty decimal(28,8) not null default(0),
  SOQty decimal(28,8) not null default(0),
  SOOkQty decimal(28,8) not null default(0),
  SODelivDate datetime null,
  SOBomType tinyint not null default(0),
  SOBomID nvarchar(50) null,
  SOTag nvarchar(80) null,
  SOSubTag nvarchar(80) null,
  SOGroupType tinyint not null default(0),
  SOGroupNo nvarchar(100) not null default(''),
  SOForcastID nvarchar(50) null,
  SOForcastEntry int null,
  SONote nvarchar(500) null,
  SORemark nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_SOKey on QZ_MRP_SO (SOID, SOEntry)
create index QZ_MRP_SOItm on QZ_MRP_SO (SOItmID)
go

-- export orders (heads)
create table QZ_MRP_SIHead (
  SIID nvarchar(50) not null primary key,
  SINo nvarchar(80) not null,
  SIDate datetime not null,
  SICustID nvarchar(50) null,
  SICustPO nvarchar(80) null,
  SIEmpID nvarchar(50) null,
  SIDeptID nvarchar(50) null,
  SINote nvarchar(500) null,
  SIUsrID nvarchar(50) null,
  SICheckerID nvarchar(50) null,
  SICheckDate datetime null,
  Checked bit not null default(0),
  Closed bit not null default(0)
)
create unique index QZ_MRP_SIHeadNo on QZ_MRP_SIHead (SINo)
go

-- export order lines; SIQty is the quantity still to deliver
create table QZ_MRP_SI (
  SIID nvarchar(50) not null,
  SINo nvarchar(80) not null,
  SIEntry int not null,
  SIDate datetime not null,
  SICustID nvarchar(50) null,
  SICustPO nvarchar(80) null,
  SIEmpID nvarchar(50) null,
  SIDeptID nvarchar(50) null,
  SIItmID nvarchar(50) not null,
  SIItmProps nvarchar(100) not null default(''),
  SIItmProp1 nvarchar(80) null,
  SIItmProp2 nvarchar(80) null,
  SIItmProp3 nvarchar(80) null,
  SIItmProp4 nvarchar(80) null,
  SIItmProp5 nvarchar(80) null,
  SIItmProp6 nvarchar(80) null,
  SIItmProp7 nvarchar(80) null,
  SIItmProp8 nvarchar(80) null,
  SIItmProp9 nvarchar(80) null,
  SIItmProp10 nvarchar(80) null,
  SIUntID nvarchar(50) null,
  SIBillQty decimal(28,8) not null default(0),
  SIQty decimal(28,8) not null default(0),
  SIOkQty decimal(28,8) not null default(0),
  SIDelivDate datetime null,
  SIBomType tinyint not null default(0),
  SIBomID nvarchar(50) null,
  SITag nvarchar(80) null,
  SISubTag nvarchar(80) null,
  SIGroupType tinyint not null default(0),
  SIGroupNo nvarchar(100) not null default(''),
  SIForcastID nvarchar(50) null,
  SIForcastEntry int null,
  SINote nvarchar(500) null,
  SIRemark nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_SIKey on QZ_MRP_SI (SIID, SIEntry)
create index QZ_MRP_SIItm on QZ_MRP_SI (SIItmID)
go

-- product forecasts (heads)
create table QZ_MRP_ForcastHead (
  ForID nvarchar(50) not null primary key,
  ForNo nvarchar(80) not null,
  ForDate datetime not null,
  ForCustID nvarchar(50) null,
  ForDeptID nvarchar(50) null,
  ForNote nvarchar(500) null,
  ForUsrID nvarchar(50) null,
  ForCheckerID nvarchar(50) null,
  ForCheckDate datetime null,
  Checked bit not null default(0),
  Closed bit not null default(0)
)
create unique index QZ_MRP_ForcastHeadNo on QZ_MRP_ForcastHead (ForNo)
go

-- product forecast lines; ForQty is the forecast quantity in the base unit, ForUBillQty in the line's unit
create table QZ_MRP_Forcast (
  ForID nvarchar(50) not null,
  ForNo nvarchar(80) not null,
  ForEntry int not null,
  ForDate datetime not null,
  ForCustID nvarchar(50) null,
  ForCustPO nvarchar(80) null,
  ForDeptID nvarchar(50) null,
  ForItmID nvarchar(50) not null,
  ForItmProps nvarchar(100) not null default(''),
  ForItmProp1 nvarchar(80) null,
  ForItmProp2 nvarchar(80) null,
  ForItmProp3 nvarchar(80) null,
  ForItmProp4 nvarchar(80) null,
  ForItmProp5 nvarchar(80) null,
  ForItmProp6 nvarchar(80) null,
  ForItmProp7 nvarchar(80) null,
  ForItmProp8 nvarchar(80) null,
  ForItmProp9 nvarchar(80) null,
  ForItmProp10 nvarchar(80) null,
  ForUntID nvarchar(50) null,
  ForBillQty decimal(28,8) not null default(0),
  ForQty decimal(28,8) not null default(0),
  ForOkQty decimal(28,8) not null default(0),
  ForUBillQty decimal(28,8) null,
  ForDelivDate datetime null,
  ForBomType tinyint not null default(0),
  ForBomID nvarchar(50) null,
  ForTag nvarchar(80) null,
  ForSubTag nvarchar(80) null,
  ForGroupType tinyint not null default(0),
  ForGroupNo nvarchar(100) not null default(''),
  ForNote nvarchar(500) null,
  ForRemark nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_ForcastKey on QZ_MRP_Forcast (ForID, ForEntry)
create index QZ_MRP_ForcastItm on QZ_MRP_Forcast (ForItmID)
go

-- production order lines; MOBillQty is the ordered quantity, MOOkQty the quantity received into stock,
-- MOQty the open quantity (MOBillQty - MOOkQty), which includes MOChkQty, the finished quantity
-- under inspection: the checked part of the open quantity
create table QZ_MRP_MO (
  MOID nvarchar(50) not null,
  MONo nvarchar(80) not null,
  MOEntry int not null,
  MODate datetime not null,
  MODeptID nvarchar(50) null,
  MOItmID nvarchar(50) not null,
  MOItmProps nvarchar(100) not null default(''),
  MOItmProp1 nvarchar(80) null,
  MOItmProp2 nvarchar(80) null,
  MOItmProp3 nvarchar(80) null,
  MOItmProp4 nvarchar(80) null,
  MOItmProp5 nvarchar(80) null,
  MOItmProp6 nvarchar(80) null,
  MOItmProp7 nvarchar(80) null,
  MOItmProp8 nvarchar(80) null,
  MOItmProp9 nvarchar(80) null,
  MOItmProp10 nvarchar(80) null,
  MOUntID nvarchar(50) null,
  MOBillQty decimal(28,8) not null default(0),
  MOQty decimal(28,8) not null default(0),
  MOOkQty decimal(28,8) not null default(0),
  MOChkQty decimal(28,8) not null default(0),
  MODelivDate datetime null,
  MODrawDate datetime null,
  MOBomType tinyint not null default(0),
  MOBomID nvarchar(50) null,
  MOOrigType int null,
  MOOrigID nvarchar(50) null,
  MOOrigNo nvarchar(80) null,
  MOOrigEntry int null,
  MOOrigItmID nvarchar(50) null,
  MOOrigCustID nvarchar(50) null,
  MOOrigCustPO nvarchar(80) null,
  MOOrigTag nvarchar(80) null,
  MOOrigSubTag nvarchar(80) null,
  MOTag nvarchar(80) null,
  MOSubTag nvarchar(80) null,
  MOGroupType tinyint not null default(0),
  MOGroupNo nvarchar(100) not null default(''),
  MOStatus nvarchar(20) null,
  MONote nvarchar(500) null,
  MORemark nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_MOKey on QZ_MRP_MO (MOID, MOEntry)
create index QZ_MRP_MOItm on QZ_MRP_MO (MOItmID)
go

-- outsourcing order lines; OOBillQty ordered, OOOkQty received into stock, OOQty open (OOBillQty - OOOkQty),
-- including OOChkQty, the quantity received and under inspection
create table QZ_MRP_OO (
  OOID nvarchar(50) not null,
  OONo nvarchar(80) not null,
  OOEntry int not null,
  OODate datetime not null,
  OOSuppID nvarchar(50) null,
  OODeptID nvarchar(50) null,
  OOItmID nvarchar(50) not null,
  OOItmProps nvarchar(100) not null default(''),
  OOItmProp1 nvarchar(80) null,
  OOItmProp2 nvarchar(80) null,
  OOItmProp3 nvarchar(80) null,
  OOItmProp4 nvarchar(80) null,
  OOItmProp5 nvarchar(80) null,
  OOItmProp6 nvarchar(80) null,
  OOItmProp7 nvarchar(80) null,
  OOItmProp8 nvarchar(80) null,
  OOItmProp9 nvarchar(80) null,
  OOItmProp10 nvarchar(80) null,
  OOUntID nvarchar(50) null,
  OOBillQty decimal(28,8) not null default(0),
  OOQty decimal(28,8) not null default(0),
  OOOkQty decimal(28,8) not null default(0),
  OOChkQty decimal(28,8) not null default(0),
  OODelivDate datetime null,
  OODrawDate datetime null,
  OOBomType tinyint not null default(0),
  OOBomID nvarchar(50) null,
  OOOrigType int null,
  OOOrigID nvarchar(50) null,
  OOOrigNo nvarchar(80) null,
  OOOrigEntry int null,
  OOOrigItmID nvarchar(50) null,
  OOOrigCustID nvarchar(50) null,
  OOOrigCustPO nvarchar(80) null,
  OOOrigTag nvarchar(80) null,
  OOOrigSubTag nvarchar(80) null,
  OOTag nvarchar(80) null,
  OOSubTag nvarchar(80) null,
  OOGroupType tinyint not null default(0),
  OOGroupNo nvarchar(100) not null default(''),
  OOStatus nvarchar(20) null,
  OONote nvarchar(500) null,
  OORemark nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_OOKey on QZ_MRP_OO (OOID, OOEntry)
create index QZ_MRP_OOItm on QZ_MRP_OO (OOItmID)
go

-- purchase order lines; POBillQty ordered, POOkQty received into stock, POQty open (POBillQty - POOkQty),
-- including POChkQty, the quantity received and under inspection
create table QZ_MRP_PO (
  POID nvarchar(50) not null,
  PONo nvarchar(80) not null,
  POEntry int not null,
  PODate datetime not null,
  POSuppID nvarchar(50) null,
  PODeptID nvarchar(50) null,
  POItmID nvarchar(50) not null,
  POItmProps nvarchar(100) not null default(''),
  POItmProp1 nvarchar(80) null,
  POItmProp2 nvarchar(80) null,
  POItmProp3 nvarchar(80) null,
  POItmProp4 nvarchar(80) null,
  POItmProp5 nvarchar(80) null,
  POItmProp6 nvarchar(80) null,
  POItmProp7 nvarchar(80) null,
  POItmProp8 nvarchar(80) null,
  POItmProp9 nvarchar(80) null,
  POItmProp10 nvarchar(80) null,
  POUntID nvarchar(50) null,
  POBillQty decimal(28,8) not null default(0),
  POQty decimal(28,8) not null default(0),
  POOkQty decimal(28,8) not null default(0),
  POChkQty decimal(28,8) not null default(0),
  PODelivDate datetime null,
  POOrigType int null,
  POOrigID nvarchar(50) null,
  POOrigNo nvarchar(80) null,
  POOrigEntry int null,
  POOrigItmID nvarchar(50) null,
  POOrigCustID nvarchar(50) null,
  POOrigCustPO nvarchar(80) null,
  POOrigTag nvarchar(80) null,
  POOrigSubTag nvarchar(80) null,
  POTag nvarchar(80) null,
  POSubTag nvarchar(80) null,
  POGroupType tinyint not null default(0),
  POGroupNo nvarchar(100) not null default(''),
  PONote nvarchar(500) null,
  PORemark nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_POKey on QZ_MRP_PO (POID, POEntry)
create index QZ_MRP_POItm on QZ_MRP_PO (POItmID)
go

-- purchase receipt lines waiting for inspection
create table QZ_MRP_PI (
  PIID nvarchar(50) not null,
  PINo nvarchar(80) not null,
  PIEntry int not null,
  PIDate datetime not null,
  PISuppID nvarchar(50) null,
  PIDeptID nvarchar(50) null,
  PIItmID nvarchar(50) not null,
  PIItmProps nvarchar(100) not null default(''),
  PIItmProp1 nvarchar(80) null,
  PIItmProp2 nvarchar(80) null,
  PIItmProp3 nvarchar(80) null,
  PIItmProp4 nvarchar(80) null,
  PIItmProp5 nvarchar(80) null,
  PIItmProp6 nvarchar(80) null,
  PIItmProp7 nvarchar(80) null,
  PIItmProp8 nvarchar(80) null,
  PIItmProp9 nvarchar(80) null,
  PIItmProp10 nvarchar(80) null,
  PIUntID nvarchar(50) null,
  PIBillQty decimal(28,8) not null default(0),
  PIQty decimal(28,8) not null default(0),
  PIOkQty decimal(28,8) not null default(0),
  PIChkQty decimal(28,8) not null default(0),
  PIDelivDate datetime null,
  PIOrigType int null,
  PIOrigID nvarchar(50) null,
  PIOrigNo nvarchar(80) null,
  PIOrigEntry int null,
  PIOrigItmID nvarchar(50) null,
  PIOrigCustID nvarchar(50) null,
  PIOrigCustPO nvarchar(80) null,
  PIOrigTag nvarchar(80) null,
  PIOrigSubTag nvarchar(80) null,
  PITag nvarchar(80) null,
  PISubTag nvarchar(80) null,
  PIGroupType tinyint not null default(0),
  PIGroupNo nvarchar(100) not null default(''),
  PIStkID nvarchar(50) null,
  PINote nvarchar(500) null,
  PIRemark nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_PIKey on QZ_MRP_PI (PIID, PIEntry)
create index QZ_MRP_PIItm on QZ_MRP_PI (PIItmID)
go

-- production request lines
create table QZ_MRP_MR (
  MRID nvarchar(50) not null,
  MRNo nvarchar(80) not null,
  MREntry int not null,
  MRDate datetime not null,
  MRDeptID nvarchar(50) null,
  MRItmID nvarchar(50) not null,
  MRItmProps nvarchar(100) not null default(''),
  MRItmProp1 nvarchar(80) null,
  MRItmProp2 nvarchar(80) null,
  MRItmProp3 nvarchar(80) null,
  MRItmProp4 nvarchar(80) null,
  MRItmProp5 nvarchar(80) null,
  MRItmProp6 nvarchar(80) null,
  MRItmProp7 nvarchar(80) null,
  MRItmProp8 nvarchar(80) null,
  MRItmProp9 nvarchar(80) null,
  MRItmProp10 nvarchar(80) null,
  MRUntID nvarchar(50) null,
  MRBillQty decimal(28,8) not null default(0),
  MRQty decimal(28,8) not null default(0),
  MROkQty decimal(28,8) not null default(0),
  MRDelivDate datetime null,
  MRDrawDate datetime null,
  MRBomType tinyint not null default(0),
  MRBomID nvarchar(50) null,
  MROrigType int null,
  MROrigID nvarchar(50) null,
  MROrigNo nvarchar(80) null,
  MROrigEntry int null,
  MROrigItmID nvarchar(50) null,
  MROrigCustID nvarchar(50) null,
  MROrigCustPO nvarchar(80) null,
  MROrigTag nvarchar(80) null,
  MROrigSubTag nvarchar(80) null,
  MRTag nvarchar(80) null,
  MRSubTag nvarchar(80) null,
  MRGroupType tinyint not null default(0),
  MRGroupNo nvarchar(100) not null default(''),
  MRNote nvarchar(500) null,
  MRRemark nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_MRKey on QZ_MRP_MR (MRID, MREntry)
create index QZ_MRP_MRItm on QZ_MRP_MR (MRItmID)
go

-- outsourcing request lines
create table QZ_MRP_OR (
  ORID nvarchar(50) not null,
  ORNo nvarchar(80) not null,
  OREntry int not null,
  ORDate datetime not null,
  ORSuppID nvarchar(50) null,
  ORDeptID nvarchar(50) null,
  ORItmID nvarchar(50) not null,
  ORItmProps nvarchar(100) not null default(''),
  ORItmProp1 nvarchar(80) null,
  ORItmProp2 nvarchar(80) null,
  ORItmProp3 nvarchar(80) null,
  ORItmProp4 nvarchar(80) null,
  ORItmProp5 nvarchar(80) null,
  ORItmProp6 nvarchar(80) null,
  ORItmProp7 nvarchar(80) null,
  ORItmProp8 nvarchar(80) null,
  ORItmProp9 nvarchar(80) null,
  ORItmProp10 nvarchar(80) null,
  ORUntID nvarchar(50) null,
  ORBillQty decimal(28,8) not null default(0),
  ORQty decimal(28,8) not null default(0),
  OROkQty decimal(28,8) not null default(0),
  ORDelivDate datetime null,
  ORDrawDate datetime null,
  ORBomType tinyint not null default(0),
  ORBomID nvarchar(50) null,
  OROrigType int null,
  OROrigID nvarchar(50) null,
  OROrigNo nvarchar(80) null,
  OROrigEntry int null,
  OROrigItmID nvarchar(50) null,
  OROrigCustID nvarchar(50) null,
  OROrigCustPO nvarchar(80) null,
  OROrigTag nvarchar(80) null,
  OROrigSubTag nvarchar(80) null,
  ORTag nvarchar(80) null,
  ORSubTag nvarchar(80) null,
  ORGroupType tinyint not null default(0),
  ORGroupNo nvarchar(100) not null default(''),
  ORNote nvarchar(500) null,
  ORRemark nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_ORKey on QZ_MRP_OR (ORID, OREntry)
create index QZ_MRP_ORItm on QZ_MRP_OR (ORItmID)
go

-- purchase requisition lines
create table QZ_MRP_PR (
  PRID nvarchar(50) not null,
  PRNo nvarchar(80) not null,
  PREntry int not null,
  PRDate datetime not null,
  PRSuppID nvarchar(50) null,
  PRDeptID nvarchar(50) null,
  PRItmID nvarchar(50) not null,
  PRItmProps nvarchar(100) not null default(''),
  PRItmProp1 nvarchar(80) null,
  PRItmProp2 nvarchar(80) null,
  PRItmProp3 nvarchar(80) null,
  PRItmProp4 nvarchar(80) null,
  PRItmProp5 nvarchar(80) null,
  PRItmProp6 nvarchar(80) null,
  PRItmProp7 nvarchar(80) null,
  PRItmProp8 nvarchar(80) null,
  PRItmProp9 nvarchar(80) null,
  PRItmProp10 nvarchar(80) null,
  PRUntID nvarchar(50) null,
  PRBillQty decimal(28,8) not null default(0),
  PRQty decimal(28,8) not null default(0),
  PROkQty decimal(28,8) not null default(0),
  PRDelivDate datetime null,
  PROrigType int null,
  PROrigID nvarchar(50) null,
  PROrigNo nvarchar(80) null,
  PROrigEntry int null,
  PROrigItmID nvarchar(50) null,
  PROrigCustID nvarchar(50) null,
  PROrigCustPO nvarchar(80) null,
  PROrigTag nvarchar(80) null,
  PROrigSubTag nvarchar(80) null,
  PRTag nvarchar(80) null,
  PRSubTag nvarchar(80) null,
  PRGroupType tinyint not null default(0),
  PRGroupNo nvarchar(100) not null default(''),
  PRNote nvarchar(500) null,
  PRRemark nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_PRKey on QZ_MRP_PR (PRID, PREntry)
create index QZ_MRP_PRItm on QZ_MRP_PR (PRItmID)
go

-- component lines of production orders; BomQty is the quantity still to issue
create table QZ_MRP_MOBOM (
  BomID nvarchar(50) not null,
  BomNo nvarchar(80) not null,
  BomEntry int not null,
  BomDate datetime not null,
  MOID nvarchar(50) not null,
  MONo nvarchar(80) not null,
  MOEntry int not null,
  MOItmID nvarchar(50) not null,
  MONote nvarchar(500) null,
  MOOrigType int null,
  MOOrigID nvarchar(50) null,
  MOOrigNo nvarchar(80) null,
  MOOrigEntry int null,
  MOOrigItmID nvarchar(50) null,
  MOOrigCustID nvarchar(50) null,
  MOOrigCustPO nvarchar(80) null,
  MOOrigTag nvarchar(80) null,
  MOOrigSubTag nvarchar(80) null,
  MOTag nvarchar(80) null,
  MOSubTag nvarchar(80) null,
  MOGroupType tinyint not null default(0),
  MOGroupNo nvarchar(100) not null default(''),
  BomDeptID nvarchar(50) null,
  BomItmID nvarchar(50) not null,
  BomProps nvarchar(100) not null default(''),
  BomProp1 nvarchar(80) null,
  BomProp2 nvarchar(80) null,
  BomProp3 nvarchar(80) null,
  BomProp4 nvarchar(80) null,
  BomProp5 nvarchar(80) null,
  BomProp6 nvarchar(80) null,
  BomProp7 nvarchar(80) null,
  BomProp8 nvarchar(80) null,
  BomProp9 nvarchar(80) null,
  BomProp10 nvarchar(80) null,
  BomUntID nvarchar(50) null,
  BomUnitQty decimal(28,8) null,
  BomBillQty decimal(28,8) not null default(0),
  BomQty decimal(28,8) not null default(0),
  BomOkQty decimal(28,8) not null default(0),
  BomDrawDate datetime null,
  BomRole tinyint not null default(0),
  BomRowHook varchar(50) null,
  BomItmBomType tinyint null,
  BomItmBomID nvarchar(50) null,
  BomStkID nvarchar(50) null,
  BomNote nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_MOBOMKey on QZ_MRP_MOBOM (BomID, BomEntry)
create index QZ_MRP_MOBOMOrd on QZ_MRP_MOBOM (MOID, MOEntry)
go

-- component lines of outsourcing orders; BomQty is the quantity still to issue
create table QZ_MRP_OOBOM (
  BomID nvarchar(50) not null,
  BomNo nvarchar(80) not null,
  BomEntry int not null,
  BomDate datetime not null,
  OOID nvarchar(50) not null,
  OONo nvarchar(80) not null,
  OOEntry int not null,
  OOItmID nvarchar(50) not null,
  OONote nvarchar(500) null,
  OOOrigType int null,
  OOOrigID nvarchar(50) null,
  OOOrigNo nvarchar(80) null,
  OOOrigEntry int null,
  OOOrigItmID nvarchar(50) null,
  OOOrigCustID nvarchar(50) null,
  OOOrigCustPO nvarchar(80) null,
  OOOrigTag nvarchar(80) null,
  OOOrigSubTag nvarchar(80) null,
  OOTag nvarchar(80) null,
  OOSubTag nvarchar(80) null,
  OOGroupType tinyint not null default(0),
  OOGroupNo nvarchar(100) not null default(''),
  BomSuppID nvarchar(50) null,
  BomItmID nvarchar(50) not null,
  BomProps nvarchar(100) not null default(''),
  BomProp1 nvarchar(80) null,
  BomProp2 nvarchar(80) null,
  BomProp3 nvarchar(80) null,
  BomProp4 nvarchar(80) null,
  BomProp5 nvarchar(80) null,
  BomProp6 nvarchar(80) null,
  BomProp7 nvarchar(80) null,
  BomProp8 nvarchar(80) null,
  BomProp9 nvarchar(80) null,
  BomProp10 nvarchar(80) null,
  BomUntID nvarchar(50) null,
  BomUnitQty decimal(28,8) null,
  BomBillQty decimal(28,8) not null default(0),
  BomQty decimal(28,8) not null default(0),
  BomOkQty decimal(28,8) not null default(0),
  BomDrawDate datetime null,
  BomRole tinyint not null default(0),
  BomRowHook varchar(50) null,
  BomItmBomType tinyint null,
  BomItmBomID nvarchar(50) null,
  BomStkID nvarchar(50) null,
  BomNote nvarchar(500) null,
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_OOBOMKey on QZ_MRP_OOBOM (BomID, BomEntry)
create index QZ_MRP_OOBOMOrd on QZ_MRP_OOBOM (OOID, OOEntry)
go

-- scrap replacement requests of production orders
create table QZ_MRP_MOScrap (
  MspID nvarchar(50) not null,
  MspNo nvarchar(80) not null,
  MspEntry int not null,
  MspDate datetime not null,
  MspDeptID nvarchar(50) null,
  MspItmID nvarchar(50) not null,
  MspItmProps nvarchar(100) not null default(''),
  MspItmProp1 nvarchar(80) null,
  MspItmProp2 nvarchar(80) null,
  MspItmProp3 nvarchar(80) null,
  MspItmProp4 nvarchar(80) null,
  MspItmProp5 nvarchar(80) null,
  MspItmProp6 nvarchar(80) null,
  MspItmProp7 nvarchar(80) null,
  MspItmProp8 nvarchar(80) null,
  MspItmProp9 nvarchar(80) null,
  MspItmProp10 nvarchar(80) null,
  MspItmBomType tinyint null,
  MspItmBomID nvarchar(50) null,
  MspBillQty decimal(28,8) not null default(0),
  MspQty decimal(28,8) not null default(0),
  MspDrawDate datetime null,
  MspNote nvarchar(500) null,
  MOID nvarchar(50) null,
  MONo nvarchar(80) null,
  MOEntry int null,
  MONote nvarchar(500) null,
  BomEntry int null,
  BomNote nvarchar(500) null,
  MspOrigType int null,
  MspOrigID nvarchar(50) null,
  MspOrigNo nvarchar(80) null,
  MspOrigEntry int null,
  MspOrigItmID nvarchar(50) null,
  MspOrigCustID nvarchar(50) null,
  MspOrigCustPO nvarchar(80) null,
  MspOrigTag nvarchar(80) null,
  MspOrigSubTag nvarchar(80) null,
  MspTag nvarchar(80) null,
  MspSubTag nvarchar(80) null,
  MspGroupType tinyint not null default(0),
  MspGroupNo nvarchar(100) not null default(''),
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_MOScrapKey on QZ_MRP_MOScrap (MspID, MspEntry)
go

-- scrap replacement requests of outsourcing orders
create table QZ_MRP_OOScrap (
  OspID nvarchar(50) not null,
  OspNo nvarchar(80) not null,
  OspEntry int not null,
  OspDate datetime not null,
  OspSuppID nvarchar(50) null,
  OspItmID nvarchar(50) not null,
  OspItmProps nvarchar(100) not null default(''),
  OspItmProp1 nvarchar(80) null,
  OspItmProp2 nvarchar(80) null,
  OspItmProp3 nvarchar(80) null,
  OspItmProp4 nvarchar(80) null,
  OspItmProp5 nvarchar(80) null,
  OspItmProp6 nvarchar(80) null,
  OspItmProp7 nvarchar(80) null,
  OspItmProp8 nvarchar(80) null,
  OspItmProp9 nvarchar(80) null,
  OspItmProp10 nvarchar(80) null,
  OspItmBomType tinyint null,
  OspItmBomID nvarchar(50) null,
  OspBillQty decimal(28,8) not null default(0),
  OspQty decimal(28,8) not null default(0),
  OspDrawDate datetime null,
  OspNote nvarchar(500) null,
  OOID nvarchar(50) null,
  OONo nvarchar(80) null,
  OOEntry int null,
  OONote nvarchar(500) null,
  BomEntry int null,
  BomNote nvarchar(500) null,
  OspOrigType int null,
  OspOrigID nvarchar(50) null,
  OspOrigNo nvarchar(80) null,
  OspOrigEntry int null,
  OspOrigItmID nvarchar(50) null,
  OspOrigCustID nvarchar(50) null,
  OspOrigCustPO nvarchar(80) null,
  OspOrigTag nvarchar(80) null,
  OspOrigSubTag nvarchar(80) null,
  OspTag nvarchar(80) null,
  OspSubTag nvarchar(80) null,
  OspGroupType tinyint not null default(0),
  OspGroupNo nvarchar(100) not null default(''),
  Checked bit not null default(0),
  Closed bit not null default(0),
  CanMRP bit not null default(0)
)
create unique index QZ_MRP_OOScrapKey on QZ_MRP_OOScrap (OspID, OspEntry)
go

-- on-hand stock per item, properties, stock, place and batch
create table QZ_MRP_Inventory (
  InvIID int identity(1,1) primary key,
  InvItmID nvarchar(50) not null,
  InvItmProps nvarchar(100) not null default(''),
  InvItmProp1 nvarchar(80) null,
  InvItmProp2 nvarchar(80) null,
  InvItmProp3 nvarchar(80) null,
  InvItmProp4 nvarchar(80) null,
  InvItmProp5 nvarchar(80) null,
  InvItmProp6 nvarchar(80) null,
  InvItmProp7 nvarchar(80) null,
  InvItmProp8 nvarchar(80) null,
  InvItmProp9 nvarchar(80) null,
  InvItmProp10 nvarchar(80) null,
  InvStkID nvarchar(50) not null,
  InvStpID nvarchar(50) null,
  InvBatch nvarchar(80) null,
  InvQty decimal(28,8) not null default(0),
  InvInDate datetime null,
  InvOrigType int null,
  InvOrigID nvarchar(50) null,
  InvOrigNo nvarchar(80) null,
  InvOrigEntry int null,
  InvOrigItmID nvarchar(50) null,
  InvOrigCustID nvarchar(50) null,
  InvOrigCustPO nvarchar(80) null,
  InvOrigTag nvarchar(80) null,
  InvOrigSubTag nvarchar(80) null,
  InvGroupType tinyint not null default(0),
  InvGroupNo nvarchar(100) not null default(''),
  CanMRP bit not null default(1)
)
create index QZ_MRP_InventoryItm on QZ_MRP_Inventory (InvItmID, InvItmProps)
create index QZ_MRP_InventoryStk on QZ_MRP_Inventory (InvStkID)
go

-- property combinations of the items that use properties (ItmHasProp1..10): the
-- identity of each combination of property texts that QZ_MRP_GetItemPropsID
-- hands to the planning (the ItmProps of documents, bills of materials and plans)
create table QZ_Base_ItemProps (
  ItpID nvarchar(100) not null primary key,
  ItpItmID nvarchar(50) not null,
  ItpProp1 nvarchar(80) null,
  ItpProp2 nvarchar(80) null,
  ItpProp3 nvarchar(80) null,
  ItpProp4 nvarchar(80) null,
  ItpProp5 nvarchar(80) null,
  ItpProp6 nvarchar(80) null,
  ItpProp7 nvarchar(80) null,
  ItpProp8 nvarchar(80) null,
  ItpProp9 nvarchar(80) null,
  ItpProp10 nvarchar(80) null
)
create index QZ_Base_ItemPropsItm on QZ_Base_ItemProps (ItpItmID)
go
