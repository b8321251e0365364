// The application object: host hooks, Esc polling, the settings store, the
// enum cache and the server clock.
#include "PressEscape.h"
#include "ScratchDatabase.h"
#include "AdoTestDatabases.h"
#include "EscapeKey.h"
#include "ScriptedMessageBoxes.h"
#include "untApplication.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(InfoApplicationHooks, EmptyHooksGiveNeutralValues)
{
    TInfoApplication app;
    EXPECT_EQ(app.MaxResultRowCount, 0);
    EXPECT_EQ(app.LoginTick, 0);
    EXPECT_TRUE(app.LoginInfo.UserID.isEmpty());
    EXPECT_EQ(app.GetInfoObjectDef(QStringLiteral("X")), nullptr);
    EXPECT_TRUE(app.GetInfoObjectSelectSQL(nullptr, QStringLiteral("a"), {}, {}, {}, {}, {}).isEmpty());
    QString mainFilter = QStringLiteral("stale");
    EXPECT_TRUE(app.GetInfoObjectDataSourceSQL(nullptr, QString(), mainFilter).isEmpty());
    EXPECT_TRUE(mainFilter.isEmpty());
    EXPECT_EQ(app.GetInfoObjectView(nullptr), nullptr);
    app.ResetMainActionsBar(nullptr, true);
    app.ShowStatusMessage(QStringLiteral("x"), mkHint);
    EXPECT_EQ(app.ShowInfoObjectEditor(nullptr, {}, {}), nullptr);
    QString text = QStringLiteral("t"), code = QStringLiteral("c");
    EXPECT_FALSE(app.ShowFilterDlg(nullptr, text, code, nullptr, QString(), false));
    EXPECT_EQ(text, QStringLiteral("t"));
    EXPECT_EQ(code, QStringLiteral("c"));
    EXPECT_FALSE(app.ShowViewSchemeDlg(nullptr, nullptr, nullptr, false, QString()));
    TUserRecs users{TUserRec{QStringLiteral("u1"), QStringLiteral("U"), false, false}};
    EXPECT_FALSE(app.ShowSelectUser(users, true, QString(), uoUsers | uoGroups));
    EXPECT_EQ(users.size(), 1);
    EXPECT_FALSE(app.ShowImportData({}, nullptr, nullptr, nullptr));
    app.ParseViewSchemeSQL(nullptr, nullptr, nullptr);
    EXPECT_TRUE(app.TranslateFilterCodeToSQL(nullptr, QStringLiteral("ab"), nullptr).isEmpty());
    EXPECT_EQ(app.GetApplication(), qApp);
}

QString gSeen;
QString dataSourceHook(TInfoObjectDef*, const QString& refered, QString& mainFilter)
{
    gSeen = QStringLiteral("%1|%2").arg(refered, mainFilter);
    mainFilter = QStringLiteral("F");
    return QStringLiteral("from T");
}
QString selectHook(TInfoObjectDef*, const QString& a, const QString& b, const QString& c, const QString& d, const QString& e,
                   const QString& f)
{
    return QStringList{a, b, c, d, e, f}.join(QLatin1Char(','));
}

TEST(InfoApplicationHooks, InstalledHooksGetTheArgumentsInOrder)
{
    TInfoApplication app;
    app.GetInfoObjectDataSourceSQLProc = dataSourceHook;
    app.GetInfoObjectSelectSQLProc = selectHook;
    QString mainFilter = QStringLiteral("stale");
    EXPECT_EQ(app.GetInfoObjectDataSourceSQL(nullptr, QStringLiteral("R"), mainFilter), QStringLiteral("from T"));
    EXPECT_EQ(gSeen, QStringLiteral("R|")); // cleared before the hook ran
    EXPECT_EQ(mainFilter, QStringLiteral("F"));
    EXPECT_EQ(app.GetInfoObjectSelectSQL(nullptr, QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                                         QStringLiteral("5"), QStringLiteral("6")),
              QStringLiteral("1,2,3,4,5,6"));
}

