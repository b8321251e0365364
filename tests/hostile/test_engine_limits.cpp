// The engine under extreme statements: operator chains of any length run or are
// refused with error 191, never overflow the stack; statements with thousands
// of values bind them by position; lock conflicts come back as SQL Server's lock
// errors.
#include "TsqlTestUtil.h"

#include "Functions.h"
#include "Translator.h"

#include <QRegularExpression>

#include <sqlite3.h>

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

QString chain(const QString& term, const QString& op, int count)
{
    QStringList terms;
    terms.reserve(count);
    for (int i = 0; i < count; ++i) terms << term;
    return terms.join(op);
}

} // namespace

TEST(HostileStatements, LongChainsRunOrAnswer191)
{
    ScratchDb db;
    db.ok("create table T (a int)\ninsert T values (1)\ninsert T values (2)\ninsert T values (3)");
    struct Case {
        const char* what;
        QString sql;
        QString rows;   // empty: refused with 191
    } cases[] = {
        {"7,000 additions", "select x=" + chain("1", "+", 7000), ""},
        {"100,000 additions", "select x=" + chain("1", "+", 100000), ""},
        {"20,000 text concatenations", "select x=" + chain("'a'", "+", 20000), ""},
        {"20,000 multiplications", "select x=" + chain("1", "*", 20000), ""},
        {"20,000 comparisons joined by or", "select n=count(*) from T where " + chain("a=2", " or ", 20000), "1"},
        {"20,000 comparisons joined by and", "select n=count(*) from T where " + chain("a>1", " and ", 20000), "2"},
        {"or inside and, 300 x 60", "select n=count(*) from T where " + chain("(" + chain("a=3", " or ", 60) + ")", " and ", 300), "1"},
        {"20,000 nots", "select n=count(*) from T where " + QString("not ").repeated(20000) + "a=2", "1"},
        {"20,001 nots", "select n=count(*) from T where " + QString("not ").repeated(20001) + "a=2", "2"},
        {"chain nested in parentheses", "select x=" + chain("(" + chain("1", "+", 200) + ")", "+", 200), ""},
        {"a short chain still runs", "select x=" + chain("1", "+", 40), "40"},
        {"a short chain of floats still runs", "select x=" + chain("1e0", "*", 40), "1"},
        {"a short chain of ints with a bigint", "select x=" + chain("1", "+", 39) + " + cast(1 as bigint)", "40"},
    };
    for (const Case& c : cases) {
        BatchResult r = db.conn->execute(c.sql);
        if (c.rows.isEmpty()) {
            ASSERT_EQ(r.errors.size(), 1) << c.what;
            EXPECT_EQ(r.errors[0].number, 191) << c.what;
        } else {
            ASSERT_TRUE(r.errors.isEmpty()) << c.what << ": " << errorsOf(r).toStdString();
            ASSERT_EQ(r.resultSets.size(), 1) << c.what;
            EXPECT_EQ(rowsOf(r.resultSets[0]), QStringList{c.rows}) << c.what;
        }
    }
    // the connection goes on working
    EXPECT_EQ(db.rows("select n=count(*) from T where a=1 or a=3 and a<>1"), QStringList{"2"});
}

