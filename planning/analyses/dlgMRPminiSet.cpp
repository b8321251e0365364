#include "dlgMRPminiSet.h"

#include "BandedGrid.h"
#include "TreeList.h"
#include "untMRPFilters.h"
#include "DataSetSource.h"
#include "Editors.h"
#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "untCommonUI.h"
#include "untMRPCalendar.h"
#include "untMRPViewUtils.h"
#include "untMRPminiSet.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGuiApplication>
#include <QSet>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QDate DateLimit(2099, 12, 31);

// The bill sources of the pick menu, in menu order.
struct BillSource {
    const char* objectID;
    const char* p;         // field prefix of the source's lines
    int billType;          // 0: the scrap bill's own type (80 or 79 when the value list has it, else 12)
    const char* dateField; // demand date
};
const BillSource Sources[] = {
    {"QZ_MRP.SO", "SO", 2, "DelivDate"},
    {"QZ_MRP.SI", "SI", 4, "DelivDate"},
    {"QZ_MRP.Forcast", "For", 8, "DelivDate"},
    {"QZ_MRP.MOScrap", "Msp", 80, "DrawDate"},
    {"QZ_MRP.OOScrap", "Osp", 79, "DrawDate"},
};

const BillSource* FindSource(const QString& AObjectID)
{
    for (const BillSource& s : Sources)
        if (AObjectID.compare(QLatin1String(s.objectID), Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const QString PropMaskSQL = QStringLiteral(
    "cast(i.ItmHasProp1 as char(1))+cast(i.ItmHasProp2 as char(1))+cast(i.ItmHasProp3 as char(1))+"
    "cast(i.ItmHasProp4 as char(1))+cast(i.ItmHasProp5 as char(1))+cast(i.ItmHasProp6 as char(1))+"
    "cast(i.ItmHasProp7 as char(1))+cast(i.ItmHasProp8 as char(1))+cast(i.ItmHasProp9 as char(1))+"
    "cast(i.ItmHasProp10 as char(1))");

const QString KeyColumns = QStringLiteral(
    "[#ItmProps]=$$ItmProps$$, [#ItmProp1]=$$ItmProp1$$, [#ItmProp2]=$$ItmProp2$$, [#ItmProp3]=$$ItmProp3$$, "
    "[#ItmProp4]=$$ItmProp4$$, [#ItmProp5]=$$ItmProp5$$, [#ItmProp6]=$$ItmProp6$$, [#ItmProp7]=$$ItmProp7$$, "
    "[#ItmProp8]=$$ItmProp8$$, [#ItmProp9]=$$ItmProp9$$, [#ItmProp10]=$$ItmProp10$$, [#OrigTag]=$$OrigTag$$, "
    "[#OrigSubTag]=$$OrigSubTag$$, [#MRPGroupType]=isnull($$MRPGroupType$$,0), [#MRPGroupNo]=$$MRPGroupNo$$, [#PropMask]=");

// The select list of a source's pick list.
QString SourceSelectList(const BillSource& S, int ABillType)
{
    const QString id = QLatin1String(S.objectID);
    const QString p = QLatin1String(S.p);
    const QString type = QString::number(ABillType);
    QString sql = QStringLiteral("[#BillType]=") + type;
    const bool scrap = S.billType == 80 || S.billType == 79;
    if (!scrap) {
        const bool forecast = S.billType == 8;
        sql += QStringLiteral(", [#BillID]=s.%1ID, [#ItmID]=s.%1ItmID, ").arg(p);
        if (!forecast)
            sql += QStringLiteral("[#CustID]=s.%1CustID, ").arg(p);
        sql += QStringLiteral("[#DeptID]=s.%1DeptID, [#SuppID]=cast(null as char(1)),").arg(p);
        sql += QStringLiteral("[#OrigType]=") + type +
               QStringLiteral(", [#OrigID]=s.%1ID, [#OrigNo]=s.%1No, [#OrigEntry]=s.%1Entry, [#OrigItmID]=s.%1ItmID,"
                              "[#OrigCustID]=s.%1CustID, [#OrigCustPO]=s.%1CustPO, [#BomType]=s.%1BomType, [#BomID]=s.%1BomID,"
                              "[需求日期]=s.%1DelivDate, [单据编号]=s.%1No, [单据行]=s.%1Entry, [物料代码]=i.ItmNo, "
                              "[物料名称]=i.ItmName, [规格型号]=i.ItmSpec,")
                   .arg(p);
        sql += MiniFieldItemsSQL(id, {"ItmProp1", "ItmProp2", "ItmProp3", "ItmProp4", "ItmProp5", "ItmProp6", "ItmProp7",
                                      "ItmProp8", "ItmProp9", "ItmProp10"});
        sql += QStringLiteral("[客户]=c.CustName, [客户单号]=s.%1CustPO, [备注]=left(isnull(s.%1Note,'')+'  '+isnull(s.%1Remark,''), 500), "
                              "[单据数量]=s.%1BillQty,")
                   .arg(p);
        sql += forecast ? QStringLiteral("[已执行数]=s.ForOkQty, ") : QStringLiteral("[已交数量]=s.%1OkQty, ").arg(p);
        sql += QStringLiteral("[需求数量]=s.%1Qty, [单位]=ub.UntName, [BOM]=$$BomNo$$, [需求单位]=d.DeptName, ").arg(p);
        if (!forecast)
            sql += QStringLiteral("[业务员]=e.EmpName, ");
        sql += QStringLiteral("[单据日期]=s.%1Date,").arg(p);
    } else {
        const bool oo = S.billType == 79;
        sql += oo ? QStringLiteral(", [#BillID]=s.OspID, [#ItmID]=s.OspItmID, [#DeptID]=cast(null as char(1)), [#SuppID]=s.OspSuppID,")
                  : QStringLiteral(", [#BillID]=s.MspID, [#ItmID]=s.MspItmID, [#DeptID]=s.MspDeptID, [#SuppID]=cast(null as char(1)),");
        sql += QStringLiteral("[#OrigType]=$$OrigType$$, [#OrigID]=$$OrigID$$, [#OrigNo]=$$OrigNo$$, [#OrigEntry]=$$OrigEntry$$, "
                              "[#OrigItmID]=$$OrigItmID$$,[#OrigCustID]=$$OrigCustID$$, [#OrigCustPO]=$$OrigCustPO$$, "
                              "[#BomType]=s.%1ItmBomType, [#BomID]=s.%1ItmBomID,[需求日期]=s.%1DrawDate, [单据编号]=s.%1No, "
                              "[单据行]=s.%1Entry, [物料代码]=i.ItmNo, [物料名称]=i.ItmName, [规格型号]=i.ItmSpec,")
                   .arg(p);
        sql += MiniFieldItemsSQL(id, {"ItmProp1", "ItmProp2", "ItmProp3", "ItmProp4", "ItmProp5", "ItmProp6", "ItmProp7",
                                      "ItmProp8", "ItmProp9", "ItmProp10"});
        sql += QStringLiteral("[备注]=left(isnull(s.%1Note,'')+'  '+isnull(s.BomNote,''), 500), [单据数量]=s.%1BillQty, "
                              "[需求数量]=s.%1Qty, [单位]=ub.UntName,")
                   .arg(p);
        sql += oo ? QStringLiteral("[需求单位]=l.SuppName, [委外订单]=s.OONo, ") : QStringLiteral("[需求单位]=d.DeptName, [生产任务]=s.MONo, ");
        sql += QStringLiteral("[源需求单号]=$$OrigNo$$, [客户]=$$OrigCust$$, [客户单号]=$$OrigCustPO$$, [单据日期]=s.%1Date,").arg(p);
    }
    sql += MiniFieldItemsSQL(id, {"OrigTag", "OrigSubTag", "MRPGroupType", "MRPGroupNo"});
    return sql + u' ' + KeyColumns + PropMaskSQL;
}

struct ColumnDef {
    const char* name;
    const char* field;
    const char* caption; // null: from the field definitions of the main demand
    int band;
    bool readOnly;
};

const ColumnDef Columns[] = {
    {"colManPriority", "ManPriority", "优先级", 0, false},
    {"colManDate", "ManDate", "需求日期", 0, false},
    {"colManItmNo", "ItmNo", "物料代码", 0, false},
    {"colManQty", "ManQty", "毛需求数", 0, false},
    {"colManItmName", "ItmName", "物料名称", 1, true},
    {"colManItmSpec", "ItmSpec", "规格型号", 1, true},
    {"colManBillType", "ManBillType", "类型", 1, true},
    {"colManBillNo", "ManBillNo", "需求单号", 1, true},
    {"colManBillEntry", "ManBillEntry", "需求行", 1, true},
    {"colManDept", "DeptName", "需求单位", 1, true},
    {"colManCust", "CustName", "客户", 1, true},
    {"colManCustPO", "ManOrigCustPO", "客户单号", 1, true},
    {"colManNote", "ManNote", "备注", 1, false},
    {"colManOrigTag", "ManOrigTag", nullptr, 1, false},
    {"colManOrigSubTag", "ManOrigSubTag", nullptr, 1, false},
    {"colManGroupType", "ManGroupType", nullptr, 1, false},
    {"colManGroupNo", "ManGroupNo", nullptr, 1, false},
    {"colManBomNo", "BomNo", "BOM", 1, true},
    {"colManBillDate", "ManBillDate", "单据日期", 1, true},
    {"colManBillQty", "ManBillQty", "单据数量", 1, true},
    {"colManUnit", "UntName", "单位", 1, true},
    {"colManSupp", "SuppName", "", 1, true},
    {"colManItmProps", "ManItmProps", "", 1, true},
    {"colManItmPropMask", "PropMask", "", 1, true},
};

} // namespace

TMRPminiSetDlg::TMRPminiSetDlg(QWidget* parent)
    : TMRPminiSetDlgBase(parent)
{
    setObjectName(QStringLiteral("MRPminiSetDlg"));
    setWindowTitle(QStringLiteral("物料配套分析"));
    setMinimumSize(640, 500);
    resize(760, 540);

    BuildPages(QStringLiteral(" 配套需求(&1) "));

    // Lines page
    lblMain = new QLabel(QStringLiteral("配套主需求(&D):"), tabMain);
    chkShowFilter = new QCheckBox(QStringLiteral("选单前显示筛选条件(&H)"), tabMain);
    chkShowFilter->setObjectName(QStringLiteral("chkShowFilter"));
    popAddBills = new QMenu(this);
    popAddBills->setObjectName(QStringLiteral("popAddBills"));
    btnAddBills = new QToolButton(tabMain);
    btnAddBills->setObjectName(QStringLiteral("btnAddBills"));
    btnAddBills->setText(QStringLiteral("下拉选择单据..."));
    btnAddBills->setToolTip(QStringLiteral("下拉选择单据"));
    btnAddBills->setMenu(popAddBills);
    btnAddBills->setPopupMode(QToolButton::MenuButtonPopup);
    connect(btnAddBills, &QToolButton::clicked, this, [this] {
        if (FBillSource.isEmpty())
            btnAddBills->showMenu();
        else
            PickBills(FBillSource);
    });

    BuildLinesGrid();
    lblMain->setBuddy(grdMain);

    actNeedInsert = MakeAction("actNeedInsert", QStringLiteral("插入(&I)"), [this] { NeedInsert(); });
    MakeRemoveActions();
    auto* buttons = new QVBoxLayout;
    AddActionButtons(buttons, {actNeedInsert, actNeedDelete, actNeedClear});
    buttons->addStretch();
    auto* head = new QHBoxLayout;
    head->addWidget(lblMain);
    head->addStretch();
    head->addWidget(chkShowFilter);
    head->addWidget(btnAddBills);
    auto* body = new QHBoxLayout;
    body->addWidget(grdMain, 1);
    body->addLayout(buttons);
    auto* mainBox = new QVBoxLayout(tabMain);
    mainBox->addLayout(head);
    mainBox->addLayout(body, 1);

    // Options page
    BuildOptionsPage(true);

    FPickEditProperties = std::make_shared<TPickEditProperties>();
    FPickEditProperties->RefQuery = GlobalADOQuery;
    FGroupTypeProperties = std::make_shared<kvui::ImageComboProperties>();
    FGroupTypeProperties->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int value : {0, 9})
        FGroupTypeProperties->addItem(value, InfoApplication->GetSystemEnumName(QStringLiteral("MrpGroupType"), value));
    FBillTypeProperties = std::make_shared<kvui::ImageComboProperties>();
    for (int value : {2, 4, 8, 12})
        FBillTypeProperties->addItem(value, InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), value));

    connect(grdMain, &kvui::BandedView::focusedRowChanged, this, [this] { ActionListUpdate(); });
}

