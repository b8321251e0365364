// The workbench's scheme tab (TMRPFrame): the list of schemes and the loading
// of the chosen one, its maintenance (new, copy, change, save, revert,
// delete) and its parameters (MRP filters, plan periods). The frame itself,
// its tabs, command routing and state display are in famMRP.cpp.
#include "famMRP.h"
#include "famMRPPrivate.h"

#include "Ado.h"
#include "Exceptions.h"
#include "MessageBox.h"
#include "TreeList.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsInfoView.h"
#include "dlgSetPlanPeriods.h"
#include "untApplication.h"
#include "untMRPCopy.h"
#include "untMRPViewUtils.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTabWidget>
#include <algorithm>

namespace {

const QString kLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
const QString kEmptyValue = QStringLiteral("[%s]的内容不能为空!");
const QString kValueExists = QStringLiteral("[%s]的值(%s)已经存在!");
const QString kSchemeNameCaption = QStringLiteral("方案名称");
const QString kNoPeriods = QStringLiteral("展望期间不能为空, 请设置!");
const QString kCopyResults = QStringLiteral("计划方案[%s]已运算过MRP, 复制其结果数据至新方案?");
const QString kSaving = QStringLiteral("正在保存数据, 请稍候...");
const QString kCopyingAll = QStringLiteral("正在从计划方案[%s]复制全部数据至[%s], 请稍候...");
const QString kCopyingMain = QStringLiteral("正在从计划方案[%s]复制主需求数据至[%s], 请稍候...");
const QString kSaveFailed = QStringLiteral("保存过程中出现意外错误, 操作被中止!\r\r原因: %s");
const QString kReleasedSupplies = QStringLiteral("计划方案[%s]有%d条MRP供应计划已被投放, 删除后意味着不能进行追溯查询, 确定?");
const QString kDeleteScheme = QStringLiteral("删除计划方案[%s], 其主需求、MRP结果以及手工调整数据都被永久清除, 确定?");
const QString kDeleting = QStringLiteral("正在删除数据, 请稍候...");
const QString kDone = QStringLiteral("执行完成。");
const QString kStopped = QStringLiteral("执行过程中发现错误, 操作被停止!");

void statusMessage(const QString& AText)
{
    if (InfoApplication)
        InfoApplication->ShowStatusMessage(AText, mkHint);
}

QString loginUserID()
{
    return InfoApplication ? InfoApplication->LoginInfo.UserID : QString();
}

} // namespace

// ---- Scheme list ---------------------------------------------------------------

void TMRPFrame::actRefreshExecute(QObject* ASender)
{
    {
        FSchemeLoading = true;
        struct Reset {
            bool& Flag;
            ~Reset() { Flag = false; }
        } reset{FSchemeLoading};
        if (!CanRefreshScheme())
            return;
        FSchemeLoadErr = false;
        const int remembered = FPlanScheme->SchemeIID;
        const QSignalBlocker b1(cboScheme);
        const QSignalBlocker b2(cboSchemeName);
        cboScheme->clear();
        cboSchemeName->clear();
        const TLoginInfo login = InfoApplication ? InfoApplication->LoginInfo : TLoginInfo();
        const QString sql = BuildSchemeListSQL(FMaintainMode, login.UserID, login.UserGroups);
        try {
            ExecSQLText(GlobalADOQuery, sql, true, true, false);
            for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
                const QString caption = SchemeListCaption(GlobalADOQuery->FieldByName(QStringLiteral("SchName"))->AsString(),
                                                          GlobalADOQuery->FieldByName(QStringLiteral("SchState"))->AsInteger(),
                                                          GlobalADOQuery->FieldByName(QStringLiteral("SchUsrID"))->AsString(),
                                                          GlobalADOQuery->FieldByName(QStringLiteral("UsrName"))->AsString(),
                                                          login.UserID);
                cboScheme->addItem(caption, GlobalADOQuery->FieldByName(QStringLiteral("SchIID"))->AsInteger());
            }
            GlobalADOQuery->Close();
        } catch (const std::exception& e) {
            GlobalADOQuery->Close();
            cboScheme->clear();
            FSchemeLoadErr = true;
            Pages->setCurrentWidget(tabScheme);
            ShowError(FormatMessage(kLoadFailed, {QString::fromUtf8(e.what())}));
        }
        for (int i = 0; i < cboScheme->count(); ++i)
            cboSchemeName->addItem(cboScheme->itemText(i), cboScheme->itemData(i));
        if (cboScheme->count() > 0) {
            const int index = std::max(0, cboScheme->findData(remembered));
            cboScheme->setCurrentIndex(index);
            cboSchemeName->setCurrentIndex(index);
        }
        if (ASender != actRunMRP)
            FRunLog->LogSchemeIID = -1;
    }
    cboSchemePropertiesChange(cboScheme);
}

