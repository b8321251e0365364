// A grid fed from an open query through DataSetSource.
#include "ScratchDatabase.h"
#include "Ado.h"
#include "BandedGrid.h"
#include "DataSetSource.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kvui;

TEST(DataSetSource, GridShowsSortsAndEditsAQueryResult)
{
    QTemporaryDir dir;
    TADOQuery q;
    q.SetConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=t").arg(scratchDatabase(dir.filePath("t.db"))));
    q.SQL.SetText("select 'P1' as ItmNo, 10 as Qty, cast(2.5 as float) as Price union all "
                  "select 'p0', 9, cast(1.25 as float) union all select 'P2', 100, null");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 3);
    q.SetRecNo(2);

    DataSetSource src(&q);
    BandedGrid grid;
    grid.addBand();
    Column* no = grid.addColumn("物料代码", "ItmNo");
    Column* qty = grid.addColumn("数量", "QTY");   // fields match without regard to case
    Column* price = grid.addColumn("单价", "Price");
    grid.setDataSource(&src);
    EXPECT_EQ(grid.recordCount(), 3);
    EXPECT_EQ(grid.value(0, no).toString(), "P1");
    EXPECT_EQ(grid.value(2, qty).toLongLong(), 100);
    EXPECT_TRUE(grid.value(2, price).isNull());
    EXPECT_EQ(q.RecNo(), 2);   // reading leaves the query's cursor alone
    EXPECT_EQ(src.fieldType(src.fieldIndex("Qty")), QMetaType::LongLong);

    // Numbers sort as numbers, texts without regard to case.
    grid.sortBy(qty, Qt::AscendingOrder);
    EXPECT_EQ(grid.shownRecordOrder(), (QList<int>{1, 0, 2}));
    grid.sortBy(no, Qt::DescendingOrder);
    EXPECT_EQ(grid.shownRecordOrder(), (QList<int>{2, 0, 1}));

    // Edits stay in the source's change list, typed like the field.
    EXPECT_TRUE(grid.setValue(0, qty, "12"));
    EXPECT_EQ(grid.value(0, qty).toLongLong(), 12);
    EXPECT_EQ(q.FieldByName("Qty")->AsInteger(), 9);   // the query still holds record 2
    EXPECT_TRUE(src.isModified());
    EXPECT_FALSE(grid.setValue(0, qty, "x"));
    src.moveTo(2);
    EXPECT_EQ(q.FieldByName("ItmNo")->AsString(), "P2");

    // After the query reopens the grid reads it again.
    q.Close();
    q.SQL.SetText("select 'X' as ItmNo, 1 as Qty, cast(0 as float) as Price");
    q.Open();
    src.reset();
    EXPECT_FALSE(src.isModified());
    EXPECT_EQ(grid.recordCount(), 1);
    EXPECT_EQ(grid.displayText(0, no), "X");
}

// A row limit hides the loaded records beyond it (the one extra row a capped
// query asked for), never a record the user appends.
TEST(DataSetSource, ARowLimitHidesOnlyLoadedRecords)
{
    QTemporaryDir dir;
    TADOQuery q;
    q.SetConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=t").arg(scratchDatabase(dir.filePath("t.db"))));
    q.SQL.SetText("select 'A' as ItmNo union all select 'B' union all select 'C'");
    q.Open();
    DataSetSource src(&q);
    int limit = 2;
    src.setRowLimit([&limit] { return limit; });
    src.reset();
    EXPECT_EQ(src.recordCount(), 2);
    EXPECT_EQ(src.fieldValue(1, "ItmNo").toString(), "B");
    const int added = src.appendRecord({{"ItmNo", "N"}});
    EXPECT_EQ(added, 2);
    EXPECT_EQ(src.recordCount(), 3);
    EXPECT_EQ(src.fieldValue(2, "ItmNo").toString(), "N");
    ASSERT_EQ(src.pendingRecords().size(), 1);
    EXPECT_EQ(src.pendingRecords()[0].status(), RecordStatus::Inserted);
    limit = 5;
    src.reset();
    EXPECT_EQ(src.recordCount(), 3);
}
