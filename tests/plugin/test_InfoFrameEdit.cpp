// The base frame and the base editor of the planning library.
#include "AccountSetFixture.h"
#include "clsInfoEdit.h"
#include "clsInfoFrame.h"

#include <QThread>
#include <gtest/gtest.h>

namespace {

class TPlainFrame : public TCustomInfoFrame {
public:
    using TCustomInfoFrame::TCustomInfoFrame;
};

// An editor that records what the base asks of it.
class TProbeEdit : public TCustomInfoEdit {
public:
    using TCustomInfoEdit::TCustomInfoEdit;

    int inits = 0, saves = 0;
    QString titleAtInit;
    bool saveResult = true;
    TEditMode modeAfterSave = emNone;
    bool failOpen = false;
    QStringList opens; // "keys|action"

    QString GetCaption() override { return QStringLiteral("预测单"); }
    void InitializeEdit() override
    {
        ++inits;
        titleAtInit = lblTitle->text();
    }
    bool SaveData() override
    {
        ++saves;
        if (saveResult)
            EditMode = modeAfterSave;
        return saveResult;
    }
    void OpenData(const QString& AKeyValues, const QString& AActionID) override
    {
        opens << AKeyValues + u'|' + AActionID;
        if (failOpen)
            throw Exception(QStringLiteral("读取失败"));
    }
};

TProbeEdit* probe(const IInfoEditPtr& edit)
{
    return dynamic_cast<TProbeEdit*>(edit.get());
}

} // namespace

TEST(InfoFrame, DefaultsAndUniqueNames)
{
    IInfoFramePtr a = CreateInfoFrame<TPlainFrame>();
    TCommandState state;
    EXPECT_TRUE(a->QueryClose());
    EXPECT_FALSE(a->QueryCommandState(Commands::Refresh, state));
    EXPECT_EQ(state, TCommandState());
    EXPECT_FALSE(a->ExecCommand(Commands::Refresh));
    auto* frame = dynamic_cast<TPlainFrame*>(a.get());
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->objectName().startsWith("CustomInfoFrame")) << frame->objectName().toStdString();
    QThread::msleep(2);
    IInfoFramePtr b = CreateInfoFrame<TPlainFrame>();
    EXPECT_NE(dynamic_cast<QObject*>(b.get())->objectName(), frame->objectName());

    // placed in a window, the window owns it; unplaced, the last pointer frees it
    QWidget window;
    QPointer<QObject> placed(frame);
    a->SetParentControl(&window);
    EXPECT_EQ(frame->parentWidget(), &window);
    a.reset();
    EXPECT_FALSE(placed.isNull());
    QPointer<QObject> loose(dynamic_cast<QObject*>(b.get()));
    b.reset();
    EXPECT_TRUE(loose.isNull());
}

class InfoEditTest : public AccountSetFixture {
protected:
    void SetUp() override
    {
        AccountSetFixture::SetUp();
        if (IsSkipped())
            return;
        login("admin", "null", true);
        def = app->GetInfoObjectDef("QZ_MRP.Forcast");
        ASSERT_NE(def, nullptr);
        edit = CreateInfoEdit<TProbeEdit>(nullptr, def);
        e = probe(edit);
        ASSERT_NE(e, nullptr);
    }
    int actionCommand(const QString& id) { return Commands::FirstAction + def->IndexOfAction(id); }
    bool enabled(int command)
    {
        TCommandState state;
        const bool handled = edit->QueryCommandState(command, state);
        return handled && state.testFlag(csEnabled);
    }

    TInfoObjectDef* def = nullptr;
    IInfoEditPtr edit;
    TProbeEdit* e = nullptr;
};

TEST_F(InfoEditTest, ConstructionOrder)
{
    EXPECT_EQ(e->inits, 1);
    EXPECT_EQ(e->titleAtInit, "预测单"); // the derived caption, before InitializeEdit
    EXPECT_TRUE(e->lblState->text().isEmpty());
    EXPECT_EQ(e->ViewScheme.ID, "QZ_MRP.Forcast/#");
    EXPECT_EQ(e->qryMain->Connection(), GlobalADOConnection);
    EXPECT_TRUE(e->objectName().startsWith("CustomInfoEdit"));
    EXPECT_EQ(edit->GetObjectDef(), def);
}

