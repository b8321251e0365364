// bench_mrp [--save FILE | --compare FILE] [--accounts DIR] [--released N] [--profile N] [ITEMS...]
//           (default 2000 10000 50000; --help lists the options)
// For each size: makes a synthetic account set with korvane-gendb (six levels,
// 3 to 8 components per bill, one part in every product's bill, 52 weekly
// periods, two sales-order lines per end item, stock and open orders on a
// third of the items), logs in as the planner, builds the main demand and runs MRP, and
// prints the wall time of every stage of the run, the SQL batches and
// characters sent, the rows written through prepared statements and the peak
// memory of the process. Run it on one core with
// "taskset -c 0 build/bin/bench_mrp".
// --save FILE writes the run's result tables (demands, supplies, adjustments,
// allotments, balance, run log without its times), one line per row, sorted;
// --compare FILE makes the same lines and compares them row by row with FILE,
// so a change made for speed can prove it changed no result. With several
// sizes the size is appended to FILE's name. --accounts DIR keeps each made
// account set in DIR and runs on a copy of it when it is there already.
// --profile N lists the N SQL batches of the run that took longest in all.
// --released N makes the set as a large release of planned orders leaves it:
// N more open production orders, each with the material lines of its bill.
#include "BenchAccountSet.h"
#include "BenchOptions.h"
#include "BenchResults.h"
#include "LocalTimeZone.h"
#include "MessageBox.h"
#include "SilentLogin.h"
#include "StandInProcedures.h"
#include "TsqlEngine.h"
#include "UDBComm.h"
#include "untAppFrame.h"
#include "untApplication.h"
#include "untMRP.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

QString gSaveFile, gCompareFile, gAccountsDir;
int gProfileLines = 0;
int gReleasedOrders = 0;
bool gSeveralSizes = false;

QString sizedName(const QString& file, int items)
{
    return gSeveralSizes ? file + QLatin1Char('.') + QString::number(items) : file;
}

int benchOne(int items)
{
    QTemporaryDir dir;
    const QString dbFile = dir.filePath(QStringLiteral("bench.kvdb"));
    // The shape after a large release is kept under a name of its own.
    const QString name = gReleasedOrders > 0 ? QStringLiteral("bench-%1-released-%2.kvdb").arg(items).arg(gReleasedOrders)
                                             : QStringLiteral("bench-%1.kvdb").arg(items);
    const QString kept = gAccountsDir.isEmpty() ? QString() : QDir(gAccountsDir).filePath(name);
    const QStringList more = gReleasedOrders > 0
                                 ? QStringList{QStringLiteral("--released-orders"), QString::number(gReleasedOrders)}
                                 : QStringList();
    if (!kvbench::prepareAccountSet(dbFile, items, kept, more))
        return 1;
    QElapsedTimer t;
    t.start();
    if (!kvbench::login(dir.path(), dbFile)) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }
    TPlanScheme scheme(GlobalADOConnection);

    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    ExecSQLText(&q, QStringLiteral("select min(SchIID) from QZ_MRP_Schemes where SchType=0"), true, true, true);
    const int iid = q.Fields()->Field(0)->AsInteger();
    q.Close();
    if (!scheme.Load(iid)) {
        std::fprintf(stderr, "scheme %d not found\n", iid);
        return 1;
    }
    t.restart();
    if (!scheme.RunMPS(false, false)) {
        std::fprintf(stderr, "RunMPS failed\n");
        return 1;
    }
    std::printf("  main demand             %8.1f s\n", t.elapsed() / 1000.0);
    scheme.Load(iid);
    MRPRunStats() = TMRPRunStats();
    MRPRunStats().Profile = gProfileLines > 0;
    QElapsedTimer stage;
    QString current;
    auto report = [&](const QString& next) {
        if (!current.isEmpty())
            std::printf("  %-40s %8.1f s\n", qPrintable(current), stage.elapsed() / 1000.0);
        current = next;
        stage.restart();
    };
    t.restart();
    stage.start();
    const bool ok = scheme.RunMRP(false, false, false,
                                  [&](TMessageKind, const QString& text, const QString&, const QVariant&, const QVariant&,
                                      void* parent) -> void* {
                                      if (!parent)
                                          report(text.mid(20));
                                      else if (text.contains(QStringLiteral("中止")))
                                          std::fprintf(stderr, "%s\n", qPrintable(text));
                                      return reinterpret_cast<void*>(1);
                                  });
    report(QString());
    std::printf("  MRP %s in %.1f s; %lld SQL batches, %lld characters, %lld rows through prepared statements; "
                "peak memory %.0f MB\n",
                ok ? "done" : "FAILED", t.elapsed() / 1000.0, static_cast<long long>(MRPRunStats().Batches),
                static_cast<long long>(MRPRunStats().Chars), static_cast<long long>(MRPRunStats().BulkRows),
                kvbench::peakKB() / 1024.0);
    kvbench::printProfile(gProfileLines);
    bool same = true;
    if (ok && (!gSaveFile.isEmpty() || !gCompareFile.isEmpty())) {
        const QStringList lines = kvbench::resultLines(iid);
        if (!gSaveFile.isEmpty())
            kvbench::saveLines(lines, sizedName(gSaveFile, items));
        if (!gCompareFile.isEmpty())
            same = kvbench::compareLines(lines, sizedName(gCompareFile, items));
    }
    SystemLogout();
    return ok && same ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    kvbench::beforeApplication();
    QApplication app(argc, argv);
    kvbench::afterApplication();
    kvbench::Options options(QStringLiteral("Main demand and a whole MRP run on synthetic account sets of ITEMS items: the time "
                                            "of every stage, the SQL sent, the rows written and the peak memory."),
                             QStringLiteral("ITEMS..."), QStringLiteral("sizes of the account sets (default 2000 10000 50000)"));
    options.Add(QStringLiteral("save"), QStringLiteral("write the run's result rows to FILE (the size appended with several)"),
                QStringLiteral("FILE"));
    options.Add(QStringLiteral("compare"), QStringLiteral("compare the run's result rows with FILE"), QStringLiteral("FILE"));
    options.Add(QStringLiteral("accounts"), QStringLiteral("keep each made account set in DIR and use it again"),
                QStringLiteral("DIR"));
    options.Add(QStringLiteral("released"),
                QStringLiteral("the set after a large release: N more open production orders with their material lines"),
                QStringLiteral("N"), QStringLiteral("0"));
    options.Add(QStringLiteral("part-rows"),
                QStringLiteral("plan a level of more rows in parts of whole items (0: every level at once)"),
                QStringLiteral("N"), QString::number(MRPLevelPartRows()));
    options.Add(QStringLiteral("profile"), QStringLiteral("list the N SQL batches that took longest"), QStringLiteral("N"),
                QStringLiteral("0"));
    options.Process(app);
    gSaveFile = options.Value(QStringLiteral("save"));
    gCompareFile = options.Value(QStringLiteral("compare"));
    gAccountsDir = options.Value(QStringLiteral("accounts"));
    gProfileLines = options.Number(QStringLiteral("profile"));
    gReleasedOrders = options.Number(QStringLiteral("released"));
    MRPLevelPartRows() = options.Number(QStringLiteral("part-rows"));
    const QList<int> sizes = options.Numbers({2000, 10000, 50000});
    gSeveralSizes = sizes.size() > 1;
    int rc = 0;
    for (int n : sizes)
        rc |= benchOne(n);
    return rc;
}
