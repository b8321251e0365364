// Writing release records as ERP bills without a database: write-back texts,
// head and row values, cutting into bills, refused saves, Esc, the summary,
// the quantities of material rows and the tree update after a save.
#include "untMRPOutputBills.h"
#include "untMRPSupplyBOM.h"
#include "untLossRate.h"
#include "Functions.h"
#include "TsqlEngine.h"

#include <sqlite3.h>

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <deque>
#include <map>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

// ---- an ERP that keeps its bills in memory ---------------------------------

struct FakeValues : IValueList {
    QList<QPair<QString, QVariant>> items;
    QVariant GetValue(const QString& n) override
    {
        for (const auto& [k, v] : items)
            if (k == n)
                return v;
        return {};
    }
    void SetValue(const QString& n, const QVariant& v) override
    {
        for (auto& item : items)
            if (item.first == n) {
                item.second = v;
                return;
            }
        items.append({n, v});
    }
    QStringList names() const
    {
        QStringList r;
        for (const auto& item : items)
            r << item.first;
        return r;
    }
};

struct FakeRows : IRowList {
    QList<std::shared_ptr<FakeValues>> rows;
    IValueListPtr Add() override
    {
        rows.append(std::make_shared<FakeValues>());
        return rows.last();
    }
    IValueListPtr GetRow(int i) override { return rows.value(i); }
    int GetCount() override { return int(rows.size()); }
};

struct FakeBill : IBill {
    int kind = 0;
    std::shared_ptr<FakeValues> head = std::make_shared<FakeValues>();
    std::map<QString, std::shared_ptr<FakeRows>> lists;
    QString refuse;   // a save answers False with this text when set
    bool saved = false;
    IValueListPtr Head() override { return head; }
    IRowListPtr Details(const QString& n) override
    {
        auto& l = lists[n];
        if (!l)
            l = std::make_shared<FakeRows>();
        return l;
    }
    bool Save(QString& error) override
    {
        if (!refuse.isEmpty()) {
            error = refuse;
            return false;
        }
        saved = true;
        head->SetValue("BillNo", QStringLiteral("N%1").arg(kind));
        return true;
    }
    FakeRows& rows() { return *lists.at("Rows"); }
};

struct FakeERP : IERPAccess {
    std::vector<std::shared_ptr<FakeBill>> bills;
    std::function<void(FakeBill&)> prepare;
    void Login(TLoginInfo&, int, bool& ok) override { ok = true; }
    void Logout(bool& ok) override { ok = true; }
    IBillPtr NewBill(int kind) override
    {
        auto b = std::make_shared<FakeBill>();
        b->kind = kind;
        if (prepare)
            prepare(*b);
        bills.push_back(b);
        return b;
    }
    QString GetNewBillNo(const IBillPtr&, qint16& flag) override
    {
        flag = 0;
        return {};
    }
    quint16 GetMaxBillRows(int) override { return 200; }
};

// ---- records ----------------------------------------------------------------

struct Rows {
    std::deque<TMRPOutputRow> rows;
    TMRPOutputRow& add(QHash<QString, QVariant> values)
    {
        rows.emplace_back();
        rows.back().Values = std::move(values);
        rows.back().Checked = true;
        return rows.back();
    }
};

QHash<QString, QVariant> supply(int type, const QString& iid, const QString& item, double qty)
{
    return {{"SupIID", iid},         {"SupDestType", type},          {"SupItmID", item},
            {"SupItmNo", item},      {"SupDeptID", "D1"},            {"SupBomType", 0},
            {"SupBomID", "B-" + item}, {"SupDate", QDate(2027, 1, 8)}, {"SupDrawDate", QDate(2027, 1, 6)},
            {"SupQty", qty},         {"SupDoDestQty", qty},          {"SupUnDestQty", qty},
            {"SupBillNo", "P-" + iid}, {"SupOrigType", 2},           {"SupOrigID", "SO1"},
            {"SupOrigNo", "SO-001"}, {"SupOrigEntry", 1},            {"SupTrackKey", "T"},
            {"ItmMinQty", 10},       {"ItmLotQty", 4},               {"SupNote", "急"}};
}

