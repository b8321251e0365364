// bench_allot [--accounts DIR] [ITEMS] (default 10000; --help lists the options)
// The result tabs of a plan scheme on a synthetic account set of ITEMS items
// made as bench_mrp makes it (korvane-gendb: six levels, 3 to 8 components per
// bill, a shared part, open orders, two sales-order lines per end item, 52
// weekly periods): after the main demand and the MRP run, prints the time each
// tab takes to show its data (main demand, allotment, balance, supplies, as
// the workbench refreshes a tab on first entry), the allotment's top lines,
// and the time to open the first lines that have children (their children are
// read when a line opens). --accounts DIR keeps the made account set in DIR
// (as bench-ITEMS.kvdb, the name bench_mrp keeps it under) and the set after
// its run (allot-ITEMS-run.kvdb), and uses them again when they are there.
#include "BenchAccountSet.h"
#include "BenchOptions.h"
#include "LocalTimeZone.h"
#include "MessageBox.h"
#include "SilentLogin.h"
#include "StandInProcedures.h"
#include "TreeList.h"
#include "UDBComm.h"
#include "dlgViewScheme.h"
#include "famMRPAllot.h"
#include "famMRPBalance.h"
#include "famMRPMain.h"
#include "famMRPSupplies.h"
#include "untAppFrame.h"
#include "untApplication.h"
#include "untDllCommon.h"
#include "untMRP.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <cstdio>

namespace {

void pump()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// A tab's view in a window of its own, bound to the scheme as the workbench
// binds it; returns the seconds its first refresh took.
template <typename Frame>
double timeTab(const char* ADefID, TPlanScheme& AScheme, const std::function<void(Frame&)>& AAfter = {})
{
    QWidget window;
    window.resize(1400, 860);
    window.setLayout(new QVBoxLayout);
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QString::fromLatin1(ADefID));
    std::shared_ptr<Frame> view = CreateInfoView<Frame>(nullptr, def);
    view->SetParentControl(&window);
    view->InitializeView(QString(), nullptr);
    view->SetPlanScheme(&AScheme, GlobalADOConnection);
    window.show();
    pump();
    QElapsedTimer t;
    t.start();
    InfoApplication->ParseViewSchemeSQL(def, view->GetViewScheme(), GlobalADOQuery);
    view->RefreshData(true);
    pump();
    const double seconds = t.elapsed() / 1000.0;
    if (AAfter)
        AAfter(*view);
    view.reset();
    return seconds;
}

