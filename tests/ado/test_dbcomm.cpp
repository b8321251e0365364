// SQL access helpers: connection strings, standard settings, ExecSQLText's
// flags against a real failing statement, and the failure messages.
#include "AdoTestDatabases.h"
#include "ScriptedMessageBoxes.h"
#include "UDBComm.h"

#include <gtest/gtest.h>

namespace {

TEST(ConnectionStringForms, BuildsEachKind)
{
    struct Case {
        const char* what;
        TDBType type;
        const char *location, *database, *login, *password, *options;
        bool exclusive;
        const char* expected;
    };
    const Case cases[] = {
        {"user login", dbMSSQL, "SRV", "acct", "sa", "pw", "", false,
         "Provider=SQLOLEDB;Data Source=SRV;Initial Catalog=acct;User ID=sa;Password=pw;Persist Security Info=True;"},
        {"empty password", dbMSSQL, "SRV", "acct", "sa", "", "", false,
         "Provider=SQLOLEDB;Data Source=SRV;Initial Catalog=acct;User ID=sa;Password=;Persist Security Info=True;"},
        {"blank login is Windows authentication", dbMSSQL, "SRV\\ERP", "acct", "   ", "pw", "", false,
         "Provider=SQLOLEDB;Data Source=SRV\\ERP;Initial Catalog=acct;Integrated Security=SSPI;Persist Security Info=True;"},
        {"access", dbAccess, "C:\\a.mdb", "C:\\sys.mdw", "admin", "pw", "dbpw", false,
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\a.mdb;User ID=admin;Password=pw;Jet OLEDB:System Database=C:\\sys.mdw;"
         "Jet OLEDB:Database Password=dbpw;Persist Security Info=True;"},
        {"access exclusive", dbAccess, "a.mdb", "", "", "", "", true,
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb;User ID=;Password=;Jet OLEDB:System Database=;"
         "Jet OLEDB:Database Password=;Persist Security Info=True;Mode=Share Deny Read|Share Deny Write"},
        {"oracle has no form", dbOracle, "orcl", "x", "sa", "pw", "", false, ""},
        // Values that would break the text are quoted.
        {"password with ; and =", dbMSSQL, "SRV", "acct", "sa", "a;b=c", "", false,
         "Provider=SQLOLEDB;Data Source=SRV;Initial Catalog=acct;User ID=sa;Password=\"a;b=c\";Persist Security Info=True;"},
        {"server with ;", dbMSSQL, "SRV;Provider=x", "acct", "sa", "pw", "", false,
         "Provider=SQLOLEDB;Data Source=\"SRV;Provider=x\";Initial Catalog=acct;User ID=sa;Password=pw;Persist Security Info=True;"},
        {"password with a double quote", dbMSSQL, "SRV", "acct", "sa", "p\"w;", "", false,
         "Provider=SQLOLEDB;Data Source=SRV;Initial Catalog=acct;User ID=sa;Password='p\"w;';Persist Security Info=True;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(BuildConnectionString(c.type, QString::fromUtf8(c.location), QString::fromUtf8(c.database), QString::fromUtf8(c.login),
                                        QString::fromUtf8(c.password), QString::fromUtf8(c.options), c.exclusive),
                  QString::fromUtf8(c.expected));
    }
}

TEST(ConnectionStringForms, EscapedValuesAddNoAttributes)
{
    const QString text = BuildConnectionString(dbMSSQL, QStringLiteral("SRV"), QStringLiteral("acct"), QStringLiteral("sa"),
                                               QStringLiteral("x;Initial Catalog=master;Password=y"), QString(), false);
    const auto parts = kvado::ConnectionStringParts::parse(text);
    EXPECT_EQ(parts.value(QStringLiteral("Initial Catalog")), QStringLiteral("acct"));
    EXPECT_EQ(parts.value(QStringLiteral("Password")), QStringLiteral("x;Initial Catalog=master;Password=y"));
}