TEST(EscapePolling, AsksOnlyAfterAPressAndStopsOnYes)
{
    TInfoApplication app;
    kvos::resetEscapeKeyLatch();
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(app.CheckEscapeKeyPress(true));
    EXPECT_TRUE(boxes.shown.isEmpty());

    // Other keys are not Esc.
    QWidget w;
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QApplication::sendEvent(&w, &other);
    EXPECT_FALSE(app.CheckEscapeKeyPress(true));

    kvtest::pressEscape();
    EXPECT_FALSE(app.CheckEscapeKeyPress(true)); // default button: No, the work goes on
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您已按下[Esc]键, 中止正在执行的操作?"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("疑问"));
    EXPECT_EQ(boxes.shown[0].buttons(), (QList<int>{kvos::IDYES, kvos::IDNO}));
    EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDNO);
    EXPECT_FALSE(app.CheckEscapeKeyPress(true)); // the press was consumed by the poll

    kvtest::pressEscape();
    boxes.answer({kvos::IDYES});
    EXPECT_TRUE(app.CheckEscapeKeyPress(false));

    kvtest::pressEscape();
    boxes.answer({kvos::IDYES});
    try {
        app.CheckEscapeKeyPress(true);
        FAIL() << "no EAbort";
    } catch (const EAbort& e) {
        EXPECT_EQ(e.Message, QStringLiteral("按下[Esc]键中止操作"));
        const qsizetype before = boxes.shown.size();
        ShowADOError(e, GlobalADOQuery);
        EXPECT_EQ(boxes.shown.size(), before); // silent for the reporters
    }
}

// The Esc that closes the abort question (its answer: go on) is not taken for
// a new press: the work goes on without asking again.
TEST(EscapePolling, TheEscThatClosesTheQuestionIsNotAskedAgain)
{
    TInfoApplication app;
    kvos::resetEscapeKeyLatch();
    int asked = 0;
    auto previous = kvos::setMessageBoxPresenter([&](const QString&, const QString&, unsigned) {
        ++asked;
        kvtest::pressEscape(); // the user closes the box with Esc
        return int(kvos::IDNO);
    });
    kvtest::pressEscape();
    EXPECT_FALSE(app.CheckEscapeKeyPress(true));
    EXPECT_FALSE(app.CheckEscapeKeyPress(true));
    EXPECT_EQ(asked, 1);
    kvos::setMessageBoxPresenter(std::move(previous));
}

// While long work keeps input from other windows (the host's filter, which
// comes after the latch), an Esc press on any window still reaches the latch.
TEST(EscapePolling, AnInputLockDoesNotHideEscFromTheLatch)
{
    struct KeepInput : QObject {
        bool eventFilter(QObject*, QEvent* e) override
        {
            return e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease || e->type() == QEvent::ShortcutOverride;
        }
    } keepInput;
    TInfoApplication app;
    QApplication::instance()->installEventFilter(&keepInput);
    kvos::resetEscapeKeyLatch();
    ScriptedMessageBoxes boxes;
    app.LockProcessMessages(1);
    kvtest::pressEscape();
    boxes.answer({kvos::IDYES});
    EXPECT_TRUE(app.CheckEscapeKeyPress(false));
    app.LockProcessMessages(0);
}

TEST(InfoApplicationState, LockProcessMessages)
{
    TInfoApplication app;
    app.LockProcessMessages(0x1234);
    EXPECT_EQ(app.LockMsgHWnd, quintptr(0x1234));
    app.LockProcessMessages(0);
    EXPECT_EQ(app.LockMsgHWnd, quintptr(0));
}

// The settings, enum and clock services run their T-SQL on the embedded engine.
class AccountSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifndef KV_HAVE_TSQL
        GTEST_SKIP() << "the embedded engine is not part of this build";
