#include "famMRPMain.h"

#include "EscapeKey.h"
#include "untMRPViewUtils.h"
#include "DataSetSource.h"
#include "DisplayFormat.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "untApplication.h"
#include "dlgMRPMainAdj.h"
#include "untCommonUI.h"
#include "untMRPCalendar.h"
#include "untMRPUtils.h"

#include <QApplication>
#include <QDate>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <cmath>
#include <exception>

using untMRPUtils::FloatToText;
using untMRPUtils::PeriodKey;
using untMRPUtils::PeriodKeyToIndex;
using untMRPUtils::QuoteSQL;
using untMRPUtils::SQLQty;

namespace {

const QString QtyFormat = QStringLiteral("###,###,###,##0.########");
const QString CRLF = QStringLiteral("\r\n");
const QString DumbField = QStringLiteral("DumbQty");
constexpr int FreeNeed = 12;

bool sameQty(double a, double b)
{
    return std::fabs(a - b) < 1e-9;
}

double qtyOf(const QVariant& v)
{
    return !v.isValid() || v.isNull() ? 0.0 : v.toDouble();
}

int intOf(const QVariant& v, int ANull = 0)
{
    return !v.isValid() || v.isNull() ? ANull : v.toInt();
}

TDateTime dayOf(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return 0;
    static const QDate base(1899, 12, 30);
    if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate)
        return double(base.daysTo(v.toDateTime().date()));
    if (v.typeId() == QMetaType::QString) {
        QDate d = QDate::fromString(v.toString().left(10), Qt::ISODate);
        if (!d.isValid())
            d = QDate::fromString(v.toString().left(8), QStringLiteral("yyyyMMdd"));
        return d.isValid() ? double(base.daysTo(d)) : std::floor(v.toDouble());
    }
    return std::floor(v.toDouble());
}

QString dayText(TDateTime day, const QString& format)
{
    return QDate(1899, 12, 30).addDays(qint64(day)).toString(format);
}

// A spread text as key -> quantity, in key order.
std::map<QString, double> readHints(const QString& AHints)
{
    std::map<QString, double> out;
    for (const QString& line : AHints.split(CRLF, Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        out[line.left(eq).trimmed().toUpper()] += untMRPUtils::TextToFloat(line.mid(eq + 1));
    }
    return out;
}

QString writeHints(const std::map<QString, double>& AHints)
{
    QString out;
    for (const auto& [key, qty] : AHints)
        if (!sameQty(qty, 0))
            out += key + u'=' + FloatToText(qty) + CRLF;
    return out;
}

double hintValue(const std::map<QString, double>& AHints, const QString& AKey)
{
    const auto it = AHints.find(AKey);
    return it == AHints.end() ? 0.0 : it->second;
}

// The record a source of the grid edits; typed period text reaches the view
// as text instead of being stored in the always-null period field.
class MainDataSource : public TLimitedDataSetSource {
public:
    using TLimitedDataSetSource::TLimitedDataSetSource;
    std::function<void(int, const QString&)> onPeriodText;
    int fieldType(int field) const override
    {
        if (fieldName(field) == DumbField)
            return QMetaType::QString;
        return kvui::DataSetSource::fieldType(field);
    }
    bool setValue(int record, int field, const QVariant& value) override
    {
        if (fieldName(field) == DumbField) {
            if (onPeriodText)
                onPeriodText(record, value.toString());
            return true;
        }
        return kvui::DataSetSource::setValue(record, field, value);
    }
};

struct ColumnDef {
    const char* field;
    const char* caption;
    int band;
};

const ColumnDef Columns[] = {
    {"ManPriority", "优先级", 0}, {"ManBillType", "类型", 0}, {"ManBillNo", "需求单号", 0},
    {"ManDate", "需求日期", 0}, {"ItmNo", "物料代码", 0},
    {"ItmName", "物料名称", 1}, {"ItmSpec", "规格型号", 1}, {"ManNote", "备注", 1}, {"BomNo", "BOM单", 1},
    {"ManBillEntry", "需求行", 1}, {"DeptName", "需求单位", 1}, {"OrigType", "主需求", 1}, {"OrigNo", "主需求号", 1},
    {"OrigCust", "主需求客户", 1}, {"OrigCustPO", "主需求客户单号", 1}, {"OrigItmNo", "主需求物料代码", 1},
    {"OrigItmName", "主需求物料名称", 1}, {"OrigItmSpec", "主需求规格型号", 1}, {"ManOrigTag", "需求分类号", 1},
    {"ManOrigSubTag", "子件需求分类号", 1}, {"ManGroupType", "MRP分组", 1}, {"ManGroupNo", "MRP分组号", 1},
    {"ManBillDate", "单据日期", 1}, {"ManBillQty", "单据数量", 1}, {"ManExeQty", "执行数量", 1},
    {"ManDedQty", "冲销数量", 1}, {"UntName", "单位", 1}, {"ItmPlanner", "计划员", 1}, {"ItmBuyer", "采购员", 1},
    {"LastBillQty", "最新单据数", 1}, {"LastExeQty", "最新执行数", 1}, {"LastDedQty", "最新冲销数", 1},
    {"LastNeedQty", "最新需求数", 1},
    {"ManNeedQty", "需求数量", 3}, {"ManAdjQty", "调整数量", 3}, {"ManQty", "计划数量", 3}, {"LastStatus", "最新需求状态", 3},
    {"ManSchIID", "", 1}, {"ManIID", "", 1}, {"ManHints", "", 1}, {"ManItmProps", "辅助项", 1}, {"PropMask", "", 1},
};

const char* const EditableFields[] = {"ManPriority", "ManDate", "ItmNo", "ManOrigTag", "ManOrigSubTag",
                                      "ManGroupType", "ManGroupNo", "ManNote"};

QString errorText(const std::exception& e)
{
    return QStringLiteral("程序执行出现错误!\r\r原因: %1").arg(QString::fromUtf8(e.what()));
}

} // namespace

