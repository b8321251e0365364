#include "famMRPOutput.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "dlgMRPOutputSet.h"
#include "famDoResults.h"
#include "untCommonUI.h"
#include "untDllCommon.h"
#include "untMRPCalendar.h"
#include "untMRPOutputBills.h"
#include "untMRPOutputSQL.h"
#include "untMRPOutputState.h"
#include "untMRPUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
const QString ReloadQuestion = QStringLiteral("此操作将重新装载待投放的计划数据, 视图中的修改信息将被丢弃, 确定?");
const QString RefDateEmpty = QStringLiteral("计算历史采购数或历史领料数的起算日期不能为空!");
const QString SchemeGone = QStringLiteral("计划方案[%s]已取消发布, 或已关闭投放, 不能继续进行投放!");
const QString SubstituteBillNo = QStringLiteral("替代料");

const QString OptItemSubs = QStringLiteral("[ItemSubs]");
const QString OptPlanType = QStringLiteral("[PlanType]");
const QString OptSuppDef = QStringLiteral("[SuppDef]");
const QString OptSuppList = QStringLiteral("[SuppList]");
const QString OptRefPOQty = QStringLiteral("[RefPOQty]");
const QString OptRefUseQty = QStringLiteral("[RefUseQty]");
const QString OptRefDate = QStringLiteral("[RefDate]");

// Bill types: planned supplies and output targets.
constexpr int btPlanMO = 42;
constexpr int btPlanOO = 52;
constexpr int btPlanPO = 58;

const QColor clYellow(255, 255, 194), clOlive(192, 192, 0), clCyan(194, 255, 255), clTeal(0, 192, 192),
    clOrange(255, 128, 0), clRed(255, 0, 0), clBlue(0, 0, 255);

int whole(const QVariant& v)
{
    return OutputIsNone(v) ? 0 : v.toInt();
}

QString text(const QVariant& v)
{
    return OutputIsNone(v) ? QString() : v.toString();
}

QDate dateOf(const QVariant& v)
{
    if (OutputIsNone(v))
        return QDate();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    const QDate d = QDate::fromString(v.toString().left(10), Qt::ISODate);
    return d.isValid() ? d : v.toDateTime().date();
}

// The tree's nodes as the row arithmetic sees them.
class TreeAccess : public TMRPOutputTreeAccess {
public:
    explicit TreeAccess(const TMRPOutputFrame* AFrame) : f(AFrame) {}
    static kvui::TreeNode* node(const void* n) { return const_cast<kvui::TreeNode*>(static_cast<const kvui::TreeNode*>(n)); }
    kvui::Column* column(TMRPOutputQtyField AField) const
    {
        switch (AField) {
        case oqQty: return f->colSupQty;
        case oqDestQty: return f->colSupDestQty;
        case oqDoDestQty: return f->colSupDoDestQty;
        case oqDoDestQtyU: return f->colSupDoDestQtyU;
        case oqUnDestQty: return f->colSupUnDestQty;
        case oqUnitRate: return f->colSupDestUntRate;
        }
        return nullptr;
    }
    const void* Parent(const void* n) const override { return node(n)->parent(); }
    int ChildCount(const void* n) const override { return node(n)->childCount(); }
    const void* Child(const void* n, int i) const override { return node(n)->child(i); }
    int Level(const void* n) const override { return node(n)->level(); }
    QVariant Get(const void* n, TMRPOutputQtyField AField) const override { return node(n)->value(column(AField)); }
    void Set(const void* n, TMRPOutputQtyField AField, const QVariant& v) override { node(n)->setValue(column(AField), v); }
    void SetMessage(const void* n, const QString& t) override { node(n)->setData(t.isEmpty() ? QVariant() : QVariant(t)); }

private:
    const TMRPOutputFrame* f;
};

struct UpdateBracket {
    explicit UpdateBracket(kvui::TreeList* ATree) : tree(ATree) { tree->beginUpdate(); }
    ~UpdateBracket() { tree->endUpdate(); }
    kvui::TreeList* tree;
};

struct FlagHold {
    FlagHold(bool& AFlag, bool AValue) : flag(AFlag), old(AFlag) { flag = AValue; }
    ~FlagHold() { flag = old; }
    bool& flag;
    bool old;
};

// The stand-in look of cells and rows that take no part.
const QColor clInactiveBack(240, 240, 240), clInactiveText(128, 128, 128);

// The user's default producing department of production rows; an ID that
// names no department is ignored.
void ReadDefaultOutputDept(QString& AID, QString& AName)
{
    AName.clear();
    AID = InfoApplication ? InfoApplication->ReadSystemSettingAsString(QStringLiteral("QZ_MRP"), QStringLiteral("OutputDeptID22"),
                                                                       QString(), false)
                          : QString();
    if (AID.isEmpty())
        return;
    if (ExecSQLText(GlobalADOQuery, QStringLiteral("select DeptName from QZ_Base_Department with(nolock) where DeptID=") + QuotedStr(AID),
                    true, false, true)
        && !GlobalADOQuery->Eof())
        AName = GlobalADOQuery->Fields()->Field(0)->AsString();
    else
        AID.clear();
    GlobalADOQuery->Close();
}

// A field of the current record, or nothing when the query has no such field.
QVariant fieldValue(TCustomADODataSet* q, const char* name)
{
    TField* f = q->FindField(QLatin1String(name));
    return f ? f->Value() : QVariant();
}

// The department of a row: a row that should have one and has none of its own
// takes the user's default producing department, when there is one.
void setDeptOrDefault(kvui::TreeNode* n, kvui::Column* AIDCol, kvui::Column* ANameCol, bool AWantsDefault,
                      const QString& ADefID, const QString& ADefName, const QVariant& AOwnName)
{
    if (AWantsDefault && text(n->value(AIDCol)).isEmpty() && !ADefID.isEmpty()) {
        n->setValue(AIDCol, ADefID);
        n->setValue(ANameCol, ADefName);
    } else {
        n->setValue(ANameCol, AOwnName);
    }
}

// The print and export commands, which the result pane serves itself while it
// has the focus.
bool isPrintCommand(int ACommandIndex)
{
    return ACommandIndex == Commands::Export || ACommandIndex == Commands::PageSetup || ACommandIndex == Commands::ReportDesign
        || ACommandIndex == Commands::Print || ACommandIndex == Commands::PrintPreview;
}

// The commands that load the view again and so drop its edits.
bool isReloadCommand(int ACommandIndex)
{
    return ACommandIndex == Commands::SchemeFields || ACommandIndex == Commands::SchemeSort
        || ACommandIndex == Commands::SchemeFilter || ACommandIndex == Commands::SchemeCustomView
        || ACommandIndex == Commands::Refresh;
}

bool resultPaneServes(const TDoResultFrame* AResulter, int ACommandIndex)
{
    return isPrintCommand(ACommandIndex) && AResulter && !AResulter->isHidden()
        && AResulter->isAncestorOf(QApplication::focusWidget());
}

QString exceptionText(const std::exception& e)
{
    if (const auto* ex = dynamic_cast<const Exception*>(&e))
        return ex->Message;
    return QString::fromUtf8(e.what());
}

} // namespace

