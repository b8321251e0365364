// The batch interpreter: runs parsed statements on the session's SQLite
// connection, keeps variables, @@error, @@rowcount, @@identity and the
// transaction count, and turns SQLite's failures into SQL Server's errors.
#include "TsqlEngine.h"
#include "Decimal.h"

#include "Ast.h"
#include "Functions.h"
#include "Translator.h"
#include "BulkValue.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QRegularExpression>

#include <limits>

#include <sqlite3.h>

#include <cmath>

namespace kvtsql {

// SQLite's optimisation bit that evaluates constant expressions once, ahead of the loop
static constexpr int kFactorOutConst = 0x0008;

// ---------------------------------------------------------------- procedure registry
namespace {
QMutex& registryMutex()
{
    static QMutex m;
    return m;
}
QHash<QString, NativeProcedure>& registry()
{
    static QHash<QString, NativeProcedure> r;
    return r;
}
} // namespace

void registerProcedure(const QString& name, NativeProcedure procedure)
{
    QMutexLocker lock(&registryMutex());
    registry().insert(name.toLower(), std::move(procedure));
}

void unregisterProcedure(const QString& name)
{
    QMutexLocker lock(&registryMutex());
    registry().remove(name.toLower());
}

bool hasProcedure(const QString& name)
{
    QMutexLocker lock(&registryMutex());
    return registry().contains(name.toLower());
}

static NativeProcedure findProcedure(const QString& name)
{
    QMutexLocker lock(&registryMutex());
    return registry().value(name.toLower());
}

QVariant ProcedureCall::arg(const QString& name, int position) const
{
    auto it = named.find(name.toLower());
    if (it != named.end()) return *it;
    if (position >= 0 && position < positional.size()) return positional[position];
    return QVariant();
}

// ---------------------------------------------------------------- session
struct Frame {
    QHash<QString, Variable> vars;
};

enum class Flow { Next, Return, Break, Continue };

struct Connection::Impl {
    sqlite3* db = nullptr;
    QString file;
    bool readOnly = false;
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
        if (db) sqlite3_close_v2(db);
    }

