#include "famDeduction.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untDllCommon.h"
#include "untMRP.h"
#include "untMRPUtils.h"
#include "untTreeColumns.h"
#include "untViewActions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QString CRLF = QStringLiteral("\r\n");
const QString OptBillScope = QStringLiteral("[BillScope]");
const QString OptDiffCustom = QStringLiteral("[DiffCustom]");
const QString OptShowFilter = QStringLiteral("[ShowFilter]");
const QString TotalTooLarge = QStringLiteral("各明细行的本次冲销数量累计(%s)超出当前%s行的最大可冲销数量(%s)!");
const QString LineInError = QStringLiteral(
    "%s行的冲销信息有异常, 不能参与本次冲销, 请消除异常后再加入!\r\r"
    "冲销异常产生原因: 相关单据行在最近一次冲销操作之后被ERP系统改变了物料或删除!\r"
    "冲销异常消除方法: 删除相关单据行的历史冲销记录, 根据需求重做自动或手动冲销。");
const QString LineTooLarge = QStringLiteral("%s行(%s/%s)的本次冲销数量(%s)超出其自身的最大可冲销数量(%s)!");

// Quantities closer than this are equal (what is left of a subtraction in floating point).
constexpr double QtyResidue = 5e-9;

const QString PropList = QStringLiteral(
    ", ItmProps=$$ItmProps$$, ItmProp1=$$ItmProp1$$, ItmProp2=$$ItmProp2$$, ItmProp3=$$ItmProp3$$, ItmProp4=$$ItmProp4$$,"
    "ItmProp5=$$ItmProp5$$, ItmProp6=$$ItmProp6$$, ItmProp7=$$ItmProp7$$, ItmProp8=$$ItmProp8$$, ItmProp9=$$ItmProp9$$,"
    "ItmProp10=$$ItmProp10$$, OrigTag=$$OrigTag$$, MRPGroupType=$$MRPGroupType$$, MRPGroupNo=$$MRPGroupNo$$");
const QString CandidatePropList = QStringLiteral(
    ", [#ItmProp1]=$$ItmProp1$$, [#ItmProp2]=$$ItmProp2$$, [#ItmProp3]=$$ItmProp3$$, [#ItmProp4]=$$ItmProp4$$,"
    "[#ItmProp5]=$$ItmProp5$$, [#ItmProp6]=$$ItmProp6$$, [#ItmProp7]=$$ItmProp7$$, [#ItmProp8]=$$ItmProp8$$, "
    "[#ItmProp9]=$$ItmProp9$$,[#ItmProp10]=$$ItmProp10$$, [#OrigTag]=$$OrigTag$$, [#MRPGroupType]=$$MRPGroupType$$, "
    "[#MRPGroupNo]=$$MRPGroupNo$$");

// The names of one bill kind: its list object, line table and field prefix.
struct Kind {
    int code;
    const char* objectID;
    const char* table;
    const char* prefix;
};
const Kind Forcast{8, "QZ_MRP.Forcast", "QZ_MRP_Forcast", "For"};
const Kind SalesOrder{2, "QZ_MRP.SO", "QZ_MRP_SO", "SO"};
const Kind ExportOrder{4, "QZ_MRP.SI", "QZ_MRP_SI", "SI"};

const Kind& kindOf(int ACode)
{
    return ACode == 8 ? Forcast : ACode == 2 ? SalesOrder : ExportOrder;
}

int normalKind(int ACode)
{
    return ACode == 8 || ACode == 2 ? ACode : 4;
}

QString P(const Kind& k) { return QLatin1String(k.prefix); }

TInfoObjectDef* kindDef(const Kind& k)
{
    return InfoApplication ? InfoApplication->GetInfoObjectDef(QLatin1String(k.objectID)) : nullptr;
}

// The bill-line fields of a kind (the line itself, read from its list's data source).
QString lineFields(const Kind& k)
{
    const QString p = P(k);
    const QString custPO = k.code == 8 ? QStringLiteral("cast(null as nvarchar(10))") : QStringLiteral("s.") + p + QStringLiteral("CustPO");
    return QStringLiteral("BillNo=s.%1No, ItmID=s.%1ItmID, CustID=s.%1CustID, NeedDate=s.%1DelivDate, BillDate=s.%1Date, "
                          "CustPO=%2,BillQty=s.%1BillQty, ExeQty=s.%1OkQty, DedAQty=x.%1DedAQty, DedMQty=x.%1DedMQty, "
                          "i.ItmNo, i.ItmName, i.ItmSpec, ub.UntName, c.CustName, d.DeptName, b.BomNo,"
                          "DedError=(case when s.%1ItmID<>x.%1ItmID then 1 else 0 end)")
        .arg(p, custPO);
}

// The fields of a deducting line of kind k, read through its deduction record.
QString recordFields(const Kind& k)
{
    const QString p = P(k);
    const bool forcast = k.code == 8;
    const QString custPO = forcast ? QStringLiteral("cast(null as nvarchar(10))") : QStringLiteral("s.") + p + QStringLiteral("CustPO");
    return QStringLiteral("BillType=%3, BillID=%4, BillEntry=%5, BillNo=s.%1No, ItmID=s.%1ItmID, CustID=s.%1CustID, "
                          "NeedDate=s.%1DelivDate, BillDate=s.%1Date, CustPO=%2,BillQty=s.%1BillQty, ExeQty=s.%1OkQty, "
                          "DedAQty=x.%1DedAQty, DedMQty=x.%1DedMQty, DedManual, DedQty=%6, DedTime, i.ItmNo, i.ItmName, "
                          "i.ItmSpec, ub.UntName, c.CustName, d.DeptName, b.BomNo, UsrName,"
                          "DedError=(case when s.%1ID is null or s.%1ItmID<>x.%1ItmID then 1 else 0 end)")
        .arg(p, custPO, QString::number(k.code), forcast ? QStringLiteral("DedForID") : QStringLiteral("DedOrdID"),
             forcast ? QStringLiteral("DedForEntry") : QStringLiteral("DedOrdEntry"),
             forcast ? QStringLiteral("DedForQty") : QStringLiteral("DedOrdQty"));
}

// The display columns of a kind's candidate lines.
QString candidateFields(const Kind& k)
{
    const QString p = P(k);
    const bool forcast = k.code == 8;
    const QString dedQty = forcast ? QStringLiteral("DedForQty") : QStringLiteral("DedOrdQty");
    QString s = QStringLiteral("[#BillType]=%1, [#BillID]=s.%2ID, [#ItmID]=s.%2ItmID, [需求日期]=s.%2DelivDate, [单据编号]=s.%2No, "
                               "[单据行]=s.%2Entry, [物料代码]=i.ItmNo, [物料名称]=i.ItmName, [规格型号]=i.ItmSpec, [客户]=c.CustName, ")
                    .arg(QString::number(k.code), p);
    s += forcast ? QStringLiteral("[客户单号]=cast(null as nvarchar(10)), ") : QStringLiteral("[客户单号]=s.%1CustPO, ").arg(p);
    s += QStringLiteral("[单据数量]=s.%1BillQty, [执行数量]=s.%1OkQty, [自动冲销数]=x.%1DedAQty, [手动冲销数]=x.%1DedMQty, "
                        "[本单原冲销数]=%2, [#DedMQty]=(case when DedManual=1 then %2 else null end), ")
             .arg(p, dedQty);
    // A forecast line can take no more than what its bill leaves after the
    // executed quantity and its other manual deductions, as when it is loaded.
    if (forcast)
        s += QStringLiteral("[本次可冲销数]=s.ForBillQty-isnull(s.ForOkQty,0)-isnull(x.ForDedMQty,0)+(case when DedManual=1 then "
                            "isnull(DedForQty,0) else 0 end), ");
    else
        s += QStringLiteral("[本次可冲销数]=s.%1BillQty-isnull(x.%1DedMQty,0)+(case when DedManual=1 then isnull(DedOrdQty,0) "
                            "else 0 end), ")
                 .arg(p);
    s += QStringLiteral("[单位]=ub.UntName, [BOM单号]=b.BomNo, [部门]=d.DeptName, [单据日期]=s.%1Date, ").arg(p);
    if (!forcast)
        s += QStringLiteral("[业务关闭]=s.Closed, ");
    s += QStringLiteral("[#DedError]=(case when s.%1ItmID<>x.%1ItmID then 1 else 0 end)").arg(p);
    return s;
}