void TMRPFrame::SetSafetyItems(bool AWithAll)
{
    const QSignalBlocker block(cboCareSafety);
    if (AWithAll) {
        if (cboCareSafety->count() < 3)
            cboCareSafety->addItem(QStringLiteral("全部物料考虑"));
    } else if (cboCareSafety->count() > 2) {
        const bool all = cboCareSafety->currentIndex() == 2;
        cboCareSafety->removeItem(2);
        if (all)
            cboCareSafety->setCurrentIndex(1);
    }
}

void TMRPFrame::cboSchemePropertiesChange(QComboBox* ASender)
{
    if (FSchemeLoading || !ASender)
        return;
    FSchemeLoading = true;
    struct Reset {
        bool& Flag;
        ~Reset() { Flag = false; }
    } reset{FSchemeLoading};
    QComboBox* other = ASender == cboScheme ? cboSchemeName : cboScheme;
    if (!CanRefreshScheme()) {
        const QSignalBlocker block(ASender);
        ASender->setCurrentIndex(other->currentIndex());
        return;
    }
    TPlanScheme& s = *FPlanScheme;
    const int index = ASender->currentIndex();
    bool loaded = false;
    if (index >= 0 && s.Load(ASender->itemData(index).toInt())) {
        loaded = true;
        const QSignalBlocker b1(cboMainSource);
        const QSignalBlocker b2(cboNeedScope);
        cboMainSource->setCurrentIndex(s.PlanSource);
        cboNeedScope->setCurrentIndex(s.PlanNeedScope);
        SetSafetyItems(s.PlanNeedScope == 0);
        cboCareSafety->setCurrentIndex(std::min(s.CareItemSafety, cboCareSafety->count() - 1));
        cboCareItemReplace->setCurrentIndex(s.CareItemReplace);
        cboCareItemSuites->setCurrentIndex(s.CareItemSuites);
        cboCareMRPTrackMode->setCurrentIndex(cboCareMRPTrackMode->findData(s.CareMRPTrackMode));
        chkCareItemMRPTrack->setChecked(s.CareItemMRPTrack);
        chkCareLossRate->setChecked(s.CareItemLossRate);
        chkCareLotRule->setChecked(s.CareItemLotRule);
        edtCreater->setText(s.Creater);
    } else {
        const QSignalBlocker block(ASender);
        ASender->setCurrentIndex(-1);
        s.SchemeIID = 0;
        s.PlanPeriods.clear();
        s.DataFilters.clear();
        edtCreater->clear();
    }
    ShowPlanState();
    CloseResultViews(true);
    for (QWidget* tab : {tabMain, tabAllot, tabBalance, tabSupplies, tabReplace})
        BindResultView(tab);
    FillPlanPeriodTree(trlPlanPeriods, s.PlanPeriods);
    LoadMRPFilters();
    {
        const QSignalBlocker block(other);
        other->setCurrentIndex(ASender->currentIndex());
    }
    if (loaded)
        if (IInfoViewPtr view = GetActiveResultView()) {
            view->RefreshData(true);
            view->MakeFocus();
        }
    if (FRunLog->LogSchemeIID != s.SchemeIID)
        FRunLog->Release();
    UpdateSchemeControls();
}

// ---- Scheme maintenance --------------------------------------------------------

void TMRPFrame::StartEdit(QAction* AAction)
{
    Pages->setCurrentWidget(tabScheme);
    cboSchemeName->hide();
    edtSchemeName->show();
    edtSchemeName->setFocus();
    lblSchemeName->setBuddy(edtSchemeName);
    FSchemeEditing = true;
    lblSchemeEditing->setText(u'(' + AAction->text() + u')');
    UpdateSchemeControls();
}

void TMRPFrame::EndEdit()
{
    FSchemeEditing = false;
    FSchemeCopying = false;
    edtSchemeName->hide();
    cboSchemeName->show();
    lblSchemeName->setBuddy(cboSchemeName);
}