TMRPMainFrame::TMRPMainFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TInfoGridView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("MRPMainFrame"));
    FDynamicColumns.reset();

    qryMain = new TADOQuery(this);
    qryMain->setObjectName(QStringLiteral("qryMain"));
    SetupADOQuery(qryMain);
    qryMain->SetConnection(GlobalADOConnection);
    qryMain->CommandTimeout = 600;

    grdMain = new kvui::BandedGrid(this);
    grdMain->setObjectName(QStringLiteral("grdMain"));
    lblPlanState = new QLabel(QStringLiteral("最新状态:"), this);
    lblPlanState->setObjectName(QStringLiteral("lblPlanState"));
    lblPlanState->setAttribute(Qt::WA_TranslucentBackground);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(lblPlanState);
    top->addSpacing(25);
    box->addLayout(top);
    box->addWidget(grdMain);
    lblPlanState->clear();

    auto* source = new MainDataSource(qryMain);
    source->onPeriodText = [this](int record, const QString& text) {
        kvui::Column* c = grdMain->focusedColumn();
        if (c && c->tag() > 0)
            SetPeriodText(record, c->tag() - 1, text);
    };
    source->setReadOnly(true);
    FDataSource = source;

    kvui::BandedGrid* g = grdMain;
    g->beginUpdate();
    g->setDataSource(FDataSource);
    g->setShowIndicator(true);
    g->setShowGroupByBox(true);
    g->setEditingEnabled(false);
    g->setMultiSelect(true);
    g->setShowBandHeaders(true);
    AddPeriodGridBands(g);
    for (const ColumnDef& def : Columns) {
        kvui::Column* c = g->addColumn(QString::fromUtf8(def.caption), QString::fromLatin1(def.field), def.band);
        c->setObjectName(QStringLiteral("col") + QString::fromLatin1(def.field));
        c->setEditable(false);
        c->setTag(-100);
        if (QString::fromUtf8(def.caption).isEmpty())
            c->setVisible(false);
    }
    for (int k = 1; k <= 10; ++k) {
        kvui::Column* c = g->addColumn(QStringLiteral("辅助项%1").arg(k), QStringLiteral("ManItmProp%1").arg(k), 1);
        c->setObjectName(QStringLiteral("colManItmProp%1").arg(k));
        c->setTag(-100 - k);
        c->setVisible(false);
    }
    FieldColumn(QStringLiteral("ManItmProps"))->setVisible(false);
    for (const char* f : EditableFields)
        FieldColumn(QString::fromLatin1(f))->setEditable(true);
    FieldColumn(QStringLiteral("ManPriority"))->setEditor(CenterAlignedTextItem());
    // A free need's item is picked from the enabled items by number, name or
    // size and model; the picked number goes through the same look-up as a typed one.
    FPickEditProperties = std::make_shared<TPickEditProperties>();
    FPickEditProperties->RefQuery = GlobalADOQuery;
    FPickEditProperties->SQL = QStringLiteral(
        "select [物料代码]=ItmNo, [物料名称]=ItmName, [规格型号]=ItmSpec, [物料属性]=ItmTypeName from "
        "QZ_Base_ItemMaster with(nolock) where (ItmNo like '%%'+%0:s+'%%' or ItmName like '%%'+%0:s+'%%' or "
        "ItmSpec like '%%'+%0:s+'%%') and ItmDisabled=0 order by ItmNo");
    FPickEditProperties->TextField = QStringLiteral("物料代码");
    FieldColumn(QStringLiteral("ItmNo"))->setEditor(FPickEditProperties);
    FGroupTypeProperties = std::make_shared<kvui::ImageComboProperties>();
    FGroupTypeProperties->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int value : {0, 9})
        FGroupTypeProperties->addItem(value, InfoApplication->GetSystemEnumName(QStringLiteral("MrpGroupType"), value));
    FieldColumn(QStringLiteral("ManGroupType"))->setEditor(FGroupTypeProperties);
    g->endUpdate();

    g->setEditingHook([this](const kvui::RowRef& row, kvui::Column* c) {
        if (row.kind != kvui::RowRef::Data || !CanEditCell(row.record, c))
            return false;
        FOldValue = c->valueHook ? c->valueHook(row) : FDataSource->value(row.record, FDataSource->fieldIndex(c->fieldName()));
        return true;
    });
    connect(g, &kvui::BandedView::cellEdited, this,
            [this](int row, kvui::Column* c, const QVariant&, const QVariant& value) {
                if (!EditMode() || c->tag() > 0)
                    return;
                if (value != FOldValue) {
                    FOldValue = value;
                    Modified = true;
                    if (c->fieldName() == QStringLiteral("ItmNo"))
                        ItemChanged(grdMain->row(row).record);
                }
            });
    connect(g, &kvui::BandedView::cellDoubleClicked, this, [this](int row, kvui::Column* c) {
        if (EditMode() && c && c->tag() > 0 && grdMain->row(row).kind == kvui::RowRef::Data)
            TogglePeriodCell(grdMain->row(row).record, c->tag() - 1);
    });
    g->installEventFilter(this);
    // In-place editors are made on the viewport: each one gets the Space key
    // filter of the grid too.
    g->viewport()->installEventFilter(this);
    ViewComponent = grdMain;
}

TMRPMainFrame::~TMRPMainFrame()
{
    // A view that goes while editing gives the scheme free for the other tabs.
    if (EditMode() && FPlanScheme)
        FPlanScheme->Editing = false;
    ++FFocusEventLock;
    if (grdMain) {
        grdMain->removeEventFilter(this);
        grdMain->disconnect(this);
        grdMain->setDataSource(nullptr);
    }
    delete FDataSource;
}

