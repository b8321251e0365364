-- The ERP's own users (password of each: 123). ERP user 'erp02' has no
-- Korvane user, so Korvane refuses him after the ERP login.
insert ERP_Users (UserID, UserNo, UserName, PasswordHash, Disabled) values ('admin', 'admin', '系统管理员', 'a665a45920422f9d417e4867efdc4fb8a04a1f3fff1fa07e998e86f7f7a27ae3', 0)
insert ERP_Users (UserID, UserNo, UserName, PasswordHash, Disabled) values ('plan01', 'plan01', '王计划', 'a665a45920422f9d417e4867efdc4fb8a04a1f3fff1fa07e998e86f7f7a27ae3', 0)
insert ERP_Users (UserID, UserNo, UserName, PasswordHash, Disabled) values ('buy01', 'buy01', '李采购', 'a665a45920422f9d417e4867efdc4fb8a04a1f3fff1fa07e998e86f7f7a27ae3', 0)
insert ERP_Users (UserID, UserNo, UserName, PasswordHash, Disabled) values ('old01', 'old01', '赵离职', 'a665a45920422f9d417e4867efdc4fb8a04a1f3fff1fa07e998e86f7f7a27ae3', 0)
insert ERP_Users (UserID, UserNo, UserName, PasswordHash, Disabled) values ('erp02', 'erp02', '钱仓管', 'a665a45920422f9d417e4867efdc4fb8a04a1f3fff1fa07e998e86f7f7a27ae3', 0)
go
