#include "StandInItemProps.h"

#include "StandInSql.h"
#include "TsqlEngine.h"

#include <array>

namespace kvdemo {

namespace {

bool sameText(const QString& a, const QString& b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// The identity of an item's combination of property texts. Arguments: the item
// and its ten property texts (by position, or as @ItmID, @Prop1..@Prop10).
// One row: ID, the combination's identity ('' when the item has no such
// combination or uses no properties), and ErrNum, the number of the first
// property whose text is wrong for the item (missing where the item uses the
// property, given where it does not, or a text none of its combinations has),
// 0 when none is.
void getItemPropsID(kvtsql::ProcedureCall& call)
{
    const QString item = call.arg(QStringLiteral("itmid"), 0).toString().trimmed();
    std::array<QString, 10> texts;
    for (int n = 1; n <= 10; ++n)
        texts[size_t(n - 1)] = call.arg(QStringLiteral("prop%1").arg(n), n).toString().trimmed();

    QString id;
    int errNum = 0;
    const kvtsql::BatchResult itemRow = call.run(
        QStringLiteral("select ItmHasProp1, ItmHasProp2, ItmHasProp3, ItmHasProp4, ItmHasProp5, ItmHasProp6, ItmHasProp7, "
                       "ItmHasProp8, ItmHasProp9, ItmHasProp10 from QZ_Base_ItemMaster with(nolock) where ItmID=%1")
            .arg(quoted(item)));
    if (!itemRow.resultSets.isEmpty() && !itemRow.resultSets.first().rows.isEmpty()) {
        const QList<QVariant> uses = itemRow.resultSets.first().rows.first();
        const kvtsql::BatchResult combos = call.run(
            QStringLiteral("select ItpID, ItpProp1, ItpProp2, ItpProp3, ItpProp4, ItpProp5, ItpProp6, ItpProp7, ItpProp8, "
                           "ItpProp9, ItpProp10 from QZ_Base_ItemProps with(nolock) where ItpItmID=%1 order by ItpID")
                .arg(quoted(item)));
        const QList<QList<QVariant>> rows = combos.resultSets.isEmpty() ? QList<QList<QVariant>>() : combos.resultSets.first().rows;
        bool usesAny = false;
        for (int n = 1; n <= 10 && errNum == 0; ++n) {
            const QString& text = texts[size_t(n - 1)];
            const bool used = uses.value(n - 1).toInt() != 0;
            usesAny = usesAny || used;
            if (!used) {
                if (!text.isEmpty())
                    errNum = n;
                continue;
            }
            bool known = false;
            for (const QList<QVariant>& combo : rows)
                known = known || (!text.isEmpty() && sameText(combo.value(n).toString(), text));
            if (!known)
                errNum = n;
        }
        if (errNum == 0 && usesAny)
            for (const QList<QVariant>& combo : rows) {
                bool all = true;
                for (int n = 1; n <= 10 && all; ++n)
                    if (uses.value(n - 1).toInt() != 0)
                        all = sameText(combo.value(n).toString(), texts[size_t(n - 1)]);
                if (all) {
                    id = combo.value(0).toString().trimmed();
                    break;
                }
            }
    }
    call.resultSets = call.run(QStringLiteral("select ID=%1, ErrNum=%2").arg(quoted(id), QString::number(errNum))).resultSets;
}

} // namespace

void registerItemPropsProcedure()
{
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetItemPropsID"), getItemPropsID);
}

} // namespace kvdemo