#endif
        ApplyConnectionString(GlobalADOConnection, dbMSSQL, scratchDatabase(dir.filePath(QStringLiteral("acct.db"))), QStringLiteral("acct"),
                              QStringLiteral("sa"), QString(), QString(), false);
        GlobalADOConnection->Execute(QStringLiteral(
            "create table QZ_SYS_SysSettings (SetClass nvarchar(50) not null, SetKey nvarchar(100) not null, SetValue nvarchar(2000) null)"));
        GlobalADOConnection->Execute(QStringLiteral(
            "create table QZ_SYS_UserSettings (SetUsrID nvarchar(50) not null, SetClass nvarchar(50) not null, "
            "SetKey nvarchar(100) not null, SetValue nvarchar(2000) null)"));
        GlobalADOConnection->Execute(QStringLiteral(
            "create table QZ_SYS_Enums (EnmClass nvarchar(50) not null, EnmID int not null, EnmName nvarchar(100) null)"));
        app = std::make_unique<TInfoApplication>();
    }
    void TearDown() override
    {
        app.reset();
        if (GlobalADOConnection)
            GlobalADOConnection->Close();
    }
    int count(const QString& sql)
    {
        TADOQuery q;
        q.SetConnection(GlobalADOConnection);
        q.SQL.Add(sql);
        q.Open();
        return q.Fields()->Field(0)->AsInteger();
    }
    QTemporaryDir dir;
    std::unique_ptr<TInfoApplication> app;
    ScriptedMessageBoxes boxes;
};

TEST_F(AccountSetTest, SettingsRoundTrip)
{
    const QString cls = QStringLiteral("QZ_MRP");
    struct Case {
        const char* key;
        const char* value;
        bool global;
    };
    const Case cases[] = {
        {"Plain", "abc", true},
        {"It's", "O'Brien's \"plan\"", true},
        {"中文键", "计划;=%1%2", true},
        {"Plain", "for the user", false},
        {"It's", "user's value", false},
    };
    app->LoginInfo.UserID = QStringLiteral("U'1");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const QString key = QString::fromUtf8(c.key), value = QString::fromUtf8(c.value);
        EXPECT_EQ(app->ReadSystemSettingAsString(cls, key, QStringLiteral("dflt"), c.global), QStringLiteral("dflt"));
        app->WriteSystemSettingAsString(cls, key, value, c.global);
        EXPECT_EQ(app->ReadSystemSettingAsString(cls, key, QStringLiteral("dflt"), c.global), value);
        app->WriteSystemSettingAsString(cls, key, value + QStringLiteral("2"), c.global); // update, not a second row
        EXPECT_EQ(app->ReadSystemSettingAsString(cls, key, QStringLiteral("dflt"), c.global), value + QStringLiteral("2"));
    }
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_SYS_SysSettings")), 3);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_SYS_UserSettings where SetUsrID='U''1'")), 2);
    // System and user values of one key are apart.
    EXPECT_EQ(app->ReadSystemSettingAsString(cls, QStringLiteral("Plain"), QString(), true), QStringLiteral("abc2"));
    EXPECT_TRUE(boxes.shown.isEmpty());

    // Without a user, user settings read as the default and are not written.
    app->LoginInfo.UserID.clear();
    EXPECT_EQ(app->ReadSystemSettingAsString(cls, QStringLiteral("Plain"), QStringLiteral("dflt"), false), QStringLiteral("dflt"));
    app->WriteSystemSettingAsString(cls, QStringLiteral("New"), QStringLiteral("v"), false);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_SYS_UserSettings")), 2);
}

