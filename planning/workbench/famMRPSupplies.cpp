#include "famMRPSupplies.h"

#include "DataSetSource.h"
#include "DisplayFormat.h"
#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untCommonUI.h"
#include "untMRPCalendar.h"
#include "untMRPUtils.h"
#include "untMRPViewUtils.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString QtyFormat = QStringLiteral("###,###,###,##0.########");
const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
const QString QtyBelowZero = QStringLiteral("[%s]的值(%s)没有大于或等于%s !");
const QString SaveFailed = QStringLiteral("保存过程中出现意外错误, 操作被中止!");
const QString SaveDone = QStringLiteral("数据保存完成。");
const QString SaveNotes = QStringLiteral("保存的内容存在以下情况需注意:");
const QString NotePending = QStringLiteral("- 涉及到父级物料的BOM或数量变化, 请重新运算MRP以使相关子级物料需求计划同步!");
const QString NoteNoBom = QStringLiteral("- 发现有父级物料(非\"MRP采购\"类型)缺少BOM信息, 可能会影响MRP运算结果的完整性!");
const QString NoteNegativeRest = QStringLiteral("- 发现有剩余数量为负数(即: 计划数量小于被分配数)的供应计划存在!");
const QString DefaultBomMark = QStringLiteral(" (默认)");

// Bill types ("MrpBillType") this view names.
constexpr int btInventory = 16;
constexpr int btPlannedProduction = 42;
constexpr int btPlannedOutsourcing = 52;
constexpr int btPlannedPurchase = 58;

// The arguments 1 to 16 of the plan-type lists and the where text.
constexpr int TypeArgs[] = {26, 28, 38, 58, 24, 36, 52, 54, 22, 34, 42, 44, 16, 62, 64, 66};

// Batches are run once their text grows beyond this many characters.
constexpr int MaxBatchText = 65000;

// The bill-type editor: its items are the three planned types, but a cell
// shows the name of whatever type it holds.
class TBillTypeEditProperties : public kvui::ImageComboProperties {
public:
    QString displayText(const QVariant& value) const override
    {
        if (value.isNull() || !value.isValid())
            return QString();
        const int i = indexOfValue(value);
        return i >= 0 ? items[i].description : InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), value.toInt());
    }
};

// The BOM editor: its drop-down lists the BOMs of the edited row; a cell
// shows its BOM number as it stands.
class TBomNoEditProperties : public kvui::ImageComboProperties {
public:
    QString displayText(const QVariant& value) const override
    {
        return value.isNull() || !value.isValid() ? QString() : value.toString();
    }
    void paint(QPainter* p, const QRect& rect, const QVariant& value, const QString& text) const override
    {
        kvui::EditorProperties::paint(p, rect, value, text);
    }
};

