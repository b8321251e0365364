#include "famMRPBalance.h"

#include "DisplayFormat.h"
#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untCommonUI.h"
#include "untDllCommon.h"
#include "untMRP.h"
#include "untMRPViewUtils.h"
#include "untMRPCalendar.h"
#include "untMRPUtils.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
const QString QtyFormat = QStringLiteral("###,###,###,##0.########");

// Half to the even neighbour at eight decimals, as derived quantities are kept.
double round8(double AValue)
{
    return std::nearbyint(AValue * 1e8) / 1e8;
}

double toDouble(const QVariant& v)
{
    return !v.isValid() || v.isNull() ? 0.0 : v.toDouble();
}

bool isNullValue(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

// Numbers on item lines as the float columns show them (nothing for zero);
// on period lines every figure shows, zeros included.
void quantityText(const kvui::RowRef& ARow, const QVariant& AValue, QString& AText)
{
    if (isNullValue(AValue)) {
        AText.clear();
        return;
    }
    const double value = AValue.toDouble();
    const bool periodLine = ARow.node && ARow.node->level() > 0;
    AText = value == 0 && !periodLine ? QString() : kvui::formatFloat(QtyFormat, value);
}

} // namespace

void AddBalanceByBillType(TMRPBalanceRec& ARec, int ABillType, double AQty)
{
    switch (ABillType) {
    case 2:
    case 4:
        ARec.BalSOQty += AQty;
        break;
    case 8:
        ARec.BalForQty += AQty;
        break;
    case 12:
        ARec.BalFreeQty += AQty;
        break;
    case 16:
        ARec.BalInvQty += AQty;
        break;
    case 72:
        ARec.BalInvQty -= AQty;
        break;
    case 74:
        ARec.BalSafeQty += AQty;
        break;
    case 79:
    case 82:
        ARec.BalOODQty += AQty;
        break;
    case 80:
    case 84:
        ARec.BalMODQty += AQty;
        break;
    case 92:
    case 94:
    case 96:
        ARec.BalRelQty += AQty;
        break;
    case 22:
        ARec.BalMOQty += AQty;
        break;
    case 24:
        ARec.BalOOQty += AQty;
        break;
    case 26:
    case 28:
        ARec.BalPOQty += AQty;
        break;
    case 34:
        ARec.BalMRQty += AQty;
        break;
    case 36:
        ARec.BalORQty += AQty;
        break;
    case 38:
        ARec.BalPRQty += AQty;
        break;
    case 42:
    case 52:
    case 58:
        ARec.BalQty += AQty;
        break;
    case 44:
    case 54:
    case 62:
    case 64:
    case 66:
        ARec.BalXQty += AQty;
        break;
    default:
        break;
    }
}

