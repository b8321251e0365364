#include "ERPBillKinds.h"

#include "ERPBomBills.h"
#include "ERPForecastBills.h"
#include "ERPOrderBills.h"

namespace {

QString forecastNo(TADOConnection* AConnection, const QDate& ADay)
{
    return NextForecastBillNo(AConnection, ADay);
}

void storeForecast(TADOConnection* AConnection, TERPValueList& AHead, const TERPDetailLookup& ADetails)
{
    StoreForecastBill(AConnection, AHead, ADetails(QStringLiteral("Rows")));
}

void storeBomOperation(TADOConnection* AConnection, int, int, const QString&, TERPValueList& AHead, const TERPDetailLookup& ADetails)
{
    StoreBomOperationBill(AConnection, AHead, ADetails(QStringLiteral("ItemSubs")), ADetails(QStringLiteral("Rows")));
}

} // namespace

TERPBillKind ERPBillKind(int kind)
{
    // Prefixes of the bill kinds the planning screens write; others get "B" and the kind.
    static const QList<TERPBillKind> kinds = {
        {ERPForecastBillKind, QStringLiteral("FC"), 500, forecastNo, storeForecast, {}},
        {4, QStringLiteral("PR"), 200, {}, {}, StoreOrderBill},  // purchase requisition
        {5, QStringLiteral("PO"), 200, {}, {}, {}},  // purchase order
        {6, QStringLiteral("PI"), 200, {}, {}, {}},  // purchase receipt under inspection
        {7, QStringLiteral("OR"), 200, {}, {}, StoreOrderBill},  // subcontract requisition
        {8, QStringLiteral("OO"), 200, {}, {}, StoreOrderBill},  // subcontract order
        {9, QStringLiteral("MR"), 200, {}, {}, {}},  // production request
        {10, QStringLiteral("MO"), 1, {}, {}, StoreOrderBill},   // production order: one item per order
        {ERPBomBillKind, QStringLiteral("BO"), 500, {}, {}, storeBomOperation}, // bill-of-materials operation document
    };
    for (const TERPBillKind& k : kinds)
        if (k.Kind == kind)
            return k;
    return {kind, QStringLiteral("B%1").arg(kind, 2, 10, QLatin1Char('0')), 200, {}, {}, {}};
}
