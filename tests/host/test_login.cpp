// Start-up and login through the real ERP integration library, loaded by name
// from a program folder of the test's own with its ERPaccess.cfg.
#include "AsNobody.h"
#include "NewAccountSet.h"
#include "TsqlEngine.h"
#include "ScriptedMessageBoxes.h"
#include "UDBComm.h"
#include "untAppFrame.h"
#include "untInfoObjectDefLoader.h"
#include "untApplication.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

void writeFile(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

QString binDir()
{
    return QCoreApplication::applicationDirPath();
}

// One program folder for the whole test program: a library is loaded once per
// process, and the ERP library finds its account sets beside itself.
QTemporaryDir& programDir()
{
    static QTemporaryDir dir;
    return dir;
}

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString folder = programDir().path();
        for (const QString& lib : {QStringLiteral("libERPAccess.so"), QStringLiteral("libKvFakeNilERP.so"),
                                   QStringLiteral("libKvFakeRefusingERP.so")})
            QFile::link(binDir() + u'/' + lib, folder + u'/' + lib);
        AppFramePaths().ProgramFolder = folder;
        AppFramePaths().SettingsFile = folder + QStringLiteral("/Korvane.ini");
        QFile::remove(AppFramePaths().SettingsFile);
        InitAppFrameUnit();
        resetLogin();

        dbFile = dbDir.filePath("demo.kvdb");
        QString error;
        ASSERT_TRUE(kvdemo::createAccountSet(dbFile, &error)) << error.toStdString();
        writeFile(folder + "/ERPAccountSets.cfg",
                  "[演示账套]\nID=7\nNo=001\nLocation=" + dbFile + "\nDatabase=KorvaneDemo\nLoginID=\nPassword=\n");
        useLibrary("ERPAccess.dll");
    }

    void TearDown() override
    {
        if (!InfoApplication->LoginInfo.UserID.isEmpty())
            SystemLogout();
    }

    // Forgets the library path read from ERPaccess.cfg so the next login reads the file.
    static void resetLogin()
    {
        InfoApplication->LoginInfo = TLoginInfo();
        InfoApplication->ERPAccess.reset();
        ReadProgramSettings();
        ForgetIntegrationLibraryPath();
    }

    void useLibrary(const QString& value)
    {
        writeFile(programDir().filePath("ERPaccess.cfg"), "[ERPaccess]\nLibrary=" + value + "\n");
    }

    // Answers the ERP login dialog once it shows: user number and password, or cancel.
    static void answerLoginDialog(const QString& userNo, const QString& password, bool cancel = false)
    {
        QTimer::singleShot(0, [=] {
            QWidget* dlg = QApplication::activeModalWidget();
            ASSERT_NE(dlg, nullptr);
            ASSERT_EQ(dlg->objectName(), "ERPLoginDlg");
            if (cancel) {
                static_cast<QDialog*>(dlg)->reject();
                return;
            }
            dlg->findChild<QLineEdit*>("edtUserNo")->setText(userNo);
            dlg->findChild<QLineEdit*>("edtPassword")->setText(password);
            QMetaObject::invokeMethod(dlg, "accept");
        });
    }

    void exec(const QString& sql)
    {
        auto c = kvtsql::Connection::open(dbFile);
        const auto r = c->execute(sql);
        ASSERT_TRUE(r.errors.isEmpty()) << r.errors.first().message.toStdString();
    }

    void writeSilentLogin(const QString& userNo)
    {
        QSettings s(AppFramePaths().SettingsFile, QSettings::IniFormat);
        s.setValue("Connect/Silent", 1);
        s.setValue("Connect/String", EncipherSilentLogin({"演示账套", userNo, "", "", "KorvaneDemo", dbFile}, SilentLoginKey()));
        s.sync();
        resetLogin();
    }

    QTemporaryDir dbDir;
    QString dbFile;
};

} // namespace

