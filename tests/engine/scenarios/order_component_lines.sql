-- An open production order draws its unissued component lines on their own
-- dates, whenever its output is consumed. Daily periods from Monday 2027-01-04
-- (day 1); the order draws on day 2, delivers on day 3, and its output serves
-- a sale on day 4.
insert QZ_Base_Unit (UntID, UntNo, UntName, UntFactor) values ('PCS', 'PCS', 'PCS', 1)
insert QZ_Base_Customer (CustID, CustNo, CustName) values ('C1', 'C1', 'Customer')
insert QZ_Base_Supplier (SuppID, SuppNo, SuppName, SuppPO, SuppOO) values ('S1', 'S1', 'Supplier', 1, 0)
insert QZ_Base_Department (DeptID, DeptNo, DeptName, DeptWorkShop) values ('D1', 'D1', 'Shop', 1)
insert QZ_MRP_Calendar (CalName) values ('all days')
go
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('ASM', 'ASM', 'assembly', 2, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('PART', 'PART', 'line dated day 2', 1, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('LOOSE', 'LOOSE', 'line without a date', 1, 'PCS', 0)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('ASM', 0, null, null, null, 0, 1, 0, 1, 'D1', null, null)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('PART', 0, null, null, null, 0, 0, 0, 1, null, 'S1', null)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('LOOSE', 0, null, null, null, 0, 0, 0, 1, null, 'S1', null)
insert QZ_MRP_ItemBOMs (BomType, BomID, BomNo, BomItmID, BomItmProps, BomOkRate, BomIsDefault, BomStandalone, BomDate, Checked) values (0, 'B-ASM', 'B-ASM', 'ASM', '', 100, 1, 1, '20261101', 1)
insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-ASM', 1, 'PART', '', 1, 1, 0, 'PCS', 100, 'B-ASM-1', 0, 0)
insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-ASM', 2, 'LOOSE', '', 1, 1, 0, 'PCS', 100, 'B-ASM-2', 0, 0)
go
insert QZ_MRP_MO (MOID, MONo, MOEntry, MODate, MODeptID, MOItmID, MOUntID, MOBillQty, MOQty, MOOkQty, MOChkQty, MODelivDate, MODrawDate, MOBomType, MOBomID, MOStatus, Checked, Closed, CanMRP) values ('MO1', 'MO1', 1, '20261230', 'D1', 'ASM', 'PCS', 10, 10, 0, 0, '20270106', '20270105', 0, 'B-ASM', '下达', 1, 0, 1)
insert QZ_MRP_MOBOM (BomID, BomNo, BomEntry, BomDate, MOID, MONo, MOEntry, MOItmID, BomDeptID, BomItmID, BomUntID, BomUnitQty, BomBillQty, BomQty, BomOkQty, BomDrawDate, BomRole, BomRowHook, Checked, Closed, CanMRP) values ('MB1', 'MB1', 1, '20261230', 'MO1', 'MO1', 1, 'ASM', 'D1', 'PART', 'PCS', 1, 10, 10, 0, '20270105', 0, 'B-ASM-1', 1, 0, 1)
insert QZ_MRP_MOBOM (BomID, BomNo, BomEntry, BomDate, MOID, MONo, MOEntry, MOItmID, BomDeptID, BomItmID, BomUntID, BomUnitQty, BomBillQty, BomQty, BomOkQty, BomDrawDate, BomRole, BomRowHook, Checked, Closed, CanMRP) values ('MB1', 'MB1', 2, '20261230', 'MO1', 'MO1', 1, 'ASM', 'D1', 'LOOSE', 'PCS', 1, 10, 10, 0, null, 0, 'B-ASM-2', 1, 0, 1)
insert QZ_MRP_SOHead (SOID, SONo, SODate, SOCustID, Checked, Closed) values ('SO1', 'SO1', '20261220', 'C1', 1, 0)
insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOItmID, SOUntID, SOBillQty, SOQty, SOOkQty, SODelivDate, Checked, Closed, CanMRP) values ('SO1', 'SO1', 1, '20261220', 'C1', 'ASM', 'PCS', 10, 10, 0, '20270107', 1, 0, 1)
-- daily periods for a week from Monday 2027-01-04
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (0, 'order lines', 1, '46391|46392|46393|46394|46395|46396|46397|46398|', 0, 0, 0, 0, 0, 9, 0, 1, 1, '', 'plan01', 0, '20270104 08:00:00', '20270104 08:00:00')
go
