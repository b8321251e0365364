// The implementation of a connection, private to the engine: one session's state
// (SQLite handle, variables, @@error, @@rowcount, @@identity, the transaction
// count, caches) and the batch interpreter that runs parsed statements on it and
// turns SQLite's failures into SQL Server's errors. Its members live by concern:
//   EngineOpen.cpp     opening a file, storage settings, a whole copy, the catalog
//   EngineSqlite.cpp   SQLite statements (prepare, bind, step, release), SQLite's
//                      failures as SQL Server's errors, transactions
//   EngineValues.cpp   stored values to the caller's types, result sets, conversion
//                      to a variable's type, expressions evaluated
//   EngineCompile.cpp  compiling a batch before it runs, statement shapes
//   EngineRun.cpp      running a batch and its statements, procedures
//   EngineBulk.cpp     one batch run once per row of values
//   EngineTransactions.cpp  begin/commit/rollback, the file's write lock taken by a
//                      transaction before it first touches the file, the lock time-out
//   Engine.cpp         the procedure registry
#pragma once

#include "TsqlEngine.h"
#include "Decimal.h"

#include "Ast.h"
#include "Functions.h"
#include "Translator.h"
#include "BulkValue.h"
#include "FileLocks.h"

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QRegularExpression>

#include <limits>
#include <optional>

#include <sqlite3.h>

#include <cmath>

namespace kvtsql {

// The native procedure registered under a name (any case); empty when none is.
NativeProcedure findProcedure(const QString& name);

struct Frame {
    QHash<QString, Variable> vars;
};

enum class Flow { Next, Return, Break, Continue };

struct Connection::Impl {
    sqlite3* db = nullptr;
    QString file;
    bool readOnly = false;
    Connection::ReadOnlyCause readOnlyCause = Connection::ReadOnlyCause::None;
    int trancount = 0;
    int lastError = 0;
    qint64 rowcount = 0;
    QVariant identity;
    QString identityInsertTable;   // set identity_insert T on
    BatchResult* out = nullptr;
    Frame* frame = nullptr;
    QHash<QString, TableInfo> catalog;
    TranslationContext ctx;
    int depth = 0;

    ~Impl()
    {
        clearPrepared();
        beforeClose(db);
        if (db) sqlite3_close_v2(db);
    }

    // ---------------------------------------------------------- catalog
    TableInfo tableInfo(const QString& name);

    // The last identity value given in a table whose increment is not 1 (the seed
    // less the increment before the first row).
    QVariant currentIdentity(const QString& table);

    void schemaChanged();

    // Translations by statement shape: a statement like one translated before takes
    // that translation with its own literal values and the current variable values.
    QHash<QString, Translated> translations;

    QString shapeKey(const Stmt& s) const;

    // While a bulk batch runs its variables keep their types, so each
    // statement's key is made once, not once per row.
    QHash<const Stmt*, QString>* shapeMemo = nullptr;

    template <typename Translate>
    Translated translate(const Stmt& s, Translate how)
    {
        QString key;
        if (!s.shapeKey.isEmpty()) {
            if (shapeMemo) {
                auto memo = shapeMemo->constFind(&s);
                key = memo != shapeMemo->constEnd() ? *memo : *shapeMemo->insert(&s, shapeKey(s));
            } else {
                key = shapeKey(s);
            }
        }
        if (!key.isEmpty()) {
            auto it = translations.constFind(key);
            if (it != translations.constEnd()) {
                Translated q = *it;
                for (int i = 0; i < q.sources.size(); ++i) {
                    const ParamSource& src = q.sources[i];
                    if (src.kind == ParamSource::Literal) q.params[i] = Translator::literalValue(*s.literals[src.index]);
                    else if (src.kind == ParamSource::Variable) q.params[i] = frame->vars.value(src.name).value;
                    else q.params[i] = ctx.system(src.name);
                }
                return q;
            }
        }
        Translator tr(ctx);
        tr.setLiterals(s.literals);
        Translated q = how(tr);
        if (!key.isEmpty() && q.cacheable) {
            if (translations.size() >= 512) translations.clear();
            translations.insert(key, q);
        }
        return q;
    }