// One release run against the in-memory ERP.
struct BillRunState {
    Rows rows;
    TMRPOutputRun run;
    FakeERP erp;
    QStringList lines;
    int firstSaved = 0;
    std::vector<QString> savedRecs;
    TMRPOutputBillEvents events;
    void Init()
    {
        run.Today = QDate(2027, 1, 4);
        for (TMRPOutputOptions* o : {&run.OptionsMO, &run.OptionsOO, &run.OptionsPR}) {
            o->MergeTrack = 7;
            o->MergePeriods = true;
            o->MaxRows = 2;
        }
        run.SupplyWriteBackFmt = SupplyWriteBackTemplate("plan01", QDateTime(QDate(2027, 1, 4), QTime(9, 30, 5)), 7);
        run.AlterWriteBackFmt = AlterWriteBackTemplate(7);
        events.Line = [this](TMessageKind k, const QString& t) { lines << QStringLiteral("%1 %2").arg(int(k)).arg(t); };
        events.FirstSaved = [this] { ++firstSaved; };
        events.Saved = [this](const TMRPOutputRec& r) { savedRecs.push_back(r.SupIID); };
        events.TypeName = [](int t) { return QStringLiteral("T%1").arg(t); };
    }
    void add(int type, const QString& iid, const QString& item, double qty, QHash<QString, QVariant> more = {})
    {
        auto v = supply(type, iid, item, qty);
        for (auto it = more.begin(); it != more.end(); ++it)
            v[it.key()] = it.value();
        run.AddOutputNode(rows.add(v));
    }
};

struct BillRun : ::testing::Test, BillRunState {
    void SetUp() override { Init(); }
};

} // namespace

TEST(OutputWriteBack, TemplatesRecordTheReleaseAndRollBackOnError)
{
    const QString supply = FormatWriteBack(SupplyWriteBackTemplate("plan'01", QDateTime(QDate(2027, 1, 4), QTime(9, 30, 5)), 7),
                                           {"P-12", "12", "14.50000000", "'it''s'"});
    EXPECT_EQ(supply, "update QZ_MRP_Supplies set SupDestQty=isnull(SupDestQty,0)+14.50000000, SupDester='plan''01', "
                      "SupDestTime='2027/01/04 09:30:05', SupNote=(case when 'it''s'<>'' then 'it''s' else SupNote end) "
                      "where SupSchIID=7 and SupIID=12\rif @@error<>0\rbegin\rrollback\rreturn\rend\r");
    const QString alter = FormatWriteBack(AlterWriteBackTemplate(7), {"12", "30", "'PT-142'", "''", "2.00000000"});
    EXPECT_EQ(alter, "if exists (select * from QZ_MRP_DestAlters where DstSchIID=7 and DstSupIID=12 and DstDmdIID=30 and "
                     "DstItmID='PT-142' and DstItmProps='')\rupdate QZ_MRP_DestAlters set DstQty=DstQty+2.00000000 where "
                     "DstSchIID=7 and DstSupIID=12 and DstDmdIID=30 and DstItmID='PT-142' and DstItmProps=''\relse\rinsert "
                     "QZ_MRP_DestAlters (DstSchIID, DstSupIID, DstDmdIID, DstItmID, DstItmProps, DstQty) values (7, 12, 30, "
                     "'PT-142', '', 2.00000000)\rif @@error<>0\rbegin\rrollback\rreturn\rend\r");
    // A percent sign in the user's ID is no placeholder.
    EXPECT_TRUE(FormatWriteBack(SupplyWriteBackTemplate("u%1:s", QDateTime(QDate(2027, 1, 4), QTime(9, 0)), 7), {"", "12", "1", "''"})
                    .contains("SupDester='u%1:s'"));
    // "%%" is one percent sign; an argument is never read as a placeholder.
    EXPECT_EQ(FormatWriteBack("a%%b %0:s %1:d", {"%1:d", "5"}), "a%b %1:d 5");
    // The state moves to 9 only from a released scheme.
    EXPECT_EQ(PlanStateOutputStartedSQL(7), "update QZ_MRP_Schemes set SchState=9, SchMaxTime=getdate() where SchIID=7 and SchState=8");
}

TEST_F(BillRun, FiveRecordsWithTwoRowsPerBillGiveBillsOfTwoTwoAndOne)
{
    for (int i = 1; i <= 5; ++i)
        add(22, QString::number(10 + i), QStringLiteral("A%1").arg(i), 20);
    const TMRPOutputBillResult r = WriteOutputBills(run, erp, "plan01", events);
    ASSERT_EQ(erp.bills.size(), 3u);
    EXPECT_EQ(erp.bills[0]->rows().GetCount(), 2);
    EXPECT_EQ(erp.bills[1]->rows().GetCount(), 2);
    EXPECT_EQ(erp.bills[2]->rows().GetCount(), 1);
    EXPECT_EQ(erp.bills[0]->kind, 10);
    EXPECT_EQ(lines, QStringList({"1 生成2行T22保存成功, 单据编号: N10", "1 生成2行T22保存成功, 单据编号: N10",
                                  "1 生成1行T22保存成功, 单据编号: N10"}));
    EXPECT_EQ(firstSaved, 1);
    EXPECT_EQ(savedRecs.size(), 5u);
    EXPECT_EQ(r.Kind, mkInformation);
    EXPECT_EQ(r.Summary, "共生成5行单据, 其中5行成功保存(3张单据), 0行失败保存, 0行未保存!");
    // Each row carries its supply's write-back.
    const QString sql = erp.bills[0]->rows().rows[0]->GetValue("WriteBackSQL").toString();
    EXPECT_TRUE(sql.contains("SupDestQty=isnull(SupDestQty,0)+20.00000000")) << sql.toStdString();
    EXPECT_TRUE(sql.contains("SupNote=(case when '急'<>'' then '急' else SupNote end)")) << sql.toStdString();
}

