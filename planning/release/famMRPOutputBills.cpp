// The output view's release run after the checks: the records cut into bills,
// each bill built and saved through the ERP library with the write-back text
// of its rows and the material lists of production and subcontract rows, the
// tree moved on for every saved bill, and the summary.
#include "famMRPOutput.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "famDoResults.h"
#include "untLossRate.h"
#include "untMRPOutputBills.h"
#include "untMRPOutputOptions.h"
#include "untMRPSupplyBOM.h"

#include <QApplication>
#include <QElapsedTimer>
#include <optional>

namespace {

const QString Aborted = QStringLiteral("执行已被中止!");
const QString Finished = QStringLiteral("执行完成。");
const QString NoERPAccess = QStringLiteral("尚未连接ERP接口!");

// The supply tree and the result lines are rebuilt a few times a second while
// bills are written, not after every bill: rebuilding them for each of
// thousands of bills makes the release crawl. Pending input (an Esc press) is
// let in whenever they are shown; the second list is the result list.
class HeldLists {
public:
    HeldLists(kvui::BandedView* ASupplies, kvui::TreeList* AResults) : FLists{ASupplies, AResults}, FResults(AResults)
    {
        for (kvui::BandedView* l : FLists)
            l->beginUpdate();
    }
    ~HeldLists()
    {
        for (kvui::BandedView* l : FLists)
            l->endUpdate();
    }
    HeldLists(const HeldLists&) = delete;
    HeldLists& operator=(const HeldLists&) = delete;

    // The result line to show when the lists are shown next: the newest.
    void Follow(kvui::TreeNode* ANode) { FNewest = ANode; }

    // Shows the lists as they are when the last showing is a moment ago; the
    // result list scrolled to its newest line.
    void Show()
    {
        if (FShown.isValid() && FShown.elapsed() < 250)
            return;
        for (kvui::BandedView* l : FLists)
            l->endUpdate();
        if (FNewest) {
            FResults->setFocusedNode(FNewest);
            FResults->makeRowVisible(FResults->rowOfNode(FNewest));
        }
        // As the result pane does for its lines: only the result list takes
        // input while pending messages are handled (no second run starts).
        InfoApplication->LockProcessMessages(quintptr(FLists[1]));
        QApplication::processEvents();
        InfoApplication->LockProcessMessages(0);
        for (kvui::BandedView* l : FLists)
            l->beginUpdate();
        FShown.start();
    }

private:
    kvui::BandedView* FLists[2];
    kvui::TreeList* FResults;
    kvui::TreeNode* FNewest = nullptr;
    QElapsedTimer FShown;
};

} // namespace

bool TMRPOutputFrame::WriteOutputBills(const QDateTime& ANow)
{
    TMRPOutputRun& r = *FRun;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    // 1.
    auto* header = static_cast<kvui::TreeNode*>(FResulter->AddResultNode(
        mkInformation, OutputGenerationHeader(int(r.Records().size())), QString(), QVariant(), QVariant(), nullptr));
    const bool bomQtyUseStdQty =
        InfoApplication->ReadSystemSettingAsBoolean(QStringLiteral("QZ_MRP"), QStringLiteral("BomQtyUseStdQty"), false, true);

    TMRPOutputBillEvents events;
    events.Escape = [] { return InfoApplication->CheckEscapeKeyPress(false); };
    events.LoadBOM = [&](TMRPOutputRec& ARec, const IBillPtr& ABill, int ARowNo) {
        TSupplyBOMRun bom;
        bom.Query = GlobalADOQuery;
        bom.Bill = ABill;
        bom.SchemeIID = FPlanScheme->SchemeIID;
        bom.BillType = ARec.SupType;
        bom.BomQtyUseStdQty = bomQtyUseStdQty;
        bom.Holidays = r.Holidays;
        TSupplyBOMCall call;
        call.ItemID = ARec.SupItmID;
        call.BomType = ARec.SupBomType;
        call.BomID = ARec.SupBomID;
        call.SupIID = ARec.SupIID;
        call.SupIIDs = ARec.SupIIDs.mid(1, ARec.SupIIDs.size() - 2);
        call.ListName = QString::number(ARowNo);
        call.Qty = ARec.SupStdQty;
        call.UnitRate = ARec.SupUnitRate;
        call.DrawDate = ARec.SupDrawDate;
        call.ItemSubs = r.GetOutputOptions(ARec.SupType).ItemSubs;
        LoadSupplyBOM(bom, ARec, call);
    };
    // 8. The first saved bill marks a released scheme as output started.
    bool stateWritten = false;
    events.FirstSaved = [&] {
        if (FPlanScheme->PlanType != 0)
            return;
        stateWritten = true;
        ExecSQLText(GlobalADOQuery, PlanStateOutputStartedSQL(FPlanScheme->SchemeIID), false, false, true);
    };
    auto held = std::make_optional<HeldLists>(grdSupplies, FResulter->grdResults);
    events.Line = [&](TMessageKind AKind, const QString& AText) {
        held->Follow(static_cast<kvui::TreeNode*>(FResulter->AddResultNode(AKind, AText, QString(), QVariant(), QVariant(), header)));
        held->Show();
    };
    events.Saved = [&](const TMRPOutputRec& ARec) {
        grdSupplies->beginUpdate();
        for (const TSourceNodeRec& source : ARec.SupNodes)
            if (source.Node)
                ApplyOutputToNode(static_cast<kvui::TreeNode*>(source.Node->Node), source.Qty, ANow);
        grdSupplies->endUpdate();
    };
    events.TypeName = [this](int AType) {
        if (auto* combo = dynamic_cast<kvui::ImageComboProperties*>(colSupDestType->editor().get())) {
            const int i = combo->indexOfValue(AType);
            if (i >= 0)
                return combo->items[i].description;
        }
        return QString::number(AType);
    };

    // 2., 3. Bills in output order; an exception of the ERP library or of a
    // material list ends the run, bills saved before stay saved.
    TMRPOutputBillResult result;
    try {
        if (!InfoApplication->ERPAccess)
            throw Exception(NoERPAccess);
        GetLossRateType();
        result = ::WriteOutputBills(r, *InfoApplication->ERPAccess, InfoApplication->LoginInfo.UserID, events);
    } catch (const std::exception& e) {
        held.reset();
        const auto* ex = dynamic_cast<const Exception*>(&e);
        const QString reason = ex ? ex->Message : QString::fromUtf8(e.what());
        FResulter->AddResultNode(mkError, reason, QString(), QVariant(), QVariant(), header);
        if (stateWritten)
            FPlanScheme->LoadState();
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        ShowError(reason);
        QApplication::restoreOverrideCursor();
        return false;
    }
    held.reset();
    if (stateWritten)
        FPlanScheme->LoadState();
    // 10. Summary.
    FResulter->AddResultNode(result.Kind, result.Summary, QString(), QVariant(), QVariant(), nullptr);
    const unsigned icon = result.Kind == mkInformation ? kvos::MB_ICONINFORMATION
        : result.Kind == mkError                       ? kvos::MB_ICONERROR
                                                       : kvos::MB_ICONWARNING;
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    // One box: a run the database ended says why in its summary.
    ShowMessageBox(result.Stopped ? result.Summary : (result.Aborted ? Aborted : Finished) + QStringLiteral("\r\r") + result.Summary,
                   result.Stopped ? QStringLiteral("错误") : QStringLiteral("信息"), kvos::MB_OK | icon);
    QApplication::restoreOverrideCursor();
    return !result.Aborted && !result.Stopped;
}