void TMRPFrame::actSchemeNewExecute()
{
    TPlanScheme& s = *FPlanScheme;
    FOldSchemeIID = s.SchemeIID;
    FOldPlanPeriods.clear();
    FOldMRPFilters.clear();
    s.SchemeIID = 0;
    edtSchemeName->clear();
    edtCreater->setText(InfoApplication ? InfoApplication->LoginInfo.UserName : QString());
    for (QLineEdit* e : {edtPlanState, edtUpdateTime, edtMpsRunTime, edtMrpRunTime})
        e->clear();
    StartEdit(actSchemeNew);
}

void TMRPFrame::actSchemeCopyExecute()
{
    TPlanScheme& s = *FPlanScheme;
    FOldSchemeIID = s.SchemeIID;
    FOldPlanPeriods = PlanPeriodsToText(s.PlanPeriods);
    FOldMRPFilters = s.DataFilters;
    s.SchemeIID = 0;
    edtSchemeName->clear();
    FSchemeCopying = true;
    edtCreater->setText(InfoApplication ? InfoApplication->LoginInfo.UserName : QString());
    edtPlanState->clear();
    edtUpdateTime->clear();
    StartEdit(actSchemeCopy);
}

void TMRPFrame::actSchemeUpdateExecute()
{
    if (!CheckPlanState(true))
        return;
    TPlanScheme& s = *FPlanScheme;
    FOldSchemeIID = s.SchemeIID;
    FOldPlanPeriods = PlanPeriodsToText(s.PlanPeriods);
    FOldMRPFilters = s.DataFilters;
    edtSchemeName->setText(s.SchemeName);
    StartEdit(actSchemeUpdate);
}

TSchemeParamValues TMRPFrame::ControlValues() const
{
    TSchemeParamValues v;
    v.PlanSource = cboMainSource->currentIndex();
    v.PlanNeedScope = cboNeedScope->currentIndex();
    v.CareItemSafety = cboCareSafety->currentIndex();
    v.CareItemReplace = cboCareItemReplace->currentIndex();
    v.CareItemSuites = cboCareItemSuites->currentIndex();
    v.CareMRPTrackMode = cboCareMRPTrackMode->currentData().toInt();
    v.CareItemMRPTrack = chkCareItemMRPTrack->isChecked();
    v.CareItemLossRate = chkCareLossRate->isChecked();
    v.CareItemLotRule = chkCareLotRule->isChecked();
    v.PeriodsText = PlanPeriodsToText(FPlanScheme->PlanPeriods);
    v.DataFilters = FPlanScheme->DataFilters;
    return v;
}

void TMRPFrame::actSchemeSaveExecute()
{
    if (!SaveScheme())
        return;
    EndEdit();
    actRefreshExecute(actSchemeSave);
    statusMessage(QString());
}

