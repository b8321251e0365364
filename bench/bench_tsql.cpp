// Write-back batch benchmark: a batch of 500 updates and 500 inserts that differ
// only in their literals (about 65,000 characters, as the planning engine sends),
// run through the T-SQL engine and through raw SQLite with the same effect.
// Prints both times and their ratio; then the cost of durable commits (an
// account set commits with synchronous=FULL): single-row writes, each its own
// transaction, through the engine and through raw SQLite with NORMAL and FULL.
// Usage: bench_tsql [rounds]
#include "TsqlEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

static const int kRows = 250;
static const int kCommits = 200;

static QString tsqlBatch(int round)
{
    QString b;
    for (int i = 1; i <= kRows; ++i)
        b += QStringLiteral("update QZ_MRP_Supplies set SupQty=%1, SupRestQty=%1, SupHints='r%2 n%3' where SupIID=%3\r")
                 .arg(i * 1.25 + round, 0, 'f', 8).arg(round).arg(i);
    for (int i = 1; i <= kRows; ++i)
        b += QStringLiteral("insert #QZ_MRP_Allots (AltPeriod, AltSupIID, AltDmdIID, AltDate, AltQty) values (%1, %2, %3, '20240105', %4)\r")
                 .arg(i % 12).arg(i).arg(i + round).arg(i * 0.5, 0, 'f', 8);
    return b;
}

static QByteArray rawBatch(int round)
{
    QString b;
    for (int i = 1; i <= kRows; ++i)
        b += QStringLiteral("update QZ_MRP_Supplies set SupQty=%1, SupRestQty=%1, SupHints='r%2 n%3' where SupIID=%3;\n")
                 .arg(i * 1.25 + round, 0, 'f', 8).arg(round).arg(i);
    for (int i = 1; i <= kRows; ++i)
        b += QStringLiteral("insert into \"#QZ_MRP_Allots\" (AltPeriod, AltSupIID, AltDmdIID, AltDate, AltQty) values (%1, %2, %3, '2024-01-05 00:00:00.000', %4);\n")
                 .arg(i % 12).arg(i).arg(i + round).arg(i * 0.5, 0, 'f', 8);
    return b.toUtf8();
}

static const char* kSchema =
    "create table QZ_MRP_Supplies (SupIID int identity(1,1) primary key, SupQty decimal(28,8), SupRestQty decimal(28,8), SupHints nvarchar(200))\n";

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    QTemporaryDir dir;

    // the engine
    auto conn = kvtsql::Connection::create(dir.filePath("engine.db"));
    QString fill = kSchema;
    for (int i = 1; i <= kRows; ++i) fill += QStringLiteral("insert QZ_MRP_Supplies (SupQty, SupRestQty, SupHints) values (0, 0, '')\n");
    fill += "create table #QZ_MRP_Allots (AltIID int identity(1,1) primary key, AltPeriod int, AltSupIID int, AltDmdIID int, AltDate datetime, AltQty decimal(28,8))";
    auto r = conn->execute(fill);
    if (!r.errors.isEmpty()) { fprintf(stderr, "%s\n", qPrintable(r.errors[0].message)); return 1; }
    QList<QString> batches;
    for (int k = 0; k < rounds; ++k) batches << tsqlBatch(k);
    printf("batch: %d statements, %lld characters\n", 2 * kRows, qlonglong(batches[0].size()));
    QElapsedTimer t;
    t.start();
    for (int k = 0; k < rounds; ++k) {
        r = conn->execute("begin tran\r" + batches[k] + "commit");
        if (!r.errors.isEmpty()) { fprintf(stderr, "%s\n", qPrintable(r.errors[0].message)); return 1; }
    }
    const double engineMs = t.nsecsElapsed() / 1e6 / rounds;

    // raw SQLite with the same effect and the same durability
    auto rawRun = [&](const char* sync, const QString& file) {
        sqlite3* db = nullptr;
        sqlite3_open(file.toUtf8().constData(), &db);
        sqlite3_exec(db, (QByteArray("PRAGMA journal_mode=WAL; PRAGMA synchronous=") + sync + ";"
                          "create table QZ_MRP_Supplies (SupIID INTEGER PRIMARY KEY AUTOINCREMENT, SupQty decimal(28,8), SupRestQty decimal(28,8), SupHints nvarchar(200));"
                          "create temp table \"#QZ_MRP_Allots\" (AltIID INTEGER PRIMARY KEY AUTOINCREMENT, AltPeriod int, AltSupIID int, AltDmdIID int, AltDate datetime, AltQty decimal(28,8));").constData(),
                     nullptr, nullptr, nullptr);
        for (int i = 1; i <= kRows; ++i) sqlite3_exec(db, "insert into QZ_MRP_Supplies (SupQty, SupRestQty, SupHints) values (0, 0, '')", nullptr, nullptr, nullptr);
        QList<QByteArray> raws;
        for (int k = 0; k < rounds; ++k) raws << rawBatch(k);
        QElapsedTimer rt;
        rt.start();
        for (int k = 0; k < rounds; ++k) {
            sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
            char* err = nullptr;
            if (sqlite3_exec(db, raws[k].constData(), nullptr, nullptr, &err) != SQLITE_OK) { fprintf(stderr, "%s\n", err); exit(1); }
            sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
        }
        const double ms = rt.nsecsElapsed() / 1e6 / rounds;
        // single-row writes, each committed on its own
        rt.restart();
        for (int i = 1; i <= kCommits; ++i)
            sqlite3_exec(db, QStringLiteral("update QZ_MRP_Supplies set SupQty=%1 where SupIID=%2").arg(i).arg(i % kRows + 1).toUtf8().constData(),
                         nullptr, nullptr, nullptr);
        const double commitMs = rt.nsecsElapsed() / 1e6 / kCommits;
        sqlite3_close(db);
        return std::make_pair(ms, commitMs);
    };
    const auto rawFull = rawRun("FULL", dir.filePath("raw_full.db"));
    const auto rawNormal = rawRun("NORMAL", dir.filePath("raw_normal.db"));
    const double rawMs = rawFull.first;

    t.restart();
    for (int i = 1; i <= kCommits; ++i) {
        r = conn->execute(QStringLiteral("update QZ_MRP_Supplies set SupQty=%1 where SupIID=%2").arg(i).arg(i % kRows + 1));
        if (!r.errors.isEmpty()) { fprintf(stderr, "%s\n", qPrintable(r.errors[0].message)); return 1; }
    }
    const double engineCommitMs = t.nsecsElapsed() / 1e6 / kCommits;

    printf("engine: %.2f ms per batch\nraw SQLite: %.2f ms per batch\nratio: %.2f\n", engineMs, rawMs, engineMs / rawMs);
    printf("raw SQLite, synchronous=NORMAL: %.2f ms per batch (FULL costs %.0f%% more)\n", rawNormal.first,
           100.0 * (rawFull.first / rawNormal.first - 1));
    printf("single-row commits: engine %.3f ms, raw SQLite FULL %.3f ms, raw SQLite NORMAL %.3f ms\n", engineCommitMs,
           rawFull.second, rawNormal.second);
    return 0;
}
