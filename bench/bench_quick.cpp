// bench_quick [--items N] [--accounts DIR] [--save FILE | --compare FILE] [LINES...]
// The quick kit analysis (快速齐套分析) of the first LINES open sales-order
// lines of a synthetic account set made as bench_mrp makes it (default 10000
// items; LINES default 10 50 0, where 0 means every line), as a planner runs it:
// the analysis opened, its settings dialog picking the lines from the sales
// orders' pick list, OK, the run on the private scheme. Prints the time of the
// settings and of the run, the run log's main lines as they come, the rows of
// the result and the peak memory of the process. Each line count runs in a
// process of its own, so that each peak is that run's.
// --save FILE writes the analysis's result rows (as bench_mrp writes a
// scheme's, without the run log, whose progress lines are no result), one
// line per row, sorted; --compare FILE compares them row by row with FILE;
// with several line counts the count is appended to FILE's name.
// --profile N lists the N SQL batches of the run that took longest in all.
// --accounts DIR keeps the made account set in DIR (under bench_mrp's name)
// and runs on a copy of it when it is there already.
#include "BenchAccountSet.h"
#include "BenchOptions.h"
#include "BenchResults.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "dlgMRPminiSet.h"
#include "dlgViewScheme.h"
#include "famMRPmini.h"
#include "untApplication.h"
#include "untMRP.h"

#include <QApplication>
#include <QDateTime>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

int count(const QString& ASQL)
{
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    if (!ExecSQLText(&q, ASQL, true, false, false) || q.Eof())
        return -1;
    const int n = q.Fields()->Field(0)->AsInteger();
    q.Close();
    return n;
}

struct Settings {
    int items = 10000;
    QString accountsDir, saveFile, compareFile;
    int profile = 0;
};

// The run log's main lines with the seconds each stage took.
void printRunLog(int AIID)
{
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    if (!ExecSQLText(&q, QStringLiteral("select LogText, LogTime from QZ_MRP_RunLog where LogSchIID=%1 and LogIndent=0 "
                                        "order by LogIID").arg(AIID),
                     true, false, false))
        return;
    QString text;
    QDateTime time;
    for (; !q.Eof(); q.Next()) {
        const QDateTime next = q.Fields()->Field(1)->AsDateTime();
        if (!text.isEmpty())
            std::printf("    %-40s %6.1f s\n", qPrintable(text), time.msecsTo(next) / 1000.0);
        text = q.Fields()->Field(0)->AsString();
        time = next;
    }
    if (!text.isEmpty())
        std::printf("    %s\n", qPrintable(text));
    q.Close();
}

