#pragma once
// The synthetic account set the benchmarks run on, made by korvane-gendb: six
// levels, 3 to 8 components per bill, one part in every product's bill, 52
// weekly periods, two sales-order lines per end item, stock and open orders
// on a third of the items. A set kept in a folder is used again on a copy, so
// that it stays as made. Also the start of a benchmark program.
#include "LocalTimeZone.h"
#include "MessageBox.h"
#include "SilentLogin.h"
#include "StandInProcedures.h"
#include "TsqlEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace kvbench {

// AMore: further options of korvane-gendb (another shape of the same set).
inline int makeAccountSet(const QString& ADbFile, int AItems, const QStringList& AMore = {})
{
    const int endItems = AItems / 7; // the top of seven levels
    return QProcess::execute(QCoreApplication::applicationDirPath() + QStringLiteral("/korvane-gendb"),
                             QStringList{ADbFile, QStringLiteral("--items"), QString::number(AItems), QStringLiteral("--depth"),
                                         QStringLiteral("6"), QStringLiteral("--fanout"), QStringLiteral("3"),
                                         QStringLiteral("--fanout-max"), QStringLiteral("8"),
                                         QStringLiteral("--shared-component"), QStringLiteral("--open-orders"),
                                         QStringLiteral("--demands"), QString::number(2 * endItems), QStringLiteral("--periods"),
                                         QStringLiteral("52")} +
                                 AMore);
}

// Copies an account set through the engine, so that what its log holds comes along.
inline bool copyAccountSet(const QString& AFrom, const QString& ATo)
{
    try {
        kvtsql::Connection::open(AFrom)->copyTo(ATo);
        return true;
    } catch (const kvtsql::SqlException& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return false;
    }
}

// The set of AItems items in ADbFile: a copy of AKept when that file is there,
// else a new one (with the further korvane-gendb options AMore), then kept as
// AKept (when AKept is not empty). Prints what it
// did; false (with the reason on stderr) when it could not.
inline bool prepareAccountSet(const QString& ADbFile, int AItems, const QString& AKept, const QStringList& AMore = {})
{
    QElapsedTimer t;
    t.start();
    if (!AKept.isEmpty() && QFile::exists(AKept)) {
        if (!copyAccountSet(AKept, ADbFile)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(AKept));
            return false;
        }
        std::printf("== %d items: account set copied from %s\n", AItems, qPrintable(AKept));
        return true;
    }
    if (int rc = makeAccountSet(ADbFile, AItems, AMore); rc != 0) {
        std::fprintf(stderr, "korvane-gendb failed (%d)\n", rc);
        return false;
    }
    std::printf("== %d items: account set made in %.1f s\n", AItems, t.elapsed() / 1000.0);
    if (!AKept.isEmpty() && (!QDir().mkpath(QFileInfo(AKept).path()) || !copyAccountSet(ADbFile, AKept)))
        std::fprintf(stderr, "cannot keep the account set as %s\n", qPrintable(AKept));
    return true;
}

// Logs the benchmark's user in silently on the account set in AFolder.
inline bool login(const QString& AFolder, const QString& ADbFile)
{
    return kvtest::silentLogin({AFolder, ADbFile, QStringLiteral("合成账套"), 1, QStringLiteral("Bench")});
}

// Before the application object: no screen, the local time zone read once.
inline void beforeApplication()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    kvos::ReadLocalTimeZoneOnce();
}

// After it: the stand-in procedures; no box may wait for a user, so each is
// printed and answered with its default.
inline void afterApplication()
{
    kvdemo::registerStandInProcedures();
    kvos::setMessageBoxPresenter([](const QString& text, const QString&, unsigned flags) {
        std::fprintf(stderr, "[box] %s\n", qPrintable(text));
        return kvos::defaultButtonOf(flags);
    });
}

} // namespace kvbench
