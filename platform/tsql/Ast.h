// Syntax tree of the T-SQL subset the engine runs.
#pragma once

#include "Lexer.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace kvtsql {

// A type as written in a declaration: varchar(50), decimal(28,8), int...
struct TypeRef {
    QString name;      // lower-case base name
    int p1 = -1;       // length or precision
    int p2 = -1;       // scale
    bool max = false;  // (max)
    bool valid() const { return !name.isEmpty(); }
};

struct Expr;
struct Select;
struct TableRef;
struct Stmt;
using ExprP = std::shared_ptr<Expr>;
using SelectP = std::shared_ptr<Select>;
using TableRefP = std::shared_ptr<TableRef>;
using StmtP = std::shared_ptr<Stmt>;

enum class EK {
    Null, Integer, Number, String, BinaryLit,   // literals (text holds the literal)
    Column,      // parts: [table alias or name].column
    Star,        // * or alias.*; parts holds the qualifier
    Variable,    // @name (text lower-case)
    System,      // @@name (text lower-case)
    Unary,       // op: - + ~ not
    Binary,      // op: + - * / % & | ^ = <> < > <= >=; and/or hold every operand of one chain in args
    Func,        // name (lower-case) and args; distinct; star for count(*)
    Case,        // args: [operand?] when/then pairs [else]; hasOperand, hasElse
    Cast,        // args[0] converted to type; args[1] style for convert
    Subquery,    // sel
    Exists,      // sel
    InList,      // args[0] in (args[1..])
    InSelect,    // args[0] in (sel)
    Between,     // args[0] between args[1] and args[2]
    Like,        // args[0] like args[1] [escape args[2]]
    IsNull,      // args[0] is [not] null
    Paren,       // (args[0])
};

struct Expr {
    EK kind = EK::Null;
    QString text;          // literal value, variable name, function name, operator
    QStringList parts;     // column/star qualifier parts
    QList<ExprP> args;
    SelectP sel;
    TypeRef type;          // cast/convert target
    bool negated = false;  // not in / not like / not between / is not null
    bool distinct = false; // count(distinct x)
    bool star = false;     // count(*)
    bool hasOperand = false;
    bool hasElse = false;
    bool unicode = false;  // N'...'

    Expr() = default;
    Expr(const Expr&) = default;
    Expr& operator=(const Expr&) = default;
    // frees a chain of thousands of operators node by node, never one call per node
    ~Expr();
};

struct SelectItem {
    ExprP expr;
    QString alias;        // empty: none given
    QString assignVar;    // select @v = expr
};

struct OrderItem {
    ExprP expr;
    bool desc = false;
};

struct TableRef {
    enum Kind { Named, Derived, Join } kind = Named;
    QStringList name;     // multi-part name as written
    QString alias;
    SelectP derived;
    TableRefP left, right;
    QString joinType;     // "inner", "left", "right", "full", "cross"
    ExprP on;
};

struct Select {
    bool distinct = false;
    ExprP top;
    bool topPercent = false;
    QList<SelectItem> items;
    QStringList into;            // select ... into name
    QList<TableRefP> from;       // comma-separated sources
    ExprP where;
    QList<ExprP> groupBy;
    ExprP having;
    // union chain: each further branch with its operator ("union", "union all", "except", "intersect")
    QList<QPair<QString, SelectP>> compound;
    QList<OrderItem> orderBy;    // applies to the whole chain
    bool parenthesized = false;
};

struct ColumnDef {
    QString name;
    TypeRef type;
    bool notNull = false;
    bool explicitNull = false;
    bool identity = false;
    qint64 identitySeed = 1;
    qint64 identityStep = 1;
    bool primaryKey = false;
    bool unique = false;
    ExprP defaultValue;
};

struct ExecArg {
    QString name;       // lower-case without '@'; empty: positional
    ExprP value;
    bool output = false;
};

enum class SK {
    Select, Insert, Update, Delete, CreateTable, CreateIndex, CreateView, DropTable, DropIndex, DropView, Truncate, AlterAdd,
    Declare, Set, If, Block, While, Return, Exec, BeginTran, Commit, Rollback, Raiserror, Print,
    Break, Continue, Noop,
    IdentityInsert,   // set identity_insert T on|off (table; unique: on)
    LockTimeout,      // set lock_timeout n (milliseconds in args[0]; -1: no limit)
};

struct Assignment {
    QString variable;       // @v (lower-case) or empty
    QStringList column;     // column parts
    ExprP value;
    QString op;             // "=", "+=", "-="...
};

struct Stmt {
    SK kind = SK::Noop;
    int line = 1;
    int startPos = 0;
    int endPos = 0;

    SelectP select;                 // select; insert ... select
    QStringList table;              // insert/update/delete/create/drop/truncate target
    QString alias;
    QList<QStringList> tables;      // drop table a, b
    QStringList columns;            // insert column list; index columns
    QList<bool> columnsDesc;
    QList<QList<ExprP>> values;     // insert values rows
    bool defaultValues = false;
    StmtP execSource;               // insert ... exec

    QList<Assignment> sets;         // update set; set @v
    QList<TableRefP> from;          // update/delete from
    ExprP where;
    ExprP top;

    QList<ColumnDef> columnDefs;    // create table
    QStringList primaryKey;         // table-level primary key
    QList<QStringList> uniques;     // table-level unique constraints
    QString indexName;
    bool unique = false;

    struct Decl { QString name; TypeRef type; ExprP init; };
    QList<Decl> decls;

    ExprP cond;                     // if/while
    StmtP thenStmt, elseStmt;       // if; while body in thenStmt
    QList<StmtP> body;              // begin ... end

    QString procName;
    QString returnVar;              // exec @r = P
    QList<ExecArg> execArgs;
    QList<ExprP> args;              // raiserror/print/return value

    // Shape of a select/insert/update/delete: its tokens with the literals that become
    // parameters reduced to their kind and size; statements of one shape translate alike.
    QString shapeKey;
    QList<ExprP> literals;          // those literals, in the order they were read
    QStringList variables;          // variables the statement names
};

struct SyntaxError {
    QString near;
    int line = 1;
    QString detail;
    int number = 102;   // 191: nested too deeply
};

// Parses a whole batch; raises SyntaxError with the offending token.
QList<StmtP> parseBatch(const QString& batch);

// Parses a batch from a token list already made.
QList<StmtP> parseTokens(const QList<Token>& tokens);

} // namespace kvtsql