bool TMRPFrame::SaveScheme()
{
    TPlanScheme& s = *FPlanScheme;
    if (s.SchemeIID != 0 && !CheckPlanState(false))
        return false;
    const QString name = edtSchemeName->text().trimmed();
    if (name.isEmpty()) {
        ShowWarning(FormatMessage(kEmptyValue, {kSchemeNameCaption}));
        edtSchemeName->setFocus();
        return false;
    }
    const QString userID = loginUserID();
    if (s.SchemeIID == 0 || name.compare(s.SchemeName, Qt::CaseInsensitive) != 0) {
        const QString sql = QStringLiteral("select SchIID from QZ_MRP_Schemes with(nolock) where SchName=%1 and SchUsrID=%2")
                                .arg(QuotedStr(name), QuotedStr(userID));
        const bool ok = ExecSQLText(GlobalADOQuery, sql, true, false, true);
        const bool exists = ok && !GlobalADOQuery->Eof();
        GlobalADOQuery->Close();
        if (!ok)
            return false;
        if (exists) {
            ShowWarning(FormatMessage(kValueExists, {kSchemeNameCaption, name}));
            edtSchemeName->setFocus();
            return false;
        }
    }
    if (trlPlanPeriods->topCount() == 0) {
        ShowWarning(kNoPeriods);
        actSetPlanPeriodsExecute();
        return false;
    }
    MRPFiltersSaveSettings(trlMRPFilters, s.DataFilters);

    // What the scheme held before: restored when the save does not go through.
    const int prevIID = s.SchemeIID;
    const int prevType = s.PlanType;
    const int prevState = s.PlanState;
    const QString prevName = s.SchemeName;
    const QString prevCreater = s.Creater;
    TSchemeParamValues prev;
    prev.PlanSource = s.PlanSource;
    prev.PlanNeedScope = s.PlanNeedScope;
    prev.CareItemSafety = s.CareItemSafety;
    prev.CareItemReplace = s.CareItemReplace;
    prev.CareItemSuites = s.CareItemSuites;
    prev.CareMRPTrackMode = s.CareMRPTrackMode;
    prev.CareItemMRPTrack = s.CareItemMRPTrack;
    prev.CareItemLossRate = s.CareItemLossRate;
    prev.CareItemLotRule = s.CareItemLotRule;
    prev.PeriodsText = FOldPlanPeriods;
    prev.DataFilters = FOldMRPFilters;

    const TSchemeParamValues next = ControlValues();
    const bool isNew = s.SchemeIID == 0 && !FSchemeCopying;
    const bool periodsDiffer = next.PeriodsText != PlanPeriodsToText(s.MpsPeriods);
    bool copyResults = false;
    int state = 0;
    if (isNew) {
        s.PlanType = 0;
        state = NewSchemeState(next.PlanSource);
        s.Creater = userID;
    } else {
        state = SavedSchemeState(s.PlanState, prev, next);
        if (FSchemeCopying) {
            const bool sameSource = next.PlanSource != 3 && next.PlanSource == prev.PlanSource;
            if (yearOf(s.MrpRunTime) > 1900 && (sameSource || (next.PlanSource == 3 && !periodsDiffer))) {
                const int answer = ShowQuestion(FormatMessage(kCopyResults, {prevName}),
                                                int(kvos::MB_YESNOCANCEL | kvos::MB_DEFBUTTON3));
                if (answer == kvos::IDCANCEL)
                    return false;
                copyResults = answer == kvos::IDYES;
                if (!copyResults && state > psMainDemandReady)
                    state = psMainDemandReady;
            }
            s.Creater = userID;
            state = std::min(state, int(psMRPDone));
        }
    }

    s.SchemeName = name;
    s.PlanSource = next.PlanSource;
    s.PlanNeedScope = next.PlanNeedScope;
    s.PlanState = state;
    s.CareItemSafety = next.CareItemSafety;
    s.CareItemReplace = next.CareItemReplace;
    s.CareItemSuites = next.CareItemSuites;
    s.CareMRPTrackMode = next.CareMRPTrackMode;
    s.CareItemMRPTrack = next.CareItemMRPTrack;
    s.CareItemLossRate = next.CareItemLossRate;
    s.CareItemLotRule = next.CareItemLotRule;

    auto restore = [&] {
        s.SchemeIID = prevIID;
        s.PlanType = prevType;
        s.PlanState = prevState;
        s.SchemeName = prevName;
        s.Creater = prevCreater;
        s.PlanSource = prev.PlanSource;
        s.PlanNeedScope = prev.PlanNeedScope;
        s.CareItemSafety = prev.CareItemSafety;
        s.CareItemReplace = prev.CareItemReplace;
        s.CareItemSuites = prev.CareItemSuites;
        s.CareMRPTrackMode = prev.CareMRPTrackMode;
        s.CareItemMRPTrack = prev.CareItemMRPTrack;
        s.CareItemLossRate = prev.CareItemLossRate;
        s.CareItemLotRule = prev.CareItemLotRule;
    };

    TMRPWaitCursor hourglass;
    statusMessage(kSaving);
    // The row and everything copied into it are written together or not at all.
    try {
        kvado::ScopedTransaction tran(dbConnection);
        if (!s.Save()) {
            restore();
            statusMessage(QString());
            return false;
        }
        TADOQuery* q = s.PublicQuery();
        const int newIID = s.SchemeIID;
        if (FSchemeCopying) {
            ExecSQLText(q, BuildCopySchemeTimesSQL(FOldSchemeIID, newIID, copyResults || next.PlanSource != 3, copyResults),
                        false, true, false);
            if (copyResults) {
                statusMessage(FormatMessage(kCopyingAll, {prevName, name}));
                CopySchemeResults(FOldSchemeIID, newIID, q, false);
            } else if (next.PlanSource == 3) {
                statusMessage(FormatMessage(kCopyingMain, {prevName, name}));
                if (!s.CopyMPS(FOldSchemeIID, wtOverwriteAll, !periodsDiffer))
                    throw Exception(kStopped);
            } else {
                statusMessage(FormatMessage(kCopyingMain, {prevName, name}));
                ExecSQLText(q, BuildCopyMainSQL(FOldSchemeIID, newIID, next.PlanSource), false, true, false);
            }
        } else if (next.PlanSource == 3 && prevIID != 0 && periodsDiffer) {
            // The imported main demand is spread over the new periods.
            if (!s.CopyMPS(newIID, wtOverwriteAll, false))
                throw Exception(kStopped);
        }
        if (next.PlanSource == 3)
            ExecSQLText(q, QStringLiteral("update QZ_MRP_Schemes set SchMpsCalIID=%1, SchMpsPeriods=%2 where SchIID=%3")
                               .arg(QString::number(s.PlanCalIID), QuotedStr(next.PeriodsText), QString::number(newIID)),
                        false, true, false);
        tran.Commit();
    } catch (const std::exception& e) {
        restore();
        statusMessage(QString());
        ShowError(FormatMessage(kSaveFailed, {QString::fromUtf8(e.what())}));
        return false;
    }
    return true;
}

