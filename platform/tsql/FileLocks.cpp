// SQLite's record locks held through one open file description per file.
//
// SQLite's unix layer takes POSIX record locks, which belong to the process and
// are all dropped when the process closes ANY descriptor of the file: a file
// dialog listing the account set's folder (it reads each file to guess its type),
// a QFile check, a backup... would silently release every lock of every
// connection. Another program ending next then takes itself for the last one,
// copies the log into the file and deletes the log and shared memory under us.
//
// Here SQLite's system calls "open", "close" and "fcntl" are replaced: every lock
// request of SQLite on a file goes, as an open-file-description lock, through one
// description of that file which this unit opens and keeps while SQLite has any
// descriptor of the file open. Such a lock is released only by an explicit unlock
// or by closing that description, never by a close of another descriptor. One
// description per file and process keeps the locks exactly as SQLite counts them
// (it keeps a process-wide account of the locks per file and takes a lock through
// whichever connection's descriptor is at hand); and description locks conflict
// with the ordinary record locks of other programs, so programs with either kind
// exclude each other as before.
#include "FileLocks.h"

#include "TsqlEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kvtsql {
namespace {

using OpenCall = int (*)(const char*, int, int);
using CloseCall = int (*)(int);

OpenCall sqliteOpen = nullptr;
CloseCall sqliteClose = nullptr;

struct FileId {
    dev_t dev;
    ino_t ino;
    bool operator<(const FileId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

// A file SQLite has open in this process.
struct Held {
    int users = 0;        // SQLite's descriptors of the file
    int lockFd = -1;      // the description all of SQLite's locks on the file go through
    std::string path;     // the name SQLite first opened it by
};

std::mutex guard;
std::map<FileId, Held> files;
std::unordered_map<int, FileId> descriptors;   // SQLite's descriptor -> its file

// Under guard: counts one more descriptor of SQLite's on its file.
void track(int fd, const FileId& id, const char* path)
{
    descriptors[fd] = id;
    Held& h = files[id];
    ++h.users;
    if (h.path.empty() && path) h.path = path;
}

int lockedOpen(const char* path, int flags, int mode)
{
    const int fd = sqliteOpen(path, flags, mode);
    if (fd < 0) return fd;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        std::lock_guard<std::mutex> lock(guard);
        track(fd, FileId{st.st_dev, st.st_ino}, path);
    }
    return fd;
}

int lockedClose(int fd)
{
    int lockFd = -1;
    {
        std::lock_guard<std::mutex> lock(guard);
        auto d = descriptors.find(fd);
        if (d != descriptors.end()) {
            auto f = files.find(d->second);
            descriptors.erase(d);
            // SQLite closes its last descriptor of a file only when it holds no lock on it
            // (it keeps the descriptors of a closed connection open until then)
            if (f != files.end() && --f->second.users <= 0) {
                lockFd = f->second.lockFd;
                files.erase(f);
            }
        }
    }
    const int rc = sqliteClose(fd);
    if (lockFd >= 0) {
        const int saved = errno;
        ::close(lockFd);
        errno = saved;
    }
    return rc;
}

// The description SQLite's locks on fd's file go through (-1, errno set, when none
// can be had). Its own description: read-write where this user may write the file,
// whatever access the descriptor at hand has.
int lockDescription(int fd)
{
    std::lock_guard<std::mutex> lock(guard);
    auto d = descriptors.find(fd);
    FileId id;
    if (d != descriptors.end()) {
        id = d->second;
    } else {
        struct stat st;
        if (::fstat(fd, &st) != 0) return -1;
        id = FileId{st.st_dev, st.st_ino};
        track(fd, id, nullptr);
    }
    Held& h = files[id];
    if (h.lockFd < 0) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        h.lockFd = ::open(self, O_RDWR | O_CLOEXEC);
        if (h.lockFd < 0) h.lockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    }
    return h.lockFd;
}

int lockedFcntl(int fd, int cmd, ...)
{
    va_list args;
    va_start(args, cmd);
    void* arg = va_arg(args, void*);
    va_end(args);
    int ofdCmd;
    switch (cmd) {
    case F_SETLK: ofdCmd = F_OFD_SETLK; break;
    case F_SETLKW: ofdCmd = F_OFD_SETLKW; break;
    case F_GETLK: ofdCmd = F_OFD_GETLK; break;
    default: return ::fcntl(fd, cmd, arg);
    }
    const int lockFd = lockDescription(fd);
    if (lockFd < 0) return -1;
    auto* request = static_cast<struct flock*>(arg);
    struct flock l = *request;
    l.l_pid = 0;   // a description lock asks for 0 here; SQLite leaves it unset at times
    const int rc = ::fcntl(lockFd, ofdCmd, &l);
    if (rc == 0 && cmd == F_GETLK) *request = l;
    return rc;
}

// Whether this kernel takes description locks.
bool descriptionLocksWork()
{
    std::FILE* f = std::tmpfile();
    if (!f) return false;
    struct flock l = {};
    l.l_type = F_WRLCK;
    l.l_whence = SEEK_SET;
    l.l_len = 1;
    const bool ok = ::fcntl(fileno(f), F_OFD_GETLK, &l) == 0;
    std::fclose(f);
    return ok;
}

// Whether a file SQLite has open for the database at path (the database, its log
// or its shared memory) is no longer the one its name leads to: another program
// removed or replaced it.
bool holdLost(sqlite3* db)
{
    const char* name = sqlite3_db_filename(db, "main");
    if (!name || !*name) return false;
    const std::string base(name);
    const std::string wal = base + "-wal", shm = base + "-shm";
    std::lock_guard<std::mutex> lock(guard);
    for (const auto& [id, held] : files) {
        if (held.path != base && held.path != wal && held.path != shm) continue;
        struct stat st;
        if (::stat(held.path.c_str(), &st) != 0 || st.st_dev != id.dev || st.st_ino != id.ino) return true;
    }
    return false;
}

int refuseCommitWithoutHold(void* db) { return holdLost(static_cast<sqlite3*>(db)) ? 1 : 0; }

} // namespace

void installFileLocks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
        if (!vfs || vfs->iVersion < 3 || !vfs->xSetSystemCall || !descriptionLocksWork()) return;
        sqliteOpen = reinterpret_cast<OpenCall>(vfs->xGetSystemCall(vfs, "open"));
        sqliteClose = reinterpret_cast<CloseCall>(vfs->xGetSystemCall(vfs, "close"));
        if (!sqliteOpen || !sqliteClose || !vfs->xGetSystemCall(vfs, "fcntl")) return;
        vfs->xSetSystemCall(vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(lockedOpen));
        vfs->xSetSystemCall(vfs, "close", reinterpret_cast<sqlite3_syscall_ptr>(lockedClose));
        vfs->xSetSystemCall(vfs, "fcntl", reinterpret_cast<sqlite3_syscall_ptr>(lockedFcntl));
    });
}

void watchHold(sqlite3* db) { sqlite3_commit_hook(db, refuseCommitWithoutHold, db); }

void beforeClose(sqlite3* db)
{
    if (db && holdLost(db)) sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

bool holdLostError(sqlite3* db, int resultCode, SqlError& error)
{
    if (resultCode != SQLITE_CONSTRAINT_COMMITHOOK || !holdLost(db)) return false;
    error.number = 9001;
    error.severity = 21;
    error.message = QStringLiteral("The log for database \"%1\" is not available: another program removed or replaced it "
                                   "while this program had the database open. Nothing more is written; close the program "
                                   "and open the database again.")
                        .arg(QString::fromUtf8(sqlite3_db_filename(db, "main")));
    return true;
}

} // namespace kvtsql
