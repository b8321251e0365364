// Recursive-descent parser of T-SQL batches. Statements need no separators:
// each statement ends where its grammar ends, and the next token starts the next.
#include "Ast.h"

#include <limits>

namespace kvtsql {

namespace {

class Parser {
public:
    explicit Parser(const QList<Token>& t) : toks(t), literalToken(t.size(), false) {}

    QList<StmtP> batch()
    {
        QList<StmtP> out;
        while (peek().kind != Tok::End) {
            if (peek().op(";")) { ++p; continue; }
            out.append(statement());
        }
        return out;
    }

private:
    const QList<Token>& toks;
    int p = 0;
    int depth = 0;
    QList<bool> literalToken;          // token read as a literal value
    QList<ExprP>* literals = nullptr;  // literals of the statement being read
    QStringList* variables = nullptr;

    ExprP literal(EK kind, const Token& t, int index)
    {
        auto e = mk(kind, t.text);
        e->unicode = t.unicode;
        literalToken[index] = true;
        if (literals) literals->append(e);
        return e;
    }

    // An integer literal's type goes by its value: int, bigint, or a whole decimal beyond.
    static QLatin1String integerShape(const QString& digits)
    {
        if (digits.size() <= 9) return QLatin1String("#i");
        bool ok = false;
        const qlonglong v = digits.toLongLong(&ok);
        if (!ok) return QLatin1String("#I");
        return v <= std::numeric_limits<qint32>::max() ? QLatin1String("#i") : QLatin1String("#b");
    }

    QString shapeOf(int from, int to) const
    {
        QString key;
        for (int i = from; i < to && i < toks.size(); ++i) {
            const Token& t = toks[i];
            if (literalToken[i]) {
                if (t.kind == Tok::String) key += (t.unicode ? QLatin1String("N'") : QLatin1String("'")) + QString::number(t.text.size());
                else if (t.kind == Tok::Integer) key += integerShape(t.text);
                else {
                    // a decimal literal's precision and scale give its type
                    int dot = t.text.indexOf(u'.');
                    bool exp = t.text.contains(u'e') || t.text.contains(u'E');
                    QString digits = t.text;
                    digits.remove(u'.');
                    while (digits.startsWith(u'0') && digits.size() > 1) digits.remove(0, 1);
                    key += exp ? QStringLiteral("#f")
                               : QStringLiteral("#n%1.%2").arg(digits.size()).arg(dot < 0 ? 0 : t.text.size() - dot - 1);
                }
            } else {
                if (t.quoted) key += u'[';
                key += t.text;
                if (t.kind == Tok::String) key += u'\'';
            }
            key += QChar(0x1f);
        }
        return key;
    }

    // Guards the recursion of expressions and queries against text nested without end.
    struct Nest {
        Parser& parser;
        explicit Nest(Parser& pr) : parser(pr)
        {
            if (++parser.depth > 128) {
                SyntaxError e{QString(), parser.peek().line, QString(), 191};
                throw e;
            }
        }
        ~Nest() { --parser.depth; }
    };

    const Token& peek(int k = 0) const
    {
        int i = p + k;
        return i < toks.size() ? toks[i] : toks.last();
    }
    const Token& next() { const Token& t = peek(); if (p < toks.size() - 1) ++p; return t; }

    [[noreturn]] void fail(const Token& t, const QString& detail = QString()) const
    {
        QString near = t.kind == Tok::End ? QString() : (t.kind == Tok::String ? t.text : t.raw);
        throw SyntaxError{near, t.line, detail};
    }
    [[noreturn]] void fail() const { fail(peek()); }

    bool acceptKw(const char* kw) { if (peek().is(kw)) { ++p; return true; } return false; }
    bool acceptOp(const char* o) { if (peek().op(o)) { ++p; return true; } return false; }
    void expectKw(const char* kw) { if (!acceptKw(kw)) fail(); }
    void expectOp(const char* o) { if (!acceptOp(o)) fail(); }

    static bool isReserved(const Token& t) { return t.reserved(); }
    bool isNameToken(const Token& t) const { return t.kind == Tok::Ident && !isReserved(t); }

    QString name()
    {
        const Token& t = peek();
        if (t.kind != Tok::Ident) fail();
        ++p;
        return t.text;
    }

    // a.b.c, a..c (empty parts kept)
    QStringList multiPartName()
    {
        QStringList parts;
        parts << name();
        while (peek().op(".")) {
            ++p;
            while (peek().op(".")) { parts << QString(); ++p; }
            parts << name();
        }
        return parts;
    }

