#pragma once
// The account sets this ERP integration library offers at login, read from its
// own configuration file "ERPAccountSets.cfg" beside the library: one section
// per account set, in file order.
//
//   [演示账套]
//   ID=1
//   No=001
//   Location=demo.kvdb      ; a server, or an account-set file (relative: beside the library)
//   Database=KorvaneDemo
//   LoginID=
//   Password=
//   Options=
#include <QList>
#include <QString>

struct TERPAccountSet {
    QString Alias;
    QString ID;
    QString No;
    QString Location;
    QString Database;
    QString LoginID;
    QString Password;
    QString Options;
};

// Reads the account sets of a configuration file; an unreadable file gives none.
QList<TERPAccountSet> ReadERPAccountSets(const QString& fileName);

// The folder this library was loaded from.
QString ERPLibraryFolder();
