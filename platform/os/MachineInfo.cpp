#include "MachineInfo.h"

#include <QFile>
#include <QRegularExpression>
#include <unistd.h>

namespace kvos {

QString computerName()
{
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(buf).left(15);
}

QString systemVolumeSerialFrom(const QString& machineIdPath)
{
    QFile f(machineIdPath);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QString id = QString::fromLatin1(f.readAll()).trimmed();
    static const QRegularExpression hex8(QStringLiteral("^[0-9A-Fa-f]{8}"));
    const auto m = hex8.match(id);
    return m.hasMatch() ? m.captured(0).toUpper() : QString();
}

QString systemVolumeSerial()
{
    return systemVolumeSerialFrom(QStringLiteral("/etc/machine-id"));
}

} // namespace kvos
