#include "famInvAge.h"

#include "EscapeKey.h"
#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "famItemSetting.h"
#include "untApplication.h"
#include "untCommonUI.h"
#include "untDllCommon.h"
#include "untInvAgeRun.h"
#include "dlgInvAgeSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString Sep = ViewSchemeParamSeparator;
const QString TotalCaption = QStringLiteral("(总计)");
// The total of a list that was cut at the row limit covers the rows shown.
const QString CutTotalCaption = QStringLiteral("(前%1行合计)");
const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %1");
const QString RunningHint = QStringLiteral("正在进行库龄分析, 按[Esc]键可中止...");
const QString PickCondition = QStringLiteral("i.ItmNo like '%%'+%0:s+'%%' or i.ItmName like '%%'+%0:s+'%%' or i.ItmSpec like "
                                             "'%%'+%0:s+'%%'");
constexpr int QtyTag = 1;
constexpr int AmtTag = 2;

struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

double num(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : 0;
}

bool isNull(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

QVariant fieldValue(TADOQuery* AQuery, const QString& AName)
{
    TField* f = AQuery->FindField(AName);
    return f ? f->Value() : QVariant();
}

QString billTypeName(const QVariant& AType)
{
    if (isNull(AType) || !InfoApplication)
        return QString();
    const QString name = InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), AType.toInt());
    return name.isEmpty() ? AType.toString() : name;
}

QString withEntry(const QVariant& ANo, const QVariant& AEntry)
{
    if (isNull(ANo))
        return QString();
    return ANo.toString().trimmed() + (isNull(AEntry) ? QString() : u'/' + AEntry.toString());
}

} // namespace

IInfoViewPtr CreateInvAgeFrame(TInfoObjectDef* AObjectDef)
{
    std::shared_ptr<TInvAgeFrame> view = CreateInfoView<TInvAgeFrame>(nullptr, AObjectDef);
    if (!view->StartAnalysis())
        return IInfoViewPtr();
    return view;
}

