#include "untMRPSupplyBOM.h"

#include "Ado.h"
#include "Exceptions.h"
#include "UDBComm.h"
#include "untLossRate.h"
#include "untMRPCalendar.h"
#include "untMRPOutputBills.h"
#include "untMRPUtils.h"

#include <cmath>

using namespace untMRPUtils;

namespace {

const QString CR = QStringLiteral("\r");

QDate dateOfValue(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    bool ok = false;
    const double day = v.toDouble(&ok);
    return ok ? QDate(1899, 12, 30).addDays(qint64(std::floor(day))) : QDate();
}

QString yyyymmdd(const QDate& d)
{
    return d.toString(QStringLiteral("yyyyMMdd"));
}

double fieldFloat(TADOQuery* q, const QString& name, double AEmpty = 0)
{
    TField* f = q->FindField(name);
    return !f || f->IsNull() ? AEmpty : f->AsFloat();
}

QString fieldText(TADOQuery* q, const QString& name)
{
    TField* f = q->FindField(name);
    return !f || f->IsNull() ? QString() : f->AsString();
}

int fieldInt(TADOQuery* q, const QString& name, int AEmpty = 0)
{
    TField* f = q->FindField(name);
    return !f || f->IsNull() ? AEmpty : f->AsInteger();
}

void run(TADOQuery* q, const QString& sql, bool open)
{
    ExecSQLText(q, sql, open, true, false);
}

const QString RefTablesSQL = QStringLiteral(
    "if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_MRP_RefGetBOM'))\rdrop table #QZ_MRP_RefGetBOM\r"
    "create table #QZ_MRP_RefGetBOM (PrdID nvarchar(50) null,BomType tinyint null,BomID nvarchar(50) null)\r"
    "create index #QZ_MRP_RefGetBOMIdx on #QZ_MRP_RefGetBOM (PrdID, BomType, BomID)\r"
    "if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_MRP_BOM'))\rdrop table #QZ_MRP_BOM\r"
    "create table #QZ_MRP_BOM (BomType tinyint null,BomID nvarchar(50) null,BomNo nvarchar(80) null,BomPrdID nvarchar(50) null,"
    "BomPrdOkRate decimal(28,8) null,BomEntry int null,BomItmID nvarchar(50) not null,BomProps nvarchar(100) not null default(''),"
    "BomProp1 nvarchar(80) null,BomProp2 nvarchar(80) null,BomProp3 nvarchar(80) null,BomProp4 nvarchar(80) null,"
    "BomProp5 nvarchar(80) null,BomProp6 nvarchar(80) null,BomProp7 nvarchar(80) null,BomProp8 nvarchar(80) null,"
    "BomProp9 nvarchar(80) null,BomProp10 nvarchar(80) null,BomFixed bit null,BomQty decimal(28,8) null,"
    "BomBaseQty decimal(28,8) null,BomLossRate decimal(28,8) null,BomPutLossRate varchar(500) null,BomUntID nvarchar(50) null,"
    "BomUQty decimal(28,8) null,BomUBaseQty decimal(28,8) null,BomPercent decimal(28,8) null,BomRowHook varchar(50) null,"
    "BomBeginDate datetime null,BomEndDate datetime null,BomOffsetDay int null,BomPosition nvarchar(500) null,"
    "BomPosNo nvarchar(500) null,BomStkID nvarchar(50) null,BomOperSeq nvarchar(50) null,BomOperID nvarchar(50) null,"
    "BomDrawType nvarchar(80) null,BomRole tinyint null,BomRoleName nvarchar(80) null,BomItmBomType tinyint null,"
    "BomItmBomID nvarchar(50) null,BomItmBomNo nvarchar(80) null,BomItmBomOkRate decimal(28,8) null,BomItmBomLocked bit null,"
    "BomItmBomSkip tinyint null,BomNote nvarchar(500) null,BomNote1 nvarchar(500) null,BomNote2 nvarchar(500) null,"
    "BomNote3 nvarchar(500) null)\r"
    "create index #QZ_MRP_BOMIdx on #QZ_MRP_BOM (BomType, BomID)\r");

const QString ComponentSQL = QStringLiteral(
    "select b.BomEntry, b.BomItmID, b.BomProps, b.BomProp1, b.BomProp2, b.BomProp3, b.BomProp4, b.BomProp5, b.BomProp6, "
    "b.BomProp7, b.BomProp8, b.BomProp9, b.BomProp10,b.BomFixed, b.BomQty, b.BomBaseQty, b.BomUntID, b.BomUQty, "
    "BomPercent=isnull(b.BomPercent,100), b.BomOffsetDay, b.BomRowHook, b.BomPrdOkRate, b.BomNote,"
    "BomPutLossRate=(case t.ItmPutLossType when 1 then null when 2 then t.ItmPutLossRate else (case when b.BomPutLossRate<>'' "
    "then b.BomPutLossRate else cast(b.BomLossRate as varchar(20))+'%%' end) end),u.UntFactor, i.ItmDecimal, t.ItmPutInteger, "
    "t.ItmFixLeadTime, t.ItmVarLeadTime, t.ItmVarLeadLot,SupIID=isnull(p.SupIID, -1), SupBomType=isnull(p.SupBomType, "
    "b.BomItmBomType), SupBomID=isnull(p.SupBomID, b.BomItmBomID),SupBillType=isnull(p.SupBillType, (case (case when "
    "t.ItmMrpType<>0 then t.ItmMrpType else i.ItmType end) when 1 then %1:d when 2 then (case when %0:d=%2:d and "
    "b.BomItmBomSkip=2 then %8:d when %0:d=%4:d and b.BomItmBomSkip=2 then %9:d when %0:d=%2:d and (t.ItmMOBomSkip=1 or "
    "isnull(t.ItmMOBomSkip,0)=0 and b.BomItmBomSkip=1) then %3:d when %0:d=%4:d and (t.ItmOOBomSkip=1 or "
    "isnull(t.ItmOOBomSkip,0)=0 and b.BomItmBomSkip=1) then %5:d else %6:d end) when 3 then (case when %0:d=%2:d and "
    "b.BomItmBomSkip=2 then %8:d when %0:d=%4:d and b.BomItmBomSkip=2 then %9:d when %0:d=%2:d and (t.ItmMOBomSkip=1 or "
    "isnull(t.ItmMOBomSkip,0)=0 and b.BomItmBomSkip=1) then %3:d when %0:d=%4:d and (t.ItmOOBomSkip=1 or "
    "isnull(t.ItmOOBomSkip,0)=0 and b.BomItmBomSkip=1) then %5:d else %7:d end) else (case %0:d when %2:d then %8:d when "
    "%4:d then %9:d else %10:d end) end)),SupGroupType=(case t.ItmMrpGroup when 1 then %13:d when 2 then %14:d when 3 then "
    "%15:d when 4 then %16:d when 5 then %16:d when 6 then %17:d when 9 then %18:d else 0 end),SupGroupNo=(case "
    "t.ItmMrpGroup when 1 then %19:s when 2 then %20:s when 3 then %21:s when 4 then %22:s when 5 then %23:s when 6 then "
    "%24:s when 9 then %25:s else '' end) from #QZ_MRP_BOM as b with(nolock) join QZ_Base_ItemMaster as i with(nolock) on "
    "b.BomItmID=i.ItmID left join QZ_MRP_Demands as d with(nolock) on d.DmdSchIID=%11:d and d.DmdPSupIID=%12:s and "
    "b.BomEntry=d.DmdBillEntry and b.BomItmID=d.DmdItmID and b.BomProps=d.DmdItmProps left join QZ_MRP_Supplies as p "
    "with(nolock) on p.SupSchIID=%11:d and d.DmdIID=p.SupPDmdIID left join QZ_Base_Unit as u with(nolock) on "
    "b.BomUntID=u.UntID left join QZ_MRP_ItemSetting as t with(nolock) on b.BomItmID=t.ItmID");

const QString SubTablesSQL = QStringLiteral(
    "if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_MRP_DemandRefItems'))\r"
    "drop table #QZ_MRP_DemandRefItems\r"
    "create table #QZ_MRP_DemandRefItems (DmdIID int not null,DmdBillType tinyint null,DmdBillID nvarchar(50) null,"
    "DmdBillEntry int null,DmdItmID nvarchar(50) not null,DmdItmProps nvarchar(100) not null,DmdBomHook varchar(50) null,"
    "DmdDate datetime null,SupBomType tinyint null,SupBomID nvarchar(50) null)\r"
    "create index #QZ_MRP_DemandRefItemsIdx on #QZ_MRP_DemandRefItems (DmdItmID)\r"
    "if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_MRP_ItemSubsForDemand'))\r"
    "drop table #QZ_MRP_ItemSubsForDemand\r"
    "create table #QZ_MRP_ItemSubsForDemand (DmdIID int not null,SubGlobal bit null,SubPriority int null,"
    "SubRItmID nvarchar(50) not null,SubRProps nvarchar(100) not null default(''),SubRProp1 nvarchar(80) null,"
    "SubRProp2 nvarchar(80) null,SubRProp3 nvarchar(80) null,SubRProp4 nvarchar(80) null,SubRProp5 nvarchar(80) null,"
    "SubRProp6 nvarchar(80) null,SubRProp7 nvarchar(80) null,SubRProp8 nvarchar(80) null,SubRProp9 nvarchar(80) null,"
    "SubRProp10 nvarchar(80) null,SubQty decimal(18,8) null,SubRQty decimal(18,8) null,SubReplace bit null,"
    "SubBomType tinyint null,SubBomID nvarchar(50) null,SubBomNo nvarchar(80) null)\r"
    "create index #QZ_MRP_ItemSubsForDemandIdx1 on #QZ_MRP_ItemSubsForDemand (DmdIID)\r"
    "create index #QZ_MRP_ItemSubsForDemandIdx2 on #QZ_MRP_ItemSubsForDemand (SubRItmID)\r"
    "if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_MRP_OutputSupBom'))\r"
    "drop table #QZ_MRP_OutputSupBom\r");

const QString UsedSubsSQL = QStringLiteral(
    "delete s from #QZ_MRP_ItemSubsForDemand as s join #QZ_MRP_OutputSupBom as b with(nolock) on s.DmdIID=b.BomEntry\r"
    " left join (select DmdBillEntry, DmdItmID, DmdItmProps, DstItmID, DstItmProps from QZ_MRP_Demands as d with(nolock) "
    "join QZ_MRP_DestAlters as a with(nolock) on DmdSchIID=DstSchIID and DmdIID=DstDmdIID where DmdSchIID=%0:d and "
    "DmdPSupIID in (%1:s)\runion\rselect DmdBillEntry, DmdItmID, DmdItmProps, SupItmID, SupItmProps from QZ_MRP_Demands as d "
    "with(nolock) join QZ_MRP_Allots as a with(nolock) on DmdSchIID=AltSchIID and DmdIID=AltDmdIID join QZ_MRP_Supplies as s "
    "with(nolock) on DmdSchIID=SupSchIID and AltSupIID=SupIID where DmdSchIID=%0:d and DmdPSupIID in (%1:s) and AltIsRepl=1) "
    "as r\r on s.DmdIID=DmdBillEntry and b.BomItmID=DmdItmID and b.BomProps=DmdItmProps and s.SubRItmID=DstItmID and "
    "s.SubRProps=DstItmProps where r.DmdBillEntry is null\r");

const QString SubSelectSQL = QStringLiteral(
    "SubGroupType=(case t.ItmMrpGroup when 1 then %0:d when 2 then %1:d when 3 then %2:d when 4 then %3:d when 5 then %3:d "
    "when 6 then %4:d when 9 then %5:d else 0 end),SubGroupNo=(case t.ItmMrpGroup when 1 then %6:s when 2 then %7:s when 3 "
    "then %8:s when 4 then %9:s when 5 then %10:s when 6 then %11:s when 9 then %12:s else '' end)");

// One level's sub-assembly row to explode after the level is written.
struct TLevelChain {
    const TLevelChain* Parent = nullptr;
    QString ItemID;
    int BomType = 0;
    QString BomID;
};

bool onChain(const TLevelChain* AChain, const QString& AItemID, int ABomType, const QString& ABomID)
{
    for (const TLevelChain* c = AChain; c; c = c->Parent)
        if (c->ItemID.compare(AItemID, Qt::CaseInsensitive) == 0
            || (!ABomID.isEmpty() && c->BomType == ABomType && c->BomID.compare(ABomID, Qt::CaseInsensitive) == 0))
            return true;
    return false;
}

void setItemValues(IValueList& AValues, TADOQuery* q, const QString& AIdField, const QString& APropsField,
                   const QString& APropPrefix)
{
    AValues.SetValue(QStringLiteral("ItemID"), fieldText(q, AIdField));
    AValues.SetValue(QStringLiteral("ItemProps"), fieldText(q, APropsField));
    for (int i = 1; i <= 10; ++i)
        AValues.SetValue(QStringLiteral("ItemProp%1").arg(i), fieldText(q, APropPrefix + QString::number(i)));
}

void loadLevel(const TSupplyBOMRun& ARun, const TMRPOutputRec& ARec, const TSupplyBOMCall& ACall, const TLevelChain* AChain);

} // namespace