    StmtP make(SK k, const Token& at)
    {
        auto s = std::make_shared<Stmt>();
        s->kind = k;
        s->line = at.line;
        s->startPos = at.pos;
        return s;
    }

    StmtP statement()
    {
        Nest nest(*this);
        const Token& t = peek();
        const int first = p;
        QList<ExprP> lits;
        QStringList vars;
        QList<ExprP>* savedLits = literals;
        QStringList* savedVars = variables;
        literals = &lits;
        variables = &vars;
        StmtP s;
        try {
            s = statementInner();
        } catch (...) {
            literals = savedLits;
            variables = savedVars;
            throw;
        }
        literals = savedLits;
        variables = savedVars;
        s->startPos = t.pos;
        s->endPos = peek().pos;
        if (s->kind == SK::Select || s->kind == SK::Insert || s->kind == SK::Update || s->kind == SK::Delete) {
            s->shapeKey = shapeOf(first, p);
            s->literals = lits;
            s->variables = vars;
        }
        while (peek().op(";")) ++p;
        return s;
    }

    StmtP statementInner()
    {
        const Token& t = peek();
        if (t.op("(") || t.is("select") || t.is("with")) {
            if (t.is("with")) fail();
            auto s = make(SK::Select, t);
            s->select = selectStatement();
            return s;
        }
        if (t.kind != Tok::Ident || t.quoted) fail();
        QString kw = t.text.toLower();
        if (kw == "insert") return insertStatement();
        if (kw == "update") return updateStatement();
        if (kw == "delete") return deleteStatement();
        if (kw == "create") return createStatement();
        if (kw == "drop") return dropStatement();
        if (kw == "alter") return alterStatement();
        if (kw == "truncate") {
            auto s = make(SK::Truncate, next());
            expectKw("table");
            s->table = multiPartName();
            return s;
        }
        if (kw == "declare") return declareStatement();
        if (kw == "set") return setStatement();
        if (kw == "if") {
            auto s = make(SK::If, next());
            s->cond = expr();
            s->thenStmt = statement();
            if (acceptKw("else")) s->elseStmt = statement();
            return s;
        }
        if (kw == "while") {
            auto s = make(SK::While, next());
            s->cond = expr();
            s->thenStmt = statement();
            return s;
        }
        if (kw == "begin") {
            const Token& b = next();
            if (peek().is("tran") || peek().is("transaction")) {
                ++p;
                auto s = make(SK::BeginTran, b);
                if (peek().kind == Tok::Ident && !isReserved(peek()) && !startsStatement(peek())) ++p;
                return s;
            }
            auto s = make(SK::Block, b);
            while (!peek().is("end")) {
                if (peek().kind == Tok::End) fail();
                if (peek().op(";")) { ++p; continue; }
                s->body.append(statement());
            }
            ++p;
            return s;
        }
        if (kw == "commit" || kw == "rollback") {
            auto s = make(kw == "commit" ? SK::Commit : SK::Rollback, next());
            if (acceptKw("tran") || acceptKw("transaction") || acceptKw("work")) {
                if (peek().kind == Tok::Ident && !isReserved(peek()) && !startsStatement(peek())) ++p;
            }
            return s;
        }
        if (kw == "return") {
            auto s = make(SK::Return, next());
            if (startsExpression(peek())) s->args << expr();
            return s;
        }
        if (kw == "exec" || kw == "execute") return execStatement();
        if (kw == "raiserror") {
            auto s = make(SK::Raiserror, next());
            bool paren = acceptOp("(");
            s->args << expr();
            while (acceptOp(",")) s->args << expr();
            if (paren) expectOp(")");
            if (acceptKw("with")) { name(); while (acceptOp(",")) name(); }
            return s;
        }
        if (kw == "print") {
            auto s = make(SK::Print, next());
            s->args << expr();
            return s;
        }
        if (kw == "break") return make(SK::Break, next());
        if (kw == "continue") return make(SK::Continue, next());
        fail();
    }

    bool startsStatement(const Token& t) const
    {
        static const char* kws[] = {"select", "insert", "update", "delete", "create", "drop", "alter", "truncate",
                                    "declare", "set", "if", "while", "begin", "commit", "rollback", "return",
                                    "exec", "execute", "raiserror", "print", "break", "continue", "end", "else",
                                    nullptr};
        for (int i = 0; kws[i]; ++i)
            if (t.is(kws[i])) return true;
        return false;
    }

