// Translating the definitions of tables, indexes and views, and column defaults.
#include "TranslatorTypes.h"

namespace kvtsql {

QString Translator::defaultExpression(const ExprP& e)
{
    m_inlineOnly = true;
    Scope scope;
    TypeInfo t;
    QString s = expr(e, scope, t);
    m_inlineOnly = false;
    return s;
}

static QString columnDecl(const TypeRef& r)
{
    if (r.max) return QStringLiteral("%1(%2)").arg(r.name).arg(kMaxText);
    if (r.p1 >= 0 && r.p2 >= 0) return QStringLiteral("%1(%2,%3)").arg(r.name).arg(r.p1).arg(r.p2);
    if (r.p1 >= 0) return QStringLiteral("%1(%2)").arg(r.name).arg(r.p1);
    if (r.name == "decimal" || r.name == "numeric") return r.name + "(18,0)";
    return r.name;
}

QStringList Translator::createTable(const Stmt& s)
{
    const QString name = tableName(s.table);
    const bool temp = name.startsWith(u'#');
    QStringList defs;
    int identity = -1;
    QStringList pk = s.primaryKey;
    for (int i = 0; i < s.columnDefs.size(); ++i) {
        const ColumnDef& c = s.columnDefs[i];
        TypeInfo t = typeFromRef(c.type);
        if (!t.known()) raise(2715, QStringLiteral("Column, parameter, or variable #%1: Cannot find data type %2.").arg(i + 1).arg(c.type.name));
        if (c.identity) {
            if (identity >= 0) raise(2744, QStringLiteral("Multiple identity columns specified for table '%1'. Only one identity column per table is allowed.").arg(name));
            identity = i;
        }
        if (c.primaryKey) pk = QStringList{c.name};
    }
    QStringList uniques;
    for (const QStringList& u : s.uniques) {
        QStringList q;
        for (const QString& c : u) q << quote(c);
        uniques << "UNIQUE (" + q.join(", ") + ")";
    }
    for (int i = 0; i < s.columnDefs.size(); ++i) {
        const ColumnDef& c = s.columnDefs[i];
        TypeInfo t = typeFromRef(c.type);
        QString d = quote(c.name) + " ";
        if (i == identity) {
            // identity values are never reused, as SQL Server's; an increment other than 1 rides along for the catalog
            d += "INTEGER PRIMARY KEY AUTOINCREMENT";
            if (c.identityStep == 0) raise(2749, QStringLiteral("Identity column '%1' must have a nonzero increment.").arg(c.name));
            if (c.identityStep != 1) d += QStringLiteral(" /*kv:identity %1,%2*/").arg(c.identitySeed).arg(c.identityStep);
            defs << d;
            continue;
        }
        checkDecimalType(c.type, i + 1);
        d += t.type == SqlType::Decimal ? storageDecl(t) : columnDecl(c.type);
        if (t.type == SqlType::Text) d += " COLLATE KV";
        if (c.notNull || pk.contains(c.name, Qt::CaseInsensitive)) d += " NOT NULL";
        if (c.defaultValue) d += " DEFAULT (" + convertFor(defaultExpression(c.defaultValue), TypeInfo(), t) + ")";
        if (c.unique) d += " UNIQUE";
        defs << d;
    }
    if (!pk.isEmpty()) {
        QStringList q;
        for (const QString& c : pk) q << quote(c);
        bool pkIsIdentity = identity >= 0 && pk.size() == 1 && pk[0].compare(s.columnDefs[identity].name, Qt::CaseInsensitive) == 0;
        if (!pkIsIdentity) {
            // with an identity column holding the rowid key, the declared key is kept as a unique constraint
            if (identity >= 0) defs << "UNIQUE (" + q.join(", ") + ")";
            else defs << "PRIMARY KEY (" + q.join(", ") + ")";
        }
    }
    defs << uniques;
    QStringList out;
    out << QStringLiteral("CREATE %1TABLE %2 (%3)").arg(temp ? "TEMP " : "", quote(name), defs.join(", "));
    if (identity >= 0 && (s.columnDefs[identity].identitySeed != 1 || s.columnDefs[identity].identityStep != 1)) {
        // the current value: the first insert adds the increment to it
        const ColumnDef& c = s.columnDefs[identity];
        out << QStringLiteral("INSERT INTO %1sqlite_sequence (name, seq) VALUES (%2, %3)")
                   .arg(temp ? "temp." : "main.", quoteText(name))
                   .arg(c.identityStep > 0 ? c.identitySeed - c.identityStep : c.identitySeed - 1);
    }
    return out;
}

QString Translator::createIndex(const Stmt& s)
{
    const QString table = tableName(s.table);
    const bool temp = table.startsWith(u'#');
    QStringList cols;
    for (int i = 0; i < s.columns.size(); ++i) cols << quote(s.columns[i]) + (s.columnsDesc.value(i) ? " DESC" : "");
    return QStringLiteral("CREATE %1INDEX %2%3 ON %4 (%5)")
        .arg(s.unique ? "UNIQUE " : "", temp ? "temp." : "", quote(table + "." + s.indexName), quote(table), cols.join(", "));
}

QString Translator::createView(const Stmt& s)
{
    // a view keeps its text: literals stay in it, variables are refused
    m_inlineOnly = true;
    QList<OutputColumn> cols;
    bool known = false;
    QString sql = selectSql(*s.select, nullptr, &cols, &known);
    m_inlineOnly = false;
    QString head = "CREATE VIEW " + quote(tableName(s.table));
    if (!s.columns.isEmpty()) {
        QStringList q;
        for (const QString& c : s.columns) q << quote(c);
        head += " (" + q.join(", ") + ")";
    }
    // the declared types of computed columns ride along in the view's text, for the catalog
    QStringList types;
    for (int i = 0; i < cols.size(); ++i) {
        QString name = i < s.columns.size() ? s.columns[i] : cols[i].name;
        QString decl = declFromType(cols[i].type);
        if (!decl.isEmpty() && !name.contains(u'=') && !name.contains(u';') && !name.contains(QLatin1String("*/")))
            types << name + "=" + decl;
    }
    return head + " AS " + sql + " /*kv:types " + types.join(u';') + "*/";
}

QString Translator::createTableFor(const QString& name, const QList<OutputColumn>& cols)
{
    const bool temp = name.startsWith(u'#');
    QStringList defs;
    for (int i = 0; i < cols.size(); ++i) {
        const OutputColumn& c = cols[i];
        if (c.name.isEmpty())
            raise(1038, QStringLiteral("An object or column name is missing or empty. For SELECT INTO statements, verify each column has a name."));
        for (int k = 0; k < i; ++k)
            if (cols[k].name.compare(c.name, Qt::CaseInsensitive) == 0)
                raise(2705, QStringLiteral("Column names in each table must be unique. Column name '%1' in table '%2' is specified more than once.").arg(c.name, name));
        QString d = quote(c.name);
        QString decl = storageDecl(c.type);
        if (!decl.isEmpty()) d += " " + decl;
        if (c.type.type == SqlType::Text) d += " COLLATE KV";
        defs << d;
    }
    return QStringLiteral("CREATE %1TABLE %2 (%3)").arg(temp ? "TEMP " : "", quote(name), defs.join(", "));
}

} // namespace kvtsql
