#include "ImageTestUtil.h"
#include "imaging/GraphicReader.h"
#include "imaging/JpegReader.h"
#include "imaging/Picture.h"
#include "imaging/QtImageReader.h"
#include "services/CException.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace imgtest;

namespace {

struct TDecoded {
    int Width = 0, Height = 0;
    QImage Raster;
    QString Format;
    QString Error;
};

// Loads through the reader registered for the name, the way the thumbnail maker does.
TDecoded Load(const QString& path, int boxW = 0, int boxH = 0) {
    TDecoded d;
    try {
        TGraphicReaderClass cls = FindGraphicReader(path);
        if (!cls) {
            d.Error = "no reader";
            return d;
        }
        auto reader = cls();
        reader->SetSizeHint(boxW, boxH);
        reader->LoadFromFile(path);
        d.Width = reader->Width();
        d.Height = reader->Height();
        d.Raster = reader->Raster();
        d.Format = reader->FormatName();
    } catch (const Exception& e) {
        d.Error = e.Message();
    }
    return d;
}

} // namespace

TEST(Readers, RegistryIgnoresLetterCase) {
    const TGraphicReaderClass jpeg = &TJpegReader::Create, qt = &TQtImageReader::Create;
    for (auto [name, reader] : {std::pair{"/x/a.JPG", jpeg},
                                {"a.Jpeg", jpeg},
                                {"a.jfif", jpeg},
                                {"a.PNG", qt},
                                {"a.tif", qt},
                                {"a.avi", TGraphicReaderClass()},
                                {"noextension", TGraphicReaderClass()},
                                {"/dir.jpg/noextension", TGraphicReaderClass()}})
        EXPECT_EQ(FindGraphicReader(name), reader) << name;
    RegisterGraphicReader("XYZ", qt);
    EXPECT_EQ(FindGraphicReader("a.xyz"), qt);
    RegisterGraphicReader("xyz", nullptr);
    EXPECT_EQ(FindGraphicReader("a.xyz"), nullptr);
}

TEST(Readers, JpegDecodesAtTheSmallestSufficientScale) {
    // The reduced size is rounded up, as the decoder makes it.
    struct {
        int Box, W, H, Denominator;
    } const scales[] = {
        {512, 4000, 3000, 4}, // fit 512x384; 500 < 512
        {512, 4096, 3072, 8}, {512, 4095, 3000, 8}, {512, 4097, 3000, 8}, {512, 640, 480, 1},
        {512, 1024, 768, 2},  {0, 4000, 3000, 1},   {120, 300, 3000, 8},  {120, 300, 900, 4},
    };
    for (const auto& c : scales)
        EXPECT_EQ(JpegScaleDenominator(c.Box, c.Box, c.W, c.H), c.Denominator) << c.W << "x" << c.H;

    const QString dune = TestDataPath("dune.jpg"); // 640 x 400
    struct {
        int Box, Denominator, RasterW, RasterH;
    } cases[] = {{0, 1, 640, 400},   {80, 8, 80, 50},    {120, 4, 160, 100},
                 {200, 2, 320, 200}, {512, 1, 640, 400}, {1000, 1, 640, 400}};
    for (const auto& c : cases) {
        TJpegReader r;
        r.SetSizeHint(c.Box, c.Box);
        r.LoadFromFile(dune);
        EXPECT_EQ(r.Width(), 640) << c.Box;
        EXPECT_EQ(r.Height(), 400) << c.Box;
        EXPECT_EQ(r.ScaleDenominator(), c.Denominator) << c.Box;
        EXPECT_EQ(r.Raster().size(), QSize(c.RasterW, c.RasterH)) << c.Box;
        EXPECT_EQ(r.Raster().format(), QImage::Format_RGB888);
        // Whatever the scale, the picture is the photograph (colours and placement).
        EXPECT_LT(MeanAbsDiff(r.Raster(), Reference(dune, r.Raster().size())), 6.0) << c.Box;
    }
}

TEST(Readers, UnusedProgressiveScansAreLeftOutWithoutChangingThePicture) {
    for (const char* file : {"storm_progressive.jpg", "seed_progressive.jpg"}) {
        const QString path = TestDataPath(file);
        for (int box : {8, 40, 60, 120, 0}) {
            int w1, h1, w2, h2, d1, d2;
            QImage whole, pruned;
            SetJpegScanPruning(false);
            DecodeJpegFile(path, box, box, w1, h1, whole, &d1);
            EXPECT_EQ(JpegScansLeftOut(), 0);
            SetJpegScanPruning(true);
            DecodeJpegFile(path, box, box, w2, h2, pruned, &d2);
            EXPECT_EQ(d1, d2);
            // Only at 1/8 do blocks shrink to one pixel, so only then are scans left out.
            if (d2 == 8)
                EXPECT_GT(JpegScansLeftOut(), 0) << file << " " << box;
            else
                EXPECT_EQ(JpegScansLeftOut(), 0) << file << " " << box;
            EXPECT_EQ(QSize(w1, h1), QSize(w2, h2));
            EXPECT_EQ(whole, pruned) << file << " box " << box;
        }
    }
    // A progressive file cut short is still reported, not hidden by leaving scans out.
    QTemporaryDir tmp;
    const QByteArray data = ReadBytes(TestDataPath("storm_progressive.jpg"));
    ASSERT_TRUE(WriteBytes(tmp.path() + "/cut.jpg", data.left(data.size() * 3 / 4)));
    int w, h;
    QImage img;
    EXPECT_THROW(DecodeJpegFile(tmp.path() + "/cut.jpg", 40, 40, w, h, img), Exception);
}

