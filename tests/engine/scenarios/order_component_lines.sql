-- An open production order draws its unissued component lines on their own
-- dates, whenever its output is consumed. Daily periods from Monday 2027-01-04
-- (day 1); the order draws on day 2, delivers on day 3, and its output serves
-- a sale on day 4. The company is in order_lines.inc.
:r order_lines.inc
-- daily periods for a week from Monday 2027-01-04
insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime) values (0, 'order lines', 1, '46391|46392|46393|46394|46395|46396|46397|46398|', 0, 0, 0, 0, 0, 9, 0, 1, 1, '', 'plan01', 0, '20270104 08:00:00', '20270104 08:00:00')
go