bool isNullValue(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

// A value as a number; 0 when it is none or not one.
double numberOf(const QVariant& v)
{
    if (isNullValue(v))
        return 0;
    bool ok = false;
    const double d = v.typeId() == QMetaType::QString ? untMRPUtils::TextToFloat(v.toString(), &ok) : v.toDouble(&ok);
    return ok && std::isfinite(d) ? d : 0;
}

int intOf(const QVariant& v)
{
    return isNullValue(v) ? 0 : v.toInt();
}

QString textOf(const QVariant& v)
{
    return isNullValue(v) ? QString() : v.toString();
}

bool boolOf(const QVariant& v)
{
    if (isNullValue(v))
        return false;
    if (v.typeId() == QMetaType::QString)
        return v.toString().trimmed() != QLatin1String("0") && !v.toString().trimmed().isEmpty()
            && v.toString().trimmed().compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
    return v.toBool();
}

// Quantities derived from others: eight decimals, a half to the even neighbour.
double round8(double v)
{
    return std::nearbyint(v * 1e8) / 1e8;
}

bool sameQty(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

QString yyyymmdd(const QVariant& v)
{
    if (isNullValue(v))
        return QString();
    QDateTime dt = v.toDateTime();
    if (!dt.isValid() && v.typeId() == QMetaType::QString)
        dt = StrToDateTime(v.toString());
    return dt.isValid() ? dt.date().toString(QStringLiteral("yyyyMMdd")) : QString();
}

} // namespace

QString AdjustSupplyHints(const QString& AHints, double ADelta)
{
    const QString result = AdjustHintQty(AHints, ADelta);
    if (!result.isEmpty() || AHints.isEmpty())
        return result;
    const qsizetype eq = AHints.indexOf(u'=');
    return eq < 0 ? result : AHints.left(eq) + QStringLiteral("=0");
}

TMRPSuppliesFrame::TMRPSuppliesFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TInfoGridView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("MRPSuppliesFrame"));
    // Only the designed columns: the view builds its own query.
    FDynamicColumns.reset();

    qrySupplies = new TADOQuery(this);
    qrySupplies->setObjectName(QStringLiteral("qrySupplies"));
    SetupADOQuery(qrySupplies);
    qrySupplies->SetConnection(GlobalADOConnection);
    qrySupplies->CommandTimeout = 600;

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    gbxOptions = new QFrame(this);
    gbxOptions->setObjectName(QStringLiteral("gbxOptions"));
    gbxOptions->setAutoFillBackground(true);
    auto* optionsBox = new QHBoxLayout(gbxOptions);
    optionsBox->setContentsMargins(4, 3, 25, 3);
    optionsBox->addStretch();
    lblPlanState = new QLabel(gbxOptions);
    lblPlanState->setObjectName(QStringLiteral("lblPlanState"));
    optionsBox->addWidget(lblPlanState);
    optionsBox->addSpacing(12);
    cboPlanType = new QComboBox(gbxOptions);
    cboPlanType->setObjectName(QStringLiteral("cboPlanType"));
    cboPlanType->setMaxVisibleItems(20);
    cboPlanType->addItems({QStringLiteral("生产计划"), QStringLiteral("委外计划"), QStringLiteral("委外+生产计划"),
                           QStringLiteral("采购计划"), QStringLiteral("采购+委外计划"), QStringLiteral("采购+委外+生产计划"),
                           QStringLiteral("MRP采购+委外+生产"), QStringLiteral("MRP虚拟件+跳层"), QStringLiteral("即时库存"),
                           QStringLiteral("(全部)")});
    cboPlanType->setCurrentIndex(0);
    optionsBox->addWidget(cboPlanType);
    box->addWidget(gbxOptions);

    grdSupplies = new kvui::BandedGrid(this);
    grdSupplies->setObjectName(QStringLiteral("grdSupplies"));
    box->addWidget(grdSupplies);

    auto* source = new TLimitedDataSetSource(qrySupplies);
    source->setReadOnly(true);
    FDataSource = source;

    kvui::BandedGrid* g = grdSupplies;
    g->beginUpdate();
    g->setDataSource(FDataSource);
    g->setShowIndicator(true);
    g->setShowGroupByBox(true);
    g->setEditingEnabled(false);
    g->setEnterMovesToNextCell(true);
    g->setShowBandHeaders(true);
    AddPeriodGridBands(g);

    const auto add = [g](kvui::Column*& column, const char* name, const QString& caption, const QString& field, int band) {
        column = g->addColumn(caption, field, band);
        column->setObjectName(QString::fromLatin1(name));
        column->setEditable(false);
        return column;
    };
    const auto L = [](const char* s) { return QString::fromLatin1(s); };
    add(colSupItmNo, "colSupItmNo", QStringLiteral("物料代码"), L("ItmNo"), 0);
    add(colSupBillType, "colSupBillType", QStringLiteral("类型"), L("SupBillType"), 0);
    add(colSupBillNo, "colSupBillNo", QStringLiteral("单据编号"), L("SupBillNo"), 0);
    add(colSupDate, "colSupDate", QStringLiteral("交货日期"), L("SupDate"), 0);
    add(colSupBomLocked, "colSupBomLocked", QString(), L("SupBomLocked"), 0);
    add(colSupItmName, "colSupItmName", QStringLiteral("物料名称"), L("ItmName"), 1);
    add(colSupItmSpec, "colSupItmSpec", QStringLiteral("规格型号"), L("ItmSpec"), 1);
    add(colSupDept, "colSupDept", QStringLiteral("供应单位"), L("DeptName"), 1);
    add(colSupNote, "colSupNote", QStringLiteral("备注"), L("SupNote"), 1);
    add(colSupBOM, "colSupBOM", QStringLiteral("BOM单"), L("BomNo"), 1);
    add(colSupPDmdBillNo, "colSupPDmdBillNo", QStringLiteral("需求单据"), L("PDmdBillNo"), 1);
    add(colSupDrawDate, "colSupDrawDate", QStringLiteral("发料日期"), L("SupDrawDate"), 1);
    add(colSupBillEntry, "colSupBillEntry", QStringLiteral("单据行"), L("SupBillEntry"), 1);
    add(colSupOrigType, "colSupOrigType", QStringLiteral("主需求"), L("OrigType"), 1);
    add(colSupOrigNo, "colSupOrigNo", QStringLiteral("主需求号"), L("OrigNo"), 1);
    add(colSupCust, "colSupCust", QStringLiteral("主需求客户"), L("OrigCust"), 1);
    add(colSupCustPO, "colSupCustPO", QStringLiteral("主需求客户单号"), L("OrigCustPO"), 1);
    add(colSupOrigItmNo, "colSupOrigItmNo", QStringLiteral("主需求物料代码"), L("OrigItmNo"), 1);
    add(colSupOrigItmName, "colSupOrigItmName", QStringLiteral("主需求物料名称"), L("OrigItmName"), 1);
    add(colSupOrigItmSpec, "colSupOrigItmSpec", QStringLiteral("主需求规格型号"), L("OrigItmSpec"), 1);
    add(colSupOrigTag, "colSupOrigTag", QStringLiteral("需求分类号"), L("SupOrigTag"), 1);
    add(colSupOrigSubTag, "colSupOrigSubTag", QStringLiteral("子件需求分类号"), L("SupOrigSubTag"), 1);
    add(colSupGroupType, "colSupGroupType", QStringLiteral("MRP分组"), L("SupGroupType"), 1);
    add(colSupGroupNo, "colSupGroupNo", QStringLiteral("MRP分组号"), L("SupGroupNo"), 1);
    add(colSupBillDate, "colSupBillDate", QStringLiteral("下单日期"), L("SupBillDate"), 1);
    add(colSupBillQty, "colSupBillQty", QStringLiteral("单据数量"), L("SupBillQty"), 1);
    add(colSupOkQty, "colSupOkQty", QStringLiteral("执行数量"), L("SupOkQty"), 1);
    add(colSupChkQty, "colSupChkQty", QStringLiteral("(在检数)"), L("SupChkQty"), 1);
    add(colSupAReplQty, "colSupAReplQty", QStringLiteral("(替代他料)"), L("SupAReplQty"), 1);
    add(colSupUnit, "colSupUnit", QStringLiteral("单位"), L("UntName"), 1);
    add(colSupHints, "colSupHints", QString(), L("SupHints"), 1);
    add(colSupDestQty, "colSupDestQty", QStringLiteral("已投放数"), L("SupDestQty"), 1);
    add(colSupUnDestQty, "colSupUnDestQty", QStringLiteral("未投放数"), L("SupUnDestQty"), 1);
    add(colSupDester, "colSupDester", QStringLiteral("投放人"), L("SupDester"), 1);
    add(colSupDestTime, "colSupDestTime", QStringLiteral("投放时间"), L("SupDestTime"), 1);
    add(colItmPlanner, "colItmPlanner", QStringLiteral("计划员"), L("ItmPlanner"), 1);
    add(colItmBuyer, "colItmBuyer", QStringLiteral("采购员"), L("ItmBuyer"), 1);
    add(colItmMinQty, "colItmMinQty", QStringLiteral("最小供应量"), L("ItmMinQty"), 1);
    add(colItmLotQty, "colItmLotQty", QStringLiteral("批量增量"), L("ItmLotQty"), 1);
    add(colItmFixedLead, "colItmFixedLead", QStringLiteral("固定提前期"), L("ItmFixLeadTime"), 1);
    add(colItmVarLead, "colItmVarLead", QStringLiteral("变动提前期"), L("ItmVarLeadTime"), 1);
    add(colItmVarLeadLot, "colItmVarLeadLot", QStringLiteral("变动提前期批量"), L("ItmVarLeadLot"), 1);
    add(colSupItmProps, "colSupItmProps", QString(), L("SupItmProps"), 1)->setVisible(false);
    for (int n = 1; n <= 10; ++n) {
        const QByteArray name = "colSupItmProp" + QByteArray::number(n);
        add(colSupItmProp[n - 1], name.constData(), QStringLiteral("辅助项%1").arg(n), QStringLiteral("SupItmProp%1").arg(n), 1);
    }
    add(colSupQty, "colSupQty", QStringLiteral("计划数量"), L("SupQty"), 3);
    add(colSupAdjQty, "colSupAdjQty", QStringLiteral("(调整数)"), L("SupAdjQty"), 3);
    add(colSupAllotQty, "colSupAllotQty", QStringLiteral("被分配数"), L("SupAllotQty"), 3);
    add(colSupRestQty, "colSupRestQty", QStringLiteral("剩余数量"), L("SupRestQty"), 3);
    for (kvui::Column* hidden : {colSupBomLocked, colSupHints}) {
        hidden->setVisible(false);
        hidden->setFilterable(false);
        hidden->setMovable(false);
    }
    colSupBillEntry->setFilterable(false);
    colSupBillEntry->setSortable(false);
    for (kvui::Column* editable : {colSupBillType, colSupQty, colSupAdjQty, colSupBOM})
        editable->setEditable(true);
    colSupItmNo->setWidth(100);
    colSupBillNo->setWidth(100);
    colSupItmName->setWidth(120);
    colSupBOM->setWidth(100);

    // Text colour of the state label: the panel's own.
    lblPlanState->clear();
    QPalette labelPalette = lblPlanState->palette();
    labelPalette.setColor(QPalette::WindowText, TColorToQColor(ContentTextColor()));
    lblPlanState->setPalette(labelPalette);

    auto billTypes = std::make_shared<TBillTypeEditProperties>();
    billTypes->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    FBillTypeEditProperties = billTypes;
    FillMrpBillTypeItems();
    cboPlanType->setItemText(7, InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), 62) + u'+'
                                    + InfoApplication->GetSystemEnumName(QStringLiteral("MrpBomSkipType"), 1));
    cboPlanType->setItemText(8, InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), btInventory));

    colSupBOM->setTag(-1);
    FBomNoEditProperties = std::make_shared<TBomNoEditProperties>();
    colSupBOM->editorHook = [this](const kvui::RowRef&) { return kvui::EditorPtr(FBomNoEditProperties); };
    colSupBillType->editorHook = [this](const kvui::RowRef&) {
        return FEditMode ? kvui::EditorPtr(FBillTypeEditProperties) : kvui::EditorPtr();
    };
    g->setEditingHook([this](const kvui::RowRef& row, kvui::Column* column) {
        return row.kind == kvui::RowRef::Data && grvSuppliesEditing(row.record, column);
    });
    connect(g, &kvui::BandedView::cellEdited, this, [this](int row, kvui::Column* column, const QVariant&, const QVariant& value) {
        const kvui::RowRef r = grdSupplies->row(row);
        if (r.kind == kvui::RowRef::Data)
            grvSuppliesEditValueChanged(r.record, column, value);
    });
    connect(cboPlanType, &QComboBox::currentIndexChanged, this, [this](int) { cboPlanTypePropertiesChange(); });
    g->endUpdate();

    ViewComponent = grdSupplies;
}

