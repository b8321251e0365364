#include "untMRP.h"

#include "EscapeKey.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untInfoObjectDef.h"
#include "untMRPLevelSelects.h"
#include "untMRPUtils.h"

#include <QStringList>
#include <algorithm>
#include <memory>

using namespace untMRPUtils;
using untMRPLevelSelects::VariantToDateTime;

namespace {

QString Q(const QString& text) { return QuoteSQL(text); }

TDateTime FieldDate(TADOQuery* q, const char* name)
{
    return VariantToDateTime(q->FieldByName(QLatin1String(name))->Value());
}

int FieldInt(TADOQuery* q, const char* name)
{
    return q->FieldByName(QLatin1String(name))->AsInteger();
}

QString FieldStr(TADOQuery* q, const char* name)
{
    return q->FieldByName(QLatin1String(name))->AsString();
}

// The columns of the main demand from ManPeriod to ManHints, as the work
// table and QZ_MRP_Main hold them.
const QString kMainColumns = QStringLiteral(
    "ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, ManBillQty, ManSuppID, ManDeptID, "
    "ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, ManOrigItmID, ManOrigCustID, ManOrigCustPO, ManOrigTag, "
    "ManOrigSubTag, ManGroupType, ManGroupNo, ManDate, ManPriority, ManItmID, ManItmProps, ManItmProp1, ManItmProp2, "
    "ManItmProp3, ManItmProp4, ManItmProp5, ManItmProp6, ManItmProp7, ManItmProp8, ManItmProp9, ManItmProp10, "
    "ManBomType, ManBomID, ManExeQty, ManDedQty, ManNeedQty, ManAdjQty, ManQty, ManNote");

QString Prefixed(const QString& columns, const QString& alias)
{
    QStringList parts = columns.split(QStringLiteral(", "));
    for (QString& p : parts)
        p = alias + u'.' + p;
    return parts.join(QStringLiteral(", "));
}

// "select ..." of a stored main demand into #QZ_MRP_Main with the hints cleared.
QString CopyMainWithoutHintsSQL(int schemeIID, const QString& extraWhere)
{
    return QStringLiteral("insert #QZ_MRP_Main (") + kMainColumns + QStringLiteral(", ManHints)\rselect ") + kMainColumns +
           QStringLiteral(", null from QZ_MRP_Main with(nolock) where ManSchIID=%1").arg(schemeIID) + extraWhere +
           QStringLiteral(" order by ManIID");
}

QString InsertMainFromWorkTableSQL(int schemeIID)
{
    return QStringLiteral("insert QZ_MRP_Main (ManSchIID, ManIID, ") + kMainColumns +
           QStringLiteral(", ManHints)\rselect %1, ManIID, ").arg(schemeIID) + kMainColumns +
           QStringLiteral(", ManHints from #QZ_MRP_Main");
}

QString ServerTimeText(TDateTime t)
{
    return DateTimeToSQLStr(t);
}

} // namespace

// ---- TMRPSelectCache -----------------------------------------------------

QString TMRPSelectCache::Find(int loginTick, const QString& key)
{
    if (loginTick != FLoginTick) {
        FItems.clear();
        FLoginTick = loginTick;
        return QString();
    }
    return FItems.value(key);
}

void TMRPSelectCache::Store(int loginTick, const QString& key, const QString& text)
{
    if (loginTick != FLoginTick) {
        FItems.clear();
        FLoginTick = loginTick;
    }
    FItems.insert(key, text);
}

// ---- TPlanScheme ---------------------------------------------------------

TPlanScheme::TPlanScheme(TADOConnection* AADOConn) : FPublicQuery(new TADOQuery(nullptr))
{
    FPublicQuery->SetConnection(AADOConn);
    SetupADOQuery(FPublicQuery);
}

TPlanScheme::~TPlanScheme()
{
    delete FPublicQuery;
}

TADOConnection* TPlanScheme::Connection() const
{
    return FPublicQuery->Connection();
}

TADOQuery* TPlanScheme::NewSchemeQuery() const
{
    auto* q = new TADOQuery(nullptr);
    q->SetConnection(FPublicQuery->Connection());
    SetupADOQuery(q);
    return q;
}