TEST(ConnectionStringForms, AppliesToTheRightObject)
{
    const QString expected = BuildConnectionString(dbMSSQL, QStringLiteral("SRV"), QStringLiteral("acct"), QStringLiteral("sa"),
                                                   QStringLiteral("pw"), QString(), false);
    auto apply = [](QObject* target) {
        ApplyConnectionString(target, dbMSSQL, QStringLiteral("SRV"), QStringLiteral("acct"), QStringLiteral("sa"), QStringLiteral("pw"),
                              QString(), false);
    };

    TADOConnection connection;
    connection.KeepConnection = false;
    apply(&connection);
    EXPECT_EQ(connection.ConnectionString(), expected);
    EXPECT_TRUE(connection.KeepConnection);
    EXPECT_FALSE(connection.LoginPrompt);
    EXPECT_FALSE(connection.Connected());

    TADOConnection bound;
    TADOQuery boundQuery;
    boundQuery.SetConnection(&bound);
    apply(&boundQuery);
    EXPECT_EQ(bound.ConnectionString(), expected);
    EXPECT_TRUE(boundQuery.ConnectionString().isEmpty());
    EXPECT_EQ(boundQuery.Connection(), &bound);

    TADOQuery lone;
    apply(&lone);
    EXPECT_EQ(lone.ConnectionString(), expected);

    TADOConnection commandConnection;
    TADOCommand boundCommand;
    boundCommand.SetConnection(&commandConnection);
    apply(&boundCommand);
    EXPECT_EQ(commandConnection.ConnectionString(), expected);
    EXPECT_TRUE(boundCommand.ConnectionString().isEmpty());

    TADOCommand loneCommand;
    apply(&loneCommand);
    EXPECT_EQ(loneCommand.ConnectionString(), expected);

    QObject other;
    apply(&other); // nothing happens
    apply(nullptr);

    TADOConnection oracle;
    oracle.SetConnectionString(QStringLiteral("Provider=x"));
    ApplyConnectionString(&oracle, dbOracle, QStringLiteral("orcl"), QString(), QString(), QString(), QString(), false);
    EXPECT_TRUE(oracle.ConnectionString().isEmpty());
}

TEST(StandardSettings, QueryAndConnection)
{
    TADOQuery q;
    q.Prepared = true;
    q.ParamCheck = true;
    q.CursorLocation = clUseServer;
    q.CursorType = ctOpenForwardOnly;
    SetupADOQuery(&q);
    EXPECT_FALSE(q.Prepared);
    EXPECT_FALSE(q.ParamCheck);
    EXPECT_EQ(q.CursorLocation, clUseClient);
    EXPECT_EQ(q.CursorType, ctStatic);
    EXPECT_EQ(q.CommandTimeout, 3600);

    TADOConnection c;
    c.KeepConnection = false;
    c.LoginPrompt = true;
    SetupADOConnection(&c);
    EXPECT_TRUE(c.KeepConnection);
    EXPECT_FALSE(c.LoginPrompt);
    EXPECT_EQ(c.CommandTimeout, 300);
}

TEST(StandardSettings, GlobalObjectsExistUnbound)
{
    ASSERT_NE(GlobalADOConnection, nullptr);
    ASSERT_NE(GlobalADOQuery, nullptr);
    EXPECT_EQ(GlobalADOConnection->CommandTimeout, 300);
    EXPECT_EQ(GlobalADOQuery->CommandTimeout, 3600);
}

class ExecSQLTextTest : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override
    {
        connection.SetConnectionString(testConnectionString(GetParam(), dir));
        SetupADOConnection(&connection);
        SetupADOQuery(&query);
        query.SetConnection(&connection);
        connection.Execute(QStringLiteral("create table T (A int null)"));
    }
    QTemporaryDir dir;
    TADOConnection connection;
    TADOQuery query;
};

