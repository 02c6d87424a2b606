// What stands in for drives: the mounted file systems offered, the one holding a path, and
// whether one can still be read.
#include "platform/PVolumes.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Volumes, MountedFileSystemsTheDriveOfAPathAndReadability) {
    QStringList mounts;
    for (const PVolume& v : PMountedVolumes()) {
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
    EXPECT_TRUE(mounts.contains(drive)) << drive.toStdString() << " is offered";
    EXPECT_TRUE(tmp.path().startsWith(drive));
    const std::pair<QString, QString> cases[] = {
        {tmp.path() + "/not/yet/made", drive}, // the nearest existing parent's
        {"/", "/"},
        {"relative/folder", ""},
        {"", ""},
    };
    for (const auto& [path, want] : cases)
        EXPECT_EQ(PVolumeOf(path), want) << path.toStdString();
    EXPECT_TRUE(PVolumeReadable(drive));
    // A folder that is no mount point (as an unmounted medium leaves behind), or nothing.
    for (const QString& gone : {tmp.path(), tmp.path() + "/gone", QString()})
        EXPECT_FALSE(PVolumeReadable(gone)) << gone.toStdString();
}
