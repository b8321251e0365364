// Translating writes: insert (values, select, exec), update and delete with
// their sources and targets.
#include "TranslatorTypes.h"

namespace kvtsql {

// ---------------------------------------------------------------- writes
namespace {
// Two expressions that give the same value for the same row: written alike (names,
// operators, literals) and free of anything that differs from call to call or row
// source to row source (subqueries, newid(), rand()).
bool sameValue(const Expr& a, const Expr& b)
{
    if (a.kind != b.kind || a.text != b.text || a.parts != b.parts || a.args.size() != b.args.size()
        || a.negated != b.negated || a.distinct != b.distinct || a.star != b.star || a.hasOperand != b.hasOperand
        || a.hasElse != b.hasElse || a.unicode != b.unicode || a.type.name != b.type.name || a.type.p1 != b.type.p1
        || a.type.p2 != b.type.p2 || a.type.max != b.type.max)
        return false;
    if (a.sel || b.sel) return false;
    if (a.kind == EK::Func && (a.text == u"newid" || a.text == u"rand")) return false;
    for (qsizetype i = 0; i < a.args.size(); ++i) {
        if (!a.args[i] || !b.args[i]) {
            if (a.args[i] != b.args[i]) return false;
            continue;
        }
        if (!sameValue(*a.args[i], *b.args[i])) return false;
    }
    return true;
}

// Holds a literal: statements of one shape differ in their literals' values.
bool holdsLiteral(const Expr& e)
{
    switch (e.kind) {
    case EK::Integer: case EK::Number: case EK::String: case EK::BinaryLit: return true;
    default: break;
    }
    for (const ExprP& a : e.args)
        if (a && holdsLiteral(*a)) return true;
    return false;
}

// Worth computing once: anything beyond a bare name, literal or variable.
bool computed(const Expr& e)
{
    switch (e.kind) {
    case EK::Null: case EK::Integer: case EK::Number: case EK::String: case EK::BinaryLit:
    case EK::Column: case EK::Star: case EK::Variable: case EK::System:
        return false;
    case EK::Paren: return e.args.size() == 1 && e.args[0] && computed(*e.args[0]);
    default: return true;
    }
}
} // namespace

Translated Translator::insert(const Stmt& s)
{
    const QString table = tableName(s.table);
    TableInfo info = m_ctx.table(table);
    if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(s.table.join(u'.')));
    QList<int> targets;
    const bool explicitIdentity = info.identityColumn >= 0 && m_ctx.identityInsert
                                  && m_ctx.identityInsert().compare(info.name, Qt::CaseInsensitive) == 0;
    if (s.columns.isEmpty()) {
        if (explicitIdentity)
            raise(8101, QStringLiteral("An explicit value for the identity column in table '%1' can only be specified when a column list is used and IDENTITY_INSERT is ON.").arg(table));
        for (int i = 0; i < info.columns.size(); ++i)
            if (!info.columns[i].identity) targets << i;
    } else {
        bool named = false;
        for (const QString& c : s.columns) {
            int i = info.indexOf(c);
            if (i < 0) raise(207, QStringLiteral("Invalid column name '%1'.").arg(c));
            if (info.columns[i].identity) {
                if (!explicitIdentity)
                    raise(544, QStringLiteral("Cannot insert explicit value for identity column in table '%1' when IDENTITY_INSERT is set to OFF.").arg(table));
                named = true;
            }
            targets << i;
        }
        if (explicitIdentity && !named)
            raise(545, QStringLiteral("Explicit value must be specified for identity column in table '%1' either when IDENTITY_INSERT is set to ON or when a replication user is inserting into a NOT FOR REPLICATION identity column.").arg(table));
    }
    // an increment other than 1: the engine numbers the new rows from the current value
    const bool numbered = info.identityColumn >= 0 && !explicitIdentity && info.columns[info.identityColumn].identityStep != 1;
    const qint64 step = numbered ? info.columns[info.identityColumn].identityStep : 1;
    auto current = [&]() {
        const QString key = QStringLiteral("kv_identity:") + info.name;
        return param(m_ctx.system(key), ParamSource{ParamSource::System, 0, key});
    };
    QStringList colNames;
    if (numbered) colNames << quote(info.columns[info.identityColumn].name);
    for (int i : targets) colNames << quote(info.columns[i].name);
    Translated out;
    QString head = "INSERT INTO " + quote(info.name) + " (" + colNames.join(", ") + ")";
    Scope scope;
    if (s.defaultValues) {
        out.sql = numbered ? "INSERT INTO " + quote(info.name) + " (" + quote(info.columns[info.identityColumn].name) + ") VALUES ("
                                 + current() + " + " + QString::number(step) + ")"
                           : "INSERT INTO " + quote(info.name) + " DEFAULT VALUES";
    } else if (!s.values.isEmpty()) {
        QStringList rows;
        for (const QList<ExprP>& row : s.values) {
            if (row.size() != targets.size()) {
                if (row.size() > targets.size())
                    raise(110, QStringLiteral("There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement."));
                raise(109, QStringLiteral("There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement."));
            }
            QStringList vals;
            if (numbered) vals << current() + " + " + QString::number(step * (rows.size() + 1));
            for (int k = 0; k < row.size(); ++k) {
                TypeInfo t;
                QString v = expr(row[k], scope, t);
                if (row[k]->kind != EK::Null) v = convertFor(v, t, info.columns[targets[k]].type, info.name + "." + info.columns[targets[k]].name);
                vals << v;
            }
            rows << "(" + vals.join(", ") + ")";
        }
        out.sql = head + " VALUES " + rows.join(", ");
    } else if (const QString shared = s.select && !numbered ? insertSharedValues(*s.select, info, targets, head) : QString();
               !shared.isEmpty()) {
        out.sql = shared;   // a repeated value computed once per row
    } else if (s.select) {
        QList<OutputColumn> cols;
        bool known = false;
        QString sub = selectSql(*s.select, nullptr, &cols, &known);
        if (known && cols.size() != targets.size())
            raise(120, QStringLiteral("The select list for the INSERT statement contains %1 items than the insert list. The number of SELECT values must match the number of INSERT columns.")
                           .arg(cols.size() < targets.size() ? "fewer" : "more"));
        bool needConvert = false;
        QStringList conv, names;
        if (known) {
            for (int k = 0; k < cols.size(); ++k) {
                QString name = QStringLiteral("c%1").arg(k + 1);
                names << name;
                QString c = convertFor(quote(name), cols[k].type, info.columns[targets[k]].type, info.name + "." + info.columns[targets[k]].name);
                if (c != quote(name)) needConvert = true;
                conv << c;
            }
        }
        if (numbered) {
            const QString id = current() + " + " + QString::number(step) + " * row_number() OVER ()";
            if (known)
                out.sql = "WITH \"kv_src\"(" + names.join(", ") + ") AS (" + sub + ") " + head + " SELECT " + id + ", "
                          + conv.join(", ") + " FROM \"kv_src\"";
            else
                out.sql = head + " SELECT " + id + ", \"kv_src\".* FROM (" + sub + ") AS \"kv_src\"";
        } else if (needConvert)
            out.sql = "WITH \"kv_src\"(" + names.join(", ") + ") AS (" + sub + ") " + head + " SELECT " + conv.join(", ")
                      + " FROM \"kv_src\"";
        else
            out.sql = head + " " + sub;
    } else if (!s.execSource) {
        raise(102, QStringLiteral("Incorrect syntax near 'insert'."));
    }
    out = finish(out);
    // the target column types, for an insert fed by a procedure's rows
    for (int i : targets) out.columns.append({info.columns[i].name, info.columns[i].type});
    out.columnsKnown = true;
    return out;
}

