// The built plug-in loaded by name through the host's library loader, after a
// real login through the ERP integration library: its six exports, the
// adoption of the host's login, the dispatch by identifier and the forecast
// state actions against the demo account set's stored procedure.
#include "NewAccountSet.h"
#include "QZ_MRP.h"
#include "StandInProcedures.h"
#include "ScriptedMessageBoxes.h"
#include "TsqlEngine.h"
#include "UDBComm.h"
#include "untAppFrame.h"
#include "untInfoObjectDefLoader.h"
#include "untLibraryLoader.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString kPlugin = QStringLiteral("QZ_MRP.dll");

void writeFile(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

// One program folder for the whole test program (a library loads once per process).
QTemporaryDir& programDir()
{
    static QTemporaryDir dir;
    return dir;
}

// A host view with fixed selected rows.
class TRowsView : public IInfoView {
public:
    explicit TRowsView(QList<QVariantMap> rows) : Rows(std::move(rows)) {}
    QList<QVariantMap> Rows;

    int GetSelectedRecordCount() override { return int(Rows.size()); }
    QVariant GetSelectedRecordValue(int AIndex, const QString& AFieldID) override { return Rows.at(AIndex).value(AFieldID); }

    void InitializeView(const QString&, const IInfoViewPtr&) override {}
    void NotifyDetailCreated(const IInfoViewPtr&) override {}
    void SetViewID(const QString&) override {}
    void SetViewCaption(const QString&) override {}
    void SetParentControl(QWidget*) override {}
    void SetOnFocusedRecordChanged(TNotifyEvent) override {}
    void SetDataFilter(const QString&, bool) override {}
    void SetMasterValues(const QString&, bool) override {}
    void SetSelectedRecordValue(int, const QString&, const QVariant&) override {}
    void SetViewPosition(const QString&) override {}
    void MakeFocus() override {}
    void RefreshData(bool) override {}
    void CloseData() override {}
    TInfoObjectDef* GetObjectDef() override { return nullptr; }
    QString GetViewCaption() override { return {}; }
    PViewScheme GetViewScheme() override { return nullptr; }
    QString GetViewPosition() override { return {}; }
    bool GetEditMode() override { return false; }
    IInfoViewPtr GetActiveView() override { return nullptr; }
    IInfoViewPtr GetRelationView(const QString&) override { return nullptr; }
    QString GetFocusedRecordString(const QString&) override { return {}; }
    bool IsFocused() override { return false; }
    bool DataRefreshed() override { return true; }
    bool NeedSave() override { return false; }
    bool QueryClose() override { return true; }
    bool QueryCommandState(int, TCommandState&) override { return false; }
    bool ExecCommand(int) override { return false; }
};

QVariantMap line(const QVariant& id, const QVariant& entry)
{
    return {{QStringLiteral("ForID"), id}, {QStringLiteral("ForEntry"), entry}};
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString folder = programDir().path();
        QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/libERPAccess.so"),
                    folder + QStringLiteral("/libERPAccess.so"));
        AppFramePaths().ProgramFolder = folder;
        AppFramePaths().SettingsFile = folder + QStringLiteral("/Korvane.ini");
        QFile::remove(AppFramePaths().SettingsFile);
        InitAppFrameUnit();
        // The account set's stored procedures, registered once by the host
        // for every embedded connection of the process, the plug-in's too.
        kvdemo::registerStandInProcedures();
        InfoApplication->LoginInfo = TLoginInfo();
        InfoApplication->ERPAccess.reset();
        ReadProgramSettings();
        ForgetIntegrationLibraryPath();

        // Two account sets: the login chooses one.
        for (QString* file : {&dbA, &dbB}) {
            *file = dbDir.filePath(file == &dbA ? "a.kvdb" : "b.kvdb");
            QString error;
            ASSERT_TRUE(kvdemo::createAccountSet(*file, &error)) << error.toStdString();
        }
        writeFile(folder + "/ERPAccountSets.cfg", "[演示账套]\nID=7\nNo=001\nLocation=" + dbA
                                                       + "\nDatabase=KorvaneDemo\nLoginID=\nPassword=\n"
                                                         "[测试账套]\nID=8\nNo=002\nLocation="
                                                       + dbB + "\nDatabase=KorvaneTest\nLoginID=\nPassword=\n");
        writeFile(folder + "/ERPaccess.cfg", "[ERPaccess]\nLibrary=ERPAccess.dll\n");
        // An unchecked bill of three lines in each account set.
        for (const QString& file : {dbA, dbB})
            for (int entry = 1; entry <= 3; ++entry)
                exec(file, QStringLiteral("insert QZ_MRP_Forcast (ForID, ForNo, ForEntry, ForDate, ForDeptID, ForItmID, ForUntID, "
                                          "ForBillQty, ForUBillQty, ForQty, ForOkQty, ForDelivDate, ForBomType, ForBomID, "
                                          "Checked, Closed, CanMRP) values ('FC-T1', 'FC-T-001', %1, '20261205', 'D01', "
                                          "'IFG-9001', 'PCS', 10, 10, 10, 0, '20270131', 0, 'B-FG-9001', 0, 0, 0)")
                                .arg(entry));
        for (const QString& file : {dbA, dbB})
            exec(file, "insert QZ_MRP_ForcastHead (ForID, ForNo, ForDate, ForDeptID, ForUsrID, Checked, Closed) "
                       "values ('FC-T1', 'FC-T-001', '20261205', 'D01', 'plan01', 0, 0)");
    }

    void TearDown() override
    {
        if (!InfoApplication->LoginInfo.UserID.isEmpty())
            SystemLogout();
    }

    static void exec(const QString& file, const QString& sql)
    {
        auto c = kvtsql::Connection::open(file);
        const auto r = c->execute(sql);
        ASSERT_TRUE(r.errors.isEmpty()) << r.errors.first().message.toStdString();
    }
    static QString value(const QString& file, const QString& sql)
    {
        auto c = kvtsql::Connection::open(file);
        const auto r = c->execute(sql);
        if (!r.errors.isEmpty() || r.resultSets.isEmpty() || r.resultSets.first().rows.isEmpty())
            return QStringLiteral("<none>");
        return r.resultSets.first().rows.first().first().toString();
    }
    // The Checked and Closed flags of the test bill's lines, "ck/cl" per line.
    static QString lineStates(const QString& file, const QString& id = QStringLiteral("FC-T1"))
    {
        auto c = kvtsql::Connection::open(file);
        const auto r = c->execute("select Checked, Closed from QZ_MRP_Forcast where ForID='" + id + "' order by ForEntry");
        QStringList out;
        for (const auto& row : r.resultSets.first().rows)
            out << QString::number(row[0].toInt()) + u'/' + QString::number(row[1].toInt());
        return out.join(u' ');
    }

    // Logs in through the ERP's dialog into account set 0 (a) or 1 (b).
    static bool login(int accountSet, const QString& userNo = QStringLiteral("plan01"))
    {
        QTimer::singleShot(0, [=] {
            QWidget* dlg = QApplication::activeModalWidget();
            ASSERT_NE(dlg, nullptr);
            dlg->findChild<QComboBox*>("cboAccountSet")->setCurrentIndex(accountSet);
            dlg->findChild<QLineEdit*>("edtUserNo")->setText(userNo);
            dlg->findChild<QLineEdit*>("edtPassword")->setText("123");
            QMetaObject::invokeMethod(dlg, "accept");
        });
        return SystemLogin();
    }

    template <typename P>
    P proc(const char* name)
    {
        return reinterpret_cast<P>(GetDllProc(kPlugin, QString::fromLatin1(name)));
    }

    // Runs an action of the forecast object through the plug-in's action export.
    bool runAction(const QString& objectID, const QString& actionID, QList<QVariantMap> rows)
    {
        auto loadAction = proc<TLoadInfoActionProc>("LoadInfoAction");
        EXPECT_NE(loadAction, nullptr);
        TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(objectID);
        EXPECT_NE(def, nullptr);
        bool refresh = false;
        IInfoViewPtr view = std::make_shared<TRowsView>(std::move(rows));
        loadAction(InfoApplication, def, actionID, view, refresh);
        return refresh;
    }

    QTemporaryDir dbDir;
    QString dbA, dbB;
};

} // namespace