TSupplyBOMQty CalcSupplyBOMQty(const TSupplyBOMLine& ALine, double AQty, bool AUseStdQty, const QString& AItemNo)
{
    if (ALine.BomBaseQty == 0)
        throw Exception(QStringLiteral("物料%1在物料清单中的基础数量为0, 无法计算用料!").arg(AItemNo));
    if (!ALine.BomFixed && ALine.BomPrdOkRate == 0)
        throw Exception(QStringLiteral("物料%1所在物料清单的成品率为0, 无法计算用料!").arg(AItemNo));
    TSupplyBOMQty r;
    r.Decimals = ALine.ItmDecimal < 0 || ALine.ItmDecimal > 8 ? 8 : ALine.ItmDecimal;
    const int d = r.Decimals;
    const double u = (AUseStdQty ? ALine.BomQty : ALine.BomUQty) * ALine.BomPercent / 100;
    r.UnitQty = RoundTo(u, 8);
    r.Net = RoundTo((ALine.BomFixed ? 1 : AQty) * u / ALine.BomBaseQty, d);
    r.NetX = ALine.BomFixed ? r.Net : RoundTo(r.Net * 100 / ALine.BomPrdOkRate, d);
    r.LossX = RoundTo(ParseLossRateSteps(ALine.PutLossRate, r.NetX, 0), d);
    r.LossRateX = CalcLossRateQty(r.NetX, r.LossX);
    r.Loss = r.NetX - r.Net + r.LossX;
    r.LossRate = CalcLossRateQty(r.Net, r.Loss);
    r.Qty = r.Net + r.Loss;
    if (ALine.PutInteger)
        r.Qty = CeilQty(r.Qty);
    return r;
}

