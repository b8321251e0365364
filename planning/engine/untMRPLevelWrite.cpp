#include "untMRPLevel.h"
#include "untMRPLevelCommon.h"
#include "untMRPCalendar.h"
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <numeric>

using namespace untMRPUtils;

namespace {

// Planned types whose every demand gets a planned supply of its own.
bool IsSingleDemandType(int supType)
{
    return supType == 44 || supType == 54 || supType == 62 || supType == 64 || supType == 66;
}

// Planned types made by a department (the others are bought or sent out).
bool IsDepartmentType(int supType)
{
    return supType == 42 || supType == 44 || supType == 62 || supType == 64;
}

QString SQLText(const QString& s) { return QuoteSQL(s); }

QString SQLTextOrNull(const QString& s) { return s.isEmpty() ? QStringLiteral("null") : QuoteSQL(s); }


// Values of the bulk statements, typed as their parameters take them.
QVariant IntValue(qint64 v) { return QVariant(qlonglong(v)); }
QVariant QtyValue(double v) { return QVariant(SQLQty(v)); }
QVariant TextValue(const QString& s) { return QVariant(s.isNull() ? QString(QLatin1String("")) : s); }
QVariant TextOrNullValue(const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); }

// "insert TABLE (A, B) values (@A, @B)" over typed columns "A type".
TMRPBulkStatement BulkInsert(const QString& table, const QStringList& typedColumns)
{
    TMRPBulkStatement st;
    QStringList cols;
    for (const QString& c : typedColumns) {
        const qsizetype blank = c.indexOf(QLatin1Char(' '));
        cols << c.left(blank);
        st.ParamNames << QLatin1Char('@') + c.left(blank);
        st.ParamTypes << c.mid(blank + 1);
    }
    st.Statement = QStringLiteral("insert %1 (%2) values (%3)").arg(table, cols.join(QLatin1String(", ")),
                                                                       st.ParamNames.join(QLatin1String(", ")));
    return st;
}

} // namespace

// ---- Write-backs ---------------------------------------------------------

QString TMRPLevelPlanner::SupplyPeriodHints(int supIndex) const
{
    return BuildHints(FSupPeriodQty[supIndex]);
}

QString TMRPLevelPlanner::SupplyWriteHints(int supIndex) const
{
    const TMRPSupplyRec& s = Supplies[supIndex];
    std::map<int, double> q = FSupPeriodQty[supIndex];
    if (s.SupMpsHints.isEmpty()) {
        if (s.SupAllotQty > 0 && s.SupRestQty > 0)
            q[s.SupRestPeriod] += s.SupRestQty;
        return BuildHints(q);
    }
    // A supply spread over periods by the main demand keeps that spread for
    // what is still free; the allotted part shows in the periods it serves.
    // The allotments use up the spread from its first period on.
    double allotted = 0;
    for (const auto& [p, v] : q)
        allotted += v;
    std::map<int, double> rest;
    for (const THintEntry& e : ParseHints(s.SupMpsHints)) {
        double v = e.Qty;
        const double used = std::min(std::max(v, 0.0), allotted);
        v -= used;
        allotted -= used;
        if (v > 0)
            rest[e.Period] += v;
    }
    for (const auto& [p, v] : rest)
        q[p] += v;
    return BuildHints(q);
}

void TMRPLevelPlanner::WriteAllots(TMRPSQLBatch& batch) const
{
    if (OnLog)
        OnLog(untMRPDataTypes::SWritingAllots(), 1);
    for (const TMRPItemSumRec& it : Items) {
        for (int k = 0; k < it.ItmAltCnt; ++k) {
            const TMRPAllotRec& a = it.ItmAllots[k];
            if (!(a.AltQty > 0))
                continue;
            if (FBulk) {
                FBulk->Allots.Rows.append({IntValue(a.AltPeriod), IntValue(Supplies[a.AltSupIndex].SupIID),
                                           IntValue(Details[a.AltDtlIndex].DtlDmdRec->DmdIID), TextValue(DateText(a.AltDay)),
                                           IntValue(a.AltAdjDays), IntValue(int(a.AltTrackLevel)), QtyValue(a.AltQty),
                                           IntValue(a.AltGroupX ? -1 : 0), IntValue(a.AltReplace ? -1 : 0),
                                           QtyValue(a.AltReplQty)});
                PassBulkRows(FBulk->Allots);
                continue;
            }
            batch.Add(QStringLiteral("insert #QZ_MRP_Allots (AltPeriod, AltSupIID, AltDmdIID, AltDate, AltAdjDays, "
                                     "AltTrack, AltQty, AltIsGrpx, AltIsRepl, AltReplQty) values (%1, %2, %3, '%4', "
                                     "%5, %6, %7, %8, %9, %10)\r\n")
                          .arg(a.AltPeriod)
                          .arg(Supplies[a.AltSupIndex].SupIID)
                          .arg(Details[a.AltDtlIndex].DtlDmdRec->DmdIID)
                          .arg(DateText(a.AltDay))
                          .arg(a.AltAdjDays)
                          .arg(int(a.AltTrackLevel))
                          .arg(SQLQty(a.AltQty))
                          .arg(a.AltGroupX ? -1 : 0)
                          .arg(a.AltReplace ? -1 : 0)
                          .arg(SQLQty(a.AltReplQty)));
        }
    }
}