void TMRPminiSetDlg::Prepare()
{
    TViewSettingDlg::Prepare();
    const QString lastSource = ReadViewSchemeParam(ViewScheme.Params, QStringLiteral("[BillType]"));
    popAddBills->clear();
    for (const BillSource& s : Sources) {
        TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QLatin1String(s.objectID));
        if (!def)
            continue;
        const QString id = QLatin1String(s.objectID);
        QAction* item = popAddBills->addAction(def->Name + QStringLiteral("..."));
        item->setObjectName(QStringLiteral("mnu") + id.mid(id.indexOf(u'.') + 1));
        connect(item, &QAction::triggered, this, [this, id] { PickBills(id); });
        if (id.compare(lastSource, Qt::CaseInsensitive) == 0) {
            FBillSource = id;
            btnAddBills->setText(item->text());
        }
    }
    BuildGridColumns();
    LoadLines();
    ActionListUpdate();
}

void TMRPminiSetDlg::BuildGridColumns()
{
    kvui::BandedGrid* g = BeginLinesGridColumns();
    g->setEnterMovesToNextCell(true);
    TInfoObjectDef* mainDef = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP.Main"));
    const auto add = [&](const char* name, const QString& field, const QString& caption, int band) {
        kvui::Column* c = g->addColumn(caption, field, band);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    for (const ColumnDef& d : Columns) {
        if (QLatin1String(d.field) == QLatin1String("ItmName")) {
            for (int k = 1; k <= 10; ++k) {
                kvui::Column* c = add("", QStringLiteral("ManItmProp%1").arg(k), QString(), 1);
                c->setObjectName(QStringLiteral("colManItmProp%1").arg(k));
                c->setTag(-100 - k);
                SetupMiniColumnFromDefinition(mainDef, c, QStringLiteral("ItmProp%1").arg(k));
            }
        }
        kvui::Column* c = add(d.name, QLatin1String(d.field), d.caption ? QString::fromUtf8(d.caption) : QString(), d.band);
        c->setEditable(!d.readOnly);
        if (!d.caption) {
            SetupMiniColumnFromDefinition(mainDef, c, MiniMainFieldID(QLatin1String(d.field)));
        } else if (QString::fromUtf8(d.caption).isEmpty()) {
            c->setVisible(false);
        }
    }
    Column(QStringLiteral("ManGroupType"))->setEditor(FGroupTypeProperties);
    Column(QStringLiteral("ManBillType"))->setEditor(FBillTypeProperties);
    Column(QStringLiteral("DeptName"))->displayTextHook = [this](const kvui::RowRef& row, const QVariant& value, QString& text) {
        if (row.kind == kvui::RowRef::Data && value.toString().trimmed().isEmpty())
            text = LineValue(row.record, QStringLiteral("SuppName")).toString();
    };
    auto itemPick = std::make_shared<TPickEditProperties>();
    itemPick->RefQuery = GlobalADOQuery;
    itemPick->SQL = QStringLiteral(
        "select [物料代码]=ItmNo, [物料名称]=ItmName, [规格型号]=ItmSpec, [物料属性]=ItmTypeName from "
        "QZ_Base_ItemMaster with(nolock) where (ItmNo like '%%'+%0:s+'%%' or ItmName like '%%'+%0:s+'%%' or "
        "ItmSpec like '%%'+%0:s+'%%') and ItmDisabled=0 order by ItmNo");
    itemPick->TextField = QStringLiteral("物料代码");
    Column(QStringLiteral("ItmNo"))->setEditor(itemPick);
    g->endUpdate();

    g->setEditingHook([this](const kvui::RowRef& row, kvui::Column* c) {
        if (row.kind != kvui::RowRef::Data || !CanEditCell(row.record, c))
            return false;
        FOldValue = LineValue(row.record, c->fieldName());
        return true;
    });
    connect(g, &kvui::BandedView::cellEdited, this, [this](int row, kvui::Column* c, const QVariant&, const QVariant& value) {
        const int line = grdMain->row(row).record;
        const QString f = c->fieldName();
        if (f == QLatin1String("ManDate")) {
            const QDate d = MiniValueToDate(value);
            SetLineValue(line, f, QDateTime(d.isValid() ? d : QDate::currentDate().addDays(7), QTime()));
        } else if (f == QLatin1String("ManQty")) {
            bool ok = false;
            const double q = value.toString().trimmed().toDouble(&ok);
            SetLineValue(line, f, ok ? q : 0.0);
        }
        if (value != FOldValue && f == QLatin1String("ItmNo"))
            ItemCodeChanged(line);
        FOldValue = value;
    });
    g->setCustomDrawHook([this](kvui::CellDraw& cell) {
        if (cell.row.kind == kvui::RowRef::Data && cell.column && cell.column->isEditable() &&
            CanEditCell(cell.row.record, cell.column))
            cell.background = cell.selected ? QColor(192, 192, 0) : QColor(255, 255, 194);
    });
}

void TMRPminiSetDlg::LoadLines()
{
    const QString mask = PropMaskSQL;
    const QString sql =
        QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_MRP_MainMini'))\r"
                       "drop table #QZ_MRP_MainMini\r"
                       "select m.*, ItmNo, ItmName, ItmSpec, UntName, CustName, DeptName, SuppName, BomNo,PropMask=") +
        mask +
        QStringLiteral(" into #QZ_MRP_MainMini from QZ_MRP_Main as m with(nolock)"
                       " left join QZ_Base_ItemMaster as i with(nolock) on ManItmID=ItmID left join QZ_Base_Unit as u "
                       "with(nolock) on ItmUnitID=UntID"
                       " left join QZ_Base_Customer as c with(nolock) on ManOrigCustID=CustID left join QZ_MRP_BOMsOfMain as "
                       "b with(nolock) on m.ManSchIID=b.ManSchIID and m.ManIID=b.ManIID"
                       " left join QZ_Base_Department as d with(nolock) on ManDeptID=DeptID left join QZ_Base_Supplier as p "
                       "with(nolock) on ManSuppID=SuppID"
                       " where m.ManSchIID=") +
        QString::number(FPlanScheme ? FPlanScheme->SchemeIID : 0) +
        QStringLiteral("\rselect * from #QZ_MRP_MainMini order by ManIID\rdrop table #QZ_MRP_MainMini");
    OpenMiniLines(qryMain, sql, FMainSource, grdMain);
}

