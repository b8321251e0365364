#include "famMRPAllot.h"

#include "untMRPViewUtils.h"
#include "DisplayFormat.h"
#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "untCommonUI.h"
#include "untDllCommon.h"
#include "untMRPCalendar.h"
#include "untMRPUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QUuid>
#include <QVBoxLayout>

namespace {

const QString LoadingText = QStringLiteral("正在读取数据, 请稍候...");

const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
const QString LimitKindKey = QStringLiteral("[LimitKind]");
const QString QtyFormat = QStringLiteral("###,###,###,##0.########");

// Bill types (the value list "MrpBillType").
constexpr int btMainDemands[] = {2, 4, 8, 12};
constexpr int btNegativeStock = 72;
constexpr int btSafetyStock = 74;
constexpr int btPendingOO = 79;   // pending issues of outsourcing orders
constexpr int btPendingMO = 80;   // pending issues of production orders
constexpr int btPlannedPurchase = 58;
// Planned or requisition supplies that need a bill of materials.
const QString NeedBomTypes = QStringLiteral("34, 36, 42, 44, 52, 54, 62, 64, 66");

bool isNullValue(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

double toDouble(const QVariant& v)
{
    return isNullValue(v) ? 0.0 : v.toDouble();
}

int toInt(const QVariant& v)
{
    return isNullValue(v) ? 0 : v.toInt();
}

bool isMainDemand(int t)
{
    for (int m : btMainDemands)
        if (m == t)
            return true;
    return false;
}

bool isGroupType(int t)
{
    return t == btNegativeStock || t == btSafetyStock || t == btPendingOO || t == btPendingMO;
}

bool isSkippedLevelPlan(int t)
{
    return t == 44 || t == 54 || t == 62 || t == 64 || t == 66;
}

QString itemProps(const QString& APrefix)
{
    QString s;
    for (int i = 1; i <= 10; ++i)
        s += QStringLiteral(", %1ItmProp%2").arg(APrefix).arg(i);
    return s;
}

QString nulls(int n)
{
    QStringList l;
    for (int i = 0; i < n; ++i)
        l << QStringLiteral("null");
    return l.join(QStringLiteral(", "));
}

void quantityText(const kvui::RowRef&, const QVariant& AValue, QString& AText)
{
    AText = isNullValue(AValue) || AValue.toDouble() == 0 ? QString() : kvui::formatFloat(QtyFormat, AValue.toDouble());
}

} // namespace

bool TMRPAllotFrame::IsDemandLine(kvui::TreeNode* ANode) const
{
    const int type = toInt(FLines.value(ANode).DmdBillType);
    if (ANode->level() > 0)
        return true;
    return !isGroupType(type) && isMainDemand(type);
}

QString AllotQuoted(const QString& AText)
{
    QString t = AText;
    t.replace(u'\'', QStringLiteral("''"));
    return u'\'' + t + u'\'';
}

TMRPAllotFrame::TMRPAllotFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TInfoTreeView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("MRPAllotFrame"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    // The filter bar.
    gbxOptions = new QFrame(this);
    gbxOptions->setObjectName(QStringLiteral("gbxOptions"));
    gbxOptions->setFrameShape(QFrame::NoFrame);
    gbxOptions->setFixedHeight(35);
    gbxOptions->setAutoFillBackground(true);
    auto* bar = new QHBoxLayout(gbxOptions);
    bar->setContentsMargins(8, 0, 8, 0);
    lblFilter = new QLabel(QStringLiteral("显示末级物料满足(&F):"), gbxOptions);
    cboFilterKind = new QComboBox(gbxOptions);
    cboFilterKind->setObjectName(QStringLiteral("cboFilterKind"));
    cboFilterKind->addItems({QStringLiteral("物料代码"), QStringLiteral("计划员"), QStringLiteral("采购员")});
    lblFilter->setBuddy(cboFilterKind);
    lblContain = new QLabel(QStringLiteral("="), gbxOptions);
    edtFilterText = new QLineEdit(gbxOptions);
    edtFilterText->setObjectName(QStringLiteral("edtFilterText"));
    edtFilterText->setMinimumWidth(160);
    btnFilterPick = new QToolButton(gbxOptions);
    btnFilterPick->setText(QStringLiteral("..."));
    chkFilterNoBom = new QCheckBox(QStringLiteral("显示缺&BOM物料"), gbxOptions);
    chkFilterNoBom->setObjectName(QStringLiteral("chkFilterNoBom"));
    chkFilterNoBom->setVisible(false);
    btnOk = new QPushButton(QStringLiteral("确定"), gbxOptions);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    QFont bold = btnOk->font();
    bold.setBold(true);
    btnOk->setFont(bold);
    btnOk->setVisible(false);
    btnCancel = new QPushButton(QStringLiteral("取消"), gbxOptions);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setVisible(false);
    for (QWidget* w : std::initializer_list<QWidget*>{lblFilter, cboFilterKind, lblContain, edtFilterText, btnFilterPick,
                                                      chkFilterNoBom, btnOk, btnCancel})
        bar->addWidget(w);
    bar->addStretch();
    lblPlanState = new QLabel(gbxOptions);
    lblPlanState->setObjectName(QStringLiteral("lblPlanState"));
    bar->addWidget(lblPlanState);
    box->addWidget(gbxOptions);

    connect(cboFilterKind, &QComboBox::currentIndexChanged, this, [this](int) {
        if (FKindHandlerOn)
            cboFilterKindPropertiesChange(true);
    });
    connect(edtFilterText, &QLineEdit::textEdited, this, [this](const QString&) { edtFilterTextPropertiesChange(); });
    connect(edtFilterText, &QLineEdit::returnPressed, this, [this] {
        if (FFilterEditing)
            btnOkClick();
    });
    connect(chkFilterNoBom, &QCheckBox::toggled, this, [this](bool) { edtFilterTextPropertiesChange(); });
    connect(btnFilterPick, &QToolButton::clicked, this, [this] { PickFilterText(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    grdAllot = new kvui::TreeList(this);
    grdAllot->setObjectName(QStringLiteral("grdAllot"));
    box->addWidget(grdAllot);

    kvui::TreeList* t = grdAllot;
    t->beginUpdate();
    t->setShowBandHeaders(true);
    t->setShowIndicator(true);
    t->setShowTreeLines(false);
    t->setMultiSelect(true);
    t->setEditingEnabled(false);
    t->setReadOnly(true);
    t->addBand(QString(), kvui::BandFixed::Left);
    t->addBand(QString(), kvui::BandFixed::None);
    t->addBand(QString(), kvui::BandFixed::Right);
    t->addBand(QStringLiteral("分配供应信息"), kvui::BandFixed::None);
    t->addBand(QStringLiteral("总体供需信息"), kvui::BandFixed::None);
    t->addBand(QString(), kvui::BandFixed::None);
    for (int i = 0; i < t->bandCount(); ++i) {
        t->band(i).id = i;
        t->band(i).movable = false;
        if (i >= 3)
            t->band(i).ownColumnsOnly = true;
    }

    const auto add = [this, t](const QString& name, const QString& caption, const QString& field, int band,
                               bool hidden = false, bool number = false) {
        kvui::Column* column = t->addColumn(caption, QString(), band);
        column->setObjectName(name);
        column->setEditable(false);
        if (hidden)
            column->setVisible(false);
        if (number) {
            column->setValueType(QStringLiteral("Float"));
            column->setEditor(RightAlignedTextItem());
            column->displayTextHook = quantityText;
        }
        BindStaticColumn(column, field);
        return column;
    };
    colDmdPriority = add("colDmdPriority", "优先级", "DmdPriority", 0);
    colDmdPriority->setEditor(RightAlignedTextItem());
    colDmdBillType = add("colDmdBillType", "类型", "DmdBillType", 0);
    add("colDmdBillID", QString(), "DmdBillID", 0, true);
    colDmdBillNo = add("colDmdBillNo", "单据编号", "DmdBillNo", 0);
    colSupIID = add("colSupIID", QString(), "SupIID", 0, true);
    add("colDmdHints", QString(), "DmdHints", 0, true);
    colDmdItmNo = add("colDmdItmNo", "物料代码", "ItmNo", 0);
    add("colSupBomLocked", QString(), "SupBomLocked", 0, true);
    colDmdIID = add("colDmdIID", QString(), "DmdIID", 0, true);

    add("colDmdItmName", "物料名称", "ItmName", 1);
    add("colDmdItmSpec", "规格型号", "ItmSpec", 1);
    add("colDmdBillEntry", "单据行", "DmdBillEntry", 1);
    colDmdDate = add("colDmdDate", "需求日期", "DmdDate", 1);
    colDmdDate->setValueType(QStringLiteral("DateTime")); // exported as dates
    colDmdDept = add("colDmdDept", "需求单位", "DmdDept", 1);
    add("colDmdBillDate", "单据日期", "DmdBillDate", 1)->setValueType(QStringLiteral("DateTime"));
    add("colDmdOrigType", "主需求", "OrigType", 1);
    add("colDmdOrigNo", "主需求号", "OrigNo", 1);
    colDmdCust = add("colDmdCust", "主需求客户", "OrigCust", 1);
    add("colDmdCustPO", "主需求客户单号", "OrigCustPO", 1);
    add("colDmdOrigTag", "需求分类号", "DmdOrigTag", 1);
    add("colDmdGroupType", "MRP分组", "DmdGroupType", 1);
    add("colDmdGroupNo", "MRP分组号", "DmdGroupNo", 1);
    add("colDmdNote", "备注", "DmdNote", 1);
    add("colDmdUnitQty", "单位用量", "DmdUnitQty", 1, false, true);
    colDmdUnit = add("colDmdUnit", "单位", "UntName", 1);
    add("colDmdBillQty", "单据数量", "DmdBillQty", 1, false, true);
    add("colDmdOkQty", "执行数量", "DmdOkQty", 1, false, true);
    colDmdNeedQty = add("colDmdNeedQty", "需求数量", "DmdNeedQty", 1, false, true);
    colSupBillType = add("colSupBillType", "计划类别", "SupBillType", 1);
    colSupBOM = add("colSupBOM", "计划BOM", "BomNo", 1);
    colItmPlanner = add("colItmPlanner", "计划员", "ItmPlanner", 1);
    colItmBuyer = add("colItmBuyer", "采购员", "ItmBuyer", 1);
    add("colItmMinQty", "最小供应量", "ItmMinQty", 1, false, true);
    add("colItmLotQty", "批量增量", "ItmLotQty", 1, false, true);
    add("colItmFixedLead", "固定提前期", "ItmFixLeadTime", 1);
    add("colItmVarLead", "变动提前期", "ItmVarLeadTime", 1);
    add("colItmVarLeadLot", "变动提前期批量", "ItmVarLeadLot", 1, false, true);
    add("colDmdItmProps", QString(), "DmdItmProps", 1, true);
    for (int i = 1; i <= 10; ++i)
        add(QStringLiteral("colDmdItmProp%1").arg(i), QStringLiteral("辅助项%1").arg(i), QStringLiteral("DmdItmProp%1").arg(i), 1);

    colDmdNetQty = add("colDmdNetQty", "净需求数", "DmdNetQty", 2, false, true);
    colDmdPPPQty = add("colDmdPPPQty", "分配MRP计划", "DmdPPPQty", 2, false, true);
    colSupQty = add("colSupQty", "计划供应数", "SupQty", 2, false, true);
    colSupDSetQty = add("colSupDSetQty", "齐套数量", "SupDSetQty", 2, false, true);
    colSupDSetRate = add("colSupDSetRate", "齐套率(%)", "SupDSetRate", 2, false, true);

    const std::pair<const char*, const char*> band3[] = {
        {"分配库存数", "DmdInvQty"},   {"分配采购数", "DmdPOQty"},     {"分配委外数", "DmdOOQty"},
        {"分配生产数", "DmdMOQty"},    {"(分配在检)", "DmdChkQty"},    {"分配采购申请", "DmdPRQty"},
        {"分配委外申请", "DmdORQty"},  {"分配生产计划", "DmdMRQty"},   {"(他料替入)", "DmdReplQty"},
        {"可供套数", "DmdASetQty"},    {"可供套率(%)", "DmdASetRate"},
    };
    kvui::Column* kitColumns[2] = {};
    for (const auto& [caption, field] : band3) {
        kvui::Column* c = add(QStringLiteral("col") + QString::fromLatin1(field), QString::fromUtf8(caption),
                              QString::fromLatin1(field), 3, false, true);
        if (QLatin1String(field) == QLatin1String("DmdASetQty"))
            kitColumns[0] = c;
        else if (QLatin1String(field) == QLatin1String("DmdASetRate"))
            kitColumns[1] = c;
    }
    // A kit quantity of 0 is an answer, not a blank: a demand line shows its
    // own (none of it can be made now), a line with a planned supply that
    // supply's.
    for (kvui::Column* c : kitColumns)
        c->displayTextHook = [this](const kvui::RowRef& ARow, const QVariant& AValue, QString& AText) {
            quantityText(ARow, AValue, AText);
            if (AText.isEmpty() && ARow.node && IsDemandLine(ARow.node))
                AText = kvui::formatFloat(QtyFormat, 0);
        };
    for (kvui::Column* c : {colSupDSetQty, colSupDSetRate})
        c->displayTextHook = [this](const kvui::RowRef& ARow, const QVariant& AValue, QString& AText) {
            quantityText(ARow, AValue, AText);
            if (AText.isEmpty() && ARow.node && !isNullValue(ARow.node->value(colSupIID)) && IsDemandLine(ARow.node))
                AText = kvui::formatFloat(QtyFormat, 0);
        };
    const std::pair<const char*, const char*> band4[] = {
        {"总体毛需求", "BalNeedQty"},   {"总体待出数", "BalPBomQty"},   {"总体替代他料", "BalROutQty"},
        {"总体安全库存", "BalSafeQty"}, {"总体库存数", "BalInvQty"},    {"总体采购数", "BalPOQty"},
        {"总体委外数", "BalOOQty"},     {"总体生产数", "BalMOQty"},     {"(总体在检)", "BalChkQty"},
        {"总体采购申请", "BalPRQty"},   {"总体委外申请", "BalORQty"},   {"总体生产计划", "BalMRQty"},
        {"总体他料替入", "BalRInQty"},  {"总体净需求", "BalNetQty"},    {"总体计划数", "BalQty"},
        {"总体跳层数", "BalXQty"},      {"总体剩余数", "BalEndQty"},
    };
    for (const auto& [caption, field] : band4) {
        kvui::Column* c = add(QStringLiteral("col") + QString::fromLatin1(field), QString::fromUtf8(caption),
                              QString::fromLatin1(field), 4, false, true);
        if (QLatin1String(field) == QLatin1String("BalInvQty"))
            colBalInvQty = c;
    }
    t->band(3).visible = false;
    t->band(4).visible = false;
    colDmdBillNo->setWidth(100);
    colDmdItmNo->setWidth(90);
    t->endUpdate();

    QPalette panel = gbxOptions->palette();
    panel.setColor(QPalette::Window, TColorToQColor(ContentColor()));
    gbxOptions->setPalette(panel);
    for (QLabel* l : {lblFilter, lblContain, lblPlanState}) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, TColorToQColor(ContentTextColor()));
        l->setPalette(p);
    }
    lblPlanState->clear();
    FSecondaryColor = grdAllot->viewPalette().group;

    FSQLTempTable = QStringLiteral("#QZ_MRP_Demand_") + QUuid::createUuid().toString(QUuid::Id128).toUpper();

    grdAllot->setExpandingHook([this](kvui::TreeNode* node) {
        try {
            LoadAllotNodes(node);
        } catch (const std::exception& e) {
            ShowExceptionMessage(e);
            return false;
        }
        return node->childCount() > 0;
    });

    ViewComponent = grdAllot;
}

TMRPAllotFrame::~TMRPAllotFrame()
{
    if (grdAllot)
        grdAllot->disconnect(this);
    if (GlobalADOQuery) {
        ExecSQLText(GlobalADOQuery,
                    FormatPositional(QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where "
                                                    "id=object_id('tempdb..%0:s'))\rdrop table %0:s"),
                                     {FSQLTempTable}),
                    false, false, false);
    }
}

void TMRPAllotFrame::SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection*, const TPlanSchemeUIEvents& AUIEvents)
{
    FPlanScheme = APlanScheme;
    FPlanSchemeUIEvents = AUIEvents;
    kvui::TreeList* t = grdAllot;
    {
        TMRPTreeUpdate update(t);
        for (auto it = FPeriodCols.rbegin(); it != FPeriodCols.rend(); ++it)
            if (auto* column = qobject_cast<kvui::Column*>(it->Column))
                t->removeColumn(column);
        FPeriodCols.clear();
        const TPlanPeriods periods = FPlanScheme ? FPlanScheme->MrpPeriods : TPlanPeriods();
        for (int i = 0; i < int(periods.size()); ++i) {
            kvui::Column* c = t->addColumn(BuildPlanPeriodCaptions(periods, i), QString(), 5);
            c->setObjectName(QStringLiteral("colPeriod%1").arg(i));
            c->setValueType(QStringLiteral("Float"));
            c->setEditable(false);
            c->setWidth(70);
            c->setEditor(RightAlignedTextItem());
            c->displayTextHook = quantityText;
            c->setTag(i + 1);
            FPeriodCols.push_back({i, c});
        }
    }
    DataIsFresh = false;
}