void TMRPLevelPlanner::WriteSupplies(TMRPSQLBatch& batch) const
{
    if (OnCheckEscape)
        OnCheckEscape();
    for (size_t i = 0; i < Supplies.size(); ++i) {
        const TMRPSupplyRec& s = Supplies[i];
        const bool stockOfAllottedItem = s.SupBillType == btStock && Items[s.SupItmIndex].ItmAltCnt > 0;
        if (!s.SupAlloted && s.SupMpsHints.isEmpty() && !stockOfAllottedItem)
            continue;
        const int si = static_cast<int>(i);
        QString hints = SupplyWriteHints(si);
        QString phints = SupplyPeriodHints(si);
        if (FBulk) {
            FBulk->Supplies.Rows.append({QtyValue(s.SupAllotQty + s.SupRestQty), QtyValue(s.SupAllotQty),
                                         QtyValue(s.SupAReplQty), QtyValue(s.SupRestQty), TextValue(hints),
                                         TextValue(phints), IntValue(s.SupIID)});
            PassBulkRows(FBulk->Supplies);
            continue;
        }
        batch.Add(QStringLiteral("update #QZ_MRP_Supplies set SupQty=%1, SupAllotQty=%2, SupAReplQty=%3, "
                                 "SupRestQty=%4, SupHints=%5, SupPHints=%6 where SupIID=%7\r\n")
                      .arg(SQLQty(s.SupAllotQty + s.SupRestQty), SQLQty(s.SupAllotQty), SQLQty(s.SupAReplQty),
                           SQLQty(s.SupRestQty), SQLText(hints), SQLText(phints))
                      .arg(s.SupIID));
    }
}

void TMRPLevelPlanner::WriteDemands(TMRPSQLBatch& batch) const
{
    for (const TMRPDemandRec& d : Demands) {
        const QString day = DateText(DateToDay(d.DmdDate));
        if (FBulk) {
            FBulk->Demands.Rows.append({IntValue(d.DmdPeriod), TextValue(day), QtyValue(d.DmdInvQty),
                                        QtyValue(d.DmdMOQty), QtyValue(d.DmdOOQty), QtyValue(d.DmdPOQty),
                                        QtyValue(d.DmdMRQty), QtyValue(d.DmdORQty), QtyValue(d.DmdPRQty),
                                        QtyValue(d.DmdChkQty), QtyValue(d.DmdPChkQty), QtyValue(d.DmdReplQty),
                                        QtyValue(d.DmdPPPQty1), QtyValue(d.DmdPPPQty2), IntValue(d.DmdPDmdIID1),
                                        TextValue(d.DmdPDmdIID2), QtyValue(d.DmdQty), TextValue(d.DmdHints),
                                        IntValue(d.DmdIID)});
            PassBulkRows(FBulk->Demands);
            continue;
        }
        batch.Add(QStringLiteral("update #QZ_MRP_Demands set DmdPeriod=%1, DmdDate='%2', DmdBillDate=(case when "
                                 "DmdBillDate=DmdDate then '%2' else DmdBillDate end),DmdInvQty=%3, DmdMOQty=%4, "
                                 "DmdOOQty=%5, DmdPOQty=%6, DmdMRQty=%7, DmdORQty=%8, DmdPRQty=%9, ")
                      .arg(d.DmdPeriod)
                      .arg(day, SQLQty(d.DmdInvQty), SQLQty(d.DmdMOQty), SQLQty(d.DmdOOQty), SQLQty(d.DmdPOQty),
                           SQLQty(d.DmdMRQty), SQLQty(d.DmdORQty), SQLQty(d.DmdPRQty))
                  + QStringLiteral("DmdChkQty=%1, DmdPChkQty=%2, DmdReplQty=%3, DmdPPPQty1=%4, DmdPPPQty2=%5, "
                                   "DmdPDmdIID1=%6, DmdPDmdIID2=%7, DmdQty=%8, DmdHints=%9 where DmdIID=%10\r\n")
                        .arg(SQLQty(d.DmdChkQty), SQLQty(d.DmdPChkQty), SQLQty(d.DmdReplQty), SQLQty(d.DmdPPPQty1),
                             SQLQty(d.DmdPPPQty2), QString::number(d.DmdPDmdIID1), SQLText(d.DmdPDmdIID2),
                             SQLQty(d.DmdQty), SQLText(d.DmdHints))
                        .arg(d.DmdIID));
    }
}

// ---- Planned supplies ----------------------------------------------------

QString TMRPLevelPlanner::TDemandExtra::DefaultParty(int supType) const
{
    if (supType == 58)
        return ItmPOSuppID;
    if (supType == 52 || supType == 54 || supType == 66)
        return ItmOOSuppID;
    return ItmMODeptID;
}