kvui::Column* TMRPMainFrame::FieldColumn(const QString& AFieldName) const
{
    for (kvui::Column* c : grdMain->columns())
        if (c->tag() <= 0 && c->fieldName().compare(AFieldName, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

void TMRPMainFrame::SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection, const TPlanSchemeUIEvents& AEvents)
{
    FPlanScheme = APlanScheme;
    FPlanSchemeUIEvents = AEvents;
    qryMain->Close();
    FDataSource->reset();
    qryMain->SetConnection(AConnection ? AConnection : GlobalADOConnection);
    BuildPeriodColumns();
    DataIsFresh = false;
}

void TMRPMainFrame::BuildPeriodColumns()
{
    kvui::BandedGrid* g = grdMain;
    g->beginUpdate();
    for (auto it = FPeriodCols.rbegin(); it != FPeriodCols.rend(); ++it)
        if (auto* column = qobject_cast<kvui::Column*>(it->Column))
            g->removeColumn(column);
    FPeriodCols.clear();
    const TPlanPeriods periods = FPlanScheme ? FPlanScheme->MpsPeriods : TPlanPeriods();
    FPeriodCols.resize(periods.size());
    for (int i = 0; i < int(periods.size()); ++i) {
        kvui::Column* column = g->addColumn(BuildPlanPeriodCaptions(periods, i), DumbField, 2);
        column->setObjectName(QStringLiteral("colPeriod%1").arg(i));
        column->setEditable(true);
        column->setMovable(false);
        column->setFilterable(false);
        column->setGroupable(false);
        column->setWidth(70);
        column->setTag(i + 1);
        column->setEditor(RightAlignedTextItem());
        column->valueHook = [this, i](const kvui::RowRef& row) {
            if (row.kind != kvui::RowRef::Data)
                return QVariant();
            const double v = PeriodQty(row.record, i);
            return sameQty(v, 0) ? QVariant() : QVariant(v);
        };
        column->displayTextHook = [](const kvui::RowRef&, const QVariant& value, QString& text) {
            text = !value.isValid() || value.isNull() || sameQty(value.toDouble(), 0) ? QString()
                                                                                        : kvui::formatFloat(QtyFormat, value.toDouble());
        };
        FPeriodCols[size_t(i)] = TPlanPeriodCol{i, column};
    }
    CopyQtySummaryToPeriods();
    g->endUpdate();
}

void TMRPMainFrame::CopyQtySummaryToPeriods()
{
    kvui::Column* qty = FieldColumn(QStringLiteral("ManQty"));
    const kvui::SummaryItem footer = qty->footerSummary();
    const kvui::SummaryItem group = qty->groupSummary();
    FPeriodQtySummary = footer.kind != kvui::SummaryKind::None;
    for (const TPlanPeriodCol& pc : FPeriodCols) {
        auto* column = qobject_cast<kvui::Column*>(pc.Column);
        if (!column)
            continue;
        column->setFooterSummary(FPeriodQtySummary ? footer.kind : kvui::SummaryKind::None, footer.format);
        column->setGroupSummary(FPeriodQtySummary ? group.kind : kvui::SummaryKind::None, group.format);
    }
}

void TMRPMainFrame::ApplyViewScheme()
{
    TInfoGridView::ApplyViewScheme();
    CopyQtySummaryToPeriods();
}

void TMRPMainFrame::CalcSummary(kvui::SummaryState& AState, const QVariant& AValue, bool& ADone)
{
    TInfoGridView::CalcSummary(AState, AValue, ADone);
}

int TMRPMainFrame::RowCount() const
{
    return qryMain->Active() ? FDataSource->recordCount() : 0;
}

QVariant TMRPMainFrame::RowValue(int ARecord, const QString& AFieldName) const
{
    if (ARecord < 0 || ARecord >= RowCount())
        return QVariant();
    return FDataSource->fieldValue(ARecord, AFieldName);
}

bool TMRPMainFrame::SetRowValue(int ARecord, const QString& AFieldName, const QVariant& AValue)
{
    return FDataSource->setFieldValue(ARecord, AFieldName, AValue);
}

int TMRPMainFrame::PeriodOfRow(int ARecord) const
{
    return FPlanScheme ? FindPlanPeriodIndex(FPlanScheme->MpsPeriods, dayOf(RowValue(ARecord, QStringLiteral("ManDate"))))
                       : -1;
}

double TMRPMainFrame::PeriodQty(int ARecord, int APeriodIndex) const
{
    const QString hints = RowValue(ARecord, QStringLiteral("ManHints")).toString().trimmed();
    if (hints.isEmpty()) {
        const double qty = qtyOf(RowValue(ARecord, QStringLiteral("ManQty")));
        return PeriodOfRow(ARecord) == APeriodIndex ? qty : 0.0;
    }
    return hintValue(readHints(hints), PeriodKey(APeriodIndex));
}

void TMRPMainFrame::SetPeriodText(int ARecord, int APeriodIndex, const QString& AText)
{
    QString text = AText;
    text.remove(u' ');
    if (text.isEmpty())
        text = QStringLiteral("0");
    bool ok = false;
    double q = QLocale().toDouble(text, &ok);
    if (!ok)
        q = untMRPUtils::TextToFloat(text, &ok);
    if (!ok || q < 0)
        return;
    const QString manQty = QStringLiteral("ManQty");
    const int d = PeriodOfRow(ARecord);
    QString h = RowValue(ARecord, QStringLiteral("ManHints")).toString().trimmed();
    double qty = qtyOf(RowValue(ARecord, manQty));
    const double need = qtyOf(RowValue(ARecord, QStringLiteral("ManNeedQty")));
    if (h.isEmpty() && APeriodIndex == d) {
        SetRowValue(ARecord, manQty, q);
        SetRowValue(ARecord, QStringLiteral("ManAdjQty"), q - need);
        Modified = true;
        return;
    }
    std::map<QString, double> spread = readHints(h);
    if (h.isEmpty() && !sameQty(qty, 0) && d >= 0)
        spread[PeriodKey(d)] = qty;
    const QString key = PeriodKey(APeriodIndex);
    const double o = hintValue(spread, key);
    qty += q - o;
    if (sameQty(q, 0))
        spread.erase(key);
    else
        spread[key] = q;
    SetRowValue(ARecord, manQty, qty);
    SetRowValue(ARecord, QStringLiteral("ManAdjQty"), qty - need);
    const QString newHints = d >= 0 && sameQty(hintValue(spread, PeriodKey(d)), qty) ? QString() : writeHints(spread);
    SetRowValue(ARecord, QStringLiteral("ManHints"), newHints);
    Modified = true;
}

void TMRPMainFrame::TogglePeriodCell(int ARecord, int APeriodIndex)
{
    const QString h = RowValue(ARecord, QStringLiteral("ManHints")).toString();
    if (h.count(u'=') > 1 || !sameQty(PeriodQty(ARecord, APeriodIndex), 0))
        return;
    const int d = PeriodOfRow(ARecord);
    const double qty = qtyOf(RowValue(ARecord, QStringLiteral("ManQty")));
    SetRowValue(ARecord, QStringLiteral("ManHints"),
                APeriodIndex == d ? QString() : PeriodKey(APeriodIndex) + u'=' + FloatToText(qty) + CRLF);
    Modified = true;
}

bool TMRPMainFrame::CanEditCell(int ARecord, kvui::Column* AColumn) const
{
    if (!EditMode() || !AColumn || ARecord < 0)
        return false;
    const bool free = intOf(RowValue(ARecord, QStringLiteral("ManBillType")), FreeNeed) == FreeNeed;
    const int tag = AColumn->tag();
    if (tag < -100) {
        const int k = -tag - 100;
        return free && RowValue(ARecord, QStringLiteral("PropMask")).toString().mid(k - 1, 1) == QStringLiteral("1");
    }
    const QString f = AColumn->fieldName();
    for (const char* name : {"ManDate", "ItmNo", "BomNo", "ManOrigTag", "ManOrigSubTag", "ManGroupType"})
        if (f == QLatin1String(name))
            return free;
    if (f == QStringLiteral("ManGroupNo"))
        return free && intOf(RowValue(ARecord, QStringLiteral("ManGroupType"))) != 0;
    return true;
}

void TMRPMainFrame::ItemChanged(int ARecord)
{
    const QString itmNo = RowValue(ARecord, QStringLiteral("ItmNo")).toString();
    const QString sql = QStringLiteral(
        "select i.ItmID, ItmNo, ItmName, ItmSpec, u.UntName, Planner=ep.EmpName, Buyer=eb.EmpName,"
        "PropMask=cast(i.ItmHasProp1 as char(1))+cast(i.ItmHasProp2 as char(1))+cast(i.ItmHasProp3 as char(1))+"
        "cast(i.ItmHasProp4 as char(1))+cast(i.ItmHasProp5 as char(1))+cast(i.ItmHasProp6 as char(1))+"
        "cast(i.ItmHasProp7 as char(1))+cast(i.ItmHasProp8 as char(1))+cast(i.ItmHasProp9 as char(1))+"
        "cast(i.ItmHasProp10 as char(1)) from QZ_Base_ItemMaster as i with(nolock) left join QZ_Base_Unit as u "
        "with(nolock) on ItmUnitID=u.UntID left join QZ_MRP_ItemSetting as t with(nolock) on i.ItmID=t.ItmID "
        "left join QZ_Base_Employee as ep with(nolock) on t.ItmPlannerID=ep.EmpID left join QZ_Base_Employee as eb "
        "with(nolock) on t.ItmBuyerID=eb.EmpID where ItmNo=") + QuoteSQL(itmNo) + QStringLiteral(" and ItmDisabled=0");
    const bool found = ExecSQLText(GlobalADOQuery, sql, true, false, true) && !GlobalADOQuery->Eof();
    const auto take = [&](const char* field) { return found ? GlobalADOQuery->FieldValues(QString::fromLatin1(field)) : QVariant(); };
    const QVariant mask = take("PropMask");
    const QList<std::pair<const char*, QVariant>> copies = {
        {"ManItmID", take("ItmID")}, {"ItmName", take("ItmName")}, {"ItmSpec", take("ItmSpec")},
        {"PropMask", mask}, {"UntName", take("UntName")}, {"ItmPlanner", take("Planner")}, {"ItmBuyer", take("Buyer")}};
    for (const auto& [field, value] : copies)
        if (FDataSource->fieldIndex(QString::fromLatin1(field)) >= 0)
            SetRowValue(ARecord, QString::fromLatin1(field), value);
    if (found)
        SetRowValue(ARecord, QStringLiteral("ItmNo"), take("ItmNo"));
    const QString m = mask.toString();
    for (int k = 1; k <= 10; ++k)
        if (m.mid(k - 1, 1) != QStringLiteral("1"))
            SetRowValue(ARecord, QStringLiteral("ManItmProp%1").arg(k), QVariant());
}

void TMRPMainFrame::AddNeed()
{
    const int record = FDataSource->appendRecord({{QStringLiteral("ManBillType"), FreeNeed},
                                                  {QStringLiteral("ManGroupType"), 0}});
    if (record < 0)
        return;
    Modified = true;
    grdMain->refresh();
    for (int r = 0; r < grdMain->rowCount(); ++r)
        if (grdMain->row(r).kind == kvui::RowRef::Data && grdMain->row(r).record == record) {
            grdMain->setFocusedRow(r);
            break;
        }
    grdMain->setFocusedColumn(FieldColumn(QStringLiteral("ManDate")));
    grdMain->setFocus();
}

void TMRPMainFrame::DelNeed()
{
    if (ShowQuestion(QStringLiteral("您所选的项目将被删除, 确定?"), 257) != 1)
        return;
    QList<int> records;
    for (int r : grdMain->selectedRows())
        if (grdMain->row(r).kind == kvui::RowRef::Data)
            records << grdMain->row(r).record;
    if (records.isEmpty() && grdMain->focusedRow() >= 0 && grdMain->row(grdMain->focusedRow()).kind == kvui::RowRef::Data)
        records << grdMain->row(grdMain->focusedRow()).record;
    for (int record : records) {
        const QVariant iid = RowValue(record, QStringLiteral("ManIID"));
        if (iid.isValid() && !iid.isNull())
            FDeleteIIDs += u',' + iid.toString();
    }
    Modified = true;
    FDataSource->deleteRecords(records);
    grdMain->refresh();
    grdMain->setFocus();
}

bool TMRPMainFrame::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (AObject == grdMain->viewport() && AEvent->type() == QEvent::ChildAdded) {
        QObject* child = static_cast<QChildEvent*>(AEvent)->child();
        if (child && child->isWidgetType())
            child->installEventFilter(this);
    }
    const bool inEditor = grdMain->activeEditor() && AObject == grdMain->activeEditor();
    if ((AObject == grdMain || inEditor) && AEvent->type() == QEvent::KeyPress && EditMode()) {
        auto* key = static_cast<QKeyEvent*>(AEvent);
        if (key->key() == Qt::Key_Space && !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
            // A blank is never typed into this grid: Space drops the open
            // editor's text, toggles the period cell and opens the editor again.
            const bool wasEditing = grdMain->isEditing();
            grdMain->cancelEdit();
            kvui::Column* c = grdMain->focusedColumn();
            const int row = grdMain->focusedRow();
            if (c && c->tag() > 0 && row >= 0 && grdMain->row(row).kind == kvui::RowRef::Data) {
                TogglePeriodCell(grdMain->row(row).record, c->tag() - 1);
                grdMain->viewport()->update();
            }
            if (wasEditing)
                grdMain->startEdit(c);
            return true;
        }
    }
    return TInfoGridView::eventFilter(AObject, AEvent);
}

void TMRPMainFrame::RefreshPlanState()
{
    if (!FPlanScheme || FPlanScheme->SchemeIID == 0) {
        lblPlanState->clear();
        return;
    }
    lblPlanState->setText(u'(' + FPlanScheme->GetPlanStateText() + u')');
    const int s = FPlanScheme->PlanState;
    QPalette p = lblPlanState->palette();
    p.setColor(QPalette::WindowText, s == 1 || s == 3 || s == 4 || s == 5 ? QColor(255, 0, 0) : palette().color(QPalette::WindowText));
    lblPlanState->setPalette(p);
}

void TMRPMainFrame::RefreshData(bool ARebuild)
{
    TInfoGridView::RefreshData(ARebuild);
    if (!DataIsFresh || !FPlanScheme)
        return;
    ++FFocusEventLock;
    struct Unlock {
        TMRPMainFrame* view;
        ~Unlock()
        {
            view->FDataSource->reset();
            --view->FFocusEventLock;
        }
    } unlock{this};
    try {
        TMRPWaitCursor hourglass;
        RefreshPlanState();
        Modified = false;
        FDeleteIIDs.clear();
        QString required = QStringLiteral("ManBillNo|ManDate|ManQty|ManAdjQty");
        // The source bill's state colours every row, shown as a column or not.
        if (ObjectDef && ObjectDef->GetFieldDef(QStringLiteral("LastStatus")))
            required += QStringLiteral("|LastStatus");
        QString extra = QStringLiteral("s.ManHints, DumbQty=cast(null as decimal(28,8))");
        if (EditMode()) {
            required += QStringLiteral(
                "|ManBillType|ManPriority|ItmNo|ItmName|ItmSpec|ManNeedQty|ManNote|ManOrigTag|ManOrigSubTag|ManGroupType|"
                "ManGroupNo|ManItmProps|ManItmProp1|ManItmProp2|ManItmProp3|ManItmProp4|ManItmProp5|ManItmProp6|"
                "ManItmProp7|ManItmProp8|ManItmProp9|ManItmProp10|");
            extra += QStringLiteral(", s.ManItmID, s.ManBomType, s.ManBomID,");
            QStringList own = {QStringLiteral("ManItmProps")};
            for (int k = 1; k <= 10; ++k)
                own << QStringLiteral("ManItmProp%1").arg(k);
            own << QStringLiteral("ManOrigTag") << QStringLiteral("ManOrigSubTag") << QStringLiteral("ManGroupType")
                << QStringLiteral("ManGroupNo");
            for (const QString& f : own)
                if (!ObjectDef || !ObjectDef->GetFieldDef(f))
                    extra += QStringLiteral(" s.") + f + u',';
            extra += QStringLiteral(
                " PropMask=cast(i.ItmHasProp1 as char(1))+cast(i.ItmHasProp2 as char(1))+cast(i.ItmHasProp3 as char(1))"
                "+cast(i.ItmHasProp4 as char(1))+cast(i.ItmHasProp5 as char(1))+cast(i.ItmHasProp6 as char(1))"
                "+cast(i.ItmHasProp7 as char(1))+cast(i.ItmHasProp8 as char(1))+cast(i.ItmHasProp9 as char(1))"
                "+cast(i.ItmHasProp10 as char(1))");
        }
        QString sql = [&] {
            TRowCapForQuery cap; // one row more than the limit tells a cut list
            return BuildSelectSQL(required, extra, QStringLiteral("s.ManSchIID=%1").arg(FPlanScheme->SchemeIID),
                                  QStringLiteral("s.ManDate, s.ManPriority desc, s.ManBillType, i.ItmNo, s.ManBillNo"), true);
        }();
        if (EditMode()) {
            const QString order = ViewScheme.OrderBySQL.trimmed().isEmpty()
                ? QStringLiteral("ManDate, ManPriority, ManBillType, ItmNo, ManBillNo")
                : ViewScheme.OrderBySQL;
            // A table left by an earlier load that stopped half-way is dropped first.
            sql = QStringLiteral("if object_id('tempdb..#QZ_MRP_MainView') is not null drop table #QZ_MRP_MainView\r"
                                 "select * into #QZ_MRP_MainView from (")
                + sql + QStringLiteral(") as t\rselect * from #QZ_MRP_MainView with(nolock) order by ") + order
                + QStringLiteral("\rdrop table #QZ_MRP_MainView");
        }
        BuiltSQL = sql;
        qryMain->Close();
        ExecSQLText(qryMain, sql, true, true, false);
        CheckResultRowLimit(qryMain->RecordCount());
    } catch (const std::exception& e) {
        ShowError(QStringLiteral("读取数据失败!\r\r可能是数据库连接失败或您没有相应的权限.\r\r%1").arg(QString::fromUtf8(e.what())));
    }
}

QString TMRPMainFrame::ActionID(int ACommandIndex) const
{
    const int i = ACommandIndex - 100;
    if (!ObjectDef || i < 0 || i >= int(ObjectDef->Actions.size()))
        return QString();
    return ObjectDef->Actions[i].ID;
}

bool TMRPMainFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex < 100)
        return TInfoGridView::QueryCommandState(ACommandIndex, AState);
    AState = {};
    if (!FPlanScheme || FPlanScheme->SchemeIID == 0 || FPlanScheme->PlanState >= 8)
        return true;
    const QString id = ActionID(ACommandIndex).toLower();
    const bool editing = FPlanScheme->Editing;
    const int state = FPlanScheme->PlanState;
    bool enabled = false;
    if (id == QStringLiteral("mps"))
        enabled = !editing;
    else if (id == QStringLiteral("adjust"))
        enabled = !editing && (FPlanScheme->PlanSource != 3 || RowCount() > 0);
    else if (id == QStringLiteral("update")) {
        enabled = state >= 2 && (EditMode() || !editing);
        if (EditMode())
            AState |= csChecked;
    } else if (id == QStringLiteral("addneed"))
        enabled = EditMode();
    else if (id == QStringLiteral("delneed"))
        enabled = EditMode() && RowCount() > 0;
    else if (id == QStringLiteral("mrp"))
        enabled = !editing && state >= 2;
    if (enabled)
        AState |= csEnabled;
    return true;
}