TEST_F(LoginTest, InteractiveLoginOfAnAdministratorInNoGroup)
{
    ScriptedMessageBoxes boxes;
    answerLoginDialog("admin", "123");
    const int tick = InfoApplication->LoginTick;
    ASSERT_TRUE(SystemLogin());
    EXPECT_TRUE(boxes.shown.isEmpty());
    const TLoginInfo& info = InfoApplication->LoginInfo;
    EXPECT_EQ(info.UserID, "admin");
    EXPECT_EQ(info.UserName, "系统管理员");
    EXPECT_EQ(info.UserGroups, "null");
    EXPECT_TRUE(info.UserIsAdmin);
    EXPECT_EQ(info.DBAlias, "演示账套");
    EXPECT_EQ(info.DBID, "7");
    EXPECT_EQ(info.DBNo, "001");
    EXPECT_EQ(info.DBLocation, dbFile);
    EXPECT_EQ(InfoApplication->LoginTick, tick + 1);
    EXPECT_EQ(InfoApplication->MaxResultRowCount, 20000);
    EXPECT_NE(InfoApplication->ERPAccess, nullptr);
    // the global query now runs on the account set
    EXPECT_TRUE(ExecSQLText(GlobalADOQuery, "select count(*) as n from QZ_SYS_Users", true, false, false));
}

TEST_F(LoginTest, GroupsAndAdministratorThroughAGroup)
{
    exec("insert QZ_SYS_Users (UsrID, UsrNo, UsrName, UsrAdmin, UsrDisabled) values ('boss', 'boss', '老板''s', 0, 0)\n"
         "insert QZ_SYS_UserBelongs (UsrID, GrpID) values ('boss', 'G_PLAN')\n"
         "insert QZ_SYS_UserBelongs (UsrID, GrpID) values ('boss', 'G_ADMIN')\n"
         "insert ERP_Users (UserID, UserNo, UserName, PasswordHash) select 'boss', 'boss', 'x', PasswordHash from ERP_Users where UserNo='admin'");
    answerLoginDialog("boss", "123");
    ASSERT_TRUE(SystemLogin());
    EXPECT_TRUE(InfoApplication->LoginInfo.UserIsAdmin);
    // each group in front of the text in the order the query returns them, which SQL leaves open
    const QString groups = InfoApplication->LoginInfo.UserGroups;
    EXPECT_TRUE(groups == "'G_ADMIN','G_PLAN',null" || groups == "'G_PLAN','G_ADMIN',null") << groups.toStdString();
    EXPECT_EQ(InfoApplication->LoginInfo.UserName, "老板's");

    SystemLogout();
    answerLoginDialog("plan01", "123");
    ASSERT_TRUE(SystemLogin());
    EXPECT_FALSE(InfoApplication->LoginInfo.UserIsAdmin);
    EXPECT_EQ(InfoApplication->LoginInfo.UserGroups, "'G_PLAN',null");
}

TEST_F(LoginTest, ConfigurationFileMissingOrMalformed)
{
    QFile::remove(programDir().filePath("ERPaccess.cfg"));
    {
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(SystemLogin());
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text,
                  "文件\"" + QDir::toNativeSeparators(programDir().filePath("ERPaccess.cfg")) + "\"不存在, 无法初始化系统!");
        EXPECT_EQ(boxes.shown[0].caption, "错误");
    }
    for (const QString& content : {QStringLiteral("[ERPaccess]\n"), QStringLiteral("[ERPaccess]\nLibrary=   \nOther=x.dll\n"),
                                   QStringLiteral("[Other]\nLibrary=ERPAccess.dll\n")}) {
        writeFile(programDir().filePath("ERPaccess.cfg"), content);
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(SystemLogin());
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "配置文件\"" + QDir::toNativeSeparators(programDir().filePath("ERPaccess.cfg"))
                                           + "\"不能打开或格式不正确, 无法读取ERP系统集成信息!");
        EXPECT_TRUE(IntegrationLibraryPath().isEmpty());
    }
    // the path stayed empty, so the next login reads the mended file again
    useLibrary("ERPAccess.dll");
    answerLoginDialog("admin", "123");
    EXPECT_TRUE(SystemLogin());
}