    bool startsExpression(const Token& t) const
    {
        switch (t.kind) {
        case Tok::End: return false;
        case Tok::Ident:
            if (t.quoted) return true;
            if (startsStatement(t)) return false;
            return !isReserved(t) || t.is("null") || t.is("case") || t.is("not") || t.is("exists");
        case Tok::Op: return t.op("(") || t.op("-") || t.op("+") || t.op("~");
        default: return true;
        }
    }

    // ---------------------------------------------------------------- types
    TypeRef typeRef()
    {
        TypeRef ty;
        QStringList parts = multiPartName();
        ty.name = parts.last().toLower();
        if (ty.name == "double" && peek().is("precision")) { ++p; ty.name = "float"; }
        if (acceptOp("(")) {
            if (acceptKw("max")) ty.max = true;
            else {
                ty.p1 = intLiteral();
                if (acceptOp(",")) ty.p2 = intLiteral();
            }
            expectOp(")");
        }
        return ty;
    }

    int intLiteral()
    {
        bool neg = acceptOp("-");
        const Token& t = peek();
        if (t.kind != Tok::Integer) fail();
        ++p;
        bool ok = false;
        int v = t.text.toInt(&ok);
        if (!ok) fail(t);
        return neg ? -v : v;
    }

    // ---------------------------------------------------------------- statements
    StmtP declareStatement()
    {
        auto s = make(SK::Declare, next());
        do {
            const Token& v = peek();
            if (v.kind != Tok::Variable) fail();
            ++p;
            Stmt::Decl d;
            d.name = v.text.toLower();
            acceptKw("as");
            if (peek().is("table") || peek().is("cursor")) fail();
            d.type = typeRef();
            if (acceptOp("=")) d.init = expr();
            s->decls.append(d);
        } while (acceptOp(","));
        return s;
    }

    StmtP setStatement()
    {
        const Token& t = next();
        if (peek().kind == Tok::Variable) {
            auto s = make(SK::Set, t);
            Assignment a;
            a.variable = next().text.toLower();
            const Token& op = peek();
            if (!(op.op("=") || op.op("+=") || op.op("-=") || op.op("*=") || op.op("/="))) fail();
            ++p;
            a.op = op.text;
            a.value = expr();
            s->sets.append(a);
            return s;
        }
        // set nocount on, set xact_abort off, set ansi_warnings on, set identity_insert t on ...
        if (peek().kind != Tok::Ident) fail();
        QString option = next().text.toLower();
        auto s = make(SK::Noop, t);
        if (option == "lock_timeout") {
            s->kind = SK::LockTimeout;
            s->args << expr();
            return s;
        }
        if (option == "identity_insert") {
            s->kind = SK::IdentityInsert;
            s->table = multiPartName();
            s->unique = peek().is("on");
        } else {
            while (acceptOp(",")) name();
        }
        if (!(acceptKw("on") || acceptKw("off"))) {
            if (peek().kind == Tok::Integer) ++p;
            else fail();
        }
        return s;
    }

    StmtP execStatement()
    {
        auto s = make(SK::Exec, next());
        if (peek().kind == Tok::Variable && peek(1).op("=")) {
            s->returnVar = next().text.toLower();
            ++p;
        }
        if (peek().op("(")) fail();   // exec ('dynamic sql') is not supported
        QStringList n = multiPartName();
        s->procName = n.last();
        if (startsStatementAfterExec()) return s;
        do {
            ExecArg a;
            if (peek().kind == Tok::Variable && peek(1).op("=")) {
                a.name = next().text.mid(1).toLower();
                ++p;
            }
            if (peek().kind == Tok::Ident && !peek().quoted && !isReserved(peek()) && !peek(1).op("(")
                && !peek(1).op(".")) {
                // a bare word argument is a text ("exec P abc")
                auto e = std::make_shared<Expr>();
                e->kind = EK::String;
                e->text = next().text;
                a.value = e;
            } else if (peek().is("default")) {
                ++p;
                continue;
            } else {
                a.value = expr();
            }
            if (acceptKw("output") || acceptKw("out")) a.output = true;
            s->execArgs.append(a);
        } while (acceptOp(","));
        return s;
    }

    bool startsStatementAfterExec() const
    {
        const Token& t = peek();
        return t.kind == Tok::End || t.op(";") || startsStatement(t) || t.is("else");
    }