TInvAgeFrame::TInvAgeFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TInfoTreeView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("InvAgeFrame"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    gbxOptions = new QFrame(this);
    gbxOptions->setObjectName(QStringLiteral("gbxOptions"));
    auto* options = new QHBoxLayout(gbxOptions);
    options->setContentsMargins(4, 3, 4, 3);
    lblFilter = new QLabel(QStringLiteral("显示入库单满足(&F):"), gbxOptions);
    cboFilterKind = new QComboBox(gbxOptions);
    cboFilterKind->setObjectName(QStringLiteral("cboFilterKind"));
    cboFilterKind->addItems({QStringLiteral("往来单位"), QStringLiteral("源订单号"), QStringLiteral("源需求单号"),
                             QStringLiteral("源需求客户"), QStringLiteral("源需求客户单号"), QStringLiteral("源需求物料代码"),
                             QStringLiteral("源需求物料名称"), QStringLiteral("源需求物料规格")});
    lblFilter->setBuddy(cboFilterKind);
    lblContain = new QLabel(QStringLiteral("含"), gbxOptions);
    // The frame's own handler opens the picker (FFilterPick): the edit has a
    // button and no handler of its own.
    edtFilterText = new TPickEdit(kvui::ButtonEditProperties(), gbxOptions);
    edtFilterText->setObjectName(QStringLiteral("edtFilterText"));
    chkShareCols = new QCheckBox(QStringLiteral("物料信息列共享显示(&S)"), gbxOptions);
    chkShareCols->setObjectName(QStringLiteral("chkShareCols"));
    btnOk = new QPushButton(QStringLiteral("确定"), gbxOptions);
    QFont bold = btnOk->font();
    bold.setBold(true);
    btnOk->setFont(bold);
    btnCancel = new QPushButton(QStringLiteral("取消"), gbxOptions);
    options->addWidget(lblFilter);
    options->addWidget(cboFilterKind);
    options->addWidget(lblContain);
    options->addWidget(edtFilterText, 1);
    options->addWidget(btnOk);
    options->addWidget(btnCancel);
    options->addSpacing(12);
    options->addWidget(chkShareCols);
    btnOk->setVisible(false);
    btnCancel->setVisible(false);
    box->addWidget(gbxOptions);

    grdInvAge = new kvui::TreeList(this);
    grdInvAge->setObjectName(QStringLiteral("grdInvAge"));
    grdInvAge->setReadOnly(true);
    grdInvAge->setMultiSelect(true);
    grdInvAge->setShowBandHeaders(true);
    box->addWidget(grdInvAge, 1);
    const int left = grdInvAge->addBand(QString(), kvui::BandFixed::Left);
    const int middle = grdInvAge->addBand(QString());
    const int ages = grdInvAge->addBand(QStringLiteral("库龄"));
    grdInvAge->addBand(QString(), kvui::BandFixed::Right);
    const auto add = [this](const QString& caption, int band, const char* valueType, int width, const char* field) {
        kvui::Column* c = grdInvAge->addColumn(caption, QString(), band);
        c->setValueType(QLatin1String(valueType));
        c->setEditable(false);
        c->setWidth(width);
        BindStaticColumn(c, QLatin1String(field));
        return c;
    };
    grdInvAge->beginUpdate();
    colInvItmNo = add(QStringLiteral("物料代码"), left, "String", 110, "ItmNo");
    colInvItmName = add(QStringLiteral("物料名称"), left, "String", 110, "ItmName");
    colInvItmSpec = add(QStringLiteral("规格型号"), middle, "String", 100, "ItmSpec");
    colInvBillNo = add(QStringLiteral("单据编号"), middle, "String", 110, "AgeBillNo");
    colInvBillType = add(QStringLiteral("单据类型"), middle, "String", 70, "AgeBillType");
    colInvSupply = add(QStringLiteral("往来单位"), middle, "String", 90, "AgeSupply");
    colInvBatch = add(QStringLiteral("批号"), middle, "String", 70, "AgeBatch");
    colInvStock = add(QStringLiteral("仓库"), middle, "String", 70, "StkName");
    colInvPlace = add(QStringLiteral("仓位"), middle, "String", 60, "StpName");
    colInvGroupType = add(QStringLiteral("MRP分组"), middle, "Integer", 60, "AgeGroupType");
    colInvGroupNo = add(QStringLiteral("MRP分组号"), middle, "String", 80, "AgeGroupNo");
    for (int n = 0; n < 10; ++n)
        colInvItmProp[n] = add(QStringLiteral("辅助项%1").arg(n + 1), middle, "String", 70,
                               QStringLiteral("AgeItmProp%1").arg(n + 1).toLatin1().constData());
    colInvUnit = add(QStringLiteral("单位"), middle, "String", 45, "UntName");
    colInvQty = add(QStringLiteral("账存数量"), middle, "Float", 80, "AgeQty");
    colInvInQty = add(QStringLiteral("统计数量"), middle, "Float", 80, "AgeInQty");
    colInvPrice = add(QStringLiteral("单价"), middle, "Float", 70, "AgePrice");
    colInvInAmount = add(QStringLiteral("统计金额"), middle, "Float", 80, "AgeInAmt");
    colInvDate = add(QStringLiteral("入库日期"), ages, "DateTime", 80, "AgeInDate");
    colInvAge = add(QStringLiteral("库龄"), ages, "Float", 60, "AgeDays");
    colInvOutDate = add(QStringLiteral("最近出库日期"), ages, "DateTime", 90, "AgeOutDate");
    colInvPlanDate = add(QStringLiteral("计划分配日期"), ages, "DateTime", 90, "AgePlanDate");
    colInvPlanner = add(QStringLiteral("计划员"), middle, "String", 60, "AgePlanner");
    colInvBuyer = add(QStringLiteral("采购员"), middle, "String", 60, "AgeBuyer");
    colInvNote = add(QStringLiteral("备注"), middle, "String", 100, "AgeNote");
    colInvMemo = add(QStringLiteral("附注"), middle, "String", 100, "AgeMemo");
    colInvOrdType = add(QStringLiteral("源订单类型"), middle, "String", 80, "AgeOrdType");
    colInvOrdNo = add(QStringLiteral("源订单号"), middle, "String", 110, "AgeOrdNo");
    colInvOrigType = add(QStringLiteral("源需求类型"), middle, "String", 80, "AgeOrigType");
    colInvOrigNo = add(QStringLiteral("源需求单号"), middle, "String", 110, "AgeOrigNo");
    colInvOrigCust = add(QStringLiteral("源需求客户"), middle, "String", 90, "AgeOrigCust");
    colInvOrigCustPO = add(QStringLiteral("源需求客户单号"), middle, "String", 90, "AgeOrigCustPO");
    colInvOrigItmNo = add(QStringLiteral("源需求物料代码"), middle, "String", 90, "AgeOrigItmNo");
    colInvOrigItmName = add(QStringLiteral("源需求物料名称"), middle, "String", 90, "AgeOrigItmName");
    colInvOrigItmSpec = add(QStringLiteral("源需求规格型号"), middle, "String", 90, "AgeOrigItmSpec");
    colInvOrigTag = add(QStringLiteral("源需求分类号"), middle, "String", 80, "AgeOrigTag");
    colInvPrice->setVisible(false);
    colInvInAmount->setVisible(false);
    grdInvAge->endUpdate();

    FDesignCaptions[0] = colInvItmNo->caption();
    FDesignCaptions[1] = colInvItmName->caption();
    FDesignCaptions[2] = colInvItmSpec->caption();
    if (AObjectDef && AObjectDef->GetFieldDef(QStringLiteral("AgeOrigTag")))
        cboFilterKind->addItem(colInvOrigTag->caption());

    // Receipt lines show their bill number, type and partner in the item
    // columns while those are shared.
    const auto shareText = [this](kvui::Column* AOwnColumn) {
        return [this, AOwnColumn](const kvui::RowRef& row, const QVariant&, QString& text) {
            if (chkShareCols->isChecked() && row.node && row.node->level() == 2)
                text = row.node->value(AOwnColumn).toString();
        };
    };
    colInvItmNo->displayTextHook = shareText(colInvBillNo);
    colInvItmName->displayTextHook = shareText(colInvBillType);
    colInvItmSpec->displayTextHook = shareText(colInvSupply);

    grdInvAge->setExpandingHook([this](kvui::TreeNode* node) {
        if (node && node->level() == 1 && node->childCount() == 0)
            LoadView(node);
        return true;
    });
    grdInvAge->setCollapsingHook([](kvui::TreeNode* node) { return node && node->level() > 0; });

    connect(cboFilterKind, &QComboBox::currentIndexChanged, this, [this] { ApplyFilterKindChange(true); });
    connect(edtFilterText, &QLineEdit::textEdited, this, [this] {
        if (!FFilterEditMode)
            setFilterEditMode(true);
    });
    connect(btnOk, &QPushButton::clicked, this, &TInvAgeFrame::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TInvAgeFrame::btnCancelClick);
    connect(chkShareCols, &QCheckBox::clicked, this, [this](bool on) { ShareColumns(on, true); });
    FFilterPick = std::make_shared<TPickEditProperties>();
    connect(edtFilterText, &kvui::ButtonEdit::buttonClicked, this, [this](int) {
        FFilterPick->Text = edtFilterText->text().trimmed();
        try {
            FFilterPick->ShowPicker(true);
        } catch (const Exception& e) {
            ShowADOError(e, GlobalADOQuery);
        }
    });
    ViewComponent = grdInvAge;
    ApplyFilterKindChange(false);
}

