// The output view's release run after the checks: the records cut into bills,
// each bill built and saved through the ERP library with the write-back text
// of its rows, the tree moved on for every saved bill, and the summary.
#include "famMRPOutput.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "famDoResults.h"
#include "untMRPOutputOptions.h"

#include <QApplication>

#include <cmath>

namespace {

const QString GenerationHeader = QStringLiteral("投放生成目标单据, 共%d行 ...");
const QString BillSaved = QStringLiteral("生成%d行%s保存成功, 单据编号: %s");
const QString BillFailed = QStringLiteral("生成%d行%s保存失败, 原因: %s");
const QString Summary = QStringLiteral("共生成%d行单据, 其中%d行成功保存(%d张单据), %d行失败保存, %d行未保存!");
const QString Aborted = QStringLiteral("执行已被中止!");
const QString Finished = QStringLiteral("执行完成。");
const QString NoERPAccess = QStringLiteral("尚未连接ERP接口!");

double dayValue(const QDate& ADate)
{
    return ADate.isValid() ? double(QDate(1899, 12, 30).daysTo(ADate)) : 0.0;
}

double round8(double v)
{
    return std::round(v * 1e8) / 1e8;
}

// The item values a bill row and a substitute row share.
void setItemValues(const IValueListPtr& AValues, const QString& AItemID, const QString& AProps, const QString* AProp,
                   int AGroupType, const QString& AGroupNo)
{
    AValues->SetValue(QStringLiteral("ItemID"), AItemID);
    AValues->SetValue(QStringLiteral("ItemProps"), AProps);
    for (int i = 0; i < 10; ++i)
        AValues->SetValue(QStringLiteral("ItemProp%1").arg(i + 1), AProp[i]);
    AValues->SetValue(QStringLiteral("MRPGroupType"), AGroupType);
    AValues->SetValue(QStringLiteral("MRPGroupNo"), AGroupNo);
}

} // namespace

void TMRPOutputFrame::ApplyOutputToNode(kvui::TreeNode* ANode, double AQty, const QDateTime& ANow)
{
    if (!ANode)
        return;
    const auto num = [](const QVariant& v) { return v.isNull() || !v.isValid() ? 0.0 : v.toDouble(); };
    // 1. The alternatives of one requirement share what was output.
    if (ANode->level() == 1 && ANode->parent())
        for (kvui::TreeNode* other : ANode->parent()->children())
            if (other != ANode && other->childCount() == 0) {
                other->setValue(colSupDestQty, num(other->value(colSupDestQty)) + AQty);
                other->setValue(colSupUnDestQty, num(other->value(colSupUnDestQty)) - AQty);
            }
    // 2. The row and those above it.
    double q = AQty;
    for (kvui::TreeNode* n = ANode; n; n = n->parent()) {
        n->setValue(colSupDestQty, round8(num(n->value(colSupDestQty)) + q));
        const double left = round8(num(n->value(colSupDoDestQty)) - q);
        n->setValue(colSupDoDestQty, left);
        QVariant u;
        OutputQtyInUnit(left, n->value(colSupDestUntRate), u);
        n->setValue(colSupDoDestQtyU, u);
        if (n->level() == 0) {
            n->setValue(colSupDester, InfoApplication->LoginInfo.UserName);
            n->setValue(colSupDestTime, ANow);
            if (!(left > 0))
                n->setCheckState(Qt::Unchecked);
            break;
        }
        // A substitute's quantity counts in its demand's item one level up.
        kvui::TreeNode* parent = n->parent();
        const double own = num(n->value(colSupQty));
        if (n->level() == 2 && parent)
            q = own != 0 ? round8(q * num(parent->value(colSupQty)) / own) : 0;
    }
}