void TMRPAllotFrame::RefreshPlanState()
{
    if (!FPlanScheme || FPlanScheme->SchemeIID == 0) {
        lblPlanState->clear();
        return;
    }
    lblPlanState->setText(u'(' + FPlanScheme->GetPlanStateText() + u')');
    const int state = FPlanScheme->PlanState;
    const bool changed = state == psSchemeChangedRefetch || state == psMainDemandChanged || state == psSchemeChangedRerun
        || state == psMRPResultChanged;
    QPalette p = lblPlanState->palette();
    p.setColor(QPalette::WindowText, changed ? QColor(0xFF, 0x00, 0x00) : TColorToQColor(ContentTextColor()));
    lblPlanState->setPalette(p);
}

void TMRPAllotFrame::PlaceStateLabel()
{
    // The bar's layout keeps the label at its right edge.
}

void TMRPAllotFrame::resizeEvent(QResizeEvent* AEvent)
{
    TInfoTreeView::resizeEvent(AEvent);
    PlaceStateLabel();
}

void TMRPAllotFrame::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    TInfoTreeView::InitializeView(AViewAsDetailID, AMasterView);
    bool ok = false;
    const int kind = ReadDelimitedValue(ViewScheme.Params, LimitKindKey, ViewSchemeParamSeparator).toInt(&ok);
    FKindHandlerOn = false;
    cboFilterKind->setCurrentIndex(ok && kind >= 0 && kind <= 2 ? kind : 0);
    FKindHandlerOn = true;
    cboFilterKindPropertiesChange(false);
}