TInvAgeFrame::~TInvAgeFrame()
{
    if (InfoApplication && !InfoApplication->LoginInfo.UserID.isEmpty())
        ClearResults(true);
}

bool TInvAgeFrame::StartAnalysis()
{
    if (ObjectDef)
        ViewScheme.ID = ObjectDef->ID;
    LoadViewScheme(ViewScheme);
    // A reference plan scheme is chosen anew each time the view opens.
    ViewScheme.Params = WriteDelimitedValue(ViewScheme.Params, QStringLiteral("[PlanScheme]"), QString(), Sep);
    if (!RunAnalysis())
        return false;
    SaveViewScheme(ViewScheme, false);
    return true;
}

bool TInvAgeFrame::RunAnalysis()
{
    const QString shownParams = ViewScheme.Params;
    if (!ShowInvAgeSetDlg(&ViewScheme))
        return false;
    WaitCursor hourglass;
    if (InfoApplication)
        InfoApplication->ShowStatusMessage(RunningHint, mkHint);
    TInvAgeRun run(GlobalADOQuery, ObjectDef);
    run.OnCheckEscape = [this] {
        if (OnCheckEscape)
            return OnCheckEscape();
        if (!InfoApplication)
            return false;
        // Only this view takes input while pending key presses are handled.
        InfoApplication->LockProcessMessages(quintptr(this));
        QCoreApplication::processEvents();
        InfoApplication->LockProcessMessages(0);
        return InfoApplication->CheckEscapeKeyPress(false);
    };
    // An Esc pressed before the run (the dialog's) stops nothing.
    kvos::startEscapeKeyWatch();
    const bool done = run.Execute(ViewScheme.Params, ResultSchemeIID);
    if (InfoApplication)
        InfoApplication->ShowStatusMessage(QString(), mkHint);
    if (done)
        BuildAgeColumns();
    else if (ResultSchemeIID != 0)
        ViewScheme.Params = shownParams;  // the options stay those of the results shown
    return done;
}

