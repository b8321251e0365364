// The output view's options bar: the bound scheme and its plan state, the
// period columns with the end-period list, the options kept in the view
// scheme, and the bar's edit mode with OK and Cancel.
#include "famMRPOutput.h"
#include "famMRPOutputShared.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untCommonUI.h"
#include "untMRPCalendar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

using namespace famMRPOutputShared;

namespace {

const QString ReloadQuestion = QStringLiteral("此操作将重新装载待投放的计划数据, 视图中的修改信息将被丢弃, 确定?");
const QString RefDateEmpty = QStringLiteral("计算历史采购数或历史领料数的起算日期不能为空!");

const QString OptItemSubs = QStringLiteral("[ItemSubs]");
const QString OptPlanType = QStringLiteral("[PlanType]");
const QString OptSuppDef = QStringLiteral("[SuppDef]");
const QString OptSuppList = QStringLiteral("[SuppList]");
const QString OptRefPOQty = QStringLiteral("[RefPOQty]");
const QString OptRefUseQty = QStringLiteral("[RefUseQty]");
const QString OptRefDate = QStringLiteral("[RefDate]");

} // namespace

void TMRPOutputFrame::CopyControlsToCurrent()
{
    FCurScheme = cboScheme->currentIndex();
    FCurReplace = chkReplace->isChecked();
    FCurPlanType = cboPlanType->currentIndex();
    FCurPeriod = cboEndPeriod->currentIndex();
    FCurSuppDef = cboSuppDef->currentIndex();
    FCurSuppList = cboSuppList->currentIndex();
    FCurRefPOQty = chkRefPOQty->isChecked();
    FCurRefUseQty = chkRefUseQty->isChecked();
    FCurRefDate = RefDate();
}

QDate TMRPOutputFrame::RefDate() const
{
    return edtRefDate->date() == edtRefDate->minimumDate() ? QDate() : edtRefDate->date();
}

void TMRPOutputFrame::SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection*)
{
    DataIsFresh = false;
    FPlanScheme = APlanScheme;
    BuildPeriodColumns();
    FSchemesLocked = true;
    SetOptionsEditing(false);
}

void TMRPOutputFrame::RefreshPlanState()
{
    if (FShowSchemes)
        return;
    if (!FPlanScheme || FPlanScheme->SchemeIID == 0) {
        lblPlanState->clear();
        return;
    }
    lblPlanState->setText(u'(' + FPlanScheme->GetPlanStateText() + u')');
    const int s = FPlanScheme->PlanState;
    const bool stale = s == psSchemeChangedRefetch || s == psMainDemandChanged || s == psSchemeChangedRerun || s == psMRPResultChanged;
    QPalette p = lblPlanState->palette();
    p.setColor(QPalette::WindowText, stale ? clRed : palette().color(QPalette::WindowText));
    lblPlanState->setPalette(p);
}

void TMRPOutputFrame::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    TInfoTreeView::InitializeView(AViewAsDetailID, AMasterView);
    {
        FlagHold hold(FSchemesLocked, true);
        const QString& p = ViewScheme.Params;
        const auto value = [&p](const QString& key) { return ReadDelimitedValue(p, key, ViewSchemeParamSeparator).trimmed(); };
        const auto index = [&value](const QString& key, QComboBox* c) {
            bool ok = false;
            const int i = value(key).toInt(&ok);
            c->setCurrentIndex(ok && i >= 0 && i < c->count() ? i : 0);
        };
        chkReplace->setChecked(value(OptItemSubs) == QLatin1String("1"));
        index(OptPlanType, cboPlanType);
        index(OptSuppDef, cboSuppDef);
        index(OptSuppList, cboSuppList);
        chkRefPOQty->setChecked(value(OptRefPOQty) == QLatin1String("1"));
        chkRefUseQty->setChecked(value(OptRefUseQty) == QLatin1String("1"));
        QDate d = StrToDateTime(value(OptRefDate)).date();
        if (!d.isValid())
            d = QDate::fromString(value(OptRefDate), Qt::ISODate);
        const QDate today = QDate::currentDate();
        edtRefDate->setDate(d.isValid() ? d : QDate(today.year(), today.month(), 1));
        CopyControlsToCurrent();
    }
    FSchemesLocked = true;
    SetOptionsEditing(false);
}

