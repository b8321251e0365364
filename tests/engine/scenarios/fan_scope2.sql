-- The fan maker of fan_orders.inc planned for its sale alone and what that
-- explodes into (need scope 2), with safety stock.
:r fan_orders.inc
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (0, 'fans, scope 2', 1, '46391|46392|46393|46394|46395|46396|46397|46398|', 0, 2, 1, 0, 0, 9, 0, 1, 1, '', 'plan01', 0, '20270104 08:00:00', '20270104 08:00:00')
go