TMRPSuppliesFrame::~TMRPSuppliesFrame()
{
    ++FFocusEventLock;
    if (grdSupplies) {
        grdSupplies->disconnect(this);
        grdSupplies->setDataSource(nullptr);
    }
    delete FDataSource;
}

void TMRPSuppliesFrame::FillMrpBillTypeItems()
{
    FBillTypeEditProperties->items.clear();
    for (int code : {btPlannedPurchase, btPlannedProduction, btPlannedOutsourcing})
        FBillTypeEditProperties->addItem(code, InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), code));
}

void TMRPSuppliesFrame::SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection,
                                      const TPlanSchemeUIEvents& AUIEvents)
{
    FPlanScheme = APlanScheme;
    FPlanSchemeUIEvents = AUIEvents;
    qrySupplies->Close();
    FDataSource->reset();
    TADOConnection* connection = AConnection;
    if (!connection && FPlanScheme)
        connection = FPlanScheme->Connection();
    qrySupplies->SetConnection(connection ? connection : GlobalADOConnection);
    BuildPeriodColumns();
    DataIsFresh = false;
}

void TMRPSuppliesFrame::BuildPeriodColumns()
{
    kvui::BandedGrid* g = grdSupplies;
    g->beginUpdate();
    // Sorting, grouping and summaries see the period quantity (0 when none).
    RebuildPeriodColumns(
        g, 2, FPlanScheme ? FPlanScheme->MrpPeriods : TPlanPeriods(), QStringLiteral("colSupPeriod"),
        QStringLiteral("SupQty"), FPeriodCols, [this](int record, int period) { return QVariant(PeriodQty(record, period)); },
        [](const QVariant& value) {
            const double v = isNullValue(value) ? 0 : value.toDouble();
            return v == 0 ? QString() : kvui::formatFloat(QtyFormat, v);
        });
    CopyPeriodSummaries();
    g->endUpdate();
}

void TMRPSuppliesFrame::CopyPeriodSummaries()
{
    FPeriodQtySummary = ::CopyPeriodSummaries(colSupQty, FPeriodCols);
}

int TMRPSuppliesFrame::SupplyRowCount() const
{
    return qrySupplies->Active() ? FDataSource->recordCount() : 0;
}

QVariant TMRPSuppliesFrame::SupplyValue(int ARecord, const QString& AFieldName) const
{
    if (ARecord < 0 || ARecord >= SupplyRowCount())
        return QVariant();
    return FDataSource->fieldValue(ARecord, AFieldName);
}