TEST_F(LoginTest, CancelledLoginShowsNothing)
{
    ScriptedMessageBoxes boxes;
    answerLoginDialog("", "", true);
    EXPECT_FALSE(SystemLogin());
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_TRUE(InfoApplication->LoginInfo.UserID.isEmpty());
    EXPECT_EQ(InfoApplication->ERPAccess, nullptr);
}

TEST_F(LoginTest, DisabledOrUnknownUserIsRefusedAfterTheErpSessionClosed)
{
    for (const QString& user : {QStringLiteral("old01"), QStringLiteral("erp02")}) {
        ScriptedMessageBoxes boxes;
        bool erpSessionOpenAtBox = true;
        kvos::MessageBoxPresenter scripted = kvos::setMessageBoxPresenter({});
        kvos::setMessageBoxPresenter([&](const QString& text, const QString& caption, unsigned flags) {
            // the box comes after the ERP log-out: the session can no longer make bills
            try {
                InfoApplication->ERPAccess->NewBill(1);
            } catch (const Exception&) {
                erpSessionOpenAtBox = false;
            }
            return scripted(text, caption, flags);
        });
        answerLoginDialog(user, "123");
        EXPECT_FALSE(SystemLogin());
        kvos::setMessageBoxPresenter(scripted);
        ASSERT_EQ(boxes.shown.size(), 1) << user.toStdString();
        EXPECT_EQ(boxes.shown[0].text, "登录的ERP用户已禁用或不存在!");
        EXPECT_FALSE(erpSessionOpenAtBox);
        EXPECT_TRUE(InfoApplication->LoginInfo.UserID.isEmpty());
        EXPECT_EQ(InfoApplication->ERPAccess, nullptr);
    }
}

TEST_F(LoginTest, AccountSetWithoutTheSystemTables)
{
    exec("drop table QZ_SYS_UserBelongs");
    ScriptedMessageBoxes boxes;
    answerLoginDialog("admin", "123");
    EXPECT_FALSE(SystemLogin());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text,
              "您连接的ERP账套\"演示账套\"未正确安装配置Korvane系统, 无法登录!\r\r原因: Invalid object name 'QZ_SYS_UserBelongs'.");
}

