// The image readers: the JPEG scale, photographs past the pixel limit at full size, reduction
// before conversion, bad and damaged files, and the EXIF dates of blocks placed as cameras
// and other programs place them.
#include "ImageTestUtil.h"
#include "cache/CThGraphic.h"
#include "imaging/ExifReader.h"
#include "imaging/GraphicReader.h"
#include "imaging/JpegReader.h"
#include "imaging/QtImageReader.h"
#include "services/CException.h"

#include <QDir>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

#include <jpeglib.h>

using namespace imgtest;

namespace {

// What loading through the reader registered for the name (as the thumbnail maker loads,
// here into a box x box square) raises; empty when it loads.
QString LoadError(const QString& path, int box = 512) {
    try {
        TGraphicReaderClass cls = FindGraphicReader(path);
        if (!cls)
            return "no reader";
        auto reader = cls();
        reader->SetSizeHint(box, box);
        reader->LoadFromFile(path);
        return {};
    } catch (const Exception& e) {
        return e.Message();
    }
}

// Photographs past the pixel limit at full size still get their thumbnails: the limit binds
// what the decoder allocates at the scale it decodes. The files are made here with libjpeg,
// row by row, just over 134 megapixels.
constexpr int kWidth = 16400, kHeight = 8200; // 134.48 megapixels, over the 2^27 limit

// The picture, left half dark and right half light, as a baseline colour or a progressive
// grey file; returns the thumbnail expected in a 512 box.
QImage WriteLargeJpeg(const QString& path, bool progressiveGray) {
    const int n = progressiveGray ? 1 : 3;
    const QColor left = progressiveGray ? QColor(40, 40, 40) : QColor(220, 20, 20);
    const QColor right = progressiveGray ? QColor(220, 220, 220) : QColor(20, 20, 220);
    std::vector<JSAMPLE> row(size_t(kWidth) * n);
    for (int x = 0; x < kWidth; ++x)
        for (int k = 0; k < n; ++k)
            row[size_t(x) * n + k] = JSAMPLE((x < kWidth / 2 ? left : right).rgb() >> (16 - 8 * k));
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = n;
    c.in_color_space = progressiveGray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 50, TRUE);
    if (progressiveGray)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    for (JSAMPROW r = row.data(); c.next_scanline < c.image_height;)
        jpeg_write_scanlines(&c, &r, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(out);
    QImage expected(512, 256, QImage::Format_RGB888);
    expected.fill(right);
    QPainter(&expected).fillRect(0, 0, 256, 256, left);
    return expected;
}

const char *const A = "2001:02:03 04:05:06", *const B = "2002:03:04 05:06:07";

// An APP1 "Exif" block (little-endian TIFF) with an ASCII tag holding A in IFD 0 and one
// holding B in the Exif sub-directory that IFD 0 points to.
QByteArray ExifBlock(uint16_t ifd0Tag, uint16_t subTag) {
    QByteArray t("Exif\0\0II*\0\x08\0\0\0", 14);
    auto u16 = [&](uint16_t v) { t.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(uint16_t(v)), u16(uint16_t(v >> 16)); };
    const uint32_t sub = 8 + 30, text0 = sub + 18, text1 = text0 + 20;
    u16(2); // IFD 0, at 8
    u16(ifd0Tag), u16(2), u32(20), u32(text0);
    u16(0x8769), u16(4), u32(1), u32(sub);
    u32(0);
    u16(1); // the Exif sub-directory
    u16(subTag), u16(2), u32(20), u32(text1);
    u32(0);
    t.append(A, 19).append('\0').append(B, 19).append('\0');
    return QByteArray("\xFF\xE1", 2) + char((t.size() + 2) >> 8) + char((t.size() + 2) & 0xFF) + t;
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
                 {"huge.png", PngWithSize(png, 60000, 60000), "too large"},
                 // Its coefficients alone would need gigabytes: refused before they are asked.
                 {"bomb.jpg", JpegWithSize(progressive, 60000, 60000), "too large"},
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

TEST(LargePhotos, OverTheLimitAtFullSizeStillMakeThumbnailsAndOnlyAFullDecodeIsRefused) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("large.jpg");
    for (const bool progressiveGray : {false, true}) {
        SCOPED_TRACE(progressiveGray ? "progressive grey" : "baseline colour");
        const QImage expected = WriteLargeJpeg(path, progressiveGray);
        TThGraphic maker;
        maker.SetBoxWidth(512);
        maker.SetBoxHeight(512);
        ASSERT_NO_THROW(maker.MakeThumbnail(path));
        EXPECT_EQ(QSize(maker.Picture().Width(), maker.Picture().Height()), QSize(kWidth, kHeight));
        EXPECT_LT(MeanAbsDiff(maker.Thumbnail(), expected), 10.0);
        // At full size the raster itself would pass the limit: a clear error, nothing else.
        EXPECT_TRUE(LoadError(path, 0).contains("too large"));
    }
}

TEST(Exif, DatesOfRealCameraBlocksAndOfEitherDirectory) {
    TExifReader exif;
    struct {
        const char* File;
        const char *Original, *DateTime;
    } const cases[] = {
        {"dune.jpg", "2007:08:06 10:29:13", "2008:07:22 22:19:57"}, // Canon: both, different
        {"exif_kodak_original_only.jpg", "2007:08:15 14:42:46", ""},
        {"exif_brother_nodate.jpg", "", ""}}; // Brother: neither
    for (const auto& c : cases) {
        ASSERT_TRUE(exif.Read(TestDataPath(c.File))) << c.File;
        EXPECT_EQ(exif.DateTimeOriginal(), c.Original) << c.File;
        EXPECT_EQ(exif.DateTime(), c.DateTime) << c.File;
    }

    // Either date in either directory; the digitised date (0x9004) is neither.
    const QByteArray seed = ReadAll(TestDataPath("seed.jpg"));
    struct {
        uint16_t Ifd0, Sub;
        QString Original, DateTime;
    } const blocks[] = {{0x0132, 0x9003, B, A}, {0x9003, 0x0132, A, B}, {0x0132, 0x9004, "", A}};
    for (const auto& c : blocks) {
        const QByteArray jpeg = seed.left(2) + ExifBlock(c.Ifd0, c.Sub) + seed.mid(2);
        ASSERT_TRUE(exif.ReadData(reinterpret_cast<const uchar*>(jpeg.constData()), jpeg.size()));
        EXPECT_EQ(exif.DateTimeOriginal(), c.Original) << c.Ifd0 << " " << c.Sub;
        EXPECT_EQ(exif.DateTime(), c.DateTime) << c.Ifd0 << " " << c.Sub;
    }
}

TEST(Exif, OnlyAJpegWithTheBlockBeforeTheScan) {
    TExifReader exif;
    ASSERT_TRUE(exif.Read(TestDataPath("dune.jpg")));
    // A failed read forgets the previous block.
    EXPECT_FALSE(exif.Read(TestDataPath("meadow_16bit.png")));
    EXPECT_EQ(exif.DateTime(), "");
    EXPECT_FALSE(exif.Read(TestDataPath("storm_progressive.jpg"))) << "no block";
    EXPECT_FALSE(exif.Read(TestDataPath("png_named.jpg")));
    EXPECT_FALSE(exif.Read("/nonexistent/x.jpg"));

    const QByteArray block = ExifBlock(0x0132, 0x9003);
    const QByteArray plain = ReadAll(TestDataPath("seed.jpg")); // no block of its own
    auto read = [&](const QByteArray& d, int size = -1) {
        return exif.ReadData(reinterpret_cast<const uchar*>(d.constData()),
                             size_t(size < 0 ? d.size() : size));
    };
    // The block after the start of scan does not count; after other segments but before the
    // scan it does; an APP1 that is not "Exif" (XMP, say) is passed over.
    EXPECT_FALSE(read(plain.left(plain.size() - 2) + block + QByteArray("\xFF\xD9", 2)));
    const int afterApp0 = 2 + 2 + ((uchar(plain[4]) << 8) | uchar(plain[5]));
    const QByteArray early = plain.left(afterApp0) + block + plain.mid(afterApp0);
    EXPECT_TRUE(read(early));
    EXPECT_EQ(exif.DateTime(), A);
    EXPECT_FALSE(read(plain.left(afterApp0) + QByteArray(block).replace(4, 4, "http") +
                      plain.mid(afterApp0)));

    // Damaged headers end the search without harm.
    for (int cut = 0; cut < afterApp0 + block.size() + 40; cut += 3) {
        read(early, cut);
        read(QByteArray(early).replace(cut, 1, "\xFF"));
    }
}