double TMRPSuppliesFrame::PeriodQty(int ARecord, int APeriodIndex) const
{
    if (!FPlanScheme || ARecord < 0)
        return 0;
    const QVariant qty = SupplyValue(ARecord, QStringLiteral("SupQty"));
    const QVariant v = GetPeriodQtyValue(FPlanScheme->MrpPeriods, APeriodIndex, textOf(SupplyValue(ARecord, QStringLiteral("SupHints"))),
                                         isNullValue(qty) ? QVariant(0.0) : qty,
                                         VariantToDayNumber(SupplyValue(ARecord, QStringLiteral("SupDate"))));
    return numberOf(v);
}

void TMRPSuppliesFrame::RefreshPlanState()
{
    ShowPlanStateLabel(lblPlanState, FPlanScheme);
}

void TMRPSuppliesFrame::ApplyViewScheme()
{
    grdSupplies->beginUpdate();
    const QSignalBlocker block(cboPlanType);
    TInfoGridView::ApplyViewScheme();
    bool ok = false;
    int choice = ReadViewSchemeParam(ViewScheme.Params, QStringLiteral("[PlanType]")).trimmed().toInt(&ok);
    if (!ok || choice < 0 || choice >= cboPlanType->count())
        choice = 0;
    cboPlanType->setCurrentIndex(choice);
    CopyPeriodSummaries();
    grdSupplies->endUpdate();
}

void TMRPSuppliesFrame::StoreViewScheme()
{
    TInfoGridView::StoreViewScheme();
    ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, QStringLiteral("[PlanType]"),
                                             QString::number(cboPlanType->currentIndex()));
}

void TMRPSuppliesFrame::cboPlanTypePropertiesChange()
{
    ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, QStringLiteral("[PlanType]"),
                                             QString::number(cboPlanType->currentIndex()));
    RefreshData(true);
    grdSupplies->setFocus();
}

QString TMRPSuppliesFrame::BuildSuppliesSQL()
{
    static const char* const viewLists[] = {
        "%9:d, %10:d, %11:d",
        "%5:d, %6:d, %7:d",
        "%5:d, %6:d, %7:d, %9:d, %10:d, %11:d",
        "%1:d, %2:d, %3:d, %4:d",
        "%1:d, %2:d, %3:d, %4:d, %5:d, %6:d, %7:d",
        "%1:d, %2:d, %3:d, %4:d, %5:d, %6:d, %7:d, %9:d, %10:d, %11:d",
        "%4:d, %7:d, %11:d",
        "%8:d, %12:d, %14:d, %15:d, %16:d",
        "%13:d",
        "",
    };
    static const char* const editLists[] = {
        "%11:d", "%7:d", "%7:d, %11:d", "%4:d", "%4:d, %7:d", "%4:d, %7:d, %11:d", "%4:d, %7:d, %11:d",
        "%8:d, %12:d, %14:d, %15:d, %16:d", "%13:d", "%4:d, %7:d, %11:d",
    };
    const bool editing = FEditMode;
    const int choice = cboPlanType->currentIndex();
    QString list;
    if (choice >= 0 && choice <= 9)
        list = QString::fromLatin1(editing ? editLists[choice] : viewLists[choice]);
    else if (editing)
        list = QString::fromLatin1(editLists[9]);
    QString where = QStringLiteral("s.SupSchIID=%0:d");
    if (!list.isEmpty())
        where += QStringLiteral(" and s.SupBillType in (") + list + u')';
    where += QStringLiteral(" and (s.SupQty>0 or s.SupBillType>=%11:d)");
    QStringList args{QString::number(FPlanScheme ? FPlanScheme->SchemeIID : 0)};
    for (int t : TypeArgs)
        args << QString::number(t);
    where = FillPositionalArgs(where, args);

    QString required = QStringLiteral("SupBillNo|SupBillType|SupDate|SupDrawDate|SupQty|SupAdjQty|BomNo");
    QString extra = QStringLiteral("s.SupHints, s.SupBomLocked");
    if (editing) {
        required += QStringLiteral("|SupBillQty|SupRestQty|SupAllotQty");
        extra += QStringLiteral(", s.SupItmID, s.SupBomType, s.SupBomID, s.SupPHints, j.AdjSupIID, j.AdjOldType, "
                                "j.AdjOldQty, j.AdjOldBomID, j.AdjPending");
    }
    QString sql;
    {
        TRowCapForQuery cap;
        sql = BuildSelectSQL(required, extra, where, QStringLiteral("i.ItmNo, s.SupDate, s.SupBillType, s.SupBillNo"), true);
    }
    if (editing) {
        const QString order = ViewScheme.OrderBySQL.trimmed().isEmpty()
            ? QStringLiteral("ItmNo, SupDate, SupBillType, SupBillNo")
            : ViewScheme.OrderBySQL;
        sql = QStringLiteral("select * into #QZ_MRP_SuppliesView from (") + sql + QStringLiteral(") as t\r")
            + QStringLiteral("select * from #QZ_MRP_SuppliesView with(nolock) order by ") + order
            + QStringLiteral("\rdrop table #QZ_MRP_SuppliesView");
    }
    return sql;
}

