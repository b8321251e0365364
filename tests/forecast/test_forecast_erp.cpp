// The forecast bill of the ERP integration library (kept in the account set's
// forecast tables) and the account set's property-combination procedure.
#include "ErpLibraryTest.h"
#include "NewAccountSet.h"
#include "StandInProcedures.h"
#include "TsqlEngine.h"
#include "untApplication.h"
#include "untLibraryLoader.h"

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ForecastBillTest : public kvtest::ErpLibraryTest {
protected:
    void SetUp() override
    {
        kvdemo::registerStandInProcedures();
        kvtest::ErpLibraryTest::SetUp();
    }

    // "a|b|c" rows of a statement.
    QStringList rows(const QString& sql)
    {
        auto c = kvtsql::Connection::open(db);
        const auto r = c->execute(sql);
        EXPECT_TRUE(r.errors.isEmpty()) << (r.errors.isEmpty() ? "" : r.errors.first().message.toStdString());
        QStringList out;
        if (!r.resultSets.isEmpty())
            for (const auto& row : r.resultSets.first().rows) {
                QStringList cells;
                for (const QVariant& v : row)
                    cells << (v.isNull() ? QStringLiteral("null") : v.toString());
                out << cells.join(u'|');
            }
        return out;
    }
    QString value(const QString& sql) { return rows(sql).value(0); }

    struct Line {
        QString item;
        double qty;
        QDate delivery;
        QString cust;
    };
    // A forecast document; the rows are added before the head values, as a
    // caller may do.
    IBillPtr forecast(const QString& billID, const QString& billNo, const QList<Line>& lines, QDate date = QDate(2027, 1, 4))
    {
        IBillPtr bill = erp->NewBill(1);
        IRowListPtr list = bill->Details("Rows");
        int index = 0;
        for (const Line& l : lines) {
            IValueListPtr row = list->Add();
            row->SetValue("Index", ++index);
            row->SetValue("ItemID", l.item);
            row->SetValue("ItemProps", "");
            for (int n = 1; n <= 10; ++n)
                row->SetValue(QStringLiteral("ItemProp%1").arg(n), "");
            row->SetValue("CustID", l.cust);
            row->SetValue("UnitID", "PCS");
            row->SetValue("UnitRate", 1);
            row->SetValue("Qty", l.qty);
            row->SetValue("StdQty", l.qty);
            row->SetValue("Date", QDateTime(l.delivery, QTime(0, 0)));
            row->SetValue("Note", "备注'" + QString::number(index));
            row->SetValue("OrigTag", "");
            row->SetValue("OrigSubTag", "");
            row->SetValue("MRPGroupType", 0);
            row->SetValue("MRPGroupNo", "");
        }
        bill->Head()->SetValue("BillID", billID);
        bill->Head()->SetValue("Date", QDateTime(date, QTime(0, 0)));
        bill->Head()->SetValue("UserID", "plan01");
        bill->Head()->SetValue("BillNo", billNo);
        return bill;
    }
};

} // namespace

TEST_F(ForecastBillTest, ANewBillLandsInTheForecastTablesWithItsNumber)
{
    qint16 flag = -1;
    IBillPtr bill = forecast("", "", {{"IFG-2001", 120, {2027, 2, 15}, "C001"}, {"IFG-3001", 40.5, {2027, 3, 1}, ""}});
    const QString today = QDate::currentDate().toString("yyyyMMdd");
    const QString proposed = erp->GetNewBillNo(bill, flag);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(proposed, "FC" + today + "-0001");
    EXPECT_EQ(erp->GetNewBillNo(bill, flag), proposed); // asking takes no number
    QString error;
    ASSERT_TRUE(bill->Save(error)) << error.toStdString();
    const QString id = bill->Head()->GetValue("BillID").toString();
    EXPECT_FALSE(id.isEmpty());
    EXPECT_EQ(bill->Head()->GetValue("BillNo").toString(), proposed);

    EXPECT_EQ(rows("select ForNo, convert(varchar(8), ForDate, 112), ForUsrID, Checked, Closed from QZ_MRP_ForcastHead where ForID='" + id + "'"),
              QStringList{proposed + "|20270104|plan01|0|0"});
    EXPECT_EQ(rows("select ForEntry, ForNo, ForItmID, ForCustID, ForUntID, ForBillQty, ForQty, ForUBillQty, "
                   "convert(varchar(8), ForDelivDate, 112), ForItmProps, ForGroupType, ForGroupNo, ForNote, Checked, CanMRP "
                   "from QZ_MRP_Forcast where ForID='" + id + "' order by ForEntry"),
              (QStringList{"1|" + proposed + "|IFG-2001|C001|PCS|120.00000000|120.00000000|120.00000000|20270215||0||备注'1|0|0",
                           "2|" + proposed + "|IFG-3001|null|PCS|40.50000000|40.50000000|40.50000000|20270301||0||备注'2|0|0"}));
    // the next proposal follows the number taken
    EXPECT_EQ(erp->GetNewBillNo(erp->NewBill(1), flag), "FC" + today + "-0002");
}

