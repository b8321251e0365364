#include "famItemSetting.h"

#include "DataSetSource.h"
#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "dlgLossRate.h"
#include "untCommonUI.h"

#include <QApplication>
#include <QLocale>
#include <QVBoxLayout>

namespace {

const QString TempTable = QStringLiteral("#QZ_MRP_ItemSettingView");
const QString NotAtLeast = QStringLiteral("[%s]的值(%s)没有大于或等于%s !");
const QString SaveFailed = QStringLiteral("保存过程中出现意外错误, 操作被中止!");
const QString LeaveEditQuestion = QStringLiteral("您将退出[%s]的当前编辑状态, 对未保存过的内容进行保存?");
const QString LoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
constexpr int MaxBatchLength = 65000;

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

bool isNull(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

QString text(const QVariant& v)
{
    return isNull(v) ? QString() : v.toString();
}

double number(const QVariant& v)
{
    return isNull(v) ? 0.0 : v.toDouble();
}

// A quantity as SQL text: eight decimals with a point.
QString qtyLiteral(const QVariant& v)
{
    return QString::asprintf("%.8f", number(v));
}

QString intLiteral(const QVariant& v)
{
    return QString::number(isNull(v) ? 0 : v.toLongLong());
}

QString boolLiteral(const QVariant& v)
{
    return (isNull(v) ? false : v.toBool()) ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

QString BuildItemPickSQL(const QString& AFields, const QString& AWhere, const QString& AExtraSelect)
{
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.Items"));
    if (!def)
        return QString();
    const QString wanted = QStringLiteral("ItmNo|ItmName|ItmSpec|") + AFields;
    QString select;
    for (const TInfoFieldDef& field : def->Fields)
        if (DelimitedListContains(wanted, field.ID, QStringLiteral("|")))
            select += QStringLiteral(", [") + field.Name + QStringLiteral("]=") + field.SQLExpress;
    if (!select.isEmpty())
        select.remove(0, 1);
    if (!AExtraSelect.isEmpty())
        select += u',' + AExtraSelect;
    QString mainFilter;
    const QString from = InfoApplication->GetInfoObjectDataSourceSQL(def, AWhere + select, mainFilter);
    QString sql = QStringLiteral("select");
    if (AWhere.isEmpty())
        sql += QStringLiteral(" top ") + QString::number(InfoApplication->MaxResultRowCount);
    sql += select + QStringLiteral(" from ") + from;
    if (!AWhere.isEmpty())
        sql += QStringLiteral(" where ") + AWhere;
    return sql + QStringLiteral(" order by i.ItmNo");
}

QString ItemPickColumn(const QString& AFieldID, const QString& ADefault)
{
    if (TInfoObjectDef* def = InfoApplication ? InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.Items")) : nullptr)
        if (PInfoFieldDef field = def->GetFieldDef(AFieldID))
            return field->Name;
    return ADefault;
}

TItemSettingFrame::TItemSettingFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef) : TInfoGridView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("ItemSettingFrame"));
    FDynamicColumns.reset();

    // Reading runs on a connection of the frame's own (the edit mode's work
    // table lives there); look-ups and saving on the library's connection.
    dbConnection = new TADOConnection(this);
    SetupADOConnection(dbConnection);
    dbConnection->KeepConnection = true;
    dbConnection->LoginPrompt = false;
    dbConnection->CommandTimeout = 300;
    const TLoginInfo& info = InfoApplication->LoginInfo;
    ApplyConnectionString(dbConnection, info.DBType, info.DBLocation, info.DBName, info.DBLoginID, info.DBPassword,
                          info.DBOptions, false);
    qryItemSetting = new TADOQuery(this);
    SetupADOQuery(qryItemSetting);
    qryItemSetting->SetConnection(dbConnection);
    qryItemSetting->CommandTimeout = 600;
    qryItemSetting->ParamCheck = false;
    dsItemSetting = new TLimitedDataSetSource(qryItemSetting);
    dsItemSetting->setReadOnly(true);

    grdItemSetting = new kvui::BandedGrid(this);
    grdItemSetting->setObjectName(QStringLiteral("grdItemSetting"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(grdItemSetting);

    kvui::BandedGrid* g = grdItemSetting;
    g->beginUpdate();
    g->setDataSource(dsItemSetting);
    g->setShowIndicator(true);
    g->setShowGroupByBox(true);
    g->setEditingEnabled(false);
    g->setReadOnly(true);
    g->setShowBandHeaders(true);
    g->addBand(QString(), kvui::BandFixed::Left);
    g->addBand(QString());
    g->addBand(QStringLiteral("计量单位"));
    g->addBand(QStringLiteral("计划运算参数"));
    g->addBand(QStringLiteral("计划运算支持辅助属性选项 (ERP同步设置后生效)"));
    g->addBand(QStringLiteral("计划投放参数"));
    for (int i = 0; i < g->bandCount(); ++i)
        g->band(i).id = i;
    g->band(4).visible = false;

    const auto add = [g](const char* name, const char* caption, const char* field, int band, bool editable) {
        kvui::Column* c = g->addColumn(QString::fromUtf8(caption), QString::fromLatin1(field), band);
        c->setObjectName(QString::fromLatin1(name));
        c->setEditable(editable);
        c->setWidth(80);
        return c;
    };
    colItmID = add("colItmID", "", "ItmID", 0, false);
    colItmID->setVisible(false);
    colItmID->setTag(1);
    colItmNo = add("colItmNo", "物料代码", "ItmNo", 0, false);
    colItmName = add("colItmName", "物料名称", "ItmName", 0, false);
    colItmSpec = add("colItmSpec", "规格型号", "ItmSpec", 0, false);
    colItmType = add("colItmType", "物料属性", "ItmType", 1, false);
    colItmPlanner = add("colItmPlanner", "计划员", "ItmPlanner", 1, true);
    colItmBuyer = add("colItmBuyer", "采购员", "ItmBuyer", 1, true);
    colItmUnit = add("colItmUnit", "基本", "UntName", 2, false);
    colItmBuyUnit = add("colItmBuyUnit", "采购", "BuyUnit", 2, false);
    colItmSaleUnit = add("colItmSaleUnit", "销售", "SaleUnit", 2, false);
    colItmInvUnit = add("colItmInvUnit", "库存", "InvUnit", 2, false);
    colItmProdUnit = add("colItmProdUnit", "生产", "ProdUnit", 2, false);
    colItmMrpGroup = add("colItmMrpGroup", "计划分组模式", "ItmMrpGroup", 3, true);
    colItmMrpType = add("colItmMrpType", "计划属性", "ItmMrpType", 3, true);
    colItmMrpTrack = add("colItmMrpTrack", "计划跟踪类型", "ItmMrpTrack", 3, true);
    colItmSafeQty = add("colItmSafeQty", "安全库存", "ItmSafeQty", 3, true);
    colItmMinQty = add("colItmMinQty", "最小供应量", "ItmMinQty", 3, true);
    colItmLotQty = add("colItmLotQty", "批量增量", "ItmLotQty", 3, true);
    colItmMaxQty = add("colItmMaxQty", "最大供应量", "ItmMaxQty", 3, true);
    colItmPreLeadTime = add("colItmPreLeadTime", "开工备料提前期", "ItmPreLeadTime", 3, true);
    colItmFixLeadTime = add("colItmFixLeadTime", "固定提前期", "ItmFixLeadTime", 3, true);
    colItmVarLeadTime = add("colItmVarLeadTime", "变动提前期", "ItmVarLeadTime", 3, true);
    colItmVarLeadLot = add("colItmVarLeadLot", "变动提前期批量", "ItmVarLeadLot", 3, true);
    colItmPostLeadTime = add("colItmPostLeadTime", "来料检验提前期", "ItmPostLeadTime", 3, true);
    colItmPutLossType = add("colItmPutLossType", "投料损耗率控制", "ItmPutLossType", 5, true);
    colItmPutLossRate = add("colItmPutLossRate", "投料默认损耗率", "ItmPutLossRate", 5, true);
    colItmPutInteger = add("colItmPutInteger", "投料取整", "ItmPutInteger", 5, true);
    colItmMOBomSkip = add("colItmMOBomSkip", "作自制子件跳层", "ItmMOBomSkip", 3, true);
    colItmOOBomSkip = add("colItmOOBomSkip", "作委外子件跳层", "ItmOOBomSkip", 3, true);
    colItmMrpSkip = add("colItmMrpSkip", "不参与计划", "ItmMrpSkip", 3, true);
    colItmSuitSkip = add("colItmSuitSkip", "不参与齐套", "ItmSuitSkip", 3, true);
    colItmOutSkip = add("colItmOutSkip", "不参与投放", "ItmOutSkip", 3, true);
    colItmPlanNo = add("colItmPlanNo", "预测物料代码", "ItmPlanNo", 3, true);
    colItmPlanName = add("colItmPlanName", "预测物料名称", "ItmPlanName", 3, false);
    colItmPlanSpec = add("colItmPlanSpec", "预测规格型号", "ItmPlanSpec", 3, false);
    colItmMODept = add("colItmMODept", "默认生产部门", "ItmMODept", 5, true);
    colItmPOSupp = add("colItmPOSupp", "默认供应商", "ItmPOSupp", 5, true);
    colItmOOSupp = add("colItmOOSupp", "默认加工商", "ItmOOSupp", 5, true);
    colItmDisabled = add("colItmDisabled", "禁用", "ItmDisabled", 1, false);
    colItmPutLossRate->setEditor(std::make_shared<TLossRateEditProperties>());
    colItmPutLossRate->setWidth(120);
    g->endUpdate();
    ViewComponent = grdItemSetting;

    connect(grdItemSetting, &kvui::BandedView::cellEdited, this,
            [this](int row, kvui::Column* column, const QVariant& oldValue, const QVariant& newValue) {
                const kvui::RowRef r = grdItemSetting->row(row);
                if (r.kind == kvui::RowRef::Data)
                    grvItemSettingEditValueChanged(r.record, column, oldValue, newValue);
            });
}

TItemSettingFrame::~TItemSettingFrame()
{
    ++FFocusEventLock;
    grdItemSetting->disconnect(this);
    grdItemSetting->setDataSource(nullptr);
    delete dsItemSetting;
}

QVariant TItemSettingFrame::RecordValue(int ARecord, const QString& AFieldName) const
{
    return dsItemSetting->fieldValue(ARecord, AFieldName);
}

void TItemSettingFrame::ShowBandsWithColumns()
{
    kvui::BandedGrid* g = grdItemSetting;
    for (int b = 1; b <= 5 && b < g->bandCount(); ++b) {
        bool holds = false;
        for (kvui::Column* c : g->columns())
            holds = holds || (c->bandIndex() == b && c->isVisible());
        g->band(b).visible = holds;
    }
}

void TItemSettingFrame::ApplyViewScheme()
{
    grdItemSetting->beginUpdate();
    TInfoGridView::ApplyViewScheme();
    ShowBandsWithColumns();
    grdItemSetting->endUpdate();
}

void TItemSettingFrame::RefreshData(bool ARebuild)
{
    TInfoGridView::RefreshData(ARebuild);
    if (!DataIsFresh)
        return;
    WaitCursor hourglass;
    ++FFocusEventLock;
    Modified = false;
    try {
        if (ARebuild || AsDetail || BuiltSQL.isEmpty()) {
            QString fields = QStringLiteral("ItmDisabled");
            QString extra;
            if (EditMode()) {
                for (kvui::Column* c : grdItemSetting->columns())
                    if (c->isVisible() && !c->fieldName().isEmpty())
                        fields += u'|' + c->fieldName();
                extra = QStringLiteral("s.ItmPlannerID, s.ItmBuyerID, s.ItmPlanItmID, s.ItmMODeptID, s.ItmPOSuppID, s.ItmOOSuppID");
            }
            QString sql;
            {
                TRowCapForQuery cap;
                sql = BuildSelectSQL(fields, extra, QString(), QStringLiteral("i.ItmNo"), true);
            }
            if (EditMode()) {
                const QString order = ViewScheme.OrderBySQL.trimmed().isEmpty() ? QStringLiteral("ItmNo") : ViewScheme.OrderBySQL;
                // A work table left by an earlier failed load is dropped first.
                sql = QStringLiteral("if object_id('tempdb..") + TempTable + QStringLiteral("') is not null drop table ")
                    + TempTable + u'\r' + QStringLiteral("select * into ") + TempTable + QStringLiteral(" from (") + sql
                    + QStringLiteral(") as t\rselect * from ") + TempTable + QStringLiteral(" with(nolock) order by ") + order
                    + QStringLiteral("\rdrop table ") + TempTable;
            }
            BuiltSQL = sql;
        }
        qryItemSetting->Close();
        ExecSQLText(qryItemSetting, BuiltSQL, true, true, false);
        dsItemSetting->reset();
        dsItemSetting->setReadOnly(!EditMode());
        --FFocusEventLock;
        CheckResultRowLimit(qryItemSetting->RecordCount());
    } catch (const std::exception& e) {
        --FFocusEventLock;
        qryItemSetting->Close();
        dsItemSetting->reset();
        DataIsFresh = false;
        ShowError(FormatMessage(LoadFailed, {QString::fromUtf8(e.what())}));
    }
}

void TItemSettingFrame::SwitchEditMode(bool AValue)
{
    if (EditMode() == AValue)
        return;
    WaitCursor hourglass;
    kvui::BandedGrid* g = grdItemSetting;
    g->beginUpdate();
    const QString position = GetViewPosition();
    if (AValue)
        StoreViewScheme();
    SetEditMode(AValue);
    Modified = false;
    if (AValue) {
        for (kvui::Column* c : g->groupedColumns())
            c->setVisible(true);
        g->clearGrouping();
        g->clearSorting();
        g->setShowFooter(false);
        for (kvui::Column* c : g->columns())
            if (c->isEditable())
                c->setVisible(true);
        for (kvui::Column* c : {colItmNo, colItmName, colItmSpec, colItmPlanName, colItmPlanSpec})
            c->setVisible(true);
        ShowBandsWithColumns();
    }
    g->setEditingEnabled(AValue);
    g->setReadOnly(!AValue);
    g->setShowGroupByBox(!AValue);
    g->setSortingEnabled(!AValue);
    for (kvui::Column* c : g->columns()) {
        c->setFilterable(!AValue);
        c->setGroupable(!AValue);
    }
    if (!AValue)
        ApplyViewScheme();
    g->endUpdate();
    ++FFocusEventLock;
    RefreshData(true);
    SetViewPosition(position);
    --FFocusEventLock;
    DoFocusedRecordChanged();
}

void TItemSettingFrame::grvItemSettingEditValueChanged(int ARecord, kvui::Column* AColumn, const QVariant& AOldValue,
                                                       const QVariant& ANewValue)
{
    if (!EditMode() || FLookupBusy || AOldValue == ANewValue)
        return;
    Modified = true;
    struct PickColumn {
        kvui::Column* column;
        const char* idField;
    };
    const PickColumn picks[] = {{colItmPlanner, "ItmPlannerID"}, {colItmBuyer, "ItmBuyerID"}, {colItmPlanNo, "ItmPlanItmID"},
                                {colItmMODept, "ItmMODeptID"}, {colItmPOSupp, "ItmPOSuppID"}, {colItmOOSupp, "ItmOOSuppID"}};
    for (const PickColumn& p : picks) {
        if (p.column != AColumn)
            continue;
        FLookupBusy = true;
        const QString typed = text(ANewValue).trimmed();
        QVariant id, display, name, model;
        auto* pick = dynamic_cast<TPickEditProperties*>(AColumn->editor().get());
        if (!typed.isEmpty() && pick && !pick->SQL.isEmpty()) {
            const QString sql = FormatPositional(pick->SQL + QStringLiteral(" where [代码]=%0:s or [名称]=%0:s"), {QuotedStr(typed)});
            if (ExecSQLText(GlobalADOQuery, sql, true, false, true) && !GlobalADOQuery->IsEmpty()) {
                const auto field = [](const char* name) {
                    TField* f = GlobalADOQuery->FindField(QString::fromUtf8(name));
                    return f ? f->Value() : QVariant();
                };
                id = field("#ID");
                display = AColumn == colItmPlanNo ? field("代码") : field("名称");
                name = field("名称");
                model = field("规格型号");
            }
            GlobalADOQuery->Close();
        }
        if (isNull(id))
            display = name = model = QVariant();
        dsItemSetting->setFieldValue(ARecord, AColumn->fieldName(), display);
        dsItemSetting->setFieldValue(ARecord, QString::fromLatin1(p.idField), id);
        if (AColumn == colItmPlanNo) {
            dsItemSetting->setFieldValue(ARecord, QStringLiteral("ItmPlanName"), name);
            dsItemSetting->setFieldValue(ARecord, QStringLiteral("ItmPlanSpec"), model);
        }
        grdItemSetting->refresh();
        FLookupBusy = false;
        break;
    }
}

QString TItemSettingFrame::BuildUpdateSQL(int ARecord) const
{
    const auto v = [this, ARecord](const char* f) { return RecordValue(ARecord, QString::fromLatin1(f)); };
    const auto q = [&v](const char* f) { return QuotedStr(text(v(f))); };
    const QString args[] = {q("ItmID"), intLiteral(v("ItmMrpType")), boolLiteral(v("ItmMrpSkip")), q("ItmPlannerID"),
                            q("ItmBuyerID"), intLiteral(v("ItmMrpGroup")), intLiteral(v("ItmMrpTrack")),
                            intLiteral(v("ItmPreLeadTime")), intLiteral(v("ItmFixLeadTime")), intLiteral(v("ItmVarLeadTime")),
                            qtyLiteral(v("ItmVarLeadLot")), intLiteral(v("ItmPostLeadTime")), qtyLiteral(v("ItmSafeQty")),
                            qtyLiteral(v("ItmMinQty")), qtyLiteral(v("ItmLotQty")), qtyLiteral(v("ItmMaxQty")),
                            intLiteral(v("ItmPutLossType")), q("ItmPutLossRate"), boolLiteral(v("ItmPutInteger")),
                            boolLiteral(v("ItmSuitSkip")), boolLiteral(v("ItmOutSkip")), intLiteral(v("ItmMOBomSkip")),
                            intLiteral(v("ItmOOBomSkip")), q("ItmMODeptID"), q("ItmPOSuppID"), q("ItmOOSuppID"),
                            q("ItmPlanItmID")};
    const char* names[] = {"ItmID", "ItmMrpType", "ItmMrpSkip", "ItmPlannerID", "ItmBuyerID", "ItmMrpGroup", "ItmMrpTrack",
                           "ItmPreLeadTime", "ItmFixLeadTime", "ItmVarLeadTime", "ItmVarLeadLot", "ItmPostLeadTime",
                           "ItmSafeQty", "ItmMinQty", "ItmLotQty", "ItmMaxQty", "ItmPutLossType", "ItmPutLossRate",
                           "ItmPutInteger", "ItmSuitSkip", "ItmOutSkip", "ItmMOBomSkip", "ItmOOBomSkip", "ItmMODeptID",
                           "ItmPOSuppID", "ItmOOSuppID", "ItmPlanItmID"};
    QString sql = QStringLiteral("exec QZ_MRP_UpdateItemSetting ");
    for (int i = 0; i < 27; ++i)
        sql += (i ? QStringLiteral(", @") : QStringLiteral("@")) + QString::fromLatin1(names[i]) + u'=' + args[i];
    return sql + QStringLiteral("\r\rif @@error<>0\rreturn\r");
}

bool TItemSettingFrame::SaveData()
{
    kvui::BandedGrid* g = grdItemSetting;
    const QString position = GetViewPosition();
    g->postEdit();
    WaitCursor hourglass;
    const QList<kvui::PendingRecord> pending = dsItemSetting->pendingRecords();

    struct Check {
        const char* field;
        kvui::Column* column;
    };
    const Check notNegative[] = {{"ItmPreLeadTime", colItmPreLeadTime}, {"ItmFixLeadTime", colItmFixLeadTime},
                                 {"ItmVarLeadTime", colItmVarLeadTime}, {"ItmVarLeadLot", colItmVarLeadLot},
                                 {"ItmPostLeadTime", colItmPostLeadTime}, {"ItmSafeQty", colItmSafeQty},
                                 {"ItmMinQty", colItmMinQty}, {"ItmLotQty", colItmLotQty}, {"ItmMaxQty", colItmMaxQty}};
    const auto refuse = [this, g](int record, kvui::Column* column, const QString& message) {
        g->setFocusedRecordIndex(record);
        g->setFocusedColumn(column);
        ShowWarning(message);
        g->startEdit(column);
        return false;
    };
    for (const kvui::PendingRecord& p : pending) {
        if (p.status() == kvui::RecordStatus::Deleted)
            continue;
        const int record = p.record();
        for (const Check& c : notNegative) {
            const QVariant value = p.value(QString::fromLatin1(c.field));
            if (number(value) < 0)
                return refuse(record, c.column,
                              FormatMessage(NotAtLeast, {c.column->caption(), g->displayText(record, c.column), QStringLiteral("0")}));
        }
        if (number(p.value(QStringLiteral("ItmVarLeadTime"))) > 0 && !(number(p.value(QStringLiteral("ItmVarLeadLot"))) > 0))
            return refuse(record, colItmVarLeadLot, QStringLiteral("设置[变动提前期]时(值大于0), [变动提前期批量]不能小于0 !"));
        const double maxQty = number(p.value(QStringLiteral("ItmMaxQty")));
        if (maxQty > 0 && maxQty < number(p.value(QStringLiteral("ItmMinQty"))))
            return refuse(record, colItmMaxQty, QStringLiteral("设置[最大供应量]时(值大于0), 不能小于[最小供应量]!"));
        if (number(p.value(QStringLiteral("ItmPutLossType"))) != 0
            && text(p.value(QStringLiteral("ItmPutLossRate"))).trimmed().isEmpty())
            return refuse(record, colItmPutLossRate,
                          QStringLiteral("设置[投料损耗控制]为\"默认损耗率\"时, 必须设置[投料默认损耗率]的值!"));
    }

    // Item by item, in batches below the length limit; all or nothing.
    const kvui::DataSetSource::ApplyResult result =
        dsItemSetting->applyUpdates(GlobalADOConnection, [this](const QList<kvui::PendingRecord>& records) {
            QString batch;
            for (const kvui::PendingRecord& p : records) {
                if (p.status() == kvui::RecordStatus::Deleted)
                    continue;
                batch += BuildUpdateSQL(p.record());
                if (batch.size() > MaxBatchLength) {
                    if (!ExecSQLText(GlobalADOQuery, batch, false, false, true))
                        return false;
                    batch.clear();
                }
            }
            return batch.isEmpty() || ExecSQLText(GlobalADOQuery, batch, false, false, true);
        });
    if (!result.ok) {
        ShowError(SaveFailed);
        return false;
    }
    RefreshData(false);
    SetViewPosition(position);
    return true;
}

int TItemSettingFrame::UpdateActionIndex() const
{
    if (!ObjectDef)
        return -1;
    for (int i = 0; i < int(ObjectDef->Actions.size()); ++i)
        if (ObjectDef->Actions[size_t(i)].ID.compare(QStringLiteral("Update"), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool TItemSettingFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex >= Commands::FirstAction) {
        if (ACommandIndex - Commands::FirstAction == UpdateActionIndex()) {
            TCommandState state;
            if (grdItemSetting->recordCount() > 0 || EditMode())
                state |= csEnabled;
            if (EditMode())
                state |= csChecked;
            AState = state;
        }
        return true;
    }
    return TInfoGridView::QueryCommandState(ACommandIndex, AState);
}

bool TItemSettingFrame::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex >= Commands::FirstAction && ACommandIndex - Commands::FirstAction == UpdateActionIndex()) {
        if (!EditMode()) {
            SwitchEditMode(true);
            return true;
        }
        if (NeedSave()) {
            const int answer = ShowQuestion(FormatMessage(LeaveEditQuestion, {GetViewCaption()}), 515);
            if (answer == kvos::IDCANCEL)
                return true;
            if (answer == kvos::IDYES && !SaveData())
                return true;
        }
        SwitchEditMode(false);
        return true;
    }
    return TInfoGridView::ExecCommand(ACommandIndex);
}

void TItemSettingFrame::FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool,
                                              QColor& AOutBrush, QFont&, QColor& AOutTextColor)
{
    if (ARecord.kind != kvui::RowRef::Data || ARecord.record < 0)
        return;
    if (EditMode() && AItem && AItem->isEditable())
        AOutBrush = ASelected ? QColor(192, 192, 0) : QColor(255, 255, 194);
    const QVariant disabled = RecordValue(ARecord.record, QStringLiteral("ItmDisabled"));
    if (!isNull(disabled) && disabled.toBool())
        AOutTextColor = QColor(255, 0, 0);
}
