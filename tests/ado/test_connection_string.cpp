// Parsing of OLE DB connection strings and their mapping to a driver.
#include "AdoDriver.h"

#include <gtest/gtest.h>

using namespace kvado;

TEST(ConnectionString, ParsesQuotedAndPlainValues)
{
    struct Case {
        const char* text;
        const char* keyword;
        const char* value;
    };
    const Case cases[] = {
        {"Provider=SQLOLEDB;Data Source=srv;", "data source", "srv"},
        {"Password= a b ;User ID=sa", "Password", "a b"},
        {"Password=\"p;w=d\";User ID=sa", "Password", "p;w=d"},
        {"Password='say \"hi\"';User ID=sa", "password", "say \"hi\""},
        {"Password=\"a\"\"b';c\";X=1", "Password", "a\"b';c"},
        {"Password=\" padded \";", "Password", " padded "},
        {"Password=;Persist Security Info=True;", "Password", ""},
        {"Key==Name=v", "Key=Name", "v"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ConnectionStringParts parts = ConnectionStringParts::parse(QString::fromUtf8(c.text));
        EXPECT_TRUE(parts.contains(QString::fromUtf8(c.keyword)));
        EXPECT_EQ(parts.value(QString::fromUtf8(c.keyword)), QString::fromUtf8(c.value));
    }
}

TEST(ConnectionString, QuotedValuesReadBackUnchanged)
{
    const char* const values[] = {"plain", "", "p;w", "a=b", "with \"double\"", "with 'single'", "both \"' ;", " lead", "trail ",
                                  "中文;密码"};
    for (const char* v : values) {
        SCOPED_TRACE(v);
        const QString value = QString::fromUtf8(v);
        const QString text = QStringLiteral("User ID=u;Password=") + quoteConnectionValue(value) + QStringLiteral(";Initial Catalog=db;");
        const ConnectionStringParts parts = ConnectionStringParts::parse(text);
        EXPECT_EQ(parts.value(QStringLiteral("Password")), value);
        EXPECT_EQ(parts.value(QStringLiteral("Initial Catalog")), QStringLiteral("db"));
        EXPECT_EQ(parts.keywords().size(), 3);
    }
    EXPECT_EQ(quoteConnectionValue(QStringLiteral("plain")), QStringLiteral("plain"));
    EXPECT_EQ(quoteConnectionValue(QStringLiteral("p;w")), QStringLiteral("\"p;w\""));
}

TEST(ConnectionString, ChoosesTheDriver)
{
    struct Case {
        const char* text;
        DriverTarget::Kind kind;
        const char* detail; // database file, or the ODBC string
    };
    const Case cases[] = {
        {"Provider=SQLOLEDB;Data Source=/data/acct.db;Initial Catalog=acct;User ID=sa;Password=x;", DriverTarget::Embedded, "/data/acct.db"},
        {"Provider=SQLOLEDB;Data Source=./rel/acct.db;Initial Catalog=acct;Integrated Security=SSPI;", DriverTarget::Embedded, "rel/acct.db"},
        {"Provider=SQLOLEDB;Data Source=SRV\\ERP;Initial Catalog=acct;User ID=sa;Password=pw;Persist Security Info=True;",
         DriverTarget::Odbc, "DRIVER=FreeTDS;SERVER=SRV\\ERP;DATABASE=acct;UID=sa;PWD=pw;ClientCharset=UTF-8;"},
        {"Provider=SQLOLEDB;Data Source=10.0.0.5,1433;Initial Catalog=acct;Integrated Security=SSPI;Persist Security Info=True;",
         DriverTarget::Odbc, "DRIVER=FreeTDS;SERVER=10.0.0.5;PORT=1433;DATABASE=acct;Trusted_Connection=Yes;ClientCharset=UTF-8;"},
        {"Provider=SQLOLEDB;Data Source=srv;Initial Catalog=acct;User ID=sa;Password=\"p;w}x\";",
         DriverTarget::Odbc, "DRIVER=FreeTDS;SERVER=srv;DATABASE=acct;UID=sa;PWD={p;w}}x};ClientCharset=UTF-8;"},
        {"Provider=SQLOLEDB;Data Source=(local)\\SQLEXPRESS;Initial Catalog=acct;User ID=sa;Password=pw;",
         DriverTarget::Odbc, "DRIVER=FreeTDS;SERVER=localhost\\SQLEXPRESS;DATABASE=acct;UID=sa;PWD=pw;ClientCharset=UTF-8;"},
        {"Provider=SQLOLEDB.1;Data Source=.;Initial Catalog=acct;User ID=sa;Password=pw;",
         DriverTarget::Odbc, "DRIVER=FreeTDS;SERVER=localhost;DATABASE=acct;UID=sa;PWD=pw;ClientCharset=UTF-8;"},
        {"Provider=MSDASQL;Extended Properties=\"Driver=SQLite3;Database=/tmp/x.db\"", DriverTarget::Odbc, "Driver=SQLite3;Database=/tmp/x.db"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/x.mdb;", DriverTarget::None, ""},
        {"", DriverTarget::None, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const DriverTarget t = resolveConnectionString(QString::fromUtf8(c.text));
        EXPECT_EQ(t.kind, c.kind);
        if (c.kind == DriverTarget::Embedded) {
            EXPECT_EQ(t.databaseFile, QString::fromUtf8(c.detail));
        }
        if (c.kind == DriverTarget::Odbc) {
            EXPECT_EQ(t.odbcConnection, QString::fromUtf8(c.detail));
        }
    }
}
