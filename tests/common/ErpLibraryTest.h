#pragma once
// A test of the ERP integration library through its exported interface: per
// test a fresh demo account set, the library loaded beside the program and
// plan01 logged in to it. Test programs using it link korvane_host and kv_demo.
#include "NewAccountSet.h"
#include "untApplication.h"
#include "untLibraryLoader.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kvtest {

class ErpLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = dir.filePath("demo.kvdb");
        QString error;
        ASSERT_TRUE(kvdemo::createAccountSet(db, &error)) << error.toStdString();
        using TGetERPAccess = void (*)(IERPAccessPtr*);
        auto get = reinterpret_cast<TGetERPAccess>(GetDllProc(QCoreApplication::applicationDirPath() + "/ERPAccess.dll", "GetERPAccess"));
        ASSERT_NE(get, nullptr);
        get(&erp);
        ASSERT_NE(erp, nullptr);
        TLoginInfo info;
        info.UserNo = "plan01";
        info.DBLocation = db;
        info.DBName = "KorvaneDemo";
        bool ok = false;
        erp->Login(info, 1, ok);
        ASSERT_TRUE(ok);
    }

    QTemporaryDir dir;
    QString db;
    IERPAccessPtr erp;
};

} // namespace kvtest