bool TInvAgeFrame::ClearResults(bool ADropScheme)
{
    return ClearInvAgeResults(GlobalADOQuery, ResultSchemeIID, ADropScheme,
                              InfoApplication ? InfoApplication->LoginInfo.UserID : QString());
}

void TInvAgeFrame::BuildAgeColumns()
{
    ParseAgeGroups(ReadDelimitedValue(ViewScheme.Params, QStringLiteral("[AgeGroups]"), Sep).trimmed(), FGroups);
    grdInvAge->beginUpdate();
    for (kvui::Column* c : AgeColumns())
        grdInvAge->removeColumn(c);
    FAgeQtyColumns.clear();
    FAgeAmtColumns.clear();
    for (int band : std::as_const(FAgeBands))
        grdInvAge->band(band).visible = false;
    for (qsizetype i = 0; i < FGroups.size(); ++i) {
        if (i >= FAgeBands.size())
            FAgeBands.append(grdInvAge->addBand(QString()));
        const int band = FAgeBands[i];
        grdInvAge->band(band).visible = true;
        grdInvAge->band(band).ownColumnsOnly = true;
        grdInvAge->band(band).caption = ShowAmounts ? FGroups[i].Name : QString();
        kvui::Column* qty = grdInvAge->addColumn(ShowAmounts ? QStringLiteral("数量") : FGroups[i].Name, QString(), band);
        qty->setValueType(colInvInQty->valueType());
        qty->setEditable(false);
        qty->setWidth(colInvInQty->width());
        qty->setEditor(colInvInQty->editor());
        qty->displayTextHook = colInvInQty->displayTextHook;
        qty->setTag(QtyTag);
        FAgeQtyColumns.append(qty);
        if (ShowAmounts) {
            kvui::Column* amt = grdInvAge->addColumn(QStringLiteral("金额"), QString(), band);
            amt->setValueType(colInvInAmount->valueType());
            amt->setEditable(false);
            amt->setWidth(colInvInAmount->width());
            amt->setEditor(colInvInAmount->editor());
            amt->displayTextHook = colInvInAmount->displayTextHook;
            amt->setTag(AmtTag);
            FAgeAmtColumns.append(amt);
        }
    }
    grdInvAge->endUpdate();
}

void TInvAgeFrame::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    TInfoTreeView::InitializeView(AViewAsDetailID, AMasterView);
    chkShareCols->setChecked(ReadDelimitedValue(ViewScheme.Params, QStringLiteral("[ShareCols]"), Sep).trimmed() != u'0');
    const int kind = ReadDelimitedValue(ViewScheme.Params, QStringLiteral("[LimitKind]"), Sep).trimmed().toInt();
    {
        const QSignalBlocker block(cboFilterKind);
        cboFilterKind->setCurrentIndex(kind >= 0 && kind < cboFilterKind->count() ? kind : 0);
    }
    ApplyFilterKindChange(false);
    ShareColumns(chkShareCols->isChecked(), false);
}

void TInvAgeFrame::ApplyViewScheme()
{
    TInfoTreeView::ApplyViewScheme();
    ShowAmounts = ObjectDef && ObjectDef->GetAccessGroup(QStringLiteral("Money")) && colInvInAmount->isVisible();
    colInvItmNo->setVisible(true);
    colInvAge->setVisible(true);
    colInvInQty->setVisible(true);
    ApplyFilterKindChange(false);
    ShareColumns(chkShareCols->isChecked(), false);
    BuildAgeColumns();
}

void TInvAgeFrame::StoreViewScheme()
{
    TInfoTreeView::StoreViewScheme();
    ViewScheme.Params = WriteDelimitedValue(ViewScheme.Params, QStringLiteral("[ShareCols]"),
                                            chkShareCols->isChecked() ? QStringLiteral("1") : QStringLiteral("0"), Sep);
    ViewScheme.Params = WriteDelimitedValue(ViewScheme.Params, QStringLiteral("[LimitKind]"),
                                            QString::number(cboFilterKind->currentIndex()), Sep);
}

void TInvAgeFrame::ShareColumns(bool AShared, bool AByUser)
{
    kvui::Column* const items[3] = {colInvItmNo, colInvItmName, colInvItmSpec};
    kvui::Column* const bills[3] = {colInvBillNo, colInvBillType, colInvSupply};
    grdInvAge->beginUpdate();
    for (int i = 0; i < 3; ++i) {
        if (AShared) {
            items[i]->setCaption(FDesignCaptions[i] + u'/' + bills[i]->caption());
            bills[i]->setVisible(false);
        } else {
            items[i]->setCaption(FDesignCaptions[i]);
            if (AByUser)
                bills[i]->setVisible(items[i]->isVisible());
        }
    }
    grdInvAge->endUpdate();
    grdInvAge->viewport()->update();
}

