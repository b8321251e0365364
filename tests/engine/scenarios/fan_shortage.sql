-- A shortage analysis (plan type 2) of the motor order MO1 of fan_orders.inc,
-- as its settings dialog writes it for a picked order line: pending issues
-- count (need scope 2), safety stock, daily periods of calendar 1.
:r fan_orders.inc
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (2, '', 1, '46391|46392|46393|46394|46395|46396|46397|46398|', 0, 2, 1, 0, 0, 9, 0, 1, 0, '', 'plan01', 4, '20270104 08:00:00', '20270104 08:00:00')
go
update QZ_MRP_Schemes set SchMpsCalIID=1, SchMpsPeriods=SchPeriods
insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, ManBillQty, ManGroupType, ManGroupNo, ManItmID, ManItmProps, ManDate, ManPriority, ManBomType, ManBomID, ManExeQty, ManDedQty, ManNeedQty, ManQty) select SchIID, 1, 2, 22, 'MO1', 'MO1', 1, '20261228', 10, 0, '', 'MOTOR', '', '20270105', 0, 0, null, 0, 0, 10, 10 from QZ_MRP_Schemes
go