    StmtP insertStatement()
    {
        auto s = make(SK::Insert, next());
        acceptKw("into");
        s->table = multiPartName();
        tableHints();
        if (peek().op("(") && !peek(1).is("select")) {
            ++p;
            do { s->columns << name(); } while (acceptOp(","));
            expectOp(")");
        }
        if (acceptKw("values")) {
            do {
                expectOp("(");
                QList<ExprP> row;
                do { row << expr(); } while (acceptOp(","));
                expectOp(")");
                s->values.append(row);
            } while (acceptOp(","));
        } else if (acceptKw("default")) {
            expectKw("values");
            s->defaultValues = true;
        } else if (peek().is("select") || peek().op("(")) {
            s->select = selectStatement();
        } else if (peek().is("exec") || peek().is("execute")) {
            s->execSource = execStatement();
        } else {
            fail();
        }
        return s;
    }

    void tableHints()
    {
        // with(nolock), with (nolock, index(ix)), (nolock)
        if (peek().is("with") && peek(1).op("(")) {
            ++p;
            skipParens();
        } else if (peek().op("(") && peek(1).kind == Tok::Ident && !peek(1).quoted
                   && (peek(1).is("nolock") || peek(1).is("readpast") || peek(1).is("updlock")
                       || peek(1).is("rowlock") || peek(1).is("holdlock") || peek(1).is("tablock")
                       || peek(1).is("readuncommitted") || peek(1).is("xlock") || peek(1).is("paglock"))) {
            skipParens();
        }
    }

    void skipParens()
    {
        expectOp("(");
        int depth = 1;
        while (depth > 0) {
            const Token& t = next();
            if (t.kind == Tok::End) fail(t);
            if (t.op("(")) ++depth;
            else if (t.op(")")) --depth;
        }
    }

    StmtP updateStatement()
    {
        auto s = make(SK::Update, next());
        if (acceptKw("top")) {
            expectOp("(");
            s->top = expr();
            expectOp(")");
        }
        s->table = multiPartName();
        tableHints();
        if (!peek().is("set") && isNameToken(peek())) {
            // "update T alias set" is not T-SQL, but an alias after a name is easy to misread: refuse it
            fail();
        }
        expectKw("set");
        do {
            Assignment a;
            if (peek().kind == Tok::Variable) {
                a.variable = next().text.toLower();
            } else {
                a.column = multiPartName();
            }
            const Token& op = peek();
            if (!(op.op("=") || op.op("+=") || op.op("-=") || op.op("*=") || op.op("/="))) fail();
            ++p;
            a.op = op.text;
            if (!a.variable.isEmpty() && a.op == "=" && isNameToken(peek())) {
                // @v = column = value: the column takes the value and the variable with it
                int k = 1;
                while (peek(k).op(".") && isNameToken(peek(k + 1))) k += 2;
                if (peek(k).op("=")) {
                    a.column = multiPartName();
                    expectOp("=");
                }
            }
            a.value = expr();
            s->sets.append(a);
        } while (acceptOp(","));
        if (acceptKw("from")) s->from = fromList();
        if (acceptKw("where")) s->where = expr();
        return s;
    }

    StmtP deleteStatement()
    {
        auto s = make(SK::Delete, next());
        if (acceptKw("top")) {
            expectOp("(");
            s->top = expr();
            expectOp(")");
        }
        acceptKw("from");
        s->table = multiPartName();
        tableHints();
        if (acceptKw("from")) s->from = fromList();
        if (acceptKw("where")) s->where = expr();
        return s;
    }

    ColumnDef columnDef()
    {
        ColumnDef c;
        c.name = name();
        c.type = typeRef();
        for (;;) {
            if (acceptKw("identity")) {
                c.identity = true;
                if (acceptOp("(")) {
                    c.identitySeed = intLiteral();
                    expectOp(",");
                    c.identityStep = intLiteral();
                    expectOp(")");
                }
            } else if (acceptKw("not")) {
                expectKw("null");
                c.notNull = true;
            } else if (acceptKw("null")) {
                c.explicitNull = true;
            } else if (acceptKw("primary")) {
                expectKw("key");
                if (!acceptKw("clustered")) acceptKw("nonclustered");
                c.primaryKey = true;
            } else if (acceptKw("unique")) {
                if (!acceptKw("clustered")) acceptKw("nonclustered");
                c.unique = true;
            } else if (acceptKw("default")) {
                c.defaultValue = primary();
            } else if (acceptKw("constraint")) {
                name();
            } else if (acceptKw("collate")) {
                name();
            } else if (peek().is("references")) {
                ++p;
                multiPartName();
                if (peek().op("(")) skipParens();
            } else if (peek().is("check")) {
                ++p;
                skipParens();
            } else {
                break;
            }
        }
        return c;
    }

