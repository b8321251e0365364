#include "dlgMRPLackSet.h"

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
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QDate DateLimit(2099, 12, 31);
// The horizon of "all orders".
const QDate AllOrdersHorizon(8888, 12, 31);

// The two kinds of order lines that can be picked.
struct OrderKind {
    int billType;
    const char* objectID;
    const char* p;
    const char* firstFragment;
    const char* thirdFragment;
};
const OrderKind Orders[] = {
    {22, "QZ_MRP.MO", "MO",
     ", [#BillID]=s.MOID, [#ItmID]=s.MOItmID, [#CustID]=$$OrigCustID$$, [#DeptID]=s.MODeptID, [#SuppID]=cast(null as char(1)),",
     "[生产单位]=d.DeptName, [状态]=s.MOStatus, [备注]=left(isnull(s.MONote,'')+'  '+isnull(s.MORemark,''), 500),"},
    {24, "QZ_MRP.OO", "OO",
     ", [#BillID]=s.OOID, [#ItmID]=s.OOItmID, [#CustID]=$$OrigCustID$$, [#DeptID]=s.OODeptID, [#SuppID]=s.OOSuppID,",
     "[生产单位]=p.SuppName, [状态]=s.OOStatus, [备注]=left(isnull(s.OONote,'')+'  '+isnull(s.OORemark,''), 500),"},
};

const OrderKind& OrderOf(int ABillType)
{
    return ABillType == 24 ? Orders[1] : Orders[0];
}

// The pick list's columns: the display columns, then the keys ("#") copied
// into the lines, the origin of the order line among them.
QString OrderSelectList(const OrderKind& K)
{
    const QString id = QLatin1String(K.objectID);
    const QString p = QLatin1String(K.p);
    QString sql = QStringLiteral("[#BillType]=") + QString::number(K.billType) + QString::fromUtf8(K.firstFragment);
    sql += QStringLiteral("[单据编号]=s.%1No, [单据行]=s.%1Entry, [单据日期]=s.%1Date, [产品代码]=i.ItmNo, [产品名称]=i.ItmName, "
                          "[规格型号]=i.ItmSpec,")
               .arg(p);
    sql += MiniFieldItemsSQL(id, {"ItmProp1", "ItmProp2", "ItmProp3", "ItmProp4", "ItmProp5", "ItmProp6", "ItmProp7", "ItmProp8",
                                  "ItmProp9", "ItmProp10"});
    sql += u' ' + QString::fromUtf8(K.thirdFragment);
    sql += QStringLiteral(" [单据数量]=s.%1BillQty, [已交数量]=s.%1OkQty, [计划数量]=s.%1Qty, [单位]=ub.UntName, [交货日期]=s.%1DelivDate,")
               .arg(p);
    sql += QStringLiteral(" [源需求单号]=$$OrigNo$$, [源需求客户]=$$OrigCust$$, [源需求客户单号]=$$OrigCustPO$$,");
    sql += MiniFieldItemsSQL(id, {"OrigTag", "OrigSubTag", "MRPGroupType", "MRPGroupNo"});
    sql += QStringLiteral(
        " [#ItmProps]=$$ItmProps$$, [#ItmProp1]=$$ItmProp1$$, [#ItmProp2]=$$ItmProp2$$, [#ItmProp3]=$$ItmProp3$$, "
        "[#ItmProp4]=$$ItmProp4$$, [#ItmProp5]=$$ItmProp5$$, [#ItmProp6]=$$ItmProp6$$, [#ItmProp7]=$$ItmProp7$$, "
        "[#ItmProp8]=$$ItmProp8$$, [#ItmProp9]=$$ItmProp9$$, [#ItmProp10]=$$ItmProp10$$, [#OrigTag]=$$OrigTag$$, "
        "[#OrigSubTag]=$$OrigSubTag$$, [#MRPGroupType]=isnull($$MRPGroupType$$,0), [#MRPGroupNo]=$$MRPGroupNo$$, "
        "[#OrigType]=$$OrigType$$, [#OrigID]=$$OrigID$$, [#OrigEntry]=$$OrigEntry$$, [#OrigItmID]=$$OrigItmID$$");
    return sql;
}