TSupplyBOMQty CalcSupplyBOMSubQty(const TSupplyBOMQty& AComponent, double ARatio, bool APutInteger)
{
    TSupplyBOMQty r = AComponent;
    const int d = AComponent.Decimals;
    r.UnitQty = RoundTo(AComponent.UnitQty * ARatio, 8);
    r.NetX = RoundTo(AComponent.NetX * ARatio, d);
    r.LossX = RoundTo(AComponent.LossX * ARatio, d);
    r.Net = RoundTo(AComponent.Net * ARatio, d);
    r.Loss = RoundTo(AComponent.Loss * ARatio, d);
    r.Qty = r.Net + r.Loss;
    if (APutInteger)
        r.Qty = CeilQty(r.Qty);
    return r;
}

QStringList SupplyBOMGroupValues(const TMRPOutputRec& ARec)
{
    const bool customerKind = ARec.SupOrigType == 2 || ARec.SupOrigType == 4;
    const bool customerDoc = customerKind && !ARec.SupOrigID.isEmpty();
    const bool withNo = customerKind && !ARec.SupOrigNo.isEmpty();
    const int docType = ARec.SupOrigType == 2 ? 2 : 4;
    const int lineType = ARec.SupOrigType == 2 ? 1 : 3;
    const QString noLine = ARec.SupOrigNo + (ARec.SupOrigEntry != 0 ? QStringLiteral("/%1").arg(ARec.SupOrigEntry) : QString());
    const QString tag = !ARec.SupOrigSubTag.isEmpty() ? ARec.SupOrigSubTag : ARec.SupOrigTag;
    return {
        QString::number(customerDoc ? (ARec.SupOrigEntry == 0 ? docType : lineType) : 0),
        QString::number(customerDoc ? docType : 0),
        QString::number(!ARec.SupOrigTag.isEmpty() || !ARec.SupOrigSubTag.isEmpty() ? 9 : 0),
        QString::number(withNo ? 9 : 0),
        QString::number(!ARec.SupOrigCustName.isEmpty() ? 9 : 0),
        QString::number(ARec.SupGroupType),
        QuoteSQL(customerDoc ? noLine : QString()),
        QuoteSQL(customerDoc ? ARec.SupOrigNo : QString()),
        QuoteSQL(tag),
        QuoteSQL(withNo ? noLine : QString()),
        QuoteSQL(withNo ? ARec.SupOrigNo : QString()),
        QuoteSQL(ARec.SupOrigCustName),
        QuoteSQL(ARec.SupGroupNo),
    };
}

