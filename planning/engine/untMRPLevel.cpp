#include "untMRPLevel.h"
#include "untMRPLevelCommon.h"
#include "untMRPCalendar.h"
#include "Exceptions.h"
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

using namespace untMRPUtils;

namespace {

constexpr int btFirstRequest = 34;
constexpr int btFirstPlanned = 42;
constexpr int btOOComponent = 82; // component line of an outsourcing order
constexpr int btMOComponent = 84; // component line of a production order

bool IsMainDemand(int billType)
{
    return billType == 2 || billType == 4 || billType == 8 || billType == 12;
}

// The text without its trailing blanks, as a view (no copy).
QStringView RTrimmedView(const QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return QStringView(s).left(n);
}

QString NormalKey(const TMRPItemKey& k)
{
    return FoldedDBText(k.ItmID) + QChar(1) + FoldedDBText(k.Props) + QChar(1) + QString::number(k.GroupType)
           + QChar(1) + FoldedDBText(k.GroupNo);
}

} // namespace

// ---- Keys ----------------------------------------------------------------

int CompareDBText(const QString& a, const QString& b)
{
    const int c = RTrimmedView(a).compare(RTrimmedView(b), Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool SameDBText(const QString& a, const QString& b)
{
    // equal texts (the common case: copies of one value) need no folding
    return a == b || CompareDBText(a, b) == 0;
}

QString FoldedDBText(const QString& s)
{
    return RTrimmedView(s).toString().toCaseFolded();
}

int CompareItemKeys(const TMRPItemKey& a, const TMRPItemKey& b)
{
    if (int c = CompareDBText(a.ItmID, b.ItmID))
        return c;
    if (int c = CompareDBText(a.Props, b.Props))
        return c;
    if (a.GroupType != b.GroupType)
        return a.GroupType < b.GroupType ? -1 : 1;
    return CompareDBText(a.GroupNo, b.GroupNo);
}

QString BuildItemKeyText(const TMRPItemKey& key)
{
    return key.ItmID + QLatin1Char('|') + key.Props + QLatin1Char('\r') + QString::number(key.GroupType)
           + QLatin1Char('|') + key.GroupNo;
}

TMRPItemKey SplitItemKeyText(const QString& text)
{
    TMRPItemKey k;
    const int cr = text.indexOf(QLatin1Char('\r'));
    const QString item = cr < 0 ? text : text.left(cr);
    const QString group = cr < 0 ? QString() : text.mid(cr + 1);
    const int bar = item.indexOf(QLatin1Char('|'));
    k.ItmID = bar < 0 ? item : item.left(bar);
    k.Props = bar < 0 ? QString() : item.mid(bar + 1);
    const int gbar = group.indexOf(QLatin1Char('|'));
    k.GroupType = (gbar < 0 ? group : group.left(gbar)).trimmed().toInt();
    k.GroupNo = gbar < 0 ? QString() : group.mid(gbar + 1);
    return k;
}

QString AddServedDemand(const QString& text, int dmdIID, int period, double qty)
{
    const QString key = QLatin1Char('|') + QString::number(dmdIID)
                        + (period >= 0 ? QLatin1Char(':') + PeriodKey(period) : QString()) + QLatin1Char('=');
    QStringList lines = text.isEmpty() ? QStringList() : text.split(QLatin1String("\r\n"));
    for (QString& line : lines) {
        if (line.startsWith(key, Qt::CaseInsensitive)) {
            const double old = TextToFloat(line.mid(key.size()));
            line = key + FloatToText(RoundTo(old + qty, 8));
            return lines.join(QLatin1String("\r\n"));
        }
    }
    lines << key + FloatToText(RoundTo(qty, 8));
    return lines.join(QLatin1String("\r\n"));
}

void TMRPLevelPlanner::TBucket::AddServed(int dmdIID, int period, double qty)
{
    if (period < 0)
        period = -1;
    // most buckets serve a few demands: those are looked up in the list
    // itself, and only a long list gets its index
    constexpr size_t kScanned = 16;
    if (ServedList.size() <= kScanned) {
        for (size_t i = ServedList.size(); i-- > 0;) {
            TServed& e = ServedList[i];
            if (e.DmdIID == dmdIID && e.Period == period) {
                e.Qty = RoundTo(e.Qty + qty, 8);
                return;
            }
        }
        ServedList.push_back({dmdIID, period, RoundTo(qty, 8)});
        if (ServedList.size() > kScanned)
            for (size_t i = 0; i < ServedList.size(); ++i)
                ServedIndex.insert((qint64(ServedList[i].DmdIID) << 32) | quint32(ServedList[i].Period), int(i));
        return;
    }
    const qint64 key = (qint64(dmdIID) << 32) | quint32(period);
    const auto it = ServedIndex.constFind(key);
    if (it != ServedIndex.constEnd()) {
        TServed& e = ServedList[size_t(*it)];
        e.Qty = RoundTo(e.Qty + qty, 8);
        return;
    }
    ServedIndex.insert(key, int(ServedList.size()));
    ServedList.push_back({dmdIID, period, RoundTo(qty, 8)});
}

QString TMRPLevelPlanner::TBucket::Served() const
{
    static const char base36[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    // the lines are plain ASCII: made as bytes and widened once at the end
    std::string text;
    text.reserve(ServedList.size() * 24);
    char head[48];
    for (const TServed& e : ServedList) {
        char* p = head;
        if (!text.empty()) {
            *p++ = '\r';
            *p++ = '\n';
        }
        *p++ = '|';
        p = std::to_chars(p, head + 16, e.DmdIID).ptr;
        if (e.Period >= 0 && e.Period < 36 * 36) {
            *p++ = ':';
            *p++ = base36[e.Period / 36];
            *p++ = base36[e.Period % 36];
        } else if (e.Period >= 0) {
            *p++ = ':';
            text.append(head, size_t(p - head));
            text += PeriodKey(e.Period).toStdString();
            p = head;
        }
        *p++ = '=';
        text.append(head, size_t(p - head));
        AppendFloatText(text, e.Qty);
    }
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// ---- Detail order ---------------------------------------------------------

namespace {

// A detail's place in the order, copied out of its demand once, so sorting
// compares flat values instead of following each detail to its demand.
struct TDetailSortKey {
    int ItmIndex;
    std::int64_t OrigDate;
    std::int64_t Date;
    int Priority;
    int BillType;
    int RecNo;
    int Index;
};

inline bool DetailBefore(const TDetailSortKey& a, const TDetailSortKey& b)
{
    if (a.ItmIndex != b.ItmIndex)
        return a.ItmIndex < b.ItmIndex;
    if (a.OrigDate != b.OrigDate)
        return a.OrigDate < b.OrigDate;
    if (a.Date != b.Date)
        return a.Date < b.Date;
    if (a.Priority != b.Priority)
        return a.Priority > b.Priority;
    if (a.BillType != b.BillType)
        return a.BillType < b.BillType;
    if (a.RecNo != b.RecNo)
        return a.RecNo < b.RecNo;
    // Details of one demand on one date keep the order they were made in.
    return a.Index < b.Index;
}

// The same order packed into three words compared in turn: item and origin
// date, date with priority (descending) and bill type, row and detail.
struct TPackedSortKey {
    std::uint64_t K1, K2, K3;
    bool operator<(const TPackedSortKey& o) const
    {
        if (K1 != o.K1)
            return K1 < o.K1;
        if (K2 != o.K2)
            return K2 < o.K2;
        return K3 < o.K3;
    }
};

bool FitsInt32(std::int64_t v)
{
    return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

// A day number in 32 bits that keep its order as unsigned.
std::uint64_t OrderedDay(std::int64_t day)
{
    return std::uint32_t(std::int32_t(day)) ^ 0x80000000u;
}

// Sorts distinct words of which only the lowest `bits` bits vary. A level's
// details are many: they go by digits of 11 bits from the lowest (each pass
// keeps the order of the one before), a digit all words share skipped.
void SortWords(std::vector<std::uint64_t>& words, int bits)
{
    constexpr int kDigitBits = 11;
    constexpr size_t kBuckets = size_t(1) << kDigitBits;
    const size_t n = words.size();
    if (n < 512) {
        std::sort(words.begin(), words.end());
        return;
    }
    const int digits = (bits + kDigitBits - 1) / kDigitBits;
    std::vector<std::uint32_t> counts(size_t(digits) * kBuckets, 0);
    for (std::uint64_t w : words)
        for (int d = 0; d < digits; ++d)
            ++counts[size_t(d) * kBuckets + ((w >> (d * kDigitBits)) & (kBuckets - 1))];
    std::vector<std::uint64_t> other(n);
    for (int d = 0; d < digits; ++d) {
        std::uint32_t* c = counts.data() + size_t(d) * kBuckets;
        const std::uint64_t first = (words[0] >> (d * kDigitBits)) & (kBuckets - 1);
        if (c[first] == n)
            continue;
        std::uint32_t start = 0;
        for (size_t b = 0; b < kBuckets; ++b) {
            const std::uint32_t cnt = c[b];
            c[b] = start;
            start += cnt;
        }
        for (std::uint64_t w : words)
            other[c[(w >> (d * kDigitBits)) & (kBuckets - 1)]++] = w;
        words.swap(other);
    }
}

// The sort fields of a detail in their order, each as a number that orders
// like the field (the priority negated, as it sorts descending).
std::array<std::int64_t, 7> SortFields(const TMRPDemandDetailRecs& ADtls, int i, bool FSortByItems)
{
    const TMRPDemandDetailRec& d = ADtls[i];
    const TMRPDemandRec& dmd = *d.DtlDmdRec;
    return {FSortByItems ? dmd.DmdItmIndex : 0, dmd.DmdOrigDate, d.DtlDate, -std::int64_t(dmd.DmdPriority),
            dmd.DmdBillType, dmd.DmdRecNo, i};
}

} // namespace

void TMRPDemandDetailList::SortDetails(const TMRPDemandDetailRecs& ADtls, bool FSortByItems)
{
    if (FItems.size() < 2)
        return;
    // The fields of a level span little (a few hundred days, the level's
    // rows and details): each one taken from its least value and packed into
    // just the bits its span needs, the whole order fits one word mostly,
    // and words sort far quicker than field after field.
    constexpr size_t kFields = 7;
    std::array<std::int64_t, kFields> lo = SortFields(ADtls, FItems[0], FSortByItems), hi = lo;
    for (int i : FItems) {
        const auto f = SortFields(ADtls, i, FSortByItems);
        for (size_t k = 0; k < kFields; ++k) {
            lo[k] = std::min(lo[k], f[k]);
            hi[k] = std::max(hi[k], f[k]);
        }
    }
    std::array<int, kFields> bits{};
    int totalBits = 0;
    for (size_t k = 0; k < kFields; ++k) {
        bits[k] = std::bit_width(std::uint64_t(hi[k]) - std::uint64_t(lo[k]));
        totalBits += bits[k];
    }
    if (totalBits <= 64) {
        // the detail's index is the last field: it reads back from the word's
        // lowest bits
        const std::uint64_t indexMask = bits[kFields - 1] >= 64 ? ~std::uint64_t(0)
                                                                : (std::uint64_t(1) << bits[kFields - 1]) - 1;
        std::vector<std::uint64_t> words;
        words.reserve(FItems.size());
        for (int i : FItems) {
            const auto f = SortFields(ADtls, i, FSortByItems);
            std::uint64_t w = 0;
            for (size_t k = 0; k < kFields; ++k)
                if (bits[k] > 0)
                    w = (bits[k] >= 64 ? 0 : w << bits[k]) | (std::uint64_t(f[k]) - std::uint64_t(lo[k]));
            words.push_back(w);
        }
        SortWords(words, totalBits);
        for (size_t k = 0; k < words.size(); ++k)
            FItems[k] = int(std::int64_t(words[k] & indexMask) + lo[kFields - 1]);
        return;
    }
    std::vector<TPackedSortKey> packed;
    packed.reserve(FItems.size());
    for (int i : FItems) {
        const TMRPDemandDetailRec& d = ADtls[i];
        const TMRPDemandRec& dmd = *d.DtlDmdRec;
        const int itm = FSortByItems ? dmd.DmdItmIndex : 0;
        if (itm < 0 || dmd.DmdRecNo < 0 || i < 0 || !FitsInt32(dmd.DmdOrigDate) || !FitsInt32(d.DtlDate))
            break;
        packed.push_back({(std::uint64_t(std::uint32_t(itm)) << 32) | OrderedDay(dmd.DmdOrigDate),
                          (OrderedDay(d.DtlDate) << 32) | (std::uint64_t(0x7FFF - dmd.DmdPriority) << 16)
                              | (std::uint64_t(dmd.DmdBillType) << 8),
                          (std::uint64_t(std::uint32_t(dmd.DmdRecNo)) << 32) | std::uint32_t(i)});
    }
    if (packed.size() == FItems.size()) {
        std::sort(packed.begin(), packed.end());
        for (size_t k = 0; k < packed.size(); ++k)
            FItems[k] = int(std::uint32_t(packed[k].K3));
        return;
    }
    // values beyond the packed words: the order compared field by field
    std::vector<TDetailSortKey> keys;
    keys.reserve(FItems.size());
    for (int i : FItems) {
        const TMRPDemandDetailRec& d = ADtls[i];
        const TMRPDemandRec& dmd = *d.DtlDmdRec;
        keys.push_back({FSortByItems ? dmd.DmdItmIndex : 0, dmd.DmdOrigDate, d.DtlDate, dmd.DmdPriority,
                        dmd.DmdBillType, dmd.DmdRecNo, i});
    }
    std::sort(keys.begin(), keys.end(),
              [](const TDetailSortKey& a, const TDetailSortKey& b) { return DetailBefore(a, b); });
    for (size_t k = 0; k < keys.size(); ++k)
        FItems[k] = keys[k].Index;
}

// ---- Planner ----------------------------------------------------------------



TMRPLevelPlanner::TMRPLevelPlanner(TOptions options)
    : FOptions(std::move(options))
{
    if (FOptions.MpsPeriods.empty())
        FOptions.MpsPeriods.assign(1, TPlanPeriod{});
    for (const TPlanPeriod& p : FOptions.MpsPeriods)
        FPeriodDays.emplace_back(DateToDay(p.DateBegin), DateToDay(p.DateEnd));
}

int TMRPLevelPlanner::PeriodOf(std::int64_t day) const
{
    // as FindPlanPeriodIndex, on the periods' day numbers taken once
    for (int i = static_cast<int>(FPeriodDays.size()) - 1; i >= 0; --i)
        if (FPeriodDays[size_t(i)].first <= day && day <= FPeriodDays[size_t(i)].second)
            return i;
    return 0;
}

int TMRPLevelPlanner::FindItem(const TMRPItemKey& key) const
{
    auto it = std::lower_bound(Items.begin(), Items.end(), key, [](const TMRPItemSumRec& item, const TMRPItemKey& k) {
        return CompareItemKeys({item.ItmID, item.ItmProps, item.ItmGroupType, item.ItmGroupNo}, k) < 0;
    });
    if (it == Items.end() || CompareItemKeys({it->ItmID, it->ItmProps, it->ItmGroupType, it->ItmGroupNo}, key) != 0)
        return -1;
    return static_cast<int>(it - Items.begin());
}

void TMRPLevelPlanner::Load(const std::vector<TMRPLevelDemandRow>& demands,
                            const std::vector<TMRPLevelSupplyRow>& supplies,
                            const std::vector<TMRPLevelSubstituteRow>& substitutes,
                            const std::vector<TMRPLevelAdjustRow>& adjusts)
{
    Items.clear();
    Demands.clear();
    Supplies.clear();
    Details.clear();
    SubItems.clear();
    DetailList.Clear();
    FDetailListSorted = false;
    UncoveredList.Clear();
    PlannedSupplies.clear();
    FDemandExtra.clear();
    FAdjusts = adjusts;
    FAdjustByKey.clear();
    for (size_t i = 0; i < FAdjusts.size(); ++i) {
        const QString key = NormalKey(FAdjusts[i].Item) + QChar(2) + FoldedDBText(FAdjusts[i].SupTrackKey);
        if (!FAdjustByKey.contains(key))
            FAdjustByKey.insert(key, static_cast<int>(i));
    }

    // Items by key, whatever order the rows come in: the first demand row of
    // an item gives its lot rule and lead times.
    QHash<QString, int> byKey;
    std::vector<TMRPItemKey> keys;
    auto itemOf = [&](const TMRPItemKey& key, const TMRPLevelDemandRow* row) {
        const QString nk = NormalKey(key);
        auto found = byKey.constFind(nk);
        if (found != byKey.constEnd())
            return found.value();
        TMRPItemSumRec it;
        it.ItmID = key.ItmID;
        it.ItmProps = key.Props;
        it.ItmGroupType = static_cast<std::uint8_t>(key.GroupType);
        it.ItmGroupNo = key.GroupNo;
        if (row) {
            it.ItmProp1 = row->ItmProp[0]; it.ItmProp2 = row->ItmProp[1]; it.ItmProp3 = row->ItmProp[2];
            it.ItmProp4 = row->ItmProp[3]; it.ItmProp5 = row->ItmProp[4]; it.ItmProp6 = row->ItmProp[5];
            it.ItmProp7 = row->ItmProp[6]; it.ItmProp8 = row->ItmProp[7]; it.ItmProp9 = row->ItmProp[8];
            it.ItmProp10 = row->ItmProp[9];
            it.ItmMinQty = row->ItmMinQty;
            it.ItmLotQty = row->ItmLotQty;
            it.ItmMaxQty = row->ItmMaxQty;
            it.ItmFixLeadTime = row->ItmFixLeadTime;
            it.ItmVarLeadTime = row->ItmVarLeadTime;
            it.ItmVarLeadLot = row->ItmVarLeadLot;
            it.ItmPostLeadTime = row->ItmPostLeadTime;
            it.ItmPutInteger = row->ItmPutInteger;
            it.ItmDecimal = row->ItmDecimal;
        }
        const int index = static_cast<int>(Items.size());
        Items.push_back(std::move(it));
        keys.push_back(key);
        byKey.insert(nk, index);
        return index;
    };
    std::vector<int> dmdItem(demands.size()), supItem(supplies.size());
    for (size_t i = 0; i < demands.size(); ++i)
        dmdItem[i] = itemOf(demands[i].Item, &demands[i]);
    for (size_t i = 0; i < supplies.size(); ++i)
        supItem[i] = itemOf(supplies[i].Item, nullptr);

    // Items in key order; rows of an item keep the order of their select.
    std::vector<int> order(Items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return CompareItemKeys(keys[a], keys[b]) < 0; });
    std::vector<int> newIndex(Items.size());
    std::vector<TMRPItemSumRec> sorted;
    sorted.reserve(Items.size());
    for (size_t i = 0; i < order.size(); ++i) {
        newIndex[order[i]] = static_cast<int>(i);
        sorted.push_back(std::move(Items[order[i]]));
    }
    Items = std::move(sorted);

    std::vector<int> dmdOrder(demands.size());
    std::iota(dmdOrder.begin(), dmdOrder.end(), 0);
    std::stable_sort(dmdOrder.begin(), dmdOrder.end(),
                     [&](int a, int b) { return newIndex[dmdItem[a]] < newIndex[dmdItem[b]]; });
    std::vector<int> supOrder(supplies.size());
    std::iota(supOrder.begin(), supOrder.end(), 0);
    std::stable_sort(supOrder.begin(), supOrder.end(),
                     [&](int a, int b) { return newIndex[supItem[a]] < newIndex[supItem[b]]; });

    Demands.reserve(demands.size());
    FDemandExtra.reserve(demands.size());
    for (int src : dmdOrder) {
        const TMRPLevelDemandRow& r = demands[src];
        const int itm = newIndex[dmdItem[src]];
        TMRPDemandRec d;
        d.DmdRecNo = static_cast<int>(Demands.size());
        d.DmdIID = r.DmdIID;
        d.DmdPriority = static_cast<std::int16_t>(r.DmdPriority);
        d.DmdBillType = static_cast<std::uint8_t>(r.DmdBillType);
        d.DmdOrigType = static_cast<std::uint8_t>(r.DmdOrigType);
        d.DmdOrigID = r.DmdOrigID;
        d.DmdOrigNo = r.DmdOrigNo;
        d.DmdOrigEntry = r.DmdOrigEntry;
        d.DmdOrigItmID = r.DmdOrigItmID;
        d.DmdOrigCustID = r.DmdOrigCustID;
        d.DmdOrigCustPO = r.DmdOrigCustPO;
        d.DmdOrigTag = r.DmdOrigTag;
        d.DmdOrigSubTag = r.DmdOrigSubTag;
        d.DmdOrigDate = FOptions.DemandByOrigDate ? DateToDay(r.DmdOrigDate) : 0;
        d.DmdBomLocked = r.DmdBomLocked;
        d.DmdBomType = static_cast<std::uint8_t>(r.DmdBomType);
        d.DmdBomID = r.DmdBomID;
        d.DmdQty = r.DmdQty;
        d.DmdHints = r.DmdHints;
        d.DmdDate = std::floor(r.DmdDate + 1e-9);
        d.DmdPeriod = r.DmdPeriod;
        d.DmdNote = r.DmdNote;
        d.DmdSupType = static_cast<std::uint8_t>(r.DmdSupType);
        d.DmdSupDept = r.DmdSupDept;
        d.DmdSupBillNo = r.SupBillNo;
        d.DmdSupBillEntry = r.SupBillEntry;
        d.DmdPreLeadTime = r.PrdPreLeadTime;
        d.DmdTrackKey = r.TrackKey;
        d.DmdItmIndex = itm;
        Demands.push_back(std::move(d));
        Items[itm].ItmRestDtlQty += r.DmdQty;

        TDemandExtra x;
        x.DmdBillType = r.DmdBillType;
        x.DmdBillQty = r.DmdBillQty;
        x.DmdDayOffset = r.DmdDayOffset;
        x.HasParent = r.HasParent;
        x.SupBillType = r.SupBillType;
        x.SupBillQty = r.SupBillQty;
        x.SupDate = r.SupDate;
        x.SupLeadDays = r.SupLeadDays;
        x.SupHints = r.SupHints;
        x.SupPDmdIID = r.SupPDmdIID;
        x.DmdBomType = r.DmdBomType;
        x.DmdOrigItmID = r.DmdOrigItmID;
        x.ItmMODeptID = r.ItmMODeptID;
        x.ItmPOSuppID = r.ItmPOSuppID;
        x.ItmOOSuppID = r.ItmOOSuppID;
        FDemandExtra.push_back(std::move(x));
    }

    Supplies.reserve(supplies.size());
    int currentStock = -1;
    int currentStockItem = -1;
    for (int src : supOrder) {
        const TMRPLevelSupplyRow& r = supplies[src];
        const int itm = newIndex[supItem[src]];
        TMRPSupplyRec s;
        s.SupIID = r.SupIID;
        s.SupDate = DateToDay(r.SupDate);
        s.SupBillType = static_cast<std::uint8_t>(r.SupBillType);
        s.SupOrigType = static_cast<std::uint8_t>(r.SupOrigType);
        s.SupOrigID = r.SupOrigID;
        s.SupOrigEntry = r.SupOrigEntry;
        s.SupOrigCustID = r.SupOrigCustID;
        s.SupOrigTag = r.SupOrigTag;
        s.SupChkQty = r.SupChkQty;
        s.SupRestQty = r.SupRestQty;
        s.SupBomLocked = r.SupBomLocked;
        s.SupBomType = static_cast<std::uint8_t>(r.SupBomType);
        s.SupBomID = r.SupBomID;
        s.SupMpsHints = r.SupHints;
        s.SupRestPeriod = r.SupPeriod;
        s.SupPostLeadTime = r.ItmPostLeadTime;
        s.SupItmIndex = itm;
        TMRPItemSumRec& it = Items[itm];
        if (itm != currentStockItem) {
            currentStock = -1;
            currentStockItem = itm;
        }
        if (r.SupBillType == btStock) {
            if (r.SupRestQty > 0) {
                it.ItmRestInvQty += r.SupRestQty;
                it.ItmRestSupQty += r.SupRestQty;
                currentStock = static_cast<int>(Supplies.size());
            } else {
                // A stock row without rest of its own takes its share from the
                // stock row before it (the same stock seen under a locked BOM).
                double take = 0;
                if (currentStock >= 0)
                    take = std::max(0.0, std::min(r.SupBillQty, Supplies[currentStock].SupRestQty));
                if (currentStock >= 0)
                    Supplies[currentStock].SupRestQty -= take;
                s.SupRestQty = take;
            }
        } else {
            if (r.SupRestQty > 0)
                it.ItmRestSupQty += r.SupRestQty;
            if (r.SupBillType < btFirstRequest && r.SupRestQty > 0)
                it.ItmRestProQty += r.SupRestQty;
        }
        Supplies.push_back(std::move(s));
    }
    FSupPeriodQty.assign(Supplies.size(), {});

    for (size_t i = 0; i < Supplies.size(); ++i) {
        TMRPItemSumRec& it = Items[Supplies[i].SupItmIndex];
        if (it.ItmSupBegin < 0)
            it.ItmSupBegin = static_cast<int>(i);
        it.ItmSupEnd = static_cast<int>(i);
    }

    // Substitute groups: one per distinct (demand, substitute key) in the
    // select's order.
    QHash<int, int> demandByIID;
    for (size_t i = 0; i < Demands.size(); ++i)
        demandByIID.insert(Demands[i].DmdIID, static_cast<int>(i));
    for (const TMRPLevelSubstituteRow& r : substitutes) {
        if (!SubItems.empty() && SubItems.back().SubDmdIID == r.DmdIID && SameDBText(SubItems.back().SubKey, r.SubKey))
            continue;
        const TMRPItemKey sk = SplitItemKeyText(r.SubKey);
        if (!(r.SubQty > 0) || !(r.SubRQty > 0) || !std::isfinite(r.SubQty) || !std::isfinite(r.SubRQty)) {
            const auto d = demandByIID.constFind(r.DmdIID);
            const QString demanded = d != demandByIID.constEnd() ? Items[Demands[d.value()].DmdItmIndex].ItmID
                                                                 : QString::number(r.DmdIID);
            throw Exception(FormatMessage(untMRPDataTypes::SBadSubstituteRatio(), {demanded, sk.ItmID}));
        }
        TMRPSubItemsRec g;
        g.SubDmdIID = r.DmdIID;
        g.SubKey = r.SubKey;
        g.SubQty = r.SubQty;
        g.SubRQty = r.SubRQty;
        g.SubReplace = r.SubReplace;
        SubItems.push_back(std::move(g));
    }
    FSubSorted = std::is_sorted(SubItems.begin(), SubItems.end(),
                                [](const TMRPSubItemsRec& a, const TMRPSubItemsRec& b) {
                                    return a.SubDmdIID < b.SubDmdIID;
                                });
}

const TMRPLevelAdjustRow* TMRPLevelPlanner::FindAdjust(const TMRPItemSumRec& item, const QString& trackKey) const
{
    const TMRPItemKey key{item.ItmID, item.ItmProps, item.ItmGroupType, item.ItmGroupNo};
    const auto found = FAdjustByKey.constFind(NormalKey(key) + QChar(2) + FoldedDBText(trackKey));
    return found == FAdjustByKey.constEnd() ? nullptr : &FAdjusts[found.value()];
}

void TMRPLevelPlanner::AddDetail(int dmdIndex, int period, std::int64_t date, double qty)
{
    TMRPDemandDetailRec d;
    d.DtlDmdRec = &Demands[dmdIndex];
    d.DtlPeriod = period;
    d.DtlDate = date;
    d.DtlQty = qty;
    const int index = static_cast<int>(Details.size());
    Details.push_back(std::move(d));
    DetailList.Add(index);
    FDetailListSorted = false;
    TMRPItemSumRec& it = Items[Demands[dmdIndex].DmdItmIndex];
    if (it.ItmDtlBegin < 0)
        it.ItmDtlBegin = index;
    it.ItmDtlEnd = index;
}

void TMRPLevelPlanner::BuildDetails()
{
    const TPlanPeriods& periods = FOptions.MpsPeriods;
    const TInt64DynArray& h = FOptions.Holidays;
    auto periodOf = [&](std::int64_t day) { return PeriodOf(day); };
    // The day that stands for a whole period: the last day of the overdue
    // bucket, otherwise the first day of the period.
    auto periodDay = [&](int p) -> std::int64_t {
        if (p <= 0)
            return DateToDay(periods[0].DateEnd);
        return DateToDay(periods[std::min<size_t>(p, periods.size() - 1)].DateBegin);
    };
    Details.reserve(Demands.size() * 2);
    for (size_t di = 0; di < Demands.size(); ++di) {
        TMRPDemandRec& d = Demands[di];
        const TDemandExtra& x = FDemandExtra[di];
        const TMRPItemSumRec& it = Items[d.DmdItmIndex];
        const double unit = QtyUnit(it.ItmPutInteger, it.ItmDecimal);
        std::int64_t day = DateToDay(d.DmdDate);
        const int idx = static_cast<int>(di);

        if (IsMainDemand(x.DmdBillType)) {
            const auto entries = ParseHints(d.DmdHints);
            if (entries.empty()) {
                if (d.DmdQty > 0)
                    AddDetail(idx, d.DmdPeriod, day, d.DmdQty);
                continue;
            }
            // Entries of the demand's own period gather at its own date; the
            // others fall on their period's day.
            std::map<int, double> byPeriod;
            double remaining = d.DmdQty;
            for (const THintEntry& e : entries) {
                if (e.Qty <= 0 || remaining <= 0)
                    continue;
                const double q = std::min(e.Qty, remaining);
                const int p = (e.Period >= static_cast<int>(periods.size())) ? d.DmdPeriod : e.Period;
                byPeriod[p] += q;
                remaining -= q;
            }
            if (remaining > 0 && !IsResidue(remaining, unit))
                byPeriod[d.DmdPeriod] += remaining;
            for (const auto& [p, q] : byPeriod) {
                if (q <= 0 || IsResidue(q, unit))
                    continue;
                AddDetail(idx, p, p == d.DmdPeriod ? day : periodDay(p), q);
            }
            d.DmdHints = BuildHints(byPeriod);
            continue;
        }

        // A component line with a day offset moves with its parent.
        if (x.HasParent && x.DmdDayOffset != 0) {
            const std::int64_t parentDay = DateToDay(x.SupDate);
            std::int64_t nd;
            if (x.SupBillType >= btFirstPlanned && x.SupPDmdIID != -1)
                nd = DateToDay(ShiftWorkDays(h, x.SupLeadDays - x.DmdDayOffset, parentDay));
            else
                nd = DateToDay(ShiftWorkDays(h, WorkDaysBetween(h, parentDay, day) - x.DmdDayOffset, parentDay));
            day = nd;
            d.DmdDate = static_cast<TDateTime>(nd);
            d.DmdPeriod = periodOf(nd);
        }

        // A component line of an open order is needed when the order draws it,
        // on the line's own date, wherever the order's output is consumed.
        const bool orderLine = x.DmdBillType == btOOComponent || x.DmdBillType == btMOComponent;
        if (orderLine && day > 0) {
            if (d.DmdQty > 0)
                AddDetail(idx, d.DmdPeriod, day, d.DmdQty);
            continue;
        }
        // A line without a date of its own goes with its parent's date.
        if (x.HasParent && day <= 0) {
            day = DateToDay(x.SupDate);
            d.DmdDate = static_cast<TDateTime>(day);
            d.DmdPeriod = periodOf(day);
        }

        const auto entries = x.HasParent ? ParseHints(x.SupHints) : std::vector<THintEntry>{};
        if (entries.empty() || !(x.SupBillQty > 0) || !(x.DmdBillQty > 0)) {
            if (d.DmdQty > 0)
                AddDetail(idx, d.DmdPeriod, day, d.DmdQty);
            continue;
        }
        // Split in step with the parent: each period gets the component
        // quantity of the parent quantity cumulated so far, less what the
        // earlier periods got, rounded as the item demands.
        const std::int64_t parentDay = DateToDay(x.SupDate);
        const int parentPeriod = periodOf(parentDay);
        const int leadBack = WorkDaysBetween(h, parentDay, day); // working days from component to parent
        double cumParent = 0;
        double received = 0;
        for (const THintEntry& e : entries) {
            if (e.Qty <= 0)
                continue;
            cumParent += e.Qty;
            double q = RoundItemQty(cumParent * x.DmdBillQty / x.SupBillQty - received, it.ItmPutInteger, it.ItmDecimal);
            q = std::min(q, d.DmdQty - received);
            if (q <= 0 || IsResidue(q, unit))
                continue;
            std::int64_t dd = day;
            int dp = d.DmdPeriod;
            if (e.Period != parentPeriod) {
                dd = DateToDay(ShiftWorkDays(h, leadBack, periodDay(e.Period)));
                dp = periodOf(dd);
            }
            AddDetail(idx, dp, dd, q);
            received += q;
        }
        const double rest = d.DmdQty - received;
        if (rest > 0 && !IsResidue(rest, unit))
            AddDetail(idx, d.DmdPeriod, day, rest);
    }
}

void TMRPLevelPlanner::ResolveSubstitutes(TMRPDemandRec& dmd)
{
    if (dmd.DmdRplEnd != 0)
        return;
    // Leftmost group of the demand, then the groups that follow it.
    int first = -1;
    int lo = 0, hi = static_cast<int>(SubItems.size()) - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        if (SubItems[mid].SubDmdIID < dmd.DmdIID) {
            lo = mid + 1;
        } else {
            if (SubItems[mid].SubDmdIID == dmd.DmdIID)
                first = mid;
            hi = mid - 1;
        }
    }
    if (!FSubSorted) {
        // Rows not in demand order: look the groups up one by one.
        first = -1;
        for (size_t i = 0; i < SubItems.size(); ++i)
            if (SubItems[i].SubDmdIID == dmd.DmdIID) {
                first = static_cast<int>(i);
                break;
            }
    }
    if (first < 0) {
        dmd.DmdRplBegin = -1;
        dmd.DmdRplEnd = -1;
        return;
    }
    int last = first;
    while (last + 1 < static_cast<int>(SubItems.size()) && SubItems[last + 1].SubDmdIID == dmd.DmdIID)
        ++last;
    dmd.DmdRplBegin = first;
    dmd.DmdRplEnd = last;
    const TMRPItemSumRec& own = Items[dmd.DmdItmIndex];
    for (int g = first; g <= last; ++g) {
        TMRPSubItemsRec& sub = SubItems[g];
        const TMRPItemKey sk = SplitItemKeyText(sub.SubKey);
        // Items are in key order, so every group of the substitute lies together.
        auto begin = std::lower_bound(Items.begin(), Items.end(), sk, [](const TMRPItemSumRec& it, const TMRPItemKey& k) {
            if (int c = CompareDBText(it.ItmID, k.ItmID))
                return c < 0;
            return CompareDBText(it.ItmProps, k.Props) < 0;
        });
        sub.SubRBegin = sub.SubREnd = sub.SubGBegin = sub.SubGEnd = -1;
        for (auto p = begin; p != Items.end(); ++p) {
            if (!SameDBText(p->ItmID, sk.ItmID) || !SameDBText(p->ItmProps, sk.Props))
                break;
            const int i = static_cast<int>(p - Items.begin());
            if (sub.SubRBegin < 0)
                sub.SubRBegin = i;
            sub.SubREnd = i;
            if (p->ItmGroupType == own.ItmGroupType && SameDBText(p->ItmGroupNo, own.ItmGroupNo)) {
                if (sub.SubGBegin < 0)
                    sub.SubGBegin = i;
                sub.SubGEnd = i;
            }
        }
    }
}

bool TMRPLevelPlanner::SupplyQualifies(const TMRPDemandRec& dmd, const TMRPSupplyRec& sup, int trackLevel) const
{
    if (!(sup.SupRestQty > 0))
        return false;
    if (dmd.DmdBomLocked) {
        const bool exempt = !sup.SupBomLocked && (sup.SupBillType == btStock || sup.SupBillType == 26
                                                  || sup.SupBillType == 28 || sup.SupBillType == 38);
        if (!exempt && (sup.SupBomType != dmd.DmdBomType || !SameDBText(sup.SupBomID, dmd.DmdBomID)))
            return false;
    }
    if (trackLevel > 0) {
        if (dmd.DmdOrigType != 2 && dmd.DmdOrigType != 4 && dmd.DmdOrigType != 8)
            return false;
        if (sup.SupOrigType != dmd.DmdOrigType || !SameDBText(sup.SupOrigID, dmd.DmdOrigID))
            return false;
        if (trackLevel == 2 && sup.SupOrigEntry != dmd.DmdOrigEntry)
            return false;
    }
    return true;
}

void TMRPLevelPlanner::AllotFromItem(int dtlIndex, int itmIndex, int trackLevel, const TMRPSubItemsRec* sub)
{
    const TMRPItemSumRec& it = Items[itmIndex];
    if (it.ItmSupBegin < 0)
        return;
    TMRPDemandDetailRec& dtl = Details[dtlIndex];
    for (int s = it.ItmSupBegin; s <= it.ItmSupEnd && dtl.DtlQty > 0; ++s) {
        const TMRPSupplyRec& sup = Supplies[s];
        if (sub) {
            const int bt = sup.SupBillType;
            if (bt != btStock) {
                if (bt < btFirstRequest && FOptions.CareItemReplace < 2)
                    continue;
                if (bt >= btFirstRequest && FOptions.CareItemReplace != 3)
                    continue;
            }
        }
        if (SupplyQualifies(*dtl.DtlDmdRec, sup, trackLevel))
            Allot(dtlIndex, s, trackLevel, sub);
    }
}

void TMRPLevelPlanner::Allot(int dtlIndex, int supIndex, int trackLevel, const TMRPSubItemsRec* sub, double maxQty)
{
    TMRPDemandDetailRec& dtl = Details[dtlIndex];
    TMRPDemandRec& dmd = *dtl.DtlDmdRec;
    TMRPSupplyRec& sup = Supplies[supIndex];
    TMRPItemSumRec& dItem = Items[dmd.DmdItmIndex];
    TMRPItemSumRec& sItem = Items[sup.SupItmIndex];
    const double need = maxQty >= 0 ? std::min(maxQty, dtl.DtlQty) : dtl.DtlQty;
    if (!(need > 0) || !(sup.SupRestQty > 0))
        return;

    double dq, sq;
    const bool converted = sub && sub->SubQty != sub->SubRQty;
    if (converted) {
        dq = RoundTo(sup.SupRestQty * sub->SubQty / sub->SubRQty, 8);
        sq = sup.SupRestQty;
        if (dq > need) {
            dq = need;
            sq = std::min(sup.SupRestQty, RoundTo(need * sub->SubRQty / sub->SubQty, 8));
        }
    } else {
        dq = sq = std::min(sup.SupRestQty, need);
    }
    if (!(dq > 0) || !(sq > 0))
        return;

    const int bt = sup.SupBillType;
    switch (bt) {
    case 16: dmd.DmdInvQty += dq; break;
    case 22: dmd.DmdMOQty += dq; break;
    case 24: dmd.DmdOOQty += dq; break;
    case 26: case 28: dmd.DmdPOQty += dq; break;
    case 34: dmd.DmdMRQty += dq; break;
    case 36: dmd.DmdORQty += dq; break;
    case 38: dmd.DmdPRQty += dq; break;
    default: break;
    }
    double chk = 0;
    if (sup.SupChkQty > sup.SupAllotQty) {
        chk = sup.SupChkQty - sup.SupAllotQty;
        if (converted)
            chk = RoundTo(chk * sub->SubQty / sub->SubRQty, 8);
        chk = std::min(chk, dq);
        dmd.DmdChkQty += chk;
        if (bt == 26 || bt == 28)
            dmd.DmdPChkQty += chk;
    }
    sup.SupAllotQty += sq;
    sup.SupRestQty -= sq;
    if (sub) {
        sup.SupAReplQty += sq;
        dmd.DmdReplQty += dq;
    }
    dtl.DtlQty -= dq;
    dmd.DmdQty -= dq;
    dItem.ItmRestDtlQty -= dq;
    sItem.ItmRestSupQty -= sq;
    if (bt == btStock)
        sItem.ItmRestInvQty -= sq;
    else if (bt < btFirstRequest)
        sItem.ItmRestProQty -= sq;
    if (!sub) {
        if (bt != btStock && bt < btFirstRequest)
            sItem.ItmAltProQty += sq;
        else if (bt >= btFirstRequest)
            sItem.ItmAltReqQty += sq;
    }
    // What binary arithmetic leaves below a trillionth of a unit is covered.
    const double dUnit = QtyUnit(dItem.ItmPutInteger, dItem.ItmDecimal);
    if (IsResidue(dtl.DtlQty, dUnit))
        dtl.DtlQty = 0;
    if (IsResidue(dmd.DmdQty, dUnit))
        dmd.DmdQty = 0;
    if (IsResidue(sup.SupRestQty, QtyUnit(sItem.ItmPutInteger, sItem.ItmDecimal)))
        sup.SupRestQty = 0;

    std::int64_t altDay = dtl.DtlDate;
    int altPeriod = dtl.DtlPeriod;
    if (sup.SupPostLeadTime > 0 || dmd.DmdPreLeadTime > 0) {
        altDay = DateToDay(ShiftWorkDays(FOptions.Holidays, dmd.DmdPreLeadTime + sup.SupPostLeadTime, dtl.DtlDate));
        altPeriod = PeriodOf(altDay);
    }
    if (bt != btStock && altPeriod > sup.SupRestPeriod)
        sup.SupRestPeriod = altPeriod;

    TMRPAllotRec a;
    a.AltPeriod = altPeriod;
    a.AltTrackLevel = static_cast<std::uint8_t>(trackLevel);
    a.AltReplace = sub != nullptr;
    a.AltDtlIndex = dtlIndex;
    a.AltSupIndex = supIndex;
    a.AltDay = altDay;
    a.AltAdjDays = bt == btStock ? 0 : static_cast<int>(altDay - sup.SupDate);
    a.AltQty = sq;
    a.AltChkQty = chk;
    a.AltReplQty = dq;
    if (sItem.ItmAltCnt >= static_cast<int>(sItem.ItmAllots.size()))
        sItem.ItmAllots.resize(sItem.ItmAllots.size() + 100);
    sItem.ItmAllots[sItem.ItmAltCnt++] = std::move(a);

    FSupPeriodQty[supIndex][altPeriod] += sq;
    if (FSupPeriodQty[supIndex][altPeriod] <= 0)
        FSupPeriodQty[supIndex].erase(altPeriod);
    sup.SupAlloted = true;
}

void TMRPLevelPlanner::AllotPasses()
{
    if (OnCheckEscape)
        OnCheckEscape();
    if (OnLog)
        OnLog(untMRPDataTypes::SAllotting(), 1);
    DetailList.SortDetails(Details, false);
    FDetailListSorted = true;
    const bool hasSubs = !SubItems.empty();
    for (int track = 2; track >= 0; --track) {
        for (int k = 0; k < DetailList.Count(); ++k) {
            const int di = DetailList[k];
            TMRPDemandDetailRec& dtl = Details[di];
            if (!(dtl.DtlQty > 0))
                continue;
            TMRPDemandRec& dmd = *dtl.DtlDmdRec;
            if (track > 0 && dmd.DmdOrigType == 0)
                continue;
            AllotFromItem(di, dmd.DmdItmIndex, track, nullptr);
            if (!hasSubs || !(dtl.DtlQty > 0))
                continue;
            ResolveSubstitutes(dmd);
            if (dmd.DmdRplEnd < 0)
                continue;
            for (int g = dmd.DmdRplBegin; g <= dmd.DmdRplEnd && dtl.DtlQty > 0; ++g) {
                const TMRPSubItemsRec& sub = SubItems[g];
                // The substitute in the demand's own group first, then in any group.
                for (int pass = 0; pass < 2 && dtl.DtlQty > 0; ++pass) {
                    const int b = pass == 0 ? sub.SubGBegin : sub.SubRBegin;
                    const int e = pass == 0 ? sub.SubGEnd : sub.SubREnd;
                    if (b < 0)
                        continue;
                    for (int i = b; i <= e && dtl.DtlQty > 0; ++i) {
                        if (i == dmd.DmdItmIndex || !(Items[i].ItmRestSupQty > 0))
                            continue;
                        AllotFromItem(di, i, track, &sub);
                    }
                }
            }
        }
    }
}

void TMRPLevelPlanner::Release(int itmIndex, int altIndex, double qty)
{
    TMRPItemSumRec& it = Items[itmIndex];
    TMRPAllotRec& a = it.ItmAllots[altIndex];
    TMRPDemandDetailRec& dtl = Details[a.AltDtlIndex];
    TMRPDemandRec& dmd = *dtl.DtlDmdRec;
    TMRPSupplyRec& sup = Supplies[a.AltSupIndex];
    TMRPItemSumRec& dItem = Items[dmd.DmdItmIndex];
    const int bt = sup.SupBillType;
    switch (bt) {
    case 16: dmd.DmdInvQty -= qty; break;
    case 22: dmd.DmdMOQty -= qty; break;
    case 24: dmd.DmdOOQty -= qty; break;
    case 26: case 28: dmd.DmdPOQty -= qty; break;
    case 34: dmd.DmdMRQty -= qty; break;
    case 36: dmd.DmdORQty -= qty; break;
    case 38: dmd.DmdPRQty -= qty; break;
    default: break;
    }
    const double chk = a.AltQty > 0 ? a.AltChkQty * qty / a.AltQty : 0;
    dmd.DmdChkQty -= chk;
    if (bt == 26 || bt == 28)
        dmd.DmdPChkQty -= chk;
    a.AltChkQty -= chk;
    sup.SupAllotQty -= qty;
    sup.SupRestQty += qty;
    dtl.DtlQty += qty;
    dmd.DmdQty += qty;
    dItem.ItmRestDtlQty += qty;
    it.ItmRestSupQty += qty;
    if (bt == btStock)
        it.ItmRestInvQty += qty;
    else if (bt < btFirstRequest)
        it.ItmRestProQty += qty;
    if (bt != btStock && bt < btFirstRequest)
        it.ItmAltProQty -= qty;
    else if (bt >= btFirstRequest)
        it.ItmAltReqQty -= qty;
    a.AltQty -= qty;
    a.AltReplQty -= qty;
    if (IsResidue(a.AltQty, 1e-8))
        a.AltQty = a.AltReplQty = 0;
    auto& hints = FSupPeriodQty[a.AltSupIndex];
    hints[a.AltPeriod] -= qty;
    if (hints[a.AltPeriod] <= 1e-12)
        hints.erase(a.AltPeriod);
}

void TMRPLevelPlanner::RebalanceStep(int itmIndex, int fromLow, int fromHigh, int toLow, int toHigh)
{
    TMRPItemSumRec& it = Items[itmIndex];
    const int count = it.ItmAltCnt;
    for (int k = count - 1; k >= 0; --k) {
        if (it.ItmSupBegin < 0)
            return;
        {
            const TMRPAllotRec& a = it.ItmAllots[k];
            const int bt = Supplies[a.AltSupIndex].SupBillType;
            if (a.AltReplace || !(a.AltQty > 0) || bt < fromLow || bt > fromHigh)
                continue;
        }
        for (int s = it.ItmSupBegin; s <= it.ItmSupEnd; ++s) {
            TMRPAllotRec& a = it.ItmAllots[k];
            if (!(a.AltQty > 0))
                break;
            const TMRPSupplyRec& better = Supplies[s];
            if (better.SupBillType < toLow || better.SupBillType > toHigh || !(better.SupRestQty > 0))
                continue;
            const int dtlIndex = a.AltDtlIndex;
            if (!SupplyQualifies(*Details[dtlIndex].DtlDmdRec, better, 0))
                continue;
            const double q = std::min(a.AltQty, better.SupRestQty);
            Release(itmIndex, k, q);
            Allot(dtlIndex, s, 0, nullptr, q);
        }
    }
}

void TMRPLevelPlanner::Rebalance()
{
    for (int i = static_cast<int>(Items.size()) - 1; i >= 0; --i) {
        if (Items[i].ItmRestInvQty > 0 && Items[i].ItmAltReqQty > 0)
            RebalanceStep(i, btFirstRequest, 255, btStock, btStock);
        if (Items[i].ItmRestInvQty > 0 && Items[i].ItmAltProQty > 0)
            RebalanceStep(i, btStock + 1, btFirstRequest - 1, btStock, btStock);
        if (Items[i].ItmRestProQty > 0 && Items[i].ItmAltReqQty > 0)
            RebalanceStep(i, btFirstRequest, 255, btStock + 1, btFirstRequest - 1);
    }
}

void TMRPLevelPlanner::CollectUncovered()
{
    UncoveredList.Clear();
    if (FDetailListSorted) {
        // The details are in allotment order already: grouping them by item,
        // each item's in that order, gives the order of the items' sort.
        std::vector<int> start(Items.size() + 1, 0);
        int count = 0;
        for (int k = 0; k < DetailList.Count(); ++k) {
            const TMRPDemandDetailRec& d = Details[DetailList[k]];
            if (d.DtlQty > 0) {
                ++start[size_t(d.DtlDmdRec->DmdItmIndex) + 1];
                ++count;
            }
        }
        for (size_t i = 1; i < start.size(); ++i)
            start[i] += start[i - 1];
        std::vector<int> grouped(size_t(count), 0);
        for (int k = 0; k < DetailList.Count(); ++k) {
            const TMRPDemandDetailRec& d = Details[DetailList[k]];
            if (d.DtlQty > 0)
                grouped[size_t(start[size_t(d.DtlDmdRec->DmdItmIndex)]++)] = DetailList[k];
        }
        for (int i : grouped)
            UncoveredList.Add(i);
    } else {
        for (int k = 0; k < DetailList.Count(); ++k)
            if (Details[DetailList[k]].DtlQty > 0)
                UncoveredList.Add(DetailList[k]);
        UncoveredList.SortDetails(Details, true);
    }
    if (OnCheckEscape)
        OnCheckEscape();
}