bool TMRPOutputFrame::WriteOutputBills(const QDateTime& ANow)
{
    TMRPOutputRun& r = *FRun;
    const std::vector<TMRPOutputRec>& recs = r.Records();
    const int total = int(recs.size());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    // 1.
    auto* header = static_cast<kvui::TreeNode*>(
        FResulter->AddResultNode(mkInformation, FormatMessage(GenerationHeader, {total}), QString(), QVariant(), QVariant(), nullptr));
    int billsSaved = 0, rowsSaved = 0, rowsFailed = 0;
    bool stopped = false;
    bool stateWritten = false;
    const auto typeName = [this](int AType) {
        if (auto* combo = dynamic_cast<kvui::ImageComboProperties*>(colSupDestType->editor().get())) {
            const int i = combo->indexOfValue(AType);
            if (i >= 0)
                return combo->items[i].description;
        }
        return QString::number(AType);
    };
    // 2., 3. Bills in output order.
    for (const std::vector<int>& bill : r.CutIntoBills()) {
        if (InfoApplication->CheckEscapeKeyPress(false)) {
            FResulter->AddResultNode(mkWarning, Aborted, QString(), QVariant(), QVariant(), nullptr);
            stopped = true;
            break;
        }
        const TMRPOutputRec& first = recs[size_t(bill.front())];
        const int type = first.SupType;
        const TMRPOutputOptions& o = r.GetOutputOptions(type);
        const int rows = int(bill.size());
        QString error;
        bool saved = false;
        IValueListPtr head;
        try {
            if (!InfoApplication->ERPAccess)
                throw Exception(NoERPAccess);
            // 5. The head.
            IBillPtr b = InfoApplication->ERPAccess->NewBill(BillTypeToOutputSlot(type));
            head = b->Head();
            head->SetValue(QStringLiteral("Date"), dayValue(first.SupBillDate));
            head->SetValue(QStringLiteral("SupID"), first.SupSuppID);
            head->SetValue(QStringLiteral("EmpID"), o.EmployeeID);
            head->SetValue(QStringLiteral("DeptID"), o.DepartmentID);
            head->SetValue(QStringLiteral("UserID"), InfoApplication->LoginInfo.UserID);
            if (type == 24 || type == 26 || type == 28)
                head->SetValue(QStringLiteral("CurID"), first.SupCurID);
            // The material lists of the rows are not sent: the ERP takes the
            // bills of materials it holds.
            if (type == 22 || type == 24)
                head->SetValue(QStringLiteral("HasPBom"), false);
            // 6. The rows.
            IRowListPtr list = b->Details(QStringLiteral("Rows"));
            int n = 0;
            for (int index : bill) {
                const TMRPOutputRec& R = recs[size_t(index)];
                IValueListPtr v = list->Add();
                ++n;
                v->SetValue(QStringLiteral("OrigType"), BillTypeToOutputSlot(R.SupOrigType));
                v->SetValue(QStringLiteral("OrigID"), R.SupOrigID);
                v->SetValue(QStringLiteral("OrigNo"), R.SupOrigNo);
                v->SetValue(QStringLiteral("OrigEntry"), R.SupOrigEntry);
                v->SetValue(QStringLiteral("OrigItemID"), R.SupOrigItmID);
                v->SetValue(QStringLiteral("OrigCustID"), R.SupOrigCustID);
                v->SetValue(QStringLiteral("OrigCustPO"), R.SupOrigCustPO);
                v->SetValue(QStringLiteral("OrigTag"), R.SupOrigTag);
                v->SetValue(QStringLiteral("OrigSubTag"), R.SupOrigSubTag);
                v->SetValue(QStringLiteral("MRPGroupType"), R.SupGroupType);
                v->SetValue(QStringLiteral("MRPGroupNo"), R.SupGroupNo);
                v->SetValue(QStringLiteral("SupID"), R.SupSuppID);
                setItemValues(v, R.SupItmID, R.SupItmProps, R.SupItmProp, R.SupGroupType, R.SupGroupNo);
                v->SetValue(QStringLiteral("BomType"), R.SupBomType);
                v->SetValue(QStringLiteral("BomID"), R.SupBomID);
                const double qty = o.LotRule ? ApplyOutputLotRule(R.SupStdQty, R.SupMinQty, R.SupLotQty) : R.SupStdQty;
                v->SetValue(QStringLiteral("StdQty"), qty);
                v->SetValue(QStringLiteral("UnitID"), R.SupUnitID);
                v->SetValue(QStringLiteral("UnitRate"), R.SupUnitRate);
                v->SetValue(QStringLiteral("Date"), dayValue(R.SupDate));
                v->SetValue(QStringLiteral("DrawDate"), dayValue(R.SupDrawDate));
                v->SetValue(QStringLiteral("Note"), R.SupNote);
                v->SetValue(QStringLiteral("WriteBackSQL"), R.SupUpdateSQL);
                if (type == obtPurchase) {
                    v->SetValue(QStringLiteral("SubGroups"), int(R.SupSubItems.size()));
                    for (int g = 0; g < int(R.SupSubItems.size()); ++g) {
                        const TMRPOutputSub& group = R.SupSubItems[size_t(g)];
                        IRowListPtr sub = b->Details(QStringLiteral("%1/%2").arg(n).arg(g + 1));
                        IValueListPtr main = sub->Add();
                        setItemValues(main, R.SupItmID, R.SupItmProps, R.SupItmProp, R.SupGroupType, R.SupGroupNo);
                        main->SetValue(QStringLiteral("SupID"), R.SupSuppID);
                        main->SetValue(QStringLiteral("SubRate"), 0.0);
                        main->SetValue(QStringLiteral("StdQty"), group.Qty);
                        for (const TMRPOutputSubItem& item : group.Items) {
                            IValueListPtr alt = sub->Add();
                            setItemValues(alt, item.ItemID, item.ItemProps, item.ItemProp, item.MRPGroupType, item.MRPGroupNo);
                            alt->SetValue(QStringLiteral("SupID"), item.SuppID);
                            alt->SetValue(QStringLiteral("SubRate"), item.SubRate);
                            alt->SetValue(QStringLiteral("StdQty"), round8(group.Qty * item.SubRate));
                        }
                    }
                }
            }
            // 7. Save.
            saved = b->Save(error);
        } catch (const std::exception& e) {
            const auto* ex = dynamic_cast<const Exception*>(&e);
            error = ex ? ex->Message : QString::fromUtf8(e.what());
            saved = false;
        }
        if (!saved) {
            rowsFailed += rows;
            FResulter->AddResultNode(mkError, FormatMessage(BillFailed, {rows, typeName(type), error}), QString(), QVariant(),
                                     QVariant(), header);
            continue;
        }
        // 8. The first saved bill marks the scheme as output started, unless
        // its release was withdrawn or its output closed meanwhile.
        if (!stateWritten && FPlanScheme->PlanType == 0) {
            stateWritten = true;
            ExecSQLText(GlobalADOQuery,
                        QStringLiteral("update QZ_MRP_Schemes set SchState=%1, SchMaxTime=getdate() where SchIID=%2 and SchState in (%3, %1)")
                            .arg(psOutputStarted)
                            .arg(FPlanScheme->SchemeIID)
                            .arg(psReleased),
                        false, false, true);
        }
        ++billsSaved;
        rowsSaved += rows;
        FResulter->AddResultNode(mkInformation,
                                 FormatMessage(BillSaved, {rows, typeName(type), head->GetValue(QStringLiteral("BillNo")).toString()}),
                                 QString(), QVariant(), QVariant(), header);
        grdSupplies->beginUpdate();
        for (int index : bill)
            for (const TSourceNodeRec& source : recs[size_t(index)].SupNodes)
                ApplyOutputToNode(static_cast<kvui::TreeNode*>(source.Node->Node), source.Qty, ANow);
        grdSupplies->endUpdate();
        QApplication::processEvents();
    }
    if (stateWritten)
        FPlanScheme->LoadState();
    // 10. Summary.
    const QString s = FormatMessage(Summary, {total, rowsSaved, billsSaved, rowsFailed, total - rowsSaved - rowsFailed});
    const TMessageKind kind = rowsFailed == 0 ? mkInformation : (rowsSaved == 0 ? mkError : mkWarning);
    FResulter->AddResultNode(kind, s, QString(), QVariant(), QVariant(), nullptr);
    const unsigned icon = kind == mkInformation ? kvos::MB_ICONINFORMATION : kind == mkError ? kvos::MB_ICONERROR : kvos::MB_ICONWARNING;
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    ShowMessageBox((stopped ? Aborted : Finished) + QStringLiteral("\r\r") + s, QStringLiteral("信息"), kvos::MB_OK | icon);
    QApplication::restoreOverrideCursor();
    return !stopped;
}