bool TMRPMainFrame::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex < 100)
        return TInfoGridView::ExecCommand(ACommandIndex);
    const QString id = ActionID(ACommandIndex).toLower();
    if (id == QStringLiteral("mps")) {
        if (FPlanSchemeUIEvents.RunMPS)
            FPlanSchemeUIEvents.RunMPS(nullptr);
    } else if (id == QStringLiteral("adjust")) {
        AdjustDueDates();
    } else if (id == QStringLiteral("update")) {
        if (EditMode() && NeedSave()) {
            const int answer = ShowQuestion(
                QStringLiteral("您将退出[%1]的当前编辑状态, 对未保存过的内容进行保存?").arg(GetViewCaption()), 515);
            if (answer == 2 || (answer == 6 && !SaveData()))
                return true;
        }
        SetEditing(!EditMode());
    } else if (id == QStringLiteral("addneed")) {
        AddNeed();
    } else if (id == QStringLiteral("delneed")) {
        DelNeed();
    } else if (id == QStringLiteral("mrp")) {
        if (FPlanSchemeUIEvents.RunMRP)
            FPlanSchemeUIEvents.RunMRP(nullptr);
    }
    return true;
}

bool TMRPMainFrame::CheckSchemeState(bool ARefreshData)
{
    if (FPlanSchemeUIEvents.CheckState)
        return FPlanSchemeUIEvents.CheckState(ARefreshData);
    return FPlanScheme && FPlanScheme->CheckState();
}