TEST(Readers, FormatsAreDecodedByContent) {
    // (Thumbnails of every variant are compared with the photograph in the maker's tests.)
    const TDecoded named = Load(TestDataPath("png_named.jpg"));
    EXPECT_EQ(named.Format, "PNG");
    EXPECT_EQ(named.Raster.size(), QSize(120, 90));
    const TDecoded tga = Load(TestDataPath("storm.tga")); // no signature: the name decides
    EXPECT_EQ(tga.Format, "TGA");
    EXPECT_EQ(Load(TestDataPath("multipage.tif")).Raster.size(), QSize(160, 100));
    EXPECT_EQ(Load(TestDataPath("garden_palette.bmp")).Format, "BMP");

    // Grey stays grey; transparent pixels lie on white, opaque ones keep the photograph.
    const TDecoded gray = Load(TestDataPath("wood_gray.jpg"));
    for (int x = 0; x < gray.Raster.width(); x += 37) {
        const QRgb p = gray.Raster.pixel(x, 150);
        EXPECT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p));
    }
    const TDecoded alpha = Load(TestDataPath("ladybird_alpha.png"));
    EXPECT_EQ(alpha.Raster.pixel(10, 10), qRgb(255, 255, 255));
    EXPECT_EQ(alpha.Raster.pixel(99, 61), qRgb(255, 255, 255));
    const QImage orig = QImage(TestDataPath("ladybird_alpha.png"));
    EXPECT_EQ(alpha.Raster.pixel(150, 100), orig.pixel(150, 100) | 0xFF000000u);
}

TEST(Readers, BadFilesRaiseReadableErrors) {
    QTemporaryDir tmp;
    const QString d = tmp.path() + "/";
    const QByteArray jpeg = ReadBytes(TestDataPath("dune.jpg"));
    const QByteArray png = ReadBytes(TestDataPath("seed.png"));
    const QByteArray tif = ReadBytes(TestDataPath("seed.tif"));
    Rng rng(7);
    QByteArray noise(4096, 0);
    for (auto& b : noise)
        b = char(rng.Next());

    struct {
        const char* Name;
        QByteArray Data;
        const char* Expect; // part of the message
    } cases[] = {
        {"empty.jpg", QByteArray(), "empty"},
        {"empty.png", QByteArray(), "empty"},
        {"noise.jpg", noise, "Not a JPEG file"},
        {"noise.png", noise, "unsupported image format"},
        {"noise.tif", noise, "unsupported image format"},
        {"half.jpg", jpeg.left(jpeg.size() / 2), "Premature end of JPEG file"},
        {"header_only.jpg", jpeg.left(700), "JPEG"},
        {"half.png", png.left(png.size() / 2), "half.png"},
        {"half.tif", tif.left(tif.size() / 2), "half.tif"},
        // (JPEG files are decoded at the scale the box needs, so their limit is tested with
        // what that scale allocates: test_LargePhotos.)
        {"huge.png", PngWithSize(png, 60000, 60000), "too large"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(d + c.Name, c.Data)) << c.Name;
        const TDecoded r = Load(d + c.Name, 512, 512);
        EXPECT_TRUE(r.Raster.isNull()) << c.Name;
        EXPECT_TRUE(r.Error.contains(c.Expect)) << c.Name << ": " << r.Error.toStdString();
        EXPECT_TRUE(r.Error.contains(c.Name)) << "the message names the file: " << c.Name;
    }

    // A file that is gone, a folder with an image name.
    const TDecoded gone = Load(d + "gone.jpg");
    EXPECT_TRUE(gone.Error.contains("No such file")) << gone.Error.toStdString();
    const TDecoded gonePng = Load(d + "gone.png");
    EXPECT_FALSE(gonePng.Error.isEmpty());
    QDir(tmp.path()).mkdir("folder.jpg");
    EXPECT_FALSE(Load(d + "folder.jpg").Error.isEmpty());

    // After all that, the decoder still works.
    EXPECT_TRUE(Load(TestDataPath("dune.jpg"), 120, 120).Error.isEmpty());
}

