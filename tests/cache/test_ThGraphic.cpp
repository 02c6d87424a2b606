#include "cache/CThGraphic.h"
#include "imaging/ImageTestUtil.h"
#include "services/CException.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace imgtest;

namespace {

QSize Fit(int32_t fw, int32_t fh, int32_t iw, int32_t ih) {
    TInnerSize s;
    s.SetSize(fw, fh, iw, ih);
    return {s.InnerWidth, s.InnerHeight};
}

struct TInfo {
    int32_t Width = -1, Height = -1, FileSize = -1;
    QString Original = "x", DateTime = "x", FileTime = "x", Label = "x", Serial = "x";
};

bool Info(TThGraphic& g, const QString& file, TInfo& i) {
    return g.GetImageInfo(file, i.Width, i.Height, i.Original, i.DateTime, i.FileTime, i.FileSize,
                          i.Label, i.Serial);
}

} // namespace

TEST(ThGraphic, InnerSizeFitsTheFrame) {
    struct {
        int32_t Fw, Fh, Iw, Ih;
        QSize Inner;
    } const cases[] = {
        {120, 120, 640, 480, {120, 90}},
        {120, 120, 480, 640, {90, 120}},
        {100, 100, 3, 1, {100, 33}},
        {100, 50, 200, 100, {100, 50}}, // equal ratios
        {100, 100, 1000, 3, {100, 0}},
        {96, 96, 1, 1, {96, 96}}, // enlarged
        {512, 512, 5640, 3172, {512, 288}},
        // Halves round to even: 12.5 -> 12, 13.5 -> 14.
        {100, 100, 8, 1, {100, 12}},
        {100, 100, 200, 27, {100, 14}},
        {100, 100, 1, 8, {12, 100}},
        {100, 100, 3, 2, {100, 67}}, // 66.7 rounds up
    };
    for (const auto& c : cases)
        EXPECT_EQ(Fit(c.Fw, c.Fh, c.Iw, c.Ih), c.Inner) << c.Iw << "x" << c.Ih;
    for (auto [fw, fh, iw, ih] :
         {std::array{0, 120, 640, 480}, {120, 0, 0, 0}, {120, 120, 0, 480}, {120, 120, 640, 0}}) {
        TInnerSize s;
        EXPECT_THROW(s.SetSize(fw, fh, iw, ih), Exception);
        EXPECT_EQ(QSize(s.InnerWidth, s.InnerHeight), QSize(0, 0));
    }
}

TEST(ThGraphic, ThumbnailIsExactlyTheFittedSize) {
    TThGraphic g;
    EXPECT_EQ(g.BoxWidth(), 0);
    EXPECT_FALSE(g.MakeThumbnail(""));
    EXPECT_FALSE(g.LoadImage(""));

    g.SetBoxWidth(120);
    g.SetBoxHeight(120);
    const QString dune = TestDataPath("dune.jpg");
    ASSERT_TRUE(g.MakeThumbnail(dune));
    EXPECT_EQ(g.Thumbnail().size(), QSize(120, 75));
    EXPECT_EQ(g.Thumbnail().format(), QImage::Format_RGB888);
    EXPECT_EQ(g.LastFileName(), dune);
    EXPECT_LT(MeanAbsDiff(g.Thumbnail(), Reference(dune, QSize(120, 75))), 8.0);

    // Every kind of source gives a thumbnail of the photograph.
    struct {
        const char* File;
        QSize Thumb;
        double Tolerance;
    } cases[] = {
        {"storm_progressive.jpg", {120, 80}, 10}, {"wood_gray.jpg", {120, 90}, 10},
        {"blinds_cmyk.jpg", {120, 75}, 10},       {"meadow_16bit.png", {120, 96}, 10},
        {"ladybird_alpha.png", {120, 75}, 12},    {"garden_palette.bmp", {120, 75}, 12},
        {"multipage.tif", {120, 75}, 12},         {"storm.tga", {120, 80}, 12},
        {"png_named.jpg", {120, 90}, 12},
    };
    for (const auto& c : cases) {
        const QString path = TestDataPath(c.File);
        ASSERT_NO_THROW(g.MakeThumbnail(path)) << c.File;
        EXPECT_EQ(g.Thumbnail().size(), c.Thumb) << c.File;
        EXPECT_LT(MeanAbsDiff(g.Thumbnail(), Reference(path, c.Thumb)), c.Tolerance) << c.File;
    }
    // Alpha lies on white.
    ASSERT_TRUE(g.MakeThumbnail(TestDataPath("ladybird_alpha.png")));
    EXPECT_EQ(g.Thumbnail().pixel(5, 5), qRgb(255, 255, 255));

    // A 1 x 1 image fills a 96 x 96 box; a 1000 x 3 image gives a 100 x 0 thumbnail.
    QTemporaryDir tmp;
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(qRgb(10, 200, 30));
    ASSERT_TRUE(dot.save(tmp.path() + "/dot.png"));
    g.SetBoxWidth(96);
    g.SetBoxHeight(96);
    ASSERT_TRUE(g.MakeThumbnail(tmp.path() + "/dot.png"));
    EXPECT_EQ(g.Thumbnail().size(), QSize(96, 96));
    EXPECT_EQ(g.Thumbnail().pixel(95, 95), qRgb(10, 200, 30));
    QImage line(1000, 3, QImage::Format_RGB32);
    line.fill(Qt::gray);
    ASSERT_TRUE(line.save(tmp.path() + "/line.png"));
    g.SetBoxWidth(100);
    g.SetBoxHeight(100);
    ASSERT_TRUE(g.MakeThumbnail(tmp.path() + "/line.png"));
    EXPECT_EQ(g.InnerSize().InnerWidth, 100);
    EXPECT_EQ(g.InnerSize().InnerHeight, 0);
    EXPECT_TRUE(g.Thumbnail().isNull());
}