TEST_F(InfoEditTest, QueryCloseAsksOnlyAboutUnsavedEdits)
{
    // showing, or editing without changes: no question
    EXPECT_TRUE(edit->QueryClose());
    e->EditMode = emModify;
    EXPECT_TRUE(edit->QueryClose());
    EXPECT_TRUE(boxes.shown.isEmpty());

    e->Modified = true;
    boxes.answer({kvos::IDCANCEL});
    EXPECT_FALSE(edit->QueryClose());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "您将退出[预测单]的当前编辑状态, 对未保存过的内容进行保存?");
    EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDCANCEL);
    EXPECT_EQ(e->saves, 0);

    e->saveResult = false;
    boxes.answer({kvos::IDYES});
    EXPECT_FALSE(edit->QueryClose());
    EXPECT_EQ(e->saves, 1);

    boxes.answer({kvos::IDNO});
    EXPECT_TRUE(edit->QueryClose());
    EXPECT_EQ(e->saves, 1);
    // the editor's scheme was stored for the user
    EXPECT_EQ(count("select count(*) from QZ_SYS_ViewSchemes where ViwID='QZ_MRP.Forcast/#' and ViwUsrID='admin'"), 1);
}

TEST_F(InfoEditTest, SaveCancelAndRefreshCommands)
{
    e->KeyValues = "ForID=FC2612001";
    // showing: only refresh
    EXPECT_FALSE(enabled(Commands::Save));
    EXPECT_FALSE(enabled(Commands::CancelEdits));
    EXPECT_TRUE(enabled(Commands::Refresh));
    TCommandState state;
    EXPECT_TRUE(edit->QueryCommandState(Commands::ExpandAll, state));
    EXPECT_TRUE(edit->QueryCommandState(Commands::CollapseAll, state));
    EXPECT_EQ(state, TCommandState());
    EXPECT_FALSE(edit->QueryCommandState(Commands::Export, state));
    EXPECT_FALSE(edit->ExecCommand(Commands::Export));

    EXPECT_TRUE(edit->ExecCommand(Commands::Refresh));
    EXPECT_EQ(e->opens, QStringList{"ForID=FC2612001|"});

    // editing
    e->EditMode = emModify;
    e->Modified = true;
    EXPECT_TRUE(enabled(Commands::Save));
    EXPECT_TRUE(enabled(Commands::CancelEdits));
    EXPECT_FALSE(enabled(Commands::Refresh));
    EXPECT_TRUE(edit->ExecCommand(Commands::Refresh));
    EXPECT_EQ(e->opens.size(), 1); // no reload while editing

    // a save that leaves the editor editing does not reload; one that ends it does
    e->saveResult = true;
    e->modeAfterSave = emModify;
    EXPECT_TRUE(edit->ExecCommand(Commands::Save));
    EXPECT_EQ(e->opens.size(), 1);
    e->modeAfterSave = emNone;
    EXPECT_TRUE(edit->ExecCommand(Commands::Save));
    EXPECT_EQ(e->opens.size(), 2);
}

TEST_F(InfoEditTest, CancelEditsKeepsTheEditsWhenReloadFails)
{
    e->KeyValues = "ForID=FC2612001";
    e->EditMode = emModify;

    // untouched: reloads at once, without a question
    EXPECT_TRUE(edit->ExecCommand(Commands::CancelEdits));
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(e->opens.size(), 1);

    // changed: the user keeps the edits
    e->Modified = true;
    boxes.answer({kvos::IDCANCEL});
    EXPECT_TRUE(edit->ExecCommand(Commands::CancelEdits));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "所有未保存过的编辑内容将被放弃, 确定?");
    EXPECT_EQ(boxes.shown[0].icon(), kvos::MB_ICONWARNING);
    EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDCANCEL);
    EXPECT_TRUE(e->Modified);
    EXPECT_EQ(e->opens.size(), 1);

    // the record cannot be read again: the edits are still unsaved
    e->failOpen = true;
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(edit->ExecCommand(Commands::CancelEdits));
    EXPECT_TRUE(e->Modified);
    EXPECT_TRUE(enabled(Commands::Save));

    e->failOpen = false;
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(edit->ExecCommand(Commands::CancelEdits));
    EXPECT_FALSE(e->Modified);
}

