// The thumbnail database: hits and misses, IDs, eviction, repair of damaged or missing
// bitmaps, clearing, switching folders, a cache folder that cannot be written. Two users of
// one cache folder: the one holding the writer lock writes it, the other reads what is there
// and makes the rest in memory, never writing, deleting or trusting a bitmap written after it
// read the index.
#include "support_CacheTest.h"

#include "cache/CCacheLock.h"
#include "cache/CThGraphic.h"
#include "services/CException.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

QImage Rgb(const QImage* image) {
    return image ? image->convertToFormat(QImage::Format_RGB32) : QImage();
}

class DBTest : public ::testing::Test {
protected:
    QString Base() const { return FDir.path() + "/cache"; }
    QString CacheDir() const { return Base() + "/_TDB0100"; }
    QString Bmp(int id) const {
        const QString name = TThCacheFileName::BitmapName(id);
        return CacheDir() + "/" + name.left(6) + "/" + name + ".bmp";
    }
    QString Picture(int i) const { return FDir.path() + QString("/pics/p%1.png").arg(i); }
    std::unique_ptr<TThumbnailDB> DB(int box = 512, int maxKB = 100000) {
        return NewDB(FDir.path() + "/", Base(), box, maxKB);
    }
    TThImageBase& List(const std::unique_ptr<TThumbnailDB>& db) { return db->Table().List(); }

    QTemporaryDir FDir;
};

} // namespace

TEST_F(DBTest, MissStoresHitReadsBackAndAChangedSourceOrOtherBoxMisses) {
    MakePicture(Picture(1), 300, 200, 1);
    auto db = DB();
    EXPECT_FALSE(db->GetOriginalInfo(Picture(9)));
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    const QImage made = Rgb(db->ThumbnailInfo().Bitmap);
    EXPECT_EQ(made.size(), QSize(512, 341));
    EXPECT_EQ(List(db).TotalBytes, QFileInfo(Bmp(0)).size());
    // A hit gives the same pixels without a decode, in this run and, saved and loaded, the next.
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(db->GetThumbnail(Picture(1)));
        EXPECT_EQ(Rgb(db->ThumbnailInfo().Bitmap), made);
        EXPECT_EQ(db->Graphic().DecodeCount(), 1 - run) << run;
        db.reset();
        db = DB();
    }
    // Touching the file: a miss, a second record which then hits; the old one stays. Another
    // box stores a third.
    struct utimbuf t {};
    t.actime = t.modtime = QFileInfo(Picture(1)).lastModified().toSecsSinceEpoch() + 3600;
    ASSERT_EQ(::utime(QFile::encodeName(Picture(1)).constData(), &t), 0);
    for (int box : {512, 512, 256, 256}) {
        db->SetWidth(box);
        db->SetHeight(box);
        ASSERT_TRUE(db->GetThumbnail(Picture(1))) << box;
    }
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->size(), QSize(256, 171));
    EXPECT_EQ(List(db).Count(), 3);
    // A thumbnail 0 pixels high is answered but not stored.
    MakePicture(Picture(2), 1000, 1, 2);
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    EXPECT_EQ(List(db).Count(), 3);
    EXPECT_FALSE(List(db).Disabled);
}

TEST_F(DBTest, MissingAndDamagedBitmapsAreMadeAgain) {
    MakePicture(Picture(1), 200, 200, 1);
    MakePicture(Picture(2), 200, 100, 2);
    auto db = DB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    db.reset();
    // Between two runs one is deleted by hand, one cut short: both are stored again under
    // new IDs and the damaged file is gone.
    ASSERT_TRUE(QFile::remove(Bmp(0)));
    WriteFileBytes(Bmp(1), ReadAll(Bmp(1)).left(70));
    db = DB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->size(), QSize(512, 256));
    EXPECT_EQ(List(db).Count(), 2);
    EXPECT_FALSE(QFile::exists(Bmp(1)));
    EXPECT_TRUE(QFile::exists(Bmp(2)) && QFile::exists(Bmp(3)));
    // A bitmap replaced by a valid picture of the wrong size is not taken either.
    QImage(600, 600, QImage::Format_RGB32).save(Bmp(3), "BMP");
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->size(), QSize(512, 256));
    EXPECT_EQ(List(db).Last()->SaveID, 4);
}

TEST_F(DBTest, IdsWrapPastTheLastAndFreeTheBlockAfterTheNewId) {
    // Records 0 to 2 (older) and 999998, 999999 (newer): the next store takes ID 0, its old
    // holder and the block after it are freed.
    MakePicture(Picture(1), 64, 64, 1);
    QByteArray index;
    for (int id : {0, 1, 2, 999998, 999999}) {
        const QByteArray t = id < 999998 ? "2024/01/01 10:00:00"
                                         : "2024/05/05 10:00:0" + QByteArray::number(id - 999998);
        index += "T,\"" + t + "\",/gone/" + QByteArray::number(id) + ".jpg," +
                 QByteArray::number(id) + ",512,512,1,1,,,\"2020/01/01 00:00:00\",1,,,\"" + t +
                 "\",10\r\n";
        WriteFileBytes(Bmp(id), "x");
    }
    WriteFileBytes(CacheDir() + "/_TDBCache.dat", index);
    auto db = DB();
    EXPECT_EQ(List(db).LatestID, 999999);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(List(db).Last()->SaveID, 0);
    EXPECT_NE(ReadAll(Bmp(0)), QByteArray("x"));
    EXPECT_EQ(List(db).Count(), 3);
    EXPECT_FALSE(QFile::exists(Bmp(1)));
    EXPECT_TRUE(QFile::exists(Bmp(999999)));
}

