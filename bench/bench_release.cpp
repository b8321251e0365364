// bench_release [--accounts DIR] [--items N] [--type T] [--rows N] [--pboms] [--esc-after N] (--help lists them)
// Times the release of planned supplies as ERP bills at a large company's
// scale: makes a synthetic account set with korvane-gendb (the sizes and
// shapes of bench_mrp, default 10000 items, so that a set kept by one
// benchmark serves the other), fills in what the road needs and the set lacks
// (an employee heading purchase bills), builds the main demand, runs MRP,
// releases the scheme through the release dialog, opens the output view as
// the navigator does, checks every open supply of the target bill type T
// (default 22, production; 24 or 36 subcontracting, 38 purchase) or the
// first N of them, and outputs them through the stand-in ERP library. Prints
// the time of each step, the bills and rows saved and the rate.
// --pboms sends the material lists with production and subcontract bills;
// --esc-after N presses Esc once N bills are saved and answers 是, to time
// the stop. --accounts DIR keeps the made account set in DIR and runs later
// benchmarks on a copy of it.
// Run it on one core with "taskset -c 0 build/bin/bench_release"; profile it
// with "perf record -g build/bin/bench_release --accounts DIR".
#include "Ado.h"
#include "BenchAccountSet.h"
#include "BenchOptions.h"
#include "BenchResults.h"
#include "EscapeKey.h"
#include "LocalTimeZone.h"
#include "MessageBox.h"
#include "SilentLogin.h"
#include "StandInProcedures.h"
#include "UDBComm.h"
#include "ReleaseThroughDialog.h"
#include "dlgViewScheme.h"
#include "famMRPOutput.h"
#include "untApplication.h"
#include "untMRP.h"
#include "untMRPOutputOptions.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

namespace {

struct Options {
    QString accountsDir;
    int items = 10000;
    int type = 22;
    int rows = 0;
    bool pboms = false;
    int escAfter = 0;
};
Options gOptions;

int count(const QString& ASQL)
{
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    if (!ExecSQLText(&q, ASQL, true, false, false))
        return -1;
    const int n = q.Fields()->Field(0)->AsInteger();
    q.Close();
    return n;
}

// What the release road needs and a generated set may lack: an employee and
// a department to head requisitions.
void fillRoadMasterData()
{
    ExecSQLText(GlobalADOQuery,
                QStringLiteral("if not exists (select * from QZ_Base_Employee where EmpID='E01')\r"
                               "insert QZ_Base_Employee (EmpID, EmpNo, EmpName, EmpDisabled) values ('E01', 'E01', '采购员一', 0)\r"
                               "if not exists (select * from QZ_Base_Department where DeptID='D01')\r"
                               "insert QZ_Base_Department (DeptID, DeptNo, DeptName, DeptWorkShop) values ('D01', '01', '生产车间', 1)"),
                false, false, true);
}

int run()
{
    QTemporaryDir dir;
    const QString dbFile = dir.filePath(QStringLiteral("bench.kvdb"));
    const QString kept = gOptions.accountsDir.isEmpty()
        ? QString()
        : QDir(gOptions.accountsDir).filePath(QStringLiteral("release-%1.kvdb").arg(gOptions.items));
    // The set is kept as made and copied through the engine.
    if (!kvbench::prepareAccountSet(dbFile, gOptions.items, kept))
        return 1;
    QElapsedTimer t;
    t.start();
    if (!kvbench::login(dir.path(), dbFile)) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }
    InitViewSchemeDlgUnit(InfoApplication);
    fillRoadMasterData();
    const int iid = count(QStringLiteral("select min(SchIID) from QZ_MRP_Schemes where SchType=0"));
    TPlanScheme scheme(GlobalADOConnection);
    t.restart();
    if (!scheme.Load(iid) || !scheme.RunMPS(false, false) || !scheme.Load(iid) || !scheme.RunMRP(false, false, false)) {
        std::fprintf(stderr, "main demand or MRP failed\n");
        return 1;
    }
    std::printf("  main demand and MRP      %8.1f s (%d planned productions)\n", t.elapsed() / 1000.0,
                count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1 and SupBillType=42").arg(iid)));
    t.restart();
    if (!kvtest::releaseThroughDialog(iid)
        || count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(iid)) != 8) {
        std::fprintf(stderr, "the scheme was not released\n");
        return 1;
    }
    std::printf("  release                  %8.1f s\n", t.elapsed() / 1000.0);

    TMRPOutputOptions o;
    LoadMRPOutputOptions(gOptions.type, o);
    o.OutPBoms = gOptions.pboms;
    o.EmployeeID = QStringLiteral("E01");
    o.DepartmentID = QStringLiteral("D01");
    SaveMRPOutputOptions(gOptions.type, o);
    if (gOptions.type == 24)
        InfoApplication->WriteSystemSettingAsBoolean(QStringLiteral("QZ_MRP"), QStringLiteral("OutputDirectOO"), true, true);

