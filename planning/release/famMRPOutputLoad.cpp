// The output view's loading: the open planned supplies of the scheme as the
// supply tree (supply, copy and demand rows spread over the plan periods,
// default departments, reference quantities) and the substitutes of a supply
// loaded when it is expanded.
#include "famMRPOutput.h"
#include "famMRPOutputShared.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untDllCommon.h"
#include "untMRPCalendar.h"
#include "untMRPOutputSQL.h"
#include "untMRPUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>

using namespace famMRPOutputShared;

namespace {

const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
const QString SubstituteBillNo = QStringLiteral("替代料");

// Bill types: planned supplies and output targets.
constexpr int btPlanMO = 42;
constexpr int btPlanOO = 52;
constexpr int btPlanPO = 58;

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

QString exceptionText(const std::exception& e)
{
    if (const auto* ex = dynamic_cast<const Exception*>(&e))
        return ex->Message;
    return QString::fromUtf8(e.what());
}

} // namespace

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
        const double r = OutputQtyToRelease(spread, qty, OutputNumber(ANode->value(colSupDestQty)), ALimitByPeriod, ItemQtyScale(ANode));
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

void TMRPOutputFrame::NoteItemUnits(TCustomADODataSet* q)
{
    TField* itemID = q->FindField(QStringLiteral("SubRItmID"));
    if (!itemID)
        itemID = q->FindField(QStringLiteral("SupItmID"));
    if (itemID)
        FItemUnits.insert(itemID->AsString(), {fieldValue(q, "ItmPutInteger"), fieldValue(q, "ItmDecimal")});
}

int TMRPOutputFrame::ItemQtyScale(kvui::TreeNode* ANode) const
{
    const auto units = FItemUnits.constFind(ANode->value(colSupItmID).toString());
    return units == FItemUnits.cend() ? 8 : OutputQtyScale(units->first, units->second);
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
    NoteItemUnits(q);
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
    put(colSupItmID, "SupItmID");
    NoteItemUnits(q);
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
