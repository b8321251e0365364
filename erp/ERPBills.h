#pragma once
// Bills built through the integration interface and stored in the account
// set's ERP tables: ERP_Bills holds the head, ERP_BillRows one row per detail
// line (values kept as JSON texts). A row's value "WriteBackSQL" is run in the
// same transaction as the bill's own rows.
#include "ERPBillKinds.h"
#include "ERPValueLists.h"

#include <QList>
#include <QPair>

class TADOConnection;

class TERPBill : public IBill {
public:
    // maxRows: the most detail rows of "Rows" (0: the kind's own limit).
    TERPBill(int kind, std::shared_ptr<TADOConnection> connection, quint16 maxRows = 0);
    IValueListPtr Head() override { return FHead; }
    IRowListPtr Details(const QString& name) override;
    bool Save(QString& errorText) override;

    int Kind() const { return FKind; }
    // The next free number of the bill's kind for the given day.
    QString NextBillNo(const QDate& day);

private:
    void store();
    TERPDetailLookup DetailLookup() const;

    int FKind;
    quint16 FMaxRows;
    std::shared_ptr<TADOConnection> FConnection;
    std::shared_ptr<TERPValueList> FHead;
    QList<QPair<QString, std::shared_ptr<TERPRowList>>> FDetails;
    bool FSaved = false;
};
