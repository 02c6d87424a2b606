// The thumbnail database: hits and misses, IDs, eviction, repair of damaged or missing
// bitmaps, clearing, switching folders, a cache folder that cannot be written.
#include "support_CacheTest.h"

#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "services/CException.h"
#include "services/CLogCtrls.h"
#include "services/CThDebug.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

// A picture with a pattern that depends on the seed.
void MakePicture(const QString& path, int w, int h, int seed) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed * 40) & 255, (y * 5 + seed) & 255, seed & 255));
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(image.save(path, "PNG"));
}

void SetMTime(const QString& path, qint64 secs) {
    struct utimbuf t {};
    t.actime = t.modtime = secs;
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &t), 0);
}

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
        return CacheDir() + "/" + TThCacheFileName::BitmapName(id).left(6) + "/" +
               TThCacheFileName::BitmapName(id) + ".bmp";
    }
    QString Picture(int i) const { return FDir.path() + QString("/pics/p%1.png").arg(i); }

    std::unique_ptr<TThumbnailDB> NewDB(int box = 512, int maxKB = 100000) {
        auto db = std::make_unique<TThumbnailDB>(nullptr, Home());
        db->SetCacheDirectory(Base());
        db->SetMaxSizeKB(maxKB);
        db->SetWidth(box);
        db->SetHeight(box);
        return db;
    }

    QTemporaryDir FDir;
};

} // namespace

TEST_F(DBTest, MissStoresHitReadsBack) {
    MakePicture(Picture(1), 640, 480, 1);
    auto db = NewDB();
    EXPECT_FALSE(QDir(Home() + "Log").exists()); // no Debug.ini: no log at all

    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    const QImage made = *db->ThumbnailInfo().Bitmap;
    EXPECT_EQ(made.size(), QSize(512, 384));
    EXPECT_EQ(db->OriginalInfo().Width, 640);
    EXPECT_EQ(db->OriginalInfo().Height, 480);
    EXPECT_EQ(db->OriginalInfo().FileSize, QFileInfo(Picture(1)).size());
    ASSERT_EQ(db->Table().List().Count(), 1);
    const TThImage* r = db->Table().List().First();
    EXPECT_EQ(r->SaveID, 0);
    EXPECT_EQ(r->FilePos, -1);
    EXPECT_EQ(r->ThFileSize, QFileInfo(Bmp(0)).size());
    EXPECT_EQ(db->Table().List().TotalBytes, r->ThFileSize);

    // The second request is answered from the cache, pixel for pixel.
    const int decodes = db->Graphic().DecodeCount();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->convertToFormat(QImage::Format_RGB32),
              made.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(db->Graphic().DecodeCount(), decodes);
    EXPECT_EQ(db->Table().List().Count(), 1);

    // Saved at the end, loaded by the next run, still a hit.
    db.reset();
    ASSERT_TRUE(QFile::exists(CacheDir() + "/_TDBCache.dat"));
    auto again = NewDB();
    ASSERT_EQ(again->Table().List().Count(), 1);
    EXPECT_EQ(again->Table().List().First()->FilePos, 0);
    ASSERT_TRUE(again->GetThumbnail(Picture(1)));
    EXPECT_EQ(again->Graphic().DecodeCount(), 0);
    EXPECT_EQ(again->ThumbnailInfo().Bitmap->size(), QSize(512, 384));
}

TEST_F(DBTest, ChangedSourceAndOtherBoxAreMisses) {
    MakePicture(Picture(1), 300, 200, 1);
    auto db = NewDB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    // Touching the file: a miss, a second record; the old one stays until evicted.
    SetMTime(Picture(1), QFileInfo(Picture(1)).lastModified().toSecsSinceEpoch() + 3600);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->Table().List().Count(), 2);
    EXPECT_EQ(db->Table().List().Last()->SaveID, 1);
    EXPECT_EQ(db->Table().List().Last()->OrgFileTime, db->OriginalInfo().FileTime);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->Table().List().Count(), 2); // and the new one hits

    // Another box stores a second thumbnail of the same file.
    db->SetWidth(256);
    db->SetHeight(256);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->size(), QSize(256, 171));
    EXPECT_EQ(db->Table().List().Count(), 3);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->Table().List().Count(), 3);
}