TEST_F(PluginTest, LoadedByTheDefinitionsLibraryNameWithItsSixExports)
{
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(login(0));
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef("QZ_MRP.Forcast");
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->DllName, kPlugin);
    ASSERT_NE(LoadDll(def->DllName), nullptr);
    for (const char* name : {"SetDllEnvironment", "LoadInfoView", "LoadInfoFrame", "LoadInfoForm", "LoadInfoEdit", "LoadInfoAction"})
        EXPECT_NE(GetDllProc(def->DllName, QString::fromLatin1(name)), nullptr) << name;
    // nothing else of the library's own units is visible from outside
    for (const char* name : {"GlobalADOConnection", "InfoApplication", "ExecForcastStateAction"})
        EXPECT_EQ(GetDllProc(def->DllName, QString::fromLatin1(name)), nullptr) << name;
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(PluginTest, ReconnectsOncePerLogin)
{
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(login(0));
    // The first call adopts the login: the library's connection reaches account set a.
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "Close", {line("FC2612001", 1)}));
    EXPECT_EQ(value(dbA, "select Closed from QZ_MRP_Forcast where ForID='FC2612001' and ForEntry=1"), "1");
    EXPECT_EQ(boxes.shown.last().text, "[关闭]执行完成。");

    // A second call in the same login keeps that connection, whatever the
    // login record says meanwhile: only a new login count makes it rebuild.
    const QString location = InfoApplication->LoginInfo.DBLocation;
    InfoApplication->LoginInfo.DBLocation = dbB;
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "Close", {line("FC2612001", 2)}));
    InfoApplication->LoginInfo.DBLocation = location;
    EXPECT_EQ(value(dbA, "select Closed from QZ_MRP_Forcast where ForID='FC2612001' and ForEntry=2"), "1");
    EXPECT_EQ(value(dbB, "select Closed from QZ_MRP_Forcast where ForID='FC2612001' and ForEntry=2"), "0");

    // Log out, log in to account set b: the next call works there.
    ASSERT_TRUE(SystemLogout());
    ASSERT_TRUE(login(1));
    EXPECT_EQ(InfoApplication->LoginInfo.DBLocation, dbB);
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "Close", {line("FC2612001", 3)}));
    EXPECT_EQ(value(dbB, "select Closed from QZ_MRP_Forcast where ForID='FC2612001' and ForEntry=3"), "1");
    EXPECT_EQ(value(dbA, "select Closed from QZ_MRP_Forcast where ForID='FC2612001' and ForEntry=3"), "0");
}

