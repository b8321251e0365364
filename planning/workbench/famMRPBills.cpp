#include "famMRPBills.h"

#include "DataSetSource.h"
#include "DisplayFormat.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untCommonUI.h"
#include "untMRP.h"
#include "untMRPCalendar.h"
#include "untMRPUtils.h"
#include "untMRPViewUtils.h"

#include <QApplication>
#include <QDate>
#include <QVBoxLayout>

namespace {

// Bill types of the rows (the database value list "MrpBillType").
constexpr int btInventory = 16;
constexpr int btSupplyTypes[] = {22, 24, 26, 28, 34, 36, 38};
constexpr int btMainDemandTypes[] = {2, 4, 8, 12, 92, 94, 96};
constexpr int btSafetyStock = 74;
constexpr int btNegativeStock = 72;
// Planned supplies and the types after them are listed even without quantity.
constexpr int btPlannedFrom = 42;

const QString QtyFormat = QStringLiteral("###,###,###,##0.########");

QString propsNull(const QString& type)
{
    QString text;
    for (int i = 1; i <= 10; ++i)
        text += QStringLiteral("RItmProp%1=cast(null as %2), ").arg(i).arg(type);
    return text;
}

QString propColumns(const QString& prefix)
{
    QString text;
    for (int i = 1; i <= 10; ++i)
        text += QStringLiteral(", %1%2").arg(prefix).arg(i);
    return text;
}

// The seven allotted-quantity columns of a quantity, by the supply's bill type.
QString allottedColumns(const QString& qty)
{
    return QStringLiteral("InvQty=(case when SupBillType=%2:d then ") + qty
        + QStringLiteral(" else null end),MOQty=(case when SupBillType=%3:d then ") + qty
        + QStringLiteral(" else null end), OOQty=(case when SupBillType=%4:d then ") + qty
        + QStringLiteral(" else null end),POQty=(case when SupBillType in (%5:d, %6:d) then ") + qty
        + QStringLiteral(" else null end), MRQty=(case when SupBillType=%7:d then ") + qty
        + QStringLiteral(" else null end),ORQty=(case when SupBillType=%8:d then ") + qty
        + QStringLiteral(" else null end), PRQty=(case when SupBillType=%9:d then ") + qty + QStringLiteral(" else null end),");
}

// A period hint of one allotment: its period's code, "=" and the quantity.
// The quantity text is wide enough for every decimal(28,8) (twenty integer
// digits, the point and eight decimals), so large quantities never overflow it.
QString allotHint(const QString& qty)
{
    return QStringLiteral("substring('%27:s',AltPeriod*2+1,2)+'='+cast(") + qty + QStringLiteral(" as varchar(40))");
}

bool isSQLTextLiteral(const QString& text)
{
    if (text.size() < 2 || !text.startsWith(u'\'') || !text.endsWith(u'\''))
        return false;
    // Inside the quotes every quote must be doubled.
    const QString inner = text.mid(1, text.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i)
        if (inner[i] == u'\'') {
            if (i + 1 >= inner.size() || inner[i + 1] != u'\'')
                return false;
            ++i;
        }
    return true;
}

// A master value as an SQL literal: a quoted text or null stays, anything
// else is quoted as the text it is; an absent value becomes AAbsent.
QString masterLiteral(const QString& AValue, const QString& AAbsent)
{
    const QString value = AValue.trimmed();
    if (value.isEmpty())
        return AAbsent;
    if (value.compare(QStringLiteral("null"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("null");
    if (isSQLTextLiteral(value))
        return value;
    return QuotedStr(AValue);
}

int intValue(const QVariant& v)
{
    return !v.isValid() || v.isNull() ? 0 : v.toInt();
}

} // namespace

TMRPBillsMaster ReadBillsMasterValues(const QString& AMasterValues)
{
    const QString crlf = QStringLiteral("\r\n");
    TMRPBillsMaster m;
    m.ItmID = masterLiteral(ReadDelimitedValue(AMasterValues, QStringLiteral("BillItmID"), crlf), QStringLiteral("null"));
    m.ItmProps = masterLiteral(ReadDelimitedValue(AMasterValues, QStringLiteral("BillItmProps"), crlf), QStringLiteral("''"));
    m.GroupNo = masterLiteral(ReadDelimitedValue(AMasterValues, QStringLiteral("BillGroupNo"), crlf), QStringLiteral("''"));
    bool ok = false;
    const int groupType = ReadDelimitedValue(AMasterValues, QStringLiteral("BillGroupType"), crlf).trimmed().toInt(&ok);
    m.GroupType = ok ? groupType : 0;
    return m;
}

TMRPBillsFrame::TMRPBillsFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TInfoGridView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("MRPBillsFrame"));
    // Only the designed columns: the view builds its own query.
    FDynamicColumns.reset();

    qryBalDetail = new TADOQuery(this);
    qryBalDetail->setObjectName(QStringLiteral("qryBalDetail"));
    SetupADOQuery(qryBalDetail);
    qryBalDetail->SetConnection(GlobalADOConnection);
    qryBalDetail->CommandTimeout = 600;

    grdBalDetail = new kvui::BandedGrid(this);
    grdBalDetail->setObjectName(QStringLiteral("grdBalDetail"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(grdBalDetail);

    auto* source = new kvui::DataSetSource(qryBalDetail);
    source->setReadOnly(true);
    FDataSource = source;

    kvui::BandedGrid* g = grdBalDetail;
    g->beginUpdate();
    g->setDataSource(FDataSource);
    g->setShowIndicator(true);
    g->setShowGroupByBox(false);
    g->setEditingEnabled(false);
    g->setReadOnly(true);
    g->setShowBandHeaders(true);
    AddPeriodGridBands(g);

    const auto add = [g](kvui::Column*& column, const char* name, const QString& caption, const char* field, int band) {
        column = g->addColumn(caption, QString::fromLatin1(field), band);
        column->setObjectName(QString::fromLatin1(name));
        column->setEditable(false);
        return column;
    };
    add(colBtlBillClass, "colBtlBillClass", QStringLiteral("类别"), "BillClass", 0);
    add(colBtlBillType, "colBtlBillType", QStringLiteral("类型"), "SupBillType", 0);
    add(colBtlBillNo, "colBtlBillNo", QStringLiteral("单据编号"), "SupBillNo", 0);
    add(colBtlDept, "colBtlDept", QStringLiteral("供需单位"), "DeptName", 0);
    add(colBtlDate, "colBtlDate", QStringLiteral("供需日期"), "SupDate", 0);
    add(colBtlPeriod, "colBtlPeriod", QString(), "SupPeriod", 0);
    add(colBtlHints, "colBtlHints", QString(), "SupPHints", 0);
    for (kvui::Column* hidden : {colBtlPeriod, colBtlHints}) {
        hidden->setVisible(false);
        hidden->setFilterable(false);
    }
    add(colBtlNote, "colBtlNote", QStringLiteral("备注"), "SupNote", 1);
    add(colBtlBomNo, "colBtlBomNo", QStringLiteral("BOM单"), "BomNo", 1);
    add(colBtlBillEntry, "colBtlBillEntry", QStringLiteral("单据行"), "SupBillEntry", 1)->setSortable(false);
    add(colBtlOrigType, "colBtlOrigType", QStringLiteral("主需求"), "OrigType", 1);
    add(colBtlOrigNo, "colBtlOrigNo", QStringLiteral("主需求号"), "OrigNo", 1);
    add(colBtlOrigCust, "colBtlOrigCust", QStringLiteral("主需求客户"), "OrigCust", 1);
    add(colBtlOrigCustPO, "colBtlOrigCustPO", QStringLiteral("主需求客户单号"), "OrigCustPO", 1);
    add(colBtlOrigItmNo, "colBtlOrigItmNo", QStringLiteral("主需求物料代码"), "OrigItmNo", 1);
    add(colBtlOrigItmName, "colBtlOrigItmName", QStringLiteral("主需求物料名称"), "OrigItmName", 1);
    add(colBtlOrigItmSpec, "colBtlOrigItmSpec", QStringLiteral("主需求规格型号"), "OrigItmSpec", 1);
    add(colBtlOrigTag, "colBtlOrigTag", QStringLiteral("需求分类号"), "SupOrigTag", 1);
    add(colBtlBillDate, "colBtlBillDate", QStringLiteral("单据日期"), "SupBillDate", 1);
    add(colBtlBillQty, "colBtlBillQty", QStringLiteral("单据数量"), "SupBillQty", 1);
    add(colBtlOkQty, "colBtlOkQty", QStringLiteral("执行数量"), "SupOkQty", 1);
    add(colBtlInvQty, "colBtlInvQty", QStringLiteral("分配库存数"), "InvQty", 1);
    add(colBtlPOQty, "colBtlPOQty", QStringLiteral("分配采购数"), "POQty", 1);
    add(colBtlOOQty, "colBtlOOQty", QStringLiteral("分配委外数"), "OOQty", 1);
    add(colBtlMOQty, "colBtlMOQty", QStringLiteral("分配生产数"), "MOQty", 1);
    add(colBtlChkQty, "colBtlChkQty", QStringLiteral("(在检数)"), "SupChkQty", 1);
    add(colBtlPRQty, "colBtlPRQty", QStringLiteral("分配采购申请"), "PRQty", 1);
    add(colBtlORQty, "colBtlORQty", QStringLiteral("分配委外申请"), "ORQty", 1);
    add(colBtlMRQty, "colBtlMRQty", QStringLiteral("分配生产计划"), "MRQty", 1);
    add(colBtlPPPQty, "colBtlPPPQty", QStringLiteral("分配MRP计划"), "PPPQty", 1);
    add(colBtlReplQty, "colBtlReplQty", QStringLiteral("(替代数)"), "SupAReplQty", 1);
    add(colBtlRItmNo, "colBtlRItmNo", QStringLiteral("替代物料代码"), "RItmNo", 1);
    add(colBtlRItmName, "colBtlRItmName", QStringLiteral("替代物料名称"), "RItmName", 1);
    add(colBtlRItmSpec, "colBtlRItmSpec", QStringLiteral("替代规格型号"), "RItmSpec", 1);
    add(colBtlRItmQty, "colBtlRItmQty", QStringLiteral("替代对方数"), "RItmQty", 1);
    add(colBtlQty, "colBtlQty", QStringLiteral("供需数量"), "SupQty", 3);
    add(colBtlRestQty, "colBtlRestQty", QStringLiteral("剩余数量"), "SupRestQty", 3);
    for (kvui::Column* c : g->columns())
        c->setMovable(c->bandIndex() == 1);
    colBtlBillNo->setWidth(100);
    colBtlDate->setWidth(80);
    colBtlBillDate->setWidth(80);
    colBtlOrigNo->setWidth(100);
    g->endUpdate();

    ViewComponent = grdBalDetail;
}

TMRPBillsFrame::~TMRPBillsFrame()
{
    ++FFocusEventLock;
    if (grdBalDetail) {
        grdBalDetail->disconnect(this);
        grdBalDetail->setDataSource(nullptr);
    }
    delete FDataSource;
}

void TMRPBillsFrame::SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection)
{
    FPlanScheme = APlanScheme;
    qryBalDetail->Close();
    FDataSource->reset();
    FFieldIndexes.clear();
    qryBalDetail->SetConnection(AConnection ? AConnection : GlobalADOConnection);
    BuildPeriodColumns();
    DataIsFresh = false;
}

void TMRPBillsFrame::BuildPeriodColumns()
{
    kvui::BandedGrid* g = grdBalDetail;
    g->beginUpdate();
    const TPlanPeriods periods = FPlanScheme ? FPlanScheme->MrpPeriods : TPlanPeriods();
    RebuildPeriodColumns(
        g, 2, periods, QStringLiteral("colBtlPeriod"), QStringLiteral("SupQty"), FPeriodCols,
        [this](int record, int period) { return PeriodValue(record, period); },
        [](const QVariant& value) {
            return !value.isValid() || value.isNull() ? QString() : kvui::formatFloat(QtyFormat, value.toDouble());
        });
    FPeriodsStr.clear();
    for (const TPlanPeriodCol& pc : FPeriodCols) {
        if (auto* column = qobject_cast<kvui::Column*>(pc.Column))
            column->setGroupable(false);
        FPeriodsStr += untMRPUtils::PeriodKey(pc.PeriodIndex);
    }
    CopyQtySummaryToPeriods();
    g->endUpdate();
}

void TMRPBillsFrame::CopyQtySummaryToPeriods()
{
    FPeriodQtySummary = CopyPeriodSummaries(colBtlQty, FPeriodCols);
}

void TMRPBillsFrame::ApplyViewScheme()
{
    grdBalDetail->beginUpdate();
    TInfoGridView::ApplyViewScheme();
    CopyQtySummaryToPeriods();
    grdBalDetail->endUpdate();
}

void TMRPBillsFrame::CalcSummary(kvui::SummaryState& AState, const QVariant& AValue, bool& ADone)
{
    // The period columns hand over their period values already (their value
    // hook); without the quantity summary they count nothing.
    if (AState.column && AState.column->tag() > 0 && !FPeriodQtySummary) {
        ADone = true;
        return;
    }
    TInfoGridView::CalcSummary(AState, AValue, ADone);
}

QString TMRPBillsFrame::BuildBillsSQL()
{
    const TMRPBillsMaster m = ReadBillsMasterValues(MasterValues);
    const bool bom = colBtlBomNo->isVisible();
    const QString bomSelect = bom ? QStringLiteral(",BomNo") : QString();
    const QString bomOfSupply = bom ? QStringLiteral(" left join QZ_MRP_BOMsOfSupply as b with(nolock) on s.SupSchIID=b.SupSchIID "
                                                     "and s.SupIID=b.SupIID")
                                    : QString();
    const QString bomOfDemand = bom ? QStringLiteral(" left join QZ_MRP_BOMsOfDemand as b with(nolock) on s.DmdSchIID=b.DmdSchIID "
                                                     "and s.DmdIID=b.DmdIID")
                                    : QString();
    const QString supplyBill = QStringLiteral(
        "s.SupIID, SupPeriod, SupBillType, SupBillNo, SupBillEntry, SupBillDate, SupBillQty, SupSuppID, SupDeptID, SupNote,"
        "SupOkQty=(case when SupBillQty>isnull(SupQty,0) then SupBillQty-isnull(SupQty,0) else 0 end),"
        "OrigType=SupOrigType, OrigNo=SupOrigNo+(case when SupOrigEntry<>0 then '/'+cast(SupOrigEntry as nvarchar(10)) else '' end),"
        "SupOrigItmID, SupOrigCustID, OrigCustPO=SupOrigCustPO, SupOrigTag, SupDate, ");
    const QString demandBill = QStringLiteral(
        "s.DmdIID, DmdPeriod, DmdBillType, DmdBillNo, DmdBillEntry, DmdBillDate, DmdBillQty, DmdSuppID, DmdDeptID, DmdNote,"
        "DmdOkQty=(case when DmdBillQty>isnull(DmdNeedQty,0) then DmdBillQty-isnull(DmdNeedQty,0) else 0 end),"
        "OrigType=DmdOrigType, OrigNo=DmdOrigNo+(case when DmdOrigEntry<>0 then '/'+cast(DmdOrigEntry as nvarchar(10)) else '' end),"
        "DmdOrigItmID, DmdOrigCustID, OrigCustPO=DmdOrigCustPO, DmdOrigTag, DmdDate, ");

    // A: the supplies of the line.
    const QString partA =
        QStringLiteral("select BillClass=(case when SupBillType=%2:d then %19:d when SupBillType in (%3:d, %4:d, %5:d, %6:d, "
                       "%7:d, %8:d, %9:d) then %20:d else %21:d end),")
        + supplyBill
        + QStringLiteral("SupQty, SupChkQty, SupAReplQty, SupRestQty,SupPHints, SupHints=(case when SupBillType=%2:d then null "
                         "else SupHints end), ")
        + allottedColumns(QStringLiteral("SupAllotQty"))
        + QStringLiteral("PPPQty=(case when SupBillType>=%26:d then SupAllotQty else null end), RItmID=cast(null as "
                         "nvarchar(50)), RItmProps=cast(null as nvarchar(80)),")
        + propsNull(QStringLiteral("nvarchar(80)")) + QStringLiteral("RItmQty=cast(null as decimal(28,8))") + bomSelect
        + QStringLiteral(" from QZ_MRP_Supplies as s with(nolock)") + bomOfSupply
        + QStringLiteral(" where s.SupSchIID=%0:d and SupItmID=%1:s and SupItmProps=%28:s and SupGroupType=%29:d and "
                         "SupGroupNo=%30:s and (SupQty>0 or SupBillType>=%26:d)");
    // B: the demands of the line.
    const QString partB =
        QStringLiteral("select BillClass=(case when DmdBillType in (%10:d, %11:d, %12:d, %13:d, %14:d, %15:d, %16:d) then "
                       "%22:d when DmdBillType in (%17:d, %18:d) then %19:d else %23:d end),")
        + demandBill
        + QStringLiteral("DmdNeedQty, DmdChkQty, DmdReplQty, null, DmdHints, DmdHints,"
                         "DmdInvQty, DmdMOQty, DmdOOQty, DmdPOQty, DmdMRQty, DmdORQty, DmdPRQty, "
                         "isnull(DmdQty,0)+isnull(DmdPPPQty1,0)+isnull(DmdPPPQty2,0), null, null,"
                         "null, null, null, null, null, null, null, null, null, null, null")
        + bomSelect + QStringLiteral(" from QZ_MRP_Demands as s with(nolock)") + bomOfDemand
        + QStringLiteral(" where s.DmdSchIID=%0:d and DmdItmID=%1:s and DmdItmProps=%28:s and DmdGroupType=%29:d and "
                         "DmdGroupNo=%30:s");
    // C: this item's demands covered by other items' supplies.
    const QString partC = QStringLiteral("select BillClass=%24:d, ") + supplyBill
        + QStringLiteral("AltReplQty, null, AltReplQty, null,") + allotHint(QStringLiteral("AltReplQty")) + u','
        + allotHint(QStringLiteral("AltReplQty")) + u',' + allottedColumns(QStringLiteral("AltReplQty"))
        + QStringLiteral("null, SupItmID, SupItmProps") + propColumns(QStringLiteral("SupItmProp"))
        + QStringLiteral(", AltQty") + bomSelect
        + QStringLiteral(" from QZ_MRP_Demands with(nolock) join QZ_MRP_Allots with(nolock) on DmdSchIID=AltSchIID and "
                         "DmdIID=AltDmdIID join QZ_MRP_Supplies as s with(nolock) on AltSchIID=s.SupSchIID and "
                         "AltSupIID=s.SupIID")
        + bomOfSupply
        + QStringLiteral(" where DmdSchIID=%0:d and DmdItmID=%1:s and DmdItmProps=%28:s and DmdGroupType=%29:d and "
                         "DmdGroupNo=%30:s and AltIsRepl=1");
    // D: this item's supplies covering other items' demands.
    const QString partD = QStringLiteral("select BillClass=%25:d, ") + demandBill
        + QStringLiteral("AltQty, null, AltQty, null,") + allotHint(QStringLiteral("AltQty")) + u','
        + allotHint(QStringLiteral("AltQty")) + u',' + allottedColumns(QStringLiteral("AltQty"))
        + QStringLiteral("null, DmdItmID, DmdItmProps") + propColumns(QStringLiteral("DmdItmProp"))
        + QStringLiteral(", AltReplQty") + bomSelect
        + QStringLiteral(" from QZ_MRP_Supplies with(nolock) join QZ_MRP_Allots with(nolock) on SupSchIID=AltSchIID and "
                         "SupIID=AltSupIID join QZ_MRP_Demands as s with(nolock) on AltSchIID=s.DmdSchIID and "
                         "AltDmdIID=s.DmdIID")
        + bomOfDemand
        + QStringLiteral(" where SupSchIID=%0:d and SupItmID=%1:s and SupItmProps=%28:s and SupGroupType=%29:d and "
                         "SupGroupNo=%30:s and AltIsRepl=1");
    const QString joiner = QStringLiteral(" union all\r");
    const QString pattern = partA + joiner + partB + joiner + partC + joiner + partD;

    QStringList args;
    args << QString::number(FPlanScheme ? FPlanScheme->SchemeIID : 0) << m.ItmID;
    args << QString::number(btInventory);
    for (int t : btSupplyTypes)
        args << QString::number(t);
    for (int t : btMainDemandTypes)
        args << QString::number(t);
    args << QString::number(btSafetyStock) << QString::number(btNegativeStock);
    for (int c : {bcInventory, bcOrder, bcOtherSupply, bcMainDemand, bcOtherDemand, bcReplaceIn, bcReplaceOut})
        args << QString::number(c);
    args << QString::number(btPlannedFrom) << FPeriodsStr << m.ItmProps << QString::number(m.GroupType) << m.GroupNo;
    const QString unionSQL = FillPositionalArgs(pattern, args);

    QString select;
    QString joins;
    if (colBtlDept->isVisible()) {
        select += QStringLiteral(", DeptName=isnull(p.SuppName, d.DeptName)");
        joins += QStringLiteral(" left join QZ_Base_Supplier as p with(nolock) on s.SupSuppID=p.SuppID left join "
                                "QZ_Base_Department as d with(nolock) on s.SupDeptID=d.DeptID");
    }
    if (colBtlOrigCust->isVisible()) {
        select += QStringLiteral(", OrigCust=c.CustName");
        joins += QStringLiteral(" left join QZ_Base_Customer as c with(nolock) on s.SupOrigCustID=c.CustID");
    }
    if (colBtlOrigItmNo->isVisible() || colBtlOrigItmName->isVisible() || colBtlOrigItmSpec->isVisible()) {
        select += QStringLiteral(", OrigItmNo=o.ItmNo, OrigItmName=o.ItmName, OrigItmSpec=o.ItmSpec");
        joins += QStringLiteral(" left join QZ_Base_ItemMaster as o with(nolock) on s.SupOrigItmID=o.ItmID");
    }
    if (colBtlRItmNo->isVisible() || colBtlRItmName->isVisible() || colBtlRItmSpec->isVisible()) {
        select += QStringLiteral(", RItmNo=r.ItmNo, RItmName=r.ItmName, RItmSpec=r.ItmSpec");
        joins += QStringLiteral(" left join QZ_Base_ItemMaster as r with(nolock) on s.RItmID=r.ItmID");
    }
    const QString order = ViewScheme.OrderBySQL.trimmed().isEmpty()
        ? QStringLiteral("BillClass, SupBillType, SupDate, SupIID")
        : ViewScheme.OrderBySQL;
    return QStringLiteral("select s.*") + select + QStringLiteral(" from (") + unionSQL + QStringLiteral(") as s") + joins
        + QStringLiteral(" order by ") + order;
}

void TMRPBillsFrame::RefreshData(bool ARebuild)
{
    TInfoGridView::RefreshData(ARebuild);
    if (!DataIsFresh)
        return;
    ++FFocusEventLock;
    struct Unlock {
        TMRPBillsFrame* view;
        ~Unlock()
        {
            view->FDataSource->reset();
            --view->FFocusEventLock;
        }
    } unlock{this};
    TMRPWaitCursor hourglass;
    FFieldIndexes.clear();
    qryBalDetail->Close();
    try {
        BuiltSQL = BuildBillsSQL();
        ExecSQLText(qryBalDetail, BuiltSQL, true, true, false);
    } catch (...) {
        // The rows of another line never stay on show after a failure.
        qryBalDetail->Close();
        DataIsFresh = false;
        throw;
    }
}

int TMRPBillsFrame::BillRowCount() const
{
    return qryBalDetail->Active() ? FDataSource->recordCount() : 0;
}

QVariant TMRPBillsFrame::BillValue(int ARecord, const QString& AFieldName) const
{
    if (ARecord < 0 || ARecord >= BillRowCount())
        return QVariant();
    auto it = FFieldIndexes.constFind(AFieldName);
    if (it == FFieldIndexes.constEnd())
        it = FFieldIndexes.insert(AFieldName, FDataSource->fieldIndex(AFieldName));
    return it.value() < 0 ? QVariant() : FDataSource->value(ARecord, it.value());
}

QVariant TMRPBillsFrame::PeriodValue(int ARecord, int APeriodIndex) const
{
    if (!FPlanScheme || ARecord < 0)
        return QVariant();
    const QVariant hintsValue = BillValue(ARecord, QStringLiteral("SupPHints"));
    const QString hints = hintsValue.isNull() ? QString() : hintsValue.toString();
    if (hints.isEmpty()) {
        const int billClass = intValue(BillValue(ARecord, QStringLiteral("BillClass")));
        if (intValue(BillValue(ARecord, QStringLiteral("SupBillType"))) == btInventory || billClass == bcOrder
            || billClass == bcOtherSupply)
            return QVariant();
    }
    const QVariant qty = BillValue(ARecord, QStringLiteral("SupQty"));
    return GetPeriodQtyValue(FPlanScheme->MrpPeriods, APeriodIndex, hints, qty.isNull() ? QVariant(0.0) : qty,
                             VariantToDayNumber(BillValue(ARecord, QStringLiteral("SupDate"))));
}

void TMRPBillsFrame::FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool,
                                           QColor& AOutBrush, QFont&, QColor& AOutTextColor)
{
    if (ARecord.kind != kvui::RowRef::Data || ARecord.record < 0)
        return;
    const int record = ARecord.record;
    const int billClass = intValue(BillValue(record, QStringLiteral("BillClass")));
    const int billType = intValue(BillValue(record, QStringLiteral("SupBillType")));
    if (billClass == bcMainDemand || billClass == bcOtherDemand || billClass == bcReplaceOut || billType == btSafetyStock)
        AOutTextColor = QColor(0xFF, 0x00, 0xFF);
    else if (billType == btNegativeStock)
        AOutTextColor = QColor(0xFF, 0x00, 0x00);
    if (AItem && AItem->tag() > 0 && FPlanScheme) {
        const int period = FindPlanPeriodIndex(FPlanScheme->MrpPeriods, VariantToDayNumber(BillValue(record, QStringLiteral("SupDate"))));
        if (period == AItem->tag() - 1)
            AOutBrush = ASelected ? QColor(0x00, 0xC0, 0xC0) : QColor(0xC2, 0xFF, 0xFF);
    }
}
