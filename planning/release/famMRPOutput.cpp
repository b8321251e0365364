#include "famMRPOutput.h"
#include "famMRPOutputShared.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "famDoResults.h"
#include "untCommonUI.h"
#include "untDllCommon.h"
#include "untMRPUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace famMRPOutputShared;

namespace {

const QString SchemeGone = QStringLiteral("计划方案[%s]已取消发布, 或已关闭投放, 不能继续进行投放!");

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
    // While a release runs the hint panel carries the run's own text.
    connect(g, &kvui::TreeList::focusedNodeChanged, this, [this](kvui::TreeNode*, kvui::TreeNode* current) {
        if (InfoApplication && !FReleasing)
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
