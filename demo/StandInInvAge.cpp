#include "StandInInvAge.h"

#include "StandInSql.h"
#include "TsqlEngine.h"

#include <QDate>
#include <QHash>

namespace kvdemo {

namespace {

bool isNull(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

QList<QList<QVariant>> rowsOf(const kvtsql::BatchResult& r)
{
    return r.resultSets.isEmpty() ? QList<QList<QVariant>>() : r.resultSets.last().rows;
}

// The cut-off argument: a 'yyyymmdd' text, or null for the current stock.
// Gives the condition "dated on or before the cut-off" on the date column, or
// an empty text for the current stock.
QString onOrBefore(const QVariant& cutOff, const QString& column)
{
    if (isNull(cutOff) || cutOff.toString().trimmed().isEmpty())
        return QString();
    const QDate day = QDate::fromString(cutOff.toString().trimmed().left(8), QStringLiteral("yyyyMMdd"));
    if (!day.isValid())
        throw kvtsql::SqlException(50000, QStringLiteral("截止日期(%1)无效!").arg(cutOff.toString()));
    return column + QStringLiteral("<'") + day.addDays(1).toString(QStringLiteral("yyyyMMdd")) + u'\'';
}

QString dateText(const QVariant& v)
{
    if (isNull(v))
        return QStringLiteral("null");
    const QDateTime t = v.toDateTime();
    return t.isValid() ? u'\'' + t.toString(QStringLiteral("yyyyMMdd hh:mm:ss")) + u'\'' : quoted(v.toString());
}

// The key of one stock row as the analysis keeps it: item, properties,
// batch, stock, place, MRP group.
QString keyOf(const QList<QVariant>& row, int from, int count)
{
    QStringList parts;
    for (int i = from; i < from + count; ++i)
        parts << row.value(i).toString().trimmed().toLower();
    return parts.join(QChar(0xF8F5));
}

// QZ_MRP_GetHistoryInventory @Date, @Filter: fills #QZ_MRP_Inventory with the
// stock on hand of the real (not virtual) stocks at the end of @Date (null:
// now): today's stock less the receipts after that day plus the issues after
// it, per item, properties, batch, stock, place and MRP group; @Filter is a
// condition over the filter object's aliases (s, i, mt, ub, k, ep, eb) in which
// "$$StockID$$" stands for the stock. One row back: RowCnt, the rows filled.
void getHistoryInventory(kvtsql::ProcedureCall& call)
{
    const QVariant cutOff = call.arg(QStringLiteral("date"), 0);
    QString filter = call.arg(QStringLiteral("filter"), 1).toString().trimmed();
    filter.replace(QStringLiteral("$$StockID$$"), QStringLiteral("s.InvStkID"), Qt::CaseInsensitive);
    QString later = onOrBefore(cutOff, QStringLiteral("StbDate"));
    if (!later.isEmpty())
        later = QStringLiteral("union all select StbItmID, StbItmProps, isnull(StbBatch,''), StbStkID, isnull(StbStpID,''), "
                               "StbGroupType, StbGroupNo, -StbDir*StbQty from QZ_MRP_StockBills with(nolock) where not (") +
                later + QStringLiteral(")\r");
    call.run(QStringLiteral(
                 "if object_id('tempdb..#QZ_StockAtDate') is not null drop table #QZ_StockAtDate\r"
                 "select InvIID=0, InvItmID, InvItmProps, InvBatch, InvStkID, InvStpID, InvGroupType, InvGroupNo, InvQty=sum(InvQty) "
                 "into #QZ_StockAtDate from (select InvItmID, InvItmProps, InvBatch=isnull(InvBatch,''), InvStkID, "
                 "InvStpID=isnull(InvStpID,''), InvGroupType, InvGroupNo, InvQty from QZ_MRP_Inventory with(nolock)\r") +
             later +
             QStringLiteral(") as m group by InvItmID, InvItmProps, InvBatch, InvStkID, InvStpID, InvGroupType, InvGroupNo"));
    const kvtsql::BatchResult filled = call.run(
        QStringLiteral(
            "insert #QZ_MRP_Inventory (InvItmID, InvItmProps, InvItmProp1, InvItmProp2, InvItmProp3, InvItmProp4, InvItmProp5, "
            "InvItmProp6, InvItmProp7, InvItmProp8, InvItmProp9, InvItmProp10, InvBatch, InvStkID, InvStpID, InvGroupType, "
            "InvGroupNo, InvQty)\r"
            "select s.InvItmID, s.InvItmProps, ip.ItpProp1, ip.ItpProp2, ip.ItpProp3, ip.ItpProp4, ip.ItpProp5, ip.ItpProp6, "
            "ip.ItpProp7, ip.ItpProp8, ip.ItpProp9, ip.ItpProp10, s.InvBatch, s.InvStkID, s.InvStpID, s.InvGroupType, "
            "s.InvGroupNo, s.InvQty from #QZ_StockAtDate as s join QZ_Base_Stock as k with(nolock) on s.InvStkID=k.StkID "
            "left join QZ_Base_ItemMaster as i with(nolock) on s.InvItmID=i.ItmID "
            "left join QZ_MRP_ItemSetting as mt with(nolock) on s.InvItmID=mt.ItmID "
            "left join QZ_Base_Unit as ub with(nolock) on i.ItmUnitID=ub.UntID "
            "left join QZ_Base_Employee as ep with(nolock) on mt.ItmPlannerID=ep.EmpID "
            "left join QZ_Base_Employee as eb with(nolock) on mt.ItmBuyerID=eb.EmpID "
            "left join QZ_Base_ItemProps as ip with(nolock) on s.InvItmProps=ip.ItpID and s.InvItmProps<>'' "
            "where s.InvQty<>0 and k.StkVirtual=0") +
        (filter.isEmpty() ? QString() : QStringLiteral(" and (") + filter + u')') +
        QStringLiteral("\rselect RowCnt=count(*) from #QZ_MRP_Inventory\rdrop table #QZ_StockAtDate"));
    call.resultSets = filled.resultSets;
}

const QString BillColumns = QStringLiteral(
    "BillTypID, BillTypName, BillID, BillNo, BillEntry, BillSupply, BillDate, BillItmID, BillItmProps, BillBatch, BillStkID, "
    "BillStpID, BillGroupType, BillGroupNo, BillQty, BillNote, BillMemo, BillOrdType, BillOrdID, BillOrdNo, BillOrdEntry");
const QString StockBillColumns = QStringLiteral(
    "StbTypID, StbTypName, StbID, StbNo, StbEntry, StbSupply, StbDate, StbItmID, StbItmProps, StbBatch, StbStkID, "
    "isnull(StbStpID,''), StbGroupType, StbGroupNo, StbQty, StbNote, StbMemo, StbOrdType, StbOrdID, StbOrdNo, StbOrdEntry");

// QZ_MRP_GetLastStockInBills @Date: fills #QZ_MRP_LastStockInBillsA with the
// next pass of receipt lines: for every stock row of #QZ_MRP_Inventory that is
// not fully explained yet, its newest receipt dated on or before @Date (null:
// any) that no earlier pass of the run brought. A receipt
// without a batch is one of the stock row without a batch; it keeps its empty
// batch. One row back: RowCnt, the lines brought (0 when there are no more).
void getLastStockInBills(kvtsql::ProcedureCall& call)
{
    const QString dated = onOrBefore(call.arg(QStringLiteral("date"), 0), QStringLiteral("b.StbDate"));
    // The lines handed out so far in this run, by their own identity (a
    // traced transfer changes the identity its copy carries); a run begins
    // with no line brought yet.
    call.run(QStringLiteral(
        "if object_id('tempdb..#QZ_StockInBrought') is null create table #QZ_StockInBrought (TypID nvarchar(50), "
        "ID nvarchar(50), Entry int)\r"
        "if not exists (select * from #QZ_MRP_LastStockInBillsB) delete #QZ_StockInBrought"));
    const QList<QList<QVariant>> candidates = rowsOf(call.run(
        QStringLiteral("select v.InvItmID, v.InvItmProps, v.InvBatch, v.InvStkID, v.InvStpID, v.InvGroupType, v.InvGroupNo, "
                       "b.StbTypID, b.StbID, b.StbEntry from #QZ_MRP_Inventory as v with(nolock) "
                       "join QZ_MRP_StockBills as b with(nolock) on b.StbItmID=v.InvItmID and b.StbItmProps=v.InvItmProps "
                       "and isnull(b.StbBatch,'')=v.InvBatch and b.StbStkID=v.InvStkID and isnull(b.StbStpID,'')=v.InvStpID "
                       "and b.StbGroupType=v.InvGroupType and b.StbGroupNo=v.InvGroupNo "
                       "where v.InvQty>v.InvInQty and b.StbDir=1") +
        (dated.isEmpty() ? QString() : QStringLiteral(" and ") + dated) +
        QStringLiteral(" and not exists (select * from #QZ_StockInBrought as x where x.TypID=b.StbTypID and "
                       "x.ID=b.StbID and x.Entry=b.StbEntry) "
                       "order by v.InvItmID, v.InvItmProps, v.InvBatch, v.InvStkID, v.InvStpID, v.InvGroupType, v.InvGroupNo, "
                       "b.StbDate desc, b.StbID desc, b.StbEntry desc")));
    QString previousKey;
    QStringList taken;
    QString batch;
    for (const QList<QVariant>& row : candidates) {
        const QString key = keyOf(row, 0, 7);
        if (key == previousKey)
            continue;
        previousKey = key;
        const QString line = keyOf(row, 7, 3);
        if (taken.contains(line))
            continue;
        taken << line;
        batch += QStringLiteral("insert #QZ_MRP_LastStockInBillsA (") + BillColumns + QStringLiteral(")\rselect ") +
                 StockBillColumns + QStringLiteral(" from QZ_MRP_StockBills with(nolock) where StbTypID=%1 and StbID=%2 and "
                                                   "StbEntry=%3\r")
                                        .arg(quoted(row.value(7).toString()), quoted(row.value(8).toString()),
                                             QString::number(row.value(9).toInt()));
        batch += QStringLiteral("insert #QZ_StockInBrought (TypID, ID, Entry) values (%1, %2, %3)\r")
                     .arg(quoted(row.value(7).toString()), quoted(row.value(8).toString()),
                          QString::number(row.value(9).toInt()));
    }
    if (!batch.isEmpty())
        call.run(batch);
    call.resultSets = call.run(QStringLiteral("select RowCnt=%1").arg(taken.size())).resultSets;
}

// QZ_MRP_UndoInnerTransBills @Filter, @MergeBatch, @MergeStock, @MergePlace,
// @MergeTrack: every transfer-in line of the pass (in #QZ_MRP_LastStockInBillsA
// and its copy in #QZ_MRP_LastStockInBillsB) is traced to the receipt the
// transfer moved: the newest receipt into the stock, place and batch the
// transfer took the goods from, dated on or before the transfer (following a
// chain of transfers). The line keeps its quantity and place, and takes the
// bill type name, number, entry, date, partner, note and order of that
// receipt; its identity becomes the transfer line's identity and entry joined
// by "#" with the receipt's entry, so that it stays apart from the receipt's
// own line. A transfer whose source has no receipt stays as it is. The filter
// and merge flags are not needed here: the lines are those of the pass.
void undoInnerTransBills(kvtsql::ProcedureCall& call)
{
    const QList<QList<QVariant>> lines = rowsOf(call.run(QStringLiteral(
        "select a.BillTypID, a.BillID, a.BillEntry from #QZ_MRP_LastStockInBillsA as a join QZ_MRP_StockBills as t with(nolock) "
        "on t.StbTypID=a.BillTypID and t.StbID=a.BillID and t.StbEntry=a.BillEntry where t.StbFromID is not null")));
    QString batch;
    for (const QList<QVariant>& line : lines) {
        QString typ = line.value(0).toString(), id = line.value(1).toString();
        int entry = line.value(2).toInt();
        QList<QVariant> origin;
        for (int depth = 0; depth < 16; ++depth) {
            const QList<QList<QVariant>> source = rowsOf(call.run(
                QStringLiteral("select f.StbItmID, f.StbItmProps, isnull(f.StbBatch,''), f.StbStkID, isnull(f.StbStpID,''), "
                               "t.StbDate from QZ_MRP_StockBills as t with(nolock) join QZ_MRP_StockBills as f with(nolock) on "
                               "f.StbTypID=t.StbFromTypID and f.StbID=t.StbFromID and f.StbEntry=t.StbFromEntry "
                               "where t.StbTypID=%1 and t.StbID=%2 and t.StbEntry=%3")
                    .arg(quoted(typ), quoted(id), QString::number(entry))));
            if (source.isEmpty())
                break;
            const QList<QVariant>& s = source.first();
            const QList<QList<QVariant>> receipt = rowsOf(call.run(
                QStringLiteral("select StbTypID, StbID, StbEntry, StbTypName, StbNo, StbDate, StbSupply, StbNote, StbMemo, "
                               "StbOrdType, StbOrdID, StbOrdNo, StbOrdEntry, StbFromID from QZ_MRP_StockBills with(nolock) "
                               "where StbDir=1 and StbItmID=%1 and StbItmProps=%2 and isnull(StbBatch,'')=%3 and StbStkID=%4 "
                               "and isnull(StbStpID,'')=%5 and StbDate<=%6 order by StbDate desc, StbID desc, StbEntry desc")
                    .arg(quoted(s.value(0).toString()), quoted(s.value(1).toString()), quoted(s.value(2).toString()),
                         quoted(s.value(3).toString()), quoted(s.value(4).toString()), dateText(s.value(5)))));
            if (receipt.isEmpty())
                break;
            origin = receipt.first();
            if (isNull(origin.value(13)))
                break;
            typ = origin.value(0).toString();
            id = origin.value(1).toString();
            entry = origin.value(2).toInt();
        }
        if (origin.isEmpty())
            continue;
        const auto text = [](const QVariant& v) { return isNull(v) ? QStringLiteral("null") : quoted(v.toString()); };
        const auto number = [](const QVariant& v) { return isNull(v) ? QStringLiteral("null") : QString::number(v.toInt()); };
        // The line shows the receipt's number and entry; its identity stays
        // its own (the transfer line's identity and entry, joined).
        const QString set = QStringLiteral("set BillTypName=%1, BillNo=%2, BillDate=%3, BillSupply=%4, BillNote=%5, BillMemo=%6, "
                                           "BillOrdType=%7, BillOrdID=%8, BillOrdNo=%9, BillOrdEntry=%10, BillID=%11, "
                                           "BillEntry=%12")
                                .arg(text(origin.value(3)), text(origin.value(4)), dateText(origin.value(5)),
                                     text(origin.value(6)), text(origin.value(7)), text(origin.value(8)),
                                     number(origin.value(9)), text(origin.value(10)), text(origin.value(11)))
                                .arg(number(origin.value(12)),
                                     quoted(line.value(1).toString() + u'#' + QString::number(line.value(2).toInt())),
                                     QString::number(origin.value(2).toInt()));
        const QString where = QStringLiteral(" where BillTypID=%1 and BillID=%2 and BillEntry=%3\r")
                                  .arg(quoted(line.value(0).toString()), quoted(line.value(1).toString()),
                                       QString::number(line.value(2).toInt()));
        batch += QStringLiteral("update #QZ_MRP_LastStockInBillsA ") + set + where;
        batch += QStringLiteral("update #QZ_MRP_LastStockInBillsB ") + set + where;
    }
    if (!batch.isEmpty())
        call.run(batch);
}

// QZ_MRP_GetLastStockInPrice: the price and amount of every line of
// #QZ_MRP_LastStockInBillsB: its own price, else the newest price at which the
// item was received on or before the line's date; the amount is the quantity
// at that price, to cents. Lines of an item never received at a price keep
// neither.
void getLastStockInPrice(kvtsql::ProcedureCall& call)
{
    call.run(QStringLiteral(
        "update b set BillPrice=s.StbPrice from #QZ_MRP_LastStockInBillsB as b join QZ_MRP_StockBills as s with(nolock) "
        "on s.StbTypID=b.BillTypID and s.StbID=b.BillID and s.StbEntry=b.BillEntry where s.StbPrice is not null"));
    const QList<QList<QVariant>> open = rowsOf(call.run(QStringLiteral(
        "select BillTypID, BillID, BillEntry, BillItmID, BillItmProps, BillDate from #QZ_MRP_LastStockInBillsB "
        "where BillPrice is null")));
    QString batch;
    for (const QList<QVariant>& line : open) {
        const QList<QList<QVariant>> price = rowsOf(call.run(
            QStringLiteral("select StbPrice from QZ_MRP_StockBills with(nolock) where StbDir=1 and StbPrice is not null and "
                           "StbItmID=%1 and StbItmProps=%2 and StbDate<=%3 order by StbDate desc, StbID desc, StbEntry desc")
                .arg(quoted(line.value(3).toString()), quoted(line.value(4).toString()), dateText(line.value(5)))));
        if (price.isEmpty())
            continue;
        batch += QStringLiteral("update #QZ_MRP_LastStockInBillsB set BillPrice=%1 where BillTypID=%2 and BillID=%3 and "
                                "BillEntry=%4\r")
                     .arg(price.first().value(0).toString(), quoted(line.value(0).toString()),
                          quoted(line.value(1).toString()), QString::number(line.value(2).toInt()));
    }
    batch += QStringLiteral("update #QZ_MRP_LastStockInBillsB set BillAmt=round(BillQty*BillPrice, 2) where BillPrice is not null");
    call.run(batch);
}

// QZ_MRP_GetLastStockOutDate @Date, @Filter, @MergeBatch, @MergeStock,
// @MergePlace, @MergeTrack: AgeOutDate of every row of #QZ_MRP_InvAgeMain is
// the date of the newest issue on or before @Date (null: any) of its item and
// properties, and of its batch, stock, place and MRP group where those are
// not merged.
void getLastStockOutDate(kvtsql::ProcedureCall& call)
{
    const QString dated = onOrBefore(call.arg(QStringLiteral("date"), 0), QStringLiteral("StbDate"));
    const bool parts[4] = {call.arg(QStringLiteral("mergebatch"), 2).toInt() != 1,
                           call.arg(QStringLiteral("mergestock"), 3).toInt() != 1,
                           call.arg(QStringLiteral("mergeplace"), 4).toInt() != 1,
                           call.arg(QStringLiteral("mergetrack"), 5).toInt() != 1};
    const auto keyText = [&parts](const QList<QVariant>& row, int from) {
        QStringList key{row.value(from).toString().trimmed().toLower(), row.value(from + 1).toString().trimmed().toLower()};
        for (int p = 0; p < 4; ++p)
            if (parts[p]) {
                key << row.value(from + 2 + p).toString().trimmed().toLower();
                if (p == 3)
                    key << row.value(from + 6).toString().trimmed().toLower();
            }
        return key.join(QChar(0xF8F5));
    };
    QHash<QString, QDateTime> newest;
    const QList<QList<QVariant>> issues = rowsOf(call.run(
        QStringLiteral("select StbItmID, StbItmProps, isnull(StbBatch,''), StbStkID, isnull(StbStpID,''), StbGroupType, "
                       "StbGroupNo, StbDate=max(StbDate) from QZ_MRP_StockBills with(nolock) where StbDir=-1") +
        (dated.isEmpty() ? QString() : QStringLiteral(" and ") + dated) +
        QStringLiteral(" group by StbItmID, StbItmProps, isnull(StbBatch,''), StbStkID, isnull(StbStpID,''), StbGroupType, "
                       "StbGroupNo")));
    for (const QList<QVariant>& row : issues) {
        const QString key = keyText(row, 0);
        const QDateTime date = row.value(7).toDateTime();
        if (!newest.contains(key) || newest.value(key) < date)
            newest.insert(key, date);
    }
    const QList<QList<QVariant>> rows = rowsOf(call.run(QStringLiteral(
        "select AgeItmID, AgeItmProps, isnull(AgeBatch,''), AgeStkID, isnull(AgeStpID,''), AgeGroupType, AgeGroupNo, AgeIID "
        "from #QZ_MRP_InvAgeMain")));
    QString batch;
    for (const QList<QVariant>& row : rows) {
        const auto found = newest.constFind(keyText(row, 0));
        if (found == newest.constEnd())
            continue;
        batch += QStringLiteral("update #QZ_MRP_InvAgeMain set AgeOutDate='%1' where AgeIID=%2\r")
                     .arg(found.value().toString(QStringLiteral("yyyyMMdd hh:mm:ss")))
                     .arg(row.value(7).toInt());
    }
    if (!batch.isEmpty())
        call.run(batch);
}

} // namespace

void registerInvAgeProcedures()
{
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetHistoryInventory"), getHistoryInventory);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetLastStockInBills"), getLastStockInBills);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_UndoInnerTransBills"), undoInnerTransBills);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetLastStockInPrice"), getLastStockInPrice);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetLastStockOutDate"), getLastStockOutDate);
}

} // namespace kvdemo