TMRPBalanceFrame::TMRPBalanceFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TInfoTreeView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("MRPBalanceFrame"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    gbxOptions = new QFrame(this);
    gbxOptions->setObjectName(QStringLiteral("gbxOptions"));
    gbxOptions->setFrameShape(QFrame::NoFrame);
    gbxOptions->setFixedHeight(35);
    gbxOptions->setAutoFillBackground(true);
    auto* optionsBox = new QHBoxLayout(gbxOptions);
    optionsBox->setContentsMargins(8, 0, 8, 0);
    lblPlanState = new QLabel(gbxOptions);
    lblPlanState->setObjectName(QStringLiteral("lblPlanState"));
    optionsBox->addWidget(lblPlanState);
    optionsBox->addStretch();
    box->addWidget(gbxOptions);

    grdBalance = new kvui::TreeList(this);
    grdBalance->setObjectName(QStringLiteral("grdBalance"));
    box->addWidget(grdBalance);

    kvui::TreeList* t = grdBalance;
    t->beginUpdate();
    t->setShowBandHeaders(true);
    t->setShowIndicator(true);
    t->setShowTreeLines(false);
    t->setMultiSelect(true);
    t->setEditingEnabled(false);
    t->setReadOnly(true);
    t->addBand(QString(), kvui::BandFixed::Left);
    t->addBand(QString(), kvui::BandFixed::None);
    for (const QString& caption : {QStringLiteral("可用库存"), QStringLiteral("毛需求"), QStringLiteral("预计出库"),
                                   QStringLiteral("预计入库")}) {
        const int band = t->addBand(caption, kvui::BandFixed::None);
        t->band(band).ownColumnsOnly = true;
    }
    t->addBand(QString(), kvui::BandFixed::Right);
    for (int i = 0; i < t->bandCount(); ++i) {
        t->band(i).id = i;
        t->band(i).movable = false;
    }

    const auto add = [this, t](kvui::Column*& column, const QString& name, const QString& caption, const QString& field,
                               int band, bool itemColumn) {
        column = t->addColumn(caption, QString(), band);
        column->setObjectName(name);
        column->setEditable(false);
        if (itemColumn)
            column->setTag(-1);
        if (band >= 2) {
            column->setValueType(QStringLiteral("Float"));
            column->setMovable(false);
            column->setEditor(RightAlignedTextItem());
            column->displayTextHook = quantityText;
        }
        BindStaticColumn(column, field);
    };
    add(colBalItmID, QStringLiteral("colBalItmID"), QString(), QStringLiteral("BalItmID"), 0, false);
    colBalItmID->setVisible(false);
    add(colBalItmNo, QStringLiteral("colBalItmNo"), QStringLiteral("物料代码"), QStringLiteral("ItmNo"), 0, true);
    add(colBalGroupType, QStringLiteral("colBalGroupType"), QStringLiteral("MRP分组"), QStringLiteral("BalGroupType"), 0, true);
    add(colBalGroupNo, QStringLiteral("colBalGroupNo"), QStringLiteral("MRP分组号/期间"), QStringLiteral("BalGroupNo"), 0, false);
    add(colBalItmName, QStringLiteral("colBalItmName"), QStringLiteral("物料名称"), QStringLiteral("ItmName"), 1, true);
    add(colBalItmSpec, QStringLiteral("colBalItmSpec"), QStringLiteral("规格型号"), QStringLiteral("ItmSpec"), 1, true);
    add(colBalUnit, QStringLiteral("colBalUnit"), QStringLiteral("单位"), QStringLiteral("UntName"), 1, true);
    add(colItmPlanner, QStringLiteral("colItmPlanner"), QStringLiteral("计划员"), QStringLiteral("ItmPlanner"), 1, true);
    add(colItmBuyer, QStringLiteral("colItmBuyer"), QStringLiteral("采购员"), QStringLiteral("ItmBuyer"), 1, true);
    add(colItmMinQty, QStringLiteral("colItmMinQty"), QStringLiteral("最小供应量"), QStringLiteral("ItmMinQty"), 1, true);
    add(colItmLotQty, QStringLiteral("colItmLotQty"), QStringLiteral("批量增量"), QStringLiteral("ItmLotQty"), 1, true);
    add(colBalItmProps, QStringLiteral("colBalItmProps"), QString(), QStringLiteral("BalItmProps"), 1, true);
    colBalItmProps->setVisible(false);
    for (int i = 0; i < 10; ++i)
        add(colBalItmProp[i], QStringLiteral("colBalItmProp%1").arg(i + 1), QStringLiteral("辅助项%1").arg(i + 1),
            QStringLiteral("BalItmProp%1").arg(i + 1), 1, true);
    add(colBalInvQty, QStringLiteral("colBalInvQty"), QStringLiteral("初始库存"), QStringLiteral("BalInvQty"), 2, false);
    add(colBalSafeQty, QStringLiteral("colBalSafeQty"), QStringLiteral("安全库存"), QStringLiteral("BalSafeQty"), 2, false);
    add(colBalForQty, QStringLiteral("colBalForQty"), QStringLiteral("产品预测"), QStringLiteral("BalForQty"), 3, false);
    add(colBalSOQty, QStringLiteral("colBalSOQty"), QStringLiteral("销售订单"), QStringLiteral("BalSOQty"), 3, false);
    add(colBalFreeQty, QStringLiteral("colBalFreeQty"), QStringLiteral("其他需求"), QStringLiteral("BalFreeQty"), 3, false);
    add(colBalRelQty, QStringLiteral("colBalRelQty"), QStringLiteral("相关需求"), QStringLiteral("BalRelQty"), 3, false);
    add(colBalOODQty, QStringLiteral("colBalOODQty"), QStringLiteral("委外待出"), QStringLiteral("BalOODQty"), 4, false);
    add(colBalMODQty, QStringLiteral("colBalMODQty"), QStringLiteral("生产待出"), QStringLiteral("BalMODQty"), 4, false);
    add(colBalROutQty, QStringLiteral("colBalROutQty"), QStringLiteral("替代他料"), QStringLiteral("BalROutQty"), 4, false);
    add(colBalPOQty, QStringLiteral("colBalPOQty"), QStringLiteral("采购订单"), QStringLiteral("BalPOQty"), 5, false);
    add(colBalOOQty, QStringLiteral("colBalOOQty"), QStringLiteral("委外订单"), QStringLiteral("BalOOQty"), 5, false);
    add(colBalMOQty, QStringLiteral("colBalMOQty"), QStringLiteral("生产任务"), QStringLiteral("BalMOQty"), 5, false);
    add(colBalChkQty, QStringLiteral("colBalChkQty"), QStringLiteral("(在检数)"), QStringLiteral("BalChkQty"), 5, false);
    add(colBalPRQty, QStringLiteral("colBalPRQty"), QStringLiteral("采购申请"), QStringLiteral("BalPRQty"), 5, false);
    add(colBalORQty, QStringLiteral("colBalORQty"), QStringLiteral("委外申请"), QStringLiteral("BalORQty"), 5, false);
    add(colBalMRQty, QStringLiteral("colBalMRQty"), QStringLiteral("生产计划"), QStringLiteral("BalMRQty"), 5, false);
    add(colBalRInQty, QStringLiteral("colBalRInQty"), QStringLiteral("他料替入"), QStringLiteral("BalRInQty"), 5, false);
    add(colBalNetQty, QStringLiteral("colBalNetQty"), QStringLiteral("净需求"), QStringLiteral("BalNetQty"), 6, false);
    add(colBalQty, QStringLiteral("colBalQty"), QStringLiteral("计划数量"), QStringLiteral("BalQty"), 6, false);
    add(colBalXQty, QStringLiteral("colBalXQty"), QStringLiteral("跳层数量"), QStringLiteral("BalXQty"), 6, false);
    add(colBalEndQty, QStringLiteral("colBalEndQty"), QStringLiteral("剩余数量"), QStringLiteral("BalEndQty"), 6, false);
    for (kvui::Column* c : {colBalItmID, colBalItmNo, colBalGroupType, colBalGroupNo})
        c->setMovable(false);
    colBalItmNo->setWidth(90);
    colBalGroupNo->setWidth(100);
    colBalItmName->setWidth(90);
    colBalItmSpec->setWidth(90);
    colBalUnit->setWidth(40);
    t->endUpdate();

    // The look in use: the state label's text and the panel's colour.
    lblPlanState->clear();
    QPalette labelPalette = lblPlanState->palette();
    labelPalette.setColor(QPalette::WindowText, TColorToQColor(ContentTextColor()));
    lblPlanState->setPalette(labelPalette);
    QPalette panelPalette = gbxOptions->palette();
    panelPalette.setColor(QPalette::Window, TColorToQColor(ContentColor()));
    gbxOptions->setPalette(panelPalette);
    FSecondaryColor = grdBalance->viewPalette().group;

    grdBalance->setExpandingHook([this](kvui::TreeNode* node) {
        grdBalance->setFocusedNode(node);
        try {
            LoadBalanceNodes(node);
        } catch (const std::exception& e) {
            // What the bills query raised ends the expansion and reaches the user.
            ShowExceptionMessage(e);
            return false;
        }
        // An item without period lines stays closed and keeps its button.
        return node->childCount() > 0;
    });
    // A period line that closes hands the focus to its item line first, so
    // the focus never passes through another item on the way.
    grdBalance->setCollapsingHook([this](kvui::TreeNode* node) {
        kvui::TreeNode* focused = grdBalance->focusedNode();
        if (focused && focused != node && GetTopLevelNode(focused) == node)
            grdBalance->setFocusedNode(node);
        return true;
    });
    connect(grdBalance, &kvui::TreeList::focusedNodeChanged, this,
            [this](kvui::TreeNode* previous, kvui::TreeNode* current) { grdBalanceFocusedNodeChanged(previous, current); });

    ViewComponent = grdBalance;
}

