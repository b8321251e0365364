// korvane-sql DBFILE: runs a T-SQL script from standard input on an existing
// account set (never creates one). Batches are separated by lines holding only
// "go"; each result set prints as a header line of column names and one
// tab-separated line per row. The exit status tells whether any batch failed.
#include "TsqlEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>

using namespace kvtsql;

static QString field(const QVariant& v, const ColumnInfo& c)
{
    if (v.isNull()) return QStringLiteral("NULL");
    switch (c.type) {
    case SqlType::DateTime:
        if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        return v.toString();
    case SqlType::Float: return QString::number(v.toDouble(), 'g', 15);
    case SqlType::Binary: return "0x" + QString::fromLatin1(v.toByteArray().toHex().toUpper());
    default: return v.toString();
    }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    QTextStream err(stderr);
    const QString usage = QStringLiteral(
        "usage: korvane-sql DBFILE < script.sql\n"
        "Runs a T-SQL script on the account set DBFILE, which must exist (korvane-newdb\n"
        "creates one). Batches are separated by lines holding only \"go\"; result sets\n"
        "print tab-separated, errors as \"Msg N, Level L: text\".\n"
        "Exit status: 0 when no batch raised an error of level 11 or more; 1 when one\n"
        "did or DBFILE cannot be opened; 2 when the arguments are wrong.\n");
    if (args.size() == 2 && (args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h"))) {
        QTextStream(stdout) << usage;
        return 0;
    }
    if (args.size() != 2 || args[1].startsWith(u'-')) {
        err << usage;
        return 2;
    }
    std::unique_ptr<Connection> conn;
    try {
        conn = Connection::open(args[1]);
    } catch (const SqlException& e) {
        err << QString::fromUtf8(e.what()) << "\n";
        return 1;
    }
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) return 1;
    const QString script = QString::fromUtf8(in.readAll());
    QTextStream out(stdout);
    static const QRegularExpression goLine(QStringLiteral("^\\s*go\\s*$"), QRegularExpression::CaseInsensitiveOption);
    QStringList batch;
    bool failed = false;
    auto run = [&]() {
        QString text = batch.join(u'\n');
        batch.clear();
        if (text.trimmed().isEmpty()) return;
        BatchResult r;
        try {
            r = conn->execute(text);
        } catch (const SqlException& e) {
            r.errors = e.errors;
        }
        // messages in order with the result sets, as the server's own tools print them
        qsizetype printed = 0;
        auto messagesUpTo = [&](qsizetype resultSets) {
            for (; printed < r.errors.size() && r.errors[printed].resultSetsBefore <= resultSets; ++printed) {
                const SqlError& e = r.errors[printed];
                if (e.severity >= 11) failed = true;
                out << "Msg " << e.number << ", Level " << e.severity << ": " << e.message << "\n";
            }
        };
        for (qsizetype i = 0; i < r.resultSets.size(); ++i) {
            messagesUpTo(i);
            const ResultSet& rs = r.resultSets[i];
            QStringList names;
            for (const ColumnInfo& c : rs.columns) names << c.name;
            out << names.join(u'\t') << "\n";
            for (const auto& row : rs.rows) {
                QStringList f;
                for (int i = 0; i < row.size(); ++i) f << field(row[i], rs.columns[i]);
                out << f.join(u'\t') << "\n";
            }
            out << "(" << rs.rows.size() << " rows affected)\n";
        }
        messagesUpTo(r.resultSets.size());
        out.flush();
    };
    for (const QString& line : script.split(u'\n')) {
        QString l = line;
        if (l.endsWith(u'\r')) l.chop(1);
        if (goLine.match(l).hasMatch()) run();
        else batch << l;
    }
    run();
    if (conn->transactionCount() > 0) conn->rollbackAll();
    return failed ? 1 : 0;
}