QString SupplyBOMComponentSQL(int ABillType, int ASchemeIID, const QString& ASupIID, const QStringList& AGroups)
{
    QStringList args{QString::number(ABillType), QStringLiteral("58"), QStringLiteral("22"), QStringLiteral("44"),
                     QStringLiteral("24"), QStringLiteral("54"), QStringLiteral("42"), QStringLiteral("52"),
                     QStringLiteral("64"), QStringLiteral("66"), QStringLiteral("62"), QString::number(ASchemeIID),
                     QuoteSQL(ASupIID)};
    args += AGroups;
    return FormatWriteBack(ComponentSQL, args);
}

namespace {

void loadLevel(const TSupplyBOMRun& ARun, const TMRPOutputRec& ARec, const TSupplyBOMCall& ACall, const TLevelChain* AChain)
{
    TADOQuery* q = ARun.Query;
    const TLevelChain chain{AChain, ACall.ItemID, ACall.BomType, ACall.BomID};

    // 1. Explode the bill of materials.
    run(q,
        RefTablesSQL
            + QStringLiteral("insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values (%1, %2, %3)\r")
                  .arg(QuoteSQL(ACall.ItemID))
                  .arg(ACall.BomType)
                  .arg(QuoteSQL(ACall.BomID))
            + QStringLiteral("exec QZ_MRP_GetBOM\r")
            + QStringLiteral("select BomEntry, BomOffsetDay from #QZ_MRP_BOM with(nolock) where BomOffsetDay<>0"),
        true);
    // 2. Offsets in working days become calendar days.
    QString updates;
    const std::int64_t drawDay = DayOfDate(ACall.DrawDate);
    for (q->First(); !q->Eof(); q->Next()) {
        const int k = fieldInt(q, QStringLiteral("BomOffsetDay"));
        // A later line is issued on the working day its offset ends on, an
        // earlier one that many working days before the draw date.
        const std::int64_t day = k > 0 ? WorkDaysLater(ARun.Holidays, k, drawDay) : LeadTimeStart(ARun.Holidays, -k, drawDay);
        const int c = int(day - drawDay);
        if (c != k)
            updates += QStringLiteral("update #QZ_MRP_BOM set BomOffsetDay=%1 where BomEntry=%2\r").arg(c).arg(fieldInt(q, QStringLiteral("BomEntry")));
    }
    q->Close();
    // 3. The lines as they hold on the draw date.
    run(q, updates + QStringLiteral("exec QZ_MRP_SetBOMForBomItem '") + yyyymmdd(ACall.DrawDate) + u'\'', false);

    // 4., 5. Components, with their substitutes when asked for.
    const QStringList groups = SupplyBOMGroupValues(ARec);
    const QString components = SupplyBOMComponentSQL(ARun.BillType, ARun.SchemeIID, ACall.SupIID, groups);
    const bool withSubs = ACall.ItemSubs == 1 || (ACall.ItemSubs == 0 && !ACall.SupIIDs.isEmpty());
    if (!withSubs) {
        run(q, components + QStringLiteral(" order by b.BomEntry"), true);
    } else {
        QString sql = SubTablesSQL + QStringLiteral("select * into #QZ_MRP_OutputSupBom from (") + components + QStringLiteral(") as t\r");
        sql += QStringLiteral("insert #QZ_MRP_DemandRefItems (DmdIID, DmdItmID, DmdItmProps, DmdBomHook, DmdDate, SupBomType, SupBomID)\r");
        sql += QStringLiteral("select BomEntry, BomItmID, BomProps, BomRowHook, '%1', %2, %3 from #QZ_MRP_OutputSupBom with(nolock)\r")
                   .arg(yyyymmdd(ACall.DrawDate))
                   .arg(ACall.BomType)
                   .arg(QuoteSQL(ACall.BomID));
        sql += QStringLiteral("exec QZ_MRP_GetItemSubsForDemand\r");
        if (ACall.ItemSubs == 0)
            sql += FormatWriteBack(UsedSubsSQL, {QString::number(ARun.SchemeIID), ACall.SupIIDs});
        sql += QStringLiteral("select b.*, r.*, SubRProp1, SubRProp2, SubRProp3, SubRProp4, SubRProp5, SubRProp6, SubRProp7, "
                              "SubRProp8, SubRProp9, SubRProp10,")
            + QStringLiteral("SubReplace, SubQty, SubRQty, SubUntID=i.ItmInvUnitID, SubUntFactor=u.UntFactor,")
            + FormatWriteBack(SubSelectSQL, groups) + QStringLiteral(" from #QZ_MRP_OutputSupBom as b with(nolock)")
            + QStringLiteral(" left join (select DmdIID, SubRItmID, SubRProps from #QZ_MRP_ItemSubsForDemand with(nolock)")
            + QStringLiteral("\runion\rselect DmdIID, null, null from #QZ_MRP_ItemSubsForDemand with(nolock)) as r on b.BomEntry=r.DmdIID")
            + QStringLiteral(" left join #QZ_MRP_ItemSubsForDemand as s with(nolock) on b.BomEntry=s.DmdIID and r.SubRItmID=s.SubRItmID "
                             "and r.SubRProps=s.SubRProps")
            + QStringLiteral(" left join QZ_Base_ItemMaster as i with(nolock) on r.SubRItmID=i.ItmID left join QZ_Base_Unit as u "
                             "with(nolock) on i.ItmInvUnitID=u.UntID")
            + QStringLiteral(" left join QZ_MRP_ItemSetting as t with(nolock) on r.SubRItmID=t.ItmID order by b.BomEntry, "
                             "s.SubGlobal, s.SubPriority, r.SubRItmID, r.SubRProps\r")
            + QStringLiteral("drop table #QZ_MRP_DemandRefItems\rdrop table #QZ_MRP_ItemSubsForDemand\rdrop table #QZ_MRP_OutputSupBom");
        run(q, sql, true);
    }

    // 6., 7. The component rows and their substitutes.
    IRowListPtr list = ARun.Bill->Details(ACall.ListName);
    int n = 0;
    q->First();
    while (!q->Eof()) {
        ++n;
        const int entry = fieldInt(q, QStringLiteral("BomEntry"));
        const QString itemID = fieldText(q, QStringLiteral("BomItmID"));
        TSupplyBOMLine line;
        line.BomQty = fieldFloat(q, QStringLiteral("BomQty"));
        line.BomUQty = fieldFloat(q, QStringLiteral("BomUQty"));
        line.BomPercent = fieldFloat(q, QStringLiteral("BomPercent"), 100);
        line.BomBaseQty = fieldFloat(q, QStringLiteral("BomBaseQty"));
        line.BomPrdOkRate = fieldFloat(q, QStringLiteral("BomPrdOkRate"));
        line.BomFixed = fieldInt(q, QStringLiteral("BomFixed")) != 0;
        line.PutLossRate = fieldText(q, QStringLiteral("BomPutLossRate"));
        line.ItmDecimal = fieldInt(q, QStringLiteral("ItmDecimal"), 8);
        line.PutInteger = fieldInt(q, QStringLiteral("ItmPutInteger")) != 0;
        const TSupplyBOMQty qty = CalcSupplyBOMQty(line, ACall.Qty, ARun.BomQtyUseStdQty, itemID);
        // A line without a unit counts in the item's base unit.
        const double untFactor = fieldFloat(q, QStringLiteral("UntFactor"), 1);
        const QString rowHook = fieldText(q, QStringLiteral("BomRowHook"));
        const QVariant drawDate = OutputDateValue(ACall.DrawDate.addDays(fieldInt(q, QStringLiteral("BomOffsetDay"))));

        IValueListPtr row = list->Add();
        row->SetValue(QStringLiteral("Index"), entry);
        setItemValues(*row, q, QStringLiteral("BomItmID"), QStringLiteral("BomProps"), QStringLiteral("BomProp"));
        row->SetValue(QStringLiteral("OrigTag"), !ARec.SupOrigSubTag.isEmpty() ? ARec.SupOrigSubTag : ARec.SupOrigTag);
        row->SetValue(QStringLiteral("MRPGroupType"), fieldInt(q, QStringLiteral("SupGroupType")));
        row->SetValue(QStringLiteral("MRPGroupNo"), fieldText(q, QStringLiteral("SupGroupNo")));
        row->SetValue(QStringLiteral("UnitID"), fieldText(q, QStringLiteral("BomUntID")));
        row->SetValue(QStringLiteral("UnitRate"), untFactor);
        row->SetValue(QStringLiteral("UnitQtyBase"), line.BomBaseQty);
        row->SetValue(QStringLiteral("UnitQtyRate"), ACall.UnitRate);
        row->SetValue(QStringLiteral("QtyFixed"), line.BomFixed);
        row->SetValue(QStringLiteral("PrdOkRate"), line.BomPrdOkRate);
        row->SetValue(QStringLiteral("UnitQty"), qty.UnitQty);
        row->SetValue(QStringLiteral("NetQtyX"), qty.NetX);
        row->SetValue(QStringLiteral("LossQtyX"), qty.LossX);
        row->SetValue(QStringLiteral("LossRateX"), qty.LossRateX);
        row->SetValue(QStringLiteral("NetQty"), qty.Net);
        row->SetValue(QStringLiteral("LossQty"), qty.Loss);
        row->SetValue(QStringLiteral("LossRate"), qty.LossRate);
        row->SetValue(QStringLiteral("Qty"), qty.Qty);
        row->SetValue(QStringLiteral("BomHook"), rowHook);
        row->SetValue(QStringLiteral("DrawDate"), drawDate);
        row->SetValue(QStringLiteral("PutInteger"), line.PutInteger);
        row->SetValue(QStringLiteral("PutDecimal"), qty.Decimals);
        row->SetValue(QStringLiteral("Note"), fieldText(q, QStringLiteral("BomNote")));
        const QString subBomID = fieldText(q, QStringLiteral("SupBomID"));
        const int supBillType = fieldInt(q, QStringLiteral("SupBillType"));
        const bool skipped = supBillType == 44 || supBillType == 54;
        if (!subBomID.isEmpty() && (skipped || supBillType == 62 || supBillType == 64 || supBillType == 66)) {
            row->SetValue(QStringLiteral("SupBomSkip"), skipped ? 1 : 2);
            row->SetValue(QStringLiteral("SupBomType"), fieldInt(q, QStringLiteral("SupBomType")));
            row->SetValue(QStringLiteral("SupBomID"), subBomID);
            row->SetValue(QStringLiteral("SupBomBody"), ACall.ListName + u'/' + QString::number(n));
            row->SetValue(QStringLiteral("SupIID"), QString::number(fieldInt(q, QStringLiteral("SupIID"), -1)));
            row->SetValue(QStringLiteral("SupLeadTime"),
                          CalcVarLeadTime(fieldInt(q, QStringLiteral("ItmFixLeadTime")), fieldInt(q, QStringLiteral("ItmVarLeadTime")),
                                          fieldFloat(q, QStringLiteral("ItmVarLeadLot")), (qty.Net + qty.Loss) * untFactor));
        } else {
            row->SetValue(QStringLiteral("SupBomID"), QString());
        }
        row->SetValue(QStringLiteral("SupSubBody"), QString());
        q->Next();

        if (!withSubs)
            continue;
        IRowListPtr subs;
        for (; !q->Eof() && fieldInt(q, QStringLiteral("BomEntry")) == entry; q->Next()) {
            const QString subItem = fieldText(q, QStringLiteral("SubRItmID"));
            if (subItem.isEmpty())
                continue;
            if (!subs) {
                const QString name = ACall.ListName + u'/' + QString::number(n) + u'R';
                row->SetValue(QStringLiteral("SupSubBody"), name);
                subs = ARun.Bill->Details(name);
            }
            const double subQty = fieldFloat(q, QStringLiteral("SubQty"));
            const double subUntFactor = fieldFloat(q, QStringLiteral("SubUntFactor"), 1);
            if (subQty == 0 || subUntFactor == 0)
                throw Exception(QStringLiteral("物料%1的替代料%2的替代数量或单位换算率为0, 无法计算用料!").arg(itemID, subItem));
            const double ratio = fieldFloat(q, QStringLiteral("SubRQty")) * untFactor / subQty / subUntFactor;
            const bool subInteger = fieldInt(q, QStringLiteral("ItmPutInteger")) != 0;
            const TSupplyBOMQty s = CalcSupplyBOMSubQty(qty, ratio, subInteger);
            IValueListPtr sr = subs->Add();
            setItemValues(*sr, q, QStringLiteral("SubRItmID"), QStringLiteral("SubRProps"), QStringLiteral("SubRProp"));
            sr->SetValue(QStringLiteral("MRPGroupType"), fieldInt(q, QStringLiteral("SubGroupType")));
            sr->SetValue(QStringLiteral("MRPGroupNo"), fieldText(q, QStringLiteral("SubGroupNo")));
            sr->SetValue(QStringLiteral("UnitID"), fieldText(q, QStringLiteral("SubUntID")));
            sr->SetValue(QStringLiteral("UnitRate"), subUntFactor);
            sr->SetValue(QStringLiteral("UnitQtyBase"), line.BomBaseQty);
            sr->SetValue(QStringLiteral("UnitQtyRate"), ACall.UnitRate);
            sr->SetValue(QStringLiteral("UnitQty"), s.UnitQty);
            sr->SetValue(QStringLiteral("NetQtyX"), s.NetX);
            sr->SetValue(QStringLiteral("LossQtyX"), s.LossX);
            sr->SetValue(QStringLiteral("LossRateX"), qty.LossRateX);
            sr->SetValue(QStringLiteral("NetQty"), s.Net);
            sr->SetValue(QStringLiteral("LossQty"), s.Loss);
            sr->SetValue(QStringLiteral("LossRate"), qty.LossRate);
            sr->SetValue(QStringLiteral("Qty"), s.Qty);
            sr->SetValue(QStringLiteral("BomHook"), rowHook);
            sr->SetValue(QStringLiteral("DrawDate"), drawDate);
            sr->SetValue(QStringLiteral("SubQty"), subQty);
            sr->SetValue(QStringLiteral("SubRQty"), fieldFloat(q, QStringLiteral("SubRQty")));
            sr->SetValue(QStringLiteral("SubReplace"), fieldInt(q, QStringLiteral("SubReplace")) != 0);
        }
    }
    q->Close();

    // 8. The sub-assemblies, from what this level wrote into the bill.
    const int count = list->GetCount();
    for (int k = 0; k < count; ++k) {
        IValueListPtr row = list->GetRow(k);
        const QString bomID = row->GetValue(QStringLiteral("SupBomID")).toString();
        if (bomID.isEmpty())
            continue;
        TSupplyBOMCall sub;
        sub.ItemID = row->GetValue(QStringLiteral("ItemID")).toString();
        sub.BomType = row->GetValue(QStringLiteral("SupBomType")).toInt();
        sub.BomID = bomID;
        if (onChain(&chain, sub.ItemID, sub.BomType, sub.BomID))
            throw Exception(QStringLiteral("物料%1的物料清单%2包含了它自身(循环引用), 无法展开用料!").arg(sub.ItemID, sub.BomID));
        sub.SupIID = row->GetValue(QStringLiteral("SupIID")).toString();
        sub.ListName = row->GetValue(QStringLiteral("SupBomBody")).toString();
        sub.UnitRate = row->GetValue(QStringLiteral("UnitRate")).toDouble();
        sub.Qty = row->GetValue(QStringLiteral("Qty")).toDouble() * (ARun.BomQtyUseStdQty ? 1 : sub.UnitRate);
        sub.DrawDate = dateOfValue(row->GetValue(QStringLiteral("DrawDate"))).addDays(-row->GetValue(QStringLiteral("SupLeadTime")).toInt());
        sub.ItemSubs = ACall.ItemSubs;
        if (ACall.ItemSubs == 0 && !ACall.SupIIDs.isEmpty()) {
            run(q,
                QStringLiteral("select distinct SupIID from QZ_MRP_Demands with(nolock) left join QZ_MRP_Supplies with(nolock) on "
                               "DmdSchIID=SupSchIID and DmdIID=SupPDmdIID")
                    + QStringLiteral(" where DmdSchIID=%1 and DmdPSupIID in (%2) and DmdBillEntry=%3 and DmdItmID=%4")
                          .arg(ARun.SchemeIID)
                          .arg(ACall.SupIIDs)
                          .arg(row->GetValue(QStringLiteral("Index")).toInt())
                          .arg(QuoteSQL(sub.ItemID)),
                true);
            QStringList ids;
            for (q->First(); !q->Eof(); q->Next())
                if (TField* f = q->FindField(QStringLiteral("SupIID")); f && !f->IsNull())
                    ids << QString::number(f->AsLargeInt());
            q->Close();
            sub.SupIIDs = ids.join(u',');
        }
        loadLevel(ARun, ARec, sub, &chain);
    }
}

} // namespace

void LoadSupplyBOM(const TSupplyBOMRun& ARun, const TMRPOutputRec& ARec, const TSupplyBOMCall& ACall)
{
    loadLevel(ARun, ARec, ACall, nullptr);
}
