declare @i int
set @i=0
while @i<3 begin set @i=@i+1 end
select x.* into #t from (select Code from T union select 'b') as x
update t set Code='c' from #t as t join T on t.Code=T.Code
drop table #t