TEST_F(LoginTest, ASilentLoginToAFileThatIsNoAccountSetSaysWhy)
{
    struct Case {
        const char* name;
        QByteArray content;
    } cases[] = {
        {"empty", QByteArray()},
        {"foreign", "select 1\n"},
        {"damaged", QByteArray("SQLite format 3\0", 16) + QByteArray(100, '\xff')},
    };
    writeSilentLogin("plan01");
    for (const Case& c : cases) {
        QFile::remove(dbFile);
        QFile f(dbFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(SystemLogin()) << c.name;
        ASSERT_EQ(boxes.shown.size(), 1) << c.name;
        const QString text = boxes.shown[0].text;
        EXPECT_TRUE(text.startsWith("您连接的ERP账套\"演示账套\"未正确安装配置Korvane系统, 无法登录!\r\r原因: Cannot open database \"" + dbFile))
            << c.name << ": " << text.toStdString();
        EXPECT_TRUE(text.endsWith("the file is not an account set.")) << c.name << ": " << text.toStdString();
        EXPECT_TRUE(InfoApplication->LoginInfo.UserID.isEmpty());
    }
}

TEST_F(LoginTest, AnAccountSetThatMayNotBeWrittenOpensReadOnlyAndSaysWhyOnce)
{
    // the program folder is read by the user logging in
    ASSERT_EQ(chmod(QFile::encodeName(programDir().path()).constData(), 0755), 0);
    // a password of the old form cannot be renewed here: the login goes on without it
    const QString legacy = "a665a45920422f9d417e4867efdc4fb8a04a1f3fff1fa07e998e86f7f7a27ae3";
    exec("update ERP_Users set PasswordHash='" + legacy + "' where UserNo='plan01'");
    const QByteArray folder = QFile::encodeName(dbDir.path()), file = QFile::encodeName(dbFile);
    struct Case {
        const char* name;
        mode_t folderMode, fileMode;
        bool silent;
        QString told;
    } cases[] = {
        {"folder", 0555, 0666, true,
         "您连接的ERP账套\"演示账套\"的数据文件所在的文件夹\"" + QDir::toNativeSeparators(dbDir.path()) +
             "\"不允许写入, 账套以只读方式打开: 可以查看数据, 但不能保存任何修改!"},
        {"file", 0777, 0444, false,
         "您连接的ERP账套\"演示账套\"的数据文件\"" + QDir::toNativeSeparators(dbFile) +
             "\"不允许写入, 账套以只读方式打开: 可以查看数据, 但不能保存任何修改!"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(chmod(file.constData(), c.fileMode), 0);
        ASSERT_EQ(chmod(folder.constData(), c.folderMode), 0);
        if (c.silent)
            writeSilentLogin("plan01");
        else {
            QFile::remove(AppFramePaths().SettingsFile);
            resetLogin();
            answerLoginDialog("plan01", "123");
        }
        {
            kvtest::AsNobody nobody;
            ScriptedMessageBoxes boxes;
            ASSERT_TRUE(SystemLogin()) << c.name;
            ASSERT_EQ(boxes.shown.size(), 1) << c.name;
            EXPECT_EQ(boxes.shown[0].text, c.told) << c.name;
            EXPECT_EQ(boxes.shown[0].icon(), kvos::MB_ICONWARNING);
            // reading works, every write is refused with the engine's own error
            EXPECT_EQ(InfoApplication->LoginInfo.UserID, "plan01");
            EXPECT_FALSE(ExecSQLText(GlobalADOQuery, "update QZ_SYS_Users set UsrName='x' where UsrID='plan01'", false, false, false));
            ASSERT_GT(GlobalADOConnection->Errors()->Count(), 0);
            EXPECT_EQ(GlobalADOConnection->Errors()->Item(0).NativeError, 3906) << c.name;
            EXPECT_EQ(boxes.shown.size(), 1) << "told once";
            SystemLogout();
        }
        EXPECT_EQ(QDir(dbDir.path()).entryList(QDir::Files), QStringList{"demo.kvdb"}) << c.name;
    }
    chmod(folder.constData(), 0700);
    chmod(file.constData(), 0600);
    auto c = kvtsql::Connection::open(dbFile);
    const auto r = c->execute("select PasswordHash from ERP_Users where UserNo='plan01'");
    ASSERT_TRUE(r.errors.isEmpty());
    EXPECT_EQ(r.resultSets.first().rows.first().first().toString(), legacy);
}

TEST_F(LoginTest, SilentLoginByUserNumberThenSilentErpLogin)
{
    writeSilentLogin("plan01");
    EXPECT_TRUE(SilentLogin());
    EXPECT_EQ(InfoApplication->LoginInfo.UserNo, "plan01");
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(SystemLogin());
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(InfoApplication->LoginInfo.UserID, "plan01");
    EXPECT_EQ(InfoApplication->LoginInfo.DBAlias, "演示账套");
    EXPECT_EQ(InfoApplication->LoginInfo.DBNo, "001"); // filled by the ERP's silent login
    EXPECT_NE(InfoApplication->ERPAccess->NewBill(1), nullptr);
}

TEST_F(LoginTest, AnUnreadableLoginStringIsRefusedWithAShortMessage)
{
    const QString expected = "程序设置文件\"" + QDir::toNativeSeparators(AppFramePaths().SettingsFile) + "\"中的登录信息不正确, 无法登录!";
    const QString good = EncipherSilentLogin({"演示账套", "plan01", "", "", "KorvaneDemo", dbFile}, SilentLoginKey());
    struct Case {
        const char* what;
        QString string;
    } cases[] = {
        {"10 MB of hex digits", QString(10 * 1024 * 1024, u'7')},
        {"not hex", "zz" + good},
        {"odd length", good + "A"},
        {"enciphered under another key", EncipherSilentLogin({"演示账套", "plan01", "", "", "KorvaneDemo", dbFile}, "0BADF00D")},
        {"five items", EncipherSilentLogin({"演示账套", "plan01", "", "", "KorvaneDemo"}, SilentLoginKey())},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        QSettings s(AppFramePaths().SettingsFile, QSettings::IniFormat);
        s.setValue("Connect/Silent", 1);
        s.setValue("Connect/String", c.string);
        s.sync();
        resetLogin();
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(SystemLogin()) << c.what;
        ASSERT_EQ(boxes.shown.size(), 1) << c.what;
        EXPECT_EQ(boxes.shown[0].text, expected) << c.what;
        EXPECT_TRUE(InfoApplication->LoginInfo.DBAlias.isEmpty()) << c.what;
    }
    // a good string logs in again
    writeSilentLogin("plan01");
    ScriptedMessageBoxes boxes;
    EXPECT_TRUE(SystemLogin());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(LoginTest, SilentLoginRefusedByTheErp)
{
    // a Korvane user the ERP does not know: the ERP's silent login raises
    exec("insert QZ_SYS_Users (UsrID, UsrNo, UsrName, UsrAdmin, UsrDisabled) values ('ghost', 'ghost', 'g', 0, 0)");
    writeSilentLogin("ghost");
    {
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(SystemLogin());
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_TRUE(boxes.shown[0].text.startsWith("调用集成程序\"")) << boxes.shown[0].text.toStdString();
        EXPECT_TRUE(InfoApplication->LoginInfo.UserID.isEmpty());
    }
}

TEST_F(LoginTest, MisbehavingLibraries)
{
    struct Case { QString library; bool silent; };
    const Case cases[] = {
        {"KvFakeNilERP.dll", false},      // no interface handed out: reported, never called
        {"KvFakeRefusingERP.dll", true},  // silent login answered "not OK" without raising
        {"NoSuchLibrary.dll", false},
    };
    for (const Case& c : cases) {
        useLibrary(c.library);
        if (c.silent)
            writeSilentLogin("plan01");
        else
            resetLogin();
        ForgetIntegrationLibraryPath(); // a fresh read of ERPaccess.cfg for each library
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(SystemLogin()) << c.library.toStdString();
        ASSERT_EQ(boxes.shown.size(), 1) << c.library.toStdString();
        const QString path = QDir::toNativeSeparators(programDir().filePath(c.library));
        EXPECT_EQ(boxes.shown[0].text, "调用集成程序\"" + path + "\"连接ERP账套出现错误!");
        EXPECT_EQ(InfoApplication->ERPAccess, nullptr);
        EXPECT_TRUE(InfoApplication->LoginInfo.UserID.isEmpty());
    }
}

TEST_F(LoginTest, TwoLoginsReadTheConfigurationOnceAndLogoutClearsState)
{
    answerLoginDialog("admin", "123");
    const int tick = InfoApplication->LoginTick;
    ASSERT_TRUE(SystemLogin());
    EXPECT_EQ(InfoApplication->GetSystemEnumName("MrpBillType", -99), "(-99)");
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef("QZ_MRP.SO");
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(InfoApplication->GetInfoObjectDef("qz_mrp.so"), def);
    ASSERT_TRUE(SystemLogout());
    EXPECT_EQ(InfoObjectDefCacheCount(), 0);
    EXPECT_TRUE(InfoApplication->LoginInfo.UserID.isEmpty());
    EXPECT_EQ(InfoApplication->ERPAccess, nullptr);
    EXPECT_FALSE(GlobalADOConnection->Connected());

    QFile::remove(programDir().filePath("ERPaccess.cfg")); // not read again
    answerLoginDialog("plan01", "123");
    ASSERT_TRUE(SystemLogin());
    EXPECT_EQ(InfoApplication->LoginTick, tick + 2);
    EXPECT_EQ(InfoApplication->LoginInfo.UserID, "plan01");
}

TEST_F(LoginTest, WrongPasswordKeepsTheDialogOpen)
{
    ScriptedMessageBoxes boxes;
    QString refusal;
    QTimer::singleShot(0, [&refusal] {
        QWidget* dlg = QApplication::activeModalWidget();
        ASSERT_NE(dlg, nullptr);
        dlg->findChild<QLineEdit*>("edtUserNo")->setText("admin");
        dlg->findChild<QLineEdit*>("edtPassword")->setText("wrong");
        QMetaObject::invokeMethod(dlg, "accept");
        EXPECT_TRUE(dlg->isVisible()); // refused: still open
        refusal = dlg->findChild<QLabel*>("lblMessage")->text();
        dlg->findChild<QLineEdit*>("edtPassword")->setText("123");
        QMetaObject::invokeMethod(dlg, "accept");
    });
    ASSERT_TRUE(SystemLogin());
    EXPECT_EQ(refusal, "用户编号或密码不正确!");
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(LoginTest, PasswordsAreSaltedSlowHashesAndAnOldFormIsReplacedAtTheNextGoodLogin)
{
    const auto stored = [this](const QString& sql) {
        auto c = kvtsql::Connection::open(dbFile);
        const auto r = c->execute(sql);
        EXPECT_TRUE(r.errors.isEmpty());
        QStringList values;
        for (const auto& row : r.resultSets.value(0).rows)
            values << row.first().toString();
        return values;
    };
    // the same password of five users is stored five ways
    EXPECT_EQ(stored("select count(distinct PasswordHash) from ERP_Users where PasswordHash like '$argon2id$%'"),
              QStringList{"5"});

    // an account set of an earlier version keeps the unsalted SHA-256 of "123"
    const QString legacy = "a665a45920422f9d417e4867efdc4fb8a04a1f3fff1fa07e998e86f7f7a27ae3";
    exec("update ERP_Users set PasswordHash='" + legacy + "' where UserNo='admin'");
    ScriptedMessageBoxes boxes;
    QStringList refusals;
    QStringList storedAfterRefusal;
    QTimer::singleShot(0, [&] {
        QWidget* dlg = QApplication::activeModalWidget();
        ASSERT_NE(dlg, nullptr);
        const auto attempt = [&](const QString& user, const QString& password) {
            dlg->findChild<QLineEdit*>("edtUserNo")->setText(user);
            dlg->findChild<QLineEdit*>("edtPassword")->setText(password);
            QMetaObject::invokeMethod(dlg, "accept");
        };
        attempt("admin", "124");
        refusals << dlg->findChild<QLabel*>("lblMessage")->text();
        storedAfterRefusal = stored("select PasswordHash from ERP_Users where UserNo='admin'");
        attempt("nosuchuser", "123");
        refusals << dlg->findChild<QLabel*>("lblMessage")->text();
        attempt("admin", "123");
    });
    ASSERT_TRUE(SystemLogin());
    EXPECT_EQ(refusals, (QStringList{"用户编号或密码不正确!", "用户编号或密码不正确!"})) << "a wrong password and an unknown user alike";
    EXPECT_EQ(storedAfterRefusal, QStringList{legacy}) << "a refused password changes nothing";
    const QStringList renewed = stored("select PasswordHash from ERP_Users where UserNo='admin'");
    ASSERT_EQ(renewed.size(), 1);
    EXPECT_TRUE(renewed.first().startsWith("$argon2id$")) << renewed.first().toStdString();
    SystemLogout();

    // the renewed form lets the user in, and stays as it is
    resetLogin();
    answerLoginDialog("admin", "123");
    ASSERT_TRUE(SystemLogin());
    EXPECT_EQ(stored("select PasswordHash from ERP_Users where UserNo='admin'"), renewed);
    EXPECT_TRUE(boxes.shown.isEmpty());
}