    // ---------------------------------------------------------- catalog
    TableInfo tableInfo(const QString& name)
    {
        const QString key = name.toLower();
        auto it = catalog.find(key);
        if (it != catalog.end()) return *it;
        TableInfo info;
        const bool temp = name.startsWith(u'#');
        const char* sql = temp
            ? "select name, type, sql from sqlite_temp_master where type in ('table','view') and name=?1 collate nocase"
            : "select name, type, sql from main.sqlite_master where type in ('table','view') and name=?1 collate nocase";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
            QByteArray b = name.toUtf8();
            sqlite3_bind_text(st, 1, b.constData(), b.size(), SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW) {
                info.exists = true;
                info.temp = temp;
                info.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                info.view = qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)), "view") == 0;
                QString ddl = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 2)));
                bool autoinc = ddl.contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive);
                QHash<QString, QString> viewTypes;
                int mark = info.view ? ddl.lastIndexOf(QLatin1String("/*kv:types ")) : -1;
                if (mark >= 0) {
                    QString list = ddl.mid(mark + 11);
                    list.truncate(list.indexOf(QLatin1String("*/")));
                    for (const QString& item : list.split(u';', Qt::SkipEmptyParts))
                        viewTypes.insert(item.section(u'=', 0, 0).toLower(), item.section(u'=', 1));
                }
                sqlite3_finalize(st);
                st = nullptr;
                QByteArray q = QStringLiteral("PRAGMA %1table_info(%2)")
                                   .arg(temp ? "temp." : "main.", Translator::quote(info.name))
                                   .toUtf8();
                if (sqlite3_prepare_v2(db, q.constData(), -1, &st, nullptr) == SQLITE_OK) {
                    while (sqlite3_step(st) == SQLITE_ROW) {
                        TableColumn c;
                        c.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
                        QString decl = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 2)));
                        c.notNull = sqlite3_column_int(st, 3) != 0;
                        bool pk = sqlite3_column_int(st, 5) != 0;
                        if (autoinc && pk && decl.compare("INTEGER", Qt::CaseInsensitive) == 0) {
                            c.identity = true;
                            static const QRegularExpression step(QStringLiteral("/\\*kv:identity (-?\\d+),(-?\\d+)\\*/"));
                            const QRegularExpressionMatch m = step.match(ddl);
                            if (m.hasMatch()) {
                                c.identitySeed = m.captured(1).toLongLong();
                                c.identityStep = m.captured(2).toLongLong();
                            }
                            info.identityColumn = info.columns.size();
                            c.type.type = SqlType::Integer;
                            c.type.precision = 10;
                        } else {
                            c.type = typeFromDecl(decl.isEmpty() ? viewTypes.value(c.name.toLower()) : decl);
                        }
                        info.columns.append(c);
                    }
                }
            }
        }
        if (st) sqlite3_finalize(st);
        if (info.exists) catalog.insert(key, info);
        return info;
    }

    // The last identity value given in a table whose increment is not 1 (the seed
    // less the increment before the first row).
    QVariant currentIdentity(const QString& table)
    {
        const TableInfo info = tableInfo(table);
        if (info.identityColumn < 0) return QVariant();
        const TableColumn& c = info.columns[info.identityColumn];
        const QString seq = QStringLiteral("SELECT seq FROM %1sqlite_sequence WHERE name = ?1").arg(info.temp ? "temp." : "main.");
        const QString col = Translator::quote(c.name), t = Translator::quote(info.name);
        // an increasing identity continues above the highest value it ever gave; a decreasing
        // one below its lowest row (or its seed)
        Rows r = c.identityStep > 0 ? fetch(seq, {info.name}) : fetch("SELECT min(" + col + ") FROM " + t, {});
        if (!r.rows.isEmpty() && !r.rows[0].isEmpty() && !r.rows[0][0].isNull()) return r.rows[0][0].toLongLong();
        return c.identitySeed - c.identityStep;
    }

    void schemaChanged()
    {
        catalog.clear();
        translations.clear();
    }

    // Translations by statement shape: a statement like one translated before takes
    // that translation with its own literal values and the current variable values.
    QHash<QString, Translated> translations;

    QString shapeKey(const Stmt& s) const
    {
        QString key = s.shapeKey;
        for (const QString& v : s.variables) {
            auto it = frame->vars.constFind(v);
            if (it == frame->vars.constEnd()) return QString();
            key += QStringLiteral("\x1e%1:%2.%3.%4").arg(int(it->type.type)).arg(it->type.precision).arg(it->type.scale).arg(it->type.size);
        }
        return key;
    }

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
    SqlError sqliteError(int rc, const QString& context = QString())
    {
        SqlError e;
        QString msg = QString::fromUtf8(sqlite3_errmsg(db));
        int ext = sqlite3_extended_errcode(db);
        int number = 0;
        QString text;
        const int code = (ext & 0xff) == (rc & 0xff) ? ext : rc;
        if (lockError(code, trancount > 0 && !sqlite3_get_autocommit(db), e.number, e.severity, e.message)) return e;
        if ((code & 0xff) == SQLITE_READONLY) {
            e.number = 3906;
            e.message = QStringLiteral("Failed to update database \"%1\" because the database is read-only.").arg(QFileInfo(file).fileName());
            return e;
        }
        if (parseFunctionError(msg, number, text)) {
            e.number = number;
            e.message = text;
            return e;
        }
        auto after = [&](const char* prefix) { return msg.mid(int(qstrlen(prefix))).trimmed(); };
        auto stripSchema = [](QString n) {
            if (n.startsWith("main.") || n.startsWith("temp.")) n = n.mid(5);
            return n;
        };
        if (msg.startsWith("no such table:")) {
            e.number = 208;
            e.message = QStringLiteral("Invalid object name '%1'.").arg(stripSchema(after("no such table:")));
        } else if (msg.startsWith("no such column:")) {
            QString c = after("no such column:");
            if (c.contains(u'.')) {
                e.number = 4104;
                e.message = QStringLiteral("The multi-part identifier \"%1\" could not be bound.").arg(c);
            } else {
                e.number = 207;
                e.message = QStringLiteral("Invalid column name '%1'.").arg(c);
            }
        } else if (msg.startsWith("ambiguous column name:")) {
            e.number = 209;
            e.message = QStringLiteral("Ambiguous column name '%1'.").arg(after("ambiguous column name:"));
        } else if (msg.startsWith("no such function:")) {
            e.number = 195;
            e.message = QStringLiteral("'%1' is not a recognized built-in function name.").arg(after("no such function:"));
        } else if (msg.startsWith("UNIQUE constraint failed:")) {
            QString cols = after("UNIQUE constraint failed:");
            QString table = cols.section(u'.', 0, 0);
            if (ext == SQLITE_CONSTRAINT_PRIMARYKEY || ext == SQLITE_CONSTRAINT_ROWID || isPrimaryKey(table, cols)) {
                e.number = 2627;
                e.message = QStringLiteral("Violation of PRIMARY KEY constraint 'PK_%1'. Cannot insert duplicate key in object 'dbo.%1'.").arg(table);
            } else {
                e.number = 2601;
                e.message = QStringLiteral("Cannot insert duplicate key row in object 'dbo.%1' with unique index on (%2).").arg(table, cols);
            }
        } else if (msg.startsWith("NOT NULL constraint failed:")) {
            QString c = after("NOT NULL constraint failed:");
            e.number = 515;
            e.message = QStringLiteral("Cannot insert the value NULL into column '%1', table '%2'; column does not allow nulls. %3 fails.")
                            .arg(c.section(u'.', 1), c.section(u'.', 0, 0), context.isEmpty() ? "INSERT" : context);
        } else if (msg.startsWith("table ") && msg.endsWith("already exists")) {
            QString n = msg.mid(6, msg.size() - 6 - int(qstrlen(" already exists")));
            e.number = 2714;
            e.message = QStringLiteral("There is already an object named '%1' in the database.").arg(n.remove(u'"'));
        } else if (msg.startsWith("index ") && msg.endsWith("already exists")) {
            QString n = msg.mid(6, msg.size() - 6 - int(qstrlen(" already exists")));
            e.number = 1913;
            e.message = QStringLiteral("The operation failed because an index or statistics with name '%1' already exists.").arg(n.remove(u'"'));
        } else if (msg.contains("parser stack overflow") || msg.contains("Expression tree is too large")) {
            e.number = 191;
            e.message = QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries.");
        } else if (msg.contains("syntax error")) {
            QString near = msg.section(u'"', 1, 1);
            e.number = 102;
            e.message = QStringLiteral("Incorrect syntax near '%1'.").arg(near);
        } else if (msg.startsWith("wrong number of arguments to function")) {
            e.number = 174;
            e.message = QStringLiteral("The %1 function requires a different number of arguments.")
                            .arg(msg.section(' ', 6, 6).remove(QLatin1String("()")));
        } else if (msg.contains("columns but") || msg.contains("sub-select returns")) {
            e.number = 116;
            e.message = QStringLiteral("Only one expression can be specified in the select list when the subquery is not introduced with EXISTS.");
        } else if (msg.contains("SELECTs to the left and right of")) {
            e.number = 205;
            e.message = QStringLiteral("All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal number of expressions in their target lists.");
        } else if (msg.contains("misuse of aggregate") || msg.contains("aggregate functions are not allowed")) {
            e.number = 147;
            e.message = QStringLiteral("An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a HAVING clause or a select list.");
        } else {
            e.number = 50000;
            e.message = msg;
        }
        return e;
    }

    bool isPrimaryKey(const QString& table, const QString& cols)
    {
        TableInfo info = tableInfo(table);
        Q_UNUSED(cols);
        // a table whose declared key became a unique constraint beside its identity column
        QByteArray q = QStringLiteral("select count(*) from pragma_index_list(%1) where origin='pk'")
                           .arg(QStringLiteral("'%1'").arg(QString(info.name).replace("'", "''")))
                           .toUtf8();
        sqlite3_stmt* st = nullptr;
        bool pk = false;
        if (sqlite3_prepare_v2(db, q.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            pk = sqlite3_column_int(st, 0) > 0;
        if (st) sqlite3_finalize(st);
        return pk;
    }

    [[noreturn]] void fail(int rc, const QString& context = QString()) { throw StatementError{sqliteError(rc, context)}; }

    // ---------------------------------------------------------- running SQLite statements
    static void bind(sqlite3_stmt* st, int i, const QVariant& v)
    {
        if (v.isNull()) { sqlite3_bind_null(st, i); return; }
        switch (v.typeId()) {
        case QMetaType::LongLong: case QMetaType::Int: case QMetaType::UInt: case QMetaType::ULongLong:
            sqlite3_bind_int64(st, i, v.toLongLong());
            return;
        case QMetaType::Bool: sqlite3_bind_int(st, i, v.toBool() ? 1 : 0); return;
        case QMetaType::Double: case QMetaType::Float: sqlite3_bind_double(st, i, v.toDouble()); return;
        case QMetaType::QByteArray: {
            QByteArray b = v.toByteArray();
            sqlite3_bind_blob(st, i, b.constData(), b.size(), SQLITE_TRANSIENT);
            return;
        }
        case QMetaType::QDateTime: {
            QDateTime d = v.toDateTime();
            QByteArray b = canonicalDateTime(QDateTime(d.date(), d.time(), Qt::UTC)).toUtf8();
            sqlite3_bind_text(st, i, b.constData(), b.size(), SQLITE_TRANSIENT);
            return;
        }
        case QMetaType::QDate: {
            QByteArray b = canonicalDateTime(QDateTime(v.toDate(), QTime(0, 0), Qt::UTC)).toUtf8();
            sqlite3_bind_text(st, i, b.constData(), b.size(), SQLITE_TRANSIENT);
            return;
        }
        default: {
            QByteArray b = v.toString().toUtf8();
            sqlite3_bind_text(st, i, b.constData(), b.size(), SQLITE_TRANSIENT);
        }
        }
    }

    // Prepared statements by their SQL text. Literals are parameters, so the
    // hundreds of statements of a write-back batch that differ only in their
    // values share one prepared statement.
    QHash<QString, sqlite3_stmt*> prepared;

    void clearPrepared()
    {
        for (sqlite3_stmt* st : std::as_const(prepared)) sqlite3_finalize(st);
        prepared.clear();
    }

    sqlite3_stmt* prepare(const Translated& q) { return prepare(q.sql, q.params); }

    sqlite3_stmt* prepare(const QString& sql, const QList<QVariant>& params)
    {
        sqlite3_stmt* st = prepared.value(sql);
        if (!st) {
            if (prepared.size() >= 256) clearPrepared();
            QByteArray b = sql.toUtf8();
            // SQLite sets every constant apart once, searching the ones it already set
            // apart one by one: with thousands of values (a long IN list or CASE) that
            // search is quadratic, so such a statement evaluates its values where they stand
            const bool manyValues = params.size() > 1000;
            if (manyValues) sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, kFactorOutConst);
            int rc = sqlite3_prepare_v3(db, b.constData(), b.size(), SQLITE_PREPARE_PERSISTENT, &st, nullptr);
            if (manyValues) sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, 0);
            if (rc != SQLITE_OK) fail(rc);
            prepared.insert(sql, st);
        }
        for (int i = 0; i < params.size(); ++i) bind(st, i + 1, params[i]);
        return st;
    }

    static void release(sqlite3_stmt* st)
    {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    }

    // Ends a statement's steps: releases it, and raises the error its last step
    // met (rc other than SQLITE_DONE).
    void finishSteps(sqlite3_stmt* st, int rc, const QString& context = QString())
    {
        if (rc != SQLITE_DONE) {
            SqlError e = sqliteError(rc, context);
            release(st);
            syncTransaction(e);
            throw StatementError{e};
        }
        release(st);
    }

    // Runs a statement that returns no rows; returns the rows it changed.
    qint64 exec(const QString& sql, const QList<QVariant>& params = {}, const QString& context = QString())
    {
        sqlite3_stmt* st = prepare(sql, params);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {}
        finishSteps(st, rc, context);
        return sqlite3_changes64(db);
    }

    struct Rows {
        QList<QList<QVariant>> rows;   // raw SQLite values
        QStringList names;
        QStringList declTypes;
    };

    Rows fetch(const QString& sql, const QList<QVariant>& params)
    {
        sqlite3_stmt* st = prepare(sql, params);
        Rows r;
        const int n = sqlite3_column_count(st);
        for (int i = 0; i < n; ++i) {
            r.names << QString::fromUtf8(sqlite3_column_name(st, i));
            const char* d = sqlite3_column_decltype(st, i);
            r.declTypes << (d ? QString::fromUtf8(d) : QString());
        }
        sqlite3_mutex* lock = sqlite3_db_mutex(db);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            QList<QVariant> row;
            row.reserve(n);
            {
                const RowLock held(lock);
                for (int i = 0; i < n; ++i) {
                    sqlite3_value* v = sqlite3_column_value(st, i);
                    row << storedValue(v, sqlite3_value_type(v));
                }
            }
            r.rows.append(row);
        }
        finishSteps(st, rc);
        return r;
    }

    void syncTransaction(const SqlError& error)
    {
        // a transaction chosen to end on a lock conflict is rolled back, as SQL Server does
        if (error.number == 1205 && !sqlite3_get_autocommit(db)) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            trancount = 0;
            schemaChanged();
        }
        // SQLite ends a transaction by itself on some failures (disk full, interrupted)
        if (trancount > 0 && sqlite3_get_autocommit(db)) trancount = 0;
    }

    // ---------------------------------------------------------- values
    static QVariant toApi(const QVariant& raw, const ColumnInfo& c)
    {
        if (raw.isNull()) return QVariant();
        const int t = raw.typeId();
        switch (c.type) {
        case SqlType::Integer:
            if (t == QMetaType::LongLong) return raw;
            if (t == QMetaType::Double) {
                const double d = std::trunc(raw.toDouble());
                return std::fabs(d) < 9.2e18 ? QVariant(qlonglong(d)) : raw;
            }
            {
                bool ok = false;
                qlonglong v = raw.toString().trimmed().toLongLong(&ok);
                return ok ? QVariant(v) : raw;
            }
        case SqlType::Bit:
            if (t == QMetaType::QString) {
                QString s = raw.toString().trimmed();
                if (s.compare("true", Qt::CaseInsensitive) == 0) return qlonglong(1);
                if (s.compare("false", Qt::CaseInsensitive) == 0) return qlonglong(0);
            }
            return qlonglong(raw.toDouble() != 0 ? 1 : 0);
        case SqlType::Float: return raw.toDouble();
        case SqlType::Decimal: {
            QString f = formatDecimal(raw, c.scale);
            return f.isEmpty() ? raw : QVariant(f);
        }
        case SqlType::DateTime: {
            if (t == QMetaType::QString) {
                QDateTime d;
                if (parseDateText(raw.toString(), d)) return QDateTime(d.date(), d.time());
            }
            return raw;
        }
        case SqlType::Text:
            if (t == QMetaType::LongLong) return QString::number(raw.toLongLong());
            if (t == QMetaType::Double) return QString::number(raw.toDouble(), 'g', 15);
            if (t == QMetaType::QByteArray) return QString::fromUtf8(raw.toByteArray());
            return raw;
        case SqlType::Binary: return raw.toByteArray();
        case SqlType::Null: return raw;
        }
        return raw;
    }

    static ColumnInfo columnInfo(const QString& name, const TypeInfo& t)
    {
        ColumnInfo c;
        c.name = name;
        c.type = t.type;
        c.precision = t.precision;
        c.scale = t.scale;
        c.size = t.size;
        return c;
    }

    ResultSet makeResult(const Rows& r, const Translated& tr)
    {
        ResultSet rs;
        const int n = r.names.size();
        for (int i = 0; i < n; ++i) {
            TypeInfo t;
            if (tr.columnsKnown && tr.columns.size() == n) t = tr.columns[i].type;
            if (!t.known() && !r.declTypes[i].isEmpty()) t = typeFromDecl(r.declTypes[i]);
            if (!t.known()) {
                for (const auto& row : r.rows) {
                    const QVariant& v = row[i];
                    if (v.isNull()) continue;
                    if (v.typeId() == QMetaType::LongLong) t.type = SqlType::Integer;
                    else if (v.typeId() == QMetaType::Double) t.type = SqlType::Float;
                    else if (v.typeId() == QMetaType::QByteArray) t.type = SqlType::Binary;
                    else t.type = SqlType::Text;
                    break;
                }
                if (!t.known()) t.type = SqlType::Text;
            }
            rs.columns << columnInfo(r.names[i], t);
        }
        rs.rows.reserve(r.rows.size());
        for (const auto& row : r.rows) {
            QList<QVariant> out;
            out.reserve(n);
            for (int i = 0; i < n; ++i) out << toApi(row[i], rs.columns[i]);
            rs.rows.append(out);
        }
        return rs;
    }

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
    static QVariant storedValue(sqlite3_value* v, int kind)
    {
        switch (kind) {
        case SQLITE_INTEGER: return qlonglong(sqlite3_value_int64(v));
        case SQLITE_FLOAT: return sqlite3_value_double(v);
        case SQLITE_TEXT:
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
        case SQLITE_BLOB: return QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
        default: return QVariant();
        }
    }

    // A result column's value as the caller receives it, read from the statement's
    // current row without an intermediate copy. The caller holds the connection's
    // lock for the row, so the column is read through its value alone.
    QVariant apiValue(sqlite3_stmt* st, int i, const ColumnInfo& c)
    {
        sqlite3_value* v = sqlite3_column_value(st, i);
        const int kind = sqlite3_value_type(v);
        if (kind == SQLITE_NULL) return QVariant();
        switch (c.type) {
        case SqlType::Integer:
            if (kind == SQLITE_INTEGER) return qlonglong(sqlite3_value_int64(v));
            break;
        case SqlType::Text:
            if (kind == SQLITE_TEXT)
                return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
            break;
        case SqlType::Decimal:
            if (kind == SQLITE_TEXT) {
                QString f;
                const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
                if (formatPlainDecimal(text, sqlite3_value_bytes(v), c.scale, f)) return f;
            }
            break;
        case SqlType::DateTime:
            if (kind == SQLITE_TEXT) {
                const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
                const int size = sqlite3_value_bytes(v);
                if (size > 64) break;
                const QByteArray key = QByteArray::fromRawData(text, size);
                const auto it = dateValues.constFind(key);
                if (it != dateValues.constEnd()) return *it;
                QVariant value = toApi(storedValue(v, kind), c);
                if (dateValues.size() >= 4096) dateValues.clear();
                dateValues.insert(QByteArray(text, size), value);
                return value;
            }
            break;
        default: break;
        }
        return toApi(storedValue(v, kind), c);
    }

    // The result set of a query, its columns typed before the first row is read; a
    // column whose type only its values tell goes the long way (makeResult).
    ResultSet queryResult(const Translated& q)
    {
        sqlite3_stmt* st = prepare(q.sql, q.params);
        const int n = sqlite3_column_count(st);
        ResultSet rs;
        for (int i = 0; i < n; ++i) {
            TypeInfo t;
            if (q.columnsKnown && q.columns.size() == n) t = q.columns[i].type;
            if (!t.known()) {
                const char* d = sqlite3_column_decltype(st, i);
                if (d && *d) t = typeFromDecl(QString::fromUtf8(d));
            }
            if (!t.known()) {
                release(st);
                return makeResult(fetch(q.sql, q.params), q);
            }
            rs.columns << columnInfo(QString::fromUtf8(sqlite3_column_name(st, i)), t);
        }
        sqlite3_mutex* lock = sqlite3_db_mutex(db);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            QList<QVariant> row;
            row.reserve(n);
            {
                const RowLock held(lock);
                for (int i = 0; i < n; ++i) row.append(apiValue(st, i, rs.columns[i]));
            }
            rs.rows.append(std::move(row));
        }
        finishSteps(st, rc);
        return rs;
    }

    // A value as a variable of that type holds it.
    static QVariant coerce(const QVariant& raw, const TypeInfo& t)
    {
        if (raw.isNull()) return QVariant();
        const int rt = raw.typeId();
        switch (t.type) {
        case SqlType::Integer: {
            qlonglong v = 0;
            if (rt == QMetaType::LongLong) {
                v = raw.toLongLong();
            } else if (rt == QMetaType::Double) {
                const double d = std::trunc(raw.toDouble());
                if (!(std::fabs(d) < 9.2e18))
                    raise(8115, QStringLiteral("Arithmetic overflow error converting expression to data type int."));
                v = qlonglong(d);
            } else {
                bool ok = false;
                QString s = raw.toString().trimmed();
                const int dot = s.indexOf(u'.');
                v = s.toLongLong(&ok);
                if (!ok && dot >= 0) {
                    // a decimal's text: its whole part
                    const QString whole = s.left(dot);
                    bool digits = true;
                    for (int i = dot + 1; i < s.size(); ++i) digits = digits && s[i].isDigit();
                    if (digits) v = whole == u'-' || whole.isEmpty() ? 0 : whole.toLongLong(&ok);
                }
                if (!ok && !s.isEmpty())
                    raise(245, QStringLiteral("Conversion failed when converting the varchar value '%1' to data type int.").arg(raw.toString()));
            }
            // each integer type holds its own range
            if (t.precision == 3 && (v < 0 || v > 255))
                raise(220, QStringLiteral("Arithmetic overflow error for data type tinyint, value = %1.").arg(v));
            if (t.precision == 5 && (v < -32768 || v > 32767))
                raise(220, QStringLiteral("Arithmetic overflow error for data type smallint, value = %1.").arg(v));
            if ((t.precision == 10 || t.precision == 0) && (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max()))
                raise(8115, QStringLiteral("Arithmetic overflow error converting expression to data type int."));
            return v;
        }
        case SqlType::Bit:
            if (rt == QMetaType::QString) {
                QString s = raw.toString().trimmed();
                if (s.compare("true", Qt::CaseInsensitive) == 0) return qlonglong(1);
                if (s.compare("false", Qt::CaseInsensitive) == 0) return qlonglong(0);
            }
            return qlonglong(raw.toDouble() != 0 ? 1 : 0);
        case SqlType::Decimal: {
            // exact: the value brought to the variable's precision and scale
            const int p = std::clamp(t.precision > 0 ? t.precision : 18, 1, 38), sc = std::clamp(t.scale, 0, p);
            try {
                kvdec::Decimal d;
                if (rt == QMetaType::LongLong || rt == QMetaType::Int) d = kvdec::Decimal::fromInt(raw.toLongLong(), p, sc);
                else if (rt == QMetaType::Double) d = kvdec::Decimal::fromDouble(raw.toDouble(), p, sc);
                else d = kvdec::Decimal::parse(raw.toString().toStdString(), p, sc);
                return QString::fromStdString(d.toString());
            } catch (const kvdec::DecimalError& e) {
                raise(e.number(), QString::fromUtf8(e.what()));
            }
        }
        case SqlType::Float: return raw.toDouble();
        case SqlType::DateTime: {
            if (rt == QMetaType::QString) {
                QDateTime d;
                if (!parseDateText(raw.toString(), d))
                    raise(241, QStringLiteral("Conversion failed when converting date and/or time from character string."));
                return canonicalDateTime(t.precision == 1 ? roundToMinute(d) : d);
            }
            if (rt == QMetaType::LongLong || rt == QMetaType::Double) {
                double v = raw.toDouble();
                if (!(std::fabs(v) < 3e6))
                    raise(8115, QStringLiteral("Arithmetic overflow error converting expression to data type datetime."));
                double days = std::floor(v);
                QDateTime d = QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC)
                                  .addDays(qint64(days))
                                  .addMSecs(qint64(std::llround((v - days) * 86400000.0)));
                return canonicalDateTime(t.precision == 1 ? roundToMinute(d) : d);
            }
            return raw;
        }
        case SqlType::Text: {
            QString s;
            if (rt == QMetaType::LongLong) s = QString::number(raw.toLongLong());
            else if (rt == QMetaType::Double) s = QString::number(raw.toDouble(), 'g', 15);
            else s = raw.toString();
            if (t.size > 0 && s.size() > t.size) s.truncate(t.size);
            if (t.fixed && s.size() < t.size) s = s.leftJustified(t.size, u' ');
            return s;
        }
        case SqlType::Binary: return raw.toByteArray();
        case SqlType::Null: return raw;
        }
        return raw;
    }

    // ---------------------------------------------------------- interpreter
    Translator translator() { return Translator(ctx); }

    QVariant evaluate(const ExprP& e, TypeInfo* type = nullptr)
    {
        Translator tr(ctx);
        TypeInfo t;
        Translated q = tr.scalar(e, false, &t);
        Rows r = fetch(q.sql, q.params);
        if (type) *type = t;
        return r.rows.isEmpty() ? QVariant() : r.rows[0][0];
    }

    bool condition(const ExprP& e)
    {
        Translator tr(ctx);
        Translated q = tr.scalar(e, true);
        Rows r = fetch(q.sql, q.params);
        return !r.rows.isEmpty() && r.rows[0][0].toLongLong() != 0;
    }

    void setVariable(const QString& name, const QVariant& raw)
    {
        auto it = frame->vars.find(name);
        if (it == frame->vars.end()) raise(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(name));
        it->value = coerce(raw, it->type);
    }

    void changed(qint64 n)
    {
        rowcount = n;
        out->rowsAffected = n;
    }

    // ---------------------------------------------------------- compiling
    // A batch is compiled before any statement of it runs, as SQL Server does: an
    // unknown column, variable or function in a statement on tables that exist
    // ends the batch before it starts. Statements on tables the batch has yet to
    // make are compiled when they run; from the first statement that may change
    // the schema on, the rest is left to run time too.
    static bool isCompileError(int number)
    {
        static const QSet<int> numbers = {207, 209, 4104, 137, 195, 174, 205, 116, 141, 2749, 2750, 192, 2715};
        return numbers.contains(number);
    }

    bool compiles(const QList<StmtP>& stmts)
    {
        Frame pre;
        Frame* saved = frame;
        frame = &pre;
        bool ok = true;
        try {
            compileList(stmts);
        } catch (const StatementError& e) {
            record(e.error);
            ok = false;
        } catch (const std::exception&) {
            // anything else shows when the statement runs
        }
        frame = saved;
        return ok;
    }

    // false: stop compiling ahead (the schema may change from here on)
    bool compileList(const QList<StmtP>& list)
    {
        for (const StmtP& s : list)
            if (!compileOne(*s)) return false;
        return true;
    }

    bool compileOne(const Stmt& s)
    {
        auto check = [&](auto&& body) {
            try {
                body();
            } catch (const StatementError& e) {
                if (isCompileError(e.error.number)) throw;
            }
        };
        switch (s.kind) {
        case SK::Block: return compileList(s.body);
        case SK::If:
        case SK::While:
            check([&] { Translator(ctx).scalar(s.cond, true); });
            if (s.thenStmt && !compileOne(*s.thenStmt)) return false;
            return !s.elseStmt || compileOne(*s.elseStmt);
        case SK::Declare:
            for (int i = 0; i < s.decls.size(); ++i) {
                const Stmt::Decl& d = s.decls[i];
                checkDecimalType(d.type, i + 1);
                Variable v;
                v.type = typeFromRef(d.type);
                if (!v.type.known()) return false;
                if (d.init) check([&] { Translator(ctx).scalar(d.init, false); });
                frame->vars.insert(d.name, v);
            }
            return true;
        case SK::Set:
            if (!frame->vars.contains(s.sets.first().variable))
                raise(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(s.sets.first().variable));
            check([&] { Translator(ctx).scalar(s.sets.first().value, false); });
            return true;
        case SK::Select:
            if (!s.select->into.isEmpty()) return false;
            check([&] { release(prepare(translate(s, [&](Translator& tr) { return tr.query(*s.select); }))); });
            return true;
        case SK::Insert:
            if (s.execSource) return false;
            check([&] { release(prepare(translate(s, [&](Translator& tr) { return tr.insert(s); }))); });
            return true;
        case SK::Update:
            for (const Assignment& a : s.sets)
                if (!a.variable.isEmpty()) return true;
            check([&] { release(prepare(translate(s, [&](Translator& tr) { return tr.update(s); }))); });
            return true;
        case SK::Delete:
            check([&] { release(prepare(translate(s, [&](Translator& tr) { return tr.remove(s); }))); });
            return true;
        case SK::Print: case SK::Raiserror: case SK::Return: case SK::Break: case SK::Continue: case SK::Noop:
        case SK::BeginTran: case SK::Commit: case SK::Rollback:
            return true;
        default:
            return false;
        }
    }

    Flow runList(const QList<StmtP>& list)
    {
        for (const StmtP& s : list) {
            Flow f = run(s);
            if (f != Flow::Next) return f;
        }
        return Flow::Next;
    }

    void record(const SqlError& e)
    {
        out->errors.append(e);
        out->errors.last().resultSetsBefore = int(out->resultSets.size());
        lastError = e.number;
    }

    Flow run(const StmtP& s)
    {
        try {
            switch (s->kind) {
            case SK::Block: return runList(s->body);
            case SK::If: {
                bool c = condition(s->cond);
                lastError = 0;
                if (c) return run(s->thenStmt);
                if (s->elseStmt) return run(s->elseStmt);
                return Flow::Next;
            }
            case SK::While: {
                for (;;) {
                    bool c = condition(s->cond);
                    lastError = 0;
                    if (!c) break;
                    Flow f = run(s->thenStmt);
                    if (f == Flow::Break) break;
                    if (f == Flow::Return) return f;
                }
                return Flow::Next;
            }
            case SK::Return:
                if (!s->args.isEmpty()) returnValue = evaluate(s->args[0]).toInt();
                return Flow::Return;
            case SK::Break: return Flow::Break;
            case SK::Continue: return Flow::Continue;
            default: break;
            }
            simple(*s);
            lastError = 0;
        } catch (const StatementError& e) {
            record(e.error);
            // errors SQL Server finds while compiling (unknown column, variable or
            // function, wrong argument count) end the batch, as they do there; so does
            // a transaction chosen to end on a lock conflict
            static const QSet<int> compileErrors = {207, 209, 4104, 137, 195, 174, 205, 116, 141, 1038, 1205, 2749, 2750, 192};
            if (compileErrors.contains(e.error.number)) return Flow::Return;
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            SqlError err;
            err.number = 50000;
            err.message = QString::fromLocal8Bit(e.what());
            record(err);
        }
        return Flow::Next;
    }

    int returnValue = 0;

    void simple(const Stmt& s)
    {
        switch (s.kind) {
        case SK::Select: select(s); return;
        case SK::Insert: insert(s); return;
        case SK::Update: {
            for (const Assignment& a : s.sets)
                if (!a.variable.isEmpty()) return updateWithVariables(s);
            Translated q = translate(s, [&](Translator& tr) { return tr.update(s); });
            changed(exec(q.sql, q.params, "UPDATE"));
            return;
        }
        case SK::Delete: {
            Translated q = translate(s, [&](Translator& tr) { return tr.remove(s); });
            changed(exec(q.sql, q.params, "DELETE"));
            return;
        }
        case SK::CreateTable: {
            Translator tr(ctx);
            QStringList sql = tr.createTable(s);
            QString name = Translator::tableName(s.table);
            if (tableInfo(name).exists)
                raise(2714, QStringLiteral("There is already an object named '%1' in the database.").arg(name));
            schemaChanged();
            for (const QString& q : sql) exec(q);
            schemaChanged();
            return;
        }
        case SK::CreateIndex: {
            Translator tr(ctx);
            QString name = Translator::tableName(s.table);
            TableInfo info = tableInfo(name);
            if (!info.exists) raise(1088, QStringLiteral("Cannot find the object \"%1\" because it does not exist or you do not have permissions.").arg(name));
            for (const QString& c : s.columns)
                if (info.indexOf(c) < 0)
                    raise(1911, QStringLiteral("Column name '%1' does not exist in the target table or view.").arg(c));
            try {
                exec(tr.createIndex(s));
            } catch (StatementError& e) {
                if (e.error.number == 2601) {
                    e.error.number = 1505;
                    e.error.message = QStringLiteral("The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object name 'dbo.%1'.").arg(name);
                }
                throw;
            }
            schemaChanged();
            return;
        }
        case SK::CreateView: {
            QString name = Translator::tableName(s.table);
            if (name.startsWith(u'#'))
                raise(4103, QStringLiteral("\"%1\": Temporary views are not allowed.").arg(name));
            if (tableInfo(name).exists)
                raise(2714, QStringLiteral("There is already an object named '%1' in the database.").arg(name));
            Translator tr(ctx);
            QString sql = tr.createView(s);
            schemaChanged();
            exec(sql);
            schemaChanged();
            return;
        }
        case SK::DropView:
            for (const QStringList& t : s.tables) {
                QString name = Translator::tableName(t);
                TableInfo info = tableInfo(name);
                if (!info.exists || !info.view)
                    raise(3701, QStringLiteral("Cannot drop the view '%1', because it does not exist or you do not have permission.").arg(name));
                schemaChanged();
                exec("DROP VIEW main." + Translator::quote(info.name));
                schemaChanged();
            }
            return;
        case SK::DropTable:
            for (const QStringList& t : s.tables) {
                QString name = Translator::tableName(t);
                TableInfo info = tableInfo(name);
                if (!info.exists || info.view)
                    raise(3701, QStringLiteral("Cannot drop the table '%1', because it does not exist or you do not have permission.").arg(name));
                schemaChanged();
                exec("DROP TABLE " + QString(info.temp ? "temp." : "main.") + Translator::quote(info.name));
                schemaChanged();
            }
            return;
        case SK::DropIndex: {
            QString table = Translator::tableName(s.table);
            QString idx = table + "." + s.indexName;
            sqlite3_stmt* st = prepare("select 1 from sqlite_temp_master where type='index' and name=?1 collate nocase "
                                       "union all select 1 from main.sqlite_master where type='index' and name=?1 collate nocase",
                                       {idx});
            bool exists = sqlite3_step(st) == SQLITE_ROW;
            release(st);
            if (!exists)
                raise(3701, QStringLiteral("Cannot drop the index '%1.%2', because it does not exist or you do not have permission.").arg(table, s.indexName));
            exec("DROP INDEX " + Translator::quote(idx));
            schemaChanged();
            return;
        }
        case SK::Truncate: {
            QString name = Translator::tableName(s.table);
            TableInfo info = tableInfo(name);
            if (!info.exists || info.view)
                raise(4701, QStringLiteral("Cannot find the object \"%1\" because it does not exist or you do not have permissions.").arg(name));
            exec("DELETE FROM " + Translator::quote(info.name));
            if (info.identityColumn >= 0)
                exec(QStringLiteral("DELETE FROM %1sqlite_sequence WHERE name=?1").arg(info.temp ? "temp." : "main."), {info.name});
            return;
        }
        case SK::AlterAdd: {
            QString name = Translator::tableName(s.table);
            TableInfo info = tableInfo(name);
            if (!info.exists) raise(4902, QStringLiteral("Cannot find the object \"%1\" because it does not exist or you do not have permissions.").arg(name));
            Stmt tmp;
            tmp.kind = SK::CreateTable;
            tmp.table = QStringList{"x"};
            tmp.columnDefs = s.columnDefs;
            Translator tr(ctx);
            QString ddl = tr.createTable(tmp).first();
            // reuse the column definitions of a CREATE TABLE
            QString defs = ddl.mid(ddl.indexOf(u'(') + 1);
            defs.chop(1);
            for (const ColumnDef& c : s.columnDefs) {
                if (info.indexOf(c.name) >= 0)
                    raise(2705, QStringLiteral("Column names in each table must be unique. Column name '%1' in table '%2' is specified more than once.").arg(c.name, name));
                if (c.identity) raise(4901, QStringLiteral("ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT definition specified."));
            }
            const QStringList parts = defs.split(QLatin1String(", \""));
            for (int i = 0; i < parts.size(); ++i) {
                QString d = i == 0 ? parts[i] : "\"" + parts[i];
                exec("ALTER TABLE " + Translator::quote(info.name) + " ADD COLUMN " + d);
            }
            schemaChanged();
            return;
        }
        case SK::IdentityInsert: {
            const QString name = Translator::tableName(s.table);
            const TableInfo info = tableInfo(name);
            if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(s.table.join(u'.')));
            if (info.identityColumn < 0)
                raise(8106, QStringLiteral("Table '%1' does not have the identity property. Cannot perform SET operation.").arg(info.name));
            if (s.unique) {
                if (!identityInsertTable.isEmpty() && identityInsertTable.compare(info.name, Qt::CaseInsensitive) != 0)
                    raise(8107, QStringLiteral("IDENTITY_INSERT is already ON for table '%1'. Cannot perform SET operation for table '%2'.")
                                    .arg(identityInsertTable, info.name));
                identityInsertTable = info.name;
            } else if (identityInsertTable.compare(info.name, Qt::CaseInsensitive) == 0) {
                identityInsertTable.clear();
            }
            translations.clear();   // inserts into that table translate differently now
            return;
        }
        case SK::Declare:
            for (int i = 0; i < s.decls.size(); ++i) {
                const Stmt::Decl& d = s.decls[i];
                checkDecimalType(d.type, i + 1);
                if (frame->vars.contains(d.name))
                    raise(134, QStringLiteral("The variable name '%1' has already been declared. Variable names must be unique within a query batch or stored procedure.").arg(d.name));
                Variable v;
                v.type = typeFromRef(d.type);
                if (!v.type.known()) raise(2715, QStringLiteral("Column, parameter, or variable %1: Cannot find data type %2.").arg(d.name, d.type.name));
                frame->vars.insert(d.name, v);
                if (d.init) setVariable(d.name, evaluate(d.init));
            }
            return;
        case SK::Set: {
            const Assignment& a = s.sets.first();
            if (!frame->vars.contains(a.variable)) raise(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(a.variable));
            ExprP value = a.value;
            if (a.op != "=") {
                auto v = std::make_shared<Expr>();
                v->kind = EK::Variable;
                v->text = a.variable;
                auto b = std::make_shared<Expr>();
                b->kind = EK::Binary;
                b->text = a.op.left(1);
                b->args << v << a.value;
                value = b;
            }
            setVariable(a.variable, evaluate(value));
            rowcount = 1;
            return;
        }
        case SK::Exec: execProcedure(s, nullptr); return;
        case SK::BeginTran:
            if (trancount == 0) exec("BEGIN");
            ++trancount;
            return;
        case SK::Commit:
            if (trancount == 0)
                raise(3902, QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."));
            if (trancount == 1) exec("COMMIT");
            --trancount;
            return;
        case SK::Rollback:
            if (trancount == 0)
                raise(3903, QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."));
            trancount = 0;
            if (!sqlite3_get_autocommit(db)) exec("ROLLBACK");
            schemaChanged();
            return;
        case SK::Raiserror: {
            QVariant msg = evaluate(s.args[0]);
            int severity = s.args.size() > 1 ? evaluate(s.args[1]).toInt() : 16;
            int state = s.args.size() > 2 ? evaluate(s.args[2]).toInt() : 1;
            QString text = msg.toString();
            for (int i = 3; i < s.args.size(); ++i) {
                QVariant v = evaluate(s.args[i]);
                static const QRegularExpression formatSpec(QStringLiteral("%[-+ 0#]*\\d*(?:\\.\\d+)?[dDiIsSuUxX]"));
                QRegularExpressionMatch m = formatSpec.match(text);
                if (!m.hasMatch()) break;
                text.replace(m.capturedStart(), m.capturedLength(), v.toString());
            }
            if (severity > 10) {
                SqlError e;
                e.number = 50000;
                e.severity = severity;
                e.state = state;
                e.message = text;
                throw StatementError{e};
            }
            return;
        }
        case SK::Print:
            evaluate(s.args[0]);
            return;
        case SK::Noop: return;
        default: return;
        }
    }

    static bool namesTable(const TableRefP& t, const QString& target)
    {
        if (!t) return false;
        if (t->kind == TableRef::Join) return namesTable(t->left, target) || namesTable(t->right, target);
        if (t->kind != TableRef::Named) return t->alias.compare(target, Qt::CaseInsensitive) == 0;
        return t->alias.compare(target, Qt::CaseInsensitive) == 0 || Translator::tableName(t->name).compare(target, Qt::CaseInsensitive) == 0;
    }

    // UPDATE ... SET @v = expr, @w = column = expr, column = expr: the variables take
    // their values from the last row the statement changes (an expression reads the
    // row as it was before the update), then the columns are updated.
    void updateWithVariables(const Stmt& s)
    {
        auto sel = std::make_shared<Select>();
        sel->top = s.top;
        sel->where = s.where;
        sel->from = s.from;
        const QString target = Translator::tableName(s.table);
        bool inFrom = false;
        for (const TableRefP& t : s.from) inFrom = inFrom || namesTable(t, target);
        if (!inFrom) {
            auto ref = std::make_shared<TableRef>();
            ref->name = s.table;
            sel->from.prepend(ref);
        }
        Stmt columns = s;
        columns.sets.clear();
        for (const Assignment& a : s.sets) {
            if (a.variable.isEmpty()) {
                columns.sets << a;
                continue;
            }
            if (!frame->vars.contains(a.variable)) raise(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(a.variable));
            SelectItem it;
            it.assignVar = a.variable;
            it.expr = a.value;
            if (a.op != "=") {
                auto v = std::make_shared<Expr>();
                v->kind = EK::Variable;
                v->text = a.variable;
                auto b = std::make_shared<Expr>();
                b->kind = EK::Binary;
                b->text = a.op.left(1);
                b->args << v << a.value;
                it.expr = b;
            }
            sel->items << it;
            if (!a.column.isEmpty()) {
                Assignment c = a;
                c.variable.clear();
                columns.sets << c;
            }
        }
        Stmt vars;
        vars.kind = SK::Select;
        vars.select = sel;
        vars.literals = s.literals;
        vars.variables = s.variables;
        vars.shapeKey = s.shapeKey.isEmpty() ? QString() : QStringLiteral("update-variables:") + s.shapeKey;
        select(vars);
        if (columns.sets.isEmpty()) return;   // @@rowcount: the rows the variables were read from
        columns.shapeKey = s.shapeKey.isEmpty() ? QString() : QStringLiteral("update-columns:") + s.shapeKey;
        Translated q = translate(columns, [&](Translator& tr) { return tr.update(columns); });
        changed(exec(q.sql, q.params, "UPDATE"));
    }

    void select(const Stmt& s)
    {
        const Select& sel = *s.select;
        bool assigns = false, retrieves = false;
        for (const SelectItem& it : sel.items) (it.assignVar.isEmpty() ? retrieves : assigns) = true;
        if (assigns && retrieves)
            raise(141, QStringLiteral("A SELECT statement that assigns a value to a variable must not be combined with data-retrieval operations."));
        if (!sel.into.isEmpty()) {
            selectInto(sel);
            return;
        }
        if (assigns) {
            Translated q = translate(s, [&](Translator& tr) { return tr.query(sel); });
            Rows r = fetch(q.sql, q.params);
            for (const auto& row : r.rows)
                for (int i = 0; i < sel.items.size(); ++i) setVariable(sel.items[i].assignVar, row[i]);
            rowcount = r.rows.size();
            return;
        }
        Translated q = translate(s, [&](Translator& tr) { return tr.query(sel); });
        out->resultSets.append(queryResult(q));
        rowcount = out->resultSets.last().rows.size();
    }

    void selectInto(const Select& sel)
    {
        Select copy = sel;
        QString name = Translator::tableName(sel.into);
        copy.into.clear();
        Translator tr(ctx);
        Translated q = tr.query(copy);
        if (tableInfo(name).exists)
            raise(2714, QStringLiteral("There is already an object named '%1' in the database.").arg(name));
        QList<OutputColumn> cols = q.columns;
        if (!q.columnsKnown) {
            // a source whose columns the catalog does not know: take SQLite's own names and declared types
            sqlite3_stmt* st = prepare(q.sql, q.params);
            cols.clear();
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const char* d = sqlite3_column_decltype(st, i);
                cols.append({QString::fromUtf8(sqlite3_column_name(st, i)), d ? typeFromDecl(QString::fromUtf8(d)) : TypeInfo()});
            }
            release(st);
        }
        QString ddl = tr.createTableFor(name, cols);
        // the new table and its rows come together or not at all
        schemaChanged();
        exec("SAVEPOINT kv_into");
        qint64 n = 0;
        try {
            exec(ddl);
            schemaChanged();
            n = exec("INSERT INTO " + Translator::quote(name) + " " + q.sql, q.params);
        } catch (const StatementError&) {
            sqlite3_exec(db, "ROLLBACK TO kv_into; RELEASE kv_into", nullptr, nullptr, nullptr);
            schemaChanged();
            throw;
        }
        exec("RELEASE kv_into");
        changed(n);
    }

    void insert(const Stmt& s)
    {
        Translator tr(ctx);
        if (s.execSource) {
            Translated q = tr.insert(s);   // validates the target; its SQL is not used
            QList<ResultSet> sets;
            execProcedure(*s.execSource, &sets);
            TableInfo info = tableInfo(Translator::tableName(s.table));
            QStringList names, marks;
            for (int i = 0; i < q.columns.size(); ++i) {
                names << Translator::quote(q.columns[i].name);
                marks << QStringLiteral("?%1").arg(i + 1);
            }
            QString sql = "INSERT INTO " + Translator::quote(info.name) + " (" + names.join(", ") + ") VALUES (" + marks.join(", ") + ")";
            qint64 n = 0;
            for (const ResultSet& rs : sets) {
                if (rs.columns.size() != q.columns.size())
                    raise(213, QStringLiteral("Column name or number of supplied values does not match table definition."));
                for (const auto& row : rs.rows) {
                    QList<QVariant> vals;
                    for (int i = 0; i < row.size(); ++i) vals << coerce(row[i], q.columns[i].type);
                    n += exec(sql, vals);
                }
            }
            changed(n);
            return;
        }
        Translated q = translate(s, [&](Translator& t) { return t.insert(s); });
        qint64 n = exec(q.sql, q.params, "INSERT");
        TableInfo info = tableInfo(Translator::tableName(s.table));
        if (info.identityColumn >= 0 && n > 0) identity = qlonglong(sqlite3_last_insert_rowid(db));
        changed(n);
    }

    void execProcedure(const Stmt& s, QList<ResultSet>* sink)
    {
        NativeProcedure proc = findProcedure(s.procName);
        if (!proc) raise(2812, QStringLiteral("Could not find stored procedure '%1'.").arg(s.procName));
        ProcedureCall call;
        call.connection = owner;
        for (const ExecArg& a : s.execArgs) {
            QVariant v = evaluate(a.value);
            if (a.value->kind == EK::Variable) {
                // a date variable reaches the procedure as a date
                const Variable* var = frame->vars.contains(a.value->text) ? &frame->vars[a.value->text] : nullptr;
                if (var && var->type.type == SqlType::DateTime && !v.isNull()) {
                    QDateTime d;
                    if (parseDateText(v.toString(), d)) v = QDateTime(d.date(), d.time());
                }
            }
            if (a.name.isEmpty()) call.positional << v;
            else call.named.insert(a.name, v);
        }
        try {
            proc(call);
        } catch (const SqlException& e) {
            for (const SqlError& err : e.errors) {
                if (&err == &e.errors.last()) throw StatementError{err};
                record(err);
            }
            raise(50000, QStringLiteral("Procedure %1 failed.").arg(s.procName));
        } catch (const StatementError&) {
            throw;
        } catch (const std::exception& e) {
            // a procedure's own failure is the caller's SQL error, never a crash of the batch
            raise(50000, QStringLiteral("Procedure %1 failed: %2").arg(s.procName, QString::fromLocal8Bit(e.what())));
        }
        if (sink) *sink = call.resultSets;
        else out->resultSets.append(call.resultSets);
        if (!s.returnVar.isEmpty()) setVariable(s.returnVar, qlonglong(call.returnValue));
    }

    Connection* owner = nullptr;

    // A bulk row whose values do not match the declared parameters.
    static SqlError rowSizeError(qsizetype values, qsizetype parameters)
    {
        SqlError err;
        err.number = 8144;
        err.message = QStringLiteral("A row of values has %1 values for %2 parameters.").arg(values).arg(parameters);
        return err;
    }

    // A batch parsed once and run once per row of values: the variables of
    // the declaration take each row's values in order (as an assignment to a
    // variable of that type would), then the batch runs. Stops after the first
    // row whose batch raised an error.
    BatchResult runBulk(const QString& declarations, const QString& batch, const QList<QList<QVariant>>& rows)
    {
        BatchResult result;
        QList<StmtP> decl, stmts;
        try {
            decl = parseBatch(QStringLiteral("declare ") + declarations);
            stmts = parseBatch(batch);
        } catch (const SyntaxError& e) {
            SqlError err;
            err.number = e.number;
            err.severity = 15;
            err.message = e.near.isEmpty() ? QStringLiteral("Incorrect syntax near the end of the batch (line %1).").arg(e.line)
                                           : QStringLiteral("Incorrect syntax near '%1'.").arg(e.near);
            result.errors << err;
            lastError = e.number;
            return result;
        }
        QStringList names;
        for (const StmtP& d : decl)
            for (const Stmt::Decl& v : d->decls) names << v.name;
        Frame f;
        Frame* savedFrame = frame;
        BatchResult* savedOut = out;
        frame = &f;
        out = &result;
        ++depth;
        qint64 changedRows = 0;
        QHash<const Stmt*, QString> memo;
        QHash<const Stmt*, QString>* savedMemo = shapeMemo;
        auto failed = [&] {
            for (const SqlError& e : result.errors)
                if (e.severity > 10) return true;
            return false;
        };
        auto restore = [&] {
            shapeMemo = savedMemo;
            --depth;
            frame = savedFrame;
            out = savedOut;
        };
        try {
            // compiled once, as a batch is, before any row runs
            if (!compiles(QList<StmtP>(decl) << stmts)) {
                restore();
                return result;
            }
            runList(decl);
            if (runBulkPrepared(stmts, names, rows, changedRows)) {
                restore();
                result.rowsAffected = changedRows;
                return result;
            }
            shapeMemo = &memo;
            for (const QList<QVariant>& row : rows) {
                if (failed()) break;
                if (row.size() != names.size()) {
                    result.errors << rowSizeError(row.size(), names.size());
                    break;
                }
                for (int i = 0; i < names.size(); ++i) {
                    try {
                        setVariable(names[i], row[i]);
                    } catch (const StatementError& e) {
                        record(e.error);
                        break;
                    }
                }
                if (failed()) break;
                result.rowsAffected = -1;
                runList(stmts);
                if (result.rowsAffected > 0) changedRows += result.rowsAffected;
            }
        } catch (...) {
            restore();
            throw;
        }
        restore();
        result.rowsAffected = changedRows;
        return result;
    }

    // The common bulk batch, one insert, update or delete whose values are the
    // declared parameters, literals or nothing else: translated and prepared once;
    // each row's values are converted to their declared types and bound by
    // position. Runs as the batch run row by row would, with the same errors and
    // counts. Returns false (nothing run) when the batch is not of that kind.
    bool runBulkPrepared(const QList<StmtP>& stmts, const QStringList& names, const QList<QList<QVariant>>& rows,
                         qint64& changedRows)
    {
        if (stmts.size() != 1) return false;
        const Stmt& s = *stmts.first();
        QString context;
        switch (s.kind) {
        case SK::Insert:
            if (s.execSource) return false;
            context = QStringLiteral("INSERT");
            break;
        case SK::Update:
            for (const Assignment& a : s.sets)
                if (!a.variable.isEmpty()) return false;
            context = QStringLiteral("UPDATE");
            break;
        case SK::Delete: context = QStringLiteral("DELETE"); break;
        default: return false;
        }
        if (s.shapeKey.isEmpty()) return false;
        QList<TypeInfo> types;
        for (const QString& n : names) types << frame->vars.value(n).type;

        Translated q;
        QList<int> from;   // where each parameter's value comes from: >= 0 a declared parameter, -1 a constant
        bool identityTable = false;
        sqlite3_stmt* st = nullptr;
        try {
            q = translate(s, [&](Translator& tr) {
                return s.kind == SK::Insert ? tr.insert(s) : s.kind == SK::Update ? tr.update(s) : tr.remove(s);
            });
            if (!q.cacheable) return false;
            for (const ParamSource& src : q.sources) {
                if (src.kind == ParamSource::System) return false;   // may differ from row to row
                from << (src.kind == ParamSource::Variable ? int(names.indexOf(src.name)) : -1);
                if (src.kind == ParamSource::Variable && from.last() < 0) return false;
            }
            identityTable = s.kind == SK::Insert && tableInfo(Translator::tableName(s.table)).identityColumn >= 0;
            st = prepare(q.sql, q.params);
            release(st);
        } catch (const StatementError&) {
            // not translatable or preparable ahead: the row-by-row run reports it as it always has
            return false;
        }
        QList<QVariant> values(names.size());
        // Each row's values: the common ones (a whole number for an integer,
        // a text for a text, a decimal or a 'yyyymmdd' date) are brought to
        // what is stored right here and bound as they stand; any other value
        // goes through the general conversion.
        std::vector<BulkValue> bound(names.size());
        for (const QList<QVariant>& row : rows) {
            if (row.size() != names.size()) {
                out->errors << rowSizeError(row.size(), names.size());
                return true;
            }
            try {
                for (int i = 0; i < names.size(); ++i) {
                    if (!bound[i].take(row[i], types[i])) {
                        bound[i].kind = BulkValue::General;
                        values[i] = coerce(row[i], types[i]);
                    }
                }
            } catch (const StatementError& e) {
                record(e.error);
                return true;
            }
            for (int i = 0; i < from.size(); ++i) {
                const int k = from[i];
                if (k < 0) {
                    bind(st, i + 1, q.params[i]);
                    continue;
                }
                const BulkValue& b = bound[k];
                switch (b.kind) {
                case BulkValue::Null: sqlite3_bind_null(st, i + 1); break;
                case BulkValue::Int: sqlite3_bind_int64(st, i + 1, b.number); break;
                case BulkValue::Text: sqlite3_bind_text(st, i + 1, b.text.data(), int(b.text.size()), SQLITE_STATIC); break;
                case BulkValue::General: bind(st, i + 1, values[k]); break;
                }
            }
            out->rowsAffected = -1;
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {}
            if (rc != SQLITE_DONE) {
                SqlError e = sqliteError(rc, context);
                release(st);
                syncTransaction(e);
                record(e);
                return true;
            }
            release(st);
            const qint64 n = sqlite3_changes64(db);
            if (identityTable && n > 0) identity = qlonglong(sqlite3_last_insert_rowid(db));
            changed(n);
            lastError = 0;
            if (n > 0) changedRows += n;
        }
        return true;
    }

    BatchResult runBatch(const QString& batch, bool nested)
    {
        BatchResult result;
        QList<StmtP> stmts;
        try {
            stmts = parseBatch(batch);
        } catch (const SyntaxError& e) {
            SqlError err;
            err.number = e.number;
            err.severity = 15;
            if (e.number == 191)
                err.message = QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries.");
            else err.message = e.near.isEmpty() ? QStringLiteral("Incorrect syntax near the end of the batch (line %1).").arg(e.line)
                                           : QStringLiteral("Incorrect syntax near '%1'.").arg(e.near);
            result.errors << err;
            lastError = e.number;
            return result;
        }
        if (depth > 16) {
            SqlError err;
            err.number = 217;
            err.message = QStringLiteral("Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).");
            result.errors << err;
            return result;
        }
        Frame f;
        Frame* savedFrame = frame;
        BatchResult* savedOut = out;
        int savedReturn = returnValue;
        QHash<const Stmt*, QString>* savedMemo = shapeMemo;
        shapeMemo = nullptr; // a nested batch has variables of its own
        frame = &f;
        out = &result;
        ++depth;
        try {
            if (compiles(stmts)) runList(stmts);
        } catch (...) {
            --depth;
            frame = savedFrame;
            out = savedOut;
            returnValue = savedReturn;
            shapeMemo = savedMemo;
            throw;
        }
        --depth;
        shapeMemo = savedMemo;
        frame = savedFrame;
        out = savedOut;
        returnValue = savedReturn;
        Q_UNUSED(nested);
        return result;
    }
};