void TInvAgeFrame::setupFilterPick()
{
    const int kind = cboFilterKind->currentIndex();
    FFilterPick->RefQuery = GlobalADOQuery;
    if (kind == 3) {
        FFilterPick->SQL = QStringLiteral("select [代码]=CustNo, [名称]=CustName from QZ_Base_Customer with(nolock) where CustNo "
                                          "like '%%'+%0:s+'%%' or CustName like '%%'+%0:s+'%%' order by CustNo");
        FFilterPick->FixedFields = QStringLiteral("|代码|");
        FFilterPick->TextField = QStringLiteral("名称");
    } else if (kind >= 5 && kind <= 7) {
        FFilterPick->SQL = BuildItemPickSQL(QString(), PickCondition, QString());
        TInfoObjectDef* items = InfoApplication ? InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.Items")) : nullptr;
        const auto name = [items](const char* field) {
            PInfoFieldDef f = items ? items->GetFieldDef(QLatin1String(field)) : nullptr;
            return f ? f->Name : QString();
        };
        FFilterPick->FixedFields = u'|' + name("ItmNo") + u'|';
        FFilterPick->TextField = name(kind == 5 ? "ItmNo" : kind == 6 ? "ItmName" : "ItmSpec");
    }
    FFilterPick->AfterDataPicked = [this](TCustomADODataSet* data, const TBookmarks&) {
        edtFilterText->setText(GetFieldValue(data, FFilterPick->TextField).toString());
        setFilterEditMode(true);
    };
}

void TInvAgeFrame::ApplyFilterKindChange(bool AEnterEditMode)
{
    const int kind = cboFilterKind->currentIndex();
    const bool pick = kind == 3 || (kind >= 5 && kind <= 7);
    for (QToolButton* b : edtFilterText->findChildren<QToolButton*>())
        b->setVisible(pick);
    if (pick)
        setupFilterPick();
    if (!AEnterEditMode)
        return;
    if (edtFilterText->text().trimmed().isEmpty() && FLimitText.isEmpty()) {
        FLimitKind = kind;
        return;
    }
    setFilterEditMode(true);
}

void TInvAgeFrame::setFilterEditMode(bool AOn)
{
    FFilterEditMode = AOn;
    btnOk->setVisible(AOn);
    btnCancel->setVisible(AOn);
    gbxOptions->layout()->setContentsMargins(AOn ? 6 : 4, 3, AOn ? 6 : 4, 3);
    grdInvAge->setEnabled(!AOn);
}

void TInvAgeFrame::btnOkClick()
{
    const QString text = edtFilterText->text().trimmed();
    edtFilterText->setText(text);
    setFilterEditMode(false);
    const int kind = cboFilterKind->currentIndex();
    if (text.compare(FLimitText, Qt::CaseInsensitive) == 0 && (text.isEmpty() || kind == FLimitKind)) {
        FLimitKind = kind;
        return;
    }
    RefreshData(true);
}

void TInvAgeFrame::btnCancelClick()
{
    {
        const QSignalBlocker block(cboFilterKind);
        cboFilterKind->setCurrentIndex(FLimitKind);
    }
    ApplyFilterKindChange(false);
    edtFilterText->setText(FLimitText);
    setFilterEditMode(false);
}

void TInvAgeFrame::RefreshData(bool ARebuild)
{
    if (InfoApplication && !ViewScheme.SQLParsed)
        InfoApplication->ParseViewSchemeSQL(ObjectDef, &ViewScheme, GlobalADOQuery);
    TCustomInfoView::RefreshData(ARebuild);
    if (ViewScheme.SQLParsed)
        LoadView(nullptr);
}

void TInvAgeFrame::LoadView(kvui::TreeNode* AParent)
{
    WaitCursor hourglass;
    grdInvAge->beginUpdate();
    struct End {
        kvui::TreeList* tree;
        ~End() { tree->endUpdate(); }
    } end{grdInvAge};
    if (AParent)
        loadLines(AParent);
    else
        loadTop();
}