TEST_F(PluginTest, DispatchIgnoresLetterCase)
{
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(login(0));
    TInfoObjectDef* forcast = InfoApplication->GetInfoObjectDef("QZ_MRP.Forcast");
    ASSERT_NE(forcast, nullptr);
    TInfoObjectDef lower = *forcast;
    lower.ID = "qz_mrp.FORCAST";
    auto loadAction = proc<TLoadInfoActionProc>("LoadInfoAction");
    ASSERT_NE(loadAction, nullptr);
    bool refresh = false;
    boxes.answer({kvos::IDOK});
    loadAction(InfoApplication, &lower, "cHeCk", std::make_shared<TRowsView>(QList<QVariantMap>{line("FC-T1", 1)}), refresh);
    EXPECT_TRUE(refresh);
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].text, "对所选择数据进行[审核], 确定?"); // the action's name, found ignoring case
    EXPECT_EQ(boxes.shown[1].text, "[审核]执行完成。");
    EXPECT_EQ(lineStates(dbA), "1/0 1/0 1/0");
}

TEST_F(PluginTest, BalanceViewsByIdentifier)
{
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(login(0));
    for (const char* id : {"QZ_MRP.MRP.Balance", "qz_mrp.mrp.BILLS"}) {
        TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(id);
        ASSERT_NE(def, nullptr) << id;
        IInfoViewPtr view;
        proc<TLoadInfoViewProc>("LoadInfoView")(view, InfoApplication, def);
        ASSERT_NE(view, nullptr) << id;
        EXPECT_EQ(view->GetObjectDef(), def);
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(PluginTest, UnknownIdentifiers)
{
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(login(0));
    TInfoObjectDef def;
    def.ID = "QZ_MRP.NoSuchThing";
    def.DllName = kPlugin;

    IInfoViewPtr view = std::make_shared<TRowsView>(QList<QVariantMap>{});
    proc<TLoadInfoViewProc>("LoadInfoView")(view, InfoApplication, &def);
    EXPECT_EQ(view, nullptr);
    IInfoEditPtr edit;
    proc<TLoadInfoEditProc>("LoadInfoEdit")(edit, InfoApplication, &def);
    EXPECT_EQ(edit, nullptr);
    EXPECT_EQ(proc<TLoadInfoFormProc>("LoadInfoForm")(InfoApplication, &def), nullptr);
    bool refresh = false;
    proc<TLoadInfoActionProc>("LoadInfoAction")(InfoApplication, &def, "Check", view, refresh);
    EXPECT_FALSE(refresh);
    EXPECT_TRUE(boxes.shown.isEmpty()); // unknown views, editors, forms and actions are silent

    IInfoFramePtr frame;
    proc<TLoadInfoFrameProc>("LoadInfoFrame")(frame, InfoApplication, &def);
    EXPECT_EQ(frame, nullptr);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "很抱歉, 此功能处于内部测试阶段, 暂时不开放使用!");
    EXPECT_EQ(boxes.shown[0].icon(), kvos::MB_ICONINFORMATION);

    // an action ID the forecast object does not route does nothing
    EXPECT_FALSE(runAction("QZ_MRP.Forcast", "Export", {line("FC-T1", 1)}));
    EXPECT_EQ(boxes.shown.size(), 1);
}

TEST_F(PluginTest, ForecastStateActions)
{
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(login(0));
    const QList<QVariantMap> threeLines{line("FC-T1", 1), line("fc-t1", 2), line("FC-T1", 3)};

    // Cancel: nothing runs, no refresh
    boxes.answer({kvos::IDCANCEL});
    EXPECT_FALSE(runAction("QZ_MRP.Forcast", "Check", threeLines));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDCANCEL);
    EXPECT_EQ(lineStates(dbA), "0/0 0/0 0/0");

    // check on three lines of one bill: one call, which checks the whole bill (a second call
    // would be refused as already checked and turn the box into a warning)
    boxes.shown.clear();
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "Check", threeLines));
    EXPECT_EQ(lineStates(dbA), "1/0 1/0 1/0");
    EXPECT_EQ(value(dbA, "select Checked from QZ_MRP_ForcastHead where ForID='FC-T1'"), "1");
    EXPECT_EQ(value(dbA, "select ForCheckerID from QZ_MRP_ForcastHead where ForID='FC-T1'"), "plan01");
    EXPECT_EQ(boxes.shown.last().text, "[审核]执行完成。");

    // close on the same selection: three changes
    boxes.shown.clear();
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "Close", threeLines));
    EXPECT_EQ(lineStates(dbA), "1/1 1/1 1/1");
    EXPECT_EQ(boxes.shown.last().text, "[关闭]执行完成。");

    // reopen: line 2 is reopened, a refused change is counted, not shown
    exec(dbA, "update QZ_MRP_Forcast set Closed=0 where ForID='FC-T1' and ForEntry=3");
    boxes.shown.clear();
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "UnClose", {line("FC-T1", 2), line("FC-T1", 3)}));
    EXPECT_EQ(lineStates(dbA), "1/1 1/0 1/0");
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[1].text, "[反关闭]执行完成。因不满足执行条件或其他原因, 部分数据执行不成功!");
    EXPECT_EQ(boxes.shown[1].icon(), kvos::MB_ICONWARNING);

    // every change refused: the error box, and still a refresh
    boxes.shown.clear();
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "Delete", threeLines)); // checked bills cannot go
    EXPECT_EQ(boxes.shown.last().text, "因不满足执行条件或其他原因, 执行[删除]不成功!");
    EXPECT_EQ(boxes.shown.last().icon(), kvos::MB_ICONERROR);
    EXPECT_EQ(value(dbA, "select count(*) from QZ_MRP_Forcast where ForID='FC-T1'"), "3");
}