TMRPBalanceFrame::~TMRPBalanceFrame()
{
    if (grdBalance)
        grdBalance->disconnect(this);
}

void TMRPBalanceFrame::SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection)
{
    FPlanScheme = APlanScheme;
    FConnection = AConnection;
    DataIsFresh = false;
    if (FMRPBillsFrame)
        FMRPBillsFrame->SetPlanScheme(FPlanScheme, FConnection);
}

void TMRPBalanceFrame::NotifyDetailCreated(const IInfoViewPtr& ADetailFrame)
{
    auto* bills = dynamic_cast<TMRPBillsFrame*>(ADetailFrame.get());
    if (!bills)
        return;
    FMRPBillsFrame = bills;
    if (FPlanScheme)
        bills->SetPlanScheme(FPlanScheme, FConnection);
}

void TMRPBalanceFrame::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    // The detail follows item lines only (grdBalanceFocusedNodeChanged), so
    // the base must not fire on every focused line.
    const TNotifyEvent handler = FOnFocusedRecordChanged;
    FOnFocusedRecordChanged = nullptr;
    try {
        TInfoTreeView::InitializeView(AViewAsDetailID, AMasterView);
    } catch (...) {
        FOnFocusedRecordChanged = handler;
        throw;
    }
    FOnFocusedRecordChanged = handler;
}

