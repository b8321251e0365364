// kv-idle-program DBFILE: a program that sits idle on an account set as a user
// leaves one: a view of table T open in a grid with an edit pending, and the
// error box of a save that failed up on the screen, its event loop running.
// The save runs as the program's grids save: the pending records in one
// transaction, the batch through ExecSQLText, which reports its failure in a box.
// Prints "box <text>" when the box is up; a line "close" on standard input
// closes it; the program then prints "closed" and ends at the end of its input.
#include "Ado.h"
#include "BandedGrid.h"
#include "DataSetSource.h"
#include "MessageBox.h"
#include "UDBComm.h"

#include <QApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kv-idle-program DBFILE\n", stderr);
        return 2;
    }
    TADOConnection connection;
    connection.SetConnectionString(
        QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=t").arg(QString::fromLocal8Bit(argv[1])));
    TADOQuery view;
    view.SetConnection(&connection);
    view.SQL.SetText(QStringLiteral("select a from T order by a"));
    view.Open();
    kvui::DataSetSource source(&view);
    kvui::BandedGrid grid;
    grid.addBand();
    grid.addColumn(QStringLiteral("a"), QStringLiteral("a"));
    grid.setDataSource(&source);
    grid.resize(400, 300);
    grid.show();
    source.setFieldValue(0, QStringLiteral("a"), -5);   // the pending edit

    // The box: up until standard input says "close", the event loop running.
    kvos::setMessageBoxPresenter([](const QString& text, const QString&, unsigned) {
        std::cout << "box " << text.simplified().toStdString() << std::endl;
        QEventLoop loop;
        QSocketNotifier input(0, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, &loop, [&] {
            std::string line;
            if (!std::getline(std::cin, line) || line == "close")
                loop.quit();
        });
        loop.exec();
        return kvos::IDOK;
    });
    TADOQuery write;
    write.SetConnection(&connection);
    const kvui::DataSetSource::ApplyResult saved = source.applyUpdates(&connection, [&](const QList<kvui::PendingRecord>&) {
        // reads the table, then fails on a table that is not there
        return ExecSQLText(&write, QStringLiteral("if exists (select * from T where a=-5) print 'x'\rinsert NoSuchTable values (1)"),
                           false, false, true);
    });
    std::cout << (saved.ok ? "saved" : "closed") << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {}
    return 0;
}