QString TMRPLevelPlanner::PlannedSupplyHeader()
{
    return QStringLiteral("declare @iid int, @bomlock bit, @bomtype tinyint, @bomid nvarchar(50)\r");
}
namespace {

void MergeOrigin(int& type, QString& id, QString& no, int& entry, QString& itmID, QString& custID, QString& custPO,
                 QString& tag, QString& subTag, const TMRPDemandRec& d)
{
    if (type == d.DmdOrigType && SameDBText(id, d.DmdOrigID)) {
        if (entry != d.DmdOrigEntry)
            entry = 0;
    } else {
        if (type != d.DmdOrigType)
            type = 0;
        id.clear();
        no.clear();
        custPO.clear();
        entry = 0;
    }
    if (!SameDBText(custID, d.DmdOrigCustID))
        custID.clear();
    if (!SameDBText(itmID, d.DmdOrigItmID))
        itmID.clear();
    if (!SameDBText(tag, d.DmdOrigTag))
        tag.clear();
    if (!SameDBText(subTag, d.DmdOrigSubTag))
        subTag.clear();
}

// The key text of a demand's planned supply; planned supplies of an item go
// in the order of these keys, compared case-insensitively.
QString BucketKey(const TMRPDemandRec& d)
{
    QString key = IntToBase36(d.DmdSupType);
    key += QLatin1Char('|');
    if (IsSingleDemandType(d.DmdSupType)) {
        key += IntToBase36(d.DmdIID);
        return key;
    }
    key.reserve(key.size() + 6 + d.DmdBomID.size() + d.DmdTrackKey.size());
    key += QString::number(d.DmdBomType);
    key += QLatin1Char(':');
    key += d.DmdBomID;
    key += QLatin1Char('|');
    key += d.DmdTrackKey;
    return key;
}

// True when two demands of types planned together have equal key texts,
// without making them: the type and BOM type are numbers in front, and the
// BOM identity and tracking key compare as their joined text does.
bool SameSharedBucket(const TMRPDemandRec& a, const TMRPDemandRec& b)
{
    if (a.DmdSupType != b.DmdSupType || a.DmdBomType != b.DmdBomType)
        return false;
    if (a.DmdBomID.size() == b.DmdBomID.size())
        return QString::compare(a.DmdBomID, b.DmdBomID, Qt::CaseInsensitive) == 0
               && QString::compare(a.DmdTrackKey, b.DmdTrackKey, Qt::CaseInsensitive) == 0;
    return QString::compare(BucketKey(a), BucketKey(b), Qt::CaseInsensitive) == 0;
}

} // namespace