TEST_F(InfoEditTest, ActionCommands)
{
    const int newCmd = actionCommand("New"), updateCmd = actionCommand("Update"), printCmd = actionCommand("Print"),
              checkCmd = actionCommand("Check");
    const int beyond = Commands::FirstAction + int(def->Actions.size());
    TCommandState state;
    EXPECT_FALSE(edit->QueryCommandState(beyond, state));
    EXPECT_FALSE(edit->ExecCommand(beyond));

    // New is always open; an action with a filter needs the query's "#ID" column at 1
    EXPECT_TRUE(enabled(newCmd));
    EXPECT_TRUE(enabled(printCmd));  // no filter
    EXPECT_FALSE(enabled(updateCmd)); // query closed
    e->qryMain->SQL.SetText("select 1 as [x] where 1=0");
    e->qryMain->Open();
    EXPECT_FALSE(enabled(updateCmd)); // empty
    e->qryMain->Close();
    e->qryMain->SQL.SetText("select 1 as [x]");
    e->qryMain->Open();
    EXPECT_FALSE(enabled(updateCmd)); // no "#Update" column
    e->qryMain->Close();
    e->qryMain->SQL.SetText("select [#Update]=1, [#Check]=0");
    e->qryMain->Open();
    EXPECT_TRUE(enabled(updateCmd));
    EXPECT_FALSE(enabled(checkCmd));
    e->EditMode = emModify;
    EXPECT_FALSE(enabled(updateCmd)); // only while showing
    EXPECT_FALSE(enabled(printCmd));
    EXPECT_TRUE(enabled(newCmd));

    // New while editing with changes: Cancel stops, No drops the changes
    e->Modified = true;
    e->KeyValues = "ForID=FC2612001";
    boxes.answer({kvos::IDCANCEL});
    EXPECT_FALSE(edit->ExecCommand(newCmd));
    EXPECT_TRUE(e->opens.isEmpty());
    e->saveResult = false;
    boxes.answer({kvos::IDYES});
    EXPECT_FALSE(edit->ExecCommand(newCmd));
    EXPECT_TRUE(e->opens.isEmpty());
    boxes.answer({kvos::IDNO});
    EXPECT_TRUE(edit->ExecCommand(newCmd));
    EXPECT_FALSE(e->Modified);
    EXPECT_EQ(e->opens, QStringList{"|New"});

    EXPECT_TRUE(edit->ExecCommand(updateCmd));
    EXPECT_EQ(e->opens.last(), "ForID=FC2612001|Update");
    EXPECT_FALSE(edit->ExecCommand(printCmd)); // other kinds are the derived editor's
}

TEST_F(InfoEditTest, DataInEditTakesOnlyAnUntouchedNewRecord)
{
    EXPECT_FALSE(edit->DataInEdit(""));
    e->EditMode = emNew;
    EXPECT_TRUE(edit->DataInEdit(""));
    EXPECT_FALSE(edit->DataInEdit("ForID=FC2612001"));
    e->Modified = true;
    EXPECT_FALSE(edit->DataInEdit(""));
}

