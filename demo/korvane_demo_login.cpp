// korvane-demo-login PROGRAMDIR DBFILE [USERNO]
// Writes the silent-login settings of the program in PROGRAMDIR (Korvane.ini,
// section Connect) for the demo account set DBFILE, so that Korvane starts
// logged in as USERNO (default plan01). Also writes the ERP library's
// ERPAccountSets.cfg and ERPaccess.cfg beside the program. The account set is
// offered under the name it keeps (a synthetic set made by korvane-gendb has
// its own), else as the demo set "演示账套".
#include "SyntheticAccountSet.h"
#include "untAppFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <cstdio>

namespace {
bool writeText(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(text.toUtf8());
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fputs("usage: korvane-demo-login PROGRAMDIR DBFILE [USERNO]\n", stderr);
        return 2;
    }
    const QDir programDir(args[1]);
    const QString dbFile = QFileInfo(args[2]).absoluteFilePath();
    const QString userNo = args.value(3, QStringLiteral("plan01"));
    const QString stored = kvdemo::storedAccountSetName(dbFile);
    const QString alias = stored.isEmpty() ? QStringLiteral("演示账套") : stored;
    const QString database = QStringLiteral("KorvaneDemo");

    bool ok = writeText(programDir.filePath(QStringLiteral("ERPaccess.cfg")), QStringLiteral("[ERPaccess]\nLibrary=ERPAccess.dll\n"));
    ok = ok && writeText(programDir.filePath(QStringLiteral("ERPAccountSets.cfg")),
                         QStringLiteral("[%1]\nID=1\nNo=001\nLocation=%2\nDatabase=%3\nLoginID=\nPassword=\n").arg(alias, dbFile, database));
    if (!ok) {
        std::fprintf(stderr, "korvane-demo-login: cannot write into %s\n", qPrintable(programDir.path()));
        return 1;
    }
    QSettings settings(programDir.filePath(QStringLiteral("Korvane.ini")), QSettings::IniFormat);
    if (userNo.isEmpty()) {
        settings.setValue(QStringLiteral("Connect/Silent"), 0);
        settings.remove(QStringLiteral("Connect/String"));
    } else {
        settings.setValue(QStringLiteral("Connect/Silent"), 1);
        settings.setValue(QStringLiteral("Connect/String"),
                          EncipherSilentLogin({alias, userNo, QString(), QString(), database, dbFile}, SilentLoginKey()));
    }
    settings.sync();
    return settings.status() == QSettings::NoError ? 0 : 1;
}