void TMRPLevelPlanner::PlanSupplies(TMRPSQLBatch& batch)
{
    if (OnCheckEscape)
        OnCheckEscape();
    if (OnLog)
        OnLog(untMRPDataTypes::SPlannedSupplies(), 1);
    std::vector<TBucket> buckets;
    QHash<qint64, int> singleBuckets; // (type, demand) -> bucket of a type planned per demand
    std::vector<int> sharedBuckets;   // the item's other buckets
    int curItem = -1;
    int open = -1;             // bucket that holds the last planned quantity
    int openPeriod = 0;
    double surplus = 0;        // what the last lot left over
    std::int64_t lastDate = 0; // date of the last planned quantity
    int lastDemand = -1;
    int lastBucket = -1;

    for (int k = 0; k < UncoveredList.Count(); ++k) {
        TMRPDemandDetailRec& dtl = Details[UncoveredList[k]];
        TMRPDemandRec& dmd = *dtl.DtlDmdRec;
        const int dmdIndex = static_cast<int>(&dmd - Demands.data());
        const TMRPItemSumRec& it = Items[dmd.DmdItmIndex];
        const double unit = QtyUnit(it.ItmPutInteger, it.ItmDecimal);
        if (!(dtl.DtlQty > 0))
            continue;
        if (dmd.DmdItmIndex != curItem) {
            if (curItem >= 0)
                InsertBuckets(curItem, buckets, batch);
            buckets.clear();
            singleBuckets.clear();
            sharedBuckets.clear();
            curItem = dmd.DmdItmIndex;
            open = -1;
            surplus = 0;
            lastDate = 0;
            lastDemand = lastBucket = -1;
        }

        int b = -1;
        if (dmdIndex == lastDemand) {
            b = lastBucket;
        } else {
            // The bucket of the demand's key: its own for the types planned
            // per demand, otherwise the one of its type, BOM and tracking key.
            const bool single = IsSingleDemandType(dmd.DmdSupType);
            if (single) {
                const auto found = singleBuckets.constFind((qint64(dmd.DmdSupType) << 32) | quint32(dmd.DmdIID));
                if (found != singleBuckets.constEnd())
                    b = found.value();
            } else {
                for (int i : sharedBuckets)
                    if (SameSharedBucket(Demands[buckets[size_t(i)].Head], dmd)) {
                        b = i;
                        break;
                    }
            }
            if (b < 0) {
                TBucket nb;
                nb.Key = BucketKey(dmd);
                nb.Head = dmdIndex;
                nb.Adj.AdjSupType = dmd.DmdSupType;
                nb.Adj.AdjSupDept = dmd.DmdSupDept;
                nb.Adj.AdjBomType = dmd.DmdBomType;
                nb.Adj.AdjBomID = dmd.DmdBomID;
                nb.OrigType = dmd.DmdOrigType;
                nb.OrigID = dmd.DmdOrigID;
                nb.OrigNo = dmd.DmdOrigNo;
                nb.OrigEntry = dmd.DmdOrigEntry;
                nb.OrigItmID = dmd.DmdOrigItmID;
                nb.OrigCustID = dmd.DmdOrigCustID;
                nb.OrigCustPO = dmd.DmdOrigCustPO;
                nb.OrigTag = dmd.DmdOrigTag;
                nb.OrigSubTag = dmd.DmdOrigSubTag;
                if (FOptions.HasAdjustQuery) {
                    if (const TMRPLevelAdjustRow* adj = FindAdjust(it, dmd.DmdTrackKey)) {
                        if (FOptions.AKeepTypeAdjusts && adj->SupBillType != nb.Adj.AdjSupType) {
                            // The kept type's own party from the item's settings: the
                            // department or supplier of the demanded type does not fit it.
                            nb.Adj.AdjSupDept = FDemandExtra[dmdIndex].DefaultParty(adj->SupBillType);
                            nb.Adj.AdjSupType = static_cast<std::uint8_t>(adj->SupBillType);
                            nb.Adj.Adjust = true;
                        }
                        if (FOptions.AKeepBomAdjusts && nb.Adj.AdjSupType != 58 && !adj->SupBomID.isEmpty()) {
                            // A BOM is named by its type and identity together.
                            nb.Adj.AdjBomType = static_cast<std::uint8_t>(adj->SupBomType);
                            nb.Adj.AdjBomID = adj->SupBomID;
                            nb.Adj.Adjust = true;
                        }
                        if (FOptions.AKeepQtyAdjusts) {
                            nb.Adj.AdjQty = adj->SupAdjQty;
                            nb.Adj.Adjust = true;
                        }
                    }
                }
                buckets.push_back(std::move(nb));
                b = static_cast<int>(buckets.size()) - 1;
                if (single)
                    singleBuckets.insert((qint64(dmd.DmdSupType) << 32) | quint32(dmd.DmdIID), b);
                else
                    sharedBuckets.push_back(b);
            }
            lastDemand = dmdIndex;
            lastBucket = b;
        }
        TBucket& bucket = buckets[b];
        auto serveByOwn = [&](TBucket& bk, double q) {
            dmd.DmdPPPQty1 += q;
            dmd.DmdPDmdIID1 = Demands[bk.Head].DmdIID;
            if (&dmd != &Demands[bk.Head])
                MergeOrigin(bk.OrigType, bk.OrigID, bk.OrigNo, bk.OrigEntry, bk.OrigItmID, bk.OrigCustID,
                            bk.OrigCustPO, bk.OrigTag, bk.OrigSubTag, dmd);
        };

        // The surplus of the last lot comes first.
        if (surplus > 0 && open >= 0) {
            const double q = std::min(surplus, dtl.DtlQty);
            surplus -= q;
            TBucket& ob = buckets[open];
            ob.DemandTotal += q;
            ob.AddServed(dmd.DmdIID, openPeriod, q);
            if (open == b) {
                serveByOwn(ob, q);
            } else {
                dmd.DmdPDmdIID2 = AddServedDemand(dmd.DmdPDmdIID2, Demands[ob.Head].DmdIID, -1, q);
                dmd.DmdPPPQty2 += q;
            }
            dmd.DmdQty -= q;
            dtl.DtlQty -= q;
            if (IsResidue(surplus, unit))
                surplus = 0;
            if (IsResidue(dmd.DmdQty, unit))
                dmd.DmdQty = 0;
            if (IsResidue(dtl.DtlQty, unit))
                dtl.DtlQty = 0;
            if (!(dtl.DtlQty > 0))
                continue;
        }

        // A new planned quantity for the rest.
        const double n = dtl.DtlQty;
        std::int64_t day = dtl.DtlDate;
        int period = dtl.DtlPeriod;
        if (dmd.DmdPreLeadTime > 0) {
            day = DateToDay(ShiftWorkDays(FOptions.Holidays, dmd.DmdPreLeadTime, dtl.DtlDate));
            period = PeriodOf(day);
        }
        double p = n;
        if (FOptions.CareItemLotRule && !IsSingleDemandType(dmd.DmdSupType)) {
            const double m = (it.ItmMinQty > 0 && (open < 0 || day != lastDate)) ? it.ItmMinQty : 0;
            if (n <= m)
                p = m;
            else if (it.ItmLotQty > 0)
                p = m + CeilQty((n - m) / it.ItmLotQty) * it.ItmLotQty;
            else
                p = n;
        }
        // A planned quantity is one the item can be made or bought in: up to
        // whole units or the item's last decimal, whatever the lot rule, a
        // substitute's ratio or the yield left behind.
        p = CeilItemQty(p, it.ItmPutInteger, it.ItmDecimal);
        bucket.QtyByPeriod[period] += p;
        bucket.LotTotal += p;
        bucket.DemandTotal += n;
        bucket.AddServed(dmd.DmdIID, period, n);
        serveByOwn(bucket, n);
        dmd.DmdQty -= n;
        if (IsResidue(dmd.DmdQty, unit))
            dmd.DmdQty = 0;
        surplus = p - n;
        if (IsResidue(surplus, unit))
            surplus = 0;
        lastDate = day;
        open = b;
        openPeriod = period;
        dtl.DtlQty = 0;
    }
    if (curItem >= 0)
        InsertBuckets(curItem, buckets, batch);
}

