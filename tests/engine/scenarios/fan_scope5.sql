-- The fan maker of fan_orders.inc planned for its sale with a single-level
-- explosion (need scope 5), with safety stock: each item's stock and open
-- orders count once, at the item's level.
:r fan_orders.inc
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (0, 'fans, scope 5', 1, '46391|46392|46393|46394|46395|46396|46397|46398|', 0, 5, 1, 0, 0, 9, 0, 1, 1, '', 'plan01', 0, '20270104 08:00:00', '20270104 08:00:00')
go
