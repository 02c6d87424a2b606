// Thumbnails handed out upright: for each of the eight orientation tags the database gives
// the upright picture, on a make and on a hit from a fresh database (the index read back),
// while the stored bitmap stays as decoded; switched off, it gives the stored raster.
#include "cache/CThGraphic.h"
#include "cache/CThumbnailDB.h"
#include "imaging/ExifReader.h"
#include "imaging/Orientation.h"
#include "support/OrientedPictures.h"

#include <QDir>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TOrientRig {
    QTemporaryDir Dir;
    QString Home() const { return Dir.path() + "/"; }
    QString Picture(int tag) const { return Dir.path() + QString("/pics/tag%1.jpg").arg(tag); }

    std::unique_ptr<TThumbnailDB> NewDB() const {
        auto db = std::make_unique<TThumbnailDB>(nullptr, Home());
        db->SetCacheDirectory(Dir.path() + "/cache");
        db->SetMaxSizeKB(100000);
        db->SetWidth(512);
        db->SetHeight(512);
        return db;
    }
};

QImage HandedOut(TThumbnailDB& db, const QString& path) {
    if (!db.GetThumbnail(path) || !db.ThumbnailInfo().Bitmap)
        return QImage();
    return *db.ThumbnailInfo().Bitmap;
}

} // namespace

TEST(Orientation, EveryTagIsHandedOutUprightWhileTheCacheKeepsTheStoredRaster) {
    TOrientRig rig;
    QDir().mkpath(rig.Dir.path() + "/pics");
    // 0: no EXIF block at all.
    for (int tag = 0; tag <= 8; ++tag)
        ASSERT_TRUE(oriented::WriteJpeg(rig.Picture(tag), tag));

    {
        auto db = rig.NewDB();
        for (int tag = 0; tag <= 8; ++tag) {
            SCOPED_TRACE(tag);
            QString why;
            // Made now: 96 x 48 upright, enlarged into the 512 box.
            const QImage made = HandedOut(*db, rig.Picture(tag));
            EXPECT_TRUE(oriented::ShowsUpright(made, &why)) << why.toStdString();
            EXPECT_EQ(made.size(), QSize(512, 256));
            // The database's own stored thumbnail is the raster as decoded.
            const QSize stored = tag >= 5 ? QSize(256, 512) : QSize(512, 256);
            EXPECT_EQ(db->Graphic().Thumbnail().size(), stored);
            // The attributes stay those of the stored raster.
            EXPECT_EQ(db->OriginalInfo().Width, tag >= 5 ? 48 : 96);
            // Asked again in the same run: a hit, upright too.
            EXPECT_TRUE(oriented::ShowsUpright(HandedOut(*db, rig.Picture(tag)), &why))
                << why.toStdString();
            EXPECT_EQ(db->Table().HitBitmap().size(), stored);
        }
    }
    // A fresh database reads the index back: hits, upright; switched off, as stored.
    auto db = rig.NewDB();
    for (int tag = 0; tag <= 8; ++tag) {
        SCOPED_TRACE(tag);
        QString why;
        db->SetApplyOrientation(true);
        const QImage hit = HandedOut(*db, rig.Picture(tag));
        EXPECT_TRUE(oriented::ShowsUpright(hit, &why)) << why.toStdString();
        EXPECT_EQ(db->Table().List().Count(), 9) << "a miss made a second record";
        db->SetApplyOrientation(false);
        const QImage raw = HandedOut(*db, rig.Picture(tag));
        const QImage expected =
            oriented::Stored(tag == 0 ? 1 : tag).scaled(raw.size(), Qt::IgnoreAspectRatio);
        EXPECT_EQ(raw.size(), tag >= 5 ? QSize(256, 512) : QSize(512, 256));
        const QColor got = raw.pixelColor(raw.width() / 4, raw.height() / 8);
        const QColor want = expected.pixelColor(raw.width() / 4, raw.height() / 8);
        EXPECT_LT(std::abs(got.red() - want.red()) + std::abs(got.green() - want.green()) +
                      std::abs(got.blue() - want.blue()),
                  60)
            << "not the stored raster: " << got.name().toStdString();
    }
    // "Reload this image" makes the thumbnail again and hands it out upright as well.
    db->SetApplyOrientation(true);
    ASSERT_TRUE(db->RefreshThumbnail(rig.Picture(6)));
    QString why;
    EXPECT_TRUE(oriented::ShowsUpright(*db->ThumbnailInfo().Bitmap, &why)) << why.toStdString();
}

TEST(Orientation, TagsThatCannotBeUsedLeaveThePictureAsStored) {
    TOrientRig rig;
    QDir().mkpath(rig.Dir.path() + "/pics");
    TExifReader exif;
    struct TCase {
        const char* What;
        QByteArray Bytes;
        int Expected;
    };
    QByteArray bad9 = oriented::Jpeg(6);
    // Patch the tag's value in the block: 6 becomes 9 (Motorola order: ... 00 06).
    const int at = bad9.indexOf(QByteArray("\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06", 10));
    ASSERT_GT(at, 0);
    bad9[at + 9] = 9;
    QByteArray cut = oriented::Jpeg(6).left(30); // the block cut off in the middle
    const TCase cases[] = {
        {"no EXIF block", oriented::Jpeg(0), 1},
        {"value 9", bad9, 1},
        {"block cut off", cut, 1},
        {"tag 8", oriented::Jpeg(8), 8},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const QString path = rig.Dir.path() + "/pics/case.jpg";
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.Bytes);
        f.close();
        EXPECT_EQ(ReadOrientation(path, exif), c.Expected);
    }
    EXPECT_EQ(ReadOrientation(rig.Dir.path() + "/pics/none.jpg", exif), 1);

    // A TIFF carries the tag in its own header.
    const QString tiff = rig.Dir.path() + "/pics/lying.tif";
    QImageWriter writer(tiff, "tiff");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(oriented::Stored(6)));
    EXPECT_EQ(ReadOrientation(tiff, exif), 6);
    auto db = rig.NewDB();
    QString why;
    EXPECT_TRUE(oriented::ShowsUpright(HandedOut(*db, tiff), &why)) << why.toStdString();
}
