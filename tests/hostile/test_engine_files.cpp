// Files the engine is given: only an existing database opens; a missing, empty
// or foreign file is refused and left as it was; an account set that may not be
// written is read without leaving files beside it; commits are durable.
#include "TsqlTestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

int openError(const QString& file)
{
    try {
        Connection::open(file);
    } catch (const SqlException& e) {
        return e.errors.isEmpty() ? -1 : e.errors.first().number;
    }
    return 0;
}

QStringList filesIn(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files, QDir::Name);
}

} // namespace

TEST(HostileFiles, OnlyAnExistingDatabaseOpens)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.kvdb");
    EXPECT_EQ(openError(missing), 4060);
    EXPECT_FALSE(QFileInfo::exists(missing));

    struct Case {
        const char* name;
        QByteArray content;
    } cases[] = {
        {"empty.kvdb", QByteArray()},
        {"text.kvdb", "select 1\n"},
        {"short.kvdb", "SQLite"},
        {"damaged.kvdb", QByteArray("SQLite format 3\0", 16) + QByteArray(100, '\xff')},
    };
    for (const Case& c : cases) {
        const QString file = dir.filePath(c.name);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();
        EXPECT_EQ(openError(file), 4060) << c.name;
        QFile back(file);
        ASSERT_TRUE(back.open(QIODevice::ReadOnly));
        EXPECT_EQ(back.readAll(), c.content) << c.name << " is left as it was";
    }
    EXPECT_EQ(filesIn(dir), (QStringList{"damaged.kvdb", "empty.kvdb", "short.kvdb", "text.kvdb"}))
        << "no journal or log file is left beside them";

    // creating refuses a file that exists; a created one opens
    const QString made = dir.filePath("made.kvdb");
    EXPECT_THROW(Connection::create(dir.filePath("text.kvdb")), SqlException);
    Connection::create(made)->execute("create table T (a int)");
    auto c = Connection::open(made);
    EXPECT_TRUE(c->execute("select n=count(*) from T").errors.isEmpty());
    EXPECT_FALSE(c->readOnly());
}

TEST(HostileFiles, AnAccountSetCommitsDurably)
{
    ScratchDb db;
    EXPECT_EQ(db.conn->pragma("journal_mode"), "wal");
    EXPECT_EQ(db.conn->pragma("synchronous"), "2") << "FULL: a commit survives a power cut";
    auto again = Connection::open(db.path());
    EXPECT_EQ(again->pragma("synchronous"), "2");
}

TEST(HostileFiles, WorkTablesLiveOnLargePages)
{
    // the page size holds only if no temporary object was made before it was set
    ScratchDb db;
    EXPECT_TRUE(db.conn->execute("create table #W (a int)\ninsert #W values (1)").errors.isEmpty());
    EXPECT_EQ(db.conn->pragma("temp.page_size"), "65536");
    EXPECT_EQ(db.conn->pragma("page_size"), "4096") << "the account set's own file keeps its pages";
}
