// Translation of parsed T-SQL statements into SQLite SQL, with the types of
// every expression taken from the catalog of tables and variables.
#pragma once

#include "Ast.h"
#include "TsqlEngine.h"

#include <QHash>
#include <QVariant>

#include <functional>

namespace kvtsql {

struct TypeInfo {
    SqlType type = SqlType::Null;   // Null: unknown (or the NULL literal)
    int precision = 0;
    int scale = 0;
    int size = 0;
    bool fixed = false;             // char(n): blank-padded to its length
    bool unicode = false;           // nchar, nvarchar, ntext, N'...': two bytes a character
    bool known() const { return type != SqlType::Null; }
    bool numeric() const { return type == SqlType::Integer || type == SqlType::Bit || type == SqlType::Decimal || type == SqlType::Float; }
};

TypeInfo typeFromRef(const TypeRef& ref);
TypeInfo typeFromDecl(const QString& declaredType);
// Declared type text for a column of that type in a CREATE TABLE (SQLite keeps it verbatim).
QString declFromType(const TypeInfo& t);
// The declaration a table column of that type gets: decimals are kept as exact
// canonical texts ("decimal text(28,8) COLLATE DECIMAL"), compared by value.
QString storageDecl(const TypeInfo& t);
// Refuses a decimal precision above 38 (2750) or a scale above the precision (192);
// position is the column or parameter number the message names.
void checkDecimalType(const TypeRef& ref, int position);

struct TableColumn {
    QString name;
    TypeInfo type;
    bool notNull = false;
    bool identity = false;
    qint64 identitySeed = 1;
    qint64 identityStep = 1;
};

struct TableInfo {
    bool exists = false;
    bool temp = false;
    bool view = false;
    QString name;
    QList<TableColumn> columns;
    int identityColumn = -1;
    int indexOf(const QString& column) const;
};

struct Variable {
    TypeInfo type;
    QVariant value;   // as SQLite holds it: null, qlonglong, double, QString, QByteArray
};

// Error raised while translating or running one statement.
struct StatementError {
    SqlError error;
};
[[noreturn]] void raise(int number, const QString& message);

// What the translator needs from the session.
struct TranslationContext {
    std::function<TableInfo(const QString& name)> table;            // catalog look-up (name without schema)
    std::function<const Variable*(const QString& name)> variable;   // @name, lower-case; null when undeclared
    std::function<QVariant(const QString& name)> system;            // @@name, lower-case
    // the table whose identity column takes explicit values (set identity_insert T on); empty: none
    std::function<QString()> identityInsert;
};

struct OutputColumn {
    QString name;
    TypeInfo type;
    bool stored = false;   // a column of a table as stored (its affinity and collation reach SQLite)
};

// Where a parameter's value comes from, so a translation can serve every
// statement of the same shape.
struct ParamSource {
    enum Kind { Literal, Variable, System } kind = Literal;
    int index = 0;      // literal: its position in the statement's literals
    QString name;       // variable or system variable
};

struct Translated {
    QString sql;
    QList<QVariant> params;
    QList<ParamSource> sources;    // one per parameter
    bool cacheable = true;         // false when a literal's value went into the SQL text
    QList<OutputColumn> columns;   // result columns of a query; empty when not known
    bool columnsKnown = false;
};

class Translator {
public:
    explicit Translator(const TranslationContext& ctx) : m_ctx(ctx) {}

    // SELECT (into and assignments stripped by the caller as needed)
    Translated query(const Select& select);
    // A scalar expression as "SELECT expr" (conditions give 1/0)
    Translated scalar(const ExprP& e, bool condition, TypeInfo* type = nullptr);
    Translated insert(const Stmt& s);
    Translated update(const Stmt& s);
    Translated remove(const Stmt& s);
    QStringList createTable(const Stmt& s);
    QString createIndex(const Stmt& s);
    QString createView(const Stmt& s);
    // CREATE TABLE for a SELECT ... INTO target with the given columns
    QString createTableFor(const QString& name, const QList<OutputColumn>& cols);
    QString defaultExpression(const ExprP& e);

    // The statement's literals, so their parameters can be traced back to them.
    void setLiterals(const QList<ExprP>& literals);
    // A literal's value as its parameter carries it.
    static QVariant literalValue(const Expr& e);

    static QString quote(const QString& name);
    // The last part, system tables mapped; SQLite's own tables, pragmas and
    // table-valued functions are unknown objects (208).
    static QString tableName(const QStringList& parts);

private:
    QString insertSharedValues(const Select& select, const TableInfo& info, const QList<int>& targets, const QString& head);
    struct Source {
        QString alias;
        QString table;
        QList<OutputColumn> cols;
        bool known = false;
    };
    struct Scope {
        QList<Source> sources;
        const Scope* parent = nullptr;
        const QList<OutputColumn>* outputs = nullptr;
    };

    QString selectSql(const Select& s, const Scope* parent, QList<OutputColumn>* cols, bool* colsKnown);
    QString branchSql(const Select& s, const Scope* parent, QList<OutputColumn>* cols, bool* colsKnown, bool withOrder);
    QString fromSql(const TableRefP& t, Scope& scope);
    QString expr(const ExprP& e, const Scope& scope, TypeInfo& type);
    QString cond(const ExprP& e, const Scope& scope);
    QString func(const Expr& e, const Scope& scope, TypeInfo& type);
    QString cast(const QString& sql, const TypeInfo& from, const TypeInfo& to, const QString& style);
    QString comparison(const QString& op, const ExprP& a, const ExprP& b, const Scope& scope);
    QString arithmetic(const QString& op, const ExprP& a, const ExprP& b, const Scope& scope, TypeInfo& type);
    // head + (a op b) + tail: an operation whose result a function checks (kv_toint,
    // kv_float); an operand that is such a check of the same kind joins the chain inside.
    QString checkedChain(const QString& head, const QString& tail, const QString& a, const QString& op, const QString& b);
    QString convertFor(const QString& sql, const TypeInfo& from, const TypeInfo& target, const QString& column = QString());
    TypeInfo columnType(const QStringList& parts, const Scope& scope, bool* found = nullptr, bool* stored = nullptr) const;
    bool storedColumn(const ExprP& e, const Scope& scope) const;
    QString decimalComparison(const QString& op, const QString& sa, const QString& sb, bool storedA, bool storedB);
    QString decimalKey(const QString& sql) const;
    QString param(const QVariant& v, const ParamSource& source = ParamSource{ParamSource::Literal, -1, QString()});
    Translated finish(Translated out) const;
    QString literal(const Expr& e, TypeInfo& type);
    QString topSql(const ExprP& top, const Scope& scope);
    Source namedSource(const QStringList& name, const QString& alias);
    const Source* targetSource(const QString& target, const Scope& scope);

    const TranslationContext& m_ctx;
    QList<QVariant> m_params;
    QHash<QString, int> m_varIndex;
    bool m_inlineOnly = false;
    QList<ParamSource> m_sources;
    QHash<const Expr*, int> m_literalIndex;
    bool m_cacheable = true;
    int m_depth = 0;   // nesting of the expression being translated
    QHash<QString, QPair<QString, QString>> m_checked;   // checked operation -> its kind, the chain inside
};

} // namespace kvtsql