    QStringList columnList(QList<bool>* desc = nullptr)
    {
        QStringList cols;
        expectOp("(");
        do {
            cols << name();
            bool d = false;
            if (acceptKw("desc")) d = true;
            else acceptKw("asc");
            if (desc) desc->append(d);
        } while (acceptOp(","));
        expectOp(")");
        return cols;
    }

    StmtP createStatement()
    {
        const Token& t = next();
        if (acceptKw("table")) {
            auto s = make(SK::CreateTable, t);
            s->table = multiPartName();
            expectOp("(");
            do {
                if (peek().op(")")) break;   // a comma may end the list
                if (peek().is("constraint") || peek().is("primary") || peek().is("unique")
                    || peek().is("foreign") || peek().is("check")) {
                    if (acceptKw("constraint")) name();
                    if (acceptKw("primary")) {
                        expectKw("key");
                        if (!acceptKw("clustered")) acceptKw("nonclustered");
                        s->primaryKey = columnList();
                    } else if (acceptKw("unique")) {
                        if (!acceptKw("clustered")) acceptKw("nonclustered");
                        s->uniques << columnList();
                    } else if (acceptKw("foreign")) {
                        expectKw("key");
                        columnList();
                        expectKw("references");
                        multiPartName();
                        if (peek().op("(")) skipParens();
                    } else if (acceptKw("check")) {
                        skipParens();
                    } else {
                        fail();
                    }
                } else {
                    s->columnDefs.append(columnDef());
                }
            } while (acceptOp(","));
            expectOp(")");
            if (acceptKw("on")) name();
            return s;
        }
        if (acceptKw("view")) {
            auto s = make(SK::CreateView, t);
            s->table = multiPartName();
            if (peek().op("(")) s->columns = columnList();
            expectKw("as");
            s->select = selectStatement();
            return s;
        }
        auto s = make(SK::CreateIndex, t);
        if (acceptKw("unique")) s->unique = true;
        if (!acceptKw("clustered")) acceptKw("nonclustered");
        expectKw("index");
        s->indexName = name();
        expectKw("on");
        s->table = multiPartName();
        s->columns = columnList(&s->columnsDesc);
        if (acceptKw("with")) skipParens();
        if (acceptKw("on")) name();
        return s;
    }

    StmtP dropStatement()
    {
        const Token& t = next();
        if (acceptKw("table")) {
            auto s = make(SK::DropTable, t);
            do { s->tables << multiPartName(); } while (acceptOp(","));
            return s;
        }
        if (acceptKw("view")) {
            auto s = make(SK::DropView, t);
            do { s->tables << multiPartName(); } while (acceptOp(","));
            return s;
        }
        if (acceptKw("index")) {
            auto s = make(SK::DropIndex, t);
            QStringList n = multiPartName();
            if (acceptKw("on")) {
                s->indexName = n.last();
                s->table = multiPartName();
            } else {
                if (n.size() < 2) fail();
                s->indexName = n.last();
                s->table = n.mid(0, n.size() - 1);
            }
            return s;
        }
        fail();
    }

    StmtP alterStatement()
    {
        auto s = make(SK::AlterAdd, next());
        expectKw("table");
        s->table = multiPartName();
        expectKw("add");
        do { s->columnDefs.append(columnDef()); } while (acceptOp(","));
        return s;
    }

    // ---------------------------------------------------------------- select
    SelectP selectStatement()
    {
        Nest nest(*this);
        SelectP first = selectBranch();
        while (peek().is("union") || peek().is("except") || peek().is("intersect")) {
            QString op = next().text.toLower();
            if (op == "union" && acceptKw("all")) op = "union all";
            first->compound.append({op, selectBranch()});
        }
        if (acceptKw("order")) {
            expectKw("by");
            first->orderBy = orderList();
        }
        return first;
    }

    QList<OrderItem> orderList()
    {
        QList<OrderItem> list;
        do {
            OrderItem o;
            o.expr = expr();
            if (acceptKw("desc")) o.desc = true;
            else acceptKw("asc");
            list.append(o);
        } while (acceptOp(","));
        return list;
    }