double num(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : 0;
}

QVariant fieldValue(TCustomADODataSet* AData, const QString& AName)
{
    return GetFieldValue(AData, AName);
}

double fieldNum(TCustomADODataSet* AData, const QString& AName)
{
    return num(fieldValue(AData, AName));
}

QString dequoted(const QString& AText)
{
    const QString t = AText.trimmed();
    if (t.size() >= 2 && t.startsWith(u'\'') && t.endsWith(u'\''))
        return t.mid(1, t.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    return t;
}

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { release(); }
    void release()
    {
        if (active)
            QApplication::restoreOverrideCursor();
        active = false;
    }
    bool active = true;
};

// The tree's painting stays off until the scope ends.
struct UpdateBracket {
    explicit UpdateBracket(kvui::TreeList* ATree) : tree(ATree) { tree->beginUpdate(); }
    ~UpdateBracket() { tree->endUpdate(); }
    kvui::TreeList* tree;
};

const QString RowCheck = QStringLiteral("\rselect @saveerror=@@error, @saverowcount=@@rowcount\r"
                                        "if @saveerror<>0\rbegin\rrollback\rreturn\rend\r"
                                        "if @saverowcount=0\rbegin\rrollback\rraiserror ('', 16, 1)\rreturn\rend\r");
const QString ErrorCheck = QStringLiteral("\rif @@error<>0\rbegin\rrollback\rreturn\rend\r");
const QString SaveHead = QStringLiteral("\rdeclare @saveerror int, @saverowcount int\r");

// Inserts or updates a line's extension row; %0 key, %1 line, %2 automatic
// and %3 manual quantity (set, or added with AAdd), %4 user, %5 item.
QString extUpsert(const Kind& k, bool AAdd)
{
    const QString p = P(k);
    const QString ext = QLatin1String(k.table) + QStringLiteral("Ext");
    const QString set = AAdd ? QStringLiteral("%1DedAQty=isnull(%1DedAQty,0)+%2:s, %1DedMQty=isnull(%1DedMQty,0)+%3:s")
                             : QStringLiteral("%1ItmID=%5:s, %1DedAQty=%2:s, %1DedMQty=%3:s");
    QString sql = QStringLiteral("if exists (select * from $E where $PID=%0:s and $PEntry=%1:s)\r"
                                 "update $E set ") +
                  set +
                  QStringLiteral(", $PDedUsrID=%4:s, $PDedTime=getdate() where $PID=%0:s and $PEntry=%1:s\r"
                                 "else\r"
                                 "insert $E ($PID, $PEntry, $PItmID, $PDedAQty, $PDedMQty, $PDedUsrID, $PDedTime) "
                                 "values (%0:s, %1:s, %5:s, %2:s, %3:s, %4:s, getdate())");
    sql.replace(QStringLiteral("%1Ded"), QStringLiteral("$PDed")).replace(QStringLiteral("%1ItmID"), QStringLiteral("$PItmID"));
    return sql.replace(QStringLiteral("$E"), ext).replace(QStringLiteral("$P"), p);
}

// A failed batch never leaves the connection inside the save's transaction.
void rollbackOpenTransaction()
{
    ExecSQLText(GlobalADOQuery, QStringLiteral("if @@trancount>0\rrollback"), false, false, false);
}

} // namespace

QString DeductQtyText(double AValue)
{
    if (std::fabs(AValue) < 5e-9)
        AValue = 0;
    return QString::asprintf("%.8f", AValue);
}

// ---- TMRPDeductFrame ----------------------------------------------------------

