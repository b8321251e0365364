#pragma once
// The rows of a select on the logged-in account set, read through the host's
// global connection: one text a row, its columns joined by "|"; or the first
// column of its first row alone.
#include "UDBComm.h"

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace kvtest {

inline QStringList rows(const QString& sql)
{
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    EXPECT_TRUE(ExecSQLText(&q, sql, true, false, false)) << sql.toStdString();
    QStringList out;
    for (; q.Active() && !q.Eof(); q.Next()) {
        QStringList cols;
        for (int i = 0; i < q.FieldCount(); ++i)
            cols << q.Fields()->Field(i)->AsString();
        out << cols.join(u'|');
    }
    return out;
}

// Empty when the select gives no row.
inline QString firstValue(const QString& sql)
{
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    EXPECT_TRUE(ExecSQLText(&q, sql, true, false, false)) << sql.toStdString();
    return q.Active() && !q.Eof() ? q.Fields()->Field(0)->AsString() : QString();
}

} // namespace kvtest