void TMRPMainFrame::RefreshSchemeState()
{
    if (FPlanSchemeUIEvents.RefreshState)
        FPlanSchemeUIEvents.RefreshState(nullptr);
    else if (FPlanScheme) {
        FPlanScheme->LoadState();
        RefreshPlanState();
    }
}

void TMRPMainFrame::SetEditing(bool AValue)
{
    if (EditMode() == AValue || !FPlanScheme)
        return;
    if (AValue && !CheckSchemeState(true))
        return;
    TMRPWaitCursor hourglass;
    grdMain->cancelEdit();
    grdMain->beginUpdate();
    SetEditMode(AValue);
    Modified = false;
    FDeleteIIDs.clear();
    FPlanScheme->Editing = AValue;
    const QString position = GetViewPosition();
    if (AValue) {
        StoreViewScheme();
        grdMain->clearGrouping();
        grdMain->clearSorting();
        grdMain->setShowFooter(false);
        for (const char* f : {"ManBillType", "ManPriority", "ManDate", "ItmNo", "ItmName", "ItmSpec", "ManNote", "ManNeedQty",
                              "ManAdjQty", "ManQty"})
            if (kvui::Column* c = FieldColumn(QString::fromLatin1(f)))
                c->setVisible(true);
        for (int k = 1; k <= 10; ++k)
            if (ObjectDef && ObjectDef->GetFieldDef(QStringLiteral("ManItmProp%1").arg(k)))
                FieldColumn(QStringLiteral("ManItmProp%1").arg(k))->setVisible(true);
        for (const char* f : {"ManOrigTag", "ManOrigSubTag"}) {
            const auto* def = ObjectDef ? ObjectDef->GetFieldDef(QString::fromLatin1(f)) : nullptr;
            FieldColumn(QString::fromLatin1(f))->setVisible(def && !def->HideList);
        }
        kvui::Column* gt = FieldColumn(QStringLiteral("ManGroupType"));
        kvui::Column* gn = FieldColumn(QStringLiteral("ManGroupNo"));
        if (gt->isVisible() || gn->isVisible()) {
            gt->setVisible(true);
            gn->setVisible(true);
        }
    }
    grdMain->setEditingEnabled(AValue);
    FDataSource->setReadOnly(!AValue);
    grdMain->setShowGroupByBox(!AValue);
    grdMain->setSortingEnabled(!AValue);
    lblPlanState->setVisible(!AValue);
    if (!AValue)
        ApplyViewScheme();
    ++FFocusEventLock;
    RefreshData(true);
    --FFocusEventLock;
    grdMain->endUpdate();
    SetViewPosition(position);
    DoFocusedRecordChanged();
}

void TMRPMainFrame::FocusCell(int ARecord, kvui::Column* AColumn)
{
    for (int r = 0; r < grdMain->rowCount(); ++r)
        if (grdMain->row(r).kind == kvui::RowRef::Data && grdMain->row(r).record == ARecord) {
            grdMain->setFocusedRow(r);
            break;
        }
    if (AColumn) {
        grdMain->setFocusedColumn(AColumn);
        grdMain->startEdit(AColumn);
    }
}

// Checks every pending free need before anything is written; a failing row
// is focused with its column and the user told why.
bool TMRPMainFrame::CheckPendingRows()
{
    const TPlanPeriods& periods = FPlanScheme->MpsPeriods;
    const auto caption = [this](const char* f) { return FieldColumn(QString::fromLatin1(f))->caption(); };
    for (int record = 0; record < RowCount(); ++record) {
        const kvui::RecordStatus status = FDataSource->recordStatus(record);
        if (status != kvui::RecordStatus::Inserted && status != kvui::RecordStatus::Modified)
            continue;
        if (intOf(RowValue(record, QStringLiteral("ManBillType")), FreeNeed) != FreeNeed)
            continue;
        QString message;
        kvui::Column* column = nullptr;
        const auto fail = [&](const QString& text, const QString& field) {
            message = text;
            column = FieldColumn(field);
        };
        const QVariant date = RowValue(record, QStringLiteral("ManDate"));
        const TDateTime day = dayOf(date);
        const TDateTime begin = GetPlanBeginDate(periods), end = GetPlanEndDate(periods);
        const QString itmNo = RowValue(record, QStringLiteral("ItmNo")).toString().trimmed();
        const QString mask = RowValue(record, QStringLiteral("PropMask")).toString();
        const int groupType = intOf(RowValue(record, QStringLiteral("ManGroupType")));
        const double qty = qtyOf(RowValue(record, QStringLiteral("ManQty")));
        if (date.isNull() || day < std::floor(begin) || day > std::floor(end)) {
            fail(QStringLiteral("[%1]的值(%2)没有介于%3与%4之间!")
                     .arg(caption("ManDate"), date.isNull() ? QString() : dayText(day, QStringLiteral("yyyy-MM-dd")),
                          dayText(begin, QStringLiteral("yyyy-MM-dd")), dayText(end, QStringLiteral("yyyy-MM-dd"))),
                 QStringLiteral("ManDate"));
        } else if (itmNo.isEmpty()) {
            fail(QStringLiteral("[%1]的内容不能为空!").arg(caption("ItmNo")), QStringLiteral("ItmNo"));
        } else if (RowValue(record, QStringLiteral("ManItmID")).toString().isEmpty()) {
            fail(QStringLiteral("[%1]的值(%2)不存在!").arg(caption("ItmNo"), itmNo), QStringLiteral("ItmNo"));
        } else if (!mask.contains(u'1')) {
            SetRowValue(record, QStringLiteral("ManItmProps"), QString());
        } else {
            QStringList args = {QuoteSQL(RowValue(record, QStringLiteral("ManItmID")).toString())};
            for (int k = 1; k <= 10 && message.isEmpty(); ++k) {
                const QString field = QStringLiteral("ManItmProp%1").arg(k);
                const QString value = RowValue(record, field).toString();
                if (mask.mid(k - 1, 1) == QStringLiteral("1") && value.trimmed().isEmpty())
                    fail(QStringLiteral("[%1]的内容不能为空!").arg(FieldColumn(field)->caption()), field);
                args << QuoteSQL(value);
            }
            if (message.isEmpty()) {
                const bool ran = ExecSQLText(GlobalADOQuery, QStringLiteral("exec QZ_MRP_GetItemPropsID ") + args.join(QStringLiteral(", ")),
                                             true, false, true);
                const bool row = ran && GlobalADOQuery->Active() && !GlobalADOQuery->Eof();
                const QString id = row ? GlobalADOQuery->FieldValues(QStringLiteral("ID")).toString() : QString();
                const int err = row ? intOf(GlobalADOQuery->FieldValues(QStringLiteral("ErrNum"))) : 0;
                if (err > 0 && err <= 10) {
                    const QString field = QStringLiteral("ManItmProp%1").arg(err);
                    fail(QStringLiteral("[%1]的值(%2)无效!").arg(FieldColumn(field)->caption(), RowValue(record, field).toString()), field);
                } else if (id.trimmed().isEmpty())
                    fail(QStringLiteral("[%1]的内容不能为空!").arg(caption("ManItmProps")), QStringLiteral("ManItmProp1"));
                else
                    SetRowValue(record, QStringLiteral("ManItmProps"), id);
            }
        }
        if (message.isEmpty()) {
            if (groupType == 0)
                SetRowValue(record, QStringLiteral("ManGroupNo"), QString());
            else {
                const QString groupNo = RowValue(record, QStringLiteral("ManGroupNo")).toString().trimmed();
                SetRowValue(record, QStringLiteral("ManGroupNo"), groupNo);
                if (groupNo.isEmpty())
                    fail(QStringLiteral("[%1]的内容不能为空!").arg(caption("ManGroupNo")), QStringLiteral("ManGroupNo"));
                else if (!FieldColumn(QStringLiteral("ManOrigTag"))->isVisible())
                    SetRowValue(record, QStringLiteral("ManOrigTag"), groupNo);
            }
        }
        if (message.isEmpty() && !(qty > 0))
            fail(QStringLiteral("[%1]的值(%2)没有大于%3 !").arg(caption("ManQty"), FloatToText(qty), QStringLiteral("0")),
                 QStringLiteral("ManQty"));
        if (!message.isEmpty()) {
            FocusCell(record, column);
            ShowWarning(message);
            return false;
        }
    }
    return true;
}

