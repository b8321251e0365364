#include "LocalTimeZone.h"

#include <QFileInfo>
#include <QtGlobal>
#include <ctime>

namespace kvos {

void ReadLocalTimeZoneOnce()
{
    if (qEnvironmentVariableIsSet("TZ") || !QFileInfo::exists(QStringLiteral("/etc/localtime")))
        return;
    qputenv("TZ", ":/etc/localtime");
    tzset();
}

} // namespace kvos
