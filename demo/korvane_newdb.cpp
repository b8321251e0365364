// korvane-newdb DBFILE: creates a fresh demo account set in DBFILE.
#include "NewAccountSet.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() != 2 || args[1].startsWith(u'-')) {
        err << "usage: korvane-newdb DBFILE\n"
               "creates a fresh demo account set in DBFILE (which must not exist yet)\n";
        return 2;
    }
    QString error;
    if (!kvdemo::createAccountSet(args[1], &error)) {
        err << error << "\n";
        return 1;
    }
    out << QStringLiteral("已创建演示账套: %1").arg(args[1]) << "\n";
    return 0;
}
