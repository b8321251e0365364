// What the translator's units share: the types it gives expressions, and small
// helpers on texts and expressions. Private to the engine. The translator's units:
//   Translator.cpp             types from declarations, names, literals, parameters,
//                              column types, decimal comparison
//   TranslatorExpressions.cpp  expressions, conversions and functions
//   TranslatorQueries.cpp      select: sources, joins, branches, scalar queries
//   TranslatorWrites.cpp       insert, update and delete
//   TranslatorTables.cpp       create table, index and view; defaults
#pragma once

#include "Translator.h"

#include <QString>

#include <algorithm>

namespace kvtsql {

// Length stored for (max) texts: SQLite's type names take numbers only.
inline constexpr int kMaxText = 1073741823;

inline TypeInfo intType() { TypeInfo t; t.type = SqlType::Integer; t.precision = 10; return t; }
inline TypeInfo textType(int size = 0) { TypeInfo t; t.type = SqlType::Text; t.size = size; return t; }
inline TypeInfo floatType() { TypeInfo t; t.type = SqlType::Float; t.precision = 53; return t; }
inline TypeInfo dateType() { TypeInfo t; t.type = SqlType::DateTime; return t; }
inline TypeInfo bitType() { TypeInfo t; t.type = SqlType::Bit; return t; }
inline TypeInfo decType(int p, int s) { TypeInfo t; t.type = SqlType::Decimal; t.precision = std::min(p, 38); t.scale = s; return t; }

inline QString decArgs(const TypeInfo& t) { return QStringLiteral("%1, %2").arg(std::clamp(t.precision, 1, 38)).arg(std::clamp(t.scale, 0, 38)); }

inline QString quoteText(const QString& s)
{
    QString q = s;
    q.replace(u'\'', QLatin1String("''"));
    return u'\'' + q + u'\'';
}

inline bool isColumn(const ExprP& e)
{
    const Expr* x = e.get();
    while (x->kind == EK::Paren) x = x->args[0].get();
    return x->kind == EK::Column;
}

} // namespace kvtsql
