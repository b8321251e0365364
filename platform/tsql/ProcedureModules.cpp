// The procedure modules beside the engine: found by name in the folder of the
// engine's own library, loaded once per process.
#include "TsqlEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMutex>
#include <dlfcn.h>

namespace kvtsql {

namespace {

// The folder of the library this function lives in.
QString engineFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&loadProcedureModules), &info) == 0 || !info.dli_fname)
        return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
}

} // namespace

QStringList loadProcedureModules()
{
    static QMutex mutex;
    static bool done = false;
    static QStringList loaded;
    QMutexLocker lock(&mutex);
    if (done)
        return loaded;
    done = true;
    const QString folder = engineFolder();
    if (folder.isEmpty())
        return loaded;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("libkv_procedures_*.so")}, QDir::Files, QDir::Name)) {
        // Kept loaded for the life of the process, as the procedures it registered are.
        auto* module = new QLibrary(dir.filePath(name));
        if (module->load())
            loaded << name;
        else
            delete module;
    }
    return loaded;
}

} // namespace kvtsql
