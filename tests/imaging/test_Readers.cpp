// The image readers: the JPEG scale, reduction before conversion, bad and damaged files, and
// the stretch.
#include "ImageTestUtil.h"
#include "cache/CThGraphic.h"
#include "imaging/GraphicReader.h"
#include "imaging/JpegReader.h"
#include "imaging/QtImageReader.h"
#include "services/CException.h"

#include <QDir>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace imgtest;

namespace {

// What loading through the reader registered for the name (as the thumbnail maker loads)
// raises; empty when it loads.
QString LoadError(const QString& path) {
    try {
        TGraphicReaderClass cls = FindGraphicReader(path);
        if (!cls)
            return "no reader";
        auto reader = cls();
        reader->SetSizeHint(512, 512);
        reader->LoadFromFile(path);
        return {};
    } catch (const Exception& e) {
        return e.Message();
    }
}

} // namespace

TEST(Readers, JpegDecodesAtTheSmallestSufficientScale) {
    // The reduced size is rounded up, as the decoder makes it.
    struct {
        int Box, W, H, Denominator;
    } const scales[] = {{512, 4000, 3000, 4}, // fit 512x384; 500 < 512
                        {512, 4096, 3072, 8},
                        {512, 4095, 3000, 8}, // 511.9 rounds up to 512
                        {512, 4097, 3000, 8},
                        {120, 300, 3000, 8}};
    for (const auto& c : scales)
        EXPECT_EQ(JpegScaleDenominator(c.Box, c.Box, c.W, c.H), c.Denominator) << c.W << "x" << c.H;

    // Whatever the scale, the picture is the photograph (colours and placement), and a
    // raster handed out is never written by a later decode.
    const QString dune = TestDataPath("dune.jpg"); // 640 x 400
    QList<QImage> rasters, copies;
    for (auto [box, denominator] : {std::pair{0, 1}, {80, 8}, {120, 4}, {200, 2}}) {
        TJpegReader r;
        r.SetSizeHint(box, box);
        r.LoadFromFile(dune);
        EXPECT_EQ(QSize(r.Width(), r.Height()), QSize(640, 400)) << box;
        EXPECT_EQ(r.Raster().size(), QSize(640, 400) / denominator) << box;
        EXPECT_LT(MeanAbsDiff(r.Raster(), Reference(dune, r.Raster().size())), 6.0) << box;
        rasters << r.Raster();
        copies << r.Raster().copy();
    }
    EXPECT_EQ(rasters, copies);
}

// Formats read whole (TIFF, PNG, BMP, TGA) are reduced to the fitted size before they are
// converted, and the thumbnail is the very one the stretch of the whole raster gave.
TEST(ReduceFirst, WholeRasterFormatsGiveTheFittedRasterAndTheSameThumbnail) {
    struct {
        const char* File;
        int BoxWidth, BoxHeight;
    } cases[] = {
        {"multipage.tif", 50, 200}, {"ladybird_alpha.png", 90, 90}, {"garden_palette.bmp", 64, 64},
        {"storm.tga", 40, 40},      {"seed.bmp", 500, 500}, // smaller than the box: left whole
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.File << " in " << c.BoxWidth << " x " << c.BoxHeight);
        const QString path = TestDataPath(c.File);
        int fw = 0, fh = 0, w = 0, h = 0;
        QImage whole, raster;
        DecodeImageFile(path, 0, 0, fw, fh, whole);
        DecodeImageFile(path, c.BoxWidth, c.BoxHeight, w, h, raster);
        ASSERT_FALSE(whole.isNull() || raster.isNull());
        EXPECT_EQ(QSize(w, h), QSize(fw, fh)); // the full size is reported either way
        const QSize fit = FitIntoBox(c.BoxWidth, c.BoxHeight, fw, fh);
        const bool reducible = fit.width() < fw && fit.height() < fh;
        EXPECT_EQ(raster.size(), reducible ? fit : whole.size());
        // The thumbnail maker's picture, against the whole raster stretched as before (PNG's
        // reader reduces while it reads, with its own filter).
        if (QImageReader(path).supportsOption(QImageIOHandler::ScaledSize))
            continue;
        TThGraphic maker;
        maker.SetBoxWidth(c.BoxWidth);
        maker.SetBoxHeight(c.BoxHeight);
        ASSERT_TRUE(maker.MakeThumbnail(path));
        QImage expected(fit, QImage::Format_RGB888);
        StretchDrawNearest(whole, expected, expected.rect());
        EXPECT_EQ(maker.Thumbnail(), expected);
    }
}

TEST(Readers, BadFilesRaiseReadableErrors) {
    if (geteuid() == 0 && !IsUnprivilegedRerun()) { // a locked file binds only the unprivileged
        EXPECT_TRUE(RerunUnprivileged("Readers.BadFilesRaiseReadableErrors"));
        return;
    }
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/";
    const QByteArray jpeg = ReadAll(TestDataPath("dune.jpg"));
    const QByteArray png = ReadAll(TestDataPath("seed.png"));
    const QByteArray progressive = ReadAll(TestDataPath("storm_progressive.jpg"));
    const QByteArray tif = ReadAll(TestDataPath("seed.tif"));
    QByteArray noise(4096, 0);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), 1024);
    struct {
        const char* Name;
        QByteArray Data;
        const char* Expect; // part of the message
    } cases[] = {{"empty.jpg", QByteArray(), "empty"},
                 {"empty.png", QByteArray(), "empty"},
                 {"noise.jpg", noise, "Not a JPEG file"},
                 {"noise.tif", noise, "unsupported image format"},
                 {"half.jpg", jpeg.left(jpeg.size() / 2), "Premature end of JPEG file"},
                 {"cut.jpg", progressive.left(progressive.size() * 3 / 4), "Premature end"},
                 {"half.png", png.left(png.size() / 2), "half.png"},
                 {"half.tif", tif.left(tif.size() / 2), "half.tif"},
                 // (JPEG's limit binds what its scale allocates: test_LargePhotos.)
                 {"huge.png", PngWithSize(png, 60000, 60000), "too large"},
                 {"locked.jpg", jpeg, "ermission"},
                 {"locked.png", png, "ermission"}};
    for (const auto& c : cases) {
        WriteRaw(d + c.Name, c.Data);
        if (QString(c.Name).startsWith("locked"))
            chmod(QFile::encodeName(d + c.Name).constData(), 0);
        const QString error = LoadError(d + c.Name);
        EXPECT_TRUE(error.contains(c.Expect) && error.contains(c.Name)) << error.toStdString();
    }
    EXPECT_TRUE(LoadError(d + "gone.jpg").contains("No such file"));
    // A progressive file cut short is reported at 1/8 too, where unused scans are left out.
    int w, h;
    QImage img;
    EXPECT_THROW(DecodeJpegFile(d + "cut.jpg", 40, 40, w, h, img), Exception);
    QDir(tmp.path()).mkdir("folder.jpg");
    EXPECT_FALSE(LoadError(d + "folder.jpg").isEmpty());
}
