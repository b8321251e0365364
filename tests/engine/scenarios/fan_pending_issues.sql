-- The fan maker of fan_orders.inc planned for its sale with pending issues
-- (need scope 2), with safety stock. Besides, a lamp order the sale does not
-- need: MO5 makes 5 LAMP (draws 01-06, due 01-07) and still has to be issued
-- 5 SCREW on 01-06.
:r fan_orders.inc
insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmUnitID, ItmDecimal) values ('LAMP', 'LAMP', 'lamp', 2, 'PCS', 0)
insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmSafeQty, ItmMinQty, ItmLotQty, ItmPreLeadTime, ItmFixLeadTime, ItmPostLeadTime, ItmPutInteger, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values ('LAMP', 0, null, null, null, 0, 1, 0, 1, 'D1', null, null)
insert QZ_MRP_MO (MOID, MONo, MOEntry, MODate, MODeptID, MOItmID, MOUntID, MOBillQty, MOQty, MOOkQty, MOChkQty, MODelivDate, MODrawDate, MOBomType, MOBomID, MOStatus, Checked, Closed, CanMRP) values ('MO5', 'MO5', 1, '20261228', 'D1', 'LAMP', 'PCS', 5, 5, 0, 0, '20270107', '20270106', 0, null, '下达', 1, 0, 1)
insert QZ_MRP_MOBOM (BomID, BomNo, BomEntry, BomDate, MOID, MONo, MOEntry, MOItmID, BomDeptID, BomItmID, BomUntID, BomUnitQty, BomBillQty, BomQty, BomOkQty, BomDrawDate, BomRole, BomRowHook, Checked, Closed, CanMRP) values ('MB5', 'MB5', 1, '20261228', 'MO5', 'MO5', 1, 'LAMP', 'D1', 'SCREW', 'PCS', 1, 5, 5, 0, '20270106', 0, '', 1, 0, 1)
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (0, 'fans, pending issues', 1, '46391|46392|46393|46394|46395|46396|46397|46398|', 0, 2, 1, 0, 0, 9, 0, 1, 1, '', 'plan01', 0, '20270104 08:00:00', '20270104 08:00:00')
go
