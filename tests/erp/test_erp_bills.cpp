// The ERP integration library's bills, through its exported interface:
// storage in the account set, numbering, and the rows' write-back SQL in the
// bill's own transaction.
#include "ErpLibraryTest.h"
#include "NewAccountSet.h"
#include "TsqlEngine.h"
#include "untApplication.h"
#include "untLibraryLoader.h"

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

class ErpBillTest : public kvtest::ErpLibraryTest {
protected:
    QVariant scalar(const QString& sql)
    {
        auto c = kvtsql::Connection::open(db);
        const auto r = c->execute(sql);
        EXPECT_TRUE(r.errors.isEmpty()) << (r.errors.isEmpty() ? "" : r.errors.first().message.toStdString());
        if (r.resultSets.isEmpty() || r.resultSets.first().rows.isEmpty())
            return QVariant();
        return r.resultSets.first().rows.first().first();
    }

    IBillPtr purchaseBill(const QStringList& writeBacks)
    {
        IBillPtr bill = erp->NewBill(4);
        bill->Head()->SetValue("UserID", "plan01");
        bill->Head()->SetValue("SupplierID", "S001");
        IRowListPtr rows = bill->Details("Rows");
        int n = 0;
        for (const QString& sql : writeBacks) {
            IValueListPtr row = rows->Add();
            row->SetValue("ItemID", QStringLiteral("PT-13%1").arg(++n));
            row->SetValue("Qty", 100.5 * n);
            row->SetValue("DueDate", QDate(2027, 1, 20));
            row->SetValue("WriteBackSQL", sql);
        }
        return bill;
    }
};

} // namespace