void TMRPBalanceFrame::RefreshPlanState()
{
    ShowPlanStateLabel(lblPlanState, FPlanScheme);
}

void TMRPBalanceFrame::RefreshData(bool ARebuild)
{
    if (FPlanScheme && FPlanScheme->PlanType != 0)
        InfoApplication->ParseViewSchemeSQL(ObjectDef, &ViewScheme, GlobalADOQuery);
    TInfoTreeView::RefreshData(ARebuild);
    if (!ViewScheme.SQLParsed)
        return;
    RefreshPlanState();
    LoadBalanceNodes(nullptr);
}

void TMRPBalanceFrame::ApplyViewScheme()
{
    kvui::TreeList* t = grdBalance;
    TMRPTreeUpdate update(t);
    t->band(1).visible = false;
    TInfoTreeView::ApplyViewScheme();
    colBalItmNo->setVisible(true);
    colBalGroupNo->setVisible(true);
    for (int i = FStaticColumnCount; i < FColumns.size(); ++i) {
        FColumns[i]->setBandIndex(1);
        FColumns[i]->setTag(-1);
    }
    for (kvui::Column* c : t->columns())
        if (c->bandIndex() == 1 && c->isVisible())
            t->band(1).visible = true;
}

void TMRPBalanceFrame::LoadBalanceNodes(kvui::TreeNode* ANode)
{
    if (ANode)
        LoadPeriodNodes(ANode);
    else
        LoadItemNodes();
}

