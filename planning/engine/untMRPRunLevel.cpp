// One level of the MRP run (TMRPRun::PlanLevel): the level's own gathering,
// its demands, supplies, adjustments and substitutes read into the level
// planner, its results written in one transaction, and its bills exploded
// into the demands of the level below.
#include "untMRPRunCommon.h"

#include "untMRPBom.h"
#include "untMRPLevelSelects.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

using namespace untMRPUtils;
using namespace untMRPRunCommon;

void TMRPRun::PlanLevel(int level, int levelCount)
{
    using namespace untMRPLevelSelects;
    CheckEsc();
    Info(untMRPUtils::FormatMessage(untMRPDataTypes::SPlanningLevel(),
                                    {QString::number(level + 1), QString::number(levelCount)}));
    if (S.PlanNeedScope != 0 || S.CareItemSafety == 1) {
        const bool gross = S.PlanNeedScope == 3 || S.PlanNeedScope == 4 || S.PlanNeedScope == 7 || S.PlanNeedScope == 8;
        Exec(Q, QStringLiteral("truncate table #QZ_MRP_CurLevelDmdItems\rinsert #QZ_MRP_CurLevelDmdItems (DmdItmID, "
                               "DmdItmProps, DmdGroupType, DmdGroupNo)\rselect distinct DmdItmID, DmdItmProps, DmdGroupType, "
                               "DmdGroupNo from #QZ_MRP_Demands with(nolock) join #QZ_MRP_ItemLowestCode with(nolock) on "
                               "DmdItmID=ItmID where ") +
                    (gross ? QStringLiteral("DmdPSupIID<>0 and ") : QString()) + QStringLiteral("LowestCode=%1").arg(level));
    }
    if (S.PlanNeedScope != 0)
        GatherFreeSupplies(level);
    if (S.CareItemSafety == 1)
        Exec(Q, QStringLiteral("insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdOrigType, DmdOrigItmID, DmdPriority, "
                               "DmdItmID, DmdDate, DmdNeedQty, DmdQty)\rselect distinct 0, 74, 74, t.ItmID, 98, t.ItmID, '%1', "
                               "ItmSafeQty, ItmSafeQty from QZ_MRP_ItemSetting as t with(nolock) join #QZ_MRP_CurLevelDmdItems "
                               "with(nolock) on t.ItmID=DmdItmID join QZ_Base_ItemMaster as i with(nolock) on t.ItmID=i.ItmID "
                               "where (ItmDisabled=0 or ItmDisabled is null) and ItmSafeQty>0")
                        .arg(FirstPlanDayBefore()));

    // Made after the select is open: each column's field is looked up by
    // name once, then found by the address of the reader's name text. A reader
    // asks for the same names in the same order on every row, so the next
    // name is tried first and the map is only the way back into step.
    auto getter = [](TADOQuery* q) -> TFieldGetter {
        struct TSeen {
            std::vector<std::pair<const char*, TField*>> order;
            std::unordered_map<const char*, std::size_t> at;
            std::size_t next = 0;
        };
        return [q, seen = std::make_shared<TSeen>()](const char* name) -> QVariant {
            TSeen& s = *seen;
            std::size_t i = s.next;
            if (i >= s.order.size() || s.order[i].first != name) {
                const auto it = s.at.find(name);
                if (it != s.at.end()) {
                    i = it->second;
                } else {
                    i = s.order.size();
                    s.order.emplace_back(name, q->FindField(QString::fromLatin1(name)));
                    s.at.emplace(name, i);
                }
            }
            s.next = i + 1;
            TField* field = s.order[i].second;
            return field ? field->Value() : QVariant();
        };
    };
    // A level of many rows is planned in parts of whole items (see
    // SplitLevel); otherwise, and always with substitutes, at once.
    const bool mayPart = S.CareItemReplace == 0 && MRPLevelPartRows() > 0;
    if (mayPart)
        Exec(Q, BuildLevelDemandBomSQL(level));
    const int parts = mayPart ? SplitLevel(level) : -1;
    const QString trackKey = BuildTrackKeySQL(S.CareMRPTrackMode, S.CareItemMRPTrack);
    std::vector<TMRPLevelAdjustRow> adjusts;
    // The level's results go in whole or not at all, in one commit, each
    // statement prepared once and run for its rows.
    TADOConnection* connection = S.Connection();
    std::unique_ptr<kvado::ScopedTransaction> tran;
    for (int part = parts > 0 ? 0 : -1; part < std::max(parts, 0); ++part) {
        if (part > 0)
            CheckEsc();
        const int chunk = part;
        std::vector<TMRPLevelDemandRow> demands;
        RunSQL(DmdQ.get(), BuildLevelDemandSelectSQL(level, S.DemandByOrigDate, trackKey, chunk, !mayPart), true, true, false);
        {
            const TFieldGetter field = getter(DmdQ.get());
            demands.reserve(size_t(std::max(0, DmdQ->RecordCount())));
            for (; !DmdQ->Eof(); DmdQ->Next())
                demands.push_back(ReadLevelDemandRow(field));
        }
        DmdQ->Close();
        // The whole level plans nothing without demands; a part of a level
        // that has some plans its items' supplies all the same.
        if (demands.empty() && chunk < 0)
            break;
        std::vector<TMRPLevelSupplyRow> supplies;
        RunSQL(SupQ.get(), BuildLevelSupplySelectSQL(level, chunk), true, true, false);
        {
            const TFieldGetter field = getter(SupQ.get());
            supplies.reserve(size_t(std::max(0, SupQ->RecordCount())));
            for (; !SupQ->Eof(); SupQ->Next())
                supplies.push_back(ReadLevelSupplyRow(field));
        }
        SupQ->Close();
        if (AdjQ && part <= 0) {
            RunSQL(AdjQ.get(), BuildLevelAdjustSelectSQL(level), true, true, false);
            const TFieldGetter field = getter(AdjQ.get());
            for (; !AdjQ->Eof(); AdjQ->Next())
                adjusts.push_back(ReadLevelAdjustRow(field));
            AdjQ->Close();
        }
        std::vector<TMRPLevelSubstituteRow> substitutes;
        if (S.CareItemReplace != 0) {
            RunSQL(SubQ.get(), BuildLevelSubstituteSQL(level, S.PlanNeedScope), true, true, false);
            const TFieldGetter field = getter(SubQ.get());
            for (; !SubQ->Eof(); SubQ->Next())
                substitutes.push_back(ReadLevelSubstituteRow(field));
            SubQ->Close();
        }
        TMRPLevelPlanner::TOptions options;
        options.MpsPeriods = S.MpsPeriods;
        options.Holidays = Holidays;
        options.CareItemReplace = S.CareItemReplace;
        options.CareItemLotRule = S.CareItemLotRule;
        options.DemandByOrigDate = S.DemandByOrigDate;
        options.HasAdjustQuery = bool(AdjQ);
        options.AKeepTypeAdjusts = KeepType;
        options.AKeepBomAdjusts = KeepBom;
        options.AKeepQtyAdjusts = KeepQty;
        TMRPLevelPlanner planner(options);
        // The level's steps are logged once, by its first part.
        if (part <= 0)
            planner.OnLog = [this](const QString& text, int indent) { Info(text, indent != 0); };
        planner.OnCheckEscape = [this] { CheckEsc(); };
        if (!tran)
            tran = std::make_unique<kvado::ScopedTransaction>(connection);
        planner.RunBulk(demands, supplies, substitutes, adjusts, [&](const std::vector<TMRPBulkStatement>& writes) {
            for (const TMRPBulkStatement& st : writes)
                RunBulkStatement(connection, st);
        });
    }
    if (tran)
        tran->Commit();
    FinishLevel(level, levelCount);
}