TMRPDeductFrame::TMRPDeductFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TInfoTreeView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("MRPDeductFrame"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    gbxOptions = new QFrame(this);
    gbxOptions->setObjectName(QStringLiteral("gbxOptions"));
    gbxOptions->setAutoFillBackground(true);
    {
        QPalette pal = gbxOptions->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Button));
        gbxOptions->setPalette(pal);
    }
    auto* options = new QHBoxLayout(gbxOptions);
    options->setContentsMargins(4, 3, 10, 3);
    options->setSpacing(0);
    lblBillScope = new QLabel(QStringLiteral("物料冲销范围(&F):"), gbxOptions);
    cboBillScope = new QComboBox(gbxOptions);
    cboBillScope->addItems({QStringLiteral("相同物料+预测物料"), QStringLiteral("相同物料"), QStringLiteral("全部物料")});
    lblBillScope->setBuddy(cboBillScope);
    chkDiffCustom = new QCheckBox(QStringLiteral("允许相异客户冲销(&C)"), gbxOptions);
    chkShowFilter = new QCheckBox(QStringLiteral("选单前显示筛选条件(&H)"), gbxOptions);
    options->addStretch();
    options->addWidget(lblBillScope);
    options->addSpacing(8);
    options->addWidget(cboBillScope);
    options->addSpacing(15);
    options->addWidget(chkDiffCustom);
    options->addSpacing(4);
    options->addWidget(chkShowFilter);
    gbxOptions->setVisible(false);
    box->addWidget(gbxOptions);

    tlMain = new kvui::TreeList(this);
    tlMain->setObjectName(QStringLiteral("tlMain"));
    box->addWidget(tlMain, 1);
    const int left = tlMain->addBand(QString(), kvui::BandFixed::Left);
    const int middle = tlMain->addBand(QString());
    const int right = tlMain->addBand(QString(), kvui::BandFixed::Right);
    const auto add = [this](const QString& caption, int band, const char* valueType = "String", int width = 80) {
        return TreeColumns::AddReadOnly(tlMain, caption, band, valueType, width);
    };
    colBillType = add(QStringLiteral("冲销类型"), left, "Integer", 70);
    colBillNo = add(QStringLiteral("冲销单号"), left, "String", 110);
    colDate = add(QStringLiteral("需求日期"), left, "DateTime");
    colItmNo = add(QStringLiteral("物料代码"), middle, "String", 90);
    colItmName = add(QStringLiteral("物料名称"), middle, "String", 110);
    colItmSpec = add(QStringLiteral("规格型号"), middle, "String", 90);
    colBomNo = add(QStringLiteral("BOM单"), middle);
    colBillEntry = add(QStringLiteral("单据行"), middle, "Integer", 50);
    colCust = add(QStringLiteral("客户"), middle);
    colCustPO = add(QStringLiteral("客户单号"), middle);
    colDept = add(QStringLiteral("部门"), middle);
    colBillDate = add(QStringLiteral("单据日期"), middle, "DateTime");
    colBillQty = add(QStringLiteral("单据数量"), middle, "Float");
    colExeQty = add(QStringLiteral("执行数量"), middle, "Float");
    colDedAQty = add(QStringLiteral("自动冲销数"), middle, "Float");
    colDedMQty = add(QStringLiteral("手动冲销数"), middle, "Float");
    colRestQty = add(QStringLiteral("未冲销数"), middle, "Float");
    colUnit = add(QStringLiteral("单位"), middle, "String", 50);
    colDedUser = add(QStringLiteral("本次冲销人"), middle);
    colDedTime = add(QStringLiteral("本次冲销时间"), middle, "DateTime", 120);
    colDedManual = add(QStringLiteral("手动冲销"), right, "Boolean", 60);
    colDedQty = add(QStringLiteral("本次冲销数"), right, "Float");
    colOldQty = add(QString(), middle, "Float");
    colMaxQty = add(QString(), middle, "Float");
    colPreMQty = add(QString(), middle, "Float");
    colPreAQty = add(QString(), middle, "Float");
    colBillID = add(QString(), middle);
    colItmID = add(QString(), middle);
    for (kvui::Column* c : {colOldQty, colMaxQty, colPreMQty, colPreAQty, colBillID, colItmID})
        c->setVisible(false);
    for (int i = 0; i < 10; ++i)
        colItmProp[i] = add(QStringLiteral("辅助项%1").arg(i + 1), middle);
    colOrigTag = add(QStringLiteral("需求分类号"), middle);
    colGroupType = add(QStringLiteral("MRP分组"), middle, "Integer");
    colGroupNo = add(QStringLiteral("MRP分组号"), middle);

    colDedManual->setEditor(std::make_shared<kvui::CheckBoxProperties>());
    for (kvui::Column* c : {colBillQty, colExeQty, colDedAQty, colDedMQty, colRestQty, colDedQty})
        c->setEditor(std::make_shared<kvui::TextEditProperties>(Qt::AlignRight | Qt::AlignVCenter));

    const std::pair<kvui::Column*, const char*> bindings[] = {
        {colBillType, "BillType"}, {colBillNo, "BillNo"}, {colDate, "NeedDate"}, {colItmNo, "ItmNo"},
        {colItmName, "ItmName"}, {colItmSpec, "ItmSpec"}, {colBomNo, "BomNo"}, {colBillEntry, "BillEntry"},
        {colCust, "CustName"}, {colCustPO, "CustPO"}, {colDept, "DeptName"}, {colBillDate, "BillDate"},
        {colBillQty, "BillQty"}, {colExeQty, "ExeQty"}, {colDedAQty, "DedAQty"}, {colDedMQty, "DedMQty"},
        {colRestQty, "RestQty"}, {colUnit, "UntName"}, {colDedManual, "DedManual"}, {colDedQty, "DedQty"},
        {colDedUser, "UsrName"}, {colDedTime, "DedTime"}, {colOrigTag, "OrigTag"}, {colGroupType, "MRPGroupType"},
        {colGroupNo, "MRPGroupNo"},
    };
    for (const auto& [column, field] : bindings)
        BindStaticColumn(column, QLatin1String(field));
    for (int i = 0; i < 10; ++i)
        BindStaticColumn(colItmProp[i], QStringLiteral("ItmProp%1").arg(i + 1));

    tlMain->setMultiSelect(true);
    tlMain->setShowTreeLines(false);
    tlMain->setShowRoot(false);
    tlMain->setEditingEnabled(false);
    tlMain->setEditingHook([this](const kvui::RowRef& r, kvui::Column* c) { return CanEditCell(r.node, c); });
    // The bill line stays open; a selection keeps to one level.
    tlMain->setCollapsingHook([](kvui::TreeNode* node) { return node && node->level() > 0; });
    tlMain->setCanSelectHook([this](kvui::TreeNode* node) {
        const QList<kvui::TreeNode*> selected = tlMain->selectedNodes();
        return !node || selected.isEmpty() || selected.first()->level() == node->level();
    });
    connect(tlMain, &kvui::BandedView::cellEdited, this, &TMRPDeductFrame::cellEdited);
    ViewComponent = tlMain;

    FPickEditProperties = std::make_unique<TPickEditProperties>();
    FPickEditProperties->RefQuery = GlobalADOQuery;
}

TMRPDeductFrame::~TMRPDeductFrame() = default;

kvui::TreeNode* TMRPDeductFrame::billNode() const
{
    return tlMain->topCount() > 0 ? tlMain->topNode(0) : nullptr;
}

QString TMRPDeductFrame::nodeText(kvui::TreeNode* ANode, kvui::Column* AColumn) const
{
    return ANode ? ANode->text(AColumn) : QString();
}

void TMRPDeductFrame::readOptions()
{
    const QString& params = ViewScheme.Params;
    bool ok = false;
    const int scope = ReadViewSchemeParam(params, OptBillScope).trimmed().toInt(&ok);
    cboBillScope->setCurrentIndex(ok && scope >= 0 && scope < cboBillScope->count() ? scope : 0);
    chkDiffCustom->setChecked(ReadViewSchemeParam(params, OptDiffCustom).trimmed() == QLatin1String("1"));
    chkShowFilter->setChecked(ReadViewSchemeParam(params, OptShowFilter).trimmed() == QLatin1String("1"));
}