void TMRPBalanceFrame::LoadItemNodes()
{
    kvui::TreeList* t = grdBalance;
    int rows = 0;
    QString failure;
    bool failed = false;
    {
        TMRPTreeUpdate update(t);
        TMRPWaitCursor hourglass;
        FNotifiedItemLine = nullptr;
        t->clear();
        try {
            QString sql;
            {
                // One row more than the limit tells a cut result from a whole one.
                TRowCapForQuery cap;
                sql = BuildSelectSQL(QStringLiteral("ItmNo|BalGroupType|BalGroupNo"), QString(),
                                     QStringLiteral("s.BalSchIID=") + QString::number(FPlanScheme ? FPlanScheme->SchemeIID : 0),
                                     QStringLiteral("i.ItmNo"), true);
            }
            ExecSQLText(GlobalADOQuery, sql, true, true, false);
            const int limit = InfoApplication->MaxResultRowCount > 0 ? InfoApplication->MaxResultRowCount : INT_MAX;
            for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
                ++rows;
                if (rows > limit)
                    break;
                kvui::TreeNode* node = t->addNode();
                for (int i = 0; i < FColumns.size(); ++i)
                    node->setValue(FColumns[i], GetFieldValue(GlobalADOQuery, FColumnFieldNames[i]));
                node->setHasChildren(true);
            }
            GlobalADOQuery->Close();
            if (t->topCount() > 0) {
                for (kvui::Column* c : t->visibleColumns()) {
                    t->setFocusedColumn(c);
                    break;
                }
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
    // Without item lines the detail shows no bills either.
    if (t->topCount() == 0)
        NotifyItemLineChanged();
    if (failed) {
        GlobalADOQuery->Close();
        ShowError(FormatMessage(DataLoadFailed, {failure}));
        return;
    }
    CheckResultRowLimit(rows);
}

void TMRPBalanceFrame::LoadPeriodNodes(kvui::TreeNode* ANode)
{
    if (!ANode || ANode->childCount() > 0 || !FMRPBillsFrame || !FPlanScheme)
        return;
    TMRPBillsFrame* bills = FMRPBillsFrame;
    TMRPWaitCursor hourglass;
    TMRPTreeUpdate update(grdBalance);

    if (!bills->DataRefreshed())
        bills->RefreshData(true);
    if (!bills->DataRefreshed())
        return;

    const TPlanPeriods& periods = FPlanScheme->MrpPeriods;
    const int periodCount = int(periods.size());
    std::vector<TMRPBalanceRec> recs(static_cast<size_t>(periodCount));
    // Only periods of the scheme take a quantity: a period code or index
    // beyond them (or not a period code at all) goes nowhere.
    const auto inRange = [periodCount](int p) { return p >= 0 && p < periodCount; };
    const auto addQty = [&recs](int p, int billClass, int billType, double q) {
        TMRPBalanceRec& r = recs[size_t(p)];
        if (billClass == TMRPBillsFrame::bcReplaceOut)
            r.BalROutQty += q;
        else if (billClass == TMRPBillsFrame::bcReplaceIn)
            r.BalRInQty += q;
        else
            AddBalanceByBillType(r, billType, q);
        r.BalHasIO = true;
    };

    const int rows = bills->BillRowCount();
    for (int row = 0; row < rows; ++row) {
        const QVariant hintsValue = bills->BillValue(row, QStringLiteral("SupHints"));
        const QString hints = isNullValue(hintsValue) ? QString() : hintsValue.toString();
        const int billClass = bills->BillValue(row, QStringLiteral("BillClass")).toInt();
        const int billType = bills->BillValue(row, QStringLiteral("SupBillType")).toInt();
        if (hints.isEmpty()) {
            const double q = toDouble(bills->BillValue(row, QStringLiteral("SupQty")));
            if (q <= 0)
                continue;
            const int p = bills->BillValue(row, QStringLiteral("SupPeriod")).toInt();
            if (isNullValue(bills->BillValue(row, QStringLiteral("SupPeriod"))) || !inRange(p))
                continue;
            addQty(p, billClass, billType, q);
            if (billClass == TMRPBillsFrame::bcOrder)
                recs[size_t(p)].BalChkQty += toDouble(bills->BillValue(row, QStringLiteral("SupChkQty")));
            continue;
        }
        QStringList lines = hints.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
        lines.sort();
        double chk = billClass == TMRPBillsFrame::bcOrder ? toDouble(bills->BillValue(row, QStringLiteral("SupChkQty"))) : 0.0;
        for (const QString& line : std::as_const(lines)) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0)
                continue;
            bool ok = false;
            const double q = QLocale::c().toDouble(line.mid(eq + 1).trimmed(), &ok);
            if (!ok || q <= 0)
                continue;
            const QString key = line.left(eq).trimmed();
            const int p = key.isEmpty() ? -1 : untMRPUtils::PeriodKeyToIndex(key);
            if (!inRange(p))
                continue;
            addQty(p, billClass, billType, q);
            if (chk > 0) {
                const double take = std::min(q, chk);
                recs[size_t(p)].BalChkQty += take;
                chk -= take;
            }
        }
    }

    double carry = 0;
    for (int p = 0; p < periodCount; ++p) {
        const TMRPBalanceRec& r = recs[size_t(p)];
        if (!r.BalHasIO)
            continue;
        const double avail = carry + r.BalInvQty;
        const double net = round8((r.BalForQty + r.BalSOQty + r.BalFreeQty + r.BalRelQty + r.BalSafeQty + r.BalOODQty
                                   + r.BalMODQty + r.BalROutQty)
                                  - avail - r.BalPOQty - r.BalOOQty - r.BalMOQty - r.BalPRQty - r.BalORQty - r.BalMRQty
                                  - r.BalRInQty);
        const double rest = round8(r.BalQty + r.BalXQty - net);
        carry = rest;
        kvui::TreeNode* line = grdBalance->addNode(ANode);
        line->setValue(colBalGroupNo, BuildPlanPeriodCaptions(periods, p));
        const std::pair<kvui::Column*, double> figures[] = {
            {colBalInvQty, avail},       {colBalSafeQty, r.BalSafeQty}, {colBalForQty, r.BalForQty},
            {colBalSOQty, r.BalSOQty},   {colBalFreeQty, r.BalFreeQty}, {colBalRelQty, r.BalRelQty},
            {colBalOODQty, r.BalOODQty}, {colBalMODQty, r.BalMODQty},   {colBalROutQty, r.BalROutQty},
            {colBalPOQty, r.BalPOQty},   {colBalOOQty, r.BalOOQty},     {colBalMOQty, r.BalMOQty},
            {colBalChkQty, r.BalChkQty}, {colBalPRQty, r.BalPRQty},     {colBalORQty, r.BalORQty},
            {colBalMRQty, r.BalMRQty},   {colBalRInQty, r.BalRInQty},   {colBalNetQty, net},
            {colBalQty, r.BalQty},       {colBalXQty, r.BalXQty},       {colBalEndQty, rest},
        };
        for (const auto& [column, value] : figures)
            line->setValue(column, value);
    }
}