int TMRPRun::SplitLevel(int level)
{
    const int limit = MRPLevelPartRows();
    if (limit <= 0)
        return -1;
    struct TItemRows {
        QString ItmID;
        qint64 Rows = 0;
    };
    std::vector<TItemRows> items;
    QHash<QString, size_t> byID;
    qint64 total = 0, demandRows = 0;
    RunSQL(SupQ.get(), untMRPLevelSelects::BuildLevelChunkCountSQL(level), true, true, false);
    for (; !SupQ->Eof(); SupQ->Next()) {
        const QString id = SupQ->Fields()->Field(0)->AsString();
        const qint64 n = SupQ->Fields()->Field(1)->AsInteger();
        const QString key = FoldedDBText(id);
        const auto found = byID.constFind(key);
        if (found == byID.constEnd()) {
            byID.insert(key, items.size());
            items.push_back({id, n});
        } else {
            items[found.value()].Rows += n;
        }
        total += n;
        demandRows += SupQ->Fields()->Field(2)->AsInteger();
    }
    SupQ->Close();
    // A level without demands stays whole: it plans nothing.
    if (total <= limit || demandRows == 0)
        return -1;
    // Parts of whole items in the order the level planner keeps its items,
    // so that the parts' writes, one after the other, are the whole level's.
    std::sort(items.begin(), items.end(),
              [](const TItemRows& a, const TItemRows& b) { return CompareDBText(a.ItmID, b.ItmID) < 0; });
    TMRPBulkStatement parts;
    parts.ParamNames = QStringList{QStringLiteral("@ChkItmID"), QStringLiteral("@ChkNo")};
    parts.ParamTypes = QStringList{QStringLiteral("nvarchar(50)"), QStringLiteral("int")};
    parts.Statement = QStringLiteral("insert #QZ_MRP_LevelChunks (ChkItmID, ChkNo) values (@ChkItmID, @ChkNo)");
    int part = 0;
    qint64 rows = 0;
    for (const TItemRows& it : items) {
        if (rows > 0 && rows + it.Rows > limit) {
            ++part;
            rows = 0;
        }
        rows += it.Rows;
        parts.Rows.append({it.ItmID, part});
    }
    Exec(Q, untMRPLevelSelects::BuildLevelChunkTableSQL());
    ExecBulk(S.Connection(), parts);
    return part + 1;
}

