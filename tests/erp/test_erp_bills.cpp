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
    EXPECT_EQ(no, "PO" + QDate::currentDate().toString("yyyyMMdd") + "-0001");
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
    EXPECT_EQ(proposed, "PO" + QDate::currentDate().toString("yyyyMMdd") + "-0001");
    first->Head()->SetValue("BillNo", "PO-OWN-1");
    QString error;
    ASSERT_TRUE(first->Save(error));
    EXPECT_EQ(first->Head()->GetValue("BillNo").toString(), "PO-OWN-1"); // a free number is kept

    IBillPtr second = erp->NewBill(4);
    second->Head()->SetValue("BillNo", "po-own-1"); // taken (letter case ignored): numbered anew
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
