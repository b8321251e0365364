#pragma once
// Logs the program in silently to an account-set file, as a user whose login
// the program's settings hold: the program folder gets the ERP integration
// library, the library's account-set list and ERPaccess.cfg, and the program's
// settings the enciphered login. Any earlier login's library and user are
// forgotten first, so a program may log in again. Shared by the tests and the
// benchmarks; programs using it link korvane_host.
#include "untAppFrame.h"
#include "untApplication.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QString>

namespace kvtest {

struct SilentLoginTarget {
    QString programFolder;
    QString dbFile;
    QString accountSet;  // the name the ERP library lists it under
    int accountSetID = 1;
    QString database;
    QString userNo = QStringLiteral("plan01");
};

inline bool writeTextFile(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(text.toUtf8());
    return true;
}

// False when a file cannot be written or the login fails.
inline bool silentLogin(const SilentLoginTarget& t)
{
    const QString& folder = t.programFolder;
    QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/libERPAccess.so"),
                folder + QStringLiteral("/libERPAccess.so"));
    AppFramePaths().ProgramFolder = folder;
    AppFramePaths().SettingsFile = folder + QStringLiteral("/Korvane.ini");
    InitAppFrameUnit();
    if (!writeTextFile(folder + QStringLiteral("/ERPAccountSets.cfg"),
                       QStringLiteral("[%1]\nID=%2\nNo=001\nLocation=%3\nDatabase=%4\nLoginID=\nPassword=\n")
                           .arg(t.accountSet)
                           .arg(t.accountSetID)
                           .arg(t.dbFile, t.database))
        || !writeTextFile(folder + QStringLiteral("/ERPaccess.cfg"), QStringLiteral("[ERPaccess]\nLibrary=ERPAccess.dll\n")))
        return false;
    {
        QSettings s(AppFramePaths().SettingsFile, QSettings::IniFormat);
        s.setValue(QStringLiteral("Connect/Silent"), 1);
        s.setValue(QStringLiteral("Connect/String"),
                   EncipherSilentLogin({t.accountSet, t.userNo, QString(), QString(), t.database, t.dbFile}, SilentLoginKey()));
        s.sync();
    }
    InfoApplication->LoginInfo = TLoginInfo();
    InfoApplication->ERPAccess.reset();
    ReadProgramSettings();
    ForgetIntegrationLibraryPath();
    return SystemLogin();
}

} // namespace kvtest
