// The main demand of a plan scheme: its work table, RunMPS (from forecasts,
// sales orders and stock-in bills), CopyMPS and MergeQtyHints.
#include "untMRP.h"

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

// Sets the value of a key in a name=value list separated by CR LF: in place
// when present, appended otherwise.
void SetHintValue(QStringList& lines, const QString& key, double value)
{
    const QString prefix = key + u'=';
    for (QString& line : lines)
        if (line.startsWith(prefix, Qt::CaseInsensitive)) {
            line = prefix + FloatToText(value);
            return;
        }
    lines.append(prefix + FloatToText(value));
}

double HintValue(const QStringList& lines, const QString& key)
{
    const QString prefix = key + u'=';
    for (const QString& line : lines)
        if (line.startsWith(prefix, Qt::CaseInsensitive)) {
            bool ok = false;
            const double v = TextToFloat(line.mid(prefix.size()), &ok);
            return ok ? v : 0;
        }
    return 0;
}

} // namespace

// ---- Main demand ---------------------------------------------------------

void CreateMainTempTable(TADOQuery* AQuery)
{
    QString sql = QStringLiteral(
        "if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_MRP_Main'))\rdrop table #QZ_MRP_Main\r"
        "create table #QZ_MRP_Main (ManIID int identity(1,1) not null primary key clustered, ManPeriod smallint not null, "
        "ManBillType tinyint not null, ManBillID nvarchar(50) null, ManBillNo nvarchar(80) null, ManBillEntry int null, "
        "ManBillDate datetime null, ManBillQty decimal(28,8) null, ManSuppID nvarchar(50) null, ManDeptID nvarchar(50) null, "
        "ManOrigType tinyint null, ManOrigID nvarchar(50) null, ManOrigNo nvarchar(80) null, ManOrigEntry int null, "
        "ManOrigItmID nvarchar(50) null, ManOrigCustID nvarchar(50) null, ManOrigCustPO nvarchar(80) null, "
        "ManOrigTag nvarchar(80) null, ManOrigSubTag nvarchar(80) null, ManGroupType tinyint not null default(0), "
        "ManGroupNo nvarchar(100) not null default(''), ManDate datetime not null, ManPriority int null default(0), "
        "ManItmID nvarchar(50) not null, ManItmProps nvarchar(100) not null default(''), ");
    for (int i = 1; i <= 10; ++i)
        sql += QStringLiteral("ManItmProp%1 nvarchar(80) null, ").arg(i);
    sql += QStringLiteral(
        "ManBomType tinyint not null default(0), ManBomID nvarchar(50) null, ManExeQty decimal(28,8) null, "
        "ManDedQty decimal(28,8) null, ManNeedQty decimal(28,8) null, ManAdjQty decimal(28,8) null, "
        "ManQty decimal(28,8) not null, ManNote nvarchar(500) null, ManHints varchar(max) null)\r"
        "create index #QZ_MRP_ManBillType on #QZ_MRP_Main (ManBillType, ManBillID, ManBillEntry)");
    ExecSQLText(AQuery, sql, false, true, false);
}

QString MergeHintsText(const QString& AOldHints, double AQtySum, const TPlanPeriods& AOldPeriods,
                       const TPlanPeriods& ANewPeriods)
{
    double r = AQtySum;
    QStringList result;
    int firstIndex = -1;
    if (r > 0) {
        QStringList lines = AOldHints.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        lines.sort();
        for (int i = lines.size() - 1; i >= 0 && r > 0; --i) {
            const QString& line = lines[i];
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0)
                continue;
            const int oldIndex = PeriodKeyToIndex(line.left(eq).trimmed());
            if (oldIndex < 0 || oldIndex >= int(AOldPeriods.size()))
                continue;
            bool ok = false;
            double v = TextToFloat(line.mid(eq + 1), &ok);
            if (!ok || v <= 0)
                continue;
            v = std::min(v, r);
            const int newIndex = FindPlanPeriodIndex(ANewPeriods, AOldPeriods[oldIndex].DateBegin);
            if (newIndex < 0)
                continue;
            const QString key = PeriodKey(newIndex);
            SetHintValue(result, key, HintValue(result, key) + v);
            if (firstIndex < 0)
                firstIndex = newIndex;
            r -= v;
        }
    }
    if (!result.isEmpty() && r > 0 && firstIndex >= 0) {
        const QString key = PeriodKey(firstIndex);
        SetHintValue(result, key, HintValue(result, key) + r);
    }
    return result.isEmpty() ? QString() : result.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

void MergeQtyHints(const TPlanScheme& /*AScheme*/, const QString& ASelectSQL, const QString& AUpdateFormat,
                   TADOQuery* AWriteQuery, TADOQuery* AReadQuery, const TPlanPeriods& AOldPeriods,
                   const TPlanPeriods& ANewPeriods, const std::map<int, int>* AIIDMap)
{
    ExecSQLText(AReadQuery, ASelectSQL, true, true, false);
    TMRPSQLBatch batch([AWriteQuery](const QString& text) { ExecSQLText(AWriteQuery, text, false, true, false); });
    for (; !AReadQuery->Eof(); AReadQuery->Next()) {
        int iid = AReadQuery->FieldByName(QStringLiteral("IID"))->AsInteger();
        if (AIIDMap) {
            const auto it = AIIDMap->find(iid);
            if (it == AIIDMap->end())
                continue;
            iid = it->second;
        }
        const QString hints = MergeHintsText(AReadQuery->FieldByName(QStringLiteral("QtyHints"))->AsString(),
                                             AReadQuery->FieldByName(QStringLiteral("QtySum"))->AsFloat(), AOldPeriods,
                                             ANewPeriods);
        QString stmt = AUpdateFormat;
        stmt.replace(QStringLiteral("%s"), QuoteSQL(hints));
        stmt.replace(QStringLiteral("%d"), QString::number(iid));
        batch.Add(stmt + QStringLiteral("\rif @@error<>0\rreturn\r"));
    }
    AReadQuery->Close();
    batch.Flush();
}
