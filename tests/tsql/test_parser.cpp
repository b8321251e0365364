// Statements outside the subset and malformed text fail with error 102 naming the
// offending token; nothing of such a batch runs.
#include "TsqlTestUtil.h"

using namespace kvtsql;
using namespace kvtsqltest;

TEST(TsqlParser, SyntaxErrorsNameTheOffendingToken)
{
    struct Case { const char* sql; const char* near; };
    const Case cases[] = {
        {"select from where", "from"},
        {"select * from T where", ""},
        {"select (1", ""},
        {"update T a set x=1", "a"},
        {"insert T (a) valuse (1)", "valuse"},
        {"select 'abc", "'abc"},
        {"create procedure P as select 1", "procedure"},
        {"with c as (select 1 x) select * from c", "with"},
        {"select * from T order", ""},
        {"merge T using S on 1=1", "merge"},
        {"declare @t table (a int)", "table"},
        {"select a from T t1 t2", "t2"},
        {"exec ('select 1')", "("},
        {"select row_number() over (order by a) from T", "over"},
        {"begin try select 1 end try begin catch end catch", "try"},
        {"select 1 +", ""},
        {"select [abc", "[abc"},
        {"/* open comment", "/* open co"},
    };
    ScratchDb db;
    for (const Case& c : cases) {
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
        ASSERT_EQ(r.errors.size(), 1) << c.sql;
        EXPECT_EQ(r.errors[0].number, 102) << c.sql;
        if (*c.near) {
            EXPECT_TRUE(r.errors[0].message.contains(QStringLiteral("'%1'").arg(QString::fromUtf8(c.near))))
                << c.sql << " -> " << r.errors[0].message.toStdString();
        }
    }
}

TEST(TsqlParser, ABatchWithASyntaxErrorRunsNothing)
{
    ScratchDb db;
    db.ok("create table T (a int)");
    BatchResult r = db.conn->execute("insert T (a) values (1)\nselect from");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(db.rows("select count(*) from T"), QStringList{"0"});
}

TEST(TsqlParser, StatementBoundariesComeFromTheGrammar)
{
    ScratchDb db;
    // one statement over several lines, several statements on one line, CR and CRLF breaks
    db.ok("create table T (a int,\r\n b varchar(10))\rinsert T (a, b)\n values (1,\n 'x') insert T values (2, 'y')");
    EXPECT_EQ(db.rows("select a, b\nfrom T\norder\nby a"), (QStringList{"1|x", "2|y"}));
    EXPECT_EQ(db.rows("select a from T where b='x'; select b from T where a=2;"), QStringList{"y"});
}

TEST(TsqlParser, TextNestedWithoutEndIsRefused)
{
    ScratchDb db;
    const QString deep = "select " + QString(5000, u'(') + "1" + QString(5000, u')');
    BatchResult r = db.conn->execute(deep);
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 191);
    r = db.conn->execute("if 1=1 " + QString("begin ").repeated(3000) + "select 1" + QString(" end").repeated(3000));
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 191);
}