void TMRPDeductFrame::writeOptions()
{
    QString& params = ViewScheme.Params;
    params = WriteViewSchemeParam(params, OptBillScope, QString::number(cboBillScope->currentIndex()));
    params = WriteViewSchemeParam(params, OptDiffCustom, chkDiffCustom->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    params = WriteViewSchemeParam(params, OptShowFilter, chkShowFilter->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void TMRPDeductFrame::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    TInfoTreeView::InitializeView(AViewAsDetailID, AMasterView);
    readOptions();
}

bool TMRPDeductFrame::QueryClose()
{
    writeOptions();
    return TInfoTreeView::QueryClose();
}

void TMRPDeductFrame::RefreshData(bool ARebuild)
{
    TInfoTreeView::RefreshData(ARebuild);
    if (ViewScheme.SQLParsed)
        loadData();
}

void TMRPDeductFrame::fillNode(kvui::TreeNode* ANode, TCustomADODataSet* AData, int AKind)
{
    const auto set = [&](kvui::Column* c, const char* field) { ANode->setValue(c, fieldValue(AData, QLatin1String(field))); };
    ANode->setValue(colBillType, AKind);
    set(colBillNo, "BillNo");
    set(colDate, "NeedDate");
    set(colItmNo, "ItmNo");
    set(colItmName, "ItmName");
    set(colItmSpec, "ItmSpec");
    set(colBomNo, "BomNo");
    set(colCust, "CustName");
    set(colCustPO, "CustPO");
    set(colDept, "DeptName");
    set(colBillDate, "BillDate");
    set(colBillQty, "BillQty");
    set(colExeQty, "ExeQty");
    set(colDedAQty, "DedAQty");
    set(colDedMQty, "DedMQty");
    set(colUnit, "UntName");
    set(colItmID, "ItmID");
    for (int i = 0; i < 10; ++i)
        ANode->setValue(colItmProp[i], fieldValue(AData, QStringLiteral("ItmProp%1").arg(i + 1)));
    set(colOrigTag, "OrigTag");
    set(colGroupType, "MRPGroupType");
    set(colGroupNo, "MRPGroupNo");
    for (int i = FStaticColumnCount; i < FColumnFieldNames.size(); ++i)
        ANode->setValue(FColumns[i], fieldValue(AData, FColumnFieldNames[i]));
    ANode->setImageIndex(int(fieldNum(AData, QStringLiteral("DedError"))));
}

void TMRPDeductFrame::loadData()
{
    WaitCursor wait;
    UpdateBracket bracket(tlMain);
    tlMain->clear();
    Modified = false;

    const QString id = ReadDelimitedValue(MasterValues, QStringLiteral("BillID"), CRLF).trimmed();
    FBillID = id.isEmpty() || id.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0 ? QStringLiteral("null") : dequoted(id);
    FItemID.clear();
    FItemProps.clear();
    FCustID.clear();
    FOrigTag.clear();
    if (FBillID == QLatin1String("null"))
        return;
    bool ok = false;
    FBillEntry = dequoted(ReadDelimitedValue(MasterValues, QStringLiteral("BillEntry"), CRLF)).toInt(&ok);
    if (!ok)
        FBillEntry = 0;
    const int type = dequoted(ReadDelimitedValue(MasterValues, QStringLiteral("BillType"), CRLF)).toInt(&ok);
    FBillType = ok ? normalKind(type) : 8;

    const Kind& kind = kindOf(FBillType);
    TInfoObjectDef* def = kindDef(kind);
    if (!def || !InfoApplication)
        return;
    const QString p = P(kind);

    // The bill line.
    QString itemSelect, itemJoin;
    GetItemPropSelectSQL(itemSelect, itemJoin, def);
    QString fields = lineFields(kind) + itemSelect + ExpandFieldMacros(def, PropList);
    QString filter;
    QString from = InfoApplication->GetInfoObjectDataSourceSQL(def, fields, filter);
    QString sql = QStringLiteral("select ") + fields + QStringLiteral(" from ") + from + QStringLiteral(" where ") +
                  (filter.isEmpty() ? QString() : filter + QStringLiteral(" and ")) +
                  FormatPositional(QStringLiteral("s.%0:sID=%1:s and s.%0:sEntry=%2:s"), {p, QuotedStr(FBillID), QString::number(FBillEntry)});
    if (!ExecSQLText(GlobalADOQuery, sql, true, false, true))
        return;
    if (GlobalADOQuery->Eof()) {
        GlobalADOQuery->Close();
        return;
    }
    TCustomADODataSet* data = GlobalADOQuery;
    FItemID = fieldValue(data, QStringLiteral("ItmID")).toString();
    FItemProps = fieldValue(data, QStringLiteral("ItmProps")).toString();
    FCustID = fieldValue(data, QStringLiteral("CustID")).toString();
    FOrigTag = fieldValue(data, QStringLiteral("OrigTag")).toString();
    kvui::TreeNode* root = tlMain->addNode();
    fillNode(root, data, FBillType);
    root->setValue(colBillID, FBillID);
    root->setValue(colBillEntry, FBillEntry);
    {
        const double billQty = fieldNum(data, QStringLiteral("BillQty"));
        const double exeQty = fieldNum(data, QStringLiteral("ExeQty"));
        const double dedA = fieldNum(data, QStringLiteral("DedAQty"));
        const double dedM = fieldNum(data, QStringLiteral("DedMQty"));
        root->setValue(colDedQty, dedA + dedM);
        root->setValue(colOldQty, dedA + dedM);
        if (FBillType == 8) {
            root->setValue(colRestQty, billQty - exeQty - dedA - dedM);
            root->setValue(colMaxQty, billQty - exeQty);
        } else {
            root->setValue(colRestQty, billQty - dedA - dedM);
            root->setValue(colMaxQty, billQty);
        }
    }
    GlobalADOQuery->Close();
    tlMain->setFocusedNode(root);

    // The lines that deduct it, through their deduction records.
    const auto part = [&](const Kind& child, const QString& condition) {
        TInfoObjectDef* childDef = kindDef(child);
        QString childSelect, childJoin;
        GetItemPropSelectSQL(childSelect, childJoin, childDef);
        const QString childFields = recordFields(child) + childSelect + ExpandFieldMacros(childDef, PropList);
        QString childFilter;
        const QString childFrom = InfoApplication->GetInfoObjectDataSourceSQL(childDef, childFields, childFilter);
        const qsizetype at = childFrom.indexOf(QStringLiteral(" left join "), 0, Qt::CaseInsensitive);
        const QString joins = at < 0 ? QString() : childFrom.mid(at);
        const QString cp = P(child);
        const QString on = child.code == 8 ? QStringLiteral("DedForID=s.ForID and DedForEntry=s.ForEntry")
                                           : QStringLiteral("DedOrdID=s.%1ID and DedOrdEntry=s.%1Entry").arg(cp);
        return QStringLiteral("select ") + childFields +
               QStringLiteral(" from QZ_MRP_Deduction as ded with(nolock) left join %1 as s with(nolock) on ")
                   .arg(QLatin1String(child.table)) +
               on + joins + QStringLiteral(" left join QZ_SYS_Users with(nolock) on DedUsrID=UsrID where ") +
               (childFilter.isEmpty() ? QString() : childFilter + QStringLiteral(" and ")) + condition;
    };
    const QString key = QuotedStr(FBillID);
    const QString entry = QString::number(FBillEntry);
    if (FBillType == 8) {
        sql = part(SalesOrder, FormatPositional(QStringLiteral("DedForID=%0:s and DedForEntry=%1:s and DedOrdType=2"), {key, entry})) +
              QStringLiteral("\runion\r") +
              part(ExportOrder, FormatPositional(QStringLiteral("DedForID=%0:s and DedForEntry=%1:s and DedOrdType=4"), {key, entry}));
    } else {
        sql = part(Forcast, FormatPositional(QStringLiteral("DedOrdID=%0:s and DedOrdEntry=%1:s and DedOrdType=%2:s"),
                                         {key, entry, QString::number(FBillType)}));
    }
    // The scheme's sort by the columns' names: both parts of the union name
    // their columns so, whatever expression the definition gives a field.
    QStringList order;
    for (const QString& item : ReadViewSchemeParam(ViewScheme.Params, QStringLiteral("[Sorts]")).split(u'|', Qt::SkipEmptyParts)) {
        const QString name = item.section(u':', 0, 0).trimmed();
        const qsizetype at = FColumnFieldNames.indexOf(name);
        if (at >= 0 && at < FStaticColumnCount)
            order << u'[' + FColumnFieldNames[at] + u']' + (item.section(u':', 1).startsWith(u'1') ? QStringLiteral(" desc") : QString());
    }
    sql += QStringLiteral(" order by ") + (order.isEmpty() ? QStringLiteral("NeedDate, BillType, BillNo, BillEntry") : order.join(QStringLiteral(", ")));
    if (ExecSQLText(GlobalADOQuery, sql, true, false, true)) {
        for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
            data = GlobalADOQuery;
            const int childKind = normalKind(int(fieldNum(data, QStringLiteral("BillType"))));
            kvui::TreeNode* node = tlMain->addNode(root);
            fillNode(node, data, childKind);
            node->setValue(colBillID, fieldValue(data, QStringLiteral("BillID")));
            node->setValue(colBillEntry, fieldValue(data, QStringLiteral("BillEntry")));
            node->setValue(colDedUser, fieldValue(data, QStringLiteral("UsrName")));
            node->setValue(colDedTime, fieldValue(data, QStringLiteral("DedTime")));
            const bool manual = int(fieldNum(data, QStringLiteral("DedManual"))) == 1;
            const double qty = fieldNum(data, QStringLiteral("DedQty"));
            node->setValue(colDedManual, manual);
            node->setValue(colDedQty, qty);
            node->setValue(colOldQty, qty);
            const double m = manual ? qty : 0;
            const double a = manual ? 0 : qty;
            const double billQty = fieldNum(data, QStringLiteral("BillQty"));
            const double exeQty = fieldNum(data, QStringLiteral("ExeQty"));
            const double dedA = fieldNum(data, QStringLiteral("DedAQty"));
            const double dedM = fieldNum(data, QStringLiteral("DedMQty"));
            if (childKind == 8) {
                node->setValue(colRestQty, billQty - exeQty - dedA - dedM);
                node->setValue(colMaxQty, billQty - exeQty - dedM + m);
            } else {
                node->setValue(colRestQty, billQty - dedA - dedM);
                node->setValue(colMaxQty, billQty - dedM + m);
            }
            node->setValue(colPreMQty, dedM - m);
            node->setValue(colPreAQty, dedA - a);
            node->setStateIndex(manual ? -1 : 0);
        }
        GlobalADOQuery->Close();
    }
    root->setExpanded(true);
    Modified = false;
}

// ---- editing ----------------------------------------------------------------

bool TMRPDeductFrame::CanEditCell(kvui::TreeNode* ANode, kvui::Column* AColumn)
{
    if (!GetEditMode() || !ANode || ANode->level() != 1)
        return false;
    if (AColumn == colDedManual)
        return ANode->stateIndex() == 0;
    if (AColumn == colDedQty)
        return ANode->value(colDedManual).toBool();
    return false;
}

void TMRPDeductFrame::focusCell(kvui::TreeNode* ANode, kvui::Column* AColumn)
{
    if (!ANode)
        return;
    tlMain->setFocusedNode(ANode);
    tlMain->setFocusedColumn(AColumn);
}

void TMRPDeductFrame::cellEdited(int ARow, kvui::Column* AColumn, const QVariant& AOldValue, const QVariant& ANewValue)
{
    kvui::TreeNode* node = tlMain->nodeAtRow(ARow);
    if (!node || node->level() != 1)
        return;
    FOldValue = AOldValue;
    if (AColumn == colDedQty) {
        double q = num(ANewValue);
        if (!(q > 0))
            q = 0;
        node->setValue(colDedQty, q);
        RecalcTotals(node);
        Modified = true;
    } else if (AColumn == colDedManual) {
        if (!ANewValue.toBool())
            node->setValue(colDedQty, node->value(colOldQty));
        else
            focusCell(node, colDedQty);
        RecalcTotals(node);
        Modified = true;
    }
}

void TMRPDeductFrame::RecalcLine(kvui::TreeNode* ANode)
{
    if (!ANode || ANode->level() != 1)
        return;
    const double preM = num(ANode->value(colPreMQty));
    const double preA = num(ANode->value(colPreAQty));
    double q = num(ANode->value(colDedQty));
    double dedM = preM;
    double dedA = preA;
    if (!ANode->value(colDedManual).toBool()) {
        dedA = preA + q;
    } else {
        dedM = preM + q;
        const double maxQty = num(ANode->value(colMaxQty));
        q = std::min(q, maxQty);
        // The line's other automatic deductions shrink to make room.
        if (maxQty - q < dedA)
            dedA = maxQty - q;
    }
    ANode->setValue(colDedMQty, dedM);
    ANode->setValue(colDedAQty, dedA);
    double rest = num(ANode->value(colBillQty)) - dedM - dedA;
    if (normalKind(ANode->value(colBillType).toInt()) == 8)
        rest -= num(ANode->value(colExeQty));
    ANode->setValue(colRestQty, rest);
}

void TMRPDeductFrame::RecalcTotals(kvui::TreeNode* ANode)
{
    kvui::TreeNode* root = billNode();
    if (!root)
        return;
    if (ANode && ANode->level() == 1)
        RecalcLine(ANode);
    // Without a line every line is brought up to date, so that lines just
    // added carry the room they take from automatic deductions.
    const bool all = !ANode || ANode->level() == 0;
    double m = 0;
    double a = 0;
    for (kvui::TreeNode* child : root->children()) {
        if (all)
            RecalcLine(child);
        const double q = num(child->value(colDedQty));
        if (child->value(colDedManual).toBool())
            m += q;
        else
            a += q;
    }
    root->setValue(colDedMQty, m);
    root->setValue(colDedAQty, a);
    root->setValue(colDedQty, m + a);
    double rest = num(root->value(colBillQty)) - m - a;
    if (FBillType == 8)
        rest -= num(root->value(colExeQty));
    root->setValue(colRestQty, rest);
}

void TMRPDeductFrame::DeleteSelectedLines()
{
    if (ShowQuestion(UCommonText::ConfirmDelete, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) != kvos::IDOK)
        return;
    UpdateBracket bracket(tlMain);
    for (kvui::TreeNode* node : tlMain->selectedNodes())
        if (node->level() == 1)
            tlMain->deleteNode(node);
    RecalcTotals(nullptr);
    Modified = true;
}

void TMRPDeductFrame::SetDeductEditMode(bool AValue)
{
    {
        UpdateBracket bracket(tlMain);
        SetEditMode(AValue);
        Modified = false;
        if (AValue) {
            tlMain->clearSorting();
            for (kvui::Column* c : {colBillNo, colItmNo, colDedManual, colDedQty})
                c->setVisible(true);
        }
        tlMain->setEditingEnabled(AValue);
        colDedManual->setEditable(AValue);
        colDedQty->setEditable(AValue);
        // Sorting by a header click would reorder the lines being edited.
        tlMain->setSortingEnabled(!AValue);
    }
    gbxOptions->setVisible(AValue);
    if (!AValue) {
        if (MasterView) {
            try {
                const QString position = MasterView->GetViewPosition();
                MasterView->RefreshData(false);
                MasterView->SetViewPosition(position);
            } catch (...) {
                // the master shows what it showed
            }
        }
        RefreshData(false);
    }
}

// ---- candidates ---------------------------------------------------------------

bool TMRPDeductFrame::BuildCandidateSQL(int AKind, QString& ASQL)
{
    ASQL.clear();
    const Kind& kind = kindOf(AKind);
    TInfoObjectDef* def = kindDef(kind);
    if (!def || !InfoApplication)
        return false;
    const QString objectID = QLatin1String(kind.objectID);
    QString condition;
    if (chkShowFilter->isChecked()) {
        const QString item = u'[' + objectID + u']';
        QString code = ReadViewSchemeParam(ViewScheme.Params, item);
        QString text;
        if (!InfoApplication->ShowFilterDlg(def, text, code, GlobalADOQuery, QString(), false))
            return false;
        ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, item, code);
        const QString filterSQL = InfoApplication->TranslateFilterCodeToSQL(def, code, GlobalADOQuery).trimmed();
        if (!filterSQL.isEmpty())
            condition = u'(' + filterSQL + QStringLiteral(") and ");
    }

    QString& cached = AKind == 8 ? FForcastSQL : AKind == 2 ? FSOSQL : FSISQL;
    if (cached.isEmpty()) {
        QString select = candidateFields(kind) + ExpandFieldMacros(def, CandidatePropList);
        for (const char* field : {"ItmProp1", "ItmProp2", "ItmProp3", "ItmProp4", "ItmProp5", "ItmProp6", "ItmProp7",
                                  "ItmProp8", "ItmProp9", "ItmProp10", "OrigTag", "MRPGroupType", "MRPGroupNo"}) {
            QString item;
            if (BuildFieldValueCaseSQL(objectID, QLatin1String(field), item) && !item.isEmpty()) {
                if (item.endsWith(u','))
                    item.chop(1);
                select += QStringLiteral(", ") + item;
            }
        }
        cached = select;
    }
    QString refered;
    for (const TInfoDataSourceDef& source : def->DataSources)
        refered += source.ID + QStringLiteral(".*,");

    const QString p = P(kind);
    const QString billID = QuotedStr(FBillID);
    QString joins = QStringLiteral(" left join QZ_Base_Employee as mte with(nolock) on mt.ItmPlannerID=mte.EmpID");
    if (AKind == 8) {
        joins += FormatPositional(QStringLiteral(" left join QZ_MRP_Deduction as ded with(nolock) on DedOrdID=%0:s and "
                                                 "DedOrdEntry=%1:s and DedOrdType=%2:s and s.ForID=DedForID and "
                                                 "s.ForEntry=DedForEntry"),
                                  {billID, QString::number(FBillEntry), QString::number(FBillType)});
        if (!chkDiffCustom->isChecked())
            condition += FormatPositional(QStringLiteral("(s.ForCustID is null or s.ForCustID='' or s.ForCustID=%0:s) and "),
                                          {QuotedStr(FCustID)});
        if (def->GetFieldDef(QStringLiteral("OrigTag"))) {
            if (!FOrigTag.isEmpty())
                condition += FormatPositional(ExpandFieldMacros(def, QStringLiteral("isnull($$OrigTag$$, '') in ('', %0:s) and ")),
                                              {QuotedStr(FOrigTag)});
            else
                condition += ExpandFieldMacros(def, QStringLiteral("isnull($$OrigTag$$, '')='' and "));
        }
    } else {
        joins += FormatPositional(QStringLiteral(" left join QZ_MRP_Deduction as ded with(nolock) on DedForID=%0:s and "
                                                 "DedForEntry=%1:s and s.%2:sID=DedOrdID and s.%2:sEntry=DedOrdEntry and "
                                                 "DedOrdType=%3:s"),
                                  {billID, QString::number(FBillEntry), p, QString::number(AKind)});
        if (!FCustID.isEmpty() && !chkDiffCustom->isChecked())
            condition += FormatPositional(QStringLiteral("s.%0:sCustID=%1:s and "), {p, QuotedStr(FCustID)});
        if (!FOrigTag.isEmpty())
            condition += FormatPositional(ExpandFieldMacros(def, QStringLiteral("isnull($$OrigTag$$, '')=%0:s and ")),
                                          {QuotedStr(FOrigTag)});
    }
    const QString itemID = QuotedStr(FItemID);
    const QString sameItem = FormatPositional(ExpandFieldMacros(def, QStringLiteral("s.%0:sItmID=%1:s and isnull($$ItmProps$$, '')=%2:s")),
                                              {p, itemID, QuotedStr(FItemProps)});
    switch (cboBillScope->currentIndex()) {
    case 0:
        // The same item with the same properties, or the item the other one plans under.
        if (AKind == 8)
            joins += QStringLiteral(" left join QZ_MRP_ItemSetting as dim with(nolock) on dim.ItmID=%1 and s.ForItmID=dim.ItmPlanItmID")
                         .arg(itemID);
        else
            joins += QStringLiteral(" left join QZ_MRP_ItemSetting as dim with(nolock) on dim.ItmPlanItmID=%1 and s.%2ItmID=dim.ItmID")
                         .arg(itemID, p);
        condition += u'(' + sameItem + QStringLiteral(" or dim.ItmID is not null) and ");
        break;
    case 1:
        condition += sameItem + QStringLiteral(" and ");
        break;
    default:
        break;
    }

    QString where;
    QString order;
    if (AKind == 8) {
        where = QStringLiteral("s.CanMRP<>0 and ") + condition +
                QStringLiteral("s.ForBillQty>isnull(s.ForOkQty,0)+isnull(x.ForDedMQty,0)-(case when DedManual=1 then "
                               "isnull(DedForQty,0) else 0 end)");
        order = QStringLiteral("[#OrigTag] desc, s.ForDelivDate, s.ForNo, s.ForEntry");
    } else {
        QDate need;
        if (kvui::TreeNode* root = billNode()) {
            const QVariant v = root->value(colDate);
            need = v.typeId() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
            if (!need.isValid())
                need = StrToDateTime(v.toString()).date();
        }
        const QString since = need.isValid() ? need.addDays(-180).toString(QStringLiteral("yyyyMMdd")) : QStringLiteral("19000101");
        where = QStringLiteral("(s.CanMRP<>0 or s.Closed<>0 and s.%1DelivDate>='%2') and ").arg(p, since) + condition +
                QStringLiteral("s.%1ForcastID is null and s.%1BillQty>isnull(x.%1DedMQty,0)-(case when DedManual=1 then "
                               "isnull(DedOrdQty,0) else 0 end)")
                    .arg(p);
        order = QStringLiteral("[#OrigTag], s.Closed, s.%1DelivDate, s.%1No, s.%1Entry").arg(p);
    }
    ASQL = InfoApplication->GetInfoObjectSelectSQL(def, cached, where, QString(), refered, QString(), joins).trimmed() +
           QStringLiteral(" order by ") + order;
    return true;
}