// An insert whose select list repeats one computed value (a quantity stored in three
// columns, say) computes it once per row: the select gives each distinct value once, as
// a subquery SQLite does not merge back into the insert (its OFFSET keeps it apart, read
// row by row as it is made), and the insert takes each of its columns from there.
// Empty when the select repeats nothing or is not a plain one of the insert's width.
QString Translator::insertSharedValues(const Select& select, const TableInfo& info, const QList<int>& targets,
                                       const QString& head)
{
    if (!select.compound.isEmpty() || !select.orderBy.isEmpty() || select.distinct || select.topPercent
        || !select.into.isEmpty() || !select.groupBy.isEmpty() || select.having || select.items.size() != targets.size())
        return QString();
    QList<int> source;   // for each item, the first item of the same value
    bool shared = false;
    for (qsizetype k = 0; k < select.items.size(); ++k) {
        const SelectItem& it = select.items[k];
        if (!it.expr || it.expr->kind == EK::Star || !it.assignVar.isEmpty()) return QString();
        int first = int(k);
        if (computed(*it.expr))
            for (qsizetype j = 0; j < k; ++j)
                if (source[j] == j && sameValue(*select.items[j].expr, *it.expr)) {
                    first = int(j);
                    shared = true;
                    break;
                }
        source << first;
    }
    if (!shared) return QString();
    // Which values repeat was told from the literals' values, which the shape of the
    // statement leaves out: another statement of this shape may repeat nothing.
    for (qsizetype k = 0; k < select.items.size(); ++k)
        if (source[k] != k && holdsLiteral(*select.items[k].expr)) m_cacheable = false;
    Select once = select;
    once.items.clear();
    QHash<int, int> position;   // first item -> its place in the subquery
    for (qsizetype k = 0; k < select.items.size(); ++k) {
        if (source[k] != k) continue;
        SelectItem it = select.items[k];
        it.alias = QStringLiteral("kv_v%1").arg(once.items.size() + 1);
        position.insert(int(k), int(once.items.size()));
        once.items << it;
    }
    QList<OutputColumn> cols;
    bool known = false;
    QString sub = branchSql(once, nullptr, &cols, &known, false);
    if (!known || cols.size() != once.items.size()) return QString();
    sub += once.top ? QStringLiteral(" OFFSET 0") : QStringLiteral(" LIMIT -1 OFFSET 0");
    QStringList conv;
    for (qsizetype k = 0; k < select.items.size(); ++k) {
        const int p = position.value(source[k]);
        const TableColumn& target = info.columns[targets[k]];
        conv << convertFor("\"kv_src\"." + quote(cols[p].name), cols[p].type, target.type, info.name + "." + target.name);
    }
    return head + " SELECT " + conv.join(", ") + " FROM (" + sub + ") AS \"kv_src\"";
}