    SelectP selectBranch()
    {
        if (acceptOp("(")) {
            SelectP s = selectStatement();
            expectOp(")");
            s->parenthesized = true;
            return s;
        }
        expectKw("select");
        auto s = std::make_shared<Select>();
        if (acceptKw("distinct")) s->distinct = true;
        else acceptKw("all");
        if (acceptKw("top")) {
            if (acceptOp("(")) {
                s->top = expr();
                expectOp(")");
            } else {
                const Token& n = peek();
                if (n.kind != Tok::Integer && n.kind != Tok::Number) fail();
                s->top = primary();
            }
            if (acceptKw("percent")) s->topPercent = true;
            if (acceptKw("with")) expectKw("ties");
        }
        do { s->items.append(selectItem()); } while (acceptOp(","));
        if (acceptKw("into")) s->into = multiPartName();
        if (acceptKw("from")) s->from = fromList();
        if (acceptKw("where")) s->where = expr();
        if (acceptKw("group")) {
            expectKw("by");
            do { s->groupBy << expr(); } while (acceptOp(","));
        }
        if (acceptKw("having")) s->having = expr();
        return s;
    }

    SelectItem selectItem()
    {
        SelectItem it;
        const Token& t = peek();
        if (t.kind == Tok::Variable && (peek(1).op("=") || peek(1).op("+="))) {
            it.assignVar = t.text.toLower();
            p += 1;
            bool plus = peek().op("+=");
            ++p;
            it.expr = expr();
            if (plus) {
                auto v = std::make_shared<Expr>();
                v->kind = EK::Variable;
                v->text = it.assignVar;
                auto b = std::make_shared<Expr>();
                b->kind = EK::Binary;
                b->text = "+";
                b->args << v << it.expr;
                it.expr = b;
            }
            return it;
        }
        // alias = expr
        if ((t.kind == Tok::Ident && !isReserved(t)) || t.kind == Tok::String) {
            if (peek(1).op("=")) {
                it.alias = t.text;
                p += 2;
                it.expr = expr();
                return it;
            }
        }
        it.expr = expr();
        if (acceptKw("as")) {
            const Token& a = peek();
            if (a.kind != Tok::Ident && a.kind != Tok::String) fail();
            ++p;
            it.alias = a.text;
        } else if (peek().kind == Tok::String || isNameToken(peek())) {
            it.alias = next().text;
        }
        return it;
    }

    QList<TableRefP> fromList()
    {
        QList<TableRefP> list;
        do { list.append(joinedTable()); } while (acceptOp(","));
        return list;
    }

    TableRefP joinedTable()
    {
        TableRefP left = tableFactor();
        for (;;) {
            QString type;
            if (acceptKw("join")) type = "inner";
            else if (peek().is("inner") && peek(1).is("join")) { p += 2; type = "inner"; }
            else if ((peek().is("left") || peek().is("right") || peek().is("full"))) {
                type = next().text.toLower();
                acceptKw("outer");
                expectKw("join");
            } else if (peek().is("cross") && peek(1).is("join")) { p += 2; type = "cross"; }
            else break;
            auto j = std::make_shared<TableRef>();
            j->kind = TableRef::Join;
            j->joinType = type;
            j->left = left;
            j->right = tableFactor();
            if (type != "cross") {
                expectKw("on");
                j->on = expr();
            }
            left = j;
        }
        return left;
    }

    TableRefP tableFactor()
    {
        auto t = std::make_shared<TableRef>();
        if (peek().op("(")) {
            if (peek(1).is("select") || peek(1).op("(")) {
                ++p;
                t->kind = TableRef::Derived;
                t->derived = selectStatement();
                expectOp(")");
            } else {
                ++p;
                TableRefP inner = joinedTable();
                expectOp(")");
                return inner;
            }
        } else {
            t->kind = TableRef::Named;
            t->name = multiPartName();
            tableHints();
        }
        if (acceptKw("as")) t->alias = name();
        else if (isNameToken(peek())) t->alias = next().text;
        if (t->kind == TableRef::Named) tableHints();
        if (t->kind == TableRef::Derived && t->alias.isEmpty()) fail();
        return t;
    }

    // ---------------------------------------------------------------- expressions
    ExprP mk(EK k, const QString& text = QString())
    {
        auto e = std::make_shared<Expr>();
        e->kind = k;
        e->text = text;
        return e;
    }

    ExprP bin(const QString& op, ExprP a, ExprP b)
    {
        auto e = mk(EK::Binary, op);
        e->args << a << b;
        return e;
    }