void TMRPminiSetDlg::LoadScheme()
{
    LoadSharedSettings();
}

bool TMRPminiSetDlg::SaveScheme()
{
    ViewScheme.Params = SharedSettings();
    return true;
}

bool TMRPminiSetDlg::CanEditCell(int ALine, kvui::Column* AColumn) const
{
    if (!AColumn || ALine < 0)
        return false;
    const bool handTyped = LineValue(ALine, QStringLiteral("ManBillNo")).toString().trimmed().isEmpty();
    const QString f = AColumn->fieldName();
    if (f == QLatin1String("ItmNo") || f == QLatin1String("BomNo") || f == QLatin1String("ManOrigTag") ||
        f == QLatin1String("ManOrigSubTag") || f == QLatin1String("ManGroupType"))
        return handTyped;
    if (f == QLatin1String("ManGroupNo"))
        return handTyped && LineValue(ALine, QStringLiteral("ManGroupType")).toInt() != 0;
    if (AColumn->tag() <= -101 && AColumn->tag() >= -110) {
        const int n = -AColumn->tag() - 100;
        return handTyped && LineValue(ALine, QStringLiteral("PropMask")).toString().mid(n - 1, 1) == QLatin1String("1");
    }
    return true;
}

void TMRPminiSetDlg::ActionListUpdate()
{
    const bool any = FMainSource && FMainSource->recordCount() > 0;
    actNeedDelete->setEnabled(any);
    actNeedClear->setEnabled(any);
    if (btnOk)
        btnOk->setEnabled(any);
    UpdateFilterAction();
}

