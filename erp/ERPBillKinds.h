#pragma once
// What the stand-in ERP knows of each bill kind: the prefix of its numbers,
// the most rows one bill may hold, and where a saved bill goes besides the
// bill tables (ERP_Bills, ERP_BillRows): the forecast kind lives in the
// forecast tables alone and numbers itself there; order documents and the
// bill-of-materials document also write the account set's tables of their
// kind. The bill units are reached through this table only, so none of them
// depends on the bill that calls them.
#include "ERPValueLists.h"

#include <QDate>
#include <QString>
#include <functional>

class TADOConnection;

// A detail list of the bill by name (nullptr when the bill has none).
using TERPDetailLookup = std::function<const TERPRowList*(const QString&)>;

struct TERPBillKind {
    int Kind = 0;
    QString Prefix;
    quint16 MaxRows = 200;
    // A kind kept in tables of its own instead of the bill tables: its next
    // number of a day, and the store of a bill inside the caller's transaction.
    std::function<QString(TADOConnection*, const QDate&)> NextOwnBillNo;
    std::function<void(TADOConnection*, TERPValueList&, const TERPDetailLookup&)> StoreOwn;
    // What a bill of the kind writes after its head and rows are in the bill
    // tables, inside the same transaction (kind, bill ID, bill number, head).
    std::function<void(TADOConnection*, int, int, const QString&, TERPValueList&, const TERPDetailLookup&)> StoreAlso;
};

TERPBillKind ERPBillKind(int kind);