void TMRPOutputFrame::ApplyViewScheme()
{
    TInfoTreeView::ApplyViewScheme();
    for (kvui::Column* c : {colSupItmNo, colSupDept, colSupDrawDate, colSupDate, colSupDoDestQty, colSupDoDestQtyU, colSupUnDestQty, colSupNote})
        c->setVisible(true);
    if (chkRefPOQty->isChecked())
        colSupRefPOQty->setVisible(true);
    if (chkRefUseQty->isChecked())
        colSupRefUseQty->setVisible(true);
}

void TMRPOutputFrame::StoreViewScheme()
{
    TInfoTreeView::StoreViewScheme();
    QString& p = ViewScheme.Params;
    const auto put = [&p](const QString& key, const QString& v) { p = WriteDelimitedValue(p, key, v, ViewSchemeParamSeparator); };
    put(OptItemSubs, FCurReplace ? QStringLiteral("1") : QStringLiteral("0"));
    put(OptPlanType, QString::number(FCurPlanType));
    put(OptSuppDef, QString::number(FCurSuppDef));
    put(OptSuppList, QString::number(FCurSuppList));
    put(OptRefPOQty, FCurRefPOQty ? QStringLiteral("1") : QStringLiteral("0"));
    put(OptRefUseQty, FCurRefUseQty ? QStringLiteral("1") : QStringLiteral("0"));
    put(OptRefDate, FCurRefDate.isValid() ? FCurRefDate.toString(Qt::ISODate) : QString());
}

void TMRPOutputFrame::BuildPeriodColumns()
{
    UpdateBracket bracket(grdSupplies);
    for (kvui::Column* c : FPeriodCols)
        grdSupplies->removeColumn(c);
    FPeriodCols.clear();
    const int remembered = cboEndPeriod->currentIndex();
    const QSignalBlocker block(cboEndPeriod);
    cboEndPeriod->clear();
    if (FPlanScheme) {
        const TPlanPeriods& periods = FPlanScheme->MrpPeriods;
        for (int i = 0; i < int(periods.size()); ++i) {
            const QString caption = BuildPlanPeriodCaptions(periods, i);
            kvui::Column* c = grdSupplies->addColumn(caption, QString(), 2);
            c->setValueType(QStringLiteral("Float"));
            c->setEditable(false);
            c->setWidth(70);
            c->setEditor(RightAlignedTextItem());
            c->displayTextHook = &TCommonUI::TreeFloatColumnGetDisplayText;
            c->setTag(i + 1);
            FPeriodCols.push_back(c);
            cboEndPeriod->addItem(caption);
        }
    }
    cboEndPeriod->setCurrentIndex(remembered >= 0 && remembered < cboEndPeriod->count() ? remembered : cboEndPeriod->count() - 1);
    FCurPeriod = cboEndPeriod->currentIndex();
}

void TMRPOutputFrame::SetOptionsEditing(bool AEditing)
{
    if (AEditing == FSchemesLocked)
        return;
    setUpdatesEnabled(false);
    const bool schemes = !FPlanScheme || FShowSchemes;
    cboScheme->setVisible(schemes);
    lblScheme->setVisible(schemes);
    lblPlanState->setVisible(!schemes);
    lblEndPeriod->setVisible(schemes);
    cboEndPeriod->setVisible(schemes);
    btnExpand->setVisible(!AEditing);
    lblSelectAll->setVisible(!AEditing);
    lblUnselectAll->setVisible(!AEditing);
    btnOk->setVisible(AEditing);
    btnCancel->setVisible(AEditing);
    pnlSecondRow->setVisible(AEditing);
    gbxOptions->setFixedHeight(AEditing ? 62 : 35);
    cboEndPeriod->setEnabled(true);
    if (!AEditing) {
        if (chkRefPOQty->isChecked())
            colSupRefPOQty->setVisible(true);
        if (chkRefUseQty->isChecked())
            colSupRefUseQty->setVisible(true);
    }
    chkRefInfoPropertiesChange();
    grdSupplies->setEnabled(!AEditing);
    FSchemesLocked = AEditing;
    setUpdatesEnabled(true);
}

void TMRPOutputFrame::cboPlanTypePropertiesChange()
{
    if (!FSchemesLocked)
        SetOptionsEditing(true);
}

