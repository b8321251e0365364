// bench_mrp [ITEMS...]  (default 2000 10000 50000)
// For each size: makes a synthetic account set with korvane-gendb (six levels,
// 3 to 8 components per bill, one part in every product's bill, 52 weekly
// periods, two sales-order lines per end item, stock and open orders on a
// third of the items), logs in as the planner, builds the main demand and runs MRP, and
// prints the wall time of every stage of the run, the SQL batches and
// characters sent and the peak memory of the process. Run it on one core with
// "taskset -c 0 build/bin/bench_mrp".
#include "MessageBox.h"
#include "StandInProcedures.h"
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
#include <cstdio>
#include <sys/resource.h>

namespace {

long peakKB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

bool writeFile(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(text.toUtf8());
    return true;
}

bool login(const QString& folder, const QString& dbFile)
{
    QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/libERPAccess.so"),
                folder + QStringLiteral("/libERPAccess.so"));
    AppFramePaths().ProgramFolder = folder;
    AppFramePaths().SettingsFile = folder + QStringLiteral("/Korvane.ini");
    InitAppFrameUnit();
    writeFile(folder + QStringLiteral("/ERPAccountSets.cfg"),
              QStringLiteral("[合成账套]\nID=1\nNo=001\nLocation=") + dbFile + QStringLiteral("\nDatabase=Bench\nLoginID=\nPassword=\n"));
    writeFile(folder + QStringLiteral("/ERPaccess.cfg"), QStringLiteral("[ERPaccess]\nLibrary=ERPAccess.dll\n"));
    {
        QSettings s(AppFramePaths().SettingsFile, QSettings::IniFormat);
        s.setValue(QStringLiteral("Connect/Silent"), 1);
        s.setValue(QStringLiteral("Connect/String"),
                   EncipherSilentLogin({QStringLiteral("合成账套"), QStringLiteral("plan01"), QString(), QString(),
                                        QStringLiteral("Bench"), dbFile},
                                       SilentLoginKey()));
    }
    InfoApplication->LoginInfo = TLoginInfo();
    InfoApplication->ERPAccess.reset();
    ReadProgramSettings();
    ForgetIntegrationLibraryPath();
    return SystemLogin();
}

int benchOne(int items)
{
    QTemporaryDir dir;
    const QString dbFile = dir.filePath(QStringLiteral("bench.kvdb"));
    const int endItems = items / 7; // the top of seven levels
    QElapsedTimer t;
    t.start();
    const int rc = QProcess::execute(QCoreApplication::applicationDirPath() + QStringLiteral("/korvane-gendb"),
                                     {dbFile, QStringLiteral("--items"), QString::number(items), QStringLiteral("--depth"),
                                      QStringLiteral("6"), QStringLiteral("--fanout"), QStringLiteral("3"),
                                      QStringLiteral("--fanout-max"), QStringLiteral("8"), QStringLiteral("--shared-component"),
                                      QStringLiteral("--open-orders"),
                                      QStringLiteral("--demands"), QString::number(2 * endItems), QStringLiteral("--periods"),
                                      QStringLiteral("52")});
    if (rc != 0) {
        std::fprintf(stderr, "korvane-gendb failed (%d)\n", rc);
        return 1;
    }
    std::printf("== %d items: account set made in %.1f s\n", items, t.elapsed() / 1000.0);
    if (!login(dir.path(), dbFile)) {
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
    std::printf("  MRP %s in %.1f s; %lld SQL batches, %lld characters; peak memory %.0f MB\n", ok ? "done" : "FAILED",
                t.elapsed() / 1000.0, static_cast<long long>(MRPRunStats().Batches),
                static_cast<long long>(MRPRunStats().Chars), peakKB() / 1024.0);
    SystemLogout();
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kvdemo::registerStandInProcedures();
    // No box may wait for a user: print it and answer with its default.
    kvos::setMessageBoxPresenter([](const QString& text, const QString&, unsigned flags) {
        std::fprintf(stderr, "[box] %s\n", qPrintable(text));
        return kvos::defaultButtonOf(flags);
    });
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {2000, 10000, 50000};
    int rc = 0;
    for (int n : sizes)
        rc |= benchOne(n);
    return rc;
}
