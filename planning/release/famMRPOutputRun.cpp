// The output view's release run up to the decision to write bills: the
// preparation, the check of every checked row with its findings in the result
// pane, and the records the rows that passed become.
#include "famMRPOutput.h"
#include "famMRPOutputShared.h"

#include "EscapeKey.h"
#include "MessageBox.h"
#include "UCommon.h"
#include "dlgMRPOutputSet.h"
#include "famDoResults.h"
#include "untDllCommon.h"
#include "untMRPCalendar.h"
#include "untMRPOutputBills.h"
#include "untMRPOutputState.h"

#include <QApplication>
#include <QSplitter>
#include <functional>

namespace {

const QString CalendarFailed = QStringLiteral("获取工厂日历信息失败, 中止投放!");
const QString ServerTimeFailed = QStringLiteral("获取服务器当前时间失败, 中止投放!");
const QString Running = QStringLiteral("正在投放计划数据, 按[Esc]键可以中止...");
const QString ResultTitle = QStringLiteral("投放信息");
const QString CheckHeader = QStringLiteral("检查待投放数据: 警告%d个, 错误%d个 ...");
const QString Aborted = QStringLiteral("执行已被中止!");
const QString NothingToOutput = QStringLiteral("未发现有可投放的数据。");
const QString Finished = QStringLiteral("执行完成。");
const QString ErrorsFound = QStringLiteral("检查待投放数据时发现错误%d个, 请修正后再投放!");
const QString WarningsFound = QStringLiteral("检查待投放数据时发现警告%d个, 继续执行投放?");
const QString Stopped = QStringLiteral("执行过程中发现错误, 操作被停止!");

// The next row in tree order: a row, its child rows, then its next sibling.
kvui::TreeNode* nextInTree(kvui::TreeNode* n, bool AIntoChildren)
{
    if (AIntoChildren && n->childCount() > 0)
        return n->child(0);
    for (; n; n = n->parent())
        if (kvui::TreeNode* s = n->nextSibling())
            return s;
    return nullptr;
}

} // namespace

void TMRPOutputFrame::TrackPosition(const QVariant& ANode, const QVariant& AColumn)
{
    auto* node = static_cast<kvui::TreeNode*>(ANode.value<void*>());
    // Only a node the tree still holds is shown.
    if (!node || !grdSupplies->allNodes().contains(node))
        return;
    for (kvui::TreeNode* p = node->parent(); p; p = p->parent())
        p->setExpanded(true);
    grdSupplies->setFocusedNode(node);
    if (kvui::Column* c = FindFieldColumn(AColumn.toString()))
        grdSupplies->setFocusedColumn(c);
    grdSupplies->setFocus();
}

