#pragma once
// What the benchmarks measure and compare: the peak memory of the process and
// the result rows of a plan scheme as sorted text lines, written to a file by
// --save and compared row by row with such a file by --compare, so that a
// change made for speed proves it changed no result.
#include "UDBComm.h"
#include "untApplication.h"
#include "untMRP.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace kvbench {

inline long peakKB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// The result rows of one scheme as sorted text lines "table|value|value|...".
inline QStringList resultLines(int iid)
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
inline bool compareLines(const QStringList& lines, const QString& file)
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

// Writes the lines to the file, one a line.
inline bool saveLines(const QStringList& lines, const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    f.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    std::printf("  %lld result rows written to %s\n", static_cast<long long>(lines.size()), qPrintable(file));
    return true;
}

// The ALines SQL batches of the MRP runs since the counters were cleared
// that took longest in all (with MRPRunStats().Profile set before the runs).
inline void printProfile(int ALines)
{
    if (ALines <= 0)
        return;
    {
        using Entry = std::pair<QString, TMRPRunStats::TBatchTime>;
        std::vector<Entry> top;
        for (auto it = MRPRunStats().BatchTimes.cbegin(); it != MRPRunStats().BatchTimes.cend(); ++it)
            top.emplace_back(it.key(), it.value());
        std::sort(top.begin(), top.end(),
                  [](const Entry& a, const Entry& b) { return a.second.Nanoseconds > b.second.Nanoseconds; });
        if (top.size() > size_t(ALines))
            top.resize(size_t(ALines));
        for (const Entry& e : top)
            std::printf("  %7.3f s %6lld x  %s\n", e.second.Nanoseconds / 1e9, static_cast<long long>(e.second.Count),
                        qPrintable(QString(e.first).replace(QLatin1Char('\r'), QLatin1Char(' ')).simplified()));
    }
}

} // namespace kvbench