// The FROM source an UPDATE or DELETE target names: its alias, the table named
// without an alias, or the one source of that table under an alias.
const Translator::Source* Translator::targetSource(const QString& target, const Scope& scope)
{
    for (const Source& src : scope.sources)
        if (!src.alias.isEmpty() && src.alias.compare(target, Qt::CaseInsensitive) == 0) return &src;
    for (const Source& src : scope.sources)
        if (src.alias.isEmpty() && src.table.compare(target, Qt::CaseInsensitive) == 0) return &src;
    const Source* found = nullptr;
    for (const Source& src : scope.sources)
        if (src.table.compare(target, Qt::CaseInsensitive) == 0) {
            if (found) raise(8154, QStringLiteral("The table '%1' is ambiguous.").arg(target));
            found = &src;
        }
    return found;
}

Translated Translator::update(const Stmt& s)
{
    const QString target = tableName(s.table);
    Translated out;
    if (s.from.isEmpty()) {
        TableInfo info = m_ctx.table(target);
        if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(s.table.join(u'.')));
        Scope scope;
        Source src;
        src.table = info.name;
        src.known = true;
        for (const TableColumn& c : info.columns) src.cols.append({c.name, c.type, !info.view});
        scope.sources.append(src);
        QStringList sets;
        for (const Assignment& a : s.sets) {
            if (!a.variable.isEmpty()) raise(102, QStringLiteral("Incorrect syntax near '%1'.").arg(a.variable));
            int ci = info.indexOf(a.column.last());
            if (ci < 0) raise(207, QStringLiteral("Invalid column name '%1'.").arg(a.column.last()));
            if (info.columns[ci].identity)
                raise(8102, QStringLiteral("Cannot update identity column '%1'.").arg(info.columns[ci].name));
            TypeInfo t;
            QString v;
            if (a.op != "=") {
                auto col = std::make_shared<Expr>();
                col->kind = EK::Column;
                col->parts = QStringList{a.column.last()};
                v = arithmetic(a.op.left(1), col, a.value, scope, t);
            } else {
                v = expr(a.value, scope, t);
            }
            if (a.value->kind != EK::Null) v = convertFor(v, t, info.columns[ci].type, info.name + "." + info.columns[ci].name);
            sets << quote(info.columns[ci].name) + " = " + v;
        }
        out.sql = "UPDATE " + quote(info.name) + " SET " + sets.join(", ");
        QString where;
        if (s.where) where = cond(s.where, scope);
        if (s.top) {
            QString lim = topSql(s.top, scope);
            out.sql += " WHERE rowid IN (SELECT rowid FROM " + quote(info.name) + (where.isEmpty() ? "" : " WHERE " + where)
                       + " LIMIT " + lim + ")";
        } else if (!where.isEmpty()) {
            out.sql += " WHERE " + where;
        }
        out = finish(out);
        return out;
    }
    // update ... from ... join: the rows to change and their new values come from the full
    // T-SQL FROM clause; the target is matched back by rowid
    Scope scope;
    QStringList from;
    for (const TableRefP& t : s.from) from << fromSql(t, scope);
    const Source* targetSource = this->targetSource(target, scope);
    QString targetTable = targetSource ? targetSource->table : target;
    TableInfo info = m_ctx.table(targetTable);
    if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(targetTable));
    QString ref = targetSource ? quote(targetSource->alias.isEmpty() ? targetSource->table : targetSource->alias)
                               : QString();
    if (!targetSource) {
        // target named only after UPDATE: it joins the FROM list as itself
        Source src;
        src.table = info.name;
        src.known = true;
        for (const TableColumn& c : info.columns) src.cols.append({c.name, c.type, !info.view});
        scope.sources.append(src);
        from.prepend(quote(info.name));
        ref = quote(info.name);
    }
    QStringList sets, vals;
    int k = 0;
    for (const Assignment& a : s.sets) {
        if (!a.variable.isEmpty()) raise(102, QStringLiteral("Incorrect syntax near '%1'.").arg(a.variable));
        int ci = info.indexOf(a.column.last());
        if (ci < 0) raise(207, QStringLiteral("Invalid column name '%1'.").arg(a.column.last()));
        TypeInfo t;
        QString v;
        if (a.op != "=") {
            auto col = std::make_shared<Expr>();
            col->kind = EK::Column;
            col->parts = a.column.size() > 1 ? a.column : QStringList{ref.mid(1, ref.size() - 2), a.column.last()};
            v = arithmetic(a.op.left(1), col, a.value, scope, t);
        } else {
            v = expr(a.value, scope, t);
        }
        if (a.value->kind != EK::Null) v = convertFor(v, t, info.columns[ci].type, info.name + "." + info.columns[ci].name);
        QString name = QStringLiteral("v%1").arg(++k);
        vals << v + " AS " + quote(name);
        sets << quote(info.columns[ci].name) + " = \"kv_u\"." + quote(name);
    }
    QString sub = "SELECT " + ref + ".rowid AS \"kv_rid\", " + vals.join(", ") + " FROM " + from.join(", ");
    if (s.where) sub += " WHERE " + cond(s.where, scope);
    if (s.top) sub += " LIMIT " + topSql(s.top, scope);
    out.sql = "UPDATE " + quote(info.name) + " SET " + sets.join(", ") + " FROM (" + sub + ") AS \"kv_u\" WHERE "
              + quote(info.name) + ".rowid = \"kv_u\".\"kv_rid\"";
    return finish(out);
}