void TMRPFrame::actSchemeRevertExecute()
{
    EndEdit();
    FPlanScheme->SchemeIID = FOldSchemeIID;
    actRefreshExecute(actSchemeRevert);
}

void TMRPFrame::actSchemeDeleteExecute()
{
    if (!CheckPlanState(true))
        return;
    TPlanScheme& s = *FPlanScheme;
    const int buttons = int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2);
    bool asked = false;
    if (s.PlanState == psOutputClosed) {
        const bool ok = ExecSQLText(GlobalADOQuery,
                                    QStringLiteral("select Cnt=count(*) from QZ_MRP_Supplies with(nolock) where SupSchIID=%1 and SupDestQty>0")
                                        .arg(s.SchemeIID),
                                    true, false, true);
        const int count = ok && !GlobalADOQuery->Eof() ? GlobalADOQuery->FieldByName(QStringLiteral("Cnt"))->AsInteger() : 0;
        GlobalADOQuery->Close();
        if (!ok)
            return;
        if (count > 0) {
            if (ShowWarning(FormatMessage(kReleasedSupplies, {s.SchemeName, count}), buttons) != kvos::IDOK)
                return;
            asked = true;
        }
    }
    if (!asked && ShowWarning(FormatMessage(kDeleteScheme, {s.SchemeName}), buttons) != kvos::IDOK)
        return;
    if (!CheckPlanState(true))
        return;
    bool ok = false;
    {
        TMRPWaitCursor hourglass;
        statusMessage(kDeleting);
        // Every row of the scheme goes, or none does.
        try {
            kvado::ScopedTransaction tran(GlobalADOQuery->Connection());
            ok = ExecSQLText(GlobalADOQuery, BuildDeleteSchemeSQL(s.SchemeIID), false, false, true);
            if (ok)
                tran.Commit();
        } catch (const std::exception&) {
            ok = false;
        }
        actRefreshExecute(actSchemeDelete);
        statusMessage(QString());
    }
    if (ok)
        ShowInfo(kDone);
    else
        ShowError(kStopped);
}

// ---- Parameters ------------------------------------------------------------------

void TMRPFrame::LoadMRPFilters()
{
    LoadWorkbenchMRPFilters(trlMRPFilters, cboMainSource->currentIndex(), FPlanScheme->DataFilters);
    MRPFiltersSetEditable(trlMRPFilters, FSchemeEditing);
}

void TMRPFrame::cboMainSourcePropertiesChange()
{
    if (FSchemeLoading)
        return;
    // Filters of nodes that the new source hides stay in the text.
    MRPFiltersSaveSettings(trlMRPFilters, FPlanScheme->DataFilters);
    LoadMRPFilters();
}

void TMRPFrame::cboNeedScopePropertiesChange()
{
    SetSafetyItems(cboNeedScope->currentIndex() == 0);
}

void TMRPFrame::actSetMRPFilterExecute()
{
    if (FPlanScheme->SchemeIID == 0 && !actSetMRPFilter->isEnabled())
        return;
    MRPFiltersShowFilter(trlMRPFilters, FPlanScheme->DataFilters, !actSetMRPFilter->isEnabled());
}

void TMRPFrame::actSetPlanPeriodsExecute()
{
    if (!actSetPlanPeriods->isEnabled())
        return;
    TPlanScheme& s = *FPlanScheme;
    QDate start = QDate::currentDate();
    if (s.PlanPeriods.size() > 2) {
        const QDate first = QDate(1899, 12, 30).addDays(qint64(GetPlanBeginDate(s.PlanPeriods)));
        if (start > first)
            start = first;
    }
    if (ShowSetPlanPeriodsDlg(s.PlanPeriods, s.PlanCalIID, GlobalADOQuery, start))
        FillPlanPeriodTree(trlPlanPeriods, s.PlanPeriods);
}

