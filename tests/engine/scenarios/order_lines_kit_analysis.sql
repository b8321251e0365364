-- A quick kit analysis (plan type 1) of the sale SO1 of order_lines.inc, as
-- its settings dialog writes it: the main demand's own net requirement
-- (stock and open supplies count) and pending issues (need scope 2), daily
-- periods of calendar 1 from 2027-01-04, the sale line as main demand.
:r order_lines.inc
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (1, '', 1, '46391|46392|46393|46394|46395|46396|46397|46398|', 3, 2, 0, 0, 0, 9, 0, 1, 0, '', 'plan01', 4, '20270104 08:00:00', '20270104 08:00:00')
go
update QZ_MRP_Schemes set SchMpsCalIID=1, SchMpsPeriods=SchPeriods
insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, ManBillQty, ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, ManOrigItmID, ManOrigCustID, ManGroupType, ManGroupNo, ManItmID, ManItmProps, ManDate, ManPriority, ManBomType, ManBomID, ManExeQty, ManDedQty, ManNeedQty, ManQty) select SchIID, 1, 4, 2, 'SO1', 'SO1', 1, '20261220', 10, 2, 'SO1', 'SO1', 1, 'ASM', 'C1', 0, '', 'ASM', '', '20270107', 0, 0, 'B-ASM', 0, 0, 10, 10 from QZ_MRP_Schemes
go