void TMRPLevelPlanner::InsertBuckets(int itmIndex, std::vector<TBucket>& buckets, TMRPSQLBatch& batch)
{
    const TMRPItemSumRec& it = Items[itmIndex];
    const TPlanPeriods& periods = FOptions.MpsPeriods;
    std::vector<int> order(buckets.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return QString::compare(buckets[a].Key, buckets[b].Key, Qt::CaseInsensitive) < 0;
    });
    for (int bi : order) {
        TBucket& bk = buckets[bi];
        if (!(bk.LotTotal > 0))
            continue;
        const TMRPDemandRec& head = Demands[bk.Head];
        const int lead = CalcVarLeadTime(it.ItmFixLeadTime, it.ItmVarLeadTime, it.ItmVarLeadLot, bk.LotTotal);
        int firstPeriod = 0;
        for (const auto& [p, q] : bk.QtyByPeriod)
            if (q > 0) {
                firstPeriod = p;
                break;
            }
        std::int64_t needDay;
        if (head.DmdPeriod == firstPeriod)
            needDay = DateToDay(head.DmdDate);
        else if (firstPeriod == 0)
            needDay = DateToDay(periods[0].DateEnd);
        else
            needDay = DateToDay(periods[std::min<size_t>(firstPeriod, periods.size() - 1)].DateBegin);
        const std::int64_t startDay = DateToDay(ShiftWorkDays(FOptions.Holidays, lead, needDay));

        const QString phints = BuildHints(bk.QtyByPeriod);
        double adjQty = FOptions.AKeepQtyAdjusts ? bk.Adj.AdjQty : 0;
        if (bk.LotTotal + adjQty < 0)
            adjQty = -bk.LotTotal;
        const QString hints = (bk.Adj.Adjust && adjQty != 0) ? AdjustHintQty(phints, adjQty) : phints;
        const double supQty = bk.LotTotal + adjQty;
        const double allot = bk.DemandTotal;
        const double rest = supQty - allot;
        const int type = bk.Adj.AdjSupType;
        const bool dept = IsDepartmentType(type);
        const QString startText = DateText(startDay);
        const QString served = bk.Served();
        // A planned supply takes no document number here, not even that of the
        // order whose line it serves: the save numbers it 'S-' and its identity,
        // so it is never taken for an existing ERP document.

        if (FBulk) {
            QList<QVariant> row{IntValue(firstPeriod), IntValue(type), TextValue(QString()),
                                IntValue(0), TextValue(startText), QtyValue(bk.LotTotal),
                                dept ? QVariant() : TextOrNullValue(bk.Adj.AdjSupDept),
                                dept ? TextOrNullValue(bk.Adj.AdjSupDept) : QVariant(), IntValue(bk.OrigType),
                                TextValue(bk.OrigID), TextValue(bk.OrigNo), IntValue(bk.OrigEntry),
                                TextValue(bk.OrigItmID), TextValue(bk.OrigCustID), TextValue(bk.OrigCustPO),
                                TextValue(bk.OrigTag), TextValue(bk.OrigSubTag), IntValue(int(it.ItmGroupType)),
                                TextValue(it.ItmGroupNo), TextValue(it.ItmID), TextValue(it.ItmProps)};
            for (const QString* prop : {&it.ItmProp1, &it.ItmProp2, &it.ItmProp3, &it.ItmProp4, &it.ItmProp5,
                                        &it.ItmProp6, &it.ItmProp7, &it.ItmProp8, &it.ItmProp9, &it.ItmProp10})
                row << TextOrNullValue(*prop);
            row << TextValue(DateText(needDay)) << IntValue(lead) << IntValue(head.DmdPriority) << IntValue(head.DmdIID)
                << QtyValue(adjQty) << QtyValue(supQty) << QtyValue(allot) << QtyValue(rest)
                << IntValue(head.DmdBomLocked ? 1 : 0) << IntValue(int(bk.Adj.AdjBomType)) << TextValue(bk.Adj.AdjBomID)
                << TextValue(startText) << TextValue(hints) << TextValue(phints) << TextValue(served)
                << TextValue(head.DmdTrackKey) << TextValue(head.DmdNote);
            AddPlannedRow(bk.Adj.Adjust, std::move(row));
        } else {
            QString sql = QStringLiteral("select @bomlock=%1, @bomtype=%2, @bomid=%3\r")
                              .arg(head.DmdBomLocked ? QStringLiteral("1") : QStringLiteral("0"))
                              .arg(int(bk.Adj.AdjBomType))
                              .arg(SQLText(bk.Adj.AdjBomID));
            sql += QStringLiteral(
                "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupBillID, SupBillNo, SupBillEntry, SupBillDate, "
                "SupBillQty, SupSuppID, SupDeptID, SupOrigType, SupOrigID, SupOrigNo, SupOrigEntry, SupOrigItmID, "
                "SupOrigCustID, SupOrigCustPO, SupOrigTag, SupOrigSubTag, SupGroupType, SupGroupNo, SupItmID, "
                "SupItmProps, SupItmProp1, SupItmProp2, SupItmProp3, SupItmProp4, SupItmProp5, SupItmProp6, "
                "SupItmProp7, SupItmProp8, SupItmProp9, SupItmProp10, SupDate, SupLeadDays, SupPriority, SupPDmdIID, "
                "SupAdjQty, SupQty, SupAllotQty, SupRestQty, SupBomLocked, SupBomType, SupBomID, SupDrawDate, "
                "SupHints, SupPHints, SupPDmdIIDs, SupTrackKey, SupNote) values (");
            QStringList v;
            v << QString::number(firstPeriod) << QString::number(type) << QStringLiteral("null")
              << SQLText(QString()) << QStringLiteral("0") << QuoteSQL(startText)
              << SQLQty(bk.LotTotal) << (dept ? QStringLiteral("null") : SQLTextOrNull(bk.Adj.AdjSupDept))
              << (dept ? SQLTextOrNull(bk.Adj.AdjSupDept) : QStringLiteral("null")) << QString::number(bk.OrigType)
              << SQLText(bk.OrigID) << SQLText(bk.OrigNo) << QString::number(bk.OrigEntry) << SQLText(bk.OrigItmID)
              << SQLText(bk.OrigCustID) << SQLText(bk.OrigCustPO) << SQLText(bk.OrigTag) << SQLText(bk.OrigSubTag)
              << QString::number(int(it.ItmGroupType)) << SQLText(it.ItmGroupNo) << SQLText(it.ItmID)
              << SQLText(it.ItmProps);
            for (const QString* prop : {&it.ItmProp1, &it.ItmProp2, &it.ItmProp3, &it.ItmProp4, &it.ItmProp5,
                                        &it.ItmProp6, &it.ItmProp7, &it.ItmProp8, &it.ItmProp9, &it.ItmProp10})
                v << SQLTextOrNull(*prop);
            v << QuoteSQL(DateText(needDay)) << QString::number(lead) << QString::number(head.DmdPriority)
              << QString::number(head.DmdIID) << SQLQty(adjQty) << SQLQty(supQty) << SQLQty(allot) << SQLQty(rest)
              << QStringLiteral("@bomlock") << QStringLiteral("@bomtype") << QStringLiteral("@bomid")
              << QuoteSQL(startText) << SQLText(hints) << SQLText(phints) << SQLText(served)
              << SQLText(head.DmdTrackKey) << SQLText(head.DmdNote);
            sql += v.join(QLatin1String(", ")) + QStringLiteral(")\r");
            if (bk.Adj.Adjust)
                sql += QStringLiteral("select @iid=@@identity\rinsert #QZ_MRP_SupAdjusts (AdjSupIID, AdjOldType, "
                                      "AdjOldBomID, AdjOldQty) values (@iid, %1, @bomid, %2)\r")
                           .arg(type)
                           .arg(SQLQty(supQty));
            batch.Add(sql);
        }

        TMRPPlannedSupply ps;
        ps.ItmIndex = itmIndex;
        ps.SupPeriod = firstPeriod;
        ps.SupBillType = type;
        ps.SupDept = bk.Adj.AdjSupDept;
        ps.HeadDmdIID = head.DmdIID;
        ps.SupDate = needDay;
        ps.SupDrawDate = startDay;
        ps.SupLeadDays = lead;
        ps.SupBillQty = bk.LotTotal;
        ps.SupAdjQty = adjQty;
        ps.SupQty = supQty;
        ps.SupAllotQty = allot;
        ps.SupRestQty = rest;
        ps.SupHints = hints;
        ps.SupPHints = phints;
        ps.SupPDmdIIDs = served;
        ps.SupTrackKey = head.DmdTrackKey;
        ps.SupOrigType = bk.OrigType;
        ps.SupOrigID = bk.OrigID;
        ps.SupOrigEntry = bk.OrigEntry;
        ps.SupOrigCustID = bk.OrigCustID;
        ps.SupOrigItmID = bk.OrigItmID;
        ps.SupOrigTag = bk.OrigTag;
        ps.Adjusted = bk.Adj.Adjust;
        PlannedSupplies.push_back(std::move(ps));
    }
}