struct ColumnDef {
    const char* name;
    const char* field;
    const char* caption; // null: from the field definitions of the main demand
    int band;
};

const ColumnDef Columns[] = {
    {"colManPriority", "ManPriority", "优先级", 0},
    {"colManBillType", "ManBillType", "类型", 0},
    {"colManBillNo", "ManBillNo", "生产/委外单", 0},
    {"colManBillEntry", "ManBillEntry", "单据行", 0},
    {"colManDate", "ManDate", "交货日期", 0},
    {"colManItmNo", "ItmNo", "产品代码", 1},
    {"colManItmName", "ItmName", "产品名称", 1},
    {"colManItmSpec", "ItmSpec", "规格型号", 1},
    {"colManQty", "ManQty", "计划数量", 1},
    {"colManDept", "DeptName", "生产单位", 1},
    {"colManBillQty", "ManBillQty", "单据数量", 1},
    {"colManUnit", "UntName", "单位", 1},
    {"colManBillDate", "ManBillDate", "单据日期", 1},
    {"colManNote", "ManNote", "备注", 1},
    {"colManOrigNo", "ManOrigNo", "源需求单号", 1},
    {"colManCust", "CustName", "源需求客户", 1},
    {"colManCustPO", "ManOrigCustPO", "源需求客户单号", 1},
    {"colManSupp", "SuppName", "", 1},
    {"colManOrigTag", "ManOrigTag", nullptr, 1},
    {"colManOrigSubTag", "ManOrigSubTag", nullptr, 1},
    {"colManGroupType", "ManGroupType", nullptr, 1},
    {"colManGroupNo", "ManGroupNo", nullptr, 1},
};

} // namespace

TMRPLackSetDlg::TMRPLackSetDlg(QWidget* parent)
    : TMRPminiSetDlgBase(parent)
{
    setObjectName(QStringLiteral("MRPLackSetDlg"));
    setWindowTitle(QStringLiteral("生产缺料分析"));
    setMinimumSize(640, 500);
    resize(684, 520);

    BuildPages(QStringLiteral(" 投料需求(&1) "));

    lblBillType = new QLabel(QStringLiteral("投料单据(&T):"), tabMain);
    cboBillType = new QComboBox(tabMain);
    cboBillType->setObjectName(QStringLiteral("cboBillType"));
    cboBillType->addItems({QStringLiteral("(指定单据)"), QStringLiteral("生产任务+委外订单"), QStringLiteral("生产任务"),
                           QStringLiteral("委外订单")});
    lblBillType->setBuddy(cboBillType);
    rdbAll = new QRadioButton(QStringLiteral("全部(&A)"), tabMain);
    rdbAll->setObjectName(QStringLiteral("rdbAll"));
    rdbAll->setChecked(true);
    rdbEndDate = new QRadioButton(QStringLiteral("截止交货日期(&D):"), tabMain);
    rdbEndDate->setObjectName(QStringLiteral("rdbEndDate"));
    auto* scope = new QButtonGroup(this);
    scope->addButton(rdbAll);
    scope->addButton(rdbEndDate);
    dteEndDate = new QDateEdit(QDate::currentDate().addDays(7), tabMain);
    dteEndDate->setObjectName(QStringLiteral("dteEndDate"));
    dteEndDate->setCalendarPopup(true);

    BuildLinesGrid();
    chkShowFilter = new QCheckBox(QStringLiteral("选单前显示筛选条件(&H)"), tabMain);
    chkShowFilter->setObjectName(QStringLiteral("chkShowFilter"));
    chkShowFilter->setChecked(true);

    actNeedAddMO = MakeAction("actNeedAddMO", QStringLiteral("生产任务(&O)..."), [this] { NeedAdd(22); });
    actNeedAddOO = MakeAction("actNeedAddOO", QStringLiteral("委外订单(&E)..."), [this] { NeedAdd(24); });
    MakeRemoveActions();
    actNeedDelete->setToolTip(QStringLiteral("移除行"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkShowFilter);
    buttons->addStretch();
    AddActionButtons(buttons, {actNeedAddMO, actNeedAddOO, actNeedDelete, actNeedClear});
    auto* head = new QGridLayout;
    head->addWidget(lblBillType, 0, 0);
    head->addWidget(cboBillType, 0, 1);
    head->addWidget(rdbAll, 0, 2);
    head->addWidget(rdbEndDate, 0, 3);
    head->addWidget(dteEndDate, 0, 4);
    head->setColumnStretch(5, 1);
    auto* mainBox = new QVBoxLayout(tabMain);
    mainBox->addLayout(head);
    mainBox->addWidget(grdMain, 1);
    mainBox->addLayout(buttons);

    BuildOptionsPage(false);
    connect(cboBillType, &QComboBox::currentIndexChanged, this, [this] { cboBillTypePropertiesChange(); });
    connect(rdbAll, &QRadioButton::toggled, this, [this] { rdbBillScopeClick(); });
    connect(rdbEndDate, &QRadioButton::toggled, this, [this] { rdbBillScopeClick(); });
    connect(grdMain, &kvui::BandedView::focusedRowChanged, this, [this] { ActionListUpdate(); });

    FPickEditProperties = std::make_shared<TPickEditProperties>();
    FPickEditProperties->RefQuery = GlobalADOQuery;
    FBillTypeProperties = std::make_shared<kvui::ImageComboProperties>();
    FBillTypeProperties->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int value : {22, 24})
        FBillTypeProperties->addItem(value, InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), value));
}

