// Translating queries: named sources, joins, the branches of a union, select
// lists with their output columns, top, scalar subqueries.
#include "TranslatorTypes.h"

namespace kvtsql {

// ---------------------------------------------------------------- queries
Translator::Source Translator::namedSource(const QStringList& name, const QString& alias)
{
    Source s;
    s.table = tableName(name);
    s.alias = alias;
    if (s.table == "sysobjects") {
        s.known = true;
        s.cols = {{"id", intType()}, {"name", textType(128)}, {"xtype", textType(2)}, {"type", textType(2)}, {"uid", intType()}};
        return s;
    }
    TableInfo info = m_ctx.table(s.table);
    if (info.exists) {
        s.known = true;
        for (const TableColumn& c : info.columns) s.cols.append({c.name, c.type, !info.view});
    }
    return s;
}

QString Translator::fromSql(const TableRefP& t, Scope& scope)
{
    switch (t->kind) {
    case TableRef::Named: {
        Source s = namedSource(t->name, t->alias);
        scope.sources.append(s);
        QString sql = quote(s.table);
        if (!t->alias.isEmpty()) sql += " AS " + quote(t->alias);
        return sql;
    }
    case TableRef::Derived: {
        Source s;
        s.alias = t->alias;
        bool known = false;
        QString sub = selectSql(*t->derived, nullptr, &s.cols, &known);
        s.known = known;
        scope.sources.append(s);
        return "(" + sub + ") AS " + quote(t->alias);
    }
    case TableRef::Join: {
        QString left = fromSql(t->left, scope);
        QString right = fromSql(t->right, scope);
        if (t->right->kind == TableRef::Join) right = "(" + right + ")";
        static const QHash<QString, QString> kinds = {{"inner", " JOIN "}, {"left", " LEFT JOIN "},
                                                      {"right", " RIGHT JOIN "}, {"full", " FULL JOIN "},
                                                      {"cross", " CROSS JOIN "}};
        QString sql = left + kinds.value(t->joinType) + right;
        if (t->on) sql += " ON " + cond(t->on, scope);
        return sql;
    }
    }
    return QString();
}

QString Translator::branchSql(const Select& s, const Scope* parent, QList<OutputColumn>* cols, bool* colsKnown, bool withOrder)
{
    Scope scope;
    scope.parent = parent;
    QStringList from;
    for (const TableRefP& t : s.from) from << fromSql(t, scope);

    QStringList items;
    cols->clear();
    *colsKnown = true;
    for (const SelectItem& it : s.items) {
        if (it.expr->kind == EK::Star) {
            TypeInfo unused;
            items << expr(it.expr, scope, unused);
            bool matched = false;
            for (const Source& src : scope.sources) {
                if (!it.expr->parts.isEmpty()) {
                    const QString& q = it.expr->parts.last();
                    if (src.alias.compare(q, Qt::CaseInsensitive) != 0
                        && !(src.alias.isEmpty() && src.table.compare(q, Qt::CaseInsensitive) == 0))
                        continue;
                }
                matched = true;
                if (!src.known) *colsKnown = false;
                for (const OutputColumn& c : src.cols) cols->append(c);
            }
            if (!matched) *colsKnown = false;
            continue;
        }
        TypeInfo t;
        QString sql = expr(it.expr, scope, t);
        QString name = it.alias;
        if (name.isEmpty() && it.expr->kind == EK::Column) name = it.expr->parts.last();
        if (!it.alias.isEmpty() || it.expr->kind != EK::Column) sql += " AS " + quote(name);
        items << sql;
        cols->append({name, t, storedColumn(it.expr, scope)});
    }
    QString sql = "SELECT ";
    if (s.distinct) sql += "DISTINCT ";
    sql += items.join(", ");
    if (!from.isEmpty()) sql += " FROM " + from.join(", ");
    if (s.where) sql += " WHERE " + cond(s.where, scope);
    if (!s.groupBy.isEmpty()) {
        QStringList g;
        for (const ExprP& x : s.groupBy) {
            TypeInfo t;
            QString k = expr(x, scope, t);
            if (t.type == SqlType::Decimal && !storedColumn(x, scope)) k = decimalKey(k);
            g << k;
        }
        sql += " GROUP BY " + g.join(", ");
    }
    if (s.having) sql += " HAVING " + cond(s.having, scope);
    if (withOrder && !s.orderBy.isEmpty()) {
        scope.outputs = cols;
        QStringList o;
        for (const OrderItem& oi : s.orderBy) {
            TypeInfo t;
            QString x;
            if (oi.expr->kind == EK::Integer) {
                x = oi.expr->text;
                m_cacheable = false;
            } else {
                x = expr(oi.expr, scope, t);
                if (t.type == SqlType::Decimal) {
                    // a name of the select list means that item, as SQLite reads it
                    bool stored = storedColumn(oi.expr, scope);
                    if (oi.expr->kind == EK::Column && oi.expr->parts.size() == 1)
                        for (const OutputColumn& c : *cols)
                            if (c.name.compare(oi.expr->parts[0], Qt::CaseInsensitive) == 0) { stored = c.stored; break; }
                    if (!stored) x = decimalKey(x);
                }
            }
            o << x + (oi.desc ? " DESC" : "");
        }
        sql += " ORDER BY " + o.join(", ");
    }
    if (s.top && !s.topPercent) sql += " LIMIT " + topSql(s.top, scope);
    return sql;
}

QString Translator::selectSql(const Select& s, const Scope* parent, QList<OutputColumn>* cols, bool* colsKnown)
{
    if (s.compound.isEmpty()) return branchSql(s, parent, cols, colsKnown, true);
    // first branch and every further one: a branch with its own TOP is wrapped so its limit stays its own
    auto wrapBranch = [&](const Select& b, QList<OutputColumn>* bc, bool* bk) {
        QString sql = b.compound.isEmpty() ? branchSql(b, parent, bc, bk, b.parenthesized)
                                           : selectSql(b, parent, bc, bk);
        if (b.top || !b.compound.isEmpty() || (b.parenthesized && !b.orderBy.isEmpty()))
            sql = "SELECT * FROM (" + sql + ")";
        return sql;
    };
    QString sql = branchSql(s, parent, cols, colsKnown, false);
    if (s.top) sql = "SELECT * FROM (" + sql + ")";
    for (const auto& [op, branch] : s.compound) {
        QList<OutputColumn> bc;
        bool bk = false;
        QString b = wrapBranch(*branch, &bc, &bk);
        // a NULL or unknown column of the first branch takes the type of a later one
        for (int i = 0; i < cols->size() && i < bc.size(); ++i) {
            if (!(*cols)[i].type.known()) (*cols)[i].type = bc[i].type;
            else if ((*cols)[i].type.type == SqlType::Text && bc[i].type.type == SqlType::Text && (*cols)[i].type.size
                     && bc[i].type.size)
                (*cols)[i].type.size = std::max((*cols)[i].type.size, bc[i].type.size);
        }
        sql += " " + op.toUpper() + " " + b;
    }
    if (!s.orderBy.isEmpty()) {
        QStringList o;
        for (const OrderItem& oi : s.orderBy) {
            QString x;
            if (oi.expr->kind == EK::Integer) {
                x = oi.expr->text;
                m_cacheable = false;
            } else if (oi.expr->kind == EK::Column) x = quote(oi.expr->parts.last());
            else {
                Scope empty;
                empty.outputs = cols;
                TypeInfo t;
                x = expr(oi.expr, empty, t);
            }
            o << x + (oi.desc ? " DESC" : "");
        }
        sql += " ORDER BY " + o.join(", ");
    }
    return sql;
}

Translated Translator::query(const Select& select)
{
    Translated out;
    out.sql = selectSql(select, nullptr, &out.columns, &out.columnsKnown);
    return finish(out);
}

Translated Translator::scalar(const ExprP& e, bool condition, TypeInfo* type)
{
    Scope scope;
    TypeInfo t;
    QString s = expr(e, scope, t);
    Translated out;
    out.sql = condition ? "SELECT CASE WHEN " + s + " THEN 1 ELSE 0 END" : "SELECT " + s;
    out = finish(out);
    if (type) *type = t;
    return out;
}

} // namespace kvtsql
