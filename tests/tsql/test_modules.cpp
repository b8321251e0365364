// The procedure modules beside the engine: a program that links no stand-in
// procedures still answers them once an account set opens.
#include "TsqlEngine.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProcedureModules, TheDemoModuleRegistersItsProceduresWhenAFileOpens)
{
    // This program links the engine alone: nothing of its own registers them.
    EXPECT_FALSE(kvtsql::hasProcedure("QZ_MRP_GetBOM"));
    QTemporaryDir dir;
    auto connection = kvtsql::Connection::create(dir.filePath("a.kvdb"));
    ASSERT_TRUE(connection);
    EXPECT_TRUE(kvtsql::hasProcedure("QZ_MRP_GetBOM"));
    EXPECT_TRUE(kvtsql::hasProcedure("QZ_MRP_UpdateForcast"));
    // Loaded once: a second look finds the same module and loads nothing again.
    EXPECT_EQ(kvtsql::loadProcedureModules(), QStringList{"libkv_procedures_demo.so"});
}