int bench(int items, const QString& accountsDir)
{
    QTemporaryDir dir;
    const QString dbFile = dir.filePath(QStringLiteral("bench.kvdb"));
    // Kept in DIR: the set as made (bench_mrp keeps the same under the same
    // name) and the set after its run.
    const auto keptFile = [&](const QString& AName) {
        return accountsDir.isEmpty() ? QString() : QDir(accountsDir).filePath(AName.arg(items));
    };
    const QString made = keptFile(QStringLiteral("bench-%1.kvdb"));
    const QString kept = keptFile(QStringLiteral("allot-%1-run.kvdb"));
    const bool reuse = !kept.isEmpty() && QFile::exists(kept);
    if (reuse) {
        if (!kvbench::copyAccountSet(kept, dbFile)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(kept));
            return 1;
        }
        std::printf("== %d items: account set after its run copied from %s\n", items, qPrintable(kept));
    } else if (!kvbench::prepareAccountSet(dbFile, items, made)) {
        return 1;
    }
    QElapsedTimer t;
    t.start();
    if (!kvbench::login(dir.path(), dbFile)) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }
    InitViewSchemeDlgUnit(InfoApplication);
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    ExecSQLText(&q, QStringLiteral("select min(SchIID) from QZ_MRP_Schemes where SchType=0"), true, true, true);
    const int iid = q.Fields()->Field(0)->AsInteger();
    q.Close();
    TPlanScheme scheme(GlobalADOConnection);
    if (!scheme.Load(iid)) {
        std::fprintf(stderr, "scheme %d not found\n", iid);
        return 1;
    }
    if (!reuse) {
        t.restart();
        if (!scheme.RunMPS(false, false) || !scheme.Load(iid) || !scheme.RunMRP(false, false, false) || !scheme.Load(iid)) {
            std::fprintf(stderr, "main demand or MRP run failed\n");
            return 1;
        }
        std::printf("  main demand and MRP run %8.1f s\n", t.elapsed() / 1000.0);
        if (!kept.isEmpty()) {
            SystemLogout(); // the file alone holds the run once every connection is closed
            if (!QDir().mkpath(accountsDir) || !kvbench::copyAccountSet(dbFile, kept))
                std::fprintf(stderr, "cannot keep the account set as %s\n", qPrintable(kept));
            if (!kvbench::login(dir.path(), dbFile)
                || !scheme.Load(iid))
                return 1;
        }
    }
    ExecSQLText(&q, QStringLiteral("select (select count(*) from QZ_MRP_Demands where DmdSchIID=%1), "
                                   "(select count(*) from QZ_MRP_Supplies where SupSchIID=%1)").arg(iid),
                true, true, true);
    std::printf("  scheme %d: %d demands, %d supplies\n", iid, q.Fields()->Field(0)->AsInteger(),
                q.Fields()->Field(1)->AsInteger());
    q.Close();

    std::printf("  tab 主需求     %8.2f s\n", timeTab<TMRPMainFrame>("QZ_MRP.MRP.Main", scheme));
    std::printf("  tab 供应计划   %8.2f s\n", timeTab<TMRPSuppliesFrame>("QZ_MRP.MRP.Supplies", scheme));
    std::printf("  tab 供需平衡   %8.2f s\n", timeTab<TMRPBalanceFrame>("QZ_MRP.MRP.Balance", scheme));
    const double allot = timeTab<TMRPAllotFrame>("QZ_MRP.MRP.Allot", scheme, [](TMRPAllotFrame& AView) {
        kvui::TreeList* tree = AView.grdAllot;
        std::printf("    %d top lines\n", tree->topCount());
        // The first 20 sales-order lines whose planned supply has components,
        // then one child of each that has children of its own.
        QElapsedTimer open;
        open.start();
        int opened = 0, children = 0;
        QList<kvui::TreeNode*> second;
        for (int i = 0; i < tree->topCount() && opened < 20; ++i) {
            kvui::TreeNode* node = tree->topNode(i);
            if (!node->hasChildren() || node->value(AView.colDmdBillType).toInt() != 2)
                continue;
            tree->expandNode(node);
            pump();
            if (node->childCount() == 0)
                continue;
            ++opened;
            children += node->childCount();
            for (kvui::TreeNode* c : node->children())
                if (c->hasChildren()) {
                    second << c;
                    break;
                }
        }
        for (kvui::TreeNode* c : second) {
            tree->expandNode(c);
            pump();
            ++opened;
            children += c->childCount();
        }
        std::printf("    opening %d lines (%d children) %8.3f s, %.3f s a line\n", opened, children, open.elapsed() / 1000.0,
                    opened ? open.elapsed() / 1000.0 / opened : 0.0);
    });
    std::printf("  tab 需求分配   %8.2f s\n", allot);
    SystemLogout();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    kvbench::beforeApplication();
    QApplication app(argc, argv);
    kvbench::afterApplication();
    kvbench::Options options(QStringLiteral("The result tabs of a plan scheme after a run on a synthetic account set of ITEMS "
                                            "items: the time each tab takes to show its data, and the opening of allotment "
                                            "lines."),
                             QStringLiteral("ITEMS"), QStringLiteral("size of the account set (default 10000)"));
    options.Add(QStringLiteral("accounts"),
                QStringLiteral("keep the made account set and the set after its run in DIR and use them again"),
                QStringLiteral("DIR"));
    options.Process(app);
    const QList<int> items = options.Numbers({10000});
    if (items.size() != 1) {
        std::fprintf(stderr, "one size only\n");
        return 2;
    }
    return bench(items.first(), options.Value(QStringLiteral("accounts")));
}