TEST_P(ExecSQLTextTest, FlagCombinationsOnAFailingStatement)
{
    struct Case {
        bool open, reraise, show;
    };
    const Case cases[] = {
        {true, false, true}, {false, false, true}, {true, false, false}, {true, true, false}, {true, true, true}, {false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "open " << c.open << " reraise " << c.reraise << " show " << c.show);
        ScriptedMessageBoxes boxes;
        bool raised = false;
        bool result = true;
        try {
            result = ExecSQLText(&query, c.open ? QStringLiteral("select * from NoSuchTable") : QStringLiteral("delete from NoSuchTable"),
                                 c.open, c.reraise, c.show);
        } catch (const EOleException& e) {
            raised = true;
            // Shown before it was raised.
            EXPECT_EQ(boxes.shown.size(), c.show ? 1 : 0);
            EXPECT_EQ(e.Message, connection.Errors()->Item(0).Description);
        }
        EXPECT_EQ(raised, c.reraise);
        if (!c.reraise) {
            EXPECT_FALSE(result);
        }
        ASSERT_EQ(boxes.shown.size(), c.show ? 1 : 0);
        if (c.show) {
            const TADOError& first = connection.Errors()->Item(0);
            EXPECT_EQ(boxes.shown[0].text, QStringLiteral("错误: %1 (错误号: %2)").arg(first.Description).arg(first.NativeError));
            EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("错误"));
            EXPECT_EQ(boxes.shown[0].icon(), kvos::MB_ICONERROR);
            EXPECT_EQ(boxes.shown[0].buttons(), QList<int>{kvos::IDOK});
        }
        EXPECT_FALSE(query.Active());
    }
}

TEST_P(ExecSQLTextTest, SuccessOpensOrExecutes)
{
    ScriptedMessageBoxes boxes;
    EXPECT_TRUE(ExecSQLText(&query, QStringLiteral("insert into T (A) values (7)"), false, false, true));
    EXPECT_FALSE(query.Active());
    EXPECT_TRUE(ExecSQLText(&query, QStringLiteral("select A from T"), true, false, true));
    ASSERT_TRUE(query.Active());
    EXPECT_EQ(query.FieldByName(QStringLiteral("A"))->AsInteger(), 7);
    EXPECT_EQ(query.SQL.Count(), 1); // the text replaced the previous one
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_P(ExecSQLTextTest, FailureWithoutProviderErrorIsStillShown)
{
    ScriptedMessageBoxes boxes;
    // Opening a statement that returns no rows fails outside the provider.
    EXPECT_FALSE(ExecSQLText(&query, QStringLiteral("insert into T (A) values (1)"), true, false, true));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("程序执行出现错误!\r\r原因: "))) << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("does not return a result set")));

    TADOQuery unbound;
    EXPECT_FALSE(ExecSQLText(&unbound, QStringLiteral("select 1"), true, false, true));
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_TRUE(boxes.shown[1].text.startsWith(QStringLiteral("程序执行出现错误!")));
}

INSTANTIATE_TEST_SUITE_P(Drivers, ExecSQLTextTest, ::testing::ValuesIn(availableTestDrivers()),
                         [](const ::testing::TestParamInfo<TestDriver>& info) { return testDriverName(info.param).toStdString(); });

TEST(ShowADOError, AbortIsSilentAndOtherFailuresAreReported)
{
    ScriptedMessageBoxes boxes;
    TADOConnection connection;
    ShowADOError(EAbort(QStringLiteral("按下[Esc]键中止操作")), &connection);
    ShowADOError(EAbort(), nullptr);
    EXPECT_TRUE(boxes.shown.isEmpty());

    ShowADOError(Exception(QStringLiteral("磁盘已满")), nullptr);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("程序执行出现错误!\r\r原因: 磁盘已满"));

    // A data object whose error collection is empty, and an unknown object.
    QObject other;
    ShowADOError(Exception(QStringLiteral("x")), &connection);
    ShowADOError(Exception(QStringLiteral("y")), &other);
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("程序执行出现错误!\r\r原因: x"));
    EXPECT_EQ(boxes.shown[2].text, QStringLiteral("程序执行出现错误!\r\r原因: y"));
}

TEST(ShowADOError, ReadsTheCommandsAndConnectionsCollection)
{
    QTemporaryDir dir;
    TADOCommand command;
    command.SetConnectionString(testConnectionString(TestDriver::Odbc, dir));
    command.CommandText = QStringLiteral("delete from NoSuchTable");
    ScriptedMessageBoxes boxes;
    try {
        command.Execute();
        FAIL() << "no exception";
    } catch (const EOleException& e) {
        ShowADOError(e, &command);
        ShowADOError(e, command.ActiveConnection());
    }
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("错误: "))) << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("NoSuchTable")));
    EXPECT_EQ(boxes.shown[1].text, boxes.shown[0].text);
}

} // namespace