TEST(HostileStatements, ThousandsOfValuesBindByPosition)
{
    // placeholders are plain "?" in the order of the text, whatever order the
    // translation made them in and however often a variable recurs
    TranslationContext ctx;
    Variable d{typeFromDecl("datetime"), QStringLiteral("2024-01-10 00:00:00.000")};
    Variable n{typeFromDecl("int"), qlonglong(5)};
    ctx.table = [](const QString&) { return TableInfo(); };
    ctx.variable = [&](const QString& name) -> const Variable* { return name == "@d" ? &d : name == "@n" ? &n : nullptr; };
    ctx.system = [](const QString&) { return QVariant(); };
    const QList<StmtP> stmts = parseBatch("select a=@d+@n, b=@n, c=@d+2, e='x'");
    Translator tr(ctx);
    tr.setLiterals(stmts[0]->literals);
    const Translated q = tr.query(*stmts[0]->select);
    static const QRegularExpression numbered(QStringLiteral("\\?\\d"));
    EXPECT_FALSE(q.sql.contains(numbered)) << q.sql.toStdString();
    EXPECT_EQ(q.sql.count(u'?'), q.params.size()) << q.sql.toStdString();
    EXPECT_EQ(q.params.size(), q.sources.size());

    // and run: each value lands where it was written
    ScratchDb db;
    EXPECT_EQ(db.rows("declare @d datetime, @n int\nset @d='20240110'\nset @n=5\n"
                      "select a=@d+@n, b=@n, c=@d+2, e='x', f=case @n when 4 then 'four' when 5 then 'five' end"),
              QStringList{"2024-01-15 00:00:00.000|5|2024-01-12 00:00:00.000|x|five"});

    // long lists and case expressions give their answers
    QStringList items;
    for (int i = 0; i < 100000; ++i) items << QString::number(i * 2);
    EXPECT_EQ(db.rows("select x=case when 99998 in (" + items.join(",") + ") then 'in' else 'out' end, "
                      "y=case when 99999 in (" + items.join(",") + ") then 'in' else 'out' end"),
              QStringList{"in|out"});
    QString whens;
    for (int i = 0; i < 20000; ++i) whens += QStringLiteral(" when %1 then '%1'").arg(i);
    EXPECT_EQ(db.rows("select x=case 19999" + whens + " end, y=case 20000" + whens + " else 'none' end"),
              QStringList{"19999|none"});
}

TEST(HostileStatements, BusyAndLockedCodesBecomeLockErrors)
{
    struct Case {
        int code;
        bool inTransaction;
        int number;
    } cases[] = {
        {SQLITE_BUSY, false, 1222},           {SQLITE_BUSY, true, 1222},
        {SQLITE_BUSY_RECOVERY, true, 1222},   {SQLITE_BUSY_TIMEOUT, false, 1222},
        {SQLITE_BUSY_SNAPSHOT, false, 1222},  {SQLITE_BUSY_SNAPSHOT, true, 1205},
        {SQLITE_LOCKED, true, 1222},          {SQLITE_LOCKED_SHAREDCACHE, false, 1222},
        {SQLITE_LOCKED_VTAB, false, 1222},
    };
    for (const Case& c : cases) {
        int number = 0, severity = 0;
        QString message;
        ASSERT_TRUE(lockError(c.code, c.inTransaction, number, severity, message)) << c.code;
        EXPECT_EQ(number, c.number) << c.code;
        EXPECT_FALSE(message.isEmpty());
    }
    int number = 0, severity = 0;
    QString message;
    EXPECT_FALSE(lockError(SQLITE_CONSTRAINT_UNIQUE, true, number, severity, message));
    EXPECT_FALSE(lockError(SQLITE_ERROR, false, number, severity, message));
}

TEST(HostileStatements, AWriterBehindAReadingTransactionWaitsForIt)
{
    ScratchDb db;
    db.ok("create table T (k int, v int)\ninsert T values (1, 0)");
    auto other = Connection::open(db.path());
    db.ok("insert T values (2, 0)");
    // this session reads in a transaction: it holds the write lock from there on,
    // so the other one's write waits (here past its short time-out) instead of
    // making this one's later write fail
    db.ok("begin tran\nselect n=count(*) from T");
    BatchResult r = other->execute("set lock_timeout 200\nupdate T set v=7 where k=1");
    ASSERT_EQ(r.errors.size(), 1) << errorsOf(r).toStdString();
    EXPECT_EQ(r.errors[0].number, 1222);
    db.ok("update T set v=9 where k=2\ncommit");
    EXPECT_EQ(db.conn->transactionCount(), 0);
    ASSERT_TRUE(other->execute("update T set v=7 where k=1").errors.isEmpty());
    EXPECT_EQ(db.rows("select k, v from T order by k"), (QStringList{"1|7", "2|9"}));
}