    t.restart();
    QWidget window;
    window.resize(1380, 860);
    new QVBoxLayout(&window);
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRPOutput"));
    auto view = CreateInfoView<TMRPOutputFrame>(nullptr, def);
    view->SetParentControl(&window);
    view->InitializeView(QString(), nullptr);
    InfoApplication->ParseViewSchemeSQL(def, view->GetViewScheme(), GlobalADOQuery);
    view->RefreshData(true);
    TMRPOutputFrame* v = view.get();
    std::printf("  output view loaded       %8.1f s (%d supplies)\n", t.elapsed() / 1000.0, v->grdSupplies->topCount());
    int checked = 0;
    for (kvui::TreeNode* n : v->grdSupplies->topNodes())
        if (n->value(v->colSupDestType).toInt() == gOptions.type && (gOptions.rows == 0 || checked < gOptions.rows)) {
            n->setCheckState(Qt::Checked);
            ++checked;
        }
    const int before = count(QStringLiteral("select count(*) from ERP_Bills"));

    QString summary;
    kvos::setMessageBoxPresenter([&](const QString& text, const QString&, unsigned flags) {
        if (text.contains(QStringLiteral("[Esc]")) || text.contains(QStringLiteral("继续执行投放")))
            return kvos::IDYES;
        summary = text;
        return kvos::defaultButtonOf(flags);
    });
    QTimer esc;
    bool pressed = false;
    QElapsedTimer sinceEsc;
    if (gOptions.escAfter > 0) {
        esc.setInterval(0);
        QObject::connect(&esc, &QTimer::timeout, [&] {
            if (!pressed && count(QStringLiteral("select count(*) from ERP_Bills")) >= before + gOptions.escAfter) {
                pressed = true;
                sinceEsc.start();
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(v->grdSupplies, &press);
                QApplication::sendEvent(v->grdSupplies, &release);
            }
        });
        esc.start();
    }
    t.restart();
    v->ExecCommand(v->ActionCommand(QStringLiteral("Output")));
    const double seconds = t.elapsed() / 1000.0;
    esc.stop();
    const int bills = count(QStringLiteral("select count(*) from ERP_Bills")) - before;
    std::printf("  output of %d checked rows %8.1f s: %d bills, %.0f bills a minute; peak memory %.0f MB\n", checked, seconds, bills,
                seconds > 0 ? bills * 60 / seconds : 0.0, kvbench::peakKB() / 1024.0);
    if (pressed)
        std::printf("  stopped %.2f s after the Esc\n", sinceEsc.elapsed() / 1000.0);
    std::printf("  %s\n", qPrintable(QString(summary).replace(QLatin1Char('\r'), QLatin1Char(' '))));
    SystemLogout();
    return bills > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    kvbench::beforeApplication();
    QApplication app(argc, argv);
    kvbench::afterApplication();
    kvbench::Options options(QStringLiteral("The release of planned supplies as ERP bills on a synthetic account set: MRP "
                                            "run, release, output view, and the output of every open supply of one bill "
                                            "type through the stand-in ERP library."));
    options.Add(QStringLiteral("items"), QStringLiteral("items of the synthetic account set"), QStringLiteral("N"),
                QStringLiteral("10000"));
    options.Add(QStringLiteral("accounts"), QStringLiteral("keep the made account set in DIR and use it again"),
                QStringLiteral("DIR"));
    options.Add(QStringLiteral("type"),
                QStringLiteral("bill type output: 22 production, 24 or 36 subcontracting, 38 purchase"),
                QStringLiteral("T"), QStringLiteral("22"));
    options.Add(QStringLiteral("rows"), QStringLiteral("output only the first N open supplies (0: all)"), QStringLiteral("N"),
                QStringLiteral("0"));
    options.Add(QStringLiteral("pboms"), QStringLiteral("send the material lists with production and subcontract bills"));
    options.Add(QStringLiteral("esc-after"), QStringLiteral("press Esc once N bills are saved and time the stop"),
                QStringLiteral("N"), QStringLiteral("0"));
    options.Process(app);
    gOptions.items = options.Number(QStringLiteral("items"));
    gOptions.accountsDir = options.Value(QStringLiteral("accounts"));
    gOptions.type = options.Number(QStringLiteral("type"));
    gOptions.rows = options.Number(QStringLiteral("rows"));
    gOptions.pboms = options.IsSet(QStringLiteral("pboms"));
    gOptions.escAfter = options.Number(QStringLiteral("esc-after"));
    return run();
}