TMRPOutputFrame::TMRPOutputFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef) : TInfoTreeView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("MRPOutputFrame"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    // ---- options bar
    gbxOptions = new QFrame(this);
    gbxOptions->setObjectName(QStringLiteral("gbxOptions"));
    gbxOptions->setAutoFillBackground(true);
    auto* rows = new QVBoxLayout(gbxOptions);
    rows->setContentsMargins(6, 4, 12, 4);
    rows->setSpacing(4);
    auto* first = new QHBoxLayout();
    first->setSpacing(7);
    rows->addLayout(first);
    const auto label = [this](const QString& caption, const char* name) {
        auto* l = new QLabel(caption, gbxOptions);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    const auto combo = [this](const char* name, const QStringList& items) {
        auto* c = new QComboBox(gbxOptions);
        c->setObjectName(QLatin1String(name));
        c->addItems(items);
        c->setMaxVisibleItems(20);
        return c;
    };
    lblScheme = label(QStringLiteral("方案:"), "lblScheme");
    cboScheme = combo("cboScheme", {});
    cboScheme->setFixedWidth(300);
    lblPlanState = label(QString(), "lblPlanState");
    lblSelectAll = label(QStringLiteral("<a href=\"all\">全选</a>"), "lblSelectAll");
    lblUnselectAll = label(QStringLiteral("| <a href=\"none\">全清</a>"), "lblUnselectAll");
    chkReplace = new QCheckBox(QStringLiteral("替代料"), gbxOptions);
    chkReplace->setObjectName(QStringLiteral("chkReplace"));
    cboPlanType = combo("cboPlanType", {QStringLiteral("(全部)"), QStringLiteral("MRP生产"), QStringLiteral("MRP委外"), QStringLiteral("MRP采购")});
    lblEndPeriod = label(QStringLiteral("投放截止:"), "lblEndPeriod");
    cboEndPeriod = combo("cboEndPeriod", {});
    cboEndPeriod->setMinimumContentsLength(18);
    cboEndPeriod->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    btnExpand = new QToolButton(gbxOptions);
    btnExpand->setObjectName(QStringLiteral("btnExpand"));
    btnExpand->setArrowType(Qt::DownArrow);
    btnExpand->setToolTip(QStringLiteral("展开选项"));
    btnOk = new QPushButton(QStringLiteral("确定"), gbxOptions);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    QFont bold = btnOk->font();
    bold.setBold(true);
    btnOk->setFont(bold);
    btnCancel = new QPushButton(QStringLiteral("取消"), gbxOptions);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    first->addWidget(lblScheme);
    first->addWidget(cboScheme);
    first->addWidget(lblPlanState);
    first->addStretch(1);
    first->addWidget(lblSelectAll);
    first->addWidget(lblUnselectAll);
    first->addSpacing(12);
    first->addWidget(chkReplace);
    first->addSpacing(12);
    first->addWidget(cboPlanType);
    first->addSpacing(12);
    first->addWidget(lblEndPeriod);
    first->addWidget(cboEndPeriod);
    first->addSpacing(12);
    first->addWidget(btnOk);
    first->addWidget(btnCancel);
    first->addWidget(btnExpand);

    pnlSecondRow = new QWidget(gbxOptions);
    pnlSecondRow->setObjectName(QStringLiteral("pnlSecondRow"));
    auto* second = new QHBoxLayout(pnlSecondRow);
    second->setContentsMargins(0, 0, 0, 0);
    second->setSpacing(7);
    lblSuppDef = new QLabel(QStringLiteral("默认供应商:"), pnlSecondRow);
    cboSuppDef = new QComboBox(pnlSecondRow);
    cboSuppDef->setObjectName(QStringLiteral("cboSuppDef"));
    cboSuppDef->addItems({QStringLiteral("物料设置"), QStringLiteral("最低价格"), QStringLiteral("最近订单")});
    lblSuppList = new QLabel(QStringLiteral("可选供应商:"), pnlSecondRow);
    cboSuppList = new QComboBox(pnlSecondRow);
    cboSuppList->setObjectName(QStringLiteral("cboSuppList"));
    cboSuppList->addItems({QStringLiteral("(全部)"), QStringLiteral("价格资料"), QStringLiteral("供货资料")});
    chkRefPOQty = new QCheckBox(QStringLiteral("计算历史采购数"), pnlSecondRow);
    chkRefPOQty->setObjectName(QStringLiteral("chkRefPOQty"));
    chkRefUseQty = new QCheckBox(QStringLiteral("计算历史领料数"), pnlSecondRow);
    chkRefUseQty->setObjectName(QStringLiteral("chkRefUseQty"));
    lblRefDate = new QLabel(QStringLiteral("起算日期:"), pnlSecondRow);
    edtRefDate = new QDateEdit(pnlSecondRow);
    edtRefDate->setObjectName(QStringLiteral("edtRefDate"));
    edtRefDate->setCalendarPopup(true);
    edtRefDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edtRefDate->setMinimumDate(QDate(1900, 1, 1));
    edtRefDate->setSpecialValueText(QStringLiteral(" "));
    second->addStretch(1);
    for (QWidget* w : std::initializer_list<QWidget*>{lblSuppDef, cboSuppDef, lblSuppList, cboSuppList, chkRefPOQty, chkRefUseQty,
                                                       lblRefDate, edtRefDate})
        second->addWidget(w);
    rows->addWidget(pnlSecondRow);
    box->addWidget(gbxOptions);

    // ---- tree
    grdSupplies = new kvui::TreeList(this);
    grdSupplies->setObjectName(QStringLiteral("grdSupplies"));
    box->addWidget(grdSupplies, 1);
    kvui::TreeList* g = grdSupplies;
    g->beginUpdate();
    const int bandLeft = g->addBand(QString(), kvui::BandFixed::Left);
    const int bandMain = g->addBand(QString());
    const int bandPeriods = g->addBand(QString());
    const int bandRight = g->addBand(QString(), kvui::BandFixed::Right);
    Q_UNUSED(bandPeriods);
    const auto add = [g](const QString& caption, int band, const char* type, bool visible = true, int width = 80) {
        kvui::Column* c = g->addColumn(caption, QString(), band);
        c->setValueType(QLatin1String(type));
        c->setEditable(false);
        c->setWidth(width);
        c->setVisible(visible);
        return c;
    };
    colSupBillNo = add(QStringLiteral("单据编号"), bandLeft, "String", true, 100);
    colSupIID = add(QString(), bandLeft, "LargeInt", false);
    colSupItmNo = add(QStringLiteral("物料代码"), bandLeft, "String", true, 90);
    colSupItmID = add(QString(), bandLeft, "String", false);
    colSupItmName = add(QStringLiteral("物料名称"), bandMain, "String", true, 110);
    colSupItmSpec = add(QStringLiteral("规格型号"), bandMain, "String", true, 100);
    for (int i = 0; i < 10; ++i)
        colSupItmProp[i] = add(QStringLiteral("辅助项%1").arg(i + 1), bandMain, "String", false);
    colSupItmProps = add(QString(), bandMain, "String", false);
    colSupDestType = add(QStringLiteral("供应类型"), bandMain, "Integer", true, 70);
    colSupDept = add(QStringLiteral("供应单位"), bandMain, "String", true, 100);
    colSupDeptID = add(QString(), bandMain, "String", false);
    colSupBillDate = add(QStringLiteral("下单日期"), bandMain, "DateTime", true, 75);
    colSupDrawDate = add(QStringLiteral("开工日期"), bandMain, "DateTime", true, 75);
    colSupDate = add(QStringLiteral("交货日期"), bandMain, "DateTime", true, 75);
    colSupOldDate = add(QString(), bandMain, "DateTime", false);
    colSupOrigType = add(QStringLiteral("主需求"), bandMain, "Integer", true, 60);
    colSupOrigID = add(QString(), bandMain, "String", false);
    colSupOrigNo = add(QStringLiteral("主需求号"), bandMain, "String", true, 100);
    colSupOrigEntry = add(QStringLiteral("主需求行"), bandMain, "Integer", true, 55);
    colSupCustID = add(QString(), bandMain, "String", false);
    colSupCust = add(QStringLiteral("主需求客户"), bandMain, "String", true, 90);
    colSupCustPO = add(QStringLiteral("主需求客户单号"), bandMain, "String", false);
    colSupOrigItmID = add(QString(), bandMain, "String", false);
    colSupOrigItmNo = add(QStringLiteral("主需求物料代码"), bandMain, "String", false);
    colSupOrigItmName = add(QStringLiteral("主需求物料名称"), bandMain, "String", false);
    colSupOrigItmSpec = add(QStringLiteral("主需求规格型号"), bandMain, "String", false);
    colSupOrigTag = add(QStringLiteral("需求分类号"), bandMain, "String", false);
    colSupOrigSubTag = add(QStringLiteral("子件需求分类号"), bandMain, "String", false);
    colSupGroupType = add(QStringLiteral("MRP分组"), bandMain, "Integer", false);
    colSupGroupNo = add(QStringLiteral("MRP分组号"), bandMain, "String", false);
    colSupBOM = add(QStringLiteral("BOM单"), bandMain, "String", true, 90);
    colSupBomType = add(QString(), bandMain, "Integer", false);
    colSupBomID = add(QString(), bandMain, "String", false);
    colSupUnit = add(QStringLiteral("单位"), bandMain, "String", true, 45);
    colSupBillType = add(QStringLiteral("计划类型"), bandMain, "String", true, 65);
    colSupQty = add(QStringLiteral("计划数量"), bandMain, "Float", true, 70);
    colSupDestQty = add(QStringLiteral("已投放数"), bandMain, "Float", true, 70);
    colSupRefPOQty = add(QStringLiteral("历史采购数"), bandMain, "Float", false);
    colSupRefUseQty = add(QStringLiteral("历史领料数"), bandMain, "Float", false);
    colSupDester = add(QStringLiteral("投放人"), bandMain, "String", false);
    colSupDestTime = add(QStringLiteral("投放时间"), bandMain, "DateTime", false);
    colSupDestUntID = add(QString(), bandMain, "String", false);
    colSupDestUntRate = add(QString(), bandMain, "Float", false);
    colSupDestUnit = add(QStringLiteral("单位(换算)"), bandMain, "String", true, 60);
    colSupHints = add(QString(), bandMain, "String", false);
    colSupPDmdIIDs = add(QString(), bandMain, "String", false);
    colSupTrackKey = add(QString(), bandMain, "String", false);
    colItmPlannerID = add(QString(), bandMain, "String", false);
    colItmBuyerID = add(QString(), bandMain, "String", false);
    colItmPlanner = add(QStringLiteral("计划员"), bandMain, "String", false);
    colItmBuyer = add(QStringLiteral("采购员"), bandMain, "String", false);
    colItmMinQty = add(QStringLiteral("最小供应量"), bandMain, "Float", false);
    colItmLotQty = add(QStringLiteral("批量增量"), bandMain, "Float", false);
    colItmFixLeadTime = add(QStringLiteral("固定提前期"), bandMain, "Integer", false);
    colItmVarLeadTime = add(QStringLiteral("变动提前期"), bandMain, "Integer", false);
    colItmVarLeadLot = add(QStringLiteral("变动提前期批量"), bandMain, "Float", false);
    colSupDoDestQtyU = add(QStringLiteral("拟投放数(换算)"), bandRight, "Float", true, 85);
    colSupDoDestQty = add(QStringLiteral("拟投放数"), bandRight, "Float", true, 70);
    colSupUnDestQty = add(QStringLiteral("未投放数"), bandRight, "Float", true, 70);
    colSupNote = add(QStringLiteral("备注"), bandRight, "String", true, 100);
    for (kvui::Column* c : {colSupDestType, colSupDept, colSupDrawDate, colSupDate, colSupDoDestQtyU, colSupDoDestQty, colSupNote})
        c->setEditable(true);

    const std::pair<kvui::Column*, const char*> bindings[] = {
        {colSupBillNo, "SupBillNo"}, {colSupItmNo, "ItmNo"}, {colSupItmName, "ItmName"}, {colSupItmSpec, "ItmSpec"},
        {colSupItmProps, "SupItmProps"}, {colSupDept, "DeptName"}, {colSupBillDate, "SupBillDate"},
        {colSupDrawDate, "SupDrawDate"}, {colSupDate, "SupDate"}, {colSupOrigType, "SupOrigType"},
        {colSupOrigNo, "SupOrigNo"}, {colSupOrigEntry, "SupOrigEntry"}, {colSupCust, "SupOrigCust"},
        {colSupCustPO, "SupOrigCustPO"}, {colSupOrigItmNo, "SupOrigItmNo"}, {colSupOrigItmName, "SupOrigItmName"},
        {colSupOrigItmSpec, "SupOrigItmSpec"}, {colSupOrigTag, "SupOrigTag"}, {colSupOrigSubTag, "SupOrigSubTag"},
        {colSupGroupType, "SupGroupType"}, {colSupGroupNo, "SupGroupNo"}, {colSupBOM, "BomNo"}, {colSupUnit, "UntName"},
        {colSupBillType, "SupBillType"}, {colSupQty, "SupQty"}, {colSupDestQty, "SupDestQty"},
        {colSupRefPOQty, "SupRefPOQty"}, {colSupRefUseQty, "SupRefUseQty"}, {colSupDester, "UsrName"},
        {colSupDestTime, "SupDestTime"}, {colItmPlanner, "ItmPlanner"}, {colItmBuyer, "ItmBuyer"},
        {colItmMinQty, "ItmMinQty"}, {colItmLotQty, "ItmLotQty"}, {colItmFixLeadTime, "ItmFixLeadTime"},
        {colItmVarLeadTime, "ItmVarLeadTime"}, {colItmVarLeadLot, "ItmVarLeadLot"}, {colSupDoDestQty, "SupDoDestQty"},
        {colSupUnDestQty, "SupUnDestQty"}, {colSupNote, "SupNote"},
    };
    for (const auto& [column, field] : bindings)
        BindStaticColumn(column, QLatin1String(field));
    for (int i = 0; i < 10; ++i)
        BindStaticColumn(colSupItmProp[i], QStringLiteral("SupItmProp%1").arg(i + 1));

    // Quantities show blank for zero; the converted one right-aligned.
    for (kvui::Column* c : {colSupQty, colSupDestQty, colSupDoDestQty, colSupUnDestQty, colSupRefPOQty, colSupRefUseQty})
        c->displayTextHook = &TCommonUI::TreeFloatColumnGetDisplayText;
    colSupDoDestQtyU->displayTextHook = &TCommonUI::TreeFloatColumnGetDisplayText;
    colSupDoDestQtyU->setEditor(RightAlignedTextItem());
    // Bill types by their names; no type shows nothing.
    colSupBillType->displayTextHook = [](const kvui::RowRef&, const QVariant& v, QString& t) {
        if (OutputIsNone(v) || v.toInt() == 0)
            t.clear();
        else if (InfoApplication)
            t = InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), v.toInt());
    };
    colSupOrigType->displayTextHook = colSupBillType->displayTextHook;
    g->endUpdate();

    g->setMultiSelect(true);
    g->setShowTreeLines(false);
    g->setShowRoot(false);
    g->setShowCheckBoxes(true);
    g->setCheckableHook([](kvui::TreeNode* n) { return n && n->level() == 0; });
    g->setShowIndicator(true);
    g->setEditingEnabled(true);

    // 3. The department or supplier cell picks from a list on the global query.
    FPickEditProperties = std::make_shared<TPickEditProperties>();
    FPickEditProperties->RefQuery = GlobalADOQuery;
    FPickEditProperties->TextField = QStringLiteral("名称");
    colSupDept->editorHook = [this](const kvui::RowRef& r) -> kvui::EditorPtr {
        UpdateDeptEditor(r.node);
        return FPickEditProperties;
    };

    // 5, 6. The target types, with the subcontract type the system uses.
    FDirectOO = GetOutputDirectOO();
    FOutputTarget24or36 = FDirectOO ? obtSubcontract : obtSubcontractDirect;
    auto types = std::make_shared<kvui::ImageComboProperties>();
    for (int t : {obtProduction, FOutputTarget24or36, obtPurchase})
        types->addItem(t, InfoApplication ? InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), t) : QString::number(t));
    colSupDestType->setEditor(types);

    // 7. Permissions.
    if (ObjectDef) {
        FCanToMO = ObjectDef->GetAccessGroup(QStringLiteral("ToMO")) != nullptr;
        FCanToOR = ObjectDef->GetAccessGroup(QStringLiteral("ToOR")) != nullptr;
        FCanToPR = ObjectDef->GetAccessGroup(QStringLiteral("ToPR")) != nullptr;
    }

    // Events.
    g->setEditingHook([this](const kvui::RowRef& r, kvui::Column* c) {
        if (!CanEditNode(r.node))
            return false;
        FOldValue = r.node->value(c);
        return true;
    });
    connect(g, &kvui::BandedView::cellEdited, this, [this](int row, kvui::Column* column, const QVariant& oldValue, const QVariant&) {
        NodeEdited(grdSupplies->nodeAtRow(row), column, oldValue);
    });
    connect(g, &kvui::BandedView::cellDoubleClicked, this, [this](int row, kvui::Column*) {
        if (!grdSupplies->activeEditor())
            ToggleNode(grdSupplies->nodeAtRow(row));
    });
    connect(g, &kvui::TreeList::nodeCheckChanged, this,
            [this](kvui::TreeNode* node) { NodeCheckChanged(node, QApplication::keyboardModifiers()); });
    g->setExpandingHook([this](kvui::TreeNode* node) {
        if (node && node->level() == 0 && node->stateIndex() == 1) {
            try {
                LoadSupplies(node);
            } catch (const std::exception&) {
                return false;
            }
            return node->childCount() > 0;
        }
        return true;
    });
    g->installEventFilter(this);
    // A row whose quantities could not be worked out says why in the hint panel.
    connect(g, &kvui::TreeList::focusedNodeChanged, this, [this](kvui::TreeNode*, kvui::TreeNode* current) {
        if (InfoApplication)
            InfoApplication->ShowStatusMessage(RowMessage(current), mkHint);
    });

    connect(chkReplace, &QCheckBox::toggled, this, [this] { cboPlanTypePropertiesChange(); });
    for (QComboBox* c : {cboPlanType, cboEndPeriod, cboSuppDef, cboSuppList})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { cboPlanTypePropertiesChange(); });
    connect(btnExpand, &QToolButton::clicked, this, [this] { cboPlanTypePropertiesChange(); });
    connect(cboScheme, &QComboBox::currentIndexChanged, this, [this] { cboSchemePropertiesChange(); });
    connect(chkRefPOQty, &QCheckBox::toggled, this, [this] { chkRefInfoPropertiesChange(); });
    connect(chkRefUseQty, &QCheckBox::toggled, this, [this] { chkRefInfoPropertiesChange(); });
    connect(btnOk, &QPushButton::clicked, this, &TMRPOutputFrame::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TMRPOutputFrame::btnCancelClick);
    connect(lblSelectAll, &QLabel::linkActivated, this, [this] { lblSelectAllClick(); });
    connect(lblUnselectAll, &QLabel::linkActivated, this, [this] { lblUnselectAllClick(); });

    // 8.
    CopyControlsToCurrent();
    ViewComponent = grdSupplies;
    FSchemesLocked = true;   // so that the first call lays the bar out
    SetOptionsEditing(false);
}