void TMRPLevelPlanner::AddPlannedRow(bool adjusted, QList<QVariant> row)
{
    // the planned supplies keep their order (their identities follow it), so
    // the rows go in runs of one statement: plain inserts, or inserts that
    // also record the adjustment they were planned with
    if (FBulk->Planned.empty() || FBulk->Planned.back().ParamNames.contains(QStringLiteral("@adjusted")) != adjusted) {
        if (!FBulk->Planned.empty()) {
            PassBulkRows(FBulk->Planned.back(), true);
            FBulk->Planned.clear();
        }
        TMRPBulkStatement st = BulkInsert(
            QStringLiteral("#QZ_MRP_Supplies"),
            {QStringLiteral("SupPeriod int"), QStringLiteral("SupBillType int"), QStringLiteral("SupBillNo nvarchar(max)"),
             QStringLiteral("SupBillEntry int"), QStringLiteral("SupBillDate datetime"),
             QStringLiteral("SupBillQty decimal(28,8)"), QStringLiteral("SupSuppID nvarchar(max)"),
             QStringLiteral("SupDeptID nvarchar(max)"), QStringLiteral("SupOrigType int"),
             QStringLiteral("SupOrigID nvarchar(max)"), QStringLiteral("SupOrigNo nvarchar(max)"),
             QStringLiteral("SupOrigEntry int"), QStringLiteral("SupOrigItmID nvarchar(max)"),
             QStringLiteral("SupOrigCustID nvarchar(max)"), QStringLiteral("SupOrigCustPO nvarchar(max)"),
             QStringLiteral("SupOrigTag nvarchar(max)"), QStringLiteral("SupOrigSubTag nvarchar(max)"),
             QStringLiteral("SupGroupType int"), QStringLiteral("SupGroupNo nvarchar(max)"),
             QStringLiteral("SupItmID nvarchar(max)"), QStringLiteral("SupItmProps nvarchar(max)"),
             QStringLiteral("SupItmProp1 nvarchar(max)"), QStringLiteral("SupItmProp2 nvarchar(max)"),
             QStringLiteral("SupItmProp3 nvarchar(max)"), QStringLiteral("SupItmProp4 nvarchar(max)"),
             QStringLiteral("SupItmProp5 nvarchar(max)"), QStringLiteral("SupItmProp6 nvarchar(max)"),
             QStringLiteral("SupItmProp7 nvarchar(max)"), QStringLiteral("SupItmProp8 nvarchar(max)"),
             QStringLiteral("SupItmProp9 nvarchar(max)"), QStringLiteral("SupItmProp10 nvarchar(max)"),
             QStringLiteral("SupDate datetime"), QStringLiteral("SupLeadDays int"), QStringLiteral("SupPriority int"),
             QStringLiteral("SupPDmdIID int"), QStringLiteral("SupAdjQty decimal(28,8)"),
             QStringLiteral("SupQty decimal(28,8)"), QStringLiteral("SupAllotQty decimal(28,8)"),
             QStringLiteral("SupRestQty decimal(28,8)"), QStringLiteral("SupBomLocked bit"),
             QStringLiteral("SupBomType tinyint"), QStringLiteral("SupBomID nvarchar(50)"),
             QStringLiteral("SupDrawDate datetime"), QStringLiteral("SupHints nvarchar(max)"),
             QStringLiteral("SupPHints nvarchar(max)"), QStringLiteral("SupPDmdIIDs nvarchar(max)"),
             QStringLiteral("SupTrackKey nvarchar(max)"), QStringLiteral("SupNote nvarchar(max)")});
        if (adjusted) {
            st.ParamNames << QStringLiteral("@adjusted");
            st.ParamTypes << QStringLiteral("int");
            st.Statement += QStringLiteral("\rinsert #QZ_MRP_SupAdjusts (AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty) "
                                           "values (@@identity, @SupBillType, @SupBomID, @SupQty)");
        }
        FBulk->Planned.push_back(std::move(st));
    }
    if (adjusted)
        row << IntValue(1);
    FBulk->Planned.back().Rows.append(std::move(row));
    PassBulkRows(FBulk->Planned.back());
}