    ExprP expr()
    {
        Nest nest(*this);
        return orExpr();
    }

    // "a or b or c ..." is one node with every operand, so a chain of any length
    // stays one level deep
    ExprP orExpr()
    {
        ExprP l = andExpr();
        if (!acceptKw("or")) return l;
        auto e = mk(EK::Binary, "or");
        e->args << l;
        do { e->args << andExpr(); } while (acceptKw("or"));
        return e;
    }

    ExprP andExpr()
    {
        ExprP l = notExpr();
        if (!acceptKw("and")) return l;
        auto e = mk(EK::Binary, "and");
        e->args << l;
        do { e->args << notExpr(); } while (acceptKw("and"));
        return e;
    }

    // "not not ... x": two nots cancel out, so a run of them keeps one, or two
    // (the second keeps a non-condition operand read as a truth value)
    ExprP notExpr()
    {
        int nots = 0;
        while (acceptKw("not")) ++nots;
        ExprP e = predicate();
        for (int i = nots == 0 ? 0 : (nots % 2 ? 1 : 2); i > 0; --i) {
            auto n = mk(EK::Unary, "not");
            n->args << e;
            e = n;
        }
        return e;
    }

    ExprP predicate()
    {
        if (peek().is("exists")) {
            ++p;
            expectOp("(");
            auto e = mk(EK::Exists);
            e->sel = selectStatement();
            expectOp(")");
            return e;
        }
        ExprP l = additive();
        for (;;) {
            const Token& t = peek();
            if (t.op("=") || t.op("<>") || t.op("!=") || t.op("<") || t.op(">") || t.op("<=") || t.op(">=")
                || t.op("!<") || t.op("!>")) {
                ++p;
                QString op = t.text;
                if (op == "!=") op = "<>";
                if (op == "!<") op = ">=";
                if (op == "!>") op = "<=";
                if (peek().is("all") || peek().is("any") || peek().is("some")) fail();
                l = bin(op, l, additive());
                continue;
            }
            bool neg = false;
            int save = p;
            if (peek().is("not")) { neg = true; ++p; }
            if (acceptKw("in")) {
                expectOp("(");
                if (peek().is("select")) {
                    auto e = mk(EK::InSelect);
                    e->args << l;
                    e->sel = selectStatement();
                    e->negated = neg;
                    expectOp(")");
                    l = e;
                } else {
                    auto e = mk(EK::InList);
                    e->args << l;
                    do { e->args << expr(); } while (acceptOp(","));
                    expectOp(")");
                    e->negated = neg;
                    l = e;
                }
                continue;
            }
            if (acceptKw("like")) {
                auto e = mk(EK::Like);
                e->args << l << additive();
                if (acceptKw("escape")) e->args << additive();
                e->negated = neg;
                l = e;
                continue;
            }
            if (acceptKw("between")) {
                auto e = mk(EK::Between);
                e->args << l << additive();
                expectKw("and");
                e->args << additive();
                e->negated = neg;
                l = e;
                continue;
            }
            if (neg) { p = save; break; }
            if (acceptKw("is")) {
                auto e = mk(EK::IsNull);
                e->negated = acceptKw("not");
                expectKw("null");
                e->args << l;
                l = e;
                continue;
            }
            break;
        }
        return l;
    }

    ExprP additive()
    {
        ExprP l = multiplicative();
        for (;;) {
            const Token& t = peek();
            if (t.op("+") || t.op("-") || t.op("&") || t.op("|") || t.op("^")) {
                ++p;
                l = bin(t.text, l, multiplicative());
            } else {
                break;
            }
        }
        return l;
    }

    ExprP multiplicative()
    {
        ExprP l = unary();
        for (;;) {
            const Token& t = peek();
            if (t.op("*") || t.op("/") || t.op("%")) {
                ++p;
                l = bin(t.text, l, unary());
            } else {
                break;
            }
        }
        return l;
    }

    ExprP unary()
    {
        Nest nest(*this);
        const Token& t = peek();
        if (t.op("-") || t.op("+") || t.op("~")) {
            ++p;
            ExprP inner = unary();
            if (t.op("+")) return inner;
            if (t.op("-") && (inner->kind == EK::Integer || inner->kind == EK::Number)
                && !inner->text.startsWith('-')) {
                inner->text = "-" + inner->text;
                return inner;
            }
            auto e = mk(EK::Unary, t.text);
            e->args << inner;
            return e;
        }
        return primary();
    }