void TMRPDeductFrame::AddBills(int AKind)
{
    WaitCursor wait;
    QString sql;
    if (!BuildCandidateSQL(AKind, sql))
        return;
    FPickEditProperties->RefQuery = GlobalADOQuery;
    FPickEditProperties->SQL = sql;
    FPickEditProperties->WhereOrder.clear();
    FPickEditProperties->Caption = InfoApplication ? InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), AKind) : QString();
    FPickEditProperties->TextField = QStringLiteral("单据编号");
    FPickEditProperties->MultiSelect = true;
    FPickEditProperties->AfterDataPicked = [this](TCustomADODataSet* data, const TBookmarks& rows) { AddPickedBills(data, rows); };
    wait.release();
    try {
        FPickEditProperties->ShowPicker(false);
    } catch (const Exception& e) {
        ShowADOError(e, GlobalADOQuery);
    }
}

void TMRPDeductFrame::AddPickedBills(TCustomADODataSet* ADataSet, const TBookmarks& ASelRecords)
{
    kvui::TreeNode* root = billNode();
    if (!root || !ADataSet)
        return;
    WaitCursor wait;
    UpdateBracket bracket(tlMain);
    const double rootMax = num(root->value(colMaxQty));
    for (int record : ASelRecords) {
        ADataSet->SetRecNo(record + 1);
        const auto v = [ADataSet](const QString& name) { return fieldValue(ADataSet, name); };
        const int kind = normalKind(v(QStringLiteral("#BillType")).toInt());
        const QString billID = v(QStringLiteral("#BillID")).toString();
        const int entry = v(QStringLiteral("单据行")).toInt();
        kvui::TreeNode* node = nullptr;
        for (kvui::TreeNode* child : root->children())
            if (normalKind(child->value(colBillType).toInt()) == kind && child->value(colBillID).toString() == billID &&
                child->value(colBillEntry).toInt() == entry) {
                node = child;
                break;
            }
        const double maxQty = num(v(QStringLiteral("本次可冲销数")));
        if (!node) {
            node = tlMain->addNode(root);
            node->setValue(colBillType, kind);
            node->setValue(colBillID, billID);
            node->setValue(colBillEntry, entry);
            node->setValue(colBillNo, v(QStringLiteral("单据编号")));
            node->setValue(colDate, v(QStringLiteral("需求日期")));
            node->setValue(colItmID, v(QStringLiteral("#ItmID")));
            node->setValue(colItmNo, v(QStringLiteral("物料代码")));
            node->setValue(colItmName, v(QStringLiteral("物料名称")));
            node->setValue(colItmSpec, v(QStringLiteral("规格型号")));
            for (int i = 0; i < 10; ++i)
                node->setValue(colItmProp[i], v(QStringLiteral("#ItmProp%1").arg(i + 1)));
            node->setValue(colOrigTag, v(QStringLiteral("#OrigTag")));
            node->setValue(colGroupType, v(QStringLiteral("#MRPGroupType")));
            node->setValue(colGroupNo, v(QStringLiteral("#MRPGroupNo")));
            node->setValue(colBomNo, v(QStringLiteral("BOM单号")));
            node->setValue(colCust, v(QStringLiteral("客户")));
            node->setValue(colCustPO, v(QStringLiteral("客户单号")));
            node->setValue(colDept, v(QStringLiteral("部门")));
            node->setValue(colBillDate, v(QStringLiteral("单据日期")));
            node->setValue(colBillQty, v(QStringLiteral("单据数量")));
            node->setValue(colExeQty, v(QStringLiteral("执行数量")));
            node->setValue(colDedAQty, v(QStringLiteral("自动冲销数")));
            node->setValue(colDedMQty, v(QStringLiteral("手动冲销数")));
            node->setValue(colUnit, v(QStringLiteral("单位")));
            const double billQty = num(v(QStringLiteral("单据数量")));
            const double dedA = num(v(QStringLiteral("自动冲销数")));
            const double dedM = num(v(QStringLiteral("手动冲销数")));
            const double ownM = num(v(QStringLiteral("#DedMQty")));
            const double ownOld = num(v(QStringLiteral("本单原冲销数")));
            double rest = billQty - dedA - dedM;
            if (kind == 8)
                rest -= num(v(QStringLiteral("执行数量")));
            node->setValue(colRestQty, rest);
            node->setValue(colPreMQty, dedM - ownM);
            node->setValue(colPreAQty, dedA - (ownOld - ownM));
            node->setValue(colOldQty, 0.0);
            node->setValue(colMaxQty, maxQty);
        }
        node->setImageIndex(v(QStringLiteral("#DedError")).toInt());
        tlMain->selectNode(node, true);
        node->setValue(colDedManual, true);
        node->setValue(colDedQty, std::min(maxQty, rootMax));
    }
    root->setExpanded(true);
    RecalcTotals(nullptr);
    Modified = true;
}