void TMRPminiSetDlg::NeedInsert()
{
    if (!FMainSource)
        return;
    const QDateTime today(QDate::currentDate(), QTime());
    const int line = FMainSource->appendRecord({{QStringLiteral("ManBillType"), 12},
                                                {QStringLiteral("ManBillDate"), today},
                                                {QStringLiteral("ManDate"), today.addDays(7)},
                                                {QStringLiteral("ManQty"), 0.0},
                                                {QStringLiteral("ManBomType"), 0},
                                                {QStringLiteral("ManItmProps"), QString()},
                                                {QStringLiteral("ManGroupType"), 0},
                                                {QStringLiteral("ManGroupNo"), QString()}});
    grdMain->refresh();
    grdMain->setFocusedRecordIndex(line);
    grdMain->setFocusedColumn(Column(QStringLiteral("ManDate")));
    ActionListUpdate();
}

void TMRPminiSetDlg::ItemCodeChanged(int ALine)
{
    const QString code = LineValue(ALine, QStringLiteral("ItmNo")).toString().trimmed();
    const QString sql =
        QStringLiteral("select ItmID, ItmNo, ItmName, ItmSpec, UntName,PropMask=") + PropMaskSQL +
        QStringLiteral(" from QZ_Base_ItemMaster as i with(nolock) left join QZ_Base_Unit as u with(nolock) on "
                       "ItmUnitID=u.UntID where ItmNo=") +
        QuotedStr(code) + QStringLiteral(" and ItmDisabled=0");
    QVariantMap found;
    if (ExecSQLText(GlobalADOQuery, sql, true, false, true) && !GlobalADOQuery->Eof())
        for (const char* f : {"ItmID", "ItmNo", "ItmName", "ItmSpec", "UntName", "PropMask"})
            found.insert(QLatin1String(f), GlobalADOQuery->FieldByName(QLatin1String(f))->Value());
    GlobalADOQuery->Close();
    SetLineValue(ALine, QStringLiteral("ManItmID"), found.value(QStringLiteral("ItmID")));
    for (const char* f : {"ItmNo", "ItmName", "ItmSpec", "UntName", "PropMask"})
        SetLineValue(ALine, QLatin1String(f), found.value(QLatin1String(f)));
    if (found.isEmpty())
        SetLineValue(ALine, QStringLiteral("ItmNo"), code);
    const QString mask = found.value(QStringLiteral("PropMask")).toString();
    for (int k = 1; k <= 10; ++k)
        if (mask.mid(k - 1, 1) != QLatin1String("1"))
            SetLineValue(ALine, QStringLiteral("ManItmProp%1").arg(k), QVariant());
    grdMain->viewport()->update();
}