void TMRPLackSetDlg::Prepare()
{
    TViewSettingDlg::Prepare();
    if (TInfoObjectDef* mo = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MO")))
        actNeedAddMO->setText(mo->Name + QStringLiteral("(&O)..."));
    if (TInfoObjectDef* oo = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.OO")))
        actNeedAddOO->setText(oo->Name + QStringLiteral("(&E)..."));
    BuildGridColumns();
    LoadLines();
    cboBillTypePropertiesChange();
}

void TMRPLackSetDlg::BuildGridColumns()
{
    kvui::BandedGrid* g = BeginLinesGridColumns();
    g->setShowGroupByBox(false);
    TInfoObjectDef* mainDef = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP.Main"));
    for (const ColumnDef& d : Columns) {
        const QString field = QLatin1String(d.field);
        if (field == QLatin1String("ManQty")) {
            for (int k = 1; k <= 10; ++k) {
                kvui::Column* c = g->addColumn(QStringLiteral("辅助项%1").arg(k), QStringLiteral("ManItmProp%1").arg(k), 1);
                c->setObjectName(QStringLiteral("colManItmProp%1").arg(k));
                c->setEditable(false);
                SetupMiniColumnFromDefinition(mainDef, c, QStringLiteral("ItmProp%1").arg(k));
            }
        }
        kvui::Column* c = g->addColumn(d.caption ? QString::fromUtf8(d.caption) : QString(), field, d.band);
        c->setObjectName(QString::fromLatin1(d.name));
        c->setEditable(field == QLatin1String("ManPriority") || field == QLatin1String("ManDate"));
        if (!d.caption)
            SetupMiniColumnFromDefinition(mainDef, c, MiniMainFieldID(field));
        else if (QString::fromUtf8(d.caption).isEmpty())
            c->setVisible(false);
    }
    Column(QStringLiteral("ManBillType"))->setEditor(FBillTypeProperties);
    // A subcontract line shows its supplier as the producing unit.
    Column(QStringLiteral("DeptName"))->displayTextHook = [this](const kvui::RowRef& row, const QVariant&, QString& text) {
        if (row.kind != kvui::RowRef::Data)
            return;
        const QString supplier = LineValue(row.record, QStringLiteral("SuppName")).toString();
        if (!supplier.trimmed().isEmpty())
            text = supplier;
    };
    g->endUpdate();
    connect(g, &kvui::BandedView::cellEdited, this, [this](int row, kvui::Column* c, const QVariant&, const QVariant& value) {
        if (c->fieldName() != QLatin1String("ManDate"))
            return;
        const QDate d = MiniValueToDate(value);
        SetLineValue(grdMain->row(row).record, c->fieldName(), QDateTime(d.isValid() ? d : QDate::currentDate(), QTime()));
    });
    g->setCustomDrawHook([this](kvui::CellDraw& cell) {
        if (!grdMain->isEnabled() || cell.row.kind != kvui::RowRef::Data || !cell.column || !cell.column->isEditable())
            return;
        cell.background = cell.selected ? QColor(192, 192, 0) : QColor(255, 255, 194);
    });
}

void TMRPLackSetDlg::LoadLines()
{
    const QString sql =
        QStringLiteral("select m.*, ItmNo, ItmName, ItmSpec, UntName, CustName, DeptName, SuppName from QZ_MRP_Main as m "
                       "with(nolock) left join QZ_Base_ItemMaster as i with(nolock) on ManItmID=ItmID left join "
                       "QZ_Base_Department as d with(nolock) on ManDeptID=DeptID left join QZ_Base_Supplier as p with(nolock) "
                       "on ManSuppID=SuppID left join QZ_Base_Unit as u with(nolock) on ItmUnitID=UntID left join "
                       "QZ_Base_Customer as c with(nolock) on ManOrigCustID=CustID where ManSchIID=") +
        QString::number(FPlanScheme ? FPlanScheme->SchemeIID : 0) + QStringLiteral(" order by ManIID");
    OpenMiniLines(qryMain, sql, FMainSource, grdMain);
}

void TMRPLackSetDlg::LoadScheme()
{
    const QString& p = ViewScheme.Params;
    LoadSharedSettings();
    bool ok = false;
    int source = ReadViewSchemeParam(p, QStringLiteral("[Source]")).trimmed().toInt(&ok);
    if (!ok || source < 0)
        source = 0;
    if (source % 10 > 0) {
        rdbEndDate->setChecked(true);
        const QString text = ReadViewSchemeParam(p, QStringLiteral("[EndDate]")).trimmed();
        QDate end = QLocale().toDate(text, QLocale::ShortFormat);
        if (end.isValid() && end.year() < 1950)
            end = end.addYears(100);
        if (!end.isValid())
            end = QDate::fromString(text, Qt::ISODate);
        dteEndDate->setDate(end.isValid() ? end : QDate::currentDate().addDays(7));
    }
    const int index = std::clamp(source / 10, 0, cboBillType->count() - 1);
    if (cboBillType->currentIndex() == index)
        cboBillTypePropertiesChange();
    else
        cboBillType->setCurrentIndex(index);
}

bool TMRPLackSetDlg::SaveScheme()
{
    QString p = SharedSettings();
    const int source = cboBillType->currentIndex() * 10 + (rdbEndDate->isEnabled() && rdbEndDate->isChecked() ? 1 : 0);
    p = WriteViewSchemeParam(p, QStringLiteral("[Source]"), QString::number(source));
    if (dteEndDate->isEnabled())
        p = WriteViewSchemeParam(p, QStringLiteral("[EndDate]"), QLocale().toString(dteEndDate->date(), QLocale::ShortFormat));
    ViewScheme.Params = p;
    return true;
}

void TMRPLackSetDlg::cboBillTypePropertiesChange()
{
    const int index = cboBillType->currentIndex();
    const bool picked = index == 0;
    grdMain->setEnabled(picked);
    QPalette pal = grdMain->palette();
    if (!picked) {
        pal.setColor(QPalette::Base, palette().color(QPalette::Disabled, QPalette::Window));
        pal.setColor(QPalette::Text, palette().color(QPalette::Disabled, QPalette::Text));
        grdMain->setPalette(pal);
    } else {
        grdMain->setPalette(QPalette());
    }
    chkShowFilter->setEnabled(picked);
    actNeedAddMO->setEnabled(picked);
    actNeedAddOO->setEnabled(picked);
    rdbAll->setEnabled(index >= 1 && index <= 3);
    rdbEndDate->setEnabled(index >= 1 && index <= 3);
    rdbBillScopeClick();
}

void TMRPLackSetDlg::rdbBillScopeClick()
{
    dteEndDate->setEnabled(rdbEndDate->isEnabled() && rdbEndDate->isChecked());
    if (cboBillType->currentIndex() == 1)
        gbxOptions->chkCareAlloted->setEnabled(rdbEndDate->isChecked());
    else
        gbxOptions->chkCareAlloted->setEnabled(true);
    ActionListUpdate();
}

void TMRPLackSetDlg::ActionListUpdate()
{
    const bool rows = grdMain->isEnabled() && LineCount() > 0;
    actNeedDelete->setEnabled(rows);
    actNeedClear->setEnabled(rows);
    if (btnOk)
        btnOk->setEnabled(!grdMain->isEnabled() || LineCount() > 0);
    UpdateFilterAction();
}

void TMRPLackSetDlg::NeedAdd(int ABillType)
{
    const OrderKind& kind = OrderOf(ABillType);
    const QString objectID = QLatin1String(kind.objectID);
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(objectID);
    if (!def)
        return;
    QString code;
    if (!AskSourceFilter(def, objectID, code))
        return;
    const QString p = QLatin1String(kind.p);
    const QString join =
        QStringLiteral(" join (select distinct %1ID, %1Entry from QZ_MRP_%1BOM as s with(nolock) left join QZ_MRP_ItemSetting as mt "
                       "with(nolock) on s.BomItmID=mt.ItmID where s.CanMRP<>0 and s.BomQty>0 and s.BomRole=0 and (mt.ItmMrpSkip=0 "
                       "or mt.ItmMrpSkip is null)) as tmpo on s.%1ID=tmpo.%1ID and s.%1Entry=tmpo.%1Entry")
            .arg(p);
    const QString order = QStringLiteral("s.%1DelivDate, s.%1No, s.%1Entry").arg(p);
    const QString sql =
        BuildInfoObjectFilterSQL(objectID, OrderSelectList(kind), QStringLiteral("s.CanMRP<>0"), code, order, join);
    ShowLinesPicker(InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), ABillType), sql,
                    [this](TCustomADODataSet* data, const TBookmarks& rows) { NeedLinesPicked(data, rows); });
}

