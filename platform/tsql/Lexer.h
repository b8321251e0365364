// Tokenizer of T-SQL batches.
#pragma once

#include <QList>
#include <QString>

namespace kvtsql {

enum class Tok {
    End,
    Ident,      // name, [bracketed name], "quoted name", #temp, ##temp
    Variable,   // @name
    System,     // @@name
    String,     // 'text' or N'text' (value without quotes)
    Integer,    // 123
    Number,     // 1.5, 1e3, .5
    Binary,     // 0x1F
    Op,         // punctuation and operators
};

struct Token {
    Tok kind = Tok::End;
    QString text;      // identifier/keyword as written (brackets removed), operator text, literal value
    QString raw;       // text as it stands in the batch
    bool quoted = false;   // identifier was bracketed or double-quoted (never a keyword)
    bool unicode = false;  // N'...'
    int pos = 0;       // offset in the batch
    int line = 1;

    bool is(const char* keyword) const;   // unquoted identifier equal to keyword, ignoring case
    bool op(const char* o) const { return kind == Tok::Op && text == QLatin1String(o); }
    bool reserved() const;                // an unquoted word the grammar reserves (select, from...): never a name
};

struct LexError {
    QString near;
    int line = 1;
    int number = 102;   // 103: a name longer than 128 characters (near: its first 128)
};

// Splits a batch into tokens; comments and white space are dropped. An
// unterminated string, bracket or comment, or a name (or variable) longer than
// 128 characters, raises LexError.
QList<Token> tokenize(const QString& batch);

} // namespace kvtsql