TEST(Readers, UnreadableFileRaisesAnError) {
    if (geteuid() == 0 && !IsUnprivilegedRerun()) {
        EXPECT_TRUE(RerunUnprivileged("Readers.UnreadableFileRaisesAnError"));
        return;
    }
    QTemporaryDir tmp;
    for (const char* name : {"/locked.jpg", "/locked.png"}) {
        const QString f = tmp.path() + name;
        ASSERT_TRUE(
            QFile::copy(TestDataPath(QString(name).endsWith("jpg") ? "seed.jpg" : "seed.png"), f));
        chmod(QFile::encodeName(f).constData(), 0);
        const TDecoded r = Load(f);
        EXPECT_TRUE(r.Raster.isNull());
        EXPECT_TRUE(r.Error.contains("Permission denied") || r.Error.contains("ermission"))
            << r.Error.toStdString();
    }
}

TEST(Readers, DecodeMemoryIsReusedButNeverWhileHeld) {
    const QString a = TestDataPath("dune.jpg");
    const QString b = TestDataPath("storm_progressive.jpg");
    int w, h;
    QImage first;
    DecodeJpegFile(a, 120, 120, w, h, first);
    const QImage copyOfFirst = first.copy();
    // While the first raster is held, the next decode must not write into it.
    QImage second;
    DecodeJpegFile(b, 120, 120, w, h, second);
    EXPECT_NE(first.constBits(), second.constBits());
    EXPECT_EQ(first, copyOfFirst);
    // Once nobody holds it, the memory is taken again.
    const uchar* bits = second.constBits();
    second = QImage();
    first = QImage();
    QImage third;
    DecodeJpegFile(b, 120, 120, w, h, third);
    EXPECT_EQ(third.constBits(), bits);
    EXPECT_LT(MeanAbsDiff(third, Reference(b, third.size())), 6.0);
}

TEST(Readers, PictureHolderDrawsAndKnowsItsDetail) {
    TPicture p;
    EXPECT_TRUE(p.Empty());
    EXPECT_FALSE(p.Covers(100, 100));
    // The generic loader recognises content, whatever the name.
    QTemporaryDir tmp;
    ASSERT_TRUE(QFile::copy(TestDataPath("dune.jpg"), tmp.path() + "/photo.dat"));
    p.LoadFromFile(tmp.path() + "/photo.dat", 80, 80);
    EXPECT_EQ(p.Width(), 640);
    EXPECT_EQ(p.Height(), 400);
    EXPECT_EQ(p.Raster().size(), QSize(80, 50));
    EXPECT_TRUE(p.Covers(80, 80));
    EXPECT_TRUE(p.Covers(40, 40));
    EXPECT_FALSE(p.Covers(120, 120));
    EXPECT_TRUE(p.Covers(0, 0));

    QImage target(16, 10, QImage::Format_RGB888);
    target.fill(Qt::black);
    p.Draw(target, QRect(0, 0, 16, 10));
    EXPECT_LT(MeanAbsDiff(target, Reference(TestDataPath("dune.jpg"), QSize(16, 10))), 12.0);

    ASSERT_TRUE(WriteBytes(tmp.path() + "/text.dat", "hello, not a picture"));
    EXPECT_THROW(p.LoadFromFile(tmp.path() + "/text.dat"), Exception);
    EXPECT_TRUE(p.Empty());
}

TEST(Readers, NearestNeighbourStretchRepeatsAndDropsPixels) {
    QImage src(2, 2, QImage::Format_RGB888);
    src.setPixel(0, 0, qRgb(255, 0, 0));
    src.setPixel(1, 0, qRgb(0, 255, 0));
    src.setPixel(0, 1, qRgb(0, 0, 255));
    src.setPixel(1, 1, qRgb(255, 255, 255));
    QImage big(4, 4, QImage::Format_RGB888);
    StretchDrawNearest(src, big, QRect(0, 0, 4, 4));
    EXPECT_EQ(big.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(big.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(big.pixel(2, 0), qRgb(0, 255, 0));
    EXPECT_EQ(big.pixel(3, 3), qRgb(255, 255, 255));
    EXPECT_EQ(big.pixel(0, 3), qRgb(0, 0, 255));
    // No averaging on the way down: every pixel is one of the source's.
    QImage small(1, 1, QImage::Format_RGB888);
    StretchDrawNearest(big, small, QRect(0, 0, 1, 1));
    EXPECT_EQ(small.pixel(0, 0), qRgb(255, 255, 255));
    // A rectangle partly outside the target is clipped, not overrun.
    QImage clip(3, 3, QImage::Format_RGB888);
    clip.fill(Qt::black);
    StretchDrawNearest(src, clip, QRect(1, 1, 4, 4));
    EXPECT_EQ(clip.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(clip.pixel(1, 1), qRgb(255, 0, 0));

    EXPECT_EQ(FitIntoBox(120, 120, 640, 480), QSize(120, 90));
    EXPECT_EQ(FitIntoBox(120, 120, 480, 640), QSize(90, 120));
    EXPECT_EQ(FitIntoBox(0, 120, 480, 640), QSize(0, 0));
}