TMRPOutputFrame::~TMRPOutputFrame()
{
    grdSupplies->disconnect(this);
    grdSupplies->setExpandingHook({});
    grdSupplies->setEditingHook({});
    colSupDept->editorHook = {};
}

kvui::Column* TMRPOutputFrame::PeriodColumn(int AIndex) const
{
    return AIndex >= 0 && AIndex < int(FPeriodCols.size()) ? FPeriodCols[size_t(AIndex)] : nullptr;
}

void TMRPOutputFrame::CopyControlsToCurrent()
{
    FCurScheme = cboScheme->currentIndex();
    FCurReplace = chkReplace->isChecked();
    FCurPlanType = cboPlanType->currentIndex();
    FCurPeriod = cboEndPeriod->currentIndex();
    FCurSuppDef = cboSuppDef->currentIndex();
    FCurSuppList = cboSuppList->currentIndex();
    FCurRefPOQty = chkRefPOQty->isChecked();
    FCurRefUseQty = chkRefUseQty->isChecked();
    FCurRefDate = RefDate();
}

QDate TMRPOutputFrame::RefDate() const
{
    return edtRefDate->date() == edtRefDate->minimumDate() ? QDate() : edtRefDate->date();
}

void TMRPOutputFrame::SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection*)
{
    DataIsFresh = false;
    FPlanScheme = APlanScheme;
    BuildPeriodColumns();
    FSchemesLocked = true;
    SetOptionsEditing(false);
}

void TMRPOutputFrame::RefreshPlanState()
{
    if (FShowSchemes)
        return;
    if (!FPlanScheme || FPlanScheme->SchemeIID == 0) {
        lblPlanState->clear();
        return;
    }
    lblPlanState->setText(u'(' + FPlanScheme->GetPlanStateText() + u')');
    const int s = FPlanScheme->PlanState;
    const bool stale = s == psSchemeChangedRefetch || s == psMainDemandChanged || s == psSchemeChangedRerun || s == psMRPResultChanged;
    QPalette p = lblPlanState->palette();
    p.setColor(QPalette::WindowText, stale ? clRed : palette().color(QPalette::WindowText));
    lblPlanState->setPalette(p);
}

void TMRPOutputFrame::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    TInfoTreeView::InitializeView(AViewAsDetailID, AMasterView);
    {
        FlagHold hold(FSchemesLocked, true);
        const QString& p = ViewScheme.Params;
        const auto value = [&p](const QString& key) { return ReadDelimitedValue(p, key, ViewSchemeParamSeparator).trimmed(); };
        const auto index = [&value](const QString& key, QComboBox* c) {
            bool ok = false;
            const int i = value(key).toInt(&ok);
            c->setCurrentIndex(ok && i >= 0 && i < c->count() ? i : 0);
        };
        chkReplace->setChecked(value(OptItemSubs) == QLatin1String("1"));
        index(OptPlanType, cboPlanType);
        index(OptSuppDef, cboSuppDef);
        index(OptSuppList, cboSuppList);
        chkRefPOQty->setChecked(value(OptRefPOQty) == QLatin1String("1"));
        chkRefUseQty->setChecked(value(OptRefUseQty) == QLatin1String("1"));
        QDate d = StrToDateTime(value(OptRefDate)).date();
        if (!d.isValid())
            d = QDate::fromString(value(OptRefDate), Qt::ISODate);
        const QDate today = QDate::currentDate();
        edtRefDate->setDate(d.isValid() ? d : QDate(today.year(), today.month(), 1));
        CopyControlsToCurrent();
    }
    FSchemesLocked = true;
    SetOptionsEditing(false);
}

