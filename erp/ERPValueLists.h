#pragma once
// The values and rows of a bill built through the integration interface: a
// head's or a row's named values (names ignore case, kept in the order first
// set) and a detail list's rows.
#include "untERPaccess.h"

#include <QList>
#include <QPair>

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
