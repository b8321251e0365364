// A bill save that meets another program's write waits for its turn: the other
// program (a real process) holds a transaction with an update for a while; the
// save, which reads the next bill number and then writes, goes through once the
// other one committed, and answers the lock error only after the 10 s lock
// time-out when the other one holds its lock longer, with nothing written.
#include "ErpLibraryTest.h"
#include "ProgramSessions.h"
#include "TsqlEngine.h"

#include <QElapsedTimer>

namespace {

class ErpBillWaitTest : public kvtest::ErpLibraryTest {
protected:
    int bills()
    {
        auto c = kvtsql::Connection::open(db);
        const auto r = c->execute(QStringLiteral("select count(*) from ERP_Bills"));
        return r.resultSets.isEmpty() ? -1 : r.resultSets.first().rows.first().first().toInt();
    }

    // Saves a purchase bill whose row writes back to the scheme the other
    // program updates; gives the time it took.
    qint64 save(bool& saved, QString& error)
    {
        IBillPtr bill = erp->NewBill(4);
        bill->Head()->SetValue("UserID", "plan01");
        bill->Head()->SetValue("SupplierID", "S001");
        IValueListPtr row = bill->Details("Rows")->Add();
        row->SetValue("ItemID", "PT-131");
        row->SetValue("Qty", 10);
        row->SetValue("WriteBackSQL", "update QZ_MRP_Schemes set SchState=SchState+1 where SchIID=1");
        QElapsedTimer t;
        t.start();
        saved = bill->Save(error);
        return t.elapsed();
    }

    // The other program updates the scheme in a transaction it commits after ms.
    static void holdLock(kvtsqltest::Session& other, int ms)
    {
        ASSERT_EQ(other.send("open"), "opened 0");
        ASSERT_EQ(other.send("exec 0 begin tran update QZ_MRP_Schemes set SchState=SchState+1 where SchIID=1"), "ok");
        other.post(QStringLiteral("sleep %1").arg(ms));
        other.post("exec 0 commit");
    }

    // Once the other program committed.
    static void committed(kvtsqltest::Session& other)
    {
        EXPECT_EQ(other.answer(), "slept");
        EXPECT_EQ(other.answer(), "ok");
    }
};

} // namespace

TEST_F(ErpBillWaitTest, ASaveWaitsForAConcurrentUpdate)
{
    kvtsqltest::Session other(db);
    holdLock(other, 1500);
    bool saved = false;
    QString error;
    const qint64 took = save(saved, error);
    EXPECT_TRUE(saved) << error.toStdString();
    EXPECT_GE(took, 1000) << "the save waited for the other program's commit";
    committed(other);
    EXPECT_EQ(bills(), 1);
}

TEST_F(ErpBillWaitTest, ALockHeldLongerThanTheTimeOutFailsTheSaveAfterIt)
{
    kvtsqltest::Session other(db);
    holdLock(other, 12000);
    bool saved = true;
    QString error;
    const qint64 took = save(saved, error);
    EXPECT_FALSE(saved);
    EXPECT_EQ(error, "Lock request time out period exceeded.");
    EXPECT_GE(took, 10000) << "only after the lock time-out";
    committed(other);
    EXPECT_EQ(bills(), 0) << "nothing of the failed save was written";
    const qint64 again = save(saved, error);
    EXPECT_TRUE(saved) << error.toStdString();
    EXPECT_LT(again, 5000);
    EXPECT_EQ(bills(), 1);
}
