// The planning SQL builders over info objects: field macros, the two SELECT
// builders with their cached skeletons, the period CASE and the item-scope joins.
#include "untMRP.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "untInfoObjectDef.h"
#include "untMRPLevelSelects.h"
#include "untMRPUtils.h"

#include <QStringList>
#include <algorithm>
#include <memory>

using namespace untMRPUtils;
using untMRPLevelSelects::VariantToDateTime;

// ---- Planning SQL builders -----------------------------------------------

void ExpandFieldMacros(TInfoObjectDef* AObjectDef, const QString& ASQL, QString& AResult)
{
    const QString marker = QStringLiteral("$$");
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype open = ASQL.indexOf(marker, from);
        if (open < 0)
            break;
        out += ASQL.mid(from, open - from);
        const qsizetype idStart = open + 2;
        const qsizetype close = ASQL.indexOf(marker, idStart);
        const QString id = close < 0 ? ASQL.mid(idStart) : ASQL.mid(idStart, close - idStart);
        PInfoFieldDef field = AObjectDef ? AObjectDef->GetFieldDef(id) : nullptr;
        out += (field && !field->SQLExpress.trimmed().isEmpty()) ? field->SQLExpress : QStringLiteral("null");
        if (close < 0) {
            from = ASQL.size();
            break;
        }
        from = close + 2;
    }
    out += ASQL.mid(from);
    AResult = out;
}

QString ExpandFieldMacros(TInfoObjectDef* AObjectDef, const QString& ASQL)
{
    QString result;
    ExpandFieldMacros(AObjectDef, ASQL, result);
    return result;
}

namespace {

QString TranslateCode(TInfoObjectDef* def, const QString& code)
{
    if (code.trimmed().isEmpty() || !InfoApplication)
        return QString();
    return InfoApplication->TranslateFilterCodeToSQL(def, code, GlobalADOQuery);
}

TInfoObjectDef* ObjectDef(const QString& id)
{
    return InfoApplication ? InfoApplication->GetInfoObjectDef(id) : nullptr;
}

// The placeholders of a skeleton; the host places the filter after its own
// data-source filter, the tail right after the from clause.
const QString kFieldsMark = QStringLiteral("$$Fields$$");
const QString kMainJoinMark = QStringLiteral("$$MainJoin$$");
const QString kTailMark = QStringLiteral("$$Tail$$");
const QString kFilterMark = QStringLiteral("$$Filter$$");

} // namespace

QString BuildInfoObjectFilterSQL(const QString& AObjectID, const QString& ASelectSQL, const QString& AFilterSQL,
                                 const QString& AFilterCode, const QString& AOrderBySQL, const QString& AMainJoinSQL,
                                 const QString& AExtJoinSQL)
{
    TInfoObjectDef* def = ObjectDef(AObjectID);
    if (!def)
        return QString();
    const QString filter = CombineConditions(TranslateCode(def, AFilterCode), ExpandFieldMacros(def, AFilterSQL),
                                             QStringLiteral("and"));
    return InfoApplication->GetInfoObjectSelectSQL(def, ExpandFieldMacros(def, ASelectSQL), filter, AOrderBySQL, QString(),
                                                   AMainJoinSQL, ExpandFieldMacros(def, AExtJoinSQL));
}