void TMRPOutputFrame::ApplyViewScheme()
{
    TInfoTreeView::ApplyViewScheme();
    for (kvui::Column* c : {colSupItmNo, colSupDept, colSupDrawDate, colSupDate, colSupDoDestQty, colSupDoDestQtyU, colSupUnDestQty, colSupNote})
        c->setVisible(true);
    if (chkRefPOQty->isChecked())
        colSupRefPOQty->setVisible(true);
    if (chkRefUseQty->isChecked())
        colSupRefUseQty->setVisible(true);
}

void TMRPOutputFrame::StoreViewScheme()
{
    TInfoTreeView::StoreViewScheme();
    QString& p = ViewScheme.Params;
    const auto put = [&p](const QString& key, const QString& v) { p = WriteDelimitedValue(p, key, v, ViewSchemeParamSeparator); };
    put(OptItemSubs, FCurReplace ? QStringLiteral("1") : QStringLiteral("0"));
    put(OptPlanType, QString::number(FCurPlanType));
    put(OptSuppDef, QString::number(FCurSuppDef));
    put(OptSuppList, QString::number(FCurSuppList));
    put(OptRefPOQty, FCurRefPOQty ? QStringLiteral("1") : QStringLiteral("0"));
    put(OptRefUseQty, FCurRefUseQty ? QStringLiteral("1") : QStringLiteral("0"));
    put(OptRefDate, FCurRefDate.isValid() ? FCurRefDate.toString(Qt::ISODate) : QString());
}

void TMRPOutputFrame::BuildPeriodColumns()
{
    UpdateBracket bracket(grdSupplies);
    for (kvui::Column* c : FPeriodCols)
        grdSupplies->removeColumn(c);
    FPeriodCols.clear();
    const int remembered = cboEndPeriod->currentIndex();
    const QSignalBlocker block(cboEndPeriod);
    cboEndPeriod->clear();
    if (FPlanScheme) {
        const TPlanPeriods& periods = FPlanScheme->MrpPeriods;
        for (int i = 0; i < int(periods.size()); ++i) {
            const QString caption = BuildPlanPeriodCaptions(periods, i);
            kvui::Column* c = grdSupplies->addColumn(caption, QString(), 2);
            c->setValueType(QStringLiteral("Float"));
            c->setEditable(false);
            c->setWidth(70);
            c->setEditor(RightAlignedTextItem());
            c->displayTextHook = &TCommonUI::TreeFloatColumnGetDisplayText;
            c->setTag(i + 1);
            FPeriodCols.push_back(c);
            cboEndPeriod->addItem(caption);
        }
    }
    cboEndPeriod->setCurrentIndex(remembered >= 0 && remembered < cboEndPeriod->count() ? remembered : cboEndPeriod->count() - 1);
    FCurPeriod = cboEndPeriod->currentIndex();
}

void TMRPOutputFrame::SetOptionsEditing(bool AEditing)
{
    if (AEditing == FSchemesLocked)
        return;
    setUpdatesEnabled(false);
    const bool schemes = !FPlanScheme || FShowSchemes;
    cboScheme->setVisible(schemes);
    lblScheme->setVisible(schemes);
    lblPlanState->setVisible(!schemes);
    lblEndPeriod->setVisible(schemes);
    cboEndPeriod->setVisible(schemes);
    btnExpand->setVisible(!AEditing);
    lblSelectAll->setVisible(!AEditing);
    lblUnselectAll->setVisible(!AEditing);
    btnOk->setVisible(AEditing);
    btnCancel->setVisible(AEditing);
    pnlSecondRow->setVisible(AEditing);
    gbxOptions->setFixedHeight(AEditing ? 62 : 35);
    cboEndPeriod->setEnabled(true);
    if (!AEditing) {
        if (chkRefPOQty->isChecked())
            colSupRefPOQty->setVisible(true);
        if (chkRefUseQty->isChecked())
            colSupRefUseQty->setVisible(true);
    }
    chkRefInfoPropertiesChange();
    grdSupplies->setEnabled(!AEditing);
    FSchemesLocked = AEditing;
    setUpdatesEnabled(true);
}

void TMRPOutputFrame::cboPlanTypePropertiesChange()
{
    if (!FSchemesLocked)
        SetOptionsEditing(true);
}

void TMRPOutputFrame::cboSchemePropertiesChange()
{
    if (!FSchemesLocked)
        SetOptionsEditing(true);
    if (!!btnOk->isHidden())
        return;
    const QSignalBlocker block(cboEndPeriod);
    cboEndPeriod->clear();
    if (cboScheme->currentIndex() != FCurScheme) {
        const int iid = cboScheme->currentData().toInt();
        TPlanPeriods periods;
        if (ExecSQLText(GlobalADOQuery, QStringLiteral("select SchMrpPeriods from QZ_MRP_Schemes where SchIID=%1").arg(iid), true,
                        false, true)
            && !GlobalADOQuery->IsEmpty())
            TextToPlanPeriods(GlobalADOQuery->Fields()->Field(0)->AsString(), periods);
        GlobalADOQuery->Close();
        for (int i = 0; i < int(periods.size()); ++i)
            cboEndPeriod->addItem(BuildPlanPeriodCaptions(periods, i));
        cboEndPeriod->setCurrentIndex(cboEndPeriod->count() - 1);
    } else if (FPlanScheme) {
        for (int i = 0; i < int(FPlanScheme->MrpPeriods.size()); ++i)
            cboEndPeriod->addItem(BuildPlanPeriodCaptions(FPlanScheme->MrpPeriods, i));
        cboEndPeriod->setCurrentIndex(FCurPeriod);
    }
}

void TMRPOutputFrame::chkRefInfoPropertiesChange()
{
    edtRefDate->setEnabled(chkRefPOQty->isChecked() || chkRefUseQty->isChecked());
}

bool TMRPOutputFrame::AskReloadWhenModified()
{
    if (ViewScheme.SQLParsed && FModified)
        return ShowQuestion(ReloadQuestion, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) == kvos::IDOK;
    return true;
}

void TMRPOutputFrame::btnOkClick()
{
    grdSupplies->cancelEdit();
    if (!AskReloadWhenModified())
        return;
    if (!btnOk->isHidden() && (chkRefPOQty->isChecked() || chkRefUseQty->isChecked()) && !RefDate().isValid()) {
        ShowWarning(RefDateEmpty);
        edtRefDate->setFocus();
        return;
    }
    SetOptionsEditing(false);
    FlagHold hold(FSchemesLocked, true);
    if (cboScheme->currentIndex() != FCurScheme && FShowSchemes) {
        if (!FPlanScheme->Load(cboScheme->currentData().toInt()))
            return;
        BuildPeriodColumns();
    }
    RefreshData(true);
}

void TMRPOutputFrame::btnCancelClick()
{
    {
        FlagHold hold(FSchemesLocked, true);
        if (cboScheme->currentIndex() != FCurScheme)
            cboScheme->setCurrentIndex(FCurScheme);
        if (chkReplace->isChecked() != FCurReplace)
            chkReplace->setChecked(FCurReplace);
        if (cboPlanType->currentIndex() != FCurPlanType)
            cboPlanType->setCurrentIndex(FCurPlanType);
        if (FPlanScheme && cboEndPeriod->count() != int(FPlanScheme->MrpPeriods.size())) {
            const QSignalBlocker block(cboEndPeriod);
            cboEndPeriod->clear();
            for (int i = 0; i < int(FPlanScheme->MrpPeriods.size()); ++i)
                cboEndPeriod->addItem(BuildPlanPeriodCaptions(FPlanScheme->MrpPeriods, i));
        }
        if (cboEndPeriod->currentIndex() != FCurPeriod)
            cboEndPeriod->setCurrentIndex(FCurPeriod);
        if (cboSuppDef->currentIndex() != FCurSuppDef)
            cboSuppDef->setCurrentIndex(FCurSuppDef);
        if (cboSuppList->currentIndex() != FCurSuppList)
            cboSuppList->setCurrentIndex(FCurSuppList);
        if (chkRefPOQty->isChecked() != FCurRefPOQty)
            chkRefPOQty->setChecked(FCurRefPOQty);
        if (chkRefUseQty->isChecked() != FCurRefUseQty)
            chkRefUseQty->setChecked(FCurRefUseQty);
        edtRefDate->setDate(FCurRefDate.isValid() ? FCurRefDate : edtRefDate->minimumDate());
    }
    SetOptionsEditing(false);
}