void TInvAgeFrame::loadTop()
{
    FLimitKind = cboFilterKind->currentIndex();
    FLimitText = edtFilterText->text().trimmed();
    grdInvAge->clear();
    const QString iid = QString::number(ResultSchemeIID);

    QString columns, joins;
    if (colInvPlanner->isVisible() || colInvBuyer->isVisible()) {
        joins += QStringLiteral(" left join QZ_MRP_ItemSetting as mt with(nolock) on AgeItmID=mt.ItmID");
        if (colInvPlanner->isVisible()) {
            columns += QStringLiteral(", ItmPlanner=ep.EmpName");
            joins += QStringLiteral(" left join QZ_Base_Employee as ep with(nolock) on mt.ItmPlannerID=ep.EmpID");
        }
        if (colInvBuyer->isVisible()) {
            columns += QStringLiteral(", ItmBuyer=eb.EmpName");
            joins += QStringLiteral(" left join QZ_Base_Employee as eb with(nolock) on mt.ItmBuyerID=eb.EmpID");
        }
    }
    QString filterJoin;
    if (!FLimitText.isEmpty()) {
        const bool wild = FLimitText.contains(u'%') || FLimitText.contains(u'_');
        const QString pattern = QuotedStr(wild ? FLimitText : u'%' + FLimitText + u'%');
        const QString where = QStringLiteral(" where AgeSchIID=") + iid;
        QString condition;
        switch (FLimitKind) {
        case 0: condition = where + QStringLiteral(" and AgeSupply like ") + pattern; break;
        case 1: condition = where + QStringLiteral(" and AgeOrdNo like ") + pattern; break;
        case 2: condition = where + QStringLiteral(" and AgeOrigNo like ") + pattern; break;
        case 3:
            condition = QStringLiteral(" join QZ_Base_Customer with(nolock) on AgeOrigCustID=CustID") + where +
                        QStringLiteral(" and CustName like ") + pattern;
            break;
        case 4: condition = where + QStringLiteral(" and AgeOrigCustPO like ") + pattern; break;
        case 5:
        case 6:
        case 7:
            condition = QStringLiteral(" join QZ_Base_ItemMaster with(nolock) on AgeOrigItmID=ItmID") + where +
                        (FLimitKind == 5 ? QStringLiteral(" and ItmNo like ")
                         : FLimitKind == 6 ? QStringLiteral(" and ItmName like ")
                                           : QStringLiteral(" and ItmSpec like ")) +
                        pattern;
            break;
        default: condition = where + QStringLiteral(" and AgeOrigTag like ") + pattern; break;
        }
        filterJoin = QStringLiteral(" join (select distinct AgeIID from QZ_MRP_InvAgeDetail with(nolock)") + condition +
                     QStringLiteral(") as r on s.AgeIID=r.AgeIID");
    }
    QString nulls;
    for (const char* name : {"AgeBillNo", "AgeBillType", "AgeSupply", "AgeNote", "AgeMemo", "AgeOrdType", "AgeOrdNo", "AgeOrigType",
                             "AgeOrigNo", "AgeOrigCust", "AgeOrigCustPO", "AgeOrigItmNo", "AgeOrigItmName", "AgeOrigItmSpec",
                             "AgeOrigTag"})
        nulls += (nulls.isEmpty() ? QString() : QStringLiteral(", ")) + QLatin1String(name) +
                 QStringLiteral("=cast(null as char(1))");
    // One row more than the limit tells whether the list was cut.
    QString sql = QStringLiteral("select top %1 s.*, ItmNo, ItmName, ItmSpec, StkName, StpName, UntName,").arg(TopRowsForLimit()) +
                  nulls + columns + QStringLiteral(" from QZ_MRP_InvAgeMain as s with(nolock)") + filterJoin +
                  QStringLiteral(" left join QZ_Base_ItemMaster as i with(nolock) on AgeItmID=i.ItmID left join QZ_Base_Stock as k "
                                 "with(nolock) on AgeStkID=StkID left join QZ_Base_StockPlace as p with(nolock) on AgeStpID=StpID "
                                 "left join QZ_Base_Unit as u with(nolock) on ItmUnitID=UntID") +
                  joins + QStringLiteral(" where AgeSchIID=") + iid;
    if (!ViewScheme.FilterSQL.trimmed().isEmpty())
        sql += QStringLiteral(" and (") + ViewScheme.FilterSQL + u')';
    sql += QStringLiteral(" order by ") +
           (ViewScheme.OrderBySQL.trimmed().isEmpty() ? QStringLiteral("ItmNo, AgeBatch, StkName, StpName") : ViewScheme.OrderBySQL);

    try {
        ExecSQLText(GlobalADOQuery, sql, true, true, false);
    } catch (const std::exception& e) {
        ShowError(DataLoadFailed.arg(QString::fromUtf8(e.what())));
        return;
    }
    TADOQuery* q = GlobalADOQuery;
    kvui::TreeNode* total = grdInvAge->addNode();
    total->setValue(colInvItmNo, TotalCaption);
    const int groups = int(FGroups.size());
    QList<double> groupQty(groups, 0), groupAmt(groups, 0);
    double qty = 0, inQty = 0, inAmt = 0, ageSum = 0, ageWeight = 0;
    double ageMax = 0, ageMin = 0;
    bool anyAge = false;
    int count = 0;
    const int limit = TopRowsForLimit() - 1;
    for (; !q->Eof() && count < limit; q->Next(), ++count) {
        kvui::TreeNode* node = total->addChild();
        node->setData(fieldValue(q, QStringLiteral("AgeIID")));
        node->setHasChildren(true);
        for (int i = 0; i < FStaticColumnCount; ++i)
            if (TField* f = q->FindField(FColumnFieldNames[i]))
                node->setValue(FColumns[i], f->Value());
        node->setValue(colInvPlanner, fieldValue(q, QStringLiteral("ItmPlanner")));
        node->setValue(colInvBuyer, fieldValue(q, QStringLiteral("ItmBuyer")));
        for (int g = 0; g < groups; ++g) {
            const QVariant gq = fieldValue(q, QStringLiteral("AgeQty%1").arg(g + 1));
            node->setValue(FAgeQtyColumns[g], gq);
            groupQty[g] += num(gq);
            if (ShowAmounts) {
                const QVariant ga = fieldValue(q, QStringLiteral("AgeAmt%1").arg(g + 1));
                node->setValue(FAgeAmtColumns[g], ga);
                groupAmt[g] += num(ga);
            }
        }
        const double rowInQty = num(fieldValue(q, QStringLiteral("AgeInQty")));
        const QVariant days = fieldValue(q, QStringLiteral("AgeDays"));
        qty += num(fieldValue(q, QStringLiteral("AgeQty")));
        inQty += rowInQty;
        inAmt += num(fieldValue(q, QStringLiteral("AgeInAmt")));
        if (!isNull(days)) {
            const double d = num(days);
            ageMax = anyAge ? std::max(ageMax, d) : d;
            ageMin = anyAge ? std::min(ageMin, d) : d;
            anyAge = true;
            if (rowInQty > 0) {
                ageSum += d * rowInQty;
                ageWeight += rowInQty;
            }
        }
    }
    const bool cut = !q->Eof();
    q->Close();
    if (cut && CheckResultRowLimit(count + 1))
        total->setValue(colInvItmNo, CutTotalCaption.arg(count));
    total->setValue(colInvQty, qty);
    total->setValue(colInvInQty, inQty);
    total->setValue(colInvInAmount, inAmt);
    if (inQty > 0)
        total->setValue(colInvPrice, std::round(inAmt / inQty * 1e6) / 1e6);
    const int ageType = ReadDelimitedValue(ViewScheme.Params, QStringLiteral("[AgeType]"), Sep).trimmed().toInt();
    if (anyAge)
        total->setValue(colInvAge, ageType == 1   ? ageMax
                                   : ageType == 2 ? ageMin
                                                  : (ageWeight > 0 ? std::round(ageSum / ageWeight * 100) / 100 : 0.0));
    for (int g = 0; g < groups; ++g) {
        total->setValue(FAgeQtyColumns[g], groupQty[g]);
        if (ShowAmounts)
            total->setValue(FAgeAmtColumns[g], groupAmt[g]);
    }
    total->setExpanded(true);
}