void TMRPOutputFrame::ReleaseSupplies()
{
    if (!FPlanScheme)
        return;
    // 1.
    grdSupplies->cancelEdit();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    kvos::startEscapeKeyWatch(); // an Esc pressed before (to cancel a cell edit) stops nothing
    auto run = std::make_unique<TMRPOutputRun>();
    // 2.
    // The rest days the run's start dates were counted over, read as the run reads them.
    if (!LoadCalendarHolidays(FPlanScheme->MrpCalIID, run->Holidays, GlobalADOQuery, CalendarFirstDay(FPlanScheme->MrpPeriods))) {
        QApplication::restoreOverrideCursor();
        ShowError(CalendarFailed);
        return;
    }
    // 3.
    QDateTime now;
    if (!InfoApplication->GetSystemDateTime(now, true)) {
        QApplication::restoreOverrideCursor();
        ShowError(ServerTimeFailed);
        return;
    }
    run->Today = now.date();
    run->MrpPeriods = FPlanScheme->MrpPeriods;
    // What each output piece writes back with its bill row.
    run->SupplyWriteBackFmt = SupplyWriteBackTemplate(InfoApplication->LoginInfo.UserID, now, FPlanScheme->SchemeIID);
    run->AlterWriteBackFmt = AlterWriteBackTemplate(FPlanScheme->SchemeIID);
    // 4.
    if (!CheckPlanStateForOutput(*FPlanScheme)) {
        QApplication::restoreOverrideCursor();
        return;
    }
    // 5.-7.
    struct Closing {
        ~Closing()
        {
            InfoApplication->ShowStatusMessage(QString(), mkHint);
            QApplication::restoreOverrideCursor();
        }
    } closing;
    InfoApplication->ShowStatusMessage(Running, mkHint);
    famMRPOutputShared::FlagHold releasing(FReleasing, true);
    EnsureResulter();
    FResulter->SetTitle(ResultTitle);
    FResulter->ClearResultNodes();
    FResulter->ShowAsGrayStyle(false);
    FResulter->SetOnTrackPosition([this](kvui::TreeNode*, const QVariant& p1, const QVariant& p2) { TrackPosition(p1, p2); });
    FResulter->show();
    FSplitter->show();
    QApplication::processEvents();
    // 8., 9.
    run->ItemSubsPR = InfoApplication->ReadSystemSettingAsBoolean(QStringLiteral("QZ_MRP"), QStringLiteral("PROutputItemSubs"), false, true);
    FRunRows.clear();
    FRun = std::move(run);
    TMRPOutputRun& r = *FRun;
    int warnings = 0, errors = 0, candidates = 0;
    bool loadedMO = false, loadedOO = false, loadedPR = false;
    // 10.
    auto* header = static_cast<kvui::TreeNode*>(
        FResulter->AddResultNode(mkInformation, FormatMessage(CheckHeader, {0, 0}), QString(), QVariant(), QVariant(), nullptr));
    TMessageKind headerKind = mkInformation;

    const TMRPOutputPermissions permissions{FCanToMO, FCanToOR, FCanToPR};
    const auto mainDemandExists = [](const QString& ASQL) { return OpenSQLCount(GlobalADOQuery, ASQL, false, false) > 0; };
    const auto caption = [this](const QString& AColumn) {
        kvui::Column* c = FindFieldColumn(AColumn);
        if (!c) {
            // Columns without a bound field are named after their column.
            if (AColumn == QLatin1String("SupDestType")) c = colSupDestType;
            else if (AColumn == QLatin1String("SupDept")) c = colSupDept;
            else if (AColumn == QLatin1String("SupBOM")) c = colSupBOM;
            else if (AColumn == QLatin1String("SupItmNo")) c = colSupItmNo;
        }
        return c ? c->caption() : OutputColumnCaption(AColumn);
    };
    const auto columnField = [this](const QString& AColumn) {
        static const QHash<QString, QString> bound{{"SupDept", "DeptName"}, {"SupBOM", "BomNo"}, {"SupItmNo", "ItmNo"}};
        return bound.value(AColumn, AColumn);
    };
    // The options of a bill type, asked for when a requisition lacks its head values.
    const auto loadOptions = [&](int B) {
        bool* loaded = B == obtProduction ? &loadedMO : (B == obtSubcontract || B == obtSubcontractDirect) ? &loadedOO
            : B == obtPurchase ? &loadedPR : nullptr;
        if (!loaded || *loaded)
            return true;
        *loaded = true;
        TMRPOutputOptions& o = r.GetOutputOptions(B);
        LoadMRPOutputOptions(B, o);
        if ((B == obtSubcontractDirect || B == obtPurchase) && (o.EmployeeID.isEmpty() || o.DepartmentID.isEmpty())) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
            const bool ok = ShowMRPOutputSetDlg(B);
            QApplication::restoreOverrideCursor();
            if (!ok)
                return false;
            LoadMRPOutputOptions(B, o);
        }
        return true;
    };
    const auto endRun = [&](TMessageKind AKind, const QString& AText) {
        FResulter->AddResultNode(AKind, AText, QString(), QVariant(), QVariant(), nullptr);
    };

    std::function<TMRPOutputRow*(kvui::TreeNode*, TMRPOutputRow*)> buildRows = [&](kvui::TreeNode* n, TMRPOutputRow* parent) {
        FRunRows.push_back(RowValues(n));
        TMRPOutputRow* row = &FRunRows.back();
        row->Parent = parent;
        if (parent)
            parent->Children.push_back(row);
        for (int i = 0; i < n->childCount(); ++i)
            buildRows(n->child(i), row);
        return row;
    };

    kvui::TreeNode* n = grdSupplies->topCount() > 0 ? grdSupplies->topNode(0) : nullptr;
    QHash<kvui::TreeNode*, const TMRPOutputRow*> rows;
    while (n) {
        kvui::TreeNode* top = n;
        while (top->parent())
            top = top->parent();
        if (!top->isChecked()) {
            n = nextInTree(top, false);
            continue;
        }
        if (n == top) {
            // 3. Purchase substitutes are loaded before the supply is checked.
            if (n->childCount() == 0 && n->stateIndex() == 1 && n->value(colSupDestType).toInt() == obtPurchase && FCanToPR
                && r.ItemSubsPR) {
                try {
                    LoadSupplies(n);
                } catch (const std::exception&) {
                    // The load has shown its error; nothing goes out.
                    endRun(mkError, Stopped);
                    return;
                }
            }
            // Children are read together with their supply.
            std::function<void(kvui::TreeNode*, const TMRPOutputRow*)> index = [&](kvui::TreeNode* m, const TMRPOutputRow* row) {
                rows.insert(m, row);
                for (int i = 0; i < m->childCount(); ++i)
                    index(m->child(i), row->Children[size_t(i)]);
            };
            index(n, buildRows(n, nullptr));
        }
        const TMRPOutputRow& row = *rows.value(n);
        const TMRPOutputCheck check = CheckOutputRow(row, r.Today, permissions, mainDemandExists, caption);
        if (check.Candidate) {
            ++candidates;
            if (!loadOptions(row.Whole(QStringLiteral("SupDestType")))) {
                endRun(mkWarning, Aborted);
                return;
            }
        }
        for (const TMRPOutputFinding& f : check.Findings) {
            const TMessageKind kind = f.FindingKind == TMRPOutputFinding::Error ? mkError : mkWarning;
            (kind == mkError ? errors : warnings) += 1;
            FResulter->AddResultNode(kind, f.Text, top->value(colSupBillNo).toString(), QVariant::fromValue(static_cast<void*>(n)),
                                     columnField(f.Column), header);
            if (kind > headerKind)
                headerKind = kind;
            FResulter->ChangeResultNode(header, headerKind, FormatMessage(CheckHeader, {warnings, errors}));
        }
        // 13.
        if (check.Candidate && errors == 0)
            r.AddOutputNode(row);
        // 14.
        if (InfoApplication->CheckEscapeKeyPress(false)) {
            endRun(mkWarning, Aborted);
            return;
        }
        n = nextInTree(n, true);
    }

    // The decision.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    struct Arrow {
        ~Arrow() { QApplication::restoreOverrideCursor(); }
    } arrow;
    switch (DecideAfterChecks(candidates, errors, warnings)) {
    case odNothingToOutput:
        ShowInfo(Finished + QStringLiteral("\r\r") + NothingToOutput);
        endRun(mkInformation, NothingToOutput);
        return;
    case odStopOnErrors:
        ShowError(FormatMessage(ErrorsFound, {errors}));
        endRun(mkError, Stopped);
        return;
    case odAskOnWarnings:
        if (ShowQuestion(FormatMessage(WarningsFound, {warnings}), int(kvos::MB_YESNO)) != kvos::IDYES) {
            ShowInfo(Aborted);
            endRun(mkWarning, Aborted);
            return;
        }
        break;
    case odOutput:
        break;
    }
    if (!CheckPlanStateForOutput(*FPlanScheme)) {
        endRun(mkWarning, Stopped);
        return;
    }
    WriteOutputBills(now);
}
