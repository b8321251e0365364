// A grid editing a query result as a batch on the client: record statuses,
// the pending-only filter, revert, and writing the batch in one transaction.
#include "ScratchDatabase.h"
#include "Ado.h"
#include "BandedGrid.h"
#include "DataSetSource.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kvui;

namespace {

QString statusText(RecordStatus s)
{
    switch (s) {
    case RecordStatus::Unchanged: return "U";
    case RecordStatus::Modified: return "M";
    case RecordStatus::Inserted: return "I";
    case RecordStatus::Deleted: return "D";
    }
    return "?";
}

QString number(const QVariant& v) { return v.isNull() ? QString() : QString::number(v.toDouble()); }

// Four items in two groups, read through a query into the grid.
struct EditGridFixture : ::testing::Test {
    QTemporaryDir dir;
    TADOConnection connection;
    TADOQuery query;
    DataSetSource source;
    BandedGrid grid;
    Column *no = nullptr, *grp = nullptr, *qty = nullptr;

    void SetUp() override
    {
        connection.SetConnectionString(
            QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=t").arg(scratchDatabase(dir.filePath("t.db"))));
        connection.Execute("create table T (ItmNo nvarchar(20) not null primary key, Grp nvarchar(10) null, "
                           "Qty decimal(28,8) null)");
        connection.Execute("insert T (ItmNo, Grp, Qty) values ('A', 'G1', 1)");
        connection.Execute("insert T (ItmNo, Grp, Qty) values ('B', 'G1', 2)");
        connection.Execute("insert T (ItmNo, Grp, Qty) values ('C', 'G2', 3)");
        connection.Execute("insert T (ItmNo, Grp, Qty) values ('D', 'G2', 4)");
        query.SetConnection(&connection);
        query.SQL.SetText("select ItmNo, Grp, Qty from T order by ItmNo");
        query.Open();
        source.setDataSet(&query);
        grid.addBand();
        no = grid.addColumn("物料代码", "ItmNo");
        grp = grid.addColumn("分组", "Grp");
        qty = grid.addColumn("数量", "Qty");
        grid.setDataSource(&source);
        grid.resize(600, 400);
    }

    int recordOf(const QString& itmNo) const
    {
        for (int r = 0; r < source.recordCount(); ++r)
            if (source.fieldValue(r, "ItmNo").toString() == itmNo) return r;
        return -1;
    }
    // Shown records as "ItmNo=Qty status", in record order.
    QStringList shown() const
    {
        QStringList out;
        for (int r = 0; r < source.recordCount(); ++r)
            out << QStringLiteral("%1=%2 %3").arg(source.fieldValue(r, "ItmNo").toString(),
                                                  number(source.fieldValue(r, "Qty")), statusText(source.recordStatus(r)));
        return out;
    }
    // Pending records as "status ItmNo old->new quantity", in the order they are written.
    QStringList pending() const
    {
        QStringList out;
        for (const PendingRecord& p : source.pendingRecords())
            out << QStringLiteral("%1 %2 %3->%4").arg(statusText(p.status()), p.value("ItmNo").toString(),
                                                      number(p.oldValue("Qty")), number(p.value("Qty")));
        return out;
    }
    // The stored rows as "ItmNo=Qty".
    QStringList stored()
    {
        TADOQuery q;
        q.SetConnection(&connection);
        q.SQL.SetText("select ItmNo, Qty from T order by ItmNo");
        q.Open();
        QStringList out;
        for (; !q.Eof(); q.Next()) out << q.FieldByName("ItmNo")->AsString() + "=" + number(q.FieldByName("Qty")->Value());
        return out;
    }
    QStringList shownInGrid() const
    {
        QStringList out;
        for (int i = 0; i < grid.rowCount(); ++i)
            out << (grid.row(i).kind == RowRef::Group ? "[" + grid.groupRowText(i) + "]" : grid.cellText(i, no));
        return out;
    }
    QString focusedItem() const { return grid.value(grid.focusedRecordIndex(), no).toString(); }
    void setQty(const QString& itmNo, double q) { ASSERT_TRUE(source.setFieldValue(recordOf(itmNo), "Qty", q)); }
};

const QStringList Untouched{"A=1 U", "B=2 U", "C=3 U", "D=4 U"};

} // namespace

TEST_F(EditGridFixture, EachEditMovesTheRecordToItsStatus)
{
    struct Case {
        const char* name;
        std::function<void(EditGridFixture&)> act;
        QStringList shown;
        QStringList pending;
    };
    const QList<Case> cases{
        {"an appended record deleted again leaves nothing",
         [](EditGridFixture& f) { f.source.deleteRecord(f.source.appendRecord({{"ItmNo", "N"}, {"Qty", 5}})); },
         Untouched, {}},
        {"a modified record reverted has its loaded value back",
         [](EditGridFixture& f) { f.setQty("B", 20); f.source.revertRecord(f.recordOf("B")); }, Untouched, {}},
        {"a modified record deleted is written as a delete",
         [](EditGridFixture& f) { f.setQty("B", 20); f.source.deleteRecord(f.recordOf("B")); },
         {"A=1 U", "C=3 U", "D=4 U"}, {"D B 2->20"}},
        {"a record changed and changed back stays modified",
         [](EditGridFixture& f) { f.setQty("B", 20); f.setQty("B", 2); },
         {"A=1 U", "B=2 M", "C=3 U", "D=4 U"}, {"M B 2->2"}},
        {"writing the value a record holds changes nothing",
         [](EditGridFixture& f) { f.setQty("B", 2); }, Untouched, {}},
        {"an appended record stays inserted when edited",
         [](EditGridFixture& f) { f.source.setFieldValue(f.source.appendRecord({{"ItmNo", "N"}, {"Qty", 5}}), "Qty", 6); },
         {"A=1 U", "B=2 U", "C=3 U", "D=4 U", "N=6 I"}, {"I N ->6"}},
        {"an appended record reverted is gone",
         [](EditGridFixture& f) { f.source.revertRecord(f.source.appendRecord({{"ItmNo", "N"}})); }, Untouched, {}},
        {"revert all brings deleted records back and drops appended ones",
         [](EditGridFixture& f) {
             f.source.deleteRecord(f.recordOf("A"));
             f.setQty("C", 30);
             f.source.appendRecord({{"ItmNo", "N"}});
             f.source.revertAll();
         },
         Untouched, {}},
        {"deletions are written first, in the order they were made",
         [](EditGridFixture& f) {
             f.source.appendRecord({{"ItmNo", "N"}, {"Qty", 7}});
             f.setQty("A", 10);
             f.source.deleteRecord(f.recordOf("D"));
             f.source.deleteRecords({f.recordOf("B"), f.recordOf("B")});
         },
         {"A=10 M", "C=3 U", "N=7 I"}, {"D D 4->4", "D B 2->2", "M A 1->10", "I N ->7"}},
        {"an append naming a field the result lacks is refused",
         [](EditGridFixture& f) { EXPECT_EQ(f.source.appendRecord({{"ItmNo", "N"}, {"NoSuchField", 1}}), -1); },
         Untouched, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        source.revertAll();
        c.act(*this);
        EXPECT_EQ(shown(), c.shown);
        EXPECT_EQ(pending(), c.pending);
        EXPECT_EQ(source.isModified(), !c.pending.isEmpty());
        EXPECT_EQ(grid.recordCount(), c.shown.size());   // the grid re-read the records
    }
}

TEST_F(EditGridFixture, OldAndNewValueOfACell)
{
    const int f = source.fieldIndex("Qty");
    setQty("C", 30);
    const int c = recordOf("C");
    EXPECT_EQ(source.value(c, f).toDouble(), 30);
    EXPECT_EQ(source.oldValue(c, f).toDouble(), 3);
    EXPECT_TRUE(source.isValueChanged(c, f));
    EXPECT_FALSE(source.isValueChanged(c, source.fieldIndex("ItmNo")));
    const int n = source.appendRecord({{"ItmNo", "N"}});
    EXPECT_TRUE(source.oldValue(n, f).isNull());
    EXPECT_TRUE(source.value(n, f).isNull());
    EXPECT_FALSE(source.moveTo(n));   // the query holds no such record
    EXPECT_TRUE(source.moveTo(c));
    EXPECT_EQ(query.FieldByName("ItmNo")->AsString(), "C");
    EXPECT_EQ(query.FieldByName("Qty")->AsFloat(), 3);   // the query itself is never written

    source.setReadOnly(true);
    EXPECT_EQ(source.appendRecord(), -1);
    EXPECT_FALSE(source.deleteRecord(c));
    EXPECT_FALSE(source.setValue(c, f, 31));
    EXPECT_EQ(source.pendingCount(), 2);
}

TEST_F(EditGridFixture, PendingOnlyFilterWithGrouping)
{
    grid.groupBy(grp);
    grid.expandAllGroups();
    setQty("B", 20);
    setQty("D", 40);
    source.appendRecord({{"ItmNo", "N"}, {"Grp", "G3"}});
    source.deleteRecord(recordOf("C"));
    grid.expandAllGroups();
    ASSERT_TRUE(grid.setFocusedRecordIndex(recordOf("D")));
    QSignalSpy focusSpy(&grid, &BandedGrid::focusedRecordChanged);

    source.setPendingOnly(true);
    EXPECT_EQ(shown(), (QStringList{"B=20 M", "D=40 M", "N= I"}));
    EXPECT_EQ(shownInGrid(), (QStringList{"[分组 : G1]", "B", "[分组 : G2]", "D", "[分组 : G3]", "N"}));
    EXPECT_EQ(focusedItem(), "D");
    EXPECT_EQ(focusSpy.count(), 0);   // the same record keeps the focus

    // Reverting the focused record hides it; the row now at its place takes the focus.
    source.revertRecord(recordOf("D"));
    EXPECT_EQ(shownInGrid(), (QStringList{"[分组 : G1]", "B", "[分组 : G3]", "N"}));
    EXPECT_EQ(grid.focusedRow(), 3);
    EXPECT_EQ(focusedItem(), "N");

    // A check of the pending records that fails at B: the bookmark finds B
    // again once every record shows.
    ASSERT_TRUE(grid.setFocusedRecordIndex(recordOf("B")));
    const quint64 failed = grid.bookmark();
    source.setPendingOnly(false);
    EXPECT_EQ(shownInGrid(), (QStringList{"[分组 : G1]", "A", "B", "[分组 : G2]", "D", "[分组 : G3]", "N"}));
    ASSERT_TRUE(grid.setFocusedRecordIndex(recordOf("N")));
    EXPECT_TRUE(grid.gotoBookmark(failed));
    EXPECT_EQ(focusedItem(), "B");
    EXPECT_FALSE(grid.gotoBookmark(BandedGrid::NoBookmark));
    EXPECT_EQ(pending(), (QStringList{"D C 3->3", "M B 2->20", "I N ->"}));
}

TEST_F(EditGridFixture, FocusStaysWithItsRecordAcrossEditsRevertsAndReloads)
{
    ASSERT_TRUE(grid.setFocusedRecordIndex(recordOf("C")));
    QSignalSpy focusSpy(&grid, &BandedGrid::focusedRecordChanged);

    source.deleteRecord(recordOf("A"));   // C moves up one record
    EXPECT_EQ(focusedItem(), "C");
    EXPECT_EQ(focusSpy.count(), 0);

    grid.setMultiSelect(true);
    grid.selectRecord(recordOf("D"), true);
    source.appendRecord({{"ItmNo", "N"}});
    EXPECT_EQ(focusedItem(), "C");
    EXPECT_EQ(grid.selectedRecordIndexes(), (QList<int>{recordOf("C"), recordOf("D")}));

    source.deleteRecord(recordOf("C"));   // the focused record goes: the next one takes its place
    EXPECT_EQ(focusedItem(), "D");
    EXPECT_EQ(focusSpy.count(), 1);

    source.revertAll();
    EXPECT_EQ(shown(), Untouched);
    EXPECT_EQ(focusedItem(), "D");

    // Sorted by quantity, an edited record moves to its new place once the edit is over.
    // Whoever handles the edit still finds the edited record at the row it names.
    grid.sortBy(qty, Qt::AscendingOrder);
    grid.setFocusedRecordIndex(recordOf("A"));
    grid.setFocusedColumn(qty);
    QString editedItem;
    QObject::connect(&grid, &BandedView::cellEdited,
                     [&](int row, Column*, const QVariant&, const QVariant&) { editedItem = grid.cellText(row, no); });
    ASSERT_TRUE(grid.startEdit(qty, "10"));
    ASSERT_TRUE(grid.postEdit());
    EXPECT_EQ(editedItem, "A");
    EXPECT_EQ(shownInGrid(), (QStringList{"A", "B", "C", "D"}));
    QCoreApplication::processEvents();
    EXPECT_EQ(shownInGrid(), (QStringList{"B", "C", "D", "A"}));
    EXPECT_EQ(focusedItem(), "A");

    // A reload drops what was pending and shows the query's records.
    setQty("B", 20);
    source.setPendingOnly(true);
    query.Close();
    query.Open();
    source.reset();
    EXPECT_EQ(shown(), Untouched);
    EXPECT_FALSE(source.isModified());
    EXPECT_FALSE(source.pendingOnly());
}

TEST_F(EditGridFixture, ApplyWritesThePendingRecordsInOneTransaction)
{
    // The caller's statement for one pending record.
    auto statement = [](const PendingRecord& p) {
        const QString key = p.oldValue("ItmNo").toString();
        switch (p.status()) {
        case RecordStatus::Deleted: return QStringLiteral("delete T where ItmNo='%1'").arg(key);
        case RecordStatus::Inserted:
            return QStringLiteral("insert T (ItmNo, Grp, Qty) values ('%1', 'G3', %2)")
                .arg(p.value("ItmNo").toString(), number(p.value("Qty")));
        default: return QStringLiteral("update T set Qty=%1 where ItmNo='%2'").arg(number(p.value("Qty")), key);
        }
    };
    QStringList written;
    // Writes record by record; `failAt` decides what happens at one item.
    auto writerFailingAt = [&](std::function<bool(const QString&)> failAt) {
        return [&, failAt](const QList<PendingRecord>& records) {
            for (const PendingRecord& p : records) {
                if (!failAt(p.value("ItmNo").toString())) return false;
                connection.Execute(statement(p));
                written << p.value("ItmNo").toString();
            }
            return true;
        };
    };
    auto writer = writerFailingAt([](const QString&) { return true; });

    // Nothing pending: nothing runs.
    EXPECT_TRUE(source.applyUpdates(&connection, writer).ok);
    EXPECT_TRUE(written.isEmpty());

    source.deleteRecord(recordOf("A"));
    setQty("B", 20);
    setQty("C", 30);
    source.appendRecord({{"ItmNo", "N"}, {"Qty", 5}});
    const QStringList pendingBefore = pending();
    const QStringList shownBefore = shown();

    struct Failure {
        const char* name;
        std::function<bool(const QString&)> failAt;
        bool withError;
    };
    const QList<Failure> failures{
        {"the writer answers false at the third record", [](const QString& no) { return no != "C"; }, false},
        {"a statement fails at the third record",
         [&](const QString& no) {
             if (no == "C") connection.Execute("update NoSuchTable set x=1");
             return true;
         },
         true},
        {"the writer's own batch rolls back and stops at the third record",
         [&](const QString& no) {
             if (no == "C") connection.Execute("begin tran\r\nupdate T set Qty=0\r\nrollback\r\nraiserror ('no balance row', 16, 1)\r\n");
             return true;
         },
         true},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        written.clear();
        DataSetSource::ApplyResult r = source.applyUpdates(&connection, writerFailingAt(f.failAt));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error.isEmpty(), !f.withError);
        EXPECT_EQ(written, (QStringList{"A", "B"}));   // written, then rolled back
        EXPECT_EQ(stored(), (QStringList{"A=1", "B=2", "C=3", "D=4"}));
        EXPECT_EQ(pending(), pendingBefore);
        EXPECT_EQ(shown(), shownBefore);
        EXPECT_FALSE(connection.InTransaction());
    }

    // A writer whose own SQL ended the transaction without an error: the
    // commit fails, and the connection is not left counting a transaction.
    DataSetSource::ApplyResult ended = source.applyUpdates(&connection, [&](const QList<PendingRecord>& records) {
        for (const PendingRecord& p : records) connection.Execute(statement(p));
        connection.Execute("rollback");
        return true;
    });
    EXPECT_FALSE(ended.ok);
    EXPECT_FALSE(ended.error.isEmpty());
    EXPECT_EQ(stored(), (QStringList{"A=1", "B=2", "C=3", "D=4"}));
    EXPECT_EQ(pending(), pendingBefore);
    EXPECT_FALSE(connection.InTransaction());

    // Corrected, the same batch goes through.
    written.clear();
    DataSetSource::ApplyResult r = source.applyUpdates(&connection, writer);
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(written, (QStringList{"A", "B", "C", "N"}));
    EXPECT_EQ(stored(), (QStringList{"B=20", "C=30", "D=4", "N=5"}));
    EXPECT_EQ(shown(), (QStringList{"B=20 U", "C=30 U", "D=4 U", "N=5 U"}));
    EXPECT_FALSE(source.isModified());
    EXPECT_EQ(source.oldValue(recordOf("B"), source.fieldIndex("Qty")).toDouble(), 20);
    EXPECT_FALSE(connection.InTransaction());
}

TEST_F(EditGridFixture, AnEmptyResultTakesAppendedRecords)
{
    query.Close();
    query.SQL.SetText("select ItmNo, Grp, Qty from T where 1=0");
    query.Open();
    source.reset();
    ASSERT_EQ(grid.recordCount(), 0);
    const int n = source.appendRecord({{"ItmNo", "N"}, {"Grp", "G9"}});
    ASSERT_EQ(n, 0);
    EXPECT_TRUE(grid.setFocusedRecordIndex(n));
    EXPECT_EQ(focusedItem(), "N");
    EXPECT_EQ(pending(), (QStringList{"I N ->"}));
    source.revertAll();
    EXPECT_EQ(grid.recordCount(), 0);
    EXPECT_EQ(grid.focusedRecordIndex(), -1);
}