bool TPlanScheme::Load(int ASchemeIID)
{
    const QString sql = QStringLiteral("select *, UsrName from QZ_MRP_Schemes with(nolock) left join QZ_SYS_Users with(nolock) "
                                       "on SchUsrID=UsrID where SchIID=%1 and SchType=%2")
                            .arg(ASchemeIID)
                            .arg(PlanType);
    if (!ExecSQLText(FPublicQuery, sql, true, false, true) || FPublicQuery->Eof())
        return false;
    TADOQuery* q = FPublicQuery;
    SchemeIID = ASchemeIID;
    SchemeName = FieldStr(q, "SchName");
    PlanCalIID = FieldInt(q, "SchCalIID");
    TextToPlanPeriods(FieldStr(q, "SchPeriods"), PlanPeriods);
    PlanSource = FieldInt(q, "SchMpsSource");
    PlanNeedScope = FieldInt(q, "SchNeedScope");
    CareItemSafety = FieldInt(q, "SchCareSafety");
    CareItemReplace = FieldInt(q, "SchCareReplace");
    CareItemSuites = FieldInt(q, "SchCareSuites");
    CareMRPTrackMode = FieldInt(q, "SchTrackMode");
    CareItemMRPTrack = q->FieldByName(QStringLiteral("SchItemTrack"))->AsBoolean();
    CareItemLossRate = q->FieldByName(QStringLiteral("SchCareLoss"))->AsBoolean();
    CareItemLotRule = q->FieldByName(QStringLiteral("SchCareLot"))->AsBoolean();
    DataFilters = FieldStr(q, "SchFilters");
    PlanState = FieldInt(q, "SchState");
    Creater = FieldStr(q, "UsrName");
    FOwnerID = FieldStr(q, "SchUsrID");
    CreateTime = FieldDate(q, "SchNewTime");
    UpdateTime = FieldDate(q, "SchUpdTime");
    MpsCalIID = FieldInt(q, "SchMpsCalIID");
    TextToPlanPeriods(FieldStr(q, "SchMpsPeriods"), MpsPeriods);
    MpsRunTime = FieldDate(q, "SchMpsRunTime");
    MpsUpdTime = FieldDate(q, "SchMpsUpdTime");
    MrpCalIID = FieldInt(q, "SchMrpCalIID");
    TextToPlanPeriods(FieldStr(q, "SchMrpPeriods"), MrpPeriods);
    MrpRunTime = FieldDate(q, "SchMrpRunTime");
    MrpUpdTime = FieldDate(q, "SchMrpUpdTime");
    ReleaseTime = FieldDate(q, "SchRelTime");
    FPublicQuery->Close();
    return true;
}

bool TPlanScheme::LoadState()
{
    const QString sql = QStringLiteral("select SchState, SchNewTime, SchUpdTime, SchMpsRunTime, SchMpsUpdTime, SchMrpRunTime, "
                                       "SchMrpUpdTime, SchRelTime from QZ_MRP_Schemes with(nolock) where SchIID=%1 and SchType=%2")
                            .arg(SchemeIID)
                            .arg(PlanType);
    if (!ExecSQLText(FPublicQuery, sql, true, false, true) || FPublicQuery->Eof())
        return false;
    TADOQuery* q = FPublicQuery;
    PlanState = FieldInt(q, "SchState");
    CreateTime = FieldDate(q, "SchNewTime");
    UpdateTime = FieldDate(q, "SchUpdTime");
    MpsRunTime = FieldDate(q, "SchMpsRunTime");
    MpsUpdTime = FieldDate(q, "SchMpsUpdTime");
    MrpRunTime = FieldDate(q, "SchMrpRunTime");
    MrpUpdTime = FieldDate(q, "SchMrpUpdTime");
    ReleaseTime = FieldDate(q, "SchRelTime");
    FPublicQuery->Close();
    return true;
}

bool TPlanScheme::CheckState()
{
    const int remembered = PlanState;
    if (LoadState() && PlanState == remembered)
        return true;
    ShowError(untMRPUtils::FormatMessage(untMRPDataTypes::SSchemeStateChanged(), {SchemeName}));
    return false;
}

namespace {
QString N(qlonglong value)
{
    return QString::number(value);
}
} // namespace

