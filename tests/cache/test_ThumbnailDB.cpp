// The thumbnail database: hits and misses, IDs, eviction, repair of damaged or missing
// bitmaps, clearing, switching folders, a cache folder that cannot be written.
#include "support_CacheTest.h"

#include "cache/CThGraphic.h"
#include "services/CException.h"
#include "services/CThDebug.h"

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

class DBTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearDebugFlags();
        ::chmod(QFile::encodeName(FDir.path()).constData(), 0777);
    }
    void TearDown() override { ClearDebugFlags(); }

    QString Home() const { return FDir.path() + "/"; }
    QString Base() const { return FDir.path() + "/cache"; }
    QString CacheDir() const { return Base() + "/_TDB0100"; }
    QString Bmp(int id) const {
        const QString name = TThCacheFileName::BitmapName(id);
        return CacheDir() + "/" + name.left(6) + "/" + name + ".bmp";
    }
    QString Picture(int i) const { return FDir.path() + QString("/pics/p%1.png").arg(i); }
    std::unique_ptr<TThumbnailDB> DB(int box = 512, int maxKB = 100000) {
        return NewDB(Home(), Base(), box, maxKB);
    }
    TThImageBase& List(const std::unique_ptr<TThumbnailDB>& db) { return db->Table().List(); }

    QTemporaryDir FDir;
};

} // namespace

TEST_F(DBTest, MissStoresHitReadsBack) {
    MakePicture(Picture(1), 640, 480, 1);
    auto db = DB();
    EXPECT_FALSE(db->GetOriginalInfo(Picture(9)));
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    const QImage made = db->ThumbnailInfo().Bitmap->convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(made.size(), QSize(512, 384));
    EXPECT_EQ(db->OriginalInfo().FileSize, QFileInfo(Picture(1)).size());
    ASSERT_EQ(List(db).Count(), 1);
    EXPECT_EQ(List(db).First()->ThFileSize, QFileInfo(Bmp(0)).size());
    EXPECT_EQ(List(db).TotalBytes, List(db).First()->ThFileSize);

    // The second request is answered from the cache, pixel for pixel.
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->convertToFormat(QImage::Format_RGB32), made);
    EXPECT_EQ(db->Graphic().DecodeCount(), 1);

    // Saved at the end, loaded by the next run, still a hit.
    db.reset();
    db = DB();
    ASSERT_EQ(List(db).Count(), 1);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->Graphic().DecodeCount(), 0);
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->size(), QSize(512, 384));

    // A thumbnail 0 pixels high is answered but not stored.
    MakePicture(Picture(2), 1000, 3, 2);
    db->SetWidth(100);
    db->SetHeight(100);
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    EXPECT_EQ(List(db).Count(), 1);
    EXPECT_FALSE(List(db).Disabled);
}

TEST_F(DBTest, ChangedSourceAndOtherBoxAreMisses) {
    MakePicture(Picture(1), 300, 200, 1);
    auto db = DB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    // Touching the file: a miss, a second record; the old one stays until evicted.
    struct utimbuf t {};
    t.actime = t.modtime = QFileInfo(Picture(1)).lastModified().toSecsSinceEpoch() + 3600;
    ASSERT_EQ(::utime(QFile::encodeName(Picture(1)).constData(), &t), 0);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(List(db).Count(), 2);
    EXPECT_EQ(List(db).Last()->OrgFileTime, db->OriginalInfo().FileTime);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(List(db).Count(), 2); // and the new one hits

    // Another box stores a second thumbnail of the same file.
    db->SetWidth(256);
    db->SetHeight(256);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->size(), QSize(256, 171));
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(List(db).Count(), 3);
}

TEST_F(DBTest, MissingAndDamagedBitmapsAreMadeAgain) {
    MakePicture(Picture(1), 200, 200, 1);
    MakePicture(Picture(2), 200, 100, 2);
    auto db = DB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    db.reset();

    // One deleted by hand, one cut short, between two runs.
    ASSERT_TRUE(QFile::remove(Bmp(0)));
    WriteFileBytes(Bmp(1), ReadFileBytes(Bmp(1)).left(70));
    db = DB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->size(), QSize(512, 256));
    EXPECT_EQ(List(db).Count(), 2);
    EXPECT_FALSE(List(db).Disabled);
    // Both were stored again under new IDs; the damaged file is gone.
    EXPECT_FALSE(QFile::exists(Bmp(1)));
    EXPECT_TRUE(QFile::exists(Bmp(2)));
    EXPECT_TRUE(QFile::exists(Bmp(3)));

    // A bitmap replaced by a valid picture of the wrong size is not taken either.
    QImage(600, 600, QImage::Format_RGB32).save(Bmp(3), "BMP");
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->size(), QSize(512, 256));
    EXPECT_EQ(List(db).Last()->SaveID, 4);
}

