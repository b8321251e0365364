#include "SharedLibrary.h"

#include <QDir>
#include <QFileInfo>
#include <dlfcn.h>

namespace kvos {

QString nativeLibraryName(const QString& windowsName)
{
    if (!windowsName.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive))
        return windowsName;
    const QString base = windowsName.left(windowsName.size() - 4);
    const qsizetype slash = std::max(base.lastIndexOf(u'/'), base.lastIndexOf(u'\\'));
    const QString dir = slash >= 0 ? base.left(slash + 1).replace(u'\\', u'/') : QString();
    const QString file = base.mid(slash + 1);
    return dir + QStringLiteral("lib") + file + QStringLiteral(".so");
}

QString resolveLibraryPath(const QString& windowsName, const QString& programDir)
{
    const QString name = nativeLibraryName(windowsName);
    if (QFileInfo(name).isAbsolute() || programDir.isEmpty())
        return name;
    const QFileInfo inProgramDir(QDir(programDir), name);
    if (inProgramDir.exists())
        return inProgramDir.absoluteFilePath();
    // Windows file names ignore letter case: look for the name in any case.
    const QDir dir(inProgramDir.absolutePath());
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& entry : entries)
        if (entry.compare(inProgramDir.fileName(), Qt::CaseInsensitive) == 0)
            return dir.absoluteFilePath(entry);
    return name;
}

void* openLibrary(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    return dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
}

void* librarySymbol(void* handle, const QString& name)
{
    if (!handle || name.isEmpty())
        return nullptr;
    return dlsym(handle, name.toLatin1().constData());
}

} // namespace kvos
