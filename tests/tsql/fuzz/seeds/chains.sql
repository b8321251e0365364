select x=1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1
select n=count(*) from T where Qty=1.5 or Qty=1.5 or Qty=1.5 or Qty=1.5 or Qty=1.5 or Qty=1.5 or Qty=1.5 or Qty=1.5 or Qty=1.5 or Qty=1.5 or Qty=1.5 or Qty=1.5 and not not not not not not not not not Code like 'a%'
select y=case Code when 'a' then 1 when 'b' then 2 else 3 end from T where IID in (1,2,3,4)
