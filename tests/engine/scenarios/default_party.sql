-- Each planned supply names the party of its kind from the item's planning
-- settings: the production department, the outsourcing supplier or the
-- purchase supplier, whatever bill the demand comes from. Every item names all
-- three, each a different one.
insert QZ_Base_Unit (UntID, UntNo, UntName, UntFactor) values ('PCS', 'PCS', 'PCS', 1)
insert QZ_Base_Customer (CustID, CustNo, CustName) values ('C1', 'C1', 'Customer')
insert QZ_Base_Supplier (SuppID, SuppNo, SuppName, SuppPO, SuppOO) values ('S-PO', 'S-PO', 'Vendor', 1, 0)
insert QZ_Base_Supplier (SuppID, SuppNo, SuppName, SuppPO, SuppOO) values ('S-OO', 'S-OO', 'Subcontractor', 0, 1)
insert QZ_Base_Department (DeptID, DeptNo, DeptName, DeptWorkShop) values ('D-MO', 'D-MO', 'Shop', 1)
insert QZ_MRP_Calendar (CalName) values ('all days')
go
-- TOP (made) holds SUB (outsourced), BUY (bought) and MADE (made); SUB holds
-- UNDER (made) and OVR (made by master data, bought by its planning type).
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('TOP', 'TOP', 'made product', 2, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('SUB', 'SUB', 'outsourced part', 3, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('BUY', 'BUY', 'bought part', 1, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('MADE', 'MADE', 'made part', 2, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('UNDER', 'UNDER', 'made under outsourcing', 2, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('OVR', 'OVR', 'planned as bought', 2, 'PCS', 0)
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('SOLD', 'SOLD', 'outsourced product', 3, 'PCS', 0)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('TOP', 0, null, null, null, 0, 0, 0, 1, 'D-MO', 'S-PO', 'S-OO')
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('SUB', 0, null, null, null, 0, 0, 0, 1, 'D-MO', 'S-PO', 'S-OO')
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('BUY', 0, null, null, null, 0, 0, 0, 1, 'D-MO', 'S-PO', 'S-OO')
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('MADE', 0, null, null, null, 0, 0, 0, 1, 'D-MO', 'S-PO', 'S-OO')
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('UNDER', 0, null, null, null, 0, 0, 0, 1, 'D-MO', 'S-PO', 'S-OO')
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('OVR', 1, null, null, null, 0, 0, 0, 1, 'D-MO', 'S-PO', 'S-OO')
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('SOLD', 0, null, null, null, 0, 0, 0, 1, 'D-MO', 'S-PO', 'S-OO')
insert QZ_MRP_ItemBOMs (BomType, BomID, BomNo, BomItmID, BomItmProps, BomOkRate, BomIsDefault, BomStandalone, BomDate, Checked) values (0, 'B-TOP', 'B-TOP', 'TOP', '', 100, 1, 1, '20261101', 1)
insert QZ_MRP_ItemBOMs (BomType, BomID, BomNo, BomItmID, BomItmProps, BomOkRate, BomIsDefault, BomStandalone, BomDate, Checked) values (0, 'B-SUB', 'B-SUB', 'SUB', '', 100, 1, 1, '20261101', 1)
insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-TOP', 1, 'SUB', '', 1, 1, 0, 'PCS', 100, 'B-TOP-1', 0, 0)
insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-TOP', 2, 'BUY', '', 1, 1, 0, 'PCS', 100, 'B-TOP-2', 0, 0)
insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-TOP', 3, 'MADE', '', 1, 1, 0, 'PCS', 100, 'B-TOP-3', 0, 0)
insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-SUB', 1, 'UNDER', '', 1, 1, 0, 'PCS', 100, 'B-SUB-1', 0, 0)
insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-SUB', 2, 'OVR', '', 1, 1, 0, 'PCS', 100, 'B-SUB-2', 0, 0)
go
insert QZ_MRP_SOHead (SOID, SONo, SODate, SOCustID, Checked, Closed) values ('SO1', 'SO1', '20270104', 'C1', 1, 0)
insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOItmID, SOUntID, SOBillQty, SOQty, SOOkQty, SODelivDate, Checked, Closed, CanMRP) values ('SO1', 'SO1', 1, '20270104', 'C1', 'TOP', 'PCS', 10, 10, 0, '20270106', 1, 0, 1)
insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOItmID, SOUntID, SOBillQty, SOQty, SOOkQty, SODelivDate, Checked, Closed, CanMRP) values ('SO1', 'SO1', 2, '20270104', 'C1', 'SOLD', 'PCS', 5, 5, 0, '20270106', 1, 0, 1)
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (0, 'parties', 1, '46391|46398|46405|46412|', 0, 0, 0, 0, 0, 9, 0, 1, 1, '', 'plan01', 0, '20270104 08:00:00', '20270104 08:00:00')
go