TEST(ThGraphic, ZeroBoxRaisesAndLeavesAnEmptyThumbnail) {
    TThGraphic g;
    g.SetBoxWidth(120);
    g.SetBoxHeight(120);
    ASSERT_TRUE(g.MakeThumbnail(TestDataPath("dune.jpg")));
    ASSERT_FALSE(g.Thumbnail().isNull());
    g.SetBoxHeight(0);
    EXPECT_THROW(g.MakeThumbnail(TestDataPath("dune.jpg")), Exception);
    EXPECT_TRUE(g.Thumbnail().isNull());
}

TEST(ThGraphic, OneDecodeServesMakeAndInfo) {
    QTemporaryDir tmp;
    const QString f = tmp.path() + "/IMG_0001.JPG"; // upper-case extension finds the reader
    ASSERT_TRUE(QFile::copy(TestDataPath("dune.jpg"), f));
    TThGraphic g;
    g.SetBoxWidth(120);
    g.SetBoxHeight(120);
    ASSERT_TRUE(g.MakeThumbnail(f));
    EXPECT_EQ(g.Picture().FormatName(), "JPEG");
    EXPECT_EQ(g.DecodeCount(), 1);
    ASSERT_TRUE(g.MakeThumbnail(f));
    TInfo i;
    ASSERT_TRUE(Info(g, f, i));
    EXPECT_EQ(g.DecodeCount(), 1) << "make, make again and info: one decode";
    EXPECT_EQ(i.Width, 640);
    EXPECT_EQ(i.Height, 400);
    // A smaller box is served from what is held; a larger one needs more detail.
    g.SetBoxWidth(60);
    g.SetBoxHeight(60);
    ASSERT_TRUE(g.MakeThumbnail(f));
    EXPECT_EQ(g.DecodeCount(), 1);
    EXPECT_EQ(g.Thumbnail().size(), QSize(60, 38));
    g.SetBoxWidth(512);
    g.SetBoxHeight(512);
    ASSERT_TRUE(g.MakeThumbnail(f));
    EXPECT_EQ(g.DecodeCount(), 2);
    EXPECT_EQ(g.Thumbnail().size(), QSize(512, 320));
    EXPECT_LT(MeanAbsDiff(g.Thumbnail(), Reference(f, QSize(512, 320))), 6.0);
    EXPECT_EQ(g.Picture().Raster().size(), QSize(640, 400)) << "full scale for 512";

    // A file written since it was decoded is decoded again: an edited picture must never be
    // served (and stored) from the old decode.
    ASSERT_TRUE(QFile::remove(f));
    ASSERT_TRUE(QFile::copy(TestDataPath("seed.png"), f)); // other content, same name
    ASSERT_TRUE(g.MakeThumbnail(f));
    EXPECT_EQ(g.DecodeCount(), 3);
    EXPECT_NE(g.Picture().Width(), 640);

    // A file gone since is not served from the held image either.
    ASSERT_TRUE(QFile::remove(f));
    EXPECT_THROW(g.MakeThumbnail(f), Exception);
    EXPECT_EQ(g.DecodeCount(), 4);

    // Another file replaces the held one; a failed decode leaves nothing held.
    ASSERT_TRUE(g.MakeThumbnail(TestDataPath("seed.png")));
    EXPECT_EQ(g.DecodeCount(), 5);
    EXPECT_THROW(g.MakeThumbnail(tmp.path() + "/missing.jpg"), Exception);
    EXPECT_EQ(g.LastFileName(), "");
    EXPECT_TRUE(g.Picture().Empty());
    ASSERT_TRUE(g.MakeThumbnail(TestDataPath("seed.png")));
    EXPECT_EQ(g.DecodeCount(), 7) << "decoded again after the failure";
}