void TMRPRun::FinishLevel(int level, int levelCount)
{
    if (S.PlanNeedScope != 0 && S.CareItemReplace != 0)
        Exec(Q, QStringLiteral("delete s from #QZ_MRP_Supplies as s join #QZ_MRP_ItemLowestCode as l with(nolock) on "
                               "SupItmID=l.ItmID and LowestCode=%1 left join #QZ_MRP_CurLevelDmdItems with(nolock) on "
                               "SupItmID=DmdItmID and SupItmProps=DmdItmProps and SupGroupType=DmdGroupType and "
                               "SupGroupNo=DmdGroupNo where (SupAllotQty is null or SupAllotQty=0) and (SupPDmdIID is null or "
                               "SupPDmdIID<>-1) and DmdItmID is null")
                        .arg(level));
    CheckEsc();
    if (level < levelCount - 1)
        Info(untMRPDataTypes::SExplodingBOM(), true);
    Exec(Q, untMRPBom::BuildBomFetchSQL(level));
    RunSQL(SupQ.get(), untMRPBom::BuildBadBomCheckSQL(level, S.CareItemLossRate, LosType, S.PlanNeedScope), true, true,
                false);
    if (!SupQ->Eof()) {
        const QString text = untMRPBom::BadBomMessage(
            untMRPBom::TBadBomKind(SupQ->FieldByName(QStringLiteral("BadKind"))->AsInteger()),
            SupQ->FieldByName(QStringLiteral("ItmNo"))->AsString(), SupQ->FieldByName(QStringLiteral("BomNo"))->AsString());
        SupQ->Close();
        if (Log.AddMsgProc)
            AddRunLog(Log, mkError, text, false);
        throw Exception(text);
    }
    SupQ->Close();
    Exec(Q, untMRPBom::BuildBomDemandInsertSQL(level, S.CareItemLossRate, LosType, S.PlanNeedScope,
                                               BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("SupDrawDate"))));
    // A run over all items read every order's lines up front; a scoped run
    // asks for the materials of the orders this level uses.
    if (S.PlanNeedScope != 0)
        GatherOrderComponents(level, true);
}