TEST_F(ForecastBillTest, AnUncheckedBillIsRewrittenACheckedOneIsRefused)
{
    IBillPtr first = forecast("", "FC-T-1", {{"IFG-2001", 100, {2027, 2, 15}, ""}, {"IFG-3001", 50, {2027, 3, 1}, ""}});
    QString error;
    ASSERT_TRUE(first->Save(error)) << error.toStdString();
    const QString id = first->Head()->GetValue("BillID").toString();
    rows("insert QZ_MRP_ForcastExt (ForID, ForEntry, ForDedADis) values ('" + id + "', 1, 1)\n"
         "insert QZ_MRP_ForcastExt (ForID, ForEntry, ForDedADis) values ('" + id + "', 2, 1)\n"
         "select 1");

    // one line less, its own number kept
    IBillPtr edit = forecast(id, "FC-T-1", {{"IFG-1001", 70, {2027, 2, 20}, "C002"}}, QDate(2027, 1, 5));
    ASSERT_TRUE(edit->Save(error)) << error.toStdString();
    EXPECT_EQ(edit->Head()->GetValue("BillID").toString(), id);
    EXPECT_EQ(edit->Head()->GetValue("BillNo").toString(), "FC-T-1");
    EXPECT_EQ(rows("select ForEntry, ForItmID, ForQty, convert(varchar(8), ForDate, 112) from QZ_MRP_Forcast where ForID='" + id + "'"),
              QStringList{"1|IFG-1001|70.00000000|20270105"});
    EXPECT_EQ(value("select convert(varchar(8), ForDate, 112) from QZ_MRP_ForcastHead where ForID='" + id + "'"), "20270105");
    EXPECT_EQ(value("select count(*) from QZ_MRP_ForcastExt where ForID='" + id + "'"), "1"); // the vanished line's went with it

    // once checked, the ERP refuses to change it
    rows("exec QZ_MRP_UpdateForcast @ForID='" + id + "', @ForEntry=0, @UpdateType=1, @UserID='plan01'\nselect 1");
    IBillPtr late = forecast(id, "FC-T-1", {{"IFG-1001", 99, {2027, 2, 20}, ""}});
    EXPECT_FALSE(late->Save(error));
    EXPECT_EQ(error, "预测单\"" + id + "\"已审核, 不能修改!");
    EXPECT_EQ(value("select ForQty from QZ_MRP_Forcast where ForID='" + id + "'"), "70.00000000");

    // a bill that is gone cannot be edited either
    IBillPtr gone = forecast("NO-SUCH-BILL", "", {{"IFG-1001", 1, {2027, 2, 20}, ""}});
    EXPECT_FALSE(gone->Save(error));
    EXPECT_EQ(error, "预测单\"NO-SUCH-BILL\"不存在, 可能已被删除!");
}