QString BuildInfoObjectSelectSQL(const TPlanScheme& AScheme, TMRPSelectCache& ACache, const QString& AObjectID,
                                 const QString& ASelectSQL, const QString& AFilterSQL, const QString& AFilterCode,
                                 const QString& AOrderBySQL, const QString& AMainJoinSQL, const QString& ATailSQL)
{
    TInfoObjectDef* def = ObjectDef(AObjectID);
    if (!def)
        return QString();
    const QString fields = ExpandFieldMacros(def, ASelectSQL);
    const QString orderBy = ExpandFieldMacros(def, AOrderBySQL);
    const QString mainJoin = ExpandFieldMacros(def, AMainJoinSQL);
    const QString tail = ExpandFieldMacros(def, ATailSQL);
    const QString filter = CombineConditions(TranslateCode(def, AFilterCode), ExpandFieldMacros(def, AFilterSQL),
                                             QStringLiteral("and"));
    // The data sources joined depend on every text that names an alias, so
    // they are part of the key.
    const QString refered = fields + u' ' + filter + u' ' + orderBy + u' ' + mainJoin + u' ' + tail + u' ' +
                            ExpandFieldMacros(def, QStringLiteral(
                                "s.*, mt.*,$$ItmProps$$, $$ItmProp1$$, $$ItmProp2$$, $$ItmProp3$$, $$ItmProp4$$, "
                                "$$ItmProp5$$, $$ItmProp6$$, $$ItmProp7$$, $$ItmProp8$$, $$ItmProp9$$, $$ItmProp10$$,"
                                "$$OrigType$$, $$OrigID$$, $$OrigNo$$, $$OrigEntry$$, $$OrigItmID$$, $$OrigCustID$$, "
                                "$$OrigCustPO$$, $$OrigTag$$, $$OrigSubTag$$, $$MRPGroupType$$, $$MRPGroupNo$$"));
    const int tick = InfoApplication ? InfoApplication->LoginTick : 0;
    const QString key = AObjectID.toLower() + u'\n' + refered;
    QString skeleton = ACache.Find(tick, key);
    if (skeleton.isNull()) {
        QString sectionFilter;
        if (!IsObjectExcluded(AScheme.DataFilters, AObjectID))
            sectionFilter = TranslateCode(def, ReadSchemeFilter(AScheme.DataFilters, u'[' + AObjectID + u']'));
        skeleton = InfoApplication->GetInfoObjectSelectSQL(def, kFieldsMark, CombineConditions(sectionFilter, kFilterMark,
                                                                                               QStringLiteral("and")),
                                                           QString(), refered, kMainJoinMark, kTailMark);
        ACache.Store(tick, key, skeleton);
    }
    QString sql = skeleton;
    sql.replace(kFieldsMark, fields);
    sql.replace(kMainJoinMark, mainJoin);
    sql.replace(kTailMark, tail);
    if (filter.trimmed().isEmpty()) {
        // Nothing to add: the data source's and the section's own conditions stay.
        sql.replace(QStringLiteral("\rwhere ") + kFilterMark, QString());
        sql.replace(kFilterMark, QStringLiteral("1=1"));
    } else
        sql.replace(kFilterMark, filter);
    while (sql.endsWith(u'\r'))
        sql.chop(1);
    if (!orderBy.isEmpty())
        sql += QStringLiteral("\rorder by ") + orderBy;
    return sql;
}

bool BuildFieldValueCaseSQL(const QString& AObjectID, const QString& AFieldID, QString& AResult)
{
    AResult.clear();
    TInfoObjectDef* def = ObjectDef(AObjectID);
    PInfoFieldDef field = def ? def->GetFieldDef(AFieldID) : nullptr;
    if (!field || field->HideList)
        return false;
    if (field->EnumValues) {
        QString s = u'[' + field->Name + QStringLiteral("]=(case ") + field->SQLExpress;
        for (int i = 0; i < field->EnumValues->Count(); ++i)
            s += QStringLiteral(" when %1 then %2").arg(field->EnumValues->Objects(i)).arg(QuoteSQL(field->EnumValues->Strings(i)));
        AResult = s + QStringLiteral(" else null end),");
    } else
        AResult = u'[' + field->Name + QStringLiteral("]=") + field->SQLExpress + u',';
    return true;
}

QString BuildPeriodCaseSQL(const TPlanPeriods& APeriods, const QString& ADateExpr)
{
    const int n = int(APeriods.size());
    // Without normal periods everything lies in the delay period: a CASE
    // without a WHEN branch would be no valid SQL.
    if (n < 2)
        return QStringLiteral("(0)");
    QString s = QStringLiteral("(case");
    for (int i = 1; i < n; ++i)
        s += QStringLiteral(" when %1<'%2' then %3").arg(ADateExpr, DayToDateStr(DateToDay(APeriods[i].DateBegin))).arg(i - 1);
    s += QStringLiteral(" else %1 end)").arg(n - 1);
    return s;
}

