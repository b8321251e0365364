// Compiling a batch before any statement of it runs, as SQL Server does, and
// the shape of a statement by which its translation is cached.
#include "EngineImpl.h"

namespace kvtsql {

QString Connection::Impl::shapeKey(const Stmt& s) const
{
    QString key = s.shapeKey;
    for (const QString& v : s.variables) {
        auto it = frame->vars.constFind(v);
        if (it == frame->vars.constEnd()) return QString();
        key += QStringLiteral("\x1e%1:%2.%3.%4").arg(int(it->type.type)).arg(it->type.precision).arg(it->type.scale).arg(it->type.size);
    }
    return key;
}

bool Connection::Impl::isCompileError(int number)
{
    static const QSet<int> numbers = {207, 209, 4104, 137, 195, 174, 205, 116, 141, 2749, 2750, 192, 2715};
    return numbers.contains(number);
}

bool Connection::Impl::compiles(const QList<StmtP>& stmts)
{
    Frame pre;
    Frame* saved = frame;
    frame = &pre;
    compiling = true;   // statements are prepared, not run: they take no lock yet
    bool ok = true;
    try {
        compileList(stmts);
    } catch (const StatementError& e) {
        record(e.error);
        ok = false;
    } catch (const std::exception&) {
        // anything else shows when the statement runs
    }
    compiling = false;
    frame = saved;
    return ok;
}

bool Connection::Impl::compileList(const QList<StmtP>& list)
{
    for (const StmtP& s : list)
        if (!compileOne(*s)) return false;
    return true;
}

bool Connection::Impl::compileOne(const Stmt& s)
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
    case SK::BeginTran: case SK::Commit: case SK::Rollback: case SK::LockTimeout:
        return true;
    default:
        return false;
    }
}

} // namespace kvtsql
