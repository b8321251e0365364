#include "MachineInfo.h"

#include <QTemporaryDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(MachineInfo, VolumeSerialFromMachineId)
{
    QTemporaryDir dir;
    struct Case { QByteArray content; QString serial; };
    const Case cases[] = {
        {"0a1b2c3d4e5f60718293a4b5c6d7e8f9\n", "0A1B2C3D"},
        {"", ""},
        {"xyz", ""},
        {"12ab", ""},
    };
    int i = 0;
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::number(i++));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();
        EXPECT_EQ(kvos::systemVolumeSerialFrom(path), c.serial) << c.content.constData();
    }
    EXPECT_EQ(kvos::systemVolumeSerialFrom(dir.filePath("missing")), "");
}

TEST(MachineInfo, ComputerNameFitsWindowsLength)
{
    const QString name = kvos::computerName();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_LE(name.size(), 15);
}
