// The thumbnail maker: the fitted size, every kind of source, one decode for make and
// information, the EXIF dates and file facts of real files.
#include "cache/CThGraphic.h"
#include "imaging/ImageTestUtil.h"
#include "services/CException.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace imgtest;

namespace {

struct TInfo {
    int32_t Width = -1, Height = -1, FileSize = -1;
    QString Original = "x", DateTime = "x", FileTime = "x", Label = "x", Serial = "x";
};

bool Info(TThGraphic& g, const QString& file, TInfo& i) {
    return g.GetImageInfo(file, i.Width, i.Height, i.Original, i.DateTime, i.FileTime, i.FileSize,
                          i.Label, i.Serial);
}

void Box(TThGraphic& g, int w, int h) {
    g.SetBoxWidth(w);
    g.SetBoxHeight(h);
}

} // namespace

TEST(ThGraphic, InnerSizeFitsTheFrame) {
    // Halves round to even (12.5 -> 12, 13.5 -> 14), 66.7 rounds up, small pictures grow.
    for (auto [fw, fh, iw, ih, inner] : {std::tuple{120, 120, 640, 480, QSize(120, 90)},
                                         {120, 120, 480, 640, QSize(90, 120)},
                                         {100, 100, 1000, 3, QSize(100, 0)},
                                         {96, 96, 1, 1, QSize(96, 96)},
                                         {100, 100, 8, 1, QSize(100, 12)},
                                         {100, 100, 200, 27, QSize(100, 14)},
                                         {100, 100, 1, 8, QSize(12, 100)},
                                         {100, 100, 3, 2, QSize(100, 67)}}) {
        TInnerSize s;
        s.SetSize(fw, fh, iw, ih);
        EXPECT_EQ(QSize(s.InnerWidth, s.InnerHeight), inner) << iw << "x" << ih;
    }
    for (auto [fw, fh, iw, ih] : {std::array{0, 120, 640, 480}, {120, 120, 640, 0}}) {
        TInnerSize s;
        EXPECT_THROW(s.SetSize(fw, fh, iw, ih), Exception);
        EXPECT_EQ(QSize(s.InnerWidth, s.InnerHeight), QSize(0, 0));
    }
}

TEST(ThGraphic, ThumbnailIsTheFittedPhotographOfEveryKindOfSource) {
    TThGraphic g;
    EXPECT_FALSE(g.MakeThumbnail(""));
    Box(g, 120, 120);
    // Unlisted extensions go to the generic loader, which knows pictures by their content.
    QTemporaryDir tmp;
    ASSERT_TRUE(QFile::copy(TestDataPath("seed.png"), tmp.path() + "/picture.webp"));
    struct {
        QString File;
        QSize Thumb;
        double Tolerance;
    } cases[] = {{TestDataPath("wood_gray.jpg"), {120, 90}, 10},
                 {TestDataPath("blinds_cmyk.jpg"), {120, 75}, 10},
                 {TestDataPath("meadow_16bit.png"), {120, 96}, 10},
                 {TestDataPath("ladybird_alpha.png"), {120, 75}, 12},
                 {TestDataPath("garden_palette.bmp"), {120, 75}, 12},
                 {TestDataPath("multipage.tif"), {120, 75}, 12},
                 {TestDataPath("storm.tga"), {120, 80}, 12},
                 {TestDataPath("png_named.jpg"), {120, 90}, 12},
                 {tmp.path() + "/picture.webp", {120, 75}, 12}};
    for (const auto& c : cases) {
        ASSERT_NO_THROW(g.MakeThumbnail(c.File)) << c.File.toStdString();
        EXPECT_EQ(g.Thumbnail().size(), c.Thumb) << c.File.toStdString();
        EXPECT_EQ(g.Thumbnail().format(), QImage::Format_RGB888);
        // Reference() lays transparent pixels on white, as the thumbnail must.
        EXPECT_LT(MeanAbsDiff(g.Thumbnail(), Reference(c.File, c.Thumb)), c.Tolerance)
            << c.File.toStdString();
    }
    WriteRaw(tmp.path() + "/movie.avi", QByteArray(1000, 'R'));
    EXPECT_THROW(g.MakeThumbnail(tmp.path() + "/movie.avi"), Exception);
    // A zero box raises and leaves no thumbnail.
    Box(g, 96, 0);
    EXPECT_THROW(g.MakeThumbnail(tmp.path() + "/picture.webp"), Exception);
    EXPECT_TRUE(g.Thumbnail().isNull());
}

TEST(ThGraphic, OneDecodeServesMakeAndInfoOfRealFiles) {
    QTemporaryDir tmp;
    const QString f = tmp.path() + "/IMG_0001.JPG"; // upper-case extension finds the reader
    ASSERT_TRUE(QFile::copy(TestDataPath("dune.jpg"), f));
    TThGraphic g;
    Box(g, 120, 120);
    ASSERT_TRUE(g.MakeThumbnail(f));
    EXPECT_EQ(g.Picture().FormatName(), "JPEG");
    TInfo i;
    ASSERT_TRUE(Info(g, f, i));
    EXPECT_EQ(QSize(i.Width, i.Height), QSize(640, 400));
    EXPECT_EQ(i.Original, "2007/08/06 10:29:13");
    EXPECT_EQ(i.DateTime, "2008/07/22 22:19:57");
    QString time, label, serial;
    int32_t size = 0;
    ASSERT_TRUE(GetFileTimeAndSize(f, time, size));
    GetVolumeLabelAndSerial(f, label, serial);
    EXPECT_EQ(QStringList({i.FileTime, i.Label, i.Serial}), QStringList({time, label, serial}));
    EXPECT_EQ(i.FileSize, 73845);
    // A smaller box is served from what is held; a larger one needs more detail.
    Box(g, 60, 60);
    ASSERT_TRUE(g.MakeThumbnail(f));
    EXPECT_EQ(g.DecodeCount(), 1) << "make, info and a smaller make: one decode";
    EXPECT_EQ(g.Thumbnail().size(), QSize(60, 38));
    Box(g, 512, 512);
    ASSERT_TRUE(g.MakeThumbnail(f));
    EXPECT_EQ(g.DecodeCount(), 2);

    // A file written since it was decoded is decoded again, and a PNG has no EXIF dates:
    // the previous file's do not linger. One gone since is not served, and the failure
    // leaves nothing held; one that can't be decoded raises through GetImageInfo.
    ASSERT_TRUE(QFile::remove(f) && QFile::copy(TestDataPath("seed.png"), f));
    ASSERT_TRUE(Info(g, f, i));
    EXPECT_EQ(g.DecodeCount(), 3) << "a file written since it was decoded";
    EXPECT_EQ(i.DateTime, "");
    EXPECT_NE(i.Width, 640);
    ASSERT_TRUE(QFile::remove(f));
    EXPECT_THROW(g.MakeThumbnail(f), Exception);
    EXPECT_TRUE(g.Picture().Empty());
    WriteRaw(tmp.path() + "/bad.jpg", "not a jpeg at all");
    EXPECT_THROW(Info(g, tmp.path() + "/bad.jpg", i), Exception);
}