void TMRPLevelPlanner::PassBulkRows(TMRPBulkStatement& statement, bool force) const
{
    if (statement.Rows.isEmpty() || (!force && statement.Rows.size() < BulkRowsPerCall))
        return;
    std::vector<TMRPBulkStatement> call(1);
    call[0].ParamNames = statement.ParamNames;
    call[0].ParamTypes = statement.ParamTypes;
    call[0].Statement = statement.Statement;
    call[0].Rows.swap(statement.Rows);
    (*FBulkExecutor)(call);
}

void TMRPLevelPlanner::RunBulk(const std::vector<TMRPLevelDemandRow>& demands,
                               const std::vector<TMRPLevelSupplyRow>& supplies,
                               const std::vector<TMRPLevelSubstituteRow>& substitutes,
                               const std::vector<TMRPLevelAdjustRow>& adjusts, const TMRPBulkExecutor& executor)
{
    if (OnCheckEscape)
        OnCheckEscape();
    if (OnLog)
        OnLog(untMRPDataTypes::SLoadingLevel(), 1);
    Load(demands, supplies, substitutes, adjusts);
    BuildDetails();
    AllotPasses();
    Rebalance();
    CollectUncovered();
    TBulkWrites writes;
    writes.Allots = BulkInsert(QStringLiteral("#QZ_MRP_Allots"),
                               {QStringLiteral("AltPeriod int"), QStringLiteral("AltSupIID int"),
                                QStringLiteral("AltDmdIID int"), QStringLiteral("AltDate datetime"),
                                QStringLiteral("AltAdjDays int"), QStringLiteral("AltTrack int"),
                                QStringLiteral("AltQty decimal(28,8)"), QStringLiteral("AltIsGrpx int"),
                                QStringLiteral("AltIsRepl int"), QStringLiteral("AltReplQty decimal(28,8)")});
    writes.Supplies.ParamNames = QStringList{QStringLiteral("@SupQty"), QStringLiteral("@SupAllotQty"),
                                             QStringLiteral("@SupAReplQty"), QStringLiteral("@SupRestQty"),
                                             QStringLiteral("@SupHints"), QStringLiteral("@SupPHints"),
                                             QStringLiteral("@SupIID")};
    writes.Supplies.ParamTypes = QStringList{QStringLiteral("decimal(28,8)"), QStringLiteral("decimal(28,8)"),
                                             QStringLiteral("decimal(28,8)"), QStringLiteral("decimal(28,8)"),
                                             QStringLiteral("nvarchar(max)"), QStringLiteral("nvarchar(max)"),
                                             QStringLiteral("int")};
    writes.Supplies.Statement = QStringLiteral("update #QZ_MRP_Supplies set SupQty=@SupQty, SupAllotQty=@SupAllotQty, "
                                               "SupAReplQty=@SupAReplQty, SupRestQty=@SupRestQty, SupHints=@SupHints, "
                                               "SupPHints=@SupPHints where SupIID=@SupIID");
    const QStringList demandQtys{QStringLiteral("DmdInvQty"), QStringLiteral("DmdMOQty"),  QStringLiteral("DmdOOQty"),
                                 QStringLiteral("DmdPOQty"),  QStringLiteral("DmdMRQty"),  QStringLiteral("DmdORQty"),
                                 QStringLiteral("DmdPRQty"),  QStringLiteral("DmdChkQty"), QStringLiteral("DmdPChkQty"),
                                 QStringLiteral("DmdReplQty"), QStringLiteral("DmdPPPQty1"), QStringLiteral("DmdPPPQty2")};
    writes.Demands.ParamNames << QStringLiteral("@DmdPeriod") << QStringLiteral("@DmdDate");
    writes.Demands.ParamTypes << QStringLiteral("int") << QStringLiteral("datetime");
    QString set = QStringLiteral("DmdPeriod=@DmdPeriod, DmdDate=@DmdDate, DmdBillDate=(case when DmdBillDate=DmdDate "
                                 "then @DmdDate else DmdBillDate end)");
    for (const QString& q : demandQtys) {
        writes.Demands.ParamNames << QLatin1Char('@') + q;
        writes.Demands.ParamTypes << QStringLiteral("decimal(28,8)");
        set += QStringLiteral(", %1=@%1").arg(q);
    }
    writes.Demands.ParamNames << QStringLiteral("@DmdPDmdIID1") << QStringLiteral("@DmdPDmdIID2")
                              << QStringLiteral("@DmdQty") << QStringLiteral("@DmdHints") << QStringLiteral("@DmdIID");
    writes.Demands.ParamTypes << QStringLiteral("int") << QStringLiteral("nvarchar(max)")
                              << QStringLiteral("decimal(28,8)") << QStringLiteral("nvarchar(max)") << QStringLiteral("int");
    writes.Demands.Statement = QStringLiteral("update #QZ_MRP_Demands set ") + set +
                               QStringLiteral(", DmdPDmdIID1=@DmdPDmdIID1, DmdPDmdIID2=@DmdPDmdIID2, DmdQty=@DmdQty, "
                                              "DmdHints=@DmdHints where DmdIID=@DmdIID");
    FBulk = &writes;
    FBulkExecutor = &executor;
    try {
        TMRPSQLBatch unused;
        WriteAllots(unused);
        PassBulkRows(writes.Allots, true);
        WriteSupplies(unused);
        PassBulkRows(writes.Supplies, true);
        PlanSupplies(unused);
        for (TMRPBulkStatement& st : writes.Planned)
            PassBulkRows(st, true);
        WriteDemands(unused);
        PassBulkRows(writes.Demands, true);
    } catch (...) {
        FBulk = nullptr;
        FBulkExecutor = nullptr;
        throw;
    }
    FBulk = nullptr;
    FBulkExecutor = nullptr;
}

void TMRPLevelPlanner::Run(const std::vector<TMRPLevelDemandRow>& demands,
                           const std::vector<TMRPLevelSupplyRow>& supplies,
                           const std::vector<TMRPLevelSubstituteRow>& substitutes,
                           const std::vector<TMRPLevelAdjustRow>& adjusts, TMRPSQLBatch::TExecutor executor)
{
    if (OnCheckEscape)
        OnCheckEscape();
    if (OnLog)
        OnLog(untMRPDataTypes::SLoadingLevel(), 1);
    Load(demands, supplies, substitutes, adjusts);
    BuildDetails();
    AllotPasses();
    Rebalance();
    CollectUncovered();
    TMRPSQLBatch writes(executor);
    WriteAllots(writes);
    WriteSupplies(writes);
    writes.Flush();
    TMRPSQLBatch planned(executor, PlannedSupplyHeader());
    PlanSupplies(planned);
    planned.Flush();
    WriteDemands(writes);
    writes.Flush();
    WriteTexts = writes.Executed();
    PlannedTexts = planned.Executed();
}
