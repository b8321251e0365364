-- The bill of materials number of each planned supply and demand of a plan,
-- read by the balance, allotment and output views.
create view QZ_MRP_BOMsOfSupply as select s.SupSchIID, s.SupIID, b.BomNo from QZ_MRP_Supplies as s
  join QZ_MRP_ItemBOMs as b on s.SupBomType=b.BomType and s.SupBomID=b.BomID
go
create view QZ_MRP_BOMsOfDemand as select d.DmdSchIID, d.DmdIID, b.BomNo from QZ_MRP_Demands as d
  join QZ_MRP_ItemBOMs as b on d.DmdBomType=b.BomType and d.DmdBomID=b.BomID
go
create view QZ_MRP_BOMsOfMain as select m.ManSchIID, m.ManIID, b.BomNo from QZ_MRP_Main as m
  join QZ_MRP_ItemBOMs as b on m.ManBomType=b.BomType and m.ManBomID=b.BomID
go