void TMRPOutputFrame::cboSchemePropertiesChange()
{
    if (!FSchemesLocked)
        SetOptionsEditing(true);
    if (!!btnOk->isHidden())
        return;
    const QSignalBlocker block(cboEndPeriod);
    cboEndPeriod->clear();
    if (cboScheme->currentIndex() != FCurScheme) {
        const int iid = cboScheme->currentData().toInt();
        TPlanPeriods periods;
        if (ExecSQLText(GlobalADOQuery, QStringLiteral("select SchMrpPeriods from QZ_MRP_Schemes where SchIID=%1").arg(iid), true,
                        false, true)
            && !GlobalADOQuery->IsEmpty())
            TextToPlanPeriods(GlobalADOQuery->Fields()->Field(0)->AsString(), periods);
        GlobalADOQuery->Close();
        for (int i = 0; i < int(periods.size()); ++i)
            cboEndPeriod->addItem(BuildPlanPeriodCaptions(periods, i));
        cboEndPeriod->setCurrentIndex(cboEndPeriod->count() - 1);
    } else if (FPlanScheme) {
        for (int i = 0; i < int(FPlanScheme->MrpPeriods.size()); ++i)
            cboEndPeriod->addItem(BuildPlanPeriodCaptions(FPlanScheme->MrpPeriods, i));
        cboEndPeriod->setCurrentIndex(FCurPeriod);
    }
}

void TMRPOutputFrame::chkRefInfoPropertiesChange()
{
    edtRefDate->setEnabled(chkRefPOQty->isChecked() || chkRefUseQty->isChecked());
}

bool TMRPOutputFrame::AskReloadWhenModified()
{
    if (ViewScheme.SQLParsed && FModified)
        return ShowQuestion(ReloadQuestion, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) == kvos::IDOK;
    return true;
}

void TMRPOutputFrame::btnOkClick()
{
    grdSupplies->cancelEdit();
    if (!AskReloadWhenModified())
        return;
    if (!btnOk->isHidden() && (chkRefPOQty->isChecked() || chkRefUseQty->isChecked()) && !RefDate().isValid()) {
        ShowWarning(RefDateEmpty);
        edtRefDate->setFocus();
        return;
    }
    SetOptionsEditing(false);
    FlagHold hold(FSchemesLocked, true);
    if (cboScheme->currentIndex() != FCurScheme && FShowSchemes) {
        if (!FPlanScheme->Load(cboScheme->currentData().toInt()))
            return;
        BuildPeriodColumns();
    }
    RefreshData(true);
}

void TMRPOutputFrame::btnCancelClick()
{
    {
        FlagHold hold(FSchemesLocked, true);
        if (cboScheme->currentIndex() != FCurScheme)
            cboScheme->setCurrentIndex(FCurScheme);
        if (chkReplace->isChecked() != FCurReplace)
            chkReplace->setChecked(FCurReplace);
        if (cboPlanType->currentIndex() != FCurPlanType)
            cboPlanType->setCurrentIndex(FCurPlanType);
        if (FPlanScheme && cboEndPeriod->count() != int(FPlanScheme->MrpPeriods.size())) {
            const QSignalBlocker block(cboEndPeriod);
            cboEndPeriod->clear();
            for (int i = 0; i < int(FPlanScheme->MrpPeriods.size()); ++i)
                cboEndPeriod->addItem(BuildPlanPeriodCaptions(FPlanScheme->MrpPeriods, i));
        }
        if (cboEndPeriod->currentIndex() != FCurPeriod)
            cboEndPeriod->setCurrentIndex(FCurPeriod);
        if (cboSuppDef->currentIndex() != FCurSuppDef)
            cboSuppDef->setCurrentIndex(FCurSuppDef);
        if (cboSuppList->currentIndex() != FCurSuppList)
            cboSuppList->setCurrentIndex(FCurSuppList);
        if (chkRefPOQty->isChecked() != FCurRefPOQty)
            chkRefPOQty->setChecked(FCurRefPOQty);
        if (chkRefUseQty->isChecked() != FCurRefUseQty)
            chkRefUseQty->setChecked(FCurRefUseQty);
        edtRefDate->setDate(FCurRefDate.isValid() ? FCurRefDate : edtRefDate->minimumDate());
    }
    SetOptionsEditing(false);
}
