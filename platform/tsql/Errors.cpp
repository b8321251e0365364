// The engine's errors as its callers see them: the exception a connection throws,
// SQL Server's type names for messages, and SQLite's lock failures as SQL Server's
// lock errors.
#include "TsqlEngine.h"

#include "Functions.h"

#include <sqlite3.h>

namespace kvtsql {

SqlException::SqlException(QList<SqlError> errs) : errors(std::move(errs))
{
    m_what = errors.isEmpty() ? std::string("SQL error") : errors.first().message.toStdString();
}

SqlException::SqlException(int number, const QString& message)
{
    SqlError e;
    e.number = number;
    e.message = message;
    errors << e;
    m_what = message.toStdString();
}

const char* SqlException::what() const noexcept { return m_what.c_str(); }

QString sqlTypeName(SqlType type)
{
    switch (type) {
    case SqlType::Null: return "null";
    case SqlType::Integer: return "int";
    case SqlType::Decimal: return "decimal";
    case SqlType::Float: return "float";
    case SqlType::Text: return "nvarchar";
    case SqlType::DateTime: return "datetime";
    case SqlType::Bit: return "bit";
    case SqlType::Binary: return "varbinary";
    }
    return QString();
}

bool lockError(int resultCode, bool inTransaction, int& number, int& severity, QString& message)
{
    const int primary = resultCode & 0xff;
    if (primary != SQLITE_BUSY && primary != SQLITE_LOCKED) return false;
    if (resultCode == SQLITE_BUSY_SNAPSHOT && inTransaction) {
        number = 1205;
        severity = 13;
        message = QStringLiteral("Transaction (Process ID 51) was deadlocked on lock resources with another process and has been "
                                 "chosen as the deadlock victim. Rerun the transaction.");
    } else {
        number = 1222;
        severity = 16;
        message = QStringLiteral("Lock request time out period exceeded.");
    }
    return true;
}

} // namespace kvtsql