TEST_F(InfoEditTest, SelectStatementOverTheDefinition)
{
    const QString sql = e->BuildFieldSelectList("ForNo|ForQty", QString(), "s.ForID='FC2612001'", QString());
    // keys and the listed fields, from the last field to the first; keys order the rows
    EXPECT_TRUE(sql.startsWith("select ")) << sql.toStdString();
    EXPECT_TRUE(sql.endsWith(" order by [ForID], [ForEntry]")) << sql.toStdString();
    EXPECT_LT(sql.indexOf("as [ForQty]"), sql.indexOf("as [ForID]"));
    EXPECT_FALSE(sql.contains("as [ItmName]"));
    EXPECT_TRUE(sql.contains("[#Update]=(case when s.Checked=0 then 1 else 0 end)"));
    EXPECT_TRUE(sql.contains("[#NoAutoDed]=(case when isnull(x.ForDedADis,0)=0 then 1 else 0 end)"));
    // the statement runs on the account set
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    q.SQL.SetText(sql);
    ASSERT_NO_THROW(q.Open());
    EXPECT_EQ(q.RecordCount(), 5);
    EXPECT_EQ(q.FieldByName("#Update")->AsInteger(), 0); // checked bill

    // an order given by the caller replaces the keys; extra fields follow the fields
    const QString ordered = e->BuildFieldSelectList("", "1 as [One]", "1=0", "[ForEntry] desc");
    EXPECT_TRUE(ordered.endsWith(" where 1=0 order by [ForEntry] desc")) << ordered.toStdString();
    EXPECT_LT(ordered.indexOf("as [ForID]"), ordered.indexOf("1 as [One]"));
    EXPECT_LT(ordered.indexOf("1 as [One]"), ordered.indexOf("[#Update]"));

    // view and global actions outside the editor bring no column, unless they update
    TInfoObjectDef copy = *def;
    copy.GetActionDef("Close")->Kind = akView;
    copy.GetActionDef("Update")->Kind = akGlobal;
    IInfoEditPtr other = CreateInfoEdit<TProbeEdit>(nullptr, &copy);
    const QString skipped = probe(other)->BuildFieldSelectList("", "", "1=0", "");
    EXPECT_FALSE(skipped.contains("[#Close]"));
    EXPECT_TRUE(skipped.contains("[#Update]"));
    EXPECT_TRUE(skipped.contains("[#UnClose]"));
}

TEST_F(InfoEditTest, DetailColumnsAndRows)
{
    kvui::TreeList tree;
    tree.setShowFooter(true);
    auto* qty = tree.addColumn();
    qty->setFooterSummary(kvui::SummaryKind::Sum);
    auto* unknown = tree.addColumn();
    auto* hidden = tree.addColumn();
    auto* second = tree.addColumn();

    e->BindFieldColumn(qty, "ForQty");
    e->BindFieldColumn(unknown, "NoSuchField");
    e->BindFieldColumn(hidden, "ForID");
    e->BindFieldColumn(second, "forqty"); // already bound: nothing changes
    EXPECT_EQ(e->FindFieldColumn("ForQty"), qty);
    EXPECT_EQ(e->FindFieldColumn("Other"), nullptr);
    const TInfoFieldDef* qtyDef = def->GetFieldDef("ForQty");
    const qsizetype slash = qtyDef->Name.indexOf('\\');
    EXPECT_EQ(qty->caption(), slash >= 0 ? qtyDef->Name.mid(slash + 1) : qtyDef->Name);
    EXPECT_TRUE(qty->isVisible());
    EXPECT_EQ(qty->footerSummary().format, "###,###,###,##0.########");
    EXPECT_FALSE(unknown->isVisible());
    EXPECT_EQ(hidden->isVisible(), !def->GetFieldDef("ForID")->HideList);
    EXPECT_TRUE(second->caption().isEmpty());

    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    q.SQL.SetText("select ForQty, ForEntry from QZ_MRP_Forcast order by ForEntry");
    q.Open();
    tree.addNode(); // old rows go
    e->LoadDetailRows(&tree, &q);
    ASSERT_EQ(tree.topCount(), 5);
    EXPECT_EQ(tree.topNode(0)->value(qty).toDouble(), 600.0);
    EXPECT_FALSE(tree.topNode(0)->value(unknown).isValid());

    q.Close();
    q.SQL.SetText("select ForQty from QZ_MRP_Forcast where 1=0");
    q.Open();
    e->LoadDetailRows(&tree, &q);
    EXPECT_EQ(tree.topCount(), 0);
}
