#include "OrderedIni.h"

#include <QTemporaryDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(OrderedIni, KeepsFileOrderAndIgnoresCaseOfSections)
{
    kvos::OrderedIni ini;
    ini.loadText("; comment\r\n[Other]\r\nz=1\r\n[ERPaccess]\r\n  zeta = lib/ERP.dll \r\nalpha=second\r\nnot a line\r\n[erpACCESS]\nbeta=third\n");
    const auto entries = ini.section("ERPACCESS");
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].first, "zeta");
    EXPECT_EQ(entries[0].second, "lib/ERP.dll");
    EXPECT_EQ(entries[1].first, "alpha");
    EXPECT_EQ(entries[2].second, "third");
    EXPECT_EQ(ini.value("other", "Z"), "1");
    EXPECT_EQ(ini.value("other", "missing", "d"), "d");
    EXPECT_TRUE(ini.section("none").isEmpty());
    EXPECT_EQ(ini.sectionNames(), QStringList({"Other", "ERPaccess"}));
}

TEST(OrderedIni, FilesWithBomAndMissingFiles)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("a.cfg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xEF\xBB\xBF[ERPaccess]\n库=中文.dll\n");
    f.close();
    kvos::OrderedIni ini;
    ASSERT_TRUE(ini.load(dir.filePath("a.cfg")));
    EXPECT_EQ(ini.value("ERPaccess", "库"), "中文.dll");
    EXPECT_FALSE(ini.load(dir.filePath("missing.cfg")));
    EXPECT_TRUE(ini.section("ERPaccess").isEmpty());
}