void TMRPOutputFrame::RefreshData(bool ARebuild)
{
    // 1.
    if (!FPlanScheme) {
        FOwnScheme = std::make_unique<TPlanScheme>(GlobalADOConnection);
        FPlanScheme = FOwnScheme.get();
        FShowSchemes = true;
        FSchemesLocked = true;
        SetOptionsEditing(false);
    }
    const auto resetState = [this] {
        FSchemesLocked = false;
        FModified = false;
        if (FResulter) {
            FResulter->ShowAsGrayStyle(true);
            FResulter->SetOnTrackPosition({});
        }
    };
    const auto emptyState = [this, &resetState] {
        grdSupplies->clear();
        resetState();
    };
    if (FShowSchemes) {
        // 2.
        int selectedIID = 0;
        QString selectedText;
        {
            FlagHold hold(FSchemesLocked, true);
            if (cboScheme->currentIndex() >= 0) {
                selectedIID = cboScheme->currentData().toInt();
                selectedText = cboScheme->currentText();
            }
            cboScheme->clear();
            const TLoginInfo& login = InfoApplication->LoginInfo;
            const QString sql = FormatPositional(
                QStringLiteral("select SchIID, SchName, SchState, SchRelTime, SchUsrID, UsrName from QZ_MRP_Schemes left join "
                               "QZ_SYS_Users with(nolock) on SchUsrID=UsrID where SchType=%0:s and SchState in (%3:s, %4:s) and "
                               "SchMrpCalIID<>0 and (SchUsrID=%1:s or SchIID in (select distinct DpmDataID from "
                               "QZ_SYS_DataPermissions with(nolock) where DpmObjID='QZ_MRP.MRP' and (DpmUsrID=%1:s and "
                               "DpmIsGroup=0 or DpmUsrID in (%2:s) and DpmIsGroup=1))) order by SchRelTime desc"),
                {QStringLiteral("0"), QuotedStr(login.UserID), login.UserGroups.isEmpty() ? QStringLiteral("null") : login.UserGroups,
                 QString::number(psReleased), QString::number(psOutputStarted)});
            if (ExecSQLText(GlobalADOQuery, sql, true, false, true)) {
                for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
                    const auto f = [](const char* n) { return GlobalADOQuery->FieldByName(QLatin1String(n)); };
                    const bool own = f("SchUsrID")->AsString().compare(login.UserID, Qt::CaseInsensitive) == 0;
                    const QString when = f("SchRelTime")->AsString();
                    cboScheme->addItem(f("SchName")->AsString() + QStringLiteral(" (") + when +
                                           (own ? QString() : u' ' + f("UsrName")->AsString()) + u')',
                                       f("SchIID")->AsInteger());
                }
            }
            GlobalADOQuery->Close();
            // 3.
            const bool any = cboScheme->count() > 0;
            for (QWidget* w : std::initializer_list<QWidget*>{cboPlanType, lblSelectAll, lblUnselectAll, chkReplace, cboEndPeriod})
                w->setEnabled(any);
            // 4.
            if (selectedIID != 0) {
                const int found = cboScheme->findData(selectedIID);
                if (found >= 0)
                    cboScheme->setCurrentIndex(found);
                else
                    ShowWarning(FormatMessage(SchemeGone, {selectedText}));
            }
            if (cboScheme->currentIndex() < 0 && any)
                cboScheme->setCurrentIndex(0);
            // 5.
            const int iid = cboScheme->currentIndex() >= 0 ? cboScheme->currentData().toInt() : 0;
            const bool loaded = iid != 0 && FPlanScheme->Load(iid);
            // 6.
            if (!loaded) {
                CopyControlsToCurrent();
                emptyState();
                return;
            }
            BuildPeriodColumns();
            CopyControlsToCurrent();
        }
        resetState();
    }
    // 7.
    if (FPlanScheme->PlanType != 0)
        InfoApplication->ParseViewSchemeSQL(ObjectDef, &ViewScheme, GlobalADOQuery);
    // 8.
    TInfoTreeView::RefreshData(ARebuild);
    // 9.
    if (ViewScheme.SQLParsed) {
        RefreshPlanState();
        if (LoadSupplies(nullptr))
            FModified = false;
        grdSupplies->setEnabled(true);
    }
}

QString TMRPOutputFrame::GetFocusedRecordString(const QString& AFieldID)
{
    if (AFieldID.compare(QStringLiteral("SupSchIID"), Qt::CaseInsensitive) == 0)
        return QString::number(FPlanScheme ? FPlanScheme->SchemeIID : 0);
    return TInfoTreeView::GetFocusedRecordString(AFieldID);
}

// ---- loading ----------------------------------------------------------------

bool TMRPOutputFrame::LoadSupplies(kvui::TreeNode* ANode)
{
    if (ANode && ANode->stateIndex() != 1)
        return true;
    if (!FPlanScheme)
        return false;
    return ANode ? LoadSubstitutes(ANode) : LoadWholeList();
}

void TMRPOutputFrame::SpreadPeriodQty(kvui::TreeNode* ANode, bool ALimitByPeriod)
{
    const double qty = OutputNumber(ANode->value(colSupQty));
    const TMRPPeriodSpread spread =
        SpreadOutputPeriods(text(ANode->value(colSupHints)), qty, ANode->imageIndex(), int(FPeriodCols.size()), cboEndPeriod->currentIndex());
    for (auto it = spread.Periods.cbegin(); it != spread.Periods.cend(); ++it)
        ANode->setValue(FPeriodCols[size_t(it.key())], it.value());
    if (ANode->level() == 0) {
        const double r = OutputQtyToRelease(spread, qty, OutputNumber(ANode->value(colSupDestQty)), ALimitByPeriod);
        ANode->setValue(colSupDoDestQty, r);
        QVariant u;
        OutputQtyInUnit(r, ANode->value(colSupDestUntRate), u);
        ANode->setValue(colSupDoDestQtyU, u);
        ANode->setData(OutputIsNone(u) ? QVariant(OutputMsgZeroUnitRate) : QVariant());
    } else {
        ANode->setValue(colSupDoDestQty, 0.0);
        ANode->setValue(colSupDoDestQtyU, 0.0);
    }
}

void TMRPOutputFrame::FillSupplyOrigin(kvui::TreeNode* n, TCustomADODataSet* q)
{
    const auto put = [n, q](kvui::Column* c, const char* name) { n->setValue(c, fieldValue(q, name)); };
    put(colSupIID, "SupIID");
    put(colSupBillNo, "SupBillNo");
    put(colSupBillDate, "SupBillDate");
    put(colSupOldDate, "SupDate");
    put(colSupDate, "SupDate");
    put(colSupOrigType, "SupOrigType");
    put(colSupOrigID, "SupOrigID");
    put(colSupOrigNo, "SupOrigNo");
    put(colSupOrigEntry, "SupOrigEntry");
    put(colSupCustID, "SupOrigCustID");
    put(colSupCust, "SupOrigCust");
    put(colSupCustPO, "SupOrigCustPO");
    put(colSupOrigItmID, "SupOrigItmID");
    put(colSupOrigItmNo, "SupOrigItmNo");
    put(colSupOrigItmName, "SupOrigItmName");
    put(colSupOrigItmSpec, "SupOrigItmSpec");
    put(colSupOrigTag, "SupOrigTag");
    put(colSupOrigSubTag, "SupOrigSubTag");
    put(colSupGroupType, "SupGroupType");
    put(colSupGroupNo, "SupGroupNo");
}

void TMRPOutputFrame::FillItemPlanning(kvui::TreeNode* n, TCustomADODataSet* q)
{
    const auto put = [n, q](kvui::Column* c, const char* name) { n->setValue(c, fieldValue(q, name)); };
    put(colItmPlannerID, "ItmPlannerID");
    put(colItmPlanner, "ItmPlanner");
    put(colItmBuyerID, "ItmBuyerID");
    put(colItmBuyer, "ItmBuyer");
    put(colItmMinQty, "ItmMinQty");
    put(colItmLotQty, "ItmLotQty");
    put(colItmFixLeadTime, "ItmFixLeadTime");
    put(colItmVarLeadTime, "ItmVarLeadTime");
    put(colItmVarLeadLot, "ItmVarLeadLot");
    for (int i = FStaticColumnCount; i < FColumnFieldNames.size(); ++i) {
        TField* f = q->FindField(FColumnFieldNames[i]);
        n->setValue(FColumns[i], f ? f->Value() : QVariant());
    }
}

void TMRPOutputFrame::FillLevel0(kvui::TreeNode* n, TCustomADODataSet* q, const QString& ADefDeptID, const QString& ADefDeptName,
                                 bool ALimitByPeriod)
{
    const auto v = [q](const char* name) { return fieldValue(q, name); };
    const auto put = [&](kvui::Column* c, const char* name) { n->setValue(c, v(name)); };
    FillSupplyOrigin(n, q);
    put(colSupUnit, "UntName");
    put(colSupDestUnit, "DestUnitName");
    put(colSupDestUntID, "DestUnitID");
    n->setValue(colSupDestUntRate, OutputNumber(v("DestUnitRate")));
    n->setValue(colSupQty, OutputNumber(v("SupQty")));
    put(colSupNote, "SupNote");
    put(colSupHints, "SupHints");
    n->setImageIndex(whole(v("SupPeriod")));
    n->setValue(colSupDestQty, OutputNumber(v("SupDestQty")));
    SpreadPeriodQty(n, ALimitByPeriod);
    n->setValue(colSupUnDestQty, OutputRound8(OutputNumber(n->value(colSupQty)) - OutputNumber(n->value(colSupDestQty))
                                              - OutputNumber(n->value(colSupDoDestQty))));
    put(colSupBillType, "SupBillType");
    put(colSupDrawDate, "SupDrawDate");
    put(colSupItmID, "SupItmID");
    put(colSupItmProps, "SupItmProps");
    for (int i = 0; i < 10; ++i)
        n->setValue(colSupItmProp[i], v(QStringLiteral("SupItmProp%1").arg(i + 1).toLatin1().constData()));
    put(colSupItmNo, "ItmNo");
    put(colSupItmName, "ItmName");
    put(colSupItmSpec, "ItmSpec");
    put(colSupBomType, "SupBomType");
    put(colSupBomID, "SupBomID");
    put(colSupBOM, "BomNo");
    put(colSupDeptID, "DeptID");
    setDeptOrDefault(n, colSupDeptID, colSupDept, whole(n->value(colSupBillType)) == btPlanMO, ADefDeptID, ADefDeptName,
                     v("DeptName"));
    put(colSupDestType, "DestType");
    put(colSupDester, "UsrName");
    put(colSupDestTime, "SupDestTime");
    put(colSupPDmdIIDs, "SupPDmdIIDs");
    put(colSupTrackKey, "SupTrackKey");
    put(colSupRefPOQty, "RefPOQty");
    put(colSupRefUseQty, "RefUseQty");
    FillItemPlanning(n, q);
}

