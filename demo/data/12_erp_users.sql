-- The ERP's own users (password of each: 123, each stored with a salt of its
-- own, see erp/ERPPasswords.h). ERP user 'erp02' has no Korvane user, so
-- Korvane refuses him after the ERP login.
insert ERP_Users (UserID, UserNo, UserName, PasswordHash, Disabled) values ('admin', 'admin', '系统管理员', '$argon2id$v=19$m=19456,t=2,p=1$iXnQiGKdz7GD75TnBbNyJA$viM/wtBE7XSMo4/2Zo5bqLPtRha6jzAI/rZH4rDhDAI', 0)
insert ERP_Users (UserID, UserNo, UserName, PasswordHash, Disabled) values ('plan01', 'plan01', '王计划', '$argon2id$v=19$m=19456,t=2,p=1$4nen2eocklgdp/6XLjj7cw$+3rtRKRRFYYQ4OQtlCZENLixK+Js/nTYenaJ0Gs2eUg', 0)
insert ERP_Users (UserID, UserNo, UserName, PasswordHash, Disabled) values ('buy01', 'buy01', '李采购', '$argon2id$v=19$m=19456,t=2,p=1$XZcfnunp3qpPPuKPXu0DSg$0GivDVi3mPFzj0G9JZM46Mnn451QS4NIHVnrL1s8owk', 0)
insert ERP_Users (UserID, UserNo, UserName, PasswordHash, Disabled) values ('old01', 'old01', '赵离职', '$argon2id$v=19$m=19456,t=2,p=1$IEiCWRUFHq5YvwMFoGg+mA$oFRblb4kEjtnZ151csXyDbMYFOxkAARUchgWYMOiI7I', 0)
insert ERP_Users (UserID, UserNo, UserName, PasswordHash, Disabled) values ('erp02', 'erp02', '钱仓管', '$argon2id$v=19$m=19456,t=2,p=1$ISakYvz/QOISP1KACi7jew$fOJ38XTHckakgriY0uwStaPYEzEQV5IgujaHF1yYfFs', 0)
go
