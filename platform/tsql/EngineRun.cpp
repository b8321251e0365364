// Running a batch: its statements in order, control flow, errors recorded as the
// batch goes on, select, select into, insert, update with variables, procedures.
#include "EngineImpl.h"

namespace kvtsql {

Flow Connection::Impl::runList(const QList<StmtP>& list)
{
    for (const StmtP& s : list) {
        Flow f = run(s);
        if (f != Flow::Next) return f;
    }
    return Flow::Next;
}

void Connection::Impl::record(const SqlError& e)
{
    out->errors.append(e);
    out->errors.last().resultSetsBefore = int(out->resultSets.size());
    lastError = e.number;
}

Flow Connection::Impl::run(const StmtP& s)
{
    if (ending) return Flow::Return;
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
        // function, wrong argument count) end the batch, as they do there; so do a
        // transaction chosen to end on a lock conflict, the failures of the disk, the
        // file or memory, and any failure after which SQLite ended the transaction
        static const QSet<int> compileErrors = {207, 209, 4104, 137, 195, 174, 205, 116, 141, 1038, 2749, 2750, 192};
        if (compileErrors.contains(e.error.number) || endsBatch(e.error.number) || ending) return Flow::Return;
    } catch (const std::bad_alloc&) {
        // memory ran out in the engine itself: the batch's error, as SQLite's lack of memory is
        SqlError err;
        outOfMemory(err);
        syncTransaction(err);
        record(err);
        return Flow::Return;
    } catch (const std::exception& e) {
        SqlError err;
        err.number = 50000;
        err.message = QString::fromLocal8Bit(e.what());
        record(err);
    }
    return Flow::Next;
}

void Connection::Impl::simple(const Stmt& s)
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
    case SK::BeginTran: beginTransaction(); return;
    case SK::Commit:
        if (trancount == 0)
            raise(3902, QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."));
        commitTransaction();
        return;
    case SK::Rollback:
        if (trancount == 0)
            raise(3903, QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."));
        rollbackTransaction();
        return;
    case SK::LockTimeout: setLockTimeout(evaluate(s.args[0]).toInt()); return;
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

bool Connection::Impl::namesTable(const TableRefP& t, const QString& target)
{
    if (!t) return false;
    if (t->kind == TableRef::Join) return namesTable(t->left, target) || namesTable(t->right, target);
    if (t->kind != TableRef::Named) return t->alias.compare(target, Qt::CaseInsensitive) == 0;
    return t->alias.compare(target, Qt::CaseInsensitive) == 0 || Translator::tableName(t->name).compare(target, Qt::CaseInsensitive) == 0;
}

void Connection::Impl::updateWithVariables(const Stmt& s)
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

void Connection::Impl::select(const Stmt& s)
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

void Connection::Impl::selectInto(const Select& sel)
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

void Connection::Impl::insert(const Stmt& s)
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

void Connection::Impl::execProcedure(const Stmt& s, QList<ResultSet>* sink)
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
        // a procedure that went on after its batch was ended still ends the caller's
        if (ending) throw StatementError{*ending};
    } catch (const SqlException& e) {
        for (const SqlError& err : e.errors) {
            if (&err == &e.errors.last()) throw StatementError{err};
            record(err);
        }
        raise(50000, QStringLiteral("Procedure %1 failed.").arg(s.procName));
    } catch (const StatementError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;   // memory ran out: 701, as anywhere in the batch
    } catch (const std::exception& e) {
        // a procedure's own failure is the caller's SQL error, never a crash of the batch
        raise(50000, QStringLiteral("Procedure %1 failed: %2").arg(s.procName, QString::fromLocal8Bit(e.what())));
    }
    if (sink) *sink = call.resultSets;
    else out->resultSets.append(call.resultSets);
    if (!s.returnVar.isEmpty()) setVariable(s.returnVar, qlonglong(call.returnValue));
}

BatchResult Connection::Impl::runBatch(const QString& batch, bool nested)
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
        else if (e.number == 103)
            err.message = QStringLiteral("The identifier that starts with '%1' is too long. Maximum length is 128.").arg(e.near);
        else err.message = e.near.isEmpty() ? QStringLiteral("Incorrect syntax near the end of the batch (line %1).").arg(e.line)
                                       : QStringLiteral("Incorrect syntax near '%1'.").arg(e.near);
        result.errors << err;
        lastError = e.number;
        return result;
    }
    if (ending) {
        // the batch that runs this procedure's batch has been ended: nothing more runs
        result.errors << *ending;
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

BatchResult Connection::Impl::outOfMemoryResult()
{
    BatchResult r;
    SqlError e;
    outOfMemory(e);
    syncTransaction(e);
    lastError = e.number;
    r.errors << e;
    return r;
}

BatchResult ProcedureCall::run(const QString& batch)
{
    BatchResult r = connection->impl()->runBatch(batch, true);
    if (!r.errors.isEmpty()) throw SqlException(r.errors);
    return r;
}

BatchResult Connection::execute(const QString& batch)
{
    if (!d->db) throw SqlException(4060, QStringLiteral("The connection is closed."));
    d->rowcount = 0;
    // a procedure's own call of execute runs inside its caller's batch
    if (d->depth == 0) d->ending.reset();
    try {
        return d->runBatch(batch, false);
    } catch (const std::bad_alloc&) {
        // memory ran out outside any statement (reading the batch): the batch's error
        return d->outOfMemoryResult();
    }
}

} // namespace kvtsql