TEST(ThGraphic, ImageInfoOfRealFiles) {
    QTemporaryDir tmp;
    const QString dune = tmp.path() + "/dune.jpg";
    ASSERT_TRUE(QFile::copy(TestDataPath("dune.jpg"), dune));
    TThGraphic g;
    g.SetBoxWidth(512);
    g.SetBoxHeight(512);
    TInfo i;
    ASSERT_TRUE(Info(g, dune, i));
    EXPECT_EQ(i.Width, 640);
    EXPECT_EQ(i.Height, 400);
    EXPECT_EQ(i.Original, "2007/08/06 10:29:13");
    EXPECT_EQ(i.DateTime, "2008/07/22 22:19:57");
    EXPECT_EQ(g.Exif().FileName, dune);
    QString time;
    int32_t size = 0;
    ASSERT_TRUE(GetFileTimeAndSize(dune, time, size));
    EXPECT_EQ(i.FileTime, time);
    EXPECT_EQ(i.FileSize, 73845);
    QString label, serial;
    GetVolumeLabelAndSerial(dune, label, serial);
    EXPECT_EQ(i.Label, label);
    EXPECT_EQ(i.Serial, serial);
    EXPECT_EQ(i.Serial.size(), 9);

    // The camera's block without 0x9003: no shooting date, the 0x0132 text stays; without
    // both, neither.
    const QByteArray bytes = ReadBytes(dune);
    const QString onlyDt = tmp.path() + "/only_datetime.jpg";
    const QString neither = tmp.path() + "/neither.jpg";
    ASSERT_TRUE(WriteBytes(onlyDt, WithoutTags(bytes, {EXIF_TAG_DATE_TIME_ORIGINAL})));
    ASSERT_TRUE(
        WriteBytes(neither, WithoutTags(bytes, {EXIF_TAG_DATE_TIME_ORIGINAL, EXIF_TAG_DATE_TIME})));
    ASSERT_TRUE(Info(g, onlyDt, i));
    EXPECT_EQ(i.Original, "");
    EXPECT_EQ(i.DateTime, "2008/07/22 22:19:57");
    ASSERT_TRUE(Info(g, neither, i));
    EXPECT_EQ(i.Original, "");
    EXPECT_EQ(i.DateTime, "");
    EXPECT_EQ(i.Width, 640);

    // A PNG never has EXIF dates; the previous file's dates do not linger.
    ASSERT_TRUE(Info(g, dune, i));
    ASSERT_TRUE(Info(g, TestDataPath("meadow_16bit.png"), i));
    EXPECT_EQ(i.Original, "");
    EXPECT_EQ(i.DateTime, "");
    EXPECT_EQ(i.Width, 200);
    EXPECT_EQ(i.Height, 160);

    // Without a box only the size is needed, and it is still the full size.
    TThGraphic bare;
    ASSERT_TRUE(Info(bare, TestDataPath("storm_progressive.jpg"), i));
    EXPECT_EQ(i.Width, 480);
    EXPECT_EQ(i.Height, 320);
    EXPECT_FALSE(Info(bare, "", i));

    // A file that can't be decoded raises; GetImageInfo does not swallow it.
    ASSERT_TRUE(WriteBytes(tmp.path() + "/bad.jpg", "not a jpeg at all"));
    EXPECT_THROW(Info(g, tmp.path() + "/bad.jpg", i), Exception);
}

TEST(ThGraphic, UnlistedExtensionsUseTheGenericLoader) {
    QTemporaryDir tmp;
    ASSERT_TRUE(QFile::copy(TestDataPath("seed.png"), tmp.path() + "/picture.webp"));
    ASSERT_TRUE(QFile::copy(TestDataPath("seed.jpg"), tmp.path() + "/noext"));
    ASSERT_TRUE(WriteBytes(tmp.path() + "/movie.avi", QByteArray(1000, 'R')));
    TThGraphic g;
    g.SetBoxWidth(32);
    g.SetBoxHeight(32);
    ASSERT_TRUE(g.MakeThumbnail(tmp.path() + "/picture.webp"));
    EXPECT_EQ(g.Thumbnail().size(), QSize(32, 20));
    ASSERT_TRUE(g.MakeThumbnail(tmp.path() + "/noext"));
    EXPECT_EQ(g.Thumbnail().size(), QSize(32, 20));
    EXPECT_THROW(g.MakeThumbnail(tmp.path() + "/movie.avi"), Exception);
}
