// A failure inside a transaction on an account set: the database error box comes
// after the rollback, so no box stands while the set is locked for everyone
// else, and a failed batch leaves no transaction of its own open behind a caller
// that began none.
#include "ScratchDatabase.h"
#include "ScriptedMessageBoxes.h"
#include "TsqlEngine.h"
#include "UDBComm.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TransactionReports : ::testing::Test {
    QTemporaryDir dir;
    QString file;
    TADOConnection connection;
    TADOQuery query;

    void SetUp() override
    {
        file = scratchDatabase(dir.filePath(QStringLiteral("t.db")));
        connection.SetConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=t").arg(file));
        connection.Execute(QStringLiteral("create table T (a int)"));
        query.SetConnection(&connection);
    }

    // Whether another program's connection can write at once.
    bool othersMayWrite() const
    {
        auto other = kvtsql::Connection::open(file);
        return other->execute(QStringLiteral("set lock_timeout 0\ninsert T values (100)\ndelete T where a=100")).errors.isEmpty();
    }
};

} // namespace

TEST_F(TransactionReports, TheBoxOfAFailureInsideATransactionComesAfterTheRollback)
{
    ScriptedMessageBoxes boxes;
    bool lockedWhileShown = true;
    kvos::MessageBoxPresenter recorder = kvos::setMessageBoxPresenter([&](const QString& text, const QString&, unsigned) {
        lockedWhileShown = kvado::TransactionOpen() || !othersMayWrite();
        boxes.shown.append(ShownBox{text, QString(), 0});
        return kvos::IDOK;
    });
    {
        kvado::ScopedTransaction transaction(&connection);
        ASSERT_TRUE(ExecSQLText(&query, QStringLiteral("insert T values (1)"), false, false, true));
        EXPECT_FALSE(ExecSQLText(&query, QStringLiteral("insert NoSuchTable values (1)"), false, false, true));
        EXPECT_TRUE(boxes.shown.isEmpty()) << "not while the transaction is open";
    }
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("NoSuchTable"))) << boxes.shown[0].text.toStdString();
    EXPECT_FALSE(lockedWhileShown);
    // outside a transaction the box comes at once
    EXPECT_FALSE(ExecSQLText(&query, QStringLiteral("insert NoSuchTable values (2)"), false, false, true));
    EXPECT_EQ(boxes.shown.size(), 2);
    kvos::setMessageBoxPresenter(std::move(recorder));
}

TEST_F(TransactionReports, AFailedBatchLeavesNoTransactionOfItsOwnOpen)
{
    EXPECT_THROW(connection.Execute(QStringLiteral("begin tran\ninsert T values (1)\ninsert NoSuchTable values (1)")), Exception);
    EXPECT_TRUE(othersMayWrite()) << "rolled back, not left holding the lock";
    EXPECT_EQ(connection.Execute(QStringLiteral("if @@trancount<>0 raiserror('left open', 16, 1)")), -1);
    query.SQL.SetText(QStringLiteral("select n=count(*) from T"));
    query.Open();
    EXPECT_EQ(query.FieldByName(QStringLiteral("n"))->AsInteger(), 0);
    query.Close();

    // the caller's own transaction is the caller's to end
    connection.BeginTrans();
    connection.Execute(QStringLiteral("insert T values (2)"));
    EXPECT_THROW(connection.Execute(QStringLiteral("insert NoSuchTable values (1)")), Exception);
    EXPECT_TRUE(connection.InTransaction());
    connection.CommitTrans();
    query.Open();
    EXPECT_EQ(query.FieldByName(QStringLiteral("n"))->AsInteger(), 1);
}