bool TPlanScheme::Save()
{
    QString sql = QStringLiteral("declare @iid int, @time datetime, @err int, @cnt int\rselect @time=getdate()\r");
    const QString periods = Q(PlanPeriodsToText(PlanPeriods));
    if (SchemeIID != 0) {
        sql += QStringLiteral("select @iid=%1\rupdate QZ_MRP_Schemes set SchType=%2, SchName=%3, SchCalIID=%4, SchPeriods=%5, "
                              "SchMpsSource=%6, SchNeedScope=%7, SchCareSafety=%8, SchCareReplace=%9,SchCareSuites=%10, "
                              "SchTrackMode=%11, SchItemTrack=%12, SchCareLoss=%13, SchCareLot=%14, SchFilters=%15, "
                              "SchState=%16, SchUpdTime=@time, SchMaxTime=getdate() where SchIID=@iid")
                   // one pass: "%" in the name or the filters is never taken for a placeholder
                   .arg(N(SchemeIID), N(PlanType), Q(SchemeName), N(PlanCalIID), periods, N(PlanSource), N(PlanNeedScope),
                        N(CareItemSafety), N(CareItemReplace), N(CareItemSuites), N(CareMRPTrackMode), N(int(CareItemMRPTrack)),
                        N(int(CareItemLossRate)), N(int(CareItemLotRule)), Q(DataFilters), N(PlanState));
    } else {
        // A new row belongs to the user who saves it: after Load, Creater
        // holds the former owner's name, which is no user ID.
        const QString owner = InfoApplication && !InfoApplication->LoginInfo.UserID.isEmpty()
                                  ? InfoApplication->LoginInfo.UserID
                                  : Creater;
        sql += QStringLiteral("insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, "
                              "SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack,SchCareLoss, SchCareLot, "
                              "SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime, SchMaxTime) values (%1, %2, %3, %4, %5, %6, %7, "
                              "%8, %9, %10, %11, %12, %13, %14, %15, %16, @time, @time, @time)\rselect @iid=@@identity")
                   .arg(N(PlanType), Q(SchemeName), N(PlanCalIID), periods, N(PlanSource), N(PlanNeedScope),
                        N(CareItemSafety), N(CareItemReplace), N(CareItemSuites), N(CareMRPTrackMode), N(int(CareItemMRPTrack)),
                        N(int(CareItemLossRate)), N(int(CareItemLotRule)), Q(DataFilters), Q(owner), N(PlanState));
    }
    // The count of rows written tells a saved row from one deleted meanwhile.
    sql += QStringLiteral("\rselect @err=@@error, @cnt=@@rowcount\rif @err<>0\rreturn\r");
    sql += QStringLiteral("select [IID]=@iid, [Time]=@time, [Cnt]=@cnt");
    if (!ExecSQLText(FPublicQuery, sql, true, false, true) || FPublicQuery->Eof())
        return false;
    const int count = FieldInt(FPublicQuery, "Cnt");
    const int iid = FieldInt(FPublicQuery, "IID");
    const TDateTime time = FieldDate(FPublicQuery, "Time");
    FPublicQuery->Close();
    if (count < 1 || iid == 0) {
        ShowError(QStringLiteral("计划方案[%1]已被删除, 不能保存!").arg(SchemeName));
        return false;
    }
    if (SchemeIID != 0)
        UpdateTime = time;
    else {
        SchemeIID = iid;
        CreateTime = time;
    }
    return true;
}

QString TPlanScheme::GetPlanStateText() const
{
    if (SchemeIID == 0)
        return QString();
    return untMRPDataTypes::PlanStateText(PlanState);
}

bool TPlanScheme::ReadServerTime(TDateTime& ATime)
{
    if (!ExecSQLText(FPublicQuery, QStringLiteral("select RunTime=getdate()"), true, false, true) || FPublicQuery->Eof())
        return false;
    ATime = FieldDate(FPublicQuery, "RunTime");
    FPublicQuery->Close();
    return true;
}

bool TPlanScheme::StoreMainDemand(const QString& ABatch)
{
    TADOConnection* conn = Connection();
    // a failure shows the database's own reason (a read-only account set, a full disk)
    try {
        kvado::ScopedTransaction tran(conn);
        if (!ExecSQLText(FPublicQuery, ABatch, false, false, true))
            return false; // rolled back by the scope
        tran.Commit();
        return true;
    } catch (const Exception& e) {
        ShowADOError(e, conn);
        return false;
    }
}