// ---- commands -------------------------------------------------------------------

bool TMRPDeductFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex < Commands::FirstAction)
        return TInfoTreeView::QueryCommandState(ACommandIndex, AState);
    AState = TCommandState();
    kvui::TreeNode* root = billNode();
    if (!root)
        return true;
    const QString id = ViewActions::ActionID(ObjectDef, ACommandIndex);
    const auto is = [&id](const char* name) { return id.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("Update")) {
        AState = GetEditMode() ? TCommandState(csEnabled | csChecked) : TCommandState(csEnabled);
    } else if (is("AddForcast")) {
        AState = FBillType == 8 ? TCommandState(csHidden) : TCommandState(csEnabled);
    } else if (is("AddSO") || is("AddSI")) {
        AState = FBillType != 8 ? TCommandState(csHidden) : TCommandState(csEnabled);
    } else if (is("Delete")) {
        if (tlMain->selectedCount() > 0 && !tlMain->isNodeSelected(root))
            AState = csEnabled;
    }
    return true;
}

bool TMRPDeductFrame::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex < Commands::FirstAction)
        return TInfoTreeView::ExecCommand(ACommandIndex);
    if (!billNode())
        return true;
    const QString id = ViewActions::ActionID(ObjectDef, ACommandIndex);
    const auto is = [&id](const char* name) { return id.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("Update")) {
        ViewActions::SwitchEditMode(this, false, [this](bool AEditing) { SetDeductEditMode(AEditing); });
    } else if (is("AddForcast") || is("AddSO") || is("AddSI")) {
        if (!GetEditMode())
            SetDeductEditMode(true);
        AddBills(is("AddForcast") ? 8 : is("AddSO") ? 2 : 4);
    } else if (is("Delete")) {
        if (!GetEditMode())
            SetDeductEditMode(true);
        DeleteSelectedLines();
    }
    return true;
}