void TMRPLackSetDlg::NeedLinesPicked(TCustomADODataSet* ADataSet, const QList<int>& ASelRecords)
{
    const auto v = [ADataSet](const QString& name) {
        TField* f = ADataSet->FindField(name);
        return f ? f->Value() : QVariant();
    };
    AppendPickedLines(ADataSet, ASelRecords, [&v] {
        QVariantMap m;
        // The order line's properties and origin go with it, so that its
        // components are planned for the same variant and the same customer order.
        const std::pair<const char*, const char*> copies[] = {
            {"#BillType", "ManBillType"},      {"#BillID", "ManBillID"},         {"单据编号", "ManBillNo"},
            {"单据行", "ManBillEntry"},        {"单据日期", "ManBillDate"},      {"单据数量", "ManBillQty"},
            {"#DeptID", "ManDeptID"},          {"#SuppID", "ManSuppID"},         {"源需求单号", "ManOrigNo"},
            {"#CustID", "ManOrigCustID"},      {"源需求客户单号", "ManOrigCustPO"}, {"交货日期", "ManDate"},
            {"#ItmID", "ManItmID"},            {"#ItmProps", "ManItmProps"},     {"计划数量", "ManQty"},
            {"#OrigTag", "ManOrigTag"},        {"#OrigSubTag", "ManOrigSubTag"}, {"#MRPGroupType", "ManGroupType"},
            {"#MRPGroupNo", "ManGroupNo"},     {"#OrigType", "ManOrigType"},     {"#OrigID", "ManOrigID"},
            {"#OrigEntry", "ManOrigEntry"},    {"#OrigItmID", "ManOrigItmID"},   {"产品代码", "ItmNo"},
            {"产品名称", "ItmName"},           {"规格型号", "ItmSpec"},          {"生产单位", "DeptName"},
            {"源需求客户", "CustName"},        {"单位", "UntName"}};
        for (const auto& [from, to] : copies)
            m.insert(QLatin1String(to), v(QString::fromUtf8(from)));
        for (int k = 1; k <= 10; ++k)
            m.insert(QStringLiteral("ManItmProp%1").arg(k), v(QStringLiteral("#ItmProp%1").arg(k)));
        m.insert(QStringLiteral("ManNote"),
                 QStringLiteral("[") + v(QStringLiteral("状态")).toString() + QStringLiteral("] ") + v(QStringLiteral("备注")).toString());
        if (m.value(QStringLiteral("ManBillType")).toInt() == 24)
            m.insert(QStringLiteral("SuppName"), v(QStringLiteral("生产单位")));
        return m;
    });
}

