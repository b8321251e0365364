// New database files (a made account set, a copy) are built under a name of
// their own beside their target and take the target's name only when complete.
#include "EngineImpl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace kvtsql {

namespace {

[[noreturn]] void cannotMake(const QString& file, const QString& reason)
{
    throw SqlException(4060, QStringLiteral("Cannot open database \"%1\": %2.").arg(file, reason));
}

QString existsAlready() { return QStringLiteral("the file exists already"); }

} // namespace

QString buildingFileName(const QString& target)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("%1.%2.%3.tmp").arg(target).arg(qint64(getpid())).arg(++counter);
}

void removeDatabaseFiles(const QString& file)
{
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        QFile::remove(file + suffix);
}

void removeAbandonedBuilds(const QString& target)
{
    // a build whose process still runs (or cannot be asked) is left alone
    const QFileInfo info(target);
    const QRegularExpression pattern(
        QStringLiteral("^%1\\.(\\d+)\\.\\d+\\.tmp$").arg(QRegularExpression::escape(info.fileName())));
    const QDir dir = info.absoluteDir();
    for (const QString& name : dir.entryList({info.fileName() + QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (!m.hasMatch())
            continue;
        const pid_t pid = pid_t(m.captured(1).toLongLong());
        if (pid <= 0 || kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        removeDatabaseFiles(dir.filePath(name));
    }
}

void moveIntoPlace(const QString& built, const QString& target)
{
    const QByteArray from = QFile::encodeName(built), to = QFile::encodeName(target);
    int rc = renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // a file system without the rename that keeps an existing name: a hard link keeps it too
        rc = link(from.constData(), to.constData());
        if (rc == 0)
            unlink(from.constData());
    }
    if (rc != 0) {
        const int code = errno;
        removeDatabaseFiles(built);
        cannotMake(target, code == EEXIST ? existsAlready() : QString::fromLocal8Bit(strerror(code)));
    }
    // the new name survives a power cut as the file's content does
    const int dir = open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

bool buildDatabaseFile(const QString& target, const std::function<bool(Connection&)>& fill)
{
    if (QFileInfo::exists(target))
        cannotMake(target, existsAlready());
    removeAbandonedBuilds(target);
    const QString built = buildingFileName(target);
    try {
        // closed (its log written back into the file and removed) before it is named
        std::unique_ptr<Connection> connection = Connection::create(built);
        const bool filled = fill(*connection);
        connection.reset();
        if (!filled) {
            removeDatabaseFiles(built);
            return false;
        }
    } catch (...) {
        removeDatabaseFiles(built);
        throw;
    }
    moveIntoPlace(built, target);
    return true;
}

} // namespace kvtsql