TEST_F(BillRun, HeadAndRowValuesByBillType)
{
    struct Case {
        int type;
        int kind;
        bool hasPBom, curID, subGroups;
    };
    for (const Case& c : {Case{22, 10, true, false, false}, Case{24, 8, true, true, false}, Case{36, 7, false, false, false},
                          Case{38, 4, false, false, true}}) {
        SCOPED_TRACE(c.type);
        TMRPOutputRun fresh;
        fresh.Today = run.Today;
        fresh.GetOutputOptions(c.type).EmployeeID = "E01";
        fresh.GetOutputOptions(c.type).DepartmentID = "D02";
        fresh.GetOutputOptions(c.type).OutPBoms = true;
        Rows rs;
        fresh.AddOutputNode(rs.add(supply(c.type, "5", "X", 3)));
        FakeERP e;
        int boms = 0;
        TMRPOutputBillEvents ev;
        ev.LoadBOM = [&](TMRPOutputRec&, const IBillPtr&, int ARowNo) {
            EXPECT_EQ(ARowNo, 1);
            ++boms;
        };
        WriteOutputBills(fresh, e, "plan01", ev);
        ASSERT_EQ(e.bills.size(), 1u);
        FakeBill& b = *e.bills[0];
        EXPECT_EQ(b.kind, c.kind);
        const QStringList head = b.head->names();
        EXPECT_EQ(head.mid(0, 5), QStringList({"Date", "SupID", "EmpID", "DeptID", "UserID"}));
        EXPECT_EQ(head.contains("HasPBom"), c.hasPBom);
        EXPECT_EQ(head.contains("CurID"), c.curID);
        EXPECT_EQ(b.head->GetValue("EmpID").toString(), "E01");
        EXPECT_DOUBLE_EQ(b.head->GetValue("Date").toDouble(), QDate(1899, 12, 30).daysTo(QDate(2027, 1, 4)));
        EXPECT_EQ(boms, c.hasPBom ? 1 : 0) << "material lists only for production and subcontract rows";
        FakeValues& row = *b.rows().rows[0];
        EXPECT_EQ(row.names().first(), "OrigType");
        EXPECT_EQ(row.GetValue("OrigType").toInt(), 2) << "a sales order is document kind 2";
        EXPECT_EQ(row.GetValue("ItemID").toString(), "X");
        EXPECT_EQ(row.names().contains("SubGroups"), c.subGroups);
        EXPECT_DOUBLE_EQ(row.GetValue("DrawDate").toDouble(), QDate(1899, 12, 30).daysTo(QDate(2027, 1, 6)));
    }
}

TEST_F(BillRun, LotRuleIsSentAndKeptInTheRecord)
{
    run.OptionsMO.LotRule = true;
    run.OptionsMO.MaxRows = 10;
    add(22, "1", "A", 11);
    add(22, "2", "B", 10);
    add(22, "3", "C", 3);
    add(22, "4", "D", 11, {{"ItmLotQty", 0}});
    WriteOutputBills(run, erp, "plan01", events);
    ASSERT_EQ(erp.bills.size(), 1u);
    QList<double> sent;
    for (const auto& row : erp.bills[0]->rows().rows)
        sent << row->GetValue("StdQty").toDouble();
    EXPECT_EQ(sent, QList<double>({14, 10, 10, 11}));
    EXPECT_DOUBLE_EQ(run.Records()[0].SupStdQty, 14);
}

TEST_F(BillRun, PurchaseSubstituteGroupsBecomeListsOfTheirRow)
{
    run.OptionsPR.MaxRows = 10;
    add(38, "1", "A", 5);
    add(38, "2", "B", 5);
    add(38, "3", "C", 6);
    TMRPOutputRec& third = run.Record(2);
    TMRPOutputSubItem s1;
    s1.ItemID = "C2";
    s1.SubRate = 0.5;
    s1.SuppID = "S9";
    third.SupSubItems = {{"g1", {s1}, 4}, {"g2", {s1, s1}, 2}};
    WriteOutputBills(run, erp, "plan01", events);
    FakeBill& b = *erp.bills.at(0);
    EXPECT_EQ(b.rows().rows[0]->GetValue("SubGroups").toInt(), 0);
    EXPECT_EQ(b.rows().rows[2]->GetValue("SubGroups").toInt(), 2);
    QStringList names;
    for (const auto& [name, list] : b.lists)
        names << name;
    EXPECT_EQ(names, QStringList({"3/1", "3/2", "Rows"}));
    FakeRows& g1 = *b.lists.at("3/1");
    ASSERT_EQ(g1.GetCount(), 2);
    EXPECT_EQ(g1.rows[0]->GetValue("ItemID").toString(), "C");
    EXPECT_DOUBLE_EQ(g1.rows[0]->GetValue("SubRate").toDouble(), 0);
    EXPECT_DOUBLE_EQ(g1.rows[0]->GetValue("StdQty").toDouble(), 4);
    EXPECT_EQ(g1.rows[1]->GetValue("SupID").toString(), "S9");
    EXPECT_DOUBLE_EQ(g1.rows[1]->GetValue("StdQty").toDouble(), 2);
    EXPECT_EQ(b.lists.at("3/2")->GetCount(), 3);
}