bool TMRPMainFrame::SaveData()
{
    if (!FPlanScheme || !EditMode())
        return false;
    // A scheme changed on the server: its rows may have been rebuilt, so the edits go with the edit mode.
    if (!CheckSchemeState(false)) {
        SetEditing(false);
        return false;
    }
    const QString position = GetViewPosition();
    grdMain->postEdit();
    try {
        if (!CheckPendingRows())
            return false;
        if (FDataSource->pendingCount() == 0 && FDeleteIIDs.isEmpty())
            return true;
        const int sch = FPlanScheme->SchemeIID;
        const TPlanPeriods& periods = FPlanScheme->MpsPeriods;
        const auto q = [](const QVariant& v) { return QuoteSQL(v.toString()); };
        QString failure;
        const auto run = [&](const QString& sql) {
            if (ExecSQLText(GlobalADOQuery, sql, false, false, true))
                return true;
            failure = QStringLiteral("保存过程中出现意外错误, 操作被中止!");
            return false;
        };
        const kvui::DataSetSource::ApplyResult result = FDataSource->applyUpdates(
            GlobalADOConnection, [&](const QList<kvui::PendingRecord>& records) {
                if (!FDeleteIIDs.isEmpty()
                    && !run(QStringLiteral("delete QZ_MRP_Main where ManSchIID=%1 and ManIID in (%2)").arg(sch).arg(FDeleteIIDs.mid(1))))
                    return false;
                const QString tail = QStringLiteral("\rif @@error<>0\rreturn\r");
                QString batch;
                for (const kvui::PendingRecord& r : records) {
                    const auto v = [&](const char* f) { return r.value(QString::fromLatin1(f)); };
                    QStringList props;
                    for (int k = 1; k <= 10; ++k)
                        props << q(r.value(QStringLiteral("ManItmProp%1").arg(k)));
                    const TDateTime day = dayOf(v("ManDate"));
                    const QString period = QString::number(FindPlanPeriodIndex(periods, day));
                    if (r.status() == kvui::RecordStatus::Inserted) {
                        batch += QStringLiteral("select @iid=isnull(max(ManIID),0)+1 from QZ_MRP_Main with(nolock) where ManSchIID=%1\r").arg(sch)
                            + QStringLiteral("insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManDate, ManPriority, ManItmID, "
                                             "ManBomType, ManBomID, ManAdjQty, ManQty, ManHints, ManBillID, ManBillNo, ManBillEntry, ManNote,"
                                             "ManOrigTag, ManOrigSubTag, ManGroupType, ManGroupNo, ManItmProps, ManItmProp1, ManItmProp2, "
                                             "ManItmProp3, ManItmProp4, ManItmProp5, ManItmProp6, ManItmProp7, ManItmProp8, ManItmProp9, "
                                             "ManItmProp10)\r")
                            + QStringLiteral("select %1, @iid, %2, %3, '%4', %5, %6, 0, %7, %8, %9, ")
                                  .arg(QString::number(sch), period, QString::number(FreeNeed), dayText(day, QStringLiteral("yyyyMMdd")),
                                       QString::number(intOf(v("ManPriority"))), q(v("ManItmID")), q(v("ManBomID")),
                                       SQLQty(qtyOf(v("ManAdjQty"))), SQLQty(qtyOf(v("ManQty"))))
                            + q(v("ManHints")) + QStringLiteral(", '', '', isnull(max(ManBillEntry),0)+1, ") + q(v("ManNote")) + u','
                            + q(v("ManOrigTag")) + QStringLiteral(", ") + q(v("ManOrigSubTag")) + QStringLiteral(", ")
                            + QString::number(intOf(v("ManGroupType"))) + QStringLiteral(", ") + q(v("ManGroupNo")) + u','
                            + q(v("ManItmProps")) + QStringLiteral(", ") + props.join(QStringLiteral(", "))
                            + QStringLiteral(" from QZ_MRP_Main with(nolock) where ManSchIID=%1 and ManBillType=%2").arg(sch).arg(FreeNeed)
                            + tail;
                    } else if (r.status() == kvui::RecordStatus::Modified) {
                        if (intOf(v("ManBillType"), FreeNeed) == FreeNeed)
                            batch += QStringLiteral("update QZ_MRP_Main set ManPeriod=%1, ManDate='%2', ManPriority=%3, ManItmID=%4, "
                                                    "ManBomType=%5, ManBomID=%6, ManAdjQty=%7, ManQty=%8, ")
                                         .arg(period, dayText(day, QStringLiteral("yyyyMMdd")), QString::number(intOf(v("ManPriority"))),
                                              q(v("ManItmID")), QString::number(intOf(v("ManBomType"))), q(v("ManBomID")),
                                              SQLQty(qtyOf(v("ManAdjQty"))), SQLQty(qtyOf(v("ManQty"))))
                                + QStringLiteral("ManHints=") + q(v("ManHints")) + QStringLiteral(", ManNote=") + q(v("ManNote"))
                                + QStringLiteral(",ManOrigTag=") + q(v("ManOrigTag")) + QStringLiteral(", ManOrigSubTag=")
                                + q(v("ManOrigSubTag")) + QStringLiteral(", ManGroupType=") + QString::number(intOf(v("ManGroupType")))
                                + QStringLiteral(", ManGroupNo=") + q(v("ManGroupNo")) + QStringLiteral(", ManItmProps=")
                                + q(v("ManItmProps"));
                        else
                            batch += QStringLiteral("update QZ_MRP_Main set ManPriority=%1, ManAdjQty=%2, ManQty=%3, ManHints=")
                                         .arg(QString::number(intOf(v("ManPriority"))), SQLQty(qtyOf(v("ManAdjQty"))),
                                              SQLQty(qtyOf(v("ManQty"))))
                                + q(v("ManHints")) + QStringLiteral(", ManNote=") + q(v("ManNote"));
                        if (intOf(v("ManBillType"), FreeNeed) == FreeNeed)
                            for (int k = 1; k <= 10; ++k)
                                batch += QStringLiteral(", ManItmProp%1=").arg(k) + props[k - 1];
                        batch += QStringLiteral(" where ManSchIID=%1 and ManIID=%2").arg(sch).arg(v("ManIID").toString()) + tail;
                    } else {
                        continue;
                    }
                    if (batch.size() > 65000) {
                        if (!run(QStringLiteral("declare @iid int\r") + batch))
                            return false;
                        batch.clear();
                    }
                }
                if (!batch.isEmpty() && !run(QStringLiteral("declare @iid int\r") + batch))
                    return false;
                return run(QStringLiteral("update QZ_MRP_Schemes set SchState=(case when SchMrpRunTime is null then %1 else %2 end), "
                                          "SchMpsUpdTime=getdate(), SchMaxTime=getdate() where SchIID=%3")
                               .arg(2)
                               .arg(3)
                               .arg(sch));
            });
        if (!result.ok) {
            ShowError(failure.isEmpty() ? errorText(std::runtime_error(result.error.toStdString())) : failure);
            return false;
        }
        FDeleteIIDs.clear();
        Modified = false;
        RefreshSchemeState();
        RefreshData(false);
        SetViewPosition(position);
        return true;
    } catch (const std::exception& e) {
        ShowError(errorText(e));
        return false;
    }
}

