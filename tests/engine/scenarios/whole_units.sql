-- Planned quantities in the item's unit: whole units for items that demand
-- integers, the item's decimals otherwise; yield and loss of a bill line, a
-- fractional lot, a substitute at 1:2 and binary residues of stock netting.
insert QZ_Base_Unit (UntID, UntNo, UntName, UntFactor) values ('PCS', 'PCS', 'PCS', 1)
insert QZ_Base_Customer (CustID, CustNo, CustName) values ('C1', 'C1', 'Customer')
insert QZ_Base_Supplier (SuppID, SuppNo, SuppName, SuppPO, SuppOO) values ('S1', 'S1', 'Supplier', 1, 0)
insert QZ_Base_Department (DeptID, DeptNo, DeptName, DeptWorkShop) values ('D1', 'D1', 'Shop', 1)
insert QZ_Base_Stock (StkID, StkNo, StkName, StkVirtual) values ('K1', 'K1', 'Stock', 0)
insert QZ_MRP_Calendar (CalName) values ('all days')
go
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('P', 'P', 'assembly', 2, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('CW', 'CW', 'whole part', 1, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('CD', 'CD', 'two-decimal part', 1, 'PCS', 2)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('LOT', 'LOT', 'fractional lot', 1, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('DEC', 'DEC', 'two-decimal sale', 1, 'PCS', 2)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('A', 'A', 'substituted', 1, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('B', 'B', 'substitute', 1, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('W', 'W', 'whole after stock', 1, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('X', 'X', 'one decimal after stock', 1, 'PCS', 1)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('P', 0, null, null, null, 0, 0, 0, 1, 'D1', null, null)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('CW', 0, null, null, null, 0, 0, 0, 1, null, 'S1', null)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('CD', 0, null, null, null, 0, 0, 0, 0, null, 'S1', null)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('LOT', 0, null, null, 10.5, 0, 0, 0, 1, null, 'S1', null)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('DEC', 0, null, null, null, 0, 0, 0, 0, null, 'S1', null)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('A', 0, null, null, null, 0, 0, 0, 1, null, 'S1', null)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('B', 0, null, null, null, 0, 0, 0, 1, null, 'S1', null)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('W', 0, null, null, null, 0, 0, 0, 1, null, 'S1', null)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('X', 0, null, null, null, 0, 0, 0, 0, null, 'S1', null)
-- yield 80 % on the bill, 10 % loss added on each line: 100 gives 137.5
insert QZ_MRP_ItemBOMs (BomType, BomID, BomNo, BomItmID, BomItmProps, BomOkRate, BomIsDefault, BomStandalone, BomDate, Checked) values (0, 'B-P', 'B-P', 'P', '', 80, 1, 1, '20261101', 1)
insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-P', 1, 'CW', '', 1, 1, 10, 'PCS', 100, 'B-P-1', 0, 0)
insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-P', 2, 'CD', '', 1, 1, 10, 'PCS', 100, 'B-P-2', 0, 0)
-- one A is two B
insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, SubRQty, SubPriority, SubGlobal, SubReplace) values (null, null, null, 'A', '', 'B', '', 1, 2, 1, 1, 0)
go
insert QZ_MRP_SOHead (SOID, SONo, SODate, SOCustID, Checked, Closed) values ('SO1', 'SO1', '20270104', 'C1', 1, 0)
insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOItmID, SOUntID, SOBillQty, SOQty, SOOkQty, SODelivDate, Checked, Closed, CanMRP) values ('SO1', 'SO1', 1, '20270104', 'C1', 'P', 'PCS', 100, 100, 0, '20270106', 1, 0, 1)
insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOItmID, SOUntID, SOBillQty, SOQty, SOOkQty, SODelivDate, Checked, Closed, CanMRP) values ('SO1', 'SO1', 2, '20270104', 'C1', 'LOT', 'PCS', 7, 7, 0, '20270106', 1, 0, 1)
insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOItmID, SOUntID, SOBillQty, SOQty, SOOkQty, SODelivDate, Checked, Closed, CanMRP) values ('SO1', 'SO1', 3, '20270104', 'C1', 'DEC', 'PCS', 3.456, 3.456, 0, '20270106', 1, 0, 1)
insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOItmID, SOUntID, SOBillQty, SOQty, SOOkQty, SODelivDate, Checked, Closed, CanMRP) values ('SO1', 'SO1', 4, '20270104', 'C1', 'A', 'PCS', 100, 100, 0, '20270106', 1, 0, 1)
insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOItmID, SOUntID, SOBillQty, SOQty, SOOkQty, SODelivDate, Checked, Closed, CanMRP) values ('SO1', 'SO1', 5, '20270104', 'C1', 'W', 'PCS', 2.7, 2.7, 0, '20270106', 1, 0, 1)
insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOItmID, SOUntID, SOBillQty, SOQty, SOOkQty, SODelivDate, Checked, Closed, CanMRP) values ('SO1', 'SO1', 6, '20270104', 'C1', 'X', 'PCS', 1, 1, 0, '20270106', 1, 0, 1)
insert QZ_MRP_Inventory (InvItmID, InvStkID, InvBatch, InvQty, InvInDate) values ('B', 'K1', 'B1', 51, '20261201')
insert QZ_MRP_Inventory (InvItmID, InvStkID, InvBatch, InvQty, InvInDate) values ('W', 'K1', 'B1', 0.7, '20261201')
insert QZ_MRP_Inventory (InvItmID, InvStkID, InvBatch, InvQty, InvInDate) values ('X', 'K1', 'B1', 0.7, '20261201')
-- weekly periods from Monday 2027-01-04; substitutes from stock; loss and lot rules on
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (0, 'units', 1, '46391|46398|46405|46412|', 0, 0, 0, 1, 0, 9, 0, 1, 1, '', 'plan01', 0, '20270104 08:00:00', '20270104 08:00:00')
go
