// What stands in for drives: the mounted file systems offered, the one holding a path, and
// whether one can still be read.
#include "platform/PVolumes.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Volumes, MountedFileSystemsTheDriveOfAPathAndReadability) {
    QStringList mounts;
    for (const PVolume& v : PMountedVolumes())
        mounts << v.MountPoint;
    EXPECT_EQ(mounts.filter(QRegularExpression("^/(proc|sys|dev)(/|$)")), QStringList());
    EXPECT_EQ(mounts.removeDuplicates(), 0);
    QTemporaryDir tmp;
    const QString drive = PVolumeOf(tmp.path());
    EXPECT_TRUE(mounts.contains(drive) && tmp.path().startsWith(drive)) << drive.toStdString();
    const std::pair<QString, QString> cases[] = {
        {tmp.path() + "/not/yet", drive}, {"/", "/"}, {"relative/folder", ""}, {"", ""}};
    for (const auto& [path, want] : cases)
        EXPECT_EQ(PVolumeOf(path), want) << path.toStdString();
    EXPECT_TRUE(PVolumeReadable(drive));
    // A folder that is no mount point (as an unmounted medium leaves behind), or nothing.
    for (const QString& gone : {tmp.path(), QString()})
        EXPECT_FALSE(PVolumeReadable(gone)) << gone.toStdString();
}