TEST_F(ForecastBillTest, RefusalsLeaveNothingWritten)
{
    const QString before = value("select count(*) from QZ_MRP_Forcast");
    const struct {
        const char* name;
        QString billNo;
        QList<Line> lines;
        QString error;
    } cases[] = {
        {"number of another bill (case ignored)", "fc-202612-001", {{"IFG-2001", 10, {2027, 2, 1}, ""}},
         "单据编号\"fc-202612-001\"已被其他预测单使用, 不能保存!"},
        {"no lines", "", {}, "预测单没有明细行, 不能保存!"},
        {"unknown item on line 2", "", {{"IFG-2001", 10, {2027, 2, 1}, ""}, {"NO-ITEM", 10, {2027, 2, 1}, ""}},
         "第2行的物料(NO-ITEM)不存在!"},
        {"no quantity", "", {{"IFG-2001", 0, {2027, 2, 1}, ""}}, "第1行的数量必须大于0!"},
        {"no delivery date", "", {{"IFG-2001", 5, {}, ""}}, "第1行的交货日期无效!"},
    };
    for (const auto& c : cases) {
        IBillPtr bill = forecast("", c.billNo, c.lines);
        QString error;
        EXPECT_FALSE(bill->Save(error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(value("select count(*) from QZ_MRP_Forcast"), before) << c.name;
    }
    EXPECT_EQ(value("select count(*) from QZ_MRP_ForcastHead"), "1");

    // more lines than a forecast may hold
    QList<Line> many;
    for (int i = 0; i <= erp->GetMaxBillRows(1); ++i)
        many << Line{"IFG-2001", 1, {2027, 2, 1}, ""};
    QString error;
    EXPECT_FALSE(forecast("", "", many)->Save(error));
    EXPECT_EQ(error, QStringLiteral("单据体内容不允许超过 %1 行!").arg(erp->GetMaxBillRows(1)));
}

TEST(ItemPropsProcedure, TheCombinationOfAnItemsPropertyTexts)
{
    QTemporaryDir dir;
    const QString db = dir.filePath("demo.kvdb");
    QString error;
    ASSERT_TRUE(kvdemo::createAccountSet(db, &error)) << error.toStdString();
    kvdemo::registerStandInProcedures();
    auto c = kvtsql::Connection::open(db);
    // an item using properties 2 and 5, with two combinations
    const auto setup = c->execute(
        "update QZ_Base_ItemMaster set ItmHasProp2=1, ItmHasProp5=1 where ItmID='IFG-3001'\n"
        "insert QZ_Base_ItemProps (ItpID, ItpItmID, ItpProp2, ItpProp5) values ('P-RED-S', 'IFG-3001', '红', '小')\n"
        "insert QZ_Base_ItemProps (ItpID, ItpItmID, ItpProp2, ItpProp5) values ('P-BLUE-L', 'IFG-3001', '蓝', '大')");
    ASSERT_TRUE(setup.errors.isEmpty()) << setup.errors.first().message.toStdString();

    const struct {
        QString args; // item and ten texts
        QString result; // ID|ErrNum
    } cases[] = {
        {"'IFG-3001', '', '红', '', '', '小', '', '', '', '', ''", "P-RED-S|0"},
        {"'IFG-3001', '', ' 蓝 ', '', '', '大', '', '', '', '', ''", "P-BLUE-L|0"},   // blanks and case do not count
        {"'IFG-3001', '', '红', '', '', '大', '', '', '', '', ''", "|0"},               // texts known, combination not
        {"'IFG-3001', '', '红', '', '', '', '', '', '', '', ''", "|5"},                 // a used property left empty
        {"'IFG-3001', '', '绿', '', '', '小', '', '', '', '', ''", "|2"},               // a text no combination has
        {"'IFG-3001', 'x', '红', '', '', '小', '', '', '', '', ''", "|1"},              // a property the item does not use
        {"'IFG-2001', '', '', '', '', '', '', '', '', '', ''", "|0"},                   // an item without properties
        {"'NO-ITEM', '', '红', '', '', '小', '', '', '', '', ''", "|0"},
    };
    for (const auto& t : cases) {
        const auto r = c->execute("exec QZ_MRP_GetItemPropsID " + t.args);
        ASSERT_TRUE(r.errors.isEmpty()) << r.errors.first().message.toStdString();
        ASSERT_EQ(r.resultSets.size(), 1) << t.args.toStdString();
        ASSERT_EQ(r.resultSets.first().rows.size(), 1);
        const auto row = r.resultSets.first().rows.first();
        EXPECT_EQ(row.value(0).toString() + "|" + row.value(1).toString(), t.result) << t.args.toStdString();
        EXPECT_EQ(r.resultSets.first().columns.value(0).name, "ID");
        EXPECT_EQ(r.resultSets.first().columns.value(1).name, "ErrNum");
    }
}