void TInvAgeFrame::loadLines(kvui::TreeNode* AItem)
{
    QString columns, joins;
    if (colInvOrigCust->isVisible()) {
        columns += QStringLiteral(", CustName");
        joins += QStringLiteral(" left join QZ_Base_Customer with(nolock) on AgeOrigCustID=CustID");
    }
    if (colInvOrigItmNo->isVisible() || colInvOrigItmName->isVisible() || colInvOrigItmSpec->isVisible()) {
        columns += QStringLiteral(", ItmNo, ItmName, ItmSpec");
        joins += QStringLiteral(" left join QZ_Base_ItemMaster with(nolock) on AgeOrigItmID=ItmID");
    }
    const QString sql = QStringLiteral("select s.*, StkName, StpName") + columns +
                        QStringLiteral(" from QZ_MRP_InvAgeDetail as s with(nolock) left join QZ_Base_Stock as k with(nolock) on "
                                       "AgeStkID=StkID left join QZ_Base_StockPlace as p with(nolock) on AgeStpID=StpID") +
                        joins + QStringLiteral(" where AgeSchIID=%1 and AgeIID=%2 order by AgeBillDate, AgeBillTypID, AgeBillNo, AgeBillEntry")
                                    .arg(ResultSchemeIID)
                                    .arg(AItem->data().toInt());
    try {
        ExecSQLText(GlobalADOQuery, sql, true, true, false);
    } catch (const std::exception& e) {
        ShowError(DataLoadFailed.arg(QString::fromUtf8(e.what())));
        return;
    }
    TADOQuery* q = GlobalADOQuery;
    const int groups = int(FGroups.size());
    for (; !q->Eof(); q->Next()) {
        kvui::TreeNode* node = AItem->addChild();
        const auto v = [q](const char* name) { return fieldValue(q, QLatin1String(name)); };
        node->setValue(colInvBillNo, withEntry(v("AgeBillNo"), v("AgeBillEntry")));
        node->setValue(colInvBillType, v("AgeBillTypName"));
        node->setValue(colInvSupply, v("AgeSupply"));
        node->setValue(colInvBatch, v("AgeBatch"));
        node->setValue(colInvStock, v("StkName"));
        node->setValue(colInvPlace, v("StpName"));
        node->setValue(colInvGroupType, v("AgeGroupType"));
        node->setValue(colInvGroupNo, v("AgeGroupNo"));
        node->setValue(colInvQty, v("AgeBillQty"));
        node->setValue(colInvInQty, v("AgeQty"));
        node->setValue(colInvPrice, v("AgePrice"));
        node->setValue(colInvInAmount, v("AgeAmt"));
        node->setValue(colInvDate, v("AgeBillDate"));
        node->setValue(colInvAge, v("AgeDays"));
        node->setValue(colInvNote, v("AgeNote"));
        node->setValue(colInvMemo, v("AgeMemo"));
        node->setValue(colInvOrdType, billTypeName(v("AgeOrdType")));
        node->setValue(colInvOrdNo, withEntry(v("AgeOrdNo"), v("AgeOrdEntry")));
        node->setValue(colInvOrigType, billTypeName(v("AgeOrigType")));
        node->setValue(colInvOrigNo, withEntry(v("AgeOrigNo"), v("AgeOrigEntry")));
        node->setValue(colInvOrigCustPO, v("AgeOrigCustPO"));
        node->setValue(colInvOrigCust, v("CustName"));
        node->setValue(colInvOrigItmNo, v("ItmNo"));
        node->setValue(colInvOrigItmName, v("ItmName"));
        node->setValue(colInvOrigItmSpec, v("ItmSpec"));
        node->setValue(colInvOrigTag, v("AgeOrigTag"));
        const int group = v("AgeGroup").toInt() - 1;
        if (!isNull(v("AgeGroup")) && group >= 0 && group < groups) {
            node->setValue(FAgeQtyColumns[group], v("AgeQty"));
            if (ShowAmounts)
                node->setValue(FAgeAmtColumns[group], v("AgeAmt"));
        }
    }
    q->Close();
}

