-- Receipt and issue lines of the stock: the history the inventory-age
-- analysis explains the stock on hand with (QZ_MRP_GetHistoryInventory,
-- QZ_MRP_GetLastStockInBills, QZ_MRP_UndoInnerTransBills,
-- QZ_MRP_GetLastStockInPrice, QZ_MRP_GetLastStockOutDate).

-- one line of a stock bill. StbDir 1 receipt, -1 issue. An inner transfer is a
-- transfer-out line (TOUT) at the source and a transfer-in line (TIN) at the
-- target that names the transfer-out line it pairs with (StbFrom...).
create table QZ_MRP_StockBills (
  StbTypID nvarchar(50) not null,
  StbTypName nvarchar(80) not null,
  StbID nvarchar(50) not null,
  StbNo nvarchar(80) not null,
  StbEntry int not null,
  StbDate datetime not null,
  StbDir smallint not null,
  StbSupply nvarchar(80) null,
  StbItmID nvarchar(50) not null,
  StbItmProps nvarchar(100) not null default(''),
  StbBatch nvarchar(80) null,
  StbStkID nvarchar(50) not null,
  StbStpID nvarchar(50) null,
  StbGroupType tinyint not null default(0),
  StbGroupNo nvarchar(100) not null default(''),
  StbQty decimal(28,8) not null,
  StbPrice decimal(28,8) null,
  StbAmt decimal(28,8) null,
  StbNote nvarchar(200) null,
  StbMemo nvarchar(200) null,
  StbOrdType int null,
  StbOrdID nvarchar(50) null,
  StbOrdNo nvarchar(80) null,
  StbOrdEntry int null,
  StbFromTypID nvarchar(50) null,
  StbFromID nvarchar(50) null,
  StbFromEntry int null
)
create unique index QZ_MRP_StockBillsKey on QZ_MRP_StockBills (StbTypID, StbID, StbEntry)
create index QZ_MRP_StockBillsItm on QZ_MRP_StockBills (StbItmID, StbItmProps, StbStkID)
go
