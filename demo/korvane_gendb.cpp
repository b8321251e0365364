// korvane-gendb DBFILE [options]: creates a large synthetic account set for benchmarks.
#include "SyntheticAccountSet.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.setApplicationDescription("Creates a synthetic account set of the given size in DBFILE (which must not exist yet).");
    parser.addHelpOption();
    parser.addPositionalArgument("DBFILE", "the account-set file to create");
    const kvdemo::SyntheticParams defaults;
    const QCommandLineOption items("items", "items in all", "N", QString::number(defaults.items));
    const QCommandLineOption depth("depth", "bill-of-materials levels below the products", "N", QString::number(defaults.depth));
    const QCommandLineOption fanOut("fanout", "components per bill (the least, with --fanout-max)", "N", QString::number(defaults.fanOut));
    const QCommandLineOption fanOutMax("fanout-max", "the most components per bill", "N", QString::number(defaults.fanOutMax));
    const QCommandLineOption sharedComponent("shared-component", "one purchased part in every product's bill");
    const QCommandLineOption openOrders("open-orders", "open production and purchase orders on a third of the items");
    const QCommandLineOption released("released-orders", "open production orders with their material lines, as a large release leaves them", "N", QString::number(defaults.releasedOrders));
    const QCommandLineOption demands("demands", "open sales-order lines", "N", QString::number(defaults.demands));
    const QCommandLineOption periods("periods", "weekly plan periods", "N", QString::number(defaults.periods));
    const QCommandLineOption seed("seed", "random seed", "N", QString::number(defaults.seed));
    parser.addOptions({items, depth, fanOut, fanOutMax, sharedComponent, openOrders, released, demands, periods, seed});
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        err << parser.helpText();
        return 2;
    }
    kvdemo::SyntheticParams p;
    bool ok = true;
    auto number = [&](const QCommandLineOption& o) {
        bool good = false;
        const int n = parser.value(o).toInt(&good);
        if (!good) {
            err << QStringLiteral("参数--%1的值(%2)不是整数!").arg(o.names().first(), parser.value(o)) << "\n";
            ok = false;
        }
        return n;
    };
    p.items = number(items);
    p.depth = number(depth);
    p.fanOut = number(fanOut);
    p.fanOutMax = number(fanOutMax);
    p.sharedComponent = parser.isSet(sharedComponent);
    p.openOrders = parser.isSet(openOrders);
    p.releasedOrders = number(released);
    p.demands = number(demands);
    p.periods = number(periods);
    p.seed = unsigned(number(seed));
    if (!ok)
        return 2;
    QString error;
    if (!kvdemo::createSyntheticAccountSet(parser.positionalArguments().first(), p, &error)) {
        err << error << "\n";
        return 1;
    }
    QTextStream(stdout) << QStringLiteral("已创建合成账套: %1").arg(parser.positionalArguments().first()) << "\n";
    return 0;
}
