#include "untLibraryLoader.h"

#include "SharedLibrary.h"

#include <QCoreApplication>
#include <map>

namespace {

struct CaseInsensitiveLess {
    bool operator()(const QString& a, const QString& b) const { return a.compare(b, Qt::CaseInsensitive) < 0; }
};

// The loaded-library list: only successful loads are entered, nothing is ever removed.
std::map<QString, HMODULE, CaseInsensitiveLess>& loadedLibraries()
{
    static std::map<QString, HMODULE, CaseInsensitiveLess> libraries;
    return libraries;
}

} // namespace

HMODULE LoadDll(const QString& AFileName)
{
    const QString name = AFileName.trimmed();
    auto& libraries = loadedLibraries();
    if (auto it = libraries.find(name); it != libraries.end())
        return it->second;
    HMODULE handle = kvos::openLibrary(kvos::resolveLibraryPath(name, QCoreApplication::applicationDirPath()));
    if (handle)
        libraries.emplace(name, handle);
    return handle;
}

void* GetDllProc(const QString& AFileName, const QString& AProcName)
{
    const QString proc = AProcName.trimmed();
    if (proc.isEmpty())
        return nullptr;
    HMODULE handle = LoadDll(AFileName);
    if (!handle)
        return nullptr;
    return kvos::librarySymbol(handle, proc);
}
