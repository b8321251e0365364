#include "untLibraryLoader.h"

#include <QCoreApplication>
#include <QFile>
#include <QUuid>
#include <gtest/gtest.h>

using ProbeInitCount = int (*)();

TEST(LibraryLoader, OneLoadForNamesThatDifferInBlanksAndCase)
{
    HMODULE a = LoadDll("  KvLoaderProbe.dll ");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(LoadDll("kvloaderprobe.DLL"), a);
    auto count = reinterpret_cast<ProbeInitCount>(GetDllProc("KVLOADERPROBE.dll", " ProbeInitCount "));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(), 1);
}

TEST(LibraryLoader, EmptyOrMissingExportGivesNil)
{
    EXPECT_EQ(GetDllProc("KvLoaderProbe.dll", "   "), nullptr);
    EXPECT_EQ(GetDllProc("KvLoaderProbe.dll", "NoSuchExport"), nullptr);
    EXPECT_EQ(GetDllProc("NoSuchLibrary.dll", "ProbeInitCount"), nullptr);
}

TEST(LibraryLoader, FailedLoadIsTriedAgain)
{
    const QString base = "KvLate" + QUuid::createUuid().toString(QUuid::Id128).left(8);
    const QString dir = QCoreApplication::applicationDirPath();
    EXPECT_EQ(LoadDll(base + ".dll"), nullptr);
    const QString target = dir + "/lib" + base + ".so";
    ASSERT_TRUE(QFile::copy(dir + "/libKvLoaderProbe.so", target));
    HMODULE h = LoadDll(base + ".dll");
    QFile::remove(target);
    EXPECT_NE(h, nullptr);
}
