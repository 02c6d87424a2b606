// Two users of one cache folder: the one holding the writer lock writes it, the other reads
// what is there and makes the rest in memory, never writing, deleting or trusting a bitmap
// written after it read the index; the lock goes with the process that held it.
#include "support_CacheTest.h"

#include "cache/CCacheLock.h"
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "services/CException.h"
#include "services/CThDebug.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace {

void MakePicture(const QString& path, int seed) {
    QImage image(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y,
                           qRgb((x * 3 + seed * 70) & 255, (y * 5 + seed * 30) & 255, seed * 50));
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(image.save(path, "PNG"));
}

QImage Rgb(const QImage* image) {
    return image ? image->convertToFormat(QImage::Format_RGB32) : QImage();
}

class CacheLockTest : public ::testing::Test {
protected:
    void SetUp() override { ClearDebugFlags(); }

    QString Base() const { return FDir.path() + "/cache"; }
    QString Picture(int i) const { return FDir.path() + QString("/pics/p%1.png").arg(i); }

    std::unique_ptr<TThumbnailDB> NewDB() {
        auto db = std::make_unique<TThumbnailDB>(nullptr, FDir.path() + "/");
        db->SetCacheDirectory(Base());
        db->SetMaxSizeKB(100000);
        db->SetWidth(512);
        db->SetHeight(512);
        return db;
    }

    // Every file under the cache folder with its bytes.
    QMap<QString, QByteArray> Files() const {
        QMap<QString, QByteArray> files;
        QDirIterator it(Base(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files[path] = ReadFileBytes(path);
        }
        return files;
    }

    QTemporaryDir FDir;
};

} // namespace

TEST_F(CacheLockTest, TheSecondUserReadsWhatIsThereAndWritesNothing) {
    for (int i = 1; i <= 3; ++i)
        MakePicture(Picture(i), i);
    QImage truth[4];
    {
        auto first = NewDB();
        ASSERT_FALSE(first->ReadOnly());
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(first->GetThumbnail(Picture(i)));
            truth[i] = Rgb(first->ThumbnailInfo().Bitmap);
        }
        first.reset(); // saved: p1 to p3 under IDs 0 to 2
    }

    auto writer = NewDB();
    auto reader = NewDB();
    EXPECT_FALSE(writer->ReadOnly());
    EXPECT_TRUE(reader->ReadOnly());
    const auto before = Files();

    // What was stored is read; a picture not there is made and answered but not kept.
    ASSERT_TRUE(reader->GetThumbnail(Picture(2)));
    EXPECT_EQ(reader->Graphic().DecodeCount(), 0);
    EXPECT_EQ(Rgb(reader->ThumbnailInfo().Bitmap), truth[2]);
    MakePicture(Picture(4), 4);
    ASSERT_TRUE(reader->GetThumbnail(Picture(4)));
    EXPECT_EQ(reader->ThumbnailInfo().Bitmap->size(), QSize(512, 341));
    // Reloading one picture, clearing and a damaged bitmap delete nothing of the writer's.
    ASSERT_TRUE(reader->RefreshThumbnail(Picture(1)));
    EXPECT_EQ(Rgb(reader->ThumbnailInfo().Bitmap), truth[1]);
    EXPECT_THROW(reader->ClearCache(), Exception);
    EXPECT_EQ(Files(), before);

    // The writer clears the cache and stores p3, then p1 ... under IDs that the reader's
    // index gave to other pictures: the reader never shows them for its own records.
    writer->ClearCache();
    ASSERT_TRUE(writer->GetThumbnail(Picture(3))); // ID 0, p1's in the reader's index
    ASSERT_TRUE(writer->GetThumbnail(Picture(1))); // ID 1, p2's
    for (int i : {1, 2, 3}) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(reader->GetThumbnail(Picture(i)));
        EXPECT_EQ(Rgb(reader->ThumbnailInfo().Bitmap), truth[i]);
    }
    const auto written = Files();
    reader.reset(); // saves nothing
    EXPECT_EQ(Files(), written);
    writer.reset();

    // With the writer gone the next user writes, and what it stored is right.
    auto next = NewDB();
    EXPECT_FALSE(next->ReadOnly());
    for (int i : {3, 1}) {
        ASSERT_TRUE(next->GetThumbnail(Picture(i)));
        EXPECT_EQ(next->Graphic().DecodeCount(), 0);
        EXPECT_EQ(Rgb(next->ThumbnailInfo().Bitmap), truth[i]);
    }
}

TEST_F(CacheLockTest, TheLockGoesWithTheProcessThatHeldItAndFollowsTheFolder) {
    QDir().mkpath(Base());
    // Another process holds the lock until it is killed.
    QProcess holder;
    holder.start("flock", {"-n", "-o", TCacheLock::LockFile(Base()), "sleep", "60"});
    ASSERT_TRUE(holder.waitForStarted());
    TCacheLock lock;
    for (int i = 0; i < 200 && lock.Acquire(Base()); ++i) {
        lock.Release(); // flock not there yet
        QThread::msleep(10);
    }
    EXPECT_FALSE(lock.Acquire(Base()));
    EXPECT_TRUE(NewDB()->ReadOnly());
    holder.kill();
    holder.waitForFinished();
    // The system lets the lock go with the holder's last descriptor; on a busy machine that
    // may come a moment after the process is reaped.
    bool taken = false;
    for (int i = 0; i < 500 && !(taken = lock.Acquire(Base())); ++i)
        QThread::msleep(10);
    EXPECT_TRUE(taken);
    EXPECT_EQ(lock.Folder(), Base());
    lock.Release();

    // A database that moves to another folder takes that folder's lock and lets the old go.
    auto db = NewDB();
    ASSERT_FALSE(db->ReadOnly());
    EXPECT_FALSE(lock.Acquire(Base()));
    db->SetCacheDirectory(FDir.path() + "/other");
    EXPECT_FALSE(db->ReadOnly());
    EXPECT_TRUE(lock.Acquire(Base()));
    EXPECT_FALSE(TCacheLock().Acquire(FDir.path() + "/other"));
    // Clearing the cache leaves the lock file and the lock in place.
    db->ClearCache();
    EXPECT_TRUE(QFile::exists(TCacheLock::LockFile(FDir.path() + "/other")));
    EXPECT_FALSE(TCacheLock().Acquire(FDir.path() + "/other"));
}