void TMRPAllotFrame::ApplyViewScheme()
{
    TMRPTreeUpdate update(grdAllot);
    grdAllot->band(3).visible = false;
    grdAllot->band(4).visible = false;
    TInfoTreeView::ApplyViewScheme();
    for (int b : {3, 4})
        for (kvui::Column* c : grdAllot->columns())
            if (c->bandIndex() == b && c->isVisible())
                grdAllot->band(b).visible = true;
    cboFilterKindPropertiesChange(false);
}

void TMRPAllotFrame::StoreViewScheme()
{
    TInfoTreeView::StoreViewScheme();
    ViewScheme.Params = WriteDelimitedValue(ViewScheme.Params, LimitKindKey, QString::number(FCurFilterKind),
                                            ViewSchemeParamSeparator);
}

void TMRPAllotFrame::cboFilterKindPropertiesChange(bool AByUser)
{
    if (!AByUser)
        return;
    // With no text the kind takes effect at once: nothing to reload.
    if (edtFilterText->text().trimmed().isEmpty())
        FCurFilterKind = cboFilterKind->currentIndex();
    else
        SetFilterEditing(true);
}

void TMRPAllotFrame::edtFilterTextPropertiesChange()
{
    SetFilterEditing(true);
}

void TMRPAllotFrame::SetFilterEditing(bool AEditing)
{
    if (FFilterEditing == AEditing)
        return;
    FFilterEditing = AEditing;
    gbxOptions->setUpdatesEnabled(false);
    chkFilterNoBom->setVisible(AEditing || !edtFilterText->text().trimmed().isEmpty());
    lblPlanState->setVisible(!AEditing);
    btnOk->setVisible(AEditing);
    btnCancel->setVisible(AEditing);
    grdAllot->setEnabled(!AEditing);
    gbxOptions->setUpdatesEnabled(true);
}

