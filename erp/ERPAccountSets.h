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
//
//   [MaxBillRows]          ; not an account set: the most detail rows per bill kind
//   10=1                   ; a kind not listed keeps the library's own limit
#include <QList>
#include <QMap>
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

// The name of the section of row caps per bill kind.
extern const QString ERPMaxBillRowsSection;
// The row caps of a configuration file: bill kind -> most detail rows (1 to
// 65535); entries that are not numbers in that range are ignored.
QMap<int, quint16> ReadERPBillRowCaps(const QString& fileName);
// The row caps as the file holds them now, parsed again only when its text
// changed since the last call (every bill of a long release asks).
QMap<int, quint16> CurrentERPBillRowCaps(const QString& fileName);

// The folder this library was loaded from.
QString ERPLibraryFolder();