bool TMRPOutputFrame::LoadWholeList()
{
    TMRPOutputLoadOptions o;
    o.SchemeIID = FPlanScheme->SchemeIID;
    o.PlanType = cboPlanType->currentIndex();
    o.SuppDef = cboSuppDef->currentIndex();
    o.Replace = chkReplace->isChecked();
    o.RefPOQty = chkRefPOQty->isChecked();
    o.RefUseQty = chkRefUseQty->isChecked();
    o.RefDate = RefDate();
    o.DirectOO = FDirectOO;
    o.MaxRows = TopRowsForLimit(); // one row more than the limit tells a cut list; that row is not shown
    o.Filter = ViewScheme.FilterSQL;
    GetItemPropSelectSQL(o.ItemSel, o.ItemJoin);
    const bool limitByPeriod = !cboEndPeriod->isHidden() || FShowSchemes;
    const bool limited = limitByPeriod && cboEndPeriod->currentIndex() < cboEndPeriod->count() - 1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int count = 0;
    try {
        QString deptID, deptName;
        if (o.PlanType == 0 || o.PlanType == 1)
            ReadDefaultOutputDept(deptID, deptName);
        ExecSQLText(GlobalADOQuery, BuildOutputSupplyListSQL(o), true, true, false);
        UpdateBracket bracket(grdSupplies);
        grdSupplies->clear();
        grdSupplies->setShowRoot(o.Replace);
        for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
            if (count == ResultRowLimit()) {
                ++count; // the extra row only tells that the list was cut
                break;
            }
            kvui::TreeNode* n = grdSupplies->addNode();
            FillLevel0(n, GlobalADOQuery, deptID, deptName, limited);
            TField* sub = GlobalADOQuery->FindField(QStringLiteral("SubItmID"));
            if (o.Replace && sub && !sub->AsString().isEmpty()) {
                n->setStateIndex(1);
                n->setHasChildren(true);
            }
            ++count;
        }
        GlobalADOQuery->Close();
    } catch (const std::exception& e) {
        GlobalADOQuery->Close();
        QApplication::restoreOverrideCursor();
        ShowError(FormatMessage(DataLoadFailed, {exceptionText(e)}));
        return false;
    }
    QApplication::restoreOverrideCursor();
    if (count > 0) {
        grdSupplies->setFocusedColumn(colSupBillNo);
        grdSupplies->setFocusedNode(grdSupplies->topNode(0));
        CheckResultRowLimit(count);
    }
    return true;
}

kvui::TreeNode* TMRPOutputFrame::AddSupplyCopyRow(kvui::TreeNode* ASupply)
{
    kvui::TreeNode* c = ASupply->addChild();
    for (kvui::Column* col :
         {colSupBillDate, colSupDrawDate, colSupOldDate, colSupDate, colSupItmID, colSupItmNo, colSupItmName, colSupItmSpec,
          colSupItmProps, colSupGroupType, colSupGroupNo, colSupBomType, colSupBomID, colSupBOM, colSupUnit, colSupDestType,
          colSupDestUnit, colSupDestUntID, colSupDestUntRate, colSupQty, colSupDestQty, colSupNote, colSupTrackKey,
          colSupRefPOQty, colSupRefUseQty, colSupDeptID, colSupDept, colSupDoDestQty, colSupDoDestQtyU, colSupUnDestQty,
          colItmPlannerID, colItmPlanner, colItmBuyerID, colItmBuyer, colItmMinQty, colItmLotQty, colItmFixLeadTime,
          colItmVarLeadTime, colItmVarLeadLot})
        c->setValue(col, ASupply->value(col));
    for (kvui::Column* col : colSupItmProp)
        c->setValue(col, ASupply->value(col));
    for (int i = FStaticColumnCount; i < FColumnFieldNames.size(); ++i)
        c->setValue(FColumns[i], ASupply->value(FColumns[i]));
    c->setImageIndex(ASupply->imageIndex());
    c->setData(ASupply->data());
    ASupply->setValue(colSupDestType, 0);
    ASupply->setValue(colSupDeptID, QVariant());
    ASupply->setValue(colSupDept, QVariant());
    return c;
}

bool TMRPOutputFrame::LoadSubstitutes(kvui::TreeNode* ANode)
{
    TMRPOutputLoadOptions o;
    o.SchemeIID = FPlanScheme->SchemeIID;
    o.PlanType = cboPlanType->currentIndex();
    o.SuppDef = cboSuppDef->currentIndex();
    o.Replace = true;
    o.RefPOQty = chkRefPOQty->isChecked();
    o.RefUseQty = chkRefUseQty->isChecked();
    o.RefDate = RefDate();
    o.DirectOO = FDirectOO;
    GetItemPropSelectSQL(o.ItemSel, o.ItemJoin);
    TMRPOutputOrigin origin;
    origin.OrigType = whole(ANode->value(colSupOrigType));
    origin.OrigID = text(ANode->value(colSupOrigID));
    origin.OrigNo = text(ANode->value(colSupOrigNo));
    origin.OrigEntry = whole(ANode->value(colSupOrigEntry));
    origin.OrigTag = text(ANode->value(colSupOrigTag));
    origin.OrigSubTag = text(ANode->value(colSupOrigSubTag));
    origin.CustName = text(ANode->value(colSupCust));
    origin.GroupType = whole(ANode->value(colSupGroupType));
    origin.GroupNo = text(ANode->value(colSupGroupNo));
    const std::vector<TMRPOutputDemand> demands = ParseOutputDemands(text(ANode->value(colSupPDmdIIDs)));

    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    QString deptID, deptName;
    ReadDefaultOutputDept(deptID, deptName);
    // What each demand has had released from this supply.
    QHash<QString, double> released;
    ExecSQLText(GlobalADOQuery,
                QStringLiteral("select DstDmdIID, DstQty=sum(DstQty) from QZ_MRP_DestAlters with(nolock) where DstSchIID=%1 and "
                               "DstSupIID=%2 group by DstDmdIID")
                    .arg(o.SchemeIID)
                    .arg(whole(ANode->value(colSupIID))),
                true, true, true);
    for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next())
        released[GlobalADOQuery->Fields()->Field(0)->AsString()] = GlobalADOQuery->Fields()->Field(1)->AsFloat();
    GlobalADOQuery->Close();
    ExecSQLText(GlobalADOQuery, BuildOutputSubstitutesSQL(o, demands, OutputSubstituteGroupSQL(origin)), true, true, true);

    UpdateBracket bracket(grdSupplies);
    ANode->setStateIndex(0);
    if (GlobalADOQuery->Eof()) {
        GlobalADOQuery->Close();
        ANode->setHasChildren(ANode->childCount() > 0);
        return true;
    }
    AddSupplyCopyRow(ANode);
    const int target = whole(ANode->child(0)->value(colSupDestType));
    const QVariant planType = target == obtProduction ? QVariant(btPlanMO)
        : target == obtSubcontract || target == obtSubcontractDirect ? QVariant(btPlanOO)
        : target == obtPurchase ? QVariant(btPlanPO) : QVariant();
    kvui::TreeNode* demand = nullptr;
    QString demandIID;
    const auto v = [](const char* name) { return fieldValue(GlobalADOQuery, name); };
    for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
        const QString iid = text(v("SupIID"));
        if (!demand || iid != demandIID) {
            if (demand)
                demand->setExpanded(true);
            demandIID = iid;
            demand = ANode->addChild();
            const auto put = [&](kvui::Column* c, const char* name) { demand->setValue(c, v(name)); };
            FillSupplyOrigin(demand, GlobalADOQuery);
            demand->setValue(colSupUnit, ANode->value(colSupUnit));
            demand->setValue(colSupItmID, ANode->value(colSupItmID));
            demand->setValue(colSupItmNo, ANode->value(colSupItmNo));
            demand->setValue(colSupItmName, ANode->value(colSupItmName));
            demand->setValue(colSupItmSpec, ANode->value(colSupItmSpec));
            demand->setValue(colSupDestUntRate, ANode->value(colSupDestUntRate));
            put(colSupNote, "SupNote");
            put(colSupHints, "SupHints");
            put(colSupBillType, "SupBillType");
            demand->setImageIndex(whole(v("SupPeriod")));
            demand->setValue(colSupQty, OutputNumber(v("SupQty")));
            demand->setValue(colSupDestQty, released.value(iid, 0));
            SpreadPeriodQty(demand, false);
            demand->setValue(colSupUnDestQty,
                             OutputRound8(OutputNumber(demand->value(colSupQty)) - OutputNumber(demand->value(colSupDestQty))));
            demand->setValue(colSupDestType, 0);
        }
        kvui::TreeNode* s = demand->addChild();
        s->setValue(colSupBillNo, SubstituteBillNo);
        s->setValue(colSupBillType, planType);
        for (kvui::Column* c : {colSupBillDate, colSupDrawDate, colSupOldDate, colSupDate})
            s->setValue(c, ANode->child(0)->value(c));
        const auto put = [&](kvui::Column* c, const char* name) { s->setValue(c, v(name)); };
        put(colSupItmID, "SubRItmID");
        put(colSupItmProps, "SubRProps");
        for (int i = 0; i < 10; ++i)
            s->setValue(colSupItmProp[i], v(QStringLiteral("SubRProp%1").arg(i + 1).toLatin1().constData()));
        put(colSupGroupType, "SubGroupType");
        put(colSupGroupNo, "SubGroupNo");
        put(colSupItmNo, "ItmNo");
        put(colSupItmName, "ItmName");
        put(colSupItmSpec, "ItmSpec");
        put(colSupBomType, "SubBomType");
        put(colSupBomID, "SubBomID");
        put(colSupBOM, "SubBomNo");
        put(colSupDestType, "DestType");
        put(colSupDeptID, "DeptID");
        setDeptOrDefault(s, colSupDeptID, colSupDept, whole(s->value(colSupDestType)) == obtProduction, deptID, deptName,
                         v("DeptName"));
        put(colSupUnit, "UntName");
        put(colSupDestUnit, "DestUnitName");
        put(colSupDestUntID, "DestUnitID");
        s->setValue(colSupDestUntRate, OutputNumber(v("DestUnitRate")));
        double qty = 0, dest = 0;
        const bool ratioOk =
            OutputSubstituteQty(OutputNumber(v("SupQty")), OutputNumber(v("SubQty")), OutputNumber(v("SubRQty")), qty);
        OutputSubstituteQty(OutputNumber(v("SupDestQty")), OutputNumber(v("SubQty")), OutputNumber(v("SubRQty")), dest);
        s->setValue(colSupQty, qty);
        s->setValue(colSupDestQty, dest);
        s->setValue(colSupDoDestQty, 0.0);
        s->setValue(colSupDoDestQtyU, 0.0);
        s->setValue(colSupUnDestQty, OutputRound8(qty - dest));
        s->setData(ratioOk ? QVariant() : QVariant(OutputMsgZeroSubQty));
        s->setImageIndex(demand->imageIndex());
        put(colSupRefPOQty, "RefPOQty");
        put(colSupRefUseQty, "RefUseQty");
        s->setValue(colSupNote, demand->value(colSupNote));
        FillItemPlanning(s, GlobalADOQuery);
    }
    if (demand)
        demand->setExpanded(true);
    GlobalADOQuery->Close();
    return true;
}