void TMRPAllotFrame::PickFilterText()
{
    TPickEditProperties props;
    props.RefQuery = GlobalADOQuery;
    const int kind = cboFilterKind->currentIndex();
    if (kind == 1 || kind == 2) {
        props.SQL = QStringLiteral("select [代码]=EmpNo, [名称]=EmpName from QZ_Base_Employee with(nolock) where EmpNo "
                                   "like '%%'+%0:s+'%%' or EmpName like '%%'+%0:s+'%%' order by EmpNo");
        props.FixedFields = QStringLiteral("|代码|");
        props.TextField = QStringLiteral("名称");
    } else {
        props.SQL = QStringLiteral("select [物料代码]=i.ItmNo, [物料名称]=i.ItmName, [规格型号]=i.ItmSpec from "
                                   "QZ_Base_ItemMaster as i with(nolock) where i.ItmNo like '%%'+%0:s+'%%' or i.ItmName "
                                   "like '%%'+%0:s+'%%' or i.ItmSpec like '%%'+%0:s+'%%' order by i.ItmNo");
        props.FixedFields = QStringLiteral("|物料代码|");
        props.TextField = QStringLiteral("物料代码");
    }
    props.Text = edtFilterText->text();
    if (props.ShowPicker(true) && props.Text != edtFilterText->text()) {
        edtFilterText->setText(props.Text);
        SetFilterEditing(true);
    }
}

void TMRPAllotFrame::btnOkClick()
{
    const QString text = edtFilterText->text().trimmed();
    edtFilterText->setText(text);
    SetFilterEditing(false);
    const bool sameText = text.compare(FCurFilterText, Qt::CaseInsensitive) == 0;
    if (sameText
        && (text.isEmpty()
            || (cboFilterKind->currentIndex() == FCurFilterKind && chkFilterNoBom->isChecked() == FCurFilterNoBom))) {
        FCurFilterKind = cboFilterKind->currentIndex();
        FCurFilterNoBom = chkFilterNoBom->isChecked();
        return;
    }
    RefreshData(true);
}

void TMRPAllotFrame::btnCancelClick()
{
    FKindHandlerOn = false;
    cboFilterKind->setCurrentIndex(FCurFilterKind);
    FKindHandlerOn = true;
    edtFilterText->setText(FCurFilterText);
    chkFilterNoBom->blockSignals(true);
    chkFilterNoBom->setChecked(FCurFilterNoBom);
    chkFilterNoBom->blockSignals(false);
    SetFilterEditing(false);
    chkFilterNoBom->setVisible(!FCurFilterText.isEmpty());
}

void TMRPAllotFrame::RefreshData(bool ARebuild)
{
    if (!FPlanScheme)
        return;
    if (FPlanScheme->PlanType != 0)
        InfoApplication->ParseViewSchemeSQL(ObjectDef, &ViewScheme, GlobalADOQuery);
    TInfoTreeView::RefreshData(ARebuild);
    if (!ViewScheme.SQLParsed)
        return;
    RefreshPlanState();
    LoadAllotNodes(nullptr);
}

QString TMRPAllotFrame::GetFocusedRecordString(const QString& AFieldID)
{
    if (AFieldID.compare(QStringLiteral("DmdSchIID"), Qt::CaseInsensitive) == 0)
        return QString::number(FPlanScheme ? FPlanScheme->SchemeIID : 0);
    return TInfoTreeView::GetFocusedRecordString(AFieldID);
}

QString TMRPAllotFrame::FilterCondition() const
{
    // The text always enters the statement as a quoted literal.
    const QString text = AllotQuoted(FCurFilterText);
    QString condition;
    if (FCurFilterKind == 0)
        condition = QStringLiteral("ItmNo=") + text;
    else
        condition = QStringLiteral("(EmpName=") + text + QStringLiteral(" or EmpName='' or EmpName is null)");
    if (FCurFilterNoBom)
        condition = u'(' + condition + QStringLiteral(" or SupBillType in (") + NeedBomTypes
            + QStringLiteral(") and (SupBomID='' or SupBomID is null))");
    return condition;
}

