// Two users of one cache folder: the one holding the writer lock writes it, the other reads
// what is there and makes the rest in memory, never writing, deleting or trusting a bitmap
// written after it read the index; the lock goes with the process that held it.
#include "support_CacheTest.h"

#include "cache/CCacheLock.h"
#include "cache/CThGraphic.h"
#include "services/CException.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QImage Rgb(const QImage* image) {
    return image ? image->convertToFormat(QImage::Format_RGB32) : QImage();
}

struct TLockRig {
    QTemporaryDir Dir;
    QString Base() const { return Dir.path() + "/cache"; }
    QString Picture(int i) const { return Dir.path() + QString("/pics/p%1.png").arg(i); }
    std::unique_ptr<TThumbnailDB> DB() const { return NewDB(Dir.path() + "/", Base()); }
    QMap<QString, QByteArray> Files() const { return FilesUnder(Base()); }
};

} // namespace

TEST(CacheLockTest, TheSecondUserReadsWhatIsThereAndWritesNothing) {
    TLockRig rig;
    QImage truth[4];
    {
        auto first = rig.DB();
        for (int i = 1; i <= 3; ++i) {
            MakePicture(rig.Picture(i), 300, 200, i);
            ASSERT_TRUE(first->GetThumbnail(rig.Picture(i)));
            truth[i] = Rgb(first->ThumbnailInfo().Bitmap);
        }
    } // saved: p1 to p3 under IDs 0 to 2
    auto writer = rig.DB();
    auto reader = rig.DB();
    EXPECT_FALSE(writer->ReadOnly());
    EXPECT_TRUE(reader->ReadOnly());
    const auto before = rig.Files();

    // What was stored is read; a picture not there is made and answered but not kept;
    // reloading one picture and clearing delete nothing of the writer's.
    ASSERT_TRUE(reader->GetThumbnail(rig.Picture(2)));
    EXPECT_EQ(reader->Graphic().DecodeCount(), 0);
    MakePicture(rig.Picture(4), 300, 200, 4);
    ASSERT_TRUE(reader->GetThumbnail(rig.Picture(4)));
    ASSERT_TRUE(reader->RefreshThumbnail(rig.Picture(1)));
    EXPECT_EQ(Rgb(reader->ThumbnailInfo().Bitmap), truth[1]);
    EXPECT_THROW(reader->ClearCache(), Exception);
    EXPECT_EQ(rig.Files(), before);

    // The writer clears the cache and stores p3, then p1 under IDs 0 and 1, which the
    // reader's index gives to p1 and p2: the reader never shows them for its own records.
    writer->ClearCache();
    ASSERT_TRUE(writer->GetThumbnail(rig.Picture(3)));
    ASSERT_TRUE(writer->GetThumbnail(rig.Picture(1)));
    for (int i : {1, 2, 3}) {
        ASSERT_TRUE(reader->GetThumbnail(rig.Picture(i)));
        EXPECT_EQ(Rgb(reader->ThumbnailInfo().Bitmap), truth[i]) << i;
    }
    const auto written = rig.Files();
    reader.reset(); // saves nothing
    EXPECT_EQ(rig.Files(), written);
    writer.reset();

    // With the writer gone the next user writes, and what it stored is right.
    auto next = rig.DB();
    EXPECT_FALSE(next->ReadOnly());
    for (int i : {3, 1}) {
        ASSERT_TRUE(next->GetThumbnail(rig.Picture(i)));
        EXPECT_EQ(next->Graphic().DecodeCount(), 0);
        EXPECT_EQ(Rgb(next->ThumbnailInfo().Bitmap), truth[i]);
    }
}

TEST(CacheLockTest, TheLockGoesWithTheProcessThatHeldItAndFollowsTheFolder) {
    TLockRig rig;
    const QString base = rig.Base(), other = rig.Dir.path() + "/other";
    QDir().mkpath(base);
    // Another process holds the lock until it is killed.
    QProcess holder;
    holder.start("flock", {"-n", "-o", TCacheLock::LockFile(base), "sleep", "60"});
    ASSERT_TRUE(holder.waitForStarted());
    TCacheLock lock;
    for (int i = 0; i < 200 && lock.Acquire(base); ++i) {
        lock.Release(); // flock not there yet
        QThread::msleep(10);
    }
    EXPECT_TRUE(rig.DB()->ReadOnly());
    holder.kill();
    holder.waitForFinished();
    // The lock goes with the holder's last descriptor, on a busy machine a moment after the
    // process is reaped.
    bool taken = false;
    for (int i = 0; i < 500 && !(taken = lock.Acquire(base)); ++i)
        QThread::msleep(10);
    ASSERT_TRUE(taken);
    lock.Release();

    // A database that moves to another folder takes that folder's lock and lets the old go;
    // clearing the cache leaves the lock file and the lock in place.
    auto db = rig.DB();
    EXPECT_FALSE(lock.Acquire(base));
    db->SetCacheDirectory(other);
    EXPECT_FALSE(db->ReadOnly());
    EXPECT_TRUE(lock.Acquire(base));
    db->ClearCache();
    EXPECT_TRUE(QFile::exists(TCacheLock::LockFile(other)));
    EXPECT_FALSE(TCacheLock().Acquire(other));
}