TEST_F(BillRun, RefusedSavesAreCountedAndTheNextBillIsTried)
{
    for (int i = 1; i <= 3; ++i)
        add(22, QString::number(i), QStringLiteral("A%1").arg(i), 20);
    int n = 0;
    erp.prepare = [&](FakeBill& b) {
        if (++n == 1)
            b.refuse = "超出行数";
    };
    TMRPOutputBillResult r = WriteOutputBills(run, erp, "plan01", events);
    EXPECT_EQ(lines, QStringList({"3 生成2行T22保存失败, 原因: 超出行数", "1 生成1行T22保存成功, 单据编号: N10"}));
    EXPECT_EQ(savedRecs.size(), 1u) << "rows of a refused bill stay as they were";
    EXPECT_EQ(firstSaved, 1);
    EXPECT_EQ(r.Kind, mkWarning);
    EXPECT_EQ(r.Summary, "共生成3行单据, 其中1行成功保存(1张单据), 2行失败保存, 0行未保存!");

    // Nothing saved at all is an error.
    erp.bills.clear();
    erp.prepare = [](FakeBill& b) { b.refuse = "拒绝"; };
    firstSaved = 0;
    r = WriteOutputBills(run, erp, "plan01", events);
    EXPECT_EQ(r.Kind, mkError);
    EXPECT_EQ(firstSaved, 0);
    EXPECT_EQ(r.RowsFailed, 3);
}

TEST_F(BillRun, EscStopsBetweenBillsAndCountsTheRestAsNotSaved)
{
    for (int i = 1; i <= 5; ++i)
        add(22, QString::number(i), QStringLiteral("A%1").arg(i), 20);
    int asked = 0;
    events.Escape = [&] { return ++asked == 2; };
    const TMRPOutputBillResult r = WriteOutputBills(run, erp, "plan01", events);
    EXPECT_TRUE(r.Aborted);
    EXPECT_EQ(erp.bills.size(), 1u);
    EXPECT_EQ(lines.last(), "2 执行已被中止!");
    EXPECT_EQ(r.Summary, "共生成5行单据, 其中2行成功保存(1张单据), 0行失败保存, 3行未保存!");
}

TEST_F(BillRun, AFailingMaterialListEndsTheRunAndKeepsEarlierBills)
{
    run.OptionsMO.OutPBoms = true;
    for (int i = 1; i <= 3; ++i)
        add(22, QString::number(i), QStringLiteral("A%1").arg(i), 20);
    int calls = 0;
    events.LoadBOM = [&](TMRPOutputRec&, const IBillPtr&, int) {
        if (++calls == 3)
            throw Exception("循环引用");
    };
    EXPECT_THROW(WriteOutputBills(run, erp, "plan01", events), Exception);
    ASSERT_EQ(erp.bills.size(), 2u);
    EXPECT_TRUE(erp.bills[0]->saved);
    EXPECT_FALSE(erp.bills[1]->saved);
}

// ---- exact quantities, a stopped release and the release run again ----------------

namespace {

// Weekly plan periods from Monday 2027-01-04 (period 1) on, period 0 before them.
TPlanPeriods weeklyPeriods()
{
    const auto day = [](const QDate& d) { return double(QDate(1899, 12, 30).daysTo(d)); };
    TPlanPeriods periods{{ppkDelay, day(QDate(2026, 12, 1)), day(QDate(2027, 1, 3))}};
    for (int k = 0; k < 13; ++k)
        periods.push_back({ppkNormal, day(QDate(2027, 1, 4).addDays(7 * k)), day(QDate(2027, 1, 10).addDays(7 * k))});
    return periods;
}

// The saved bill rows as "item qty@due/draw" lines, and what each supply's
// write-back added to its released total.
struct SavedLines {
    QStringList lines;
    QMap<QString, TOutputQty> released;   // supply ID -> released quantity
    void take(const FakeERP& AERP)
    {
        static const QRegularExpression writeBack(QStringLiteral("SupDestQty=isnull\\(SupDestQty,0\\)\\+([0-9.]+).*? and SupIID=([0-9]+)"));
        for (const auto& bill : AERP.bills) {
            if (!bill->saved)
                continue;
            for (const auto& row : bill->rows().rows) {
                const auto date = [&](const char* n) { return QDate(1899, 12, 30).addDays(qint64(row->GetValue(n).toDouble())).toString("MM-dd"); };
                lines << QStringLiteral("%1 %2@%3/%4").arg(row->GetValue("ItemID").toString(), row->GetValue("StdQty").toString(), date("Date"),
                                                           date("DrawDate"));
                auto m = writeBack.globalMatch(row->GetValue("WriteBackSQL").toString());
                while (m.hasNext()) {
                    const auto one = m.next();
                    TOutputQty q;
                    ASSERT_TRUE(TOutputQty::FromText(one.captured(1), 8, q));
                    released[one.captured(2)] += q;
                }
            }
        }
    }
};

} // namespace