bool TInvAgeFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (FFilterEditMode) {
        switch (ACommandIndex) {
        case 5: case 6: case 7: case 8: case 9: case 26: case 41: case 42: case 43: case 44: case 45: case 49:
            AState = TCommandState();
            return true;
        default:
            break;
        }
    } else if (ACommandIndex == Commands::Parameters) {
        AState = TCommandState(csEnabled);
        return true;
    }
    return TInfoTreeView::QueryCommandState(ACommandIndex, AState);
}

bool TInvAgeFrame::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex == Commands::Parameters) {
        if (!FFilterEditMode && RunAnalysis())
            RefreshData(true);
        return true;
    }
    return TInfoTreeView::ExecCommand(ACommandIndex);
}

void TInvAgeFrame::FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column*, bool ASelected, bool, QColor&, QFont& AOutFont,
                                         QColor& AOutTextColor)
{
    if (!ANode)
        return;
    if (ANode->level() == 0)
        AOutFont.setBold(true);
    // Stock not fully explained by receipts, or a receipt only partly used.
    if (std::abs(num(ANode->value(colInvQty)) - num(ANode->value(colInvInQty))) < 1e-9)
        return;
    if (ANode->level() < 2)
        AOutTextColor = QColor(Qt::red);
    else if (!ASelected)
        AOutTextColor = QColor(Qt::blue);
}