    ExprP primary()
    {
        const Token& t = peek();
        switch (t.kind) {
        case Tok::Integer: ++p; return literal(EK::Integer, t, p - 1);
        case Tok::Number: ++p; return literal(EK::Number, t, p - 1);
        case Tok::String: ++p; return literal(EK::String, t, p - 1);
        case Tok::Binary: ++p; return mk(EK::BinaryLit, t.text);
        case Tok::Variable:
            ++p;
            if (variables) variables->append(t.text.toLower());
            return mk(EK::Variable, t.text.toLower());
        case Tok::System: ++p; return mk(EK::System, t.text.toLower());
        case Tok::Op:
            if (t.op("(")) {
                ++p;
                if (peek().is("select")) {
                    auto e = mk(EK::Subquery);
                    e->sel = selectStatement();
                    expectOp(")");
                    return e;
                }
                auto e = mk(EK::Paren);
                e->args << expr();
                expectOp(")");
                return e;
            }
            if (t.op("*")) {
                ++p;
                return mk(EK::Star);
            }
            fail();
        case Tok::Ident: break;
        case Tok::End: fail();
        }
        if (!t.quoted) {
            if (t.is("null")) { ++p; return mk(EK::Null); }
            if (t.is("case")) return caseExpr();
            if ((t.is("cast") || t.is("try_cast")) && peek(1).op("(")) {
                p += 2;
                auto e = mk(EK::Cast, "cast");
                e->args << expr();
                expectKw("as");
                e->type = typeRef();
                expectOp(")");
                return e;
            }
            if ((t.is("convert") || t.is("try_convert")) && peek(1).op("(")) {
                p += 2;
                auto e = mk(EK::Cast, "convert");
                e->type = typeRef();
                expectOp(",");
                e->args << expr();
                if (acceptOp(",")) e->args << expr();
                expectOp(")");
                return e;
            }
            if (isReserved(t) && !(t.is("left") || t.is("right")) ) fail();
        }
        // name, multi-part name, function call
        QStringList parts;
        parts << name();
        while (peek().op(".")) {
            ++p;
            if (peek().op("*")) {
                ++p;
                auto e = mk(EK::Star);
                e->parts = parts;
                return e;
            }
            while (peek().op(".")) { parts << QString(); ++p; }
            parts << name();
        }
        if (peek().op("(")) {
            ++p;
            auto e = mk(EK::Func, parts.last().toLower());
            if (parts.size() > 1 && parts.first().compare("dbo", Qt::CaseInsensitive) == 0) e->parts = parts;
            if (e->text == "datediff" || e->text == "dateadd" || e->text == "datepart" || e->text == "datename") {
                // first argument is a date part keyword
                const Token& dp = peek();
                if (dp.kind != Tok::Ident && dp.kind != Tok::String) fail();
                ++p;
                e->args << mk(EK::String, dp.text.toLower());
                while (acceptOp(",")) e->args << expr();
                expectOp(")");
                return e;
            }
            if (acceptOp(")")) return e;
            if (peek().op("*")) {
                ++p;
                e->star = true;
                expectOp(")");
                return e;
            }
            if (acceptKw("distinct")) e->distinct = true;
            else acceptKw("all");
            do { e->args << expr(); } while (acceptOp(","));
            expectOp(")");
            if (peek().is("over")) fail();
            return e;
        }
        auto e = mk(EK::Column);
        e->parts = parts;
        e->text = parts.last();
        return e;
    }

    ExprP caseExpr()
    {
        ++p;
        auto e = mk(EK::Case);
        if (!peek().is("when")) {
            e->hasOperand = true;
            e->args << expr();
        }
        if (!peek().is("when")) fail();
        while (acceptKw("when")) {
            e->args << expr();
            expectKw("then");
            e->args << expr();
        }
        if (acceptKw("else")) {
            e->hasElse = true;
            e->args << expr();
        }
        expectKw("end");
        return e;
    }
};

} // namespace

QList<StmtP> parseTokens(const QList<Token>& tokens)
{
    Parser parser(tokens);
    return parser.batch();
}

QList<StmtP> parseBatch(const QString& batch)
{
    QList<Token> tokens;
    try {
        tokens = tokenize(batch);
    } catch (const LexError& e) {
        throw SyntaxError{e.near, e.line, QString(), e.number};
    }
    return parseTokens(tokens);
}

} // namespace kvtsql