    // ---------------------------------------------------------- errors
    SqlError sqliteError(int rc, const QString& context = QString());

    bool isPrimaryKey(const QString& table, const QString& cols);

    // Raises SQLite's failure as the statement's error, the transaction kept in step.
    [[noreturn]] void fail(int rc, const QString& context = QString());

    // The error that ends the running batch, from the outermost batch to its
    // procedures' batches: set when a transaction ended on a failure (SQLite's own
    // ending included) or a failure of the kind that ends a batch met a statement;
    // cleared when the next batch starts. Nothing runs in a batch once it is set.
    std::optional<SqlError> ending;

    // ---------------------------------------------------------- running SQLite statements
    // Binds a value; SQLite's result (SQLITE_TOOBIG for a value beyond the engine's cap).
    static int bind(sqlite3_stmt* st, int i, const QVariant& v);

    // Prepared statements by their SQL text. Literals are parameters, so the
    // hundreds of statements of a write-back batch that differ only in their
    // values share one prepared statement.
    QHash<QString, sqlite3_stmt*> prepared;

    void clearPrepared();

    sqlite3_stmt* prepare(const Translated& q) { return prepare(q.sql, q.params); }

    sqlite3_stmt* prepare(const QString& sql, const QList<QVariant>& params);

    static void release(sqlite3_stmt* st);

    // Ends a statement's steps: releases it, and raises the error its last step
    // met (rc other than SQLITE_DONE).
    void finishSteps(sqlite3_stmt* st, int rc, const QString& context = QString());

    // Runs a statement that returns no rows; returns the rows it changed.
    qint64 exec(const QString& sql, const QList<QVariant>& params = {}, const QString& context = QString());

    struct Rows {
        QList<QList<QVariant>> rows;   // raw SQLite values
        QStringList names;
        QStringList declTypes;
    };

    Rows fetch(const QString& sql, const QList<QVariant>& params);

    void syncTransaction(const SqlError& error);

    // ---------------------------------------------------------- transactions (EngineTransactions.cpp)
    // A transaction takes the file's write lock before its first statement on the
    // file's tables (reading or writing), waiting for it as long as the lock
    // time-out allows; statements on #temp tables alone take no lock. Without it a
    // transaction that read first could not write after another program's commit.
    bool fileLockPending = false;   // the open transaction has yet to take the write lock
    bool compiling = false;         // a batch is being compiled: nothing is locked yet
    bool touchesFile = false;       // set while a statement is prepared, when it names the file's tables
    QSet<sqlite3_stmt*> fileStatements;   // prepared statements on the file's tables
    QString lockTable;              // a table of the file, whose empty delete takes the write lock
    int lockTimeout = 10000;        // milliseconds a statement waits for a lock; -1: no limit

    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction();
    // Takes the write lock for the open transaction when it has none yet (1222
    // after the lock time-out; the transaction stays open, as it was).
    void lockFile();
    // Before a prepared statement runs: its transaction's write lock.
    void beforeRun(sqlite3_stmt* st) { if (fileLockPending && !compiling && fileStatements.contains(st)) lockFile(); }
    void setLockTimeout(int milliseconds);
    void watchStatements();   // the authorizer that tells which statements name the file's tables

    // ---------------------------------------------------------- values
    static QVariant toApi(const QVariant& raw, const ColumnInfo& c);

    static ColumnInfo columnInfo(const QString& name, const TypeInfo& t);

    ResultSet makeResult(const Rows& r, const Translated& tr);

    // Date-times as the caller receives them, by their stored text: a result
    // repeats the same few dates in row after row, and making a local
    // date-time asks the C library for the time zone each time.
    QHash<QByteArray, QVariant> dateValues;

