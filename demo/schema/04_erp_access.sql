-- Tables of the ERP integration library that ships beside Korvane: the ERP's
-- own users (its login checks them) and the bills it stores.

-- ERP users; UserID is the identity Korvane's QZ_SYS_Users knows as UsrID
create table ERP_Users (
  UserID nvarchar(50) not null primary key,
  UserNo nvarchar(50) not null,
  UserName nvarchar(80) not null,
  PasswordHash varchar(128) not null,
  Disabled bit not null default(0)
)
create unique index ERP_UsersNo on ERP_Users (UserNo)
go

-- bill heads; the named head values are kept as a JSON text
create table ERP_Bills (
  BillID int identity(1,1) primary key,
  BillKind int not null,
  BillNo nvarchar(50) not null,
  BillDate datetime not null,
  UserID nvarchar(50) null,
  HeadValues nvarchar(4000) null
)
create unique index ERP_BillsNo on ERP_Bills (BillKind, BillNo)
go

-- bill detail rows of every named detail list
create table ERP_BillRows (
  RowID int identity(1,1) primary key,
  BillID int not null,
  ListName nvarchar(50) not null,
  RowNo int not null,
  RowValues nvarchar(4000) null
)
create index ERP_BillRowsBill on ERP_BillRows (BillID, ListName, RowNo)
go
