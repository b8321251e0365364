#include "QZ_MRP.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsInfoEdit.h"
#include "clsInfoFrame.h"
#include "famMRPAllot.h"
#include "famMRPBalance.h"
#include "famMRPBills.h"
#include "famMRPSupplies.h"
#include "famItemSetting.h"
#include "famMRPReplaces.h"
#include "famMRPMain.h"
#include "famMRP.h"
#include "famMRPOutput.h"
#include "famMRPmini.h"
#include "edtForcast.h"
#include "dlgWorkCalendar.h"
#include "dlgMRPRelease.h"
#include "famDeduction.h"
#include "famBOMExpand.h"
#include "famItemSubs.h"
#include "untDeductActions.h"
#include "untForcastState.h"

#include <QApplication>
#include <QGuiApplication>
#include <functional>
#include <vector>

namespace {

// The library's hold on the host: its GUI application and the login count
// seen when the environment was last adopted.
QApplication* Application = nullptr;
int StoredLoginTick = 0;

const QString kNotOpenYet = QStringLiteral("很抱歉, 此功能处于内部测试阶段, 暂时不开放使用!");
const QString kSelectFirst = QStringLiteral("请选择待处理数据后重试!");
const QString kConfirmAction = QStringLiteral("对所选择数据进行[%s], 确定?");
const QString kActionFailed = QStringLiteral("因不满足执行条件或其他原因, 执行[%s]不成功!");
const QString kPartlyFailed = QStringLiteral("因不满足执行条件或其他原因, 部分数据执行不成功!");

bool sameID(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

template <typename Entry>
const Entry* findEntry(const std::vector<Entry>& table, TInfoObjectDef* def)
{
    if (!def)
        return nullptr;
    for (const Entry& e : table)
        if (sameID(e.ID, def->ID))
            return &e;
    return nullptr;
}

// Dispatch tables: one entry per identifier whose class the library holds.
struct ViewEntry {
    QString ID;
    std::function<IInfoViewPtr(TInfoObjectDef*)> Create;
};
struct FrameEntry {
    QString ID;
    std::function<IInfoFramePtr(TInfoObjectDef*)> Create;
};
struct FormEntry {
    QString ID;
    std::function<void()> Show;
};
struct EditEntry {
    QString ID;
    std::function<IInfoEditPtr(TInfoObjectDef*)> Create;
};
struct ActionEntry {
    QString ID;
    std::function<void(const IInfoViewPtr&, TInfoObjectDef*, const QString&, bool&)> Run;
};

const std::vector<ViewEntry>& viewClasses()
{
    static const std::vector<ViewEntry> table{
        {QStringLiteral("QZ_MRP.MRP.Allot"), [](TInfoObjectDef* d) { return IInfoViewPtr(CreateInfoView<TMRPAllotFrame>(nullptr, d)); }},
        {QStringLiteral("QZ_MRP.MRP.Balance"), [](TInfoObjectDef* d) { return IInfoViewPtr(CreateInfoView<TMRPBalanceFrame>(nullptr, d)); }},
        {QStringLiteral("QZ_MRP.MRP.Main"), [](TInfoObjectDef* d) { return IInfoViewPtr(CreateInfoView<TMRPMainFrame>(nullptr, d)); }},
        {QStringLiteral("QZ_MRP.MRP.Bills"), [](TInfoObjectDef* d) { return IInfoViewPtr(CreateInfoView<TMRPBillsFrame>(nullptr, d)); }},
        {QStringLiteral("QZ_MRP.MRP.Replaces"), [](TInfoObjectDef* d) { return IInfoViewPtr(CreateInfoView<TMRPReplacesFrame>(nullptr, d)); }},
        {QStringLiteral("QZ_MRP.Deduct"), [](TInfoObjectDef* d) -> IInfoViewPtr { return CreateInfoView<TMRPDeductFrame>(nullptr, d); }},
        {QStringLiteral("QZ_MRP.MRP.Supplies"), [](TInfoObjectDef* d) { return IInfoViewPtr(CreateInfoView<TMRPSuppliesFrame>(nullptr, d)); }},
        {QStringLiteral("QZ_MRP.Items"), [](TInfoObjectDef* d) { return IInfoViewPtr(CreateInfoView<TItemSettingFrame>(nullptr, d)); }},
        {QStringLiteral("QZ_MRP.ItemSubs"), [](TInfoObjectDef* d) -> IInfoViewPtr { return CreateInfoView<TItemSubsFrame>(nullptr, d); }},
        {QStringLiteral("QZ_MRP.BOMExpand"), [](TInfoObjectDef* d) -> IInfoViewPtr { return CreateInfoView<TBOMExpandFrame>(nullptr, d); }},
        {QStringLiteral("QZ_MRP.MRPOutput"), [](TInfoObjectDef* d) -> IInfoViewPtr { return CreateInfoView<TMRPOutputFrame>(nullptr, d); }},
    };
    return table;
}

const std::vector<FrameEntry>& frameClasses()
{
    // A quick analysis whose first run does not finish opens no window.
    const auto miniFrame = [](TInfoObjectDef* d) -> IInfoFramePtr {
        try {
            return CreateInfoFrame<TMRPminiFrame>(d);
        } catch (const EAbort&) {
            return IInfoFramePtr();
        }
    };
    static const std::vector<FrameEntry> table{
        {QStringLiteral("QZ_MRP.MRP"), [](TInfoObjectDef* d) { return CreateInfoFrame<TMRPFrame>(d, true); }},
        {QStringLiteral("QZ_MRP.MRPQuery"), [](TInfoObjectDef* d) { return CreateInfoFrame<TMRPFrame>(d, false); }},
        {QStringLiteral("QZ_MRP.MRPmini"), miniFrame},
        {QStringLiteral("QZ_MRP.LackAnalyze"), miniFrame},
    };
    return table;
}

const std::vector<FormEntry>& formDialogs()
{
    static const std::vector<FormEntry> table{
        {QStringLiteral("QZ_MRP.Calendar"), &OpenWorkCalendar},
        {QStringLiteral("QZ_MRP.MRPRelease"), &ShowMRPReleaseDlg},
    };
    return table;
}

const std::vector<EditEntry>& editClasses()
{
    static const std::vector<EditEntry> table{
        {QStringLiteral("QZ_MRP.Forcast"), [](TInfoObjectDef* def) { return CreateInfoEdit<TForcastEditor>(nullptr, def); }},
    };
    return table;
}

const std::vector<ActionEntry>& actionRoutines()
{
    static const std::vector<ActionEntry> table{
        {QStringLiteral("QZ_MRP.Forcast"), &ExecForcastAction},
        {QStringLiteral("QZ_MRP.SO"), [](const IInfoViewPtr& v, TInfoObjectDef*, const QString& a, bool& r) { ExecSODeductAction(v, a, r); }},
        {QStringLiteral("QZ_MRP.SI"), [](const IInfoViewPtr& v, TInfoObjectDef*, const QString& a, bool& r) { ExecSIDeductAction(v, a, r); }},
        {QStringLiteral("QZ_MRP.DeductLog"), [](const IInfoViewPtr& v, TInfoObjectDef*, const QString& a, bool& r) { ExecDeductLogAction(v, a, r); }},
    };
    return table;
}

// The hourglass for the rest of a scope.
struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

bool isNull(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

} // namespace

void SetDllEnvironment(TInfoApplication* AApplication)
{
    if (!AApplication)
        return;
    if (QApplication* host = AApplication->GetApplication(); Application != host)
        Application = host;
    if (InfoApplication && StoredLoginTick == AApplication->LoginTick)
        return;
    InfoApplication = AApplication;
    StoredLoginTick = AApplication->LoginTick;

    // The library's own connection and query, on the database of this login.
    const TLoginInfo& info = AApplication->LoginInfo;
    GlobalADOConnection->Close();
    SetupADOConnection(GlobalADOConnection);
    ApplyConnectionString(GlobalADOConnection, info.DBType, info.DBLocation, info.DBName, info.DBLoginID, info.DBPassword,
                          info.DBOptions, false);
    GlobalADOQuery->Close();
    GlobalADOQuery->SetConnection(GlobalADOConnection);
    SetupADOQuery(GlobalADOQuery);
}

void LoadInfoView(IInfoViewPtr& AView, TInfoApplication* AApplication, TInfoObjectDef* AObjectDef)
{
    AView.reset();
    SetDllEnvironment(AApplication);
    if (const ViewEntry* e = findEntry(viewClasses(), AObjectDef))
        AView = e->Create(AObjectDef);
}

void LoadInfoFrame(IInfoFramePtr& AFrame, TInfoApplication* AApplication, TInfoObjectDef* AObjectDef)
{
    AFrame.reset();
    SetDllEnvironment(AApplication);
    if (const FrameEntry* e = findEntry(frameClasses(), AObjectDef))
        AFrame = e->Create(AObjectDef);
    else
        ShowInfo(kNotOpenYet);
}

QWidget* LoadInfoForm(TInfoApplication* AApplication, TInfoObjectDef* AObjectDef)
{
    SetDllEnvironment(AApplication);
    // The dialogs are shown modally and closed again: the host opens no window.
    if (const FormEntry* e = findEntry(formDialogs(), AObjectDef))
        e->Show();
    return nullptr;
}

void LoadInfoEdit(IInfoEditPtr& AEdit, TInfoApplication* AApplication, TInfoObjectDef* AObjectDef)
{
    AEdit.reset();
    SetDllEnvironment(AApplication);
    if (const EditEntry* e = findEntry(editClasses(), AObjectDef))
        AEdit = e->Create(AObjectDef);
}

void LoadInfoAction(TInfoApplication* AApplication, TInfoObjectDef* AObjectDef, const QString& AActionID,
                    const IInfoViewPtr& AView, bool& ARefresh)
{
    SetDllEnvironment(AApplication);
    // Held for the whole call, whatever the routine does with the host's view.
    const IInfoViewPtr view = AView;
    const QString actionID = AActionID;
    if (const ActionEntry* e = findEntry(actionRoutines(), AObjectDef))
        e->Run(view, AObjectDef, actionID, ARefresh);
}

void ExecForcastAction(const IInfoViewPtr& AView, TInfoObjectDef* AObjectDef, const QString& AActionID, bool& ARefresh)
{
    static const std::pair<const char*, int> kStateActions[] = {
        {"Delete", 4}, {"Check", 0}, {"UnCheck", 1}, {"Close", 2}, {"UnClose", 3},
    };
    for (const auto& [id, kind] : kStateActions)
        if (sameID(AActionID, QLatin1String(id))) {
            ExecForcastStateAction(AView, AObjectDef, AActionID, ARefresh, kind);
            return;
        }
    ExecForcastDeductAction(AView, AActionID, ARefresh);
}

void ExecForcastStateAction(const IInfoViewPtr& AView, TInfoObjectDef* ADef, const QString& AActionID, bool& ARefresh,
                            int AKind)
{
    ARefresh = false;
    const int n = AView ? AView->GetSelectedRecordCount() : 0;
    // Rows without a forecast identity take no part; when no selected row has
    // one there is nothing to do, which is what the user is told.
    bool anyBill = false;
    for (int i = 0; i < n && !anyBill; ++i)
        anyBill = !isNull(AView->GetSelectedRecordValue(i, QStringLiteral("ForID")));
    if (!anyBill) {
        ShowInfo(kSelectFirst);
        return;
    }

    PInfoActionDef action = ADef ? ADef->GetActionDef(AActionID) : nullptr;
    const QString caption = action ? action->Name : AActionID;
    if (ShowQuestion(FormatMessage(kConfirmAction, {caption}), int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) != kvos::IDOK)
        return;

    int count = 0;
    int failures = 0;
    {
        WaitCursor hourglass;
        // Whole-bill changes (check, uncheck, delete) run once per bill however
        // many of its lines are selected; line changes run for every line.
        const bool wholeBill = AKind == 0 || AKind == 1 || AKind == 4;
        QStringList processed;
        for (int i = 0; i < n; ++i) {
            const QVariant id = AView->GetSelectedRecordValue(i, QStringLiteral("ForID"));
            if (isNull(id))
                continue;
            const QString idText = id.toString();
            if (wholeBill && processed.contains(idText, Qt::CaseInsensitive))
                continue;
            ++count;
            const QString entry = AView->GetSelectedRecordValue(i, QStringLiteral("ForEntry")).toString();
            if (!UpdateForcastState(idText, entry, AKind))
                ++failures;
            if (wholeBill)
                processed.append(idText);
        }
    }

    const QString done = u'[' + caption + u']' + UCommonText::Finished;
    if (failures == 0)
        ShowInfo(done);
    else if (failures == count)
        ShowError(FormatMessage(kActionFailed, {caption}));
    else
        ShowWarning(done + kPartlyFailed);
    ARefresh = true;
}