void TMRPBalanceFrame::grdBalanceFocusedNodeChanged(kvui::TreeNode* APrevFocusedNode, kvui::TreeNode* AFocusedNode)
{
    kvui::TreeNode* before = APrevFocusedNode ? GetTopLevelNode(APrevFocusedNode) : nullptr;
    kvui::TreeNode* now = AFocusedNode ? GetTopLevelNode(AFocusedNode) : nullptr;
    if (before == now && now)
        return;
    // Losing the focus for a moment while the tree rebuilds its rows (a
    // collapse over the focused line) is no change of item.
    if (!now && grdBalance->topCount() > 0)
        return;
    if (now == FNotifiedItemLine)
        return;
    FNotifiedItemLine = now;
    NotifyItemLineChanged();
}

void TMRPBalanceFrame::NotifyItemLineChanged()
{
    try {
        DoFocusedRecordChanged();
    } catch (const std::exception& e) {
        // What the detail's refresh raised reaches the user, not the event loop.
        ShowExceptionMessage(e);
    }
}

QString TMRPBalanceFrame::GetFocusedRecordString(const QString& AFieldID)
{
    if (AFieldID.compare(QStringLiteral("BalSchIID"), Qt::CaseInsensitive) == 0)
        return QString::number(FPlanScheme ? FPlanScheme->SchemeIID : 0);
    kvui::Column* column = FindFieldColumn(AFieldID);
    if (column == colBalItmID || column == colBalItmProps || column == colBalGroupType || column == colBalGroupNo) {
        kvui::TreeNode* node = grdBalance->focusedNode();
        if (!node || !column)
            return QStringLiteral("null");
        const QVariant value = GetTopLevelNode(node)->value(column);
        if (column == colBalGroupType)
            return QString::number(isNullValue(value) ? 0 : value.toInt());
        if (column == colBalItmID && isNullValue(value))
            return QStringLiteral("null");
        return QuotedStr(isNullValue(value) ? QString() : value.toString());
    }
    return TInfoTreeView::GetFocusedRecordString(AFieldID);
}

void TMRPBalanceFrame::FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool, bool, QColor& AOutBrush,
                                             QFont&, QColor& AOutTextColor)
{
    if (!ANode || !AColumn)
        return;
    if (ANode->level() > 0 && AColumn->tag() < 0)
        AOutBrush = FSecondaryColor;
    if (AColumn == colBalInvQty && toDouble(ANode->value(AColumn)) < 0)
        AOutTextColor = QColor(0xFF, 0x00, 0x00);
}
