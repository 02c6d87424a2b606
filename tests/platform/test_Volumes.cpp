// What stands in for drives: the mounted file systems offered, the one holding a path, and
// whether one can still be read.
#include "platform/PVolumes.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Volumes, MountedFileSystemsTheDriveOfAPathAndReadability) {
    const QList<PVolume> volumes = PMountedVolumes();
    ASSERT_FALSE(volumes.isEmpty());
    QStringList mounts;
    for (const PVolume& v : volumes) {
        mounts << v.MountPoint;
        EXPECT_TRUE(QDir(v.MountPoint).exists()) << v.MountPoint.toStdString();
        for (const char* system : {"/proc", "/sys", "/dev"})
            EXPECT_FALSE(v.MountPoint == system || v.MountPoint.startsWith(QString(system) + "/"))
                << v.MountPoint.toStdString();
        EXPECT_FALSE(v.Label.startsWith('/')) << "a device path is no label";
    }
    EXPECT_EQ(mounts.removeDuplicates(), 0);

    QTemporaryDir tmp;
    const QString drive = PVolumeOf(tmp.path());
    struct {
        QString Path;
        QString Drive;
    } cases[] = {
        {tmp.path(), drive},
        {tmp.path() + "/not/yet/made", drive}, // the nearest existing parent's
        {"/", "/"},
        {"relative/folder", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PVolumeOf(c.Path), c.Drive) << c.Path.toStdString();
    EXPECT_TRUE(mounts.contains(drive)) << drive.toStdString() << " is offered";
    EXPECT_TRUE(tmp.path().startsWith(drive));

    EXPECT_TRUE(PVolumeReadable(drive));
    EXPECT_TRUE(PVolumeReadable("/"));
    // A folder that is no mount point (as an unmounted medium leaves behind), or nothing.
    EXPECT_FALSE(PVolumeReadable(tmp.path()));
    EXPECT_FALSE(PVolumeReadable(tmp.path() + "/gone"));
    EXPECT_FALSE(PVolumeReadable(""));
}
