#pragma once
// Bills built through the integration interface and stored in the account
// set's ERP tables: ERP_Bills holds the head, ERP_BillRows one row per detail
// line (values kept as JSON texts). A row's value "WriteBackSQL" is run in the
// same transaction as the bill's own rows.
#include "untERPaccess.h"

#include <QList>
#include <QPair>

class TADOConnection;

class TERPValueList : public IValueList {
public:
    QVariant GetValue(const QString& name) override;
    void SetValue(const QString& name, const QVariant& value) override;
    // Values in the order they were first set (names ignore case).
    const QList<QPair<QString, QVariant>>& Items() const { return FItems; }
    QString ToJson(const QStringList& except = {}) const;

private:
    QList<QPair<QString, QVariant>> FItems;
};

class TERPRowList : public IRowList {
public:
    IValueListPtr Add() override;
    IValueListPtr GetRow(int AIndex) override;
    int GetCount() override { return int(FRows.size()); }
    const QList<std::shared_ptr<TERPValueList>>& Rows() const { return FRows; }

private:
    QList<std::shared_ptr<TERPValueList>> FRows;
};

// What the stand-in knows of a bill kind: the prefix of its numbers and the
// most rows one bill may hold.
struct TERPBillKind {
    int Kind = 0;
    QString Prefix;
    quint16 MaxRows = 200;
};
TERPBillKind ERPBillKind(int kind);

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

    int FKind;
    quint16 FMaxRows;
    std::shared_ptr<TADOConnection> FConnection;
    std::shared_ptr<TERPValueList> FHead;
    QList<QPair<QString, std::shared_ptr<TERPRowList>>> FDetails;
    bool FSaved = false;
};
