#include "Lexer.h"

#include <QSet>

namespace kvtsql {

namespace {

// The words the grammar reserves: never a name unless bracketed or quoted.
const QSet<QString>& reservedWords()
{
    static const QSet<QString> words = [] {
        QSet<QString> s;
        for (const char* w : {"select", "insert", "update", "delete", "from", "where", "group", "order", "having",
                              "union", "except", "intersect", "into", "join", "inner", "left", "right", "full",
                              "outer", "cross", "on", "as", "set", "values", "declare", "if", "else", "begin",
                              "end", "while", "return", "exec", "execute", "create", "drop", "truncate", "alter",
                              "and", "or", "not", "is", "null", "in", "like", "between", "exists", "case", "when",
                              "then", "commit", "rollback", "print", "raiserror", "with", "option", "go", "by",
                              "asc", "desc", "top", "distinct", "all", "for", "open", "close", "fetch",
                              "deallocate", "break", "continue", "goto", "use", "grant", "revoke", "table",
                              "index", "procedure", "function", "tran", "transaction", "save", "waitfor", "merge",
                              "default", "primary", "key", "references", "foreign", "check", "constraint",
                              "unique", "escape", "collate", "apply", "pivot", "unpivot", "over", "outer"})
            s.insert(QString::fromLatin1(w));
        return s;
    }();
    return words;
}

} // namespace

bool Token::reserved() const { return kind == Tok::Ident && !quoted && reservedWords().contains(text.toLower()); }

bool Token::is(const char* keyword) const
{
    return kind == Tok::Ident && !quoted && text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

// SQL Server's names (and variables) hold at most 128 characters.
static void checkNameLength(const QString& name, int line)
{
    if (name.size() > 128) throw LexError{name.left(128), line, 103};
}

static bool isIdentStart(QChar c)
{
    return c.isLetter() || c == u'_' || c == u'#' || c.unicode() >= 0x80;
}

static bool isIdentPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'#' || c == u'$' || c == u'@' || c.unicode() >= 0x80;
}

QList<Token> tokenize(const QString& s)
{
    QList<Token> out;
    const int n = s.size();
    out.reserve(n / 5 + 8);
    int i = 0;
    int line = 1;
    auto at = [&](int k) -> QChar { return k < n ? s[k] : QChar(); };
    while (i < n) {
        QChar c = s[i];
        if (c == u'\n') { ++line; ++i; continue; }
        if (c.isSpace()) { ++i; continue; }
        if (c == u'-' && at(i + 1) == u'-') {
            while (i < n && s[i] != u'\n') ++i;
            continue;
        }
        if (c == u'/' && at(i + 1) == u'*') {
            int depth = 0;
            int start = i;
            while (i < n) {
                if (s[i] == u'/' && at(i + 1) == u'*') { ++depth; i += 2; continue; }
                if (s[i] == u'*' && at(i + 1) == u'/') { --depth; i += 2; if (depth == 0) break; continue; }
                if (s[i] == u'\n') ++line;
                ++i;
            }
            if (depth != 0) throw LexError{s.mid(start, 10), line};
            continue;
        }
        Token t;
        t.pos = i;
        t.line = line;
        int start = i;
        if ((c == u'N' || c == u'n') && at(i + 1) == u'\'') {
            t.unicode = true;
            ++i;
            c = s[i];
        }
        if (c == u'\'') {
            ++i;
            QString v;
            bool closed = false;
            int from = i;
            for (;;) {
                int q = s.indexOf(u'\'', i);
                if (q < 0) break;
                if (q + 1 < n && s[q + 1] == u'\'') {
                    v += QStringView(s).mid(from, q + 1 - from);
                    i = q + 2;
                    from = i;
                    continue;
                }
                v += QStringView(s).mid(from, q - from);
                i = q + 1;
                closed = true;
                break;
            }
            if (!closed) throw LexError{s.mid(start, 20), t.line};
            for (int k = start; k < i; ++k)
                if (s[k] == u'\n') ++line;
            if (v.isNull()) v = QLatin1String("");
            t.kind = Tok::String;
            t.text = v;
        } else if (c == u'[' || c == u'"') {
            QChar close = c == u'[' ? u']' : u'"';
            QString v;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == close) {
                    if (at(i + 1) == close) { v += close; i += 2; continue; }
                    ++i;
                    closed = true;
                    break;
                }
                v += s[i++];
            }
            if (!closed) throw LexError{s.mid(start, 20), t.line};
            t.kind = Tok::Ident;
            t.text = v;
            t.quoted = true;
            checkNameLength(t.text, t.line);
        } else if (c == u'@') {
            bool sys = at(i + 1) == u'@';
            i += sys ? 2 : 1;
            while (i < n && isIdentPart(s[i])) ++i;
            t.kind = sys ? Tok::System : Tok::Variable;
            t.text = s.mid(start, i - start);
            if (t.text.size() == (sys ? 2 : 1)) throw LexError{t.text, line};
            checkNameLength(t.text, t.line);
        } else if (c == u'0' && (at(i + 1) == u'x' || at(i + 1) == u'X')) {
            i += 2;
            while (i < n && (s[i].isDigit() || (s[i].toLower() >= u'a' && s[i].toLower() <= u'f'))) ++i;
            t.kind = Tok::Binary;
            t.text = s.mid(start + 2, i - start - 2);
        } else if (c.isDigit() || (c == u'.' && at(i + 1).isDigit())) {
            bool isInt = true;
            while (i < n && s[i].isDigit()) ++i;
            if (i < n && s[i] == u'.') {
                isInt = false;
                ++i;
                while (i < n && s[i].isDigit()) ++i;
            }
            if (i < n && (s[i] == u'e' || s[i] == u'E')) {
                int k = i + 1;
                if (at(k) == u'+' || at(k) == u'-') ++k;
                if (at(k).isDigit()) {
                    isInt = false;
                    i = k;
                    while (i < n && s[i].isDigit()) ++i;
                }
            }
            t.kind = isInt ? Tok::Integer : Tok::Number;
            t.text = s.mid(start, i - start);
        } else if (isIdentStart(c)) {
            while (i < n && isIdentPart(s[i])) ++i;
            t.kind = Tok::Ident;
            t.text = s.mid(start, i - start);
            checkNameLength(t.text, t.line);
        } else {
            QChar c2 = at(i + 1);
            const char16_t a = c.unicode(), b = c2.unicode();
            bool pair = (a == u'<' && (b == u'>' || b == u'=')) || (a == u'!' && (b == u'=' || b == u'<' || b == u'>'))
                || (a == u'>' && b == u'=') || ((a == u'+' || a == u'-' || a == u'*' || a == u'/') && b == u'=')
                || (a == u':' && b == u':');
            QString op;
            if (pair) {
                op = s.mid(i, 2);
            } else {
                static const QString singles = QStringLiteral("=<>+-*/%&|^~(),.;!");
                if (!singles.contains(c)) throw LexError{QString(c), line};
                static const QList<QString> one = [] {
                    QList<QString> l;
                    for (char16_t k = 0; k < 128; ++k) l << QString(QChar(k));
                    return l;
                }();
                op = one[a];
            }
            i += op.size();
            t.kind = Tok::Op;
            t.text = op;
        }
        if (t.kind == Tok::String || t.quoted || t.kind == Tok::Binary) t.raw = s.mid(start, i - start);
        else t.raw = t.text;
        out.append(std::move(t));
    }
    Token end;
    end.kind = Tok::End;
    end.pos = n;
    end.line = line;
    out.append(end);
    return out;
}

} // namespace kvtsql