// ---- row edits --------------------------------------------------------------

bool TMRPOutputFrame::IsRowOpen(kvui::TreeNode* ANode) const
{
    TreeAccess a(this);
    return ANode && IsOutputRowOpen(a, ANode);
}

void TMRPOutputFrame::ApplyOutputToNode(kvui::TreeNode* ANode, double AQty, const QDateTime& ATime)
{
    TreeAccess a(this);
    auto* top = static_cast<kvui::TreeNode*>(const_cast<void*>(::ApplyOutputToNode(a, ANode, AQty)));
    if (!top)
        return;
    top->setValue(colSupDester, InfoApplication->LoginInfo.UserName);
    top->setValue(colSupDestTime, ATime);
    const QVariant left = top->value(colSupDoDestQty);
    if (left.isNull() || left.toDouble() <= 1e-8)
        top->setCheckState(Qt::Unchecked);
}

QString TMRPOutputFrame::RowMessage(kvui::TreeNode* ANode) const
{
    return ANode ? text(ANode->data()) : QString();
}

bool TMRPOutputFrame::CanEditNode(kvui::TreeNode* ANode) const
{
    return ANode && ANode->childCount() == 0 && IsRowOpen(ANode);
}

void TMRPOutputFrame::UpdateDeptEditor(kvui::TreeNode* ANode)
{
    if (!ANode)
        return;
    const int t = whole(ANode->value(colSupDestType));
    FPickEditProperties->SQL = OutputDeptPickSQL(t, cboSuppList->currentIndex(), text(ANode->value(colSupItmID)));
}

void TMRPOutputFrame::LookupDefaultDept(kvui::TreeNode* ANode, int ATarget)
{
    QString id, name;
    if (ExecSQLText(GlobalADOQuery, OutputDefaultDeptSQL(ATarget, cboSuppDef->currentIndex(), text(ANode->value(colSupItmID))), true,
                    false, true)) {
        if (TField* f = GlobalADOQuery->FindField(QStringLiteral("ID")); f && !GlobalADOQuery->Eof())
            id = f->AsString();
        if (TField* f = GlobalADOQuery->FindField(QStringLiteral("Name")); f && !GlobalADOQuery->Eof())
            name = f->AsString();
    }
    GlobalADOQuery->Close();
    ANode->setValue(colSupDeptID, id);
    ANode->setValue(colSupDept, name);
}

bool TMRPOutputFrame::SwitchUnit(kvui::TreeNode* ANode, int ANewTarget, int AOldTarget)
{
    if ((ANewTarget == obtPurchase) == (AOldTarget == obtPurchase))
        return true;
    const QString sql = QStringLiteral("select u.* from QZ_Base_ItemMaster with(nolock) join QZ_Base_Unit as u with(nolock) on "
                                       "%1=UntID where ItmID=%2")
                            .arg(ANewTarget == obtPurchase ? QStringLiteral("ItmBuyUnitID") : QStringLiteral("ItmProdUnitID"),
                                 QuotedStr(text(ANode->value(colSupItmID))));
    bool found = false;
    if (ExecSQLText(GlobalADOQuery, sql, true, false, true) && !GlobalADOQuery->Eof()) {
        found = true;
        const QString unit = GlobalADOQuery->FieldByName(QStringLiteral("UntID"))->AsString();
        if (unit.compare(text(ANode->value(colSupDestUntID)), Qt::CaseInsensitive) != 0) {
            ANode->setValue(colSupDestUntID, unit);
            ANode->setValue(colSupDestUnit, GlobalADOQuery->FieldByName(QStringLiteral("UntName"))->AsString());
            ANode->setValue(colSupDestUntRate, GlobalADOQuery->FieldByName(QStringLiteral("UntFactor"))->AsFloat());
            QVariant u;
            const bool ok = OutputQtyInUnit(OutputNumber(ANode->value(colSupDoDestQty)), ANode->value(colSupDestUntRate), u);
            ANode->setValue(colSupDoDestQtyU, u);
            ANode->setData(ok ? QVariant() : QVariant(OutputMsgZeroUnitRate));
        }
    }
    GlobalADOQuery->Close();
    return found;
}

void TMRPOutputFrame::LookupTypedDept(kvui::TreeNode* ANode)
{
    const QString typed = text(ANode->value(colSupDept)).trimmed();
    QString id, name;
    bool found = false;
    if (ExecSQLText(GlobalADOQuery, OutputTypedDeptSQL(whole(ANode->value(colSupDestType)), typed), true, false, true)
        && !GlobalADOQuery->Eof()) {
        found = true;
        id = GlobalADOQuery->FieldByName(QStringLiteral("ID"))->AsString();
        name = GlobalADOQuery->FieldByName(QStringLiteral("Name"))->AsString();
    }
    GlobalADOQuery->Close();
    ANode->setValue(colSupDeptID, found ? id : QString());
    ANode->setValue(colSupDept, found ? name : typed);
}

void TMRPOutputFrame::NodeEdited(kvui::TreeNode* ANode, kvui::Column* AColumn, const QVariant& AOldValue)
{
    if (!ANode || !AColumn)
        return;
    const QVariant now = ANode->value(AColumn);
    if (now == AOldValue || (OutputIsNone(now) && OutputIsNone(AOldValue)))
        return;
    FModified = true;
    TreeAccess a(this);
    if (AColumn == colSupDestType) {
        const int t = whole(now);
        LookupDefaultDept(ANode, t);
        if (!SwitchUnit(ANode, t, whole(AOldValue)))
            ANode->setValue(colSupDestType, AOldValue);
    } else if (AColumn == colSupDept) {
        LookupTypedDept(ANode);
    } else if (AColumn == colSupDoDestQty || AColumn == colSupDoDestQtyU) {
        UpdateBracket bracket(grdSupplies);
        EditOutputQty(a, ANode, now, AColumn == colSupDoDestQty);
    }
    if (InfoApplication && ANode == grdSupplies->focusedNode())
        InfoApplication->ShowStatusMessage(RowMessage(ANode), mkHint);
    grdSupplies->viewport()->update();
}

bool TMRPOutputFrame::ToggleNode(kvui::TreeNode* ANode)
{
    if (!ANode || ANode->level() == 0 || ANode->childCount() > 0 || !IsRowOpen(ANode))
        return false;
    UpdateBracket bracket(grdSupplies);
    TreeAccess a(this);
    ToggleOutputRow(a, ANode);
    // Switching a row changes what goes out like any edit does.
    FModified = true;
    return true;
}

void TMRPOutputFrame::NodeCheckChanged(kvui::TreeNode* ANode, Qt::KeyboardModifiers AModifiers)
{
    if (FNodeChecking || !ANode || ANode->level() != 0)
        return;
    FlagHold hold(FNodeChecking, true);
    if (!(AModifiers & (Qt::ShiftModifier | Qt::ControlModifier))) {
        grdSupplies->setFocusedNode(ANode);
        return;
    }
    UpdateBracket bracket(grdSupplies);
    grdSupplies->selectNode(ANode, true);
    for (kvui::TreeNode* n : grdSupplies->selectedNodes())
        if (n->level() == 0)
            n->setCheckState(ANode->checkState());
}

void TMRPOutputFrame::lblSelectAllClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    {
        FlagHold hold(FNodeChecking, true);
        UpdateBracket bracket(grdSupplies);
        for (kvui::TreeNode* n : grdSupplies->topNodes())
            if (!n->isChecked() && OutputNumber(n->value(colSupDoDestQty)) > 0)
                n->setCheckState(Qt::Checked);
    }
    QApplication::restoreOverrideCursor();
}

void TMRPOutputFrame::lblUnselectAllClick()
{
    FlagHold hold(FNodeChecking, true);
    UpdateBracket bracket(grdSupplies);
    for (kvui::TreeNode* n : grdSupplies->topNodes())
        if (n->isChecked())
            n->setCheckState(Qt::Unchecked);
}

bool TMRPOutputFrame::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (AObject == grdSupplies && AEvent->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(AEvent);
        kvui::TreeNode* n = grdSupplies->focusedNode();
        if (key->key() == Qt::Key_Space && !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) && n
            && n->level() > 0 && n->childCount() == 0) {
            kvui::Column* editing = grdSupplies->activeEditor() ? grdSupplies->focusedColumn() : nullptr;
            if (!editing || editing == colSupDoDestQty || editing == colSupDoDestQtyU) {
                grdSupplies->cancelEdit();
                ToggleNode(n);
                if (editing)
                    grdSupplies->startEdit(editing);
                return true;
            }
        }
    }
    return TInfoTreeView::eventFilter(AObject, AEvent);
}

// ---- commands ---------------------------------------------------------------

int TMRPOutputFrame::ActionCommand(const QString& AActionID) const
{
    if (!ObjectDef)
        return -1;
    for (int i = 0; i < int(ObjectDef->Actions.size()); ++i)
        if (ObjectDef->Actions[size_t(i)].ID.compare(AActionID, Qt::CaseInsensitive) == 0)
            return Commands::FirstAction + i;
    return -1;
}

