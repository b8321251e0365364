#pragma once
// Loading shared libraries by the Windows-style names the data gives
// ("QZ_MRP.dll"): the one place where such a name becomes this platform's
// file name (libQZ_MRP.so), looked for first in the program's folder.
#include <QString>

namespace kvos {

// "QZ_MRP.dll" -> "libQZ_MRP.so", "sub/ERPAccess.DLL" -> "sub/libERPAccess.so";
// other names are returned unchanged.
QString nativeLibraryName(const QString& windowsName);

// The file to hand to the dynamic loader for a name: a relative name is taken
// from the program's folder when a file of that name (letter case ignored)
// exists there; otherwise the name as given, for the loader's own search.
QString resolveLibraryPath(const QString& windowsName, const QString& programDir);

// Opens the library; nullptr on failure. The handle is never closed.
void* openLibrary(const QString& path);
// An export by name, nullptr when there is none.
void* librarySymbol(void* handle, const QString& name);

} // namespace kvos