TEST_F(BillRun, QuantitiesAreExactAtTheItemsDecimals)
{
    run.MrpPeriods = weeklyPeriods();
    run.OptionsMO.MergePeriods = false;
    run.OptionsMO.MaxRows = 10;
    // Eight digits and eight decimals: beyond a double. The hints carry what
    // their fifteen-digit texts can; the last period's piece takes the rest.
    add(22, "1", "X", 87654321.87654321,
        {{"SupQty", QStringLiteral("87654321.87654321")}, {"SupDoDestQty", QStringLiteral("87654321.87654321")},
         {"SupHints", "02=40000000.5\r\n03=47654321.3765432"}, {"ItmDecimal", 8}, {"ItmPutInteger", 0}, {"ItmLotQty", 0},
         {"ItmMinQty", 0}});
    // A whole-piece item whose quantity to release carries a trace of binary
    // arithmetic: whole pieces, and no line for the trace.
    add(22, "2", "Y", 2119444,
        {{"SupDoDestQty", 2119444.00000001}, {"SupHints", "02=1200000\r\n03=919444.00000001"}, {"ItmDecimal", 0},
         {"ItmPutInteger", 0}, {"ItmLotQty", 0}, {"ItmMinQty", 0}});
    // Kept in whole pieces by its setting, with a remainder of 1.9557774066925e-08 only: no bill line at all.
    add(22, "3", "Z", 5, {{"SupDoDestQty", 1.9557774066925e-08}, {"ItmDecimal", 4}, {"ItmPutInteger", 1}});
    // Seven digits and eight decimals, periods merged away by the hints' absence.
    add(22, "4", "W", 1234567.12345678, {{"SupDoDestQty", QStringLiteral("1234567.12345678")}, {"ItmDecimal", 8}, {"ItmLotQty", 0},
                                          {"ItmMinQty", 0}});
    WriteOutputBills(run, erp, "plan01", events);
    SavedLines saved;
    saved.take(erp);
    EXPECT_EQ(saved.lines, QStringList({"X 40000000.50000000@01-11/01-09", "X 47654321.37654321@01-18/01-16",
                                        "Y 1200000@01-11/01-09", "Y 919444@01-18/01-16", "W 1234567.12345678@01-08/01-06"}));
    EXPECT_EQ(saved.released.value("1").ToText(), "87654321.87654321");
    EXPECT_TRUE(saved.released.value("2") == TOutputQty::FromNumber(2119444, 0)) << saved.released.value("2").ToText().toStdString();
    EXPECT_FALSE(saved.released.contains("3"));
    EXPECT_EQ(saved.released.value("4").ToText(), "1234567.12345678");
}

namespace {

// Supplies of four items over the weekly periods, as a clean release and a
// resumed one see them: planned quantity, hints, and what was released.
struct SupplySpec {
    const char* iid;
    const char* item;
    const char* qty;
    const char* hints;
};
const SupplySpec Supplies[] = {
    {"11", "A", "12715", "01=30\r\n02=5516\r\n03=4574\r\n04=1907\r\n05=688"},
    {"12", "B", "900", "02=400\r\n03=500"},
    {"13", "C", "12.5", "03=2.25\r\n05=10.25"},
    {"14", "D", "70", "01=10\r\n02=20\r\n03=40"},
};

void addSupplies(BillRunState& ARun, const QMap<QString, TOutputQty>& AReleased)
{
    for (const SupplySpec& s : Supplies) {
        TOutputQty qty;
        TOutputQty::FromText(QString::fromLatin1(s.qty), 8, qty);
        const TOutputQty open = qty - AReleased.value(s.iid);
        if (!open.IsPositive())
            continue;
        ARun.add(22, s.iid, s.item, qty.ToDouble(),
                 {{"SupHints", QString::fromLatin1(s.hints)}, {"SupDestQty", AReleased.value(s.iid).ToDouble()},
                  {"SupDoDestQty", open.ToText()}, {"ItmDecimal", s.item == QLatin1String("C") ? 2 : 0}, {"ItmLotQty", 0},
                  {"ItmMinQty", 0}, {"SupDate", QDate(2027, 1, 4)}, {"SupDrawDate", QDate(2026, 12, 28)}});
    }
}

} // namespace

