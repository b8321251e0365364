#include "SyntheticAccountSet.h"

#include "NewAccountSet.h"
#include "TsqlEngine.h"

#include <QFileInfo>
#include <QStringList>

#include <random>

namespace kvdemo {

const QString AccountSetNameClass = QStringLiteral("ERP");
const QString AccountSetNameKey = QStringLiteral("AccountSetName");

QString syntheticAccountSetName(const SyntheticParams& p)
{
    return QStringLiteral("合成账套(%1个物料)").arg(p.items);
}

QString storedAccountSetName(const QString& fileName)
{
    if (!QFileInfo::exists(fileName))
        return {};
    try {
        const kvtsql::BatchResult r = kvtsql::Connection::open(fileName)->execute(
            QStringLiteral("select SetValue from QZ_SYS_SysSettings where SetClass='%1' and SetKey='%2'")
                .arg(AccountSetNameClass, AccountSetNameKey));
        if (r.errors.isEmpty() && !r.resultSets.isEmpty() && !r.resultSets.first().rows.isEmpty())
            return r.resultSets.first().rows.first().value(0).toString().trimmed();
    } catch (const kvtsql::SqlException&) {
    }
    return {};
}

QString checkSyntheticParams(const SyntheticParams& p)
{
    if (p.depth < 1 || p.depth > 20)
        return QStringLiteral("BOM层数必须在1到20之间!");
    if (p.items < p.depth + 1)
        return QStringLiteral("物料数量至少为BOM层数加1!");
    if (p.fanOut < 1 || p.fanOut > 100)
        return QStringLiteral("每个BOM的子项数必须在1到100之间!");
    if (p.fanOutMax != 0 && (p.fanOutMax < p.fanOut || p.fanOutMax > 100))
        return QStringLiteral("每个BOM的最多子项数必须在最少子项数到100之间!");
    if (p.demands < 0)
        return QStringLiteral("需求行数不能为负数!");
    if (p.releasedOrders < 0 || p.releasedOrders > 9999999)
        return QStringLiteral("已下达生产任务数必须在0到9999999之间!");
    if (p.periods < 1 || p.periods > 520)
        return QStringLiteral("计划期间数必须在1到520之间!");
    if (!p.start.isValid())
        return QStringLiteral("计划开始日期无效!");
    return {};
}

namespace {

QString itemId(int index) { return QStringLiteral("I%1").arg(index, 6, 10, QLatin1Char('0')); }
QString day(const QDate& d) { return u'\'' + d.toString(QStringLiteral("yyyyMMdd")) + u'\''; }

// Collects statements and cuts them into batches of a bounded size.
class ScriptWriter {
public:
    explicit ScriptWriter(QString name) : m_name(std::move(name)) {}
    void add(const QString& statement)
    {
        m_lines.append(statement);
        if (++m_count % 500 == 0)
            m_lines.append(QStringLiteral("go"));
    }
    Script script() const { return {m_name, m_lines.join(u'\n') + QStringLiteral("\ngo\n")}; }

private:
    QString m_name;
    QStringList m_lines;
    int m_count = 0;
};

// Days number since 1899-12-30, as the plan periods text holds them.
qint64 dayNumber(const QDate& d) { return QDate(1899, 12, 30).daysTo(d); }

Script generatedData(const SyntheticParams& p)
{
    std::mt19937 random(p.seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };

    ScriptWriter w(QStringLiteral("synthetic data"));
    // The name the login and the status bar show: a set of its own, not the demo.
    w.add(QStringLiteral("insert QZ_SYS_SysSettings (SetClass, SetKey, SetValue) values ('%1', '%2', '%3')")
              .arg(AccountSetNameClass, AccountSetNameKey, syntheticAccountSetName(p)));
    w.add("insert QZ_Base_Unit (UntID, UntNo, UntName, UntFactor) values ('PCS', 'PCS', '个', 1)");
    w.add("insert QZ_Base_Customer (CustID, CustNo, CustName) values ('C001', 'C001', '客户一')");
    w.add("insert QZ_Base_Customer (CustID, CustNo, CustName) values ('C002', 'C002', '客户二')");
    w.add("insert QZ_Base_Supplier (SuppID, SuppNo, SuppName, SuppPO, SuppOO) values ('S001', 'S001', '供应商一', 1, 1)");
    w.add("insert QZ_Base_Supplier (SuppID, SuppNo, SuppName, SuppPO, SuppOO) values ('S002', 'S002', '供应商二', 1, 0)");
    w.add("insert QZ_Base_Department (DeptID, DeptNo, DeptName, DeptWorkShop) values ('D01', '01', '生产车间', 1)");
    w.add("insert QZ_Base_Department (DeptID, DeptNo, DeptName, DeptWorkShop) values ('D02', '02', '计划部', 0)");
    w.add("insert QZ_Base_Department (DeptID, DeptNo, DeptName, DeptWorkShop) values ('D03', '03', '采购部', 0)");
    w.add("insert QZ_Base_Department (DeptID, DeptNo, DeptName, DeptWorkShop) values ('D04', '04', '销售部', 0)");
    // The people a release names: the planner of the made items, two buyers
    // sharing the bought ones (the applicants of requisitions), a salesman.
    w.add("insert QZ_Base_Employee (EmpID, EmpNo, EmpName, EmpDeptID) values ('E01', 'E01', '王计划', 'D02')");
    w.add("insert QZ_Base_Employee (EmpID, EmpNo, EmpName, EmpDeptID) values ('E02', 'E02', '李采购', 'D03')");
    w.add("insert QZ_Base_Employee (EmpID, EmpNo, EmpName, EmpDeptID) values ('E03', 'E03', '赵采购', 'D03')");
    w.add("insert QZ_Base_Employee (EmpID, EmpNo, EmpName, EmpDeptID) values ('E04', 'E04', '陈销售', 'D04')");
    w.add("insert QZ_Base_Stock (StkID, StkNo, StkName) values ('K01', '01', '总仓')");

    // Items level by level: level 0 products, the last level purchased parts.
    const int levels = p.depth + 1;
    QList<int> levelBegin;
    for (int l = 0; l <= levels; ++l)
        levelBegin.append(int(qint64(p.items) * l / levels));
    for (int l = 0; l < levels; ++l) {
        const bool purchased = l == levels - 1;
        for (int i = levelBegin[l]; i < levelBegin[l + 1]; ++i) {
            w.add(QStringLiteral("insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmSpec, ItmType, ItmTypeName, ItmUnitID, "
                                 "ItmInvUnitID, ItmProdUnitID, ItmBuyUnitID, ItmSaleUnitID, ItmDecimal) values "
                                 "('%1', 'N%2', '物料%2', '第%3层', %4, '%5', 'PCS', 'PCS', 'PCS', 'PCS', 'PCS', 0)")
                      .arg(itemId(i)).arg(i, 6, 10, QLatin1Char('0')).arg(l)
                      .arg(purchased ? 1 : 2).arg(purchased ? QStringLiteral("外购") : QStringLiteral("自制")));
            w.add(QStringLiteral("insert QZ_MRP_ItemSetting (ItmID, ItmFixLeadTime, ItmMinQty, ItmLotQty, ItmPutInteger, "
                                 "ItmPlannerID, ItmBuyerID, ItmMODeptID, ItmPOSuppID) values ('%1', %2, %3, %4, 1, 'E01', %5, %6, %7)")
                      .arg(itemId(i)).arg(purchased ? 7 : 2).arg(i % 7 == 0 ? 50 : 0).arg(i % 5 == 0 ? 10 : 0)
                      .arg(purchased ? (i % 2 ? QStringLiteral("'E03'") : QStringLiteral("'E02'")) : QStringLiteral("null"))
                      .arg(purchased ? QStringLiteral("null") : QStringLiteral("'D01'"))
                      .arg(purchased ? (i % 2 ? QStringLiteral("'S002'") : QStringLiteral("'S001'")) : QStringLiteral("null")));
        }
    }
    // The part every product takes: the last purchased item.
    const int shared = p.items - 1;
    // Bills: every made item takes fanOut (up to fanOutMax) distinct components of the next level.
    for (int l = 0; l < levels - 1; ++l) {
        const int lo = levelBegin[l + 1], hi = levelBegin[l + 2] - 1;
        const int choices = hi - lo + 1;
        for (int i = levelBegin[l]; i < levelBegin[l + 1]; ++i) {
            const QString bom = QStringLiteral("B") + itemId(i);
            w.add(QStringLiteral("insert QZ_MRP_ItemBOMs (BomType, BomID, BomNo, BomItmID, BomIsDefault, BomDate, Checked) "
                                 "values (0, '%1', '%1', '%2', 1, %3, 1)").arg(bom, itemId(i), day(p.start.addMonths(-1))));
            const int n = qMin(p.fanOutMax > p.fanOut ? pick(p.fanOut, p.fanOutMax) : p.fanOut, choices);
            const int first = pick(0, choices - 1);
            QList<int> components;
            for (int k = 0; k < n; ++k)
                components.append(lo + (first + k) % choices);
            if (p.sharedComponent && l == 0 && !components.contains(shared))
                components.append(shared);
            for (int k = 0; k < components.size(); ++k) {
                const int comp = components[k];
                const bool made = comp < levelBegin[levels - 1];
                w.add(QStringLiteral("insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomQty, BomBaseQty, "
                                     "BomRowHook, BomItmBomType, BomItmBomID) values (0, '%1', %2, '%3', %4, 1, '%1-%2', %5, %6)")
                          .arg(bom).arg(k + 1).arg(itemId(comp)).arg(pick(1, 4))
                          .arg(made ? QStringLiteral("0") : QStringLiteral("null"))
                          .arg(made ? u'\'' + QStringLiteral("B") + itemId(comp) + u'\'' : QStringLiteral("null")));
            }
        }
    }
    // Stock for every third item.
    for (int i = 0; i < p.items; i += 3)
        w.add(QStringLiteral("insert QZ_MRP_Inventory (InvItmID, InvStkID, InvQty, InvInDate) values ('%1', 'K01', %2, %3)")
                  .arg(itemId(i)).arg(pick(0, 200)).arg(day(p.start.addDays(-10))));
    const int horizon = p.periods * 7;
    // Open orders on every third item: production orders for made items, purchase orders for bought ones.
    if (p.openOrders)
        for (int i = 1; i < p.items; i += 3) {
            const bool purchased = i >= levelBegin[levels - 1];
            const QString no = QStringLiteral("%1%2").arg(purchased ? QStringLiteral("PO") : QStringLiteral("MO")).arg(i, 6, 10, QLatin1Char('0'));
            const int qty = pick(10, 300);
            const QString due = day(p.start.addDays(pick(0, qMin(horizon, 56) - 1)));
            if (purchased)
                w.add(QStringLiteral("insert QZ_MRP_PO (POID, PONo, POEntry, PODate, POSuppID, PODeptID, POItmID, POUntID, POBillQty, "
                                     "POQty, POOkQty, POChkQty, PODelivDate, Checked, Closed, CanMRP) values ('%1', '%1', 1, %2, "
                                     "'S001', 'D01', '%3', 'PCS', %4, %4, 0, 0, %5, 1, 0, 1)")
                          .arg(no, day(p.start.addDays(-14)), itemId(i)).arg(qty).arg(due));
            else
                w.add(QStringLiteral("insert QZ_MRP_MO (MOID, MONo, MOEntry, MODate, MODeptID, MOItmID, MOUntID, MOBillQty, MOQty, "
                                     "MOOkQty, MOChkQty, MODelivDate, MODrawDate, MOBomType, MOBomID, MOStatus, Checked, Closed, "
                                     "CanMRP) values ('%1', '%1', 1, %2, 'D01', '%3', 'PCS', %4, %4, 0, 0, %5, %2, 0, 'B%3', "
                                     "'下达', 1, 0, 1)")
                          .arg(no, day(p.start.addDays(-14)), itemId(i)).arg(qty).arg(due));
        }
    // Production orders as a large release of planned orders leaves them: on
    // the made items in turn, due on the days of the horizon in turn, each
    // with the lines of its item's bill of materials, nothing issued yet.
    // Made in SQL from a table of numbers, so that hundreds of thousands of
    // orders cost a few statements.
    if (p.releasedOrders > 0) {
        const int made = levelBegin[levels - 1];
        w.add(QStringLiteral("create table #Digits (D int not null)"));
        for (int d = 0; d < 10; ++d)
            w.add(QStringLiteral("insert #Digits (D) values (%1)").arg(d));
        // N and the index M of its order's item among the made items.
        w.add(QStringLiteral("create table #Numbers (N int not null, M int not null)"));
        // 0 to N-1 from as many tables of digits as N-1 has digits.
        QStringList tables, terms;
        for (qint64 scale = 1, k = 0; k == 0 || scale < p.releasedOrders; ++k, scale *= 10) {
            tables << QStringLiteral("#Digits as d%1").arg(k);
            terms << QStringLiteral("%1*d%2.D").arg(scale).arg(k);
        }
        w.add(QStringLiteral("insert #Numbers (N, M) select %1, (%1) % %4 from %2 where %1<%3")
                  .arg(terms.join(u'+'), tables.join(QStringLiteral(", ")))
                  .arg(p.releasedOrders)
                  .arg(made));
        w.add(QStringLiteral("create index #NumbersM on #Numbers (M)"));
        w.add(QStringLiteral("insert QZ_MRP_MO (MOID, MONo, MOEntry, MODate, MODeptID, MOItmID, MOUntID, MOBillQty, MOQty, MOOkQty, "
                             "MOChkQty, MODelivDate, MODrawDate, MOBomType, MOBomID, MOStatus, Checked, Closed, CanMRP) select "
                             "'RM'+right('0000000'+cast(N as varchar(7)),7), 'RM'+right('0000000'+cast(N as varchar(7)),7), 1, %1, "
                             "'D01', 'I'+right('000000'+cast(N % %2 as varchar(6)),6), 'PCS', 10+N % 91, 10+N % 91, 0, 0, "
                             "dateadd(day, N % %3, %4), dateadd(day, N % %3-2, %4), 0, 'BI'+right('000000'+cast(N % %2 as varchar(6)),6), "
                             "'计划', 1, 0, 1 from #Numbers")
                  .arg(day(p.start.addDays(-7))).arg(made).arg(horizon).arg(day(p.start)));
        // The lines from the bills' lines, each finding the orders of its
        // bill's item by the item's index (a number, so that the index serves).
        const QString order = QStringLiteral("'RM'+right('0000000'+cast(N as varchar(7)),7)");
        w.add(QStringLiteral("insert QZ_MRP_MOBOM (BomID, BomNo, BomEntry, BomDate, MOID, MONo, MOEntry, MOItmID, BomDeptID, BomItmID, "
                             "BomUntID, BomUnitQty, BomBillQty, BomQty, BomOkQty, BomDrawDate, BomRole, BomRowHook, BomItmBomType, "
                             "BomItmBomID, Checked, Closed, CanMRP) select %1+'-1', %1+'-1', l.BomEntry, %2, %1, %1, 1, "
                             "'I'+right('000000'+cast(N % %3 as varchar(6)),6), 'D01', l.BomItmID, 'PCS', l.BomQty/l.BomBaseQty, "
                             "(10+N % 91)*l.BomQty/l.BomBaseQty, (10+N % 91)*l.BomQty/l.BomBaseQty, 0, dateadd(day, N % %4-2, %5), "
                             "0, l.BomRowHook, l.BomItmBomType, l.BomItmBomID, 1, 0, 1 from QZ_MRP_ItemBOMLines as l join #Numbers "
                             "on M=cast(substring(l.BomID, 3, 6) as int) where l.BomType=0")
                  .arg(order, day(p.start.addDays(-7))).arg(made).arg(horizon).arg(day(p.start)));
        w.add(QStringLiteral("drop table #Numbers"));
        w.add(QStringLiteral("drop table #Digits"));
    }
    // Sales-order lines on the products, spread over the horizon.
    for (int n = 0; n < p.demands; ++n) {
        const int product = pick(levelBegin[0], levelBegin[1] - 1);
        const QString id = QStringLiteral("SO%1").arg(n / 10 + 1, 6, 10, QLatin1Char('0'));
        const int qty = pick(1, 100);
        w.add(QStringLiteral("insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SODeptID, SOItmID, SOUntID, SOBillQty, "
                             "SOQty, SOOkQty, SODelivDate, SOBomType, SOBomID, Checked, Closed, CanMRP, SOEmpID) values ('%1', '%1', %2, "
                             "%3, '%4', 'D04', '%5', 'PCS', %6, %6, 0, %7, 0, 'B%5', 1, 0, 1, 'E04')")
                  .arg(id).arg(n % 10 + 1).arg(day(p.start.addDays(-7)))
                  .arg(n % 2 ? QStringLiteral("C002") : QStringLiteral("C001"))
                  .arg(itemId(product)).arg(qty).arg(day(p.start.addDays(pick(0, horizon - 1)))));
        if (n % 10 == 0)
            w.add(QStringLiteral("insert QZ_MRP_SOHead (SOID, SONo, SODate, SOCustID, SODeptID, SOEmpID, Checked, Closed) values "
                                 "('%1', '%1', %2, '%3', 'D04', 'E04', 1, 0)")
                      .arg(id).arg(day(p.start.addDays(-7))).arg(n % 2 ? QStringLiteral("C002") : QStringLiteral("C001")));
    }
    // Calendar: weekends from a month before the plan to a month after it.
    w.add(QStringLiteral("insert QZ_MRP_Calendar (CalName) values ('标准日历(双休)')"));
    for (QDate d = p.start.addMonths(-1); d <= p.start.addDays(horizon + 31); d = d.addDays(1))
        if (d.dayOfWeek() >= 6)
            w.add(QStringLiteral("insert QZ_MRP_Holidays (CalIID, CalHoliday) values (1, %1)").arg(day(d)));
    // The plan scheme: weekly periods, all items planned.
    QString periods;
    for (int k = 0; k <= p.periods; ++k)
        periods += QString::number(dayNumber(p.start.addDays(7 * k))) + u'|';
    w.add(QStringLiteral("insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, "
                         "SchTrackMode, SchCareLoss, SchCareLot, SchUsrID, SchState, SchNewTime, SchUpdTime) values "
                         "(0, '合成方案', 1, '%1', 1, 0, 9, 1, 1, 'plan01', 0, %2, %2)")
              .arg(periods, day(p.start)));
    return w.script();
}

} // namespace

bool createSyntheticAccountSet(const QString& fileName, const SyntheticParams& params, QString* error)
{
    const QString problem = checkSyntheticParams(params);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    // The demo's schema, info objects, users and permissions; not its company.
    QList<Script> scripts;
    for (const Script& s : accountSetScripts())
        if (s.name.startsWith(QStringLiteral("schema/")) || s.name.startsWith(QStringLiteral("data/1")))
            scripts.append(s);
    scripts.append(generatedData(params));
    return createAccountSet(fileName, scripts, error);
}

} // namespace kvdemo