void TMRPSuppliesFrame::RefreshData(bool ARebuild)
{
    if (FPlanScheme && FPlanScheme->PlanType != 0 && !ViewScheme.SQLParsed)
        InfoApplication->ParseViewSchemeSQL(ObjectDef, &ViewScheme, GlobalADOQuery);
    TInfoGridView::RefreshData(ARebuild);
    if (!ViewScheme.SQLParsed)
        return;
    bool loaded = false;
    QString failure;
    {
        ++FFocusEventLock;
        TMRPWaitCursor hourglass;
        RefreshPlanState();
        Modified = false;
        try {
            if (ARebuild || AsDetail || BuiltSQL.isEmpty())
                BuiltSQL = BuildSuppliesSQL();
            qrySupplies->Close();
            ExecSQLText(qrySupplies, BuiltSQL, true, true, false);
            loaded = true;
        } catch (const Exception& e) {
            failure = e.Message;
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
        if (!loaded)
            qrySupplies->Close();
        FDataSource->reset();
        --FFocusEventLock;
    }
    if (loaded)
        CheckResultRowLimit(qrySupplies->RecordCount());
    else
        ShowError(FormatMessage(DataLoadFailed, {failure}));
}

bool TMRPSuppliesFrame::CheckSchemeState(bool ARefreshData)
{
    if (FPlanSchemeUIEvents.CheckState)
        return FPlanSchemeUIEvents.CheckState(ARefreshData);
    // Without an owner's check the scheme's own reload decides.
    return !FPlanScheme || FPlanScheme->CheckState();
}

void TMRPSuppliesFrame::NotifyStateChanged()
{
    if (FPlanSchemeUIEvents.RefreshState) {
        FPlanSchemeUIEvents.RefreshState(this);
        return;
    }
    if (FPlanScheme)
        FPlanScheme->LoadState();
    RefreshPlanState();
}

void TMRPSuppliesFrame::SwitchEditMode(bool AEditMode)
{
    if (AEditMode == FEditMode)
        return;
    if (AEditMode && !CheckSchemeState(true))
        return;
    kvui::BandedGrid* g = grdSupplies;
    TMRPWaitCursor hourglass;
    g->beginUpdate();
    struct EndUpdate {
        kvui::BandedGrid* grid;
        ~EndUpdate()
        {
            if (grid->updateLockCount() > 0)
                grid->endUpdate();
        }
    } endUpdate{g};

    SetEditMode(AEditMode);
    Modified = false;
    if (FPlanScheme)
        FPlanScheme->Editing = AEditMode;
    const QString position = GetViewPosition();
    g->cancelEdit();
    g->setDataSource(nullptr);
    if (AEditMode) {
        StoreViewScheme();
        for (kvui::Column* column : g->groupedColumns())
            column->setVisible(true);
        g->clearGrouping();
        g->clearSorting();
        g->setShowFooter(false);
        for (kvui::Column* column : {colSupBillType, colSupQty, colSupAdjQty})
            column->setVisible(true);
    }
    g->setEditingEnabled(AEditMode);
    FDataSource->setReadOnly(!AEditMode);
    g->setShowGroupByBox(!AEditMode);
    g->setSortingEnabled(!AEditMode);
    cboPlanType->setVisible(!AEditMode);
    lblPlanState->setVisible(!AEditMode);
    if (!AEditMode)
        ApplyViewScheme();

    ++FFocusEventLock;
    try {
        RefreshData(true);
    } catch (...) {
        g->setDataSource(FDataSource);
        --FFocusEventLock;
        throw;
    }
    g->setDataSource(FDataSource);
    g->endUpdate();
    SetViewPosition(position);
    --FFocusEventLock;
    DoFocusedRecordChanged();
}

bool TMRPSuppliesFrame::IsCellEditable(int ARecord, kvui::Column* AColumn) const
{
    if (!AColumn || ARecord < 0)
        return false;
    const int type = intOf(SupplyValue(ARecord, QStringLiteral("SupBillType")));
    const bool quantityOrType = AColumn == colSupBillType || AColumn == colSupQty || AColumn == colSupAdjQty;
    const bool bomUnlocked = !boolOf(SupplyValue(ARecord, QStringLiteral("SupBomLocked")));
    switch (type) {
    case btPlannedProduction:
    case btPlannedOutsourcing:
        return quantityOrType || (AColumn == colSupBOM && bomUnlocked);
    case btPlannedPurchase:
        return quantityOrType;
    case 34:
    case 36:
        return AColumn == colSupBOM && bomUnlocked;
    default:
        return false;
    }
}

bool TMRPSuppliesFrame::grvSuppliesEditing(int ARecord, kvui::Column* AColumn)
{
    if (!IsCellEditable(ARecord, AColumn))
        return false;
    FOldValue = grdSupplies->value(ARecord, AColumn);
    if (AColumn == colSupBOM)
        colSupBOMGetPropertiesForEdit(ARecord);
    return true;
}

void TMRPSuppliesFrame::colSupBOMGetPropertiesForEdit(int ARecord)
{
    kvui::ImageComboProperties& p = *FBomNoEditProperties;
    p.items.clear();
    const QString sql = QStringLiteral("exec QZ_MRP_GetBOMForItem @ItemID=%1, @ItemProps=%2, @DrawDate='%3'")
                            .arg(QuotedStr(textOf(SupplyValue(ARecord, QStringLiteral("SupItmID")))),
                                 QuotedStr(textOf(SupplyValue(ARecord, QStringLiteral("SupItmProps")))),
                                 yyyymmdd(SupplyValue(ARecord, QStringLiteral("SupDrawDate"))));
    bool hasDefault = false;
    if (ExecSQLText(GlobalADOQuery, sql, true, false, true)) {
        for (; GlobalADOQuery->Active() && !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
            const QString no = GlobalADOQuery->FieldByName(QStringLiteral("BomNo"))->AsString();
            const bool isDefault = boolOf(GlobalADOQuery->FieldByName(QStringLiteral("BomIsDefault"))->Value());
            hasDefault = hasDefault || isDefault;
            p.addItem(no, isDefault ? no + DefaultBomMark : no);
        }
        GlobalADOQuery->Close();
    }
    if (!hasDefault)
        p.addItem(QString(), QString());
}

bool TMRPSuppliesFrame::LookupBom(int ARecord, const QString& AExtraArgs)
{
    const QString sql = QStringLiteral("exec QZ_MRP_GetBOMForItem @ItemID=%1, @ItemProps=%2, @DrawDate='%3', ")
                            .arg(QuotedStr(textOf(SupplyValue(ARecord, QStringLiteral("SupItmID")))),
                                 QuotedStr(textOf(SupplyValue(ARecord, QStringLiteral("SupItmProps")))),
                                 yyyymmdd(SupplyValue(ARecord, QStringLiteral("SupDrawDate"))))
        + AExtraArgs;
    if (!ExecSQLText(GlobalADOQuery, sql, true, false, true))
        return false;
    int bomType = 0;
    QString bomID, bomNo;
    if (GlobalADOQuery->Active() && !GlobalADOQuery->Eof()) {
        bomType = GlobalADOQuery->FieldByName(QStringLiteral("BomType"))->AsInteger();
        bomID = GlobalADOQuery->FieldByName(QStringLiteral("BomID"))->AsString();
        bomNo = GlobalADOQuery->FieldByName(QStringLiteral("BomNo"))->AsString();
    }
    GlobalADOQuery->Close();
    FDataSource->setFieldValue(ARecord, QStringLiteral("SupBomType"), bomType);
    FDataSource->setFieldValue(ARecord, QStringLiteral("SupBomID"), bomID);
    FDataSource->setFieldValue(ARecord, QStringLiteral("BomNo"), bomNo);
    return true;
}

void TMRPSuppliesFrame::grvSuppliesEditValueChanged(int ARecord, kvui::Column* AColumn, const QVariant& AValue)
{
    if (!FEditMode || ARecord < 0)
        return;
    const bool same = (isNullValue(AValue) && isNullValue(FOldValue))
        || (!isNullValue(AValue) && !isNullValue(FOldValue) && AValue.toString() == FOldValue.toString());
    if (same)
        return;
    const QVariant former = FOldValue;
    FOldValue = AValue;
    Modified = true;

    kvui::DataSetSource* d = FDataSource;
    const auto field = [d](const char* name) { return QString::fromLatin1(name); };
    const auto loaded = [d, ARecord](const QString& name) {
        const int index = d->fieldIndex(name);
        return index < 0 ? QVariant() : d->oldValue(ARecord, index);
    };
    const auto value = [this, ARecord](const QString& name) { return SupplyValue(ARecord, name); };
    const auto set = [d, ARecord](const QString& name, const QVariant& v) { d->setFieldValue(ARecord, name, v); };

    // The first change of a supply records what it was as loaded.
    if (intOf(value(field("AdjSupIID"))) == 0) {
        set(field("AdjSupIID"), value(field("SupIID")));
        set(field("AdjOldType"), loaded(field("SupBillType")));
        set(field("AdjOldBomID"), loaded(field("SupBomID")));
        set(field("AdjOldQty"), loaded(field("SupAdjQty")));
    }

    // The run's hint text spreads the quantity it planned (SupBillQty), so the
    // shown spread is that text moved by the adjustment.
    const auto restAndHints = [&](double qty) {
        const double rest = round8(qty - numberOf(value(field("SupAllotQty"))));
        set(field("SupRestQty"), rest);
        set(field("SupHints"), AdjustSupplyHints(textOf(value(field("SupPHints"))), numberOf(value(field("SupAdjQty")))));
    };
    if (AColumn == colSupBillType) {
        const int code = intOf(AValue);
        set(field("SupBillType"), code);
        if (code != btPlannedPurchase && textOf(value(field("SupBomID"))).isEmpty())
            LookupBom(ARecord, QStringLiteral("@OnlyDefault=1"));
    } else if (AColumn == colSupQty) {
        const double qty = round8(numberOf(AValue));
        set(field("SupQty"), qty);
        set(field("SupAdjQty"), round8(qty - numberOf(value(field("SupBillQty")))));
        restAndHints(qty);
    } else if (AColumn == colSupAdjQty) {
        const double adj = round8(numberOf(AValue));
        set(field("SupAdjQty"), adj);
        const double qty = round8(numberOf(value(field("SupBillQty"))) + adj);
        set(field("SupQty"), qty);
        restAndHints(qty);
    } else if (AColumn == colSupBOM) {
        const QString no = textOf(AValue).trimmed();
        if (no.isEmpty()) {
            set(field("SupBomType"), 0);
            set(field("SupBomID"), QString());
            set(field("BomNo"), QString());
        } else if (!LookupBom(ARecord, QStringLiteral("@BomNo=") + QuotedStr(no))) {
            // The row keeps the BOM it had.
            set(field("BomNo"), former);
            FOldValue = former;
        }
    }
    UpdateAdjPending(ARecord);
}

void TMRPSuppliesFrame::UpdateAdjPending(int ARecord)
{
    const auto value = [this, ARecord](const char* name) { return SupplyValue(ARecord, QString::fromLatin1(name)); };
    const int type = intOf(value("SupBillType"));
    const int oldType = intOf(value("AdjOldType"));
    const QString bomID = textOf(value("SupBomID")).trimmed();
    const QString oldBomID = textOf(value("AdjOldBomID")).trimmed();
    const bool a = type == btPlannedPurchase || bomID.isEmpty();
    const bool b = oldType == btPlannedPurchase || oldBomID.isEmpty();
    bool pending;
    if (a != b)
        pending = true;
    else if (a)
        pending = false;
    else
        pending = type != oldType || !sameQty(numberOf(value("SupAdjQty")), numberOf(value("AdjOldQty")))
            || bomID.compare(oldBomID, Qt::CaseInsensitive) != 0;
    FDataSource->setFieldValue(ARecord, QStringLiteral("AdjPending"), pending);
}

void TMRPSuppliesFrame::FocusFailedCell(int ARecord, kvui::Column* AColumn)
{
    kvui::BandedGrid* g = grdSupplies;
    FDataSource->setPendingOnly(false);
    g->setDataSource(FDataSource);
    while (g->updateLockCount() > 0)
        g->endUpdate();
    if (ARecord >= 0)
        g->setFocusedRecordIndex(ARecord);
    if (AColumn)
        g->setFocusedColumn(AColumn);
    g->setFocus();
    if (AColumn)
        g->startEdit(AColumn);
}

bool TMRPSuppliesFrame::SaveData()
{
    if (!FEditMode)
        return false;
    // 1. The scheme must still be as it was when editing began.
    if (!CheckSchemeState(false)) {
        SwitchEditMode(false);
        return false;
    }
    kvui::BandedGrid* g = grdSupplies;
    const QString position = GetViewPosition();
    g->postEdit();

    bool noteP = false, noteB = false, noteR = false;
    const QList<kvui::PendingRecord> pending = FDataSource->pendingRecords();

    // 2. Nothing is written while a plan quantity is below zero.
    for (const kvui::PendingRecord& r : pending) {
        const double qty = numberOf(r.value(QStringLiteral("SupQty")));
        if (qty < 0) {
            FocusFailedCell(r.record(), colSupQty);
            ShowWarning(FormatMessage(QtyBelowZero, {colSupQty->caption(), untMRPUtils::FloatToText(qty), QStringLiteral("0")}));
            return false;
        }
    }

    const int schemeIID = FPlanScheme ? FPlanScheme->SchemeIID : 0;
    const QString sid = QString::number(schemeIID);
    const QString check = QStringLiteral("\rselect @saveerror=@@error, @saverowcount=@@rowcount\rif @saveerror<>0 or "
                                         "@saverowcount=0\rbegin\rraiserror ('', 16, 1)\rreturn\rend\r");
    int failedRecord = -1;
    const auto run = [&](const QString& text) {
        return ExecSQLText(GlobalADOQuery, QStringLiteral("\rdeclare @saveerror int, @saverowcount int\r") + text, false,
                           false, true);
    };
    const auto schemeUpdate = [&] {
        return QStringLiteral("update QZ_MRP_Schemes set %1 SchMrpUpdTime=getdate(), SchMaxTime=getdate() where SchIID=%2")
            .arg(noteP ? QStringLiteral("SchState=%1,").arg(int(psMRPResultChanged)) : QString(), sid);
    };

    bool ok = true;
    {
        TMRPWaitCursor hourglass;
        g->beginUpdate();
        if (pending.isEmpty()) {
            // Only the time stamps; no state change.
            ok = run(schemeUpdate());
        } else {
            // Every row, the balance and the scheme in one transaction: a
            // failure anywhere leaves the account set as it was.
            const auto writer = [&](const QList<kvui::PendingRecord>& records) {
                QString text;
                int lastRecord = -1;
                for (const kvui::PendingRecord& r : records) {
                    const auto v = [&r](const char* name) { return r.value(QString::fromLatin1(name)); };
                    const int type = intOf(v("SupBillType"));
                    const double qty = numberOf(v("SupQty"));
                    const QString supIID = QString::number(intOf(v("SupIID")));
                    const bool pendingRow = boolOf(v("AdjPending"));
                    noteP = noteP || pendingRow;
                    noteB = noteB || (type != btPlannedPurchase && textOf(v("BomNo")).trimmed().isEmpty());
                    noteR = noteR || numberOf(v("SupRestQty")) < 0;

                    text += QStringLiteral(
                                "if exists (select * from QZ_MRP_SupAdjusts with(nolock) where AdjSchIID=%1 and AdjSupIID=%2)\r"
                                "update QZ_MRP_SupAdjusts set AdjPending=%3 where AdjSchIID=%1 and AdjSupIID=%2\relse\r"
                                "insert QZ_MRP_SupAdjusts (AdjSchIID, AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty, AdjPending) "
                                "values (%1, %2, %4, %5, %6, %3)")
                                .arg(sid, supIID, pendingRow ? QStringLiteral("1") : QStringLiteral("0"),
                                     QString::number(intOf(v("AdjOldType"))), QuotedStr(textOf(v("AdjOldBomID"))),
                                     untMRPUtils::SQLQty(numberOf(v("AdjOldQty"))));
                    text += check;
                    // The balance loses the stored quantity from the columns of the
                    // stored type and gains the new quantity in those of the new type.
                    const QString balance = QStringLiteral(
                        "update b set BalEndQty=BalEndQty-SupQty+%1:8.8f,BalQty=isnull(BalQty,0)-(case when SupBillType in "
                        "(%2:d, %3:d, %4:d) then SupQty else 0 end)+(case when %0:d in (%2:d, %3:d, %4:d) then %1:8.8f else "
                        "0 end),BalPPOQty=isnull(BalPPOQty,0)-(case when SupBillType=%2:d then SupQty else 0 end)+(case when "
                        "%0:d=%2:d then %1:8.8f else 0 end),BalPOOQty=isnull(BalPOOQty,0)-(case when SupBillType=%3:d then "
                        "SupQty else 0 end)+(case when %0:d=%3:d then %1:8.8f else 0 end),BalPMOQty=isnull(BalPMOQty,0)-(case "
                        "when SupBillType=%4:d then SupQty else 0 end)+(case when %0:d=%4:d then %1:8.8f else 0 end),"
                        "BalXQty=isnull(BalXQty,0)-(case when SupBillType in (%5:d, %6:d) then SupQty else 0 end)+(case when "
                        "%0:d in (%5:d, %6:d) then %1:8.8f else 0 end) from QZ_MRP_Balance as b join QZ_MRP_Supplies as s on "
                        "BalSchIID=SupSchIID and SupGroupType=BalGroupType and isnull(SupGroupNo,'')=isnull(BalGroupNo,'') "
                        "and BalItmID=SupItmID and isnull(BalItmProps,'')=isnull(SupItmProps,'') where SupSchIID=%7:d and "
                        "SupIID=%8:d");
                    text += FillPositionalArgs(QString(balance).replace(QStringLiteral("%1:8.8f"), QStringLiteral("%1:s")),
                                           {QString::number(type), untMRPUtils::SQLQty(qty), QString::number(btPlannedPurchase),
                                            QString::number(btPlannedOutsourcing), QString::number(btPlannedProduction),
                                            QStringLiteral("54"), QStringLiteral("44"), sid, supIID});
                    text += check;
                    text += QStringLiteral("update QZ_MRP_Supplies set SupBillType=%1, SupBomType=%2, SupBomID=%3, "
                                           "SupAdjQty=%4, SupQty=%5, SupRestQty=%6, SupHints=%7 where SupSchIID=%8 and "
                                           "SupIID=%9")
                                .arg(QString::number(type), QString::number(intOf(v("SupBomType"))),
                                     QuotedStr(textOf(v("SupBomID"))), untMRPUtils::SQLQty(numberOf(v("SupAdjQty"))),
                                     untMRPUtils::SQLQty(qty), untMRPUtils::SQLQty(numberOf(v("SupRestQty"))),
                                     QuotedStr(textOf(v("SupHints"))), sid, supIID);
                    text += check;
                    lastRecord = r.record();
                    if (text.size() > MaxBatchText) {
                        if (!run(text)) {
                            failedRecord = lastRecord;
                            return false;
                        }
                        text.clear();
                    }
                }
                if (!text.isEmpty() && !run(text)) {
                    failedRecord = lastRecord;
                    return false;
                }
                return run(schemeUpdate());
            };
            const kvui::DataSetSource::ApplyResult result = FDataSource->applyUpdates(GlobalADOConnection, writer);
            ok = result.ok;
            if (!ok && !result.error.isEmpty())
                ShowError(FormatMessage(UCommonText::GeneralError, {result.error}));
        }
        if (g->updateLockCount() > 0)
            g->endUpdate();
    }
    if (!ok) {
        FocusFailedCell(failedRecord >= 0 ? failedRecord : grdSupplies->focusedRecordIndex(), grdSupplies->focusedColumn());
        ShowError(SaveFailed);
        return false;
    }
    NotifyStateChanged();
    RefreshData(false);
    SetViewPosition(position);
    if (noteP || noteB || noteR) {
        QString text = SaveDone + QStringLiteral("\r\r") + SaveNotes;
        if (noteP)
            text += u'\r' + NotePending;
        if (noteB)
            text += u'\r' + NoteNoBom;
        if (noteR)
            text += u'\r' + NoteNegativeRest;
        ShowInfo(text);
    }
    return true;
}

bool TMRPSuppliesFrame::QueryClose()
{
    if (!TInfoGridView::QueryClose())
        return false;
    if (FEditMode && FPlanScheme)
        FPlanScheme->Editing = false;
    return true;
}

bool TMRPSuppliesFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex >= Commands::FirstAction) {
        AState = TCommandState();
        const int index = ACommandIndex - Commands::FirstAction;
        if (!ObjectDef || index >= int(ObjectDef->Actions.size()))
            return true;
        const QString id = ObjectDef->Actions[size_t(index)].ID;
        const bool hasScheme = FPlanScheme && FPlanScheme->SchemeIID != 0;
        const int state = hasScheme ? FPlanScheme->PlanState : 0;
        if (id.compare(QLatin1String("Update"), Qt::CaseInsensitive) == 0) {
            if (!hasScheme || state >= psReleased)
                return true;
            const int choice = cboPlanType->currentIndex();
            if ((FEditMode || !FPlanScheme->Editing) && state >= psMainDemandReady && choice != 7 && choice != 8)
                AState |= csEnabled;
            if (FEditMode)
                AState |= csChecked;
            return true;
        }
        if (id.compare(QLatin1String("MRP"), Qt::CaseInsensitive) == 0) {
            if (hasScheme && !FPlanScheme->Editing && FPlanSchemeUIEvents.RunMRP
                && (state == psMainDemandChanged || state == psSchemeChangedRerun || state == psMRPResultChanged))
                AState |= csEnabled;
            return true;
        }
        return TInfoGridView::QueryCommandState(ACommandIndex, AState);
    }
    return TInfoGridView::QueryCommandState(ACommandIndex, AState);
}