TEST_F(BillRun, AReleaseStoppedByAFullDiskAndRunAgainEndsWhereACleanOneDoes)
{
    const auto prepare = [](BillRunState& r) {
        r.run.MrpPeriods = weeklyPeriods();
        r.run.OptionsMO.MergePeriods = false;
        r.run.OptionsMO.MaxRows = 2;
        r.run.OptionsMO.SortBy1 = okDate;
    };
    // The clean release.
    prepare(*this);
    addSupplies(*this, {});
    const TMRPOutputBillResult clean = WriteOutputBills(run, erp, "plan01", events);
    EXPECT_FALSE(clean.Stopped);
    SavedLines cleanLines;
    cleanLines.take(erp);
    ASSERT_EQ(cleanLines.lines.size(), 12);

    // The same release, the disk full at the fourth bill: nothing more is tried.
    const QString full = QStringLiteral("Could not allocate space for object in database 'demo.kvdb' because the 'PRIMARY' "
                                        "filegroup is full. Create disk space by deleting unneeded files, dropping objects in the "
                                        "filegroup, adding additional files to the filegroup, or setting autogrowth on for "
                                        "existing files in the filegroup.");
    BillRunState stopped;
    stopped.Init();
    prepare(stopped);
    addSupplies(stopped, {});
    int n = 0;
    stopped.erp.prepare = [&](FakeBill& b) {
        if (++n == 4)
            b.refuse = full;
    };
    const TMRPOutputBillResult r = WriteOutputBills(stopped.run, stopped.erp, "plan01", stopped.events);
    EXPECT_TRUE(r.Stopped);
    EXPECT_EQ(stopped.erp.bills.size(), 4u) << "no bill is tried after the full disk";
    EXPECT_EQ(r.BillsSaved, 3);
    EXPECT_EQ(r.Summary, "数据库不能再写入, 投放已中止: " + full + "\r\r共生成12行单据, 其中6行成功保存(3张单据), 2行失败保存, 4行未保存!");
    EXPECT_EQ(stopped.lines.filter("保存失败").size(), 1);
    SavedLines first;
    first.take(stopped.erp);

    // Run again on what was released: together the two give the clean lines.
    BillRunState again;
    again.Init();
    prepare(again);
    addSupplies(again, first.released);
    WriteOutputBills(again.run, again.erp, "plan01", again.events);
    SavedLines second;
    second.take(again.erp);
    QStringList resumed = first.lines + second.lines;
    QStringList expected = cleanLines.lines;
    resumed.sort();
    expected.sort();
    EXPECT_EQ(resumed, expected);
    QMap<QString, TOutputQty> total = first.released;
    for (auto it = second.released.cbegin(); it != second.released.cend(); ++it)
        total[it.key()] += it.value();
    EXPECT_EQ(total.keys(), cleanLines.released.keys());
    for (auto it = cleanLines.released.cbegin(); it != cleanLines.released.cend(); ++it)
        EXPECT_EQ(total.value(it.key()), it.value()) << it.key().toStdString();
}

TEST(OutputStop, RefusalsThatEndTheRun)
{
    EXPECT_TRUE(OutputSaveErrorEndsRun("Could not allocate space for object in database 'a.kvdb' because the 'PRIMARY' filegroup is full."));
    EXPECT_TRUE(OutputSaveErrorEndsRun("The transaction log for database 'erp' is full due to 'LOG_BACKUP'."));
    EXPECT_TRUE(OutputSaveErrorEndsRun("Failed to update database \"a.kvdb\" because the database is read-only."));
    EXPECT_TRUE(OutputSaveErrorEndsRun("[Microsoft][ODBC Driver 17 for SQL Server]Communication link failure"));
    EXPECT_TRUE(OutputSaveErrorEndsRun("尚未登录ERP账套, 不能保存单据!"));
    // the embedded database's own words for a file that takes no more writes
    for (int code : {SQLITE_FULL, SQLITE_IOERR_WRITE, SQLITE_CORRUPT, SQLITE_NOMEM}) {
        kvtsql::SqlError e;
        ASSERT_TRUE(kvtsql::resourceError(code, QStringLiteral("a.kvdb"), e)) << code;
        EXPECT_TRUE(OutputSaveErrorEndsRun(e.message)) << e.number << " " << e.message.toStdString();
    }
    EXPECT_TRUE(OutputSaveErrorEndsRun("The log for database \"a.kvdb\" is not available: another program removed it."));
    EXPECT_FALSE(OutputSaveErrorEndsRun("单据体内容不允许超过 200 行!"));
    EXPECT_FALSE(OutputSaveErrorEndsRun("Violation of PRIMARY KEY constraint 'PK_ERP_Bills'."));
}

// ---- material quantities --------------------------------------------------------