void TMRPAllotFrame::CollectFilterChains(const QString& ACondition)
{
    const QString scheme = QString::number(FPlanScheme->SchemeIID);
    QString join;
    if (FCurFilterKind == 0)
        join = QStringLiteral(" join QZ_Base_ItemMaster with(nolock) on DmdItmID=ItmID");
    else
        join = QStringLiteral(" left join QZ_MRP_ItemSetting with(nolock) on DmdItmID=ItmID left join QZ_Base_Employee "
                              "with(nolock) on %1=EmpID")
                   .arg(FCurFilterKind == 1 ? QStringLiteral("ItmPlannerID") : QStringLiteral("ItmBuyerID"));
    const QStringList args{FSQLTempTable, scheme, ACondition};
    ExecSQLText(GlobalADOQuery,
                FormatPositional(QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..%0:s'))\r"
                                                "truncate table %0:s\relse\rbegin\rcreate table %0:s (RefDmdIID int not null "
                                                "primary key, RefItmID nvarchar(50) null, RefPSupIID int null, RefHasChild "
                                                "int null)\rcreate index %0:s_Idx on %0:s (RefPSupIID)\rend"),
                                 args),
                false, false, true);
    // The seed: the demands of the items asked for.
    ExecSQLText(GlobalADOQuery,
                QStringLiteral("insert ") + FSQLTempTable + QStringLiteral(" (RefDmdIID, RefItmID, RefPSupIID)\r"
                                                                         "select distinct DmdIID, DmdItmID, DmdPSupIID from "
                                                                         "QZ_MRP_Demands with(nolock)")
                    + join
                    + QStringLiteral(" left join QZ_MRP_Supplies with(nolock) on DmdSchIID=SupSchIID and DmdIID=SupPDmdIID "
                                     "where DmdSchIID=")
                    + scheme + QStringLiteral(" and ") + ACondition,
                false, false, true);
    // The climb: the demands whose supply produced a collected demand, pass
    // by pass, until a pass adds nothing.
    const QString climb = FormatPositional(
        QStringLiteral("insert %0:s (RefDmdIID, RefItmID, RefPSupIID)\rselect distinct DmdIID, DmdItmID, DmdPSupIID from "
                       "QZ_MRP_Demands with(nolock) left join %0:s as r with(nolock) on DmdIID=r.RefDmdIID left join "
                       "QZ_MRP_Supplies with(nolock) on DmdSchIID=SupSchIID and DmdIID=SupPDmdIID left join %0:s as p "
                       "with(nolock) on SupIID=p.RefPSupIID where DmdSchIID=%1:s and r.RefDmdIID is null and "
                       "p.RefPSupIID is not null\rselect Cnt=@@rowcount"),
        {FSQLTempTable, scheme});
    for (int pass = 0; pass < 10000; ++pass) {
        if (!ExecSQLText(GlobalADOQuery, climb, true, false, true))
            break;
        const int count = GlobalADOQuery->Active() && !GlobalADOQuery->Eof() ? GlobalADOQuery->FieldByName("Cnt")->AsInteger() : 0;
        GlobalADOQuery->Close();
        if (count <= 0)
            break;
    }
    ExecSQLText(GlobalADOQuery,
                FormatPositional(QStringLiteral("update r set RefHasChild=1 from %0:s as r join QZ_MRP_Supplies with(nolock) "
                                                "on SupSchIID=%1:s and r.RefDmdIID=SupPDmdIID join %0:s as p with(nolock) on "
                                                "SupIID=p.RefPSupIID"),
                                 {FSQLTempTable, scheme}),
                false, false, true);
}

