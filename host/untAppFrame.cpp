#include "untAppFrame.h"

#include "OrderedIni.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untApplication.h"
#include "untInfoObjectDefLoader.h"
#include "untInfoObjectSQL.h"
#include "untLibraryLoader.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>

namespace {

const QChar BlockSeparator(0xF8F5);

QString FIntegrationLibraryPath; // kept for the life of the process once read
bool FSilentLogin = false;
bool FLoginStringUnreadable = false; // the settings file's login string cannot be deciphered

// The longest login string taken from the settings file: six short items,
// enciphered as two hex digits per byte, are far below it.
constexpr qsizetype MaxLoginStringLength = 8192;

// The login items of the settings file's string; false when the string is too long,
// is no hex text or does not decipher to six items of text.
bool decipherLoginString(const QString& hex, const QString& key, QStringList& items)
{
    if (hex.isEmpty() || hex.size() > MaxLoginStringLength || hex.size() % 2 != 0)
        return false;
    for (const QChar c : hex)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')))
            return false;
    const QByteArray bytes = UnscrambleHexText(hex, key);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString plain = utf8.decode(bytes);
    if (utf8.hasError())
        return false;
    items = plain.split(BlockSeparator);
    if (items.size() != 6)
        return false;
    for (const QString& item : std::as_const(items))
        for (const QChar c : item)
            if (c.category() == QChar::Other_Control)
                return false;
    return true;
}

using TGetERPAccess = void (*)(IERPAccessPtr* AERPAccess);

// The hourglass for the whole of a login or log-out, restored on every path.
class TWaitCursor {
public:
    TWaitCursor()
    {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~TWaitCursor()
    {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QApplication::restoreOverrideCursor();
    }
};

// Reads the integration library's path from ERPaccess.cfg; shows the box and
// answers false when that fails.
bool readIntegrationLibraryPath()
{
    const QString folder = AppFramePaths().ProgramFolder;
    const QString cfg = QDir(folder).filePath(QStringLiteral("ERPaccess.cfg"));
    if (!QFileInfo::exists(cfg)) {
        ShowError(FormatMessage(QStringLiteral("文件\"%s\"不存在, 无法初始化系统!"), {QDir::toNativeSeparators(cfg)}));
        return false;
    }
    kvos::OrderedIni ini;
    const bool read = ini.load(cfg);
    const auto entries = ini.section(QStringLiteral("ERPaccess"));
    if (!read || entries.isEmpty() || entries.first().second.trimmed().isEmpty()) {
        ShowError(FormatMessage(QStringLiteral("配置文件\"%s\"不能打开或格式不正确, 无法读取ERP系统集成信息!"),
                                {QDir::toNativeSeparators(cfg)}));
        return false;
    }
    FIntegrationLibraryPath = QDir(folder).filePath(entries.first().second.trimmed());
    return true;
}

void showLibraryError()
{
    ShowError(FormatMessage(QStringLiteral("调用集成程序\"%s\"连接ERP账套出现错误!"), {QDir::toNativeSeparators(FIntegrationLibraryPath)}));
}

// Reconnects the global connection and query to the logged-in database, checks
// the user and collects the user's groups. Raises on any database failure;
// answers false when the user is missing or disabled.
bool checkUser(TLoginInfo& info)
{
    GlobalADOConnection->Close();
    ApplyConnectionString(GlobalADOConnection, info.DBType, info.DBLocation, info.DBName, info.DBLoginID, info.DBPassword,
                          info.DBOptions, false);
    GlobalADOQuery->Close();
    GlobalADOQuery->SetConnection(GlobalADOConnection);

    const QString sql = FSilentLogin
        ? QStringLiteral("select * from QZ_SYS_Users with(nolock) where UsrNo=") + QuotedStr(info.UserNo)
        : QStringLiteral("select * from QZ_SYS_Users with(nolock) where UsrID=") + QuotedStr(info.UserID);
    ExecSQLText(GlobalADOQuery, sql, true, true, false);
    if (GlobalADOQuery->IsEmpty() || GlobalADOQuery->FieldByName(QStringLiteral("UsrDisabled"))->AsBoolean())
        return false;
    info.UserID = GlobalADOQuery->FieldByName(QStringLiteral("UsrID"))->AsString();
    info.UserNo = GlobalADOQuery->FieldByName(QStringLiteral("UsrNo"))->AsString();
    info.UserName = GlobalADOQuery->FieldByName(QStringLiteral("UsrName"))->AsString();
    info.UserIsAdmin = GlobalADOQuery->FieldByName(QStringLiteral("UsrAdmin"))->AsBoolean();

    ExecSQLText(GlobalADOQuery,
                QStringLiteral("select b.GrpID, g.GrpAdmin from QZ_SYS_UserBelongs as b with(nolock) join QZ_SYS_UserGroups as g "
                               "with(nolock) on b.GrpID=g.GrpID where b.UsrID=")
                    + QuotedStr(info.UserID),
                true, true, false);
    info.UserGroups = QStringLiteral("null");
    for (GlobalADOQuery->First(); !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
        info.UserGroups = QuotedStr(GlobalADOQuery->FieldByName(QStringLiteral("GrpID"))->AsString()) + QLatin1Char(',') + info.UserGroups;
        if (GlobalADOQuery->FieldByName(QStringLiteral("GrpAdmin"))->AsBoolean())
            info.UserIsAdmin = true;
    }
    GlobalADOQuery->Close();
    return true;
}

// An account set that refuses writes is told once, at login, with the reason:
// what is read works, every change is refused.
void tellReadOnly(const QString& alias, const QString& location)
{
    const QFileInfo file(location);
    switch (GlobalADOConnection->ReadOnlyCause()) {
    case kvado::Driver::ReadOnlyCause::None:
        return;
    case kvado::Driver::ReadOnlyCause::File:
        ShowWarning(FormatMessage(QStringLiteral("您连接的ERP账套\"%s\"的数据文件\"%s\"不允许写入, 账套以只读方式打开: "
                                                 "可以查看数据, 但不能保存任何修改!"),
                                  {alias, QDir::toNativeSeparators(file.absoluteFilePath())}));
        return;
    case kvado::Driver::ReadOnlyCause::Folder:
        ShowWarning(FormatMessage(QStringLiteral("您连接的ERP账套\"%s\"的数据文件所在的文件夹\"%s\"不允许写入, 账套以只读方式打开: "
                                                 "可以查看数据, 但不能保存任何修改!"),
                                  {alias, QDir::toNativeSeparators(file.absolutePath())}));
        return;
    }
}

void logoutQuietly(const IERPAccessPtr& access)
{
    if (!access)
        return;
    try {
        bool ok = false;
        access->Logout(ok);
    } catch (...) {
    }
}

} // namespace

TAppFramePaths& AppFramePaths()
{
    static TAppFramePaths paths = [] {
        TAppFramePaths p;
        p.ProgramFolder = QCoreApplication::applicationDirPath();
        p.SettingsFile = QCoreApplication::applicationFilePath() + QStringLiteral(".ini");
        return p;
    }();
    return paths;
}

void InitAppFrameUnit()
{
    if (!InfoApplication)
        InfoApplication = new TInfoApplication();
    InstallInfoObjectDefHooks(InfoApplication);
    InstallInfoObjectSQLHooks(InfoApplication);
}

QString SilentLoginKey()
{
    return GetSystemVolumeSerial();
}

QString EncipherSilentLogin(const QStringList& items, const QString& key)
{
    // The counterpart of UnscrambleHexText: scramble, combine with the key, hex text high digit first.
    const QByteArray scrambled = ScrambleBytes(items.join(BlockSeparator).toUtf8());
    QString hex;
    for (qsizetype k = 1; k <= scrambled.size(); ++k) {
        unsigned b = static_cast<unsigned char>(scrambled[k - 1]);
        b ^= key.isEmpty() ? 0xFFu : (key[k % key.size()].unicode() & 0xFFu);
        hex += IntToBaseText(b, 16, 2);
    }
    return hex;
}

void ReadProgramSettings()
{
    QSettings settings(AppFramePaths().SettingsFile, QSettings::IniFormat);
    FSilentLogin = settings.value(QStringLiteral("Connect/Silent"), 0).toInt() != 0;
    FLoginStringUnreadable = false;
    if (!FSilentLogin)
        return;
    QStringList items;
    FLoginStringUnreadable = !decipherLoginString(settings.value(QStringLiteral("Connect/String")).toString(), SilentLoginKey(), items);
    if (FLoginStringUnreadable)
        return;
    TLoginInfo& info = InfoApplication->LoginInfo;
    info.DBAlias = items.value(0).trimmed();
    info.UserNo = items.value(1).trimmed();
    info.DBPassword = items.value(2).trimmed();
    info.DBLoginID = items.value(3).trimmed();
    info.DBName = items.value(4).trimmed();
    info.DBLocation = items.value(5).trimmed();
    info.DBType = dbMSSQL;
}

bool SilentLogin()
{
    return FSilentLogin;
}

QString IntegrationLibraryPath()
{
    return FIntegrationLibraryPath;
}

void ForgetIntegrationLibraryPath()
{
    FIntegrationLibraryPath.clear();
}

bool SystemLogin()
{
    TWaitCursor wait;
    TInfoApplication* app = InfoApplication;
    const auto fail = [app] {
        app->LoginInfo.UserID.clear();
        app->ERPAccess.reset();
        return false;
    };

    // a login string that cannot be deciphered is refused before anything is tried with it
    if (FSilentLogin && FLoginStringUnreadable) {
        ShowError(FormatMessage(QStringLiteral("程序设置文件\"%s\"中的登录信息不正确, 无法登录!"),
                                {QDir::toNativeSeparators(AppFramePaths().SettingsFile)}));
        return fail();
    }

    if (FIntegrationLibraryPath.isEmpty() && !readIntegrationLibraryPath())
        return fail();

    auto getERPAccess = reinterpret_cast<TGetERPAccess>(GetDllProc(FIntegrationLibraryPath, QStringLiteral("GetERPAccess")));
    if (!getERPAccess) {
        showLibraryError();
        return fail();
    }
    try {
        IERPAccessPtr access;
        getERPAccess(&access);
        // A library that hands out no interface is reported, never called.
        if (!access) {
            showLibraryError();
            return fail();
        }
        app->ERPAccess = access;
        if (!FSilentLogin) {
            TLoginInfo info;
            bool ok = false;
            access->Login(info, 0, ok);
            if (!ok || info.UserID.isEmpty())
                return fail(); // cancelled: no box
            app->LoginInfo = info;
        }
    } catch (const std::exception&) {
        showLibraryError();
        return fail();
    }

    try {
        if (!checkUser(app->LoginInfo)) {
            // The ERP session opened above is closed before the refusal is shown.
            if (!FSilentLogin)
                logoutQuietly(app->ERPAccess);
            ShowError(QStringLiteral("登录的ERP用户已禁用或不存在!"));
            return fail();
        }
    } catch (const std::exception& e) {
        if (!FSilentLogin)
            logoutQuietly(app->ERPAccess);
        // the database's own reason (no account set, a damaged file, a missing table) under the message
        const auto* own = dynamic_cast<const Exception*>(&e);
        const QString reason = own ? own->Message : QString::fromUtf8(e.what());
        ShowError(FormatMessage(QStringLiteral("您连接的ERP账套\"%s\"未正确安装配置Korvane系统, 无法登录!"), {app->LoginInfo.DBAlias})
                  + (reason.isEmpty() ? QString() : QStringLiteral("\r\r原因: ") + reason));
        return fail();
    }

    if (FSilentLogin) {
        try {
            bool ok = false;
            app->ERPAccess->Login(app->LoginInfo, 1, ok);
            // A silent login the library refuses fails as a raised one does.
            if (!ok)
                throw Exception(QStringLiteral("silent login refused"));
        } catch (const std::exception&) {
            showLibraryError();
            return fail();
        }
    }

    app->LoadSystemSettings();
    ++app->LoginTick;
    tellReadOnly(app->LoginInfo.DBAlias, app->LoginInfo.DBLocation);
    return true;
}

bool SystemLogout()
{
    TWaitCursor wait;
    TInfoApplication* app = InfoApplication;
    logoutQuietly(app->ERPAccess);
    app->ERPAccess.reset();
    ClearInfoObjectDefCache();
    GlobalADOQuery->Close();
    GlobalADOConnection->Close();
    app->LoginInfo.UserID.clear();
    app->ClearCaches();
    return true;
}