TEST(SupplyBOMQty, QuantitiesWithYieldLossAndRounding)
{
    SetLossRateTypeForTest(false);
    struct Case {
        const char* name;
        TSupplyBOMLine line;
        double qty;
        double unitQty, netX, lossX, net, loss, result;
    };
    auto line = [](double q, double base, double ok, bool fixed, const char* loss, int dec, bool whole) {
        TSupplyBOMLine l;
        l.BomQty = l.BomUQty = q;
        l.BomBaseQty = base;
        l.BomPrdOkRate = ok;
        l.BomFixed = fixed;
        l.PutLossRate = QString::fromUtf8(loss);
        l.ItmDecimal = dec;
        l.PutInteger = whole;
        return l;
    };
    const Case cases[] = {
        {"plain", line(2, 1, 100, false, "", 4, false), 10, 2, 20, 0, 20, 0, 20},
        {"per base quantity", line(3, 4, 100, false, "", 4, false), 10, 3, 7.5, 0, 7.5, 0, 7.5},
        {"fixed ignores quantity and yield", line(5, 1, 50, true, "", 4, false), 1000, 5, 5, 0, 5, 0, 5},
        {"yield adds to the loss", line(1, 1, 80, false, "", 4, false), 100, 1, 125, 0, 100, 25, 125},
        {"loss rate", line(1, 1, 100, false, "2%", 4, false), 50, 1, 50, 1, 50, 1, 51},
        {"whole units round up", line(0.7, 1, 100, false, "", 4, true), 3, 0.7, 2.1, 0, 2.1, 0, 3},
        {"residue stays whole", line(0.1, 1, 100, false, "", 8, true), 20.000000001, 0.1, 2, 0, 2, 0, 2},
        {"decimals above 8 count 8", line(1, 3, 100, false, "", 12, false), 1, 1, 0.33333333, 0, 0.33333333, 0, 0.33333333},
        {"decimals 0", line(1, 3, 100, false, "", 0, false), 4, 1, 1, 0, 1, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TSupplyBOMQty r = CalcSupplyBOMQty(c.line, c.qty, false);
        EXPECT_NEAR(r.UnitQty, c.unitQty, 1e-9);
        EXPECT_NEAR(r.NetX, c.netX, 1e-9);
        EXPECT_NEAR(r.LossX, c.lossX, 1e-9);
        EXPECT_NEAR(r.Net, c.net, 1e-9);
        EXPECT_NEAR(r.Loss, c.loss, 1e-9);
        EXPECT_EQ(r.Qty, c.result);
    }
    // The standard quantity instead of the line unit's.
    TSupplyBOMLine l = line(2, 1, 100, false, "", 4, false);
    l.BomUQty = 4;
    EXPECT_EQ(CalcSupplyBOMQty(l, 10, true).Qty, 20);
    EXPECT_EQ(CalcSupplyBOMQty(l, 10, false).Qty, 40);
    l.BomPercent = 50;
    EXPECT_EQ(CalcSupplyBOMQty(l, 10, false).Qty, 20);
}

TEST(SupplyBOMQty, SubstitutesScaleTheComponentAndRoundUpTheSameWay)
{
    SetLossRateTypeForTest(false);
    TSupplyBOMLine l;
    l.BomQty = l.BomUQty = 0.7;
    l.PutLossRate = "10%";
    l.ItmDecimal = 2;
    const TSupplyBOMQty c = CalcSupplyBOMQty(l, 3, false);
    EXPECT_NEAR(c.Qty, 2.31, 1e-9);
    const TSupplyBOMQty s = CalcSupplyBOMSubQty(c, 2, true);
    EXPECT_NEAR(s.Net, 4.2, 1e-9);
    EXPECT_NEAR(s.Loss, 0.42, 1e-9);
    EXPECT_EQ(s.Qty, 5);
    EXPECT_NEAR(s.UnitQty, 1.4, 1e-9);
    EXPECT_EQ(s.LossRate, c.LossRate);
}

TEST(SupplyBOMQty, ZeroDivisorsAreRefusedWithTheItem)
{
    TSupplyBOMLine base;
    base.BomBaseQty = 0;
    try {
        CalcSupplyBOMQty(base, 1, false, "PT-101");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "物料PT-101在物料清单中的基础数量为0, 无法计算用料!");
    }
    TSupplyBOMLine yield;
    yield.BomPrdOkRate = 0;
    EXPECT_THROW(CalcSupplyBOMQty(yield, 1, false, "PT-101"), Exception);
    yield.BomFixed = true;
    EXPECT_NO_THROW(CalcSupplyBOMQty(yield, 1, false, "PT-101")) << "a fixed line takes no yield";
}

