#include "StandInBomForItem.h"

#include "StandInSql.h"
#include "TsqlEngine.h"

#include <QDate>

namespace kvdemo {

namespace {

QString textArg(const kvtsql::ProcedureCall& call, const QString& name, int position)
{
    const QVariant v = call.arg(name, position);
    return v.isNull() ? QString() : v.toString().trimmed();
}

// The checked bills of materials of an item that hold on a draw date: a bill
// of the item's property combination or one for every combination, in effect
// from its date on (a bill without a date always). One row per bill with
// BomType, BomID, BomNo and BomIsDefault, the default first, then by number.
// Arguments: @ItemID, @ItemProps, @DrawDate ('yyyymmdd'; empty or absent: any
// date), @OnlyDefault (1: the default bill only) and @BomNo (that bill only).
void getBomForItem(kvtsql::ProcedureCall& call)
{
    const QString item = textArg(call, QStringLiteral("itemid"), 0);
    const QString props = textArg(call, QStringLiteral("itemprops"), 1);
    const QString drawText = textArg(call, QStringLiteral("drawdate"), 2);
    const bool onlyDefault = textArg(call, QStringLiteral("onlydefault"), 3).toInt() != 0;
    const QVariant bomNo = call.arg(QStringLiteral("bomno"), 4);

    QString where = QStringLiteral("BomItmID=%1 and (BomItmProps='' or BomItmProps=%2) and Checked=1")
                        .arg(quoted(item), quoted(props));
    const QDate draw = QDate::fromString(drawText, QStringLiteral("yyyyMMdd"));
    if (draw.isValid())
        where += QStringLiteral(" and (BomDate is null or BomDate<='%1')").arg(draw.toString(QStringLiteral("yyyyMMdd")));
    if (onlyDefault)
        where += QStringLiteral(" and BomIsDefault=1");
    if (!bomNo.isNull())
        where += QStringLiteral(" and BomNo=%1").arg(quoted(bomNo.toString().trimmed()));
    call.resultSets = call.run(QStringLiteral("select BomType, BomID, BomNo, BomIsDefault from QZ_MRP_ItemBOMs with(nolock) "
                                              "where %1 order by BomIsDefault desc, BomNo, BomType, BomID")
                                   .arg(where))
                          .resultSets;
}

} // namespace

void registerBomForItemProcedure()
{
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetBOMForItem"), getBomForItem);
}

} // namespace kvdemo