TEST_F(ErpBillTest, SaveStoresHeadRowsAndRunsTheWriteBacks)
{
    IBillPtr bill = purchaseBill({"update QZ_MRP_Schemes set SchState=9 where SchIID=1",
                                  "insert QZ_SYS_SysSettings (SetClass, SetKey, SetValue) values ('T', 'released', '1')"});
    EXPECT_EQ(bill->Details("rows")->GetCount(), 2); // list names ignore case
    EXPECT_EQ(bill->Details("Rows")->GetRow(1)->GetValue("itemid").toString(), "PT-132");
    QString error;
    ASSERT_TRUE(bill->Save(error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    const QString no = bill->Head()->GetValue("BillNo").toString();
    EXPECT_EQ(no, "PR" + QDate::currentDate().toString("yyyyMMdd") + "-0001");
    const int id = bill->Head()->GetValue("BillID").toInt();
    EXPECT_EQ(scalar(QStringLiteral("select BillNo from ERP_Bills where BillID=%1").arg(id)).toString(), no);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from ERP_BillRows where BillID=%1 and ListName='Rows'").arg(id)).toInt(), 2);
    const QString rowValues = scalar(QStringLiteral("select RowValues from ERP_BillRows where BillID=%1 and RowNo=2").arg(id)).toString();
    EXPECT_TRUE(rowValues.contains("\"ItemID\":\"PT-132\"")) << rowValues.toStdString();
    EXPECT_TRUE(rowValues.contains("\"DueDate\":\"2027-01-20\"")) << rowValues.toStdString();
    EXPECT_FALSE(rowValues.contains("WriteBackSQL"));
    EXPECT_EQ(scalar("select SchState from QZ_MRP_Schemes where SchIID=1").toInt(), 9);
    EXPECT_EQ(scalar("select SetValue from QZ_SYS_SysSettings where SetClass='T'").toString(), "1");

    // one save per bill
    EXPECT_FALSE(bill->Save(error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(ErpBillTest, FailingWriteBackLeavesNothingWritten)
{
    const int stateBefore = scalar("select SchState from QZ_MRP_Schemes where SchIID=1").toInt();
    for (const QString& failing : {QStringLiteral("update NoSuchTable set x=1"),
                                   // the write-back's own error block rolls back and returns
                                   QStringLiteral("update QZ_MRP_Schemes set SchState=1 where SchIID=1\rif @@rowcount>0\rbegin\rrollback\rreturn\rend")}) {
        IBillPtr bill = purchaseBill({"update QZ_MRP_Schemes set SchState=9 where SchIID=1", failing});
        QString error;
        EXPECT_FALSE(bill->Save(error)) << failing.toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(scalar("select count(*) from ERP_Bills").toInt(), 0);
        EXPECT_EQ(scalar("select count(*) from ERP_BillRows").toInt(), 0);
        EXPECT_EQ(scalar("select SchState from QZ_MRP_Schemes where SchIID=1").toInt(), stateBefore);
    }
    // the connection is usable again afterwards
    QString error;
    EXPECT_TRUE(purchaseBill({}).get()->Save(error)) << error.toStdString();
}

TEST_F(ErpBillTest, NumbersProposedKeptAndReplaced)
{
    // (forecast bills keep numbers of their own: see the forecast tests)
    qint16 flag = -1;
    IBillPtr first = erp->NewBill(4);
    const QString proposed = erp->GetNewBillNo(first, flag);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(proposed, "PR" + QDate::currentDate().toString("yyyyMMdd") + "-0001");
    first->Head()->SetValue("BillNo", "PR-OWN-1");
    QString error;
    ASSERT_TRUE(first->Save(error));
    EXPECT_EQ(first->Head()->GetValue("BillNo").toString(), "PR-OWN-1"); // a free number is kept

    IBillPtr second = erp->NewBill(4);
    second->Head()->SetValue("BillNo", "pr-own-1"); // taken (letter case ignored): numbered anew
    ASSERT_TRUE(second->Save(error));
    EXPECT_EQ(second->Head()->GetValue("BillNo").toString(), proposed);

    EXPECT_EQ(erp->GetMaxBillRows(10), 1);
    EXPECT_GT(erp->GetMaxBillRows(4), 1);
    EXPECT_THROW(second->Details("Rows")->GetRow(0), Exception);
}

TEST_F(ErpBillTest, TooManyRowsAndLoggedOut)
{
    IBillPtr bill = erp->NewBill(10);
    bill->Details("Rows")->Add();
    bill->Details("Rows")->Add();
    QString error;
    EXPECT_FALSE(bill->Save(error));
    EXPECT_EQ(error, "单据体内容不允许超过 1 行!");

    IBillPtr open = erp->NewBill(4);
    bool ok = false;
    erp->Logout(ok);
    EXPECT_TRUE(ok);
    EXPECT_THROW(erp->NewBill(4), Exception);
    // a bill of the closed session is refused, not written
    EXPECT_FALSE(open->Save(error));
    EXPECT_EQ(error, "尚未登录ERP账套, 不能保存单据!");
}

// Each order document kind a release writes lands in its own table under its
// own numbers: requisitions are not orders for the next MRP run.
TEST_F(ErpBillTest, OrderKindsLandInTheirOwnTables)
{
    struct Case {
        int kind;
        const char* prefix;
        const char* table;   // and the column prefix of its lines
        const char* components;
    };
    const QStringList tables{"QZ_MRP_MO", "QZ_MRP_OO", "QZ_MRP_OR", "QZ_MRP_PR", "QZ_MRP_PO"};
    for (const Case& c : {Case{10, "MO", "QZ_MRP_MO", "QZ_MRP_MOBOM"}, Case{8, "OO", "QZ_MRP_OO", "QZ_MRP_OOBOM"},
                          Case{7, "OR", "QZ_MRP_OR", nullptr}, Case{4, "PR", "QZ_MRP_PR", nullptr}}) {
        SCOPED_TRACE(c.kind);
        std::map<QString, int> before;
        for (const QString& t : tables)
            before[t] = scalar("select count(*) from " + t).toInt();
        IBillPtr bill = erp->NewBill(c.kind);
        bill->Head()->SetValue("UserID", "plan01");
        bill->Head()->SetValue("DeptID", "D06");
        IValueListPtr row = bill->Details("Rows")->Add();
        row->SetValue("ItemID", c.kind == 4 ? "IPT-121" : "ISA-301");
        row->SetValue("StdQty", 12.0);
        row->SetValue("SupID", c.kind == 10 ? "D01" : "S003");
        row->SetValue("Date", QDate(2027, 2, 1));
        row->SetValue("DrawDate", QDate(2027, 1, 25));
        row->SetValue("BomID", c.kind == 4 ? "" : "B-SA-301");
        QString error;
        ASSERT_TRUE(bill->Save(error)) << error.toStdString();
        const QString no = bill->Head()->GetValue("BillNo").toString();
        EXPECT_EQ(no, c.prefix + QDate::currentDate().toString("yyyyMMdd") + "-0001");
        const QString p = QString(c.table).mid(7);
        for (const QString& t : tables)
            EXPECT_EQ(scalar("select count(*) from " + t).toInt(), before[t] + (t == c.table ? 1 : 0)) << t.toStdString();
        EXPECT_EQ(scalar(QStringLiteral("select convert(varchar(8), %1DelivDate, 112) from %2 where %1No='%3'").arg(p, c.table, no))
                      .toString(),
                  "20270201");
        EXPECT_DOUBLE_EQ(scalar(QStringLiteral("select %1Qty from %2 where %1No='%3' and Checked=1 and Closed=0 and CanMRP=1")
                                    .arg(p, c.table, no))
                             .toDouble(),
                         12);
        if (c.components) {
            EXPECT_GT(scalar(QStringLiteral("select count(*) from %1 where %2No='%3'").arg(c.components, p, no)).toInt(), 0);
        }
    }
}

// Past the 9,999th bill of a day the numbers widen and keep counting: the
// highest number of the day is found as a number, not as text.
TEST_F(ErpBillTest, TenThousandAndOneBillsOfOneKindOnOneDay)
{
    const QString stem = "PR" + QDate::currentDate().toString("yyyyMMdd") + "-";
    // A number a user gave that is not a sequence number does not count.
    IBillPtr own = erp->NewBill(4);
    own->Head()->SetValue("BillNo", stem + "77A");
    QString error;
    ASSERT_TRUE(own->Save(error)) << error.toStdString();
    QStringList numbers;
    for (int i = 1; i <= 10001; ++i) {
        IBillPtr bill = erp->NewBill(4);
        bill->Head()->SetValue("UserID", "plan01");
        ASSERT_TRUE(bill->Save(error)) << i << " " << error.toStdString();
        if (i <= 2 || i >= 9999)
            numbers << bill->Head()->GetValue("BillNo").toString().mid(stem.size());
    }
    EXPECT_EQ(numbers, QStringList({"0001", "0002", "9999", "10000", "10001"}));
    EXPECT_EQ(scalar("select count(distinct BillNo) from ERP_Bills where BillKind=4").toInt(), 10002);
    qint16 flag = 0;
    EXPECT_EQ(erp->GetNewBillNo(erp->NewBill(4), flag), stem + "10002");
    // Other kinds count on their own.
    EXPECT_EQ(erp->GetNewBillNo(erp->NewBill(10), flag), "MO" + stem.mid(2) + "0001");
}

TEST_F(ErpBillTest, ForecastNumbersPastTheFourthDigit)
{
    const QString stem = "FC" + QDate::currentDate().toString("yyyyMMdd") + "-";
    auto c = kvtsql::Connection::open(db);
    for (const QString& no : {stem + "9999", stem + "0100", stem + "12X4"})
        ASSERT_TRUE(c->execute(QStringLiteral("insert QZ_MRP_ForcastHead (ForID, ForNo, ForDate) values ('%1', '%1', getdate())").arg(no))
                        .errors.isEmpty());
    qint16 flag = 0;
    EXPECT_EQ(erp->GetNewBillNo(erp->NewBill(1), flag), stem + "10000");
    ASSERT_TRUE(c->execute(QStringLiteral("insert QZ_MRP_ForcastHead (ForID, ForNo, ForDate) values ('a', '%1', getdate())").arg(stem + "10000"))
                    .errors.isEmpty());
    EXPECT_EQ(erp->GetNewBillNo(erp->NewBill(1), flag), stem + "10001");
}