void TMRPminiSetDlg::PickBills(const QString& AObjectID)
{
    const BillSource* source = FindSource(AObjectID);
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(AObjectID);
    if (!source || !def)
        return;
    FBillSource = AObjectID;
    btnAddBills->setText(def->Name + QStringLiteral("..."));
    ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, QStringLiteral("[BillType]"), AObjectID);
    QString code;
    if (!AskSourceFilter(def, AObjectID, code))
        return;
    int billType = source->billType;
    if ((billType == 80 || billType == 79) && !InfoApplication->SystemEnumExists(QStringLiteral("MrpBillType"), billType))
        billType = 12;
    const QString p = QLatin1String(source->p);
    const QString condition =
        QStringLiteral("s.CanMRP<>0 and s.%1Qty>0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null)").arg(p);
    const QString order = QStringLiteral("s.%1%2, s.%1No, s.%1Entry").arg(p, QLatin1String(source->dateField));
    const QString sql = BuildInfoObjectFilterSQL(AObjectID, SourceSelectList(*source, billType), condition, code, order);
    ShowLinesPicker(def->Name, sql, [this](TCustomADODataSet* data, const TBookmarks& rows) { AddPickedBills(data, rows); });
}

void TMRPminiSetDlg::AddPickedBills(TCustomADODataSet* ADataSet, const QList<int>& ASelRecords)
{
    const auto v = [ADataSet](const char* name) {
        TField* f = ADataSet->FindField(QString::fromUtf8(name));
        return f ? f->Value() : QVariant();
    };
    const QDateTime today(QDate::currentDate(), QTime());
    AppendPickedLines(ADataSet, ASelRecords, [&v, &today, ADataSet] {
        QVariantMap m{{QStringLiteral("ManBillType"), 12},       {QStringLiteral("ManBillDate"), today},
                      {QStringLiteral("ManDate"), today.addDays(7)}, {QStringLiteral("ManQty"), 0.0},
                      {QStringLiteral("ManBomType"), 0},          {QStringLiteral("ManItmProps"), QString()},
                      {QStringLiteral("ManGroupType"), 0},        {QStringLiteral("ManGroupNo"), QString()}};
        const std::pair<const char*, const char*> copies[] = {
            {"#BillType", "ManBillType"},   {"#BillID", "ManBillID"},        {"单据编号", "ManBillNo"},
            {"单据行", "ManBillEntry"},     {"单据日期", "ManBillDate"},     {"单据数量", "ManBillQty"},
            {"#DeptID", "ManDeptID"},       {"#SuppID", "ManSuppID"},        {"需求日期", "ManDate"},
            {"#ItmID", "ManItmID"},         {"#ItmProps", "ManItmProps"},    {"#BomType", "ManBomType"},
            {"#BomID", "ManBomID"},         {"需求数量", "ManQty"},          {"#OrigType", "ManOrigType"},
            {"#OrigID", "ManOrigID"},       {"#OrigNo", "ManOrigNo"},        {"#OrigEntry", "ManOrigEntry"},
            {"#OrigItmID", "ManOrigItmID"}, {"#OrigCustID", "ManOrigCustID"}, {"#OrigCustPO", "ManOrigCustPO"},
            {"#OrigTag", "ManOrigTag"},     {"#OrigSubTag", "ManOrigSubTag"}, {"#MRPGroupType", "ManGroupType"},
            {"#MRPGroupNo", "ManGroupNo"},  {"备注", "ManNote"},             {"#PropMask", "PropMask"},
            {"物料代码", "ItmNo"},          {"物料名称", "ItmName"},         {"规格型号", "ItmSpec"},
            {"客户", "CustName"},           {"需求单位", "DeptName"},        {"需求单位", "SuppName"},
            {"单位", "UntName"}};
        for (const auto& [from, to] : copies)
            m.insert(QLatin1String(to), v(from));
        for (int k = 1; k <= 10; ++k)
            m.insert(QStringLiteral("ManItmProp%1").arg(k), v(QStringLiteral("#ItmProp%1").arg(k).toLatin1().constData()));
        if (ADataSet->FindField(QStringLiteral("BOM")))
            m.insert(QStringLiteral("BomNo"), v("BOM"));
        return m;
    });
}