TEST_F(DBTest, MissingAndDamagedBitmapsAreMadeAgain) {
    MakePicture(Picture(1), 200, 200, 1);
    MakePicture(Picture(2), 200, 100, 2);
    auto db = NewDB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    db.reset();

    // One deleted by hand, one overwritten with garbage, between two runs.
    ASSERT_TRUE(QFile::remove(Bmp(0)));
    const QByteArray original = ReadFileBytes(Bmp(1));
    WriteFileBytes(Bmp(1), original.left(70)); // truncated
    db = NewDB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->size(), QSize(512, 256));
    EXPECT_EQ(db->Table().List().Count(), 2);
    EXPECT_FALSE(db->Table().List().Disabled);
    // Both were stored again under new IDs; the damaged file is gone.
    EXPECT_FALSE(QFile::exists(Bmp(1)));
    EXPECT_TRUE(QFile::exists(Bmp(2)));
    EXPECT_TRUE(QFile::exists(Bmp(3)));
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap, &db->Table().HitBitmap());

    // A bitmap replaced by a valid picture of the wrong size is not taken either.
    QImage(600, 600, QImage::Format_RGB32).save(Bmp(3), "BMP");
    ASSERT_TRUE(db->GetThumbnail(Picture(2)));
    EXPECT_EQ(db->ThumbnailInfo().Bitmap->size(), QSize(512, 256));
    EXPECT_EQ(db->Table().List().Last()->SaveID, 4);
}

TEST_F(DBTest, IdsWrapWithBlockReservationAndContinueAfterTheLatest) {
    // An index whose newest bitmap has ID 999999, and older records holding 0 to 2.
    MakePicture(Picture(1), 64, 64, 1);
    QByteArray index;
    for (int id : {0, 1, 2, 999998, 999999}) {
        const QString t = id >= 999998 ? "2024/05/05 10:00:0" + QString::number(id - 999998)
                                       : "2024/01/01 10:00:00";
        index += "T,\"" + t.toUtf8() + "\",/gone/" + QByteArray::number(id) + ".jpg," +
                 QByteArray::number(id) + ",512,512,1,1,,,\"2020/01/01 00:00:00\",1,,,\"" +
                 t.toUtf8() + "\",10\r\n";
        WriteFileBytes(Bmp(id), "x");
    }
    WriteFileBytes(CacheDir() + "/_TDBCache.dat", index);
    auto db = NewDB();
    EXPECT_EQ(db->Table().List().LatestID, 999999);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->Table().List().Count(), 3);
    EXPECT_EQ(db->Table().List().Last()->SaveID, 0);
    EXPECT_TRUE(QFile::exists(Bmp(0)));
    EXPECT_FALSE(QFile::exists(Bmp(1)));
    EXPECT_TRUE(QFile::exists(Bmp(999999)));
    // The IDs of one record never serve two.
    EXPECT_NE(ReadFileBytes(Bmp(0)), QByteArray("x"));
}

TEST_F(DBTest, EqualTimesAcrossTheWrapContinueAfterTheSmallerId) {
    MakePicture(Picture(1), 64, 64, 1);
    QByteArray index;
    for (int id : {5, 999990})
        index += "T,\"2024/01/01 10:00:00\",/gone/" + QByteArray::number(id) + ".jpg," +
                 QByteArray::number(id) +
                 ",512,512,1,1,,,\"2020/01/01 00:00:00\",1,,,\"2024/02/02 02:02:02\",10\r\n";
    WriteFileBytes(CacheDir() + "/_TDBCache.dat", index);
    auto db = NewDB();
    EXPECT_EQ(db->Table().List().LatestID, 5);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->Table().List().Last()->SaveID, 6);
}

TEST_F(DBTest, EvictionKeepsTheCacheWithinItsLimits) {
    for (int i = 0; i < 6; ++i)
        MakePicture(Picture(i), 64, 64, i);
    // Size 0: every store first evicts the older ones.
    {
        auto db = NewDB(64, 0);
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(db->GetThumbnail(Picture(i)));
        EXPECT_EQ(db->Table().List().Count(), 1);
        EXPECT_EQ(db->Table().List().First()->OrgFileName, Picture(5));
        EXPECT_FALSE(QFile::exists(Bmp(0)));
        db->ClearCache();
    }
    // Each 64 x 64 bitmap is a little over 12 KB: a 40 KB cache starts evicting above
    // 36 KB and stops at 32 KB.
    auto db = NewDB(64, 40);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(db->GetThumbnail(Picture(i)));
    const int64_t one = db->Table().List().First()->ThFileSize;
    ASSERT_GT(one, 12 * 1024);
    ASSERT_LT(one, 13 * 1024);
    EXPECT_EQ(db->Table().List().Count(), 3); // the 4th store found 3 × 12+ KB > 36 KB
    EXPECT_EQ(db->Table().List().First()->OrgFileName, Picture(1));
    EXPECT_FALSE(QFile::exists(Bmp(0)));
}