void BuildMainItemJoin(const QString& AItemExpr, QString& AWhere, QString& AJoin)
{
    AJoin = QStringLiteral(" left join #QZ_MRP_MainItems as tmpi with(nolock) on ") + AItemExpr +
            QStringLiteral("=tmpi.ManItmID and isnull($$ItmProps$$, '')=tmpi.ManItmProps and isnull($$MRPGroupType$$, 0)"
                           "=tmpi.ManGroupType and isnull($$MRPGroupNo$$, '')=tmpi.ManGroupNo") +
            QStringLiteral(" left join #QZ_MRP_CurLevelDmdItems as tmpd with(nolock) on ") + AItemExpr +
            QStringLiteral("=tmpd.DmdItmID and isnull($$ItmProps$$, '')=tmpd.DmdItmProps and isnull($$MRPGroupType$$, 0)"
                           "=tmpd.DmdGroupType and isnull($$MRPGroupNo$$, '')=tmpd.DmdGroupNo");
    AWhere += QStringLiteral(" and (tmpi.ManItmID is null or tmpd.DmdItmID is not null)");
}

void BuildLevelItemJoin(int APlanNeedScope, int ALevel, const QString& AItemExpr, const QString& APropsExpr,
                        const QString& AGroupTypeExpr, const QString& AGroupNoExpr, bool AByLevel, QString& AJoin,
                        QString& AWhere)
{
    if (APlanNeedScope == 0) {
        AJoin.clear();
        return;
    }
    if (AByLevel) {
        AJoin = QStringLiteral(" join #QZ_MRP_ItemLowestCode as tmpitm with(nolock) on ") + AItemExpr +
                QStringLiteral("=tmpitm.ItmID and tmpitm.LowestCode=%1").arg(ALevel);
        return;
    }
    AJoin = QStringLiteral(" join #QZ_MRP_CurLevelDmdItems as tmpitm with(nolock) on ") + AItemExpr + QStringLiteral("=tmpitm.DmdItmID");
    AWhere += QStringLiteral(" and ") + APropsExpr + QStringLiteral("=tmpitm.DmdItmProps and ") + AGroupTypeExpr +
              QStringLiteral("=tmpitm.DmdGroupType and ") + AGroupNoExpr + QStringLiteral("=tmpitm.DmdGroupNo");
}

void BuildLevelItemJoinDefault(int APlanNeedScope, int ALevel, const QString& AItemExpr, bool AByLevel, QString& AJoin,
                               QString& AWhere)
{
    BuildLevelItemJoin(APlanNeedScope, ALevel, AItemExpr, QStringLiteral("isnull($$ItmProps$$, '')"),
                       QStringLiteral("isnull($$MRPGroupType$$, 0)"), QStringLiteral("isnull($$MRPGroupNo$$, '')"), AByLevel,
                       AJoin, AWhere);
}

void BuildLevelGatherJoin(int APlanNeedScope, int ACareItemReplace, int ALevel, const QString& AItemExpr, QString& AJoin,
                          QString& AWhere)
{
    AJoin.clear();
    if (ALevel < 0)
        return;
    if (((APlanNeedScope == 3 || APlanNeedScope == 4) && ACareItemReplace != 0) || APlanNeedScope >= 5) {
        // Items other than the main demand's pass whether or not the level
        // demands them (substitutes, single-level explosion), but only on
        // their own level: on every level they would be counted again.
        QString byLevel;
        BuildLevelItemJoinDefault(APlanNeedScope, ALevel, AItemExpr, true, byLevel, AWhere);
        BuildMainItemJoin(AItemExpr, AWhere, AJoin);
        AJoin.prepend(byLevel);
    } else {
        BuildLevelItemJoinDefault(APlanNeedScope, ALevel, AItemExpr, false, AJoin, AWhere);
    }
}

QString ReadSchemeFilter(const QString& ADataFilters, const QString& ASection)
{
    return ReadViewSchemeParam(ADataFilters, ASection);
}

bool IsObjectExcluded(const QString& ADataFilters, const QString& AObjectID)
{
    const QStringList ids = ReadSchemeFilter(ADataFilters, QStringLiteral("[Excludes]")).split(u'|', Qt::SkipEmptyParts);
    for (const QString& id : ids)
        if (id.trimmed().compare(AObjectID, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

TADOQuery* NewPluginQuery()
{
    auto* q = new TADOQuery(nullptr);
    q->SetConnection(GlobalADOQuery ? GlobalADOQuery->Connection() : GlobalADOConnection);
    SetupADOQuery(q);
    return q;
}
