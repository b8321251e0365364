#pragma once
// The application frame: creates the one application object at start-up,
// reads the program settings (silent login), logs the user in through the ERP
// integration library named in ERPaccess.cfg and logs out again.
#include <QString>

class TInfoApplication;

// Where the program looks for ERPaccess.cfg and its settings file. Default:
// the program's folder and the program's path with ".ini".
struct TAppFramePaths {
    QString ProgramFolder;
    QString SettingsFile;
};
TAppFramePaths& AppFramePaths();

// Unit start-up: the application object and the caches of the login.
void InitAppFrameUnit();
// Reads section Connect of the settings file: the silent-login flag and, when
// set, the login record deciphered from "String".
void ReadProgramSettings();

bool SystemLogin();
bool SystemLogout();

// The process-wide state of the login (exposed for the main window and tests).
bool SilentLogin();
QString IntegrationLibraryPath();
// Makes the next login read ERPaccess.cfg again (tests).
void ForgetIntegrationLibraryPath();

// The key under which the settings file's "String" is enciphered on this machine.
QString SilentLoginKey();
// The stored form of the six silent-login items (alias, user number, database
// password, database login, database, location) under a key.
QString EncipherSilentLogin(const QStringList& items, const QString& key);