bool TPlanScheme::RunMPS(bool AKeepFreeNeeds, bool AKeepAdjusts)
{
    kvos::startEscapeKeyWatch(); // only an Esc pressed during the build counts
    TDateTime runTime = 0;
    if (!ReadServerTime(runTime))
        return false;
    bool ok = false;
    try {
        CreateMainTempTable(FPublicQuery);
        auto run = [this](const QString& sql) {
            if (!ExecSQLText(FPublicQuery, sql, false, false, true))
                throw EAbort();
        };
        // Kept free needs enter the empty work table first, in the order of
        // their stored identities: the n-th stored one becomes row n.
        std::map<int, int> freeIIDMap;
        if (AKeepFreeNeeds) {
            run(QStringLiteral("insert #QZ_MRP_Main (") + kMainColumns + QStringLiteral(", ManHints)\rselect ") + kMainColumns +
                QStringLiteral(", null from QZ_MRP_Main with(nolock) where ManSchIID=%1 and ManBillType=%2 order by ManIID")
                    .arg(SchemeIID)
                    .arg(12));
            std::unique_ptr<TADOQuery> read(NewSchemeQuery());
            ExecSQLText(read.get(),
                        QStringLiteral("select ManIID from QZ_MRP_Main with(nolock) where ManSchIID=%1 and ManBillType=12 "
                                       "order by ManIID")
                            .arg(SchemeIID),
                        true, true, false);
            for (int row = 1; !read->Eof(); read->Next(), ++row)
                freeIIDMap[read->Fields()->Field(0)->AsInteger()] = row;
        }
        const QString horizonEnd = DayToDateStr(DateToDay(GetPlanEndDate(PlanPeriods)) + 1);
        struct TSource {
            const char* prefix;
            const char* objectID;
            int billType;
            int priority;
        };
        QList<TSource> sources;
        if (PlanSource == 0 || PlanSource == 1) {
            sources.append({"SO", "QZ_MRP.SO", 2, 2});
            sources.append({"SI", "QZ_MRP.SI", 4, 2});
        }
        if (PlanSource == 0 || PlanSource == 2)
            sources.append({"For", "QZ_MRP.Forcast", 8, 1});
        for (const TSource& src : sources) {
            const QString X = QLatin1String(src.prefix);
            const QString objectID = QLatin1String(src.objectID);
            const QString filterCode = ReadSchemeFilter(DataFilters, u'[' + objectID + u']');
            const QString ded = QStringLiteral("isnull(x.%1DedAQty,0)+isnull(x.%1DedMQty,0)").arg(X);
            const QString idPart = QStringLiteral("s.%1ID, s.%1No, s.%1Entry").arg(X);
            QString select = BuildPeriodCaseSQL(PlanPeriods, QStringLiteral("s.%1DelivDate").arg(X));
            select += QStringLiteral(", %1, %2, s.%3Date, s.%3BillQty, s.%3DeptID, null, %1, %2, s.%3ItmID, s.%3CustID, "
                                     "s.%3CustPO, $$OrigTag$$, $$OrigSubTag$$, isnull($$MRPGroupType$$, 0), "
                                     "isnull($$MRPGroupNo$$, ''),")
                          .arg(src.billType)
                          .arg(idPart, X);
            select += QStringLiteral("s.%1ItmID, isnull($$ItmProps$$, ''), $$ItmProp1$$, $$ItmProp2$$, $$ItmProp3$$, "
                                     "$$ItmProp4$$, $$ItmProp5$$, $$ItmProp6$$, $$ItmProp7$$, $$ItmProp8$$, $$ItmProp9$$, "
                                     "$$ItmProp10$$,")
                          .arg(X);
            QString filter;
            if (src.billType == 8) {
                const QString rest = QStringLiteral("s.ForQty-") + ded.left(ded.indexOf(u'+')) + u'-' +
                                     ded.mid(ded.indexOf(u'+') + 1);
                select += QStringLiteral("s.ForDelivDate, 1, s.ForBomType, s.ForBomID, s.ForOkQty, %1, %2,%2, "
                                         "left(isnull(s.ForNote,'')+'  '+isnull(s.ForRemark,''), 500)")
                              .arg(ded, rest);
                filter = QStringLiteral("s.CanMRP<>0 and s.ForDate<'%1' and s.ForQty>%2 and (mt.ItmMrpSkip=0 or "
                                        "mt.ItmMrpSkip is null)")
                             .arg(horizonEnd, ded);
            } else {
                select += QStringLiteral("s.%1DelivDate, %2, s.%1BomType, s.%1BomID, s.%1OkQty, %3, s.%1Qty, s.%1Qty, "
                                         "left(isnull(s.%1Note,'')+'  '+isnull(s.%1Remark,''), 500)")
                              .arg(X)
                              .arg(src.priority)
                              .arg(ded);
                filter = QStringLiteral("s.CanMRP<>0 and s.%1Date<'%2' and s.%1Qty>0 and (mt.ItmMrpSkip=0 or "
                                        "mt.ItmMrpSkip is null)")
                             .arg(X, horizonEnd);
            }
            const QString selectSQL = BuildInfoObjectFilterSQL(objectID, select, filter, filterCode);
            if (selectSQL.isEmpty())
                throw EAbort();
            run(QStringLiteral("insert #QZ_MRP_Main (ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, "
                               "ManBillQty, ManDeptID, ManSuppID,ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, "
                               "ManOrigItmID, ManOrigCustID, ManOrigCustPO, ManOrigTag, ManOrigSubTag, ManGroupType, "
                               "ManGroupNo,ManItmID, ManItmProps, ManItmProp1, ManItmProp2, ManItmProp3, ManItmProp4, "
                               "ManItmProp5, ManItmProp6, ManItmProp7, ManItmProp8, ManItmProp9, ManItmProp10,ManDate, "
                               "ManPriority, ManBomType, ManBomID, ManExeQty, ManDedQty, ManNeedQty, ManQty, ManNote)\r") +
                selectSQL);
        }
        if ((AKeepFreeNeeds || AKeepAdjusts) && PlanState != psWaitMainDemand) {
            // Bill rows meet their stored rows by bill; a row without a bill
            // ID (a free need) is never matched on it.
            const QString join = QStringLiteral(" join QZ_MRP_Main as r with(nolock) on r.ManSchIID=%1 and "
                                                "m.ManBillType=r.ManBillType and m.ManBillID=r.ManBillID and "
                                                "m.ManBillEntry=r.ManBillEntry and m.ManBillType<>12 and "
                                                "isnull(m.ManBillID,'')<>''")
                                     .arg(SchemeIID);
            const QString hintsUpdate = QStringLiteral("update #QZ_MRP_Main set ManHints=%s where ManIID=%d");
            std::unique_ptr<TADOQuery> read(NewSchemeQuery());
            if (AKeepAdjusts) {
                run(QStringLiteral("update m set ManAdjQty=r.ManAdjQty, ManQty=m.ManQty+r.ManAdjQty from #QZ_MRP_Main as m") +
                    join + QStringLiteral(" where r.ManAdjQty<>0"));
                MergeQtyHints(*this,
                              QStringLiteral("select IID=m.ManIID, QtySum=m.ManQty, QtyHints=r.ManHints from #QZ_MRP_Main as m") +
                                  join + QStringLiteral(" where r.ManHints<>''"),
                              hintsUpdate, FPublicQuery, read.get(), MpsPeriods, PlanPeriods);
            }
            // Each kept free need takes the spread of the row it was made from.
            if (AKeepFreeNeeds)
                MergeQtyHints(*this,
                              QStringLiteral("select IID=ManIID, QtySum=ManQty, QtyHints=ManHints from QZ_MRP_Main with(nolock) "
                                             "where ManSchIID=%1 and ManBillType=12 and ManHints<>''")
                                  .arg(SchemeIID),
                              hintsUpdate, FPublicQuery, read.get(), MpsPeriods, PlanPeriods, &freeIIDMap);
        }
        const bool keep = AKeepFreeNeeds || AKeepAdjusts;
        const QString batch =
            QStringLiteral("delete QZ_MRP_Main where ManSchIID=%1\rif @@error<>0\rreturn\rupdate QZ_MRP_Schemes set "
                           "SchState=(case when SchMrpRunTime is null then %2 else %3 end), SchMpsCalIID=%4, "
                           "SchMpsPeriods=%5,SchMpsRunTime='%6', SchMpsUpdTime=%7, SchMaxTime=getdate() where SchIID=%1\r"
                           "if @@error<>0\rreturn\r")
                .arg(SchemeIID)
                .arg(int(psMainDemandReady))
                .arg(int(psMainDemandChanged))
                .arg(PlanCalIID)
                .arg(Q(PlanPeriodsToText(PlanPeriods)), ServerTimeText(runTime),
                     keep ? QStringLiteral("SchMpsUpdTime") : QStringLiteral("null")) +
            InsertMainFromWorkTableSQL(SchemeIID);
        ok = StoreMainDemand(batch);
    } catch (const Exception& e) {
        ShowADOError(e, FPublicQuery); // an abort was shown where it happened
        ok = false;
    }
    ExecSQLText(FPublicQuery, QStringLiteral("if object_id('tempdb..#QZ_MRP_Main') is not null\rdrop table #QZ_MRP_Main"), false,
                false, false);
    return ok;
}

