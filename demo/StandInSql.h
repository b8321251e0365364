#pragma once
// What the stand-in procedures share: a text made an SQL literal, the error
// a procedure raises, and a whole-number argument read with its own message.
#include "TsqlEngine.h"

#include <QString>
#include <QVariant>

namespace kvdemo {

// The text as an SQL literal, quotes doubled.
inline QString quoted(const QString& text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

// Ends the procedure with the message, as a raised user error does.
[[noreturn]] inline void fail(const QString& message)
{
    throw kvtsql::SqlException(50000, message);
}

// The argument @name (or the one at position) as a whole number; any other text fails.
inline int intArg(const kvtsql::ProcedureCall& call, const QString& name, int position)
{
    const QVariant v = call.arg(name, position);
    bool ok = false;
    const int n = v.toString().trimmed().toInt(&ok);
    if (!ok)
        fail(QStringLiteral("存储过程参数@%1的值(%2)不是整数!").arg(name, v.toString()));
    return n;
}

} // namespace kvdemo
