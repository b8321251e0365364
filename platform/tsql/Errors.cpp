// The engine's errors as its callers see them: the exception a connection throws,
// SQL Server's type names for messages, SQLite's lock failures as SQL Server's
// lock errors and its failures of resources (disk, file, memory) as SQL Server's
// errors of those, and the errors that end a batch.
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

bool resourceError(int resultCode, const QString& fileName, SqlError& e)
{
    switch (resultCode & 0xff) {
    case SQLITE_FULL:
        e.number = 1105;
        e.severity = 17;
        e.message = QStringLiteral("无法为数据库 '%1' 分配空间, 因为磁盘已满 ('PRIMARY' 文件组已满)。"
                                   "请删除不需要的文件以增加可用磁盘空间。").arg(fileName);
        return true;
    case SQLITE_IOERR:
        if (resultCode == SQLITE_IOERR_NOMEM) break;
        e.number = 823;
        e.severity = 24;
        e.message = QStringLiteral("操作系统在读写文件 '%1' 时返回了错误 (%2)。这是严重的系统级错误, "
                                   "可能危及数据库完整性, 必须立即更正。").arg(fileName).arg(resultCode);
        return true;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        e.number = 824;
        e.severity = 24;
        e.message = QStringLiteral("检测到基于一致性的逻辑 I/O 错误: 文件 '%1' 中的页已损坏。"
                                   "请从备份恢复数据库。").arg(fileName);
        return true;
    case SQLITE_NOMEM:
        break;
    case SQLITE_INTERRUPT:
        e.number = 3980;
        e.severity = 16;
        e.message = QStringLiteral("该请求无法运行, 因为批处理已中止 (客户端发送了中止信号)。");
        return true;
    case SQLITE_TOOBIG:
        e.number = 7119;
        e.severity = 16;
        e.message = valueTooLongMessage();
        return true;
    default:
        return false;
    }
    outOfMemory(e);
    return true;
}

void outOfMemory(SqlError& e)
{
    e.number = 701;
    e.severity = 17;
    e.message = QStringLiteral("资源池 'default' 没有足够的系统内存来运行此查询。");
}

bool endsBatch(int number)
{
    switch (number) {
    case 1205: case 1105: case 9002: case 823: case 824: case 701: case 3980: return true;
    default: return false;
    }
}

} // namespace kvtsql