QString TMRPAllotFrame::BuildTopLevelSQL()
{
    const bool f = !FCurFilterText.isEmpty();
    const QString scheme = QString::number(FPlanScheme ? FPlanScheme->SchemeIID : 0);
    const int needScope = FPlanScheme ? FPlanScheme->PlanNeedScope : 0;
    const QString tempJoin = f ? QStringLiteral(" join ") + FSQLTempTable + QStringLiteral(" with(nolock) on DmdIID=RefDmdIID")
                               : QString();
    const QString cols =
        QStringLiteral("DmdSchIID, DmdIID, DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, DmdBillDate, "
                       "DmdBillQty, DmdDeptID, DmdSuppID, DmdOrigType, DmdOrigID, DmdOrigNo, DmdOrigEntry, DmdOrigCustID, "
                       "DmdOrigCustPO, DmdOrigTag, DmdGroupType, DmdGroupNo, DmdItmID, DmdItmProps")
        + itemProps(QStringLiteral("Dmd"));
    // Demands.
    QString demands = QStringLiteral("select ") + cols
        + QStringLiteral(", DmdDate, DmdNote, DmdPriority, DmdUnitQty, DmdOkQty=(case when DmdBillQty>isnull(DmdNeedQty,0) "
                         "then DmdBillQty-isnull(DmdNeedQty,0) else 0 end), DmdNeedQty, DmdInvQty, DmdMOQty, DmdOOQty, "
                         "DmdPOQty, DmdMRQty, DmdORQty, DmdPRQty, DmdGrpxQty, DmdReplQty, DmdChkQty, DmdASetQty, "
                         "DmdASetRate, DmdNetQty=isnull(DmdQty,0)+isnull(DmdPPPQty1,0)+isnull(DmdPPPQty2,0), "
                         "DmdPPPQty=isnull(DmdPPPQty1,0)+isnull(DmdPPPQty2,0), DmdHints, SupIID, SupBillType, SupQty, "
                         "SupDSetQty, SupDSetRate, SupBomLocked, SupBomType, SupBomID, DmdMainKind=1")
        + (f ? QStringLiteral(", RefHasChild") : QString()) + QStringLiteral(" from QZ_MRP_Demands with(nolock)") + tempJoin
        + QStringLiteral(" left join QZ_MRP_Supplies with(nolock) on DmdSchIID=SupSchIID and DmdIID=SupPDmdIID where "
                         "DmdSchIID=")
        + scheme + QStringLiteral(" and DmdBillType in (2, 4, 8, 12)");
    // Group lines: negative stock, safety stock, and one for each kind of
    // pending issue that the run found (both kinds show when both exist).
    QStringList parts{demands};
    const std::pair<int, int> groups[] = {{btNegativeStock, 99}, {btSafetyStock, 98}, {btPendingMO, 50}, {btPendingOO, 50}};
    for (const auto& [type, priority] : groups) {
        // 21 + 10 item properties before the date; DmdPriority third after it.
        parts << QStringLiteral("select top 1 DmdSchIID, null, null, DmdBillType, ") + nulls(18) + u',' + nulls(10)
                + QStringLiteral(", null, null, ") + QString::number(priority) + u',' + nulls(26)
                + QStringLiteral(", 1") + (f ? QStringLiteral(", 1") : QString())
                + QStringLiteral(" from QZ_MRP_Demands with(nolock)") + tempJoin + QStringLiteral(" where DmdSchIID=") + scheme
                + QStringLiteral(" and DmdBillType=") + QString::number(type);
    }
    // Existing orders that carry component demands and supplies without a demand.
    QString supplies =
        QStringLiteral("select SupSchIID, SupIID, SupPeriod, SupBillType, SupBillID, SupBillNo, SupBillEntry, SupBillDate, "
                       "SupBillQty, SupDeptID, SupSuppID, SupOrigType, SupOrigID, SupOrigNo, SupOrigEntry, SupOrigCustID, "
                       "SupOrigCustPO, SupOrigTag, SupGroupType, SupGroupNo, SupItmID, SupItmProps")
        + itemProps(QStringLiteral("Sup"))
        + QStringLiteral(", SupDrawDate, SupNote, SupPriority, null, SupBillQty-isnull(SupQty,0), null, null, (case when "
                         "SupBillType=22 then SupAllotQty else null end), (case when SupBillType=24 then SupAllotQty else "
                         "null end), null, (case when SupBillType=34 then SupAllotQty else null end), (case when "
                         "SupBillType=36 then SupAllotQty else null end), null, null, null, null, null, null, null, null, "
                         "SupHints, SupIID, null, SupQty, SupDSetQty, SupDSetRate, SupBomLocked, SupBomType, SupBomID, "
                         "(case when SupPDmdIID<0 then -SupPDmdIID else 0 end)")
        + (f ? QStringLiteral(", (case when RefPSupIID>0 then 1 else 0 end)") : QString())
        + QStringLiteral(" from QZ_MRP_Supplies with(nolock)")
        + (f ? QStringLiteral(" left join (select distinct RefPSupIID from ") + FSQLTempTable
                   + QStringLiteral(" with(nolock)) as d on SupIID=RefPSupIID")
             : QString())
        + (needScope >= 5 ? QStringLiteral(" left join (select distinct ManItmID from QZ_MRP_Main with(nolock) where ManSchIID=")
                   + scheme + QStringLiteral(") as m on SupItmID=ManItmID")
                          : QString())
        + QStringLiteral(" where SupSchIID=") + scheme + QStringLiteral(" and (SupPDmdIID<0 or SupBillType in (22, 24, 34, 36)")
        + (needScope != 0 ? QStringLiteral(" and SupAllotQty>0") : QString())
        + (needScope >= 5 ? QStringLiteral(" and ManItmID is not null)") : QStringLiteral(")"));
    if (f) {
        QString cond = FilterCondition();
        if (FCurFilterKind == 0)
            supplies.replace(QStringLiteral(" where SupSchIID="), QStringLiteral(" left join QZ_Base_ItemMaster with(nolock) on SupItmID=ItmID where SupSchIID="));
        else
            supplies.replace(QStringLiteral(" where SupSchIID="),
                             QStringLiteral(" left join QZ_MRP_ItemSetting with(nolock) on SupItmID=ItmID left join "
                                            "QZ_Base_Employee with(nolock) on %1=EmpID where SupSchIID=")
                                 .arg(FCurFilterKind == 1 ? QStringLiteral("ItmPlannerID") : QStringLiteral("ItmBuyerID")));
        supplies += QStringLiteral(" and (RefPSupIID is not null or ") + cond + u')';
    }
    parts << supplies;
    const QString unionSQL = parts.join(QStringLiteral("\runion all\r"));

    // The info object's own statement over the union, with the view scheme's
    // fields, filter and order: the item, the planned BOM, the department, the
    // customer, the item settings and the overall balance come from its sources.
    QString sql = BuildSelectSQL(QStringLiteral("DmdBillType|DmdDate|DmdNeedQty|DmdQty|SupQty|SupBillType|BomNo"),
                                 QStringLiteral("s.DmdPeriod, s.DmdBillID, s.DmdHints, s.SupIID, s.SupBomLocked, s.DmdMainKind")
                                     + (f ? QStringLiteral(", s.RefHasChild") : QString()),
                                 QString(), QStringLiteral("s.DmdDate, s.DmdPriority desc, s.DmdBillType, i.ItmNo, s.DmdBillNo"),
                                 false);
    const QString table = QStringLiteral(" QZ_MRP_Demands as s with(nolock) ");
    const qsizetype at = sql.indexOf(table, 0, Qt::CaseInsensitive);
    if (at < 0)
        throw Exception(QStringLiteral("信息对象\"QZ_MRP.MRP.Allot\"的数据源不是QZ_MRP_Demands as s。"));
    sql.replace(at, table.size(), QStringLiteral(" (") + unionSQL + QStringLiteral(") as s "));
    return sql;
}

