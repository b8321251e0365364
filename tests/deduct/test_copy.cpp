// Copying a plan scheme's results into a new scheme, on the demo scheme after
// a whole MRP run.
#include "EngineDbFixture.h"
#include "ScriptedMessageBoxes.h"
#include "untMRP.h"
#include "untMRPCopy.h"

#include <memory>

using namespace enginetest;

namespace {

// Each result table with its scheme column and its key columns.
struct TResultTable {
    const char* table;
    const char* schemeColumn;
    const char* orderBy;
};
const TResultTable kTables[] = {
    {"QZ_MRP_Main", "ManSchIID", "ManIID"},       {"QZ_MRP_Demands", "DmdSchIID", "DmdIID"},
    {"QZ_MRP_Supplies", "SupSchIID", "SupIID"},   {"QZ_MRP_SupAdjusts", "AdjSchIID", "AdjSupIID"},
    {"QZ_MRP_Allots", "AltSchIID", "AltIID"},     {"QZ_MRP_Balance", "BalSchIID", "BalIID"},
    {"QZ_MRP_RunLog", "LogSchIID", "LogIID"},
};

class CopyTest : public EngineDbTest {
protected:
    // The demo scheme after main demand and MRP, and a new empty scheme.
    void SetUp() override
    {
        EngineDbTest::SetUp();
        if (HasFatalFailure())
            return;
        TPlanScheme s(GlobalADOConnection);
        ASSERT_TRUE(s.Load(1));
        ASSERT_TRUE(s.RunMPS(false, false));
        ASSERT_TRUE(s.Load(1));
        // With a message callback, so that the run log has lines to copy.
        ASSERT_TRUE(s.RunMRP(false, false, false,
                             [](TMessageKind, const QString&, const QString&, const QVariant&, const QVariant&, void*) -> void* {
                                 return nullptr;
                             }));
        // A kept supply adjustment, so that every table has rows.
        exec("insert QZ_MRP_SupAdjusts (AdjSchIID, AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty, AdjPending) "
             "select top 1 1, SupIID, SupBillType, SupBomID, SupQty, 1 from QZ_MRP_Supplies where SupSchIID=1 and "
             "SupBillType=42 order by SupIID");
        TPlanScheme target(GlobalADOConnection);
        target.SchemeName = QStringLiteral("复制方案");
        target.PlanCalIID = 1;
        target.PlanPeriods = s.PlanPeriods;
        target.Creater = InfoApplication->LoginInfo.UserID;
        ASSERT_TRUE(target.Save());
        targetIID = target.SchemeIID;
        ASSERT_GT(targetIID, 1);
    }

    // Every column of a scheme's rows but the scheme column, in key order.
    QStringList tableRows(const TResultTable& t, int scheme)
    {
        TADOQuery q;
        q.SetConnection(GlobalADOConnection);
        EXPECT_TRUE(ExecSQLText(&q,
                                QStringLiteral("select * from %1 where %2=%3 order by %4")
                                    .arg(QLatin1String(t.table), QLatin1String(t.schemeColumn))
                                    .arg(scheme)
                                    .arg(QLatin1String(t.orderBy)),
                                true, false, false));
        QStringList out;
        for (; !q.Eof(); q.Next()) {
            QStringList cols;
            for (int i = 0; i < q.FieldCount(); ++i) {
                TField* f = q.Fields()->Field(i);
                if (f->FieldName().compare(QLatin1String(t.schemeColumn), Qt::CaseInsensitive) != 0)
                    cols << f->FieldName() + u'=' + (f->IsNull() ? QStringLiteral("<null>") : f->AsString());
            }
            out << cols.join(u'|');
        }
        return out;
    }

    int targetIID = 0;
};

} // namespace

TEST_F(CopyTest, ResultsArriveRowForRowWithoutReleasedQuantities)
{
    // One supply of the source has been released in part.
    exec("update QZ_MRP_Supplies set SupDestQty=100, SupDester='plan01', SupDestTime='20270105 09:30:00' where "
         "SupSchIID=1 and SupIID=(select min(SupIID) from QZ_MRP_Supplies where SupSchIID=1 and SupBillType=42)");
    ScriptedMessageBoxes boxes;
    std::unique_ptr<TADOQuery> q(NewPluginQuery());
    CopySchemeResults(1, targetIID, q.get(), false);
    EXPECT_TRUE(boxes.shown.empty());

    exec("update QZ_MRP_Supplies set SupDestQty=null, SupDester=null, SupDestTime=null where SupSchIID=1");
    for (const TResultTable& t : kTables) {
        const QStringList source = tableRows(t, 1);
        EXPECT_FALSE(source.isEmpty()) << t.table;
        EXPECT_EQ(tableRows(t, targetIID), source) << t.table;
    }
    // The copied allotments point at the copied supplies and demands.
    EXPECT_EQ(value(QStringLiteral("select count(*) from QZ_MRP_Allots as a left join QZ_MRP_Supplies as s on "
                                   "s.SupSchIID=a.AltSchIID and s.SupIID=a.AltSupIID left join QZ_MRP_Demands as d on "
                                   "d.DmdSchIID=a.AltSchIID and d.DmdIID=a.AltDmdIID where a.AltSchIID=%1 and "
                                   "(s.SupIID is null or d.DmdIID is null)")
                      .arg(targetIID)),
              "0");
}

TEST_F(CopyTest, MainDemandOnlyLeavesTheResultTablesEmpty)
{
    std::unique_ptr<TADOQuery> q(NewPluginQuery());
    CopySchemeResults(1, targetIID, q.get(), true);
    EXPECT_EQ(tableRows(kTables[0], targetIID), tableRows(kTables[0], 1));
    for (const TResultTable& t : kTables) {
        if (t.table != kTables[0].table) {
            EXPECT_TRUE(tableRows(t, targetIID).isEmpty()) << t.table;
        }
    }
}

TEST_F(CopyTest, TheFirstDatabaseErrorIsShownAndEndsTheCopy)
{
    // The target already holds the demand rows: their keys clash.
    std::unique_ptr<TADOQuery> q(NewPluginQuery());
    CopySchemeResults(1, targetIID, q.get(), true);
    ScriptedMessageBoxes boxes;
    EXPECT_THROW(CopySchemeResults(1, targetIID, q.get(), false), Exception);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown.first().text.startsWith("错误: ")) << boxes.shown.first().text.toStdString();
    EXPECT_EQ(boxes.shown.first().caption, "错误");
    // Nothing after the main demand was copied.
    EXPECT_TRUE(tableRows(kTables[1], targetIID).isEmpty());
}