bool TPlanScheme::CopyMPS(int ASrcSchemeIID, TMPSOverwriteType AOverwriteType, bool ACopyPeriods)
{
    const QString readSource = QStringLiteral("select SchMpsCalIID, SchMpsPeriods, SchMpsRunTime, SchMpsUpdTime from "
                                              "QZ_MRP_Schemes where SchIID=%1")
                                   .arg(ASrcSchemeIID);
    if (!ExecSQLText(FPublicQuery, readSource, true, false, true) || FPublicQuery->Eof())
        return false;
    const int srcCalIID = FieldInt(FPublicQuery, "SchMpsCalIID");
    const QString srcPeriodsText = FieldStr(FPublicQuery, "SchMpsPeriods");
    // A time never set stays null instead of becoming 1899-12-30.
    auto timeText = [this](const char* name) {
        TField* f = FPublicQuery->FieldByName(QLatin1String(name));
        return f->IsNull() ? QStringLiteral("null") : u'\'' + DateTimeToSQLStr(VariantToDateTime(f->Value())) + u'\'';
    };
    const QString srcRunTime = timeText("SchMpsRunTime");
    const QString srcUpdTime = timeText("SchMpsUpdTime");
    FPublicQuery->Close();

    const QString deleteAndState = QStringLiteral("delete QZ_MRP_Main where ManSchIID=%1\rif @@error<>0\rreturn\r").arg(SchemeIID);
    if (AOverwriteType == wtOverwriteAll && ACopyPeriods) {
        const QString batch =
            deleteAndState +
            QStringLiteral("update QZ_MRP_Schemes set SchState=(case when SchMrpRunTime is null then %2 else %3 end), "
                           "SchCalIID=%4, SchPeriods=%5, SchMpsCalIID=%4, SchMpsPeriods=%5,SchMpsRunTime=%6, "
                           "SchMpsUpdTime=%7, SchMaxTime=getdate() where SchIID=%1\rif @@error<>0\rreturn\r")
                .arg(SchemeIID)
                .arg(int(psMainDemandReady))
                .arg(int(psMainDemandChanged))
                .arg(srcCalIID)
                .arg(Q(srcPeriodsText), srcRunTime, srcUpdTime) +
            QStringLiteral("insert QZ_MRP_Main (ManSchIID, ManIID, ") + kMainColumns +
            QStringLiteral(", ManHints)\rselect %1, ManIID, ").arg(SchemeIID) + kMainColumns +
            QStringLiteral(", ManHints from QZ_MRP_Main with(nolock) where ManSchIID=%1").arg(ASrcSchemeIID);
        return StoreMainDemand(batch);
    }

    bool ok = false;
    try {
        CreateMainTempTable(FPublicQuery);
        auto run = [this](const QString& sql) {
            if (!ExecSQLText(FPublicQuery, sql, false, false, true))
                throw EAbort();
        };
        run(CopyMainWithoutHintsSQL(ASrcSchemeIID, QString()));
        // The copied rows get new identities in the order of the source's:
        // the hints of a source row go to the row made from it.
        std::map<int, int> iidMap;
        {
            std::unique_ptr<TADOQuery> read(NewSchemeQuery());
            QList<int> source, copied;
            ExecSQLText(read.get(),
                        QStringLiteral("select ManIID from QZ_MRP_Main with(nolock) where ManSchIID=%1 order by ManIID")
                            .arg(ASrcSchemeIID),
                        true, true, true);
            for (; !read->Eof(); read->Next())
                source.append(read->Fields()->Field(0)->AsInteger());
            ExecSQLText(read.get(), QStringLiteral("select ManIID from #QZ_MRP_Main order by ManIID"), true, true, true);
            for (; !read->Eof(); read->Next())
                copied.append(read->Fields()->Field(0)->AsInteger());
            for (int i = 0; i < std::min(source.size(), copied.size()); ++i)
                iidMap[source[i]] = copied[i];
        }
        TPlanPeriods srcPeriods;
        TextToPlanPeriods(srcPeriodsText, srcPeriods);
        std::unique_ptr<TADOQuery> read(NewSchemeQuery());
        MergeQtyHints(*this,
                      QStringLiteral("select IID=ManIID, QtySum=ManQty, QtyHints=ManHints from QZ_MRP_Main with(nolock) "
                                     "where ManSchIID=%1 and ManHints<>''")
                          .arg(ASrcSchemeIID),
                      QStringLiteral("update #QZ_MRP_Main set ManHints=%s where ManIID=%d"), FPublicQuery, read.get(),
                      srcPeriods, PlanPeriods, &iidMap);
        if (AOverwriteType == wtInsertOrUpdate)
            run(QStringLiteral("insert #QZ_MRP_Main (") + kMainColumns + QStringLiteral(", ManHints)\rselect ") +
                Prefixed(kMainColumns, QStringLiteral("m")) +
                // A free need has no bill ID: it is matched by number, line,
                // item and properties, never on the empty ID.
                QStringLiteral(", m.ManHints from QZ_MRP_Main as m with(nolock) left join #QZ_MRP_Main as s with(nolock) on "
                               "m.ManBillType=s.ManBillType and m.ManBillEntry=s.ManBillEntry and ((m.ManBillType<>12 and "
                               "isnull(m.ManBillID,'')<>'' and m.ManBillID=s.ManBillID) or (m.ManBillType=12 and "
                               "isnull(m.ManBillNo,'')=isnull(s.ManBillNo,'') and m.ManItmID=s.ManItmID and "
                               "m.ManItmProps=s.ManItmProps)) where m.ManSchIID=%1 and s.ManIID is null")
                    .arg(SchemeIID));
        const QString batch =
            deleteAndState +
            QStringLiteral("update QZ_MRP_Schemes set SchState=(case when SchMrpRunTime is null then %2 else %3 end), "
                           "SchMpsRunTime=%4, SchMpsUpdTime=%5, SchMaxTime=getdate() where SchIID=%1\rif @@error<>0\r"
                           "return\r")
                .arg(SchemeIID)
                .arg(int(psMainDemandReady))
                .arg(int(psMainDemandChanged))
                .arg(srcRunTime, srcUpdTime) +
            InsertMainFromWorkTableSQL(SchemeIID);
        ok = StoreMainDemand(batch);
    } catch (const Exception& e) {
        if (!dynamic_cast<const EAbort*>(&e))
            ShowADOError(e, FPublicQuery);
        ok = false;
    }
    ExecSQLText(FPublicQuery, QStringLiteral("if object_id('tempdb..#QZ_MRP_Main') is not null\rdrop table #QZ_MRP_Main"), false,
                false, false);
    return ok;
}

// ---- Calendar ------------------------------------------------------------

bool LoadCalendarHolidays(int ACalIID, TInt64DynArray& AHolidays, TADOQuery* AQuery, TDateTime AFirstDate)
{
    AHolidays.clear();
    if (!ExecSQLText(AQuery, BuildCalendarHolidaysSQL(ACalIID, AFirstDate), true, false, false))
        return false;
    AHolidays.reserve(std::max(0, AQuery->RecordCount()));
    for (; !AQuery->Eof(); AQuery->Next())
        AHolidays.push_back(DateToDay(VariantToDateTime(AQuery->Fields()->Field(0)->Value())));
    AQuery->Close();
    return true;
}
