-- The fan maker of fan_orders.inc planned for its sale, whose own item is
-- taken gross (neither its stock nor its orders count), and what that
-- explodes into, with pending issues and safety stock (need scope 4, as a
-- kit analysis sets it by default), with substitutes considered (none are
-- set up): the items other than the sale's are scoped by their level alone.
:r fan_orders.inc
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (0, 'fans, gross main, substitutes', 1, '46391|46392|46393|46394|46395|46396|46397|46398|', 0, 4, 1, 1, 0, 9, 0, 1, 1, '', 'plan01', 0, '20270104 08:00:00', '20270104 08:00:00')
go