bool TMRPSuppliesFrame::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex >= Commands::FirstAction) {
        const int index = ACommandIndex - Commands::FirstAction;
        if (!ObjectDef || index >= int(ObjectDef->Actions.size()))
            return true;
        const QString id = ObjectDef->Actions[size_t(index)].ID;
        if (id.compare(QLatin1String("Update"), Qt::CaseInsensitive) == 0) {
            if (FEditMode && Modified && !AskSaveEdits())
                return true;
            SwitchEditMode(!FEditMode);
            return true;
        }
        if (id.compare(QLatin1String("MRP"), Qt::CaseInsensitive) == 0) {
            if (FPlanSchemeUIEvents.RunMRP)
                FPlanSchemeUIEvents.RunMRP(this);
            return true;
        }
        return TInfoGridView::ExecCommand(ACommandIndex);
    }
    return TInfoGridView::ExecCommand(ACommandIndex);
}

void TMRPSuppliesFrame::CalcSummary(kvui::SummaryState& AState, const QVariant& AValue, bool& ADone)
{
    if (AState.column && AState.column->tag() > 0 && !FPeriodQtySummary) {
        ADone = true;
        return;
    }
    TInfoGridView::CalcSummary(AState, AValue, ADone);
}

void TMRPSuppliesFrame::FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool,
                                              QColor& AOutBrush, QFont&, QColor& AOutTextColor)
{
    if (ARecord.kind != kvui::RowRef::Data || ARecord.record < 0 || !AItem)
        return;
    const int record = ARecord.record;
    if (AItem->tag() > 0) {
        if (FPlanScheme
            && FindPlanPeriodIndex(FPlanScheme->MrpPeriods, VariantToDayNumber(SupplyValue(record, QStringLiteral("SupDate"))))
                == AItem->tag() - 1)
            AOutBrush = ASelected ? QColor(0x00, 0xC0, 0xC0) : QColor(0xC2, 0xFF, 0xFF);
    } else if (grdSupplies->editingEnabled() && AItem->isEditable() && IsCellEditable(record, AItem)) {
        AOutBrush = ASelected ? QColor(0xC0, 0xC0, 0x00) : QColor(0xFF, 0xFF, 0xC2);
    }
    const int type = intOf(SupplyValue(record, QStringLiteral("SupBillType")));
    static const int bomTypes[] = {22, 24, 34, 36, 42, 44, 52, 54, 62, 64, 66};
    if (std::find(std::begin(bomTypes), std::end(bomTypes), type) != std::end(bomTypes)
        && textOf(SupplyValue(record, QStringLiteral("BomNo"))).trimmed().isEmpty()
        && numberOf(SupplyValue(record, QStringLiteral("SupQty"))) > 0) {
        AOutTextColor = QColor(0xFF, 0x00, 0x00);
        return;
    }
    if (ASelected)
        return;
    const double adj = numberOf(SupplyValue(record, QStringLiteral("SupAdjQty")));
    if (adj < 0)
        AOutTextColor = QColor(0xFF, 0x00, 0xFF);
    else if (adj > 0)
        AOutTextColor = QColor(0x00, 0x00, 0xFF);
}
