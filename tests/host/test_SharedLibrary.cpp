#include "SharedLibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SharedLibraryNames, WindowsNamesMapToThisPlatform)
{
    struct Case { QString in, out; };
    const Case cases[] = {
        {"QZ_MRP.dll", "libQZ_MRP.so"},
        {"QZ_MRP.DLL", "libQZ_MRP.so"},
        {"erp\\ERPAccess.dll", "erp/libERPAccess.so"},
        {"sub/x.dll", "sub/libx.so"},
        {"libfoo.so", "libfoo.so"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kvos::nativeLibraryName(c.in), c.out) << c.in.toStdString();
}

TEST(SharedLibraryNames, ProgramFolderFirstLetterCaseIgnored)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("libQZ_MRP.so"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(kvos::resolveLibraryPath("QZ_MRP.dll", dir.path()), dir.filePath("libQZ_MRP.so"));
    EXPECT_EQ(kvos::resolveLibraryPath("qz_mrp.DLL", dir.path()), dir.filePath("libQZ_MRP.so"));
    EXPECT_EQ(kvos::resolveLibraryPath("Other.dll", dir.path()), "libOther.so");
    EXPECT_EQ(kvos::resolveLibraryPath("/abs/A.dll", dir.path()), "/abs/libA.so");
}
