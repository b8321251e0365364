// A new, empty embedded database file for a test that connects through the
// data-access layer, which opens existing files only.
#pragma once

#include "TsqlEngine.h"

#include <QFileInfo>
#include <QString>

inline QString scratchDatabase(const QString& file)
{
    if (!QFileInfo::exists(file))
        kvtsql::Connection::create(file);
    return file;
}