TEST_F(AccountSetTest, TypedSettings)
{
    const QString cls = QStringLiteral("C");
    auto store = [&](const char* key, const char* value) {
        app->WriteSystemSettingAsString(cls, QString::fromUtf8(key), QString::fromUtf8(value), true);
    };
    store("Empty", "");
    store("True", "True");
    store("Two", "2");
    store("Zero", "0");
    store("Int", "42");
    store("Abc", "abc");
    store("Float", "2.5");
    store("Date", "2024/03/01");
    store("Stamp", "2024/03/01 08:09:10");
    auto b = [&](const char* key, bool d) { return app->ReadSystemSettingAsBoolean(cls, QString::fromUtf8(key), d, true); };
    auto i = [&](const char* key, int d) { return app->ReadSystemSettingAsInteger(cls, QString::fromUtf8(key), d, true); };
    EXPECT_EQ(app->ReadSystemSettingAsString(cls, QStringLiteral("Empty"), QStringLiteral("d"), true), QString());
    EXPECT_TRUE(b("Empty", true));
    EXPECT_FALSE(b("Empty", false));
    EXPECT_TRUE(b("True", false));
    EXPECT_TRUE(b("Two", false));
    EXPECT_FALSE(b("Zero", true));
    EXPECT_TRUE(b("Missing", true));
    EXPECT_EQ(i("Empty", 7), 7);
    EXPECT_EQ(i("Int", 7), 42);
    EXPECT_EQ(i("Abc", 7), 7);
    EXPECT_EQ(i("Missing", 7), 7);
    EXPECT_DOUBLE_EQ(app->ReadSystemSettingAsFloat(cls, QStringLiteral("Float"), 1, true), 2.5);
    EXPECT_DOUBLE_EQ(app->ReadSystemSettingAsFloat(cls, QStringLiteral("Abc"), 1, true), 1);
    EXPECT_EQ(app->ReadSystemSettingAsDate(cls, QStringLiteral("Date"), QDate(), true), QDate(2024, 3, 1));
    EXPECT_EQ(app->ReadSystemSettingAsDateTime(cls, QStringLiteral("Stamp"), QDateTime(), true),
              QDateTime(QDate(2024, 3, 1), QTime(8, 9, 10)));
    EXPECT_EQ(app->ReadSystemSettingAsDate(cls, QStringLiteral("Abc"), QDate(2000, 1, 1), true), QDate(2000, 1, 1));

    // Typed writes: Booleans "0"/"1", numbers with a decimal point whatever the locale.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    app->WriteSystemSettingAsBoolean(cls, QStringLiteral("B"), true, true);
    app->WriteSystemSettingAsBoolean(cls, QStringLiteral("B0"), false, true);
    app->WriteSystemSettingAsInteger(cls, QStringLiteral("I"), -12345, true);
    app->WriteSystemSettingAsFloat(cls, QStringLiteral("F"), 1234.5, true);
    app->WriteSystemSettingAsDate(cls, QStringLiteral("D"), QDate(2025, 12, 31), true);
    app->WriteSystemSettingAsDateTime(cls, QStringLiteral("DT"), QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5)), true);
    QLocale::setDefault(saved);
    const auto raw = [&](const char* key) { return app->ReadSystemSettingAsString(cls, QString::fromUtf8(key), QString(), true); };
    EXPECT_EQ(raw("B"), QStringLiteral("1"));
    EXPECT_EQ(raw("B0"), QStringLiteral("0"));
    EXPECT_EQ(raw("I"), QStringLiteral("-12345"));
    EXPECT_EQ(raw("F"), QStringLiteral("1234.5"));
    EXPECT_EQ(raw("D"), QStringLiteral("2025/12/31"));
    EXPECT_EQ(raw("DT"), QStringLiteral("2025/01/02 03:04:05"));
    EXPECT_DOUBLE_EQ(app->ReadSystemSettingAsFloat(cls, QStringLiteral("F"), 0, true), 1234.5);
}

TEST_F(AccountSetTest, MaxResultRowCount)
{
    struct Case {
        const char* stored; // nullptr: no row
        int expected;
    };
    const Case cases[] = {{nullptr, 20000}, {"-5", 20000}, {"0", 20000}, {"abc", 20000}, {"", 20000}, {"500", 500}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(no row)");
        GlobalADOConnection->Execute(QStringLiteral("delete from QZ_SYS_SysSettings"));
        if (c.stored)
            app->WriteSystemSettingAsString(QStringLiteral("QZ_SYS"), QStringLiteral("MaxResultRowCount"), QString::fromUtf8(c.stored), true);
        app->LoadSystemSettings();
        EXPECT_EQ(app->MaxResultRowCount, c.expected);
    }
}