void TMRPDeductFrame::FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool,
                                            QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor)
{
    if (!ANode)
        return;
    if (ANode->level() == 0)
        AOutFont.setBold(true);
    if (ANode->imageIndex() > 0 &&
        (AColumn == colItmNo || AColumn == colItmName || AColumn == colItmSpec ||
         (AColumn == colBillNo && ANode->value(colBillNo).toString().isEmpty())))
        AOutBrush = QColor(255, 0, 0);
    if (ANode->level() == 0) {
        if (AColumn == colDedManual)
            AOutBrush = QApplication::palette().color(QPalette::Button);
        return;
    }
    if (AColumn == colDedAQty && num(ANode->value(colDedAQty)) < num(ANode->value(colPreAQty)) - QtyResidue)
        AOutBrush = QColor(255, 128, 0);
    else if (CanEditCell(ANode, AColumn))
        AOutBrush = ASelected ? QColor(192, 192, 0) : QColor(255, 255, 194);
    if (AColumn == colDedQty || AColumn == colRestQty) {
        const double q = num(ANode->value(colDedQty));
        if (q > num(ANode->value(colMaxQty)) + QtyResidue)
            AOutTextColor = QColor(255, 0, 0);
        else if (std::fabs(q - num(ANode->value(colOldQty))) > QtyResidue)
            AOutTextColor = QColor(0, 0, 255);
    }
}

// ---- save ---------------------------------------------------------------------------

QString TMRPDeductFrame::headBatch(const QString& AUser)
{
    kvui::TreeNode* root = billNode();
    const QString key = QuotedStr(FBillID);
    const QString entry = QString::number(FBillEntry);
    const Kind& billKind = kindOf(FBillType);
    // The bill line's own totals; every record of it is taken back from
    // the lines on the other side and deleted.
    QString batch = QStringLiteral("\rbegin tran") + SaveHead;
    batch += FormatPositional(extUpsert(billKind, false),
                              {key, entry, DeductQtyText(num(root->value(colDedAQty))),
                               DeductQtyText(num(root->value(colDedMQty))), AUser, QuotedStr(FItemID)}) +
             RowCheck;
    if (FBillType == 8) {
        for (const Kind* k : {&SalesOrder, &ExportOrder})
            batch += FormatPositional(QStringLiteral("update x set %0:sDedAQty=isnull(%0:sDedAQty,0)-(case when DedManual=1 "
                                                     "then 0 else DedOrdQty end), %0:sDedMQty=isnull(%0:sDedMQty,0)-(case "
                                                     "when DedManual=1 then DedOrdQty else 0 end) from QZ_MRP_Deduction join "
                                                     "%1:sExt as x on DedOrdID=%0:sID and DedOrdEntry=%0:sEntry where "
                                                     "DedForID=%2:s and DedForEntry=%3:s and DedOrdType=%4:s"),
                                      {P(*k), QLatin1String(k->table), key, entry, QString::number(k->code)}) +
                     ErrorCheck;
        batch += QStringLiteral("delete QZ_MRP_Deduction where DedForID=%1 and DedForEntry=%2").arg(key, entry) + ErrorCheck;
    } else {
        const QStringList args{key, entry, QString::number(FBillType)};
        batch += FormatPositional(QStringLiteral("update x set ForDedAQty=isnull(ForDedAQty,0)-(case when DedManual=1 then 0 "
                                                 "else DedForQty end), ForDedMQty=isnull(ForDedMQty,0)-(case when "
                                                 "DedManual=1 then DedForQty else 0 end) from QZ_MRP_Deduction join "
                                                 "QZ_MRP_ForcastExt as x on DedForID=ForID and DedForEntry=ForEntry where "
                                                 "DedOrdID=%0:s and DedOrdEntry=%1:s and DedOrdType=%2:s"),
                                  args) +
                 ErrorCheck;
        batch += FormatPositional(QStringLiteral("delete QZ_MRP_Deduction where DedOrdID=%0:s and DedOrdEntry=%1:s and "
                                                 "DedOrdType=%2:s"),
                                  args) +
                 ErrorCheck;
    }
    return batch;
}