TEST_F(DBTest, IdsWrapAndContinueAfterTheLatest) {
    struct {
        const char* Name;
        QList<int> Ids;   // the stored records, the last ones newest
        int Latest, Next; // the latest ID read, the ID the next store takes
    } const cases[] = {{"past 999999 with 0 to 2 still held", {0, 1, 2, 999998, 999999}, 999999, 0},
                       {"equal times across the wrap", {5, 999990}, 5, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QDir(Base()).removeRecursively();
        MakePicture(Picture(1), 64, 64, 1);
        QByteArray index;
        for (int id : c.Ids) {
            const QByteArray t = c.Ids.size() == 2 || id < 999998
                                     ? "2024/01/01 10:00:00"
                                     : "2024/05/05 10:00:0" + QByteArray::number(id - 999998);
            index += "T,\"" + t + "\",/gone/" + QByteArray::number(id) + ".jpg," +
                     QByteArray::number(id) + ",512,512,1,1,,,\"2020/01/01 00:00:00\",1,,,\"" + t +
                     "\",10\r\n";
            WriteFileBytes(Bmp(id), "x");
        }
        WriteFileBytes(CacheDir() + "/_TDBCache.dat", index);
        auto db = DB();
        EXPECT_EQ(List(db).LatestID, c.Latest);
        ASSERT_TRUE(db->GetThumbnail(Picture(1)));
        EXPECT_EQ(List(db).Last()->SaveID, c.Next);
        // The IDs of one record never serve two: the old holder of the ID is gone.
        EXPECT_NE(ReadFileBytes(Bmp(c.Next)), QByteArray("x"));
        if (c.Ids.size() > 2) { // the block after the new ID is freed for it as well
            EXPECT_EQ(List(db).Count(), 3);
            EXPECT_FALSE(QFile::exists(Bmp(1)));
            EXPECT_TRUE(QFile::exists(Bmp(999999)));
        }
    }
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
    // 36 KB and stops at 32 KB.
    auto db = DB(64, 40);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(db->GetThumbnail(Picture(i)));
    ASSERT_GT(List(db).First()->ThFileSize, 12 * 1024);
    ASSERT_LT(List(db).First()->ThFileSize, 13 * 1024);
    EXPECT_EQ(List(db).Count(), 3); // the 4th store found 3 × 12+ KB > 36 KB
    EXPECT_EQ(List(db).First()->OrgFileName, Picture(1));
    EXPECT_FALSE(QFile::exists(Bmp(0)));
}

TEST_F(DBTest, ClearingAndSwitchingFolders) {
    MakePicture(Picture(1), 64, 64, 1);
    auto db = DB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    db->SetCacheDirectory(Home() + "other");
    EXPECT_TRUE(QFile::exists(CacheDir() + "/_TDBCache.dat")) << "saved on the way out";
    EXPECT_EQ(List(db).Count(), 0);
    db->SetCacheDirectory(Base());
    EXPECT_EQ(List(db).Count(), 1);
    EXPECT_THROW(db->SetCacheDirectory(""), Exception);

    // Old versions, some holding only names a listing hides (they must not stay behind).
    for (int v = 0; v < 12; ++v)
        WriteFileBytes(Base() + QString("/_TDB%1/x.bmp").arg(v, 4, 10, QChar('0')), "x");
    WriteFileBytes(Base() + "/_TDB0005/.hidden/.deeper/y", "x");
    WriteFileBytes(CacheDir() + "/A00000/.hidden/x.bmp", "x");
    QDir().mkpath(Base() + "/_TDB0200");
    QDir().mkpath(Base() + "/keep");
    EXPECT_THROW(db->ClearCache(), Exception); // more than ten old versions
    EXPECT_FALSE(QDir(CacheDir()).exists());
    EXPECT_EQ(List(db).Count(), 0);
    // One old version is left, with the newer one and the unrelated folder.
    const QStringList left = QDir(Base()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(left.size(), 3);
    EXPECT_TRUE(left.contains("_TDB0200") && left.contains("keep"));
    // Pressed again, only the writer's lock file stays; the cache is usable again, and its
    // index is written again only once something is stored.
    WriteFileBytes(CacheDir() + "/.directory", "x");
    db->ClearCache();
    EXPECT_EQ(QDir(Base()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"_TDB0100.lock", "_TDB0200", "keep"}));
    db.reset();
    EXPECT_FALSE(QFile::exists(CacheDir() + "/_TDBCache.dat"));
    db = DB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_TRUE(QFile::exists(Bmp(0)));
}

TEST_F(DBTest, ReadOnlyCacheFolderDisablesStoringButThumbnailsAreStillMade) {
    for (int i = 0; i < 3; ++i)
        MakePicture(Picture(i), 80, 60, i);
    QDir().mkpath(CacheDir());
    ::chmod(QFile::encodeName(Base()).constData(), 0555);
    ::chmod(QFile::encodeName(CacheDir()).constData(), 0555);
    // Root writes anywhere: drop to an unprivileged user for the requests.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    QList<QSize> sizes;
    bool disabled = false;
    QStringList written;
    {
        auto db = DB();
        LogCapture log(FDir.path());
        for (int i = 0; i < 3; ++i)
            sizes << (db->GetThumbnail(Picture(i)) ? db->ThumbnailInfo().Bitmap->size() : QSize());
        disabled = List(db).Disabled;
        written = log.Messages().filter("ビットマップファイル");
        EXPECT_EQ(List(db).Count(), 0);
    }
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ::chmod(QFile::encodeName(Base()).constData(), 0755);
    ::chmod(QFile::encodeName(CacheDir()).constData(), 0755);
    EXPECT_EQ(sizes, QList<QSize>(3, QSize(512, 384)));
    EXPECT_TRUE(disabled);
    ASSERT_EQ(written.size(), 1); // the first failure only: then storing is off
    EXPECT_TRUE(
        written[0].startsWith("ビットマップファイル" + Bmp(0) + "格納時にエラーが発生しました："));
}