void TMRPMainFrame::FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool,
                                          QColor& AOutBrush, QFont&, QColor& AOutTextColor)
{
    if (ARecord.kind != kvui::RowRef::Data || !AItem)
        return;
    const int record = ARecord.record;
    const bool editable = grdMain->editingEnabled();
    if (AItem->tag() > 0) {
        if (PeriodOfRow(record) == AItem->tag() - 1)
            AOutBrush = ASelected ? QColor(0, 192, 192) : QColor(194, 255, 255);
        else if (editable)
            AOutBrush = ASelected ? QColor(192, 192, 0) : QColor(255, 255, 194);
    } else if (editable && AItem->isEditable() && CanEditCell(record, AItem)) {
        AOutBrush = ASelected ? QColor(192, 192, 0) : QColor(255, 255, 194);
    }
    const int status = intOf(RowValue(record, QStringLiteral("LastStatus")));
    if (status == 1)
        AOutTextColor = QColor(255, 0, 255);
    else if (status == 2 || status == 3)
        AOutTextColor = QColor(255, 0, 0);
    else if (!ASelected && !sameQty(qtyOf(RowValue(record, QStringLiteral("ManAdjQty"))), 0))
        AOutTextColor = QColor(0, 0, 255);
}

void TMRPMainFrame::ReloadKeepingPosition()
{
    const QString position = GetViewPosition();
    RefreshData(false);
    SetViewPosition(position);
}