TEST_F(AccountSetTest, FailedSettingsReadIsSilentAndWriteIsShown)
{
    GlobalADOConnection->Execute(QStringLiteral("drop table QZ_SYS_SysSettings"));
    EXPECT_EQ(app->ReadSystemSettingAsString(QStringLiteral("C"), QStringLiteral("K"), QStringLiteral("d"), true), QStringLiteral("d"));
    EXPECT_TRUE(boxes.shown.isEmpty());
    app->WriteSystemSettingAsString(QStringLiteral("C"), QStringLiteral("K"), QStringLiteral("v"), true);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("错误: "))) << boxes.shown[0].text.toStdString();
}

TEST_F(AccountSetTest, EnumCache)
{
    GlobalADOConnection->Execute(QStringLiteral("insert into QZ_SYS_Enums (EnmClass, EnmID, EnmName) values ('BillType', 2, '销售订单')"));
    GlobalADOConnection->Execute(QStringLiteral("insert into QZ_SYS_Enums (EnmClass, EnmID, EnmName) values ('BillType', 1, '预测单')"));
    GlobalADOConnection->Execute(QStringLiteral("insert into QZ_SYS_Enums (EnmClass, EnmID, EnmName) values ('Other', 1, 'x')"));
    TSystemEnumList* list = app->GetSystemEnumList(QStringLiteral("BillType"));
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Strings(0), QStringLiteral("预测单")); // in EnmID order
    EXPECT_EQ(list->Objects(0), 1);
    EXPECT_EQ(app->GetSystemEnumName(QStringLiteral("billtype"), 2), QStringLiteral("销售订单"));
    EXPECT_EQ(app->GetSystemEnumName(QStringLiteral("BillType"), 7), QStringLiteral("(7)"));
    EXPECT_TRUE(app->SystemEnumExists(QStringLiteral("BillType"), 1));
    EXPECT_FALSE(app->SystemEnumExists(QStringLiteral("BillType"), 3));
    EXPECT_EQ(app->GetSystemEnumList(QStringLiteral("BILLTYPE")), list); // cached, case ignored

    // The cache holds until it is cleared.
    GlobalADOConnection->Execute(QStringLiteral("insert into QZ_SYS_Enums (EnmClass, EnmID, EnmName) values ('BillType', 3, '采购订单')"));
    EXPECT_FALSE(app->SystemEnumExists(QStringLiteral("BillType"), 3));
    app->ClearCaches();
    EXPECT_TRUE(app->SystemEnumExists(QStringLiteral("BillType"), 3));

    // A failed first load is shown and leaves an empty list cached.
    app->ClearCaches();
    GlobalADOConnection->Execute(QStringLiteral("drop table QZ_SYS_Enums"));
    EXPECT_EQ(app->GetSystemEnumList(QStringLiteral("BillType"))->Count(), 0);
    EXPECT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(app->GetSystemEnumName(QStringLiteral("BillType"), 1), QStringLiteral("(1)"));
    EXPECT_EQ(boxes.shown.size(), 1); // not loaded again
}

TEST_F(AccountSetTest, ServerClock)
{
    QDateTime value(QDate(2000, 1, 1), QTime(1, 2, 3));
    // Not bound yet: fails quietly and leaves the value alone.
    EXPECT_FALSE(app->GetSystemDateTime(value, true));
    EXPECT_EQ(value, QDateTime(QDate(2000, 1, 1), QTime(1, 2, 3)));
    EXPECT_TRUE(boxes.shown.isEmpty());

    app->LoadSystemSettings(); // binds the private query as the login does
    const QDateTime before = QDateTime::currentDateTime().addSecs(-5);
    ASSERT_TRUE(app->GetSystemDateTime(value, true));
    EXPECT_GE(value, before);
    EXPECT_LE(value, QDateTime::currentDateTime().addSecs(5));
    ASSERT_TRUE(app->GetSystemDateTime(value, false));
    EXPECT_EQ(value.time(), QTime(0, 0));
    EXPECT_EQ(value.date(), QDate::currentDate());
}

} // namespace