int benchLines(const Settings& AOptions, int ALines, const QString& ASaveFile, const QString& ACompareFile)
{
    QTemporaryDir dir;
    const QString dbFile = dir.filePath(QStringLiteral("bench.kvdb"));
    const QString kept = AOptions.accountsDir.isEmpty()
                             ? QString()
                             : QDir(AOptions.accountsDir).filePath(QStringLiteral("bench-%1.kvdb").arg(AOptions.items));
    if (!kvbench::prepareAccountSet(dbFile, AOptions.items, kept))
        return 1;
    if (!kvbench::login(dir.path(), dbFile)) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }
    InitViewSchemeDlgUnit(InfoApplication);
    const int open = count(QStringLiteral("select count(*) from QZ_MRP_SO where CanMRP<>0 and SOQty>0"));
    std::printf("  %d open sales-order lines; the analysis of %d; memory before %.0f MB\n", open,
                ALines == 0 ? open : ALines, kvbench::peakKB() / 1024.0);

    // The settings dialog: the sales orders' pick list, its first lines chosen, OK.
    QElapsedTimer t;
    t.start();
    double settings = 0;
    int listed = 0;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<TMRPminiSetDlg*>(QApplication::activeModalWidget());
        if (!dlg) {
            std::fprintf(stderr, "the settings dialog is not shown\n");
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                other->reject();
            return;
        }
        dlg->chkShowFilter->setChecked(false);
        TPickPopupDlg::ExecHook = [&](TPickPopupDlg& APick) {
            listed = APick.grvPickData->recordCount();
            for (int i = 0; i < listed; ++i)
                APick.grvPickData->selectRecord(i, ALines == 0 || i < ALines);
            return int(QDialog::Accepted);
        };
        dlg->PickBills(QStringLiteral("QZ_MRP.SO"));
        TPickPopupDlg::ExecHook = nullptr;
        dlg->accept();
        settings = t.elapsed() / 1000.0;
        t.restart();
    });
    MRPRunStats() = TMRPRunStats();
    MRPRunStats().Profile = AOptions.profile > 0;
    IInfoFramePtr frame;
    try {
        frame = CreateInfoFrame<TMRPminiFrame>(InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRPmini")));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "the analysis did not finish: %s\n", e.what());
    }
    const double run = t.elapsed() / 1000.0;
    auto* mini = dynamic_cast<TMRPminiFrame*>(frame.get());
    std::printf("  settings (pick list of %d lines, OK) %8.1f s\n", listed, settings);
    if (!mini) {
        std::printf("  analysis FAILED after %.1f s; peak memory %.0f MB\n", run, kvbench::peakKB() / 1024.0);
        SystemLogout();
        return 1;
    }
    const int iid = mini->PlanScheme()->SchemeIID;
    printRunLog(iid);
    kvbench::printProfile(AOptions.profile);
    std::printf("  analysis of %d main-demand lines done in %.1f s: %d demands, %d supplies, %d allotments; "
                "peak memory %.0f MB\n",
                count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(iid)), run,
                count(QStringLiteral("select count(*) from QZ_MRP_Demands where DmdSchIID=%1").arg(iid)),
                count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1").arg(iid)),
                count(QStringLiteral("select count(*) from QZ_MRP_Allots where AltSchIID=%1").arg(iid)),
                kvbench::peakKB() / 1024.0);
    bool same = true;
    if (!ASaveFile.isEmpty() || !ACompareFile.isEmpty()) {
        QStringList lines = kvbench::resultLines(iid);
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const QString& l) { return l.startsWith(QLatin1String("QZ_MRP_RunLog|")); }),
                    lines.end());
        if (!ASaveFile.isEmpty())
            kvbench::saveLines(lines, ASaveFile);
        if (!ACompareFile.isEmpty())
            same = kvbench::compareLines(lines, ACompareFile);
    }
    mini->QueryClose();
    frame.reset();
    SystemLogout();
    return same ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    kvbench::beforeApplication();
    QApplication app(argc, argv);
    kvbench::afterApplication();
    kvbench::Options options(QStringLiteral("The quick kit analysis of the first LINES open sales-order lines of a synthetic "
                                            "account set: time and peak memory of its settings and of its run."),
                             QStringLiteral("LINES..."), QStringLiteral("sales-order lines analysed (0: all; default 10 50 0)"));
    options.Add(QStringLiteral("items"), QStringLiteral("items of the synthetic account set"), QStringLiteral("N"),
                QStringLiteral("10000"));
    options.Add(QStringLiteral("accounts"), QStringLiteral("keep the made account set in DIR and use it again"),
                QStringLiteral("DIR"));
    options.Add(QStringLiteral("part-rows"),
                QStringLiteral("plan a level of more rows in parts of whole items (0: every level at once)"),
                QStringLiteral("N"), QString::number(MRPLevelPartRows()));
    options.Add(QStringLiteral("profile"), QStringLiteral("list the N SQL batches of the run that took longest"),
                QStringLiteral("N"), QStringLiteral("0"));
    options.Add(QStringLiteral("save"), QStringLiteral("write the result rows to FILE"), QStringLiteral("FILE"));
    options.Add(QStringLiteral("compare"), QStringLiteral("compare the result rows with FILE"), QStringLiteral("FILE"));
    options.Process(app);
    Settings s;
    s.items = options.Number(QStringLiteral("items"));
    s.accountsDir = options.Value(QStringLiteral("accounts"));
    s.saveFile = options.Value(QStringLiteral("save"));
    s.compareFile = options.Value(QStringLiteral("compare"));
    s.profile = options.Number(QStringLiteral("profile"));
    MRPLevelPartRows() = options.Number(QStringLiteral("part-rows"));
    const QList<int> counts = options.Numbers({10, 50, 0});
    if (counts.size() == 1) {
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
        return benchLines(s, counts.first(), s.saveFile, s.compareFile);
    }
    // One process a count: each peak is that run's own. The set is made once.
    QTemporaryDir keep;
    QStringList common{QStringLiteral("--items"), QString::number(s.items), QStringLiteral("--part-rows"),
                       QString::number(MRPLevelPartRows()), QStringLiteral("--profile"),
                       QString::number(s.profile), QStringLiteral("--accounts"),
                       s.accountsDir.isEmpty() ? keep.path() : s.accountsDir};
    int rc = 0;
    for (int n : counts) {
        std::printf("== %d items, %s\n", s.items, n == 0 ? "every line" : qPrintable(QStringLiteral("%1 lines").arg(n)));
        std::fflush(stdout);
        QStringList args = common;
        const QString suffix = QLatin1Char('.') + QString::number(n);
        if (!s.saveFile.isEmpty())
            args << QStringLiteral("--save") << s.saveFile + suffix;
        if (!s.compareFile.isEmpty())
            args << QStringLiteral("--compare") << s.compareFile + suffix;
        args << QString::number(n);
        rc |= QProcess::execute(QCoreApplication::applicationFilePath(), args) != 0;
    }
    return rc;
}
