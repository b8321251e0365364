-- The order of order_lines.inc in a run limited to the main demand and what
-- it explodes into (need scope 1): the sale is covered by the order, so no
-- planned supply explodes; the order's own lines must still be planned, and
-- neither the sale nor the order is kit-complete while its parts are missing.
:r order_lines.inc
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (0, 'order lines, scope 1', 1, '46391|46392|46393|46394|46395|46396|46397|46398|', 0, 1, 0, 0, 0, 9, 0, 1, 1, '', 'plan01', 0, '20270104 08:00:00', '20270104 08:00:00')
go