BatchResult ProcedureCall::run(const QString& batch)
{
    BatchResult r = connection->impl()->runBatch(batch, true);
    if (!r.errors.isEmpty()) throw SqlException(r.errors);
    return r;
}

// ---------------------------------------------------------------- connection
Connection::Connection() : d(std::make_unique<Impl>()) {}

Connection::~Connection() = default;

namespace {

[[noreturn]] void cannotOpen(const QString& file, const QString& reason)
{
    throw SqlException(4060, QStringLiteral("Cannot open database \"%1\": %2.").arg(file, reason));
}

// A file the engine may open: it exists and is a file. Whether it holds a database
// is asked of SQLite once it is open. The file itself is never opened here: under
// POSIX, closing any handle of a file drops every lock the process holds on it,
// so this process's other connections would lose theirs, and another program
// ending would then take itself for the last one and delete the log under them.
void checkExisting(const QString& file)
{
    const QFileInfo info(file);
    if (!info.exists()) cannotOpen(file, QStringLiteral("the file does not exist"));
    if (!info.isFile()) cannotOpen(file, QStringLiteral("it is not a file"));
}

QString notAnAccountSet() { return QStringLiteral("the file is not an account set"); }

// The pages the open database holds, its log included (0: an empty file).
qlonglong pageCount(sqlite3* db)
{
    sqlite3_stmt* st = nullptr;
    qlonglong n = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return n;
}
} // namespace