bool TMRPMainFrame::AdjustRowHints(const TPlanPeriods& APeriods, int APeriod, bool AOnlyPast, TDateTime ADate, double AQty,
                                   QString& AHints)
{
    const int d = FindPlanPeriodIndex(APeriods, ADate);
    const QString h = AHints.trimmed();
    const QString allIn = PeriodKey(APeriod) + u'=' + FloatToText(AQty) + CRLF;
    if (h.isEmpty()) {
        if (APeriod > d || (APeriod < d && !AOnlyPast)) {
            AHints = allIn;
            return true;
        }
        return false;
    }
    if (!AOnlyPast) {
        AHints = APeriod == d ? QString() : allIn;
        return true;
    }
    std::map<QString, double> rebuilt;
    bool changed = false;
    for (const QString& line : h.split(CRLF, Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed().toUpper();
        const double qty = untMRPUtils::TextToFloat(line.mid(eq + 1));
        if (PeriodKeyToIndex(key) < APeriod) {
            rebuilt[PeriodKey(APeriod)] += qty;
            changed = true;
        } else {
            rebuilt[key] += qty;
        }
    }
    if (!changed)
        return false;
    AHints = d >= 0 && sameQty(hintValue(rebuilt, PeriodKey(d)), AQty) ? QString() : writeHints(rebuilt);
    return true;
}

void TMRPMainFrame::AdjustDueDates()
{
    if (!FPlanScheme || !CheckSchemeState(true))
        return;
    int flags = RowCount() > 0 ? mafAdjPeriod : 0;
    if (!ShowMRPMainAdjustDlg(FPlanScheme, flags, FAdjPeriod) || !CheckSchemeState(true))
        return;
    bool changed = false;
    const int sch = FPlanScheme->SchemeIID;
    {
        TMRPWaitCursor hourglass;
        if (flags & mafAdjPeriod) {
            const QString caption = BuildPlanPeriodCaptions(FPlanScheme->MpsPeriods, FAdjPeriod);
            InfoApplication->ShowStatusMessage(
                (flags & mafSelection ? QStringLiteral("正在调整当前所选内容的交期信息至期间\"%1\", 按[Esc]键可以中止...")
                                      : QStringLiteral("正在调整当前视图内容的交期信息至期间\"%1\", 按[Esc]键可以中止..."))
                    .arg(caption),
                mkHint);
            kvos::startEscapeKeyWatch(); // only an Esc pressed during the walk counts
            QList<int> records;
            if (flags & mafSelection) {
                for (int r : grdMain->selectedRows())
                    if (grdMain->row(r).kind == kvui::RowRef::Data)
                        records << grdMain->row(r).record;
            } else {
                for (int r = 0; r < RowCount(); ++r)
                    records << r;
            }
            try {
                QString batch;
                for (int record : records) {
                    if (InfoApplication->CheckEscapeKeyPress(false))
                        break;
                    QString hints = RowValue(record, QStringLiteral("ManHints")).toString();
                    if (!AdjustRowHints(FPlanScheme->MpsPeriods, FAdjPeriod, flags & mafOnlyPast,
                                        dayOf(RowValue(record, QStringLiteral("ManDate"))),
                                        qtyOf(RowValue(record, QStringLiteral("ManQty"))), hints))
                        continue;
                    batch += QStringLiteral("update QZ_MRP_Main set ManHints=%1 where ManSchIID=%2 and ManIID=%3\r")
                                 .arg(QuoteSQL(hints))
                                 .arg(sch)
                                 .arg(RowValue(record, QStringLiteral("ManIID")).toInt());
                    if (batch.size() > 65000) {
                        ExecSQLText(GlobalADOQuery, batch, false, true, false);
                        batch.clear();
                    }
                }
                if (!batch.isEmpty())
                    ExecSQLText(GlobalADOQuery, batch, false, true, false);
            } catch (const std::exception& e) {
                ShowError(errorText(e));
                changed = true;
                flags &= ~mafImport;
            }
        }
        if (flags & mafImport) {
            InfoApplication->ShowStatusMessage(QStringLiteral("正在从外部数据源导入交期调整信息, 按[Esc]键可以中止..."), mkHint);
            FImportQtys.clear();
            changed = InfoApplication->ShowImportData(
                ImportFieldRecs(),
                [this](const TVariantArray& ARecord, TMessageKind& AKind, QString& AText, int& AField) {
                    ImportAdjustments(ARecord, AKind, AText, AField);
                },
                [this](int) { FImportQtys.clear(); }, TNotifyEvent());
        }
        FImportQtys.clear();
        InfoApplication->ShowStatusMessage(QString(), mkHint);
    }
    if (changed || (flags & mafAdjPeriod)) {
        ExecSQLText(GlobalADOQuery,
                    QStringLiteral("update QZ_MRP_Schemes set SchState=(case when SchMrpRunTime is null then %1 else %2 end), "
                                   "SchMpsUpdTime=getdate(), SchMaxTime=getdate() where SchIID=%3")
                        .arg(2)
                        .arg(3)
                        .arg(sch),
                    false, false, true);
        RefreshSchemeState();
        // The grid shows what the table holds, also after a stop by Esc.
        ReloadKeepingPosition();
    }
}

TExchangeFieldRecs TMRPMainFrame::ImportFieldRecs() const
{
    const auto cap = [this](const char* f) { return FieldColumn(QString::fromLatin1(f))->caption(); };
    TExchangeFieldRecs recs = {
        {cap("ManBillNo"), 256, fkNormal, 1, QString()}, {cap("ManBillEntry"), 3, fkNormal, 0, QString()},
        {cap("ItmNo"), 256, fkNormal, 1, QString()},     {cap("ManDate"), 7, fkPivotH, 1, QString()},
        {cap("ManQty"), 5, fkPivotH, 1, QString()}};
    const TPlanPeriods periods = FPlanScheme ? FPlanScheme->MpsPeriods : TPlanPeriods();
    for (int i = 0; i < int(periods.size()); ++i)
        recs.append({BuildPlanPeriodCaptions(periods, i), 5, fkPivotV, 2, QString()});
    return recs;
}

void TMRPMainFrame::ImportAdjustments(const TVariantArray& ARecord, TMessageKind& AMessageKind, QString& AMessageText, int&)
{
    AMessageKind = mkNone;
    AMessageText.clear();
    const auto field = [&](int i) { return i < ARecord.size() ? ARecord[i] : QVariant(); };
    const auto mapped = [&](int i) { return field(i).isValid(); };
    const auto cap = [this](const char* f) { return FieldColumn(QString::fromLatin1(f))->caption(); };
    const QString billNo = field(0).isNull() ? QString() : field(0).toString().trimmed();
    const QString itmNo = field(2).isNull() ? QString() : field(2).toString().trimmed();
    QString empty;
    if (billNo.isEmpty())
        empty += u'[' + cap("ManBillNo") + u']';
    if (itmNo.isEmpty())
        empty += u'[' + cap("ItmNo") + u']';
    if (field(3).isValid() && field(3).isNull())
        empty += u'[' + cap("ManDate") + u']';
    if (!empty.isEmpty()) {
        AMessageKind = mkWarning;
        AMessageText = QStringLiteral("字段%1导入内容为空, 忽略导入!").arg(empty);
        return;
    }
    const QString entry = mapped(1) ? QString::number(intOf(field(1))) : QString();
    const int sch = FPlanScheme->SchemeIID;
    ExecSQLText(GlobalADOQuery,
                QStringLiteral("select ManIID, ManDate, ManQty, ManHints from QZ_MRP_Main join QZ_Base_ItemMaster with(nolock) on ManItmID=ItmID")
                    + QStringLiteral(" where ManSchIID=%1 and ManBillNo=%2 and ItmNo=%3 %4 and ManQty>0 order by ManBillType, ManDate, ManBillEntry")
                          .arg(QString::number(sch), QuoteSQL(billNo), QuoteSQL(itmNo),
                               entry.isEmpty() ? QString() : QStringLiteral(" and ManBillEntry=") + entry),
                true, true, false);
    struct Row {
        int iid;
        int due;
        double qty;
        std::vector<std::pair<QString, double>> src;  // source lines with what is left
        std::map<QString, double> spread;
        bool received = false;
    };
    std::vector<Row> rows;
    const TPlanPeriods& periods = FPlanScheme->MpsPeriods;
    for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
        Row r;
        r.iid = GlobalADOQuery->FieldValues(QStringLiteral("ManIID")).toInt();
        r.due = FindPlanPeriodIndex(periods, dayOf(GlobalADOQuery->FieldValues(QStringLiteral("ManDate"))));
        r.qty = qtyOf(GlobalADOQuery->FieldValues(QStringLiteral("ManQty")));
        const QString hints = GlobalADOQuery->FieldValues(QStringLiteral("ManHints")).toString().trimmed();
        if (hints.isEmpty())
            r.src.push_back({PeriodKey(r.due), r.qty});
        else
            for (const auto& [k, q] : readHints(hints))
                r.src.push_back({k, q});
        rows.push_back(std::move(r));
    }
    if (rows.empty()) {
        AMessageKind = mkWarning;
        AMessageText = QStringLiteral("当前计划方案中不存在此需求记录, 或此需求无计划数量!\r\r需求单号: %1\r需求行: %2\r物料代码: %3")
                           .arg(billNo, entry, itmNo);
        return;
    }
    QString key = billNo + QChar(0xF8F5) + entry + QChar(0xF8F5) + itmNo;
    key.replace(u'=', QChar(0x20AC));
    std::map<QString, double> a = FImportQtys[key];
    bool any = false;
    if (!mapped(3)) {
        for (int i = 0; i < int(periods.size()); ++i) {
            const double v = qtyOf(field(5 + i));
            if (v > 0) {
                a[PeriodKey(i)] += v;
                any = true;
            }
        }
    } else {
        const double v = qtyOf(field(4));
        const int p = FindPlanPeriodIndex(periods, dayOf(field(3)));
        if (v > 0 && p >= 0) {
            a[PeriodKey(p)] += v;
            any = true;
        }
    }
    if (!any) {
        AMessageKind = mkWarning;
        AMessageText = QStringLiteral("导入内容无计划数量, 或计划数量不大于0, 忽略导入。");
        return;
    }
    FImportQtys[key] = a;

    QString batch;
    const auto queue = [&](Row& r) {
        if (r.due >= 0 && sameQty(hintValue(r.spread, PeriodKey(r.due)), r.qty))
            r.spread.clear();
        batch += QStringLiteral("update QZ_MRP_Main set ManHints=%1 where ManSchIID=%2 and ManIID=%3\r")
                     .arg(QuoteSQL(writeHints(r.spread)))
                     .arg(sch)
                     .arg(r.iid);
    };
    size_t rowIdx = 0, srcIdx = 0;
    double excess = 0;
    QString lastKey;
    for (const auto& [k, qty] : a) {
        double r = qty;
        while (r > 1e-12) {
            if (rowIdx >= rows.size()) {
                excess += r;
                break;
            }
            Row& row = rows[rowIdx];
            if (srcIdx >= row.src.size()) {
                queue(row);
                ++rowIdx;
                srcIdx = 0;
                continue;
            }
            const double m = std::min(r, row.src[srcIdx].second);
            row.spread[k] += m;
            row.received = true;
            row.src[srcIdx].second -= m;
            r -= m;
            lastKey = k;
            if (row.src[srcIdx].second <= 1e-12)
                ++srcIdx;
        }
    }
    if (rowIdx < rows.size()) {
        Row& row = rows[rowIdx];
        bool left = false;
        for (size_t i = srcIdx; i < row.src.size(); ++i) {
            if (row.src[i].second <= 1e-12)
                continue;
            left = true;
            row.spread[row.src[i].first < lastKey ? lastKey : row.src[i].first] += row.src[i].second;
        }
        if (row.received || !left)
            if (row.received)
                queue(row);
    }
    if (!batch.isEmpty())
        ExecSQLText(GlobalADOQuery, batch, false, true, false);
    if (excess > 1e-9) {
        AMessageKind = mkWarning;
        AMessageText = QStringLiteral("导入的计划数量大于相应需求单实际的计划数量, 超出的计划数量(%1)忽略导入。")
                           .arg(QString::asprintf("%f", excess));
    }
}
