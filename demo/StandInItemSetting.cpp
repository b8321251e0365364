#include "StandInItemSetting.h"

#include "StandInSql.h"
#include "TsqlEngine.h"

#include <QLocale>

namespace kvdemo {

namespace {

// An identity: null when absent or blank.
QString idArg(const kvtsql::ProcedureCall& call, const char* name)
{
    const QVariant v = call.arg(QString::fromLatin1(name).toLower());
    const QString text = v.isNull() ? QString() : v.toString().trimmed();
    return text.isEmpty() ? QStringLiteral("null") : quoted(text);
}

QString intArg(const kvtsql::ProcedureCall& call, const char* name)
{
    const QVariant v = call.arg(QString::fromLatin1(name).toLower());
    if (v.isNull())
        return QStringLiteral("0");
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    if (!ok)
        fail(QStringLiteral("存储过程参数@%1的值(%2)不是整数!").arg(QString::fromLatin1(name), v.toString()));
    return QString::number(n);
}

// A quantity: null when absent or 0 (no quantity set).
QString qtyArg(const kvtsql::ProcedureCall& call, const char* name)
{
    const QVariant v = call.arg(QString::fromLatin1(name).toLower());
    if (v.isNull())
        return QStringLiteral("null");
    bool ok = false;
    const double d = QLocale::c().toDouble(v.toString().trimmed(), &ok);
    if (!ok)
        fail(QStringLiteral("存储过程参数@%1的值(%2)不是数值!").arg(QString::fromLatin1(name), v.toString()));
    return d == 0 ? QStringLiteral("null") : v.toString().trimmed();
}

// Inserts or updates the planning settings of one item from its named
// arguments; an unknown item is refused.
void updateItemSetting(kvtsql::ProcedureCall& call)
{
    const QString item = call.arg(QStringLiteral("itmid")).toString().trimmed();
    const kvtsql::BatchResult known =
        call.run(QStringLiteral("select count(*) from QZ_Base_ItemMaster with(nolock) where ItmID=%1").arg(quoted(item)));
    if (item.isEmpty() || known.resultSets.isEmpty() || known.resultSets.first().rows.value(0).value(0).toInt() == 0)
        fail(QStringLiteral("物料(%1)不存在!").arg(item));
    const QVariant lossRate = call.arg(QStringLiteral("itmputlossrate"));
    const QString lossText = lossRate.isNull() ? QString() : lossRate.toString().trimmed();

    const QStringList names{QStringLiteral("ItmMrpType"), QStringLiteral("ItmMrpSkip"), QStringLiteral("ItmPlannerID"),
                            QStringLiteral("ItmBuyerID"), QStringLiteral("ItmMrpGroup"), QStringLiteral("ItmMrpTrack"),
                            QStringLiteral("ItmPreLeadTime"), QStringLiteral("ItmFixLeadTime"),
                            QStringLiteral("ItmVarLeadTime"), QStringLiteral("ItmVarLeadLot"),
                            QStringLiteral("ItmPostLeadTime"), QStringLiteral("ItmSafeQty"), QStringLiteral("ItmMinQty"),
                            QStringLiteral("ItmLotQty"), QStringLiteral("ItmMaxQty"), QStringLiteral("ItmPutLossType"),
                            QStringLiteral("ItmPutLossRate"), QStringLiteral("ItmPutInteger"),
                            QStringLiteral("ItmSuitSkip"), QStringLiteral("ItmOutSkip"), QStringLiteral("ItmMOBomSkip"),
                            QStringLiteral("ItmOOBomSkip"), QStringLiteral("ItmMODeptID"), QStringLiteral("ItmPOSuppID"),
                            QStringLiteral("ItmOOSuppID"), QStringLiteral("ItmPlanItmID")};
    const QStringList values{intArg(call, "ItmMrpType"), intArg(call, "ItmMrpSkip"), idArg(call, "ItmPlannerID"),
                             idArg(call, "ItmBuyerID"), intArg(call, "ItmMrpGroup"), intArg(call, "ItmMrpTrack"),
                             intArg(call, "ItmPreLeadTime"), intArg(call, "ItmFixLeadTime"),
                             intArg(call, "ItmVarLeadTime"), qtyArg(call, "ItmVarLeadLot"),
                             intArg(call, "ItmPostLeadTime"), qtyArg(call, "ItmSafeQty"), qtyArg(call, "ItmMinQty"),
                             qtyArg(call, "ItmLotQty"), qtyArg(call, "ItmMaxQty"), intArg(call, "ItmPutLossType"),
                             lossText.isEmpty() ? QStringLiteral("null") : quoted(lossText), intArg(call, "ItmPutInteger"),
                             intArg(call, "ItmSuitSkip"), intArg(call, "ItmOutSkip"), intArg(call, "ItmMOBomSkip"),
                             intArg(call, "ItmOOBomSkip"), idArg(call, "ItmMODeptID"), idArg(call, "ItmPOSuppID"),
                             idArg(call, "ItmOOSuppID"), idArg(call, "ItmPlanItmID")};
    QString sets;
    for (int i = 0; i < names.size(); ++i)
        sets += (i ? QStringLiteral(", ") : QString()) + names[i] + u'=' + values[i];
    call.run(QStringLiteral("if exists (select * from QZ_MRP_ItemSetting where ItmID=%1)\r"
                            "update QZ_MRP_ItemSetting set %2 where ItmID=%1\r"
                            "else\r"
                            "insert QZ_MRP_ItemSetting (ItmID, %3) values (%1, %4)")
                 .arg(quoted(item), sets, names.join(QStringLiteral(", ")), values.join(QStringLiteral(", "))));
}

} // namespace

void registerItemSettingProcedure()
{
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_UpdateItemSetting"), updateItemSetting);
}

} // namespace kvdemo