TEST(SupplyBOMGroups, GroupOfAComponentFollowsTheOrigin)
{
    TMRPOutputRec r;
    EXPECT_EQ(SupplyBOMGroupValues(r), QStringList({"0", "0", "0", "0", "0", "0", "''", "''", "''", "''", "''", "''", "''"}));
    r.SupOrigType = 2;
    r.SupOrigID = "SO1";
    r.SupOrigNo = "SO-001";
    r.SupOrigEntry = 3;
    r.SupOrigTag = "T1";
    r.SupOrigCustName = "华南";
    r.SupGroupType = 9;
    r.SupGroupNo = "G'1";
    EXPECT_EQ(SupplyBOMGroupValues(r), QStringList({"1", "2", "9", "9", "9", "9", "'SO-001/3'", "'SO-001'", "'T1'", "'SO-001/3'",
                                                    "'SO-001'", "'华南'", "'G''1'"}));
    r.SupOrigType = 4;
    r.SupOrigEntry = 0;
    r.SupOrigSubTag = "S";
    EXPECT_EQ(SupplyBOMGroupValues(r).mid(0, 3), QStringList({"4", "4", "9"}));
    EXPECT_EQ(SupplyBOMGroupValues(r)[6], "'SO-001'");
    EXPECT_EQ(SupplyBOMGroupValues(r)[8], "'S'");
    r.SupOrigID.clear();   // no customer document: only the number-based groups remain
    EXPECT_EQ(SupplyBOMGroupValues(r).mid(0, 4), QStringList({"0", "0", "9", "9"}));
}

// ---- the tree after a save --------------------------------------------------------

namespace {

struct Node {
    Node* parent = nullptr;
    std::vector<Node*> children;
    int level = 0;
    std::map<TMRPOutputQtyField, QVariant> v;
};

struct PlainTree : TMRPOutputTreeAccess {
    std::deque<Node> nodes;
    Node* add(Node* parent, double qty, double doDest, double rate = 1)
    {
        nodes.emplace_back();
        Node* n = &nodes.back();
        n->parent = parent;
        n->level = parent ? parent->level + 1 : 0;
        if (parent)
            parent->children.push_back(n);
        n->v[oqQty] = qty;
        n->v[oqDoDestQty] = doDest;
        n->v[oqUnDestQty] = qty;
        n->v[oqUnitRate] = rate;
        return n;
    }
    static Node* n(const void* p) { return const_cast<Node*>(static_cast<const Node*>(p)); }
    const void* Parent(const void* p) const override { return n(p)->parent; }
    int ChildCount(const void* p) const override { return int(n(p)->children.size()); }
    const void* Child(const void* p, int i) const override { return n(p)->children[size_t(i)]; }
    int Level(const void* p) const override { return n(p)->level; }
    QVariant Get(const void* p, TMRPOutputQtyField f) const override { return n(p)->v[f]; }
    void Set(const void* p, TMRPOutputQtyField f, const QVariant& x) override { n(p)->v[f] = x; }
    void SetMessage(const void*, const QString&) override {}
};

double num(const QVariant& v)
{
    return v.isNull() ? 0 : v.toDouble();
}

} // namespace

TEST(OutputTreeAfterSave, QuantitiesMoveUpToTheSupplyRow)
{
    PlainTree t;
    Node* supply = t.add(nullptr, 100, 60, 2);
    Node* demand = t.add(supply, 60, 60);
    Node* other = t.add(supply, 40, 0);
    Node* substituteDemand = t.add(supply, 0, 0);
    Node* sub = t.add(substituteDemand, 0, 0);
    (void)sub;
    EXPECT_EQ(ApplyOutputToNode(t, demand, 60), supply);
    EXPECT_EQ(num(demand->v[oqDestQty]), 60);
    EXPECT_EQ(num(demand->v[oqDoDestQty]), 0);
    EXPECT_EQ(num(other->v[oqDestQty]), 60) << "a leaf alternative shares what was output";
    EXPECT_EQ(num(other->v[oqUnDestQty]), -20);
    EXPECT_EQ(num(substituteDemand->v[oqDestQty]), 0) << "a row with children is not an alternative";
    EXPECT_EQ(num(supply->v[oqDestQty]), 60);
    EXPECT_EQ(num(supply->v[oqDoDestQty]), 0);
    EXPECT_EQ(num(supply->v[oqDoDestQtyU]), 0);

    // A substitute converts by the planned quantities on its way to the demand.
    PlainTree u;
    Node* s0 = u.add(nullptr, 100, 100, 4);
    Node* d1 = u.add(s0, 50, 50);
    Node* r2 = u.add(d1, 100, 100);
    ApplyOutputToNode(u, r2, 40);
    EXPECT_EQ(num(r2->v[oqDestQty]), 40);
    EXPECT_EQ(num(d1->v[oqDestQty]), 20);
    EXPECT_EQ(num(s0->v[oqDestQty]), 20);
    EXPECT_EQ(num(s0->v[oqDoDestQty]), 80);
    EXPECT_EQ(num(s0->v[oqDoDestQtyU]), 20);
}