QString TMRPAllotFrame::BuildChildSQL(kvui::TreeNode* ANode) const
{
    const bool f = !FCurFilterText.isEmpty();
    const LineData line = FLines.value(ANode);
    const int type = toInt(line.DmdBillType);
    QString condition;
    if (ANode->level() == 0 && isGroupType(type))
        condition = QStringLiteral("DmdBillType=") + QString::number(type);
    else
        condition = QStringLiteral("DmdPSupIID=") + QString::number(toInt(ANode->value(colSupIID)));
    return QStringLiteral("select DmdIID, DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, DmdBillDate, DmdBillQty, "
                          "OrigType=DmdOrigType, OrigNo=DmdOrigNo+(case when DmdOrigEntry<>0 then "
                          "'/'+cast(DmdOrigEntry as nvarchar(10)) else '' end), OrigCustPO=DmdOrigCustPO, DmdOrigTag, "
                          "DmdGroupType, DmdGroupNo, DmdDate, DmdPriority, i.ItmNo, i.ItmName, i.ItmSpec, DmdItmProps")
        + itemProps(QStringLiteral("Dmd"))
        + QStringLiteral(", DmdUnitQty, DmdOkQty=(case when DmdBillQty>isnull(DmdNeedQty,0) then "
                         "DmdBillQty-isnull(DmdNeedQty,0) else 0 end), DmdNeedQty, DmdInvQty, DmdMOQty, DmdOOQty, DmdPOQty, "
                         "DmdMRQty, DmdORQty, DmdPRQty, DmdReplQty, DmdChkQty, DmdASetQty, DmdASetRate, "
                         "DmdNetQty=isnull(DmdQty,0)+isnull(DmdPPPQty1,0)+isnull(DmdPPPQty2,0), "
                         "DmdPPPQty=isnull(DmdPPPQty1,0)+isnull(DmdPPPQty2,0), DmdNote, DmdHints, s.SupIID, SupBillType, "
                         "SupQty, SupDSetQty, SupDSetRate, SupBomLocked, SupBomType, BomNo, UntName, mt.ItmMinQty, "
                         "mt.ItmLotQty, mt.ItmFixLeadTime, mt.ItmVarLeadTime, mt.ItmVarLeadLot, ItmPlanner=ep.EmpName, "
                         "ItmBuyer=eb.EmpName, OrigCust=CustName, "
                         "BalNeedQty=isnull(BalForQty,0)+isnull(BalSOQty,0)+isnull(BalFreeQty,0)+isnull(BalPOODQty,0)"
                         "+isnull(BalPMODQty,0)+isnull(BalVirDQty,0), BalPBomQty=isnull(BalMODQty,0)+isnull(BalOODQty,0), "
                         "BalGOutQty, BalROutQty, BalSafeQty, BalInvQty, BalPOQty, BalOOQty, BalMOQty, BalChkQty, BalPRQty, "
                         "BalORQty, BalMRQty, BalGInQty, BalRInQty, BalNetQty, BalQty, BalXQty, BalEndQty")
        + (f ? QStringLiteral(", RefHasChild") : QString()) + QStringLiteral(" from QZ_MRP_Demands with(nolock)")
        + (f ? QStringLiteral(" join ") + FSQLTempTable + QStringLiteral(" with(nolock) on DmdIID=RefDmdIID") : QString())
        + QStringLiteral(" left join QZ_MRP_Supplies as s with(nolock) on DmdSchIID=s.SupSchIID and DmdIID=SupPDmdIID left "
                         "join QZ_MRP_BOMsOfSupply as b with(nolock) on s.SupSchIID=b.SupSchIID and s.SupIID=b.SupIID left "
                         "join QZ_Base_ItemMaster as i with(nolock) on DmdItmID=i.ItmID left join QZ_Base_Unit with(nolock) "
                         "on i.ItmUnitID=UntID left join QZ_MRP_ItemSetting as mt with(nolock) on DmdItmID=mt.ItmID left "
                         "join QZ_Base_Employee as ep with(nolock) on mt.ItmPlannerID=ep.EmpID left join QZ_Base_Employee "
                         "as eb with(nolock) on mt.ItmBuyerID=eb.EmpID left join QZ_Base_Customer with(nolock) on "
                         "DmdOrigCustID=CustID left join QZ_MRP_Balance with(nolock) on DmdSchIID=BalSchIID and "
                         "DmdGroupType=BalGroupType and DmdGroupNo=BalGroupNo and DmdItmID=BalItmID and "
                         "DmdItmProps=BalItmProps where DmdSchIID=")
        + QString::number(FPlanScheme ? FPlanScheme->SchemeIID : 0) + QStringLiteral(" and ") + condition
        + QStringLiteral(" order by DmdBillEntry, i.ItmNo");
}

void TMRPAllotFrame::LoadAllotNodes(kvui::TreeNode* ANode)
{
    if (!FPlanScheme)
        return;
    kvui::TreeList* t = grdAllot;
    if (ANode) {
        if (ANode->childCount() > 0)
            return;
        TMRPWaitCursor hourglass;
        TMRPTreeUpdate update(t);
        TADOQuery* q = GlobalADOQuery;
        if (!ExecSQLText(q, BuildChildSQL(ANode), true, false, true))
            return;
        FillLines(ANode, q);
        q->Close();
        return;
    }

    QString failure;
    bool failed = false;
    {
        // The wait shows before the reading starts: the hourglass, the hint in
        // the status bar, and the window drawn again where a dialog just closed.
        TMRPWaitCursor hourglass;
        struct LoadingHint {
            LoadingHint(QWidget* AWindow)
            {
                if (InfoApplication)
                    InfoApplication->ShowStatusMessage(LoadingText, mkHint);
                if (AWindow && AWindow->isVisible())
                    AWindow->repaint();
            }
            ~LoadingHint()
            {
                if (InfoApplication)
                    InfoApplication->ShowStatusMessage(QString(), mkHint);
            }
        } hint(window());
        TMRPTreeUpdate update(t);
        FCurFilterKind = cboFilterKind->currentIndex();
        FCurFilterText = edtFilterText->text().trimmed();
        FCurFilterNoBom = chkFilterNoBom->isChecked();
        FLines.clear();
        t->clear();
        try {
            if (!FCurFilterText.isEmpty())
                CollectFilterChains(FilterCondition());
            BuiltSQL = BuildTopLevelSQL();
            ExecSQLText(GlobalADOQuery, BuiltSQL, true, true, false);
            FillLines(nullptr, GlobalADOQuery);
            GlobalADOQuery->Close();
            if (t->topCount() > 0) {
                t->setFocusedColumn(colDmdPriority);
                t->clearSelection();
                t->setFocusedNode(t->topNode(0));
            }
        } catch (const Exception& e) {
            failed = true;
            failure = e.Message;
        } catch (const std::exception& e) {
            failed = true;
            failure = QString::fromUtf8(e.what());
        }
    }
    if (failed) {
        GlobalADOQuery->Close();
        ShowError(FormatMessage(DataLoadFailed, {failure}));
    }
}