QString TMRPOutputFrame::ActionIDOf(int ACommandIndex) const
{
    const int i = ACommandIndex - Commands::FirstAction;
    if (!ObjectDef || i < 0 || i >= int(ObjectDef->Actions.size()))
        return QString();
    return ObjectDef->Actions[size_t(i)].ID;
}

bool TMRPOutputFrame::ActionEnabled() const
{
    return FPlanScheme && !!btnOk->isHidden() && (FCanToMO || FCanToOR || FCanToPR);
}

bool TMRPOutputFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    const QString action = ActionIDOf(ACommandIndex);
    if (!action.isEmpty()) {
        bool on = ActionEnabled();
        if (action.compare(QStringLiteral("Options"), Qt::CaseInsensitive) != 0
            && action.compare(QStringLiteral("Setting"), Qt::CaseInsensitive) != 0) {
            bool anyChecked = false;
            for (kvui::TreeNode* n : grdSupplies->topNodes())
                if (n->isChecked()) {
                    anyChecked = true;
                    break;
                }
            on = on && FPlanScheme->SchemeIID != 0 && !FPlanScheme->Editing && anyChecked;
        }
        AState = on ? TCommandState(csEnabled) : TCommandState();
        return true;
    }
    if (resultPaneServes(FResulter, ACommandIndex))
        return FResulter->QueryCommandState(ACommandIndex, AState);
    // While the options are edited, the view offers neither printing nor reloading.
    if ((isPrintCommand(ACommandIndex) || isReloadCommand(ACommandIndex) || ACommandIndex == Commands::Fill) && !btnOk->isHidden()) {
        AState = TCommandState();
        return true;
    }
    return TInfoTreeView::QueryCommandState(ACommandIndex, AState);
}

bool TMRPOutputFrame::ExecCommand(int ACommandIndex)
{
    const QString action = ActionIDOf(ACommandIndex);
    if (!action.isEmpty()) {
        if (action.compare(QStringLiteral("Options"), Qt::CaseInsensitive) == 0)
            ShowOutputOptions();
        else if (action.compare(QStringLiteral("Setting"), Qt::CaseInsensitive) == 0)
            ExecSetting();
        else if (action.compare(QStringLiteral("Output"), Qt::CaseInsensitive) == 0)
            ReleaseSupplies();
        return true;
    }
    if (resultPaneServes(FResulter, ACommandIndex))
        return FResulter->ExecCommand(ACommandIndex);
    if (isReloadCommand(ACommandIndex)) {
        grdSupplies->cancelEdit();
        if (!AskReloadWhenModified())
            return false;
    }
    return TInfoTreeView::ExecCommand(ACommandIndex);
}

void TMRPOutputFrame::ShowOutputOptions()
{
    // The options of the first bill type the user may output.
    const int type = FCanToMO ? obtProduction : FCanToOR ? FOutputTarget24or36 : obtPurchase;
    ShowMRPOutputSetDlg(type);
}

// ---- drawing ----------------------------------------------------------------

void TMRPOutputFrame::FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool AFocused,
                                            QColor& AOutBrush, QFont&, QColor& AOutTextColor)
{
    Q_UNUSED(AFocused);
    if (!grdSupplies->isEnabled() || !ANode || !AColumn)
        return;
    const kvui::TreeNode* top = ANode;
    while (top->parent())
        top = top->parent();
    const bool leaf = ANode->childCount() == 0;
    const double doDest = OutputNumber(ANode->value(colSupDoDestQty));
    const bool outputRow = leaf && top->isChecked() && (ANode->level() == 0 || doDest != 0);
    // 1.
    if (!IsRowOpen(ANode)) {
        AOutBrush = clInactiveBack;
        AOutTextColor = clInactiveText;
        return;
    }
    bool painted = true;
    const int period = AColumn->tag() - 1;
    const bool isPeriod = period >= 0 && period < int(FPeriodCols.size()) && FPeriodCols[size_t(period)] == AColumn;
    const int target = whole(ANode->value(colSupDestType));
    if (isPeriod) {
        if ((ANode->level() == 0 || !leaf) && ANode->imageIndex() == period)
            AOutBrush = ASelected ? clTeal : clCyan;
        else
            painted = false;
    } else if (AColumn == colSupUnDestQty && OutputNumber(ANode->value(colSupUnDestQty)) < 0) {
        AOutBrush = clOrange;
    } else if ((AColumn == colSupDoDestQty || AColumn == colSupDoDestQtyU)
               && (doDest < 0 || (doDest == 0 && ANode->level() == 0 && ANode->isChecked()) || !RowMessage(ANode).isEmpty())) {
        AOutBrush = clRed;
    } else if ((AColumn == colSupRefPOQty && !chkRefPOQty->isChecked()) || (AColumn == colSupRefUseQty && !chkRefUseQty->isChecked())) {
        AOutBrush = clInactiveBack;
    } else if (AColumn == colSupBOM && outputRow
               && (target == obtProduction || target == obtSubcontract || target == obtSubcontractDirect)
               && text(ANode->value(colSupBomID)).isEmpty()) {
        AOutBrush = clRed;
    } else if (leaf && AColumn->isEditable()) {
        if (AColumn == colSupDept && text(ANode->value(colSupDeptID)).isEmpty()
            && ((outputRow && (target == obtProduction || target == obtSubcontract)) || !text(ANode->value(colSupDept)).isEmpty())) {
            AOutBrush = clRed;
        } else if (AColumn == colSupDate) {
            const QDate today = QDate::currentDate();
            QDate start = dateOf(ANode->value(colSupDrawDate));
            QDate end = dateOf(ANode->value(colSupDate));
            if (!start.isValid())
                start = today;
            if (!end.isValid())
                end = today;
            AOutBrush = end < start ? clRed : (ASelected ? clOlive : clYellow);
        } else {
            AOutBrush = ASelected ? clOlive : clYellow;
        }
    } else {
        painted = false;
    }
    Q_UNUSED(painted);
    // Font colour.
    const bool focusedTree = grdSupplies->hasFocus();
    if (ANode->level() > 0 && doDest == 0) {
        AOutTextColor = focusedTree && ASelected ? palette().color(QPalette::Button) : palette().color(QPalette::Mid);
        return;
    }
    if (focusedTree && ASelected)
        return;
    const bool checked = ANode->isChecked() || (ANode->level() == 1 && ANode->parent()->isChecked())
        || (ANode->level() == 2 && ANode->parent()->parent()->isChecked());
    if (checked)
        AOutTextColor = clBlue;
}

// ---- release ----------------------------------------------------------------

TMRPOutputRow TMRPOutputFrame::RowValues(kvui::TreeNode* ANode) const
{
    TMRPOutputRow r;
    if (!ANode)
        return r;
    r.Level = ANode->level();
    r.Checked = ANode->isChecked();
    r.Node = ANode;
    const std::pair<kvui::Column*, const char*> columns[] = {
        {colSupBillNo, "SupBillNo"}, {colSupIID, "SupIID"}, {colSupItmNo, "SupItmNo"}, {colSupItmID, "SupItmID"},
        {colSupItmName, "SupItmName"}, {colSupItmProps, "SupItmProps"}, {colSupDestType, "SupDestType"},
        {colSupDept, "SupDept"}, {colSupDeptID, "SupDeptID"}, {colSupBillDate, "SupBillDate"},
        {colSupDrawDate, "SupDrawDate"}, {colSupDate, "SupDate"}, {colSupOrigType, "SupOrigType"},
        {colSupOrigID, "SupOrigID"}, {colSupOrigNo, "SupOrigNo"}, {colSupOrigEntry, "SupOrigEntry"},
        {colSupCustID, "SupCustID"}, {colSupCust, "SupCust"}, {colSupCustPO, "SupCustPO"},
        {colSupOrigItmID, "SupOrigItmID"}, {colSupOrigItmNo, "SupOrigItmNo"}, {colSupOrigTag, "SupOrigTag"},
        {colSupOrigSubTag, "SupOrigSubTag"}, {colSupGroupType, "SupGroupType"}, {colSupGroupNo, "SupGroupNo"},
        {colSupBOM, "SupBOM"}, {colSupBomType, "SupBomType"}, {colSupBomID, "SupBomID"}, {colSupQty, "SupQty"},
        {colSupDestQty, "SupDestQty"}, {colSupDestUntID, "SupDestUntID"}, {colSupDestUntRate, "SupDestUntRate"},
        {colSupHints, "SupHints"}, {colSupPDmdIIDs, "SupPDmdIIDs"}, {colSupTrackKey, "SupTrackKey"},
        {colItmPlannerID, "ItmPlannerID"}, {colItmBuyerID, "ItmBuyerID"}, {colItmMinQty, "ItmMinQty"},
        {colItmLotQty, "ItmLotQty"}, {colSupDoDestQty, "SupDoDestQty"}, {colSupDoDestQtyU, "SupDoDestQtyU"},
        {colSupUnDestQty, "SupUnDestQty"}, {colSupNote, "SupNote"},
    };
    for (const auto& [c, name] : columns)
        r.Values.insert(QLatin1String(name), ANode->value(c));
    for (int i = 0; i < 10; ++i)
        r.Values.insert(QStringLiteral("SupItmProp%1").arg(i + 1), ANode->value(colSupItmProp[i]));
    r.Values.insert(QStringLiteral("SupPeriod"), ANode->imageIndex());
    return r;
}

void TMRPOutputFrame::EnsureResulter()
{
    if (FResulter)
        return;
    FSplitter = new QSplitter(Qt::Vertical, this);
    FSplitter->setObjectName(QStringLiteral("FSplitter"));
    FSplitter->setHandleWidth(4);
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->removeWidget(grdSupplies);
    FSplitter->addWidget(grdSupplies);
    FResulter = new TDoResultFrame(FSplitter);
    FResulter->setObjectName(QStringLiteral("FResulter"));
    FResulter->ShowTrackPosition(true);
    FResulter->setMinimumHeight(100);
    FSplitter->addWidget(FResulter);
    FSplitter->setSizes({height() - height() / 3, height() / 3});
    box->addWidget(FSplitter, 1);
}