TEST_F(PluginTest, ForecastStateActionsWithoutBills)
{
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(login(0));
    // no selected row
    EXPECT_FALSE(runAction("QZ_MRP.Forcast", "Check", {}));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "请选择待处理数据后重试!");

    // rows without a forecast identity: nothing to do, and the user is told so
    boxes.shown.clear();
    EXPECT_FALSE(runAction("QZ_MRP.Forcast", "Check", {line(QVariant(), 1), line(QVariant(), 2)}));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "请选择待处理数据后重试!");
    EXPECT_EQ(lineStates(dbA), "0/0 0/0 0/0");

    // a row without an identity among others is skipped
    boxes.shown.clear();
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "Check", {line(QVariant(), 1), line("FC-T1", 2)}));
    EXPECT_EQ(lineStates(dbA), "1/0 1/0 1/0");
    EXPECT_EQ(boxes.shown.last().text, "[审核]执行完成。");
}

TEST_F(PluginTest, ForecastIdentityIsPassedAsData)
{
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(login(0));
    // an identity with a quote reaches the procedure as text: no such bill, no damage
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "Delete", {line("x' delete QZ_MRP_Forcast --", 1)}));
    EXPECT_EQ(boxes.shown.last().text, "因不满足执行条件或其他原因, 执行[删除]不成功!");
    EXPECT_EQ(value(dbA, "select count(*) from QZ_MRP_Forcast"), "8");
    // a bill identity that is not a plain name is found all the same
    exec(dbA, "update QZ_MRP_Forcast set ForID='FC-T 1' where ForID='FC-T1'");
    exec(dbA, "update QZ_MRP_ForcastHead set ForID='FC-T 1' where ForID='FC-T1'");
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "Delete", {line("FC-T 1", 0)}));
    EXPECT_EQ(boxes.shown.last().text, "[删除]执行完成。");
    EXPECT_EQ(value(dbA, "select count(*) from QZ_MRP_Forcast where ForID='FC-T 1'"), "0");
}

