// Thumbnails handed out upright: for each of the eight orientation tags the database gives
// the upright picture, on a make and on a hit from a fresh database (the index read back),
// while the stored bitmap stays as decoded; switched off, it gives the stored raster.
#include "support_CacheTest.h"

#include "cache/CThGraphic.h"
#include "imaging/ExifReader.h"
#include "imaging/Orientation.h"
#include "support/OrientedPictures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QImage HandedOut(TThumbnailDB& db, const QString& path) {
    return db.GetThumbnail(path) && db.ThumbnailInfo().Bitmap ? *db.ThumbnailInfo().Bitmap
                                                              : QImage();
}

#define EXPECT_UPRIGHT(img)                                                                        \
    do {                                                                                           \
        QString why;                                                                               \
        EXPECT_TRUE(oriented::ShowsUpright(img, &why)) << why.toStdString();                       \
    } while (0)

} // namespace

TEST(Orientation, EveryTagIsHandedOutUprightWhileTheCacheKeepsTheStoredRaster) {
    QTemporaryDir dir;
    auto picture = [&](int tag) { return dir.path() + QString("/tag%1.jpg").arg(tag); };
    auto db = NewDB(dir.path() + "/", dir.path() + "/cache");
    for (int tag = 0; tag <= 8; ++tag) { // 0: no EXIF block at all
        SCOPED_TRACE(tag);
        ASSERT_TRUE(oriented::WriteJpeg(picture(tag), tag));
        // Made now: 96 x 48 upright, enlarged into the 512 box; the stored thumbnail and the
        // attributes stay those of the raster as decoded.
        const QImage made = HandedOut(*db, picture(tag));
        EXPECT_UPRIGHT(made);
        EXPECT_EQ(made.size(), QSize(512, 256));
        EXPECT_EQ(db->Graphic().Thumbnail().size(), tag >= 5 ? QSize(256, 512) : QSize(512, 256));
        EXPECT_EQ(db->OriginalInfo().Width, tag >= 5 ? 48 : 96);
    }
    // A fresh database reads the index back: hits, upright; switched off, as stored.
    db.reset(); // saved before the next one reads it
    db = NewDB(dir.path() + "/", dir.path() + "/cache");
    for (int tag = 0; tag <= 8; ++tag) {
        SCOPED_TRACE(tag);
        db->SetApplyOrientation(true);
        EXPECT_UPRIGHT(HandedOut(*db, picture(tag)));
        db->SetApplyOrientation(false);
        const QImage raw = HandedOut(*db, picture(tag));
        EXPECT_EQ(raw.size(), tag >= 5 ? QSize(256, 512) : QSize(512, 256));
        EXPECT_EQ(oriented::ShowsUpright(raw), tag <= 1);
    }
    EXPECT_EQ(db->Table().List().Count(), 9) << "a miss made a second record";
    db->SetApplyOrientation(true);
    ASSERT_TRUE(db->RefreshThumbnail(picture(6))); // "Reload this image"
    EXPECT_UPRIGHT(*db->ThumbnailInfo().Bitmap);

    // A tag value of 9 and a block cut off are read as no turn at all.
    QByteArray bad9 = oriented::Jpeg(6);
    // The tag's value in the block (Motorola order: ... 00 06) becomes 9.
    const int at = bad9.indexOf(QByteArray("\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06", 10));
    ASSERT_GT(at, 0);
    bad9[at + 9] = 9;
    TExifReader exif;
    for (const QByteArray& bytes : {bad9, oriented::Jpeg(6).left(30)}) {
        WriteFileBytes(dir.path() + "/case.jpg", bytes);
        EXPECT_EQ(ReadOrientation(dir.path() + "/case.jpg", exif), 1) << bytes.size();
    }
}