void TMRPAllotFrame::FillLines(kvui::TreeNode* AParent, TADOQuery* AQuery)
{
    kvui::TreeList* t = grdAllot;
    const bool f = !FCurFilterText.isEmpty();
    const int needScope = FPlanScheme ? FPlanScheme->PlanNeedScope : 0;
    const int periodCount = int(FPeriodCols.size());
    for (; !AQuery->Eof(); AQuery->Next()) {
        kvui::TreeNode* node = t->addNode(AParent);
        for (int i = 0; i < FColumns.size(); ++i)
            node->setValue(FColumns[i], GetFieldValue(AQuery, FColumnFieldNames[i]));
        if (AParent)
            node->setValue(colDmdDept, AParent->value(colDmdDept));
        LineData line;
        line.DmdHints = GetFieldValue(AQuery, QStringLiteral("DmdHints"));
        line.DmdPeriod = GetFieldValue(AQuery, QStringLiteral("DmdPeriod"));
        line.SupBillType = GetFieldValue(AQuery, QStringLiteral("SupBillType"));
        line.BomNo = GetFieldValue(AQuery, QStringLiteral("BomNo"));
        line.SupBomLocked = GetFieldValue(AQuery, QStringLiteral("SupBomLocked"));
        line.DmdMainKind = GetFieldValue(AQuery, QStringLiteral("DmdMainKind"));
        line.DmdBillType = GetFieldValue(AQuery, QStringLiteral("DmdBillType"));
        line.RefHasChild = GetFieldValue(AQuery, QStringLiteral("RefHasChild"));
        FLines.insert(node, line);
        const int type = toInt(line.DmdBillType);
        if (!AParent)
            node->setStateIndex(toInt(line.DmdMainKind));

        // The line's quantity over the plan periods.
        const bool supplyLine = !AParent && !isMainDemand(type) && !isGroupType(type);
        const double q = toDouble(GetFieldValue(AQuery, supplyLine ? QStringLiteral("SupQty") : QStringLiteral("DmdNeedQty")));
        if (q != 0 && periodCount > 0) {
            const QString hints = isNullValue(line.DmdHints) ? QString() : line.DmdHints.toString();
            if (!hints.isEmpty()) {
                for (const QString& l : hints.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
                    const qsizetype eq = l.indexOf(u'=');
                    if (eq <= 0)
                        continue;
                    bool ok = false;
                    const double v = QLocale::c().toDouble(l.mid(eq + 1).trimmed(), &ok);
                    const int p = untMRPUtils::PeriodKeyToIndex(l.left(eq).trimmed());
                    if (!ok || p < 0 || p >= periodCount)
                        continue;
                    node->setValue(qobject_cast<kvui::Column*>(FPeriodCols[size_t(p)].Column), v);
                }
            } else if (!isNullValue(line.DmdPeriod)) {
                const int p = line.DmdPeriod.toInt();
                if (p >= 0 && p < periodCount)
                    node->setValue(qobject_cast<kvui::Column*>(FPeriodCols[size_t(p)].Column), q);
            }
        }

        // Whether the line has children.
        bool children;
        const int s = toInt(line.SupBillType);
        if (f && toInt(line.RefHasChild) != 1)
            children = false;
        else if (!AParent)
            children = (s != 0 && s != btPlannedPurchase) || (type != 2 && type != 4 && type != 8 && type != 12 && type != 58);
        else
            children = (s != 0 && s != btPlannedPurchase && needScope <= 4) || isSkippedLevelPlan(s);
        node->setHasChildren(children);
    }
}

void TMRPAllotFrame::FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool,
                                           QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor)
{
    if (!ANode || !AColumn)
        return;
    const LineData line = FLines.value(ANode);
    const int type = toInt(line.DmdBillType);
    const bool top = ANode->level() == 0;
    const bool group = top && isGroupType(type);
    const bool supplyLine = top && !group && !isMainDemand(type);
    if (top && toInt(line.DmdMainKind) == 2)
        AOutTextColor = QApplication::palette().color(QPalette::Disabled, QPalette::ButtonText);
    if (AColumn == colBalInvQty && toDouble(ANode->value(AColumn)) < 0)
        AOutTextColor = QColor(0xFF, 0x00, 0x00);
    // A selected line keeps the selection's colours: the pale shade under the
    // selection's white text would leave its figures unreadable.
    const auto shade = [&]() {
        if (!ASelected)
            AOutBrush = FSecondaryColor;
    };
    if (group && AColumn != colDmdBillType)
        shade();
    // A supply line's own figures stand apart: its unit, planned quantity and
    // type and its quantities other than the item's settings and balance.
    if (supplyLine && AColumn->tag() <= 0) {
        const QString field = GetColumnFieldName(AColumn);
        const bool ownQuantity = AColumn->valueType() == QLatin1String("Float") && !field.startsWith(QLatin1String("Itm"))
            && !field.startsWith(QLatin1String("Bal"));
        if (AColumn == colDmdUnit || AColumn == colSupQty || AColumn == colSupBillType || ownQuantity)
            shade();
    }
    if (AColumn == colDmdBillType && top && (isMainDemand(type) || group)) {
        AOutFont.setBold(true);
        if (type == btNegativeStock)
            AOutTextColor = QColor(0xFF, 0x00, 0x00);
    }
    const int s = toInt(line.SupBillType);
    const bool noBom = isNullValue(line.BomNo) || line.BomNo.toString().isEmpty();
    if ((supplyLine && noBom) || (!supplyLine && s != 0 && s != btPlannedPurchase && noBom))
        AOutTextColor = QColor(0xFF, 0x00, 0x00);
    else if (toDouble(ANode->value(colDmdNetQty)) > toDouble(ANode->value(colDmdPPPQty))
             && toDouble(ANode->value(colSupQty)) == 0 && !group)
        AOutTextColor = QColor(0xFF, 0x00, 0xFF);
    if (AColumn->tag() > 0 && FPlanScheme) {
        const QVariant date = ANode->value(colDmdDate);
        if (!isNullValue(date)) {
            const double day = date.typeId() == QMetaType::QDate || date.typeId() == QMetaType::QDateTime
                ? double(QDate(1899, 12, 30).daysTo(date.toDate()))
                : date.toDouble();
            if (FindPlanPeriodIndex(FPlanScheme->MrpPeriods, day) == AColumn->tag() - 1)
                AOutBrush = ASelected ? QColor(0x00, 0xC0, 0xC0) : QColor(0xC2, 0xFF, 0xFF);
        }
    }
    if ((AColumn == colSupDSetQty || AColumn == colSupDSetRate) && (!ANode->hasChildren() || group))
        shade();
}