TEST_F(PluginTest, TheFactoryCalendarFormShowsTheWorkCalendarDialog)
{
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(login(0));
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef("QZ_MRP.Calendar");
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->ObjType, 12);
    QString title, calendar;
    int calendars = 0;
    bool canSave = false;
    QTimer::singleShot(0, [&] {
        QWidget* dlg = QApplication::activeModalWidget();
        ASSERT_NE(dlg, nullptr);
        title = dlg->windowTitle();
        auto* combo = dlg->findChild<QComboBox*>("cboCalendar");
        ASSERT_NE(combo, nullptr);
        calendars = combo->count();
        calendar = combo->currentText();
        canSave = dlg->findChild<QPushButton*>("btnOk")->isEnabled();
        QMetaObject::invokeMethod(dlg, "reject");
    });
    EXPECT_EQ(proc<TLoadInfoFormProc>("LoadInfoForm")(InfoApplication, def), nullptr); // shown modally, no window stays
    EXPECT_EQ(title, "工厂日历设置");
    EXPECT_EQ(calendars, 2);
    EXPECT_EQ(calendar, "标准日历(双休)");
    EXPECT_TRUE(canSave); // the planners' group holds "Update"
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(PluginTest, DeductionViewAndActionsAreRouted)
{
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(login(0));
    TInfoObjectDef* deduct = InfoApplication->GetInfoObjectDef("QZ_MRP.Deduct");
    ASSERT_NE(deduct, nullptr);
    IInfoViewPtr view;
    proc<TLoadInfoViewProc>("LoadInfoView")(view, InfoApplication, deduct);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetObjectDef(), deduct);

    // Each list routes its deduction actions to its own kind of line.
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.SO", "NoAutoDed", {{{"SOID", "SO2612001"}, {"SOEntry", 1}}}));
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.SI", "noautoded", {{{"SIID", "SI2612001"}, {"SIEntry", 1}}}));
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(runAction("QZ_MRP.Forcast", "NoAutoDed", {line("FC-T1", 2)}));
    EXPECT_EQ(value(dbA, "select SODedADis from QZ_MRP_SOExt where SOID='SO2612001' and SOEntry=1"), "1");
    EXPECT_EQ(value(dbA, "select SIDedADis from QZ_MRP_SIExt where SIID='SI2612001' and SIEntry=1"), "1");
    EXPECT_EQ(value(dbA, "select ForDedADis from QZ_MRP_ForcastExt where ForID='FC-T1' and ForEntry=2"), "1");
    EXPECT_FALSE(runAction("QZ_MRP.DeductLog", "ClearDed", {}));
    EXPECT_EQ(boxes.shown.last().text, "请选择待处理数据后重试!");
}