std::unique_ptr<Connection> Connection::open(const QString& databaseFile) { return openFile(databaseFile, false); }

std::unique_ptr<Connection> Connection::create(const QString& databaseFile) { return openFile(databaseFile, true); }

bool Connection::readOnly() const { return d->readOnly; }

QString Connection::pragma(const QString& name) const
{
    static const QRegularExpression plainName(QStringLiteral("^(temp\\.)?[A-Za-z_]+$"));
    if (!plainName.match(name).hasMatch()) return QString();
    QString value;
    sqlite3_stmt* st = nullptr;
    const QByteArray q = "PRAGMA " + name.toLatin1();
    if (sqlite3_prepare_v2(d->db, q.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return value;
}

std::unique_ptr<Connection> Connection::openFile(const QString& databaseFile, bool create)
{
    loadProcedureModules();
    const bool memory = databaseFile == QLatin1String(":memory:");
    if (!create && !memory) checkExisting(databaseFile);
    if (create && !memory && QFileInfo::exists(databaseFile))
        cannotOpen(databaseFile, QStringLiteral("the file exists already"));
    std::unique_ptr<Connection> c(new Connection);
    Impl& d = *c->d;
    d.owner = c.get();
    d.file = databaseFile;
    // an account set this user may not write is read through, leaving nothing beside it
    d.readOnly = !create && !memory && !QFileInfo(databaseFile).isWritable();
    QByteArray path = databaseFile.toUtf8();
    int flags = SQLITE_OPEN_FULLMUTEX;
    if (d.readOnly) {
        flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
        // with no write-ahead log beside it nobody can be changing the file: it is read
        // as it stands, without the lock files a shared reader would make
        path = QUrl::fromLocalFile(QFileInfo(databaseFile).absoluteFilePath()).toEncoded() + "?mode=ro";
        if (!QFileInfo::exists(databaseFile + QStringLiteral("-wal"))) path += "&immutable=1";
    } else {
        flags |= SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    }
    // SQLite need not count its memory (nothing here reads the count): each of
    // its allocations then skips a process-wide lock. Only possible before
    // SQLite's first use in the process; later it is refused and changes nothing.
    static const bool noMemoryCount = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    (void)noMemoryCount;
    int rc = sqlite3_open_v2(path.constData(), &d.db, flags, nullptr);
    if (rc != SQLITE_OK) {
        QString msg = d.db ? QString::fromUtf8(sqlite3_errmsg(d.db)) : QStringLiteral("out of memory");
        cannotOpen(databaseFile, msg);
    }
    sqlite3_extended_result_codes(d.db, 1);
    // a double-quoted name is always a name, never a text that stands in for a missing column
    sqlite3_db_config(d.db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(d.db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(d.db, 10000);
    registerFunctions(d.db);
    auto run = [&](const char* sql) {
        char* err = nullptr;
        const int rc = sqlite3_exec(d.db, sql, nullptr, nullptr, &err);
        if (rc != SQLITE_OK) {
            QString msg = rc == SQLITE_NOTADB ? notAnAccountSet() : QString::fromUtf8(err ? err : "error");
            sqlite3_free(err);
            cannotOpen(databaseFile, msg);
        }
    };
    // a file that is a database in name only (damaged, or of another kind) is refused here
    run("SELECT count(*) FROM main.sqlite_master");
    // and so is an empty one, before anything (the log) could be written to it
    if (!create && !memory && pageCount(d.db) == 0) cannotOpen(databaseFile, notAnAccountSet());
    if (!d.readOnly) {
        run("PRAGMA journal_mode=WAL");
        // a committed transaction survives a power cut, as a database server promises
        run("PRAGMA synchronous=FULL");
    }
    // temporary tables (a run's work tables) live in memory, never in a spill file
    run("PRAGMA temp_store=MEMORY");
    // Work tables hold wide rows in their hundreds of thousands: on 64 KiB pages
    // their trees are shallower and their memory smaller (a 50,000-item MRP run
    // 5% faster, 30 MB less). Set before the first temporary object is made.
    run("PRAGMA temp.page_size=65536");
    run("CREATE TEMP VIEW sysobjects AS "
        "SELECT -rowid AS id, name COLLATE KV AS name, 'U' AS xtype, 'U' AS type, 0 AS uid FROM sqlite_temp_master "
        "WHERE type='table' AND substr(name,1,1)='#' "
        "UNION ALL SELECT rowid, name COLLATE KV, CASE type WHEN 'view' THEN 'V' ELSE 'U' END, "
        "CASE type WHEN 'view' THEN 'V' ELSE 'U' END, 1 FROM main.sqlite_master "
        "WHERE type IN ('table','view') AND name NOT LIKE 'sqlite[_]%'");
    d.ctx.table = [&d](const QString& name) { return d.tableInfo(name); };
    d.ctx.variable = [&d](const QString& name) -> const Variable* {
        if (!d.frame) return nullptr;
        auto it = d.frame->vars.constFind(name);
        return it == d.frame->vars.constEnd() ? nullptr : &*it;
    };
    d.ctx.identityInsert = [&d]() { return d.identityInsertTable; };
    d.ctx.system = [&d](const QString& name) -> QVariant {
        if (name == "@@error") return qlonglong(d.lastError);
        if (name == "@@rowcount") return qlonglong(d.rowcount);
        if (name == "@@identity") return d.identity;
        if (name.startsWith(QLatin1String("kv_identity:"))) return d.currentIdentity(name.mid(12));
        if (name == "@@trancount") return qlonglong(d.trancount);
        if (name == "@@spid") return qlonglong(51);
        if (name == "@@fetch_status") return qlonglong(-1);
        if (name == "@@datefirst") return qlonglong(7);
        if (name == "@@version") return QStringLiteral("Korvane embedded T-SQL engine on SQLite " SQLITE_VERSION);
        if (name == "@@language") return QStringLiteral("简体中文");
        return QStringLiteral("localhost");
    };
    return c;
}

BatchResult Connection::execute(const QString& batch)
{
    if (!d->db) throw SqlException(4060, QStringLiteral("The connection is closed."));
    d->rowcount = 0;
    return d->runBatch(batch, false);
}

BatchResult Connection::executeBulk(const QString& declarations, const QString& batch, const QList<QList<QVariant>>& rows)
{
    if (!d->db) throw SqlException(4060, QStringLiteral("The connection is closed."));
    d->rowcount = 0;
    return d->runBulk(declarations, batch, rows);
}

int Connection::transactionCount() const { return d->trancount; }

void Connection::rollbackAll()
{
    if (!sqlite3_get_autocommit(d->db)) sqlite3_exec(d->db, "ROLLBACK", nullptr, nullptr, nullptr);
    d->trancount = 0;
    d->schemaChanged();
}

QString Connection::fileName() const { return d->file; }

void Connection::copyTo(const QString& newFile) const
{
    if (!d->db) throw SqlException(4060, QStringLiteral("The connection is closed."));
    if (QFileInfo::exists(newFile)) cannotOpen(newFile, QStringLiteral("the file exists already"));
    sqlite3* target = nullptr;
    int rc = sqlite3_open_v2(newFile.toUtf8().constData(), &target,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(target, 10000);
        if (sqlite3_backup* b = sqlite3_backup_init(target, "main", d->db, "main")) {
            sqlite3_backup_step(b, -1);
            sqlite3_backup_finish(b);
        }
        rc = sqlite3_errcode(target);
    }
    const QString msg = target ? QString::fromUtf8(sqlite3_errmsg(target)) : QStringLiteral("out of memory");
    sqlite3_close_v2(target);
    if (rc != SQLITE_OK) {
        // the half-made copy is this call's own file: nobody else has it open
        for (const QString& suffix : {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(newFile + suffix);
        cannotOpen(newFile, msg);
    }
}

} // namespace kvtsql
