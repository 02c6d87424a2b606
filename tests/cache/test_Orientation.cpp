// Thumbnails handed out upright: for each of the eight orientation tags the database gives
// the upright picture, on a make and on a hit from a fresh database (the index read back),
// while the stored bitmap stays as decoded; switched off, it gives the stored raster.
#include "support_CacheTest.h"

#include "cache/CThGraphic.h"
#include "imaging/ExifReader.h"
#include "imaging/Orientation.h"
#include "support/OrientedPictures.h"

#include <QDir>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QImage HandedOut(TThumbnailDB& db, const QString& path) {
    if (!db.GetThumbnail(path) || !db.ThumbnailInfo().Bitmap)
        return QImage();
    return *db.ThumbnailInfo().Bitmap;
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
    for (int tag = 0; tag <= 8; ++tag) // 0: no EXIF block at all
        ASSERT_TRUE(oriented::WriteJpeg(picture(tag), tag));
    for (int tag = 0; tag <= 8; ++tag) {
        SCOPED_TRACE(tag);
        // Made now and hit in the same run: 96 x 48 upright, enlarged into the 512 box; the
        // stored thumbnail and the attributes stay those of the raster as decoded.
        const QImage made = HandedOut(*db, picture(tag));
        EXPECT_UPRIGHT(made);
        EXPECT_EQ(made.size(), QSize(512, 256));
        EXPECT_EQ(db->Graphic().Thumbnail().size(), tag >= 5 ? QSize(256, 512) : QSize(512, 256));
        EXPECT_EQ(db->OriginalInfo().Width, tag >= 5 ? 48 : 96);
        EXPECT_UPRIGHT(HandedOut(*db, picture(tag)));
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
    // "Reload this image" makes the thumbnail again and hands it out upright as well.
    db->SetApplyOrientation(true);
    ASSERT_TRUE(db->RefreshThumbnail(picture(6)));
    EXPECT_UPRIGHT(*db->ThumbnailInfo().Bitmap);
}

TEST(Orientation, TagsThatCannotBeUsedLeaveThePictureAsStored) {
    QTemporaryDir dir;
    QByteArray bad9 = oriented::Jpeg(6);
    // The tag's value in the block (Motorola order: ... 00 06) becomes 9.
    const int at = bad9.indexOf(QByteArray("\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06", 10));
    ASSERT_GT(at, 0);
    bad9[at + 9] = 9;
    // A value of 9 and a block cut off are read as no turn at all.
    TExifReader exif;
    const QString path = dir.path() + "/case.jpg";
    for (const QByteArray& bytes : {bad9, oriented::Jpeg(6).left(30)}) {
        WriteFileBytes(path, bytes);
        EXPECT_EQ(ReadOrientation(path, exif), 1) << bytes.size();
    }

    // A TIFF carries the tag in its own header.
    const QString tiff = dir.path() + "/lying.tif";
    QImageWriter writer(tiff, "tiff");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(oriented::Stored(6)));
    EXPECT_EQ(ReadOrientation(tiff, exif), 6);
    EXPECT_UPRIGHT(HandedOut(*NewDB(dir.path() + "/", dir.path() + "/cache"), tiff));
}
