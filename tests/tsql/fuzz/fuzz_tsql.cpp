// libFuzzer target: any text given to the engine gives results or SQL errors,
// never a crash. Built by hand with build_fuzz.sh (clang, not part of CTest).
#include "TsqlEngine.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // a fresh in-memory database now and then, so what the inputs create does not pile up
    static int runs = 0;
    static std::unique_ptr<kvtsql::Connection> conn;
    if (!conn || ++runs % 200 == 0) {
        conn = kvtsql::Connection::create(QStringLiteral(":memory:"));
        conn->execute("create table T (IID int identity(1,1) primary key, Code varchar(20), Qty decimal(28,8), D datetime, B bit)\n"
                      "insert T (Code, Qty, D, B) values ('a', 1.5, '20240101', 1)");
    }
    const QString batch = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    // a loop without end is valid T-SQL: leave loops out of the search
    if (batch.contains(QLatin1String("while"), Qt::CaseInsensitive)) return 0;
    try {
        conn->execute(batch);
    } catch (const kvtsql::SqlException&) {
    }
    if (conn->transactionCount() > 0) conn->rollbackAll();
    return 0;
}
