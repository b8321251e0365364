#pragma once
// Loads each library the host binds at run time once per process, by its
// trimmed file name (letter case ignored), and hands out its exports by name.
// Libraries stay loaded until the process ends.
#include <QString>

using HMODULE = void*;

HMODULE LoadDll(const QString& AFileName);
void* GetDllProc(const QString& AFileName, const QString& AProcName);