Translated Translator::remove(const Stmt& s)
{
    const QString target = tableName(s.table);
    Translated out;
    if (s.from.isEmpty()) {
        TableInfo info = m_ctx.table(target);
        if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(s.table.join(u'.')));
        Scope scope;
        Source src;
        src.table = info.name;
        src.known = true;
        for (const TableColumn& c : info.columns) src.cols.append({c.name, c.type, !info.view});
        scope.sources.append(src);
        out.sql = "DELETE FROM " + quote(info.name);
        QString where = s.where ? cond(s.where, scope) : QString();
        if (s.top) {
            out.sql += " WHERE rowid IN (SELECT rowid FROM " + quote(info.name) + (where.isEmpty() ? "" : " WHERE " + where)
                       + " LIMIT " + topSql(s.top, scope) + ")";
        } else if (!where.isEmpty()) {
            out.sql += " WHERE " + where;
        }
        out = finish(out);
        return out;
    }
    Scope scope;
    QStringList from;
    for (const TableRefP& t : s.from) from << fromSql(t, scope);
    const Source* targetSource = this->targetSource(target, scope);
    if (!targetSource) raise(4104, QStringLiteral("The multi-part identifier \"%1\" could not be bound.").arg(s.table.join(u'.')));
    TableInfo info = m_ctx.table(targetSource->table);
    if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(targetSource->table));
    QString ref = quote(targetSource->alias.isEmpty() ? targetSource->table : targetSource->alias);
    QString sub = "SELECT " + ref + ".rowid FROM " + from.join(", ");
    if (s.where) sub += " WHERE " + cond(s.where, scope);
    if (s.top) sub += " LIMIT " + topSql(s.top, scope);
    out.sql = "DELETE FROM " + quote(info.name) + " WHERE rowid IN (" + sub + ")";
    return finish(out);
}

} // namespace kvtsql