bool TMRPminiSetDlg::CloseWithOk()
{
    grdMain->postEdit();
    const QList<int> lines = Lines();
    if (lines.isEmpty()) {
        Warn(grdMain, QStringLiteral("[%1]的内容不能为空!").arg(MiniCaptionText(lblMain->text())));
        return false;
    }
    const QDate today = QDate::currentDate();
    FMaxDate = today;
    int asked = 0; // 0 not asked, 6 yes, 7 no
    QSet<QString> keys;
    const auto caption = [this](const QString& f) {
        kvui::Column* c = Column(f);
        return c ? c->caption() : f;
    };
    const auto empty = [&caption](const QString& f) { return QStringLiteral("[%1]的内容不能为空!").arg(caption(f)); };
    for (int line : lines) {
        const auto val = [this, line](const char* f) { return LineValue(line, QLatin1String(f)); };
        if (val("ManBillType").toInt() == 0)
            SetLineValue(line, QStringLiteral("ManBillType"), 12);
        const bool handTyped = val("ManBillNo").toString().trimmed().isEmpty();
        if (handTyped) {
            const QString code = val("ItmNo").toString().trimmed();
            if (code.isEmpty()) {
                LineWarning(line, QStringLiteral("ItmNo"), empty(QStringLiteral("ItmNo")));
                return false;
            }
            if (val("ManItmID").toString().trimmed().isEmpty()) {
                LineWarning(line, QStringLiteral("ItmNo"),
                            QStringLiteral("[%1]的值(%2)不存在!").arg(caption(QStringLiteral("ItmNo")), code));
                return false;
            }
            const QString mask = val("PropMask").toString();
            if (!mask.contains(u'1')) {
                SetLineValue(line, QStringLiteral("ManItmProps"), QString());
            } else {
                QStringList args{QuotedStr(val("ManItmID").toString())};
                for (int k = 1; k <= 10; ++k) {
                    const QString f = QStringLiteral("ManItmProp%1").arg(k);
                    const QString value = LineValue(line, f).toString();
                    if (mask.mid(k - 1, 1) == QLatin1String("1") && value.trimmed().isEmpty()) {
                        LineWarning(line, f, empty(f));
                        return false;
                    }
                    args << QuotedStr(value);
                }
                QString id;
                int err = 0;
                bool found = false;
                if (ExecSQLText(GlobalADOQuery, QStringLiteral("exec QZ_MRP_GetItemPropsID ") + args.join(QStringLiteral(", ")),
                                true, false, true) &&
                    !GlobalADOQuery->Eof()) {
                    found = true;
                    id = GlobalADOQuery->FieldByName(QStringLiteral("ID"))->AsString().trimmed();
                    err = GlobalADOQuery->FieldByName(QStringLiteral("ErrNum"))->AsInteger();
                }
                GlobalADOQuery->Close();
                if (err > 0 && err <= 10) {
                    const QString f = QStringLiteral("ManItmProp%1").arg(err);
                    LineWarning(line, f, QStringLiteral("[%1]的值(%2)无效!").arg(caption(f), LineValue(line, f).toString()));
                    return false;
                }
                if (!found || id.isEmpty()) {
                    LineWarning(line, QStringLiteral("ManItmProps"), empty(QStringLiteral("ManItmProps")));
                    return false;
                }
                SetLineValue(line, QStringLiteral("ManItmProps"), id);
            }
            if (val("ManGroupType").toInt() == 0) {
                SetLineValue(line, QStringLiteral("ManGroupNo"), QString());
            } else {
                const QString no = val("ManGroupNo").toString().trimmed();
                SetLineValue(line, QStringLiteral("ManGroupNo"), no);
                if (no.isEmpty()) {
                    LineWarning(line, QStringLiteral("ManGroupNo"), empty(QStringLiteral("ManGroupNo")));
                    return false;
                }
                if (kvui::Column* tag = Column(QStringLiteral("ManOrigTag")); tag && !tag->isVisible())
                    SetLineValue(line, QStringLiteral("ManOrigTag"), no);
            }
        } else {
            const QString key = QStringLiteral("[%1|%2|%3]").arg(val("ManBillType").toString(), val("ManBillNo").toString(),
                                                                  val("ManBillEntry").toString());
            if (!CheckLineKey(line, key, keys,
                              QStringLiteral("以下配套主需求行前面已经存在, 请修正!\r\r类型: %1　需求单号: %2　需求行: %3　物料代码: %4")))
                return false;
        }
        const double qty = val("ManQty").toDouble();
        if (!(qty > 0)) {
            LineWarning(line, QStringLiteral("ManQty"),
                        QStringLiteral("[%1]的值(%2)没有大于%3 !").arg(caption(QStringLiteral("ManQty")), val("ManQty").toString(),
                                                                        QStringLiteral("0")));
            return false;
        }
        if (!CheckLineDate(line, today, DateLimit, QStringLiteral("发现存在需求日期早于今天的主需求行, 统一自动修正为今天?"), asked))
            return false;
    }

    TPlanScheme& s = *FPlanScheme;
    s.DataFilters = ViewScheme.Params;
    s.PlanSource = 3;
    s.PlanNeedScope = 1 + (gbxOptions->chkCareAlloted->isChecked() ? 1 : 0) + (gbxOptions->chkMainGross->isChecked() ? 2 : 0) +
                      (gbxOptions->chkCurrentBOM->isChecked() ? 4 : 0);
    gbxOptions->ApplyToScheme(s);
    ApplyMiniPeriods(s, today, FMaxDate);

    QStringList inserts;
    int handEntry = 0;
    int manIID = 0;
    for (int line : lines) {
        const bool handTyped = LineValue(line, QStringLiteral("ManBillNo")).toString().trimmed().isEmpty();
        const int entry = handTyped ? ++handEntry : LineValue(line, QStringLiteral("ManBillEntry")).toInt();
        const int period = MiniLinePeriod(s, LineValue(line, QStringLiteral("ManDate")), today);
        inserts << BuildMiniMainInsertSQL(s.SchemeIID, ++manIID, period, entry, true,
                                          [this, line](const QString& f) { return LineValue(line, f); });
    }
    return SaveMiniSchemeAndMain(s, inserts);
}

bool ShowMRPminiSetDlg(TViewScheme& AViewScheme, TPlanScheme* APlanScheme)
{
    return ShowMiniSetDlg([] { return std::make_unique<TMRPminiSetDlg>(); }, AViewScheme, APlanScheme);
}