bool TMRPLackSetDlg::CloseWithOk()
{
    const QDate today = QDate::currentDate();
    const int index = cboBillType->currentIndex();
    const QString limitText = QLocale().toString(DateLimit, QLocale::ShortFormat);
    if (index >= 1 && index <= 3) {
        if (rdbAll->isChecked()) {
            FMaxDate = AllOrdersHorizon;
        } else {
            const QDate end = dteEndDate->date();
            if (!end.isValid() || end < today || end > DateLimit) {
                Warn(dteEndDate, QStringLiteral("[%1]的值(%2)没有介于%3与%4之间!")
                                     .arg(MiniCaptionText(rdbEndDate->text()), dteEndDate->text(), QStringLiteral("今天"), limitText));
                return false;
            }
            FMaxDate = end;
        }
    } else {
        grdMain->postEdit();
        if (LineCount() == 0) {
            Warn(grdMain, QStringLiteral("[%1]的内容不能为空!").arg(MiniCaptionText(Pages->tabText(0))));
            return false;
        }
        FMaxDate = today;
        int asked = 0;
        QSet<QString> keys;
        for (int line = 0; line < LineCount(); ++line) {
            const auto val = [this, line](const char* f) { return LineValue(line, QLatin1String(f)); };
            const QString key = QStringLiteral("[%1|%2|%3]").arg(val("ManBillType").toString(), val("ManBillID").toString(),
                                                                  val("ManBillEntry").toString());
            if (!CheckLineKey(line, key, keys,
                              QStringLiteral("以下投料需求行前面已经存在, 请修正!\r\r类型: %1　单据号: %2　单据行: %3　产品代码: %4")))
                return false;
            if (!CheckLineDate(line, today, DateLimit, QStringLiteral("发现存在投料日期早于今天的单据行, 统一自动修正为今天?"), asked))
                return false;
        }
    }

    TPlanScheme& s = *FPlanScheme;
    s.DataFilters = ViewScheme.Params;
    const bool toDate = rdbEndDate->isChecked();
    switch (index) {
    case 1: s.PlanSource = toDate ? 2 : 1; break;
    case 2: s.PlanSource = toDate ? 4 : 3; break;
    case 3: s.PlanSource = toDate ? 6 : 5; break;
    default: s.PlanSource = 0; break;
    }
    s.PlanNeedScope = 1 + (gbxOptions->chkCareAlloted->isChecked() ? 1 : 0) + (gbxOptions->chkCurrentBOM->isChecked() ? 4 : 0);
    gbxOptions->ApplyToScheme(s);
    ApplyMiniPeriods(s, today, FMaxDate);

    QStringList inserts;
    if (index == 0)
        for (int line = 0; line < LineCount(); ++line) {
            const int period = MiniLinePeriod(s, LineValue(line, QStringLiteral("ManDate")), today);
            inserts << BuildMiniMainInsertSQL(s.SchemeIID, line + 1, period, LineValue(line, QStringLiteral("ManBillEntry")).toInt(),
                                              false, [this, line](const QString& f) { return LineValue(line, f); });
        }
    return SaveMiniSchemeAndMain(s, inserts);
}

bool ShowMRPLackSetDlg(PViewScheme AScheme, TPlanScheme* APlanScheme)
{
    return ShowMiniSetDlg([] { return std::make_unique<TMRPLackSetDlg>(); }, *AScheme, APlanScheme);
}