TEST_F(DBTest, ClearCacheRemovesOldVersionsAndReportsTooMany) {
    MakePicture(Picture(1), 64, 64, 1);
    auto db = NewDB();
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    for (int v = 0; v < 12; ++v)
        WriteFileBytes(Base() + QString("/_TDB%1/x.bmp").arg(v, 4, 10, QChar('0')), "x");
    QDir().mkpath(Base() + "/_TDB0200");
    QDir().mkpath(Base() + "/keep");
    EXPECT_THROW(db->ClearCache(), Exception); // more than ten old versions
    EXPECT_FALSE(QDir(CacheDir()).exists());
    EXPECT_EQ(db->Table().List().Count(), 0);
    const QStringList left = QDir(Base()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(left.size(), 3); // one old version, the newer one, and the unrelated folder
    EXPECT_TRUE(left.contains("_TDB0200"));
    EXPECT_TRUE(left.contains("keep"));

    // The index is written again only once something is stored.
    db.reset();
    EXPECT_FALSE(QFile::exists(CacheDir() + "/_TDBCache.dat"));
}

TEST_F(DBTest, SwitchingFoldersSavesAndLoads) {
    MakePicture(Picture(1), 64, 64, 1);
    auto db = std::make_unique<TThumbnailDB>(nullptr, Home());
    db->SetCacheDirectory(Base());
    db->SetWidth(512);
    db->SetHeight(512);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    db->SetCacheDirectory(Base()); // the same folder: nothing happens
    EXPECT_TRUE(db->Table().List().Dirty);
    db->SetCacheDirectory(Home() + "other");
    EXPECT_EQ(db->GetCacheDirectory(), Home() + "other");
    EXPECT_TRUE(QFile::exists(CacheDir() + "/_TDBCache.dat"));
    EXPECT_EQ(db->Table().List().Count(), 0);
    db->SetCacheDirectory(Base());
    EXPECT_EQ(db->Table().List().Count(), 1);
    EXPECT_THROW(db->SetCacheDirectory(""), Exception);
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
    bool ok[3] = {};
    QSize sizes[3];
    bool disabled = false;
    QStringList written;
    {
        auto db = NewDB(512);
        LogCapture log(FDir.path());
        for (int i = 0; i < 3; ++i) {
            ok[i] = db->GetThumbnail(Picture(i));
            sizes[i] = db->ThumbnailInfo().Bitmap ? db->ThumbnailInfo().Bitmap->size() : QSize();
        }
        disabled = db->Table().List().Disabled;
        written = log.With("ビットマップファイル");
        EXPECT_EQ(db->Table().List().Count(), 0);
    }
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ::chmod(QFile::encodeName(Base()).constData(), 0755);
    ::chmod(QFile::encodeName(CacheDir()).constData(), 0755);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(ok[i]) << i;
        EXPECT_EQ(sizes[i], QSize(512, 384)) << i;
    }
    EXPECT_TRUE(disabled);
    ASSERT_EQ(written.size(), 1); // the first failure only: then storing is off
    EXPECT_TRUE(
        written[0].startsWith("ビットマップファイル" + Bmp(0) + "格納時にエラーが発生しました："));
}

TEST_F(DBTest, ZeroSizedThumbnailIsAnsweredButNotStored) {
    MakePicture(Picture(1), 1000, 3, 1);
    auto db = NewDB(100);
    ASSERT_TRUE(db->GetThumbnail(Picture(1)));
    EXPECT_EQ(db->Table().List().Count(), 0);
    EXPECT_FALSE(db->Table().List().Disabled);
    EXPECT_EQ(db->OriginalInfo().Width, 1000);
}

TEST_F(DBTest, OriginalInfoOfFiles) {
    MakePicture(Picture(1), 33, 22, 1);
    auto db = NewDB();
    EXPECT_FALSE(db->GetOriginalInfo(Picture(9)));
    EXPECT_FALSE(db->GetOriginalInfo(FDir.path() + "/pics"));
    ASSERT_TRUE(db->GetOriginalInfo(Picture(1)));
    EXPECT_EQ(QSize(db->OriginalInfo().Width, db->OriginalInfo().Height), QSize(33, 22));
}