QString TMRPDeductFrame::lineBatch(kvui::TreeNode* ALine, const QString& AUser)
{
    const QString key = QuotedStr(FBillID);
    const QString entry = QString::number(FBillEntry);
    const int childKind = normalKind(ALine->value(colBillType).toInt());
    const Kind& ck = kindOf(childKind);
    const QString childKey = QuotedStr(ALine->value(colBillID).toString());
    const int childEntry = ALine->value(colBillEntry).toInt();
    const bool manual = ALine->value(colDedManual).toBool();
    const double qty = num(ALine->value(colDedQty));
    QString batch = SaveHead;

    // Room a manual pair takes from the line's other automatic deductions.
    double excess = num(ALine->value(colPreAQty)) - num(ALine->value(colDedAQty));
    double reduced = 0;
    if (excess > QtyResidue) {
        struct Record {
            qint64 iid;
            int ordType;
            QString otherID;
            int otherEntry;
            double qty;
            double otherQty;
        };
        QList<Record> records;
        const QString open = FormatPositional(
            childKind == 8
                ? QStringLiteral("select DedIID, DedOrdType, DedOrdID, DedOrdEntry, DedQty=DedForQty, DedRQty=DedOrdQty "
                                 "from QZ_MRP_Deduction where DedForID=%0:s and DedForEntry=%1:s and DedManual=0 order "
                                 "by DedIID desc")
                : QStringLiteral("select DedIID, DedForID, DedForEntry, DedQty=DedOrdQty, DedRQty=DedForQty from "
                                 "QZ_MRP_Deduction where DedOrdID=%0:s and DedOrdEntry=%1:s and DedOrdType=%2:s and "
                                 "DedManual=0 order by DedIID desc"),
            {childKey, QString::number(childEntry), QString::number(childKind)});
        ExecSQLText(GlobalADOQuery, open + ErrorCheck, true, true, true);
        for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
            TCustomADODataSet* d = GlobalADOQuery;
            Record r;
            r.iid = fieldValue(d, QStringLiteral("DedIID")).toLongLong();
            if (childKind == 8) {
                r.ordType = fieldValue(d, QStringLiteral("DedOrdType")).toInt();
                r.otherID = fieldValue(d, QStringLiteral("DedOrdID")).toString();
                r.otherEntry = fieldValue(d, QStringLiteral("DedOrdEntry")).toInt();
            } else {
                r.ordType = 8;
                r.otherID = fieldValue(d, QStringLiteral("DedForID")).toString();
                r.otherEntry = fieldValue(d, QStringLiteral("DedForEntry")).toInt();
            }
            r.qty = fieldNum(d, QStringLiteral("DedQty"));
            r.otherQty = fieldNum(d, QStringLiteral("DedRQty"));
            records.append(r);
        }
        GlobalADOQuery->Close();
        for (const Record& r : std::as_const(records)) {
            if (excess <= QtyResidue)
                break;
            double mine = 0;
            double other = 0;
            if (r.qty > excess) {
                mine = excess;
                other = untMRPUtils::RoundTo(r.otherQty * excess / r.qty, 8);
                batch += (childKind == 8 ? QStringLiteral("update QZ_MRP_Deduction set DedForQty=DedForQty-%1, "
                                                          "DedOrdQty=DedOrdQty-%2, DedUsrID=%3, DedTime=getdate() where DedIID=%4")
                                         : QStringLiteral("update QZ_MRP_Deduction set DedOrdQty=DedOrdQty-%1, "
                                                          "DedForQty=DedForQty-%2, DedUsrID=%3, DedTime=getdate() where DedIID=%4"))
                             .arg(DeductQtyText(mine), DeductQtyText(other), AUser, QString::number(r.iid)) +
                         RowCheck;
            } else {
                mine = r.qty;
                other = r.otherQty;
                batch += QStringLiteral("delete QZ_MRP_Deduction where DedIID=%1").arg(r.iid) + RowCheck;
            }
            const Kind& otherKind = kindOf(childKind == 8 ? normalKind(r.ordType) : 8);
            batch += FormatPositional(QStringLiteral("update %1:sExt set %0:sDedAQty=isnull(%0:sDedAQty,0)-%2:s, "
                                                     "%0:sDedUsrID=%3:s, %0:sDedTime=getdate() where %0:sID=%4:s and "
                                                     "%0:sEntry=%5:s"),
                                      {P(otherKind), QLatin1String(otherKind.table), DeductQtyText(other), AUser,
                                       QuotedStr(r.otherID), QString::number(r.otherEntry)}) +
                     RowCheck;
            reduced += mine;
            excess -= mine;
        }
    }

    // The pair itself, and the deducting line's totals.
    const QString pairQty = DeductQtyText(qty);
    batch += FormatPositional(extUpsert(ck, true),
                              {childKey, QString::number(childEntry),
                               manual ? DeductQtyText(-reduced) : pairQty, manual ? pairQty : DeductQtyText(0), AUser,
                               QuotedStr(ALine->value(colItmID).toString())}) +
             RowCheck;
    const QString ordType = QString::number(FBillType == 8 ? childKind : FBillType);
    const QString forKey = FBillType == 8 ? key : childKey;
    const QString forEntry = FBillType == 8 ? entry : QString::number(childEntry);
    const QString ordKey = FBillType == 8 ? childKey : key;
    const QString ordEntry = FBillType == 8 ? QString::number(childEntry) : entry;
    batch += FormatPositional(QStringLiteral("insert QZ_MRP_Deduction (DedForID, DedForEntry, DedOrdType, DedOrdID, "
                                             "DedOrdEntry, DedManual, DedForQty, DedOrdQty, DedUsrID, DedTime) values "
                                             "(%0:s, %1:s, %2:s, %3:s, %4:s, %5:s, %6:s, %6:s, %7:s, getdate())"),
                              {forKey, forEntry, ordType, ordKey, ordEntry, manual ? QStringLiteral("1") : QStringLiteral("0"),
                               pairQty, AUser}) +
             RowCheck;
    return batch;
}

bool TMRPDeductFrame::SaveData()
{
    kvui::TreeNode* root = billNode();
    if (!root)
        return false;
    tlMain->postEdit();
    if (kvui::TreeNode* focused = tlMain->focusedNode(); focused && focused->level() == 1)
        RecalcTotals(focused);

    const auto refuse = [this](kvui::TreeNode* node, kvui::Column* column, const QString& text) {
        focusCell(node, column);
        tlMain->setFocus();
        ShowWarning(text);
        return false;
    };
    if (num(root->value(colDedQty)) > num(root->value(colMaxQty)) + QtyResidue)
        return refuse(root, colDedQty,
                      FormatMessage(TotalTooLarge, {nodeText(root, colDedQty), nodeText(root, colBillType),
                                                    nodeText(root, colMaxQty)}));
    {
        WaitCursor wait;
        for (kvui::TreeNode* child : root->children()) {
            if (child->imageIndex() > 0) {
                wait.release();
                return refuse(child, colBillNo, FormatMessage(LineInError, {nodeText(child, colBillType)}));
            }
            if (num(child->value(colDedQty)) > num(child->value(colMaxQty)) + QtyResidue) {
                wait.release();
                return refuse(child, colDedQty,
                              FormatMessage(LineTooLarge, {nodeText(child, colBillType), nodeText(child, colBillNo),
                                                           nodeText(child, colBillEntry), nodeText(child, colDedQty),
                                                           nodeText(child, colMaxQty)}));
            }
        }
    }

    WaitCursor wait;
    const QString user = QuotedStr(InfoApplication ? InfoApplication->LoginInfo.UserID : QString());
    try {
        ExecSQLText(GlobalADOQuery, headBatch(user), false, true, true);
        for (kvui::TreeNode* child : root->children())
            ExecSQLText(GlobalADOQuery, lineBatch(child, user), false, true, true);
        ExecSQLText(GlobalADOQuery, QStringLiteral("\rcommit\r"), false, true, true);
    } catch (const std::exception&) {
        rollbackOpenTransaction();
        return false;
    }
    Modified = false;
    return true;
}
