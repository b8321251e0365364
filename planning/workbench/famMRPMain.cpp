#include "famMRPMain.h"
#include "famMRPMainShared.h"

#include "untMRPViewUtils.h"
#include "DataSetSource.h"
#include "DisplayFormat.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "untApplication.h"
#include "untCommonUI.h"
#include "untMRPCalendar.h"

#include <QVBoxLayout>

using untMRPUtils::PeriodKey;
using namespace famMRPMainShared;

namespace {

const QString QtyFormat = QStringLiteral("###,###,###,##0.########");
const QString DumbField = QStringLiteral("DumbQty");

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
