// kv-sql-session DBFILE: one program holding several connections to an account
// set, driven line by line from standard input, so that tests can play a
// program that keeps its connections open while other programs come and go.
//   open          opens one more connection (answers "opened N", N from 0)
//   exec N SQL    runs one batch on connection N (answers "ok", or "error NUMBER")
//   close N       closes connection N (answers "closed N")
//   touch         opens and closes the file, its log and its shared memory as other
//                 code of the program would (answers "touched")
//   dialogs       shows the file's folder in each of the program's file dialogs
//                 (answers "dialogs N read M": N dialogs, M files opened meanwhile)
//   sleep MS      does nothing for MS milliseconds, its connections kept as they are
//                 (answers "slept"), so that a transaction is held for a while
// Each answer is one line, written at once; the program ends at the end of its input,
// closing what is still open from the last connection back.
#include "TsqlEngine.h"
#include "kv_sql_session_files.h"

#include <QApplication>
#include <QStringList>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // its dialogs show nowhere unless a platform is asked for
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kv-sql-session DBFILE < commands\n", stderr);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    std::vector<std::unique_ptr<kvtsql::Connection>> connections;
    auto answer = [](const QString& text) {
        std::cout << text.toStdString() << std::endl;
    };
    std::string line;
    while (std::getline(std::cin, line)) {
        const QString command = QString::fromStdString(line).trimmed();
        const QString verb = command.section(u' ', 0, 0);
        const int n = command.section(u' ', 1, 1).toInt();
        try {
            if (verb == QLatin1String("open")) {
                connections.push_back(kvtsql::Connection::open(file));
                answer(QStringLiteral("opened %1").arg(connections.size() - 1));
            } else if (verb == QLatin1String("exec") && n >= 0 && size_t(n) < connections.size() && connections[n]) {
                const kvtsql::BatchResult r = connections[n]->execute(command.section(u' ', 2));
                answer(r.errors.isEmpty() ? QStringLiteral("ok") : QStringLiteral("error %1").arg(r.errors.first().number));
            } else if (verb == QLatin1String("sleep") && n >= 0) {
                QThread::msleep(n);
                answer(QStringLiteral("slept"));
            } else if (verb == QLatin1String("close") && n >= 0 && size_t(n) < connections.size()) {
                connections[n].reset();
                answer(QStringLiteral("closed %1").arg(n));
            } else if (verb == QLatin1String("touch")) {
                touchFiles(file);
                answer(QStringLiteral("touched"));
            } else if (verb == QLatin1String("dialogs")) {
                answer(showFileDialogs(file));
            } else {
                answer(QStringLiteral("unknown %1").arg(command));
            }
        } catch (const kvtsql::SqlException& e) {
            answer(QStringLiteral("error %1").arg(e.errors.isEmpty() ? -1 : e.errors.first().number));
        }
    }
    while (!connections.empty()) connections.pop_back();
    return 0;
}
