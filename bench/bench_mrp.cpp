// bench_mrp [--save FILE | --compare FILE] [--accounts DIR] [--profile N] [ITEMS...]
//           (default 2000 10000 50000)
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
#include "BenchAccountSet.h"
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
#include <sys/resource.h>

namespace {

long peakKB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// The result rows of one scheme as sorted text lines "table|value|value|...".
QStringList resultLines(int iid)
{
    struct Table {
        const char* name;
        const char* schemeColumn;
        const char* skipped; // columns whose values differ from run to run
    };
    static const Table tables[] = {
        {"QZ_MRP_Demands", "DmdSchIID", ""},     {"QZ_MRP_Supplies", "SupSchIID", ""},
        {"QZ_MRP_SupAdjusts", "AdjSchIID", ""},  {"QZ_MRP_Allots", "AltSchIID", ""},
        {"QZ_MRP_DestAlters", "DstSchIID", ""},  {"QZ_MRP_Balance", "BalSchIID", ""},
        {"QZ_MRP_RunLog", "LogSchIID", "LogTime"},
    };
    QStringList lines;
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    for (const Table& t : tables) {
        ExecSQLText(&q, QStringLiteral("select * from %1 where %2=%3").arg(QLatin1String(t.name), QLatin1String(t.schemeColumn)).arg(iid),
                    true, true, true);
        QList<int> kept;
        for (int i = 0; i < q.FieldCount(); ++i)
            if (q.Fields()->Field(i)->FieldName().compare(QLatin1String(t.skipped), Qt::CaseInsensitive) != 0)
                kept << i;
        for (; !q.Eof(); q.Next()) {
            QString line = QLatin1String(t.name);
            for (int i : kept) {
                TField* f = q.Fields()->Field(i);
                // hints hold a line per period: one result row stays one text line
                QString value = f->IsNull() ? QStringLiteral("<null>") : f->AsString();
                value.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
                line += QLatin1Char('|') + value;
            }
            lines << line;
        }
        q.Close();
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Compares the lines with those stored in the file; prints the first differences.
bool compareLines(const QStringList& lines, const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(file));
        return false;
    }
    QStringList stored = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    int shown = 0;
    qsizetype a = 0, b = 0, onlyOld = 0, onlyNew = 0;
    // both lists are sorted: walk them together
    while (a < stored.size() || b < lines.size()) {
        const int cmp = a == stored.size() ? 1 : b == lines.size() ? -1 : stored[a].compare(lines[b]);
        if (cmp == 0) {
            ++a, ++b;
            continue;
        }
        if (cmp < 0) {
            ++onlyOld;
            if (shown++ < 10)
                std::printf("  - %s\n", qPrintable(stored[a].left(300)));
            ++a;
        } else {
            ++onlyNew;
            if (shown++ < 10)
                std::printf("  + %s\n", qPrintable(lines[b].left(300)));
            ++b;
        }
    }
    std::printf("  compared %lld stored rows with %lld rows of this run: %lld only stored, %lld only now: %s\n",
                static_cast<long long>(stored.size()), static_cast<long long>(lines.size()),
                static_cast<long long>(onlyOld), static_cast<long long>(onlyNew),
                onlyOld + onlyNew == 0 ? "the same" : "DIFFERENT");
    return onlyOld + onlyNew == 0;
}

QString gSaveFile, gCompareFile, gAccountsDir;
int gProfileLines = 0;
bool gSeveralSizes = false;

QString sizedName(const QString& file, int items)
{
    return gSeveralSizes ? file + QLatin1Char('.') + QString::number(items) : file;
}

int benchOne(int items)
{
    QTemporaryDir dir;
    const QString dbFile = dir.filePath(QStringLiteral("bench.kvdb"));
    const QString kept = gAccountsDir.isEmpty() ? QString()
                                                : QDir(gAccountsDir).filePath(QStringLiteral("bench-%1.kvdb").arg(items));
    if (!kvbench::prepareAccountSet(dbFile, items, kept))
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
                peakKB() / 1024.0);
    if (gProfileLines > 0) {
        using Entry = std::pair<QString, TMRPRunStats::TBatchTime>;
        std::vector<Entry> top;
        for (auto it = MRPRunStats().BatchTimes.cbegin(); it != MRPRunStats().BatchTimes.cend(); ++it)
            top.emplace_back(it.key(), it.value());
        std::sort(top.begin(), top.end(),
                  [](const Entry& a, const Entry& b) { return a.second.Nanoseconds > b.second.Nanoseconds; });
        if (top.size() > size_t(gProfileLines))
            top.resize(size_t(gProfileLines));
        for (const Entry& e : top)
            std::printf("  %7.3f s %6lld x  %s\n", e.second.Nanoseconds / 1e9, static_cast<long long>(e.second.Count),
                        qPrintable(QString(e.first).replace(QLatin1Char('\r'), QLatin1Char(' ')).simplified()));
    }
    bool same = true;
    if (ok && (!gSaveFile.isEmpty() || !gCompareFile.isEmpty())) {
        const QStringList lines = resultLines(iid);
        if (!gSaveFile.isEmpty()) {
            QFile f(sizedName(gSaveFile, items));
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
                f.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
            std::printf("  %lld result rows written to %s\n", static_cast<long long>(lines.size()),
                        qPrintable(f.fileName()));
        }
        if (!gCompareFile.isEmpty())
            same = compareLines(lines, sizedName(gCompareFile, items));
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
    QList<int> sizes;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if ((arg == QLatin1String("--save") || arg == QLatin1String("--compare")) && i + 1 < argc)
            (arg == QLatin1String("--save") ? gSaveFile : gCompareFile) = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--accounts") && i + 1 < argc)
            gAccountsDir = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--profile") && i + 1 < argc)
            gProfileLines = QString::fromLocal8Bit(argv[++i]).toInt();
        else
            sizes << arg.toInt();
    }
    if (sizes.isEmpty())
        sizes = {2000, 10000, 50000};
    gSeveralSizes = sizes.size() > 1;
    int rc = 0;
    for (int n : sizes)
        rc |= benchOne(n);
    return rc;
}