TEST_F(DBTest, EvictionKeepsTheCacheWithinItsLimits) {
    for (int i = 0; i < 6; ++i)
        MakePicture(Picture(i), 64, 64, i);
    // Size 0: every store first evicts the older ones.
    {
        auto db = DB(64, 0);
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(db->GetThumbnail(Picture(i)));
        EXPECT_EQ(List(db).Count(), 1);
        EXPECT_EQ(List(db).First()->OrgFileName, Picture(5));
        db->ClearCache();
    }
    // Each 64 x 64 bitmap is a little over 12 KB: a 40 KB cache starts evicting above
    // 36 KB and stops at 32 KB, so the 4th store finds 3 x 12+ KB too much.
    auto db = DB(64, 40);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(db->GetThumbnail(Picture(i)));
    ASSERT_GT(List(db).First()->ThFileSize, 12 * 1024);
    ASSERT_LT(List(db).First()->ThFileSize, 13 * 1024);
    EXPECT_EQ(List(db).Count(), 3);
    EXPECT_EQ(List(db).First()->OrgFileName, Picture(1));
    EXPECT_FALSE(QFile::exists(Bmp(0)));
}

TEST_F(DBTest, ClearingAndSwitchingFolders) {
    MakePicture(Picture(1), 64, 64, 1);
    auto db = DB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    // The writer lock follows the folder, and clearing leaves the lock file and the lock.
    EXPECT_FALSE(TCacheLock().Acquire(Base()));
    db->SetCacheDirectory(FDir.path() + "/other");
    EXPECT_TRUE(QFile::exists(CacheDir() + "/_TDBCache.dat")) << "saved on the way out";
    EXPECT_EQ(List(db).Count(), 0);
    EXPECT_TRUE(TCacheLock().Acquire(Base()));
    db->SetCacheDirectory(Base());
    EXPECT_EQ(List(db).Count(), 1);
    EXPECT_THROW(db->SetCacheDirectory(""), Exception);

    // An old version and the current one holding names a listing hides (they must not stay
    // behind), a newer version and an unrelated folder (they must).
    WriteFileBytes(Base() + "/_TDB0005/.hidden/.deeper/y", "x");
    WriteFileBytes(CacheDir() + "/A00000/.hidden/x.bmp", "x");
    QDir().mkpath(Base() + "/_TDB0200");
    QDir().mkpath(Base() + "/keep");
    db->ClearCache();
    EXPECT_EQ(List(db).Count(), 0);
    EXPECT_FALSE(TCacheLock().Acquire(Base()));
    EXPECT_EQ(QDir(Base()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"_TDB0100.lock", "_TDB0200", "keep"}));
}

TEST_F(DBTest, ReadOnlyCacheFolderDisablesStoringButThumbnailsAreStillMade) {
    MakePicture(Picture(1), 80, 60, 1);
    QDir().mkpath(CacheDir());
    for (const QString& d : {Base(), CacheDir()})
        ::chmod(QFile::encodeName(d).constData(), 0555);
    ::chmod(QFile::encodeName(FDir.path()).constData(), 0777); // the pictures
    const bool root = ::geteuid() == 0; // root writes anywhere: ask as an unprivileged user
    ASSERT_TRUE(!root || ::seteuid(65534) == 0);
    QList<QSize> sizes;
    auto db = DB();
    for (int i = 0; i < 2; ++i)
        sizes << (db->GetThumbnail(Picture(1)) ? db->ThumbnailInfo().Bitmap->size() : QSize());
    EXPECT_TRUE(List(db).Disabled);
    EXPECT_EQ(List(db).Count(), 0);
    db.reset();
    ASSERT_TRUE(!root || ::seteuid(0) == 0);
    for (const QString& d : {Base(), CacheDir()})
        ::chmod(QFile::encodeName(d).constData(), 0755);
    EXPECT_EQ(sizes, QList<QSize>(2, QSize(512, 384)));
}

TEST_F(DBTest, TheSecondUserOfACacheReadsWhatIsThereAndWritesNothing) {
    QImage truth[4];
    {
        auto first = DB();
        for (int i = 1; i <= 3; ++i) {
            MakePicture(Picture(i), 300, 200, i);
            ASSERT_TRUE(first->GetThumbnail(Picture(i)));
            truth[i] = Rgb(first->ThumbnailInfo().Bitmap);
        }
    } // saved: p1 to p3 under IDs 0 to 2
    auto writer = DB();
    auto reader = DB();
    EXPECT_FALSE(writer->ReadOnly());
    ASSERT_TRUE(reader->ReadOnly());
    const auto before = FilesUnder(Base());

    // A picture not there is made and answered but not kept;
    // reloading one picture and clearing delete nothing of the writer's.
    MakePicture(Picture(4), 300, 200, 4);
    ASSERT_TRUE(reader->GetThumbnail(Picture(4)));
    ASSERT_TRUE(reader->RefreshThumbnail(Picture(1)));
    EXPECT_THROW(reader->ClearCache(), Exception);
    EXPECT_EQ(FilesUnder(Base()), before);

    // The writer clears the cache and stores p3, then p1 under IDs 0 and 1, which the
    // reader's index gives to p1 and p2: the reader never shows them for its own records.
    writer->ClearCache();
    ASSERT_TRUE(writer->GetThumbnail(Picture(3)));
    ASSERT_TRUE(writer->GetThumbnail(Picture(1)));
    for (int i : {1, 2, 3}) {
        ASSERT_TRUE(reader->GetThumbnail(Picture(i)));
        EXPECT_EQ(Rgb(reader->ThumbnailInfo().Bitmap), truth[i]) << i;
    }
    const auto written = FilesUnder(Base());
    reader.reset(); // saves nothing
    EXPECT_EQ(FilesUnder(Base()), written);
}