    struct RowLock {
        sqlite3_mutex* m;
        explicit RowLock(sqlite3_mutex* lock) : m(lock) { sqlite3_mutex_enter(m); }
        ~RowLock() { sqlite3_mutex_leave(m); }
        RowLock(const RowLock&) = delete;
        RowLock& operator=(const RowLock&) = delete;
    };

    // A stored value as it stands (a whole number, a double, a text or bytes),
    // read from a column's value while the connection's lock is held.
    static QVariant storedValue(sqlite3_value* v, int kind);

    // A result column's value as the caller receives it, read from the statement's
    // current row without an intermediate copy. The caller holds the connection's
    // lock for the row, so the column is read through its value alone.
    QVariant apiValue(sqlite3_stmt* st, int i, const ColumnInfo& c);

    // The result set of a query, its columns typed before the first row is read; a
    // column whose type only its values tell goes the long way (makeResult).
    ResultSet queryResult(const Translated& q);

    // A value as a variable of that type holds it.
    static QVariant coerce(const QVariant& raw, const TypeInfo& t);

    // ---------------------------------------------------------- interpreter
    Translator translator() { return Translator(ctx); }

    QVariant evaluate(const ExprP& e, TypeInfo* type = nullptr);

    bool condition(const ExprP& e);

    void setVariable(const QString& name, const QVariant& raw);

    void changed(qint64 n);

    // ---------------------------------------------------------- compiling
    // A batch is compiled before any statement of it runs, as SQL Server does: an
    // unknown column, variable or function in a statement on tables that exist
    // ends the batch before it starts. Statements on tables the batch has yet to
    // make are compiled when they run; from the first statement that may change
    // the schema on, the rest is left to run time too.
    static bool isCompileError(int number);

    bool compiles(const QList<StmtP>& stmts);

    // false: stop compiling ahead (the schema may change from here on)
    bool compileList(const QList<StmtP>& list);

    bool compileOne(const Stmt& s);

    Flow runList(const QList<StmtP>& list);

    void record(const SqlError& e);

    Flow run(const StmtP& s);

    int returnValue = 0;

    void simple(const Stmt& s);

    static bool namesTable(const TableRefP& t, const QString& target);

    // UPDATE ... SET @v = expr, @w = column = expr, column = expr: the variables take
    // their values from the last row the statement changes (an expression reads the
    // row as it was before the update), then the columns are updated.
    void updateWithVariables(const Stmt& s);

    void select(const Stmt& s);

    void selectInto(const Select& sel);

    void insert(const Stmt& s);

    void execProcedure(const Stmt& s, QList<ResultSet>* sink);

    Connection* owner = nullptr;

    // A bulk row whose values do not match the declared parameters.
    static SqlError rowSizeError(qsizetype values, qsizetype parameters);

    // A batch parsed once and run once per row of values: the variables of
    // the declaration take each row's values in order (as an assignment to a
    // variable of that type would), then the batch runs. Stops after the first
    // row whose batch raised an error.
    BatchResult runBulk(const QString& declarations, const QString& batch, const QList<QList<QVariant>>& rows);

    // The common bulk batch, one insert, update or delete whose values are the
    // declared parameters, literals or nothing else: translated and prepared once;
    // each row's values are converted to their declared types and bound by
    // position. Runs as the batch run row by row would, with the same errors and
    // counts. Returns false (nothing run) when the batch is not of that kind.
    bool runBulkPrepared(const QList<StmtP>& stmts, const QStringList& names, const QList<QList<QVariant>>& rows,
                         qint64& changedRows);

    BatchResult runBatch(const QString& batch, bool nested);

    // A batch that ran out of memory outside its statements: error 701, as SQLite's own.
    BatchResult outOfMemoryResult();
};

// The steps of buildDatabaseFile, for the copy a connection makes (EngineFiles.cpp).
QString buildingFileName(const QString& target);
void removeAbandonedBuilds(const QString& target);
void removeDatabaseFiles(const QString& file);
// Gives the complete file `built` the name `target`, never over an existing file;
// SqlException 4060 (`built` removed) when it cannot.
void moveIntoPlace(const QString& built, const QString& target);

} // namespace kvtsql
